#include "markup/MLParser.h"

#include <algorithm>

#include "host/KelStrings.h"
#include "symbols/MLSymbolManager.h"

namespace kel {

TMLParser::TMLParser(TMLSymbolManager* SymbolManager)
    : FDocTypeHash(Hash("DOCTYPE")), FXSLTemplateHash(Hash("xsl:template")), FSymbolManager(SymbolManager) {}

TMLParser::~TMLParser() {
  FAttrValues = nullptr;
  FFreeEntries.clear();
  FTagStack.clear();
  FOpenTags.clear();
  FAutoClosePositions.clear();
  FCallbacks.clear();
  if (FSymbolManager && FSymbolManager->GetParser() == this) FSymbolManager->SetParser(nullptr);
}

void TMLParser::AddCallback(IInterface* Callback) {
  const TKelPtr<IKelMLElementCallback> C = query<IKelMLElementCallback>(Callback);
  if (!C || std::find(FCallbacks.begin(), FCallbacks.end(), C) != FCallbacks.end()) return;
  FCallbacks.push_back(C);
}

void TMLParser::RemoveCallback(IInterface* Callback) {
  const TKelPtr<IKelMLElementCallback> C = query<IKelMLElementCallback>(Callback);
  if (!C) return;
  FCallbacks.erase(std::remove(FCallbacks.begin(), FCallbacks.end(), C), FCallbacks.end());
}

void TMLParser::CallbacksInvalidate() {
  // A callback may unregister itself while it is told.
  const auto Callbacks = FCallbacks;
  for (const auto& C : Callbacks) C->Invalidate();
}

int32_t TMLParser::GetCurrentTagAttrCount() const {
  return FAttrValues ? static_cast<int32_t>(FAttrValues->size()) : 0;
}

TKelPtr<IKelMLTagAttribute> TMLParser::GetCurrentTagAttrs(int32_t Index) const {
  if (Index < 0 || Index >= GetCurrentTagAttrCount()) return nullptr;
  return (*FAttrValues)[static_cast<size_t>(Index)]->Attribute;
}

std::string TMLParser::GetCurrentTagAttrName(int32_t Index) const {
  const auto A = GetCurrentTagAttrs(Index);
  return A ? A->GetName() : std::string();
}

std::u16string TMLParser::GetCurrentTagAttrValue(int32_t Index) const {
  if (Index < 0 || Index >= GetCurrentTagAttrCount()) return {};
  return (*FAttrValues)[static_cast<size_t>(Index)]->Value;
}

const TTagAttributeValue* TMLParser::FindAttrValue(const std::string& Name) const {
  if (!FAttrValues) return nullptr;
  for (const auto& V : *FAttrValues)
    if (V->Attribute && SameText(V->Attribute->GetName(), Name)) return V.get();
  return nullptr;
}

std::u16string TMLParser::GetCurrentTagAttrValueByName(const std::string& Name) const {
  const auto* V = FindAttrValue(Name);
  return V ? V->Value : std::u16string();
}

char TMLParser::GetCurrentTagAttrStrType(const std::string& Name) const {
  const auto* V = FindAttrValue(Name);
  return V ? V->Quote : '\0';
}

char TMLParser::GetCurrentTagAttrStrTypeEnd(const std::string& Name) const {
  const auto* V = FindAttrValue(Name);
  return V ? V->QuoteEnd : '\0';
}

int32_t TMLParser::GetCurrentTagAttrOffsetStart(const std::string& Name) const {
  const auto* V = FindAttrValue(Name);
  return V ? V->Attribute->GetOffsetStart() : 0;
}

int32_t TMLParser::GetCurrentTagAttrOffsetEnd(const std::string& Name) const {
  const auto* V = FindAttrValue(Name);
  return V ? V->Attribute->GetOffsetEnd() : 0;
}

int32_t TMLParser::GetCurrentTagAttrValueOffsetStart(const std::string& Name) const {
  const auto* V = FindAttrValue(Name);
  return V ? V->Attribute->GetAttributeValueStartOffset() : 0;
}

// ---- Tag lists --------------------------------------------------------------------------

namespace {
bool IsSchemaTag(IKelMLTag* Tag) { return Tag && !supports<IKelMLNamedTag>(Tag); }
}  // namespace

TKelPtr<IKelMLTag> TMLParser::FindTag(const std::string& Name) {
  return FSymbolManager ? FSymbolManager->GetTagFromHashList(Name) : nullptr;
}

std::unique_ptr<TTagEntry> TMLParser::NewTagEntry() {
  std::unique_ptr<TTagEntry> E;
  // The entry whose values are current stays put: they are still read.
  const auto Free = std::find_if(FFreeEntries.begin(), FFreeEntries.end(),
                                 [this](const auto& F) { return &F->AttrValues != FAttrValues; });
  if (Free != FFreeEntries.end()) {
    E = std::move(*Free);
    FFreeEntries.erase(Free);
    ClearTagAttrList(E->AttrValues);
  } else {
    E = std::make_unique<TTagEntry>();
  }
  E->Line = FLine;
  E->OffsetEnd = 0;
  E->OffsetStart = 0;
  return E;
}

void TMLParser::DisposeTagEntry(TTagEntryList& List, TTagEntryList::iterator E, bool ClearAttrs) {
  (*E)->Tag.reset();
  (*E)->Unclosed = false;
  if (ClearAttrs) {
    if (FAttrValues == &(*E)->AttrValues) FAttrValues = nullptr;
    ClearTagAttrList((*E)->AttrValues);
  }
  FFreeEntries.splice(FFreeEntries.end(), List, E);
}

void TMLParser::PushTag(IKelMLTag* Tag, bool OpenedBeforeCaret, bool BeforeCaret) {
  auto Open = NewTagEntry();
  Open->Tag = Tag;
  TTagAttributeValueList* OpenValues = &Open->AttrValues;
  FOpenTags.push_front(std::move(Open));
  if (BeforeCaret) {
    auto Stacked = NewTagEntry();
    Stacked->Tag = Tag;
    FAttrValues = &Stacked->AttrValues;
    FTagStack.push_front(std::move(Stacked));
  } else if (OpenedBeforeCaret) {
    FAttrValues = OpenValues;
  }
}

void TMLParser::PopTag(const std::string& Name, bool BeforeCaret, bool OpenedBeforeCaret) {
  (void)OpenedBeforeCaret;
  const auto Named = [&Name](const auto& E) { return E->Tag && SameText(E->Tag->GetName(), Name); };
  if (BeforeCaret && std::any_of(FTagStack.begin(), FTagStack.end(), Named)) {
    const TKelPtr<IKelMLTag> Def = FindTag(Name);
    for (auto It = FTagStack.begin(); It != FTagStack.end();) {
      const auto Next = std::next(It);
      if (Named(*It)) {
        DisposeTagEntry(FTagStack, It, true);
        break;
      }
      // An inner element left open by the closing of an outer one.
      if (!FIsXML) {
        const TKelPtr<IKelMLTag> Inner = Def && (*It)->Tag ? Def->LookupTag((*It)->Tag->GetName()) : nullptr;
        if (Inner && Inner->GetRequiresClosingTag())
          (*It)->Unclosed = static_cast<bool>(Inner->LookupTag(Name));
        else
          DisposeTagEntry(FTagStack, It, true);
      }
      It = Next;
    }
    FCurrentTag = FTagStack.empty() ? nullptr : FTagStack.front()->Tag;
    FInTag = static_cast<bool>(FCurrentTag);
  }
  const auto Open = std::find_if(FOpenTags.begin(), FOpenTags.end(), Named);
  if (Open != FOpenTags.end()) DisposeTagEntry(FOpenTags, Open, false);
}

void TMLParser::ClearTagAttrList(TTagAttributeValueList& List) {
  for (auto It = List.rbegin(); It != List.rend(); ++It) {
    const auto& A = (*It)->Attribute;
    if (A && !supports<IKelMLUnknownTagAttribute>(A)) {
      A->SetOffsetStart(0);
      A->SetOffsetEnd(0);
    }
  }
  List.clear();
}

void TMLParser::SetTagOffsetStart(IKelMLTag* Tag, int32_t Offset, bool Record, bool IsClosing) {
  if (Tag) Tag->SetOffsetStart(Offset);
  if (Record && !IsClosing && !FTagStack.empty()) FTagStack.front()->OffsetStart = Offset;
}

void TMLParser::SetTagOffsetEnd(IKelMLTag* Tag, int32_t Offset, bool Record, bool UseParentList) {
  if (Tag) Tag->SetOffsetEnd(Offset);
  if (!Record || FTagStack.empty()) return;
  if (UseParentList) {
    const auto Parent = std::next(FTagStack.begin());
    FAttrValues = Parent == FTagStack.end() ? nullptr : &(*Parent)->AttrValues;
  } else {
    FTagStack.front()->OffsetEnd = Offset;
  }
}

void TMLParser::PushAutoCloseTagPos(const TKelEditPos& Pos) {
  FAutoClosePositions.push_back({static_cast<int16_t>(Pos.Col - 1), Pos.Line});
}

TKelPtr<IKelMLTag> TMLParser::NewUnknownElement(const std::string& Name) {
  if (IsSchemaTag(FCurrentTag.get())) FFixupTag = FCurrentTag;
  return MakeKel<TNamedTag>(Name, FSymbolManager, -1);
}

TKelPtr<IKelMLTagAttribute> TMLParser::NewUnknownAttr(const std::string& Name) {
  return MakeKel<TUnknownHTMLAttribute>(Name, -1);
}

void TMLParser::AddTagAttr(IKelMLTagAttribute* Attr, const std::string& Value, char Quote, char QuoteEnd) {
  if (FAttrValues)
    FAttrValues->push_back(std::make_unique<TTagAttributeValue>(Attr, Utf8ToUtf16(Value), Quote, QuoteEnd));
}

void TMLParser::ClearTagStack() {
  while (!FTagStack.empty()) DisposeTagEntry(FTagStack, FTagStack.begin(), true);
  while (!FOpenTags.empty()) DisposeTagEntry(FOpenTags, FOpenTags.begin(), true);
}

void TMLParser::Callback(const std::string&, IKelMLMarkupPos* Node, TTagType TagType, int32_t StartOffset,
                         int32_t EndOffset) {
  if (FCallbacks.empty()) return;
  const auto Callbacks = FCallbacks;
  size_t Handled = 0;
  for (const auto& C : Callbacks) {
    bool H = false;
    C->ElementParsed(this, Node, TagType, StartOffset, EndOffset, H);
    if (H) ++Handled;
  }
  FStopped = Handled == Callbacks.size();
}

}  // namespace kel
