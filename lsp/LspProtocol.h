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
  Body,      // Body holds one message
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

 private:
  std::istream& FIn;
  std::optional<std::string> FPending;  // a header line found after other text
};

// Deeper bodies are refused before parsing: a parsed value is copied and
// compared recursively, and real messages nest a dozen levels.
inline constexpr size_t MaxLspDepth = 256;
// How deep arrays and objects nest in JSON text (strings skipped).
size_t JsonDepth(std::string_view Text);

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

// The JSON value of Body, or a discarded value when it is no JSON. Strings
// are moved out of the reader, not copied: a large document's text is held
// once more while its message is read, not twice.
nlohmann::json LspParse(const std::string& Body);

// Body with every lone UTF-16 surrogate escape (\ud800) replaced by \ufffd.
std::string ReplaceLoneSurrogates(const std::string& Body);

}  // namespace kel
