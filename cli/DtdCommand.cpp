#include "cli/DtdCommand.h"

#include <nlohmann/json.hpp>

#include "schema/DTDParser.h"

namespace kel {

namespace {

using nlohmann::json;

json Names(const TDTDExprNode* Node) {
  std::vector<TDTDSymbol*> Symbols;
  CollectSymbols(Node, Symbols);
  json R = json::array();
  for (const auto* S : Symbols) R.push_back(S->Name);
  return R;
}

json ElementJson(TDTDElement& E) {
  json Attributes = json::array();
  json Content = json::array();
  if (E.HasExprList()) {
    for (int32_t I = 0; I < E.GetExprList().Count(); ++I) {
      const TDTDExprNode* Node = E.GetExprList().GetExpr(I);
      if (auto* A = dynamic_cast<TDTDAttribute*>(Node->Symbol)) {
        Attributes.push_back({{"name", A->Name},
                              {"type", Names(Node->Next)},
                              {"required", A->Attributes && A->Attributes->Required},
                              {"fixed", A->Attributes && A->Attributes->Fixed},
                              {"fixedValue", A->Attributes ? A->Attributes->FixedValue : ""},
                              {"editor", A->Editor}});
      }
    }
  }
  if (E.Content) Content = Names(E.Content);
  return {{"name", E.Name},
          {"startTagRequired", E.StartTagRequired},
          {"endTagRequired", E.EndTagRequired},
          {"empty", E.Empty},
          {"any", E.Any},
          {"content", Content},
          {"inclusions", Names(E.Inclusions)},
          {"exclusions", Names(E.Exclusions)},
          {"entity", E.GetEntity()},
          {"attributes", Attributes}};
}

}  // namespace

int RunDtd(const std::string& FileName, TKibitzMode Mode, bool Json, std::ostream& Out) {
  TDTDParser Parser;
  Parser.KibitzMode = Mode;
  json Messages = json::array();
  Parser.OnError = [&Messages](TDTDParser*, TParseError E, const std::string& Msg, int32_t Line,
                               const std::string& File) {
    Messages.push_back({{"severity", ParseErrorWord(E)}, {"line", Line}, {"file", File}, {"text", Msg}});
  };
  Parser.LoadFromFile(FileName);
  // Written as they are made: a name group may give a thousand elements one
  // list of 100,000 values, gigabytes as one document.
  const auto Dump = [](const json& J) { return J.dump(-1, ' ', false, json::error_handler_t::replace); };
  size_t Counts[3] = {0, 0, 0};
  for (int Pass = 0; Pass < 3; ++Pass) {
    if (Json) Out << (Pass == 0 ? "{\"elements\":[" : Pass == 1 ? "],\"entities\":[" : "],\"messages\":");
    if (Json && Pass == 2) Out << Dump(Messages) << ",\"parameterEntities\":[";
    for (int32_t I = 0; I < Parser.SymbolCount(); ++I) {
      TDTDSymbol* S = Parser.GetSymbol(I);
      json Item;
      // Content names are entered as elements too; only declared ones count.
      if (auto* E = dynamic_cast<TDTDElement*>(S); E && Pass == 0) {
        if (!E->HasExprList()) continue;
        if (Json) Item = ElementJson(*E);
      } else if (auto* G = dynamic_cast<TDTDEntity*>(S); G && Pass == 1) {
        if (Json) {
          json Values = json::array();
          for (int32_t V = 0; V < G->ValueCount(); ++V) Values.push_back(G->GetValues(V));
          Item = {{"name", G->Name}, {"values", Values}};
        }
      } else if (auto* P = dynamic_cast<TDTDParameterizedEntity*>(S); P && Pass == 2) {
        if (Json)
          Item = {{"name", P->Name}, {"publicId", P->PublicId}, {"systemId", P->SystemId}, {"text", P->Text}};
      } else {
        continue;
      }
      if (Json) Out << (Counts[Pass] ? "," : "") << Dump(Item);
      ++Counts[Pass];
    }
  }
  if (Json) {
    Out << "]}\n";
  } else {
    Out << FileName << ": " << Counts[0] << " elements, " << Counts[1] << " entities, " << Counts[2]
        << " parameter entities, " << Messages.size() << " messages\n";
    for (const auto& M : Messages)
      Out << M["severity"].get<std::string>() << ": " << M["file"].get<std::string>() << "("
          << M["line"].get<int>() << "): " << M["text"].get<std::string>() << '\n';
  }
  return 0;
}

}  // namespace kel
