#include "document/CompletionRequest.h"

#include "completion/HTMLCodCmplt.h"
#include "css/CSSCodCmplt.h"
#include "symbols/MLSymbolManager.h"

namespace kel {

TCompletionRequest::TCompletionRequest(TMemoryHost& Host, TDocumentModel& Model,
                                       const TKelPtr<TMemoryEditView>& View, int32_t Caret, int Quotes)
    : FHost(Host), FModel(Model), FView(View), FCaret(Caret), FCycle(Host) {
  FManager = Model.ManagerAt(Host, static_cast<uint32_t>(std::max(Caret, 0)));
  if (!FManager) return;
  if ((FMarkup = query<IKelMLCodeInsightManager>(FManager))) {
    FMarkup->SetInsertQuotes(Quotes < 0 ? InsertQuotesOption() : Quotes != 0);
    FPage = {&Model.Tree(), &FView->Text(), &Model.ParseCache()};
    MLSymbolManager().SetPage(&FPage);
  }
  FSheet = query<IKelCSSCodeInsightManager>(FManager);
  FOwnSheet = FSheet && FManager->HandlesFile(Model.Path());
  if (FSheet) FSheet->SetPageTree(FOwnSheet ? nullptr : &Model.Tree());
  FView->SetCaretOffset(Caret);
  FHost.SetCurrentEditView(FView);
  FCycle.SetManager(FManager);
  FCycle.SetClassifier(FOwnSheet ? TCompletionCycle::TClassifier(StyleSheetElementAt) : Model.Classifier());
}

TCompletionRequest::~TCompletionRequest() {
  Close();
  if (!FManager) return;
  FHost.SetCurrentEditView(nullptr);
  if (FSheet) FSheet->SetPageTree(nullptr);
  if (FMarkup) MLSymbolManager().SetPage(nullptr);
}

bool TCompletionRequest::Opens(char Trigger) const {
  if (!FManager || FCaret <= 0) return false;
  const int32_t Element = FOwnSheet ? StyleSheetElementAt(FView->Text(), FCaret - 1)
                                    : FModel.Tree().ElementCodeAt(static_cast<uint32_t>(FCaret - 1));
  TKelCodeInsightType Kind = TKelCodeInsightType::citNone;
  TKelInvokeType How = TKelInvokeType::itManual;
  FManager->GetCodeInsightType(Trigger, Element, Kind, How);
  return Kind == TKelCodeInsightType::citCodeInsight;
}

std::string TCompletionRequest::PlaceName() const {
  const auto Place = FCycle.IsOpen() ? query<IKelCodeInsightPlace>(FManager) : nullptr;
  return Place ? Place->PlaceName() : "none";
}

void TCompletionRequest::Close() {
  if (FCycle.IsOpen()) FCycle.Key(27);
}

}  // namespace kel
