// Reading XML Schema files with editor annotations (the xsd: subset used by
// the XSL, WML, server-page and resx schemas): element, complex and simple
// type, attribute and attribute-group declarations, with attribute groups
// and element references resolved, for the symbol manager to build tags
// from.
//
// Example: from asp.xsd declaring <xsd:element name="Button"
// type="ButtonDef"/> and <xsd:complexType name="ButtonDef"><xsd:attribute
// name="ForeColor" vs:builder="color"/></xsd:complexType>, the reader gives
// the prefix "asp:", the element Button with TypeName "ButtonDef", and
// LookupType("buttondef") holds the attribute ForeColor with Builder u"color".
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/KelXMLDocument.h"

namespace kel {

class TXSDClass {
 public:
  TXSDClass(std::string AName, int32_t ALevel) : Name(std::move(AName)), Level(ALevel) {}
  virtual ~TXSDClass() = default;
  std::string Name;
  // Nesting depth of the declaration; 0 at the top of the schema.
  int32_t Level;
};

class TXSDTypedClass : public TXSDClass {
 public:
  TXSDTypedClass(std::string AName, int32_t ALevel, std::string ATypeName)
      : TXSDClass(std::move(AName), ALevel), TypeName(std::move(ATypeName)) {}
  // The type reference as written ("ButtonDef", "xsd:string").
  std::string TypeName;
};

class TXSDRestriction {
 public:
  std::string Base;
  std::vector<std::string> Enumerations;
  const std::string& GetEnumerations(int32_t Index) const {
    return Enumerations.at(static_cast<size_t>(Index));
  }
  int32_t GetEnumerationCount() const { return static_cast<int32_t>(Enumerations.size()); }
  void AddEnumeration(const std::string& Value) { Enumerations.push_back(Value); }
};

class TXSDSimpleType : public TXSDClass {
 public:
  using TXSDClass::TXSDClass;
  std::vector<std::unique_ptr<TXSDRestriction>> Restrictions;
  TXSDRestriction* GetRestrictions(int32_t Index) const {
    return Restrictions.at(static_cast<size_t>(Index)).get();
  }
  int32_t GetRestrictionCount() const { return static_cast<int32_t>(Restrictions.size()); }
  // Takes ownership.
  TXSDRestriction* AddRestriction(TXSDRestriction* Restriction);
};

class TXSDElement : public TXSDTypedClass {
 public:
  using TXSDTypedClass::TXSDTypedClass;
  // The anonymous TXSDType or TXSDSimpleType declared inside; null if none.
  TXSDClass* ElementType = nullptr;
  std::string Ref;
  bool NonBrowseable = false;
  bool ImplicitClosure = false;
  bool Unqualified = false;
  // xsd:any: whatever the document's own language lets stand there.
  bool AnyElement = false;
  // The complex type whose content declares it; empty at the top level.
  std::string ParentName;
};

class TXSDAttribute : public TXSDTypedClass {
 public:
  using TXSDTypedClass::TXSDTypedClass;
  // The value editor to use: "color", "uri", or another name.
  std::u16string Builder;
  // The simple types declared inside; the reader owns them.
  std::vector<TXSDSimpleType*> Values;
  TXSDSimpleType* GetValue(int32_t Index) const { return Values.at(static_cast<size_t>(Index)); }
  int32_t GetCount() const { return static_cast<int32_t>(Values.size()); }
  void AddValue(TXSDSimpleType* Value) { Values.push_back(Value); }
};

class TXSDBaseType : public TXSDClass {
 public:
  using TXSDClass::TXSDClass;
  // Shared with other types and groups; the reader owns them.
  std::vector<TXSDAttribute*> Attributes;
  std::vector<std::string> AttrGroups;
  TXSDAttribute* GetAttributes(int32_t Index) const { return Attributes.at(static_cast<size_t>(Index)); }
  int32_t GetAttributeCount() const { return static_cast<int32_t>(Attributes.size()); }
  const std::string& GetAttrGroup(int32_t Index) const { return AttrGroups.at(static_cast<size_t>(Index)); }
  int32_t GetGroupAttrCount() const { return static_cast<int32_t>(AttrGroups.size()); }
  void AddAttribute(TXSDAttribute* Attribute) { Attributes.push_back(Attribute); }
  void AddAttributeGroup(const std::string& Name) { AttrGroups.push_back(Name); }
};

class TXSDType : public TXSDBaseType {
 public:
  using TXSDBaseType::TXSDBaseType;
  std::vector<TXSDElement*> Children;
  TXSDElement* GetChild(int32_t Index) const { return Children.at(static_cast<size_t>(Index)); }
  int32_t GetChildCount() const { return static_cast<int32_t>(Children.size()); }
  void AddChild(TXSDElement* Element) {
    if (Element) Children.push_back(Element);
  }
};

class TXSDAttributeGroup : public TXSDBaseType {
 public:
  using TXSDBaseType::TXSDBaseType;
};

struct TXSDClassEntry {
  TXSDClass* Item = nullptr;
  TXSDClassEntry* Next = nullptr;
  TXSDClassEntry* HashNext = nullptr;
};

class TXSDReader;
using TXSDParseErrorEvent =
    std::function<void(TXSDReader* Sender, const std::string& XSDFileName, const std::string& Msg)>;

class TXSDReader {
 public:
  TXSDReader();
  ~TXSDReader();
  TXSDReader(const TXSDReader&) = delete;
  TXSDReader& operator=(const TXSDReader&) = delete;

  // A missing file leaves the reader as it was, without a message; a file
  // the XML library cannot read gives one message, and what was read stays.
  void LoadFromFile(const std::string& AFileName);
  // Forgets every declaration; the entries are kept for reuse.
  void Clear();

  // Every element declared anywhere, in document order.
  TXSDClassEntry* GetFirstElement() const { return FFirstElement; }
  TXSDClassEntry* GetNextElement(TXSDClassEntry* Entry) const { return Entry ? Entry->Next : nullptr; }
  static TXSDElement* ElementOf(TXSDClassEntry* Entry) {
    return Entry ? static_cast<TXSDElement*>(Entry->Item) : nullptr;
  }

  // The complex types, attribute groups and simple types, newest first
  // (walk on with Entry->Next).
  TXSDClassEntry* GetFirstType() const { return FTypes; }
  TXSDClassEntry* GetFirstAttrGroup() const { return FAttrGroups; }
  TXSDClassEntry* GetFirstSimpleType() const { return FSimpleTypes; }

  // Level -1 matches any level; AnyParent ignores ParentName.
  TXSDElement* LookupElement(const std::string& Name, const std::string& ParentName, int32_t Level,
                             bool AnyParent) const;
  TXSDType* LookupType(const std::string& Name) const;
  TXSDAttributeGroup* LookupAttrGroup(const std::string& Name) const;
  // "string" also finds "xsd:string", and "xsd:color" also finds "color".
  TXSDSimpleType* LookupSimpleType(const std::string& Name) const;

  std::string GetSchemaNamespace() const { return "xsd:"; }
  // "asp:" for asp.xsd, "quorvel:" for quorvel.xsd, else empty.
  const std::string& GetNamespacePrefix() const { return NamespacePrefix; }
  bool GetDefaultQualified() const { return DefaultQualified; }
  void SetDefaultQualified(bool Value) { DefaultQualified = Value; }
  const std::string& GetFileName() const { return FileName; }

  void Error(const std::string& Msg);

  TXSDParseErrorEvent OnError;

 private:
  // Name (upper case) to the newest entry of that name; older ones follow
  // through HashNext.
  using TTable = std::unordered_map<std::string, TXSDClassEntry*>;
  TXSDClassEntry* NewEntry(TXSDClass* Item);
  template <class T, class... A>
  T* Own(A&&... Args);
  void Enter(TTable& Table, TXSDClassEntry* Entry);
  // Puts Item at the head of List and, when named, into Table.
  void Push(TXSDClassEntry*& List, TTable& Table, TXSDClass* Item);
  TXSDClass* Find(const TTable& Table, const std::string& Name) const;

  TXSDElement* AddElement(const TXMLNode& Node, const std::string& ParentName);
  TXSDType* AddType(const TXMLNode& Node);
  void AddChoices(TXSDType* Type, const TXMLNode& Node);
  void AddSequence(TXSDType* Type, const TXMLNode& Node) { AddChoices(Type, Node); }
  void AddAttribute(TXSDBaseType* BaseType, const TXMLNode& Node);
  TXSDSimpleType* AddSimpleType(TXSDAttribute* Attribute, const TXMLNode& Node);
  void AddRestriction(TXSDRestriction* Restriction, const TXMLNode& Node);
  void AddAttributeGroup(const TXMLNode& Node);
  void FixupReferences();

  TTable FElementHash{};
  TTable FTypeHash{};
  TTable FSimpleTypeHash{};
  TTable FAttrGroupHash{};
  TXSDClassEntry* FLastElement = nullptr;
  TXSDClassEntry* FFirstElement = nullptr;
  TXSDClassEntry* FTypes = nullptr;
  TXSDClassEntry* FAttrGroups = nullptr;
  TXSDClassEntry* FSimpleTypes = nullptr;
  TXSDClassEntry* FFreeEntries = nullptr;
  std::string NamespacePrefix;
  int32_t Level = 0;
  // Elements declared inside elements: deeper than any real schema nests,
  // the rest is left out (one message) so that no file exhausts the stack.
  int32_t Depth = 0;
  bool DepthReported = false;
  int32_t MessagesShown = 0;
  int64_t MessagesLeftOut = 0;
  bool DefaultQualified = false;
  std::string FileName;
  // Every declaration, whichever lists it sits in.
  std::vector<std::unique_ptr<TXSDClass>> FDeclarations;
  std::vector<std::unique_ptr<TXSDClassEntry>> FEntries;
};

}  // namespace kel
