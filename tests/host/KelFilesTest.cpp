#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "host/KelFiles.h"

namespace kel {
namespace {

TEST(KelFiles, BothSeparatorsCount) {
  struct Case {
    const char* Path;
    const char* Folder;
    const char* Name;
    const char* Ext;
  } Cases[] = {
      {"/a/b/asp.xsd", "/a/b/", "asp.xsd", ".xsd"},
      {"C:\\site\\Page.AsCx", "C:\\site\\", "Page.AsCx", ".AsCx"},
      {"http://w3.org/TR/html4/loose.dtd", "http://w3.org/TR/html4/", "loose.dtd", ".dtd"},
      {"a.b/README", "a.b/", "README", ""},  // a dot in the folder is no extension
      {"x.tar.gz", "", "x.tar.gz", ".gz"},
      {"", "", "", ""},
  };
  for (const auto& C : Cases) {
    EXPECT_EQ(ExtractFilePath(C.Path), C.Folder) << C.Path;
    EXPECT_EQ(ExtractFileName(C.Path), C.Name) << C.Path;
    EXPECT_EQ(ExtractFileExt(C.Path), C.Ext) << C.Path;
  }
}

TEST(KelFiles, OnlyRegularFilesExist) {
  const auto Folder = std::filesystem::temp_directory_path();
  EXPECT_FALSE(FileExists(""));
  EXPECT_FALSE(FileExists(Folder.string()));
  EXPECT_FALSE(FileExists((Folder / "mlinsight-no-such-file").string()));
  EXPECT_TRUE(FileExists("/proc/self/exe") || FileExists(__FILE__));
}

}  // namespace
}  // namespace kel
