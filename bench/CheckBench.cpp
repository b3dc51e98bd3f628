// Checking a document against its schema, in process: a 1 MB HTML5 page
// read from scratch (its tree, the parse that selects its schema, the walk),
// and the walk alone on a model that has read it once. Reports the problems
// found (the example page has none) and MB/s.
#include <benchmark/benchmark.h>

#include "bench/BenchSupport.h"
#include "completion/HTMReg.h"
#include "completion/MLInsightPackage.h"
#include "diagnostics/DocumentCheck.h"

namespace {

using namespace kel;

void Check(benchmark::State& State, bool Fresh) {
  const auto Host = MakeKel<TMemoryHost>();
  Host->SetExecutableFileName(MLINSIGHT_BINARY_DIR "/bin/mlinsight");
  Host->SetOptionsFileName("");
  SetQuorvelIDEServices(Host.get());
  PackageLoad();
  IDERegister();
  {
    // The copies of the body give their ids and labels' references up: the
    // page stays valid.
    std::string Text = bench::LargePage(1 << 20, "\n");
    for (const std::string Attribute : {" id=\"", " for=\""})
      for (size_t At = Text.find(Attribute); At != std::string::npos; At = Text.find(Attribute, At))
        Text.replace(At, Attribute.size(), " title=\"");
    const auto View = MakeMemoryEditView(std::move(Text), "page.html");
    TDocumentModel Warm("page.html");
    Warm.Tree(View->Text(), 1);
    CheckDocument(*Host, Warm, View, TCheckRules());  // loads the schema
    size_t Problems = 0;
    for (auto _ : State) {
      TDocumentModel Model("page.html");
      TDocumentModel& Used = Fresh ? Model : Warm;
      if (Fresh) Model.Tree(View->Text(), 1);
      Problems = CheckDocument(*Host, Used, View, TCheckRules()).Problems.size();
    }
    State.counters["problems"] = static_cast<double>(Problems);
    State.SetBytesProcessed(static_cast<int64_t>(State.iterations()) *
                            static_cast<int64_t>(View->Text().size()));
  }
  PackageUnload();
  SetQuorvelIDEServices(nullptr);
}

}  // namespace

BENCHMARK_CAPTURE(Check, Page1MB, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Check, Page1MBRead, false)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
