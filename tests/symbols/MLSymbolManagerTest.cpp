#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "symbols/MLSymbolManager.h"
#include "tests/support/ParserProbe.h"
#include "tests/support/TestHost.h"

namespace kel {
namespace {

using test::THostTest;

// A value editor that only has to be told apart from another.
class TStubEditor : public TKelInterfaced<IKelMLEditor> {
 public:
  bool Execute(IInterface*, int32_t) override { return false; }
  int32_t RelativeMoveCaretPos() override { return 0; }
  bool InvokeCodeCompletion() override { return false; }
  std::string GetValue() override { return {}; }
};

std::vector<std::string> Children(IKelMLTag& T) {
  std::vector<std::string> R;
  for (int32_t I = 0; I < T.GetTagCount(); ++I) R.push_back(T.GetTags(I)->GetName());
  return R;
}

TEST(Editors, AttributeEditorsBelongToTheAttributeOfOneTag) {
  TMLSymbolManager M;
  auto Body = MakeKel<THTMLTag>("body", &M, 1);
  auto Table = MakeKel<THTMLTag>("table", &M, 2);
  auto BodyColor = MakeKel<THTMLAttribute>("bgcolor", 10);
  auto TableColor = MakeKel<THTMLAttribute>("bgcolor", 11);
  Body->AddAttribute(BodyColor.get());
  Table->AddAttribute(TableColor.get());
  M.RegisterTag(Body.get());
  M.RegisterTag(Table.get());
  auto ColorEditor = MakeKel<TStubEditor>();
  M.RegisterAttributeEditor(BodyColor.get(), ColorEditor.get());

  TKelPtr<IKelMLTagAttribute> A;
  TKelPtr<IKelMLEditor> E;
  M.GetAttributeEditorFromHashList("BGCOLOR", A, E, "body");
  EXPECT_EQ(E, TKelPtr<IKelMLEditor>(ColorEditor));
  EXPECT_EQ(A, TKelPtr<IKelMLTagAttribute>(BodyColor));
  M.GetAttributeEditorFromHashList("bgcolor", A, E, "table");
  EXPECT_FALSE(A);
  EXPECT_FALSE(E);

  // Written already, hence hidden for this request: still found.
  M.AddHiddenAttr(Body->RemoveAttribute("bgcolor").get());
  ASSERT_FALSE(Body->FindAttribute("bgcolor"));
  M.GetAttributeEditorFromHashList("bgcolor", A, E, "body");
  EXPECT_EQ(E, TKelPtr<IKelMLEditor>(ColorEditor));

  M.UnRegisterAttributeEditor(ColorEditor.get());
  M.GetAttributeEditorFromHashList("bgcolor", A, E, "body");
  EXPECT_FALSE(E);
}

TEST(ClosingTags, OfferedAtTheStartOfTheFilteredRangeInnermostFirst) {
  TMLSymbolManager M;
  auto Tr = MakeKel<THTMLTag>("tr", &M, 1);
  for (const char* N : {"td", "th"}) Tr->AddTag(MakeKel<THTMLTag>(N, &M, 2).get());
  Tr->AlphaSort();
  M.AddClosedTag(MakeKel<TClosingTag>("/tr", &M, -1).get());
  M.AddClosedTag(MakeKel<TClosingTag>("/table", &M, -1).get());

  Tr->SetFilter("");
  EXPECT_EQ(Children(*Tr), (std::vector<std::string>{"/tr", "/table", "td", "th"}));
  EXPECT_EQ(Tr->GetPureTagCount(), 2);
  Tr->SetFilter("th");
  EXPECT_EQ(Children(*Tr), (std::vector<std::string>{"/tr", "/table", "th"}));
  EXPECT_EQ(Tr->GetPureTagCount(), 1);
  // No child matches: the closing tags alone stay visible.
  Tr->SetFilter("x");
  EXPECT_EQ(Children(*Tr), (std::vector<std::string>{"/tr", "/table"}));
  EXPECT_EQ(Tr->GetPureTagCount(), 0);

  // In a tag name no closing tag is offered, and none stays from before.
  {
    auto C = M.GetParser()->Caret();
    C.CaretInTagName = true;
    M.GetParser()->SetCaret(std::move(C));
  }
  Tr->SetFilter("");
  EXPECT_EQ(Children(*Tr), (std::vector<std::string>{"td", "th"}));
  EXPECT_EQ(Tr->GetPureTagCount(), 2);
  {
    auto C = M.GetParser()->Caret();
    C.CaretInTagName = false;
    M.GetParser()->SetCaret(std::move(C));
  }
  Tr->SetFilter("");
  EXPECT_EQ(Tr->GetTagCount(), 4);
  EXPECT_EQ(Tr->GetPureTagCount(), 2);
  // A busy parser gets none either.
  TMLParserProbe{*M.GetParser()}.State() = TMLParserState::mlpsParsing;
  Tr->SetFilter("");
  EXPECT_EQ(Tr->GetTagCount(), 2);
  TMLParserProbe{*M.GetParser()}.State() = TMLParserState::mlpsNone;
  M.DeleteClosedTag(0);
  M.DeleteClosedTag(0);
  M.DeleteClosedTag(0);  // out of range: ignored
  Tr->SetFilter("");
  EXPECT_EQ(Children(*Tr), (std::vector<std::string>{"td", "th"}));
}

// The parser's state as a parse would leave it.
struct CaretCase {
  const char* Name;
  bool CurrentIsSchemaTag, CurrentIsUnknown, HasFixupTag, HasFixupParent;
  const char* CurrentTag;  // what GetCurrentTag answers
  const char* ListTag;     // whose children GetMLTag gives
};

const CaretCase CaretCases[] = {
    {"NoTagAtTheCaret", false, false, false, false, "<!--root-->", "<!--root-->"},
    {"SchemaTag", true, false, false, false, "table", "table"},
    {"SchemaTagWithAFixupParent", true, false, false, true, "table", "body"},
    {"UnknownTagAlone", false, true, false, false, "<!--root-->", "<!--root-->"},
    {"UnknownTagAfterASchemaTag", false, true, true, false, "blink", "td"},
    {"UnknownTagAfterASchemaTagWithAParent", false, true, true, true, "blink", "td"},
};

class CurrentTag : public ::testing::TestWithParam<CaretCase> {};

TEST_P(CurrentTag, AndTheTagWhoseChildrenAreOffered) {
  const CaretCase& C = GetParam();
  TMLSymbolManager M;
  M.SetTagCase(TTagCase::tcNormal);
  auto Root = MakeKel<THTMLTag>("<!--root-->", &M, 0);
  M.SetHiddenRootNode(Root.get());
  auto Named = [&M](const char* N) {
    auto T = MakeKel<THTMLTag>(N, &M, 1);
    T->AddTag(MakeKel<THTMLTag>(std::string(N) + "-child", &M, 2).get());
    T->SetFilter("");
    return T;
  };
  Root->AddTag(MakeKel<THTMLTag>("html", &M, 3).get());
  Root->SetFilter("");
  TMLCaretContext At;
  if (C.CurrentIsSchemaTag) At.CurrentTag = Named("table");
  if (C.CurrentIsUnknown) At.CurrentTag = MakeKel<TNamedTag>("blink", &M, -1);
  if (C.HasFixupTag) At.FixupTag = Named("td");
  if (C.HasFixupParent) At.FixupParent = Named("body");
  M.GetParser()->SetCaret(At);

  ASSERT_TRUE(M.GetCurrentTag());
  EXPECT_EQ(M.GetCurrentTag()->GetName(), C.CurrentTag);
  const auto First = M.GetMLTag(0);
  ASSERT_TRUE(First);
  const std::string Expected =
      std::string(C.ListTag) == "<!--root-->" ? "html" : std::string(C.ListTag) + "-child";
  EXPECT_EQ(First->GetName(), Expected);
  EXPECT_FALSE(M.GetMLTag(1));
  EXPECT_EQ(M.GetLineNumber(0), 0);  // not a closing tag
}

INSTANTIATE_TEST_SUITE_P(Parses, CurrentTag, ::testing::ValuesIn(CaretCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(ClosingTags, LineNumberOfAnOfferedClosingTagIsItsStartTagsLine) {
  TMLSymbolManager M;
  auto Td = MakeKel<THTMLTag>("td", &M, 1);
  {
    auto C = M.GetParser()->Caret();
    C.CurrentTag = Td;
    M.GetParser()->SetCaret(std::move(C));
  }
  auto Closing = MakeKel<TClosingTag>("/tr", &M, -1);
  Closing->SetLineNumber(41);
  M.AddClosedTag(Closing.get());
  Td->SetFilter("");
  EXPECT_EQ(M.GetMLTag(0)->GetName(), "/tr");
  EXPECT_EQ(M.GetLineNumber(0), 41);
}

TEST_F(THostTest, UnknownTagCaseBecomesAToolMessage) {
  TMLSymbolManager M;
  M.SetFileName("/w/page.html");
  M.SetTagCase(static_cast<TTagCase>(7));
  EXPECT_EQ(M.CaseTag("Td"), "Td");
  ASSERT_EQ(Test.Host().Messages().size(), 1u);
  EXPECT_EQ(Test.Host().Messages()[0],
            (TKelToolMessage{"/w/page.html", "Unknown tag case requested", "", 0, 0}));
  EXPECT_EQ(Test.Host().ShowCount(), 1);
}

}  // namespace
}  // namespace kel
