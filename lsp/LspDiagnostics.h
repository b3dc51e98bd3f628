// Problems as the protocol carries them: the document's check (its markup
// against the schema completion selects) as LSP diagnostics with the rule's
// name as their code, pushed after changes and answered to a pull, and the
// fixes of those that have one as code actions.
//
// Example: after didOpen of page.html holding "<!DOCTYPE html><p><blink>",
// the server publishes one error over "blink", code "unknown-element".
#pragma once

#include <nlohmann/json.hpp>

#include "lsp/LspDocuments.h"
#include "lsp/LspFeature.h"

namespace kel {

// The diagnostics of the document as it stands, rules as the options file
// sets them; at most 1,000, and one more that counts the rest.
nlohmann::json LspDiagnosticList(TLspContext& Ctx, TLspDocument& Doc);
// textDocument/diagnostic: a full report, or "unchanged" for the version the
// client already holds.
nlohmann::json LspDocumentDiagnostic(TLspContext& Ctx, TLspDocument& Doc, const nlohmann::json& Params);

// textDocument/codeAction: the fixes of the problems in Range, each one
// edit (add the required attribute, close the element, write the nearest
// allowed value or name, remove the duplicate attribute).
nlohmann::json LspCodeActions(TLspContext& Ctx, TLspDocument& Doc, const std::string& Uri,
                              const nlohmann::json& Range);

}  // namespace kel
