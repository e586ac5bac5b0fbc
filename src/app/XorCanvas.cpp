#include "app/XorCanvas.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace korvane {

namespace {

// Clips the segment to the box; false when nothing of it is inside (Liang-Barsky).
bool ClipSegment(double& x1, double& y1, double& x2, double& y2, double left, double top,
                 double right, double bottom) {
  double t0 = 0, t1 = 1;
  const double dx = x2 - x1, dy = y2 - y1;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x1 - left, right - x1, y1 - top, bottom - y1};
  for (int k = 0; k < 4; ++k) {
    if (p[k] == 0) {
      if (q[k] < 0) return false;
      continue;
    }
    const double r = q[k] / p[k];
    if (p[k] < 0) {
      if (r > t1) return false;
      t0 = std::max(t0, r);
    } else {
      if (r < t0) return false;
      t1 = std::min(t1, r);
    }
  }
  const double nx1 = x1 + t0 * dx, ny1 = y1 + t0 * dy;
  x2 = x1 + t1 * dx;
  y2 = y1 + t1 * dy;
  x1 = nx1;
  y1 = ny1;
  return true;
}

// The x interval of the row where lo <= a * x + c <= hi; false when empty.
bool LinearBand(double a, double c, double lo, double hi, double& left, double& right) {
  if (a == 0) {
    if (c < lo || c > hi) return false;
    left = -1e18;
    right = 1e18;
    return true;
  }
  double u = (lo - c) / a, v = (hi - c) / a;
  if (u > v) std::swap(u, v);
  left = u;
  right = v;
  return true;
}

}  // namespace

TXorShape::TXorShape(int clipWidth, int clipHeight)
    : width_(std::max(0, clipWidth)),
      height_(std::max(0, clipHeight)),
      minRow_(height_) {}

void TXorShape::AddPixelSpan(int y, int x0, int x1) {
  if (y < 0 || y >= height_) return;
  x0 = std::max(x0, 0);
  x1 = std::min(x1, width_ - 1);
  if (x0 > x1) return;
  if (!spans_.empty()) {
    const Span& last = spans_.back();
    if (y < last.y || (y == last.y && x0 < last.x0)) sorted_ = false;
  }
  spans_.push_back({y, x0, x1});
  minRow_ = std::min(minRow_, y);
  maxRow_ = std::max(maxRow_, y);
}

void TXorShape::AddSpan(int y, double left, double right) {
  if (!(left <= right)) return;
  left = std::max(left, -1.0);
  right = std::min(right, static_cast<double>(width_));
  AddPixelSpan(y, static_cast<int>(std::ceil(left)), static_cast<int>(std::floor(right)));
}

void TXorShape::AddCapsuleRow(int y, double x1, double y1, double x2, double y2, double h) {
  double left = 1e18, right = -1e18;
  const auto disk = [&](double cx, double cy) {
    const double dy = y - cy;
    if (std::abs(dy) > h) return;
    const double half = std::sqrt(h * h - dy * dy);
    left = std::min(left, cx - half);
    right = std::max(right, cx + half);
  };
  disk(x1, y1);
  disk(x2, y2);
  const double dx = x2 - x1, dy = y2 - y1;
  const double length = std::hypot(dx, dy);
  if (length > 0) {
    const double ux = dx / length, uy = dy / length;
    // Along the segment: 0 <= (p - P1) . u <= length; across it: |(p - P1) . n| <= h.
    double a0, a1, b0, b1;
    if (LinearBand(ux, -x1 * ux + (y - y1) * uy, 0, length, a0, a1) &&
        LinearBand(-uy, x1 * uy + (y - y1) * ux, -h, h, b0, b1)) {
      const double lo = std::max(a0, b0), hi = std::min(a1, b1);
      if (lo <= hi) {
        left = std::min(left, lo);
        right = std::max(right, hi);
      }
    }
  }
  AddSpan(y, left, right);
}

void TXorShape::AddLine(int ix1, int iy1, int ix2, int iy2, int penWidth) {
  double x1 = ix1, y1 = iy1, x2 = ix2, y2 = iy2;
  const double h = std::max(penWidth, 1) / 2.0;
  const double margin = h + 2;
  if (!ClipSegment(x1, y1, x2, y2, -margin, -margin, width_ - 1 + margin, height_ - 1 + margin))
    return;
  if (penWidth > 1) {
    const int top = std::max(0, static_cast<int>(std::floor(std::min(y1, y2) - h)));
    const int bottom = std::min(height_ - 1, static_cast<int>(std::ceil(std::max(y1, y2) + h)));
    for (int y = top; y <= bottom; ++y) AddCapsuleRow(y, x1, y1, x2, y2, h);
    return;
  }
  // One pixel per step along the longer axis, so the line has no gaps and no doubled pixels.
  const double dx = x2 - x1, dy = y2 - y1;
  if (std::abs(dx) >= std::abs(dy)) {
    const int from = static_cast<int>(std::lround(std::min(x1, x2)));
    const int to = static_cast<int>(std::lround(std::max(x1, x2)));
    int runRow = INT_MIN, runStart = 0, runEnd = 0;
    for (int x = from; x <= to; ++x) {
      const int y = dx == 0 ? static_cast<int>(std::lround(y1))
                            : static_cast<int>(std::lround(y1 + (x - x1) * dy / dx));
      if (y == runRow && x == runEnd + 1) {
        runEnd = x;
        continue;
      }
      if (runRow != INT_MIN) AddPixelSpan(runRow, runStart, runEnd);
      runRow = y;
      runStart = runEnd = x;
    }
    if (runRow != INT_MIN) AddPixelSpan(runRow, runStart, runEnd);
  } else {
    const int from = static_cast<int>(std::lround(std::min(y1, y2)));
    const int to = static_cast<int>(std::lround(std::max(y1, y2)));
    for (int y = from; y <= to; ++y) {
      const int x = static_cast<int>(std::lround(x1 + (y - y1) * dx / dy));
      AddPixelSpan(y, x, x);
    }
  }
}

void TXorShape::AddRectangle(int x1, int y1, int x2, int y2, int penWidth) {
  const std::int64_t left = std::min(x1, x2), right = std::max(x1, x2);
  const std::int64_t top = std::min(y1, y2), bottom = std::max(y1, y2);
  const int w = std::max(penWidth, 1);
  const std::int64_t lo = (w - 1) / 2, hi = w / 2;
  const std::int64_t outerL = left - lo, outerR = right + hi;
  const std::int64_t outerT = top - lo, outerB = bottom + hi;
  const std::int64_t innerL = left + hi + 1, innerR = right - lo - 1;
  const std::int64_t innerT = top + hi + 1, innerB = bottom - lo - 1;
  const auto clampX = [this](std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, -1, width_));
  };
  const int rowFrom = static_cast<int>(std::max<std::int64_t>(outerT, 0));
  const int rowTo = static_cast<int>(std::min<std::int64_t>(outerB, height_ - 1));
  for (int y = rowFrom; y <= rowTo; ++y) {
    if (y >= innerT && y <= innerB && innerL <= innerR) {
      AddPixelSpan(y, clampX(outerL), clampX(innerL - 1));
      AddPixelSpan(y, clampX(innerR + 1), clampX(outerR));
    } else {
      AddPixelSpan(y, clampX(outerL), clampX(outerR));
    }
  }
}

void TXorShape::AddFilledRect(int x1, int y1, int x2, int y2) {
  const auto clampX = [this](std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, -1, width_));
  };
  const int rowFrom = std::max(std::min(y1, y2), 0);
  const int rowTo = std::min(std::max(y1, y2), height_ - 1);
  for (int y = rowFrom; y <= rowTo; ++y)
    AddPixelSpan(y, clampX(std::min(x1, x2)), clampX(std::max(x1, x2)));
}

void TXorShape::AddEllipse(int x1, int y1, int x2, int y2, int penWidth) {
  const double cx = (static_cast<double>(x1) + x2) / 2, cy = (static_cast<double>(y1) + y2) / 2;
  const double a = std::abs(static_cast<double>(x2) - x1) / 2;
  const double b = std::abs(static_cast<double>(y2) - y1) / 2;
  const double h = std::max(penWidth, 1) / 2.0;
  const double oa = a + h, ob = b + h;
  const double ia = a - h, ib = b - h;
  const int top = static_cast<int>(std::max(0.0, std::floor(cy - ob)));
  const int bottom = static_cast<int>(std::min(height_ - 1.0, std::ceil(cy + ob)));
  for (int y = top; y <= bottom; ++y) {
    const double dy = y - cy;
    if (std::abs(dy) > ob) continue;
    const double ow = oa * std::sqrt(std::max(0.0, 1 - (dy / ob) * (dy / ob)));
    if (ia > 0 && ib > 0 && std::abs(dy) < ib) {
      const double iw = ia * std::sqrt(std::max(0.0, 1 - (dy / ib) * (dy / ib)));
      const int leftEnd = static_cast<int>(std::floor(cx - iw));
      const int rightStart = static_cast<int>(std::ceil(cx + iw));
      const int leftStart = static_cast<int>(std::ceil(cx - ow));
      const int rightEnd = static_cast<int>(std::floor(cx + ow));
      if (leftEnd + 1 >= rightStart) {
        AddSpan(y, cx - ow, cx + ow);
      } else {
        AddPixelSpan(y, std::max(leftStart, -1), std::min(leftEnd, width_));
        AddPixelSpan(y, std::max(rightStart, -1), std::min(rightEnd, width_));
      }
    } else {
      AddSpan(y, cx - ow, cx + ow);
    }
  }
}

void TXorShape::AddPolyline(const std::vector<TPoint>& points, int penWidth) {
  for (std::size_t k = 1; k < points.size(); ++k)
    AddLine(points[k - 1].x, points[k - 1].y, points[k].x, points[k].y, penWidth);
}

void TXorShape::Invert(TDib& bitmap) const {
  if (bitmap.Empty() || bitmap.Width() != width_ || bitmap.Height() != height_ ||
      bitmap.PixelFormat() != TPixelFormat::pf24bit || spans_.empty())
    return;
  std::vector<Span> sortedCopy;
  const std::vector<Span>* spans = &spans_;
  if (!sorted_) {
    sortedCopy = spans_;
    std::sort(sortedCopy.begin(), sortedCopy.end(), [](const Span& a, const Span& b) {
      return a.y != b.y ? a.y < b.y : a.x0 < b.x0;
    });
    spans = &sortedCopy;
  }
  // Overlapping spans of a row are merged so that each pixel flips once.
  const auto flush = [&bitmap](int y, int x0, int x1) {
    std::uint8_t* p = bitmap.ScanLine(y) + 3 * x0;
    for (int k = 0, n = 3 * (x1 - x0 + 1); k < n; ++k) p[k] ^= 0xFF;
  };
  Span run = spans->front();
  for (std::size_t k = 1; k < spans->size(); ++k) {
    const Span& s = (*spans)[k];
    if (s.y == run.y && s.x0 <= run.x1 + 1) {
      run.x1 = std::max(run.x1, s.x1);
    } else {
      flush(run.y, run.x0, run.x1);
      run = s;
    }
  }
  flush(run.y, run.x0, run.x1);
}

TRectI TXorShape::Bounds() const {
  if (Empty()) return {};
  int left = width_, right = -1;
  for (const Span& s : spans_) {
    left = std::min(left, s.x0);
    right = std::max(right, s.x1);
  }
  return {left, minRow_, right - left + 1, maxRow_ - minRow_ + 1};
}

TRectI PieceRect(const TDib& piece, const TDib& bitmap, int left, int top) {
  const std::int64_t x0 = std::max<std::int64_t>(left, 0);
  const std::int64_t y0 = std::max<std::int64_t>(top, 0);
  const std::int64_t x1 = std::min<std::int64_t>(static_cast<std::int64_t>(left) + piece.Width(),
                                                 bitmap.Width());
  const std::int64_t y1 = std::min<std::int64_t>(static_cast<std::int64_t>(top) + piece.Height(),
                                                 bitmap.Height());
  if (x0 >= x1 || y0 >= y1) return {};
  return {static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0),
          static_cast<int>(y1 - y0)};
}

namespace {

template <class Combine>
void CombinePiece(const TDib& piece, TDib& bitmap, int left, int top, Combine combine) {
  if (piece.Empty() || bitmap.Empty() || piece.PixelFormat() != TPixelFormat::pf24bit ||
      bitmap.PixelFormat() != TPixelFormat::pf24bit)
    return;
  const TRectI r = PieceRect(piece, bitmap, left, top);
  for (int y = r.Y; y < r.Y + r.Height; ++y) {
    const std::uint8_t* src = piece.ScanLine(y - top) + 3 * (r.X - left);
    std::uint8_t* dst = bitmap.ScanLine(y) + 3 * r.X;
    for (int k = 0; k < 3 * r.Width; ++k) dst[k] = combine(dst[k], src[k]);
  }
}

}  // namespace

void XorCopy(const TDib& piece, TDib& bitmap, int left, int top) {
  CombinePiece(piece, bitmap, left, top,
               [](std::uint8_t d, std::uint8_t s) { return static_cast<std::uint8_t>(d ^ s); });
}

void OrCopy(const TDib& piece, TDib& bitmap, int left, int top) {
  CombinePiece(piece, bitmap, left, top,
               [](std::uint8_t d, std::uint8_t s) { return static_cast<std::uint8_t>(d | s); });
}

}  // namespace korvane
