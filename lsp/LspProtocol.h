// The JSON-RPC side of the language server: frames read from a stream with
// their Content-Length, and the checks that turn any message into either a
// request or notification to serve or the error answer the protocol gives.
// Nothing a client sends can stop the server.
//
// Example: the frame "Content-Length: 9\r\n\r\n[1,2,3,4]" reads as a body
// that Classify answers with -32600 (an array is no request).
#pragma once

#include <cstdint>
#include <istream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace kel {

// A body above this is refused unread: it holds a document of more than the
// 1 GiB the engine reads (its JSON escapes included).
inline constexpr int64_t MaxLspBody = 3ll << 29;
// The largest document the server keeps (the engine's offsets are 32-bit;
// the tree and the parse take about four times the text).
inline constexpr size_t MaxLspDocument = size_t{1} << 30;
// A header line longer than this is garbled (real ones are under 100 bytes).
inline constexpr size_t MaxLspHeaderLine = 4096;

enum class TLspFrame {
  Body,      // Body holds one message (NextHeader: its Length bytes come next in the stream)
  End,       // no more input
  Garbled,   // a header without a usable Content-Length: answer a parse error, read on
  TooLarge,  // the body was skipped unread: answer a parse error, read on
};

// Reads frames one after another. A frame whose Content-Length was wrong
// leaves the stream out of step: the rest of its body runs into the next
// header ("…}Content-Length: 52"). Such a header is found after the text
// before it, which is answered as one garbled frame, so one bad frame costs
// at most the frame after it.
class TLspReader {
 public:
  explicit TLspReader(std::istream& In) : FIn(In) {}
  TLspFrame Next(std::string& Body);
  // The headers of the next frame; on Body the caller reads its Length bytes
  // from Stream() (LspParse), so that a large body is never held whole.
  TLspFrame NextHeader(int64_t& Length);
  std::istream& Stream() { return FIn; }

 private:
  std::istream& FIn;
  std::optional<std::string> FPending;  // a header line found after other text
};

// Deeper bodies are refused: a parsed value is copied and compared
// recursively, and real messages nest a dozen levels.
inline constexpr size_t MaxLspDepth = 256;

namespace LspError {
inline constexpr int ParseError = -32700;
inline constexpr int InvalidRequest = -32600;
inline constexpr int MethodNotFound = -32601;
inline constexpr int InvalidParams = -32602;
inline constexpr int InternalError = -32603;
inline constexpr int ServerNotInitialized = -32002;
}  // namespace LspError

nlohmann::json LspErrorAnswer(const nlohmann::json& Id, int Code, const std::string& Message);

// A field of an object, when it is there with the expected type.
std::optional<std::string> LspString(const nlohmann::json& Object, const char* Key);
// The same without a copy (a document's text), null when absent.
const std::string* LspStringIn(const nlohmann::json& Object, const char* Key);
std::optional<int64_t> LspInteger(const nlohmann::json& Object, const char* Key, int64_t Max = INT32_MAX);
const nlohmann::json* LspObject(const nlohmann::json& Object, const char* Key);

enum class TLspBody {
  Parsed,
  Invalid,  // no JSON
  TooDeep,  // nested deeper than MaxLspDepth
  Short,    // the input ended inside the body
};

// The JSON value of the Length bytes that come next in In (all of them are
// read), or a discarded value (How says why). The body goes from the stream
// to the library's reader in pieces and each string is moved out of it, so a
// large document's text is held once while its message is read. A lone
// UTF-16 surrogate escape (a client's buffer cut mid-character, "\ud800")
// reads as U+FFFD rather than failing the whole message.
nlohmann::json LspParse(std::istream& In, int64_t Length, TLspBody& How);
nlohmann::json LspParse(const std::string& Body, TLspBody* How = nullptr);

}  // namespace kel
