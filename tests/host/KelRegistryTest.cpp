#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/KelEnvironmentOptions.h"
#include "host/KelRegistry.h"
#include "tests/support/TestHost.h"

namespace kel {
namespace {

using test::THostTest;

std::string CodeInsightKey() { return KelHostServices()->GetBaseRegistryKey() + "\\Code Insight"; }

TEST_F(THostTest, AbsentOptionsFileOpensOnlyWhenTheKeyMayBeCreated) {
  TKelRegistry Reg;
  EXPECT_FALSE(Reg.OpenKey(CodeInsightKey(), false));
  EXPECT_TRUE(Reg.OpenKey(CodeInsightKey(), true));
  EXPECT_FALSE(Reg.ValueExists("Auto Code Completions"));
  EXPECT_EQ(Reg.ReadString("Auto Code Completions"), "");
}

TEST_F(THostTest, ValueAbsentAndValuePresent) {
  Test.WriteOptions(
      "; written by hand\n"
      "[Code Insight]\n"
      "Auto Code Completions=False\n"
      "[Internet\\File Options\\HTML]\n"
      "Extensions=htm;shtml;php\n");
  TKelRegistry Reg;
  ASSERT_TRUE(Reg.OpenKey(CodeInsightKey(), false));
  EXPECT_EQ(Reg.ReadString("Auto Code Completions"), "False");
  EXPECT_EQ(Reg.ReadString("auto code completions"), "False");  // names ignore case, like the registry's
  EXPECT_FALSE(Reg.ValueExists("Extensions"));
  // Semicolons inside a value are data, not comments.
  ASSERT_TRUE(Reg.OpenKey(KelHostServices()->GetBaseRegistryKey() + "\\Internet\\File Options\\HTML", false));
  EXPECT_EQ(Reg.ReadString("Extensions"), "htm;shtml;php");
  EXPECT_EQ(Reg.ReadString("Auto Code Completions"), "");
}

// A hand-edited file with a broken line still gives the values around it.
TEST_F(THostTest, MalformedLinesAreSkipped) {
  Test.WriteOptions(
      "[Code Insight]\n"
      "this line has no equals sign\n"
      "Auto Code Completions=False\n"
      "[unclosed section\n"
      "Other=1\n");
  TKelRegistry Reg;
  ASSERT_TRUE(Reg.OpenKey(CodeInsightKey(), false));
  EXPECT_EQ(Reg.ReadString("Auto Code Completions"), "False");
  EXPECT_FALSE(Reg.ValueExists("this line has no equals sign"));
}

TEST_F(THostTest, OptionsAreReadAfreshOnEveryOpen) {
  Test.WriteOptions("[Code Insight]\nAuto Code Completions=True\n");
  TKelRegistry Reg;
  ASSERT_TRUE(Reg.OpenKey(CodeInsightKey(), false));
  EXPECT_EQ(Reg.ReadString("Auto Code Completions"), "True");
  Test.WriteOptions("[Code Insight]\nAuto Code Completions=False\n");
  EXPECT_EQ(Reg.ReadString("Auto Code Completions"), "True");  // an open key keeps what it read
  ASSERT_TRUE(Reg.OpenKey(CodeInsightKey(), false));
  EXPECT_EQ(Reg.ReadString("Auto Code Completions"), "False");
}

TEST(EnvironmentOptions, MatchExtensions) {
  struct Case {
    const char* File;
    const char* List;
    bool Match;
  } Cases[] = {
      {"site/main.css", "css", true}, {"C:\\site\\MAIN.CSS", "css", true},
      {"a.scss", "css;scss", true},   {"a.scss", " css ; scss ", true},
      {"a.css", "*.css", true},       {"a.css", ".css", true},
      {"a.cs", "css", false},         {"css", "css", false},  // no extension at all
      {"dir.css/file", "css", false},                         // the dot belongs to a folder
      {"a.css", "", false},           {"a.", "css;", false},
  };
  for (const auto& C : Cases)
    EXPECT_EQ(TEnvironmentOptions::MatchExtensions(C.File, C.List), C.Match) << C.File << " in " << C.List;
}

}  // namespace
}  // namespace kel

namespace kel {
namespace {

// A FIFO or a device named as the options file reads as no options instead
// of blocking every request.
TEST(KelRegistryFiles, OnlyRegularFilesAreRead) {
  const std::string Fifo = "/tmp/mlinsight-options-fifo-" + std::to_string(::getpid());
  ::unlink(Fifo.c_str());
  ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
  for (const std::string& File : {Fifo, std::string("/dev/zero")}) {
    TKelRegistry Reg(File, "\\Base");
    EXPECT_FALSE(Reg.OpenKey("\\Base\\Code Insight", false)) << File;
    EXPECT_TRUE(Reg.OpenKey("\\Base\\Code Insight", true)) << File;
    EXPECT_EQ(Reg.ReadString("Insert Quotes"), "") << File;
  }
  ::unlink(Fifo.c_str());
}

}  // namespace
}  // namespace kel
