// Drawing that undoes itself: shapes inverted into a 24-bit bitmap (XOR with white), so drawing
// the same shape a second time restores every byte. Coordinates are image pixels, y down from the
// top, and may lie anywhere (negative, beyond the edges, huge): only the part inside the bitmap
// is touched, and the work follows the visible part, not the coordinates.
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

// The pixels of one drawing, collected row by row so that every pixel is inverted once even
// where parts of the drawing overlap (the corners of an outline, the joints of a polyline).
class TXorShape {
 public:
  TXorShape(int clipWidth, int clipHeight);

  // A line with a round pen of the given width (1: a one-pixel line, both ends included).
  void AddLine(int x1, int y1, int x2, int y2, int penWidth);
  // The outline of the rectangle with these corners (inclusive), the pen centred on the edges.
  void AddRectangle(int x1, int y1, int x2, int y2, int penWidth);
  // The outline of the ellipse inscribed in that rectangle.
  void AddEllipse(int x1, int y1, int x2, int y2, int penWidth);
  void AddFilledRect(int x1, int y1, int x2, int y2);
  void AddPolyline(const std::vector<TPoint>& points, int penWidth);

  // Inverts every collected pixel of a 24-bit bitmap of the clip size once.
  void Invert(TDib& bitmap) const;
  // The bounding box of what was collected (empty when nothing is visible).
  TRectI Bounds() const;
  bool Empty() const { return minRow_ > maxRow_; }

 private:
  void AddSpan(int y, double left, double right);  // pixel centres within [left, right]
  void AddPixelSpan(int y, int x0, int x1);
  void AddCapsuleRow(int y, double x1, double y1, double x2, double y2, double h);

  struct Span {
    int y, x0, x1;
  };
  int width_;
  int height_;
  // Shapes add their rows mostly in order; Invert sorts only when they did not.
  std::vector<Span> spans_;
  bool sorted_ = true;
  int minRow_;
  int maxRow_ = -1;
};

// XOR-copies `piece` onto `bitmap` with its top-left corner at (left, top).
void XorCopy(const TDib& piece, TDib& bitmap, int left, int top);
// ORs `piece` into `bitmap` with its top-left corner at (left, top).
void OrCopy(const TDib& piece, TDib& bitmap, int left, int top);
// The part of `bitmap` a piece at (left, top) covers, in image pixels.
TRectI PieceRect(const TDib& piece, const TDib& bitmap, int left, int top);

}  // namespace korvane
