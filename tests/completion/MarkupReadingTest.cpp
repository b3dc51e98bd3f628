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

const std::string Strict = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\n";

class MarkupReading : public test::TCompletionTest {
 protected:
  bool Has(const std::string& Text) {
    const auto T = Texts();
    return std::find(T.begin(), T.end(), Text) != T.end();
  }
};


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

}  // namespace
}  // namespace kel
