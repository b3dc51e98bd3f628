// What every feature of the language server reads besides its document: our
// host, the dialogs of the engine's value editors, and what the client
// negotiated (positions in UTF-8 or UTF-16, snippets). One feature, one
// file: LspCompletion, LspOnType, LspHover, LspColors.
#pragma once

#include <string>
#include <vector>

#include "host/MemoryHost.h"

namespace kel {

// The dialogs of the engine's value editors, in a server: nothing can ask
// the user, so every dialog is cancelled, except the unit dialog while a
// row is planned: it answers a marker value and the first unit, so that the
// row's edit shows where the number and the unit go (a snippet then offers
// them as placeholders).
class TLspDialogRunner : public TKelDialogRunner {
 public:
  static constexpr char ValueMark = '\x02';
  bool RunURLDialog(const TKelURLRequest&, std::string&) override { return false; }
  bool RunColorDialog(std::string&) override { return false; }
  bool RunFileOpenDialog(const TKelFileOpenRequest&, std::string&) override { return false; }
  bool IsControlKeyDown() override { return false; }
  bool RunUnitDialog(const TKelUnitRequest& Request, std::string& Value, int32_t& Unit) override;
  bool AnswerUnits = false;
  std::vector<std::string> Units;  // of the last unit dialog answered
};

struct TLspContext {
  TMemoryHost& Host;
  TLspDialogRunner& Dialogs;
  // Positions count UTF-8 bytes (negotiated) rather than UTF-16 units.
  bool Utf8 = false;
  bool Snippets = false;
};

// S with the characters a snippet gives a meaning ($ } \\) escaped.
std::string LspSnippetEscape(const std::string& S);

}  // namespace kel
