// A canvas that records what is drawn on it, for hosts without a screen and
// for tests: every text output with its font, colour, style and rectangle.
// Text is measured with a fixed width per character (UTF-16 unit) and a
// fixed line height, or with a metric the front end supplies.
//
// Example: with 7 pixels per character, MeasureText(u"nbsp", {30, 0, 200,
// 16}) gives {30, 0, 58, 16}.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host/KelHostAPI.h"

namespace kel {

struct TCanvasDraw {
  std::string FontName;
  TKelColor Color = 0;
  int Style = 0;
  TKelRect Clip;
  int32_t X = 0, Y = 0;
  std::u16string Text;
  friend bool operator==(const TCanvasDraw&, const TCanvasDraw&) = default;
};

class TMemoryCanvas : public TKelCanvas {
 public:
  // Width in pixels of a text; the default is CharWidth per UTF-16 unit.
  using TMetric = std::function<int32_t(const std::u16string&)>;
  explicit TMemoryCanvas(int32_t CharWidth = 7, int32_t LineHeight = 16);
  void SetMetric(TMetric Metric) { FMetric = std::move(Metric); }

  std::string GetFontName() override { return FFontName; }
  void SetFontName(const std::string& Name) override { FFontName = Name; }
  TKelColor GetFontColor() override { return FColor; }
  void SetFontColor(TKelColor Color) override { FColor = Color; }
  int GetFontStyle() override { return FStyle; }
  void SetFontStyle(int Style) override { FStyle = Style; }
  void Refresh() override { ++FRefreshes; }
  TKelRect MeasureText(const std::u16string& Text, const TKelRect& R) override;
  void TextRect(const TKelRect& R, int32_t X, int32_t Y, const std::u16string& Text) override;

  const std::vector<TCanvasDraw>& Draws() const { return FDraws; }
  int Refreshes() const { return FRefreshes; }

 private:
  int32_t FCharWidth;
  int32_t FLineHeight;
  TMetric FMetric;
  std::string FFontName = "Sans";
  TKelColor FColor = kelColorWindowText;
  int FStyle = 0;
  int FRefreshes = 0;
  std::vector<TCanvasDraw> FDraws;
};

}  // namespace kel
