#include "cli/CheckCommand.h"

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "cli/TextPositions.h"
#include "completion/HTMLCodCmplt.h"
#include "completion/HTMReg.h"
#include "completion/MLInsightPackage.h"
#include "diagnostics/DocumentCheck.h"

namespace kel {

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// Line and character column (from 1) of an offset, by the view's line index.
std::pair<int32_t, int32_t> LineColumn(const TMemoryEditView& View, uint32_t Offset) {
  const auto At = static_cast<int32_t>(std::min<size_t>(Offset, View.Text().size()));
  const int32_t Line = View.LineOf(At);
  int32_t Column = 1;
  for (int32_t I = View.LineStart(Line); I < At; ++I)
    if ((static_cast<unsigned char>(View.Text()[static_cast<size_t>(I)]) & 0xC0) != 0x80) ++Column;
  return {Line, Column};
}

// The files a folder holds that the engine serves, in name order.
std::vector<std::string> Served(const std::string& Folder) {
  std::vector<std::string> Files;
  std::error_code Ec;
  const auto Markup = MarkupLanguageManager();
  for (fs::recursive_directory_iterator It(Folder, fs::directory_options::skip_permission_denied, Ec), End;
       !Ec && It != End; It.increment(Ec)) {
    const std::string Name = It->path().filename().string();
    if (Name.starts_with(".") && It->is_directory(Ec)) {
      It.disable_recursion_pending();
      continue;
    }
    if (!It->is_regular_file(Ec)) continue;
    const std::string Path = It->path().string();
    if (IsStyleSheetFile(Path) || Markup->HandlesFile(Path)) Files.push_back(Path);
  }
  std::sort(Files.begin(), Files.end());
  return Files;
}

const char* SarifLevel(TSeverity S) {
  return S == TSeverity::Error ? "error" : S == TSeverity::Warning ? "warning" : "note";
}

}  // namespace

int RunCheck(const TCheckRequest& R, TMemoryHost& Host, std::ostream& Out, std::ostream& Err) {
  if (R.Format != "text" && R.Format != "json" && R.Format != "sarif") {
    Err << "mlinsight: unknown format " << R.Format << " (text, json or sarif)\n";
    return 2;
  }
  TCheckRules Rules = TCheckRules::FromOptions();
  if (const std::string Wrong = Rules.Apply(R.Rules); !Wrong.empty()) {
    Err << "mlinsight: not a rule setting: " << Wrong << " (NAME=off|error|warning|information|hint)\n";
    return 2;
  }
  PackageLoad();
  IDERegister();
  struct TUnload {
    ~TUnload() { PackageUnload(); }
  } Unload;

  std::vector<std::string> Files;
  for (const std::string& P : R.Paths) {
    std::error_code Ec;
    if (fs::is_directory(P, Ec)) {
      const auto Below = Served(P);
      Files.insert(Files.end(), Below.begin(), Below.end());
    } else {
      Files.push_back(P);
    }
  }
  int Status = 0;
  json Problems = json::array();
  for (const std::string& File : Files) {
    TDecodedDocument Document;
    if (!ReadDocument(File, Document, Err)) {
      Status = 2;
      continue;
    }
    auto View = MakeMemoryEditView(std::move(Document.Text), File);
    TDocumentModel Model(File);
    Model.Tree(View->Text(), 1);
    const TCheckResult Found = CheckDocument(Host, Model, View, Rules, R.Max);
    for (const TDiagnostic& D : Found.Problems) {
      if (D.Severity == TSeverity::Error && Status == 0) Status = 1;
      const auto [Line, Column] = LineColumn(*View, D.Start);
      if (R.Format == "text") {
        Out << File << ':' << Line << ':' << Column << ": " << SeverityName(D.Severity) << ": " << D.Message
            << " [" << D.Rule << "]\n";
        continue;
      }
      const auto [EndLine, EndColumn] = LineColumn(*View, D.End);
      Problems.push_back({{"file", File},
                          {"line", Line},
                          {"column", Column},
                          {"endLine", EndLine},
                          {"endColumn", EndColumn},
                          {"severity", SeverityName(D.Severity)},
                          {"rule", D.Rule},
                          {"message", D.Message}});
    }
    if (Found.Dropped > 0) {
      const std::string More = std::to_string(Found.Dropped) + " more problems are not listed";
      if (R.Format == "text")
        Out << File << ": information: " << More << '\n';
      else
        Problems.push_back({{"file", File}, {"severity", "information"}, {"message", More}});
    }
  }
  const auto Dump = [](const json& J) { return J.dump(2, ' ', false, json::error_handler_t::replace); };
  if (R.Format == "json") Out << Dump(Problems) << '\n';
  if (R.Format == "sarif") {
    json RuleList = json::array();
    for (const TRule& Rule : kel::Rules())
      RuleList.push_back({{"id", Rule.Name}, {"shortDescription", {{"text", Rule.Summary}}}});
    json Results = json::array();
    for (const json& P : Problems) {
      json Result{{"level", SarifLevel(P["severity"] == "error"     ? TSeverity::Error
                                       : P["severity"] == "warning" ? TSeverity::Warning
                                                                    : TSeverity::Information)},
                  {"message", {{"text", P["message"]}}}};
      if (P.contains("rule")) Result["ruleId"] = P["rule"];
      json Location{{"artifactLocation", {{"uri", P["file"]}}}};
      if (P.contains("line"))
        Location["region"] = {{"startLine", P["line"]},
                              {"startColumn", P["column"]},
                              {"endLine", P["endLine"]},
                              {"endColumn", P["endColumn"]}};
      Result["locations"] = json::array({{{"physicalLocation", Location}}});
      Results.push_back(Result);
    }
    Out << Dump({{"$schema", "https://json.schemastore.org/sarif-2.1.0.json"},
                 {"version", "2.1.0"},
                 {"runs",
                  json::array(
                      {{{"tool",
                         {{"driver",
                           {{"name", "mlinsight"}, {"version", MLINSIGHT_VERSION}, {"rules", RuleList}}}}},
                        {"results", Results}}})}})
        << '\n';
  }
  return Status;
}

}  // namespace kel
