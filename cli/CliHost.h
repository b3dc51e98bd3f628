// The host the command-line tool runs the engine in: our in-memory host with
// the program's own executable path (so schemas are found beside it), the
// user's options file, and tool messages printed to stderr as
// "<prefix>: <file>(<line>,<col>): <text>".
#pragma once

#include <ostream>

#include "host/MemoryHost.h"

namespace kel {

class TCliHost {
 public:
  TCliHost();
  ~TCliHost();
  TCliHost(const TCliHost&) = delete;
  TCliHost& operator=(const TCliHost&) = delete;

  TMemoryHost& Host() { return *FHost; }
  // Writes the messages added since the last flush.
  void FlushMessages(std::ostream& Out);

 private:
  TKelPtr<TMemoryHost> FHost;
  size_t FFlushed = 0;
};

}  // namespace kel
