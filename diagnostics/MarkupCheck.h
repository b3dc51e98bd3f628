// The markup rules, read from a page's tree against the schema its DOCTYPE
// (or file type) selected: unknown elements and attributes, elements their
// parent may not hold, required attributes, values outside their list or
// type, duplicates, stray end tags, elements never closed, references to
// entities the schema does not declare.
//
// Example: on an HTML 4.01 Strict page, "<p><img src=x></p>" gives one
// missing-attribute problem over "img": <img> requires the attribute "alt".
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>

#include "diagnostics/Diagnostic.h"
#include "markup/MLTree.h"

namespace kel {

class IKelMLTag;
class TMLSymbols;

// What the check reads of the schema the document selected.
struct TMarkupSchema {
  TMLSymbols* Symbols = nullptr;  // null: nothing is checked against a schema
  IKelMLTag* Root = nullptr;      // holds the top level
  bool Xml = false;               // names and values keep their case
  bool Html5 = false;             // custom elements and data-* attributes
  bool Asp = false;               // runat on any element
  bool Xsl = false;               // only xsl: elements are the schema's
  // The entity names the schema declares; null: references are not judged
  // (a document that declares its own, or no schema).
  const std::unordered_set<std::string>* Entities = nullptr;
};

void CheckMarkup(std::string_view Text, const TMLTree& Tree, const TMarkupSchema& Schema, TDiagnostics& Out);

}  // namespace kel
