// The ruler's arithmetic: which unit lies under a pixel, where ticks and labels fall, the label
// texts, the view limits, and the settings that make a ruler follow the image view. No Qt.
#pragma once

#include <string>
#include <vector>

namespace korvane {

// How units map to pixels along the ruler: `ViewPos` lies at pixel `ScaleOffset` and one unit
// is `DotPerUnit` pixels long.
struct TRulerScale {
  double ViewPos = 0.0;
  double DotPerUnit = 1.0;
  int ScaleOffset = 0;
};

double RulerUnitAt(const TRulerScale& scale, double pixel);
int RulerPixelOf(const TRulerScale& scale, double unit);

struct TRulerMark {
  double Value = 0.0;
  int Pixel = 0;
};

// Marks every `frequency` units over a ruler `length` pixels long, from the first multiple of
// the step at or after truncation of the unit at pixel 0, k = 0 ... truncate(span / step) + 1.
// When marks would be closer than `minSpacing` pixels the step grows to 2, 5, 10, 20, 50 ...
// times `frequency`. Values are whole multiples of the step, so 0 is exactly 0.
std::vector<TRulerMark> RulerMarks(const TRulerScale& scale, double frequency, int length,
                                   double minSpacing);

// Decimal labels use 15 significant digits, fixed notation unless the value is below 0.00001
// or has more than 15 digits before the point ("1E020" then). Hexadecimal labels show the
// truncated magnitude in upper case, "-" before a negative one.
std::string RulerLabelText(double value, bool hex);

// Keeps `pos` so the range viewMin..viewMax fills the ruler: not beyond viewMax minus the units
// that fit after it, and not below viewMin, which wins when the range is shorter than the
// ruler. Only when viewMin < viewMax.
double RulerClampViewPos(double pos, double viewMin, double viewMax, double unitsAfterPos);

// The ruler settings under which the unit at every pixel is the image coordinate the view shows
// there. The view draws image pixel u at client x = u * zoom / 100 - viewOrigin +
// centringOffset; `viewStart` is where the view's client area begins in the ruler's own
// coordinates (0 when they are flush).
TRulerScale RulerFollowView(int zoomPercent, int viewOrigin, int centringOffset, int viewStart);

// The scale band: round(|font height| * 1.7) + 3 pixels, 0 without a scale.
int RulerBandThickness(int fontPixelHeight, bool ruler);

}  // namespace korvane
