#include "symbols/HTMLAttributeEditors.h"

#include "host/KelDialogs.h"

namespace kel {

bool THTMLURIAttributeEditor::Execute(IInterface*, int32_t) {
  TSelectURLDialog Dialog;
  const std::string Module = Dialog.GetModuleFileName();
  const size_t Slash = Module.find_last_of("/\\");
  Dialog.SetInitialDir(Slash == std::string::npos ? std::string() : Module.substr(0, Slash + 1));
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
