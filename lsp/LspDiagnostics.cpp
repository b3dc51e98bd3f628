#include "lsp/LspDiagnostics.h"

#include "diagnostics/DocumentCheck.h"
#include "lsp/LspPositions.h"
#include "lsp/LspProtocol.h"

namespace kel {

using nlohmann::json;

namespace {

json PositionOf(const TLspDocument& Doc, uint32_t Offset, bool Utf8) {
  const TMemoryEditView& View = *Doc.View;
  const auto At = static_cast<int32_t>(std::min<size_t>(Offset, View.Text().size()));
  const int32_t Line = View.LineOf(At);
  const auto Start = static_cast<size_t>(View.LineStart(Line));
  return {{"line", Line - 1},
          {"character", LspUnitsBetween(View.Text(), Start, static_cast<size_t>(At), Utf8)}};
}

}  // namespace

json LspDiagnosticList(TLspContext& Ctx, TLspDocument& Doc) {
  constexpr size_t Max = 1000;
  Doc.Tree();
  const TCheckResult Found = CheckDocument(Ctx.Host, Doc.Model, Doc.View, TRuleSet::FromOptions(), Max);
  json Items = json::array();
  for (const TDiagnostic& D : Found.Problems)
    Items.push_back(
        {{"range",
          {{"start", PositionOf(Doc, D.Start, Ctx.Utf8)}, {"end", PositionOf(Doc, D.End, Ctx.Utf8)}}},
         {"severity", static_cast<int>(D.Severity)},
         {"code", D.Rule},
         {"source", "mlinsight"},
         {"message", D.Message}});
  if (Found.Dropped > 0)
    Items.push_back(
        {{"range", {{"start", {{"line", 0}, {"character", 0}}}, {"end", {{"line", 0}, {"character", 0}}}}},
         {"severity", 3},
         {"source", "mlinsight"},
         {"message", std::to_string(Found.Dropped) + " more problems are not listed"}});
  return Items;
}

json LspDocumentDiagnostic(TLspContext& Ctx, TLspDocument& Doc, const json& Params) {
  const std::string Result = std::to_string(Doc.Version);
  if (LspString(Params, "previousResultId") == Result) return {{"kind", "unchanged"}, {"resultId", Result}};
  return {{"kind", "full"}, {"resultId", Result}, {"items", LspDiagnosticList(Ctx, Doc)}};
}

}  // namespace kel
