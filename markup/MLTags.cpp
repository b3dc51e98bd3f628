#include "markup/MLTags.h"

#include <algorithm>
#include <unordered_set>

#include "host/KelStrings.h"

namespace kel {

std::string CaseTagName(TMLSymbols* SymbolManager, const std::string& Name) {
  return SymbolManager ? SymbolManager->CaseTag(Name) : Name;
}

namespace {

int32_t Size(const auto& List) { return static_cast<int32_t>(List.size()); }

// The shared prefix filter over a list sorted ignoring case. Name(I) gives
// the name at I. The range [Start, End] is the visible part; an empty result
// is End < Start, with Start at EmptyStart(P) where P is the lower bound (the
// list size when there is none).
template <class NameAt, class EmptyAt>
void FilterSorted(int32_t Count, NameAt Name, EmptyAt EmptyStart, int32_t& Start, int32_t& End,
                  std::string& Stored, const std::string& Filter) {
  // Narrowing is only sound when the new filter extends the old one; any
  // other filter (shorter, or a different word) starts from the whole list.
  if (Filter.empty() || Filter.size() < Stored.size() || !StartsWithText(Filter, Stored)) {
    Start = 0;
    End = Count - 1;
  }
  Stored = Filter;
  if (Filter.empty()) return;

  // The list is sorted, so the first name at or above a bound is found by
  // bisection: the same answer as a scan from Start, in log steps.
  const auto FirstAtOrAbove = [&](int32_t From, const std::string& Key) {
    int32_t Lo = From, Hi = Count;
    while (Lo < Hi) {
      const int32_t Mid = Lo + (Hi - Lo) / 2;
      if (CompareText(Name(Mid), Key) < 0)
        Lo = Mid + 1;
      else
        Hi = Mid;
    }
    return Lo;
  };
  const int32_t Lower = FirstAtOrAbove(std::max(Start, 0), Filter);
  if (Lower >= Count) {
    Start = EmptyStart(Count);
    End = Start - 1;
  } else {
    Start = Lower;
    // The successor of the filter; a final z is raised from Z, so that the
    // bound lies just above every name that continues the filter, "_" too.
    std::string Bound = Filter;
    char& Last = Bound.back();
    if (Last == 'z') Last = 'Z';
    Last = static_cast<char>(Last + 1);
    const int32_t Upper = FirstAtOrAbove(Start, Bound);
    if (Upper < Count) End = Upper - 1;
    End = std::min(End, Count - 1);
    if (End < Start) {
      Start = EmptyStart(Start);
      End = Start - 1;
    }
  }
  if (Stored.back() == 'z') Stored.back() = 'Z';
}

// Attribute values and entities mark their empty range as [1, 0].
int32_t EmptyAtOne(int32_t) { return 1; }
// Tags keep the empty range where the filter would stand, so custom elements
// inserted at the start index become the visible range.
int32_t EmptyInPlace(int32_t P) { return P; }

int32_t RangeCount(int32_t Start, int32_t End, int32_t Count) {
  return std::max(0, std::min(End - Start + 1, Count));
}

// Each name is spelled once, not once per comparison: spelling goes through
// the letter-case option.
template <class List>
void SortByName(List& L) {
  if (L.size() < 2) return;
  std::vector<std::pair<std::string, typename List::value_type>> Named;
  Named.reserve(L.size());
  for (auto& Item : L) Named.emplace_back(Item->GetName(), std::move(Item));
  std::stable_sort(Named.begin(), Named.end(),
                   [](const auto& A, const auto& B) { return CompareText(A.first, B.first) < 0; });
  for (size_t I = 0; I < L.size(); ++I) L[I] = std::move(Named[I].second);
}

}  // namespace

// ---- THTMLTag -------------------------------------------------------------------

THTMLTag::THTMLTag(const std::string& Name, TMLSymbols* SymbolManager, int32_t ID)
    : TMarkupPosT<TKelInterfaced<IKelMLTag>>(ID), FName(Name), FSymbolManager(SymbolManager) {}

THTMLTag::~THTMLTag() {
  ClearTags();
  ClearAttrs();
}

std::string THTMLTag::GetName() { return FKeepsCase ? FName : CaseTagName(FSymbolManager, FName); }

int32_t THTMLTag::ChosenSize() const { return FShowAttributes ? Size(FAttrs) : Size(FTags); }

void THTMLTag::ListResized(bool ForAttributes, int32_t OldSize) {
  if (ForAttributes != FShowAttributes) return;
  const int32_t NewSize = ChosenSize();
  if (NewSize > OldSize && FStartIndex == 0 && FEndIndex == OldSize - 1 && FFilter.empty())
    FEndIndex = NewSize - 1;
  else if (FEndIndex >= NewSize)
    FEndIndex = NewSize - 1;
}

TKelPtr<IKelMLTagAttribute> THTMLTag::GetAttribute(int32_t Index) {
  if (Index < 0 || Index >= Size(FAttrs)) return nullptr;
  const int32_t I = FStartIndex + Index;
  return I >= 0 && I < Size(FAttrs) ? FAttrs[static_cast<size_t>(I)] : nullptr;
}

TKelPtr<IKelMLTag> THTMLTag::GetTags(int32_t Index) {
  const int32_t I = FStartIndex + Index;
  return Index >= 0 && I >= 0 && I < Size(FTags) ? FTags[static_cast<size_t>(I)] : nullptr;
}

int32_t THTMLTag::GetTagCount() { return RangeCount(FStartIndex, FEndIndex, Size(FTags)); }

int32_t THTMLTag::GetAttributeCount() {
  return FShowAttributes ? RangeCount(FStartIndex, FEndIndex, Size(FAttrs)) : Size(FAttrs);
}

std::string THTMLTag::GetEntityName(int32_t Index) {
  return Index >= 0 && Index < Size(FEntityNames) ? FEntityNames[static_cast<size_t>(Index)] : std::string();
}

void THTMLTag::SetShowAttributes(bool Value) {
  FShowAttributes = Value;
  FStartIndex = 0;
  FEndIndex = ChosenSize() - 1;
}

void THTMLTag::SetFilter(const std::string& Filter) {
  const bool Children = !FShowAttributes;
  // Only the manager's own insertions are custom elements; with none in the
  // list the scan for them is skipped, which keeps a keystroke logarithmic.
  if (Children && FSymbolManager && FCustomCount > 0) {
    const int32_t Removed = FSymbolManager->RemoveCustomElements(FTags, *this);
    FCustomCount -= Removed;
    FEndIndex -= Removed;
  }
  if (Children)
    FilterSorted(
        Size(FTags), [this](int32_t I) { return FTags[static_cast<size_t>(I)]->GetName(); }, EmptyInPlace,
        FStartIndex, FEndIndex, FFilter, Filter);
  else
    FilterSorted(
        Size(FAttrs), [this](int32_t I) { return FAttrs[static_cast<size_t>(I)]->GetName(); }, EmptyInPlace,
        FStartIndex, FEndIndex, FFilter, Filter);
  if (Children && FSymbolManager) {
    const int32_t Inserted = FSymbolManager->InsertCustomElements(FTags, *this);
    FCustomCount += Inserted;
    FEndIndex += Inserted;
  }
}

TKelPtr<IKelMLTagAttribute> THTMLTag::FindAttribute(const std::string& Name) {
  const auto It = FAttrIndex.find(UpperCase(Name));
  return It == FAttrIndex.end() ? nullptr : It->second;
}

TKelPtr<IKelMLTag> THTMLTag::LookupTag(const std::string& Name) {
  const auto It = FTagIndex.find(UpperCase(Name));
  return It == FTagIndex.end() ? nullptr : It->second;
}

int32_t THTMLTag::FindSymbol(const std::string& Prefix) {
  const int32_t Count = ChosenSize();
  const int32_t Last = std::min(FEndIndex, Count - 1);
  for (int32_t I = std::max(FStartIndex, 0); I <= Last; ++I) {
    const std::string Name = FShowAttributes ? FAttrs[static_cast<size_t>(I)]->GetName()
                                             : FTags[static_cast<size_t>(I)]->GetName();
    if (StartsWithText(Name, Prefix)) return I - FStartIndex;
  }
  return -1;
}

// Removing keeps the order: only lists added to since are sorted again,
// which spares each request re-sorting hundreds of names.
void THTMLTag::SetChildRule(const std::string& Child, TChildRule Rule) {
  FChildRules[UpperCase(Child)] = Rule;
}

const THTMLTag::TChildRule* THTMLTag::ChildRule(const std::string& Child) const {
  const auto It = FChildRules.find(UpperCase(Child));
  return It == FChildRules.end() ? nullptr : &It->second;
}

void THTMLTag::AlphaSort() {
  if (FTagsUnsorted) SortByName(FTags);
  if (FAttrsUnsorted) SortByName(FAttrs);
  FTagsUnsorted = FAttrsUnsorted = false;
}

void THTMLTag::AddTag(IKelMLTag* Tag) {
  if (!Tag) return;
  const std::string Name = Tag->GetName();
  if (LookupTag(Name)) return;
  const int32_t Old = Size(FTags);
  FTags.emplace_back(Tag);
  FTagsUnsorted = true;
  FTagIndex.emplace(UpperCase(Name), TKelPtr<IKelMLTag>(Tag));
  ListResized(false, Old);
}

void THTMLTag::RemoveTag(IKelMLTag* Tag) {
  if (!Tag) return;
  // Hold the tag: the list may hold its last reference.
  const TKelPtr<IKelMLTag> Keep(Tag);
  const int32_t Old = Size(FTags);
  const auto It = std::find_if(FTags.begin(), FTags.end(), [Tag](const auto& T) { return T.get() == Tag; });
  if (It != FTags.end()) FTags.erase(It);
  if (const auto R = FTagIndex.find(UpperCase(Tag->GetName()));
      R != FTagIndex.end() && R->second.get() == Tag)
    FTagIndex.erase(R);
  if (Size(FTags) != Old) ListResized(false, Old);
}

void THTMLTag::RemoveTags(const std::unordered_set<const IKelMLTag*>& Gone) {
  if (Gone.empty()) return;
  const int32_t Old = Size(FTags);
  std::erase_if(FTags, [this, &Gone](const TKelPtr<IKelMLTag>& T) {
    if (!Gone.contains(T.get())) return false;
    if (const auto R = FTagIndex.find(UpperCase(T->GetName())); R != FTagIndex.end() && R->second == T)
      FTagIndex.erase(R);
    return true;
  });
  if (Size(FTags) != Old) ListResized(false, Old);
}

void THTMLTag::AddAttribute(IKelMLTagAttribute* Attr) {
  if (!Attr) return;
  const std::string Name = Attr->GetName();
  if (FindAttribute(Name)) return;
  const int32_t Old = Size(FAttrs);
  FAttrs.emplace_back(Attr);
  FAttrsUnsorted = true;
  FAttrIndex.emplace(UpperCase(Name), TKelPtr<IKelMLTagAttribute>(Attr));
  ListResized(true, Old);
}

TKelPtr<IKelMLTagAttribute> THTMLTag::RemoveAttribute(const std::string& Name) {
  const auto R = FAttrIndex.find(UpperCase(Name));
  if (R == FAttrIndex.end()) return nullptr;
  TKelPtr<IKelMLTagAttribute> Attr = R->second;
  FAttrIndex.erase(R);
  const int32_t Old = Size(FAttrs);
  const auto It = std::find(FAttrs.begin(), FAttrs.end(), Attr);
  if (It != FAttrs.end()) FAttrs.erase(It);
  ListResized(true, Old);
  return Attr;
}

std::vector<TKelPtr<IKelMLTagAttribute>> THTMLTag::RemoveAttributes(const std::vector<std::string>& Names) {
  std::vector<TKelPtr<IKelMLTagAttribute>> Removed;
  std::unordered_set<const IKelMLTagAttribute*> Gone;
  for (const std::string& Name : Names) {
    const auto R = FAttrIndex.find(UpperCase(Name));
    if (R == FAttrIndex.end()) continue;
    Gone.insert(R->second.get());
    Removed.push_back(R->second);
    FAttrIndex.erase(R);
  }
  if (Removed.empty()) return Removed;
  const int32_t Old = Size(FAttrs);
  std::erase_if(FAttrs, [&Gone](const TKelPtr<IKelMLTagAttribute>& A) { return Gone.contains(A.get()); });
  ListResized(true, Old);
  return Removed;
}

// At once: one by one, the root of a large schema took seconds to empty.
void THTMLTag::ClearTags() {
  const int32_t Old = Size(FTags);
  // Moved out first: a tag's release may reach back into this one.
  const TMLTagList Gone = std::move(FTags);
  FTags.clear();
  FTagIndex.clear();
  if (Old) ListResized(false, Old);
}

void THTMLTag::ClearAttrs() {
  const int32_t Old = Size(FAttrs);
  FAttrIndex.clear();
  FAttrs.clear();
  ListResized(true, Old);
}

TMLTagList AllChildren(IKelMLTag* Tag) {
  if (auto* Schema = dynamic_cast<THTMLTag*>(Tag)) return Schema->AllTags();
  TMLTagList R;
  if (Tag)
    for (int32_t I = 0; I < Tag->GetTagCount(); ++I) R.push_back(Tag->GetTags(I));
  return R;
}

TMLAttributeList AllAttributes(IKelMLTag* Tag) {
  if (auto* Schema = dynamic_cast<THTMLTag*>(Tag)) return Schema->AllAttrs();
  TMLAttributeList R;
  if (Tag) {
    const bool Shown = Tag->GetShowAttributes();
    Tag->SetShowAttributes(true);
    for (int32_t I = 0; I < Tag->GetAttributeCount(); ++I) R.push_back(Tag->GetAttribute(I));
    Tag->SetShowAttributes(Shown);
  }
  return R;
}

// ---- Attribute values -------------------------------------------------------------

void TMLValueList::Sort() const {
  if (!FUnsorted) return;
  FUnsorted = false;
  // Names that compare equal stay in the order they came, and a value given
  // twice is kept where it came first.
  std::stable_sort(FValues.begin(), FValues.end(),
                   [](const std::string& A, const std::string& B) { return CompareText(A, B) < 0; });
  std::vector<std::string> Kept;
  Kept.reserve(FValues.size());
  std::unordered_set<std::string_view> Seen;
  for (const std::string& V : FValues)
    if (Seen.insert(V).second) Kept.push_back(V);
  FEndIndex -= static_cast<int32_t>(FValues.size() - Kept.size());
  FValues = std::move(Kept);
}

int32_t TMLValueList::GetCount() const {
  Sort();
  return RangeCount(FStartIndex, FEndIndex, Size());
}

std::string TMLValueList::GetValue(int32_t Index) const {
  const int32_t I = FStartIndex + Index;
  return Index >= 0 && I >= 0 && I < Size() ? At(I) : std::string();
}

void TMLValueList::SetValue(int32_t Index, const std::string& Value) {
  if (Index >= 0 && Index < Size()) FValues[static_cast<size_t>(Index)] = Value;
}

void TMLValueList::AddValue(const std::string& Value) {
  FValues.push_back(Value);
  FUnsorted = true;
  ++FEndIndex;
}

int32_t TMLValueList::FindSymbol(const std::string& Prefix) const {
  if (GetCount() <= 0) return -1;
  for (int32_t I = std::max(FStartIndex, 0); I < Size(); ++I)
    if (StartsWithText(At(I), Prefix)) return I - FStartIndex;
  return -1;
}

void TMLValueList::SetFilter(const std::string& Filter) {
  Sort();
  // A lone type keyword (CDATA) or editor entry ("color...") is a hint, not
  // a choice among values: it stays visible whatever is typed.
  if (FStartIndex == FEndIndex && FStartIndex >= 0 && FStartIndex < Size()) {
    const std::string& Only = At(FStartIndex);
    if (!IdentIsNotDTDType(Only) || IdentIsAttributeEditor(Only)) return;
  }
  FilterSorted(
      Size(), [this](int32_t I) -> const std::string& { return At(I); }, EmptyAtOne, FStartIndex, FEndIndex,
      FFilter, Filter);
}

// ---- TAsciiCharList ------------------------------------------------------------------

void TAsciiCharList::AddEntity(const std::string& Name, int32_t Code) {
  const int32_t Old = Size(FList);
  if (FSorted) {
    const auto At =
        std::upper_bound(FList.begin(), FList.end(), Name,
                         [](const std::string& N, const auto& E) { return CompareText(N, E.first) < 0; });
    FList.emplace(At, Name, Code);
  } else {
    FList.emplace_back(Name, Code);
  }
  if (FStartIndex == 0 && FEndIndex == Old - 1 && FFilter.empty()) FEndIndex = Size(FList) - 1;
}

void TAsciiCharList::AlphaSort() {
  std::stable_sort(FList.begin(), FList.end(),
                   [](const auto& A, const auto& B) { return CompareText(A.first, B.first) < 0; });
  FSorted = true;
}

void TAsciiCharList::Clear() {
  FList.clear();
  FStartIndex = 0;
  FEndIndex = -1;
  FFilter.clear();
}

int32_t TAsciiCharList::GetCount() const { return RangeCount(FStartIndex, FEndIndex, Size(FList)); }

std::string TAsciiCharList::GetItem(int32_t Index) const {
  return Index >= 0 && ValidIndex(FStartIndex + Index) ? FList[static_cast<size_t>(FStartIndex + Index)].first
                                                       : std::string();
}

int32_t TAsciiCharList::GetAsciiVal(int32_t Index) const {
  return Index >= 0 && ValidIndex(FStartIndex + Index)
             ? FList[static_cast<size_t>(FStartIndex + Index)].second
             : 0;
}

int32_t TAsciiCharList::FindIndex(const std::string& Name) const {
  const int32_t Last = std::min(FEndIndex, Size(FList) - 1);
  for (int32_t I = std::max(FStartIndex, 0); I <= Last; ++I)
    if (CompareText(FList[static_cast<size_t>(I)].first, Name) >= 0) return I - FStartIndex;
  return -1;
}

void TAsciiCharList::SetFilter(const std::string& Filter) {
  FilterSorted(
      Size(FList), [this](int32_t I) -> const std::string& { return FList[static_cast<size_t>(I)].first; },
      EmptyAtOne, FStartIndex, FEndIndex, FFilter, Filter);
}

}  // namespace kel
