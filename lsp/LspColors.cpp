#include "lsp/LspColors.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "host/KelStrings.h"
#include "lsp/LspNamedColors.h"
#include "lsp/LspPositions.h"

namespace kel {

using nlohmann::json;

namespace {

bool IsHex(char C) { return (C >= '0' && C <= '9') || (C >= 'a' && C <= 'f') || (C >= 'A' && C <= 'F'); }
bool IsNameChar(char C) {
  return (C >= '0' && C <= '9') || (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || C == '-' || C == '_';
}
int HexValue(char C) { return C <= '9' ? C - '0' : (C | 32) - 'a' + 10; }

// "#" at I: 3, 4, 6 or 8 hex digits and no more name characters.
bool ReadHex(const std::string& Text, size_t I, size_t End, TColorAt& Color) {
  size_t J = I + 1;
  while (J < End && IsHex(Text[J])) ++J;
  const size_t N = J - I - 1;
  if ((N != 3 && N != 4 && N != 6 && N != 8) || (J < End && IsNameChar(Text[J]))) return false;
  double Parts[4] = {0, 0, 0, 1};
  for (size_t P = 0; P < N / (N > 4 ? 2 : 1); ++P) {
    const int V = N > 4 ? HexValue(Text[I + 1 + 2 * P]) * 16 + HexValue(Text[I + 2 + 2 * P])
                        : HexValue(Text[I + 1 + P]) * 17;
    Parts[P] = V / 255.0;
  }
  Color = {static_cast<int32_t>(I), static_cast<int32_t>(J), Parts[0], Parts[1], Parts[2], Parts[3]};
  return true;
}

// A colour function's arguments: numbers with their unit ("%", "deg",
// "turn", "" ...), "none" as 0; the alpha after a comma or slash.
struct TArgs {
  double Value[4] = {0, 0, 0, 1};
  std::string Unit[4];
  int Count = 0;
  size_t End = 0;  // after ')'
};

bool ReadArgs(const std::string& Text, size_t Open, size_t End, TArgs& A) {
  const size_t Close = Text.find(')', Open);
  if (Close == std::string::npos || Close >= End || Close - Open > 120) return false;
  std::string Args = Text.substr(Open + 1, Close - Open - 1);
  std::replace(Args.begin(), Args.end(), ',', ' ');
  std::replace(Args.begin(), Args.end(), '/', ' ');
  const char* P = Args.c_str();
  for (; A.Count < 4; ++A.Count) {
    while (*P == ' ' || *P == '\t') ++P;
    if (!*P) break;
    if (StartsWithText(P, "none")) {
      A.Value[A.Count] = 0;
      P += 4;
      continue;
    }
    char* Stop = nullptr;
    const double V = std::strtod(P, &Stop);
    if (Stop == P || !std::isfinite(V)) return false;
    P = Stop;
    while ((*P >= 'a' && *P <= 'z') || (*P >= 'A' && *P <= 'Z') || *P == '%') A.Unit[A.Count] += *P++;
    A.Value[A.Count] = V;
  }
  while (*P == ' ' || *P == '\t') ++P;
  if (A.Count < 3 || *P) return false;
  A.End = Close + 1;
  return true;
}

// A hue in degrees, from deg, grad, rad, turn or a bare number.
double Degrees(double V, const std::string& Unit) {
  if (SameText(Unit, "turn")) return V * 360;
  if (SameText(Unit, "rad")) return V * 180 / 3.14159265358979323846;
  if (SameText(Unit, "grad")) return V * 0.9;
  return V;
}

// A channel: a percentage of Full, or a number in Full's units.
double Channel(const TArgs& A, int I, double Full) {
  return A.Unit[I] == "%" ? A.Value[I] / 100 * Full : A.Value[I];
}

double Alpha(const TArgs& A) {
  if (A.Count < 4) return 1;
  return std::clamp(A.Unit[3] == "%" ? A.Value[3] / 100 : A.Value[3], 0.0, 1.0);
}

// Linear-light sRGB to the encoded value.
double Encode(double V) {
  const double S =
      std::abs(V) <= 0.0031308 ? 12.92 * std::abs(V) : 1.055 * std::pow(std::abs(V), 1 / 2.4) - 0.055;
  return V < 0 ? -S : S;
}

void HslToRgb(double H, double S, double L, double Rgb[3]) {
  H = std::fmod(std::fmod(H, 360) + 360, 360);
  for (int I = 0; I < 3; ++I) {
    const double K = std::fmod((I == 0 ? 0 : I == 1 ? 8 : 4) + H / 30, 12);
    Rgb[I] = L - S * std::min(L, 1 - L) * std::max(-1.0, std::min({K - 3, 9 - K, 1.0}));
  }
}

void OklabToRgb(double L, double A, double B, double Rgb[3]) {
  const double L1 = std::pow(L + 0.3963377774 * A + 0.2158037573 * B, 3);
  const double M1 = std::pow(L - 0.1055613458 * A - 0.0638541728 * B, 3);
  const double S1 = std::pow(L - 0.0894841775 * A - 1.2914855480 * B, 3);
  Rgb[0] = Encode(4.0767416621 * L1 - 3.3077115913 * M1 + 0.2309699292 * S1);
  Rgb[1] = Encode(-1.2684380046 * L1 + 2.6097574011 * M1 - 0.3413193965 * S1);
  Rgb[2] = Encode(-0.0041960863 * L1 - 0.7034186147 * M1 + 1.7076147010 * S1);
}

// CIE Lab (D50) through XYZ, adapted to D65, to sRGB.
void LabToRgb(double L, double A, double B, double Rgb[3]) {
  const double Kappa = 24389.0 / 27, Epsilon = 216.0 / 24389;
  const double Fy = (L + 16) / 116, Fx = Fy + A / 500, Fz = Fy - B / 200;
  const double X = (std::pow(Fx, 3) > Epsilon ? std::pow(Fx, 3) : (116 * Fx - 16) / Kappa) * 0.3457 / 0.3585;
  const double Y = L > Kappa * Epsilon ? std::pow(Fy, 3) : L / Kappa;
  const double Z = (std::pow(Fz, 3) > Epsilon ? std::pow(Fz, 3) : (116 * Fz - 16) / Kappa) *
                   (1 - 0.3457 - 0.3585) / 0.3585;
  const double X65 = 0.955473421488075 * X - 0.02309845494876471 * Y + 0.06325924320057072 * Z;
  const double Y65 = -0.0283697093338637 * X + 1.0099953980813041 * Y + 0.021041441191917323 * Z;
  const double Z65 = 0.012314014864481998 * X - 0.020507649298898964 * Y + 1.330365926242124 * Z;
  Rgb[0] = Encode(3.2409699419045226 * X65 - 1.537383177570094 * Y65 - 0.4986107602930034 * Z65);
  Rgb[1] = Encode(-0.9692436362808796 * X65 + 1.8759675015077202 * Y65 + 0.04155505740717559 * Z65);
  Rgb[2] = Encode(0.05563007969699366 * X65 - 0.20397695888897652 * Y65 + 1.0569715142428786 * Z65);
}

// A colour function at I (rgb(), hsl(), hwb(), lab(), lch(), oklab(),
// oklch() and their older names); anything else is no colour.
bool ReadFunction(const std::string& Text, size_t I, size_t End, TColorAt& Color) {
  const size_t Open = Text.find('(', I);
  if (Open == std::string::npos || Open >= End) return false;
  const std::string Name = LowerCase(Text.substr(I, Open - I));
  TArgs A;
  if (!ReadArgs(Text, Open, End, A)) return false;
  double Rgb[3] = {0, 0, 0};
  if (Name == "rgb" || Name == "rgba") {
    for (int C = 0; C < 3; ++C) Rgb[C] = Channel(A, C, 255) / 255;
  } else if (Name == "hsl" || Name == "hsla") {
    HslToRgb(Degrees(A.Value[0], A.Unit[0]), Channel(A, 1, 100) / 100, Channel(A, 2, 100) / 100, Rgb);
  } else if (Name == "hwb") {
    double W = Channel(A, 1, 100) / 100, B = Channel(A, 2, 100) / 100;
    if (W + B >= 1) {
      W /= W + B;
      Rgb[0] = Rgb[1] = Rgb[2] = W;
    } else {
      HslToRgb(Degrees(A.Value[0], A.Unit[0]), 1, 0.5, Rgb);
      for (double& V : Rgb) V = V * (1 - W - B) + W;
    }
  } else if (Name == "lab" || Name == "lch") {
    const double L = Channel(A, 0, 100);
    double X = Channel(A, 1, Name == "lab" ? 125 : 150), Y = Channel(A, 2, 125);
    if (Name == "lch") {
      const double H = Degrees(A.Value[2], A.Unit[2]) * 3.14159265358979323846 / 180;
      Y = X * std::sin(H);
      X = X * std::cos(H);
    }
    LabToRgb(L, X, Y, Rgb);
  } else if (Name == "oklab" || Name == "oklch") {
    const double L = Channel(A, 0, 1);
    double X = Channel(A, 1, 0.4), Y = Channel(A, 2, 0.4);
    if (Name == "oklch") {
      const double H = Degrees(A.Value[2], A.Unit[2]) * 3.14159265358979323846 / 180;
      Y = X * std::sin(H);
      X = X * std::cos(H);
    }
    OklabToRgb(L, X, Y, Rgb);
  } else {
    return false;
  }
  Color = {static_cast<int32_t>(I),      static_cast<int32_t>(A.End),  std::clamp(Rgb[0], 0.0, 1.0),
           std::clamp(Rgb[1], 0.0, 1.0), std::clamp(Rgb[2], 0.0, 1.0), Alpha(A)};
  return true;
}

// A colour's name at I (red, rebeccapurple, transparent), as a whole word.
bool ReadName(const std::string& Text, size_t I, size_t End, TColorAt& Color) {
  size_t J = I;
  while (J < End && IsNameChar(Text[J])) ++J;
  if (J < End && Text[J] == '(') return ReadFunction(Text, I, End, Color);
  const std::string Name = LowerCase(Text.substr(I, J - I));
  if (Name == "transparent") {
    Color = {static_cast<int32_t>(I), static_cast<int32_t>(J), 0, 0, 0, 0};
    return true;
  }
  const auto Found = std::lower_bound(std::begin(NamedColors), std::end(NamedColors), Name,
                                      [](const TNamedColor& C, const std::string& N) { return C.Name < N; });
  if (Found == std::end(NamedColors) || Found->Name != Name) return false;
  Color = {static_cast<int32_t>(I),     static_cast<int32_t>(J),
           (Found->Rgb >> 16) / 255.0,  ((Found->Rgb >> 8) & 0xff) / 255.0,
           (Found->Rgb & 0xff) / 255.0, 1};
  return true;
}

// The colours in a declaration's value [From, End): words that name a colour,
// hex colours and colour functions; not what strings, comments and url() hold.
void ScanValue(const std::string& Text, size_t From, size_t End, size_t Max, std::vector<TColorAt>& Out) {
  for (size_t I = From; I < End && Out.size() < Max; ++I) {
    const char C = Text[I];
    if (C == '/' && I + 1 < End && Text[I + 1] == '*') {
      const size_t Close = Text.find("*/", I + 2);
      I = Close == std::string::npos || Close >= End ? End : Close + 1;
    } else if (C == '"' || C == '\'') {
      const size_t Close = Text.find(C, I + 1);
      I = Close == std::string::npos || Close >= End ? End : Close;
    } else if (I == From || !IsNameChar(Text[I - 1])) {
      TColorAt Color;
      const bool Letter = (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z');
      if ((C == '#' && ReadHex(Text, I, End, Color)) || (Letter && ReadName(Text, I, End, Color))) {
        Out.push_back(Color);
        I = static_cast<size_t>(Color.End) - 1;
      } else if (Letter) {
        // The rest of a word that names no colour ("redirect") is passed
        // whole, and so is what url( holds ("red.png").
        while (I + 1 < End && IsNameChar(Text[I + 1])) ++I;
        if (I + 1 < End && Text[I + 1] == '(' && I >= 2 && StartsWithText(Text.substr(I - 2, 3), "url")) {
          const size_t Close = Text.find(')', I + 1);
          I = Close == std::string::npos || Close >= End ? End : Close;
        }
      }
    }
  }
}

void ScanSheet(const std::string& Text, const TCSSTree& Sheet, size_t Max, std::vector<TColorAt>& Out) {
  for (const TCSSItem& N : Sheet.Nodes)
    if (N.Kind == TCSSItemKind::Declaration) ScanValue(Text, N.Value.Start, N.Value.End, Max, Out);
}

}  // namespace

std::vector<TColorAt> FindColors(const std::string& Text, const TMLTree* Page, size_t Max) {
  return FindColors(Text, Page, SheetsOf(Text, Page), Max);
}

std::vector<TColorAt> FindColors(const std::string& Text, const TMLTree* Page,
                                 const std::vector<TDocumentSheet>& Sheets, size_t Max) {
  std::vector<TColorAt> Out;
  static constexpr std::string_view ColorAttributes[] = {"bgcolor", "color", "text",
                                                         "link",    "vlink", "alink"};
  // Sheets and colour attributes in the order the page writes them, so that
  // the first Max are the first of the page.
  const auto SheetStart = [Page](const TDocumentSheet& S) {
    return Page && S.Region < Page->Regions.size() ? Page->Regions[S.Region].Range.Start : 0u;
  };
  auto Sheet = Sheets.begin();
  const auto NoAttributes = std::vector<TMLAttribute>();
  const auto& Attributes = Page ? Page->Attributes : NoAttributes;
  auto Attribute = Attributes.begin();
  while (Out.size() < Max && (Sheet != Sheets.end() || Attribute != Attributes.end())) {
    if (Sheet != Sheets.end() &&
        (Attribute == Attributes.end() || SheetStart(*Sheet) <= Attribute->Value.Start)) {
      ScanSheet(Text, (Sheet++)->Tree, Max, Out);
      continue;
    }
    const TMLAttribute& A = *Attribute++;
    const std::string_view Name(Text.data() + A.Name.Start, A.Name.End - A.Name.Start);
    if (!A.HasValue || A.Value.Start == A.Value.End ||
        std::none_of(std::begin(ColorAttributes), std::end(ColorAttributes),
                     [Name](std::string_view C) { return SameText(Name, C); }))
      continue;
    TColorAt Color;
    const size_t Start = A.Value.Start, End = A.Value.End;
    if ((Text[Start] == '#' ? ReadHex(Text, Start, End, Color) : ReadName(Text, Start, End, Color)) &&
        static_cast<size_t>(Color.End) == End)
      Out.push_back(Color);
  }
  std::sort(Out.begin(), Out.end(), [](const TColorAt& A, const TColorAt& B) { return A.Start < B.Start; });
  if (Out.size() > Max) Out.resize(Max);
  return Out;
}

std::vector<std::string> ColorPresentations(double Red, double Green, double Blue, double Alpha) {
  const auto Byte = [](double V) { return static_cast<int>(std::lround(std::clamp(V, 0.0, 1.0) * 255)); };
  const int R = Byte(Red), G = Byte(Green), B = Byte(Blue), A = Byte(Alpha);
  char Hex[16], Rgb[64];
  if (A == 255) {
    std::snprintf(Hex, sizeof Hex, "#%02x%02x%02x", R, G, B);
    std::snprintf(Rgb, sizeof Rgb, "rgb(%d, %d, %d)", R, G, B);
  } else {
    std::snprintf(Hex, sizeof Hex, "#%02x%02x%02x%02x", R, G, B, A);
    std::snprintf(Rgb, sizeof Rgb, "rgba(%d, %d, %d, %g)", R, G, B, std::round(Alpha * 100) / 100);
  }
  return {Hex, Rgb};
}

json LspDocumentColors(TLspContext& Ctx, TLspDocument& Doc) {
  json Answer = json::array();
  const std::string& Text = Doc.Text();
  const bool Sheet = IsStyleSheetFile(Doc.Path);
  const TMLTree& Page = Doc.Tree();
  const auto& Sheets = Doc.Model.Sheets(Text);
  // One walk over the text gives every position: the colours come in order.
  TLspPositionWalker PositionOf(Text, Ctx.Utf8);
  for (const TColorAt& C : FindColors(Text, Sheet ? nullptr : &Page, Sheets)) {
    json Start = PositionOf(static_cast<size_t>(C.Start));
    json End = PositionOf(static_cast<size_t>(C.End));
    Answer.push_back({{"range", {{"start", Start}, {"end", End}}},
                      {"color", {{"red", C.Red}, {"green", C.Green}, {"blue", C.Blue}, {"alpha", C.Alpha}}}});
  }
  return Answer;
}

json LspColorPresentation(const json& Color, const json& Range) {
  const auto Part = [&Color](const char* Key) {
    const auto It = Color.find(Key);
    return It != Color.end() && It->is_number() ? std::clamp(It->get<double>(), 0.0, 1.0) : 0.0;
  };
  json Answer = json::array();
  for (const auto& Label : ColorPresentations(Part("red"), Part("green"), Part("blue"),
                                              Color.contains("alpha") ? Part("alpha") : 1.0))
    Answer.push_back({{"label", Label}, {"textEdit", {{"range", Range}, {"newText", Label}}}});
  return Answer;
}

}  // namespace kel
