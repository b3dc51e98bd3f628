// Our own host: the services object that front ends and tests install behind
// the host contract. It keeps the registered managers, the current edit view,
// the list window model, the tool messages, the options file and a pluggable
// dialog runner.
//
// Example: a test makes a TMemoryHost, installs it, sets a view on
// "<table><|", and the markup manager's InvokeCodeCompletion then reads that
// view through GlobalKibitzManager()->GetCurrentEditView().
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/KelHostAPI.h"
#include "host/MemoryEditor.h"

namespace kel {

struct TKelToolMessage {
  std::string FileName;
  std::string Text;
  std::string Prefix;
  int32_t Line = 0;
  int32_t Column = 0;
  friend bool operator==(const TKelToolMessage&, const TKelToolMessage&) = default;
};

// Answers the host's dialogs. Front ends plug in their own way of asking.
class TKelDialogRunner {
 public:
  virtual ~TKelDialogRunner() = default;
  virtual bool RunURLDialog(const TKelURLRequest& Request, std::string& URL) = 0;
  virtual bool RunColorDialog(std::string& Color) = 0;
  virtual bool RunFileOpenDialog(const TKelFileOpenRequest& Request, std::string& FileName) = 0;
  virtual bool IsControlKeyDown() = 0;
  virtual bool RunUnitDialog(const TKelUnitRequest& Request, std::string& Value, int32_t& Unit) = 0;
};

// A runner that answers from a script: each queued answer is used once; an
// empty queue answers "cancelled". Requests are recorded for inspection.
class TScriptedDialogRunner : public TKelDialogRunner {
 public:
  struct TAnswer {
    bool Confirmed = false;
    std::string Text;
  };
  // Unit answers read "VALUE,UNIT" ("12,px"); "VALUE" alone keeps the
  // selected unit; a unit not in the list cancels.
  std::vector<TAnswer> URLAnswers, ColorAnswers, FileAnswers, UnitAnswers;
  std::vector<TKelUnitRequest> UnitRequests;
  bool ControlDown = false;
  std::vector<TKelURLRequest> URLRequests;
  std::vector<TKelFileOpenRequest> FileRequests;
  int ColorRequests = 0;

  bool RunURLDialog(const TKelURLRequest& Request, std::string& URL) override;
  bool RunColorDialog(std::string& Color) override;
  bool RunFileOpenDialog(const TKelFileOpenRequest& Request, std::string& FileName) override;
  bool IsControlKeyDown() override { return ControlDown; }
  bool RunUnitDialog(const TKelUnitRequest& Request, std::string& Value, int32_t& Unit) override;
};

// The list window model: the rows the front end shows and the selection.
class TMemoryListView : public TKelInterfaced<IKelCompletionListView> {
 public:
  int32_t GetSelectedIndex() override { return FSelected; }
  std::string GetSelectedString() override;

  void SetItems(std::vector<std::string> Items);
  const std::vector<std::string>& Items() const { return FItems; }
  // -1 (or any index outside the rows) selects nothing.
  void Select(int32_t Index);

 private:
  std::vector<std::string> FItems;
  int32_t FSelected = -1;
};

class TMemoryHost : public TKelInterfaced<IKelIDEServices, IKelCodeInsightServices, IKelMessageServices,
                                          IKelHostServices, IKelDialogServices> {
 public:
  TMemoryHost();

  // IKelCodeInsightServices
  TKelPtr<IKelEditView> GetCurrentEditView() override;
  TKelPtr<IKelCompletionListView> GetCompletionListView() override;
  int32_t GetCodeInsightManagerCount() override;
  TKelPtr<IKelCodeInsightManager> GetCodeInsightManager(int32_t Index) override;
  int32_t AddCodeInsightManager(IKelCodeInsightManager* Manager) override;
  void RemoveCodeInsightManager(int32_t Index) override;
  void InsertText(const std::string& Str, bool Replace) override;

  // IKelMessageServices
  void ClearToolMessages() override;
  void ShowMessageView() override;
  void AddToolMessage(const std::string& FileName, const std::string& MessageStr,
                      const std::string& PrefixStr, int32_t LineNumber, int32_t ColumnNumber) override;

  // IKelHostServices
  std::string GetBaseRegistryKey() override { return FBaseRegistryKey; }
  std::string GetExecutableFileName() override { return FExecutableFileName; }
  std::string GetOptionsFileName() override { return FOptionsFileName; }

  // IKelDialogServices
  bool RunURLDialog(const TKelURLRequest& Request, std::string& URL) override;
  bool RunColorDialog(std::string& Color) override;
  bool RunFileOpenDialog(const TKelFileOpenRequest& Request, std::string& FileName) override;
  bool IsControlKeyDown() override;
  bool RunUnitDialog(const TKelUnitRequest& Request, std::string& Value, int32_t& Unit) override;

  // Set-up for front ends and tests.
  void SetCurrentEditView(TKelPtr<TMemoryEditView> View) { FView = std::move(View); }
  const TKelPtr<TMemoryEditView>& CurrentView() const { return FView; }
  // Opens the list window (a fresh model) or closes it.
  TKelPtr<TMemoryListView> OpenCompletionList();
  void CloseCompletionList() { FList.reset(); }
  void SetOptionsFileName(std::string Name) { FOptionsFileName = std::move(Name); }
  void SetExecutableFileName(std::string Name) { FExecutableFileName = std::move(Name); }
  void SetDialogRunner(std::shared_ptr<TKelDialogRunner> Runner) { FDialogs = std::move(Runner); }

  const std::vector<TKelToolMessage>& Messages() const { return FMessages; }
  // The messages so far, the list left empty (not a clear of the view): a
  // long-running front end passes them on and keeps none.
  std::vector<TKelToolMessage> TakeMessages() { return std::exchange(FMessages, {}); }
  int ClearCount() const { return FClearCount; }
  int ShowCount() const { return FShowCount; }

 private:
  TKelPtr<TMemoryEditView> FView;
  TKelPtr<TMemoryListView> FList;
  // Removed managers leave an empty slot so that other indexes stay valid.
  std::vector<TKelPtr<IKelCodeInsightManager>> FManagers;
  std::vector<TKelToolMessage> FMessages;
  int FClearCount = 0;
  int FShowCount = 0;
  std::string FBaseRegistryKey = "\\Software\\Quorvel\\mlinsight";
  std::string FExecutableFileName;
  std::string FOptionsFileName;
  std::shared_ptr<TKelDialogRunner> FDialogs;
};

// $XDG_CONFIG_HOME/mlinsight/mlinsight.ini, or ~/.config/mlinsight/mlinsight.ini.
std::string DefaultOptionsFileName();
// The running program, read from /proc/self/exe with links resolved.
std::string RunningExecutableFileName();

}  // namespace kel
