#include "css/CSSImpl.h"

#include <algorithm>

#include "host/KelStrings.h"
#include "markup/MLParserUtils.h"

namespace kel {

// ---- TCSSStringList ------------------------------------------------------------------------

bool TCSSStringList::Contains(const std::string& S) const {
  return std::find(Items.begin(), Items.end(), S) != Items.end();
}

void TCSSStringList::Add(const std::string& S) {
  if (!Contains(S)) Items.push_back(S);
}

void TCSSStringList::Remove(const std::string& S) {
  const auto It = std::find(Items.begin(), Items.end(), S);
  if (It == Items.end()) return;
  *It = std::move(Items.back());
  Items.pop_back();
}

std::string TCSSStringList::GetItem(int32_t Index) const {
  return Index >= 0 && Index < GetCount() ? Items[static_cast<size_t>(Index)] : std::string();
}

// ---- Nodes -----------------------------------------------------------------------------------

void FreeNodeChain(TCSSNode*& Chain) {
  while (Chain) {
    TCSSNode* Next = Chain->Next;
    delete Chain;
    Chain = Next;
  }
}

TDeclaration::TDeclaration(TCSSNode*& Chain)
    : TCSSNode(TNodeKind::nkDeclaration, Chain), Expr(new TNodeOp(FOwnChain)) {}

TDeclaration::~TDeclaration() { FreeNodeChain(FOwnChain); }

// ---- Symbols ----------------------------------------------------------------------------------

void TCSSProperty::AddValue(TCSSValue* Value) {
  if (Value && std::find(Values.begin(), Values.end(), Value) == Values.end()) Values.push_back(Value);
}

void TCSSProperty::AddType(TCSSType* Type) {
  if (Type && std::find(Types.begin(), Types.end(), Type) == Types.end()) Types.push_back(Type);
}

std::string TCSSProperty::GetKibitzValue(int32_t Index) const {
  const int32_t At = KibitzFirst + Index;
  if (At < 0 || At >= GetValueCount()) return {};
  const TCSSValue* V = Values[static_cast<size_t>(At)];
  return V->Kind == TCSSValueKind::cssVkType ? V->Name + "..." : V->Name;
}

// ---- Symbol table -----------------------------------------------------------------------------

int CompareCSSNames(const std::string& A, const std::string& B) {
  const auto Up = [](char C) {
    const auto U = static_cast<unsigned char>(C);
    return U >= 'a' && U <= 'z' ? static_cast<unsigned char>(U - 32) : U;
  };
  const size_t N = std::min(A.size(), B.size());
  for (size_t I = 0; I < N; ++I) {
    const unsigned char X = Up(A[I]), Y = Up(B[I]);
    if (X != Y) return X < Y ? -1 : 1;
  }
  return A.size() == B.size() ? 0 : (A.size() < B.size() ? -1 : 1);
}

TCSSSymbolTable::TCSSSymbolTable(const TKibitzPosSource* AParser) : Parser(AParser) {}

TCSSSymbolTable::~TCSSSymbolTable() {
  for (auto& S : Sections)
    for (TCSSSymbol* Symbol : S.List) delete Symbol;
}

TKibitzPos TCSSSymbolTable::Pos() const { return Parser ? Parser->GetKibitzPos() : TKibitzPos::kpNone; }

TCSSSymbol* TCSSSymbolTable::Lookup(int Section, const std::string& Name) const {
  for (TCSSSymbol* S = Sections[static_cast<size_t>(Section)].Heads[Hash(Name)]; S; S = S->Next)
    if (CompareCSSNames(S->Name, Name) == 0) return S;
  return nullptr;
}

void TCSSSymbolTable::Push(int Section, TCSSSymbol* Symbol) {
  TSection& S = Sections[static_cast<size_t>(Section)];
  TCSSSymbol*& Head = S.Heads[Hash(Symbol->Name)];
  Symbol->Next = Head;
  Head = Symbol;
  S.List.push_back(Symbol);
  ++S.Count;
}

template <class T>
T* TCSSSymbolTable::NewSymbol(int Section, const std::string& Name) {
  if (TCSSSymbol* Found = Lookup(Section, Name)) return static_cast<T*>(Found);
  T* Symbol = new T(Name);
  Push(Section, Symbol);
  return Symbol;
}

TCSSProperty* TCSSSymbolTable::NewProperty(const std::string& Name) {
  return NewSymbol<TCSSProperty>(Props, Name);
}
TCSSType* TCSSSymbolTable::NewType(const std::string& Name) { return NewSymbol<TCSSType>(Types, Name); }
TCSSValue* TCSSSymbolTable::NewValue(const std::string& Name) { return NewSymbol<TCSSValue>(Values, Name); }
void TCSSSymbolTable::AddEditor(TCSSEditor* Editor) {
  if (Editor) Push(Editors, Editor);
}

TCSSProperty* TCSSSymbolTable::NewDescriptor(const std::string& AtRule, const std::string& Name) {
  if (TCSSProperty* Found = LookupDescriptor(AtRule, Name)) return Found;
  auto& List = Descriptors[LowerCase(AtRule)];
  List.push_back(std::make_unique<TCSSProperty>(Name));
  return List.back().get();
}

TCSSProperty* TCSSSymbolTable::LookupDescriptor(const std::string& AtRule, const std::string& Name) const {
  const auto It = Descriptors.find(LowerCase(AtRule));
  if (It == Descriptors.end()) return nullptr;
  for (const auto& D : It->second)
    if (CompareCSSNames(D->Name, Name) == 0) return D.get();
  return nullptr;
}

TCSSProperty* TCSSSymbolTable::LookupProperty(const std::string& Name) const {
  return static_cast<TCSSProperty*>(Lookup(Props, Name));
}
TCSSType* TCSSSymbolTable::LookupType(const std::string& Name) const {
  return static_cast<TCSSType*>(Lookup(Types, Name));
}
TCSSValue* TCSSSymbolTable::LookupValue(const std::string& Name) const {
  return static_cast<TCSSValue*>(Lookup(Values, Name));
}
TCSSEditor* TCSSSymbolTable::LookupEditor(const std::string& Name) const {
  return static_cast<TCSSEditor*>(Lookup(Editors, Name));
}

TCSSSymbol* TCSSSymbolTable::At(int Section, int32_t Index) const {
  const auto& L = Sections[static_cast<size_t>(Section)].List;
  return Index >= 0 && Index < static_cast<int32_t>(L.size()) ? L[static_cast<size_t>(Index)] : nullptr;
}
TCSSProperty* TCSSSymbolTable::GetProp(int32_t Index) const {
  return static_cast<TCSSProperty*>(At(Props, Index));
}
TCSSType* TCSSSymbolTable::GetType(int32_t Index) const { return static_cast<TCSSType*>(At(Types, Index)); }
TCSSEditor* TCSSSymbolTable::GetEditor(int32_t Index) const {
  return static_cast<TCSSEditor*>(At(Editors, Index));
}

void TCSSSymbolTable::AlphaSort() {
  auto& List = Sections[Props].List;
  if (!List.empty()) QuickSort(List, 0, static_cast<int32_t>(List.size()) - 1);
}

void TCSSSymbolTable::SetKibitzProperty(TCSSProperty* Property) {
  // Values put in play start whole: a range left by an earlier request
  // would hide what the next one types.
  if (KibitzProperty && KibitzProperty != Property) KibitzProperty->ResetKibitz();
  Filter.clear();
  KibitzProperty = Property;
  if (Property) Arrange(*Property, false);
  if (Property) Property->ResetKibitz();
}

void TCSSSymbolTable::Arrange(TCSSProperty& Property, bool Filtered) {
  const bool LeadFirst = !Filtered && !Property.Lead.empty();
  if (Property.Sorted && Property.LeadFirst == LeadFirst) return;
  auto& V = Property.Values;
  if (!V.empty()) QuickSort(V, 0, Property.GetValueCount() - 1);
  if (LeadFirst)
    std::stable_partition(V.begin(), V.end(), [&Property](const TCSSValue* X) {
      return std::find(Property.Lead.begin(), Property.Lead.end(), X) != Property.Lead.end();
    });
  Property.Sorted = true;
  Property.LeadFirst = LeadFirst;
  Property.ResetKibitz();
}

void TCSSSymbolTable::ResetKibitz() {
  if (KibitzProperty) KibitzProperty->ResetKibitz();
  KibitzProperty = nullptr;
  Filter.clear();
  KibitzFirst = 0;
  KibitzLast = GetPropCount() - 1;
  RankStale = true;
}

// The alphabetical range in play, ordered by how often pages use each name
// (display before direction); prefixed names only once "-" is typed.
const std::vector<const TCSSProperty*>& TCSSSymbolTable::RankedProps() const {
  if (!RankStale) return Ranked;
  RankStale = false;
  Ranked.clear();
  const bool Prefixed = Filter.starts_with("-");
  for (int32_t I = std::max(KibitzFirst, 0); I <= std::min(KibitzLast, GetPropCount() - 1); ++I)
    if (const TCSSProperty* P = GetProp(I); P && (Prefixed || !P->Vendor)) Ranked.push_back(P);
  std::stable_sort(Ranked.begin(), Ranked.end(),
                   [](const TCSSProperty* A, const TCSSProperty* B) { return A->Relevance > B->Relevance; });
  return Ranked;
}

std::string TCSSSymbolTable::GetKibitzProp(int32_t Index) const {
  return Index >= 0 && Index < GetKibitzPropCount() ? RankedProps()[static_cast<size_t>(Index)]->Name
                                                     : std::string();
}

int32_t TCSSSymbolTable::GetKibitzValueCount() const {
  return KibitzProperty ? KibitzProperty->GetKibitzValueCount() : 0;
}

std::string TCSSSymbolTable::GetKibitzValue(int32_t Index) const {
  return KibitzProperty ? KibitzProperty->GetKibitzValue(Index) : std::string();
}

const std::string& TCSSSymbolTable::TInPlay::operator[](int32_t I) const {
  return Props ? (*Props)[static_cast<size_t>(I)]->Name : (*Values)[static_cast<size_t>(I)]->Name;
}

TCSSSymbolTable::TInPlay TCSSSymbolTable::InPlay() const {
  TInPlay L;
  const TKibitzPos P = Pos();
  if (P == TKibitzPos::kpExpr && KibitzProperty) {
    L.Values = &KibitzProperty->Values;
    L.First = KibitzProperty->KibitzFirst;
    L.Last = std::min(KibitzProperty->KibitzLast, KibitzProperty->GetValueCount() - 1);
  } else if (P == TKibitzPos::kpProperty) {
    L.Props = &Sections[Props].List;
    L.First = KibitzFirst;
    L.Last = std::min(KibitzLast, GetPropCount() - 1);
  }
  return L;
}

int32_t TCSSSymbolTable::TInPlay::FirstNotSmaller(int32_t From, const std::string& Key) const {
  for (int32_t I = std::max(From, 0); I <= Last; ++I)
    if (CompareCSSNames((*this)[I], Key) >= 0) return I;
  return -1;
}

int32_t TCSSSymbolTable::FindIdent(const std::string& S) const {
  const TInPlay L = InPlay();
  if (!L || L.Last < L.First) return -1;
  if (L.Props) {
    // The most used name S begins, else the one it sorts before.
    const auto& Ranked = RankedProps();
    for (size_t I = 0; I < Ranked.size(); ++I)
      if (StartsWithText(Ranked[I]->Name, S)) return static_cast<int32_t>(I);
    const int32_t P = L.FirstNotSmaller(L.First, S);
    const auto It = P < 0 ? Ranked.end() : std::find(Ranked.begin(), Ranked.end(), GetProp(P));
    return It == Ranked.end() ? -1 : static_cast<int32_t>(It - Ranked.begin());
  }
  const int32_t P = L.FirstNotSmaller(L.First, S);
  return P < 0 ? -1 : P - L.First;
}

void TCSSSymbolTable::SetFilter(const std::string& S) {
  // Narrowing is sound only while the new filter extends the old one; any
  // other text (shorter, or another word of the same length) starts over.
  if (S.empty() || S.size() < Filter.size() || CompareCSSNames(S.substr(0, Filter.size()), Filter) != 0) {
    KibitzFirst = 0;
    KibitzLast = GetPropCount() - 1;
    if (KibitzProperty) KibitzProperty->ResetKibitz();
  }
  // Ranges need one alphabetical run.
  if (KibitzProperty && Pos() == TKibitzPos::kpExpr) Arrange(*KibitzProperty, !S.empty());
  TInPlay L = InPlay();
  Filter = S;
  if (L && !S.empty()) {
    const int32_t Found = L.Last >= L.First ? L.FirstNotSmaller(L.First, S) : -1;
    if (Found >= 0) {
      L.First = Found;
      std::string Bound = S;
      char& C = Bound.back();
      if (C == 'z') C = 'Z';
      C = static_cast<char>(C + 1);
      const int32_t Upper = L.FirstNotSmaller(Found, Bound);
      if (Upper >= 0) L.Last = Upper - 1;
      // The stored filter keeps a final z as Z.
      C = static_cast<char>(C - 1);
      Filter = Bound;
    } else {
      L.First = 1;
      L.Last = 0;
    }
  }
  if (L.Values) {
    KibitzProperty->KibitzFirst = L.First;
    KibitzProperty->KibitzLast = L.Last;
  } else if (L.Props) {
    KibitzFirst = L.First;
    KibitzLast = L.Last;
  }
  RankStale = true;
}

}  // namespace kel
