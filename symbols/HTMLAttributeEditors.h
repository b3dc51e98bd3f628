// The value editors behind attribute values that stand for an action:
// "color..." opens the host's web colour dialog, "uri..." its URL picker,
// and an ordinary enumerated value is simply taken over.
//
// Example: for the attribute align with values left, center, right,
// TDefaultAttributeEditor().Execute(align, 2) is true and GetValue() is
// "right"; a cancelled colour dialog makes THTMLColorAttributeEditor's
// Execute false with an empty value.
#pragma once

#include <string>

#include "host/KelObjects.h"
#include "markup/MLParserUtils.h"

namespace kel {

class TMLSymbolManager;

// The caret stays after the written value, and no new list follows.
class TAttributeEditorBase : public TKelInterfaced<IKelMLEditor> {
 public:
  int32_t RelativeMoveCaretPos() override { return 0; }
  bool InvokeCodeCompletion() override { return false; }
  std::string GetValue() override { return Value; }

 protected:
  std::string Value;
};

class THTMLURIAttributeEditor : public TAttributeEditorBase {
 public:
  explicit THTMLURIAttributeEditor(TMLSymbolManager* SymbolManager) : FSymbolManager(SymbolManager) {}
  // Opens in the folder of the module being edited.
  bool Execute(IInterface* Context, int32_t Index) override;
  TMLSymbolManager* GetSymbolManager() const { return FSymbolManager; }

 private:
  TMLSymbolManager* FSymbolManager;  // not owned
};

class THTMLColorAttributeEditor : public TAttributeEditorBase {
 public:
  bool Execute(IInterface* Context, int32_t Index) override;
};

class TDefaultAttributeEditor : public TAttributeEditorBase {
 public:
  // Takes value Index of the attribute given as Context; false (and the
  // value left as it was) when Context is not an attribute.
  bool Execute(IInterface* Context, int32_t Index) override;
};

// "color", "uri" or "default" for the editors above; null for any other.
const char* AttributeEditorKind(IKelMLEditor* Editor);

}  // namespace kel
