// The brush model: defaults, the dialog's application to the live brush, the derived values and
// the limits the dialog's controls enforce.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "app/EditorState.h"
#include "paint/Brush.h"

using namespace korvane;

namespace {

constexpr std::uint32_t kSolid = 255u << 22;

TBrushDialog DefaultDialog() {
  TBrushDialog d;
  DefaultBrushDialog(d);
  return d;
}

BrushSettings Applied(const TBrushDialog& d, BrushSettings b = {}) {
  ApplyBrushDialog(d, b);
  return b;
}

// A dialog whose six style panels all differ from their defaults and from each other.
TBrushDialog DistinctPanels() {
  TBrushDialog d = DefaultDialog();
  d.TrackSize = 21;  // brush size 20: room for lines in every style
  d.Lines(1) = {40, 3, 4, 7, 0, true};
  d.Lines(2) = {100, 5, 3, 9, 0, true};
  d.Lines(3) = {100, 2, 5, 4, 77, true};
  d.Lines(4) = {100, 0, 2, 2, 30, false};
  d.Lines(5) = {100, 0, 6, 12, 90, true};
  d.Lines(6) = {60, 0, 3, 4, 50, false};
  return d;
}

}  // namespace

TEST(BrushDefaults, DefaultDialogAppliedGivesTheDefaultBrush) {
  const BrushSettings b = Applied(DefaultDialog());
  EXPECT_EQ(b, BrushSettings{});
  EXPECT_EQ(b.BrushStyle, NeonBrush);
  EXPECT_EQ(b.BrushSize, 10);
  EXPECT_EQ(b.Capacity, 4194304);
  EXPECT_EQ(b.FalloffPercent, 100);
  EXPECT_EQ(b.FalloffStep, 106954752u);  // 25.5 per ring over 10 rings
  EXPECT_EQ(b.ChalkDivisor, 0);
  EXPECT_FALSE(b.InvertIntensity);
  EXPECT_FALSE(b.SolidStamp);  // the neon falloff grades the stamp
  EXPECT_EQ(b.Jitter, 0);
  EXPECT_EQ(b.RepeatCount, 0);
  EXPECT_EQ(b.FadeSize, 1);
  EXPECT_EQ(b.FadeType, 0);
  EXPECT_TRUE(b.ConnectedDrawing);
  EXPECT_EQ(b.SizeVary, 0.0);
  EXPECT_EQ(b.ColorVary, 0);
  EXPECT_FALSE(b.BlurStamp);
  EXPECT_EQ(b.BlurKernel, 3);
  EXPECT_EQ(b.BlurMargin, 0);
  EXPECT_FALSE(b.BumpStamp);
  EXPECT_EQ(b.LineVariant, 0);
  EXPECT_EQ(b.LineThickness, 1);
  EXPECT_EQ(b.LineCount, 5);  // "Scratches" unchecked: half the size
  EXPECT_EQ(b.IntensityVary, 0);
  EXPECT_EQ(b.BumpScale, 1);
  EXPECT_EQ(b.BumpLimit, 64);
  EXPECT_EQ(b.BumpRoughness, 0);
  EXPECT_EQ(b.BumpOffsetX, 1);
  EXPECT_EQ(b.BumpOffsetY, -1);

  // The editor starts from the brush the first activation produces.
  const TEditorState editor;
  EXPECT_EQ(editor.Brush, b);
  EXPECT_EQ(Applied(editor.BrushDialog), b);
}

TEST(BrushDefaults, StylePanelsStartAtTheirFormDefaults) {
  const TBrushDialog d;
  for (int s = 1; s <= 5; ++s) {
    SCOPED_TRACE(s);
    EXPECT_EQ(d.Lines(s).Thickness, 2);
    EXPECT_EQ(d.Lines(s).Variant, 0);  // "No scratch" / "Parallel "
    EXPECT_EQ(d.Lines(s).VaryIntensity, 0);
    EXPECT_FALSE(d.Lines(s).LinesChecked);
  }
  EXPECT_EQ(d.Lines(1).Falloff, 100);
  EXPECT_EQ(d.Lines(6).Falloff, 100);
  EXPECT_EQ(d.Lines(6).Count, 0);    // spacing
  EXPECT_EQ(d.Lines(6).Variant, 0);  // "Vary "
  EXPECT_EQ(d.Lines(6).VaryIntensity, 0);
}

TEST(BrushDefaults, DefaultResetsTheCommonControlsAndKeepsTheStylePanels) {
  TBrushDialog d = DistinctPanels();
  d.Style = CurvedLinesBrush;
  d.TrackQpct = 30;
  d.Blur = true;
  d.BumpOffsetX = -7;
  d.FadeType = 3;
  const auto panels = d.Styles;
  DefaultBrushDialog(d);
  TBrushDialog expected;
  expected.Styles = panels;
  ApplySizeDependencies(expected);
  EXPECT_EQ(d, expected);
  EXPECT_EQ(d.Lines(3).VaryIntensity, 77);
}

struct FalloffCase {
  int Length;
  int Percent;
  std::uint32_t Step;
};

class ComputeFalloffStepTable : public testing::TestWithParam<FalloffCase> {};

TEST_P(ComputeFalloffStepTable, GivesTheStepPerRing) {
  const FalloffCase c = GetParam();
  EXPECT_EQ(ComputeFalloffStep(c.Length, c.Percent), c.Step)
      << "length " << c.Length << ", percent " << c.Percent;
}

INSTANTIATE_TEST_SUITE_P(
    Brush, ComputeFalloffStepTable,
    testing::Values(
        // Percent 0: solid from the first ring, whatever the length.
        FalloffCase{10, 0, kSolid}, FalloffCase{1, 0, kSolid}, FalloffCase{100, 0, kSolid},
        // Length 0 (style 6 with a line period beyond the size): solid, no division by zero.
        FalloffCase{0, 60, kSolid}, FalloffCase{-3, 60, kSolid}, FalloffCase{10, 100, 106954752},
        FalloffCase{2, 100, 534773760}, FalloffCase{100, 100, 10695475},
        FalloffCase{100, 50, 21390950}, FalloffCase{10, 50, 213909504},
        FalloffCase{7, 33, 463007584},
        // Exactly 100 per ring; a floating 2.55 would truncate one unit short.
        FalloffCase{3, 85, 419430400},
        // One ring or less: 255 at once, capped where 32 bits would overflow (25500 << 22).
        FalloffCase{100, 1, kSolid}, FalloffCase{1, 100, kSolid}, FalloffCase{1, 50, kSolid},
        FalloffCase{1, 1, kSolid},
        // Extremes of the int range stay in 64 bits.
        FalloffCase{INT_MAX, 100, 0}, FalloffCase{INT_MAX, INT_MAX, 0},
        FalloffCase{1, INT_MAX, 49}));

TEST(BrushDerived, FalloffReachesFullIntensityAtTheRingTheStepWasComputedFor) {
  // 50 % of a 10-pixel band: 255 at ring 5, not before.
  const std::uint32_t step = ComputeFalloffStep(10, 50);
  EXPECT_EQ((std::uint64_t{5} * step) >> 22, 255u);
  EXPECT_LT((std::uint64_t{4} * step) >> 22, 255u);
}

TEST(BrushDerived, CapacityAndSizeVarySurviveEveryShowing) {
  // Apply then load must give the same slider positions back, or each OK would move them.
  for (int percent = 1; percent <= 100; ++percent) {
    TBrushDialog d = DefaultDialog();
    d.TrackQpct = percent;
    d.TrackSizeVary = percent;
    TBrushDialog shown = d;
    LoadBrushDialog(Applied(d), shown);
    EXPECT_EQ(shown.TrackQpct, percent);
    EXPECT_EQ(shown.TrackSizeVary, percent);
  }
  EXPECT_EQ(CapacityFromPercent(33), 1384120);  // trunc(0.33 * 2^22)
  TBrushDialog d = DefaultDialog();
  d.TrackSizeVary = 25;
  EXPECT_EQ(Applied(d).SizeVary, 0.25);
}

TEST(BrushDerived, LoadingRoundsCapacityUp) {
  BrushSettings b;
  TBrushDialog d;
  b.Capacity = CapacityFromPercent(50);
  LoadBrushDialog(b, d);
  EXPECT_EQ(d.TrackQpct, 50);
  b.Capacity = CapacityFromPercent(50) + 1;
  LoadBrushDialog(b, d);
  EXPECT_EQ(d.TrackQpct, 51);
}

TEST(BrushDerived, BlurMarginGrowsWithKernelAndSize) {
  TBrushDialog d = DefaultDialog();
  d.TrackSize = 21;
  d.BlurKernel = 5;
  EXPECT_EQ(Applied(d).BlurMargin, 0);  // blur off
  d.Blur = true;
  EXPECT_EQ(Applied(d).BlurMargin, 5 + 20 / 4);
  d.TrackSize = kSizeTrack.Max;
  d.BlurKernel = kBlurKernel.Max;
  EXPECT_EQ(Applied(d).BlurMargin, kBlurMargin.Max);
}

struct SolidCase {
  const char* What;
  void (*Change)(TBrushDialog&);
  bool Solid;
};

class SolidStampTable : public testing::TestWithParam<SolidCase> {};

TEST_P(SolidStampTable, OnlyUngradedFullCapacityStampsAreSolid) {
  TBrushDialog d = DefaultDialog();
  d.Style = SolidBrush;
  GetParam().Change(d);
  EXPECT_EQ(Applied(d).SolidStamp, GetParam().Solid) << GetParam().What;
}

INSTANTIATE_TEST_SUITE_P(
    Brush, SolidStampTable,
    testing::Values(SolidCase{"solid style, full capacity", [](TBrushDialog&) {}, true},
                    SolidCase{"capacity 99", [](TBrushDialog& d) { d.TrackQpct = 99; }, false},
                    SolidCase{"blur", [](TBrushDialog& d) { d.Blur = true; }, false},
                    SolidCase{"bump", [](TBrushDialog& d) { d.Bump = true; }, false},
                    SolidCase{"chalk and invert keep it solid",
                              [](TBrushDialog& d) { d.Chalk = d.Invert = true; }, true},
                    SolidCase{"neon with falloff 0",
                              [](TBrushDialog& d) {
                                d.Style = NeonBrush;
                                d.Lines(1).Falloff = 0;
                              },
                              true},
                    SolidCase{"neon with falloff 1",
                              [](TBrushDialog& d) {
                                d.Style = NeonBrush;
                                d.Lines(1).Falloff = 1;
                              },
                              false},
                    SolidCase{"random lines varying 1",
                              [](TBrushDialog& d) {
                                d.Style = RandomLinesBrush;
                                d.Lines(3).VaryIntensity = 1;
                              },
                              false},
                    SolidCase{"parallel lines with falloff",
                              [](TBrushDialog& d) {
                                d.Style = ParallelLinesBrush;
                                d.Lines(6).Variant = 1;
                              },
                              false},
                    SolidCase{"parallel lines varying 0 with a falloff track set",
                              [](TBrushDialog& d) {
                                d.Style = ParallelLinesBrush;
                                d.Lines(6).Falloff = 80;
                              },
                              true}));

struct StyleCase {
  int Style;
  bool Checked;  // the "Scratches" / "Lines" box of that style
  int Variant, Thickness, Count, IntensityVary, FalloffPercent;
  std::uint32_t FalloffStep;
};

class ApplyStyleTable : public testing::TestWithParam<StyleCase> {};

TEST_P(ApplyStyleTable, CopiesTheActiveStylesPanelIntoTheLineFields) {
  const StyleCase c = GetParam();
  TBrushDialog d = DistinctPanels();
  d.Style = c.Style;
  if (c.Style <= 5) d.Lines(c.Style).LinesChecked = c.Checked;
  BrushSettings before;
  before.LineVariant = 4;  // what styles that have no variant leave alone
  const BrushSettings b = Applied(d, before);
  EXPECT_EQ(b.BrushStyle, c.Style);
  EXPECT_EQ(b.LineVariant, c.Variant);
  EXPECT_EQ(b.LineThickness, c.Thickness);
  EXPECT_EQ(b.LineCount, c.Count);
  EXPECT_EQ(b.IntensityVary, c.IntensityVary);
  EXPECT_EQ(b.FalloffPercent, c.FalloffPercent);
  EXPECT_EQ(b.FalloffStep, c.FalloffStep);
}

// Brush size 20; unchecked boxes give the default line count 10.
INSTANTIATE_TEST_SUITE_P(Brush, ApplyStyleTable,
                         testing::Values(StyleCase{1, true, 3, 3, 6, 0, 40, 133693440},
                                         StyleCase{1, false, 3, 3, 10, 0, 40, 133693440},
                                         StyleCase{2, true, 5, 2, 8, 0, 0, kSolid},
                                         StyleCase{2, false, 5, 2, 10, 0, 0, kSolid},
                                         StyleCase{3, true, 2, 4, 3, 77, 0, kSolid},
                                         StyleCase{4, false, 4, 1, 10, 30, 0, kSolid},
                                         StyleCase{5, true, 4, 5, 11, 90, 0, kSolid},
                                         // "Vary ": the spacing is the count itself.
                                         StyleCase{6, false, 4, 2, 4, 50, 0, kSolid}));

TEST(BrushApply, ParallelLinesFalloffCountsRingsPerLinePeriod) {
  TBrushDialog d = DistinctPanels();
  d.Style = ParallelLinesBrush;
  d.Lines(6).Variant = 1;  // "Falloff"
  BrushSettings b = Applied(d);
  EXPECT_EQ(b.FalloffPercent, 60);  // the falloff track, not the variation track (50)
  EXPECT_EQ(b.IntensityVary, 0);
  // 20 / (thickness 2 + spacing 4) = 3 periods across the brush.
  EXPECT_EQ(b.FalloffStep, ComputeFalloffStep(3, 60));
  EXPECT_EQ(b.FalloffStep, 594193066u);
  EXPECT_EQ(FalloffStepFor(b), b.FalloffStep);

  // A period longer than the brush: no whole period, solid first ring.
  d.TrackSize = 5;  // size 4; thickness and spacing limited to 3
  d.Lines(6).Thickness = 3;
  d.Lines(6).Count = 3;
  b = Applied(d);
  EXPECT_EQ(b.LineThickness + b.LineCount, 5);
  EXPECT_EQ(b.FalloffStep, kSolid);
  EXPECT_FALSE(b.SolidStamp);
}

TEST(BrushApply, StyleSwitchesKeepEveryStylesOwnPanel) {
  TBrushDialog d = DistinctPanels();
  const auto panels = d.Styles;
  std::vector<BrushSettings> first;
  for (int s = 1; s <= kBrushStyleCount; ++s) {
    d.Style = s;
    first.push_back(Applied(d));
  }
  for (int s = kBrushStyleCount; s >= 1; --s) {
    d.Style = s;
    EXPECT_EQ(Applied(d), first[static_cast<std::size_t>(s - 1)]) << "style " << s;
  }
  EXPECT_EQ(d.Styles, panels);
}

TEST(BrushApply, OutOfRangeDialogValuesAreClampedFirst) {
  TBrushDialog d = DefaultDialog();
  d.Style = 9;
  d.TrackSize = 500;
  d.TrackQpct = 0;
  d.TrackJitter = 21;
  d.TrackColorVary = -1;
  d.BlurKernel = 10;
  d.BumpScale = -9;
  d.BumpLimit = 256;
  const BrushSettings b = Applied(d);
  EXPECT_EQ(b.BrushStyle, ParallelLinesBrush);
  EXPECT_EQ(b.BrushSize, kBrushSize.Max);
  EXPECT_EQ(b.Capacity, CapacityFromPercent(1));
  EXPECT_EQ(b.Jitter, 20);
  EXPECT_EQ(b.ColorVary, 0);
  EXPECT_EQ(b.BlurKernel, 9);
  EXPECT_EQ(b.BumpScale, -8);
  EXPECT_EQ(b.BumpLimit, 255);
}

struct SizeRule {
  int TrackSize;
  bool FadeOn;
  int FadeMax;
  bool LinesOn;
  int ThicknessMax, CountMax, UncheckedCount, SpacingMax;
};

class SizeDependencyTable : public testing::TestWithParam<SizeRule> {};

TEST_P(SizeDependencyTable, TracksFollowTheSizePosition) {
  const SizeRule r = GetParam();
  const TTrackState fade = FadeTrackState(r.TrackSize);
  EXPECT_EQ(fade.Enabled, r.FadeOn);
  EXPECT_EQ(fade.Max, r.FadeMax);
  for (int s = 1; s <= 5; ++s) {
    SCOPED_TRACE(s);
    const TTrackState thick = ThicknessTrackState(s, r.TrackSize);
    const TTrackState checked = CountTrackState(s, r.TrackSize, true);
    const TTrackState unchecked = CountTrackState(s, r.TrackSize, false);
    EXPECT_EQ(thick.Enabled, r.LinesOn);
    EXPECT_EQ(checked.Enabled, r.LinesOn);
    EXPECT_FALSE(unchecked.Enabled);
    EXPECT_EQ(thick.Max, r.ThicknessMax);
    EXPECT_EQ(checked.Max, r.CountMax);
    EXPECT_EQ(unchecked.Forced, r.UncheckedCount);
    if (!r.LinesOn) {
      EXPECT_EQ(thick.Forced, 2);
      EXPECT_EQ(checked.Forced, 2);
    }
  }
  const TTrackState spacing = CountTrackState(ParallelLinesBrush, r.TrackSize, false);
  EXPECT_EQ(ThicknessTrackState(ParallelLinesBrush, r.TrackSize).Enabled, r.LinesOn);
  EXPECT_EQ(spacing.Enabled, r.LinesOn);
  EXPECT_EQ(spacing.Max, r.SpacingMax);
  EXPECT_EQ(spacing.Min, 0);
}

INSTANTIATE_TEST_SUITE_P(Brush, SizeDependencyTable,
                         testing::Values(SizeRule{2, false, 2, false, 2, 2, 2, 2},
                                         SizeRule{3, true, 3, false, 2, 2, 2, 2},
                                         SizeRule{4, true, 4, false, 2, 2, 2, 2},
                                         SizeRule{5, true, 5, true, 3, 5, 3, 3},
                                         SizeRule{11, true, 11, true, 6, 11, 6, 6},
                                         SizeRule{101, true, 101, true, 51, 101, 51, 51}));

TEST(BrushApply, SmallSizesGiveOneLineOfWidthOne) {
  TBrushDialog d = DistinctPanels();
  d.TrackSize = 4;  // size 3
  ApplySizeDependencies(d);
  for (int s = 1; s <= 5; ++s) {
    d.Style = s;
    d.Lines(s).LinesChecked = true;
    const BrushSettings b = Applied(d);
    EXPECT_EQ(b.LineThickness, 1) << "style " << s;
    EXPECT_EQ(b.LineCount, 1) << "style " << s;
  }
}

TEST(BrushApply, ShrinkingTheSizeLowersDependentPositions) {
  TBrushDialog d = DefaultDialog();
  d.TrackSize = 101;
  d.TrackFade = 80;
  d.Lines(1) = {100, 0, 40, 90, 0, true};
  d.Lines(6).Count = 45;
  ApplySizeDependencies(d);
  EXPECT_EQ(d.TrackFade, 80);
  d.TrackSize = 21;
  ApplySizeDependencies(d);
  EXPECT_EQ(d.TrackFade, 21);
  EXPECT_EQ(d.Lines(1).Thickness, 11);
  EXPECT_EQ(d.Lines(1).Count, 21);
  EXPECT_EQ(d.Lines(6).Count, 11);
  d.Lines(1).LinesChecked = false;
  ApplySizeDependencies(d);
  EXPECT_EQ(d.Lines(1).Count, 11);  // shows the default count 10
}

TEST(BrushApply, FadeNeverEndsAboveTheBrushSize) {
  // The fade stroke shrinks one pixel per event until it reaches FadeSize; above the size it
  // would never stop.
  for (int size = kSizeTrack.Min; size <= kSizeTrack.Max; ++size) {
    TBrushDialog d = DefaultDialog();
    d.TrackSize = size;
    d.TrackFade = kFadeTrack.Max;
    const BrushSettings b = Applied(d);
    EXPECT_EQ(b.FadeSize, b.BrushSize) << "size position " << size;
    d.TrackFade = kFadeTrack.Min;
    EXPECT_EQ(Applied(d).FadeSize, 1);
  }
}

struct ShiftCase {
  int Tag;
  int X, Y;
};

class BumpOffsetTable : public testing::TestWithParam<ShiftCase> {};

TEST_P(BumpOffsetTable, ButtonsMoveTheOffset) {
  TBrushDialog d;  // x 1, y -1
  ShiftBumpOffset(d, GetParam().Tag);
  EXPECT_EQ(d.BumpOffsetX, GetParam().X);
  EXPECT_EQ(d.BumpOffsetY, GetParam().Y);
}

INSTANTIATE_TEST_SUITE_P(Brush, BumpOffsetTable,
                         testing::Values(ShiftCase{0, 0, 0}, ShiftCase{1, 1, 0}, ShiftCase{2, 2, 0},
                                         ShiftCase{3, 0, -1}, ShiftCase{4, 0, 0},
                                         ShiftCase{5, 2, -1}, ShiftCase{6, 0, -2},
                                         ShiftCase{7, 1, -2}, ShiftCase{8, 2, -2},
                                         ShiftCase{9, 1, -1}, ShiftCase{-1, 1, -1}));

TEST(BrushApply, BumpOffsetsStopAtTheirLimits) {
  TBrushDialog d;
  for (int i = 0; i < 300; ++i) ShiftBumpOffset(d, 2);  // NE
  EXPECT_EQ(d.BumpOffsetX, kBumpOffsetX.Max);
  EXPECT_EQ(d.BumpOffsetY, kBumpOffsetY.Max);
  for (int i = 0; i < 300; ++i) ShiftBumpOffset(d, 6);  // SW
  EXPECT_EQ(d.BumpOffsetX, kBumpOffsetX.Min);
  EXPECT_EQ(d.BumpOffsetY, kBumpOffsetY.Min);
}

TEST(BrushStored, ClampingForcesStoredValuesIntoRange) {
  BrushSettings b;
  b.BrushStyle = 9;
  b.BrushSize = 0;
  b.FadeSize = 40;
  b.ChalkDivisor = 1;
  b.SizeVary = std::numeric_limits<double>::quiet_NaN();
  b.Capacity = -5;
  b.BumpOffsetX = INT_MIN;
  ClampBrushSettings(b);
  EXPECT_EQ(b.BrushStyle, 6);  // a stored style above 6 is read as 6
  EXPECT_EQ(b.BrushSize, 1);
  EXPECT_EQ(b.FadeSize, 1);
  EXPECT_EQ(b.ChalkDivisor, 2);
  EXPECT_EQ(b.SizeVary, 0.0);
  EXPECT_EQ(b.Capacity, kCapacity.Min);
  EXPECT_EQ(b.BumpOffsetX, kBumpOffsetX.Min);

  b.BrushStyle = -3;
  b.SizeVary = 1.5;
  ClampBrushSettings(b);
  EXPECT_EQ(b.BrushStyle, 1);
  EXPECT_EQ(b.SizeVary, 1.0);

  TBrushDialog d;
  BrushSettings stored;
  stored.BrushStyle = 9;
  stored.BrushSize = 500;
  LoadBrushDialog(stored, d);
  EXPECT_EQ(d.Style, 6);
  EXPECT_EQ(d.TrackSize, kSizeTrack.Max);
}

TEST(BrushStored, StyleKeysAreTheBrushTypesKeysInTheirOrder) {
  const std::vector<std::string> expected[] = {
      {"Br1_FallFact", "Br1_Scratch", "Br1_Thickness", "Br1_ScrNumber", "Br1_LinesChk"},
      {"Br2_Scratch", "Br2_Thickness", "Br2_ScrNumber", "Br2_LinesChk"},
      {"Br3_Scratch", "Br3_Thickness", "Br3_VaryIntensity", "Br3_ScrNumber", "Br3_LinesChk"},
      {"Br4_Thickness", "Br4_VaryIntensity", "Br4_ScrNumber", "Br4_LinesChk"},
      {"Br5_Thickness", "Br5_VaryIntensity", "Br5_ScrNumber", "Br5_LinesChk"},
      {"Br6_Thickness", "Br6_ScrNumber", "Br6_VaryIntensity", "Br6_FallFact", "Br6_Scratch"},
  };
  for (int s = 1; s <= kBrushStyleCount; ++s) {
    std::vector<std::string> keys;
    for (const TStyleParam& p : BrushStyleParams(s)) {
      keys.emplace_back(p.Param.Key);
      EXPECT_STREQ(p.Param.Section, "BrushTypes");
      // Every default lies inside its own range.
      EXPECT_EQ(p.Param.Clamp(p.Param.Default), p.Param.Default) << p.Param.Key;
    }
    EXPECT_EQ(keys, expected[s - 1]);
  }
}
