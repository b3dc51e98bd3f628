#include "tests/support/Annotated.h"

namespace kel::test {

TAnnotated Annotate(std::string_view Marked, char Marker) {
  TAnnotated R;
  const size_t At = Marked.find(Marker);
  if (At == std::string_view::npos) {
    R.Text = std::string(Marked);
    return R;
  }
  R.Text = std::string(Marked.substr(0, At)) + std::string(Marked.substr(At + 1));
  R.Caret = static_cast<int32_t>(At);
  return R;
}

std::string Mark(std::string_view Text, int32_t Caret, char Marker) {
  std::string R(Text);
  if (Caret >= 0 && static_cast<size_t>(Caret) <= R.size()) R.insert(static_cast<size_t>(Caret), 1, Marker);
  return R;
}

}  // namespace kel::test
