// Drives the style-sheet manager through our host as an editor does, on
// caret-marked sheets, with the css.xml of the build.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "css/CSSCodCmplt.h"
#include "host/CompletionCycle.h"
#include "tests/support/Annotated.h"
#include "tests/support/TestHost.h"

namespace kel::test {

class TSheetTest : public THostTest {
 protected:
  TSheetTest() : Cycle(Test.Host()) {
    Test.Host().SetExecutableFileName(MLINSIGHT_BINARY_DIR "/bin/mlinsight");
    Manager = MakeKel<TCSSKibitzManager>();
    Cycle.SetManager(Manager.get());
    Cycle.SetClassifier(StyleSheetElementAt);
  }
  // Opens Marked as site.css and types Typed (0: an explicit request);
  // returns whether the list opened.
  bool Open(const std::string& Marked, char Typed = 0) {
    if (Cycle.IsOpen()) Cycle.Key(27);
    View = Test.OpenView(Marked, "site.css");
    return Cycle.Type(Typed);
  }
  std::string Result() const { return Mark(View->Text(), View->CaretOffset()); }
  std::vector<std::string> Texts() {
    std::vector<std::string> R;
    for (const auto& I : Cycle.Items()) R.push_back(I.Text);
    return R;
  }
  bool Has(const std::string& S) {
    const auto T = Texts();
    return std::find(T.begin(), T.end(), S) != T.end();
  }

  TKelPtr<TCSSKibitzManager> Manager;
  TKelPtr<TMemoryEditView> View;
  TCompletionCycle Cycle;
};

}  // namespace kel::test
