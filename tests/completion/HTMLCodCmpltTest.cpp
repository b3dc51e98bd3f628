// The markup manager driven through our host as an editor drives it: type,
// invoke, filter, key, done; every result is the whole document with its caret.
#include <gtest/gtest.h>

#include <algorithm>

#include "host/MemoryCanvas.h"
#include "host/MemoryEditor.h"
#include "symbols/MLSymbolManager.h"
#include "tests/completion/CompletionTestSupport.h"
#include "tests/support/Annotated.h"

namespace kel {
namespace {

using test::TRun;
using Names = std::vector<std::string>;

const std::string& Strict = test::StrictHead;
const std::string XHtml =
    "<?xml version=\"1.0\"?>\n<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
    "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n";

class Markup : public test::TCompletionTest {
 protected:
  bool Has(const std::string& Text) {
    const Names T = Shown();
    return std::find(T.begin(), T.end(), Text) != T.end();
  }
  // What a row shows: values stand in the type column.
  Names Shown() {
    Names R;
    for (const auto& I : Cycle.Items()) R.push_back(I.Shown());
    return R;
  }
};

struct TListCase {
  const char* Name;
  std::string Marked;
  char Typed;
  Names Present, Absent;
  const char* Class;
  const char* FirstType;
};

TEST_F(Markup, EachContextListsWhatTheSchemaAllows) {
  const TListCase Cases[] = {
      // clang-format off
      {"table children", Strict + "<body><table>|", 0, {"caption", "colgroup", "thead", "tfoot", "tbody",
          "tr", "</table>"}, {"div", "td"}, "Element  ", "line 2"},
      {"attributes of a", Strict + "<body><p><a |", 0, {"href", "name", "title"}, {"src"}, "Attribute  ", " "},
      {"written attributes are hidden", Strict + "<body><p><a href=x |", 0, {"name"}, {"href"}, "Attribute  ",
          " "},
      {"values of input type", Strict + "<body><input type=|", 0, {"text", "radio", "checkbox"}, {"href"},
          "Attribute Value  ", " button"},
      {"entities after &", Strict + "<body><p>|", '&', {"nbsp", "amp", "eacute"}, {"p"}, "", ""},
      {"filtered while typing", Strict + "<body><table><t|", 0, {"tbody", "tfoot", "thead", "tr"}, {"caption",
          "col"}, "Element  ", ""},
      // clang-format on
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    ASSERT_TRUE(Run({C.Marked, "page.html", C.Typed, "", "", 0}));
    for (const auto& P : C.Present) EXPECT_TRUE(Has(P)) << P;
    for (const auto& A : C.Absent) EXPECT_FALSE(Has(A)) << A;
    const auto Items = Cycle.Items();
    ASSERT_FALSE(Items.empty());
    EXPECT_EQ(Items[0].Class, C.Class);
    EXPECT_EQ(Items[0].Type, C.FirstType);
  }
}

// A child the content model allows once is not offered again, nor one whose
// place comes before a sibling written before the caret; what follows the
// caret does not count, and HTML's script-supporting elements stand anywhere.
TEST_F(Markup, ChildrenFollowTheContentModelsOrder) {
  const std::string Html5 = "<!DOCTYPE html>\n";
  const struct {
    std::string Marked;
    Names Present, Absent;
  } Cases[] = {
      {Strict + "<head><title>x</title>|", {"meta", "base"}, {"title"}},
      {Html5 + "<head><title>x</title><meta charset=utf-8>|", {"meta", "base", "link"}, {"title"}},
      {Strict + "<body><table><tbody><tr><td>1</td></tr></tbody>|", {"tbody"}, {"caption", "thead", "tfoot"}},
      {Html5 + "<table><tbody><tr><td>1</td></tr></tbody>|", {"tbody", "tfoot"}, {"caption", "thead"}},
      {Html5 + "<table><script></script>|", {"caption", "thead", "tbody"}, {}},
      {Html5 + "<table>|<caption>x</caption>", {"caption", "thead"}, {}},
      {Html5 + "<html><head></head>|", {"body"}, {"head"}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Marked);
    ASSERT_TRUE(Run({C.Marked, "page.html", 0, "", "", 0}));
    for (const auto& P : C.Present) EXPECT_TRUE(Has(P)) << P << ": " << Listed();
    for (const auto& A : C.Absent) EXPECT_FALSE(Has(A)) << A << ": " << Listed();
  }
  // Given back for the next request: a fresh table offers its caption.
  ASSERT_TRUE(Run({Strict + "<body><table>|", "page.html", 0, "", "", 0}));
  EXPECT_TRUE(Has("caption")) << Listed();
}

// An XML file with no schema is served from the names it uses, where it
// uses them; the closing tags due come after "</".
TEST_F(Markup, AnXmlFileWithoutASchemaOffersTheNamesItUses) {
  const std::string Config =
      "<?xml version=\"1.0\"?>\n<config>\n  <server name=\"a\" port=\"80\">\n"
      "    <path>/x</path>\n  </server>\n";
  const struct {
    std::string Marked;
    char Typed;
    Names Present, Absent;
  } Cases[] = {
      {Config + "  <|\n</config>\n", 0, {"server"}, {"path", "config"}},
      {Config + "  <server |\n</config>\n", 0, {"name", "port"}, {"path"}},
      {Config + "  <server port=\"1\" |\n</config>\n", 0, {"name"}, {"port"}},
      {Config + "  <server>\n    <|", 0, {"path"}, {"server", "config"}},
      {Config + "  <server>\n    <|", '/', {"</server>", "</config>"}, {"path"}},
      {Config + "&|", 0, {"amp", "lt"}, {"nbsp"}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Marked);
    ASSERT_TRUE(Run({C.Marked, "data.xml", C.Typed, "", "", 0}));
    for (const auto& P : C.Present) EXPECT_TRUE(Has(P)) << P << ": " << Listed();
    for (const auto& A : C.Absent) EXPECT_FALSE(Has(A)) << A << ": " << Listed();
  }
}

TEST_F(Markup, NoListWhereMarkupCompletionHasNothingToOffer) {
  const std::string Cases[] = {
      Strict + "<body><script>if (a |",
      Strict + "<head><style>p { |",
      "<!DOCTYPE HTML PUBLIC | \"-//W3C//DTD HTML 4.01//EN\">",
  };
  for (const auto& C : Cases) {
    EXPECT_FALSE(Run({C, "page.html", 0, "", "", 0})) << C;
    EXPECT_EQ(Result(), C) << "nothing is written";
  }
}

struct TAcceptCase {
  const char* Name;
  TRun R;
  bool Quotes;
  std::string Expected;
};

TEST_F(Markup, AcceptingWritesTheCandidateAndWhatGoesWithIt) {
  const std::string S = Strict;
  const std::string X = XHtml;
  const TAcceptCase Cases[] = {
      // clang-format off
      {"attribute with quotes", {S + "<body><p><a |", "page.html", 0, "", "href"}, true,
          S + "<body><p><a href=\"|\""},
      {"attribute without quotes", {S + "<body><p><a |", "page.html", 0, "", "href"}, false,
          S + "<body><p><a href=|"},
      {"attribute closed with a blank", {S + "<body><p><a |", "page.html", 0, "", "href", ' '}, false,
          S + "<body><p><a href=|"},
      {"value already written after the caret", {S + "<body><p><a |= \"x\">", "page.html", 0, "", "href"},
          true, S + "<body><p><a href|= \"x\">"},
      {"name without a blank before it", {S + "<body><p><a href=\"x\"|", "page.html", 0, "", "name"}, true,
          S + "<body><p><a href=\"x\" name=\"|\""},
      {"value over the filter typed after the list opened", {S + "<body><td align=|", "page.html", 0, "le",
          ""}, false, S + "<body><td align=\"left\"|"},
      {"unterminated value", {S + "<body><td align=\"le|", "page.html", 0, "", ""}, true,
          S + "<body><td align=\"left\"|"},
      {"value typed after = is quoted when written", {S + "<body><td align=le|", "page.html", 0, "", ""},
          true, S + "<body><td align=\"left\"|"},
      {"attribute prefix replaced", {S + "<body><p><a hr|", "page.html", 0, "", "href"}, true,
          S + "<body><p><a href=\"|\""},
      {"element after <", {S + "<body><|", "page.html", 0, "", "table"}, true, S + "<body><table|"},
      {"element with the filter typed", {S + "<body><table><|", "page.html", 0, "tb", ""}, true,
          S + "<body><table><tbody|"},
      {"element without <", {S + "<body><table>|", "page.html", 0, "", "tbody"}, true,
          S + "<body><table><tbody|"},
      {"element closed with >", {S + "<body>|", "page.html", '<', "ta", "table", '>'}, true,
          S + "<body><table>|</table>"},
      {"required attributes come with the element", {S + "<body><p>|", "page.html", 0, "", "img"}, true,
          S + "<body><p><img alt=\"\" src=\"\"|"},
      {"closing tag row", {S + "<body><p>|", "page.html", 0, "", "</p>"}, true, S + "<body><p></p>|"},
      {"closing tag in front of the page's own", {S + "<body><ul><li>x</|</li></ul>", "page.html", 0, "",
          "</li>"}, true, S + "<body><ul><li>x</li>|</li></ul>"},
      {"entity", {S + "<body><p>|", "page.html", '&', "nb"}, true, S + "<body><p>&nbsp;|"},
      {"entity before a ;", {S + "<body><p>&nb|;"}, true, S + "<body><p>&nbsp|;"},
      {"entity in a URL's query", {S + "<body><p><a href=\"x?a=1|\">", "page.html", '&', "am", "amp"}, true,
          S + "<body><p><a href=\"x?a=1&amp;|\">"},
      {"value", {S + "<body><input type=|", "page.html", 0, "", "RADIO"}, true,
          S + "<body><input type=\"radio\"|"},
      {"value after typed =", {S + "<body><td align|", "page.html", '=', "", "left"}, true,
          S + "<body><td align=\"left\"|"},
      {"value replacing a quoted prefix", {S + "<body><input type=\"te|\">", "page.html", 0, "", ""}, true,
          S + "<body><input type=\"text\"|>"},
      {"childless XML element closed with /", {X + "<html>|", "page.html", 0, "", "body", '/'}, true,
          X + "<html><body />|"},
      {"HTML element closed with / is written whole", {S + "<body><|", "page.html", 0, "di", "div", '/'},
          true, S + "<body><div></div>|"},
      {"HTML void element closed with /", {S + "<body><p><|", "page.html", 0, "br", "br", '/'}, true,
          S + "<body><p><br />|"},
      {"a new SVG file starts with svg", {"<|", "new.svg", 0, "", "svg"}, true, "<svg|"},
      {"SVG has XML's entities", {"<svg><text>|", "pic.svg", '&', "am", "amp"}, true, "<svg><text>&amp;|"},
      {"a PHP page around its islands", {"<body>\n<?php if ($a < $b) { echo \"<div>\"; } ?>\n<p><|", "page.php",
          0, "", "em"}, true, "<body>\n<?php if ($a < $b) { echo \"<div>\"; } ?>\n<p><em|"},
      {"escape cancels", {S + "<body><table>|", "page.html", 0, "tb", "", 27}, true, S + "<body><table>tb|"},
      // clang-format on
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    Manager->SetInsertQuotes(C.Quotes);
    ASSERT_TRUE(Run(C.R));
    EXPECT_FALSE(Cycle.IsOpen());
    EXPECT_EQ(Result(), C.Expected);
  }
}

struct TTypedCase {
  const char* Name;
  std::string Marked;
  char Typed;
  bool Opens;
  std::string Expected;
};

TEST_F(Markup, TypingATriggerMakesTheSmallEdits) {
  const std::string S = Strict;
  const std::string X = XHtml;
  const TTypedCase Cases[] = {
      {"= with listed values", S + "<body><td align|", '=', true, S + "<body><td align=\"|\""},
      {"= before a quote", S + "<body><td align|\"left\">", '=', true, S + "<body><td align=|\"left\">"},
      {"= without listed values", S + "<body><p title|", '=', false, S + "<body><p title=|"},
      {"> after a start tag", S + "<body><table|", '>', false, S + "<body><table>|</table>"},
      {"> after an EMPTY element", S + "<body><p><br|", '>', false, S + "<body><p><br>|"},
      {"> after an attribute", S + "<body><table border=1|", '>', false,
       S + "<body><table border=1>|</table>"},
      {"> after text", S + "<body><p>a|", '>', false, S + "<body><p>a>|"},
      {"> after a closing tag", S + "<body><p>x</p|", '>', false, S + "<body><p>x</p>|"},
      {"> in XML closes the childless element", X + "<html><body><p><br|", '>', false,
       X + "<html><body><p><br />|"},
      {"> in XML after a blank", X + "<html><body><p><br |", '>', false, X + "<html><body><p><br />|"},
      {"> in XHTML without an XML declaration", X.substr(X.find('\n') + 1) + "<html><body><p><br|", '>',
       false, X.substr(X.find('\n') + 1) + "<html><body><p><br />|"},
      {"< in a script", S + "<body><script>if (a |", '<', false, S + "<body><script>if (a <|"},
      {"< in a comment", S + "<body><!-- |", '<', false, S + "<body><!-- <|"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    EXPECT_EQ(Run({C.Marked, "page.html", C.Typed, "", "", 0}), C.Opens);
    EXPECT_EQ(Result(), C.Expected);
  }
}

TEST_F(Markup, AcceptingAnElementWithABlankAsksForTheAttributes) {
  ASSERT_TRUE(Run({Strict + "<body><p><a|", "page.html", 0, "", "a", ' '}));
  EXPECT_EQ(Result(), Strict + "<body><p><a |");
  EXPECT_TRUE(Cycle.ReopenRequested());
  ASSERT_TRUE(Run({Strict + "<body><p><a|", "page.html", 0, "", "a", '\r'}));
  EXPECT_FALSE(Cycle.ReopenRequested());
}

TEST_F(Markup, AnAmpersandReusesTheLastParseOfTheView) {
  ASSERT_TRUE(Run({Strict + "<body><p>|", "page.html", 0, "", "", 0}));
  Cycle.Key(27);
  // The text changes behind the parser's back; the entity list still opens
  // from the parse that was made before.
  View->SetText(Strict + "<body><p>x");
  View->SetCaretOffset(static_cast<int32_t>(View->Text().size()));
  ASSERT_TRUE(Cycle.Type('&'));
  EXPECT_TRUE(Has("nbsp"));
  EXPECT_EQ(MLSymbolManager().GetParser()->Caret().CurrentTag->GetName(), "p");
}

struct TFileCase {
  const char* File;
  bool Handled;
  TKibitzMode Mode;
  bool ASP;
};

TEST_F(Markup, HandlesFilesByExtensionAndThroughTheOptions) {
  Options("[Internet\\File Options\\HTML]\nExtensions=htm;cfm\n");
  const TFileCase Cases[] = {
      {"page.Html", true, TKibitzMode::kmHTML, false},     {"a/b.xslt", true, TKibitzMode::kmXSL, false},
      {"x.XSL", true, TKibitzMode::kmXSL, false},          {"deck.Wml", true, TKibitzMode::kmWML, false},
      {"r.resx", true, TKibitzMode::kmResX, false},        {"c.ascx", true, TKibitzMode::kmHTML, true},
      {"p.aspx", true, TKibitzMode::kmHTML, true},         {"Site.Master", true, TKibitzMode::kmHTML, true},
      {"INDEX.PHP", true, TKibitzMode::kmHTML, false},     {"s.shtml", true, TKibitzMode::kmHTML, false},
      {"style.css", false, TKibitzMode::kmHTML, false},    {"noext", false, TKibitzMode::kmHTML, false},
      {"dir.php/file", false, TKibitzMode::kmHTML, false}, {"p.cfm", true, TKibitzMode::kmHTML, false},
      {"v.jsp", true, TKibitzMode::kmHTML, false},
  };
  for (const auto& C : Cases) {
    MLSymbolManager().SetKibitzMode(TKibitzMode::kmHTML);
    EXPECT_EQ(Manager->HandlesFile(C.File), C.Handled) << C.File;
    EXPECT_EQ(MLSymbolManager().GetKibitzMode(), C.Mode) << C.File;
    EXPECT_EQ(Manager->GetIsASPEnabled(), C.ASP) << C.File;
    EXPECT_EQ(MLSymbolManager().GetFileName(), C.File);
  }
  Options("");
  EXPECT_FALSE(Manager->HandlesFile("p.cfm"));
  EXPECT_TRUE(Manager->HandlesFile("INDEX.PHP")) << "template pages are served without options";
  Manager->SetIsASPEnabled(false);
}

TEST_F(Markup, AutoCompletionsOptionIsReadAtEachInvocation) {
  const std::pair<const char*, bool> Cases[] = {
      {"[Code Insight]\nAuto Code Completions=False\n", false},
      {"[Code Insight]\nAuto Code Completions=FALSE\n", false},
      {"[Code Insight]\nAuto Code Completions=no\n", true},
      {"[Code Insight]\n", true},
      {"", true},
  };
  for (const auto& [Ini, On] : Cases) {
    Options(Ini);
    Run({Strict + "<body><table|", "page.html", '>', "", "", 0});
    EXPECT_EQ(static_cast<TMLKibitzManager*>(Manager.get())->GetAutoCompletions(), On) << Ini;
    EXPECT_EQ(Result(), Strict + (On ? "<body><table>|</table>" : "<body><table>|")) << Ini;
  }
}

struct TKeyCase {
  const char* Name;
  std::string Marked;
  char Key;
  bool Close, Accept;
  char CloseKey;
};

TEST_F(Markup, KeysWhileTheListIsOpen) {
  const std::string S = Strict;
  const TKeyCase Cases[] = {
      {"enter", S + "<body><|", '\r', true, true, 0},
      {"tab", S + "<body><|", '\t', true, true, '\t'},
      {"letter", S + "<body><|", 'x', false, false, 0},
      {"escape", S + "<body><|", 27, true, false, 0},
      {"!", S + "<body><|", '!', true, false, '!'},
      {"% ", S + "<body><|", '%', true, false, '%'},
      {"= accepts", S + "<body><|", '=', true, true, '='},
      {"quote among attributes", S + "<body><p |", '"', true, true, '"'},
      {"quote among elements", S + "<body><|", '"', false, false, 0},
      {"/ ends the element list", S + "<body>|", '/', true, true, '/'},
      {"/ after <", S + "<body><p><|", '/', true, true, '/'},
      {"/ among values", S + "<body><td align=|", '/', false, false, 0},
  };
  auto* M = static_cast<TMLKibitzManager*>(Manager.get());
  for (const auto& C : Cases) {
    ASSERT_TRUE(Run({C.Marked, "page.html", 0, "", "", 0})) << C.Name;
    bool Close = false, Accept = false;
    M->OnEditorKey(C.Key, Close, Accept);
    EXPECT_EQ(Close, C.Close) << C.Name;
    EXPECT_EQ(Accept, C.Accept) << C.Name;
    EXPECT_EQ(M->GetCloseKey(), C.CloseKey) << C.Name;
  }
}

TEST_F(Markup, ClosingTagRowsAreBrowsableWithControl) {
  ASSERT_TRUE(Run({Strict + "<body>\n<p>|", "page.html", 0, "", "", 0}));
  const auto Items = Cycle.Items();
  ASSERT_GE(Items.size(), 2u);
  EXPECT_EQ(Items[0].Text, "</p>");  // innermost first
  EXPECT_EQ(Items[0].Type, "line 3");
  EXPECT_EQ(Items[1].Text, "</body>");
  EXPECT_TRUE(Items[0].Abstract);
  EXPECT_FALSE(Manager->IsViewerBrowsable(1));
  Test.Dialogs().ControlDown = true;
  EXPECT_TRUE(Manager->IsViewerBrowsable(1));
  EXPECT_FALSE(Manager->IsViewerBrowsable(2)) << "not a closing tag";
  std::string File;
  int32_t Line = 0;
  EXPECT_TRUE(Manager->GotoDefinition(File, Line, 0));
  EXPECT_EQ(File, "page.html");
  EXPECT_EQ(Line, 3);
  EXPECT_FALSE(Manager->GotoDefinition(File, Line, -1));
  EXPECT_EQ(File, "");
}

const std::string Loose = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n";

struct TEditorCase {
  const char* Name;
  std::string Marked;
  bool Confirmed;
  std::string Answer;
  std::string Expected;
};

TEST_F(Markup, ValueEditorsAnswerThroughTheHostsDialogs) {
  const TEditorCase Cases[] = {
      {"url", Strict + "<body><p><a href=|", true, "img/logo.png",
       Strict + "<body><p><a href=\"img/logo.png\"|"},
      {"url cancelled", Strict + "<body><p><a href=|", false, "", Strict + "<body><p><a href=\"|\""},
      {"url replacing a value", Strict + "<body><p><a href=\"old.html|\">", true, "new.html",
       Strict + "<body><p><a href=\"new.html\"|>"},
      {"colour", Loose + "<body bgcolor=|", true, "#FF0000", Loose + "<body bgcolor=\"#FF0000\"|"},
      {"colour cancelled", Loose + "<body bgcolor=|", false, "", Loose + "<body bgcolor=\"|\""},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    auto& D = Test.Dialogs();
    D.URLAnswers.assign(1, {C.Confirmed, C.Answer});
    D.ColorAnswers.assign(1, {C.Confirmed, C.Answer});
    ASSERT_TRUE(Run({C.Marked, "page.html", 0, "", "", '\r'}));
    EXPECT_EQ(Result(), C.Expected);
  }
  EXPECT_EQ(Test.Dialogs().URLRequests.size(), 3u);
  EXPECT_EQ(Test.Dialogs().ColorRequests, 2);
}

TEST_F(Markup, EntityRowsArePaintedWithTheirCharacter) {
  ASSERT_TRUE(Run({Strict + "<body><p>|", "page.html", '&', "mdas", "", 0}));
  auto Painter = query<IKelCodeInsightItemPainter>(Manager);
  TMemoryCanvas Canvas(7, 16);
  TKelRect Rect{2, 0, 300, 16};
  bool Default = false;
  Painter->PaintItem(0, Canvas, Rect, false, true, Default);
  EXPECT_FALSE(Default);
  ASSERT_EQ(Canvas.Draws().size(), 2u);
  EXPECT_EQ(Canvas.Draws()[0].Text, u"\u2014");
  EXPECT_EQ(Canvas.Draws()[0].FontName, "Tahoma");
  EXPECT_EQ(Canvas.Draws()[0].Style, kelFontBold);
  EXPECT_EQ(Canvas.Draws()[0].Clip, (TKelRect{2, 0, 9, 16}));
  EXPECT_EQ(Canvas.Draws()[1].Text, u"mdash");
  EXPECT_EQ(Canvas.Draws()[1].FontName, "Sans") << "the font is given back";
  EXPECT_EQ(Canvas.Draws()[1].Clip, (TKelRect{30, 0, 65, 16}));
  EXPECT_EQ(Rect.Left, 65);
  EXPECT_EQ(Canvas.GetFontStyle(), 0);

  TMemoryCanvas Hint;
  Rect = {0, 0, 300, 16};
  Painter->PaintItem(0, Hint, Rect, true, true, Default);
  ASSERT_EQ(Hint.Draws().size(), 1u) << "a hint shows the name only";
  EXPECT_EQ(Hint.Draws()[0].Text, u"mdash");

  ASSERT_TRUE(Run({Strict + "<body><p>|", "page.html", 0, "", "", 0}));
  TMemoryCanvas Plain;
  Painter->PaintItem(0, Plain, Rect, false, true, Default);
  EXPECT_TRUE(Default) << "other rows are the host's to paint";
  EXPECT_TRUE(Plain.Draws().empty());
}

TEST_F(Markup, DirectivesAreAlwaysWrittenAfterLessThanPercent) {
  // A directive the schema offers at the top of a page.
  ASSERT_TRUE(Run({Strict + "|", "page.html", 0, "", "", 27}));
  TMLSymbolManager& SM = MLSymbolManager();
  Manager->SetTagCase(TTagCase::tcNormal);
  const auto Page = MakeKel<THTMLTag>("@ Page", &SM, -1);
  SM.RegisterTag(Page.get());
  SM.GetHiddenRootNode()->AddTag(Page.get());
  SM.GetHiddenRootNode()->AlphaSort();
  const std::pair<std::string, std::string> Cases[] = {
      {Strict + "|", Strict + "<%@ Page|"},
      {Strict + "<|", Strict + "<%@ Page|"},
  };
  for (const auto& [Marked, Expected] : Cases) {
    EXPECT_TRUE(Run({Marked, "page.html", 0, "", "@ Page"})) << Marked;
    EXPECT_EQ(Result(), Expected);
  }
  SM.GetHiddenRootNode()->RemoveTag(Page.get());
  SM.UnRegisterTag(Page.get());
}

}  // namespace
}  // namespace kel
