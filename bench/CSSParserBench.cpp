// One style-sheet completion request's parse: a 1 MB sheet (the bundled
// site.css repeated) read to a caret at its end, the node tree built and the
// position found. Reports MB/s, the heap the tree takes, and the growth of
// the peak resident set over repeated parses (each parse frees the last tree).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <string>

#include "bench/BenchSupport.h"
#include "css/CSSParser.h"
#include "css/CSSSchemaLoader.h"
#include "host/KelStream.h"
#include "markup/MLBufferProducer.h"

namespace {

using namespace kel;

void ParseSheet(benchmark::State& State) {
  const std::string Text = bench::LargeSheet(static_cast<size_t>(State.range(0)) << 20, "\na { color: ");
  TStyleSheetParser Parser;
  Parser.GetSymbolTable().NewProperty("color");
  long AfterFirst = 0;
  size_t TreeBytes = 0;
  for (auto _ : State) {
    TKelStringStream Stream(Text);
    auto Producer = MakeKel<TMLBufferProducer>(&Stream);
    Parser.SetBufferAndPoint(Producer.get(), static_cast<int32_t>(Text.size()));
    const size_t HeapBefore = mallinfo2().uordblks;
    benchmark::DoNotOptimize(Parser.Parse());
    // The first parse has no earlier tree to free: what it adds is its tree.
    if (!TreeBytes) TreeBytes = mallinfo2().uordblks - std::min(HeapBefore, mallinfo2().uordblks);
    if (!AfterFirst) AfterFirst = bench::PeakKiB();
  }
  if (Parser.GetKibitzPos() != TKibitzPos::kpExpr) State.SkipWithError("the caret is not in a value");
  State.SetBytesProcessed(static_cast<int64_t>(State.iterations()) * static_cast<int64_t>(Text.size()));
  State.counters["tree_KiB"] = static_cast<double>(TreeBytes >> 10);
  State.counters["peak_growth_after_KiB"] = static_cast<double>(bench::PeakKiB() - AfterFirst);
}

// Loading the generated css.xml into a symbol table, as the first style-sheet
// request of a process does (installed fonts left out: they are the host's).
void LoadSchema(benchmark::State& State) {
  size_t Properties = 0;
  for (auto _ : State) {
    TStyleSheetParser Parser;
    TCSSReader(Parser.GetSymbolTable(), [] { return std::vector<TFontFaceInfo>{}; })
        .LoadFromFile(MLINSIGHT_SOURCE_DIR "/schemas/css.xml");
    Properties = static_cast<size_t>(Parser.GetSymbolTable().GetPropCount());
  }
  State.counters["properties"] = static_cast<double>(Properties);
}
BENCHMARK(LoadSchema)->Unit(benchmark::kMillisecond);

BENCHMARK(ParseSheet)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
