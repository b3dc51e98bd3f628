// The XML document model the schema readers walk: load a file, take its
// document element, and for a node its qualified name as written, its
// attributes, its child nodes. Whitespace-only text and comments are not
// nodes, so "has children" means "has content".
//
// Example: for <xsd:schema elementFormDefault="qualified"><xsd:element
// name="a"/></xsd:schema>, DocumentElement().NodeName() is "xsd:schema",
// Attribute("elementFormDefault") is "qualified", and ChildNodes().Count()
// is 1.
#pragma once

#include <cstdint>
#include <memory>
#include <pugixml.hpp>
#include <stdexcept>
#include <string>
#include <vector>

namespace kel {

// A file that cannot be read or is not well-formed; the message says where.
class EXMLDocumentError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TXMLAttribute {
  std::string Name;
  std::string Value;
};

class TXMLNodeList;

// A view onto a node of a loaded document; valid while the document lives.
class TXMLNode {
 public:
  TXMLNode() = default;
  explicit TXMLNode(pugi::xml_node Node) : FNode(Node) {}

  bool IsNull() const { return !FNode; }
  bool IsElement() const { return FNode.type() == pugi::node_element; }
  // The name with its prefix, as written ("xsd:element"); empty for text.
  std::string NodeName() const { return FNode.name(); }
  bool HasAttribute(const std::string& Name) const;
  // The attribute's text; empty when it is absent.
  std::string Attribute(const std::string& Name) const;
  // "true", "1", "yes" (any case of the first letter) read as true.
  bool AttributeAsBoolean(const std::string& Name) const;
  std::vector<TXMLAttribute> Attributes() const;
  TXMLNodeList ChildNodes() const;
  std::string Text() const { return FNode.text().get(); }

 private:
  pugi::xml_node FNode;
};

class TXMLNodeList {
 public:
  explicit TXMLNodeList(std::vector<TXMLNode> Nodes) : FNodes(std::move(Nodes)) {}
  int32_t Count() const { return static_cast<int32_t>(FNodes.size()); }
  TXMLNode Item(int32_t Index) const;
  // The first node of that qualified name; a null node when there is none.
  TXMLNode FindNode(const std::string& Name) const;

  auto begin() const { return FNodes.begin(); }
  auto end() const { return FNodes.end(); }

 private:
  std::vector<TXMLNode> FNodes;
};

class TXMLDocument {
 public:
  // Throws EXMLDocumentError with the library's message, the line and the
  // column for a file that cannot be read or parsed; the document is then
  // empty.
  void LoadFromFile(const std::string& FileName);
  void LoadFromString(const std::string& Text);
  // For files a document can name: keeps what was read before an error
  // and returns its message (empty when the file is well-formed). A NUL
  // reads as a blank; a file over MaxFileSize is not read.
  std::string LoadFromFileKeepingPart(const std::string& FileName);
  static constexpr size_t MaxFileSize = size_t{16} << 20;
  TXMLNode DocumentElement() const { return TXMLNode(FDocument.document_element()); }

 private:
  // The error's message, the document keeping what was read (Keep) or emptied.
  std::string Parse(const std::string& Text, const std::string& Where, bool Keep);
  void Load(const std::string& Text, const std::string& Where);
  pugi::xml_document FDocument;
};

}  // namespace kel
