// Requests read the document model: the manager for a caret comes from the
// page's regions, so "<style>" written in a comment is no sheet and an XSL
// template's literal <style> offers both languages.
#include <gtest/gtest.h>

#include <random>

#include "css/CSSCodCmplt.h"
#include "document/DocumentModel.h"
#include "tests/completion/CompletionTestSupport.h"
#include "tests/support/Annotated.h"
#include "tests/support/TestHost.h"

namespace kel {
namespace {

class DocumentModel : public test::TCompletionTest {
 protected:
  DocumentModel() { Test.Host().AddCodeInsightManager(CSSLanguageManager().get()); }
  ~DocumentModel() override {
    static_cast<TCSSKibitzManager*>(CSSLanguageManager().get())->SetPageTree(nullptr);
  }

  // The rows an explicit request lists at the caret, as a front end runs it.
  std::string Serve(const std::string& Marked, const std::string& File) {
    if (Cycle.IsOpen()) Cycle.Key(27);
    View = Test.OpenView(Marked, File);
    Model = TDocumentModel(File);
    const TMLTree& Tree = Model.Tree(View->Text(), 1);
    const auto Serving = Model.ManagerAt(Test.Host(), static_cast<uint32_t>(View->CaretOffset()));
    auto* Css = dynamic_cast<TCSSKibitzManager*>(Serving.get());
    if (Css) Css->SetPageTree(&Tree);
    Cycle.SetManager(Serving);
    Cycle.SetClassifier(Model.Classifier());
    std::string Rows = Css ? "css:" : "markup:";
    if (Cycle.Type(0))
      for (const auto& I : Cycle.Items()) Rows += " " + I.Shown();
    return Rows + " ";
  }
  TDocumentModel Model;
};

TEST_F(DocumentModel, TheRegionAtTheCaretChoosesTheManager) {
  const struct {
    const char* Page;
    const char* File;
    const char* Starts;  // the answer begins so
    const char* Holds;   // and lists this row
  } Cases[] = {
      {"<!-- <style> -->\n<body><|", "page.html", "markup:", " p "},
      {"<p title='<style>'>\n<|", "page.html", "markup:", " span "},
      {"<style>p { co|", "page.html", "css:", " color "},
      {"<p style=\"co|\">", "page.html", "css:", " color "},
      {"<style>:root { --brand: red }</style><p style='color: |'>", "page.html", "css:", " var(--brand) "},
      {"<p style='--gap: 1px'><style>a { margin: |", "page.html", "css:", " var(--gap) "},
      {"<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
       "<xsl:template match='/'><style>p { color: red }\n<|",
       "report.xsl", "markup:", " xsl:value-of "},
      {"<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
       "<xsl:template match='/'><style>p { content: '&|",
       "report.xsl", "markup:", " amp "},
      {"<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
       "<xsl:template match='/'><style>p { <xsl:value-of select='x'/> co|",
       "report.xsl", "css:", " color "},
  };
  for (const auto& C : Cases) {
    const std::string Rows = Serve(C.Page, C.File);
    EXPECT_TRUE(Rows.starts_with(C.Starts)) << C.Page << "\n" << Rows.substr(0, 200);
    EXPECT_NE(Rows.find(C.Holds), std::string::npos) << C.Page << "\n" << Rows.substr(0, 400);
  }
}

TEST(DocumentModelVersions, ATreeIsBuiltOncePerVersion) {
  TDocumentModel Model("page.html");
  const std::string Text = "<p style='a'>";
  Model.Tree(Text, 1);
  Model.Tree(Text, 1);
  EXPECT_EQ(Model.Builds(), 1u);
  Model.Tree(Text + "<b>", 2);
  EXPECT_EQ(Model.Builds(), 2u);
  EXPECT_EQ(Model.Tree().Nodes.size(), 2u);
}

// Edits told to the model between two versions (several, as a client sends
// them in one change) give the tree a whole reading gives.
TEST(DocumentModelVersions, EditsBetweenVersionsGiveTheWholeReadingsTree) {
  std::string Text = test::Slurp(MLINSIGHT_SOURCE_DIR "/examples/index.html");
  TDocumentModel Model("index.html");
  Model.Tree(Text, 0);
  std::mt19937 Random(11);
  const char* const Pieces[] = {"<p>", "</div>", "<!--", "-->", "<style>", "\"", "x", "\n", "<td>", "&amp;"};
  for (uint64_t Version = 1; Version <= 200; ++Version) {
    for (int Edit = static_cast<int>(Random() % 3); Edit >= 0; --Edit) {
      const size_t Start = Random() % (Text.size() + 1);
      const size_t Removed = std::min<size_t>(Random() % 4, Text.size() - Start);
      const std::string Inserted = Pieces[Random() % std::size(Pieces)];
      Model.Edited(Start, Start + Removed, Start + Inserted.size());
      Text.replace(Start, Removed, Inserted);
    }
    const TMLTree& Tree = Model.Tree(Text, Version);
    const TMLTree Full = TMLTree::Build(Text, false);
    ASSERT_TRUE(Tree.Nodes == Full.Nodes && Tree.Attributes == Full.Attributes &&
                Tree.Regions == Full.Regions)
        << "version " << Version;
  }
}

}  // namespace
}  // namespace kel
