// Convolution, fixed filters, rank filters, blur and morphology.
//
// Every neighbourhood operation pads its region by the image's border modes (PadRegion), runs
// OpenCV on the copy and stores the centre, which covers channels of interest, in-place calls and
// every border mode alike. The convolution and the median also have a path without the copy for
// the common case (zero constant border, all channels, separate memory), where OpenCV's own
// border handling yields the same bytes.
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <new>
#include <vector>

#include "ipl/ipl.h"
#include "ipl/ipl_internal.h"

using namespace ipl_internal;

namespace {

// Larger neighbourhoods would overflow the padded sizes; nobody filters with them.
constexpr int kMaxKernelSide = 1 << 15;
constexpr int kMaxIterations = 1 << 13;
// On a whole image filter2D turns to a DFT from 130 taps (50 without SSE3), whose float
// arithmetic nothing here shows exact; below that it sums directly.
constexpr int kMaxDirectTaps = 49;
// Larger windows, and two-channel ones beyond 5 x 5 (which medianBlur refuses), take our own.
constexpr int kMaxCvMedian = 255;
constexpr int kMinMedianFastSide = 64;
// Elements per band of the exact convolution, which keeps its 64-bit sums small.
constexpr int kBandElements = 1 << 16;

// Runs an operation, turning the allocator's and OpenCV's exceptions into a status.
template <typename F>
bool Guarded(const char* function, F&& body) {
  try {
    body();
    return true;
  } catch (const std::bad_alloc&) {
    Fail(IPL_StsNoMem, function, "out of memory");
  } catch (const cv::Exception& e) {
    Fail(e.code == cv::Error::StsNoMem ? IPL_StsNoMem : IPL_StsError, function, "OpenCV failed");
  }
  return false;
}

bool CheckPair(const IplImage* src, const IplImage* dst, const char* function) {
  return CheckImage(src, function) && CheckImage(dst, function) &&
         CheckSameRegion(src, dst, function);
}

bool CheckNeighbourhood(int nCols, int nRows, int anchorX, int anchorY, const char* function) {
  if (nCols < 1 || nRows < 1 || nCols > kMaxKernelSide || nRows > kMaxKernelSide) {
    Fail(IPL_StsBadArg, function, "neighbourhood size out of range");
    return false;
  }
  if (anchorX < 0 || anchorX >= nCols || anchorY < 0 || anchorY >= nRows) {
    Fail(IPL_StsBadArg, function, "anchor outside the neighbourhood");
    return false;
  }
  return true;
}

Rect Offset(const Rect& region, const Rect& part) {
  return {region.x + part.x, region.y + part.y, part.w, part.h};
}

// Stores a result covering `part` (in region coordinates) of dst's region.
void StorePart(const cv::Mat& result, IplImage* dst, const Rect& part, int channel) {
  const Rect r = Offset(RegionOf(dst), part);
  IplROI roi{0, r.x, r.y, r.w, r.h};
  IplImage view = *dst;
  view.roi = &roi;
  StoreRegion(result, &view, channel);
}

// The common shape of the rank, box and morphology filters: pad, let `op` filter the padded copy
// into a padded-size result, store the region-sized part at `centre`.
template <typename Op>
void RunPadded(IplImage* src, IplImage* dst, const Margins& m, cv::Point centre, Op&& op) {
  const int channel = SelectedChannel(src, dst);
  const Rect r = RegionOf(src);
  const cv::Mat padded = PadRegion(src, r, m, channel);
  cv::Mat out;
  op(padded, out);
  StoreRegion(out(cv::Rect(centre.x, centre.y, r.w, r.h)), dst, channel);
}

// --- linear filters ------------------------------------------------------------------------

// A kernel as the picture is seen and how its sum S becomes a result: floor((S + bias) / den).
struct LinearKernel {
  int cols = 1;
  int rows = 1;
  int anchorX = 0;
  int anchorY = 0;
  const int* values = nullptr;
  long long den = 1;
  long long bias = 0;
};

double AbsSum(const LinearKernel& k) {
  double sum = 0;
  for (int i = 0; i < k.cols * k.rows; ++i) sum += std::abs(static_cast<double>(k.values[i]));
  return sum;
}

long long FloorDiv(long long a, long long b) {
  const long long q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

long long Scaled(long long sum, const LinearKernel& k) {
  const long long v = sum + k.bias;
  if (std::has_single_bit(static_cast<unsigned long long>(k.den)))
    return v >> std::countr_zero(static_cast<unsigned long long>(k.den));
  return FloorDiv(v, k.den);
}

// Whether filter2D, with the kernel scaled by 1/den and the delta of FloorDelta, computes
// floor((S + bias) / den) exactly: den a power of two 2^s, every partial sum (delta included) a
// multiple of 2^-(s+1) that fits in a float's 24 bits.
bool FloatFloorExact(const LinearKernel& k) {
  if (!std::has_single_bit(static_cast<unsigned long long>(k.den)) || k.bias > k.den / 2 ||
      k.bias < 0)
    return false;
  return 2.0 * 255.0 * AbsSum(k) + 2.0 * static_cast<double>(k.den) <= 16777216.0;
}

// filter2D rounds to nearest; the sums are multiples of 1/den, so moving them down by half a
// unit less half a step never meets a tie and rounds to the floor. 0 for den 1, bias 0.
double FloorDelta(const LinearKernel& k) {
  const double step = 1.0 / static_cast<double>(k.den);
  return static_cast<double>(k.bias) * step - 0.5 + 0.5 * step;
}

cv::Mat MemoryKernel(const IplImage* image, const LinearKernel& k, double scale) {
  return KernelInMemoryOrder(image, k.values, k.cols, k.rows, scale);
}

cv::Point MemoryAnchor(const IplImage* image, const LinearKernel& k) {
  return {k.anchorX, MemoryAnchorRow(image, k.rows, k.anchorY)};
}

// One kernel, float-exact: filter2D straight from src to dst when OpenCV's zero border and its
// reads beyond a submatrix are what the contract asks for, else on the padded copy. There the
// filter runs on the centre of the copy, so the margins are read as real pixels and the
// whole-image DFT path is never taken.
void FilterFloat(IplImage* src, IplImage* dst, const LinearKernel& k) {
  const cv::Mat kernel = MemoryKernel(src, k, 1.0 / static_cast<double>(k.den));
  const cv::Point anchor = MemoryAnchor(src, k);
  const double delta = FloorDelta(k);
  const int channel = SelectedChannel(src, dst);
  if (channel < 0 && !RegionsOverlap(src, dst) && HasZeroConstantBorder(src) &&
      k.cols * k.rows <= kMaxDirectTaps) {
    cv::Mat target = RegionMat(dst);
    cv::filter2D(RegionMat(src), target, -1, kernel, anchor, delta, cv::BORDER_CONSTANT);
    return;
  }
  const Rect r = RegionOf(src);
  const Margins m = KernelMargins(src, k.cols, k.rows, k.anchorX, k.anchorY);
  const cv::Mat padded = PadRegion(src, r, m, channel);
  cv::Mat out;
  cv::filter2D(padded(cv::Rect(m.left, m.below, r.w, r.h)), out, -1, kernel, anchor, delta,
               cv::BORDER_CONSTANT);
  StoreRegion(out, dst, channel);
}

Margins Union(const Margins& a, const Margins& b) {
  return {std::max(a.left, b.left), std::max(a.right, b.right), std::max(a.below, b.below),
          std::max(a.above, b.above)};
}

// The exact sums S of one kernel for `rows` region rows from `y0`, read from a copy padded by
// `all` (at least the kernel's own margins).
void KernelSums(const IplImage* src, const cv::Mat& padded, const Margins& all,
                const LinearKernel& k, int w, int y0, int rows, std::vector<long long>& sums) {
  const int n = padded.channels();
  const std::size_t rowLen = static_cast<std::size_t>(w) * n;
  const Margins own = KernelMargins(src, k.cols, k.rows, k.anchorX, k.anchorY);
  const int dx = all.left - own.left;
  const int dy = all.below - own.below;
  sums.assign(rowLen * rows, 0);

  if (255.0 * AbsSum(k) <= 16777216.0) {
    // Integer sums below 2^24 are exact in filter2D's float accumulator.
    cv::Mat out;
    cv::filter2D(padded(cv::Rect(all.left, all.below + y0, w, rows)), out, CV_32F,
                 MemoryKernel(src, k, 1.0), MemoryAnchor(src, k), 0, cv::BORDER_CONSTANT);
    for (int j = 0; j < rows; ++j) {
      const float* s = out.ptr<float>(j);
      long long* d = sums.data() + rowLen * j;
      for (std::size_t t = 0; t < rowLen; ++t) d[t] = static_cast<long long>(s[t]);
    }
    return;
  }
  const bool bottomUp = src->origin == IPL_ORIGIN_BL;
  for (int kj = 0; kj < k.rows; ++kj) {
    const int memoryRow = bottomUp ? k.rows - 1 - kj : kj;
    for (int ki = 0; ki < k.cols; ++ki) {
      const long long coef = k.values[kj * k.cols + ki];
      if (coef == 0) continue;
      for (int j = 0; j < rows; ++j) {
        const unsigned char* p = padded.ptr<unsigned char>(y0 + j + dy + memoryRow) +
                                 static_cast<std::ptrdiff_t>(dx + ki) * n;
        long long* d = sums.data() + rowLen * j;
        for (std::size_t t = 0; t < rowLen; ++t) d[t] += coef * p[t];
      }
    }
  }
}

// Squares from 256 up saturate whatever else is added, so they stop counting there.
constexpr long long kLargeSquare = 1LL << 40;

void Combine(long long& acc, long long r, int method, bool first) {
  switch (method) {
    case IPL_SUMSQ:
    case IPL_SUMSQROOT: {
      const long long sq = (r > 255 || r < -255) ? kLargeSquare : r * r;
      acc = first ? sq : std::min(acc + sq, kLargeSquare);
      break;
    }
    case IPL_MAX:
      acc = first ? r : std::max(acc, r);
      break;
    case IPL_MIN:
      acc = first ? r : std::min(acc, r);
      break;
    default:
      acc = first ? r : acc + r;
      break;
  }
}

std::uint8_t Finish(long long acc, int method) {
  if (method == IPL_SUMSQROOT) {
    if (acc >= kLargeSquare) return 255;
    return Saturate(static_cast<long long>(std::floor(std::sqrt(static_cast<double>(acc)) + 0.5)));
  }
  return Saturate(acc);
}

// Any number of kernels with exact integer arithmetic, band by band from one padded copy.
void FilterExact(IplImage* src, IplImage* dst, const std::vector<LinearKernel>& kernels,
                 int method) {
  const int channel = SelectedChannel(src, dst);
  const Rect r = RegionOf(src);
  Margins all;
  for (const LinearKernel& k : kernels)
    all = Union(all, KernelMargins(src, k.cols, k.rows, k.anchorX, k.anchorY));
  const cv::Mat padded = PadRegion(src, r, all, channel);
  const int n = padded.channels();
  const std::size_t rowLen = static_cast<std::size_t>(r.w) * n;
  const int band =
      std::max(1, kBandElements / static_cast<int>(std::min<std::size_t>(rowLen, kBandElements)));
  // A single kernel is its own result whatever the method.
  const int combine = kernels.size() == 1 ? IPL_SUM : method;

  std::vector<long long> sums;
  std::vector<long long> acc;
  cv::Mat out;
  for (int y0 = 0; y0 < r.h; y0 += band) {
    const int rows = std::min(band, r.h - y0);
    acc.assign(rowLen * rows, 0);
    for (std::size_t ki = 0; ki < kernels.size(); ++ki) {
      KernelSums(src, padded, all, kernels[ki], r.w, y0, rows, sums);
      for (std::size_t t = 0; t < acc.size(); ++t)
        Combine(acc[t], Scaled(sums[t], kernels[ki]), combine, ki == 0);
    }
    out.create(rows, r.w, CV_8UC(n));
    for (int j = 0; j < rows; ++j) {
      unsigned char* d = out.ptr<unsigned char>(j);
      const long long* a = acc.data() + rowLen * j;
      for (std::size_t t = 0; t < rowLen; ++t) d[t] = Finish(a[t], combine);
    }
    StorePart(out, dst, {0, y0, r.w, rows}, channel);
  }
}

void LinearFilter(IplImage* src, IplImage* dst, const std::vector<LinearKernel>& kernels,
                  int method) {
  if (kernels.size() == 1 && FloatFloorExact(kernels[0]))
    FilterFloat(src, dst, kernels[0]);
  else
    FilterExact(src, dst, kernels, method);
}

bool CheckConvKernel(const IplConvKernel* k, const char* function) {
  if (!k) {
    Fail(IPL_StsNullPtr, function, "null kernel");
    return false;
  }
  if (!CheckNeighbourhood(k->nCols, k->nRows, k->anchorX, k->anchorY, function)) return false;
  if (!k->values) {
    Fail(IPL_StsBadArg, function, "kernel without values");
    return false;
  }
  if (k->nShiftR < 0 || k->nShiftR > 30) {
    Fail(IPL_StsBadArg, function, "shift out of range 0..30");
    return false;
  }
  return true;
}

// --- median --------------------------------------------------------------------------------

// Per channel, the value at sorted index count / 2 of each kw x kh window of `padded`, the window
// of result pixel (i, j) starting at padded pixel (i, j). A running histogram per row, searched
// through sixteen coarse bins.
cv::Mat WindowMedian(const cv::Mat& padded, int kw, int kh, int w, int h) {
  const int n = padded.channels();
  const int rank = kw * kh / 2;
  cv::Mat out(h, w, padded.type());
  std::array<int, 256> fine{};
  std::array<int, 16> coarse{};
  const auto add = [&](unsigned char v, int d) {
    fine[v] += d;
    coarse[v >> 4] += d;
  };
  for (int j = 0; j < h; ++j) {
    unsigned char* o = out.ptr<unsigned char>(j);
    for (int c = 0; c < n; ++c) {
      fine.fill(0);
      coarse.fill(0);
      for (int y = j; y < j + kh; ++y) {
        const unsigned char* p = padded.ptr<unsigned char>(y);
        for (int x = 0; x < kw; ++x) add(p[x * n + c], 1);
      }
      for (int i = 0; i < w; ++i) {
        int seen = 0;
        int b = 0;
        while (seen + coarse[b] <= rank) seen += coarse[b++];
        int v = b << 4;
        while (seen + fine[v] <= rank) seen += fine[v++];
        o[i * n + c] = static_cast<unsigned char>(v);
        if (i + 1 == w) break;
        for (int y = j; y < j + kh; ++y) {
          const unsigned char* p = padded.ptr<unsigned char>(y);
          add(p[i * n + c], -1);
          add(p[(i + kw) * n + c], 1);
        }
      }
    }
  }
  return out;
}

bool CvMedianFits(int nCols, int nRows, int channels) {
  return nCols == nRows && nCols % 2 == 1 && nCols <= kMaxCvMedian && (channels != 2 || nCols <= 5);
}

// The median of `part` of src's region (region coordinates) from a padded copy. medianBlur centres
// its window; with margins (a, k - 1 - a) the window anchored at a of region pixel i is the one
// centred on padded pixel i + k / 2.
cv::Mat PaddedMedian(const IplImage* src, const Rect& part, int nCols, int nRows, int anchorX,
                     int anchorY, int channel) {
  const Margins m = KernelMargins(src, nCols, nRows, anchorX, anchorY);
  const cv::Mat padded = PadRegion(src, Offset(RegionOf(src), part), m, channel);
  if (!CvMedianFits(nCols, nRows, padded.channels()))
    return WindowMedian(padded, nCols, nRows, part.w, part.h);
  cv::Mat out;
  if (padded.rows > 4 * padded.cols) {
    // medianBlur costs a lot per row; a square window does not mind the transposition.
    cv::Mat turned;
    cv::Mat filtered;
    cv::transpose(padded, turned);
    cv::medianBlur(turned, filtered, nCols);
    cv::transpose(filtered, out);
  } else {
    cv::medianBlur(padded, out, nCols);
  }
  return out(cv::Rect(nCols / 2, nRows / 2, part.w, part.h));
}

void Median(IplImage* src, IplImage* dst, int nCols, int nRows, int anchorX, int anchorY) {
  const int channel = SelectedChannel(src, dst);
  const Rect r = RegionOf(src);
  const int k = nCols;
  const int half = k / 2;
  if (channel < 0 && CvMedianFits(nCols, nRows, src->nChannels) && anchorX == half &&
      anchorY == half && !RegionsOverlap(src, dst) && HasZeroConstantBorder(src) &&
      std::min(r.w, r.h) >= std::max(kMinMedianFastSide, 2 * k)) {
    // medianBlur replicates the region's own edge pixels; the strips they reach are redone.
    cv::Mat target = RegionMat(dst);
    cv::medianBlur(RegionMat(src), target, k);
    const std::array<Rect, 4> strips{Rect{0, 0, r.w, half}, Rect{0, r.h - half, r.w, half},
                                     Rect{0, half, half, r.h - 2 * half},
                                     Rect{r.w - half, half, half, r.h - 2 * half}};
    for (const Rect& s : strips) {
      if (s.Empty()) continue;
      StorePart(PaddedMedian(src, s, k, k, half, half, -1), dst, s, -1);
    }
    return;
  }
  StoreRegion(PaddedMedian(src, {0, 0, r.w, r.h}, nCols, nRows, anchorX, anchorY, channel), dst,
              channel);
}

// --- morphology ----------------------------------------------------------------------------

enum class Morph { Erode, Dilate, Open, Close };

void Morphology(IplImage* src, IplImage* dst, int nIterations, Morph op, const char* function) {
  if (!CheckPair(src, dst, function)) return;
  if (nIterations < 1 || nIterations > kMaxIterations) {
    Fail(IPL_StsBadArg, function, "iteration count out of range");
    return;
  }
  if (RegionOf(src).Empty()) return;
  // n erosions reach n pixels; an opening's dilation then needs n eroded pixels beyond the region.
  const int reach = (op == Morph::Open || op == Morph::Close) ? 2 * nIterations : nIterations;
  const Margins m{reach, reach, reach, reach};
  Guarded(function, [&] {
    RunPadded(src, dst, m, {reach, reach}, [&](const cv::Mat& padded, cv::Mat& out) {
      const cv::Mat rect3;  // OpenCV's default: the 3 x 3 rectangle
      const cv::Point centre(-1, -1);
      switch (op) {
        case Morph::Erode:
          cv::erode(padded, out, rect3, centre, nIterations);
          break;
        case Morph::Dilate:
          cv::dilate(padded, out, rect3, centre, nIterations);
          break;
        case Morph::Open: {
          cv::Mat eroded;
          cv::erode(padded, eroded, rect3, centre, nIterations);
          cv::dilate(eroded, out, rect3, centre, nIterations);
          break;
        }
        case Morph::Close: {
          cv::Mat dilated;
          cv::dilate(padded, dilated, rect3, centre, nIterations);
          cv::erode(dilated, out, rect3, centre, nIterations);
          break;
        }
      }
    });
  });
}

// Max and min filters over a rectangle anchored as seen.
void RankExtreme(IplImage* src, IplImage* dst, int nCols, int nRows, int anchorX, int anchorY,
                 bool maximum, const char* function) {
  if (!CheckPair(src, dst, function) ||
      !CheckNeighbourhood(nCols, nRows, anchorX, anchorY, function))
    return;
  if (RegionOf(src).Empty()) return;
  const Margins m = KernelMargins(src, nCols, nRows, anchorX, anchorY);
  const cv::Point anchor(anchorX, MemoryAnchorRow(src, nRows, anchorY));
  Guarded(function, [&] {
    RunPadded(src, dst, m, {m.left, m.below}, [&](const cv::Mat& padded, cv::Mat& out) {
      const cv::Mat rect = cv::Mat::ones(nRows, nCols, CV_8U);
      if (maximum)
        cv::dilate(padded, out, rect, anchor);
      else
        cv::erode(padded, out, rect, anchor);
    });
  });
}

// --- fixed kernels ---------------------------------------------------------------------------

struct FixedKernel {
  int side;
  int divisor;
  std::array<int, 25> values;
};

constexpr std::array<FixedKernel, 11> kFixedKernels{{
    {3, 1, {-1, 0, 1, -1, 0, 1, -1, 0, 1}},   // Prewitt V
    {3, 1, {1, 1, 1, 0, 0, 0, -1, -1, -1}},   // Prewitt H
    {3, 1, {-1, 0, 1, -2, 0, 2, -1, 0, 1}},   // Sobel V
    {3, 1, {1, 2, 1, 0, 0, 0, -1, -2, -1}},   // Sobel H
    {3, 1, {0, -1, 0, -1, 4, -1, 0, -1, 0}},  // Laplace 3
    // Laplace 5
    {5, 1, {-1, -3, -4, -3, -1, -3, 0,  6,  0,  -3, -4, 6, 20,
            6,  -4, -3, 0,  6,  0,  -3, -1, -3, -4, -3, -1}},
    {3, 16, {1, 2, 1, 2, 4, 2, 1, 2, 1}},  // Gauss 3
    // Gauss 5
    {5, 571, {2,  7,  12, 7,  2,  7,  31, 52, 31, 7,  12, 52, 127,
              52, 12, 7,  31, 52, 31, 7,  2,  7,  12, 7,  2}},
    {3, 1, {-1, -1, -1, -1, 8, -1, -1, -1, -1}},  // Hipass 3
    {5, 1, {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 24,
            -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1}},  // Hipass 5
    {3, 8, {-1, -1, -1, -1, 16, -1, -1, -1, -1}},              // Sharpen 3
}};

}  // namespace

// --- filters ------------------------------------------------------------------------------------

IplConvKernel* iplCreateConvKernel(int nCols, int nRows, int anchorX, int anchorY,
                                   const int* values, int nShiftR) {
  constexpr const char* kFn = "iplCreateConvKernel";
  if (!CheckNeighbourhood(nCols, nRows, anchorX, anchorY, kFn)) return nullptr;
  if (!values) {
    Fail(IPL_StsBadArg, kFn, "kernel without values");
    return nullptr;
  }
  if (nShiftR < 0 || nShiftR > 30) {
    Fail(IPL_StsBadArg, kFn, "shift out of range 0..30");
    return nullptr;
  }
  const std::size_t count = static_cast<std::size_t>(nCols) * static_cast<std::size_t>(nRows);
  auto* kernel = new (std::nothrow) IplConvKernel{nCols, nRows, anchorX, anchorY, nullptr, nShiftR};
  int* copy = new (std::nothrow) int[count];
  if (!kernel || !copy) {
    delete kernel;
    delete[] copy;
    Fail(IPL_StsNoMem, kFn, "out of memory");
    return nullptr;
  }
  std::copy(values, values + count, copy);
  kernel->values = copy;
  return kernel;
}

void iplDeleteConvKernel(IplConvKernel* kernel) {
  if (!kernel) return;
  delete[] kernel->values;
  delete kernel;
}

void iplConvolve2D(IplImage* src, IplImage* dst, IplConvKernel** kernels, int nKernels,
                   int combineMethod) {
  constexpr const char* kFn = "iplConvolve2D";
  if (!CheckPair(src, dst, kFn)) return;
  if (!kernels) {
    Fail(IPL_StsNullPtr, kFn, "null kernel array");
    return;
  }
  if (nKernels < 1) {
    Fail(IPL_StsBadArg, kFn, "no kernels");
    return;
  }
  if (combineMethod < IPL_SUM || combineMethod > IPL_MIN) {
    Fail(IPL_StsBadArg, kFn, "unknown combine method");
    return;
  }
  std::vector<LinearKernel> linear;
  double bound = 0;
  for (int i = 0; i < nKernels; ++i) {
    const IplConvKernel* k = kernels[i];
    if (!CheckConvKernel(k, kFn)) return;
    linear.push_back({k->nCols, k->nRows, k->anchorX, k->anchorY, k->values, 1LL << k->nShiftR, 0});
    bound += 255.0 * AbsSum(linear.back());
  }
  // Keeps every sum, and the sum of the kernels' results, inside 64 bits.
  if (bound > 4.0e18) {
    Fail(IPL_StsBadArg, kFn, "kernel values too large");
    return;
  }
  if (RegionOf(src).Empty()) return;
  Guarded(kFn, [&] { LinearFilter(src, dst, linear, combineMethod); });
}

void iplAddS(IplImage* src, IplImage* dst, int value) {
  ChannelTables tables;
  for (auto& table : tables)
    for (int v = 0; v < 256; ++v) table[v] = Saturate(static_cast<long long>(v) + value);
  Guarded("iplAddS", [&] { ApplyTables(src, dst, tables, "iplAddS"); });
}

void iplBlur(IplImage* src, IplImage* dst, int nCols, int nRows, int anchorX, int anchorY) {
  constexpr const char* kFn = "iplBlur";
  if (!CheckPair(src, dst, kFn) || !CheckNeighbourhood(nCols, nRows, anchorX, anchorY, kFn)) return;
  if (RegionOf(src).Empty()) return;
  const Margins m = KernelMargins(src, nCols, nRows, anchorX, anchorY);
  const cv::Point anchor(anchorX, MemoryAnchorRow(src, nRows, anchorY));
  Guarded(kFn, [&] {
    RunPadded(src, dst, m, {m.left, m.below}, [&](const cv::Mat& padded, cv::Mat& out) {
      cv::blur(padded, out, cv::Size(nCols, nRows), anchor, cv::BORDER_REPLICATE);
    });
  });
}

void iplMedianFilter(IplImage* src, IplImage* dst, int nCols, int nRows, int anchorX, int anchorY) {
  constexpr const char* kFn = "iplMedianFilter";
  if (!CheckPair(src, dst, kFn) || !CheckNeighbourhood(nCols, nRows, anchorX, anchorY, kFn)) return;
  if (RegionOf(src).Empty()) return;
  Guarded(kFn, [&] { Median(src, dst, nCols, nRows, anchorX, anchorY); });
}

void iplMaxFilter(IplImage* src, IplImage* dst, int nCols, int nRows, int anchorX, int anchorY) {
  RankExtreme(src, dst, nCols, nRows, anchorX, anchorY, true, "iplMaxFilter");
}

void iplMinFilter(IplImage* src, IplImage* dst, int nCols, int nRows, int anchorX, int anchorY) {
  RankExtreme(src, dst, nCols, nRows, anchorX, anchorY, false, "iplMinFilter");
}

int iplFixedFilter(IplImage* src, IplImage* dst, IplFilter filter) {
  constexpr const char* kFn = "iplFixedFilter";
  if (!CheckPair(src, dst, kFn)) return -1;
  const int index = static_cast<int>(filter);
  if (index < 0 || index >= static_cast<int>(kFixedKernels.size())) {
    Fail(IPL_StsBadArg, kFn, "unknown filter");
    return -1;
  }
  if (RegionOf(src).Empty()) return 0;
  const FixedKernel& f = kFixedKernels[static_cast<std::size_t>(index)];
  // Rounded to nearest: floor((S + divisor / 2) / divisor), ties upwards.
  const LinearKernel k{f.side,          f.side,    f.side / 2,   f.side / 2,
                       f.values.data(), f.divisor, f.divisor / 2};
  return Guarded(kFn, [&] { LinearFilter(src, dst, {k}, IPL_SUM); }) ? 0 : -1;
}

void iplErode(IplImage* src, IplImage* dst, int nIterations) {
  Morphology(src, dst, nIterations, Morph::Erode, "iplErode");
}

void iplDilate(IplImage* src, IplImage* dst, int nIterations) {
  Morphology(src, dst, nIterations, Morph::Dilate, "iplDilate");
}

void iplOpen(IplImage* src, IplImage* dst, int nIterations) {
  Morphology(src, dst, nIterations, Morph::Open, "iplOpen");
}

void iplClose(IplImage* src, IplImage* dst, int nIterations) {
  Morphology(src, dst, nIterations, Morph::Close, "iplClose");
}
