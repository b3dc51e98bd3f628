#include "lsp/LspServer.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string_view>

#include "completion/HTMLCodCmplt.h"
#include "css/CSSCodCmplt.h"
#include "host/CompletionCycle.h"
#include "host/KelFiles.h"
#include "host/KelStrings.h"
#include "lsp/LspColors.h"
#include "lsp/LspProtocol.h"

namespace kel {

namespace {

using nlohmann::json;

bool IsBreak(char C) { return C == '\n' || C == '\r'; }

std::string SnippetEscape(const std::string& S) {
  std::string R;
  for (const char C : S) {
    if (C == '$' || C == '}' || C == '\\') R += '\\';
    R += C;
  }
  return R;
}

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
    const std::string Written =
        IsFolder ? (Url ? "url(" : "") + Name + "/" : Url ? "url(" + InUrl(Name) + ")" : Name;
    json Item{{"label", IsFolder ? Name + "/" : Name},
              {"kind", IsFolder ? 19 : 17},
              {"sortText", (IsFolder ? "0" : "1") + Name},
              {"textEdit", {{"range", {{"start", Position(NameStart)}, {"end", Position(Caret)}}}, {"newText", Written}}}};
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

}  // namespace

void WriteLspMessage(std::ostream& Out, const json& Message) {
  const std::string Body = Message.dump(-1, ' ', false, json::error_handler_t::replace);
  Out << "Content-Length: " << Body.size() << "\r\n\r\n" << Body << std::flush;
}

std::string LspDocumentPath(const std::string& Path, const std::string& LanguageId) {
  // The client's language wins over the file's name: an "html" buffer named
  // index.php is a page. Unknown languages leave the name to decide.
  static const std::pair<const char*, const char*> Languages[] = {
      {"html", ".html"}, {"xhtml", ".xhtml"},          {"xsl", ".xsl"}, {"xslt", ".xslt"}, {"css", ".css"},
      {"aspx", ".aspx"}, {"aspnetcorerazor", ".aspx"}, {"wml", ".wml"}, {"resx", ".resx"}, {"svg", ".svg"}};
  const std::string Ext = LowerCase(ExtractFileExt(Path));
  for (const auto& [Id, Wanted] : Languages) {
    if (!SameText(LanguageId, Id)) continue;
    // Server pages and XHTML are HTML too: clients without a language of
    // their own for them say "html", and the file's name tells more.
    const std::string W = Wanted;
    const bool Same = Ext == W || (Ext == ".ascx" && W == ".aspx") ||
                      (W == ".html" && (Ext == ".htm" || Ext == ".aspx" || Ext == ".ascx" ||
                                        Ext == ".xhtml" || Ext == ".xht"));
    return Same ? Path : Path + Wanted;
  }
  return Path;
}

std::string LspUriToPath(const std::string& Uri) {
  // Only a file on this machine has a folder (its own DTD, path items);
  // "untitled:", remote and other URIs keep just their name.
  const bool Local = StartsWithText(Uri, "file:///") || StartsWithText(Uri, "file://localhost/");
  const std::string S = Local ? Uri.substr(Uri.find('/', 7)) : Uri;
  const auto Hex = [](char C) { return std::isxdigit(static_cast<unsigned char>(C)) != 0; };
  std::string R;
  for (size_t I = 0; I < S.size(); ++I) {
    // "%00" stays as it is: a path holds no NUL.
    if (S[I] == '%' && I + 2 < S.size() && Hex(S[I + 1]) && Hex(S[I + 2]) && S.compare(I + 1, 2, "00") != 0) {
      R += static_cast<char>(std::stoi(S.substr(I + 1, 2), nullptr, 16));
      I += 2;
    } else {
      R += S[I];
    }
  }
  return Local ? R : R.substr(R.find_last_of("/\\:") + 1);
}

namespace {

// Where a line starts, and which line that is (fewer when the text ends first).
std::pair<size_t, int64_t> LineStart(const std::string& Text, int64_t Line) {
  size_t Pos = 0;
  int64_t L = 0;
  // Pages break lines with LF or CR LF: count LFs at memchr's pace while no
  // CR stands alone before them.
  const char* Data = Text.data();
  const auto Find = [&Text, Data](char C, size_t From) {
    const void* P = From < Text.size() ? std::memchr(Data + From, C, Text.size() - From) : nullptr;
    return P ? static_cast<size_t>(static_cast<const char*>(P) - Data) : Text.size();
  };
  size_t Cr = Find('\r', 0);
  bool LoneCR = false;
  while (L < Line && !LoneCR) {
    const size_t Lf = Find('\n', Pos);
    if (Lf == Text.size()) break;
    for (; Cr < Lf && !LoneCR; Cr = Find('\r', Cr + 1)) LoneCR = Cr + 1 != Lf;
    if (LoneCR) break;
    Pos = Lf + 1;
    ++L;
  }
  for (; L < Line && Pos < Text.size(); ++L) {
    while (Pos < Text.size() && !IsBreak(Text[Pos])) ++Pos;
    if (Pos >= Text.size()) break;
    Pos += Text[Pos] == '\r' && Pos + 1 < Text.size() && Text[Pos + 1] == '\n' ? 2 : 1;
  }
  return {Pos, L};
}

// The position of Offset on the line that starts at Start.
// The client's units (bytes, or UTF-16 units) from From to To.
int64_t UnitsBetween(const std::string& Text, size_t From, size_t To, bool Utf8) {
  To = std::min(To, Text.size());
  if (Utf8) return To > From ? static_cast<int64_t>(To - From) : 0;
  int64_t Units = 0;
  for (size_t I = From; I < To; ++I) {
    const auto B = static_cast<unsigned char>(Text[I]);
    if ((B & 0xC0) != 0x80) Units += B >= 0xF0 ? 2 : 1;
  }
  return Units;
}

json PositionOnLine(const std::string& Text, size_t Start, int64_t Line, size_t Offset, bool Utf8) {
  return {{"line", Line}, {"character", UnitsBetween(Text, Start, Offset, Utf8)}};
}

}  // namespace

namespace {

// The offset of Character on the line that starts at Pos.
// Walks no further than Character: a line can be megabytes long, and an
// edit near its start must not cost its length.
int32_t OffsetOnLine(const std::string& Text, size_t Pos, int64_t Character, bool Utf8) {
  const size_t Size = Text.size();
  if (Utf8) {
    const size_t Limit =
        Pos + static_cast<size_t>(std::clamp<int64_t>(Character, 0, static_cast<int64_t>(Size)));
    while (Pos < std::min(Size, Limit) && !IsBreak(Text[Pos])) ++Pos;
    return static_cast<int32_t>(Pos);
  }
  // Characters count UTF-16 units, as UnitsBetween does: a code point
  // beyond the BMP is two.
  int64_t Units = 0;
  while (Pos < Size && Units < Character && !IsBreak(Text[Pos])) {
    Units += static_cast<unsigned char>(Text[Pos]) >= 0xF0 ? 2 : 1;
    ++Pos;
    while (Pos < Size && (static_cast<unsigned char>(Text[Pos]) & 0xC0) == 0x80) ++Pos;
  }
  return static_cast<int32_t>(Pos);
}

}  // namespace

int32_t LspOffset(const std::string& Text, int64_t Line, int64_t Character, bool Utf8) {
  return OffsetOnLine(Text, LineStart(Text, Line).first, Character, Utf8);
}

json LspPosition(const std::string& Text, int32_t Offset, bool Utf8) {
  int64_t Line = 0, Units = 0;
  const size_t End = std::min(Text.size(), static_cast<size_t>(std::max(Offset, 0)));
  for (size_t I = 0; I < End; ++I) {
    const char C = Text[I];
    if (C == '\r' && I + 1 < Text.size() && Text[I + 1] == '\n') continue;
    if (IsBreak(C)) {
      ++Line;
      Units = 0;
    } else {
      const auto B = static_cast<unsigned char>(C);
      if (Utf8)
        ++Units;
      else if ((B & 0xC0) != 0x80)
        Units += B >= 0xF0 ? 2 : 1;
    }
  }
  return {{"line", Line}, {"character", Units}};
}

bool TLspDialogRunner::RunUnitDialog(const TKelUnitRequest& Request, std::string& Value, int32_t& Unit) {
  if (!AnswerUnits || Request.Units.empty()) return false;
  Units = Request.Units;
  Value = std::string(1, ValueMark);
  Unit = 0;
  return true;
}

TLspServer::TLspServer(TMemoryHost& Host) : FHost(Host) {
  // Value editors cannot ask anything here: every dialog is cancelled, so
  // rows such as "uri..." simply write nothing.
  FHost.SetDialogRunner(FDialogs);
}

void TLspServer::Serve(std::istream& In, std::ostream& Out) {
  TLspReader Reader(In);
  std::string Body;
  while (!FExited) {
    const TLspFrame Frame = Reader.Next(Body);
    if (Frame == TLspFrame::End) break;
    std::vector<json> Answers;
    if (Frame == TLspFrame::Body)
      Answers = HandleText(Body);
    else
      Answers.push_back(LspErrorAnswer(
          nullptr, LspError::ParseError,
          Frame == TLspFrame::TooLarge ? "Message too large" : "No usable Content-Length header"));
    for (const auto& A : Answers) WriteLspMessage(Out, A);
  }
}

std::vector<json> TLspServer::HandleText(const std::string& Body) {
  if (JsonDepth(Body) > MaxLspDepth)
    return {LspErrorAnswer(nullptr, LspError::ParseError, "Nested too deeply")};
  json Message = json::parse(Body, nullptr, false);
  // A client may send half a surrogate pair (a buffer cut mid-character):
  // the text is taken with U+FFFD in its place, not refused whole.
  if (Message.is_discarded() && Body.find("\\u") != std::string::npos)
    Message = json::parse(ReplaceLoneSurrogates(Body), nullptr, false);
  if (Message.is_discarded()) return {LspErrorAnswer(nullptr, LspError::ParseError, "Invalid JSON")};
  return Handle(Message);
}

std::vector<json> TLspServer::Handle(const json& Message) {
  if (!Message.is_object())
    return {LspErrorAnswer(nullptr, LspError::InvalidRequest, "Not a request object")};
  const auto IdField = Message.find("id");
  const bool HasId = IdField != Message.end();
  const json Id = HasId ? *IdField : json();
  const bool IdValid = !HasId || Id.is_string() || Id.is_number_integer() || Id.is_null();
  const auto MethodField = Message.find("method");
  if (MethodField == Message.end()) {
    // A response to a request of ours (we send none): never answered.
    if (Message.contains("result") || Message.contains("error")) return {};
    return {LspErrorAnswer(IdValid ? Id : json(), LspError::InvalidRequest, "No method")};
  }
  if (!MethodField->is_string() || !IdValid)
    return {LspErrorAnswer(IdValid ? Id : json(), LspError::InvalidRequest, "Malformed request")};
  const std::string Method = MethodField->get<std::string>();
  const bool Request = HasId;
  const auto ParamsField = Message.find("params");
  if (ParamsField != Message.end() && !ParamsField->is_object() && !ParamsField->is_array() &&
      !ParamsField->is_null())
    return Request
               ? std::vector<json>{LspErrorAnswer(Id, LspError::InvalidParams, "params must be structured")}
               : std::vector<json>{};
  const json Params =
      ParamsField != Message.end() && ParamsField->is_object() ? *ParamsField : json::object();

  std::vector<json> Out;
  if (Method == "exit") {
    FExited = true;
    return Out;
  }
  if (!FInitialized && Method != "initialize")
    return Request ? std::vector<json>{LspErrorAnswer(Id, LspError::ServerNotInitialized, "Not initialized")}
                   : Out;
  if (FShutdown && Request) return {LspErrorAnswer(Id, LspError::InvalidRequest, "Shut down")};
  // A request on a document we do not hold answers empty: the client is
  // told why (a didOpen it sent may have been refused).
  const json* Doc = LspObject(Params, "textDocument");
  const auto Uri = Doc ? LspString(*Doc, "uri") : std::nullopt;
  const bool Unknown = Request && Uri && !Method.starts_with("textDocument/did") && !FDocuments.contains(*Uri);
  try {
    Dispatch(Method, Request, Id, Params, Out);
  } catch (const std::exception& E) {
    // A field of an unexpected shape deep in the params: the message is
    // refused, the server goes on.
    if (Request) Out.push_back(LspErrorAnswer(Id, LspError::InvalidParams, E.what()));
  }
  if (Unknown)
    Out.push_back({{"jsonrpc", "2.0"},
                   {"method", "window/logMessage"},
                   {"params", {{"type", 2}, {"message", *Uri + " is not open: " + Method + " has nothing to read"}}}});
  for (const auto& M : FHost.TakeMessages()) {
    Out.push_back({{"jsonrpc", "2.0"},
                   {"method", "window/logMessage"},
                   {"params",
                    {{"type", M.Prefix == "Failure" || M.Prefix == "Error" ? 1 : 3},
                     {"message", M.Prefix + ": " + M.FileName + ": " + M.Text}}}});
  }
  return Out;
}

void TLspServer::Dispatch(const std::string& Method, bool Request, const json& Id, const json& Params,
                          std::vector<json>& Out) {
  const auto Reply = [&](json Result) {
    Out.push_back({{"jsonrpc", "2.0"}, {"id", Id}, {"result", std::move(Result)}});
  };
  const auto Invalid = [&](const char* Why) {
    if (Request) Out.push_back(LspErrorAnswer(Id, LspError::InvalidParams, Why));
  };
  const json* Doc = LspObject(Params, "textDocument");
  const auto Uri = Doc ? LspString(*Doc, "uri") : std::nullopt;
  static const char* const Notifications[] = {"textDocument/didOpen", "textDocument/didChange",
                                              "textDocument/didClose", "initialized", "$/cancelRequest"};
  const bool IsNotification = std::any_of(std::begin(Notifications), std::end(Notifications),
                                          [&](const char* N) { return Method == N; });
  if (Request && IsNotification) {
    Out.push_back(LspErrorAnswer(Id, LspError::MethodNotFound, Method + " is a notification"));
  } else if (Method == "initialize") {
    if (!Request) return;
    FInitialized = true;
    // UTF-8 positions when the client can take them: no conversion at all.
    FUtf8 = false;
    FSnippets = false;
    if (const json* Caps = LspObject(Params, "capabilities")) {
      if (const json* General = LspObject(*Caps, "general")) {
        const auto Encodings = General->find("positionEncodings");
        if (Encodings != General->end() && Encodings->is_array())
          for (const auto& E : *Encodings)
            FUtf8 = FUtf8 || (E.is_string() && E.get<std::string>() == "utf-8");
      }
      const json* Text = LspObject(*Caps, "textDocument");
      const json* Completion = Text ? LspObject(*Text, "completion") : nullptr;
      const json* Item = Completion ? LspObject(*Completion, "completionItem") : nullptr;
      const auto Snippets = Item ? Item->find("snippetSupport") : json::const_iterator();
      FSnippets = Item && Snippets != Item->end() && Snippets->is_boolean() && Snippets->get<bool>();
    }
    Reply({{"capabilities",
            {{"positionEncoding", FUtf8 ? "utf-8" : "utf-16"},
             {"textDocumentSync", {{"openClose", true}, {"change", 2}}},
             {"completionProvider",
              {{"triggerCharacters", {"<", "&", "=", ":", ";", "/"}}, {"resolveProvider", false}}},
             // The edits typing makes in the engine (closing tag, ="", " />").
             {"colorProvider", true},
             {"hoverProvider", true},
             {"documentOnTypeFormattingProvider",
              {{"firstTriggerCharacter", ">"}, {"moreTriggerCharacter", {"=", "/"}}}}}},
           {"serverInfo", {{"name", "mlinsight"}}}});
  } else if (Method == "shutdown") {
    FShutdown = true;
    if (Request) Reply(nullptr);
  } else if (Method == "textDocument/didOpen") {
    const auto Text = Doc ? LspString(*Doc, "text") : std::nullopt;
    if (Uri && Text) {
      const std::string Language = LspString(*Doc, "languageId").value_or("");
      const std::string Path = LspDocumentPath(LspUriToPath(*Uri), Language);
      FDocuments[*Uri] = {MakeMemoryEditView(*Text, Path), Language, Path, TDocumentModel(Path)};
    }
  } else if (Method == "textDocument/didChange") {
    const auto Changes = Params.find("contentChanges");
    const auto Open = Uri ? FDocuments.find(*Uri) : FDocuments.end();
    if (Open == FDocuments.end() || Changes == Params.end() || !Changes->is_array()) return;
    ++Open->second.Version;
    for (const auto& Change : *Changes) {
      const auto Text = LspString(Change, "text");
      if (!Text) continue;
      const json* Range = LspObject(Change, "range");
      const json* From = Range ? LspObject(*Range, "start") : nullptr;
      const json* To = Range ? LspObject(*Range, "end") : nullptr;
      if (!From || !To) {
        Open->second.View->SetText(*Text);  // the whole document
        continue;
      }
      const std::string& T = Open->second.Text();
      // Edited in place: the document is not copied per change. A change
      // within one line finds that line once.
      const int64_t FromLine = LspInteger(*From, "line").value_or(0),
                    ToLine = LspInteger(*To, "line").value_or(0);
      const size_t FromStart = LineStart(T, FromLine).first;
      const size_t ToStart = ToLine == FromLine ? FromStart : LineStart(T, ToLine).first;
      const auto Start =
          static_cast<size_t>(OffsetOnLine(T, FromStart, LspInteger(*From, "character").value_or(0), FUtf8));
      const size_t End = std::max(Start, static_cast<size_t>(OffsetOnLine(
                                             T, ToStart, LspInteger(*To, "character").value_or(0), FUtf8)));
      Open->second.View->Edit(static_cast<int32_t>(Start), static_cast<int32_t>(End - Start), *Text);
    }
  } else if (Method == "textDocument/didClose") {
    if (Uri) FDocuments.erase(*Uri);
  } else if (Method == "textDocument/onTypeFormatting") {
    const json* Position = LspObject(Params, "position");
    const auto Line = Position ? LspInteger(*Position, "line") : std::nullopt;
    const auto Character = Position ? LspInteger(*Position, "character") : std::nullopt;
    const auto Typed = LspString(Params, "ch");
    if (!Uri || !Line || !Character || !Typed || Typed->size() != 1)
      return Invalid("textDocument/onTypeFormatting needs a textDocument uri, a position and ch");
    if (Request) Reply(TypeFormatting(*Uri, *Line, *Character, (*Typed)[0]));
  } else if (Method == "textDocument/hover") {
    const json* Position = LspObject(Params, "position");
    const auto Line = Position ? LspInteger(*Position, "line") : std::nullopt;
    const auto Character = Position ? LspInteger(*Position, "character") : std::nullopt;
    if (!Uri || !Line || !Character)
      return Invalid("textDocument/hover needs a textDocument uri and a position");
    if (Request) Reply(Hover(*Uri, *Line, *Character));
  } else if (Method == "textDocument/documentColor") {
    if (!Uri) return Invalid("textDocument/documentColor needs a textDocument uri");
    if (Request) Reply(DocumentColors(*Uri));
  } else if (Method == "textDocument/colorPresentation") {
    const json* Color = LspObject(Params, "color");
    const json* Range = LspObject(Params, "range");
    if (!Uri || !Color || !Range)
      return Invalid("textDocument/colorPresentation needs a uri, a color and a range");
    const auto Part = [Color](const char* Key) {
      const auto It = Color->find(Key);
      return It != Color->end() && It->is_number() ? std::clamp(It->get<double>(), 0.0, 1.0) : 0.0;
    };
    json Answer = json::array();
    for (const auto& Label : ColorPresentations(Part("red"), Part("green"), Part("blue"),
                                                Color->contains("alpha") ? Part("alpha") : 1.0))
      Answer.push_back({{"label", Label}, {"textEdit", {{"range", *Range}, {"newText", Label}}}});
    if (Request) Reply(Answer);
  } else if (Method == "html/autoInsert") {
    const json* Position = LspObject(Params, "position");
    const auto Line = Position ? LspInteger(*Position, "line") : std::nullopt;
    const auto Character = Position ? LspInteger(*Position, "character") : std::nullopt;
    const auto Kind = LspString(Params, "kind");
    if (!Uri || !Line || !Character || !Kind)
      return Invalid("html/autoInsert needs a textDocument uri, a position and kind");
    if (Request) Reply(AutoInsert(*Uri, *Line, *Character, *Kind));
  } else if (Method == "textDocument/completion") {
    const json* Position = LspObject(Params, "position");
    const auto Line = Position ? LspInteger(*Position, "line") : std::nullopt;
    const auto Character = Position ? LspInteger(*Position, "character") : std::nullopt;
    if (!Uri || !Line || !Character)
      return Invalid("textDocument/completion needs a textDocument uri and a position");
    if (Request) Reply(Complete(*Uri, *Line, *Character, Params));
  } else if (Request) {
    Out.push_back(LspErrorAnswer(Id, LspError::MethodNotFound, "Method not found: " + Method));
  }
}

// The client typed the key already: on a trial of the document our host
// takes it back and types it again, and the net change is the key and what
// the engine writes with it. Nothing when the key is not before the caret.
std::optional<TMemoryTrial> TLspServer::Retype(TDocument& Doc, int32_t Caret, char Typed) {
  const std::string& Text = Doc.Text();
  if (Caret <= 0 || Caret > static_cast<int32_t>(Text.size()) ||
      Text[static_cast<size_t>(Caret) - 1] != Typed)
    return std::nullopt;
  Doc.Tree();
  const auto Manager = Doc.Model.ManagerAt(FHost, static_cast<uint32_t>(Caret - 1));
  const auto Markup = query<IKelMLCodeInsightManager>(Manager);
  if (!Markup) return std::nullopt;
  Markup->SetInsertQuotes(InsertQuotesOption());
  Manager->HandlesFile(Doc.Path);
  const auto& View = Doc.View;
  View->BeginTrial();
  View->Edit(Caret - 1, 1, "");
  View->SetCaretOffset(Caret - 1);
  FHost.SetCurrentEditView(View);
  {
    TCompletionCycle Cycle(FHost);
    Cycle.SetManager(Manager);
    Cycle.SetClassifier(Doc.Model.Classifier());
    Cycle.Type(Typed);
    if (Cycle.IsOpen()) Cycle.Key(27);
  }
  FHost.SetCurrentEditView(nullptr);
  return View->EndTrial();
}

json TLspServer::TypeFormatting(const std::string& Uri, int64_t Line, int64_t Character, char Typed) {
  json Edits = json::array();
  const auto Doc = FDocuments.find(Uri);
  if (Doc == FDocuments.end()) return Edits;
  const std::string& Text = Doc->second.Text();
  const int32_t Caret = LspOffset(Text, Line, Character, FUtf8);
  const auto Trial = Retype(Doc->second, Caret, Typed);
  if (!Trial || !Trial->Changed) return Edits;
  // Clients leave the caret where their edit ends (Neovim, eglot): an edit
  // that wants it inside ("<ul>|</ul>", href="|") is left to completion
  // items and html/autoInsert.
  if (Trial->Caret != Trial->Start + static_cast<int32_t>(Trial->NewText.size())) return Edits;
  Edits.push_back({{"range",
                    {{"start", LspPosition(Text, Trial->Start, FUtf8)},
                     {"end", LspPosition(Text, Trial->OldEnd, FUtf8)}}},
                   {"newText", Trial->NewText}});
  return Edits;
}

// A property name in a style sheet (or style inside a page): its one line.
json TLspServer::Hover(const std::string& Uri, int64_t Line, int64_t Character) {
  const auto Doc = FDocuments.find(Uri);
  if (Doc == FDocuments.end()) return nullptr;
  const std::string& Text = Doc->second.Text();
  const auto [Start, L] = LineStart(Text, Line);
  const auto Caret = static_cast<size_t>(OffsetOnLine(Text, Start, Character, FUtf8));
  const auto Name = [](char C) { return std::isalnum(static_cast<unsigned char>(C)) || C == '-'; };
  size_t From = Caret, To = Caret;
  while (From > Start && Name(Text[From - 1])) --From;
  while (To < Text.size() && Name(Text[To])) ++To;
  if (From == To) return nullptr;
  Doc->second.Tree();
  const auto Manager = Doc->second.Model.ManagerAt(FHost, static_cast<uint32_t>(From));
  const auto* Css = dynamic_cast<const TCSSKibitzManager*>(Manager.get());
  const std::string Word = Text.substr(From, To - From);
  const std::string About = Css ? Css->Describe(Word) : std::string();
  if (About.empty()) return nullptr;
  return {{"contents", {{"kind", "plaintext"}, {"value", Word + ": " + About}}},
          {"range",
           {{"start", PositionOnLine(Text, Start, L, From, FUtf8)},
            {"end", PositionOnLine(Text, Start, L, To, FUtf8)}}}};
}

json TLspServer::DocumentColors(const std::string& Uri) {
  json Answer = json::array();
  const auto Doc = FDocuments.find(Uri);
  if (Doc == FDocuments.end()) return Answer;
  const std::string& Text = Doc->second.Text();
  const auto Manager = TCompletionCycle::ManagerFor(FHost, Doc->second.Path);
  const bool Sheet = dynamic_cast<TCSSKibitzManager*>(Manager.get()) != nullptr;
  // One walk over the text gives every position: the colours come in order.
  int64_t Line = 0, Units = 0;
  size_t At = 0;
  const auto PositionOf = [&](size_t Offset) {
    for (; At < Offset && At < Text.size(); ++At) {
      const char C = Text[At];
      if (C == '\r' && At + 1 < Text.size() && Text[At + 1] == '\n') continue;
      if (IsBreak(C)) {
        ++Line;
        Units = 0;
      } else if (const auto B = static_cast<unsigned char>(C); FUtf8) {
        ++Units;
      } else if ((B & 0xC0) != 0x80) {
        Units += B >= 0xF0 ? 2 : 1;
      }
    }
    return json{{"line", Line}, {"character", Units}};
  };
  for (const TColorAt& C : FindColors(Text, Sheet ? nullptr : &Doc->second.Tree())) {
    json Start = PositionOf(static_cast<size_t>(C.Start));
    json End = PositionOf(static_cast<size_t>(C.End));
    Answer.push_back({{"range", {{"start", Start}, {"end", End}}},
                      {"color", {{"red", C.Red}, {"green", C.Green}, {"blue", C.Blue}, {"alpha", C.Alpha}}}});
  }
  return Answer;
}

// VS Code's HTML client asks after "=" (autoQuote) and ">" (autoClose) for
// the text to insert at the position, as a snippet.
json TLspServer::AutoInsert(const std::string& Uri, int64_t Line, int64_t Character,
                            const std::string& Kind) {
  const auto Doc = FDocuments.find(Uri);
  if (Doc == FDocuments.end() || (Kind != "autoQuote" && Kind != "autoClose")) return nullptr;
  const std::string& Text = Doc->second.Text();
  const int32_t Caret = LspOffset(Text, Line, Character, FUtf8);
  const auto Trial = Retype(Doc->second, Caret, Kind == "autoQuote" ? '=' : '>');
  // Only an insertion after the key is what the client can take.
  if (!Trial || !Trial->Changed || Trial->Start != Caret - 1 || Trial->OldEnd != Caret ||
      Trial->NewText.empty() || Trial->NewText[0] != Text[static_cast<size_t>(Caret) - 1])
    return nullptr;
  const std::string Added = Trial->NewText.substr(1);
  const auto At =
      static_cast<size_t>(std::clamp(Trial->Caret - Caret, 0, static_cast<int32_t>(Added.size())));
  return SnippetEscape(Added.substr(0, At)) + "$0" + SnippetEscape(Added.substr(At));
}

json TLspServer::Complete(const std::string& Uri, int64_t Line, int64_t Character, const json& Params) {
  json Items = json::array();
  const json Result{{"isIncomplete", false}, {"items", Items}};
  const auto Doc = FDocuments.find(Uri);
  if (Doc == FDocuments.end()) return Result;
  const std::string& Text = Doc->second.Text();
  const std::string& Path = Doc->second.Path;
  // Every edit lies on the caret's line: its positions count from its start.
  const auto [CaretLineStart, CaretLine] = LineStart(Text, Line);
  const int32_t Caret = OffsetOnLine(Text, CaretLineStart, Character, FUtf8);
  // Counted from the caret, whose column is counted once: a line can be
  // megabytes long, and every item has two positions on it.
  const int64_t CaretUnits = UnitsBetween(Text, CaretLineStart, static_cast<size_t>(Caret), FUtf8);
  const auto Position = [&, CaretLine = CaretLine](size_t Offset) {
    const auto At = static_cast<size_t>(Caret);
    const int64_t Units = Offset >= At ? CaretUnits + UnitsBetween(Text, At, Offset, FUtf8)
                                       : CaretUnits - UnitsBetween(Text, Offset, At, FUtf8);
    return json{{"line", CaretLine}, {"character", Units}};
  };
  const TMLTree& Tree = Doc->second.Tree();
  const auto Manager = Doc->second.Model.ManagerAt(FHost, static_cast<uint32_t>(Caret));
  if (!Manager) return Result;
  if (const auto Markup = query<IKelMLCodeInsightManager>(Manager))
    Markup->SetInsertQuotes(InsertQuotesOption());
  // A style sheet of its own; one inside a page is classified as the page.
  auto* Css = dynamic_cast<TCSSKibitzManager*>(Manager.get());
  const bool Sheet = Css && Manager->HandlesFile(Path);
  // A trigger character opens a list only where the manager says so, as it
  // would for the key typed in our host ('<' in a style sheet does not).
  const json* Context = LspObject(Params, "context");
  if (Context && LspInteger(*Context, "triggerKind").value_or(1) == 2 && Caret > 0) {
    const std::string Trigger = LspString(*Context, "triggerCharacter").value_or("");
    const int32_t Element =
        Sheet ? StyleSheetElementAt(Text, Caret - 1) : Tree.ElementCodeAt(static_cast<uint32_t>(Caret - 1));
    TKelCodeInsightType Kind = TKelCodeInsightType::citNone;
    TKelInvokeType How = TKelInvokeType::itManual;
    Manager->GetCodeInsightType(Trigger.empty() ? '\0' : Trigger[0], Element, Kind, How);
    if (Kind != TKelCodeInsightType::citCodeInsight) return Result;
  }

  // One cycle from the document as it stands: typed characters are already
  // in it, so every request is an explicit one. Each row's edit is planned
  // from the list this one parse opened.
  const auto& View = Doc->second.View;
  View->SetCaretOffset(Caret);
  FHost.SetCurrentEditView(View);
  const std::string Word =
      View->GetPosition()->RipText(Manager->EditorTokenValidChars(false), kelRipBackward);
  const auto WordStart = static_cast<size_t>(Caret) - std::min(Word.size(), static_cast<size_t>(Caret));
  // What opening the list writes (="" before a value list) is tried with
  // each row: every item's edit counts from the client's text.
  View->BeginTrial();
  TCompletionCycle Cycle(FHost);
  // Escape ends the cycle as an editor's would (the manager gives back what
  // it changed for the list); the text goes back to the client's.
  struct TRelease {
    TMemoryHost& Host;
    TCompletionCycle& Cycle;
    const TKelPtr<TMemoryEditView>& View;
    TCSSKibitzManager* Css;
    ~TRelease() {
      if (Cycle.IsOpen()) Cycle.Key(27);
      View->EndTrial();
      Host.SetCurrentEditView(nullptr);
      if (Css) Css->SetPageTree(nullptr);
    }
  } Release{FHost, Cycle, View, Css};
  Cycle.SetManager(Manager);
  Cycle.SetClassifier(Sheet ? TCompletionCycle::TClassifier(StyleSheetElementAt) : Doc->second.Model.Classifier());
  if (Css) Css->SetPageTree(Sheet ? nullptr : &Tree);
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
      const bool Url = Css && std::string_view(Css->PlaceName()) == "value";
      Incomplete = AddPathItems(Items, Text, static_cast<size_t>(Caret), CaretLineStart, Path, Position, Url) ||
                   Incomplete;
      continue;
    }
    FDialogs->AnswerUnits = true;
    FDialogs->Units.clear();
    auto Plan = Cycle.Plan(static_cast<int32_t>(I));
    FDialogs->AnswerUnits = false;
    // A row whose editor would ask (color...) writes nothing here.
    if (!Plan || (!Plan->Changed && Label.ends_with("..."))) continue;
    // A unit row: a number and a choice of its units.
    const size_t Mark = Plan->NewText.find(TLspDialogRunner::ValueMark);
    std::string Choice;
    if (Mark != std::string::npos && !FDialogs->Units.empty()) {
      std::string Plain = Plan->NewText;
      Plain.replace(Mark, 1 + FDialogs->Units[0].size(), "0" + FDialogs->Units[0]);
      Choice = SnippetEscape(Plan->NewText.substr(0, Mark)) + "${1:0}${2|";
      for (size_t U = 0; U < FDialogs->Units.size(); ++U) Choice += (U ? "," : "") + FDialogs->Units[U];
      Choice += "|}" + SnippetEscape(Plan->NewText.substr(Mark + 1 + FDialogs->Units[0].size()));
      Item["label"] = Label.substr(0, Label.size() - 3);
      Item["detail"] = "a number and its unit";
      Item["filterText"] = Label.substr(0, Label.size() - 3);
      if (!FSnippets) Choice.clear();
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
        !FSnippets && (Q == '"' || Q == '\'') && NewText.size() >= 2 && NewText.back() == Q &&
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
    if (!StartsWithText(Label, Typed)) Item["filterText"] = Text.substr(Start, WordStart - Start) + Label;
    const bool CaretInside = Plan->Caret >= Plan->Start && CaretIn < NewText.size();
    if (!Choice.empty()) {
      // The unit row's text stands alone between the word's start and the caret's end.
      Item["insertTextFormat"] = 2;
      NewText = SnippetEscape(Text.substr(Start, static_cast<size_t>(Plan->Start) - Start)) + Choice +
                SnippetEscape(Text.substr(static_cast<size_t>(Plan->OldEnd),
                                          OldEnd - static_cast<size_t>(Plan->OldEnd)));
    } else if (FSnippets) {
      Item["insertTextFormat"] = 2;
      NewText = CaretInside ? SnippetEscape(NewText.substr(0, CaretIn)) + "$0" +
                                  SnippetEscape(NewText.substr(CaretIn))
                            : SnippetEscape(NewText);
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

}  // namespace kel
