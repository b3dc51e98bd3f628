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

json RangeOf(const TLspDocument& Doc, uint32_t Start, uint32_t End, bool Utf8) {
  return {{"start", PositionOf(Doc, Start, Utf8)}, {"end", PositionOf(Doc, End, Utf8)}};
}

// The check of the document's version, made once for its diagnostics and
// its code actions.
const TCheckResult& Checked(TLspContext& Ctx, TLspDocument& Doc) {
  constexpr size_t Max = 1000;
  if (!Doc.LastCheck || Doc.LastCheck->first != Doc.Version) {
    Doc.Tree();
    Doc.LastCheck.emplace(Doc.Version,
                          CheckDocument(Ctx.Host, Doc.Model, Doc.View, TCheckRules::FromOptions(), Max));
  }
  return Doc.LastCheck->second;
}

json Diagnostic(const TLspContext& Ctx, const TLspDocument& Doc, const TDiagnostic& D) {
  return {{"range", RangeOf(Doc, D.Start, D.End, Ctx.Utf8)},
          {"severity", static_cast<int>(D.Severity)},
          {"code", D.Rule},
          {"source", "mlinsight"},
          {"message", D.Message}};
}

}  // namespace

json LspDiagnosticList(TLspContext& Ctx, TLspDocument& Doc) {
  const TCheckResult& Found = Checked(Ctx, Doc);
  json Items = json::array();
  for (const TDiagnostic& D : Found.Problems) Items.push_back(Diagnostic(Ctx, Doc, D));
  if (Found.Dropped > 0)
    Items.push_back({{"range", RangeOf(Doc, 0, 0, Ctx.Utf8)},
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

json LspCodeActions(TLspContext& Ctx, TLspDocument& Doc, const std::string& Uri, const json& Range) {
  const json* Start = LspObject(Range, "start");
  const json* End = LspObject(Range, "end");
  const auto Number = [](const json* P, const char* Key) {
    const auto It = P ? P->find(Key) : json::const_iterator();
    return P && It != P->end() && It->is_number_integer() ? It->get<int64_t>() : int64_t{-1};
  };
  if (Number(Start, "line") < 0 || Number(End, "line") < 0) return json::array();
  const std::string& Text = Doc.Text();
  const auto From =
      static_cast<uint32_t>(LspOffset(Text, Number(Start, "line"), Number(Start, "character"), Ctx.Utf8));
  const auto To =
      static_cast<uint32_t>(LspOffset(Text, Number(End, "line"), Number(End, "character"), Ctx.Utf8));
  json Actions = json::array();
  for (const TDiagnostic& D : Checked(Ctx, Doc).Problems) {
    // A problem touching the range, the caret's one included.
    if (!D.Fix || D.End < From || D.Start > To) continue;
    Actions.push_back({{"title", D.Fix->Title},
                       {"kind", "quickfix"},
                       {"isPreferred", true},
                       {"diagnostics", json::array({Diagnostic(Ctx, Doc, D)})},
                       {"edit",
                        {{"changes",
                          {{Uri, json::array({{{"range", RangeOf(Doc, D.Fix->Start, D.Fix->End, Ctx.Utf8)},
                                               {"newText", D.Fix->Text}}})}}}}}});
  }
  return Actions;
}

}  // namespace kel
