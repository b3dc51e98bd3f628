// Fuzz target: an XML Schema file read by the XSD reader and loaded as the
// schema by the symbol manager (element references, non-browseable children,
// attribute groups, enumerations and editors).

#include <fstream>
#include <string>

#include "fuzz/FuzzMain.h"
#include "host/MemoryHost.h"
#include "markup/MLParserUtils.h"
#include "schema/XSDReader.h"
#include "symbols/MLSymbolManager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  using namespace kel;
  FuzzHost();
  // Loaded as a schema is, by name from the schemas folder, two names in
  // turn (a name loaded already is not read again): the load replaces the
  // last one's tags and editors.
  static bool Second = false;
  Second = !Second;
  const std::string Name = Second ? "fuzz-b.xsd" : "fuzz-a.xsd";
  const std::string File = GetSchemaFolder() + Name;
  std::ofstream(File, std::ios::binary) << std::string(reinterpret_cast<const char*>(Data), Size);
  TXSDReader Reader;
  Reader.LoadFromFile(File);
  static TMLSymbolManager Manager;
  Manager.SetSchemaFile(Name);
  return 0;
}

#ifndef MLINSIGHT_FUZZING_ENGINE
int main(int argc, char** argv) { return FuzzMain(argc, argv); }
#endif
