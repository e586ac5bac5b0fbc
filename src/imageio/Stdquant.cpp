#include "imageio/Stdquant.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace korvane {

namespace {

constexpr int kSide = 32;
constexpr int kCells = kSide * kSide * kSide;

// Axis 0 is red, 1 green, 2 blue, as the cell index orders them.
constexpr int Cell(int r, int g, int b) { return (r << 10) | (g << 5) | b; }

int RoundEven(double v) { return static_cast<int>(std::nearbyint(v)); }

struct Box {
  int lo[3] = {0, 0, 0};
  int hi[3] = {kSide, kSide, kSide};  // exclusive
  std::int64_t count = 0;
  std::int64_t hist[3][kSide] = {};
  double mean[3] = {0, 0, 0};
  double error = 0;
};

class MedianCut {
 public:
  explicit MedianCut(const TDib& bitmap) : cells_(kCells, 0) {
    const int width = bitmap.Width();
    for (int y = 0; y < bitmap.Height(); ++y) {
      const std::uint8_t* row = bitmap.Row(y);
      if (bitmap.PixelFormat() == TPixelFormat::pf24bit) {
        for (int x = 0; x < width; ++x, row += 3) ++cells_[Cell(row[2] >> 3, row[1] >> 3, row[0] >> 3)];
      } else {
        for (int x = 0; x < width; ++x) {
          const TColor c = bitmap.Palette()[(row[x >> 3] >> (7 - (x & 7))) & 1];
          ++cells_[Cell(RedOf(c) >> 3, GreenOf(c) >> 3, BlueOf(c) >> 3)];
        }
      }
    }
    pixels_ = static_cast<double>(width) * bitmap.Height();
  }

  std::vector<Box> Run(int colors) {
    std::vector<Box> boxes(1);
    Recount(boxes[0]);
    Stats(boxes[0]);
    while (static_cast<int>(boxes.size()) < colors) {
      std::size_t pick = 0;
      for (std::size_t i = 1; i < boxes.size(); ++i)
        if (boxes[i].error > boxes[pick].error) pick = i;
      if (!(boxes[pick].error > 0)) break;
      Box bestLow, bestHigh;
      bool found = false;
      double bestSum = 0;
      for (int axis = 0; axis < 3; ++axis) {
        Box low, high;
        if (!Split(boxes[pick], axis, low, high)) continue;
        const double sum = low.error + high.error;
        if (!found || sum < bestSum) {
          found = true;
          bestSum = sum;
          bestLow = low;
          bestHigh = high;
        }
      }
      if (!found) {
        boxes[pick].error = 0;
        continue;
      }
      boxes[pick] = bestLow;
      boxes.push_back(bestHigh);
    }
    return boxes;
  }

 private:
  void Recount(Box& box) const {
    std::memset(box.hist, 0, sizeof box.hist);
    box.count = 0;
    for (int r = box.lo[0]; r < box.hi[0]; ++r)
      for (int g = box.lo[1]; g < box.hi[1]; ++g)
        for (int b = box.lo[2]; b < box.hi[2]; ++b) {
          const std::uint32_t n = cells_[Cell(r, g, b)];
          if (!n) continue;
          box.hist[0][r] += n;
          box.hist[1][g] += n;
          box.hist[2][b] += n;
          box.count += n;
        }
  }

  static void Shrink(Box& box) {
    for (int axis = 0; axis < 3; ++axis) {
      int lo = box.lo[axis], hi = box.hi[axis];
      while (lo < hi && box.hist[axis][lo] == 0) ++lo;
      while (hi > lo && box.hist[axis][hi - 1] == 0) --hi;
      box.lo[axis] = lo;
      box.hi[axis] = hi;
    }
  }

  void Stats(Box& box) const {
    box.error = 0;
    if (box.count == 0) return;
    const double n = static_cast<double>(box.count);
    for (int axis = 0; axis < 3; ++axis) {
      double sum = 0, sum2 = 0;
      for (int v = box.lo[axis]; v < box.hi[axis]; ++v) {
        const double h = static_cast<double>(box.hist[axis][v]);
        sum += v * h;
        sum2 += static_cast<double>(v) * v * h;
      }
      const double m = sum / n;
      box.mean[axis] = m;
      box.error += sum2 - m * m * n;
    }
    box.error /= pixels_;
  }

  bool Split(const Box& box, int axis, Box& low, Box& high) const {
    const int lo = box.lo[axis], hi = box.hi[axis];
    if (hi <= lo + 1) return false;
    const std::int64_t n = box.count;
    const double m = box.mean[axis];
    const int start = RoundEven((lo + m) / 2);
    // The rounded midpoint can land on hi itself, one past the histogram.
    const int end = std::min(RoundEven((m + hi) / 2), hi - 1);
    std::int64_t s = 0;
    for (int v = lo; v < start; ++v) s += box.hist[axis][v];
    double t = 0, best = -1;
    int cut = start;
    std::int64_t lower = n;
    for (int e = start; e <= end; ++e) {
      s += box.hist[axis][e];
      if (s == n) break;
      t += static_cast<double>(box.hist[axis][e]) * e / static_cast<double>(n);
      const double score =
          static_cast<double>(s) / static_cast<double>(n - s) * (m - t) * (m - t);
      if (score > best) {
        cut = e;
        lower = s;
        best = score;
      }
    }
    if (lower == 0 || lower == n) return false;
    low = box;
    high = box;
    low.hi[axis] = cut + 1;
    high.lo[axis] = cut + 1;
    for (Box* half : {&low, &high}) {
      Recount(*half);
      Shrink(*half);
      Stats(*half);
    }
    return low.count > 0 && high.count > 0;
  }

  std::vector<std::uint32_t> cells_;
  double pixels_ = 0;
};

// Matrix entry at row (x mod 8), column (y mod 8).
constexpr std::uint8_t kDither[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},   {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38},  {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},   {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},  {63, 31, 55, 23, 61, 29, 53, 21}};

TColor PixelColor(const std::uint8_t* bgr) { return RGBColor(bgr[2], bgr[1], bgr[0]); }

}  // namespace

TVxQuantizer::TVxQuantizer(const TDib& bitmap, TRGB* palette, int colors)
    : table_(kCells, 0) {
  colors = std::clamp(colors, 1, kCells);
  if (bitmap.Empty()) {
    count_ = 1;
    palette[0] = TRGB{};
    return;
  }
  MedianCut cut(bitmap);
  const std::vector<Box> boxes = cut.Run(colors);
  count_ = static_cast<int>(boxes.size());
  for (int i = 0; i < count_; ++i) {
    const Box& box = boxes[static_cast<std::size_t>(i)];
    palette[i] = TRGB{static_cast<std::uint8_t>(RoundEven(box.mean[2]) * 8),
                      static_cast<std::uint8_t>(RoundEven(box.mean[1]) * 8),
                      static_cast<std::uint8_t>(RoundEven(box.mean[0]) * 8)};
    for (int r = box.lo[0]; r < box.hi[0]; ++r)
      for (int g = box.lo[1]; g < box.hi[1]; ++g)
        for (int b = box.lo[2]; b < box.hi[2]; ++b)
          table_[static_cast<std::size_t>(Cell(r, g, b))] = static_cast<std::uint16_t>(i);
  }
}

TVxQuantizer::~TVxQuantizer() = default;

int ColorLightness(TColor color) {
  const int n = 21 * RedOf(color) + 71 * GreenOf(color) + 7 * BlueOf(color);
  int q = n / 100;
  const int rem = n % 100;
  if (rem > 50 || (rem == 50 && (q & 1))) ++q;
  return q;
}

void OrderedDitherRow(const std::uint8_t* bgr, std::uint8_t* bits, int width, int y) {
  std::memset(bits, 0, static_cast<std::size_t>((width + 7) / 8));
  const std::uint8_t* column = nullptr;
  for (int x = 0; x < width; ++x, bgr += 3) {
    column = kDither[x & 7];
    const int level = (21 * bgr[2] + 71 * bgr[1] + 7 * bgr[0]) / 100 / 4;
    if (level > column[y & 7]) bits[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
  }
}

bool ReduceToTwoColors(const TDib& source, TDib& target) {
  if (source.Empty()) return false;
  if (source.PixelFormat() == TPixelFormat::pf1bit) return target.Assign(source).ok();
  const int width = source.Width(), height = source.Height();
  TColor first = 0, second = 0;
  int distinct = 0;
  for (int y = 0; y < height && distinct <= 2; ++y) {
    const std::uint8_t* px = source.ScanLine(y);
    for (int x = 0; x < width; ++x, px += 3) {
      const TColor c = PixelColor(px);
      if (distinct == 0) {
        first = c;
        distinct = 1;
      } else if (c != first && (distinct == 1 || c != second)) {
        if (distinct == 2) {
          distinct = 3;
          break;
        }
        second = c;
        distinct = 2;
      }
    }
  }
  if (distinct > 2) return false;
  TDib out;
  if (!out.SetSize(width, height, TPixelFormat::pf1bit)) return false;
  // Index 0 is the darker colour; a lone colour is paired with white (white with black), so that
  // a blank page stays blank instead of being dithered.
  bool invert = false;
  std::array<TColor, 2> palette{first, second};
  if (distinct == 1) {
    if (first == clWhite) {
      palette = {clBlack, clWhite};
      invert = true;
    } else {
      palette = {first, clWhite};
    }
  } else if (ColorLightness(second) < ColorLightness(first)) {
    palette = {second, first};
    invert = true;
  }
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* px = source.ScanLine(y);
    std::uint8_t* bits = out.ScanLine(y);
    for (int x = 0; x < width; ++x, px += 3) {
      const bool one = (PixelColor(px) != first) != invert;
      if (one) bits[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
    }
  }
  out.SetPalette(palette);
  target = std::move(out);
  return true;
}

TStatus MakeBlackWhite(const TDib& source, TDib& target) {
  if (source.Empty()) return TStatus::Error("There is no image.");
  if (source.PixelFormat() == TPixelFormat::pf1bit) return target.Assign(source);
  if (ReduceToTwoColors(source, target)) return TStatus::Ok();
  TDib out;
  if (TStatus s = out.SetSize(source.Width(), source.Height(), TPixelFormat::pf1bit); !s) return s;
  for (int y = 0; y < source.Height(); ++y)
    OrderedDitherRow(source.ScanLine(y), out.ScanLine(y), source.Width(), y);
  out.SetPalette({clBlack, clWhite});
  target = std::move(out);
  return TStatus::Ok();
}

}  // namespace korvane
