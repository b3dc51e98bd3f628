#include "schema/XSDReader.h"

#include <algorithm>

#include "host/KelFiles.h"
#include "host/KelStrings.h"
#include "markup/MLParserUtils.h"

namespace kel {

namespace {

// The same attribute object reaches a type through several groups; it is
// listed once.
void AppendAttributes(TXSDBaseType* Into, const std::vector<TXSDAttribute*>& From) {
  for (TXSDAttribute* A : From)
    if (std::find(Into->Attributes.begin(), Into->Attributes.end(), A) == Into->Attributes.end())
      Into->AddAttribute(A);
}

// The file's name without folder and extension.
std::string BaseName(const std::string& Path) {
  const std::string Name = ExtractFileName(Path);
  return Name.substr(0, Name.size() - ExtractFileExt(Name).size());
}

}  // namespace

TXSDRestriction* TXSDSimpleType::AddRestriction(TXSDRestriction* Restriction) {
  Restrictions.emplace_back(Restriction);
  return Restriction;
}

TXSDReader::TXSDReader() = default;
TXSDReader::~TXSDReader() = default;

TXSDClassEntry* TXSDReader::NewEntry(TXSDClass* Item) {
  TXSDClassEntry* E = FFreeEntries;
  if (E) {
    FFreeEntries = E->Next;
  } else {
    FEntries.push_back(std::make_unique<TXSDClassEntry>());
    E = FEntries.back().get();
  }
  *E = TXSDClassEntry{Item, nullptr, nullptr};
  return E;
}

template <class T, class... A>
T* TXSDReader::Own(A&&... Args) {
  auto P = std::make_unique<T>(std::forward<A>(Args)...);
  T* Result = P.get();
  FDeclarations.push_back(std::move(P));
  return Result;
}

void TXSDReader::Clear() {
  for (auto& E : FEntries) {
    *E = TXSDClassEntry{};
    E->Next = FFreeEntries;
    FFreeEntries = E.get();
  }
  FElementHash.fill(nullptr);
  FTypeHash.fill(nullptr);
  FSimpleTypeHash.fill(nullptr);
  FAttrGroupHash.fill(nullptr);
  FFirstElement = FLastElement = FTypes = FAttrGroups = FSimpleTypes = nullptr;
  FDeclarations.clear();
  NamespacePrefix.clear();
  FileName.clear();
  Level = 0;
  DefaultQualified = false;
}

void TXSDReader::Enter(TTable& Table, TXSDClassEntry* Entry) {
  if (Entry->Item->Name.empty()) return;
  TXSDClassEntry*& Head = Table[Hash(Entry->Item->Name)];
  Entry->HashNext = Head;
  Head = Entry;
}

void TXSDReader::Push(TXSDClassEntry*& List, TTable& Table, TXSDClass* Item) {
  TXSDClassEntry* E = NewEntry(Item);
  E->Next = List;
  List = E;
  Enter(Table, E);
}

TXSDClass* TXSDReader::Find(const TTable& Table, const std::string& Name) const {
  for (TXSDClassEntry* E = Table[Hash(Name)]; E; E = E->HashNext)
    if (SameText(E->Item->Name, Name)) return E->Item;
  return nullptr;
}

TXSDElement* TXSDReader::LookupElement(const std::string& Name, const std::string& ParentName, int32_t ALevel,
                                       bool AnyParent) const {
  for (TXSDClassEntry* E = FElementHash[Hash(Name)]; E; E = E->HashNext) {
    auto* El = static_cast<TXSDElement*>(E->Item);
    if (SameText(El->Name, Name) && (AnyParent || El->ParentName == ParentName) &&
        (ALevel == -1 || El->Level == ALevel))
      return El;
  }
  return nullptr;
}

TXSDType* TXSDReader::LookupType(const std::string& Name) const {
  return static_cast<TXSDType*>(Find(FTypeHash, Name));
}

TXSDAttributeGroup* TXSDReader::LookupAttrGroup(const std::string& Name) const {
  return static_cast<TXSDAttributeGroup*>(Find(FAttrGroupHash, Name));
}

TXSDSimpleType* TXSDReader::LookupSimpleType(const std::string& Name) const {
  if (auto* T = Find(FSimpleTypeHash, Name)) return static_cast<TXSDSimpleType*>(T);
  const std::string Ns = GetSchemaNamespace();
  if (Name.compare(0, Ns.size(), Ns) == 0)
    return static_cast<TXSDSimpleType*>(Find(FSimpleTypeHash, Name.substr(Ns.size())));
  if (Name.find(Ns) == std::string::npos)
    return static_cast<TXSDSimpleType*>(Find(FSimpleTypeHash, Ns + Name));
  return nullptr;
}

void TXSDReader::Error(const std::string& Msg) {
  // A generated file can repeat one fault thousands of times: the first ones
  // tell what is wrong, a count says how much more.
  constexpr int32_t MaxMessages = 100;
  if (MessagesShown >= MaxMessages) {
    ++MessagesLeftOut;
    return;
  }
  ++MessagesShown;
  if (OnError) OnError(this, FileName, Msg);
}

void TXSDReader::LoadFromFile(const std::string& AFileName) {
  FileName.clear();
  if (!FileExists(AFileName)) return;
  FileName = AFileName;
  Level = 0;
  Depth = 0;
  DepthReported = false;
  MessagesShown = 0;
  MessagesLeftOut = 0;
  try {
    // A broken file gives what stands before its error.
    TXMLDocument Doc;
    if (const std::string Broken = Doc.LoadFromFileKeepingPart(AFileName); !Broken.empty()) Error(Broken);
    std::string Prefix = BaseName(AFileName);
    if (Prefix != "asp" && Prefix != "quorvel") Prefix.clear();
    TXMLNode Root = Doc.DocumentElement();
    if (Root.NodeName() == "xsd:schema") {
      if (!Prefix.empty()) NamespacePrefix = Prefix + ":";
      DefaultQualified = SameText(Root.Attribute("elementFormDefault"), "qualified");
      for (const TXMLNode& Child : Root.ChildNodes()) {
        const std::string Name = Child.NodeName();
        if (Name == "xsd:element")
          AddElement(Child, "");
        else if (Name == "xsd:simpleType")
          AddSimpleType(nullptr, Child);
        else if (Name == "xsd:complexType")
          AddType(Child);
        else if (Name == "xsd:attributeGroup")
          AddAttributeGroup(Child);
      }
    }
    FixupReferences();
  } catch (const std::exception& E) {
    Error(E.what());
  }
  if (MessagesLeftOut > 0 && OnError)
    OnError(this, FileName, Format("%s more messages left out", {std::to_string(MessagesLeftOut)}));
}

TXSDElement* TXSDReader::AddElement(const TXMLNode& Node, const std::string& ParentName) {
  constexpr int32_t MaxDepth = 200;
  if (Depth >= MaxDepth) {
    if (!DepthReported) Error("Elements nested too deeply; the deeper ones are left out");
    DepthReported = true;
    return nullptr;
  }
  struct TNest {
    int32_t& Depth;
    explicit TNest(int32_t& D) : Depth(++D) {}
    ~TNest() { --Depth; }
  } Nest(Depth);
  const std::string Name = Node.Attribute("name");
  if (LookupElement(Name, ParentName, Level, false)) {
    Error(Format("Element %s already exists", {Name}));
    return nullptr;
  }
  auto* El = Own<TXSDElement>(Name, Level, Node.Attribute("type"));
  El->Ref = Node.Attribute("ref");
  El->NonBrowseable = SameText(Node.Attribute("vs:nonbrowseable"), "true") ||
                      SameText(Node.Attribute("macroelement"), "true");
  El->ImplicitClosure = SameText(Node.Attribute("vs:implicitclosure"), "true") ||
                        SameText(Node.Attribute("impliedclose"), "true");
  El->Unqualified = SameText(Node.Attribute("form"), "unqualified") || !DefaultQualified;
  El->ParentName = ParentName;
  TXSDClassEntry* E = NewEntry(El);
  if (FLastElement)
    FLastElement->Next = E;
  else
    FFirstElement = E;
  FLastElement = E;
  Enter(FElementHash, E);
  for (const TXMLNode& Child : Node.ChildNodes()) {
    const std::string Kind = Child.NodeName();
    if (Kind == "xsd:simpleType")
      El->ElementType = AddSimpleType(nullptr, Child);
    else if (Kind == "xsd:complexType")
      El->ElementType = AddType(Child);
  }
  return El;
}

TXSDType* TXSDReader::AddType(const TXMLNode& Node) {
  const std::string Name = Node.Attribute("name");
  if (LookupType(Name)) {
    Error(Format("Type %s already exists", {Name}));
    return nullptr;
  }
  auto* Type = Own<TXSDType>(Name, Level);
  Push(FTypes, FTypeHash, Type);
  for (const TXMLNode& Child : Node.ChildNodes()) {
    const std::string Kind = Child.NodeName();
    ++Level;
    if (Kind == "xsd:choice")
      AddChoices(Type, Child);
    else if (Kind == "xsd:sequence")
      AddSequence(Type, Child);
    else if (Kind == "xsd:attribute")
      AddAttribute(Type, Child);
    else if (Kind == "xsd:attributeGroup")
      Type->AddAttributeGroup(Child.Attribute("ref"));
    --Level;
  }
  return Type;
}

// Nested groups, xsd:any and annotations become nameless elements, which
// add no tag; occurrence limits are not read.
void TXSDReader::AddChoices(TXSDType* Type, const TXMLNode& Node) {
  for (const TXMLNode& Child : Node.ChildNodes()) Type->AddChild(AddElement(Child, Type->Name));
}

void TXSDReader::AddAttribute(TXSDBaseType* BaseType, const TXMLNode& Node) {
  std::string TypeName = Node.Attribute("type");
  if (TypeName.empty()) TypeName = Node.Attribute("vs:omtype");
  auto* A = Own<TXSDAttribute>(Node.Attribute("name"), Level, TypeName);
  std::string Builder = Node.Attribute("vs:builder");
  if (Builder.empty() && TypeName == "xsd:anyURI") Builder = "uri";
  if (Builder.empty()) Builder = Node.Attribute("editor");
  A->Builder = Utf8ToUtf16(Builder);
  BaseType->AddAttribute(A);
  for (const TXMLNode& Child : Node.ChildNodes())
    if (Child.NodeName() == "xsd:simpleType") AddSimpleType(A, Child);
}

TXSDSimpleType* TXSDReader::AddSimpleType(TXSDAttribute* Attribute, const TXMLNode& Node) {
  TXMLNodeList Children = Node.ChildNodes();
  if (Children.Count() == 0) return nullptr;
  auto* T = Own<TXSDSimpleType>(Node.Attribute("name"), Level);
  Push(FSimpleTypes, FSimpleTypeHash, T);
  if (Attribute) Attribute->AddValue(T);
  for (const TXMLNode& Child : Children)
    if (Child.NodeName() == "xsd:restriction") AddRestriction(T->AddRestriction(new TXSDRestriction), Child);
  return T;
}

void TXSDReader::AddRestriction(TXSDRestriction* Restriction, const TXMLNode& Node) {
  Restriction->Base = Node.Attribute("base");
  if (Restriction->Base != "xsd:string" && Restriction->Base != "xsd:NMTOKEN") return;
  for (const TXMLNode& Child : Node.ChildNodes())
    if (Child.NodeName() == "xsd:enumeration") Restriction->AddEnumeration(Child.Attribute("value"));
}

void TXSDReader::AddAttributeGroup(const TXMLNode& Node) {
  const std::string Name = Node.Attribute("name");
  if (LookupAttrGroup(Name)) {
    Error(Format("AttributeGroup %s already exists", {Name}));
    return;
  }
  auto* G = Own<TXSDAttributeGroup>(Name, Level);
  Push(FAttrGroups, FAttrGroupHash, G);
  for (const TXMLNode& Child : Node.ChildNodes()) {
    const std::string Kind = Child.NodeName();
    if (Kind == "xsd:attribute")
      AddAttribute(G, Child);
    else if (Kind == "xsd:attributeGroup")
      G->AddAttributeGroup(Child.Attribute("ref"));
  }
}

// Groups that refer to each other in a cycle: a name already being expanded
// is not expanded again, and is reported like a missing group, since its
// attributes cannot be had from there.
void TXSDReader::ExpandGroup(TXSDAttributeGroup* Into, const std::string& Name,
                             std::vector<std::string>& Expanding) {
  TXSDAttributeGroup* G = LookupAttrGroup(Name);
  bool Cycle = std::any_of(Expanding.begin(), Expanding.end(),
                           [&](const std::string& N) { return SameText(N, Name); });
  if (!G || Cycle) {
    Error(Format("Couldn't find attribute group %s", {Name}));
    return;
  }
  AppendAttributes(Into, G->Attributes);
  Expanding.push_back(Name);
  for (const std::string& Nested : G->AttrGroups) ExpandGroup(Into, Nested, Expanding);
  Expanding.pop_back();
}

void TXSDReader::FixupReferences() {
  for (TXSDClassEntry* E = FAttrGroups; E; E = E->Next) {
    auto* G = static_cast<TXSDAttributeGroup*>(E->Item);
    std::vector<std::string> Expanding{G->Name};
    for (const std::string& Name : G->AttrGroups) ExpandGroup(G, Name, Expanding);
  }
  for (TXSDClassEntry* E = FTypes; E; E = E->Next) {
    auto* T = static_cast<TXSDType*>(E->Item);
    for (const std::string& Name : T->AttrGroups)
      if (TXSDAttributeGroup* G = LookupAttrGroup(Name)) AppendAttributes(T, G->Attributes);
  }
  for (TXSDClassEntry* E = FFirstElement; E; E = E->Next) {
    auto* El = static_cast<TXSDElement*>(E->Item);
    if (El->Ref.empty()) continue;
    if (TXSDElement* Target = LookupElement(El->Ref, "", -1, false)) {
      El->Name = Target->Name;
      El->TypeName = Target->TypeName;
      El->ElementType = Target->ElementType;
    } else {
      Error(Format("Unknown reference to element %s", {El->Ref}));
    }
  }
}

}  // namespace kel
