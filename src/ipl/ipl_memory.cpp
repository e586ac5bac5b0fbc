// Headers, pixels, regions, borders and errors, and the machinery the other groups share.
#include <opencv2/core.hpp>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>

#include "ipl/ipl.h"
#include "ipl/ipl_internal.h"

namespace {

thread_local IPLStatus g_status = IPL_StsOk;
thread_local int g_mode = IPL_ErrModeLeaf;
thread_local std::string g_message;

constexpr std::size_t kPixelAlignment = 64;

void CopyName(char (&dst)[5], const char* src) {
  std::memset(dst, 0, sizeof dst);
  if (src) std::strncpy(dst, src, sizeof dst - 1);
}

unsigned char* AllocatePixels(std::size_t bytes) {
  const std::size_t rounded = (bytes + kPixelAlignment - 1) / kPixelAlignment * kPixelAlignment;
  return static_cast<unsigned char*>(std::aligned_alloc(kPixelAlignment, rounded));
}

void ReleaseOwnedPixels(IplImage* image) {
  if (image->ownsData) std::free(image->imageDataOrigin);
  image->imageData = nullptr;
  image->imageDataOrigin = nullptr;
  image->ownsData = false;
}

// Maps an index beyond [0, n) back into it by a border mode; -1 for a constant border.
int MapIndex(int i, int n, int mode) {
  if (i >= 0 && i < n) return i;
  switch (mode) {
    case IPL_BORDER_REPLICATE:
      return std::clamp(i, 0, n - 1);
    case IPL_BORDER_REFLECT: {
      if (n == 1) return 0;
      const int period = 2 * (n - 1);
      int k = i % period;
      if (k < 0) k += period;
      return k < n ? k : period - k;
    }
    case IPL_BORDER_WRAP: {
      int k = i % n;
      return k < 0 ? k + n : k;
    }
    default:
      return -1;
  }
}

}  // namespace

namespace ipl_internal {

void Fail(IPLStatus status, const char* function, const char* reason) {
  g_status = status;
  g_message = std::string(function) + ": " + reason;
}

bool CheckImage(const IplImage* image, const char* function, bool needPixels) {
  if (!image) {
    Fail(IPL_StsNullPtr, function, "null image");
    return false;
  }
  if (image->depth != IPL_DEPTH_8U || image->dataOrder != IPL_DATA_ORDER_PIXEL ||
      image->nChannels < 1 || image->nChannels > 4 ||
      (image->origin != IPL_ORIGIN_TL && image->origin != IPL_ORIGIN_BL)) {
    Fail(IPL_StsUnsupported, function, "only 8-bit pixel-ordered images of 1 to 4 channels");
    return false;
  }
  if (image->width <= 0 || image->height <= 0 ||
      image->widthStep < image->width * image->nChannels ||
      static_cast<long long>(image->widthStep) * image->height > image->imageSize) {
    Fail(IPL_StsBadArg, function, "inconsistent image geometry");
    return false;
  }
  if (needPixels && !image->imageData) {
    Fail(IPL_StsNullPtr, function, "image has no pixels");
    return false;
  }
  if (const IplROI* roi = image->roi) {
    if (roi->coi < 0 || roi->coi > image->nChannels || roi->xOffset < 0 || roi->yOffset < 0 ||
        roi->width < 0 || roi->height < 0 || roi->xOffset > image->width - roi->width ||
        roi->yOffset > image->height - roi->height) {
      Fail(IPL_StsBadArg, function, "region of interest outside the image");
      return false;
    }
  }
  return true;
}

Rect RegionOf(const IplImage* image) {
  if (const IplROI* roi = image->roi) return {roi->xOffset, roi->yOffset, roi->width, roi->height};
  return {0, 0, image->width, image->height};
}

int CoiOf(const IplImage* image) { return image->roi ? image->roi->coi : 0; }

int SelectedChannel(const IplImage* src, const IplImage* dst) {
  const int coi = CoiOf(src) ? CoiOf(src) : CoiOf(dst);
  return coi - 1;
}

bool CheckSameRegion(const IplImage* a, const IplImage* b, const char* function) {
  const Rect ra = RegionOf(a);
  const Rect rb = RegionOf(b);
  if (ra.w != rb.w || ra.h != rb.h) {
    Fail(IPL_StsBadArg, function, "regions differ in size");
    return false;
  }
  const int channel = SelectedChannel(a, b);
  if (a->nChannels != b->nChannels && channel < 0) {
    Fail(IPL_StsBadArg, function, "images differ in channel count");
    return false;
  }
  if (channel >= a->nChannels || channel >= b->nChannels) {
    Fail(IPL_StsBadArg, function, "channel of interest beyond an image's channels");
    return false;
  }
  return true;
}

cv::Mat MatOf(const IplImage* image) {
  return cv::Mat(image->height, image->width, CV_8UC(image->nChannels), image->imageData,
                 static_cast<std::size_t>(image->widthStep));
}

cv::Mat RegionMat(const IplImage* image, const Rect& r) {
  return MatOf(image)(cv::Rect(r.x, r.y, r.w, r.h));
}

cv::Mat RegionMat(const IplImage* image) { return RegionMat(image, RegionOf(image)); }

bool RegionsOverlap(const IplImage* a, const IplImage* b) {
  const Rect ra = RegionOf(a);
  const Rect rb = RegionOf(b);
  if (ra.Empty() || rb.Empty()) return false;
  const auto span = [](const IplImage* im, const Rect& r) {
    const unsigned char* first = im->imageData + static_cast<std::ptrdiff_t>(r.y) * im->widthStep +
                                 static_cast<std::ptrdiff_t>(r.x) * im->nChannels;
    const unsigned char* last = im->imageData +
                                static_cast<std::ptrdiff_t>(r.y + r.h - 1) * im->widthStep +
                                static_cast<std::ptrdiff_t>(r.x + r.w) * im->nChannels;
    return std::pair{first, last};
  };
  const auto [a0, a1] = span(a, ra);
  const auto [b0, b1] = span(b, rb);
  return std::less<>{}(a0, b1) && std::less<>{}(b0, a1);
}

bool HasZeroConstantBorder(const IplImage* image) {
  for (int side = 0; side < 4; ++side) {
    if (image->borderMode[side] != IPL_BORDER_CONSTANT || image->borderConst[side] != 0)
      return false;
  }
  return true;
}

int MemoryAnchorRow(const IplImage* image, int nRows, int anchorY) {
  return image->origin == IPL_ORIGIN_BL ? nRows - 1 - anchorY : anchorY;
}

Margins KernelMargins(const IplImage* image, int nCols, int nRows, int anchorX, int anchorY) {
  const int ay = MemoryAnchorRow(image, nRows, anchorY);
  return {anchorX, nCols - 1 - anchorX, ay, nRows - 1 - ay};
}

cv::Mat KernelInMemoryOrder(const IplImage* image, const int* values, int nCols, int nRows,
                            double scale) {
  cv::Mat kernel(nRows, nCols, CV_32F);
  for (int j = 0; j < nRows; ++j) {
    const int row = image->origin == IPL_ORIGIN_BL ? nRows - 1 - j : j;
    for (int i = 0; i < nCols; ++i)
      kernel.at<float>(row, i) = static_cast<float>(values[j * nCols + i] * scale);
  }
  return kernel;
}

cv::Mat PadRegion(const IplImage* image, const Rect& region, const Margins& m, int channel) {
  const int outW = region.w + m.left + m.right;
  const int outH = region.h + m.below + m.above;
  const int n = image->nChannels;
  const int outN = channel >= 0 ? 1 : n;
  cv::Mat out(outH, outW, CV_8UC(outN));

  // Memory rows below 0 lie beyond the bottom of a bottom-up picture, beyond the top otherwise.
  const bool bottomUp = image->origin == IPL_ORIGIN_BL;
  const int lowSide = bottomUp ? IPL_SIDE_BOTTOM_INDEX : IPL_SIDE_TOP_INDEX;
  const int highSide = bottomUp ? IPL_SIDE_TOP_INDEX : IPL_SIDE_BOTTOM_INDEX;

  std::vector<int> columns(outW);
  std::vector<int> columnConst(outW, 0);
  for (int i = 0; i < outW; ++i) {
    const int x = region.x - m.left + i;
    const int side = x < 0 ? IPL_SIDE_LEFT_INDEX : IPL_SIDE_RIGHT_INDEX;
    columns[i] = MapIndex(x, image->width, image->borderMode[side]);
    columnConst[i] = image->borderConst[side];
  }
  const int firstInside = std::clamp(-(region.x - m.left), 0, outW);
  const int endInside = std::clamp(image->width - (region.x - m.left), firstInside, outW);

  for (int j = 0; j < outH; ++j) {
    unsigned char* dst = out.ptr<unsigned char>(j);
    const int y = region.y - m.below + j;
    const int side = y < 0 ? lowSide : highSide;
    const int row = MapIndex(y, image->height, image->borderMode[side]);
    if (row < 0) {
      std::memset(dst, Saturate(image->borderConst[side]), static_cast<std::size_t>(outW) * outN);
      continue;
    }
    const unsigned char* src = image->imageData + static_cast<std::ptrdiff_t>(row) * image->widthStep;
    for (int i = 0; i < outW; ++i) {
      if (i == firstInside && channel < 0 && endInside > firstInside) {
        // The part inside the image is one contiguous run.
        std::memcpy(dst + static_cast<std::ptrdiff_t>(i) * n,
                    src + static_cast<std::ptrdiff_t>(columns[i]) * n,
                    static_cast<std::size_t>(endInside - firstInside) * n);
        i = endInside - 1;
        continue;
      }
      unsigned char* d = dst + static_cast<std::ptrdiff_t>(i) * outN;
      if (columns[i] < 0) {
        std::memset(d, Saturate(columnConst[i]), static_cast<std::size_t>(outN));
      } else if (channel >= 0) {
        *d = src[static_cast<std::ptrdiff_t>(columns[i]) * n + channel];
      } else {
        std::memcpy(d, src + static_cast<std::ptrdiff_t>(columns[i]) * n, static_cast<std::size_t>(n));
      }
    }
  }
  return out;
}

void StoreRegion(const cv::Mat& result, IplImage* dst, int channel) {
  cv::Mat target = RegionMat(dst);
  if (channel < 0) {
    result.copyTo(target);
    return;
  }
  const int n = dst->nChannels;
  for (int j = 0; j < target.rows; ++j) {
    const unsigned char* s = result.ptr<unsigned char>(j);
    unsigned char* d = target.ptr<unsigned char>(j) + channel;
    for (int i = 0; i < target.cols; ++i) d[static_cast<std::ptrdiff_t>(i) * n] = s[i];
  }
}

void ApplyTables(IplImage* src, IplImage* dst, const ChannelTables& tables, const char* function) {
  if (!CheckImage(src, function) || !CheckImage(dst, function) ||
      !CheckSameRegion(src, dst, function))
    return;
  cv::Mat s = RegionMat(src);
  cv::Mat d = RegionMat(dst);
  // In place is fine on identical layouts; a shifted overlap would read bytes already written.
  if (RegionsOverlap(src, dst) && (s.data != d.data || s.step != d.step || s.type() != d.type()))
    s = s.clone();
  const int n = src->nChannels;
  const int nd = dst->nChannels;
  const int channel = SelectedChannel(src, dst);
  const int first = channel < 0 ? 0 : channel;
  const int last = channel < 0 ? n - 1 : channel;
  for (int j = 0; j < s.rows; ++j) {
    const unsigned char* sp = s.ptr<unsigned char>(j);
    unsigned char* dp = d.ptr<unsigned char>(j);
    for (int i = 0; i < s.cols; ++i) {
      for (int c = first; c <= last; ++c) {
        dp[static_cast<std::ptrdiff_t>(i) * nd + c] =
            tables[static_cast<std::size_t>(c)][sp[static_cast<std::ptrdiff_t>(i) * n + c]];
      }
    }
  }
}

}  // namespace ipl_internal

using namespace ipl_internal;

// --- memory ---------------------------------------------------------------------------------

IplImage* iplCreateImageHeader(int nChannels, int alphaChannel, int depth, const char* colorModel,
                               const char* channelSeq, int dataOrder, int origin, int align,
                               int width, int height, IplROI* roi) {
  constexpr const char* kFn = "iplCreateImageHeader";
  if (depth != IPL_DEPTH_8U || dataOrder != IPL_DATA_ORDER_PIXEL || nChannels < 1 ||
      nChannels > 4 || (origin != IPL_ORIGIN_TL && origin != IPL_ORIGIN_BL)) {
    Fail(IPL_StsUnsupported, kFn, "only 8-bit pixel-ordered images of 1 to 4 channels");
    return nullptr;
  }
  if (align != IPL_ALIGN_4BYTES && align != IPL_ALIGN_8BYTES) {
    Fail(IPL_StsBadArg, kFn, "row alignment must be 4 or 8 bytes");
    return nullptr;
  }
  if (width <= 0 || height <= 0 || alphaChannel < 0 || alphaChannel > nChannels) {
    Fail(IPL_StsBadArg, kFn, "bad size or alpha channel");
    return nullptr;
  }
  const long long rowBytes = static_cast<long long>(width) * nChannels;
  const long long step = (rowBytes + align - 1) / align * align;
  if (step * height > std::numeric_limits<int>::max()) {
    Fail(IPL_StsBadArg, kFn, "image too large");
    return nullptr;
  }
  auto* image = new (std::nothrow) IplImage{};
  if (!image) {
    Fail(IPL_StsNoMem, kFn, "out of memory");
    return nullptr;
  }
  image->nChannels = nChannels;
  image->alphaChannel = alphaChannel;
  image->depth = depth;
  CopyName(image->colorModel, colorModel);
  CopyName(image->channelSeq, channelSeq);
  image->dataOrder = dataOrder;
  image->origin = origin;
  image->align = align;
  image->width = width;
  image->height = height;
  image->roi = roi;
  image->widthStep = static_cast<int>(step);
  image->imageSize = static_cast<int>(step * height);
  for (int side = 0; side < 4; ++side) {
    image->borderMode[side] = IPL_BORDER_CONSTANT;
    image->borderConst[side] = 0;
  }
  return image;
}

void iplAllocateImage(IplImage* image, int doFill, int fillValue) {
  constexpr const char* kFn = "iplAllocateImage";
  if (!CheckImage(image, kFn, false)) return;
  unsigned char* pixels = AllocatePixels(static_cast<std::size_t>(image->imageSize));
  if (!pixels) {
    Fail(IPL_StsNoMem, kFn, "out of memory");
    return;
  }
  ReleaseOwnedPixels(image);
  image->imageData = pixels;
  image->imageDataOrigin = pixels;
  image->ownsData = true;
  if (doFill) std::memset(pixels, Saturate(fillValue), static_cast<std::size_t>(image->imageSize));
}

IplImage* iplCloneImage(const IplImage* image) {
  constexpr const char* kFn = "iplCloneImage";
  if (!CheckImage(image, kFn)) return nullptr;
  auto* clone = new (std::nothrow) IplImage(*image);
  IplROI* roi = image->roi ? new (std::nothrow) IplROI(*image->roi) : nullptr;
  unsigned char* pixels = AllocatePixels(static_cast<std::size_t>(image->imageSize));
  if (!clone || (image->roi && !roi) || !pixels) {
    delete clone;
    delete roi;
    std::free(pixels);
    Fail(IPL_StsNoMem, kFn, "out of memory");
    return nullptr;
  }
  std::memcpy(pixels, image->imageData, static_cast<std::size_t>(image->imageSize));
  clone->roi = roi;
  clone->imageData = pixels;
  clone->imageDataOrigin = pixels;
  clone->ownsData = true;
  return clone;
}

void iplCopy(IplImage* src, IplImage* dst) {
  constexpr const char* kFn = "iplCopy";
  if (!CheckImage(src, kFn) || !CheckImage(dst, kFn) || !CheckSameRegion(src, dst, kFn)) return;
  const int channel = SelectedChannel(src, dst);
  if (channel < 0) {
    // Overlapping regions of one image need a detour through a copy.
    if (RegionsOverlap(src, dst)) {
      const cv::Mat copy = RegionMat(src).clone();
      copy.copyTo(RegionMat(dst));
    } else {
      RegionMat(src).copyTo(RegionMat(dst));
    }
    return;
  }
  cv::Mat plane;
  cv::extractChannel(RegionMat(src), plane, channel);
  StoreRegion(plane, dst, channel);
}

void iplSet(IplImage* image, int fillValue) {
  constexpr const char* kFn = "iplSet";
  if (!CheckImage(image, kFn)) return;
  const int channel = CoiOf(image) - 1;
  cv::Mat region = RegionMat(image);
  if (channel < 0) {
    region.setTo(cv::Scalar::all(Saturate(fillValue)));
    return;
  }
  const cv::Mat plane(region.rows, region.cols, CV_8UC1, cv::Scalar(Saturate(fillValue)));
  StoreRegion(plane, image, channel);
}

void iplDeallocate(IplImage* image, int flag) {
  if (!image) return;
  if (flag & IPL_IMAGE_DATA) ReleaseOwnedPixels(image);
  if (flag & IPL_IMAGE_ROI) {
    delete image->roi;
    image->roi = nullptr;
  }
  if (flag & IPL_IMAGE_HEADER) delete image;
}

void iplDeallocateImage(IplImage* image) {
  if (image) ReleaseOwnedPixels(image);
}

void iplGetPixel(IplImage* image, int x, int y, void* pixel) {
  constexpr const char* kFn = "iplGetPixel";
  if (!CheckImage(image, kFn)) return;
  if (!pixel || x < 0 || y < 0 || x >= image->width || y >= image->height) {
    Fail(IPL_StsBadArg, kFn, "pixel outside the image");
    return;
  }
  std::memcpy(pixel, image->imageData + static_cast<std::ptrdiff_t>(y) * image->widthStep +
                         static_cast<std::ptrdiff_t>(x) * image->nChannels,
              static_cast<std::size_t>(image->nChannels));
}

void iplPutPixel(IplImage* image, int x, int y, const void* pixel) {
  constexpr const char* kFn = "iplPutPixel";
  if (!CheckImage(image, kFn)) return;
  if (!pixel || x < 0 || y < 0 || x >= image->width || y >= image->height) {
    Fail(IPL_StsBadArg, kFn, "pixel outside the image");
    return;
  }
  std::memcpy(image->imageData + static_cast<std::ptrdiff_t>(y) * image->widthStep +
                  static_cast<std::ptrdiff_t>(x) * image->nChannels,
              pixel, static_cast<std::size_t>(image->nChannels));
}

// --- regions ------------------------------------------------------------------------------------

IplROI* iplCreateROI(int coi, int xOffset, int yOffset, int width, int height) {
  auto* roi = new (std::nothrow) IplROI{coi, xOffset, yOffset, width, height};
  if (!roi) Fail(IPL_StsNoMem, "iplCreateROI", "out of memory");
  return roi;
}

void iplSetROI(IplROI* roi, int coi, int xOffset, int yOffset, int width, int height) {
  if (!roi) {
    Fail(IPL_StsNullPtr, "iplSetROI", "null region");
    return;
  }
  *roi = IplROI{coi, xOffset, yOffset, width, height};
}

void iplDeleteROI(IplROI* roi) { delete roi; }

// --- borders and errors ---------------------------------------------------------------------

void iplSetBorderMode(IplImage* image, int mode, int sides, int constVal) {
  constexpr const char* kFn = "iplSetBorderMode";
  if (!image) {
    Fail(IPL_StsNullPtr, kFn, "null image");
    return;
  }
  if (mode < IPL_BORDER_CONSTANT || mode > IPL_BORDER_WRAP) {
    Fail(IPL_StsBadArg, kFn, "unknown border mode");
    return;
  }
  for (int side = 0; side < 4; ++side) {
    if (sides & (1 << side)) {
      image->borderMode[side] = mode;
      image->borderConst[side] = constVal;
    }
  }
}

int iplSetErrMode(int mode) {
  const int previous = g_mode;
  g_mode = mode;
  return previous;
}

int iplGetErrMode() { return g_mode; }

IPLStatus iplGetErrStatus() { return g_status; }

void iplSetErrStatus(IPLStatus status) {
  g_status = status;
  if (status == IPL_StsOk) g_message.clear();
}

const char* iplGetErrMessage() { return g_message.c_str(); }
