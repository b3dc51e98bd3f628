// Fuzz target: the language server fed any bytes, as framed input and as one
// message body, after a page was opened: it answers and never stops.
#include <sstream>
#include <string>

#include "fuzz/FuzzMain.h"
#include "host/MemoryHost.h"
#include "lsp/LspServer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  using namespace kel;
  TMemoryHost* Host = &FuzzHost(true);
  const std::string Input(reinterpret_cast<const char*>(Data), Size);
  TLspServer Server(*Host);
  Server.Handle({{"jsonrpc", "2.0"}, {"id", 0}, {"method", "initialize"}});
  Server.Handle({{"jsonrpc", "2.0"},
                 {"method", "textDocument/didOpen"},
                 {"params", {{"textDocument", {{"uri", "file:///f.html"}, {"text", "<p><a " + Input}}}}}});
  std::istringstream In(Input);
  std::ostringstream Out;
  Server.Serve(In, Out);
  Server.HandleText(Input);
  // A completion plans every row (~10 ms under the sanitizers): one input in
  // eight asks for one, so that the message handling runs at full speed.
  if (Size % 8 != 0) return 0;
  Server.Handle({{"jsonrpc", "2.0"},
                 {"id", 1},
                 {"method", "textDocument/completion"},
                 {"params",
                  {{"textDocument", {{"uri", "file:///f.html"}}},
                   {"position", {{"line", Size % 3}, {"character", Size % 40}}}}}});
  return 0;
}

#ifndef MLINSIGHT_FUZZING_ENGINE
int main(int argc, char** argv) { return FuzzMain(argc, argv); }
#endif
