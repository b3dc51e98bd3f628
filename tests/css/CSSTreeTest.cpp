// A sheet's structure as a feature reads it: each case is the sheet and its
// nodes in a compact form: R(selector){…} a rule, @name(prelude){…} or ; an
// at-rule, D(property=value) a declaration (! important), C a comment, ~ what
// the text leaves open.
#include <gtest/gtest.h>

#include <string>

#include "css/CSSTree.h"

namespace kel {
namespace {

std::string Describe(const TCSSTree& Tree, std::string_view Text, uint32_t From, uint32_t To) {
  std::string Out;
  const auto Slice = [Text](TMLRange R) { return std::string(Text.substr(R.Start, R.End - R.Start)); };
  for (uint32_t I = From; I < To; I = Tree.Nodes[I].Next) {
    const TCSSItem& N = Tree.Nodes[I];
    if (!Out.empty()) Out += ' ';
    switch (N.Kind) {
      case TCSSItemKind::Comment:
        Out += "C";
        break;
      case TCSSItemKind::Declaration:
        Out += "D(" + Slice(N.Name) + "=" + Slice(N.Value) + (N.Important ? "!" : "") + ")";
        break;
      case TCSSItemKind::Rule:
        Out += "R(" + Slice(N.Name) + ")";
        break;
      case TCSSItemKind::AtRule:
        Out += Slice(N.Name) + "(" + Slice(N.Prelude) + ")";
        break;
    }
    const bool HasBlock =
        N.Block.End > N.Block.Start ||
        (N.Kind != TCSSItemKind::Declaration &&
         Text.substr(N.Range.Start, N.Range.End - N.Range.Start).find('{') != std::string_view::npos);
    if (HasBlock) Out += "{" + Describe(Tree, Text, I + 1, N.Next) + "}";
    if (!N.Terminated) Out += "~";
  }
  return Out;
}

TEST(CSSTree, ReadsRulesAtRulesAndDeclarationsWithTheirRanges) {
  const struct {
    const char* Sheet;
    bool Declarations;
    const char* Nodes;
  } Cases[] = {
      {"a, b { color: red !important; @media x { p {} } }", false,
       "R(a, b){D(color=red!) @media(x){R(p){}}}"},
      {"@import url(x.css) screen; p{margin:0}", false, "@import(url(x.css) screen) R(p){D(margin=0)}"},
      // Braces and semicolons inside strings and comments are text.
      {"a[title='}'] { content: \"a;b\"; /* } */ }", false, "R(a[title='}']){D(content=\"a;b\") C}"},
      {"div { &:hover { color: red } margin: 0 }", false, "R(div){R(&:hover){D(color=red)} D(margin=0)}"},
      // A page's wrapper is no rule; a stray brace ends nothing.
      {"<!-- p {} --> } q { }", false, "R(p){} R(q){}"},
      // While typing: what the text leaves open is open.
      {"a { color: red", false, "R(a){D(color=red)~}~"},
      {"a { color: rgb(1, 2; top: 0 } /* x", false, "R(a){D(color=rgb(1, 2) D(top=0)} C~"},
      {"@font-face { font-family: x } @charset \"u\";", false,
       "@font-face(){D(font-family=x)} @charset(\"u\")"},
      // A style attribute: one block's content.
      {"color: red; background: url(a.png) blue ! IMPORTANT", true,
       "D(color=red) D(background=url(a.png) blue!)"},
      {"color", true, "D(color=)"},
  };
  for (const auto& C : Cases) {
    const std::string_view Text = C.Sheet;
    const TCSSTree Tree = TCSSTree::Build(Text, 0, static_cast<uint32_t>(Text.size()), C.Declarations);
    EXPECT_EQ(Describe(Tree, Text, 0, static_cast<uint32_t>(Tree.Nodes.size())), C.Nodes) << C.Sheet;
  }
}

}  // namespace
}  // namespace kel
