// css.xml into properties with flat value lists, and the editors with their units.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "css/CSSSchemaLoader.h"
#include "css/CSSUnitEditor.h"
#include "host/KelXMLDocument.h"

namespace kel {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

class CSSReader : public ::testing::Test {
 protected:
  ~CSSReader() override { fs::remove(File); }
  void Load(const std::string& Xml, TFontSource Fonts = nullptr) {
    std::ofstream(File) << Xml;
    TCSSReader(Table, std::move(Fonts)).LoadFromFile(File.string());
  }
  Names Values(const std::string& Property) {
    Names R;
    if (const TCSSProperty* P = Table.LookupProperty(Property))
      for (const TCSSValue* V : P->Values)
        R.push_back(V->Name + (V->Kind == TCSSValueKind::cssVkType ? "..." : ""));
    return R;
  }
  Names Units(const std::string& Editor) {
    Names R;
    if (auto* E = dynamic_cast<TCSSUnitEditor*>(Table.LookupEditor(Editor)))
      for (int32_t I = 0; I < E->GetUnitList().GetCount(); ++I) R.push_back(E->GetUnitList().GetItem(I));
    return R;
  }

  fs::path File = fs::temp_directory_path() / ("mlinsight-css-" + std::to_string(::getpid()) + ".xml");
  TCSSSymbolTable Table{nullptr};
};

TEST_F(CSSReader, ResolvesTypesIntoFlatValueLists) {
  Load(R"(<css>
  <property name="width" inherited="false"><value name="auto"/><value type="length"/><value type="percentage"/></property>
  <property name="border-style"><value type="border-style"/><media name="visual"/><media name="visual"/></property>
  <property name="border"><value sequence="1"><value type="border-style"/><value optional="1"><value type="color"/></value></value></property>
  <property name="width"><value name="inherit"/></property>
  <property name="height"><value type="auto"/></property>
  <type name="border-style"><value name="solid"/><value ref="more-styles"/></type>
  <type name="more-styles"><value name="dotted"/><value ref="border-style"/></type>
  <type name="length" editable="true"><value type="em"/><value type="px"/><value type="cm"/></type>
  <type name="percentage" editable="true"/>
  <type name="color" editable="true"><value name="red"/></type>
  <type name="auto" editable="true"/>
  <type><value name="nameless"/></type>
  <other name="x"/>
</css>)");
  EXPECT_EQ(Values("width"), (Names{"auto...", "inherit", "length...", "percentage..."}))
      << "a property written twice accumulates; keywords come when read, types when resolved";
  EXPECT_EQ(Values("border-style"), (Names{"solid", "dotted"}))
      << "references resolved, also forward and in a cycle";
  EXPECT_EQ(Values("border"), (Names{"solid", "dotted", "red", "color..."}))
      << "groups flatten, and a type named after a property pulls its values";
  EXPECT_EQ(Table.LookupProperty("border-style")->GetMediaCount(), 1);
  EXPECT_EQ(Values("height"), (Names{"auto..."}));
  EXPECT_EQ(Table.LookupValue("auto")->Kind, TCSSValueKind::cssVkType)
      << "one shared value: the kind given last (height's editable type) wins";
  EXPECT_EQ(Units("length..."), (Names{"em", "px", "cm"}));
  EXPECT_EQ(Units("percentage..."), (Names{"%"}));
  EXPECT_EQ(Units("angle..."), (Names{})) << "an undefined type gives no units";
  Names Editors;
  for (int32_t I = 0; I < Table.GetEditorCount(); ++I) Editors.push_back(Table.GetEditor(I)->Name);
  EXPECT_EQ(Editors, (Names{"color...", "uri...", "angle...", "length...", "percentage...", "time...",
                            "frequency...", "resolution...", "fraction..."}));
  EXPECT_EQ(Table.LookupType("nameless"), nullptr);
}

// Installed families by family name, once each, quoted where CSS needs it
// (a word that is no identifier, a keyword of font-family).
TEST_F(CSSReader, FontTypeTakesTheInstalledFamilies) {
  const TFontSource Fonts = [] {
    return std::vector<TFontFaceInfo>{{"DejaVu Sans", "DejaVu Sans Bold", true},
                                      {"DejaVu Sans", "DejaVu Sans Oblique", true},
                                      {"Fixed", "Fixed Medium", false},
                                      {std::string(40, 'f'), "", false},
                                      {"Font Awesome 5 Free", "Font Awesome 5 Free Solid", true},
                                      {"Serif", "Serif", true},
                                      {"Noto Sans CJK JP", "", true},
                                      {"Ma\"rk", "", true}};
  };
  Load(R"(<css><property name="font-family"><value type="family-name"/></property>
  <type name="family-name"><value type="font"/><value name="serif"/></type></css>)",
       Fonts);
  EXPECT_EQ(Values("font-family"),
            (Names{"DejaVu Sans", "Fixed", std::string(40, 'f'), "\"Font Awesome 5 Free\"", "\"Serif\"",
                   "Noto Sans CJK JP", "\"Ma\\\"rk\"", "serif"}));
}

TEST_F(CSSReader, FirstTypesLeadTheirPropertysList) {
  Load(
      R"(<css><property name="font-family"><value type="family-name"/><value type="generic-family" first="true"/>
  </property><property name="font"><value type="generic-family"/></property>
  <type name="family-name"><value name="Arial"/></type><type name="generic-family"><value name="serif"/>
  <value ref="more"/></type><type name="more"><value name="math"/></type></css>)");
  Names Lead;
  for (const TCSSValue* V : Table.LookupProperty("font-family")->Lead) Lead.push_back(V->Name);
  EXPECT_EQ(Lead, (Names{"serif", "math"}));
  EXPECT_TRUE(Table.LookupProperty("font")->Lead.empty()) << "only where the schema says so";
}

TEST_F(CSSReader, DescriptorsStayInTheirAtRule) {
  Load(R"(<css><property name="color"><value name="red"/></property>
  <descriptors at="font-face"><property name="src" description="Where."><value type="uri"/></property>
  <property name="font-display"><value name="swap"/><value name="auto"/></property></descriptors>
  <type name="uri" editable="true"/></css>)");
  EXPECT_EQ(Table.GetPropCount(), 1) << "no descriptor in the property list";
  EXPECT_EQ(Table.LookupProperty("font-display"), nullptr);
  const TCSSProperty* Display = Table.LookupDescriptor("FONT-FACE", "font-display");
  ASSERT_TRUE(Display);
  Names V;
  for (const TCSSValue* X : Display->Values) V.push_back(X->Name);
  EXPECT_EQ(V, (Names{"swap", "auto"}));
  ASSERT_EQ(Table.Descriptors.at("font-face").size(), 2u);
  EXPECT_EQ(Table.Descriptors.at("font-face")[0]->Name, "font-display") << "sorted by name";
  EXPECT_EQ(Table.LookupDescriptor("font-face", "src")->Description, "Where.");
  EXPECT_EQ(Table.LookupDescriptor("page", "src"), nullptr);
}

TEST_F(CSSReader, WhatIsMissingOrWrongLeavesWhatItShould) {
  TCSSReader(Table).LoadFromFile("/nonexistent/css.xml");
  EXPECT_EQ(Table.GetEditorCount(), 0) << "no file: nothing at all";
  Load("<styles><property name=\"x\"/></styles>");
  EXPECT_EQ(Table.GetPropCount(), 0);
  EXPECT_EQ(Table.GetEditorCount(), 9) << "another root: only the editors";
  EXPECT_THROW(Load("<css><property name='x'>"), EXMLDocumentError);
}

}  // namespace
}  // namespace kel
