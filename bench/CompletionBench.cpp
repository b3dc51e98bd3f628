// The whole markup completion cycle on a 1 MB page with the caret near its
// end: invoke (one parse with the page's schema), list every row, accept the
// first with Enter, undo. Beside it, the parse alone on the same page and
// schema, so the cost of the cycle over the parse is visible; and the cycle
// on a 1 MB style sheet.
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>

#include "completion/HTMLCodCmplt.h"
#include "css/CSSCodCmplt.h"
#include "host/CompletionCycle.h"
#include "host/MemoryHost.h"
#include "markup/MLBufferProducer.h"
#include "symbols/MLSymbolManager.h"

namespace {

using namespace kel;

std::string Page(size_t Size) {
  std::ifstream In(MLINSIGHT_SOURCE_DIR "/examples/index.html", std::ios::binary);
  std::ostringstream S;
  S << In.rdbuf();
  const std::string Example = S.str();
  const size_t BodyStart = Example.find("<body>") + 6;
  const size_t BodyEnd = Example.find("</body>");
  const std::string Body = Example.substr(BodyStart, BodyEnd - BodyStart);
  std::string Text = Example.substr(0, BodyStart);
  while (Text.size() < Size) Text += Body;
  return Text + "\n<div>";
}

struct TSetup {
  TSetup() : Host(MakeKel<TMemoryHost>()), View(MakeMemoryEditView(Page(1 << 20), "page.html")) {
    Host->SetExecutableFileName(MLINSIGHT_BINARY_DIR "/bin/mlinsight");
    Host->SetOptionsFileName("");
    SetQuorvelIDEServices(Host.get());
    Manager = MarkupLanguageManager();
    Manager->SetInsertQuotes(true);
    Host->AddCodeInsightManager(Manager.get());
    View->SetCaretOffset(static_cast<int32_t>(View->Text().size()));
    Host->SetCurrentEditView(View);
    Manager->HandlesFile("page.html");
  }
  ~TSetup() { SetQuorvelIDEServices(nullptr); }
  TKelPtr<TMemoryHost> Host;
  TKelPtr<TMemoryEditView> View;
  TKelPtr<IKelMLCodeInsightManager> Manager;
};

void CompletionCycle(benchmark::State& State) {
  TSetup S;
  TCompletionCycle Cycle(*S.Host);
  Cycle.SetManager(S.Manager);
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

void ParseOnly(benchmark::State& State) {
  TSetup S;
  TMLParser& Parser = *MLSymbolManager().GetParser();
  for (auto _ : State) {
    auto Producer = MakeKel<TMLBufferProducer>(S.View.get());
    Parser.Parse(S.View->GetCursorPos(), Producer.get(), nullptr);
    benchmark::DoNotOptimize(Parser.FCurrentTag.get());
  }
}

// The same cycle in a 1 MB style sheet: values of display at its end.
void StyleSheetCycle(benchmark::State& State) {
  std::ifstream In(MLINSIGHT_SOURCE_DIR "/examples/style/site.css", std::ios::binary);
  std::ostringstream S;
  S << In.rdbuf();
  std::string Text;
  while (Text.size() < (1u << 20)) Text += S.str();
  Text += "\np { display: ";
  auto Host = MakeKel<TMemoryHost>();
  Host->SetExecutableFileName(MLINSIGHT_BINARY_DIR "/bin/mlinsight");
  Host->SetOptionsFileName("");
  SetQuorvelIDEServices(Host.get());
  auto View = MakeMemoryEditView(Text, "site.css");
  View->SetCaretOffset(static_cast<int32_t>(Text.size()));
  Host->SetCurrentEditView(View);
  const auto Manager = MakeKel<TCSSKibitzManager>();
  TCompletionCycle Cycle(*Host);
  Cycle.SetManager(Manager.get());
  Cycle.SetClassifier(StyleSheetElementAt);
  size_t Rows = 0;
  for (auto _ : State) {
    if (!Cycle.Type(0)) State.SkipWithError("no list");
    Rows = Cycle.Items().size();
    Cycle.Key('\r');
    State.PauseTiming();
    View->Undo();
    State.ResumeTiming();
  }
  State.counters["rows"] = static_cast<double>(Rows);
  SetQuorvelIDEServices(nullptr);
}

BENCHMARK(StyleSheetCycle)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(CompletionCycle)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(ParseOnly)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
