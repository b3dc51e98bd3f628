#include "lsp/LspDocuments.h"

#include <algorithm>
#include <cctype>

#include "host/KelFiles.h"
#include "host/KelStrings.h"
#include "lsp/LspPositions.h"
#include "lsp/LspProtocol.h"

namespace kel {

using nlohmann::json;

void TLspDocuments::Open(const std::string& Uri, std::string Text, const std::string& LanguageId) {
  const std::string Path = LspDocumentPath(LspUriToPath(Uri), LanguageId);
  TLspDocument& Doc = FDocuments[Uri] = TLspDocument{};
  Doc.View = MakeMemoryEditView(std::move(Text), Path);
  Doc.LanguageId = LanguageId;
  Doc.Path = Path;
  Doc.Model = TDocumentModel(Path);
}

TLspDocument* TLspDocuments::Find(const std::string& Uri) {
  const auto It = FDocuments.find(Uri);
  return It == FDocuments.end() ? nullptr : &It->second;
}

void TLspDocuments::Change(const std::string& Uri, const json& Changes, bool Utf8) {
  TLspDocument* Doc = Find(Uri);
  if (!Doc || !Changes.is_array()) return;
  ++Doc->Version;
  for (const auto& Change : Changes) {
    const auto Text = LspString(Change, "text");
    if (!Text) continue;
    const json* Range = LspObject(Change, "range");
    const json* From = Range ? LspObject(*Range, "start") : nullptr;
    const json* To = Range ? LspObject(*Range, "end") : nullptr;
    if (!From || !To) {
      Doc->Model.Edited(0, Doc->Text().size(), Text->size());
      Doc->View->SetText(*Text);  // the whole document
      continue;
    }
    const std::string& T = Doc->Text();
    // Edited in place: the document is not copied per change. A change
    // within one line finds that line once.
    const int64_t FromLine = LspInteger(*From, "line").value_or(0),
                  ToLine = LspInteger(*To, "line").value_or(0);
    const size_t FromStart = LspLineStart(*Doc->View, FromLine).first;
    const size_t ToStart = ToLine == FromLine ? FromStart : LspLineStart(*Doc->View, ToLine).first;
    const auto Start =
        static_cast<size_t>(LspOffsetOnLine(T, FromStart, LspInteger(*From, "character").value_or(0), Utf8));
    const size_t End = std::max(Start, static_cast<size_t>(LspOffsetOnLine(
                                           T, ToStart, LspInteger(*To, "character").value_or(0), Utf8)));
    Doc->Model.Edited(Start, End, Start + Text->size());
    Doc->View->Edit(static_cast<int32_t>(Start), static_cast<int32_t>(End - Start), *Text);
  }
}

std::string LspDocumentPath(const std::string& Path, const std::string& LanguageId) {
  // The client's language wins over the file's name: an "html" buffer named
  // index.php is a page. Unknown languages leave the name to decide.
  static const std::pair<const char*, const char*> Languages[] = {
      {"html", ".html"}, {"xhtml", ".xhtml"},          {"xsl", ".xsl"}, {"xslt", ".xslt"}, {"css", ".css"},
      {"aspx", ".aspx"}, {"aspnetcorerazor", ".aspx"}, {"wml", ".wml"}, {"resx", ".resx"}, {"svg", ".svg"}};
  const std::string Ext = LowerCase(ExtractFileExt(Path));
  for (const auto& [Id, Wanted] : Languages) {
    if (!SameText(LanguageId, Id)) continue;
    // Server pages and XHTML are HTML too: clients without a language of
    // their own for them say "html", and the file's name tells more.
    const std::string W = Wanted;
    const bool Same = Ext == W || ((Ext == ".ascx" || Ext == ".master") && W == ".aspx") ||
                      (W == ".html" && (Ext == ".htm" || Ext == ".aspx" || Ext == ".ascx" ||
                                        Ext == ".master" || Ext == ".xhtml" || Ext == ".xht"));
    return Same ? Path : Path + Wanted;
  }
  return Path;
}

std::string LspUriToPath(const std::string& Uri) {
  // Only a file on this machine has a folder (its own DTD, path items);
  // "untitled:", remote and other URIs keep just their name.
  const bool Local = StartsWithText(Uri, "file:///") || StartsWithText(Uri, "file://localhost/");
  const std::string S = Local ? Uri.substr(Uri.find('/', 7)) : Uri;
  const auto Hex = [](char C) { return std::isxdigit(static_cast<unsigned char>(C)) != 0; };
  std::string R;
  for (size_t I = 0; I < S.size(); ++I) {
    // "%00" stays as it is: a path holds no NUL.
    if (S[I] == '%' && I + 2 < S.size() && Hex(S[I + 1]) && Hex(S[I + 2]) && S.compare(I + 1, 2, "00") != 0) {
      R += static_cast<char>(std::stoi(S.substr(I + 1, 2), nullptr, 16));
      I += 2;
    } else {
      R += S[I];
    }
  }
  return Local ? R : R.substr(R.find_last_of("/\\:") + 1);
}

}  // namespace kel
