#include "symbols/HTMLAttributeEditors.h"

#include "host/KelDialogs.h"
#include "host/KelFiles.h"

namespace kel {

bool THTMLURIAttributeEditor::Execute(IInterface*, int32_t) {
  TSelectURLDialog Dialog;
  Dialog.SetInitialDir(ExtractFilePath(Dialog.GetModuleFileName()));
  const bool Ok = Dialog.Execute();
  Value = Ok ? Dialog.GetPreviewURL() : std::string();
  return Ok;
}

bool THTMLColorAttributeEditor::Execute(IInterface*, int32_t) {
  TWebColorDlg Dialog;
  const bool Ok = Dialog.Execute();
  Value = Ok ? Dialog.GetSelectedColor() : std::string();
  return Ok;
}

bool TDefaultAttributeEditor::Execute(IInterface* Context, int32_t Index) {
  TKelPtr<IKelMLTagAttribute> Attribute = query<IKelMLTagAttribute>(Context);
  if (!Attribute) return false;
  Value = Attribute->GetValue(Index);
  return true;
}

const char* AttributeEditorKind(IKelMLEditor* Editor) {
  if (dynamic_cast<THTMLColorAttributeEditor*>(Editor)) return "color";
  if (dynamic_cast<THTMLURIAttributeEditor*>(Editor)) return "uri";
  if (dynamic_cast<TDefaultAttributeEditor*>(Editor)) return "default";
  return nullptr;
}

}  // namespace kel
