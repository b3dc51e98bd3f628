// The structure of a style sheet's text with the ranges of its parts: rules
// with their selectors and blocks, at-rules with their preludes, declarations
// with their property names and values, comments; nested rules inside blocks.
// A page's style regions and a .css file each get one, so that what stands
// where in a sheet (a colour's declaration, an outline, a fold) is read from
// here, not guessed from braces by each feature.
//
// Example: "a, b { color: red !important; @media x { p {} } }" gives a rule
// (selector "a, b") holding the declaration color (value "red", important)
// and the at-rule @media (prelude "x") holding the rule p.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "markup/MLTree.h"

namespace kel {

// A character of a CSS name (a backslash starts an escape in one), and CSS's white space.
bool IsCSSNameChar(char C);
bool IsCSSBlank(char C);

enum class TCSSItemKind : uint8_t { Rule, AtRule, Declaration, Comment };

struct TCSSItem {
  static constexpr uint32_t None = UINT32_MAX;
  TCSSItemKind Kind = TCSSItemKind::Rule;
  bool Important = false;  // a declaration's "!important"
  // The block's "}" or the declaration's ";" (or the block's end) is written.
  bool Terminated = true;
  uint32_t Parent = None;
  uint32_t Next = 0;  // the index after this node's subtree (nodes are in text order)
  TMLRange Range;     // the whole node
  TMLRange Name;      // a rule's selector, an at-rule's name with its '@', a property
  TMLRange Prelude;   // what an at-rule says between its name and its block or ';'
  TMLRange Block;     // inside the braces; empty without a block
  TMLRange Value;     // a declaration's value, without "!important"
  friend bool operator==(const TCSSItem&, const TCSSItem&) = default;
};

class TCSSTree {
 public:
  // The sheet in Text[From, To). Declarations: the text is one block's
  // content (a style attribute's value).
  static TCSSTree Build(std::string_view Text, uint32_t From, uint32_t To, bool Declarations);

  std::vector<TCSSItem> Nodes;
};

}  // namespace kel
