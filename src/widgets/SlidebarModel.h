// The slide bar's arithmetic: keys, the drag formula, the thumb's place, ticks and the flash
// colour. No Qt, so the widget stays a thin painter and the numbers can be tested alone.
#pragma once

#include <cstdint>

namespace korvane {

struct TRgb {
  std::uint8_t Red = 0;
  std::uint8_t Green = 0;
  std::uint8_t Blue = 0;
  friend bool operator==(const TRgb&, const TRgb&) = default;
};

enum class TSlideKey { LineUp, LineDown, PageUp, PageDown, Home, End };

// The position a key leads to; steps are clamped to min..max and computed in 64 bits so that
// a large step near the end of the int range cannot overflow.
int SlideKeyTarget(TSlideKey key, int min, int max, int position, int stepLine, int stepPage);

// Where the thumb's leading edge sits along `travel` (the long side minus the thumb's length):
// from the left for a horizontal bar, from the top for a vertical one, which grows upwards.
int SlideThumbOffset(int min, int max, int position, int travel, bool vertical);

// The drag formula: the position for a thumb whose leading edge is at `thumbCoord`, clamped to
// the range. With no travel (a bar no longer than its thumb) the position stays.
int SlideDragPosition(int min, int max, int position, int thumbCoord, int travel, bool vertical);

// Units between drawn ticks: `frequency`, or the smallest multiple of it that keeps ticks at
// least `minSpacing` pixels apart (so a huge range cannot turn into a solid comb or a long
// loop). 0 when no tick can be drawn.
std::int64_t SlideTickStride(int min, int max, int frequency, int travel, int minSpacing);

// The flash colour for `position`: b = truncate(768 / (max - min + 1) * position) picks a band
// of a colour wheel and c = b mod 256 the place inside it.
TRgb SlideFlashColour(int min, int max, int position);

// Round to nearest, ties to even.
std::int64_t SlideRound(double v);

}  // namespace korvane
