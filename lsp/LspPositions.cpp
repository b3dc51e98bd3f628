#include "lsp/LspPositions.h"

#include <algorithm>
#include <cstring>

namespace kel {

using nlohmann::json;

// Where a line starts, and which line that is (fewer when the text ends first).
std::pair<size_t, int64_t> LspLineStart(const std::string& Text, int64_t Line) {
  size_t Pos = 0;
  int64_t L = 0;
  // Pages break lines with LF or CR LF: count LFs at memchr's pace while no
  // CR stands alone before them.
  const char* Data = Text.data();
  const auto Find = [&Text, Data](char C, size_t From) {
    const void* P = From < Text.size() ? std::memchr(Data + From, C, Text.size() - From) : nullptr;
    return P ? static_cast<size_t>(static_cast<const char*>(P) - Data) : Text.size();
  };
  size_t Cr = Find('\r', 0);
  bool LoneCR = false;
  while (L < Line && !LoneCR) {
    const size_t Lf = Find('\n', Pos);
    if (Lf == Text.size()) break;
    for (; Cr < Lf && !LoneCR; Cr = Find('\r', Cr + 1)) LoneCR = Cr + 1 != Lf;
    if (LoneCR) break;
    Pos = Lf + 1;
    ++L;
  }
  for (; L < Line && Pos < Text.size(); ++L) {
    while (Pos < Text.size() && !LspIsBreak(Text[Pos])) ++Pos;
    if (Pos >= Text.size()) break;
    Pos += Text[Pos] == '\r' && Pos + 1 < Text.size() && Text[Pos + 1] == '\n' ? 2 : 1;
  }
  return {Pos, L};
}

std::pair<size_t, int64_t> LspLineStart(const TMemoryEditView& View, int64_t Line) {
  const int64_t L = std::clamp<int64_t>(Line, 0, View.LineCount() - 1);
  return {static_cast<size_t>(View.LineStart(static_cast<int32_t>(L + 1))), L};
}

int64_t LspUnitsBetween(const std::string& Text, size_t From, size_t To, bool Utf8) {
  To = std::min(To, Text.size());
  if (Utf8) return To > From ? static_cast<int64_t>(To - From) : 0;
  int64_t Units = 0;
  for (size_t I = From; I < To; ++I) {
    const auto B = static_cast<unsigned char>(Text[I]);
    if ((B & 0xC0) != 0x80) Units += B >= 0xF0 ? 2 : 1;
  }
  return Units;
}

json LspPositionOnLine(const std::string& Text, size_t Start, int64_t Line, size_t Offset, bool Utf8) {
  return {{"line", Line}, {"character", LspUnitsBetween(Text, Start, Offset, Utf8)}};
}

// Walks no further than Character: a line can be megabytes long, and an
// edit near its start must not cost its length.
int32_t LspOffsetOnLine(const std::string& Text, size_t Pos, int64_t Character, bool Utf8) {
  const size_t Size = Text.size();
  if (Utf8) {
    const size_t Limit = std::min(
        Size, Pos + static_cast<size_t>(std::clamp<int64_t>(Character, 0, static_cast<int64_t>(Size))));
    // The line's break, if it comes first, at memchr's pace: a line can be megabytes long.
    size_t End = Limit;
    for (const char Break : {'\n', '\r'})
      if (const void* At = Pos < End ? std::memchr(Text.data() + Pos, Break, End - Pos) : nullptr)
        End = static_cast<size_t>(static_cast<const char*>(At) - Text.data());
    return static_cast<int32_t>(std::max(Pos, End));
  }
  // Characters count UTF-16 units, as UnitsBetween does: a code point
  // beyond the BMP is two.
  int64_t Units = 0;
  while (Pos < Size && Units < Character && !LspIsBreak(Text[Pos])) {
    Units += static_cast<unsigned char>(Text[Pos]) >= 0xF0 ? 2 : 1;
    ++Pos;
    while (Pos < Size && (static_cast<unsigned char>(Text[Pos]) & 0xC0) == 0x80) ++Pos;
  }
  return static_cast<int32_t>(Pos);
}

int32_t LspOffset(const std::string& Text, int64_t Line, int64_t Character, bool Utf8) {
  return LspOffsetOnLine(Text, LspLineStart(Text, Line).first, Character, Utf8);
}

json LspPosition(const std::string& Text, int32_t Offset, bool Utf8) {
  int64_t Line = 0, Units = 0;
  const size_t End = std::min(Text.size(), static_cast<size_t>(std::max(Offset, 0)));
  for (size_t I = 0; I < End; ++I) {
    const char C = Text[I];
    if (C == '\r' && I + 1 < Text.size() && Text[I + 1] == '\n') continue;
    if (LspIsBreak(C)) {
      ++Line;
      Units = 0;
    } else {
      const auto B = static_cast<unsigned char>(C);
      if (Utf8)
        ++Units;
      else if ((B & 0xC0) != 0x80)
        Units += B >= 0xF0 ? 2 : 1;
    }
  }
  return {{"line", Line}, {"character", Units}};
}

json TLspPositionWalker::operator()(size_t Offset) {
  for (; FAt < Offset && FAt < FText.size(); ++FAt) {
    const char C = FText[FAt];
    if (C == '\r' && FAt + 1 < FText.size() && FText[FAt + 1] == '\n') continue;
    if (LspIsBreak(C)) {
      ++FLine;
      FUnits = 0;
    } else if (const auto B = static_cast<unsigned char>(C); FUtf8) {
      ++FUnits;
    } else if ((B & 0xC0) != 0x80) {
      FUnits += B >= 0xF0 ? 2 : 1;
    }
  }
  return json{{"line", FLine}, {"character", FUnits}};
}

}  // namespace kel
