#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "host/KelXMLDocument.h"

namespace kel {
namespace {

TEST(XMLDocument, NamesAttributesAndContent) {
  TXMLDocument D;
  D.LoadFromString(
      "<xsd:schema a='1' b='yes'>\n  <!-- note -->\n  <xsd:element name='x'/>\n  <xsd:simpleType>\n"
      "  </xsd:simpleType>\n</xsd:schema>");
  TXMLNode Root = D.DocumentElement();
  EXPECT_EQ(Root.NodeName(), "xsd:schema");
  EXPECT_TRUE(Root.IsElement());
  EXPECT_TRUE(Root.HasAttribute("a"));
  EXPECT_FALSE(Root.HasAttribute("c"));
  EXPECT_EQ(Root.Attribute("c"), "");
  EXPECT_TRUE(Root.AttributeAsBoolean("b"));
  EXPECT_FALSE(Root.AttributeAsBoolean("c"));
  ASSERT_EQ(Root.Attributes().size(), 2u);
  EXPECT_EQ(Root.Attributes()[1].Name, "b");
  // Whitespace and comments are not child nodes; an element holding only
  // whitespace has none.
  TXMLNodeList Children = Root.ChildNodes();
  ASSERT_EQ(Children.Count(), 2);
  EXPECT_EQ(Children.Item(0).Attribute("name"), "x");
  EXPECT_EQ(Children.FindNode("xsd:simpleType").ChildNodes().Count(), 0);
  EXPECT_TRUE(Children.FindNode("xsd:complexType").IsNull());
  EXPECT_TRUE(Children.Item(2).IsNull());
}

TEST(XMLDocument, ErrorsSayWhere) {
  struct Case {
    const char* Text;
    const char* Where;
  } Cases[] = {
      {"<a>\n  <b>\n</a>", "line 3, column 3"},
      {"<a>\n<b x='1></b></a>", "line 2, column"},
      {"", "line 1, column 1"},
  };
  for (const auto& C : Cases) {
    TXMLDocument D;
    try {
      D.LoadFromString(C.Text);
      ADD_FAILURE() << C.Text << " loaded";
    } catch (const EXMLDocumentError& E) {
      EXPECT_NE(std::string(E.what()).find(C.Where), std::string::npos) << E.what();
    }
    EXPECT_TRUE(D.DocumentElement().IsNull());
  }
}

TEST(XMLDocument, FileErrorsNameTheFile) {
  auto Path = std::filesystem::temp_directory_path() / "mlinsight-bad.xml";
  std::ofstream(Path) << "<a>";
  TXMLDocument D;
  EXPECT_THROW(D.LoadFromFile("/nonexistent/x.xml"), EXMLDocumentError);
  try {
    D.LoadFromFile(Path.string());
    ADD_FAILURE();
  } catch (const EXMLDocumentError& E) {
    EXPECT_NE(std::string(E.what()).find(Path.string()), std::string::npos) << E.what();
  }
  std::filesystem::remove(Path);
}

}  // namespace
}  // namespace kel
