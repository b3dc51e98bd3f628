// Reading document type definitions: the scanner that turns DTD text into
// tokens (chunks that end at a line break, both comment kinds, parameter
// entities expanded in place from their text or their file, conditional
// sections, the ATTRIBUTEEDITORS block) and the parser that reads the
// declarations into a table of elements, attributes and entities.
//
// Example: with the parameter entity v (text "CDATA") entered, the line
// "<!ATTLIST p x %v; #IMPLIED>" scans as <!ATTLIST, p, x, CDATA, #, IMPLIED, >:
// the reference is replaced by its text and gives no token of its own.
//
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/KelStream.h"
#include "host/KelStrings.h"
#include "markup/MLParserUtils.h"

namespace kel {

enum class TTokenKind : uint8_t {
  tkEof,
  tkElement,
  tkAttList,
  tkEntity,
  tkNumber,
  tkIdentifier,
  tkLessThan,
  tkConditionalSectionStart,
  tkConditionalSectionEnd,
  tkGreaterThan,
  tkBang,
  tkDot,
  tkFSlash,
  tkPlus,
  tkPound,
  tkMinus,
  tkQuestionMark,
  tkAsterisk,
  tkLogicalOr,
  tkLogicalAnd,
  tkRParenPlus,
  tkComma,
  tkLBracket,
  tkRBracket,
  tkStringLiteral,
  tkLParen,
  tkRParen,
  tkPercent,
  tkSemiColon
};

enum class TParseError : uint8_t { peFailure, peError, peWarning, peHint };
// "Failure", "Error", "Warning" or "Hint": the prefix of a tool message.
const char* ParseErrorWord(TParseError E);
enum class TDeclType : uint8_t { dtNone, dtAttribute, dtParameterizedEntity, dtEntity, dtElement };

enum class TExprOp : uint8_t { eoNull, eoLogicalOr, eoSequence, eoLogicalAnd };
enum class TExprAttributes : uint8_t { eaNone, eaZeroOrMore, eaOneOrMore, eaZeroOrOne };

using TEntityArray = std::vector<std::string>;

class TDTDSymbol;

// An item of an expression; every node is owned by the parser.
struct TDTDExprNode {
  TExprOp Op = TExprOp::eoNull;
  TExprAttributes Attributes = TExprAttributes::eaNone;
  TDTDExprNode* SubExpr = nullptr;
  TDTDSymbol* Symbol = nullptr;
  TDTDExprNode* Next = nullptr;
};

class TDTDExprList {
 public:
  int32_t Count() const { return static_cast<int32_t>(Items.size()); }
  void AddExpr(TDTDExprNode* Node) { Items.push_back(Node); }
  TDTDExprNode* GetExpr(int32_t I) const {
    return I >= 0 && I < Count() ? Items[static_cast<size_t>(I)] : nullptr;
  }
  // Appends (does not replace).
  void Assign(const TDTDExprList& Other) {
    Items.insert(Items.end(), Other.Items.begin(), Other.Items.end());
  }

 private:
  std::vector<TDTDExprNode*> Items;
};

class TDTDSymbol {
 public:
  explicit TDTDSymbol(std::string AName) : Name(std::move(AName)) {}
  virtual ~TDTDSymbol() = default;
  TDTDExprList& GetExprList() {
    if (!ExprList) ExprList = std::make_unique<TDTDExprList>();
    return *ExprList;
  }
  bool HasExprList() const { return static_cast<bool>(ExprList); }
  std::string Name;

 private:
  std::unique_ptr<TDTDExprList> ExprList;
};

struct TAttrAttributes {
  bool Fixed = false;
  bool Required = false;
  std::string FixedValue;
};

class TDTDAttribute : public TDTDSymbol {
 public:
  using TDTDSymbol::TDTDSymbol;
  void SetAttr(const std::string& Value, bool Required, bool Fixed) {
    if (!Attributes) Attributes = std::make_unique<TAttrAttributes>();
    *Attributes = {Fixed, Required, Value};
  }
  std::unique_ptr<TAttrAttributes> Attributes;
  std::string Editor;
};

class TDTDParameterizedEntity : public TDTDSymbol {
 public:
  using TDTDSymbol::TDTDSymbol;
  std::string SystemId, PublicId, Text;
};

class TDTDEntity : public TDTDSymbol {
 public:
  using TDTDSymbol::TDTDSymbol;
  void AddValue(int32_t V) { Values.push_back(V); }
  int32_t GetValues(int32_t I) const {
    return I >= 0 && I < ValueCount() ? Values[static_cast<size_t>(I)] : -1;
  }
  int32_t ValueCount() const { return static_cast<int32_t>(Values.size()); }

 private:
  std::vector<int32_t> Values;
};

class TDTDElement : public TDTDSymbol {
 public:
  TDTDElement(std::string AName, TEntityArray EntityNames)
      : TDTDSymbol(std::move(AName)), Entity(std::move(EntityNames)) {}
  void EnterSymbol(TDTDAttribute* Attribute);
  TDTDAttribute* LookupSymbol(const std::string& AName) const;
  TEntityArray GetEntity() const { return Entity; }

  bool StartTagRequired = true;
  bool EndTagRequired = true;
  bool Empty = false;
  bool Any = false;
  // The content model of the first declaration; XML DTDs may list the
  // attributes before it.
  TDTDExprNode* Content = nullptr;
  TDTDExprNode* Exclusions = nullptr;
  TDTDExprNode* Inclusions = nullptr;

 private:
  TEntityArray Entity;
  // The last declaration of a name wins. A map, not 256 chains per element:
  // a DTD may declare tens of thousands of elements.
  std::unordered_map<std::string, TDTDAttribute*> AttributeTable;
};

class TDTDKeywordSymbol : public TDTDSymbol {
 public:
  TDTDKeywordSymbol(std::string AName, TTokenKind Kind) : TDTDSymbol(std::move(AName)), TokenKind(Kind) {}
  TTokenKind TokenKind;
};

class TDTDParser;

// How far parameter entities expand in one load, for the whole process:
// real DTDs need 2,935 expansions, 1.2 MB of entity text and 0.6 MB of
// included files at most. Fuzzing lowers them so that an amplifying input
// costs less.
struct TDTDExpansionLimits {
  int64_t Expansions = 20000;
  int64_t Bytes = 2ll << 20;
  // A file included again and again reads again each time.
  int64_t IncludedBytes = 16ll << 20;
};
TDTDExpansionLimits& DTDExpansionLimits();

class TDTDScanner {
 public:
  explicit TDTDScanner(TDTDParser* AParser);
  ~TDTDScanner();
  TDTDScanner(const TDTDScanner&) = delete;
  TDTDScanner& operator=(const TDTDScanner&) = delete;

  TTokenKind LookupKeywordSymbol(const std::string& Text) const;
  // Sets the input; reads nothing (the parser fills the first chunk).
  void LoadFromStream(TKelStream* AStream, const std::string& AFileName);
  void FillBuffer();
  // At a zero byte: leaves an entity or an include, or reads on; true only
  // at the real end of the input.
  bool EndOfStream();
  void GetToken();
  void PushIncludeFile(const std::string& Name, const std::string& EntityName);
  void PushParameterizedEntity(TDTDParameterizedEntity* Entity);
  void Ignore();
  TEntityArray GetParameterizedEntityNames() const { return EntityNames; }

  TTokenKind Token = TTokenKind::tkEof;
  std::string TokenText;
  std::string FileName;
  int32_t LineNumber = 1;
  int32_t IgnoreDepth = 0;

 private:
  struct TBufferEntry {
    int32_t LineNumber;
    std::string FileName;
    TKelStream* Stream;
    std::unique_ptr<TKelStream> OwnedStream;
    size_t Position;
    std::array<char, MLBufferSize + 1> Buffer;
    int32_t BytesRead;
    bool AtEndOfStream;
    // Named inside entity text: what follows the reference there, read
    // when the file ends.
    std::string EntityRest;
    TEntityArray EntityNames;
  };

  void EnterKeywordSymbol(const std::string& Text, TTokenKind Kind);
  void ParseError(TParseError Severity, const std::string& Pattern, const std::vector<std::string>& Args);
  // Counts the line break at Current (CR LF, LF CR, CR, LF as one) and steps over it.
  void LineBreak();
  std::string HandleString(char Quote);
  // Skips to just after Mark, counting lines; quietly at the end of input.
  void SkipPast(const char* Mark);
  void HandleGlobalComment();
  void HandleInlineComment();
  void HandleEditors();
  void BeginIgnore() { ++IgnoreDepth; }
  void EndIgnore() {
    if (IgnoreDepth > -1) --IgnoreDepth;
  }

  TKelStream* Stream = nullptr;
  std::unique_ptr<TKelStream> OwnedStream;  // an included file's
  bool AtEndOfStream = false;
  std::array<char, MLBufferSize + 1> Buffer{};
  int32_t BytesRead = 0;
  std::array<std::vector<std::unique_ptr<TDTDKeywordSymbol>>, 256> KeywordTable;
  std::vector<std::unique_ptr<TBufferEntry>> IncludeStack;
  const char* Current = nullptr;
  TDTDParser* Parser;
  TEntityArray EntityNames;
  std::array<char, MLBufferSize + 1> EntityBuffer{};
  int32_t EntityLength = 0;
  const char* SavedPosition = nullptr;
  bool InEntity = false;
  // Expansions of parameter entities in this load: an entity that names
  // itself, or doubles at each level, must not run forever.
  int64_t Expansions = 0;
  int64_t ExpandedBytes = 0;
  int64_t IncludedBytes = 0;
  bool ExpansionStopped = false;
  bool SpendExpansion(int64_t Bytes, bool Included, const std::string& Name);
};

using TParserErrorEvent = std::function<void(TDTDParser* Sender, TParseError Error, const std::string& Msg,
                                             int32_t LineNumber, const std::string& FileName)>;

class TDTDParser {
 public:
  TDTDParser();
  ~TDTDParser();
  TDTDParser(const TDTDParser&) = delete;
  TDTDParser& operator=(const TDTDParser&) = delete;

  void LoadFromFile(const std::string& FileName);
  void LoadFromStream(TKelStream* Stream);
  void ClearTable();

  TDTDSymbol* EnterSymbol(const std::string& Name, TDeclType DeclType);
  TDTDSymbol* LookupSymbol(const std::string& Name, TDeclType DeclType) const;
  // Formats Pattern (each %s takes the next argument) and fires OnError.
  void ParseError(TParseError Severity, const std::string& Pattern, const std::vector<std::string>& Args);
  void ParseErrorExpected(const std::string& Expected) {
    if (MessagesShown >= MaxMessages) {
      ++MessagesLeftOut;
      return;
    }
    ParseError(TParseError::peError, "Expected %s but found %s", {Expected, Clip(Scanner->TokenText)});
  }
  // Every symbol once, the one created last first.
  int32_t SymbolCount() const { return static_cast<int32_t>(SymArray.size()); }
  TDTDSymbol* GetSymbol(int32_t I) const {
    return I >= 0 && I < SymbolCount() ? SymArray[static_cast<size_t>(I)] : nullptr;
  }
  int32_t GetSymbolCount() const { return static_cast<int32_t>(Symbols.size()); }
  TDTDExprNode* CreateExpr();

  TParserErrorEvent OnError;
  TKibitzMode KibitzMode = TKibitzMode::kmHTML;
  std::unique_ptr<TDTDScanner> Scanner;

 private:
  // Groups within groups: real DTDs nest a handful deep.
  static constexpr int32_t MaxExprDepth = 200;
  // A file of garbage would say something on every token; the first ones
  // tell the user what is wrong, a count says how much more.
  static constexpr int32_t MaxMessages = 100;
  int32_t MessagesShown = 0;
  int64_t MessagesLeftOut = 0;
  int32_t ExprDepth = 0;
  bool DepthReported = false;
  // Names and groups held: our HTML5 holds 106,000, entities doubling to
  // their limit 530,000. Each costs about 200 bytes, and a 16 MiB file of
  // "a|a|..." would hold 8 million.
  static constexpr size_t MaxItems = 1'000'000;
  // Attributes entered in elements (HTML5: 25,000): a thousand elements
  // sharing an attribute list of a hundred thousand would make a hundred
  // million, and each becomes an object of the page's schema.
  static constexpr size_t MaxAttributeLinks = 250'000;
  size_t AttributeLinks = 0;
  bool FullReported = false;
  bool Full();
  void Parse();
  void ParseDocument();
  void ParseElement();
  void ParseAttList();
  void ParseAttribute(TDTDSymbol* Attribute);
  void ParseEntity();
  static void ParseCharRefs(TDTDEntity& Entity, const std::string& Text);
  std::string ExpandDeclared(const std::string& Literal) const;
  TDTDExprNode* ParseExpr();
  TDTDExprNode* ParseExprBody();
  void MakeSymArray();
  TTokenKind Token() const { return Scanner->Token; }
  void Next() { Scanner->GetToken(); }

  // Per kind of declaration, by name; the newest of a name is found.
  std::array<std::unordered_map<std::string, TDTDSymbol*>, 4> Tables;
  std::vector<std::unique_ptr<TDTDSymbol>> Symbols;
  std::vector<std::unique_ptr<TDTDExprNode>> ExprNodes;
  std::vector<TDTDSymbol*> SymArray;
  TDeclType DeclType = TDeclType::dtNone;
};

// Every symbol reachable from Node through Symbol, SubExpr and Next.
void CollectSymbols(const TDTDExprNode* Node, std::vector<TDTDSymbol*>& Out);

}  // namespace kel
