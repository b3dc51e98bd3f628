#include <gtest/gtest.h>

#include "markup/MLParserUtils.h"
#include "tests/support/TestHost.h"

namespace kel {
namespace {

using test::THostTest;

class SchemaFileName : public THostTest {
 protected:
  std::string Folder() { return (Test.Folder() / "bin").string() + "/../schemas/"; }
};

TEST_F(SchemaFileName, PublicIdentifiersFromTheTable) {
  struct Case {
    const char* Ident;
    const char* File;
  } Cases[] = {
      {"-//W3C//DTD XHTML 1.0 Frameset//EN", "xhtml1-frameset.dtd"},
      {"-//W3C//DTD XHTML 1.0 Strict//EN", "xhtml1-strict.dtd"},
      {"-//W3C//DTD XHTML 1.0 Transitional//EN", "xhtml1-transitional.dtd"},
      {"-//W3C//DTD HTML 3.2 Final//EN", "HTML3.2.dtd"},
      {"-//IETF//DTD HTML//EN", "HTML2.dtd"},
      {"-//IETF//DTD HTML 2.0 Strict//EN", "HTML2-strict.dtd"},
      {"-//W3C//DTD HTML 4.01//EN", "strict.dtd"},
      {"-//W3C//DTD HTML 4.01 Frameset//EN", "frameset.dtd"},
      {"-//W3C//ENTITIES Latin1//EN//HTML", "HTMLlat1.ent"},
      {"-//W3C//ENTITIES Symbols//EN//HTML", "HTMLsymbol.ent"},
      {"-//W3C//ENTITIES Special//EN//HTML", "HTMLspecial.ent"},
  };
  for (const auto& C : Cases)
    for (TKibitzMode M : {TKibitzMode::kmHTML, TKibitzMode::kmXSL})
      EXPECT_EQ(GetSchemaFileName(C.Ident, M), Folder() + C.File) << C.Ident;
}

TEST_F(SchemaFileName, Traps) {
  struct Case {
    const char* Ident;
    TKibitzMode Mode;
    const char* File;
  } Cases[] = {
      // Not in the table: the mode's default.
      {"-//W3C//DTD HTML 4.01 Transitional//EN", TKibitzMode::kmHTML, "loose.dtd"},
      {"-//W3C//DTD XHTML 1.0 strict//EN", TKibitzMode::kmHTML, "loose.dtd"},
      {"-//W3C//DTD XHTML 1.0 strict//EN", TKibitzMode::kmWML, "wml12.dtd"},
      {"-//w3c//dtd html 4.01//en", TKibitzMode::kmHTML, "loose.dtd"},
      {"-//W3C//DTD HTML 4.01//EN ", TKibitzMode::kmHTML, "loose.dtd"},
      // The ISO entity set has no leading dash but is matched exactly.
      {"ISO 8879-1986//ENTITIES Added Latin 1//EN//HTML", TKibitzMode::kmHTML, "HTMLlat1.ent"},
      // System identifiers keep only what follows the last separator.
      {"http://www.w3.org/TR/html4/loose.dtd", TKibitzMode::kmHTML, "loose.dtd"},
      {"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd", TKibitzMode::kmXSL, "xhtml1-strict.dtd"},
      {"C:\\Schemas\\my.dtd", TKibitzMode::kmHTML, "my.dtd"},
      {"dir/sub\\mixed.dtd", TKibitzMode::kmHTML, "mixed.dtd"},
      {"plain.xsd", TKibitzMode::kmResX, "plain.xsd"},
      {"http://example.org/", TKibitzMode::kmHTML, ""},
      // Empty: the mode's default file.
      {"", TKibitzMode::kmHTML, "loose.dtd"},
      {"", TKibitzMode::kmXSL, "xsl.dtd"},
      {"", TKibitzMode::kmWML, "wml12.dtd"},
      {"", TKibitzMode::kmResX, "resxschema.xsd"},
  };
  for (const auto& C : Cases) EXPECT_EQ(GetSchemaFileName(C.Ident, C.Mode), Folder() + C.File) << C.Ident;
}

TEST_F(SchemaFileName, FolderIsBesideTheExecutablesFolder) {
  Test.Host().SetExecutableFileName("/opt/mlinsight/lib/mlinsight/bin/mlinsight");
  EXPECT_EQ(GetSchemaFolder(), "/opt/mlinsight/lib/mlinsight/bin/../schemas/");
}

// The shared identity of server scripts and processing instructions, and the
// derivation chains of the node interfaces, as other extensions query them.
class TScriptNode : public TKelInterfaced<IKelMLServerScript> {
 public:
  int32_t GetID() override { return -1; }
  int32_t GetOffsetEnd() override { return 0; }
  int32_t GetOffsetStart() override { return 0; }
  void SetOffsetEnd(int32_t) override {}
  void SetOffsetStart(int32_t) override {}
  void SetText(const std::string& V) override { FText = V; }
  std::string GetText() override { return FText; }

 private:
  std::string FText;
};

}  // namespace
}  // namespace kel
