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

// 0: what the reader found wrong is among the messages printed; 1 (one
// line on Err) when the file cannot be read.
int RunDtd(const std::string& FileName, TKibitzMode Mode, bool Json, std::ostream& Out, std::ostream& Err);

}  // namespace kel
