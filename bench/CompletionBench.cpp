// The whole markup completion cycle on a 1 MB page with the caret near its
// end: invoke (one parse with the page's schema), list every row, accept the
// first with Enter, undo. Beside it, the parse alone on the same page and
// schema, so the cost of the cycle over the parse is visible; and the cycle
// on a 1 MB style sheet.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/BenchSupport.h"
#include "completion/HTMLCodCmplt.h"
#include "css/CSSCodCmplt.h"
#include "document/DocumentModel.h"
#include "host/CompletionCycle.h"
#include "host/MemoryHost.h"
#include "markup/MLBufferProducer.h"
#include "symbols/MLSymbolManager.h"

namespace {

using namespace kel;

// Our host with the build's schemas and a view on Text, the caret at its end.
struct TSetup {
  TSetup(const std::string& Text, const std::string& File)
      : Host(MakeKel<TMemoryHost>()), View(MakeMemoryEditView(Text, File)) {
    Host->SetExecutableFileName(MLINSIGHT_BINARY_DIR "/bin/mlinsight");
    Host->SetOptionsFileName("");
    SetQuorvelIDEServices(Host.get());
    View->SetCaretOffset(static_cast<int32_t>(Text.size()));
    Host->SetCurrentEditView(View);
  }
  ~TSetup() { SetQuorvelIDEServices(nullptr); }
  TKelPtr<TMemoryHost> Host;
  TKelPtr<TMemoryEditView> View;
};

struct TPageSetup : TSetup {
  TPageSetup() : TSetup(bench::LargePage(1 << 20, "\n<div>"), "page.html"), Manager(MarkupLanguageManager()) {
    Manager->SetInsertQuotes(true);
    Manager->HandlesFile("page.html");
  }
  TKelPtr<IKelMLCodeInsightManager> Manager;
};

// Invoke, list, accept the first row, then undo outside the timing.
void RunCycles(benchmark::State& State, TSetup& S, TCompletionCycle& Cycle) {
  size_t Rows = 0;
  for (auto _ : State) {
    if (!Cycle.Type(0)) State.SkipWithError("no list");
    Rows = Cycle.Items().size();
    Cycle.Key('\r');
    State.PauseTiming();
    S.View->Undo();
    State.ResumeTiming();
  }
  State.counters["rows"] = static_cast<double>(Rows);
}

void CompletionCycle(benchmark::State& State) {
  TPageSetup S;
  TCompletionCycle Cycle(*S.Host);
  Cycle.SetManager(S.Manager);
  Cycle.SetClassifier([](const std::string& Text, int32_t Offset) { return MarkupElementAt(Text, Offset); });
  RunCycles(State, S, Cycle);
}

void ParseOnly(benchmark::State& State) {
  TPageSetup S;
  TMLParser& Parser = *MLSymbolManager().GetParser();
  for (auto _ : State) {
    auto Producer = MakeKel<TMLBufferProducer>(S.View.get());
    Parser.Parse(S.View->GetCursorPos(), Producer.get(), nullptr);
    benchmark::DoNotOptimize(Parser.Caret().CurrentTag.get());
  }
}

// The same cycle in a 1 MB style sheet: values of display at its end.
void StyleSheetCycle(benchmark::State& State) {
  TSetup S(bench::LargeSheet(1 << 20, "\np { display: "), "site.css");
  const auto Manager = MakeKel<TCSSKibitzManager>();
  TCompletionCycle Cycle(*S.Host);
  Cycle.SetManager(Manager.get());
  Cycle.SetClassifier(StyleSheetElementAt);
  RunCycles(State, S, Cycle);
}

BENCHMARK(StyleSheetCycle)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(CompletionCycle)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(ParseOnly)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
