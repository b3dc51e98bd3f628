#include "cli/CliHost.h"

namespace kel {

TCliHost::TCliHost() : FHost(MakeKel<TMemoryHost>()) { SetQuorvelIDEServices(FHost.get()); }

TCliHost::~TCliHost() { SetQuorvelIDEServices(nullptr); }

void TCliHost::FlushMessages(std::ostream& Out) {
  const auto& Messages = FHost->Messages();
  if (FFlushed > Messages.size()) FFlushed = 0;  // cleared meanwhile
  for (; FFlushed < Messages.size(); ++FFlushed) {
    const auto& M = Messages[FFlushed];
    Out << M.Prefix << ": " << M.FileName;
    if (M.Line > 0) Out << '(' << M.Line << ',' << M.Column << ')';
    Out << ": " << M.Text << '\n';
  }
}

}  // namespace kel
