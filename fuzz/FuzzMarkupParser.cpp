// Fuzz target: a page parsed by the markup parser with the caret at a few
// places, then a completion at a caret the input chooses (its first bytes),
// with the page's schema: the list, the plan of a few rows, and Enter.
#include <string>

#include "fuzz/FuzzMain.h"
#include "document/DocumentModel.h"
#include "host/CompletionCycle.h"
#include "host/MemoryEditor.h"
#include "host/KelStrings.h"
#include "host/MemoryHost.h"
#include "markup/MLBufferProducer.h"
#include "markup/MLParser.h"
#include "symbols/MLSymbolManager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  using namespace kel;
  TMemoryHost* Host = &FuzzHost(true);
  // No DOCTYPE: each would load its schema again (the DTD target reads
  // schemas); pages get today's HTML.
  std::string Text(reinterpret_cast<const char*>(Data), Size);
  // In any letter case: the parser's is case-blind.
  for (size_t At = 0; At + 7 <= Text.size(); ++At)
    if (SameText(std::string_view(Text).substr(At, 7), "DOCTYPE")) Text[At + 6] = 'X';
  TMLSymbolManager& Manager = MLSymbolManager();
  auto View = MakeMemoryEditView(Text, "fuzz.html");
  for (const size_t Caret : {Size, Size / 2, size_t{0}}) {
    View->SetCaretOffset(static_cast<int32_t>(Caret));
    auto Producer = MakeKel<TMLBufferProducer>(View.get());
    Manager.GetParser()->Parse(View->GetCursorPos(), Producer.get(), nullptr);
  }
  const size_t Caret = Size < 2 ? Size : (Data[0] | (Data[1] << 8)) % (Size + 1);
  const std::string File = "fuzz.html";
  View = MakeMemoryEditView(Text, File);
  View->SetCaretOffset(static_cast<int32_t>(Caret));
  Host->SetCurrentEditView(View);
  TCompletionCycle Cycle(*Host);
  TDocumentModel Model(File);
  Model.Tree(Text, 1);
  Cycle.SetManager(Model.ManagerAt(*Host, static_cast<uint32_t>(Caret)));
  Cycle.SetClassifier(Model.Classifier());
  if (Cycle.Manager() && Cycle.Type(Size % 7 == 0 ? '<' : 0)) {
    const auto Rows = Cycle.Items().size();
    for (size_t I = 0; I < Rows && I < 4; ++I) Cycle.Plan(static_cast<int32_t>((I * 7919) % Rows));
    Cycle.Key(Size % 2 ? '\r' : '>');
  }
  Host->SetCurrentEditView(nullptr);
  return 0;
}

#ifndef MLINSIGHT_FUZZING_ENGINE
int main(int argc, char** argv) { return FuzzMain(argc, argv); }
#endif
