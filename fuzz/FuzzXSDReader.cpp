// Fuzz target: an XML Schema file read by the XSD reader and built into
// tags by the symbol manager (element references, non-browseable children,
// attribute groups, enumerations and editors).
#include <unistd.h>

#include <fstream>
#include <string>

#include "fuzz/FuzzMain.h"
#include "host/MemoryHost.h"
#include "schema/XSDReader.h"
#include "symbols/MLSymbolManager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  using namespace kel;
  FuzzHost();
  static const std::string File = "/tmp/mlinsight-fuzz-" + std::to_string(::getpid()) + ".xsd";
  std::ofstream(File, std::ios::binary) << std::string(reinterpret_cast<const char*>(Data), Size);
  TXSDReader Reader;
  Reader.LoadFromFile(File);
  static TMLSymbolManager Manager;
  Manager.ClearTags();
  Manager.LoadXSD(nullptr, nullptr, File);
  return 0;
}

#ifndef MLINSIGHT_FUZZING_ENGINE
int main(int argc, char** argv) { return FuzzMain(argc, argv); }
#endif
