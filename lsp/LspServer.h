// The language server: the engine behind any editor that speaks the
// Language Server Protocol over standard input and output. It keeps the open
// documents, and answers a completion request with one completion cycle of
// our host on the document at the position; each candidate's edit is planned
// from that cycle's list, so every item carries the exact edit accepting it
// makes (="" with the cursor between the quotes, the closing tag, ':' or ';').
//
// Example: after didOpen of page.html holding "<a " and a completion request
// at line 0, character 3, the items hold "href" with the edit 'href="$0"'.
#pragma once

#include <functional>
#include <istream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "host/MemoryHost.h"
#include "lsp/LspCompletion.h"
#include "lsp/LspDocuments.h"
#include "lsp/LspFeature.h"
#include "lsp/LspPositions.h"
#include "lsp/LspProtocol.h"

namespace kel {

void WriteLspMessage(std::ostream& Out, const nlohmann::json& Message);

class TLspServer {
 public:
  explicit TLspServer(TMemoryHost& Host);
  // Answers the framed messages of In on Out until exit or the end of In.
  void Serve(std::istream& In, std::ostream& Out);
  // The responses and notifications one message gives; any message, however
  // malformed, gets the protocol's answer.
  // The message is taken over: a didOpen's text moves into the document.
  std::vector<nlohmann::json> Handle(nlohmann::json Message);
  // The same for one message body (no frame around it).
  std::vector<nlohmann::json> HandleText(const std::string& Body);
  // The diagnostics due: those of documents changed since they were last
  // published (clients that pull them get none pushed).
  std::vector<nlohmann::json> Idle();
  // Waits up to Milliseconds for more input; true when some came. Serve
  // publishes diagnostics only once input pauses that long (without a wait,
  // whenever none is buffered).
  void SetWaitForInput(std::function<bool(int Milliseconds)> Wait) { FWaitForInput = std::move(Wait); }
  static constexpr int DiagnosticsDelay = 150;
  bool Exited() const { return FExited; }
  int ExitCode() const { return FShutdown ? 0 : 1; }

 private:
  std::vector<nlohmann::json> Answer(nlohmann::json Message, TLspBody How);
  void Dispatch(const std::string& Method, bool Request, const nlohmann::json& Id,
                const nlohmann::json& Params, std::vector<nlohmann::json>& Out);

  TMemoryHost& FHost;
  std::shared_ptr<TLspDialogRunner> FDialogs = std::make_shared<TLspDialogRunner>();
  TLspDocuments FDocuments;
  // Positions count UTF-8 bytes (negotiated) rather than UTF-16 units.
  bool FUtf8 = false;
  bool FSnippets = false;
  bool FShutdown = false;
  bool FInitialized = false;
  bool FExited = false;
  // Diagnostics are pushed (the client does not pull them), and for these
  // documents they are due.
  bool FPush = true;
  std::set<std::string> FUnchecked;
  std::function<bool(int)> FWaitForInput;
};

}  // namespace kel
