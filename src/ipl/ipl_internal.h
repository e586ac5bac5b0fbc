// Shared machinery of the image-processing layer: validation, regions, OpenCV headers over the
// same memory, and neighbourhood padding by the per-side border modes. Private to src/ipl.
#pragma once

#include <opencv2/core.hpp>

#include <array>
#include <cstdint>

#include "ipl/ipl.h"

namespace ipl_internal {

struct Rect {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
  bool Empty() const { return w <= 0 || h <= 0; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

// Extra pixels a neighbourhood needs around a region, in memory orientation: `below` counts rows
// at lower memory addresses, `above` at higher ones.
struct Margins {
  int left = 0;
  int right = 0;
  int below = 0;
  int above = 0;
};

// Records an error (the status stays until reset) and its reason for iplGetErrMessage.
void Fail(IPLStatus status, const char* function, const char* reason);

// True for a header the layer can work on: 8-bit, pixel order, 1..4 channels, a sane geometry,
// pixels present (when needPixels) and a region inside the image. Otherwise records the error.
bool CheckImage(const IplImage* image, const char* function, bool needPixels = true);

// The region a call works on: the attached ROI, or the whole image.
Rect RegionOf(const IplImage* image);
// 0 for all channels, else the 1-based channel of the attached ROI.
int CoiOf(const IplImage* image);
// The channel a point or neighbourhood operation works on, 0-based, or -1 for all channels:
// the source's channel of interest, else the destination's.
int SelectedChannel(const IplImage* src, const IplImage* dst);

// Both regions have the same size and the images the same channel count (or one channel is
// selected); otherwise records IPL_StsBadArg.
bool CheckSameRegion(const IplImage* a, const IplImage* b, const char* function);

// Headers over the same memory: the whole image, or its region. Row r of the Mat is memory row
// r (of the region), whatever the image's origin.
cv::Mat MatOf(const IplImage* image);
cv::Mat RegionMat(const IplImage* image);
cv::Mat RegionMat(const IplImage* image, const Rect& r);

// Whether the bytes spanned by the two images' regions intersect.
bool RegionsOverlap(const IplImage* a, const IplImage* b);

// All four sides use the constant border with value 0 (the document's setting), the one mode
// OpenCV's filters can apply themselves.
bool HasZeroConstantBorder(const IplImage* image);

// Memory-orientation margins for a kernel given as the picture is seen, and the anchor row in
// memory orientation (the kernel turned over on a bottom-up image).
Margins KernelMargins(const IplImage* image, int nCols, int nRows, int anchorX, int anchorY);
int MemoryAnchorRow(const IplImage* image, int nRows, int anchorY);
// Kernel values (row 0 uppermost as seen) into a Mat whose row 0 meets the lowest memory row.
cv::Mat KernelInMemoryOrder(const IplImage* image, const int* values, int nCols, int nRows,
                            double scale);

// A copy of `region` grown by `m`, pixels beyond the image taken from the border modes. With
// channel >= 0 only that channel is copied (a one-channel Mat).
cv::Mat PadRegion(const IplImage* image, const Rect& region, const Margins& m, int channel);

// Writes a region-sized result (all channels, or one channel when channel >= 0) into dst's region.
void StoreRegion(const cv::Mat& result, IplImage* dst, int channel);

// Per-channel byte tables applied from src's region to dst's region (in place allowed).
using ChannelTables = std::array<std::array<std::uint8_t, 256>, 4>;
void ApplyTables(IplImage* src, IplImage* dst, const ChannelTables& tables, const char* function);

inline std::uint8_t Saturate(long long v) {
  return static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

}  // namespace ipl_internal
