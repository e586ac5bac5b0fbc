// Resize, rotation, mirroring and quadrilateral warps.
//
// Our pixel (x, y) covers [x, x + 1) x [y, y + 1); OpenCV puts pixel centres on the integers, so
// every map handed to OpenCV is shifted by half a pixel on both sides. Which destination pixels a
// rotation or warp writes is decided here, by taking each pixel centre back into the source
// region; OpenCV only samples, with replicated edges, so that linear and cubic weights near the
// edge neither reach pixels outside the source region nor widen the figure.
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <new>
#include <numbers>

#include "ipl/ipl.h"
#include "ipl/ipl_internal.h"

using namespace ipl_internal;

namespace {

using Corners = std::array<cv::Point2d, 4>;

// A mapped centre that should fall exactly on the source rectangle's edge may miss it by a
// rounding error; it counts as where it should be.
constexpr double kEdgeSlack = 1e-7;

// Failures inside OpenCV (its allocations above all) become a status; nothing has been written
// then, since every call writes the destination only at its very end.
template <class Body>
void Guarded(const char* function, Body body) {
  try {
    body();
  } catch (const std::bad_alloc&) {
    Fail(IPL_StsNoMem, function, "out of memory");
  } catch (const cv::Exception& e) {
    Fail(e.code == cv::Error::StsNoMem ? IPL_StsNoMem : IPL_StsError, function,
         "OpenCV refused the operation");
  }
}

bool CheckPair(const IplImage* src, const IplImage* dst, const char* function) {
  if (!CheckImage(src, function) || !CheckImage(dst, function)) return false;
  if (src->nChannels != dst->nChannels) {
    Fail(IPL_StsBadArg, function, "images differ in channel count");
    return false;
  }
  return true;
}

bool CheckInterpolation(int interpolate, const char* function) {
  if (interpolate < IPL_INTER_NN || interpolate > IPL_INTER_SUPER) {
    Fail(IPL_StsBadArg, function, "unknown interpolation");
    return false;
  }
  return true;
}

// Area averaging only means something to a resize; the others sample linearly instead.
int CvInterpolation(int interpolate, bool areaAllowed) {
  switch (interpolate) {
    case IPL_INTER_NN:
      return cv::INTER_NEAREST;
    case IPL_INTER_CUBIC:
      return cv::INTER_CUBIC;
    case IPL_INTER_SUPER:
      return areaAllowed ? cv::INTER_AREA : cv::INTER_LINEAR;
    default:
      return cv::INTER_LINEAR;
  }
}

// The source region, copied first when the call writes into the same memory. Calls that build
// their result in a temporary before storing it (rotations, warps) need no copy.
cv::Mat SourceRegion(const IplImage* src, const IplImage* dst) {
  cv::Mat region = RegionMat(src);
  return RegionsOverlap(src, dst) ? region.clone() : region;
}

Corners RectCorners(int w, int h) {
  return {{{0, 0}, {double(w), 0}, {double(w), double(h)}, {0, double(h)}}};
}

bool Inside(const cv::Point2d& p, cv::Size s) {
  return p.x >= -kEdgeSlack && p.x < s.width - kEdgeSlack && p.y >= -kEdgeSlack &&
         p.y < s.height - kEdgeSlack;
}

// Destination pixels whose centre may lie in the convex hull of `corners`, within a region of
// `size`: a generous bound, the exact test comes later.
cv::Rect Candidates(const Corners& corners, cv::Size size) {
  double x0 = corners[0].x, x1 = x0, y0 = corners[0].y, y1 = y0;
  for (const cv::Point2d& c : corners) {
    x0 = std::min(x0, c.x);
    x1 = std::max(x1, c.x);
    y0 = std::min(y0, c.y);
    y1 = std::max(y1, c.y);
  }
  const auto first = [](double lo, int n) {
    return static_cast<int>(std::clamp(std::floor(lo) - 1.0, 0.0, static_cast<double>(n)));
  };
  const auto end = [](double hi, int n) {
    return static_cast<int>(std::clamp(std::ceil(hi) + 1.0, 0.0, static_cast<double>(n)));
  };
  const int left = first(x0, size.width);
  const int top = first(y0, size.height);
  return {left, top, std::max(0, end(x1, size.width) - left),
          std::max(0, end(y1, size.height) - top)};
}

// The destination pixels (region-relative) whose centre `inverse` takes into the source
// rectangle: their bounding box (empty when there are none), a box-sized mask, 255 over them, and
// when asked for a box-sized CV_32FC2 map of their source points in OpenCV coordinates.
struct Coverage {
  cv::Rect box;
  cv::Mat mask;
  cv::Mat map;
};

// inverse: bool(cv::Point2d destinationPoint, cv::Point2d& sourcePoint), false where undefined.
template <class InverseMap>
Coverage Cover(const cv::Rect& candidates, cv::Size source, bool wantMap, InverseMap inverse) {
  cv::Mat mask(candidates.size(), CV_8UC1, cv::Scalar(0));
  cv::Mat map;
  if (wantMap) map.create(candidates.size(), CV_32FC2);
  int x0 = INT_MAX, y0 = INT_MAX, x1 = -1, y1 = -1;
  for (int j = 0; j < candidates.height; ++j) {
    unsigned char* m = mask.ptr<unsigned char>(j);
    cv::Vec2f* mp = wantMap ? map.ptr<cv::Vec2f>(j) : nullptr;
    const double qy = candidates.y + j + 0.5;
    for (int i = 0; i < candidates.width; ++i) {
      cv::Point2d p;
      const bool covered = inverse(cv::Point2d(candidates.x + i + 0.5, qy), p) && Inside(p, source);
      if (mp) {
        mp[i] = covered ? cv::Vec2f(static_cast<float>(p.x - 0.5), static_cast<float>(p.y - 0.5))
                        : cv::Vec2f(0.0f, 0.0f);
      }
      if (!covered) continue;
      m[i] = 255;
      x0 = std::min(x0, i);
      x1 = std::max(x1, i);
      y0 = std::min(y0, j);
      y1 = std::max(y1, j);
    }
  }
  Coverage coverage;
  if (x1 < 0) return coverage;
  const cv::Rect local(x0, y0, x1 - x0 + 1, y1 - y0 + 1);
  coverage.box = local + candidates.tl();
  coverage.mask = mask(local);
  if (wantMap) coverage.map = map(local);
  return coverage;
}

// Writes the box-sized samples into the covered pixels of dst's region.
void StoreCovered(const cv::Mat& samples, const Coverage& coverage, IplImage* dst) {
  cv::Mat target = RegionMat(dst)(coverage.box);
  samples.copyTo(target, coverage.mask);
}

// Quarter turns come out exact, so that they move pixels without resampling them.
void CosSin(double degrees, double& c, double& s) {
  double r = std::fmod(degrees, 360.0);
  if (r < 0) r += 360.0;
  if (r >= 360.0) r -= 360.0;
  if (r == 0.0) {
    c = 1;
    s = 0;
  } else if (r == 90.0) {
    c = 0;
    s = 1;
  } else if (r == 180.0) {
    c = -1;
    s = 0;
  } else if (r == 270.0) {
    c = 0;
    s = -1;
  } else {
    const double radians = r * (std::numbers::pi / 180.0);
    c = std::cos(radians);
    s = std::sin(radians);
  }
}

// Every corner turns the same way. Four turns of one sign, each short of half a turn, can only
// add up to one full turn, which rules out bow ties as well as dents and flat corners.
bool StrictlyConvex(const Corners& q) {
  int sign = 0;
  for (int i = 0; i < 4; ++i) {
    const cv::Point2d e1 = q[(i + 1) % 4] - q[i];
    const cv::Point2d e2 = q[(i + 2) % 4] - q[(i + 1) % 4];
    const double turn = e1.cross(e2);
    const int s = (turn > 0) - (turn < 0);
    if (s == 0 || (sign != 0 && s != sign)) return false;
    sign = s;
  }
  return true;
}

bool CheckWarp(const IplImage* src, const IplImage* dst, const double quad[4][2], int warpFlag,
               int interpolate, const char* function, Corners& corners) {
  if (!CheckPair(src, dst, function) || !CheckInterpolation(interpolate, function)) return false;
  if (warpFlag != IPL_R_TO_Q && warpFlag != IPL_Q_TO_R) {
    Fail(IPL_StsBadArg, function, "unknown warp direction");
    return false;
  }
  if (!quad) {
    Fail(IPL_StsNullPtr, function, "null quadrilateral");
    return false;
  }
  for (int i = 0; i < 4; ++i) {
    if (!std::isfinite(quad[i][0]) || !std::isfinite(quad[i][1])) {
      Fail(IPL_StsBadArg, function, "quadrilateral corner not finite");
      return false;
    }
    corners[static_cast<std::size_t>(i)] = {quad[i][0], quad[i][1]};
  }
  if (!StrictlyConvex(corners)) {
    Fail(IPL_StsError, function, "quadrilateral not strictly convex");
    return false;
  }
  return true;
}

// P(u, v) = A + B u + C v + D u v over the unit square, the bilinear form of
// (1-u)(1-v) Q0 + u(1-v) Q1 + uv Q2 + (1-u)v Q3.
struct Bilinear {
  cv::Point2d a, b, c, d;
  explicit Bilinear(const Corners& q)
      : a(q[0]), b(q[1] - q[0]), c(q[3] - q[0]), d(q[0] - q[1] + q[2] - q[3]) {}
  cv::Point2d operator()(double u, double v) const { return a + b * u + c * v + d * (u * v); }

  // The (u, v) of q scaled to a w x h rectangle, when it lies in it. From q - A = (B + D v) u + C
  // v, crossing with B + D v leaves a quadratic in v; a strictly convex quadrilateral has at most
  // one root whose point lies in the rectangle.
  bool Invert(const cv::Point2d& q, cv::Size rect, cv::Point2d& p) const {
    const cv::Point2d e = q - a;
    const double k2 = -c.cross(d);
    const double k1 = e.cross(d) - c.cross(b);
    const double k0 = e.cross(b);
    double roots[2];
    int count = 0;
    if (k2 == 0.0) {
      if (k1 == 0.0) return false;
      roots[count++] = -k0 / k1;
    } else {
      const double disc = k1 * k1 - 4.0 * k2 * k0;
      if (disc < 0.0) return false;
      // The stable pair: no cancellation when k2 is tiny (a near-parallelogram).
      const double half = -0.5 * (k1 + std::copysign(std::sqrt(disc), k1));
      if (half == 0.0) {
        roots[count++] = 0.0;
      } else {
        roots[count++] = k0 / half;
        roots[count++] = half / k2;
      }
    }
    for (int r = 0; r < count; ++r) {
      const double v = roots[r];
      const cv::Point2d along = b + d * v;
      const cv::Point2d rest = e - c * v;
      const double u = std::abs(along.x) >= std::abs(along.y) ? rest.x / along.x : rest.y / along.y;
      const cv::Point2d candidate(u * rect.width, v * rect.height);
      if (Inside(candidate, rect)) {
        p = candidate;
        return true;
      }
    }
    return false;
  }
};

}  // namespace

void iplResize(IplImage* src, IplImage* dst, int xDst, int xSrc, int yDst, int ySrc,
               int interpolate) {
  constexpr const char* kFn = "iplResize";
  if (!CheckPair(src, dst, kFn) || !CheckInterpolation(interpolate, kFn)) return;
  if (xDst <= 0 || xSrc <= 0 || yDst <= 0 || ySrc <= 0) {
    Fail(IPL_StsBadArg, kFn, "scale factors must be positive");
    return;
  }
  const Rect sr = RegionOf(src);
  const Rect dr = RegionOf(dst);
  if (sr.Empty() || dr.Empty()) return;
  const long long tw = std::max(1LL, static_cast<long long>(sr.w) * xDst / xSrc);
  const long long th = std::max(1LL, static_cast<long long>(sr.h) * yDst / ySrc);
  const bool direct = tw == dr.w && th == dr.h;
  // The scaled image is made whole before the part that fits is kept; no larger than any image
  // the layer can hold.
  if (!direct && (tw > INT_MAX || th > INT_MAX || tw * th > INT_MAX / src->nChannels)) {
    Fail(IPL_StsNoMem, kFn, "scaled image too large");
    return;
  }
  const int flag = CvInterpolation(interpolate, true);
  Guarded(kFn, [&] {
    // Only the direct path writes while it reads.
    const cv::Mat source = direct ? SourceRegion(src, dst) : RegionMat(src);
    cv::Mat target = RegionMat(dst);
    if (direct) {
      cv::resize(source, target, target.size(), 0, 0, flag);
      return;
    }
    cv::Mat scaled;
    cv::resize(source, scaled, cv::Size(static_cast<int>(tw), static_cast<int>(th)), 0, 0, flag);
    const cv::Rect fits(0, 0, std::min(scaled.cols, dr.w), std::min(scaled.rows, dr.h));
    cv::Mat part = target(fits);
    scaled(fits).copyTo(part);
  });
}

void iplRotate(IplImage* src, IplImage* dst, double angle, double xShift, double yShift,
               int interpolate) {
  constexpr const char* kFn = "iplRotate";
  if (!CheckPair(src, dst, kFn) || !CheckInterpolation(interpolate, kFn)) return;
  if (!std::isfinite(angle) || !std::isfinite(xShift) || !std::isfinite(yShift)) {
    Fail(IPL_StsBadArg, kFn, "angle or shift not finite");
    return;
  }
  const Rect sr = RegionOf(src);
  const Rect dr = RegionOf(dst);
  if (sr.Empty() || dr.Empty()) return;
  double c = 1;
  double s = 0;
  CosSin(angle, c, s);
  Corners forward = RectCorners(sr.w, sr.h);
  for (cv::Point2d& p : forward) p = {c * p.x - s * p.y + xShift, s * p.x + c * p.y + yShift};
  Guarded(kFn, [&] {
    const auto inverse = [&](const cv::Point2d& q, cv::Point2d& p) {
      const double dx = q.x - xShift;
      const double dy = q.y - yShift;
      p = {c * dx + s * dy, -s * dx + c * dy};
      return true;
    };
    const Coverage coverage =
        Cover(Candidates(forward, {dr.w, dr.h}), {sr.w, sr.h}, false, inverse);
    if (coverage.box.empty()) return;
    // Box pixel (i, j) in OpenCV terms has its centre at (box.x + i + 0.5, box.y + j + 0.5) of
    // ours; its source point, less half a pixel, is where OpenCV samples.
    const double ox = coverage.box.x + 0.5 - xShift;
    const double oy = coverage.box.y + 0.5 - yShift;
    const cv::Matx23d m(c, s, c * ox + s * oy - 0.5, -s, c, -s * ox + c * oy - 0.5);
    cv::Mat samples;
    cv::warpAffine(RegionMat(src), samples, m, coverage.box.size(),
                   CvInterpolation(interpolate, false) | cv::WARP_INVERSE_MAP,
                   cv::BORDER_REPLICATE);
    StoreCovered(samples, coverage, dst);
  });
}

void iplGetRotateShift(double xCenter, double yCenter, double angle, double* xShift,
                       double* yShift) {
  if (!xShift || !yShift) {
    Fail(IPL_StsNullPtr, "iplGetRotateShift", "null result");
    return;
  }
  double c = 1;
  double s = 0;
  CosSin(angle, c, s);
  *xShift = xCenter - (c * xCenter - s * yCenter);
  *yShift = yCenter - (s * xCenter + c * yCenter);
}

void iplMirror(IplImage* src, IplImage* dst, int flipAxis) {
  constexpr const char* kFn = "iplMirror";
  if (!CheckPair(src, dst, kFn) || !CheckSameRegion(src, dst, kFn)) return;
  if (flipAxis < -1 || flipAxis > 1) {
    Fail(IPL_StsBadArg, kFn, "unknown flip axis");
    return;
  }
  if (RegionOf(src).Empty()) return;
  Guarded(kFn, [&] {
    const cv::Mat source = SourceRegion(src, dst);
    cv::Mat target = RegionMat(dst);
    cv::flip(source, target, flipAxis);
  });
}

void iplWarpBilinearQ(IplImage* src, IplImage* dst, const double quad[4][2], int warpFlag,
                      int interpolate) {
  constexpr const char* kFn = "iplWarpBilinearQ";
  Corners q;
  if (!CheckWarp(src, dst, quad, warpFlag, interpolate, kFn, q)) return;
  const Rect sr = RegionOf(src);
  const Rect dr = RegionOf(dst);
  if (sr.Empty() || dr.Empty()) return;
  const cv::Size source(sr.w, sr.h);
  const cv::Size target(dr.w, dr.h);
  const Bilinear f(q);
  Guarded(kFn, [&] {
    Coverage coverage;
    if (warpFlag == IPL_R_TO_Q) {
      coverage =
          Cover(Candidates(q, target), source, true,
                [&](const cv::Point2d& p, cv::Point2d& s) { return f.Invert(p, source, s); });
    } else {
      coverage = Cover(cv::Rect(0, 0, dr.w, dr.h), source, true,
                       [&](const cv::Point2d& p, cv::Point2d& s) {
                         s = f(p.x / dr.w, p.y / dr.h);
                         return true;
                       });
    }
    if (coverage.box.empty()) return;
    cv::Mat samples;
    cv::remap(RegionMat(src), samples, coverage.map, cv::noArray(),
              CvInterpolation(interpolate, false), cv::BORDER_REPLICATE);
    StoreCovered(samples, coverage, dst);
  });
}

void iplWarpPerspectiveQ(IplImage* src, IplImage* dst, const double quad[4][2], int warpFlag,
                         int interpolate) {
  constexpr const char* kFn = "iplWarpPerspectiveQ";
  Corners q;
  if (!CheckWarp(src, dst, quad, warpFlag, interpolate, kFn, q)) return;
  const Rect sr = RegionOf(src);
  const Rect dr = RegionOf(dst);
  if (sr.Empty() || dr.Empty()) return;
  // Corner pairs as destination point -> source point: the map OpenCV samples through.
  const Corners to = warpFlag == IPL_R_TO_Q ? q : RectCorners(dr.w, dr.h);
  const Corners from = warpFlag == IPL_R_TO_Q ? RectCorners(sr.w, sr.h) : q;
  Guarded(kFn, [&] {
    cv::Point2f a[4];
    cv::Point2f b[4];
    for (std::size_t i = 0; i < 4; ++i) {
      a[i] = cv::Point2f(static_cast<float>(to[i].x), static_cast<float>(to[i].y));
      b[i] = cv::Point2f(static_cast<float>(from[i].x), static_cast<float>(from[i].y));
    }
    const cv::Matx33d h(cv::getPerspectiveTransform(a, b));
    for (int i = 0; i < 9; ++i) {
      if (!std::isfinite(h.val[i])) {
        Fail(IPL_StsError, kFn, "no projective map through the corners");
        return;
      }
    }
    const auto inverse = [&](const cv::Point2d& p, cv::Point2d& s) {
      const double w = h(2, 0) * p.x + h(2, 1) * p.y + h(2, 2);
      if (w == 0.0) return false;
      s = {(h(0, 0) * p.x + h(0, 1) * p.y + h(0, 2)) / w,
           (h(1, 0) * p.x + h(1, 1) * p.y + h(1, 2)) / w};
      return true;
    };
    const Coverage coverage = Cover(Candidates(to, {dr.w, dr.h}), {sr.w, sr.h}, false, inverse);
    if (coverage.box.empty()) return;
    // From box pixels in OpenCV terms to our destination coordinates, and back from ours in the
    // source.
    const cv::Matx33d fromBox(1, 0, coverage.box.x + 0.5, 0, 1, coverage.box.y + 0.5, 0, 0, 1);
    const cv::Matx33d toCv(1, 0, -0.5, 0, 1, -0.5, 0, 0, 1);
    cv::Mat samples;
    cv::warpPerspective(RegionMat(src), samples, cv::Mat(toCv * h * fromBox), coverage.box.size(),
                        CvInterpolation(interpolate, false) | cv::WARP_INVERSE_MAP,
                        cv::BORDER_REPLICATE);
    StoreCovered(samples, coverage, dst);
  });
}
