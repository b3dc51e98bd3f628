// Planning a row from the open list writes exactly what accepting it in a
// cycle of its own writes: same text, same caret, same list opening after,
// on real pages, XSL files, style sheets and style inside pages.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "css/CSSCodCmplt.h"
#include "document/DocumentModel.h"
#include "tests/completion/CompletionTestSupport.h"

namespace kel {
namespace {

using kel::test::Slurp;

struct TAccepted {
  std::string Text;
  int32_t Caret = 0;
  bool Reopens = false;
};

class Planning : public test::TCompletionTest {
 protected:
  Planning() { Test.Host().AddCodeInsightManager(CSSLanguageManager().get()); }
  TDocumentModel Model;

  // A cycle of its own, as an editor runs it: open, select, Enter.
  std::optional<TAccepted> Accept(const std::string& Page, const std::string& Name, int32_t Caret,
                                  int32_t Row) {
    const auto V = Open(Page, Name, Caret);
    if (!V || !Cycle.SelectIndex(Row)) return std::nullopt;
    const size_t Commands = V->Commands().size();
    Cycle.Key('\r');
    return TAccepted{V->Text(), V->CaretOffset(), V->Commands().size() > Commands};
  }
  // Tried is what the language server does: what opening the list writes is
  // part of every row's edit.
  TKelPtr<TMemoryEditView> Open(const std::string& Page, const std::string& Name, int32_t Caret,
                                bool Tried = false) {
    if (Cycle.IsOpen()) Cycle.Key(27);
    std::string Marked = Page;
    Marked.insert(static_cast<size_t>(Caret), "\x01");
    View = Test.OpenView(Marked, Name, '\x01');
    if (Tried) View->BeginTrial();
    Model = TDocumentModel(Name);
    Model.Tree(Page, 1);
    Cycle.SetManager(Model.ManagerAt(Test.Host(), static_cast<uint32_t>(Caret)));
    Cycle.SetClassifier(Name.ends_with(".css") ? TCompletionCycle::TClassifier(StyleSheetElementAt) : Model.Classifier());
    if (!Cycle.Manager() || !Cycle.Type(0)) return nullptr;
    return View;
  }
};

TEST_F(Planning, EveryPlannedRowWritesWhatAcceptingItWrites) {
  const std::pair<std::string, std::string> Corpus[] = {
      {"/usr/share/xml/docbook/stylesheet/docbook-xsl/html/docbook.xsl", "docbook.xsl"},
      {"/usr/share/doc/libjs-underscore/index.html", "index.html"},
      {"/usr/share/doc/libxslt1-dev/html/APIchunk0.html", "APIchunk0.html"},
      {MLINSIGHT_SOURCE_DIR "/examples/contact.html", "contact.html"},
      {MLINSIGHT_SOURCE_DIR "/examples/index.html", "index.html"},
      {MLINSIGHT_SOURCE_DIR "/examples/default.aspx", "default.aspx"},
      {MLINSIGHT_SOURCE_DIR "/examples/deck.wml", "deck.wml"},
      {MLINSIGHT_SOURCE_DIR "/examples/style/typing.css", "typing.css"},
  };
  std::mt19937 Random(5);
  int Compared = 0;
  for (const auto& [Path, Name] : Corpus) {
    const std::string Page = Slurp(Path);
    ASSERT_FALSE(Page.empty()) << Path << " (installed by scripts/install-deps.sh)";
    for (int Round = 0; Round < 12; ++Round) {
      // Mostly right after a name or a "<", where lists open.
      auto Caret = static_cast<int32_t>(Random() % (Page.size() + 1));
      const size_t Lt = Page.find_first_of("<\"&:=", static_cast<size_t>(Caret));
      if (Round % 2 == 0 && Lt != std::string::npos) Caret = static_cast<int32_t>(Lt) + 1;
      if (!Open(Page, Name, Caret, true)) continue;
      const auto Rows = Cycle.Items();
      std::vector<int32_t> Picked;
      for (int I = 0; I < 8 && !Rows.empty(); ++I)
        Picked.push_back(static_cast<int32_t>(Random() % Rows.size()));
      std::vector<std::optional<TMemoryTrial>> Plans;
      for (const int32_t Row : Picked) Plans.push_back(Cycle.Plan(Row));
      EXPECT_EQ(Cycle.Items(), Rows) << "planning leaves the list as it was";
      Cycle.Key(27);
      View->EndTrial();
      EXPECT_EQ(View->Text(), Page) << "and the text";
      for (size_t I = 0; I < Picked.size(); ++I) {
        SCOPED_TRACE(Name + " caret " + std::to_string(Caret) + " row " +
                     Rows[static_cast<size_t>(Picked[I])].Shown());
        const auto Done = Accept(Page, Name, Caret, Picked[I]);
        ASSERT_TRUE(Done && Plans[I]);
        std::string Planned = Page;
        if (Plans[I]->Changed)
          Planned.replace(static_cast<size_t>(Plans[I]->Start),
                          static_cast<size_t>(Plans[I]->OldEnd - Plans[I]->Start), Plans[I]->NewText);
        EXPECT_EQ(Planned, Done->Text);
        EXPECT_EQ(Plans[I]->Caret, Done->Caret);
        EXPECT_EQ(!Plans[I]->Commands.empty(), Done->Reopens);
        ++Compared;
      }
    }
  }
  EXPECT_GT(Compared, 250);
}

}  // namespace
}  // namespace kel
