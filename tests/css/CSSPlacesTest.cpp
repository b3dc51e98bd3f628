// Style-sheet completion at every place people type in today's CSS: values
// half typed, selectors, at-rules, nested and conditional blocks, functions.
// Each case is the whole resulting text with its caret.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

#include "css/CSSCodCmplt.h"
#include "host/CompletionCycle.h"
#include "tests/css/SheetTestSupport.h"
#include "tests/support/Annotated.h"
#include "tests/support/TestHost.h"

namespace kel {
namespace {

using Names = std::vector<std::string>;

class SheetPlaces : public test::TSheetTest {};

TEST_F(SheetPlaces, EachPlaceListsItsOwnNames) {
  const struct {
    const char* Name;
    std::string Marked;
    std::string Place;
    Names Present, Absent;
  } Cases[] = {
      {"half-typed value", "a { color: r| }", "value", {"red"}, {"blue", "color"}},
      {"second value of a shorthand", "a { border: 1px s| }", "value", {"solid"}, {"dotted"}},
      {"after a comma", "a { font-family: Arial, s| }", "value", {"serif", "sans-serif"}, {}},
      {"minified", "b{color:r|}", "value", {"red"}, {}},
      {"at the end of the file", "a { color: r|", "value", {"red"}, {}},
      {"after a negative value", "a { margin: 0 -15px; co| }", "property", {"color"}, {"margin"}},
      {"element at a selector start", "ul |", "element", {"li", "div"}, {"color"}},
      {"element after a class", ".nav li|", "element", {"li", "link"}, {"line-height"}},
      // The names css.xml has from the specifications.
      {"pseudo-class", "a:ho|", "pseudo-class", {"hover"}, {"color"}},
      {"a newer pseudo-class", "input:user-|", "pseudo-class", {"user-invalid", "user-valid"}, {}},
      {"pseudo-element", "p::be|", "pseudo-element", {"before"}, {"hover"}},
      {"a newer pseudo-element", "li::scroll-|", "pseudo-element", {"scroll-marker"}, {}},
      {"at-rule", "@me|", "at-rule", {"media"}, {}},
      {"a newer at-rule", "@pos|", "at-rule", {"position-try"}, {"-webkit-keyframes"}},
      {"media feature", "@media (prefers-|", "media", {"prefers-color-scheme", "prefers-reduced-data"}, {}},
      {"range media feature", "@media (min-|", "media", {"min-width", "min-resolution"}, {}},
      {"a media feature's keywords", "@media (prefers-reduced-motion: |", "media-value", {"no-preference", "reduce"},
       {"prefers-color-scheme"}},
      {"container features", "@container (|", "media", {"inline-size", "block-size", "style()"}, {"prefers-color-scheme"}},
      {"@supports asks about properties", "@supports (dis|", "property", {"display"}, {"display-mode"}},
      {"and their values", "@supports (display: |", "value", {"grid", "flex"}, {"display"}},
      {"at-rules of the top", "@|", "at-rule", {"media", "font-face"}, {"top-left", "swash", "apply"}},
      {"@page's margin boxes", "@page { @|", "at-rule", {"top-left", "bottom-center"}, {"media"}},
      {"counter styles", "a { list-style-type: |", "value", {"disc", "circle", "square", "decimal", "lower-roman"}, {}},
      {"a path in url(", "a { background: url(im| }", "url", {"uri..."}, {}},
      {"a number is no keyword", "a { glyph-orientation-vertical: |", "value", {"auto"}, {"deg"}},
      // Only valid inside generic(), as the whole value, or where numbers go.
      {"font families after a comma", "a { font-family: Arial, |", "value", {"serif", "generic()"},
       {"kai", "fangsong", "inherit", "initial", "calc()", "min()", "family-name..."}},
      {"a CSS-wide keyword as the whole value", "a { font-family: |", "value", {"inherit"}, {"calc()"}},
      {"math where lengths go", "a { width: |", "value", {"calc()", "min()", "inherit"}, {}},
      {"in @media", "@media screen { a { co| } }", "property", {"color"}, {}},
      {"in @supports", "@supports (display: grid) { a { dis| } }", "property", {"display"}, {}},
      {"in @layer", "@layer base { a { co| } }", "property", {"color"}, {}},
      {"in @container", "@container (min-width: 4em) { a { co| } }", "property", {"color"}, {}},
      {"a keyframe selector", "@keyframes spin { f| }", "keyframe", {"from"}, {}},
      {"in a keyframe", "@keyframes spin { from { tra| } }", "property", {"transform"}, {}},
      {"in @font-face", "@font-face { font-fam| }", "property", {"font-family"}, {}},
      {"nested with &", "a { &:hover { co| } }", "property", {"color"}, {}},
      {"value in a nested rule", ".a { b { color: | } }", "value", {"red"}, {"color"}},
      {"nested selector", ".a { &:fo| }", "pseudo-class", {"focus"}, {}},
      {"nested element selector", ".a { li:fo| }", "pseudo-class", {"focus"}, {}},
      {"a legacy name takes its standard's values", "a { word-wrap: | }", "value", {"break-word"}, {"hover"}},
      {"prefixed names once - is typed", "a { -webkit-app| }", "property", {"-webkit-appearance"}, {}},
      {"custom properties in var()",
       ":root { --brand: red; --gap: 1px } a { color: var(|) }",
       "value",
       {"--brand", "--gap"},
       {"red"}},
      {"custom properties declared further on", "a { color: var(|) } :root { --later: 1px }", "value",
       {"--later"}, {}},
      {"custom properties at any value", ":root { --brand: red } a { color: | }", "value", {"var(--brand)", "red"},
       {}},
      {"after !", "a { color: red !imp| }", "important", {"important"}, {}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    ASSERT_TRUE(Open(C.Marked));
    EXPECT_EQ(Manager->PlaceName(), C.Place);
    for (const auto& P : C.Present) EXPECT_TRUE(Has(P)) << P;
    for (const auto& A : C.Absent) EXPECT_FALSE(Has(A)) << A;
  }
}

TEST_F(SheetPlaces, NoListWhereNothingIsWritten) {
  for (const std::string Marked :
       {"a { content: \"co| }", "/* a { co| */", ".na|", "#ma|",
        // After a property we do not list come values, never pseudo-classes.
        "a { -moz-user-focus:| }", "a { colr:| }"}) {
    EXPECT_FALSE(Open(Marked)) << Marked;
    EXPECT_EQ(Result(), Marked) << "nothing written";
  }
}

TEST_F(SheetPlaces, AcceptingWritesTheEntryAndItsTerminator) {
  const struct {
    const char* Name;
    std::string Marked, Filter, Accept;
    char Key;
    std::string Expected;
  } Cases[] = {
      {"half-typed value", "a { color: r| }", "", "red", '\r', "a { color: red;| }"},
      {"a function puts the caret inside", "a { color: r| }", "", "rgb()", '\r', "a { color: rgb(|) }"},
      {"no ; inside a function", "a { color: rgb(0 0 0 / var(--a|)) }", "", "", '\r',
       "a { color: rgb(0 0 0 / var(--a|)) }"},
      {"a word under the caret is replaced", "a { co|lor: red }", "", "color", '\r', "a { color|: red }"},
      {"an existing value is not doubled", "a { cursor: |pointer; }", "", "pointer", '\r',
       "a { cursor: pointer|; }"},
      {"no ; before the rest of the declaration", "a { display: fl| !important; }", "", "flex", '\r',
       "a { display: flex| !important; }"},
      {"no ; in a condition", "@supports (display: fl|", "", "flex", '\r', "@supports (display: flex|"},
      {"a function in front of its arguments", "a { transform: sca|(2) }", "", "scale()", '\r',
       "a { transform: scale(|2) }"},
      {"a function name half typed", "a { color: r|gb(0 0 0) }", "", "rgb()", '\r', "a { color: rgb(|0 0 0) }"},
      {"a shorthand's keyword is seldom its last value", "a { border: 1px so| }", "", "solid", '\r',
       "a { border: 1px solid| }"},
      {"element in a selector", ".nav l|", "", "li", '\r', ".nav li|"},
      {"pseudo-class", "a:ho|", "", "hover", '\r', "a:hover|"},
      {"; after digits stays typed", "a { margin: 10px| }", "", "", ';', "a { margin: 10px;| }"},
      {"# keeps typing", "a { color: |", "#fff", "", ';', "a { color: #fff;|"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    Open(C.Marked);
    for (const char K : C.Filter) Cycle.Key(K);
    if (!C.Accept.empty()) {
      ASSERT_TRUE(Cycle.SelectText(C.Accept));
    }
    if (Cycle.IsOpen())
      Cycle.Key(C.Key);
    else if (C.Key == ';')
      View->InsertText(";", false);
    EXPECT_EQ(Result(), C.Expected);
  }
}

// On real sheets: inside a selector or at a value the list is never the
// property list, and whatever is accepted goes in at the caret.
TEST_F(SheetPlaces, RealSheetsNeverGetPropertiesInSelectorsOrValues) {
  std::ifstream In("/usr/share/javascript/bootstrap4/css/bootstrap.css", std::ios::binary);
  std::ostringstream S;
  S << In.rdbuf();
  const std::string Sheet = S.str();
  ASSERT_FALSE(Sheet.empty()) << "installed by scripts/install-deps.sh";
  std::mt19937 Random(9);
  int Checked = 0;
  for (int Round = 0; Round < 300; ++Round) {
    const size_t Caret = Random() % Sheet.size();
    std::string Marked = Sheet;
    Marked.insert(Caret, "\x01");
    if (Cycle.IsOpen()) Cycle.Key(27);
    View = Test.OpenView(Marked, "site.css", '\x01');
    if (!Cycle.Type(0)) continue;
    // Where the caret really is: the last '{' or '}' or ';' before it.
    const size_t Mark = Sheet.find_last_of("{};", Caret == 0 ? 0 : Caret - 1);
    const bool InBlock = Mark != std::string::npos && Sheet[Mark] != '}';
    const std::string Tail = Sheet.substr(Mark == std::string::npos ? 0 : Mark + 1, Caret - (Mark + 1));
    const bool InValue = InBlock && Tail.find(':') != std::string::npos;
    if (!InBlock || InValue) {
      EXPECT_NE(Manager->PlaceName(), std::string("property")) << Tail;
    }
    ++Checked;
    Cycle.Key('\r');
    const std::string& Now = View->Text();
    const size_t Line = Sheet.rfind('\n', Caret == 0 ? 0 : Caret - 1);
    const size_t Before = Line == std::string::npos ? 0 : Line;
    ASSERT_EQ(Now.compare(0, Before, Sheet, 0, Before), 0) << "caret " << Caret;
    const size_t After = Sheet.find('\n', Caret);
    if (After != std::string::npos) {
      ASSERT_EQ(Now.compare(Now.size() - (Sheet.size() - After), Sheet.size() - After, Sheet, After), 0);
    }
  }
  EXPECT_GT(Checked, 100);
}

}  // namespace
}  // namespace kel
