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

TEST_F(AttributeEditors, NoDialogServiceMeansNothingToWrite) {
  Test.Host().SetDialogRunner(nullptr);
  auto Color = MakeKel<THTMLColorAttributeEditor>();
  EXPECT_FALSE(Color->Execute(nullptr, 0));
  EXPECT_EQ(Color->GetValue(), "");
}

}  // namespace
}  // namespace kel
