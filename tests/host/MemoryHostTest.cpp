#include "host/MemoryHost.h"

#include <gtest/gtest.h>

#include "host/KelDialogs.h"
#include "tests/support/TestHost.h"

namespace kel {
namespace {

using test::THostTest;

class TNullManager : public TKelInterfaced<IKelCodeInsightManager> {
 public:
  explicit TNullManager(std::string Id) : FId(std::move(Id)) {}
  std::string GetName() override { return FId; }
  std::string GetIDString() override { return FId; }
  bool GetEnabled() override { return true; }
  void SetEnabled(bool) override {}
  TKelCharSet EditorTokenValidChars(bool) override { return {}; }
  void AllowCodeInsight(bool&, char) override {}
  bool PreValidateCodeInsight(const std::string&) override { return true; }
  bool IsViewerBrowsable(int32_t) override { return false; }
  bool GetMultiSelect() override { return false; }
  TKelPtr<IKelCodeInsightSymbolList> GetSymbolList() override { return nullptr; }
  void OnEditorKey(char, bool&, bool&) override {}
  bool HandlesFile(const std::string&) override { return false; }
  std::string GetLongestItem() override { return {}; }
  TKelPtr<IKelCodeInsightParameterList> GetParameterList() override { return nullptr; }
  void GetCodeInsightType(char, int32_t, TKelCodeInsightType&, TKelInvokeType&) override {}
  bool InvokeCodeCompletion(TKelInvokeType, std::string&) override { return false; }
  bool InvokeParameterCodeInsight(TKelInvokeType, int32_t&) override { return false; }
  void ParameterCodeInsightAnchorPos(TKelEditPos&) override {}
  int32_t ParameterCodeInsightParamIndex(const TKelEditPos&) override { return -1; }
  std::string GetHintText(int32_t, int32_t) override { return {}; }
  bool GotoDefinition(std::string&, int32_t&, int32_t) override { return false; }
  void Done(bool, bool&) override {}

 private:
  std::string FId;
};

TEST_F(THostTest, GlobalAccessorsReachTheInstalledHost) {
  EXPECT_EQ(GlobalKibitzManager().get(), static_cast<IKelCodeInsightServices*>(&Test.Host()));
  EXPECT_TRUE(KelMessageServices());
  EXPECT_EQ(KelApplicationExeName(), (Test.Folder() / "bin" / "mlinsight").string());
}

TEST(HostAccess, WithoutAHostEveryAccessorIsEmpty) {
  SetQuorvelIDEServices(nullptr);
  EXPECT_FALSE(QuorvelIDEServices());
  EXPECT_FALSE(GlobalKibitzManager());
  EXPECT_EQ(KelApplicationExeName(), "");
  TWebColorDlg D;
  EXPECT_FALSE(D.Execute());
  EXPECT_FALSE(KelIsControlKeyDown());
}

TEST_F(THostTest, ManagersKeepTheirIndexesWhenOthersAreRemoved) {
  auto Services = GlobalKibitzManager();
  auto Markup = MakeKel<TNullManager>("Quorvel.CodeInsight.HTML");
  auto Css = MakeKel<TNullManager>("Quorvel.CodeInsight.CSS");
  const int32_t M = Services->AddCodeInsightManager(Markup.get());
  const int32_t C = Services->AddCodeInsightManager(Css.get());
  EXPECT_NE(M, C);
  EXPECT_EQ(Markup->RefCount(), 2);  // the host holds a reference
  Services->RemoveCodeInsightManager(M);
  EXPECT_EQ(Markup->RefCount(), 1);
  EXPECT_FALSE(Services->GetCodeInsightManager(M));
  ASSERT_TRUE(Services->GetCodeInsightManager(C));
  EXPECT_EQ(Services->GetCodeInsightManager(C)->GetIDString(), "Quorvel.CodeInsight.CSS");
  Services->RemoveCodeInsightManager(C);
  Services->RemoveCodeInsightManager(99);  // unknown index: nothing happens
  EXPECT_EQ(Css->RefCount(), 1);
}

TEST_F(THostTest, ToolMessagesAreKeptInOrderUntilCleared) {
  auto Messages = KelMessageServices();
  Messages->ShowMessageView();
  Messages->AddToolMessage("loose.dtd", "Unknown keyword", "Error", 12, 4);
  Messages->AddToolMessage("loose.dtd", "Done", "Hint", 0, 0);
  ASSERT_EQ(Test.Host().Messages().size(), 2u);
  EXPECT_EQ(Test.Host().Messages()[0], (TKelToolMessage{"loose.dtd", "Unknown keyword", "Error", 12, 4}));
  EXPECT_EQ(Test.Host().ShowCount(), 1);
  Messages->ClearToolMessages();
  EXPECT_TRUE(Test.Host().Messages().empty());
  EXPECT_EQ(Test.Host().ClearCount(), 1);
}

TEST_F(THostTest, ListWindowModel) {
  auto Services = GlobalKibitzManager();
  EXPECT_FALSE(Services->GetCompletionListView());  // closed
  auto List = Test.Host().OpenCompletionList();
  List->SetItems({"caption", "colgroup", "thead"});
  auto View = Services->GetCompletionListView();
  ASSERT_TRUE(View);
  EXPECT_EQ(View->GetSelectedIndex(), -1);
  EXPECT_EQ(View->GetSelectedString(), "");
  List->Select(2);
  EXPECT_EQ(View->GetSelectedIndex(), 2);
  EXPECT_EQ(View->GetSelectedString(), "thead");
  List->Select(3);
  EXPECT_EQ(View->GetSelectedIndex(), -1);
  Test.Host().CloseCompletionList();
  EXPECT_FALSE(Services->GetCompletionListView());
}

TEST_F(THostTest, DialogsAnswerFromTheScriptOnce) {
  Test.Dialogs().ColorAnswers = {{true, "#FF0000"}, {false, "ignored"}};
  TWebColorDlg Color;
  ASSERT_TRUE(Color.Execute());
  EXPECT_EQ(Color.GetSelectedColor(), "#FF0000");
  EXPECT_FALSE(Color.Execute());
  EXPECT_EQ(Color.GetSelectedColor(), "");  // a cancelled run leaves no colour
  EXPECT_FALSE(Color.Execute());            // an empty script cancels
  EXPECT_EQ(Test.Dialogs().ColorRequests, 3);

  Test.OpenView("<a href=\"|\">", "/site/pages/index.html");
  Test.Dialogs().URLAnswers = {{true, "../img/logo.png"}};
  TSelectURLDialog URL;
  URL.SetInitialDir("/site/pages");
  EXPECT_EQ(URL.GetModuleFileName(), "/site/pages/index.html");
  ASSERT_TRUE(URL.Execute());
  EXPECT_EQ(URL.GetPreviewURL(), "../img/logo.png");
  ASSERT_EQ(Test.Dialogs().URLRequests.size(), 1u);
  EXPECT_EQ(Test.Dialogs().URLRequests[0].InitialDir, "/site/pages");

  Test.Dialogs().FileAnswers = {{true, "C:\\site\\a.png"}};
  TKelOpenDialog Open;
  ASSERT_TRUE(Open.Execute());
  EXPECT_EQ(Open.GetFileName(), "C:\\site\\a.png");

  EXPECT_FALSE(KelIsControlKeyDown());
  Test.Dialogs().ControlDown = true;
  EXPECT_TRUE(KelIsControlKeyDown());
}

TEST_F(THostTest, InsertTextGoesToTheCurrentView) {
  auto View = Test.OpenView("<a hr|>");
  GlobalKibitzManager()->InsertText("href", true);
  EXPECT_EQ(View->Text(), "<a href>");
  EXPECT_EQ(View->CaretOffset(), 7);
  GlobalKibitzManager()->InsertText("=\"\"", false);
  EXPECT_EQ(View->Text(), "<a href=\"\">");
}

TEST(DefaultOptionsFile, FollowsXdgConfigHome) {
  const char* Saved = std::getenv("XDG_CONFIG_HOME");
  const std::string Keep = Saved ? Saved : "";
  const std::string KeepHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  setenv("XDG_CONFIG_HOME", "/tmp/xdg-here", 1);
  EXPECT_EQ(DefaultOptionsFileName(), "/tmp/xdg-here/mlinsight/mlinsight.ini");
  setenv("XDG_CONFIG_HOME", "", 1);
  setenv("HOME", "/home/user", 1);
  EXPECT_EQ(DefaultOptionsFileName(), "/home/user/.config/mlinsight/mlinsight.ini");
  setenv("HOME", KeepHome.c_str(), 1);
  if (Saved)
    setenv("XDG_CONFIG_HOME", Keep.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace kel
