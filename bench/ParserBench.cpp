// One completion request's parse of a large page: the whole document through
// the edit-view producer with the caret at its end. Reports MB/s and the
// growth of the peak resident set over the text buffer itself.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/BenchSupport.h"
#include "host/MemoryEditor.h"
#include "markup/MLBufferProducer.h"
#include "markup/MLParser.h"
#include "markup/MLTree.h"
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
    benchmark::DoNotOptimize(Parser.Caret().CurrentTag.get());
  }
  State.SetBytesProcessed(static_cast<int64_t>(State.iterations()) * static_cast<int64_t>(Size));
  State.counters["peak_growth_KiB"] = static_cast<double>(bench::PeakKiB() - Before);
  State.counters["text_KiB"] = static_cast<double>(Size >> 10);
}

BENCHMARK(ParsePage)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

// A hostile page: 50,000 unclosed elements, then 16,000 end tags of an
// element never opened, the caret at the end. Each end tag must cost O(1).
void ParseUnmatchedEndTags(benchmark::State& State) {
  std::string Text = "<body>";
  for (int I = 0; I < 50000; ++I) Text += "<div>";
  for (int I = 0; I < 16000; ++I) Text += "</span>";
  auto View = MakeMemoryEditView(Text, "page.html");
  View->SetCaretOffset(static_cast<int32_t>(Text.size()));
  TMLSymbolManager Manager;
  TMLParser& Parser = *Manager.GetParser();
  for (auto _ : State) {
    auto Producer = MakeKel<TMLBufferProducer>(View.get());
    Parser.Parse(View->GetCursorPos(), Producer.get(), nullptr);
    benchmark::DoNotOptimize(Parser.Caret().CurrentTag.get());
  }
}

BENCHMARK(ParseUnmatchedEndTags)->Unit(benchmark::kMillisecond);

// The document model's tree of a whole page (what a new version costs), and
// of the hostile page above.
void BuildTree(benchmark::State& State) {
  const size_t Size = static_cast<size_t>(State.range(0)) << 20;
  const std::string Text = bench::LargePage(Size, "\n<p class=\"");
  const long Before = bench::PeakKiB();
  size_t Nodes = 0;
  for (auto _ : State) {
    const TMLTree Tree = TMLTree::Build(Text, false);
    Nodes = Tree.Nodes.size();
    benchmark::DoNotOptimize(Tree.Nodes.data());
  }
  State.SetBytesProcessed(static_cast<int64_t>(State.iterations()) * static_cast<int64_t>(Size));
  State.counters["nodes"] = static_cast<double>(Nodes);
  State.counters["peak_growth_KiB"] = static_cast<double>(bench::PeakKiB() - Before);
}

BENCHMARK(BuildTree)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

// One character typed into a paragraph of a large page (at 9/10 of it, and
// in its middle): the tree is read again from the edit until the reading
// is back in step, the rest moved over.
void RebuildTree(benchmark::State& State) {
  const size_t Size = static_cast<size_t>(State.range(0)) << 20;
  const std::string Without = bench::LargePage(Size, "\n<p class=\"");
  const size_t At = Without.find("<p>", Size / 10 * static_cast<size_t>(State.range(1))) + 3;
  std::string With = Without;
  With.insert(At, "x");
  // As the document model does: the tree is read again in its own storage,
  // the character typed and deleted in turn.
  TMLTree Tree = TMLTree::Build(Without, false);
  const auto A = static_cast<uint32_t>(At);
  bool Typed = false;
  for (auto _ : State) {
    Tree = Typed ? TMLTree::Rebuild(std::move(Tree), Without, A, A + 1, A)
                 : TMLTree::Rebuild(std::move(Tree), With, A, A, A + 1);
    Typed = !Typed;
    benchmark::DoNotOptimize(Tree.Nodes.data());
  }
}

BENCHMARK(RebuildTree)->Args({1, 5})->Args({1, 9})->Args({100, 5})->Unit(benchmark::kMillisecond);

void BuildTreeUnmatchedEndTags(benchmark::State& State) {
  std::string Text = "<body>";
  for (int I = 0; I < 50000; ++I) Text += "<div>";
  for (int I = 0; I < 16000; ++I) Text += "</span>";
  for (auto _ : State) benchmark::DoNotOptimize(TMLTree::Build(Text, false).Nodes.size());
}

BENCHMARK(BuildTreeUnmatchedEndTags)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
