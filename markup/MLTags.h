// The objects behind the markup node interfaces: schema tags and attributes
// with their hashed, sorted, prefix-filtered lists; the light placeholder tags
// (unknown elements, DOCTYPE, closing tags offered for completion, wrappers);
// text nodes; attribute occurrences read by the parser; the entity list.
//
// Example: a THTMLTag "tr" with children table, tbody, td, tfoot;
// SetFilter("tab") leaves GetTagCount() == 1 and GetTags(0) is table; then
// SetFilter("tb") resets the range first and leaves tbody alone.
//
// Classes that differ only in the marker interface they add are one template
// over that interface, so every face of an object shares one implementation.
#pragma once

#include <array>
#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "markup/MLParserUtils.h"
#include "markup/MLSymbols.h"

namespace kel {
using TMLAttributeList = std::vector<TKelPtr<IKelMLTagAttribute>>;

// Name in the symbol manager's letter case; as stored without a manager.
std::string CaseTagName(TMLSymbols* SymbolManager, const std::string& Name);

// The place every node keeps in the document, and its identifier.
template <class Base>
class TMarkupPosT : public Base {
 public:
  explicit TMarkupPosT(int32_t ID) : FID(ID) {}
  int32_t GetID() override { return FID; }
  int32_t GetOffsetEnd() override { return FOffsetEnd; }
  int32_t GetOffsetStart() override { return FOffsetStart; }
  void SetOffsetEnd(int32_t Value) override { FOffsetEnd = Value; }
  void SetOffsetStart(int32_t Value) override { FOffsetStart = Value; }

 protected:
  int32_t FOffsetEnd = 0;
  int32_t FOffsetStart = 0;
  int32_t FID;
};

// ---- Placeholder tags ---------------------------------------------------------

// A tag that offers nothing: no children, no attributes, no range. CustomI is
// the custom-tag face (IKelMLCustomTag or IKelMLClosingTag), TagI the tag face.
template <class CustomI, class TagI>
class TEmptyTagT : public TMarkupPosT<TKelInterfaced<CustomI, TagI>> {
 public:
  TEmptyTagT(const std::string& Name, TMLSymbols* SymbolManager, int32_t ID)
      : TMarkupPosT<TKelInterfaced<CustomI, TagI>>(ID), FName(Name), FSymbolManager(SymbolManager) {}

  // IKelMLCustomTag
  int32_t GetLineNumber() override { return FLineNumber; }
  void SetLineNumber(int32_t Value) override { FLineNumber = Value; }

  // IKelMLTag
  TKelPtr<IKelMLTagAttribute> GetAttribute(int32_t) override { return nullptr; }
  int32_t GetStartIndex() override { return 0; }
  bool GetRequiresClosingTag() override { return false; }
  bool GetRequiresOpeningTag() override { return false; }
  TKelPtr<IKelMLTag> GetTags(int32_t) override { return nullptr; }
  int32_t GetTagCount() override { return 0; }
  int32_t GetPureTagCount() override { return 0; }
  int32_t GetAttributeCount() override { return 0; }
  std::string GetName() override { return CaseTagName(FSymbolManager, FName); }
  bool GetEmpty() override { return FName.empty(); }
  std::string GetEntityName(int32_t) override { return {}; }
  int32_t GetEntityCount() override { return 0; }
  bool GetAny() override { return false; }
  bool GetIsChild() override { return false; }
  void SetIsChild(bool) override {}
  std::string GetFilter() override { return {}; }
  void SetFilter(const std::string&) override {}
  TKelPtr<IKelMLTagAttribute> FindAttribute(const std::string&) override { return nullptr; }
  int32_t FindSymbol(const std::string&) override { return -1; }
  bool GetShowAttributes() override { return false; }
  void SetShowAttributes(bool) override {}
  void AlphaSort() override {}
  void ClearTags() override {}
  void ClearAttrs() override {}
  void AddTag(IKelMLTag*) override {}
  void RemoveTag(IKelMLTag*) override {}
  void AddAttribute(IKelMLTagAttribute*) override {}
  TKelPtr<IKelMLTagAttribute> RemoveAttribute(const std::string&) override { return nullptr; }
  TKelPtr<IKelMLTag> LookupTag(const std::string&) override { return nullptr; }

 protected:
  std::string FName;
  int32_t FLineNumber = 0;
  TMLSymbols* FSymbolManager;
};

using TEmptyTag = TEmptyTagT<IKelMLCustomTag, IKelMLTag>;
// A closing tag offered for completion; its line is that of the start tag.
using TClosingTag = TEmptyTagT<IKelMLClosingTag, IKelMLTag>;

// An element the schema does not declare, met in a document.
template <class TagI>
class TNamedTagT : public TEmptyTagT<IKelMLCustomTag, TagI> {
 public:
  using TEmptyTagT<IKelMLCustomTag, TagI>::TEmptyTagT;
  bool GetRequiresClosingTag() override { return !this->FName.empty(); }
  void SetName(const std::string& Value) override { this->FName = Value; }
};

using TNamedTag = TNamedTagT<IKelMLNamedTag>;

class TDocTypeTag : public TNamedTagT<IKelMLDocTypeTag> {
 public:
  using TNamedTagT<IKelMLDocTypeTag>::TNamedTagT;
  bool GetEmpty() override { return true; }
};

// Stands in for another tag that the symbol manager offers among a tag's
// children for one request; it keeps the name and attribute count, not the tag.
template <class TagI>
class TTagWrapperT : public TEmptyTagT<IKelMLWrapperTag, TagI> {
 public:
  TTagWrapperT(IKelMLTag& Tag, TMLSymbols* SymbolManager, int32_t ID)
      : TEmptyTagT<IKelMLWrapperTag, TagI>(Tag.GetName(), SymbolManager, ID) {
    const bool Shown = Tag.GetShowAttributes();
    Tag.SetShowAttributes(true);
    FAttributeCount = Tag.GetAttributeCount();
    Tag.SetShowAttributes(Shown);
  }
  int32_t GetAttributeCount() override { return FAttributeCount; }
  bool GetIsChild() override { return true; }
  int32_t FindSymbol(const std::string&) override { return 0; }

 private:
  int32_t FAttributeCount = 0;
};

using TTagWrapper = TTagWrapperT<IKelMLTag>;
// A wrapper that the XSL fix-up inserts; also answers IKelMLXSLTag.
using TXSLTag = TTagWrapperT<IKelMLXSLTag>;

// ---- Schema tags ----------------------------------------------------------------

// An element declared by the schema: its allowed children and attributes, each
// a list with a 256-chain hash index by name, and one filter range that covers
// the children or, while the show-attributes flag is on, the attributes.
class THTMLTag : public TMarkupPosT<TKelInterfaced<IKelMLTag>> {
 public:
  THTMLTag(const std::string& Name, TMLSymbols* SymbolManager, int32_t ID);
  ~THTMLTag() override;

  TKelPtr<IKelMLTagAttribute> GetAttribute(int32_t Index) override;
  int32_t GetStartIndex() override { return FStartIndex; }
  bool GetRequiresClosingTag() override { return FRequiresClosingTag; }
  bool GetRequiresOpeningTag() override { return FRequiresOpeningTag; }
  TKelPtr<IKelMLTag> GetTags(int32_t Index) override;
  int32_t GetTagCount() override;
  int32_t GetPureTagCount() override { return GetTagCount() - FCustomCount; }
  int32_t GetAttributeCount() override;
  std::string GetName() override;
  bool GetEmpty() override { return FEmpty; }
  std::string GetEntityName(int32_t Index) override;
  int32_t GetEntityCount() override { return static_cast<int32_t>(FEntityNames.size()); }
  bool GetAny() override { return FAny; }
  bool GetIsChild() override { return FIsChild; }
  void SetIsChild(bool Value) override { FIsChild = Value; }
  std::string GetFilter() override { return FFilter; }
  void SetFilter(const std::string& Filter) override;
  TKelPtr<IKelMLTagAttribute> FindAttribute(const std::string& Name) override;
  int32_t FindSymbol(const std::string& Prefix) override;
  bool GetShowAttributes() override { return FShowAttributes; }
  void SetShowAttributes(bool Value) override;
  void AlphaSort() override;
  void ClearTags() override;
  void ClearAttrs() override;
  void AddTag(IKelMLTag* Tag) override;
  void RemoveTag(IKelMLTag* Tag) override;
  // Every child in Gone, in one pass over the list.
  void RemoveTags(const std::unordered_set<const IKelMLTag*>& Gone);
  void AddAttribute(IKelMLTagAttribute* Attr) override;
  TKelPtr<IKelMLTagAttribute> RemoveAttribute(const std::string& Name) override;
  // Those of Names the tag has, in one pass over the list; returned in Names' order.
  std::vector<TKelPtr<IKelMLTagAttribute>> RemoveAttributes(const std::vector<std::string>& Names);
  TKelPtr<IKelMLTag> LookupTag(const std::string& Name) override;

  // Declaration flags and entities, set by the symbol manager from the schema.
  void SetRequiresClosingTag(bool Value) { FRequiresClosingTag = Value; }
  void SetRequiresOpeningTag(bool Value) { FRequiresOpeningTag = Value; }
  void SetEmpty(bool Value) { FEmpty = Value; }
  void SetAny(bool Value) { FAny = Value; }
  // The name as the schema spells it, whatever the tag case (XML names).
  void SetKeepsCase(bool Value) { FKeepsCase = Value; }
  bool KeepsCase() const { return FKeepsCase; }
  void SetEntityName(const std::vector<std::string>& Names) { FEntityNames = Names; }
  // What the content model says of a child: it stands at most once, and its
  // place in the model's sequence (-1: anywhere). Names ignore case.
  struct TChildRule {
    bool Once = false;
    int32_t Rank = -1;
  };
  void SetChildRule(const std::string& Child, TChildRule Rule);
  const TChildRule* ChildRule(const std::string& Child) const;
  bool HasChildRules() const { return !FChildRules.empty(); }
  // The children the model requires, each as the names one of which must
  // stand: (a, b?, (c|d)) requires {a} and {c, d}.
  using TRequired = std::vector<std::vector<std::string>>;
  void SetRequiredChildren(TRequired Required) { FRequired = std::move(Required); }
  const TRequired& RequiredChildren() const { return FRequired; }
  // The stored name, before the symbol manager's case.
  const std::string& DeclaredName() const { return FName; }
  // Every child, whatever the range.
  const TMLTagList& AllTags() const { return FTags; }
  const TMLAttributeList& AllAttrs() const { return FAttrs; }

 private:
  int32_t ChosenSize() const;
  // Keeps a fully visible range fully visible when the list grows or shrinks.
  void ListResized(bool ForAttributes, int32_t OldSize);

  std::string FName;
  std::unordered_map<std::string, TChildRule> FChildRules;  // by upper-case name
  TRequired FRequired;
  int32_t FStartIndex = 0;
  int32_t FEndIndex = -1;
  bool FRequiresClosingTag = false;
  bool FRequiresOpeningTag = false;
  bool FEmpty = false;
  bool FAny = false;
  bool FKeepsCase = false;
  TMLTagList FTags;
  TMLAttributeList FAttrs;
  bool FTagsUnsorted = false;
  bool FAttrsUnsorted = false;
  // By name in upper case. Sized by what they hold: a schema of 40,000
  // elements (few children each) must not cost 12 KB per element.
  std::unordered_map<std::string, TKelPtr<IKelMLTag>> FTagIndex;
  std::unordered_map<std::string, TKelPtr<IKelMLTagAttribute>> FAttrIndex;
  bool FIsChild = false;
  std::string FFilter;
  std::vector<std::string> FEntityNames;
  bool FShowAttributes = false;
  int32_t FCustomCount = 0;
  TMLSymbols* FSymbolManager;
};

// Every child of a tag, whatever its range (a copy: callers change the tag).
TMLTagList AllChildren(IKelMLTag* Tag);
// Every attribute of a tag, whatever its range, without switching its list.
TMLAttributeList AllAttributes(IKelMLTag* Tag);

// ---- Schema attributes ------------------------------------------------------------

// The values an attribute takes, sorted ignoring case, with a filter range.
class TMLValueList {
 public:
  int32_t Size() const {
    Sort();
    return static_cast<int32_t>(FValues.size());
  }
  const std::string& At(int32_t I) const {
    Sort();
    return FValues[static_cast<size_t>(I)];
  }
  int32_t GetCount() const;
  std::string GetValue(int32_t Index) const;
  void SetValue(int32_t Index, const std::string& Value);
  void AddValue(const std::string& Value);
  int32_t FindSymbol(const std::string& Prefix) const;
  void SetFilter(const std::string& Filter);
  const std::string& GetFilter() const { return FFilter; }

 private:
  // Values arrive in the schema's order and are put in sorted order once,
  // when first read: a DTD may list 100,000 of them.
  void Sort() const;
  mutable std::vector<std::string> FValues;
  mutable bool FUnsorted = false;
  std::string FFilter;
  int32_t FStartIndex = 0;
  mutable int32_t FEndIndex = -1;
};

// What a schema says an attribute's value must be, for checking documents.
enum class TMLValueKind : uint8_t { Text, Enumerated, Number, Id, IdRef, IdRefs, Name, Names };

class TMLValueRule {
 public:
  virtual ~TMLValueRule() = default;
  TMLValueKind ValueKind() const { return FValueKind; }
  void SetValueKind(TMLValueKind Kind) { FValueKind = Kind; }

 private:
  TMLValueKind FValueKind = TMLValueKind::Text;
};

template <class AttrI>
class THTMLAttributeT : public TMarkupPosT<TKelInterfaced<AttrI>>, public TMLValueRule {
 public:
  THTMLAttributeT(const std::string& Name, int32_t ID)
      : TMarkupPosT<TKelInterfaced<AttrI>>(ID), FName(Name) {}

  int32_t GetAttributeValueStartOffset() override { return FValueStartOffset; }
  void SetAttributeValueStartOffset(int32_t Value) override { FValueStartOffset = Value; }
  std::string GetName() override { return FName; }
  bool GetRequired() override { return FRequired; }
  bool GetFixed() override { return FFixed; }
  void SetFixed(bool Value) override { FFixed = Value; }
  std::string GetFixedValue() override { return FFixedValue; }
  void SetFixedValue(const std::string& Value) override { FFixedValue = Value; }
  void SetRequired(bool Value) override { FRequired = Value; }
  int32_t GetCount() override { return FValues.GetCount(); }
  std::string GetValue(int32_t Index) override { return FValues.GetValue(Index); }
  void SetValue(int32_t Index, const std::string& Value) override { FValues.SetValue(Index, Value); }
  void AddValue(const std::string& Value) override { FValues.AddValue(Value); }
  void SetFilter(const std::string& Filter) override { FValues.SetFilter(Filter); }
  int32_t FindSymbol(const std::string& Prefix) override { return FValues.FindSymbol(Prefix); }
  std::string GetFilter() override { return FValues.GetFilter(); }

  void SetName(const std::string& Value) { FName = Value; }

 private:
  std::string FName;
  bool FRequired = false;
  TMLValueList FValues;
  bool FFixed = false;
  std::string FFixedValue;
  int32_t FValueStartOffset = 0;
};

using THTMLAttribute = THTMLAttributeT<IKelMLTagAttribute>;
using THTMLAttributeEvent = THTMLAttributeT<IKelMLTagAttributeEvent>;
// An attribute met in a document that the schema does not declare.
using TUnknownHTMLAttribute = THTMLAttributeT<IKelMLUnknownTagAttribute>;

// ---- Text nodes ------------------------------------------------------------------

template <class TextI>
class TMLTextNodeT : public TMarkupPosT<TKelInterfaced<TextI>> {
 public:
  TMLTextNodeT() : TMarkupPosT<TKelInterfaced<TextI>>(-1) {}
  void SetText(const std::string& Value) override { FText = Value; }
  std::string GetText() override { return FText; }

 private:
  std::string FText;
};

using TMLTextNode = TMLTextNodeT<IKelMLTextNode>;
using TMLComment = TMLTextNodeT<IKelMLComment>;
using TMLText = TMLTextNodeT<IKelMLText>;
class TMLServerScript : public TMLTextNodeT<IKelMLServerScript> {};
class TMLProcessingInstruction : public TMLTextNodeT<IKelMLProcessingInstruction> {};

// ---- Parser records and the entity list ----------------------------------------------

// One attribute occurrence read by the parser in the tag at the caret.
struct TTagAttributeValue {
  TTagAttributeValue(TKelPtr<IKelMLTagAttribute> AAttribute, std::u16string AValue, char AQuote,
                     char AQuoteEnd)
      : Attribute(std::move(AAttribute)), Value(std::move(AValue)), Quote(AQuote), QuoteEnd(AQuoteEnd) {}
  TKelPtr<IKelMLTagAttribute> Attribute;
  std::u16string Value;
  char Quote;
  char QuoteEnd;
};

// The character entities of the loaded DTD (name and character code), with
// the same prefix filter as attribute values.
class TAsciiCharList {
 public:
  TAsciiCharList() = default;
  void AddEntity(const std::string& Name, int32_t Code);
  void AlphaSort();
  void Clear();
  int32_t GetCount() const;
  bool Empty() const { return FList.empty(); }
  std::string GetItem(int32_t Index) const;
  int32_t GetAsciiVal(int32_t Index) const;
  int32_t FindIndex(const std::string& Name) const;
  void SetFilter(const std::string& Filter);
  const std::string& GetFilter() const { return FFilter; }
  void SetFontName(const std::string& Name) {
    if (Name != FFontName) FFontName = Name;
  }
  const std::string& GetFontName() const { return FFontName; }

 private:
  bool ValidIndex(int32_t I) const { return I >= 0 && I < static_cast<int32_t>(FList.size()); }

  std::vector<std::pair<std::string, int32_t>> FList;
  bool FSorted = false;
  int32_t FStartIndex = 0;
  int32_t FEndIndex = -1;
  std::string FFilter;
  std::string FFontName = "Tahoma";
};

}  // namespace kel
