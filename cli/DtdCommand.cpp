#include "cli/DtdCommand.h"

#include <filesystem>
#include <nlohmann/json.hpp>

#include "host/KelFiles.h"
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

int RunDtd(const std::string& FileName, TKibitzMode Mode, bool Json, std::ostream& Out, std::ostream& Err) {
  // What is read is a regular file: a pipe or a device is never waited on.
  if (!FileExists(FileName)) {
    std::error_code Ec;
    Err << "mlinsight: cannot read " << FileName << ": "
        << (!std::filesystem::exists(FileName, Ec)        ? "no such file"
            : std::filesystem::is_directory(FileName, Ec) ? "it is a folder"
                                                          : "not a regular file")
        << '\n';
    return 1;
  }
  TDTDParser Parser;
  Parser.KibitzMode = Mode;
  json Messages = json::array();
  Parser.OnError = [&Messages](TDTDParser*, TParseError E, const std::string& Msg, int32_t Line,
                               const std::string& File) {
    Messages.push_back({{"severity", ParseErrorWord(E)}, {"line", Line}, {"file", File}, {"text", Msg}});
  };
  Parser.LoadFromFile(FileName);
  std::vector<TDTDElement*> Elements;
  std::vector<TDTDEntity*> Entities;
  std::vector<TDTDParameterizedEntity*> Parameters;
  for (int32_t I = 0; I < Parser.SymbolCount(); ++I) {
    TDTDSymbol* S = Parser.GetSymbol(I);
    // Content names are entered as elements too; only declared ones count.
    if (auto* E = dynamic_cast<TDTDElement*>(S)) {
      if (E->HasExprList()) Elements.push_back(E);
    } else if (auto* G = dynamic_cast<TDTDEntity*>(S)) {
      Entities.push_back(G);
    } else if (auto* P = dynamic_cast<TDTDParameterizedEntity*>(S)) {
      Parameters.push_back(P);
    }
  }
  // Written one declaration at a time: a name group may give a thousand
  // elements one list of 100,000 values, gigabytes as one document.
  const auto Dump = [](const json& J) { return J.dump(-1, ' ', false, json::error_handler_t::replace); };
  const auto List = [&](const char* Key, const auto& Items, const auto& Item) {
    Out << '"' << Key << "\":[";
    for (size_t I = 0; I < Items.size(); ++I) Out << (I ? "," : "") << Dump(Item(*Items[I]));
    Out << ']';
  };
  if (Json) {
    Out << '{';
    List("elements", Elements, ElementJson);
    Out << ',';
    List("entities", Entities, [](const TDTDEntity& G) {
      json Values = json::array();
      for (int32_t V = 0; V < G.ValueCount(); ++V) Values.push_back(G.GetValues(V));
      return json{{"name", G.Name}, {"values", Values}};
    });
    Out << ",\"messages\":" << Dump(Messages) << ',';
    List("parameterEntities", Parameters, [](const TDTDParameterizedEntity& P) {
      return json{{"name", P.Name}, {"publicId", P.PublicId}, {"systemId", P.SystemId}, {"text", P.Text}};
    });
    Out << "}\n";
  } else {
    Out << FileName << ": " << Elements.size() << " elements, " << Entities.size() << " entities, "
        << Parameters.size() << " parameter entities, " << Messages.size() << " messages\n";
    for (const auto& M : Messages)
      Out << M["severity"].get<std::string>() << ": " << M["file"].get<std::string>() << "("
          << M["line"].get<int>() << "): " << M["text"].get<std::string>() << '\n';
  }
  return 0;
}

}  // namespace kel
