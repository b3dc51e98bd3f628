#include "host/KelHostAPI.h"

namespace kel {

namespace {
TKelPtr<IKelIDEServices>& Installed() {
  static TKelPtr<IKelIDEServices> Services;
  return Services;
}
}  // namespace

TKelPtr<IKelIDEServices> QuorvelIDEServices() { return Installed(); }

void SetQuorvelIDEServices(IKelIDEServices* Services) { Installed() = TKelPtr<IKelIDEServices>(Services); }

TKelPtr<IKelCodeInsightServices> GlobalKibitzManager() { return query<IKelCodeInsightServices>(Installed()); }
TKelPtr<IKelMessageServices> KelMessageServices() { return query<IKelMessageServices>(Installed()); }
TKelPtr<IKelHostServices> KelHostServices() { return query<IKelHostServices>(Installed()); }
TKelPtr<IKelDialogServices> KelDialogServices() { return query<IKelDialogServices>(Installed()); }

std::string KelApplicationExeName() {
  auto Host = KelHostServices();
  return Host ? Host->GetExecutableFileName() : std::string();
}

}  // namespace kel
