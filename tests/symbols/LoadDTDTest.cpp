// Schema tags built from the real HTML 4.01 DTDs of the assembled schemas folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "symbols/HTMLAttributeEditors.h"
#include "symbols/MLSymbolManager.h"
#include "tests/support/TestHost.h"

namespace kel {
namespace {

class LoadDTD : public test::THostTest {
 protected:
  LoadDTD() {
    Test.Host().SetExecutableFileName(MLINSIGHT_BINARY_DIR "/bin/mlinsight");
    M.SetTagCase(TTagCase::tcNormal);
    Root = MakeKel<THTMLTag>("<!--root-->", &M, -1);
    M.SetHiddenRootNode(Root.get());
  }
  void Load(const char* File) { M.LoadDTD(Root.get(), GetSchemaFolder() + File); }
  std::vector<std::string> Children(const char* Tag) {
    std::vector<std::string> R;
    for (const auto& C : AllChildren(M.GetTagFromHashList(Tag).get())) R.push_back(C->GetName());
    return R;
  }
  static bool Has(const std::vector<std::string>& L, const char* N) {
    return std::find(L.begin(), L.end(), N) != L.end();
  }
  std::vector<std::string> Values(const char* Tag, const char* Attr) {
    std::vector<std::string> R;
    auto A = M.GetTagFromHashList(Tag)->FindAttribute(Attr);
    if (!A) return R;
    A->SetFilter("");
    for (int32_t I = 0; I < A->GetCount(); ++I) R.push_back(A->GetValue(I));
    return R;
  }

  std::string EditorOf(const char* Tag, const char* Attr) {
    TKelPtr<IKelMLTagAttribute> A;
    TKelPtr<IKelMLEditor> E;
    M.GetAttributeEditorFromHashList(Attr, A, E, Tag);
    const char* Kind = AttributeEditorKind(E.get());
    return Kind ? Kind : "none";
  }

  TMLSymbolManager M;
  TKelPtr<THTMLTag> Root;
};

TEST_F(LoadDTD, Html401StrictBecomesATagTree) {
  Load("strict.dtd");
  EXPECT_TRUE(Test.Host().Messages().empty());
  EXPECT_EQ(M.GetRegisteredCount(), 77);
  EXPECT_FALSE(M.GetTagFromHashList("EMPTY"));  // a content word, not an element
  // Only elements that are nobody's child stay at the top.
  EXPECT_EQ(Children("<!--root-->").size(), 0u);  // the root tag itself is not registered
  EXPECT_EQ(AllChildren(Root.get()).size(), 1u);
  EXPECT_EQ(AllChildren(Root.get())[0]->GetName(), "HTML");
  // TBODY's start tag may be left out, so TABLE offers its rows directly.
  const auto Table = Children("TABLE");
  for (const char* C : {"CAPTION", "THEAD", "TBODY", "TR", "COL"}) EXPECT_TRUE(Has(Table, C)) << C;
  EXPECT_FALSE(Has(Table, "TD"));
  EXPECT_TRUE(Children("BR").empty());
  // Exclusions: no A inside A, no FORM inside FORM.
  EXPECT_FALSE(Has(Children("A"), "A"));
  EXPECT_TRUE(Has(Children("A"), "SPAN"));
  EXPECT_FALSE(M.GetTagFromHashList("BR")->GetRequiresClosingTag());
  EXPECT_TRUE(M.GetTagFromHashList("BR")->GetEmpty());

  EXPECT_EQ(Values("TABLE", "frame"), (std::vector<std::string>{"above", "below", "border", "box", "hsides",
                                                                "lhs", "rhs", "void", "vsides"}));
  EXPECT_EQ(Values("A", "href"), std::vector<std::string>{"uri..."});
  EXPECT_EQ(Values("FORM", "enctype"),
            (std::vector<std::string>{"application/x-www-form-urlencoded", "multipart/form-data"}))
      << "keywords the editors block lists for CDATA";
  EXPECT_EQ(Values("TD", "nowrap"), std::vector<std::string>{});  // not in Strict
  EXPECT_EQ(Values("OPTION", "selected"), std::vector<std::string>{"selected"});
  EXPECT_TRUE(supports<IKelMLTagAttributeEvent>(M.GetTagFromHashList("BODY")->FindAttribute("onload")));
  EXPECT_TRUE(M.GetTagFromHashList("IMG")->FindAttribute("alt")->GetRequired());

  TAsciiCharList& Entities = M.GetCharList();
  Entities.SetFilter("");
  EXPECT_EQ(Entities.GetCount(), 252);
  Entities.SetFilter("nbsp");
  ASSERT_EQ(Entities.GetCount(), 1);
  EXPECT_EQ(Entities.GetAsciiVal(0), 160);
}

TEST_F(LoadDTD, LooseCarriesTheColourEditorEntries) {
  Load("loose.dtd");
  EXPECT_TRUE(Test.Host().Messages().empty());
  EXPECT_EQ(Values("BODY", "bgcolor"), std::vector<std::string>{"color..."});
  EXPECT_TRUE(Has(Children("BODY"), "FONT"));
}

TEST_F(LoadDTD, ValueEditorsFollowTheFirstValue) {
  Load("loose.dtd");
  struct Case {
    const char* Tag;
    const char* Attr;
    const char* Editor;
  } Cases[] = {
      {"BODY", "bgcolor", "color"}, {"FONT", "color", "color"},    {"A", "href", "uri"},
      {"IMG", "src", "uri"},        {"TABLE", "frame", "default"}, {"OPTION", "selected", "default"},
      {"IMG", "alt", "none"},       {"TD", "colspan", "none"},     {"BODY", "onload", "none"},
  };
  for (const auto& C : Cases) EXPECT_EQ(EditorOf(C.Tag, C.Attr), C.Editor) << C.Tag << " " << C.Attr;
}

TEST_F(LoadDTD, ProblemsBecomeToolMessages) {
  M.LoadDTD(Root.get(), "/nonexistent/x.dtd");
  ASSERT_EQ(Test.Host().Messages().size(), 1u);
  EXPECT_EQ(Test.Host().Messages()[0].Prefix, "Failure");
  EXPECT_EQ(Test.Host().Messages()[0].Text, "Invalid file /nonexistent/x.dtd");
}

}  // namespace
}  // namespace kel
