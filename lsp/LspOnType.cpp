#include "lsp/LspOnType.h"

#include <algorithm>

#include "document/CompletionRequest.h"
#include "lsp/LspPositions.h"

namespace kel {

using nlohmann::json;

// The client typed the key already: on a trial of the document our host
// takes it back and types it again, and the net change is the key and what
// the engine writes with it. Nothing when the key is not before the caret.
std::optional<TMemoryTrial> LspRetype(TLspContext& Ctx, TLspDocument& Doc, int32_t Caret, char Typed) {
  const std::string& Text = Doc.Text();
  if (Caret <= 0 || Caret > static_cast<int32_t>(Text.size()) ||
      Text[static_cast<size_t>(Caret) - 1] != Typed)
    return std::nullopt;
  Doc.Tree();
  TCompletionRequest Request(Ctx.Host, Doc.Model, Doc.View, Caret - 1);
  if (!Request.Markup()) return std::nullopt;
  const auto& View = Doc.View;
  View->BeginTrial();
  View->Edit(Caret - 1, 1, "");
  View->SetCaretOffset(Caret - 1);
  Request.Cycle().Type(Typed);
  Request.Close();
  return View->EndTrial();
}

json LspTypeFormatting(TLspContext& Ctx, TLspDocument& Doc, int64_t Line, int64_t Character, char Typed) {
  json Edits = json::array();
  const std::string& Text = Doc.Text();
  const int32_t Caret = LspOffset(Text, Line, Character, Ctx.Utf8);
  const auto Trial = LspRetype(Ctx, Doc, Caret, Typed);
  if (!Trial || !Trial->Changed) return Edits;
  // Clients leave the caret where their edit ends (Neovim, eglot): an edit
  // that wants it inside ("<ul>|</ul>", href="|") is left to completion
  // items and html/autoInsert.
  if (Trial->Caret != Trial->Start + static_cast<int32_t>(Trial->NewText.size())) return Edits;
  Edits.push_back({{"range",
                    {{"start", LspPosition(Text, Trial->Start, Ctx.Utf8)},
                     {"end", LspPosition(Text, Trial->OldEnd, Ctx.Utf8)}}},
                   {"newText", Trial->NewText}});
  return Edits;
}

// VS Code's HTML client asks after "=" (autoQuote) and ">" (autoClose) for
// the text to insert at the position, as a snippet.
json LspAutoInsert(TLspContext& Ctx, TLspDocument& Doc, int64_t Line, int64_t Character,
                   const std::string& Kind) {
  if (Kind != "autoQuote" && Kind != "autoClose") return nullptr;
  const std::string& Text = Doc.Text();
  const int32_t Caret = LspOffset(Text, Line, Character, Ctx.Utf8);
  const auto Trial = LspRetype(Ctx, Doc, Caret, Kind == "autoQuote" ? '=' : '>');
  // Only an insertion after the key is what the client can take.
  if (!Trial || !Trial->Changed || Trial->Start != Caret - 1 || Trial->OldEnd != Caret ||
      Trial->NewText.empty() || Trial->NewText[0] != Text[static_cast<size_t>(Caret) - 1])
    return nullptr;
  const std::string Added = Trial->NewText.substr(1);
  const auto At =
      static_cast<size_t>(std::clamp(Trial->Caret - Caret, 0, static_cast<int32_t>(Added.size())));
  return LspSnippetEscape(Added.substr(0, At)) + "$0" + LspSnippetEscape(Added.substr(At));
}

}  // namespace kel
