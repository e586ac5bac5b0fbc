// The colour restrictions: every type on and off its boundaries, the fast forms against the
// index rule they replace, the random type's share, and values coming from outside.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/EditorState.h"
#include "app/Random.h"
#include "paint/Restrictions.h"

namespace korvane {
namespace {

using TPixel = std::array<std::uint8_t, 3>;  // memory order: blue, green, red

// Foreground red 100, green 150, blue 200; background red 10, green 20, blue 30.
constexpr TColor kFore = 0xC89664;
constexpr TColor kBack = 0x1E140A;

struct TCase {
  const char* name;
  int type;
  int epsilon;
  TPixel pixel;
  bool passes;
  TColor low = kDefaultRestrictLow;  // range bounds for type 16
  TColor high = kDefaultRestrictHigh;
};

// Pixels are written B, G, R. Ties between channels resolve to the first of blue, green, red.
const TCase kCases[] = {
    {"None_Black", RestrictNone, 0, {0, 0, 0}, true},
    {"None_White_Eps128", RestrictNone, 128, {255, 255, 255}, true},

    {"MaxAbove_Eps0_Black", RestrictMaxAbove, 0, {0, 0, 0}, false},
    {"MaxAbove_Eps0_RedOne", RestrictMaxAbove, 0, {0, 0, 1}, true},
    {"MaxAbove_Eps0_BlueOne", RestrictMaxAbove, 0, {1, 0, 0}, true},
    {"MaxAbove_Eps128_AllAt128", RestrictMaxAbove, 128, {128, 128, 128}, false},
    {"MaxAbove_Eps128_Green129", RestrictMaxAbove, 128, {0, 129, 0}, true},

    {"MinBelow_Eps0_Black", RestrictMinBelow, 0, {0, 0, 0}, false},
    {"MinBelow_Eps1_Black", RestrictMinBelow, 1, {0, 0, 0}, true},
    {"MinBelow_Eps128_Red127", RestrictMinBelow, 128, {255, 255, 127}, true},
    {"MinBelow_Eps128_Blue127", RestrictMinBelow, 128, {127, 255, 255}, true},
    {"MinBelow_Eps128_MinAt128", RestrictMinBelow, 128, {200, 128, 255}, false},

    {"Fore_Eps0_Exact", RestrictForeColor, 0, {200, 150, 100}, true},
    {"Fore_Eps0_RedOffByOne", RestrictForeColor, 0, {200, 150, 101}, false},
    {"Fore_Eps0_Background", RestrictForeColor, 0, {30, 20, 10}, false},
    {"Fore_Eps128_AllOnEdge", RestrictForeColor, 128, {72, 22, 228}, true},
    {"Fore_Eps128_BluePastEdge", RestrictForeColor, 128, {71, 22, 228}, false},
    {"Fore_Eps128_RedPastEdge", RestrictForeColor, 128, {72, 22, 229}, false},

    {"Grey_Eps0_Grey", RestrictGrey, 0, {7, 7, 7}, true},
    {"Grey_Eps0_RedOffByOne", RestrictGrey, 0, {7, 7, 8}, false},
    {"Grey_Eps0_BlueOffByOne", RestrictGrey, 0, {8, 7, 7}, false},
    {"Grey_Eps128_SpreadOnEdge", RestrictGrey, 128, {0, 64, 128}, true},
    {"Grey_Eps128_BlueRed129", RestrictGrey, 128, {0, 128, 129}, false},
    {"Grey_Eps128_BlueGreen129", RestrictGrey, 128, {129, 0, 64}, false},

    {"RedMax_Eps0", RestrictRedMax, 0, {10, 20, 30}, true},
    {"RedMax_Eps0_JustBlack", RestrictRedMax, 0, {0, 0, 1}, true},
    {"RedMax_Eps0_TieWithBlue", RestrictRedMax, 0, {30, 20, 30}, false},
    {"RedMax_Eps128_Diff129", RestrictRedMax, 128, {71, 71, 200}, true},
    {"RedMax_Eps128_BlueDiff128", RestrictRedMax, 128, {72, 71, 200}, false},
    {"RedMax_Eps0_RedIsMiddle", RestrictRedMax, 0, {10, 30, 20}, false},
    {"RedMid_Eps0_BlueLow", RestrictRedMid, 0, {10, 30, 20}, true},
    {"RedMid_Eps0_GreenLow", RestrictRedMid, 0, {30, 10, 20}, true},
    {"RedMid_Eps0_TieWithBlue", RestrictRedMid, 0, {20, 30, 20}, false},
    {"RedMid_Eps0_RedIsMax", RestrictRedMid, 0, {10, 20, 30}, false},
    {"RedMid_Eps126_Diffs127And128", RestrictRedMid, 126, {0, 255, 127}, true},
    {"RedMid_Eps127_Diffs127And128", RestrictRedMid, 127, {0, 255, 127}, false},
    {"RedMid_Eps128_WidestSpread", RestrictRedMid, 128, {0, 255, 128}, false},
    {"RedMin_Eps0", RestrictRedMin, 0, {20, 30, 10}, true},
    {"RedMin_Eps0_TieWithBlue", RestrictRedMin, 0, {10, 30, 10}, false},
    {"RedMin_Eps128_Diff129", RestrictRedMin, 128, {200, 200, 71}, true},
    {"RedMin_Eps128_GreenDiff128", RestrictRedMin, 128, {200, 199, 71}, false},

    {"GreenMax_Eps0", RestrictGreenMax, 0, {10, 30, 20}, true},
    {"GreenMax_Eps0_TieWithBlue", RestrictGreenMax, 0, {200, 200, 100}, false},
    {"GreenMax_Eps128_Diff129", RestrictGreenMax, 128, {0, 255, 126}, true},
    {"GreenMax_Eps128_RedDiff128", RestrictGreenMax, 128, {0, 255, 127}, false},
    {"GreenMid_Eps0_RedHigh", RestrictGreenMid, 0, {10, 20, 30}, true},
    {"GreenMid_Eps0_BlueHigh", RestrictGreenMid, 0, {30, 20, 10}, true},
    {"GreenMid_Eps0_TieWithBlue", RestrictGreenMid, 0, {200, 200, 100}, false},
    {"GreenMid_Eps128_WidestSpread", RestrictGreenMid, 128, {0, 128, 255}, false},
    {"GreenMin_Eps0", RestrictGreenMin, 0, {30, 10, 20}, true},
    {"GreenMin_Eps0_TieWithBlue", RestrictGreenMin, 0, {10, 10, 20}, false},
    {"GreenMin_Eps128_Diff129", RestrictGreenMin, 128, {255, 0, 129}, true},
    {"GreenMin_Eps128_RedDiff128", RestrictGreenMin, 128, {255, 0, 128}, false},

    {"BlueMax_Eps0", RestrictBlueMax, 0, {200, 100, 50}, true},
    {"BlueMax_Eps0_TieWithGreen", RestrictBlueMax, 0, {200, 200, 100}, false},
    {"BlueMax_Eps128_Diff129", RestrictBlueMax, 128, {255, 126, 0}, true},
    {"BlueMax_Eps128_GreenDiff128", RestrictBlueMax, 128, {255, 127, 0}, false},
    {"BlueMid_Eps0_GreenLow", RestrictBlueMid, 0, {20, 10, 30}, true},
    {"BlueMid_Eps0_RedLow", RestrictBlueMid, 0, {20, 30, 10}, true},
    {"BlueMid_Eps0_TieWithRed", RestrictBlueMid, 0, {20, 30, 20}, false},
    {"BlueMid_Eps128_WidestSpread", RestrictBlueMid, 128, {128, 0, 255}, false},
    {"BlueMin_Eps0", RestrictBlueMin, 0, {10, 20, 30}, true},
    {"BlueMin_Eps0_TieWithGreen", RestrictBlueMin, 0, {10, 10, 30}, false},
    {"BlueMin_Eps128_Diff129", RestrictBlueMin, 128, {0, 129, 129}, true},
    {"BlueMin_Eps128_GreenDiff128", RestrictBlueMin, 128, {0, 128, 200}, false},

    // A grey pixel has no middle channel, and no channel stands out as maximum or minimum.
    {"RedMax_Grey", RestrictRedMax, 0, {77, 77, 77}, false},
    {"RedMid_Grey", RestrictRedMid, 0, {77, 77, 77}, false},
    {"RedMin_Grey", RestrictRedMin, 0, {77, 77, 77}, false},
    {"GreenMax_Grey", RestrictGreenMax, 0, {77, 77, 77}, false},
    {"GreenMid_Grey", RestrictGreenMid, 0, {77, 77, 77}, false},
    {"GreenMin_Grey", RestrictGreenMin, 0, {77, 77, 77}, false},
    {"BlueMax_Grey", RestrictBlueMax, 0, {0, 0, 0}, false},
    {"BlueMid_Grey", RestrictBlueMid, 0, {0, 0, 0}, false},
    {"BlueMin_Grey", RestrictBlueMin, 0, {255, 255, 255}, false},

    {"Back_Eps0_Exact", RestrictBackColor, 0, {30, 20, 10}, true},
    {"Back_Eps0_Foreground", RestrictBackColor, 0, {200, 150, 100}, false},
    {"Back_Eps0_GreenOffByOne", RestrictBackColor, 0, {30, 19, 10}, false},
    {"Back_Eps128_AllOnEdge", RestrictBackColor, 128, {158, 148, 0}, true},
    {"Back_Eps128_BluePastEdge", RestrictBackColor, 128, {159, 148, 0}, false},

    // Bounds are framework colours 0x00BBGGRR; before any choice they span black to white.
    {"Range_Unset_Black", RestrictRange, 0, {0, 0, 0}, true},
    {"Range_Unset_White", RestrictRange, 0, {255, 255, 255}, true},
    {"Range_Unset_Colour", RestrictRange, 128, {0, 77, 255}, true},
    {"Range_BlackBlack_Black", RestrictRange, 0, {0, 0, 0}, true, clBlack, clBlack},
    {"Range_BlackBlack_RedOne", RestrictRange, 0, {0, 0, 1}, false, clBlack, clBlack},
    {"Range_OnLow", RestrictRange, 0, {10, 20, 30}, true, 0x0A141E, 0x28323C},
    {"Range_OnHigh", RestrictRange, 0, {40, 50, 60}, true, 0x0A141E, 0x28323C},
    {"Range_BlueBelowLow", RestrictRange, 0, {9, 20, 30}, false, 0x0A141E, 0x28323C},
    {"Range_GreenAboveHigh", RestrictRange, 0, {40, 51, 60}, false, 0x0A141E, 0x28323C},
    {"Range_RedAboveHigh", RestrictRange, 0, {40, 50, 61}, false, 0x0A141E, 0x28323C},
    {"Range_EpsilonUnused", RestrictRange, 128, {41, 50, 60}, false, 0x0A141E, 0x28323C},
    {"Range_Equal_Exact", RestrictRange, 0, {5, 6, 7}, true, 0x050607, 0x050607},
    {"Range_Equal_RedOffByOne", RestrictRange, 0, {5, 6, 8}, false, 0x050607, 0x050607},
    // Blue low 100 above blue high 50: blue spans 50 .. 100 and the other channels 0 .. 255.
    {"Range_Crossed_Between", RestrictRange, 0, {75, 0, 0}, true, 0x640000, 0x32FFFF},
    {"Range_Crossed_OnLow", RestrictRange, 0, {100, 0, 0}, true, 0x640000, 0x32FFFF},
    {"Range_Crossed_OnHigh", RestrictRange, 0, {50, 255, 255}, true, 0x640000, 0x32FFFF},
    {"Range_Crossed_BlueAbove", RestrictRange, 0, {101, 0, 0}, false, 0x640000, 0x32FFFF},
    {"Range_Crossed_BlueBelow", RestrictRange, 0, {49, 255, 255}, false, 0x640000, 0x32FFFF},
    // Every channel crossed: the same box as the bounds given the other way round.
    {"Range_AllCrossed_OnEdge", RestrictRange, 0, {40, 20, 60}, true, 0x28323C, 0x0A141E},
    {"Range_AllCrossed_GreenAbove", RestrictRange, 0, {40, 51, 60}, false, 0x28323C, 0x0A141E},
    {"Range_AllCrossed_RedBelow", RestrictRange, 0, {10, 20, 29}, false, 0x28323C, 0x0A141E},
};

TRestriction RestrictionFor(const TCase& c) {
  TEditorState editor;
  editor.SetDefaultColors();
  SetColorRecord(editor.ForeColor, kFore);
  SetColorRecord(editor.BackColor, kBack);
  editor.Restrict.RestrictType = c.type;
  editor.Restrict.RestrictEpsilon = c.epsilon;
  editor.Restrict.RestrictLow = c.low;
  editor.Restrict.RestrictHigh = c.high;
  return MakeRestriction(editor);
}

class RestrictionTable : public ::testing::TestWithParam<TCase> {};

// The single-pixel test, the once-dispatched functor and the row helper agree on each case.
TEST_P(RestrictionTable, EveryEntryPoint) {
  const TCase& c = GetParam();
  const TRestriction r = RestrictionFor(c);
  EXPECT_EQ(RestrictionTest(r, c.pixel.data()), c.passes);
  EXPECT_EQ(WithRestrictionTest(r, [&](auto test) { return test(c.pixel.data()); }), c.passes);
  std::uint8_t pass = 7;
  EXPECT_EQ(RestrictRow(r, c.pixel.data(), 1, &pass), c.passes ? 1 : 0);
  EXPECT_EQ(pass, c.passes ? 1 : 0);
}

std::string CaseName(const ::testing::TestParamInfo<TCase>& param) {
  return param.param.name;
}

INSTANTIATE_TEST_SUITE_P(AllTypes, RestrictionTable, ::testing::ValuesIn(kCases), CaseName);

// The rule as written down: maximum, minimum and middle channel indices with ties going to the
// first of blue, green, red, then the differences.
bool ReferenceTest(int type, int e, const TPixel& p, const TPixel& fore, const TPixel& back,
                   const TPixel& low, const TPixel& high) {
  int maxIdx = 0, minIdx = 0;
  for (int k = 1; k < 3; ++k) {
    if (p[k] > p[maxIdx]) maxIdx = k;
    if (p[k] < p[minIdx]) minIdx = k;
  }
  const int midIdx = maxIdx == minIdx ? -1 : 3 - maxIdx - minIdx;
  const int b = p[0], g = p[1], r = p[2];
  const int dBG = std::abs(b - g), dBR = std::abs(b - r), dGR = std::abs(g - r);
  const auto near = [&](const TPixel& c) {
    for (int k = 0; k < 3; ++k)
      if (std::abs(p[k] - c[k]) > e) return false;
    return true;
  };
  switch (type) {
    case 0: return true;
    case 1: return p[maxIdx] > e;
    case 2: return p[minIdx] < e;
    case 3: return near(fore);
    case 4: return dBG <= e && dBR <= e && dGR <= e;
    case 5: return maxIdx == 2 && dBR > e && dGR > e;
    case 6: return midIdx == 2 && dBR > e && dGR > e;
    case 7: return minIdx == 2 && dBR > e && dGR > e;
    case 8: return maxIdx == 1 && dBG > e && dGR > e;
    case 9: return midIdx == 1 && dBG > e && dGR > e;
    case 10: return minIdx == 1 && dBG > e && dGR > e;
    case 11: return maxIdx == 0 && dBG > e && dBR > e;
    case 12: return midIdx == 0 && dBG > e && dBR > e;
    case 13: return minIdx == 0 && dBG > e && dBR > e;
    case 15: return near(back);
    case 16:
      for (int k = 0; k < 3; ++k)
        if (p[k] < std::min(low[k], high[k]) || p[k] > std::max(low[k], high[k])) return false;
      return true;
    default: ADD_FAILURE() << "no reference for type " << type; return false;
  }
}

// Values around every boundary the types have: the ends, the middle, and the epsilon edges.
const std::vector<std::uint8_t> kLevels = {0,   1,   2,   20,  63,  64,  65,  99,  100, 101,
                                           127, 128, 129, 150, 190, 200, 228, 229, 254, 255};

TEST(RestrictionOracle, DeterministicTypesMatchTheIndexRule) {
  const TPixel fore = {200, 150, 100}, back = {30, 20, 10};
  // Green crossed, blue and red in order.
  const TPixel low = {20, 128, 100}, high = {200, 64, 229};
  std::vector<std::uint8_t> row;
  for (std::uint8_t b : kLevels)
    for (std::uint8_t g : kLevels)
      for (std::uint8_t r : kLevels) row.insert(row.end(), {b, g, r});
  const int width = static_cast<int>(row.size() / 3);
  std::vector<std::uint8_t> pass(static_cast<std::size_t>(width));

  for (int type = 0; type < kRestrictTypeCount; ++type) {
    if (type == RestrictRandom) continue;
    for (int e : {0, 1, 63, 64, 99, 100, 127, 128}) {
      TRestrictSettings settings;
      settings.RestrictType = type;
      settings.RestrictEpsilon = e;
      settings.RestrictLow = RGBColor(low[2], low[1], low[0]);
      settings.RestrictHigh = RGBColor(high[2], high[1], high[0]);
      const TRestriction rs = MakeRestriction(settings, kFore, kBack);
      const int passed = RestrictRow(rs, row.data(), width, pass.data());
      int expectedPassed = 0;
      for (int x = 0; x < width; ++x) {
        const TPixel p = {row[3 * x], row[3 * x + 1], row[3 * x + 2]};
        const bool expected = ReferenceTest(type, e, p, fore, back, low, high);
        expectedPassed += expected;
        ASSERT_EQ(pass[static_cast<std::size_t>(x)] != 0, expected)
            << "type " << type << " epsilon " << e << " pixel B" << int{p[0]} << " G"
            << int{p[1]} << " R" << int{p[2]};
      }
      EXPECT_EQ(passed, expectedPassed) << "type " << type << " epsilon " << e;
    }
  }
}

TEST(RestrictionRandom, ChangesAboutHalfWhateverThePixelAndEpsilon) {
  constexpr int kWidth = 1 << 20;
  std::vector<std::uint8_t> row(3 * kWidth);
  for (int x = 0; x < kWidth; ++x) row[3 * x + (x % 3)] = static_cast<std::uint8_t>(x);
  std::vector<std::uint8_t> pass(kWidth);
  for (int e : {0, 128}) {
    SCOPED_TRACE(e);
    TRestrictSettings settings;
    settings.RestrictType = RestrictRandom;
    settings.RestrictEpsilon = e;
    RandomSeed(20240611);
    const int passed =
        RestrictRow(MakeRestriction(settings, kFore, kBack), row.data(), kWidth, pass.data());
    // Binomial standard deviation is 512 here; 8 of them.
    EXPECT_NEAR(passed, kWidth / 2, 4096);
    // Not a pattern: neighbours agree about half of the time too.
    int same = 0;
    for (int x = 1; x < kWidth; ++x) same += pass[x] == pass[x - 1];
    EXPECT_NEAR(same, kWidth / 2, 4096);
  }
  // A single pixel draws a fresh number each time.
  RandomSeed(7);
  TRestrictSettings settings;
  settings.RestrictType = RestrictRandom;
  const TRestriction r = MakeRestriction(settings, kFore, kBack);
  const TPixel grey = {128, 128, 128};
  int passed = 0;
  for (int i = 0; i < 10000; ++i) passed += RestrictionTest(r, grey.data());
  EXPECT_NEAR(passed, 5000, 400);
}

TEST(RestrictionSettings, DefaultsAndOutsideValues) {
  const TEditorState editor;
  EXPECT_FALSE(editor.Restrict.Active());
  EXPECT_EQ(editor.Restrict.RestrictType, 0);
  EXPECT_EQ(editor.Restrict.RestrictEpsilon, 0);
  EXPECT_EQ(editor.Restrict.RestrictLow, clBlack);
  EXPECT_EQ(editor.Restrict.RestrictHigh, clWhite);

  struct {
    int in, type;
  } types[] = {{-1, 0}, {0, 0}, {5, 5}, {16, 16}, {17, 0}, {1000, 0}};
  for (const auto& t : types) EXPECT_EQ(ClampRestrictType(t.in), t.type) << t.in;
  struct {
    int in, epsilon;
  } epsilons[] = {{-5, 0}, {0, 0}, {77, 77}, {128, 128}, {129, 128}};
  for (const auto& t : epsilons) EXPECT_EQ(ClampRestrictEpsilon(t.in), t.epsilon) << t.in;

  // A snapshot of out-of-range settings tests like its clamped values.
  TRestrictSettings wild;
  wild.RestrictType = 40;
  wild.RestrictEpsilon = -3;
  const TRestriction none = MakeRestriction(wild, kFore, kBack);
  EXPECT_FALSE(none.Active());
  const TPixel black = {0, 0, 0};
  EXPECT_TRUE(RestrictionTest(none, black.data()));
  wild.RestrictType = RestrictGrey;
  wild.RestrictEpsilon = 500;
  const TPixel spread = {0, 128, 128};
  EXPECT_TRUE(RestrictionTest(MakeRestriction(wild, kFore, kBack), spread.data()));
  const TPixel wider = {0, 129, 129};
  EXPECT_FALSE(RestrictionTest(MakeRestriction(wild, kFore, kBack), wider.data()));
}

// The reference colours are taken when the operation starts, not when a pixel is tested.
TEST(RestrictionSettings, SnapshotKeepsTheColoursOfItsStart) {
  TEditorState editor;
  editor.SetDefaultColors();
  editor.Restrict.RestrictType = RestrictForeColor;
  const TRestriction r = MakeRestriction(editor);
  SetColorRecord(editor.ForeColor, clBlack);
  const TPixel white = {255, 255, 255};
  EXPECT_TRUE(RestrictionTest(r, white.data()));
  EXPECT_FALSE(RestrictionTest(MakeRestriction(editor), white.data()));
}

}  // namespace
}  // namespace korvane
