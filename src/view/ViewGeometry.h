// Where the image view puts the bitmap: zoom, scroll origin, centring, and the conversions
// between client pixels and bitmap pixels. Pure arithmetic, shared by the view widget and tests.
#pragma once

namespace korvane {

struct TRectI {
  int X = 0;
  int Y = 0;
  int Width = 0;
  int Height = 0;
};

// Round to nearest, ties to even, through an extended-precision intermediate.
int RoundHalfEven(long double v);

class TViewGeometry {
 public:
  // Inputs.
  int Zoom = 100;  // percent
  int ViewX = 0;   // zoomed-image pixels scrolled off at the left
  int ViewY = 0;   // and at the top
  bool Center = false;
  int BitmapWidth = 0;
  int BitmapHeight = 0;
  int ClientWidth = 0;  // the painted area
  int ClientHeight = 0;
  int OuterWidth = 0;  // the whole control, scroll bars included
  int OuterHeight = 0;

  // The largest origins that still show image; 0 when the image fits.
  void GetMaxViewXY(int& maxX, int& maxY) const;
  // Lowers ViewX/ViewY to their maxima; true when one of them changed.
  bool ClampView();

  // The derived layout: run after any input changed.
  void Layout();
  int ZoomedWidth() const { return zoomedWidth_; }
  int ZoomedHeight() const { return zoomedHeight_; }
  int DrawnWidth() const { return drawnWidth_; }
  int DrawnHeight() const { return drawnHeight_; }
  int OffsetX() const { return offsetX_; }
  int OffsetY() const { return offsetY_; }

  // Client pixel to bitmap pixel and back; unclamped, so the results may lie outside.
  int XScr2Bmp(int x) const;
  int YScr2Bmp(int y) const;
  int XBmp2Scr(int x) const;
  int YBmp2Scr(int y) const;

  // The bitmap pixel shown at a client pixel (as painted, which is not always XScr2Bmp's
  // rounding); false where the client shows background.
  bool DisplayedPixel(int clientX, int clientY, int& bitmapX, int& bitmapY) const;

  // The bitmap rectangle (rows from the top) shown in the drawn area.
  TRectI SourceRect() const;
  // The client rectangle the bitmap is drawn into.
  TRectI DrawnRect() const { return {offsetX_, offsetY_, drawnWidth_, drawnHeight_}; }

 private:
  int zoomedWidth_ = 0;
  int zoomedHeight_ = 0;
  int drawnWidth_ = 0;
  int drawnHeight_ = 0;
  int offsetX_ = 0;
  int offsetY_ = 0;
};

}  // namespace korvane
