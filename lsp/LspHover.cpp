#include "lsp/LspHover.h"

#include <cctype>

#include "css/CSSCodCmplt.h"
#include "lsp/LspPositions.h"

namespace kel {

using nlohmann::json;

// A property name in a style sheet (or style inside a page): its one line.
json LspHover(TLspContext& Ctx, TLspDocument& Doc, int64_t Line, int64_t Character) {
  const std::string& Text = Doc.Text();
  const auto [Start, L] = LspLineStart(*Doc.View, Line);
  const auto Caret = static_cast<size_t>(LspOffsetOnLine(Text, Start, Character, Ctx.Utf8));
  const auto Name = [](char C) { return std::isalnum(static_cast<unsigned char>(C)) || C == '-'; };
  size_t From = Caret, To = Caret;
  while (From > Start && Name(Text[From - 1])) --From;
  while (To < Text.size() && Name(Text[To])) ++To;
  if (From == To) return nullptr;
  Doc.Tree();
  const auto Manager = Doc.Model.ManagerAt(Ctx.Host, static_cast<uint32_t>(From));
  const auto* Css = dynamic_cast<const TCSSKibitzManager*>(Manager.get());
  const std::string Word = Text.substr(From, To - From);
  const std::string About = Css ? Css->Describe(Word) : std::string();
  if (About.empty()) return nullptr;
  return {{"contents", {{"kind", "plaintext"}, {"value", Word + ": " + About}}},
          {"range",
           {{"start", LspPositionOnLine(Text, Start, L, From, Ctx.Utf8)},
            {"end", LspPositionOnLine(Text, Start, L, To, Ctx.Utf8)}}}};
}

}  // namespace kel
