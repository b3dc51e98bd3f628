// String helpers shared by all layers: UTF-8 <-> UTF-16 for attribute values
// and host texts, and the ASCII letter-case operations that name comparison
// uses (markup names compare without regard to ASCII case only).
//
// Example: Utf8ToUtf16("caf\xC3\xA9") == u"café"; SameText("TD", "td") is true.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kel {

// Malformed UTF-8 never fails: each invalid byte becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view S);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view S);

std::string LowerCase(std::string_view S);
std::string UpperCase(std::string_view S);
bool SameText(std::string_view A, std::string_view B);
// <0, 0, >0 as A sorts before, with or after B, ignoring ASCII case (letters
// folded to upper case: "tab_" sorts after "tabz").
int CompareText(std::string_view A, std::string_view B);
bool StartsWithText(std::string_view S, std::string_view Prefix);
// Each %s of Pattern takes the next argument (none left: nothing).
std::string Format(std::string_view Pattern, const std::vector<std::string>& Args);
// S cut to at most Max bytes between characters, with "…" when cut: what a
// message quotes of a document can be a whole file long.
std::string Clip(std::string_view S, size_t Max = 80);

// Hash and equality of names ignoring ASCII case, for maps looked up by any
// spelling without making an upper-case copy.
struct TTextHash {
  using is_transparent = void;
  size_t operator()(std::string_view S) const noexcept;
};
struct TTextEqual {
  using is_transparent = void;
  bool operator()(std::string_view A, std::string_view B) const noexcept { return SameText(A, B); }
};

}  // namespace kel
