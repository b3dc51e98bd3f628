// Fuzz target: a style sheet parsed to a caret at each of a few points.
#include <string>

#include "css/CSSParser.h"
#include "fuzz/FuzzMain.h"
#include "host/KelStream.h"
#include "markup/MLBufferProducer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  using namespace kel;
  const std::string Text(reinterpret_cast<const char*>(Data), Size);
  static TStyleSheetParser Parser;
  for (const size_t Point : {Size, Size / 2, size_t{0}}) {
    TKelStringStream Stream(Text);
    auto Producer = MakeKel<TMLBufferProducer>(&Stream);
    Parser.SetBufferAndPoint(Producer.get(), static_cast<int32_t>(Point));
    Parser.Parse();
  }
  return 0;
}

#ifndef MLINSIGHT_FUZZING_ENGINE
int main(int argc, char** argv) { return FuzzMain(argc, argv); }
#endif
