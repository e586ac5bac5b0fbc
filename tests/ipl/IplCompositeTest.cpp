// Porter-Duff compositing: hand-computed values for every operation, the guarantees the editor
// builds on (opacity 0 leaves B, opaque A over black gives A, PLUS saturates), aliasing and
// errors.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ipl/ipl.h"

namespace {

struct ImageDeleter {
  void operator()(IplImage* image) const { iplDeallocate(image, IPL_IMAGE_ALL); }
};
using Image = std::unique_ptr<IplImage, ImageDeleter>;

// An image owning its pixels, every byte (row padding too) set to `fill`.
Image MakeImage(int w, int h, int channels = 3, int fill = 0) {
  Image image(iplCreateImageHeader(channels, 0, IPL_DEPTH_8U, "RGB", "BGR", IPL_DATA_ORDER_PIXEL,
                                   IPL_ORIGIN_BL, IPL_ALIGN_4BYTES, w, h));
  if (image) iplAllocateImage(image.get(), 1, fill);
  return image;
}

// A second header over the same pixels, so that one call can see two regions of one image.
Image Alias(const IplImage* image) {
  Image alias(iplCreateImageHeader(image->nChannels, 0, IPL_DEPTH_8U, "RGB", "BGR",
                                   IPL_DATA_ORDER_PIXEL, image->origin, image->align, image->width,
                                   image->height));
  alias->imageData = image->imageData;
  alias->imageDataOrigin = image->imageDataOrigin;
  return alias;
}

// Pixel (x, memory row y), channel c.
unsigned char& Px(const IplImage* image, int x, int y, int c = 0) {
  return image->imageData[static_cast<std::ptrdiff_t>(y) * image->widthStep +
                          static_cast<std::ptrdiff_t>(x) * image->nChannels + c];
}

void SetRoi(IplImage* image, int x, int y, int w, int h) {
  iplDeleteROI(image->roi);
  image->roi = iplCreateROI(0, x, y, w, h);
}

std::vector<unsigned char> Bytes(const IplImage* image) {
  return {image->imageData, image->imageData + image->imageSize};
}

void Fill(IplImage* image, const std::function<int(int x, int y, int c)>& value) {
  for (int y = 0; y < image->height; ++y)
    for (int x = 0; x < image->width; ++x)
      for (int c = 0; c < image->nChannels; ++c) Px(image, x, y, c) = value(x, y, c);
}

class CompositeFixture : public ::testing::Test {
 protected:
  void SetUp() override { iplSetErrStatus(IPL_StsOk); }
  void TearDown() override { iplSetErrStatus(IPL_StsOk); }
};

// --- values -------------------------------------------------------------------------------------

struct CompositeCase {
  const char* name;
  int type;
  int a, alphaA, b, alphaB;
  bool premul, divide;
  int colour, opacity;
};

// Worked out from the formulas in exact fractions (none falls on a rounding tie), e.g. OVER of
// 200 at 128 on 100 at 64: 200 * 128/255 + 100 * 64/255 * 127/255 = 112.89 -> 113, opacity
// 128/255 + 64/255 * 127/255 = 0.627 -> 160.
const CompositeCase kCompositeCases[] = {
    {"OverHalf", IPL_COMPOSITE_OVER, 200, 128, 100, 64, false, false, 113, 160},
    {"InHalf", IPL_COMPOSITE_IN, 200, 128, 100, 64, false, false, 25, 32},
    {"OutHalf", IPL_COMPOSITE_OUT, 200, 128, 100, 64, false, false, 75, 96},
    {"AtopHalf", IPL_COMPOSITE_ATOP, 200, 128, 100, 64, false, false, 38, 64},
    {"XorHalf", IPL_COMPOSITE_XOR, 200, 128, 100, 64, false, false, 88, 128},
    {"PlusHalf", IPL_COMPOSITE_PLUS, 200, 128, 100, 64, false, false, 125, 192},
    {"OverOpaqueB", IPL_COMPOSITE_OVER, 40, 200, 220, 255, false, false, 79, 255},
    {"InOpaqueB", IPL_COMPOSITE_IN, 40, 200, 220, 255, false, false, 31, 200},
    {"OutOpaqueB", IPL_COMPOSITE_OUT, 40, 200, 220, 255, false, false, 0, 0},
    {"AtopOpaqueB", IPL_COMPOSITE_ATOP, 40, 200, 220, 255, false, false, 79, 255},
    {"XorOpaqueB", IPL_COMPOSITE_XOR, 40, 200, 220, 255, false, false, 47, 55},
    {"PlusOpaqueB", IPL_COMPOSITE_PLUS, 40, 200, 220, 255, false, false, 251, 255},
    {"OverDense", IPL_COMPOSITE_OVER, 250, 180, 230, 150, false, false, 216, 224},
    {"InDense", IPL_COMPOSITE_IN, 250, 180, 230, 150, false, false, 104, 106},
    {"OutDense", IPL_COMPOSITE_OUT, 250, 180, 230, 150, false, false, 73, 74},
    {"AtopDense", IPL_COMPOSITE_ATOP, 250, 180, 230, 150, false, false, 144, 150},
    {"XorDense", IPL_COMPOSITE_XOR, 250, 180, 230, 150, false, false, 112, 118},
    {"PlusDenseSaturates", IPL_COMPOSITE_PLUS, 250, 180, 230, 150, false, false, 255, 255},
    // Premultiplied: A * a is A itself, B * b is B.
    {"OverPremul", IPL_COMPOSITE_OVER, 100, 128, 50, 64, true, false, 125, 160},
    {"AtopPremul", IPL_COMPOSITE_ATOP, 100, 128, 50, 64, true, false, 50, 64},
    {"XorPremul", IPL_COMPOSITE_XOR, 100, 128, 50, 64, true, false, 100, 128},
    {"PlusPremul", IPL_COMPOSITE_PLUS, 100, 128, 50, 64, true, false, 150, 192},
    // Divided by the result opacity: back to unpremultiplied colour.
    {"OverDivide", IPL_COMPOSITE_OVER, 200, 128, 100, 64, false, true, 180, 160},
    {"InDivide", IPL_COMPOSITE_IN, 200, 128, 100, 64, false, true, 200, 32},
    {"XorDivide", IPL_COMPOSITE_XOR, 200, 128, 100, 64, false, true, 175, 128},
    {"PlusDivide", IPL_COMPOSITE_PLUS, 200, 128, 100, 64, false, true, 167, 192},
    {"OutDivideNothingLeft", IPL_COMPOSITE_OUT, 40, 200, 220, 255, false, true, 0, 0},
    {"OverPremulDivide", IPL_COMPOSITE_OVER, 100, 128, 30, 64, true, true, 183, 160},
    {"PlusPremulDivide", IPL_COMPOSITE_PLUS, 100, 128, 30, 64, true, true, 173, 192},
};

class IplCompositeValueTest : public CompositeFixture,
                              public ::testing::WithParamInterface<CompositeCase> {};

TEST_P(IplCompositeValueTest, MatchesHandComputedValues) {
  const CompositeCase& k = GetParam();
  Image a = MakeImage(3, 2, 3, k.a);
  Image b = MakeImage(3, 2, 3, k.b);
  Image alphaA = MakeImage(3, 2, 1, k.alphaA);
  Image alphaB = MakeImage(3, 2, 1, k.alphaB);
  Image dst = MakeImage(3, 2, 3, 7);
  Image alphaDst = MakeImage(3, 2, 1, 7);
  iplAlphaComposite(a.get(), b.get(), dst.get(), k.type, alphaA.get(), alphaB.get(), alphaDst.get(),
                    k.premul, k.divide);
  ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      for (int c = 0; c < 3; ++c) ASSERT_EQ(Px(dst.get(), x, y, c), k.colour) << x << ", " << y;
      ASSERT_EQ(Px(alphaDst.get(), x, y), k.opacity) << x << ", " << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Operations, IplCompositeValueTest, ::testing::ValuesIn(kCompositeCases),
                         [](const auto& c) { return std::string(c.param.name); });

// --- what callers rely on -----------------------------------------------------------------------

class IplCompositeTest : public CompositeFixture {};

TEST_F(IplCompositeTest, TransparentALeavesOpaqueB) {
  for (const int type :
       {IPL_COMPOSITE_OVER, IPL_COMPOSITE_PLUS, IPL_COMPOSITE_ATOP, IPL_COMPOSITE_XOR}) {
    SCOPED_TRACE(type);
    Image a = MakeImage(256, 1, 3);
    Fill(a.get(), [](int x, int, int c) { return (x * 7 + c * 50) % 256; });
    Image b = MakeImage(256, 1, 3);
    Fill(b.get(), [](int x, int, int c) { return (x + c * 30) % 256; });
    Image clear = MakeImage(256, 1, 1, 0);
    Image dst = MakeImage(256, 1, 3, 9);
    iplAlphaComposite(a.get(), b.get(), dst.get(), type, clear.get(), nullptr, nullptr, false,
                      false);
    ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
    for (int x = 0; x < 256; ++x)
      for (int c = 0; c < 3; ++c) ASSERT_EQ(Px(dst.get(), x, 0, c), Px(b.get(), x, 0, c)) << x;
  }
}

TEST_F(IplCompositeTest, OpaqueAOverBlackGivesA) {
  for (const int type :
       {IPL_COMPOSITE_OVER, IPL_COMPOSITE_PLUS, IPL_COMPOSITE_ATOP, IPL_COMPOSITE_IN}) {
    for (const bool givenAlpha : {false, true}) {
      SCOPED_TRACE(std::to_string(type) + (givenAlpha ? " with opacity image" : " without"));
      Image a = MakeImage(256, 1, 3);
      Fill(a.get(), [](int x, int, int c) { return (x + c * 80) % 256; });
      Image black = MakeImage(256, 1, 3, 0);
      Image opaque = MakeImage(256, 1, 1, 255);
      Image dst = MakeImage(256, 1, 3, 9);
      iplAlphaComposite(a.get(), black.get(), dst.get(), type, givenAlpha ? opaque.get() : nullptr,
                        nullptr, nullptr, false, false);
      ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
      for (int x = 0; x < 256; ++x)
        for (int c = 0; c < 3; ++c) ASSERT_EQ(Px(dst.get(), x, 0, c), Px(a.get(), x, 0, c)) << x;
    }
  }
}

// PLUS adds and saturates per channel; its opacity stops at 255.
TEST_F(IplCompositeTest, PlusSaturates) {
  Image a = MakeImage(2, 1, 3);
  Fill(a.get(), [](int x, int, int c) { return x == 0 ? 200 : 10 + c; });
  Image b = MakeImage(2, 1, 3);
  Fill(b.get(), [](int x, int, int c) { return x == 0 ? 100 : 20 + c; });
  Image alphaA = MakeImage(2, 1, 1, 128);
  Image alphaDst = MakeImage(2, 1, 1, 0);
  Image dst = MakeImage(2, 1, 3);
  iplAlphaComposite(a.get(), b.get(), dst.get(), IPL_COMPOSITE_PLUS, nullptr, nullptr,
                    alphaDst.get(), false, false);
  ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(Px(dst.get(), 0, 0, c), 255);
    EXPECT_EQ(Px(dst.get(), 1, 0, c), 30 + 2 * c);
  }
  EXPECT_EQ(Px(alphaDst.get(), 0, 0), 255);
  iplAlphaComposite(a.get(), b.get(), dst.get(), IPL_COMPOSITE_PLUS, alphaA.get(), nullptr,
                    alphaDst.get(), false, false);
  EXPECT_EQ(Px(alphaDst.get(), 1, 0), 255);
}

// Opacity is byte 0 of each pixel of the opacity images, whatever their other channels hold;
// alphaDst gets the result opacity in all of its channels.
TEST_F(IplCompositeTest, OpacityIsTheFirstChannelAndAlphaDstGetsEveryChannel) {
  Image a = MakeImage(2, 2, 3, 200);
  Image b = MakeImage(2, 2, 3, 100);
  Image alphaA = MakeImage(2, 2, 3);
  Fill(alphaA.get(), [](int, int, int c) { return c == 0 ? 128 : 7; });
  Image alphaB = MakeImage(2, 2, 4);
  Fill(alphaB.get(), [](int, int, int c) { return c == 0 ? 64 : 250; });
  Image alphaDst = MakeImage(2, 2, 4, 1);
  Image dst = MakeImage(2, 2, 3);
  iplAlphaComposite(a.get(), b.get(), dst.get(), IPL_COMPOSITE_OVER, alphaA.get(), alphaB.get(),
                    alphaDst.get(), false, false);
  ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) {
      for (int c = 0; c < 3; ++c) EXPECT_EQ(Px(dst.get(), x, y, c), 113);
      for (int c = 0; c < 4; ++c) EXPECT_EQ(Px(alphaDst.get(), x, y, c), 160);
    }
}

// Per-pixel opacities and colours, composited in place into B (the editor's WorkImage) or into
// A, must give what a separate destination gets.
TEST_F(IplCompositeTest, DestinationMayBeASource) {
  const auto colourA = [](int x, int y, int c) { return (40 * x + 70 * y + 30 * c) % 256; };
  const auto colourB = [](int x, int y, int c) { return (200 - 20 * x + 35 * y + 11 * c) % 256; };
  const auto opacity = [](int x, int y, int) { return (90 * x + 50 * y) % 256; };
  for (const int type : {IPL_COMPOSITE_PLUS, IPL_COMPOSITE_OVER, IPL_COMPOSITE_XOR}) {
    SCOPED_TRACE(type);
    Image a = MakeImage(4, 3);
    Fill(a.get(), colourA);
    Image b = MakeImage(4, 3);
    Fill(b.get(), colourB);
    Image alphaA = MakeImage(4, 3, 1);
    Fill(alphaA.get(), opacity);
    Image expected = MakeImage(4, 3);
    iplAlphaComposite(a.get(), b.get(), expected.get(), type, alphaA.get(), nullptr, nullptr, false,
                      false);

    iplAlphaComposite(a.get(), b.get(), b.get(), type, alphaA.get(), nullptr, nullptr, false,
                      false);
    ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
    EXPECT_EQ(Bytes(b.get()), Bytes(expected.get())) << "into B";

    Fill(b.get(), colourB);
    iplAlphaComposite(a.get(), b.get(), a.get(), type, alphaA.get(), nullptr, nullptr, false,
                      false);
    ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
    EXPECT_EQ(Bytes(a.get()), Bytes(expected.get())) << "into A";
  }
}

// A destination region one pixel along from A's region in the same image: writing it must not
// feed already-composited pixels back in as A.
TEST_F(IplCompositeTest, OverlappingShiftedRegions) {
  Image image = MakeImage(5, 1);
  Fill(image.get(), [](int x, int, int c) { return 40 * x + c; });
  Image b = MakeImage(4, 1, 3, 10);
  Image alphaA = MakeImage(4, 1, 1, 128);
  Image dst = Alias(image.get());
  SetRoi(image.get(), 0, 0, 4, 1);
  SetRoi(dst.get(), 1, 0, 4, 1);
  iplAlphaComposite(image.get(), b.get(), dst.get(), IPL_COMPOSITE_PLUS, alphaA.get(), nullptr,
                    nullptr, false, false);
  ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(Px(dst.get(), 0, 0, c), c);
    for (int x = 1; x < 5; ++x) {
      // A at x - 1 times 128/255, plus B.
      const int a = 40 * (x - 1) + c;
      EXPECT_EQ(Px(dst.get(), x, 0, c), (a * 128 * 255 + 10 * 255 * 255 + 65025 / 2) / 65025) << x;
    }
  }
}

// Every image's region from its own first pixel; nothing outside dst's region changes.
TEST_F(IplCompositeTest, RegionsMeasureFromTheirFirstPixel) {
  Image a = MakeImage(4, 4, 3);
  Fill(a.get(), [](int x, int y, int) { return x == 2 && y == 1 ? 200 : 0; });
  SetRoi(a.get(), 2, 1, 1, 1);
  Image b = MakeImage(3, 3, 3);
  Fill(b.get(), [](int x, int y, int) { return x == 0 && y == 2 ? 100 : 0; });
  SetRoi(b.get(), 0, 2, 1, 1);
  Image alphaA = MakeImage(2, 2, 1);
  Px(alphaA.get(), 1, 1) = 128;
  SetRoi(alphaA.get(), 1, 1, 1, 1);
  Image dst = MakeImage(3, 2, 3, 9);
  SetRoi(dst.get(), 1, 0, 1, 1);
  iplAlphaComposite(a.get(), b.get(), dst.get(), IPL_COMPOSITE_OVER, alphaA.get(), nullptr, nullptr,
                    false, false);
  ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      for (int c = 0; c < 3; ++c) {
        // 200 * 128/255 + 100 * 127/255 = 150.2
        const int expected = x == 1 && y == 0 ? 150 : 9;
        EXPECT_EQ(Px(dst.get(), x, y, c), expected) << x << ", " << y;
      }
}

// --- errors -------------------------------------------------------------------------------------

struct CompositeImages {
  IplImage* a;
  IplImage* b;
  IplImage* dst;
  IplImage* alpha;
  IplImage* alphaDst;
  IplImage* gray;
  IplImage* small;
};

struct CompositeErrorCase {
  const char* name;
  IPLStatus status;
  std::function<void(const CompositeImages&)> call;
};

void Composite(IplImage* a, IplImage* b, IplImage* dst, int type, IplImage* alphaA = nullptr,
               IplImage* alphaDst = nullptr) {
  iplAlphaComposite(a, b, dst, type, alphaA, nullptr, alphaDst, false, false);
}

const CompositeErrorCase kCompositeErrorCases[] = {
    {"NullA", IPL_StsNullPtr,
     [](const CompositeImages& m) { Composite(nullptr, m.b, m.dst, IPL_COMPOSITE_OVER); }},
    {"NullB", IPL_StsNullPtr,
     [](const CompositeImages& m) { Composite(m.a, nullptr, m.dst, IPL_COMPOSITE_OVER); }},
    {"NullDestination", IPL_StsNullPtr,
     [](const CompositeImages& m) {
       Composite(m.a, m.b, nullptr, IPL_COMPOSITE_OVER, m.alpha, m.alphaDst);
     }},
    {"TypeBelowRange", IPL_StsBadArg,
     [](const CompositeImages& m) { Composite(m.a, m.b, m.dst, -1, m.alpha, m.alphaDst); }},
    {"TypeAboveRange", IPL_StsBadArg,
     [](const CompositeImages& m) { Composite(m.a, m.b, m.dst, 6, m.alpha, m.alphaDst); }},
    {"ChannelMismatch", IPL_StsBadArg,
     [](const CompositeImages& m) {
       Composite(m.a, m.gray, m.dst, IPL_COMPOSITE_OVER, m.alpha, m.alphaDst);
     }},
    {"SourceRegionSmaller", IPL_StsBadArg,
     [](const CompositeImages& m) {
       SetRoi(m.b, 0, 0, 2, 3);
       Composite(m.a, m.b, m.dst, IPL_COMPOSITE_PLUS, m.alpha, m.alphaDst);
     }},
    {"OpacityImageSmaller", IPL_StsBadArg,
     [](const CompositeImages& m) {
       Composite(m.a, m.b, m.dst, IPL_COMPOSITE_PLUS, m.small, m.alphaDst);
     }},
    {"AlphaDestinationSmaller", IPL_StsBadArg,
     [](const CompositeImages& m) {
       Composite(m.a, m.b, m.dst, IPL_COMPOSITE_PLUS, m.alpha, m.small);
     }},
    {"RegionOutsideImage", IPL_StsBadArg,
     [](const CompositeImages& m) {
       SetRoi(m.a, 2, 0, 2, 3);
       Composite(m.a, m.b, m.dst, IPL_COMPOSITE_PLUS, m.alpha, m.alphaDst);
     }},
    {"OpacityRegionOutsideImage", IPL_StsBadArg,
     [](const CompositeImages& m) {
       SetRoi(m.alpha, 0, 1, 3, 3);
       Composite(m.a, m.b, m.dst, IPL_COMPOSITE_PLUS, m.alpha, m.alphaDst);
     }},
};

class IplCompositeErrorTest : public CompositeFixture,
                              public ::testing::WithParamInterface<CompositeErrorCase> {};

TEST_P(IplCompositeErrorTest, SetsStatusAndTouchesNothing) {
  Image a = MakeImage(3, 3, 3, 200);
  Image b = MakeImage(3, 3, 3, 100);
  Image dst = MakeImage(3, 3, 3, 9);
  Image alpha = MakeImage(3, 3, 1, 128);
  Image alphaDst = MakeImage(3, 3, 1, 9);
  Image gray = MakeImage(3, 3, 1, 50);
  Image small = MakeImage(2, 2, 1, 128);
  const std::vector<unsigned char> dstBefore = Bytes(dst.get());
  const std::vector<unsigned char> alphaDstBefore = Bytes(alphaDst.get());
  GetParam().call(
      {a.get(), b.get(), dst.get(), alpha.get(), alphaDst.get(), gray.get(), small.get()});
  EXPECT_EQ(iplGetErrStatus(), GetParam().status);
  EXPECT_STRNE(iplGetErrMessage(), "");
  EXPECT_EQ(Bytes(dst.get()), dstBefore);
  EXPECT_EQ(Bytes(alphaDst.get()), alphaDstBefore);
}

INSTANTIATE_TEST_SUITE_P(Calls, IplCompositeErrorTest, ::testing::ValuesIn(kCompositeErrorCases),
                         [](const auto& c) { return std::string(c.param.name); });

TEST_F(IplCompositeTest, EmptyRegionIsANoOp) {
  Image a = MakeImage(3, 3, 3, 200);
  Image b = MakeImage(3, 3, 3, 100);
  Image dst = MakeImage(3, 3, 3, 9);
  SetRoi(a.get(), 1, 1, 2, 0);
  SetRoi(b.get(), 0, 0, 2, 0);
  SetRoi(dst.get(), 0, 2, 2, 0);
  const std::vector<unsigned char> before = Bytes(dst.get());
  Composite(a.get(), b.get(), dst.get(), IPL_COMPOSITE_PLUS);
  EXPECT_EQ(iplGetErrStatus(), IPL_StsOk);
  EXPECT_EQ(Bytes(dst.get()), before);
}

}  // namespace
