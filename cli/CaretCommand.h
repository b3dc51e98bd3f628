// `mlinsight caret FILE LINE:COL`: parses FILE with the caret at LINE:COL
// (both from 1; COL counts characters) and prints where the caret stands, as
// text or as one JSON object; with events, every node the scan reported.
//
// Example: on "<body><a href=\"x\">" at 1:16 the JSON has "currentTag":"a",
// "currentAttr":"href", "quote":"\"".
#pragma once

#include <ostream>
#include <string>

#include "markup/MLParserUtils.h"

namespace kel {

struct TCaretRequest {
  std::string FileName;
  int32_t Line = 1;
  int32_t Column = 1;
  TKibitzMode Mode = TKibitzMode::kmHTML;
  bool Json = false;
  bool Events = false;
};

// Reads "LINE:COL"; false when it is not two positive numbers.
bool ParseLineColumn(const std::string& Text, int32_t& Line, int32_t& Column);

// 0 on success; 1 with a message on Err when the file cannot be read.
int RunCaret(const TCaretRequest& Request, std::ostream& Out, std::ostream& Err);

}  // namespace kel
