// The style-sheet rules, read from a sheet's tree against css.xml: unknown
// properties (vendor-prefixed and custom ones are not judged), descriptors
// an at-rule's block does not take, unknown at-rules, a property written
// twice in one block, empty rules, a misspelt !important, blocks and
// comments never closed.
//
// Example: "a { colr: red }" gives one unknown-property problem over "colr",
// with the fix writing "color".
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "css/CSSTree.h"
#include "diagnostics/Diagnostic.h"

namespace kel {

class IKelCSSCodeInsightManager;

// Sheet: Text's sheet; Declarations: it is one block's content (a style
// attribute), where no rule, block or at-rule stands.
void CheckSheet(std::string_view Text, const TCSSTree& Sheet, bool Declarations,
                const IKelCSSCodeInsightManager& Schema, TDiagnostics& Out);

}  // namespace kel
