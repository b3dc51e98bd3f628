// The style-sheet manager driven through our host as an editor drives it,
// with the css.xml of the build; every result is the whole text with its caret.
#include <gtest/gtest.h>

#include <algorithm>

#include "css/CSSCodCmplt.h"
#include "host/CompletionCycle.h"
#include "tests/css/SheetTestSupport.h"
#include "tests/support/Annotated.h"
#include "tests/support/TestHost.h"

namespace kel {
namespace {

using Names = std::vector<std::string>;

class Sheet : public test::TSheetTest {
 protected:
  // Types Typed (0: explicit), then Filter, selects Accept (if any) and closes with Key (0: stays open).
  bool Run(const std::string& Marked, char Typed = 0, const std::string& Filter = "",
           const std::string& Accept = "", char Key = '\r') {
    if (!Open(Marked, Typed)) return false;
    for (const char C : Filter) Cycle.Key(C);
    if (!Accept.empty() && !Cycle.SelectText(Accept)) return false;
    if (Key && Cycle.IsOpen()) Cycle.Key(Key);
    return true;
  }
};

TEST_F(Sheet, PropertyAndValueListsAtTheCaret) {
  ASSERT_TRUE(Run("a { co|", 0, "", "", 0));
  EXPECT_TRUE(Has("color"));
  EXPECT_TRUE(Has("column-count"));
  EXPECT_FALSE(Has("margin"));
  EXPECT_EQ(Cycle.Items()[0].Class, "property");
  ASSERT_TRUE(Run("a { display: |", 0, "", "", 0));
  for (const char* V : {"block", "inline", "flex", "grid", "none"}) EXPECT_TRUE(Has(V)) << V;
  EXPECT_EQ(Cycle.Items()[0].Class, "value");
  ASSERT_TRUE(Run("a { width: |", 0, "", "", 0));
  EXPECT_TRUE(Has("length..."));
  EXPECT_TRUE(Has("percentage..."));
  EXPECT_FALSE(Run("a { no-such-property: |", 0, "", "", 0)) << "an unknown property gives an empty list";
  ASSERT_TRUE(Run("a { color: red } |", 0, "", "", 0)) << "a selector between rules";
  EXPECT_TRUE(Has("div"));
  EXPECT_FALSE(Has("color"));
  EXPECT_FALSE(Run("a { /* co| */ }", 0, "", "", 0)) << "comments open nothing";
  ASSERT_TRUE(Run(std::string("a { color: red;\0\0 co|", 21), 0, "", "", 0)) << "a NUL reads as a blank";
  EXPECT_TRUE(Has("color"));
  // Values half typed: units after a number, nothing inside a hex colour or
  // after a decimal point.
  ASSERT_TRUE(Run("a { margin: 1|", 0, "", "", 0));
  EXPECT_EQ(Cycle.Items()[0].Text, "1px") << "in the schema's order";
  EXPECT_TRUE(Has("1%"));
  EXPECT_TRUE(Has("1rem"));
  EXPECT_FALSE(Has("1s"));
  ASSERT_TRUE(Run("a { font-weight: 1|", 0, "", "", 0));
  EXPECT_TRUE(Has("100")) << "keywords that are numbers";
  EXPECT_FALSE(Run("a { color: #f|", 0, "", "", 0));
  EXPECT_FALSE(Run("a { line-height: 1.|", 0, "", "", 0));
  EXPECT_FALSE(Run("a { z-index: 1|", 0, "", "", 0)) << "no unit, no number keyword";
  EXPECT_FALSE(Run("a { width: " + std::string(100'000, '1') + "p|", 0, "", "", 0))
      << "a pasted run of digits";
  // At-rule blocks of descriptors offer theirs, and only there.
  ASSERT_TRUE(Run("@font-face { font-d|", 0, "", "", 0));
  EXPECT_TRUE(Has("font-display"));
  ASSERT_TRUE(Run("@font-face { font-display: |", 0, "", "", 0));
  EXPECT_TRUE(Has("swap"));
  EXPECT_FALSE(Has("inherit")) << "descriptors take no CSS-wide keyword";
  ASSERT_TRUE(Run("@counter-style thumbs { system: |", 0, "", "", 0));
  EXPECT_TRUE(Has("cyclic"));
  ASSERT_TRUE(Run("@page { |", 0, "", "", 0));
  EXPECT_TRUE(Has("size"));
  EXPECT_TRUE(Has("margin")) << "and page properties";
  EXPECT_FALSE(Run("a { font-disp|", 0, "", "", 0));
  ASSERT_TRUE(Run("a { color: rgb(|", 0, "", "", 0));
  EXPECT_FALSE(Has("red")) << "channels are numbers";
  EXPECT_TRUE(Has("var()"));
  ASSERT_TRUE(Run("a { background: linear-gradient(to right, r|", 0, "", "", 0));
  EXPECT_TRUE(Has("red")) << "a gradient takes colours";
  // Custom properties are gathered once each in one pass: 60,000 of them took seconds.
  std::string Customs = ":root {";
  for (int I = 0; I < 60'000; ++I) Customs += "--v" + std::to_string(I % 50'000) + ": 1px;";
  ASSERT_TRUE(Run(Customs + "} a { width: var(|", 0, "", "", 0));
  EXPECT_EQ(Cycle.Items().size(), 50'000u);
}

struct TAcceptCase {
  const char* Name;
  const char* Marked;
  char Typed;
  const char* Filter;
  const char* Accept;
  char Key;
  const char* Expected;
};

TEST_F(Sheet, AcceptingWritesTheTextAndItsTerminator) {
  const TAcceptCase Cases[] = {
      {"property", "a { co|", 0, "", "color", '\r', "a { color:|"},
      {"property before a colon", "a { co| : red }", 0, "", "color", '\r', "a { color| : red }"},
      {"value", "a { color: r|", 0, "", "red", '\r', "a { color: red;|"},
      {"value before a semicolon", "a { color: r|; }", 0, "", "red", '\r', "a { color: red|; }"},
      {"a prefix with - and digits", "a { font-weight: 10|", 0, "", "100", '\r', "a { font-weight: 100;|"},
      {"a prefix with -", "a { font-we|", 0, "", "font-weight", '\r', "a { font-weight:|"},
      {"filter typed with the list open", "a { |", 0, "disp", "", '\r', "a { display:|"},
      {"; closes and accepts", "a { display: bl|", 0, "", "", ';', "a { display: block;|"},
      {"escape cancels", "a { display: bl|", 0, "o", "", 27, "a { display: blo|"},
      {"after a typed colon", "a { display|", ':', "", "block", '\r', "a { display:block;|"},
      {"a unit after a number", "a { width: 10p|", 0, "", "10px", '\r', "a { width: 10px;|"},
      {"a unit after a decimal", "a { margin: 0.5|", 0, "", "5em", '\r', "a { margin: 0.5em;|"},
      {"a time unit", "a { transition: all 0.3|", 0, "", "3s", '\r', "a { transition: all 0.3s;|"},
  };
  for (const auto& C : Cases) {
    ASSERT_TRUE(Run(C.Marked, C.Typed, C.Filter, C.Accept, C.Key)) << C.Name;
    EXPECT_EQ(Result(), C.Expected) << C.Name;
  }
}

struct TEditorCase {
  const char* Name;
  const char* Marked;
  const char* Entry;
  bool Confirmed;
  const char* Answer;
  const char* Expected;
};

TEST_F(Sheet, ValueEditorsAnswerThroughTheHostsDialogs) {
  const TEditorCase Cases[] = {
      {"length", "a { width: |", "length...", true, "3,em", "a { width: 3em;|"},
      {"length with the first unit", "a { width: |", "length...", true, "12", "a { width: 12px;|"},
      {"percentage", "a { width: |", "percentage...", true, "0", "a { width: 0%;|"},
      {"unit cancelled", "a { width: |", "length...", false, "", "a { width: |"},
      {"colour", "a { color: |", "color...", true, "#FF0000", "a { color: #FF0000;|"},
      {"colour cancelled", "a { color: |", "color...", false, "", "a { color: |"},
      {"drive-letter path", "a { background: |", "uri...", true, "C:\\site\\a.png",
       "a { background: url(file:///C:\\site\\a.png);|"},
      {"UNC path", "a { background: |", "uri...", true, "\\\\server\\a.png",
       "a { background: url(\\\\server\\a.png);|"},
      {"POSIX path", "a { background: |", "uri...", true, "/srv/a.png", "a { background: url(/srv/a.png);|"},
      {"file dialog cancelled", "a { background: |", "uri...", false, "", "a { background: |"},
  };
  for (const auto& C : Cases) {
    auto& D = Test.Dialogs();
    D.UnitAnswers.assign(1, {C.Confirmed, C.Answer});
    D.ColorAnswers.assign(1, {C.Confirmed, C.Answer});
    D.FileAnswers.assign(1, {C.Confirmed, C.Answer});
    ASSERT_TRUE(Run(C.Marked, 0, "", C.Entry)) << C.Name;
    EXPECT_EQ(Result(), C.Expected) << C.Name;
  }
  const auto& Requests = Test.Dialogs().UnitRequests;
  ASSERT_GE(Requests.size(), 3u);
  EXPECT_EQ(Requests[0].Caption, "Unit");
  EXPECT_EQ(Requests[0].InitialValue, "0");
  // The units of CSS Values 4, in css.xml order, the most used first.
  ASSERT_EQ(Requests[0].Units.size(), 49u);
  EXPECT_EQ(Names(Requests[0].Units.begin(), Requests[0].Units.begin() + 3), (Names{"px", "em", "rem"}));
  for (const char* U : {"dvh", "cqi", "lh", "Q"})
    EXPECT_NE(std::find(Requests[0].Units.begin(), Requests[0].Units.end(), U), Requests[0].Units.end()) << U;
  EXPECT_EQ(Requests[0].Selected, 0) << "the first is selected";
  EXPECT_EQ(Requests[2].Units, Names{"%"});
}

TEST_F(Sheet, AMissingSchemaLeavesAnEmptyTableAndAMessage) {
  Test.Host().SetExecutableFileName((Test.Folder() / "bin" / "mlinsight").string());
  const auto Empty = MakeKel<TCSSKibitzManager>();
  EXPECT_FALSE(Empty->SchemaRead()) << "read by the first request that needs it";
  EXPECT_TRUE(Test.Host().Messages().empty());
  Cycle.SetManager(Empty.get());
  EXPECT_FALSE(Run("a { co|", 0, "", "", 0));
  EXPECT_TRUE(Empty->SchemaRead());
  ASSERT_EQ(Test.Host().Messages().size(), 1u);
  EXPECT_NE(Test.Host().Messages()[0].Text.find("not found"), std::string::npos);
}

}  // namespace
}  // namespace kel
