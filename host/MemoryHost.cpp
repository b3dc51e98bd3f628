#include "host/MemoryHost.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "host/KelStrings.h"

namespace kel {

namespace {
bool Take(std::vector<TScriptedDialogRunner::TAnswer>& Queue, std::string& Out) {
  if (Queue.empty()) return false;
  const auto A = Queue.front();
  Queue.erase(Queue.begin());
  if (A.Confirmed) Out = A.Text;
  return A.Confirmed;
}
}  // namespace

bool TScriptedDialogRunner::RunURLDialog(const TKelURLRequest& Request, std::string& URL) {
  URLRequests.push_back(Request);
  return Take(URLAnswers, URL);
}

bool TScriptedDialogRunner::RunColorDialog(std::string& Color) {
  ++ColorRequests;
  return Take(ColorAnswers, Color);
}

bool TScriptedDialogRunner::RunFileOpenDialog(const TKelFileOpenRequest& Request, std::string& FileName) {
  FileRequests.push_back(Request);
  return Take(FileAnswers, FileName);
}

bool TScriptedDialogRunner::RunUnitDialog(const TKelUnitRequest& Request, std::string& Value, int32_t& Unit) {
  UnitRequests.push_back(Request);
  std::string Answer;
  if (!Take(UnitAnswers, Answer)) return false;
  const size_t Comma = Answer.find(',');
  Value = Answer.substr(0, Comma);
  Unit = Request.Selected;
  if (Comma == std::string::npos) return true;
  const std::string Name = Answer.substr(Comma + 1);
  for (size_t I = 0; I < Request.Units.size(); ++I)
    if (Request.Units[I] == Name) {
      Unit = static_cast<int32_t>(I);
      return true;
    }
  return false;
}

std::string TMemoryListView::GetSelectedString() {
  return FSelected >= 0 ? FItems[static_cast<size_t>(FSelected)] : std::string();
}

void TMemoryListView::SetItems(std::vector<std::string> Items) {
  FItems = std::move(Items);
  FSelected = -1;
}

void TMemoryListView::Select(int32_t Index) {
  FSelected = (Index >= 0 && static_cast<size_t>(Index) < FItems.size()) ? Index : -1;
}

TMemoryHost::TMemoryHost()
    : FExecutableFileName(RunningExecutableFileName()), FOptionsFileName(DefaultOptionsFileName()) {}

TKelPtr<IKelEditView> TMemoryHost::GetCurrentEditView() { return TKelPtr<IKelEditView>(FView.get()); }

TKelPtr<IKelCompletionListView> TMemoryHost::GetCompletionListView() {
  return TKelPtr<IKelCompletionListView>(FList.get());
}

int32_t TMemoryHost::GetCodeInsightManagerCount() { return static_cast<int32_t>(FManagers.size()); }

TKelPtr<IKelCodeInsightManager> TMemoryHost::GetCodeInsightManager(int32_t Index) {
  if (Index < 0 || static_cast<size_t>(Index) >= FManagers.size()) return nullptr;
  return FManagers[static_cast<size_t>(Index)];
}

int32_t TMemoryHost::AddCodeInsightManager(IKelCodeInsightManager* Manager) {
  FManagers.emplace_back(Manager);
  return static_cast<int32_t>(FManagers.size() - 1);
}

void TMemoryHost::RemoveCodeInsightManager(int32_t Index) {
  if (Index >= 0 && static_cast<size_t>(Index) < FManagers.size())
    FManagers[static_cast<size_t>(Index)].reset();
}

void TMemoryHost::InsertText(const std::string& Str, bool Replace) {
  if (FView) FView->InsertText(Str, Replace);
}

void TMemoryHost::ClearToolMessages() {
  ++FClearCount;
  FMessages.clear();
}

void TMemoryHost::ShowMessageView() { ++FShowCount; }

void TMemoryHost::AddToolMessage(const std::string& FileName, const std::string& MessageStr,
                                 const std::string& PrefixStr, int32_t LineNumber, int32_t ColumnNumber) {
  // A message quoting a document is held to a few lines: the list is read by people.
  FMessages.push_back({FileName, Clip(MessageStr, 1000), PrefixStr, LineNumber, ColumnNumber});
}

bool TMemoryHost::RunURLDialog(const TKelURLRequest& Request, std::string& URL) {
  return FDialogs && FDialogs->RunURLDialog(Request, URL);
}

bool TMemoryHost::RunColorDialog(std::string& Color) { return FDialogs && FDialogs->RunColorDialog(Color); }

bool TMemoryHost::RunFileOpenDialog(const TKelFileOpenRequest& Request, std::string& FileName) {
  return FDialogs && FDialogs->RunFileOpenDialog(Request, FileName);
}

bool TMemoryHost::IsControlKeyDown() { return FDialogs && FDialogs->IsControlKeyDown(); }
bool TMemoryHost::RunUnitDialog(const TKelUnitRequest& Request, std::string& Value, int32_t& Unit) {
  return FDialogs && FDialogs->RunUnitDialog(Request, Value, Unit);
}

TKelPtr<TMemoryListView> TMemoryHost::OpenCompletionList() {
  FList = MakeKel<TMemoryListView>();
  return FList;
}

std::string DefaultOptionsFileName() {
  namespace fs = std::filesystem;
  fs::path Dir;
  if (const char* Xdg = std::getenv("XDG_CONFIG_HOME"); Xdg && *Xdg)
    Dir = Xdg;
  else if (const char* Home = std::getenv("HOME"); Home && *Home)
    Dir = fs::path(Home) / ".config";
  else
    return {};
  return (Dir / "mlinsight" / "mlinsight.ini").string();
}

std::string RunningExecutableFileName() {
  std::error_code Ec;
  auto P = std::filesystem::canonical("/proc/self/exe", Ec);
  return Ec ? std::string() : P.string();
}

}  // namespace kel
