#include "host/CompletionCycle.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "host/KelStrings.h"

namespace kel {

namespace {

bool At(const std::string& Text, size_t I, std::string_view What) {
  return Text.size() - I >= What.size() && SameText(std::string_view(Text).substr(I, What.size()), What);
}

}  // namespace

int32_t MarkupElementAt(const std::string& Text, int32_t Offset) {
  enum { Content, Tag, String, Comment, CData, Server, ScriptBody, StyleBody } State = Content;
  char Quote = 0;
  std::string Name;
  bool NameDone = false;
  const size_t End = std::min(Text.size(), static_cast<size_t>(std::max(Offset, 0)));
  // Outside tags only one character can change the state: skip to it.
  const auto Skip = [&Text, End](size_t From, char Wanted) {
    const void* Found = std::memchr(Text.data() + From, Wanted, End - From);
    return Found ? static_cast<size_t>(static_cast<const char*>(Found) - Text.data()) : End;
  };
  for (size_t I = 0; I < End; ++I) {
    switch (State) {
      case Content:
      case ScriptBody:
      case StyleBody:
        I = Skip(I, '<');
        break;
      case String:
        I = Skip(I, Quote);
        break;
      case Comment:
        I = Skip(I, '-');
        break;
      case CData:
        I = Skip(I, ']');
        break;
      case Server:
        I = Skip(I, '%');
        break;
      case Tag:
        break;
    }
    if (I >= End) break;
    const char C = Text[I];
    switch (State) {
      case Content:
        // Everything that leaves text begins with '<'.
        if (C != '<') break;
        if (At(Text, I, "<!--")) {
          State = Comment;
          I += 3;
        } else if (At(Text, I, "<![CDATA[")) {
          // Character data: as closed to completion as a comment.
          State = CData;
          I += 8;
        } else if (At(Text, I, "<%")) {
          State = Server;
          ++I;
        } else if (C == '<') {
          State = Tag;
          Name.clear();
          NameDone = false;
        }
        break;
      case Tag:
        if (C == '"' || C == '\'') {
          Quote = C;
          State = String;
        } else if (C == '>') {
          // <script src="x" /> has no body. A style body is the sheet's
          // text: its "<!--" or "<![CDATA[" wrapper opens no comment.
          const bool Body = Text[I - 1] != '/';
          State = Body && SameText(Name, "script")  ? ScriptBody
                  : Body && SameText(Name, "style") ? StyleBody
                                                    : Content;
        } else if (!NameDone && !std::isspace(static_cast<unsigned char>(C)) && C != '/') {
          Name += C;
        } else if (!Name.empty()) {
          NameDone = true;
        }
        break;
      case String:
        if (C == Quote) State = Tag;
        break;
      case Comment:
        if (C == '-' && At(Text, I, "-->")) {
          State = Content;
          I += 2;
        }
        break;
      case CData:
        if (C == ']' && At(Text, I, "]]>")) {
          State = Content;
          I += 2;
        }
        break;
      case Server:
        if (C == '%' && At(Text, I, "%>")) {
          State = Content;
          ++I;
        }
        break;
      case ScriptBody:
      case StyleBody:
        if (C == '<' && At(Text, I, State == ScriptBody ? "</script" : "</style")) {
          Name = State == ScriptBody ? "/script" : "/style";
          State = Tag;
          NameDone = true;
          I += Name.size();
        }
        break;
    }
  }
  switch (State) {
    // A quoted attribute value is where value lists are wanted: not a string.
    case Tag:
    case String:
      return TKelElement::Identifier;
    case Comment:
    case CData:
      return TKelElement::Comment;
    case Server:
    case ScriptBody:
      return TKelElement::Script;
    case Content:
    case StyleBody:
      break;
  }
  return TKelElement::WhiteSpace;
}

TTextChange NetChange(const std::string& Old, const std::string& New) {
  size_t P = 0;
  while (P < Old.size() && P < New.size() && Old[P] == New[P]) ++P;
  size_t S = 0;
  while (S < Old.size() - P && S < New.size() - P && Old[Old.size() - 1 - S] == New[New.size() - 1 - S]) ++S;
  return {static_cast<int32_t>(P), static_cast<int32_t>(Old.size() - S),
          static_cast<int32_t>(New.size() - S)};
}

TCompletionCycle::TCompletionCycle(TMemoryHost& Host) : FHost(Host) {}

TEmbeddedStyle EmbeddedStyleAt(const std::string& Text, int32_t Offset) {
  TEmbeddedStyle R;
  const size_t End = std::min(Text.size(), static_cast<size_t>(std::max(Offset, 0)));
  const std::string_view T(Text.data(), End);
  const size_t Lt = T.rfind('<');
  if (Lt == std::string_view::npos) return R;
  // In a tag: a style attribute's quoted value holding the caret. A "<!--"
  // or "<![CDATA[" that wraps a style body opens no tag.
  const bool TagName = Lt + 1 < End && std::isalpha(static_cast<unsigned char>(T[Lt + 1]));
  if (TagName && (T.find('>', Lt) == std::string_view::npos ||
                  T.substr(Lt).find_first_of("\"'") != std::string_view::npos)) {
    char Quote = 0;
    size_t ValueStart = 0;
    std::string Name, Attr;
    bool InTag = true;
    for (size_t I = Lt + 1; I < End; ++I) {
      const char C = T[I];
      if (Quote) {
        if (C == Quote) Quote = 0;
        continue;
      }
      if (C == '"' || C == '\'') {
        Quote = C;
        ValueStart = I + 1;
        Attr = Name;
      } else if (C == '>') {
        InTag = false;
        break;
      } else if (C == '=' || std::isspace(static_cast<unsigned char>(C))) {
        if (C == '=' || !Name.empty()) Attr = Name.empty() ? Attr : Name;
        if (C != '=') Name.clear();
      } else {
        if (!Name.empty() && (T[I - 1] == '=' || std::isspace(static_cast<unsigned char>(T[I - 1]))))
          Name.clear();
        Name += C;
      }
    }
    if (InTag && Quote && SameText(Attr, "style")) {
      R.In = R.Declarations = true;
      R.Start = static_cast<int32_t>(ValueStart);
      return R;
    }
    if (InTag) return R;
  }
  // In a <style> body: after the '>' of the last <style> start tag, with no
  // end tag since.
  std::string Lower(T);
  for (char& C : Lower) C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
  const size_t Open = Lower.rfind("<style");
  if (Open == std::string::npos || Lower.find("</style", Open) != std::string::npos) return R;
  const size_t Gt = Lower.find('>', Open);
  if (Gt == std::string::npos || Lower[Gt - 1] == '/') return R;
  R.In = true;
  // The wrapper that hides a body from old browsers, or XML's CDATA, is no
  // part of the sheet.
  size_t Start = Gt + 1;
  while (Start < End && std::isspace(static_cast<unsigned char>(T[Start]))) ++Start;
  for (const std::string_view Wrapper : {"<![CDATA[", "<!--"})
    if (T.substr(Start).starts_with(Wrapper)) {
      R.Start = static_cast<int32_t>(Start + Wrapper.size());
      return R;
    }
  R.Start = static_cast<int32_t>(Gt + 1);
  return R;
}

TKelPtr<IKelCodeInsightManager> TCompletionCycle::ManagerAt(TMemoryHost& Host, const std::string& File,
                                                            const std::string& Text, int32_t Offset) {
  auto M = ManagerFor(Host, File);
  if (!M || M->GetIDString() != "Quorvel.CodeInsight.HTML" || !EmbeddedStyleAt(Text, Offset).In) return M;
  for (int32_t I = 0; I < Host.GetCodeInsightManagerCount(); ++I) {
    auto S = Host.GetCodeInsightManager(I);
    if (S && S->GetEnabled() && S->GetIDString() == "Quorvel.CodeInsight.CSS") return S;
  }
  return M;
}

TKelPtr<IKelCodeInsightManager> TCompletionCycle::ManagerFor(TMemoryHost& Host, const std::string& File) {
  for (int32_t I = 0; I < Host.GetCodeInsightManagerCount(); ++I) {
    auto M = Host.GetCodeInsightManager(I);
    if (M && M->GetEnabled() && M->HandlesFile(File)) return M;
  }
  return nullptr;
}

bool TCompletionCycle::Type(char C) {
  if (FList) {
    Key(C);
    return IsOpen();
  }
  const auto& View = FHost.CurrentView();
  FInvoked = false;
  if (!View || !FManager) return false;
  FCommandsBefore = View->Commands().size();
  const int32_t Element = FClassifier ? FClassifier(View->Text(), View->CaretOffset())
                                      : MarkupElementAt(View->Text(), View->CaretOffset());
  if (C) View->InsertText(std::string(1, C), false);
  TKelCodeInsightType Kind = TKelCodeInsightType::citNone;
  TKelInvokeType How = TKelInvokeType::itManual;
  FManager->GetCodeInsightType(C, Element, Kind, How);
  if (Kind != TKelCodeInsightType::citCodeInsight) return false;
  FInvoked = true;
  std::string Str;
  if (!FManager->InvokeCodeCompletion(How, Str)) return false;
  // A manager that leaves the token alone gets the word the editor sees.
  if (Str.empty()) Str = TypedToken();
  FToken = Str;
  FList = FHost.OpenCompletionList();
  Refresh(Str);
  // An empty list window is never shown.
  if (FList->Items().empty()) {
    FHost.CloseCompletionList();
    FList.reset();
  }
  return IsOpen();
}

void TCompletionCycle::Key(char K) {
  if (!FList || !FManager) return;
  bool Close = false, Accept = false;
  FManager->OnEditorKey(K, Close, Accept);
  if (Close) {
    bool DisplayParams = false;
    FManager->Done(Accept, DisplayParams);
    FHost.CloseCompletionList();
    FList.reset();
    return;
  }
  if (const auto& View = FHost.CurrentView()) View->InsertText(std::string(1, K), false);
  Refresh(TypedToken());
}

std::optional<TMemoryTrial> TCompletionCycle::Plan(int32_t Index, char K) {
  const auto& View = FHost.CurrentView();
  if (!FList || !FManager || !View) return std::nullopt;
  const int32_t Selected = FList->GetSelectedIndex();
  if (!SelectIndex(Index)) return std::nullopt;
  const auto Planning = query<IKelCodeInsightPlanning>(FManager);
  View->BeginTrial();
  // Ends this trial once, also on a throw: a second EndTrial would end the
  // caller's trial, and every later row would be planned on the text
  // without what opening the list wrote.
  struct TEnd {
    const TKelPtr<TMemoryEditView>& View;
    const TKelPtr<IKelCodeInsightPlanning>& Planning;
    bool Ended = false;

    ~TEnd() {
      if (Planning) Planning->SetPlanning(false);
      if (View && !Ended) View->EndTrial();
    }
  };
  std::optional<TMemoryTrial> Result;
  {
    TEnd End{View, Planning};
    bool Close = false, Accept = false;
    FManager->OnEditorKey(K, Close, Accept);
    if (Close) {
      if (Planning) Planning->SetPlanning(true);
      bool DisplayParams = false;
      FManager->Done(Accept, DisplayParams);
      if (Planning) Planning->SetPlanning(false);
      Result = View->EndTrial();
      End.Ended = true;
    }
  }
  FList->Select(Selected);
  return Result;
}

std::string TCompletionCycle::TypedToken() {
  const auto& View = FHost.CurrentView();
  return View ? View->GetPosition()->RipText(FManager->EditorTokenValidChars(false), kelRipBackward)
              : std::string();
}

void TCompletionCycle::Refresh(const std::string& Filter) {
  const auto List = FManager->GetSymbolList();
  if (!List) return;
  List->SetFilter(Filter);
  std::vector<std::string> Texts;
  for (int32_t I = 0; I < List->GetCount(); ++I) Texts.push_back(List->GetSymbolText(I));
  FList->SetItems(std::move(Texts));
  // The entity list answers an index without claiming a match.
  int32_t Index = -1;
  List->FindSymIndex(Filter, Index);
  if (Index < 0) Index = 0;
  FList->Select(Index);
}

std::vector<TCompletionItem> TCompletionCycle::Items() {
  std::vector<TCompletionItem> R;
  const auto List = FManager ? FManager->GetSymbolList() : nullptr;
  if (!List || !FList) return R;
  for (int32_t I = 0; I < List->GetCount(); ++I)
    R.push_back({List->GetSymbolText(I), List->GetSymbolTypeText(I), List->GetSymbolClassText(I),
                 List->GetSymbolIsAbstract(I)});
  return R;
}

bool TCompletionCycle::SelectIndex(int32_t Index) {
  if (!FList || Index < 0 || Index >= static_cast<int32_t>(FList->Items().size())) return false;
  FList->Select(Index);
  return true;
}

bool TCompletionCycle::SelectText(const std::string& Text) {
  if (!FList) return false;
  const auto Rows = this->Items();
  auto It =
      std::find_if(Rows.begin(), Rows.end(), [&](const TCompletionItem& I) { return I.Shown() == Text; });
  if (It == Rows.end())
    It = std::find_if(Rows.begin(), Rows.end(),
                      [&](const TCompletionItem& I) { return SameText(I.Shown(), Text); });
  return It != Rows.end() && SelectIndex(static_cast<int32_t>(It - Rows.begin()));
}

int32_t TCompletionCycle::Selected() const { return FList ? FList->GetSelectedIndex() : -1; }

bool TCompletionCycle::ReopenRequested() const {
  const auto& View = FHost.CurrentView();
  if (!View) return false;
  const auto& C = View->Commands();
  return std::find(C.begin() + static_cast<std::ptrdiff_t>(std::min(FCommandsBefore, C.size())), C.end(),
                   kelCommandInvokeCodeCompletion) != C.end();
}

}  // namespace kel
