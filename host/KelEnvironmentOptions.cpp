#include "host/KelEnvironmentOptions.h"

#include <string_view>

#include "host/KelFiles.h"
#include "host/KelHostAPI.h"
#include "host/KelRegistry.h"
#include "host/KelStrings.h"

namespace kel {

namespace {

struct TDefaultType {
  const char* TypeID;
  const char* Extensions;
};

constexpr TDefaultType Defaults[] = {
    {"Quorvel.EditOptions.StyleSheet", "css;scss;less"},
    {"Quorvel.EditOptions.HTML", "htm;html;xhtml;aspx;ascx;asp"},
    {"Quorvel.EditOptions.XML", "xml;xsl;xslt;xsd;wml;resx;dtd"},
};

std::string_view Trim(std::string_view S) {
  while (!S.empty() && (S.front() == ' ' || S.front() == '\t')) S.remove_prefix(1);
  while (!S.empty() && (S.back() == ' ' || S.back() == '\t')) S.remove_suffix(1);
  return S;
}

}  // namespace

std::string TEnvironmentOptions::GetExtensionsForTypeID(const std::string& TypeID) {
  TKelRegistry Reg;
  if (Reg.OpenKey(std::string("\\") + kelEditorTypesKey, false) && Reg.ValueExists(TypeID))
    return Reg.ReadString(TypeID);
  for (const auto& D : Defaults)
    if (SameText(D.TypeID, TypeID)) return D.Extensions;
  return {};
}

bool TEnvironmentOptions::MatchExtensions(const std::string& FileName, const std::string& Extensions) {
  const std::string Dotted = ExtractFileExt(FileName);
  if (Dotted.empty()) return false;
  const std::string_view Ext = std::string_view(Dotted).substr(1);
  std::string_view List = Extensions;
  while (!List.empty()) {
    const size_t End = List.find(';');
    std::string_view Item = Trim(List.substr(0, End));
    List = End == std::string_view::npos ? std::string_view() : List.substr(End + 1);
    if (Item.substr(0, 2) == "*.") Item.remove_prefix(2);
    if (Item.substr(0, 1) == ".") Item.remove_prefix(1);
    if (!Item.empty() && SameText(Item, Ext)) return true;
  }
  return false;
}

}  // namespace kel
