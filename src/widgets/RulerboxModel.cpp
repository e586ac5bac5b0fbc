#include "widgets/RulerboxModel.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace korvane {

namespace {

// Far-off pixels are drawn nowhere; holding them inside the int range keeps the conversion defined.
int PixelFromDouble(double v) {
  constexpr double kFar = 1e9;
  return static_cast<int>(std::nearbyint(std::clamp(v, -kFar, kFar)));
}

}  // namespace

double RulerUnitAt(const TRulerScale& scale, double pixel) {
  return scale.ViewPos + (pixel - scale.ScaleOffset) / scale.DotPerUnit;
}

int RulerPixelOf(const TRulerScale& scale, double unit) {
  return PixelFromDouble((unit - scale.ViewPos) * scale.DotPerUnit) + scale.ScaleOffset;
}

std::vector<TRulerMark> RulerMarks(const TRulerScale& scale, double frequency, int length,
                                   double minSpacing) {
  std::vector<TRulerMark> marks;
  const double dpu = scale.DotPerUnit;
  if (!(frequency > 0) || !(dpu > 0) || !std::isfinite(frequency) || !std::isfinite(dpu) ||
      length <= 0) {
    return marks;
  }
  minSpacing = std::max(minSpacing, 1.0);
  double step = frequency;
  static constexpr double kGrowth[] = {2, 5, 10};
  for (double decade = 1; step * dpu < minSpacing;) {
    bool grown = false;
    for (double g : kGrowth) {
      if (frequency * decade * g * dpu >= minSpacing) {
        step = frequency * decade * g;
        grown = true;
        break;
      }
    }
    if (grown) break;
    decade *= 10;
    if (!std::isfinite(frequency * decade * dpu)) return marks;
  }
  const double u0 = RulerUnitAt(scale, 0);
  const double first = std::trunc(u0 / step);
  const double last = std::trunc(length / dpu / step) + 1;
  if (!std::isfinite(first) || !std::isfinite(last)) return marks;
  const auto count = static_cast<int>(last) + 1;
  marks.reserve(static_cast<std::size_t>(count));
  for (int k = 0; k < count; ++k) {
    const double v = (first + k) * step;
    marks.push_back({v, RulerPixelOf(scale, v)});
  }
  return marks;
}

std::string RulerLabelText(double value, bool hex) {
  if (!std::isfinite(value)) return "0";
  if (hex) {
    const double magnitude = std::trunc(std::fabs(value));
    const auto n =
        magnitude >= 18446744073709551615.0 ? UINT64_MAX : static_cast<std::uint64_t>(magnitude);
    char buf[24];
    std::snprintf(buf, sizeof buf, "%" PRIX64, n);
    // A negative value that truncates to 0 reads "0", not "-0".
    return (value < 0 && n != 0 ? "-" : "") + std::string(buf);
  }
  if (value == 0) return "0";
  // The 15 significant digits and the decimal exponent after rounding to them.
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.14e", value);
  std::string s(buf);
  const bool negative = s[0] == '-';
  if (negative) s.erase(0, 1);
  const std::size_t e = s.find('e');
  const int exponent = std::atoi(s.c_str() + e + 1);
  std::string digits = s.substr(0, 1) + s.substr(2, e - 2);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out;
  if (exponent >= 15 || std::fabs(value) < 0.00001) {
    out = digits.substr(0, 1);
    if (digits.size() > 1) out += "." + digits.substr(1);
    char ex[16];
    std::snprintf(ex, sizeof ex, "%03d", std::abs(exponent));
    out += std::string("E") + (exponent < 0 ? "-" : "") + ex;
  } else if (exponent < 0) {
    out = "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
  } else {
    const auto whole = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= whole) {
      out = digits + std::string(whole - digits.size(), '0');
    } else {
      out = digits.substr(0, whole) + "." + digits.substr(whole);
    }
  }
  return (negative ? "-" : "") + out;
}

double RulerClampViewPos(double pos, double viewMin, double viewMax, double unitsAfterPos) {
  if (!(viewMin < viewMax)) return pos;
  pos = std::min(pos, viewMax - unitsAfterPos);
  return std::max(pos, viewMin);
}

TRulerScale RulerFollowView(int zoomPercent, int viewOrigin, int centringOffset, int viewStart) {
  if (zoomPercent <= 0) zoomPercent = 100;  // the view refuses such a zoom and keeps showing 1:1
  const double f = zoomPercent / 100.0;
  return {viewOrigin / f, f, viewStart + centringOffset};
}

int RulerBandThickness(int fontPixelHeight, bool ruler) {
  if (!ruler) return 0;
  return static_cast<int>(std::nearbyint(std::abs(fontPixelHeight) * 1.7)) + 3;
}

}  // namespace korvane
