// `mlinsight complete FILE LINE:COL`: one run of the host's completion cycle
// on a file, as an editor would make it: optionally type a character, open
// the list, type a filter, accept an entry with a key or cancel, and print
// the list and the resulting edits. The file changes only with --write.
//
// Example: on a page whose line 5 reads "<a " with the caret at 5:4,
// `mlinsight complete page.html 5:4 --accept href` lists the attributes of
// a and prints line 5 as `<a href="|"`.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "host/MemoryHost.h"

namespace kel {

struct TCompleteRequest {
  std::string FileName;
  int32_t Line = 1;
  int32_t Column = 1;
  std::string Type;  // one character typed at the caret first; empty: explicit request
  std::string Filter;
  std::string Accept;
  int32_t AcceptIndex = -1;
  std::string Key = "enter";
  bool Cancel = false;
  std::vector<std::string> Answers;  // NAME=VALUE or "cancel"
  int Quotes = -1;                   // -1: the options file decides
  bool Json = false;
  bool Write = false;
};

// The character a --key or --type names: enter, tab, space, escape, or the
// character itself; -1 when it names none.
int KeyCode(const std::string& Name);

// 0 on success; 1 with a message when the file cannot be read or written or
// an entry to accept is not in the list; 2 when no manager handles the file.
int RunComplete(const TCompleteRequest& Request, TMemoryHost& Host, std::ostream& Out, std::ostream& Err);

}  // namespace kel
