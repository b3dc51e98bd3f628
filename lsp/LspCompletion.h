// Completion in the server: one completion cycle of our host on the document
// at the position, inside a trial of the view (so what opening writes, such
// as ="", belongs to every item); each row is planned with
// TCompletionCycle::Plan, so every item carries the exact edit accepting it
// makes (="" with the cursor between the quotes, the closing tag, ':' or ';').
//
// Example: on page.html holding "<a " at line 0, character 3, the items hold
// "href" with the edit 'href="$0"'.
#pragma once

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>

#include "lsp/LspDocuments.h"
#include "lsp/LspFeature.h"

namespace kel {

// A completion answer holds at most this many items (HTML's entities are
// 2,231), the rest marked incomplete.
inline constexpr size_t MaxLspItems = 5000;

nlohmann::json LspComplete(TLspContext& Ctx, TLspDocument& Doc, int64_t Line, int64_t Character,
                           const nlohmann::json& Params);

}  // namespace kel
