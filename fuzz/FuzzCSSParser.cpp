// Fuzz target: a style sheet parsed to a caret at each of a few points, its
// structure read as a sheet and as a style attribute (every node's ranges
// inside the text, in order), then a completion at a caret the input chooses:
// the list, a few planned rows, and Enter.
#include <string>

#include "css/CSSCodCmplt.h"
#include "css/CSSParser.h"
#include "css/CSSTree.h"
#include "fuzz/FuzzMain.h"
#include "host/CompletionCycle.h"
#include "host/KelStream.h"
#include "host/MemoryHost.h"
#include "markup/MLBufferProducer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  using namespace kel;
  TMemoryHost* Host = &FuzzHost();
  static const auto Manager = MakeKel<TCSSKibitzManager>();
  const std::string Text(reinterpret_cast<const char*>(Data), Size);
  static TStyleSheetParser Parser;
  for (const size_t Point : {Size, Size / 2, size_t{0}}) {
    TKelStringStream Stream(Text);
    auto Producer = MakeKel<TMLBufferProducer>(&Stream);
    Parser.SetBufferAndPoint(Producer.get(), static_cast<int32_t>(Point));
    Parser.Parse();
  }
  for (const bool Declarations : {false, true}) {
    const TCSSTree Tree = TCSSTree::Build(Text, 0, static_cast<uint32_t>(Size), Declarations);
    for (size_t I = 0; I < Tree.Nodes.size(); ++I) {
      const TCSSItem& N = Tree.Nodes[I];
      if (N.Range.Start > N.Range.End || N.Range.End > Size || N.Next <= I || N.Next > Tree.Nodes.size() ||
          (I > 0 && N.Range.Start < Tree.Nodes[I - 1].Range.Start))
        __builtin_trap();
    }
  }
  const size_t Caret = Size < 2 ? Size : (Data[0] | (Data[1] << 8)) % (Size + 1);
  auto View = MakeMemoryEditView(Text, "fuzz.css");
  View->SetCaretOffset(static_cast<int32_t>(Caret));
  Host->SetCurrentEditView(View);
  TCompletionCycle Cycle(*Host);
  Cycle.SetManager(Manager.get());
  Cycle.SetClassifier(StyleSheetElementAt);
  if (Cycle.Type(Size % 5 == 0 ? ':' : 0)) {
    const auto Rows = Cycle.Items().size();
    for (size_t I = 0; I < Rows && I < 4; ++I) Cycle.Plan(static_cast<int32_t>((I * 7919) % Rows));
    Cycle.Key(Size % 2 ? '\r' : ';');
  }
  Host->SetCurrentEditView(nullptr);
  return 0;
}

#ifndef MLINSIGHT_FUZZING_ENGINE
int main(int argc, char** argv) { return FuzzMain(argc, argv); }
#endif
