#include "host/KelXMLDocument.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace kel {

bool TXMLNode::HasAttribute(const std::string& Name) const {
  return static_cast<bool>(FNode.attribute(Name.c_str()));
}

std::string TXMLNode::Attribute(const std::string& Name) const {
  return FNode.attribute(Name.c_str()).value();
}

bool TXMLNode::AttributeAsBoolean(const std::string& Name) const {
  return FNode.attribute(Name.c_str()).as_bool(false);
}

std::vector<TXMLAttribute> TXMLNode::Attributes() const {
  std::vector<TXMLAttribute> Result;
  for (pugi::xml_attribute A : FNode.attributes()) Result.push_back({A.name(), A.value()});
  return Result;
}

TXMLNodeList TXMLNode::ChildNodes() const {
  std::vector<TXMLNode> Nodes;
  for (pugi::xml_node N : FNode.children()) Nodes.emplace_back(N);
  return TXMLNodeList(std::move(Nodes));
}

TXMLNode TXMLNodeList::Item(int32_t Index) const {
  if (Index < 0 || Index >= Count()) return TXMLNode();
  return FNodes[static_cast<size_t>(Index)];
}

TXMLNode TXMLNodeList::FindNode(const std::string& Name) const {
  auto It =
      std::find_if(FNodes.begin(), FNodes.end(), [&](const TXMLNode& N) { return N.NodeName() == Name; });
  return It == FNodes.end() ? TXMLNode() : *It;
}

void TXMLDocument::LoadFromFile(const std::string& FileName) {
  std::ifstream In(FileName, std::ios::binary);
  if (!In) {
    FDocument.reset();
    throw EXMLDocumentError("Cannot open file " + FileName);
  }
  std::ostringstream Text;
  Text << In.rdbuf();
  Load(Text.str(), FileName);
}

void TXMLDocument::LoadFromString(const std::string& Text) { Load(Text, ""); }

std::string TXMLDocument::LoadFromFileKeepingPart(const std::string& FileName) {
  FDocument.reset();
  std::error_code Ec;
  if (!std::filesystem::is_regular_file(FileName, Ec)) return "Cannot open file " + FileName;
  if (std::filesystem::file_size(FileName, Ec) > MaxFileSize)
    return FileName + " is too large for a schema; it is not read";
  std::ifstream In(FileName, std::ios::binary);
  std::ostringstream Buffer;
  if (!In || !(Buffer << In.rdbuf())) return "Cannot open file " + FileName;
  std::string Text = Buffer.str();
  std::replace(Text.begin(), Text.end(), '\0', ' ');
  return Parse(Text, FileName, true);
}

void TXMLDocument::Load(const std::string& Text, const std::string& Where) {
  if (std::string Error = Parse(Text, Where, false); !Error.empty()) throw EXMLDocumentError(Error);
}

std::string TXMLDocument::Parse(const std::string& Text, const std::string& Where, bool Keep) {
  pugi::xml_parse_result R = FDocument.load_buffer(Text.data(), Text.size());
  if (R) return {};
  if (!Keep) FDocument.reset();
  // The library reports a byte offset; people look for a line and a column.
  size_t Offset = std::min(static_cast<size_t>(std::max<ptrdiff_t>(R.offset, 0)), Text.size());
  int32_t Line = 1;
  size_t LineStart = 0;
  // CR LF, LF and CR each end a line, as in the editor.
  for (size_t I = 0; I < Offset; ++I)
    if (Text[I] == '\n' || (Text[I] == '\r' && (I + 1 >= Text.size() || Text[I + 1] != '\n'))) {
      ++Line;
      LineStart = I + 1;
    }
  std::string Msg = R.description();
  Msg += " (";
  if (!Where.empty()) Msg += Where + ", ";
  Msg += "line " + std::to_string(Line) + ", column " + std::to_string(Offset - LineStart + 1) + ")";
  return Msg;
}

}  // namespace kel
