#include "host/MemoryCanvas.h"

namespace kel {

TMemoryCanvas::TMemoryCanvas(int32_t CharWidth, int32_t LineHeight)
    : FCharWidth(CharWidth), FLineHeight(LineHeight) {}

TKelRect TMemoryCanvas::MeasureText(const std::u16string& Text, const TKelRect& R) {
  const int32_t Width = FMetric ? FMetric(Text) : static_cast<int32_t>(Text.size()) * FCharWidth;
  return {R.Left, R.Top, R.Left + Width, R.Top + FLineHeight};
}

void TMemoryCanvas::TextRect(const TKelRect& R, int32_t X, int32_t Y, const std::u16string& Text) {
  FDraws.push_back({FFontName, FColor, FStyle, R, X, Y, Text});
}

}  // namespace kel
