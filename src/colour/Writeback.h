// The pixel write-back every tool goes through: channel switches, transparency or stroke
// strength, pixel variation, chalk, bump, the colour factor and the per-channel colour limits.
//
// Weights are fixed point in units of TransparencyScale (2^22). Sums are formed in 64 bits and
// shifted right arithmetically (rounding toward minus infinity), so no combination of bump,
// variation and inverted intensity can wrap.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "app/Dibactions.h"
#include "app/EditorState.h"
#include "app/Progress.h"
#include "colour/WritebackSettings.h"
#include "paint/Brush.h"
#include "paint/Restrictions.h"
#include "view/ViewGeometry.h"

namespace korvane {

class TDocument;

// Force a channel value into [lo, hi]; all three give 0 when lo >= hi.
inline std::uint8_t ClampToLimits(std::int64_t v, std::uint8_t lo, std::uint8_t hi) {
  if (lo >= hi) return 0;
  return static_cast<std::uint8_t>(v > hi ? hi : (v < lo ? lo : v));
}
inline std::uint8_t FoldToLimits(std::int64_t v, std::uint8_t lo, std::uint8_t hi) {
  if (lo >= hi) return 0;
  return static_cast<std::uint8_t>(v > hi ? lo : (v < lo ? hi : v));
}
std::uint8_t WrapToLimits(std::int64_t v, std::uint8_t lo, std::uint8_t hi);

// Brightness variation of a colour, once per stamp: every byte moves by the same random amount
// in -colorVary+1 .. colorVary, clamped to 0..255.
void JitterColor(TColorRecord& color, int colorVary);

// The write-back stage of one operation: a snapshot of every setting it needs, taken when the
// operation starts, and the cursor the caller moves before each brush-pixel call.
class TWriteBack {
 public:
  explicit TWriteBack(const TEditorState& editor);
  // Brush operations also need the document for the cursor, the bump and the stroke mask.
  TWriteBack(const TEditorState& editor, TDocument& doc);

  TColorRecord BrushColor;  // a copy of the foreground colour; tools may overwrite it

  // The cursor: the pixel at column x, memory row r in Work, Clean and Mask.
  std::uint8_t* CurWork = nullptr;
  const std::uint8_t* CurClean = nullptr;
  std::uint8_t* CurMask = nullptr;
  int CurX = 0;
  int CurY = 0;
  void SetCursor(int x, int memoryRow);

  // Left by BumpOffset.
  int BumpAdd = 0;
  int BumpWeight = 0;

  int PixelVariation() const;
  bool ChalkPass() const;
  void BumpOffset(int strength, int weight);

  void WriteBrushPixel();
  void WriteBrushMix(bool solid, const std::uint8_t* second);
  void SmudgePixel();
  void WriteImagePixel(std::uint8_t* p, std::int32_t weight, const TColorRecord& color) const;

  // Whether a whole-image result must be mixed into the image rather than simply shown.
  bool NeedsBlend() const;
  // Mixes the processed image P into the image as it was O (in place) with weight T for O;
  // returns true when the user stopped it (the rows done stay blended).
  bool BlendProcessedImage(TDib& original, const TDib& processed, std::int32_t weight,
                           IProgress& progress) const;
  // Readies the mask cells of a rectangle (bitmap columns, memory rows; half-open) for a stamp.
  void PrepareStrokeMask(const TRectI& rect);

  const TRestriction& Restriction() const { return restriction_; }
  std::uint8_t Low(int k) const { return low_[static_cast<std::size_t>(k)]; }
  std::uint8_t High(int k) const { return high_[static_cast<std::size_t>(k)]; }

 private:
  std::int64_t StrokeWeight(int strength, int& bumpAdd);

  std::array<bool, 3> channelOn_;
  std::int32_t transparency_;
  int pixelVary_;
  std::array<std::uint8_t, 3> low_;
  std::array<std::uint8_t, 3> high_;
  TRestriction restriction_;
  // Brush settings read by the brush paths.
  std::int32_t capacity_;
  int chalkDivisor_;
  bool invertIntensity_;
  bool bumpStamp_;
  int bumpScale_;
  int bumpLimit_;
  int bumpRoughness_;
  int bumpOffsetX_;
  int bumpOffsetY_;
  // The document for the cursor and the bump (null for whole-image use).
  std::uint8_t* work_ = nullptr;
  const std::uint8_t* clean_ = nullptr;
  std::uint8_t* mask_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  int stride_ = 0;
};

// A brush tool's per-pixel operation: it reads and writes the write-back's cursor.
using PixelRoutine = std::function<void(TWriteBack&)>;

}  // namespace korvane
