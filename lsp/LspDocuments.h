// The documents a language server holds: each client document as the view
// every request runs on (changes edit it in place; completion plans its rows
// on it and takes them back), its version and its document model.
//
// Example: Open("file:///site/a.php", "<p>", "html") serves a.php as a page
// (a.php.html); a change of line 0, characters 1-2 to "b" leaves "<b>".
#pragma once

#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "diagnostics/DocumentCheck.h"
#include "document/DocumentModel.h"
#include "host/MemoryEditor.h"

namespace kel {

struct TLspDocument {
  TKelPtr<TMemoryEditView> View;
  std::string LanguageId;
  std::string Path;  // the file type the engine sees
  TDocumentModel Model{};
  uint64_t Version = 0;  // counts the changes
  // The last completion answer: a request on the same version, position and
  // trigger is answered from it (a request is a function of those).
  struct TAnswer {
    uint64_t Version = 0;
    std::string Key;
    nlohmann::json Result;
  };
  std::optional<TAnswer> LastCompletion;
  // The last check and the version it read: code actions take its fixes.
  std::optional<std::pair<uint64_t, TCheckResult>> LastCheck;
  const std::string& Text() const { return View->Text(); }
  // The tree of the text as it stands, built once per version.
  const TMLTree& Tree() { return Model.Tree(Text(), Version); }
};

class TLspDocuments {
 public:
  void Open(const std::string& Uri, std::string Text, const std::string& LanguageId);
  // Applies didChange's contentChanges (ranges in the client's units).
  void Change(const std::string& Uri, const nlohmann::json& Changes, bool Utf8);
  void Close(const std::string& Uri) { FDocuments.erase(Uri); }
  TLspDocument* Find(const std::string& Uri);
  bool Holds(const std::string& Uri) const { return FDocuments.contains(Uri); }

 private:
  std::map<std::string, TLspDocument> FDocuments;
};

// The file path of a file:// URI (percent escapes decoded).
std::string LspUriToPath(const std::string& Uri);
// The name a document is served under: its path, or its path with the
// extension of the client's languageId when the name says otherwise.
std::string LspDocumentPath(const std::string& Path, const std::string& LanguageId);

}  // namespace kel
