// The style-sheet scanner: tokens, their texts, lines, and the stop at the caret.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "css/CSSParser.h"
#include "host/KelStream.h"
#include "markup/MLBufferProducer.h"

namespace kel {
namespace {

struct TTok {
  int Code;
  std::string Text;
  friend bool operator==(const TTok&, const TTok&) = default;
};
std::ostream& operator<<(std::ostream& O, const TTok& T) { return O << T.Code << ":" << T.Text; }
using Toks = std::vector<TTok>;

// Every token up to the end or the point (the point token included once).
Toks Scan(const std::string& Text, int32_t Point = INT32_MAX, int32_t* Lines = nullptr) {
  TKelStringStream Stream(Text);
  auto Producer = MakeKel<TMLBufferProducer>(&Stream);
  TStyleSheetScanner S;
  S.SetBufferAndPoint(Producer.get(), Point);
  Toks R;
  for (int Guard = 0; Guard < 100000; ++Guard) {
    const uint8_t T = S.GetToken();
    R.push_back({T, T == csstKibitz || T == csstEof ? std::string() : S.GetTokenStr()});
    if (T == csstKibitz || T == csstEof) break;
  }
  if (Lines) *Lines = S.GetLine();
  return R;
}

struct TScanCase {
  const char* Name;
  std::string Text;
  Toks Expected;
};

TEST(CSSScanner, TokenTable) {
  const TTok End{csstEof, ""};
  const TScanCase Cases[] = {
      // clang-format off
      {"units", "12px 12PX 12q 1.5em 2ex 50% .5 3 90deg 1.5grad 10ms 2s 5Hz 1kHz 3.", {{csstLength, "12px"},
          {csstLength, "12PX"}, {csstDimension, "12q"}, {csstEms, "1.5em"}, {csstExs, "2ex"},
          {csstPercentage, "50%"}, {csstNumber, ".5"}, {csstNumber, "3"}, {csstAngle, "90deg"},
          {csstAngle, "1.5grad"}, {csstTime, "10ms"}, {csstTime, "2s"}, {csstFreq, "5Hz"}, {csstFreq, "1kHz"},
          {csstNumber, "3."}, End}},
      {"important", "! important !x !IMPORTANT", {{csstImportant, "important"}, {'!', "x"},
          {csstImportant, "IMPORTANT"}, End}},
      {"at-keywords", "@Media @import @page @font-face @charset @foo @ {", {{csstMedia, "Media"},
          {csstImport, "import"}, {csstPage, "page"}, {csstFontFace, "font-face"}, {csstCharset, "charset"},
          {csstAtKeyword, "foo"}, {csstAtKeyword, " "}, {'{', "{"}, End}},
      {"functions and uris", "rgb(1) url( \"a)b\" ) url(x.png) URL('q')", {{csstFunction, "rgb"}, {'(', "("},
          {csstNumber, "1"}, {')', ")"}, {csstURI, "url"}, {csstURI, "url"}, {csstURI, "URL"}, End}},
      {"unicode range", "U+0025-00FF U+4?", {{csstUnicodeRange, "U+0025-00FF"}, {csstUnicodeRange, "U+4"},
          {'?', "?"}, End}},
      {"underscore is no name character", "_x", {{'_', "_"}, {csstIdent, "x"}, End}},
      {"sgml comments", "<!-- --> < -- -", {{csstCDO, "<!--"}, {csstCDC, "-->"}, {'<', "<"}, {'-', "--"},
          {'-', "-"}, End}},
      {"matches", "~= |= ~ |", {{csstIncludes, "~="}, {csstDashMatch, "|="}, {'~', "~"}, {'|', "|"}, End}},
      {"strings", "'a\\'b' \"x\ny\"", {{csstString, "'a\\'b'"}, {csstString, "\"x\ny\""}, End}},
      {"hash and escapes", "#fff a\\:b \\31 0", {{csstHash, "fff"}, {csstIdent, "a\\:b"},
          {csstIdent, "\\31 0"}, End}},
      {"comments give no token", "a/* b\n*/c / d", {{csstIdent, "a"}, {csstIdent, "c"}, {'/', "/"},
          {csstIdent, "d"}, End}},
      {"unterminated comment", "a /* b", {{csstIdent, "a"}, End}},
      {"unterminated string", "'abc", {{csstString, "'abc"}, End}},
      {"empty document", "", {End}},
      // clang-format on
  };
  for (const auto& C : Cases) EXPECT_EQ(Scan(C.Text), C.Expected) << C.Name;
}

TEST(CSSScanner, StopsAtTheCompletionPoint) {
  const std::pair<int32_t, Toks> Cases[] = {
      {5, {{csstIdent, "color"}, {csstKibitz, ""}}},  // ':' starts at 5
      {4, {{csstIdent, "color"}, {csstKibitz, ""}}},  // inside the word: the word comes whole
      {0, {{csstKibitz, ""}}},
      {7, {{csstIdent, "color"}, {':', ":"}, {csstKibitz, ""}}},
  };
  for (const auto& [Point, Expected] : Cases) EXPECT_EQ(Scan("color: red", Point), Expected) << Point;
  EXPECT_EQ(Scan("", 0), (Toks{{csstKibitz, ""}})) << "an empty document at its point";

  TKelStringStream Stream("a b");
  auto Producer = MakeKel<TMLBufferProducer>(&Stream);
  TStyleSheetScanner S;
  S.SetBufferAndPoint(Producer.get(), 2);
  S.GetToken();
  EXPECT_EQ(S.GetToken(), csstKibitz);
  EXPECT_EQ(S.GetToken(), csstKibitz) << "and again on every later call";
}

TEST(CSSScanner, LineBreaksCountAsEditorsCountThem) {
  int32_t Lines = 0;
  // CR LF is one break, LF CR two (an LF, then a CR).
  Scan("a\r\nb\n\rc\rd\ne", INT32_MAX, &Lines);
  EXPECT_EQ(Lines, 5);
  Scan("/* 1\n2\r\n3 */ 'x\ny'", INT32_MAX, &Lines);
  EXPECT_EQ(Lines, 3) << "inside comments and strings too";
}

TEST(CSSScanner, AStringAcrossAChunkCutIsOneToken) {
  const std::string Pad(MLBufferSize - 4, ' ');
  const std::string Str = "'one two three'";
  const Toks T = Scan(Pad + Str + " x");
  ASSERT_EQ(T.size(), 3u);
  EXPECT_EQ(T[0], (TTok{csstString, Str}));
  EXPECT_EQ(T[1], (TTok{csstIdent, "x"}));
}

}  // namespace
}  // namespace kel
