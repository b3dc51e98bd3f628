#include "css/CSSUnitEditor.h"

#include "host/KelDialogs.h"
#include "host/KelStrings.h"

namespace kel {

bool TCSSColorEditor::Execute() {
  TWebColorDlg Dialog;
  const bool Ok = Dialog.Execute();
  Value = Ok ? Dialog.GetSelectedColor() : std::string();
  return Ok;
}

bool TCSSURIEditor::Execute() {
  Value.clear();
  TKelOpenDialog Dialog;
  const bool Ok = Dialog.Execute();
  if (Ok) {
    Value = Dialog.GetFileName();
    const auto Letter = [](char C) { return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z'); };
    if (Value.size() > 2 && Letter(Value[0]) && Value[1] == ':') Value = "file:///" + Value;
  }
  Value = Format("url(%s)", {Value});
  return Ok;
}

}  // namespace kel
