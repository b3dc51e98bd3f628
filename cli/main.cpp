// mlinsight: code completion for markup and style sheets, from the command line.
//
//   mlinsight schema-file -- "-//W3C//DTD HTML 4.01//EN"   -> .../schemas/strict.dtd
//   mlinsight chunks page.html                             -> "0 16380" ...
//
// Bad input gives one line on stderr: exit status 1 for a file that cannot be
// read, 2 for a command line that cannot be used.
#include <poll.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <vector>

#include "cli/CaretCommand.h"
#include "cli/CheckCommand.h"
#include "cli/CliHost.h"
#include "cli/CompleteCommand.h"
#include "cli/CssCommand.h"
#include "cli/DtdCommand.h"
#include "cli/SchemaCommand.h"
#include "cli/TextPositions.h"
#include "cli/XsdCommand.h"
#include "completion/HTMReg.h"
#include "completion/MLInsightPackage.h"
#include "host/KelStream.h"
#include "host/KelStrings.h"
#include "lsp/LspServer.h"
#include "markup/MLBufferProducer.h"
#include "markup/MLParserUtils.h"

namespace {

using namespace kel;

int RunSchemaFile(const std::string& Identifier, TKibitzMode Mode) {
  std::cout << GetSchemaFileName(Identifier, Mode) << '\n';
  return 0;
}

int RunChunks(const std::string& FileName) {
  // A folder opens as a file here but reads nothing; say so instead of
  // printing no chunks.
  std::error_code Ec;
  if (std::filesystem::is_directory(FileName, Ec)) {
    std::cerr << "mlinsight: cannot read " << FileName << ": " << std::strerror(EISDIR) << '\n';
    return 1;
  }
  TKelFileStream Stream(FileName);
  if (!Stream.IsOpen()) {
    std::cerr << "mlinsight: cannot open " << FileName << ": " << std::strerror(errno) << '\n';
    return 1;
  }
  auto Producer = MakeKel<TMLBufferProducer>(&Stream);
  // A chunk ends where the next begins (the text may hold zero bytes of its
  // own); after the last fill the producer stands at the end of the text.
  std::vector<int32_t> Starts;
  const size_t Limit = DocumentLimit(FileName);
  if (const auto Size = std::filesystem::file_size(FileName, Ec); !Ec && Size > Limit) {
    std::cerr << "mlinsight: cannot read " << FileName << ": larger than " << (Limit >> 20) << " MiB\n";
    return 1;
  }
  while (Producer->FillBuffer()) {
    Starts.push_back(Producer->BufferOffset(Producer->BufferAtOffset(0)));
    if (static_cast<size_t>(Starts.back()) > Limit) {
      std::cerr << "mlinsight: cannot read " << FileName << ": larger than " << (Limit >> 20) << " MiB\n";
      return 1;
    }
  }
  Starts.push_back(Producer->BufferOffset(nullptr));
  for (size_t I = 0; I + 1 < Starts.size(); ++I)
    std::cout << Starts[I] << ' ' << Starts[I + 1] - Starts[I] << '\n';
  return 0;
}

// One command runs per call, so all of them share one --mode value.
void AddModeOption(CLI::App* Command, std::string& ModeName) {
  Command->add_option("--mode", ModeName, "Schema family: html, xsl, wml or resx")
      ->check(CLI::IsMember({"html", "xsl", "wml", "resx"}, CLI::ignore_case));
}

// A page's own DTD is looked for in the page's folder: a bare name is in
// the current one.
std::string WithFolder(std::string Name) {
  return Name.empty() || Name.find('/') != std::string::npos ? Name : "./" + Name;
}

bool IsCommand(CLI::App& App, const std::string& Name) {
  for (const auto* Sub : App.get_subcommands([](CLI::App*) { return true; }))
    if (Sub->get_name() == Name) return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App App{"mlinsight: code completion for markup and style sheets", "mlinsight"};
  App.set_version_flag("--version", std::string("mlinsight ") + MLINSIGHT_VERSION);
  App.require_subcommand(1);

  std::string Identifier;
  TKibitzMode Mode = TKibitzMode::kmHTML;
  const std::map<std::string, TKibitzMode> Modes{{"html", TKibitzMode::kmHTML},
                                                 {"xsl", TKibitzMode::kmXSL},
                                                 {"wml", TKibitzMode::kmWML},
                                                 {"resx", TKibitzMode::kmResX}};
  std::string ModeName = "html";
  auto* SchemaFile = App.add_subcommand("schema-file", "Print the schema file a DOCTYPE identifier selects");
  AddModeOption(SchemaFile, ModeName);
  SchemaFile->add_option("identifier", Identifier, "Public or system identifier (may be empty)")->required();

  std::string FileName;
  auto* Chunks =
      App.add_subcommand("chunks", "Print the chunks the parsers read a file in: offset and length");
  Chunks->add_option("file", FileName, "The file to read")->required();

  TCaretRequest Caret;
  std::string Position;
  auto* CaretCmd =
      App.add_subcommand("caret", "Parse a file with the caret at LINE:COL and print where it stands");
  CaretCmd->add_option("file", Caret.FileName, "The file to parse")->required()->transform(WithFolder);
  CaretCmd->add_option("position", Position, "LINE:COL, both from 1 (COL counts characters)")
      ->required()
      ->check([](const std::string& Text) {
        int32_t L = 0, C = 0;
        return ParseLineColumn(Text, L, C) ? std::string() : "expected LINE:COL, got " + Text;
      });
  AddModeOption(CaretCmd, ModeName);
  CaretCmd->add_flag("--json", Caret.Json, "One JSON object");
  CaretCmd->add_flag("--events", Caret.Events, "Also every node the scan reported before the caret");

  std::string DtdFile;
  bool DtdJson = false;
  auto* DtdCmd = App.add_subcommand("dtd", "Load a DTD and print what it declares");
  DtdCmd->add_option("file", DtdFile, "The DTD file")->required();
  AddModeOption(DtdCmd, ModeName);
  DtdCmd->add_flag("--json", DtdJson, "One JSON object");

  std::string XsdFile;
  bool XsdJson = false;
  auto* XsdCmd = App.add_subcommand("xsd", "Read an XML Schema file and print its declarations");
  XsdCmd->add_option("file", XsdFile, "The XSD file")->required();
  XsdCmd->add_flag("--json", XsdJson, "One JSON object");

  TSchemaRequest Schema;
  auto* SchemaCmd = App.add_subcommand("schema", "Select and load a schema and print the tag tree it gives");
  SchemaCmd->add_option("--doctype", Schema.DocType, "A DOCTYPE identifier (public or system)");
  SchemaCmd->add_option("file", Schema.FileName, "A document whose DOCTYPE selects the schema")
      ->transform(WithFolder);
  SchemaCmd->add_flag("--asp", Schema.ASP, "Also the ASP.NET server controls");
  AddModeOption(SchemaCmd, ModeName);
  SchemaCmd->add_flag("--json", Schema.Json, "One JSON object");

  TCompleteRequest Complete;
  std::string CompletePosition;
  auto* CompleteCmd = App.add_subcommand(
      "complete", "Run one completion at LINE:COL: the list, and with --accept the text it writes");
  CompleteCmd->add_option("file", Complete.FileName, "The document")->required()->transform(WithFolder);
  CompleteCmd->add_option("position", CompletePosition, "LINE:COL, both from 1 (COL counts characters)")
      ->required()
      ->check([](const std::string& Text) {
        int32_t L = 0, C = 0;
        return ParseLineColumn(Text, L, C) ? std::string() : "expected LINE:COL, got " + Text;
      });
  CompleteCmd->add_option("--type", Complete.Type, "Type this character at the caret first (< & = > ...)");
  CompleteCmd->add_option("--filter", Complete.Filter, "Then type these characters with the list open");
  auto* AcceptOpt = CompleteCmd->add_option("--accept", Complete.Accept, "Accept the entry with this text");
  CompleteCmd->add_option("--accept-index", Complete.AcceptIndex, "Accept the entry at this index (from 0)")
      ->excludes(AcceptOpt);
  CompleteCmd->add_option("--key", Complete.Key,
                          "The key that accepts: enter (default), tab, space, > / \" ...");
  CompleteCmd->add_flag("--cancel", Complete.Cancel, "Close the list with Escape");
  CompleteCmd->add_option("--answer", Complete.Answers,
                          "Answer a value editor's dialog: url=..., color=..., file=..., unit=12,px, cancel");
  bool QuotesOn = false, QuotesOff = false;
  auto* QuotesFlag =
      CompleteCmd->add_flag("--quotes", QuotesOn, "Write =\"\" after attribute names (the default)");
  CompleteCmd->add_flag("--no-quotes", QuotesOff, "Write = alone after attribute names")
      ->excludes(QuotesFlag);
  CompleteCmd->add_flag("--json", Complete.Json, "One JSON object");
  CompleteCmd->add_flag("--write", Complete.Write, "Write the result back to the file");

  std::string CssFile;
  int32_t CssPoint = -1;
  auto* CssTokens =
      App.add_subcommand("css-tokens", "Print the tokens of a style sheet up to a point or the end");
  CssTokens->add_option("file", CssFile, "The style sheet")->required();
  CssTokens->add_option("--point", CssPoint, "Stop at this byte offset (the caret)")
      ->check(CLI::NonNegativeNumber);
  std::string CssPosFile;
  int32_t CssPosOffset = 0;
  bool CssPosErrors = false;
  auto* CssPos =
      App.add_subcommand("css-pos", "Print where the caret stands in a style sheet, and for which property");
  CssPos->add_option("file", CssPosFile, "The style sheet")->required();
  CssPos->add_option("offset", CssPosOffset, "The caret's byte offset")
      ->required()
      ->check(CLI::NonNegativeNumber);
  CssPos->add_flag("--errors", CssPosErrors, "Also every parse error, in order");
  std::string CssProperty;
  bool CssJson = false;
  auto* CssSchema = App.add_subcommand("css-schema", "Print what css.xml gives: properties, types, editors");
  CssSchema->add_option("property", CssProperty, "Only this property's values");
  CssSchema->add_flag("--json", CssJson, "One JSON object");

  TCheckRequest Check;
  auto* CheckCmd = App.add_subcommand(
      "check", "Print the problems of documents by their own schemas; exit 1 when one is an error");
  CheckCmd->add_option("files", Check.Paths, "Documents, or folders of them")
      ->required()
      ->transform(WithFolder);
  CheckCmd->add_option("--format", Check.Format, "text (default), json or sarif");
  CheckCmd->add_option("--rules", Check.Rules, "Switch rules: NAME=off|error|warning|information|hint,...");
  CheckCmd->add_option("--max", Check.Max, "At most this many problems per document (default 1000)");

  auto* Lsp =
      App.add_subcommand("lsp", "Serve completion to an editor over the Language Server Protocol (stdio)");

  // CLI11 reports a mistyped command as a missing one; name it instead.
  if (argc > 1 && argv[1][0] != '-' && !IsCommand(App, argv[1])) {
    std::cerr << "mlinsight: unknown command " << argv[1] << " (see mlinsight --help)\n";
    return 2;
  }
  try {
    App.parse(argc, argv);
  } catch (const CLI::CallForHelp& E) {
    return App.exit(E);
  } catch (const CLI::CallForAllHelp& E) {
    return App.exit(E);
  } catch (const CLI::CallForVersion& E) {
    return App.exit(E);
  } catch (const CLI::ParseError& E) {
    std::cerr << "mlinsight: " << E.what() << " (see mlinsight --help)\n";
    return 2;
  }

  if (const auto It = Modes.find(LowerCase(ModeName)); It != Modes.end()) Mode = It->second;

  TCliHost Host;
  int Status = 0;
  if (*SchemaFile) Status = RunSchemaFile(Identifier, Mode);
  if (*Chunks) Status = RunChunks(FileName);
  if (*DtdCmd) Status = RunDtd(DtdFile, Mode, DtdJson, std::cout, std::cerr);
  if (*SchemaCmd) {
    Schema.Mode = Mode;
    Status = RunSchema(Schema, Host.Host(), std::cout, std::cerr);
  }
  if (*XsdCmd) Status = RunXsd(XsdFile, XsdJson, std::cout, std::cerr);
  if (*CaretCmd) {
    ParseLineColumn(Position, Caret.Line, Caret.Column);
    Caret.Mode = Mode;
    Status = RunCaret(Caret, std::cout, std::cerr);
  }
  if (*Lsp) {
    PackageLoad();
    IDERegister();
    TLspServer Server(Host.Host());
    // The stream's own buffer tells what input waits (the pipe's too).
    std::ios::sync_with_stdio(false);
    Server.SetWaitForInput([](int Milliseconds) {
      pollfd In{STDIN_FILENO, POLLIN, 0};
      return poll(&In, 1, Milliseconds) > 0;
    });
    Server.Serve(std::cin, std::cout);
    PackageUnload();
    return Server.ExitCode();
  }
  if (*CheckCmd) Status = RunCheck(Check, Host.Host(), std::cout, std::cerr);
  if (*CssTokens) Status = RunCssTokens(CssFile, CssPoint, std::cout, std::cerr);
  if (*CssPos) Status = RunCssPos(CssPosFile, CssPosOffset, CssPosErrors, std::cout, std::cerr);
  if (*CssSchema) Status = RunCssSchema(CssProperty, CssJson, std::cout, std::cerr);
  if (*CompleteCmd) {
    ParseLineColumn(CompletePosition, Complete.Line, Complete.Column);
    if (QuotesOn || QuotesOff) Complete.Quotes = QuotesOn ? 1 : 0;
    Status = RunComplete(Complete, Host.Host(), std::cout, std::cerr);
  }
  Host.FlushMessages(std::cerr);
  return Status;
}
