// The command-line tool as a user runs it: arguments in, text and exit status out.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <thread>

#include "tests/support/TestHost.h"

namespace {

namespace fs = std::filesystem;

struct TRun {
  int Status = -1;
  std::string Out, Err;
};

std::string Quote(const std::string& S) {
  std::string Q = "'";
  for (char C : S) Q += C == '\'' ? std::string("'\\''") : std::string(1, C);
  return Q + "'";
}

using kel::test::Slurp;

TRun RunTool(const std::vector<std::string>& Args, const fs::path& Cwd = {}) {
  const fs::path Dir = fs::temp_directory_path() / ("mlinsight-cli-" + std::to_string(::getpid()));
  fs::create_directories(Dir);
  // The user's own options must not leak into the runs.
  std::string Cmd = Cwd.empty() ? std::string() : "cd " + Quote(Cwd.string()) + " && ";
  Cmd += "XDG_CONFIG_HOME=" + Quote(Dir.string()) + " " + Quote(MLINSIGHT_EXE);
  for (const auto& A : Args) Cmd += " " + Quote(A);
  Cmd += " >" + Quote((Dir / "out").string()) + " 2>" + Quote((Dir / "err").string());
  TRun R;
  const int Raw = std::system(Cmd.c_str());
  R.Status = WIFEXITED(Raw) ? WEXITSTATUS(Raw) : -1;
  R.Out = Slurp(Dir / "out");
  R.Err = Slurp(Dir / "err");
  fs::remove_all(Dir);
  return R;
}

fs::path SchemasBesideBin() {
  return fs::canonical(fs::path(MLINSIGHT_EXE).parent_path().parent_path() / "schemas");
}

TEST(Cli, SchemaFileNamesTheFileInTheSchemasFolderBesideBin) {
  struct Case {
    std::vector<std::string> Args;
    std::string File;
  } Cases[] = {
      {{"schema-file", "--", "-//W3C//DTD HTML 4.01//EN"}, "strict.dtd"},
      {{"schema-file", "--mode", "resx", ""}, "resxschema.xsd"},
      {{"schema-file", "http://www.w3.org/TR/html4/loose.dtd"}, "loose.dtd"},
      {{"schema-file", "--mode", "XSL", ""}, "xsl.dtd"},
      {{"schema-file", "--mode", "wml", "--", "-//W3C//DTD HTML 4.01 Transitional//EN"}, "wml12.dtd"},
  };
  for (const auto& C : Cases) {
    const TRun R = RunTool(C.Args);
    ASSERT_EQ(R.Status, 0) << R.Err;
    ASSERT_FALSE(R.Out.empty());
    const fs::path Printed(R.Out.substr(0, R.Out.size() - 1));
    EXPECT_TRUE(Printed.is_absolute()) << R.Out;
    EXPECT_EQ(Printed.filename(), C.File);
    EXPECT_EQ(fs::canonical(Printed.parent_path()), SchemasBesideBin());
  }
}

// A file that cannot be read is 1; a command line that cannot be used is 2.
TEST(Cli, BadInputGivesOneLineAndItsStatus) {
  struct Case {
    std::vector<std::string> Args;
    const char* Says;
    int Status = 2;
  } Cases[] = {
      {{"chunks", "/nonexistent/page.html"}, "cannot open /nonexistent/page.html", 1},
      {{"chunks", "/"}, "cannot read /", 1},
      {{"dtd", "/nonexistent/missing.dtd"}, "cannot read /nonexistent/missing.dtd", 1},
      {{"dtd", "/dev/zero"}, "cannot read /dev/zero: not a regular file", 1},
      {{"schema-file", "--mode", "svg", ""}, "svg"},
      {{"frobnicate"}, "frobnicate"},
      {{}, "subcommand"},
      {{"chunks"}, "file"},
      {{"check", "--format", "xml", "p.html"}, "unknown format xml"},
      {{"check", "--rules", "nope=off", "p.html"}, "not a rule setting: nope=off"},
      {{"check", "/nonexistent/p.html"}, "/nonexistent/p.html"},
  };
  for (const auto& C : Cases) {
    const TRun R = RunTool(C.Args);
    EXPECT_EQ(R.Status, C.Status) << C.Says;
    EXPECT_NE(R.Err.find(C.Says), std::string::npos) << R.Err;
    EXPECT_EQ(std::count(R.Err.begin(), R.Err.end(), '\n'), 1) << R.Err;
    EXPECT_TRUE(R.Out.empty()) << R.Out;
  }
}

fs::path WritePage(const std::string& Text) {
  const fs::path File =
      fs::temp_directory_path() / ("mlinsight-page-" + std::to_string(::getpid()) + ".html");
  std::ofstream(File, std::ios::binary) << Text;
  return File;
}

// A folder stands for the pages below it; columns count characters; the
// status tells whether an error was found.
TEST(CliCheck, ProblemsInEachFormat) {
  const fs::path Dir = fs::temp_directory_path() / ("mlinsight-check-" + std::to_string(::getpid()));
  fs::create_directories(Dir / "sub");
  std::ofstream(Dir / "sub" / "bad.html", std::ios::binary)
      << "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\n<p>\xC3\xA9t\xC3\xA9 <img src=\"a\"></p>\n";
  std::ofstream(Dir / "good.html", std::ios::binary) << "<!DOCTYPE html>\n<title>t</title><p>x</p>\n";
  std::ofstream(Dir / "notes.txt", std::ios::binary) << "<blink>";
  const std::string Bad = (Dir / "sub" / "bad.html").string();
  const TRun Text = RunTool({"check", Dir.string()});
  EXPECT_EQ(Text.Status, 1) << Text.Err;
  EXPECT_EQ(Text.Out, Bad + ":2:9: error: <img> requires the attribute \"alt\" [missing-attribute]\n");
  EXPECT_EQ(RunTool({"check", "--rules", "missing-attribute=warning", Bad}).Status, 0);
  const TRun Good = RunTool({"check", (Dir / "good.html").string()});
  EXPECT_EQ(Good.Status, 0);
  EXPECT_EQ(Good.Out, "");

  const auto Json = nlohmann::json::parse(RunTool({"check", "--format", "json", Bad}).Out);
  ASSERT_EQ(Json.size(), 1u);
  EXPECT_EQ(Json[0]["endColumn"], 12);
  EXPECT_EQ(Json[0]["rule"], "missing-attribute");
  const auto Sarif = nlohmann::json::parse(RunTool({"check", "--format", "sarif", Bad}).Out);
  EXPECT_EQ(Sarif["version"], "2.1.0");
  const auto& Result = Sarif["runs"][0]["results"][0];
  EXPECT_EQ(Result["ruleId"], "missing-attribute");
  EXPECT_EQ(Result["level"], "error");
  EXPECT_EQ(Result["locations"][0]["physicalLocation"]["region"]["startColumn"], 9);
  fs::remove_all(Dir);
}

TEST(Cli, CaretPrintsTheParsersStateAsJson) {
  // Line 2 holds a multi-byte character before the caret: COL counts characters.
  const fs::path File = WritePage("<!DOCTYPE x PUBLIC \"-//X//Y\">\n<p>\xC3\xA9<a href=\"ab\" title='t>");
  struct Case {
    const char* Position;
    const char* CurrentTag;
    const char* CurrentAttr;
    bool InTag;
  } Cases[] = {
      {"2:14", "a", "href", true},   // inside "ab"
      {"2:4", "p", nullptr, false},  // after "<p>"
      {"2:8", "a", nullptr, true},   // after "<a"
  };
  for (const auto& C : Cases) {
    const TRun R = RunTool({"caret", File.string(), C.Position, "--json"});
    ASSERT_EQ(R.Status, 0) << R.Err;
    const auto J = nlohmann::json::parse(R.Out);
    EXPECT_EQ(J["currentTag"], C.CurrentTag) << C.Position;
    EXPECT_EQ(J["currentAttr"], C.CurrentAttr ? nlohmann::json(C.CurrentAttr) : nlohmann::json())
        << C.Position;
    EXPECT_EQ(J["inTag"], C.InTag) << C.Position;
    EXPECT_EQ(J["docTypeIdentifier"], "-//X//Y");
    // An unknown public identifier takes today's HTML.
    EXPECT_EQ(fs::path(J["schemaFile"].get<std::string>()).filename(), "html5.dtd");
  }
  const TRun Example = RunTool({"caret", MLINSIGHT_SOURCE_DIR "/examples/index.html", "10:19", "--json"});
  EXPECT_EQ(fs::path(nlohmann::json::parse(Example.Out)["schemaFile"].get<std::string>()).filename(),
            "strict.dtd");
  const TRun Events = RunTool({"caret", File.string(), "2:4", "--json", "--events"});
  const auto J = nlohmann::json::parse(Events.Out);
  ASSERT_GE(J["events"].size(), 2u);
  EXPECT_EQ(J["events"].back()["type"], "open");
  EXPECT_EQ(J["events"].back()["node"], "p");

  for (const char* Bad : {"2", "0:1", "a:b", "2:x"}) {
    const TRun R = RunTool({"caret", File.string(), Bad});
    EXPECT_EQ(R.Status, 2) << Bad;
  }
  fs::remove(File);
  EXPECT_EQ(RunTool({"caret", "/nonexistent.html", "1:1"}).Status, 1);
}

TEST(Cli, VersionAndHelp) {
  const TRun V = RunTool({"--version"});
  EXPECT_EQ(V.Status, 0);
  EXPECT_EQ(V.Out.rfind("mlinsight ", 0), 0u) << V.Out;
  const TRun H = RunTool({"--help"});
  EXPECT_EQ(H.Status, 0);
  EXPECT_NE(H.Out.find("schema-file"), std::string::npos);
  EXPECT_NE(H.Out.find("chunks"), std::string::npos);
}

using nlohmann::json;

const std::string Page = std::string(MLINSIGHT_SOURCE_DIR) + "/examples/index.html";
const std::string XPage = std::string(MLINSIGHT_SOURCE_DIR) + "/examples/contact.html";

json Complete(std::vector<std::string> Args) {
  Args.insert(Args.begin(), "complete");
  Args.push_back("--json");
  const TRun R = RunTool(Args);
  EXPECT_EQ(R.Status, 0) << R.Err;
  return R.Status == 0 ? json::parse(R.Out) : json();
}

std::vector<std::string> Texts(const json& J) {
  std::vector<std::string> R;
  for (const auto& I : J["items"])
    R.push_back(I["text"].get<std::string>().empty() ? I["type"].get<std::string>().substr(1)
                                                     : I["text"].get<std::string>());
  return R;
}

bool Has(const std::vector<std::string>& V, const std::string& S) {
  return std::find(V.begin(), V.end(), S) != V.end();
}

TEST(CliComplete, ListsWhatTheSchemaAllowsAtTheCaret) {
  struct TCase {
    std::vector<std::string> Args;
    std::string Context;
    std::vector<std::string> Present, Absent;
  } Cases[] = {
      {{Page, "23:56"}, "element", {"caption", "colgroup", "thead", "tfoot", "tbody", "tr"}, {"div"}},
      {{Page, "10:12"}, "attribute", {"name", "title"}, {"href"}},
      {{Page, "41:22"}, "value", {"text", "password", "checkbox"}, {}},
      {{Page, "24:16", "--type", "&", "--filter", "md"}, "entity", {"mdash"}, {"nbsp"}},
      {{XPage, "11:6"}, "element", {"br", "em", "a"}, {"p", "div"}},
  };
  for (const auto& C : Cases) {
    const json J = Complete(C.Args);
    EXPECT_EQ(J["manager"], "Markup Language");
    EXPECT_EQ(J["context"], C.Context) << C.Args[1];
    const auto T = Texts(J);
    for (const auto& P : C.Present) EXPECT_TRUE(Has(T, P)) << C.Args[1] << " " << P;
    for (const auto& A : C.Absent) EXPECT_FALSE(Has(T, A)) << C.Args[1] << " " << A;
  }
  EXPECT_EQ(Complete({Page, "10:12"})["items"][0]["class"], "Attribute");
  const json Values = Complete({Page, "41:22"});
  EXPECT_EQ(Values["items"][0]["text"], "button") << "a value row carries its text";
  EXPECT_EQ(Values["items"][0]["class"], "Attribute Value");
}

TEST(CliComplete, AcceptingPrintsTheEditsAndTheCaret) {
  const std::string Before = Slurp(Page);
  const std::string Typing = std::string(MLINSIGHT_SOURCE_DIR) + "/examples/typing.html";
  json J = Complete({Typing, "6:22", "--accept", "href"});
  EXPECT_EQ(J["accepted"], "href");
  EXPECT_EQ(J["edits"], json::parse(R"([{"start":[6,22],"end":[6,22],"newText":"href=\"\""}])"));
  EXPECT_EQ(J["caret"], json::parse("[6,28]"));
  EXPECT_EQ(Complete({Typing, "6:22", "--accept", "href", "--no-quotes"})["edits"][0]["newText"], "href=");
  EXPECT_EQ(Complete({Typing, "7:7", "--type", ">"})["edits"][0]["newText"], "></table>");
  J = Complete({Page, "23:56", "--accept", "tbody", "--key", "space"});
  EXPECT_EQ(J["edits"][0]["newText"], "<tbody ");
  EXPECT_TRUE(J["reopen"]);
  J = Complete({Page, "41:15", "--type", ">"});
  EXPECT_EQ(J["context"], "none");
  EXPECT_EQ(J["edits"][0]["newText"], ">");
  J = Complete({Page, "24:16", "--type", "&", "--filter", "md", "--accept", "mdash"});
  EXPECT_EQ(J["edits"][0]["newText"], "&mdash;");
  EXPECT_EQ(J["items"][0]["char"], "\u2014");
  EXPECT_EQ(Slurp(Page), Before) << "the file changes only with --write";
}

TEST(CliComplete, WriteAppliesTheResult) {
  const fs::path Dir = fs::temp_directory_path() / ("mlinsight-write-" + std::to_string(::getpid()));
  fs::create_directories(Dir);
  const fs::path Copy = Dir / "contact.html";
  fs::copy_file(XPage, Copy);
  json J = Complete({Copy.string(), "11:6", "--accept", "br", "--write"});
  EXPECT_EQ(J["caret"], json::parse("[11,9]"));
  J = Complete({Copy.string(), "11:9", "--type", ">", "--write"});
  EXPECT_EQ(J["edits"][0]["newText"], " />");
  EXPECT_NE(Slurp(Copy).find("  <p><br /></p>\n"), std::string::npos);
  fs::remove_all(Dir);
}

// --write replaces the file a link names (the link stays), keeps the mode,
// and follows nothing planted beside the page.
TEST(CliComplete, WriteKeepsLinksModesAndOtherFiles) {
  const fs::path Dir = fs::temp_directory_path() / ("mlinsight-links-" + std::to_string(::getpid()));
  fs::create_directories(Dir / "real");
  const std::string Page = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\n<p><td align=";
  std::ofstream(Dir / "real" / "page.html") << Page;
  fs::permissions(Dir / "real" / "page.html",
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink(Dir / "real" / "page.html", Dir / "link.html");
  std::ofstream(Dir / "victim.txt") << "mine";
  for (const char* Planted : {".page.html.mlinsight-tmp", ".link.html.mlinsight-tmp"})
    fs::create_symlink(Dir / "victim.txt", Dir / "real" / Planted);
  const json J = Complete({(Dir / "link.html").string(), "2:14", "--accept", "left", "--write"});
  EXPECT_EQ(J["accepted"], "left");
  EXPECT_TRUE(fs::is_symlink(Dir / "link.html"));
  EXPECT_EQ(Slurp(Dir / "real" / "page.html"), Page + "\"left\"");
  EXPECT_EQ(fs::status(Dir / "real" / "page.html").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(Slurp(Dir / "victim.txt"), "mine");
  size_t Files = 0;
  for ([[maybe_unused]] const auto& E : fs::directory_iterator(Dir / "real")) ++Files;
  EXPECT_EQ(Files, 3u) << "no temporary file left";

  // A read-only page and one with a second name are left as they are.
  std::ofstream(Dir / "ro.html") << Page;
  fs::permissions(Dir / "ro.html", fs::perms::owner_read | fs::perms::group_read);
  std::ofstream(Dir / "twice.html") << Page;
  fs::create_hard_link(Dir / "twice.html", Dir / "second.html");
  for (const char* Name : {"ro.html", "twice.html"}) {
    const TRun R = RunTool({"complete", (Dir / Name).string(), "2:14", "--accept", "left", "--write"});
    EXPECT_EQ(R.Status, 1) << Name;
    EXPECT_NE(R.Err.find("cannot write"), std::string::npos) << R.Err;
    EXPECT_EQ(Slurp(Dir / Name), Page) << Name;
  }
  // A page read from a pipe stays a pipe (a link to /dev/null, a device).
  const fs::path Fifo = Dir / "pipe.html";
  ASSERT_EQ(::mkfifo(Fifo.c_str(), 0644), 0);
  std::thread Writer([&] {
    for (int Try = 0; Try < 1000; ++Try) {
      if (const int Fd = ::open(Fifo.c_str(), O_WRONLY | O_NONBLOCK); Fd >= 0) {
        EXPECT_EQ(::write(Fd, Page.data(), Page.size()), static_cast<ssize_t>(Page.size()));
        ::close(Fd);
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  const TRun Piped = RunTool({"complete", Fifo.string(), "2:14", "--accept", "left", "--write"});
  Writer.join();
  EXPECT_EQ(Piped.Status, 1);
  EXPECT_NE(Piped.Err.find("not a regular file"), std::string::npos) << Piped.Err;
  EXPECT_TRUE(fs::is_fifo(Fifo));
  // Root writing someone's page leaves it theirs.
  if (::geteuid() == 0) {
    std::ofstream(Dir / "theirs.html") << Page;
    ASSERT_EQ(::chown((Dir / "theirs.html").c_str(), 4321, 4322), 0);
    Complete({(Dir / "theirs.html").string(), "2:14", "--accept", "left", "--write"});
    struct stat St {};
    ASSERT_EQ(::stat((Dir / "theirs.html").c_str(), &St), 0);
    EXPECT_EQ(St.st_uid, 4321u);
    EXPECT_EQ(St.st_gid, 4322u);
    EXPECT_EQ(Slurp(Dir / "theirs.html"), Page + "\"left\"");
  }
  fs::remove_all(Dir);
}

TEST(CliComplete, RefusalsHaveAStatusAndOneLine) {
  const std::string Css = (fs::temp_directory_path() / "mlinsight-none.txt").string();
  std::ofstream(Css) << "a { color: red }";
  const std::string NoExtension = (fs::temp_directory_path() / "mlinsight-noextension").string();
  std::ofstream(NoExtension) << "<p>";
  // A file past 1 GiB (sparse: no disk used) is refused before it is read.
  const std::string Huge = (fs::temp_directory_path() / "mlinsight-huge.html").string();
  std::ofstream(Huge) << "<p>";
  fs::resize_file(Huge, (uintmax_t{1} << 30) + 1);
  struct TCase {
    std::vector<std::string> Args;
    int Status;
    std::string Err;
  } Cases[] = {
      {{"complete", Css, "1:3"}, 2, "no completion manager handles"},
      {{"complete", NoExtension, "1:3"}, 2, "no completion manager handles"},
      {{"complete", Page, "10:12", "--accept", "nosuch"}, 1, "no entry nosuch in the list"},
      {{"complete", Page, "23:57"}, 2, "no 23:57 in " + Page + ": line 23 has 55 characters"},
      {{"complete", Page, "999:1"}, 2, "the file has 60 lines"},
      {{"complete", Page, "10:12", "--key", "f1"}, 1, "not a key: f1"},
      {{"complete", Page, "10:12", "--answer", "size=3"}, 1, "--answer expects"},
      {{"complete", "/nonexistent/x.html", "1:1"}, 1, "cannot read"},
      {{"complete", MLINSIGHT_SOURCE_DIR "/examples", "1:1"}, 1, "it is a folder"},
      {{"complete", Page, "0:1"}, 2, "expected LINE:COL"},
      // Devices never end: read up to the cap, then refused.
      {{"complete", "/dev/zero", "1:1"}, 1, "larger than 64 MiB"},
      {{"caret", "/dev/zero", "1:1"}, 1, "larger than 64 MiB"},
      {{"chunks", "/dev/zero"}, 1, "larger than 64 MiB"},
      {{"schema", "/dev/zero"}, 1, "larger than 64 MiB"},
      {{"css-tokens", "/dev/zero"}, 1, "larger than 64 MiB"},
      {{"complete", Huge, "1:1"}, 1, "larger than 1024 MiB"},
      {{"chunks", Huge}, 1, "larger than 1024 MiB"},
  };
  for (const auto& C : Cases) {
    const TRun R = RunTool(C.Args);
    EXPECT_EQ(R.Status, C.Status) << C.Args[1];
    EXPECT_NE(R.Err.find(C.Err), std::string::npos) << R.Err;
    EXPECT_EQ(std::count(R.Err.begin(), R.Err.end(), '\n'), 1) << R.Err;
  }
  fs::remove(Css);
  fs::remove(Huge);
}

// Run from the page's folder, a bare file name finds the page's own DTD.
TEST(CliComplete, ABareFileNameIsInTheCurrentFolder) {
  const fs::path Dir = fs::temp_directory_path() / ("mlinsight-own-" + std::to_string(::getpid()));
  fs::create_directories(Dir);
  std::ofstream(Dir / "own.dtd") << "<!ELEMENT mine - - (#PCDATA)>\n";
  std::ofstream(Dir / "page.html") << "<!DOCTYPE mine SYSTEM \"own.dtd\">\n<";
  const TRun R = RunTool({"complete", "page.html", "2:2"}, Dir);
  EXPECT_NE(R.Out.find("mine"), std::string::npos) << R.Out << R.Err;
  fs::remove_all(Dir);
}

TEST(CliCss, SchemaCoversTheCssOfTheSpecifications) {
  const TRun R = RunTool({"css-schema", "--json"});
  ASSERT_EQ(R.Status, 0);
  const auto J = nlohmann::json::parse(R.Out);
  // Generated from @webref/css 8.7.5: 746 standard properties and 70 legacy
  // aliases and prefixed names the standards describe.
  EXPECT_EQ(J["properties"].size(), 816u);
  EXPECT_EQ(J["properties"][0]["name"], "-webkit-align-content") << "table order";
  for (const auto& P : J["properties"])
    EXPECT_FALSE(P["description"].get<std::string>().empty()) << P["name"] << " has no description";
  ASSERT_EQ(J["editors"].size(), 9u);
  EXPECT_EQ(J["editors"][3]["name"], "length...");
  EXPECT_EQ(J["editors"][3]["units"][0], "px");
  EXPECT_EQ(J["editors"][3]["units"].size(), 49u) << "the lengths of CSS Values 4";
  EXPECT_EQ(J["editors"][8]["name"], "fraction...");
  size_t Named = 0, Functions = 0;
  for (const auto& T : J["types"])
    if (T["name"] == "color")
      for (const auto& V : T["values"]) {
        const std::string S = V;
        (S.ends_with("()") ? Functions : Named) += S != "transparent" && S != "currentColor";
      }
  EXPECT_EQ(Named, 148u) << "the named colours of CSS Color 4";
  EXPECT_EQ(Functions, 12u) << "rgb() to light-dark()";
  EXPECT_EQ(RunTool({"css-schema", "no-such-property"}).Status, 1);
}

TEST(CliLsp, ServesCompletionOverStdio) {
  const fs::path Dir = fs::temp_directory_path() / ("mlinsight-lsp-" + std::to_string(::getpid()));
  fs::create_directories(Dir);
  const auto Frame = [](const nlohmann::json& M) {
    const std::string B = M.dump();
    return "Content-Length: " + std::to_string(B.size()) + "\r\n\r\n" + B;
  };
  const std::string Uri = "file://" + (Dir / "page.html").string();
  std::ofstream(Dir / "in", std::ios::binary)
      << Frame({{"jsonrpc", "2.0"},
                {"id", 1},
                {"method", "initialize"},
                {"params",
                 nlohmann::json::parse(R"({"capabilities":{"textDocument":{"completion":{"completionItem":)"
                                       R"({"snippetSupport":true}}}}})")}})
      << Frame({{"jsonrpc", "2.0"},
                {"method", "textDocument/didOpen"},
                {"params",
                 {{"textDocument",
                   {{"uri", Uri},
                    {"languageId", "html"},
                    {"version", 1},
                    {"text", "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\n<p><a "}}}}}})
      << Frame(
             {{"jsonrpc", "2.0"},
              {"id", 2},
              {"method", "textDocument/completion"},
              {"params", {{"textDocument", {{"uri", Uri}}}, {"position", {{"line", 1}, {"character", 6}}}}}})
      << Frame({{"jsonrpc", "2.0"}, {"id", 3}, {"method", "shutdown"}})
      << Frame({{"jsonrpc", "2.0"}, {"method", "exit"}});
  const std::string Cmd = "XDG_CONFIG_HOME=" + Quote(Dir.string()) + " " + Quote(MLINSIGHT_EXE) + " lsp <" +
                          Quote((Dir / "in").string()) + " >" + Quote((Dir / "out").string());
  const int Raw = std::system(Cmd.c_str());
  EXPECT_EQ(WIFEXITED(Raw) ? WEXITSTATUS(Raw) : -1, 0) << "exit after shutdown";
  const std::string Out = Slurp(Dir / "out");
  size_t Frames = 0;
  for (size_t At = Out.find("Content-Length:"); At != std::string::npos;
       At = Out.find("Content-Length:", At + 1))
    ++Frames;
  EXPECT_EQ(Frames, 3u) << "one answer to each request";
  EXPECT_NE(Out.find("\"href=\\\"$0\\\"\""), std::string::npos) << Out.substr(0, 300);
  fs::remove_all(Dir);
}

std::string Utf16Le(const std::string& Ascii) {
  std::string S = "\xFF\xFE";
  for (const char C : Ascii) S += std::string{C, '\0'};
  return S;
}

// The page is read in its own encoding and written back in it; the caret's
// column counts characters, and bytes no encoding defines never abort.
TEST(CliComplete, PagesInTheirOwnEncodingReadAndWriteBack) {
  const std::string Strict = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\n";
  const std::string Meta = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=ISO-8859-1\">\n";
  struct TCase {
    const char* Name;
    std::string File, Bytes, Caret, Accept, Written;
  } Cases[] = {
      {"Latin-1 by <meta>", "l.html", Strict + Meta + "<p>caf\xE9 <td align=", "3:19", "center",
       Strict + Meta + "<p>caf\xE9 <td align=\"center\""},
      {"Windows-1252 by its bytes", "w.html", Strict + "<p>\x93q\x94\xE9<td align=", "2:18", "left",
       Strict + "<p>\x93q\x94\xE9<td align=\"left\""},
      {"XML declaration", "x.xsl",
       "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<xsl:stylesheet version=\"1.0\" "
       "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">\n<!-- \xA9 -->\n<xsl:output method=",
       "4:20", "html",
       "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<xsl:stylesheet version=\"1.0\" "
       "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">\n<!-- \xA9 -->\n<xsl:output method=\"html\""},
      {"UTF-16 with BOM", "u.html", Utf16Le(Strict + "<td align="), "2:11", "right",
       Utf16Le(Strict + "<td align=\"right\"")},
      {"UTF-8 characters before the caret", "e.html", Strict + "<p>\xC3\xA9\xE2\x80\x94<td align=", "2:16",
       "center", Strict + "<p>\xC3\xA9\xE2\x80\x94<td align=\"center\""},
  };
  const fs::path Dir = fs::temp_directory_path() / ("mlinsight-enc-" + std::to_string(::getpid()));
  fs::create_directories(Dir);
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    const fs::path F = Dir / C.File;
    std::ofstream(F, std::ios::binary) << C.Bytes;
    const json J = Complete({F.string(), C.Caret, "--accept", C.Accept, "--write"});
    EXPECT_EQ(J["accepted"], C.Accept);
    EXPECT_EQ(Slurp(F), C.Written);
  }
  fs::remove_all(Dir);
}

// Broken files answer like any other: status 0 and a list or "no list here".
TEST(CliComplete, BrokenFilesAnswerWithAListOrNone) {
  std::string Page = Slurp(MLINSIGHT_SOURCE_DIR "/examples/index.html");
  std::mt19937 Random(5);
  std::string Noise(3000, ' ');
  for (char& C : Noise) C = static_cast<char>(Random() % 256);
  std::string Nuls = Page;
  for (size_t I = 0; I < Nuls.size(); I += 97) Nuls[I] = '\0';
  std::string Mixed;
  for (size_t I = 0; I < Page.size(); ++I)
    Mixed += Page[I] == '\n' ? std::string(I % 3 ? "\r" : "\n\r") : std::string(1, Page[I]);
  std::string OneLine = "<!DOCTYPE html><body>";
  while (OneLine.size() < 1 << 20) OneLine += "<div class=\"c\"><a href=\"#\">x</a></div>";
  const std::pair<const char*, std::string> Files[] = {
      {"cut in a tag", Page.substr(0, Page.find("<table") + 4)},
      {"cut in a value", Page.substr(0, Page.find("href=\"") + 7)},
      {"random bytes", Noise},
      {"NUL bytes", Nuls},
      {"mixed line ends", Mixed},
      {"1 MB on one line", OneLine + "<table>\n"},
  };
  const fs::path F = fs::temp_directory_path() / ("mlinsight-broken-" + std::to_string(::getpid()) + ".html");
  for (const auto& [Name, Bytes] : Files) {
    std::ofstream(F, std::ios::binary) << Bytes;
    for (const std::string Caret : {"1:1", "2:1", "1:1000000"}) {
      if (Caret == "1:1000000" && Name != std::string("1 MB on one line")) continue;
      for (const bool Json : {false, true}) {
        std::vector<std::string> Args = {"complete", F.string(), Caret};
        if (Json) Args.push_back("--json");
        const TRun R = RunTool(Args);
        ASSERT_EQ(R.Status, 0) << Name << " at " << Caret << ": " << R.Err;
        if (Json)
          EXPECT_TRUE(json::accept(R.Out)) << Name;
        else
          EXPECT_TRUE(R.Out.rfind("Markup Language: ", 0) == 0) << Name << ": " << R.Out.substr(0, 80);
      }
    }
  }
  fs::remove(F);
}

}  // namespace
