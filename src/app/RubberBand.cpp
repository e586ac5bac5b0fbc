#include "app/RubberBand.h"

#include <algorithm>
#include <cstdlib>

namespace korvane {

namespace {

TRectI Union(const TRectI& a, const TRectI& b) {
  if (a.Width <= 0 || a.Height <= 0) return b;
  if (b.Width <= 0 || b.Height <= 0) return a;
  const int left = std::min(a.X, b.X), top = std::min(a.Y, b.Y);
  const int right = std::max(a.X + a.Width, b.X + b.Width);
  const int bottom = std::max(a.Y + a.Height, b.Y + b.Height);
  return {left, top, right - left, bottom - top};
}

bool IsLine(int mode) { return mode == ovLine || mode == ovThinLine; }
bool IsRectangle(int mode) {
  return mode == ovRectFilled || mode == ovRectOutlined || mode == ovRectTwoColor;
}
bool IsEllipse(int mode) {
  return mode == ovEllipseFilled || mode == ovEllipseOutlined || mode == ovEllipseTwoColor;
}
bool IsCircle(int mode) {
  return mode == ovCircle || mode == ovCircleFilled || mode == ovCircleOutlined ||
         mode == ovCircleTwoColor;
}

}  // namespace

void TRubberBand::NoteDirty(const TRectI& r) { dirty_ = Union(dirty_, r); }

void TRubberBand::Toggle(TDib& work, int mode, TPoint end, int width) {
  TXorShape shape(work.Width(), work.Height());
  const TPoint a = RubberAnchor;
  if (IsLine(mode)) {
    shape.AddLine(a.x, a.y, end.x, end.y, width);
  } else if (IsRectangle(mode)) {
    shape.AddRectangle(a.x, a.y, end.x, end.y, width);
  } else if (IsEllipse(mode)) {
    shape.AddEllipse(a.x, a.y, end.x, end.y, width);
  } else if (IsCircle(mode)) {
    // `end` holds the radius here.
    const int r = end.x;
    shape.AddEllipse(a.x - r, a.y - r, a.x + r, a.y + r, width);
  } else {
    return;
  }
  shape.Invert(work);
  NoteDirty(shape.Bounds());
}

void TRubberBand::Begin(TEditorState& editor, int code, int x, int y) {
  editor.OverlayMode = code;
  RubberAnchor = {x, y};
  RubberEnd = {x, y};
  RubberDrawn = false;
  dirty_ = {};
}

int TRubberBand::Finish(TEditorState& editor, int x, int y) {
  RubberEnd = {x, y};
  RubberDrawn = false;
  const int code = editor.OverlayMode;
  editor.OverlayMode = ovNone;
  return code;
}

void TRubberBand::Erase(TEditorState& editor, TDib& work, const TRoiPoints& roi, int x, int y) {
  RubberEnd = {x, y};
  if (!RubberDrawn) return;
  dirty_ = {};
  const int mode = editor.OverlayMode;
  if (mode == ovLine) {
    Toggle(work, mode, {x, y}, RubberPenWidth);
  } else if (mode == ovRectFilled || mode == ovEllipseFilled) {
    Toggle(work, mode, {x, y}, RubberPenWidth);
  } else if (mode == ovCircle) {
    const int r = std::max(std::abs(x - RubberAnchor.x), std::abs(y - RubberAnchor.y));
    Toggle(work, mode, {r, r}, RubberPenWidth);
  } else if (mode == ovRegionOutline) {
    TRoiPoints copy = roi;
    DrawRegionOutline(work, copy);
  }
  RubberDrawn = false;
}

void TRubberBand::LineStep(TDib& work, int x, int y, int width) {
  dirty_ = {};
  if (RubberDrawn) Toggle(work, ovLine, RubberEnd, width);
  Toggle(work, ovLine, {x, y}, width);
  RubberEnd = {x, y};
  RubberDrawn = true;
}

void TRubberBand::RectangleStep(TDib& work, int x, int y) {
  dirty_ = {};
  if (RubberDrawn) Toggle(work, ovRectOutlined, RubberEnd, RubberPenWidth);
  Toggle(work, ovRectOutlined, {x, y}, RubberPenWidth);
  RubberEnd = {x, y};
  RubberDrawn = true;
}

void TRubberBand::EllipseStep(TDib& work, int x, int y) {
  dirty_ = {};
  if (RubberDrawn) Toggle(work, ovEllipseOutlined, RubberEnd, RubberPenWidth);
  Toggle(work, ovEllipseOutlined, {x, y}, RubberPenWidth);
  RubberEnd = {x, y};
  RubberDrawn = true;
}

void TRubberBand::CircleStep(TDib& work, int x, int y) {
  dirty_ = {};
  const int r = std::max(std::abs(x - RubberAnchor.x), std::abs(y - RubberAnchor.y));
  if (RubberDrawn) Toggle(work, ovCircle, RubberEnd, RubberPenWidth);
  Toggle(work, ovCircle, {r, r}, RubberPenWidth);
  RubberEnd = {r, r};
  RubberDrawn = true;
}

void TRubberBand::DrawPiece(TDib& work, const TDib& piece) const {
  XorCopy(piece, work, RubberAnchor.x - PieceHotX, RubberAnchor.y - PieceHotY);
}

void TRubberBand::TextStampStep(TDib& work, const TDib& piece, int x, int y) {
  dirty_ = PieceRect(piece, work, RubberAnchor.x - PieceHotX, RubberAnchor.y - PieceHotY);
  DrawPiece(work, piece);
  RubberAnchor = {x, y};
  DrawPiece(work, piece);
  NoteDirty(PieceRect(piece, work, x - PieceHotX, y - PieceHotY));
}

namespace {
TXorShape RegionShape(const TDib& work, TRoiPoints& roi) {
  roi[4] = roi[0];
  TXorShape shape(work.Width(), work.Height());
  shape.AddPolyline(std::vector<TPoint>(roi.begin(), roi.end()), 1);
  for (int k = 0; k < 4; ++k)
    shape.AddFilledRect(roi[k].x - 10, roi[k].y - 10, roi[k].x + 10, roi[k].y + 10);
  return shape;
}
}  // namespace

void TRubberBand::DrawRegionOutline(TDib& work, TRoiPoints& roi) {
  RegionShape(work, roi).Invert(work);
}

void TRubberBand::RegionOutlineStep(
    TDib& work, TRoiPoints& roi, int x, int y,
    const std::function<void(TRoiPoints&, int, int)>& moveCorners) {
  dirty_ = {};
  if (RubberDrawn) {
    const TXorShape old = RegionShape(work, roi);
    old.Invert(work);
    NoteDirty(old.Bounds());
  }
  if (moveCorners) moveCorners(roi, x, y);
  const TXorShape now = RegionShape(work, roi);
  now.Invert(work);
  NoteDirty(now.Bounds());
  RubberEnd = {x, y};
  RubberDrawn = true;
}

void TRubberBand::StampPieceIntoMask(TDib& piece, TDib& mask) const {
  for (int y = 0; y < piece.Height(); ++y) {
    std::uint8_t* p = piece.Row(y);
    for (int x = 0; x < piece.Width(); ++x) p[3 * x] = p[3 * x + 1] = 0;
  }
  OrCopy(piece, mask, RubberAnchor.x - PieceHotX, RubberAnchor.y - PieceHotY);
}

}  // namespace korvane
