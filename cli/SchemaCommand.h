// `mlinsight schema [--mode M] [--asp] (--doctype IDENTIFIER | FILE)`: selects
// and loads the schema as completion would, for an identifier or for FILE's
// DOCTYPE, and prints the tag tree it gives: the hidden root's children,
// every tag with its flags, children and attributes (values and editor),
// the entities, the messages.
//
// Example: `mlinsight schema --doctype "-//W3C//DTD HTML 4.01//EN" --json`
// lists TABLE with the children CAPTION ... TBODY, TR.
#pragma once

#include <ostream>
#include <string>

#include "host/MemoryHost.h"
#include "markup/MLParserUtils.h"

namespace kel {

struct TSchemaRequest {
  std::string DocType;
  std::string FileName;  // used when DocType is empty
  TKibitzMode Mode = TKibitzMode::kmHTML;
  bool ASP = false;
  bool Json = false;
};

// 0; 1 when FILE cannot be read.
int RunSchema(const TSchemaRequest& R, TMemoryHost& Host, std::ostream& Out, std::ostream& Err);

}  // namespace kel
