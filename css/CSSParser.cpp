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
  // A scanner read again from the start forgets the last text entirely; its
  // lines count from this text's start, so error lines are this text's.
  FCurrent = FLineStart = FEmpty;
  FHasBuffer = false;
  FToken = csstEof;
  FLine = 0;
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
  if (C == '\r' && Cur() == '\n') ++FCurrent;
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
      {"em", csstEms},     {"ex", csstExs},    {"px", csstLength}, {"cm", csstLength}, {"mm", csstLength},
      {"in", csstLength},  {"pt", csstLength}, {"pc", csstLength}, {"deg", csstAngle}, {"rad", csstAngle},
      {"grad", csstAngle}, {"ms", csstTime},   {"s", csstTime},    {"hz", csstFreq},   {"khz", csstFreq}};
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
      FTokenStr.append(From, static_cast<size_t>(FCurrent - From));
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
        FTokenStr.assign(1, '.');
        return FToken = '.';
      case '/':
        ++FCurrent;
        if (Cur() == '*') {
          ++FCurrent;
          HandleComment();
          continue;
        }
        FTokenStr.assign(1, '/');
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
  static const char* const Names[] = {"Open SGML Comment",
                                      "Close SGML Comment",
                                      "include",
                                      "dash match",
                                      "string",
                                      "identifier",
                                      "hash",
                                      "import",
                                      "page",
                                      "media",
                                      "font-face",
                                      "charset",
                                      "atkeyword",
                                      "important",
                                      "ems",
                                      "exs",
                                      "length",
                                      "angle",
                                      "time",
                                      "frequency",
                                      "dimension",
                                      "percentage",
                                      "number",
                                      "uri",
                                      "function",
                                      "unicode range"};
  if (Token == csstEof) return "End of file";
  if (Token >= csstCDO && Token <= csstUnicodeRange) return Names[Token - csstCDO];
  return std::string(1, static_cast<char>(Token));
}

}  // namespace kel

// ---- The parser -------------------------------------------------------------------------------

namespace kel {

namespace {

bool StartsSimpleSelector(uint8_t T) {
  return T == csstIdent || T == '*' || T == csstHash || T == '.' || T == '[' || T == ':';
}

}  // namespace

TStyleSheetParser::TStyleSheetParser()
    : Scanner(std::make_unique<TStyleSheetScanner>()), SymbolTable(std::make_unique<TCSSSymbolTable>(this)) {}

TStyleSheetParser::~TStyleSheetParser() {
  FreeNodeChain(KibitzNode);
  SymbolTable.reset();
  Scanner.reset();
}

void TStyleSheetParser::SetBufferAndPoint(IMLBufferProducer* Producer, int32_t Point) {
  Scanner->SetBufferAndPoint(Producer, Point);
}

TStyleSheet* TStyleSheetParser::Parse() {
  // Memory does not grow across requests: the last parse's nodes go now.
  FreeNodeChain(KibitzNode);
  KibitzPos = TKibitzPos::kpNone;
  SymbolTable->ResetKibitz();
  TStyleSheet* Sheet = ParseStyleSheet();
  if (KibitzPos == TKibitzPos::kpExpr || KibitzPos == TKibitzPos::kpProperty) {
    for (TCSSNode* N = KibitzNode; N; N = N->Next)
      if (N->Kind == TNodeKind::nkDeclaration) {
        SymbolTable->SetKibitzProperty(SymbolTable->LookupProperty(static_cast<TDeclaration*>(N)->Property));
        break;
      }
  }
  return Sheet;
}

void TStyleSheetParser::ParseError(TErrorKind Kind, const std::string& Msg,
                                   const std::vector<std::string>& Args) {
  if (!OnParseError) return;
  const char* Word = Kind == TErrorKind::ekError     ? "Error"
                     : Kind == TErrorKind::ekWarning ? "Warning"
                                                     : "Invalid error kind";
  // The message is formatted once; a '%' in what it quotes stays as it is.
  OnParseError(this, std::string(Word) + " (line " + std::to_string(Scanner->GetLine() + 1) +
                         "): " + Format(Msg, Args));
}

void TStyleSheetParser::ExpectFound(const std::string& Wanted) {
  const std::string Found =
      Tok() == csstIdent ? Scanner->GetTokenStr() : TStyleSheetScanner::TokenToStr(Tok());
  ParseError(TErrorKind::ekError, "Expected '%s' but found '%s'", {Wanted, Found});
}

bool TStyleSheetParser::StopAt(TKibitzPos Pos) {
  if (!AtPoint()) return false;
  SetPos(Pos);
  return true;
}

void TStyleSheetParser::ExpectUnlessPoint(uint8_t Token, int StopClass, TKibitzPos Pos) {
  if (!StopAt(Pos)) Expect(Token, StopClass);
}

std::string TStyleSheetParser::ReadIdent(TKibitzPos Pos) {
  if (Tok() == csstIdent) {
    return TakeText();
  }
  ExpectUnlessPoint(csstIdent, 2, Pos);
  return {};
}

bool TStyleSheetParser::Expect(uint8_t Token, int StopClass) {
  if (Tok() == Token) {
    Next();
    return true;
  }
  ExpectFound(TStyleSheetScanner::TokenToStr(Token));
  int Depth = 0;
  while (Tok() != csstEof && Tok() != csstKibitz) {
    const uint8_t T = Tok();
    if (StopClass == 1 && T == ';') break;
    if (StopClass == StopAtDeclarationEnd && Depth == 0 && (T == ';' || T == '}')) break;
    if (StopClass == StopAfterBrace && T == '{') {
      Next();
      break;
    }
    if (StopClass == StopAfterParen) {
      if (Depth == 0 && (T == ';' || T == '}')) break;
      if (T == '(') {
        ++Depth;
      } else if (T == ')' && Depth-- == 0) {
        Next();
        break;
      }
    }
    if (StopClass == StopAfterBlock) {
      if (T == '{') {
        ++Depth;
      } else if (T == '}' && Depth-- == 0) {
        Next();
        break;
      }
    }
    Next();
  }
  return false;
}

TStyleSheet* TStyleSheetParser::ParseStyleSheet() {
  auto* Sheet = new TStyleSheet(KibitzNode);
  Next();
  if (StopAt(TKibitzPos::kpExpr)) return Sheet;
  if (Tok() == csstCharset) {
    Next();
    if (StopAt(TKibitzPos::kpExpr)) return Sheet;
    Sheet->Charset = Scanner->GetTokenStr();
    Expect(csstString, 2);
    if (StopAt(TKibitzPos::kpExpr)) return Sheet;
    Expect(';', 2);
  }
  Sheet->Add(ParseSGMLComment());
  while (Tok() == csstImport) {
    Sheet->Add(ParseImport());
    Sheet->Add(ParseSGMLComment());
  }
  for (;;) {
    const uint8_t T = Tok();
    if (StartsSimpleSelector(T))
      Sheet->Add(ParseRuleSet());
    else if (T == csstPage)
      Sheet->Add(ParsePage());
    else if (T == csstMedia)
      Sheet->Add(ParseMedia());
    else if (T == csstFontFace)
      Sheet->Add(ParseFontFace());
    else if (T == csstAtKeyword || T == '@' || T == csstImport || T == csstCharset)
      SkipAtRule();
    else
      break;
    Sheet->Add(ParseSGMLComment());
  }
  Sheet->Add(ParseSGMLComment());
  return Sheet;
}

// An at-rule this grammar does not know (@keyframes, @supports, ...) or one
// out of place is passed over, to its ';' or past its block, so that the
// rules after it are read.
void TStyleSheetParser::SkipAtRule() {
  ParseError(TErrorKind::ekWarning, "Unknown at-rule '%s' skipped", {Scanner->GetTokenStr()});
  int Depth = 0;
  Next();
  while (Tok() != csstEof && Tok() != csstKibitz) {
    const uint8_t T = Tok();
    Next();
    if (T == ';' && Depth == 0) return;
    if (T == '{') ++Depth;
    if (T == '}' && --Depth <= 0) return;
  }
  SetPos(TKibitzPos::kpRule);
}

TSGMLComment* TStyleSheetParser::ParseSGMLComment() {
  if (StopAt(TKibitzPos::kpComment)) return nullptr;
  if (Tok() != csstCDO) return nullptr;
  auto* C = new TSGMLComment(KibitzNode);
  for (;;) {
    Next();
    if (StopAt(TKibitzPos::kpComment)) break;
    if (Tok() == csstEof) break;
    C->Text += Scanner->GetTokenStr();
    if (Tok() == csstCDC) {
      Next();
      break;
    }
  }
  return C;
}

TImport* TStyleSheetParser::ParseImport() {
  if (StopAt(TKibitzPos::kpRule)) return nullptr;
  auto* I = new TImport(KibitzNode);
  Expect(csstImport, 1);
  if (StopAt(TKibitzPos::kpRule)) return I;
  if (Tok() == csstString || Tok() == csstURI) {
    I->URI = TakeText();
    if (StopAt(TKibitzPos::kpExpr)) return I;
  }
  if (Tok() == csstIdent) {
    I->Media.Add(ParseMedium());
    while (Tok() == ',') {
      Next();
      I->Media.Add(ParseMedium());
    }
  }
  ExpectUnlessPoint(';', 2, TKibitzPos::kpExpr);
  return I;
}

TMedia* TStyleSheetParser::ParseMedia() {
  if (StopAt(TKibitzPos::kpExpr)) return nullptr;
  auto* M = new TMedia(KibitzNode);
  Expect(csstMedia, 1);
  if (StopAt(TKibitzPos::kpExpr)) return M;
  // Media queries of later levels ("screen and (max-width: 600px)") are
  // passed over after their media type.
  const auto SkipQuery = [this] {
    while (!AtPoint() && Tok() != csstEof && Tok() != ',' && Tok() != '{' && Tok() != ';') Next();
  };
  const auto Medium = [&] {
    if (Tok() != '(') M->Media.Add(ParseMedium());  // "(min-width: 576px)" names no medium
    SkipQuery();
  };
  Medium();
  while (Tok() == ',') {
    Next();
    Medium();
  }
  if (StopAt(TKibitzPos::kpExpr)) return M;
  Expect('{', 2);
  while (Tok() == csstIdent || Tok() == '.' || Tok() == csstHash || Tok() == '[' || Tok() == ':')
    M->AddRule(ParseRuleSet());
  ExpectUnlessPoint('}', StopAfterBlock, TKibitzPos::kpExpr);
  return M;
}

std::string TStyleSheetParser::ParseMedium() { return ReadIdent(TKibitzPos::kpExpr); }

TPage* TStyleSheetParser::ParsePage() {
  if (StopAt(TKibitzPos::kpRule)) return nullptr;
  auto* P = new TPage(KibitzNode);
  Expect(csstPage, 1);
  if (Tok() == csstIdent) {
    P->PageName = TakeText();
  }
  if (StopAt(TKibitzPos::kpRule)) return P;
  if (Tok() == ':') P->PseudoPage = ParsePseudoPage();
  if (StopAt(TKibitzPos::kpRule)) return P;
  Expect('{', 2);
  if (StopAt(TKibitzPos::kpProperty)) return P;
  P->AddDecl(ParseDeclaration());
  while (Tok() == ';') {
    Next();
    P->AddDecl(ParseDeclaration());
  }
  ExpectUnlessPoint('}', StopAfterBlock, TKibitzPos::kpExpr);
  return P;
}

std::string TStyleSheetParser::ParsePseudoPage() {
  if (StopAt(TKibitzPos::kpRule)) return {};
  Expect(':', 2);
  return ReadIdent(TKibitzPos::kpRule);
}

TFontFace* TStyleSheetParser::ParseFontFace() {
  if (StopAt(TKibitzPos::kpRule)) return nullptr;
  auto* F = new TFontFace(KibitzNode);
  Expect(csstFontFace, 1);
  if (StopAt(TKibitzPos::kpRule)) return F;
  Expect('{', 2);
  F->AddDecl(ParseDeclaration());
  while (Tok() == ';') {
    Next();
    F->AddDecl(ParseDeclaration());
  }
  ExpectUnlessPoint('}', StopAfterBlock, TKibitzPos::kpProperty);
  return F;
}

TRuleSet* TStyleSheetParser::ParseRuleSet() {
  if (StopAt(TKibitzPos::kpRule)) return nullptr;
  auto* R = new TRuleSet(KibitzNode);
  R->AddSelector(ParseSelector());
  while (Tok() == ',') {
    Next();
    R->AddSelector(ParseSelector());
  }
  if (StopAt(TKibitzPos::kpRule)) return R;
  Expect('{', StopAfterBrace);
  if (StopAt(TKibitzPos::kpProperty)) return R;
  R->AddDecl(ParseDeclaration());
  for (;;) {
    if (Tok() == ';') {
      Next();
      if (AtPoint()) break;
      R->AddDecl(ParseDeclaration());
      continue;
    }
    if (AtPoint()) break;
    Expect('}', StopAfterBlock);
    return R;
  }
  SetPos(TKibitzPos::kpProperty);
  return R;
}

TSelector* TStyleSheetParser::ParseSelector() {
  if (StopAt(TKibitzPos::kpProperty)) return nullptr;
  auto* S = new TSelector(KibitzNode);
  S->Left = ParseSimpleSelector();
  if (StopAt(TKibitzPos::kpProperty)) return S;
  TNodeOp* Link = S;
  while (!AtPoint()) {
    Link->Op = ParseCombinator();
    if (AtPoint()) break;
    auto* NextLink = new TNodeOp(KibitzNode);
    Link->Right = NextLink;
    if (!StartsSimpleSelector(Tok())) return S;
    NextLink->Left = ParseSimpleSelector();
    Link = NextLink;
  }
  SetPos(TKibitzPos::kpProperty);
  return S;
}

TOp TStyleSheetParser::ParseCombinator() {
  // The general sibling combinator of later levels ('~') reads as a sibling.
  if (Tok() == '+' || Tok() == '>' || Tok() == '~') {
    const TOp Op = Tok() == '+' ? TOp::OpPlus : TOp::OpGreaterThan;
    Next();
    return Op;
  }
  StopAt(TKibitzPos::kpExpr);
  return TOp::OpNone;
}

TSimpleSelector* TStyleSheetParser::ParseSimpleSelector() {
  if (StopAt(TKibitzPos::kpProperty)) return nullptr;
  auto* S = new TSimpleSelector(KibitzNode);
  if (Tok() == csstIdent || Tok() == '*') S->ElementName = ParseElementName();
  for (;;) {
    const uint8_t T = Tok();
    if (T != '.' && T != ':' && T != '[' && T != csstHash) break;
    auto* V = new TSimpleSelectorValue;
    S->AddValue(V);
    if (T == '.') {
      V->SetClass(ParseClass());
    } else if (T == ':') {
      V->SetPseudo(ParsePseudo());
    } else if (T == '[') {
      V->SetAttrib(ParseAttrib());
    } else {
      V->SetHash(TakeText());
    }
  }
  return S;
}

std::string TStyleSheetParser::ParseElementName() {
  if (Tok() == csstIdent || Tok() == '*') return TakeText();
  if (!StopAt(TKibitzPos::kpProperty)) ExpectFound("identifier' or '*");
  return {};
}

std::string TStyleSheetParser::ParseClass() {
  if (StopAt(TKibitzPos::kpProperty)) return {};
  Expect('.', 2);
  return ReadIdent(TKibitzPos::kpProperty);
}

std::string TStyleSheetParser::ParsePseudo() {
  if (StopAt(TKibitzPos::kpExpr)) return {};
  Expect(':', 2);
  // "::before": the second colon belongs to the name.
  if (Tok() == ':') Next();
  // A vendor prefix ("::-moz-focus-inner") is part of the name.
  const std::string Prefix = Tok() == '-' ? TakeText() : std::string();
  if (Tok() == csstIdent) return Prefix + TakeText();
  if (StopAt(TKibitzPos::kpExpr)) return {};
  if (Tok() == csstFunction) {
    // ":not(...)", ":nth-child(2n+1)": the name, then the arguments are
    // skipped to the matching ')' so that what follows keeps its place.
    std::string Name = TakeText();
    int Depth = 0;
    while (!AtPoint() && Tok() != csstEof) {
      if (Tok() == '(') {
        ++Depth;
      } else if (Tok() == ')' && --Depth <= 0) {
        Next();
        return Name;
      }
      Next();
    }
    StopAt(TKibitzPos::kpProperty);
    return Name;
  }
  Expect(csstIdent, 2);
  return {};
}

TNodeOp* TStyleSheetParser::ParseAttrib() {
  if (StopAt(TKibitzPos::kpProperty)) return nullptr;
  auto* Op = new TNodeOp(KibitzNode);
  auto* Name = new TCSSValueNode(KibitzNode);
  Expect('[', 1);
  Name->ValueKind = TValueKind::vkIdent;
  Name->Value = Scanner->GetTokenStr();
  Op->Left = Name;
  if (StopAt(TKibitzPos::kpProperty)) return Op;
  Expect(csstIdent, 1);
  // The prefix, suffix and substring matches of later levels ("^=", "$=",
  // "*=") are read as an equality, so that the selector parses on.
  if ((Tok() == '^' || Tok() == '$' || Tok() == '*')) {
    Next();
    if (Tok() == '=') Next();
    Op->Op = TOp::OpEquals;
  } else if (Tok() == '=' || Tok() == csstIncludes || Tok() == csstDashMatch) {
    Op->Op = Tok() == '=' ? TOp::OpEquals : Tok() == csstIncludes ? TOp::OpIncludes : TOp::OpDashMatch;
    Next();
  } else if (StopAt(TKibitzPos::kpProperty))
    return Op;
  if (Tok() == csstIdent || Tok() == csstString) {
    auto* Value = new TCSSValueNode(KibitzNode);
    Value->ValueKind = Tok() == csstIdent ? TValueKind::vkIdent : TValueKind::vkString;
    Value->Value = TakeText();
    Op->Right = Value;
  } else if (StopAt(TKibitzPos::kpProperty))
    return Op;
  ExpectUnlessPoint(']', 1, TKibitzPos::kpProperty);
  return Op;
}

TDeclaration* TStyleSheetParser::ParseDeclaration() {
  if (StopAt(TKibitzPos::kpProperty)) return nullptr;
  // Vendor-prefixed and custom properties ("-webkit-appearance", "--tide")
  // arrive as '-' or "--" and then the name.
  std::string Prefix;
  if (Tok() == '-') {
    Prefix = TakeText();
    if (StopAt(TKibitzPos::kpProperty)) return nullptr;
  } else if (Tok() != csstIdent) {
    return nullptr;
  }
  auto* D = new TDeclaration(KibitzNode);
  D->Property = Prefix + ParseProperty();
  if (StopAt(TKibitzPos::kpProperty)) return D;
  if (!Expect(':', StopAtDeclarationEnd)) return D;
  if (StopAt(TKibitzPos::kpExpr)) return D;
  if (TNodeOp* E = ParseExpr()) D->Expr = E;
  if (Tok() == csstImportant) D->Priority = ParsePrio();
  return D;
}

std::string TStyleSheetParser::ParseProperty() { return ReadIdent(TKibitzPos::kpProperty); }

TCSSPriority TStyleSheetParser::ParsePrio() {
  if (Tok() == csstImportant) {
    Next();
    return TCSSPriority::cpImportant;
  }
  ExpectUnlessPoint(csstImportant, 2, TKibitzPos::kpExpr);
  return TCSSPriority::cpNone;
}

TNodeOp* TStyleSheetParser::ParseExpr() {
  if (StopAt(TKibitzPos::kpExpr)) return nullptr;
  auto* First = new TNodeOp(KibitzNode);
  First->Left = ParseTerm();
  if (StopAt(TKibitzPos::kpExpr)) return First;
  TNodeOp* Link = First;
  const auto Continues = [](uint8_t T) {
    return T == '/' || T == ',' || T == csstString || T == csstIdent || T == csstHash || T == csstAtKeyword ||
           (T >= csstEms && T <= csstUnicodeRange);
  };
  while (Continues(Tok())) {
    Link->Op = ParseOperator();
    if (AtPoint()) break;
    auto* NextLink = new TNodeOp(KibitzNode);
    Link->Right = NextLink;
    NextLink->Left = ParseTerm();
    Link = NextLink;
    if (AtPoint()) break;
  }
  StopAt(TKibitzPos::kpExpr);
  return First;
}

TOp TStyleSheetParser::ParseOperator() {
  if (Tok() == '/' || Tok() == ',') {
    const TOp Op = Tok() == '/' ? TOp::OpSlash : TOp::OpComma;
    Next();
    return Op;
  }
  StopAt(TKibitzPos::kpExpr);
  return TOp::OpNone;
}

TCSSNode* TStyleSheetParser::ParseTerm() {
  if (StopAt(TKibitzPos::kpExpr)) return nullptr;
  auto* Value = new TCSSValueNode(KibitzNode);
  const uint8_t T = Tok();
  if (T == csstString || T == csstIdent || T == csstURI || T == csstUnicodeRange) {
    Value->ValueKind = T == csstString  ? TValueKind::vkString
                       : T == csstIdent ? TValueKind::vkIdent
                       : T == csstURI   ? TValueKind::vkURI
                                        : TValueKind::vkUnicodeRange;
    Value->Value = TakeText();
    return Value;
  }
  if (T == csstHash) {
    Value->ValueKind = TValueKind::vkHash;
    Value->Value = ParseHexColor();
    if (StopAt(TKibitzPos::kpExpr)) return nullptr;
    return Value;
  }
  auto* Op = new TNodeOp(KibitzNode);
  if (T == '-' || T == '+') {
    Op->Op = T == '-' ? TOp::OpMinus : TOp::OpPlus;
    Next();
  }
  if (StopAt(TKibitzPos::kpExpr)) return nullptr;
  static const std::pair<uint8_t, TValueKind> Numbers[] = {{csstEms, TValueKind::vkEms},
                                                           {csstExs, TValueKind::vkExs},
                                                           {csstLength, TValueKind::vkLength},
                                                           {csstAngle, TValueKind::vkAngle},
                                                           {csstTime, TValueKind::vkTime},
                                                           {csstFreq, TValueKind::vkFrequency},
                                                           {csstPercentage, TValueKind::vkPercentage},
                                                           {csstNumber, TValueKind::vkNumber}};
  bool Done = false;
  for (const auto& [Code, Kind] : Numbers)
    if (Tok() == Code) {
      Value->ValueKind = Kind;
      Value->Value = TakeText();
      Done = true;
      break;
    }
  if (!Done) {
    // A missing value ("color: }") leaves the token that ends the
    // declaration or the block for them.
    const uint8_t T2 = Tok();
    if (T2 == csstFunction)
      Op->Left = ParseFunction();
    else if (T2 != csstEof && T2 != ';' && T2 != '}' && T2 != '{' && T2 != ')' && T2 != csstImportant)
      Next();
  }
  if (!Op->Left) Op->Left = Value;
  return Op;
}

TNodeOp* TStyleSheetParser::ParseFunction() {
  if (StopAt(TKibitzPos::kpExpr)) return nullptr;
  Expect(csstFunction, 2);
  if (StopAt(TKibitzPos::kpExpr)) return nullptr;
  TNodeOp* Args = ParseExpr();
  ExpectUnlessPoint(')', StopAfterParen, TKibitzPos::kpExpr);
  return Args;
}

std::string TStyleSheetParser::ParseHexColor() {
  if (Tok() == csstHash) return TakeText();
  ExpectUnlessPoint(csstHash, 2, TKibitzPos::kpExpr);
  return {};
}

}  // namespace kel
