#include "lsp/LspColors.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "host/KelStrings.h"

namespace kel {

namespace {

bool IsHex(char C) { return (C >= '0' && C <= '9') || (C >= 'a' && C <= 'f') || (C >= 'A' && C <= 'F'); }
bool IsNameChar(char C) {
  return (C >= '0' && C <= '9') || (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || C == '-' || C == '_';
}
int HexValue(char C) { return C <= '9' ? C - '0' : (C | 32) - 'a' + 10; }

// "#" at I: 3, 4, 6 or 8 hex digits and no more name characters.
bool ReadHex(const std::string& Text, size_t I, size_t End, TColorAt& Color) {
  size_t J = I + 1;
  while (J < End && IsHex(Text[J])) ++J;
  const size_t N = J - I - 1;
  if ((N != 3 && N != 4 && N != 6 && N != 8) || (J < End && IsNameChar(Text[J]))) return false;
  double Parts[4] = {0, 0, 0, 1};
  for (size_t P = 0; P < N / (N > 4 ? 2 : 1); ++P) {
    const int V = N > 4 ? HexValue(Text[I + 1 + 2 * P]) * 16 + HexValue(Text[I + 2 + 2 * P])
                        : HexValue(Text[I + 1 + P]) * 17;
    Parts[P] = V / 255.0;
  }
  Color = {static_cast<int32_t>(I), static_cast<int32_t>(J), Parts[0], Parts[1], Parts[2], Parts[3]};
  return true;
}

// "rgb(" or "rgba(" at I: three numbers or percentages, and an alpha after
// a comma or a slash; anything else is no colour.
bool ReadRgb(const std::string& Text, size_t I, size_t End, TColorAt& Color) {
  const size_t Open = Text.find('(', I);
  const size_t Close = Open == std::string::npos ? std::string::npos : Text.find(')', Open);
  if (Close == std::string::npos || Close >= End || Close - Open > 80) return false;
  std::string Args = Text.substr(Open + 1, Close - Open - 1);
  std::replace(Args.begin(), Args.end(), ',', ' ');
  std::replace(Args.begin(), Args.end(), '/', ' ');
  double Parts[4] = {0, 0, 0, 1};
  const char* P = Args.c_str();
  int Count = 0;
  for (; Count < 4; ++Count) {
    while (*P == ' ' || *P == '\t') ++P;
    if (!*P) break;
    char* Stop = nullptr;
    double V = std::strtod(P, &Stop);
    if (Stop == P || !std::isfinite(V)) return false;
    const bool Percent = *Stop == '%';
    P = Stop + (Percent ? 1 : 0);
    if (Count < 3)
      V = Percent ? V / 100 : V / 255;
    else if (Percent)
      V /= 100;
    Parts[Count] = std::clamp(V, 0.0, 1.0);
  }
  while (*P == ' ' || *P == '\t') ++P;
  if (Count < 3 || *P) return false;
  Color = {static_cast<int32_t>(I), static_cast<int32_t>(Close + 1), Parts[0], Parts[1], Parts[2], Parts[3]};
  return true;
}

// The values of the declarations in [From, End): colours after a ':' up to
// the ';' or brace that ends the declaration. Declarations: an attribute's
// text, which has no braces.
void ScanSheet(const std::string& Text, size_t From, size_t End, bool Declarations, size_t Max,
               std::vector<TColorAt>& Out) {
  int Depth = Declarations ? 1 : 0;
  bool Value = false;
  for (size_t I = From; I < End && Out.size() < Max; ++I) {
    const char C = Text[I];
    if (C == '/' && I + 1 < End && Text[I + 1] == '*') {
      const size_t Close = Text.find("*/", I + 2);
      I = Close == std::string::npos || Close >= End ? End : Close + 1;
    } else if (C == '"' || C == '\'') {
      const size_t Close = Text.find(C, I + 1);
      I = Close == std::string::npos || Close >= End ? End : Close;
    } else if (C == '{') {
      ++Depth;
      Value = false;
    } else if (C == '}') {
      Depth = std::max(Depth - 1, Declarations ? 1 : 0);
      Value = false;
    } else if (C == ';') {
      Value = false;
    } else if (C == ':' && Depth > 0) {
      Value = true;
    } else if (Value && (I == From || !IsNameChar(Text[I - 1]))) {
      TColorAt Color;
      if ((C == '#' && ReadHex(Text, I, End, Color)) ||
          ((C == 'r' || C == 'R') &&
           (StartsWithText(Text.substr(I, 4), "rgb(") || StartsWithText(Text.substr(I, 5), "rgba(")) &&
           ReadRgb(Text, I, End, Color))) {
        Out.push_back(Color);
        I = static_cast<size_t>(Color.End) - 1;
      }
    }
  }
}

size_t FindText(const std::string& Lower, const char* What, size_t From) {
  const size_t At = Lower.find(What, From);
  return At == std::string::npos ? Lower.size() : At;
}

}  // namespace

std::vector<TColorAt> FindColors(const std::string& Text, bool Sheet, size_t Max) {
  std::vector<TColorAt> Out;
  if (Sheet) {
    ScanSheet(Text, 0, Text.size(), false, Max, Out);
    return Out;
  }
  static constexpr std::string_view ColorAttributes[] = {"bgcolor", "color", "text",
                                                         "link",    "vlink", "alink"};
  const std::string Lower = LowerCase(Text);
  const size_t N = Text.size();
  for (size_t I = Lower.find('<'); I < N && Out.size() < Max; I = Lower.find('<', I + 1)) {
    if (Lower.compare(I, 4, "<!--") == 0) {
      I = FindText(Lower, "-->", I + 4);
      continue;
    }
    size_t J = I + 1;
    while (J < N && IsNameChar(Lower[J])) ++J;
    const std::string Name = Lower.substr(I + 1, J - I - 1);
    if (Name.empty()) continue;
    // The attributes up to the tag's end.
    while (J < N && Lower[J] != '>' && Lower[J] != '<' && Out.size() < Max) {
      while (J < N &&
             (Lower[J] == ' ' || Lower[J] == '\t' || Lower[J] == '\n' || Lower[J] == '\r' || Lower[J] == '/'))
        ++J;
      const size_t AttrStart = J;
      while (J < N && IsNameChar(Lower[J])) ++J;
      const std::string Attr = Lower.substr(AttrStart, J - AttrStart);
      if (Attr.empty()) {
        if (J < N && Lower[J] != '>' && Lower[J] != '<') ++J;
        continue;
      }
      while (J < N && (Lower[J] == ' ' || Lower[J] == '\t')) ++J;
      if (J >= N || Lower[J] != '=') continue;
      ++J;
      while (J < N && (Lower[J] == ' ' || Lower[J] == '\t')) ++J;
      size_t ValueStart = J, ValueEnd = J;
      if (J < N && (Lower[J] == '"' || Lower[J] == '\'')) {
        ValueStart = J + 1;
        ValueEnd = std::min(N, FindText(Lower, Lower[J] == '"' ? "\"" : "'", J + 1));
        J = ValueEnd + 1;
      } else {
        while (J < N && std::string_view(" \t\r\n>").find(Lower[J]) == std::string_view::npos) ++J;
        ValueEnd = J;
      }
      if (Attr == "style") {
        ScanSheet(Text, ValueStart, ValueEnd, true, Max, Out);
      } else if (std::find(std::begin(ColorAttributes), std::end(ColorAttributes), Attr) !=
                 std::end(ColorAttributes)) {
        TColorAt Color;
        if (ValueStart < ValueEnd && Text[ValueStart] == '#' && ReadHex(Text, ValueStart, ValueEnd, Color) &&
            static_cast<size_t>(Color.End) == ValueEnd)
          Out.push_back(Color);
      }
    }
    if (J >= N) break;
    if (Name == "style" || Name == "script") {
      const size_t Close = FindText(Lower, Name == "style" ? "</style" : "</script", J);
      if (Name == "style") ScanSheet(Text, J + 1, Close, false, Max, Out);
      I = Close;
    } else {
      I = J;
    }
  }
  std::sort(Out.begin(), Out.end(), [](const TColorAt& A, const TColorAt& B) { return A.Start < B.Start; });
  if (Out.size() > Max) Out.resize(Max);
  return Out;
}

std::vector<std::string> ColorPresentations(double Red, double Green, double Blue, double Alpha) {
  const auto Byte = [](double V) { return static_cast<int>(std::lround(std::clamp(V, 0.0, 1.0) * 255)); };
  const int R = Byte(Red), G = Byte(Green), B = Byte(Blue), A = Byte(Alpha);
  char Hex[16], Rgb[64];
  if (A == 255) {
    std::snprintf(Hex, sizeof Hex, "#%02x%02x%02x", R, G, B);
    std::snprintf(Rgb, sizeof Rgb, "rgb(%d, %d, %d)", R, G, B);
  } else {
    std::snprintf(Hex, sizeof Hex, "#%02x%02x%02x%02x", R, G, B, A);
    std::snprintf(Rgb, sizeof Rgb, "rgba(%d, %d, %d, %g)", R, G, B, std::round(Alpha * 100) / 100);
  }
  return {Hex, Rgb};
}

}  // namespace kel
