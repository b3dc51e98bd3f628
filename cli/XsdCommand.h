// `mlinsight xsd FILE [--json]`: reads an XML Schema file the way completion
// does and prints its declarations: elements in document order, complex
// types with their children and attributes, attribute groups, simple types
// with restrictions and enumerations, the namespace prefix, the messages.
//
// Example: `mlinsight xsd asp.xsd --json` gives "namespacePrefix": "asp:" and
// each server control with its type's attributes and their builders.
#pragma once

#include <ostream>
#include <string>

namespace kel {

// 0; 1 when FILE cannot be read at all (the reader then stays empty).
int RunXsd(const std::string& FileName, bool Json, std::ostream& Out, std::ostream& Err);

}  // namespace kel
