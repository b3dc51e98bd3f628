#include "markup/MLSymbols.h"

namespace kel {

TMLSymbols::~TMLSymbols() = default;

}  // namespace kel
