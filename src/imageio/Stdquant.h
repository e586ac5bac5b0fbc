// Palettes for palette output and colour reduction, and black-and-white reduction.
//
// TVxQuantizer: median cut over a 32 x 32 x 32 histogram (5 bits a channel); every colour maps to
// the box of its cell with one table lookup, no nearest-colour search.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/Dibactions.h"

namespace korvane {

// A palette entry in pixel order: blue, green, red.
struct TRGB {
  std::uint8_t b = 0, g = 0, r = 0;
  friend bool operator==(const TRGB&, const TRGB&) = default;
};
constexpr TColor ToColor(TRGB c) { return RGBColor(c.r, c.g, c.b); }
constexpr TRGB ToRGB(TColor c) { return TRGB{BlueOf(c), GreenOf(c), RedOf(c)}; }

class TVxQuantizer {
 public:
  // A palette of at most `colors` entries (at least 1) for a 24- or 1-bit bitmap. Writes the
  // entries into `palette`, which must hold `colors` entries; those beyond PaletteCount() are
  // left as they were.
  TVxQuantizer(const TDib& bitmap, TRGB* palette, int colors);
  ~TVxQuantizer();
  TVxQuantizer(const TVxQuantizer&) = delete;
  TVxQuantizer& operator=(const TVxQuantizer&) = delete;

  int GetRGBIndex(TRGB color) const {
    return table_[((color.r >> 3) << 10) | ((color.g >> 3) << 5) | (color.b >> 3)];
  }
  // Index of a pixel given by its 3 bytes blue, green, red.
  int GetPixelIndex(const std::uint8_t* bgr) const {
    return table_[((bgr[2] >> 3) << 10) | ((bgr[1] >> 3) << 5) | (bgr[0] >> 3)];
  }
  int PaletteCount() const { return count_; }

 private:
  std::vector<std::uint16_t> table_;  // cell -> box
  int count_ = 0;
};

// round((21 red + 71 green + 7 blue) / 100): how light a colour looks.
int ColorLightness(TColor color);

// The ordered-dither bits of one 24-bit row (y counted from the top of the picture) into a 1-bit
// row, most significant bit first; 1 is white.
void OrderedDitherRow(const std::uint8_t* bgr, std::uint8_t* bits, int width, int y);

// Two-colour reduction for the 1-bit writers: a 24-bit bitmap of at most two distinct colours
// becomes a 1-bit bitmap whose palette holds them, the darker as entry 0 (a single colour is
// paired with white, or white with black). False for three colours or more.
bool ReduceToTwoColors(const TDib& source, TDib& target);

// What the 1-bit writers store: a 1-bit bitmap as it is, else the two-colour reduction, else the
// ordered dither with the palette black, white.
TStatus MakeBlackWhite(const TDib& source, TDib& target);

}  // namespace korvane
