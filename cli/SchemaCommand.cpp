#include "cli/SchemaCommand.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/TextPositions.h"
#include "host/MemoryEditor.h"
#include "markup/MLBufferProducer.h"
#include "symbols/HTMLAttributeEditors.h"
#include "symbols/MLSymbolManager.h"

namespace kel {

namespace {

using nlohmann::json;

json ChildNames(IKelMLTag* Tag) {
  json R = json::array();
  if (Tag)
    for (const auto& C : AllChildren(Tag)) R.push_back(C->GetName());
  return R;
}

json TagJson(TMLSymbolManager& M, IKelMLTag* Tag) {
  json Attributes = json::array();
  Tag->SetShowAttributes(true);
  Tag->SetFilter("");
  for (int32_t I = 0; I < Tag->GetAttributeCount(); ++I) {
    TKelPtr<IKelMLTagAttribute> A = Tag->GetAttribute(I);
    if (!A) continue;
    A->SetFilter("");
    json Values = json::array();
    for (int32_t V = 0; V < A->GetCount(); ++V) Values.push_back(A->GetValue(V));
    TKelPtr<IKelMLTagAttribute> Found;
    TKelPtr<IKelMLEditor> Editor;
    M.GetAttributeEditorFromHashList(A->GetName(), Found, Editor, Tag->GetName());
    const char* Kind = Found.get() == A.get() ? AttributeEditorKind(Editor.get()) : nullptr;
    Attributes.push_back({{"name", A->GetName()},
                          {"event", supports<IKelMLTagAttributeEvent>(A)},
                          {"required", A->GetRequired()},
                          {"fixed", A->GetFixed()},
                          {"fixedValue", A->GetFixedValue()},
                          {"values", Values},
                          {"editor", Kind ? json(Kind) : json()}});
  }
  Tag->SetShowAttributes(false);
  const auto* Own = dynamic_cast<THTMLTag*>(Tag);
  return {{"name", Tag->GetName()},
          {"empty", Tag->GetEmpty()},
          {"any", Tag->GetAny()},
          {"requiresClosingTag", Tag->GetRequiresClosingTag()},
          {"requiresOpeningTag", Tag->GetRequiresOpeningTag()},
          {"children", ChildNames(Tag)},
          {"requiredChildren", Own ? json(Own->RequiredChildren()) : json::array()},
          {"attributes", Attributes}};
}

}  // namespace

int RunSchema(const TSchemaRequest& R, TMemoryHost& Host, std::ostream& Out, std::ostream& Err) {
  TMLSymbolManager M;
  M.SetKibitzMode(R.Mode);
  M.SetTagCase(TTagCase::tcNormal);
  M.SetIsASPEnabled(R.ASP);
  if (R.DocType.empty() && !R.FileName.empty()) {
    std::string Text;
    if (!ReadWholeFile(R.FileName, Text, Err)) return 1;
    M.SetFileName(R.FileName);
    auto View = MakeMemoryEditView(Text, R.FileName);
    M.GetParser()->BootStrapDTD(MakeKel<TMLBufferProducer>(View.get()).get());
  } else {
    M.SetSchemaFile(R.DocType);
  }

  json Tags = json::array();
  for (const auto& Entry : M.GetRegisteredTags())
    if (!supports<IKelMLClosingTag>(Entry.Tag)) Tags.push_back(TagJson(M, Entry.Tag.get()));
  json Entities = json::array();
  TAsciiCharList& Chars = M.GetCharList();
  Chars.SetFilter("");
  for (int32_t I = 0; I < Chars.GetCount(); ++I)
    Entities.push_back({{"name", Chars.GetItem(I)}, {"code", Chars.GetAsciiVal(I)}});
  json Messages = json::array();
  for (const auto& Msg : Host.Messages())
    Messages.push_back({{"prefix", Msg.Prefix},
                        {"file", Msg.FileName},
                        {"line", Msg.Line},
                        {"column", Msg.Column},
                        {"text", Msg.Text}});
  const json Root = ChildNames(M.GetHiddenRootNode().get());
  if (R.Json) {
    Out << json{{"schemaFile", M.GetSchemaFile()},
                {"root", Root},
                {"tags", Tags},
                {"entities", Entities},
                {"messages", Messages}}
               .dump(-1, ' ', false, json::error_handler_t::replace)
        << '\n';
  } else {
    Out << (M.GetSchemaFile().empty() ? "(no schema)" : M.GetSchemaFile()) << ": " << Tags.size() << " tags, "
        << Entities.size() << " entities\nroot:";
    for (const auto& N : Root) Out << ' ' << N.get<std::string>();
    Out << '\n';
    for (const auto& T : Tags) {
      Out << T["name"].get<std::string>() << ':';
      for (const auto& C : T["children"]) Out << ' ' << C.get<std::string>();
      Out << '\n';
    }
  }
  M.GetParser()->ReleaseTags();
  M.ClearTags();
  return 0;
}

}  // namespace kel
