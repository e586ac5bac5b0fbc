// Adjust RGB: a signed percentage per channel added to all channels of a pixel, or only to its
// strongest, middle or weakest channel, or pushing the strongest and weakest apart.
//
// Also the whole-image driver the colour tools share: undo copy, rows computed from the image
// as it was into WorkBitmap through the write-back (restrictions judged on the pixel as it was),
// commit. The computation reads the undo copy, which is the committed image at that moment, so
// each row can be committed as soon as it is done without changing what later rows read.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "app/EditorState.h"
#include "app/Progress.h"
#include "colour/Writeback.h"

namespace korvane {

class TDocument;

enum TAdjustMode : int {
  AdjustBrightness = 1,
  AdjustColorStretch = 2,
  AdjustMaximum = 3,
  AdjustMedium = 4,
  AdjustMinimum = 5,
};
inline constexpr int kMinAdjustMode = AdjustBrightness;
inline constexpr int kMaxAdjustMode = AdjustMinimum;
inline constexpr int kDefaultAdjustMode = AdjustBrightness;
inline constexpr int kMinAdjustPercent = -100;
inline constexpr int kMaxAdjustPercent = 100;
inline constexpr int kDefaultAdjustPercent = 0;
inline constexpr int kAdjustPageStep = 20;

struct TAdjustParams {
  int AdjustMode = kDefaultAdjustMode;  // a mode outside 1..5 changes nothing
  bool AdjustFromMax = true;            // percent of 255, else of the channel's own value
  std::array<std::int32_t, 3> AdjustAmount{};  // blue, green, red; units of TransparencyScale

  // trunc(percent × 0.01 × TransparencyScale), percent clamped to -100..100.
  static std::int32_t AmountFromPercent(int percent);
  static TAdjustParams FromPercents(int mode, bool fromMax, int red, int green, int blue);
};

// The per-pixel computation with its steps tabulated once per operation.
class TAdjuster {
 public:
  TAdjuster(const TAdjustParams& params, const std::array<std::uint8_t, 3>& low,
            const std::array<std::uint8_t, 3>& high);

  // q := the adjusted pixel p, forced into the limits. q may equal p.
  void Color(const std::uint8_t* p, std::uint8_t* q) const;
  // A row of `width` pixels.
  void Row(const std::uint8_t* src, std::uint8_t* dst, int width) const;

 private:
  int mode_;
  std::array<std::uint8_t, 3> low_, high_;
  std::array<std::array<std::int16_t, 256>, 3> add_{};      // floor(A / 2^22)
  std::array<std::array<std::int16_t, 256>, 3> halfAdd_{};  // floor((A >> 1) / 2^22)
  std::array<std::array<std::int16_t, 256>, 3> halfSub_{};  // floor(-(A >> 1) / 2^22)
  std::array<std::array<std::uint8_t, 256>, 3> brightness_{};  // mode 1, limits included
  // Mode 1 on 24 bytes (8 pixels) at a time: per-byte amount, delta and limits in pixel order.
  bool fromMax_;
  std::array<std::int32_t, 24> amountPattern_{};
  std::array<std::int16_t, 24> deltaPattern_{};  // from 255
  std::array<std::int16_t, 24> lowPattern_{}, highPattern_{};
  // From 255 the step is one constant per channel: 48 bytes (16 pixels) at a time in bytes,
  // v forced into [floor, ceiling] so that adding the step (modulo 256) cannot wrap.
  std::array<std::uint8_t, 48> floor_{}, ceiling_{}, step_{}, low48_{}, high48_{};
};

// The colour record of one adjusted pixel (Factor 1).
TColorRecord AdjustColor(const TAdjuster& adjuster, const std::uint8_t* p);

// What a whole-image operation ended with.
enum class TApplyOutcome {
  NoDocument,  // nothing done
  NoUndo,      // the undo copy could not be made; nothing changed
  Completed,
  Stopped,  // the user stopped it; the rows done are committed
};

// Computes one row of colours from `before`, the image as it was (the undo copy, with the
// document's geometry): out gets 3 bytes per pixel, factors one per pixel (read only when the
// operation said it uses them). `row` is the memory row.
using TImageRowFn = std::function<void(int row, const std::uint8_t* before, std::uint8_t* out,
                                       float* factors)>;

// The applying sequence for an operation that computes a colour per pixel: the undo copy, then
// per row the computation, the write-back into WorkBitmap and the commit of that row into
// CleanBitmap; a stopped run commits the rows it did not reach as they are.
TApplyOutcome ApplyImageRows(TDocument& doc, const TEditorState& editor, IProgress& progress,
                             bool usesFactors, const TImageRowFn& rowFn);

// Whole image.
TApplyOutcome ApplyAdjust(TDocument& doc, const TEditorState& editor,
                          const TAdjustParams& params, IProgress& progress);

// Brush form: skips a pixel that already has its strength or fails the restriction test,
// else adjusts CurClean into BrushColor and writes it with WriteBrushPixel.
void AdjustPixel(TWriteBack& wb, const TAdjuster& adjuster);
PixelRoutine MakeAdjustRoutine(const TAdjustParams& params, const TEditorState& editor);

}  // namespace korvane
