#include "lsp/LspFeature.h"

namespace kel {

std::string LspSnippetEscape(const std::string& S) {
  std::string R;
  for (const char C : S) {
    if (C == '$' || C == '}' || C == '\\') R += '\\';
    R += C;
  }
  return R;
}

bool TLspDialogRunner::RunUnitDialog(const TKelUnitRequest& Request, std::string& Value, int32_t& Unit) {
  if (!AnswerUnits || Request.Units.empty()) return false;
  Units = Request.Units;
  Value = std::string(1, ValueMark);
  Unit = 0;
  return true;
}

}  // namespace kel
