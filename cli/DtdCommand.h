// `mlinsight dtd FILE [--mode M] [--json]`: loads a DTD the way completion
// does and prints what it declares: elements with their flags, content
// names and attributes; general and parameter entities; the messages.
//
// Example: `mlinsight dtd build/schemas/strict.dtd --json` lists TABLE with
// the attribute frame whose type names void, above, below, ...
#pragma once

#include <ostream>
#include <string>

#include "markup/MLParserUtils.h"

namespace kel {

// 0, or 1 when the DTD broke off ("Line too long"), with the message on Err.
int RunDtd(const std::string& FileName, TKibitzMode Mode, bool Json, std::ostream& Out, std::ostream& Err);

}  // namespace kel
