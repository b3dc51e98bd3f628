#include "completion/HTMReg.h"
#include "completion/MLInsightPackage.h"
#include "fuzz/FuzzMain.h"

kel::TMemoryHost& FuzzHost(bool WithPackage) {
  using namespace kel;
  static const auto Host = [] {
    auto H = MakeKel<TMemoryHost>();
    H->SetOptionsFileName("");
    SetQuorvelIDEServices(H.get());
    return H;
  }();
  // Nothing reads the messages here: an endless run must not keep them.
  Host->TakeMessages();
  static bool Loaded = false;
  if (WithPackage && !Loaded) {
    PackageLoad();
    IDERegister();
    Loaded = true;
  }
  return *Host;
}
