// Hover: a property name in a style sheet (or a sheet inside a page) shows
// the schema's one line on it.
//
// Example: hovering "display" in "a { display: flex }" answers
// "display: …" over the word.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>

#include "lsp/LspDocuments.h"
#include "lsp/LspFeature.h"

namespace kel {

nlohmann::json LspHover(TLspContext& Ctx, TLspDocument& Doc, int64_t Line, int64_t Character);

}  // namespace kel
