// The brush every brush-applied tool paints with: the live parameters, the state of the brush
// dialog that edits them (kept per style), and the values derived from both.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace korvane {

enum TBrushStyle : int {
  NeonBrush = 1,
  SolidBrush = 2,
  RandomLinesBrush = 3,
  SplashBrush = 4,
  CurvedLinesBrush = 5,
  ParallelLinesBrush = 6,
};
inline constexpr int kBrushStyleCount = 6;

// 100 % capacity in the write-back's fixed point (equal to TransparencyScale, checked in
// Brush.cpp).
inline constexpr std::int32_t kFullCapacity = 1 << 22;
// The falloff step that reaches full intensity in the first ring; every larger step paints the
// same stamp, so steps are capped here and stay far from 32-bit overflow.
inline constexpr std::uint32_t kSolidFalloffStep = 255u << 22;

// A stored parameter, declared once: registry section and key, range, default. The dialog's
// control limits, the settings reader's clamping and ApplyBrushDialog read the same declaration.
struct TBrushParam {
  const char* Section;
  const char* Key;
  int Min;
  int Max;
  int Default;
  constexpr int Clamp(int value) const { return value < Min ? Min : (value > Max ? Max : value); }
};

inline constexpr const char* kBrushesSection = "Brushes";
inline constexpr const char* kBumpingSection = "Bumping";
inline constexpr const char* kBrushTypesSection = "BrushTypes";

// The intensity gained per ring of a graded stamp whose falloff covers percent % of length rings;
// solid (kSolidFalloffStep) when percent or length is 0 or the ramp is shorter than one ring.
// Exact integer quotient 255 * 2^22 / (length * percent / 100), truncated.
constexpr std::uint32_t ComputeFalloffStep(int length, int percent) {
  if (length <= 0 || percent <= 0) return kSolidFalloffStep;
  const std::int64_t step =
      (std::int64_t{25500} << 22) / (std::int64_t{length} * std::int64_t{percent});
  return step >= std::int64_t{kSolidFalloffStep} ? kSolidFalloffStep
                                                 : static_cast<std::uint32_t>(step);
}

// Capacity percent (the dialog's 0..100) to fixed point, truncated, and back, rounded up.
constexpr std::int32_t CapacityFromPercent(int percent) {
  return static_cast<std::int32_t>((std::int64_t{percent} << 22) / 100);
}
constexpr int CapacityToPercent(std::int32_t capacity) {
  return static_cast<int>((std::int64_t{capacity} * 100 + kFullCapacity - 1) >> 22);
}

// Size variation as a whole percent and back. Rounded to nearest: rounding up would turn 7 %
// into 8 % on the next showing, since 7 * 0.01 * 100 is slightly above 7.
double SizeVaryFromPercent(int percent);
int SizeVaryToPercent(double sizeVary);

// The line count of a style whose "Scratches" or "Lines" box is unchecked.
constexpr int DefaultLineCount(int brushSize) {
  return brushSize / 2;
}

// Section "Brushes".
inline constexpr TBrushParam kBrushStyle{kBrushesSection, "Style", NeonBrush, ParallelLinesBrush,
                                         NeonBrush};
inline constexpr TBrushParam kChalkDivisor{kBrushesSection, "Random", 0, 2, 0};  // 0 or 2
inline constexpr TBrushParam kInvertIntensity{kBrushesSection, "Invert", 0, 1, 0};
inline constexpr TBrushParam kSolidStamp{kBrushesSection, "Solid", 0, 1, 0};
inline constexpr TBrushParam kBrushSize{kBrushesSection, "Size", 1, 100, 10};
inline constexpr TBrushParam kCapacity{kBrushesSection, "Capacity", CapacityFromPercent(1),
                                       kFullCapacity, kFullCapacity};
inline constexpr TBrushParam kJitter{kBrushesSection, "Jitter", 0, 20, 0};
inline constexpr TBrushParam kRepeatCount{kBrushesSection, "Loop", 0, 20, 0};
// Brush size at the faded end; never above BrushSize, so a fade always ends.
inline constexpr TBrushParam kFadeSize{kBrushesSection, "Fade", 1, 100, 1};
inline constexpr TBrushParam kFadeType{kBrushesSection, "FadeType", 0, 4, 0};
inline constexpr TBrushParam kConnectedDrawing{kBrushesSection, "Connect", 0, 1, 1};
inline constexpr TBrushParam kSizeVary{kBrushesSection, "Sizevary", 0, 100, 0};  // whole percent
inline constexpr TBrushParam kColorVary{kBrushesSection, "Colorvary", 0, 128, 0};
inline constexpr TBrushParam kRecalcFalloff{kBrushesSection, "UpdFall", 0, 1, 0};
inline constexpr TBrushParam kFalloffPercent{kBrushesSection, "FallFact", 0, 100, 100};
inline constexpr TBrushParam kLineVariant{kBrushesSection, "Scratch", 0, 5, 0};
inline constexpr TBrushParam kLineThickness{kBrushesSection, "Thickness", 1, 50, 1};
inline constexpr TBrushParam kLineCount{kBrushesSection, "ScrNumber", 0, 100,
                                        DefaultLineCount(kBrushSize.Default)};
inline constexpr TBrushParam kIntensityVary{kBrushesSection, "ScrFall", 0, 255, 0};
inline constexpr TBrushParam kBlurKernel{kBrushesSection, "Bkernel", 3, 9, 3};
inline constexpr TBrushParam kBlurMargin{kBrushesSection, "ROItol", 0,
                                         kBlurKernel.Max + kBrushSize.Max / 4, 0};
inline constexpr TBrushParam kBlurStamp{kBrushesSection, "Blur", 0, 1, 0};
inline constexpr TBrushParam kBumpStamp{kBrushesSection, "Bump", 0, 1, 0};
// Section "Bumping".
inline constexpr TBrushParam kBumpScale{kBumpingSection, "Scale", -8, 8, 1};
inline constexpr TBrushParam kBumpLimit{kBumpingSection, "Level", 0, 255, 64};
inline constexpr TBrushParam kBumpRoughness{kBumpingSection, "Rough", 0, 255, 0};
inline constexpr TBrushParam kBumpOffsetX{kBumpingSection, "X_offset", -100, 100, 1};
inline constexpr TBrushParam kBumpOffsetY{kBumpingSection, "Y_offset", -100, 100, -1};

// The live brush. Its defaults are what the dialog's defaults give when applied.
struct BrushSettings {
  int BrushStyle = kBrushStyle.Default;
  int BrushSize = kBrushSize.Default;
  std::int32_t Capacity = kCapacity.Default;
  int FalloffPercent = kFalloffPercent.Default;
  std::uint32_t FalloffStep = ComputeFalloffStep(kBrushSize.Default, kFalloffPercent.Default);
  int ChalkDivisor = kChalkDivisor.Default;
  bool InvertIntensity = kInvertIntensity.Default != 0;
  bool SolidStamp = kSolidStamp.Default != 0;
  int Jitter = kJitter.Default;
  int RepeatCount = kRepeatCount.Default;
  int FadeSize = kFadeSize.Default;
  int FadeType = kFadeType.Default;
  bool ConnectedDrawing = kConnectedDrawing.Default != 0;
  double SizeVary = 0.0;
  int ColorVary = kColorVary.Default;
  bool RecalcFalloff = kRecalcFalloff.Default != 0;
  bool BlurStamp = kBlurStamp.Default != 0;
  int BlurKernel = kBlurKernel.Default;
  int BlurMargin = kBlurMargin.Default;
  bool BumpStamp = kBumpStamp.Default != 0;
  int LineVariant = kLineVariant.Default;
  int LineThickness = kLineThickness.Default;
  int LineCount = kLineCount.Default;
  int IntensityVary = kIntensityVary.Default;
  int BumpScale = kBumpScale.Default;
  int BumpLimit = kBumpLimit.Default;
  int BumpRoughness = kBumpRoughness.Default;
  int BumpOffsetX = kBumpOffsetX.Default;
  int BumpOffsetY = kBumpOffsetY.Default;

  bool operator==(const BrushSettings&) const = default;
};

// The falloff step the settings call for: per BrushSize rings, for style 6 per line period
// (the number of periods across the brush).
std::uint32_t FalloffStepFor(const BrushSettings& brush);
// True when the stamp has only full or no intensity.
bool IsSolidStamp(const BrushSettings& brush);
// Forces every field into its declared range (FadeSize also to at most BrushSize); for values
// read from storage.
void ClampBrushSettings(BrushSettings& brush);

// One style's panel of the dialog. Track fields hold slider positions.
struct TBrushStyleLines {
  int Falloff = 100;          // percent; styles 1 and 6
  int Variant = 0;            // scratch (1, 2), line type (3), 1 "Falloff" / 0 "Vary " (6)
  int Thickness = 2;          // line thickness + 1
  int Count = 2;              // line count + 1; style 6: the spacing itself
  int VaryIntensity = 0;      // styles 3 to 6
  bool LinesChecked = false;  // "Scratches" (1, 2) or "Lines" (3 to 5)

  bool operator==(const TBrushStyleLines&) const = default;
};

// The fields of a style panel, for the per-style declarations below.
enum class TStyleField { Falloff, Variant, Thickness, Count, VaryIntensity, LinesChecked };
int StyleValue(const TBrushStyleLines& lines, TStyleField field);
void SetStyleValue(TBrushStyleLines& lines, TStyleField field, int value);

struct TStyleParam {
  TStyleField Field;
  TBrushParam Param;
};

// The stored fields of each style (section "BrushTypes"), in the order they are read and written.
struct TStyleParams {
  std::array<TStyleParam, 5> Items;
  int Size;
  const TStyleParam* begin() const { return Items.data(); }
  const TStyleParam* end() const { return Items.data() + Size; }
  // The declaration of one field, or none when the style has no such control.
  std::optional<TBrushParam> Find(TStyleField field) const;
};
const TStyleParams& BrushStyleParams(int style);  // style 1..6

// The dialog's state: one field per control. The form mirrors it; LoadBrushDialog fills it from
// BrushSettings, ApplyBrushDialog copies it back.
struct TBrushDialog {
  int Style = NeonBrush;  // the style button that is down, 0 for none
  int TrackSize = kBrushSize.Default + 1;
  int TrackQpct = CapacityToPercent(kCapacity.Default);
  int TrackJitter = kJitter.Default;
  int TrackLoop = kRepeatCount.Default;
  int TrackFade = kFadeSize.Default + 1;
  int FadeType = kFadeType.Default;
  bool Connected = kConnectedDrawing.Default != 0;
  int TrackSizeVary = kSizeVary.Default;
  int TrackColorVary = kColorVary.Default;
  bool RecalcFalloff = kRecalcFalloff.Default != 0;
  bool Chalk = kChalkDivisor.Default != 0;
  bool Invert = kInvertIntensity.Default != 0;
  bool Blur = kBlurStamp.Default != 0;
  int BlurKernel = kBlurKernel.Default;
  bool Bump = kBumpStamp.Default != 0;
  int BumpScale = kBumpScale.Default;
  int BumpLimit = kBumpLimit.Default;
  int BumpRoughness = kBumpRoughness.Default;
  int BumpOffsetX = kBumpOffsetX.Default;
  int BumpOffsetY = kBumpOffsetY.Default;
  std::array<TBrushStyleLines, kBrushStyleCount> Styles = DefaultStyles();

  TBrushStyleLines& Lines(int style) { return Styles[static_cast<std::size_t>(style - 1)]; }
  const TBrushStyleLines& Lines(int style) const {
    return Styles[static_cast<std::size_t>(style - 1)];
  }
  bool operator==(const TBrushDialog&) const = default;

  static std::array<TBrushStyleLines, kBrushStyleCount> DefaultStyles();
};

// Slider limits of the controls that show a stored value in another unit; the others use their
// parameter's Min and Max directly, the style panels their style's declarations.
struct TTrackLimits {
  int Min;
  int Max;
};
inline constexpr TTrackLimits kSizeTrack{kBrushSize.Min + 1, kBrushSize.Max + 1};
inline constexpr TTrackLimits kCapacityTrack{CapacityToPercent(kCapacity.Min),
                                             CapacityToPercent(kCapacity.Max)};
inline constexpr TTrackLimits kFadeTrack{kFadeSize.Min + 1, kFadeSize.Max + 1};

// A track whose range and state follow the size position.
struct TTrackState {
  bool Enabled;
  int Min;
  int Max;
  std::optional<int> Forced;  // the position it is held at while it follows the size
};
TTrackState FadeTrackState(int trackSize);
TTrackState ThicknessTrackState(int style, int trackSize);
TTrackState CountTrackState(int style, int trackSize, bool linesChecked);

// Forces the fade and every style's thickness and count tracks to what the size position allows.
void ApplySizeDependencies(TBrushDialog& dialog);
// Forces every control into its limits, then the size dependencies.
void ClampBrushDialog(TBrushDialog& dialog);

// The bump offset buttons, Tags 0..8 from north-west to south-east; 4 is back to (0, 0).
void ShiftBumpOffset(TBrushDialog& dialog, int tag);

// "Default": the default values of every control but the style panels, which keep theirs.
void DefaultBrushDialog(TBrushDialog& dialog);
// Shows the live brush in the controls; the style panels keep their own state.
void LoadBrushDialog(const BrushSettings& brush, TBrushDialog& dialog);
// "OK": copies the controls into the live brush, the active style's panel into its line fields.
void ApplyBrushDialog(const TBrushDialog& dialog, BrushSettings& brush);

}  // namespace korvane
