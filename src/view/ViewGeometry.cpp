#include "view/ViewGeometry.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace korvane {

int RoundHalfEven(long double v) {
  // nearbyint follows the current rounding mode, which is to-nearest-even by default.
  const long double r = std::nearbyint(v);
  if (r >= static_cast<long double>(INT_MAX)) return INT_MAX;
  if (r <= static_cast<long double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(r);
}

void TViewGeometry::GetMaxViewXY(int& maxX, int& maxY) const {
  maxX = maxY = 0;
  if (Zoom <= 0) return;
  const long double f = Zoom / 100.0L;
  const int zw = RoundHalfEven(BitmapWidth * f);
  const int zh = RoundHalfEven(BitmapHeight * f);
  if (zw < 1 || zh < 1) return;
  if (OuterWidth >= zw && OuterHeight >= zh) return;
  maxX = std::max(0, zw - ClientWidth);
  maxY = std::max(0, zh - ClientHeight);
}

bool TViewGeometry::ClampView() {
  int maxX = 0, maxY = 0;
  GetMaxViewXY(maxX, maxY);
  bool changed = false;
  if (ViewX > maxX) {
    ViewX = maxX;
    changed = true;
  }
  if (ViewY > maxY) {
    ViewY = maxY;
    changed = true;
  }
  return changed;
}

void TViewGeometry::Layout() {
  zoomedWidth_ = RoundHalfEven(BitmapWidth / 100.0L * Zoom);
  zoomedHeight_ = RoundHalfEven(BitmapHeight / 100.0L * Zoom);
  drawnWidth_ = std::max(0, std::min(zoomedWidth_, ClientWidth));
  drawnHeight_ = std::max(0, std::min(zoomedHeight_, ClientHeight));
  offsetX_ = offsetY_ = 0;
  if (Center) {
    if (drawnWidth_ < ClientWidth) offsetX_ = (ClientWidth - drawnWidth_) / 2;
    if (drawnHeight_ < ClientHeight) offsetY_ = (ClientHeight - drawnHeight_) / 2;
  }
}

int TViewGeometry::XScr2Bmp(int x) const {
  const long double q = 100.0L / Zoom;
  return RoundHalfEven(q * (static_cast<long double>(x) + ViewX - offsetX_));
}

int TViewGeometry::YScr2Bmp(int y) const {
  const long double q = 100.0L / Zoom;
  return RoundHalfEven(q * (static_cast<long double>(y) + ViewY - offsetY_));
}

int TViewGeometry::XBmp2Scr(int x) const {
  return RoundHalfEven(x * (Zoom / 100.0L) + (offsetX_ - ViewX));
}

int TViewGeometry::YBmp2Scr(int y) const {
  return RoundHalfEven(y * (Zoom / 100.0L) + (offsetY_ - ViewY));
}

TRectI TViewGeometry::SourceRect() const {
  TRectI r;
  if (zoomedWidth_ > 0) {
    const long double ratio = static_cast<long double>(BitmapWidth) / zoomedWidth_;
    r.X = RoundHalfEven(ViewX * ratio);
    r.Width = RoundHalfEven(ratio * drawnWidth_);
    if (r.X + r.Width > BitmapWidth) --r.Width;
  }
  if (zoomedHeight_ > 0) {
    const long double ratio = static_cast<long double>(BitmapHeight) / zoomedHeight_;
    r.Y = RoundHalfEven(ViewY * ratio);
    r.Height = RoundHalfEven(ratio * drawnHeight_);
    if (r.Y + r.Height > BitmapHeight) --r.Height;
  }
  // Never hand the renderer rows or columns the bitmap does not have.
  r.X = std::clamp(r.X, 0, std::max(0, BitmapWidth - 1));
  r.Y = std::clamp(r.Y, 0, std::max(0, BitmapHeight - 1));
  r.Width = std::clamp(r.Width, 0, BitmapWidth - r.X);
  r.Height = std::clamp(r.Height, 0, BitmapHeight - r.Y);
  return r;
}

bool TViewGeometry::DisplayedPixel(int clientX, int clientY, int& bitmapX, int& bitmapY) const {
  const int i = clientX - offsetX_;
  const int j = clientY - offsetY_;
  if (i < 0 || j < 0 || i >= drawnWidth_ || j >= drawnHeight_) return false;
  const TRectI s = SourceRect();
  if (s.Width <= 0 || s.Height <= 0) return false;
  bitmapX = s.X + static_cast<int>(static_cast<long long>(i) * s.Width / drawnWidth_);
  bitmapY = s.Y + static_cast<int>(static_cast<long long>(j) * s.Height / drawnHeight_);
  return true;
}

}  // namespace korvane
