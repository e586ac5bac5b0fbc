// Resize, rotation, mirroring and the quadrilateral warps on tiny images. Memory row 0 is the
// bottom of a bottom-up picture; the cases that depend on it say so.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "ipl/ipl.h"

namespace {

struct ImageDeleter {
  void operator()(IplImage* image) const { iplDeallocate(image, IPL_IMAGE_ALL); }
};
using Image = std::unique_ptr<IplImage, ImageDeleter>;

// An image owning its pixels, every byte (row padding too) set to `fill`.
Image MakeImage(int w, int h, int channels = 1, int fill = 0, int origin = IPL_ORIGIN_BL) {
  Image image(iplCreateImageHeader(channels, 0, IPL_DEPTH_8U, "RGB", "BGR", IPL_DATA_ORDER_PIXEL,
                                   origin, IPL_ALIGN_4BYTES, w, h));
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

// Values distinct per pixel (for images up to 16 x 15), never 0.
int Pattern(int x, int y, int c) {
  return (1 + x + 16 * y + 85 * c) % 256;
}

void FillPattern(IplImage* image) {
  for (int y = 0; y < image->height; ++y)
    for (int x = 0; x < image->width; ++x)
      for (int c = 0; c < image->nChannels; ++c) Px(image, x, y, c) = Pattern(x, y, c);
}

// A gentle ramp: interpolations of it stay within a level of each other.
void FillRamp(IplImage* image, int dx, int dy, int base) {
  for (int y = 0; y < image->height; ++y)
    for (int x = 0; x < image->width; ++x)
      for (int c = 0; c < image->nChannels; ++c) Px(image, x, y, c) = base + dx * x + dy * y + c;
}

// Every pixel, row padding aside, against expected(x, memory row, channel).
void ExpectPixels(const IplImage* actual, const std::function<int(int, int, int)>& expected) {
  for (int y = 0; y < actual->height; ++y)
    for (int x = 0; x < actual->width; ++x)
      for (int c = 0; c < actual->nChannels; ++c)
        ASSERT_EQ(Px(actual, x, y, c), expected(x, y, c))
            << "at x " << x << ", row " << y << ", channel " << c;
}

class GeometryFixture : public ::testing::Test {
 protected:
  void SetUp() override { iplSetErrStatus(IPL_StsOk); }
  void TearDown() override { iplSetErrStatus(IPL_StsOk); }
};

const char* const kInterpolationNames[] = {"Nearest", "Linear", "Cubic", "Super"};

std::string InterpolationName(const ::testing::TestParamInfo<int>& info) {
  return kInterpolationNames[info.param];
}

// --- resize -------------------------------------------------------------------------------------

class IplResizeTest : public GeometryFixture {};

TEST_F(IplResizeTest, NearestDoublesEveryPixel) {
  Image src = MakeImage(3, 2, 3);
  Image dst = MakeImage(6, 4, 3);
  FillPattern(src.get());
  iplResize(src.get(), dst.get(), 2, 1, 2, 1, IPL_INTER_NN);
  ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
  ExpectPixels(dst.get(), [&](int x, int y, int c) { return Px(src.get(), x / 2, y / 2, c); });
}

TEST_F(IplResizeTest, SuperSamplingAveragesBlocks) {
  Image src = MakeImage(4, 2);
  const int values[2][4] = {{10, 20, 0, 255}, {30, 40, 0, 253}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) Px(src.get(), x, y) = values[y][x];
  Image dst = MakeImage(2, 1, 1, 9);
  iplResize(src.get(), dst.get(), 1, 2, 1, 2, IPL_INTER_SUPER);
  ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
  EXPECT_EQ(Px(dst.get(), 0, 0), 25);
  EXPECT_EQ(Px(dst.get(), 1, 0), 127);
}

// A step 0 | 100 doubled: each code has its own signature (cubic overshoots).
TEST_F(IplResizeTest, UpscaleOfAStepPerInterpolation) {
  struct Case {
    int interpolate;
    int expected[4];
    int tolerance;
  };
  const Case cases[] = {
      {IPL_INTER_NN, {0, 0, 100, 100}, 0},
      {IPL_INTER_LINEAR, {0, 25, 75, 100}, 0},
      {IPL_INTER_CUBIC, {0, 23, 77, 110}, 1},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(kInterpolationNames[k.interpolate]);
    Image src = MakeImage(2, 1);
    Px(src.get(), 1, 0) = 100;
    Image dst = MakeImage(4, 1, 1, 9);
    iplResize(src.get(), dst.get(), 2, 1, 1, 1, k.interpolate);
    ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
    for (int x = 0; x < 4; ++x) EXPECT_NEAR(Px(dst.get(), x, 0), k.expected[x], k.tolerance);
  }
}

// The scaled size truncates; the result starts at the destination region's first pixel and what
// does not fit is cut off; pixels beyond it keep their values.
TEST_F(IplResizeTest, DestinationRegion) {
  Image src = MakeImage(5, 3);
  FillPattern(src.get());
  {
    SCOPED_TRACE("5 x 3 halved to 2 x 1 inside a 3 x 3 region");
    Image dst = MakeImage(4, 4, 1, 9);
    SetRoi(dst.get(), 1, 1, 3, 3);
    iplResize(src.get(), dst.get(), 1, 2, 1, 2, IPL_INTER_NN);
    ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
    ExpectPixels(dst.get(), [&](int x, int y, int) {
      if (y == 1 && x == 1) return int{Px(src.get(), 0, 0)};
      if (y == 1 && x == 2) return int{Px(src.get(), 2, 0)};
      return 9;
    });
  }
  {
    SCOPED_TRACE("2 x 2 doubled to 4 x 4, cut to a 3 x 2 region");
    Image small = MakeImage(2, 2);
    FillPattern(small.get());
    Image dst = MakeImage(5, 5, 1, 9);
    SetRoi(dst.get(), 1, 2, 3, 2);
    iplResize(small.get(), dst.get(), 2, 1, 2, 1, IPL_INTER_NN);
    ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
    ExpectPixels(dst.get(), [&](int x, int y, int) {
      if (x >= 1 && x < 4 && y >= 2 && y < 4) return int{Px(small.get(), (x - 1) / 2, (y - 2) / 2)};
      return 9;
    });
  }
  {
    SCOPED_TRACE("a tenth of 5 x 3 is still one pixel");
    Image dst = MakeImage(2, 2, 1, 9);
    iplResize(src.get(), dst.get(), 1, 10, 1, 10, IPL_INTER_NN);
    ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
    ExpectPixels(dst.get(), [&](int x, int y, int) {
      return x == 0 && y == 0 ? int{Px(src.get(), 0, 0)} : 9;
    });
  }
}

TEST_F(IplResizeTest, OverlappingRegionsOfOneImage) {
  Image image = MakeImage(4, 1);
  for (int x = 0; x < 4; ++x) Px(image.get(), x, 0) = x + 1;
  Image dst = Alias(image.get());
  SetRoi(image.get(), 0, 0, 2, 1);
  SetRoi(dst.get(), 1, 0, 3, 1);
  iplResize(image.get(), dst.get(), 3, 2, 1, 1, IPL_INTER_NN);
  ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
  const int expected[] = {1, 1, 1, 2};
  for (int x = 0; x < 4; ++x) EXPECT_EQ(Px(image.get(), x, 0), expected[x]) << x;
}

// --- rotation -----------------------------------------------------------------------------------

class IplRotateTest : public GeometryFixture, public ::testing::WithParamInterface<int> {};

TEST_P(IplRotateTest, ZeroAngleReproducesTheImage) {
  Image src = MakeImage(5, 4, 3);
  FillPattern(src.get());
  Image dst = MakeImage(5, 4, 3, 200);
  iplRotate(src.get(), dst.get(), 0.0, 0.0, 0.0, GetParam());
  ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
  ExpectPixels(dst.get(), [&](int x, int y, int c) { return Px(src.get(), x, y, c); });
}

// On a bottom-up image a positive angle turns anticlockwise as seen: about the centre of a 4 x 4
// picture, the bottom-right pixel (memory row 0, column 3) goes to the top-right (row 3, column 3).
TEST_P(IplRotateTest, QuarterTurnOnBottomUpIsAnticlockwise) {
  Image src = MakeImage(4, 4, 1, 0, IPL_ORIGIN_BL);
  FillPattern(src.get());
  Image dst = MakeImage(4, 4, 1, 0, IPL_ORIGIN_BL);
  double xShift = 0;
  double yShift = 0;
  iplGetRotateShift(2.0, 2.0, 90.0, &xShift, &yShift);
  iplRotate(src.get(), dst.get(), 90.0, xShift, yShift, GetParam());
  ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
  EXPECT_EQ(Px(dst.get(), 3, 3), Px(src.get(), 3, 0)) << "bottom-right should become top-right";
  EXPECT_EQ(Px(dst.get(), 0, 3), Px(src.get(), 3, 3)) << "top-right should become top-left";
  ExpectPixels(dst.get(), [&](int x, int y, int) { return Px(src.get(), y, 3 - x); });
}

// A constant source turned by 45 degrees about its centre covers all but the four corner pixels;
// the covered ones come out exact (edge samples replicate, nothing dark is pulled in) and the
// corners keep their values.
TEST_P(IplRotateTest, UncoveredPixelsKeepTheirValues) {
  Image src = MakeImage(4, 4, 3, 200);
  Image dst = MakeImage(4, 4, 3, 9);
  double xShift = 0;
  double yShift = 0;
  iplGetRotateShift(2.0, 2.0, 45.0, &xShift, &yShift);
  iplRotate(src.get(), dst.get(), 45.0, xShift, yShift, GetParam());
  ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
  ExpectPixels(dst.get(), [](int x, int y, int) {
    const bool corner = (x == 0 || x == 3) && (y == 0 || y == 3);
    return corner ? 9 : 200;
  });

  Image small = MakeImage(2, 2, 3);
  FillPattern(small.get());
  Image big = MakeImage(6, 6, 3, 9);
  iplRotate(small.get(), big.get(), 0.0, 2.0, 3.0, GetParam());
  ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
  ExpectPixels(big.get(), [&](int x, int y, int c) {
    const bool inside = x >= 2 && x < 4 && y >= 3 && y < 5;
    return inside ? int{Px(small.get(), x - 2, y - 3, c)} : 9;
  });
}

INSTANTIATE_TEST_SUITE_P(AllInterpolations, IplRotateTest,
                         ::testing::Values(IPL_INTER_NN, IPL_INTER_LINEAR, IPL_INTER_CUBIC,
                                           IPL_INTER_SUPER),
                         InterpolationName);

class IplRotateMapTest : public GeometryFixture {};

// Nearest-neighbour rotations against the definition: destination pixel q takes the source
// pixel under R(-angle) (q - shift) when that lies in the source, else keeps its value. Pixels
// whose point lies on a pixel or source edge are left out (either answer is right there).
TEST_F(IplRotateMapTest, NearestMatchesTheDefinition) {
  struct Case {
    double angle;
    double xShift;
    double yShift;
  };
  const Case cases[] = {{30.0, 4.0, -1.0},
                        {-135.0, 8.0, 7.0},
                        {200.0, 6.0, 9.0},
                        {90.0, 5.0, 0.0},
                        {-400.0, 1.5, 3.25}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.angle);
    Image src = MakeImage(7, 5);
    FillPattern(src.get());
    Image dst = MakeImage(9, 9);
    iplRotate(src.get(), dst.get(), k.angle, k.xShift, k.yShift, IPL_INTER_NN);
    ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
    const double radians = k.angle * std::numbers::pi / 180.0;
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    int checked = 0;
    for (int j = 0; j < 9; ++j) {
      for (int i = 0; i < 9; ++i) {
        const double dx = i + 0.5 - k.xShift;
        const double dy = j + 0.5 - k.yShift;
        const double px = c * dx + s * dy;
        const double py = -s * dx + c * dy;
        const double frac = std::min(
            {px - std::floor(px), std::ceil(px) - px, py - std::floor(py), std::ceil(py) - py});
        if (frac < 1e-2) continue;
        ++checked;
        const bool inside = px > 0 && px < 7 && py > 0 && py < 5;
        const int expected = inside ? Px(src.get(), static_cast<int>(px), static_cast<int>(py)) : 0;
        EXPECT_EQ(Px(dst.get(), i, j), expected) << "at " << i << ", " << j;
      }
    }
    EXPECT_GT(checked, 40);
  }
}

// Centres landing exactly on the source's edges: the first edge is inside, the far one is not,
// whichever way round the turn brings them.
TEST_F(IplRotateMapTest, SourceRectangleIsHalfOpen) {
  struct Case {
    double angle, xShift, yShift;
    int x0, y0;  // the covered 3 x 2 (or, turned, 2 x 3) block's first pixel
    bool turned;
  };
  // 0 degrees shifted by half a pixel: centre i + 0.5 comes from source x = i. 180 degrees
  // shifted by (4.5, 3.5): centre i + 0.5 comes from 4 - i, so columns 2..4 (source x 2..0);
  // column 1 would come from x = 3 = w. 90 degrees shifted by (2.5, 0.5): from (j, 2 - i).
  const Case cases[] = {
      {0.0, 0.5, 0.5, 0, 0, false}, {180.0, 4.5, 3.5, 2, 2, false}, {90.0, 2.5, 0.5, 1, 0, true}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.angle);
    Image src = MakeImage(3, 2, 3, 200);
    Image dst = MakeImage(5, 4, 3, 9);
    iplRotate(src.get(), dst.get(), k.angle, k.xShift, k.yShift, IPL_INTER_LINEAR);
    ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
    const int w = k.turned ? 2 : 3;
    const int h = k.turned ? 3 : 2;
    ExpectPixels(dst.get(), [&](int x, int y, int) {
      return x >= k.x0 && x < k.x0 + w && y >= k.y0 && y < k.y0 + h ? 200 : 9;
    });
  }
}

TEST_F(IplRotateMapTest, HalfTurnInPlace) {
  Image image = MakeImage(3, 3, 3);
  FillPattern(image.get());
  double xShift = 0;
  double yShift = 0;
  iplGetRotateShift(1.5, 1.5, 180.0, &xShift, &yShift);
  iplRotate(image.get(), image.get(), 180.0, xShift, yShift, IPL_INTER_LINEAR);
  ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
  ExpectPixels(image.get(), [](int x, int y, int c) { return Pattern(2 - x, 2 - y, c); });
}

TEST_F(IplRotateMapTest, GetRotateShiftTurnsAboutTheCentre) {
  struct Case {
    double xc, yc, angle, xShift, yShift;
  };
  const Case cases[] = {
      {0.0, 0.0, 37.0, 0.0, 0.0},  {2.0, 2.0, 90.0, 4.0, 0.0},   {1.0, 0.0, 180.0, 2.0, 0.0},
      {3.0, 1.0, -90.0, 2.0, 4.0}, {5.0, -2.0, 360.0, 0.0, 0.0},
  };
  for (const Case& k : cases) {
    double xs = -1;
    double ys = -1;
    iplGetRotateShift(k.xc, k.yc, k.angle, &xs, &ys);
    EXPECT_NEAR(xs, k.xShift, 1e-12) << k.angle;
    EXPECT_NEAR(ys, k.yShift, 1e-12) << k.angle;
  }
  // R c + shift = c for any angle.
  const double angle = 30.0 * std::numbers::pi / 180.0;
  double xs = 0;
  double ys = 0;
  iplGetRotateShift(5.0, -2.0, 30.0, &xs, &ys);
  EXPECT_NEAR(std::cos(angle) * 5.0 - std::sin(angle) * -2.0 + xs, 5.0, 1e-12);
  EXPECT_NEAR(std::sin(angle) * 5.0 + std::cos(angle) * -2.0 + ys, -2.0, 1e-12);
}

// --- mirror -------------------------------------------------------------------------------------

struct MirrorCase {
  const char* name;
  int flipAxis;
  int (*sourceX)(int x, int w);
  int (*sourceY)(int y, int h);
};

int Same(int v, int) {
  return v;
}
int Reversed(int v, int n) {
  return n - 1 - v;
}

// Code 0 swaps memory rows (first and last), 1 columns, -1 both.
const MirrorCase kMirrorCases[] = {
    {"Rows", 0, Same, Reversed},
    {"Columns", 1, Reversed, Same},
    {"Both", -1, Reversed, Reversed},
};

class IplMirrorTest : public GeometryFixture, public ::testing::WithParamInterface<MirrorCase> {};

TEST_P(IplMirrorTest, ReversesTheAxis) {
  const MirrorCase& k = GetParam();
  Image src = MakeImage(3, 2, 3);
  FillPattern(src.get());
  Image dst = MakeImage(3, 2, 3);
  iplMirror(src.get(), dst.get(), k.flipAxis);
  ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
  ExpectPixels(dst.get(), [&](int x, int y, int c) {
    return Px(src.get(), k.sourceX(x, 3), k.sourceY(y, 2), c);
  });
}

// In place, on the region only.
TEST_P(IplMirrorTest, InPlaceOnARegion) {
  const MirrorCase& k = GetParam();
  Image image = MakeImage(5, 4, 3);
  FillPattern(image.get());
  SetRoi(image.get(), 1, 1, 3, 2);
  iplMirror(image.get(), image.get(), k.flipAxis);
  ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
  ExpectPixels(image.get(), [&](int x, int y, int c) {
    if (x < 1 || x >= 4 || y < 1 || y >= 3) return Pattern(x, y, c);
    return Pattern(1 + k.sourceX(x - 1, 3), 1 + k.sourceY(y - 1, 2), c);
  });
}

// Source and destination regions of one image, one pixel apart each way.
TEST_P(IplMirrorTest, ShiftedOverlapOfOneImage) {
  const MirrorCase& k = GetParam();
  Image image = MakeImage(4, 3, 3);
  FillPattern(image.get());
  Image dst = Alias(image.get());
  SetRoi(image.get(), 0, 0, 3, 2);
  SetRoi(dst.get(), 1, 1, 3, 2);
  iplMirror(image.get(), dst.get(), k.flipAxis);
  ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
  ExpectPixels(image.get(), [&](int x, int y, int c) {
    if (x < 1 || y < 1) return Pattern(x, y, c);
    return Pattern(k.sourceX(x - 1, 3), k.sourceY(y - 1, 2), c);
  });
}

INSTANTIATE_TEST_SUITE_P(Axes, IplMirrorTest, ::testing::ValuesIn(kMirrorCases),
                         [](const auto& c) { return std::string(c.param.name); });

// --- warps --------------------------------------------------------------------------------------

using WarpFunction = void (*)(IplImage*, IplImage*, const double[4][2], int, int);

struct Point {
  double x;
  double y;
};

// Where a point (u, v) of the unit square goes, corner (0,0) to quad[0], (1,0) to quad[1],
// (1,1) to quad[2], (0,1) to quad[3].
using SquareMap = Point (*)(const double q[4][2], double u, double v);

Point BilinearPoint(const double q[4][2], double u, double v) {
  const double w[4] = {(1 - u) * (1 - v), u * (1 - v), u * v, (1 - u) * v};
  Point p{0, 0};
  for (int i = 0; i < 4; ++i) {
    p.x += w[i] * q[i][0];
    p.y += w[i] * q[i][1];
  }
  return p;
}

// The projective map of the unit square onto the quadrilateral, in the closed form of
// Heckbert's "Fundamentals of Texture Mapping and Image Warping".
Point PerspectivePoint(const double q[4][2], double u, double v) {
  const double sx = q[0][0] - q[1][0] + q[2][0] - q[3][0];
  const double sy = q[0][1] - q[1][1] + q[2][1] - q[3][1];
  const double dx1 = q[1][0] - q[2][0];
  const double dx2 = q[3][0] - q[2][0];
  const double dy1 = q[1][1] - q[2][1];
  const double dy2 = q[3][1] - q[2][1];
  const double den = dx1 * dy2 - dx2 * dy1;
  const double g = (sx * dy2 - dx2 * sy) / den;
  const double h = (dx1 * sy - sx * dy1) / den;
  const double a = q[1][0] - q[0][0] + g * q[1][0];
  const double b = q[3][0] - q[0][0] + h * q[3][0];
  const double d = q[1][1] - q[0][1] + g * q[1][1];
  const double e = q[3][1] - q[0][1] + h * q[3][1];
  const double w = g * u + h * v + 1;
  return {(a * u + b * v + q[0][0]) / w, (d * u + e * v + q[0][1]) / w};
}

// (u, v) with map(u, v) = target, by Newton's method from the square's centre.
bool SquarePointOf(SquareMap map, const double q[4][2], Point target, double& u, double& v) {
  u = 0.5;
  v = 0.5;
  for (int step = 0; step < 60; ++step) {
    const Point p = map(q, u, v);
    const double rx = p.x - target.x;
    const double ry = p.y - target.y;
    if (std::abs(rx) + std::abs(ry) < 1e-11) return true;
    constexpr double kStep = 1e-7;
    const Point pu = map(q, u + kStep, v);
    const Point pv = map(q, u, v + kStep);
    const double a = (pu.x - p.x) / kStep;
    const double b = (pv.x - p.x) / kStep;
    const double c = (pu.y - p.y) / kStep;
    const double d = (pv.y - p.y) / kStep;
    const double det = a * d - b * c;
    if (det == 0 || !std::isfinite(det)) return false;
    u -= (d * rx - b * ry) / det;
    v -= (a * ry - c * rx) / det;
  }
  return false;
}

struct WarpKind {
  const char* name;
  WarpFunction warp;
  SquareMap map;
};

const WarpKind kBilinear{"Bilinear", iplWarpBilinearQ, BilinearPoint};
const WarpKind kPerspective{"Perspective", iplWarpPerspectiveQ, PerspectivePoint};

class IplWarpTest : public GeometryFixture, public ::testing::WithParamInterface<WarpKind> {
 protected:
  void Warp(IplImage* src, IplImage* dst, const double quad[4][2], int flag, int interpolate) {
    GetParam().warp(src, dst, quad, flag, interpolate);
  }
};

TEST_P(IplWarpTest, IdentityQuadReproducesTheImage) {
  const double quad[4][2] = {{0, 0}, {5, 0}, {5, 4}, {0, 4}};
  for (const int flag : {IPL_R_TO_Q, IPL_Q_TO_R}) {
    SCOPED_TRACE(flag);
    Image src = MakeImage(5, 4, 3);
    FillPattern(src.get());
    Image dst = MakeImage(5, 4, 3);
    Warp(src.get(), dst.get(), quad, flag, IPL_INTER_NN);
    ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
    ExpectPixels(dst.get(), [&](int x, int y, int c) { return Px(src.get(), x, y, c); });
  }
}

// (0,0), (W-1,0), (W-1,H-1), (0,H-1) shrinks the image by one pixel each way: the last column
// and row are not covered, the rest is the image scaled to (W-1) x (H-1).
TEST_P(IplWarpTest, ShrinkByOneMatchesResize) {
  Image src = MakeImage(8, 6, 3);
  FillRamp(src.get(), 20, 15, 0);
  Image reference = MakeImage(7, 5, 3);
  iplResize(src.get(), reference.get(), 7, 8, 5, 6, IPL_INTER_LINEAR);
  const double quad[4][2] = {{0, 0}, {7, 0}, {7, 5}, {0, 5}};
  Image dst = MakeImage(8, 6, 3, 7);
  Warp(src.get(), dst.get(), quad, IPL_R_TO_Q, IPL_INTER_LINEAR);
  ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x)
      for (int c = 0; c < 3; ++c) {
        if (x == 7 || y == 5)
          EXPECT_EQ(Px(dst.get(), x, y, c), 7) << x << ", " << y;
        else
          EXPECT_NEAR(Px(dst.get(), x, y, c), Px(reference.get(), x, y, c), 1) << x << ", " << y;
      }
}

TEST_P(IplWarpTest, TranslationQuadMovesPixels) {
  Image src = MakeImage(4, 3, 3);
  FillPattern(src.get());
  Image dst = MakeImage(7, 6, 3, 5);
  const double quad[4][2] = {{2, 1}, {6, 1}, {6, 4}, {2, 4}};
  Warp(src.get(), dst.get(), quad, IPL_R_TO_Q, IPL_INTER_NN);
  ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
  ExpectPixels(dst.get(), [&](int x, int y, int c) {
    const bool inside = x >= 2 && x < 6 && y >= 1 && y < 4;
    return inside ? int{Px(src.get(), x - 2, y - 1, c)} : 5;
  });
}

// quad[0] receives the source's corner at memory row 0, column 0 (bottom-left of a bottom-up
// picture), and so on round the rectangle: swapping corners mirrors, turning them rotates.
TEST_P(IplWarpTest, CornerOrderMatchesMirrorAndRotate) {
  Image src = MakeImage(5, 3, 3);
  FillPattern(src.get());
  struct Case {
    const char* name;
    double quad[4][2];
    int flipAxis;
  };
  const Case mirrors[] = {
      {"columns", {{5, 0}, {0, 0}, {0, 3}, {5, 3}}, 1},
      {"rows", {{0, 3}, {5, 3}, {5, 0}, {0, 0}}, 0},
      {"both", {{5, 3}, {0, 3}, {0, 0}, {5, 0}}, -1},
  };
  for (const Case& k : mirrors) {
    SCOPED_TRACE(k.name);
    Image expected = MakeImage(5, 3, 3);
    iplMirror(src.get(), expected.get(), k.flipAxis);
    Image dst = MakeImage(5, 3, 3);
    Warp(src.get(), dst.get(), k.quad, IPL_R_TO_Q, IPL_INTER_NN);
    ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
    ExpectPixels(dst.get(), [&](int x, int y, int c) { return Px(expected.get(), x, y, c); });
  }
  // A quarter turn: (0,0) to (3,0), (5,0) to (3,5), ... is R(90) p + (3, 0).
  const double turn[4][2] = {{3, 0}, {3, 5}, {0, 5}, {0, 0}};
  Image expected = MakeImage(3, 5, 3);
  iplRotate(src.get(), expected.get(), 90.0, 3.0, 0.0, IPL_INTER_NN);
  Image dst = MakeImage(3, 5, 3);
  Warp(src.get(), dst.get(), turn, IPL_R_TO_Q, IPL_INTER_NN);
  ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
  ExpectPixels(dst.get(), [&](int x, int y, int c) { return Px(expected.get(), x, y, c); });
}

// Shifted by half a pixel, destination centres land exactly on source pixel edges: the first
// edge counts as inside, the far one ([0, w) x [0, h)) does not.
TEST_P(IplWarpTest, SourceRectangleIsHalfOpen) {
  const double shifted[4][2] = {{0.5, 0.5}, {3.5, 0.5}, {3.5, 2.5}, {0.5, 2.5}};
  struct Case {
    const char* name;
    int flag;
    int dstW, dstH;
    int coveredW, coveredH;
  };
  // Rect to quad: centre i + 0.5 comes from i, so 0..2 of 3 columns. Quad to rect: from i + 1,
  // so only 0..1 of a 3 x 2 rectangle, one row.
  const Case cases[] = {{"rect to quad", IPL_R_TO_Q, 5, 4, 3, 2},
                        {"quad to rect", IPL_Q_TO_R, 3, 2, 2, 1}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    Image src = MakeImage(3, 2, 3, 200);
    Image dst = MakeImage(k.dstW, k.dstH, 3, 9);
    Warp(src.get(), dst.get(), shifted, k.flag, IPL_INTER_LINEAR);
    ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
    ExpectPixels(dst.get(),
                 [&](int x, int y, int) { return x < k.coveredW && y < k.coveredH ? 200 : 9; });
  }
}

TEST_P(IplWarpTest, InPlace) {
  Image image = MakeImage(5, 3, 3);
  FillPattern(image.get());
  const double quad[4][2] = {{5, 3}, {0, 3}, {0, 0}, {5, 0}};
  Warp(image.get(), image.get(), quad, IPL_R_TO_Q, IPL_INTER_NN);
  ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
  ExpectPixels(image.get(), [](int x, int y, int c) { return Pattern(4 - x, 2 - y, c); });
}

// Source corners from the source region's first pixel, the quad from the destination region's;
// nothing outside the destination region changes.
TEST_P(IplWarpTest, RegionsMeasureFromTheirFirstPixel) {
  Image src = MakeImage(5, 5, 3);
  FillPattern(src.get());
  SetRoi(src.get(), 1, 2, 3, 2);
  Image dst = MakeImage(8, 6, 3, 5);
  SetRoi(dst.get(), 2, 1, 4, 4);
  // Shifted by (2, 1) in the region: the quad's last column lies beyond it and is cut off.
  const double quad[4][2] = {{2, 1}, {5, 1}, {5, 3}, {2, 3}};
  Warp(src.get(), dst.get(), quad, IPL_R_TO_Q, IPL_INTER_NN);
  ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
  ExpectPixels(dst.get(), [&](int x, int y, int c) {
    // Destination image pixel (x, y) is region pixel (x - 2, y - 1), quad pixel (x - 4, y - 2).
    const int qx = x - 4;
    const int qy = y - 2;
    const bool inRegion = x >= 2 && x < 6 && y >= 1 && y < 5;
    const bool inQuad = qx >= 0 && qx < 3 && qy >= 0 && qy < 2;
    return inRegion && inQuad ? Pattern(1 + qx, 2 + qy, c) : 5;
  });
}

TEST_P(IplWarpTest, NotStrictlyConvexFailsAndDrawsNothing) {
  struct Case {
    const char* name;
    double quad[4][2];
  };
  const Case cases[] = {
      {"concave", {{0, 0}, {4, 0}, {1, 1}, {0, 4}}},
      {"bow tie", {{0, 0}, {4, 4}, {4, 0}, {0, 4}}},
      {"three collinear", {{0, 0}, {2, 0}, {4, 0}, {0, 4}}},
      {"repeated corner", {{0, 0}, {0, 0}, {4, 4}, {0, 4}}},
      {"zero area", {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
      {"one point", {{2, 2}, {2, 2}, {2, 2}, {2, 2}}},
  };
  for (const Case& k : cases) {
    for (const int flag : {IPL_R_TO_Q, IPL_Q_TO_R}) {
      SCOPED_TRACE(std::string(k.name) +
                   (flag == IPL_R_TO_Q ? ", rect to quad" : ", quad to rect"));
      iplSetErrStatus(IPL_StsOk);
      Image src = MakeImage(4, 4, 3, 200);
      Image dst = MakeImage(4, 4, 3);
      FillPattern(dst.get());
      const std::vector<unsigned char> before = Bytes(dst.get());
      Warp(src.get(), dst.get(), k.quad, flag, IPL_INTER_LINEAR);
      EXPECT_EQ(iplGetErrStatus(), IPL_StsError);
      EXPECT_EQ(Bytes(dst.get()), before);
    }
  }
}

// Rectangle to quadrilateral and back again lands close to where it started.
TEST_P(IplWarpTest, QuadToRectUndoesRectToQuad) {
  Image src = MakeImage(8, 8, 3);
  FillRamp(src.get(), 12, 10, 20);
  const double quad[4][2] = {{1, 2}, {10, 1}, {11, 9}, {2, 11}};
  Image middle = MakeImage(12, 12, 3);
  Warp(src.get(), middle.get(), quad, IPL_R_TO_Q, IPL_INTER_LINEAR);
  Image back = MakeImage(8, 8, 3);
  Warp(middle.get(), back.get(), quad, IPL_Q_TO_R, IPL_INTER_LINEAR);
  ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
  for (int y = 1; y < 7; ++y)
    for (int x = 1; x < 7; ++x)
      for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(Px(back.get(), x, y, c), Px(src.get(), x, y, c), 3) << x << ", " << y;
}

INSTANTIATE_TEST_SUITE_P(Kinds, IplWarpTest, ::testing::Values(kBilinear, kPerspective),
                         [](const auto& c) { return std::string(c.param.name); });

// Nearest-neighbour warps against the definition. Rect to quad: destination pixel q takes the
// source pixel at map^-1(q) scaled to the source when q lies in the figure; quad to rect: the
// pixel at map(q scaled to the unit square), when that lies in the source. Points on a pixel or
// region edge are left out, as either answer is right there.
struct WarpOracleCase {
  const char* name;
  const WarpKind* kind;
  int flag;
  double quad[4][2];
  int srcW, srcH, dstW, dstH;
};

const WarpOracleCase kWarpOracleCases[] = {
    {"BilinearToQuad", &kBilinear, IPL_R_TO_Q, {{1, 1}, {9, 2}, {8, 8}, {2, 7}}, 6, 5, 10, 9},
    {"PerspectiveToQuad", &kPerspective, IPL_R_TO_Q, {{1, 1}, {9, 2}, {8, 8}, {2, 7}}, 6, 5, 10, 9},
    {"BilinearToClockwiseQuad",
     &kBilinear,
     IPL_R_TO_Q,
     {{1, 1}, {2, 7}, {8, 8}, {9, 2}},
     6,
     5,
     10,
     9},
    {"PerspectiveToClockwiseQuad",
     &kPerspective,
     IPL_R_TO_Q,
     {{1, 1}, {2, 7}, {8, 8}, {9, 2}},
     6,
     5,
     10,
     9},
    {"PerspectiveToClippedQuad",
     &kPerspective,
     IPL_R_TO_Q,
     {{-3, 2}, {8, -2}, {12, 10}, {1, 7}},
     6,
     5,
     10,
     9},
    {"BilinearToClippedQuad",
     &kBilinear,
     IPL_R_TO_Q,
     {{-3, 2}, {8, -2}, {12, 10}, {1, 7}},
     6,
     5,
     10,
     9},
    // Skewed enough that most points solve by the second root of the bilinear inverse.
    {"BilinearToSkewedQuad",
     &kBilinear,
     IPL_R_TO_Q,
     {{10, 0}, {8, 0}, {1, 8}, {10, 9}},
     6,
     5,
     10,
     9},
    {"PerspectiveToSkewedQuad",
     &kPerspective,
     IPL_R_TO_Q,
     {{10, 0}, {8, 0}, {1, 8}, {10, 9}},
     6,
     5,
     10,
     9},
    {"BilinearFromQuad",
     &kBilinear,
     IPL_Q_TO_R,
     {{-1, 0.5}, {5, 1}, {6.5, 5}, {0.5, 4}},
     6,
     5,
     7,
     6},
    {"PerspectiveFromQuad",
     &kPerspective,
     IPL_Q_TO_R,
     {{-1, 0.5}, {5, 1}, {6.5, 5}, {0.5, 4}},
     6,
     5,
     7,
     6},
};

class IplWarpOracleTest : public GeometryFixture,
                          public ::testing::WithParamInterface<WarpOracleCase> {};

TEST_P(IplWarpOracleTest, NearestMatchesTheDefinition) {
  const WarpOracleCase& k = GetParam();
  Image src = MakeImage(k.srcW, k.srcH);
  FillPattern(src.get());
  Image dst = MakeImage(k.dstW, k.dstH);
  k.kind->warp(src.get(), dst.get(), k.quad, k.flag, IPL_INTER_NN);
  ASSERT_EQ(iplGetErrStatus(), IPL_StsOk);
  int checked = 0;
  int covered = 0;
  for (int j = 0; j < k.dstH; ++j) {
    for (int i = 0; i < k.dstW; ++i) {
      const Point q{i + 0.5, j + 0.5};
      Point p{};
      if (k.flag == IPL_R_TO_Q) {
        double u = 0;
        double v = 0;
        if (!SquarePointOf(k.kind->map, k.quad, q, u, v)) continue;
        p = {u * k.srcW, v * k.srcH};
      } else {
        p = k.kind->map(k.quad, q.x / k.dstW, q.y / k.dstH);
      }
      const double frac = std::min({p.x - std::floor(p.x), std::ceil(p.x) - p.x,
                                    p.y - std::floor(p.y), std::ceil(p.y) - p.y});
      if (frac < 1e-2) continue;
      ++checked;
      const bool inside = p.x > 0 && p.x < k.srcW && p.y > 0 && p.y < k.srcH;
      covered += inside;
      const int expected = inside ? Px(src.get(), static_cast<int>(p.x), static_cast<int>(p.y)) : 0;
      EXPECT_EQ(Px(dst.get(), i, j), expected) << "at " << i << ", " << j;
    }
  }
  EXPECT_GT(checked, k.dstW * k.dstH / 2);
  EXPECT_GT(covered, 10);
  EXPECT_LT(covered, checked) << "every case has uncovered pixels";
}

INSTANTIATE_TEST_SUITE_P(Cases, IplWarpOracleTest, ::testing::ValuesIn(kWarpOracleCases),
                         [](const auto& c) { return std::string(c.param.name); });

// --- errors -------------------------------------------------------------------------------------

// Each call must set the status and leave the destination as it was.
struct GeometryErrorCase {
  const char* name;
  IPLStatus status;
  std::function<void(IplImage* src, IplImage* dst, IplImage* gray)> call;
};

const double kSquare[4][2] = {{0, 0}, {4, 0}, {4, 4}, {0, 4}};

const GeometryErrorCase kGeometryErrorCases[] = {
    {"ResizeNullSource", IPL_StsNullPtr,
     [](IplImage*, IplImage* d, IplImage*) { iplResize(nullptr, d, 1, 1, 1, 1, IPL_INTER_NN); }},
    {"ResizeNullDestination", IPL_StsNullPtr,
     [](IplImage* s, IplImage*, IplImage*) { iplResize(s, nullptr, 1, 1, 1, 1, IPL_INTER_NN); }},
    {"ResizeZeroFactor", IPL_StsBadArg,
     [](IplImage* s, IplImage* d, IplImage*) { iplResize(s, d, 1, 0, 1, 1, IPL_INTER_NN); }},
    {"ResizeNegativeFactor", IPL_StsBadArg,
     [](IplImage* s, IplImage* d, IplImage*) { iplResize(s, d, 1, 1, -2, 1, IPL_INTER_NN); }},
    {"ResizeBadInterpolation", IPL_StsBadArg,
     [](IplImage* s, IplImage* d, IplImage*) { iplResize(s, d, 1, 1, 1, 1, 4); }},
    {"ResizeChannelMismatch", IPL_StsBadArg,
     [](IplImage*, IplImage* d, IplImage* g) { iplResize(g, d, 1, 1, 1, 1, IPL_INTER_NN); }},
    {"ResizeRegionOutsideImage", IPL_StsBadArg,
     [](IplImage* s, IplImage* d, IplImage*) {
       SetRoi(s, 3, 3, 2, 2);
       iplResize(s, d, 1, 1, 1, 1, IPL_INTER_NN);
     }},
    {"RotateNullSource", IPL_StsNullPtr,
     [](IplImage*, IplImage* d, IplImage*) { iplRotate(nullptr, d, 10, 0, 0, IPL_INTER_NN); }},
    {"RotateBadInterpolation", IPL_StsBadArg,
     [](IplImage* s, IplImage* d, IplImage*) { iplRotate(s, d, 10, 0, 0, -1); }},
    {"RotateAngleNotFinite", IPL_StsBadArg,
     [](IplImage* s, IplImage* d, IplImage*) { iplRotate(s, d, NAN, 0, 0, IPL_INTER_NN); }},
    {"RotateChannelMismatch", IPL_StsBadArg,
     [](IplImage*, IplImage* d, IplImage* g) { iplRotate(g, d, 0, 0, 0, IPL_INTER_NN); }},
    {"RotateRegionOutsideImage", IPL_StsBadArg,
     [](IplImage* s, IplImage* d, IplImage*) {
       SetRoi(d, -1, 0, 2, 2);
       iplRotate(s, d, 0, 0, 0, IPL_INTER_NN);
     }},
    {"MirrorBadAxis", IPL_StsBadArg,
     [](IplImage* s, IplImage* d, IplImage*) { iplMirror(s, d, 2); }},
    {"MirrorRegionsDiffer", IPL_StsBadArg,
     [](IplImage* s, IplImage* d, IplImage*) {
       SetRoi(s, 0, 0, 2, 3);
       iplMirror(s, d, 0);
     }},
    {"MirrorChannelMismatch", IPL_StsBadArg,
     [](IplImage*, IplImage* d, IplImage* g) { iplMirror(g, d, 0); }},
    {"MirrorNullDestination", IPL_StsNullPtr,
     [](IplImage* s, IplImage*, IplImage*) { iplMirror(s, nullptr, 0); }},
    {"BilinearBadDirection", IPL_StsBadArg,
     [](IplImage* s, IplImage* d, IplImage*) { iplWarpBilinearQ(s, d, kSquare, 2, IPL_INTER_NN); }},
    {"BilinearNullQuad", IPL_StsNullPtr,
     [](IplImage* s, IplImage* d, IplImage*) {
       iplWarpBilinearQ(s, d, nullptr, IPL_R_TO_Q, IPL_INTER_NN);
     }},
    {"BilinearBadInterpolation", IPL_StsBadArg,
     [](IplImage* s, IplImage* d, IplImage*) { iplWarpBilinearQ(s, d, kSquare, IPL_R_TO_Q, 7); }},
    {"PerspectiveBadDirection", IPL_StsBadArg,
     [](IplImage* s, IplImage* d, IplImage*) {
       iplWarpPerspectiveQ(s, d, kSquare, -1, IPL_INTER_NN);
     }},
    {"PerspectiveChannelMismatch", IPL_StsBadArg,
     [](IplImage*, IplImage* d, IplImage* g) {
       iplWarpPerspectiveQ(g, d, kSquare, IPL_R_TO_Q, IPL_INTER_NN);
     }},
    {"PerspectiveCornerNotFinite", IPL_StsBadArg,
     [](IplImage* s, IplImage* d, IplImage*) {
       const double quad[4][2] = {{0, 0}, {4, 0}, {INFINITY, 4}, {0, 4}};
       iplWarpPerspectiveQ(s, d, quad, IPL_R_TO_Q, IPL_INTER_NN);
     }},
};

class IplGeometryErrorTest : public GeometryFixture,
                             public ::testing::WithParamInterface<GeometryErrorCase> {};

TEST_P(IplGeometryErrorTest, SetsStatusAndTouchesNothing) {
  Image src = MakeImage(4, 4, 3, 100);
  Image dst = MakeImage(4, 4, 3);
  Image gray = MakeImage(4, 4, 1, 100);
  FillPattern(dst.get());
  const std::vector<unsigned char> before = Bytes(dst.get());
  GetParam().call(src.get(), dst.get(), gray.get());
  EXPECT_EQ(iplGetErrStatus(), GetParam().status);
  EXPECT_STRNE(iplGetErrMessage(), "");
  EXPECT_EQ(Bytes(dst.get()), before);
}

INSTANTIATE_TEST_SUITE_P(Calls, IplGeometryErrorTest, ::testing::ValuesIn(kGeometryErrorCases),
                         [](const auto& c) { return std::string(c.param.name); });

class IplGeometryMiscTest : public GeometryFixture {};

TEST_F(IplGeometryMiscTest, GetRotateShiftNeedsResults) {
  double xs = 0;
  iplGetRotateShift(1, 1, 30, &xs, nullptr);
  EXPECT_EQ(iplGetErrStatus(), IPL_StsNullPtr);
}

// An empty region on either side is a successful call that changes nothing.
TEST_F(IplGeometryMiscTest, EmptyRegionsAreNoOps) {
  const std::function<void(IplImage*, IplImage*)> calls[] = {
      [](IplImage* s, IplImage* d) { iplResize(s, d, 2, 1, 2, 1, IPL_INTER_LINEAR); },
      [](IplImage* s, IplImage* d) { iplRotate(s, d, 30, 1, 1, IPL_INTER_LINEAR); },
      [](IplImage* s, IplImage* d) { iplMirror(s, d, -1); },
      [](IplImage* s, IplImage* d) {
        iplWarpBilinearQ(s, d, kSquare, IPL_R_TO_Q, IPL_INTER_LINEAR);
      },
      [](IplImage* s, IplImage* d) {
        iplWarpPerspectiveQ(s, d, kSquare, IPL_Q_TO_R, IPL_INTER_LINEAR);
      },
  };
  for (const auto& call : calls) {
    Image src = MakeImage(4, 4, 3, 100);
    Image dst = MakeImage(4, 4, 3);
    FillPattern(dst.get());
    SetRoi(src.get(), 1, 1, 0, 2);
    SetRoi(dst.get(), 1, 1, 0, 2);
    const std::vector<unsigned char> before = Bytes(dst.get());
    call(src.get(), dst.get());
    EXPECT_EQ(iplGetErrStatus(), IPL_StsOk);
    EXPECT_EQ(Bytes(dst.get()), before);
  }
}

}  // namespace
