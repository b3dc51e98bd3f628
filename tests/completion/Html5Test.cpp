// Pages of today: <!DOCTYPE html>, and pages without a DOCTYPE, get the HTML
// of the living standard; every list is read off the page's own schema.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "symbols/MLSymbolManager.h"
#include "tests/completion/CompletionTestSupport.h"

namespace kel {
namespace {

using test::TRun;
using Names = std::vector<std::string>;

const std::string H5 = "<!DOCTYPE html>\n";

class Html5 : public test::TCompletionTest {
 protected:
  Names List(const std::string& Marked, const std::string& File = "page.html", char Typed = 0) {
    if (!Run({Marked, File, Typed, "", "", 0})) return {};
    Names R;
    for (const auto& I : Cycle.Items()) R.push_back(I.Shown());
    Cycle.Key(27);
    return R;
  }
  static bool In(const Names& L, const std::string& S) { return std::find(L.begin(), L.end(), S) != L.end(); }
};

TEST_F(Html5, ListsOfTheLivingStandard) {
  const struct {
    const char* Name;
    std::string Marked;
    Names Present, Absent;
  } Cases[] = {
      {"body",
       H5 + "<html><body>|",
       {"main", "section", "article", "nav", "video", "template", "search", "dialog"},
       {"font", "center", "frame"}},
      {"no DOCTYPE is HTML too", "<body>|", {"main", "picture"}, {"font"}},
      {"about:legacy-compat", "<!DOCTYPE html SYSTEM \"about:legacy-compat\">\n<body>|", {"section"}, {}},
      {"section", H5 + "<body><section>|", {"h1", "p", "figure", "</section>"}, {"li", "td"}},
      {"ul", H5 + "<body><ul>|", {"li", "template", "</ul>"}, {"p", "div"}},
      {"table", H5 + "<body><table>|", {"caption", "thead", "tbody", "tr"}, {"td", "div"}},
      {"picture", H5 + "<body><picture>|", {"source", "img"}, {"p"}},
      {"select", H5 + "<body><select>|", {"option", "optgroup"}, {"p"}},
      {"details", H5 + "<body><details>|", {"summary", "p"}, {}},
      {"p holds no p", H5 + "<body><p>x\n|", {"em", "span", "</p>"}, {"p", "div", "ul"}},
      {"attributes of input",
       H5 + "<body><input |",
       {"placeholder", "required", "autocomplete", "pattern", "aria-label", "role", "inputmode", "onclick"},
       {}},
      {"attributes of video",
       H5 + "<body><video |",
       {"controls", "poster", "playsinline", "autoplay"},
       {"href"}},
      {"attributes of a", H5 + "<body><a |", {"href", "download", "target", "rel", "referrerpolicy"}, {}},
      {"input types",
       H5 + "<body><input type=|",
       {"email", "date", "datetime-local", "range", "color", "search", "tel", "url", "number"},
       {}},
      {"autocomplete tokens",
       H5 + "<body><input autocomplete=|",
       {"email", "current-password", "one-time-code"},
       {}},
      {"roles", H5 + "<body><div role=|", {"navigation", "button", "dialog", "tablist"}, {}},
      {"loading", H5 + "<body><img loading=|", {"lazy", "eager"}, {}},
      {"target keywords", H5 + "<body><a target=|", {"_blank", "_self", "_parent", "_top"}, {}},
      {"meta names", H5 + "<head><meta name=|", {"viewport", "description", "theme-color"}, {}},
      {"script types", H5 + "<head><script type=|", {"module", "importmap"}, {}},
      {"svg and math are phrasing", H5 + "<body><p>|", {"svg", "math"}, {}},
      {"svg children, in their own case",
       H5 + "<body><svg>|",
       {"g", "circle", "path", "foreignObject", "linearGradient", "a"},
       {"div", "mrow"}},
      {"attributes of an svg shape", H5 + "<body><svg><circle |", {"cx", "r", "fill", "transform"}, {"href"}},
      {"math children: MathML Core, as browsers render it",
       H5 + "<body><math>|",
       {"mrow", "mi", "mfrac", "msqrt"},
       {"div", "circle", "abs", "and", "apply", "ci"}},
      {"content MathML nowhere", H5 + "<body><math><mrow>|", {"mi", "mo"}, {"apply", "plus"}},
      {"a flag's one value is its name", H5 + "<body><input checked=|", {"checked"}, {"true", "false"}},
      {"form encodings", H5 + "<body><form enctype=|", {"multipart/form-data", "text/plain"}, {}},
      {"sandbox tokens", H5 + "<body><iframe sandbox=|", {"allow-scripts", "allow-same-origin"}, {}},
      {"capture", H5 + "<body><input capture=|", {"user", "environment"}, {}},
      {"values told apart by case", H5 + "<body><ol type=|", {"a", "A", "i", "I"}, {}},
      {"an unknown element takes the global attributes, not its parent's",
       H5 + "<body><form><blink |",
       {"class", "hidden"},
       {"action", "method"}},
      {"a custom element at the top of a page", H5 + "<my-el |", {"class", "slot", "data-"}, {}},
      {"a custom element's written attributes",
       H5 + "<body><my-el class=\"x\" |",
       {"data-", "id"},
       {"class"}},
      {"inline svg takes ARIA", H5 + "<body><svg |", {"role", "aria-label", "viewBox"}, {}},
      {"what SVG 2 dropped",
       H5 + "<body><svg>|",
       {"circle", "animate"},
       {"altGlyphDef", "animateColor", "font"}},
      {"attributes of a custom element",
       H5 + "<body><my-widget |",
       {"class", "hidden", "aria-label", "slot"},
       {"href"}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    const Names L = List(C.Marked);
    for (const auto& P : C.Present) EXPECT_TRUE(In(L, P)) << P;
    for (const auto& A : C.Absent) EXPECT_FALSE(In(L, A)) << A;
  }
  EXPECT_EQ(List(H5 + "<body><input type=|").size(), 22u) << "the 22 input types";
  EXPECT_EQ(List(H5 + "<body><ol type=|").size(), 5u) << "1 a A i I";
  EXPECT_TRUE(Test.Host().Messages().empty()) << Test.Host().Messages()[0].Text;
}

TEST_F(Html5, TheNamedCharacterReferences) {
  ASSERT_TRUE(Run({H5 + "<body><p>|", "page.html", '&', "", "", 0}));
  auto& Chars = MLSymbolManager().GetCharList();
  Chars.SetFilter("");
  EXPECT_EQ(Chars.GetCount(), 2125);
  for (const auto& [Name, Code] : {std::pair<const char*, int32_t>{"nbsp", 160},
                                   {"lt", 60},
                                   {"amp", 38},
                                   {"hellip", 0x2026},
                                   {"NotNestedLessLess", 0x2AA1}}) {
    const int32_t I = Chars.FindIndex(Name);
    ASSERT_GE(I, 0) << Name;
    EXPECT_EQ(Chars.GetAsciiVal(I), Code) << Name;
  }
}

TEST_F(Html5, AcceptingWritesFlagsBareAndOtherAttributesWithAValue) {
  const struct {
    const char* Name;
    TRun R;
    std::string Expected;
  } Cases[] = {
      {"a boolean attribute",
       {H5 + "<body><input autof|", "page.html", 0, "", "autofocus"},
       H5 + "<body><input autofocus|"},
      {"aria-hidden takes a value",
       {H5 + "<body><div aria-hi|", "page.html", 0, "", "aria-hidden"},
       H5 + "<body><div aria-hidden=\"|\""},
      {"a void element closed by >",
       {H5 + "<body><p><im|", "page.html", 0, "", "img", '>'},
       H5 + "<body><p><img>|"},
      {"custom element attribute",
       {H5 + "<body><my-widget cl|", "page.html", 0, "", "class"},
       H5 + "<body><my-widget class=\"|\""},
      {"data- waits for the rest of the name",
       {H5 + "<body><p dat|", "page.html", 0, "", "data-"},
       H5 + "<body><p data-|"},
      {"an upper-case value among its lower-case twin",
       {H5 + "<body><ol type=|", "page.html", 0, "", "I"},
       H5 + "<body><ol type=\"I\"|"},
      {"an element with content",
       {H5 + "<body><sec|", "page.html", 0, "", "section", '>'},
       H5 + "<body><section>|</section>"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    Run(C.R);
    EXPECT_EQ(Result(), C.Expected);
  }
}

// Every DOCTYPE a page may carry loads its schema without a Failure or an
// Error, and gives that schema's lists.
TEST_F(Html5, EachDoctypeLoadsItsOwnSchema) {
  // file; root, public and system identifier (none: no DOCTYPE); the text
  // after it, the caret at '|'; the schema; names offered; names not offered.
  const char* const Table = R"(
p.xhtml; html; -//W3C//DTD XHTML 1.1//EN; http://www.w3.org/TR/xhtml11/DTD/xhtml11.dtd; <html><body><div>|; xhtml11.dtd; ruby p table ins; section font iframe
p.xhtml; html; -//W3C//DTD XHTML Basic 1.0//EN; http://www.w3.org/TR/xhtml-basic/xhtml-basic10.dtd; <html><body>|; xhtml-basic10.dtd; p table form; ruby section
p.xhtml; html; -//W3C//DTD XHTML Basic 1.1//EN; http://www.w3.org/TR/xhtml-basic/xhtml-basic11.dtd; <html><body><input |; xhtml-basic11.dtd; inputmode name type; placeholder
p.xhtml; html; -//W3C//DTD XHTML+RDFa 1.0//EN; http://www.w3.org/MarkUp/DTD/xhtml-rdfa-1.dtd; <html><body><div |; xhtml-rdfa-1.dtd; about property typeof class;
p.xhtml; html; -//W3C//DTD XHTML+RDFa 1.1//EN; http://www.w3.org/MarkUp/DTD/xhtml-rdfa-2.dtd; <html><body><span |; xhtml-rdfa-1.dtd; property;
p.xhtml; html; -//W3C//DTD XHTML 1.1 plus MathML 2.0//EN; http://www.w3.org/Math/DTD/mathml2/xhtml-math11-f.dtd; <html><body><p>|; xhtml-math11-f.dtd; math em;
p.xhtml; html; -//W3C//DTD XHTML 1.1 plus MathML 2.0 plus SVG 1.1//EN; http://www.w3.org/2002/04/xhtml-math-svg/xhtml-math-svg.dtd; <html><body><p>|; xhtml-math-svg.dtd; math svg:svg em;
d.svg; svg; -//W3C//DTD SVG 20010904//EN; http://www.w3.org/TR/2001/REC-SVG-20010904/DTD/svg10.dtd; <svg><g>|; svg10.dtd; circle path text; div
d.svg; svg; -//W3C//DTD SVG 1.1//EN; http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd; <svg><g>|; svg11.dtd; circle foreignObject linearGradient; div
d.svg; svg; -//W3C//DTD SVG 1.1 Basic//EN; http://www.w3.org/Graphics/SVG/1.1/DTD/svg11-basic.dtd; <svg>|; svg11-basic.dtd; circle text; div
d.svg; svg; -//W3C//DTD SVG 1.1 Tiny//EN; http://www.w3.org/Graphics/SVG/1.1/DTD/svg11-tiny.dtd; <svg>|; svg11-tiny.dtd; circle text; filter div
d.svg; ; ; ; <svg>|; svg11.dtd; circle foreignObject; div
f.xhtml; math; -//W3C//DTD MathML 2.0//EN; http://www.w3.org/Math/DTD/mathml2/mathml2.dtd; <math><mrow>|; mathml2.dtd; mi mfrac apply; div
f.xhtml; math; -//W3C//DTD MathML 3.0//EN; http://www.w3.org/Math/DTD/mathml3/mathml3.dtd; <math><mrow>|; mathml3.dtd; mi mfrac mlongdiv; div
deck.wml; wml; -//WAPFORUM//DTD WML 1.1//EN; http://www.wapforum.org/DTD/wml_1.1.xml; <wml>|; wml12.dtd; card template; p
deck.wml; wml; -//WAPFORUM//DTD WML 1.3//EN; http://www.wapforum.org/DTD/wml13.dtd; <wml>|; wml12.dtd; card template; p
p.html; HTML; -//W3C//DTD HTML 4.0//EN; ; <BODY>|; strict.dtd; DIV INS; FONT SECTION
)";
  const auto Split = [](const std::string& Line, char By) {
    Names Out;
    std::istringstream In(Line);
    for (std::string Piece; std::getline(In, Piece, By);)
      Out.push_back(Piece.substr(
          Piece.find_first_not_of(' ') == std::string::npos ? Piece.size() : Piece.find_first_not_of(' ')));
    return Out;
  };
  for (const std::string& Row : Split(Table, '\n')) {
    if (Row.empty()) continue;
    SCOPED_TRACE(Row);
    Names F = Split(Row, ';');
    F.resize(8);
    std::string Marked = F[4];
    if (!F[1].empty()) {
      const std::string Ids = F[3].empty() ? "\"" + F[2] + "\"" : "\"" + F[2] + "\" \"" + F[3] + "\"";
      Marked = (F[0] == "p.html" ? "" : "<?xml version=\"1.0\"?>\n") +
               ("<!DOCTYPE " + F[1] + " PUBLIC " + Ids + ">\n") + Marked;
    }
    Test.Host().ClearToolMessages();
    const Names L = List(Marked, F[0]);
    EXPECT_EQ(std::filesystem::path(MLSymbolManager().GetSchemaFile()).filename(), F[5]);
    for (const auto& P : Split(F[6], ' ')) EXPECT_TRUE(P.empty() || In(L, P)) << P;
    for (const auto& A : Split(F[7], ' ')) EXPECT_FALSE(!A.empty() && In(L, A)) << A;
    for (const auto& M : Test.Host().Messages())
      EXPECT_TRUE(M.Prefix != "Failure" && M.Prefix != "Error" && M.Prefix != "Hint")
          << M.Prefix << ": " << M.Text;
  }
}

TEST_F(Html5, DoctypesChooseOrKeepTheirSchema) {
  // A legacy page keeps HTML 4.01 where the options say so.
  Options("[Code Insight]\nDefault Schema=loose.dtd\n");
  EXPECT_TRUE(In(List("<body>|"), "font"));
  Options("");
  EXPECT_FALSE(In(List("<body>|"), "font"));
  // An XSL file's DOCTYPE declares entities; the XSL schema stays.
  const std::string Xsl =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE xsl:stylesheet [ <!ENTITY nbsp \"&#160;\"> ]>\n"
      "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">\n|";
  EXPECT_TRUE(In(List(Xsl, "t.xsl"), "xsl:template"));
  // An XSL style sheet's templates write what its xsl:output names.
  const std::string Sheet =
      "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">\n";
  const struct {
    std::string Output;
    const char* Present;
    const char* Absent;
  } Outputs[] = {
      {"", "font", "section"},
      {"<xsl:output method=\"html\" version=\"5.0\"/>", "section", "font"},
      {"<xsl:output method=\"html\" doctype-system=\"about:legacy-compat\"/>", "video", "center"},
      {"<xsl:output method=\"xml\" doctype-public=\"-//W3C//DTD XHTML 1.0 Strict//EN\"/>", "div", "font"},
      {"<xsl:output method=\"xhtml\" version=\"5.0\"/>", "main", "font"},
  };
  for (const auto& O : Outputs) {
    const Names L = List(Sheet + O.Output + "\n<xsl:template match=\"/\"><body>\n<|", "t.xsl");
    EXPECT_TRUE(In(L, O.Present)) << O.Output;
    EXPECT_FALSE(In(L, O.Absent)) << O.Output;
  }
  // An identifier without a schema: today's HTML, and one hint.
  const std::string Unknown = "<!DOCTYPE html PUBLIC \"-//Example//DTD Nothing//EN\">\n<body>|";
  EXPECT_TRUE(In(List(Unknown), "section"));
  EXPECT_TRUE(In(List(Unknown), "section"));
  size_t Hints = 0;
  for (const auto& M : Test.Host().Messages()) Hints += M.Prefix == "Hint" ? 1 : 0;
  EXPECT_EQ(Hints, 1u);
}

}  // namespace
}  // namespace kel
