// The stroke engine: where stamps go along a drag, how often a pixel is applied, fading,
// wrapping, contour clipping, and the stroke as one undo step.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "app/Document.h"
#include "app/EditorState.h"
#include "app/Random.h"
#include "paint/Stroke.h"

using namespace korvane;

namespace {

constexpr TColor kGray = 0x00808080;
constexpr TColor kRed = 0x000000FF;

struct Canvas {
  TDocument Doc;
  TEditorState Editor;

  explicit Canvas(int width = 100, int height = 80, TColor background = kGray) {
    EXPECT_TRUE(Doc.LoadOrCreate(width, height, background));
    Editor.SetDefaultColors();
    SetColorRecord(Editor.ForeColor, kRed);
    Editor.Brush.BrushStyle = SolidBrush;
    Editor.Brush.BrushSize = 6;
    Editor.Brush.FalloffStep = kSolidFalloffStep;
    RandomSeed(7);
  }

  // Blue, green, red of the pixel at (x, y), y from the top.
  std::uint32_t Work(int x, int y) const { return Bytes(Doc.WorkBitmap(), x, y); }
  std::uint32_t Clean(int x, int y) const { return Bytes(Doc.CleanBitmap(), x, y); }
  static std::uint32_t Bytes(const TDib& bmp, int x, int y) {
    const std::uint8_t* p = bmp.ScanLine(y) + 3 * x;
    return std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
  }
  std::uint8_t& MaskAt(int x, int y, int plane) {
    return Doc.MaskBitmap().ScanLine(y)[3 * x + plane];
  }
  bool Painted(int x, int y) const { return Work(x, y) != Clean0(); }
  std::uint32_t Clean0() const { return 0x808080; }
};

bool SameBitmap(const TDib& a, const TDib& b) {
  return a.Width() == b.Width() && a.Height() == b.Height() &&
         std::memcmp(a.Rows(), b.Rows(), a.ByteSize()) == 0;
}

PixelRoutine PaintForeground() {
  return [](TWriteBack& wb) { wb.WriteBrushPixel(); };
}

// Counts the applications per pixel: an application is one where the stamp is stronger than
// what the stroke already applied there.
struct ApplyCounter {
  std::map<std::pair<int, int>, int> Count;  // (column, memory row)
  PixelRoutine Routine() {
    return [this](TWriteBack& wb) {
      if (wb.CurMask[AppliedPlane] >= wb.CurMask[StampPlane]) return;
      ++Count[{wb.CurX, wb.CurY}];
      wb.CurMask[AppliedPlane] = wb.CurMask[StampPlane];
      wb.CurWork[0] = static_cast<std::uint8_t>(wb.CurWork[0] / 2);
    };
  }
  int At(const TDocument& doc, int x, int y) const {
    const auto it = Count.find({x, doc.ImageHeight() - 1 - y});
    return it == Count.end() ? 0 : it->second;
  }
};

TEST(StrokeGeometry, MeasureSegmentAnglesInEveryQuadrant) {
  struct Case {
    double x2, y2, angle;
  } cases[] = {{10, 0, 0}, {0, -10, 90}, {-10, 0, 180}, {0, 10, -90},
               {10, -10, 45}, {-10, -10, 135}, {-10, 10, -135}, {10, 10, -45}};
  for (const Case& c : cases) {
    TSegmentInfo s;
    MeasureSegment(s, 0, 0, c.x2, c.y2);
    EXPECT_NEAR(s.Angle, c.angle, 1e-9) << c.x2 << "," << c.y2;
    PointAtDistance(s, s.Length, s.Angle);
    EXPECT_NEAR(s.Px, c.x2, 1e-9);
    EXPECT_NEAR(s.Py, c.y2, 1e-9);
  }
  TSegmentInfo zero;
  MeasureSegment(zero, 5, 5, 5, 5);
  EXPECT_EQ(zero.Length, 0);
  EXPECT_EQ(zero.Angle, 0);
}

TEST(StrokeGeometry, RotateEndPointTurnsAboutTheStart) {
  TSegmentInfo s;
  MeasureSegment(s, 10, 10, 20, 10);
  RotateEndPoint(s, 90);  // positive degrees turn clockwise as the picture is seen
  EXPECT_NEAR(s.Px, 10, 1e-9);
  EXPECT_NEAR(s.Py, 20, 1e-9);
  RotateEndPoint(s, -90);
  EXPECT_NEAR(s.Px, 10, 1e-9);
  EXPECT_NEAR(s.Py, 0, 1e-9);
}

TEST(StrokeMask, ClearingKeepsTheContourOnEveryWidth) {
  for (int width : {1, 7, 8, 9, 33}) {
    TDib mask;
    ASSERT_TRUE(mask.SetSize(width, 3));
    for (int r = 0; r < 3; ++r)
      for (int i = 0; i < mask.Stride(); ++i) mask.Row(r)[i] = static_cast<std::uint8_t>(i + 1);
    ClearStrokePlanes(mask);
    for (int r = 0; r < 3; ++r)
      for (int x = 0; x < width; ++x) {
        const std::uint8_t* p = mask.Row(r) + 3 * x;
        EXPECT_EQ(p[AppliedPlane], 0) << width;
        EXPECT_EQ(p[StampPlane], 0) << width;
        EXPECT_EQ(p[ContourPlane], 3 * x + 2) << width;
      }
  }
}

class StrokeModes : public ::testing::TestWithParam<bool> {};

TEST_P(StrokeModes, AStrokeThatNeverMovesChangesNothing) {
  Canvas c;
  TDib before;
  ASSERT_TRUE(before.Assign(c.Doc.WorkBitmap()));
  TStroke stroke(c.Doc, c.Editor);
  stroke.Pixel = PaintForeground();
  stroke.Circles = GetParam();
  stroke.BeginStroke(40, 40);
  stroke.EndStroke(40, 40);
  EXPECT_TRUE(SameBitmap(c.Doc.WorkBitmap(), before));
  EXPECT_TRUE(SameBitmap(c.Doc.CleanBitmap(), before));
}

TEST_P(StrokeModes, UndoAfterAStrokeRestoresTheImageExactly) {
  Canvas c;
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 100; ++x) {
      std::uint8_t* p = c.Doc.CleanBitmap().ScanLine(y) + 3 * x;
      p[0] = static_cast<std::uint8_t>(x * 3 + y);
      p[1] = static_cast<std::uint8_t>(x ^ y);
      p[2] = static_cast<std::uint8_t>(y * 5);
    }
  c.Doc.RestoreWork();
  TDib before;
  ASSERT_TRUE(before.Assign(c.Doc.CleanBitmap()));
  c.Editor.Brush.Capacity = CapacityFromPercent(50);
  c.Editor.Brush.BrushStyle = NeonBrush;
  c.Editor.Brush.BrushSize = 12;
  TStroke stroke(c.Doc, c.Editor);
  stroke.Pixel = PaintForeground();
  stroke.Circles = GetParam();
  stroke.BeginStroke(10, 10);
  stroke.ContinueStroke(50, 30);
  stroke.ContinueStroke(80, 60);
  stroke.EndStroke(80, 60);
  ASSERT_FALSE(SameBitmap(c.Doc.CleanBitmap(), before));
  EXPECT_TRUE(SameBitmap(c.Doc.CleanBitmap(), c.Doc.WorkBitmap()));  // committed
  c.Doc.Undo();
  EXPECT_TRUE(SameBitmap(c.Doc.WorkBitmap(), before));
  EXPECT_TRUE(SameBitmap(c.Doc.CleanBitmap(), before));
}

TEST_P(StrokeModes, AStrokePartlyOrWhollyOutsideTheImage) {
  Canvas c;
  TStroke stroke(c.Doc, c.Editor);
  stroke.Pixel = PaintForeground();
  stroke.Circles = GetParam();
  stroke.BeginStroke(-30, 10);
  stroke.ContinueStroke(20, 10);
  stroke.ContinueStroke(130, 10);
  EXPECT_TRUE(c.Painted(GetParam() ? 20 : 2, 10));
  stroke.ContinueStroke(-500, -500);
  stroke.ContinueStroke(INT_MAX, INT_MIN);
  stroke.ContinueStroke(INT_MIN, INT_MAX);
  stroke.EndStroke(INT_MIN, INT_MAX);
  EXPECT_FALSE(c.Painted(50, 60));
  EXPECT_TRUE(SameBitmap(c.Doc.CleanBitmap(), c.Doc.WorkBitmap()));
}

TEST_P(StrokeModes, StrayBrushValuesStayBounded) {
  Canvas c;
  c.Editor.Brush.BrushSize = INT_MAX;
  c.Editor.Brush.SizeVary = 1.0;
  c.Editor.Brush.Jitter = INT_MAX;
  c.Editor.Brush.RepeatCount = 2;
  c.Editor.Brush.BlurMargin = INT_MAX;
  c.Editor.Brush.FadeType = 2;
  c.Editor.Brush.FadeSize = INT_MAX;
  TStroke stroke(c.Doc, c.Editor);
  stroke.Pixel = PaintForeground();
  stroke.Circles = GetParam();
  stroke.WrapFreeHand = true;
  stroke.BeginStroke(50, 40);
  stroke.ContinueStroke(52, 40);
  stroke.BeginStroke(50, 40);  // a second press without a release ends the open stroke first
  EXPECT_TRUE(SameBitmap(c.Doc.CleanBitmap(), c.Doc.WorkBitmap()));
  stroke.ContinueStroke(INT_MAX, 40);
  stroke.EndStroke(0, 0);
  EXPECT_TRUE(SameBitmap(c.Doc.CleanBitmap(), c.Doc.WorkBitmap()));
  EXPECT_EQ(c.Editor.Brush.BrushSize, INT_MAX);  // the live brush is left as it was
}

INSTANTIATE_TEST_SUITE_P(SegmentsAndCircles, StrokeModes, ::testing::Bool(),
                         [](const auto& param) { return param.param ? "Circles" : "Segments"; });

TEST(StrokeEngine, PaintsFromTheImageAsItWasAtThePress) {
  Canvas c;
  c.Editor.Brush.Capacity = CapacityFromPercent(50);
  TStroke stroke(c.Doc, c.Editor);
  stroke.Pixel = PaintForeground();
  stroke.BeginStroke(10, 40);
  stroke.ContinueStroke(50, 40);
  stroke.ContinueStroke(10, 40);  // back over the same pixels
  stroke.ContinueStroke(50, 40);
  const std::uint32_t once = c.Work(30, 40);
  EXPECT_NE(once, c.Clean0());
  EXPECT_EQ(c.Clean(30, 40), c.Clean0());  // nothing committed before the release
  stroke.EndStroke(50, 40);
  EXPECT_EQ(c.Clean(30, 40), once);
  // Half of red over gray: blue and green 0x80 / 2, red 0x80 / 2 + 0xFF / 2, give or take one.
  EXPECT_NEAR(static_cast<int>(once >> 16), 0x40, 1);
  EXPECT_NEAR(static_cast<int>(once & 0xFF), 0xBF, 1);
}

TEST(StrokeEngine, CircleModeStampsAtThePreviousPointNotTheRelease) {
  Canvas c;
  TStroke stroke(c.Doc, c.Editor);
  stroke.Pixel = PaintForeground();
  stroke.Circles = true;
  stroke.BeginStroke(20, 20);
  stroke.ContinueStroke(60, 20);
  EXPECT_TRUE(c.Painted(20, 20));
  EXPECT_FALSE(c.Painted(40, 20));  // discs, not a band between the points
  EXPECT_FALSE(c.Painted(60, 20));
  stroke.EndStroke(60, 20);
  EXPECT_FALSE(c.Painted(60, 20));
}

TEST(StrokeEngine, OverlapsBuildUpOnlyWithConnectedDrawingOff) {
  for (bool connected : {true, false}) {
    Canvas c;
    c.Editor.Brush.ConnectedDrawing = connected;
    c.Editor.Brush.BrushSize = 10;
    ApplyCounter counter;
    TStroke stroke(c.Doc, c.Editor);
    stroke.Pixel = counter.Routine();
    stroke.Circles = true;
    stroke.BeginStroke(30, 30);
    stroke.ContinueStroke(33, 30);  // disc at 30
    stroke.ContinueStroke(36, 30);  // disc at 33, overlapping it
    stroke.EndStroke(36, 30);
    EXPECT_EQ(counter.At(c.Doc, 31, 30), connected ? 1 : 2) << connected;
    EXPECT_EQ(counter.At(c.Doc, 27, 30), 1) << connected;  // the first disc alone
    EXPECT_EQ(c.Work(31, 30) >> 16, connected ? 0x40u : 0x20u) << connected;
  }
}

TEST(StrokeEngine, SolidSegmentsApplyTheirJointsAgain) {
  struct Case {
    int style;
    int joint;  // applications at the joint
  } cases[] = {{SolidBrush, 2}, {NeonBrush, 1}};
  for (const Case& k : cases) {
    Canvas c;
    c.Editor.Brush.BrushStyle = k.style;
    c.Editor.Brush.BrushSize = 6;
    c.Editor.Brush.FalloffStep = ComputeFalloffStep(6, 100);
    ApplyCounter counter;
    TStroke stroke(c.Doc, c.Editor);
    stroke.Pixel = counter.Routine();
    stroke.BeginStroke(10, 20);
    stroke.ContinueStroke(30, 20);
    stroke.ContinueStroke(50, 20);
    stroke.EndStroke(50, 20);
    EXPECT_EQ(counter.At(c.Doc, 30, 20), k.joint) << k.style;
    EXPECT_EQ(counter.At(c.Doc, 20, 20), 1) << k.style;
    EXPECT_EQ(counter.At(c.Doc, 40, 20), 1) << k.style;
  }
}

TEST(StrokeEngine, StampsPerEventFollowJitterAndRepeat) {
  struct Case {
    int jitter, repeat, perEvent;
  } cases[] = {{0, 0, 1}, {0, 7, 1}, {3, 0, 1}, {3, 4, 5}};
  for (const Case& k : cases) {
    Canvas c;
    c.Editor.Brush.Jitter = k.jitter;
    c.Editor.Brush.RepeatCount = k.repeat;
    int stamps = 0;
    std::vector<std::pair<int, int>> corners;
    TStroke stroke(c.Doc, c.Editor);
    stroke.Pixel = PaintForeground();
    stroke.Circles = true;
    stroke.Stamp = [&](TStroke& s) {
      ++stamps;
      corners.emplace_back(s.StrokeX1, s.StrokeY1);
      s.BrushStampRoutine();
    };
    stroke.BeginStroke(50, 40);
    stroke.ContinueStroke(52, 40);
    stroke.ContinueStroke(54, 40);
    stroke.EndStroke(54, 40);
    EXPECT_EQ(stamps, 2 * k.perEvent) << k.jitter << " " << k.repeat;
    // Each displacement is at most the jitter from the one before.
    for (std::size_t i = 1; i < corners.size() && k.jitter > 0; ++i) {
      if (i % static_cast<std::size_t>(k.perEvent) == 0) continue;  // a new event
      EXPECT_LE(std::abs(corners[i].first - corners[i - 1].first), k.jitter);
      EXPECT_LE(std::abs(corners[i].second - corners[i - 1].second), k.jitter);
    }
    if (k.jitter == 0) {
      EXPECT_EQ(corners[0], std::make_pair(50 - 5, 40 - 5));  // radius 3 + 2
    }
  }
}

TEST(StrokeEngine, FadingChangesTheSizeOncePerEvent) {
  struct Case {
    int type, size, fade;
    std::vector<int> sizes;  // after each event
  } cases[] = {
      {1, 6, 6, {6, 6, 6, 6}},
      {1, 6, 4, {5, 4, 4, 4}},
      {2, 6, 4, {5, 6, 6, 6}},
      {3, 6, 4, {5, 4, 4, 5, 6, 6, 5}},
      {4, 6, 4, {5, 6, 6, 5, 4, 4, 5}},
      {3, 6, 6, {6, 6, 6}},
      {1, 6, 9, {6, 6, 6}},  // a fade size above the brush size stays at the brush size
  };
  for (const Case& k : cases) {
    Canvas c;
    c.Editor.Brush.FadeType = k.type;
    c.Editor.Brush.BrushSize = k.size;
    c.Editor.Brush.FadeSize = k.fade;
    TStroke stroke(c.Doc, c.Editor);
    stroke.Pixel = PaintForeground();
    stroke.BeginStroke(10, 10);
    std::vector<int> seen;
    for (std::size_t i = 0; i < k.sizes.size(); ++i) {
      stroke.ContinueStroke(10 + 2 * static_cast<int>(i), 10);
      seen.push_back(stroke.Brush().BrushSize);
    }
    EXPECT_EQ(seen, k.sizes) << "type " << k.type;
    stroke.EndStroke(0, 0);
    EXPECT_EQ(stroke.Brush().BrushSize, k.size);
    EXPECT_EQ(c.Editor.Brush.BrushSize, k.size);
  }
  Canvas c;  // not a free-hand stroke: no fading
  c.Editor.Brush.FadeType = 1;
  c.Editor.Brush.FadeSize = 2;
  TStroke stroke(c.Doc, c.Editor);
  stroke.FreeHand = false;
  stroke.BeginStroke(10, 10);
  stroke.ContinueStroke(12, 10);
  EXPECT_EQ(stroke.Brush().BrushSize, 6);
}

TEST(StrokeEngine, WrappingMovesByWidthAndHeightLessOne) {
  struct Case {
    int x1, y1, x2, y2;
    bool moved;
    int wx1, wy1, wx2, wy2;
  } cases[] = {
      {90, 40, 110, 40, true, -9, 40, 11, 40},  // past the right edge: back by 99
      {10, 40, -5, 40, true, 109, 40, 94, 40},  // past the left: on by 99
      {50, 70, 50, 85, true, 50, -9, 50, 6},    // past the bottom: up by 79
      {50, 5, 50, -1, true, 50, 84, 50, 78},
      {-1, -1, 100, 80, true, 98, 78, 199, 159},  // x and y each on their own
      {0, 0, 99, 79, false, 0, 0, 99, 79},
  };
  for (const Case& k : cases) {
    Canvas c;
    TStroke stroke(c.Doc, c.Editor);
    stroke.StrokeX1 = k.x1;
    stroke.StrokeY1 = k.y1;
    stroke.StrokeX2 = k.x2;
    stroke.StrokeY2 = k.y2;
    EXPECT_EQ(stroke.WrapStroke(), k.moved);
    EXPECT_EQ(stroke.StrokeX1, k.wx1);
    EXPECT_EQ(stroke.StrokeY1, k.wy1);
    EXPECT_EQ(stroke.StrokeX2, k.wx2);
    EXPECT_EQ(stroke.StrokeY2, k.wy2);
  }
}

TEST(StrokeEngine, AWrappedStrokeContinuesOnTheOtherSide) {
  for (bool wrap : {false, true}) {
    Canvas c;
    c.Editor.Brush.BrushSize = 4;
    TStroke stroke(c.Doc, c.Editor);
    stroke.Pixel = PaintForeground();
    stroke.WrapFreeHand = wrap;
    stroke.BeginStroke(90, 40);
    stroke.ContinueStroke(110, 40);
    stroke.EndStroke(110, 40);
    EXPECT_TRUE(c.Painted(95, 40));
    EXPECT_EQ(c.Painted(5, 40), wrap);
    // The band ends at 11 and reaches 2 beyond: moved by 99, not 100.
    EXPECT_EQ(c.Painted(13, 40), wrap);
    EXPECT_FALSE(c.Painted(14, 40));
  }
  Canvas c;  // a disc beyond the right edge reappears at the left
  c.Editor.Brush.BrushSize = 6;
  TStroke stroke(c.Doc, c.Editor);
  stroke.Pixel = PaintForeground();
  stroke.Circles = true;
  stroke.WrapFreeHand = true;
  stroke.BeginStroke(98, 40);
  stroke.ContinueStroke(98, 42);
  EXPECT_TRUE(c.Painted(98, 40));
  EXPECT_TRUE(c.Painted(0, 40));  // the centre moved to 98 - 99 = -1
  EXPECT_FALSE(c.Painted(5, 40));
}

TEST(StrokeEngine, ContourClippingStopsAtAContourLine) {
  for (bool clip : {false, true}) {
    Canvas c;
    for (int y = 0; y < 80; ++y) c.MaskAt(40, y, ContourPlane) = 200;
    TStroke stroke(c.Doc, c.Editor);
    stroke.Pixel = PaintForeground();
    stroke.ContourClip = clip;
    stroke.ContourThreshold = 51;
    stroke.BeginStroke(10, 20);
    stroke.ContinueStroke(70, 20);
    EXPECT_TRUE(c.Painted(20, 20));
    EXPECT_TRUE(c.Painted(38, 20));
    EXPECT_EQ(c.Painted(45, 20), !clip);
    EXPECT_EQ(c.Painted(60, 20), !clip);
    stroke.EndStroke(70, 20);
    EXPECT_EQ(c.MaskAt(40, 20, ContourPlane), 200);  // the contour survives the stroke
  }
  Canvas c;
  for (int y = 0; y < 80; ++y) c.MaskAt(40, y, ContourPlane) = 51;  // not above the threshold
  TStroke stroke(c.Doc, c.Editor);
  stroke.ContourClip = true;
  stroke.ContourThreshold = 51;
  stroke.StrokeX1 = 10;
  stroke.StrokeY1 = 20;
  stroke.StrokeX2 = 70;
  stroke.StrokeY2 = 20;
  stroke.ClipSegmentToContour();
  EXPECT_EQ(stroke.StrokeX2, 70);
  c.MaskAt(40, 20, ContourPlane) = 52;
  stroke.ClipSegmentToContour();
  EXPECT_EQ(stroke.StrokeX2, 39);
  EXPECT_EQ(stroke.StrokeY2, 20);
}

TEST(StrokeEngine, StrokeBoxHoldsEveryStampAndTheRefreshFollowsIt) {
  Canvas c;
  std::vector<TRectI> refreshed;
  TStroke stroke(c.Doc, c.Editor);
  stroke.Pixel = PaintForeground();
  stroke.Refresh = [&](const TRectI& r) { refreshed.push_back(r); };
  stroke.BeginStroke(20, 10);
  EXPECT_TRUE(stroke.StrokeBox.Empty());
  stroke.ContinueStroke(40, 30);
  stroke.ContinueStroke(60, 30);
  ASSERT_EQ(refreshed.size(), 2u);
  const TStampBox box = stroke.StrokeBox;
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 100; ++x) {
      const int row = 79 - y;
      const bool inside =
          row >= box.RowFrom && row < box.RowTo && x >= box.ColFrom && x < box.ColTo;
      if (!inside) {
        EXPECT_FALSE(c.Painted(x, y)) << x << "," << y;
      }
    }
  const TRectI& first = refreshed[0];
  EXPECT_TRUE(first.X <= 20 - 3 && first.X + first.Width > 40 + 3);
  EXPECT_TRUE(first.Y <= 10 - 3 && first.Y + first.Height > 30 + 3);
}

TEST(StrokeEngine, ProcessedCopyRunsOverTheStampBoxOnly) {
  Canvas c;
  ASSERT_TRUE(c.Doc.CloneCleanIntoScratch());
  IplImage* scratch = c.Doc.ScratchImage();
  std::vector<IplROI> regions;
  TStroke stroke(c.Doc, c.Editor);
  stroke.Stamp = [](TStroke& s) { s.ShapeStampRoutine(); };
  stroke.ProcessedCopy = [&](IplImage* clean, IplImage* out) {
    ASSERT_NE(clean->roi, nullptr);
    ASSERT_NE(out->roi, nullptr);
    regions.push_back(*out->roi);
    const IplROI r = *out->roi;
    for (int row = r.yOffset; row < r.yOffset + r.height; ++row)
      for (int x = r.xOffset; x < r.xOffset + r.width; ++x)
        out->imageData[row * out->widthStep + 3 * x] = 0x11;  // blue of the processed copy
  };
  stroke.Pixel = [](TWriteBack& wb) { wb.CurWork[0] = 0x11; };
  stroke.BeginStroke(20, 20);
  stroke.ContinueStroke(30, 20);
  ASSERT_EQ(regions.size(), 1u);
  EXPECT_EQ(regions[0].xOffset, stroke.StampBox.ColFrom);
  EXPECT_EQ(regions[0].yOffset, stroke.StampBox.RowFrom);
  EXPECT_EQ(regions[0].width, stroke.StampBox.ColTo - stroke.StampBox.ColFrom);
  EXPECT_EQ(regions[0].height, stroke.StampBox.RowTo - stroke.StampBox.RowFrom);
  EXPECT_EQ(scratch->roi, nullptr);
  EXPECT_EQ(c.Doc.CleanImage()->roi, nullptr);
  const std::uint8_t* far = scratch->imageData + 10 * scratch->widthStep + 3 * 90;
  EXPECT_EQ(far[0], 0x80);  // outside the box the copy is untouched
  stroke.EndStroke(30, 20);
}

TEST(StrokeEngine, CopyBackMakesProcessedPixelsTheNewStart) {
  for (bool copyBack : {false, true}) {
    Canvas c;
    c.Editor.Brush.Capacity = CapacityFromPercent(50);
    TStroke stroke(c.Doc, c.Editor);
    stroke.Pixel = PaintForeground();
    stroke.CopyBack = copyBack;
    stroke.BeginStroke(10, 40);
    stroke.ContinueStroke(50, 40);
    EXPECT_EQ(c.Clean(30, 40) == c.Work(30, 40), copyBack);
    stroke.EndStroke(50, 40);
  }
}

}  // namespace
