// Where the view puts the bitmap, and what the stretched render shows.
#include <gtest/gtest.h>

#include <vector>

#include "app/Dibactions.h"
#include "view/ViewGeometry.h"
#include "view/ViewRender.h"

namespace korvane {
namespace {

TViewGeometry Geometry(int zoom, int bw, int bh, int cw, int ch, bool center = false) {
  TViewGeometry g;
  g.Zoom = zoom;
  g.BitmapWidth = bw;
  g.BitmapHeight = bh;
  g.ClientWidth = g.OuterWidth = cw;
  g.ClientHeight = g.OuterHeight = ch;
  g.Center = center;
  g.Layout();
  return g;
}

TEST(ViewGeometry, ConversionsRoundHalfToEven) {
  struct Case {
    int zoom, screen, bitmap;
  };
  for (const Case c : {Case{100, 7, 7}, Case{200, 3, 2}, Case{200, 5, 2}, Case{200, 7, 4},
                       Case{50, 3, 6}, Case{300, 4, 1}, Case{150, 3, 2}}) {
    const TViewGeometry g = Geometry(c.zoom, 100, 100, 50, 50);
    EXPECT_EQ(g.XScr2Bmp(c.screen), c.bitmap) << "zoom " << c.zoom << " x " << c.screen;
    EXPECT_EQ(g.YScr2Bmp(c.screen), c.bitmap);
  }
  const TViewGeometry g = Geometry(200, 100, 100, 50, 50);
  EXPECT_EQ(g.XBmp2Scr(3), 6);
  EXPECT_EQ(Geometry(100, 10, 10, 50, 50).XBmp2Scr(9), 9);
}

TEST(ViewGeometry, OriginAndCentringShiftTheConversion) {
  TViewGeometry g = Geometry(200, 100, 100, 50, 50);
  g.ViewX = 10;
  EXPECT_EQ(g.XScr2Bmp(0), 5);
  EXPECT_EQ(g.XBmp2Scr(5), 0);
  // A small image centred in a large client: left of it lies at negative bitmap x.
  const TViewGeometry c = Geometry(100, 100, 40, 400, 300, true);
  EXPECT_EQ(c.OffsetX(), 150);
  EXPECT_EQ(c.OffsetY(), 130);
  EXPECT_EQ(c.XScr2Bmp(140), -10);
  EXPECT_EQ(c.XBmp2Scr(0), 150);
}

TEST(ViewGeometry, MaximaAndLayout) {
  int mx = -1, my = -1;
  // A 300 x 200 image in a 400 x 300 client fits: no scrolling.
  TViewGeometry fits = Geometry(100, 300, 200, 400, 300);
  fits.GetMaxViewXY(mx, my);
  EXPECT_EQ(mx, 0);
  EXPECT_EQ(my, 0);
  fits.ViewX = 50;
  EXPECT_TRUE(fits.ClampView());
  EXPECT_EQ(fits.ViewX, 0);
  // 1000 wide at 150 % in a 500-pixel client: 1500 zoomed, 1000 to scroll.
  const TViewGeometry wide = Geometry(150, 1000, 100, 500, 100);
  wide.GetMaxViewXY(mx, my);
  EXPECT_EQ(wide.ZoomedWidth(), 1500);
  EXPECT_EQ(wide.DrawnWidth(), 500);
  EXPECT_EQ(mx, 1000);
  EXPECT_EQ(my, 50);
  // Below one zoomed pixel there is nothing to scroll.
  Geometry(1, 40, 40, 10, 10).GetMaxViewXY(mx, my);
  EXPECT_EQ(mx, 0);
}

TEST(ViewGeometry, SourceRectStaysInsideTheBitmap) {
  TViewGeometry g = Geometry(300, 100, 80, 120, 90);
  g.ViewX = 180;
  g.ViewY = 150;
  g.Layout();
  const TRectI s = g.SourceRect();
  EXPECT_EQ(s.X, 60);
  EXPECT_EQ(s.Y, 50);
  EXPECT_EQ(s.Width, 40);
  EXPECT_EQ(s.Height, 30);
  for (int zoom : {7, 33, 99, 101, 333, 1600}) {
    TViewGeometry z = Geometry(zoom, 37, 23, 101, 67);
    int mx = 0, my = 0;
    z.GetMaxViewXY(mx, my);
    z.ViewX = mx;
    z.ViewY = my;
    z.Layout();
    const TRectI r = z.SourceRect();
    EXPECT_GE(r.X, 0);
    EXPECT_LE(r.X + r.Width, 37) << zoom;
    EXPECT_LE(r.Y + r.Height, 23) << zoom;
  }
}

// A 4 x 2 bitmap, pixel (x, y from the top) coloured red = 10x + y, blue = 200.
TDib Checker() {
  TDib b;
  EXPECT_TRUE(b.SetSize(4, 2));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) {
      std::uint8_t* p = b.ScanLine(y) + 3 * x;
      p[0] = 200;
      p[1] = 0;
      p[2] = static_cast<std::uint8_t>(10 * x + y);
    }
  return b;
}

int RedAt(const std::vector<std::uint32_t>& buf, int stride, int i, int j) {
  return static_cast<int>((buf[static_cast<std::size_t>(j * stride + i)] >> 16) & 255);
}

TEST(ViewRender, EnlargementRepeatsAndReductionDrops) {
  const TDib b = Checker();
  std::vector<std::uint32_t> big(8 * 4);
  RenderStretched(b, {0, 0, 4, 2}, 8, 4, {0, 0, 8, 4}, big.data(), 8);
  EXPECT_EQ(big[0], 0xFF0000C8u);  // red 0, blue 200, opaque
  EXPECT_EQ(RedAt(big, 8, 1, 1), 0);
  EXPECT_EQ(RedAt(big, 8, 2, 0), 10);
  EXPECT_EQ(RedAt(big, 8, 7, 3), 31);  // the bottom row of the picture, shown last

  std::vector<std::uint32_t> small(2);
  RenderStretched(b, {0, 0, 4, 2}, 2, 1, {0, 0, 2, 1}, small.data(), 2);
  EXPECT_EQ(RedAt(small, 2, 0, 0), 0);
  EXPECT_EQ(RedAt(small, 2, 1, 0), 20);
}

TEST(ViewRender, PartOfTheAreaMatchesTheWhole) {
  const TDib b = Checker();
  std::vector<std::uint32_t> whole(12 * 6), part(5 * 3, 0);
  RenderStretched(b, {1, 0, 3, 2}, 12, 6, {0, 0, 12, 6}, whole.data(), 12);
  RenderStretched(b, {1, 0, 3, 2}, 12, 6, {6, 2, 5, 3}, part.data(), 5);
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 5; ++i)
      EXPECT_EQ(part[static_cast<std::size_t>(j * 5 + i)],
                whole[static_cast<std::size_t>((j + 2) * 12 + i + 6)]);
}

TEST(ViewRender, RefusesRectanglesOutsideTheBitmap) {
  const TDib b = Checker();
  std::vector<std::uint32_t> out(4, 7);
  RenderStretched(b, {2, 0, 3, 2}, 2, 2, {0, 0, 2, 2}, out.data(), 2);
  RenderStretched(b, {0, 0, 4, 2}, 2, 2, {1, 1, 2, 2}, out.data(), 2);
  EXPECT_EQ(out[0], 7u);
}

}  // namespace
}  // namespace korvane
