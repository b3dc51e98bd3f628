#include "completion/HTMLCodCmplt.h"

#include <algorithm>
#include <unordered_set>

#include "host/KelFiles.h"
#include "host/KelRegistry.h"
#include "host/KelStrings.h"
#include "markup/MLBufferProducer.h"
#include "symbols/MLSymbolManager.h"

namespace kel {

namespace {

TKelPtr<IKelMLCodeInsightManager> GManager;

TKelCharSet CharSet(std::string_view Members, bool HighBytes = true) {
  TKelCharSet S;
  for (const char C : Members) Include(S, static_cast<unsigned char>(C));
  if (HighBytes)
    for (int B = 192; B <= 254; ++B) Include(S, static_cast<unsigned char>(B));
  return S;
}

std::string Range(char From, char To) {
  std::string S;
  for (char C = From; C <= To; ++C) S += C;
  return S;
}

const std::string IdentChars = "#-.:_" + Range('0', '9') + Range('A', 'Z') + Range('a', 'z');
const TKelCharSet TokenSet = CharSet(IdentChars);
const TKelCharSet TokenAndAmpSet = CharSet(IdentChars + "&");
const TKelCharSet TagTextSet = CharSet(IdentChars + "%/<@");
const TKelCharSet EntityRestSet = CharSet(IdentChars + ";");
const TKelCharSet BlankSet = CharSet("\t ", false);
const TKelCharSet CloseAngleSet = CharSet(">", false);

bool IsBlank(char C) { return C == '\t' || C == ' '; }

TMLSymbolManager& SM() { return MLSymbolManager(); }

// The character before the edit position, read as a one-character block;
// empty at the start of a line.
std::string CharBefore(IKelEditView& View, int32_t Skip) {
  const auto Pos = View.GetPosition();
  const auto Block = View.GetBlock();
  Pos->Save();
  Block->Save();
  std::string Text;
  if (Pos->MoveRelative(0, -(Skip + 1))) {
    Block->BeginBlock();
    Pos->MoveRelative(0, 1);
    Block->EndBlock();
    Text = Block->GetText();
  }
  Block->Restore();
  Pos->Restore();
  return Text;
}

// Whether the '>' before the caret ends a start tag named Name that begins
// at TagStart; a '>' after a closing tag, an empty element, text or inside a
// quoted value must not bring the enclosing element's closing tag.
bool ClosesStartTag(IKelEditView& View, const std::string& Name, int32_t TagStart) {
  TKelEditPos EditPos = View.GetCursorPos();
  TKelCharPos CharPos;
  View.ConvertPos(true, EditPos, CharPos);
  const int32_t Caret = View.CharPosToPos(CharPos);
  // From the tag's start when the parse knows it: a start tag may be long.
  const int32_t From = TagStart > 0 && TagStart < Caret ? TagStart : std::max<int32_t>(0, Caret - 8192);
  std::string Before(static_cast<size_t>(Caret - From), '\0');
  const auto Reader = View.GetBuffer()->CreateReader();
  Before.resize(static_cast<size_t>(std::max(0, Reader->GetText(From, Before.data(), Caret - From))));
  if (Before.empty() || Before.back() != '>') return false;
  const auto NameEnd = [&Before](size_t Lt) {
    size_t End = Lt + 1;
    while (End < Before.size() && InSet(TokenSet, Before[End])) ++End;
    return End;
  };
  const auto Names = [&](size_t Lt) {
    return Lt != std::string::npos && Before[Lt] == '<' &&
           SameText(std::string_view(Before).substr(Lt + 1, NameEnd(Lt) - Lt - 1), Name);
  };
  // The parse's start of the tag, else the last '<' (a tag without quotes).
  const size_t Lt = From == TagStart && Names(0) ? 0 : Before.rfind('<');
  if (!Names(Lt) || Before[Before.size() - 2] == '/') return false;
  const size_t End = NameEnd(Lt);
  // The first '>' outside quoted values ends the tag: it must be the last.
  char Quote = 0;
  for (size_t I = End; I < Before.size(); ++I) {
    const char C = Before[I];
    if (Quote) {
      if (C == Quote) Quote = 0;
    } else if (C == '"' || C == '\'') {
      Quote = C;
    } else if (C == '>') {
      return I + 1 == Before.size();
    }
  }
  return false;
}

// An accepted name replaces the whole word it was typed in: the part after
// the caret goes too ("<ta|ble>" + table is "<table|>"). Before a word with
// nothing typed ("<a |class"), that word is another name and stays.
// The rest of the word from the caret on.
void DeleteRestOfWord(IKelEditView& View) {
  const auto Pos = View.GetPosition();
  const auto Rest = static_cast<int32_t>(Pos->RipText(TokenSet, kelRipForward).size());
  if (Rest == 0) return;
  Pos->MoveRelative(0, Rest);
  Pos->BackspaceDelete(Rest);
}

void DeleteWordAfter(IKelEditView& View) {
  if (!View.GetPosition()->RipText(TokenSet, kelRipBackward).empty()) DeleteRestOfWord(View);
}

// HTML's boolean attributes are written bare; every other attribute takes a
// value, aria-busy="true" and server controls' Enabled="true" too.
bool IsFlag(IKelMLTagAttribute& Attr, const std::string& TagName) {
  if (TagName.find(':') != std::string::npos) return false;
  static const char* const Flags[] = {"allowfullscreen",
                                      "async",
                                      "autofocus",
                                      "autoplay",
                                      "checked",
                                      "compact",
                                      "controls",
                                      "declare",
                                      "default",
                                      "defer",
                                      "disabled",
                                      "formnovalidate",
                                      "inert",
                                      "ismap",
                                      "itemscope",
                                      "loop",
                                      "multiple",
                                      "muted",
                                      "nohref",
                                      "nomodule",
                                      "noresize",
                                      "noshade",
                                      "novalidate",
                                      "nowrap",
                                      "open",
                                      "playsinline",
                                      "readonly",
                                      "required",
                                      "reversed",
                                      "selected",
                                      "shadowrootclonable",
                                      "shadowrootdelegatesfocus",
                                      "shadowrootserializable"};
  const std::string Name = Attr.GetName();
  return std::any_of(std::begin(Flags), std::end(Flags), [&](const char* F) { return SameText(Name, F); });
}

// The name of a closing row, "</p>" -> "p".
std::string ClosingName(const std::string& Row) {
  return Row.size() > 3 && Row.starts_with("</") && Row.back() == '>' ? Row.substr(2, Row.size() - 3) : Row;
}

void SendInvokeCommand(IKelEditView& View) {
  if (auto Commands = query<IKelEditViewCommands>(&View))
    Commands->ExecuteCommand(kelCommandInvokeCodeCompletion);
}

}  // namespace

TMLKibitzManager::TMLKibitzManager() = default;

TMLParser& TMLKibitzManager::Parser() { return *SM().GetParser(); }

// ---- Host manager operations -------------------------------------------------------

TKelCharSet TMLKibitzManager::EditorTokenValidChars(bool PreValidating) {
  TKelCharSet S = TokenSet;
  if (PreValidating) Include(S, '<');
  return S;
}

bool TMLKibitzManager::IsViewerBrowsable(int32_t Index) {
  if (Parser().Caret().InTag || !supports<IKelMLClosingTag>(SM().GetMLTag(Index))) return false;
  const auto Dialogs = KelDialogServices();
  return Dialogs && Dialogs->IsControlKeyDown();
}

// A key that ends a name closes the list; Done decides whether it accepts
// the selected entry first (a name key) or is only typed.
void TMLKibitzManager::OnEditorKey(char Key, bool& CloseViewer, bool& Accept) {
  if (FInserting && IsBlank(Key)) return;
  Accept = std::string_view("\t &;=>\r").find(Key) != std::string_view::npos;
  const TContext C = Context();
  if (std::string_view("\t !%&<=>").find(Key) != std::string_view::npos ||
      ((Key == '"' || Key == '\'') && C == TContext::Attribute) ||
      (Key == '/' && (C == TContext::Content || C == TContext::Attribute || C == TContext::Closing))) {
    FCloseKey = Key;
    Accept = Accept || Key == '"' || Key == '\'' || Key == '/';
  } else {
    FCloseKey = 0;
  }
  CloseViewer = Accept || Key == 27 || FCloseKey != 0;
}

bool TMLKibitzManager::HandlesFile(const std::string& AFileName) {
  std::string Ext = UpperCase(ExtractFileExt(AFileName));
  // Template pages (PHP, server-side includes, JSP) are HTML around their islands.
  static const char* const Own[] = {".HTM",   ".HTML",  ".XHTML", ".XHT", ".ASPX", ".ASCX", ".MASTER",
                                    ".RESX",  ".XSL",   ".XSLT",  ".WML", ".SVG",  ".MML",  ".PHP",
                                    ".PHTML", ".SHTML", ".SHTM",  ".JSP", ".XML"};
  bool Handled = std::any_of(std::begin(Own), std::end(Own), [&](const char* E) { return Ext == E; });
  const bool ASP = Ext == ".ASPX" || Ext == ".ASCX" || Ext == ".MASTER";
  if (!Handled) {
    TKelRegistry Registry;
    const auto Host = KelHostServices();
    if (Host && Registry.OpenKey(Host->GetBaseRegistryKey() + "\\Internet\\File Options\\HTML", true)) {
      std::string List = Registry.ReadString("Extensions");
      std::replace(List.begin(), List.end(), ';', '\n');
      if (!Ext.empty()) Ext.erase(0, 1);
      size_t From = 0;
      while (!Handled && From <= List.size()) {
        size_t To = List.find('\n', From);
        if (To == std::string::npos) To = List.size();
        // An empty entry (or an empty list) names no file type.
        Handled = To > From && SameText(List.substr(From, To - From), Ext);
        From = To + 1;
      }
      Registry.CloseKey();
    }
  }
  if (Handled) {
    TKibitzMode Mode = TKibitzMode::kmHTML;
    if (SameText(Ext, ".XSL") || SameText(Ext, ".XSLT"))
      Mode = TKibitzMode::kmXSL;
    else if (SameText(Ext, ".WML"))
      Mode = TKibitzMode::kmWML;
    else if (SameText(Ext, ".RESX"))
      Mode = TKibitzMode::kmResX;
    SM().SetKibitzMode(Mode);
  }
  SM().SetFileName(AFileName);
  SetIsASPEnabled(ASP);
  return Handled;
}

std::string TMLKibitzManager::GetLongestItem() { return FEntityMode ? "  " : sAttributeValueCaption; }

void TMLKibitzManager::GetCodeInsightType(char AChar, int32_t AElement, TKelCodeInsightType& CodeInsightType,
                                          TKelInvokeType& InvokeType) {
  FTriggerChar = 0;
  if (AElement == TKelElement::Comment || AElement == TKelElement::String) {
    CodeInsightType = TKelCodeInsightType::citNone;
    return;
  }
  InvokeType = TKelInvokeType::itManual;
  if (AChar == 0) {
    CodeInsightType = TKelCodeInsightType::citCodeInsight;
  } else if (AChar == '&' || AChar == '<' || AChar == '=' || AChar == '>' || AChar == '/') {
    if (AElement == TKelElement::Script) {
      CodeInsightType = TKelCodeInsightType::citNone;
    } else {
      FTriggerChar = AChar;
      CodeInsightType = TKelCodeInsightType::citCodeInsight;
      InvokeType = TKelInvokeType::itTimer;
    }
  } else {
    CodeInsightType = TKelCodeInsightType::citNone;
  }
}

bool TMLKibitzManager::GotoDefinition(std::string& AFileName, int32_t& ALineNum, int32_t Index) {
  if (Index < 0) {
    AFileName.clear();
    return false;
  }
  AFileName = SM().GetFileName();
  ALineNum = SM().GetLineNumber(Index);
  return true;
}

// ---- Own operations ------------------------------------------------------------------

TKelPtr<IKelMLTag> TMLKibitzManager::GetCurrentTag() { return SM().GetCurrentTag(); }
bool TMLKibitzManager::GetIsASPEnabled() { return SM().GetIsASPEnabled(); }
void TMLKibitzManager::SetIsASPEnabled(bool Value) { SM().SetIsASPEnabled(Value); }
bool TMLKibitzManager::GetIsUserControl() { return UpperCase(ExtractFileExt(SM().GetFileName())) == ".ASCX"; }
TKelPtr<IKelMLTag> TMLKibitzManager::GetTagFromHashList(const std::string& Name) {
  return SM().GetTagFromHashList(Name);
}
TTagCase TMLKibitzManager::GetTagCase() { return SM().GetTagCase(); }
void TMLKibitzManager::SetTagCase(TTagCase Value) {
  // A host that sets the case keeps it; the page no longer decides.
  FTagCaseSet = true;
  SM().SetTagCase(Value);
}
int32_t TMLKibitzManager::GetHiddenAttrCount() { return SM().GetHiddenAttrCount(); }
TKelPtr<IKelMLTagAttribute> TMLKibitzManager::GetHiddenAttrs(int32_t Index) {
  return SM().GetHiddenAttrs(Index);
}
int32_t TMLKibitzManager::GetCurrentTagAttrCount() { return Parser().GetCurrentTagAttrCount(); }
std::u16string TMLKibitzManager::GetCurrentTagAttrValue(int32_t Index) {
  return Parser().GetCurrentTagAttrValue(Index);
}
std::string TMLKibitzManager::GetCurrentTagAttrName(int32_t Index) {
  return Parser().GetCurrentTagAttrName(Index);
}
std::u16string TMLKibitzManager::GetCurrentTagAttrValueByName(const std::string& Name) {
  return Parser().GetCurrentTagAttrValueByName(Name);
}
void TMLKibitzManager::Parse(const TKelEditPos& EditPos, IMLBufferProducer* Producer, IKelMLTag* RootTag) {
  const TKelEditPos Copy = EditPos;
  // The page's schema was loaded by this parse: its view is read again
  // with the new tags.
  if (!Parser().Parse(Copy, Producer, RootTag)) return;
  if (const auto Internal = query<IMLBufferProducerInternal>(Producer))
    if (const auto View = Internal->GetEditView())
      Parser().Parse(Copy, MakeKel<TMLBufferProducer>(View.get()).get(), RootTag);
}

// ---- The list -----------------------------------------------------------------------

TMLKibitzManager::TContext TMLKibitzManager::Context() {
  if (FEntityMode) return TContext::Entity;
  const TMLParser& P = Parser();
  if (P.Caret().InTag && P.Caret().InClosingTag) return TContext::Closing;
  if (P.Caret().InTag && !P.Caret().CaretInTagName)
    return P.Caret().CurrentAttr ? TContext::Value : TContext::Attribute;
  return TContext::Content;
}

std::string TMLKibitzManager::PlaceName() {
  static const char* const Names[] = {"entity", "value", "attribute", "element", "closing"};
  return Names[static_cast<int>(Context())];
}

int32_t TMLKibitzManager::GetCount() {
  const TMLParser& P = Parser();
  switch (Context()) {
    case TContext::Entity:
      return SM().GetCharList().GetCount();
    case TContext::Value:
      return P.Caret().CurrentAttr->GetCount();
    case TContext::Attribute: {
      const auto Tag = SM().ListTag();
      return P.Caret().InClosingTag || !Tag ? 0 : Tag->GetAttributeCount();
    }
    case TContext::Content: {
      const auto Tag = SM().ListTag();
      return !GetCurrentTag() || P.Caret().InClosingTag || !Tag ? 0 : Tag->GetTagCount();
    }
    case TContext::Closing:
      return static_cast<int32_t>(FClosingRows.size());
  }
  return 0;
}

std::string TMLKibitzManager::GetSymbolText(int32_t Index) {
  switch (Context()) {
    case TContext::Entity:
      return SM().GetCharList().GetItem(Index);
    case TContext::Value:
      return {};
    case TContext::Attribute: {
      const auto Tag = SM().ListTag();
      const auto Attr = Tag ? Tag->GetAttribute(Index) : nullptr;
      return Attr ? Attr->GetName() : std::string();
    }
    case TContext::Content: {
      const auto Tag = SM().GetMLTag(Index);
      return Tag ? Tag->GetName() : std::string();
    }
    case TContext::Closing: {
      const auto Tag = ClosingRow(Index);
      return Tag ? Tag->GetName() : std::string();
    }
  }
  return {};
}

TKelPtr<IKelMLTag> TMLKibitzManager::ClosingRow(int32_t Index) {
  return Index >= 0 && Index < static_cast<int32_t>(FClosingRows.size())
             ? SM().GetCloseTags(FClosingRows[static_cast<size_t>(Index)])
             : nullptr;
}

std::string TMLKibitzManager::GetSymbolTypeText(int32_t Index) {
  switch (Context()) {
    case TContext::Entity:
      return {};
    case TContext::Value:
      return " " +
             CaseValue(*Parser().Caret().CurrentAttr, Index, Parser().Caret().CurrentAttr->GetValue(Index));
    case TContext::Attribute:
      return " ";
    case TContext::Content:
      if (supports<IKelMLClosingTag>(SM().GetMLTag(Index)))
        return sLineCaption + std::to_string(SM().GetLineNumber(Index));
      return {};
    case TContext::Closing: {
      const TKelPtr<IKelMLClosingTag> Row = query<IKelMLClosingTag>(ClosingRow(Index));
      return Row ? sLineCaption + std::to_string(Row->GetLineNumber()) : std::string();
    }
  }
  return {};
}

std::string TMLKibitzManager::GetSymbolClassText(int32_t) {
  switch (Context()) {
    case TContext::Entity:
      return {};
    case TContext::Value:
      return sAttributeValueCaption;
    case TContext::Attribute:
      return sAttributeCaption;
    case TContext::Content:
    case TContext::Closing:
      return sElementCaption;
  }
  return {};
}

bool TMLKibitzManager::GetSymbolIsAbstract(int32_t Index) {
  if (FEntityMode || Parser().Caret().CurrentAttr) return false;
  if (Context() == TContext::Closing) return true;
  return supports<IKelMLClosingTag>(SM().GetMLTag(Index));
}

int32_t TMLKibitzManager::GetViewerSymbolFlags(int32_t) {
  return Context() == TContext::Content || Context() == TContext::Closing ? 2 : 3;
}

void TMLKibitzManager::SetFilter(const std::string& FilterText) {
  if (FEntityMode) {
    SM().GetCharList().SetFilter(FilterText);
  } else if (Context() == TContext::Closing) {
    // Each open element once, innermost first, as far as its name is typed.
    FClosingFilter = FilterText;
    FClosingRows.clear();
    std::unordered_set<std::string> Seen;  // upper case
    for (int32_t I = 0; I < SM().GetClosedTagsCount(); ++I) {
      const std::string Name = ClosingName(SM().GetCloseTags(I)->GetName());
      if (StartsWithText(Name, FilterText) && Seen.insert(UpperCase(Name)).second) FClosingRows.push_back(I);
    }
  } else if (GetCurrentTag()) {
    if (Context() == TContext::Value)
      Parser().Caret().CurrentAttr->SetFilter(FilterText);
    else if (const auto Tag = SM().ListTag()) {
      SM().Touch(Tag.get());
      Tag->SetFilter(ListFilter(FilterText));
    }
  }
}

std::string TMLKibitzManager::GetFilter() {
  if (FEntityMode) return SM().GetCharList().GetFilter();
  if (Context() == TContext::Closing) return FClosingFilter;
  if (!GetCurrentTag()) return {};
  if (Context() == TContext::Value) return Parser().Caret().CurrentAttr->GetFilter();
  const auto Tag = SM().ListTag();
  std::string F = Tag ? Tag->GetFilter() : std::string();
  if (Parser().Caret().InDirectiveName && F.starts_with("@ ")) F.erase(0, 2);
  return F;
}

std::string TMLKibitzManager::ListFilter(const std::string& Typed) {
  // After "<%@ " the rows are the directives ("@ Page"): the word typed is
  // the part after "@ ", and the page's elements do not match.
  return Parser().Caret().InDirectiveName ? "@ " + Typed : Typed;
}

bool TMLKibitzManager::FindSymIndex(const std::string& Ident, int32_t& Index) {
  Index = -1;
  if (FEntityMode) {
    Index = SM().GetCharList().FindIndex(Ident);
    return false;
  }
  if (Context() == TContext::Closing) {
    Index = FClosingRows.empty() ? -1 : 0;
    return !FClosingRows.empty();
  }
  const auto Attr = Parser().Caret().CurrentAttr;
  int32_t Found = -1;
  if (Attr) {
    Found = Attr->FindSymbol(Ident);
  } else if (const auto Tag = SM().ListTag(); Tag && GetCurrentTag()) {
    Found = Tag->FindSymbol(Ident);
  } else {
    return false;
  }
  if (Found != -1) {
    Index = Found;
    return true;
  }
  if (GetCount() == 0 && !Attr) Index = 0;
  return false;
}

int32_t TMLKibitzManager::FindIdent(const std::string& Ident) {
  int32_t Index = -1;
  return FindSymIndex(Ident, Index) ? Index : -1;
}

// ---- Painting entity rows ----------------------------------------------------------------

void TMLKibitzManager::DrawText(TKelCanvas& Canvas, TKelRect& Rect, const std::u16string& Text, int Style,
                                bool DrawingHintText, bool DoOutput) {
  TKelRect R = Rect;
  if (Canvas.GetFontColor() != kelColorHighlightText && !DrawingHintText)
    Canvas.SetFontColor(kelColorWindowText);
  Canvas.SetFontStyle(Style);
  Canvas.Refresh();
  R = Canvas.MeasureText(Text, R);
  if (DoOutput) Canvas.TextRect(R, R.Left, R.Top, Text);
  Canvas.SetFontStyle(0);
  Canvas.Refresh();
  Rect.Left = R.Right;
  Rect.Bottom = R.Bottom;
  Rect.Right += R.Right - R.Left + 1;
}

void TMLKibitzManager::PaintItem(int32_t Index, TKelCanvas& Canvas, TKelRect& Rect, bool DrawingHintText,
                                 bool DoOutput, bool& DefaultDraw) {
  if (!FEntityMode) {
    DefaultDraw = true;
    return;
  }
  TAsciiCharList& Chars = SM().GetCharList();
  if (!DrawingHintText) {
    const std::string FontName = Canvas.GetFontName();
    const TKelColor Color = Canvas.GetFontColor();
    Canvas.SetFontName(Chars.GetFontName());
    Canvas.SetFontColor(kelColorBlue);
    const int32_t Code = Chars.GetAsciiVal(Index);
    if (Code != 0)
      DrawText(Canvas, Rect, std::u16string(1, static_cast<char16_t>(Code)), kelFontBold, DrawingHintText,
               DoOutput);
    Canvas.SetFontName(FontName);
    Canvas.SetFontColor(Color);
    Rect.Left = 30;
  }
  if (GetCount() > 0)
    DrawText(Canvas, Rect, Utf8ToUtf16(GetSymbolText(Index)), kelFontBold, DrawingHintText, DoOutput);
}

// ---- One completion ----------------------------------------------------------------------

void TMLKibitzManager::ReadAutoCompletions() {
  // On unless the options say False, also without an options file.
  FAutoCompletions = true;
  FTagCaseOption.clear();
  TKelRegistry Registry;
  const auto Host = KelHostServices();
  if (Host && Registry.OpenKey(Host->GetBaseRegistryKey() + "\\Code Insight", true)) {
    FAutoCompletions = !SameText(Registry.ReadString("Auto Code Completions"), "False");
    FTagCaseOption = Registry.ReadString("Tag Case");
    Registry.CloseKey();
  }
}

// Names and listed values follow the page: the case of its last tag, lower
// case on a page without one, unless the options fix it.
void TMLKibitzManager::ChooseTagCase() {
  if (SameText(FTagCaseOption, "Lower")) {
    SM().SetTagCase(TTagCase::tcLowerCase);
  } else if (SameText(FTagCaseOption, "Upper")) {
    SM().SetTagCase(TTagCase::tcUpperCase);
  } else if (SameText(FTagCaseOption, "As Declared")) {
    SM().SetTagCase(TTagCase::tcNormal);
  } else if (!FTagCaseSet) {
    const std::string& Name = Parser().Caret().LastWrittenName;
    const bool Upper = !Name.empty() && Name == UpperCase(Name) && Name != LowerCase(Name);
    SM().SetTagCase(Upper ? TTagCase::tcUpperCase : TTagCase::tcLowerCase);
  }
}

// A value listed by an HTML DTD (TEXT, POST) in the case of the names; XML
// values and server controls' values are case-sensitive and stay as declared.
std::string TMLKibitzManager::CaseValue(IKelMLTagAttribute& Attr, int32_t Index, const std::string& Value) {
  const auto Tag = GetCurrentTag();
  if (SM().GetKibitzMode() != TKibitzMode::kmHTML || Parser().Caret().IsXML || Value.ends_with("...") ||
      !SameText(ExtractFileExt(SM().GetSchemaFile()), ".dtd") ||
      (Tag && (Tag->GetName().find(':') != std::string::npos || TMLSymbolManager::KeepsCase(Tag.get()))))
    return Value;
  // Values told apart by their case (<ol type="a"> and "A") keep it; sorted
  // ignoring case, such twins stand side by side.
  const auto Twin = [&](int32_t I) {
    return I >= 0 && I < Attr.GetCount() && SameText(Attr.GetValue(I), Value);
  };
  if (Twin(Index - 1) || Twin(Index + 1)) return Value;
  switch (SM().GetTagCase()) {
    case TTagCase::tcLowerCase:
      return LowerCase(Value);
    case TTagCase::tcUpperCase:
      return UpperCase(Value);
    case TTagCase::tcNormal:
      break;
  }
  return Value;
}

bool TMLKibitzManager::InvokeCodeCompletion(TKelInvokeType HowInvoked, std::string& Str) {
  ReadAutoCompletions();
  FEntityMode = false;
  const auto Services = GlobalKibitzManager();
  const auto View = Services ? Services->GetCurrentEditView() : nullptr;
  if (!View) return false;
  if (!FRootTag && GetIsUserControl()) FRootTag = GetTagFromHashList("body");
  // After '&' the last parse still describes the caret, as long as it was a
  // parse of this view with its schema loaded.
  const std::string SchemaBefore = SM().GetSchemaFile();
  if (FTriggerChar != '&' || FParsedView != View.get() || SM().GetSchemaFile().empty()) ParseView(*View);
  // A user control's text is body content: when the parse loaded another
  // schema, its own body is the root.
  if (GetIsUserControl() && SM().GetSchemaFile() != SchemaBefore) {
    FRootTag = GetTagFromHashList("body");
    if (FRootTag) ParseView(*View);
  }
  ChooseTagCase();
  FCloseKey = 0;
  if (SM().GetSchemaFile().empty()) return false;
  TMLParser& P = Parser();
  if (FTriggerChar == '<' && P.Caret().InTag &&
      (!P.Caret().CurrentTag || !supports<IKelMLNamedTag>(P.Caret().CurrentTag)))
    return false;
  // "/" opens the closing tags only right after "<".
  if (FTriggerChar == '/' && !(P.Caret().InTag && P.Caret().InClosingTag && P.Caret().CaretInTagName))
    return false;
  FRootTag.reset();

  const auto Pos = View->GetPosition();
  Str = Pos->RipText(TokenSet, kelRipBackward);
  FToken = Str;
  bool Result = false;
  if (!P.Caret().InScript && !P.Caret().InStyle && !P.Caret().InCDATA && !P.GetInDocType()) {
    Result = true;
    const std::string Back = Pos->RipText(TokenAndAmpSet, kelRipBackward);
    if (FTriggerChar == '&' ||
        (!Back.empty() && Back.find('&') != std::string::npos && HowInvoked == TKelInvokeType::itManual)) {
      // A value is text to a browser: "&" there starts a reference too
      // (a URL's query needs &amp;).
      if ((P.Caret().InTag && !P.Caret().CurrentAttr) || P.Caret().CaretInTagName) return true;
      FEntityMode = true;
      // An XSL style sheet or a .resx file is XML without the HTML entities;
      // XML whose schema declares none (SVG) still has its five.
      if (SM().GetKibitzMode() == TKibitzMode::kmXSL || SM().GetKibitzMode() == TKibitzMode::kmResX ||
          (P.Caret().IsXML && SM().GetCharList().Empty()))
        SM().UseXMLEntities();
    } else if (P.Caret().CurrentAttr) {
      if (P.Caret().CurrentAttr->GetCount() > 0 && FAutoCompletions && FInsertQuotes) {
        Pos->Save();
        if (P.Caret().ValuePos.Col > 0) Pos->Move(P.Caret().ValuePos.Line, P.Caret().ValuePos.Col);
        const std::string Run = Pos->RipText(BlankSet, kelRipBackToBlank);
        Pos->Restore();
        const auto Q = Run.find_last_of("\"'");
        const auto E = Run.find_last_of('=');
        const long QPos = Q == std::string::npos ? -1 : static_cast<long>(Q);
        const long EPos = E == std::string::npos ? -1 : static_cast<long>(E);
        // Only an '=' that ends the run: a value typed after it stays unquoted.
        if (QPos < EPos && EPos + 1 == static_cast<long>(Run.size())) {
          Services->InsertText("\"\"", false);
          Pos->MoveRelative(0, -1);
          // The value is now a string at the caret: the accepted value must
          // replace the quotes, not go in beside them.
          ParseView(*View);
        }
        View->Paint();
      }
    } else if (FTriggerChar == '=') {
      Result = false;
    } else if (FAutoCompletions && !P.Caret().InTag && !P.Caret().CaretInTagName) {
      if (!P.Caret().AutoClosePositions.empty()) AutoCloseChildless(*View, *Services);
      if (FTriggerChar == '>') InsertClosingTag(*View, *Services);
    }
  }
  if (const auto Tag = P.Caret().InTag && !P.Caret().CaretInTagName ? SM().ListTag() : GetCurrentTag()) {
    if (Tag != SM().GetHiddenRootNode() && !supports<IKelMLNamedTag>(Tag)) {
      SM().Touch(Tag.get());
      Tag->SetShowAttributes(P.Caret().InTag && !P.Caret().CaretInTagName);
    }
    if (Result) Tag->SetFilter(ListFilter(Str));
  }
  if (FTriggerChar == '>') Result = false;
  if (Result && Context() == TContext::Closing) SetFilter(Str);
  return Result;
}

void TMLKibitzManager::ParseView(IKelEditView& View) {
  // The first parse of a page loads its schema; the caret's tag is then
  // read again among the new tags.
  for (int Pass = 0; Pass < 2; ++Pass)
    if (!Parser().Parse(View.GetCursorPos(), MakeKel<TMLBufferProducer>(&View).get(), FRootTag.get())) break;
  FParsedView = &View;
}

// Writes "/" (with a blank before it where none stands) into the childless
// element whose ">" was just typed, so that XML documents stay well-formed.
// Other tags are the user's: a request never rewrites text away from the caret.
void TMLKibitzManager::AutoCloseChildless(IKelEditView& View, IKelCodeInsightServices& Services) {
  TMLParser& P = Parser();
  const TKelEditPos Caret = View.GetCursorPos();
  const auto Positions = P.Caret().AutoClosePositions;
  P.ClearAutoCloseTagPosStack();
  // The stack holds the column of each ">"; the last one must end at the caret.
  if (Positions.empty() || Positions.back().Line != Caret.Line || Positions.back().Col + 1 != Caret.Col)
    return;
  View.SetCursorPos(Positions.back());
  const std::string Last = CharBefore(View, 0);
  int32_t Written = 1;
  if (Last.size() == 1 && !IsBlank(Last[0])) {
    FInserting = true;
    Services.InsertText(" ", false);
    FInserting = false;
    ++Written;
  }
  Services.InsertText("/", false);
  // The caret stays after the "/>" it was after.
  View.SetCursorPos({Caret.Col + Written, Caret.Line});
  if (FTriggerChar == '>' || (!Last.empty() && Last[0] == '>')) SendInvokeCommand(View);
  View.Paint();
}

void TMLKibitzManager::InsertClosingTag(IKelEditView& View, IKelCodeInsightServices& Services) {
  const auto Tag = GetCurrentTag();
  // An EMPTY element never gets a closing tag, even where the schema marks
  // every end tag as required (XML).
  if (!Tag || Tag->GetEmpty() || !ClosesStartTag(View, Tag->GetName(), Tag->GetOffsetStart())) return;
  const std::string T = "</" + Tag->GetName() + ">";
  for (int32_t I = 0; I < SM().GetClosedTagsCount(); ++I) {
    const auto Closed = SM().GetCloseTags(I);
    if (!Closed || !SameText(Closed->GetName(), T)) continue;
    // The closing tag as the page spells the start tag.
    Services.InsertText(Closed->GetName(), false);
    View.GetPosition()->MoveRelative(0, -static_cast<int32_t>(T.size()));
    if (!FPlanning) SM().DeleteClosedTag(I);
    break;
  }
  View.Paint();
}

// ---- Writing the accepted candidate ----------------------------------------------------

void TMLKibitzManager::Done(bool Accepted, bool& DisplayParams) {
  DisplayParams = false;
  const char K = FCloseKey;
  const auto Services = GlobalKibitzManager();
  const auto View = Services ? Services->GetCurrentEditView() : nullptr;
  const auto List = Services ? Services->GetCompletionListView() : nullptr;
  TMLParser& P = Parser();
  const TContext C = Context();
  const bool Selected = View && List && List->GetSelectedIndex() >= 0;
  // A key that ends a name accepts the entry whose name was being typed; in
  // front of nothing typed, or what no entry begins with, it is only typed.
  const std::string Typed = View ? View->GetPosition()->RipText(TokenSet, kelRipBackward) : std::string();
  const bool NameKey =
      Selected &&
      (((C == TContext::Attribute) && std::string_view("=>\"'").find(K) != std::string_view::npos) ||
       (C == TContext::Content && (K == '>' || K == '/') && !Typed.empty()) ||
       // An entry picked in text, where no "<" waits for a name.
       (C == TContext::Content && (K == '>' || K == '/') && Typed.empty() && !P.Caret().CaretInTagName)) &&
      StartsWithText(List->GetSelectedString(), Typed);
  FNoBlank = false;
  if (View && K != 0 && !IsBlank(K) && !NameKey) {
    Services->InsertText(std::string(1, K), false);
    // "<" then "/": the list of the closing tags follows.
    if (K == '/' && C == TContext::Content && Typed.empty() && P.Caret().CaretInTagName)
      SendInvokeCommand(*View);
  } else if (View && (Accepted || NameKey) && Selected) {
    const TKelPtr<IKelMLTagAttribute> Attr = P.Caret().CurrentAttr;
    if (FEntityMode) {
      const std::string R = View->GetPosition()->RipText(EntityRestSet, kelRipForward);
      std::string E = SM().GetCharList().GetItem(List->GetSelectedIndex());
      if (R.find(';') == std::string::npos) E += ";";
      Services->InsertText(E, true);
    } else if (C == TContext::Closing) {
      DoneClosingTag(*View, *Services, List->GetSelectedString());
    } else if (Attr) {
      const std::string A = Attr->GetName();
      const auto Tag = GetCurrentTag();
      InvokeAttributeEditor(A, View.get(), List->GetSelectedIndex(), Tag ? Tag->GetName() : std::string(),
                            P.GetCurrentTagAttrValueByName(A), P.GetCurrentTagAttrStrType(A),
                            P.GetCurrentTagAttrStrTypeEnd(A), Tag ? Tag->GetOffsetEnd() : 0,
                            P.Caret().Contexts, true, false);
    } else if (P.Caret().InTag && !P.Caret().CaretInTagName) {
      DoneAttributeName(*View, *Services, *List, K);
    } else {
      DoneElement(*View, *Services, *List, K);
    }
  }
  if (const auto Tag = GetCurrentTag(); Tag && !FPlanning) SM().RemoveFixupElements(Tag.get());
  // The blank that closed the list is typed, also after an element chosen
  // from content, so that the attribute list that follows has its place;
  // never where the caret waits for a value.
  if (View && IsBlank(K) && !FNoBlank &&
      View->GetPosition()->RipText(CloseAngleSet, kelRipBackward).empty()) {
    FInserting = true;
    View->GetPosition()->InsertCharacter(K);
    FInserting = false;
    SendInvokeCommand(*View);
  }
}

void TMLKibitzManager::DoneClosingTag(IKelEditView& View, IKelCodeInsightServices& Services,
                                      const std::string& Row) {
  const auto Pos = View.GetPosition();
  // Over "<", "</" and the part of the name typed before the caret.
  const std::string Before = Pos->RipText(TagTextSet, kelRipBackward);
  const size_t Lt = Before.rfind('<');
  if (Lt != std::string::npos) Pos->BackspaceDelete(static_cast<int32_t>(Before.size() - Lt));
  DeleteWordAfter(View);
  // A ">" already after the caret closes the tag written.
  const bool GreaterFollows = Pos->RipText(CloseAngleSet, kelRipForward).size() > 0;
  Services.InsertText(GreaterFollows ? Row.substr(0, Row.size() - 1) : Row, false);
  if (GreaterFollows) Pos->MoveRelative(0, 1);
  View.Paint();
}

void TMLKibitzManager::DoneAttributeName(IKelEditView& View, IKelCodeInsightServices& Services,
                                         IKelCompletionListView& List, char Key) {
  if (ExecuteCurrentTagEditor()) return;
  const auto Tag = SM().ListTag();
  if (!Tag) return;
  DeleteWordAfter(View);
  // The name typed so far, "-" included (aria-hi): the host's own word stops there.
  const std::string Filter = View.GetPosition()->RipText(TokenSet, kelRipBackward);
  const std::string Before = CharBefore(View, static_cast<int32_t>(Filter.size()));
  const bool NeedSpace = !Before.empty() && !IsBlank(Before[0]);
  const auto Attr = Tag->GetAttribute(List.GetSelectedIndex());
  // Every attribute takes a value but an HTML flag; "data-" waits for the
  // rest of its name.
  const bool Prefix = Attr && Attr->GetName().ends_with("-");
  bool WithValue = Attr && !Prefix && !(IsFlag(*Attr, Tag->GetName()) && !Parser().Caret().IsXML);

  const auto Pos = View.GetPosition();
  const auto Block = View.GetBlock();
  Pos->Save();
  Block->Save();
  Block->BeginBlock();
  Pos->MoveEOL();
  Block->EndBlock();
  const std::string R = Block->GetText();
  Block->Restore();
  Pos->Restore();
  // An attribute that already has a value keeps it: "= \"x\"" after the caret.
  size_t I = 0;
  while (I < R.size() && IsBlank(R[I])) ++I;
  if (I < R.size() && R[I] == '=') WithValue = false;

  std::string N = List.GetSelectedString();
  bool InQuotes = false;
  if (Key == '>') {
    N += ">";
    WithValue = false;
  } else if (Key == '"' || Key == '\'') {
    N += std::string("=") + Key + Key;
    InQuotes = WithValue = true;
  } else if (Key == '=' || WithValue) {
    N += FInsertQuotes ? "=\"\"" : "=";
    InQuotes = FInsertQuotes;
    WithValue = true;
  }
  if (NeedSpace && !IsBlank(Key)) N = " " + N;
  // A name right after the caret is the next attribute: a blank parts them.
  const bool Parted = Key != '>' && !R.empty() && InSet(TokenSet, R[0]);
  if (!Filter.empty()) Pos->BackspaceDelete(static_cast<int32_t>(Filter.size()));
  Services.InsertText(Parted ? N + " " : N, false);
  if (Parted) Pos->MoveRelative(0, -1);
  if (InQuotes) Pos->MoveRelative(0, -1);
  FNoBlank = WithValue;
  if (Key == '>') InsertClosingTag(View, Services);
  // The value list opens where the caret waits for a listed value.
  if (WithValue && Attr && Attr->GetCount() > 0 && !IsBlank(Key)) SendInvokeCommand(View);
  View.Paint();
}

void TMLKibitzManager::DoneElement(IKelEditView& View, IKelCodeInsightServices& Services,
                                   IKelCompletionListView& List, char Key) {
  const int32_t Index = List.GetSelectedIndex();
  std::string S = View.GetPosition()->RipText(TagTextSet, kelRipBackward);
  const size_t Lt = S.rfind('<');
  S = Lt == std::string::npos ? std::string() : S.substr(Lt);
  if (supports<IKelMLClosingTag>(SM().GetMLTag(Index))) {
    DoneClosingTag(View, Services, List.GetSelectedString());
    return;
  }
  if (ExecuteTagEditor(Index)) return;
  if (Parser().Caret().InDirectiveName && List.GetSelectedString().starts_with("@ ")) {
    // After "<%@ " the directive's name alone replaces the name written there.
    DeleteRestOfWord(View);
    if (const std::string F = GetFilter(); !F.empty())
      View.GetPosition()->BackspaceDelete(static_cast<int32_t>(F.size()));
    Services.InsertText(List.GetSelectedString().substr(2), false);
    View.Paint();
    return;
  }
  const bool Closing = S.size() >= 2 && S[1] == '/';
  const int32_t PCount = static_cast<int32_t>(S.size()) - 1;
  const std::string Sel = List.GetSelectedString();
  std::string N;
  if (!S.empty())
    N = Sel.starts_with("@") ? "%" + Sel : Sel;
  else
    N = (Sel.starts_with("@") ? "<%" : "<") + Sel;
  const auto Tag = GetTagFromHashList(Sel);
  if (!Tag) return;
  if (!Parser().Caret().CaretInTagName && !Closing) {
    for (const auto& Attr : AllAttributes(Tag.get())) {
      if (!Attr || !Attr->GetRequired() || SM().FindTagAttr(Attr.get())) continue;
      // A required attribute needs a value, listed or not.
      N += " " + Attr->GetName() + (FInsertQuotes ? "=\"\"" : "=");
    }
  }
  // The name typed, and in a tag name the rest of the word, give way.
  if (!S.empty()) DeleteWordAfter(View);
  if (PCount > 0) {
    View.GetPosition()->BackspaceDelete(PCount);
  } else if (const std::string F = GetFilter(); !F.empty()) {
    View.GetPosition()->BackspaceDelete(static_cast<int32_t>(F.size()));
  }
  std::string After;
  if (Key == '/') {
    // HTML reads <div /> as an open div: only XML and void elements close
    // themselves, an HTML element is written whole.
    if (Parser().Caret().IsXML || Tag->GetEmpty())
      N += " />";
    else
      N += "></" + Tag->GetName() + ">";
  } else if (Key == '>' && !Closing) {
    // The element closes at once where it can have no content.
    const bool Childless = Tag->GetEmpty();
    N += Childless && Parser().Caret().IsXML ? " />" : ">";
    if (!Childless) After = "</" + Tag->GetName() + ">";
  }
  if (Closing) N = "/" + N;
  Services.InsertText(N + After, false);
  if (!After.empty()) View.GetPosition()->MoveRelative(0, -static_cast<int32_t>(After.size()));
  View.Paint();
}

bool TMLKibitzManager::ExecuteTagEditor(int32_t Index) {
  const auto Current = GetCurrentTag();
  const auto Tag = Current ? Current->GetTags(Index) : nullptr;
  const auto Editor = Tag ? SM().GetTagEditorFromHashList(Tag->GetName()) : nullptr;
  if (!Editor || !Editor->Execute(Tag.get(), 0)) return false;
  const auto Services = GlobalKibitzManager();
  const auto View = Services ? Services->GetCurrentEditView() : nullptr;
  if (!View) return false;
  Services->InsertText(Editor->GetValue(), false);
  View->GetPosition()->MoveRelative(0, Editor->RelativeMoveCaretPos());
  View->Paint();
  if (Editor->InvokeCodeCompletion()) SendInvokeCommand(*View);
  return true;
}

bool TMLKibitzManager::ExecuteCurrentTagEditor() {
  const auto Tag = GetCurrentTag();
  const auto Editor = Tag ? SM().GetTagEditorFromHashList(Tag->GetName()) : nullptr;
  if (!Editor || !Editor->Execute(Tag.get(), 0)) return false;
  const auto Services = GlobalKibitzManager();
  const auto View = Services ? Services->GetCurrentEditView() : nullptr;
  if (!View) return false;
  const auto Writer = View->GetBuffer()->CreateUndoableWriter();
  Writer->CopyTo(Tag->GetOffsetStart());
  Writer->DeleteTo(Tag->GetOffsetEnd());
  Writer->Insert(Editor->GetValue().c_str());
  return true;
}

std::string TMLKibitzManager::ListedValue(IKelMLTagAttribute& Attr, const std::string& Value) {
  for (int32_t I = 0; I < Attr.GetCount(); ++I)
    if (SameText(Attr.GetValue(I), Value)) return CaseValue(Attr, I, Value);
  return Value;
}

bool TMLKibitzManager::InvokeAttributeEditor(const std::string& AttrName, IKelEditView* View, int32_t Index,
                                             const std::string& TagName, const std::u16string& OldValue,
                                             char Quote, char QuoteEnd, int32_t TagEnd,
                                             TParserContextSet Contexts, bool AdjustForTyping,
                                             bool MoveCaret) {
  TKelPtr<IKelMLTagAttribute> Attr;
  TKelPtr<IKelMLEditor> Editor;
  SM().GetAttributeEditorFromHashList(AttrName, Attr, Editor, TagName);
  const bool SavedQuotes = FInsertQuotes;
  FInsertQuotes = true;
  bool Result = false;
  try {
    if (Editor && Attr && Editor->Execute(Attr.get(), Index))
      Result = ReplaceAttributeValue(Attr->GetName(), Utf8ToUtf16(ListedValue(*Attr, Editor->GetValue())),
                                     OldValue, Attr->GetOffsetStart(), Attr->GetOffsetEnd(), TagEnd,
                                     Attr->GetAttributeValueStartOffset(), View, Quote, QuoteEnd, Contexts,
                                     AdjustForTyping, MoveCaret);
  } catch (...) {
    FInsertQuotes = SavedQuotes;
    throw;
  }
  FInsertQuotes = SavedQuotes;
  return Result;
}

bool TMLKibitzManager::ReplaceAttributeValue(const std::string& AttrName, const std::u16string& NewValue,
                                             const std::u16string& OldValue, int32_t AttrStart,
                                             int32_t AttrEnd, int32_t TagEnd, int32_t ValueStart,
                                             IKelEditView* View, char Quote, char QuoteEnd,
                                             TParserContextSet Contexts, bool AdjustForTyping,
                                             bool MoveCaret) {
  if (NewValue == OldValue && !NewValue.empty()) return false;
  if (!View) return false;
  const std::string Value = Utf16ToUtf8(NewValue);
  const std::string Old = Utf16ToUtf8(OldValue);
  const auto Len = [](const std::string& S) { return static_cast<int32_t>(S.size()); };
  int32_t Start = 0, End = 0, CaretOffset = 0;
  std::string Text;
  TParserContextSet OnlyNone;
  OnlyNone.Reset();
  bool OtherContext = false;
  for (int C = 1; C <= static_cast<int>(TParserContexts::pcLast); ++C)
    OtherContext = OtherContext || Contexts.Contains(static_cast<TParserContexts>(C));
  if (Value.empty()) {
    Start = AttrStart;
    End = AttrEnd;
  } else if (OtherContext) {
    // The caret is in the value's string: it goes from the opening quote over
    // what was read or typed of it, and the closing quote when there is one.
    Start = ValueStart;
    End = Start + (Quote ? 1 : 0) + std::max(Len(Old), Len(GetFilter())) + (QuoteEnd ? 1 : 0);
    Text = Quote ? std::string(1, Quote) : "\"";
    CaretOffset = Start + Len(Text);
    Text += Value + (QuoteEnd ? std::string(1, QuoteEnd) : "\"");
  } else if (AttrStart == AttrEnd) {
    Start = End = TagEnd;
    const char Q = Value.find('"') != std::string::npos ? '\'' : '"';
    Text = AttrName + "=" + Q + Value;
    CaretOffset = Start + Len(Text);
    Text += Q;
  } else {
    End = AttrEnd;
    Start = End - Len(Old) - (Quote ? 1 : 0) - (Quote && QuoteEnd ? 1 : 0);
    if (AdjustForTyping) {
      const int32_t Typed = Len(GetFilter()) - Len(FToken);
      if (Typed > 0) End += Typed;
    }
    const bool Quoting = Quote || QuoteEnd || FInsertQuotes || Value.empty() ||
                         Value.find_first_of("\t ") != std::string::npos;
    const std::string Open = Quoting ? std::string(1, Quote ? Quote : '"') : std::string();
    const std::string Close = Quoting ? std::string(1, QuoteEnd ? QuoteEnd : '"') : std::string();
    Text = Open + Value + Close;
    CaretOffset = Start + Len(Open);
  }
  if (Start == End) {
    const auto Reader = View->GetBuffer()->CreateReader();
    char C = 0;
    if (Start > 0 && Reader->GetText(Start - 1, &C, 1) == 1 && C != '\t' && C != ' ' && C != '=') {
      Text = " " + Text;
      ++CaretOffset;
    }
    if (Reader->GetText(End, &C, 1) == 1) {
      if (C != '\t' && C != ' ' && C != '>') Text += " ";
    } else {
      Start = AttrStart;
    }
  }
  if (Start == 0 || End == 0) return false;
  {
    const auto Writer = View->GetBuffer()->CreateUndoableWriter();
    Writer->CopyTo(Start);
    if (FForceReplace || Start != End) Writer->DeleteTo(End);
    Writer->Insert(Text.c_str());
  }
  View->Paint();
  if (MoveCaret && !Value.empty()) {
    TKelEditPos EditPos;
    TKelCharPos CharPos = View->PosToCharPos(CaretOffset);
    View->ConvertPos(false, EditPos, CharPos);
    View->SetCursorPos(EditPos);
  }
  return true;
}

// ---- The one manager ------------------------------------------------------------------------

bool InsertQuotesOption() {
  TKelRegistry Registry;
  const auto Host = KelHostServices();
  if (!Host || !Registry.OpenKey(Host->GetBaseRegistryKey() + "\\Code Insight", true)) return true;
  return !SameText(Registry.ReadString("Insert Quotes"), "False");
}

TKelPtr<IKelMLCodeInsightManager> MarkupLanguageManager() {
  if (!GManager) GManager = MakeKel<TMLKibitzManager>();
  return GManager;
}

void ReleaseMarkupLanguageManager() { GManager.reset(); }

}  // namespace kel
