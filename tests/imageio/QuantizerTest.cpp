// The median-cut quantizer, the ordered black-and-white dither, the two-colour reduction and the
// processing component's colour reduction built on them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <vector>

#include "ImageTestUtil.h"
#include "imageio/Stdquant.h"
#include "imageio/Vistelio.h"

namespace korvane {
namespace {

using test::MakeBitmap;
using test::PixelAt;
using test::Rgb;

TEST(Quantizer, FlatColoursGiveOneEntryEachOnTheEightGrid) {
  const Rgb colours[4] = {{200, 13, 90}, {7, 250, 31}, {100, 100, 100}, {66, 0, 180}};
  const TDib bmp = MakeBitmap(8, 8, [&](int x, int y) { return colours[(x / 4) + 2 * (y / 4)]; });
  std::vector<TRGB> palette(256, TRGB{1, 2, 3});
  const TVxQuantizer q(bmp, palette.data(), 256);
  ASSERT_EQ(q.PaletteCount(), 4);
  for (const Rgb& c : colours) {
    const TRGB e = palette[static_cast<std::size_t>(q.GetRGBIndex(TRGB{c.b, c.g, c.r}))];
    for (const auto& [got, want] : {std::pair{e.r, c.r}, {e.g, c.g}, {e.b, c.b}}) {
      EXPECT_EQ(got % 8, 0);
      EXPECT_LT(std::abs(got - want), 8);
    }
  }
  // Entries past the palette's count are the caller's.
  EXPECT_EQ(palette[4], (TRGB{1, 2, 3}));
  EXPECT_EQ(palette[255], (TRGB{1, 2, 3}));
}

TEST(Quantizer, PaletteEntryIsTheRoundedCellMean) {
  // Three black pixels and one white: two boxes, white's mean cell 31 gives 248.
  const TDib bmp = MakeBitmap(4, 1, [](int x, int) { return x == 3 ? Rgb{255, 255, 255} : Rgb{}; });
  TRGB palette[2];
  const TVxQuantizer q(bmp, palette, 2);
  ASSERT_EQ(q.PaletteCount(), 2);
  EXPECT_EQ(palette[q.GetRGBIndex(TRGB{0, 0, 0})], (TRGB{0, 0, 0}));
  EXPECT_EQ(palette[q.GetRGBIndex(TRGB{255, 255, 255})], (TRGB{248, 248, 248}));
  // One box for all: the mean cell of 3 x 0 and 1 x 31 is 7.75, rounded to 8.
  TRGB one[1];
  const TVxQuantizer single(bmp, one, 1);
  EXPECT_EQ(one[0], (TRGB{64, 64, 64}));
}

TEST(Quantizer, NeverGivesMoreEntriesThanAskedAndMapsEveryPixelIntoThem) {
  std::srand(7);
  const TDib bmp = MakeBitmap(64, 64, [](int, int) {
    return Rgb{static_cast<std::uint8_t>(std::rand()), static_cast<std::uint8_t>(std::rand()),
               static_cast<std::uint8_t>(std::rand())};
  });
  long long previousError = -1;
  for (const int n : {256, 16, 3}) {
    std::vector<TRGB> palette(static_cast<std::size_t>(n));
    const TVxQuantizer q(bmp, palette.data(), n);
    EXPECT_EQ(q.PaletteCount(), n) << "4096 random colours split into every box asked for";
    std::set<int> used;
    long long error = 0;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) {
        const Rgb c = PixelAt(bmp, x, y);
        const int i = q.GetRGBIndex(TRGB{c.b, c.g, c.r});
        ASSERT_GE(i, 0);
        ASSERT_LT(i, n);
        used.insert(i);
        const TRGB e = palette[static_cast<std::size_t>(i)];
        error += std::abs(e.r - c.r) + std::abs(e.g - c.g) + std::abs(e.b - c.b);
      }
    EXPECT_EQ(static_cast<int>(used.size()), n) << "each box holds pixels";
    // Each pixel lies in its box, so fewer boxes mean a coarser palette.
    EXPECT_GT(error, previousError) << n;
    previousError = error;
  }
}

TEST(Quantizer, ColoursOnTheGridAreReproducedExactly) {
  std::vector<Rgb> colours;
  for (int i = 0; i < 200; ++i)
    colours.push_back(Rgb{static_cast<std::uint8_t>(8 * (i % 32)), static_cast<std::uint8_t>(8 * ((i * 7) % 32)),
                          static_cast<std::uint8_t>(8 * (i / 32))});
  const TDib bmp = MakeBitmap(200, 1, [&](int x, int) { return colours[static_cast<std::size_t>(x)]; });
  std::vector<TRGB> palette(256);
  const TVxQuantizer q(bmp, palette.data(), 256);
  EXPECT_EQ(q.PaletteCount(), 200);
  for (const Rgb& c : colours) {
    const TRGB e = palette[static_cast<std::size_t>(q.GetRGBIndex(TRGB{c.b, c.g, c.r}))];
    EXPECT_EQ((Rgb{e.r, e.g, e.b}), c);
  }
}

// The dither bit of (x, y) of a bitmap of one colour, through the row function.
std::vector<std::vector<int>> DitherOf(Rgb c, int size) {
  const TDib bmp = MakeBitmap(size, size, [c](int, int) { return c; });
  std::vector<std::vector<int>> bits(static_cast<std::size_t>(size), std::vector<int>(static_cast<std::size_t>(size)));
  std::vector<std::uint8_t> row(static_cast<std::size_t>((size + 7) / 8));
  for (int y = 0; y < size; ++y) {
    OrderedDitherRow(bmp.ScanLine(y), row.data(), size, y);
    for (int x = 0; x < size; ++x)
      bits[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = (row[static_cast<std::size_t>(x / 8)] >> (7 - x % 8)) & 1;
  }
  return bits;
}

TEST(Dither, WhiteLeavesOnePixelBlackInEveryBlock) {
  const auto bits = DitherOf({255, 255, 255}, 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      EXPECT_EQ(bits[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)], x % 8 == 7 && y % 8 == 0 ? 0 : 1) << x << "," << y;
}

TEST(Dither, BlackStaysBlack) {
  for (const auto& row : DitherOf({0, 0, 0}, 9))
    for (int bit : row) EXPECT_EQ(bit, 0);
}

TEST(Dither, MidGreySetsTheEntriesBelow31) {
  // L = ((21 + 71 + 7) * 128 div 100) div 4 = 31.
  const auto bits = DitherOf({128, 128, 128}, 8);
  int white = 0;
  for (const auto& row : bits)
    for (int bit : row) white += bit;
  EXPECT_EQ(white, 31);
  EXPECT_EQ(bits[0][0], 1);  // entry 0
  EXPECT_EQ(bits[0][3], 0);  // entry 60 (x 3, y 0)
  EXPECT_EQ(bits[1][0], 0);  // entry 32 (x 0, y 1)
  EXPECT_EQ(bits[1][3], 1);  // entry 28
}

TEST(Dither, RowsOfOddWidthLeaveTheSpareBitsClear) {
  const TDib bmp = MakeBitmap(3, 1, [](int, int) { return Rgb{255, 255, 255}; });
  std::uint8_t row[1] = {0xFF};
  OrderedDitherRow(bmp.ScanLine(0), row, 3, 1);
  EXPECT_EQ(row[0], 0xE0);
}

TEST(Lightness, RoundsHalfToEven) {
  EXPECT_EQ(ColorLightness(RGBColor(50, 0, 0)), 10);   // 10.5
  EXPECT_EQ(ColorLightness(RGBColor(150, 0, 0)), 32);  // 31.5
  EXPECT_EQ(ColorLightness(RGBColor(0, 1, 0)), 1);     // 0.71
  EXPECT_EQ(ColorLightness(clWhite), 252);
}

TEST(TwoColours, DarkerBecomesIndexZeroWhicheverComesFirst) {
  for (const bool whiteFirst : {true, false}) {
    const TDib bmp = MakeBitmap(5, 2, [whiteFirst](int x, int) {
      return (x == 0) == whiteFirst ? Rgb{255, 255, 255} : Rgb{255, 0, 0};
    });
    TDib mono;
    ASSERT_TRUE(ReduceToTwoColors(bmp, mono));
    ASSERT_EQ(mono.PixelFormat(), TPixelFormat::pf1bit);
    EXPECT_EQ(mono.Palette()[0], RGBColor(255, 0, 0));
    EXPECT_EQ(mono.Palette()[1], clWhite);
    EXPECT_EQ(test::FirstDifference(mono, bmp), "");
  }
}

TEST(TwoColours, EqualLightnessKeepsTheFirstMetAsZero) {
  // (0, 0, 100) and (0, 0, 101) differ by 0.07 in lightness: both round to 7.
  const TDib bmp = MakeBitmap(2, 1, [](int x, int) { return x ? Rgb{0, 0, 100} : Rgb{0, 0, 101}; });
  TDib mono;
  ASSERT_TRUE(ReduceToTwoColors(bmp, mono));
  EXPECT_EQ(mono.Palette()[0], RGBColor(0, 0, 101));
}

TEST(TwoColours, ThreeColoursAreRefused) {
  const TDib bmp = MakeBitmap(3, 1, [](int x, int) { return Rgb{static_cast<std::uint8_t>(x), 0, 0}; });
  TDib mono;
  EXPECT_FALSE(ReduceToTwoColors(bmp, mono));
  EXPECT_TRUE(mono.Empty());
}

TEST(ConvertTo, ReducesToPaletteColoursAndStaysTrueColour) {
  const TDib original = MakeBitmap(32, 32, [](int x, int y) {
    return Rgb{static_cast<std::uint8_t>(x * 8), static_cast<std::uint8_t>(y * 8), static_cast<std::uint8_t>(x * y)};
  });
  TDib bmp;
  ASSERT_TRUE(bmp.Assign(original));
  TVistelProc proc;
  proc.SetAttachedBitmap(&bmp);
  std::vector<int> progress;
  proc.OnProgress = [&](void*, int percent) { progress.push_back(percent); };
  ASSERT_TRUE(proc.ConvertTo(12));
  EXPECT_EQ(bmp.PixelFormat(), TPixelFormat::pf24bit);
  std::set<std::tuple<int, int, int>> colours;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const Rgb c = PixelAt(bmp, x, y);
      colours.insert({c.r, c.g, c.b});
    }
  EXPECT_EQ(colours.size(), 12u);
  ASSERT_EQ(progress.size(), 32u);
  EXPECT_EQ(progress.back(), 98);  // truncate(100 / 32.5 * 32)
}

TEST(ConvertTo, TwoColoursOrFewerGiveTheDitherInTrueColour) {
  TDib bmp = MakeBitmap(8, 8, [](int, int) { return Rgb{128, 128, 128}; });
  TVistelProc proc;
  proc.SetAttachedBitmap(&bmp);
  ASSERT_TRUE(proc.ConvertTo(2));
  EXPECT_EQ(bmp.PixelFormat(), TPixelFormat::pf24bit);
  const auto bits = DitherOf({128, 128, 128}, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(PixelAt(bmp, x, y), bits[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] ? (Rgb{255, 255, 255}) : Rgb{});
}

TEST(ConvertTo, RefusesAOneBitOrMissingBitmap) {
  TDib mono;
  ASSERT_TRUE(mono.SetSize(4, 4, TPixelFormat::pf1bit));
  TVistelProc proc;
  EXPECT_FALSE(proc.ConvertTo(8));
  proc.SetAttachedBitmap(&mono);
  EXPECT_FALSE(proc.ConvertTo(8));
}

}  // namespace
}  // namespace korvane
