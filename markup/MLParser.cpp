#include "markup/MLParser.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

#include "host/KelStrings.h"

namespace kel {

TMLParser::TMLParser(TMLSymbols* SymbolManager)
    : FDocTypeHash(Hash("DOCTYPE")), FXSLTemplateHash(Hash("xsl:template")), FSymbolManager(SymbolManager) {}

TMLParser::~TMLParser() {
  FAttrValues = nullptr;
  FFreeEntries.clear();
  FTagStack.clear();
  FOpenTags.clear();
  FCaret.AutoClosePositions.clear();
  FCallbacks.clear();
  if (FSymbolManager && FSymbolManager->GetParser() == this) FSymbolManager->SetParser(nullptr);
}

void TMLParser::AddCallback(IInterface* Callback) {
  const TKelPtr<IKelMLElementCallback> C = query<IKelMLElementCallback>(Callback);
  if (!C || std::find(FCallbacks.begin(), FCallbacks.end(), C) != FCallbacks.end()) return;
  FCallbacks.push_back(C);
}

void TMLParser::RemoveCallback(IInterface* Callback) {
  const TKelPtr<IKelMLElementCallback> C = query<IKelMLElementCallback>(Callback);
  if (!C) return;
  FCallbacks.erase(std::remove(FCallbacks.begin(), FCallbacks.end(), C), FCallbacks.end());
}

void TMLParser::CallbacksInvalidate() {
  // A callback may unregister itself while it is told.
  const auto Callbacks = FCallbacks;
  for (const auto& C : Callbacks) C->Invalidate();
}

int32_t TMLParser::GetCurrentTagAttrCount() const {
  return FAttrValues ? static_cast<int32_t>(FAttrValues->size()) : 0;
}

TKelPtr<IKelMLTagAttribute> TMLParser::GetCurrentTagAttrs(int32_t Index) const {
  if (Index < 0 || Index >= GetCurrentTagAttrCount()) return nullptr;
  return (*FAttrValues)[static_cast<size_t>(Index)]->Attribute;
}

std::string TMLParser::GetCurrentTagAttrName(int32_t Index) const {
  const auto A = GetCurrentTagAttrs(Index);
  return A ? A->GetName() : std::string();
}

std::u16string TMLParser::GetCurrentTagAttrValue(int32_t Index) const {
  if (Index < 0 || Index >= GetCurrentTagAttrCount()) return {};
  return (*FAttrValues)[static_cast<size_t>(Index)]->Value;
}

const TTagAttributeValue* TMLParser::FindAttrValue(const std::string& Name) const {
  if (!FAttrValues) return nullptr;
  for (const auto& V : *FAttrValues)
    if (V->Attribute && SameText(V->Attribute->GetName(), Name)) return V.get();
  return nullptr;
}

std::u16string TMLParser::GetCurrentTagAttrValueByName(const std::string& Name) const {
  const auto* V = FindAttrValue(Name);
  return V ? V->Value : std::u16string();
}

char TMLParser::GetCurrentTagAttrStrType(const std::string& Name) const {
  const auto* V = FindAttrValue(Name);
  return V ? V->Quote : '\0';
}

char TMLParser::GetCurrentTagAttrStrTypeEnd(const std::string& Name) const {
  const auto* V = FindAttrValue(Name);
  return V ? V->QuoteEnd : '\0';
}

int32_t TMLParser::GetCurrentTagAttrOffsetStart(const std::string& Name) const {
  const auto* V = FindAttrValue(Name);
  return V ? V->Attribute->GetOffsetStart() : 0;
}

int32_t TMLParser::GetCurrentTagAttrOffsetEnd(const std::string& Name) const {
  const auto* V = FindAttrValue(Name);
  return V ? V->Attribute->GetOffsetEnd() : 0;
}

int32_t TMLParser::GetCurrentTagAttrValueOffsetStart(const std::string& Name) const {
  const auto* V = FindAttrValue(Name);
  return V ? V->Attribute->GetAttributeValueStartOffset() : 0;
}

// ---- Tag lists --------------------------------------------------------------------------

namespace {
bool IsSchemaTag(IKelMLTag* Tag) { return Tag && !supports<IKelMLNamedTag>(Tag); }
}  // namespace

TKelPtr<IKelMLTag> TMLParser::FindTag(const std::string& Name) {
  return FSymbolManager ? FSymbolManager->GetTagFromHashList(Name) : nullptr;
}

std::unique_ptr<TTagEntry> TMLParser::NewTagEntry() {
  std::unique_ptr<TTagEntry> E;
  // The entry whose values are current stays put: they are still read.
  const auto Free = std::find_if(FFreeEntries.begin(), FFreeEntries.end(),
                                 [this](const auto& F) { return &F->AttrValues != FAttrValues; });
  if (Free != FFreeEntries.end()) {
    E = std::move(*Free);
    FFreeEntries.erase(Free);
    ClearTagAttrList(E->AttrValues);
  } else {
    E = std::make_unique<TTagEntry>();
  }
  E->Line = FLine;
  E->OffsetEnd = 0;
  E->OffsetStart = 0;
  return E;
}

void TMLParser::DisposeTagEntry(TTagEntryList& List, TTagEntryList::iterator E, bool ClearAttrs) {
  if (TNameSlot* Slot = (*E)->Slot) {
    if (&List == &FTagStack) {
      --Slot->Stacked;
    } else {
      // The innermost of the name, or the outermost let go by a deep page.
      auto& Where = Slot->Open;
      if (!Where.empty() && Where.back() == E)
        Where.pop_back();
      else if (!Where.empty() && Where.front() == E)
        Where.pop_front();
      else if (const auto At = std::find(Where.begin(), Where.end(), E); At != Where.end())
        Where.erase(At);
    }
    (*E)->Slot = nullptr;
  }
  (*E)->Tag.reset();
  (*E)->Unclosed = false;
  if (ClearAttrs) {
    if (FAttrValues == &(*E)->AttrValues) FAttrValues = nullptr;
    ClearTagAttrList((*E)->AttrValues);
  }
  FFreeEntries.splice(FFreeEntries.end(), List, E);
}

TNameSlot& TMLParser::NameSlot(const std::string& Name) {
  auto It = FNames.find(Name);
  if (It == FNames.end()) It = FNames.emplace(Name, TNameSlot{}).first;
  return It->second;
}

void TMLParser::PushTag(IKelMLTag* Tag, bool OpenedBeforeCaret, bool BeforeCaret,
                        const std::string& Written) {
  auto Open = NewTagEntry();
  Open->Tag = Tag;
  const std::string Name = !Written.empty() ? Written : Tag ? Tag->GetName() : std::string();
  Open->Name = Name;
  TTagAttributeValueList* OpenValues = &Open->AttrValues;
  TNameSlot* Slot = Tag ? &NameSlot(Name) : nullptr;
  Open->Slot = Slot;
  FOpenTags.push_front(std::move(Open));
  if (Slot) Slot->Open.push_back(FOpenTags.begin());
  if (BeforeCaret) {
    auto Stacked = NewTagEntry();
    Stacked->Tag = Tag;
    Stacked->Name = Name;
    FAttrValues = &Stacked->AttrValues;
    Stacked->Slot = Slot;
    if (Slot) ++Slot->Stacked;
    FTagStack.push_front(std::move(Stacked));
  } else if (OpenedBeforeCaret) {
    FAttrValues = OpenValues;
  }
  // Deeper than pages nest (browsers stop at 512), the outermost elements
  // are let go: ten million <div> left open took 4 GB.
  constexpr size_t MaxDepth = 10'000;
  if (FOpenTags.size() > MaxDepth) DisposeTagEntry(FOpenTags, std::prev(FOpenTags.end()), true);
  if (FTagStack.size() > MaxDepth) DisposeTagEntry(FTagStack, std::prev(FTagStack.end()), true);
}

void TMLParser::PopTag(const std::string& Name, bool BeforeCaret, bool OpenedBeforeCaret) {
  (void)OpenedBeforeCaret;

  const auto Named = [&Name](const auto& E) { return E->Tag && SameText(E->Name, Name); };
  // Counts per name keep an end tag whose element is not open O(1), however
  // many elements are.
  const auto Slot = FNames.find(Name);
  if (Slot == FNames.end()) return;
  if (BeforeCaret && Slot->second.Stacked > 0) {
    const TKelPtr<IKelMLTag> Def = FindTag(Name);
    // Elements passed over are closed with it, but those that must be closed
    // by their own end tag stay open; an end tag buried under more of them
    // than any page nests is taken for a stray one, so that each end tag
    // costs a bounded walk besides the elements it closes.
    constexpr int32_t MaxStaying = 256;
    int32_t Staying = 0;
    for (auto It = FTagStack.begin(); It != FTagStack.end() && Staying < MaxStaying;) {
      const auto Next = std::next(It);
      if (Named(*It)) {
        DisposeTagEntry(FTagStack, It, true);
        break;
      }
      // An inner element left open by the closing of an outer one.
      const TKelPtr<IKelMLTag> Inner =
          !FCaret.IsXML && Def && (*It)->Tag ? Def->LookupTag((*It)->Name) : nullptr;
      if (FCaret.IsXML || (Inner && Inner->GetRequiresClosingTag())) {
        (*It)->Unclosed = Inner && Inner->LookupTag(Name);
        ++Staying;
      } else {
        DisposeTagEntry(FTagStack, It, true);
      }
      It = Next;
    }
    const TKelPtr<IKelMLTag> Top = FTagStack.empty() ? nullptr : FTagStack.front()->Tag;
    FCaret.InTag = static_cast<bool>(Top);
    // Back at the top, the caller's root holds what follows.
    FCaret.CurrentTag = Top ? Top : FRoot;
  }
  if (!Slot->second.Open.empty()) DisposeTagEntry(FOpenTags, Slot->second.Open.back(), false);
}

void TMLParser::ClearTagAttrList(TTagAttributeValueList& List) {
  for (auto It = List.rbegin(); It != List.rend(); ++It) {
    const auto& A = (*It)->Attribute;
    if (A && !supports<IKelMLUnknownTagAttribute>(A)) {
      A->SetOffsetStart(0);
      A->SetOffsetEnd(0);
    }
  }
  List.clear();
}

void TMLParser::SetTagOffsetStart(IKelMLTag* Tag, int32_t Offset, bool Record, bool IsClosing) {
  if (Tag) Tag->SetOffsetStart(Offset);
  if (Record && !IsClosing && !FTagStack.empty()) FTagStack.front()->OffsetStart = Offset;
}

void TMLParser::SetTagOffsetEnd(IKelMLTag* Tag, int32_t Offset, bool Record, bool UseParentList) {
  if (Tag) Tag->SetOffsetEnd(Offset);
  if (!Record || FTagStack.empty()) return;
  if (UseParentList) {
    const auto Parent = std::next(FTagStack.begin());
    FAttrValues = Parent == FTagStack.end() ? nullptr : &(*Parent)->AttrValues;
  } else {
    FTagStack.front()->OffsetEnd = Offset;
  }
}

void TMLParser::PushAutoCloseTagPos(const TKelEditPos& Pos) {
  FCaret.AutoClosePositions.push_back({Pos.Col - 1, Pos.Line});
}

TKelPtr<IKelMLTag> TMLParser::NewUnknownElement(const std::string& Name) {
  if (IsSchemaTag(FCaret.CurrentTag.get())) FCaret.FixupTag = FCaret.CurrentTag;
  return MakeKel<TNamedTag>(Name, FSymbolManager, -1);
}

TKelPtr<IKelMLTagAttribute> TMLParser::NewUnknownAttr(const std::string& Name) {
  return MakeKel<TUnknownHTMLAttribute>(Name, -1);
}

void TMLParser::AddTagAttr(IKelMLTagAttribute* Attr, const std::string& Value, char Quote, char QuoteEnd) {
  if (FAttrValues)
    FAttrValues->push_back(std::make_unique<TTagAttributeValue>(Attr, Utf8ToUtf16(Value), Quote, QuoteEnd));
}

void TMLParser::ClearTagStack() {
  while (!FTagStack.empty()) DisposeTagEntry(FTagStack, FTagStack.begin(), true);
  while (!FOpenTags.empty()) DisposeTagEntry(FOpenTags, FOpenTags.begin(), true);
  // The names of one parse: a server parses many pages in its life.
  FNames.clear();
}

void TMLParser::Callback(const std::string&, IKelMLMarkupPos* Node, TTagType TagType, int32_t StartOffset,
                         int32_t EndOffset) {
  if (FCallbacks.empty()) return;
  const auto Callbacks = FCallbacks;
  size_t Handled = 0;
  for (const auto& C : Callbacks) {
    bool H = false;
    C->ElementParsed(this, Node, TagType, StartOffset, EndOffset, H);
    if (H) ++Handled;
  }
  FStopped = Handled == Callbacks.size();
}

}  // namespace kel

// ---- The scan -------------------------------------------------------------------------------

namespace kel {

namespace {

// No column yet: beyond any line's length.
constexpr int32_t kUnknownColumn = std::numeric_limits<int32_t>::max();

bool IsAsciiLetter(unsigned char C) { return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z'); }

bool IsNameChar(unsigned char C) {
  return C == '#' || C == '-' || C == '.' || (C >= '0' && C <= '9') || C == ':' || IsAsciiLetter(C) ||
         C == '_' || (C >= 0xC0 && C <= 0xFE);
}

bool IsBlank(unsigned char C) { return C == ' ' || C == '\t'; }
bool IsWhite(unsigned char C) { return C == ' ' || C == '\t' || C == '\n' || C == '\r'; }

// Bytes of the UTF-8 sequence that C leads; 1 for ASCII and stray bytes.
int SequenceLength(unsigned char C) {
  if (C >= 0xC0 && C <= 0xDF) return 2;
  if (C >= 0xE0 && C <= 0xEF) return 3;
  if (C >= 0xF0 && C <= 0xF7) return 4;
  return 1;
}

// Steps over one character, never past the chunk's terminator.
void StepChar(const char*& P) {
  const int N = SequenceLength(static_cast<unsigned char>(*P));
  ++P;
  for (int I = 1; I < N && *P; ++I) ++P;
}

bool IsSchemaTagPtr(const TKelPtr<IKelMLTag>& Tag) { return Tag && !supports<IKelMLNamedTag>(Tag); }

// Compares the end tag at P ("</script>") ignoring case, within the chunk.
bool AtEndTag(const char* P, const char* EndTag) {
  for (; *EndTag; ++P, ++EndTag) {
    if (!*P) return false;
    char C = *P;
    if (C >= 'A' && C <= 'Z') C = static_cast<char>(C + 32);
    if (C != *EndTag) return false;
  }
  return true;
}

}  // namespace

int32_t TMLParser::CaretOffset() {
  if (FCaret.CaretOffset < 0) {
    TKelEditPos Pos = FCaretPos;
    TKelCharPos CharPos;
    FEditView->ConvertPos(true, Pos, CharPos);
    FCaret.CaretOffset = FEditView->CharPosToPos(CharPos);
  }
  return FCaret.CaretOffset;
}

bool TMLParser::IsBeforeCaretAt(int32_t Off, bool AtTerminator) {
  if (FLine < FCaretPos.Line) return true;
  if (FLine > FCaretPos.Line) return false;
  if (FEditView) {
    // The caret at the very end of the text stands after the last chunk.
    return Off < CaretOffset() || (AtTerminator && FProducer->Eof() && Off == CaretOffset());
  }
  return Off - FLineStartOffset < FCaretPos.Col - 1;
}

bool TMLParser::IsBeforeCaret(const char* P) {
  // Most of a page is on other lines than the caret's: no offset needed.
  if (FLine != FCaretPos.Line) return FLine < FCaretPos.Line;
  return IsBeforeCaretAt(Offset(P), *P == '\0');
}

bool TMLParser::NextChunk(const char*& P) {
  if (!FProducer->FillBuffer()) return false;
  P = FProducer->BufferAtOffset(0);
  return P != nullptr;
}

void TMLParser::NewLine(const char* P) {
  ++FLine;
  FLineStart = P;
  FLineStartOffset = Offset(P);
}

void TMLParser::StepLineBreak(const char*& P) {
  // LF CR is two breaks, as editors count it; only CR LF is one.
  const char First = *P++;
  if (First == '\r' && *P == '\n') ++P;
  NewLine(P);
}

void TMLParser::GatherText(const char* From, const char* To) {
  // Only callbacks read the text between tags.
  if (From && To > From && !FCallbacks.empty()) FText.append(From, To);
}

void TMLParser::PushContextPos(TParserContexts C, int32_t Off) {
  FCaret.Contexts.Include(C);
  FContextPositions.push_back(Off);
}

void TMLParser::PopContextPos(TParserContexts C) {
  FCaret.Contexts.Exclude(C);
  if (!FContextPositions.empty()) FContextPositions.pop_back();
}

void TMLParser::SkipWhiteSpace(const char*& P) {
  for (;;) {
    if (IsBlank(static_cast<unsigned char>(*P))) {
      ++P;
    } else if (*P == '\n' || *P == '\r') {
      StepLineBreak(P);
    } else if (*P == '\0') {
      if (IsBeforeCaret(P)) GatherText(FTextStart, P);
      if (!NextChunk(P)) return;
      FTextStart = P;
    } else {
      return;
    }
  }
}

void TMLParser::HandleString(const char*& P) {
  const char Quote = *P;
  const int32_t QuoteOffset = Offset(P);
  PushContextPos(TParserContexts::pcString, QuoteOffset);
  ++P;
  std::string Text;
  const char* Start = P;
  for (;;) {
    if (*P == '\0') {
      Text.append(Start, P);
      if (!NextChunk(P)) return;  // the string stays open
      Start = P;
    } else if (*P == Quote) {
      break;
    } else if (*P == '\n' || *P == '\r') {
      StepLineBreak(P);
    } else {
      ++P;
    }
  }
  Text.append(Start, P);
  if (FInDocType && !FInDocTypeSubset) {
    // A public identifier we know names the schema better than a system
    // address that only a newer or older revision of the same DTD uses.
    if (!IsKnownPublicIdentifier(FCaret.DocTypeIdentifier)) FCaret.DocTypeIdentifier = Text;
    // An XHTML page is XML even without an XML declaration: its childless
    // elements close with " />".
    if (UpperCase(Text).find("XHTML") != std::string::npos) FCaret.IsXML = true;
    const auto Node = NewUnknownAttr(std::string(1, Quote) + Text + Quote);
    Callback(Node->GetName(), Node.get(), TTagType::ttAttribute, QuoteOffset + 1, Offset(P));
  }
  ++P;
  PopContextPos(TParserContexts::pcString);
}

template <class EndAt>
bool TMLParser::ReadConstruct(const char*& P, std::string& Text, bool Strings, EndAt EndLength) {
  const char* Start = P;
  for (;;) {
    if (*P == '\0') {
      Text.append(Start, P);
      if (!NextChunk(P)) return false;  // the construct stays open
      Start = P;
    } else if (const int End = EndLength(P); End > 0) {
      Text.append(Start, P);
      P += End;
      return true;
    } else if (Strings && (*P == '"' || *P == '\'')) {
      Text.append(Start, P);
      const char* QuoteAt = P;
      HandleString(P);
      // The string's own text, when it stayed within this chunk.
      if (P > QuoteAt) Text.append(QuoteAt, P);
      Start = P;
      if (FCaret.Contexts.Contains(TParserContexts::pcString)) return false;
    } else if (*P == '\n' || *P == '\r') {
      StepLineBreak(P);
    } else {
      ++P;
    }
  }
}

template <class TNode>
void TMLParser::ReportTextNode(int32_t TagStart, const char* P, const std::string& Text, TTagType Type) {
  if (!IsBeforeCaret(P)) return;
  const auto Node = MakeKel<TNode>();
  Node->SetOffsetStart(TagStart);
  Node->SetOffsetEnd(Offset(P));
  Node->SetText(Text);
  Callback("", Node.get(), Type, TagStart, Offset(P));
}

void TMLParser::HandleHTMLComment(const char*& P, int32_t TagStart) {
  PushContextPos(TParserContexts::pcHTMLComment, Offset(P));
  std::string Text;
  // Ends at the first ">" after one or more "-": "-->", and "->" too.
  const bool Closed = ReadConstruct(P, Text, false, [](const char* Q) {
    const char* D = Q;
    while (*D == '-') ++D;
    return D > Q && *D == '>' ? static_cast<int>(D - Q) + 1 : 0;
  });
  if (!Closed) return;
  ReportTextNode<TMLComment>(TagStart, P, Text, TTagType::ttComment);
  PopContextPos(TParserContexts::pcHTMLComment);
}

void TMLParser::HandleProcessingInstruction(const char*& P, int32_t TagStart) {
  PushContextPos(TParserContexts::pcProcessingInstruction, Offset(P));
  std::string Text;
  const bool Closed = ReadConstruct(
      P, Text, true, [](const char* Q) { return (*Q == '?' || *Q == '/') && Q[1] == '>' ? 2 : 0; });
  if (!Closed) return;
  ReportTextNode<TMLProcessingInstruction>(TagStart, P, Text, TTagType::ttProcessingInstruction);
  PopContextPos(TParserContexts::pcProcessingInstruction);
}

void TMLParser::HandleServerSideScript(const char*& P, int32_t TagStart) {
  PushContextPos(TParserContexts::pcServerSideScript, Offset(P));
  std::string Text;
  const bool Closed =
      ReadConstruct(P, Text, false, [](const char* Q) { return *Q == '%' && Q[1] == '>' ? 2 : 0; });
  if (!Closed) return;
  ReportTextNode<TMLServerScript>(TagStart, P, Text, TTagType::ttServerScript);
  PopContextPos(TParserContexts::pcServerSideScript);
}

void TMLParser::HandleBody(const char*& P, bool Script) {
  const TParserContexts Context = Script ? TParserContexts::pcScript : TParserContexts::pcStyle;
  const char* EndTag = Script ? "</script>" : "</style>";
  const int32_t EndLength = Script ? 9 : 8;
  bool& Flag = Script ? FCaret.InScript : FCaret.InStyle;
  PushContextPos(Context, Offset(P));
  if (IsBeforeCaret(P)) Flag = true;
  for (;;) {
    if (*P == '\0') {
      GatherText(FTextStart, P);
      if (!NextChunk(P)) return;
      FTextStart = P;
    } else if (*P == '<' && AtEndTag(P, EndTag)) {
      break;
    } else if (*P == '\n' || *P == '\r') {
      StepLineBreak(P);
    } else {
      ++P;
    }
  }
  if (IsBeforeCaret(P + EndLength)) Flag = false;
  PopContextPos(Context);
}

void TMLParser::HandleCDATA(const char*& P) {
  P += 8;
  const bool StartBefore = IsBeforeCaret(P);
  PushContextPos(TParserContexts::pcCDATA, Offset(P));
  std::string Text;
  const bool Closed = ReadConstruct(
      P, Text, false, [](const char* Q) { return Q[0] == ']' && Q[1] == ']' && Q[2] == '>' ? 3 : 0; });
  // Its characters are the text of the element around it.
  if (StartBefore && !FCallbacks.empty()) FText += Text;
  FTextStart = P;
  if (StartBefore) FCaret.InCDATA = !Closed || !IsBeforeCaret(P - 1);
  if (Closed) PopContextPos(TParserContexts::pcCDATA);
}

bool TMLParser::GetTagAttrValue(const char*& P, bool IsQuoted, std::string& Value) {
  char Open = 0;
  for (;;) {
    const char C = *P;
    if (C == '\0') {
      // A quote stays open; an unquoted value simply ends with the text.
      if (!NextChunk(P)) return !IsQuoted;
      continue;
    }
    if ((C == '"' || C == '\'') && !Open) {
      Open = C;
      PushContextPos(TParserContexts::pcString, Offset(P));
      FCaret.Quote = C;
      FCaret.QuoteEnd = 0;
      ++P;
      continue;
    }
    if (Open && C == Open) {
      FCaret.QuoteEnd = C;
      ++P;
      PopContextPos(TParserContexts::pcString);
      return true;
    }
    if (C == '>' && !(IsQuoted && Open)) return true;
    if (C == '\n' || C == '\r') {
      if (!IsQuoted) return true;
      const char* Break = P;
      StepLineBreak(P);
      Value.append(Break, P);
      continue;
    }
    if (IsBlank(static_cast<unsigned char>(C)) && !IsQuoted) return true;
    Value += C;
    ++P;
  }
}

bool TMLParser::Parse(const TKelEditPos& EditPos, IMLBufferProducer* Producer, IKelMLTag* Tag) {
  FProducer = Producer;
  FProducerInternal = query<IMLBufferProducerInternal>(Producer);
  FEditView = FProducerInternal ? FProducerInternal->GetEditView() : nullptr;
  if (FSymbolManager) FSymbolManager->SetParser(this);
  FState = TMLParserState::mlpsParsing;
  FCaretPos = EditPos;
  // Its column is what the text says (a value's start), else the caret's.
  FCaret.ValuePos = {kUnknownColumn, EditPos.Line};
  FText.clear();
  FTextStart = nullptr;
  ClearTagStack();
  ClearAutoCloseTagPosStack();
  if (FAttrValues) ClearTagAttrList(*FAttrValues);
  FAttrValues = nullptr;
  FCaret.FixupTag.reset();
  FCaret.FixupParent.reset();
  FCurrentCol = -1;

  if (FCaret.CurrentTag) FCaret.CurrentTag->SetFilter("");
  if (FCaret.CurrentAttr) FCaret.CurrentAttr->SetFilter("");
  if (FSymbolManager) FSymbolManager->RemoveFixupElements(FFixedUpTag.get());
  FFixedUpTag.reset();
  FCaret.CurrentTag = FRoot = Tag;
  FCaret.InTag = false;
  FCaret.CurrentAttr.reset();
  FLine = 1;
  FLineStart = nullptr;
  FLineStartOffset = 0;
  FCaret.InScript = FCaret.InStyle = FCaret.InCDATA = FInDocType = FInXSLTemplate = FCaret.InClosingTag =
      FCaret.CaretInTagName = FCaret.InDirectiveName = FStopped = false;
  // XSL, WML, .resx, XHTML and SVG files are XML whatever their first line says.
  FCaret.IsXML = FSymbolManager && FSymbolManager->IsXMLDocument();
  FCaret.ContentPage = false;
  FCaret.DocTypeIdentifier.clear();
  FCaret.CaretAttrName.clear();
  FSawDocType = false;
  FXSLOutput.clear();
  FCaret.DataAttrNames.clear();
  FCaret.LastWrittenName.clear();
  FCaret.Quote = FCaret.QuoteEnd = 0;
  if (FSymbolManager) FSymbolManager->ClearClosedTags();
  FCaret.Contexts.Reset();
  FContextPositions.clear();

  // A request's page (the view's text, its tree and what earlier parses kept
  // of it) lets the scan start near the caret and stop soon after it.
  FPage = nullptr;
  FTailFrom = FTailAfter = FCaret.CaretOffset = -1;
  if (const TMLPage* Page = FSymbolManager ? FSymbolManager->GetPage() : nullptr;
      Page && Page->Current() && FEditView && FProducerInternal && FCallbacks.empty() && !Tag)
    FPage = Page;
  const int32_t From = FPage && FPage->Cache ? Resume() : 0;
  if (From > 0) FProducerInternal->Seek(From);
  if (FProducer && FProducer->FillBuffer()) {
    FLineStart = FProducer->BufferAtOffset(0);
    if (From == 0) FLineStartOffset = Offset(FLineStart);
    ParseMLDocument();
  }
  FState = TMLParserState::mlpsNone;

  if (FCaret.CurrentTag) {
    FCaret.CurrentTag->SetFilter("");
    if (!FTagStack.empty() && FTagStack.front()->Tag &&
        SameText(FTagStack.front()->Tag->GetName(), FCaret.CurrentTag->GetName())) {
      FCaret.CurrentTag->SetOffsetEnd(FTagStack.front()->OffsetEnd);
      FCaret.CurrentTag->SetOffsetStart(FTagStack.front()->OffsetStart);
    }
  } else {
    FCaret.CurrentTag = Tag;
  }
  // The directives are the document's, whatever root the caller gave.
  if (FCaret.InDirectiveName) {
    FCaret.CurrentTag.reset();
    FCaret.CurrentAttr.reset();
    FCaret.InScript = false;
  }

  if (FSymbolManager) {
    if (FCaret.FixupParent) {
      FFixedUpTag = FCaret.FixupParent;
      FSymbolManager->InsertFixupElements(FCaret.FixupParent.get(), FCaret.FixupTag.get());
    } else if (IsSchemaTagPtr(FCaret.CurrentTag)) {
      FFixedUpTag = FCaret.CurrentTag;
      FSymbolManager->InsertFixupElements(FCaret.CurrentTag.get(), FCaret.FixupTag.get());
    } else {
      FFixedUpTag = FCaret.FixupTag;
      FSymbolManager->InsertFixupElements(FCaret.FixupTag.get(), FCaret.CurrentTag.get());
    }
  }

  if (Tag && !FOpenTags.empty() && FOpenTags.front()->Tag &&
      SameText(FOpenTags.front()->Tag->GetName(), Tag->GetName()))
    PopTag(Tag->GetName(), false, false);

  if (FCaret.InTag && FCaret.CaretInTagName && !FCaret.InClosingTag && !FCaret.InScript && !FCaret.InStyle &&
      IsSchemaTagPtr(FCaret.CurrentTag)) {
    // The name being typed is on the stack itself when it already names a
    // schema tag ("<tr|"): the list comes from the element around it.
    auto Parent = FTagStack.begin();
    if (Parent != FTagStack.end() && (*Parent)->Tag == FCaret.CurrentTag) ++Parent;
    // At the top the caller's root stands (a user control's body), or the
    // document's.
    FCaret.FixupParent = Parent != FTagStack.end() ? (*Parent)->Tag
                         : Tag                     ? TKelPtr<IKelMLTag>(Tag)
                         : FSymbolManager          ? FSymbolManager->GetHiddenRootNode()
                                                   : nullptr;
  }

  if (FSymbolManager) {
    // The closing tags due at the caret: its ancestors that the rest of the
    // document never closes, innermost first, each name once.
    // Names fold case; a count per name keeps this linear on long pages.
    std::unordered_map<std::string, int32_t> Due;
    for (const auto& E : FOpenTags)
      if (E->Tag) ++Due[LowerCase(E->Name)];
    if (FTailFrom >= 0) ApplyTail(Due);

    const auto Closable = [this](const auto& E) {
      // An EMPTY element never has an end tag, whatever the schema says of it.
      return E->Tag && !E->Tag->GetEmpty() && E->Line <= FCaretPos.Line;
    };
    // As the page spells the start tag: <TABLE> is closed by </TABLE>.
    const auto Offer = [this](const auto& E) {
      const auto Closing = MakeKel<TClosingTag>("</" + E->Name + ">", nullptr, -1);
      Closing->SetLineNumber(E->Line);
      FSymbolManager->AddClosedTag(Closing.get());
    };
    // After "</" the innermost open element comes first, also where the page
    // closes it later ("<li>x</|</li>"): that is the one being closed.
    if (const auto Inner = std::find_if(FTagStack.begin(), FTagStack.end(), Closable);
        FCaret.InTag && FCaret.InClosingTag && FCaret.CaretInTagName && Inner != FTagStack.end()) {
      const auto Open = Due.find(LowerCase((*Inner)->Name));
      if (Open == Due.end() || Open->second == 0) Offer(*Inner);
    }
    for (const auto& E : FTagStack) {
      if (!Closable(E)) continue;
      const auto Open = Due.find(LowerCase(E->Name));
      if (Open == Due.end() || Open->second == 0) continue;
      // Once offered, a name is not offered again.
      Open->second = 0;
      Offer(E);
    }
  }

  if (FCaret.ValuePos.Col == kUnknownColumn) FCaret.ValuePos.Col = FCaretPos.Col;
  bool SchemaChanged = false;
  if (FSymbolManager) {
    FSymbolManager->SetXSLOutput(FXSLOutput);
    SchemaChanged = FSymbolManager->SetSchemaFile(SchemaIdentifier());
  }
  FProducer.reset();
  FProducerInternal.reset();
  FEditView.reset();
  return SchemaChanged;
}

std::string TMLParser::SchemaIdentifier() const {
  // <!DOCTYPE html> names no identifier: it is HTML as the living standard
  // defines it.
  return FCaret.DocTypeIdentifier.empty() && FSawDocType ? "html" : FCaret.DocTypeIdentifier;
}

void TMLParser::ReleaseFixups() {
  if (FSymbolManager) FSymbolManager->RemoveFixupElements(FFixedUpTag.get());
  FFixedUpTag.reset();
}

bool TMLParser::BootStrapDTD(IMLBufferProducer* Producer) {
  return Parse(TKelEditPos{0, 0}, Producer, nullptr);
}

void TMLParser::ParseMLDocument() {
  const char* P = FProducer->BufferAtOffset(0);
  std::string TagName;
  const char* NameStart = nullptr;
  int32_t TagStartOffset = 0;
  int32_t TextStartOffset = Offset(P);
  TKelPtr<IKelMLTag> Tag;
  bool IsClosing = false, IsDirective = false, OpenedBeforeCaret = false, CaretPassed = false;
  bool InScriptTag = false, InStyleTag = false;
  FTextStart = P;
  FDocTypeAtCaret = TDocTypeAtCaret::None;
  bool LastBefore = false;
  bool Exhausted = false;
  const bool HTMLMode = !FSymbolManager || FSymbolManager->GetKibitzMode() == TKibitzMode::kmHTML;
  const auto IsDocType = [this](const std::string& N) {
    return Hash(N) == FDocTypeHash && SameText(N, "DOCTYPE");
  };

  while (!FStopped) {
    bool BeforeCaret = IsBeforeCaret(P);
    LastBefore = BeforeCaret;
    const auto C = static_cast<unsigned char>(*P);

    if (C == 0) {
      if (BeforeCaret) GatherText(FTextStart, P);
      if (!NextChunk(P)) {
        Exhausted = true;
        break;
      }
      FTextStart = P;
      if (FPage && FPage->Cache && TagName.empty() && !FCaret.InTag && !FInDocType && !FCaret.InScript &&
          !InScriptTag && !InStyleTag && FContextPositions.empty() &&
          (FLine < FCaretPos.Line || (FLine == FCaretPos.Line && IsBeforeCaretAt(Offset(P), false))))
        Keep(Offset(P));
      continue;
    }

    if (C == '[' && FInDocType) {
      // The internal subset's literals are entity texts, not identifiers.
      FInDocTypeSubset = true;
      ++P;
      continue;
    }

    if (C == '"' || C == '\'') {
      // Template text is text: "Don't" opens no string; nor does text after
      // the tag that holds the caret.
      if ((FCaret.InTag && !CaretPassed) || FInDocType)
        HandleString(P);
      else
        ++P;
      if (IsBeforeCaret(P)) FCaret.CurrentAttr.reset();
      continue;
    }

    if (IsWhite(C)) {
      if (BeforeCaret) FCaret.CurrentAttr.reset();
      if (C == '\n' || C == '\r') {
        StepLineBreak(P);
      } else {
        while (IsBlank(static_cast<unsigned char>(*P))) ++P;
        if (IsBeforeCaret(P)) FCaret.CurrentAttr.reset();
      }
      continue;
    }

    if (C == '/') {
      ++P;
      if (!(FCaret.InTag && *P == '>')) continue;
      // <script src="x" /> has no body.
      InScriptTag = InStyleTag = false;
      BeforeCaret = IsBeforeCaret(P);
      ++P;
      const int32_t After = Offset(P);
      if (BeforeCaret && !TagName.empty())
        Callback(TagName, Tag.get(), TTagType::ttSingleLine, TagStartOffset, After);
      if (IsBeforeCaret(P) && FAttrValues) ClearTagAttrList(*FAttrValues);
      if (!CaretPassed) {
        SetTagOffsetEnd(FCaret.CurrentTag.get(), After, IsBeforeCaret(P), true);
        if (!IsBeforeCaret(P)) CaretPassed = true;
      }
      if (FCaret.CurrentTag) {
        if (Hash(TagName) == FXSLTemplateHash && SameText(TagName, "xsl:template")) FInXSLTemplate = false;
        PopTag(TagName, BeforeCaret, OpenedBeforeCaret);
      }
      if (BeforeCaret) {
        TagName.clear();
        FCaret.InTag = false;
        FCaret.CurrentAttr.reset();
        FText.clear();
        TextStartOffset = After;
        FTextStart = P;
      }
      continue;
    }

    if (C == '<') {
      // Past the caret only the end tags still to come count: the tree has
      // them, from the first construct it and the scan both begin here.
      if (FPage && !BeforeCaret && (!FCaret.InTag || CaretPassed) && TagName.empty() &&
          MayStopAt(Offset(P))) {
        FTailFrom = Offset(P);
        break;
      }
      const char* Lt = P;
      TagStartOffset = Offset(P);
      FCurrentCol = TagStartOffset - FLineStartOffset;
      OpenedBeforeCaret = BeforeCaret && !FCaret.CaretInTagName;
      ++P;
      IsDirective = false;
      if (BeforeCaret && (Lt > FTextStart || !FText.empty())) {
        GatherText(FTextStart, Lt);
        if (!FText.empty()) {
          const auto Text = MakeKel<TMLText>();
          Text->SetOffsetStart(TextStartOffset);
          Text->SetOffsetEnd(TagStartOffset - 1);
          Text->SetText(FText);
          Callback("", Text.get(), TTagType::ttText, TextStartOffset, TagStartOffset - 1);
        }
        FText.clear();
        FTextStart = P;
      }
      if (IsBeforeCaret(P)) FCaret.CurrentAttr.reset();
      IsClosing = *P == '/';
      if (BeforeCaret) FCaret.InClosingTag = IsClosing;
      if (IsClosing) ++P;

      if (!IsClosing && AtEndTag(P, "![cdata[")) {
        HandleCDATA(P);
        continue;
      }
      if (P[0] == '!' && P[1] == '-' && P[2] == '-') {
        P += 3;
        HandleHTMLComment(P, TagStartOffset);
        FText.clear();
        FTextStart = P;
        continue;
      }
      if (*P == '%') {
        if (IsBeforeCaret(P)) FCaret.InScript = true;
        ++P;
        if (*P != '@') {
          HandleServerSideScript(P, TagStartOffset);
          if (IsBeforeCaret(P)) {
            FText.clear();
            FTextStart = P;
            FCaret.InScript = false;
          }
          continue;
        }
        IsDirective = true;
        ++P;
        SkipWhiteSpace(P);
      } else if (*P == '?') {
        ++P;
        int Matched = 0;
        for (const char X : {'x', 'm', 'l'}) {
          if (*P != X) break;
          ++P;
          ++Matched;
        }
        if (Matched == 3 && IsWhite(static_cast<unsigned char>(*P))) FCaret.IsXML = true;
        HandleProcessingInstruction(P, TagStartOffset);
        FText.clear();
        FTextStart = P;
        continue;
      } else if (*P == '!') {
        ++P;
      }

      const char* Name = P;
      while (IsNameChar(static_cast<unsigned char>(*P))) StepChar(P);
      TagName = IsDirective ? "@ " + std::string(Name, P) : std::string(Name, P);
      const int32_t NameStartOffset = Offset(Name);
      // A name that ends at the caret holds it, also at the very end of the text.
      const bool NameEndsBeforeCaret =
          FLine == FCaretPos.Line ? IsBeforeCaretAt(Offset(P), false) : FLine < FCaretPos.Line;
      if (OpenedBeforeCaret && !NameEndsBeforeCaret) FCaret.CaretInTagName = true;
      if (IsDocType(TagName)) {
        FInDocType = true;
        FInDocTypeSubset = false;
        FSawDocType = true;
        if (IsBeforeCaretAt(NameStartOffset, false)) FDocTypeAtCaret = TDocTypeAtCaret::Opened;
        continue;
      }
      if (IsClosing || !FSymbolManager) {
        Tag = FindTag(TagName);
      } else {
        const auto& Open = BeforeCaret || OpenedBeforeCaret ? FTagStack : FOpenTags;
        Tag = FSymbolManager->TagIn(Open.empty() ? nullptr : Open.front()->Tag.get(), TagName);
      }
      if (IsDirective && OpenedBeforeCaret && !NameEndsBeforeCaret) FCaret.InDirectiveName = true;
      if (IsDirective && !Tag) {
        HandleServerSideScript(P, TagStartOffset);
        FText.clear();
        FTextStart = P;
        if (IsBeforeCaret(P) || FCaret.InDirectiveName) FCaret.InScript = false;
        continue;
      }
      // A directive the schema knows is a tag with attributes, not script.
      if (IsDirective) FCaret.InScript = false;
      if (Hash(TagName) == FXSLTemplateHash && SameText(TagName, "xsl:template")) FInXSLTemplate = !IsClosing;
      if (!Tag) Tag = NewUnknownElement(TagName);
      if (BeforeCaret || OpenedBeforeCaret) FCaret.InTag = true;
      if (!IsClosing) {
        if ((BeforeCaret && FCaret.InTag) || OpenedBeforeCaret) FCaret.CurrentTag = Tag;
        PushTag(Tag.get(), OpenedBeforeCaret, BeforeCaret, TagName);
        // The page's letter case is the case of its last plain tag.
        if (BeforeCaret && IsSchemaTagPtr(Tag) && TagName.find(':') == std::string::npos && !IsDirective)
          FCaret.LastWrittenName = TagName;
      }
      if (!CaretPassed || OpenedBeforeCaret) {
        SetTagOffsetStart(Tag.get(), TagStartOffset, BeforeCaret, IsClosing);
        SkipWhiteSpace(P);
        SetTagOffsetEnd(Tag.get(), Offset(P), IsBeforeCaret(P) || (OpenedBeforeCaret && !IsClosing),
                        IsClosing);
      }
      if (HTMLMode && !IsClosing) {
        if (SameText(TagName, "SCRIPT"))
          InScriptTag = true;
        else if (SameText(TagName, "STYLE"))
          InStyleTag = true;
      }
      continue;
    }

    if (C == '>' || C == '%') {
      if (C == '%' && !(IsDirective && FCaret.InTag && P[1] == '>')) {
        ++P;
        continue;
      }
      NameStart = P;
      if (IsDocType(TagName) && FDocTypeAtCaret == TDocTypeAtCaret::Opened)
        FDocTypeAtCaret = IsBeforeCaret(P) ? TDocTypeAtCaret::None : TDocTypeAtCaret::Inside;
      BeforeCaret = IsBeforeCaret(P);
      P += C == '%' ? 2 : 1;
      const int32_t After = Offset(P);
      if (!TagName.empty() && BeforeCaret) {
        if (IsClosing) {
          Callback(TagName, Tag.get(), TTagType::ttClose, TagStartOffset, After);
        } else if (IsDocType(TagName)) {
          const auto Doc = MakeKel<TDocTypeTag>(TagName, FSymbolManager, -1);
          Callback(TagName, Doc.get(), TTagType::ttDocType, TagStartOffset, After);
        } else {
          Callback(TagName, Tag.get(), IsDirective ? TTagType::ttDirective : TTagType::ttOpen, TagStartOffset,
                   After);
        }
      }
      FInDocType = false;
      // In XML every end tag is required, yet an EMPTY element has none.
      const bool Childless =
          FCaret.InTag && Tag && Tag->GetEmpty() && (FCaret.IsXML || !Tag->GetRequiresClosingTag());
      if (FCaret.InTag && !CaretPassed) {
        SetTagOffsetEnd(FCaret.CurrentTag.get(), Offset(NameStart), IsBeforeCaret(P), Childless);
        if (!IsBeforeCaret(P)) CaretPassed = true;
      }
      if (IsDirective && BeforeCaret && SameText(TagName, "@ Page") && FindAttrValue("MasterPageFile"))
        FCaret.ContentPage = true;
      if (IsClosing || IsDirective) PopTag(TagName, BeforeCaret, OpenedBeforeCaret);
      if (BeforeCaret) {
        if (Childless && !IsClosing) {
          // In XML the ">" is due a "/" but the element is closed all the same.
          if (FCaret.IsXML) PushAutoCloseTagPos({After - FLineStartOffset + 1, FLine});
          PopTag(TagName, BeforeCaret, OpenedBeforeCaret);
        }
        TagName.clear();
        FCaret.InClosingTag = false;
        FCaret.InTag = false;
        FCaret.CurrentAttr.reset();
        FCaret.InScript = false;
        FText.clear();
        TextStartOffset = After;
        FTextStart = P;
      } else {
        TagName.clear();  // after the caret a '>' in text closes nothing again
      }
      if (!IsClosing) {
        if (InScriptTag) {
          FTextStart = P;
          HandleBody(P, true);
          InScriptTag = false;
        } else if (InStyleTag) {
          FTextStart = P;
          HandleBody(P, false);
          InStyleTag = false;
        }
      }
      if (!BeforeCaret) IsClosing = IsDirective = false;
      continue;
    }

    if (IsAsciiLetter(C)) {
      if (!((FCaret.InTag || FInDocType) && !CaretPassed)) {
        while (IsAsciiLetter(static_cast<unsigned char>(*P))) ++P;
        continue;
      }
      const int32_t AttrStartOffset = Offset(P);
      FCaret.Quote = FCaret.QuoteEnd = 0;
      if (BeforeCaret) {
        FCaret.CurrentAttr.reset();
        FCaret.ValuePos.Col = kUnknownColumn;
      }
      const char* NameBegin = P;
      while (IsNameChar(static_cast<unsigned char>(*P))) StepChar(P);
      const std::string AttrName(NameBegin, P);
      if (AttrName.size() > 5 && StartsWithText(AttrName, "data-") &&
          std::find(FCaret.DataAttrNames.begin(), FCaret.DataAttrNames.end(), AttrName) ==
              FCaret.DataAttrNames.end() &&
          FCaret.DataAttrNames.size() < 64)
        FCaret.DataAttrNames.push_back(AttrName);
      // A name that ends at the caret holds it, also at the very end of the text.
      const bool NameEndBeforeCaret = IsBeforeCaretAt(Offset(P), false);
      std::string Value;
      TKelPtr<IKelMLTagAttribute> Attr;
      if (!IsClosing) {
        if (FCaret.CurrentTag) Attr = FCaret.CurrentTag->FindAttribute(AttrName);
        if (!Attr) Attr = NewUnknownAttr(AttrName);
      }
      if (IsBeforeCaretAt(AttrStartOffset - 1, false) && NameEndBeforeCaret && !IsClosing)
        FCaret.CurrentAttr = Attr;
      // The name the caret is in, or at the end of, is being typed: it is
      // offered again, not hidden as written.
      if (IsBeforeCaretAt(AttrStartOffset, false) && !NameEndBeforeCaret) FCaret.CaretAttrName = AttrName;
      const int32_t NameEndOffset = Offset(P);
      SkipWhiteSpace(P);
      // "<input disabled |": the caret stands between attributes.
      if (*P != '=' && IsBeforeCaretAt(NameEndOffset, false)) FCaret.CurrentAttr.reset();
      if (*P != '=') {
        // A flag written bare is set: its value is its name.
        if (Attr && Attr->GetCount() == 1 && SameText(Attr->GetValue(0), AttrName)) Value = Attr->GetValue(0);
      } else {
        ++P;
        const int32_t ValueStartOffset = Offset(P);
        if (Attr) Attr->SetOffsetEnd(ValueStartOffset);
        SkipWhiteSpace(P);
        if (Attr) Attr->SetAttributeValueStartOffset(ValueStartOffset);
        const bool IsQuoted = *P == '"' || *P == '\'';
        if (NameEndBeforeCaret && FCaret.ValuePos.Col == kUnknownColumn)
          FCaret.ValuePos.Col = IsQuoted ? Offset(P) - FLineStartOffset + 2 : kUnknownColumn;
        if (IsQuoted)
          FCaret.Quote = *P;
        else
          FCaret.Quote = FCaret.QuoteEnd = 0;
        if (*P == '/' && P[1] == '>') continue;  // neither recorded nor reported
        if (*P != '\0' && *P != '<' && *P != '>' && (IsQuoted || Offset(P) == ValueStartOffset)) {
          const bool Complete = GetTagAttrValue(P, IsQuoted, Value);
          if (Attr) Attr->SetOffsetEnd(IsQuoted ? Offset(P) : ValueStartOffset);
          if (!Complete) {
            if (Attr) {
              Attr->SetOffsetStart(AttrStartOffset);
              Attr->SetOffsetEnd(Attr->GetOffsetEnd() - 1);
            }
            if (!IsClosing) AddTagAttr(Attr.get(), "", FCaret.Quote, FCaret.QuoteEnd);
            LastBefore = IsBeforeCaret(P);
            Exhausted = true;
            break;
          }
        }
        // An unquoted value at the end of the text holds the caret there (a
        // chunk cut here resets it at the next character before the caret).
        const bool AtEnd = *P == '\0' && !IsQuoted;
        // After a closing quote the value is over, whatever follows it.
        const bool Closed = IsQuoted && FCaret.QuoteEnd != 0;
        if (IsBeforeCaretAt(Offset(P) - 1, false) &&
            (Closed || (*P != '/' && *P != '<' && *P != '>' && !AtEnd))) {
          FCaret.CurrentAttr.reset();
          FCaret.ValuePos.Col = kUnknownColumn;
        }
        if (*P == '<' && !CaretPassed) {
          SetTagOffsetEnd(FCaret.CurrentTag.get(), Offset(P) - 1, IsBeforeCaret(P), false);
          if (!IsBeforeCaret(P)) CaretPassed = true;
        }
      }
      if (!IsClosing && TagName.size() == 10 && FXSLOutput.size() < 8 && SameText(TagName, "xsl:output"))
        FXSLOutput.emplace_back(LowerCase(AttrName), Value);
      if (!IsClosing && Attr) {
        AddTagAttr(Attr.get(), Value, FCaret.Quote, FCaret.QuoteEnd);
        Attr->SetOffsetStart(AttrStartOffset);
        if (!Value.empty()) Attr->SetOffsetEnd(Offset(P));
        FCurrentCol = Offset(P) - FLineStartOffset;
        Callback(AttrName, Attr.get(), TTagType::ttAttribute, AttrStartOffset, Offset(P));
        SetTagOffsetEnd(FCaret.CurrentTag.get(), Offset(P), IsBeforeCaret(P), false);
      }
      continue;
    }

    StepChar(P);
  }

  if (Exhausted && LastBefore && !FCallbacks.empty()) {
    const auto Text = MakeKel<TMLText>();
    Text->SetOffsetStart(TextStartOffset);
    Text->SetOffsetEnd(Offset(P) - 1);
    Text->SetText(FText);
    Callback("", Text.get(), TTagType::ttText, TextStartOffset, Offset(P) - 1);
  }
}

}  // namespace kel

namespace kel {

// ---- Checkpoints, and the tree's answer for the text after the caret -----------------

namespace {

std::unique_ptr<TTagEntry> CopyEntry(const TTagEntry& E) {
  auto C = std::make_unique<TTagEntry>();
  C->Tag = E.Tag;
  C->Line = E.Line;
  C->Unclosed = E.Unclosed;
  C->OffsetEnd = E.OffsetEnd;
  C->OffsetStart = E.OffsetStart;
  C->Name = E.Name;
  for (const auto& V : E.AttrValues) C->AttrValues.push_back(std::make_unique<TTagAttributeValue>(*V));
  return C;
}

// A page deeper than this is read from its top: its checkpoints would cost
// more memory than reading it costs time.
constexpr size_t MaxKeptEntries = 4096;

}  // namespace

void TMLParseCache::Edited(size_t Start) {
  // A checkpoint holds the state after the text before it; one right at the
  // edit may stand after a CR that now begins a CR LF pair.
  std::erase_if(FPoints,
                [Start](const TMLParserCheckpoint& C) { return static_cast<size_t>(C.Offset) >= Start; });
}

uint64_t TMLParser::CacheKey() const {
  if (!FSymbolManager) return 0;
  return (FSymbolManager->GetGeneration() << 6) | (static_cast<uint64_t>(FSymbolManager->GetTagCase()) << 4) |
         (static_cast<uint64_t>(FSymbolManager->GetKibitzMode()) << 1) |
         (FSymbolManager->IsXMLDocument() ? 1 : 0);
}

void TMLParser::Keep(int32_t Off) {
  TMLParseCache& Cache = *FPage->Cache;
  if (Cache.FKey != CacheKey()) {
    Cache.FPoints.clear();
    Cache.FKey = CacheKey();
  }
  // One per 64 KB, at most 256 on a page: a parse from the last one before the
  // caret reads a bounded piece.
  const auto Spacing = static_cast<int32_t>(std::max<size_t>(64 << 10, FPage->Text->size() / 256));
  if (!Cache.FPoints.empty() && Off < Cache.FPoints.back().Offset + Spacing) return;
  if (FTagStack.size() + FOpenTags.size() > MaxKeptEntries) return;
  TMLParserCheckpoint& C = Cache.FPoints.emplace_back();
  C.Offset = Off;
  C.Fields() = Kept();
  for (const auto& E : FTagStack) {
    if (&E->AttrValues == FAttrValues) C.ValuesIn = 'S', C.ValuesIndex = C.Stack.size();
    C.Stack.push_back(CopyEntry(*E));
  }
  for (const auto& E : FOpenTags) {
    if (&E->AttrValues == FAttrValues) C.ValuesIn = 'O', C.ValuesIndex = C.Open.size();
    C.Open.push_back(CopyEntry(*E));
  }
  if (FAttrValues && !C.ValuesIn) {
    C.ValuesIn = 'F';
    for (const auto& V : *FAttrValues) C.FreeValues.push_back(std::make_unique<TTagAttributeValue>(*V));
  }
}

int32_t TMLParser::Resume() {
  TMLParseCache& Cache = *FPage->Cache;
  if (Cache.FKey != CacheKey()) return 0;
  // The state at a checkpoint is the same for any caret after it.
  const auto It =
      std::find_if(Cache.FPoints.rbegin(), Cache.FPoints.rend(), [this](const TMLParserCheckpoint& C) {
        return C.Line < FCaretPos.Line || (C.Line == FCaretPos.Line && C.Offset < CaretOffset());
      });
  if (It == Cache.FPoints.rend()) return 0;
  TMLParserCheckpoint& C = *It;
  Kept() = C.Fields();
  for (const auto& E : C.Stack) {
    FTagStack.push_back(CopyEntry(*E));
    if (E->Tag) {
      FTagStack.back()->Slot = &NameSlot(E->Name);
      ++FTagStack.back()->Slot->Stacked;
    }
  }
  for (const auto& E : C.Open) FOpenTags.push_back(CopyEntry(*E));
  // Each name's open entries, innermost last.
  for (auto E = FOpenTags.end(); E != FOpenTags.begin();) {
    --E;
    if (!(*E)->Tag) continue;
    (*E)->Slot = &NameSlot((*E)->Name);
    (*E)->Slot->Open.push_back(E);
  }
  const auto Entry = [](TTagEntryList& List, size_t Index) {
    return &(*std::next(List.begin(), Index))->AttrValues;
  };
  if (C.ValuesIn == 'S') FAttrValues = Entry(FTagStack, C.ValuesIndex);
  if (C.ValuesIn == 'O') FAttrValues = Entry(FOpenTags, C.ValuesIndex);
  if (C.ValuesIn == 'F') {
    auto Free = std::make_unique<TTagEntry>();
    for (const auto& V : C.FreeValues) Free->AttrValues.push_back(std::make_unique<TTagAttributeValue>(*V));
    FAttrValues = &Free->AttrValues;
    FFreeEntries.push_back(std::move(Free));
  }
  return C.Offset;
}

bool TMLParser::MayStopAt(int32_t Off) {
  const TMLTree& Tree = *FPage->Tree;
  if (FTailAfter < 0) {
    // A DOCTYPE or XML declaration still decides the schema: the scan reads it.
    FTailAfter = 0;
    for (uint32_t I = 0; I < Tree.Nodes.size(); I = Tree.Nodes[I].Next)
      if (Tree.Nodes[I].Kind == TMLNodeKind::DocType ||
          Tree.Nodes[I].Kind == TMLNodeKind::ProcessingInstruction)
        FTailAfter = static_cast<int32_t>(Tree.Nodes[I].Range().End);
  }
  if (Off < FTailAfter) return false;
  // The tree reads a construct from here too: the scan and it agree where
  // tags are from here on.
  const auto At = static_cast<uint32_t>(Off);
  const auto First = std::partition_point(Tree.Nodes.begin(), Tree.Nodes.end(),
                                          [At](const TMLNode& N) { return N.Open.Start < At; });
  return First != Tree.Nodes.end() && First->Open.Start == At;
}

void TMLParser::ApplyTail(std::unordered_map<std::string, int32_t>& Due) const {
  const TMLTree& Tree = *FPage->Tree;
  const std::string_view Text = *FPage->Text;
  const auto From = static_cast<uint32_t>(FTailFrom);
  // Only the names of the elements open at the caret are asked for.
  std::unordered_map<std::string_view, int32_t*, TTextHash, TTextEqual> Counts;
  for (const auto& E : FTagStack) {
    if (!E->Tag) continue;
    const auto It = Due.try_emplace(LowerCase(E->Name), 0).first;
    Counts.emplace(std::string_view(It->first), &It->second);
  }
  if (Counts.empty()) return;
  const auto Count = [&](TMLRange Name) -> int32_t* {
    const auto It = Counts.find(Text.substr(Name.Start, Name.End - Name.Start));
    return It == Counts.end() ? nullptr : It->second;
  };
  const auto Close = [&](TMLRange Name) {
    if (int32_t* C = Count(Name); C && *C > 0) --*C;
  };
  // An end tag closes at its '>': "</p<td>" closes nothing.
  const auto Closes = [](const TMLNode& N) {
    return N.Kind == TMLNodeKind::Element && N.End == TMLEnd::Written && N.CloseTerminated;
  };
  const auto First =
      static_cast<uint32_t>(std::partition_point(Tree.Nodes.begin(), Tree.Nodes.end(),
                                                 [From](const TMLNode& N) { return N.Open.Start < From; }) -
                            Tree.Nodes.begin());
  // End tags still to come, innermost last: first those of the elements
  // around From.
  std::vector<uint32_t> Ends;
  for (uint32_t I = First < Tree.Nodes.size() ? Tree.Nodes[First].Parent : Tree.NodeAt(From);
       I != TMLNode::None; I = Tree.Nodes[I].Parent)
    if (Closes(Tree.Nodes[I]) && Tree.Nodes[I].Close.Start >= From) Ends.push_back(I);
  std::reverse(Ends.begin(), Ends.end());
  for (uint32_t I = First; I < Tree.Nodes.size(); ++I) {
    const TMLNode& N = Tree.Nodes[I];
    for (; !Ends.empty() && Tree.Nodes[Ends.back()].Close.Start <= N.Open.Start; Ends.pop_back())
      Close(Tree.Nodes[Ends.back()].Name);
    if (N.Kind == TMLNodeKind::StrayEndTag) {
      if (N.Terminated) Close(N.Name);
    } else if (N.Kind == TMLNodeKind::Element) {
      if (int32_t* C = Count(N.Name)) ++*C;
      if (Closes(N)) Ends.push_back(I);
    }
  }
  for (; !Ends.empty(); Ends.pop_back()) Close(Tree.Nodes[Ends.back()].Name);
}

}  // namespace kel
