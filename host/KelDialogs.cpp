#include "host/KelDialogs.h"

#include "host/KelHostAPI.h"

namespace kel {

std::string TSelectURLDialog::GetModuleFileName() const {
  auto Services = GlobalKibitzManager();
  auto View = Services ? Services->GetCurrentEditView() : nullptr;
  auto Buffer = View ? View->GetBuffer() : nullptr;
  return Buffer ? Buffer->GetFileName() : std::string();
}

bool TSelectURLDialog::Execute() {
  FURL.clear();
  auto Dialogs = KelDialogServices();
  if (!Dialogs) return false;
  std::string URL;
  const bool Ok = Dialogs->RunURLDialog({FInitialDir, GetModuleFileName()}, URL);
  if (Ok) FURL = URL;
  return Ok;
}

bool TWebColorDlg::Execute() {
  FColor.clear();
  auto Dialogs = KelDialogServices();
  if (!Dialogs) return false;
  std::string Color;
  const bool Ok = Dialogs->RunColorDialog(Color);
  if (Ok) FColor = Color;
  return Ok;
}

bool TKelOpenDialog::Execute() {
  FFileName.clear();
  auto Dialogs = KelDialogServices();
  if (!Dialogs) return false;
  std::string Name;
  const bool Ok = Dialogs->RunFileOpenDialog({InitialDir, Filter, Title}, Name);
  if (Ok) FFileName = Name;
  return Ok;
}

bool KelIsControlKeyDown() {
  auto Dialogs = KelDialogServices();
  return Dialogs && Dialogs->IsControlKeyDown();
}

}  // namespace kel
