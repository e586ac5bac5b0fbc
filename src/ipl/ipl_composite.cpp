// Porter-Duff compositing of two images, each with an optional opacity image.
//
// Integer arithmetic throughout: opacities and weights count in 1/255, colours before the final
// division in 1/255^2, and that one division rounds to nearest, so that opacities 0 and 255 give
// exact results (opacity 0 leaves B, opaque A over black gives A).
#include <opencv2/core.hpp>

#include <algorithm>
#include <cstring>
#include <new>

#include "ipl/ipl.h"
#include "ipl/ipl_internal.h"

using namespace ipl_internal;

namespace {

constexpr int kOpaque = 255;
constexpr int kOpaqueSquared = kOpaque * kOpaque;

// The result colour is A' * wa + B' * wb with A' and B' the colours times their opacities (in
// 1/255), its opacity `opacity` (in 1/255^2).
struct Terms {
  int wa;
  int wb;
  int opacity;
};

Terms TermsOf(int type, int a, int b) {
  switch (type) {
    case IPL_COMPOSITE_OVER:
      return {kOpaque, kOpaque - a, a * kOpaque + b * (kOpaque - a)};
    case IPL_COMPOSITE_IN:
      return {b, 0, a * b};
    case IPL_COMPOSITE_OUT:
      return {kOpaque - b, 0, a * (kOpaque - b)};
    case IPL_COMPOSITE_ATOP:
      return {b, kOpaque - a, b * kOpaque};
    case IPL_COMPOSITE_XOR:
      return {kOpaque - b, kOpaque - a, a * (kOpaque - b) + b * (kOpaque - a)};
    default:  // IPL_COMPOSITE_PLUS
      return {kOpaque, kOpaque, std::min(kOpaqueSquared, (a + b) * kOpaque)};
  }
}

int RoundedDivide(int n, int d) {
  return (n + d / 2) / d;
}

bool SamePixels(const IplImage* a, const IplImage* b) {
  const Rect ra = RegionOf(a);
  const Rect rb = RegionOf(b);
  return a->imageData == b->imageData && a->widthStep == b->widthStep &&
         a->nChannels == b->nChannels && ra.x == rb.x && ra.y == rb.y;
}

// An input region, copied first when an output could overwrite pixels of it not yet read. An
// output over the very same pixels needs no copy: each pixel is read before it is written.
cv::Mat InputRegion(const IplImage* input, const IplImage* dst, const IplImage* alphaDst) {
  const auto conflicts = [input](const IplImage* output) {
    return output && RegionsOverlap(input, output) && !SamePixels(input, output);
  };
  cv::Mat region = RegionMat(input);
  return conflicts(dst) || conflicts(alphaDst) ? region.clone() : region;
}

}  // namespace

void iplAlphaComposite(IplImage* srcA, IplImage* srcB, IplImage* dst, int compositeType,
                       IplImage* alphaA, IplImage* alphaB, IplImage* alphaDst, bool premulAlpha,
                       bool divideMode) {
  constexpr const char* kFn = "iplAlphaComposite";
  if (!CheckImage(srcA, kFn) || !CheckImage(srcB, kFn) || !CheckImage(dst, kFn)) return;
  for (const IplImage* alpha : {alphaA, alphaB, alphaDst}) {
    if (alpha && !CheckImage(alpha, kFn)) return;
  }
  if (srcA->nChannels != srcB->nChannels || srcA->nChannels != dst->nChannels) {
    Fail(IPL_StsBadArg, kFn, "images differ in channel count");
    return;
  }
  const Rect region = RegionOf(dst);
  for (const IplImage* image : {srcA, srcB, alphaA, alphaB, alphaDst}) {
    if (!image) continue;
    const Rect r = RegionOf(image);
    if (r.w != region.w || r.h != region.h) {
      Fail(IPL_StsBadArg, kFn, "regions differ in size");
      return;
    }
  }
  if (compositeType < IPL_COMPOSITE_OVER || compositeType > IPL_COMPOSITE_PLUS) {
    Fail(IPL_StsBadArg, kFn, "unknown compositing operation");
    return;
  }
  if (region.Empty()) return;

  try {
    const cv::Mat a = InputRegion(srcA, dst, alphaDst);
    const cv::Mat b = InputRegion(srcB, dst, alphaDst);
    const cv::Mat opacityA = alphaA ? InputRegion(alphaA, dst, alphaDst) : cv::Mat();
    const cv::Mat opacityB = alphaB ? InputRegion(alphaB, dst, alphaDst) : cv::Mat();
    cv::Mat out = RegionMat(dst);
    cv::Mat outOpacity = alphaDst ? RegionMat(alphaDst) : cv::Mat();

    const int n = dst->nChannels;
    const int nA = alphaA ? alphaA->nChannels : 0;
    const int nB = alphaB ? alphaB->nChannels : 0;
    const int nOut = alphaDst ? alphaDst->nChannels : 0;
    for (int j = 0; j < region.h; ++j) {
      const unsigned char* pa = a.ptr<unsigned char>(j);
      const unsigned char* pb = b.ptr<unsigned char>(j);
      const unsigned char* qa = alphaA ? opacityA.ptr<unsigned char>(j) : nullptr;
      const unsigned char* qb = alphaB ? opacityB.ptr<unsigned char>(j) : nullptr;
      unsigned char* pd = out.ptr<unsigned char>(j);
      unsigned char* qd = alphaDst ? outOpacity.ptr<unsigned char>(j) : nullptr;
      for (int i = 0; i < region.w; ++i) {
        const int oa = qa ? qa[static_cast<std::ptrdiff_t>(i) * nA] : kOpaque;
        const int ob = qb ? qb[static_cast<std::ptrdiff_t>(i) * nB] : kOpaque;
        const Terms t = TermsOf(compositeType, oa, ob);
        // Premultiplied colours already carry their opacity.
        const int fa = (premulAlpha ? kOpaque : oa) * t.wa;
        const int fb = (premulAlpha ? kOpaque : ob) * t.wb;
        for (int c = 0; c < n; ++c) {
          const std::ptrdiff_t k = static_cast<std::ptrdiff_t>(i) * n + c;
          const int colour = pa[k] * fa + pb[k] * fb;
          if (!divideMode) {
            pd[k] = Saturate(RoundedDivide(colour, kOpaqueSquared));
          } else {
            pd[k] = t.opacity ? Saturate(RoundedDivide(colour, t.opacity)) : 0;
          }
        }
        if (qd) {
          std::memset(qd + static_cast<std::ptrdiff_t>(i) * nOut, RoundedDivide(t.opacity, kOpaque),
                      static_cast<std::size_t>(nOut));
        }
      }
    }
  } catch (const std::bad_alloc&) {
    Fail(IPL_StsNoMem, kFn, "out of memory");
  } catch (const cv::Exception&) {
    Fail(IPL_StsNoMem, kFn, "out of memory");
  }
}
