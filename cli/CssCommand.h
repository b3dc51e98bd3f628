// The style-sheet commands: `mlinsight css-tokens FILE [--point OFFSET]`
// prints the tokens the scanner reads up to the point (or the end), one per
// line; `mlinsight css-schema [--json] [PROPERTY]` prints what css.xml gives:
// properties in table order with their resolved values, types, editors.
//
// `mlinsight css-pos FILE OFFSET` prints where the caret stands.
//
// Example: `mlinsight css-tokens a.css` on "a { color: red }" prints
// "133 identifier a 1" first and "0 End of file  1" last.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace kel {

// 0; 1 with a message when the file cannot be read.
int RunCssTokens(const std::string& FileName, int32_t Point, std::ostream& Out, std::ostream& Err);
// Parses FILE up to the byte offset Point and prints the caret's position
// (kpExpr, kpProperty, kpRule, kpComment, kpNone) and the property, or
// "none"; with Errors, every parse error after it, in order.
int RunCssPos(const std::string& FileName, int32_t Point, bool Errors, std::ostream& Out, std::ostream& Err);
// 0; 1 when css.xml is missing or broken, or PROPERTY is not in it.
int RunCssSchema(const std::string& Property, bool Json, std::ostream& Out, std::ostream& Err);

}  // namespace kel
