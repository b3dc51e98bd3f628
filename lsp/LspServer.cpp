#include "lsp/LspServer.h"

#include <algorithm>
#include <functional>
#include <string_view>

#include "lsp/LspColors.h"
#include "lsp/LspCompletion.h"
#include "lsp/LspDiagnostics.h"
#include "lsp/LspHover.h"
#include "lsp/LspOnType.h"
#include "lsp/LspProtocol.h"

namespace kel {

using nlohmann::json;

void WriteLspMessage(std::ostream& Out, const json& Message) {
  const std::string Body = Message.dump(-1, ' ', false, json::error_handler_t::replace);
  Out << "Content-Length: " << Body.size() << "\r\n\r\n" << Body << std::flush;
}

TLspServer::TLspServer(TMemoryHost& Host) : FHost(Host) {
  // Value editors cannot ask anything here: every dialog is cancelled, so
  // rows such as "uri..." simply write nothing.
  FHost.SetDialogRunner(FDialogs);
}

void TLspServer::Serve(std::istream& In, std::ostream& Out) {
  TLspReader Reader(In);
  while (!FExited) {
    // Problems are told once typing pauses, for the last version only.
    if (!FUnchecked.empty() && In.rdbuf()->in_avail() <= 0 &&
        !(FWaitForInput && FWaitForInput(DiagnosticsDelay)))
      for (const auto& N : Idle()) WriteLspMessage(Out, N);
    int64_t Length = 0;
    const TLspFrame Frame = Reader.NextHeader(Length);
    if (Frame == TLspFrame::End) break;
    std::vector<json> Answers;
    if (Frame == TLspFrame::Body) {
      TLspBody How = TLspBody::Parsed;
      json Message = LspParse(Reader.Stream(), Length, How);
      if (How == TLspBody::Short) break;
      Answers = Answer(std::move(Message), How);
    } else {
      Answers.push_back(LspErrorAnswer(
          nullptr, LspError::ParseError,
          Frame == TLspFrame::TooLarge ? "Message too large" : "No usable Content-Length header"));
    }
    for (const auto& A : Answers) WriteLspMessage(Out, A);
  }
}

std::vector<json> TLspServer::Idle() {
  std::vector<json> Out;
  TLspContext Ctx{FHost, *FDialogs, FUtf8, FSnippets};
  for (const std::string& Uri : FUnchecked)
    if (TLspDocument* Doc = FDocuments.Find(Uri))
      Out.push_back({{"jsonrpc", "2.0"},
                     {"method", "textDocument/publishDiagnostics"},
                     {"params", {{"uri", Uri}, {"diagnostics", LspDiagnosticList(Ctx, *Doc)}}}});
  FUnchecked.clear();
  return Out;
}

std::vector<json> TLspServer::HandleText(const std::string& Body) {
  TLspBody How = TLspBody::Parsed;
  json Message = LspParse(Body, &How);
  return Answer(std::move(Message), How);
}

std::vector<json> TLspServer::Answer(json Message, TLspBody How) {
  if (How == TLspBody::TooDeep) return {LspErrorAnswer(nullptr, LspError::ParseError, "Nested too deeply")};
  if (How != TLspBody::Parsed) return {LspErrorAnswer(nullptr, LspError::ParseError, "Invalid JSON")};
  return Handle(std::move(Message));
}

std::vector<json> TLspServer::Handle(json Message) {
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
  static const json NoParams = json::object();
  const json& Params = ParamsField != Message.end() && ParamsField->is_object() ? *ParamsField : NoParams;

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
  const bool Unknown = Request && Uri && !Method.starts_with("textDocument/did") && !FDocuments.Holds(*Uri);
  try {
    Dispatch(Method, Request, Id, Params, Out);
  } catch (const std::exception& E) {
    // A field of an unexpected shape deep in the params: the message is
    // refused, the server goes on.
    if (Request) Out.push_back(LspErrorAnswer(Id, LspError::InvalidParams, E.what()));
  }
  if (Unknown)
    Out.push_back(
        {{"jsonrpc", "2.0"},
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

namespace {

json LogMessage(int Type, const std::string& Text) {
  return {
      {"jsonrpc", "2.0"}, {"method", "window/logMessage"}, {"params", {{"type", Type}, {"message", Text}}}};
}

struct TPosition {
  int64_t Line = 0, Character = 0;
};

std::optional<TPosition> PositionParam(const json& Params) {
  const json* Position = LspObject(Params, "position");
  const auto Line = Position ? LspInteger(*Position, "line") : std::nullopt;
  const auto Character = Position ? LspInteger(*Position, "character") : std::nullopt;
  if (!Line || !Character) return std::nullopt;
  return TPosition{*Line, *Character};
}

// A feature's method: what its params must hold, and its answer (null
// optional: the params lack it). Doc is null for a document not open.
struct TFeature {
  const char* Method;
  const char* Needs;
  std::function<std::optional<json>(TLspContext&, TLspDocument*, const json& Params)> Answer;
};

// The answer of a method that reads a position of a document.
template <class F>
std::function<std::optional<json>(TLspContext&, TLspDocument*, const json&)> AtPosition(json Empty,
                                                                                        F Answer) {
  return [Empty = std::move(Empty), Answer](TLspContext& Ctx, TLspDocument* Doc,
                                            const json& Params) -> std::optional<json> {
    const auto P = PositionParam(Params);
    if (!P) return std::nullopt;
    return Answer(Ctx, Doc, *P, Params).value_or(Empty);
  };
}

const std::vector<TFeature>& Features() {
  using R = std::optional<json>;
  static const std::vector<TFeature> Table{
      {"textDocument/completion", "a textDocument uri and a position",
       AtPosition(json{{"isIncomplete", false}, {"items", json::array()}},
                  [](TLspContext& Ctx, TLspDocument* Doc, TPosition P, const json& Params) -> R {
                    if (!Doc) return std::nullopt;
                    return LspComplete(Ctx, *Doc, P.Line, P.Character, Params);
                  })},
      {"textDocument/hover", "a textDocument uri and a position",
       AtPosition(nullptr,
                  [](TLspContext& Ctx, TLspDocument* Doc, TPosition P, const json&) -> R {
                    if (!Doc) return std::nullopt;
                    return LspHover(Ctx, *Doc, P.Line, P.Character);
                  })},
      {"textDocument/onTypeFormatting", "a textDocument uri, a position and ch",
       [](TLspContext& Ctx, TLspDocument* Doc, const json& Params) -> R {
         const auto P = PositionParam(Params);
         const auto Typed = LspString(Params, "ch");
         if (!P || !Typed || Typed->size() != 1) return std::nullopt;
         return Doc ? LspTypeFormatting(Ctx, *Doc, P->Line, P->Character, (*Typed)[0]) : json::array();
       }},
      {"html/autoInsert", "a textDocument uri, a position and kind",
       [](TLspContext& Ctx, TLspDocument* Doc, const json& Params) -> R {
         const auto P = PositionParam(Params);
         const auto Kind = LspString(Params, "kind");
         if (!P || !Kind) return std::nullopt;
         return Doc ? LspAutoInsert(Ctx, *Doc, P->Line, P->Character, *Kind) : json(nullptr);
       }},
      {"textDocument/diagnostic", "a textDocument uri",
       [](TLspContext& Ctx, TLspDocument* Doc, const json& Params) -> R {
         return Doc ? LspDocumentDiagnostic(Ctx, *Doc, Params)
                    : json{{"kind", "full"}, {"items", json::array()}};
       }},
      {"textDocument/codeAction", "a textDocument uri and a range",
       [](TLspContext& Ctx, TLspDocument* Doc, const json& Params) -> R {
         const json* Range = LspObject(Params, "range");
         const json* Text = LspObject(Params, "textDocument");
         const auto Uri = Text ? LspString(*Text, "uri") : std::nullopt;
         if (!Range || !Uri) return std::nullopt;
         return Doc ? LspCodeActions(Ctx, *Doc, *Uri, *Range) : json::array();
       }},
      {"textDocument/documentColor", "a textDocument uri",
       [](TLspContext& Ctx, TLspDocument* Doc, const json&) -> R {
         return Doc ? LspDocumentColors(Ctx, *Doc) : json::array();
       }},
      {"textDocument/colorPresentation", "a uri, a color and a range",
       [](TLspContext&, TLspDocument*, const json& Params) -> R {
         const json* Color = LspObject(Params, "color");
         const json* Range = LspObject(Params, "range");
         if (!Color || !Range) return std::nullopt;
         return LspColorPresentation(*Color, *Range);
       }},
  };
  return Table;
}

}  // namespace

void TLspServer::Dispatch(const std::string& Method, bool Request, const json& Id, const json& Params,
                          std::vector<json>& Out) {
  const auto Reply = [&](json Result) {
    Out.push_back({{"jsonrpc", "2.0"}, {"id", Id}, {"result", std::move(Result)}});
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
      FPush = !(Text && LspObject(*Text, "diagnostic"));
    }
    Reply(
        {{"capabilities",
          {{"positionEncoding", FUtf8 ? "utf-8" : "utf-16"},
           {"textDocumentSync", {{"openClose", true}, {"change", 2}}},
           {"completionProvider",
            {{"triggerCharacters", {"<", "&", "=", ":", ";", "/"}}, {"resolveProvider", false}}},
           // The edits typing makes in the engine (closing tag, ="", " />").
           {"colorProvider", true},
           {"hoverProvider", true},
           {"codeActionProvider", {{"codeActionKinds", {"quickfix"}}}},
           {"diagnosticProvider",
            {{"identifier", "mlinsight"}, {"interFileDependencies", false}, {"workspaceDiagnostics", false}}},
           {"documentOnTypeFormattingProvider",
            {{"firstTriggerCharacter", ">"}, {"moreTriggerCharacter", {"=", "/"}}}}}},
         {"serverInfo", {{"name", "mlinsight"}}}});
  } else if (Method == "shutdown") {
    FShutdown = true;
    if (Request) Reply(nullptr);
  } else if (Method == "textDocument/didOpen") {
    const std::string* Text = Doc ? LspStringIn(*Doc, "text") : nullptr;
    if (Uri && Text && Text->size() > MaxLspDocument) {
      Out.push_back(LogMessage(1, *Uri + " is larger than 1024 MiB: it is not served"));
    } else if (Uri && Text) {
      // The message is ours (Handle took it): its text becomes the document's.
      FDocuments.Open(*Uri, std::move(*const_cast<std::string*>(Text)),
                      LspString(*Doc, "languageId").value_or(""));
      if (FPush) FUnchecked.insert(*Uri);
    }
  } else if (Method == "textDocument/didChange") {
    const auto Changes = Params.find("contentChanges");
    if (Uri && Changes != Params.end()) FDocuments.Change(*Uri, *Changes, FUtf8);
    if (Uri && FPush && FDocuments.Holds(*Uri)) FUnchecked.insert(*Uri);
    if (const TLspDocument* Open = Uri ? FDocuments.Find(*Uri) : nullptr;
        Open && Open->Text().size() > MaxLspDocument) {
      FDocuments.Close(*Uri);
      Out.push_back(LogMessage(1, *Uri + " grew larger than 1024 MiB: it is no longer served"));
    }
  } else if (Method == "textDocument/didClose") {
    if (Uri && FDocuments.Holds(*Uri)) {
      FDocuments.Close(*Uri);
      FUnchecked.erase(*Uri);
      // Its problems go with it.
      if (FPush)
        Out.push_back({{"jsonrpc", "2.0"},
                       {"method", "textDocument/publishDiagnostics"},
                       {"params", {{"uri", *Uri}, {"diagnostics", json::array()}}}});
    }
  } else {
    const auto& Table = Features();
    const auto Feature =
        std::find_if(Table.begin(), Table.end(), [&Method](const TFeature& F) { return Method == F.Method; });
    if (Feature == Table.end()) {
      if (Request) Out.push_back(LspErrorAnswer(Id, LspError::MethodNotFound, "Method not found: " + Method));
      return;
    }
    TLspContext Ctx{FHost, *FDialogs, FUtf8, FSnippets};
    std::optional<json> Answer;
    if (Uri) Answer = Feature->Answer(Ctx, FDocuments.Find(*Uri), Params);
    if (!Answer) {
      if (Request)
        Out.push_back(LspErrorAnswer(Id, LspError::InvalidParams, Method + " needs " + Feature->Needs));
      return;
    }
    if (Request) Reply(std::move(*Answer));
  }
}

}  // namespace kel
