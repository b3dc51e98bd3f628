#include "lsp/LspProtocol.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <streambuf>

#include "host/KelStrings.h"

namespace kel {

using nlohmann::json;

namespace {

// Where a Content-Length header starts in a line, case aside.
size_t FindLengthHeader(std::string_view Line) { return LowerCase(Line).find("content-length:"); }

// "Name: value", the name a token: X-Old-Content-Length is a header of its
// own, "}Content-Length" the tail of a body before one.
bool IsHeaderLine(std::string_view Line) {
  const size_t Colon = Line.find(':');
  if (Colon == 0 || Colon == std::string_view::npos) return false;
  return std::all_of(Line.begin(), Line.begin() + static_cast<std::ptrdiff_t>(Colon), [](char C) {
    return std::isalnum(static_cast<unsigned char>(C)) ||
           std::string_view("!#$%&'*+-.^_`|~").find(C) != std::string_view::npos;
  });
}

// One header line; what runs past MaxLspHeaderLine is read and dropped, so
// a stream without line breaks costs no memory. Of a longer line the last
// bytes are kept in Tail too: a header may follow a long body's rest. False
// at the end of input.
bool ReadHeaderLine(std::istream& In, std::string& Line, std::string& Tail, bool& TooLong) {
  constexpr size_t TailSize = 64;
  Line.clear();
  Tail.clear();
  TooLong = false;
  std::streambuf* Buf = In.rdbuf();
  for (;;) {
    const int C = Buf->sbumpc();
    if (C == std::char_traits<char>::eof()) {
      In.setstate(std::ios::eofbit);
      if (Line.empty() && !TooLong) In.setstate(std::ios::failbit);
      break;
    }
    if (C == '\n') break;
    if (Line.size() < MaxLspHeaderLine) {
      Line.push_back(static_cast<char>(C));
      continue;
    }
    TooLong = true;
    Tail.push_back(static_cast<char>(C));
    if (Tail.size() == 2 * TailSize) Tail.erase(0, TailSize);
  }
  if (!Tail.empty() && Tail.back() == '\r') Tail.pop_back();
  if (!Line.empty() && Line.back() == '\r' && !TooLong) Line.pop_back();
  return !Line.empty() || TooLong || In;
}

void Skip(std::istream& In, int64_t Length) {
  // In pieces: a declared size is never allocated.
  char Sink[65536];
  for (int64_t Left = Length; Left > 0 && In;) {
    const auto Step = static_cast<std::streamsize>(std::min<int64_t>(Left, sizeof Sink));
    In.read(Sink, Step);
    Left -= In.gcount();
  }
}

}  // namespace

TLspFrame TLspReader::Next(std::string& Body) {
  int64_t Length = 0;
  const TLspFrame Frame = NextHeader(Length);
  if (Frame != TLspFrame::Body) return Frame;
  // In pieces: memory follows the bytes that come, not what a header claims.
  Body.clear();
  while (static_cast<int64_t>(Body.size()) < Length && FIn) {
    const size_t Want =
        static_cast<size_t>(std::min<int64_t>(Length - static_cast<int64_t>(Body.size()), 1 << 20));
    const size_t Had = Body.size();
    Body.resize(Had + Want);
    FIn.read(Body.data() + Had, static_cast<std::streamsize>(Want));
    Body.resize(Had + static_cast<size_t>(FIn.gcount()));
  }
  return static_cast<int64_t>(Body.size()) == Length ? TLspFrame::Body : TLspFrame::End;
}

TLspFrame TLspReader::NextHeader(int64_t& Length) {
  Length = -1;
  bool Header = false, Garbled = false, TooLong = false;
  std::string Line, Tail;
  for (;;) {
    if (FPending) {
      Line = std::move(*FPending);
      FPending.reset();
      TooLong = false;
    } else if (!ReadHeaderLine(FIn, Line, Tail, TooLong)) {
      break;
    }
    if (Line.empty() && !TooLong) {
      if (Header) break;
      continue;  // blank lines between frames
    }
    size_t At = FindLengthHeader(Line);
    if (TooLong && At != 0) {
      const size_t InTail = FindLengthHeader(Tail);
      if (InTail != std::string::npos) {
        FPending = Tail.substr(InTail);
        return TLspFrame::Garbled;
      }
    }
    if (At != 0 && At != std::string::npos && !IsHeaderLine(Line)) {
      FPending = Line.substr(At);
      return TLspFrame::Garbled;
    }
    Header = true;
    if (At != 0) continue;  // other headers (Content-Type) say nothing we use
    if (TooLong) {
      Garbled = true;
      continue;
    }
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
  if (Length < 0) return FIn ? TLspFrame::Garbled : TLspFrame::End;
  if (Garbled || Length > MaxLspBody) {
    Skip(FIn, Length);
    return Garbled ? TLspFrame::Garbled : TLspFrame::TooLarge;
  }
  return TLspFrame::Body;
}

namespace {

// The library's reader tells each value; this builds the document from them
// as its own builder does, but takes each string over.
class TMovingBuilder {
 public:
  json Root;

  bool null() { return Put(nullptr); }
  bool boolean(bool V) { return Put(V); }
  bool number_integer(json::number_integer_t V) { return Put(V); }
  bool number_unsigned(json::number_unsigned_t V) { return Put(V); }
  bool number_float(json::number_float_t V, const std::string&) { return Put(V); }
  bool string(std::string& V) { return Put(std::move(V)); }
  bool binary(json::binary_t& V) { return Put(json::binary(std::move(V))); }
  bool start_object(std::size_t) { return Open(json::object()); }
  bool key(std::string& K) {
    Key = std::move(K);
    return true;
  }
  bool end_object() { return Close(); }
  bool start_array(std::size_t) { return Open(json::array()); }
  bool end_array() { return Close(); }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }
  bool TooDeep = false;

 private:
  // The containers being filled, innermost last: an object's members stay
  // where they are, and an array grows only while it is the innermost.
  std::vector<json*> Stack;
  std::string Key;

  json* Place(json&& V) {
    if (Stack.empty()) return &(Root = std::move(V));
    json& Top = *Stack.back();
    if (Top.is_array()) {
      Top.push_back(std::move(V));
      return &Top.back();
    }
    return &(Top[Key] = std::move(V));
  }
  bool Put(json&& V) {
    Place(std::move(V));
    return true;
  }
  bool Open(json&& V) {
    if (Stack.size() >= MaxLspDepth) return !(TooDeep = true);
    Stack.push_back(Place(std::move(V)));
    return true;
  }
  bool Close() {
    Stack.pop_back();
    return true;
  }
};

// A body as the JSON reader takes it: Length bytes of the stream, read in
// pieces, each lone surrogate escape replaced by \ufffd on the way (a whole
// pair, "\\" and any other escape pass as they are).
class TBodyBuffer : public std::streambuf {
 public:
  TBodyBuffer(std::istream& In, int64_t Length) : FIn(In), FLeft(Length) {}
  // Reads what the parse left of the body.
  void Drain() {
    Skip(FIn, FLeft);
    FShort |= FIn.fail();
    FLeft = 0;
  }
  bool Short() const { return FShort; }

 protected:
  int_type underflow() override {
    while (gptr() == egptr()) {
      if (FLeft == 0 && FRaw.empty()) return traits_type::eof();
      const size_t Had = FRaw.size();
      const auto Want = static_cast<size_t>(std::min<int64_t>(FLeft, Piece));
      FRaw.resize(Had + Want);
      FIn.read(FRaw.data() + Had, static_cast<std::streamsize>(Want));
      const auto Got = static_cast<size_t>(FIn.gcount());
      FRaw.resize(Had + Got);
      FLeft -= static_cast<int64_t>(Got);
      if (Got < Want) {
        FShort = true;
        FLeft = 0;
      }
      Filter(FLeft == 0);
      setg(FOut.data(), FOut.data(), FOut.data() + FOut.size());
    }
    return traits_type::to_int_type(*gptr());
  }

 private:
  static constexpr int64_t Piece = 1 << 16;
  std::istream& FIn;
  int64_t FLeft;
  bool FShort = false;
  std::string FRaw, FOut;  // read and not yet filtered (an escape cut by a piece's end); filtered

  int Code(size_t At) const {
    if (At + 6 > FRaw.size() || FRaw[At] != '\\' || FRaw[At + 1] != 'u') return -1;
    int V = 0;
    for (size_t I = At + 2; I < At + 6; ++I) {
      const char C = FRaw[I];
      const int D = C >= '0' && C <= '9'   ? C - '0'
                    : C >= 'a' && C <= 'f' ? C - 'a' + 10
                    : C >= 'A' && C <= 'F' ? C - 'A' + 10
                                           : -1;
      if (D < 0) return -1;
      V = V * 16 + D;
    }
    return V;
  }

  // Moves what can be decided from FRaw to FOut: an escape needs the twelve
  // bytes of a surrogate pair after it, unless the body ends sooner.
  void Filter(bool Last) {
    FOut.clear();
    size_t I = 0;
    const size_t N = FRaw.size();
    while (I < N) {
      const size_t Plain = FRaw.find('\\', I);
      if (Plain != I) {
        const size_t End = Plain == std::string::npos ? N : Plain;
        FOut.append(FRaw, I, End - I);
        I = End;
        continue;
      }
      if (!Last && N - I < 12) break;
      const int V = Code(I);
      const bool High = V >= 0xD800 && V <= 0xDBFF, Low = V >= 0xDC00 && V <= 0xDFFF;
      const int Next = High ? Code(I + 6) : -1;
      if (High && Next >= 0xDC00 && Next <= 0xDFFF) {
        FOut.append(FRaw, I, 12);
        I += 12;
      } else if (High || Low) {
        FOut += "\\uFFFD";
        I += 6;
      } else {
        FOut.append(FRaw, I, std::min<size_t>(2, N - I));
        I += 2;
      }
    }
    FRaw.erase(0, std::min(I, N));
  }
};

}  // namespace

json LspParse(std::istream& In, int64_t Length, TLspBody& How) {
  TBodyBuffer Buffer(In, Length);
  std::istream Body(&Buffer);
  TMovingBuilder Builder;
  const bool Parsed = json::sax_parse(Body, &Builder);
  Buffer.Drain();
  How = Buffer.Short()    ? TLspBody::Short
        : Builder.TooDeep ? TLspBody::TooDeep
        : Parsed          ? TLspBody::Parsed
                          : TLspBody::Invalid;
  return How == TLspBody::Parsed ? std::move(Builder.Root) : json(json::value_t::discarded);
}

json LspParse(const std::string& Body, TLspBody* How) {
  std::istringstream In(Body);
  TLspBody Mine = TLspBody::Parsed;
  return LspParse(In, static_cast<int64_t>(Body.size()), How ? *How : Mine);
}

json LspErrorAnswer(const json& Id, int Code, const std::string& Message) {
  return {{"jsonrpc", "2.0"}, {"id", Id}, {"error", {{"code", Code}, {"message", Message}}}};
}

const std::string* LspStringIn(const json& Object, const char* Key) {
  if (!Object.is_object()) return nullptr;
  const auto It = Object.find(Key);
  if (It == Object.end() || !It->is_string()) return nullptr;
  return &It->get_ref<const std::string&>();
}

std::optional<std::string> LspString(const json& Object, const char* Key) {
  const std::string* S = LspStringIn(Object, Key);
  return S ? std::optional<std::string>(*S) : std::nullopt;
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
