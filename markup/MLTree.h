// The syntax tree of a whole page, and the regions of the languages in it.
// Every feature that asks "what is here" reads this answer instead of
// scanning the text again: which manager serves a caret, the element code
// under it, colours, and what is to come (problems, outline, folding).
//
// Example: in "<p style='color:red'><style>a{}</style>" the tree holds p with
// its style attribute and, inside it, style with one text child; the regions
// are "color:red" (declarations) and "a{}" (a style sheet), the rest is markup.
//
// HTML is read as browsers read it: raw-text bodies (script, style,
// textarea…), void elements, end tags a sibling or a parent's end implies.
// In XML every '<' opens markup, so a literal <style> of an XSL template holds
// elements and entity references between the pieces of its sheet.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kel {

struct TMLRange {
  uint32_t Start = 0, End = 0;  // byte offsets, End past the last byte
  bool Holds(uint32_t Offset) const { return Start <= Offset && Offset < End; }
  friend bool operator==(const TMLRange&, const TMLRange&) = default;
};

enum class TMLNodeKind : uint8_t {
  Element,
  Comment,
  CData,
  ProcessingInstruction,
  DocType,
  Server,       // <% %>, <%= %>, <%# %>, <%@ %>, <%-- --%>
  StrayEndTag,  // an end tag no open element takes
};

// How an element ends.
enum class TMLEnd : uint8_t {
  Written,     // its end tag
  SelfClosed,  // "/>" where that closes (XML, SVG and MathML in a page)
  Void,        // an HTML element that has no content (br, img…)
  Omitted,     // an end tag HTML lets a sibling, a parent's end or the page's end imply
  Unclosed,    // an end tag is due and never comes
};

struct TMLAttribute {
  TMLRange Name;
  TMLRange Value;  // inside the quotes; empty at the name's end when there is no value
  char Quote = 0;  // '"', '\'' or 0 (unquoted or no value)
  bool HasValue = false;
  friend bool operator==(const TMLAttribute&, const TMLAttribute&) = default;
};

// A page holds a node for every '<' that opens markup (elements, end tags
// no element takes, comments…); text is what lies between them. 44 bytes:
// the whole range and the content follow from the tags.
struct TMLNode {
  static constexpr uint32_t None = UINT32_MAX;
  TMLNodeKind Kind = TMLNodeKind::Element;
  TMLEnd End = TMLEnd::Written;
  bool Terminated =
      true;  // its closing delimiter is written ('>', "-->", "]]>", "?>", "%>"); a start tag's '>'
  bool CloseTerminated = true;  // an end tag's '>'
  uint32_t Parent = None;
  uint32_t Next = 0;  // the index after this node's subtree (nodes are in document order)
  TMLRange Name;      // the element's or end tag's name, a DOCTYPE's or instruction's name
  TMLRange Open;      // an element's start tag; the opening delimiter of others
  TMLRange Close;     // an element's end tag (empty unless written); the closing delimiter of others
  // Its attributes start here and run to the next node's first (TMLTree::AttributesOf).
  uint32_t FirstAttribute = 0;
  // The whole node, end tag included.
  TMLRange Range() const { return {Open.Start, std::max(Open.End, Close.End)}; }
  // Between start and end tag; a comment's or section's inside; a DOCTYPE's
  // identifiers and internal subset.
  TMLRange Content() const {
    const uint32_t S = Kind == TMLNodeKind::DocType ? Name.End : Open.End;
    return {S, std::max(S, Close.Start)};
  }
  friend bool operator==(const TMLNode&, const TMLNode&) = default;
};
// A 100 MB page holds some 3.5 million of them.
static_assert(sizeof(TMLNode) == 40);

enum class TMLRegionKind : uint8_t {
  Markup,
  StyleSheet,         // a <style> body: rules
  StyleDeclarations,  // a style="" value: one block's declarations
  Script,
  RawText,     // textarea, title, xmp… bodies: text, never markup
  ServerCode,  // inside <% %>, <%= %>, <?php ?>
};

struct TMLRegion {
  TMLRegionKind Kind = TMLRegionKind::Markup;
  TMLRange Range;
  // The element or attribute whose text this is (index into Nodes or
  // Attributes): an XML style element gives several pieces of one sheet.
  uint32_t Owner = TMLNode::None;
  // A caret right at Range.Start belongs here (after a tag's '>' or a
  // quote), not after an entity reference that ends before it.
  bool OpenAtStart = true;
  friend bool operator==(const TMLRegion&, const TMLRegion&) = default;
};

class TMLTree {
 public:
  // Xml: the document is XML (its declaration, an XHTML DOCTYPE or its file
  // type say so); pages that say nothing are HTML.
  static TMLTree Build(std::string_view Text, bool Xml);
  // The tree of Text, the text Old was built from after one edit: its bytes
  // [Start, OldEnd) became Text[Start, NewEnd). Equal, node for node, to
  // Build(Text, …) with Old's argument; only the part from a node before the
  // edit up to where the reading is in the state it was in before is read
  // again, the rest is taken from Old.
  static TMLTree Rebuild(const TMLTree& Old, std::string_view Text, uint32_t Start, uint32_t OldEnd,
                         uint32_t NewEnd);
  // The same in Old's storage: the part before the edit is not copied, and
  // a large page's keystroke holds one tree and a copy of what follows the
  // edit, never two trees.
  static TMLTree Rebuild(TMLTree&& Old, std::string_view Text, uint32_t Start, uint32_t OldEnd,
                         uint32_t NewEnd);
  // Whether a file of this name is XML whatever it declares (.xhtml, .svg,
  // .xsl, .wml, .resx…).
  static bool XmlByName(std::string_view Path);

  std::vector<TMLNode> Nodes;
  std::vector<TMLAttribute> Attributes;
  // Every region that is not markup, in document order; markup is the rest.
  std::vector<TMLRegion> Regions;
  // The named character references ("&amp;", from '&' to ';') of markup text
  // and of attribute values, in document order; raw text and server code
  // hold none.
  std::vector<TMLRange> References;
  uint32_t Length = 0;    // of the text read
  bool XmlGiven = false;  // Build's argument
  bool Xml = false;       // what the document turned out to be

  // A start tag's attributes, in the order written.
  std::span<const TMLAttribute> AttributesOf(uint32_t Node) const;
  // The region that holds a caret at Offset (markup when none does).
  const TMLRegion* RegionAt(uint32_t Offset) const;
  // The innermost node holding the byte at Offset; None outside every node.
  uint32_t NodeAt(uint32_t Offset) const;
  // The element code an editor colours the caret at Offset with: the state
  // after the text before it (TKelElement: comment, script, identifier in a
  // tag, white space elsewhere and in style sheets).
  int32_t ElementCodeAt(uint32_t Offset) const;
  // The text of the sheet a style region belongs to, up to Upto, from its
  // first piece: the markup between pieces (XSL elements, references) reads
  // as blanks. A style attribute's text is wrapped as a rule's block.
  std::string SheetText(std::string_view Text, const TMLRegion& Region, uint32_t Upto) const;
};

}  // namespace kel
