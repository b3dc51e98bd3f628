// The language server as an editor drives it: open a 1 MB page, then type
// one character at a time near its end (an incremental change) and ask for
// completion after each, as editors do while typing. Reports the median and
// 95th percentile of a change plus its completion, the items of the last
// answer (each with its edit) and the process's peak resident set.
// Page100MB: the same on a 100 MB page. LongLine: the same on a page that is one 4 MB line, typing an
// attribute name at its end (every position of an item lies on that line). Diagnostics: the same
// changes on the 1 MB page, each followed by the diagnostics the server publishes (items: how many).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "completion/HTMReg.h"
#include "completion/MLInsightPackage.h"
#include "lsp/LspServer.h"

namespace {

using namespace kel;
using nlohmann::json;

// Our host with the package loaded, for one benchmark.
struct TLoaded {
  TLoaded() {
    Host->SetExecutableFileName(MLINSIGHT_BINARY_DIR "/bin/mlinsight");
    Host->SetOptionsFileName("");
    SetQuorvelIDEServices(Host.get());
    PackageLoad();
    IDERegister();
  }
  ~TLoaded() {
    PackageUnload();
    SetQuorvelIDEServices(nullptr);
  }
  const TKelPtr<TMemoryHost> Host = MakeKel<TMemoryHost>();
};

void EditAndComplete(benchmark::State& State, bool LongLine, size_t PageSize = 1 << 20,
                     bool Diagnose = false) {
  const TLoaded Loaded;
  const auto& Host = Loaded.Host;
  {
    TLspServer Server(*Host);
    Server.Handle(
        json::parse(R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{"capabilities":{)"
                    R"("general":{"positionEncodings":["utf-8"]},)"
                    R"("textDocument":{"completion":{"completionItem":{"snippetSupport":true}}}}}})"));
    const std::string Text = LongLine ? "<!DOCTYPE html><p>" + std::string(4 << 20, 'x') + " <p "
                                      : bench::LargePage(PageSize, "\n<div>\n<");
    const std::string Uri = "file:///bench/page.html";
    Server.Handle(
        {{"jsonrpc", "2.0"},
         {"method", "textDocument/didOpen"},
         {"params",
          {{"textDocument", {{"uri", Uri}, {"languageId", "html"}, {"version", 1}, {"text", Text}}}}}});
    const int Line = static_cast<int>(std::count(Text.begin(), Text.end(), '\n'));
    // Typing "table" after the last "<" (or "class" after "<p "), then starting over.
    const std::string Word = LongLine ? "class" : "table";
    const int Base = static_cast<int>(Text.size() - Text.rfind('\n') - 1);
    int Typed = 0, Version = 1;
    // One incremental change on the last line: [From, To) becomes Text.
    const auto Change = [&](int From, int To, const std::string& Text) {
      Server.Handle({{"jsonrpc", "2.0"},
                     {"method", "textDocument/didChange"},
                     {"params",
                      {{"textDocument", {{"uri", Uri}, {"version", ++Version}}},
                       {"contentChanges",
                        {{{"range",
                           {{"start", {{"line", Line}, {"character", From}}},
                            {"end", {{"line", Line}, {"character", To}}}}},
                          {"text", Text}}}}}}});
    };
    std::vector<double> Times;
    size_t Items = 0, WithEdits = 0;
    for (auto _ : State) {
      const auto Started = std::chrono::steady_clock::now();
      const int Column = Base + Typed;
      Change(Column, Column, std::string(1, Word[static_cast<size_t>(Typed)]));
      // Diagnose: what the server publishes once typing pauses, instead of a completion.
      const auto Out = Diagnose
                           ? Server.Idle()
                           : Server.Handle({{"jsonrpc", "2.0"},
                                            {"id", Version},
                                            {"method", "textDocument/completion"},
                                            {"params",
                                             {{"textDocument", {{"uri", Uri}}},
                                              {"position", {{"line", Line}, {"character", Column + 1}}}}}});
      const auto Elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - Started).count();
      State.SetIterationTime(Elapsed);
      Times.push_back(Elapsed * 1000);
      const json& List = Out.empty() ? json()
                         : Diagnose  ? Out[0]["params"]["diagnostics"]
                                     : Out[0]["result"]["items"];
      Items = List.is_array() ? List.size() : 0;
      WithEdits = 0;
      if (List.is_array())
        for (const auto& I : List) WithEdits += I.contains("textEdit") ? 1 : 0;
      if (++Typed == static_cast<int>(Word.size())) {
        // Back to "<": delete what was typed.
        State.PauseTiming();
        Change(Base, Base + Typed, "");
        Typed = 0;
        State.ResumeTiming();
      }
    }
    std::sort(Times.begin(), Times.end());
    const auto At = [&Times](double Q) {
      return Times[static_cast<size_t>(Q * static_cast<double>(Times.size() - 1))];
    };
    State.counters["p50_ms"] = At(0.5);
    State.counters["p95_ms"] = At(0.95);
    State.counters["items"] = static_cast<double>(Items);
    State.counters["with_edits"] = static_cast<double>(WithEdits);
    State.counters["peak_KiB"] = static_cast<double>(bench::PeakKiB());
  }
}

// A completion asked again on an unchanged version (a client re-asking at the
// same position): answered from the document's last answer.
void SameVersion(benchmark::State& State) {
  const TLoaded Loaded;
  const auto& Host = Loaded.Host;
  {
    TLspServer Server(*Host);
    Server.Handle(
        json::parse(R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{"capabilities":{}}})"));
    const std::string Text = bench::LargePage(1 << 20, "\n<div>\n<");
    const std::string Uri = "file:///bench/page.html";
    Server.Handle({{"jsonrpc", "2.0"},
                   {"method", "textDocument/didOpen"},
                   {"params", {{"textDocument", {{"uri", Uri}, {"languageId", "html"}, {"text", Text}}}}}});
    const int Line = static_cast<int>(std::count(Text.begin(), Text.end(), '\n'));
    const int Column = static_cast<int>(Text.size() - Text.rfind('\n') - 1);
    const json Request{
        {"jsonrpc", "2.0"},
        {"id", 1},
        {"method", "textDocument/completion"},
        {"params",
         {{"textDocument", {{"uri", Uri}}}, {"position", {{"line", Line}, {"character", Column}}}}}};
    Server.Handle(Request);
    std::vector<double> Times;
    size_t Items = 0;
    for (auto _ : State) {
      const auto Started = std::chrono::steady_clock::now();
      const auto Out = Server.Handle(Request);
      const auto Elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - Started).count();
      State.SetIterationTime(Elapsed);
      Times.push_back(Elapsed * 1000);
      Items = Out.empty() ? 0 : Out[0]["result"]["items"].size();
    }
    std::sort(Times.begin(), Times.end());
    State.counters["p50_ms"] = Times[Times.size() / 2];
    State.counters["items"] = static_cast<double>(Items);
  }
}

BENCHMARK(SameVersion)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);
BENCHMARK_CAPTURE(EditAndComplete, Page, false)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(20);
BENCHMARK_CAPTURE(EditAndComplete, Page100MB, false, size_t{100} << 20)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(20);
BENCHMARK_CAPTURE(EditAndComplete, Diagnostics, false, size_t{1} << 20, true)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(50);
BENCHMARK_CAPTURE(EditAndComplete, LongLine, true)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
