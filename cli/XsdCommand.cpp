#include "cli/XsdCommand.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "host/KelFiles.h"
#include "host/KelStrings.h"
#include "schema/XSDReader.h"

namespace kel {

namespace {

using nlohmann::json;

json SimpleTypeJson(const TXSDSimpleType& T) {
  json Restrictions = json::array();
  for (int32_t I = 0; I < T.GetRestrictionCount(); ++I)
    Restrictions.push_back(
        {{"base", T.GetRestrictions(I)->Base}, {"enumerations", T.GetRestrictions(I)->Enumerations}});
  return {{"name", T.Name}, {"level", T.Level}, {"restrictions", Restrictions}};
}

json AttributesJson(const TXSDBaseType& T) {
  json R = json::array();
  for (int32_t I = 0; I < T.GetAttributeCount(); ++I) {
    const TXSDAttribute* A = T.GetAttributes(I);
    json Values = json::array();
    for (int32_t V = 0; V < A->GetCount(); ++V) Values.push_back(SimpleTypeJson(*A->GetValue(V)));
    R.push_back({{"name", A->Name},
                 {"typeName", A->TypeName},
                 {"builder", Utf16ToUtf8(A->Builder)},
                 {"values", Values}});
  }
  return R;
}

json TypeJson(const TXSDBaseType& T) {
  json R = {
      {"name", T.Name}, {"level", T.Level}, {"attributes", AttributesJson(T)}, {"attrGroups", T.AttrGroups}};
  if (auto* Type = dynamic_cast<const TXSDType*>(&T)) {
    json Children = json::array();
    for (int32_t I = 0; I < Type->GetChildCount(); ++I) Children.push_back(Type->GetChild(I)->Name);
    R["children"] = Children;
  }
  return R;
}

// The reader keeps these lists newest first; print them as written.
std::vector<TXSDClass*> InOrder(TXSDClassEntry* First) {
  std::vector<TXSDClass*> R;
  for (TXSDClassEntry* E = First; E; E = E->Next) R.push_back(E->Item);
  std::reverse(R.begin(), R.end());
  return R;
}

std::string Flags(const json& E) {
  std::string R;
  for (const char* F : {"nonbrowseable", "implicitclosure", "unqualified"})
    if (E[F].get<bool>()) R += std::string(" ") + F;
  return R;
}

}  // namespace

int RunXsd(const std::string& FileName, bool Json, std::ostream& Out, std::ostream& Err) {
  if (!FileExists(FileName)) {
    Err << "mlinsight: cannot read " << FileName << '\n';
    return 1;
  }
  TXSDReader Reader;
  json Messages = json::array();
  Reader.OnError = [&Messages](TXSDReader*, const std::string& File, const std::string& Msg) {
    Messages.push_back({{"file", File}, {"text", Msg}});
  };
  Reader.LoadFromFile(FileName);

  json Elements = json::array();
  for (auto* E = Reader.GetFirstElement(); E; E = Reader.GetNextElement(E)) {
    const TXSDElement* El = TXSDReader::ElementOf(E);
    json Inner = nullptr;
    if (auto* T = dynamic_cast<const TXSDType*>(El->ElementType))
      Inner = TypeJson(*T);
    else if (auto* S = dynamic_cast<const TXSDSimpleType*>(El->ElementType))
      Inner = SimpleTypeJson(*S);
    Elements.push_back({{"name", El->Name},
                        {"level", El->Level},
                        {"parentName", El->ParentName},
                        {"typeName", El->TypeName},
                        {"ref", El->Ref},
                        {"elementType", Inner},
                        {"nonbrowseable", El->NonBrowseable},
                        {"implicitclosure", El->ImplicitClosure},
                        {"unqualified", El->Unqualified}});
  }
  json Types = json::array(), Groups = json::array(), Simple = json::array();
  for (TXSDClass* C : InOrder(Reader.GetFirstType()))
    if (!C->Name.empty()) Types.push_back(TypeJson(*static_cast<TXSDType*>(C)));
  for (TXSDClass* C : InOrder(Reader.GetFirstAttrGroup()))
    Groups.push_back(TypeJson(*static_cast<TXSDBaseType*>(C)));
  for (TXSDClass* C : InOrder(Reader.GetFirstSimpleType()))
    if (!C->Name.empty()) Simple.push_back(SimpleTypeJson(*static_cast<TXSDSimpleType*>(C)));

  if (Json) {
    Out << json{{"namespacePrefix", Reader.GetNamespacePrefix()},
                {"defaultQualified", Reader.GetDefaultQualified()},
                {"elements", Elements},
                {"complexTypes", Types},
                {"attributeGroups", Groups},
                {"simpleTypes", Simple},
                {"messages", Messages}}
               .dump(-1, ' ', false, json::error_handler_t::replace)
        << '\n';
    return 0;
  }
  Out << FileName << ": prefix \"" << Reader.GetNamespacePrefix() << "\", " << Elements.size()
      << " elements, " << Types.size() << " complex types, " << Groups.size() << " attribute groups, "
      << Simple.size() << " simple types, " << Messages.size() << " messages\n";
  for (const auto& E : Elements)
    Out << std::string(2 * static_cast<size_t>(std::max(0, E["level"].get<int>())), ' ') << "element "
        << (E["name"].get<std::string>().empty() ? "(nameless)" : E["name"].get<std::string>())
        << (E["parentName"].get<std::string>().empty() ? "" : " in " + E["parentName"].get<std::string>())
        << (E["typeName"].get<std::string>().empty() ? "" : " : ") << E["typeName"].get<std::string>()
        << Flags(E) << '\n';
  for (const auto& T : Types) {
    Out << "complexType " << T["name"].get<std::string>() << '\n';
    for (const auto& A : T["attributes"])
      Out << "  @" << A["name"].get<std::string>() << " : " << A["typeName"].get<std::string>()
          << (A["builder"].get<std::string>().empty() ? "" : " builder ") << A["builder"].get<std::string>()
          << '\n';
  }
  for (const auto& M : Messages)
    Out << "Failure: " << M["file"].get<std::string>() << ": " << M["text"].get<std::string>() << '\n';
  return 0;
}

}  // namespace kel
