// One completion request's parse of a large page: the whole document through
// the edit-view producer with the caret at its end. Reports MB/s and the
// growth of the peak resident set over the text buffer itself.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/BenchSupport.h"
#include "host/MemoryEditor.h"
#include "markup/MLBufferProducer.h"
#include "markup/MLParser.h"
#include "symbols/MLSymbolManager.h"

namespace {

using namespace kel;

void ParsePage(benchmark::State& State) {
  const size_t Size = static_cast<size_t>(State.range(0)) << 20;
  auto View = MakeMemoryEditView(bench::LargePage(Size, "\n<p class=\""), "page.html");
  View->SetCaretOffset(static_cast<int32_t>(Size + 200));  // clamped to the end
  TMLSymbolManager Manager;
  TMLParser& Parser = *Manager.GetParser();
  const long Before = bench::PeakKiB();
  for (auto _ : State) {
    auto Producer = MakeKel<TMLBufferProducer>(View.get());
    Parser.Parse(View->GetCursorPos(), Producer.get(), nullptr);
    benchmark::DoNotOptimize(Parser.FCurrentTag.get());
  }
  State.SetBytesProcessed(static_cast<int64_t>(State.iterations()) * static_cast<int64_t>(Size));
  State.counters["peak_growth_KiB"] = static_cast<double>(bench::PeakKiB() - Before);
  State.counters["text_KiB"] = static_cast<double>(Size >> 10);
}

BENCHMARK(ParsePage)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
