// The PCX codec: round trips of every layout, RLE and plain; the writer's bytes where they are
// prescribed; headers assembled byte by byte with one field wrong; and the shared PCX suite.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "ImageTestUtil.h"
#include "imageio/Pcxfilter.h"
#include "imageio/Vistelio.h"
#include "support/TestData.h"

namespace korvane {
namespace {

using test::FirstDifference;
using test::MakeBitmap;
using test::PixelAt;
using test::Rgb;

using Bytes = std::vector<std::uint8_t>;

struct PcxSpec {
  int manufacturer = 10;
  int version = 5;
  int encoding = 1;
  int bits = 8;
  int xmin = 0, ymin = 0, xmax = 2, ymax = 1;
  int dpiX = 72, dpiY = 72;
  std::vector<Rgb> headerPalette;
  int planes = 1;
  int bytesPerLine = 4;
  Bytes data;
  std::optional<std::vector<Rgb>> palette;  // 256 entries after 0x0C
};

void Put16(Bytes& b, std::size_t at, int v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

Bytes BuildPcx(const PcxSpec& s) {
  Bytes b(128, 0);
  b[0] = static_cast<std::uint8_t>(s.manufacturer);
  b[1] = static_cast<std::uint8_t>(s.version);
  b[2] = static_cast<std::uint8_t>(s.encoding);
  b[3] = static_cast<std::uint8_t>(s.bits);
  Put16(b, 4, s.xmin);
  Put16(b, 6, s.ymin);
  Put16(b, 8, s.xmax);
  Put16(b, 10, s.ymax);
  Put16(b, 12, s.dpiX);
  Put16(b, 14, s.dpiY);
  for (std::size_t i = 0; i < s.headerPalette.size() && i < 16; ++i) {
    b[16 + 3 * i] = s.headerPalette[i].r;
    b[17 + 3 * i] = s.headerPalette[i].g;
    b[18 + 3 * i] = s.headerPalette[i].b;
  }
  b[65] = static_cast<std::uint8_t>(s.planes);
  Put16(b, 66, s.bytesPerLine);
  Put16(b, 68, 1);
  b.insert(b.end(), s.data.begin(), s.data.end());
  if (s.palette) {
    b.push_back(0x0C);
    for (const Rgb& c : *s.palette) b.insert(b.end(), {c.r, c.g, c.b});
  }
  return b;
}

std::vector<Rgb> Grey256() {
  std::vector<Rgb> p(256);
  for (int i = 0; i < 256; ++i) {
    const auto v = static_cast<std::uint8_t>(i);
    p[static_cast<std::size_t>(i)] = Rgb{v, static_cast<std::uint8_t>(255 - i), 7};
  }
  return p;
}

struct ReadResult {
  TDib bitmap;
  TIOParamsVals params;
  std::string error;
};

ReadResult Read(const Bytes& file, std::int64_t size = 0, bool paramsOnly = false) {
  ReadResult r;
  TMemoryStream in(file);
  TProgressRec progress;
  try {
    ReadPcxStream(in, r.bitmap, r.params, paramsOnly, progress, size);
  } catch (const EInvalidGraphic& e) {
    r.error = e.what();
  }
  return r;
}

Bytes Write(const TDib& bitmap, TIOParamsVals& params) {
  TMemoryStream out;
  TProgressRec progress;
  WritePcxStream(out, bitmap, params, progress);
  return out.Bytes();
}

// Colours on the quantizer's 8-level grid survive a palette exactly.
TDib GridPicture(int width, int height, int colours) {
  return MakeBitmap(width, height, [colours](int x, int y) {
    const int k = (x * 5 + y * 3 + (x * y) % 7) % colours;
    return Rgb{static_cast<std::uint8_t>(8 * (k % 8 + 1)), static_cast<std::uint8_t>(8 * (k / 8 % 8 + 9)),
               static_cast<std::uint8_t>(8 * (k / 64 + 20))};
  });
}

TDib Photo(int width, int height) {
  return MakeBitmap(width, height, [](int x, int y) {
    return Rgb{static_cast<std::uint8_t>(x * 37 + y), static_cast<std::uint8_t>(y * 11 + 200),
               static_cast<std::uint8_t>((x / 3) * 90)};
  });
}

TEST(PcxCodec, RoundTripsOfEveryLayout) {
  struct Case {
    const char* name;
    int bits, samples;
    TDib picture;
    int fileBits, filePlanes;
  };
  std::vector<Case> cases;
  cases.push_back({"24 bits, odd width", 8, 3, Photo(13, 5), 8, 3});
  cases.push_back({"24 bits, bytes of 0xC0 and above", 8, 3,
                   MakeBitmap(6, 3, [](int x, int y) {
                     return Rgb{static_cast<std::uint8_t>(0xC0 + x), 0xFF, static_cast<std::uint8_t>(0xC0 + 9 * y)};
                   }),
                   8, 3});
  cases.push_back({"24 bits, short runs among markers", 8, 3,
                   MakeBitmap(61, 9, [](int x, int y) {
                     const auto v = static_cast<std::uint8_t>(((x / (1 + y % 3)) * 77 + y) & 0xFF);
                     return Rgb{v, static_cast<std::uint8_t>(v | 0xC0), static_cast<std::uint8_t>(x % 5 ? v : 0xC3)};
                   }),
                   8, 3});
  cases.push_back({"8 bits", 8, 1, GridPicture(17, 6, 200), 8, 1});
  cases.push_back({"4 bits, odd width", 4, 1, GridPicture(9, 4, 16), 4, 1});
  cases.push_back({"1 bit, width not a multiple of 8", 1, 1,
                   MakeBitmap(11, 3, [](int x, int y) { return (x * y) % 3 ? Rgb{255, 255, 255} : Rgb{}; }),
                   1, 1});
  for (const Case& c : cases) {
    for (const TIOPCXCompression compression : {ioPCX_RLE, ioPCX_UNCOMPRESSED}) {
      SCOPED_TRACE(std::string(c.name) + (compression == ioPCX_RLE ? ", RLE" : ", plain"));
      TIOParamsVals params;
      params.BitsPerSample = c.bits;
      params.SamplesPerPixel = c.samples;
      params.PCX_Compression = compression;
      params.PCX_Version = 3;
      params.DpiX = 150;
      params.DpiY = 75;
      const Bytes file = Write(c.picture, params);
      const ReadResult r = Read(file);
      ASSERT_EQ(r.error, "");
      EXPECT_EQ(FirstDifference(r.bitmap, c.picture), "");
      EXPECT_EQ(r.bitmap.PixelFormat(), c.fileBits == 1 ? TPixelFormat::pf1bit : TPixelFormat::pf24bit);
      EXPECT_EQ(r.params.BitsPerSample, c.fileBits);
      EXPECT_EQ(r.params.SamplesPerPixel, c.filePlanes);
      EXPECT_EQ(r.params.PCX_Version, 3);
      EXPECT_EQ(r.params.PCX_Compression, compression);
      EXPECT_EQ(r.params.Width, c.picture.Width());
      EXPECT_EQ(r.params.Height, c.picture.Height());
      EXPECT_EQ(r.params.DpiX, 150);
      EXPECT_EQ(r.params.DpiY, 75);
      EXPECT_EQ(r.params.ColorMapCount, c.filePlanes == 3 ? 0 : 1 << c.fileBits);
    }
  }
}

TEST(PcxCodec, OneBitKeepsTheTwoColoursInTheHeaderDarkerFirst) {
  const Rgb light{240, 230, 10}, dark{10, 20, 150};
  const TDib two = MakeBitmap(10, 2, [&](int x, int) { return x % 3 ? light : dark; });
  TIOParamsVals params;
  params.BitsPerSample = 1;
  const Bytes f = Write(two, params);
  EXPECT_EQ(Bytes(f.begin() + 16, f.begin() + 22), (Bytes{10, 20, 150, 240, 230, 10}));
  EXPECT_EQ(f[3], 1);
  EXPECT_EQ(f[65], 1);
  EXPECT_EQ(test::Le16(f, 66), 2);
  // The file shows as black and white: bit 1 (the lighter colour) is white.
  const ReadResult r = Read(f);
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(PixelAt(r.bitmap, 0, 0), (Rgb{0, 0, 0}));
  EXPECT_EQ(PixelAt(r.bitmap, 1, 1), (Rgb{255, 255, 255}));
}

TEST(PcxCodec, WriterHeaderAndPalettes) {
  TIOParamsVals params;
  params.PCX_Version = 5;
  params.DpiX = 300;
  params.DpiY = 300;
  params.SamplesPerPixel = 1;
  params.BitsPerSample = 8;
  Bytes f = Write(GridPicture(5, 3, 30), params);
  EXPECT_EQ(f[0], 10);
  EXPECT_EQ(f[1], 5);
  EXPECT_EQ(f[2], 1);
  EXPECT_EQ(f[3], 8);
  EXPECT_EQ(test::Le16(f, 4), 0);
  EXPECT_EQ(test::Le16(f, 8), 4);
  EXPECT_EQ(test::Le16(f, 10), 2);
  EXPECT_EQ(test::Le16(f, 12), 300);
  EXPECT_EQ(f[65], 1);
  EXPECT_EQ(test::Le16(f, 66), 6);  // 5 rounded up to even
  EXPECT_EQ(test::Le16(f, 68), 1);
  ASSERT_GT(f.size(), 128u + 769u);
  EXPECT_EQ(f[f.size() - 769], 0x0C);

  params.BitsPerSample = 4;
  f = Write(GridPicture(5, 3, 16), params);
  EXPECT_EQ(f[3], 4);
  EXPECT_EQ(test::Le16(f, 66), 4);
  EXPECT_LT(f.size(), 128u + 769u);

  params.SamplesPerPixel = 3;
  params.BitsPerSample = 8;
  f = Write(GridPicture(5, 3, 16), params);
  EXPECT_EQ(f[65], 3);
  EXPECT_EQ(test::Le16(f, 68), 0);
}

TEST(PcxCodec, RunLengthBytes) {
  TIOParamsVals params;  // 8 bits x 3 planes, RLE
  struct Case {
    const char* name;
    TDib picture;
    int bytesPerLine;
    Bytes data;
  };
  std::vector<Case> cases;
  // 7 pixels: 8 bytes per line, the padding byte encoded with each plane line.
  cases.push_back({"odd width padded and encoded",
                   MakeBitmap(7, 1, [](int x, int) { return Rgb{static_cast<std::uint8_t>(x + 1), 20, 0xC7}; }),
                   8,
                   {1, 2, 3, 4, 5, 6, 7, 0, 0xC7, 20, 0, 0xC7, 0xC7, 0}});
  cases.push_back({"100 equal bytes are runs of 63 and 37",
                   MakeBitmap(100, 1, [](int, int) { return Rgb{9, 9, 9}; }),
                   100,
                   {0xFF, 9, 0xE5, 9, 0xFF, 9, 0xE5, 9, 0xFF, 9, 0xE5, 9}});
  cases.push_back({"a single 0xC5 is a run of 1",
                   MakeBitmap(1, 1, [](int, int) { return Rgb{0xC5, 1, 0xBF}; }),
                   2,
                   {0xC1, 0xC5, 0, 1, 0, 0xBF, 0}});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes f = Write(c.picture, params);
    EXPECT_EQ(test::Le16(f, 66), c.bytesPerLine);
    EXPECT_EQ(Bytes(f.begin() + 128, f.end()), c.data);
  }
  // Runs never cross a line: two rows of one colour give one run per plane line.
  const Bytes f = Write(MakeBitmap(4, 2, [](int, int) { return Rgb{5, 5, 5}; }), params);
  EXPECT_EQ(Bytes(f.begin() + 128, f.end()),
            (Bytes{0xC4, 5, 0xC4, 5, 0xC4, 5, 0xC4, 5, 0xC4, 5, 0xC4, 5}));

  params.PCX_Compression = ioPCX_UNCOMPRESSED;
  const Bytes plain = Write(MakeBitmap(3, 1, [](int x, int) { return Rgb{0xC1, static_cast<std::uint8_t>(x), 0xFF}; }), params);
  EXPECT_EQ(plain[2], 0);
  EXPECT_EQ(Bytes(plain.begin() + 128, plain.end()), (Bytes{0xC1, 0xC1, 0xC1, 0, 0, 1, 2, 0, 0xFF, 0xFF, 0xFF, 0}));
}

TEST(PcxCodec, ReaderLayouts) {
  {
    // A run may go on into the next line: 8 bytes of index 5 fill both 4-byte lines.
    PcxSpec s;
    s.data = {0xC8, 5};
    s.palette = Grey256();
    const ReadResult r = Read(BuildPcx(s));
    ASSERT_EQ(r.error, "");
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) EXPECT_EQ(PixelAt(r.bitmap, x, y), (Rgb{5, 250, 7}));
  }
  {
    // 4 bits: high nibble first, the header palette; a window away from the origin.
    PcxSpec s;
    s.bits = 4;
    s.xmin = 10, s.xmax = 12, s.ymin = 3, s.ymax = 3;
    s.bytesPerLine = 2;
    s.headerPalette = std::vector<Rgb>(16);
    for (int i = 0; i < 16; ++i) s.headerPalette[static_cast<std::size_t>(i)] = Rgb{static_cast<std::uint8_t>(i * 10), 1, 2};
    s.data = {0x3C, 0x70};
    const ReadResult r = Read(BuildPcx(s));
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.bitmap.Width(), 3);
    EXPECT_EQ(r.bitmap.Height(), 1);
    EXPECT_EQ(PixelAt(r.bitmap, 0, 0).r, 30);
    EXPECT_EQ(PixelAt(r.bitmap, 1, 0).r, 120);
    EXPECT_EQ(PixelAt(r.bitmap, 2, 0).r, 70);
    EXPECT_EQ(r.params.ColorMapCount, 16);
  }
  {
    // 2 bits: four pixels a byte, the first four header colours.
    PcxSpec s;
    s.bits = 2;
    s.encoding = 0;
    s.xmax = 4, s.ymax = 0;
    s.bytesPerLine = 2;
    s.headerPalette = {{1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}};
    s.data = {0b00011011, 0b10000000};
    const ReadResult r = Read(BuildPcx(s));
    ASSERT_EQ(r.error, "");
    for (int x = 0; x < 5; ++x) EXPECT_EQ(PixelAt(r.bitmap, x, 0).r, (Bytes{1, 2, 3, 4, 3}[static_cast<std::size_t>(x)]));
  }
}

TEST(PcxCodec, Resolution) {
  PcxSpec s;
  s.data = {0xC8, 5};
  s.palette = Grey256();
  s.dpiX = s.dpiY = 300;
  ReadResult r = Read(BuildPcx(s));
  EXPECT_EQ(r.params.DpiX, 300);
  EXPECT_EQ(r.params.DpiY, 300);
  s.dpiY = 0;
  r = Read(BuildPcx(s));
  EXPECT_EQ(r.params.DpiX, gSystemDPIX);
  EXPECT_EQ(r.params.DpiY, gSystemDPIY);
}

TEST(PcxCodec, BadFilesAreRefusedAndLeaveTheTargetAlone) {
  struct Case {
    const char* name;
    Bytes file;
  };
  std::vector<Case> cases;
  const auto with = [](auto change) {
    PcxSpec s;
    s.data = {0xC8, 5};
    s.palette = Grey256();
    change(s);
    return BuildPcx(s);
  };
  cases.push_back({"manufacturer 11", with([](PcxSpec& s) { s.manufacturer = 11; })});
  cases.push_back({"encoding 2", with([](PcxSpec& s) { s.encoding = 2; })});
  cases.push_back({"16 bits", with([](PcxSpec& s) { s.bits = 16; })});
  cases.push_back({"0 bits", with([](PcxSpec& s) { s.bits = 0; })});
  cases.push_back({"4 planes", with([](PcxSpec& s) { s.planes = 4; s.bits = 1; })});
  cases.push_back({"8 bits in 2 planes", with([](PcxSpec& s) { s.planes = 2; })});
  cases.push_back({"3 planes of 1 bit", with([](PcxSpec& s) { s.planes = 3; s.bits = 1; s.palette.reset(); })});
  cases.push_back({"3 bits", with([](PcxSpec& s) { s.bits = 3; })});
  cases.push_back({"xmax before xmin", with([](PcxSpec& s) { s.xmin = 5; s.xmax = 4; })});
  cases.push_back({"ymax before ymin", with([](PcxSpec& s) { s.ymin = 1; s.ymax = 0; })});
  cases.push_back({"bytes per line below the width", with([](PcxSpec& s) { s.bytesPerLine = 2; })});
  cases.push_back({"no palette marker", with([](PcxSpec& s) { s.palette.reset(); s.data.resize(800, 0); })});
  cases.push_back({"no room for the palette", with([](PcxSpec& s) { s.palette.reset(); })});
  cases.push_back({"RLE data ends early", with([](PcxSpec& s) { s.data = {0xC5, 5}; })});
  cases.push_back({"RLE data ends inside a run", with([](PcxSpec& s) {
                     s.bits = 4, s.bytesPerLine = 2, s.palette.reset();
                     s.data = {0xC2, 1, 0xC3};
                   })});
  cases.push_back({"plain data too short", with([](PcxSpec& s) {
                     s.encoding = 0, s.bits = 1, s.bytesPerLine = 2, s.palette.reset();
                     s.data = {1, 2, 3};
                   })});
  cases.push_back({"65535 x 65535 in a few bytes", with([](PcxSpec& s) {
                     s.bits = 1, s.xmax = s.ymax = 65534, s.bytesPerLine = 8192, s.palette.reset();
                   })});
  cases.push_back({"more lines than the runs can give", with([](PcxSpec& s) {
                     s.bits = 1, s.xmax = 15999, s.ymax = 9999, s.bytesPerLine = 2000, s.palette.reset();
                     s.data = Bytes(1000, 0xFF);
                   })});
  cases.push_back({"only part of the header", Bytes(60, 10)});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TDib target = GridPicture(3, 2, 3);
    TIOParamsVals params;
    TMemoryStream in(c.file);
    TProgressRec progress;
    try {
      ReadPcxStream(in, target, params, false, progress, 0);
      ADD_FAILURE() << "accepted";
    } catch (const EInvalidGraphic& e) {
      EXPECT_STREQ(e.what(), "unrecognized PCX");
    }
    EXPECT_EQ(FirstDifference(target, GridPicture(3, 2, 3)), "");
    EXPECT_EQ(params.Width, TIOParamsVals().Width);
  }
}

TEST(PcxCodec, SizeBoundsTheDataAndFindsThePalette) {
  PcxSpec s;
  s.data = {0xC8, 5};
  s.palette = Grey256();
  Bytes file = BuildPcx(s);
  const auto pcxSize = static_cast<std::int64_t>(file.size());
  file.insert(file.end(), 1000, 0xEE);  // whatever follows in the stream
  const ReadResult r = Read(file, pcxSize);
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(PixelAt(r.bitmap, 2, 1), (Rgb{5, 250, 7}));
  EXPECT_NE(Read(file).error, "");
}

TEST(PcxCodec, ParamsOnlyLeavesTheBitmap) {
  PcxSpec s;
  s.data = {0xC8, 5};
  s.palette = Grey256();
  const ReadResult r = Read(BuildPcx(s), 0, true);
  ASSERT_EQ(r.error, "");
  EXPECT_TRUE(r.bitmap.Empty());
  EXPECT_EQ(r.params.Width, 3);
  EXPECT_EQ(r.params.Height, 2);
  EXPECT_EQ(r.params.ColorMapCount, 256);
}

TEST(PcxCodec, AbortStopsReadingAndWriting) {
  TIOParamsVals params;
  const TDib picture = Photo(20, 10);
  const Bytes file = Write(picture, params);
  bool aborting = false;
  const TProgressEvent handler = [&](void*, int percent) { aborting = percent >= 50; };
  TProgressRec progress;
  progress.fOnProgress = &handler;
  progress.Aborting = &aborting;

  TDib target = GridPicture(3, 2, 3);
  TMemoryStream in(file);
  ReadPcxStream(in, target, params, false, progress, 0);
  EXPECT_EQ(FirstDifference(target, GridPicture(3, 2, 3)), "");

  aborting = false;
  params.SamplesPerPixel = 1;  // 8 bits: the palette comes last and is left out
  TMemoryStream out;
  WritePcxStream(out, picture, params, progress);
  EXPECT_LT(out.Bytes().size(), 128u + 20u * 10u);
  EXPECT_GT(out.Bytes().size(), 128u);
}

TEST(PcxCodec, ThroughTheComponent) {
  test::TempDir dir;
  TDib picture = Photo(21, 8);
  TVistelIO io;
  io.SetAttachedBitmap(&picture);
  ASSERT_TRUE(io.SaveToFile(dir / "photo.Pcx"));
  EXPECT_EQ(TVistelIO::FindFileFormat(dir / "photo.Pcx"), ioPCX);

  TDib loaded;
  TVistelIO reader;
  reader.SetAttachedBitmap(&loaded);
  ASSERT_TRUE(reader.LoadFromFile(dir / "photo.Pcx"));
  EXPECT_EQ(FirstDifference(loaded, picture), "");
  EXPECT_EQ(reader.Params.FileType, ioPCX);

  // The stream variant with its 12-byte header, and something after it.
  io.Params.SamplesPerPixel = 1;
  TMemoryStream stream;
  ASSERT_TRUE(io.SaveToStreamPCX(stream));
  stream.WriteU32(0xDEADBEEF);
  stream.SetPosition(0);
  ASSERT_TRUE(reader.LoadFromStreamPCX(stream));
  EXPECT_EQ(reader.Params.BitsPerSample, 8);
  EXPECT_EQ(reader.Params.SamplesPerPixel, 1);

  test::WriteBytes(dir / "bad.pcx", Bytes(200, 10));
  try {
    reader.LoadFromFile(dir / "bad.pcx");
    ADD_FAILURE() << "accepted";
  } catch (const EInvalidGraphic& e) {
    EXPECT_STREQ(e.what(), "unrecognized PCX");
  }
}

// ---------------------------------------------------------------------------------------------
// The shared suite

TEST(PcxSuite, GoodFilesEqualTheirReferences) {
  KORVANE_REQUIRE_TESTDATA(data);
  const auto files = test::SuiteFiles(data / "pcx" / "good", ".pcx");
  ASSERT_FALSE(files.empty());
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    EXPECT_EQ(test::LoadSuiteFile(file), "");
  }
}

TEST(PcxSuite, BadFilesAreRefused) {
  KORVANE_REQUIRE_TESTDATA(data);
  const auto files = test::SuiteFiles(data / "pcx" / "bad", ".pcx");
  ASSERT_FALSE(files.empty());
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    EXPECT_EQ(test::LoadSuiteFile(file), "unrecognized PCX");
  }
}

TEST(PcxSuite, QuestionableFilesHaveOneOutcome) {
  KORVANE_REQUIRE_TESTDATA(data);
  const std::filesystem::path dir = data / "pcx" / "questionable";
  EXPECT_EQ(test::LoadSuiteFile(dir / "photo16-4planes.pcx"), "unrecognized PCX");
  EXPECT_EQ(test::LoadSuiteFile(dir / "photo16-4bit-1plane.pcx"), "");
  EXPECT_EQ(test::LoadSuiteFile(dir / "photo24-uncompressed.pcx"), "");
  EXPECT_EQ(test::LoadSuiteFile(dir / "page1-mono-zero-palette.pcx"), "");
}

}  // namespace
}  // namespace korvane
