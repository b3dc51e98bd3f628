// Choosing, loading and caching the schema, with small schema folders made
// here (the host's executable sits in <temp>/bin, so schemas are in
// <temp>/schemas).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "markup/MLBufferProducer.h"
#include "symbols/HTMLAttributeEditors.h"
#include "symbols/MLSymbolManager.h"
#include "tests/support/TestHost.h"

namespace kel {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

const char* const SmallHtml =
    "<!ELEMENT HTML O O (BODY)>\n<!ELEMENT BODY O O (P|DIV)*>\n<!ELEMENT P - O (#PCDATA)>\n"
    "<!ELEMENT DIV - - (P|DIV)*>\n<!ATTLIST DIV align (left|right) #IMPLIED>\n";

const char* const Xsd =
    "<xsd:schema xmlns:xsd='http://www.w3.org/2001/XMLSchema' xmlns:vs='v' elementFormDefault='qualified'>\n";

class SchemaSelection : public test::THostTest {
 protected:
  SchemaSelection() {
    M.SetTagCase(TTagCase::tcNormal);
    fs::create_directories(Test.Folder() / "bin");  // "<exe dir>/../schemas" needs the exe dir
  }
  ~SchemaSelection() override {
    M.GetParser()->ReleaseTags();
    M.ClearTags();
  }
  std::string Schemas() { return GetSchemaFolder(); }
  void Write(const std::string& Name, const std::string& Text) {
    fs::create_directories(fs::path(Schemas() + Name).parent_path());
    std::ofstream(Schemas() + Name) << Text;
  }
  Names Children(const std::string& Tag) {
    Names R;
    TKelPtr<IKelMLTag> T = Tag.empty() ? M.GetHiddenRootNode() : M.GetTagFromHashList(Tag);
    if (T)
      for (const auto& C : AllChildren(T.get())) R.push_back(C->GetName());
    return R;
  }
  Names Messages() {
    Names R;
    for (const auto& Msg : Test.Host().Messages())
      R.push_back(Msg.Prefix + "|" + fs::path(Msg.FileName).filename().string() + "|" + Msg.Text + "|" +
                  std::to_string(Msg.Line) + ":" + std::to_string(Msg.Column));
    return R;
  }
  // A tag that only survives as long as the schema is not loaded again.
  void Mark() { M.RegisterTag(MakeKel<THTMLTag>("marker", &M, -1).get()); }
  bool Marked() { return static_cast<bool>(M.GetTagFromHashList("marker")); }

  TMLSymbolManager M;
};

TEST_F(SchemaSelection, LoadsOnceUntilAnotherFileIsAsked) {
  Write("loose.dtd", SmallHtml);
  Write("strict.dtd", "<!ELEMENT HTML - - (#PCDATA)>");
  M.SetSchemaFile("");
  EXPECT_EQ(M.GetSchemaFile(), Schemas() + "loose.dtd");
  EXPECT_EQ(Children(""), Names{"HTML"});
  EXPECT_EQ(Children("DIV"), (Names{"DIV", "P"}));
  Mark();
  M.SetSchemaFile("http://www.w3.org/TR/html4/loose.dtd");  // the same file
  EXPECT_TRUE(Marked());
  M.SetSchemaFile("-//W3C//DTD HTML 4.01//EN");
  EXPECT_FALSE(Marked());
  EXPECT_EQ(M.GetSchemaFile(), Schemas() + "strict.dtd");
  EXPECT_EQ(M.GetRegisteredCount(), 1);
  EXPECT_EQ(Messages(), Names{});
}

TEST_F(SchemaSelection, AnyTakesEveryElementAndEmptyNone) {
  Write("any.dtd",
        "<!ELEMENT ROOT - - (BOX)>\n<!ELEMENT BOX - - ANY>\n<!ELEMENT DOT - O EMPTY>\n"
        "<!ELEMENT LINE - - (DOT|UNDECLARED)+>\n");
  M.SetSchemaFile("any.dtd");
  EXPECT_EQ(Children("BOX"), (Names{"BOX", "DOT", "LINE", "ROOT"}));
  EXPECT_EQ(Children("DOT"), Names{});
  EXPECT_TRUE(M.GetTagFromHashList("DOT")->GetEmpty());
  // BOX holds everything, yet only content models take tags from the top.
  EXPECT_EQ(Children(""), (Names{"LINE", "ROOT"}));
}

TEST_F(SchemaSelection, AnUnknownIdentifierFallsBackToTheDefaultWithOneHint) {
  Write("loose.dtd", SmallHtml);
  M.SetSchemaFile("");
  M.SetSchemaFile("nothing.dtd");
  EXPECT_EQ(M.GetSchemaFile(), Schemas() + "loose.dtd") << "completion goes on";
  EXPECT_GT(M.GetRegisteredCount(), 0);
  M.SetSchemaFile("nothing.dtd");
  EXPECT_EQ(Messages(), (Names{"Hint||No schema for \"nothing.dtd\"; the default one serves|1:1"}))
      << "once for the document, not per request";
  // With no default to fall back on, the file is reported missing.
  std::filesystem::remove(Schemas() + "loose.dtd");
  M.SetSchemaFile("nothing.dtd");
  EXPECT_EQ(M.GetSchemaFile(), "");
  EXPECT_EQ(Messages().back(), "Code Completion||Invalid schema file \"nothing.dtd\"|1:1");
  // A DOCTYPE can be a whole page long; the message quotes its start.
  M.SetSchemaFile(std::string(100'000, 'x'));
  EXPECT_EQ(Messages().back(),
            "Code Completion||Invalid schema file \"" + std::string(80, 'x') + "\u2026\"|1:1");
}

TEST_F(SchemaSelection, TheExtensionChoosesTheReader) {
  Write("page.txt", SmallHtml);
  Write("Forms.XSD", std::string(Xsd) + "<xsd:element name='form'/></xsd:schema>");
  Write("Old.Dtd", SmallHtml);
  M.SetSchemaFile("page.txt");
  EXPECT_EQ(M.GetSchemaFile(), Schemas() + "page.txt");
  EXPECT_EQ(M.GetRegisteredCount(), 0);
  M.SetSchemaFile("Forms.XSD");
  EXPECT_EQ(Children(""), Names{"form"});
  M.SetSchemaFile("Old.Dtd");
  EXPECT_EQ(Children(""), Names{"HTML"});
}

TEST_F(SchemaSelection, XslLoadsTheOutputDtdUnderTemplate) {
  Write("xsl.dtd",
        "<!ELEMENT xsl:stylesheet - - (xsl:template)*>\n<!ELEMENT xsl:template - - (#PCDATA)>\n<!BOGUS x>\n");
  M.SetKibitzMode(TKibitzMode::kmXSL);
  M.SetSchemaFile("");
  // No output DTD yet: the XSL elements serve, the next request tries
  // again, and the message stands once.
  EXPECT_EQ(M.GetSchemaFile(), Schemas() + "xsl.dtd");
  EXPECT_EQ(Children("xsl:template"), Names{});
  M.SetSchemaFile("");
  ASSERT_EQ(Messages().size(), 2u);
  EXPECT_EQ(Messages()[1], "Code Completion||Invalid schema file \"" + Schemas() + "loose.dtd\"|1:1");
  const std::string OwnMessage = Messages()[0];

  Write("loose.dtd", SmallHtml);
  M.SetSchemaFile("");
  EXPECT_EQ(M.GetSchemaFile(), Schemas() + "xsl.dtd");
  EXPECT_EQ(M.GetXSLOutputSchema(), "loose.dtd");
  EXPECT_EQ(Children("xsl:template"), Names{"HTML"});
  EXPECT_EQ(Children(""), Names{"xsl:stylesheet"});
  EXPECT_EQ(Messages(), Names{OwnMessage}) << "the XSL schema's own messages stay after its output's load";
  Mark();
  M.SetSchemaFile("");
  EXPECT_TRUE(Marked());
}

TEST_F(SchemaSelection, AspSchemasFollowTheSwitchAndTheDocument) {
  Write("loose.dtd", SmallHtml);
  Write("asp schemas/asp.xsd", std::string(Xsd) +
                                   "<xsd:element name='Button' type='ButtonDef'/>"
                                   "<xsd:complexType name='ButtonDef'><xsd:attribute name='ForeColor' "
                                   "vs:builder='color'/><xsd:attribute name='OnClick' vs:omtype='event'/>"
                                   "</xsd:complexType></xsd:schema>");
  Write("asp_directives.xsd", std::string(Xsd) + "<xsd:element name='Page'/></xsd:schema>");
  M.SetSchemaFile("");
  EXPECT_FALSE(M.GetTagFromHashList("asp:Button"));
  M.SetIsASPEnabled(true);
  EXPECT_EQ(Children("BODY"), (Names{"asp:Button", "DIV", "P"}));
  EXPECT_EQ(Children(""), (Names{"HTML", "Page"}));
  EXPECT_FALSE(Children("DIV").empty());
  auto Button = M.GetTagFromHashList("asp:Button");
  ASSERT_TRUE(Button);
  auto Color = Button->FindAttribute("ForeColor");
  Color->SetFilter("");
  ASSERT_EQ(Color->GetCount(), 1);
  EXPECT_EQ(Color->GetValue(0), "color...");
  EXPECT_TRUE(supports<IKelMLTagAttributeEvent>(Button->FindAttribute("OnClick")));
  M.SetIsASPEnabled(false);
  EXPECT_FALSE(M.GetTagFromHashList("asp:Button"));
  EXPECT_FALSE(M.GetTagFromHashList("Page"));

  // A server page gets the directives without the switch.
  M.SetFileName("/site/Control.AsCx");
  Write("other.dtd", SmallHtml);
  M.SetSchemaFile("other.dtd");
  M.SetSchemaFile("");
  EXPECT_TRUE(M.GetTagFromHashList("Page"));
  EXPECT_FALSE(M.GetTagFromHashList("asp:Button"));
}

TEST_F(SchemaSelection, XsdTagsTakeTypesChildrenValuesAndEditors) {
  Write("forms.xsd",
        std::string(Xsd) +
            "<xsd:simpleType name='Align'><xsd:restriction base='xsd:string'>"
            "<xsd:enumeration value='left'/><xsd:enumeration value='right'/></xsd:restriction>"
            "</xsd:simpleType>\n"
            "<xsd:element name='form' type='FormDef'/>\n"
            "<xsd:complexType name='FormDef'><xsd:choice>"
            "<xsd:element ref='field'/><xsd:element name='group' vs:nonbrowseable='true'>"
            "<xsd:complexType><xsd:sequence><xsd:element ref='button'/></xsd:sequence>"
            "</xsd:complexType></xsd:element></xsd:choice>"
            "<xsd:attribute name='align' type='Align'/>"
            "<xsd:attribute name='action' type='xsd:anyURI'/>"
            "<xsd:attribute name='skin' editor='skins'/></xsd:complexType>\n"
            "<xsd:element name='field' vs:implicitclosure='true'/>\n"
            "<xsd:element name='button'/>\n<xsd:element name='hidden' vs:nonbrowseable='true'/>\n"
            "</xsd:schema>");
  M.SetSchemaFile("forms.xsd");
  EXPECT_TRUE(Messages().empty()) << Messages()[0];
  EXPECT_EQ(Children(""), (Names{"form"})) << "field and button stand where form names them";
  EXPECT_EQ(Children("form"), (Names{"button", "field"}));  // group stands for its children
  EXPECT_FALSE(M.GetTagFromHashList("field")->GetRequiresClosingTag());
  auto Form = M.GetTagFromHashList("form");
  auto Align = Form->FindAttribute("align");
  Align->SetFilter("");
  ASSERT_EQ(Align->GetCount(), 2);
  EXPECT_EQ(Align->GetValue(1), "right");
  struct Case {
    const char* Attr;
    const char* Editor;
  } Cases[] = {{"align", "default"}, {"action", "uri"}, {"skin", "none"}};
  for (const auto& C : Cases) {
    TKelPtr<IKelMLTagAttribute> A;
    TKelPtr<IKelMLEditor> E;
    M.GetAttributeEditorFromHashList(C.Attr, A, E, "form");
    const char* Kind = AttributeEditorKind(E.get());
    EXPECT_STREQ(Kind ? Kind : "none", C.Editor) << C.Attr;
  }
}

// A DOCTYPE opens schema files from the schemas folder, and a page's own DTD
// beside the page or below it (with what that DTD includes there); nothing
// above it, at an absolute path, or reached through a link that leaves it.
TEST_F(SchemaSelection, APagesOwnDtdComesFromItsFolderOrBelowOnly) {
  Write("loose.dtd", SmallHtml);
  const fs::path Site = Test.Folder() / "site";
  fs::create_directories(Site / "sub");
  const auto Put = [](const fs::path& P, const std::string& Element) {
    std::ofstream(P) << "<!ELEMENT " + Element + " - - ANY>\n";
  };
  Put(Site / "sub" / "deep.dtd", "DEEP");
  Put(Test.Folder() / "evil.dtd", "EVIL");
  std::ofstream(Site / "own.dtd") << "<!ENTITY % part SYSTEM \"part.ent\">\n%part;\n<!ELEMENT OWN - - ANY>\n";
  Put(Site / "part.ent", "PART");
  fs::create_symlink(Test.Folder() / "evil.dtd", Site / "link.dtd");
  M.SetFileName((Site / "page.html").string());
  const struct {
    std::string Identifier;
    Names Present;
  } Cases[] = {
      {"own.dtd", {"OWN", "PART"}}, {"sub/deep.dtd", {"DEEP"}},
      {"../evil.dtd", {"HTML"}},    {(Test.Folder() / "evil.dtd").string(), {"HTML"}},
      {"link.dtd", {"HTML"}},       {"file:../evil.dtd", {"HTML"}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Identifier);
    M.SetSchemaFile(C.Identifier);
    for (const auto& P : C.Present) EXPECT_TRUE(M.GetTagFromHashList(P)) << P;
    EXPECT_FALSE(M.GetTagFromHashList("EVIL"));
  }
}

// Non-browseable children of a type that holds three of itself: each type
// is opened once per tag, so the load ends at once with the leaf found.
TEST_F(SchemaSelection, NonBrowseableChildrenOpenEachTypeOnce) {
  std::string Choice;
  for (int I = 0; I < 3; ++I)
    Choice += "<xsd:element name='hidden" + std::to_string(I) + "' type='T' vs:nonbrowseable='true'/>";
  Write("breadth.xsd", std::string(Xsd) +
                           "<xsd:element name='root' type='T'/>\n<xsd:complexType name='T'><xsd:choice>" +
                           Choice +
                           "<xsd:element ref='leaf'/></xsd:choice></xsd:complexType>\n"
                           "<xsd:element name='leaf'/>\n</xsd:schema>");
  M.SetSchemaFile("breadth.xsd");
  EXPECT_EQ(Children("root"), (Names{"leaf"}));

  // 2,000 elements of a type opening a chain of 3,000 (twice each): every
  // child read counts, so the walks stop at a total (20,000 took 8 s).
  std::string Chain;
  for (int I = 0; I < 3000; ++I) {
    const std::string Next = "T" + std::to_string(I + 1);
    Chain += "<xsd:complexType name='T" + std::to_string(I) + "'><xsd:choice><xsd:element name='n" +
             std::to_string(I) + "' type='" + Next + "' vs:nonbrowseable='true'/><xsd:element name='m" +
             std::to_string(I) + "' type='" + Next +
             "' vs:nonbrowseable='true'/></xsd:choice></xsd:complexType>";
  }
  Chain +=
      "<xsd:complexType name='T3000'><xsd:choice><xsd:element ref='leaf'/></xsd:choice></xsd:complexType>";
  for (int I = 0; I < 2000; ++I) Chain += "<xsd:element name='e" + std::to_string(I) + "' type='T0'/>";
  Write("chain.xsd", std::string(Xsd) + Chain + "<xsd:element name='leaf'/></xsd:schema>");
  M.SetSchemaFile("chain.xsd");
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_THAT(Messages()[0], testing::HasSubstr("children lists reach too far"));
}

TEST_F(SchemaSelection, ProblemsOfTheSchemaBecomeMessagesAndTheLoadGoesOn) {
  Write("bad.xsd", std::string(Xsd) + "<xsd:element name='a'/><xsd:element name='a'/></xsd:schema>");
  Write("long.dtd", "<!ELEMENT A - - EMPTY>\n<!-- " + std::string(20000, 'x') + " -->\n");
  M.SetSchemaFile("bad.xsd");
  EXPECT_EQ(Children(""), Names{"a"});
  EXPECT_EQ(Messages(), Names{"Failure|bad.xsd|Element a already exists|0:0"});
  M.SetSchemaFile("long.dtd");
  EXPECT_EQ(M.GetSchemaFile(), Schemas() + "long.dtd");
  // A DTD load starts with a clean message view; a long comment is read over.
  EXPECT_EQ(Messages(), Names{});
  EXPECT_TRUE(M.GetTagFromHashList("A"));
}

// Schemas built to exhaust: 40,000 elements on one line of content, and
// 1,500 elements of ANY content (2.25 million child entries if each listed
// every element).
TEST_F(SchemaSelection, WideSchemasLoadWhole) {
  std::string Wide = "<!ELEMENT root - - (e0";
  for (int I = 1; I < 40000; ++I) Wide += "|e" + std::to_string(I);
  Wide += ")*>\n";
  for (int I = 0; I < 40000; ++I)
    Wide += "<!ELEMENT e" + std::to_string(I) + " - - (#PCDATA)>\n<!ATTLIST e" + std::to_string(I) +
            " a CDATA #IMPLIED>\n";
  Write("wide.dtd", Wide);
  M.SetSchemaFile("wide.dtd");
  EXPECT_EQ(M.GetRegisteredCount(), 40001);
  EXPECT_EQ(Children("root").size(), 40000u);
  EXPECT_EQ(Children(""), Names{"root"}) << "every other element is a child of root";
  EXPECT_TRUE(M.GetTagFromHashList("E39999")->FindAttribute("a"));
  EXPECT_EQ(Messages(), Names{});

  std::string Any, AnyGroup = "(a0";
  for (int I = 0; I < 1500; ++I) Any += "<!ELEMENT a" + std::to_string(I) + " - - ANY>\n";
  for (int I = 1; I < 1500; ++I) AnyGroup += "|a" + std::to_string(I);
  Write("any.dtd", Any + "<!ATTLIST " + AnyGroup + ") x CDATA #IMPLIED>\n");
  M.SetSchemaFile("any.dtd");
  EXPECT_EQ(M.GetRegisteredCount(), 1500);
  size_t Listing = 0, WithX = 0;
  for (const auto& Entry : M.GetRegisteredTags()) {
    Listing += AllChildren(Entry.Tag.get()).size() == 1500;
    WithX += Entry.Tag->FindAttribute("x") != nullptr;
  }
  EXPECT_EQ(Listing, 666u) << "a million entries in all";
  EXPECT_EQ(WithX, 1500u) << "the others keep their attributes";
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_THAT(Messages()[0], testing::StartsWith("Hint|any.dtd|"));

  // 2,000 elements in a chain, each including one and excluding another:
  // each walk goes down the whole chain with its exclusions (minutes), so
  // the walks stop at a total.
  std::string Chain;
  for (int I = 0; I < 2000; ++I)
    Chain += "<!ELEMENT c" + std::to_string(I) + " - - (c" + std::to_string(I + 1) + ") +(c" +
             std::to_string(I * 7 % 2000) + ") -(c" + std::to_string(I * 3 % 2000) + ")>\n";
  Write("chain.dtd", Chain + "<!ELEMENT c2000 - - (#PCDATA)>\n");
  M.SetSchemaFile("chain.dtd");
  EXPECT_EQ(M.GetRegisteredCount(), 2001);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_THAT(Messages()[0], testing::HasSubstr("reach too far"));

  // 5,000 elements of omissible start tags in a chain: each lists what is
  // below it through 16 of them, not all (20,000 took 2 minutes and 6 GB).
  std::string Omissible;
  for (int I = 0; I < 5000; ++I)
    Omissible += "<!ELEMENT o" + std::to_string(I) + " O O (o" + std::to_string(I + 1) + ")>\n";
  Write("omissible.dtd", Omissible + "<!ELEMENT o5000 - - EMPTY>\n");
  M.SetSchemaFile("omissible.dtd");
  EXPECT_EQ(Children("o0").size(), 17u);
  EXPECT_EQ(Messages(), Names{});

  // 100 elements given two enumerations of 20,000 values by one name group:
  // values are made until a million (100,000 values on 1,000 elements took
  // a minute and 4.7 GB).
  std::string Group = "(v0", Values = "(x0";
  for (int I = 1; I < 100; ++I) Group += "|v" + std::to_string(I);
  for (int I = 1; I < 20000; ++I) Values += "|x" + std::to_string(I);
  Write("values.dtd", "<!ELEMENT " + Group + ") - - EMPTY>\n<!ATTLIST " + Group + ") a " + Values +
                          ") #IMPLIED b " + Values + ") #IMPLIED>\n");
  M.SetSchemaFile("values.dtd");
  size_t Full = 0, Empty = 0;
  for (int I = 0; I < 100; ++I)
    for (const char* A : {"a", "b"}) {
      const auto Count = M.GetTagFromHashList("v" + std::to_string(I))->FindAttribute(A)->GetCount();
      Full += Count == 20000;
      Empty += Count == 0;
    }
  EXPECT_EQ(Full, 50u);
  EXPECT_EQ(Empty, 150u);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_THAT(Messages()[0], testing::HasSubstr("more than 1,000,000 values"));

  // 60 elements given 100,000 inclusions by one name group: each list read
  // is paid for (1,000 elements with 300,000 took 34 seconds).
  std::string Included = "(i0";
  for (int I = 1; I < 100'000; ++I) Included += "|i" + std::to_string(I);
  const std::string Sixty = Group.substr(0, Group.find("|v60")) + ")";
  Write("included.dtd", "<!ELEMENT " + Sixty + " - - (i0)* +" + Included + ")>\n<!ATTLIST " + Sixty +
                            " x CDATA #IMPLIED>\n<!ELEMENT i0 - - (#PCDATA)>\n");
  M.SetSchemaFile("included.dtd");
  EXPECT_EQ(M.GetRegisteredCount(), 61);
  for (int I = 0; I < 60; ++I)
    EXPECT_TRUE(M.GetTagFromHashList("v" + std::to_string(I))->FindAttribute("x")) << I;
  ASSERT_EQ(Messages().size(), 2u);
  EXPECT_THAT(Messages()[0], testing::HasSubstr("content models reach too far"));
  EXPECT_THAT(Messages()[1], testing::HasSubstr("inclusions of"));

  // Twenty elements of one type with 20,000 attributes: each element's tag
  // gets them until 250,000 are made (20 x 500,000 took 4 GB).
  std::string Shared = "<xsd:complexType name='T'>";
  for (int I = 0; I < 20000; ++I) Shared += "<xsd:attribute name='a" + std::to_string(I) + "'/>";
  Shared += "</xsd:complexType>";
  for (int I = 0; I < 20; ++I) Shared += "<xsd:element name='k" + std::to_string(I) + "' type='T'/>";
  Write("shared.xsd", std::string(Xsd) + Shared + "</xsd:schema>");
  M.SetSchemaFile("shared.xsd");
  EXPECT_EQ(M.GetRegisteredCount(), 20);
  EXPECT_EQ(M.GetTagFromHashList("k0")->GetAttributeCount(), 20000);
  EXPECT_EQ(M.GetTagFromHashList("k12")->GetAttributeCount(), 10000);
  EXPECT_EQ(M.GetTagFromHashList("k19")->GetAttributeCount(), 0);
  EXPECT_THAT(Messages().back(), testing::HasSubstr("more than 250,000 attributes, values and children"));

  // Elements beyond 100,000 make no tags, in a DTD as in an XSD.
  std::string ManyDtd, ManyXsd;
  for (int I = 0; I < 100'100; ++I) {
    ManyDtd += "<!ELEMENT m" + std::to_string(I) + " - - EMPTY>\n";
    ManyXsd += "<xsd:element name='m" + std::to_string(I) + "'/>";
  }
  Write("many.dtd", ManyDtd);
  Write("many.xsd", std::string(Xsd) + ManyXsd + "</xsd:schema>");
  const auto Capped = [this] {
    const Names Said = Messages();
    return std::count_if(Said.begin(), Said.end(),
                         [](const std::string& S) { return S.find("more than 100,000 elements") != S.npos; });
  };
  for (const char* File : {"many.dtd", "many.xsd"}) {
    SCOPED_TRACE(File);
    M.SetSchemaFile(File);
    EXPECT_EQ(M.GetRegisteredCount(), 100'000);
    EXPECT_EQ(Capped(), 1) << "said once";
  }
}

// The parse that loads the page's schema read the page with the tags
// before it: it says so, and its caller's next parse has the new tags.
TEST_F(SchemaSelection, AParseThatLoadsTheSchemaSaysSo) {
  Write("loose.dtd", SmallHtml);
  const auto View = Test.OpenView("<html><body><div>|");
  TMLParser& P = *M.GetParser();
  const auto Parse = [&] {
    return P.Parse(View->GetCursorPos(), MakeKel<TMLBufferProducer>(View.get()).get(), nullptr);
  };
  EXPECT_TRUE(Parse());
  EXPECT_FALSE(Parse()) << "the same schema again";
  ASSERT_TRUE(P.Caret().CurrentTag);
  EXPECT_EQ(P.Caret().CurrentTag.get(), M.GetTagFromHashList("DIV").get());
}

}  // namespace
}  // namespace kel
