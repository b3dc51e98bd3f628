#include "css/CSSCodCmplt.h"

#include <algorithm>
#include <cctype>

#include "css/CSSSchemaLoader.h"
#include "css/CSSUnitEditor.h"
#include "host/KelEnvironmentOptions.h"
#include "host/KelStrings.h"
#include "markup/MLBufferProducer.h"
#include "markup/MLTree.h"

namespace kel {

namespace {

// What follows the caret on its line up to the declaration's ";" or "}",
// blanks left out.
std::string RestOfDeclaration(IKelEditPosition& Pos) {
  TKelCharSet End;
  End.set(';');
  End.set('}');
  std::string Rest = Pos.RipText(End, kelRipForward | kelRipToStopSet);
  Rest.erase(0, Rest.find_first_not_of(" \t"));
  Rest.erase(Rest.find_last_not_of(" \t") + 1);
  return Rest;
}

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

// The number that begins a typed value word ("10" of "10p", "-2" of "-2"),
// when the rest is letters: a unit being typed. Empty otherwise.
std::string NumberBeingTyped(const std::string& Word) {
  size_t I = Word.starts_with("-") ? 1 : 0;
  const size_t Digits = I;
  while (I < Word.size() && Word[I] >= '0' && Word[I] <= '9') ++I;
  // No real number has 40 digits; each unit would copy a pasted run of them.
  if (I == Digits || I > 40) return {};
  for (size_t J = I; J < Word.size(); ++J)
    if (!std::isalpha(static_cast<unsigned char>(Word[J]))) return {};
  return Word.substr(0, I);
}

// In an at-rule block of descriptors, the descriptor of that name if there
// is one (@page takes properties too); else the property.
TCSSProperty* DescriptorOrProperty(const TCSSSymbolTable& Table, const TCSSContext& Context) {
  if (TCSSProperty* D = Table.LookupDescriptor(Context.AtRule, Context.Property)) return D;
  return Table.LookupProperty(Context.Property);
}

}  // namespace

TCSSKibitzManager::TCSSKibitzManager() : Parser(std::make_unique<TStyleSheetParser>()) {}

void TCSSKibitzManager::LoadSchema() const {
  SchemaLoaded = true;
  std::string Error;
  if (LoadCSSSchema(Parser->GetSymbolTable(), Error)) return;
  if (const auto Messages = KelMessageServices()) {
    Messages->ShowMessageView();
    Messages->AddToolMessage(CSSSchemaFileName(), Error + "; style sheets get no completion",
                             "Code Completion", 0, 0);
  }
}

std::string TCSSKibitzManager::Describe(const std::string& Property) const {
  EnsureSchema();
  const TCSSSymbolTable& Table = Parser->GetSymbolTable();
  if (const TCSSProperty* P = Table.LookupProperty(LowerCase(Property))) return P->Description;
  // A descriptor (font-display) of whichever at-rule has one of that name.
  for (const auto& [AtRule, List] : Table.Descriptors)
    if (const TCSSProperty* D = Table.LookupDescriptor(AtRule, Property)) return D->Description;
  return {};
}

const std::vector<std::string>& TCSSKibitzManager::PropertyNames() const {
  EnsureSchema();
  const TCSSSymbolTable& Table = Parser->GetSymbolTable();
  if (Properties.empty())
    for (int32_t I = 0; I < Table.GetPropCount(); ++I)
      Properties.push_back(LowerCase(Table.GetProp(I)->Name));
  return Properties;
}

std::vector<std::string> TCSSKibitzManager::DescriptorNames(const std::string& AtRule) const {
  EnsureSchema();
  std::vector<std::string> R;
  const TCSSSymbolTable& Table = Parser->GetSymbolTable();
  if (const auto It = Table.Descriptors.find(LowerCase(AtRule)); It != Table.Descriptors.end())
    for (const auto& D : It->second) R.push_back(LowerCase(D->Name));
  return R;
}

const std::vector<std::string>& TCSSKibitzManager::AtRuleNames() const {
  EnsureSchema();
  const TCSSSymbolTable& Table = Parser->GetSymbolTable();
  if (AtRuleList.empty()) {
    for (const std::string& A : Table.AtRules) AtRuleList.push_back(LowerCase(A));
    for (const auto& [Within, List] : Table.AtRulesWithin)
      for (const std::string& A : List) AtRuleList.push_back(LowerCase(A));
  }
  return AtRuleList;
}

TKelCharSet TCSSKibitzManager::EditorTokenValidChars(bool) { return NameChars(); }

void TCSSKibitzManager::OnEditorKey(char Key, bool& CloseViewer, bool& Accept) {
  LastKey = Key;
  // Digits, "#", "(", "%", "." and "-" keep typing; a blank or ";" accepts
  // only what was typed of the selected entry (Done decides).
  Accept = Key == '\t' || Key == ' ' || Key == ';' || Key == '\r';
  if (Key == ';') SemicolonTyped = true;
  CloseViewer = Accept || Key == 27;
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
  OwnList = false;
  Vars.clear();
  VarsShown.clear();
  Context = {};
  EnsureSchema();
  TCSSSymbolTable& Table = Parser->GetSymbolTable();
  Table.ResetKibitz();
  const auto Services = GlobalKibitzManager();
  const auto View = Services ? Services->GetCurrentEditView() : nullptr;
  if (!View) return false;
  TKelEditPos EditPos = View->GetCursorPos();
  TKelCharPos CharPos;
  View->ConvertPos(true, EditPos, CharPos);
  const int32_t Caret = View->CharPosToPos(CharPos);
  const auto Reader = View->GetBuffer()->CreateReader();
  // The text from From to To (-1: to its end).
  const auto ReadFrom = [&Reader](int32_t From, int32_t To) {
    std::string Read;
    if (To >= 0) {
      Read.resize(static_cast<size_t>(std::max(To - From, 0)));
      Read.resize(static_cast<size_t>(std::max(0, Reader->GetText(From, Read.data(), To - From))));
    } else {
      std::string Piece(1 << 16, '\0');
      for (int32_t At = From, N;
           (N = Reader->GetText(At, Piece.data(), static_cast<int32_t>(Piece.size()))) > 0; At += N)
        Read.append(Piece, 0, static_cast<size_t>(N));
    }
    // A NUL reads as a blank, as it does to the scanners.
    std::replace(Read.begin(), Read.end(), '\0', ' ');
    return Read;
  };
  std::string Text;
  // The options file says which files are sheets: read once a request.
  const std::string FileName = View->GetBuffer()->GetFileName();
  const bool OwnSheet = HandlesFile(FileName);
  std::vector<std::string> PageProperties;
  if (OwnSheet) {
    Text = ReadFrom(0, std::max(Caret, 0));
  } else {
    // A sheet inside a page is what the page's tree says: a <style> body or
    // style="…" value (declarations, read as a rule's block), pieces of an
    // XSL template's <style> between its elements.
    const std::string Page = ReadFrom(0, -1);
    TMLTree Built;
    const TMLTree* Tree = PageTree;
    if (!Tree) {
      Built = TMLTree::Build(Page, TMLTree::XmlByName(FileName));
      Tree = &Built;
    }
    const TMLRegion* Region = Tree->RegionAt(static_cast<uint32_t>(std::max(Caret, 0)));
    if (!Region ||
        (Region->Kind != TMLRegionKind::StyleSheet && Region->Kind != TMLRegionKind::StyleDeclarations))
      return false;
    Text = Tree->SheetText(Page, *Region, static_cast<uint32_t>(Caret));
    // Custom properties are the page's: every sheet and style attribute.
    for (const TMLRegion& R : Tree->Regions)
      if (R.Kind == TMLRegionKind::StyleSheet || R.Kind == TMLRegionKind::StyleDeclarations)
        for (auto& Name : CSSCustomProperties(Page.substr(R.Range.Start, R.Range.End - R.Range.Start)))
          PageProperties.push_back(std::move(Name));
  }
  Context = FindCSSContext(Text, [&Table](std::string_view Name) {
    return Table.LookupProperty(LowerCase(std::string(Name))) != nullptr;
  });
  // A sheet's custom properties are its own wherever they stand: those
  // declared after the caret too.
  if (Context.Place == TCSSPlace::Value) {
    if (OwnSheet) PageProperties = CSSCustomProperties(ReadFrom(Caret, -1));
    for (auto& Name : PageProperties)
      if (std::find(Context.CustomProperties.begin(), Context.CustomProperties.end(), Name) ==
          Context.CustomProperties.end())
        Context.CustomProperties.push_back(std::move(Name));
  }
  const auto UseOwn = [this](const std::vector<std::string>& Names, bool Sorted = true) {
    Own = Names;
    if (Sorted) {
      std::sort(Own.begin(), Own.end(), [](const auto& A, const auto& B) { return CompareText(A, B) < 0; });
      Own.erase(std::unique(Own.begin(), Own.end()), Own.end());
    }
    OwnList = true;
    OwnShown = Own;
  };
  const auto Position = [this](TKibitzPos P) {
    KibitzPos = P;
    Parser->SetKibitzPos(P);
  };
  Position(TKibitzPos::kpNone);
  // An at-rule block of descriptors (@font-face, @counter-style) offers
  // them; @page takes page properties besides.
  const auto Descriptors = Table.Descriptors.find(Context.AtRule);
  const bool DescriptorBlock = Descriptors != Table.Descriptors.end();
  switch (Context.Place) {
    case TCSSPlace::Property:
      if (DescriptorBlock) {
        std::vector<std::string> Names;
        for (const auto& D : Descriptors->second) Names.push_back(D->Name);
        if (Context.AtRule == "page")
          for (int32_t I = 0; I < Table.GetPropCount(); ++I) Names.push_back(Table.GetProp(I)->Name);
        UseOwn(Names);
        break;
      }
      Position(TKibitzPos::kpProperty);
      break;
    case TCSSPlace::Value:
      if (Context.Function == "var") {
        UseOwn(Context.CustomProperties);
      } else if (Context.Function == "calc" || Context.Function == "min" || Context.Function == "max" ||
                 Context.Function == "clamp") {
        // Arithmetic takes numbers and var(): no keyword is written there.
        UseOwn({"var()"});
      } else if (static const std::vector<std::string> ColorFunctions = {"rgb", "rgba", "hsl", "hsla", "hwb",
                                                                         "lab", "lch", "oklab", "oklch",
                                                                         "color", "device-cmyk"};
                 std::find(ColorFunctions.begin(), ColorFunctions.end(), Context.Function) !=
                 ColorFunctions.end()) {
        // Channels are numbers: no colour name belongs inside rgb().
        UseOwn({"calc()", "none", "var()"});
      } else if (TCSSProperty* P = DescriptorOrProperty(Table, Context)) {
        size_t W = Text.size();
        const TKelCharSet Chars = NameChars();
        while (W > 0 && Chars.test(static_cast<unsigned char>(Text[W - 1]))) --W;
        const std::string Word = Text.substr(W);
        // "#f" is a colour being written in hex, "1." a number: no keyword
        // fits there.
        const bool Decimal = Word.empty() && W > 1 && Text[W - 1] == '.' &&
                             std::isdigit(static_cast<unsigned char>(Text[W - 2]));
        if ((W > 0 && Text[W - 1] == '#') || Decimal) {
          UseOwn({});
          break;
        }
        // A number being typed gets the units the property takes, in the
        // schema's order (px first): "10p" offers 10px, 10pt, 10pc.
        if (const std::string Number = NumberBeingTyped(Word); !Number.empty()) {
          std::vector<std::string> Units;
          for (const TCSSValue* V : P->Values) {
            if (V->Kind != TCSSValueKind::cssVkType) continue;
            auto* Editor = dynamic_cast<TCSSUnitEditor*>(Table.LookupEditor(V->Name + "..."));
            for (int32_t I = 0; Editor && I < Editor->GetUnitList().GetCount(); ++I)
              Units.push_back(Number + Editor->GetUnitList().GetItem(I));
          }
          // Keywords that are numbers (font-weight's 100 to 900) come too.
          for (const TCSSValue* V : P->Values)
            if (V->Kind == TCSSValueKind::cssVkName && V->Name.starts_with(Number)) Units.push_back(V->Name);
          if (!Units.empty()) {
            UseOwn(Units, false);
            break;
          }
        }
        Position(TKibitzPos::kpExpr);
        Table.SetKibitzProperty(P);
        for (const auto& Name : Context.CustomProperties) Vars.push_back("var(" + Name + ")");
        VarsShown = Vars;
        ShowValues();
      }
      break;
    case TCSSPlace::Important:
      UseOwn({"important"});
      break;
    case TCSSPlace::Url:
      UseOwn({"uri..."});
      break;
    case TCSSPlace::Element:
      UseOwn(CSSElementNames());
      break;
    case TCSSPlace::PseudoClass:
      UseOwn(Table.PseudoClasses.empty() ? CSSPseudoClasses() : Table.PseudoClasses);
      break;
    case TCSSPlace::PseudoElement:
      UseOwn(Table.PseudoElements.empty() ? CSSPseudoElements() : Table.PseudoElements);
      break;
    case TCSSPlace::AtRule: {
      // @page holds its margin boxes, a style rule also @apply; elsewhere
      // the at-rules that stand on their own.
      const auto Within = Table.AtRulesWithin.find(Context.Within);
      std::vector<std::string> Names = Table.AtRules.empty() ? CSSAtRules() : Table.AtRules;
      if (Within != Table.AtRulesWithin.end()) {
        if (Context.Within != "rule") Names.clear();
        Names.insert(Names.end(), Within->second.begin(), Within->second.end());
        std::sort(Names.begin(), Names.end());
      }
      UseOwn(Names);
      break;
    }
    case TCSSPlace::MediaQuery:
      if (Context.AtRule == "container" && !Table.ContainerWords.empty())
        UseOwn(Table.ContainerWords);
      else
        UseOwn(Table.MediaWords.empty() ? CSSMediaWords() : Table.MediaWords);
      break;
    case TCSSPlace::MediaValue: {
      const auto& Values = Context.AtRule == "container" ? Table.ContainerValues : Table.MediaValues;
      const auto Found = Values.find(Context.Feature);
      UseOwn(Found == Values.end() ? std::vector<std::string>() : Found->second);
      break;
    }
    case TCSSPlace::Keyframe:
      UseOwn({"from", "to"});
      break;
    case TCSSPlace::None:
      break;
  }
  return true;
}

std::string TCSSKibitzManager::PlaceName() {
  static const char* const Names[] = {"none",     "element", "pseudo-class", "pseudo-element",
                                      "at-rule",  "media",   "media-value",  "keyframe",
                                      "property", "value",   "important",    "url"};
  return Names[static_cast<int>(Context.Place)];
}

void TCSSKibitzManager::SetFilter(const std::string& FilterText) {
  if (!OwnList) {
    Parser->GetSymbolTable().SetFilter(FilterText);
    ShowValues();
    VarsShown.clear();
    for (const auto& N : Vars)
      if (StartsWithText(N, FilterText)) VarsShown.push_back(N);
    return;
  }
  OwnShown.clear();
  for (const auto& N : Own)
    // In url( what is typed is a path, which the one "uri..." entry takes.
    if (StartsWithText(N, FilterText) || Context.Place == TCSSPlace::Url) OwnShown.push_back(N);
}

void TCSSKibitzManager::ShowValues() {
  ValueRows.clear();
  if (KibitzPos != TKibitzPos::kpExpr) return;
  const TCSSSymbolTable& T = Parser->GetSymbolTable();
  static const char* const Wide[] = {"inherit", "initial", "unset", "revert", "revert-layer"};
  for (int32_t I = 0; I < T.GetKibitzValueCount(); ++I) {
    const std::string V = T.GetKibitzValue(I);
    if (!Context.FirstValue &&
        std::any_of(std::begin(Wide), std::end(Wide), [&V](const char* W) { return V == W; }))
      continue;
    ValueRows.push_back(I);
  }
}

int32_t TCSSKibitzManager::FindIdent(const std::string& Ident) {
  if (!OwnList && KibitzPos == TKibitzPos::kpExpr) {
    for (size_t I = 0; I < ValueRows.size(); ++I)
      if (StartsWithText(GetSymbolText(static_cast<int32_t>(I)), Ident)) return static_cast<int32_t>(I);
    for (size_t I = 0; I < VarsShown.size(); ++I)
      if (StartsWithText(VarsShown[I], Ident)) return static_cast<int32_t>(ValueRows.size() + I);
    return -1;
  }
  if (!OwnList) return Parser->GetSymbolTable().FindIdent(Ident);
  for (size_t I = 0; I < OwnShown.size(); ++I)
    if (StartsWithText(OwnShown[I], Ident)) return static_cast<int32_t>(I);
  return -1;
}

int32_t TCSSKibitzManager::GetCount() {
  if (OwnList) return static_cast<int32_t>(OwnShown.size());
  const TCSSSymbolTable& T = Parser->GetSymbolTable();
  if (KibitzPos == TKibitzPos::kpExpr) return static_cast<int32_t>(ValueRows.size() + VarsShown.size());
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
  if (OwnList) return Index >= 0 && Index < GetCount() ? OwnShown[static_cast<size_t>(Index)] : std::string();
  const TCSSSymbolTable& T = Parser->GetSymbolTable();
  if (KibitzPos == TKibitzPos::kpExpr) {
    const auto Listed = static_cast<int32_t>(ValueRows.size());
    if (Index >= 0 && Index < Listed) return T.GetKibitzValue(ValueRows[static_cast<size_t>(Index)]);
    return Index >= Listed && Index - Listed < static_cast<int32_t>(VarsShown.size())
               ? VarsShown[static_cast<size_t>(Index - Listed)]
               : std::string();
  }
  if (KibitzPos == TKibitzPos::kpProperty) return T.GetKibitzProp(Index);
  return {};
}

std::string TCSSKibitzManager::GetSymbolClassText(int32_t) {
  if (Context.Place == TCSSPlace::Value || Context.Place == TCSSPlace::Important) return "value";
  return PlaceName();
}

void TCSSKibitzManager::Done(bool Accepted, bool& DisplayParams) {
  DisplayParams = false;
  const char Key = LastKey;
  LastKey = 0;
  const auto Services = GlobalKibitzManager();
  const auto View = Services ? Services->GetCurrentEditView() : nullptr;
  if (!View) return;
  const auto List = Services->GetCompletionListView();
  const auto Pos = View->GetPosition();
  const std::string Typed = Pos->RipText(NameChars(), kelRipBackward);
  const bool Selected = List && List->GetSelectedIndex() >= 0 && GetCount() > 0;
  // A blank or ";" accepts only the entry whose name is being typed; else it
  // is typed as it is ("margin: 10px;" keeps its ";").
  const bool Typing = Key == ';' || Key == ' ';
  if (!Accepted || !Selected ||
      (Typing && (Typed.empty() || !StartsWithText(List->GetSelectedString(), Typed)))) {
    if (Accepted && Typing) Services->InsertText(std::string(1, Key), false);
    return;
  }
  std::string S = List->GetSelectedString();
  bool Keyword = !S.empty() && std::isalpha(static_cast<unsigned char>(S[0]));
  const bool InUrl = Context.Place == TCSSPlace::Url;
  if (TCSSEditor* Editor = Parser->GetSymbolTable().LookupEditor(S);
      Editor && (KibitzPos == TKibitzPos::kpExpr || InUrl)) {
    if (!Editor->Execute()) return;
    S = Editor->Value;
    Keyword = false;
    // Inside url( the path alone.
    if (InUrl && S.starts_with("url(") && S.ends_with(")")) S = S.substr(4, S.size() - 5);
  }
  // The whole word under the caret gives way to the entry.
  if (!Typed.empty()) Pos->BackspaceDelete(static_cast<int32_t>(Typed.size()));
  if (const auto Rest = static_cast<int32_t>(Pos->RipText(NameChars(), kelRipForward).size()); Rest > 0) {
    Pos->MoveRelative(0, Rest);
    Pos->BackspaceDelete(Rest);
  }
  bool Function = S.size() > 2 && S.ends_with("()");
  // In front of its own arguments ("sca|le(2)") a function keeps them.
  TKelCharSet Open;
  Open.set('(');
  const bool Arguments = Function && Pos->RipText(Open, kelRipForward).size() == 1;
  if (Arguments) {
    S.resize(S.size() - 2);
    Function = false;
  }
  char Terminator = 0;
  if (Context.Place == TCSSPlace::Property) {
    Terminator = ':';
  } else if ((Context.Place == TCSSPlace::Value || Context.Place == TCSSPlace::Important) &&
             Context.Function.empty() && !Function && !Arguments && !Context.InPrelude) {
    // A keyword of a shorthand is seldom its last value ("border: 1px solid
    // red"), and a value in front of more of the declaration ("fl|ex
    // !important") is not its end; a ";" typed always is.
    const TCSSProperty* P = Parser->GetSymbolTable().LookupProperty(Context.Property);
    if (Key == ';' || (!(Keyword && P && P->Shorthand) && RestOfDeclaration(*Pos).empty())) Terminator = ';';
  }
  if (Terminator) {
    TKelCharSet Ahead;
    Ahead.set('\t');
    Ahead.set(' ');
    Ahead.set(static_cast<unsigned char>(Terminator));
    if (Pos->RipText(Ahead, kelRipForward).find(Terminator) == std::string::npos) S += Terminator;
  }
  Services->InsertText(S, false);
  // A function's arguments go between its parentheses.
  if (Function) Pos->MoveRelative(0, -1);
  if (Arguments) Pos->MoveRelative(0, 1);
  // After "property:" its values are what comes next.
  if (Terminator == ':' && S.ends_with(':'))
    if (auto Commands = query<IKelEditViewCommands>(View))
      Commands->ExecuteCommand(kelCommandInvokeCodeCompletion);
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
  return State == Comment  ? TKelElement::Comment
         : State == String ? TKelElement::String
                           : TKelElement::Identifier;
}

}  // namespace kel
