// The style-sheet object model: the node tree the CSS parser builds, the
// insertion-ordered string set, the schema symbols loaded from css.xml
// (properties, types, values, value editors) and the symbol table that holds
// them and narrows the property or value list as the user types.
//
// Example: a table holding the properties background, border, color and
// cursor, after AlphaSort and SetFilter("c") with the caret at a property
// name, has GetKibitzPropCount() == 2 and GetKibitzProp(1) == "cursor".
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kel {

// ---- Shared enumerations ---------------------------------------------------------------

enum class TNodeKind : uint8_t {
  nkStyleSheet,
  nkSGMLComment,
  nkImport,
  nkMedia,
  nkPage,
  nkFontFace,
  nkRuleSet,
  nkOp,
  nkSelector,
  nkSimpleSelector,
  nkDeclaration,
  nkValue
};
enum class TSelectorType : uint8_t { stHash, stClass, stAttribute, stPseudo };
enum class TCSSPriority : uint8_t { cpNone, cpImportant };
enum class TOp : uint8_t {
  OpNone,
  OpSlash,
  OpComma,
  OpPlus,
  OpGreaterThan,
  OpMinus,
  OpEquals,
  OpIncludes,
  OpDashMatch
};
enum class TValueKind : uint8_t {
  vkString,
  vkIdent,
  vkHash,
  vkEms,
  vkExs,
  vkLength,
  vkAngle,
  vkTime,
  vkFrequency,
  vkDimension,
  vkPercentage,
  vkNumber,
  vkURI,
  vkFunction,
  vkUnicodeRange
};
// Where the caret stands in a style sheet.
enum class TKibitzPos : uint8_t { kpNone, kpExpr, kpProperty, kpRule, kpComment };

// A small set of strings in insertion order; equal means exactly equal.
class TCSSStringList {
 public:
  TCSSStringList() { Items.reserve(8); }
  void Add(const std::string& S);
  // Moves the last item into the removed one's place.
  void Remove(const std::string& S);
  // Empty outside 0 .. Count - 1.
  std::string GetItem(int32_t Index) const;
  int32_t GetCount() const { return static_cast<int32_t>(Items.size()); }
  bool Contains(const std::string& S) const;

 private:
  std::vector<std::string> Items;
};

// ---- The node tree -----------------------------------------------------------------------

// Every node is pushed on its parser's creation chain when made (Next is the
// node made before it); the parser frees the chain, and no list owns nodes.
class TCSSNode {
 public:
  TCSSNode(TNodeKind AKind, TCSSNode*& Chain) : Kind(AKind), Next(Chain) { Chain = this; }
  virtual ~TCSSNode() = default;
  TCSSNode(const TCSSNode&) = delete;
  TCSSNode& operator=(const TCSSNode&) = delete;
  TNodeKind Kind;
  TCSSNode* Next;
};

// Frees a creation chain, newest first, and empties it.
void FreeNodeChain(TCSSNode*& Chain);

class TStyleSheet : public TCSSNode {
 public:
  explicit TStyleSheet(TCSSNode*& Chain) : TCSSNode(TNodeKind::nkStyleSheet, Chain) {}
  void Add(TCSSNode* Node) {
    if (Node) Rules.push_back(Node);
  }
  std::string Charset;
  std::vector<TCSSNode*> Rules;
};

class TSGMLComment : public TCSSNode {
 public:
  explicit TSGMLComment(TCSSNode*& Chain) : TCSSNode(TNodeKind::nkSGMLComment, Chain) {}
  std::string Text;
};

class TImport : public TCSSNode {
 public:
  explicit TImport(TCSSNode*& Chain) : TCSSNode(TNodeKind::nkImport, Chain) {}
  std::string URI;
  TCSSStringList Media;
};

class TMedia : public TCSSNode {
 public:
  explicit TMedia(TCSSNode*& Chain) : TCSSNode(TNodeKind::nkMedia, Chain) {}
  void AddRule(TCSSNode* Rule) {
    if (Rule) Rules.push_back(Rule);
  }
  TCSSStringList Media;
  std::vector<TCSSNode*> Rules;
};

class TDeclaration;

class TPage : public TCSSNode {
 public:
  explicit TPage(TCSSNode*& Chain) : TCSSNode(TNodeKind::nkPage, Chain) {}
  void AddDecl(TDeclaration* Decl) {
    if (Decl) Declarations.push_back(Decl);
  }
  std::string PageName;
  std::string PseudoPage;
  std::vector<TDeclaration*> Declarations;
};

class TFontFace : public TCSSNode {
 public:
  explicit TFontFace(TCSSNode*& Chain) : TCSSNode(TNodeKind::nkFontFace, Chain) {}
  void AddDecl(TDeclaration* Decl) {
    if (Decl) Declarations.push_back(Decl);
  }
  std::vector<TDeclaration*> Declarations;
};

class TNodeOp : public TCSSNode {
 public:
  explicit TNodeOp(TCSSNode*& Chain, TNodeKind AKind = TNodeKind::nkOp) : TCSSNode(AKind, Chain) {}
  TOp Op = TOp::OpNone;
  TCSSNode* Left = nullptr;
  // The next link of a chain; in an attribute condition, the value node.
  TCSSNode* Right = nullptr;
};

class TSelector : public TNodeOp {
 public:
  explicit TSelector(TCSSNode*& Chain) : TNodeOp(Chain, TNodeKind::nkSelector) {}
};

class TRuleSet : public TCSSNode {
 public:
  explicit TRuleSet(TCSSNode*& Chain) : TCSSNode(TNodeKind::nkRuleSet, Chain) {}
  void AddDecl(TDeclaration* Decl) {
    if (Decl) Declarations.push_back(Decl);
  }
  void AddSelector(TSelector* Selector) {
    if (Selector) Selectors.push_back(Selector);
  }
  std::vector<TSelector*> Selectors;
  std::vector<TDeclaration*> Declarations;
};

// Not a tree node: one #hash, .class, [attribute] or :pseudo of a simple selector.
class TSimpleSelectorValue {
 public:
  void SetHash(const std::string& Value) {
    HashName = Value;
    SelectorType = TSelectorType::stHash;
  }
  void SetClass(const std::string& Value) {
    ClassName = Value;
    SelectorType = TSelectorType::stClass;
  }
  void SetAttrib(TNodeOp* Value) {
    Attrib = Value;
    SelectorType = TSelectorType::stAttribute;
  }
  void SetPseudo(const std::string& Value) {
    Pseudo = Value;
    SelectorType = TSelectorType::stPseudo;
  }
  TSelectorType SelectorType = TSelectorType::stHash;
  std::string HashName;
  std::string ClassName;
  TNodeOp* Attrib = nullptr;  // not owned
  std::string Pseudo;
};

class TSimpleSelector : public TCSSNode {
 public:
  explicit TSimpleSelector(TCSSNode*& Chain) : TCSSNode(TNodeKind::nkSimpleSelector, Chain) {}
  // Takes ownership; null is ignored.
  void AddValue(TSimpleSelectorValue* Value) {
    if (Value) Values.emplace_back(Value);
  }
  std::string ElementName;
  std::vector<std::unique_ptr<TSimpleSelectorValue>> Values;
};

class TDeclaration : public TCSSNode {
 public:
  explicit TDeclaration(TCSSNode*& Chain);
  ~TDeclaration() override;

 private:
  // Holds the declaration's own expression; made before Expr.
  TCSSNode* FOwnChain = nullptr;

 public:
  std::string Property;
  // Starts as the declaration's own empty expression; the parser replaces it.
  TNodeOp* Expr;
  TCSSPriority Priority = TCSSPriority::cpNone;
};

class TCSSValueNode : public TCSSNode {
 public:
  explicit TCSSValueNode(TCSSNode*& Chain) : TCSSNode(TNodeKind::nkValue, Chain) {}
  TValueKind ValueKind = TValueKind::vkIdent;
  std::string Value;
};

// ---- Schema symbols ------------------------------------------------------------------------

class TCSSSymbol {
 public:
  explicit TCSSSymbol(std::string AName) : Name(std::move(AName)) {}
  virtual ~TCSSSymbol() = default;
  TCSSSymbol(const TCSSSymbol&) = delete;
  TCSSSymbol& operator=(const TCSSSymbol&) = delete;
  std::string Name;
  TCSSSymbol* Next = nullptr;  // the next symbol of the same bucket
};

enum class TCSSValueKind : uint8_t { cssVKNone, cssVkName, cssVkType };

class TCSSValue : public TCSSSymbol {
 public:
  using TCSSSymbol::TCSSSymbol;
  TCSSValueKind Kind = TCSSValueKind::cssVKNone;
};

class TCSSType : public TCSSSymbol {
 public:
  using TCSSSymbol::TCSSSymbol;
  const TCSSStringList& GetValueList() const { return Values; }
  int32_t GetValueCount() const { return Values.GetCount(); }
  const TCSSStringList& GetRefList() const { return Refs; }
  int32_t GetRefCount() const { return Refs.GetCount(); }
  const TCSSStringList& GetIntrinsicTypeList() const { return IntrinsicTypes; }
  int32_t GetIntrinsicCount() const { return IntrinsicTypes.GetCount(); }
  TCSSStringList Values;
  TCSSStringList Refs;
  TCSSStringList IntrinsicTypes;
  bool Resolved = false;
  bool Editable = false;
};

class TCSSProperty : public TCSSSymbol {
 public:
  using TCSSSymbol::TCSSSymbol;
  // Each object is in a list once.
  void AddValue(TCSSValue* Value);
  void AddType(TCSSType* Type);
  const std::vector<TCSSValue*>& GetValueList() const { return Values; }
  int32_t GetValueCount() const { return static_cast<int32_t>(Values.size()); }
  const std::vector<TCSSType*>& GetTypeList() const { return Types; }
  int32_t GetTypeCount() const { return static_cast<int32_t>(Types.size()); }
  const TCSSStringList& GetMedia() const { return Media; }
  int32_t GetMediaCount() const { return Media.GetCount(); }
  void ResetKibitz() {
    KibitzFirst = 0;
    KibitzLast = GetValueCount() - 1;
  }
  int32_t GetKibitzValueCount() const { return KibitzLast - KibitzFirst + 1; }
  // The value's name, with "..." for an editable type.
  std::string GetKibitzValue(int32_t Index) const;

  bool Inherited = false;
  // Its values come from other properties (border: width, style, colour):
  // a value written is seldom the last.
  bool Shorthand = false;
  // How often pages use it (0-100): the list shows the most used first.
  int32_t Relevance = 50;
  // A prefixed name (-webkit-line-clamp): listed once "-" is typed.
  bool Vendor = false;
  // One line for hover and item documentation; empty when the schema has none.
  std::string Description;
  TCSSStringList Media;
  std::vector<TCSSValue*> Values;  // not owned
  std::vector<TCSSType*> Types;    // not owned
  int32_t KibitzLast = 0;
  int32_t KibitzFirst = 0;
  bool Resolved = false;
  bool Sorted = false;
  // Values the unfiltered list shows first (the generic families of
  // font-family); a typed prefix lists everything in one alphabetical run.
  std::vector<TCSSValue*> Lead;  // not owned
  bool LeadFirst = false;
};

// A value editor: the list entry ("length...") that asks the user for a value.
class TCSSEditor : public TCSSSymbol {
 public:
  using TCSSSymbol::TCSSSymbol;
  // True when Value holds text to insert.
  virtual bool Execute() = 0;
  std::string Value;
};

// ---- The symbol table ------------------------------------------------------------------------

// Whoever parses decides which list is in play.
class TKibitzPosSource {
 public:
  virtual ~TKibitzPosSource() = default;
  virtual TKibitzPos GetKibitzPos() const = 0;
};

// Names compare ignoring the case of ASCII letters, by unsigned bytes.
int CompareCSSNames(const std::string& A, const std::string& B);

class TCSSSymbolTable {
 public:
  explicit TCSSSymbolTable(const TKibitzPosSource* Parser);
  ~TCSSSymbolTable();
  TCSSSymbolTable(const TCSSSymbolTable&) = delete;
  TCSSSymbolTable& operator=(const TCSSSymbolTable&) = delete;

  // The names offered outside declarations, from css.xml (the manager's
  // own lists serve where the schema names none).
  std::vector<std::string> AtRules, PseudoClasses, PseudoElements, MediaWords, ContainerWords;
  // At-rules of another at-rule's block ("page": @top-left; "rule": of a
  // style rule's), and the keywords each media or container feature takes.
  std::map<std::string, std::vector<std::string>> AtRulesWithin, MediaValues, ContainerValues;
  // The descriptors of an at-rule's block (at-rule name without "@", lower
  // case), sorted by name; they are no properties of the property list.
  std::map<std::string, std::vector<std::unique_ptr<TCSSProperty>>> Descriptors;
  TCSSProperty* NewDescriptor(const std::string& AtRule, const std::string& Name);
  TCSSProperty* LookupDescriptor(const std::string& AtRule, const std::string& Name) const;

  TCSSProperty* NewProperty(const std::string& Name);
  TCSSType* NewType(const std::string& Name);
  TCSSValue* NewValue(const std::string& Name);
  // Takes ownership; no check for an existing name.
  void AddEditor(TCSSEditor* Editor);
  TCSSProperty* LookupProperty(const std::string& Name) const;
  TCSSType* LookupType(const std::string& Name) const;
  TCSSValue* LookupValue(const std::string& Name) const;
  TCSSEditor* LookupEditor(const std::string& Name) const;
  TCSSProperty* GetProp(int32_t Index) const;
  TCSSType* GetType(int32_t Index) const;
  int32_t GetPropCount() const { return Sections[Props].Count; }
  int32_t GetTypeCount() const { return Sections[Types].Count; }
  int32_t GetValueCount() const { return Sections[Values].Count; }
  int32_t GetEditorCount() const { return Sections[Editors].Count; }
  TCSSEditor* GetEditor(int32_t Index) const;

  void AlphaSort();
  template <class T>
  static void SortList(std::vector<T*>& List, int32_t L, int32_t R) {
    QuickSort(List, L, R);
  }

  void SetKibitzProperty(TCSSProperty* Property);
  TCSSProperty* GetKibitzProperty() const { return KibitzProperty; }
  void ResetKibitz();
  // The properties in play, the most used first.
  int32_t GetKibitzPropCount() const { return static_cast<int32_t>(RankedProps().size()); }
  std::string GetKibitzProp(int32_t Index) const;
  int32_t GetKibitzValueCount() const;
  std::string GetKibitzValue(int32_t Index) const;
  int32_t FindIdent(const std::string& S) const;
  void SetFilter(const std::string& S);
  const std::string& GetFilter() const { return Filter; }

 private:
  enum { Props, Types, Values, Editors };
  struct TSection {
    std::array<TCSSSymbol*, 256> Heads{};
    std::vector<TCSSSymbol*> List;
    int32_t Count = 0;
  };
  // The list in play (property names or one property's values) and its range.
  struct TInPlay {
    const std::vector<TCSSSymbol*>* Props = nullptr;
    const std::vector<TCSSValue*>* Values = nullptr;
    int32_t First = 0, Last = -1;
    explicit operator bool() const { return Props || Values; }
    const std::string& operator[](int32_t I) const;
    // The first position from From to Last whose name is not smaller than Key; -1 when none.
    int32_t FirstNotSmaller(int32_t From, const std::string& Key) const;
  };
  TInPlay InPlay() const;
  void Arrange(TCSSProperty& Property, bool Filtered);
  // Ranked on first use after the range changed: a keystroke in a value
  // list never ranks the 800 properties.
  const std::vector<const TCSSProperty*>& RankedProps() const;
  template <class T>
  static void QuickSort(std::vector<T*>& List, int32_t L, int32_t R);
  TCSSSymbol* Lookup(int Section, const std::string& Name) const;
  TCSSSymbol* At(int Section, int32_t Index) const;
  template <class T>
  T* NewSymbol(int Section, const std::string& Name);
  void Push(int Section, TCSSSymbol* Symbol);
  TKibitzPos Pos() const;

  // The property section's list is the table order: AlphaSort sorts it.
  std::array<TSection, 4> Sections;
  const TKibitzPosSource* Parser;
  TCSSProperty* KibitzProperty = nullptr;
  std::string Filter;
  int32_t KibitzFirst = 0;
  int32_t KibitzLast = -1;
  mutable std::vector<const TCSSProperty*> Ranked;
  mutable bool RankStale = true;
};

template <class T>
void TCSSSymbolTable::QuickSort(std::vector<T*>& List, int32_t L, int32_t R) {
  int32_t I = L;
  do {
    I = L;
    int32_t J = R;
    const std::string Pivot = List[static_cast<size_t>((L + R) / 2)]->Name;
    do {
      while (I < R && CompareCSSNames(List[static_cast<size_t>(I)]->Name, Pivot) < 0) ++I;
      while (J >= 0 && CompareCSSNames(List[static_cast<size_t>(J)]->Name, Pivot) > 0) --J;
      if (I <= J) {
        std::swap(List[static_cast<size_t>(I)], List[static_cast<size_t>(J)]);
        ++I;
        --J;
      }
    } while (I <= J);
    if (L < J) QuickSort(List, L, J);
    L = I;
  } while (I < R);
}

}  // namespace kel
