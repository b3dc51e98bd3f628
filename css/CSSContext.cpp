#include "css/CSSContext.h"

#include <algorithm>
#include <unordered_set>

#include "css/CSSTree.h"
#include "host/KelStrings.h"

namespace kel {

namespace {

std::string_view Trim(std::string_view S) {
  while (!S.empty() && IsCSSBlank(S.front())) S.remove_prefix(1);
  while (!S.empty() && IsCSSBlank(S.back())) S.remove_suffix(1);
  return S;
}

std::string_view TrimLeft(std::string_view S) {
  while (!S.empty() && IsCSSBlank(S.front())) S.remove_prefix(1);
  return S;
}

// The name chars that end S: what is being typed.
size_t WordStart(std::string_view S) {
  size_t I = S.size();
  while (I > 0 && IsCSSNameChar(S[I - 1])) --I;
  return I;
}

bool AllName(std::string_view S) { return std::all_of(S.begin(), S.end(), IsCSSNameChar); }

std::string AtRuleName(std::string_view Statement) {
  size_t E = 1;
  while (E < Statement.size() && IsCSSNameChar(Statement[E])) ++E;
  return LowerCase(std::string(Statement.substr(1, E - 1)));
}

enum class TBlock { Rules, Rule, Declarations, Frames };

TCSSContext Selector(std::string_view S, TCSSContext C) {
  // Inside an attribute selector nothing is offered.
  if (std::count(S.begin(), S.end(), '[') > std::count(S.begin(), S.end(), ']')) return C;
  const size_t W = WordStart(S);
  const char Before = W > 0 ? S[W - 1] : ' ';
  if (Before == ':')
    C.Place = W > 1 && S[W - 2] == ':' ? TCSSPlace::PseudoElement : TCSSPlace::PseudoClass;
  else if (IsCSSBlank(Before) || Before == '>' || Before == '+' || Before == '~' || Before == ',' ||
           Before == '(' || Before == '{' || Before == '}')
    C.Place = TCSSPlace::Element;
  return C;
}

TCSSContext Value(std::string_view V, TCSSContext C) {
  std::vector<std::string> Functions;
  for (size_t I = 0; I < V.size(); ++I) {
    if (V[I] == '(') {
      const size_t W = WordStart(V.substr(0, I));
      Functions.push_back(LowerCase(std::string(V.substr(W, I - W))));
    } else if (V[I] == ')' && !Functions.empty()) {
      Functions.pop_back();
    }
  }
  C.Function = Functions.empty() ? std::string() : Functions.back();
  if (C.Function == "url") return C;
  const size_t W = WordStart(V);
  if (W > 0 && V[W - 1] == '!') {
    C.Place = TCSSPlace::Important;
    return C;
  }
  C.Place = TCSSPlace::Value;
  C.FirstValue = Trim(V.substr(0, W)).empty();
  return C;
}

}  // namespace

namespace detail {

TCSSContext FindCSSContext(std::string_view Text, bool (*IsProperty)(const void*, std::string_view),
                           const void* Data) {
  TCSSContext C;
  struct TOpen {
    TBlock Kind;
    std::string AtRule;
  };
  std::vector<TOpen> Blocks{{TBlock::Rules, {}}};
  size_t Start = 0;  // of the statement under way
  std::unordered_set<std::string_view> CustomSeen;
  const size_t N = Text.size();
  for (size_t I = 0; I < N; ++I) {
    const char Ch = Text[I];
    if (Ch == '/' && I + 1 < N && Text[I + 1] == '*') {
      const size_t End = Text.find("*/", I + 2);
      if (End == std::string_view::npos) return C;  // in a comment
      // A comment is no part of the statement's text.
      if (Trim(Text.substr(Start, I - Start)).empty()) Start = End + 2;
      I = End + 1;
    } else if (Ch == '"' || Ch == '\'') {
      size_t J = I + 1;
      while (J < N && Text[J] != Ch && Text[J] != '\n') J += Text[J] == '\\' ? 2 : 1;
      if (J >= N) return C;  // in a string
      I = J;
    } else if (Ch == '(' && I >= 3 && SameText(Text.substr(I - 3, 3), "url")) {
      const size_t End = Text.find(')', I);
      if (End == std::string_view::npos) {
        C.Place = TCSSPlace::Url;
        return C;
      }
      I = End;
    } else if (Ch == '{') {
      const std::string_view S = Trim(Text.substr(Start, I - Start));
      const TBlock Parent = Blocks.back().Kind;
      TOpen Open{TBlock::Rule, Blocks.back().AtRule};
      if (!S.empty() && S[0] == '@') {
        Open.AtRule = AtRuleName(S);
        if (Open.AtRule.ends_with("keyframes"))
          Open.Kind = TBlock::Frames;
        else if (Open.AtRule == "font-face" || Open.AtRule == "page" || Open.AtRule == "property" ||
                 Open.AtRule == "counter-style" || Open.AtRule == "font-palette-values")
          Open.Kind = TBlock::Declarations;
        else
          Open.Kind = Parent == TBlock::Rule ? TBlock::Rule : TBlock::Rules;
      } else if (Parent == TBlock::Frames) {
        Open.Kind = TBlock::Declarations;
      }
      Blocks.push_back(Open);
      Start = I + 1;
    } else if (Ch == '}') {
      if (Blocks.size() > 1) Blocks.pop_back();
      Start = I + 1;
    } else if (Ch == ';') {
      Start = I + 1;
    } else if (Ch == ':') {
      const std::string_view Name = Trim(Text.substr(Start, I - Start));
      if (Name.size() > 2 && Name.starts_with("--") && AllName(Name) && CustomSeen.insert(Name).second)
        C.CustomProperties.emplace_back(Name);
    }
  }

  const std::string_view S = TrimLeft(Text.substr(Start));
  const TOpen& Block = Blocks.back();
  C.AtRule = Block.AtRule;
  if (!S.empty() && S[0] == '@') {
    C.Within = Block.Kind == TBlock::Rule ? "rule" : Block.AtRule;
    C.AtRule = AtRuleName(S);
    C.InPrelude = true;
    if (AllName(S.substr(1))) {
      C.Place = TCSSPlace::AtRule;
      return C;
    }
    // The condition in the innermost open parenthesis: "(name" or "(name: v".
    size_t Open = std::string_view::npos;
    for (size_t I = 0, Depth = 0; I < S.size(); ++I)
      if (S[I] == '(') {
        Open = I;
        ++Depth;
      } else if (S[I] == ')' && Depth > 0 && --Depth == 0) {
        Open = std::string_view::npos;
      }
    const std::string_view Condition =
        Open == std::string_view::npos ? std::string_view() : S.substr(Open + 1);
    const size_t Colon = Condition.find(':');
    const std::string_view Name = Trim(Condition.substr(0, Colon));
    if (C.AtRule == "supports") {
      // @supports asks about declarations: properties, then their values.
      if (Open == std::string_view::npos) {
        C.Place = TCSSPlace::MediaQuery;
      } else if (Colon == std::string_view::npos) {
        if (AllName(Name)) C.Place = TCSSPlace::Property;
      } else if (AllName(Name)) {
        C.Property = LowerCase(std::string(Name));
        C = Value(Condition.substr(Colon + 1), C);
      }
    } else if (C.AtRule == "media" || C.AtRule == "container" || C.AtRule == "import" ||
               C.AtRule == "custom-media") {
      C.Place = TCSSPlace::MediaQuery;
      if (Colon != std::string_view::npos && AllName(Name)) {
        C.Place = TCSSPlace::MediaValue;
        C.Feature = LowerCase(std::string(Name));
      }
    }
    return C;
  }
  if (Block.Kind == TBlock::Frames) {
    if (AllName(S)) C.Place = TCSSPlace::Keyframe;
    return C;
  }
  if (Block.Kind == TBlock::Rules) return Selector(S, C);
  // A declaration block; in a rule block also a nested rule's selector.
  const size_t Colon = S.find(':');
  if (Colon == std::string_view::npos) {
    if (AllName(S)) {
      C.Place = TCSSPlace::Property;
      return C;
    }
    return Block.Kind == TBlock::Rule ? Selector(S, C) : C;
  }
  const std::string_view Name = Trim(S.substr(0, Colon));
  // "name: " with a blank is a declaration even of an unknown property;
  // "li:ho" in a rule block is a nested rule's selector, but a name no
  // element has ("-webkit-appearance:", "word-wrap:") is a property we do
  // not list: after its ":" come values, never pseudo-classes.
  const bool Blank = Colon + 1 < S.size() && IsCSSBlank(S[Colon + 1]);
  const auto IsElement = [](std::string_view N) {
    const auto& E = CSSElementNames();
    return std::binary_search(E.begin(), E.end(), LowerCase(std::string(N)));
  };
  if (Block.Kind == TBlock::Declarations ||
      (AllName(Name) && (Name.starts_with("--") || Blank || IsProperty(Data, Name) || !IsElement(Name)))) {
    C.Property = LowerCase(std::string(Name));
    return Value(S.substr(Colon + 1), C);
  }
  return Selector(S, C);
}

}  // namespace detail

std::vector<std::string> CSSCustomProperties(std::string_view Sheet) {
  // "--name" where a declaration starts ("{" or ";" before it) with ":"
  // after it: found at find()'s pace, a megabyte in well under a millisecond.
  std::vector<std::string> Names;
  std::unordered_set<std::string_view> Seen;
  for (size_t At = Sheet.find("--"); At != std::string_view::npos; At = Sheet.find("--", At + 2)) {
    size_t Before = At;
    while (Before > 0 && IsCSSBlank(Sheet[Before - 1])) --Before;
    if (Before > 0 && Sheet[Before - 1] != '{' && Sheet[Before - 1] != ';') continue;
    size_t End = At + 2;
    while (End < Sheet.size() && IsCSSNameChar(Sheet[End])) ++End;
    size_t Colon = End;
    while (Colon < Sheet.size() && IsCSSBlank(Sheet[Colon])) ++Colon;
    if (End == At + 2 || Colon >= Sheet.size() || Sheet[Colon] != ':') continue;
    if (Seen.insert(Sheet.substr(At, End - At)).second) Names.emplace_back(Sheet.substr(At, End - At));
    At = End - 2;
  }
  return Names;
}

// Facts of the HTML and CSS standards that the lists offer where no property
// of css.xml is in play.
const std::vector<std::string>& CSSElementNames() {
  static const std::vector<std::string> Names = {
      "a",      "abbr",     "address",    "area",   "article",  "aside",  "audio",    "b",          "base",
      "bdi",    "bdo",      "blockquote", "body",   "br",       "button", "canvas",   "caption",    "cite",
      "code",   "col",      "colgroup",   "data",   "datalist", "dd",     "del",      "details",    "dfn",
      "dialog", "div",      "dl",         "dt",     "em",       "embed",  "fieldset", "figcaption", "figure",
      "footer", "form",     "h1",         "h2",     "h3",       "h4",     "h5",       "h6",         "head",
      "header", "hgroup",   "hr",         "html",   "i",        "iframe", "img",      "input",      "ins",
      "kbd",    "label",    "legend",     "li",     "link",     "main",   "map",      "mark",       "math",
      "menu",   "meta",     "meter",      "nav",    "noscript", "object", "ol",       "optgroup",   "option",
      "output", "p",        "picture",    "pre",    "progress", "q",      "rp",       "rt",         "ruby",
      "s",      "samp",     "script",     "search", "section",  "select", "slot",     "small",      "source",
      "span",   "strong",   "style",      "sub",    "summary",  "sup",    "svg",      "table",      "tbody",
      "td",     "template", "textarea",   "tfoot",  "th",       "thead",  "time",     "title",      "tr",
      "track",  "u",        "ul",         "var",    "video",    "wbr"};
  return Names;
}

const std::vector<std::string>& CSSPseudoClasses() {
  static const std::vector<std::string> Names = {"active",
                                                 "any-link",
                                                 "autofill",
                                                 "checked",
                                                 "default",
                                                 "defined",
                                                 "dir()",
                                                 "disabled",
                                                 "empty",
                                                 "enabled",
                                                 "first",
                                                 "first-child",
                                                 "first-of-type",
                                                 "focus",
                                                 "focus-visible",
                                                 "focus-within",
                                                 "fullscreen",
                                                 "has()",
                                                 "host",
                                                 "hover",
                                                 "in-range",
                                                 "indeterminate",
                                                 "invalid",
                                                 "is()",
                                                 "lang()",
                                                 "last-child",
                                                 "last-of-type",
                                                 "left",
                                                 "link",
                                                 "modal",
                                                 "not()",
                                                 "nth-child()",
                                                 "nth-last-child()",
                                                 "nth-last-of-type()",
                                                 "nth-of-type()",
                                                 "only-child",
                                                 "only-of-type",
                                                 "optional",
                                                 "out-of-range",
                                                 "paused",
                                                 "picture-in-picture",
                                                 "placeholder-shown",
                                                 "playing",
                                                 "popover-open",
                                                 "read-only",
                                                 "read-write",
                                                 "required",
                                                 "right",
                                                 "root",
                                                 "scope",
                                                 "target",
                                                 "user-invalid",
                                                 "user-valid",
                                                 "valid",
                                                 "visited",
                                                 "where()"};
  return Names;
}

const std::vector<std::string>& CSSPseudoElements() {
  static const std::vector<std::string> Names = {
      "after",        "backdrop",    "before",        "cue",         "file-selector-button",
      "first-letter", "first-line",  "grammar-error", "highlight()", "marker",
      "part()",       "placeholder", "selection",     "slotted()",   "spelling-error",
      "target-text"};
  return Names;
}

const std::vector<std::string>& CSSAtRules() {
  static const std::vector<std::string> Names = {
      "charset",  "container", "counter-style",  "font-face", "font-feature-values", "font-palette-values",
      "import",   "keyframes", "layer",          "media",     "namespace",           "page",
      "property", "scope",     "starting-style", "supports"};
  return Names;
}

const std::vector<std::string>& CSSMediaWords() {
  static const std::vector<std::string> Names = {"all",
                                                 "and",
                                                 "any-hover",
                                                 "any-pointer",
                                                 "aspect-ratio",
                                                 "color",
                                                 "color-gamut",
                                                 "color-index",
                                                 "display-mode",
                                                 "dynamic-range",
                                                 "forced-colors",
                                                 "grid",
                                                 "height",
                                                 "hover",
                                                 "inverted-colors",
                                                 "max-aspect-ratio",
                                                 "max-height",
                                                 "max-resolution",
                                                 "max-width",
                                                 "min-aspect-ratio",
                                                 "min-height",
                                                 "min-resolution",
                                                 "min-width",
                                                 "monochrome",
                                                 "not",
                                                 "only",
                                                 "or",
                                                 "orientation",
                                                 "overflow-block",
                                                 "overflow-inline",
                                                 "pointer",
                                                 "prefers-color-scheme",
                                                 "prefers-contrast",
                                                 "prefers-reduced-motion",
                                                 "prefers-reduced-transparency",
                                                 "print",
                                                 "resolution",
                                                 "screen",
                                                 "scripting",
                                                 "selector()",
                                                 "update",
                                                 "width"};
  return Names;
}

}  // namespace kel
