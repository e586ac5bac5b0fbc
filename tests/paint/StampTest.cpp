// Stamp rendering: the intensity pattern each renderer leaves in StampPlane, where it leaves it,
// and what it must leave alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/Document.h"
#include "app/Random.h"
#include "app/XorCanvas.h"
#include "paint/Stamp.h"

using namespace korvane;

namespace {

constexpr std::uint32_t kSolid = 255u << 22;

struct Mask {
  TDib Bitmap;
  TIplHeader Header;

  Mask(int width, int height) {
    EXPECT_TRUE(Bitmap.SetSize(width, height));
    Header = CreateImageHeader(width, height, Bitmap.Rows());
  }
  TStampTarget Target() { return {Bitmap, Header.get()}; }
  std::uint8_t At(int x, int y, int plane) const { return Bitmap.ScanLine(y)[3 * x + plane]; }
  void Fill(std::uint8_t applied, std::uint8_t contour, std::uint8_t stamp) {
    for (int y = 0; y < Bitmap.Height(); ++y) {
      std::uint8_t* p = Bitmap.ScanLine(y);
      for (int x = 0; x < Bitmap.Width(); ++x) {
        p[3 * x + AppliedPlane] = applied;
        p[3 * x + ContourPlane] = contour;
        p[3 * x + StampPlane] = stamp;
      }
    }
  }
};

// One plane of a rectangle as rows of two hex digits a pixel, ".." for 0.
std::string Picture(const Mask& m, int plane, int x0, int y0, int width, int height) {
  std::string out;
  for (int y = y0; y < y0 + height; ++y) {
    for (int x = x0; x < x0 + width; ++x) {
      const std::uint8_t v = m.At(x, y, plane);
      char cell[4];
      std::snprintf(cell, sizeof cell, "%02X", v);
      out += v == 0 ? std::string("..") : std::string(cell);
      if (x + 1 < x0 + width) out += ' ';
    }
    out += '\n';
  }
  return out;
}

std::string WholePicture(const Mask& m, int plane = StampPlane) {
  return Picture(m, plane, 0, 0, m.Bitmap.Width(), m.Bitmap.Height());
}

BrushSettings Brush(int style, int size = 10) {
  BrushSettings b;
  b.BrushStyle = style;
  b.BrushSize = size;
  b.FalloffPercent = 100;
  b.FalloffStep = ComputeFalloffStep(size, 100);
  b.LineVariant = 0;
  b.LineThickness = 1;
  b.LineCount = size / 2;
  b.IntensityVary = 0;
  b.BlurStamp = false;
  return b;
}

BrushSettings Lines(int style, int size) {
  BrushSettings b = Brush(style, size);
  b.LineThickness = 2;
  b.LineCount = 6;
  b.IntensityVary = 40;
  return b;
}

BrushSettings Scratched(int style, int size, int variant) {
  BrushSettings b = Brush(style, size);
  b.LineVariant = variant;
  b.LineThickness = 2;
  b.LineCount = 3;
  return b;
}

BrushSettings Blurred(BrushSettings b, int kernel) {
  b.BlurStamp = true;
  b.BlurKernel = kernel;
  b.BlurMargin = kernel + b.BrushSize / 4;
  return b;
}

bool Contains(const TRectI& r, int x, int y) {
  return x >= r.X && x < r.X + r.Width && y >= r.Y && y < r.Y + r.Height;
}

TEST(RingValueTest, RampsReachFullIntensityOnTheirLastRing) {
  struct Case {
    int ring;
    std::uint32_t step;
    int expected;
  };
  const Case cases[] = {
      {0, kSolid, 0},
      {-3, kSolid, 0},
      {1, kSolid, 255},
      {7, kSolid, 255},
      {1, ComputeFalloffStep(7, 100), 36},
      {6, ComputeFalloffStep(7, 100), 218},
      {7, ComputeFalloffStep(7, 100), 255},
      {3, ComputeFalloffStep(3, 100), 255},
      {2, ComputeFalloffStep(3, 100), 170},
      {50, ComputeFalloffStep(100, 50), 255},
      {25, ComputeFalloffStep(100, 50), 127},
      {49, ComputeFalloffStep(100, 50), 249},
      {200, ComputeFalloffStep(100, 50), 255},
      {85, 3u << 22, 255},
      {84, 3u << 22, 252},
      {4096, 0xFFFFFFFFu, 255},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "ring " << c.ring << " step " << c.step);
    EXPECT_EQ(RingValue(c.ring, c.step), c.expected);
  }
}

struct Golden {
  const char* name;
  int width, height;
  std::function<TRectI(const TStampTarget&)> render;
  const char* expected;
};

TDiscStamp Disc(int style, int cx, int cy, int r, int rings, std::uint32_t step, bool hollow) {
  TDiscStamp d;
  d.Style = style;
  d.Cx = cx;
  d.Cy = cy;
  d.Radius = r;
  d.RingCount = rings;
  d.Step = step;
  d.Hollow = hollow;
  return d;
}

TSegmentStamp Segment(int style, int x1, int y1, int x2, int y2, int w, std::uint32_t step) {
  TSegmentStamp s;
  s.Style = style;
  s.X1 = x1;
  s.Y1 = y1;
  s.X2 = x2;
  s.Y2 = y2;
  s.Width = w;
  s.Step = step;
  return s;
}

TBoxStamp Box(int style, int x1, int y1, int x2, int y2, int w, int half, std::uint32_t step,
              bool outlined) {
  TBoxStamp b;
  b.Style = style;
  b.X1 = x1;
  b.Y1 = y1;
  b.X2 = x2;
  b.Y2 = y2;
  b.BrushSize = w;
  b.HalfExtent = half;
  b.Step = step;
  b.Outlined = outlined;
  return b;
}

const Golden kGolden[] = {
    {"neon cone, radius 3", 11, 11,
     [](const TStampTarget& t) {
       return RenderDiscStamp(t, Brush(NeonBrush, 1), Disc(NeonBrush, 5, 5, 3, 1, kSolid, false));
     },
     ".. .. .. .. .. .. .. .. .. .. ..\n"
     ".. .. .. .. .. 55 .. .. .. .. ..\n"
     ".. .. .. 55 55 AA 55 55 .. .. ..\n"
     ".. .. 55 AA AA FF AA AA 55 .. ..\n"
     ".. .. 55 AA FF FF FF AA 55 .. ..\n"
     ".. 55 AA FF FF FF FF FF AA 55 ..\n"
     ".. .. 55 AA FF FF FF AA 55 .. ..\n"
     ".. .. 55 AA AA FF AA AA 55 .. ..\n"
     ".. .. .. 55 55 AA 55 55 .. .. ..\n"
     ".. .. .. .. .. 55 .. .. .. .. ..\n"
     ".. .. .. .. .. .. .. .. .. .. ..\n"},
    {"neon disc, two rings of a quarter", 11, 11,
     [](const TStampTarget& t) {
       return RenderDiscStamp(t, Brush(NeonBrush, 1),
                              Disc(NeonBrush, 5, 5, 3, 2, ComputeFalloffStep(4, 100), false));
     },
     ".. .. .. .. .. .. .. .. .. .. ..\n"
     ".. .. .. .. .. 3F .. .. .. .. ..\n"
     ".. .. .. 3F 3F 7F 3F 3F .. .. ..\n"
     ".. .. 3F 7F 7F 7F 7F 7F 3F .. ..\n"
     ".. .. 3F 7F 7F 7F 7F 7F 3F .. ..\n"
     ".. 3F 7F 7F 7F 7F 7F 7F 7F 3F ..\n"
     ".. .. 3F 7F 7F 7F 7F 7F 3F .. ..\n"
     ".. .. 3F 7F 7F 7F 7F 7F 3F .. ..\n"
     ".. .. .. 3F 3F 7F 3F 3F .. .. ..\n"
     ".. .. .. .. .. 3F .. .. .. .. ..\n"
     ".. .. .. .. .. .. .. .. .. .. ..\n"},
    {"neon hollow disc, pens 3 3 2", 11, 11,
     [](const TStampTarget& t) {
       return RenderDiscStamp(t, Brush(NeonBrush, 3),
                              Disc(NeonBrush, 5, 5, 3, 3, ComputeFalloffStep(3, 100), true));
     },
     ".. .. .. .. .. .. .. .. .. .. ..\n"
     ".. .. .. AA AA FF AA AA .. .. ..\n"
     ".. .. AA FF FF FF FF FF AA .. ..\n"
     ".. AA FF FF FF FF FF FF FF AA ..\n"
     ".. AA FF FF .. .. .. FF FF AA ..\n"
     ".. FF FF FF .. .. .. FF FF FF ..\n"
     ".. AA FF FF .. .. .. FF FF AA ..\n"
     ".. AA FF FF FF FF FF FF FF AA ..\n"
     ".. .. AA FF FF FF FF FF AA .. ..\n"
     ".. .. .. AA AA FF AA AA .. .. ..\n"
     ".. .. .. .. .. .. .. .. .. .. ..\n"},
    {"solid disc, radius 3", 11, 11,
     [](const TStampTarget& t) {
       return RenderDiscStamp(t, Brush(SolidBrush, 1), Disc(SolidBrush, 5, 5, 3, 1, kSolid, false));
     },
     ".. .. .. .. .. .. .. .. .. .. ..\n"
     ".. .. .. .. .. .. .. .. .. .. ..\n"
     ".. .. .. .. FF FF FF .. .. .. ..\n"
     ".. .. .. FF FF FF FF FF .. .. ..\n"
     ".. .. FF FF FF FF FF FF FF .. ..\n"
     ".. .. FF FF FF FF FF FF FF .. ..\n"
     ".. .. FF FF FF FF FF FF FF .. ..\n"
     ".. .. .. FF FF FF FF FF .. .. ..\n"
     ".. .. .. .. FF FF FF .. .. .. ..\n"
     ".. .. .. .. .. .. .. .. .. .. ..\n"
     ".. .. .. .. .. .. .. .. .. .. ..\n"},
    {"solid hollow disc, radius 3", 11, 11,
     [](const TStampTarget& t) {
       return RenderDiscStamp(t, Brush(SolidBrush, 1), Disc(SolidBrush, 5, 5, 3, 1, kSolid, true));
     },
     ".. .. .. .. .. .. .. .. .. .. ..\n"
     ".. .. .. .. .. .. .. .. .. .. ..\n"
     ".. .. .. .. FF FF FF .. .. .. ..\n"
     ".. .. .. FF .. .. .. FF .. .. ..\n"
     ".. .. FF .. .. .. .. .. FF .. ..\n"
     ".. .. FF .. .. .. .. .. FF .. ..\n"
     ".. .. FF .. .. .. .. .. FF .. ..\n"
     ".. .. .. FF .. .. .. FF .. .. ..\n"
     ".. .. .. .. FF FF FF .. .. .. ..\n"
     ".. .. .. .. .. .. .. .. .. .. ..\n"
     ".. .. .. .. .. .. .. .. .. .. ..\n"},
    {"neon segment, width 5", 11, 9,
     [](const TStampTarget& t) {
       return RenderSegmentStamp(t, Brush(NeonBrush, 5),
                                 Segment(NeonBrush, 3, 4, 7, 4, 5, ComputeFalloffStep(5, 100)));
     },
     ".. .. .. .. .. .. .. .. .. .. ..\n"
     ".. .. .. .. .. .. .. .. .. .. ..\n"
     ".. .. 33 66 66 66 66 66 33 .. ..\n"
     ".. 33 99 CC CC CC CC CC 99 33 ..\n"
     ".. 66 CC FF FF FF FF FF CC 66 ..\n"
     ".. 33 99 CC CC CC CC CC 99 33 ..\n"
     ".. .. 33 66 66 66 66 66 33 .. ..\n"
     ".. .. .. .. .. .. .. .. .. .. ..\n"
     ".. .. .. .. .. .. .. .. .. .. ..\n"},
    {"neon segment, width 5, falloff 50 %", 11, 9,
     [](const TStampTarget& t) {
       return RenderSegmentStamp(t, Brush(NeonBrush, 5),
                                 Segment(NeonBrush, 3, 4, 7, 4, 5, ComputeFalloffStep(5, 50)));
     },
     ".. .. .. .. .. .. .. .. .. .. ..\n"
     ".. .. .. .. .. .. .. .. .. .. ..\n"
     ".. .. 66 CC CC CC CC CC 66 .. ..\n"
     ".. 66 FF FF FF FF FF FF FF 66 ..\n"
     ".. CC FF FF FF FF FF FF FF CC ..\n"
     ".. 66 FF FF FF FF FF FF FF 66 ..\n"
     ".. .. 66 CC CC CC CC CC 66 .. ..\n"
     ".. .. .. .. .. .. .. .. .. .. ..\n"
     ".. .. .. .. .. .. .. .. .. .. ..\n"},
    {"solid diagonal segment, width 3", 11, 9,
     [](const TStampTarget& t) {
       return RenderSegmentStamp(t, Brush(SolidBrush, 3),
                                 Segment(SolidBrush, 2, 2, 8, 6, 3, kSolid));
     },
     ".. .. .. .. .. .. .. .. .. .. ..\n"
     ".. FF FF FF .. .. .. .. .. .. ..\n"
     ".. FF FF FF FF .. .. .. .. .. ..\n"
     ".. FF FF FF FF FF FF .. .. .. ..\n"
     ".. .. .. FF FF FF FF FF .. .. ..\n"
     ".. .. .. .. FF FF FF FF FF FF ..\n"
     ".. .. .. .. .. .. FF FF FF FF ..\n"
     ".. .. .. .. .. .. .. FF FF FF ..\n"
     ".. .. .. .. .. .. .. .. .. .. ..\n"},
    {"solid 5 x 3 rectangle", 9, 7,
     [](const TStampTarget& t) {
       return RenderRectStamp(t, Brush(SolidBrush, 1),
                              Box(SolidBrush, 2, 2, 6, 4, 1, 1, kSolid, false));
     },
     ".. .. .. .. .. .. .. .. ..\n"
     ".. .. .. .. .. .. .. .. ..\n"
     ".. .. FF FF FF FF FF .. ..\n"
     ".. .. FF FF FF FF FF .. ..\n"
     ".. .. FF FF FF FF FF .. ..\n"
     ".. .. .. .. .. .. .. .. ..\n"
     ".. .. .. .. .. .. .. .. ..\n"},
    {"solid 5 x 3 rectangle outline, pen 2", 9, 7,
     [](const TStampTarget& t) {
       return RenderRectStamp(t, Brush(SolidBrush, 2),
                              Box(SolidBrush, 2, 2, 6, 4, 2, 1, kSolid, true));
     },
     ".. .. .. .. .. .. .. .. ..\n"
     ".. FF FF FF FF FF FF FF ..\n"
     ".. FF FF FF FF FF FF FF ..\n"
     ".. FF FF .. .. .. FF FF ..\n"
     ".. FF FF FF FF FF FF FF ..\n"
     ".. FF FF FF FF FF FF FF ..\n"
     ".. .. .. .. .. .. .. .. ..\n"},
    {"neon 5 x 3 rectangle, width 3", 11, 9,
     [](const TStampTarget& t) {
       return RenderRectStamp(t, Brush(NeonBrush, 3),
                              Box(NeonBrush, 3, 3, 7, 5, 3, 1, ComputeFalloffStep(3, 100), false));
     },
     ".. .. .. .. .. .. .. .. .. .. ..\n"
     ".. 55 55 55 55 55 55 55 55 55 ..\n"
     ".. 55 AA AA AA AA AA AA AA 55 ..\n"
     ".. 55 AA FF FF FF FF FF AA 55 ..\n"
     ".. 55 AA FF FF FF FF FF AA 55 ..\n"
     ".. 55 AA FF FF FF FF FF AA 55 ..\n"
     ".. 55 AA AA AA AA AA AA AA 55 ..\n"
     ".. 55 55 55 55 55 55 55 55 55 ..\n"
     ".. .. .. .. .. .. .. .. .. .. ..\n"},
    {"solid 5 x 3 ellipse", 9, 7,
     [](const TStampTarget& t) {
       return RenderEllipseStamp(t, Brush(SolidBrush, 1),
                                 Box(SolidBrush, 2, 2, 6, 4, 1, 1, kSolid, false));
     },
     ".. .. .. .. .. .. .. .. ..\n"
     ".. .. .. .. .. .. .. .. ..\n"
     ".. .. .. FF FF FF .. .. ..\n"
     ".. .. FF FF FF FF FF .. ..\n"
     ".. .. .. FF FF FF .. .. ..\n"
     ".. .. .. .. .. .. .. .. ..\n"
     ".. .. .. .. .. .. .. .. ..\n"},
    {"solid 5 x 3 ellipse outline", 9, 7,
     [](const TStampTarget& t) {
       return RenderEllipseStamp(t, Brush(SolidBrush, 1),
                                 Box(SolidBrush, 2, 2, 6, 4, 1, 1, kSolid, true));
     },
     ".. .. .. .. .. .. .. .. ..\n"
     ".. .. .. .. .. .. .. .. ..\n"
     ".. .. .. FF FF FF .. .. ..\n"
     ".. .. FF .. .. .. FF .. ..\n"
     ".. .. .. FF FF FF .. .. ..\n"
     ".. .. .. .. .. .. .. .. ..\n"
     ".. .. .. .. .. .. .. .. ..\n"},
    {"neon 7 x 5 ellipse, one-pixel brush", 11, 9,
     [](const TStampTarget& t) {
       return RenderEllipseStamp(t, Brush(NeonBrush, 1),
                                 Box(NeonBrush, 2, 2, 8, 6, 1, 2, kSolid, false));
     },
     ".. .. .. .. .. .. .. .. .. .. ..\n"
     ".. .. .. .. .. 7F .. .. .. .. ..\n"
     ".. .. .. 7F 7F FF 7F 7F .. .. ..\n"
     ".. .. 7F FF FF FF FF FF 7F .. ..\n"
     ".. 7F FF FF FF FF FF FF FF 7F ..\n"
     ".. .. 7F FF FF FF FF FF 7F .. ..\n"
     ".. .. .. 7F 7F FF 7F 7F .. .. ..\n"
     ".. .. .. .. .. 7F .. .. .. .. ..\n"
     ".. .. .. .. .. .. .. .. .. .. ..\n"},
    {"splash disc, radius 3, four lines", 11, 11,
     [](const TStampTarget& t) {
       BrushSettings b = Lines(SplashBrush, 7);
       b.LineThickness = 1;
       b.LineCount = 2;
       b.IntensityVary = 0;
       RandomSeed(1);
       return RenderDiscStamp(t, b, Disc(SplashBrush, 5, 5, 3, 1, kSolid, false));
     },
     ".. .. .. .. .. .. .. .. .. .. ..\n"
     ".. .. .. .. .. .. .. .. .. .. ..\n"
     ".. .. .. .. .. 01 .. .. .. .. ..\n"
     ".. .. .. 01 01 01 01 01 .. .. ..\n"
     ".. .. .. 01 01 01 FF 01 01 .. ..\n"
     ".. .. 01 FF FF FF FF FF 01 .. ..\n"
     ".. .. .. 01 FF FF FF FF FF 01 ..\n"
     ".. .. .. 01 01 FF 01 01 01 .. ..\n"
     ".. .. .. .. 01 01 01 01 01 .. ..\n"
     ".. .. .. .. .. .. 01 .. .. .. ..\n"
     ".. .. .. .. .. .. .. .. .. .. ..\n"},
    {"curved-lines disc, radius 3, four curves of varied intensity", 11, 11,
     [](const TStampTarget& t) {
       BrushSettings b = Lines(CurvedLinesBrush, 7);
       b.LineThickness = 1;
       b.LineCount = 2;
       b.IntensityVary = 100;
       RandomSeed(2);
       return RenderDiscStamp(t, b, Disc(CurvedLinesBrush, 5, 5, 3, 1, kSolid, false));
     },
     ".. .. .. .. .. .. .. .. .. .. ..\n"
     ".. .. .. .. .. .. .. .. .. .. ..\n"
     ".. .. .. .. .. 01 .. .. .. .. ..\n"
     ".. .. .. 01 C7 01 01 01 .. .. ..\n"
     ".. .. .. 01 C7 C7 01 01 01 .. ..\n"
     ".. .. 01 AB AB FF 01 01 01 .. ..\n"
     ".. .. .. AB AF AB FF 01 01 01 ..\n"
     ".. .. .. AD AD AD 01 BF 01 .. ..\n"
     ".. .. .. .. 01 01 01 01 01 .. ..\n"
     ".. .. .. .. .. .. 01 .. .. .. ..\n"
     ".. .. .. .. .. .. .. .. .. .. ..\n"},
    {"random parallel lines", 11, 11,
     [](const TStampTarget& t) {
       BrushSettings b = Lines(RandomLinesBrush, 5);
       b.LineThickness = 1;
       b.LineCount = 2;
       b.IntensityVary = 0;
       RandomSeed(3);
       return RenderSegmentStamp(t, b, Segment(RandomLinesBrush, 2, 5, 8, 5, 5, kSolid));
     },
     ".. .. .. .. .. .. .. .. .. .. ..\n"
     ".. .. .. .. .. .. .. .. .. .. ..\n"
     ".. .. .. .. .. .. .. .. .. .. ..\n"
     "FF FF FF FF FF FF FF 01 01 01 ..\n"
     "01 01 01 01 01 01 01 01 01 01 01\n"
     "01 01 01 01 01 01 01 01 01 01 01\n"
     "01 01 FF FF FF FF FF FF FF 01 01\n"
     ".. 01 01 01 01 01 01 01 01 01 ..\n"
     ".. .. .. .. .. .. .. .. .. .. ..\n"
     ".. .. .. .. .. .. .. .. .. .. ..\n"
     ".. .. .. .. .. .. .. .. .. .. ..\n"},
    {"parallel lines with falloff", 11, 13,
     [](const TStampTarget& t) {
       BrushSettings b = Brush(ParallelLinesBrush, 11);
       b.LineCount = 1;
       return RenderSegmentStamp(t, b, Segment(ParallelLinesBrush, 3, 6, 7, 6, 11, 100u << 22));
     },
     ".. .. .. .. .. .. .. .. .. .. ..\n"
     ".. 01 01 01 01 01 01 01 01 01 ..\n"
     "01 01 01 37 37 37 37 37 01 01 01\n"
     "01 01 01 01 01 01 01 01 01 01 01\n"
     "01 01 01 9B 9B 9B 9B 9B 01 01 01\n"
     "01 01 01 01 01 01 01 01 01 01 01\n"
     "01 01 01 FF FF FF FF FF 01 01 01\n"
     "01 01 01 01 01 01 01 01 01 01 01\n"
     "01 01 01 9B 9B 9B 9B 9B 01 01 01\n"
     "01 01 01 01 01 01 01 01 01 01 01\n"
     "01 01 01 37 37 37 37 37 01 01 01\n"
     ".. 01 01 01 01 01 01 01 01 01 ..\n"
     ".. .. .. .. .. .. .. .. .. .. ..\n"},
    {"parallel lines whose falloff runs below 0", 11, 13,
     [](const TStampTarget& t) {
       BrushSettings b = Brush(ParallelLinesBrush, 11);
       b.LineCount = 1;
       return RenderSegmentStamp(t, b, Segment(ParallelLinesBrush, 3, 6, 7, 6, 11, 200u << 22));
     },
     ".. .. .. .. .. .. .. .. .. .. ..\n"
     ".. 01 01 01 01 01 01 01 01 01 ..\n"
     "01 01 01 01 01 01 01 01 01 01 01\n"
     "01 01 01 01 01 01 01 01 01 01 01\n"
     "01 01 01 37 37 37 37 37 01 01 01\n"
     "01 01 01 01 01 01 01 01 01 01 01\n"
     "01 01 01 FF FF FF FF FF 01 01 01\n"
     "01 01 01 01 01 01 01 01 01 01 01\n"
     "01 01 01 37 37 37 37 37 01 01 01\n"
     "01 01 01 01 01 01 01 01 01 01 01\n"
     "01 01 01 01 01 01 01 01 01 01 01\n"
     ".. 01 01 01 01 01 01 01 01 01 ..\n"
     ".. .. .. .. .. .. .. .. .. .. ..\n"},
};

TEST(StampGoldenTest, SolidStylesShareTheSolidDisc) {
  Mask solid(11, 11);
  RenderDiscStamp(solid.Target(), Brush(SolidBrush, 1),
                  Disc(SolidBrush, 5, 5, 3, 1, kSolid, false));
  for (const int style : {RandomLinesBrush, ParallelLinesBrush}) {
    Mask m(11, 11);
    RenderDiscStamp(m.Target(), Lines(style, 7), Disc(style, 5, 5, 3, 1, kSolid, false));
    EXPECT_EQ(WholePicture(m), WholePicture(solid)) << style;
  }
}

TEST(StampGoldenTest, SmallStampsMatchTheirPictures) {
  for (const Golden& g : kGolden) {
    SCOPED_TRACE(g.name);
    Mask m(g.width, g.height);
    const TRectI box = g.render(m.Target());
    EXPECT_GT(box.Width, 0);
    EXPECT_EQ("\n" + WholePicture(m), "\n" + std::string(g.expected));
  }
}

// A stamp drawn with its centre, corner or end points at (x, y).
struct Placed {
  const char* name;
  std::function<TRectI(const TStampTarget&, int, int)> render;
};

std::vector<Placed> AllStamps(bool withBlur) {
  std::vector<Placed> all;
  for (int style = NeonBrush; style <= ParallelLinesBrush; ++style) {
    BrushSettings b = style >= RandomLinesBrush ? Lines(style, 9) : Scratched(style, 9, 3);
    if (withBlur) b = Blurred(b, 5);
    const std::uint32_t step = ComputeFalloffStep(9, 60);
    all.push_back({"disc", [=](const TStampTarget& t, int x, int y) {
                     return RenderDiscStamp(t, b, Disc(style, x, y, 6, 1, step, false));
                   }});
    all.push_back({"disc of 3 rings", [=](const TStampTarget& t, int x, int y) {
                     return RenderDiscStamp(t, b, Disc(style, x, y, 5, 3, step, false));
                   }});
    all.push_back({"hollow disc", [=](const TStampTarget& t, int x, int y) {
                     return RenderDiscStamp(t, b, Disc(style, x, y, 6, 3, step, true));
                   }});
    all.push_back({"segment", [=](const TStampTarget& t, int x, int y) {
                     return RenderSegmentStamp(t, b,
                                               Segment(style, x - 5, y - 3, x + 4, y + 5, 9, step));
                   }});
    all.push_back({"dot segment", [=](const TStampTarget& t, int x, int y) {
                     return RenderSegmentStamp(t, b, Segment(style, x, y, x, y, 1, step));
                   }});
    for (const bool outlined : {false, true}) {
      all.push_back({"rectangle", [=](const TStampTarget& t, int x, int y) {
                       return RenderRectStamp(
                           t, b, Box(style, x - 4, y - 2, x + 4, y + 3, 3, 2, step, outlined));
                     }});
      all.push_back({"ellipse", [=](const TStampTarget& t, int x, int y) {
                       return RenderEllipseStamp(
                           t, b, Box(style, x + 4, y + 3, x - 4, y - 2, 3, 2, step, outlined));
                     }});
    }
  }
  return all;
}

TEST(StampClipTest, PartsInsideTheBitmapMatchTheWholeStamp) {
  // The same stamp drawn whole into a larger bitmap is the oracle for every clipped one.
  constexpr int kSide = 16, kMargin = 24;
  const int positions[] = {-7, -2, 0, 1, 8, 14, 15, 17, 22};
  for (const bool blur : {false, true}) {
    const std::vector<Placed> stamps = AllStamps(blur);
    for (std::size_t i = 0; i < stamps.size(); ++i) {
      for (const int x : positions) {
        for (const int y : positions) {
          SCOPED_TRACE(testing::Message() << stamps[i].name << " #" << i << " at " << x << "," << y
                                          << (blur ? " blurred" : ""));
          Mask whole(kSide + 2 * kMargin, kSide + 2 * kMargin);
          RandomSeed(7 + i);
          const TRectI big = stamps[i].render(whole.Target(), x + kMargin, y + kMargin);
          Mask part(kSide, kSide);
          RandomSeed(7 + i);
          const TRectI small = stamps[i].render(part.Target(), x, y);
          // Where the bitmap's edge cuts a blurred stamp the library's border decides; compare
          // those only away from the edge.
          const int inset = blur ? 3 : 0;
          bool same = true;
          for (int py = inset; py < kSide - inset && same; ++py)
            for (int px = inset; px < kSide - inset && same; ++px)
              same =
                  part.At(px, py, StampPlane) == whole.At(px + kMargin, py + kMargin, StampPlane);
          EXPECT_TRUE(same) << Picture(part, StampPlane, 0, 0, kSide, kSide) << "\nversus\n"
                            << Picture(whole, StampPlane, kMargin, kMargin, kSide, kSide);
          // The clipped box is the whole stamp's box cut to the bitmap.
          const int left = std::max(big.X - kMargin, 0), top = std::max(big.Y - kMargin, 0);
          const int right = std::min(big.X + big.Width - kMargin, kSide);
          const int bottom = std::min(big.Y + big.Height - kMargin, kSide);
          if (left < right && top < bottom) {
            EXPECT_EQ(small.X, left);
            EXPECT_EQ(small.Y, top);
            EXPECT_EQ(small.Width, right - left);
            EXPECT_EQ(small.Height, bottom - top);
          } else {
            EXPECT_EQ(small.Width * small.Height, 0);
          }
        }
      }
    }
  }
}

TEST(StampContainmentTest, OnlyStampPlaneInsideTheBoxChanges) {
  constexpr std::uint8_t kApplied = 0x5A, kContour = 0xA5, kStale = 0x77;
  for (const bool blur : {false, true}) {
    const std::vector<Placed> stamps = AllStamps(blur);
    for (std::size_t i = 0; i < stamps.size(); ++i) {
      for (const int at : {1, 12, 22}) {
        SCOPED_TRACE(testing::Message()
                     << stamps[i].name << " #" << i << " at " << at << (blur ? " blurred" : ""));
        Mask m(24, 20), alone(24, 20);
        m.Fill(kApplied, kContour, kStale);
        RandomSeed(3);
        const TRectI box = stamps[i].render(m.Target(), at, at - 2);
        RandomSeed(3);
        stamps[i].render(alone.Target(), at, at - 2);
        ASSERT_GT(box.Width, 0);
        ASSERT_GT(box.Height, 0);
        EXPECT_GE(box.X, 0);
        EXPECT_GE(box.Y, 0);
        EXPECT_LE(box.X + box.Width, 24);
        EXPECT_LE(box.Y + box.Height, 20);
        int drawn = 0;
        for (int y = 0; y < 20; ++y) {
          for (int x = 0; x < 24; ++x) {
            ASSERT_EQ(m.At(x, y, ContourPlane), kContour) << x << "," << y;
            const std::uint8_t applied = m.At(x, y, AppliedPlane);
            if (!Contains(box, x, y)) {
              ASSERT_EQ(m.At(x, y, StampPlane), kStale) << x << "," << y;
              ASSERT_EQ(applied, kApplied) << x << "," << y;
            } else {
              ASSERT_EQ(m.At(x, y, StampPlane), alone.At(x, y, StampPlane)) << x << "," << y;
              drawn += m.At(x, y, StampPlane) != 0;
              ASSERT_TRUE(applied == kApplied || applied == 0) << x << "," << y;
            }
          }
        }
        // A dot may be scratched away entirely.
        if (std::string(stamps[i].name) != "dot segment") {
          EXPECT_GT(drawn, 0);
        }
      }
    }
  }
}

TEST(StampContainmentTest, OnlyTheSolidSegmentClearsAppliedPlaneAlongItsBand) {
  Mask m(20, 12);
  m.Fill(0x40, 0, 0);
  RenderSegmentStamp(m.Target(), Brush(SolidBrush, 5), Segment(SolidBrush, 5, 6, 14, 6, 5, kSolid));
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 20; ++x)
      EXPECT_EQ(m.At(x, y, AppliedPlane), m.At(x, y, StampPlane) == 255 ? 0 : 0x40)
          << x << "," << y;

  for (int style = NeonBrush; style <= ParallelLinesBrush; ++style) {
    if (style == SolidBrush) continue;
    Mask other(20, 12);
    other.Fill(0x40, 0, 0);
    RenderSegmentStamp(other.Target(), Lines(style, 5), Segment(style, 5, 6, 14, 6, 5, kSolid));
    for (int y = 0; y < 12; ++y)
      for (int x = 0; x < 20; ++x) ASSERT_EQ(other.At(x, y, AppliedPlane), 0x40) << style;
  }
}

TEST(StampClipTest, StampsWhollyOutsideOrFarAwayChangeNothing) {
  const BrushSettings neon = Brush(NeonBrush, 100);
  const BrushSettings splash = Lines(SplashBrush, 100);
  const std::vector<std::function<TRectI(const TStampTarget&)>> renders = {
      [&](const TStampTarget& t) {
        return RenderDiscStamp(t, neon, Disc(NeonBrush, -60, 5, 50, 1, kSolid, false));
      },
      [&](const TStampTarget& t) {
        return RenderDiscStamp(t, neon, Disc(SolidBrush, 5, 200, 50, 100, kSolid, true));
      },
      [&](const TStampTarget& t) {
        return RenderDiscStamp(t, splash,
                               Disc(SplashBrush, INT_MAX, INT_MIN, 50, 1, kSolid, false));
      },
      [&](const TStampTarget& t) {
        return RenderDiscStamp(t, neon,
                               Disc(NeonBrush, INT_MIN, INT_MAX, INT_MAX, INT_MAX, kSolid, false));
      },
      [&](const TStampTarget& t) {
        return RenderSegmentStamp(t, neon,
                                  Segment(NeonBrush, INT_MIN, 0, INT_MIN, 20, 100, kSolid));
      },
      [&](const TStampTarget& t) {
        return RenderSegmentStamp(
            t, splash, Segment(CurvedLinesBrush, 200, 200, INT_MAX, INT_MAX, 100, kSolid));
      },
      [&](const TStampTarget& t) {
        return RenderRectStamp(
            t, neon, Box(NeonBrush, INT_MIN, INT_MIN, -200, -200, 100, 50, kSolid, false));
      },
      [&](const TStampTarget& t) {
        return RenderEllipseStamp(t, neon,
                                  Box(SolidBrush, 300, 0, INT_MAX, 10, 100, 5, kSolid, true));
      },
  };
  for (std::size_t i = 0; i < renders.size(); ++i) {
    SCOPED_TRACE(i);
    Mask m(30, 20);
    m.Fill(1, 2, 3);
    const TRectI box = renders[i](m.Target());
    EXPECT_EQ(box.Width * box.Height, 0);
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 30; ++x) ASSERT_EQ(m.At(x, y, StampPlane), 3);
  }
}

TEST(StampClipTest, HugeStampsAcrossTheBitmapStayInside) {
  // Shapes far larger than the bitmap, or reaching to the ends of the coordinate range, still
  // draw their visible part and nothing else.
  const BrushSettings neon = Brush(NeonBrush, 100);
  struct Case {
    const char* name;
    std::function<TRectI(const TStampTarget&)> render;
    std::uint8_t centre;  // StampPlane at (15, 10)
  };
  const Case cases[] = {
      {"segment across everything",
       [&](const TStampTarget& t) {
         return RenderSegmentStamp(
             t, neon, Segment(SolidBrush, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 100, kSolid));
       },
       255},
      {"rectangle of the whole range",
       [&](const TStampTarget& t) {
         return RenderRectStamp(
             t, neon, Box(SolidBrush, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 100, 50, kSolid, false));
       },
       255},
      {"neon ellipse far larger",
       [&](const TStampTarget& t) {
         return RenderEllipseStamp(t, neon,
                                   Box(NeonBrush, -5000, -5000, 5000, 5000, 100, 5000,
                                       ComputeFalloffStep(100, 100), false));
       },
       255},
      {"outline far outside the bitmap",
       [&](const TStampTarget& t) {
         return RenderRectStamp(t, neon,
                                Box(SolidBrush, -5000, -5000, 5000, 5000, 100, 5000, kSolid, true));
       },
       0},
      {"graded segment across everything",
       [&](const TStampTarget& t) {
         return RenderSegmentStamp(t, neon,
                                   Segment(NeonBrush, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 100,
                                           ComputeFalloffStep(100, 100)));
       },
       RingValue(93, ComputeFalloffStep(100, 100))},
      {"largest neon disc",
       [&](const TStampTarget& t) {
         return RenderDiscStamp(t, neon, Disc(NeonBrush, 15, 10, 100, 1, kSolid, false));
       },
       255},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Mask m(30, 20);
    const TRectI box = c.render(m.Target());
    EXPECT_EQ(box.X, 0);
    EXPECT_EQ(box.Y, 0);
    EXPECT_EQ(box.Width, 30);
    EXPECT_EQ(box.Height, 20);
    EXPECT_EQ(m.At(15, 10, StampPlane), c.centre);
  }
}

// Mirrors and the transpose of a picture of odd side about its centre.
TEST(StampSymmetryTest, DiscsAreSymmetricAboutTheirCentre) {
  for (const int style : {NeonBrush, SolidBrush}) {
    for (const bool hollow : {false, true}) {
      for (int r = 1; r <= 14; ++r) {
        for (const int rings : {1, 2, 5}) {
          SCOPED_TRACE(testing::Message() << "style " << style << " radius " << r << " rings "
                                          << rings << (hollow ? " hollow" : ""));
          const int side = 2 * r + 9, c = side / 2;
          Mask m(side, side);
          RenderDiscStamp(m.Target(), Brush(style, 2 * r),
                          Disc(style, c, c, r, rings, ComputeFalloffStep(rings + 1, 100), hollow));
          bool symmetric = true;
          for (int y = 0; y < side && symmetric; ++y) {
            for (int x = 0; x < side && symmetric; ++x) {
              const std::uint8_t v = m.At(x, y, StampPlane);
              symmetric = v == m.At(side - 1 - x, y, StampPlane) &&
                          v == m.At(x, side - 1 - y, StampPlane) && v == m.At(y, x, StampPlane);
            }
          }
          EXPECT_TRUE(symmetric) << WholePicture(m);
          EXPECT_NE(m.At(c + r, c, StampPlane), 0);
          EXPECT_EQ(m.At(c + r + 2 + rings / 2, c, StampPlane), 0);
        }
      }
    }
  }
}

// The mean of the kernel's neighbourhood, rounded to nearest, over a plane held apart.
std::vector<int> BoxBlur(const std::vector<int>& plane, int width, int height, int kernel) {
  std::vector<int> out(plane.size(), 0);
  const int a = (kernel - 1) / 2;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int sum = 0;
      for (int j = 0; j < kernel; ++j) {
        for (int i = 0; i < kernel; ++i) {
          const int sx = x - a + i, sy = y - a + j;
          if (sx >= 0 && sy >= 0 && sx < width && sy < height) sum += plane[sy * width + sx];
        }
      }
      const int n = kernel * kernel;
      out[y * width + x] = (sum + n / 2) / n;
    }
  }
  return out;
}

TEST(StampBlurTest, BlurSpreadsTheStampAloneWithinItsBox) {
  for (const int kernel : {3, 5, 9}) {
    SCOPED_TRACE(kernel);
    constexpr int kSide = 40;
    const BrushSettings plain = Brush(SolidBrush, 12);
    const BrushSettings blurred = Blurred(plain, kernel);
    const TDiscStamp disc = Disc(SolidBrush, 20, 19, 6, 1, kSolid, false);
    Mask sharp(kSide, kSide);
    RenderDiscStamp(sharp.Target(), plain, disc);
    std::vector<int> plane(kSide * kSide);
    for (int y = 0; y < kSide; ++y)
      for (int x = 0; x < kSide; ++x) plane[y * kSide + x] = sharp.At(x, y, StampPlane);
    const std::vector<int> expected = BoxBlur(plane, kSide, kSide, kernel);

    // Old values all around must not bleed into the new stamp.
    Mask m(kSide, kSide);
    m.Fill(0, 0, 200);
    const TRectI box = RenderDiscStamp(m.Target(), blurred, disc);
    int differences = 0;
    for (int y = 0; y < kSide; ++y) {
      for (int x = 0; x < kSide; ++x) {
        if (Contains(box, x, y)) {
          differences += m.At(x, y, StampPlane) != expected[y * kSide + x];
        } else {
          EXPECT_EQ(expected[y * kSide + x], 0) << "the box misses the blur at " << x << "," << y;
        }
      }
    }
    EXPECT_EQ(differences, 0) << Picture(m, StampPlane, box.X, box.Y, box.Width, box.Height);
    EXPECT_GT(m.At(20 - 7, 19, StampPlane), 0);
  }
}

TEST(StampBlurTest, NoHeaderOverTheMaskMeansNoBlur) {
  Mask m(30, 30), sharp(30, 30);
  const TDiscStamp disc = Disc(SolidBrush, 15, 15, 5, 1, kSolid, false);
  const BrushSettings blurred = Blurred(Brush(SolidBrush, 10), 5);
  RenderDiscStamp({m.Bitmap, nullptr}, blurred, disc);
  RenderDiscStamp(sharp.Target(), Brush(SolidBrush, 10), disc);
  EXPECT_EQ(WholePicture(m), WholePicture(sharp));
  TIplHeader other = CreateImageHeader(30, 30);
  RenderDiscStamp({m.Bitmap, other.get()}, blurred, disc);
  EXPECT_EQ(WholePicture(m), WholePicture(sharp));
}

TEST(StampLinesTest, LineStylesPaintOnlyLineValuesOverTheirBand) {
  for (const int style : {RandomLinesBrush, SplashBrush, CurvedLinesBrush, ParallelLinesBrush}) {
    for (const int vary : {0, 1, 40, 255}) {
      for (int variant = 0; variant <= 3; ++variant) {
        SCOPED_TRACE(testing::Message()
                     << "style " << style << " vary " << vary << " variant " << variant);
        BrushSettings b = Lines(style, 15);
        b.IntensityVary = vary;
        b.LineVariant = variant;
        b.FalloffPercent = 0;
        Mask m(40, 40);
        RandomSeed(11);
        RenderSegmentStamp(m.Target(), b, Segment(style, 10, 12, 28, 26, 15, kSolid));
        int lines = 0;
        for (int y = 0; y < 40; ++y) {
          for (int x = 0; x < 40; ++x) {
            const int v = m.At(x, y, StampPlane);
            if (v > 1) {
              ++lines;
              EXPECT_GE(v, vary == 0 ? 255 : 256 - vary) << x << "," << y;
            }
          }
        }
        EXPECT_GT(lines, 0);
        if (vary == 0) {
          Mask again(40, 40);
          RandomSeed(11);
          RenderSegmentStamp(again.Target(), b, Segment(style, 10, 12, 28, 26, 15, kSolid));
          EXPECT_EQ(WholePicture(m), WholePicture(again));
        }
      }
    }
  }
}

TEST(StampLinesTest, SplashDiscsKeepTheirLinesInsideTheCircle) {
  for (const int style : {SplashBrush, CurvedLinesBrush}) {
    SCOPED_TRACE(style);
    BrushSettings b = Lines(style, 20);
    b.LineThickness = 1;
    b.LineCount = 10;
    Mask m(41, 41);
    RandomSeed(5);
    const TRectI box = RenderDiscStamp(m.Target(), b, Disc(style, 20, 20, 10, 1, kSolid, false));
    EXPECT_GT(box.Width, 0);
    int lines = 0;
    for (int y = 0; y < 41; ++y) {
      for (int x = 0; x < 41; ++x) {
        const int v = m.At(x, y, StampPlane);
        if (v == 0) continue;
        lines += v == 255;
        // The band and the lines around the tiny segment (20, 20)-(21, 21).
        const double dx = x - 20.5, dy = y - 20.5;
        EXPECT_LE(dx * dx + dy * dy, 12.5 * 12.5) << x << "," << y;
      }
    }
    EXPECT_GT(lines, 8);
  }
}

TEST(StampLinesTest, ScratchesOnlyRemovePaintFromTheBand) {
  for (const int style : {NeonBrush, SolidBrush}) {
    Mask plain(40, 30);
    RenderSegmentStamp(plain.Target(), Brush(style, 11), Segment(style, 8, 15, 31, 15, 11, kSolid));
    for (int variant = 1; variant <= 5; ++variant) {
      SCOPED_TRACE(testing::Message() << "style " << style << " variant " << variant);
      Mask m(40, 30);
      RandomSeed(variant);
      RenderSegmentStamp(m.Target(), Scratched(style, 11, variant),
                         Segment(style, 8, 15, 31, 15, 11, kSolid));
      int removed = 0;
      for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
          const int v = m.At(x, y, StampPlane), p = plain.At(x, y, StampPlane);
          ASSERT_TRUE(v == p || v == 0) << x << "," << y;
          removed += v != p;
        }
      }
      EXPECT_GT(removed, 0);
    }
  }
}

TEST(StampRampTest, SolidStepAndFullFalloffReachTheCentreLine) {
  // No falloff: the neon band is solid; 100 %: 255 only on the centre line.
  Mask solid(30, 21), ramp(30, 21);
  RenderSegmentStamp(solid.Target(), Brush(NeonBrush, 9),
                     Segment(NeonBrush, 6, 10, 23, 10, 9, kSolid));
  RenderSegmentStamp(ramp.Target(), Brush(NeonBrush, 9),
                     Segment(NeonBrush, 6, 10, 23, 10, 9, ComputeFalloffStep(9, 100)));
  for (int y = 6; y <= 14; ++y) {
    EXPECT_EQ(solid.At(15, y, StampPlane), 255) << y;
    EXPECT_EQ(ramp.At(15, y, StampPlane),
              RingValue(10 - 2 * std::abs(y - 10), ComputeFalloffStep(9, 100)))
        << y;
  }
  EXPECT_EQ(solid.At(15, 5, StampPlane), 0);
  EXPECT_EQ(ramp.At(15, 5, StampPlane), 0);
}

// The ramp drawn the plain way, ring over ring with the span shapes, each filled ring with its
// two-pixel outline.
Mask RampByRings(int width, int height, int left, int top, int right, int bottom, int rings,
                 std::uint32_t step, bool ellipse) {
  Mask m(width, height);
  for (int k = 1; k <= rings && left + k - 1 <= right - k + 1 && top + k - 1 <= bottom - k + 1;
       ++k) {
    TSpanShape ring(width, height);
    const int l = left + k - 1, t = top + k - 1, r = right - k + 1, b = bottom - k + 1;
    if (ellipse) {
      ring.AddFilledEllipse(l, t, r, b, 2);
    } else {
      ring.AddFilledRect(l, t, r, b);
      ring.AddRectFrame(l, t, r, b, 2);
    }
    ring.Apply(m.Bitmap, StampPlane, TPlaneOp::Set, RingValue(k, step));
    if (RingValue(k, step) == 255) break;
  }
  return m;
}

TEST(StampRampTest, FilledRampsEqualTheirRingsDrawnOneOverAnother) {
  for (int r = 1; r <= 12; ++r) {
    for (const int rings : {1, 3, 30}) {
      SCOPED_TRACE(testing::Message() << "disc radius " << r << " rings " << rings);
      const std::uint32_t step = ComputeFalloffStep(rings, 100);
      Mask m(32, 30);
      RenderDiscStamp(m.Target(), Brush(NeonBrush, 1),
                      Disc(NeonBrush, 15, 14, r, rings, step, false));
      const Mask expected =
          rings == 1
              ? RampByRings(32, 30, 15 - r, 14 - r, 15 + r, 14 + r, r, kSolid / r, true)
              : RampByRings(32, 30, 15 - r, 14 - r, 15 + r, 14 + r, std::min(rings, r), step, true);
      EXPECT_EQ(WholePicture(m), WholePicture(expected));
    }
  }
  struct Shape {
    int x1, y1, x2, y2, w, half;
  };
  const Shape boxes[] = {{10, 8, 20, 14, 1, 3},
                         {4, 4, 26, 20, 5, 8},
                         {12, 6, 13, 22, 4, 1},
                         {6, 10, 25, 12, 7, 1},
                         {15, 12, 15, 12, 3, 1}};
  for (const Shape& b : boxes) {
    for (const bool ellipse : {false, true}) {
      SCOPED_TRACE(testing::Message() << (ellipse ? "ellipse " : "rectangle ") << b.x1 << ","
                                      << b.y1 << " - " << b.x2 << "," << b.y2 << " width " << b.w);
      const std::uint32_t step = ComputeFalloffStep(b.w, 70);
      Mask m(32, 30);
      const TBoxStamp stamp = Box(NeonBrush, b.x2, b.y1, b.x1, b.y2, b.w, b.half, step, false);
      if (ellipse) {
        RenderEllipseStamp(m.Target(), Brush(NeonBrush, b.w), stamp);
      } else {
        RenderRectStamp(m.Target(), Brush(NeonBrush, b.w), stamp);
      }
      const int g = b.w / 2;
      const Mask expected =
          b.w == 1
              ? RampByRings(32, 30, b.x1, b.y1, b.x2, b.y2, b.half, kSolid / b.half, ellipse)
              : RampByRings(32, 30, b.x1 - g, b.y1 - g, b.x2 + g, b.y2 + g, b.w, step, ellipse);
      EXPECT_EQ(WholePicture(m), WholePicture(expected));
    }
  }
}

// The innermost pen of the ramp covering (x, y), by exact integer arithmetic: pen w covers the
// pixels within w / 2 of the segment.
int InnermostPen(int x, int y, int x1, int y1, int x2, int y2, int width) {
  const std::int64_t dx = x2 - x1, dy = y2 - y1, px = x - x1, py = y - y1;
  const std::int64_t dot = px * dx + py * dy, length2 = dx * dx + dy * dy;
  for (int w = 1; w <= width; ++w) {
    bool covered;
    if (length2 == 0 || dot <= 0) {
      covered = 4 * (px * px + py * py) <= std::int64_t{w} * w;
    } else if (dot >= length2) {
      const std::int64_t qx = x - x2, qy = y - y2;
      covered = 4 * (qx * qx + qy * qy) <= std::int64_t{w} * w;
    } else {
      const std::int64_t cross = px * dy - py * dx;
      covered = 4 * cross * cross <= std::int64_t{w} * w * length2;
    }
    if (covered) return w;
  }
  return 0;
}

TEST(StampRampTest, GradedSegmentsFollowTheDistanceFromTheirPath) {
  struct Case {
    int x1, y1, x2, y2, width, percent;
  };
  const Case cases[] = {
      {10, 10, 30, 22, 9, 100}, {30, 5, 12, 27, 12, 100}, {20, 16, 20, 16, 11, 100},
      {5, 20, 35, 20, 8, 50},   {18, 3, 21, 30, 15, 30},  {14, 14, 26, 26, 2, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x1 << "," << c.y1 << " - " << c.x2 << "," << c.y2
                                    << " width " << c.width << " falloff " << c.percent);
    const std::uint32_t step = ComputeFalloffStep(c.width, c.percent);
    Mask m(40, 32);
    RenderSegmentStamp(m.Target(), Brush(NeonBrush, c.width),
                       Segment(NeonBrush, c.x1, c.y1, c.x2, c.y2, c.width, step));
    int wrong = 0;
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < 40; ++x) {
        const int pen = InnermostPen(x, y, c.x1, c.y1, c.x2, c.y2, c.width);
        const int expected = pen == 0 ? 0 : RingValue(c.width - pen + 1, step);
        wrong += m.At(x, y, StampPlane) != expected;
      }
    }
    EXPECT_EQ(wrong, 0) << WholePicture(m);
  }
}

TEST(ClearStampRectTest, ClearsTheRectangleAndHalfThePenAround) {
  for (const bool keep : {true, false}) {
    Mask m(12, 10);
    m.Fill(9, 8, 7);
    const TRectI r = ClearStampRect(m.Bitmap, 8, 6, 3, 2, 5, keep);
    EXPECT_EQ(r.X, 1);
    EXPECT_EQ(r.Y, 0);
    EXPECT_EQ(r.Width, 10);
    EXPECT_EQ(r.Height, 9);
    for (int y = 0; y < 10; ++y) {
      for (int x = 0; x < 12; ++x) {
        const bool in = Contains(r, x, y);
        EXPECT_EQ(m.At(x, y, StampPlane), in ? 0 : 7);
        EXPECT_EQ(m.At(x, y, AppliedPlane), in && !keep ? 0 : 9);
        EXPECT_EQ(m.At(x, y, ContourPlane), 8);
      }
    }
  }
  Mask m(12, 10);
  const TRectI none = ClearStampRect(m.Bitmap, INT_MIN, INT_MIN, -3, -3, 4, false);
  EXPECT_EQ(none.Width * none.Height, 0);
}

}  // namespace
