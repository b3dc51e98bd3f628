// Fuzz target: a DTD read by the DTD reader and built into tags by the
// symbol manager. What follows a line "%%%" in the input is the text of
// fuzz-include.ent in the schemas folder, which the DTD may include
// (<!ENTITY % i SYSTEM "fuzz-include.ent"> %i;); the linked W3C files can
// be included too.
#include <fstream>
#include <string>

#include "fuzz/FuzzMain.h"
#include "host/KelStream.h"
#include "host/MemoryHost.h"
#include "markup/MLParserUtils.h"
#include "schema/DTDParser.h"
#include "symbols/MLSymbolManager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  using namespace kel;
  FuzzHost();
  // An amplifying input stops at a tenth of the real limits: the same paths
  // at a tenth of the cost per input.
  DTDExpansionLimits() = {2000, 200 << 10, 1 << 20};
  const std::string Input(reinterpret_cast<const char*>(Data), Size);
  const size_t Split = Input.find("\n%%%\n");
  const std::string Main = Input.substr(0, Split);
  const std::string Include = Split == std::string::npos ? std::string() : Input.substr(Split + 5);
  std::ofstream(GetSchemaFolder() + "fuzz-include.ent", std::ios::binary) << Include;
  std::ofstream(GetSchemaFolder() + "fuzz-main.dtd", std::ios::binary) << Main;
  // Read from memory too (no file name: includes resolve differently), for
  // one input in four: each read of a large expansion costs.
  if (Size % 4 == 0) {
    TDTDParser Parser;
    TKelStringStream Stream(Main);
    Parser.LoadFromStream(&Stream);
  }
  static TMLSymbolManager Manager;
  static const bool Empty = static_cast<bool>(std::ofstream(GetSchemaFolder() + "fuzz-empty.dtd"));
  // A name loaded already is not read again: an empty schema in between.
  Manager.SetSchemaFile("fuzz-main.dtd");
  Manager.SetSchemaFile(Empty ? "fuzz-empty.dtd" : "fuzz-include.ent");
  return 0;
}

#ifndef MLINSIGHT_FUZZING_ENGINE
int main(int argc, char** argv) { return FuzzMain(argc, argv); }
#endif
