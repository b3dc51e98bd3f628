// One conversion between the client's positions (line from 0, character in
// UTF-16 units or, when negotiated, UTF-8 bytes) and byte offsets of the
// document's text, for every feature of the language server.
//
// Example: in "a\u00e9b\nc", LspOffset(Text, 0, 2) is 3 (the "é" is two bytes
// and one UTF-16 unit); LspPosition(Text, 5) is line 1, character 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>

#include "host/MemoryEditor.h"

namespace kel {

inline bool LspIsBreak(char C) { return C == '\n' || C == '\r'; }

// Where a line starts, and which line that is (fewer when the text ends first).
std::pair<size_t, int64_t> LspLineStart(const std::string& Text, int64_t Line);
// The same from the view's line index, kept through edits: no scan of the text.
std::pair<size_t, int64_t> LspLineStart(const TMemoryEditView& View, int64_t Line);
// The client's units (bytes, or UTF-16 units) from From to To.
int64_t LspUnitsBetween(const std::string& Text, size_t From, size_t To, bool Utf8);
// The offset of Character on the line that starts at Pos; walks no further
// than Character (a line can be megabytes long).
int32_t LspOffsetOnLine(const std::string& Text, size_t Pos, int64_t Character, bool Utf8);
// The position of Offset on line Line, which starts at Start.
nlohmann::json LspPositionOnLine(const std::string& Text, size_t Start, int64_t Line, size_t Offset,
                                 bool Utf8);
// The byte offset of an LSP position.
int32_t LspOffset(const std::string& Text, int64_t Line, int64_t Character, bool Utf8 = false);
// The LSP position of a byte offset.
nlohmann::json LspPosition(const std::string& Text, int32_t Offset, bool Utf8 = false);

// Positions of increasing offsets in one walk over the text (colours, and
// whatever lists a document's ranges in order).
class TLspPositionWalker {
 public:
  TLspPositionWalker(const std::string& Text, bool Utf8) : FText(Text), FUtf8(Utf8) {}
  nlohmann::json operator()(size_t Offset);

 private:
  const std::string& FText;
  bool FUtf8;
  int64_t FLine = 0, FUnits = 0;
  size_t FAt = 0;
};

}  // namespace kel
