// One process, many requests (as the language server serves them): no
// request may change the answer of the next. Schema tags are shared, so
// every fix-up, hidden attribute, shown list and filter must be undone.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "document/DocumentModel.h"
#include "tests/completion/CompletionTestSupport.h"

namespace kel {
namespace {

namespace fs = std::filesystem;
using test::TRun;

const std::string& Strict = test::StrictHead;

class MarkupRequests : public test::TCompletionTest {};

TEST_F(MarkupRequests, AnEarlierRequestLeavesNoTraceInTheNext) {
  const std::string S = Strict;
  const struct {
    const char* Name;
    TRun First, Then;
    std::vector<std::string> Present;
  } Cases[] = {
      {"attributes of an unknown element's parent",
       {S + "<body><div><section class=\"x\">|", "page.html", 0, "", "", 0},
       {S + "<body><div |", "page.html", 0, "", "", 0},
       {"class", "id", "title"}},
      {"accepted inside an unknown element",
       {S + "<body><div><section class=\"x\">|", "page.html", 0, "", "p"},
       {S + "<body><div |", "page.html", 0, "", "", 0},
       {"class"}},
      {"attribute list of table, then its children",
       {S + "<body><table |", "page.html", 0, "", "", 0},
       {S + "<body><table><|", "page.html", 0, "", "", 0},
       {"tbody", "tr", "caption"}},
      {"filtered attribute list, then the children",
       {S + "<body><table |", "page.html", 0, "bo", "", 0},
       {S + "<body><table>|", "page.html", 0, "", "", 0},
       {"tbody", "tr", "thead"}},
      {"written attributes hidden, then another tag",
       {S + "<body><table border=1 |", "page.html", 0, "", "", 0},
       {S + "<body><table |", "page.html", 0, "", "", 0},
       {"border", "summary"}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    Run(C.First);
    if (Cycle.IsOpen()) Cycle.Key(27);
    ASSERT_TRUE(Run(C.Then));
    for (const auto& P : C.Present) EXPECT_TRUE(Has(P)) << P;
  }
}

using kel::test::Slurp;

std::string Quote(const std::string& S) {
  std::string Q = "'";
  for (char C : S) Q += C == '\'' ? std::string("'\\''") : std::string(1, C);
  return Q + "'";
}

struct TRequest {
  std::string File;  // a copy of the page, named as the original
  int32_t Line = 1, Column = 1;
  int32_t Caret = 0;
  char Typed = 0;
  std::string Filter;
  bool Accept = false;
};

// The answer of a fresh process: the tool run once for the request.
std::string FreshAnswer(const TRequest& R) {
  std::string Cmd = "XDG_CONFIG_HOME=/nonexistent " + Quote(MLINSIGHT_EXE) + " complete " + Quote(R.File) +
                    " " + std::to_string(R.Line) + ":" + std::to_string(R.Column) + " --json";
  if (R.Typed) Cmd += " --type " + Quote(std::string(1, R.Typed));
  if (!R.Filter.empty()) Cmd += " --filter " + Quote(R.Filter);
  if (R.Accept) Cmd += " --accept-index 0";
  Cmd += " 2>/dev/null";
  std::string Out;
  if (FILE* P = popen(Cmd.c_str(), "r")) {
    char Buffer[4096];
    for (size_t N; (N = fread(Buffer, 1, sizeof Buffer, P)) > 0;) Out.append(Buffer, N);
    pclose(P);
  }
  if (!nlohmann::json::accept(Out)) return "no answer: " + Cmd;
  const auto J = nlohmann::json::parse(Out);
  std::string A;
  for (const auto& I : J["items"]) A += I["text"].get<std::string>() + I["type"].get<std::string>() + "\n";
  return A + "--\n" + J["text"].get<std::string>();
}

TEST_F(MarkupRequests, ARandomSequenceAnswersAsFreshProcessesDo) {
  const fs::path Dir = fs::temp_directory_path() / ("mlinsight-seq-" + std::to_string(::getpid()));
  fs::create_directories(Dir);
  const std::string Pages[] = {"index.html", "contact.html", "typing.html",
                               "report.xsl", "default.aspx", "deck.wml"};
  for (const auto& P : Pages) fs::copy_file(MLINSIGHT_SOURCE_DIR "/examples/" + P, Dir / P);
  std::mt19937 Random(3);
  std::vector<TRequest> Requests;
  while (Requests.size() < 40) {
    TRequest R;
    R.File = (Dir / Pages[Random() % std::size(Pages)]).string();
    const std::string Text = Slurp(R.File);
    // A caret at the end of a random line, or after a random "<" or blank.
    const size_t At = Random() % Text.size();
    const size_t Caret = Text.find_first_of("<\n ", At);
    if (Caret == std::string::npos) continue;
    R.Caret = static_cast<int32_t>(Caret + (Text[Caret] == '<' ? 1 : 0));
    R.Line = static_cast<int32_t>(std::count(Text.begin(), Text.begin() + R.Caret, '\n')) + 1;
    const size_t LineStart = Text.rfind('\n', R.Caret == 0 ? 0 : R.Caret - 1);
    R.Column = R.Caret - static_cast<int32_t>(LineStart == std::string::npos ? 0 : LineStart + 1) + 1;
    R.Typed = "\0\0<&="[Random() % 5];
    R.Filter = Random() % 3 == 0 ? std::string(1, "atbp"[Random() % 4]) : "";
    R.Accept = R.Filter.empty() && Random() % 2 == 0;
    Requests.push_back(R);
  }
  for (const auto& R : Requests) {
    View = Test.OpenView(Slurp(R.File), fs::path(R.File).filename().string());
    View->SetCaretOffset(R.Caret);
    Cycle.SetManager(TCompletionCycle::ManagerFor(Test.Host(), R.File));
    Cycle.SetClassifier(
        [&R](const std::string& Text, int32_t Offset) { return MarkupElementAt(Text, Offset, R.File); });
    Cycle.Type(R.Typed);
    for (const char C : R.Filter)
      if (Cycle.IsOpen()) Cycle.Key(C);
    std::string Answer;
    for (const auto& I : Cycle.Items()) Answer += I.Shown() + I.Type + "\n";
    if (R.Accept && Cycle.IsOpen() && Cycle.SelectIndex(0)) Cycle.Key('\r');
    if (Cycle.IsOpen()) Cycle.Key(27);
    Answer += "--\n" + View->Text();
    EXPECT_EQ(Answer, FreshAnswer(R)) << R.File << " " << R.Line << ":" << R.Column << " typed "
                                      << static_cast<int>(R.Typed) << " filter " << R.Filter;
  }
  fs::remove_all(Dir);
}

}  // namespace
}  // namespace kel
