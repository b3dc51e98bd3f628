#include "css/CSSCodCmplt.h"

#include <algorithm>

#include "css/CSSSchemaLoader.h"
#include "host/KelEnvironmentOptions.h"
#include "markup/MLBufferProducer.h"

namespace kel {

namespace {

TKelPtr<IKelCodeInsightManager> GManager;

TKelCharSet NameChars() {
  TKelCharSet S;
  for (int C = '0'; C <= '9'; ++C) S.set(static_cast<size_t>(C));
  for (int C = 'A'; C <= 'Z'; ++C) S.set(static_cast<size_t>(C));
  for (int C = 'a'; C <= 'z'; ++C) S.set(static_cast<size_t>(C));
  for (int C = 128; C <= 255; ++C) S.set(static_cast<size_t>(C));
  S.set('-');
  S.set('\\');
  return S;
}

}  // namespace

TCSSKibitzManager::TCSSKibitzManager() : Parser(std::make_unique<TStyleSheetParser>()) { LoadSchema(); }

void TCSSKibitzManager::LoadSchema() {
  std::string Error;
  if (LoadCSSSchema(Parser->GetSymbolTable(), Error)) return;
  if (const auto Messages = KelMessageServices()) {
    Messages->ShowMessageView();
    Messages->AddToolMessage(CSSSchemaFileName(), Error + "; style sheets get no completion", "Code Completion", 0, 0);
  }
}

TKelCharSet TCSSKibitzManager::EditorTokenValidChars(bool) { return NameChars(); }

void TCSSKibitzManager::OnEditorKey(char Key, bool& CloseViewer, bool& Accept) {
  Accept = Key == '\t' || Key == ' ' || Key == ';' || Key == '\r';
  if (Key == ';') SemicolonTyped = true;
  CloseViewer = Accept || Key == 27 || SemicolonTyped;
}

bool TCSSKibitzManager::HandlesFile(const std::string& AFileName) {
  return TEnvironmentOptions::MatchExtensions(
      AFileName, TEnvironmentOptions::GetExtensionsForTypeID("Quorvel.EditOptions.StyleSheet"));
}

void TCSSKibitzManager::GetCodeInsightType(char AChar, int32_t AElement, TKelCodeInsightType& CodeInsightType,
                                           TKelInvokeType& InvokeType) {
  if (AElement == TKelElement::Comment || AElement == TKelElement::String) {
    CodeInsightType = TKelCodeInsightType::citNone;
    return;
  }
  InvokeType = TKelInvokeType::itManual;
  if (AChar == 0) {
    CodeInsightType = TKelCodeInsightType::citCodeInsight;
  } else if (AChar == ':' || AChar == ';') {
    CodeInsightType = TKelCodeInsightType::citCodeInsight;
    InvokeType = TKelInvokeType::itTimer;
  } else {
    CodeInsightType = TKelCodeInsightType::citNone;
  }
}

bool TCSSKibitzManager::InvokeCodeCompletion(TKelInvokeType, std::string&) {
  SemicolonTyped = false;
  KibitzPos = TKibitzPos::kpNone;
  const auto Services = GlobalKibitzManager();
  const auto View = Services ? Services->GetCurrentEditView() : nullptr;
  if (!View) return false;
  const auto Producer = MakeKel<TMLBufferProducer>(View.get());
  TKelEditPos EditPos = View->GetCursorPos();
  TKelCharPos CharPos;
  View->ConvertPos(true, EditPos, CharPos);
  Parser->SetBufferAndPoint(Producer.get(), View->CharPosToPos(CharPos));
  Parser->Parse();
  KibitzPos = Parser->GetKibitzPos();
  return true;
}

int32_t TCSSKibitzManager::GetCount() {
  const TCSSSymbolTable& T = Parser->GetSymbolTable();
  if (KibitzPos == TKibitzPos::kpExpr) return T.GetKibitzValueCount();
  if (KibitzPos == TKibitzPos::kpProperty) return T.GetKibitzPropCount();
  return 0;
}

bool TCSSKibitzManager::FindSymIndex(const std::string& Ident, int32_t& Index) {
  const int32_t Found = FindIdent(Ident);
  if (Found == -1) return false;
  Index = Found;
  return true;
}

std::string TCSSKibitzManager::GetSymbolText(int32_t Index) {
  const TCSSSymbolTable& T = Parser->GetSymbolTable();
  if (KibitzPos == TKibitzPos::kpExpr) return T.GetKibitzValue(Index);
  if (KibitzPos == TKibitzPos::kpProperty) return T.GetKibitzProp(Index);
  return {};
}

std::string TCSSKibitzManager::GetSymbolClassText(int32_t) {
  static const char* const Names[] = {"none", "value", "property", "rule", "comment"};
  return Names[static_cast<int>(KibitzPos)];
}

void TCSSKibitzManager::Done(bool Accepted, bool& DisplayParams) {
  DisplayParams = false;
  if (!Accepted) return;
  const auto Services = GlobalKibitzManager();
  const auto List = Services ? Services->GetCompletionListView() : nullptr;
  if (!List || List->GetSelectedIndex() < 0) return;
  const auto View = Services->GetCurrentEditView();
  if (!View) return;
  std::string S = List->GetSelectedString();
  if (TCSSEditor* Editor = Parser->GetSymbolTable().LookupEditor(S); Editor && KibitzPos == TKibitzPos::kpExpr) {
    if (!Editor->Execute()) return;
    S = Editor->Value;
  }
  const auto Pos = View->GetPosition();
  const std::string Typed = Pos->RipText(NameChars(), kelRipBackward);
  if (!Typed.empty()) Pos->BackspaceDelete(static_cast<int32_t>(Typed.size()));
  if (KibitzPos == TKibitzPos::kpExpr || KibitzPos == TKibitzPos::kpProperty) {
    const char Terminator = KibitzPos == TKibitzPos::kpProperty ? ':' : ';';
    TKelCharSet Ahead;
    Ahead.set('\t');
    Ahead.set(' ');
    Ahead.set(static_cast<unsigned char>(Terminator));
    if (Pos->RipText(Ahead, kelRipForward).find(Terminator) == std::string::npos) S += Terminator;
  }
  Services->InsertText(S, false);
}

TKelPtr<IKelCodeInsightManager> CSSLanguageManager() {
  if (!GManager) GManager = MakeKel<TCSSKibitzManager>();
  return GManager;
}

void ReleaseCSSLanguageManager() { GManager.reset(); }

int32_t StyleSheetElementAt(const std::string& Text, int32_t Offset) {
  enum { Code, Comment, String } State = Code;
  char Quote = 0;
  const size_t End = std::min(Text.size(), static_cast<size_t>(std::max(Offset, 0)));
  for (size_t I = 0; I < End; ++I) {
    const char C = Text[I];
    if (State == Code) {
      if (C == '/' && I + 1 < Text.size() && Text[I + 1] == '*') {
        State = Comment;
        ++I;
      } else if (C == '"' || C == '\'') {
        State = String;
        Quote = C;
      }
    } else if (State == Comment) {
      if (C == '*' && I + 1 < Text.size() && Text[I + 1] == '/') {
        State = Code;
        ++I;
      }
    } else if (C == '\\') {
      ++I;
    } else if (C == Quote || C == '\n') {
      State = Code;
    }
  }
  return State == Comment ? TKelElement::Comment : State == String ? TKelElement::String : TKelElement::Identifier;
}

}  // namespace kel
