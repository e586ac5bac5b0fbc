// The BMP codec: write-read round trips for every depth, header version and compression, the
// header fields the writer produces, RLE decoding, and one tiny corrupt file per fault.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "ImageTestUtil.h"
#include "imageio/Bmpfilt.h"
#include "imageio/Stream.h"
#include "imageio/Vistelio.h"

namespace korvane {
namespace {

using test::BmpSpec;
using test::BuildBmp;
using test::FirstDifference;
using test::Le16;
using test::Le32;
using test::MakeBitmap;
using test::PixelAt;
using test::Rgb;

// Colours the quantizer reproduces exactly: multiples of 8, each in its own 5-bit cell.
Rgb PaletteColour(int i) {
  return Rgb{static_cast<std::uint8_t>(8 * ((i * 7) % 32)), static_cast<std::uint8_t>(8 * ((i * 13 + 5) % 32)),
             static_cast<std::uint8_t>(8 * ((i * 3 + 11) % 32))};
}

// Index of (x, y) among `k` colours: a row of one long run, a row with no two equal neighbours,
// then rows of short runs mixed with literal stretches of 1, 2 and more pixels.
int PatternIndex(int x, int y, int k) {
  if (y == 0) return 3 % k;
  if (y == 1) return x % k;
  const int block = (x + 3 * y) / 6;
  return block % 3 == 0 ? block % k : (x * 5 + y) % k;
}

struct Source {
  TDib bitmap;
  int colours;  // distinct colours in it; 0: arbitrary
};

Source MakeSource(int bits, int width) {
  const int height = 5;
  if (bits == 24)
    return {MakeBitmap(width, height,
                       [](int x, int y) {
                         return Rgb{static_cast<std::uint8_t>(x * 37 + y), static_cast<std::uint8_t>(y * 51 + x * 3),
                                    static_cast<std::uint8_t>(x ^ (y * 29))};
                       }),
            0};
  const int k = bits == 1 ? 2 : bits == 4 ? 16 : 40;
  return {MakeBitmap(width, height, [k](int x, int y) { return PaletteColour(PatternIndex(x, y, k)); }), k};
}

std::vector<std::uint8_t> WriteToMemory(const TDib& bitmap, TIOParamsVals& params) {
  TMemoryStream stream;
  TProgressRec progress;
  BMPWriteStream(stream, bitmap, params, progress);
  return stream.Bytes();
}

TDib ReadFromMemory(const std::vector<std::uint8_t>& bytes, TIOParamsVals& params) {
  TMemoryStream stream(bytes);
  TProgressRec progress;
  TDib out;
  BMPReadStream(stream, out, 0, false, progress, params);
  return out;
}

void SetDepth(TIOParamsVals& params, int bits) {
  params.BitsPerSample = bits == 24 ? 8 : bits;
  params.SamplesPerPixel = bits == 24 ? 3 : 1;
}

using RoundTripCase = std::tuple<int, TIOBMPVersion, TIOBMPCompression, int>;

class BmpRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(BmpRoundTrip, ReadsBackWhatWasWritten) {
  const auto [bits, version, compression, width] = GetParam();
  const Source source = MakeSource(bits, width);
  ASSERT_FALSE(source.bitmap.Empty());
  TIOParamsVals params;
  SetDepth(params, bits);
  params.BMP_Version = version;
  params.BMP_Compression = compression;
  params.DpiX = 150;
  params.DpiY = 72;
  const std::vector<std::uint8_t> file = WriteToMemory(source.bitmap, params);

  const bool os2v1 = version == ioBMP_BMOS2V1;
  const bool rle = compression == ioBMP_RLE && !os2v1 && (bits == 4 || bits == 8);
  const std::uint32_t headerSize = os2v1 ? 12 : version == ioBMP_BMOS2V2 ? 64 : 40;
  const std::uint32_t paletteEntries = bits <= 8 ? 1u << bits : 0;
  const std::uint32_t offset = 14 + headerSize + paletteEntries * (os2v1 ? 3 : 4);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  EXPECT_EQ(Le32(file, 2), file.size());
  EXPECT_EQ(Le32(file, 10), offset);
  EXPECT_EQ(Le32(file, 14), headerSize);
  EXPECT_EQ(Le16(file, os2v1 ? 24 : 28), bits);
  if (!os2v1) {
    EXPECT_EQ(Le32(file, 30), rle ? (bits == 4 ? 2u : 1u) : 0u);
    EXPECT_EQ(Le32(file, 34), file.size() - offset);
    EXPECT_EQ(Le32(file, 46), paletteEntries);
    EXPECT_EQ(Le32(file, 50), 1u << bits);
  }
  if (!rle) {
    const std::size_t rowBytes = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
    EXPECT_EQ(file.size(), offset + rowBytes * source.bitmap.Height());
  }
  EXPECT_EQ(params.ColorMapCount, static_cast<int>(paletteEntries));

  TIOParamsVals read;
  const TDib back = ReadFromMemory(file, read);
  EXPECT_EQ(FirstDifference(back, source.bitmap), "");
  EXPECT_EQ(read.BMP_Version, os2v1 ? ioBMP_BMOS2V1 : version == ioBMP_BMOS2V2 ? ioBMP_BMOS2V2 : ioBMP_BM3);
  EXPECT_EQ(read.BMP_Compression, rle ? ioBMP_RLE : ioBMP_UNCOMPRESSED);
  EXPECT_EQ(read.BitsPerSample, bits == 24 ? 8 : bits);
  EXPECT_EQ(read.SamplesPerPixel, bits == 24 ? 3 : 1);
  EXPECT_EQ(read.Width, width);
  EXPECT_EQ(read.ColorMapCount, static_cast<int>(paletteEntries));
  // OS/2 1.x headers carry no resolution.
  EXPECT_EQ(read.DpiX, os2v1 ? gSystemDPIX : 150);
  EXPECT_EQ(read.DpiY, os2v1 ? gSystemDPIY : 72);
}

std::string RoundTripName(const ::testing::TestParamInfo<RoundTripCase>& param) {
  const auto [bits, version, compression, width] = param.param;
  return std::to_string(bits) + "bit_v" + std::to_string(version) +
         (compression == ioBMP_RLE ? "_rle_w" : "_raw_w") + std::to_string(width);
}

INSTANTIATE_TEST_SUITE_P(
    AllLayouts, BmpRoundTrip,
    ::testing::Combine(::testing::Values(1, 4, 8, 24),
                       ::testing::Values(ioBMP_BM, ioBMP_BM3, ioBMP_BMOS2V1, ioBMP_BMOS2V2),
                       ::testing::Values(ioBMP_UNCOMPRESSED, ioBMP_RLE), ::testing::Values(5, 300)),
    RoundTripName);

TEST(BmpWriter, OneBitSourceIsWrittenWithItsOwnPalette) {
  TDib mono;
  ASSERT_TRUE(mono.SetSize(13, 3, TPixelFormat::pf1bit));
  mono.SetPalette({RGBColor(10, 20, 30), RGBColor(200, 100, 50)});
  for (int y = 0; y < 3; ++y) mono.ScanLine(y)[0] = static_cast<std::uint8_t>(0xA5 >> y);
  mono.ScanLine(1)[1] = 0xFF;
  TIOParamsVals params;
  SetDepth(params, 1);
  TIOParamsVals read;
  const TDib back = ReadFromMemory(WriteToMemory(mono, params), read);
  EXPECT_EQ(FirstDifference(back, mono), "");
}

TEST(BmpWriter, OneBitOfTwoColoursPutsTheDarkerFirst) {
  // White is met first, yet red (darker) becomes entry 0.
  const TDib bmp = MakeBitmap(9, 2, [](int x, int) { return x % 3 ? Rgb{255, 0, 0} : Rgb{255, 255, 255}; });
  TIOParamsVals params;
  SetDepth(params, 1);
  const std::vector<std::uint8_t> file = WriteToMemory(bmp, params);
  const std::vector<std::uint8_t> palette(file.begin() + 54, file.begin() + 62);
  EXPECT_EQ(palette, (std::vector<std::uint8_t>{0, 0, 255, 0, 255, 255, 255, 0}));
  EXPECT_EQ(file[62], 0x92);  // white red red white red red white red: 10010010
  TIOParamsVals read;
  EXPECT_EQ(FirstDifference(ReadFromMemory(file, read), bmp), "");
}

TEST(BmpWriter, OneBitOfOneColourKeepsItInsteadOfDithering) {
  for (const Rgb c : {Rgb{255, 255, 255}, Rgb{128, 128, 128}, Rgb{0, 0, 0}}) {
    const TDib bmp = MakeBitmap(16, 16, [c](int, int) { return c; });
    TIOParamsVals params;
    SetDepth(params, 1);
    TIOParamsVals read;
    EXPECT_EQ(FirstDifference(ReadFromMemory(WriteToMemory(bmp, params), read), bmp), "")
        << int(c.r);
  }
}

TEST(BmpWriter, OneBitOfManyColoursIsTheOrderedDither) {
  // Left half white, right half mid grey, one black pixel: three colours, so dithered.
  const TDib bmp = MakeBitmap(16, 8, [](int x, int y) {
    if (x == 0 && y == 0) return Rgb{0, 0, 0};
    return x < 8 ? Rgb{255, 255, 255} : Rgb{128, 128, 128};
  });
  TIOParamsVals params;
  SetDepth(params, 1);
  TIOParamsVals read;
  const TDib back = ReadFromMemory(WriteToMemory(bmp, params), read);
  int whiteInWhite = 0, whiteInGrey = 0;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) {
      const Rgb c = PixelAt(back, x, y);
      ASSERT_TRUE(c == (Rgb{0, 0, 0}) || c == (Rgb{255, 255, 255}));
      if (c == (Rgb{255, 255, 255})) ++(x < 8 ? whiteInWhite : whiteInGrey);
    }
  // White (L 63) loses the matrix's 63 and the pixel that was black; grey (L 31) keeps 31.
  EXPECT_EQ(whiteInWhite, 62);
  EXPECT_EQ(whiteInGrey, 31);
  EXPECT_EQ(PixelAt(back, 7, 0), (Rgb{0, 0, 0})) << "matrix entry 63 sits at x mod 8 = 7, y mod 8 = 0";
}

TEST(BmpWriter, DefaultParametersWriteAVersion3TrueColourHeader) {
  const TDib bmp = MakeBitmap(7, 3, [](int x, int y) { return Rgb{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 9}; });
  TIOParamsVals params;
  params.DpiX = params.DpiY = 96;
  const std::vector<std::uint8_t> file = WriteToMemory(bmp, params);
  EXPECT_EQ(Le32(file, 2), file.size());
  EXPECT_EQ(Le32(file, 10), 54u);
  EXPECT_EQ(Le32(file, 14), 40u);
  EXPECT_EQ(Le16(file, 26), 1u);
  EXPECT_EQ(Le16(file, 28), 24u);
  EXPECT_EQ(Le32(file, 30), 0u);
  EXPECT_EQ(Le32(file, 38), 3780u);
  EXPECT_EQ(Le32(file, 42), 3780u);
  EXPECT_EQ(Le32(file, 46), 0u);
  EXPECT_EQ(Le32(file, 50), 16777216u);
  EXPECT_EQ(file.size(), 54u + 24u * 3u);
  // Row padding is written as zeros.
  EXPECT_EQ(file[54 + 21], 0);
  EXPECT_EQ(file[54 + 23], 0);
}

// The RLE8 codes of one file, row by row; absolute stretches are checked for their limit.
std::vector<int> RleAbsoluteCounts(const std::vector<std::uint8_t>& file) {
  std::vector<int> counts;
  std::size_t i = Le32(file, 10);
  while (i + 1 < file.size()) {
    const int a = file[i], b = file[i + 1];
    i += 2;
    if (a > 0) continue;
    if (b == 1) break;
    if (b >= 3) {
      counts.push_back(b);
      i += static_cast<std::size_t>(b + (b & 1));
    }
  }
  return counts;
}

TEST(BmpWriter, Rle8SplitsLongLiteralStretches) {
  const TDib bmp = MakeBitmap(300, 1, [](int x, int) { return PaletteColour(x % 40); });
  TIOParamsVals params;
  SetDepth(params, 8);
  params.BMP_Compression = ioBMP_RLE;
  const std::vector<std::uint8_t> file = WriteToMemory(bmp, params);
  EXPECT_EQ(RleAbsoluteCounts(file), (std::vector<int>{255, 45}));
  TIOParamsVals read;
  EXPECT_EQ(FirstDifference(ReadFromMemory(file, read), bmp), "");
}

TEST(BmpWriter, AbortLeavesTheHeaderPlaceholder) {
  const TDib bmp = MakeBitmap(4, 10, [](int, int) { return Rgb{1, 2, 3}; });
  TIOParamsVals params;
  bool aborting = false;
  TProgressEvent onProgress = [&](void*, int percent) { aborting = percent >= 30; };
  TProgressRec progress;
  progress.fOnProgress = &onProgress;
  progress.Aborting = &aborting;
  TMemoryStream stream;
  BMPWriteStream(stream, bmp, params, progress);
  const std::vector<std::uint8_t>& file = stream.Bytes();
  ASSERT_GE(file.size(), 54u);
  EXPECT_EQ(std::vector<std::uint8_t>(file.begin(), file.begin() + 14),
            (std::vector<std::uint8_t>{'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_LT(file.size(), 54u + 12u * 10u);
}

// ---------------------------------------------------------------------------------------------
// Reading

TDib Read(const BmpSpec& spec, TIOParamsVals* paramsOut = nullptr) {
  TIOParamsVals params;
  TDib out = ReadFromMemory(BuildBmp(spec), params);
  if (paramsOut) *paramsOut = params;
  return out;
}

std::vector<Rgb> Grey16() {
  std::vector<Rgb> palette;
  for (int i = 0; i < 16; ++i) palette.push_back(Rgb{static_cast<std::uint8_t>(i * 16), static_cast<std::uint8_t>(i), 0});
  return palette;
}

TEST(BmpReader, FourBitOddWidthDecodesEveryPixel) {
  BmpSpec spec;
  spec.width = 5;
  spec.height = 1;
  spec.bits = 4;
  spec.palette = Grey16();
  spec.pixels = {0x12, 0x34, 0x5F, 0x00};
  const TDib bmp = Read(spec);
  ASSERT_EQ(bmp.Width(), 5);
  for (int x = 0; x < 5; ++x) EXPECT_EQ(PixelAt(bmp, x, 0), spec.palette[static_cast<std::size_t>(x + 1)]) << x;
}

struct BitFieldCase {
  const char* name;
  int bits;
  std::vector<std::uint32_t> masks;  // empty: no bit fields
  std::uint32_t word;
  Rgb expected;
};

void PrintTo(const BitFieldCase& c, std::ostream* os) { *os << c.name; }

class BmpBitFields : public ::testing::TestWithParam<BitFieldCase> {};

TEST_P(BmpBitFields, ScaleEachChannelToItsWidth) {
  const BitFieldCase& c = GetParam();
  BmpSpec spec;
  spec.width = 1;
  spec.height = 1;
  spec.bits = c.bits;
  spec.compression = c.masks.empty() ? 0 : 3;
  spec.masks = c.masks;
  for (int i = 0; i < c.bits / 8; ++i) spec.pixels.push_back(static_cast<std::uint8_t>(c.word >> (8 * i)));
  spec.pixels.resize(4, 0);
  EXPECT_EQ(PixelAt(Read(spec), 0, 0), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Masks, BmpBitFields,
    ::testing::Values(
        // 5-5-5 by default: full channels are 255, not 248.
        BitFieldCase{"default555white", 16, {}, 0x7FFF, {255, 255, 255}},
        BitFieldCase{"default555red", 16, {}, 0x7C00, {255, 0, 0}},
        BitFieldCase{"default555mid", 16, {}, 0x4210, {132, 132, 132}},
        BitFieldCase{"rgb565green", 16, {0xF800, 0x07E0, 0x001F}, 0x07E0, {0, 255, 0}},
        BitFieldCase{"rgb565mixed", 16, {0xF800, 0x07E0, 0x001F}, 0x8410, {132, 130, 132}},
        BitFieldCase{"noBlueBits", 16, {0xFF00, 0x00FF, 0}, 0x80FF, {128, 255, 0}},
        BitFieldCase{"default32", 32, {}, 0xFF102030, {0x10, 0x20, 0x30}},
        BitFieldCase{"xbgr32", 32, {0x0000FF00, 0x00FF0000, 0xFF000000}, 0x30201000, {0x10, 0x20, 0x30}},
        BitFieldCase{"tenBit32", 32, {0x3FF00000, 0x000FFC00, 0x000003FF}, 0x3FF00200, {255, 0, 128}}),
    [](const ::testing::TestParamInfo<BitFieldCase>& param) { return std::string(param.param.name); });

TEST(BmpReader, TopDownRowsStartAtTheTop) {
  BmpSpec spec;
  spec.width = 1;
  spec.height = -2;
  spec.pixels = {1, 2, 3, 0, 4, 5, 6, 0};  // first stored row is the top one
  const TDib bmp = Read(spec);
  ASSERT_EQ(bmp.Height(), 2);
  EXPECT_EQ(PixelAt(bmp, 0, 0), (Rgb{3, 2, 1}));
  EXPECT_EQ(PixelAt(bmp, 0, 1), (Rgb{6, 5, 4}));
}

TEST(BmpReader, ResolutionRoundsAndFallsBackToTheScreen) {
  const struct {
    std::int32_t ppm;
    int dpi;
  } cases[] = {{3780, 96}, {2834, 72}, {0, gSystemDPIX}, {-5, gSystemDPIX}, {3, gSystemDPIX}, {30000000, 762000}};
  for (const auto& c : cases) {
    BmpSpec spec;
    spec.xppm = c.ppm;
    spec.pixels.assign(24, 0);
    TIOParamsVals params;
    Read(spec, &params);
    EXPECT_EQ(params.DpiX, c.dpi) << c.ppm;
  }
}

TEST(BmpReader, ParametersOnlyLeavesTheBitmapAlone) {
  BmpSpec spec;
  spec.width = 3;
  spec.height = 2;
  spec.bits = 8;
  spec.palette = Grey16();
  spec.pixels.assign(8, 1);
  TMemoryStream stream(BuildBmp(spec));
  TDib target = MakeBitmap(2, 2, [](int, int) { return Rgb{9, 9, 9}; });
  TIOParamsVals params;
  TProgressRec progress;
  BMPReadStream(stream, target, 0, true, progress, params);
  EXPECT_EQ(params.Width, 3);
  EXPECT_EQ(params.Height, 2);
  EXPECT_EQ(params.BitsPerSample, 8);
  EXPECT_EQ(params.ColorMapCount, 16);
  EXPECT_EQ(target.Width(), 2);
}

// RLE data of a 6 x 3 image, palette Grey16; rows listed from the bottom.
BmpSpec RleImage(int bits, std::vector<std::uint8_t> codes, std::int32_t height = 3) {
  BmpSpec spec;
  spec.width = 6;
  spec.height = height;
  spec.bits = bits;
  spec.compression = bits == 8 ? 1 : 2;
  spec.palette = Grey16();
  spec.pixels = std::move(codes);
  return spec;
}

// The expected picture from indices, rows from the top; -1 is a pixel left black.
TDib FromIndices(const std::vector<std::vector<int>>& rows) {
  const std::vector<Rgb> palette = Grey16();
  return MakeBitmap(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()), [&](int x, int y) {
    const int i = rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)];
    return i < 0 ? Rgb{} : palette[static_cast<std::size_t>(i)];
  });
}

TEST(BmpReader, Rle8RunsAbsoluteDeltaAndEndCodes) {
  const BmpSpec spec = RleImage(8, {
      3, 5, 0, 3, 1, 2, 3, 0,  // bottom: run of three 5s, absolute 1 2 3 (padded)
      0, 0,                    // end of line
      0, 2, 2, 1,              // delta: two right, one up -> top row, column 2
      2, 9, 0, 1,              // two 9s, end of bitmap
      7, 7,                    // ignored after the end
  });
  EXPECT_EQ(FirstDifference(Read(spec), FromIndices({{-1, -1, 9, 9, -1, -1},
                                                     {-1, -1, -1, -1, -1, -1},
                                                     {5, 5, 5, 1, 2, 3}})),
            "");
}

TEST(BmpReader, Rle4AlternatesNibblesAndPadsAbsoluteRuns) {
  const BmpSpec spec = RleImage(4, {
      5, 0x12, 1, 0xF0,              // 1 2 1 2 1, then one 15
      0, 0,                          // end of line
      0, 3, 0x45, 0x60, 2, 0x77,     // absolute 4 5 6 (two bytes, even), run of two 7s
      0, 0, 0, 0,                    // end of the middle and then the top line
  });
  EXPECT_EQ(FirstDifference(Read(spec), FromIndices({{-1, -1, -1, -1, -1, -1},
                                                     {4, 5, 6, 7, 7, -1},
                                                     {1, 2, 1, 2, 1, 15}})),
            "");
}

TEST(BmpReader, RleTopDownFillsFromTheTop) {
  const BmpSpec spec = RleImage(8, {6, 4, 0, 0, 6, 8, 0, 1}, -2);
  EXPECT_EQ(FirstDifference(Read(spec), FromIndices({{4, 4, 4, 4, 4, 4}, {8, 8, 8, 8, 8, 8}})), "");
}

// ---------------------------------------------------------------------------------------------
// Corrupt files: each breaks one thing and must be refused without touching the target.

struct CorruptCase {
  const char* name;
  std::vector<std::uint8_t> bytes;
};

BmpSpec Valid24() {
  BmpSpec spec;
  spec.width = 2;
  spec.height = 2;
  spec.pixels.assign(16, 0x40);
  return spec;
}

BmpSpec Valid8() {
  BmpSpec spec;
  spec.width = 4;
  spec.height = 2;
  spec.bits = 8;
  spec.palette = Grey16();
  spec.pixels.assign(8, 1);
  return spec;
}

template <class Fn>
std::vector<std::uint8_t> With(BmpSpec spec, Fn change) {
  change(spec);
  return BuildBmp(spec);
}

template <class Fn>
std::vector<std::uint8_t> Patched(std::vector<std::uint8_t> bytes, Fn change) {
  change(bytes);
  return bytes;
}

std::vector<std::uint8_t> Rle8(std::vector<std::uint8_t> codes) {
  BmpSpec spec = RleImage(8, std::move(codes));
  return BuildBmp(spec);
}

std::vector<CorruptCase> CorruptCases() {
  return {
      {"Signature", Patched(BuildBmp(Valid24()), [](auto& b) { b[1] = 'A'; })},
      {"ShorterThanTheHeaders", Patched(BuildBmp(Valid24()), [](auto& b) { b.resize(24); })},
      {"TruncatedInfoHeader", Patched(BuildBmp(Valid24()), [](auto& b) { b.resize(40); })},
      {"HeaderSize13", With(Valid24(), [](BmpSpec& s) { s.headerSize = 13; })},
      {"HeaderSizeBeyondTheFile", Patched(BuildBmp(Valid24()), [](auto& b) { b[16] = 0x10; })},
      {"ZeroWidth", With(Valid24(), [](BmpSpec& s) { s.width = 0; })},
      {"ZeroHeight", With(Valid24(), [](BmpSpec& s) { s.height = 0; })},
      {"NegativeWidth", With(Valid24(), [](BmpSpec& s) { s.width = -2; })},
      {"SideAbove65535", With(Valid24(), [](BmpSpec& s) { s.width = 65536; s.height = 1; })},
      {"UncompressedLargerThanTheFile", With(Valid24(), [](BmpSpec& s) { s.width = 2000; s.height = 2000; })},
      // RLE data may be tiny for a large picture, so only the pixel bound stops this one.
      {"RleMoreThan2To28Pixels", With(RleImage(8, {0, 1}), [](BmpSpec& s) { s.width = 16384; s.height = 16385; })},
      {"MostNegativeHeight", With(Valid24(), [](BmpSpec& s) { s.height = INT32_MIN; })},
      {"BitCount3", With(Valid24(), [](BmpSpec& s) { s.bits = 3; })},
      {"Rle24", With(Valid24(), [](BmpSpec& s) { s.compression = 4; })},
      {"Rle8OnOneBit", With(Valid24(), [](BmpSpec& s) { s.bits = 1; s.compression = 1; s.palette = {{}, {255, 255, 255}}; })},
      {"Rle4OnEightBit", With(Valid8(), [](BmpSpec& s) { s.compression = 2; })},
      {"BitFieldsOn24Bit", With(Valid24(), [](BmpSpec& s) { s.compression = 3; s.masks = {0xFF0000, 0xFF00, 0xFF}; })},
      {"SplitMask", With(Valid24(), [](BmpSpec& s) { s.bits = 16; s.compression = 3; s.masks = {0xF00F, 0x0F00, 0x00F0}; })},
      {"MaskAbove16Bits", With(Valid24(), [](BmpSpec& s) { s.bits = 16; s.compression = 3; s.masks = {0x1F0000, 0x03E0, 0x001F}; })},
      {"MasksCutOff", With(Valid24(), [](BmpSpec& s) { s.bits = 16; s.compression = 3; s.pixels.clear(); })},
      {"HuffmanOs2", With(Valid8(), [](BmpSpec& s) { s.headerSize = 64; s.bits = 1; s.compression = 3; s.palette.resize(2); })},
      {"ColoursUsedBeyondTheFile", With(Valid8(), [](BmpSpec& s) { s.colorsUsed = 300000; })},
      {"ColoursUsedBeyondTheDataOffset", With(Valid8(), [](BmpSpec& s) { s.colorsUsed = 17; })},
      {"PaletteIndexOutOfRange", With(Valid8(), [](BmpSpec& s) { s.pixels[5] = 16; })},
      // Offset 0: the implied 256 entries must all be there.
      {"TruncatedPalette", With(Valid8(), [](BmpSpec& s) { s.dataOffset = 0; s.pixels.clear(); })},
      {"OffsetPastTheEnd", With(Valid24(), [](BmpSpec& s) { s.dataOffset = 100000; })},
      {"OffsetInsideTheHeader", With(Valid24(), [](BmpSpec& s) { s.dataOffset = 30; })},
      {"TruncatedPixels", Patched(BuildBmp(Valid24()), [](auto& b) { b.resize(b.size() - 1); })},
      {"Rle8RunPastTheRow", Rle8({7, 1, 0, 1})},
      {"Rle8AbsolutePastTheRow", Rle8({2, 1, 0, 5, 1, 2, 3, 4, 5, 0, 0, 1})},
      {"Rle8DeltaPastTheRightEdge", Rle8({0, 2, 7, 0, 0, 1})},
      {"Rle8DeltaPastTheTop", Rle8({0, 2, 0, 3, 0, 1})},
      {"Rle8EndsWithoutEndCode", Rle8({6, 1, 0, 0, 6, 2})},
      {"Rle8EndsInsideACode", Rle8({6, 1, 0, 0, 6})},
      {"Rle8EndsInsideAbsoluteRun", Rle8({0, 4, 1, 2})},
      {"Rle8EndsInsideDelta", Rle8({0, 2, 1})},
      {"Rle8IndexOutOfRange", Rle8({2, 16, 0, 1})},
      {"Rle4RunPastTheRow", BuildBmp(RleImage(4, {7, 0x11, 0, 1}))},
      {"Rle4AbsolutePastTheRow", BuildBmp(RleImage(4, {0, 7, 0x12, 0x34, 0x56, 0x70, 0, 1}))},
  };
}

void PrintTo(const CorruptCase& c, std::ostream* os) { *os << c.name; }

class BmpCorrupt : public ::testing::TestWithParam<CorruptCase> {};

TEST_P(BmpCorrupt, IsRefusedAndLeavesTheTargetAlone) {
  test::TempDir dir;
  const std::filesystem::path file = dir / "corrupt.bmp";
  test::WriteBytes(file, GetParam().bytes);
  const TDib original = MakeBitmap(3, 1, [](int x, int) { return Rgb{static_cast<std::uint8_t>(x), 1, 2}; });
  TDib target = MakeBitmap(3, 1, [](int x, int) { return Rgb{static_cast<std::uint8_t>(x), 1, 2}; });
  TVistelIO io;
  io.SetAttachedBitmap(&target);
  io.Params.FileName = "before.bmp";
  try {
    io.LoadFromFile(file);
    ADD_FAILURE() << "accepted";
  } catch (const EInvalidGraphic& e) {
    EXPECT_STREQ(e.what(), "unrecognized BMP");
  }
  EXPECT_EQ(FirstDifference(target, original), "");
  EXPECT_EQ(io.Params.FileName, "before.bmp");
}

INSTANTIATE_TEST_SUITE_P(OneFaultEach, BmpCorrupt, ::testing::ValuesIn(CorruptCases()),
                         [](const ::testing::TestParamInfo<CorruptCase>& param) {
                           return std::string(param.param.name);
                         });

}  // namespace
}  // namespace korvane
