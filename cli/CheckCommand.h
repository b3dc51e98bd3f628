// `mlinsight check [--format text|json|sarif] [--rules NAME=SEVERITY,...] FILE|FOLDER...`:
// reads each document with the schema completion would select and prints
// its problems, one line each: FILE:LINE:COL: severity: message [rule]
// (columns in characters). A folder stands for the files below it that the
// engine serves. JSON is one array of problems; SARIF 2.1.0 one run.
//
// Example: `mlinsight check page.html` prints
// page.html:3:2: error: <blink> is not an element of this document type [unknown-element]
// and exits 1.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "host/MemoryHost.h"

namespace kel {

struct TCheckRequest {
  std::vector<std::string> Paths;
  std::string Format = "text";
  std::string Rules;  // "name=off,name=warning,…" over the options file's
  size_t Max = 1000;  // problems per document
};

// 0 when no error was found, 1 when one was, 2 when a file could not be
// read or the request is wrong.
int RunCheck(const TCheckRequest& R, TMemoryHost& Host, std::ostream& Out, std::ostream& Err);

}  // namespace kel
