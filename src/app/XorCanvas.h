// Span drawing on 24-bit bitmaps: shapes collected as runs of pixels, then inverted (XOR with
// white, so drawing the same shape a second time restores every byte) or applied to one byte
// plane (the mask planes). Coordinates are image pixels, y down from the top, and may lie anywhere
// (negative, beyond the edges, huge): only the part inside the bitmap is touched, and the work
// follows the visible part, not the coordinates.
#pragma once

#include <cstdint>
#include <vector>

#include "app/Dibactions.h"
#include "view/ViewGeometry.h"

namespace korvane {

struct TPoint {
  int x = 0;
  int y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TPointF {
  double x = 0;
  double y = 0;
};

// How a shape changes the chosen byte of each of its pixels.
enum class TPlaneOp { Set, Or, And, Xor };

// The ellipse rule of every filled ellipse, ellipse outline and ring, in doubled coordinates so
// that centres and semi-axes on half pixels stay whole numbers: the point (tx, ty) relative to the
// centre, both doubled, against the doubled semi-axes ta and tb. Exact for every shape smaller
// than 46000 pixels a side, so circles and ellipses are symmetric and rings nest.
bool InsideEllipse(std::int64_t tx, std::int64_t ty, std::int64_t ta, std::int64_t tb,
                   bool strict = false);

// The pixels of one drawing, collected row by row so that every pixel is changed once even where
// parts of the drawing overlap (the corners of an outline, the joints of a polyline, lines that
// cross).
class TSpanShape {
 public:
  TSpanShape(int clipWidth, int clipHeight);
  // Collects only what lies inside `clip` too (image pixels, within the clip size).
  TSpanShape(int clipWidth, int clipHeight, const TRectI& clip);

  // A line with a round pen of the given width (1: a one-pixel line, both ends included). A
  // band of width W along a segment is the line with pen W.
  void AddLine(int x1, int y1, int x2, int y2, int penWidth);
  void AddLine(TPointF from, TPointF to, int penWidth);
  // The outline of the rectangle with these corners (inclusive), the pen centred on the edges;
  // the odd pixel of an even pen lies outside on the right and bottom, as the rubber bands draw.
  void AddRectangle(int x1, int y1, int x2, int y2, int penWidth);
  // The outline of the ellipse inscribed in that rectangle, as the rubber bands draw it.
  void AddEllipse(int x1, int y1, int x2, int y2, int penWidth);
  void AddFilledRect(int x1, int y1, int x2, int y2);
  void AddPolyline(const std::vector<TPoint>& points, int penWidth);

  // Stamp outlines, symmetric about the shape: a pen of width w reaches w / 2 pixels (rounded
  // down) outside the edges and (w - 1) / 2 inside, w pixels in all.
  void AddRectFrame(int x1, int y1, int x2, int y2, int penWidth);
  // The ellipse inscribed in the rectangle, filled, with an outline of the pen width: every
  // pixel within half a pen outside the ellipse.
  void AddFilledEllipse(int x1, int y1, int x2, int y2, int penWidth);
  // Its outline alone: within half a pen outside the ellipse and less than half a pen inside.
  void AddEllipseFrame(int x1, int y1, int x2, int y2, int penWidth);
  // A cubic Bezier curve with a round pen, flattened to within a quarter pixel.
  void AddBezier(TPointF p0, TPointF c1, TPointF c2, TPointF p3, int penWidth);

  // Applies `op` with `value` to byte `plane` (0, 1 or 2) of every collected pixel of a 24-bit
  // bitmap of the clip size, once; the other two bytes stay.
  void Apply(TDib& bitmap, int plane, TPlaneOp op, std::uint8_t value) const;
  // The bounding box of what was collected (empty when nothing is visible).
  TRectI Bounds() const;
  bool Empty() const { return minRow_ > maxRow_; }

 protected:
  bool Fits(const TDib& bitmap) const;
  // Calls run(y, x0, x1) for every maximal run of collected pixels, rows in order.
  template <class Run>
  void ForEachRun(Run&& run) const;

 private:
  void AddSpan(int y, double left, double right);  // pixel centres within [left, right]
  void AddPixelSpan(int y, std::int64_t x0, std::int64_t x1);
  void AddCapsuleRow(int y, double x1, double y1, double x2, double y2, double h);
  // The rows of an ellipse in doubled coordinates (see InsideEllipse), less its strict inside
  // (hta, htb) when both are positive.
  void AddEllipseRows(std::int64_t sumX, std::int64_t sumY, std::int64_t ta, std::int64_t tb,
                      std::int64_t hta, std::int64_t htb);

  struct Span {
    int y, x0, x1;
  };
  int width_;
  int height_;
  // The clip, inclusive.
  int left_;
  int top_;
  int right_;
  int bottom_;
  // Shapes add their rows mostly in order; runs are sorted only when they did not.
  std::vector<Span> spans_;
  bool sorted_ = true;
  int minRow_;
  int maxRow_ = -1;
};

// Drawing that undoes itself: every collected pixel inverted.
class TXorShape : public TSpanShape {
 public:
  using TSpanShape::TSpanShape;
  // Inverts every collected pixel of a 24-bit bitmap of the clip size once.
  void Invert(TDib& bitmap) const;
};

// XOR-copies `piece` onto `bitmap` with its top-left corner at (left, top).
void XorCopy(const TDib& piece, TDib& bitmap, int left, int top);
// ORs `piece` into `bitmap` with its top-left corner at (left, top).
void OrCopy(const TDib& piece, TDib& bitmap, int left, int top);
// The part of `bitmap` a piece at (left, top) covers, in image pixels.
TRectI PieceRect(const TDib& piece, const TDib& bitmap, int left, int top);

}  // namespace korvane
