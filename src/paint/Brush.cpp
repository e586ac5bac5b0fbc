#include "paint/Brush.h"

#include <algorithm>
#include <cmath>

#include "app/EditorState.h"

namespace korvane {

static_assert(kFullCapacity == TransparencyScale);
static_assert(CapacityToPercent(kCapacity.Min) == 1 && CapacityToPercent(kFullCapacity) == 100);

namespace {

// The position a line track is held at while the size does not leave room for lines.
constexpr int kRestingLinePosition = 2;
// Below this size position no style has room for separate lines.
constexpr int kMinLinesSizePosition = 5;

constexpr int HalfUp(int value) {
  return (value + 1) / 2;
}

constexpr TBrushParam TypeParam(const char* key, int min, int max, int def) {
  return {kBrushTypesSection, key, min, max, def};
}

using F = TStyleField;
constexpr int kThicknessMax = kLineThickness.Max + 1;
constexpr int kCountMax = kLineCount.Max + 1;
constexpr int kScratchMax = 5;   // "No scratch" .. "From point"
constexpr int kLineTypeMax = 3;  // "Parallel " .. "From point"

const std::array<TStyleParams, kBrushStyleCount> kStyleParams = {{
    {{{{F::Falloff, TypeParam("Br1_FallFact", 0, 100, 100)},
       {F::Variant, TypeParam("Br1_Scratch", 0, kScratchMax, 0)},
       {F::Thickness, TypeParam("Br1_Thickness", 2, kThicknessMax, 2)},
       {F::Count, TypeParam("Br1_ScrNumber", 2, kCountMax, 2)},
       {F::LinesChecked, TypeParam("Br1_LinesChk", 0, 1, 0)}}},
     5},
    {{{{F::Variant, TypeParam("Br2_Scratch", 0, kScratchMax, 0)},
       {F::Thickness, TypeParam("Br2_Thickness", 2, kThicknessMax, 2)},
       {F::Count, TypeParam("Br2_ScrNumber", 2, kCountMax, 2)},
       {F::LinesChecked, TypeParam("Br2_LinesChk", 0, 1, 0)}}},
     4},
    {{{{F::Variant, TypeParam("Br3_Scratch", 0, kLineTypeMax, 0)},
       {F::Thickness, TypeParam("Br3_Thickness", 2, kThicknessMax, 2)},
       {F::VaryIntensity, TypeParam("Br3_VaryIntensity", 0, 255, 0)},
       {F::Count, TypeParam("Br3_ScrNumber", 2, kCountMax, 2)},
       {F::LinesChecked, TypeParam("Br3_LinesChk", 0, 1, 0)}}},
     5},
    {{{{F::Thickness, TypeParam("Br4_Thickness", 2, kThicknessMax, 2)},
       {F::VaryIntensity, TypeParam("Br4_VaryIntensity", 0, 255, 0)},
       {F::Count, TypeParam("Br4_ScrNumber", 2, kCountMax, 2)},
       {F::LinesChecked, TypeParam("Br4_LinesChk", 0, 1, 0)}}},
     4},
    {{{{F::Thickness, TypeParam("Br5_Thickness", 2, kThicknessMax, 2)},
       {F::VaryIntensity, TypeParam("Br5_VaryIntensity", 0, 255, 0)},
       {F::Count, TypeParam("Br5_ScrNumber", 2, kCountMax, 2)},
       {F::LinesChecked, TypeParam("Br5_LinesChk", 0, 1, 0)}}},
     4},
    // Style 6 keeps the spacing itself, not a position.
    {{{{F::Thickness, TypeParam("Br6_Thickness", 2, kThicknessMax, 2)},
       {F::Count, TypeParam("Br6_ScrNumber", 0, HalfUp(kBrushSize.Max + 1), 0)},
       {F::VaryIntensity, TypeParam("Br6_VaryIntensity", 0, 255, 0)},
       {F::Falloff, TypeParam("Br6_FallFact", 0, 100, 100)},
       {F::Variant, TypeParam("Br6_Scratch", 0, 1, 0)}}},
     5},
}};

constexpr int kStyle6Falloff = 1;  // Br6_Scratch: "Falloff" chosen, 0 for "Vary "

int ClampStyle(int style) {
  return kBrushStyle.Clamp(style);
}

}  // namespace

double SizeVaryFromPercent(int percent) {
  return kSizeVary.Clamp(percent) / 100.0;
}

int SizeVaryToPercent(double sizeVary) {
  if (!(sizeVary > 0.0)) return 0;  // also NaN
  return kSizeVary.Clamp(static_cast<int>(std::lround(std::min(sizeVary, 1.0) * 100.0)));
}

std::uint32_t FalloffStepFor(const BrushSettings& brush) {
  if (brush.BrushStyle == ParallelLinesBrush) {
    const int period = std::max(1, brush.LineThickness + brush.LineCount);
    return ComputeFalloffStep(brush.BrushSize / period, brush.FalloffPercent);
  }
  return ComputeFalloffStep(brush.BrushSize, brush.FalloffPercent);
}

bool IsSolidStamp(const BrushSettings& brush) {
  return !(brush.FalloffPercent > 0 || brush.BlurStamp || brush.BumpStamp ||
           brush.IntensityVary != 0 || brush.Capacity < kFullCapacity);
}

void ClampBrushSettings(BrushSettings& b) {
  b.BrushStyle = kBrushStyle.Clamp(b.BrushStyle);
  b.BrushSize = kBrushSize.Clamp(b.BrushSize);
  b.Capacity = kCapacity.Clamp(b.Capacity);
  b.FalloffPercent = kFalloffPercent.Clamp(b.FalloffPercent);
  b.FalloffStep = std::min(b.FalloffStep, kSolidFalloffStep);
  b.ChalkDivisor = b.ChalkDivisor != 0 ? kChalkDivisor.Max : 0;
  b.Jitter = kJitter.Clamp(b.Jitter);
  b.RepeatCount = kRepeatCount.Clamp(b.RepeatCount);
  b.FadeSize = std::min(kFadeSize.Clamp(b.FadeSize), b.BrushSize);
  b.FadeType = kFadeType.Clamp(b.FadeType);
  b.SizeVary = SizeVaryFromPercent(SizeVaryToPercent(b.SizeVary));
  b.ColorVary = kColorVary.Clamp(b.ColorVary);
  b.BlurKernel = kBlurKernel.Clamp(b.BlurKernel);
  b.BlurMargin = kBlurMargin.Clamp(b.BlurMargin);
  b.LineVariant = kLineVariant.Clamp(b.LineVariant);
  b.LineThickness = kLineThickness.Clamp(b.LineThickness);
  b.LineCount = kLineCount.Clamp(b.LineCount);
  b.IntensityVary = kIntensityVary.Clamp(b.IntensityVary);
  b.BumpScale = kBumpScale.Clamp(b.BumpScale);
  b.BumpLimit = kBumpLimit.Clamp(b.BumpLimit);
  b.BumpRoughness = kBumpRoughness.Clamp(b.BumpRoughness);
  b.BumpOffsetX = kBumpOffsetX.Clamp(b.BumpOffsetX);
  b.BumpOffsetY = kBumpOffsetY.Clamp(b.BumpOffsetY);
}

int StyleValue(const TBrushStyleLines& lines, TStyleField field) {
  switch (field) {
    case F::Falloff:
      return lines.Falloff;
    case F::Variant:
      return lines.Variant;
    case F::Thickness:
      return lines.Thickness;
    case F::Count:
      return lines.Count;
    case F::VaryIntensity:
      return lines.VaryIntensity;
    case F::LinesChecked:
      return lines.LinesChecked ? 1 : 0;
  }
  return 0;
}

void SetStyleValue(TBrushStyleLines& lines, TStyleField field, int value) {
  switch (field) {
    case F::Falloff:
      lines.Falloff = value;
      break;
    case F::Variant:
      lines.Variant = value;
      break;
    case F::Thickness:
      lines.Thickness = value;
      break;
    case F::Count:
      lines.Count = value;
      break;
    case F::VaryIntensity:
      lines.VaryIntensity = value;
      break;
    case F::LinesChecked:
      lines.LinesChecked = value != 0;
      break;
  }
}

std::optional<TBrushParam> TStyleParams::Find(TStyleField field) const {
  for (const TStyleParam& p : *this)
    if (p.Field == field) return p.Param;
  return std::nullopt;
}

const TStyleParams& BrushStyleParams(int style) {
  return kStyleParams[static_cast<std::size_t>(ClampStyle(style) - 1)];
}

std::array<TBrushStyleLines, kBrushStyleCount> TBrushDialog::DefaultStyles() {
  std::array<TBrushStyleLines, kBrushStyleCount> styles{};
  for (int s = 1; s <= kBrushStyleCount; ++s)
    for (const TStyleParam& p : BrushStyleParams(s))
      SetStyleValue(styles[static_cast<std::size_t>(s - 1)], p.Field, p.Param.Default);
  return styles;
}

TTrackState FadeTrackState(int trackSize) {
  const int min = kFadeTrack.Min;
  if (trackSize > min) return {true, min, std::min(trackSize, kFadeTrack.Max), std::nullopt};
  return {false, min, min, min};
}

TTrackState ThicknessTrackState(int style, int trackSize) {
  const int min = BrushStyleParams(style).Find(F::Thickness)->Min;
  if (trackSize >= kMinLinesSizePosition)
    return {true, min, std::max(min, HalfUp(trackSize)), std::nullopt};
  return {false, min, std::max(min, kRestingLinePosition), kRestingLinePosition};
}

TTrackState CountTrackState(int style, int trackSize, bool linesChecked) {
  const TBrushParam decl = *BrushStyleParams(style).Find(F::Count);
  const int rest = std::max(decl.Min, kRestingLinePosition);
  if (trackSize < kMinLinesSizePosition) return {false, decl.Min, rest, kRestingLinePosition};
  if (style == ParallelLinesBrush)
    return {true, decl.Min, std::min(decl.Max, HalfUp(trackSize)), std::nullopt};
  const int max = std::min(decl.Max, trackSize);
  if (linesChecked) return {true, decl.Min, max, std::nullopt};
  return {false, decl.Min, max, HalfUp(trackSize)};
}

namespace {

void Follow(int& position, const TTrackState& state) {
  position = state.Forced ? *state.Forced : std::clamp(position, state.Min, state.Max);
}

}  // namespace

void ApplySizeDependencies(TBrushDialog& d) {
  Follow(d.TrackFade, FadeTrackState(d.TrackSize));
  for (int s = 1; s <= kBrushStyleCount; ++s) {
    TBrushStyleLines& lines = d.Lines(s);
    Follow(lines.Thickness, ThicknessTrackState(s, d.TrackSize));
    Follow(lines.Count, CountTrackState(s, d.TrackSize, lines.LinesChecked));
  }
}

void ClampBrushDialog(TBrushDialog& d) {
  d.Style = ClampStyle(d.Style);
  d.TrackSize = std::clamp(d.TrackSize, kSizeTrack.Min, kSizeTrack.Max);
  d.TrackQpct = std::clamp(d.TrackQpct, kCapacityTrack.Min, kCapacityTrack.Max);
  d.TrackJitter = kJitter.Clamp(d.TrackJitter);
  d.TrackLoop = kRepeatCount.Clamp(d.TrackLoop);
  d.TrackFade = std::clamp(d.TrackFade, kFadeTrack.Min, kFadeTrack.Max);
  d.FadeType = kFadeType.Clamp(d.FadeType);
  d.TrackSizeVary = kSizeVary.Clamp(d.TrackSizeVary);
  d.TrackColorVary = kColorVary.Clamp(d.TrackColorVary);
  d.BlurKernel = kBlurKernel.Clamp(d.BlurKernel);
  d.BumpScale = kBumpScale.Clamp(d.BumpScale);
  d.BumpLimit = kBumpLimit.Clamp(d.BumpLimit);
  d.BumpRoughness = kBumpRoughness.Clamp(d.BumpRoughness);
  d.BumpOffsetX = kBumpOffsetX.Clamp(d.BumpOffsetX);
  d.BumpOffsetY = kBumpOffsetY.Clamp(d.BumpOffsetY);
  for (int s = 1; s <= kBrushStyleCount; ++s)
    for (const TStyleParam& p : BrushStyleParams(s))
      SetStyleValue(d.Lines(s), p.Field, p.Param.Clamp(StyleValue(d.Lines(s), p.Field)));
  ApplySizeDependencies(d);
}

void ShiftBumpOffset(TBrushDialog& d, int tag) {
  if (tag < 0 || tag > 8) return;
  if (tag == 4) {
    d.BumpOffsetX = 0;
    d.BumpOffsetY = 0;
    return;
  }
  d.BumpOffsetX = kBumpOffsetX.Clamp(d.BumpOffsetX + tag % 3 - 1);
  d.BumpOffsetY = kBumpOffsetY.Clamp(d.BumpOffsetY + 1 - tag / 3);
}

void DefaultBrushDialog(TBrushDialog& dialog) {
  const auto styles = dialog.Styles;
  dialog = TBrushDialog{};
  dialog.Styles = styles;
  ClampBrushDialog(dialog);
}

void LoadBrushDialog(const BrushSettings& b, TBrushDialog& d) {
  d.Style = b.BrushStyle;
  d.TrackSize = b.BrushSize + 1;
  d.TrackQpct = CapacityToPercent(b.Capacity);
  d.TrackJitter = b.Jitter;
  d.TrackLoop = b.RepeatCount;
  d.TrackColorVary = b.ColorVary;
  d.TrackFade = b.FadeSize + 1;
  d.FadeType = b.FadeType;
  d.Connected = b.ConnectedDrawing;
  d.RecalcFalloff = b.RecalcFalloff;
  d.BlurKernel = b.BlurKernel;
  d.Blur = b.BlurStamp;
  d.Bump = b.BumpStamp;
  d.BumpScale = b.BumpScale;
  d.BumpLimit = b.BumpLimit;
  d.BumpRoughness = b.BumpRoughness;
  d.TrackSizeVary = SizeVaryToPercent(b.SizeVary);
  d.Chalk = b.ChalkDivisor != 0;
  d.Invert = b.InvertIntensity;
  d.BumpOffsetX = b.BumpOffsetX;
  d.BumpOffsetY = b.BumpOffsetY;
  ClampBrushDialog(d);
}

void ApplyBrushDialog(const TBrushDialog& dialog, BrushSettings& b) {
  TBrushDialog d = dialog;
  ClampBrushDialog(d);

  b.BrushStyle = d.Style;
  b.ChalkDivisor = d.Chalk ? kChalkDivisor.Max : 0;
  b.InvertIntensity = d.Invert;
  b.BlurKernel = d.BlurKernel;
  b.BlurStamp = d.Blur;
  b.BlurMargin = d.Blur ? d.BlurKernel + (d.TrackSize - 1) / 4 : 0;
  b.BrushSize = d.TrackSize - 1;
  b.Capacity = CapacityFromPercent(d.TrackQpct);
  b.Jitter = d.TrackJitter;
  b.RepeatCount = d.TrackLoop;
  b.FadeSize = d.TrackFade - 1;
  b.FadeType = d.FadeType;
  b.SizeVary = SizeVaryFromPercent(d.TrackSizeVary);
  b.ColorVary = d.TrackColorVary;
  b.RecalcFalloff = d.RecalcFalloff;
  b.ConnectedDrawing = d.Connected;
  b.BumpStamp = d.Bump;
  b.BumpScale = d.BumpScale;
  b.BumpLimit = d.BumpLimit;
  b.BumpRoughness = d.BumpRoughness;
  b.BumpOffsetX = d.BumpOffsetX;
  b.BumpOffsetY = d.BumpOffsetY;
  b.FalloffPercent = 0;
  b.IntensityVary = 0;

  const TBrushStyleLines& lines = d.Lines(d.Style);
  const int count = lines.LinesChecked ? lines.Count - 1 : DefaultLineCount(b.BrushSize);
  switch (d.Style) {
    case NeonBrush:
      b.FalloffPercent = lines.Falloff;
      b.LineVariant = lines.Variant;
      b.LineThickness = lines.Thickness - 1;
      b.LineCount = count;
      break;
    case SolidBrush:
      b.LineVariant = lines.Variant;
      b.LineThickness = lines.Thickness - 1;
      b.LineCount = count;
      break;
    case RandomLinesBrush:
      b.LineVariant = lines.Variant;
      b.LineThickness = lines.Thickness - 1;
      b.IntensityVary = lines.VaryIntensity;
      b.LineCount = count;
      break;
    case SplashBrush:
    case CurvedLinesBrush:
      b.LineThickness = lines.Thickness - 1;
      b.IntensityVary = lines.VaryIntensity;
      b.LineCount = count;
      break;
    case ParallelLinesBrush:
      b.LineThickness = lines.Thickness - 1;
      b.LineCount = lines.Count;
      if (lines.Variant == kStyle6Falloff)
        b.FalloffPercent = lines.Falloff;
      else
        b.IntensityVary = lines.VaryIntensity;
      break;
    default:
      break;
  }
  b.FalloffStep = FalloffStepFor(b);
  b.SolidStamp = IsSolidStamp(b);
}

}  // namespace korvane
