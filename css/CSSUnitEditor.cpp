#include "css/CSSUnitEditor.h"

#include "host/KelDialogs.h"
#include "host/KelHostAPI.h"
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

bool TUnitEditorForm::ShowModal() {
  const auto Dialogs = KelDialogServices();
  if (!Dialogs) return false;
  TKelUnitRequest Request;
  Request.Caption = Caption;
  Request.InitialValue = ValueEdit;
  Request.Units = UnitCombo;
  Request.Selected = ItemIndex;
  std::string Value = ValueEdit;
  int32_t Unit = ItemIndex;
  if (!Dialogs->RunUnitDialog(Request, Value, Unit)) return false;
  ValueEdit = Value;
  ItemIndex = Unit >= 0 && Unit < static_cast<int32_t>(UnitCombo.size()) ? Unit : -1;
  return true;
}

bool TCSSUnitEditor::Execute() {
  TUnitEditorForm Form;
  for (int32_t I = 0; I < Units.GetCount(); ++I) Form.UnitCombo.push_back(Units.GetItem(I));
  if (!Form.UnitCombo.empty()) Form.ItemIndex = 0;
  if (!Form.ShowModal()) return false;
  Value = Form.ValueEdit +
          (Form.ItemIndex >= 0 ? Form.UnitCombo[static_cast<size_t>(Form.ItemIndex)] : std::string());
  return true;
}

}  // namespace kel
