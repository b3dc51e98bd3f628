// Broken style sheets, as users leave them while typing: the parser reads
// every cut of a real sheet and random bytes at every kind of point without
// crashing or hanging, and always answers a position.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "css/CSSParser.h"
#include "host/KelStream.h"
#include "markup/MLBufferProducer.h"

namespace kel {
namespace {

std::string Site() {
  std::ifstream In(MLINSIGHT_SOURCE_DIR "/examples/style/site.css", std::ios::binary);
  std::ostringstream S;
  S << In.rdbuf();
  return S.str();
}

void ParseAt(TStyleSheetParser& Parser, const std::string& Text, int32_t Point) {
  TKelStringStream Stream(Text);
  auto Producer = MakeKel<TMLBufferProducer>(&Stream);
  Parser.SetBufferAndPoint(Producer.get(), Point);
  Parser.Parse();
}

TEST(CSSRobustness, EveryPrefixAndRandomMutationsParse) {
  const std::string Sheet = Site();
  TStyleSheetParser Parser;
  Parser.SetOnParseError([](void*, const std::string&) {});
  std::mt19937 Random(20261207);
  // Every cut of the sheet, with the caret at its end: what a user has typed so far.
  for (size_t N = 0; N <= Sheet.size(); N += 7) ParseAt(Parser, Sheet.substr(0, N), static_cast<int32_t>(N));
  const std::string Alphabet = "{}()[];:,.#@!<>-+*/\\'\"\n =~|%0aZ_\x80\xff";
  for (int Round = 0; Round < 300; ++Round) {
    std::string T = Sheet;
    for (int K = 0; K < 20; ++K) T[Random() % T.size()] = Alphabet[Random() % Alphabet.size()];
    ParseAt(Parser, T, static_cast<int32_t>(Random() % (T.size() + 1)));
    EXPECT_LE(static_cast<int>(Parser.GetKibitzPos()), static_cast<int>(TKibitzPos::kpComment));
  }
  std::string Noise(4096, '\0');
  for (char& C : Noise) C = static_cast<char>(Random() % 255 + 1);
  ParseAt(Parser, Noise, 4000);
}

}  // namespace
}  // namespace kel
