// Colour twists, histograms, contrast stretch, equalization and the bitwise and scaling point
// operations of the image-processing layer, on tiny images with hand-computed values.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include "ipl/ipl.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// An 8-bit image owning its pixels; pixels are addressed by column and memory row.
class Image {
 public:
  Image(int width, int height, int channels = 1, int fill = 0)
      : p_(iplCreateImageHeader(channels, 0, IPL_DEPTH_8U, "RGB", "BGR", IPL_DATA_ORDER_PIXEL,
                                IPL_ORIGIN_BL, IPL_ALIGN_4BYTES, width, height)) {
    iplAllocateImage(p_, 1, fill);
  }
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  ~Image() { iplDeallocate(p_, IPL_IMAGE_ALL); }

  operator IplImage*() const { return p_; }
  IplImage* get() const { return p_; }
  std::uint8_t& at(int x, int y, int c = 0) {
    return p_->imageData[y * p_->widthStep + x * p_->nChannels + c];
  }
  void SetRoi(int coi, int x, int y, int w, int h) {
    iplDeleteROI(p_->roi);
    p_->roi = iplCreateROI(coi, x, y, w, h);
  }
  void ClearRoi() {
    iplDeleteROI(p_->roi);
    p_->roi = nullptr;
  }
  void Randomize(std::mt19937& rng) {
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < p_->imageSize; ++i) p_->imageData[i] = static_cast<std::uint8_t>(byte(rng));
  }
  Bytes bytes() const { return Bytes(p_->imageData, p_->imageData + p_->imageSize); }
  // The pixels without the row padding.
  Bytes pixels() const {
    Bytes out;
    for (int y = 0; y < p_->height; ++y) {
      const std::uint8_t* row = p_->imageData + y * p_->widthStep;
      out.insert(out.end(), row, row + p_->width * p_->nChannels);
    }
    return out;
  }

 private:
  IplImage* p_;
};

// A look-up table owning its arrays.
struct Lut {
  explicit Lut(std::vector<int> keys, std::vector<int> values = {}, int type = IPL_LUT_LOOKUP)
      : key(std::move(keys)), value(std::move(values)) {
    if (value.empty()) value.assign(key.size() - 1, -1);
    lut = {static_cast<int>(key.size()), key.data(), value.data(), nullptr, type};
  }
  std::vector<int> key;
  std::vector<int> value;
  IplLUT lut;
};

std::vector<int> Range(int first, int end) {
  std::vector<int> v;
  for (int i = first; i < end; ++i) v.push_back(i);
  return v;
}

class IplColour : public ::testing::Test {
 protected:
  void SetUp() override { iplSetErrStatus(IPL_StsOk); }
  void TearDown() override { iplSetErrStatus(IPL_StsOk); }
};

// --- colour twist ---------------------------------------------------------------------------

struct GainCase {
  const char* name;
  int gain;      // every diagonal entry, in units of 2^-31
  int constant;  // every offset entry, in the same units
  int offset;    // the call's offset
  std::function<int(int)> expected;
};

TEST_F(IplColour, TwistWithShift31AndAGainJustBelowOneIsExact) {
  const int kHalf = 1 << 30;
  const GainCase cases[] = {
      // v (1 - 2^-31) floors to v - 1 for every v > 0; floating point would give v.
      {"gain only", INT_MAX, 0, 0, [](int v) { return std::max(v - 1, 0); }},
      {"plus a half", INT_MAX, kHalf, 0, [](int v) { return v; }},
      {"plus a half and 10", INT_MAX, kHalf, 10, [](int v) { return std::min(v + 10, 255); }},
      {"negative gain", -INT_MAX, 0, 255, [](int v) { return 255 - v; }},
  };
  const int values[] = {0, 1, 2, 127, 128, 254, 255};
  for (const GainCase& g : cases) {
    int data[16] = {};
    for (int c = 0; c < 3; ++c) {
      data[4 * c + c] = g.gain;
      data[4 * c + 3] = g.constant;
    }
    IplColorTwist* twist = iplCreateColorTwist(data, 31);
    ASSERT_NE(twist, nullptr);
    Image src(7, 1, 3);
    Image dst(7, 1, 3);
    for (int i = 0; i < 7; ++i)
      for (int c = 0; c < 3; ++c) src.at(i, 0, c) = static_cast<std::uint8_t>(values[(i + c) % 7]);
    iplApplyColorTwist(src, dst, twist, g.offset);
    for (int i = 0; i < 7; ++i)
      for (int c = 0; c < 3; ++c)
        EXPECT_EQ(dst.at(i, 0, c), g.expected(values[(i + c) % 7]))
            << g.name << " v " << values[(i + c) % 7];
    iplDeleteColorTwist(twist);
  }
}

TEST_F(IplColour, TwistMixesChannelsSaturatesAndCopiesTheFourth) {
  // In memory order: out B = 2 R, out G = 255 - G, out R = B, scaled by 2^-8.
  const int data[16] = {0, 0, 512, 0, 0, -256, 0, 255 * 256, 256, 0, 0, 0, 0, 0, 0, 0};
  IplColorTwist* twist = iplCreateColorTwist(data, 8);
  Image image(2, 1, 4);
  const std::uint8_t pixels[2][4] = {{10, 20, 100, 77}, {200, 0, 150, 5}};
  for (int i = 0; i < 2; ++i)
    for (int c = 0; c < 4; ++c) image.at(i, 0, c) = pixels[i][c];
  iplApplyColorTwist(image, image, twist, 0);  // in place
  EXPECT_EQ((Bytes{image.at(0, 0, 0), image.at(0, 0, 1), image.at(0, 0, 2), image.at(0, 0, 3)}),
            (Bytes{200, 235, 10, 77}));
  EXPECT_EQ((Bytes{image.at(1, 0, 0), image.at(1, 0, 1), image.at(1, 0, 2), image.at(1, 0, 3)}),
            (Bytes{255, 255, 200, 5}));
  iplApplyColorTwist(image, image, twist, -600);
  EXPECT_EQ((Bytes{image.at(1, 0, 0), image.at(1, 0, 1), image.at(1, 0, 2), image.at(1, 0, 3)}),
            (Bytes{0, 0, 0, 5}));

  // With a channel of interest only that output channel is written.
  Image src(1, 1, 3);
  Image dst(1, 1, 3, 9);
  src.at(0, 0, 0) = 10;
  src.at(0, 0, 2) = 100;
  dst.SetRoi(1, 0, 0, 1, 1);
  iplApplyColorTwist(src, dst, twist, 0);
  EXPECT_EQ((Bytes{dst.at(0, 0, 0), dst.at(0, 0, 1), dst.at(0, 0, 2)}), (Bytes{200, 9, 9}));
  iplDeleteColorTwist(twist);
}

TEST_F(IplColour, TwistRejectsBadArguments) {
  const int data[16] = {1 << 8, 0, 0, 0, 0, 1 << 8, 0, 0, 0, 0, 1 << 8, 0};
  EXPECT_EQ(iplCreateColorTwist(data, 63), nullptr);
  EXPECT_EQ(iplCreateColorTwist(nullptr, 8), nullptr);
  IplColorTwist* twist = iplCreateColorTwist(data, 8);
  Image gray(2, 2, 1, 3);
  Image dst(2, 2, 3, 3);
  Image gray2(2, 2, 1, 3);
  const Bytes before = dst.bytes();
  iplSetErrStatus(IPL_StsOk);
  iplApplyColorTwist(gray, gray2, twist, 0);
  EXPECT_EQ(iplGetErrStatus(), IPL_StsBadArg);
  iplSetErrStatus(IPL_StsOk);
  iplApplyColorTwist(dst, dst, nullptr, 0);
  EXPECT_EQ(iplGetErrStatus(), IPL_StsNullPtr);
  twist->scalingValue = 70;
  iplSetErrStatus(IPL_StsOk);
  iplApplyColorTwist(dst, dst, twist, 0);
  EXPECT_EQ(iplGetErrStatus(), IPL_StsBadArg);
  EXPECT_EQ(dst.bytes(), before);
  EXPECT_EQ(gray2.bytes(), Image(2, 2, 1, 3).bytes());
  iplDeleteColorTwist(twist);
}

// --- histogram, stretch, equalization ---------------------------------------------------------

TEST_F(IplColour, HistogramCountsPixelsPerBin) {
  Image src(4, 3);
  const int values[12] = {0, 0, 4, 5, 5, 5, 99, 100, 200, 255, 255, 255};
  for (int i = 0; i < 12; ++i) src.at(i % 4, i / 4) = static_cast<std::uint8_t>(values[i]);
  Lut fine(Range(0, 257));
  Lut coarse({-10, 5, 100, 300});
  Lut partial({4, 6, 200});
  for (Lut* l : {&fine, &coarse, &partial}) {
    IplLUT* luts[] = {&l->lut};
    iplComputeHisto(src, luts);
  }
  EXPECT_EQ(iplGetErrStatus(), IPL_StsOk);
  std::vector<int> expectedFine(256, 0);
  for (int v : values) ++expectedFine[static_cast<std::size_t>(v)];
  EXPECT_EQ(fine.value, expectedFine);
  EXPECT_EQ(coarse.value, (std::vector<int>{3, 4, 5}));
  EXPECT_EQ(partial.value, (std::vector<int>{4, 2}));  // 4 5 5 5, then 99 100
  EXPECT_EQ(fine.key, Range(0, 257));
}

TEST_F(IplColour, HistogramOfOneChannelFillsOnlyItsTable) {
  Image src(2, 1, 3);
  src.at(0, 0, 1) = 7;
  src.at(1, 0, 1) = 9;
  src.SetRoi(2, 0, 0, 2, 1);
  Lut green(Range(0, 257));
  IplLUT* luts[] = {nullptr, &green.lut, nullptr};
  iplComputeHisto(src, luts);
  EXPECT_EQ(iplGetErrStatus(), IPL_StsOk);
  EXPECT_EQ(green.value[7], 1);
  EXPECT_EQ(green.value[9], 1);
  EXPECT_EQ(std::count(green.value.begin(), green.value.end(), 0), 254);
}

TEST_F(IplColour, StretchMapsEachBinToItsValue) {
  Image src(256, 1);
  for (int v = 0; v < 256; ++v) src.at(v, 0) = static_cast<std::uint8_t>(v);
  struct Case {
    const char* name;
    std::vector<int> keys;
    std::vector<int> values;
    int type;
    std::map<int, int> expected;  // v -> result
  };
  std::vector<int> inverted = Range(0, 256);
  std::reverse(inverted.begin(), inverted.end());
  const Case cases[] = {
      {"lookup",
       Range(0, 257),
       inverted,
       IPL_LUT_LOOKUP,
       {{0, 255}, {1, 254}, {200, 55}, {255, 0}}},
      {"interpolated",
       {0, 128, 256},
       {0, 255},
       IPL_LUT_INTER,
       {{0, 0}, {1, 2}, {64, 128}, {127, 253}, {128, 255}, {255, 255}}},
      // -100 * 10 / 30 = -33.3: floored to 67 before rounding would give 66 or 68.
      {"falling", {0, 30, 256}, {100, 0}, IPL_LUT_INTER, {{10, 67}, {15, 50}, {29, 3}, {30, 0}}},
      {"outside the keys",
       {50, 100},
       {300},
       IPL_LUT_LOOKUP,
       {{10, 10}, {50, 255}, {99, 255}, {100, 100}}},
  };
  for (const Case& c : cases) {
    Lut lut(c.keys, c.values, c.type);
    IplLUT* luts[] = {&lut.lut};
    Image dst(256, 1);
    iplContrastStretch(src, dst, luts);
    for (auto [v, out] : c.expected) EXPECT_EQ(dst.at(v, 0), out) << c.name << " v " << v;
    EXPECT_EQ(lut.key, c.keys) << c.name;
  }
}

TEST_F(IplColour, EqualizationFlattensATwoValueImage) {
  Image src(4, 2, 3);
  for (int i = 0; i < 8; ++i)
    for (int c = 0; c < 3; ++c) src.at(i % 4, i / 4, c) = i < 4 ? 10 : 200;
  Lut b(Range(0, 257)), g(Range(0, 257)), r(Range(0, 257));
  IplLUT* luts[] = {&b.lut, &g.lut, &r.lut};
  iplComputeHisto(src, luts);
  const std::vector<int> histogram = b.value;
  Image dst(4, 2, 3);
  iplHistoEqualize(src, dst, luts);
  // Each value goes to the middle of its half: 255 / 4 and 255 * 3 / 4.
  EXPECT_EQ(dst.at(0, 0, 0), 64);
  EXPECT_EQ(dst.at(0, 1, 2), 191);
  EXPECT_EQ(b.value, histogram);
}

TEST_F(IplColour, EqualizationIsMonotone) {
  std::mt19937 rng(7);
  Image src(64, 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      const int r = std::uniform_int_distribution<int>(0, 255)(rng);
      src.at(x, y) = static_cast<std::uint8_t>(r * r / 255);  // crowded towards black
    }
  Lut lut(Range(0, 257));
  IplLUT* luts[] = {&lut.lut};
  iplComputeHisto(src, luts);
  Image dst(64, 64);
  iplHistoEqualize(src, dst, luts);
  std::map<int, int> mapping;
  int darkHalf = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      const auto it = mapping.emplace(src.at(x, y), dst.at(x, y)).first;
      EXPECT_EQ(it->second, dst.at(x, y));
      darkHalf += dst.at(x, y) < 128;
    }
  for (auto it = mapping.begin(); std::next(it) != mapping.end(); ++it)
    EXPECT_LE(it->second, std::next(it)->second) << "values " << it->first;
  // About three quarters of the input lies below 128; after equalization about half does.
  EXPECT_NEAR(darkHalf, 64 * 64 / 2, 64 * 64 / 20);
}

TEST_F(IplColour, EqualizationOfAnEmptyHistogramIsTheIdentity) {
  Image src(3, 1);
  src.at(0, 0) = 3;
  src.at(1, 0) = 140;
  src.at(2, 0) = 250;
  Lut lut(Range(0, 257), std::vector<int>(256, 0));
  IplLUT* luts[] = {&lut.lut};
  Image dst(3, 1, 1, 1);
  iplHistoEqualize(src, dst, luts);
  EXPECT_EQ(dst.pixels(), src.pixels());
}

struct LutErrorCase {
  const char* name;
  IPLStatus expected;
  std::function<void(IplImage*, IplImage*)> call;
};

TEST_F(IplColour, BadTablesSetAStatusAndTouchNothing) {
  static Lut good(Range(0, 257));
  static Lut single({0});
  static Lut descending({0, 100, 50});
  static Lut badType({0, 256}, {5}, 7);
  static Lut negative({0, 128, 256}, {3, -1});
  static IplLUT noValues{3, descending.key.data(), nullptr, nullptr, IPL_LUT_LOOKUP};
  const auto with = [](IplLUT* l) {
    static IplLUT* luts[1];
    luts[0] = l;
    return luts;
  };
  const LutErrorCase cases[] = {
      {"null tables", IPL_StsNullPtr,
       [](IplImage* s, IplImage* d) { iplContrastStretch(s, d, nullptr); }},
      {"one key", IPL_StsBadArg,
       [&](IplImage* s, IplImage* d) { iplContrastStretch(s, d, with(&single.lut)); }},
      {"keys descending", IPL_StsBadArg,
       [&](IplImage* s, IplImage*) { iplComputeHisto(s, with(&descending.lut)); }},
      {"no values", IPL_StsBadArg,
       [&](IplImage* s, IplImage* d) { iplHistoEqualize(s, d, with(&noValues)); }},
      {"unknown interpolation", IPL_StsBadArg,
       [&](IplImage* s, IplImage* d) { iplContrastStretch(s, d, with(&badType.lut)); }},
      {"negative count", IPL_StsBadArg,
       [&](IplImage* s, IplImage* d) { iplHistoEqualize(s, d, with(&negative.lut)); }},
      {"null table", IPL_StsBadArg,
       [&](IplImage* s, IplImage*) { iplComputeHisto(s, with(nullptr)); }},
      {"null image", IPL_StsNullPtr,
       [&](IplImage*, IplImage* d) { iplHistoEqualize(nullptr, d, with(&good.lut)); }},
  };
  for (const LutErrorCase& c : cases) {
    Image src(3, 2, 1, 40);
    Image dst(3, 2, 1, 0x5A);
    const std::vector<int> goodValues = good.value;
    iplSetErrStatus(IPL_StsOk);
    c.call(src, dst);
    EXPECT_EQ(iplGetErrStatus(), c.expected) << c.name;
    EXPECT_EQ(dst.bytes(), Image(3, 2, 1, 0x5A).bytes()) << c.name;
    EXPECT_EQ(descending.value, (std::vector<int>{-1, -1})) << c.name;
    EXPECT_EQ(good.value, goodValues) << c.name;
  }
}

// --- bitwise and scaling ----------------------------------------------------------------------

TEST_F(IplColour, XorSUsesTheLowByteInEveryChannel) {
  Image src(1, 1, 3);
  src.at(0, 0, 0) = 0x0F;
  src.at(0, 0, 1) = 0xF0;
  src.at(0, 0, 2) = 0xAA;
  Image dst(1, 1, 3);
  iplXorS(src, dst, 0x1FF);
  EXPECT_EQ((Bytes{dst.at(0, 0, 0), dst.at(0, 0, 1), dst.at(0, 0, 2)}), (Bytes{0xF0, 0x0F, 0x55}));
  src.SetRoi(3, 0, 0, 1, 1);
  iplXorS(src, src, 0x0F);
  EXPECT_EQ((Bytes{src.at(0, 0, 0), src.at(0, 0, 1), src.at(0, 0, 2)}), (Bytes{0x0F, 0xF0, 0xA5}));
}

TEST_F(IplColour, XorOfTwoImagesHonoursTheChannelOfInterest) {
  Image a(2, 1, 3, 0x33);
  Image b(2, 1, 3, 0x0F);
  Image dst(2, 1, 3, 1);
  iplXor(a, b, dst);
  EXPECT_EQ(dst.pixels(), Image(2, 1, 3, 0x3C).pixels());
  Image one(2, 1, 3, 1);
  one.SetRoi(2, 0, 0, 2, 1);
  iplXor(a, b, one);
  one.ClearRoi();
  EXPECT_EQ((Bytes{one.at(1, 0, 0), one.at(1, 0, 1), one.at(1, 0, 2)}), (Bytes{1, 0x3C, 1}));
  // Region sizes are checked against both sources.
  Image small(1, 1, 3);
  iplXor(a, small, dst);
  EXPECT_EQ(iplGetErrStatus(), IPL_StsBadArg);
  EXPECT_EQ(dst.pixels(), Image(2, 1, 3, 0x3C).pixels());
}

TEST_F(IplColour, PointOperationsOnShiftedOverlappingRegionsReadTheOriginal) {
  // Source and destination regions in the same memory, one pixel apart.
  Image image(5, 1);
  const int original[5] = {1, 2, 4, 8, 16};
  for (int x = 0; x < 5; ++x) image.at(x, 0) = static_cast<std::uint8_t>(original[x]);
  Image view(5, 1);
  IplImage dstHeader = *view.get();
  dstHeader.imageData = image.get()->imageData;
  dstHeader.imageDataOrigin = image.get()->imageDataOrigin;
  IplROI dstRoi{0, 1, 0, 4, 1};
  dstHeader.roi = &dstRoi;
  image.SetRoi(0, 0, 0, 4, 1);
  iplXorS(image, &dstHeader, 0x40);
  image.ClearRoi();
  EXPECT_EQ((Bytes{image.at(0, 0), image.at(1, 0), image.at(2, 0), image.at(3, 0), image.at(4, 0)}),
            (Bytes{1, 0x41, 0x42, 0x44, 0x48}));

  Image other(4, 1, 1, 0x0F);
  image.SetRoi(0, 0, 0, 4, 1);
  iplXor(image, other, &dstHeader);
  image.ClearRoi();
  EXPECT_EQ((Bytes{image.at(0, 0), image.at(1, 0), image.at(2, 0), image.at(3, 0), image.at(4, 0)}),
            (Bytes{1, 0x0E, 0x4E, 0x4D, 0x4B}));
}

TEST_F(IplColour, OneChannelOfAColourImageIntoAGrayImage) {
  Image src(3, 1, 3);
  for (int x = 0; x < 3; ++x)
    for (int c = 0; c < 3; ++c) src.at(x, 0, c) = static_cast<std::uint8_t>(10 * x + c);
  src.SetRoi(3, 0, 0, 3, 1);
  Image gray(3, 1, 1, 7);
  // The gray image has a single channel: only a channel of interest it also has is usable.
  iplMultiplySScale(src, gray, 255);
  EXPECT_EQ(iplGetErrStatus(), IPL_StsBadArg);
  EXPECT_EQ(gray.bytes(), Image(3, 1, 1, 7).bytes());
  iplSetErrStatus(IPL_StsOk);
  src.SetRoi(1, 0, 0, 3, 1);
  iplXorS(src, gray, 0x80);
  EXPECT_EQ(iplGetErrStatus(), IPL_StsOk);
  EXPECT_EQ((Bytes{gray.at(0, 0), gray.at(1, 0), gray.at(2, 0)}), (Bytes{0x80, 0x8A, 0x94}));
}

TEST_F(IplColour, MultiplySScaleTruncatesAndClampsTheFactor) {
  Image src(4, 1);
  const int values[4] = {0, 100, 201, 255};
  for (int x = 0; x < 4; ++x) src.at(x, 0) = static_cast<std::uint8_t>(values[x]);
  struct Case {
    int factor;
    Bytes expected;
  };
  const Case cases[] = {
      {255, {0, 100, 201, 255}},
      {300, {0, 100, 201, 255}},
      {0, {0, 0, 0, 0}},
      {-5, {0, 0, 0, 0}},
      {128, {0, 50, 100, 128}}};  // 100 * 128 / 255 = 50.2, 201 * 128 / 255 = 100.9
  for (const Case& c : cases) {
    Image dst(4, 1, 1, 9);
    iplMultiplySScale(src, dst, c.factor);
    EXPECT_EQ((Bytes{dst.at(0, 0), dst.at(1, 0), dst.at(2, 0), dst.at(3, 0)}), c.expected)
        << "factor " << c.factor;
  }
}

}  // namespace
