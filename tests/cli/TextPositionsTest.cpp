// Reading a page and writing it back: the file read is the file replaced.
#include "cli/TextPositions.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/TestHost.h"

namespace kel {
namespace {

namespace fs = std::filesystem;

using kel::test::Slurp;

// A link switched to another file between the read and the write: the file
// read gets its edited text, the other one nothing.
TEST(WriteDocument, ReplacesTheFileReadOrNone) {
  const fs::path Dir = fs::temp_directory_path() / ("mlinsight-race-" + std::to_string(::getpid()));
  fs::create_directories(Dir);
  std::ofstream(Dir / "a.html") << "<p>a";
  std::ofstream(Dir / "b.html") << "<p>b";
  fs::create_symlink(Dir / "a.html", Dir / "page.html");
  const struct {
    const char* Name;
    bool Switch;
    const char *Edited, *A, *B;
  } Cases[] = {
      {"the link kept", false, "<p>one", "<p>one", "<p>b"},
      {"the link switched meanwhile", true, "<p>two", "<p>two", "<p>b"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    TDecodedDocument Doc;
    TReadFrom From;
    std::ostringstream Err;
    ASSERT_TRUE(ReadDocument((Dir / "page.html").string(), Doc, Err, &From));
    if (C.Switch) {
      fs::remove(Dir / "page.html");
      fs::create_symlink(Dir / "b.html", Dir / "page.html");
    }
    EXPECT_TRUE(WriteDocument((Dir / "page.html").string(), C.Edited, Doc, Err, &From)) << Err.str();
    EXPECT_EQ(Slurp(Dir / "a.html"), C.A);
    EXPECT_EQ(Slurp(Dir / "b.html"), C.B);
  }
  // A file replaced under its own name (an editor's save) is another file too.
  TDecodedDocument Doc;
  TReadFrom From;
  std::ostringstream Err;
  ASSERT_TRUE(ReadDocument((Dir / "b.html").string(), Doc, Err, &From));
  fs::rename(Dir / "a.html", Dir / "b.html");
  EXPECT_FALSE(WriteDocument((Dir / "b.html").string(), "<p>lost", Doc, Err, &From));
  EXPECT_NE(Err.str().find("changed since it was read"), std::string::npos) << Err.str();
  EXPECT_EQ(Slurp(Dir / "b.html"), "<p>two");
  fs::remove_all(Dir);
}

}  // namespace
}  // namespace kel
