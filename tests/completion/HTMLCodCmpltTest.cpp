#include <gtest/gtest.h>

#include "tests/completion/CompletionTestSupport.h"

namespace kel {
namespace {

using test::TRun;
using Names = std::vector<std::string>;

const std::string Strict = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\n";

class Markup : public test::TCompletionTest {};

TEST_F(Markup, Explore) {
  ASSERT_TRUE(Run({Strict + "<table>|", "page.html", 0, "", "", 0}));
  for (auto& I : Cycle.Items()) std::cout << I.Text << "|" << I.Type << "|" << I.Class << "|" << I.Abstract << "\n";
  ASSERT_TRUE(Run({Strict + "<a |", "page.html", 0, "", "", 0}));
  for (auto& I : Cycle.Items()) std::cout << I.Text << "|" << I.Type << "|" << I.Class << "|" << I.Abstract << "\n";
  ASSERT_TRUE(Run({Strict + "<a |", "page.html", 0, "", "href", '\r'}));
  std::cout << Result() << "\n";
  ASSERT_TRUE(Run({Strict + "<body><|", "page.html", 0, "", "", 0}));
  std::cout << Texts().size() << "\n";
  Run({Strict + "<body><table|", "page.html", '>', "", "", 0});
  std::cout << Result() << "\n";
}

}  // namespace
}  // namespace kel
