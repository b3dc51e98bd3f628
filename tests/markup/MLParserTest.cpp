#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "markup/MLParser.h"
#include "symbols/MLSymbolManager.h"

namespace kel {
namespace {

class TRecordingCallback : public TKelInterfaced<IKelMLElementCallback> {
 public:
  TRecordingCallback(std::vector<std::string>& Log, std::string Name) : FLog(Log), FName(std::move(Name)) {}
  void ElementParsed(TMLParser*, IKelMLMarkupPos*, TTagType, int32_t, int32_t, bool&) override {}
  void Invalidate() override { FLog.push_back(FName); }

 private:
  std::vector<std::string>& FLog;
  std::string FName;
};

// Offers no callback interface.
class TNotACallback : public TKelInterfaced<IKelMLEditor> {
 public:
  bool Execute(IInterface*, int32_t) override { return false; }
  int32_t RelativeMoveCaretPos() override { return 0; }
  bool InvokeCodeCompletion() override { return false; }
  std::string GetValue() override { return {}; }
};

TEST(ParserCallbacks, RegisteredOnceInvalidatedInOrderRemovedByObject) {
  TMLSymbolManager M;
  TMLParser& P = *M.GetParser();
  std::vector<std::string> Log;
  auto A = MakeKel<TRecordingCallback>(Log, "a");
  auto B = MakeKel<TRecordingCallback>(Log, "b");
  P.AddCallback(A.get());
  P.AddCallback(B.get());
  P.AddCallback(A.get());
  P.AddCallback(MakeKel<TNotACallback>().get());
  P.AddCallback(nullptr);
  EXPECT_EQ(P.GetCallbackCount(), 2);
  P.CallbacksInvalidate();
  EXPECT_EQ(Log, (std::vector<std::string>{"a", "b"}));
  P.RemoveCallback(A.get());
  P.RemoveCallback(MakeKel<TNotACallback>().get());
  EXPECT_EQ(P.GetCallbackCount(), 1);
  P.RemoveCallback(B.get());
  EXPECT_EQ(A->RefCount(), 1);
  EXPECT_EQ(B->RefCount(), 1);
}

TEST(ParserAttributes, QueriesOverTheValuesOfTheTagAtTheCaret) {
  TMLSymbolManager M;
  TMLParser& P = *M.GetParser();
  EXPECT_EQ(P.GetCurrentTagAttrCount(), 0);
  EXPECT_EQ(P.GetCurrentTagAttrName(0), "");

  auto Href = MakeKel<THTMLAttribute>("HREF", 1);
  Href->SetOffsetStart(3);
  Href->SetOffsetEnd(20);
  Href->SetAttributeValueStartOffset(9);
  TTagAttributeValueList Written;
  Written.push_back(std::make_unique<TTagAttributeValue>(Href, u"caf\u00e9.html", '\'', '\0'));
  Written.push_back(
      std::make_unique<TTagAttributeValue>(MakeKel<TUnknownHTMLAttribute>("x", -1), u"", '\0', '\0'));
  P.FAttrValues = &Written;

  EXPECT_EQ(P.GetCurrentTagAttrCount(), 2);
  EXPECT_EQ(P.GetCurrentTagAttrName(0), "HREF");
  EXPECT_EQ(P.GetCurrentTagAttrName(2), "");
  EXPECT_EQ(P.GetCurrentTagAttrValue(0), u"caf\u00e9.html");
  EXPECT_EQ(P.GetCurrentTagAttrValue(-1), u"");
  EXPECT_EQ(P.GetCurrentTagAttrValueByName("href"), u"caf\u00e9.html");
  EXPECT_EQ(P.GetCurrentTagAttrStrType("href"), '\'');
  EXPECT_EQ(P.GetCurrentTagAttrStrTypeEnd("href"), '\0');  // not closed
  EXPECT_EQ(P.GetCurrentTagAttrOffsetStart("Href"), 3);
  EXPECT_EQ(P.GetCurrentTagAttrOffsetEnd("Href"), 20);
  EXPECT_EQ(P.GetCurrentTagAttrValueOffsetStart("Href"), 9);
  EXPECT_EQ(P.GetCurrentTagAttrOffsetStart("name"), 0);
  EXPECT_EQ(P.GetCurrentTagAttrValueByName("name"), u"");
  EXPECT_FALSE(P.GetInAttribute());
  P.FCurrentAttr = Href;
  EXPECT_TRUE(P.GetInAttribute());
  P.FAttrValues = nullptr;
}

TEST(ParserState, DocTypeCountAndContexts) {
  TMLParser P(nullptr);
  for (const auto& [Count, InDocType] : std::vector<std::pair<int, bool>>{
           {0, false}, {1, false}, {2, true}, {3, false}, {4, true}, {-2, false}}) {
    P.FDocTypeCount = Count;
    EXPECT_EQ(P.GetInDocType(), InDocType) << Count;
  }
  EXPECT_EQ(P.GetContextPos(), -1);
  P.FContextPositions = {4, 17};
  EXPECT_EQ(P.GetContextPos(), 17);
  EXPECT_EQ(P.FDocTypeHash, Hash("doctype"));
  TParserContextSet S;
  EXPECT_TRUE(S.Contains(TParserContexts::pcNone));
  S.Include(TParserContexts::pcString);
  S.Exclude(TParserContexts::pcNone);  // always present
  EXPECT_TRUE(S.Contains(TParserContexts::pcString));
  EXPECT_TRUE(S.Contains(TParserContexts::pcNone));
  S.Reset();
  EXPECT_FALSE(S.Contains(TParserContexts::pcString));
}

TEST(ParserLifetime, AParserThatGoesAwayIsForgottenByItsManager) {
  TMLSymbolManager M;
  TMLParser* Own = M.GetParser();
  {
    TMLParser Other(&M);
    M.SetParser(&Other);
  }
  EXPECT_EQ(M.GetParser(), nullptr);
  M.SetParser(Own);
}

}  // namespace
}  // namespace kel
