#include "completion/HTMReg.h"

#include "completion/HTMLCodCmplt.h"
#include "css/CSSCodCmplt.h"
#include "host/KelHostAPI.h"

namespace kel {

int32_t MarkupManagerIndex = -1;
int32_t CSSManagerIndex = -1;

void IDERegister() {
  {
    const auto Manager = MarkupLanguageManager();
    const auto Services = GlobalKibitzManager();
    if (!Services) return;
    MarkupManagerIndex = Services->AddCodeInsightManager(Manager.get());
  }
  {
    const auto Manager = CSSLanguageManager();
    const auto Services = GlobalKibitzManager();
    if (!Services) return;
    CSSManagerIndex = Services->AddCodeInsightManager(Manager.get());
  }
}

void HTMRegFinalize() {
  if (MarkupManagerIndex != -1)
    if (const auto Services = GlobalKibitzManager()) Services->RemoveCodeInsightManager(MarkupManagerIndex);
  if (CSSManagerIndex != -1)
    if (const auto Services = GlobalKibitzManager()) Services->RemoveCodeInsightManager(CSSManagerIndex);
}

}  // namespace kel
