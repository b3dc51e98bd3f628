// What typing a key writes with it, for clients that ask: on-type formatting
// (">" "=" "/") and VS Code's html/autoInsert. The key is taken back on a
// trial of the document and typed again through our host; the net change is
// what the engine writes with it.
//
// Example: after "<ul>" typed at the end of a page, html/autoInsert with kind
// autoClose answers "$0</ul>".
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "lsp/LspDocuments.h"
#include "lsp/LspFeature.h"

namespace kel {

// The key Typed before Caret typed again on a trial: nothing when it is not there.
std::optional<TMemoryTrial> LspRetype(TLspContext& Ctx, TLspDocument& Doc, int32_t Caret, char Typed);
nlohmann::json LspTypeFormatting(TLspContext& Ctx, TLspDocument& Doc, int64_t Line, int64_t Character,
                                 char Typed);
// Kind: "autoQuote" (after "=") or "autoClose" (after ">"); null when nothing is written.
nlohmann::json LspAutoInsert(TLspContext& Ctx, TLspDocument& Doc, int64_t Line, int64_t Character,
                             const std::string& Kind);

}  // namespace kel
