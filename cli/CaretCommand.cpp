#include "cli/CaretCommand.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/TextPositions.h"
#include "host/KelStrings.h"
#include "host/MemoryEditor.h"
#include "markup/MLBufferProducer.h"
#include "markup/MLParser.h"
#include "symbols/MLSymbolManager.h"

namespace kel {

namespace {

using nlohmann::json;

const char* TypeName(TTagType T) {
  static const char* const Names[] = {
      "comment", "attribute", "open",     "close", "singleLine", "serverScript", "processingInstruction",
      "text",    "docType",   "directive"};
  return Names[static_cast<int>(T)];
}

class TEventPrinter : public TKelInterfaced<IKelMLElementCallback> {
 public:
  void ElementParsed(TMLParser*, IKelMLMarkupPos* Node, TTagType Type, int32_t Start, int32_t End,
                     bool&) override {
    std::string What;
    if (auto Text = query<IKelMLTextNode>(Node))
      What = Text->GetText();
    else if (auto Tag = query<IKelMLTag>(Node))
      What = Tag->GetName();
    else if (auto Attr = query<IKelMLTagAttribute>(Node))
      What = Attr->GetName();
    Events.push_back({{"type", TypeName(Type)}, {"start", Start}, {"end", End}, {"node", What}});
  }
  void Invalidate() override {}
  json Events = json::array();
};

std::string Quote(char C) { return C ? std::string(1, C) : std::string(); }

const char* ContextName(TParserContexts C) {
  static const char* const Names[] = {
      "pcNone",   "pcHTMLComment", "pcStyle", "pcScript", "pcProcessingInstruction", "pcServerSideScript",
      "pcString", "pcCDATA"};
  return Names[static_cast<int>(C)];
}

}  // namespace

bool ParseLineColumn(const std::string& Text, int32_t& Line, int32_t& Column) {
  const size_t Colon = Text.find(':');
  if (Colon == std::string::npos) return false;
  try {
    size_t Used = 0;
    const long L = std::stol(Text.substr(0, Colon), &Used);
    if (Used != Colon) return false;
    const std::string Rest = Text.substr(Colon + 1);
    const long C = std::stol(Rest, &Used);
    if (Used != Rest.size() || L < 1 || C < 1 || C > 0x7FFFFFFF || L > 0x7FFFFFFF) return false;
    Line = static_cast<int32_t>(L);
    Column = static_cast<int32_t>(C);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

int RunCaret(const TCaretRequest& R, std::ostream& Out, std::ostream& Err) {
  std::string Text;
  if (!ReadWholeFile(R.FileName, Text, Err)) return 1;
  auto View = MakeMemoryEditView(Text, R.FileName);
  if (const std::string Why = CaretOutside(Text, R.Line, R.Column); !Why.empty()) {
    Err << "mlinsight: no " << R.Line << ':' << R.Column << " in " << R.FileName << ": " << Why << '\n';
    return 2;
  }
  View->SetCursorPos({ByteColumn(Text, R.Line, R.Column), R.Line});

  TMLSymbolManager Manager;
  Manager.SetFileName(R.FileName);
  Manager.SetKibitzMode(R.Mode);
  TMLParser& Parser = *Manager.GetParser();
  auto Printer = MakeKel<TEventPrinter>();
  // The first parse selects and loads the document's schema; the second
  // runs with its tags, as every later keystroke would.
  Parser.BootStrapDTD(MakeKel<TMLBufferProducer>(View.get()).get());
  if (R.Events) Parser.AddCallback(Printer.get());
  auto Producer = MakeKel<TMLBufferProducer>(View.get());
  Parser.Parse(View->GetCursorPos(), Producer.get(), nullptr);
  Parser.RemoveCallback(Printer.get());

  json S;
  S["inTag"] = Parser.Caret().InTag;
  S["inClosingTag"] = Parser.Caret().InClosingTag;
  S["caretInTagName"] = Parser.Caret().CaretInTagName;
  S["inDirectiveName"] = Parser.Caret().InDirectiveName;
  S["currentTag"] = Parser.Caret().CurrentTag ? json(Parser.Caret().CurrentTag->GetName()) : json(nullptr);
  S["currentAttr"] = Parser.Caret().CurrentAttr ? json(Parser.Caret().CurrentAttr->GetName()) : json(nullptr);
  S["inScript"] = Parser.Caret().InScript;
  S["inStyle"] = Parser.Caret().InStyle;
  S["inDocType"] = Parser.GetInDocType();
  S["isXML"] = Parser.Caret().IsXML;
  S["valuePos"] = {Parser.Caret().ValuePos.Col, Parser.Caret().ValuePos.Line};
  S["quote"] = Quote(Parser.Caret().Quote);
  S["quoteEnd"] = Quote(Parser.Caret().QuoteEnd);
  json Contexts = json::array();
  for (int C = 0; C <= static_cast<int>(TParserContexts::pcLast); ++C)
    if (Parser.Caret().Contexts.Contains(static_cast<TParserContexts>(C)))
      Contexts.push_back(ContextName(static_cast<TParserContexts>(C)));
  S["contexts"] = Contexts;
  S["contextPos"] = Parser.GetContextPos();
  S["docTypeIdentifier"] = Parser.Caret().DocTypeIdentifier;
  S["schemaFile"] = Manager.GetSchemaFile();
  json Attrs = json::array();
  for (int32_t I = 0; I < Parser.GetCurrentTagAttrCount(); ++I) {
    const std::string Name = Parser.GetCurrentTagAttrName(I);
    Attrs.push_back({{"name", Name},
                     {"value", Utf16ToUtf8(Parser.GetCurrentTagAttrValue(I))},
                     {"quote", Quote((*Parser.CaretTagValues())[static_cast<size_t>(I)]->Quote)},
                     {"quoteEnd", Quote((*Parser.CaretTagValues())[static_cast<size_t>(I)]->QuoteEnd)}});
  }
  S["attrValues"] = Attrs;
  json Stack = json::array();
  for (const auto& E : Parser.OpenElements()) Stack.push_back(E->Tag ? E->Tag->GetName() : "");
  S["tagStack"] = Stack;
  json Closing = json::array();
  for (int32_t I = 0; I < Manager.GetClosedTagsCount(); ++I) {
    const auto C = Manager.GetCloseTags(I);
    Closing.push_back({{"text", C->GetName()}, {"line", query<IKelMLCustomTag>(C)->GetLineNumber()}});
  }
  S["closingTags"] = Closing;
  json Auto = json::array();
  for (const auto& P : Parser.Caret().AutoClosePositions) Auto.push_back({P.Col, P.Line});
  S["autoClosePositions"] = Auto;
  S["currentCol"] = Parser.GetCurrentCol();
  if (R.Events) S["events"] = Printer->Events;

  if (R.Json) {
    Out << S.dump(-1, ' ', false, json::error_handler_t::replace) << '\n';
  } else {
    for (const auto& [Key, Value] : S.items())
      Out << Key << ": " << Value.dump(-1, ' ', false, json::error_handler_t::replace) << '\n';
  }
  return 0;
}

}  // namespace kel
