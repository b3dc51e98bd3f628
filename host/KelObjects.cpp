#include "host/KelObjects.h"

#include <cstdio>

namespace kel {

std::string TGUID::ToString() const {
  char Buf[40];
  std::snprintf(Buf, sizeof Buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", static_cast<unsigned>(D1),
                static_cast<unsigned>(D2), static_cast<unsigned>(D3), D4[0], D4[1], D4[2], D4[3], D4[4], D4[5],
                D4[6], D4[7]);
  return Buf;
}

}  // namespace kel
