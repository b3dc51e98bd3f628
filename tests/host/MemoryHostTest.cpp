#include "host/MemoryHost.h"

#include <gtest/gtest.h>

#include "host/KelDialogs.h"
#include "tests/support/TestHost.h"

namespace kel {
namespace {

using test::THostTest;

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
