// Rubber bands: the shape being dragged, drawn into the working bitmap in XOR so that each move
// costs two drawings of the shape and never a copy of the image.
#pragma once

#include <array>
#include <functional>

#include "app/Dibactions.h"
#include "app/EditorState.h"
#include "app/XorCanvas.h"

namespace korvane {

// Overlay codes of OverlayMode.
enum TOverlayCode : int {
  ovNone = 0,
  ovLine = 1,
  ovRectFilled = 3,
  ovEllipseFilled = 4,
  ovCircle = 5,
  ovTextStamp = 6,
  ovRectOutlined = 7,
  ovEllipseOutlined = 8,
  ovCircleFilled = 9,
  ovCircleOutlined = 10,
  ovThinLine = 11,
  ovRectTwoColor = 12,
  ovEllipseTwoColor = 13,
  ovCircleTwoColor = 14,
  ovCtrlGesture = 20,
  ovRetouch = 21,
  ovFreeHand = 22,
  ovRegionOutline = 23,
  ovMover = 24,
};

// The region-warp outline: corners P0..P3, a copy of P0 closing it.
using TRoiPoints = std::array<TPoint, 5>;

class TRubberBand {
 public:
  TPoint RubberAnchor;
  TPoint RubberEnd;  // a circle keeps its radius here, in both fields
  bool RubberDrawn = false;
  int RubberPenWidth = 1;
  int PieceHotX = 0;
  int PieceHotY = 0;
  bool TextStampPending = false;

  // Starts a band of the given overlay code at (x, y) (the text dialog's code 6 is the caller's).
  void Begin(TEditorState& editor, int code, int x, int y);
  // Ends the band without drawing; the overlay stays on the bitmap. Returns the code it had.
  int Finish(TEditorState& editor, int x, int y);
  // Draws the current shape once more to (x, y), removing it when that is where it was drawn.
  void Erase(TEditorState& editor, TDib& work, const TRoiPoints& roi, int x, int y);

  // The move steps: remove the shape drawn last, draw it to the new end.
  void LineStep(TDib& work, int x, int y, int width);
  void RectangleStep(TDib& work, int x, int y);
  void EllipseStep(TDib& work, int x, int y);
  void CircleStep(TDib& work, int x, int y);
  void TextStampStep(TDib& work, const TDib& piece, int x, int y);
  // Removes the outline, lets `moveCorners` move the grabbed corner (and its partners), draws it.
  void RegionOutlineStep(TDib& work, TRoiPoints& roi, int x, int y,
                         const std::function<void(TRoiPoints&, int, int)>& moveCorners);
  // One XOR drawing of the outline (to show or remove it).
  static void DrawRegionOutline(TDib& work, TRoiPoints& roi);
  // One XOR drawing of the piece at the anchor (the text dialog's first showing).
  void DrawPiece(TDib& work, const TDib& piece) const;
  // Clears the piece's blue and green bytes and ORs it into the mask at the anchor, adding its
  // red byte into the stamp plane.
  void StampPieceIntoMask(TDib& piece, TDib& mask) const;

  // The image area changed by the last step, for a partial repaint.
  TRectI Dirty() const { return dirty_; }

 private:
  void Toggle(TDib& work, int mode, TPoint end, int width);
  void NoteDirty(const TRectI& r);

  TRectI dirty_;
};

}  // namespace korvane
