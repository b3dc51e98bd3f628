#include "symbols/MLSymbolManager.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <unordered_set>

#include "host/KelFiles.h"
#include "host/KelHostAPI.h"
#include "host/KelRegistry.h"
#include "host/KelStrings.h"
#include "markup/MLBufferProducer.h"
#include "markup/MLTree.h"
#include "schema/DTDParser.h"
#include "schema/XSDReader.h"
#include "symbols/HTMLAttributeEditors.h"

namespace kel {

namespace {
bool IsClosingTag(IKelMLTag* Tag) { return supports<IKelMLClosingTag>(Tag); }
}  // namespace

TMLSymbolManager::TMLSymbolManager() : CharList(std::make_unique<TAsciiCharList>()) {
  OwnParser = std::make_unique<TMLParser>(this);
  Parser = OwnParser.get();
}

TMLSymbolManager::~TMLSymbolManager() {
  OwnParser.reset();
  ClearTags();
  HiddenRootNode.reset();
  ClosedTags.clear();
  HiddenAttrs.clear();
}

// ---- Tag registry -----------------------------------------------------------------

std::list<TTagBucket>::iterator TMLSymbolManager::FindBucket(const std::string& Name) {
  const auto It = TagIndex.find(std::string_view(Name));
  return It == TagIndex.end() || It->second.empty() ? Tags.end() : It->second.back();
}

void TMLSymbolManager::AddElement(IKelMLTag* Tag) {
  if (!Tag) return;
  ++Generation;
  Tags.push_back({TKelPtr<IKelMLTag>(Tag), nullptr, Tag->GetName()});
  if (!IsClosingTag(Tag)) TagIndex[UpperCase(Tags.back().Name)].push_back(std::prev(Tags.end()));
}

void TMLSymbolManager::RemoveElement(IKelMLTag* Tag) {
  if (!Tag) return;
  ++Generation;
  if (IsClosingTag(Tag)) {
    for (auto It = Tags.end(); It != Tags.begin();) {
      --It;
      if (It->Tag.get() == Tag) {
        Tags.erase(It);
        return;
      }
    }
    return;
  }
  // The newest entry of the name goes, which uncovers an older one.
  const auto It = TagIndex.find(std::string_view(Tag->GetName()));
  if (It == TagIndex.end() || It->second.empty()) return;
  const auto Entry = It->second.back();
  It->second.pop_back();
  if (It->second.empty()) TagIndex.erase(It);
  Tags.erase(Entry);
}

void TMLSymbolManager::RegisterTag(IKelMLTag* Tag) {
  if (Tag && FindBucket(Tag->GetName()) == Tags.end()) AddElement(Tag);
}

TKelPtr<IKelMLTag> TMLSymbolManager::GetTagFromHashList(const std::string& Name) {
  const auto It = FindBucket(Name);
  return It == Tags.end() ? nullptr : It->Tag;
}

TKelPtr<IKelMLTag> TMLSymbolManager::TagIn(IKelMLTag* Parent, const std::string& Name) {
  if (Parent && !LocalTags.empty())
    if (TKelPtr<IKelMLTag> Own = Parent->LookupTag(Name);
        Own && std::find(LocalTags.begin(), LocalTags.end(), Own) != LocalTags.end())
      return Own;
  return GetTagFromHashList(Name);
}

TKelPtr<IKelMLEditor> TMLSymbolManager::GetTagEditorFromHashList(const std::string& Name) {
  const auto It = FindBucket(Name);
  return It == Tags.end() ? nullptr : It->Editor;
}

bool TMLSymbolManager::ContainsChild(IKelMLTag* Tag, const std::string& Name) {
  return Tag && Tag->LookupTag(Name);
}

void TMLSymbolManager::ClearTags() {
  while (!Tags.empty()) {
    const TKelPtr<IKelMLTag> Tag = Tags.front().Tag;
    Tag->ClearTags();
    Tag->ClearAttrs();
    const size_t Before = Tags.size();
    RemoveElement(Tag.get());
    // An entry that its chain does not reach must still go.
    if (Tags.size() == Before) Tags.pop_front();
  }
  TagIndex.clear();
  for (const auto& Tag : LocalTags) {
    Tag->ClearTags();
    Tag->ClearAttrs();
  }
  LocalTags.clear();
  if (ContentRoot) ContentRoot->ClearTags();
  ContentRoot.reset();
  if (HiddenRootNode) {
    HiddenRootNode->ClearTags();
    HiddenRootNode->ClearAttrs();
  }
}

void TMLSymbolManager::SetHiddenRootNode(IKelMLTag* Tag) {
  if (HiddenRootNode.get() == Tag) return;
  HiddenRootNode = Tag;
  ++Generation;
}

// ---- Editors ------------------------------------------------------------------------

void TMLSymbolManager::RegisterEditor(IKelMLTag* Tag, IKelMLEditor* Editor) {
  if (!Tag || IsClosingTag(Tag)) return;
  const std::string Name = Tag->GetName();
  if (FindBucket(Name) == Tags.end()) RegisterTag(Tag);
  const auto It = FindBucket(Name);
  if (It != Tags.end()) It->Editor = Editor;
}

void TMLSymbolManager::UnRegisterEditor(IKelMLEditor* Editor) {
  for (auto& Entry : Tags)
    if (Entry.Editor.get() == Editor) Entry.Editor.reset();
}

void TMLSymbolManager::RegisterAttributeEditor(IKelMLTagAttribute* Attribute, IKelMLEditor* Editor) {
  if (!Attribute) return;
  AttrEditorHash[Hash(Attribute->GetName())].push_front(
      {TKelPtr<IKelMLTagAttribute>(Attribute), TKelPtr<IKelMLEditor>(Editor)});
}

void TMLSymbolManager::UnRegisterAttributeEditor(IKelMLEditor* Editor) {
  for (auto& Chain : AttrEditorHash)
    Chain.remove_if([Editor](const auto& E) { return E.Editor.get() == Editor; });
}

void TMLSymbolManager::GetAttributeEditorFromHashList(const std::string& AttrName,
                                                      TKelPtr<IKelMLTagAttribute>& Attribute,
                                                      TKelPtr<IKelMLEditor>& Editor,
                                                      const std::string& TagName) {
  Attribute.reset();
  Editor.reset();
  const TKelPtr<IKelMLTag> Tag = GetTagFromHashList(TagName);
  if (!Tag) return;
  TKelPtr<IKelMLTagAttribute> Found = Tag->FindAttribute(AttrName);
  if (!Found) Found = FindHiddenAttr(AttrName);
  if (!Found) return;
  // Registrations belong to the attribute object of one tag, not to a name.
  for (const auto& E : AttrEditorHash[Hash(AttrName)]) {
    if (SameText(E.Attribute->GetName(), Found->GetName()) && E.Attribute->GetID() == Found->GetID()) {
      Editor = E.Editor;
      Attribute = E.Attribute;
      return;
    }
  }
}

// ---- The tag at the caret ---------------------------------------------------------------

namespace {
bool IsDocumentTag(const TKelPtr<IKelMLTag>& Tag) { return supports<IKelMLNamedTag>(Tag); }
}  // namespace

bool TMLSymbolManager::KeepsCase(IKelMLTag* Tag) {
  const auto* Own = dynamic_cast<THTMLTag*>(Tag);
  return Own && Own->KeepsCase();
}

TKelPtr<IKelMLTag> TMLSymbolManager::GetCurrentTag() {
  if (!Parser) return GetHiddenRootNode();
  const TKelPtr<IKelMLTag>& Current = Parser->Caret().CurrentTag;
  if (!Current || (IsDocumentTag(Current) && !Parser->Caret().FixupTag)) return GetHiddenRootNode();
  return Current;
}

TKelPtr<IKelMLTag> TMLSymbolManager::ListTag() {
  const TKelPtr<IKelMLTag> Current = GetCurrentTag();
  if (!Parser) return Current;
  // An element the schema does not know (<my-widget>, <blink>), at the top
  // of a page too, takes the global attributes, those of span, which has no
  // others: never its parent's (a form's action). Prefixed names belong to
  // another schema.
  if (const auto& Written = Parser->Caret().CurrentTag;
      Parser->Caret().InTag && !Parser->Caret().CaretInTagName && Written &&
      supports<IKelMLNamedTag>(Written) && Written->GetName().find(':') == std::string::npos &&
      KibitzMode == TKibitzMode::kmHTML)
    if (const auto Span = GetTagFromHashList("span")) return Span;
  if (!Current) return Current;
  if (IsDocumentTag(Current) && Parser->Caret().FixupTag) return Parser->Caret().FixupTag;
  if (Parser->Caret().FixupParent) return Parser->Caret().FixupParent;
  return Current;
}

TKelPtr<IKelMLTag> TMLSymbolManager::GetMLTag(int32_t Index) {
  const TKelPtr<IKelMLTag> List = ListTag();
  return List ? List->GetTags(Index) : nullptr;
}

int32_t TMLSymbolManager::GetLineNumber(int32_t Index) {
  const TKelPtr<IKelMLClosingTag> Closing = query<IKelMLClosingTag>(GetMLTag(Index));
  return Closing ? Closing->GetLineNumber() : 0;
}

bool TMLSymbolManager::FindTagAttr(IKelMLTagAttribute* Attribute) {
  if (!Parser || !Parser->CaretTagValues() || !Attribute) return false;
  return std::any_of(Parser->CaretTagValues()->begin(), Parser->CaretTagValues()->end(),
                     [Attribute](const auto& V) { return V->Attribute.get() == Attribute; });
}

// ---- Letter case ------------------------------------------------------------------------

std::string TMLSymbolManager::CaseTag(const std::string& Name) {
  // Prefixed names (asp:Panel, xsl:value-of) and directives keep the
  // schema's spelling: their case is part of the name.
  if (Name.find(':') != std::string::npos || Name.starts_with("@")) return Name;
  // So do camel-case names (SVG's foreignObject, linearGradient).
  for (size_t I = 1; I < Name.size(); ++I)
    if (std::islower(static_cast<unsigned char>(Name[I - 1])) &&
        std::isupper(static_cast<unsigned char>(Name[I])))
      return Name;
  switch (TagCase) {
    case TTagCase::tcNormal:
      return Name;
    case TTagCase::tcLowerCase:
      return LowerCase(Name);
    case TTagCase::tcUpperCase:
      return UpperCase(Name);
  }
  Error(FileName, "Unknown tag case requested", "", 0, 0);
  return Name;
}

// ---- Closing tags and hidden attributes ------------------------------------------------------

TKelPtr<IKelMLTag> TMLSymbolManager::GetCloseTags(int32_t Index) {
  return Index >= 0 && Index < GetClosedTagsCount() ? ClosedTags[static_cast<size_t>(Index)] : nullptr;
}

void TMLSymbolManager::DeleteClosedTag(int32_t Index) {
  if (Index >= 0 && Index < GetClosedTagsCount()) ClosedTags.erase(ClosedTags.begin() + Index);
}

// Both answer how many entries they really put in or took out, so that the
// tag's range and custom count stay true even when the closing tags changed
// between two filters or the parser is busy.
int32_t TMLSymbolManager::InsertCustomElements(TMLTagList& List, IKelMLTag& Tag) {
  if (!Parser || Parser->Caret().CaretInTagName || Parser->State() != TMLParserState::mlpsNone) return 0;
  const auto At =
      static_cast<size_t>(std::clamp<int32_t>(Tag.GetStartIndex(), 0, static_cast<int32_t>(List.size())));
  // Innermost first, so that the default pick closes the innermost element.
  List.insert(List.begin() + static_cast<std::ptrdiff_t>(At), ClosedTags.begin(), ClosedTags.end());
  return GetClosedTagsCount();
}

// Stale closing tags are taken out in every state, also when the caret has
// moved into a tag name, where none are offered.
int32_t TMLSymbolManager::RemoveCustomElements(TMLTagList& List, IKelMLTag&) {
  int32_t Removed = 0;
  for (size_t I = List.size(); I-- > 0;) {
    if (IsClosingTag(List[I].get())) {
      List.erase(List.begin() + static_cast<std::ptrdiff_t>(I));
      ++Removed;
    }
  }
  return Removed;
}

TKelPtr<IKelMLTagAttribute> TMLSymbolManager::GetHiddenAttrs(int32_t Index) {
  return Index >= 0 && Index < GetHiddenAttrCount() ? HiddenAttrs[static_cast<size_t>(Index)] : nullptr;
}

TKelPtr<IKelMLTagAttribute> TMLSymbolManager::FindHiddenAttr(const std::string& Name) {
  for (const auto& A : HiddenAttrs)
    if (SameText(A->GetName(), Name)) return A;
  return nullptr;
}

// ---- Fix-ups ------------------------------------------------------------------------------

namespace {
bool IsXSLName(const std::string& Name) { return StartsWithText(Name, "xsl:"); }

// Loading is set for the guard's life: a nested request during a load does nothing.
struct TLoadingGuard {
  explicit TLoadingGuard(bool& Flag) : Flag(Flag) { Flag = true; }
  ~TLoadingGuard() { Flag = false; }
  bool& Flag;
};

// The host's current view, and its whole text.
TKelPtr<IKelEditView> CurrentView() {
  const TKelPtr<IKelCodeInsightServices> Services = GlobalKibitzManager();
  return Services ? Services->GetCurrentEditView() : nullptr;
}
std::string TextOf(IKelEditView& View) {
  std::string Text, Piece(1 << 16, '\0');
  const auto Reader = View.GetBuffer()->CreateReader();
  for (int32_t At = 0, N; (N = Reader->GetText(At, Piece.data(), static_cast<int32_t>(Piece.size()))) > 0;
       At += N)
    Text.append(Piece, 0, static_cast<size_t>(N));
  return Text;
}

// The model's text and tree while the view holds that text; else the view's
// text and a tree built of it (Xml: as TMLTree::Build takes it).
struct TPageRead {
  TPageRead(const TMLPage* Page, IKelEditView* View, bool Xml) {
    if (Page && Page->Current() && Page->Tree->XmlGiven == Xml) {
      Text = Page->Text;
      Tree = Page->Tree;
      return;
    }
    if (View) Copy = TextOf(*View);
    Built = TMLTree::Build(Copy, Xml);
  }
  TPageRead(const TPageRead&) = delete;
  TPageRead& operator=(const TPageRead&) = delete;
  std::string Copy;
  TMLTree Built;
  const std::string* Text = &Copy;
  const TMLTree* Tree = &Built;
};

template <class Marker>
void RemoveChildrenOffering(IKelMLTag* Tag) {
  const TMLTagList Children = AllChildren(Tag);
  for (size_t I = Children.size(); I-- > 0;)
    if (supports<Marker>(Children[I])) Tag->RemoveTag(Children[I].get());
}
}  // namespace

void TMLSymbolManager::InsertFixupElements(IKelMLTag* Tag, IKelMLTag* Previous) {
  InsertOptionalElements(Tag, Previous);
  InsertXSLElements(Tag);
  RemoveChildrenDone(Tag);
  // An element the schema does not know lists span's attributes: its data-
  // names and the hiding of those written go there.
  const bool Unknown =
      (Tag && supports<IKelMLNamedTag>(Tag)) || (Previous && supports<IKelMLNamedTag>(Previous));
  const TKelPtr<IKelMLTag> Listed = Unknown ? ListTag() : TKelPtr<IKelMLTag>(Tag);
  InsertDataAttrs(Listed.get());
  RemoveAlreadyExistingAttrs(Listed.get());
}

// In today's HTML any element takes data-* attributes: "data-" starts one,
// and the data-* names the page already uses are offered as they are.
void TMLSymbolManager::InsertDataAttrs(IKelMLTag* Tag) {
  if (!Tag || !Parser || !Parser->Caret().InTag || Parser->Caret().CaretInTagName ||
      supports<IKelMLNamedTag>(Tag) || !SchemaFile.ends_with("html5.dtd") || Tag->GetName().starts_with("@"))
    return;  // a directive (<%@ Page) is no element
  std::vector<std::string> Names{"data-"};
  Names.insert(Names.end(), Parser->Caret().DataAttrNames.begin(), Parser->Caret().DataAttrNames.end());
  for (const auto& Name : Names) {
    if (Tag->FindAttribute(Name)) continue;
    Tag->AddAttribute(MakeKel<THTMLAttribute>(Name, -1).get());
    AddedAttrs.emplace_back(TKelPtr<IKelMLTag>(Tag), Name);
  }
  Touch(Tag);
  Tag->AlphaSort();
}

void TMLSymbolManager::Touch(IKelMLTag* Tag) {
  if (!Tag || supports<IKelMLNamedTag>(Tag)) return;
  for (const auto& T : TouchedTags)
    if (T.get() == Tag) return;
  TouchedTags.emplace_back(Tag);
}

void TMLSymbolManager::RemoveFixupElements(IKelMLTag* Tag) {
  Touch(Tag);
  const TMLTagList Touched = std::move(TouchedTags);
  TouchedTags.clear();
  for (const auto& T : Touched) {
    RemoveXSLElements(T.get());
    RemoveOptionalElements(T.get());
  }
  for (const auto& [Parent, Child] : HiddenChildren) Parent->AddTag(Child.get());
  for (const auto& [Parent, Child] : HiddenChildren) Parent->AlphaSort();
  HiddenChildren.clear();
  RepopulateAttrs(Tag);
  for (const auto& [Owner, Name] : AddedAttrs) Owner->RemoveAttribute(Name);
  AddedAttrs.clear();
  for (const auto& T : Touched) {
    if (T->GetShowAttributes()) T->SetShowAttributes(false);
    if (!T->GetFilter().empty()) T->SetFilter("");
  }
}

// Inside a table the rows of its omissible body are offered directly, and
// so are the children of the omissible children of the previous known tag.
void TMLSymbolManager::InsertOptionalElements(IKelMLTag* Tag, IKelMLTag* Previous) {
  if (!Tag || !Parser) return;
  if (Parser->Caret().InTag && !supports<IKelMLNamedTag>(Tag) && !supports<IKelMLNamedTag>(Previous)) return;
  Touch(Tag);
  for (IKelMLTag* Source : {Tag, Previous}) {
    if (!Source) continue;
    for (const auto& Child : AllChildren(Source)) {
      if (Child->GetRequiresOpeningTag()) continue;
      for (const auto& Grandchild : AllChildren(Child.get()))
        Tag->AddTag(MakeKel<TTagWrapper>(*Grandchild, this, -1).get());
    }
  }
  Tag->AlphaSort();
}

void TMLSymbolManager::RemoveOptionalElements(IKelMLTag* Tag) {
  if (Tag) RemoveChildrenOffering<IKelMLWrapperTag>(Tag);
}

// Inside an XSL element within an output element, the output element's
// children are offered; inside an output element within an XSL element, the
// XSL element's XSL children.
void TMLSymbolManager::InsertXSLElements(IKelMLTag* Tag) {
  if (KibitzMode != TKibitzMode::kmXSL || !Tag || !Parser) return;
  // Elements are listed in content and after "<"; attributes are not.
  if ((Parser->Caret().InTag && !Parser->Caret().CaretInTagName) || Parser->OpenElements().empty()) return;
  const bool TagIsXSL = IsXSLName(Tag->GetName());
  TKelPtr<IKelMLTag> Other;
  for (const auto& Entry : Parser->OpenElements()) {
    if (Entry->Tag && IsXSLName(Entry->Tag->GetName()) != TagIsXSL) {
      Other = Entry->Tag;
      break;
    }
  }
  if (!Other) return;
  Touch(Tag);
  Touch(Other.get());
  Other->SetShowAttributes(false);
  for (const auto& Child : AllChildren(Other.get()))
    if (IsXSLName(Child->GetName()) != TagIsXSL) Tag->AddTag(MakeKel<TXSLTag>(*Child, this, -1).get());
  Tag->AlphaSort();
}

void TMLSymbolManager::RemoveChildrenDone(IKelMLTag* Tag) {
  auto* Own = dynamic_cast<THTMLTag*>(Tag);
  if (!Own || !Own->HasChildRules() || !Parser ||
      (Parser->Caret().InTag && !Parser->Caret().CaretInTagName) || Parser->Caret().CaretOffset < 0)
    return;
  const TKelPtr<IKelEditView> View = CurrentView();
  if (!View) return;
  const TPageRead Read(Page, View.get(), IsXMLDocument());
  const std::string& Text = *Read.Text;
  const TMLTree& Tree = *Read.Tree;
  const auto Caret =
      static_cast<uint32_t>(std::min<size_t>(static_cast<size_t>(Parser->Caret().CaretOffset), Text.size()));
  const auto Name = [&Text](TMLRange R) { return Text.substr(R.Start, R.End - R.Start); };
  // The element of this tag that holds the caret in its content.
  uint32_t Element = Tree.NodeAt(Caret > 0 ? Caret - 1 : 0);
  while (Element != TMLNode::None) {
    const TMLNode& E = Tree.Nodes[Element];
    if (E.Kind == TMLNodeKind::Element && E.Open.End <= Caret && SameText(Name(E.Name), Own->GetName()))
      break;
    Element = E.Parent;
  }
  if (Element == TMLNode::None) return;
  std::unordered_set<std::string> Written;
  int32_t Last = -1;
  for (uint32_t I = Element + 1; I < Tree.Nodes[Element].Next; I = Tree.Nodes[I].Next) {
    const TMLNode& C = Tree.Nodes[I];
    // The tag being typed at the caret is not written yet.
    if (C.Kind != TMLNodeKind::Element || C.Name.Start == C.Name.End ||
        (C.Open.Start < Caret && Caret <= C.Open.End))
      continue;
    // What follows the caret is the user's to move: the list follows what
    // stands before it.
    if (C.Open.Start >= Caret) break;
    const std::string Child = UpperCase(Name(C.Name));
    Written.insert(Child);
    if (const auto* Rule = Own->ChildRule(Child)) Last = std::max(Last, Rule->Rank);
  }
  std::vector<TKelPtr<IKelMLTag>> Gone;
  for (const auto& Child : AllChildren(Tag)) {
    const auto* Rule = Own->ChildRule(Child->GetName());
    if (Rule && Rule->Once &&
        (Written.contains(UpperCase(Child->GetName())) || (Rule->Rank >= 0 && Rule->Rank < Last)))
      Gone.push_back(Child);
  }
  if (Gone.empty()) return;
  Touch(Tag);
  for (const auto& Child : Gone) {
    Tag->RemoveTag(Child.get());
    HiddenChildren.emplace_back(Tag, Child);
  }
  Tag->AlphaSort();
}

void TMLSymbolManager::RemoveXSLElements(IKelMLTag* Tag) {
  if (Tag) RemoveChildrenOffering<IKelMLXSLTag>(Tag);
}

// Attributes already written in the tag at the caret are not offered again.
void TMLSymbolManager::RemoveAlreadyExistingAttrs(IKelMLTag* Tag) {
  if (!Tag || !Parser) return;
  std::vector<std::string> Written;
  for (int32_t I = 0; I < Parser->GetCurrentTagAttrCount(); ++I) {
    std::string Name = Parser->GetCurrentTagAttrName(I);
    if (!SameText(Name, Parser->Caret().CaretAttrName)) Written.push_back(std::move(Name));
  }
  // In one pass: a tag may carry thousands of attributes.
  std::vector<TKelPtr<IKelMLTagAttribute>> Removed;
  if (auto* Own = dynamic_cast<THTMLTag*>(Tag)) {
    Removed = Own->RemoveAttributes(Written);
  } else {
    for (const std::string& Name : Written)
      if (TKelPtr<IKelMLTagAttribute> A = Tag->RemoveAttribute(Name)) Removed.push_back(std::move(A));
  }
  for (auto& A : Removed) {
    HiddenAttrs.push_back(std::move(A));
    HiddenAttrOwners.emplace_back(Tag);
  }
  Tag->AlphaSort();
}

// Each attribute goes back to the tag it was taken from, whichever tag the
// caller names: the caret may have moved to another element since.
void TMLSymbolManager::RepopulateAttrs(IKelMLTag* Tag) {
  for (size_t I = 0; I < HiddenAttrs.size(); ++I) {
    IKelMLTag* Owner = I < HiddenAttrOwners.size() ? HiddenAttrOwners[I].get() : Tag;
    if (Owner) Owner->AddAttribute(HiddenAttrs[I].get());
  }
  for (const auto& Owner : HiddenAttrOwners) Owner->AlphaSort();
  if (Tag) Tag->AlphaSort();
  HiddenAttrs.clear();
  HiddenAttrOwners.clear();
}

// ---- Choosing and loading the schema -------------------------------------------------------

// The output's DOCTYPE names its schema; else HTML 5 (version 5.0, or
// XSLT 3.0's html5 defaults) gets ours, XHTML 1.0 Transitional for method
// xhtml, HTML 4.01 Transitional for the rest.
void TMLSymbolManager::SetXSLOutput(const std::vector<std::pair<std::string, std::string>>& Attributes) {
  // Every parse hands them over: the schema folder is looked at only when they change.
  if (Attributes == XSLOutputAttributes) return;
  XSLOutputAttributes = Attributes;
  std::string Method, Version, Public, System;
  for (const auto& [Name, Value] : Attributes) {
    if (Name == "method") Method = LowerCase(Value);
    if (Name == "version") Version = Value;
    if (Name == "doctype-public") Public = Value;
    if (Name == "doctype-system") System = Value;
  }
  std::string Wanted = "loose.dtd";
  if (Public.empty() && SameText(System, "about:legacy-compat")) {
    Wanted = "html5.dtd";  // how XSLT 1.0 writes <!DOCTYPE html>
  } else if (!Public.empty() || !System.empty()) {
    const std::string File = GetSchemaFileName(Public.empty() ? System : Public, TKibitzMode::kmHTML);
    if (FileExists(File) && SameText(ExtractFileExt(File), ".dtd"))
      Wanted = std::filesystem::path(File).filename().string();
  } else if ((Method == "html" || Method == "xhtml") && Version.starts_with("5")) {
    Wanted = "html5.dtd";
  } else if (Method == "xhtml") {
    Wanted = "xhtml1-transitional.dtd";
  }
  XSLOutputWanted = Wanted;
}

namespace {

namespace fs = std::filesystem;

std::string UpperExtension(const std::string& Path) { return UpperCase(ExtractFileExt(Path)); }
}  // namespace

std::string TMLSymbolManager::DefaultHTMLSchema() const {
  // Pages without a DOCTYPE are today's HTML unless the options keep them
  // on a legacy schema: [Code Insight] Default Schema=loose.dtd.
  TKelRegistry Registry;
  const auto Host = KelHostServices();
  if (Host && Registry.OpenKey(Host->GetBaseRegistryKey() + "\\Code Insight", true)) {
    const std::string Option = Registry.ReadString("Default Schema");
    if (!Option.empty()) return Option;
  }
  return "html5.dtd";
}

bool TMLSymbolManager::IsXMLDocument() const {
  if (KibitzMode != TKibitzMode::kmHTML) return true;
  const std::string E = UpperExtension(FileName);
  return E == ".XHTML" || E == ".XHT" || E == ".XML" || E == ".SVG" || E == ".XSL" || E == ".XSLT";
}

namespace {

std::string CollapseSeparators(std::string Path) {
  for (size_t I; (I = Path.find("//")) != std::string::npos;) Path.erase(I, 1);
  return Path;
}

}  // namespace

bool TMLSymbolManager::SetSchemaFile(const std::string& AValue) {
  if (Loading) return false;
  std::string Value = AValue;
  // Said after the load, which clears the messages of the schema before.
  std::string Hint;
  struct THint {
    TMLSymbolManager& M;
    const std::string& Text;
    ~THint() {
      if (!Text.empty()) M.Error(M.FileName, Text, "Hint", 1, 1);
    }
  } SayHint{*this, Hint};
  if (KibitzMode == TKibitzMode::kmXSL || KibitzMode == TKibitzMode::kmResX) {
    // A DOCTYPE there declares entities; the file's own schema stays.
    Value.clear();
  }
  StandIn = false;
  // An .xml file's DOCTYPE without an identifier (<!DOCTYPE t:templates [...]>)
  // names no schema either.
  if (KibitzMode == TKibitzMode::kmHTML && (Value.empty() || Value == "html") &&
      UpperExtension(FileName) == ".XML")
    return LearnSchema();
  // Today's HTML where the page asks for it or says nothing, when the
  // schemas folder has it; else the classic default.
  // Drawings and formulas without a DOCTYPE are SVG and MathML.
  const std::string Extension = UpperExtension(FileName);
  const std::string Modern = KibitzMode != TKibitzMode::kmHTML ? std::string()
                             : !Value.empty()                  ? std::string("html5.dtd")
                             : Extension == ".SVG"             ? std::string("svg11.dtd")
                             : Extension == ".MML"             ? std::string("mathml3.dtd")
                                                               : DefaultHTMLSchema();
  const bool ModernExists = !Modern.empty() && FileExists(GetSchemaFileName(Modern, KibitzMode));
  if (KibitzMode == TKibitzMode::kmHTML &&
      (Value.empty() || SameText(Value, "html") || SameText(Value, "about:legacy-compat")))
    Value = ModernExists ? Modern : std::string();
  std::string Resolved = GetSchemaFileName(Value, KibitzMode);
  // A DTD of the page's own, beside it or below it.
  if (!FileExists(Resolved) && !Value.empty() && Value[0] != '-')
    if (std::string Local = LocalSchemaFile(Value, ExtractFilePath(FileName)); !Local.empty())
      Resolved = Local;
  const std::string Fallback = ModernExists ? GetSchemaFileName("html5.dtd", KibitzMode)
                                            : GetSchemaFileName(std::string(), KibitzMode);
  // A public identifier of no known HTML reaches the classic default by the
  // table's rule; a page that names one is no HTML 4.01 Transitional page.
  const bool UnknownPublic = KibitzMode == TKibitzMode::kmHTML && ModernExists && Value.starts_with("-") &&
                             Resolved == GetSchemaFileName(std::string(), KibitzMode) &&
                             UpperCase(Value).find("TRANSITIONAL") == std::string::npos;
  StandIn = (UnknownPublic || !FileExists(Resolved)) && !Value.empty() && FileExists(Fallback);
  if (StandIn) {
    // An identifier we have no schema for: the family's default serves,
    // and the user hears of it once for the document.
    if (UnknownIdentifierReported != FileName + "\n" + Value) {
      UnknownIdentifierReported = FileName + "\n" + Value;
      Hint = Format("No schema for \"%s\"; the default one serves", {Clip(Value)});
    }
    Resolved = Fallback;
  }
  if (FileExists(Resolved)) Value = Resolved;
  if (Value == SchemaFile) {
    const bool XSLPending = KibitzMode == TKibitzMode::kmXSL && XSLOutputSchema != XSLOutputWanted;
    const bool ASPPending = KibitzMode == TKibitzMode::kmHTML && ReloadPending;
    if (!XSLPending && !ASPPending) return false;
  }
  const TLoadingGuard Done(Loading);

  ReloadPending = false;
  // What the last load said goes; all that this one's files say stays
  // (the XSL schema's and its output schema's).
  if (const auto Messages = KelMessageServices()) Messages->ClearToolMessages();
  LoadProblems.clear();
  const std::string SchemaExtension = UpperExtension(Value);
  SchemaFile = Value;
  ClearTags();
  CharList->Clear();
  XSLOutputSchema.clear();
  // The editors of the replaced schema's attributes are never found again.
  for (auto& Chain : AttrEditorHash) Chain.clear();
  if (!FileExists(SchemaFile)) {
    SchemaFile.clear();
    Error("", Format("Invalid schema file \"%s\"", {Clip(Value)}), "Code Completion", 1, 1);
    return false;
  }
  SetHiddenRootNode(MakeKel<THTMLTag>("<!--root-->", this, -1).get());

  if (SchemaExtension == ".DTD") {
    LoadDTD(HiddenRootNode.get(), SchemaFile);
    if (KibitzMode == TKibitzMode::kmXSL) {
      if (const TKelPtr<IKelMLTag> Template = GetTagFromHashList("xsl:template")) {
        const std::string Output = XSLOutputWanted;
        const std::string OutputFile = GetSchemaFileName(Output, TKibitzMode::kmXSL);
        if (FileExists(OutputFile)) {
          LoadDTD(Template.get(), OutputFile);
          XSLOutputSchema = Output;
        } else {
          // The XSL elements still serve; the output's are tried again at
          // the next request (whose load says it again).
          Error("", Format("Invalid schema file \"%s\"", {Clip(OutputFile)}), "Code Completion", 1, 1);
        }
      }
    }
  } else if (SchemaExtension == ".XSD") {
    LoadXSD(HiddenRootNode.get(), nullptr, SchemaFile);
  }

  // The server controls and directives come from the schemas folder only.
  const std::string Folder = GetSchemaFolder();
  if (IsASPEnabled) {
    std::vector<std::string> Parents;
    GetASPParentTags(Parents);
    std::error_code Ec;
    for (fs::directory_iterator It(Folder + "asp schemas/", Ec), End; !Ec && It != End; It.increment(Ec))
      if (It->is_regular_file(Ec) && UpperExtension(It->path().string()) == ".XSD")
        LoadXSD(nullptr, &Parents, It->path().string());
  }
  const std::string DocExtension = UpperExtension(FileName);
  if (DocExtension == ".ASPX" || DocExtension == ".ASCX" || DocExtension == ".MASTER" || IsASPEnabled) {
    std::string Directives = GetSchemaFileName("asp_directives.xsd", TKibitzMode::kmHTML);
    if (!FileExists(Directives)) Directives = CollapseSeparators(Folder + "asp_directives.xsd");
    LoadXSD(HiddenRootNode.get(), nullptr, Directives);
    if (const TKelPtr<IKelMLTag> Content = GetTagFromHashList("asp:Content")) {
      ContentRoot = MakeKel<THTMLTag>("<!--content page-->", this, -1);
      ContentRoot->AddTag(Content.get());
      for (const auto& Child : AllChildren(HiddenRootNode.get()))
        if (Child->GetName().starts_with("@ ")) ContentRoot->AddTag(Child.get());
      ContentRoot->SetShowAttributes(false);
      ContentRoot->AlphaSort();
    }
  }
  CallbacksInvalidate();
  for (const auto& Entry : Tags) {
    Entry.Tag->SetShowAttributes(false);
    Entry.Tag->AlphaSort();
  }
  return true;
}

bool TMLSymbolManager::LearnSchema() {
  const TPageRead Read(Page, CurrentView().get(), true);
  const std::string& Text = *Read.Text;
  const TMLTree& Tree = *Read.Tree;
  // Names by where they stand; a tag still being typed (its '>' not
  // written) names nothing yet.
  struct TUse {
    std::set<std::string> Children, Attributes;
  };
  std::map<std::string, TUse> Uses;
  std::set<std::string> Roots;
  const auto Name = [&Text](TMLRange R) { return Text.substr(R.Start, R.End - R.Start); };
  for (uint32_t Index = 0; Index < Tree.Nodes.size(); ++Index) {
    const TMLNode& N = Tree.Nodes[Index];
    if (N.Kind != TMLNodeKind::Element || !N.Terminated || N.Name.Start == N.Name.End) continue;
    const std::string Own = Name(N.Name);
    TUse& Use = Uses[Own];
    for (const TMLAttribute& A : Tree.AttributesOf(Index)) Use.Attributes.insert(Name(A.Name));
    if (N.Parent == TMLNode::None)
      Roots.insert(Own);
    else
      Uses[Name(Tree.Nodes[N.Parent].Name)].Children.insert(Own);
  }
  std::string Key = "<the document's own names>";
  for (const auto& [Element, Use] : Uses) {
    Key += "\n" + Element + ":";
    for (const auto& C : Use.Children) Key += " " + C;
    Key += " @";
    for (const auto& A : Use.Attributes) Key += " " + A;
  }
  for (const auto& R : Roots) Key += "\n/" + R;
  if (Key == SchemaFile) return false;
  const TLoadingGuard Done(Loading);
  SchemaFile = Key;
  ClearTags();
  XSLOutputSchema.clear();
  for (auto& Chain : AttrEditorHash) Chain.clear();
  UseXMLEntities();
  SetHiddenRootNode(MakeKel<THTMLTag>("<!--root-->", this, -1).get());
  std::map<std::string, TKelPtr<THTMLTag>> Made;
  for (const auto& [Element, Use] : Uses) {
    auto Tag = MakeKel<THTMLTag>(Element, this, -1);
    // XML writes every start and end tag.
    Tag->SetRequiresOpeningTag(true);
    Tag->SetRequiresClosingTag(true);
    RegisterTag(Tag.get());
    Made.emplace(Element, Tag);
  }
  for (const auto& [Element, Use] : Uses) {
    THTMLTag& Tag = *Made[Element];
    for (const auto& C : Use.Children) Tag.AddTag(Made[C].get());
    for (const auto& A : Use.Attributes) Tag.AddAttribute(MakeKel<THTMLAttribute>(A, NewID()).get());
    Tag.SetShowAttributes(false);
    Tag.AlphaSort();
  }
  for (const auto& R : Roots) HiddenRootNode->AddTag(Made[R].get());
  HiddenRootNode->SetShowAttributes(false);
  HiddenRootNode->AlphaSort();
  CallbacksInvalidate();
  return true;
}

void TMLSymbolManager::UseXMLEntities() {
  if (CharList->GetCount() == 5 && CharList->FindIndex("apos") >= 0) return;
  CharList->Clear();
  for (const auto& [Name, Code] :
       {std::pair<const char*, int32_t>{"amp", 38}, {"lt", 60}, {"gt", 62}, {"quot", 34}, {"apos", 39}})
    CharList->AddEntity(Name, Code);
  CharList->AlphaSort();
}

void TMLSymbolManager::SetIsASPEnabled(bool Value) {
  if (Value == IsASPEnabled) return;
  IsASPEnabled = Value;
  ReloadPending = true;
  SetSchemaFile(GetSchemaFile());
}

void TMLSymbolManager::CallbacksInvalidate() {
  if (Parser) Parser->CallbacksInvalidate();
}

void TMLSymbolManager::GetASPParentTags(std::vector<std::string>& List) {
  static const char* const Names[] = {
      "BODY",       "INS",   "DEL",     "p",      "DL",    "DIV",      "CENTER",  "NOSCRIPT", "NOFRAMES",
      "BLOCKQUOTE", "FORM",  "ISINDEX", "HR",     "TABLE", "FIELDSET", "ADDRESS", "H1",       "H2",
      "H3",         "H4",    "H5",      "H6",     "UL",    "OL",       "DIR",     "MENU",     "PRE",
      "TT",         "I",     "B",       "U",      "S",     "STRIKE",   "BIG",     "SMALL",    "EM",
      "STRONG",     "CODE",  "DFN",     "SAMP",   "KBD",   "VAR",      "CITE",    "ABBR",     "ACRONYM",
      "A",          "IMG",   "APPLET",  "OBJECT", "FONT",  "BASEFONT", "BR",      "SCRIPT",   "MAP",
      "Q",          "SUB",   "SUP",     "SPAN",   "BDO",   "IFRAME",   "INPUT",   "SELECT",   "TEXTAREA",
      "LABEL",      "BUTTON"};
  List.insert(List.end(), std::begin(Names), std::end(Names));
}

namespace {

// A total of work or of things made per load. Spend(N, Say) tells whether
// N more fit; the first time they do not, Say reports it, and nothing fits
// after that.
class TBudget {
 public:
  explicit TBudget(size_t Max) : FMax(Max) {}
  template <class TSay>
  bool Spend(size_t N, TSay&& Say) {
    if (FUsed > FMax) return false;
    if ((FUsed += N) <= FMax) return true;
    Say();
    return false;
  }

 private:
  size_t FMax, FUsed = 0;
};

}  // namespace

// ---- Loading an XSD ----------------------------------------------------------------------------

namespace {

void SetValueKind(IKelMLTagAttribute* Attribute, TMLValueKind Kind) {
  if (auto* Rule = dynamic_cast<TMLValueRule*>(Attribute)) Rule->SetValueKind(Kind);
}

// The kind of value a DTD's declared type asks for.
TMLValueKind DeclaredKind(const std::string& Type) {
  static const std::pair<const char*, TMLValueKind> Kinds[] = {
      {"NUMBER", TMLValueKind::Number}, {"ID", TMLValueKind::Id},     {"IDREF", TMLValueKind::IdRef},
      {"IDREFS", TMLValueKind::IdRefs}, {"NAME", TMLValueKind::Name}, {"NAMES", TMLValueKind::Names}};
  for (const auto& [Name, Kind] : Kinds)
    if (SameText(Type, Name)) return Kind;
  return TMLValueKind::Text;
}

// The element's own complex type, or the one its type name refers to.
TXSDType* TypeOf(const TXSDReader& Reader, const TXSDElement* Element) {
  if (auto* Own = dynamic_cast<TXSDType*>(Element->ElementType)) return Own;
  return Reader.LookupType(Element->TypeName);
}

std::string TagNameOf(const TXSDReader& Reader, const TXSDElement* Element) {
  return Element->Unqualified ? Element->Name : Reader.GetNamespacePrefix() + Element->Name;
}

size_t EnumerationCount(const TXSDSimpleType* Type) {
  size_t N = 0;
  for (int32_t R = 0; R < Type->GetRestrictionCount(); ++R)
    N += Type->GetRestrictions(R)->Enumerations.size();
  return N;
}

void AddEnumerations(IKelMLTagAttribute* Attribute, const TXSDSimpleType* Type) {
  for (int32_t R = 0; R < Type->GetRestrictionCount(); ++R)
    for (const std::string& E : Type->GetRestrictions(R)->Enumerations) Attribute->AddValue(E);
}

}  // namespace

// A tag costs about 2 KB and a millisecond's share of sorting: a schema
// file of 550,000 elements took 5 s and 770 MB. Ours declare a few hundred.
bool TMLSymbolManager::RoomForTag(size_t Made, const std::string& File) {
  constexpr size_t MaxTags = 100'000;
  if (Made < MaxTags) return true;
  if (Made == MaxTags)  // once
    Error(File, "The schema declares more than 100,000 elements; the rest are left out", "Error", 0, 0);
  return false;
}

void TMLSymbolManager::LoadXSD(IKelMLTag* Root, const std::vector<std::string>* ParentTags,
                               const std::string& XSDFileName) {
  TXSDReader Reader;
  Reader.OnError = [this](TXSDReader*, const std::string& File, const std::string& Msg) {
    Error(File, Msg, "Failure", 0, 0);
  };
  Reader.LoadFromFile(XSDFileName);

  // A type shared by many elements gives each of them its attributes, values
  // and children: twenty elements of one type with 500,000 attributes took
  // 4 GB. Past the budget, elements get no more of them.
  TBudget Made(250'000);
  const auto Spend = [&](size_t N) {
    return Made.Spend(N, [&] {
      Error(XSDFileName,
            "The schema gives its elements more than 250,000 attributes, values and children in all; the "
            "rest is left out",
            "Error", 0, 0);
    });
  };

  // The names other elements refer to; when every top-level element is one
  // (a schema of one recursive element), all of them stand at the top.
  std::unordered_set<std::string> Referenced;
  for (auto* Entry = Reader.GetFirstElement(); Entry; Entry = Reader.GetNextElement(Entry))
    if (const std::string& Ref = TXSDReader::ElementOf(Entry)->Ref; !Ref.empty())
      Referenced.insert(Ref.substr(Ref.find(':') + 1));
  bool Free = false;
  for (auto* Entry = Reader.GetFirstElement(); Entry && !Free; Entry = Reader.GetNextElement(Entry)) {
    const TXSDElement* E = TXSDReader::ElementOf(Entry);
    Free = E->Level == 0 && E->Ref.empty() && !E->Name.empty() && !Referenced.count(E->Name);
  }
  if (!Free) Referenced.clear();
  size_t TagsMade = 0;
  // Each element's tag. Top-level elements take their names first; a local
  // element of other content under a taken name (DataPager's Fields beside
  // DetailsView's) gets a tag of its own, found through its parent.
  std::unordered_map<const TXSDElement*, TKelPtr<IKelMLTag>> TagOf;
  std::unordered_map<std::string, const TXSDElement*> NamedBy;
  const auto TagFor = [&](const TXSDElement* Element) {
    const auto It = TagOf.find(Element);
    return It != TagOf.end() ? It->second : GetTagFromHashList(TagNameOf(Reader, Element));
  };
  for (const bool TopLevel : {true, false})
    for (auto* Entry = Reader.GetFirstElement(); Entry; Entry = Reader.GetNextElement(Entry)) {
      const TXSDElement* Element = TXSDReader::ElementOf(Entry);
      // A reference carries the name of the element it refers to; it must not
      // make that element's tag, or a reference met before the declaration
      // would keep a top-level element from the top.
      // Nameless: an xsd:any, a nested group, an annotation.
      if (!Element->Ref.empty() || Element->Name.empty() || (Element->Level == 0) != TopLevel) continue;
      const std::string Name = TagNameOf(Reader, Element);
      if (!IdentIsNotDTDType(Name)) continue;
      bool Local = false;
      if (const auto Namesake = NamedBy.find(UpperCase(Name)); Namesake != NamedBy.end()) {
        const TXSDType* Type = TypeOf(Reader, Element);
        if (Type && Type == TypeOf(Reader, Namesake->second)) {
          TagOf[Element] = TagOf[Namesake->second];
          continue;
        }
        Local = Type && Type->GetChildCount() > 0;
        if (!Local) continue;
      } else if (GetTagFromHashList(Name)) {
        continue;
      }
      if (!RoomForTag(TagsMade++, XSDFileName)) continue;
      auto Tag = MakeKel<THTMLTag>(Name, this, -1);
      Tag->SetEmpty(false);
      Tag->SetAny(true);
      Tag->SetKeepsCase(true);
      Tag->SetRequiresClosingTag(!Element->ImplicitClosure);
      Tag->SetRequiresOpeningTag(true);
      if (TXSDType* Type = TypeOf(Reader, Element)) {
        for (int32_t I = 0; I < Type->GetAttributeCount() && Spend(1); ++I) {
          const TXSDAttribute* A = Type->GetAttributes(I);
          TKelPtr<IKelMLTagAttribute> Attribute;
          if (SameText(A->TypeName, "event"))
            Attribute = MakeKel<THTMLAttributeEvent>(A->Name, NewID());
          else
            Attribute = MakeKel<THTMLAttribute>(A->Name, NewID());
          // Values are counted before they are made: one shared list may be long.
          if (const TXSDSimpleType* Shared = Reader.LookupSimpleType(A->TypeName);
              Shared && Shared->Level == 0 && Spend(EnumerationCount(Shared)))
            AddEnumerations(Attribute.get(), Shared);
          for (const TXSDSimpleType* Own : A->Values)
            if (Spend(EnumerationCount(Own))) AddEnumerations(Attribute.get(), Own);
          if (Attribute->GetCount() > 0) SetValueKind(Attribute.get(), TMLValueKind::Enumerated);
          Tag->AddAttribute(Attribute.get());
          TKelPtr<IKelMLEditor> Editor;
          if (A->Builder == u"color") {
            Attribute->AddValue("color...");
            Editor = MakeKel<THTMLColorAttributeEditor>();
          } else if (A->Builder == u"uri") {
            Attribute->AddValue("uri...");
            Editor = MakeKel<THTMLURIAttributeEditor>(this);
          } else if (A->Builder.empty()) {
            Editor = MakeKel<TDefaultAttributeEditor>();
          }
          if (Editor) RegisterAttributeEditor(Attribute.get(), Editor.get());
        }
      }
      TagOf[Element] = Tag;
      if (Local) {
        LocalTags.push_back(Tag);
        continue;
      }
      NamedBy.emplace(UpperCase(Name), Element);
      RegisterTag(Tag.get());
      // An element another one names (a template, a column, a list item) is
      // written inside that one, not on its own; a non-browseable one only
      // stands for its children.
      if (Element->Level == 0 && !Referenced.count(Element->Name) && !Element->NonBrowseable) {
        if (ParentTags)
          for (const std::string& Parent : *ParentTags)
            if (const TKelPtr<IKelMLTag> P = GetTagFromHashList(Parent)) P->AddTag(Tag.get());
        if (Root) Root->AddTag(Tag.get());
      }
    }

  // Non-browseable elements stand for their own children. Each type is
  // opened once per tag, however many non-browseable elements have it (a
  // type holding three of itself would otherwise take 3^depth steps), and
  // every child read counts: 20,000 elements of a type opening a chain of
  // 3,000 took 8 s. Past the budget, elements list no more children.
  TBudget Walk(4'000'000);
  const auto AddChildren = [&](IKelMLTag* Tag, const TXSDType* First) {
    std::vector<const TXSDType*> Todo{First};
    std::unordered_set<const TXSDType*> Opened;
    while (!Todo.empty()) {
      const TXSDType* Type = Todo.back();
      Todo.pop_back();
      if (!Type || !Opened.insert(Type).second) continue;
      if (!Walk.Spend(1 + static_cast<size_t>(Type->GetChildCount()), [&] {
            Error(
                XSDFileName,
                Format("The children lists reach too far: %s and the elements after it list no more children",
                       {Tag->GetName()}),
                "Error", 0, 0);
          }))
        return;
      for (int32_t I = 0; I < Type->GetChildCount(); ++I) {
        const TXSDElement* Child = Type->GetChild(I);
        if (Child && !Child->Ref.empty()) Child = Reader.LookupElement(Child->Ref, "", -1, true);
        if (!Child) continue;
        if (Child->AnyElement) {
          // A template holds the page's content: what a div of the page's
          // own schema holds, the controls among it.
          if (const TKelPtr<IKelMLTag> Flow = GetTagFromHashList("div"); Flow && Flow.get() != Tag)
            for (const auto& C : AllChildren(Flow.get()))
              if (Spend(1)) Tag->AddTag(C.get());
        } else if (Child->NonBrowseable) {
          Todo.push_back(TypeOf(Reader, Child));
        } else if (const TKelPtr<IKelMLTag> C = TagFor(Child); C && Spend(1)) {
          Tag->AddTag(C.get());
        }
      }
    }
  };
  for (auto* Entry = Reader.GetFirstElement(); Entry; Entry = Reader.GetNextElement(Entry)) {
    const TXSDElement* Element = TXSDReader::ElementOf(Entry);
    if (!Element->Ref.empty() || Element->Name.empty()) continue;
    const TKelPtr<IKelMLTag> Tag = TagFor(Element);
    if (!Tag) continue;
    AddChildren(Tag.get(), TypeOf(Reader, Element));
    Tag->AlphaSort();
  }
  if (ParentTags)
    for (const std::string& Parent : *ParentTags)
      if (const TKelPtr<IKelMLTag> P = GetTagFromHashList(Parent)) P->AlphaSort();
  if (Root) Root->AlphaSort();
}

// ---- Loading a DTD -----------------------------------------------------------------------------

namespace {

// The content model's word on each child: whether it stands at most once
// (a name of the model's own list, not repeated), and its place in the
// model's sequence. A group that ends the sequence stands anywhere (HTML
// intermixes script-supporting elements with a table's parts); inside groups
// nothing counts as once (a group's repetition is not always its own).
void SetChildRules(const TDTDExprNode* Content, THTMLTag& Tag) {
  struct TSeen {
    int Count = 0;
    bool Repeated = false;
    int32_t Rank = -1;
  };
  // Depth 0: the model's own list.
  std::map<std::string, TSeen> Seen;
  const auto Repeats = [](const TDTDExprNode* X) {
    return X->Attributes == TExprAttributes::eaZeroOrMore || X->Attributes == TExprAttributes::eaOneOrMore;
  };
  std::function<void(const TDTDExprNode*, bool, int32_t, bool, int)> Walk =
      [&](const TDTDExprNode* List, bool Repeated, int32_t Rank, bool Top, int Depth) {
        if (Depth > 32) return;
        const bool Sequence = Top && List && List->Op == TExprOp::eoSequence;
        int32_t I = 0;
        for (const TDTDExprNode* X = List; X; X = X->Next, ++I) {
          const bool Rep = Repeated || Repeats(X);
          const int32_t R = !Sequence ? Rank : !X->Next && X->SubExpr ? -1 : I;
          if (X->Symbol && IdentIsNotDTDType(X->Symbol->Name)) {
            TSeen& S = Seen[X->Symbol->Name];
            S.Rank = ++S.Count == 1 ? R : -1;
            S.Repeated = S.Repeated || Rep || S.Count > 1 || Depth > 0;
          }
          if (X->SubExpr) Walk(X->SubExpr, Rep, R, false, Depth + 1);
        }
      };
  // A model in one group: the group's items are the sequence.
  const TDTDExprNode* Top = Content;
  bool Repeated = false;
  while (Top && !Top->Next && !Top->Symbol && Top->SubExpr) {
    Repeated = Repeated || Repeats(Top);
    Top = Top->SubExpr;
  }
  Walk(Top, Repeated, -1, !Repeated, 0);
  for (const auto& [Name, S] : Seen)
    if (!S.Repeated || S.Rank >= 0) Tag.SetChildRule(Name, {!S.Repeated, S.Rank});
}

// What a content model requires at its top: each name not optional, and
// each choice of names not optional as one entry. Mixed content and nested
// groups inside a choice require nothing we could name. A group's "*" or "+"
// is kept on its first item, its "?" on the item it stands in.
THTMLTag::TRequired RequiredChildren(const TDTDExprNode* Content) {
  const auto Optional = [](const TDTDExprNode* X) {
    return X->Attributes == TExprAttributes::eaZeroOrMore || X->Attributes == TExprAttributes::eaZeroOrOne;
  };
  const auto Name = [](const TDTDExprNode* X) {
    return X->Symbol && IdentIsNotDTDType(X->Symbol->Name) && !X->Symbol->Name.starts_with("#");
  };
  const auto Choice = [&](const TDTDExprNode* Group) {
    std::vector<std::string> R;
    for (const TDTDExprNode* X = Group; X; X = X->Next) {
      if (!Name(X) || Optional(X)) return std::vector<std::string>();
      R.push_back(X->Symbol->Name);
    }
    return R;
  };
  const TDTDExprNode* Top = Content;
  if (!Top || Optional(Top)) return {};
  while (!Top->Next && !Top->Symbol && Top->SubExpr) {
    Top = Top->SubExpr;
    if (Optional(Top)) return {};
  }
  THTMLTag::TRequired R;
  if (Top->Op == TExprOp::eoLogicalOr) {
    if (auto Names = Choice(Top); !Names.empty()) R.push_back(std::move(Names));
    return R;
  }
  for (const TDTDExprNode* X = Top; X; X = X->Next) {
    if (Optional(X)) continue;
    if (Name(X))
      R.push_back({X->Symbol->Name});
    else if (!X->Symbol && X->SubExpr && !Optional(X->SubExpr) && X->SubExpr->Op == TExprOp::eoLogicalOr)
      if (auto Names = Choice(X->SubExpr); !Names.empty()) R.push_back(std::move(Names));
  }
  return R;
}

std::vector<TDTDSymbol*> SymbolsOf(const TDTDExprNode* Node) {
  std::vector<TDTDSymbol*> R;
  CollectSymbols(Node, R);
  return R;
}

}  // namespace

void TMLSymbolManager::LoadDTD(IKelMLTag* Root, const std::string& DTDFileName) {
  TDTDParser Parser;
  Parser.OnError = [this](TDTDParser*, TParseError E, const std::string& Msg, int32_t Line,
                          const std::string& File) { Error(File, Msg, ParseErrorWord(E), Line, 0); };
  Parser.KibitzMode = KibitzMode;
  Parser.LoadFromFile(DTDFileName);

  std::vector<std::pair<TDTDElement*, TKelPtr<THTMLTag>>> Made;
  size_t TagsMade = 0;
  for (int32_t I = 0; I < Parser.SymbolCount(); ++I) {
    TDTDSymbol* S = Parser.GetSymbol(I);
    if (auto* E = dynamic_cast<TDTDElement*>(S)) {
      // Words such as EMPTY, ANY or CDATA in content models are element
      // symbols too, and so are names that are used but never declared:
      // only declared elements become tags.
      if (GetTagFromHashList(E->Name) || !IdentIsNotDTDType(E->Name) || !E->HasExprList()) continue;
      if (!RoomForTag(TagsMade++, DTDFileName)) continue;
      auto Tag = MakeKel<THTMLTag>(E->Name, this, -1);
      Tag->SetEntityName(E->GetEntity());
      Tag->SetEmpty(E->Empty);
      Tag->SetAny(E->Any);
      Tag->SetRequiresClosingTag(E->EndTagRequired);
      Tag->SetRequiresOpeningTag(E->StartTagRequired);
      RegisterTag(Tag.get());
      if (Root) Root->AddTag(Tag.get());
      Made.emplace_back(E, Tag);
    } else if (auto* G = dynamic_cast<TDTDEntity*>(S)) {
      // XML entity sets escape markup characters twice ("&#38;#60;" is "<").
      const bool Escaped = G->ValueCount() == 2 && G->GetValues(0) == 38;
      CharList->AddEntity(G->Name, G->GetValues(Escaped ? 1 : 0));
    }
  }
  CharList->AlphaSort();
  if (Root) {
    Root->SetShowAttributes(false);
    Root->AlphaSort();
  }

  const auto ElementOf = [&Parser](const std::string& Name) {
    return dynamic_cast<TDTDElement*>(Parser.LookupSymbol(Name, TDeclType::dtElement));
  };
  // Children leave the root's list (which keeps the elements no content
  // names) at the end, in one pass.
  std::unordered_set<const IKelMLTag*> Nested;
  // ANY lists every element: in a schema of thousands that is millions of
  // entries, so the lists stop at a total.
  constexpr size_t AnyBudget = 1'000'000;
  size_t AnyListed = 0;
  // Children lists look through omissible start tags (TBODY stands for TR):
  // HTML needs three levels, but in a chain of 20,000 such elements each would
  // list every one below it. The walks stop at a depth and at a total.
  constexpr int MaxLookThrough = 16;
  TBudget ChildWork(4'000'000);
  // Value lists are made per element: a name group giving 1,000 elements an
  // enumeration of 100,000 would make 100 million values.
  TBudget ValuesMade(1'000'000);
  for (auto& Entry : Made) {
    TDTDElement* Element = Entry.first;
    const TKelPtr<THTMLTag>& Tag = Entry.second;
    if (Tag->GetAny()) {
      if (AnyListed + Made.size() > AnyBudget) {
        if (AnyListed <= AnyBudget)
          Error(DTDFileName,
                Format("%s and the other elements of ANY content after it list no children: the schema "
                       "declares too many elements",
                       {Element->Name}),
                "Hint", 0, 0);
        AnyListed = AnyBudget + 1;
      } else {
        AnyListed += Made.size();
        for (auto& Other : Made) Tag->AddTag(Other.second.get());
      }
    } else if (!Tag->GetEmpty()) {
      // Lists are shared: a name group gives many elements the same one.
      // Past the budget the element keeps its attributes, not its children.
      const auto Spend = [&](size_t N) {
        return ChildWork.Spend(N, [&] {
          Error(DTDFileName,
                Format("The content models reach too far: %s and the elements after it list no more children",
                       {Element->Name}),
                "Error", 0, 0);
        });
      };
      std::unordered_set<std::string_view> Excluded;
      std::function<void(const TDTDExprNode*, int)> Children = [&](const TDTDExprNode* Model, int Depth) {
        if (!Spend(1)) return;
        const auto Symbols = SymbolsOf(Model);
        if (!Spend(Symbols.size())) return;
        for (TDTDSymbol* Symbol : Symbols) {
          if (Excluded.contains(Symbol->Name)) continue;
          const TKelPtr<IKelMLTag> Child = GetTagFromHashList(Symbol->Name);
          if (!Child) continue;
          Child->SetIsChild(true);
          if (Tag->LookupTag(Child->GetName())) continue;
          Tag->AddTag(Child.get());
          Nested.insert(Child.get());
          // The children of an omissible start tag may stand here directly.
          TDTDElement* ChildElement = ElementOf(Symbol->Name);
          if (Depth < MaxLookThrough && !Child->GetRequiresOpeningTag() && ChildElement &&
              ChildElement->Content)
            Children(ChildElement->Content, Depth + 1);
        }
      };
      // Nothing is read once the budget is spent, the exclusions neither.
      if (Spend(1)) {
        if (const auto ExcludedSymbols = SymbolsOf(Element->Exclusions); Spend(ExcludedSymbols.size())) {
          for (const TDTDSymbol* X : ExcludedSymbols) Excluded.insert(X->Name);
          if (Element->Content) {
            Children(Element->Content, 0);
            SetChildRules(Element->Content, *Tag);
            Tag->SetRequiredChildren(RequiredChildren(Element->Content));
          }
          Children(Element->Inclusions, 0);
        }
      }
    }
    if (!Element->HasExprList()) continue;
    for (int32_t I = 0; I < Element->GetExprList().Count(); ++I) {
      const TDTDExprNode* Entry = Element->GetExprList().GetExpr(I);
      auto* A = dynamic_cast<TDTDAttribute*>(Entry->Symbol);
      if (!A) continue;
      const TDTDExprNode* Type = Entry->Next;
      const bool IsEvent =
          StartsWithText(A->Name, "on") && Type && Type->Symbol && SameText(Type->Symbol->Name, "CDATA");
      TKelPtr<IKelMLTagAttribute> Attribute;
      if (IsEvent)
        Attribute = MakeKel<THTMLAttributeEvent>(A->Name, NewID());
      else
        Attribute = MakeKel<THTMLAttribute>(A->Name, NewID());
      if (Type) {
        if (A->Editor.starts_with("(")) {
          // Values the editors block lists where the DTD says CDATA.
          const std::string& List = A->Editor;
          for (size_t From = 1, Bar; From < List.size(); From = Bar + 1) {
            Bar = std::min(List.find_first_of("|)", From), List.size());
            if (Bar > From && ValuesMade.Spend(1, [] {})) Attribute->AddValue(List.substr(From, Bar - From));
          }
        } else if (!A->Editor.empty()) {
          Attribute->AddValue(A->Editor);
        } else if (Type->Symbol && SameText(Type->Symbol->Name, A->Name) &&
                   IdentIsNotDTDType(Type->Symbol->Name) && !(Type->Next && Type->SubExpr)) {
          // A flag: present or absent. checked="false" still checks the
          // box, so its one value is its name (what XHTML requires).
          Attribute->AddValue(A->Name);
          SetValueKind(Attribute.get(), TMLValueKind::Enumerated);
        } else if (const auto Values = SymbolsOf(Type); ValuesMade.Spend(Values.size(), [&] {
                     Error(
                         DTDFileName,
                         Format("The schema gives its attributes more than 1,000,000 values in all; %s of %s "
                                "and the attributes after it get none",
                                {A->Name, Element->Name}),
                         "Error", 0, 0);
                   })) {
          for (TDTDSymbol* Value : Values)
            if (IdentIsNotDTDType(Value->Name)) Attribute->AddValue(Value->Name);
          SetValueKind(Attribute.get(), Values.size() == 1 && !IdentIsNotDTDType(Values[0]->Name)
                                            ? DeclaredKind(Values[0]->Name)
                                            : TMLValueKind::Enumerated);
        }
        TKelPtr<IKelMLEditor> Editor;
        if (SameText(A->Editor, "color"))
          Editor = MakeKel<THTMLColorAttributeEditor>();
        else if (A->Editor == "uri")
          Editor = MakeKel<THTMLURIAttributeEditor>(this);
        // An editor's entry reads "color..." or "uri...".
        if (Editor)
          Attribute->SetValue(0, Attribute->GetValue(0) + "...");
        else if (Attribute->GetCount() > 0 && IdentIsNotDTDType(Attribute->GetValue(0)))
          Editor = MakeKel<TDefaultAttributeEditor>();
        if (Editor) RegisterAttributeEditor(Attribute.get(), Editor.get());
      }
      if (A->Attributes) {
        Attribute->SetRequired(A->Attributes->Required);
        Attribute->SetFixed(A->Attributes->Fixed);
        Attribute->SetFixedValue(A->Attributes->FixedValue);
      }
      Tag->AddAttribute(Attribute.get());
    }
  }
  // Elements a schema of ours declares but does not offer anywhere (its
  // "mlinsight.unlisted" entity names them): content MathML in HTML5 pages.
  if (const auto* Unlisted = dynamic_cast<TDTDParameterizedEntity*>(
          Parser.LookupSymbol("mlinsight.unlisted", TDeclType::dtParameterizedEntity))) {
    std::unordered_set<const IKelMLTag*> Gone;
    std::string Name;
    for (const char C : Unlisted->Text + " ") {
      if (std::isalnum(static_cast<unsigned char>(C)) || C == '-' || C == '_' || C == '.' || C == ':') {
        Name += C;
      } else if (!Name.empty()) {
        // MathML Core keeps semantics (annotations beside presentation).
        if (Name != "semantics")
          if (const TKelPtr<IKelMLTag> Tag = GetTagFromHashList(Name)) Gone.insert(Tag.get());
        Name.clear();
      }
    }
    for (const auto& Entry : Made) Entry.second->RemoveTags(Gone);
  }
  // Attributes whose values are suggestions (its "mlinsight.suggested"
  // entity names them): a page may write others.
  if (const auto* Suggested = dynamic_cast<TDTDParameterizedEntity*>(
          Parser.LookupSymbol("mlinsight.suggested", TDeclType::dtParameterizedEntity))) {
    std::istringstream Names(Suggested->Text);
    for (std::string Name; Names >> Name;) {
      const size_t Dot = Name.find('.');
      for (const auto& Entry : Made) {
        if (Dot != std::string::npos && !SameText(Entry.first->Name, Name.substr(0, Dot))) continue;
        const std::string Attr = Dot == std::string::npos ? Name : Name.substr(Dot + 1);
        if (const auto A = Entry.second->FindAttribute(Attr)) SetValueKind(A.get(), TMLValueKind::Text);
      }
    }
  }
  if (auto* Own = dynamic_cast<THTMLTag*>(Root))
    Own->RemoveTags(Nested);
  else if (Root)
    for (const auto& Entry : Made)
      if (Nested.contains(Entry.second.get())) Root->RemoveTag(Entry.second.get());
  // Where every element nests (svg inside g, math inside mrow), a new file
  // still starts with its document element.
  if (Root && Root->GetTagCount() == 0) {
    for (const auto& Entry : Made)
      if (SameText(Entry.first->Name, "svg") || SameText(Entry.first->Name, "math"))
        Root->AddTag(Entry.second.get());
    Root->AlphaSort();
  }
  InheritInclusions(Made, Parser, DTDFileName);
}

// An element's inclusions (SGML's "+(INS|DEL)" on BODY) may stand anywhere
// inside it: every element below it that holds elements takes them too,
// unless it or an element between excludes them. Tags are shared by every
// place they stand, so the walk stays out of the included elements: HEAD's
// OBJECT would otherwise carry META into every TABLE.
void TMLSymbolManager::InheritInclusions(const std::vector<std::pair<TDTDElement*, TKelPtr<THTMLTag>>>& Made,
                                         const TDTDParser& Parser, const std::string& DTDFileName) {
  // Each element with inclusions walks everything below it: in HTML 4 that
  // is BODY over 90 elements, but 2,000 elements nested in a chain, each
  // including and excluding one, are 4 million steps with their exclusion
  // lists. The walks stop at a total.
  TBudget Work(4'000'000);
  const TDTDElement* Current = nullptr;
  // Every list read or compared is paid for: lists are shared, so a name
  // group gives a thousand elements the same 300,000 inclusions.
  const auto Spend = [&](size_t N) {
    return Work.Spend(N, [&] {
      Error(
          DTDFileName,
          Format("The inclusions of %s and of the elements after it reach too far; the rest of them is left "
                 "out",
                 {Current->Name}),
          "Hint", 0, 0);
    });
  };
  const auto Excluded = [&](const std::string& Name) {
    std::vector<std::string> R;
    if (auto* E = dynamic_cast<TDTDElement*>(Parser.LookupSymbol(Name, TDeclType::dtElement))) {
      const auto Symbols = SymbolsOf(E->Exclusions);
      Spend(Symbols.size());
      for (TDTDSymbol* S : Symbols) R.push_back(S->Name);
    }
    return R;
  };
  for (const auto& [Element, Tag] : Made) {
    if (!Element->Inclusions) continue;
    Current = Element;
    if (!Spend(1)) return;
    const auto IncludedSymbols = SymbolsOf(Element->Inclusions);
    if (!Spend(IncludedSymbols.size())) return;
    std::vector<TKelPtr<IKelMLTag>> Included;
    for (TDTDSymbol* S : IncludedSymbols)
      if (auto T = GetTagFromHashList(S->Name)) Included.push_back(T);
    struct TStep {
      IKelMLTag* Tag;
      std::vector<std::string> Excluded;
    };
    std::vector<TStep> Todo{{Tag.get(), Excluded(Tag->GetName())}};
    std::unordered_set<IKelMLTag*> Seen{Tag.get()};
    for (const auto& I : Included) Seen.insert(I.get());
    while (!Todo.empty()) {
      const TStep Step = std::move(Todo.back());
      Todo.pop_back();
      const TMLTagList Children = AllChildren(Step.Tag);
      if (!Spend(Children.size())) return;
      // Below the element, those holding elements take the inclusions.
      if (Step.Tag != Tag.get()) {
        if (Children.empty()) continue;
        if (!Spend(Included.size() * (1 + Step.Excluded.size()))) return;
        for (const auto& I : Included)
          if (!Step.Tag->LookupTag(I->GetName()) &&
              std::find(Step.Excluded.begin(), Step.Excluded.end(), I->GetName()) == Step.Excluded.end())
            Step.Tag->AddTag(I.get());
        Step.Tag->AlphaSort();
      }
      for (const auto& Child : Children) {
        if (!Seen.insert(Child.get()).second || Child->GetEmpty() || Child->GetAny()) continue;
        if (!Spend(1 + Step.Excluded.size())) return;
        TStep Next{Child.get(), Step.Excluded};
        const auto Own = Excluded(Child->GetName());
        Next.Excluded.insert(Next.Excluded.end(), Own.begin(), Own.end());
        Todo.push_back(std::move(Next));
      }
    }
  }
}

// ---- Messages ------------------------------------------------------------------------------

void TMLSymbolManager::Error(const std::string& AFileName, const std::string& Msg, const std::string& Prefix,
                             int32_t Line, int32_t Column) {
  // What a load found wrong in the schema's files, kept for the document's check.
  if ((Prefix == "Failure" || Prefix == "Error") && LoadProblems.size() < 100)
    LoadProblems.push_back(ExtractFileName(AFileName) + (Line > 0 ? ":" + std::to_string(Line) : "") + ": " +
                           Msg);
  const TKelPtr<IKelMessageServices> Messages = KelMessageServices();
  if (!Messages) return;
  Messages->ShowMessageView();
  Messages->AddToolMessage(AFileName, Msg, Prefix, Line, Column);
}

TMLSymbolManager& MLSymbolManager() {
  static TMLSymbolManager Manager;
  return Manager;
}

}  // namespace kel
