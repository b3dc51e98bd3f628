// Pages of today: <!DOCTYPE html>, and pages without a DOCTYPE, get the HTML
// of the living standard; every list is read off the page's own schema.
#include <gtest/gtest.h>

#include <algorithm>

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
