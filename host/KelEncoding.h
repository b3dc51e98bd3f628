// A document's bytes as the engine reads them (UTF-8) and back as its owner
// wrote them: the encoding comes from a byte-order mark, the XML declaration,
// a <meta charset>, or the bytes themselves (UTF-8 when they are valid,
// Windows-1252 otherwise), and conversion goes through iconv.
//
// Example: the ISO-8859-1 bytes "<p>caf\xE9" decode to "<p>caf\xC3\xA9" with
// Encoding "ISO-8859-1"; EncodeDocument gives the original bytes back.
#pragma once

#include <string>
#include <string_view>

namespace kel {

struct TDecodedDocument {
  std::string Text;                // UTF-8
  std::string Encoding = "UTF-8";  // an iconv name
  std::string Bom;                 // the byte-order mark the file began with
};

// Never fails: bytes that the named encoding rejects fall back to
// Windows-1252, and bytes undefined there to ISO-8859-1, which maps them all.
TDecodedDocument DecodeDocument(std::string_view Bytes);

// The bytes to write for Text in the document's own encoding; false (Bytes
// untouched) when a character has no code there.
bool EncodeDocument(const std::string& Text, const TDecodedDocument& As, std::string& Bytes);

// Whether Bytes is well-formed UTF-8.
bool IsValidUtf8(std::string_view Bytes);

}  // namespace kel
