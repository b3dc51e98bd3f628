// The problems a document's own schema finds: each rule where it fires and
// where it must not, and no false alarm on pages their validators accept.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "diagnostics/DocumentCheck.h"
#include "tests/completion/CompletionTestSupport.h"

namespace kel {
namespace {

namespace fs = std::filesystem;
using Found = std::vector<std::string>;

class Diagnostics : public test::TCompletionTest {
 protected:
  // "rule text" for each problem, text being what its range covers.
  Found Check(const std::string& Text, const std::string& File, const TCheckRules& Rules = {},
              size_t Max = 1000) {
    auto V = Test.OpenView(Text + "|", File);
    TDocumentModel Model(File);
    Model.Tree(V->Text(), 1);
    Last = CheckDocument(Test.Host(), Model, V, Rules, Max);
    Found R;
    for (const auto& D : Last.Problems)
      R.push_back(D.Rule + " " + V->Text().substr(D.Start, D.End - D.Start));
    return R;
  }
  TCheckResult Last;
};

const std::string Strict = test::StrictHead, Xhtml = test::XhtmlHead, Html5 = "<!DOCTYPE html>\n";
const std::string Loose = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n";

TEST_F(Diagnostics, EachRuleFiresWhereItsSchemaSaysSo) {
  const struct {
    const char* Name;
    std::string Text;
    const char* File;
    Found Expected;
  } Cases[] = {
      // clang-format off
      {"unknown element in HTML 4", Strict + "<p><blink>x</blink></p>", "p.html", {"unknown-element blink"}},
      {"custom elements are HTML5's", Html5 + "<p><my-widget>x</my-widget>", "p.html", {}},
      {"but not HTML 4's", Strict + "<p><my-widget>x</my-widget>", "p.html", {"unknown-element my-widget"}},
      {"XHTML names keep their case", Xhtml + "<html><head><title>t</title></head><body><DIV/></body></html>",
          "p.html", {"unknown-element DIV"}},
      {"unknown attribute", Strict + "<p><a hreff=\"x\">y</a>", "p.html", {"unknown-attribute hreff"}},
      {"data- is HTML5's", Html5 + "<p data-x=\"1\" aria-label=\"l\">", "p.html", {}},
      {"and not HTML 4's", Strict + "<p data-x=\"1\">", "p.html", {"unknown-attribute data-x"}},
      {"missing alt", Strict + "<p><img src=\"a.png\"></p>", "p.html", {"missing-attribute img"}},
      {"enumeration", Loose + "<table><tr><td align=\"middle\"></table>", "p.html", {"invalid-value middle"}},
      {"HTML values are any case", Loose + "<table><tr><td align=\"CENTER\" valign=top></table>", "p.html", {}},
      {"NUMBER", Loose + "<table><tr><td colspan=\"two\"></table>", "p.html", {"invalid-value two"}},
      {"a flag may be empty", Html5 + "<input checked=\"\" hidden=\"\" type=\"checkbox\">", "p.html", {}},
      {"a flag's other values", Html5 + "<input checked=\"false\">", "p.html", {"invalid-value false"}},
      {"suggested values are not the only ones",
          Html5 + "<script type=\"text/javascript\"></script><a target=\"main\" rel=\"me\">x</a>", "p.html", {}},
      {"ID syntax in HTML 4", Strict + "<p id=\"1a\">", "p.html", {"invalid-value 1a"}},
      {"and in HTML5", Html5 + "<p id=\"1a\"><p id=\"a b\">", "p.html", {"invalid-value a b"}},
      {"duplicates", Html5 + "<p id=\"a\" class=x CLASS=y><span id=\"a\"></span>", "p.html",
          {"duplicate-attribute CLASS", "duplicate-id a"}},
      {"IDREF without its ID", Strict + "<form action=\"x\"><p><label for=\"nope\">x</label></form>", "p.html",
          {"unknown-id nope"}},
      {"stray end tag", Html5 + "<div></span></div>", "p.html", {"stray-end-tag </span>"}},
      {"unclosed in XML", Xhtml + "<html><head><title>t</title></head><body><div></body></html>", "p.html",
          {"unclosed-element div"}},
      {"omitted end tags are HTML", Strict + "<ul><li>a<li>b</ul><p>x", "p.html", {}},
      {"unterminated comment", Html5 + "<p>x<!-- y", "p.html", {"unterminated-tag <!--"}},
      {"XML attributes", Xhtml + "<html><head><title>t</title></head><body><form action=\"x\"><p><input "
          "type=checkbox checked /></p></form></body></html>", "p.html",
          {"not-well-formed checkbox", "not-well-formed checked"}},
      {"entities", Html5 + "<p title=\"&copy;&nbspx;\">&amp; &hellip; &eacutex; AT&T &#169; &apos;</p>", "p.html",
          {"undefined-entity &nbspx;", "undefined-entity &eacutex;"}},
      {"a DOCTYPE's own entities", "<!DOCTYPE t [<!ENTITY own \"x\">]>\n<t>&own;</t>", "t.xsl", {}},
      {"div in p in XHTML", Xhtml + "<html><head><title>t</title></head><body><p><div/></p></body></html>",
          "p.html", {"misplaced-element div"}},
      {"li outside a list", Strict + "<div><li>x</li></div>", "p.html", {"misplaced-element li"}},
      {"excluded by an ancestor's model", Loose + "<pre><img src=\"a\" alt=\"\"></pre>", "p.html",
          {"misplaced-element img"}},
      {"implied parents", Html5 + "<table><col><tr><td>x</td></tr></table><dl><div><dt>a<dd>b</div></dl>",
          "p.html", {}},
      {"required children", Strict + "<html><head></head><body><ul></ul><table><tr><td>x</table></body></html>",
          "p.html", {"missing-child head", "missing-child ul"}},
      {"a list a server fills", "<%@ Page %>\n<html><body><form><ul><%= Items() %></ul></form></body></html>",
          "p.aspx", {}},
      {"template islands are never judged", Html5 + "<p class=\"<?php echo $c ?>\" id=\"{{ id }}\">", "p.php",
          {}},
      {"ASP.NET", "<%@ Page Language=\"C#\" %>\n<html><body><form runat=\"server\"><asp:Label runat=\"server\" "
          "ClientIDMode=\"Sideways\" Text='<%# Eval(\"x\") %>'/></form></body></html>", "p.aspx",
          {"invalid-value Sideways"}},
      {"XSLT", test::XslHead + "<xsl:template match=\"/\"><p id=\"{generate-id()}\"><xsl:value-of selet=\"x\"/>"
          "</p></xsl:template></xsl:stylesheet>", "t.xsl", {"unknown-attribute selet"}},
      {"sheet rules", "a { colr: red; color: blue; color: blue }\n@medias print { p { margin: 0 !imporant } }\n"
          ".x {}\n@font-face { font-display: swap; colour: red }\n@page :first { margin: 1cm }\n"
          "b { -webkit-foo: 1; --x: 2; *zoom: 1; display: -webkit-box; display: flex }\nc { d: e",
          "s.css", {"unknown-property colr", "duplicate-property color", "unknown-at-rule @medias",
          "invalid-important !imporant", "empty-rule .x", "unknown-property colour",
          "unclosed-block c"}},
      {"sheets in a page", Html5 + "<style>p { colr: red }</style><p style=\"colr: red; color: blue\">", "p.html",
          {"unknown-property colr", "unknown-property colr"}},
      {"Sass is not CSS", "$x: 1px;\n@mixin m { a: b }\n", "s.scss", {}},
      {"a schema we do not have judges nothing", "<!DOCTYPE book PUBLIC \"-//OASIS//DTD DocBook XML V4.5//EN\" "
          "\"docbookx.dtd\">\n<book><title>x</title></book>", "b.xml", {"unknown-doctype book"}},
      {"nor one learned from the file", "<!DOCTYPE t [<!ENTITY a \"1\">]>\n<t><title size=\"1\"/></t>", "b.xml", {}},
      // clang-format on
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    EXPECT_EQ(Check(C.Text, C.File), C.Expected);
  }
}

TEST_F(Diagnostics, RulesAreSwitchedAndProblemsBounded) {
  TCheckRules Rules;
  EXPECT_EQ(Rules.Apply("unknown-attribute=off, missing-attribute=warning,duplicate-id=bogus,nope=off"),
            "duplicate-id=bogus, nope=off");
  EXPECT_EQ(Check(Strict + "<p><img src=\"a\" hreff=\"x\"></p>", "p.html", Rules),
            Found{"missing-attribute img"});
  EXPECT_EQ(Last.Problems.at(0).Severity, TSeverity::Warning);
  Options("[Diagnostics]\nmissing-attribute=off\n");
  EXPECT_EQ(Check(Strict + "<p><img src=\"a\"></p>", "p.html", TCheckRules::FromOptions()), Found{});

  std::string Deep = Xhtml;
  for (int I = 0; I < 100'000; ++I) Deep += "<div>";
  EXPECT_EQ(Check(Deep, "deep.xhtml", {}, 50).size(), 50u);
  EXPECT_EQ(Last.Dropped, 100'000u - 50u + 1);  // and the html never closed
}

// A page's own DTD that does not read cleanly: what its load said stands at
// the DOCTYPE, and what it declares still judges the page.
TEST_F(Diagnostics, SchemaProblemsStandAtTheDocType) {
  const fs::path Dir = fs::temp_directory_path() / ("mlinsight-dtd-" + std::to_string(::getpid()));
  fs::create_directories(Dir);
  std::ofstream(Dir / "broken.dtd") << "<!ELEMENT doc - - (item+>\n<!ELEMENT item - O (#PCDATA)>\n"
                                       "<!ATTLIST item kind (a|b) #IMPLIED>\n";
  EXPECT_EQ(Check("<!DOCTYPE doc SYSTEM \"broken.dtd\">\n<doc><item kind=\"c\">x</item></doc>",
                  (Dir / "p.html").string()),
            (Found{"schema-message doc", "invalid-value c"}));
  fs::remove_all(Dir);
}

// Pages with the errors the reference validators gave for them (onsgmls
// with the HTML 4 declaration, xmllint --valid): each error found on its
// line, with a rule of its kind, and nothing besides.
TEST_F(Diagnostics, AgreesWithTheReferenceValidators) {
  const struct {
    const char* Validator;
    std::string Text;
    Found Expected;  // "line rule", in text order
  } Cases[] = {
      {"onsgmls",
       Strict + "<html><head><title>t</title></head>\n<body>\n<p><img src=\"a.png\"><blink>x</blink></p>\n"
                "<div id=\"a\" id=\"b\"><span id=\"a\">x <a hreff=\"x\" href=\"y\">z</a></span></div>\n"
                "<table><tr><td colspan=\"two\" align=\"middle\">1</td></tr></table>\n</div>\n<ul></ul>\n"
                "</body></html>\n",
       // onsgmls: ALT missing, BLINK undefined, ID given twice in one tag and on two elements, HREFF
       // unknown, T in COLSPAN's number, MIDDLE no ALIGN value, an end tag of no open DIV, UL unfinished
       {"4 missing-attribute", "4 unknown-element", "5 duplicate-attribute", "5 duplicate-id",
        "5 unknown-attribute", "6 invalid-value", "6 invalid-value", "7 stray-end-tag", "8 missing-child"}},
      {"xmllint --valid",
       Xhtml + "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>t</title></head>\n<body>\n"
               "<p><img src=\"a.png\" /><blink>x</blink></p>\n"
               "<div id=\"a\"><span id=\"a\">x <a hreff=\"x\" href=\"y\">z</a></span></div>\n"
               "<p dir=\"sideways\">x<div>y</div></p>\n<ul></ul>\n</body></html>\n",
       // Element img does not carry attribute alt; No declaration for element blink; ID a already
       // defined; No declaration for attribute hreff of element a; Value "sideways" for attribute dir
       // of p is not among the enumerated set; Element div is not declared in p list of possible
       // children; Element ul content does not follow the DTD, expecting (li)+
       {"4 missing-attribute", "4 unknown-element", "5 duplicate-id", "5 unknown-attribute",
        "6 invalid-value", "6 misplaced-element", "7 missing-child"}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Validator);
    Check(C.Text, "page.html");
    Found Lines;
    for (const auto& D : Last.Problems) {
      const std::string Before = C.Text.substr(0, D.Start);
      Lines.push_back(std::to_string(std::count(Before.begin(), Before.end(), '\n') + 1) + " " + D.Rule);
    }
    EXPECT_EQ(Lines, C.Expected);
  }
}

// Pages and style sheets their validators accept (xmllint --valid for the
// XHTML ones), read in place from the packages that install them.
TEST_F(Diagnostics, NoFalseAlarmOnValidDocuments) {
  const struct {
    const char* Folder;
    const char* Extension;
    size_t AtLeast;
  } Corpora[] = {
      {"/usr/share/doc/libxslt1-dev/html", ".html", 30},
      {"/usr/share/xml/docbook/stylesheet/docbook-xsl/html", ".xsl", 50},
      {"/usr/share/xml/docbook/stylesheet/docbook-xsl/fo", ".xsl", 50},
      {"/usr/share/javascript/bootstrap4/css", ".css", 6},
  };
  for (const auto& C : Corpora) {
    size_t Checked = 0;
    for (const auto& E : fs::directory_iterator(C.Folder)) {
      const std::string Path = E.path().string();
      if (E.path().extension() != C.Extension) continue;
      std::ifstream In(Path, std::ios::binary);
      std::stringstream Text;
      Text << In.rdbuf();
      // XHTML pages only (the HTML 4 ones hold real errors); XSLT 1.1's
      // xsl:document is no element of XSLT 1.0 to 3.0.
      if (C.Extension == std::string(".html") && Text.str().find("XHTML 1.0") == std::string::npos) continue;
      if (Path.ends_with("oldchunker.xsl")) continue;
      SCOPED_TRACE(Path);
      std::string Marked = Text.str();
      std::replace(Marked.begin(), Marked.end(), '|', '!');  // the caret marker
      EXPECT_EQ(Check(Marked, Path), Found{});
      ++Checked;
    }
    EXPECT_GE(Checked, C.AtLeast) << C.Folder;
  }
}

}  // namespace
}  // namespace kel
