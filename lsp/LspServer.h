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

#include <istream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "document/DocumentModel.h"
#include "host/MemoryHost.h"

namespace kel {

void WriteLspMessage(std::ostream& Out, const nlohmann::json& Message);

// A completion answer holds at most this many items (HTML's entities are
// 2,231), the rest marked incomplete.
inline constexpr size_t MaxLspItems = 5000;

// The dialogs of the engine's value editors, in a server: nothing can ask
// the user, so every dialog is cancelled, except the unit dialog while a
// row is planned: it answers a marker value and the first unit, so that the
// row's edit shows where the number and the unit go (a snippet then offers
// them as placeholders).
class TLspDialogRunner : public TKelDialogRunner {
 public:
  static constexpr char ValueMark = '\x02';
  bool RunURLDialog(const TKelURLRequest&, std::string&) override { return false; }
  bool RunColorDialog(std::string&) override { return false; }
  bool RunFileOpenDialog(const TKelFileOpenRequest&, std::string&) override { return false; }
  bool IsControlKeyDown() override { return false; }
  bool RunUnitDialog(const TKelUnitRequest& Request, std::string& Value, int32_t& Unit) override;
  bool AnswerUnits = false;
  std::vector<std::string> Units;  // of the last unit dialog answered
};

class TLspServer {
 public:
  explicit TLspServer(TMemoryHost& Host);
  // Answers the framed messages of In on Out until exit or the end of In.
  void Serve(std::istream& In, std::ostream& Out);
  // The responses and notifications one message gives; any message, however
  // malformed, gets the protocol's answer.
  std::vector<nlohmann::json> Handle(const nlohmann::json& Message);
  std::vector<nlohmann::json> HandleText(const std::string& Body);
  bool Exited() const { return FExited; }
  int ExitCode() const { return FShutdown ? 0 : 1; }

 private:
  // The client's text is the view every request runs on: changes edit it
  // in place, and completion plans its rows on it and takes them back.
  struct TDocument {
    TKelPtr<TMemoryEditView> View;
    std::string LanguageId;
    std::string Path;  // the file type the engine sees
    TDocumentModel Model{};
    uint64_t Version = 0;  // counts the changes
    const std::string& Text() const { return View->Text(); }
    const TMLTree& Tree() { return Model.Tree(Text(), Version); }
  };
  std::optional<TMemoryTrial> Retype(TDocument& Doc, int32_t Caret, char Typed);
  void Dispatch(const std::string& Method, bool Request, const nlohmann::json& Id,
                const nlohmann::json& Params, std::vector<nlohmann::json>& Out);
  nlohmann::json TypeFormatting(const std::string& Uri, int64_t Line, int64_t Character, char Typed);
  nlohmann::json DocumentColors(const std::string& Uri);
  nlohmann::json Hover(const std::string& Uri, int64_t Line, int64_t Character);
  nlohmann::json AutoInsert(const std::string& Uri, int64_t Line, int64_t Character, const std::string& Kind);
  nlohmann::json Complete(const std::string& Uri, int64_t Line, int64_t Character,
                          const nlohmann::json& Params);

  TMemoryHost& FHost;
  std::shared_ptr<TLspDialogRunner> FDialogs = std::make_shared<TLspDialogRunner>();
  std::map<std::string, TDocument> FDocuments;
  // Positions count UTF-8 bytes (negotiated) rather than UTF-16 units.
  bool FUtf8 = false;
  bool FSnippets = false;
  bool FShutdown = false;
  bool FInitialized = false;
  bool FExited = false;
};

// The file path of a file:// URI (percent escapes decoded).
std::string LspUriToPath(const std::string& Uri);
// The byte offset of an LSP position (line from 0, character in UTF-16 units).
int32_t LspOffset(const std::string& Text, int64_t Line, int64_t Character, bool Utf8 = false);
// The LSP position of a byte offset.
nlohmann::json LspPosition(const std::string& Text, int32_t Offset, bool Utf8 = false);
// The name a document is served under: its path, or its path with the
// extension of the client's languageId when the name says otherwise.
std::string LspDocumentPath(const std::string& Path, const std::string& LanguageId);

}  // namespace kel
