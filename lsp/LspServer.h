// The language server: the engine behind any editor that speaks the
// Language Server Protocol over standard input and output. It keeps the open
// documents, and answers a completion request by running the completion cycle
// of our host on the document at the position once per candidate, so that
// every item carries the exact edit accepting it makes (="" with the cursor
// between the quotes, the closing tag, ':' or ';').
//
// Example: after didOpen of page.html holding "<a " and a completion request
// at line 0, character 3, the items hold "href" with the edit 'href="$0"'.
#pragma once

#include <istream>
#include <map>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "host/MemoryHost.h"

namespace kel {

// Reads one message framed with Content-Length; false at the end of input
// or on a frame that cannot be read.
bool ReadLspMessage(std::istream& In, nlohmann::json& Message);
void WriteLspMessage(std::ostream& Out, const nlohmann::json& Message);

class TLspServer {
 public:
  explicit TLspServer(TMemoryHost& Host);
  // The responses and notifications one message gives.
  std::vector<nlohmann::json> Handle(const nlohmann::json& Message);
  bool Exited() const { return FExited; }
  int ExitCode() const { return FShutdown ? 0 : 1; }

 private:
  nlohmann::json Complete(const nlohmann::json& Params);

  TMemoryHost& FHost;
  std::map<std::string, std::string> FDocuments;
  bool FShutdown = false;
  bool FExited = false;
  size_t FMessagesSent = 0;
};

// The file path of a file:// URI (percent escapes decoded).
std::string LspUriToPath(const std::string& Uri);
// The byte offset of an LSP position (line from 0, character in UTF-16 units).
int32_t LspOffset(const std::string& Text, int64_t Line, int64_t Character);
// The LSP position of a byte offset.
nlohmann::json LspPosition(const std::string& Text, int32_t Offset);

}  // namespace kel
