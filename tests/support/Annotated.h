// Caret-marker texts for tests: "<a hr|ef>" is the text "<a href>" with the
// caret at byte offset 5. A case reads like the user's screen, and an expected
// result carries its caret too, so an edit that strays outside its range fails.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kel::test {

struct TAnnotated {
  std::string Text;
  int32_t Caret = -1;  // -1: the text has no marker
};

// Removes the first Marker and records its byte offset as the caret.
TAnnotated Annotate(std::string_view Marked, char Marker = '|');

// The inverse: Text with Marker written at Caret.
std::string Mark(std::string_view Text, int32_t Caret, char Marker = '|');

}  // namespace kel::test
