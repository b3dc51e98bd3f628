#include "lsp/LspCompletion.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string_view>

#include "completion/HTMLCodCmplt.h"
#include "css/CSSCodCmplt.h"
#include "document/CompletionRequest.h"
#include "host/CompletionCycle.h"
#include "host/KelStrings.h"
#include "lsp/LspPositions.h"
#include "lsp/LspProtocol.h"

namespace kel {

namespace {

using nlohmann::json;

// A "uri..." row in a server: the files beside the document, in the folder
// the value typed so far names (relative to the document), each replacing
// the name after the last '/'. Addresses with a scheme or a fragment and
// root-relative paths name nothing on this disk.
// In a style sheet's value a file is written as url(name). Returns whether
// the folder held more matching entries than were listed.
bool AddPathItems(json& Items, const std::string& Text, size_t Caret, size_t LineStart,
                  const std::string& Document, const std::function<json(size_t)>& Position, bool Url) {
  size_t Begin = Caret;
  while (Begin > LineStart && std::string_view("\"'=( \t").find(Text[Begin - 1]) == std::string_view::npos)
    --Begin;
  const std::string Typed = Text.substr(Begin, Caret - Begin);
  if (Typed.find(':') != std::string::npos || Typed.starts_with("#") || Typed.starts_with("/")) return false;
  const size_t Slash = Typed.rfind('/');
  const std::string Folder = Slash == std::string::npos ? std::string() : Typed.substr(0, Slash + 1);
  const size_t NameStart = Caret - (Slash == std::string::npos ? Typed.size() : Typed.size() - Slash - 1);
  namespace fs = std::filesystem;
  // A document without a folder of its own (not a file here) lists nothing.
  if (!fs::path(Document).has_parent_path() || fs::path(Document).is_relative()) return false;
  std::error_code Error;
  const fs::path Dir = fs::path(Document).parent_path() / Folder;
  // The names the typed part begins, at most 1,000 of them: a folder of
  // 100,000 files still finds the one typed.
  const std::string Prefix = Text.substr(NameStart, Caret - NameStart);
  std::vector<std::pair<std::string, bool>> Entries;
  bool Cut = false;
  for (fs::directory_iterator It(Dir, Error), End; !Error && It != End; It.increment(Error)) {
    std::string Name = It->path().filename().string();
    if (!Name.starts_with(Prefix) || (Name.starts_with(".") && !Prefix.starts_with("."))) continue;
    if (Entries.size() == 1000) {
      Cut = true;
      break;
    }
    Entries.emplace_back(std::move(Name), It->is_directory(Error));
  }
  std::sort(Entries.begin(), Entries.end());
  // A name with blanks or quotes is quoted inside url().
  const auto InUrl = [](const std::string& Name) {
    return Name.find_first_of(" \t'\"()") == std::string::npos ? Name : "\"" + Name + "\"";
  };
  for (const auto& [Name, IsFolder] : Entries) {
    const std::string Written = IsFolder ? (Url ? "url(" : "") + Name + "/"
                                : Url    ? "url(" + InUrl(Name) + ")"
                                         : Name;
    json Item{
        {"label", IsFolder ? Name + "/" : Name},
        {"kind", IsFolder ? 19 : 17},
        {"sortText", (IsFolder ? "0" : "1") + Name},
        {"textEdit",
         {{"range", {{"start", Position(NameStart)}, {"end", Position(Caret)}}}, {"newText", Written}}}};
    if (IsFolder) Item["command"] = {{"title", "Suggest"}, {"command", "editor.action.triggerSuggest"}};
    Items.push_back(Item);
  }
  return Cut;
}

int ItemKind(const std::string& Class) {
  const std::string C = LowerCase(Class);
  if (C.starts_with("element")) return 10;                          // Property is the closest shape for a tag
  if (C.starts_with("attribute value") || C == "value") return 12;  // Value
  if (C.starts_with("attribute")) return 5;                         // Field
  if (C == "property") return 10;
  return 1;  // Text
}

json Answer(TLspContext& Ctx, TLspDocument& Doc, int64_t Line, int64_t Character, const json& Params) {
  json Items = json::array();
  const json Result{{"isIncomplete", false}, {"items", Items}};
  const std::string& Text = Doc.Text();
  const std::string& Path = Doc.Path;
  // Every edit lies on the caret's line: its positions count from its start.
  const auto [CaretLineStart, CaretLine] = LspLineStart(*Doc.View, Line);
  const int32_t Caret = LspOffsetOnLine(Text, CaretLineStart, Character, Ctx.Utf8);
  // Counted from the caret, whose column is counted once: a line can be
  // megabytes long, and every item has two positions on it.
  const int64_t CaretUnits = LspUnitsBetween(Text, CaretLineStart, static_cast<size_t>(Caret), Ctx.Utf8);
  const auto Position = [&, CaretLine = CaretLine](size_t Offset) {
    const auto At = static_cast<size_t>(Caret);
    const int64_t Units = Offset >= At ? CaretUnits + LspUnitsBetween(Text, At, Offset, Ctx.Utf8)
                                       : CaretUnits - LspUnitsBetween(Text, Offset, At, Ctx.Utf8);
    return json{{"line", CaretLine}, {"character", Units}};
  };
  Doc.Tree();
  TCompletionRequest Request(Ctx.Host, Doc.Model, Doc.View, Caret);
  const auto& Manager = Request.Manager();
  if (!Manager) return Result;
  // A style sheet of its own; one inside a page is classified as the page.
  auto* Css = Request.Sheet();
  const bool Sheet = Request.OwnSheet();
  // A trigger character opens a list only where the manager says so, as it
  // would for the key typed in our host ('<' in a style sheet does not).
  const json* Context = LspObject(Params, "context");
  if (Context && LspInteger(*Context, "triggerKind").value_or(1) == 2 && Caret > 0) {
    const std::string Trigger = LspString(*Context, "triggerCharacter").value_or("");
    if (!Request.Opens(Trigger.empty() ? '\0' : Trigger[0])) return Result;
  }

  // One cycle from the document as it stands: typed characters are already
  // in it, so every request is an explicit one. Each row's edit is planned
  // from the list this one parse opened.
  const auto& View = Doc.View;
  const std::string Word =
      View->GetPosition()->RipText(Manager->EditorTokenValidChars(false), kelRipBackward);
  const auto WordStart = static_cast<size_t>(Caret) - std::min(Word.size(), static_cast<size_t>(Caret));
  // What opening the list writes (="" before a value list) is tried with
  // each row: every item's edit counts from the client's text. Escape ends
  // the cycle as an editor's would (the manager gives back what it changed
  // for the list); then the text goes back to the client's.
  View->BeginTrial();
  struct TRelease {
    TCompletionRequest& Request;
    const TKelPtr<TMemoryEditView>& View;
    ~TRelease() {
      Request.Close();
      View->EndTrial();
    }
  } Release{Request, View};
  TCompletionCycle& Cycle = Request.Cycle();
  if (!Cycle.Type(0)) return Result;
  const std::vector<TCompletionItem> Rows = Cycle.Items();

  // Each row is planned as a trial edit: a sheet of 300,000 custom
  // properties took seconds and a gigabyte per request. Past the limit the
  // list is incomplete, and the client asks again as the word grows.
  bool Incomplete = false;
  for (size_t I = 0; I < Rows.size(); ++I) {
    if (Items.size() >= MaxLspItems) {
      Incomplete = true;
      break;
    }
    const auto& Row = Rows[I];
    // An entity row reads as it is written (&amp;) and its edit takes the
    // "&" in: clients that see "&am" as the word typed filter by it.
    const bool Entity = Row.Class.empty() && !Sheet && WordStart > 0 && Text[WordStart - 1] == '&';
    const std::string Label = Entity ? "&" + Row.Shown() + ";" : Row.Shown();
    if (Label.empty()) continue;
    char Sort[24];
    std::snprintf(Sort, sizeof Sort, "%05zu", I);
    json Item{{"label", Label}, {"kind", ItemKind(Row.Class)}, {"sortText", Sort}};
    if (!Row.Class.empty()) Item["detail"] = Row.Class.substr(0, Row.Class.find_last_not_of(' ') + 1);
    if (Css && Row.Class == "property")
      if (const std::string About = Css->Describe(Label); !About.empty()) Item["documentation"] = About;
    if (SameText(Label, "uri...")) {
      // A sheet's value takes url(file); inside url( the name alone.
      const bool Url = Css && Request.PlaceName() == "value";
      Incomplete =
          AddPathItems(Items, Text, static_cast<size_t>(Caret), CaretLineStart, Path, Position, Url) ||
          Incomplete;
      continue;
    }
    Ctx.Dialogs.AnswerUnits = true;
    Ctx.Dialogs.Units.clear();
    auto Plan = Cycle.Plan(static_cast<int32_t>(I));
    Ctx.Dialogs.AnswerUnits = false;
    // A row whose editor would ask (color...) writes nothing here.
    if (!Plan || (!Plan->Changed && Label.ends_with("..."))) continue;
    // A unit row: a number and a choice of its units.
    const size_t Mark = Plan->NewText.find(TLspDialogRunner::ValueMark);
    std::string Choice;
    if (Mark != std::string::npos && !Ctx.Dialogs.Units.empty()) {
      std::string Plain = Plan->NewText;
      Plain.replace(Mark, 1 + Ctx.Dialogs.Units[0].size(), "0" + Ctx.Dialogs.Units[0]);
      Choice = LspSnippetEscape(Plan->NewText.substr(0, Mark)) + "${1:0}${2|";
      for (size_t U = 0; U < Ctx.Dialogs.Units.size(); ++U) Choice += (U ? "," : "") + Ctx.Dialogs.Units[U];
      Choice += "|}" + LspSnippetEscape(Plan->NewText.substr(Mark + 1 + Ctx.Dialogs.Units[0].size()));
      Item["label"] = Label.substr(0, Label.size() - 3);
      Item["detail"] = "a number and its unit";
      Item["filterText"] = Label.substr(0, Label.size() - 3);
      if (!Ctx.Snippets) Choice.clear();
      Plan->NewText = Plain;
    }
    // Over the word being typed and up to the caret at least; a row that
    // writes what stands keeps the word.
    auto Start = static_cast<size_t>(Plan->Changed ? Plan->Start : Caret);
    auto OldEnd = static_cast<size_t>(Plan->Changed ? Plan->OldEnd : Caret);
    std::string NewText = Plan->Changed ? Plan->NewText : std::string();
    auto CaretIn = static_cast<size_t>(Plan->Changed ? std::max(Plan->Caret - Plan->Start, 0) : 0);
    if (Start > WordStart) {
      NewText.insert(0, Text, WordStart, Start - WordStart);
      CaretIn += Start - WordStart;
      Start = WordStart;
    }
    if (OldEnd < static_cast<size_t>(Caret)) {
      NewText.append(Text, OldEnd, static_cast<size_t>(Caret) - OldEnd);
      OldEnd = static_cast<size_t>(Caret);
    }
    // A value written into the quotes around the caret goes between them for
    // plain-text clients: those that insert the new text at the word
    // (Neovim's omnifunc) would double them.
    if (const char Q = NewText.empty() ? 0 : NewText[0];
        !Ctx.Snippets && (Q == '"' || Q == '\'') && NewText.size() >= 2 && NewText.back() == Q &&
        Start < static_cast<size_t>(Caret) && Text[Start] == Q && OldEnd > static_cast<size_t>(Caret) &&
        Text[OldEnd - 1] == Q) {
      ++Start;
      --OldEnd;
      NewText = NewText.substr(1, NewText.size() - 2);
      CaretIn = std::clamp<size_t>(CaretIn, 1, NewText.size() + 1) - 1;
    }
    if (Entity && Start == WordStart) {
      --Start;
      NewText.insert(0, "&");
      ++CaretIn;
    }
    // An edit must stay on one line.
    if (Text.find_first_of("\r\n", Start) < OldEnd) {
      Items.push_back(Item);
      continue;
    }
    // Clients filter by the text from the edit's start to the caret.
    const std::string Typed = Text.substr(Start, static_cast<size_t>(Caret) - Start);
    // A row whose label is not what it writes ("@ Page" after "<%@ ") is
    // found by what it writes.
    if (!StartsWithText(Label, Typed))
      Item["filterText"] =
          StartsWithText(NewText, Typed) ? NewText : Text.substr(Start, WordStart - Start) + Label;
    const bool CaretInside = Plan->Caret >= Plan->Start && CaretIn < NewText.size();
    if (!Choice.empty()) {
      // The unit row's text stands alone between the word's start and the caret's end.
      Item["insertTextFormat"] = 2;
      NewText = LspSnippetEscape(Text.substr(Start, static_cast<size_t>(Plan->Start) - Start)) + Choice +
                LspSnippetEscape(Text.substr(static_cast<size_t>(Plan->OldEnd),
                                             OldEnd - static_cast<size_t>(Plan->OldEnd)));
    } else if (Ctx.Snippets) {
      Item["insertTextFormat"] = 2;
      NewText = CaretInside ? LspSnippetEscape(NewText.substr(0, CaretIn)) + "$0" +
                                  LspSnippetEscape(NewText.substr(CaretIn))
                            : LspSnippetEscape(NewText);
    }
    Item["textEdit"] = {{"range", {{"start", Position(Start)}, {"end", Position(OldEnd)}}},
                        {"newText", NewText}};
    // The engine opens the next list itself (values after an attribute).
    if (!Plan->Commands.empty())
      Item["command"] = {{"title", "Suggest"}, {"command", "editor.action.triggerSuggest"}};
    Items.push_back(Item);
  }
  return {{"isIncomplete", Incomplete}, {"items", Items}};
}

}  // namespace

json LspComplete(TLspContext& Ctx, TLspDocument& Doc, int64_t Line, int64_t Character, const json& Params) {
  const json* Context = LspObject(Params, "context");
  std::string Key =
      std::to_string(Line) + ':' + std::to_string(Character) + ':' + std::to_string(Ctx.Snippets);
  if (Context) Key += Context->dump(-1, ' ', false, json::error_handler_t::replace);
  auto& Last = Doc.LastCompletion;
  if (Last && Last->Version == Doc.Version && Last->Key == Key) return Last->Result;
  json Result = Answer(Ctx, Doc, Line, Character, Params);
  Last = TLspDocument::TAnswer{Doc.Version, std::move(Key), Result};
  return Result;
}

}  // namespace kel
