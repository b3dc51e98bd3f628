#include "schema/DTDParser.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "host/KelFiles.h"
#include "host/KelHostAPI.h"
#include "host/KelStrings.h"

namespace kel {

namespace {

bool IsWhite(unsigned char C) { return C == 9 || C == 10 || C == 13 || C == 32; }
bool IsDigit(unsigned char C) { return C >= '0' && C <= '9'; }
bool IsLetter(unsigned char C) { return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z'); }
bool IsNameStart(unsigned char C) {
  return IsLetter(C) || C == '_' || C == ':' || (C >= 192 && C <= 214) || (C >= 216 && C <= 246) || C >= 248;
}
bool IsNameChar(unsigned char C) {
  return C == '-' || C == '.' || IsDigit(C) || C == ':' || IsLetter(C) || C == '_';
}
// "FORM.enctype=(multipart/form-data|text/plain)" lists values no name
// token can spell.
bool IsEditorChar(unsigned char C) {
  return IsNameChar(C) || C == '=' || C == '(' || C == ')' || C == '|' || C == '/' || C == '+';
}

int TableOf(TDeclType T) {
  switch (T) {
    case TDeclType::dtNone:
      return 0;
    case TDeclType::dtParameterizedEntity:
      return 1;
    case TDeclType::dtEntity:
      return 2;
    case TDeclType::dtElement:
      return 3;
    case TDeclType::dtAttribute:
      break;
  }
  return -1;
}

}  // namespace

const char* ParseErrorWord(TParseError E) {
  static const char* const Words[] = {"Failure", "Error", "Warning", "Hint"};
  return Words[static_cast<int>(E)];
}

namespace {

// The largest DTD file read: the largest real one (the W3C's entity names)
// is 170 KB; a page's own DTD can name any file beside it.
constexpr std::uintmax_t MaxDTDFileSize = 16u << 20;

// Why a file is not read as a DTD: a pipe or device (/dev/zero never ends)
// or a file above the cap; empty when it is read.
std::string Unreadable(const std::string& FileName) {
  std::error_code Error;
  if (std::filesystem::exists(FileName, Error) && !std::filesystem::is_regular_file(FileName, Error))
    return "%s is not a regular file; it is not read";
  const std::uintmax_t Size = std::filesystem::file_size(FileName, Error);
  return !Error && Size > MaxDTDFileSize ? "%s is too large for a DTD; it is not read" : "";
}

}  // namespace

// ---- Declarations -----------------------------------------------------------------------

void TDTDElement::EnterSymbol(TDTDAttribute* Attribute) {
  AttributeTable.insert_or_assign(Attribute->Name, Attribute);
}

TDTDAttribute* TDTDElement::LookupSymbol(const std::string& AName) const {
  const auto It = AttributeTable.find(AName);
  return It == AttributeTable.end() ? nullptr : It->second;
}

// ---- Scanner ------------------------------------------------------------------------------

TDTDScanner::TDTDScanner(TDTDParser* AParser) : Parser(AParser) {
  EnterKeywordSymbol("<!ENTITY", TTokenKind::tkEntity);
  EnterKeywordSymbol("<!ELEMENT", TTokenKind::tkElement);
  EnterKeywordSymbol("<!ATTLIST", TTokenKind::tkAttList);
  Buffer[0] = '\0';
  Current = Buffer.data();
}

TDTDScanner::~TDTDScanner() = default;

void TDTDScanner::EnterKeywordSymbol(const std::string& Text, TTokenKind Kind) {
  auto& Bucket = KeywordTable[Hash(Text)];
  Bucket.insert(Bucket.begin(), std::make_unique<TDTDKeywordSymbol>(Text, Kind));
}

TTokenKind TDTDScanner::LookupKeywordSymbol(const std::string& Text) const {
  // SGML's declaration names are read in any letter case: <!element is
  // <!ELEMENT.
  for (const auto& K : KeywordTable[Hash(Text)])
    if (SameText(K->Name, Text)) return K->TokenKind;
  return TTokenKind::tkIdentifier;
}

void TDTDScanner::LoadFromStream(TKelStream* AStream, const std::string& AFileName) {
  Stream = AStream;
  FileName = AFileName;
  AtEndOfStream = false;
  Buffer[0] = '\0';
  BytesRead = 0;
  Current = Buffer.data();
}

void TDTDScanner::ParseError(TParseError Severity, const std::string& Pattern,
                             const std::vector<std::string>& Args) {
  if (Parser) Parser->ParseError(Severity, Pattern, Args);
}

void TDTDScanner::FillBuffer() {
  BytesRead = Stream ? Stream->Read(Buffer.data(), MLBufferSize) : 0;
  if (BytesRead < 0) BytesRead = 0;
  // The chunk ends at its NUL: one in the text reads as a blank.
  std::replace(Buffer.data(), Buffer.data() + BytesRead, '\0', ' ');
  Current = Buffer.data();
  if (BytesRead < MLBufferSize) {
    AtEndOfStream = true;
    Buffer[static_cast<size_t>(BytesRead)] = '\0';
    return;
  }
  int32_t Last = BytesRead - 1;
  while (Last >= 0 && Buffer[static_cast<size_t>(Last)] != '\n' && Buffer[static_cast<size_t>(Last)] != '\r')
    --Last;
  // A CR that ends the chunk may have its LF in the next: it goes there too.
  if (Last == BytesRead - 1 && Last > 0 && Buffer[static_cast<size_t>(Last)] == '\r') --Last;
  if (Last < 0) {
    // A line longer than the chunk (generated DTDs): cut after a character
    // that no name or keyword holds; a word longer than the chunk is cut
    // where the chunk ends, and the reader says what it finds there.
    Last = BytesRead - 1;
    while (Last >= 0 &&
           std::string_view(" \t|,()>").find(Buffer[static_cast<size_t>(Last)]) == std::string_view::npos)
      --Last;
    if (Last < 0) Last = BytesRead - 1;
  }
  const int32_t Tail = BytesRead - 1 - Last;
  if (Tail > 0) Stream->Seek(-Tail, TSeekOrigin::soCurrent);
  BytesRead -= Tail;
  Buffer[static_cast<size_t>(BytesRead)] = '\0';
}

bool TDTDScanner::EndOfStream() {
  if (InEntity) {
    Current = SavedPosition;
    InEntity = false;
    EntityNames.clear();
    return false;
  }
  if (!IncludeStack.empty() && AtEndOfStream) {
    auto& Top = *IncludeStack.back();
    Stream = Top.Stream;
    OwnedStream = std::move(Top.OwnedStream);
    FileName = Top.FileName;
    Buffer = Top.Buffer;
    BytesRead = Top.BytesRead;
    Current = Buffer.data() + Top.Position;
    LineNumber = Top.LineNumber;
    AtEndOfStream = Top.AtEndOfStream;
    if (!Top.EntityRest.empty()) {
      InEntity = true;
      SavedPosition = Current;
      std::memcpy(EntityBuffer.data(), Top.EntityRest.data(), Top.EntityRest.size());
      EntityLength = static_cast<int32_t>(Top.EntityRest.size());
      EntityBuffer[static_cast<size_t>(EntityLength)] = '\0';
      Current = EntityBuffer.data();
      EntityNames = std::move(Top.EntityNames);
    }
    IncludeStack.pop_back();
    return false;
  }
  if (!AtEndOfStream) {
    FillBuffer();
    return false;
  }
  return true;
}

void TDTDScanner::LineBreak() {
  // CR LF is one break, LF CR two: lines count as in the editor.
  const char First = *Current++;
  if (First == '\r' && *Current == '\n') ++Current;
  if (!InEntity) ++LineNumber;
}

std::string TDTDScanner::HandleString(char Quote) {
  std::string Text;
  for (;;) {
    const char C = *Current;
    if (C == '\0') {
      if (EndOfStream()) return Text;
    } else if (C == Quote) {
      ++Current;
      return Text;
    } else if (C == '\n' || C == '\r') {
      // A literal that spans lines keeps its words apart.
      LineBreak();
      Text += ' ';
    } else {
      Text += C;
      ++Current;
    }
  }
}

void TDTDScanner::SkipPast(const char* Mark) {
  const size_t Length = std::strlen(Mark);
  for (;;) {
    if (*Current == '\0') {
      if (EndOfStream()) return;
    } else if (std::strncmp(Current, Mark, Length) == 0) {
      Current += Length;
      return;
    } else if (*Current == '\n' || *Current == '\r') {
      LineBreak();
    } else {
      ++Current;
    }
  }
}

void TDTDScanner::HandleGlobalComment() { SkipPast("-->"); }

// A "--" inside a declaration, SGML style, runs to the next "--".
void TDTDScanner::HandleInlineComment() { SkipPast("--"); }

void TDTDScanner::HandleEditors() {
  const auto Bind = [this](const std::string& Entry) {
    const size_t Dot = Entry.find('.');
    const size_t Eq = Dot == std::string::npos ? std::string::npos : Entry.find('=', Dot + 1);
    // An entry without "Element.Attribute=" binds nothing.
    if (Eq == std::string::npos || !Parser) return;
    auto* Element =
        dynamic_cast<TDTDElement*>(Parser->LookupSymbol(Entry.substr(0, Dot), TDeclType::dtElement));
    if (!Element) return;
    if (auto* Attribute = Element->LookupSymbol(Entry.substr(Dot + 1, Eq - Dot - 1)))
      Attribute->Editor = Entry.substr(Eq + 1);
  };
  std::string Entry;
  for (;;) {
    const auto C = static_cast<unsigned char>(*Current);
    if (C == '\0') {
      if (EndOfStream()) break;
      continue;
    }
    if (Current[0] == '-' && Current[1] == '-' && Current[2] == '>') {
      Current += 3;
      break;
    }
    if (IsEditorChar(C)) {
      Entry += static_cast<char>(C);
      ++Current;
      continue;
    }
    if (!Entry.empty()) Bind(Entry);
    Entry.clear();
    if (C == '\n' || C == '\r')
      LineBreak();
    else
      ++Current;
  }
  if (!Entry.empty()) Bind(Entry);
}

void TDTDScanner::PushIncludeFile(const std::string& Name, const std::string& EntityName) {
  if (Name.empty()) {
    ParseError(TParseError::peFailure, "Invalid file %s", {""});
    return;
  }
  std::string Resolved = GetSchemaFileName(Name, Parser ? Parser->KibitzMode : TKibitzMode::kmHTML);
  // A page's own DTD includes files beside it or below it.
  // A file read by a relative name stands in the working folder.
  if (!FileExists(Resolved) && !FileName.starts_with(GetSchemaFolder()))
    if (const std::string Folder = ExtractFilePath(FileName); !FileName.empty())
      if (std::string Local = LocalSchemaFile(Name, Folder.empty() ? "." : Folder); !Local.empty())
        Resolved = Local;
  if (!FileExists(Resolved)) {
    ParseError(TParseError::peFailure, "Invalid file %s", {Resolved});
    return;
  }
  // A file that is already being read would include itself without end.
  if (Resolved == FileName || std::any_of(IncludeStack.begin(), IncludeStack.end(),
                                          [&Resolved](const auto& E) { return E->FileName == Resolved; })) {
    ParseError(TParseError::peFailure, "Invalid file %s", {Resolved});
    return;
  }
  if (const std::string Why = Unreadable(Resolved); !Why.empty()) {
    ParseError(TParseError::peFailure, Why, {Resolved});
    return;
  }
  // Each level holds a chunk of its file; real DTDs nest five deep (XHTML 1.1).
  constexpr size_t MaxIncludeDepth = 64;
  if (IncludeStack.size() >= MaxIncludeDepth) {
    ParseError(TParseError::peFailure, "%s is included %s files deep; it is not read",
               {Resolved, std::to_string(IncludeStack.size() + 1)});
    return;
  }
  // A file named again and again reads again each time: it spends the
  // expansion budget by its size.
  std::error_code SizeError;
  const auto Size = static_cast<int64_t>(std::filesystem::file_size(Resolved, SizeError));
  if (!SpendExpansion(SizeError ? 0 : Size, true, EntityName)) return;
  auto File = std::make_unique<TKelFileStream>(Resolved);
  if (!File->IsOpen()) {
    ParseError(TParseError::peFailure, "Invalid file %s", {Resolved});
    return;
  }
  auto Entry = std::make_unique<TBufferEntry>();
  Entry->LineNumber = LineNumber;
  Entry->FileName = FileName;
  Entry->Stream = Stream;
  Entry->OwnedStream = std::move(OwnedStream);
  Entry->Buffer = Buffer;
  Entry->BytesRead = BytesRead;
  Entry->AtEndOfStream = AtEndOfStream;
  // An include met inside entity text resumes with the rest of that text,
  // then after the whole expansion.
  Entry->Position = static_cast<size_t>((InEntity ? SavedPosition : Current) - Buffer.data());
  if (InEntity) {
    Entry->EntityRest.assign(Current, static_cast<size_t>(EntityBuffer.data() + EntityLength - Current));
    Entry->EntityNames = std::move(EntityNames);
    InEntity = false;
    EntityNames.clear();
  }
  IncludeStack.push_back(std::move(Entry));
  OwnedStream = std::move(File);
  Stream = OwnedStream.get();
  FileName = Resolved;
  LineNumber = 1;
  AtEndOfStream = false;
  FillBuffer();
}

TDTDExpansionLimits& DTDExpansionLimits() {
  static TDTDExpansionLimits Limits;
  return Limits;
}

bool TDTDScanner::SpendExpansion(int64_t Bytes, bool Included, const std::string& Name) {
  const TDTDExpansionLimits& Limits = DTDExpansionLimits();
  const bool Within =
      Included ? (IncludedBytes += Bytes) <= Limits.IncludedBytes : (ExpandedBytes += Bytes) <= Limits.Bytes;
  if (!ExpansionStopped && ++Expansions <= Limits.Expansions && Within) return true;
  // The rest of the file is read without this text.
  if (!ExpansionStopped)
    ParseError(TParseError::peError, "Parameter entity %s expands without end; its text is left out", {Name});
  ExpansionStopped = true;
  return false;
}

void TDTDScanner::PushParameterizedEntity(TDTDParameterizedEntity* Entity) {
  if (!Entity || Entity->Text.empty()) return;
  const std::string& Text = Entity->Text;
  if (!SpendExpansion(static_cast<int64_t>(Text.size()), false, Entity->Name)) return;
  if (!InEntity) {
    if (Text.size() >= static_cast<size_t>(MLBufferSize)) {
      ParseError(TParseError::peFailure, "Parameterized entity too long", {});
      return;
    }
    InEntity = true;
    SavedPosition = Current;
    std::memcpy(EntityBuffer.data(), Text.data(), Text.size());
    EntityLength = static_cast<int32_t>(Text.size());
  } else {
    // The entity's text goes before what is left of the one being read, in
    // place: no copies per expansion beyond the one move.
    const auto Rest = static_cast<size_t>(EntityBuffer.data() + EntityLength - Current);
    if (Text.size() + Rest + 1 > static_cast<size_t>(MLBufferSize)) {
      ParseError(TParseError::peFailure, "Parameterized entity too long", {});
      return;
    }
    std::memmove(EntityBuffer.data() + Text.size(), Current, Rest);
    std::memcpy(EntityBuffer.data(), Text.data(), Text.size());
    EntityLength = static_cast<int32_t>(Text.size() + Rest);
  }
  EntityBuffer[static_cast<size_t>(EntityLength)] = '\0';
  Current = EntityBuffer.data();
  EntityNames.push_back(Entity->Name);
}

void TDTDScanner::Ignore() {
  BeginIgnore();
  for (;;) {
    GetToken();
    if (Token == TTokenKind::tkEof) break;
    if (Token == TTokenKind::tkConditionalSectionStart) BeginIgnore();
    if (Token == TTokenKind::tkConditionalSectionEnd) EndIgnore();
    if (IgnoreDepth < 1) {
      GetToken();
      break;
    }
  }
}

void TDTDScanner::GetToken() {
  for (;;) {
    while (IsWhite(static_cast<unsigned char>(*Current))) {
      if (*Current == '\n' || *Current == '\r')
        LineBreak();
      else
        ++Current;
    }
    const char* Start = Current;
    const auto C = static_cast<unsigned char>(*Current);
    if (C == '\0') {
      if (!EndOfStream()) continue;
      Token = TTokenKind::tkEof;
      return;
    }
    ++Current;
    bool SetText = true;
    switch (C) {
      case '<':
        Token = TTokenKind::tkLessThan;
        if (*Current == '?') {
          // Processing instructions (documentation markup in the modular DTDs) say nothing to us.
          SkipPast("?>");
          continue;
        }
        if (*Current == '!') {
          ++Current;
          if (IsLetter(static_cast<unsigned char>(*Current))) {
            while (IsLetter(static_cast<unsigned char>(*Current))) ++Current;
            Token = LookupKeywordSymbol(std::string(Start, Current));
          } else if (*Current == '[') {
            ++Current;
            Token = TTokenKind::tkConditionalSectionStart;
          } else if (Current[0] == '-' && Current[1] == '-') {
            Current += 2;
            const char* Word = Current;
            while (IsLetter(static_cast<unsigned char>(*Current))) ++Current;
            if (SameText(std::string(Word, Current), "ATTRIBUTEEDITORS"))
              HandleEditors();
            else
              HandleGlobalComment();
            continue;
          } else {
            ParseError(TParseError::peError, "Expected %s but found %s",
                       {"<!ELEMENT, <!ATTLIST, <!ENTITY, -", std::string(Start, Current)});
          }
        }
        break;
      case '"':
      case '\'':
        Token = TTokenKind::tkStringLiteral;
        TokenText = HandleString(static_cast<char>(C));
        SetText = false;
        break;
      case '%': {
        Token = TTokenKind::tkPercent;
        if (IsNameChar(static_cast<unsigned char>(*Current))) {
          const char* Name = Current;
          while (IsNameChar(static_cast<unsigned char>(*Current))) ++Current;
          auto* Entity = Parser ? dynamic_cast<TDTDParameterizedEntity*>(Parser->LookupSymbol(
                                      std::string(Name, Current), TDeclType::dtParameterizedEntity))
                                : nullptr;
          if (Entity) {
            if (*Current == ';') ++Current;
            if (!Entity->SystemId.empty())
              PushIncludeFile(Entity->SystemId, Entity->Name);
            else
              PushParameterizedEntity(Entity);
            continue;
          }
        }
        break;
      }
      case '-':
        if (*Current == '-') {
          ++Current;
          HandleInlineComment();
          continue;
        }
        Token = TTokenKind::tkMinus;
        break;
      case ')':
        Token = TTokenKind::tkRParen;
        if (*Current == '+') {
          ++Current;
          Token = TTokenKind::tkRParenPlus;
        }
        break;
      case ']':
        if (Current[0] == ']' && Current[1] == '>') {
          Current += 2;
          Token = TTokenKind::tkConditionalSectionEnd;
        } else {
          Token = TTokenKind::tkRBracket;
          ParseError(TParseError::peError, "Invalid character in input stream %s", {"]"});
        }
        break;
      case '!':
        Token = TTokenKind::tkBang;
        break;
      case '#':
        Token = TTokenKind::tkPound;
        break;
      case '&':
        Token = TTokenKind::tkLogicalAnd;
        break;
      case '(':
        Token = TTokenKind::tkLParen;
        break;
      case '*':
        Token = TTokenKind::tkAsterisk;
        break;
      case '+':
        Token = TTokenKind::tkPlus;
        break;
      case ',':
        Token = TTokenKind::tkComma;
        break;
      case '.':
        Token = TTokenKind::tkDot;
        break;
      case '/':
        Token = TTokenKind::tkFSlash;
        break;
      case ';':
        Token = TTokenKind::tkSemiColon;
        break;
      case '>':
        Token = TTokenKind::tkGreaterThan;
        break;
      case '?':
        Token = TTokenKind::tkQuestionMark;
        break;
      case '[':
        Token = TTokenKind::tkLBracket;
        break;
      case '|':
        Token = TTokenKind::tkLogicalOr;
        break;
      default:
        if (IsDigit(C)) {
          Token = TTokenKind::tkNumber;
          while (IsDigit(static_cast<unsigned char>(*Current))) ++Current;
          if (*Current == '.') {
            ++Current;
            while (IsDigit(static_cast<unsigned char>(*Current))) ++Current;
          }
        } else if (IsNameStart(C)) {
          Token = TTokenKind::tkIdentifier;
          while (IsNameChar(static_cast<unsigned char>(*Current))) ++Current;
        } else {
          // The previous token's kind stays. A byte that is no printable
          // character is named by its number (a message is UTF-8).
          char Code[8];
          std::snprintf(Code, sizeof Code, "#x%02X", C);
          ParseError(TParseError::peError, "Invalid character in input stream %s",
                     {C >= 0x20 && C < 0x7F ? std::string(1, static_cast<char>(C)) : std::string(Code)});
        }
        break;
    }
    if (SetText) TokenText.assign(Start, Current);
    return;
  }
}

// ---- Parser (symbol tables and messages) ---------------------------------------------------

TDTDParser::TDTDParser() : Scanner(std::make_unique<TDTDScanner>(this)) {}

TDTDParser::~TDTDParser() { ClearTable(); }

void TDTDParser::ClearTable() {
  SymArray.clear();
  for (auto& T : Tables) T.clear();
  Symbols.clear();
  ExprNodes.clear();
  AttributeLinks = 0;
  FullReported = false;
}

bool TDTDParser::Full() {
  const bool TooMany = ExprNodes.size() + Symbols.size() > MaxItems;
  if (!TooMany && AttributeLinks <= MaxAttributeLinks) return false;
  if (!FullReported)
    ParseError(TParseError::peError,
               TooMany ? "The schema holds more than %s names and groups; the rest is not read"
                       : "The schema gives its elements more than %s attributes in all; the rest is not read",
               {TooMany ? "1,000,000" : "250,000"});
  FullReported = true;
  return true;
}

void TDTDParser::LoadFromFile(const std::string& FileName) {
  if (const std::string Why = Unreadable(FileName); !Why.empty()) {
    Scanner->FileName = FileName;
    ParseError(TParseError::peFailure, Why, {FileName});
    return;
  }
  TKelFileStream Stream(FileName);
  if (!Stream.IsOpen()) {
    Scanner->FileName = FileName;
    ParseError(TParseError::peFailure, "Invalid file %s", {FileName});
    return;
  }
  Scanner->LoadFromStream(&Stream, FileName);
  Parse();
}

void TDTDParser::LoadFromStream(TKelStream* Stream) {
  Scanner->LoadFromStream(Stream, "");
  Parse();
}

void TDTDParser::Parse() {
  Scanner->LineNumber = 1;
  Scanner->FillBuffer();
  ParseDocument();
  MakeSymArray();
  if (MessagesLeftOut > 0 && OnError)
    OnError(this, TParseError::peHint, Format("%s more messages left out", {std::to_string(MessagesLeftOut)}),
            Scanner->LineNumber, Scanner->FileName);
  MessagesShown = 0;
  MessagesLeftOut = 0;
}

void TDTDParser::MakeSymArray() {
  SymArray.clear();
  for (auto It = Symbols.rbegin(); It != Symbols.rend(); ++It) SymArray.push_back(It->get());
}

TDTDExprNode* TDTDParser::CreateExpr() {
  ExprNodes.push_back(std::make_unique<TDTDExprNode>());
  return ExprNodes.back().get();
}

void CollectSymbols(const TDTDExprNode* Node, std::vector<TDTDSymbol*>& Out) {
  for (; Node; Node = Node->Next) {
    if (Node->Symbol) Out.push_back(Node->Symbol);
    CollectSymbols(Node->SubExpr, Out);
  }
}

void TDTDParser::ParseDocument() {
  Next();
  // INCLUDE sections open and close without recursion: any nesting depth
  // costs a counter, not the stack.
  int64_t OpenSections = 0;
  for (;;) {
    if (Full()) return;
    switch (Token()) {
      case TTokenKind::tkEof:
        if (OpenSections > 0) ParseErrorExpected("]]>");
        return;
      case TTokenKind::tkConditionalSectionEnd:
        // One that closes no section ends the document, as it always has.
        if (OpenSections == 0) return;
        --OpenSections;
        Next();
        continue;
      case TTokenKind::tkElement:
        ParseElement();
        break;
      case TTokenKind::tkAttList:
        ParseAttList();
        break;
      case TTokenKind::tkEntity:
        ParseEntity();
        break;
      case TTokenKind::tkConditionalSectionStart: {
        Next();
        bool IsIgnore = false;
        if (Token() == TTokenKind::tkIdentifier) {
          IsIgnore = SameText(Scanner->TokenText, "IGNORE");
          Next();
        }
        if (IsIgnore) {
          Scanner->Ignore();
          continue;
        }
        if (Token() == TTokenKind::tkLBracket) {
          ++OpenSections;
          Next();
          continue;
        }
        ParseErrorExpected("[");
        break;
      }
      default:
        if (Token() == TTokenKind::tkIdentifier && Scanner->TokenText.starts_with("<!")) {
          // <!NOTATION, <!SHORTREF, <!USEMAP…: declarations that offer
          // nothing to complete. Any other name is a misspelt one, said.
          static constexpr const char* Quiet[] = {"<!NOTATION", "<!SHORTREF", "<!USEMAP",  "<!LINKTYPE",
                                                  "<!LINK",     "<!IDLINK",   "<!USELINK", "<!DOCTYPE"};
          if (std::none_of(std::begin(Quiet), std::end(Quiet),
                           [this](const char* Q) { return SameText(Scanner->TokenText, Q); }))
            ParseError(TParseError::peWarning, "Unknown declaration %s: skipped", {Scanner->TokenText});
          while (Token() != TTokenKind::tkGreaterThan && Token() != TTokenKind::tkEof) Next();
          break;
        }
        ParseErrorExpected("<!ELEMENT, <!ATTLIST, <!ENTITY");
        break;
    }
    if (Token() != TTokenKind::tkGreaterThan) ParseErrorExpected(">");
    Next();
  }
}

TDTDExprNode* TDTDParser::ParseExpr() {
  const TTokenKind T = Token();
  if (T == TTokenKind::tkIdentifier || T == TTokenKind::tkNumber || T == TTokenKind::tkPound)
    return ParseExprBody();
  if (T != TTokenKind::tkLParen) return CreateExpr();
  Next();
  TDTDExprNode* Chain = ParseExprBody();
  if (Token() == TTokenKind::tkRParenPlus) {
    Chain->Attributes = TExprAttributes::eaOneOrMore;
    Next();
  } else if (Token() == TTokenKind::tkRParen) {
    Next();
    if (Token() == TTokenKind::tkAsterisk) {
      Chain->Attributes = TExprAttributes::eaZeroOrMore;
      Next();
    }
  } else if (!FullReported) {
    ParseErrorExpected(")");
  }
  return Chain;
}

TDTDExprNode* TDTDParser::ParseExprBody() {
  TDTDExprNode* First = CreateExpr();
  TDTDExprNode* Current = First;
  for (;;) {
    if (Full()) {
      while (Token() != TTokenKind::tkGreaterThan && Token() != TTokenKind::tkEof) Next();
      return First;
    }
    const TTokenKind T = Token();
    if (T == TTokenKind::tkIdentifier || T == TTokenKind::tkNumber) {
      const std::string& Text = Scanner->TokenText;
      TDTDSymbol* Symbol = LookupSymbol(Text, DeclType);
      if (!Symbol) Symbol = EnterSymbol(Text, DeclType);
      Current->Symbol = Symbol;
      Next();
    } else if (T == TTokenKind::tkPound) {
      ParseAttribute(nullptr);  // #PCDATA: consumed, no symbol
    } else if (T == TTokenKind::tkLParen) {
      if (ExprDepth >= MaxExprDepth) {
        // Deeper than any real content model: read over the group, without
        // recursion, so that no DTD can exhaust the stack.
        if (!DepthReported) ParseError(TParseError::peError, "Content model nested too deeply", {});
        DepthReported = true;
        for (int32_t Open = 0;;) {
          const TTokenKind K = Token();
          if (K == TTokenKind::tkEof || K == TTokenKind::tkGreaterThan) break;
          if (K == TTokenKind::tkLParen) ++Open;
          if ((K == TTokenKind::tkRParen || K == TTokenKind::tkRParenPlus) && --Open == 0) {
            Next();
            break;
          }
          Next();
        }
      } else {
        // The group hangs below the node it stands in, so all of its names stay reachable.
        ++ExprDepth;
        Current->SubExpr = ParseExpr();
        --ExprDepth;
      }
    }
    switch (Token()) {
      case TTokenKind::tkPlus:
        Current->Attributes = TExprAttributes::eaOneOrMore;
        Next();
        break;
      case TTokenKind::tkQuestionMark:
        Current->Attributes = TExprAttributes::eaZeroOrOne;
        Next();
        break;
      case TTokenKind::tkAsterisk:
        Current->Attributes = TExprAttributes::eaZeroOrMore;
        Next();
        break;
      default:
        break;
    }
    TExprOp Op = TExprOp::eoNull;
    switch (Token()) {
      case TTokenKind::tkLogicalOr:
        Op = TExprOp::eoLogicalOr;
        break;
      case TTokenKind::tkLogicalAnd:
        Op = TExprOp::eoLogicalAnd;
        break;
      case TTokenKind::tkComma:
        Op = TExprOp::eoSequence;
        break;
      default:
        return First;
    }
    Current->Op = Op;
    Next();
    Current->Next = CreateExpr();
    Current = Current->Next;
  }
}

void TDTDParser::ParseElement() {
  Next();
  DeclType = TDeclType::dtElement;
  TDTDExprNode* Names = ParseExpr();
  bool StartRequired = true, EndRequired = true;
  const auto Flag = [this](bool& Required) {
    if (Token() == TTokenKind::tkIdentifier && Scanner->TokenText == "O") {
      Required = false;
    } else if (Token() == TTokenKind::tkMinus) {
      Required = true;
    } else {
      return false;
    }
    Next();
    return true;
  };
  if (Flag(StartRequired)) Flag(EndRequired);
  TDTDExprNode* Content = ParseExpr();
  auto* First = dynamic_cast<TDTDElement*>(Names->Symbol);
  if (First && Content->Symbol) {
    if (SameText(Content->Symbol->Name, "EMPTY")) First->Empty = true;
    if (SameText(Content->Symbol->Name, "ANY")) First->Any = true;
  }
  TDTDExprNode* Inclusions = nullptr;
  TDTDExprNode* Exclusions = nullptr;
  for (int I = 0; I < 2; ++I) {
    if (Token() == TTokenKind::tkPlus) {
      Next();
      Inclusions = ParseExpr();
    } else if (Token() == TTokenKind::tkMinus) {
      Next();
      Exclusions = ParseExpr();
    }
  }
  std::vector<TDTDSymbol*> Declared;
  CollectSymbols(Names, Declared);
  for (TDTDSymbol* S : Declared) {
    auto* E = dynamic_cast<TDTDElement*>(S);
    if (!E) continue;
    E->StartTagRequired = StartRequired;
    E->EndTagRequired = EndRequired;
    E->GetExprList().AddExpr(Content);
    if (!E->Content) E->Content = Content;
    if (Inclusions) E->Inclusions = Inclusions;
    if (Exclusions) E->Exclusions = Exclusions;
  }
  DeclType = TDeclType::dtNone;
}

void TDTDParser::ParseAttList() {
  Next();
  DeclType = TDeclType::dtElement;
  TDTDExprNode* Elements = ParseExpr();
  std::vector<TDTDExprNode*> Definitions;
  while (Token() == TTokenKind::tkIdentifier) {
    DeclType = TDeclType::dtAttribute;
    TDTDExprNode* Attribute = ParseExpr();
    DeclType = TDeclType::dtNone;
    Attribute->Next = ParseExpr();
    ParseAttribute(Attribute->Symbol);
    Definitions.push_back(Attribute);
  }
  std::vector<TDTDSymbol*> Targets;
  CollectSymbols(Elements, Targets);
  for (TDTDSymbol* S : Targets) {
    auto* E = dynamic_cast<TDTDElement*>(S);
    if (!E) continue;
    AttributeLinks += Definitions.size();
    if (Full()) break;
    for (TDTDExprNode* D : Definitions) {
      E->GetExprList().AddExpr(D);
      if (auto* A = dynamic_cast<TDTDAttribute*>(D->Symbol)) E->EnterSymbol(A);
    }
  }
  DeclType = TDeclType::dtNone;
}

void TDTDParser::ParseAttribute(TDTDSymbol* Attribute) {
  bool Required = false, Fixed = false;
  std::string FixedValue;
  const TTokenKind T = Token();
  if (T == TTokenKind::tkPound) {
    Next();
    const std::string Word = Scanner->TokenText;
    if (Token() != TTokenKind::tkIdentifier) {
      ParseErrorExpected("identifier");
    } else if (SameText(Word, "IMPLIED") || SameText(Word, "PCDATA")) {
      Next();
    } else if (SameText(Word, "REQUIRED")) {
      Required = true;
      Next();
    } else if (SameText(Word, "FIXED")) {
      Fixed = true;
      Next();
      if (Token() == TTokenKind::tkStringLiteral) FixedValue = Scanner->TokenText;
      Next();
    } else {
      ParseErrorExpected("IMPLIED, REQUIRED, FIXED, PCDATA");
    }
  } else if (T == TTokenKind::tkIdentifier || T == TTokenKind::tkNumber || T == TTokenKind::tkLParen) {
    ParseExpr();
  } else if (T == TTokenKind::tkStringLiteral) {
    Next();
  }
  if (auto* A = dynamic_cast<TDTDAttribute*>(Attribute)) A->SetAttr(FixedValue, Required, Fixed);
}

void TDTDParser::ParseEntity() {
  Next();
  if (Token() == TTokenKind::tkPercent) {
    DeclType = TDeclType::dtParameterizedEntity;
    Next();
  } else {
    DeclType = TDeclType::dtEntity;
  }
  TDTDSymbol* Symbol = ParseExpr()->Symbol;
  DeclType = TDeclType::dtNone;
  auto* Parameter = dynamic_cast<TDTDParameterizedEntity*>(Symbol);
  auto* General = dynamic_cast<TDTDEntity*>(Symbol);
  if (Token() == TTokenKind::tkIdentifier && Scanner->TokenText == "PUBLIC") {
    Next();
    std::string Public, System;
    bool HasSystem = false;
    if (Token() == TTokenKind::tkStringLiteral) {
      Public = Scanner->TokenText;
      Next();
      if (Token() == TTokenKind::tkStringLiteral) {
        System = Scanner->TokenText;
        HasSystem = true;
        Next();
      }
    }
    if (Parameter) {
      if (Parameter->PublicId.empty()) Parameter->PublicId = Public;
      if (Parameter->SystemId.empty()) Parameter->SystemId = ExpandDeclared(HasSystem ? System : Public);
    }
  } else if (Token() == TTokenKind::tkIdentifier && Scanner->TokenText == "SYSTEM") {
    // <!ENTITY % x SYSTEM "file">: an external entity without a public name.
    Next();
    if (Token() == TTokenKind::tkStringLiteral) {
      if (Parameter && Parameter->SystemId.empty()) Parameter->SystemId = ExpandDeclared(Scanner->TokenText);
      Next();
    }
  } else if (Parameter) {
    if (Token() == TTokenKind::tkStringLiteral) {
      if (Parameter->Text.empty()) Parameter->Text = ExpandDeclared(Scanner->TokenText);
      Next();
    }
  } else if (General) {
    General->GetExprList().AddExpr(ParseExpr());
    if (Token() == TTokenKind::tkStringLiteral) {
      if (General->ValueCount() == 0) ParseCharRefs(*General, Scanner->TokenText);
      Next();
    }
  } else if (Token() == TTokenKind::tkStringLiteral) {
    Next();
  }
}

// References in an entity's literal take the text their entities have when
// it is declared, so "xmlns:%X.prefix;" stays one name. Those not declared
// yet, external ones, and any that would make the text too long for the
// scanner are left for expansion where the entity is used.
std::string TDTDParser::ExpandDeclared(const std::string& Literal) const {
  if (Literal.find('%') == std::string::npos) return Literal;
  std::string Text;
  for (size_t I = 0; I < Literal.size();) {
    size_t End = I + 1;
    if (Literal[I] == '%')
      while (End < Literal.size() && IsNameChar(static_cast<unsigned char>(Literal[End]))) ++End;
    const auto* Entity = End > I + 1
                             ? dynamic_cast<const TDTDParameterizedEntity*>(LookupSymbol(
                                   Literal.substr(I + 1, End - I - 1), TDeclType::dtParameterizedEntity))
                             : nullptr;
    if (Entity && Entity->SystemId.empty() && !Entity->Text.empty() &&
        Text.size() + Entity->Text.size() + Literal.size() < static_cast<size_t>(MLBufferSize) / 2) {
      Text += Entity->Text;
      I = End < Literal.size() && Literal[End] == ';' ? End + 1 : End;
    } else {
      Text.append(Literal, I, End - I);
      I = End;
    }
  }
  return Text;
}

void TDTDParser::ParseCharRefs(TDTDEntity& Entity, const std::string& Text) {
  const auto Hex = [](char C) {
    return IsDigit(static_cast<unsigned char>(C)) || (C >= 'a' && C <= 'f') || (C >= 'A' && C <= 'F');
  };
  for (size_t I = 0; I < Text.size();) {
    const char C = Text[I];
    if (IsDigit(static_cast<unsigned char>(C))) {
      // Beyond Unicode's last code point a number is no character: it stops
      // growing there instead of overflowing.
      int64_t V = 0;
      for (; I < Text.size() && IsDigit(static_cast<unsigned char>(Text[I])); ++I)
        V = std::min<int64_t>(V * 10 + (Text[I] - '0'), 0x110000);
      Entity.AddValue(static_cast<int32_t>(V));
    } else if ((C == 'x' || C == 'X') && I + 1 < Text.size() && Hex(Text[I + 1])) {
      int64_t V = 0;
      for (++I; I < Text.size() && Hex(Text[I]); ++I) {
        const char D = Text[I];
        V = std::min<int64_t>(
            V * 16 + (IsDigit(static_cast<unsigned char>(D)) ? D - '0' : (D | 32) - 'a' + 10), 0x110000);
      }
      Entity.AddValue(static_cast<int32_t>(V));
    } else {
      // Anything else separates numbers, a hexadecimal letter without its x too.
      ++I;
    }
  }
}

TDTDSymbol* TDTDParser::EnterSymbol(const std::string& Name, TDeclType DeclType) {
  std::unique_ptr<TDTDSymbol> S;
  switch (DeclType) {
    case TDeclType::dtAttribute:
      S = std::make_unique<TDTDAttribute>(Name);
      break;
    case TDeclType::dtParameterizedEntity:
      S = std::make_unique<TDTDParameterizedEntity>(Name);
      break;
    case TDeclType::dtEntity:
      S = std::make_unique<TDTDEntity>(Name);
      break;
    case TDeclType::dtElement:
      S = std::make_unique<TDTDElement>(Name, Scanner->GetParameterizedEntityNames());
      break;
    case TDeclType::dtNone:
      S = std::make_unique<TDTDSymbol>(Name);
      break;
  }
  TDTDSymbol* Raw = S.get();
  if (const int T = TableOf(DeclType); T >= 0) Tables[static_cast<size_t>(T)].insert_or_assign(Name, Raw);
  Symbols.push_back(std::move(S));
  return Raw;
}

TDTDSymbol* TDTDParser::LookupSymbol(const std::string& Name, TDeclType DeclType) const {
  const int T = TableOf(DeclType);
  if (T < 0) return nullptr;
  const auto& Table = Tables[static_cast<size_t>(T)];
  const auto It = Table.find(Name);
  return It == Table.end() ? nullptr : It->second;
}

void TDTDParser::ParseError(TParseError Severity, const std::string& Pattern,
                            const std::vector<std::string>& Args) {
  if (!OnError) return;
  if (MessagesShown >= MaxMessages) {
    ++MessagesLeftOut;
    return;
  }
  ++MessagesShown;
  std::string Msg = Format(Pattern, Args);
  OnError(this, Severity, Msg, Scanner->LineNumber, Scanner->FileName);
}

}  // namespace kel
