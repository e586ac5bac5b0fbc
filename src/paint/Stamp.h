// Stamps: one imprint of the brush as an 8-bit intensity pattern in the mask's StampPlane, which
// the stroke engine then applies pixel by pixel. Discs (free-hand circles, circle shapes),
// segments (connected strokes, lines), rectangles and ellipses (shapes), for every brush style:
// graded ring ramps, line patterns, scratches, and the optional blur.
//
// A renderer first sets StampPlane to 0 over its whole box, so the box holds this stamp alone;
// AppliedPlane changes only where a function says so, ContourPlane never. Coordinates are image
// pixels, y down from the top, and may lie anywhere: only the part of a stamp inside the bitmap
// is drawn, and the work follows that part. Random line positions and intensities come from the
// program's generator (app/Random.h).
//
// Graded stamps are ring ramps: nested shapes, ring k (from 1, the outermost) holding
// RingValue(k, step); a pixel takes the value of the innermost ring that covers it, and rings
// stop after the first one of 255. Filled rings carry a two-pixel outline, so the outer ring of
// a graded disc of radius R reaches R + 1; a pen of width w covers the pixels within w / 2 of its
// path. Parallel lines (style 6) whose falloff would take them below 0 are not drawn: the level
// stops at 0. Radii, widths and pens are cut to 4096 pixels and line counts to 4096, so a stray
// value costs bounded work.
//
// With the blur on, the box has room for it on every side (BlurKernel pixels) and only pixels
// whose whole neighbourhood lies in the box are blurred: the blur sees this stamp alone, never
// what earlier stamps left around it.
#pragma once

#include <cstdint>

#include "app/Dibactions.h"
#include "ipl/ipl.h"
#include "paint/Brush.h"
#include "view/ViewGeometry.h"

namespace korvane {

class TDocument;

// Where stamps are drawn: the mask bitmap and the library header over its pixels, which only the
// blur uses (no header, or one over other memory: no blur).
struct TStampTarget {
  TDib& Mask;
  IplImage* MaskImage = nullptr;
};
TStampTarget StampTargetOf(TDocument& document);

// A disc of centre (Cx, Cy). RingCount is the outline pen of solid and hollow discs and the
// number of rings of a graded one (1: a cone from the rim to 255 at the centre, whatever Step).
struct TDiscStamp {
  int Style = NeonBrush;
  int Cx = 0;
  int Cy = 0;
  int Radius = 1;  // below 1 counts as 1
  int RingCount = 1;
  std::uint32_t Step = kSolidFalloffStep;
  bool Hollow = false;
};

// A segment of a stroke from (X1, Y1) to (X2, Y2), Width pixels wide.
struct TSegmentStamp {
  int Style = NeonBrush;
  int X1 = 0;
  int Y1 = 0;
  int X2 = 0;
  int Y2 = 0;
  int Width = 1;
  std::uint32_t Step = kSolidFalloffStep;
};

// A rectangle or ellipse shape in the box with corners (X1, Y1) and (X2, Y2), inclusive, in any
// order; HalfExtent is half the box's smaller side (the rings of a one-pixel brush).
struct TBoxStamp {
  int Style = NeonBrush;
  int X1 = 0;
  int Y1 = 0;
  int X2 = 0;
  int Y2 = 0;
  int BrushSize = 1;
  int HalfExtent = 1;
  std::uint32_t Step = kSolidFalloffStep;
  bool Outlined = false;
};

// The value of ring k of a ramp: k x step / 2^22, capped at 255. A step is a truncated quotient
// 255 x 2^22 / n, less than one unit short per ring; that shortfall is given back, so ring k is
// exactly floor(255 k / n) and the n-th ring is 255, not 254.
std::uint8_t RingValue(int ring, std::uint32_t step);

// Sets StampPlane to 0 over the rectangle and an outline of the pen width around it (w / 2
// pixels outside each edge), and AppliedPlane too unless keepApplied. Returns what it cleared.
TRectI ClearStampRect(TDib& mask, int x1, int y1, int x2, int y2, int penWidth, bool keepApplied);

// Each renderer returns the stamp's box: every pixel it may have changed (the blur's reach
// included), clipped to the bitmap. Empty when the stamp lies wholly outside; nothing changes then.
// The brush supplies the line fields (LineVariant, LineThickness, LineCount, IntensityVary), the
// scratch spread (BrushSize), FalloffPercent for style 6, and the blur (BlurStamp, BlurKernel).
TRectI RenderDiscStamp(const TStampTarget& target, const BrushSettings& brush,
                       const TDiscStamp& stamp);
// Only this renderer clears AppliedPlane, for style 2, along the band of the segment.
TRectI RenderSegmentStamp(const TStampTarget& target, const BrushSettings& brush,
                          const TSegmentStamp& stamp);
TRectI RenderRectStamp(const TStampTarget& target, const BrushSettings& brush,
                       const TBoxStamp& stamp);
TRectI RenderEllipseStamp(const TStampTarget& target, const BrushSettings& brush,
                          const TBoxStamp& stamp);

}  // namespace korvane
