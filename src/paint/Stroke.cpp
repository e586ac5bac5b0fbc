#include "paint/Stroke.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>

#include "app/Document.h"
#include "app/Random.h"
#include "paint/Stamp.h"

namespace korvane {

namespace {

using std::int64_t;

// Mouse points are held this close to the origin, so that wrapping, extents and box margins
// never overflow an int.
constexpr int kFarPoint = 1 << 28;
// Sizes, margins, jitter and repeats beyond anything the brush dialog gives are cut here (as the
// stamp renderers cut theirs), so a stray value costs bounded work and no product overflows.
constexpr int kMaxExtent = 4096;

int Far(int v) {
  return std::clamp(v, -kFarPoint, kFarPoint);
}

int ClampBound(int64_t v, int hi) {
  return static_cast<int>(std::clamp<int64_t>(v, 0, hi));
}

// Keeps byte 1 of every 3-byte cell in a 24-byte run (three little- or big-endian words alike,
// since the masks are built byte by byte).
struct TContourKeep {
  std::array<std::uint64_t, 3> Words{};
  constexpr TContourKeep() {
    for (int i = 0; i < 24; ++i) {
      if (i % 3 != ContourPlane) continue;
      Words[static_cast<std::size_t>(i / 8)] |= std::uint64_t{0xFF} << (8 * (i % 8));
    }
  }
};

}  // namespace

TStampBox EmptyStrokeBox(int width, int height) {
  return {height, 0, width, 0};
}

void GrowBox(TStampBox& box, const TStampBox& by) {
  if (by.Empty()) return;
  box.RowFrom = std::min(box.RowFrom, by.RowFrom);
  box.RowTo = std::max(box.RowTo, by.RowTo);
  box.ColFrom = std::min(box.ColFrom, by.ColFrom);
  box.ColTo = std::max(box.ColTo, by.ColTo);
}

TStampBox BoxFromImageRect(const TRectI& rect, int height) {
  if (rect.Width <= 0 || rect.Height <= 0) return {};
  return {height - (rect.Y + rect.Height), height - rect.Y, rect.X, rect.X + rect.Width};
}

void MeasureSegment(TSegmentInfo& s, double x1, double y1, double x2, double y2) {
  s.X1 = x1;
  s.Y1 = y1;
  s.X2 = x2;
  s.Y2 = y2;
  s.Length = std::sqrt((x2 - x1) * (x2 - x1) + (y1 - y2) * (y1 - y2));
  if (s.Length == 0) {
    s.Angle = 0;
    return;
  }
  const double a =
      std::asin(std::min(1.0, std::abs(y1 - y2) / s.Length)) * 180.0 / std::numbers::pi;
  if (x2 >= x1)
    s.Angle = y2 <= y1 ? a : -a;
  else
    s.Angle = y2 <= y1 ? 180.0 - a : a - 180.0;
}

void RotateEndPoint(TSegmentInfo& s, double degrees) {
  const double t = -degrees * std::numbers::pi / 180.0;
  s.Px = s.X1 + std::cos(t) * (s.X2 - s.X1) - std::sin(t) * (s.Y1 - s.Y2);
  s.Py = s.Y1 - ((s.Y1 - s.Y2) * std::cos(t) + (s.X2 - s.X1) * std::sin(t));
}

void PointAtDistance(TSegmentInfo& s, double distance, double degrees) {
  const double t = degrees * std::numbers::pi / 180.0;
  s.Px = s.X1 + distance * std::cos(t);
  s.Py = s.Y1 - distance * std::sin(t);
  s.Length = distance;
  s.Angle = degrees;
}

void ClearStrokePlanes(TDib& mask) {
  if (mask.Empty() || mask.PixelFormat() != TPixelFormat::pf24bit) return;
  static constexpr TContourKeep keep;
  const std::size_t bytes = static_cast<std::size_t>(3) * mask.Width();
  const std::size_t runs = bytes / 24;
  for (int r = 0; r < mask.Height(); ++r) {
    std::uint8_t* p = mask.Row(r);
    for (std::size_t k = 0; k < runs; ++k, p += 24) {
      std::uint64_t w[3];
      std::memcpy(w, p, sizeof w);
      w[0] &= keep.Words[0];
      w[1] &= keep.Words[1];
      w[2] &= keep.Words[2];
      std::memcpy(p, w, sizeof w);
    }
    for (std::size_t i = runs * 24; i < bytes; i += 3, p += 3) {
      p[AppliedPlane] = 0;
      p[StampPlane] = 0;
    }
  }
}

TStroke::TStroke(TDocument& doc, TEditorState& editor)
    : BrushColor(editor.ForeColor), doc_(doc), editor_(editor), brush_(editor.Brush) {}

void TStroke::BeginStroke(int x, int y) {
  if (!doc_.HasDocument()) return;
  if (Open()) EndStroke(x, y);  // a press without a release: the open stroke is kept
  brush_ = editor_.Brush;
  brush_.BrushSize = std::clamp(brush_.BrushSize, 1, kMaxExtent);
  brush_.BlurMargin = std::clamp(brush_.BlurMargin, 0, kMaxExtent);
  brush_.Jitter = std::clamp(brush_.Jitter, 0, kMaxExtent);
  brush_.RepeatCount = std::clamp(brush_.RepeatCount, 0, kMaxExtent);
  doc_.SaveUndo();
  StrokeX1 = Far(x);
  StrokeY1 = Far(y);
  StrokeX2 = StrokeX1;
  StrokeY2 = StrokeY1;
  ClearStrokePlanes(doc_.MaskBitmap());
  BrushColor.Factor = 1.0f;
  writeBack_.emplace(editor_, doc_);
  writeBack_->BrushColor = BrushColor;
  StrokeBox = EmptyStrokeBox(doc_.ImageWidth(), doc_.ImageHeight());
  StampBox = {};
  previousExtent_.reset();
  previousDiscs_ = {};

  // A fade size above the brush size would never be reached: the fade ends at the brush size.
  const int fadeSize = std::clamp(brush_.FadeSize, 1, brush_.BrushSize);
  SavedSize = brush_.BrushSize;
  FadeSteps = brush_.BrushSize - fadeSize;
  FadeCounter = 0;
  FadeActive = brush_.FadeType != 0 && FreeHand;
  FadeDirection = -1;
  if (FadeActive && (brush_.FadeType == 2 || brush_.FadeType == 4)) {
    brush_.BrushSize = fadeSize;
    FadeDirection = 1;
  }
}

void TStroke::ContinueStroke(int x, int y) {
  if (!Open()) return;
  eventBox_ = {};
  StrokeX2 = Far(x);
  StrokeY2 = Far(y);
  MeasureSegment(SegmentInfo, StrokeX1, StrokeY1, StrokeX2, StrokeY2);
  StampSegment(Circles);
  if (WrapFreeHand) {
    // In circle mode the extent of the disc just made is tested and the wrapped disc centred on
    // its wrapped position.
    const int reach = StampRadius + 2;
    if (WrapStroke()) {
      if (Circles) {
        StrokeX1 += reach;
        StrokeY1 += reach;
      }
      StampSegment(Circles);
    }
  }
  if (FadeActive) {
    if (FadeCounter != FadeSteps) {
      brush_.BrushSize = std::clamp(brush_.BrushSize + FadeDirection, 1, kMaxExtent);
      ++FadeCounter;
    } else if (brush_.FadeType == 3 || brush_.FadeType == 4) {
      FadeCounter = 0;
      FadeDirection = -FadeDirection;
    }
  }
  RefreshBox(eventBox_);
  StrokeX1 = Far(x);
  StrokeY1 = Far(y);
}

void TStroke::EndStroke(int /*x*/, int /*y*/) {
  if (!Open()) return;
  editor_.OverlayMode = 0;
  if (EndActions) EndActions();
  ClearStrokePlanes(doc_.MaskBitmap());
  if (FadeActive) brush_.BrushSize = SavedSize;
  doc_.CommitWork();
  RefreshBox(StrokeBox);
  writeBack_.reset();
}

void TStroke::RefreshBox(const TStampBox& box) {
  if (!Refresh || box.Empty()) return;
  const int h = doc_.ImageHeight();
  Refresh(TRectI{box.ColFrom, h - box.RowTo, box.ColTo - box.ColFrom, box.RowTo - box.RowFrom});
}

void TStroke::RunStamp() {
  writeBack_->BrushColor = stampColor_;
  if (Stamp)
    Stamp(*this);
  else
    BrushStampRoutine();
}

void TStroke::ClearPreviousDisc() {
  TDib& mask = doc_.MaskBitmap();
  if (previousExtent_) {
    const TRectI& e = *previousExtent_;
    ClearStampRect(mask, e.X, e.Y, e.X + e.Width, e.Y + e.Height, brush_.BrushSize, false);
  }
  // Whatever the previous discs drew beyond their extents (a blur's reach) goes too.
  if (!previousDiscs_.Empty()) {
    const int h = doc_.ImageHeight();
    ClearStampRect(mask, previousDiscs_.ColFrom, h - previousDiscs_.RowTo,
                   previousDiscs_.ColTo - 1, h - 1 - previousDiscs_.RowFrom, 1, false);
  }
}

void TStroke::StampSegment(bool circles) {
  const int savedSize = brush_.BrushSize;
  const std::uint32_t savedStep = brush_.FalloffStep;
  const TColorRecord saved = BrushColor;
  stampColor_ = saved;
  JitterColor(stampColor_, brush_.ColorVary);
  const double s = std::clamp(brush_.SizeVary, 0.0, 1.0);
  const bool recalc = brush_.RecalcFalloff && !brush_.SolidStamp;

  if (!circles) {
    StampShape = StampSegmentShape;
    if (s > 0) {
      const int c = static_cast<int>(s * brush_.BrushSize * 2);
      const int delta = RandomMod(c);
      brush_.BrushSize =
          std::max(1, static_cast<int>(brush_.BrushSize * s - delta + brush_.BrushSize));
      if (recalc) brush_.FalloffStep = ComputeFalloffStep(brush_.BrushSize, brush_.FalloffPercent);
    }
    RunStamp();
  } else {
    if (!brush_.ConnectedDrawing) ClearPreviousDisc();
    previousDiscs_ = {};
    StampShape = StampDisc;
    StampRadius = brush_.BrushSize <= 1 ? 1 : brush_.BrushSize / 2;
    if (!brush_.SolidStamp)
      brush_.FalloffStep = ComputeFalloffStep(StampRadius, brush_.FalloffPercent);
    if (s > 0) {
      const int c = static_cast<int>(s * StampRadius * 2);
      const int delta = RandomMod(c);
      StampRadius = std::max(1, static_cast<int>(StampRadius * s - delta + StampRadius));
      if (recalc) brush_.FalloffStep = ComputeFalloffStep(StampRadius, brush_.FalloffPercent);
    }
    const int reach = StampRadius + 2;
    const int cx = StrokeX1, cy = StrokeY1;
    StrokeX1 = cx - reach;
    StrokeY1 = cy - reach;
    StrokeX2 = cx + reach;
    StrokeY2 = cy + reach;
    brush_.BrushSize = 1;
    const int jitter = brush_.Jitter;
    if (jitter <= 0) {
      RunStamp();
      GrowBox(previousDiscs_, StampBox);
    } else {
      for (int k = 0; k <= brush_.RepeatCount; ++k) {
        const int dx = jitter - RandomMod(2 * jitter);
        const int dy = jitter - RandomMod(2 * jitter);
        // A random walk, held near the image so that it cannot run off without bound.
        StrokeX1 = Far(StrokeX1 + dx);
        StrokeY1 = Far(StrokeY1 + dy);
        StrokeX2 = StrokeX1 + 2 * reach;
        StrokeY2 = StrokeY1 + 2 * reach;
        RunStamp();
        GrowBox(previousDiscs_, StampBox);
        stampColor_ = saved;
        JitterColor(stampColor_, brush_.ColorVary);
      }
    }
    previousExtent_ = TRectI{StrokeX1, StrokeY1, 2 * reach, 2 * reach};
  }
  brush_.BrushSize = savedSize;
  brush_.FalloffStep = savedStep;
  writeBack_->BrushColor = saved;
}

bool TStroke::ComputeStampBox() {
  const int64_t width = doc_.ImageWidth(), height = doc_.ImageHeight();
  const int64_t margin =
      int64_t{std::max(brush_.BrushSize, 0) / 2} + std::max(brush_.BlurMargin, 0) + 2;
  const int64_t top = std::min(StrokeY1, StrokeY2), bottom = std::max(StrokeY1, StrokeY2);
  const int64_t left = std::min(StrokeX1, StrokeX2), right = std::max(StrokeX1, StrokeX2);
  const TStampBox box{ClampBound(height - 1 - bottom - margin, static_cast<int>(height)),
                      ClampBound(height - 1 - top + margin, static_cast<int>(height)),
                      ClampBound(left - margin, static_cast<int>(width)),
                      ClampBound(right + margin, static_cast<int>(width))};
  StampBox = box;
  GrowBox(StrokeBox, box);
  return !box.Empty();
}

bool TStroke::WrapStroke() {
  // A segment leaving one side comes back in from the other, both ends moved together.
  const auto wrap = [](int& a, int& b, int max) {
    const int by = a < 0 || b < 0 ? max : a > max || b > max ? -max : 0;
    a += by;
    b += by;
    return by != 0;
  };
  const bool movedX = wrap(StrokeX1, StrokeX2, doc_.MaxX());
  const bool movedY = wrap(StrokeY1, StrokeY2, doc_.MaxY());
  return movedX || movedY;
}

void TStroke::ClipSegmentToContour() {
  if (!ContourClip) return;
  // Measured here from the segment as it now is: a wrapped segment runs elsewhere than the one
  // the mouse made.
  MeasureSegment(SegmentInfo, StrokeX1, StrokeY1, StrokeX2, StrokeY2);
  const double angle = SegmentInfo.Angle;
  const int steps = static_cast<int>(SegmentInfo.Length);
  const TDib& mask = doc_.MaskBitmap();
  int lastX = StrokeX1, lastY = StrokeY1;
  for (int d = 1; d <= steps; ++d) {
    PointAtDistance(SegmentInfo, d, angle);
    const int px = static_cast<int>(SegmentInfo.Px), py = static_cast<int>(SegmentInfo.Py);
    if (SegmentInfo.Px < 0 || SegmentInfo.Py < 0 || px >= mask.Width() || py >= mask.Height())
      return;
    if (mask.ScanLine(py)[3 * px + ContourPlane] > ContourThreshold) {
      StrokeX2 = lastX;
      StrokeY2 = lastY;
      return;
    }
    lastX = px;
    lastY = py;
  }
}

bool TStroke::RenderStamp() {
  const TStampTarget target = StampTargetOf(doc_);
  TRectI drawn{};
  switch (StampShape) {
    case StampDisc:
    case StampHollowDisc: {
      TDiscStamp disc;
      disc.Style = brush_.BrushStyle;
      disc.Cx = StrokeX1 + StampRadius + 2;
      disc.Cy = StrokeY1 + StampRadius + 2;
      disc.Radius = StampRadius;
      disc.RingCount = brush_.BrushSize;
      disc.Step = brush_.FalloffStep;
      disc.Hollow = StampShape == StampHollowDisc;
      drawn = RenderDiscStamp(target, brush_, disc);
      break;
    }
    case StampSegmentShape: {
      TSegmentStamp seg;
      seg.Style = brush_.BrushStyle;
      seg.X1 = StrokeX1;
      seg.Y1 = StrokeY1;
      seg.X2 = StrokeX2;
      seg.Y2 = StrokeY2;
      seg.Width = brush_.BrushSize;
      seg.Step = brush_.FalloffStep;
      drawn = RenderSegmentStamp(target, brush_, seg);
      break;
    }
    case StampFilledRect:
    case StampOutlinedRect:
    case StampFilledEllipse:
    case StampOutlinedEllipse: {
      TBoxStamp box;
      box.Style = brush_.BrushStyle;
      box.X1 = StrokeX1;
      box.Y1 = StrokeY1;
      box.X2 = StrokeX2;
      box.Y2 = StrokeY2;
      box.BrushSize = brush_.BrushSize;
      box.HalfExtent = StampRadius;
      box.Step = brush_.FalloffStep;
      box.Outlined = StampShape == StampOutlinedRect || StampShape == StampOutlinedEllipse;
      drawn = StampShape == StampFilledRect || StampShape == StampOutlinedRect
                  ? RenderRectStamp(target, brush_, box)
                  : RenderEllipseStamp(target, brush_, box);
      break;
    }
    case StampTextPiece:
      if (Piece) drawn = Piece(*this);
      break;
    default:
      break;
  }
  // The renderer's box holds exactly this stamp; beyond it StampPlane may still carry earlier
  // stamps, which must not be applied again.
  StampBox = BoxFromImageRect(drawn, doc_.ImageHeight());
  StampBox.RowFrom = std::max(StampBox.RowFrom, 0);
  StampBox.RowTo = std::min(StampBox.RowTo, doc_.ImageHeight());
  StampBox.ColFrom = std::max(StampBox.ColFrom, 0);
  StampBox.ColTo = std::min(StampBox.ColTo, doc_.ImageWidth());
  GrowBox(StrokeBox, StampBox);
  GrowBox(eventBox_, StampBox);
  return !StampBox.Empty();
}

void TStroke::ApplyStampBox() {
  if (!Pixel || StampBox.Empty()) return;
  TWriteBack& wb = *writeBack_;
  const std::uint8_t* mask = doc_.MaskPixels();
  const std::ptrdiff_t stride = doc_.RowStride();
  for (int r = StampBox.RowFrom; r < StampBox.RowTo; ++r) {
    const std::uint8_t* m = mask + r * stride + 3 * StampBox.ColFrom;
    for (int x = StampBox.ColFrom; x < StampBox.ColTo; ++x, m += 3) {
      if (m[StampPlane] == 0) continue;
      wb.SetCursor(x, r);
      Pixel(wb);
    }
  }
}

void TStroke::BrushStampRoutine() {
  if (StampShape == StampSegmentShape) ClipSegmentToContour();
  if (!ComputeStampBox()) return;
  if (!RenderStamp()) return;
  ApplyStampBox();
  if (!CopyBack) return;
  const std::ptrdiff_t stride = doc_.RowStride();
  const std::size_t bytes = static_cast<std::size_t>(3) * (StampBox.ColTo - StampBox.ColFrom);
  for (int r = StampBox.RowFrom; r < StampBox.RowTo; ++r) {
    const std::ptrdiff_t offset = r * stride + 3 * StampBox.ColFrom;
    std::memcpy(doc_.CleanPixels() + offset, doc_.WorkPixels() + offset, bytes);
  }
}

void TStroke::ShapeStampRoutine() {
  if (!ComputeStampBox()) return;
  if (!RenderStamp()) return;
  IplImage* clean = doc_.CleanImage();
  IplImage* scratch = doc_.ScratchImage();
  if (ProcessedCopy && clean && scratch && scratch->imageData) {
    const int w = StampBox.ColTo - StampBox.ColFrom, h = StampBox.RowTo - StampBox.RowFrom;
    IplROI* const cleanWas = clean->roi;
    IplROI* const scratchWas = scratch->roi;
    IplROI* cleanRoi = iplCreateROI(0, StampBox.ColFrom, StampBox.RowFrom, w, h);
    IplROI* scratchRoi = iplCreateROI(0, StampBox.ColFrom, StampBox.RowFrom, w, h);
    if (cleanRoi && scratchRoi) {
      clean->roi = cleanRoi;
      scratch->roi = scratchRoi;
      ProcessedCopy(clean, scratch);
      clean->roi = cleanWas;
      scratch->roi = scratchWas;
    }
    iplDeleteROI(cleanRoi);
    iplDeleteROI(scratchRoi);
  }
  ApplyStampBox();
}

}  // namespace korvane
