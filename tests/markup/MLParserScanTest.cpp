// The scan: where the caret stands after one pass over a caret-marked page.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "host/KelStream.h"
#include "host/KelStrings.h"
#include "host/MemoryEditor.h"
#include "markup/MLBufferProducer.h"
#include "markup/MLParser.h"
#include "symbols/MLSymbolManager.h"
#include "tests/support/Annotated.h"
#include "tests/support/TestHost.h"

namespace kel {
namespace {

using Names = std::vector<std::string>;

// A callback that writes down what the scan reports before the caret.
class TRecorder : public TKelInterfaced<IKelMLElementCallback> {
 public:
  struct Node {
    TTagType Type;
    int32_t Start, End;
    std::string Text;
  };
  void ElementParsed(TMLParser*, IKelMLMarkupPos* N, TTagType Type, int32_t Start, int32_t End,
                     bool&) override {
    std::string Text;
    if (auto T = query<IKelMLTextNode>(N)) Text = T->GetText();
    Nodes.push_back({Type, Start, End, Text});
  }
  void Invalidate() override {}
  std::vector<Node> Nodes;
};

// The host's schemas folder is empty: the documents select no schema, and
// the tags defined here stay in place.
class Scan : public test::THostTest {
 protected:
  Scan() {
    M.SetTagCase(TTagCase::tcNormal);
    Root = MakeKel<THTMLTag>("<!--root-->", &M, 0);
    M.SetHiddenRootNode(Root.get());
    Define("html", true, false, {"head", "body"});
    Define("body", true, false, {"table", "ul", "p", "a", "input", "br", "script", "style"});
    Define("table", true, false, {"tr"}, {"border", "align"});
    Define("tr", false, false, {"td"});
    Define("td", false, false, {"table", "p"});
    Define("ul", true, false, {"li"});
    Define("li", false, false, {"ul"});
    Define("p", false, false, {"a"});
    Define("a", true, false, {}, {"href", "name"});
    Define("br", false, true);
    Define("input", false, true, {}, {"disabled", "value"});
    Tags["input"]->FindAttribute("disabled")->AddValue("disabled");
    Define("script", true, false);
    Define("style", true, false);
  }
  ~Scan() override {
    M.GetParser()->ReleaseTags();
    M.ClearTags();
  }

  void Define(const std::string& Name, bool RequiresClosing, bool Empty, const Names& Children = {},
              const Names& Attrs = {}) {
    auto T = MakeKel<THTMLTag>(Name, &M, static_cast<int32_t>(Tags.size()) + 1);
    T->SetRequiresClosingTag(RequiresClosing);
    T->SetRequiresOpeningTag(true);
    T->SetEmpty(Empty);
    for (const auto& A : Attrs) T->AddAttribute(MakeKel<THTMLAttribute>(A, 100).get());
    Tags[Name] = T;
    M.RegisterTag(T.get());
    Pending.emplace_back(Name, Children);
    for (const auto& [Parent, Kids] : Pending)
      for (const auto& K : Kids)
        if (Tags.count(K)) Tags[Parent]->AddTag(Tags[K].get());
  }

  // Parses the marked text through an edit view (or a stream) with the caret at the marker.
  void Run(const std::string& Marked, bool ThroughStream = false) {
    const auto A = test::Annotate(Marked);
    View = MakeMemoryEditView(A.Text, "page.html");
    View->SetCaretOffset(A.Caret >= 0 ? A.Caret : static_cast<int32_t>(A.Text.size()));
    Recorder = MakeKel<TRecorder>();
    if (Record) P().AddCallback(Recorder.get());
    if (ThroughStream) {
      TKelStringStream Stream(A.Text);
      auto Producer = MakeKel<TMLBufferProducer>(&Stream);
      P().Parse(View->GetCursorPos(), Producer.get(), nullptr);
    } else {
      auto Producer = MakeKel<TMLBufferProducer>(View.get());
      P().Parse(View->GetCursorPos(), Producer.get(), nullptr);
    }
    P().RemoveCallback(Recorder.get());
  }
  TMLParser& P() { return *M.GetParser(); }
  std::string Current() { return P().Caret().CurrentTag ? P().Caret().CurrentTag->GetName() : "(none)"; }
  Names Closing() {
    Names R;
    for (int32_t I = 0; I < M.GetClosedTagsCount(); ++I) R.push_back(M.GetCloseTags(I)->GetName());
    return R;
  }

  TMLSymbolManager M;
  TKelPtr<THTMLTag> Root;
  std::map<std::string, TKelPtr<THTMLTag>> Tags;
  std::vector<std::pair<std::string, Names>> Pending;
  TKelPtr<TMemoryEditView> View;
  TKelPtr<TRecorder> Recorder;
  bool Record = true;
};

struct CaretCase {
  const char* Name;
  const char* Marked;
  const char* Current;
  bool InTag, InClosingTag, CaretInTagName, InAttribute;
};

const CaretCase CaretCases[] = {
    {"InAttributeName", "<body><table bord|er>", "table", true, false, false, false},
    {"InTagName", "<body><tab|le>", "table", true, false, true, false},
    {"NameAtTheEndOfTheText", "<body><tab|", "tab", true, false, true, false},
    {"NameOnALaterLine", "<body>|\n<table>", "body", false, false, false, false},
    {"InQuotedValue", "<body><a href=\"x|\">", "a", true, false, false, true},
    {"InUnquotedValue", "<body><a href=ab|c>", "a", true, false, false, true},
    {"AfterAClosedValue", "<body><a href=\"x\" |name=y>", "a", true, false, false, false},
    {"JustAfterTheEquals", "<body><a href=|>", "a", true, false, false, true},
    {"EqualsAtTheEndOfTheText", "<body><a href=|", "a", true, false, false, true},
    {"UnquotedAtTheEndOfTheText", "<body><a href=ab|", "a", true, false, false, true},
    {"AfterAQuoteAtTheEndOfTheText", "<body><a href=\"ab\"|", "a", true, false, false, false},
    {"BetweenTags", "<body><table border=\"1\"> |", "table", false, false, false, false},
    {"InClosingTag", "<body><table></ta|ble>", "table", true, true, true, false},
    {"AfterAClosedElement", "<body><p><a href=x>y</a> |", "p", false, false, false, false},
    {"UnknownElement", "<body><blink |>", "blink", true, false, false, false},
    {"NoTag", "plain |text", "(none)", false, false, false, false},
};

class CaretState : public Scan, public ::testing::WithParamInterface<CaretCase> {};

TEST_P(CaretState, ThroughTheEditViewAndThroughAStream) {
  const CaretCase& C = GetParam();
  for (const bool Stream : {false, true}) {
    Run(C.Marked, Stream);
    SCOPED_TRACE(Stream ? "stream" : "edit view");
    EXPECT_EQ(Current(), C.Current);
    EXPECT_EQ(P().Caret().InTag, C.InTag);
    EXPECT_EQ(P().Caret().InClosingTag, C.InClosingTag);
    EXPECT_EQ(P().Caret().CaretInTagName, C.CaretInTagName);
    EXPECT_EQ(P().GetInAttribute(), C.InAttribute);
    EXPECT_EQ(P().State(), TMLParserState::mlpsNone);
  }
}

INSTANTIATE_TEST_SUITE_P(Pages, CaretState, ::testing::ValuesIn(CaretCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(Scan, OpenElementsBecomeClosingTagsMostRecentFirst) {
  Run("<html>\n<body>\n<table><tr><td>x|");
  EXPECT_EQ(Closing(), (Names{"</td>", "</tr>", "</table>", "</body>", "</html>"}));
  EXPECT_EQ(M.GetCloseTags(3)->GetName(), "</body>");
  EXPECT_EQ(query<IKelMLCustomTag>(M.GetCloseTags(3))->GetLineNumber(), 2);
}

TEST_F(Scan, ClosingAListDropsItsOpenItem) {
  Run("<body><ul><li>one</ul>|");
  Names Stack;
  for (const auto& E : P().OpenElements()) Stack.push_back(E->Tag->GetName());
  EXPECT_EQ(Stack, Names{"body"});
  EXPECT_EQ(Current(), "body");
}

TEST_F(Scan, WrittenAttributesAndTheirValues) {
  Run("<body><a name='n' href=\"caf\xC3\xA9.html\" |");
  ASSERT_EQ(P().GetCurrentTagAttrCount(), 2);
  EXPECT_EQ(P().GetCurrentTagAttrValueByName("HREF"), u"caf\u00e9.html");
  EXPECT_EQ(P().GetCurrentTagAttrStrType("name"), '\'');
  EXPECT_EQ(P().GetCurrentTagAttrStrTypeEnd("name"), '\'');
  // Written attributes are not offered again.
  EXPECT_FALSE(Tags["a"]->FindAttribute("href"));
  EXPECT_TRUE(M.FindHiddenAttr("href"));
}

TEST_F(Scan, FlagWithoutValueIsSet) {
  Run("<body><input disabled |");
  EXPECT_EQ(P().GetCurrentTagAttrValueByName("disabled"), u"disabled");
}

TEST_F(Scan, UnquotedValueAfterWhitespaceIsNotRead) {
  Run("<body><a href= x |");
  ASSERT_GE(P().GetCurrentTagAttrCount(), 1);
  EXPECT_EQ(P().GetCurrentTagAttrName(0), "href");
  EXPECT_EQ(P().GetCurrentTagAttrValue(0), u"");
}

TEST_F(Scan, OpenQuoteAtTheCaret) {
  Run("<body><a href=\"ab|");
  EXPECT_EQ(P().GetCurrentTagAttrStrType("href"), '"');
  EXPECT_EQ(P().GetCurrentTagAttrStrTypeEnd("href"), '\0');
  EXPECT_TRUE(P().Caret().Contexts.Contains(TParserContexts::pcString));
  EXPECT_EQ(P().Caret().ValuePos.Col, 16);  // just after the quote
}

TEST_F(Scan, DocTypeIdentifierAndPosition) {
  Run("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" |>\n<html>");
  EXPECT_EQ(P().Caret().DocTypeIdentifier, "-//W3C//DTD HTML 4.01//EN");
  EXPECT_TRUE(P().GetInDocType());
  // The identifier reached the symbol manager, which found no file for it.
  EXPECT_EQ(M.GetSchemaFile(), "");
  ASSERT_EQ(Test.Host().Messages().size(), 1u);
  EXPECT_EQ(Test.Host().Messages()[0].Text, "Invalid schema file \"-//W3C//DTD HTML 4.01//EN\"");

  Run("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\n<html>|");
  EXPECT_FALSE(P().GetInDocType());
  EXPECT_EQ(P().Caret().DocTypeIdentifier, "-//W3C//DTD HTML 4.01//EN");
}

// Only the DOCTYPE around the caret holds it, however many a page repeats.
TEST_F(Scan, TheCaretIsInADocTypeOnlyBetweenItsNameAndItsEnd) {
  const std::pair<const char*, bool> Cases[] = {
      {"<!DOCTYPE html>\n<!DOCTYPE html>\n<p>|", false},
      {"<!DOCTYPE html>\n<!DOCTYPE html>\n<!DOCTYPE html>\n<!DOCTYPE html>\n<p>|", false},
      {"<!DOCTYPE html>\n<p>|\n<!DOCTYPE html>", false},
      {"<!DOCTYPE html>\n<!DOCTYPE html |>\n<p>", true},
      {"<!DOCTYPE html |>\n<!DOCTYPE html>", true},
  };
  for (const auto& [Page, Inside] : Cases) {
    Run(Page);
    EXPECT_EQ(P().GetInDocType(), Inside) << Page;
  }
}

TEST_F(Scan, InternalSubsetLiteralsAreNoIdentifiers) {
  for (const char* Page : {"<!DOCTYPE html [ <!ENTITY a \"x.dtd\"> ]>\n<p>|",
                           "<!DOCTYPE r SYSTEM \"r.dtd\" [ <!ENTITY % e \"y\"> ]>\n<p>|"}) {
    Run(Page);
    EXPECT_EQ(P().Caret().DocTypeIdentifier,
              std::string(Page).find("r.dtd") != std::string::npos ? "r.dtd" : "")
        << Page;
  }
}

TEST_F(Scan, TextEndingInsideTheDocTypeIdentifier) {
  Run("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HT|");
  EXPECT_TRUE(P().Caret().Contexts.Contains(TParserContexts::pcString));
  EXPECT_EQ(P().GetContextPos(), 22);
  EXPECT_FALSE(P().GetInDocType());
}

TEST_F(Scan, ScriptStyleAndServerScriptBodies) {
  Run("<body><script> if (a < b) |</script>");
  EXPECT_TRUE(P().Caret().InScript);
  Run("<body><script> x </script> |");
  EXPECT_FALSE(P().Caret().InScript);
  Run("<body><style> p { |} </style>");
  EXPECT_TRUE(P().Caret().InStyle);
  Run("<body><% Response.Write(|) %>");
  EXPECT_TRUE(P().Caret().InScript);
  EXPECT_TRUE(P().Caret().Contexts.Contains(TParserContexts::pcServerSideScript) == false);
}

TEST_F(Scan, ReportsNodesBeforeTheCaretWithTheirOffsets) {
  Run("<body>ab<!-- c -><?pi d?> |<p>");
  std::vector<TTagType> Types;
  for (const auto& N : Recorder->Nodes) Types.push_back(N.Type);
  EXPECT_EQ(Types, (std::vector<TTagType>{TTagType::ttOpen, TTagType::ttText, TTagType::ttComment,
                                          TTagType::ttProcessingInstruction}));
  const auto& Text = Recorder->Nodes[1];
  EXPECT_EQ(Text.Start, 6);
  EXPECT_EQ(Text.End, 7);
  EXPECT_EQ(Text.Text, "ab");
  EXPECT_EQ(Recorder->Nodes[2].Text, " c ");  // closed by "->"
  EXPECT_EQ(Recorder->Nodes[3].Text, "pi d");
}

TEST_F(Scan, XmlDocumentsKeepChildlessElementsForAutoClosing) {
  Run("<?xml version=\"1.0\"?>\n<body><br>|");
  EXPECT_TRUE(P().Caret().IsXML);
  ASSERT_EQ(P().Caret().AutoClosePositions.size(), 1u);
  EXPECT_EQ(P().Caret().AutoClosePositions[0], (TKelEditPos{10, 2}));  // the column of ">"
  Run("<body><br>|");
  EXPECT_FALSE(P().Caret().IsXML);
  EXPECT_TRUE(P().Caret().AutoClosePositions.empty());
  EXPECT_EQ(Closing(), Names{"</body>"});
}

TEST_F(Scan, LongPagesAcrossChunks) {
  std::string Page = "<html>\n<body>\n<table>\n";
  while (Page.size() < 40000) Page += "<tr><td>cell text here</td></tr>\n";
  Page += "<tr><td><a href=\"x\">|";
  Run(Page);
  EXPECT_EQ(Closing(), (Names{"</a>", "</td>", "</tr>", "</table>", "</body>", "</html>"}));
  EXPECT_EQ(Current(), "a");
  Run(Page, /*ThroughStream=*/true);
  EXPECT_EQ(Closing(), (Names{"</a>", "</td>", "</tr>", "</table>", "</body>", "</html>"}));
}

TEST_F(Scan, CallbacksThatHandleEverythingStopTheScan) {
  class TStopper : public TKelInterfaced<IKelMLElementCallback> {
   public:
    void ElementParsed(TMLParser*, IKelMLMarkupPos*, TTagType, int32_t, int32_t, bool& Handled) override {
      ++Count;
      Handled = true;
    }
    void Invalidate() override {}
    int Count = 0;
  };
  auto Stopper = MakeKel<TStopper>();
  P().AddCallback(Stopper.get());
  Record = false;
  Run("<body><p>one<p>two|");
  P().RemoveCallback(Stopper.get());
  EXPECT_EQ(Stopper->Count, 1);
}

TEST_F(Scan, DirectivesWithAndWithoutASchemaTag) {
  Run("<%@ Page Language=\"C#\" %>\n<body>|");
  EXPECT_FALSE(P().Caret().InScript);
  EXPECT_FALSE(P().Caret().Contexts.Contains(TParserContexts::pcServerSideScript));
  EXPECT_EQ(Current(), "body");
  Run("<%@ Page Lang|uage=\"C#\" %>");
  EXPECT_TRUE(P().Caret().InScript);  // read as a server script: no schema tag for it

  auto Page = MakeKel<THTMLTag>("@ Page", &M, 50);
  Page->SetRequiresClosingTag(false);
  Page->AddAttribute(MakeKel<THTMLAttribute>("Language", 51).get());
  M.RegisterTag(Page.get());
  Run("<%@ Page Language=\"C|#\" %>");
  EXPECT_EQ(Current(), "@ Page");
  ASSERT_TRUE(P().Caret().CurrentAttr);
  EXPECT_EQ(P().Caret().CurrentAttr->GetName(), "Language");
  Run("<%@ Page Language=\"C#\" %>\n<body>|");
  EXPECT_EQ(Closing(), Names{"</body>"});  // the directive closed itself
}

TEST_F(Scan, OnlyAnXmlDeclarationMakesTheDocumentXml) {
  struct Case {
    const char* Marked;
    bool IsXML;
  } Cases[] = {{"<?xml version=\"1.0\"?>\n|", true},
               {"<?xml-stylesheet href=\"a.xsl\"?>\n|", false},
               {"<?xsl x?>\n|", false},
               {"<?xm?>|", false}};
  for (const auto& C : Cases) {
    Run(C.Marked);
    EXPECT_EQ(P().Caret().IsXML, C.IsXML) << C.Marked;
  }
  Run("<?xml version=\"1.0\"?><body><ul><li>one</ul>|");
  Names Stack;
  for (const auto& E : P().OpenElements()) Stack.push_back(E->Tag->GetName());
  EXPECT_EQ(Stack, (Names{"li", "body"}));  // XML closes nothing by itself
}

TEST_F(Scan, ScriptBodiesAreOnlyReadInHtml) {
  M.SetKibitzMode(TKibitzMode::kmXSL);
  Run("<body><script> if (a < b) |</script>");
  EXPECT_FALSE(P().Caret().InScript);
  EXPECT_FALSE(P().Caret().Contexts.Contains(TParserContexts::pcScript));
  M.SetKibitzMode(TKibitzMode::kmHTML);
  Run("<body><script> if (a < b) |</script>");
  EXPECT_TRUE(P().Caret().InScript);
}

// Everything the completion manager reads, as one comparable value.
std::string StateOf(TMLSymbolManager& M) {
  TMLParser& P = *M.GetParser();
  std::string S = (P.Caret().CurrentTag ? P.Caret().CurrentTag->GetName() : "-") + "|" +
                  (P.Caret().CurrentAttr ? P.Caret().CurrentAttr->GetName() : "-") + "|" +
                  std::to_string(P.Caret().InTag) + std::to_string(P.Caret().InClosingTag) +
                  std::to_string(P.Caret().CaretInTagName) + std::to_string(P.Caret().InScript) +
                  std::to_string(P.Caret().InStyle) + std::to_string(P.GetInDocType()) + "|" +
                  std::to_string(P.Caret().ValuePos.Col) + ":" + std::to_string(P.Caret().ValuePos.Line) +
                  "|" + P.Caret().Quote + P.Caret().QuoteEnd + "|" + std::to_string(P.GetContextPos()) + "|";
  for (int32_t I = 0; I < P.GetCurrentTagAttrCount(); ++I)
    S += P.GetCurrentTagAttrName(I) + "=" + Utf16ToUtf8(P.GetCurrentTagAttrValue(I)) + ",";
  for (const auto& E : P.OpenElements()) S += E->Tag->GetName() + "/";
  for (int32_t I = 0; I < M.GetClosedTagsCount(); ++I) S += M.GetCloseTags(I)->GetName();
  return S;
}

TEST_F(Scan, TheStreamAndTheEditViewGiveTheSameStateAcrossChunkCuts) {
  // Long lines without line breaks put tags and values right across the cuts.
  std::string Page = "<html><body><table>";
  for (int I = 0; Page.size() < 50000; ++I)
    Page +=
        "<tr><td><a name=\"n" + std::to_string(I) + "\" href=\"page" + std::to_string(I) + ".html\">x</a> ";
  for (const size_t At :
       {size_t{20}, size_t{16380}, size_t{16390}, size_t{20000}, size_t{32770}, size_t{49000}}) {
    std::string Marked = Page;
    Marked.insert(At, "|");
    Run(Marked, false);
    const std::string ViaView = StateOf(M);
    Run(Marked, true);
    EXPECT_EQ(StateOf(M), ViaView) << "caret at " << At;
  }
}

TEST_F(Scan, FixupsAreUndoneByTheNextParse) {
  Run("<body><a href=\"x\" |");
  EXPECT_FALSE(Tags["a"]->FindAttribute("href"));
  Run("<body>|");
  EXPECT_TRUE(Tags["a"]->FindAttribute("href"));
}

}  // namespace
}  // namespace kel

namespace kel {
namespace {}  // namespace
}  // namespace kel
