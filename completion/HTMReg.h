// Registration of the completion managers with the host: the markup manager
// first, then the style-sheet manager. Unloading removes what
// was registered, by the indexes the host handed out.
//
// Example: after IDERegister() on a fresh host, MarkupManagerIndex is 0 and
// GlobalKibitzManager()->GetCodeInsightManager(0)->GetIDString() is
// "Quorvel.CodeInsight.HTML"; CSSManagerIndex is 1, "Quorvel.CodeInsight.CSS".
#pragma once

#include <cstdint>

namespace kel {

// -1 until the manager is registered.
extern int32_t MarkupManagerIndex;
extern int32_t CSSManagerIndex;

void IDERegister();
// The unit's finalisation: removes the registered managers from the host.
void HTMRegFinalize();

}  // namespace kel
