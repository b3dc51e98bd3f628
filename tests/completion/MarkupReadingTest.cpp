// Reading the files people have: XML by file type, CDATA, XSL template text,
// self-closed script and style, minified lines, chunk cuts. Every case is the
// whole resulting document with its caret, so an edit that strays fails.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/completion/CompletionTestSupport.h"

namespace kel {
namespace {

using test::TRun;
using Names = std::vector<std::string>;

const std::string& Strict = test::StrictHead;
const std::string& XHtml = test::XhtmlHead;
const std::string& Xsl = test::XslHead;

class MarkupReading : public test::TCompletionTest {};

TEST_F(MarkupReading, CaretsFarAlongMinifiedLines) {
  // One line of 120,000 characters: columns past 65,535 are still columns.
  std::string Line;
  while (Line.size() < 120000) Line += "<p>minified<b>page</b></p>";
  const std::string Page = Strict + "<body>" + Line;
  ASSERT_TRUE(Run({Page + "<table>|", "page.html", 0, "", "", 0}));
  EXPECT_TRUE(Has("caption"));
  EXPECT_TRUE(Has("</table>"));
  ASSERT_TRUE(Run({Page + "<table>|<p>after</p>", "page.html", 0, "", "tbody"}));
  EXPECT_EQ(Result(), Page + "<table><tbody|<p>after</p>");
  ASSERT_TRUE(Run({Page + "<td align=|", "page.html", 0, "", "center"}));
  EXPECT_EQ(Result(), Page + "<td align=\"center\"|");
}

// Pages whose chunk boundaries fall on a CR LF pair or inside a tag name:
// the list at the end of the page is the list of a short page.
TEST_F(MarkupReading, ChunkCutsSplitNoLineBreakAndNoName) {
  // The first chunk is cut after the DOCTYPE's line break; the second has no
  // whitespace for 16 KB and "<table>" straddles its end.
  std::string Minified = Strict + "<body>";
  while (Minified.size() < Strict.size() + MLBufferSize - 3 - 8) Minified += "<i>x</i>";
  Minified.append(Strict.size() + MLBufferSize - 3 - Minified.size(), 'x');
  Minified += "<table><tr><td>x</td></tr>";
  // CR LF lines whose CR is the last byte of the first chunk.
  std::string CrLf = Strict + "<body>\r\n";
  while (CrLf.size() < MLBufferSize - 40) CrLf += "<p>line</p>\r\n";
  CrLf.append(MLBufferSize - 1 - CrLf.size(), 'x');
  CrLf += "\r\n<table>\r\n";
  const struct {
    const char* Name;
    std::string Marked;
  } Cases[] = {
      {"name across the cut", Minified + "|"},
      {"CR LF across the cut", CrLf + "|"},
      {"LF CR is two lines", Strict + "<body>\n\r\n\r<table>\n\r|"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    ASSERT_TRUE(Run({C.Marked, "page.html", 0, "", "", 0}));
    EXPECT_TRUE(Has("</table>")) << Listed();
    EXPECT_TRUE(Has("tbody")) << Listed();
    ASSERT_TRUE(Run({C.Marked, "page.html", 0, "", "tbody"}));
    EXPECT_EQ(Result(), C.Marked.substr(0, C.Marked.size() - 1) + "<tbody|");
  }
}

struct TListCase {
  const char* Name;
  std::string Marked, File;
  Names Present, Absent;
};

TEST_F(MarkupReading, ListsAfterConstructsThatAreNotElements) {
  const std::string S = Strict, X = XHtml;
  const TListCase Cases[] = {
      // clang-format off
      {"childless XHTML element is closed", X + "<html><body><p>a<br>\n|", "page.html", {"</p>", "em"},
          {"</br>"}},
      {"childless meta in an .xhtml file", "<html><head><meta name=\"a\" content=\"b\">\n|", "page.xhtml",
          {"title", "</head>"}, {"</meta>"}},
      {"childless element in XSL", Xsl + "<xsl:template match=\"/\"><p><br>|", "t.xsl", {"</p>", "em"},
          {"</br>"}},
      {"a stray end tag closes nothing (dt and td shared a slot of the name counts)",
          "<!DOCTYPE html>\n<html><body><table><tr><td><div><span>x</dt>\n|", "page.html", {"</span>",
          "</div>", "</td>", "</tr>", "</table>", "</body>"}, {}},
      {"CDATA opens nothing", X + "<html><body><p><![CDATA[ <div> ]]>|", "page.html", {"</p>"}, {"</div>"}},
      {"apostrophe in XSL template text", Xsl + "<xsl:template match=\"/\"><p>Don't panic</p>\n|", "t.xsl",
          {"xsl:value-of", "p", "</xsl:template>"}, {"</p>"}},
      {"words in XSL template text", Xsl + "<xsl:template match=\"/\"><p>Hello world \n|", "t.xsl",
          {"xsl:value-of", "</p>"}, {}},
      {"self-closed script has no body", X + "<html><head><script src=\"a.js\" /><title>T</title>|",
          "page.html", {"meta", "</head>"}, {}},
      {"self-closed style has no body", X + "<html><head><style type=\"text/css\" /><title>T</title>|",
          "page.html", {"meta", "</head>"}, {}},
      {"HTML script body still is one", S + "<body><script>var a = '<p>';</script><p>|", "page.html",
          {"</p>"}, {}},
      // clang-format on
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    ASSERT_TRUE(Run({C.Marked, C.File, 0, "", "", 0}));
    for (const auto& P : C.Present) EXPECT_TRUE(Has(P)) << P << " in " << Listed();
    for (const auto& A : C.Absent) EXPECT_FALSE(Has(A)) << A << " in " << Listed();
  }
}

struct TResultCase {
  const char* Name;
  TRun R;
  bool Opens;
  std::string Expected;
};

TEST_F(MarkupReading, WritesStayAtTheCaret) {
  const std::string S = Strict, X = XHtml;
  const std::string Head = X + "<html><head><meta name=\"a\" content=\"b\">\n<title>x</title></head>\n";
  const TResultCase Cases[] = {
      // clang-format off
      {"> fixes only the tag just closed", {Head + "<body><p><br|", "page.html", '>'}, false,
          Head + "<body><p><br />|"},
      {"> after a blank", {Head + "<body><p><br |", "page.html", '>'}, false, Head + "<body><p><br />|"},
      {"< leaves an earlier childless tag alone", {Head + "<body><p><br>\n|", "page.html", '<'}, true,
          Head + "<body><p><br>\n<|"},
      {"> in an .xsl file", {Xsl + "<xsl:template match=\"/\"><p><img src=\"a\"|", "t.xsl", '>'}, false,
          Xsl + "<xsl:template match=\"/\"><p><img src=\"a\" />|"},
      {"> in an .xhtml file without DOCTYPE", {"<html><body><p><hr|", "page.xhtml", '>'}, false,
          "<html><body><p><hr />|"},
      {"> in HTML leaves the element as written", {S + "<body><p><br|", "page.html", '>'}, false,
          S + "<body><p><br>|"},
      {"< inside CDATA writes nothing", {X + "<html><body><p><![CDATA[ a |", "page.html", '<'}, false,
          X + "<html><body><p><![CDATA[ a <|"},
      {"> inside CDATA writes no closing tag", {X + "<html><body><p><![CDATA[ <b| ]]>", "page.html", '>'},
          false, X + "<html><body><p><![CDATA[ <b>| ]]>"},
      {"> after CDATA closes the element", {X + "<html><body><p><![CDATA[ x ]]><b|", "page.html", '>'}, false,
          X + "<html><body><p><![CDATA[ x ]]><b>|</b>"},
      // clang-format on
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    EXPECT_EQ(Run({C.R.Marked, C.R.File, C.R.Typed, "", "", 0}), C.Opens);
    EXPECT_EQ(Result(), C.Expected);
  }
}

}  // namespace
}  // namespace kel
