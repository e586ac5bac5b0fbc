// The stroke engine: turns a press, moves and a release into stamps along the mouse path and
// runs the tool's pixel routine over every stamped pixel.
//
// A stroke is computed from CleanBitmap as it was at the press and written into WorkBitmap; the
// release commits it, so the whole stroke is one undo step. AppliedPlane holds the strongest
// stamp already applied to each pixel in this stroke, so overlapping stamps do not darken each
// other (unless the brush asks for it: ConnectedDrawing off, or the solid style's segments).
//
// Coordinates are image pixels, x to the right, y down from the top; boxes (TStampBox) count
// rows in memory order from the bottom row, half-open. The engine works on a copy of the brush
// taken at the press (fading and size variation change that copy only), and its write-back is
// the snapshot of the settings taken then.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "app/EditorState.h"
#include "colour/Writeback.h"
#include "ipl/ipl.h"
#include "paint/Brush.h"
#include "view/ViewGeometry.h"

namespace korvane {

class TDocument;

class TStroke;
// Renders one stamp and runs the pixel routine over it.
using StampRoutine = std::function<void(TStroke&)>;
// A tool's operation over a region of interest, from the committed image into the scratch image;
// both headers carry the same region while it runs.
using BoxOperation = std::function<void(IplImage* clean, IplImage* scratch)>;
// Draws the text piece into StampPlane and returns the box it drew (image coordinates).
using PieceRenderer = std::function<TRectI(TStroke&)>;

enum TStampShape : int {
  StampDisc = 0,
  StampSegmentShape = 1,
  StampHollowDisc = 2,
  StampFilledRect = 3,
  StampFilledEllipse = 4,
  StampTextPiece = 6,
  StampOutlinedRect = 7,
  StampOutlinedEllipse = 8,
};

// Rows (from the bottom of bitmap memory) and columns, half-open.
struct TStampBox {
  int RowFrom = 0;
  int RowTo = 0;
  int ColFrom = 0;
  int ColTo = 0;
  bool Empty() const { return RowFrom >= RowTo || ColFrom >= ColTo; }
  bool operator==(const TStampBox&) const = default;
};
// The empty box a stroke starts from: rows from = height, rows to = 0, and so for columns.
TStampBox EmptyStrokeBox(int width, int height);
void GrowBox(TStampBox& box, const TStampBox& by);
// A box in image coordinates (y down) as rows and columns of a bitmap of that height.
TStampBox BoxFromImageRect(const TRectI& rect, int height);

// A segment with a spare point; angles in degrees with y pointing up.
struct TSegmentInfo {
  double X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
  double Px = 0, Py = 0;
  double Length = 0;
  double Angle = 0;
};
void MeasureSegment(TSegmentInfo& s, double x1, double y1, double x2, double y2);
void RotateEndPoint(TSegmentInfo& s, double degrees);
void PointAtDistance(TSegmentInfo& s, double distance, double degrees);

// Clears AppliedPlane and StampPlane of a whole 24-bit mask, keeping ContourPlane.
void ClearStrokePlanes(TDib& mask);

class TStroke {
 public:
  TStroke(TDocument& doc, TEditorState& editor);

  // Set by the tool before BeginStroke.
  PixelRoutine Pixel;
  StampRoutine Stamp;              // empty: BrushStampRoutine
  BoxOperation ProcessedCopy;      // ShapeStampRoutine's processed-copy tools only
  PieceRenderer Piece;             // the text piece, shape 6
  std::function<void()> EndActions;              // the tool's own end of stroke
  std::function<void(const TRectI&)> Refresh;    // repaint (image coordinates)
  bool Circles = false;       // "Free Handed Circles"
  bool WrapFreeHand = false;  // "Wrap FH"
  bool CopyBack = false;      // processed pixels of a stamp box become the clean image
  bool FreeHand = true;       // fading applies only to free-hand strokes
  bool ContourClip = false;   // the contour is in use as a clipping contour
  std::uint8_t ContourThreshold = 255;
  TColorRecord BrushColor;    // the colour the stroke paints with; the foreground by default

  void BeginStroke(int x, int y);
  void ContinueStroke(int x, int y);
  void EndStroke(int x, int y);
  bool Open() const { return writeBack_.has_value(); }

  // The pieces a stamp routine is built of.
  void StampSegment(bool circles);
  bool ComputeStampBox();
  bool WrapStroke();
  void ClipSegmentToContour();
  void BrushStampRoutine();
  void ShapeStampRoutine();
  // Renders the current stamp by StampShape and makes its drawn box StampBox; false when nothing
  // of it lies in the image.
  bool RenderStamp();
  // Runs the pixel routine over every pixel of StampBox whose StampPlane is not 0.
  void ApplyStampBox();

  TDocument& Document() { return doc_; }
  BrushSettings& Brush() { return brush_; }
  TWriteBack& WriteBack() { return *writeBack_; }

  // Stroke state.
  int StrokeX1 = 0, StrokeY1 = 0, StrokeX2 = 0, StrokeY2 = 0;
  int StampShape = StampSegmentShape;
  int StampRadius = 1;
  TStampBox StampBox;
  TStampBox StrokeBox;
  TSegmentInfo SegmentInfo;
  bool FadeActive = false;
  int FadeDirection = -1;
  int FadeCounter = 0;
  int FadeSteps = 0;
  int SavedSize = 0;

 private:
  void RunStamp();
  void ClearPreviousDisc();
  void RefreshBox(const TStampBox& box);

  TDocument& doc_;
  TEditorState& editor_;
  BrushSettings brush_;
  std::optional<TWriteBack> writeBack_;
  TColorRecord stampColor_;
  // What the discs of the previous circle-mode event drew, for ConnectedDrawing off.
  std::optional<TRectI> previousExtent_;
  TStampBox previousDiscs_;
  TStampBox eventBox_;  // what this event drew, for the repaint
};

}  // namespace korvane
