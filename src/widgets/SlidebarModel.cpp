#include "widgets/SlidebarModel.h"

#include <algorithm>
#include <cmath>

namespace korvane {

std::int64_t SlideRound(double v) {
  // nearbyint follows the default rounding mode, which is to nearest with ties to even.
  return static_cast<std::int64_t>(std::nearbyint(v));
}

namespace {

int ClampToRange(std::int64_t v, int min, int max) {
  return static_cast<int>(std::clamp<std::int64_t>(v, min, max));
}

}  // namespace

int SlideKeyTarget(TSlideKey key, int min, int max, int position, int stepLine, int stepPage) {
  const std::int64_t p = position;
  switch (key) {
    case TSlideKey::LineUp:
      return ClampToRange(p + stepLine, min, max);
    case TSlideKey::LineDown:
      return ClampToRange(p - stepLine, min, max);
    case TSlideKey::PageUp:
      return ClampToRange(p + stepPage, min, max);
    case TSlideKey::PageDown:
      return ClampToRange(p - stepPage, min, max);
    case TSlideKey::Home:
      return min;
    case TSlideKey::End:
      return max;
  }
  return position;
}

int SlideThumbOffset(int min, int max, int position, int travel, bool vertical) {
  if (travel <= 0) return 0;
  const double range = static_cast<double>(max) - min;
  double f = range > 0 ? (static_cast<double>(position) - min) / range : 0.0;
  f = std::clamp(f, 0.0, 1.0);
  const auto along = static_cast<int>(SlideRound(f * travel));
  return vertical ? travel - along : along;
}

int SlideDragPosition(int min, int max, int position, int thumbCoord, int travel, bool vertical) {
  if (travel <= 0) return position;
  const double f =
      vertical ? static_cast<double>(travel - static_cast<std::int64_t>(thumbCoord)) / travel
               : static_cast<double>(thumbCoord) / travel;
  const double v = f * (static_cast<double>(max) - min) + min;
  // Clamp before converting: a far drag on a wide range must not overflow the integer.
  if (v <= min) return min;
  if (v >= max) return max;
  return ClampToRange(SlideRound(v), min, max);
}

std::int64_t SlideTickStride(int min, int max, int frequency, int travel, int minSpacing) {
  if (frequency <= 0 || travel <= 0 || max < min) return 0;
  const double range = static_cast<double>(max) - min;
  if (range == 0) return frequency;
  const double spacing = frequency * (travel / range);
  if (spacing >= minSpacing) return frequency;
  const double m = std::ceil(minSpacing / spacing);
  if (m * frequency > range) return 0;  // not even two ticks fit
  return static_cast<std::int64_t>(m) * frequency;
}

TRgb SlideFlashColour(int min, int max, int position) {
  std::int64_t span = static_cast<std::int64_t>(max) - min + 1;
  if (span <= 0) span = 1;  // an empty range would divide by zero
  const auto b =
      static_cast<std::int64_t>(std::trunc(768.0 / static_cast<double>(span) * position));
  // c is the low byte, as a colour component takes it, also for negative b.
  const auto c = static_cast<std::uint8_t>(b & 0xFF);
  // 256 - c would be 256 at c = 0: hold it at 255 so the band joins its neighbours.
  const auto fall = static_cast<std::uint8_t>(std::min(256 - c, 255));
  const std::uint8_t full = 255;
  if (b >= -256 && b <= -1) return {0, c, full};
  if (b >= 0 && b <= 255) return {0, full, static_cast<std::uint8_t>(255 - c)};
  if ((b >= 256 && b <= 511) || b < -256) return {c, full, 0};
  if (b >= 512 && b <= 767) return {full, fall, 0};
  if (b >= 768 && b <= 1023) return {full, 0, c};
  return {fall, 0, full};
}

}  // namespace korvane
