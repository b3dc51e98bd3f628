// Requests read the document model: the manager for a caret comes from the
// page's regions, so "<style>" written in a comment is no sheet and an XSL
// template's literal <style> offers both languages.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "css/CSSCodCmplt.h"
#include "document/CompletionRequest.h"
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

// A request on a kept model starts at a checkpoint that earlier requests left
// and takes what follows the caret from the tree: on real pages it lists what
// a parse of the whole text lists, and after random edits what a request on a
// new model lists.
TEST_F(DocumentModel, RequestsOnAKeptModelListWhatAWholeParseLists) {
  const char* const Pages[] = {
      "/usr/share/doc/libjs-underscore/index.html",
      "/usr/share/doc/libxslt1-dev/html/xslt.html",
      "/usr/share/xml/docbook/stylesheet/docbook-xsl/html/docbook.xsl",
      MLINSIGHT_SOURCE_DIR "/examples/default.aspx",
  };
  const char* const Pieces[] = {"<",  ">",       "</p>",   "<p>",   "<li>",  "<!--", "-->",
                                "\"", "<style>", "</div>", "<div>", "<td>",  "</",   "\n",
                                "x",  " ",       "=",      "<br/>", "<?x ?>"};
  std::mt19937 Random(11);
  const auto Rows = [](TCompletionCycle& C) {
    std::string R = C.Type(0) ? "list:" : "none:";
    for (const auto& I : C.Items()) R += " " + I.Shown();
    return R;
  };
  const auto Request = [&](TDocumentModel& Model, const TKelPtr<TMemoryEditView>& On, int32_t Caret,
                           uint64_t Version) {
    Model.Tree(On->Text(), Version);
    TCompletionRequest R(Test.Host(), Model, On, Caret);
    return Rows(R.Cycle());
  };
  const auto Whole = [&](const std::string& Text, const std::string& Name, int32_t Caret) {
    if (Cycle.IsOpen()) Cycle.Key(27);
    std::string Marked = Text;
    Marked.insert(static_cast<size_t>(Caret), 1, '\x01');
    View = Test.OpenView(Marked, Name, '\x01');
    Model = TDocumentModel(Name);
    Model.Tree(View->Text(), 1);
    Cycle.SetManager(Model.ManagerAt(Test.Host(), static_cast<uint32_t>(Caret)));
    Cycle.SetClassifier(Model.Classifier());
    return Rows(Cycle);
  };
  for (const char* File : Pages) {
    std::string Text = test::Slurp(File);
    ASSERT_FALSE(Text.empty()) << File;
    // Copies up to 300 KB: several checkpoints before the caret, much text after it.
    for (const std::string One = Text; Text.size() < (300u << 10);) Text += One;
    const std::string Name = std::string("page") + std::strrchr(File, '.');
    TDocumentModel Kept(Name);
    size_t Most = 0;
    auto Live = MakeMemoryEditView(Text, Name);
    for (int Step = 0; Step < 8; ++Step) {
      const auto Caret = static_cast<int32_t>(Random() % Text.size());
      ASSERT_EQ(Request(Kept, Live, Caret, 1), Whole(Text, Name, Caret)) << File << " caret " << Caret;
    }
    for (int Step = 0; Step < 24; ++Step) {
      // Typing lands near one place; some edits go anywhere.
      const size_t Size = Live->Text().size();
      const size_t Start = Step % 3 ? Size * 3 / 4 + Random() % (Size / 8) : Random() % Size;
      const size_t Removed = std::min<size_t>(Random() % 4, Size - Start);
      const std::string Inserted = Pieces[Random() % std::size(Pieces)];
      Live->Edit(static_cast<int32_t>(Start), static_cast<int32_t>(Removed), Inserted);
      Kept.Edited(Start, Start + Removed, Start + Inserted.size());
      const auto Caret = static_cast<int32_t>(std::min(Start + Inserted.size() + Random() % 64, Size));
      TDocumentModel Fresh(Name);
      ASSERT_EQ(Request(Kept, Live, Caret, Step + 2),
                Request(Fresh, MakeMemoryEditView(Live->Text(), Name), Caret, 1))
          << File << " step " << Step << " caret " << Caret;
      Most = std::max(Most, Kept.ParseCache().Count());
    }
    EXPECT_GT(Most, 1u) << File;
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
                Tree.Regions == Full.Regions && Tree.References == Full.References)
        << "version " << Version;
  }
}

}  // namespace
}  // namespace kel
