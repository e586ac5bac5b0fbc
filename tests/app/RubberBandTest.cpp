// XOR drawing and rubber bands: every shape drawn twice restores the bitmap, and nothing outside
// it is touched whatever the coordinates.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>

#include "app/RubberBand.h"
#include "app/XorCanvas.h"

namespace korvane {
namespace {

TDib Noise(int w, int h) {
  TDib b;
  EXPECT_TRUE(b.SetSize(w, h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < 3 * w; ++x) b.Row(y)[x] = static_cast<std::uint8_t>(x * 7 + y * 13);
  return b;
}

bool Same(const TDib& a, const TDib& b) { return std::memcmp(a.Rows(), b.Rows(), a.ByteSize()) == 0; }

int ChangedPixels(const TDib& a, const TDib& b) {
  int n = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x) n += std::memcmp(a.ScanLine(y) + 3 * x, b.ScanLine(y) + 3 * x, 3) != 0;
  return n;
}

bool Inverted(const TDib& now, const TDib& before, int x, int y) {
  for (int c = 0; c < 3; ++c)
    if (now.ScanLine(y)[3 * x + c] != (before.ScanLine(y)[3 * x + c] ^ 0xFF)) return false;
  return true;
}

struct ShapeCase {
  const char* name;
  std::function<void(TXorShape&)> add;
  int expectedPixels;  // -1: do not check
};

TEST(XorShape, DrawingTwiceRestoresEveryByteAndEachPixelFlipsOnce) {
  const ShapeCase cases[] = {
      {"thin line", [](TXorShape& s) { s.AddLine(2, 3, 30, 17, 1); }, 29},
      {"steep line", [](TXorShape& s) { s.AddLine(5, 1, 8, 30, 1); }, 26},  // rows 1..26 of 27
      {"wide line", [](TXorShape& s) { s.AddLine(3, 3, 30, 25, 7); }, -1},
      {"rectangle", [](TXorShape& s) { s.AddRectangle(4, 4, 13, 9, 1); }, 2 * 10 + 2 * 4},
      // Pen 4 spans one pixel outside to two inside: a 23 x 19 outer box less a 15 x 11 inner one.
      {"thick rectangle", [](TXorShape& s) { s.AddRectangle(4, 4, 23, 19, 4); }, 23 * 19 - 15 * 11},
      {"ellipse", [](TXorShape& s) { s.AddEllipse(2, 2, 30, 20, 1); }, -1},
      {"circle", [](TXorShape& s) { s.AddEllipse(0, 0, 20, 20, 3); }, -1},
      {"filled", [](TXorShape& s) { s.AddFilledRect(30, 20, 25, 15); }, 36},
      {"polyline", [](TXorShape& s) { s.AddPolyline({{2, 2}, {20, 2}, {20, 15}, {2, 2}}, 1); }, -1},
  };
  for (const ShapeCase& c : cases) {
    const TDib before = Noise(33, 27);
    TDib work = Noise(33, 27);
    TXorShape shape(33, 27);
    c.add(shape);
    shape.Invert(work);
    const int changed = ChangedPixels(work, before);
    EXPECT_GT(changed, 0) << c.name;
    // Every changed pixel is fully inverted: no pixel was flipped twice within one drawing.
    for (int y = 0; y < 27; ++y)
      for (int x = 0; x < 33; ++x)
        if (std::memcmp(work.ScanLine(y) + 3 * x, before.ScanLine(y) + 3 * x, 3) != 0)
          {
            EXPECT_TRUE(Inverted(work, before, x, y)) << c.name << " at " << x << "," << y;
          }
    if (c.expectedPixels >= 0) {
      EXPECT_EQ(changed, c.expectedPixels) << c.name;
    }
    shape.Invert(work);
    EXPECT_TRUE(Same(work, before)) << c.name;
  }
}

TEST(XorShape, OutlinesHaveNoGapsAtTheirCorners) {
  const TDib before = Noise(20, 20);
  TDib work = Noise(20, 20);
  TXorShape rect(20, 20);
  rect.AddRectangle(3, 4, 12, 10, 1);
  rect.Invert(work);
  for (const auto& [x, y] : {std::pair{3, 4}, std::pair{12, 4}, std::pair{12, 10}, std::pair{3, 10},
                              std::pair{7, 4}, std::pair{3, 7}})
    EXPECT_TRUE(Inverted(work, before, x, y)) << x << "," << y;
  EXPECT_FALSE(Inverted(work, before, 7, 7));  // the inside stays
}

TEST(XorShape, ShapesBeyondTheBitmapDrawOnlyInsideIt) {
  const ShapeCase cases[] = {
      {"line from far away", [](TXorShape& s) { s.AddLine(-1000000000, 5, 1000000000, 6, 1); }, 10},
      {"wide line from far away", [](TXorShape& s) { s.AddLine(-5, -900000000, 4, 900000000, 9); }, -1},
      {"rectangle around", [](TXorShape& s) { s.AddRectangle(-50, -50, 60, 60, 3); }, 0},
      {"rectangle across", [](TXorShape& s) { s.AddRectangle(-5, 2, 4, INT_MAX, 1); }, -1},
      {"huge ellipse", [](TXorShape& s) { s.AddEllipse(-2000000000, -2000000000, 2000000000, 2000000000, 1); }, -1},
      {"filled outside", [](TXorShape& s) { s.AddFilledRect(20, 20, 30, 30); }, 0},
      {"polyline outside", [](TXorShape& s) { s.AddPolyline({{INT_MIN, INT_MIN}, {INT_MAX, INT_MIN}}, 5); }, 0},
  };
  for (const ShapeCase& c : cases) {
    const TDib before = Noise(10, 8);
    TDib work = Noise(10, 8);
    TXorShape shape(10, 8);
    c.add(shape);
    shape.Invert(work);
    if (c.expectedPixels >= 0) {
      EXPECT_EQ(ChangedPixels(work, before), c.expectedPixels) << c.name;
    }
    shape.Invert(work);
    EXPECT_TRUE(Same(work, before)) << c.name;
  }
}

TEST(XorCopy, PieceCopiesClipAtEveryEdge) {
  TDib piece = Noise(5, 4);
  for (const auto& [left, top] : {std::pair{-3, -2}, std::pair{8, 6}, std::pair{-100, 0},
                                  std::pair{INT_MAX - 2, INT_MIN + 1}, std::pair{2, 2}}) {
    const TDib before = Noise(10, 8);
    TDib work = Noise(10, 8);
    XorCopy(piece, work, left, top);
    XorCopy(piece, work, left, top);
    EXPECT_TRUE(Same(work, before)) << left << "," << top;
  }
}

TEST(RubberBand, StepsAndEraseLeaveTheImageAsItWas) {
  TEditorState editor;
  TRoiPoints roi{};
  for (const int mode : {int(ovLine), int(ovRectFilled), int(ovEllipseFilled), int(ovCircle)}) {
    const TDib clean = Noise(40, 30);
    TDib work = Noise(40, 30);
    TRubberBand band;
    band.RubberPenWidth = 3;
    band.Begin(editor, mode, 10, 10);
    for (const auto& [x, y] : {std::pair{15, 12}, std::pair{30, 25}, std::pair{-5, 40}, std::pair{22, 18}}) {
      if (mode == ovLine) band.LineStep(work, x, y, band.RubberPenWidth);
      if (mode == ovRectFilled) band.RectangleStep(work, x, y);
      if (mode == ovEllipseFilled) band.EllipseStep(work, x, y);
      if (mode == ovCircle) band.CircleStep(work, x, y);
      EXPECT_FALSE(Same(work, clean)) << mode;
    }
    band.Erase(editor, work, roi, 22, 18);
    EXPECT_FALSE(band.RubberDrawn);
    EXPECT_TRUE(Same(work, clean)) << mode;
    EXPECT_EQ(band.Finish(editor, 22, 18), mode);
    EXPECT_EQ(editor.OverlayMode, ovNone);
  }
}

TEST(RubberBand, CircleRadiusIsTheLargerDistance) {
  TEditorState editor;
  TDib work = Noise(100, 100);
  TRubberBand band;
  band.Begin(editor, ovCircleOutlined, 50, 50);
  band.CircleStep(work, 80, 60);
  EXPECT_EQ(band.RubberEnd, (TPoint{30, 30}));
  const TRectI dirty = band.Dirty();
  EXPECT_EQ(dirty.X, 20);
  EXPECT_EQ(dirty.Width, 61);
}

TEST(RubberBand, RegionOutlineFollowsItsCorners) {
  TEditorState editor;
  const TDib clean = Noise(60, 50);
  TDib work = Noise(60, 50);
  TRoiPoints roi{TPoint{5, 40}, TPoint{50, 40}, TPoint{50, 5}, TPoint{5, 5}, TPoint{}};
  TRubberBand band;
  band.Begin(editor, ovRegionOutline, 5, 40);
  const auto grabFirst = [](TRoiPoints& r, int x, int y) { r[0] = {x, y}; };
  band.RegionOutlineStep(work, roi, 8, 44, grabFirst);
  band.RegionOutlineStep(work, roi, 12, 30, grabFirst);
  EXPECT_EQ(roi[0], (TPoint{12, 30}));
  EXPECT_EQ(roi[4], roi[0]);
  band.Erase(editor, work, roi, 12, 30);
  EXPECT_TRUE(Same(work, clean));
}

TEST(RubberBand, TextStampMovesAndThePieceStampsTheMask) {
  TEditorState editor;
  const TDib clean = Noise(30, 20);
  TDib work = Noise(30, 20);
  TDib piece;
  ASSERT_TRUE(piece.SetSize(4, 3));
  std::memset(piece.Rows(), 0x80, piece.ByteSize());
  TRubberBand band;
  band.PieceHotX = 2;
  band.PieceHotY = 1;
  band.Begin(editor, ovTextStamp, 10, 10);
  band.DrawPiece(work, piece);  // the dialog shows it first
  band.TextStampStep(work, piece, 20, 5);
  band.TextStampStep(work, piece, 28, 19);  // partly outside
  band.DrawPiece(work, piece);
  EXPECT_TRUE(Same(work, clean));

  TDib mask;
  ASSERT_TRUE(mask.SetSize(30, 20));
  mask.ScanLine(19)[3 * 27 + 2] = 0x01;
  band.StampPieceIntoMask(piece, mask);
  EXPECT_EQ(mask.ScanLine(19)[3 * 27 + 2], 0x81);  // red ORed in
  EXPECT_EQ(mask.ScanLine(19)[3 * 27 + 0], 0);     // the other planes unchanged
  EXPECT_EQ(mask.ScanLine(18)[3 * 27 + 2], 0x80);
  EXPECT_EQ(mask.ScanLine(19)[3 * 25 + 2], 0);     // left of the piece
}

}  // namespace
}  // namespace korvane
