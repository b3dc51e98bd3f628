// One completion request's parse of a large page: the whole document through
// the edit-view producer with the caret at its end. Reports MB/s and the
// growth of the peak resident set over the text buffer itself.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <fstream>
#include <sstream>
#include <string>

#include "host/MemoryEditor.h"
#include "markup/MLBufferProducer.h"
#include "markup/MLParser.h"
#include "symbols/MLSymbolManager.h"

namespace {

using namespace kel;

long PeakKiB() {
  rusage U{};
  getrusage(RUSAGE_SELF, &U);
  return U.ru_maxrss;
}

// The bundled example page, its body repeated up to Size bytes.
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
  return Text + "\n<p class=\"";
}

void ParsePage(benchmark::State& State) {
  const size_t Size = static_cast<size_t>(State.range(0)) << 20;
  auto View = MakeMemoryEditView(Page(Size), "page.html");
  View->SetCaretOffset(static_cast<int32_t>(Size + 200));  // clamped to the end
  TMLSymbolManager Manager;
  TMLParser& Parser = *Manager.GetParser();
  const long Before = PeakKiB();
  for (auto _ : State) {
    auto Producer = MakeKel<TMLBufferProducer>(View.get());
    Parser.Parse(View->GetCursorPos(), Producer.get(), nullptr);
    benchmark::DoNotOptimize(Parser.FCurrentTag.get());
  }
  State.SetBytesProcessed(static_cast<int64_t>(State.iterations()) * static_cast<int64_t>(Size));
  State.counters["peak_growth_KiB"] = static_cast<double>(PeakKiB() - Before);
  State.counters["text_KiB"] = static_cast<double>(Size >> 10);
}

BENCHMARK(ParsePage)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
