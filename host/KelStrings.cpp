#include "host/KelStrings.h"

#include <utf8.h>

#include <iterator>

namespace kel {

namespace {
char Lower(char C) { return (C >= 'A' && C <= 'Z') ? static_cast<char>(C + 32) : C; }
char Upper(char C) { return (C >= 'a' && C <= 'z') ? static_cast<char>(C - 32) : C; }
}  // namespace

std::u16string Utf8ToUtf16(std::string_view S) {
  std::string Valid;
  utf8::replace_invalid(S.begin(), S.end(), std::back_inserter(Valid));
  std::u16string Out;
  utf8::utf8to16(Valid.begin(), Valid.end(), std::back_inserter(Out));
  return Out;
}

std::string Utf16ToUtf8(std::u16string_view S) {
  std::string Out;
  for (size_t I = 0; I < S.size(); ++I) {
    uint32_t C = S[I];
    if (C >= 0xD800 && C <= 0xDBFF && I + 1 < S.size() && S[I + 1] >= 0xDC00 && S[I + 1] <= 0xDFFF) {
      C = 0x10000 + ((C - 0xD800) << 10) + (S[I + 1] - 0xDC00);
      ++I;
    } else if (C >= 0xD800 && C <= 0xDFFF) {
      C = 0xFFFD;
    }
    utf8::append(C, std::back_inserter(Out));
  }
  return Out;
}

std::string LowerCase(std::string_view S) {
  std::string R(S);
  for (char& C : R) C = Lower(C);
  return R;
}

std::string UpperCase(std::string_view S) {
  std::string R(S);
  for (char& C : R) C = Upper(C);
  return R;
}

int CompareText(std::string_view A, std::string_view B) {
  const size_t N = A.size() < B.size() ? A.size() : B.size();
  for (size_t I = 0; I < N; ++I) {
    // Letters fold to upper case, so "_" and the other characters between Z
    // and a sort after every letter; the prefix filters rely on that order.
    const auto X = static_cast<unsigned char>(Upper(A[I]));
    const auto Y = static_cast<unsigned char>(Upper(B[I]));
    if (X != Y) return X < Y ? -1 : 1;
  }
  return A.size() == B.size() ? 0 : (A.size() < B.size() ? -1 : 1);
}

size_t TTextHash::operator()(std::string_view S) const noexcept {
  size_t H = 14695981039346656037ull;  // FNV-1a
  for (const char C : S) {
    H ^= static_cast<unsigned char>(Upper(C));
    H *= 1099511628211ull;
  }
  return H;
}

bool SameText(std::string_view A, std::string_view B) {
  return A.size() == B.size() && CompareText(A, B) == 0;
}

bool StartsWithText(std::string_view S, std::string_view Prefix) {
  return S.size() >= Prefix.size() && CompareText(S.substr(0, Prefix.size()), Prefix) == 0;
}

std::string Format(std::string_view Pattern, const std::vector<std::string>& Args) {
  std::string Msg;
  size_t Next = 0;
  for (size_t I = 0; I < Pattern.size(); ++I) {
    if (Pattern[I] == '%' && I + 1 < Pattern.size() && Pattern[I + 1] == 's') {
      if (Next < Args.size()) Msg += Args[Next++];
      ++I;
    } else {
      Msg += Pattern[I];
    }
  }
  return Msg;
}

std::string Clip(std::string_view S, size_t Max) {
  if (S.size() <= Max) return std::string(S);
  size_t Cut = Max;
  while (Cut > 0 && (static_cast<unsigned char>(S[Cut]) & 0xC0) == 0x80) --Cut;
  return std::string(S.substr(0, Cut)) + "\u2026";
}

}  // namespace kel
