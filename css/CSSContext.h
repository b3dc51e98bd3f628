// Where the caret stands in a style sheet of today's CSS: in a selector
// (element, pseudo-class, pseudo-element), after "@", in an at-rule's
// prelude, at a property name in any block (nested rules, @media, @supports,
// @layer, @container, @font-face, @page, keyframe frames) or in a value, and
// there inside which function. One linear pass over the text before the caret.
//
// Example: "@media screen { .a { &:hover { color: r|" is a value of color
// with "r" typed; ".nav li:fo|" is a pseudo-class with "fo" typed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kel {

enum class TCSSPlace {
  None,           // comment, string, url(), a class or id name, between rules
  Element,        // a type selector
  PseudoClass,    // after ":" in a selector
  PseudoElement,  // after "::"
  AtRule,         // after "@"
  MediaQuery,     // in the prelude of @media, @container, @import: a feature or a word
  MediaValue,     // after "(feature:" in such a prelude
  Keyframe,       // a frame selector in @keyframes
  Property,       // a declaration's name
  Value,          // a declaration's value
  Important,      // after "!" in a value
  Url,            // inside url( of a value or @import
};

struct TCSSContext {
  TCSSPlace Place = TCSSPlace::None;
  std::string Property;  // for Value: the declaration's property, lower case
  std::string Function;  // for Value: the innermost open function ("var", "calc"), lower case
  std::string AtRule;    // the innermost at-rule around or being written, lower case, without "@"
  std::string Feature;   // for MediaValue: the media or container feature, lower case
  // For AtRule: the at-rule whose block holds the caret ("page"), "rule" in
  // a style rule, empty at the top.
  std::string Within;
  bool InPrelude = false;  // in an at-rule's prelude (@supports (display: |)
  bool FirstValue = true;  // for Value: nothing of the value before the word typed
  std::vector<std::string> CustomProperties;  // "--name" declared before the caret, each once
};

// IsProperty tells a known property name from a nested selector ("color:"
// versus "a:hover" at the start of a statement in a rule block).
template <class IsPropertyFn>
TCSSContext FindCSSContext(std::string_view Text, IsPropertyFn IsProperty);

// The custom properties a whole sheet declares ("--brand"), each once, in order.
std::vector<std::string> CSSCustomProperties(std::string_view Sheet);

// The names the lists offer where no schema property is in play.
const std::vector<std::string>& CSSElementNames();
const std::vector<std::string>& CSSPseudoClasses();
const std::vector<std::string>& CSSPseudoElements();
const std::vector<std::string>& CSSAtRules();
const std::vector<std::string>& CSSMediaWords();

namespace detail {
TCSSContext FindCSSContext(std::string_view Text, bool (*IsProperty)(const void*, std::string_view),
                           const void* Data);
}

template <class IsPropertyFn>
TCSSContext FindCSSContext(std::string_view Text, IsPropertyFn IsProperty) {
  return detail::FindCSSContext(
      Text, [](const void* D, std::string_view N) { return (*static_cast<const IsPropertyFn*>(D))(N); },
      &IsProperty);
}

}  // namespace kel
