#include "markup/MLParserUtils.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <span>
#include <string_view>

#include "host/KelFiles.h"
#include "host/KelStrings.h"

namespace kel {

uint8_t Hash(const std::string& S) {
  unsigned Sum = 0;
  for (unsigned char C : S) Sum += C | 32u;
  return static_cast<uint8_t>(Sum & 0xFF);
}

int32_t NewID() {
  static int32_t Counter = -1;
  return ++Counter;
}

bool IdentIsNotDTDType(const std::string& Ident) {
  if (Ident.size() < 2) return true;
  static constexpr std::string_view C[] = {"CDATA"};
  static constexpr std::string_view E[] = {"ENUMERATION", "ENTITY", "ENTITIES", "EMPTY"};
  static constexpr std::string_view I[] = {"ID", "IDREF", "IDREFS"};
  static constexpr std::string_view N[] = {"NMTOKEN", "NMTOKENS", "NOTATION", "NUMBER", "NAME"};
  std::span<const std::string_view> Keywords;
  switch (Ident[0]) {
    case 'C':
      Keywords = C;
      break;
    case 'E':
      Keywords = E;
      break;
    case 'I':
      Keywords = I;
      break;
    case 'N':
      Keywords = N;
      break;
    default:
      return true;
  }
  for (std::string_view K : Keywords)
    if (Ident == K) return false;
  return true;
}

bool IdentIsAttributeEditor(const std::string& Ident) {
  return SameText(Ident, "uri...") || SameText(Ident, "color...");
}

std::string GetSchemaFolder() {
  std::string Exe = KelApplicationExeName();
  const size_t Sep = Exe.find_last_of('/');
  const std::string Dir = Sep == std::string::npos ? std::string() : Exe.substr(0, Sep + 1);
  return Dir + "../schemas/";
}

namespace {

struct TPublicSchema {
  std::string_view PublicID;
  std::string_view FileName;
};

constexpr TPublicSchema PublicSchemas[] = {
    {"-//W3C//DTD XHTML 1.0 Frameset//EN", "xhtml1-frameset.dtd"},
    {"-//W3C//DTD XHTML 1.0 Strict//EN", "xhtml1-strict.dtd"},
    {"-//W3C//DTD XHTML 1.0 Transitional//EN", "xhtml1-transitional.dtd"},
    {"-//W3C//DTD HTML 3.2 Final//EN", "HTML3.2.dtd"},
    {"-//IETF//DTD HTML//EN", "HTML2.dtd"},
    {"-//IETF//DTD HTML 2.0 Strict//EN", "HTML2-strict.dtd"},
    // The strict HTML 2.0 DTD includes the full one under this name.
    {"-//IETF//DTD HTML 2.0//EN", "HTML2.dtd"},
    {"-//W3C//DTD HTML 4.01//EN", "strict.dtd"},
    {"-//W3C//DTD HTML 4.01 Frameset//EN", "frameset.dtd"},
    {"-//W3C//DTD HTML 4.0//EN", "strict.dtd"},
    {"-//W3C//DTD HTML 4.0 Frameset//EN", "frameset.dtd"},
    {"-//W3C//DTD XHTML 1.1//EN", "xhtml11.dtd"},
    {"-//W3C//DTD XHTML Basic 1.0//EN", "xhtml-basic10.dtd"},
    {"-//W3C//DTD XHTML Basic 1.1//EN", "xhtml-basic11.dtd"},
    {"-//W3C//DTD XHTML+RDFa 1.0//EN", "xhtml-rdfa-1.dtd"},
    // No DTD of RDFa 1.1 was published beyond a draft; 1.0's serves.
    {"-//W3C//DTD XHTML+RDFa 1.1//EN", "xhtml-rdfa-1.dtd"},
    {"-//W3C//DTD XHTML 1.1 plus MathML 2.0//EN", "xhtml-math11-f.dtd"},
    {"-//W3C//DTD XHTML 1.1 plus MathML 2.0 plus SVG 1.1//EN", "xhtml-math-svg.dtd"},
    {"-//W3C//DTD SVG 20010904//EN", "svg10.dtd"},
    {"-//W3C//DTD SVG 1.0//EN", "svg10.dtd"},
    {"-//W3C//DTD SVG 1.1//EN", "svg11.dtd"},
    {"-//W3C//DTD SVG 1.1 Basic//EN", "svg11-basic.dtd"},
    {"-//W3C//DTD SVG 1.1 Tiny//EN", "svg11-tiny.dtd"},
    {"-//W3C//DTD MathML 2.0//EN", "mathml2.dtd"},
    {"-//W3C//DTD MathML 3.0//EN", "mathml3.dtd"},
    // Decks of WML 1.1 and 1.3 are served by our WML 1.2 schema.
    {"-//WAPFORUM//DTD WML 1.1//EN", "wml12.dtd"},
    {"-//WAPFORUM//DTD WML 1.2//EN", "wml12.dtd"},
    {"-//WAPFORUM//DTD WML 1.3//EN", "wml12.dtd"},
    {"-//W3C//ENTITIES Latin1//EN//HTML", "HTMLlat1.ent"},
    {"-//W3C//ENTITIES Symbols//EN//HTML", "HTMLsymbol.ent"},
    {"-//W3C//ENTITIES Special//EN//HTML", "HTMLspecial.ent"},
};

std::string_view DefaultSchema(TKibitzMode Mode) {
  switch (Mode) {
    case TKibitzMode::kmXSL:
      return "xsl.dtd";
    case TKibitzMode::kmWML:
      return "wml12.dtd";
    case TKibitzMode::kmResX:
      return "resxschema.xsd";
    case TKibitzMode::kmHTML:
      break;
  }
  return "loose.dtd";
}

}  // namespace

std::string LocalSchemaFile(const std::string& Identifier, const std::string& Folder) {
  namespace fs = std::filesystem;
  if (Identifier.empty() || Folder.empty() || Identifier[0] == '/' || Identifier[0] == '\\' ||
      Identifier.find(':') != std::string::npos)
    return {};
  const fs::path Relative(Identifier);
  for (const auto& Part : Relative)
    if (Part == "..") return {};
  std::error_code Error;
  const fs::path Base = fs::weakly_canonical(fs::path(Folder), Error);
  if (Error) return {};
  const fs::path File = fs::weakly_canonical(Base / Relative, Error);
  if (Error || !fs::is_regular_file(File, Error)) return {};
  // Inside Base, links resolved.
  const auto [B, F] = std::mismatch(Base.begin(), Base.end(), File.begin(), File.end());
  return B == Base.end() ? File.string() : std::string();
}

bool IsKnownPublicIdentifier(const std::string& Identifier) {
  return std::any_of(std::begin(PublicSchemas), std::end(PublicSchemas),
                     [&Identifier](const TPublicSchema& S) { return Identifier == S.PublicID; });
}

std::string GetSchemaFileName(const std::string& Identifier, TKibitzMode Mode) {
  const std::string Folder = GetSchemaFolder();
  std::string Ident = Identifier.empty() ? std::string(DefaultSchema(Mode)) : Identifier;
  if (Ident[0] == '-') {
    for (const auto& S : PublicSchemas)
      if (Ident == S.PublicID) return Folder + std::string(S.FileName);
    // Unknown public identifiers (HTML 4.01 Transitional among them) take the mode's default.
    return Folder + std::string(DefaultSchema(Mode));
  }
  if (Ident == "ISO 8879-1986//ENTITIES Added Latin 1//EN//HTML") return Folder + "HTMLlat1.ent";
  // Both separators count: identifiers come from web addresses and Windows paths alike.
  return Folder + ExtractFileName(Ident);
}

}  // namespace kel
