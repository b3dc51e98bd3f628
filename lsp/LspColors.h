// The colours a document writes, for the colour provider of the language
// server: hex colours, named colours and the colour functions (rgb(),
// hsl(), hwb(), lab(), lch(), oklab(), oklch()) in style sheet values (a
// sheet, a <style> body, a style attribute) and hex or named values of the
// HTML colour attributes (bgcolor, color, text, link, vlink, alink); and the
// ways of writing a colour the client may choose from.
//
// Example: FindColors("a { color: #f00 }", nullptr) gives one colour over
// "#f00" with Red 1, Green 0, Blue 0, Alpha 1; ColorPresentations(1, 0, 0, 1)
// gives "#ff0000" and "rgb(255, 0, 0)".
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "lsp/LspDocuments.h"
#include "lsp/LspFeature.h"
#include "markup/MLTree.h"

namespace kel {

struct TColorAt {
  int32_t Start = 0, End = 0;  // byte offsets of the colour's text
  double Red = 0, Green = 0, Blue = 0, Alpha = 1;
};

// An editor shows a few hundred (VS Code stops at 500); a generated sheet
// of millions would answer with gigabytes.
inline constexpr size_t MaxDocumentColors = 10000;

// Page: the page's tree; null when the whole text is a style sheet. Sheets:
// the document's sheets (SheetsOf). The first Max colours in the text.
std::vector<TColorAt> FindColors(const std::string& Text, const TMLTree* Page,
                                 const std::vector<TDocumentSheet>& Sheets, size_t Max = MaxDocumentColors);
// The same, the sheets read here.
std::vector<TColorAt> FindColors(const std::string& Text, const TMLTree* Page,
                                 size_t Max = MaxDocumentColors);

std::vector<std::string> ColorPresentations(double Red, double Green, double Blue, double Alpha);

// textDocument/documentColor and textDocument/colorPresentation.
nlohmann::json LspDocumentColors(TLspContext& Ctx, TLspDocument& Doc);
nlohmann::json LspColorPresentation(const nlohmann::json& Color, const nlohmann::json& Range);

}  // namespace kel
