// Our host's code-completion framework: how an editor drives a registered
// manager through one completion. A typed key is put into the buffer and may
// open the list (GetCodeInsightType, InvokeCodeCompletion); while the list is
// open every key goes to OnEditorKey first, and keys that do not close the
// list are typed and narrow it (SetFilter); a closing key ends the cycle with
// Done. The key that closes the list is not typed by the host: the manager
// writes what belongs in the text.
//
// Example: on "<a |" in page.html, Type(0) opens the attribute list;
// SelectText("href"), then Key('\r') leaves "<a href=\"|\"" when the manager
// inserts quotes.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/MemoryHost.h"

namespace kel {

struct TCompletionItem {
  std::string Text;
  std::string Type;
  std::string Class;
  bool Abstract = false;
  // What the row shows as its name: value rows show their value in the type
  // column, after a blank.
  std::string Shown() const { return Text.empty() && Type.starts_with(" ") ? Type.substr(1) : Text; }
  friend bool operator==(const TCompletionItem&, const TCompletionItem&) = default;
};

// The net change between two texts: Old[Start, OldEnd) became New[Start, NewEnd).
struct TTextChange {
  int32_t Start, OldEnd, NewEnd;
};
TTextChange NetChange(const std::string& Old, const std::string& New);

class TCompletionCycle {
 public:
  explicit TCompletionCycle(TMemoryHost& Host);

  // The first registered manager whose HandlesFile accepts File; null when none.
  static TKelPtr<IKelCodeInsightManager> ManagerFor(TMemoryHost& Host, const std::string& File);
  void SetManager(TKelPtr<IKelCodeInsightManager> Manager) { FManager = std::move(Manager); }
  const TKelPtr<IKelCodeInsightManager>& Manager() const { return FManager; }
  // How the element code under the caret is found (white space when none is
  // set): the document model's for markup, StyleSheetElementAt for sheets.
  using TClassifier = std::function<int32_t(const std::string& Text, int32_t Offset)>;
  void SetClassifier(TClassifier Classifier) { FClassifier = std::move(Classifier); }

  // The user types C at the caret (0: an explicit request, nothing is typed).
  // Closed list: C goes into the buffer and the manager is asked whether the
  // list opens. Open list: as Key(C). Returns whether the list is open after.
  bool Type(char C);
  // A key while the list is open: OnEditorKey decides; a closing key ends the
  // cycle (Done) without being typed, any other is typed and narrows the list.
  void Key(char K);
  bool IsOpen() const { return static_cast<bool>(FList); }
  // What closing the open list with K on row Index would write, without
  // closing it: the manager's own Done writes it on the view, which takes it
  // back. Every row is planned from the one parse that opened the list.
  // Nothing for a key that would be typed, or a row out of range.
  std::optional<TMemoryTrial> Plan(int32_t Index, char K = '\r');
  // Whether the last Type(…) invoked the manager.
  bool Invoked() const { return FInvoked; }
  const std::string& Token() const { return FToken; }

  std::vector<TCompletionItem> Items();
  // Selects the entry whose text is Text (exactly, else ignoring case).
  bool SelectText(const std::string& Text);
  bool SelectIndex(int32_t Index);
  int32_t Selected() const;
  // Whether the manager asked for completion to be opened again (command 129).
  bool ReopenRequested() const;

 private:
  void Refresh(const std::string& Filter);
  std::string TypedToken();

  TMemoryHost& FHost;
  TKelPtr<IKelCodeInsightManager> FManager;
  TClassifier FClassifier;
  TKelPtr<TMemoryListView> FList;
  bool FInvoked = false;
  std::string FToken;
  size_t FCommandsBefore = 0;
};

}  // namespace kel
