#include "host/CompletionCycle.h"

#include <algorithm>

#include "host/KelStrings.h"

namespace kel {

TTextChange NetChange(const std::string& Old, const std::string& New) {
  size_t P = 0;
  while (P < Old.size() && P < New.size() && Old[P] == New[P]) ++P;
  size_t S = 0;
  while (S < Old.size() - P && S < New.size() - P && Old[Old.size() - 1 - S] == New[New.size() - 1 - S]) ++S;
  return {static_cast<int32_t>(P), static_cast<int32_t>(Old.size() - S),
          static_cast<int32_t>(New.size() - S)};
}

TCompletionCycle::TCompletionCycle(TMemoryHost& Host) : FHost(Host) {}

TKelPtr<IKelCodeInsightManager> TCompletionCycle::ManagerFor(TMemoryHost& Host, const std::string& File) {
  for (int32_t I = 0; I < Host.GetCodeInsightManagerCount(); ++I) {
    auto M = Host.GetCodeInsightManager(I);
    if (M && M->GetEnabled() && M->HandlesFile(File)) return M;
  }
  return nullptr;
}

bool TCompletionCycle::Type(char C) {
  if (FList) {
    Key(C);
    return IsOpen();
  }
  const auto& View = FHost.CurrentView();
  FInvoked = false;
  if (!View || !FManager) return false;
  FCommandsBefore = View->Commands().size();
  const int32_t Element =
      FClassifier ? FClassifier(View->Text(), View->CaretOffset()) : TKelElement::WhiteSpace;
  if (C) View->InsertText(std::string(1, C), false);
  TKelCodeInsightType Kind = TKelCodeInsightType::citNone;
  TKelInvokeType How = TKelInvokeType::itManual;
  FManager->GetCodeInsightType(C, Element, Kind, How);
  if (Kind != TKelCodeInsightType::citCodeInsight) return false;
  FInvoked = true;
  std::string Str;
  if (!FManager->InvokeCodeCompletion(How, Str)) return false;
  // A manager that leaves the token alone gets the word the editor sees.
  if (Str.empty()) Str = TypedToken();
  FToken = Str;
  FList = FHost.OpenCompletionList();
  Refresh(Str);
  // An empty list window is never shown.
  if (FList->Items().empty()) {
    FHost.CloseCompletionList();
    FList.reset();
  }
  return IsOpen();
}

void TCompletionCycle::Key(char K) {
  if (!FList || !FManager) return;
  bool Close = false, Accept = false;
  FManager->OnEditorKey(K, Close, Accept);
  if (Close) {
    bool DisplayParams = false;
    FManager->Done(Accept, DisplayParams);
    FHost.CloseCompletionList();
    FList.reset();
    return;
  }
  if (const auto& View = FHost.CurrentView()) View->InsertText(std::string(1, K), false);
  Refresh(TypedToken());
}

std::optional<TMemoryTrial> TCompletionCycle::Plan(int32_t Index, char K) {
  const auto& View = FHost.CurrentView();
  if (!FList || !FManager || !View) return std::nullopt;
  const int32_t Selected = FList->GetSelectedIndex();
  if (!SelectIndex(Index)) return std::nullopt;
  const auto Planning = query<IKelCodeInsightPlanning>(FManager);
  View->BeginTrial();
  // Ends this trial once, also on a throw: a second EndTrial would end the
  // caller's trial, and every later row would be planned on the text
  // without what opening the list wrote.
  struct TEnd {
    const TKelPtr<TMemoryEditView>& View;
    const TKelPtr<IKelCodeInsightPlanning>& Planning;
    bool Ended = false;

    ~TEnd() {
      if (Planning) Planning->SetPlanning(false);
      if (View && !Ended) View->EndTrial();
    }
  };
  std::optional<TMemoryTrial> Result;
  {
    TEnd End{View, Planning};
    bool Close = false, Accept = false;
    FManager->OnEditorKey(K, Close, Accept);
    if (Close) {
      if (Planning) Planning->SetPlanning(true);
      bool DisplayParams = false;
      FManager->Done(Accept, DisplayParams);
      if (Planning) Planning->SetPlanning(false);
      Result = View->EndTrial();
      End.Ended = true;
    }
  }
  FList->Select(Selected);
  return Result;
}

std::string TCompletionCycle::TypedToken() {
  const auto& View = FHost.CurrentView();
  return View ? View->GetPosition()->RipText(FManager->EditorTokenValidChars(false), kelRipBackward)
              : std::string();
}

void TCompletionCycle::Refresh(const std::string& Filter) {
  const auto List = FManager->GetSymbolList();
  if (!List) return;
  List->SetFilter(Filter);
  std::vector<std::string> Texts;
  for (int32_t I = 0; I < List->GetCount(); ++I) Texts.push_back(List->GetSymbolText(I));
  FList->SetItems(std::move(Texts));
  // The entity list answers an index without claiming a match.
  int32_t Index = -1;
  List->FindSymIndex(Filter, Index);
  if (Index < 0) Index = 0;
  FList->Select(Index);
}

std::vector<TCompletionItem> TCompletionCycle::Items() {
  std::vector<TCompletionItem> R;
  const auto List = FManager ? FManager->GetSymbolList() : nullptr;
  if (!List || !FList) return R;
  for (int32_t I = 0; I < List->GetCount(); ++I)
    R.push_back({List->GetSymbolText(I), List->GetSymbolTypeText(I), List->GetSymbolClassText(I),
                 List->GetSymbolIsAbstract(I)});
  return R;
}

bool TCompletionCycle::SelectIndex(int32_t Index) {
  if (!FList || Index < 0 || Index >= static_cast<int32_t>(FList->Items().size())) return false;
  FList->Select(Index);
  return true;
}

bool TCompletionCycle::SelectText(const std::string& Text) {
  if (!FList) return false;
  const auto Rows = this->Items();
  auto It =
      std::find_if(Rows.begin(), Rows.end(), [&](const TCompletionItem& I) { return I.Shown() == Text; });
  if (It == Rows.end())
    It = std::find_if(Rows.begin(), Rows.end(),
                      [&](const TCompletionItem& I) { return SameText(I.Shown(), Text); });
  return It != Rows.end() && SelectIndex(static_cast<int32_t>(It - Rows.begin()));
}

int32_t TCompletionCycle::Selected() const { return FList ? FList->GetSelectedIndex() : -1; }

bool TCompletionCycle::ReopenRequested() const {
  const auto& View = FHost.CurrentView();
  if (!View) return false;
  const auto& C = View->Commands();
  return std::find(C.begin() + static_cast<std::ptrdiff_t>(std::min(FCommandsBefore, C.size())), C.end(),
                   kelCommandInvokeCodeCompletion) != C.end();
}

}  // namespace kel
