#include <gtest/gtest.h>

#include "host/KelEncoding.h"

namespace kel {
namespace {

TEST(KelEncoding, DecodesByMarkDeclarationOrBytesAndEncodesBack) {
  const struct {
    const char* Name;
    std::string Bytes, Encoding, Text;
  } Cases[] = {
      {"plain UTF-8", "<p>\xC3\xA9", "UTF-8", "<p>\xC3\xA9"},
      {"UTF-8 with BOM", "\xEF\xBB\xBF<p>", "UTF-8", "<p>"},
      {"UTF-16LE with BOM", std::string("\xFF\xFE<\0p\0", 6), "UTF-16LE", "<p"},
      {"UTF-16BE with BOM", std::string("\xFE\xFF\0<\0p", 6), "UTF-16BE", "<p"},
      {"UTF-16LE without BOM", std::string("<\0p\0", 4), "UTF-16LE", "<p"},
      {"meta charset", "<meta charset=\"iso-8859-15\"><p>\xA4", "iso-8859-15",
       "<meta charset=\"iso-8859-15\"><p>\xE2\x82\xAC"},
      {"http-equiv content type", "<meta content='text/html; charset=koi8-r'>\xC1", "koi8-r",
       "<meta content='text/html; charset=koi8-r'>\xD0\xB0"},
      {"XML declaration", "<?xml version='1.0' encoding='ISO-8859-1'?><a>\xE9", "ISO-8859-1",
       "<?xml version='1.0' encoding='ISO-8859-1'?><a>\xC3\xA9"},
      {"undeclared Latin bytes", "\x93q\x94", "WINDOWS-1252", "\xE2\x80\x9Cq\xE2\x80\x9D"},
      {"declared UTF-8 that is not", "<meta charset=utf-8>\xE9", "WINDOWS-1252",
       "<meta charset=utf-8>\xC3\xA9"},
      {"bytes Windows-1252 leaves undefined", "\x81\x8D", "ISO-8859-1", "\xC2\x81\xC2\x8D"},
      {"an unknown charset name", "<meta charset=nosuch>\xE9", "WINDOWS-1252",
       "<meta charset=nosuch>\xC3\xA9"},
      {"empty", "", "UTF-8", ""},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    const TDecodedDocument D = DecodeDocument(C.Bytes);
    EXPECT_EQ(D.Encoding, C.Encoding);
    EXPECT_EQ(D.Text, C.Text);
    EXPECT_TRUE(IsValidUtf8(D.Text));
    std::string Back;
    ASSERT_TRUE(EncodeDocument(D.Text, D, Back));
    EXPECT_EQ(Back, C.Bytes) << "round trip";
  }
}

TEST(KelEncoding, ACharacterTheEncodingCannotHoldIsRefused) {
  const TDecodedDocument D = DecodeDocument("<meta charset=iso-8859-1>\xE9");
  std::string Bytes = "unchanged";
  EXPECT_FALSE(EncodeDocument(D.Text + "\xE2\x80\x94", D, Bytes));
  EXPECT_EQ(Bytes, "unchanged");
}

}  // namespace
}  // namespace kel
