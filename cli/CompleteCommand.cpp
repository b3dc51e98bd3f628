#include "cli/CompleteCommand.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/TextPositions.h"
#include "completion/HTMLCodCmplt.h"
#include "completion/HTMReg.h"
#include "completion/MLInsightPackage.h"
#include "css/CSSCodCmplt.h"
#include "document/CompletionRequest.h"
#include "host/CompletionCycle.h"
#include "host/KelStrings.h"
#include "host/MemoryCanvas.h"

namespace kel {

namespace {

using nlohmann::json;

// Scripted answers first; when they run out, a terminal asks the user, and
// anything else cancels.
class TPromptDialogRunner : public TKelDialogRunner {
 public:
  TScriptedDialogRunner Script;

  bool RunURLDialog(const TKelURLRequest& Request, std::string& URL) override {
    if (!Script.URLAnswers.empty()) return Script.RunURLDialog(Request, URL);
    return Ask("URL (relative to " + Request.InitialDir + ")", URL);
  }
  bool RunColorDialog(std::string& Color) override {
    if (!Script.ColorAnswers.empty()) return Script.RunColorDialog(Color);
    return Ask("Colour (#RRGGBB or a name)", Color);
  }
  bool RunFileOpenDialog(const TKelFileOpenRequest& Request, std::string& FileName) override {
    if (!Script.FileAnswers.empty()) return Script.RunFileOpenDialog(Request, FileName);
    return Ask(Request.Title.empty() ? "File" : Request.Title, FileName);
  }
  bool IsControlKeyDown() override { return false; }
  bool RunUnitDialog(const TKelUnitRequest& Request, std::string& Value, int32_t& Unit) override {
    if (!Script.UnitAnswers.empty()) return Script.RunUnitDialog(Request, Value, Unit);
    if (!isatty(STDIN_FILENO)) return false;
    std::string Text;
    if (!Ask(Request.ValueLabel + " [" + Request.InitialValue + "]", Text, true)) return false;
    Value = Text.empty() ? Request.InitialValue : Text;
    Unit = Request.Selected;
    if (Request.Units.empty()) return true;
    for (size_t I = 0; I < Request.Units.size(); ++I)
      std::cerr << "  " << I + 1 << ") " << Request.Units[I] << '\n';
    if (!Ask(Request.UnitsLabel + " [1]", Text, true)) return false;
    if (Text.empty()) return true;
    try {
      const size_t N = std::stoul(Text);
      if (N < 1 || N > Request.Units.size()) return false;
      Unit = static_cast<int32_t>(N - 1);
    } catch (const std::exception&) {
      return false;
    }
    return true;
  }

 private:
  static bool Ask(const std::string& Prompt, std::string& Answer, bool EmptyIsAnswer = false) {
    if (!isatty(STDIN_FILENO)) return false;
    std::cerr << Prompt << (Prompt.ends_with(":") || Prompt.ends_with("]") ? " " : ": ") << std::flush;
    if (!std::getline(std::cin, Answer)) return false;
    return EmptyIsAnswer || !Answer.empty();
  }
};

bool AddAnswer(TScriptedDialogRunner& Script, const std::string& Answer, std::ostream& Err) {
  if (SameText(Answer, "cancel")) {
    Script.URLAnswers.push_back({});
    Script.ColorAnswers.push_back({});
    Script.FileAnswers.push_back({});
    Script.UnitAnswers.push_back({});
    return true;
  }
  const size_t Eq = Answer.find('=');
  const std::string Name = LowerCase(Answer.substr(0, Eq));
  const std::string Value = Eq == std::string::npos ? std::string() : Answer.substr(Eq + 1);
  if (Eq != std::string::npos && Name == "url") {
    Script.URLAnswers.push_back({true, Value});
  } else if (Eq != std::string::npos && Name == "color") {
    Script.ColorAnswers.push_back({true, Value});
  } else if (Eq != std::string::npos && Name == "file") {
    Script.FileAnswers.push_back({true, Value});
  } else if (Eq != std::string::npos && Name == "unit") {
    Script.UnitAnswers.push_back({true, Value});
  } else {
    Err << "mlinsight: --answer expects url=, color=, file=, unit= or cancel, got " << Answer << '\n';
    return false;
  }
  return true;
}

json Position(const std::string& Text, int32_t Offset) {
  const auto [L, C] = LineColumnOf(Text, Offset);
  return {L, C};
}

// The character an entity row shows, as the manager paints it.
std::u16string EntityGlyph(IKelCodeInsightManager& Manager, int32_t Index) {
  const auto Painter = query<IKelCodeInsightItemPainter>(&Manager);
  if (!Painter) return {};
  TMemoryCanvas Canvas;
  TKelRect Rect{0, 0, 400, 16};
  bool Default = false;
  Painter->PaintItem(Index, Canvas, Rect, false, true, Default);
  return Default || Canvas.Draws().size() < 2 ? std::u16string() : Canvas.Draws().front().Text;
}

std::string LineWithCaret(const std::string& Text, int32_t Line, int32_t Caret) {
  size_t Start = 0;
  for (int32_t L = 1; L < Line; ++L) {
    const size_t Break = Text.find_first_of("\r\n", Start);
    if (Break == std::string::npos) break;
    Start = Break + ((Text[Break] == '\r' && Break + 1 < Text.size() && Text[Break + 1] == '\n') ? 2 : 1);
  }
  size_t End = Text.find_first_of("\r\n", Start);
  if (End == std::string::npos) End = Text.size();
  std::string S = Text.substr(Start, End - Start);
  if (Caret >= static_cast<int32_t>(Start) && Caret <= static_cast<int32_t>(End))
    S.insert(static_cast<size_t>(Caret) - Start, "|");
  return S;
}

}  // namespace

int KeyCode(const std::string& Name) {
  static const std::pair<const char*, int> Named[] = {{"enter", '\r'}, {"return", '\r'}, {"tab", '\t'},
                                                      {"space", ' '},  {"escape", 27},   {"esc", 27}};
  for (const auto& [N, C] : Named)
    if (SameText(Name, N)) return C;
  return Name.size() == 1 ? static_cast<unsigned char>(Name[0]) : -1;
}

int RunComplete(const TCompleteRequest& R, TMemoryHost& Host, std::ostream& Out, std::ostream& Err) {
  TDecodedDocument Document;
  TReadFrom From;
  if (!ReadDocument(R.FileName, Document, Err, &From)) return 1;
  const int Typed = R.Type.empty() ? 0 : KeyCode(R.Type);
  const int Key = R.Cancel ? 27 : KeyCode(R.Key);
  if (Typed < 0 || Key < 0) {
    Err << "mlinsight: not a key: " << (Typed < 0 ? R.Type : R.Key) << '\n';
    return 1;
  }
  auto Runner = std::make_shared<TPromptDialogRunner>();
  for (const auto& A : R.Answers)
    if (!AddAnswer(Runner->Script, A, Err)) return 1;
  Host.SetDialogRunner(Runner);

  // The view holds the one copy of the text; what the request wrote is
  // told by a trial and written again after it.
  auto View = MakeMemoryEditView(std::move(Document.Text), R.FileName);
  const std::string& Original = View->Text();
  if (const std::string Why = CaretOutside(Original, R.Line, R.Column); !Why.empty()) {
    Err << "mlinsight: no " << R.Line << ':' << R.Column << " in " << R.FileName << ": " << Why << '\n';
    return 2;
  }
  View->SetCursorPos({ByteColumn(Original, R.Line, R.Column), R.Line});
  Host.SetCurrentEditView(View);

  PackageLoad();
  IDERegister();
  struct TUnload {
    ~TUnload() { PackageUnload(); }
  } Unload;
  // In a page's <style> body or style attribute, the style-sheet manager serves.
  TDocumentModel Model(R.FileName);
  Model.Tree(Original, 1);
  View->BeginTrial();
  TCompletionRequest Request(Host, Model, View, View->CaretOffset(), R.Quotes);
  const auto& Manager = Request.Manager();
  if (!Manager) {
    Err << "mlinsight: no completion manager handles " << R.FileName << '\n';
    return 2;
  }
  TCompletionCycle& Cycle = Request.Cycle();
  Cycle.Type(static_cast<char>(Typed));
  for (const char C : R.Filter) {
    if (!Cycle.IsOpen()) break;
    Cycle.Key(C);
  }
  const bool Invoked = Cycle.Invoked();
  const bool Open = Cycle.IsOpen();
  const std::string Context = Request.PlaceName();
  const auto Items = Cycle.Items();
  json JItems = json::array();
  for (size_t I = 0; I < Items.size(); ++I) {
    // The text a row writes (a value's too) and its class without padding.
    std::string Class = Items[I].Class;
    while (!Class.empty() && Class.back() == ' ') Class.pop_back();
    json Item{{"text", Items[I].Shown()},
              {"type", Items[I].Type},
              {"class", Class},
              {"abstract", Items[I].Abstract}};
    if (Context == "entity") Item["char"] = Utf16ToUtf8(EntityGlyph(*Manager, static_cast<int32_t>(I)));
    JItems.push_back(Item);
  }
  const std::string Token = Cycle.Token();

  json Accepted = nullptr;
  if (Open && (!R.Accept.empty() || R.AcceptIndex >= 0 || R.Cancel)) {
    if (!R.Cancel) {
      const bool Found = R.AcceptIndex >= 0 ? Cycle.SelectIndex(R.AcceptIndex) : Cycle.SelectText(R.Accept);
      if (!Found) {
        Err << "mlinsight: no entry " << (R.AcceptIndex >= 0 ? std::to_string(R.AcceptIndex) : R.Accept)
            << " in the list\n";
        Cycle.Key(27);
        return 1;
      }
      const auto& Row = Items[static_cast<size_t>(Cycle.Selected())];
      Accepted = Row.Shown();
    }
    Cycle.Key(static_cast<char>(Key));
  }
  if (Cycle.IsOpen()) Cycle.Key(27);

  // The trial gives the text back as it was; its net change, with what
  // stayed the same at either end left out, is the edit.
  const TMemoryTrial Trial = View->EndTrial();
  const TTextChange Within = NetChange(
      Original.substr(static_cast<size_t>(Trial.Start), static_cast<size_t>(Trial.OldEnd - Trial.Start)),
      Trial.NewText);
  const bool Changed = Within.Start != Within.OldEnd || Within.Start != Within.NewEnd;
  const TTextChange E{Trial.Start + Within.Start, Trial.Start + Within.OldEnd, Trial.Start + Within.NewEnd};
  json Edits = json::array();
  if (Changed)
    Edits.push_back({{"start", Position(Original, E.Start)},
                     {"end", Position(Original, E.OldEnd)},
                     {"newText", Trial.NewText.substr(static_cast<size_t>(Within.Start),
                                                      static_cast<size_t>(Within.NewEnd - Within.Start))}});
  View->Edit(Trial.Start, Trial.OldEnd - Trial.Start, Trial.NewText);
  for (const int32_t Command : Trial.Commands) View->ExecuteCommand(Command);
  const std::string& Final = View->Text();
  const int32_t Caret = Trial.Caret;
  if (R.Write && Changed && !WriteDocument(R.FileName, Final, Document, Err, &From)) return 1;

  if (R.Json) {
    Out << json{{"manager", Manager->GetName()},
                {"invoked", Invoked},
                {"context", Context},
                {"token", Token},
                {"items", JItems},
                {"accepted", Accepted},
                {"edits", Edits},
                {"caret", Position(Final, Caret)},
                {"reopen", Cycle.ReopenRequested()},
                {"text", Final}}
               .dump(-1, ' ', false, json::error_handler_t::replace)
        << '\n';
    return 0;
  }
  Out << Manager->GetName() << ": ";
  if (!Open)
    Out << (Invoked ? "no list here" : "the key opens no list") << '\n';
  else
    Out << Context << " list, " << Items.size() << " entries"
        << (Token.empty() ? "" : ", token \"" + Token + "\"") << '\n';
  for (size_t I = 0; I < Items.size(); ++I) {
    const auto& Row = Items[I];
    std::string Text = Row.Shown();
    if (Context == "entity") {
      const std::u16string Glyph = Utf8ToUtf16(JItems[I]["char"].get<std::string>());
      char Code[16] = "";
      if (!Glyph.empty()) std::snprintf(Code, sizeof Code, "U+%04X", static_cast<unsigned>(Glyph[0]));
      Text += std::string("  ") + Code + " " + JItems[I]["char"].get<std::string>();
    }
    std::string Type = Row.Text.empty() ? std::string() : Row.Type;
    Out << "  " << Text;
    if (Text.size() < 24) Out << std::string(24 - Text.size(), ' ');
    Out << "  " << Type;
    if (Type.size() < 10) Out << std::string(10 - Type.size(), ' ');
    Out << "  " << Row.Class << '\n';
  }
  if (!Accepted.is_null()) Out << "accepted: " << Accepted.get<std::string>() << '\n';
  if (Changed) {
    const int32_t First = LineColumnOf(Final, E.Start).first;
    const int32_t Last = std::max(LineColumnOf(Final, E.NewEnd).first, LineColumnOf(Final, Caret).first);
    for (int32_t L = First; L <= Last; ++L) Out << L << " | " << LineWithCaret(Final, L, Caret) << '\n';
  }
  if (Cycle.ReopenRequested()) Out << "(completion opens again)\n";
  return 0;
}

}  // namespace kel
