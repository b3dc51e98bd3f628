// Drives the markup manager through our host exactly as an editor does, on
// caret-marked documents, with the real schemas of the build.
#pragma once

#include <string>
#include <vector>

#include "completion/HTMLCodCmplt.h"
#include "host/CompletionCycle.h"
#include "tests/support/TestHost.h"

namespace kel::test {

// The first lines of the pages the tests type into.
inline const std::string StrictHead = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\n";
// XHTML without an XML declaration: XML by its DOCTYPE alone.
inline const std::string XhtmlHead =
    "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
    "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n";
inline const std::string XslHead =
    "<?xml version=\"1.0\"?>\n<xsl:stylesheet version=\"1.0\" "
    "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">\n";

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
