#include "css/CSSParser.h"

#include "host/KelStrings.h"

namespace kel {

namespace {

bool IsNameStart(char C) {
  const auto U = static_cast<unsigned char>(C);
  return (U >= 'A' && U <= 'Z') || (U >= 'a' && U <= 'z') || U == '\\' || U >= 128;
}
bool IsNameChar(char C) { return IsNameStart(C) || (C >= '0' && C <= '9') || C == '-'; }
bool IsDigit(char C) { return C >= '0' && C <= '9'; }
bool IsEscapeChar(char C) {
  return (C >= '0' && C <= '9') || (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z');
}
bool IsPrintable(char C) {
  const auto U = static_cast<unsigned char>(C);
  return U >= 32 && U <= 127;
}

}  // namespace

void TStyleSheetScanner::SetBufferAndPoint(IMLBufferProducer* Producer, int32_t Point) {
  FProducer = Producer;
  FKibitzPoint = Point;
  FillBuffer();
}

bool TStyleSheetScanner::FillBuffer() {
  if (!FProducer || !FProducer->FillBuffer()) return false;
  const char* Start = FProducer->BufferAtOffset(0);
  if (!Start) return false;
  FCurrent = Start;
  FLineStart = Start;
  FHasBuffer = true;
  return true;
}

void TStyleSheetScanner::StepLineBreak() {
  const char C = Cur();
  ++FCurrent;
  if ((C == '\n' && Cur() == '\r') || (C == '\r' && Cur() == '\n')) ++FCurrent;
  ++FLine;
  FLineStart = FCurrent;
}

void TStyleSheetScanner::SkipWhiteSpace() {
  for (;;) {
    const char C = Cur();
    if (C == ' ' || C == '\t') {
      ++FCurrent;
    } else if (C == '\n' || C == '\r') {
      StepLineBreak();
    } else if (C == '\0') {
      if (!FillBuffer()) return;
    } else {
      return;
    }
  }
}

void TStyleSheetScanner::ReadName() {
  bool First = true;
  while (First || IsNameChar(Cur())) {
    First = false;
    if (Cur() == '\0') return;
    if (Cur() != '\\') {
      ++FCurrent;
      continue;
    }
    ++FCurrent;  // the backslash
    if (IsEscapeChar(Cur())) {
      while (IsEscapeChar(Cur())) ++FCurrent;
      // The blank that ends a hexadecimal escape belongs to it.
      while (Cur() == ' ' || Cur() == '\t' || Cur() == '\n' || Cur() == '\r') {
        if (Cur() == '\n' || Cur() == '\r')
          StepLineBreak();
        else
          ++FCurrent;
      }
    } else if (IsPrintable(Cur())) {
      ++FCurrent;
    }
  }
}

void TStyleSheetScanner::ReadNameText() {
  const char* From = FCurrent;
  if (Cur() != '\0') ReadName();
  FTokenStr.assign(From, FCurrent);
}

uint8_t TStyleSheetScanner::AtKeyword(const std::string& Name) const {
  if (Name.empty()) return '@';
  // One keyword per first letter is worth comparing.
  switch (static_cast<char>(Name[0] | 32)) {
    case 'i':
      return SameText(Name, "import") ? csstImport : csstAtKeyword;
    case 'p':
      return SameText(Name, "page") ? csstPage : csstAtKeyword;
    case 'm':
      return SameText(Name, "media") ? csstMedia : csstAtKeyword;
    case 'f':
      return SameText(Name, "font-face") ? csstFontFace : csstAtKeyword;
    case 'c':
      return SameText(Name, "charset") ? csstCharset : csstAtKeyword;
    default:
      return csstAtKeyword;
  }
}

uint8_t TStyleSheetScanner::Unit(const std::string& U) {
  if (U.empty()) return csstDimension;
  const char F = static_cast<char>(U[0] | 32);
  if (F < 'c' || F > 's') return csstDimension;
  static const std::pair<const char*, uint8_t> Units[] = {
      {"em", csstEms},     {"ex", csstExs},     {"px", csstLength},   {"cm", csstLength}, {"mm", csstLength},
      {"in", csstLength},  {"pt", csstLength},  {"pc", csstLength},   {"deg", csstAngle}, {"rad", csstAngle},
      {"grad", csstAngle}, {"ms", csstTime},    {"s", csstTime},      {"hz", csstFreq},   {"khz", csstFreq}};
  for (const auto& [Name, Code] : Units)
    if (SameText(U, Name)) return Code;
  return csstDimension;
}

void TStyleSheetScanner::ReadNumber(const char* Start, bool Fraction) {
  if (!Fraction) {
    while (IsDigit(Cur())) ++FCurrent;
    if (Cur() == '.') ++FCurrent;
  }
  while (IsDigit(Cur())) ++FCurrent;
  FTokenStr.assign(Start, FCurrent);
  if (Cur() == '%') {
    ++FCurrent;
    FTokenStr += '%';
    FToken = csstPercentage;
  } else if (IsNameStart(Cur())) {
    const char* From = FCurrent;
    ReadName();
    const std::string U(From, FCurrent);
    FTokenStr += U;
    FToken = Unit(U);
  } else {
    FToken = csstNumber;
  }
}

void TStyleSheetScanner::HandleString(char Quote) {
  FTokenStr.assign(1, Quote);
  ++FCurrent;
  for (;;) {
    const char C = Cur();
    if (C == '\0') {
      if (!FillBuffer()) return;
      continue;
    }
    if (C == '\n' || C == '\r') {
      const char* From = FCurrent;
      StepLineBreak();
      FTokenStr.append(From, FCurrent);
      continue;
    }
    FTokenStr += C;
    ++FCurrent;
    if (C == '\\' && IsPrintable(Cur())) {
      FTokenStr += Cur();
      ++FCurrent;
    } else if (C == Quote) {
      return;
    }
  }
}

void TStyleSheetScanner::HandleComment() {
  for (;;) {
    const char C = Cur();
    if (C == '\0') {
      if (!FillBuffer()) return;
    } else if (C == '\n' || C == '\r') {
      StepLineBreak();
    } else if (C == '*' && FCurrent[1] == '/') {
      FCurrent += 2;
      return;
    } else {
      ++FCurrent;
    }
  }
}

void TStyleSheetScanner::ReadURIBody() {
  ++FCurrent;  // the '('
  SkipWhiteSpace();
  if (Cur() == '"' || Cur() == '\'') {
    const std::string Name = FTokenStr;
    HandleString(Cur());
    FTokenStr = Name;
    SkipWhiteSpace();
    if (Cur() == ')') ++FCurrent;
    return;
  }
  for (;;) {
    const char C = Cur();
    if (C == '\0') {
      if (!FillBuffer()) return;
    } else if (C == '\n' || C == '\r') {
      StepLineBreak();
    } else {
      ++FCurrent;
      if (C == ')') return;
    }
  }
}

uint8_t TStyleSheetScanner::GetToken() {
  for (;;) {
    SkipWhiteSpace();
    const char* Start = FCurrent;
    FToken = static_cast<uint8_t>(Cur());
    const int32_t Offset = FHasBuffer ? FProducer->BufferOffset(FCurrent) : 0;
    if (Offset >= FKibitzPoint) return FToken = csstKibitz;
    const char C = Cur();
    switch (C) {
      case '\0':
        if (FillBuffer()) continue;
        return FToken = csstEof;
      case '\'':
      case '"':
        HandleString(C);
        return FToken = csstString;
      case '!': {
        ++FCurrent;
        SkipWhiteSpace();
        ReadNameText();
        return FToken = SameText(FTokenStr, "important") ? csstImportant : static_cast<uint8_t>('!');
      }
      case '#':
        ++FCurrent;
        ReadNameText();
        return FToken = csstHash;
      case '@':
        ++FCurrent;
        ReadNameText();
        return FToken = AtKeyword(FTokenStr);
      case '-':
        ++FCurrent;
        if (Cur() == '-' && FCurrent[1] == '>') {
          FCurrent += 2;
          FTokenStr.assign(Start, FCurrent);
          return FToken = csstCDC;
        }
        if (Cur() == '-') ++FCurrent;
        FTokenStr.assign(Start, FCurrent);
        return FToken = '-';
      case '.':
        ++FCurrent;
        if (IsDigit(Cur())) {
          ReadNumber(Start, true);
          return FToken;
        }
        FTokenStr = ".";
        return FToken = '.';
      case '/':
        ++FCurrent;
        if (Cur() == '*') {
          ++FCurrent;
          HandleComment();
          continue;
        }
        FTokenStr = "/";
        return FToken = '/';
      case '<':
        ++FCurrent;
        if (FCurrent[0] == '!' && FCurrent[1] == '-' && FCurrent[2] == '-') {
          FCurrent += 3;
          FTokenStr.assign(Start, FCurrent);
          return FToken = csstCDO;
        }
        FTokenStr.assign(Start, FCurrent);
        return FToken = '<';
      case '|':
      case '~':
        ++FCurrent;
        if (Cur() == '=') {
          ++FCurrent;
          FToken = C == '|' ? csstDashMatch : csstIncludes;
        }
        FTokenStr.assign(Start, FCurrent);
        return FToken;
      default:
        break;
    }
    if (IsDigit(C)) {
      ReadNumber(Start, false);
      return FToken;
    }
    if (C == 'U' && FCurrent[1] == '+') {
      FCurrent += 2;
      while (IsEscapeChar(Cur())) ++FCurrent;
      if (Cur() == '-') ++FCurrent;
      while (IsEscapeChar(Cur())) ++FCurrent;
      FTokenStr.assign(Start, FCurrent);
      return FToken = csstUnicodeRange;
    }
    if (IsNameStart(C)) {
      ReadNameText();
      FToken = csstIdent;
      if (Cur() == '(') {
        if (SameText(FTokenStr, "url")) {
          FToken = csstURI;
          ReadURIBody();
        } else {
          FToken = csstFunction;
        }
      }
      return FToken;
    }
    ++FCurrent;
    FTokenStr.assign(1, C);
    return FToken;
  }
}

std::string TStyleSheetScanner::TokenToStr(uint8_t Token) {
  static const char* const Names[] = {
      "Open SGML Comment", "Close SGML Comment", "include", "dash match", "string",     "identifier",
      "hash",              "import",             "page",    "media",      "font-face",  "charset",
      "atkeyword",         "important",          "ems",     "exs",        "length",     "angle",
      "time",              "frequency",          "dimension", "percentage", "number",   "uri",
      "function",          "unicode range"};
  if (Token == csstEof) return "End of file";
  if (Token >= csstCDO && Token <= csstUnicodeRange) return Names[Token - csstCDO];
  return std::string(1, static_cast<char>(Token));
}

}  // namespace kel
