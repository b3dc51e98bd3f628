// The colours the colour provider finds: in style sheet values only, never in
// selectors, comments, scripts or links; with their red, green, blue, alpha.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lsp/LspColors.h"

namespace kel {
namespace {

struct TFound {
  std::string Text;
  int R, G, B;
  double A;
  friend bool operator==(const TFound&, const TFound&) = default;
};

std::vector<TFound> Found(const std::string& Text, bool Sheet) {
  std::vector<TFound> R;
  const TMLTree Page = TMLTree::Build(Text, false);
  for (const auto& C : FindColors(Text, Sheet ? nullptr : &Page))
    R.push_back({Text.substr(static_cast<size_t>(C.Start), static_cast<size_t>(C.End - C.Start)),
                 static_cast<int>(C.Red * 255 + 0.5), static_cast<int>(C.Green * 255 + 0.5),
                 static_cast<int>(C.Blue * 255 + 0.5), C.Alpha});
  return R;
}

TEST(LspColors, FoundWhereValuesAreWritten) {
  const struct {
    const char* Name;
    std::string Text;
    bool Sheet;
    std::vector<TFound> Expected;
  } Cases[] = {
      {"hex and rgba in a sheet",
       "a { color: #f00; background: rgba(0, 128, 255, 0.5) }",
       true,
       {{"#f00", 255, 0, 0, 1}, {"rgba(0, 128, 255, 0.5)", 0, 128, 255, 0.5}}},
      {"long hex with alpha, space syntax",
       "b{border-color:#00ff0080;color:rgb(100% 0% 0% / 25%)}",
       true,
       {{"#00ff0080", 0, 255, 0, 128 / 255.0}, {"rgb(100% 0% 0% / 25%)", 255, 0, 0, 0.25}}},
      {"not a selector, a comment or a string",
       "#abc, .x:hover { content: \"#fff\"; } /* #000 */ p { color: #123456 }",
       true,
       {{"#123456", 0x12, 0x34, 0x56, 1}}},
      {"not five digits nor a longer name", "a { color: #12345; b: #fffx }", true, {}},
      {"colour attributes and style in a page, not links",
       "<body bgcolor=\"#ffffff\" style=\"color: #000\"><a href=\"#add\">x</a>",
       false,
       {{"#ffffff", 255, 255, 255, 1}, {"#000", 0, 0, 0, 1}}},
      {"a style body, not a script",
       "<style>p { color: #0f0 }</style><script>c = { a: \"#fff\" }</script>",
       false,
       {{"#0f0", 0, 255, 0, 1}}},
      {"not in a comment", "<!-- <p style=\"color: #f00\"> -->", false, {}},
      {"names and the colour functions",
       "a { color: Red; b: hsl(120deg 100% 50%); c: hwb(0 0% 0% / 50%); d: transparent }",
       true,
       {{"Red", 255, 0, 0, 1}, {"hsl(120deg 100% 50%)", 0, 255, 0, 1}, {"hwb(0 0% 0% / 50%)", 255, 0, 0, 0.5},
        {"transparent", 0, 0, 0, 0}}},
      {"lab, lch, oklab, oklch",
       "a { a: lab(54.29 80.8 69.89); b: oklab(0.628 0.2249 0.1258); c: oklch(52% 0 0); d: lch(100 0 0) }",
       true,
       {{"lab(54.29 80.8 69.89)", 255, 0, 0, 1}, {"oklab(0.628 0.2249 0.1258)", 255, 0, 0, 1},
        {"oklch(52% 0 0)", 105, 105, 105, 1}, {"lch(100 0 0)", 255, 255, 255, 1}}},
      {"no colour in a longer word or a url", "a { b: redirect; c: url(red.png) tan }", true,
       {{"tan", 210, 180, 140, 1}}},
      {"a named colour attribute", "<font color=\"navy\">", false, {{"navy", 0, 0, 128, 1}}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    EXPECT_EQ(Found(C.Text, C.Sheet), C.Expected);
  }
}

// A generated sheet or page of millions gives only its first colours.
TEST(LspColors, TheFirstColoursOnly) {
  std::string Sheet, Page;
  for (int I = 0; I < 20'000; ++I) {
    Sheet += "a{color:#" + std::to_string(100 + I % 900) + "}";
    Page += "<p bgcolor=#000 style='color:#fff;background:rgb(1,2,3)' color=#111>";
  }
  const TMLTree Tree = TMLTree::Build(Page, false);
  for (const auto& [Text, Of] : {std::pair{Sheet, (const TMLTree*)nullptr}, std::pair{Page, &Tree}}) {
    const auto All = FindColors(Text, Of);
    ASSERT_EQ(All.size(), MaxDocumentColors);
    const auto First = FindColors(Text, Of, 5);
    ASSERT_EQ(First.size(), 5u);
    for (size_t I = 0; I < 5; ++I) EXPECT_EQ(First[I].Start, All[I].Start);
  }
}

TEST(LspColors, PresentationsAsHexAndRgb) {
  EXPECT_EQ(ColorPresentations(1, 0, 0, 1), (std::vector<std::string>{"#ff0000", "rgb(255, 0, 0)"}));
  EXPECT_EQ(ColorPresentations(0, 0.5, 1, 0.5),
            (std::vector<std::string>{"#0080ff80", "rgba(0, 128, 255, 0.5)"}));
}

}  // namespace
}  // namespace kel
