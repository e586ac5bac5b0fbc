// Headers, pixels, regions, border padding and error reporting.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "ipl/ipl.h"
#include "ipl/ipl_internal.h"

namespace {

struct ImageDeleter {
  void operator()(IplImage* image) const { iplDeallocate(image, IPL_IMAGE_ALL); }
};
using Image = std::unique_ptr<IplImage, ImageDeleter>;

Image MakeImage(int w, int h, int channels = 3, int origin = IPL_ORIGIN_BL) {
  Image image(iplCreateImageHeader(channels, 0, IPL_DEPTH_8U, "RGB", "BGR", IPL_DATA_ORDER_PIXEL,
                                   origin, IPL_ALIGN_4BYTES, w, h));
  iplAllocateImage(image.get(), 1, 0);
  return image;
}

std::uint8_t& At(IplImage* im, int x, int y, int c) {
  return im->imageData[y * im->widthStep + x * im->nChannels + c];
}

class IplMemory : public ::testing::Test {
 protected:
  void SetUp() override { iplSetErrStatus(IPL_StsOk); }
  void TearDown() override { iplSetErrStatus(IPL_StsOk); }
};

TEST_F(IplMemory, HeaderGeometryPadsRowsToTheAlignment) {
  struct Case {
    int width, channels, align, step;
  };
  for (const Case& c : {Case{1, 3, 4, 4}, Case{2, 3, 4, 8}, Case{4, 3, 4, 12}, Case{5, 3, 4, 16},
                        Case{6, 3, 4, 20}, Case{5, 1, 8, 8}, Case{3, 3, 8, 16}}) {
    Image im(iplCreateImageHeader(c.channels, 0, IPL_DEPTH_8U, "RGB", "BGR", IPL_DATA_ORDER_PIXEL,
                                  IPL_ORIGIN_BL, c.align, c.width, 3));
    ASSERT_TRUE(im) << c.width;
    EXPECT_EQ(im->widthStep, c.step) << "width " << c.width << " align " << c.align;
    EXPECT_EQ(im->imageSize, c.step * 3);
    EXPECT_EQ(im->imageData, nullptr);
    EXPECT_STREQ(im->channelSeq, "BGR");
  }
}

TEST_F(IplMemory, RefusesHeadersItCannotDescribe) {
  EXPECT_EQ(iplCreateImageHeader(3, 0, 16, "RGB", "BGR", 0, 1, 4, 4, 4), nullptr);
  EXPECT_EQ(iplCreateImageHeader(3, 0, IPL_DEPTH_8U, "RGB", "BGR", IPL_DATA_ORDER_PLANE, 1, 4, 4,
                                 4),
            nullptr);
  EXPECT_EQ(iplCreateImageHeader(3, 0, IPL_DEPTH_8U, "RGB", "BGR", 0, 1, 4, 0, 4), nullptr);
  EXPECT_EQ(iplCreateImageHeader(3, 0, IPL_DEPTH_8U, "RGB", "BGR", 0, 1, 3, 4, 4), nullptr);
  // 2^31 bytes do not fit the header's size field.
  EXPECT_EQ(iplCreateImageHeader(3, 0, IPL_DEPTH_8U, "RGB", "BGR", 0, 1, 4, 65536, 16384),
            nullptr);
  EXPECT_LT(iplGetErrStatus(), 0);
}

TEST_F(IplMemory, ForeignPixelsAreNeverFreed) {
  std::vector<std::uint8_t> pixels(8 * 2, 7);
  IplImage* im = iplCreateImageHeader(3, 0, IPL_DEPTH_8U, "RGB", "BGR", 0, IPL_ORIGIN_BL, 4, 2, 2);
  im->imageData = im->imageDataOrigin = pixels.data();
  iplDeallocateImage(im);  // a no-op for memory the header does not own
  EXPECT_EQ(im->imageData, nullptr);
  iplDeallocate(im, IPL_IMAGE_ALL);  // must not free `pixels` (the sanitizer would report it)
  EXPECT_EQ(pixels[0], 7);
}

TEST_F(IplMemory, CloneCopiesPixelsAndRegion) {
  Image im = MakeImage(3, 2);
  At(im.get(), 2, 1, 2) = 99;
  IplROI roi{2, 1, 0, 2, 2};
  im->roi = &roi;
  Image clone(iplCloneImage(im.get()));
  im->roi = nullptr;
  ASSERT_TRUE(clone);
  EXPECT_NE(clone->imageData, im->imageData);
  EXPECT_EQ(At(clone.get(), 2, 1, 2), 99);
  ASSERT_NE(clone->roi, nullptr);
  EXPECT_NE(clone->roi, &roi);
  EXPECT_EQ(clone->roi->coi, 2);
}

TEST_F(IplMemory, CopyAndSetHonourRegionAndChannel) {
  Image src = MakeImage(4, 3);
  Image dst = MakeImage(4, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x)
      for (int c = 0; c < 3; ++c) At(src.get(), x, y, c) = static_cast<std::uint8_t>(10 * x + y + c);
  IplROI srcRoi{0, 1, 1, 2, 2};
  IplROI dstRoi{0, 0, 0, 2, 2};
  src->roi = &srcRoi;
  dst->roi = &dstRoi;
  iplCopy(src.get(), dst.get());
  EXPECT_EQ(iplGetErrStatus(), IPL_StsOk);
  EXPECT_EQ(At(dst.get(), 0, 0, 0), 11);  // source (1, 1)
  EXPECT_EQ(At(dst.get(), 1, 1, 2), 24);  // source (2, 2), channel 2
  EXPECT_EQ(At(dst.get(), 2, 0, 0), 0);   // outside the destination region

  // Only the second channel of the region is filled.
  dstRoi = IplROI{2, 0, 0, 2, 1};
  iplSet(dst.get(), 200);
  EXPECT_EQ(At(dst.get(), 1, 0, 1), 200);
  EXPECT_EQ(At(dst.get(), 1, 0, 0), 11 + 10);
  EXPECT_EQ(At(dst.get(), 0, 1, 1), 13);
  src->roi = dst->roi = nullptr;
}

TEST_F(IplMemory, PixelsAreAddressedByMemoryRow) {
  Image im = MakeImage(2, 3);
  const std::uint8_t bgr[3] = {1, 2, 3};
  iplPutPixel(im.get(), 1, 0, bgr);  // y 0: the first memory row, the bottom of the picture
  EXPECT_EQ(im->imageData[3], 1);
  EXPECT_EQ(im->imageData[5], 3);
  std::uint8_t out[3] = {};
  iplGetPixel(im.get(), 1, 0, out);
  EXPECT_EQ(out[1], 2);
}

TEST_F(IplMemory, BadArgumentsSetAStatusAndTouchNothing) {
  Image a = MakeImage(4, 4);
  Image b = MakeImage(3, 4);
  At(b.get(), 0, 0, 0) = 5;
  iplCopy(a.get(), b.get());  // mismatched sizes
  EXPECT_EQ(iplGetErrStatus(), IPL_StsBadArg);
  EXPECT_EQ(At(b.get(), 0, 0, 0), 5);
  iplSetErrStatus(IPL_StsOk);

  IplROI outside{0, 2, 2, 3, 2};  // reaches column 5 of a 4-wide image
  a->roi = &outside;
  iplSet(a.get(), 9);
  a->roi = nullptr;
  EXPECT_EQ(iplGetErrStatus(), IPL_StsBadArg);
  EXPECT_EQ(At(a.get(), 3, 3, 0), 0);
  iplSetErrStatus(IPL_StsOk);

  iplCopy(nullptr, a.get());
  EXPECT_EQ(iplGetErrStatus(), IPL_StsNullPtr);
  iplSetErrStatus(IPL_StsOk);

  std::uint8_t px[3];
  iplGetPixel(a.get(), 4, 0, px);
  EXPECT_EQ(iplGetErrStatus(), IPL_StsBadArg);
  // The status stays until reset; a successful call does not clear it.
  iplSet(a.get(), 1);
  EXPECT_EQ(iplGetErrStatus(), IPL_StsBadArg);
  EXPECT_NE(std::string(iplGetErrMessage()), "");
}

TEST_F(IplMemory, ErrorModeIsKept) {
  const int previous = iplSetErrMode(IPL_ErrModeSilent);
  EXPECT_EQ(iplGetErrMode(), IPL_ErrModeSilent);
  EXPECT_EQ(iplSetErrMode(previous), IPL_ErrModeSilent);
}

// A 3 x 2 bottom-up image, padded by one pixel on every side. Values 1..6 as the picture is seen:
//   top row    4 5 6      (memory row 1)
//   bottom row 1 2 3      (memory row 0)
class Padding : public IplMemory {
 protected:
  void SetUp() override {
    IplMemory::SetUp();
    image_ = MakeImage(3, 2, 1);
    for (int x = 0; x < 3; ++x) {
      At(image_.get(), x, 0, 0) = static_cast<std::uint8_t>(1 + x);
      At(image_.get(), x, 1, 0) = static_cast<std::uint8_t>(4 + x);
    }
  }
  // The padded rows, memory order (first = below the picture).
  std::vector<std::vector<int>> Pad() {
    const cv::Mat m = ipl_internal::PadRegion(image_.get(), {0, 0, 3, 2}, {1, 1, 1, 1}, -1);
    std::vector<std::vector<int>> rows;
    for (int j = 0; j < m.rows; ++j) {
      rows.emplace_back();
      for (int i = 0; i < m.cols; ++i) rows.back().push_back(m.at<std::uint8_t>(j, i));
    }
    return rows;
  }
  Image image_;
};

TEST_F(Padding, ConstantWrapReplicateReflect) {
  using Rows = std::vector<std::vector<int>>;
  iplSetBorderMode(image_.get(), IPL_BORDER_CONSTANT, IPL_SIDE_ALL, 9);
  EXPECT_EQ(Pad(), (Rows{{9, 9, 9, 9, 9}, {9, 1, 2, 3, 9}, {9, 4, 5, 6, 9}, {9, 9, 9, 9, 9}}));
  iplSetBorderMode(image_.get(), IPL_BORDER_WRAP, IPL_SIDE_ALL, 0);
  EXPECT_EQ(Pad(), (Rows{{6, 4, 5, 6, 4}, {3, 1, 2, 3, 1}, {6, 4, 5, 6, 4}, {3, 1, 2, 3, 1}}));
  iplSetBorderMode(image_.get(), IPL_BORDER_REPLICATE, IPL_SIDE_ALL, 0);
  EXPECT_EQ(Pad(), (Rows{{1, 1, 2, 3, 3}, {1, 1, 2, 3, 3}, {4, 4, 5, 6, 6}, {4, 4, 5, 6, 6}}));
  iplSetBorderMode(image_.get(), IPL_BORDER_REFLECT, IPL_SIDE_ALL, 0);
  EXPECT_EQ(Pad(), (Rows{{5, 4, 5, 6, 5}, {2, 1, 2, 3, 2}, {5, 4, 5, 6, 5}, {2, 1, 2, 3, 2}}));
}

TEST_F(Padding, SidesFollowThePictureOrientation) {
  // On a bottom-up image the rows below memory row 0 lie beyond the picture's bottom.
  iplSetBorderMode(image_.get(), IPL_BORDER_CONSTANT, IPL_SIDE_ALL, 0);
  iplSetBorderMode(image_.get(), IPL_BORDER_CONSTANT, IPL_SIDE_BOTTOM, 7);
  iplSetBorderMode(image_.get(), IPL_BORDER_REPLICATE, IPL_SIDE_LEFT, 0);
  const auto rows = Pad();
  EXPECT_EQ(rows.front(), (std::vector<int>{7, 7, 7, 7, 7}));
  EXPECT_EQ(rows.back(), (std::vector<int>{0, 0, 0, 0, 0}));
  EXPECT_EQ(rows[1], (std::vector<int>{1, 1, 2, 3, 0}));
}

TEST_F(Padding, RegionInsideTakesRealNeighbours) {
  Image im = MakeImage(4, 4, 3);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) At(im.get(), x, y, 1) = static_cast<std::uint8_t>(10 * y + x);
  // One channel of the 2 x 2 centre, grown by one: the whole image, no border needed.
  const cv::Mat m = ipl_internal::PadRegion(im.get(), {1, 1, 2, 2}, {1, 1, 1, 1}, 1);
  ASSERT_EQ(m.channels(), 1);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(m.at<std::uint8_t>(y, x), 10 * y + x);
}

}  // namespace
