// Writing an attribute value into the buffer: each case of the replacement,
// checked against the whole resulting text and the caret.
#include <gtest/gtest.h>

#include "completion/HTMLCodCmplt.h"
#include "tests/support/Annotated.h"
#include "tests/support/TestHost.h"

namespace kel {
namespace {

struct TCase {
  const char* Name;
  const char* Marked;
  const char16_t* New;
  const char16_t* Old;
  int32_t AttrStart, AttrEnd, TagEnd, ValueStart;
  char Quote, QuoteEnd;
  bool InString;
  bool InsertQuotes;
  bool Result;
  const char* Expected;
};

TEST(ReplaceAttributeValue, EachCaseWritesOnlyItsRange) {
  // Offsets in <td align="left" x>: align 4..16, its value after '=' at 10, '>' at 18.
  const TCase Cases[] = {
      {"remove", "<td align=\"left\" x>|", u"", u"left", 4, 16, 18, 10, '"', '"', false, false, true,
       "<td  x>|"},
      {"replace a quoted value", "<td align=\"left\" x>|", u"right", u"left", 4, 16, 18, 10, '"', '"', false,
       false, true, "<td align=\"|right\" x>"},
      {"replace an unquoted value", "<td align=left x>|", u"right", u"left", 4, 14, 16, 10, 0, 0, false,
       false, true, "<td align=|right x>"},
      {"quoted when asked", "<td align=left x>|", u"right", u"left", 4, 14, 16, 10, 0, 0, false, true, true,
       "<td align=\"|right\" x>"},
      {"a blank forces quotes", "<td align=left x>|", u"a b", u"left", 4, 14, 16, 10, 0, 0, false, false,
       true, "<td align=\"|a b\" x>"},
      {"an unterminated old value is closed", "<td align=\"left x>|", u"right", u"left", 4, 15, 17, 10, '"',
       0, false, false, true, "<td align=\"|right\" x>"},
      {"not yet written", "<td x>|", u"left", u"", 0, 0, 5, 0, 0, 0, false, false, true,
       "<td x align=\"left|\">"},
      {"not yet written, holding a double quote", "<td x>|", u"say \"hi\"", u"", 0, 0, 5, 0, 0, 0, false,
       false, true, "<td x align='say \"hi\"|'>"},
      {"in the string at the caret", "<td align=\"\" x>|", u"left", u"", 4, 12, 14, 10, '"', '"', true, false,
       true, "<td align=\"|left\" x>"},
      {"the same value changes nothing", "<td align=\"left\">|", u"left", u"left", 4, 16, 16, 10, '"', '"',
       false, false, false, "<td align=\"left\">|"},
      {"offset 0 is refused", "<td x>|", u"left", u"", 0, 0, 0, 0, 0, 0, false, false, false, "<td x>|"},
  };
  for (const auto& C : Cases) {
    test::TTestHost Test;
    const auto View = Test.OpenView(C.Marked);
    TMLKibitzManager M;
    M.SetInsertQuotes(C.InsertQuotes);
    TParserContextSet Contexts;
    if (C.InString) Contexts.Include(TParserContexts::pcString);
    EXPECT_EQ(M.ReplaceAttributeValue("align", C.New, C.Old, C.AttrStart, C.AttrEnd, C.TagEnd, C.ValueStart,
                                      View.get(), C.Quote, C.QuoteEnd, Contexts, false, true),
              C.Result)
        << C.Name;
    EXPECT_EQ(test::Mark(View->Text(), View->CaretOffset()), C.Expected) << C.Name;
    EXPECT_LE(View->UndoCount(), 1) << C.Name << ": one undo step";
  }
}

}  // namespace
}  // namespace kel
