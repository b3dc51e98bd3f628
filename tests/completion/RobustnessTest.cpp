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

using kel::test::Slurp;

// 100,000 elements left open, then a request after them: the open-element
// lists count per name, so the request is one pass, and the closing tag due
// is offered once. Past 10,000 deep the outermost are let go (html, body).
TEST_F(MarkupRobustness, AHundredThousandUnclosedElements) {
  std::string Page = "<!DOCTYPE html>\n<html><body>\n";
  for (int I = 0; I < 100000; ++I) Page += "<div>";
  ASSERT_TRUE(Run({Page + "\n</|", "deep.html", 0, "", "", 0}));
  EXPECT_EQ(Texts(), (std::vector<std::string>{"</div>"}));
  // Each name once, found through a set: 100,000 names took 30 s.
  std::string Distinct = "<!DOCTYPE html>\n<html><body>\n";
  for (int I = 0; I < 30000; ++I) Distinct += "<t" + std::to_string(I) + ">";
  ASSERT_TRUE(Run({Distinct + "<T0>\n</|", "deep.html", 0, "", "", 0}));
  ASSERT_EQ(Texts().size(), 10000u) << "the innermost 10,000";
  EXPECT_EQ(Texts()[0], "</T0>");
  EXPECT_EQ(Texts()[1], "</t29999>");
  // End tags whose element lies under 20,000 others that stay open (span
  // inside a, any name in XML): each walk is bounded.
  const struct {
    const char *Start, *Outer, *Inner, *File, *Innermost;
  } Buried[] = {{"<!DOCTYPE html>\n<html><body>", "a", "span", "deep.html", "</span>"},
                {"<html><body>", "p", "em", "deep.xhtml", "</em>"}};
  for (const auto& B : Buried) {
    std::string Text = B.Start;
    for (const auto& [Tag, Close] : {std::pair{B.Outer, ""}, {B.Inner, ""}, {B.Outer, "/"}})
      for (int I = 0; I < 20000; ++I) Text += std::string("<") + Close + Tag + ">";
    ASSERT_TRUE(Run({Text + "\n</|", B.File, 0, "", "", 0}));
    EXPECT_EQ(Texts().front(), B.Innermost) << B.File;
  }
  Page += "\n";
  for (int I = 0; I < 16000; ++I) Page += "</section>";
  ASSERT_TRUE(Run({Page + "\n<|", "deep.html", 0, "", "", 0})) << "16,000 end tags of elements never opened";
}

// Pages built to hurt, the caret at their end: each request answers (a list
// or none) in one pass, and Enter writes nothing before the caret's tag.
TEST_F(MarkupRobustness, HostilePagesAnswerAtTheirEnd) {
  const auto Times = [](const std::string& S, int N) {
    std::string R;
    R.reserve(S.size() * static_cast<size_t>(N));
    for (int I = 0; I < N; ++I) R += S;
    return R;
  };
  const std::pair<const char*, std::string> Pages[] = {
      {"line.html", "<!DOCTYPE html><p>" + std::string(2'000'000, 'x') + " <a "},
      {"attrs.html", "<!DOCTYPE html><p " + Times("a=1 ", 60'000)},
      {"comment.html", "<!DOCTYPE html><!-- " + std::string(1'000'000, 'x')},
      {"entity.html", "<!DOCTYPE html><p>&" + std::string(500'000, 'a')},
      {"quotes.html", "<!DOCTYPE html><p a=\"" + std::string(200'000, '"')},
      {"lts.html", "<!DOCTYPE html>" + std::string(200'000, '<')},
      {"subset.html", "<!DOCTYPE html [" + Times("<!ENTITY % a \"x\">", 40'000) + "]><p><"},
      {"crs.html", "<!DOCTYPE html>" + std::string(200'000, '\r') + "<p><"},
      {"nul.html", std::string("<!DOCTYPE html><p>\0\0<a \0 hr", 27)},
      {"style.html", "<!DOCTYPE html><style>" + Times("a{", 40'000) + "col"},
      {"styleattr.html", "<!DOCTYPE html><p style=\"" + Times("a:b;", 100'000) + "col"},
      {"pis.html", Times("<?", 100'000) + "<"},
      {"register.aspx",
       Times("<%@ Register TagPrefix=\"p\" Namespace=\"n\" Assembly=\"a\" %>\n", 10'000) + "<p:"},
      {"deep.xsl",
       "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"><xsl:template "
       "match=\"/\">" +
           Times("<xsl:if test=\"1\">", 20'000) + "<"},
  };
  for (const auto& [Name, Page] : Pages) {
    test::TRun R{Page + "\x01", Name, 0, "", "", '\r'};
    R.Marker = '\x01';
    Run(R);
    const size_t Tag = Page.rfind('<');
    const size_t Kept = Tag == std::string::npos ? 0 : Tag;
    EXPECT_EQ(View->Text().compare(0, Kept, Page, 0, Kept), 0) << Name;
  }
}

// Whatever one request writes lies between the start of the tag the caret is
// in (or its line) and the next tag boundary after it: the rest of the file is
// byte-identical, on real pages and XSL files nobody here wrote.
TEST_F(MarkupRobustness, RequestsWriteOnlyAroundTheCaretInRealFiles) {
  const std::pair<std::string, std::string> Corpus[] = {
      {"/usr/share/xml/docbook/stylesheet/docbook-xsl/html/docbook.xsl", "docbook.xsl"},
      {"/usr/share/doc/libjs-underscore/index.html", "index.html"},
      {"/usr/share/doc/libxslt1-dev/html/APIchunk0.html", "APIchunk0.html"},
      {MLINSIGHT_SOURCE_DIR "/examples/contact.html", "contact.html"},
      {MLINSIGHT_SOURCE_DIR "/examples/default.aspx", "default.aspx"},
      {MLINSIGHT_SOURCE_DIR "/examples/deck.wml", "deck.wml"},
  };
  std::mt19937 Random(11);
  const char Keys[] = {'\r', ' ', '>', '/', '"', '=', 27};
  int Requests = 0;
  for (const auto& [Path, Name] : Corpus) {
    const std::string Page = Slurp(Path);
    ASSERT_FALSE(Page.empty()) << Path << " (installed by scripts/install-deps.sh)";
    for (int Round = 0; Round < 60; ++Round) {
      const size_t Caret = Random() % (Page.size() + 1);
      std::string Marked = Page;
      Marked.insert(Caret, "\x01");
      const char Typed = "\0<&=>"[Random() % 5];
      test::TRun R{Marked, Name, Typed, "", "", Keys[Random() % 7]};
      R.Marker = '\x01';
      Run(R);
      ++Requests;
      const std::string& Now = View->Text();
      const size_t Lt = Caret == 0 ? std::string::npos : Page.rfind('<', Caret - 1);
      const size_t Line = Caret == 0 ? std::string::npos : Page.find_last_of("\r\n", Caret - 1);
      const size_t Before =
          std::min(Lt == std::string::npos ? 0 : Lt, Line == std::string::npos ? 0 : Line + 1);
      ASSERT_EQ(Now.compare(0, Before, Page, 0, Before), 0) << Name << " caret " << Caret;
      const size_t Boundary = Page.find_first_of("<>", Caret);
      if (Boundary == std::string::npos) continue;
      const size_t Tail = Page.size() - Boundary;
      ASSERT_GE(Now.size(), Tail);
      ASSERT_EQ(Now.compare(Now.size() - Tail, Tail, Page, Boundary, Tail), 0) << Name << " caret " << Caret;
    }
  }
  EXPECT_GT(Requests, 300);
}

}  // namespace
}  // namespace kel
