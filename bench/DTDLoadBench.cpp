// Loading a schema: HTML 4.01 Transitional with its three entity files, and
// html5.dtd with the 2,125 named references, from the schemas folder the
// build assembles, as completion does on first need.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "host/MemoryHost.h"
#include "schema/DTDParser.h"
#include "symbols/MLSymbolManager.h"

namespace {

using namespace kel;

void LoadLooseDTD(benchmark::State& State) {
  auto Host = MakeKel<TMemoryHost>();
  Host->SetExecutableFileName(MLINSIGHT_BINARY_DIR "/bin/mlinsight");
  SetQuorvelIDEServices(Host.get());
  const std::string File = GetSchemaFolder() + "loose.dtd";
  int32_t Symbols = 0;
  for (auto _ : State) {
    TDTDParser Parser;
    Parser.LoadFromFile(File);
    Symbols = Parser.SymbolCount();
    benchmark::DoNotOptimize(Symbols);
  }
  State.counters["symbols"] = Symbols;
  SetQuorvelIDEServices(nullptr);
}

// A DOCTYPE's DTD turned into the tag tree completion lists from: HTML 4.01
// Transitional, and <!DOCTYPE html>, the schema of today's pages.
void LoadTagTree(benchmark::State& State, const std::string& Identifier) {
  auto Host = MakeKel<TMemoryHost>();
  Host->SetExecutableFileName(MLINSIGHT_BINARY_DIR "/bin/mlinsight");
  SetQuorvelIDEServices(Host.get());
  int32_t Tags = 0;
  for (auto _ : State) {
    TMLSymbolManager Manager;
    Manager.SetSchemaFile(Identifier);
    Tags = Manager.GetRegisteredCount();
    benchmark::DoNotOptimize(Tags);
    Manager.ClearTags();
  }
  State.counters["tags"] = Tags;
  SetQuorvelIDEServices(nullptr);
}

// A page's own DTD of 40,000 elements with an attribute each, all children
// of one root: lookups by name and emptying the tree stay linear (this took
// 4.5 s and 760 MB when every tag held 256 chains per list).
// A page's own schema of 40,000 elements (DTD) or 30,000 elements, types
// and attribute groups (XSD): what a generated schema can hold.
void LoadWideSchema(benchmark::State& State, bool Xsd) {
  namespace fs = std::filesystem;
  auto Host = MakeKel<TMemoryHost>();
  Host->SetExecutableFileName(MLINSIGHT_BINARY_DIR "/bin/mlinsight");
  SetQuorvelIDEServices(Host.get());
  const fs::path Folder = fs::temp_directory_path() / ("mlinsight-wide-" + std::to_string(::getpid()));
  fs::create_directories(Folder);
  if (Xsd) {
    std::ofstream Out(Folder / "wide.xsd");
    Out << "<?xml version='1.0'?>\n<xsd:schema xmlns:xsd='http://www.w3.org/2001/XMLSchema'>\n";
    for (int I = 0; I < 30000; ++I)
      Out << "<xsd:element name='e" << I << "' type='T" << I << "'/>\n<xsd:complexType name='T" << I
          << "'><xsd:sequence><xsd:element ref='e" << (I + 1) % 30000
          << "'/></xsd:sequence><xsd:attributeGroup ref='g" << I
          << "'/></xsd:complexType>\n<xsd:attributeGroup name='g" << I << "'><xsd:attribute name='a" << I
          << "'/></xsd:attributeGroup>\n";
    Out << "</xsd:schema>\n";
  } else {
    std::ofstream Out(Folder / "wide.dtd");
    Out << "<!ELEMENT root - - (e0";
    for (int I = 1; I < 40000; ++I) Out << "|e" << I;
    Out << ")*>\n";
    for (int I = 0; I < 40000; ++I)
      Out << "<!ELEMENT e" << I << " - - (#PCDATA)>\n<!ATTLIST e" << I << " a" << I << " CDATA #IMPLIED>\n";
  }
  int32_t Tags = 0;
  for (auto _ : State) {
    TMLSymbolManager Manager;
    Manager.SetFileName((Folder / "page.html").string());
    Manager.SetSchemaFile(Xsd ? "wide.xsd" : "wide.dtd");
    Tags = Manager.GetRegisteredCount();
    benchmark::DoNotOptimize(Tags);
    Manager.ClearTags();
  }
  State.counters["tags"] = Tags;
  fs::remove_all(Folder);
  SetQuorvelIDEServices(nullptr);
}

BENCHMARK_CAPTURE(LoadWideSchema, Dtd, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LoadWideSchema, Xsd, true)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadLooseDTD)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LoadTagTree, Loose, std::string("http://www.w3.org/TR/html4/loose.dtd"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LoadTagTree, Html5, std::string("html"))->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
