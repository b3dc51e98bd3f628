// Pages as users leave them while typing: the markup manager invoked and
// accepting at random carets of mutated real pages never crashes, hangs or
// changes text outside the caret's line.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "tests/completion/CompletionTestSupport.h"

namespace kel {
namespace {

class MarkupRobustness : public test::TCompletionTest {};

TEST_F(MarkupRobustness, RandomCaretsInMutatedPages) {
  std::ifstream In(MLINSIGHT_SOURCE_DIR "/examples/index.html", std::ios::binary);
  std::ostringstream S;
  S << In.rdbuf();
  const std::string Page = S.str();
  std::mt19937 Random(7);
  const std::string Alphabet = "<>/=\"'&;%! \nabp-";
  const char Keys[] = {'\r', ' ', '>', '/', '"', 27};
  for (int Round = 0; Round < 120; ++Round) {
    std::string T = Page;
    for (int K = 0; K < 8; ++K) T[Random() % T.size()] = Alphabet[Random() % Alphabet.size()];
    const size_t Caret = Random() % (T.size() + 1);
    std::string Marked = T;
    Marked.insert(Caret, "|");
    if (Marked.find('|') != Caret) continue;  // a '|' of the page would be taken for the caret
    const char Typed = "\0<&=>"[Random() % 5];
    Run({Marked, "page.html", Typed, "", "", Keys[Random() % 6]});
    // Whatever was written went in around the caret: the text before the
    // caret's line and after the next line break is the page's.
    const std::string& Now = View->Text();
    const size_t LineStart = T.rfind('\n', Caret == 0 ? 0 : Caret - 1);
    const size_t Before = LineStart == std::string::npos ? 0 : LineStart;
    EXPECT_EQ(Now.substr(0, Before), T.substr(0, Before)) << Round;
    const size_t After = T.find('\n', Caret);
    if (After != std::string::npos) {
      const std::string Tail = T.substr(After);
      EXPECT_EQ(Now.substr(Now.size() - std::min(Now.size(), Tail.size())), Tail) << Round;
    }
  }
}

}  // namespace
}  // namespace kel
