// The problems of one document as the command line and the language server
// report them: its markup against the schema completion selects for it (the
// DOCTYPE, the file type, an XSL style sheet's output, ASP.NET's controls),
// loaded by one parse of the whole text that reuses the document's
// checkpoints.
//
// Example: CheckDocument(Host, Model, View, TCheckRules()) on "page.html"
// holding "<!DOCTYPE html><p><blink>" gives one unknown-element problem.
#pragma once

#include <string>
#include <vector>

#include "diagnostics/Diagnostic.h"
#include "document/DocumentModel.h"
#include "host/MemoryHost.h"

namespace kel {

struct TCheckResult {
  std::vector<TDiagnostic> Problems;  // in text order
  size_t Dropped = 0;                 // found past the limit
  std::string SchemaFile;             // the schema judged by; empty when none
};

// Model's tree is built for View's text.
TCheckResult CheckDocument(TMemoryHost& Host, TDocumentModel& Model, const TKelPtr<TMemoryEditView>& View,
                           const TCheckRules& Rules, size_t Max = 1000);

}  // namespace kel
