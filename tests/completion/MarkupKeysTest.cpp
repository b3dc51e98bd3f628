// Keys with the list open do what editors do: a key that ends a name
// accepts the selected entry and then applies itself. Each case is the whole
// resulting document with its caret.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/completion/CompletionTestSupport.h"

namespace kel {
namespace {

using test::TRun;

const std::string& S = test::StrictHead;
const std::string& X = test::XhtmlHead;

class MarkupKeys : public test::TCompletionTest {};

struct TKeyCase {
  const char* Name;
  TRun R;
  bool Quotes;
  std::string Expected;
};

TEST_F(MarkupKeys, KeysAcceptAndApplyThemselves) {
  const TKeyCase Cases[] = {
      // clang-format off
      {"= after an attribute name", {S + "<body><p><a hr|", "page.html", 0, "", "href", '='}, true,
          S + "<body><p><a href=\"|\""},
      {"= without quote insertion", {S + "<body><p><a hr|", "page.html", 0, "", "href", '='}, false,
          S + "<body><p><a href=|"},
      {"\" after an attribute name", {S + "<body><p><a hr|", "page.html", 0, "", "href", '"'}, true,
          S + "<body><p><a href=\"|\""},
      {"> after an attribute name", {S + "<body><p><a hr|", "page.html", 0, "", "href", '>'}, true,
          S + "<body><p><a href>|</a>"},
      {"> after an element name", {S + "<body><di|", "page.html", 0, "", "div", '>'}, true,
          S + "<body><div>|</div>"},
      {"> after an element from content", {S + "<body>|", "page.html", 0, "", "div", '>'}, true,
          S + "<body><div>|</div>"},
      {"> after an EMPTY element", {S + "<body><p><b|", "page.html", 0, "", "br", '>'}, true,
          S + "<body><p><br>|"},
      {"> after a childless XML element", {X + "<html><body><p><b|", "page.html", 0, "", "br", '>'}, true,
          X + "<html><body><p><br />|"},
      {"tab never types inside the quotes", {S + "<body><p><a hr|", "page.html", 0, "", "href", '\t'}, true,
          S + "<body><p><a href=\"|\""},
      {"space never types inside the quotes", {S + "<body><p><a hr|", "page.html", 0, "", "href", ' '}, true,
          S + "<body><p><a href=\"|\""},
      {"space without quote insertion", {S + "<body><p><a hr|", "page.html", 0, "", "href", ' '}, false,
          S + "<body><p><a href=|"},
      {"space after a flag attribute", {S + "<body><form><input dis|", "page.html", 0, "", "disabled", ' '},
          true, S + "<body><form><input disabled |"},
      {"element inside a word", {S + "<body><ta|ble>", "page.html", 0, "", "table"}, true,
          S + "<body><table|>"},
      {"attribute inside a word", {S + "<body><p><a hr|ef=\"x\">", "page.html", 0, "", "hreflang"}, true,
          S + "<body><p><a hreflang|=\"x\">"},
      {"closing tag after </", {S + "<body><div><p>x</|", "page.html", 0, "", "</p>"}, true,
          S + "<body><div><p>x</p>|"},
      {"closing tag after </ and a prefix", {S + "<body><div><p>x</d|", "page.html", 0, "", "</div>"}, true,
          S + "<body><div><p>x</div>|"},
      // clang-format on
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    Manager->SetInsertQuotes(C.Quotes);
    ASSERT_TRUE(Run(C.R));
    EXPECT_FALSE(Cycle.IsOpen());
    EXPECT_EQ(Result(), C.Expected);
  }
}

TEST_F(MarkupKeys, SlashAfterLessThanListsTheClosingTagsInnermostFirst) {
  ASSERT_TRUE(Run({S + "<body><div><p>x<|", "page.html", '/', "", "", 0}));
  const auto T = Texts();
  ASSERT_GE(T.size(), 2u);
  EXPECT_EQ(T[0], "</p>");
  EXPECT_EQ(T[1], "</div>");
  EXPECT_EQ(std::count(T.begin(), T.end(), "</p>"), 1);
  EXPECT_EQ(Cycle.Selected(), 0);
  Cycle.Key('\r');
  EXPECT_EQ(Result(), S + "<body><div><p>x</p>|");
}

TEST_F(MarkupKeys, ExplicitRequestsListWhatTheCaretAllows) {
  const struct {
    const char* Name;
    std::string Marked, File;
    std::vector<std::string> Present, Absent;
  } Cases[] = {
      {"right after a value", S + "<body><p><a id=\"x\"|>", "page.html", {"href", "name"}, {"id"}},
      {"after a flag and a blank",
       S + "<body><form><input disabled |",
       "page.html",
       {"name", "value"},
       {"true", "false", "disabled"}},
      {"on the attribute name under the caret",
       S + "<body><p><a href|",
       "page.html",
       {"href", "hreflang"},
       {}},
      {"inside the attribute name", S + "<body><p><a hr|ef=\"x\">", "page.html", {"href", "hreflang"}, {}},
      {"after a server script",
       "<%@ Page Language=\"C#\" %>\n" + S + "<body><p><% x %>|",
       "page.aspx",
       {"</p>", "a", "em"},
       {}},
      {"top level of a user control",
       "<%@ Control Language=\"C#\" %>\n|",
       "part.ascx",
       {"p", "div", "table"},
       {"html", "body"}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    ASSERT_TRUE(Run({C.Marked, C.File, 0, "", "", 0}));
    const auto T = Texts();
    std::string All;
    for (const auto& E : T) All += E + " ";
    for (const auto& P : C.Present) EXPECT_EQ(std::count(T.begin(), T.end(), P), 1) << P << " in " << All;
    for (const auto& A : C.Absent) EXPECT_EQ(std::count(T.begin(), T.end(), A), 0) << A;
  }
}

TEST_F(MarkupKeys, LetterCaseFollowsThePage) {
  const std::string Aspx = "<%@ Page Language=\"C#\" %>\n" + S;
  const struct {
    const char* Name;
    std::string Options;
    TRun R;
    std::string Expected;
  } Cases[] = {
      {"values on a lower-case page",
       "",
       {S + "<body><form><input type=|", "page.html", 0, "", "text"},
       S + "<body><form><input type=\"text\"|"},
      {"values on an upper-case page",
       "",
       {S + "<BODY><FORM><INPUT TYPE=|", "page.html", 0, "", "TEXT"},
       S + "<BODY><FORM><INPUT TYPE=\"TEXT\"|"},
      {"names on an upper-case page",
       "",
       {S + "<BODY><TABLE><TB|", "page.html", 0, "", "TBODY"},
       S + "<BODY><TABLE><TBODY|"},
      {"closing tag of an upper-case tag",
       "",
       {S + "<BODY><TABLE|", "page.html", '>'},
       S + "<BODY><TABLE>|</TABLE>"},
      {"closing tag of a mixed-case tag",
       "",
       {S + "<body><Table|", "page.html", '>'},
       S + "<body><Table>|</Table>"},
      {"server control keeps its case",
       "",
       {Aspx + "<body><form><asp:Panel runat=\"server\"|", "page.aspx", '>'},
       Aspx + "<body><form><asp:Panel runat=\"server\">|</asp:Panel>"},
      {"server control names as declared",
       "",
       {Aspx + "<body><form><asp:Bu|", "page.aspx", 0, "", "asp:Button"},
       Aspx + "<body><form><asp:Button|"},
      {"options force upper case",
       "[Code Insight]\nTag Case=Upper\n",
       {S + "<body><form><input type=|", "page.html", 0, "", "TEXT"},
       S + "<body><form><input type=\"TEXT\"|"},
      {"options keep the DTD's case",
       "[Code Insight]\nTag Case=As Declared\n",
       {S + "<body><table><tb|", "page.html", 0, "", "TBODY"},
       S + "<body><table><TBODY|"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    Options(C.Options);
    Run(C.R);
    if (Cycle.IsOpen()) Cycle.Key(27);
    EXPECT_EQ(Result(), C.Expected);
  }
  Options("");
}

TEST_F(MarkupKeys, ValuesAndClosingTagsWhereverTheyAreDue) {
  const std::string Long(9000, 'x');
  const TKeyCase Cases[] = {
      // clang-format off
      {"value quotes before the next attribute", {S + "<body><p><a | title=\"x\">", "page.html", 0, "",
          "href"}, true, S + "<body><p><a href=\"|\" title=\"x\">"},
      {"value quotes right before a name", {S + "<body><p><a |title=\"x\">", "page.html", 0, "", "href"},
          true, S + "<body><p><a href=\"|\" title=\"x\">"},
      {"value quotes for an attribute without listed values", {S + "<body><p title|", "page.html", 0, "",
          "title"}, true, S + "<body><p title=\"|\""},
      {"> in a quoted value", {S + "<body><div title=\"a>b\"|", "page.html", '>', "", "", 0}, true,
          S + "<body><div title=\"a>b\">|</div>"},
      {"> after a start tag of 9 KB", {S + "<body><div title=\"" + Long + "\"|", "page.html", '>', "", "", 0},
          true, S + "<body><div title=\"" + Long + "\">|</div>"},
      // clang-format on
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    Manager->SetInsertQuotes(C.Quotes);
    Run(C.R);
    if (Cycle.IsOpen()) Cycle.Key(27);
    EXPECT_EQ(Result(), C.Expected);
  }
}

TEST_F(MarkupKeys, XmlFilesOfferXmlsOwnEntities) {
  const std::string Xsl =
      "<?xml version=\"1.0\"?>\n<xsl:stylesheet version=\"1.0\" "
      "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">\n<xsl:template match=\"/\"><p>|";
  const std::vector<std::string> Five = {"amp", "apos", "gt", "lt", "quot"};
  ASSERT_TRUE(Run({Xsl, "t.xsl", '&', "", "", 0}));
  EXPECT_EQ(Texts(), Five);
  ASSERT_TRUE(
      Run({"<?xml version=\"1.0\"?>\n<root><data name=\"a\"><value>|", "Strings.resx", '&', "", "", 0}));
  EXPECT_EQ(Texts(), Five);
  ASSERT_TRUE(Run({S + "<body><p>|", "page.html", '&', "", "", 0}));
  EXPECT_GT(Texts().size(), 200u) << "HTML keeps its entities";
}

TEST_F(MarkupKeys, ClosingRowsComeInnermostFirstEachOnce) {
  const struct {
    const char* Name;
    std::string Marked;
    std::vector<std::string> First;  // the list's first rows, in order
    std::string Absent;
  } Cases[] = {
      {"nested", S + "<body><div><p>x|", {"</p>", "</div>", "</body>"}, "</html>"},
      {"two unclosed items", S + "<body><ul><li>a<li>b\n|", {"</li>", "</ul>", "</body>"}, "</p>"},
      {"an element opened after the caret", S + "<body><div>|<p>x", {"</div>", "</body>"}, "</p>"},
      {"an ancestor closed after the caret", S + "<body><div><p>|</p>", {"</div>", "</body>"}, "</p>"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    ASSERT_TRUE(Run({C.Marked, "page.html", 0, "", "", 0}));
    const auto T = Texts();
    ASSERT_GE(T.size(), C.First.size());
    EXPECT_EQ(std::vector<std::string>(T.begin(), T.begin() + static_cast<std::ptrdiff_t>(C.First.size())),
              C.First);
    EXPECT_EQ(std::count(T.begin(), T.end(), C.First[0]), 1);
    EXPECT_EQ(std::count(T.begin(), T.end(), C.Absent), 0);
    EXPECT_EQ(Cycle.Selected(), 0) << "the innermost is the default pick";
  }
}

}  // namespace
}  // namespace kel
