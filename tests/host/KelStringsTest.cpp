#include <gtest/gtest.h>

#include "host/KelStrings.h"

namespace kel {
namespace {

TEST(Strings, Utf8AndUtf16RoundTrip) {
  for (const std::string S : {"", "abc", "caf\xC3\xA9", "\xE2\x82\xAC 5", "\xF0\x9F\x98\x80!"})
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(S)), S) << S;
  EXPECT_EQ(Utf8ToUtf16("caf\xC3\xA9"), u"caf\u00E9");
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80").size(), 2u);  // a surrogate pair
}

TEST(Strings, MalformedInputBecomesReplacementCharacters) {
  EXPECT_EQ(Utf8ToUtf16("a\xFF"
                        "b"),
            u"a\uFFFDb");
  EXPECT_EQ(Utf8ToUtf16("a\xC3"), u"a\uFFFD");  // cut sequence at the end
  EXPECT_EQ(Utf16ToUtf8(std::u16string(u"x") + char16_t(0xD800) + u"y"), "x\xEF\xBF\xBDy");
}

// Cut between characters, never inside one.
TEST(Strings, ClipKeepsWholeCharacters) {
  const struct {
    std::string In;
    size_t Max;
    std::string Out;
  } Cases[] = {
      {"abc", 3, "abc"},
      {"abcd", 3, "abc\u2026"},
      {"a\xC3\xA9z", 2, "a\u2026"},
      {"a\xC3\xA9z", 3, "a\xC3\xA9\u2026"},
      {"\xF0\x9F\x98\x80\xF0\x9F\x98\x80", 5, "\xF0\x9F\x98\x80\u2026"},
  };
  for (const auto& C : Cases) EXPECT_EQ(Clip(C.In, C.Max), C.Out) << C.In << " " << C.Max;
}

}  // namespace
}  // namespace kel
