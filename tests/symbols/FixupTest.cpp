// The per-request changes the symbol manager makes to the tag at the caret,
// and that they are undone exactly.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "symbols/MLSymbolManager.h"
#include "tests/support/ParserProbe.h"

namespace kel {
namespace {

using Names = std::vector<std::string>;

Names AllNames(IKelMLTag* T) {
  Names R;
  for (const auto& C : AllChildren(T)) R.push_back(C->GetName());
  return R;
}

Names AttrNames(IKelMLTag& T) {
  T.SetShowAttributes(true);
  Names R;
  for (int32_t I = 0; I < T.GetAttributeCount(); ++I) R.push_back(T.GetAttribute(I)->GetName());
  T.SetShowAttributes(false);
  return R;
}

class Fixups : public ::testing::Test {
 protected:
  Fixups() { M.SetTagCase(TTagCase::tcNormal); }

  TKelPtr<THTMLTag> Tag(const std::string& Name, const Names& Children = {}, bool OmissibleStart = false) {
    auto T = MakeKel<THTMLTag>(Name, &M, 1);
    T->SetRequiresOpeningTag(!OmissibleStart);
    for (const auto& C : Children) T->AddTag(Known(C).get());
    T->AlphaSort();
    Schema.push_back(T);
    return T;
  }
  TKelPtr<IKelMLTag> Known(const std::string& Name) {
    for (const auto& T : Schema)
      if (T->GetName() == Name) return T;
    return Tag(Name);
  }
  void Enclosing(const Names& Innermost) {
    for (const auto& N : Innermost) {
      auto E = std::make_unique<TTagEntry>();
      E->Tag = Known(N);
      TMLParserProbe{*M.GetParser()}.Stack().push_back(std::move(E));
    }
  }
  ~Fixups() override {
    TMLParserProbe{*M.GetParser()}.Stack().clear();
    TMLParserProbe{*M.GetParser()}.Values() = nullptr;
    // Break the child cycles of the little schema.
    for (const auto& T : Schema) T->ClearTags();
  }

  TMLSymbolManager M;
  std::vector<TKelPtr<THTMLTag>> Schema;
};

TEST_F(Fixups, ChildrenOfOmissibleChildrenAreOfferedOutsideTagMarkup) {
  Tag("tr", {"td"});
  Tag("tbody", {"tr"}, /*OmissibleStart=*/true);
  const auto Table = Tag("table", {"tbody", "caption"});
  M.InsertFixupElements(Table.get(), nullptr);
  EXPECT_EQ(AllNames(Table.get()), (Names{"caption", "tbody", "tr"}));
  EXPECT_TRUE(supports<IKelMLWrapperTag>(Table->LookupTag("tr")));
  M.RemoveFixupElements(Table.get());
  EXPECT_EQ(AllNames(Table.get()), (Names{"caption", "tbody"}));

  // Inside the table's own markup its children are not widened ...
  {
    auto C = M.GetParser()->Caret();
    C.InTag = true;
    M.GetParser()->SetCaret(std::move(C));
  }
  M.InsertFixupElements(Table.get(), nullptr);
  EXPECT_EQ(AllNames(Table.get()), (Names{"caption", "tbody"}));
  M.RemoveFixupElements(Table.get());
  // ... unless an unknown element is involved.
  const TKelPtr<IKelMLTag> Unknown = MakeKel<TNamedTag>("blink", &M, -1);
  M.InsertFixupElements(Table.get(), Unknown.get());
  EXPECT_EQ(AllNames(Table.get()), (Names{"caption", "tbody", "tr"}));
  M.RemoveFixupElements(Table.get());
}

TEST_F(Fixups, ThePreviousTagsOmissibleChildrenContributeToo) {
  Tag("body", {"p", "div"}, /*OmissibleStart=*/true);
  const auto Html = Tag("html", {"body", "head"});
  const auto Blink = Tag("span", {"em"});
  M.InsertFixupElements(Blink.get(), Html.get());
  EXPECT_EQ(AllNames(Blink.get()), (Names{"div", "em", "p"}));
  M.RemoveFixupElements(Blink.get());
  EXPECT_EQ(AllNames(Blink.get()), (Names{"em"}));
}

TEST_F(Fixups, XslAndOutputElementsOfferEachOthersChildren) {
  M.SetKibitzMode(TKibitzMode::kmXSL);
  Tag("p", {"em", "xsl:value-of", "b"});
  const auto If = Tag("xsl:if", {"xsl:text"});
  Tag("xsl:template", {"xsl:if", "xsl:apply-templates", "p"});
  const auto Em = Tag("em");

  // In xsl:if inside p: p's output children.
  Enclosing({"xsl:if", "p", "xsl:template"});
  M.InsertFixupElements(If.get(), nullptr);
  EXPECT_EQ(AllNames(If.get()), (Names{"b", "em", "xsl:text"}));
  EXPECT_TRUE(supports<IKelMLXSLTag>(If->LookupTag("b")));
  M.RemoveFixupElements(If.get());
  EXPECT_EQ(AllNames(If.get()), (Names{"xsl:text"}));

  // In em inside p inside xsl:template: the template's XSL children.
  TMLParserProbe{*M.GetParser()}.Stack().clear();
  Enclosing({"em", "p", "xsl:template"});
  M.InsertFixupElements(Em.get(), nullptr);
  EXPECT_EQ(AllNames(Em.get()), (Names{"xsl:apply-templates", "xsl:if"}));
  M.RemoveFixupElements(Em.get());
  EXPECT_EQ(AllNames(Em.get()), Names{});

  // Not in HTML documents.
  M.SetKibitzMode(TKibitzMode::kmHTML);
  M.InsertFixupElements(Em.get(), nullptr);
  EXPECT_EQ(AllNames(Em.get()), Names{});
}

TEST_F(Fixups, WrittenAttributesAreHiddenAndComeBack) {
  const auto Td = Tag("td");
  for (const char* N : {"align", "colspan", "valign"}) Td->AddAttribute(MakeKel<THTMLAttribute>(N, 7).get());
  TTagAttributeValueList Written;
  Written.push_back(std::make_unique<TTagAttributeValue>(Td->FindAttribute("valign"), u"top", '"', '"'));
  Written.push_back(std::make_unique<TTagAttributeValue>(MakeKel<TUnknownHTMLAttribute>("x", -1), u"", 0, 0));
  TMLParserProbe{*M.GetParser()}.Values() = &Written;
  {
    auto C = M.GetParser()->Caret();
    C.InTag = true;
    M.GetParser()->SetCaret(std::move(C));
  }

  M.InsertFixupElements(Td.get(), nullptr);
  EXPECT_EQ(AttrNames(*Td), (Names{"align", "colspan"}));
  EXPECT_EQ(M.GetHiddenAttrCount(), 1);
  EXPECT_TRUE(M.FindHiddenAttr("VALIGN"));
  M.RemoveFixupElements(Td.get());
  EXPECT_EQ(AttrNames(*Td), (Names{"align", "colspan", "valign"}));
  EXPECT_EQ(M.GetHiddenAttrCount(), 0);
}

TEST_F(Fixups, InsertThenRemoveLeavesTheTagAsItWas) {
  Tag("tr", {"td", "th"});
  Tag("tbody", {"tr"}, true);
  Tag("thead", {"tr"}, true);
  const auto Table = Tag("table", {"tbody", "thead", "caption", "col"});
  for (const char* N : {"border", "summary"}) Table->AddAttribute(MakeKel<THTMLAttribute>(N, 3).get());
  TTagAttributeValueList Written;
  Written.push_back(std::make_unique<TTagAttributeValue>(Table->FindAttribute("border"), u"1", '"', '"'));
  TMLParserProbe{*M.GetParser()}.Values() = &Written;
  const Names Children = AllNames(Table.get());
  const Names Attrs = AttrNames(*Table);
  for (int Round = 0; Round < 3; ++Round) {
    M.InsertFixupElements(Table.get(), Known("tbody").get());
    EXPECT_NE(AllNames(Table.get()), Children);
    M.RemoveFixupElements(Table.get());
    EXPECT_EQ(AllNames(Table.get()), Children);
    EXPECT_EQ(AttrNames(*Table), Attrs);
  }
}

}  // namespace
}  // namespace kel
