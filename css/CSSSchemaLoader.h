// Loading css.xml: properties with their keyword values and types, types
// with values, references and intrinsic types (units, installed fonts),
// resolved into one flat value list per property; then the value editors.
//
// Example: with <property name="width"><value name="auto"/><value
// type="length"/></property> and an editable type length, the property's
// values are auto and length, the latter shown as "length...".
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "css/CSSImpl.h"

namespace kel {

class TXMLNode;

// One installed font face as the system reports it.
struct TFontFaceInfo {
  std::string Family;
  std::string FullName;
  bool TrueType = false;  // TrueType or OpenType outlines
};
using TFontSource = std::function<std::vector<TFontFaceInfo>()>;

// The installed faces through fontconfig; empty where it finds none.
std::vector<TFontFaceInfo> InstalledFonts();
// The names the "font" type offers: the full name (at most 64 characters) of
// a TrueType face, the family name (at most 32) otherwise, each once.
std::vector<std::string> FontFamilyNames(const std::vector<TFontFaceInfo>& Faces);

// css.xml in the schemas folder.
std::string CSSSchemaFileName();
// Loads css.xml into Table and sorts its properties; false with the reason
// when the file is missing or not well-formed (what was read stays).
bool LoadCSSSchema(TCSSSymbolTable& Table, std::string& Error);

class TCSSReader {
 public:
  explicit TCSSReader(TCSSSymbolTable& SymbolTable, TFontSource Fonts = InstalledFonts);
  // Nothing at all when the file does not exist; a file that is not
  // well-formed raises EXMLDocumentError.
  void LoadFromFile(const std::string& FileName);
  void Resolve();
  void ResolveType(TCSSType& Type);
  void ResolveProp(TCSSProperty& Property);

 private:
  void AddProperty(const TXMLNode& Node);
  void AddType(const TXMLNode& Node);
  void LoadValues(const TXMLNode& Node, TCSSProperty& Property);
  void Merge(TCSSProperty& Property, TCSSType& Type, int32_t Position);

  TCSSSymbolTable& FTable;
  TFontSource FFonts;
  // <value type="..." first="true">: whose values lead which property's list.
  std::vector<std::pair<const TCSSProperty*, const TCSSType*>> FFirst;
};

}  // namespace kel
