// Tokenising a 1 MB style sheet (the bundled site.css repeated) to its end,
// as a completion request with the caret at the end reads it. Reports MB/s.
#include <benchmark/benchmark.h>

#include <climits>
#include <string>

#include "bench/BenchSupport.h"
#include "css/CSSParser.h"
#include "host/KelStream.h"
#include "markup/MLBufferProducer.h"

namespace {

using namespace kel;

void TokeniseSheet(benchmark::State& State) {
  const std::string Text = bench::LargeSheet(static_cast<size_t>(State.range(0)) << 20);
  size_t Tokens = 0;
  for (auto _ : State) {
    TKelStringStream Stream(Text);
    auto Producer = MakeKel<TMLBufferProducer>(&Stream);
    TStyleSheetScanner Scanner;
    Scanner.SetBufferAndPoint(Producer.get(), INT32_MAX);
    Tokens = 0;
    while (Scanner.GetToken() != csstEof) ++Tokens;
    benchmark::DoNotOptimize(Tokens);
  }
  State.SetBytesProcessed(static_cast<int64_t>(State.iterations()) * static_cast<int64_t>(Text.size()));
  State.counters["tokens"] = static_cast<double>(Tokens);
}

BENCHMARK(TokeniseSheet)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
