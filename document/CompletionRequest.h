// One completion request on a document at a caret, as the command line and
// the language server make it: the manager the document model picks for the
// caret (the style-sheet manager in a page's style region), the quotes
// option, the element code for a typed trigger, and one cycle of our host on
// the document's view with the classifier of the manager's language; the
// style-sheet manager reads the page's tree for as long as the request lives.
//
// Example: TCompletionRequest R(Host, Model, View, Caret); then
// R.Cycle().Type(0) lists what the caret of "<a |" takes (href, …).
#pragma once

#include <cstdint>

#include "document/DocumentModel.h"
#include "host/CompletionCycle.h"

namespace kel {

class IKelCSSCodeInsightManager;
class IKelMLCodeInsightManager;

class TCompletionRequest {
 public:
  // Model holds the tree of View's text (built for its version). Quotes:
  // whether accepted values get quotes (-1: as the options file says).
  TCompletionRequest(TMemoryHost& Host, TDocumentModel& Model, const TKelPtr<TMemoryEditView>& View,
                     int32_t Caret, int Quotes = -1);
  ~TCompletionRequest();
  TCompletionRequest(const TCompletionRequest&) = delete;
  TCompletionRequest& operator=(const TCompletionRequest&) = delete;

  // Null when no manager serves the document.
  const TKelPtr<IKelCodeInsightManager>& Manager() const { return FManager; }
  // The manager's own interface, when it is the markup or style-sheet one.
  IKelMLCodeInsightManager* Markup() const { return FMarkup.get(); }
  IKelCSSCodeInsightManager* Sheet() const { return FSheet.get(); }
  // What its list is about at the caret ("none" without a list).
  std::string PlaceName() const;
  // The document is a style sheet of its own (not a sheet inside a page).
  bool OwnSheet() const { return FOwnSheet; }
  // Whether typing Trigger right before the caret opens a list here.
  bool Opens(char Trigger) const;
  // The cycle on the view, its caret at the request's caret (the view is the
  // host's current view for the request's length).
  TCompletionCycle& Cycle() { return FCycle; }
  // Ends an open list as an editor's Escape does.
  void Close();

 private:
  TMemoryHost& FHost;
  TDocumentModel& FModel;
  TKelPtr<TMemoryEditView> FView;
  int32_t FCaret;
  TKelPtr<IKelCodeInsightManager> FManager;
  TKelPtr<IKelMLCodeInsightManager> FMarkup;
  TKelPtr<IKelCSSCodeInsightManager> FSheet;
  bool FOwnSheet = false;
  TMLPage FPage;
  TCompletionCycle FCycle;
};

}  // namespace kel
