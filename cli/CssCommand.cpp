#include "cli/CssCommand.h"

#include <nlohmann/json.hpp>
#include <vector>

#include "cli/TextPositions.h"
#include "css/CSSParser.h"
#include "css/CSSSchemaLoader.h"
#include "css/CSSUnitEditor.h"
#include "host/KelStream.h"
#include "markup/MLBufferProducer.h"

namespace kel {

namespace {

using nlohmann::json;

json List(const TCSSStringList& L) {
  json R = json::array();
  for (int32_t I = 0; I < L.GetCount(); ++I) R.push_back(L.GetItem(I));
  return R;
}

json Values(const TCSSProperty& P) {
  json R = json::array();
  for (const TCSSValue* V : P.Values)
    R.push_back(V->Kind == TCSSValueKind::cssVkType ? V->Name + "..." : V->Name);
  return R;
}

std::string Joined(const json& A) {
  std::string S;
  for (const auto& V : A) S += (S.empty() ? "" : " ") + V.get<std::string>();
  return S;
}

}  // namespace

int RunCssTokens(const std::string& FileName, int32_t Point, std::ostream& Out, std::ostream& Err) {
  std::string Text;
  if (!ReadWholeFile(FileName, Text, Err)) return 1;
  TKelStringStream Stream(Text);
  auto Producer = MakeKel<TMLBufferProducer>(&Stream);
  TStyleSheetScanner Scanner;
  Scanner.SetBufferAndPoint(Producer.get(), Point < 0 ? INT32_MAX : Point);
  for (;;) {
    const uint8_t T = Scanner.GetToken();
    const bool Last = T == csstEof || T == csstKibitz;
    Out << static_cast<int>(T) << ' ' << (T == csstKibitz ? "caret" : TStyleSheetScanner::TokenToStr(T))
        << ' ' << (Last ? "" : Scanner.GetTokenStr()) << ' ' << Scanner.GetLine() + 1 << '\n';
    if (Last) return 0;
  }
}

int RunCssPos(const std::string& FileName, int32_t Point, bool Errors, std::ostream& Out, std::ostream& Err) {
  std::string Text;
  if (!ReadWholeFile(FileName, Text, Err)) return 1;
  TStyleSheetParser Parser;
  // Without the schema the position is still worth knowing; the property is not.
  if (std::string Error; !LoadCSSSchema(Parser.GetSymbolTable(), Error))
    Err << "mlinsight: " << Error << '\n';
  std::vector<std::string> Messages;
  Parser.SetOnParseError([&Messages](void*, const std::string& Msg) { Messages.push_back(Msg); });
  TKelStringStream Stream(Text);
  auto Producer = MakeKel<TMLBufferProducer>(&Stream);
  Parser.SetBufferAndPoint(Producer.get(), Point);
  Parser.Parse();
  static const char* const Names[] = {"kpNone", "kpExpr", "kpProperty", "kpRule", "kpComment"};
  const TCSSProperty* P = Parser.GetSymbolTable().GetKibitzProperty();
  Out << Names[static_cast<int>(Parser.GetKibitzPos())] << ' ' << (P ? P->Name : "none") << '\n';
  if (Errors)
    for (const auto& M : Messages) Out << M << '\n';
  return 0;
}

int RunCssSchema(const std::string& Property, bool Json, std::ostream& Out, std::ostream& Err) {
  TCSSSymbolTable Table(nullptr);
  if (std::string Error; !LoadCSSSchema(Table, Error)) {
    Err << "mlinsight: " << Error << '\n';
    return 1;
  }
  if (!Property.empty()) {
    const TCSSProperty* P = Table.LookupProperty(Property);
    if (!P) {
      Err << "mlinsight: css.xml has no property " << Property << '\n';
      return 1;
    }
    if (Json)
      Out << json{{"name", P->Name},
                  {"description", P->Description},
                  {"inherited", P->Inherited},
                  {"media", List(P->Media)},
                  {"values", Values(*P)}}
                 .dump(-1, ' ', false, json::error_handler_t::replace)
          << '\n';
    else
      for (const auto& V : Values(*P)) Out << V.get<std::string>() << '\n';
    return 0;
  }
  json Props = json::array(), Types = json::array(), Editors = json::array();
  for (int32_t I = 0; I < Table.GetPropCount(); ++I) {
    const TCSSProperty* P = Table.GetProp(I);
    Props.push_back({{"name", P->Name},
                     {"description", P->Description},
                     {"inherited", P->Inherited},
                     {"media", List(P->Media)},
                     {"values", Values(*P)}});
  }
  for (int32_t I = 0; I < Table.GetTypeCount(); ++I) {
    const TCSSType* T = Table.GetType(I);
    Types.push_back({{"name", T->Name},
                     {"editable", T->Editable},
                     {"values", List(T->Values)},
                     {"refs", List(T->Refs)},
                     {"intrinsicTypes", List(T->IntrinsicTypes)}});
  }
  for (int32_t I = 0; I < Table.GetEditorCount(); ++I) {
    TCSSEditor* E = Table.GetEditor(I);
    auto* U = dynamic_cast<TCSSUnitEditor*>(E);
    Editors.push_back({{"name", E->Name}, {"units", U ? List(U->GetUnitList()) : json::array()}});
  }
  if (Json) {
    Out << json{{"properties", Props}, {"types", Types}, {"editors", Editors}}.dump(
               -1, ' ', false, json::error_handler_t::replace)
        << '\n';
    return 0;
  }
  for (const auto& P : Props) Out << P["name"].get<std::string>() << ": " << Joined(P["values"]) << '\n';
  Out << "\ntypes:\n";
  for (const auto& T : Types) {
    Out << "  " << T["name"].get<std::string>() << (T["editable"].get<bool>() ? " (editable)" : "") << ":";
    if (!T["values"].empty()) Out << " values " << Joined(T["values"]);
    if (!T["refs"].empty()) Out << " refs " << Joined(T["refs"]);
    if (!T["intrinsicTypes"].empty()) Out << " units " << Joined(T["intrinsicTypes"]);
    Out << '\n';
  }
  Out << "\neditors:\n";
  for (const auto& E : Editors)
    Out << "  " << E["name"].get<std::string>() << (E["units"].empty() ? "" : " " + Joined(E["units"]))
        << '\n';
  return 0;
}

}  // namespace kel
