// Reading a style sheet up to the caret. The scanner turns the chunks of a
// buffer producer into the tokens of the CSS 2 grammar and stops at the
// completion point: once the next token would begin at or after the caret's
// offset it yields csstKibitz, again on every later call. The parser reads
// the sheet up to that point, builds its node tree and tells where the caret
// stands (a property name, a value, between rules, in a comment) and for
// which property.
//
// Example: on "color: red" with the point at offset 5, GetToken() gives
// csstIdent ("color"), then csstKibitz, and csstKibitz again; parsing
// "a { color: |}" leaves kpExpr with the kibitz property color.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "css/CSSImpl.h"
#include "host/KelObjects.h"
#include "markup/MLParserUtils.h"

namespace kel {

// Token codes; a character that is a token by itself is its own code.
inline constexpr uint8_t csstEof = 0;
inline constexpr uint8_t csstKibitz = 1;
inline constexpr uint8_t csstCDO = 128;
inline constexpr uint8_t csstCDC = 129;
inline constexpr uint8_t csstIncludes = 130;
inline constexpr uint8_t csstDashMatch = 131;
inline constexpr uint8_t csstString = 132;
inline constexpr uint8_t csstIdent = 133;
inline constexpr uint8_t csstHash = 134;
inline constexpr uint8_t csstImport = 135;
inline constexpr uint8_t csstPage = 136;
inline constexpr uint8_t csstMedia = 137;
inline constexpr uint8_t csstFontFace = 138;
inline constexpr uint8_t csstCharset = 139;
inline constexpr uint8_t csstAtKeyword = 140;
inline constexpr uint8_t csstImportant = 141;
inline constexpr uint8_t csstEms = 142;
inline constexpr uint8_t csstExs = 143;
inline constexpr uint8_t csstLength = 144;
inline constexpr uint8_t csstAngle = 145;
inline constexpr uint8_t csstTime = 146;
inline constexpr uint8_t csstFreq = 147;
inline constexpr uint8_t csstDimension = 148;
inline constexpr uint8_t csstPercentage = 149;
inline constexpr uint8_t csstNumber = 150;
inline constexpr uint8_t csstURI = 151;
inline constexpr uint8_t csstFunction = 152;
inline constexpr uint8_t csstUnicodeRange = 153;

class TStyleSheetScanner {
 public:
  TStyleSheetScanner() = default;
  TStyleSheetScanner(const TStyleSheetScanner&) = delete;
  TStyleSheetScanner& operator=(const TStyleSheetScanner&) = delete;

  // Point: the buffer offset of the caret. Loads the first chunk.
  void SetBufferAndPoint(IMLBufferProducer* Producer, int32_t Point);
  uint8_t GetToken();
  const std::string& GetTokenStr() const { return FTokenStr; }
  uint8_t GetTokenCode() const { return FToken; }
  // The zero-based column of the current position.
  int32_t GetCharIndex() const { return static_cast<int32_t>(FCurrent - FLineStart); }
  int32_t GetLine() const { return FLine; }
  static std::string TokenToStr(uint8_t Token);
  bool FillBuffer();

 private:
  char Cur() const { return *FCurrent; }
  void SkipWhiteSpace();
  // Steps over a line break at the current position, counting one line.
  void StepLineBreak();
  void ReadName();
  // Reads a name from the current position; the token text is what it spans.
  void ReadNameText();
  void ReadNumber(const char* Start, bool Fraction);
  void HandleString(char Quote);
  void HandleComment();
  void ReadURIBody();
  uint8_t AtKeyword(const std::string& Name) const;
  static uint8_t Unit(const std::string& Unit);

  // An empty document reads as one empty chunk at offset 0.
  char FEmpty[1] = {'\0'};
  const char* FCurrent = FEmpty;
  const char* FLineStart = FEmpty;
  std::string FTokenStr;
  TKelPtr<IMLBufferProducer> FProducer;
  int32_t FLine = 0;
  uint8_t FToken = csstEof;
  int32_t FKibitzPoint = 0;
  bool FHasBuffer = false;
};

enum class TErrorKind : uint8_t { ekError, ekWarning };
// Sender is the parser; Msg the whole text of one error.
using TOnParseErrorEvent = std::function<void(void* Sender, const std::string& Msg)>;

class TStyleSheetParser : public TKibitzPosSource {
 public:
  TStyleSheetParser();
  ~TStyleSheetParser() override;
  TStyleSheetParser(const TStyleSheetParser&) = delete;
  TStyleSheetParser& operator=(const TStyleSheetParser&) = delete;

  void SetBufferAndPoint(IMLBufferProducer* Producer, int32_t Point);
  // The nodes of the previous parse are freed first; the sheet lives until
  // the next parse.
  TStyleSheet* Parse();
  TCSSNode* GetKibitzNode() const { return KibitzNode; }
  TKibitzPos GetKibitzPos() const override { return KibitzPos; }
  // The position found without a parse (the completion manager's own scan),
  // for the symbol table's list in play.
  void SetKibitzPos(TKibitzPos Pos) { KibitzPos = Pos; }
  TCSSSymbolTable& GetSymbolTable() { return *SymbolTable; }
  TStyleSheetScanner& GetScanner() { return *Scanner; }
  void SetOnParseError(TOnParseErrorEvent Event) { OnParseError = std::move(Event); }

 private:
  uint8_t Tok() const { return Scanner->GetTokenCode(); }
  bool AtPoint() const { return Tok() == csstKibitz; }
  void Next() { Scanner->GetToken(); }
  // The current token's text; reads on.
  std::string TakeText() {
    std::string Text = Scanner->GetTokenStr();
    Next();
    return Text;
  }
  void SetPos(TKibitzPos Pos) {
    if (KibitzPos == TKibitzPos::kpNone) KibitzPos = Pos;
  }
  // After an unexpected token the skip stops at the end or the point, and:
  // StopClass 1 also at ';'; 2 nowhere else; StopAtDeclarationEnd at the ';'
  // or '}' that ends the declaration; StopAfterParen after the ')' that
  // closes the function (calc(1em + 2px)); StopAfterBlock after the '}' that
  // closes the block. These keep one error (a custom property, a negative
  // second term, an operator of later levels) from hiding the rest of the sheet.
  static constexpr int StopAtDeclarationEnd = 5;
  static constexpr int StopAfterParen = 7;
  // After a selector it does not understand, the block still counts.
  static constexpr int StopAfterBrace = 8;
  static constexpr int StopAfterBlock = 6;
  bool Expect(uint8_t Token, int StopClass);
  // At the point: records Pos and answers true, so the caller returns.
  bool StopAt(TKibitzPos Pos);
  void ExpectUnlessPoint(uint8_t Token, int StopClass, TKibitzPos Pos);
  // An identifier's text, read on; else the point's Pos or the error.
  std::string ReadIdent(TKibitzPos Pos);
  void ExpectFound(const std::string& Wanted);
  void ParseError(TErrorKind Kind, const std::string& Msg, const std::vector<std::string>& Args);

  TStyleSheet* ParseStyleSheet();
  void SkipAtRule();
  TSGMLComment* ParseSGMLComment();
  TImport* ParseImport();
  TMedia* ParseMedia();
  std::string ParseMedium();
  TPage* ParsePage();
  std::string ParsePseudoPage();
  TFontFace* ParseFontFace();
  TRuleSet* ParseRuleSet();
  TSelector* ParseSelector();
  TOp ParseCombinator();
  TSimpleSelector* ParseSimpleSelector();
  std::string ParseElementName();
  std::string ParseClass();
  std::string ParsePseudo();
  TNodeOp* ParseAttrib();
  TDeclaration* ParseDeclaration();
  std::string ParseProperty();
  TCSSPriority ParsePrio();
  TNodeOp* ParseExpr();
  TOp ParseOperator();
  TCSSNode* ParseTerm();
  TNodeOp* ParseFunction();
  std::string ParseHexColor();

  std::unique_ptr<TStyleSheetScanner> Scanner;
  TOnParseErrorEvent OnParseError;
  TCSSNode* KibitzNode = nullptr;
  TKibitzPos KibitzPos = TKibitzPos::kpNone;
  std::unique_ptr<TCSSSymbolTable> SymbolTable;
};

}  // namespace kel
