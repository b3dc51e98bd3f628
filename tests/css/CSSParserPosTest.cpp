// Where the caret stands in a style sheet, and for which property.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "css/CSSParser.h"
#include "host/KelStream.h"
#include "markup/MLBufferProducer.h"
#include "tests/support/Annotated.h"

namespace kel {
namespace {

char Code(TKibitzPos P) {
  switch (P) {
    case TKibitzPos::kpNone:
      return 'N';
    case TKibitzPos::kpExpr:
      return 'E';
    case TKibitzPos::kpProperty:
      return 'P';
    case TKibitzPos::kpRule:
      return 'R';
    case TKibitzPos::kpComment:
      return 'C';
  }
  return '?';
}

class CSSPos : public ::testing::Test {
 protected:
  CSSPos() {
    for (const char* N : {"color", "margin", "font-family"}) Parser.GetSymbolTable().NewProperty(N);
    Parser.GetSymbolTable().AlphaSort();
    Parser.SetOnParseError([this](void*, const std::string& Msg) { Errors.push_back(Msg); });
  }
  // The position code and the kibitz property ("-" for none).
  std::string At(const std::string& Text, int32_t Point) {
    TKelStringStream Stream(Text);
    auto Producer = MakeKel<TMLBufferProducer>(&Stream);
    Errors.clear();
    Parser.SetBufferAndPoint(Producer.get(), Point);
    Parser.Parse();
    const TCSSProperty* P = Parser.GetSymbolTable().GetKibitzProperty();
    return std::string(1, Code(Parser.GetKibitzPos())) + " " + (P ? P->Name : "-");
  }
  std::string At(const std::string& Marked) {
    const auto A = test::Annotate(Marked, '`');  // '|' is CSS
    return At(A.Text, A.Caret);
  }
  TStyleSheetParser Parser;
  std::vector<std::string> Errors;
};

// E value, P property name (or selector), R rule head, C comment / between rules.
TEST_F(CSSPos, AtEveryOffsetOfSmallSheets) {
  const std::pair<std::string, std::string> Sheets[] = {
      {"a { color: red; margin: 0 }", "EPPPPPPPPPEEEEEPPPPPPPPEEEEC"},
      {"@media screen { a { color: red } }", "EEEEEEEEEEEEEEEEEPPPPPPPPPEEEEEEEEC"},
      {"<!-- a {} -->", "ECCCCCCCCCCCCC"},
      {"@import url(x.css) screen;\n@page :first { margin: 1in }",
       "ERRRRRRRREEEEEEEEEEEEEEEEECCRRRRRRRRRRRRRPPPPPPPPEEEEEEC"},
  };
  for (const auto& [Sheet, Codes] : Sheets) {
    ASSERT_EQ(Codes.size(), Sheet.size() + 1);
    std::string Got;
    for (int32_t I = 0; I <= static_cast<int32_t>(Sheet.size()); ++I) Got += At(Sheet, I)[0];
    EXPECT_EQ(Got, Codes) << Sheet;
  }
}

TEST_F(CSSPos, PositionAndPropertyAtTheCaret) {
  const std::pair<const char*, const char*> Cases[] = {
      {"a { color: ` }", "E color"},
      {"a { col` }", "P -"},
      {"a { color: red; ` }", "P color"},
      {"a { color: red } b { margin: ` }", "E margin"},
      {"<!-- a { color: ` } -->", "C -"},
      {"@media screen { a { color: ` } }", "E color"},
      {"a { color: rgb(1, 2, 3); margin: ` }", "E margin"},
      {"a { background: rgb(1, 2, 3) url(x), red; color: ` }", "E color"},
      {"a { color: red !important; margin: ` }", "E margin"},
      {"a { color: red ! important; margin: 1px` }", "E margin"},
      {"a[href=\"x\"], a[rel~=x], a[lang|=en], a[title] { color: ` }", "E color"},
      {"a:not(.x) b { color: ` }", "E color"},
      {"li:nth-child(2n+1) { co` }", "P -"},
      {"li:nth-child(2n`+1) { color: red }", "P -"},
      {"p::before { margin: ` }", "E margin"},
      {"@page :first { margin: ` }", "E margin"},
      {"@page :`", "R -"},
      {"@font-face { font-family: ` }", "E font-family"},
      {"@import url(x.css) `", "E -"},
      {"a { font-family: \"Hel`", "E font-family"},
      {"a { /* x `", "P -"},
      {"a { unknown: ` }", "E -"},
      {"@foo x; a { color: ` }", "E color"},
      {"a { color: }\nb { margin: ` }", "E margin"},
      {"a ~ b, c $ d { color: ` }", "E color"},
      {"a { margin: calc(1.5em + 2px) 0; color: ` }", "E color"},
      {"@media (min-width: 576px) { a { b: c } } d { margin: ` }", "E margin"},
      {"a::-moz-focus-inner, b { -webkit-appearance: none; color: ` }", "E color"},
      {":root { --tide: -apple-system, x; --t` }", "P -"},
      {"@media screen and (max-width: 600px), print { a { color: ` } }", "E color"},
      {"@keyframes k { from { margin: 0 } } a { color: ` }", "E color"},
      {"@supports (display: grid) { a { b: c } } `", "C -"},
      {"@foo `", "R -"},
      {":root { --tide: #1d4e6b; } a { margin: ` }", "E margin"},
      {"a { margin: 0 -1px } b[href^=\"/x\"] { color: ` }", "E color"},
      {"`", "E -"},
      {"a {} `", "C -"},
  };
  for (const auto& [Marked, Expected] : Cases) EXPECT_EQ(At(Marked), Expected) << Marked;
}

TEST_F(CSSPos, ErrorsAreReportedAndSkipped) {
  At("a { margin: 1px -2px; } b { color: red }`");
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Errors[0], "Error (line 1): Expected '}' but found '-'");
  At("a { color: red } b { margin: 0 }\nc { color: blue }`");
  EXPECT_TRUE(Errors.empty()) << "no ';' is needed before '}'";
  At("a {\n color red; }`");
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Errors[0], "Error (line 2): Expected ':' but found 'red'");
  At("a { b: 100%% }`");
  ASSERT_FALSE(Errors.empty());
  EXPECT_NE(Errors[0].find("'%'"), std::string::npos) << "a % in the text stays as it is";
}

TEST_F(CSSPos, TheTreeOfAParseAndTheNextParseFreesIt) {
  const std::string Sheet = "@import url(x.css) screen, print;\na.x#y, b > c { color: red; margin: 0 1px }";
  TKelStringStream Stream(Sheet);
  auto Producer = MakeKel<TMLBufferProducer>(&Stream);
  Parser.SetBufferAndPoint(Producer.get(), INT32_MAX);
  const TStyleSheet* S = Parser.Parse();
  ASSERT_EQ(S->Rules.size(), 2u);
  const auto* Import = static_cast<const TImport*>(S->Rules[0]);
  EXPECT_EQ(Import->URI, "url");
  EXPECT_EQ(Import->Media.GetItem(1), "print");
  const auto* Rule = static_cast<const TRuleSet*>(S->Rules[1]);
  ASSERT_EQ(Rule->Selectors.size(), 2u);
  const auto* First = static_cast<const TSimpleSelector*>(Rule->Selectors[0]->Left);
  EXPECT_EQ(First->ElementName, "a");
  ASSERT_EQ(First->Values.size(), 2u);
  EXPECT_EQ(First->Values[0]->ClassName, "x");
  EXPECT_EQ(First->Values[1]->HashName, "y");
  EXPECT_EQ(Rule->Selectors[1]->Op, TOp::OpGreaterThan);
  ASSERT_EQ(Rule->Declarations.size(), 2u);
  EXPECT_EQ(Rule->Declarations[1]->Property, "margin");
  const TNodeOp* Expr = Rule->Declarations[1]->Expr;
  ASSERT_NE(Expr->Right, nullptr) << "two terms";
  EXPECT_EQ(Errors.size(), 0u);
  int Before = 0;
  for (const TCSSNode* N = Parser.GetKibitzNode(); N; N = N->Next) ++Before;
  At("a`");
  int After = 0;
  for (const TCSSNode* N = Parser.GetKibitzNode(); N; N = N->Next) ++After;
  EXPECT_LT(After, Before) << "only the last parse's nodes are kept";
}

}  // namespace
}  // namespace kel
