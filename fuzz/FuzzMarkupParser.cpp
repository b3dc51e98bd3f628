// Fuzz target: a page parsed by the markup parser with the caret at a few
// places, through the edit-view producer, without a schema.
#include <string>

#include "fuzz/FuzzMain.h"
#include "host/MemoryEditor.h"
#include "markup/MLBufferProducer.h"
#include "markup/MLParser.h"
#include "symbols/MLSymbolManager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  using namespace kel;
  const std::string Text(reinterpret_cast<const char*>(Data), Size);
  static TMLSymbolManager Manager;
  auto View = MakeMemoryEditView(Text, "fuzz.html");
  for (const size_t Caret : {Size, Size / 2, size_t{0}}) {
    View->SetCaretOffset(static_cast<int32_t>(Caret));
    auto Producer = MakeKel<TMLBufferProducer>(View.get());
    Manager.GetParser()->Parse(View->GetCursorPos(), Producer.get(), nullptr);
  }
  return 0;
}

#ifndef MLINSIGHT_FUZZING_ENGINE
int main(int argc, char** argv) { return FuzzMain(argc, argv); }
#endif
