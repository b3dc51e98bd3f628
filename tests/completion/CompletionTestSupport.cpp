#include "tests/completion/CompletionTestSupport.h"

#include <algorithm>

#include "document/DocumentModel.h"
#include "symbols/MLSymbolManager.h"
#include "tests/support/Annotated.h"

namespace kel::test {

TCompletionTest::TCompletionTest() : Manager(MarkupLanguageManager()), Cycle(Test.Host()) {
  Test.Host().SetExecutableFileName(MLINSIGHT_BINARY_DIR "/bin/mlinsight");
  Test.WriteOptions("[Code Insight]\nAuto Code Completions=True\n");
  Manager->SetInsertQuotes(true);
  static_cast<TMLKibitzManager*>(Manager.get())->FollowPageCase();
  Test.Host().AddCodeInsightManager(Manager.get());
}

TCompletionTest::~TCompletionTest() { Manager->SetRootTag(nullptr); }

bool TCompletionTest::Run(const TRun& R) {
  if (Cycle.IsOpen()) Cycle.Key(27);
  View = Test.OpenView(R.Marked, R.File, R.Marker);
  Cycle.SetManager(TCompletionCycle::ManagerFor(Test.Host(), R.File));
  Cycle.SetClassifier([File = R.File](const std::string& Text, int32_t Offset) {
    return MarkupElementAt(Text, Offset, File);
  });
  if (!Cycle.Manager()) return false;
  if (!Cycle.Type(R.Typed)) return false;
  for (const char C : R.Filter) Cycle.Key(C);
  if (!R.Accept.empty()) Cycle.SelectText(R.Accept);
  if (R.Key && Cycle.IsOpen()) Cycle.Key(R.Key);
  return true;
}

std::string TCompletionTest::Result() const { return Mark(View->Text(), View->CaretOffset()); }

std::vector<std::string> TCompletionTest::Texts() {
  std::vector<std::string> R;
  for (const auto& I : Cycle.Items()) R.push_back(I.Text);
  return R;
}

bool TCompletionTest::Has(const std::string& Text) {
  const auto T = Texts();
  return std::find(T.begin(), T.end(), Text) != T.end();
}

std::string TCompletionTest::Listed() {
  std::string L;
  for (const auto& T : Texts()) L += T + " ";
  return L;
}

}  // namespace kel::test
