#include "host/KelEncoding.h"

#include <iconv.h>
#include <utf8.h>

#include <algorithm>
#include <cerrno>
#include <regex>

#include "host/KelStrings.h"

namespace kel {

namespace {

// Converts all of In, or nothing: false when iconv knows neither name or
// meets a byte sequence it cannot convert.
bool Convert(std::string_view In, const std::string& From, const std::string& To, std::string& Out) {
  iconv_t Cd = iconv_open(To.c_str(), From.c_str());
  if (Cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string Result;
  Result.resize(In.size() * 4 + 16);
  char* Src = const_cast<char*>(In.data());
  size_t SrcLeft = In.size();
  char* Dst = Result.data();
  size_t DstLeft = Result.size();
  bool Ok = true;
  while (SrcLeft > 0) {
    if (iconv(Cd, &Src, &SrcLeft, &Dst, &DstLeft) != static_cast<size_t>(-1)) continue;
    if (errno != E2BIG) {
      Ok = false;
      break;
    }
    const size_t Used = static_cast<size_t>(Dst - Result.data());
    Result.resize(Result.size() * 2);
    Dst = Result.data() + Used;
    DstLeft = Result.size() - Used;
  }
  if (Ok && iconv(Cd, nullptr, nullptr, &Dst, &DstLeft) == static_cast<size_t>(-1)) Ok = false;
  iconv_close(Cd);
  if (!Ok) return false;
  Result.resize(static_cast<size_t>(Dst - Result.data()));
  Out = std::move(Result);
  return true;
}

bool IsUtf8Name(const std::string& Name) {
  const std::string U = UpperCase(Name);
  return U == "UTF-8" || U == "UTF8";
}

// The encoding a page names in its first bytes: the XML declaration, then a
// <meta charset> or http-equiv content type.
std::string DeclaredEncoding(std::string_view Bytes) {
  const std::string Head(Bytes.substr(0, 4096));
  static const std::regex Xml(R"(^\s*<\?xml[^>]*?encoding\s*=\s*["']([A-Za-z0-9._:-]+)["'])",
                              std::regex::icase);
  static const std::regex Meta(R"(<meta[^>]*?charset\s*=\s*["']?([A-Za-z0-9._:-]+))", std::regex::icase);
  std::smatch M;
  if (std::regex_search(Head, M, Xml) || std::regex_search(Head, M, Meta)) return M[1].str();
  return {};
}

}  // namespace

bool IsValidUtf8(std::string_view Bytes) { return utf8::is_valid(Bytes.begin(), Bytes.end()); }

TDecodedDocument DecodeDocument(std::string_view Bytes) {
  TDecodedDocument D;
  std::string Encoding;
  if (Bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    D.Bom = Bytes.substr(0, 3);
    Encoding = "UTF-8";
  } else if (Bytes.substr(0, 2) == "\xFF\xFE") {
    D.Bom = Bytes.substr(0, 2);
    Encoding = "UTF-16LE";
  } else if (Bytes.substr(0, 2) == "\xFE\xFF") {
    D.Bom = Bytes.substr(0, 2);
    Encoding = "UTF-16BE";
  } else if (Bytes.size() >= 2 && Bytes[0] == '<' && Bytes[1] == '\0') {
    Encoding = "UTF-16LE";
  } else if (Bytes.size() >= 2 && Bytes[0] == '\0' && Bytes[1] == '<') {
    Encoding = "UTF-16BE";
  } else {
    Encoding = DeclaredEncoding(Bytes);
    // A page that says "UTF-16" in single bytes is not UTF-16.
    if (UpperCase(Encoding).rfind("UTF-16", 0) == 0 || UpperCase(Encoding).rfind("UTF-32", 0) == 0)
      Encoding.clear();
  }
  const std::string_view Body = Bytes.substr(D.Bom.size());
  if ((Encoding.empty() || IsUtf8Name(Encoding)) && IsValidUtf8(Body)) {
    D.Text = Body;
    D.Encoding = "UTF-8";
    return D;
  }
  if (!Encoding.empty() && !IsUtf8Name(Encoding) && Convert(Body, Encoding, "UTF-8", D.Text)) {
    D.Encoding = Encoding;
    return D;
  }
  // Undeclared or misdeclared bytes: what browsers assume for Latin text.
  for (const char* Fallback : {"WINDOWS-1252", "ISO-8859-1"}) {
    if (Convert(Body, Fallback, "UTF-8", D.Text)) {
      D.Encoding = Fallback;
      return D;
    }
  }
  D.Text = Body;  // not reached: ISO-8859-1 maps every byte
  return D;
}

bool EncodeDocument(const std::string& Text, const TDecodedDocument& As, std::string& Bytes) {
  if (IsUtf8Name(As.Encoding)) {
    Bytes = As.Bom + Text;
    return true;
  }
  std::string Out;
  if (!Convert(Text, "UTF-8", As.Encoding, Out)) return false;
  Bytes = As.Bom + Out;
  return true;
}

}  // namespace kel
