#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "schema/XSDReader.h"

namespace kel {
namespace {

namespace fs = std::filesystem;

const char* const Head =
    "<?xml version='1.0'?>\n<xsd:schema xmlns:xsd='http://www.w3.org/2001/XMLSchema' "
    "xmlns:vs='http://example.org/vs'>\n";

class XSDReaderTest : public ::testing::Test {
 protected:
  XSDReaderTest() : Folder(fs::temp_directory_path() / ("mlinsight-xsd-" + std::to_string(::getpid()))) {
    fs::create_directories(Folder);
    Reader.OnError = [this](TXSDReader* Sender, const std::string& File, const std::string& Msg) {
      EXPECT_EQ(Sender, &Reader);
      Messages.push_back(fs::path(File).filename().string() + ": " + Msg);
    };
  }
  ~XSDReaderTest() override { fs::remove_all(Folder); }

  std::string Write(const std::string& Name, const std::string& Text) {
    auto Path = Folder / Name;
    std::ofstream(Path) << Text;
    return Path.string();
  }
  // Loads a schema whose body is Body, from a file called Name.
  void Load(const std::string& Body, const std::string& Name = "test.xsd") {
    Reader.LoadFromFile(Write(Name, Head + Body + "</xsd:schema>\n"));
  }
  std::vector<std::string> Elements() {
    std::vector<std::string> R;
    for (auto* E = Reader.GetFirstElement(); E; E = Reader.GetNextElement(E)) {
      TXSDElement* El = TXSDReader::ElementOf(E);
      R.push_back(El->Name + "/" + El->ParentName + "/" + std::to_string(El->Level));
    }
    return R;
  }
  std::vector<std::string> AttributesOf(TXSDBaseType* T) {
    std::vector<std::string> R;
    if (T)
      for (int32_t I = 0; I < T->GetAttributeCount(); ++I) R.push_back(T->GetAttributes(I)->Name);
    return R;
  }

  fs::path Folder;
  TXSDReader Reader;
  std::vector<std::string> Messages;
};

using V = std::vector<std::string>;

TEST_F(XSDReaderTest, PrefixOnlyForTheTwoSchemaNames) {
  struct Case {
    const char* File;
    const char* Prefix;
  } Cases[] = {
      {"asp.xsd", "asp:"}, {"quorvel.xsd", "quorvel:"}, {"ASP.xsd", ""}, {"asp2.xsd", ""}, {"other.xsd", ""},
  };
  for (const auto& C : Cases) {
    TXSDReader R;
    R.LoadFromFile(Write(C.File, std::string(Head) + "<xsd:element name='a'/></xsd:schema>"));
    EXPECT_EQ(R.GetNamespacePrefix(), C.Prefix) << C.File;
    EXPECT_NE(R.GetFirstElement(), nullptr) << C.File;
  }
  // A document that is not a schema gives neither prefix nor declarations.
  TXSDReader R;
  R.LoadFromFile(Write("asp.xsd", "<schema><xsd:element name='a'/></schema>"));
  EXPECT_EQ(R.GetNamespacePrefix(), "");
  EXPECT_EQ(R.GetFirstElement(), nullptr);
}

TEST_F(XSDReaderTest, ElementsInDocumentOrderWithParentAndLevel) {
  Load(
      "<xsd:element name='root' type='RootDef'/>\n"
      "<xsd:complexType name='RootDef'><xsd:sequence>\n"
      "  <xsd:element name='head'/><xsd:element name='body'>\n"
      "    <xsd:complexType><xsd:choice><xsd:element name='p'/></xsd:choice></xsd:complexType>\n"
      "  </xsd:element></xsd:sequence></xsd:complexType>\n"
      "<xsd:element name='other'/>\n");
  EXPECT_EQ(Elements(), (V{"root//0", "head/RootDef/1", "body/RootDef/1", "p//2", "other//0"}));
  EXPECT_TRUE(Messages.empty());
  TXSDType* Root = Reader.LookupType("rootdef");
  ASSERT_NE(Root, nullptr);
  ASSERT_EQ(Root->GetChildCount(), 2);
  EXPECT_EQ(Root->GetChild(1)->Name, "body");
  auto* BodyType = dynamic_cast<TXSDType*>(Root->GetChild(1)->ElementType);
  ASSERT_NE(BodyType, nullptr);
  ASSERT_EQ(BodyType->GetChildCount(), 1);
  EXPECT_EQ(BodyType->GetChild(0)->Name, "p");
  EXPECT_EQ(Reader.LookupElement("HEAD", "RootDef", 1, false)->Name, "head");
  EXPECT_EQ(Reader.LookupElement("head", "rootdef", 1, false), nullptr);  // parent compared exactly
  EXPECT_EQ(Reader.LookupElement("head", "", -1, true)->Name, "head");
  EXPECT_EQ(Reader.LookupElement("head", "RootDef", 0, false), nullptr);
}

TEST_F(XSDReaderTest, DuplicatesAreReportedOnceAndTheFirstKept) {
  Load(
      "<xsd:element name='a' type='first'/><xsd:element name='A' type='second'/>\n"
      "<xsd:complexType name='T1'><xsd:sequence><xsd:element name='x' type='one'/></xsd:sequence>"
      "</xsd:complexType>\n"
      "<xsd:complexType name='T2'><xsd:sequence><xsd:element name='x' type='two'/></xsd:sequence>"
      "</xsd:complexType>\n"
      "<xsd:complexType name='t1'/>\n"
      "<xsd:attributeGroup name='g'/><xsd:attributeGroup name='g'/>\n");
  EXPECT_EQ(Messages, (V{"test.xsd: Element A already exists", "test.xsd: Type t1 already exists",
                         "test.xsd: AttributeGroup g already exists"}));
  EXPECT_EQ(Reader.LookupElement("a", "", 0, false)->TypeName, "first");
  EXPECT_EQ(Reader.LookupElement("x", "T1", 1, false)->TypeName, "one");
  EXPECT_EQ(Reader.LookupElement("x", "T2", 1, false)->TypeName, "two");
  EXPECT_EQ(Elements(), (V{"a//0", "x/T1/1", "x/T2/1"}));
}

TEST_F(XSDReaderTest, ElementFlags) {
  Load(
      "<xsd:element name='a' vs:nonbrowseable='TRUE' vs:implicitclosure='true'/>\n"
      "<xsd:element name='b' macroelement='true' impliedclose='True' form='unqualified'/>\n"
      "<xsd:element name='c' vs:nonbrowseable='false' form='qualified'/>\n");
  auto* A = Reader.LookupElement("a", "", 0, false);
  auto* B = Reader.LookupElement("b", "", 0, false);
  auto* C = Reader.LookupElement("c", "", 0, false);
  EXPECT_TRUE(A->NonBrowseable && A->ImplicitClosure);
  EXPECT_TRUE(B->NonBrowseable && B->ImplicitClosure && B->Unqualified);
  EXPECT_FALSE(C->NonBrowseable || C->ImplicitClosure);
  // Without elementFormDefault="qualified" every element is unqualified.
  EXPECT_TRUE(C->Unqualified);

  TXSDReader Q;
  Q.LoadFromFile(Write("q.xsd",
                       "<xsd:schema elementFormDefault='Qualified'><xsd:element name='c'/>"
                       "<xsd:element name='d' form='unqualified'/></xsd:schema>"));
  EXPECT_TRUE(Q.GetDefaultQualified());
  EXPECT_FALSE(Q.LookupElement("c", "", 0, false)->Unqualified);
  EXPECT_TRUE(Q.LookupElement("d", "", 0, false)->Unqualified);
}

TEST_F(XSDReaderTest, AttributeTypeAndBuilder) {
  struct Case {
    const char* Attr;
    const char* TypeName;
    const char16_t* Builder;
  } Cases[] = {
      {"type='xsd:anyURI'", "xsd:anyURI", u"uri"},
      {"type='xsd:anyURI' vs:builder='url'", "xsd:anyURI", u"uri"},  // the builder's other name
      {"type='xsd:anyURI' editor='picker'", "xsd:anyURI", u"uri"},
      {"type='xsd:string' editor='color'", "xsd:string", u"color"},
      {"vs:builder='color' editor='x'", "", u"color"},
      {"vs:omtype='event'", "event", u""},
      {"type='t' vs:omtype='event'", "t", u""},
  };
  std::string Body = "<xsd:complexType name='T'>";
  for (size_t I = 0; I < std::size(Cases); ++I)
    Body += "<xsd:attribute name='a" + std::to_string(I) + "' " + Cases[I].Attr + "/>";
  Load(Body + "</xsd:complexType>");
  TXSDType* T = Reader.LookupType("T");
  ASSERT_NE(T, nullptr);
  ASSERT_EQ(T->GetAttributeCount(), static_cast<int32_t>(std::size(Cases)));
  for (size_t I = 0; I < std::size(Cases); ++I) {
    TXSDAttribute* A = T->GetAttributes(static_cast<int32_t>(I));
    EXPECT_EQ(A->TypeName, Cases[I].TypeName) << Cases[I].Attr;
    EXPECT_EQ(A->Builder, Cases[I].Builder) << Cases[I].Attr;
    EXPECT_EQ(A->Level, 1) << Cases[I].Attr;
  }
}

TEST_F(XSDReaderTest, SimpleTypesAndEnumerations) {
  Load(
      "<xsd:simpleType name='xsd:string'><xsd:restriction base='xsd:string'/></xsd:simpleType>\n"
      "<xsd:simpleType name='color'><xsd:restriction base='xsd:NMTOKEN'>"
      "<xsd:enumeration value='red'/><xsd:enumeration value='blue'/></xsd:restriction></xsd:simpleType>\n"
      "<xsd:simpleType name='tok'><xsd:restriction base='xsd:token'>"
      "<xsd:enumeration value='x'/></xsd:restriction></xsd:simpleType>\n"
      "<xsd:simpleType name='empty'/>\n"
      "<xsd:complexType name='T'><xsd:attribute name='align'><xsd:simpleType>"
      "<xsd:restriction base='xsd:string'><xsd:enumeration value='left'/><xsd:length value='4'/>"
      "<xsd:enumeration value='right'/></xsd:restriction>"
      "<xsd:restriction base='xsd:NMTOKEN'><xsd:enumeration value='center'/></xsd:restriction>"
      "</xsd:simpleType></xsd:attribute></xsd:complexType>\n");
  struct Case {
    const char* Name;
    const char* Found;
  } Cases[] = {
      {"string", "xsd:string"}, {"xsd:string", "xsd:string"}, {"xsd:color", "color"}, {"COLOR", "color"},
      {"xsd:tok", "tok"},       {"my:xsd:tok", nullptr},      {"empty", nullptr},     {"xsd:empty", nullptr},
  };
  for (const auto& C : Cases) {
    TXSDSimpleType* T = Reader.LookupSimpleType(C.Name);
    EXPECT_EQ(T ? T->Name : "(none)", C.Found ? C.Found : "(none)") << C.Name;
  }
  TXSDSimpleType* Color = Reader.LookupSimpleType("color");
  ASSERT_EQ(Color->GetRestrictionCount(), 1);
  EXPECT_EQ(Color->GetRestrictions(0)->Enumerations, (V{"red", "blue"}));
  TXSDSimpleType* Tok = Reader.LookupSimpleType("tok");
  ASSERT_EQ(Tok->GetRestrictionCount(), 1);
  EXPECT_EQ(Tok->GetRestrictions(0)->Base, "xsd:token");
  EXPECT_EQ(Tok->GetRestrictions(0)->GetEnumerationCount(), 0);

  TXSDAttribute* Align = Reader.LookupType("T")->GetAttributes(0);
  ASSERT_EQ(Align->GetCount(), 1);
  TXSDSimpleType* Own = Align->GetValue(0);
  ASSERT_EQ(Own->GetRestrictionCount(), 2);
  EXPECT_EQ(Own->GetRestrictions(0)->Enumerations, (V{"left", "right"}));
  EXPECT_EQ(Own->GetRestrictions(1)->Enumerations, (V{"center"}));
}

TEST_F(XSDReaderTest, ElementReferences) {
  Load(
      "<xsd:element name='item' type='ItemDef'/>\n"
      "<xsd:complexType name='List'><xsd:sequence><xsd:element ref='Item'/><xsd:element ref='gone'/>"
      "</xsd:sequence></xsd:complexType>\n");
  EXPECT_EQ(Messages, (V{"test.xsd: Unknown reference to element gone"}));
  TXSDType* List = Reader.LookupType("List");
  ASSERT_EQ(List->GetChildCount(), 2);
  EXPECT_EQ(List->GetChild(0)->Name, "item");
  EXPECT_EQ(List->GetChild(0)->TypeName, "ItemDef");
  EXPECT_EQ(List->GetChild(1)->Name, "");
}

TEST_F(XSDReaderTest, AttributeGroupsNestedAndCyclic) {
  Load(
      "<xsd:attributeGroup name='core'><xsd:attribute name='id'/><xsd:attribute name='class'/>"
      "</xsd:attributeGroup>\n"
      "<xsd:attributeGroup name='events'><xsd:attribute name='onclick' type='event'/>"
      "<xsd:attributeGroup ref='core'/></xsd:attributeGroup>\n"
      "<xsd:attributeGroup name='all'><xsd:attribute name='lang'/><xsd:attributeGroup ref='events'/>"
      "<xsd:attributeGroup ref='Core'/></xsd:attributeGroup>\n"
      "<xsd:attributeGroup name='ping'><xsd:attribute name='p'/><xsd:attributeGroup ref='pong'/>"
      "</xsd:attributeGroup>\n"
      "<xsd:attributeGroup name='pong'><xsd:attribute name='q'/><xsd:attributeGroup ref='ping'/>"
      "</xsd:attributeGroup>\n"
      "<xsd:complexType name='T'><xsd:attribute name='own'/><xsd:attributeGroup ref='all'/>"
      "<xsd:attributeGroup ref='missing'/></xsd:complexType>\n"
      "<xsd:complexType name='U'><xsd:attributeGroup ref='ping'/></xsd:complexType>\n");
  EXPECT_EQ(AttributesOf(Reader.LookupType("T")), (V{"own", "lang", "onclick", "id", "class"}));
  EXPECT_EQ(AttributesOf(Reader.LookupAttrGroup("events")), (V{"onclick", "id", "class"}));
  EXPECT_EQ(AttributesOf(Reader.LookupAttrGroup("ping")), (V{"p", "q"}));
  EXPECT_EQ(AttributesOf(Reader.LookupAttrGroup("pong")), (V{"q", "p"}));
  EXPECT_EQ(AttributesOf(Reader.LookupType("U")), (V{"p", "q"}));
  // The cycle is reported from each side; a type's missing group silently.
  EXPECT_EQ(Messages, (V{"test.xsd: Couldn't find attribute group pong",
                         "test.xsd: Couldn't find attribute group ping"}));
}

// Groups that name two others each (a path count of 2^60) are each visited
// once; a ring of 3,000 groups, each naming the next, stops at a budget with
// one message instead of giving every group the whole ring.
TEST_F(XSDReaderTest, AttributeGroupsThatMultiplyAreBounded) {
  std::string Body;
  for (int I = 0; I < 60; ++I)
    Body += "<xsd:attributeGroup name='d" + std::to_string(I) + "'><xsd:attribute name='a" +
            std::to_string(I) + "'/><xsd:attributeGroup ref='d" + std::to_string(I + 1) +
            "'/><xsd:attributeGroup ref='d" + std::to_string(I + 2) + "'/></xsd:attributeGroup>\n";
  Body += "<xsd:attributeGroup name='d60'/><xsd:attributeGroup name='d61'/>\n";
  Load(Body);
  EXPECT_EQ(AttributesOf(Reader.LookupAttrGroup("d0")).size(), 60u);
  EXPECT_TRUE(Messages.empty()) << Messages[0];

  Body.clear();
  for (int I = 0; I < 3000; ++I)
    Body += "<xsd:attributeGroup name='r" + std::to_string(I) + "'><xsd:attribute name='a" +
            std::to_string(I) + "'/><xsd:attributeGroup ref='r" + std::to_string((I + 1) % 3000) +
            "'/></xsd:attributeGroup>\n";
  Reader.Clear();
  Load(Body);
  size_t Attributes = 0;
  for (TXSDClassEntry* E = Reader.GetFirstAttrGroup(); E; E = E->Next)
    Attributes += static_cast<TXSDAttributeGroup*>(E->Item)->Attributes.size();
  EXPECT_LT(Attributes, 1'100'000u) << "9 million without a budget";
  EXPECT_EQ(
      std::count(
          Messages.begin(), Messages.end(),
          "test.xsd: Attribute groups name each other too often; the rest of their attributes is left out"),
      1);
}

TEST_F(XSDReaderTest, MalformedAndMissingFiles) {
  Load("<xsd:element name='kept'/>");
  ASSERT_TRUE(Messages.empty());
  Reader.LoadFromFile(Write("bad.xsd", std::string(Head) + "<xsd:element name='x'>\n</xsd:schema>"));
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_NE(Messages[0].find("bad.xsd: "), std::string::npos) << Messages[0];
  EXPECT_NE(Messages[0].find("line 4"), std::string::npos) << Messages[0];
  EXPECT_EQ(Elements(), (V{"kept//0", "x//0"})) << "what stands before the error is read";
  // Lines count as in the editor: a CR alone ends one, CR LF is one break.
  Messages.clear();
  Reader.LoadFromFile(Write("cr.xsd", "<?xml version='1.0'?>\r\n<xsd:schema>\r<x>\r\r</xsd:schema>"));
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_NE(Messages[0].find("line 5"), std::string::npos) << Messages[0];

  Messages.clear();
  Reader.LoadFromFile((Folder / "absent.xsd").string());
  EXPECT_TRUE(Messages.empty());
  EXPECT_EQ(Reader.GetFileName(), "");
  EXPECT_EQ(Elements(), (V{"kept//0", "x//0"}));

  // A NUL byte reads as a blank.
  Reader.LoadFromFile(Write("nul.xsd", std::string(Head) + "<xsd:element name='y'/>\n" +
                                           std::string(1, '\0') +
                                           "\n<xsd:element name='z'/>\n</xsd:schema>"));
  EXPECT_TRUE(Messages.empty()) << Messages[0];
  EXPECT_EQ(Elements(), (V{"kept//0", "x//0", "y//0", "z//0"}));

  // A page can name any file beside it as its schema: a huge one is not read.
  const std::string Big = Write("big.xsd", std::string(Head) + "<xsd:element name='big'/>");
  std::filesystem::resize_file(Big, 17u << 20);  // sparse: no disk used
  Reader.LoadFromFile(Big);
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_NE(Messages[0].find("is too large for a schema"), std::string::npos) << Messages[0];
}

// 20,000 elements each declared inside the one before: the first 200 are
// read, one message says the rest is left out, and the stack holds.
TEST_F(XSDReaderTest, DeepNestingStopsAtALimit) {
  std::string Open, Close;
  for (int I = 0; I < 20000; ++I) {
    Open += "<xsd:element name='e" + std::to_string(I) + "'><xsd:complexType><xsd:sequence>\n";
    Close += "</xsd:sequence></xsd:complexType></xsd:element>\n";
  }
  Load(Open + Close + "<xsd:element name='after'/>");
  EXPECT_EQ(Messages, V{"test.xsd: Elements nested too deeply; the deeper ones are left out"});
  const V E = Elements();
  EXPECT_EQ(E.size(), 201u);
  EXPECT_EQ(E.back(), "after//0");
}

TEST_F(XSDReaderTest, RepeatedFaultsSayAHundredThingsAndACount) {
  std::string Body = "<xsd:element name='a'/>";
  for (int I = 0; I < 5000; ++I) Body += "<xsd:element name='a'/>\n";
  Load(Body);
  ASSERT_EQ(Messages.size(), 101u);
  EXPECT_EQ(Messages.back(), "test.xsd: 4900 more messages left out");
  Messages.clear();
  Load("<xsd:element name='b'/><xsd:element name='b'/>", "again.xsd");
  EXPECT_EQ(Messages, V{"again.xsd: Element b already exists"});
}

TEST_F(XSDReaderTest, ClearForgetsAndReloadsCleanly) {
  const std::string Body = "<xsd:element name='a'/><xsd:complexType name='T'/>";
  Load(Body, "asp.xsd");
  Reader.Clear();
  EXPECT_EQ(Reader.GetFirstElement(), nullptr);
  EXPECT_EQ(Reader.LookupType("T"), nullptr);
  EXPECT_EQ(Reader.GetNamespacePrefix(), "");
  Load(Body);
  EXPECT_TRUE(Messages.empty());
  EXPECT_EQ(Elements(), (V{"a//0"}));
  EXPECT_NE(Reader.LookupType("T"), nullptr);
}

}  // namespace
}  // namespace kel
