#include "tests/support/TestHost.h"

#include <fstream>
#include <random>
#include <sstream>

#include "tests/support/Annotated.h"

namespace kel::test {

std::string Slurp(const std::filesystem::path& Path) {
  std::ifstream In(Path, std::ios::binary);
  std::ostringstream S;
  S << In.rdbuf();
  return S.str();
}

TTestHost::TTestHost() : FHost(MakeKel<TMemoryHost>()), FDialogs(std::make_shared<TScriptedDialogRunner>()) {
  std::random_device R;
  FFolder = std::filesystem::temp_directory_path() / ("mlinsight-test-" + std::to_string(R()));
  std::filesystem::create_directories(FFolder);
  FHost->SetOptionsFileName((FFolder / "mlinsight.ini").string());
  FHost->SetExecutableFileName((FFolder / "bin" / "mlinsight").string());
  FHost->SetDialogRunner(FDialogs);
  SetQuorvelIDEServices(FHost.get());
}

TTestHost::~TTestHost() {
  SetQuorvelIDEServices(nullptr);
  std::error_code Ec;
  std::filesystem::remove_all(FFolder, Ec);
}

void TTestHost::WriteOptions(const std::string& Text) {
  std::ofstream(FFolder / "mlinsight.ini", std::ios::binary | std::ios::trunc) << Text;
}

TKelPtr<TMemoryEditView> TTestHost::OpenView(const std::string& Marked, const std::string& FileName,
                                             char Marker) {
  const auto A = Annotate(Marked, Marker);
  auto View = MakeMemoryEditView(A.Text, FileName);
  if (A.Caret >= 0) View->SetCaretOffset(A.Caret);
  FHost->SetCurrentEditView(View);
  return View;
}

}  // namespace kel::test
