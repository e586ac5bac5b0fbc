// JPEG and PNG through libjpeg and libpng: round trips for every option, what the files hold,
// the edge cases of both readers, refusals of damaged files without leaks, and the shared suites.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <zlib.h>

#include "ImageTestUtil.h"
#include "imageio/Jpegfilt.h"
#include "imageio/Pngfilt.h"
#include "imageio/Pngfiltw.h"
#include "imageio/Stream.h"
#include "imageio/Vistelio.h"
#include "support/TestData.h"

namespace korvane {
namespace {

using test::FirstDifference;
using test::MakeBitmap;
using test::PixelAt;
using test::ReadPpm;
using test::Rgb;
using test::TempDir;
using Bytes = std::vector<std::uint8_t>;

// A smooth picture with odd sides, so that JPEG blocks and row padding are partial.
TDib Gradient(int width = 37, int height = 23) {
  return MakeBitmap(width, height, [](int x, int y) {
    return Rgb{static_cast<std::uint8_t>(6 * x), static_cast<std::uint8_t>(10 * y),
               static_cast<std::uint8_t>(120 + 2 * (x - y))};
  });
}

// Pixels that change sharply, for lossless round trips that every PNG filter must survive.
TDib Noise(int width = 29, int height = 17) {
  return MakeBitmap(width, height, [](int x, int y) {
    const unsigned v = static_cast<unsigned>(x * 7919 + y * 104729) * 2654435761u;
    return Rgb{static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
               static_cast<std::uint8_t>(v >> 8)};
  });
}

int MaxDifference(const TDib& a, const TDib& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return 1000;
  int worst = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x) {
      const Rgb p = PixelAt(a, x, y), q = PixelAt(b, x, y);
      worst = std::max({worst, std::abs(p.r - q.r), std::abs(p.g - q.g), std::abs(p.b - q.b)});
    }
  return worst;
}

TProgressRec NoProgress() { return TProgressRec{}; }

Bytes WriteJpeg(const TDib& bitmap, TIOParamsVals params) {
  TMemoryStream stream;
  TProgressRec progress = NoProgress();
  WriteJPegStream(stream, bitmap, params, progress);
  return stream.Bytes();
}

Bytes WritePng(const TDib& bitmap, TIOParamsVals params) {
  TMemoryStream stream;
  TProgressRec progress = NoProgress();
  WritePNGStream(stream, bitmap, params, progress);
  return stream.Bytes();
}

TDib ReadJpeg(const Bytes& bytes, TIOParamsVals& params) {
  TMemoryStream stream(bytes);
  TDib bitmap;
  TProgressRec progress = NoProgress();
  ReadJPegStream(stream, bitmap, params, false, progress);
  return bitmap;
}

TDib ReadPng(const Bytes& bytes, TIOParamsVals& params) {
  TMemoryStream stream(bytes);
  TDib bitmap;
  TProgressRec progress = NoProgress();
  ReadPNGStream(stream, bitmap, params, false, progress);
  return bitmap;
}

std::uint32_t Be32(const Bytes& b, std::size_t at) {
  return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) |
         (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}

// ---------------------------------------------------------------------------------------------
// PNG files built chunk by chunk

void PutBe32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void AddChunk(Bytes& out, const char* type, const Bytes& data) {
  PutBe32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  const std::uint32_t crc = static_cast<std::uint32_t>(
      crc32(0, out.data() + start, static_cast<uInt>(out.size() - start)));
  PutBe32(out, crc);
}

struct PngSpec {
  std::uint32_t width = 4, height = 2;
  int depth = 8, colorType = 2;
  std::vector<Bytes> rows;  // unfiltered sample bytes of each row (filter 0 is added)
  std::vector<std::pair<std::string, Bytes>> chunks;  // before IDAT
};

Bytes BuildPng(const PngSpec& spec) {
  Bytes out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  Bytes ihdr;
  PutBe32(ihdr, spec.width);
  PutBe32(ihdr, spec.height);
  ihdr.insert(ihdr.end(), {static_cast<std::uint8_t>(spec.depth),
                           static_cast<std::uint8_t>(spec.colorType), 0, 0, 0});
  AddChunk(out, "IHDR", ihdr);
  for (const auto& [type, data] : spec.chunks) AddChunk(out, type.c_str(), data);
  Bytes raw;
  for (const Bytes& row : spec.rows) {
    raw.push_back(0);
    raw.insert(raw.end(), row.begin(), row.end());
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  Bytes packed(size);
  compress(packed.data(), &size, raw.data(), static_cast<uLong>(raw.size()));
  packed.resize(size);
  AddChunk(out, "IDAT", packed);
  AddChunk(out, "IEND", {});
  return out;
}

Bytes Plte(std::initializer_list<Rgb> colours) {
  Bytes out;
  for (const Rgb& c : colours) out.insert(out.end(), {c.r, c.g, c.b});
  return out;
}

// The chunk `type` of a PNG file, or nothing.
Bytes FindChunk(const Bytes& png, const char* type) {
  for (std::size_t at = 8; at + 12 <= png.size();) {
    const std::uint32_t length = Be32(png, at);
    if (std::memcmp(png.data() + at + 4, type, 4) == 0)
      return Bytes(png.begin() + static_cast<std::ptrdiff_t>(at + 8),
                   png.begin() + static_cast<std::ptrdiff_t>(at + 8 + length));
    at += 12 + length;
  }
  return {};
}

// The decompressed image data of a PNG file (all IDAT chunks).
Bytes Inflated(const Bytes& png) {
  Bytes packed;
  for (std::size_t at = 8; at + 12 <= png.size();) {
    const std::uint32_t length = Be32(png, at);
    if (std::memcmp(png.data() + at + 4, "IDAT", 4) == 0)
      packed.insert(packed.end(), png.begin() + static_cast<std::ptrdiff_t>(at + 8),
                    png.begin() + static_cast<std::ptrdiff_t>(at + 8 + length));
    at += 12 + length;
  }
  Bytes raw(1 << 20);
  uLongf size = static_cast<uLongf>(raw.size());
  if (uncompress(raw.data(), &size, packed.data(), static_cast<uLong>(packed.size())) != Z_OK)
    return {};
  raw.resize(size);
  return raw;
}

// ---------------------------------------------------------------------------------------------
// PNG round trips and what the writer stores

struct PngRoundTrip {
  TIOPNGFilter filter;
  bool interlaced;
};

class PngRoundTripTest : public ::testing::TestWithParam<PngRoundTrip> {};

TEST_P(PngRoundTripTest, RgbComesBackExactlyWithTheChosenFilterOnEveryRow) {
  const TDib picture = Noise();
  TIOParamsVals params;
  params.PNG_Filter = GetParam().filter;
  params.PNG_Interlaced = GetParam().interlaced;
  const Bytes file = WritePng(picture, params);

  const Bytes ihdr = FindChunk(file, "IHDR");
  ASSERT_EQ(ihdr.size(), 13u);
  EXPECT_EQ(ihdr[8], 8);   // depth
  EXPECT_EQ(ihdr[9], 2);   // RGB
  EXPECT_EQ(ihdr[12], GetParam().interlaced ? 1 : 0);
  if (!GetParam().interlaced) {
    const Bytes raw = Inflated(file);
    const std::size_t rowSize = 1 + 3 * static_cast<std::size_t>(picture.Width());
    ASSERT_EQ(raw.size(), rowSize * static_cast<std::size_t>(picture.Height()));
    const int expected = GetParam().filter == ioPNG_FILTER_SUB ? 1
                         : GetParam().filter == ioPNG_FILTER_PAETH ? 4 : 0;
    for (std::size_t r = 0; r < static_cast<std::size_t>(picture.Height()); ++r)
      ASSERT_EQ(raw[r * rowSize], expected) << "row " << r;
  }

  TIOParamsVals read;
  const TDib back = ReadPng(file, read);
  EXPECT_EQ(back.PixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(FirstDifference(back, picture), "");
  EXPECT_EQ(read.PNG_Interlaced, GetParam().interlaced);
  EXPECT_EQ(read.BitsPerSample, 8);
  EXPECT_EQ(read.SamplesPerPixel, 3);
}

INSTANTIATE_TEST_SUITE_P(FiltersAndInterlace, PngRoundTripTest,
                         ::testing::Values(PngRoundTrip{ioPNG_FILTER_NONE, false},
                                           PngRoundTrip{ioPNG_FILTER_SUB, false},
                                           PngRoundTrip{ioPNG_FILTER_PAETH, false},
                                           PngRoundTrip{ioPNG_FILTER_NONE, true},
                                           PngRoundTrip{ioPNG_FILTER_PAETH, true}));

TEST(PngWriter, CompressionLevelReachesZlib) {
  const TDib picture = MakeBitmap(64, 64, [](int x, int y) {
    return Rgb{static_cast<std::uint8_t>(x / 8 * 30), static_cast<std::uint8_t>(y / 4), 9};
  });
  TIOParamsVals params;
  params.PNG_Compression = 0;
  const Bytes stored = WritePng(picture, params);
  params.PNG_Compression = 9;
  const Bytes packed = WritePng(picture, params);
  // Level 0 stores the data: bigger than the pixels themselves.
  EXPECT_GT(stored.size(), 64u * 64u * 3u);
  EXPECT_LT(packed.size(), stored.size() / 2);
  // The zlib header's level field: 0 for the fastest levels, 3 for the strongest.
  const Bytes idat = FindChunk(packed, "IDAT");
  ASSERT_GE(idat.size(), 2u);
  EXPECT_EQ(idat[1] >> 6, 3);
}

TEST(PngWriter, PhysicalSizeAndBackgroundChunks) {
  TIOParamsVals params;
  params.DpiX = 300;
  params.DpiY = 72;
  params.PNG_Background = TRGB{30, 20, 10};  // blue, green, red
  const Bytes file = WritePng(Gradient(), params);
  const Bytes phys = FindChunk(file, "pHYs");
  ASSERT_EQ(phys.size(), 9u);
  EXPECT_EQ(Be32(phys, 0), 11811u);  // round(300 * 100 / 2.54)
  EXPECT_EQ(Be32(phys, 4), 2835u);
  EXPECT_EQ(phys[8], 1);
  // An 8-bit image keeps its background at 8 bits; libpng drops 16-bit values for it.
  const Bytes bkgd = FindChunk(file, "bKGD");
  ASSERT_EQ(bkgd.size(), 6u);
  EXPECT_EQ(bkgd, (Bytes{0, 10, 0, 20, 0, 30}));

  TIOParamsVals read;
  read.PNG_Background = TRGB{1, 2, 3};
  (void)ReadPng(file, read);
  EXPECT_EQ(read.DpiX, 300);
  EXPECT_EQ(read.DpiY, 72);
  EXPECT_EQ(read.PNG_Background, (TRGB{30, 20, 10}));
}

TEST(PngWriter, SamplesPerPixelOneWritesA256EntryPalette) {
  const TDib picture = MakeBitmap(20, 10, [](int x, int y) {
    static const Rgb kColours[4] = {{250, 0, 0}, {0, 200, 0}, {0, 0, 160}, {240, 240, 16}};
    return kColours[(x / 5 + y / 5) % 4];
  });
  for (bool interlaced : {false, true}) {
    SCOPED_TRACE(interlaced ? "interlaced" : "sequential");
    TIOParamsVals params;
    params.PNG_Interlaced = interlaced;
    params.SamplesPerPixel = 1;
    params.BitsPerSample = 8;
    params.PNG_Background = ToRGB(RGBColor(0, 200, 0));
    const Bytes file = WritePng(picture, params);
    const Bytes ihdr = FindChunk(file, "IHDR");
    ASSERT_EQ(ihdr.size(), 13u);
    EXPECT_EQ(ihdr[8], 8);
    EXPECT_EQ(ihdr[9], 3);
    EXPECT_EQ(FindChunk(file, "PLTE").size(), 768u);
    const Bytes bkgd = FindChunk(file, "bKGD");
    ASSERT_EQ(bkgd.size(), 1u);

    TIOParamsVals read;
    const TDib back = ReadPng(file, read);
    EXPECT_EQ(read.ColorMapCount, 256);
    EXPECT_EQ(read.SamplesPerPixel, 1);
    EXPECT_LE(MaxDifference(back, picture), 8);
    EXPECT_EQ(read.PNG_Background, read.ColorMap[bkgd[0]]);
    EXPECT_EQ(read.PNG_Interlaced, interlaced);
  }
}

TEST(PngWriter, OneBitKeepsBlackAndWhiteAndOtherPairsOfColours) {
  struct Case {
    const char* name;
    Rgb dark, light;
    int colorType;
  };
  const Case cases[] = {
      {"black and white", {0, 0, 0}, {255, 255, 255}, 0},
      {"two colours", {120, 0, 10}, {20, 230, 200}, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TDib picture = MakeBitmap(13, 5, [&](int x, int y) { return (x + y) % 3 ? c.light : c.dark; });
    TIOParamsVals params;
    params.SamplesPerPixel = 1;
    params.BitsPerSample = 1;
    const Bytes file = WritePng(picture, params);
    const Bytes ihdr = FindChunk(file, "IHDR");
    ASSERT_EQ(ihdr.size(), 13u);
    EXPECT_EQ(ihdr[8], 1);
    EXPECT_EQ(ihdr[9], c.colorType);
    TIOParamsVals read;
    const TDib back = ReadPng(file, read);
    EXPECT_EQ(back.PixelFormat(), TPixelFormat::pf1bit);
    EXPECT_EQ(read.BitsPerSample, 1);
    EXPECT_EQ(FirstDifference(back, picture), "");
  }
}

TEST(PngWriter, OneBitBitmapWithWhiteFirstIsStoredAsGrey) {
  TDib bitmap;
  ASSERT_TRUE(bitmap.SetSize(10, 3, TPixelFormat::pf1bit));
  bitmap.SetPalette({clWhite, clBlack});
  bitmap.ScanLine(1)[0] = 0xA0;  // pixels 0 and 2 of the middle row are black
  TIOParamsVals params;
  params.SamplesPerPixel = 1;
  params.BitsPerSample = 1;
  const Bytes file = WritePng(bitmap, params);
  EXPECT_EQ(FindChunk(file, "IHDR")[9], 0);
  TIOParamsVals read;
  const TDib back = ReadPng(file, read);
  EXPECT_EQ(FirstDifference(back, bitmap), "");
  EXPECT_EQ(PixelAt(back, 0, 1), (Rgb{0, 0, 0}));
  EXPECT_EQ(PixelAt(back, 1, 1), (Rgb{255, 255, 255}));
}

TEST(PngWriter, RgbFromAOneBitBitmapUsesItsColours) {
  TDib bitmap;
  ASSERT_TRUE(bitmap.SetSize(9, 2, TPixelFormat::pf1bit));
  bitmap.SetPalette({RGBColor(10, 20, 30), RGBColor(200, 100, 50)});
  bitmap.ScanLine(0)[0] = 0x80;
  TIOParamsVals params;  // three samples: RGB whatever the bitmap is
  params.BitsPerSample = 1;
  const Bytes file = WritePng(bitmap, params);
  EXPECT_EQ(FindChunk(file, "IHDR")[9], 2);
  TIOParamsVals read;
  const TDib back = ReadPng(file, read);
  EXPECT_EQ(PixelAt(back, 0, 0), (Rgb{200, 100, 50}));
  EXPECT_EQ(PixelAt(back, 1, 0), (Rgb{10, 20, 30}));
}

// ---------------------------------------------------------------------------------------------
// PNG reading

TEST(PngReader, OneBitPaletteLoadsInItsOwnColours) {
  PngSpec spec;
  spec.width = 10;
  spec.depth = 1;
  spec.colorType = 3;
  spec.chunks = {{"PLTE", Plte({{200, 10, 10}, {10, 200, 90}})}};
  spec.rows = {{0xC0, 0x40}, {0x00, 0x80}};  // 11000000 01: pixels 0, 1 and 9
  TIOParamsVals params;
  const TDib back = ReadPng(BuildPng(spec), params);
  EXPECT_EQ(params.BitsPerSample, 1);
  EXPECT_EQ(params.SamplesPerPixel, 1);
  EXPECT_EQ(params.ColorMapCount, 2);
  EXPECT_EQ(PixelAt(back, 0, 0), (Rgb{10, 200, 90}));
  EXPECT_EQ(PixelAt(back, 2, 0), (Rgb{200, 10, 10}));
  EXPECT_EQ(PixelAt(back, 9, 0), (Rgb{10, 200, 90}));
  EXPECT_EQ(PixelAt(back, 8, 1), (Rgb{10, 200, 90}));
  EXPECT_EQ(PixelAt(back, 9, 1), (Rgb{200, 10, 10}));
}

TEST(PngReader, TwoBitPaletteLoadsAs24BitWithItsColours) {
  PngSpec spec;
  spec.width = 5;
  spec.height = 1;
  spec.depth = 2;
  spec.colorType = 3;
  spec.chunks = {{"PLTE", Plte({{1, 2, 3}, {40, 50, 60}, {200, 0, 100}, {9, 9, 9}})}};
  spec.rows = {{0x1B, 0x80}};  // 0 1 2 3 2
  TIOParamsVals params;
  const TDib back = ReadPng(BuildPng(spec), params);
  EXPECT_EQ(back.PixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(params.BitsPerSample, 2);
  const Rgb expected[5] = {{1, 2, 3}, {40, 50, 60}, {200, 0, 100}, {9, 9, 9}, {200, 0, 100}};
  for (int x = 0; x < 5; ++x) EXPECT_EQ(PixelAt(back, x, 0), expected[x]) << x;
  ASSERT_EQ(params.ColorMapCount, 4);
  EXPECT_EQ(params.ColorMap[2], (TRGB{100, 0, 200}));
}

TEST(PngReader, GreyAndSixteenBitSamplesBecomeEightBitRgb) {
  struct Case {
    const char* name;
    int depth, colorType;
    Bytes row;
    Rgb first, second;
  };
  const Case cases[] = {
      {"4-bit grey", 4, 0, {0x3F}, {51, 51, 51}, {255, 255, 255}},
      {"16-bit grey", 16, 0, {0x12, 0xFF, 0xAB, 0x01}, {0x12, 0x12, 0x12}, {0xAB, 0xAB, 0xAB}},
      {"16-bit RGB", 16, 2, {1, 200, 2, 200, 3, 200, 4, 0, 5, 0, 6, 0}, {1, 2, 3}, {4, 5, 6}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PngSpec spec;
    spec.width = 2;
    spec.height = 1;
    spec.depth = c.depth;
    spec.colorType = c.colorType;
    spec.rows = {c.row};
    TIOParamsVals params;
    const TDib back = ReadPng(BuildPng(spec), params);
    EXPECT_EQ(params.BitsPerSample, c.depth);
    EXPECT_EQ(PixelAt(back, 0, 0), c.first);
    EXPECT_EQ(PixelAt(back, 1, 0), c.second);
  }
}

TEST(PngReader, AlphaIsCompositedOnTheFileBackgroundOrElseOnTheGivenOne) {
  PngSpec spec;
  spec.width = 3;
  spec.height = 1;
  spec.colorType = 6;
  spec.rows = {{200, 100, 0, 255, 200, 100, 0, 0, 200, 100, 0, 128}};
  const auto blend = [](int f, int b) { return static_cast<std::uint8_t>((128 * f + 127 * b + 127) / 255); };

  TIOParamsVals params;
  params.PNG_Background = TRGB{250, 0, 20};  // blue, green, red
  TDib back = ReadPng(BuildPng(spec), params);
  EXPECT_EQ(PixelAt(back, 0, 0), (Rgb{200, 100, 0}));
  EXPECT_EQ(PixelAt(back, 1, 0), (Rgb{20, 0, 250}));
  EXPECT_EQ(PixelAt(back, 2, 0), (Rgb{blend(200, 20), blend(100, 0), blend(0, 250)}));
  EXPECT_EQ(params.SamplesPerPixel, 4);

  spec.chunks = {{"bKGD", Bytes{0, 10, 0, 20, 0, 30}}};
  params.PNG_Background = TRGB{250, 0, 20};
  back = ReadPng(BuildPng(spec), params);
  EXPECT_EQ(PixelAt(back, 1, 0), (Rgb{10, 20, 30}));
  EXPECT_EQ(PixelAt(back, 2, 0), (Rgb{blend(200, 10), blend(100, 20), blend(0, 30)}));
  EXPECT_EQ(params.PNG_Background, (TRGB{30, 20, 10}));
}

TEST(PngReader, FileBackgroundIsTakenAtTheFileDepth) {
  struct Case {
    const char* name;
    int depth, colorType;
    Bytes row, bkgd;
    TRGB expected;
  };
  const Case cases[] = {
      {"8-bit RGB", 8, 2, Bytes(6, 0), {0, 0x12, 0, 0x56, 0, 0x9A}, {0x9A, 0x56, 0x12}},
      {"16-bit RGB", 16, 2, Bytes(12, 0), {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}, {0x9A, 0x56, 0x12}},
      {"4-bit grey", 4, 0, {0x00}, {0, 5}, {85, 85, 85}},
      {"16-bit grey and alpha", 16, 4, Bytes(8, 0), {0xAB, 0xCD}, {0xAB, 0xAB, 0xAB}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PngSpec spec;
    spec.width = 2;
    spec.height = 1;
    spec.depth = c.depth;
    spec.colorType = c.colorType;
    spec.rows = {c.row};
    spec.chunks = {{"bKGD", c.bkgd}};
    TIOParamsVals params;
    (void)ReadPng(BuildPng(spec), params);
    EXPECT_EQ(params.PNG_Background, c.expected);
  }
}

TEST(PngReader, PhysicalSizeOrTheScreenResolution) {
  PngSpec spec;
  spec.rows = {Bytes(12, 7), Bytes(12, 9)};
  TIOParamsVals params;
  (void)ReadPng(BuildPng(spec), params);
  EXPECT_EQ(params.DpiX, gSystemDPIX);
  EXPECT_EQ(params.DpiY, gSystemDPIY);

  Bytes phys;
  PutBe32(phys, 3780);
  PutBe32(phys, 0);  // no Y resolution
  phys.push_back(1);
  spec.chunks = {{"pHYs", phys}};
  (void)ReadPng(BuildPng(spec), params);
  EXPECT_EQ(params.DpiX, 96);
  EXPECT_EQ(params.DpiY, gSystemDPIY);
  EXPECT_EQ(params.Width, 4);
  EXPECT_EQ(params.Height, 2);
}

TEST(PngReader, ParametersOnlyLeavesTheBitmapAlone) {
  const Bytes file = WritePng(Gradient(), TIOParamsVals{});
  TMemoryStream stream(file);
  TDib bitmap;
  TIOParamsVals params;
  TProgressRec progress = NoProgress();
  ReadPNGStream(stream, bitmap, params, true, progress);
  EXPECT_TRUE(bitmap.Empty());
  EXPECT_EQ(params.Width, 37);
  EXPECT_EQ(params.Height, 23);
}

// Refusals must carry the codec's message and, under the sanitizers, leak nothing.
void ExpectPngRefused(const Bytes& file) {
  TIOParamsVals params;
  try {
    (void)ReadPng(file, params);
    ADD_FAILURE() << "accepted";
  } catch (const EInvalidGraphic& e) {
    EXPECT_STREQ(e.what(), "Unrecognized PNG");
  }
}

TEST(PngReader, DamagedFilesAreRefused) {
  PngSpec good;
  good.width = 4;
  good.height = 2;
  good.colorType = 3;
  good.depth = 8;
  good.chunks = {{"PLTE", Plte({{1, 1, 1}, {2, 2, 2}})}};
  good.rows = {{0, 1, 1, 0}, {1, 0, 0, 1}};
  {
    TIOParamsVals params;
    EXPECT_NO_THROW((void)ReadPng(BuildPng(good), params));
  }

  PngSpec badIndex = good;
  badIndex.rows[1][2] = 5;
  PngSpec huge = good;
  huge.width = huge.height = 60000;
  PngSpec beyondLimit = good;
  beyondLimit.width = 70000;
  beyondLimit.height = 1;
  PngSpec shortRows = good;
  shortRows.rows.pop_back();
  Bytes badCrc = BuildPng(good);
  badCrc[8 + 8 + 13] ^= 1;  // IHDR's CRC
  Bytes badSignature = BuildPng(good);
  badSignature[1] = 'Q';

  struct Case {
    const char* name;
    Bytes file;
  };
  const Case cases[] = {
      {"palette index beyond the palette", BuildPng(badIndex)},
      {"huge declared size", BuildPng(huge)},
      {"width beyond the bitmap limit", BuildPng(beyondLimit)},
      {"missing rows", BuildPng(shortRows)},
      {"bad CRC", badCrc},
      {"bad signature", badSignature},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectPngRefused(c.file);
  }
}

TEST(PngReader, EveryTruncationIsRefused) {
  const Bytes file = WritePng(Noise(), TIOParamsVals{});
  for (std::size_t cut = 0; cut < file.size() - 12; cut += 7) {  // the IEND chunk is 12 bytes
    SCOPED_TRACE(cut);
    ExpectPngRefused(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(cut)));
  }
}

// A stream that fails after some bytes, as a file on a failing disk does.
class FailingStream final : public TStream {
 public:
  FailingStream(Bytes bytes, std::size_t failAt) : inner_(std::move(bytes)), failAt_(failAt) {}
  std::size_t Read(void* buffer, std::size_t count) override {
    if (inner_.Position() + static_cast<std::int64_t>(count) > static_cast<std::int64_t>(failAt_))
      throw EReadError("disk failure");
    return inner_.Read(buffer, count);
  }
  std::size_t Write(const void* buffer, std::size_t count) override {
    if (inner_.Position() + static_cast<std::int64_t>(count) > static_cast<std::int64_t>(failAt_))
      throw EWriteError("disk full");
    return inner_.Write(buffer, count);
  }
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
    return inner_.Seek(offset, origin);
  }
  std::int64_t Size() override { return inner_.Size(); }

 private:
  TMemoryStream inner_;
  std::size_t failAt_;
};

TEST(CodecStreams, StreamFailuresPassThroughUnchanged) {
  const TDib picture = Noise(200, 100);
  const Bytes png = WritePng(picture, TIOParamsVals{});
  const Bytes jpeg = WriteJpeg(picture, TIOParamsVals{});
  TIOParamsVals params;
  TProgressRec progress = NoProgress();
  TDib target;
  {
    FailingStream stream(png, png.size() / 2);
    EXPECT_THROW(ReadPNGStream(stream, target, params, false, progress), EReadError);
  }
  {
    FailingStream stream(jpeg, 100);
    EXPECT_THROW(ReadJPegStream(stream, target, params, false, progress), EReadError);
  }
  {
    FailingStream stream({}, 1000);
    EXPECT_THROW(WritePNGStream(stream, picture, params, progress), EWriteError);
  }
  {
    FailingStream stream({}, 1000);
    EXPECT_THROW(WriteJPegStream(stream, picture, params, progress), EWriteError);
  }
}

TEST(CodecStreams, AbortStopsReadingAndWriting) {
  const TDib picture = Gradient(40, 50);
  bool aborting = false;
  int calls = 0;
  const TProgressEvent handler = [&](void*, int) {
    if (++calls == 3) aborting = true;
  };
  TProgressRec progress;
  progress.fOnProgress = &handler;
  progress.Aborting = &aborting;
  TIOParamsVals params;
  for (bool png : {false, true}) {
    SCOPED_TRACE(png ? "PNG" : "JPEG");
    TMemoryStream out;
    calls = 0;
    aborting = false;
    if (png) WritePNGStream(out, picture, params, progress);
    else WriteJPegStream(out, picture, params, progress);
    EXPECT_EQ(calls, 3);

    const Bytes file = png ? WritePng(picture, params) : WriteJpeg(picture, params);
    TMemoryStream in(file);
    TDib target;
    calls = 0;
    aborting = false;
    if (png) ReadPNGStream(in, target, params, false, progress);
    else ReadJPegStream(in, target, params, false, progress);
    EXPECT_LE(calls, 3 + 8);  // JPEG hands over up to a few rows per call
    EXPECT_LT(progress.val, 50);
  }
}

// ---------------------------------------------------------------------------------------------
// JPEG

// The file's components as libjpeg decodes them without any colour conversion.
struct RawJpeg {
  int components = 0;
  J_COLOR_SPACE space = JCS_UNKNOWN;
  Bytes samples;  // top row first
};

RawJpeg DecodeRaw(const Bytes& file) {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
  jpeg_read_header(&cinfo, TRUE);
  RawJpeg raw;
  raw.space = cinfo.jpeg_color_space;
  cinfo.out_color_space = cinfo.jpeg_color_space == JCS_YCCK ? JCS_CMYK : cinfo.jpeg_color_space;
  jpeg_start_decompress(&cinfo);
  raw.components = cinfo.output_components;
  const std::size_t stride = static_cast<std::size_t>(cinfo.output_width) * cinfo.output_components;
  raw.samples.resize(stride * cinfo.output_height);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = raw.samples.data() + stride * cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return raw;
}

bool HasMarker(const Bytes& file, std::uint8_t marker) {
  for (std::size_t i = 0; i + 1 < file.size(); ++i)
    if (file[i] == 0xFF && file[i + 1] == marker) return true;
  return false;
}

struct JpegSpaceCase {
  TIOJPEGColorspace space;
  J_COLOR_SPACE stored;
  int tolerance;
};

class JpegColorSpaceTest : public ::testing::TestWithParam<JpegSpaceCase> {};

TEST_P(JpegColorSpaceTest, RoundTripKeepsTheColourSpace) {
  const TDib picture = Gradient();
  TIOParamsVals params;
  params.JPEG_ColorSpace = GetParam().space;
  params.JPEG_Quality = 95;
  const Bytes file = WriteJpeg(picture, params);
  EXPECT_EQ(DecodeRaw(file).space, GetParam().stored);

  TIOParamsVals read;
  read.JPEG_ColorSpace = ioJPEG_RGB;
  const TDib back = ReadJpeg(file, read);
  EXPECT_EQ(read.JPEG_ColorSpace, GetParam().space);
  EXPECT_EQ(read.BitsPerSample, 8);
  EXPECT_EQ(read.SamplesPerPixel, 3);
  ASSERT_EQ(back.PixelFormat(), TPixelFormat::pf24bit);
  if (GetParam().space == ioJPEG_GRAYLEV) {
    for (int y = 0; y < back.Height(); ++y)
      for (int x = 0; x < back.Width(); ++x) {
        const Rgb p = PixelAt(back, x, y), q = PixelAt(picture, x, y);
        ASSERT_TRUE(p.r == p.g && p.g == p.b) << x << "," << y;
        const int luma = (299 * q.r + 587 * q.g + 114 * q.b + 500) / 1000;
        ASSERT_LE(std::abs(p.r - luma), GetParam().tolerance) << x << "," << y;
      }
  } else {
    EXPECT_LE(MaxDifference(back, picture), GetParam().tolerance);
  }
}

INSTANTIATE_TEST_SUITE_P(EverySpace, JpegColorSpaceTest,
                         ::testing::Values(JpegSpaceCase{ioJPEG_RGB, JCS_RGB, 6},
                                           JpegSpaceCase{ioJPEG_GRAYLEV, JCS_GRAYSCALE, 6},
                                           JpegSpaceCase{ioJPEG_YCbCr, JCS_YCbCr, 12},
                                           JpegSpaceCase{ioJPEG_CMYK, JCS_CMYK, 12},
                                           JpegSpaceCase{ioJPEG_YCbCrK, JCS_YCCK, 12}));

TEST(JpegWriter, RgbIsStoredRedGreenBlue) {
  const TDib red = MakeBitmap(16, 8, [](int, int) { return Rgb{250, 120, 5}; });
  TIOParamsVals params;
  params.JPEG_ColorSpace = ioJPEG_RGB;
  params.JPEG_Quality = 100;
  const RawJpeg raw = DecodeRaw(WriteJpeg(red, params));
  ASSERT_EQ(raw.components, 3);
  EXPECT_NEAR(raw.samples[0], 250, 2);
  EXPECT_NEAR(raw.samples[1], 120, 2);
  EXPECT_NEAR(raw.samples[2], 5, 2);
}

TEST(JpegWriter, CmykWhiteAndBlack) {
  // Left block white, right block black: whole 8 x 8 blocks, so nothing bleeds.
  const TDib picture = MakeBitmap(16, 8, [](int x, int) {
    return x < 8 ? Rgb{255, 255, 255} : Rgb{0, 0, 0};
  });
  TIOParamsVals params;
  params.JPEG_ColorSpace = ioJPEG_CMYK;
  params.JPEG_Quality = 100;
  const Bytes file = WriteJpeg(picture, params);
  const RawJpeg raw = DecodeRaw(file);
  ASSERT_EQ(raw.components, 4);
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(raw.samples[static_cast<std::size_t>(i)], 255, 1);
  const std::size_t black = 4 * 12;
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(raw.samples[black + static_cast<std::size_t>(i)], 0, 1);
  EXPECT_NEAR(raw.samples[black + 3], 1, 1);

  TIOParamsVals read;
  const TDib back = ReadJpeg(file, read);
  EXPECT_EQ(read.JPEG_ColorSpace, ioJPEG_CMYK);
  EXPECT_LE(MaxDifference(back, picture), 1);
}

TEST(JpegWriter, DctMethodsProgressionAndHuffmanTables) {
  const TDib picture = Noise(64, 48);
  TIOParamsVals params;
  params.JPEG_Quality = 85;
  const Bytes islow = WriteJpeg(picture, params);
  EXPECT_TRUE(HasMarker(islow, 0xC0));
  EXPECT_FALSE(HasMarker(islow, 0xC2));

  params.JPEG_DCTMethod = ioJPEG_IFAST;
  const Bytes ifast = WriteJpeg(picture, params);
  params.JPEG_DCTMethod = ioJPEG_FLOAT;
  const Bytes fl = WriteJpeg(picture, params);
  EXPECT_NE(islow, ifast);
  EXPECT_NE(islow, fl);

  // Each method decodes too, and differently.
  TIOParamsVals read;
  const TDib slowBack = ReadJpeg(islow, read);
  EXPECT_FALSE(read.JPEG_Progressive);
  read.JPEG_DCTMethod = ioJPEG_IFAST;
  const TDib fastBack = ReadJpeg(islow, read);
  read.JPEG_DCTMethod = ioJPEG_FLOAT;
  const TDib floatBack = ReadJpeg(islow, read);
  EXPECT_NE(FirstDifference(slowBack, fastBack), "");
  EXPECT_LE(MaxDifference(slowBack, fastBack), 16);
  EXPECT_LE(MaxDifference(slowBack, floatBack), 4);

  params.JPEG_DCTMethod = ioJPEG_ISLOW;
  params.JPEG_OptimalHuffman = true;
  const Bytes optimal = WriteJpeg(picture, params);
  EXPECT_LT(optimal.size(), islow.size());
  EXPECT_EQ(FirstDifference(ReadJpeg(optimal, read = {}), slowBack), "");

  params.JPEG_OptimalHuffman = false;
  params.JPEG_Progressive = true;
  const Bytes progressive = WriteJpeg(picture, params);
  EXPECT_TRUE(HasMarker(progressive, 0xC2));
  read = {};
  const TDib progressiveBack = ReadJpeg(progressive, read);
  EXPECT_TRUE(read.JPEG_Progressive);
  EXPECT_LE(MaxDifference(progressiveBack, slowBack), 1);
}

TEST(JpegWriter, QualityUsesBaselineTablesAndSmoothingChangesTheData) {
  const TDib picture = Noise(32, 32);
  TIOParamsVals params;
  params.JPEG_Quality = 1;
  const Bytes worst = WriteJpeg(picture, params);
  // Baseline tables: every DQT table has 8-bit precision (Pq = 0).
  for (std::size_t i = 0; i + 4 < worst.size(); ++i)
    if (worst[i] == 0xFF && worst[i + 1] == 0xDB) {
      EXPECT_EQ(worst[i + 4] >> 4, 0);
    }
  params.JPEG_Quality = 90;
  const Bytes good = WriteJpeg(picture, params);
  EXPECT_LT(worst.size(), good.size());
  params.JPEG_Smooth = 60;
  EXPECT_NE(WriteJpeg(picture, params), good);
}

TEST(JpegDensity, DotsPerInchAndPerCentimetre) {
  TIOParamsVals params;
  params.DpiX = 300;
  params.DpiY = 150;
  Bytes file = WriteJpeg(Gradient(), params);
  ASSERT_EQ(std::memcmp(file.data() + 6, "JFIF", 5), 0);
  EXPECT_EQ(file[13], 1);
  EXPECT_EQ((file[14] << 8) | file[15], 300);
  EXPECT_EQ((file[16] << 8) | file[17], 150);
  TIOParamsVals read;
  (void)ReadJpeg(file, read);
  EXPECT_EQ(read.DpiX, 300);
  EXPECT_EQ(read.DpiY, 150);

  file[13] = 2;
  file[14] = 0, file[15] = 118;
  file[16] = 0, file[17] = 59;
  (void)ReadJpeg(file, read);
  EXPECT_EQ(read.DpiX, 299);
  EXPECT_EQ(read.DpiY, 149);

  // Unit 0 is an aspect ratio: the screen's resolution, not 1 x 1 dpi.
  file[13] = 0;
  file[14] = 0, file[15] = 1;
  file[16] = 0, file[17] = 1;
  (void)ReadJpeg(file, read);
  EXPECT_EQ(read.DpiX, gSystemDPIX);
  EXPECT_EQ(read.DpiY, gSystemDPIY);
}

TEST(JpegReader, GreyLoadsAs24BitAndSavesAgainAsGrey) {
  TIOParamsVals params;
  params.JPEG_ColorSpace = ioJPEG_GRAYLEV;
  const Bytes grey = WriteJpeg(Gradient(), params);
  TIOParamsVals read;
  const TDib back = ReadJpeg(grey, read);
  EXPECT_EQ(read.JPEG_ColorSpace, ioJPEG_GRAYLEV);
  EXPECT_EQ(DecodeRaw(WriteJpeg(back, read)).components, 1);
}

TEST(JpegReader, ScaledDecoding) {
  const Bytes file = WriteJpeg(Gradient(64, 40), TIOParamsVals{});
  struct Case {
    TIOJPEGScale scale;
    int width, height;
  };
  const Case cases[] = {{ioJPEG_FULLSIZE, 64, 40}, {ioJPEG_HALF, 32, 20},
                        {ioJPEG_QUARTER, 16, 10}, {ioJPEG_EIGHTH, 8, 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scale);
    TIOParamsVals read;
    read.JPEG_Scale = c.scale;
    const TDib back = ReadJpeg(file, read);
    EXPECT_EQ(back.Width(), c.width);
    EXPECT_EQ(back.Height(), c.height);
    EXPECT_EQ(read.Width, c.width);
    EXPECT_EQ(read.Height, c.height);

    TMemoryStream stream(file);
    TDib untouched;
    TIOParamsVals header;
    header.JPEG_Scale = c.scale;
    TProgressRec progress = NoProgress();
    ReadJPegStream(stream, untouched, header, true, progress);
    EXPECT_TRUE(untouched.Empty());
    EXPECT_EQ(header.Width, c.width);
    EXPECT_EQ(header.Height, c.height);
  }
}

TEST(JpegWriter, OneBitBitmapIsWrittenInItsColours) {
  TDib bitmap;
  ASSERT_TRUE(bitmap.SetSize(16, 8, TPixelFormat::pf1bit));
  bitmap.SetPalette({RGBColor(0, 0, 200), RGBColor(255, 255, 0)});
  TIOParamsVals params;
  params.JPEG_Quality = 100;
  TIOParamsVals read;
  const TDib back = ReadJpeg(WriteJpeg(bitmap, params), read);
  const Rgb p = PixelAt(back, 3, 3);
  EXPECT_NEAR(p.r, 0, 3);
  EXPECT_NEAR(p.g, 0, 3);
  EXPECT_NEAR(p.b, 200, 3);
}

void ExpectJpegRefused(const Bytes& file) {
  TIOParamsVals params;
  try {
    (void)ReadJpeg(file, params);
    ADD_FAILURE() << "accepted";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Unrecognized JPeg - JPEG error #", 0), 0u) << e.what();
  }
}

TEST(JpegReader, TruncatedAndCorruptFilesAreRefused) {
  const Bytes file = WriteJpeg(Noise(40, 24), TIOParamsVals{});
  for (std::size_t cut = 0; cut + 2 < file.size(); cut += 11) {  // the end marker is 2 bytes
    SCOPED_TRACE(cut);
    ExpectJpegRefused(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(cut)));
  }
  // Frame header: FF C0, length, precision, height, width.
  std::size_t sof = 0;
  while (!(file[sof] == 0xFF && file[sof + 1] == 0xC0)) ++sof;
  Bytes huge = file;
  huge[sof + 5] = huge[sof + 6] = huge[sof + 7] = huge[sof + 8] = 0xFF;
  ExpectJpegRefused(huge);
  Bytes noSoi = file;
  noSoi[0] = noSoi[1] = 0;
  ExpectJpegRefused(noSoi);
}

TEST(JpegReader, AMissingEndMarkerAfterTheLastRowIsAccepted) {
  const TDib picture = Gradient();
  const Bytes file = WriteJpeg(picture, TIOParamsVals{});
  TIOParamsVals read;
  const TDib whole = ReadJpeg(file, read);
  const TDib cut = ReadJpeg(Bytes(file.begin(), file.end() - 2), read);
  EXPECT_EQ(FirstDifference(cut, whole), "");
}

// ---------------------------------------------------------------------------------------------
// Through the I/O component

TEST(JpegPngThroughVistelIO, SaveAndLoadByExtension) {
  TempDir dir;
  TDib picture = Gradient();
  TVistelIO io;
  io.SetAttachedBitmap(&picture);
  io.Params.JPEG_Quality = 95;
  io.Params.JPEG_Progressive = true;
  ASSERT_TRUE(io.SaveToFile(dir / "Photo.JPG"));
  ASSERT_TRUE(io.SaveToFile(dir / "picture.png"));

  TDib target;
  TVistelIO reader;
  reader.SetAttachedBitmap(&target);
  ASSERT_TRUE(reader.LoadFromFile(dir / "Photo.JPG"));
  EXPECT_EQ(reader.Params.FileType, ioJPEG);
  EXPECT_TRUE(reader.Params.JPEG_Progressive);
  EXPECT_LE(MaxDifference(target, picture), 12);
  ASSERT_TRUE(reader.LoadFromFile(dir / "picture.png"));
  EXPECT_EQ(reader.Params.FileType, ioPNG);
  EXPECT_EQ(FirstDifference(target, picture), "");

  test::WriteBytes(dir / "broken.png", Bytes{0x89, 'P', 'N', 'G'});
  test::WriteBytes(dir / "broken.jpeg", Bytes{0xFF, 0xD8, 0xFF});
  try {
    reader.LoadFromFile(dir / "broken.png");
    ADD_FAILURE() << "accepted";
  } catch (const EInvalidGraphic& e) {
    EXPECT_STREQ(e.what(), "unrecognized PNG");
  }
  try {
    reader.LoadFromFile(dir / "broken.jpeg");
    ADD_FAILURE() << "accepted";
  } catch (const EInvalidGraphic& e) {
    EXPECT_STREQ(e.what(), "unrecognized JPEG");
  }
}

TEST(JpegPngThroughVistelIO, AlphaWithoutBackgroundChunkUsesTheComponentBackground) {
  PngSpec spec;
  spec.width = 2;
  spec.height = 1;
  spec.colorType = 6;
  spec.rows = {{10, 20, 30, 0, 10, 20, 30, 255}};
  TempDir dir;
  test::WriteBytes(dir / "alpha.png", BuildPng(spec));
  TDib target;
  TVistelIO io;
  io.SetAttachedBitmap(&target);
  io.SetBackground(RGBColor(200, 150, 100));
  ASSERT_TRUE(io.LoadFromFile(dir / "alpha.png"));
  EXPECT_EQ(PixelAt(target, 0, 0), (Rgb{200, 150, 100}));
  EXPECT_EQ(PixelAt(target, 1, 0), (Rgb{10, 20, 30}));
  EXPECT_EQ(io.Background(), RGBColor(200, 150, 100));
}

// ---------------------------------------------------------------------------------------------
// The shared suites

// Loads through the component onto a black background, as the references are drawn.
void ExpectMatchesReference(const std::filesystem::path& file, int tolerance) {
  TDib target;
  TVistelIO io;
  io.SetAttachedBitmap(&target);
  io.SetBackground(clBlack);
  try {
    ASSERT_TRUE(io.LoadFromFile(file));
  } catch (const EInvalidGraphic& e) {
    FAIL() << "refused: " << e.what();
  }
  const auto expected = ReadPpm(file.string() + ".ref.ppm");
  ASSERT_TRUE(expected) << "no reference";
  EXPECT_LE(MaxDifference(target, *expected), tolerance)
      << FirstDifference(target, *expected);
}

void ExpectRefused(const std::filesystem::path& file, const char* message) {
  TDib target;
  TVistelIO io;
  io.SetAttachedBitmap(&target);
  try {
    io.LoadFromFile(file);
    ADD_FAILURE() << "accepted";
  } catch (const EInvalidGraphic& e) {
    EXPECT_STREQ(e.what(), message);
  }
  EXPECT_TRUE(target.Empty());
}

TEST(PngSuite, GoodFilesEqualTheirReferences) {
  KORVANE_REQUIRE_TESTDATA(data);
  const auto files = test::SuiteFiles(data / "png" / "good", ".png");
  ASSERT_FALSE(files.empty());
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    ExpectMatchesReference(file, 0);
  }
}

TEST(PngSuite, BadFilesAreRefused) {
  KORVANE_REQUIRE_TESTDATA(data);
  const auto files = test::SuiteFiles(data / "png" / "bad", ".png");
  ASSERT_FALSE(files.empty());
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    ExpectRefused(file, "unrecognized PNG");
  }
}

TEST(JpegSuite, GoodFilesMatchTheirReferencesClosely) {
  KORVANE_REQUIRE_TESTDATA(data);
  const auto files = test::SuiteFiles(data / "jpeg" / "good", ".jpg");
  ASSERT_FALSE(files.empty());
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    ExpectMatchesReference(file, 1);
  }
}

TEST(JpegSuite, BadFilesAreRefused) {
  KORVANE_REQUIRE_TESTDATA(data);
  const auto files = test::SuiteFiles(data / "jpeg" / "bad", ".jpg");
  ASSERT_FALSE(files.empty());
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    ExpectRefused(file, "unrecognized JPEG");
  }
}

TEST(JpegSuite, DensityInDotsPerCentimetre) {
  KORVANE_REQUIRE_TESTDATA(data);
  TDib target;
  TVistelIO io;
  io.SetAttachedBitmap(&target);
  ASSERT_TRUE(io.LoadFromFile(data / "jpeg" / "good" / "density-dpcm.jpg"));
  EXPECT_EQ(io.Params.DpiX, 299);
  EXPECT_EQ(io.Params.DpiY, 299);
}

}  // namespace
}  // namespace korvane
