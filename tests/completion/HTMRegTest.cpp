#include <gtest/gtest.h>

#include "completion/HTMLCodCmplt.h"
#include "completion/HTMReg.h"
#include "completion/MLInsightPackage.h"
#include "css/CSSCodCmplt.h"
#include "tests/support/TestHost.h"

namespace kel {
namespace {

class Registration : public test::THostTest {
 protected:
  Registration() { MarkupManagerIndex = CSSManagerIndex = -1; }
  int32_t Registered() {
    int32_t N = 0;
    for (int32_t I = 0; I < Test.Host().GetCodeInsightManagerCount(); ++I)
      N += Test.Host().GetCodeInsightManager(I) ? 1 : 0;
    return N;
  }
};

TEST_F(Registration, LoadRegisterUnload) {
  PackageLoad();
  EXPECT_EQ(Registered(), 0) << "loading alone registers nothing";
  IDERegister();
  EXPECT_EQ(MarkupManagerIndex, 0);
  EXPECT_EQ(CSSManagerIndex, 1);
  ASSERT_EQ(Registered(), 2);
  EXPECT_EQ(Test.Host().GetCodeInsightManager(CSSManagerIndex)->GetIDString(), "Quorvel.CodeInsight.CSS");
  const auto M = Test.Host().GetCodeInsightManager(MarkupManagerIndex);
  EXPECT_EQ(M->GetIDString(), "Quorvel.CodeInsight.HTML");
  EXPECT_TRUE(supports<IKelMLCodeInsightManager>(M));
  EXPECT_EQ(MarkupLanguageManager().get(), MarkupLanguageManager().get());
  const IKelMLCodeInsightManager* Before = MarkupLanguageManager().get();
  PackageUnload();
  EXPECT_EQ(Registered(), 0);
  EXPECT_NE(MarkupLanguageManager().get(), Before) << "unloading dropped the manager";
}

// The style-sheet schema is read by the first style-sheet request, not by
// registering: a page without style never pays for it.
TEST_F(Registration, RegisteringReadsNoStyleSheetSchema) {
  PackageLoad();
  IDERegister();
  const auto Css = dynamic_cast<TCSSKibitzManager*>(Test.Host().GetCodeInsightManager(CSSManagerIndex).get());
  ASSERT_TRUE(Css);
  EXPECT_FALSE(Css->SchemaRead());
  Css->Describe("color");
  EXPECT_TRUE(Css->SchemaRead()) << "asking reads it";
  PackageUnload();
}

}  // namespace
}  // namespace kel
