#include "schema/XSDReader.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "host/KelFiles.h"
#include "host/KelStrings.h"
#include "markup/MLParserUtils.h"

namespace kel {

namespace {

// The same attribute object reaches a type through several groups; it is
// listed once.
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
  FElementHash.clear();
  FTypeHash.clear();
  FSimpleTypeHash.clear();
  FAttrGroupHash.clear();
  FFirstElement = FLastElement = FTypes = FAttrGroups = FSimpleTypes = nullptr;
  FDeclarations.clear();
  NamespacePrefix.clear();
  FileName.clear();
  Level = 0;
  DefaultQualified = false;
}

void TXSDReader::Enter(TTable& Table, TXSDClassEntry* Entry) {
  if (Entry->Item->Name.empty()) return;
  TXSDClassEntry*& Head = Table[UpperCase(Entry->Item->Name)];
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
  const auto It = Table.find(UpperCase(Name));
  return It == Table.end() ? nullptr : It->second->Item;
}

TXSDElement* TXSDReader::LookupElement(const std::string& Name, const std::string& ParentName, int32_t ALevel,
                                       bool AnyParent) const {
  const auto It = FElementHash.find(UpperCase(Name));
  for (TXSDClassEntry* E = It == FElementHash.end() ? nullptr : It->second; E; E = E->HashNext) {
    auto* El = static_cast<TXSDElement*>(E->Item);
    if ((AnyParent || El->ParentName == ParentName) && (ALevel == -1 || El->Level == ALevel)) return El;
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
  El->AnyElement = Node.NodeName() == "xsd:any";
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
  // "url" is the builder's other name; an address is picked like a file.
  if ((Builder.empty() && TypeName == "xsd:anyURI") || SameText(Builder, "url")) Builder = "uri";
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

// Each group gets the attributes of the groups it names, depth first, each
// group once. A group on the current path is a cycle, reported like a
// missing group since its attributes cannot be had from there. The work is
// bounded per load: a chain of groups each naming the next gives every
// group the whole chain (30,000 of them: 450 million attributes); the
// ASP.NET schemas need a few thousand.
void TXSDReader::FixupReferences() {
  constexpr int64_t MaxWork = 1'000'000;
  int64_t Work = 0;
  bool Stopped = false;
  const auto Spend = [&](size_t N) {
    if (!Stopped && (Work += 1 + static_cast<int64_t>(N)) > MaxWork) {
      Stopped = true;
      // Said past the cap on messages: the cycles reported first can fill it.
      if (OnError)
        OnError(this, FileName,
                "Attribute groups name each other too often; the rest of their attributes is left out");
    }
    return !Stopped;
  };
  // Groups gain attributes as they are expanded: a visit takes the group's own.
  std::unordered_map<const TXSDAttributeGroup*, size_t> OwnCount;
  for (TXSDClassEntry* E = FAttrGroups; E; E = E->Next) {
    auto* G = static_cast<TXSDAttributeGroup*>(E->Item);
    OwnCount[G] = G->Attributes.size();
  }
  struct TFrame {
    TXSDAttributeGroup* Group;
    size_t Next;
  };
  for (TXSDClassEntry* E = FAttrGroups; E && !Stopped; E = E->Next) {
    auto* Root = static_cast<TXSDAttributeGroup*>(E->Item);
    std::unordered_set<const TXSDAttribute*> Seen(Root->Attributes.begin(), Root->Attributes.end());
    std::unordered_set<const TXSDAttributeGroup*> Visited{Root}, OnPath{Root};
    std::vector<TFrame> Stack{{Root, 0}};
    while (!Stack.empty()) {
      TFrame& Top = Stack.back();
      if (Top.Next == Top.Group->AttrGroups.size()) {
        OnPath.erase(Top.Group);
        Stack.pop_back();
        continue;
      }
      const std::string& Name = Top.Group->AttrGroups[Top.Next++];
      TXSDAttributeGroup* G = LookupAttrGroup(Name);
      if (!G || OnPath.count(G)) {
        Error(Format("Couldn't find attribute group %s", {Name}));
        continue;
      }
      if (!Visited.insert(G).second) continue;
      const size_t Own = OwnCount[G];
      if (!Spend(Own)) break;
      for (size_t I = 0; I < Own; ++I)
        if (Seen.insert(G->Attributes[I]).second) Root->AddAttribute(G->Attributes[I]);
      OnPath.insert(G);
      Stack.push_back({G, 0});
    }
  }
  for (TXSDClassEntry* E = FTypes; E && !Stopped; E = E->Next) {
    auto* T = static_cast<TXSDType*>(E->Item);
    if (T->AttrGroups.empty()) continue;
    std::unordered_set<const TXSDAttribute*> Seen(T->Attributes.begin(), T->Attributes.end());
    for (const std::string& Name : T->AttrGroups) {
      TXSDAttributeGroup* G = LookupAttrGroup(Name);
      if (!G) continue;
      if (!Spend(G->Attributes.size())) break;
      for (TXSDAttribute* A : G->Attributes)
        if (Seen.insert(A).second) T->AddAttribute(A);
    }
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
