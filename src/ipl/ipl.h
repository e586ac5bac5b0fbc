// Korvane's image-processing layer: image headers over pixel memory and the operations the
// editor's tools run on them.
//
// What every function guarantees, for 8-bit images of 1 to 4 interleaved channels (the editor
// uses 3, in memory order blue, green, red):
//
// - Coordinates. x counts columns from the left; y counts memory rows, row 0 being the first row
//   in memory. For an image with origin IPL_ORIGIN_BL (the editor's bottom-up bitmaps) row 0 is
//   the bottom of the picture, so y grows upwards. Regions of interest, pixel access, rotation
//   centres and warp corners all use these coordinates. In continuous terms pixel (x, y) covers
//   [x, x + 1) x [y, y + 1); its centre is (x + 0.5, y + 0.5).
// - Kernels and neighbourhoods are given as the picture is seen: row 0 of a kernel, and anchor
//   y = 0, are the uppermost row of the neighbourhood in the picture. On a bottom-up image the
//   layer turns them over itself; callers never flip kernels.
// - Regions. An attached IplROI limits a call to its rectangle; coi 0 means all channels,
//   coi 1..n one channel (1 is the first byte of a pixel). Point and neighbourhood operations
//   honour coi; geometry and compositing work on all channels. A neighbourhood operation reads
//   real pixels outside the region where the image has them, and border pixels (by the image's
//   border mode, per side) only beyond the image. The source and destination regions of one call
//   must be the same size, except for the geometric functions that map one onto the other;
//   those measure source points from the source region's first pixel and destination points
//   from the destination region's, and write only inside the destination region.
// - Results saturate to 0..255. Source and destination may be the same image.
// - Errors. A null image, a header that is not 8-bit pixel-ordered, a region outside its image,
//   mismatched region sizes or channel counts, or a failed allocation set a negative status and
//   touch no pixel. The status stays until iplSetErrStatus resets it; the error mode is kept for
//   callers that switch it, and nothing is printed in any mode.
// - Ownership. A header over foreign memory (imageData set by the caller) never frees it;
//   only pixels from iplAllocateImage or iplCloneImage are released by iplDeallocate.
//
// Which code does the work: copies, fills, XOR, resize, mirror and the sampling of rotations and
// warps run through OpenCV (core + imgproc) on cv::Mat headers over the same memory. The
// convolution and the fixed filters use cv::filter2D (with exact integer arithmetic for the
// right shift); blur, median, minimum, maximum and the morphology use cv::blur, cv::medianBlur,
// cv::erode and cv::dilate where they fit, our own code for even or non-square medians. Our own
// code also pads neighbourhoods by the per-side border modes, applies colour twists, histograms,
// contrast stretch and equalization, builds rotation and warp coverage, inverts bilinear warps and
// does the alpha compositing. Nothing outside src/ipl sees OpenCV.
#pragma once

#include <cstdint>

// Depths, orders, origins, alignment.
inline constexpr int IPL_DEPTH_8U = 8;
inline constexpr int IPL_DATA_ORDER_PIXEL = 0;
inline constexpr int IPL_DATA_ORDER_PLANE = 1;
inline constexpr int IPL_ORIGIN_TL = 0;
inline constexpr int IPL_ORIGIN_BL = 1;
inline constexpr int IPL_ALIGN_4BYTES = 4;
inline constexpr int IPL_ALIGN_8BYTES = 8;
inline constexpr int IPL_ALIGN_DWORD = IPL_ALIGN_4BYTES;

// Border modes and the sides they apply to.
inline constexpr int IPL_BORDER_CONSTANT = 0;
inline constexpr int IPL_BORDER_REPLICATE = 1;
inline constexpr int IPL_BORDER_REFLECT = 2;  // mirrored about the edge pixel, which is not repeated
inline constexpr int IPL_BORDER_WRAP = 3;
inline constexpr int IPL_SIDE_TOP_INDEX = 0;
inline constexpr int IPL_SIDE_BOTTOM_INDEX = 1;
inline constexpr int IPL_SIDE_LEFT_INDEX = 2;
inline constexpr int IPL_SIDE_RIGHT_INDEX = 3;
inline constexpr int IPL_SIDE_TOP = 1 << IPL_SIDE_TOP_INDEX;
inline constexpr int IPL_SIDE_BOTTOM = 1 << IPL_SIDE_BOTTOM_INDEX;
inline constexpr int IPL_SIDE_LEFT = 1 << IPL_SIDE_LEFT_INDEX;
inline constexpr int IPL_SIDE_RIGHT = 1 << IPL_SIDE_RIGHT_INDEX;
inline constexpr int IPL_SIDE_ALL = IPL_SIDE_TOP | IPL_SIDE_BOTTOM | IPL_SIDE_LEFT | IPL_SIDE_RIGHT;

// What iplDeallocate releases.
inline constexpr int IPL_IMAGE_HEADER = 1;
inline constexpr int IPL_IMAGE_DATA = 2;
inline constexpr int IPL_IMAGE_ROI = 4;
inline constexpr int IPL_IMAGE_ALL = IPL_IMAGE_HEADER | IPL_IMAGE_DATA | IPL_IMAGE_ROI;

// Interpolation codes of the geometric functions.
inline constexpr int IPL_INTER_NN = 0;
inline constexpr int IPL_INTER_LINEAR = 1;
inline constexpr int IPL_INTER_CUBIC = 2;
inline constexpr int IPL_INTER_SUPER = 3;  // area averaging; rotations and warps treat it as linear

// How iplConvolve2D combines the results of several kernels.
inline constexpr int IPL_SUM = 0;
inline constexpr int IPL_SUMSQ = 1;
inline constexpr int IPL_SUMSQROOT = 2;
inline constexpr int IPL_MAX = 3;
inline constexpr int IPL_MIN = 4;

// Compositing operations (Porter-Duff).
inline constexpr int IPL_COMPOSITE_OVER = 0;
inline constexpr int IPL_COMPOSITE_IN = 1;
inline constexpr int IPL_COMPOSITE_OUT = 2;
inline constexpr int IPL_COMPOSITE_ATOP = 3;
inline constexpr int IPL_COMPOSITE_XOR = 4;
inline constexpr int IPL_COMPOSITE_PLUS = 5;

// Warp direction: the source rectangle onto the quadrilateral, or the quadrilateral onto it.
inline constexpr int IPL_R_TO_Q = 0;
inline constexpr int IPL_Q_TO_R = 1;

// Look-up table interpolation.
inline constexpr int IPL_LUT_LOOKUP = 0;
inline constexpr int IPL_LUT_INTER = 1;

// Error modes and status codes.
inline constexpr int IPL_ErrModeLeaf = 0;
inline constexpr int IPL_ErrModeParent = 1;
inline constexpr int IPL_ErrModeSilent = 2;

using IPLStatus = int;
inline constexpr IPLStatus IPL_StsOk = 0;
inline constexpr IPLStatus IPL_StsError = -2;    // the operation cannot be done (a degenerate warp)
inline constexpr IPLStatus IPL_StsNoMem = -4;
inline constexpr IPLStatus IPL_StsBadArg = -5;   // sizes, regions, counts or codes out of range
inline constexpr IPLStatus IPL_StsNullPtr = -8;
inline constexpr IPLStatus IPL_StsUnsupported = -9;  // a header the layer does not handle

// The eleven fixed kernels of iplFixedFilter, rows as the picture is seen. Results are rounded.
//   Prewitt V  -1 0 1 / -1 0 1 / -1 0 1          Prewitt H   1 1 1 / 0 0 0 / -1 -1 -1
//   Sobel V    -1 0 1 / -2 0 2 / -1 0 1          Sobel H     1 2 1 / 0 0 0 / -1 -2 -1
//   Laplace 3  0 -1 0 / -1 4 -1 / 0 -1 0         Laplace 5   -1 -3 -4 -3 -1 / -3 0 6 0 -3 /
//                                                             -4 6 20 6 -4 / -3 0 6 0 -3 / -1 -3 -4 -3 -1
//   Gauss 3    1 2 1 / 2 4 2 / 1 2 1, / 16       Gauss 5     2 7 12 7 2 / 7 31 52 31 7 /
//                                                             12 52 127 52 12 / 7 31 52 31 7 / 2 7 12 7 2, / 571
//   Hipass 3   -1 -1 -1 / -1 8 -1 / -1 -1 -1     Hipass 5    every -1, centre 24
//   Sharpen 3  -1 -1 -1 / -1 16 -1 / -1 -1 -1, / 8
enum IplFilter {
  IPL_PREWITT_3x3_V = 0,
  IPL_PREWITT_3x3_H,
  IPL_SOBEL_3x3_V,
  IPL_SOBEL_3x3_H,
  IPL_LAPLACIAN_3x3,
  IPL_LAPLACIAN_5x5,
  IPL_GAUSSIAN_3x3,
  IPL_GAUSSIAN_5x5,
  IPL_HIPASS_3x3,
  IPL_HIPASS_5x5,
  IPL_SHARPEN_3x3
};

struct IplROI {
  int coi;  // 0 all channels, 1..n one channel
  int xOffset;
  int yOffset;  // memory row of the region's first row
  int width;
  int height;
};

struct IplImage {
  int nChannels;
  int alphaChannel;  // 0: none
  int depth;         // IPL_DEPTH_8U
  char colorModel[5];
  char channelSeq[5];
  int dataOrder;  // IPL_DATA_ORDER_PIXEL
  int origin;     // IPL_ORIGIN_TL or IPL_ORIGIN_BL
  int align;      // row alignment in bytes
  int width;
  int height;
  IplROI* roi;        // not owned unless released with IPL_IMAGE_ROI
  int imageSize;      // widthStep * height
  int widthStep;      // bytes per row
  unsigned char* imageData;        // first row in memory
  unsigned char* imageDataOrigin;  // start of the pixel memory (equal to imageData here)
  bool ownsData;                   // set by iplAllocateImage and iplCloneImage only
  int borderMode[4];               // per side, indexed by IPL_SIDE_*_INDEX
  int borderConst[4];
};

struct IplConvKernel {
  int nCols;
  int nRows;
  int anchorX;
  int anchorY;
  int* values;  // nRows x nCols, row 0 first (the uppermost row as the picture is seen)
  int nShiftR;  // the sum is shifted right (arithmetically) by this many bits
};

struct IplColorTwist {
  int data[16];      // row c gives output channel c (memory order): 3 weights, then an offset
  int scalingValue;  // every entry counts in units of 2^-scalingValue
};

// A look-up table of `num` keys and num - 1 values (and factors): value[i] belongs to the keys
// key[i] <= v < key[i + 1]. The editor's tables have the 257 keys 0..256.
struct IplLUT {
  int num;
  int* key;
  int* value;
  int* factor;  // may be null
  int interpolateType;
};

// --- memory ---------------------------------------------------------------------------------
// A header without pixels, or null (with the status set) for arguments it cannot describe.
IplImage* iplCreateImageHeader(int nChannels, int alphaChannel, int depth, const char* colorModel,
                               const char* channelSeq, int dataOrder, int origin, int align,
                               int width, int height, IplROI* roi = nullptr);
// Gives the header pixels of its own (releasing pixels it owned before); filled when doFill.
void iplAllocateImage(IplImage* image, int doFill, int fillValue);
IplImage* iplCloneImage(const IplImage* image);  // header, region and pixels
void iplCopy(IplImage* src, IplImage* dst);
void iplSet(IplImage* image, int fillValue);
void iplDeallocate(IplImage* image, int flag);
void iplDeallocateImage(IplImage* image);  // the pixels only
void iplGetPixel(IplImage* image, int x, int y, void* pixel);
void iplPutPixel(IplImage* image, int x, int y, const void* pixel);

// --- regions ------------------------------------------------------------------------------------
IplROI* iplCreateROI(int coi, int xOffset, int yOffset, int width, int height);
void iplSetROI(IplROI* roi, int coi, int xOffset, int yOffset, int width, int height);
void iplDeleteROI(IplROI* roi);

// --- borders and errors ---------------------------------------------------------------------
void iplSetBorderMode(IplImage* image, int mode, int sides, int constVal);
int iplSetErrMode(int mode);  // returns the previous mode
int iplGetErrMode();
IPLStatus iplGetErrStatus();
void iplSetErrStatus(IPLStatus status);
const char* iplGetErrMessage();  // what the last error was, for diagnostics; "" when none

// --- filters ------------------------------------------------------------------------------------
IplConvKernel* iplCreateConvKernel(int nCols, int nRows, int anchorX, int anchorY,
                                   const int* values, int nShiftR);
// Each kernel's sum is shifted right by its nShiftR (rounding towards minus infinity); the results
// of several kernels are combined by combineMethod; the outcome saturates.
void iplConvolve2D(IplImage* src, IplImage* dst, IplConvKernel** kernels, int nKernels,
                   int combineMethod);
void iplDeleteConvKernel(IplConvKernel* kernel);
void iplAddS(IplImage* src, IplImage* dst, int value);
// Neighbourhoods of nCols x nRows anchored at (anchorX, anchorY). The blur rounds the mean to
// nearest; the median of an even count is the upper of the two middle values.
void iplBlur(IplImage* src, IplImage* dst, int nCols, int nRows, int anchorX, int anchorY);
void iplMedianFilter(IplImage* src, IplImage* dst, int nCols, int nRows, int anchorX, int anchorY);
void iplMaxFilter(IplImage* src, IplImage* dst, int nCols, int nRows, int anchorX, int anchorY);
void iplMinFilter(IplImage* src, IplImage* dst, int nCols, int nRows, int anchorX, int anchorY);
int iplFixedFilter(IplImage* src, IplImage* dst, IplFilter filter);  // 0, or -1 on error
// 3 x 3 morphology, repeated; open is erosion then dilation, close the reverse.
void iplErode(IplImage* src, IplImage* dst, int nIterations);
void iplDilate(IplImage* src, IplImage* dst, int nIterations);
void iplOpen(IplImage* src, IplImage* dst, int nIterations);
void iplClose(IplImage* src, IplImage* dst, int nIterations);

// --- colour -------------------------------------------------------------------------------------
IplColorTwist* iplCreateColorTwist(const int data[16], int scalingValue);
// out[c] = saturate(floor((sum_k data[4c + k] * in[k] + data[4c + 3]) / 2^scalingValue) + offset)
// for the first three channels; further channels are copied.
void iplApplyColorTwist(IplImage* src, IplImage* dst, IplColorTwist* cTwist, int offset);
void iplDeleteColorTwist(IplColorTwist* cTwist);
// luts[c] serves channel c (memory order). The histogram counts into value[]; the stretch maps
// v to value[i] (or interpolates to value[i + 1] with IPL_LUT_INTER), leaving values outside the
// keys alone; the equalization maps each channel monotonically so that the distribution given by
// its table's values becomes flat.
void iplComputeHisto(IplImage* src, IplLUT** luts);
void iplContrastStretch(IplImage* src, IplImage* dst, IplLUT** luts);
void iplHistoEqualize(IplImage* src, IplImage* dst, IplLUT** luts);
void iplXorS(IplImage* src, IplImage* dst, unsigned int value);
void iplXor(IplImage* srcA, IplImage* srcB, IplImage* dst);
void iplMultiplySScale(IplImage* src, IplImage* dst, int value);  // src * value / 255, truncated

// --- geometry -----------------------------------------------------------------------------------
// Scales the source region by xDst/xSrc and yDst/ySrc into the destination region, from its
// first pixel; what does not fit is cut off.
void iplResize(IplImage* src, IplImage* dst, int xDst, int xSrc, int yDst, int ySrc,
               int interpolate);
// Maps source point p to R(angle) p + shift, R turning from the x axis towards the y axis (on a
// bottom-up image: anticlockwise as seen). Destination pixels that no source pixel covers keep
// their values.
void iplRotate(IplImage* src, IplImage* dst, double angle, double xShift, double yShift,
               int interpolate);
// The shift that makes iplRotate turn about (xCenter, yCenter).
void iplGetRotateShift(double xCenter, double yCenter, double angle, double* xShift,
                       double* yShift);
// flipAxis 0: about the horizontal axis (rows reversed); 1: about the vertical axis; -1: both.
void iplMirror(IplImage* src, IplImage* dst, int flipAxis);
// The source region's corners (x, y), (x + w, y), (x + w, y + h), (x, y + h) go to quad[0..3]
// (IPL_R_TO_Q), or the reverse (IPL_Q_TO_R). Destination pixels outside the figure keep their
// values. A quadrilateral that is not strictly convex sets IPL_StsError and draws nothing.
void iplWarpBilinearQ(IplImage* src, IplImage* dst, const double quad[4][2], int warpFlag,
                      int interpolate);
void iplWarpPerspectiveQ(IplImage* src, IplImage* dst, const double quad[4][2], int warpFlag,
                         int interpolate);

// --- compositing --------------------------------------------------------------------------------
// A and B combined by a Porter-Duff operation into dst. A's opacity is the first channel of
// alphaA (A is opaque when alphaA is null); B's is the first channel of alphaB (opaque when null);
// alphaDst, when given, receives the result's opacity in every channel. Colours are not
// premultiplied unless premulAlpha; divideMode divides the result colour by its opacity.
void iplAlphaComposite(IplImage* srcA, IplImage* srcB, IplImage* dst, int compositeType,
                       IplImage* alphaA, IplImage* alphaB, IplImage* alphaDst, bool premulAlpha,
                       bool divideMode);
