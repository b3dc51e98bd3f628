#include <gtest/gtest.h>

#include <string>

#include "markup/MLTags.h"
#include "symbols/HTMLAttributeEditors.h"
#include "symbols/MLSymbolManager.h"
#include "tests/support/TestHost.h"

namespace kel {
namespace {

class AttributeEditors : public test::THostTest {};

TEST_F(AttributeEditors, DefaultTakesTheChosenValue) {
  auto Align = MakeKel<THTMLAttribute>("align", NewID());
  for (const char* V : {"left", "center", "right"}) Align->AddValue(V);
  Align->SetFilter("");
  auto E = MakeKel<TDefaultAttributeEditor>();
  EXPECT_TRUE(E->Execute(Align.get(), 2));
  EXPECT_EQ(E->GetValue(), "right");
  // Not an attribute: false, and the last value stays.
  auto Tag = MakeKel<THTMLTag>("p", nullptr, -1);
  EXPECT_FALSE(E->Execute(Tag.get(), 0));
  EXPECT_FALSE(E->Execute(nullptr, 0));
  EXPECT_EQ(E->GetValue(), "right");
  // The index counts the values the filter leaves visible.
  Align->SetFilter("c");
  EXPECT_TRUE(E->Execute(Align.get(), 0));
  EXPECT_EQ(E->GetValue(), "center");
  EXPECT_EQ(E->RelativeMoveCaretPos(), 0);
  EXPECT_FALSE(E->InvokeCodeCompletion());
}

TEST_F(AttributeEditors, DialogsConfirmedAndCancelled) {
  TMLSymbolManager M;
  auto Color = MakeKel<THTMLColorAttributeEditor>();
  auto URI = MakeKel<THTMLURIAttributeEditor>(&M);
  Test.Dialogs().ColorAnswers = {{true, "#FF0000"}, {false, "ignored"}};
  Test.Dialogs().URLAnswers = {{true, "img/logo.png"}, {false, "ignored"}};
  Test.OpenView("<img src=\"|\">", "/site/pages/index.html");

  EXPECT_TRUE(Color->Execute(nullptr, 0));
  EXPECT_EQ(Color->GetValue(), "#FF0000");
  EXPECT_FALSE(Color->Execute(nullptr, 0));
  EXPECT_EQ(Color->GetValue(), "");

  EXPECT_TRUE(URI->Execute(nullptr, 0));
  EXPECT_EQ(URI->GetValue(), "img/logo.png");
  ASSERT_EQ(Test.Dialogs().URLRequests.size(), 1u);
  EXPECT_EQ(Test.Dialogs().URLRequests[0].InitialDir, "/site/pages/");
  EXPECT_FALSE(URI->Execute(nullptr, 0));
  EXPECT_EQ(URI->GetValue(), "");
  EXPECT_EQ(Test.Dialogs().ColorRequests, 2);
}

TEST_F(AttributeEditors, NoDialogServiceMeansNothingToWrite) {
  Test.Host().SetDialogRunner(nullptr);
  auto Color = MakeKel<THTMLColorAttributeEditor>();
  EXPECT_FALSE(Color->Execute(nullptr, 0));
  EXPECT_EQ(Color->GetValue(), "");
}

}  // namespace
}  // namespace kel
