#include "paint/Stamp.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "app/Document.h"
#include "app/Random.h"
#include "app/XorCanvas.h"

namespace korvane {

namespace {

using std::int64_t;

// Radii, widths, pens and line counts beyond anything the brush produces are cut here, so that a
// stray value costs bounded work and no coordinate arithmetic can overflow.
constexpr int kMaxStampExtent = 4096;
constexpr int kMaxLineCount = 4096;
// Shape coordinates are held within this distance of the origin: far beyond every bitmap side,
// small enough that doubled ellipse axes multiply without overflow.
constexpr int64_t kFarCoordinate = int64_t{1} << 28;
// Attempts at a random offset inside a circle before settling for its centre; each one succeeds
// with a chance of about 3/4.
constexpr int kOffsetTries = 64;

int64_t Far(int64_t v) {
  return std::clamp(v, -kFarCoordinate, kFarCoordinate);
}

int ClampStyle(int style) {
  return std::clamp(style, int{NeonBrush}, int{ParallelLinesBrush});
}

// The rectangle with inclusive corners, clipped to the bitmap; empty when nothing is inside.
TRectI ClipToMask(const TDib& mask, int64_t left, int64_t top, int64_t right, int64_t bottom) {
  left = std::max<int64_t>(left, 0);
  top = std::max<int64_t>(top, 0);
  right = std::min<int64_t>(right, mask.Width() - 1);
  bottom = std::min<int64_t>(bottom, mask.Height() - 1);
  if (mask.Empty() || mask.PixelFormat() != TPixelFormat::pf24bit || left > right || top > bottom)
    return {};
  return {static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left + 1),
          static_cast<int>(bottom - top + 1)};
}

bool IsEmpty(const TRectI& r) {
  return r.Width <= 0 || r.Height <= 0;
}

void ClearPlane(TDib& mask, const TRectI& box, int plane) {
  for (int y = box.Y; y < box.Y + box.Height; ++y) {
    std::uint8_t* p = mask.ScanLine(y) + 3 * box.X + plane;
    for (int x = 0; x < box.Width; ++x) p[3 * x] = 0;
  }
}

// Room around a stamp for its blur to spread into and to read from: half a kernel for each. Any
// more would hold only zeros that blur to zeros.
int BlurRoom(const BrushSettings& brush) {
  if (!brush.BlurStamp) return 0;
  return std::clamp(brush.BlurKernel, kBlurKernel.Min, kBlurKernel.Max);
}

// The stamp's own box: what it may draw, grown by the blur's room, clipped; StampPlane is cleared
// over all of it so that the box holds this stamp alone and the blur reads nothing older.
TRectI OpenBox(TDib& mask, const BrushSettings& brush, int64_t left, int64_t top, int64_t right,
               int64_t bottom) {
  const int room = BlurRoom(brush);
  const TRectI box = ClipToMask(mask, left - room, top - room, right + room, bottom + room);
  if (!IsEmpty(box)) ClearPlane(mask, box, StampPlane);
  return box;
}

std::vector<std::uint8_t> RampValues(int rings, std::uint32_t step) {
  std::vector<std::uint8_t> values;
  values.reserve(static_cast<std::size_t>(std::max(rings, 0)));
  for (int k = 1; k <= rings; ++k) {
    values.push_back(RingValue(k, step));
    if (values.back() == 255) break;
  }
  return values;
}

// The largest x of a row with InsideEllipse(2x - sumX, ty, ta, tb); the row's pixels are
// sumX - result .. result, none when that range is empty.
int64_t EllipseRowEnd(int64_t sumX, int64_t ty, int64_t ta, int64_t tb) {
  const double q = static_cast<double>(ty) / static_cast<double>(tb);
  const double half = static_cast<double>(ta) * std::sqrt(std::max(0.0, 1 - q * q));
  int64_t x = static_cast<int64_t>(std::floor((static_cast<double>(sumX) + half) / 2));
  const int64_t floorHalf = sumX >= 0 ? sumX / 2 : -((1 - sumX) / 2);
  x = std::max(x, floorHalf - 1);
  const auto inside = [&](int64_t px) { return InsideEllipse(2 * px - sumX, ty, ta, tb); };
  // The estimate is off by a pixel at most; the exact rule decides.
  for (int k = 0; k < 8 && inside(x + 1); ++k) ++x;
  for (int k = 0; k < 8 && 2 * x >= sumX && !inside(x); ++k) --x;
  return x;
}

struct TSpan {
  int64_t Left;
  int64_t Right;
};

// A ramp of nested filled shapes, row by row: ringSpan(k, y, span) gives the pixels of ring k
// (from 0, the outermost) on row y, false when it has none there. Each pixel is written once,
// with the value of the innermost ring covering it; nesting is enforced by clipping every ring to
// the one before, so rounding can never make an inner ring stick out.
template <class RingSpan>
void DrawNestedRamp(TDib& mask, const TRectI& box, const std::vector<std::uint8_t>& values,
                    RingSpan&& ringSpan) {
  std::vector<TSpan> spans(values.size());
  for (int y = box.Y; y < box.Y + box.Height; ++y) {
    std::size_t n = 0;
    TSpan limit{box.X, int64_t{box.X} + box.Width - 1};
    for (std::size_t k = 0; k < values.size(); ++k) {
      TSpan s{};
      if (!ringSpan(static_cast<int>(k), y, s)) break;
      s.Left = std::max(s.Left, limit.Left);
      s.Right = std::min(s.Right, limit.Right);
      if (s.Left > s.Right) break;
      spans[n++] = s;
      limit = s;
    }
    std::uint8_t* row = mask.ScanLine(y) + StampPlane;
    const auto fill = [row](int64_t from, int64_t to, std::uint8_t v) {
      for (int64_t x = from; x <= to; ++x) row[3 * x] = v;
    };
    for (std::size_t k = 0; k < n; ++k) {
      if (k + 1 == n) {
        fill(spans[k].Left, spans[k].Right, values[k]);
      } else {
        fill(spans[k].Left, spans[k + 1].Left - 1, values[k]);
        fill(spans[k + 1].Right + 1, spans[k].Right, values[k]);
      }
    }
  }
}

// Rings of filled ellipses inscribed in the box shrinking by one pixel a side per ring, each with
// a two-pixel outline.
void DrawEllipseRamp(TDib& mask, const TRectI& box, int64_t left, int64_t top, int64_t right,
                     int64_t bottom, const std::vector<std::uint8_t>& values) {
  const int64_t sumX = left + right, sumY = top + bottom;
  DrawNestedRamp(mask, box, values, [&](int k, int y, TSpan& s) {
    const int64_t ax = right - left - 2 * k, ay = bottom - top - 2 * k;
    if (ax < 0 || ay < 0) return false;
    const int64_t ta = ax + 2, tb = ay + 2, ty = 2 * int64_t{y} - sumY;
    if (ty > tb || -ty > tb) return false;
    s.Right = EllipseRowEnd(sumX, ty, ta, tb);
    s.Left = sumX - s.Right;
    return s.Left <= s.Right;
  });
}

// The same for rectangles; the two-pixel outline reaches one pixel outside each ring.
void DrawRectRamp(TDib& mask, const TRectI& box, int64_t left, int64_t top, int64_t right,
                  int64_t bottom, const std::vector<std::uint8_t>& values) {
  DrawNestedRamp(mask, box, values, [&](int k, int y, TSpan& s) {
    const int64_t l = left + k, t = top + k, r = right - k, b = bottom - k;
    if (l > r || t > b || y < t - 1 || y > b + 1) return false;
    s = {l - 1, r + 1};
    return true;
  });
}

// The x interval where lo <= slope * x + c <= hi, intersected with [left, right].
void NarrowToBand(double slope, double c, double lo, double hi, double& left, double& right) {
  if (slope == 0) {
    if (c < lo || c > hi) right = left - 1;
    return;
  }
  double u = (lo - c) / slope, v = (hi - c) / slope;
  if (u > v) std::swap(u, v);
  left = std::max(left, u);
  right = std::min(right, v);
}

// A band whose value rises from its edges to its centre line: ring k is the segment drawn with a
// round pen of width - k pixels, and a pixel at distance d from the segment lies in every pen of
// at least 2d.
void DrawSegmentRamp(TDib& mask, const TRectI& box, TPointF a, TPointF b, int width,
                     const std::vector<std::uint8_t>& values) {
  const double dx = b.x - a.x, dy = b.y - a.y, length2 = dx * dx + dy * dy;
  const double length = std::sqrt(length2), inverseLength = length > 0 ? 1 / length : 0;
  const double limit = width + 1e-7;
  // A little over half the pen, so the row's interval never loses a pixel the exact test keeps.
  const double h = width / 2.0 + 0.01;
  const int last = static_cast<int>(values.size()) - 1;
  for (int y = box.Y; y < box.Y + box.Height; ++y) {
    const double py = y - a.y;
    // The capsule is convex: its row is one interval, the hull of the two end discs and the band
    // between them.
    double left = 1e300, right = -1e300;
    for (const TPointF& end : {a, b}) {
      const double ey = y - end.y;
      if (std::abs(ey) > h) continue;
      const double half = std::sqrt(h * h - ey * ey);
      left = std::min(left, end.x - half);
      right = std::max(right, end.x + half);
    }
    if (length > 0) {
      const double ux = dx / length, uy = dy / length;
      double bandLeft = -1e300, bandRight = 1e300;
      NarrowToBand(ux, py * uy - a.x * ux, 0, length, bandLeft, bandRight);
      NarrowToBand(-uy, py * ux + a.x * uy, -h, h, bandLeft, bandRight);
      if (bandLeft <= bandRight) {
        left = std::min(left, bandLeft);
        right = std::max(right, bandRight);
      }
    }
    if (!(left <= right)) continue;
    const int from = static_cast<int>(std::max<double>(box.X, std::floor(left)));
    const int to = static_cast<int>(std::min<double>(box.X + box.Width - 1, std::ceil(right)));
    std::uint8_t* row = mask.ScanLine(y) + StampPlane;
    for (int x = from; x <= to; ++x) {
      const double px = x - a.x;
      const double along = px * dx + py * dy;
      double twice;  // twice the distance from the segment
      if (along > 0 && along < length2) {
        twice = 2 * std::abs(px * dy - py * dx) * inverseLength;
      } else {
        const double ex = along <= 0 ? px : x - b.x, ey = along <= 0 ? py : y - b.y;
        twice = 2 * std::sqrt(ex * ex + ey * ey);
      }
      if (twice > limit) continue;
      const int pen = std::max(1, static_cast<int>(std::ceil(twice - 1e-7)));
      row[3 * x] = values[static_cast<std::size_t>(std::min(width - pen, last))];
    }
  }
}

void Draw(TDib& mask, const TSpanShape& shape, TPlaneOp op, std::uint8_t value) {
  shape.Apply(mask, StampPlane, op, value);
}

TPointF Offset(TPointF p, double dx, double dy) {
  return {p.x + dx, p.y + dy};
}

std::uint8_t LineValue(int intensityVary) {
  const int vary = std::clamp(intensityVary, 0, 255);
  return static_cast<std::uint8_t>(255 - RandomMod(vary));
}

// An offset (f, g) with both parts in -h..h and f^2 + g^2 <= h^2.
void OffsetInCircle(int h, int& f, int& g) {
  for (int k = 0; k < kOffsetTries; ++k) {
    f = RandomMod(2 * h + 1) - h;
    g = RandomMod(2 * h + 1) - h;
    if (int64_t{f} * f + int64_t{g} * g <= int64_t{h} * h) return;
  }
  f = g = 0;
}

// Unpainted streaks over a stamp of style 1 or 2.
void DrawScratches(TDib& mask, const TRectI& box, const BrushSettings& brush, TPointF a,
                   TPointF b) {
  const int variant = brush.LineVariant;
  if (variant <= 0) return;
  const int size = std::clamp(brush.BrushSize, 1, kMaxStampExtent);
  const int h = size / 2;
  const int pen = std::clamp(brush.LineThickness, 1, kMaxStampExtent);
  const int count = std::clamp(brush.LineCount, 0, kMaxLineCount);
  TSpanShape shape(mask.Width(), mask.Height(), box);
  const auto random = [size, h]() { return static_cast<double>(RandomMod(size) - h); };
  for (int i = 0; i < count; ++i) {
    TPointF from = a, to = b;
    switch (variant) {
      case 1: {
        const double ox = random(), oy = random();
        from = Offset(a, ox, oy);
        to = Offset(b, ox, oy);
        break;
      }
      case 2: {
        int f = 0, g = 0;
        OffsetInCircle(h, f, g);
        from = Offset(a, f, g);
        to = Offset(b, -f, -g);
        break;
      }
      case 3: {
        const double ox1 = random(), oy1 = random();
        const double ox2 = random(), oy2 = random();
        from = Offset(a, ox1, oy1);
        to = Offset(b, ox2, oy2);
        break;
      }
      case 4: {
        const double ox = random(), oy = random();
        from = Offset(a, ox, oy);
        break;
      }
      default: {
        const double ox = random(), oy = random();
        to = Offset(b, ox, oy);
        break;
      }
    }
    shape.AddLine(from, to, pen);
  }
  Draw(mask, shape, TPlaneOp::Set, 0);
}

// Lines of style 3, 4 or 5 over the band, each merged with its own value.
void DrawRandomLines(TDib& mask, const TRectI& box, const BrushSettings& brush, int style,
                     TPointF a, TPointF b, int width, int count) {
  const int pen = std::clamp(brush.LineThickness, 1, kMaxStampExtent);
  const int h = width / 2;
  const int size = std::clamp(brush.BrushSize, 1, kMaxStampExtent);
  const auto within = [](int n, int half) { return static_cast<double>(RandomMod(n) - half); };
  for (int i = 0; i < count; ++i) {
    TSpanShape shape(mask.Width(), mask.Height(), box);
    if (style == RandomLinesBrush) {
      TPointF from = a, to = b;
      switch (brush.LineVariant) {
        case 1: {
          const double ox1 = within(width, h), oy1 = within(width, h);
          const double ox2 = within(width, h), oy2 = within(width, h);
          from = Offset(a, ox1, oy1);
          to = Offset(b, ox2, oy2);
          break;
        }
        case 2: {
          const double ox = within(size, h), oy = within(size, h);
          from = Offset(a, ox, oy);
          break;
        }
        case 3: {
          const double ox = within(size, h), oy = within(size, h);
          to = Offset(b, ox, oy);
          break;
        }
        default: {
          const double ox = within(width, h), oy = within(width, h);
          from = Offset(a, ox, oy);
          to = Offset(b, ox, oy);
          break;
        }
      }
      shape.AddLine(from, to, pen);
    } else if (style == SplashBrush) {
      int ox = 0, oy = 0;
      for (int k = 0; k < kOffsetTries; ++k) {
        ox = RandomMod(width) - h;
        oy = RandomMod(width) - h;
        if (int64_t{ox} * ox + int64_t{oy} * oy <= int64_t{h} * h) break;
        ox = oy = 0;
      }
      shape.AddLine(Offset(a, ox, oy), Offset(b, -ox, -oy), pen);
    } else {
      const double ox = within(width, h), oy = within(width, h);
      shape.AddBezier(a, Offset(a, ox, oy), Offset(b, ox, oy), b, pen);
    }
    Draw(mask, shape, TPlaneOp::Or, LineValue(brush.IntensityVary));
  }
}

// Style 6: the centre line and its parallels on both sides, spaced by the line period.
void DrawParallelLines(TDib& mask, const TRectI& box, const BrushSettings& brush, TPointF a,
                       TPointF b, int width, std::uint32_t step) {
  const int pen = std::clamp(brush.LineThickness, 1, kMaxStampExtent);
  const int period = std::max(1, std::clamp(brush.LineCount, 0, kMaxStampExtent) + pen);
  {
    TSpanShape centre(mask.Width(), mask.Height(), box);
    centre.AddLine(a, b, pen);
    Draw(mask, centre, TPlaneOp::Or, 255);
  }
  const double dx = b.x - a.x, dy = b.y - a.y, length = std::hypot(dx, dy);
  if (!(length > 0)) return;
  const double nx = -dy / length, ny = dx / length;
  for (const int side : {1, -1}) {
    for (int k = 1; int64_t{k} * period < width / 2; ++k) {
      std::uint8_t value = 255;
      if (brush.FalloffPercent > 0) {
        // Falloffs below 50 % would take the outer lines below 0; they end there.
        const int64_t level = ((int64_t{255} << 22) - int64_t{k} * step) >> 22;
        if (level <= 0) break;
        value = static_cast<std::uint8_t>(std::min<int64_t>(level, 255));
      } else if (brush.IntensityVary > 0) {
        value = LineValue(brush.IntensityVary);
      }
      const double d = static_cast<double>(side) * k * period;
      const double ox = std::trunc(d * nx), oy = std::trunc(d * ny);
      TSpanShape line(mask.Width(), mask.Height(), box);
      line.AddLine(Offset(a, ox, oy), Offset(b, ox, oy), pen);
      Draw(mask, line, TPlaneOp::Or, value);
    }
  }
}

// Blurs StampPlane inside the box. Only pixels whose whole neighbourhood lies in the box (or
// beyond the bitmap) are blurred, so the blur reads nothing but this stamp; the box's blur room
// keeps the stamp and its spread inside that part.
void BlurBox(const TStampTarget& target, const BrushSettings& brush, const TRectI& box) {
  if (!brush.BlurStamp || IsEmpty(box)) return;
  IplImage* image = target.MaskImage;
  const TDib& mask = target.Mask;
  if (image == nullptr || image->imageData != mask.Rows() || image->width != mask.Width() ||
      image->height != mask.Height() || image->nChannels != 3 ||
      image->widthStep != mask.Stride() || image->origin != IPL_ORIGIN_BL)
    return;
  const int kernel = std::clamp(brush.BlurKernel, kBlurKernel.Min, kBlurKernel.Max);
  const int anchor = (kernel - 1) / 2, after = kernel - 1 - anchor;
  const int right = box.X + box.Width - 1, bottom = box.Y + box.Height - 1;
  const int x0 = box.X > 0 ? box.X + anchor : box.X;
  const int x1 = right < mask.Width() - 1 ? right - after : right;
  const int y0 = box.Y > 0 ? box.Y + anchor : box.Y;
  const int y1 = bottom < mask.Height() - 1 ? bottom - after : bottom;
  if (x0 > x1 || y0 > y1) return;
  IplROI* previous = image->roi;
  IplROI* roi = iplCreateROI(StampPlane + 1, x0, mask.Height() - 1 - y1, x1 - x0 + 1, y1 - y0 + 1);
  if (roi == nullptr) return;
  image->roi = roi;
  iplBlur(image, image, kernel, kernel, anchor, anchor);
  image->roi = previous;
  iplDeleteROI(roi);
}

TRectI RenderSegment(const TStampTarget& target, const BrushSettings& brush, int style, TPointF a,
                     TPointF b, int width, std::uint32_t step, int lineCount) {
  TDib& mask = target.Mask;
  style = ClampStyle(style);
  width = std::clamp(width, 1, kMaxStampExtent);
  const int pen = std::clamp(brush.LineThickness, 1, kMaxStampExtent);
  int reach = width / 2 + 1;
  if (style >= RandomLinesBrush) {
    int offsets = width / 2;
    if (style == RandomLinesBrush && (brush.LineVariant == 2 || brush.LineVariant == 3))
      offsets = std::max(offsets, std::clamp(brush.BrushSize, 1, kMaxStampExtent) - 1 - width / 2);
    reach = offsets + pen / 2 + 2;
  }
  const TRectI box =
      OpenBox(mask, brush, static_cast<int64_t>(std::floor(std::min(a.x, b.x))) - reach,
              static_cast<int64_t>(std::floor(std::min(a.y, b.y))) - reach,
              static_cast<int64_t>(std::ceil(std::max(a.x, b.x))) + reach,
              static_cast<int64_t>(std::ceil(std::max(a.y, b.y))) + reach);
  if (IsEmpty(box)) return {};

  TSpanShape band(mask.Width(), mask.Height(), box);
  band.AddLine(a, b, width);
  switch (style) {
    case NeonBrush: {
      const std::vector<std::uint8_t> values = RampValues(width, step);
      if (width == 1) {
        Draw(mask, band, TPlaneOp::Set, values.front());
      } else {
        DrawSegmentRamp(mask, box, a, b, width, values);
      }
      DrawScratches(mask, box, brush, a, b);
      break;
    }
    case SolidBrush:
      band.Apply(mask, AppliedPlane, TPlaneOp::Set, 0);
      Draw(mask, band, TPlaneOp::Set, 255);
      DrawScratches(mask, box, brush, a, b);
      break;
    default:
      if (!brush.BlurStamp) Draw(mask, band, TPlaneOp::Set, 1);
      if (style == ParallelLinesBrush) {
        DrawParallelLines(mask, box, brush, a, b, width, step);
      } else {
        DrawRandomLines(mask, box, brush, style, a, b, width, lineCount);
      }
      break;
  }
  BlurBox(target, brush, box);
  return box;
}

struct TOrderedBox {
  int64_t Left, Top, Right, Bottom;
};

TOrderedBox Ordered(int x1, int y1, int x2, int y2) {
  return {Far(std::min(x1, x2)), Far(std::min(y1, y2)), Far(std::max(x1, x2)),
          Far(std::max(y1, y2))};
}

TRectI RenderBox(const TStampTarget& target, const BrushSettings& brush, const TBoxStamp& stamp,
                 bool ellipse) {
  TDib& mask = target.Mask;
  const int style = ClampStyle(stamp.Style);
  const int w = std::clamp(stamp.BrushSize, 1, kMaxStampExtent);
  const TOrderedBox s = Ordered(stamp.X1, stamp.Y1, stamp.X2, stamp.Y2);
  const int64_t reach = w / 2 + 1;
  const TRectI box =
      OpenBox(mask, brush, s.Left - reach, s.Top - reach, s.Right + reach, s.Bottom + reach);
  if (IsEmpty(box)) return {};
  const int left = static_cast<int>(s.Left), top = static_cast<int>(s.Top);
  const int right = static_cast<int>(s.Right), bottom = static_cast<int>(s.Bottom);

  if (style != NeonBrush) {
    TSpanShape shape(mask.Width(), mask.Height(), box);
    if (ellipse) {
      if (stamp.Outlined) {
        shape.AddEllipseFrame(left, top, right, bottom, w);
      } else {
        shape.AddFilledEllipse(left, top, right, bottom, w);
      }
    } else {
      shape.AddRectFrame(left, top, right, bottom, w);
      if (!stamp.Outlined) shape.AddFilledRect(left, top, right, bottom);
    }
    Draw(mask, shape, TPlaneOp::Or, 255);
  } else if (stamp.Outlined) {
    // Pens W, W, W - 1, ..., 2: nested outlines, each drawn over the one before.
    std::vector<int> pens{w};
    for (int p = w; p >= 2; --p) pens.push_back(p);
    const std::vector<std::uint8_t> values = RampValues(static_cast<int>(pens.size()), stamp.Step);
    for (std::size_t k = 0; k < values.size(); ++k) {
      TSpanShape ring(mask.Width(), mask.Height(), box);
      if (ellipse) {
        ring.AddEllipseFrame(left, top, right, bottom, pens[k]);
      } else {
        ring.AddRectFrame(left, top, right, bottom, pens[k]);
      }
      Draw(mask, ring, TPlaneOp::Set, values[k]);
    }
  } else {
    const int half = std::clamp(stamp.HalfExtent, 1, kMaxStampExtent);
    const std::vector<std::uint8_t> values =
        w == 1 ? RampValues(half, kSolidFalloffStep / static_cast<std::uint32_t>(half))
               : RampValues(w, stamp.Step);
    const int64_t g = w / 2;
    if (ellipse) {
      DrawEllipseRamp(mask, box, s.Left - g, s.Top - g, s.Right + g, s.Bottom + g, values);
    } else {
      DrawRectRamp(mask, box, s.Left - g, s.Top - g, s.Right + g, s.Bottom + g, values);
    }
  }
  BlurBox(target, brush, box);
  return box;
}

}  // namespace

TStampTarget StampTargetOf(TDocument& document) {
  return {document.MaskBitmap(), document.MaskImage()};
}

std::uint8_t RingValue(int ring, std::uint32_t step) {
  if (ring <= 0) return 0;
  // ring x step falls short of the exact ramp by less than ring units; ring - 1 gives it back
  // without ever reaching the next whole value early.
  const int64_t v = (int64_t{ring} * step + ring - 1) >> 22;
  return static_cast<std::uint8_t>(std::min<int64_t>(v, 255));
}

TRectI ClearStampRect(TDib& mask, int x1, int y1, int x2, int y2, int penWidth, bool keepApplied) {
  const int64_t out = std::max(penWidth, 1) / 2;
  const TRectI box =
      ClipToMask(mask, int64_t{std::min(x1, x2)} - out, int64_t{std::min(y1, y2)} - out,
                 int64_t{std::max(x1, x2)} + out, int64_t{std::max(y1, y2)} + out);
  if (IsEmpty(box)) return {};
  ClearPlane(mask, box, StampPlane);
  if (!keepApplied) ClearPlane(mask, box, AppliedPlane);
  return box;
}

TRectI RenderDiscStamp(const TStampTarget& target, const BrushSettings& brush,
                       const TDiscStamp& stamp) {
  TDib& mask = target.Mask;
  const int style = ClampStyle(stamp.Style);
  const int r = std::clamp(stamp.Radius, 1, kMaxStampExtent);
  const int n = std::clamp(stamp.RingCount, 1, kMaxStampExtent);
  if (style == SplashBrush || style == CurvedLinesBrush) {
    const TPointF a{static_cast<double>(stamp.Cx), static_cast<double>(stamp.Cy)};
    const int count = static_cast<int>(std::min<int64_t>(
        int64_t{2} * std::clamp(brush.LineCount, 0, kMaxLineCount), kMaxLineCount));
    return RenderSegment(target, brush, style, a, Offset(a, 1, 1), 2 * r, stamp.Step, count);
  }
  const int64_t cx = stamp.Cx, cy = stamp.Cy;
  // Graded rings reach one pixel beyond the radius; outlines half their pen.
  const int64_t reach = style == NeonBrush && !stamp.Hollow ? r + 1 : r + std::max(1, n / 2);
  const TRectI box = OpenBox(mask, brush, cx - reach, cy - reach, cx + reach, cy + reach);
  if (IsEmpty(box)) return {};
  // The box is not empty, so the centre lies within a few radii of the bitmap.
  const int left = stamp.Cx - r, top = stamp.Cy - r, right = stamp.Cx + r, bottom = stamp.Cy + r;

  if (style != NeonBrush) {
    TSpanShape shape(mask.Width(), mask.Height(), box);
    if (stamp.Hollow) {
      shape.AddEllipseFrame(left, top, right, bottom, n);
    } else {
      shape.AddFilledEllipse(left, top, right, bottom, n);
    }
    Draw(mask, shape, TPlaneOp::Or, 255);
  } else if (stamp.Hollow) {
    std::vector<int> pens{n};
    for (int p = n; p >= 2; --p) pens.push_back(p);
    const std::vector<std::uint8_t> values = RampValues(static_cast<int>(pens.size()), stamp.Step);
    for (std::size_t k = 0; k < values.size(); ++k) {
      TSpanShape ring(mask.Width(), mask.Height(), box);
      ring.AddEllipseFrame(left, top, right, bottom, pens[k]);
      Draw(mask, ring, TPlaneOp::Set, values[k]);
    }
  } else {
    // One ring: a cone down to radius 1. More: that many rings of the given step.
    const std::vector<std::uint8_t> values =
        n == 1 ? RampValues(r, kSolidFalloffStep / static_cast<std::uint32_t>(r))
               : RampValues(std::min(n, r), stamp.Step);
    DrawEllipseRamp(mask, box, left, top, right, bottom, values);
  }
  BlurBox(target, brush, box);
  return box;
}

TRectI RenderSegmentStamp(const TStampTarget& target, const BrushSettings& brush,
                          const TSegmentStamp& stamp) {
  const TPointF a{static_cast<double>(stamp.X1), static_cast<double>(stamp.Y1)};
  const TPointF b{static_cast<double>(stamp.X2), static_cast<double>(stamp.Y2)};
  return RenderSegment(target, brush, stamp.Style, a, b, stamp.Width, stamp.Step,
                       std::clamp(brush.LineCount, 0, kMaxLineCount));
}

TRectI RenderRectStamp(const TStampTarget& target, const BrushSettings& brush,
                       const TBoxStamp& stamp) {
  return RenderBox(target, brush, stamp, false);
}

TRectI RenderEllipseStamp(const TStampTarget& target, const BrushSettings& brush,
                          const TBoxStamp& stamp) {
  return RenderBox(target, brush, stamp, true);
}

}  // namespace korvane
