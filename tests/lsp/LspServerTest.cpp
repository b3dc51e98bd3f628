// The language server as an editor talks to it: messages in, messages out.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "completion/HTMReg.h"
#include "completion/MLInsightPackage.h"
#include "lsp/LspPositions.h"
#include "lsp/LspProtocol.h"
#include "lsp/LspServer.h"
#include "tests/support/TestHost.h"

namespace kel {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

class Lsp : public test::THostTest {
 protected:
  Lsp() {
    Test.Host().SetExecutableFileName(MLINSIGHT_BINARY_DIR "/bin/mlinsight");
    PackageLoad();
    IDERegister();
    Server = std::make_unique<TLspServer>(Test.Host());
    Initialize(true);
  }
  void Initialize(bool Snippets) {
    Server->Handle(
        {{"jsonrpc", "2.0"},
         {"id", 0},
         {"method", "initialize"},
         {"params",
          {{"capabilities",
            {{"textDocument", {{"completion", {{"completionItem", {{"snippetSupport", Snippets}}}}}}}}}}}});
  }
  ~Lsp() override {
    Server.reset();
    PackageUnload();
  }
  void Open(const std::string& Uri, const std::string& Text, std::string Language = "") {
    if (Language.empty()) Language = Uri.ends_with(".css") ? "css" : Uri.ends_with(".xsl") ? "xsl" : "html";
    Server->Handle(
        {{"jsonrpc", "2.0"},
         {"method", "textDocument/didOpen"},
         {"params",
          {{"textDocument", {{"uri", Uri}, {"languageId", Language}, {"version", 1}, {"text", Text}}}}}});
  }
  // The completion answer: isIncomplete and items.
  json Completion(const std::string& Uri, int Line, int Character, const std::string& Trigger = "") {
    json Params{{"textDocument", {{"uri", Uri}}}, {"position", {{"line", Line}, {"character", Character}}}};
    if (!Trigger.empty()) Params["context"] = {{"triggerKind", 2}, {"triggerCharacter", Trigger}};
    const auto Out = Server->Handle(
        {{"jsonrpc", "2.0"}, {"id", 7}, {"method", "textDocument/completion"}, {"params", Params}});
    for (const auto& M : Out)
      if (M.contains("id")) return M["result"];
    return {{"isIncomplete", false}, {"items", json::array()}};
  }
  json Items(const std::string& Uri, int Line, int Character, const std::string& Trigger = "") {
    return Completion(Uri, Line, Character, Trigger)["items"];
  }
  json Item(const json& Items, const std::string& Label) {
    for (const auto& I : Items)
      if (I["label"] == Label) return I;
    return nullptr;
  }
  std::unique_ptr<TLspServer> Server;
};

const std::string Strict = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\n";
const std::string XHtml =
    "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
    "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n";

TEST_F(Lsp, InitializeAnnouncesCompletion) {
  TLspServer Fresh(Test.Host());
  EXPECT_EQ(Fresh.Handle(
                {{"jsonrpc", "2.0"}, {"id", 1}, {"method", "textDocument/completion"}})[0]["error"]["code"],
            -32002)
      << "before initialize";
  const auto Out =
      Server->Handle({{"jsonrpc", "2.0"}, {"id", 1}, {"method", "initialize"}, {"params", json::object()}});
  ASSERT_EQ(Out.size(), 1u);
  EXPECT_EQ(Out[0]["id"], 1);
  EXPECT_EQ(Out[0]["result"]["capabilities"]["textDocumentSync"]["change"], 2) << "incremental";
  EXPECT_EQ(Out[0]["result"]["capabilities"]["positionEncoding"], "utf-16");
  EXPECT_TRUE(Out[0]["result"]["capabilities"]["completionProvider"]["triggerCharacters"].is_array());
  const auto Unknown = Server->Handle({{"jsonrpc", "2.0"}, {"id", 2}, {"method", "textDocument/definition"}});
  EXPECT_EQ(Unknown[0]["error"]["code"], -32601);
  EXPECT_EQ(Server->Handle({{"jsonrpc", "2.0"}, {"id", 3}, {"method", "shutdown"}})[0]["result"], nullptr);
  Server->Handle({{"jsonrpc", "2.0"}, {"method", "exit"}});
  EXPECT_TRUE(Server->Exited());
  EXPECT_EQ(Server->ExitCode(), 0);
}

TEST_F(Lsp, ItemsCarryTheEditsAcceptingMakes) {
  Open("file:///tmp/page.html", Strict + "<body><p><a hr\n<table>\n");
  const json A = Items("file:///tmp/page.html", 1, 14);
  const json Href = Item(A, "href");
  ASSERT_FALSE(Href.is_null()) << A.dump();
  EXPECT_EQ(Href["detail"], "Attribute");
  EXPECT_EQ(Href["insertTextFormat"], 2);
  EXPECT_EQ(Href["textEdit"]["newText"], "href=\"$0\"");
  EXPECT_EQ(Href["textEdit"]["range"],
            json::parse(R"({"start":{"line":1,"character":12},"end":{"line":1,"character":14}})"));
  EXPECT_FALSE(Href.contains("filterText")) << "the label filters";
  EXPECT_EQ(Href["command"]["command"], "editor.action.triggerSuggest") << "its values open";
  EXPECT_FALSE(Item(A, "title").contains("command")) << "no values listed for title";
  const json T = Items("file:///tmp/page.html", 2, 7);
  EXPECT_FALSE(Item(T, "tbody").is_null());
  EXPECT_TRUE(Item(T, "div").is_null());
  EXPECT_EQ(Item(T, "tbody")["textEdit"]["newText"], "<tbody");
  // A client without snippets gets plain text.
  Initialize(false);
  const json Plain = Item(Items("file:///tmp/page.html", 1, 14), "href");
  EXPECT_FALSE(Plain.contains("insertTextFormat"));
  EXPECT_EQ(Plain["textEdit"]["newText"], "href=\"\"");
  // Inside quotes the value goes between them (Neovim's omnifunc inserts the
  // new text at the word and would double them).
  Open("file:///tmp/v.html", Strict + "<body><input type=\"te\">");
  const json Text = Item(Items("file:///tmp/v.html", 1, 21), "text");
  EXPECT_EQ(Text["textEdit"]["newText"], "text");
  EXPECT_EQ(Text["textEdit"]["range"],
            json::parse(R"({"start":{"line":1,"character":19},"end":{"line":1,"character":21}})"));
  Initialize(true);
  Open("file:///tmp/q.html", Strict + "<body><p>a;");
  EXPECT_TRUE(Items("file:///tmp/q.html", 1, 11, ";").empty()) << "';' opens nothing in a page";
  Open("file:///tmp/r.html", Strict + "<body><!-- <");
  EXPECT_TRUE(Items("file:///tmp/r.html", 1, 12, "<").empty()) << "nor '<' in a comment";
  // A row is found by what it writes where its label differs ("@ Page" writes "Page").
  Open("file:///tmp/d.aspx", "<%@ Pa");
  EXPECT_EQ(Item(Items("file:///tmp/d.aspx", 0, 6), "@ Page")["filterText"], "Page");
}

// The item's edit applied as a client applies it: the range replaced by the
// new text, the caret ("|") at "$0" or after the text.
std::string Applied(const std::string& Text, const json& Item) {
  if (!Item.contains("textEdit")) return Text + "|" + Item["label"].get<std::string>();
  const auto& R = Item["textEdit"]["range"];
  const auto Offset = [&Text](const json& P) {
    size_t At = 0;
    for (int L = 0; L < P["line"].get<int>(); ++L) At = Text.find('\n', At) + 1;
    return At + P["character"].get<size_t>();
  };
  std::string New = Item["textEdit"]["newText"];
  const size_t Mark = New.find("$0");
  if (Mark != std::string::npos)
    New.replace(Mark, 2, "|");
  else
    New += "|";
  const size_t Start = Offset(R["start"]), End = Offset(R["end"]);
  return Text.substr(0, Start) + New + Text.substr(End);
}

TEST_F(Lsp, AcceptedItemsWriteWhatTheEngineWrites) {
  const struct {
    const char* Name;
    std::string Marked;
    const char* Uri;
    const char* Label;
    std::string Expected;
  } Cases[] = {
      {"an element before a <", Strict + "<body><p><|<span>", "file:///tmp/a.html", "br",
       Strict + "<body><p><br|<span>"},
      {"a server control after <asp:", "<%@ Page %>\n<html><body><form><asp:|", "file:///tmp/a.aspx",
       "asp:Label", "<%@ Page %>\n<html><body><form><asp:Label|"},
      {"an entity", Strict + "<body><p>&yu|", "file:///tmp/e.html", "&yuml;", Strict + "<body><p>&yuml;|"},
      {"an element in text", Strict + "<body><p>a |", "file:///tmp/t.html", "em", Strict + "<body><p>a <em|"},
      {"a value", Strict + "<body><form method=|", "file:///tmp/v.html", "post",
       Strict + "<body><form method=\"post\"|"},
      {"a closing tag", Strict + "<body><p><b>x</|", "file:///tmp/c.html", "</b>",
       Strict + "<body><p><b>x</b>|"},
      // Rows after the first were planned without the list's opening "":
      // they swallowed the text after the caret.
      {"a later value before >", "<!DOCTYPE html><body><form><input type=|>\n</form>", "file:///tmp/w.html",
       "checkbox", "<!DOCTYPE html><body><form><input type=\"checkbox\"|>\n</form>"},
      {"a later value in XSL", "<xsl:stylesheet><xsl:output method=|/>\n</xsl:stylesheet>",
       "file:///tmp/w.xsl", "xml", "<xsl:stylesheet><xsl:output method=\"xml\"|/>\n</xsl:stylesheet>"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    const size_t Caret = C.Marked.find('|');
    const std::string Text = C.Marked.substr(0, Caret) + C.Marked.substr(Caret + 1);
    Open(C.Uri, Text);
    const size_t LineStart = Text.rfind('\n', Caret - 1);
    const int Line =
        static_cast<int>(std::count(Text.begin(), Text.begin() + static_cast<long>(Caret), '\n'));
    const int Column = static_cast<int>(Caret - (LineStart == std::string::npos ? 0 : LineStart + 1));
    const json All = Items(C.Uri, Line, Column);
    const json Got = Item(All, C.Label);
    ASSERT_FALSE(Got.is_null()) << All.dump().substr(0, 400);
    EXPECT_EQ(Applied(Text, Got), C.Expected) << Got.dump();
    for (const auto& Row : All) EXPECT_TRUE(Row.contains("textEdit")) << Row.dump();
  }
}

// Rows whose editor would open a dialog: a unit row becomes a number and a
// choice of its units; "uri..." the files beside the document.
TEST_F(Lsp, DialogRowsBecomeSnippetsAndPaths) {
  Open("file:///tmp/unit.css", "a { width: ");
  const json Length = Item(Items("file:///tmp/unit.css", 0, 11), "length");
  ASSERT_FALSE(Length.is_null()) << Items("file:///tmp/unit.css", 0, 11).dump().substr(0, 300);
  EXPECT_EQ(Length["insertTextFormat"], 2);
  EXPECT_THAT(Length["textEdit"]["newText"].get<std::string>(),
              testing::MatchesRegex(R"(\$\{1:0\}\$\{2\|px,em,rem,.*,pc\|\};)"));
  Initialize(false);
  EXPECT_THAT(Item(Items("file:///tmp/unit.css", 0, 11), "length")["textEdit"]["newText"].get<std::string>(),
              testing::MatchesRegex("0[a-z]+;"))
      << "plain text: a number and the first unit";
  Initialize(true);

  const fs::path Dir = fs::temp_directory_path() / ("mlinsight-paths-" + std::to_string(::getpid()));
  fs::create_directories(Dir / "img");
  std::ofstream(Dir / "img" / "logo.png") << "x";
  std::ofstream(Dir / "site.css") << "x";
  std::ofstream(Dir / ".hidden") << "x";
  const std::string Uri = "file://" + (Dir / "page.html").string();
  const std::string Page = Strict + "<body><a href=\"\"><img src=\"img/lo\">";
  Open(Uri, Page);
  const json Here = Items(Uri, 1, 15);
  EXPECT_FALSE(Item(Here, "img/").is_null()) << Here.dump().substr(0, 300);
  EXPECT_EQ(Item(Here, "img/")["command"]["command"], "editor.action.triggerSuggest");
  EXPECT_FALSE(Item(Here, "site.css").is_null());
  EXPECT_TRUE(Item(Here, ".hidden").is_null());
  EXPECT_TRUE(Item(Here, "uri...").is_null());
  const json Logo = Item(Items(Uri, 1, 33), "logo.png");
  ASSERT_FALSE(Logo.is_null());
  EXPECT_EQ(Logo["textEdit"]["range"]["start"]["character"], 31) << "the name after the last /";
  // A sheet writes a file as url(name); inside url( the name alone.
  const std::string Sheet = "file://" + (Dir / "site.css").string();
  Open(Sheet, "a { background: ; } b { background: url(img/l");
  EXPECT_EQ(Item(Items(Sheet, 0, 16), "site.css")["textEdit"]["newText"], "url(site.css)");
  EXPECT_EQ(Item(Items(Sheet, 0, 45), "logo.png")["textEdit"]["newText"], "logo.png");
  // A folder of more files than a list holds: what the typed part begins.
  for (int I = 0; I < 1100; ++I) std::ofstream(Dir / ("f" + std::to_string(I) + ".png")) << "x";
  std::ofstream(Dir / "zz.png") << "x";
  Open(Uri, Strict + "<body><img src=\"zz\">");
  EXPECT_FALSE(Item(Items(Uri, 1, 18), "zz.png").is_null());
  Open(Uri, Strict + "<body><img src=\"f\">");
  EXPECT_TRUE(Completion(Uri, 1, 17)["isIncomplete"]) << "1,100 names begin with f";
  fs::remove_all(Dir);
}

TEST_F(Lsp, ColoursAreProvidedWithTheirPresentations) {
  Open("file:///tmp/c.html", Strict + "<body bgcolor=\"#ff0000\">\n<p style=\"color: rgb(0, 0, 255)\">");
  const auto Out = Server->Handle({{"jsonrpc", "2.0"},
                                   {"id", 8},
                                   {"method", "textDocument/documentColor"},
                                   {"params", {{"textDocument", {{"uri", "file:///tmp/c.html"}}}}}});
  ASSERT_EQ(Out.size(), 1u);
  const json& Colors = Out[0]["result"];
  ASSERT_EQ(Colors.size(), 2u) << Colors.dump();
  EXPECT_EQ(Colors[0]["range"],
            json::parse(R"({"start":{"line":1,"character":15},"end":{"line":1,"character":22}})"));
  EXPECT_EQ(Colors[0]["color"]["red"], 1.0);
  EXPECT_EQ(Colors[1]["range"]["start"], json::parse(R"({"line":2,"character":17})"));
  EXPECT_EQ(Colors[1]["color"]["blue"], 1.0);
  const auto Shown = Server->Handle({{"jsonrpc", "2.0"},
                                     {"id", 9},
                                     {"method", "textDocument/colorPresentation"},
                                     {"params",
                                      {{"textDocument", {{"uri", "file:///tmp/c.html"}}},
                                       {"color", {{"red", 0}, {"green", 1}, {"blue", 0}, {"alpha", 1}}},
                                       {"range", Colors[0]["range"]}}}});
  ASSERT_EQ(Shown.size(), 1u);
  EXPECT_EQ(Shown[0]["result"][0]["label"], "#00ff00");
  EXPECT_EQ(Shown[0]["result"][0]["textEdit"]["range"], Colors[0]["range"]);
}

// A property's one line from css.xml: on hover over its name (in a sheet and
// in a style attribute) and as the documentation of its item.
TEST_F(Lsp, PropertiesCarryTheirOneLine) {
  const auto HoverAt = [this](const std::string& Uri, int Line, int Character) {
    const auto Out = Server->Handle(
        {{"jsonrpc", "2.0"},
         {"id", 11},
         {"method", "textDocument/hover"},
         {"params",
          {{"textDocument", {{"uri", Uri}}}, {"position", {{"line", Line}, {"character", Character}}}}}});
    return Out.empty() ? json() : Out[0]["result"];
  };
  Open("file:///tmp/h.css", "a { display: block }");
  const json H = HoverAt("file:///tmp/h.css", 0, 6);
  ASSERT_FALSE(H.is_null());
  EXPECT_THAT(H["contents"]["value"].get<std::string>(), testing::StartsWith("display: "));
  EXPECT_EQ(H["range"], json::parse(R"({"start":{"line":0,"character":4},"end":{"line":0,"character":11}})"));
  EXPECT_TRUE(HoverAt("file:///tmp/h.css", 0, 15).is_null()) << "a value has none";
  Open("file:///tmp/v.css", "a { transition: color 1s }");
  EXPECT_TRUE(HoverAt("file:///tmp/v.css", 0, 18).is_null()) << "nor a value naming a property";
  Open("file:///tmp/h.html", Strict + "<p style=\"display: none\">");
  EXPECT_FALSE(HoverAt("file:///tmp/h.html", 1, 12).is_null());
  EXPECT_TRUE(HoverAt("file:///tmp/h.html", 1, 1).is_null()) << "markup has none";
  Open("file:///tmp/i.css", "a { disp");
  const json Display = Item(Items("file:///tmp/i.css", 0, 8), "display");
  EXPECT_EQ(Display["documentation"], H["contents"]["value"].get<std::string>().substr(9));
  EXPECT_EQ(Display["command"]["command"], "editor.action.triggerSuggest") << "its values open";
}

TEST_F(Lsp, StyleSheetsAndChanges) {
  Open("file:///tmp/site.css", "a { co");
  const json Color = Item(Items("file:///tmp/site.css", 0, 6), "color");
  ASSERT_FALSE(Color.is_null());
  EXPECT_EQ(Color["textEdit"]["newText"], "color:");
  Server->Handle({{"jsonrpc", "2.0"},
                  {"method", "textDocument/didChange"},
                  {"params",
                   {{"textDocument", {{"uri", "file:///tmp/site.css"}}},
                    {"contentChanges", {{{"text", "a { display: b"}}}}}}});
  const json Block = Item(Items("file:///tmp/site.css", 0, 14), "block");
  ASSERT_FALSE(Block.is_null());
  EXPECT_EQ(Block["textEdit"]["newText"], "block;");
  EXPECT_TRUE(Item(Items("file:///tmp/site.css", 0, 14), "length...").is_null()) << "editors cannot ask here";
  EXPECT_TRUE(Items("file:///tmp/nothing.txt", 0, 0).empty());
  Open("file:///tmp/b.css", "a { b: c } <");
  EXPECT_TRUE(Items("file:///tmp/b.css", 0, 12, "<").empty()) << "'<' opens nothing in a style sheet";
  Open("file:///tmp/c.css", "a { display:");
  EXPECT_FALSE(Items("file:///tmp/c.css", 0, 12, ":").empty());

  // 6,000 custom properties: the first 5,000, marked incomplete, until the
  // word typed narrows them.
  std::string Vars = ":root{";
  for (int I = 0; I < 6000; ++I) Vars += "--v" + std::to_string(I) + ":1;";
  Open("file:///tmp/vars.css", Vars + "}\na{color:var(--v59");
  for (const auto& [Character, Count, Incomplete] :
       {std::tuple{12, 5000u, true}, std::tuple{17, 111u, false}}) {
    const json Params{{"textDocument", {{"uri", "file:///tmp/vars.css"}}},
                      {"position", {{"line", 1}, {"character", Character}}}};
    const json Answer = Server->Handle(
        {{"jsonrpc", "2.0"}, {"id", 7}, {"method", "textDocument/completion"}, {"params", Params}})[0];
    EXPECT_EQ(Answer["result"]["items"].size(), Count) << Character;
    EXPECT_EQ(Answer["result"]["isIncomplete"], Incomplete) << Character;
  }
}

std::string Frame(const std::string& Body) {
  return "Content-Length: " + std::to_string(Body.size()) + "\r\n\r\n" + Body;
}

// Problems are pushed once input pauses, for the last version only, and go
// with the document; a client that pulls them gets none pushed.
TEST_F(Lsp, DiagnosticsFollowTheDocument) {
  const auto Note = [](const std::string& Method, json Params) {
    return Frame(json{{"jsonrpc", "2.0"}, {"method", Method}, {"params", std::move(Params)}}.dump());
  };
  const json Doc{{"uri", "file:///tmp/d.html"},
                 {"languageId", "html"},
                 {"version", 1},
                 {"text", Strict + "<p><img src=\"a\" hreff=\"x\"></p>"}};
  std::stringstream In(
      Note("textDocument/didOpen", {{"textDocument", Doc}}) +
      Note("textDocument/didChange",
           {{"textDocument", {{"uri", Doc["uri"]}}},
            {"contentChanges",
             {{{"range",
                {{"start", {{"line", 1}, {"character", 15}}}, {"end", {{"line", 1}, {"character", 25}}}}},
               {"text", ""}}}}})),
      Out;
  Server->Serve(In, Out);
  std::vector<json> Published;
  std::string Body;
  for (TLspReader Reader(Out); Reader.Next(Body) == TLspFrame::Body;) Published.push_back(json::parse(Body));
  ASSERT_EQ(Published.size(), 1u) << "one publication, of the last version";
  const json& Found = Published[0]["params"]["diagnostics"];
  ASSERT_EQ(Found.size(), 1u) << Found.dump();
  EXPECT_EQ(Found[0]["code"], "missing-attribute");
  EXPECT_EQ(Found[0]["range"],
            json::parse(R"({"start":{"line":1,"character":4},"end":{"line":1,"character":7}})"));
  const auto Closed = Server->Handle({{"jsonrpc", "2.0"},
                                      {"method", "textDocument/didClose"},
                                      {"params", {{"textDocument", {{"uri", Doc["uri"]}}}}}});
  ASSERT_EQ(Closed.size(), 1u);
  EXPECT_TRUE(Closed[0]["params"]["diagnostics"].empty());

  TLspServer Pulled(Test.Host());
  Pulled.Handle({{"jsonrpc", "2.0"},
                 {"id", 0},
                 {"method", "initialize"},
                 {"params", {{"capabilities", {{"textDocument", {{"diagnostic", json::object()}}}}}}}});
  EXPECT_TRUE(
      Pulled
          .Handle(
              {{"jsonrpc", "2.0"}, {"method", "textDocument/didOpen"}, {"params", {{"textDocument", Doc}}}})
          .empty());
  EXPECT_TRUE(Pulled.Idle().empty());
  const auto Pull = [&](json Params) {
    Params["textDocument"] = {{"uri", Doc["uri"]}};
    return Pulled
        .Handle({{"jsonrpc", "2.0"}, {"id", 3}, {"method", "textDocument/diagnostic"}, {"params", Params}})
        .at(0)["result"];
  };
  const json Full = Pull(json::object());
  EXPECT_EQ(Full["kind"], "full");
  EXPECT_EQ(Full["items"].size(), 2u) << Full.dump();
  EXPECT_EQ(Pull({{"previousResultId", Full["resultId"]}})["kind"], "unchanged");
}

// Each fix is one edit, offered at its problem; applying it mends it.
TEST_F(Lsp, CodeActionsMendTheirProblems) {
  const std::string Loose = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n";
  const struct {
    const char* Name;
    std::string Marked;  // '|' where the client asks
    std::string Fixed;
  } Cases[] = {
      {"required attribute", Strict + "<p><i|mg src=\"a\"></p>", Strict + "<p><img src=\"a\" alt=\"\"></p>"},
      {"in an XML empty tag",
       XHtml + "<html><head><title>t</title></head><body><p><i|mg src=\"a\" /></p></body></html>",
       XHtml + "<html><head><title>t</title></head><body><p><img src=\"a\" alt=\"\" /></p></body></html>"},
      {"end tag", XHtml + "<html><head><title>t</title></head><body><d|iv></body></html>",
       XHtml + "<html><head><title>t</title></head><body><div></div></body></html>"},
      {"nearest value", Loose + "<table><tr><td align=\"cen|tre\">x</td></tr></table>",
       Loose + "<table><tr><td align=\"center\">x</td></tr></table>"},
      {"nearest name", Strict + "<p><a hre|ff=\"x\">y</a></p>", Strict + "<p><a href=\"x\">y</a></p>"},
      {"duplicate", "<!DOCTYPE html>\n<p class=\"a\"  cla|ss=b>x</p>",
       "<!DOCTYPE html>\n<p class=\"a\">x</p>"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    const size_t Caret = C.Marked.find('|');
    const std::string Text = C.Marked.substr(0, Caret) + C.Marked.substr(Caret + 1);
    Open("file:///tmp/fix.html", Text);
    const json At = LspPosition(Text, static_cast<int32_t>(Caret));
    const auto Out = Server->Handle({{"jsonrpc", "2.0"},
                                     {"id", 4},
                                     {"method", "textDocument/codeAction"},
                                     {"params",
                                      {{"textDocument", {{"uri", "file:///tmp/fix.html"}}},
                                       {"range", {{"start", At}, {"end", At}}},
                                       {"context", {{"diagnostics", json::array()}}}}}});
    const json& Actions = Out.at(0)["result"];
    ASSERT_EQ(Actions.size(), 1u) << Actions.dump();
    const json& Edit = Actions[0]["edit"]["changes"]["file:///tmp/fix.html"][0];
    const int32_t From = LspOffset(Text, Edit["range"]["start"]["line"], Edit["range"]["start"]["character"]);
    const int32_t To = LspOffset(Text, Edit["range"]["end"]["line"], Edit["range"]["end"]["character"]);
    EXPECT_EQ(Text.substr(0, From) + Edit["newText"].get<std::string>() + Text.substr(To), C.Fixed);
  }
}

// Every malformed message gets the protocol's answer, and the server then
// still answers a valid completion.
TEST_F(Lsp, AnyMessageGetsItsAnswerAndTheServerGoesOn) {
  Open("file:///tmp/page.html", Strict + "<body><table>");
  const std::string Valid = Frame(
      R"({"jsonrpc":"2.0","id":99,"method":"textDocument/completion","params":{"textDocument":{"uri":"file:///tmp/page.html"},"position":{"line":1,"character":13}}})");
  const auto Times = [](const std::string& S, int N) {
    std::string R;
    for (int I = 0; I < N; ++I) R += S;
    return R;
  };
  const struct {
    const char* Name;
    std::string Input;
    int Code;  // 0: no answer
  } Cases[] = {
      {"invalid JSON", Frame("{\"jsonrpc\":"), -32700},
      // A frame without a usable length leaves its body in front of the next header.
      {"no Content-Length", "Content-Type: x\r\n\r\n{}", -32700},
      {"negative Content-Length", "Content-Length: -5\r\n\r\n{\"a\":1}", -32700},
      {"huge Content-Length", "Content-Length: 99999999999999999999\r\n\r\n{}", -32700},
      {"a Content-Length short of its body", "Content-Length: 5\r\n\r\n" + Frame("{}"), -32700},
      {"a Content-Length short by ten kilobytes",
       "Content-Length: 5\r\n\r\n{\"jsonrpc\":\"2.0\",\"method\":\"x\",\"params\":{\"text\":\"" +
           std::string(10'000, 'x') + "\"}}",
       -32700},
      {"an unknown header of a megabyte", "X-Long: " + std::string(1 << 20, 'x') + "\r\n", 0},
      {"a header named after Content-Length",
       "Content-Length: 30\r\nX-Old-Content-Length: 999\r\n\r\n{\"jsonrpc\":\"2.0\",\"method\":\"x\"}", 0},
      {"params nested a million deep",
       Frame(R"({"jsonrpc":"2.0","id":1,"method":"x","params":)" + Times("{\"a\":", 1'000'000) + "1" +
             std::string(1'000'001, '}')),
       -32700},
      {"an id nested a million deep",
       Frame(R"({"jsonrpc":"2.0","id":)" + std::string(1'000'000, '[') + std::string(1'000'000, ']') +
             R"(,"method":"x"})"),
       -32700},
      {"a header line of a megabyte", "Content-Length: 1" + std::string(1 << 20, '0') + "\r\n\r\n{}", -32700},
      {"an array", Frame("[1,2]"), -32600},
      {"a number", Frame("7"), -32600},
      {"no method", Frame(R"({"jsonrpc":"2.0","id":1})"), -32600},
      {"method not a string", Frame(R"({"jsonrpc":"2.0","id":1,"method":5})"), -32600},
      {"id an object", Frame(R"({"jsonrpc":"2.0","id":{},"method":"shutdown"})"), -32600},
      {"a response", Frame(R"({"jsonrpc":"2.0","id":1,"result":null})"), 0},
      {"unknown method", Frame(R"({"jsonrpc":"2.0","id":1,"method":"x/y"})"), -32601},
      {"params a string",
       Frame(R"({"jsonrpc":"2.0","id":1,"method":"textDocument/completion","params":"x"})"), -32602},
      {"missing position",
       Frame(
           R"({"jsonrpc":"2.0","id":1,"method":"textDocument/completion","params":{"textDocument":{"uri":"a"}}})"),
       -32602},
      {"position out of range",
       Frame(
           R"({"jsonrpc":"2.0","id":1,"method":"textDocument/completion","params":{"textDocument":{"uri":"a"},"position":{"line":1e300,"character":-1}}})"),
       -32602},
      {"null trigger character",
       Frame(
           R"({"jsonrpc":"2.0","id":1,"method":"textDocument/completion","params":{"textDocument":{"uri":"file:///tmp/page.html"},"position":{"line":1,"character":13},"context":{"triggerKind":2,"triggerCharacter":null}}})"),
       0},
      {"a notification with an id",
       Frame(
           R"({"jsonrpc":"2.0","id":1,"method":"textDocument/didClose","params":{"textDocument":{"uri":"x"}}})"),
       -32601},
      {"a notification with bad params",
       Frame(R"({"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":7}})"), 0},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    std::stringstream In(C.Input + Valid), Out;
    Server->Serve(In, Out);
    std::vector<json> Answers;
    std::string Body;
    for (TLspReader Reader(Out); Reader.Next(Body) == TLspFrame::Body;)
      if (json M = json::parse(Body); !M.contains("method"))
        Answers.push_back(std::move(M));  // no notification
    ASSERT_FALSE(Answers.empty());
    if (C.Code != 0) {
      EXPECT_EQ(Answers.front()["error"]["code"], C.Code) << Answers.front().dump();
    }
    const json& Last = Answers.back();
    EXPECT_EQ(Last["id"], 99) << Last.dump();
    EXPECT_FALSE(Last["result"]["items"].empty()) << "the valid request is still answered";
  }
  // After shutdown a request is refused, and exit ends the loop.
  std::stringstream In(Frame(R"({"jsonrpc":"2.0","id":5,"method":"shutdown"})") + Valid +
                       Frame(R"({"jsonrpc":"2.0","method":"exit"})") + Valid),
      Out;
  Server->Serve(In, Out);
  std::string Body;
  TLspReader Reader(Out);
  ASSERT_EQ(Reader.Next(Body), TLspFrame::Body);
  EXPECT_EQ(json::parse(Body)["result"], nullptr);
  ASSERT_EQ(Reader.Next(Body), TLspFrame::Body);
  EXPECT_EQ(json::parse(Body)["error"]["code"], -32600);
  EXPECT_EQ(Reader.Next(Body), TLspFrame::End) << "nothing after exit";
  EXPECT_TRUE(Server->Exited());
}

// The engine's messages go to the client once each, and the server keeps
// none of them (a session runs for days).
// Half a surrogate pair in a didOpen: the text is taken with U+FFFD in its
// place, escapes around it as they were; a document never opened says so.
TEST_F(Lsp, TextWithHalfASurrogatePairIsTakenIn) {
  const std::string Open =
      R"({"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":{"uri":"file:///tmp/s.html",)"
      R"("languageId":"html","version":1,"text":"<!DOCTYPE html><body><p>\\ud800 \ud83d\ude00 \ud800x<"}}})";
  EXPECT_TRUE(Server->HandleText(Open).empty());
  const json L = Items("file:///tmp/s.html", 0, 38);
  EXPECT_FALSE(Item(L, "em").is_null()) << L.dump().substr(0, 300);
  const auto Out = Server->Handle({{"jsonrpc", "2.0"},
                                   {"id", 8},
                                   {"method", "textDocument/completion"},
                                   {"params",
                                    {{"textDocument", {{"uri", "file:///tmp/never.html"}}},
                                     {"position", {{"line", 0}, {"character", 0}}}}}});
  ASSERT_EQ(Out.size(), 2u);
  EXPECT_TRUE(Out[0]["result"]["items"].empty());
  EXPECT_THAT(Out[1]["params"]["message"].get<std::string>(), testing::HasSubstr("is not open"));
}

TEST_F(Lsp, MessagesArePassedOnAndNotKept) {
  Open("file:///tmp/page.html", "<!DOCTYPE x SYSTEM \"nothing.dtd\">\n<");
  const auto Logs = [this] {
    std::vector<std::string> R;
    const json Request{{"jsonrpc", "2.0"},
                       {"id", 7},
                       {"method", "textDocument/completion"},
                       {"params",
                        {{"textDocument", {{"uri", "file:///tmp/page.html"}}},
                         {"position", {{"line", 1}, {"character", 1}}}}}};
    for (const auto& M : Server->Handle(Request))
      if (M.value("method", "") == "window/logMessage") R.push_back(M["params"]["message"]);
    return R;
  };
  const auto First = Logs();
  ASSERT_EQ(First.size(), 1u);
  EXPECT_THAT(First[0], testing::HasSubstr("No schema for \"nothing.dtd\""));
  EXPECT_TRUE(Test.Host().Messages().empty());
  EXPECT_TRUE(Logs().empty());
}

TEST_F(Lsp, IncrementalChangesLanguagesAndEncodings) {
  Open("file:///tmp/inc.html", Strict + "<body>\n<p>x</p>\n");
  const auto Change = [&](int L1, int C1, int L2, int C2, const std::string& Text) {
    Server->Handle(
        {{"jsonrpc", "2.0"},
         {"method", "textDocument/didChange"},
         {"params",
          {{"textDocument", {{"uri", "file:///tmp/inc.html"}, {"version", 2}}},
           {"contentChanges",
            {{{"range",
               {{"start", {{"line", L1}, {"character", C1}}}, {"end", {{"line", L2}, {"character", C2}}}}},
              {"text", Text}}}}}}});
  };
  Change(2, 0, 2, 8, "<table>");  // replaces "<p>x</p>"
  EXPECT_FALSE(Item(Items("file:///tmp/inc.html", 2, 7), "tbody").is_null());
  Change(2, 7, 2, 7, "<t");  // types at the end
  EXPECT_FALSE(Item(Items("file:///tmp/inc.html", 2, 9), "tbody").is_null());
  // A request on the same version is answered again; after a change at the
  // same position, from the new text.
  EXPECT_FALSE(Item(Items("file:///tmp/inc.html", 2, 9), "tbody").is_null());
  Change(2, 0, 2, 9, "<ul>   <l");
  EXPECT_TRUE(Item(Items("file:///tmp/inc.html", 2, 9), "tbody").is_null());
  EXPECT_FALSE(Item(Items("file:///tmp/inc.html", 2, 9), "li").is_null());
  // The client's language decides over the file's name.
  Open("file:///tmp/page.php", Strict + "<body><table>", "html");
  EXPECT_FALSE(Item(Items("file:///tmp/page.php", 1, 13), "tbody").is_null());
  Open("file:///tmp/notes.txt", "a { co", "css");
  EXPECT_FALSE(Item(Items("file:///tmp/notes.txt", 0, 6), "color").is_null());
  // UTF-8 positions when the client offers them: bytes, not UTF-16 units.
  TLspServer Utf8(Test.Host());
  const auto Init = Utf8.Handle(
      {{"jsonrpc", "2.0"},
       {"id", 1},
       {"method", "initialize"},
       {"params", {{"capabilities", {{"general", {{"positionEncodings", {"utf-8", "utf-16"}}}}}}}}});
  EXPECT_EQ(Init[0]["result"]["capabilities"]["positionEncoding"], "utf-8");
  Utf8.Handle(
      {{"jsonrpc", "2.0"},
       {"method", "textDocument/didOpen"},
       {"params",
        {{"textDocument",
          {{"uri", "file:///tmp/u.html"}, {"languageId", "html"}, {"text", Strict + "<p>\xC3\xA9<a hr"}}}}}});
  const auto Out = Utf8.Handle({{"jsonrpc", "2.0"},
                                {"id", 2},
                                {"method", "textDocument/completion"},
                                {"params",
                                 {{"textDocument", {{"uri", "file:///tmp/u.html"}}},
                                  {"position", {{"line", 1}, {"character", 10}}}}}});
  const json Href = Item(Out[0]["result"]["items"], "href");
  ASSERT_FALSE(Href.is_null()) << Out[0].dump();
  EXPECT_EQ(Href["textEdit"]["range"]["start"]["character"], 8)
      << "a byte offset after the two-byte character";
}

// What typing '>' or '=' makes in the engine reaches the client as edits,
// and as the snippet VS Code's HTML client asks for (html/autoInsert).
TEST_F(Lsp, TypingBringsTheEnginesEdits) {
  const struct {
    const char* Name;
    std::string Text;  // the client's text, the key already typed
    int Line, Character;
    const char* Key;
    std::string Expected;  // the text after the edits; empty: no edit
    json AutoInsert;       // the answer to html/autoInsert
  } Cases[] = {
      // Clients put the caret after an on-type edit: where it belongs inside,
      // only html/autoInsert (a snippet) brings the edit.
      {"closing tag", Strict + "<body><div>", 1, 11, ">", "", "$0</div>"},
      {"value quotes", Strict + "<body><td align=", 1, 16, "=", "", "\"$0\""},
      {"no edit after text", Strict + "<body><p>a>", 1, 11, ">", "", nullptr},
      {"XHTML childless element: not an insertion after the key", XHtml + "<html><body><p><br>", 1, 19, ">",
       XHtml + "<html><body><p><br />", nullptr},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    Open("file:///tmp/type.html", C.Text);
    const auto Out = Server->Handle({{"jsonrpc", "2.0"},
                                     {"id", 4},
                                     {"method", "textDocument/onTypeFormatting"},
                                     {"params",
                                      {{"textDocument", {{"uri", "file:///tmp/type.html"}}},
                                       {"position", {{"line", C.Line}, {"character", C.Character}}},
                                       {"ch", C.Key},
                                       {"options", {{"tabSize", 2}, {"insertSpaces", true}}}}}});
    ASSERT_FALSE(Out.empty());
    const auto Auto = Server->Handle({{"jsonrpc", "2.0"},
                                      {"id", 5},
                                      {"method", "html/autoInsert"},
                                      {"params",
                                       {{"textDocument", {{"uri", "file:///tmp/type.html"}}},
                                        {"position", {{"line", C.Line}, {"character", C.Character}}},
                                        {"kind", std::string(C.Key) == "=" ? "autoQuote" : "autoClose"}}}});
    ASSERT_EQ(Auto.size(), 1u);
    EXPECT_EQ(Auto[0]["result"], C.AutoInsert) << Auto[0].dump();
    const json& Edits = Out[0]["result"];
    if (C.Expected.empty()) {
      EXPECT_TRUE(Edits.empty()) << Edits.dump();
      continue;
    }
    ASSERT_EQ(Edits.size(), 1u) << Out[0].dump();
    const int32_t Start =
        LspOffset(C.Text, Edits[0]["range"]["start"]["line"], Edits[0]["range"]["start"]["character"]);
    const int32_t End =
        LspOffset(C.Text, Edits[0]["range"]["end"]["line"], Edits[0]["range"]["end"]["character"]);
    std::string After = C.Text;
    After.replace(static_cast<size_t>(Start), static_cast<size_t>(End - Start),
                  Edits[0]["newText"].get<std::string>());
    EXPECT_EQ(After, C.Expected);
  }
}

// The server's reader gives what the library's own gives, or nothing.
TEST(LspFraming, BodiesReadAsTheLibraryReadsThem) {
  for (const std::string Body :
       {R"({"a":[1,-2,{"b":[true,null,"x\u00e9"]}],"c":{"d":1.5,"d":2,"e":{}},"f":[[],[[3]]]})", "[]",
        "\"s\"", "7", R"({"a":1}x)", R"({"a":)", "[1,]", "", R"({"a" 1})"}) {
    const json Ours = LspParse(Body), Theirs = json::parse(Body, nullptr, false);
    EXPECT_EQ(Ours.is_discarded(), Theirs.is_discarded()) << Body;
    if (!Theirs.is_discarded()) {
      EXPECT_EQ(Ours, Theirs) << Body;
    }
  }
  // Escapes wherever the body's pieces (64 KiB) are cut: half a pair reads
  // as U+FFFD, a whole pair and an escaped backslash as they are.
  const std::pair<std::string, std::string> Escapes[] = {{"\\ud800x", "\\ufffdx"},
                                                         {"\\ud83d\\ude00", "\\ud83d\\ude00"},
                                                         {"\\\\ud800", "\\\\ud800"},
                                                         {"\\udc00\\ud800", "\\ufffd\\ufffd"}};
  for (const auto& [Written, Read] : Escapes)
    for (size_t At = (1 << 16) - 14; At <= (1 << 16) + 1; ++At) {
      const std::string Pad(At - 6, 'a');
      EXPECT_EQ(LspParse("{\"t\":\"" + Pad + Written + "\"}"), json::parse("{\"t\":\"" + Pad + Read + "\"}"))
          << Written << " at " << At;
    }
}

TEST(LspFraming, RoundTripAndPositions) {
  std::stringstream S;
  WriteLspMessage(S, {{"a", "é"}});
  WriteLspMessage(S, {{"b", 1}});
  std::string Body;
  TLspReader Reader(S);
  ASSERT_EQ(Reader.Next(Body), TLspFrame::Body);
  EXPECT_EQ(json::parse(Body)["a"], "é");
  ASSERT_EQ(Reader.Next(Body), TLspFrame::Body);
  EXPECT_EQ(json::parse(Body)["b"], 1);
  EXPECT_EQ(Reader.Next(Body), TLspFrame::End);
  const std::string Text = "a\n\xF0\x9F\x98\x80x\r\nz";  // an emoji is two UTF-16 units
  EXPECT_EQ(LspOffset(Text, 1, 2), 6);
  EXPECT_EQ(LspOffset(Text, 1, 3), 7);
  EXPECT_EQ(LspOffset(Text, 2, 0), 9);
  EXPECT_EQ(LspPosition(Text, 7), json::parse(R"({"line":1,"character":3})"));
  // A position read back gives the offset it came from, at every character
  // start, in both units.
  for (const std::string Mixed :
       {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\r\na", "\n\r\xF0\x9F\x98\x80x\r\r\n"}) {
    for (size_t Offset = 0; Offset <= Mixed.size(); ++Offset) {
      if (Offset < Mixed.size() && (static_cast<unsigned char>(Mixed[Offset]) & 0xC0) == 0x80) continue;
      if (Offset > 0 && Mixed[Offset - 1] == '\r') continue;  // inside CR LF
      for (const bool Utf8 : {false, true}) {
        const json P = LspPosition(Mixed, static_cast<int32_t>(Offset), Utf8);
        EXPECT_EQ(LspOffset(Mixed, P["line"], P["character"], Utf8), static_cast<int32_t>(Offset)) << Offset;
      }
    }
  }
  // Only files here have a folder: their own DTD and path items come from it.
  const std::pair<const char*, const char*> Uris[] = {
      {"file:///tmp/a%20b.html", "/tmp/a b.html"},
      {"file://localhost/tmp/x.html", "/tmp/x.html"},
      {"file:///tmp/%zz%4", "/tmp/%zz%4"},
      {"file:///tmp/a%00b", "/tmp/a%00b"},
      {"untitled:Untitled-1", "Untitled-1"},
      {"untitled:sub/page.html", "page.html"},
      {"file://server/share/page.html", "page.html"},
      {"https://example.org/dir/page.html", "page.html"},
  };
  for (const auto& [Uri, Path] : Uris) EXPECT_EQ(LspUriToPath(Uri), Path) << Uri;
}

// Every line start found from a line number is where the position of that
// offset says the line starts, whatever mix of LF, CR LF, lone CR and LF CR.
TEST(LspFraming, LineStartsOverEveryKindOfBreak) {
  for (const std::string Text : {"a\nb\r\nc\rd\n\re\r\r\nf", "\r\n\r\n\rx", "x\n\n\ny", "only\r", "\n\r"}) {
    int64_t Line = 0;
    for (size_t I = 0; I <= Text.size(); ++I) {
      const json P = LspPosition(Text, static_cast<int32_t>(I));
      if (P["character"] != 0 || P["line"] != Line) continue;
      EXPECT_EQ(LspOffset(Text, Line, 0), static_cast<int32_t>(I))
          << testing::PrintToString(Text) << " line " << Line;
      ++Line;
    }
    EXPECT_EQ(LspOffset(Text, Line + 5, 0), static_cast<int32_t>(Text.size())) << "past the end";
  }
}

}  // namespace
}  // namespace kel
