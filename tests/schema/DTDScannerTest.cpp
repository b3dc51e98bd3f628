#include <gtest/gtest.h>

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
using K = TTokenKind;

struct Scanned {
  std::vector<std::pair<K, std::string>> Tokens;
  std::vector<std::string> Errors;
  std::vector<int32_t> Lines;
};

// Scans Text to the end with the given parameter entities declared.
Scanned ScanAll(const std::string& Text,
                const std::vector<std::pair<std::string, std::string>>& Entities = {},
                TDTDParser* Use = nullptr) {
  TDTDParser Own;
  TDTDParser& P = Use ? *Use : Own;
  for (const auto& [Name, Value] : Entities) {
    auto* E = static_cast<TDTDParameterizedEntity*>(P.EnterSymbol(Name, TDeclType::dtParameterizedEntity));
    E->Text = Value;
  }
  Scanned R;
  P.OnError = [&R](TDTDParser*, TParseError, const std::string& Msg, int32_t Line, const std::string&) {
    R.Errors.push_back(Msg + " @" + std::to_string(Line));
  };
  TKelStringStream Stream(Text);
  P.Scanner->LoadFromStream(&Stream, "");
  P.Scanner->LineNumber = 1;
  P.Scanner->FillBuffer();
  for (int Guard = 0; Guard < 100000; ++Guard) {
    P.Scanner->GetToken();
    if (P.Scanner->Token == K::tkEof) break;
    R.Tokens.emplace_back(P.Scanner->Token, P.Scanner->TokenText);
    R.Lines.push_back(P.Scanner->LineNumber);
  }
  P.OnError = nullptr;
  return R;
}

struct TokenCase {
  const char* Name;
  const char* Text;
  std::vector<std::pair<K, std::string>> Tokens;
};

const TokenCase TokenCases[] = {
    // clang-format off
    {"Keywords", "<!ELEMENT <!ATTLIST <!ENTITY", {{K::tkElement, "<!ELEMENT"}, {K::tkAttList, "<!ATTLIST"},
        {K::tkEntity, "<!ENTITY"}}},
    {"KeywordsInAnyLetterCase", "<!element <!AttList", {{K::tkElement, "<!element"},
        {K::tkAttList, "<!AttList"}}},
    {"NamesNumbersStrings", "h1 3.14 12 \"a 'b'\" 'c'", {{K::tkIdentifier, "h1"}, {K::tkNumber, "3.14"},
        {K::tkNumber, "12"}, {K::tkStringLiteral, "a 'b'"}, {K::tkStringLiteral, "c"}}},
    {"RParenPlusIsOneToken", ")+ ) +", {{K::tkRParenPlus, ")+"}, {K::tkRParen, ")"}, {K::tkPlus, "+"}}},
    {"Punctuation", "( | , & ? * # > ; [ / . !", {{K::tkLParen, "("}, {K::tkLogicalOr, "|"},
        {K::tkComma, ","}, {K::tkLogicalAnd, "&"}, {K::tkQuestionMark, "?"}, {K::tkAsterisk, "*"},
        {K::tkPound, "#"}, {K::tkGreaterThan, ">"}, {K::tkSemiColon, ";"}, {K::tkLBracket, "["},
        {K::tkFSlash, "/"}, {K::tkDot, "."}, {K::tkBang, "!"}}},
    {"Comments", "a <!-- x -- y --> b -- inline -- c - d", {{K::tkIdentifier, "a"}, {K::tkIdentifier, "b"},
        {K::tkIdentifier, "c"}, {K::tkMinus, "-"}, {K::tkIdentifier, "d"}}},
    {"ConditionalSections", "<![ IGNORE [ x ]]>", {{K::tkConditionalSectionStart, "<!["},
        {K::tkIdentifier, "IGNORE"}, {K::tkLBracket, "["}, {K::tkIdentifier, "x"},
        {K::tkConditionalSectionEnd, "]]>"}}},
    {"ParameterEntitiesExpandInPlace", "(%flow;) %flow x %undeclared; % flow", {{K::tkLParen, "("},
        {K::tkIdentifier, "p"}, {K::tkLogicalOr, "|"}, {K::tkIdentifier, "div"}, {K::tkRParen, ")"},
        {K::tkIdentifier, "p"}, {K::tkLogicalOr, "|"}, {K::tkIdentifier, "div"}, {K::tkIdentifier, "x"},
        {K::tkPercent, "%undeclared"}, {K::tkSemiColon, ";"}, {K::tkPercent, "%"}, {K::tkIdentifier, "flow"}}},
    {"NestedEntities", "%outer;", {{K::tkIdentifier, "p"}, {K::tkLogicalOr, "|"}, {K::tkIdentifier, "div"},
        {K::tkComma, ","}, {K::tkIdentifier, "q"}}},
    // clang-format on
};

void PrintTo(const TokenCase& C, std::ostream* Os) { *Os << C.Name; }

class Tokens : public ::testing::TestWithParam<TokenCase> {};

TEST_P(Tokens, Scan) {
  const auto R = ScanAll(GetParam().Text, {{"flow", "p|div"}, {"outer", "%flow;,q"}});
  EXPECT_EQ(R.Tokens, GetParam().Tokens);
  EXPECT_TRUE(R.Errors.empty()) << R.Errors.front();
}

INSTANTIATE_TEST_SUITE_P(DTD, Tokens, ::testing::ValuesIn(TokenCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(DTDScanner, LinesAreCountedOutsideEntityTextOnly) {
  // CR LF is one break, LF CR two, as the editor counts them.
  const auto R = ScanAll("a\r\nb\n\rc\rd\n%e; f", {{"e", "x\ny"}});
  EXPECT_EQ(R.Lines, (std::vector<int32_t>{1, 2, 4, 5, 6, 6, 6}));
}

TEST(DTDScanner, BadInputIsReportedAndScanningGoesOn) {
  const auto R = ScanAll("a\n$ b\n<!1 ] c");
  EXPECT_EQ(R.Errors, (std::vector<std::string>{"Invalid character in input stream $ @2",
                                                "Expected <!ELEMENT, <!ATTLIST, <!ENTITY, - but found <! @3",
                                                "Invalid character in input stream ] @3"}));
  ASSERT_FALSE(R.Tokens.empty());
  EXPECT_EQ(R.Tokens.back(), (std::pair<K, std::string>{K::tkIdentifier, "c"}));
}

TEST(DTDScanner, ChunksEndAtLineBreaksOrBetweenWords) {
  std::string Text;
  while (Text.size() < 40000) Text += "<!ENTITY name \"value\">\n";
  Text += "last";  // no line break at the end
  const auto R = ScanAll(Text);
  EXPECT_EQ(R.Tokens.back().second, "last");
  EXPECT_EQ(R.Tokens.size(), 4 * (R.Lines.back() - 1) + 1u);
  EXPECT_TRUE(R.Errors.empty());
  // One line of 40,000 names: chunks end between them, so every name is whole.
  std::string Line = "(e0";
  for (int I = 1; I < 5000; ++I) Line += "|e" + std::to_string(I);
  const auto Long = ScanAll(Line + ")");
  EXPECT_TRUE(Long.Errors.empty());
  int Names = 0;
  for (const auto& [Kind, Text] : Long.Tokens) {
    if (Kind != K::tkIdentifier) continue;
    EXPECT_EQ(Text, "e" + std::to_string(Names));
    ++Names;
  }
  EXPECT_EQ(Names, 5000);
  // A word longer than a chunk is cut, never refused.
  const auto Word = ScanAll(std::string(17000, 'a'));
  ASSERT_EQ(Word.Tokens.size(), 2u);
  EXPECT_EQ(Word.Tokens[0].second.size() + Word.Tokens[1].second.size(), 17000u);
}

TEST(DTDScanner, AttributeEditorsBindDeclaredAttributes) {
  TDTDParser P;
  auto* Body = static_cast<TDTDElement*>(P.EnterSymbol("BODY", TDeclType::dtElement));
  auto* BgColor = static_cast<TDTDAttribute*>(P.EnterSymbol("bgcolor", TDeclType::dtAttribute));
  Body->EnterSymbol(BgColor);
  ScanAll("<!--AttributeEditors\nBODY.bgcolor=color\nBODY.missing=url\nNONE.x=y\n-->\nz", {}, &P);
  EXPECT_EQ(BgColor->Editor, "color");
  // Only a block whose first word follows "<!--" at once binds editors.
  BgColor->Editor.clear();
  ScanAll("<!-- ATTRIBUTEEDITORS\nBODY.bgcolor=url\n-->", {}, &P);
  EXPECT_EQ(BgColor->Editor, "");
}

TEST(DTDScanner, IgnoredSectionsAreSkippedWithTheirNesting) {
  TDTDParser P;
  TKelStringStream Stream("<![ IGNORE [ a <![ [ b ]]> c ]]> d");
  P.Scanner->LoadFromStream(&Stream, "");
  P.Scanner->FillBuffer();
  P.Scanner->GetToken();
  P.Scanner->GetToken();
  ASSERT_EQ(P.Scanner->TokenText, "IGNORE");
  P.Scanner->GetToken();  // [
  P.Scanner->Ignore();
  EXPECT_EQ(P.Scanner->TokenText, "d");
}

class Includes : public test::THostTest {};

TEST_F(Includes, AFileIsReadInPlaceAndCountsItsOwnLines) {
  const fs::path Schemas = GetSchemaFolder();
  fs::create_directories(Schemas);
  const std::string Name = "mlinsight-test-include-" + std::to_string(::getpid()) + ".ent";
  std::ofstream(Schemas / Name) << "i1\ni2 %self;\n";
  TDTDParser P;
  auto* Inc = static_cast<TDTDParameterizedEntity*>(P.EnterSymbol("inc", TDeclType::dtParameterizedEntity));
  Inc->SystemId = "http://example.org/dtd/" + Name;
  auto* Self = static_cast<TDTDParameterizedEntity*>(P.EnterSymbol("self", TDeclType::dtParameterizedEntity));
  Self->SystemId = Name;  // includes itself: refused
  auto* Missing =
      static_cast<TDTDParameterizedEntity*>(P.EnterSymbol("missing", TDeclType::dtParameterizedEntity));
  Missing->SystemId = "no-such-file.ent";
  const auto R = ScanAll("a\n%inc;\nb %missing;", {}, &P);
  fs::remove(Schemas / Name);
  std::vector<std::string> Texts;
  for (const auto& T : R.Tokens) Texts.push_back(T.second);
  EXPECT_EQ(Texts, (std::vector<std::string>{"a", "i1", "i2", "b"})) << (R.Errors.empty() ? "" : R.Errors[0]);
  EXPECT_EQ(R.Lines, (std::vector<int32_t>{1, 1, 2, 3}));
  ASSERT_EQ(R.Errors.size(), 2u);
  EXPECT_NE(R.Errors[0].find("Invalid file "), std::string::npos);
  EXPECT_NE(R.Errors[0].find(Name), std::string::npos);
  EXPECT_NE(R.Errors[1].find("no-such-file.ent"), std::string::npos);

  // Named inside an entity's text, a file is read in its place and the rest
  // of that text after it.
  std::ofstream(Schemas / Name) << "i1 i2";
  auto* Around =
      static_cast<TDTDParameterizedEntity*>(P.EnterSymbol("around", TDeclType::dtParameterizedEntity));
  Around->Text = "x %inc; y";
  const auto Within = ScanAll("a %around; b", {}, &P);
  fs::remove(Schemas / Name);
  Texts.clear();
  for (const auto& T : Within.Tokens) Texts.push_back(T.second);
  EXPECT_EQ(Texts, (std::vector<std::string>{"a", "x", "i1", "i2", "y", "b"}));
}

// The real W3C and IETF DTDs scan without a single complaint.
TEST(DTDCorpus, EveryDTDOfTheW3CLibraryScansCleanly) {
  const fs::path Root = "/usr/share/xml/w3c-sgml-lib/schema/dtd";
  ASSERT_TRUE(fs::is_directory(Root)) << "w3c-sgml-lib is missing";
  int Files = 0;
  for (const auto& E : fs::recursive_directory_iterator(Root)) {
    const auto Ext = E.path().extension();
    if (!E.is_regular_file() || (Ext != ".dtd" && Ext != ".ent" && Ext != ".mod")) continue;
    TDTDParser P;
    std::vector<std::string> Errors;
    P.OnError = [&Errors](TDTDParser*, TParseError, const std::string& Msg, int32_t Line,
                          const std::string&) { Errors.push_back(Msg + " @" + std::to_string(Line)); };
    TKelFileStream Stream(E.path().string());
    P.Scanner->LoadFromStream(&Stream, E.path().string());
    int Tokens = 0;
    P.Scanner->FillBuffer();
    for (P.Scanner->GetToken(); P.Scanner->Token != K::tkEof; P.Scanner->GetToken()) ++Tokens;
    // XML DTDs carry processing instructions ("<?xml version=...?>", "<?doc
    // ... { XHTML Basic 1.0 } ?>") whose "=", "{" and "}" are no DTD
    // characters; nothing else may be reported.
    for (const auto& Msg : Errors) {
      const std::string Prefix = "Invalid character in input stream ";
      ASSERT_EQ(Msg.rfind(Prefix, 0), 0u) << E.path() << ": " << Msg;
      EXPECT_NE(std::string("={}").find(Msg[Prefix.size()]), std::string::npos) << E.path() << ": " << Msg;
    }
    if (E.path().string().find("/IETF/") != std::string::npos) {
      EXPECT_TRUE(Errors.empty()) << E.path();
    }
    EXPECT_GT(Tokens, 0) << E.path();
    ++Files;
  }
  EXPECT_GT(Files, 100);
}

}  // namespace
}  // namespace kel
