// Positions as the command line gives them: LINE:COL from 1, COL counting
// characters (code points) of the line, and their byte counterparts in the
// host's positions.
//
// Example: in "é<a" ByteColumn(Text, 1, 2) is 3 (the 'é' takes two bytes),
// and LineColumnOf(Text, 2) is {1, 2}.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>

#include "host/KelEncoding.h"

namespace kel {

// The 1-based byte column of character column Column on line Line; a column
// past the line's end stays past it by as many bytes.
int32_t ByteColumn(const std::string& Text, int32_t Line, int32_t Column);
// Why LINE:COL is not a place in Text (past the last line, or more than one
// past the line's last character); empty when it is one.
std::string CaretOutside(const std::string& Text, int32_t Line, int32_t Column);
// Line and character column (both from 1) of a byte offset.
std::pair<int32_t, int32_t> LineColumnOf(const std::string& Text, int32_t Offset);
// A file above 1 GiB is refused before it is read (the engine's offsets are
// 32-bit; the tree and the parse take about four times the text). A stream
// without a size (a pipe, a device) is read up to 64 MiB.
inline constexpr size_t MaxDocumentBytes = size_t{1} << 30;
inline constexpr size_t MaxStreamBytes = size_t{64} << 20;
// The cap for FileName: MaxDocumentBytes for a regular file, else MaxStreamBytes.
size_t DocumentLimit(const std::string& FileName);
// The whole document in UTF-8, decoded from its own encoding; false with a
// message on Err when it cannot be read or is larger than MaxDocumentBytes.
// The file a document was read from, as opened: its path with links
// resolved and its identity, so that --write replaces that same file.
struct TReadFrom {
  std::string Resolved;
  uint64_t Device = 0, Inode = 0;
};
bool ReadDocument(const std::string& FileName, TDecodedDocument& Doc, std::ostream& Err,
                  TReadFrom* From = nullptr);
bool ReadWholeFile(const std::string& FileName, std::string& Text, std::ostream& Err);
// Writes Text back in the document's encoding, through a temporary file
// renamed over it; false with a message on Err, the file untouched. Given
// From, the file read is the one replaced, and a name that now leads to
// another file is refused.
bool WriteDocument(const std::string& FileName, const std::string& Text, const TDecodedDocument& As,
                   std::ostream& Err, const TReadFrom* From = nullptr);

}  // namespace kel
