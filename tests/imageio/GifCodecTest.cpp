// The GIF container and its LZW coder: round trips through the writer and reader, files
// assembled byte by byte where one field is wrong, the coder on hand-packed code streams, and
// the shared GIF suite.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "ImageTestUtil.h"
#include "imageio/Giffilter.h"
#include "imageio/Giflzw.h"
#include "imageio/LzwHooks.h"
#include "imageio/Vistelio.h"
#include "support/TestData.h"

namespace korvane {
namespace {

using test::FirstDifference;
using test::MakeBitmap;
using test::PixelAt;
using test::Rgb;

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, int v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}

// LSB-first code packing into sub-blocks, for code streams written by hand.
class CodePacker {
 public:
  void Code(int code, int bits) {
    acc_ |= static_cast<std::uint32_t>(code) << count_;
    count_ += bits;
    while (count_ >= 8) {
      bytes_.push_back(static_cast<std::uint8_t>(acc_));
      acc_ >>= 8;
      count_ -= 8;
    }
  }
  // Minimum code size byte, sub-blocks and (unless left out) the terminator.
  Bytes Finish(int minCodeSize, bool terminator = true) {
    if (count_ > 0) bytes_.push_back(static_cast<std::uint8_t>(acc_));
    Bytes out{static_cast<std::uint8_t>(minCodeSize)};
    for (std::size_t i = 0; i < bytes_.size(); i += 255) {
      const std::size_t n = std::min<std::size_t>(255, bytes_.size() - i);
      out.push_back(static_cast<std::uint8_t>(n));
      out.insert(out.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(i),
                 bytes_.begin() + static_cast<std::ptrdiff_t>(i + n));
    }
    if (terminator) out.push_back(0);
    return out;
  }

 private:
  Bytes bytes_;
  std::uint32_t acc_ = 0;
  int count_ = 0;
};

Bytes Compress(int width, int height, int bits, const Bytes& indices, bool interlaced = false) {
  TMemoryStream out;
  GIFLZWCompress(out, height, width, bits, indices.data(), interlaced);
  return out.Bytes();
}

Bytes Decompress(const Bytes& data, int width, int height, bool interlaced = false,
                 std::uint8_t fill = 0) {
  TMemoryStream in(data);
  Bytes out(static_cast<std::size_t>(width) * height, fill);
  GIFLZWDecompress(in, height, width, out.data(), interlaced);
  EXPECT_EQ(in.Position(), static_cast<std::int64_t>(data.size())) << "data left unread";
  return out;
}

std::string DecompressError(const Bytes& data, int width, int height) {
  TMemoryStream in(data);
  Bytes out(static_cast<std::size_t>(width) * height);
  try {
    GIFLZWDecompress(in, height, width, out.data(), false);
  } catch (const EInvalidGraphic& e) {
    return e.what();
  }
  return "accepted";
}

// The codes of a stream our encoder wrote, read back with the decoder's width rule, to look at
// where it put its clear codes.
std::vector<int> ReadCodes(const Bytes& stream) {
  const int m = stream[0];
  Bytes data;
  for (std::size_t i = 1; stream[i] != 0; i += 1 + stream[i])
    data.insert(data.end(), stream.begin() + static_cast<std::ptrdiff_t>(i + 1),
                stream.begin() + static_cast<std::ptrdiff_t>(i + 1 + stream[i]));
  std::vector<int> codes;
  const int clear = 1 << m;
  int width = m + 1, next = clear + 2;
  bool first = true;
  std::size_t bit = 0;
  while (bit + static_cast<std::size_t>(width) <= data.size() * 8) {
    int code = 0;
    for (int k = 0; k < width; ++k, ++bit) code |= ((data[bit / 8] >> (bit % 8)) & 1) << k;
    codes.push_back(code);
    if (code == clear) {
      width = m + 1, next = clear + 2, first = true;
      continue;
    }
    if (code == clear + 1) break;
    if (!first && next < 4096 && ++next == (1 << width) && width < 12) ++width;
    first = false;
  }
  return codes;
}

Bytes RandomIndices(std::size_t n, int bits, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes v(n);
  for (auto& b : v) b = static_cast<std::uint8_t>(rng() & ((1u << bits) - 1));
  return v;
}

// ---------------------------------------------------------------------------------------------
// LZW coder

struct CoderCase {
  const char* name;
  int width, height, bits;
  Bytes indices;
};

std::vector<CoderCase> CoderCases() {
  std::vector<CoderCase> cases;
  cases.push_back({"one pixel", 1, 1, 8, {200}});
  cases.push_back({"one pixel of a two-colour image", 1, 1, 1, {1}});
  cases.push_back({"repeated pixel (the code defined by itself)", 7, 1, 2, Bytes(7, 3)});
  cases.push_back({"alternating pair", 9, 2, 1, {0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1}});
  Bytes ramp(600);
  for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<std::uint8_t>(i % 256);
  cases.push_back({"ramp past the 9-bit step", 600, 1, 8, ramp});
  cases.push_back({"random 4-bit, every width to 12 bits", 50, 40, 4, RandomIndices(2000, 4, 1)});
  cases.push_back({"random 8-bit, several full tables", 300, 100, 8, RandomIndices(30000, 8, 2)});
  cases.push_back({"random 1-bit, several full tables", 256, 256, 1, RandomIndices(65536, 1, 3)});
  Bytes runs(40000);
  for (std::size_t i = 0; i < runs.size(); ++i) runs[i] = static_cast<std::uint8_t>((i / 37) % 7);
  cases.push_back({"long runs", 200, 200, 3, runs});
  return cases;
}

TEST(GifLzw, CompressThenDecompressGivesTheIndicesBack) {
  for (const CoderCase& c : CoderCases()) {
    SCOPED_TRACE(c.name);
    for (bool interlaced : {false, true}) {
      SCOPED_TRACE(interlaced ? "interlaced" : "sequential");
      const Bytes lzw = Compress(c.width, c.height, c.bits, c.indices, interlaced);
      EXPECT_EQ(lzw[0], std::max(c.bits, 2));
      EXPECT_EQ(Decompress(lzw, c.width, c.height, interlaced), c.indices);
      TMemoryStream plain;
      GIFNONLZWCompress(plain, c.height, c.width, c.bits, c.indices.data(), interlaced);
      EXPECT_EQ(Decompress(plain.Bytes(), c.width, c.height, interlaced), c.indices);
    }
  }
}

TEST(GifLzw, EncoderStartsWithClearAndClearsWhenTheTableIsFull) {
  const Bytes lzw = Compress(300, 100, 8, RandomIndices(30000, 8, 2));
  const std::vector<int> codes = ReadCodes(lzw);
  ASSERT_FALSE(codes.empty());
  EXPECT_EQ(codes.front(), 256);
  EXPECT_EQ(codes.back(), 257);
  // Every code but the last defines an entry: 3838 codes take entries 258 to 4095, one more code
  // goes out, then the clear.
  const auto second = std::find(codes.begin() + 1, codes.end(), 256);
  ASSERT_NE(second, codes.end());
  EXPECT_GT(std::count(codes.begin(), codes.end(), 256), 3);
  EXPECT_EQ(second - codes.begin(), 3839 + 1);
}

TEST(GifLzw, SubBlocksHold254Bytes) {
  const Bytes lzw = Compress(100, 100, 8, RandomIndices(10000, 8, 4));
  std::size_t i = 1;
  while (lzw[i] != 0) {
    const std::size_t n = lzw[i];
    const bool last = lzw[i + 1 + n] == 0;
    if (!last) {
      EXPECT_EQ(n, 254u) << "block at " << i;
    }
    i += 1 + n;
  }
  EXPECT_EQ(i + 1, lzw.size());
}

TEST(GifLzw, HandPackedStreamsDecode) {
  struct Case {
    const char* name;
    int minCodeSize;
    std::vector<std::pair<int, int>> codes;  // code, width
    Bytes expected;
  };
  const Case cases[] = {
      // 6 is the next free code: previous string + its own first pixel.
      {"code defined by itself", 2, {{4, 3}, {1, 3}, {6, 3}, {5, 3}}, {1, 1, 1, 0}},
      // 0, 1, 2 define 6 and 7; with next free 8 the width becomes 4 bits.
      {"width grows at 2^width", 2, {{4, 3}, {0, 3}, {1, 3}, {2, 3}, {3, 4}, {5, 4}}, {0, 1, 2, 3}},
      {"clear resets width and table", 2,
       {{4, 3}, {0, 3}, {1, 3}, {2, 3}, {4, 4}, {3, 3}, {3, 3}, {6, 3}, {5, 3}},
       {0, 1, 2, 3, 3, 3, 3}},
      {"repeated clears are skipped", 2, {{4, 3}, {4, 3}, {4, 3}, {2, 3}, {5, 3}}, {2, 0, 0, 0}},
      // Directly after a clear a code at or above the first free one reads as 0.
      {"first code beyond the literals", 2, {{4, 3}, {7, 3}, {1, 3}, {5, 3}}, {0, 1, 0, 0}},
      {"no clear code at the start", 3, {{5, 4}, {5, 4}, {9, 4}}, {5, 5, 0, 0}},
      {"data ends without an end code", 2, {{4, 3}, {3, 3}, {2, 3}}, {3, 2, 0, 0}},
      {"pixels past the last row are dropped", 2, {{4, 3}, {1, 3}, {6, 3}, {7, 3}}, {1, 1, 1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CodePacker packer;
    for (const auto& [code, width] : c.codes) packer.Code(code, width);
    EXPECT_EQ(Decompress(packer.Finish(c.minCodeSize), static_cast<int>(c.expected.size()), 1),
              c.expected);
  }
}

TEST(GifLzw, EmptyDataLeavesTheOutputAloneAndShortDataEndsInIndexZero) {
  EXPECT_EQ(Decompress({8, 0}, 3, 1, false, 9), Bytes(3, 9));
  CodePacker p;
  for (auto [code, width] : {std::pair{4, 3}, {1, 3}, {6, 3}, {6, 3}, {5, 4}}) p.Code(code, width);
  const Bytes data = p.Finish(2);
  Bytes expected(24, 0);
  std::fill_n(expected.begin(), 5, 1);
  EXPECT_EQ(Decompress(data, 24, 1, false, 9), expected);
  // Interlaced, the fifth pixel opens the second stored row, which is row 4.
  std::fill(expected.begin() + 4, expected.end(), 0);
  expected[16] = 1;
  EXPECT_EQ(Decompress(data, 4, 6, true, 9), expected);
}

TEST(GifLzw, BadStreamsAreCorrupted) {
  struct Case {
    const char* name;
    Bytes data;
  };
  std::vector<Case> cases;
  {
    CodePacker p;  // next free is 6; 7 is beyond it
    for (auto [code, width] : {std::pair{4, 3}, {1, 3}, {7, 3}}) p.Code(code, width);
    cases.push_back({"code above the next free code", p.Finish(2)});
  }
  cases.push_back({"minimum code size 1", {1, 1, 0x0C, 0}});
  cases.push_back({"minimum code size 10", {10, 1, 0x00, 0}});
  cases.push_back({"minimum code size 12", {12, 1, 0x00, 0}});
  {
    CodePacker p;
    p.Code(512, 10);
    p.Code(300, 10);
    cases.push_back({"9-bit literal that no index can hold", p.Finish(9)});
  }
  {
    CodePacker p;
    p.Code(4, 3);
    p.Code(1, 3);
    cases.push_back({"sub-blocks without a terminator", p.Finish(2, false)});
  }
  cases.push_back({"sub-block longer than the data", {2, 20, 0x4C, 0x01}});
  cases.push_back({"no code size byte", {}});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DecompressError(c.data, 4, 4), "Corrupted GIF");
  }
}

// 2 + 4094 literal codes at the widths a decoder expects fill the table for minimum code size 2.
CodePacker FullTable() {
  CodePacker p;
  p.Code(4, 3);
  int next = 6, width = 3;
  p.Code(0, width);
  while (next < 4096) {
    p.Code(next % 4, width);
    if (++next == (1 << width) && width < 12) ++width;
  }
  return p;
}

TEST(GifLzw, AFullTableMustBeFollowedByAClearCode) {
  {
    CodePacker p = FullTable();
    p.Code(1, 12);
    EXPECT_EQ(DecompressError(p.Finish(2), 5000, 1), "Corrupted GIF");
  }
  {
    CodePacker p = FullTable();
    p.Code(4, 12);
    p.Code(2, 3);
    p.Code(5, 3);
    const Bytes out = Decompress(p.Finish(2), 5000, 1);
    EXPECT_EQ(out[4090], 3);
    EXPECT_EQ(out[4091], 2);
    EXPECT_EQ(out[4092], 0);
  }
  {
    CodePacker p = FullTable();
    p.Code(5, 12);  // the end code is accepted with the table full
    EXPECT_EQ(DecompressError(p.Finish(2), 5000, 1), "accepted");
  }
}

// ---------------------------------------------------------------------------------------------
// Container

struct Frame {
  int left = 0, top = 0, width = 2, height = 2;
  std::optional<std::vector<Rgb>> local;
  bool interlaced = false;
  std::optional<Bytes> control;  // graphic control block body: flags, delay (2), index
  Bytes indices = {0, 1, 1, 0};
  std::optional<Bytes> data;  // replaces the LZW data made from `indices`
};

struct GifSpec {
  std::string version = "GIF89a";
  int screenWidth = 2, screenHeight = 2;
  std::vector<Rgb> global = {{10, 20, 30}, {200, 100, 50}};
  int background = 0;
  std::vector<Frame> frames = {Frame{}};
  bool trailer = true;
};

int TableBits(std::size_t entries) {
  int bits = 1;
  while ((std::size_t{1} << bits) < entries) ++bits;
  return bits;
}

Bytes BuildGif(const GifSpec& spec) {
  Bytes b(spec.version.begin(), spec.version.end());
  Put16(b, spec.screenWidth);
  Put16(b, spec.screenHeight);
  const int gbits = TableBits(spec.global.size());
  b.push_back(static_cast<std::uint8_t>(spec.global.empty() ? 0 : 0x80 | (gbits - 1)));
  b.push_back(static_cast<std::uint8_t>(spec.background));
  b.push_back(0);
  for (const Rgb& c : spec.global) b.insert(b.end(), {c.r, c.g, c.b});
  for (const Frame& f : spec.frames) {
    if (f.control) {
      b.insert(b.end(), {0x21, 0xF9, 0x04});
      b.insert(b.end(), f.control->begin(), f.control->end());
      b.push_back(0);
    }
    b.push_back(0x2C);
    Put16(b, f.left);
    Put16(b, f.top);
    Put16(b, f.width);
    Put16(b, f.height);
    const int lbits = f.local ? TableBits(f.local->size()) : 0;
    b.push_back(static_cast<std::uint8_t>((f.local ? 0x80 | (lbits - 1) : 0) | (f.interlaced ? 0x40 : 0)));
    if (f.local)
      for (const Rgb& c : *f.local) b.insert(b.end(), {c.r, c.g, c.b});
    const Bytes data = f.data ? *f.data
                              : Compress(f.width, f.height, f.local ? lbits : gbits, f.indices,
                                         f.interlaced);
    b.insert(b.end(), data.begin(), data.end());
  }
  if (spec.trailer) b.push_back(0x3B);
  return b;
}

TIOParamsVals Coders() {
  TIOParamsVals params;
  InstallLzwCoders(params);
  return params;
}

struct ReadResult {
  TDib bitmap;
  TIOParamsVals params = Coders();
  int images = -1;
  std::string error;
};

ReadResult Read(const Bytes& file, int index = 0, bool paramsOnly = false) {
  ReadResult r;
  r.params.GIF_ImageIndex = index;
  TMemoryStream in(file);
  TProgressRec progress;
  try {
    ReadGifStream(in, r.bitmap, r.images, paramsOnly, progress, r.params);
  } catch (const EInvalidGraphic& e) {
    r.error = e.what();
  }
  return r;
}

Bytes Write(const TDib& bitmap, TIOParamsVals& params) {
  TMemoryStream out;
  TProgressRec progress;
  WriteGifStream(out, bitmap, params, progress);
  return out.Bytes();
}

// A picture of at most 256 colours on the quantizer's 8-level grid, so that it survives a
// palette exactly.
TDib GridPicture(int width, int height, int colours) {
  return MakeBitmap(width, height, [colours](int x, int y) {
    const int k = (x * 7 + y * 3 + (x * y) % 5) % colours;
    return Rgb{static_cast<std::uint8_t>(8 * (k % 8)), static_cast<std::uint8_t>(8 * (k / 8 % 8 + 10)),
               static_cast<std::uint8_t>(8 * (k / 64 + 20))};
  });
}

TEST(GifCodec, RoundTripsKeepPixelsAndFields) {
  struct Case {
    const char* name;
    std::string version;
    bool interlaced, transparent;
    int width, height, bits, colours;
  };
  const Case cases[] = {
      {"89a", "GIF89a", false, false, 37, 23, 8, 200},
      {"87a", "GIF87a", false, false, 37, 23, 8, 200},
      {"interlaced, every pass partly filled", "GIF89a", true, false, 5, 11, 8, 50},
      {"interlaced, one row", "GIF89a", true, false, 9, 1, 8, 20},
      {"transparent", "GIF89a", false, true, 16, 16, 6, 64},
      {"16 colours", "GIF87a", true, true, 33, 17, 4, 16},
      {"1 x 1", "GIF89a", false, false, 1, 1, 8, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TDib picture = GridPicture(c.width, c.height, c.colours);
    TIOParamsVals params = Coders();
    params.GIF_Version = c.version;
    params.GIF_Interlaced = c.interlaced;
    params.GIF_Transparent = c.transparent;
    params.GIF_TranspColor = TRGB{8 * 20, 8 * 10, 0};  // the picture's colour 0
    params.GIF_DelayTime = 35;
    params.BitsPerSample = c.bits;
    const Bytes file = Write(picture, params);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 6), c.version);

    const ReadResult r = Read(file);
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.images, 1);
    EXPECT_EQ(FirstDifference(r.bitmap, picture), "");
    EXPECT_EQ(r.params.GIF_Version, c.version);
    EXPECT_EQ(r.params.GIF_Interlaced, c.interlaced);
    EXPECT_EQ(r.params.GIF_Transparent, c.transparent);
    EXPECT_EQ(r.params.GIF_TranspColor, params.GIF_TranspColor);
    EXPECT_EQ(r.params.GIF_DelayTime, 35);
    EXPECT_EQ(r.params.BitsPerSample, c.bits);
    EXPECT_EQ(r.params.ColorMapCount, 1 << c.bits);
    EXPECT_EQ(r.params.Width, c.width);
    EXPECT_EQ(r.params.Height, c.height);
    EXPECT_EQ(r.params.SamplesPerPixel, 1);
  }
}

TEST(GifCodec, WriterLayout) {
  const TDib picture = GridPicture(10, 4, 12);
  for (const char* version : {"GIF87a", "GIF89a"}) {
    SCOPED_TRACE(version);
    TIOParamsVals params = Coders();
    params.GIF_Version = version;
    params.BitsPerSample = 4;
    params.GIF_DelayTime = 0x1234;
    params.GIF_Transparent = true;
    const Bytes f = Write(picture, params);
    EXPECT_EQ(test::Le16(f, 6), 10);
    EXPECT_EQ(test::Le16(f, 8), 4);
    EXPECT_EQ(f[10], 0x80 | 3 << 4 | 3);  // a 16-entry global table
    EXPECT_EQ(f[12], 0);
    const std::size_t gce = 13 + 16 * 3;
    // The control block is written whatever the version says.
    EXPECT_EQ(Bytes(f.begin() + gce, f.begin() + gce + 4), (Bytes{0x21, 0xF9, 0x04, 9}));
    EXPECT_EQ(test::Le16(f, gce + 4), 0x1234);
    EXPECT_EQ(f[gce + 7], 0);
    EXPECT_EQ(f[gce + 8], 0x2C);
    EXPECT_EQ(f[gce + 17], 0);  // no local table, not interlaced
    EXPECT_EQ(f[gce + 18], 4);  // code size byte
    EXPECT_EQ(f.back(), 0x3B);
  }
}

TEST(GifCodec, OneBitWritesTwoEntriesAndCodeSize2) {
  // Many colours: the ordered dither with black and white.
  const TDib photo = GridPicture(16, 8, 100);
  TIOParamsVals params = Coders();
  params.BitsPerSample = 1;
  Bytes f = Write(photo, params);
  EXPECT_EQ(f[10], 0x80);
  EXPECT_EQ(Bytes(f.begin() + 13, f.begin() + 19), (Bytes{0, 0, 0, 255, 255, 255}));
  EXPECT_EQ(f[19 + 8 + 10], 2);
  ReadResult r = Read(f);
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(r.bitmap.PixelFormat(), TPixelFormat::pf1bit);
  EXPECT_EQ(r.params.BitsPerSample, 1);

  // Exactly two colours keep their own colours, the darker as entry 0.
  const Rgb red{200, 0, 0}, yellow{250, 240, 10};
  const TDib two = MakeBitmap(9, 3, [&](int x, int y) { return (x + y) % 3 ? yellow : red; });
  f = Write(two, params);
  EXPECT_EQ(Bytes(f.begin() + 13, f.begin() + 19), (Bytes{200, 0, 0, 250, 240, 10}));
  r = Read(f);
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(r.bitmap.PixelFormat(), TPixelFormat::pf1bit);
  EXPECT_EQ(FirstDifference(r.bitmap, two), "");
}

TEST(GifCodec, TwoColourFilesLoadInTheirOwnColours) {
  GifSpec spec;
  spec.global = {{90, 10, 10}, {10, 10, 90}};
  const ReadResult r = Read(BuildGif(spec));
  ASSERT_EQ(r.error, "");
  ASSERT_EQ(r.bitmap.PixelFormat(), TPixelFormat::pf1bit);
  EXPECT_EQ(PixelAt(r.bitmap, 0, 0), (Rgb{90, 10, 10}));
  EXPECT_EQ(PixelAt(r.bitmap, 1, 0), (Rgb{10, 10, 90}));
  EXPECT_EQ(PixelAt(r.bitmap, 0, 1), (Rgb{10, 10, 90}));
}

TEST(GifCodec, ImageIndexChoosesTheFrameWithItsOwnFields) {
  GifSpec spec;
  spec.screenWidth = 6;
  spec.screenHeight = 5;
  spec.global = {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}};
  spec.background = 2;
  Frame first;
  first.control = Bytes{0, 10, 0, 0};
  Frame second;
  second.left = 2, second.top = 1, second.width = 3, second.height = 4;
  second.control = Bytes{1, 0x2C, 0x01, 3};  // transparent index 3, delay 300
  second.local = std::vector<Rgb>{{50, 0, 0}, {0, 60, 0}, {0, 0, 70}, {80, 80, 80}};
  second.interlaced = true;
  second.indices = {0, 1, 2, 3, 2, 1, 0, 1, 2, 3, 3, 3};
  spec.frames = {first, second};
  const Bytes file = BuildGif(spec);

  ReadResult r = Read(file, 1);
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(r.images, 2);
  EXPECT_EQ(r.bitmap.Width(), 3);
  EXPECT_EQ(r.bitmap.Height(), 4);
  EXPECT_EQ(PixelAt(r.bitmap, 2, 0), (Rgb{0, 0, 70}));
  EXPECT_EQ(PixelAt(r.bitmap, 0, 3), (Rgb{80, 80, 80}));
  EXPECT_EQ(r.params.GIF_DelayTime, 300);
  EXPECT_TRUE(r.params.GIF_Transparent);
  EXPECT_EQ(r.params.GIF_TranspColor, (TRGB{80, 80, 80}));
  EXPECT_EQ(r.params.GIF_XPos, 2);
  EXPECT_EQ(r.params.GIF_YPos, 1);
  EXPECT_TRUE(r.params.GIF_Interlaced);
  EXPECT_EQ(r.params.BitsPerSample, 2);
  EXPECT_EQ(r.params.GIF_WinWidth, 6);
  EXPECT_EQ(r.params.GIF_WinHeight, 5);
  EXPECT_EQ(r.params.GIF_Background, (TRGB{3, 3, 3}));

  r = Read(file, 0);
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(r.bitmap.Width(), 2);
  EXPECT_EQ(r.params.GIF_DelayTime, 10);
  EXPECT_FALSE(r.params.GIF_Transparent);
  EXPECT_EQ(PixelAt(r.bitmap, 1, 0), (Rgb{2, 2, 2}));

  // A frame that is not there: nothing changes, and the frames are counted.
  r = Read(file, 2);
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(r.images, 2);
  EXPECT_TRUE(r.bitmap.Empty());
  EXPECT_EQ(r.params.Width, Coders().Width);
}

TEST(GifCodec, ParamsOnlyReadsFieldsWithoutDecoding) {
  GifSpec spec;
  spec.frames[0].data = Bytes{2, 2, 0xFF, 0xFF, 0};  // a code no decoder accepts
  TIOParamsVals params;  // not even a decoder installed
  TDib bitmap;
  int images = 0;
  TMemoryStream in(BuildGif(spec));
  TProgressRec progress;
  ReadGifStream(in, bitmap, images, true, progress, params);
  EXPECT_TRUE(bitmap.Empty());
  EXPECT_EQ(images, 1);
  EXPECT_EQ(params.Width, 2);
  EXPECT_EQ(params.BitsPerSample, 1);
}

TEST(GifCodec, PositionIsWrittenInsideTheScreen) {
  const TDib picture = GridPicture(5, 3, 4);
  TIOParamsVals params = Coders();
  params.GIF_XPos = 40;
  params.GIF_YPos = 30;
  const Bytes f = Write(picture, params);
  EXPECT_EQ(test::Le16(f, 6), 45);
  EXPECT_EQ(test::Le16(f, 8), 33);
  const ReadResult r = Read(f);
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(r.params.GIF_XPos, 40);
  EXPECT_EQ(r.params.GIF_YPos, 30);
  EXPECT_EQ(FirstDifference(r.bitmap, picture), "");
}

TEST(GifCodec, MissingHooksAreReportedInTheirOwnWords) {
  const TDib picture = GridPicture(4, 4, 4);
  TIOParamsVals none;
  ASSERT_EQ(none.GIF_LZWCompFunc, nullptr);
  TMemoryStream out;
  TProgressRec progress;
  try {
    WriteGifStream(out, picture, none, progress);
    ADD_FAILURE() << "written without an encoder";
  } catch (const EInvalidGraphic& e) {
    EXPECT_STREQ(e.what(), "LZW compressor not found");
  }
  TIOParamsVals params = Coders();
  const Bytes file = Write(picture, params);
  TMemoryStream in(file);
  TDib bitmap;
  int images = 0;
  try {
    ReadGifStream(in, bitmap, images, false, progress, none);
    ADD_FAILURE() << "read without a decoder";
  } catch (const EInvalidGraphic& e) {
    EXPECT_STREQ(e.what(), "LZW decompressor not found");
  }
}

TEST(GifCodec, BadFilesAreRefusedAndLeaveTheTargetAlone) {
  struct Case {
    const char* name;
    Bytes file;
    const char* error;
  };
  std::vector<Case> cases;
  const auto with = [](auto change) {
    GifSpec spec;
    change(spec);
    return BuildGif(spec);
  };
  cases.push_back({"not a GIF", {'G', 'I', 'X', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x3B}, "unrecognized GIF"});
  Bytes cut = BuildGif(GifSpec{});
  cases.push_back({"cut in the screen descriptor", Bytes(cut.begin(), cut.begin() + 10), "Corrupted GIF"});
  cases.push_back({"cut in the global table", Bytes(cut.begin(), cut.begin() + 16), "Corrupted GIF"});
  cases.push_back({"cut in the image descriptor", Bytes(cut.begin(), cut.begin() + 25), "Corrupted GIF"});
  cases.push_back({"cut in the image data", Bytes(cut.begin(), cut.end() - 3), "Corrupted GIF"});
  cases.push_back({"image right of the screen", with([](GifSpec& s) { s.frames[0].left = 1; }), "Corrupted GIF"});
  cases.push_back({"image below the screen", with([](GifSpec& s) { s.frames[0].top = 1; }), "Corrupted GIF"});
  cases.push_back({"zero width", with([](GifSpec& s) { s.frames[0].width = 0; s.frames[0].indices = {}; }), "Corrupted GIF"});
  cases.push_back({"no colour table", with([](GifSpec& s) { s.global = {}; s.frames[0].data = Bytes{2, 0}; }), "Corrupted GIF"});
  cases.push_back({"index beyond a 2-entry table", with([](GifSpec& s) {
                     s.frames[0].data = Compress(2, 2, 2, {0, 1, 2, 1});
                   }), "Corrupted GIF"});
  cases.push_back({"index beyond a 4-entry table", with([](GifSpec& s) {
                     s.global = {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}};
                     s.frames[0].data = Compress(2, 2, 8, {0, 1, 200, 3});
                   }), "Corrupted GIF"});
  cases.push_back({"more pixels than the data could hold", with([](GifSpec& s) {
                     s.screenWidth = s.screenHeight = 4000;
                     s.frames[0].width = s.frames[0].height = 4000;
                     s.frames[0].data = Compress(2, 2, 1, {0, 1, 1, 0});
                   }), "Corrupted GIF"});
  cases.push_back({"no image at all", with([](GifSpec& s) { s.frames = {}; }), "Corrupted GIF"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TDib target = GridPicture(3, 2, 3);
    TIOParamsVals params = Coders();
    TMemoryStream in(c.file);
    TProgressRec progress;
    int images = 0;
    try {
      ReadGifStream(in, target, images, false, progress, params);
      ADD_FAILURE() << "accepted";
    } catch (const EInvalidGraphic& e) {
      EXPECT_STREQ(e.what(), c.error);
    }
    EXPECT_EQ(FirstDifference(target, GridPicture(3, 2, 3)), "");
    EXPECT_EQ(params.Width, Coders().Width);
  }
}

TEST(GifCodec, TrailerIsOptionalAndUnknownBytesAreSkipped) {
  GifSpec spec;
  spec.trailer = false;
  Bytes file = BuildGif(spec);
  ReadResult r = Read(file);
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(r.images, 1);

  // A comment extension and a stray byte before the image.
  file = BuildGif(GifSpec{});
  const Bytes extra = {0x21, 0xFE, 3, 'a', 'b', 'c', 0, 0x00};
  file.insert(file.begin() + 19, extra.begin(), extra.end());
  r = Read(file);
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(PixelAt(r.bitmap, 1, 0), (Rgb{200, 100, 50}));
}

TEST(GifCodec, AbortedReadLeavesTheBitmap) {
  TIOParamsVals params = Coders();
  const Bytes file = Write(GridPicture(20, 20, 30), params);
  for (int stopAt : {0, 30, 70, 100}) {
    SCOPED_TRACE(stopAt);
    bool aborting = false;
    const TProgressEvent handler = [&](void*, int percent) {
      if (percent >= stopAt) aborting = true;
    };
    TProgressRec progress;
    progress.fOnProgress = &handler;
    progress.Aborting = &aborting;
    TDib target = GridPicture(3, 2, 3);
    TMemoryStream in(file);
    int images = 0;
    TIOParamsVals read = Coders();
    ReadGifStream(in, target, images, false, progress, read);
    EXPECT_EQ(FirstDifference(target, GridPicture(3, 2, 3)), "");
  }
}

TEST(GifCodec, ThroughTheComponent) {
  test::TempDir dir;
  TDib picture = GridPicture(31, 9, 40);
  TVistelIO io;
  io.SetAttachedBitmap(&picture);
  InstallLzwCoders(io.Params);
  io.Params.GIF_Background = TRGB{0, 0, 160};
  ASSERT_TRUE(io.SaveToFile(dir / "Picture.GIF"));
  EXPECT_EQ(TVistelIO::FindFileFormat(dir / "Picture.GIF"), ioGIF);

  TDib loaded;
  TVistelIO reader;
  reader.SetAttachedBitmap(&loaded);
  InstallLzwCoders(reader.Params);
  ASSERT_TRUE(reader.LoadFromFile(dir / "Picture.GIF"));
  EXPECT_EQ(FirstDifference(loaded, picture), "");
  EXPECT_EQ(reader.Params.FileType, ioGIF);
  EXPECT_EQ(reader.Background(), ToColor(reader.Params.GIF_Background));

  test::WriteBytes(dir / "bad.gif", {'G', 'I', 'F', '8', '9', 'a', 1, 0});
  try {
    reader.LoadFromFile(dir / "bad.gif");
    ADD_FAILURE() << "accepted";
  } catch (const EInvalidGraphic& e) {
    EXPECT_STREQ(e.what(), "Corrupted GIF : unrecognized GIF");
  }
}

// ---------------------------------------------------------------------------------------------
// The shared suite

TEST(GifSuite, GoodFilesEqualTheirReferences) {
  KORVANE_REQUIRE_TESTDATA(data);
  const auto files = test::SuiteFiles(data / "gif" / "good", ".gif");
  ASSERT_FALSE(files.empty());
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    EXPECT_EQ(test::LoadSuiteFile(file), "");
  }
}

TEST(GifSuite, BadFilesAreRefused) {
  KORVANE_REQUIRE_TESTDATA(data);
  const auto files = test::SuiteFiles(data / "gif" / "bad", ".gif");
  ASSERT_FALSE(files.empty());
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    const std::string result = test::LoadSuiteFile(file);
    EXPECT_NE(result.find(" : unrecognized GIF"), std::string::npos) << result;
  }
}

TEST(GifSuite, QuestionableFilesHaveOneOutcome) {
  KORVANE_REQUIRE_TESTDATA(data);
  const std::filesystem::path dir = data / "gif" / "questionable";
  // A table that fills without a clear code is corrupt to this reader.
  EXPECT_EQ(test::LoadSuiteFile(dir / "deferred-clear.gif"), "Corrupted GIF : unrecognized GIF");
  // The image alone, without the screen around it.
  EXPECT_EQ(test::LoadSuiteFile(dir / "offset-frame.gif"), "");
  EXPECT_EQ(test::LoadSuiteFile(dir / "frame-outside-screen.gif"),
            "Corrupted GIF : unrecognized GIF");
}

}  // namespace
}  // namespace korvane
