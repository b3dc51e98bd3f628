#include "lsp/LspProtocol.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "host/KelStrings.h"

namespace kel {

using nlohmann::json;

namespace {

// One header line; what runs past MaxLspHeaderLine is read and dropped, so
// a stream without line breaks costs no memory. False at the end of input.
bool ReadHeaderLine(std::istream& In, std::string& Line, bool& TooLong) {
  Line.clear();
  TooLong = false;
  std::streambuf* Buf = In.rdbuf();
  for (;;) {
    const int C = Buf->sbumpc();
    if (C == std::char_traits<char>::eof()) {
      In.setstate(std::ios::eofbit);
      if (Line.empty() && !TooLong) In.setstate(std::ios::failbit);
      return !Line.empty() || TooLong;
    }
    if (C == '\n') return true;
    if (Line.size() < MaxLspHeaderLine)
      Line.push_back(static_cast<char>(C));
    else
      TooLong = true;
  }
}

}  // namespace

TLspFrame ReadLspFrame(std::istream& In, std::string& Body) {
  int64_t Length = -1;
  bool Header = false, Garbled = false, TooLong = false;
  std::string Line;
  while (ReadHeaderLine(In, Line, TooLong)) {
    if (TooLong) {
      Header = Garbled = true;
      continue;
    }
    if (!Line.empty() && Line.back() == '\r') Line.pop_back();
    if (Line.empty()) {
      if (Header) break;
      continue;  // blank lines between frames
    }
    Header = true;
    if (!StartsWithText(Line, "Content-Length:")) continue;
    const char* Digits = Line.c_str() + 15;
    while (*Digits == ' ' || *Digits == '\t') ++Digits;
    char* End = nullptr;
    errno = 0;
    const long long V = std::strtoll(Digits, &End, 10);
    if (End == Digits || *End != '\0' || errno == ERANGE || V < 0)
      Garbled = true;
    else
      Length = V;
  }
  if (!Header) return TLspFrame::End;
  if (Garbled || Length < 0) return In ? TLspFrame::Garbled : TLspFrame::End;
  if (Length > MaxLspBody) {
    // Skipped in pieces: the declared size is never allocated.
    char Sink[65536];
    for (int64_t Left = Length; Left > 0 && In;) {
      const auto Step = static_cast<std::streamsize>(std::min<int64_t>(Left, sizeof Sink));
      In.read(Sink, Step);
      Left -= In.gcount();
    }
    return TLspFrame::TooLarge;
  }
  Body.assign(static_cast<size_t>(Length), '\0');
  In.read(Body.data(), static_cast<std::streamsize>(Length));
  Body.resize(static_cast<size_t>(In.gcount()));
  return static_cast<int64_t>(Body.size()) == Length ? TLspFrame::Body : TLspFrame::End;
}

size_t JsonDepth(std::string_view Text) {
  size_t Depth = 0, Deepest = 0;
  bool InString = false;
  for (size_t I = 0; I < Text.size(); ++I) {
    const char C = Text[I];
    if (InString) {
      if (C == '\\')
        ++I;
      else if (C == '"')
        InString = false;
    } else if (C == '"') {
      InString = true;
    } else if (C == '[' || C == '{') {
      Deepest = std::max(Deepest, ++Depth);
    } else if ((C == ']' || C == '}') && Depth > 0) {
      --Depth;
    }
  }
  return Deepest;
}

json LspErrorAnswer(const json& Id, int Code, const std::string& Message) {
  return {{"jsonrpc", "2.0"}, {"id", Id}, {"error", {{"code", Code}, {"message", Message}}}};
}

std::optional<std::string> LspString(const json& Object, const char* Key) {
  if (!Object.is_object()) return std::nullopt;
  const auto It = Object.find(Key);
  if (It == Object.end() || !It->is_string()) return std::nullopt;
  return It->get<std::string>();
}

std::optional<int64_t> LspInteger(const json& Object, const char* Key, int64_t Max) {
  if (!Object.is_object()) return std::nullopt;
  const auto It = Object.find(Key);
  if (It == Object.end()) return std::nullopt;
  if (It->is_number_unsigned()) {
    const auto V = It->get<uint64_t>();
    return V <= static_cast<uint64_t>(Max) ? std::optional<int64_t>(static_cast<int64_t>(V)) : std::nullopt;
  }
  if (It->is_number_integer()) {
    const auto V = It->get<int64_t>();
    return V >= 0 && V <= Max ? std::optional<int64_t>(V) : std::nullopt;
  }
  return std::nullopt;
}

const json* LspObject(const json& Object, const char* Key) {
  if (!Object.is_object()) return nullptr;
  const auto It = Object.find(Key);
  return It != Object.end() && It->is_object() ? &*It : nullptr;
}

}  // namespace kel
