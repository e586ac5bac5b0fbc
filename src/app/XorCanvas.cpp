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

// Pixel coordinates of far-away shape edges, kept where the integer arithmetic is safe; every
// such edge lies beyond any clip anyway.
std::int64_t ToPixel(double v) {
  constexpr double kFar = 1e15;
  return static_cast<std::int64_t>(std::clamp(v, -kFar, kFar));
}

std::int64_t FloorHalf(std::int64_t v) { return v >= 0 ? v / 2 : -((1 - v) / 2); }
std::int64_t CeilHalf(std::int64_t v) { return -FloorHalf(-v); }

// The largest x with InsideEllipse(2x - sumX, ty, ...) on a row; below sumX / 2 (rounded up)
// when no pixel of the row is inside. The row's pixels are sumX - result .. result.
std::int64_t EllipseRowEnd(std::int64_t sumX, std::int64_t ty, std::int64_t ta, std::int64_t tb,
                           bool strict) {
  const double q = static_cast<double>(ty) / static_cast<double>(tb);
  const double half = static_cast<double>(ta) * std::sqrt(std::max(0.0, 1 - q * q));
  std::int64_t x = ToPixel(std::floor((static_cast<double>(sumX) + half) / 2));
  const std::int64_t centre = CeilHalf(sumX);
  x = std::max(x, centre - 1);
  const auto inside = [&](std::int64_t px) {
    return InsideEllipse(2 * px - sumX, ty, ta, tb, strict);
  };
  // The estimate is off by a pixel at most; the exact rule decides.
  for (int k = 0; k < 8 && inside(x + 1); ++k) ++x;
  for (int k = 0; k < 8 && x >= centre && !inside(x); ++k) --x;
  return x;
}

}  // namespace

bool InsideEllipse(std::int64_t tx, std::int64_t ty, std::int64_t ta, std::int64_t tb,
                   bool strict) {
  if (ta <= 0 || tb <= 0) return false;
  tx = tx < 0 ? -tx : tx;
  ty = ty < 0 ? -ty : ty;
  if (tx > ta || ty > tb) return false;
  if (ta * tb < (std::int64_t{1} << 31)) {
    const std::int64_t a2 = ta * ta, b2 = tb * tb;
    const std::int64_t lhs = tx * tx * b2 + ty * ty * a2, rhs = a2 * b2;
    return strict ? lhs < rhs : lhs <= rhs;
  }
  const double u = static_cast<double>(tx) / static_cast<double>(ta);
  const double v = static_cast<double>(ty) / static_cast<double>(tb);
  return strict ? u * u + v * v < 1 : u * u + v * v <= 1;
}

TSpanShape::TSpanShape(int clipWidth, int clipHeight)
    : TSpanShape(clipWidth, clipHeight, {0, 0, std::max(0, clipWidth), std::max(0, clipHeight)}) {}

TSpanShape::TSpanShape(int clipWidth, int clipHeight, const TRectI& clip)
    : width_(std::max(0, clipWidth)),
      height_(std::max(0, clipHeight)),
      left_(std::max(clip.X, 0)),
      top_(std::max(clip.Y, 0)),
      right_(static_cast<int>(
          std::min<std::int64_t>(std::int64_t{clip.X} + clip.Width, width_) - 1)),
      bottom_(static_cast<int>(
          std::min<std::int64_t>(std::int64_t{clip.Y} + clip.Height, height_) - 1)),
      minRow_(height_) {}

void TSpanShape::AddPixelSpan(int y, std::int64_t x0, std::int64_t x1) {
  if (y < top_ || y > bottom_) return;
  x0 = std::max<std::int64_t>(x0, left_);
  x1 = std::min<std::int64_t>(x1, right_);
  if (x0 > x1) return;
  const int from = static_cast<int>(x0), to = static_cast<int>(x1);
  if (!spans_.empty()) {
    const Span& last = spans_.back();
    if (y < last.y || (y == last.y && from < last.x0)) sorted_ = false;
  }
  spans_.push_back({y, from, to});
  minRow_ = std::min(minRow_, y);
  maxRow_ = std::max(maxRow_, y);
}

void TSpanShape::AddSpan(int y, double left, double right) {
  if (!(left <= right)) return;
  left = std::max(left, left_ - 1.0);
  right = std::min(right, right_ + 1.0);
  AddPixelSpan(y, static_cast<std::int64_t>(std::ceil(left)),
               static_cast<std::int64_t>(std::floor(right)));
}

void TSpanShape::AddCapsuleRow(int y, double x1, double y1, double x2, double y2, double h) {
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

void TSpanShape::AddLine(int x1, int y1, int x2, int y2, int penWidth) {
  AddLine(TPointF{static_cast<double>(x1), static_cast<double>(y1)},
          TPointF{static_cast<double>(x2), static_cast<double>(y2)}, penWidth);
}

void TSpanShape::AddLine(TPointF start, TPointF end, int penWidth) {
  double x1 = start.x, y1 = start.y, x2 = end.x, y2 = end.y;
  const double h = std::max(penWidth, 1) / 2.0;
  const double margin = h + 2;
  if (!ClipSegment(x1, y1, x2, y2, left_ - margin, top_ - margin, right_ + margin,
                   bottom_ + margin))
    return;
  if (penWidth > 1) {
    const int top = std::max(top_, static_cast<int>(std::floor(std::min(y1, y2) - h)));
    const int bottom = std::min(bottom_, static_cast<int>(std::ceil(std::max(y1, y2) + h)));
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

void TSpanShape::AddRectangle(int x1, int y1, int x2, int y2, int penWidth) {
  const std::int64_t left = std::min(x1, x2), right = std::max(x1, x2);
  const std::int64_t top = std::min(y1, y2), bottom = std::max(y1, y2);
  const int w = std::max(penWidth, 1);
  const std::int64_t lo = (w - 1) / 2, hi = w / 2;
  const std::int64_t outerL = left - lo, outerR = right + hi;
  const std::int64_t outerT = top - lo, outerB = bottom + hi;
  const std::int64_t innerL = left + hi + 1, innerR = right - lo - 1;
  const std::int64_t innerT = top + hi + 1, innerB = bottom - lo - 1;
  const int rowFrom = static_cast<int>(std::max<std::int64_t>(outerT, top_));
  const int rowTo = static_cast<int>(std::min<std::int64_t>(outerB, bottom_));
  if (rowTo >= rowFrom)
    spans_.reserve(spans_.size() + 2 * static_cast<std::size_t>(rowTo - rowFrom + 1));
  for (int y = rowFrom; y <= rowTo; ++y) {
    if (y >= innerT && y <= innerB && innerL <= innerR) {
      AddPixelSpan(y, outerL, innerL - 1);
      AddPixelSpan(y, innerR + 1, outerR);
    } else {
      AddPixelSpan(y, outerL, outerR);
    }
  }
}

void TSpanShape::AddRectFrame(int x1, int y1, int x2, int y2, int penWidth) {
  const std::int64_t left = std::min(x1, x2), right = std::max(x1, x2);
  const std::int64_t top = std::min(y1, y2), bottom = std::max(y1, y2);
  const int w = std::max(penWidth, 1);
  const std::int64_t out = w / 2, in = (w - 1) / 2;
  const std::int64_t innerL = left + in + 1, innerR = right - in - 1;
  const std::int64_t innerT = top + in + 1, innerB = bottom - in - 1;
  const int rowFrom = static_cast<int>(std::max<std::int64_t>(top - out, top_));
  const int rowTo = static_cast<int>(std::min<std::int64_t>(bottom + out, bottom_));
  for (int y = rowFrom; y <= rowTo; ++y) {
    if (y >= innerT && y <= innerB && innerL <= innerR) {
      AddPixelSpan(y, left - out, innerL - 1);
      AddPixelSpan(y, innerR + 1, right + out);
    } else {
      AddPixelSpan(y, left - out, right + out);
    }
  }
}

void TSpanShape::AddFilledRect(int x1, int y1, int x2, int y2) {
  const int rowFrom = std::max(std::min(y1, y2), top_);
  const int rowTo = std::min(std::max(y1, y2), bottom_);
  for (int y = rowFrom; y <= rowTo; ++y) AddPixelSpan(y, std::min(x1, x2), std::max(x1, x2));
}

void TSpanShape::AddEllipse(int x1, int y1, int x2, int y2, int penWidth) {
  const double cx = (static_cast<double>(x1) + x2) / 2, cy = (static_cast<double>(y1) + y2) / 2;
  const double a = std::abs(static_cast<double>(x2) - x1) / 2;
  const double b = std::abs(static_cast<double>(y2) - y1) / 2;
  const double h = std::max(penWidth, 1) / 2.0;
  const double oa = a + h, ob = b + h;
  const double ia = a - h, ib = b - h;
  const int top = static_cast<int>(std::max<double>(top_, std::floor(cy - ob)));
  const int bottom = static_cast<int>(std::min<double>(bottom_, std::ceil(cy + ob)));
  for (int y = top; y <= bottom; ++y) {
    const double dy = y - cy;
    if (std::abs(dy) > ob) continue;
    const double ow = oa * std::sqrt(std::max(0.0, 1 - (dy / ob) * (dy / ob)));
    if (ia > 0 && ib > 0 && std::abs(dy) < ib) {
      const double iw = ia * std::sqrt(std::max(0.0, 1 - (dy / ib) * (dy / ib)));
      const std::int64_t leftEnd = ToPixel(std::floor(cx - iw));
      const std::int64_t rightStart = ToPixel(std::ceil(cx + iw));
      if (leftEnd + 1 >= rightStart) {
        AddSpan(y, cx - ow, cx + ow);
      } else {
        AddPixelSpan(y, ToPixel(std::ceil(cx - ow)), leftEnd);
        AddPixelSpan(y, rightStart, ToPixel(std::floor(cx + ow)));
      }
    } else {
      AddSpan(y, cx - ow, cx + ow);
    }
  }
}

void TSpanShape::AddEllipseRows(std::int64_t sumX, std::int64_t sumY, std::int64_t ta,
                                std::int64_t tb, std::int64_t hta, std::int64_t htb) {
  if (ta <= 0 || tb <= 0) return;
  const std::int64_t rowFrom = std::max<std::int64_t>(top_, CeilHalf(sumY - tb));
  const std::int64_t rowTo = std::min<std::int64_t>(bottom_, FloorHalf(sumY + tb));
  const bool hole = hta > 0 && htb > 0;
  for (std::int64_t y = rowFrom; y <= rowTo; ++y) {
    const std::int64_t ty = 2 * y - sumY;
    const std::int64_t right = EllipseRowEnd(sumX, ty, ta, tb, false);
    const std::int64_t left = sumX - right;
    if (left > right) continue;
    const int row = static_cast<int>(y);
    if (hole && (ty < 0 ? -ty : ty) < htb) {
      const std::int64_t holeRight = EllipseRowEnd(sumX, ty, hta, htb, true);
      const std::int64_t holeLeft = sumX - holeRight;
      if (holeLeft <= holeRight) {
        AddPixelSpan(row, left, holeLeft - 1);
        AddPixelSpan(row, holeRight + 1, right);
        continue;
      }
    }
    AddPixelSpan(row, left, right);
  }
}

void TSpanShape::AddFilledEllipse(int x1, int y1, int x2, int y2, int penWidth) {
  const std::int64_t w = std::max(penWidth, 1);
  const std::int64_t ax = std::abs(std::int64_t{x2} - x1), ay = std::abs(std::int64_t{y2} - y1);
  AddEllipseRows(std::int64_t{x1} + x2, std::int64_t{y1} + y2, ax + w, ay + w, 0, 0);
}

void TSpanShape::AddEllipseFrame(int x1, int y1, int x2, int y2, int penWidth) {
  const std::int64_t w = std::max(penWidth, 1);
  const std::int64_t ax = std::abs(std::int64_t{x2} - x1), ay = std::abs(std::int64_t{y2} - y1);
  AddEllipseRows(std::int64_t{x1} + x2, std::int64_t{y1} + y2, ax + w, ay + w, ax - w, ay - w);
}

void TSpanShape::AddBezier(TPointF p0, TPointF c1, TPointF c2, TPointF p3, int penWidth) {
  // A chord of 1/n of the curve strays at most 3/4 |second difference| / n^2 from it.
  const double m = std::max(std::hypot(p0.x - 2 * c1.x + c2.x, p0.y - 2 * c1.y + c2.y),
                            std::hypot(c1.x - 2 * c2.x + p3.x, c1.y - 2 * c2.y + p3.y));
  const int n = static_cast<int>(std::clamp(std::ceil(std::sqrt(3 * m)), 1.0, 256.0));
  TPointF previous = p0;
  for (int k = 1; k <= n; ++k) {
    const double t = static_cast<double>(k) / n, u = 1 - t;
    const double b0 = u * u * u, b1 = 3 * u * u * t, b2 = 3 * u * t * t, b3 = t * t * t;
    const TPointF next{b0 * p0.x + b1 * c1.x + b2 * c2.x + b3 * p3.x,
                       b0 * p0.y + b1 * c1.y + b2 * c2.y + b3 * p3.y};
    AddLine(previous, next, penWidth);
    previous = next;
  }
}

void TSpanShape::AddPolyline(const std::vector<TPoint>& points, int penWidth) {
  for (std::size_t k = 1; k < points.size(); ++k)
    AddLine(points[k - 1].x, points[k - 1].y, points[k].x, points[k].y, penWidth);
}

bool TSpanShape::Fits(const TDib& bitmap) const {
  return !bitmap.Empty() && bitmap.Width() == width_ && bitmap.Height() == height_ &&
         bitmap.PixelFormat() == TPixelFormat::pf24bit;
}

template <class Run>
void TSpanShape::ForEachRun(Run&& run) const {
  if (spans_.empty()) return;
  std::vector<Span> sortedCopy;
  const std::vector<Span>* spans = &spans_;
  if (!sorted_) {
    sortedCopy = spans_;
    std::sort(sortedCopy.begin(), sortedCopy.end(), [](const Span& a, const Span& b) {
      return a.y != b.y ? a.y < b.y : a.x0 < b.x0;
    });
    spans = &sortedCopy;
  }
  // Overlapping spans of a row are merged so that each pixel is visited once.
  Span current = spans->front();
  for (std::size_t k = 1; k < spans->size(); ++k) {
    const Span& s = (*spans)[k];
    if (s.y == current.y && s.x0 <= current.x1 + 1) {
      current.x1 = std::max(current.x1, s.x1);
    } else {
      run(current.y, current.x0, current.x1);
      current = s;
    }
  }
  run(current.y, current.x0, current.x1);
}

namespace {

template <class Op>
void ApplyToRun(std::uint8_t* p, int count, Op op) {
  for (int k = 0; k < count; ++k, p += 3) *p = op(*p);
}

}  // namespace

void TSpanShape::Apply(TDib& bitmap, int plane, TPlaneOp op, std::uint8_t value) const {
  if (!Fits(bitmap) || plane < 0 || plane > 2) return;
  ForEachRun([&](int y, int x0, int x1) {
    std::uint8_t* p = bitmap.ScanLine(y) + 3 * x0 + plane;
    const int count = x1 - x0 + 1;
    switch (op) {
      case TPlaneOp::Set:
        ApplyToRun(p, count, [value](std::uint8_t) { return value; });
        break;
      case TPlaneOp::Or:
        ApplyToRun(p, count, [value](std::uint8_t b) { return static_cast<std::uint8_t>(b | value); });
        break;
      case TPlaneOp::And:
        ApplyToRun(p, count, [value](std::uint8_t b) { return static_cast<std::uint8_t>(b & value); });
        break;
      case TPlaneOp::Xor:
        ApplyToRun(p, count, [value](std::uint8_t b) { return static_cast<std::uint8_t>(b ^ value); });
        break;
    }
  });
}

void TXorShape::Invert(TDib& bitmap) const {
  if (!Fits(bitmap)) return;
  ForEachRun([&bitmap](int y, int x0, int x1) {
    std::uint8_t* p = bitmap.ScanLine(y) + 3 * x0;
    for (int k = 0, n = 3 * (x1 - x0 + 1); k < n; ++k) p[k] ^= 0xFF;
  });
}

TRectI TSpanShape::Bounds() const {
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
