#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/KelStream.h"
#include "schema/DTDParser.h"
#include "tests/support/TestHost.h"

namespace kel {
namespace {

namespace fs = std::filesystem;

struct Parsed {
  std::unique_ptr<TDTDParser> P = std::make_unique<TDTDParser>();
  std::vector<std::string> Errors;
  TDTDElement* Element(const std::string& Name) {
    return dynamic_cast<TDTDElement*>(P->LookupSymbol(Name, TDeclType::dtElement));
  }
  std::vector<std::string> Content(const std::string& Name) {
    std::vector<std::string> R;
    auto* E = Element(Name);
    if (!E) return R;
    std::vector<TDTDSymbol*> S;
    CollectSymbols(E->Content, S);
    for (auto* X : S) R.push_back(X->Name);
    return R;
  }
};

Parsed ParseText(const std::string& Text) {
  Parsed R;
  R.P->OnError = [&R](TDTDParser*, TParseError, const std::string& Msg, int32_t Line, const std::string&) {
    R.Errors.push_back(Msg + " @" + std::to_string(Line));
  };
  TKelStringStream Stream(Text);
  R.P->LoadFromStream(&Stream);
  R.P->OnError = nullptr;
  return R;
}

TEST(DTDParser, ElementDeclarations) {
  auto R = ParseText(
      "<!ENTITY % block \"P|DIV\">\n"
      "<!ELEMENT (SUB|SUP) - - (%block;)*>\n"
      "<!ELEMENT BR - O EMPTY>\n"
      "<!ELEMENT BODY O O (%block;|SCRIPT)+ +(INS|DEL)>\n");
  EXPECT_TRUE(R.Errors.empty()) << R.Errors.front();
  for (const char* N : {"SUB", "SUP"}) {
    auto* E = R.Element(N);
    ASSERT_TRUE(E) << N;
    EXPECT_TRUE(E->StartTagRequired && E->EndTagRequired) << N;
    EXPECT_EQ(R.Content(N), (std::vector<std::string>{"P", "DIV"})) << N;
  }
  EXPECT_EQ(R.Element("SUB")->GetExprList().GetExpr(0), R.Element("SUP")->GetExprList().GetExpr(0));
  auto* Br = R.Element("BR");
  EXPECT_TRUE(Br->StartTagRequired);
  EXPECT_FALSE(Br->EndTagRequired);
  EXPECT_TRUE(Br->Empty);
  EXPECT_TRUE(R.Element("EMPTY"));  // content names are entered as elements
  auto* Body = R.Element("BODY");
  EXPECT_FALSE(Body->StartTagRequired);
  EXPECT_FALSE(Body->EndTagRequired);
  std::vector<TDTDSymbol*> Inc;
  CollectSymbols(Body->Inclusions, Inc);
  ASSERT_EQ(Inc.size(), 2u);
  EXPECT_EQ(Inc[0]->Name, "INS");
  EXPECT_EQ(Inc[1]->Name, "DEL");
  EXPECT_EQ(R.Content("BODY"), (std::vector<std::string>{"P", "DIV", "SCRIPT"}));
  // A lower-case o is no flag: it is read as content, and the rest is left over.
  auto L = ParseText("<!ELEMENT lower o o ANY>");
  auto* Lower = L.Element("lower");
  ASSERT_TRUE(Lower);
  EXPECT_TRUE(Lower->StartTagRequired && Lower->EndTagRequired);
  EXPECT_FALSE(Lower->Any);
  EXPECT_EQ(L.Content("lower"), std::vector<std::string>{"o"});
  ASSERT_FALSE(L.Errors.empty());
  EXPECT_EQ(L.Errors.front(), "Expected > but found o @1");
}

TEST(DTDParser, AttributeLists) {
  auto R = ParseText(
      "<!ELEMENT (TD|TH) - O (#PCDATA)>\n"
      "<!ATTLIST (TD|TH)\n"
      "  align (left|right) left\n"
      "  abbr CDATA #IMPLIED\n"
      "  nowrap (nowrap) #REQUIRED\n"
      "  version CDATA #FIXED \"4.01\"\n"
      "  >\n"
      "<!ATTLIST INPUT align (align) #IMPLIED>\n");
  EXPECT_TRUE(R.Errors.empty()) << R.Errors.front();
  auto* Td = R.Element("TD");
  auto* Th = R.Element("TH");
  ASSERT_TRUE(Td && Th);
  auto* Align = Td->LookupSymbol("align");
  ASSERT_TRUE(Align && Align->Attributes);
  EXPECT_FALSE(Align->Attributes->Fixed || Align->Attributes->Required);
  EXPECT_EQ(Align->Attributes->FixedValue, "");
  EXPECT_EQ(Th->LookupSymbol("align"), Align);
  EXPECT_TRUE(Td->LookupSymbol("nowrap")->Attributes->Required);
  EXPECT_TRUE(Td->LookupSymbol("version")->Attributes->Fixed);
  EXPECT_EQ(Td->LookupSymbol("version")->Attributes->FixedValue, "4.01");
  EXPECT_FALSE(Td->LookupSymbol("ALIGN"));  // case-sensitive
  // The element's list: content model, then each attribute definition.
  EXPECT_EQ(Td->GetExprList().Count(), 5);
  std::vector<TDTDSymbol*> Values;
  CollectSymbols(Td->GetExprList().GetExpr(1)->Next, Values);
  ASSERT_EQ(Values.size(), 2u);
  EXPECT_EQ(Values[0]->Name, "left");
  // INPUT was never declared as an element, but ATTLIST names it as one.
  auto* Input = R.Element("INPUT");
  ASSERT_TRUE(Input);
  const TDTDExprNode* Type = Input->GetExprList().GetExpr(0)->Next;
  ASSERT_TRUE(Type && Type->Symbol);
  EXPECT_EQ(Type->Symbol->Name, "align");
  EXPECT_NE(Type->Symbol, Input->LookupSymbol("align"));  // a value, not the attribute
}

TEST(DTDParser, Entities) {
  auto R = ParseText(
      "<!ENTITY nbsp CDATA \"&#160;\" -- no-break space -->\n"
      "<!ENTITY A CDATA \"&#x41;&#66;\">\n"
      "<!ENTITY % HTMLlat1 PUBLIC \"-//W3C//ENTITIES Latin1//EN//HTML\">\n"
      "<!ENTITY % pub PUBLIC \"-//X//Y\" \"y.ent\">\n"
      "<!ENTITY % text \"first\">\n"
      "<!ENTITY % text \"second\">\n");
  EXPECT_TRUE(R.Errors.empty()) << R.Errors.front();
  auto* Nbsp = dynamic_cast<TDTDEntity*>(R.P->LookupSymbol("nbsp", TDeclType::dtEntity));
  ASSERT_TRUE(Nbsp);
  EXPECT_EQ(Nbsp->GetValues(0), 160);
  EXPECT_EQ(Nbsp->GetValues(1), -1);
  ASSERT_EQ(Nbsp->GetExprList().Count(), 1);
  EXPECT_EQ(Nbsp->GetExprList().GetExpr(0)->Symbol->Name, "CDATA");
  auto* A = dynamic_cast<TDTDEntity*>(R.P->LookupSymbol("A", TDeclType::dtEntity));
  EXPECT_EQ(A->GetValues(0), 65);
  EXPECT_EQ(A->GetValues(1), 66);
  auto* Lat =
      dynamic_cast<TDTDParameterizedEntity*>(R.P->LookupSymbol("HTMLlat1", TDeclType::dtParameterizedEntity));
  EXPECT_EQ(Lat->SystemId, Lat->PublicId);
  auto* Pub =
      dynamic_cast<TDTDParameterizedEntity*>(R.P->LookupSymbol("pub", TDeclType::dtParameterizedEntity));
  EXPECT_EQ(Pub->PublicId, "-//X//Y");
  EXPECT_EQ(Pub->SystemId, "y.ent");
  auto* Text =
      dynamic_cast<TDTDParameterizedEntity*>(R.P->LookupSymbol("text", TDeclType::dtParameterizedEntity));
  EXPECT_EQ(Text->Text, "first");  // the first declaration wins
  // The symbol made last comes first.
  EXPECT_EQ(R.P->GetSymbol(R.P->SymbolCount() - 1)->Name, "nbsp");
}

TEST(DTDParser, SectionsAndErrors) {
  auto R = ParseText(
      "<!ENTITY % HTML.Reserved \"IGNORE\">\n"
      "<![ %HTML.Reserved; [ <!ELEMENT hidden - - ANY> ]]>\n"
      "<![ INCLUDE [ <!ELEMENT shown - - ANY> ]]>\n"
      "<!ATTLIST shown x CDATA #BOGUS>\n"
      "]]>\n"
      "<!ELEMENT after - - ANY>\n");
  EXPECT_FALSE(R.Element("hidden"));
  EXPECT_TRUE(R.Element("shown"));
  EXPECT_FALSE(R.Element("after"));  // "]]>" outside a section ends the document
  // The unknown word is then read as the next attribute's name.
  EXPECT_EQ(R.Errors,
            std::vector<std::string>{"Expected IMPLIED, REQUIRED, FIXED, PCDATA but found BOGUS @4"});
  EXPECT_TRUE(R.Element("shown")->LookupSymbol("BOGUS"));

  // A declaration without its ">" is reported, and parsing goes on.
  auto U = ParseText("<!ELEMENT bad - - ANY\n<!ELEMENT good - - ANY>");
  ASSERT_FALSE(U.Errors.empty());
  EXPECT_EQ(U.Errors.front(), "Expected > but found <!ELEMENT @2");
  EXPECT_TRUE(U.Element("bad"));

  // A NUL byte reads as a blank, in any chunk: what follows it loads.
  std::string Nuls;
  for (int I = 0; I < 2000; ++I)
    Nuls += "<!ELEMENT e" + std::to_string(I) + " - - (#PCDATA)>" + (I % 7 ? "\n" : std::string("\0\n", 2));
  auto N = ParseText(Nuls);
  EXPECT_TRUE(N.Element("e1999"));
  EXPECT_TRUE(N.Errors.empty()) << N.Errors.front();
  // Lines count as in the editor: CR LF one break, LF CR two, CR alone one;
  // a CR LF across a chunk's end stays one.
  for (const auto& [Breaks, Line] :
       std::vector<std::pair<std::string, int>>{{"\r\n\r\n", 3},
                                                {"\n\r", 3},
                                                {"\r\r\r", 4},
                                                {std::string(MLBufferSize - 21, ' ') + "\r\n\n", 3}}) {
    EXPECT_EQ(ParseText("<!ELEMENT a - - ANY>" + Breaks + "<!ELEMENT b - - ANY").Errors,
              std::vector<std::string>{"Expected > but found ANY @" + std::to_string(Line)})
        << Breaks.size();
  }
  // Declaration names in any letter case; a misspelt one is said and skipped.
  auto K = ParseText(
      "<!element x - - EMPTY>\n<!AttList x a CDATA #IMPLIED>\n<!ATTLST x b CDATA #IMPLIED>\n"
      "<!NOTATION n SYSTEM \"n\">\n<!ELEMENT y - - EMPTY>");
  EXPECT_TRUE(K.Element("x") && K.Element("x")->LookupSymbol("a") && K.Element("y"));
  EXPECT_EQ(K.Errors, std::vector<std::string>{"Unknown declaration <!ATTLST: skipped @3"});
  EXPECT_EQ(ParseText("\x01 <!ELEMENT x - - ANY>").Errors,
            std::vector<std::string>{"Invalid character in input stream #x01 @1"});
}

// Entities that name themselves, each other, or double at every level stop
// with one message naming the entity; the declarations after them load.
// What the modular XML DTDs (XHTML 1.1, SVG, MathML) write.
TEST(DTDParser, ModularDtdConstructs) {
  const struct {
    const char* Name;
    std::string Text;
    const char* Element;
    std::vector<std::string> Content;
    std::vector<std::string> Attributes;
  } Cases[] = {
      {"a reference inside a literal takes the text declared before",
       "<!ENTITY % pfx \"\">\n<!ENTITY % X.prefix \"x\">\n<!ENTITY % X.xmlns \"http://x\">\n"
       "<!ENTITY % X.attrib \"xmlns:%X.prefix;  CDATA   #FIXED '%X.xmlns;'\">\n"
       "<!ENTITY % a.qname \"%pfx;a\">\n<!ELEMENT %a.qname; EMPTY>\n<!ATTLIST %a.qname; %X.attrib; id ID "
       "#IMPLIED>",
       "a",
       {"EMPTY"},
       {"xmlns:x", "id"}},
      {"attributes listed before the element",
       "<!ATTLIST mrow class CDATA #IMPLIED>\n<!ELEMENT mrow (mi|mn)*>\n<!ELEMENT mi (#PCDATA)>",
       "mrow",
       {"mi", "mn"},
       {"class"}},
      {"processing instructions and notations are read over",
       "<?doc type=\"doctype\" role=\"title\" { XHTML 1.1 } ?>\n<!NOTATION w3c-xml PUBLIC \"ISO "
       "8879//NOTATION "
       "Extensible Markup Language (XML) 1.0//EN\">\n<!ELEMENT p (#PCDATA|br)*>",
       "p",
       {"br"},
       {}},
      {"a literal over two lines keeps its words apart",
       "<!ENTITY % attrs \"title CDATA\n#IMPLIED\">\n<!ELEMENT p EMPTY>\n<!ATTLIST p %attrs;>",
       "p",
       {"EMPTY"},
       {"title"}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    auto R = ParseText(C.Text);
    EXPECT_TRUE(R.Errors.empty()) << R.Errors.front();
    EXPECT_EQ(R.Content(C.Element), C.Content);
    std::vector<std::string> Attributes;
    if (auto* E = R.Element(C.Element))
      for (int32_t I = 0; I < E->GetExprList().Count(); ++I)
        if (auto* A = dynamic_cast<TDTDAttribute*>(E->GetExprList().GetExpr(I)->Symbol))
          Attributes.push_back(A->Name);
    EXPECT_EQ(Attributes, C.Attributes);
  }
}

TEST(DTDParser, UnboundedEntityExpansionStops) {
  std::string Doubling = "<!ENTITY % e0 \"x\">\n";
  for (int I = 1; I <= 30; ++I)
    Doubling += "<!ENTITY % e" + std::to_string(I) + " \"%e" + std::to_string(I - 1) + "; | %e" +
                std::to_string(I - 1) + ";\">\n";
  Doubling += "<!ELEMENT html - - (%e30;)>\n";
  const struct {
    const char* Name;
    std::string Text;
    const char* Entity;
  } Cases[] = {
      {"names itself", "<!ENTITY % a \"%a;\">\n%a;\n", "a"},
      // b takes a's text when it is declared, and so names itself.
      {"name each other", "<!ENTITY % a \"%b;\">\n<!ENTITY % b \"%a;\">\n%a;\n", "b"},
      // The first level too long to take in at its declaration is the one stopped.
      {"doubles 30 times", Doubling, "e"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    auto R = ParseText(C.Text + "<!ELEMENT after - - ANY>\n");
    ASSERT_FALSE(R.Errors.empty());
    EXPECT_THAT(R.Errors.front(), testing::MatchesRegex(std::string("Parameter entity ") + C.Entity +
                                                        "[0-9]* expands without end.*"))
        << R.Errors.front();
    EXPECT_EQ(std::count_if(R.Errors.begin(), R.Errors.end(),
                            [](const std::string& E) { return E.find("expands") != std::string::npos; }),
              1);
    EXPECT_TRUE(R.Element("after"));
  }
}

// Any depth of INCLUDE sections reads without recursion.
TEST(DTDParser, SectionsNestToAnyDepth) {
  std::string Deep;
  for (int I = 0; I < 100000; ++I) Deep += "<![ INCLUDE [\n";
  Deep += "<!ELEMENT inner - - ANY>\n";
  for (int I = 0; I < 100000; ++I) Deep += "]]>\n";
  auto R = ParseText(Deep + "<!ELEMENT after - - ANY>\n");
  EXPECT_TRUE(R.Errors.empty()) << R.Errors.front();
  EXPECT_TRUE(R.Element("inner"));
  EXPECT_TRUE(R.Element("after"));
}

TEST(DTDParser, DeeplyNestedGroupsStopAtALimit) {
  std::string Open, Close;
  for (int I = 0; I < 200; ++I) {
    Open += std::string(1000, '(') + "\n";
    Close += std::string(1000, ')') + "\n";
  }
  const std::string Deep = "<!ELEMENT deep - - " + Open + "a" + Close + ">\n";
  auto R = ParseText(Deep + "<!ELEMENT after - - (b)>\n");
  ASSERT_FALSE(R.Errors.empty());
  EXPECT_NE(R.Errors.front().find("Content model nested too deeply"), std::string::npos) << R.Errors.front();
  EXPECT_TRUE(R.Element("deep"));
  EXPECT_EQ(R.Content("after"), std::vector<std::string>{"b"});
}

// What a schema holds is bounded, in a group or across declarations, with
// one message: "a|a|..." fills 16 MiB with 8 million names, and a thousand
// elements sharing a hundred thousand attributes took 24 GB.
TEST(DTDParser, SchemasStopAtTheirLimits) {
  std::string Group, Many, Shared = "<!ATTLIST (";
  for (int I = 0; I < 1'100'000; ++I) Group += "a|";
  for (int I = 0; I < 600'000; ++I) Many += "<!ELEMENT e" + std::to_string(I) + " - - (x)>\n";
  for (int I = 0; I < 300; ++I) Shared += "e" + std::to_string(I) + "|";
  Shared += "x)";
  for (int I = 0; I < 1000; ++I) Shared += " a" + std::to_string(I) + " CDATA #IMPLIED";
  const std::string Names = "The schema holds more than 1,000,000 names and groups; the rest is not read";
  const std::pair<std::string, std::string> Cases[] = {
      {"<!ELEMENT big - - (" + Group + "a)>\n", Names},
      {Many, Names},
      {Many.substr(0, Many.find("<!ELEMENT e300 ")) + Shared + ">\n",
       "The schema gives its elements more than 250,000 attributes in all; the rest is not read"},
  };
  for (const auto& [Text, Message] : Cases) {
    auto R = ParseText(Text + "<!ELEMENT after - - ANY>\n");
    ASSERT_EQ(R.Errors.size(), 1u);
    EXPECT_THAT(R.Errors[0], testing::StartsWith(Message));
    EXPECT_FALSE(R.Element("after"));
    EXPECT_LE(R.P->GetSymbolCount(), 1'000'001);
  }
}

TEST(DTDParser, HugeCharacterNumbersStopGrowing) {
  auto R = ParseText(
      "<!ENTITY big CDATA \"&#999999999999999999999;\">\n<!ENTITY hex CDATA \"&#xFFFFFFFFFFFFFF;\">\n");
  auto* Big = dynamic_cast<TDTDEntity*>(R.P->LookupSymbol("big", TDeclType::dtEntity));
  auto* Hex = dynamic_cast<TDTDEntity*>(R.P->LookupSymbol("hex", TDeclType::dtEntity));
  ASSERT_TRUE(Big && Hex);
  EXPECT_EQ(Big->GetValues(0), 0x110000);
  EXPECT_EQ(Hex->GetValues(0), 0x110000);
}

TEST(DTDParser, GarbageSaysAHundredThingsAndACount) {
  std::string Garbage = "<!ELEMENT p (a " + std::string(5000, 'z') + ")>\n";
  for (int I = 0; I < 20000; ++I) Garbage += "<!ELEMENT ( | x >\n";
  auto R = ParseText(Garbage + "<!ELEMENT after - - (b)>\n");
  ASSERT_EQ(R.Errors.size(), 101u);
  EXPECT_EQ(R.Errors.front(), "Expected ) but found " + std::string(80, 'z') + "\u2026 @1")
      << "a long token is cut";
  EXPECT_THAT(R.Errors.back(), testing::MatchesRegex("[0-9]+ more messages left out @.*"));
  EXPECT_EQ(R.Content("after"), std::vector<std::string>{"b"});
  // The next load of the same parser is counted afresh.
  R.P->OnError = [&R](TDTDParser*, TParseError, const std::string& Msg, int32_t, const std::string&) {
    R.Errors.push_back(Msg);
  };
  R.Errors.clear();
  TKelStringStream Stream("<!ELEMENT ( >\n");
  R.P->LoadFromStream(&Stream);
  EXPECT_EQ(R.Errors.size(), 1u);
}

// A file far larger than any DTD (a page's DOCTYPE can name any file beside
// it) is not read, neither loaded nor included.
class LargeFiles : public test::THostTest {};

TEST_F(LargeFiles, FilesTooLargeForADtdAreNotRead) {
  fs::create_directories(GetSchemaFolder());
  const fs::path Big = fs::path(GetSchemaFolder()) / "big.ent";
  std::ofstream(Big) << "<!ELEMENT big - - ANY>\n";
  fs::resize_file(Big, 17u << 20);  // sparse: no disk used
  TDTDParser P;
  std::vector<std::string> Errors;
  P.OnError = [&Errors](TDTDParser*, TParseError E, const std::string& Msg, int32_t, const std::string&) {
    Errors.push_back(std::string(ParseErrorWord(E)) + ": " + Msg);
  };
  P.LoadFromFile(Big.string());
  EXPECT_EQ(Errors,
            std::vector<std::string>{"Failure: " + Big.string() + " is too large for a DTD; it is not read"});
  EXPECT_EQ(P.LookupSymbol("big", TDeclType::dtElement), nullptr);
  Errors.clear();
  // 100 files, each including the next: each level holds a chunk, so the
  // chain stops at 64 with one message.
  for (int I = 0; I < 100; ++I)
    std::ofstream(fs::path(GetSchemaFolder()) / ("chain" + std::to_string(I) + ".ent"))
        << "<!ELEMENT e" << I << " - - ANY>\n<!ENTITY % n" << I << " SYSTEM \"chain" << I + 1 << ".ent\">\n%n"
        << I << ";\n";
  P.LoadFromFile(GetSchemaFolder() + "chain0.ent");
  EXPECT_TRUE(P.LookupSymbol("e64", TDeclType::dtElement));
  EXPECT_FALSE(P.LookupSymbol("e65", TDeclType::dtElement));
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_THAT(Errors[0], testing::EndsWith("chain65.ent is included 65 files deep; it is not read"));
  Errors.clear();
  TKelStringStream Stream("<!ENTITY % big SYSTEM \"big.ent\">\n%big;\n<!ELEMENT after - - ANY>\n");
  P.LoadFromStream(&Stream);
  EXPECT_EQ(Errors,
            std::vector<std::string>{"Failure: " + Big.string() + " is too large for a DTD; it is not read"});
  EXPECT_EQ(P.LookupSymbol("big", TDeclType::dtElement), nullptr);
  EXPECT_TRUE(P.LookupSymbol("after", TDeclType::dtElement));
  Errors.clear();
  // A file named a thousand times reads a thousand times: it spends the
  // expansion budget by its size (100 MB here) and stops with one message.
  std::ofstream(fs::path(GetSchemaFolder()) / "wide.ent")
      << "<!ELEMENT wide - - ANY>\n<!-- " << std::string(100000, 'x') << " -->\n";
  std::string Often = "<!ENTITY % w SYSTEM \"wide.ent\">\n";
  for (int I = 0; I < 1000; ++I) Often += "%w;\n";
  TKelStringStream OftenStream(Often + "<!ELEMENT after - - ANY>\n");
  P.LoadFromStream(&OftenStream);
  EXPECT_EQ(Errors,
            std::vector<std::string>{"Error: Parameter entity w expands without end; its text is left out"});
  EXPECT_TRUE(P.LookupSymbol("wide", TDeclType::dtElement));
  EXPECT_TRUE(P.LookupSymbol("after", TDeclType::dtElement));
}

class RealDTDs : public test::THostTest {
 protected:
  // The schemas folder of the test host, holding the DTD files under their plain names.
  void Install(const fs::path& From) {
    fs::create_directories(GetSchemaFolder());
    for (const auto& E : fs::directory_iterator(From))
      fs::copy_file(E.path(), fs::path(GetSchemaFolder()) / E.path().filename(),
                    fs::copy_options::overwrite_existing);
  }
};

TEST_F(RealDTDs, Html401StrictWithItsEntityFiles) {
  Install("/usr/share/xml/w3c-sgml-lib/schema/dtd/REC-html401-19991224");
  TDTDParser P;
  std::vector<std::string> Errors;
  P.OnError = [&Errors](TDTDParser*, TParseError, const std::string& Msg, int32_t Line,
                        const std::string& File) {
    Errors.push_back(File + ":" + std::to_string(Line) + ": " + Msg);
  };
  P.LoadFromFile(GetSchemaFileName("-//W3C//DTD HTML 4.01//EN", TKibitzMode::kmHTML));
  EXPECT_TRUE(Errors.empty()) << Errors.front();
  const auto El = [&P](const char* N) {
    return dynamic_cast<TDTDElement*>(P.LookupSymbol(N, TDeclType::dtElement));
  };
  ASSERT_TRUE(El("TABLE"));
  ASSERT_TRUE(El("BR"));
  EXPECT_TRUE(El("BR")->Empty);
  EXPECT_FALSE(El("BR")->EndTagRequired);
  EXPECT_FALSE(El("TBODY")->StartTagRequired);
  EXPECT_FALSE(El("FONT"));  // not in Strict
  ASSERT_TRUE(El("TD"));
  EXPECT_TRUE(El("TD")->LookupSymbol("colspan"));
  EXPECT_TRUE(El("A")->LookupSymbol("href"));
  // The Latin-1 entities come from the included HTMLlat1.ent.
  auto* Eacute = dynamic_cast<TDTDEntity*>(P.LookupSymbol("eacute", TDeclType::dtEntity));
  ASSERT_TRUE(Eacute);
  EXPECT_EQ(Eacute->GetValues(0), 233);
  EXPECT_TRUE(P.LookupSymbol("euro", TDeclType::dtEntity));  // HTMLspecial.ent
  EXPECT_GT(P.SymbolCount(), 500);
}

TEST_F(RealDTDs, Html401LooseAndFrameset) {
  Install("/usr/share/xml/w3c-sgml-lib/schema/dtd/REC-html401-19991224");
  for (const char* File : {"loose.dtd", "frameset.dtd"}) {
    TDTDParser P;
    int Errors = 0;
    P.OnError = [&Errors](TDTDParser*, TParseError, const std::string&, int32_t, const std::string&) {
      ++Errors;
    };
    P.LoadFromFile(std::string(GetSchemaFolder()) + File);
    EXPECT_EQ(Errors, 0) << File;
    EXPECT_TRUE(P.LookupSymbol("FONT", TDeclType::dtElement)) << File;
  }
}

// The folder the build assembles: every DTD of the HTML family loads from it,
// every include resolving inside it, with no Failure or Error.
TEST_F(RealDTDs, TheAssembledSchemasFolder) {
  Test.Host().SetExecutableFileName(MLINSIGHT_BINARY_DIR "/bin/mlinsight");
  struct Case {
    const char* File;
    const char* Element;
    const char* Entity;
  } Cases[] = {
      {"strict.dtd", "TABLE", "eacute"},
      {"loose.dtd", "FONT", "eacute"},
      {"frameset.dtd", "FRAMESET", "eacute"},
      {"xhtml1-strict.dtd", "table", "eacute"},
      {"xhtml1-transitional.dtd", "font", "euro"},
      {"xhtml1-frameset.dtd", "frameset", "hearts"},
      {"HTML3.2.dtd", "TABLE", "eacute"},
      {"HTML2.dtd", "FORM", "eacute"},
      {"HTML2-strict.dtd", "FORM", "eacute"},
      {"xhtml11.dtd", "ruby", "eacute"},
      {"xhtml-basic10.dtd", "form", "eacute"},
      {"xhtml-basic11.dtd", "form", "eacute"},
      {"xhtml-rdfa-1.dtd", "span", "eacute"},
      {"xhtml-math11-f.dtd", "mfrac", "eacute"},
      {"xhtml-math-svg.dtd", "svg:circle", "eacute"},
      {"svg10.dtd", "circle", nullptr},
      {"svg11.dtd", "foreignObject", nullptr},
      {"mathml2.dtd", "mrow", "alpha"},
      {"mathml3.dtd", "mlongdiv", "alpha"},
      {"html5.dtd", "circle", "nbsp"},
  };
  for (const auto& C : Cases) {
    TDTDParser P;
    std::vector<std::string> Failures;
    P.OnError = [&Failures](TDTDParser*, TParseError E, const std::string& Msg, int32_t,
                            const std::string& F) {
      if (E == TParseError::peFailure || E == TParseError::peError) Failures.push_back(F + ": " + Msg);
    };
    P.LoadFromFile(GetSchemaFolder() + C.File);
    EXPECT_TRUE(Failures.empty()) << C.File << ": " << Failures.front();
    EXPECT_TRUE(P.LookupSymbol(C.Element, TDeclType::dtElement)) << C.File;
    if (C.Entity) {
      EXPECT_TRUE(P.LookupSymbol(C.Entity, TDeclType::dtEntity)) << C.File;
    }
  }
}

TEST_F(RealDTDs, WrappedDTDsBindTheColourAndUriEditors) {
  Test.Host().SetExecutableFileName(MLINSIGHT_BINARY_DIR "/bin/mlinsight");
  struct Case {
    const char* File;
    const char* Element;
    const char* Attribute;
    const char* Editor;
  } Cases[] = {
      {"strict.dtd", "A", "href", "uri"},
      {"strict.dtd", "IMG", "src", "uri"},
      {"strict.dtd", "A", "name", ""},
      {"loose.dtd", "BODY", "bgcolor", "color"},
      {"loose.dtd", "FONT", "color", "color"},
      {"frameset.dtd", "FRAME", "src", "uri"},
      {"frameset.dtd", "BODY", "link", "color"},
      {"xhtml1-strict.dtd", "form", "action", "uri"},
      {"xhtml1-transitional.dtd", "td", "bgcolor", "color"},
      {"xhtml1-frameset.dtd", "frame", "longdesc", "uri"},
      {"HTML3.2.dtd", "BODY", "bgcolor", "color"},
      {"HTML3.2.dtd", "A", "href", "uri"},
      {"HTML3.2.dtd", "FONT", "color", "color"},
      {"HTML2.dtd", "A", "HREF", "uri"},
      {"HTML2.dtd", "FORM", "ACTION", "uri"},
      {"HTML2-strict.dtd", "IMG", "SRC", "uri"},
  };
  for (const auto& C : Cases) {
    TDTDParser P;
    P.LoadFromFile(GetSchemaFolder() + C.File);
    auto* E = dynamic_cast<TDTDElement*>(P.LookupSymbol(C.Element, TDeclType::dtElement));
    ASSERT_TRUE(E) << C.File << " " << C.Element;
    auto* A = E->LookupSymbol(C.Attribute);
    ASSERT_TRUE(A) << C.File << " " << C.Element << "." << C.Attribute;
    EXPECT_EQ(A->Editor, C.Editor) << C.File << " " << C.Element << "." << C.Attribute;
  }
}

}  // namespace
}  // namespace kel
