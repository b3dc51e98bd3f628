// Cost of one keystroke in a completion list: SetFilter as a 6-letter prefix
// is typed one character at a time, then cleared, over a schema tag with N
// children named like real element names (mixed lengths, shared prefixes).
#include <benchmark/benchmark.h>

#include <string>

#include "markup/MLTags.h"
#include "symbols/MLSymbolManager.h"

namespace {

using namespace kel;

std::string NameOf(int I) {
  // Base-26 words of 4..9 letters: many share their first letters.
  std::string S;
  unsigned V = static_cast<unsigned>(I) * 2654435761u;
  const int Len = 4 + static_cast<int>(V % 6);
  for (int K = 0; K < Len; ++K) {
    S += static_cast<char>('a' + V % 26);
    V = V / 26 + static_cast<unsigned>(K) * 7919u;
  }
  return S;
}

void TypePrefix(benchmark::State& State) {
  TMLSymbolManager Manager;
  const int N = static_cast<int>(State.range(0));
  // Closing tags due at the caret, offered at the start of every range.
  for (int I = 0; I < State.range(1); ++I)
    Manager.AddClosedTag(MakeKel<TClosingTag>("/open" + std::to_string(I), &Manager, -1).get());
  auto Tag = MakeKel<THTMLTag>("parent", &Manager, 0);
  for (int I = 0; I < N; ++I) Tag->AddTag(MakeKel<THTMLTag>(NameOf(I), &Manager, I + 1).get());
  Tag->AlphaSort();
  // Type the prefix of a name in the middle of the list.
  Tag->SetFilter("");
  const std::string Word = Tag->GetTags(N / 2)->GetName() + "xxxxxx";
  const std::string Prefix = Word.substr(0, 6);
  int64_t Keys = 0;
  for (auto _ : State) {
    for (size_t L = 1; L <= Prefix.size(); ++L) Tag->SetFilter(Prefix.substr(0, L));
    Tag->SetFilter("");
    Keys += static_cast<int64_t>(Prefix.size()) + 1;
    benchmark::DoNotOptimize(Tag->GetTagCount());
  }
  // Seconds per keystroke.
  State.counters["per_key"] = benchmark::Counter(static_cast<double>(Keys),
                                                 benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK(TypePrefix)->ArgsProduct({{50, 500, 5000}, {0, 3}})->ArgNames({"children", "closing"});

}  // namespace

BENCHMARK_MAIN();
