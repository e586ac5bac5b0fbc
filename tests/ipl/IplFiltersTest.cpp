// Convolution, fixed filters, rank filters, blur and morphology of the image-processing layer:
// hand-computed values on tiny images, the picture orientation of kernels, regions, channels of
// interest, border modes, errors, and oracles against short reference loops.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "ipl/ipl.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// An 8-bit image owning its pixels; pixels are addressed by column and memory row.
class Image {
 public:
  Image(int width, int height, int channels = 1, int origin = IPL_ORIGIN_BL, int fill = 0)
      : p_(iplCreateImageHeader(channels, 0, IPL_DEPTH_8U, "RGB", "BGR", IPL_DATA_ORDER_PIXEL,
                                origin, IPL_ALIGN_4BYTES, width, height)) {
    iplAllocateImage(p_, 1, fill);
  }
  Image(Image&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  ~Image() {
    if (p_) iplDeallocate(p_, IPL_IMAGE_ALL);
  }

  Image Clone() const { return Image(iplCloneImage(p_)); }
  IplImage* get() const { return p_; }
  operator IplImage*() const { return p_; }

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
  // One-channel rows in memory order, row 0 first.
  void SetRows(const std::vector<std::vector<int>>& rows) {
    for (std::size_t y = 0; y < rows.size(); ++y)
      for (std::size_t x = 0; x < rows[y].size(); ++x)
        at(static_cast<int>(x), static_cast<int>(y)) = static_cast<std::uint8_t>(rows[y][x]);
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
  explicit Image(IplImage* owned) : p_(owned) {}
  IplImage* p_;
};

// Runs iplConvolve2D with one kernel given row by row as the picture is seen.
void Convolve(IplImage* src, IplImage* dst, int cols, int rows, int ax, int ay,
              const std::vector<int>& values, int shift) {
  IplConvKernel* k = iplCreateConvKernel(cols, rows, ax, ay, values.data(), shift);
  ASSERT_NE(k, nullptr);
  iplConvolve2D(src, dst, &k, 1, IPL_SUM);
  iplDeleteConvKernel(k);
}

class IplFilters : public ::testing::Test {
 protected:
  void SetUp() override { iplSetErrStatus(IPL_StsOk); }
  void TearDown() override { iplSetErrStatus(IPL_StsOk); }
};

// --- convolution: arithmetic and orientation --------------------------------------------------

struct ShiftCase {
  std::vector<int> values;  // a 3 x 1 kernel, anchor at its middle
  int shift;
  int left, centre, right;
  int expected;
};

TEST_F(IplFilters, ConvolutionShiftsByFloorAndSaturates) {
  const ShiftCase cases[] = {
      {{1, 1, 1}, 1, 5, 5, 5, 7},          // 7.5: floor, not nearest
      {{1, 1, 1}, 4, 10, 11, 10, 1},       // 31 / 16 = 1.94
      {{0, 3, 0}, 0, 0, 100, 0, 255},      // saturates at the top
      {{-1, 1, -1}, 0, 100, 50, 100, 0},   // and at the bottom
      {{2, 3, 2}, 3, 255, 255, 255, 223},  // 1785 / 8 = 223.1
      {{1, -2, 1}, 1, 200, 20, 1, 80},     // 161 / 2
  };
  for (const ShiftCase& c : cases) {
    Image src(3, 1);
    Image dst(3, 1, 1, IPL_ORIGIN_BL, 9);
    src.SetRows({{c.left, c.centre, c.right}});
    Convolve(src, dst, 3, 1, 1, 0, c.values, c.shift);
    EXPECT_EQ(dst.at(1, 0), c.expected) << "shift " << c.shift << ", centre " << c.centre;
  }
}

TEST_F(IplFilters, SeveralKernelsCombineFlooredResults) {
  // Per pixel (a single one): kernel A gives floor(-3 / 2) = -2, kernel B gives 3 / 1 = 3.
  const int a[] = {-3};
  const int b[] = {3};
  struct Case {
    int method;
    int expected;
  };
  const Case cases[] = {
      {IPL_SUM, 1}, {IPL_SUMSQ, 13}, {IPL_SUMSQROOT, 4}, {IPL_MAX, 3}, {IPL_MIN, 0}};
  for (const Case& c : cases) {
    Image src(1, 1, 1, IPL_ORIGIN_BL, 1);
    Image dst(1, 1);
    IplConvKernel* kernels[] = {iplCreateConvKernel(1, 1, 0, 0, a, 1),
                                iplCreateConvKernel(1, 1, 0, 0, b, 0)};
    iplConvolve2D(src, dst, kernels, 2, c.method);
    EXPECT_EQ(dst.at(0, 0), c.expected) << "method " << c.method;
    for (IplConvKernel* k : kernels) iplDeleteConvKernel(k);
  }
  // Squares from 256 on saturate: 300^2 + (-1)^2.
  const int big[] = {300};
  const int neg[] = {-1};
  Image src(1, 1, 1, IPL_ORIGIN_BL, 1);
  Image dst(1, 1);
  IplConvKernel* kernels[] = {iplCreateConvKernel(1, 1, 0, 0, big, 0),
                              iplCreateConvKernel(1, 1, 0, 0, neg, 0)};
  iplConvolve2D(src, dst, kernels, 2, IPL_SUMSQROOT);
  EXPECT_EQ(dst.at(0, 0), 255);
  for (IplConvKernel* k : kernels) iplDeleteConvKernel(k);
}

TEST_F(IplFilters, KernelRowZeroIsTheUppermostRowOfThePicture) {
  // A single 1 in kernel row 0, column 1: each pixel takes the value of the pixel above it as
  // seen. On a bottom-up image that is memory row r + 1, so the picture moves down by one row.
  const std::vector<int> up = {0, 1, 0, 0, 0, 0, 0, 0, 0};
  for (const int origin : {IPL_ORIGIN_BL, IPL_ORIGIN_TL}) {
    Image src(4, 3, 1, origin);
    Image dst(4, 3, 1, origin, 99);
    src.SetRows({{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}});
    Convolve(src, dst, 3, 3, 1, 1, up, 0);
    const std::vector<std::vector<int>> expected =
        origin == IPL_ORIGIN_BL
            ? std::vector<std::vector<int>>{{5, 6, 7, 8}, {9, 10, 11, 12}, {0, 0, 0, 0}}
            : std::vector<std::vector<int>>{{0, 0, 0, 0}, {1, 2, 3, 4}, {5, 6, 7, 8}};
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x)
        EXPECT_EQ(dst.at(x, y), expected[y][x]) << "origin " << origin << " x " << x << " y " << y;
  }
}

TEST_F(IplFilters, AnchorAtTheTopLeftOfABoxBlurOnABottomUpImage) {
  // Anchor (0, 0) is the uppermost left pixel of the 2 x 2 neighbourhood as seen: the box holds
  // the pixel, its right neighbour and the two below them, which are memory row r - 1.
  Image src(3, 3);
  Image dst(3, 3);
  src.SetRows({{11, 20, 30}, {40, 50, 60}, {70, 80, 91}});
  iplBlur(src, dst, 2, 2, 0, 0);
  EXPECT_EQ(dst.at(0, 2), 60);  // (40 + 50 + 70 + 80) / 4
  EXPECT_EQ(dst.at(1, 1), 40);  // (20 + 30 + 50 + 60) / 4
  EXPECT_EQ(dst.at(2, 2), 38);  // (60 + 91) / 4 = 37.75, the right column beyond the image
  EXPECT_EQ(dst.at(0, 0), 8);   // (11 + 20) / 4 = 7.75 over the bottom edge: rounded
  // The same anchor in a convolution: the sum instead of the mean.
  Convolve(src, dst, 2, 2, 0, 0, {1, 1, 1, 1}, 0);
  EXPECT_EQ(dst.at(1, 1), 160);
  EXPECT_EQ(dst.at(0, 0), 31);
}

// --- border modes -----------------------------------------------------------------------------

struct BorderCase {
  const char* name;
  std::function<void(IplImage*)> setBorder;
  int corner00;  // 3 x 3 sum at (0, 0)
  int corner32;  // 3 x 3 sum at (3, 2)
};

TEST_F(IplFilters, BorderModesAreAppliedPerSide) {
  // 4 x 3 image, values v(x, y) = 10 y + x + 1 in memory rows; a 3 x 3 all-ones kernel.
  const std::vector<std::vector<int>> rows = {{1, 2, 3, 4}, {11, 12, 13, 14}, {21, 22, 23, 24}};
  const BorderCase cases[] = {
      {"constant 0", [](IplImage*) {}, 1 + 2 + 11 + 12, 13 + 14 + 23 + 24},
      // Columns -1 -> 3 and 4 -> 0, rows -1 -> 2 and 3 -> 0.
      {"wrap", [](IplImage* im) { iplSetBorderMode(im, IPL_BORDER_WRAP, IPL_SIDE_ALL, 0); },
       (4 + 1 + 2) + (14 + 11 + 12) + (24 + 21 + 22),
       (13 + 14 + 11) + (23 + 24 + 21) + (3 + 4 + 1)},
      // Memory row -1 lies beyond the bottom of a bottom-up picture: constant 10 there only,
      // corners included.
      {"constant 10 at the bottom",
       [](IplImage* im) { iplSetBorderMode(im, IPL_BORDER_CONSTANT, IPL_SIDE_BOTTOM, 10); },
       3 * 10 + 1 + 2 + 11 + 12, 13 + 14 + 23 + 24},
      {"replicate left and right, wrap top",
       [](IplImage* im) {
         iplSetBorderMode(im, IPL_BORDER_REPLICATE, IPL_SIDE_LEFT | IPL_SIDE_RIGHT, 0);
         iplSetBorderMode(im, IPL_BORDER_WRAP, IPL_SIDE_TOP, 0);
       },
       (1 + 1 + 2) + (11 + 11 + 12), (13 + 14 + 14) + (23 + 24 + 24) + (3 + 4 + 4)},
  };
  for (const BorderCase& c : cases) {
    Image src(4, 3);
    Image dst(4, 3);
    src.SetRows(rows);
    c.setBorder(src);
    Convolve(src, dst, 3, 3, 1, 1, std::vector<int>(9, 1), 0);
    EXPECT_EQ(dst.at(0, 0), std::min(255, c.corner00)) << c.name;
    EXPECT_EQ(dst.at(3, 2), std::min(255, c.corner32)) << c.name;
  }
}

TEST_F(IplFilters, WrapBorderReachesTheOppositeEdgeForEveryNeighbourhoodOperation) {
  // 4 x 1 image; horizontal neighbourhoods of three at x = 0 see columns 3, 0, 1.
  Image src(4, 1);
  Image dst(4, 1);
  src.SetRows({{200, 10, 30, 250}});
  iplSetBorderMode(src, IPL_BORDER_WRAP, IPL_SIDE_ALL, 0);
  iplMaxFilter(src, dst, 3, 1, 1, 0);
  EXPECT_EQ(dst.at(0, 0), 250);
  iplMinFilter(src, dst, 3, 1, 1, 0);
  EXPECT_EQ(dst.at(3, 0), 30);
  iplMedianFilter(src, dst, 3, 1, 1, 0);
  EXPECT_EQ(dst.at(0, 0), 200);
  iplBlur(src, dst, 3, 1, 1, 0);
  EXPECT_EQ(dst.at(3, 0), 160);  // (30 + 250 + 200) / 3
}

// --- rank filters, blur, morphology -------------------------------------------------------------

TEST_F(IplFilters, MedianRemovesAnIsolatedWhitePixel) {
  Image src(5, 5);
  Image dst(5, 5, 1, IPL_ORIGIN_BL, 7);
  src.at(2, 2) = 255;
  iplMedianFilter(src, dst, 3, 3, 1, 1);
  EXPECT_EQ(dst.pixels(), Image(5, 5).pixels());
}

TEST_F(IplFilters, EvenMedianTakesTheUpperMiddleValue) {
  Image src(4, 2, 1, IPL_ORIGIN_TL);
  Image dst(4, 2, 1, IPL_ORIGIN_TL);
  src.SetRows({{10, 40, 20, 30}, {0, 0, 0, 0}});
  iplMedianFilter(src, dst, 4, 1, 0, 0);
  EXPECT_EQ(dst.at(0, 0), 30);            // sorted 10 20 30 40: index 2
  EXPECT_EQ(dst.at(1, 0), 30);            // 0 20 30 40 (column 4 beyond the image)
  EXPECT_EQ(dst.at(2, 0), 20);            // 0 0 20 30
  iplMedianFilter(src, dst, 2, 2, 0, 0);  // TL: rows r and r + 1
  EXPECT_EQ(dst.at(1, 0), 20);            // 0 0 20 40
  EXPECT_EQ(dst.at(0, 1), 0);
}

TEST_F(IplFilters, MaxAndMinFiltersUseTheAnchor) {
  Image src(5, 1);
  Image dst(5, 1);
  src.SetRows({{10, 50, 20, 5, 30}});
  iplMaxFilter(src, dst, 2, 1, 1, 0);  // max of x - 1 and x
  EXPECT_EQ((Bytes{dst.at(0, 0), dst.at(1, 0), dst.at(2, 0), dst.at(3, 0), dst.at(4, 0)}),
            (Bytes{10, 50, 50, 20, 30}));
  iplMinFilter(src, dst, 2, 1, 0, 0);  // min of x and x + 1, zero beyond the right edge
  EXPECT_EQ((Bytes{dst.at(0, 0), dst.at(1, 0), dst.at(2, 0), dst.at(3, 0), dst.at(4, 0)}),
            (Bytes{10, 20, 5, 5, 0}));
}

struct MorphCase {
  const char* name;
  void (*op)(IplImage*, IplImage*, int);
  int iterations;
  std::vector<std::pair<int, int>> white;  // input pixels at 255 in a 9 x 9 image, else 0
  std::vector<std::pair<int, int>> expectedWhite;
};

std::vector<std::pair<int, int>> Square(int x0, int y0, int side) {
  std::vector<std::pair<int, int>> s;
  for (int y = y0; y < y0 + side; ++y)
    for (int x = x0; x < x0 + side; ++x) s.emplace_back(x, y);
  return s;
}

TEST_F(IplFilters, MorphologyOnSquaresAndDots) {
  std::vector<std::pair<int, int>> squareAndDot = Square(1, 1, 3);
  squareAndDot.emplace_back(7, 7);
  std::vector<std::pair<int, int>> holed = Square(2, 2, 5);
  holed.erase(std::find(holed.begin(), holed.end(), std::pair{4, 4}));
  const MorphCase cases[] = {
      {"erode", iplErode, 1, Square(3, 3, 3), {{4, 4}}},
      {"erode twice", iplErode, 2, Square(2, 2, 5), {{4, 4}}},
      {"dilate", iplDilate, 1, {{4, 4}}, Square(3, 3, 3)},
      {"dilate twice", iplDilate, 2, {{4, 4}}, Square(2, 2, 5)},
      {"open drops the dot", iplOpen, 1, squareAndDot, Square(1, 1, 3)},
      {"close fills the hole", iplClose, 1, holed, Square(2, 2, 5)},
  };
  for (const MorphCase& c : cases) {
    Image src(9, 9);
    Image dst(9, 9, 1, IPL_ORIGIN_BL, 1);
    Image expected(9, 9);
    for (auto [x, y] : c.white) src.at(x, y) = 255;
    for (auto [x, y] : c.expectedWhite) expected.at(x, y) = 255;
    c.op(src, dst, c.iterations);
    EXPECT_EQ(dst.pixels(), expected.pixels()) << c.name;
  }
}

TEST_F(IplFilters, ErosionTakesTheZeroBorderIn) {
  Image src(4, 4, 1, IPL_ORIGIN_BL, 200);
  Image dst(4, 4);
  iplErode(src, dst, 1);
  Image expected(4, 4);
  expected.at(1, 1) = expected.at(2, 1) = expected.at(1, 2) = expected.at(2, 2) = 200;
  EXPECT_EQ(dst.pixels(), expected.pixels());
}

// --- fixed filters and point operations ---------------------------------------------------------

TEST_F(IplFilters, FixedFiltersOnHandComputedPixels) {
  // A flat 40 with 53 at the centre of a 5 x 5 image (replicated border): the centre and the
  // pixel above it as seen (memory row 3), whose kernel meets the bright pixel in its bottom row.
  struct Case {
    IplFilter filter;
    int centre;
    int above;
  };
  const Case cases[] = {
      {IPL_GAUSSIAN_3x3, 43, 42},    // 40 + 13 * 4 / 16 = 43.25; 40 + 13 * 2 / 16 = 41.6 -> 42
      {IPL_SHARPEN_3x3, 66, 38},     // (16 * 53 - 8 * 40) / 8; (16 * 40 - 7 * 40 - 53) / 8 = 38.4
      {IPL_LAPLACIAN_3x3, 52, 0},    // 4 * 13; -13 saturates
      {IPL_HIPASS_3x3, 104, 0},      // 8 * 13; -13
      {IPL_HIPASS_5x5, 255, 0},      // 24 * 13 saturates
      {IPL_GAUSSIAN_5x5, 43, 41},    // 40 + 127 * 13 / 571 = 42.9; 40 + 52 * 13 / 571 = 41.2
      {IPL_LAPLACIAN_5x5, 255, 78},  // 20 * 13; 6 * 13
  };
  for (const Case& e : cases) {
    Image src(5, 5, 1, IPL_ORIGIN_BL, 40);
    src.at(2, 2) = 53;
    iplSetBorderMode(src, IPL_BORDER_REPLICATE, IPL_SIDE_ALL, 0);
    Image dst(5, 5);
    EXPECT_EQ(iplFixedFilter(src, dst, e.filter), 0);
    EXPECT_EQ(dst.at(2, 2), e.centre) << "filter " << e.filter;
    EXPECT_EQ(dst.at(2, 3), e.above) << "filter " << e.filter;
  }
}

TEST_F(IplFilters, DerivativeFiltersFollowThePictureOrientation) {
  // Bottom-up, brighter towards the top of the picture (higher memory rows): the horizontal-edge
  // kernels (positive top row) respond, the vertical-edge ones do not.
  Image src(3, 3);
  src.SetRows({{0, 0, 0}, {10, 10, 10}, {20, 20, 20}});
  iplSetBorderMode(src, IPL_BORDER_REPLICATE, IPL_SIDE_ALL, 0);
  struct Case {
    IplFilter filter;
    int expected;
  };
  const Case cases[] = {
      {IPL_PREWITT_3x3_H, 60}, {IPL_SOBEL_3x3_H, 80}, {IPL_PREWITT_3x3_V, 0}, {IPL_SOBEL_3x3_V, 0}};
  for (const Case& c : cases) {
    Image dst(3, 3, 1, IPL_ORIGIN_BL, 1);
    ASSERT_EQ(iplFixedFilter(src, dst, c.filter), 0);
    EXPECT_EQ(dst.at(1, 1), c.expected) << "filter " << c.filter;
  }
}

TEST_F(IplFilters, AddSSaturatesAtBothEnds) {
  Image src(3, 1, 3);
  Image dst(3, 1, 3);
  for (int c = 0; c < 3; ++c) {
    src.at(0, 0, c) = 5;
    src.at(1, 0, c) = 128;
    src.at(2, 0, c) = 250;
  }
  iplAddS(src, dst, 10);
  EXPECT_EQ((Bytes{dst.at(0, 0), dst.at(1, 0, 1), dst.at(2, 0, 2)}), (Bytes{15, 138, 255}));
  iplAddS(src, dst, -10);
  EXPECT_EQ((Bytes{dst.at(0, 0), dst.at(1, 0, 1), dst.at(2, 0, 2)}), (Bytes{0, 118, 240}));
}

// --- regions, channels of interest, in place ------------------------------------------------

struct NeighbourhoodOp {
  const char* name;
  std::function<void(IplImage*, IplImage*)> run;
};

void ConvolveOp(IplImage* s, IplImage* d) {
  Convolve(s, d, 3, 3, 2, 0, {1, 2, 0, -1, 3, 1, 0, 1, 2}, 2);
}

void TwoKernelOp(IplImage* s, IplImage* d) {
  const int a[] = {-1, 0, 1, -2, 0, 2};
  const int b[] = {1, 2, 1, 0, 0, 0, -1, -2, -1};
  IplConvKernel* k[] = {iplCreateConvKernel(3, 2, 1, 0, a, 0),
                        iplCreateConvKernel(3, 3, 1, 1, b, 1)};
  iplConvolve2D(s, d, k, 2, IPL_SUMSQROOT);
  for (IplConvKernel* kernel : k) iplDeleteConvKernel(kernel);
}

const NeighbourhoodOp kOps[] = {
    {"Convolve", ConvolveOp},
    {"ConvolveTwoKernels", TwoKernelOp},
    {"Blur3x2", [](IplImage* s, IplImage* d) { iplBlur(s, d, 3, 2, 0, 1); }},
    {"Median3x3", [](IplImage* s, IplImage* d) { iplMedianFilter(s, d, 3, 3, 1, 1); }},
    {"Median4x3", [](IplImage* s, IplImage* d) { iplMedianFilter(s, d, 4, 3, 1, 2); }},
    {"Max2x3", [](IplImage* s, IplImage* d) { iplMaxFilter(s, d, 2, 3, 1, 0); }},
    {"Min3x1", [](IplImage* s, IplImage* d) { iplMinFilter(s, d, 3, 1, 2, 0); }},
    {"Erode2", [](IplImage* s, IplImage* d) { iplErode(s, d, 2); }},
    {"Open1", [](IplImage* s, IplImage* d) { iplOpen(s, d, 1); }},
    {"Close1", [](IplImage* s, IplImage* d) { iplClose(s, d, 1); }},
    {"Sobel", [](IplImage* s, IplImage* d) { iplFixedFilter(s, d, IPL_SOBEL_3x3_V); }},
    {"Gauss5", [](IplImage* s, IplImage* d) { iplFixedFilter(s, d, IPL_GAUSSIAN_5x5); }},
};

struct RegionParam {
  NeighbourhoodOp op;
  int borderMode;
};

void PrintTo(const RegionParam& p, std::ostream* os) {
  *os << p.op.name << ", border mode " << p.borderMode;
}

class IplNeighbourhoodRegions : public ::testing::TestWithParam<RegionParam> {
 protected:
  void SetUp() override {
    iplSetErrStatus(IPL_StsOk);
    std::mt19937 rng(1234);
    src_.Randomize(rng);
    iplSetBorderMode(src_, GetParam().borderMode, IPL_SIDE_ALL, 0);
    GetParam().op.run(src_, whole_);
    ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
  }
  Image src_{13, 11, 3};
  Image whole_{13, 11, 3};
};

TEST_P(IplNeighbourhoodRegions, RegionResultIsThePartOfTheWholeImageResult) {
  Image dst(12, 9, 3, IPL_ORIGIN_BL, 77);
  const Bytes before = dst.bytes();
  src_.SetRoi(0, 3, 2, 7, 6);
  dst.SetRoi(0, 5, 1, 7, 6);
  GetParam().op.run(src_, dst);
  ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
  dst.ClearRoi();
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 12; ++x) {
      const bool inside = x >= 5 && x < 12 && y >= 1 && y < 7;
      for (int c = 0; c < 3; ++c) {
        const int expected =
            inside ? whole_.at(x - 2, y + 1, c)
                   : before[static_cast<std::size_t>(y * dst.get()->widthStep + x * 3 + c)];
        ASSERT_EQ(dst.at(x, y, c), expected) << "x " << x << " y " << y << " c " << c;
      }
    }
  }
}

TEST_P(IplNeighbourhoodRegions, OneChannelInPlaceInsideARegion) {
  Image image = src_.Clone();
  image.SetRoi(2, 3, 2, 7, 6);
  GetParam().op.run(image, image);
  ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
  image.ClearRoi();
  for (int y = 0; y < 11; ++y) {
    for (int x = 0; x < 13; ++x) {
      const bool inside = x >= 3 && x < 10 && y >= 2 && y < 8;
      for (int c = 0; c < 3; ++c) {
        const int expected = inside && c == 1 ? whole_.at(x, y, c) : src_.at(x, y, c);
        ASSERT_EQ(image.at(x, y, c), expected) << "x " << x << " y " << y << " c " << c;
      }
    }
  }
}

TEST_P(IplNeighbourhoodRegions, AllChannelsInPlaceAndOnAShiftedOverlap) {
  Image image = src_.Clone();
  GetParam().op.run(image, image);
  ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
  EXPECT_EQ(image.pixels(), whole_.pixels());

  // A second header over the same memory whose region starts one pixel right and two rows up:
  // every result must come from the original pixels, not from ones already written.
  Image shifted = src_.Clone();
  IplImage alias = *shifted.get();
  IplROI aliasRoi{0, 1, 2, 12, 9};
  alias.roi = &aliasRoi;
  shifted.SetRoi(0, 0, 0, 12, 9);
  GetParam().op.run(shifted, &alias);
  ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
  shifted.ClearRoi();
  for (int y = 0; y < 11; ++y)
    for (int x = 0; x < 13; ++x)
      for (int c = 0; c < 3; ++c) {
        const bool written = x >= 1 && y >= 2;
        ASSERT_EQ(shifted.at(x, y, c), written ? whole_.at(x - 1, y - 2, c) : src_.at(x, y, c))
            << "x " << x << " y " << y << " c " << c;
      }
}

std::vector<RegionParam> RegionParams() {
  std::vector<RegionParam> params;
  for (const NeighbourhoodOp& op : kOps)
    for (const int mode : {IPL_BORDER_CONSTANT, IPL_BORDER_WRAP, IPL_BORDER_REFLECT})
      params.push_back({op, mode});
  return params;
}

std::string RegionParamName(const ::testing::TestParamInfo<RegionParam>& info) {
  const char* modes[] = {"Zero", "Replicate", "Reflect", "Wrap"};
  return std::string(info.param.op.name) + modes[info.param.borderMode];
}

INSTANTIATE_TEST_SUITE_P(AllOps, IplNeighbourhoodRegions, ::testing::ValuesIn(RegionParams()),
                         RegionParamName);

TEST_F(IplFilters, EmptyRegionIsANoOp) {
  Image src(4, 4, 1, IPL_ORIGIN_BL, 50);
  Image dst(4, 4, 1, IPL_ORIGIN_BL, 9);
  src.SetRoi(0, 1, 1, 0, 2);
  dst.SetRoi(0, 2, 0, 0, 2);
  iplBlur(src, dst, 3, 3, 1, 1);
  iplMedianFilter(src, dst, 3, 3, 1, 1);
  Convolve(src, dst, 1, 1, 0, 0, {2}, 0);
  EXPECT_EQ(iplGetErrStatus(), IPL_StsOk);
  EXPECT_EQ(dst.bytes(), Image(4, 4, 1, IPL_ORIGIN_BL, 9).bytes());
}

// --- errors -----------------------------------------------------------------------------------

struct ErrorImages {
  Image src{5, 5, 3};
  Image dst{5, 5, 3, IPL_ORIGIN_BL, 0x5A};
  Image narrow{4, 5, 3};
  Image gray{5, 5, 1};
};

struct ErrorCase {
  const char* name;
  IPLStatus expected;
  std::function<void(ErrorImages&)> call;
};

const int kValues[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};

void ConvolveRaw(ErrorImages& im, IplConvKernel k) {
  IplConvKernel* p = &k;
  iplConvolve2D(im.src, im.dst, &p, 1, IPL_SUM);
}

const ErrorCase kErrors[] = {
    {"null source", IPL_StsNullPtr, [](ErrorImages& im) { iplBlur(nullptr, im.dst, 3, 3, 1, 1); }},
    {"null destination", IPL_StsNullPtr,
     [](ErrorImages& im) { iplMedianFilter(im.src, nullptr, 3, 3, 1, 1); }},
    {"region sizes differ", IPL_StsBadArg,
     [](ErrorImages& im) { iplMaxFilter(im.narrow, im.dst, 3, 3, 1, 1); }},
    {"channel counts differ", IPL_StsBadArg, [](ErrorImages& im) { iplErode(im.gray, im.dst, 1); }},
    {"region outside the image", IPL_StsBadArg,
     [](ErrorImages& im) {
       im.dst.SetRoi(0, 3, 3, 3, 2);
       iplFixedFilter(im.src, im.dst, IPL_SOBEL_3x3_H);
     }},
    {"blur of no columns", IPL_StsBadArg,
     [](ErrorImages& im) { iplBlur(im.src, im.dst, 0, 3, 0, 1); }},
    {"median anchor below", IPL_StsBadArg,
     [](ErrorImages& im) { iplMedianFilter(im.src, im.dst, 3, 3, 1, 3); }},
    {"min filter anchor left", IPL_StsBadArg,
     [](ErrorImages& im) { iplMinFilter(im.src, im.dst, 3, 3, -1, 1); }},
    {"no iterations", IPL_StsBadArg, [](ErrorImages& im) { iplOpen(im.src, im.dst, 0); }},
    {"unknown fixed filter", IPL_StsBadArg,
     [](ErrorImages& im) {
       EXPECT_EQ(iplFixedFilter(im.src, im.dst, static_cast<IplFilter>(11)), -1);
     }},
    {"kernel of no rows", IPL_StsBadArg,
     [](ErrorImages& im) {
       ConvolveRaw(im, {3, 0, 1, 0, const_cast<int*>(kValues), 0});
     }},
    {"kernel anchor outside", IPL_StsBadArg,
     [](ErrorImages& im) {
       ConvolveRaw(im, {3, 3, 3, 1, const_cast<int*>(kValues), 0});
     }},
    {"kernel shift 31", IPL_StsBadArg,
     [](ErrorImages& im) {
       ConvolveRaw(im, {3, 3, 1, 1, const_cast<int*>(kValues), 31});
     }},
    {"kernel without values", IPL_StsBadArg,
     [](ErrorImages& im) {
       ConvolveRaw(im, {3, 3, 1, 1, nullptr, 0});
     }},
    {"null kernel array", IPL_StsNullPtr,
     [](ErrorImages& im) { iplConvolve2D(im.src, im.dst, nullptr, 1, IPL_SUM); }},
    {"null second kernel", IPL_StsNullPtr,
     [](ErrorImages& im) {
       IplConvKernel k{3, 3, 1, 1, const_cast<int*>(kValues), 0};
       IplConvKernel* ks[] = {&k, nullptr};
       iplConvolve2D(im.src, im.dst, ks, 2, IPL_MAX);
     }},
    {"unknown combination", IPL_StsBadArg,
     [](ErrorImages& im) {
       IplConvKernel k{3, 3, 1, 1, const_cast<int*>(kValues), 0};
       IplConvKernel* ks[] = {&k, &k};
       iplConvolve2D(im.src, im.dst, ks, 2, 5);
     }},
    {"no kernels", IPL_StsBadArg,
     [](ErrorImages& im) {
       IplConvKernel k{3, 3, 1, 1, const_cast<int*>(kValues), 0};
       IplConvKernel* ks[] = {&k};
       iplConvolve2D(im.src, im.dst, ks, 0, IPL_SUM);
     }},
};

TEST_F(IplFilters, BadArgumentsSetAStatusAndTouchNoPixel) {
  for (const ErrorCase& e : kErrors) {
    ErrorImages im;
    const Bytes before = im.dst.bytes();
    iplSetErrStatus(IPL_StsOk);
    e.call(im);
    EXPECT_EQ(iplGetErrStatus(), e.expected) << e.name;
    EXPECT_EQ(im.dst.bytes(), before) << e.name;
  }
}

TEST_F(IplFilters, CreateConvKernelCopiesAndValidates) {
  int values[] = {1, 2, 3, 4, 5, 6};
  IplConvKernel* k = iplCreateConvKernel(3, 2, 2, 1, values, 4);
  ASSERT_NE(k, nullptr);
  values[0] = 99;
  EXPECT_EQ((std::vector<int>(k->values, k->values + 6)), (std::vector<int>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ((std::vector<int>{k->nCols, k->nRows, k->anchorX, k->anchorY, k->nShiftR}),
            (std::vector<int>{3, 2, 2, 1, 4}));
  iplDeleteConvKernel(k);

  EXPECT_EQ(iplCreateConvKernel(3, 2, 1, 2, values, 0), nullptr);
  EXPECT_EQ(iplCreateConvKernel(3, 2, 1, 1, values, -1), nullptr);
  EXPECT_EQ(iplCreateConvKernel(3, 2, 1, 1, nullptr, 0), nullptr);
  EXPECT_EQ(iplGetErrStatus(), IPL_StsBadArg);
}

// --- oracles --------------------------------------------------------------------------------

// Correlation with the kernel rows as seen (row 0 uppermost), constant 0 beyond the image, the
// sum floored by the shift and saturated.
std::uint8_t ReferenceConvolution(Image& src, int x, int y, int c, int cols, int rows, int ax,
                                  int ay, const std::vector<int>& k, int shift) {
  const bool bottomUp = src.get()->origin == IPL_ORIGIN_BL;
  long long sum = 0;
  for (int kj = 0; kj < rows; ++kj) {
    const int yy = bottomUp ? y + ay - kj : y + kj - ay;  // up as seen is +1 in memory when BL
    for (int ki = 0; ki < cols; ++ki) {
      const int xx = x + ki - ax;
      if (xx < 0 || yy < 0 || xx >= src.get()->width || yy >= src.get()->height) continue;
      sum +=
          static_cast<long long>(k[static_cast<std::size_t>(kj * cols + ki)]) * src.at(xx, yy, c);
    }
  }
  long long q = sum / (1LL << shift);
  if (q * (1LL << shift) > sum) --q;
  return static_cast<std::uint8_t>(std::clamp<long long>(q, 0, 255));
}

TEST_F(IplFilters, ConvolutionMatchesAReferenceOnRandomImages) {
  std::mt19937 rng(20240607);
  const auto uniform = [&](int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
  };
  for (int trial = 0; trial < 150; ++trial) {
    const int w = uniform(1, 40);
    const int h = uniform(1, 30);
    const int channels = uniform(1, 4);
    const int origin = uniform(0, 1) ? IPL_ORIGIN_BL : IPL_ORIGIN_TL;
    const int shape = uniform(0, 9);
    const int cols = shape < 4 ? 3 : shape < 8 ? 7 : shape == 8 ? 13 : uniform(1, 7);
    const int rows = shape < 4 ? 3 : shape < 8 ? 7 : shape == 8 ? 13 : uniform(1, 7);
    const int ax = uniform(0, cols - 1);
    const int ay = uniform(0, rows - 1);
    // Mostly small values (float arithmetic inside OpenCV), sometimes large (64-bit sums).
    const bool large = uniform(0, 4) == 0;
    const int magnitude = large ? 1 << 22 : 16;
    const int shift = large ? uniform(10, 30) : uniform(0, 8);
    std::vector<int> k(static_cast<std::size_t>(cols * rows));
    for (int& v : k) v = uniform(-magnitude, magnitude);
    const int coi = uniform(0, 3) == 0 ? uniform(1, channels) : 0;

    Image src(w, h, channels, origin);
    src.Randomize(rng);
    Image dst(w, h, channels, origin);
    dst.Randomize(rng);
    const Bytes before = dst.bytes();
    // A third of the calls on the whole image, where OpenCV sees no submatrix.
    const bool whole = uniform(0, 2) == 0;
    const int rw = whole ? w : uniform(1, w);
    const int rh = whole ? h : uniform(1, h);
    const int rx = uniform(0, w - rw);
    const int ry = uniform(0, h - rh);
    src.SetRoi(coi, rx, ry, rw, rh);
    dst.SetRoi(0, rx, ry, rw, rh);
    Convolve(src, dst, cols, rows, ax, ay, k, shift);
    ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
    dst.ClearRoi();

    int mismatches = 0;
    for (int y = ry; y < ry + rh; ++y) {
      for (int x = rx; x < rx + rw; ++x) {
        for (int c = 0; c < channels; ++c) {
          const bool selected = coi == 0 || c == coi - 1;
          const int expected =
              selected
                  ? ReferenceConvolution(src, x, y, c, cols, rows, ax, ay, k, shift)
                  : before[static_cast<std::size_t>(y * dst.get()->widthStep + x * channels + c)];
          mismatches += dst.at(x, y, c) != expected;
        }
      }
    }
    ASSERT_EQ(mismatches, 0) << "trial " << trial << ": " << w << "x" << h << "x" << channels
                             << " kernel " << cols << "x" << rows << " anchor " << ax << "," << ay
                             << " shift " << shift << (large ? " large" : "") << " coi " << coi;
  }
}

// The median with constant 0 beyond the image, the window anchored as seen.
std::uint8_t ReferenceMedian(Image& src, int x, int y, int c, int cols, int rows, int ax, int ay) {
  const bool bottomUp = src.get()->origin == IPL_ORIGIN_BL;
  std::vector<int> window;
  for (int kj = 0; kj < rows; ++kj) {
    const int yy = bottomUp ? y + ay - kj : y + kj - ay;
    for (int ki = 0; ki < cols; ++ki) {
      const int xx = x + ki - ax;
      const bool inside = xx >= 0 && yy >= 0 && xx < src.get()->width && yy < src.get()->height;
      window.push_back(inside ? src.at(xx, yy, c) : 0);
    }
  }
  std::sort(window.begin(), window.end());
  return static_cast<std::uint8_t>(window[window.size() / 2]);
}

struct MedianCase {
  int w, h, channels, origin;
  int cols, rows, ax, ay;
  int rx, ry, rw, rh;    // region, 0 width for the whole image
  bool overlap = false;  // the destination: a header over the source's memory, region 1 right, 3 up
};

void PrintTo(const MedianCase& m, std::ostream* os) {
  *os << m.w << "x" << m.h << "x" << m.channels << " window " << m.cols << "x" << m.rows
      << " anchor " << m.ax << "," << m.ay << " region " << m.rx << "," << m.ry << " " << m.rw
      << "x" << m.rh << (m.overlap ? " overlapping" : "");
}

class IplMedianOracle : public ::testing::TestWithParam<MedianCase> {};

TEST_P(IplMedianOracle, MatchesTheReference) {
  iplSetErrStatus(IPL_StsOk);
  const MedianCase m = GetParam();
  std::mt19937 rng(static_cast<unsigned>(m.w * 131 + m.cols));
  Image src(m.w, m.h, m.channels, m.origin);
  src.Randomize(rng);
  Image original = src.Clone();
  Image separate(m.w, m.h, m.channels, m.origin, 3);
  IplImage alias = *src.get();
  const bool whole = m.rw == 0;
  const int rx = whole ? 0 : m.rx, ry = whole ? 0 : m.ry;
  const int rw = whole ? m.w : m.rw, rh = whole ? m.h : m.rh;
  const int dx = m.overlap ? 1 : 0, dy = m.overlap ? 3 : 0;
  IplROI aliasRoi{0, rx + dx, ry + dy, rw, rh};
  alias.roi = &aliasRoi;
  src.SetRoi(0, rx, ry, rw, rh);
  separate.SetRoi(0, rx, ry, rw, rh);
  iplMedianFilter(src, m.overlap ? &alias : separate.get(), m.cols, m.rows, m.ax, m.ay);
  ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
  src.ClearRoi();
  separate.ClearRoi();
  Image& dst = m.overlap ? src : separate;
  int mismatches = 0;
  for (int y = 0; y < m.h; ++y)
    for (int x = 0; x < m.w; ++x)
      for (int c = 0; c < m.channels; ++c) {
        const int sx = x - dx, sy = y - dy;
        const bool inside = sx >= rx && sx < rx + rw && sy >= ry && sy < ry + rh;
        const int untouched = m.overlap ? original.at(x, y, c) : 3;
        const int expected =
            inside ? ReferenceMedian(original, sx, sy, c, m.cols, m.rows, m.ax, m.ay) : untouched;
        mismatches += dst.at(x, y, c) != expected;
      }
  EXPECT_EQ(mismatches, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, IplMedianOracle,
    ::testing::Values(MedianCase{100, 80, 3, IPL_ORIGIN_BL, 5, 5, 2, 2, 0, 0, 0, 0},
                      MedianCase{100, 80, 3, IPL_ORIGIN_BL, 5, 5, 2, 2, 13, 7, 70, 66},
                      MedianCase{90, 70, 1, IPL_ORIGIN_TL, 7, 7, 3, 3, 0, 0, 0, 0},
                      MedianCase{70, 70, 4, IPL_ORIGIN_BL, 3, 3, 1, 1, 2, 3, 66, 64},
                      MedianCase{30, 20, 3, IPL_ORIGIN_BL, 3, 3, 0, 2, 4, 2, 20, 15},
                      MedianCase{30, 20, 2, IPL_ORIGIN_BL, 7, 7, 3, 3, 0, 0, 0, 0},
                      MedianCase{25, 17, 4, IPL_ORIGIN_BL, 4, 2, 1, 0, 3, 3, 12, 9},
                      MedianCase{25, 17, 1, IPL_ORIGIN_TL, 1, 6, 0, 5, 0, 0, 0, 0},
                      MedianCase{80, 80, 3, IPL_ORIGIN_BL, 5, 5, 2, 2, 2, 1, 70, 70, true},
                      MedianCase{30, 20, 1, IPL_ORIGIN_BL, 4, 3, 2, 1, 0, 0, 25, 15, true}));

}  // namespace
