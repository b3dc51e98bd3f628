// Drives the markup manager through our host exactly as an editor does, on
// caret-marked documents, with the real schemas of the build.
#pragma once

#include <string>
#include <vector>

#include "completion/HTMLCodCmplt.h"
#include "host/CompletionCycle.h"
#include "tests/support/TestHost.h"

namespace kel::test {

struct TRun {
  TRun(std::string AMarked, std::string AFile = "page.html", char ATyped = 0, std::string AFilter = {},
       std::string AAccept = {}, char AKey = '\r')
      : Marked(std::move(AMarked)),
        File(std::move(AFile)),
        Typed(ATyped),
        Filter(std::move(AFilter)),
        Accept(std::move(AAccept)),
        Key(AKey) {}
  std::string Marked;  // the document with '|' at the caret
  std::string File;
  char Typed;          // typed before the list opens; 0: explicit request
  std::string Filter;  // typed while the list is open
  std::string Accept;  // entry to select; empty: keep the host's selection
  char Key;            // closes the list; 0: leave it open
  char Marker = '|';   // for real files, whose text may hold a '|'
};

class TCompletionTest : public THostTest {
 protected:
  TCompletionTest();
  ~TCompletionTest() override;

  // Runs the cycle; returns whether the list opened.
  bool Run(const TRun& R);
  // The document with '|' at the caret.
  std::string Result() const;
  std::vector<std::string> Texts();
  // Whether a row's text is Text; all rows' texts in one line, for messages.
  bool Has(const std::string& Text);
  std::string Listed();
  void Options(const std::string& Ini) { Test.WriteOptions(Ini); }

  TKelPtr<IKelMLCodeInsightManager> Manager;
  TKelPtr<TMemoryEditView> View;
  TCompletionCycle Cycle;
};

}  // namespace kel::test
