#include "lsp/LspHover.h"

#include "css/CSSCodCmplt.h"
#include "lsp/LspPositions.h"

namespace kel {

using nlohmann::json;

// A property name in a style sheet (or style inside a page): its one line.
json LspHover(TLspContext& Ctx, TLspDocument& Doc, int64_t Line, int64_t Character) {
  const std::string& Text = Doc.Text();
  const auto [Start, L] = LspLineStart(*Doc.View, Line);
  const auto Caret = static_cast<uint32_t>(LspOffsetOnLine(Text, Start, Character, Ctx.Utf8));
  // The property name at the caret, as the sheet's structure has it: not a
  // value's word, a selector or markup.
  const TMLTree& Page = Doc.Tree();
  const TMLRegion* Region = IsStyleSheetFile(Doc.Path) ? nullptr : Page.RegionAt(Caret);
  const auto RegionIndex = Region ? static_cast<uint32_t>(Region - Page.Regions.data()) : TMLNode::None;
  uint32_t From = 0, To = 0;
  for (const TDocumentSheet& Sheet : Doc.Model.Sheets(Text)) {
    if (Sheet.Region != RegionIndex) continue;
    for (const TCSSItem& N : Sheet.Tree.Nodes)
      if (N.Kind == TCSSItemKind::Declaration && N.Name.Start <= Caret && Caret <= N.Name.End) {
        From = N.Name.Start;
        To = N.Name.End;
      }
  }
  if (From == To) return nullptr;
  const auto Manager = Doc.Model.ManagerAt(Ctx.Host, From);
  const auto Css = query<IKelCSSCodeInsightManager>(Manager);
  const std::string Word = Text.substr(From, To - From);
  const std::string About = Css ? Css->Describe(Word) : std::string();
  if (About.empty()) return nullptr;
  return {{"contents", {{"kind", "plaintext"}, {"value", Word + ": " + About}}},
          {"range",
           {{"start", LspPositionOnLine(Text, Start, L, From, Ctx.Utf8)},
            {"end", LspPositionOnLine(Text, Start, L, To, Ctx.Utf8)}}}};
}

}  // namespace kel
