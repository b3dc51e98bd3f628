#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "markup/MLParser.h"
#include "symbols/MLSymbolManager.h"
#include "tests/support/ParserProbe.h"

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
  TMLParserProbe(P).Values() = &Written;

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
  {
    auto C = P.Caret();
    C.CurrentAttr = Href;
    P.SetCaret(std::move(C));
  }
  EXPECT_TRUE(P.GetInAttribute());
  TMLParserProbe(P).Values() = nullptr;
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

// A callback that handles every node, or none.
class THandler : public TKelInterfaced<IKelMLElementCallback> {
 public:
  explicit THandler(bool Handles) : FHandles(Handles) {}
  void ElementParsed(TMLParser*, IKelMLMarkupPos*, TTagType Type, int32_t, int32_t, bool& Handled) override {
    Seen.push_back(Type);
    Handled = FHandles;
  }
  void Invalidate() override {}
  std::vector<TTagType> Seen;

 private:
  bool FHandles;
};

TEST(ParserCallbacks, TheScanStopsOnlyWhenEveryCallbackHandledTheNode) {
  struct Case {
    std::vector<bool> Handles;
    bool Stopped;
  } Cases[] = {{{}, false}, {{true}, true}, {{false}, false}, {{true, false}, false}, {{true, true}, true}};
  for (const auto& C : Cases) {
    TMLParser P(nullptr);
    std::vector<TKelPtr<THandler>> Handlers;
    for (bool H : C.Handles) {
      Handlers.push_back(MakeKel<THandler>(H));
      P.AddCallback(Handlers.back().get());
    }
    auto Node = MakeKel<TMLText>();
    TMLParserProbe(P).Callback("x", Node.get(), TTagType::ttText, 0, 4);
    EXPECT_EQ(TMLParserProbe(P).Stopped(), C.Stopped) << C.Handles.size();
    for (const auto& H : Handlers) EXPECT_EQ(H->Seen, std::vector<TTagType>{TTagType::ttText});
  }
}

class ParserTagLists : public ::testing::Test {
 protected:
  ParserTagLists() {
    M.SetTagCase(TTagCase::tcNormal);
    Li = Schema("li", /*RequiresClosing=*/false);
    Td = Schema("td", true);
    Ul = Schema("ul", true);
    Ul->AddTag(Li.get());
    Table = Schema("table", true);
    Table->AddTag(Td.get());
  }
  ~ParserTagLists() override {
    Probe().ClearTagStack();
    M.ClearTags();
  }
  TKelPtr<THTMLTag> Schema(const std::string& Name, bool RequiresClosing) {
    auto T = MakeKel<THTMLTag>(Name, &M, 1);
    T->SetRequiresClosingTag(RequiresClosing);
    M.RegisterTag(T.get());
    return T;
  }
  TMLParser& P() { return *M.GetParser(); }
  TMLParserProbe Probe() { return {P()}; }
  std::vector<std::string> Stack() {
    std::vector<std::string> R;
    for (const auto& E : Probe().Stack()) R.push_back(E->Tag->GetName() + (E->Unclosed ? "*" : ""));
    return R;
  }
  std::vector<std::string> Open() {
    std::vector<std::string> R;
    for (const auto& E : Probe().OpenTags()) R.push_back(E->Tag->GetName());
    return R;
  }

  TMLSymbolManager M;
  TKelPtr<THTMLTag> Li, Td, Ul, Table;
};

TEST_F(ParserTagLists, AttributeValuesFollowTheTagAtTheCaret) {
  auto Align = MakeKel<THTMLAttribute>("align", 4);
  Align->SetOffsetStart(10);
  Align->SetOffsetEnd(20);
  Probe().PushTag(Table.get(), true, true);
  Probe().AddTagAttr(Align.get(), "caf\xC3\xA9", '"', '"');
  Probe().AddTagAttr(TMLParserProbe::NewUnknownAttr("x").get(), "", 0, 0);
  EXPECT_EQ(P().GetCurrentTagAttrValue(0), u"caf\u00e9");
  EXPECT_EQ(P().GetCurrentTagAttrCount(), 2);

  // "/>" hands the values over to the parent's list.
  Probe().PushTag(Td.get(), true, true);
  EXPECT_EQ(P().GetCurrentTagAttrCount(), 0);
  Probe().SetTagOffsetEnd(Td.get(), 30, true, /*UseParentList=*/true);
  EXPECT_EQ(P().GetCurrentTagAttrCount(), 2);
  EXPECT_EQ(Td->GetOffsetEnd(), 30);

  // Dropping the lists leaves schema attributes alive but without offsets.
  Probe().ClearTagStack();
  EXPECT_EQ(P().GetCurrentTagAttrCount(), 0);
  EXPECT_EQ(Align->GetOffsetStart(), 0);
  EXPECT_EQ(Align->GetOffsetEnd(), 0);
  EXPECT_EQ(Align->RefCount(), 1);
}

TEST_F(ParserTagLists, OffsetsAreRecordedInTheInnermostEntry) {
  Probe().PushTag(Table.get(), true, true);
  Probe().SetTagOffsetStart(Table.get(), 5, true, false);
  Probe().SetTagOffsetEnd(Table.get(), 12, true, false);
  EXPECT_EQ(Probe().Stack().front()->OffsetStart, 5);
  EXPECT_EQ(Probe().Stack().front()->OffsetEnd, 12);
  Probe().SetTagOffsetStart(Table.get(), 40, true, /*IsClosing=*/true);
  EXPECT_EQ(Probe().Stack().front()->OffsetStart, 5);
  EXPECT_EQ(Table->GetOffsetStart(), 40);
}

TEST_F(ParserTagLists, UnknownElementsRememberTheLastSchemaTag) {
  {
    auto C = P().Caret();
    C.CurrentTag = Table;
    P().SetCaret(std::move(C));
  }
  const auto Blink = Probe().NewUnknownElement("blink");
  EXPECT_TRUE(supports<IKelMLNamedTag>(Blink));
  EXPECT_EQ(Blink->GetID(), -1);
  EXPECT_EQ(P().Caret().FixupTag, TKelPtr<IKelMLTag>(Table));
  {
    auto C = P().Caret();
    C.CurrentTag = Blink;
    P().SetCaret(std::move(C));
  }
  Probe().NewUnknownElement("marquee");
  EXPECT_EQ(P().Caret().FixupTag, TKelPtr<IKelMLTag>(Table));
  EXPECT_TRUE(supports<IKelMLUnknownTagAttribute>(TMLParserProbe::NewUnknownAttr("x")));
}

TEST_F(ParserTagLists, AutoClosePositionsHoldTheColumnOfTheGreaterThanSign) {
  Probe().PushAutoCloseTagPos({12, 3});
  ASSERT_EQ(P().Caret().AutoClosePositions.size(), 1u);
  EXPECT_EQ(P().Caret().AutoClosePositions[0], (TKelEditPos{11, 3}));
  P().ClearAutoCloseTagPosStack();
  EXPECT_TRUE(P().Caret().AutoClosePositions.empty());
}

}  // namespace
}  // namespace kel
