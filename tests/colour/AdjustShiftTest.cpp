// Adjust RGB and bit-shift combining: the per-pixel rules, and the whole-image sequence with its
// write-back, undo, progress and stop.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <vector>

#include "app/Document.h"
#include "app/Random.h"
#include "colour/Adjust.h"
#include "colour/Bitshift.h"

namespace korvane {
namespace {

using Px = std::array<int, 3>;  // blue, green, red

std::array<std::uint8_t, 3> Bytes(const Px& p) {
  return {static_cast<std::uint8_t>(p[0]), static_cast<std::uint8_t>(p[1]),
          static_cast<std::uint8_t>(p[2])};
}

Px Of(const std::uint8_t* p) { return {p[0], p[1], p[2]}; }

TCombineSettings Settings(Px div = {255, 255, 255}, Px back = {255, 255, 255}, int bump = 1,
                          Px low = {0, 0, 0}, Px high = {255, 255, 255}) {
  TCombineSettings s;
  s.Div = Bytes(div);
  s.Back = Bytes(back);
  s.BumpMultiplier = bump;
  s.Low = Bytes(low);
  s.High = Bytes(high);
  return s;
}

// --- CombinePixel -------------------------------------------------------------------------

struct CombineCase {
  const char* name;
  int op;
  bool complement;
  int shift;
  Px p, c, expect;
  float factor;
  TCombineSettings s;
};

TEST(CombinePixel, EveryOperationWithComplementShiftAndLimits) {
  const Px p{200, 100, 30}, c{60, 150, 250};
  const TCombineSettings plain = Settings();
  const float eq = std::sqrt(88600.0f / 50900.0f);
  const CombineCase cases[] = {
      {"Normal", 0, false, 0, p, c, c, 1, plain},
      {"Normal ignores complement", 0, true, 3, p, c, c, 1, plain},
      {"XOR", 1, false, 0, p, c, {244, 242, 228}, 1, plain},
      {"AND", 2, false, 0, p, c, {8, 4, 26}, 1, plain},
      {"OR", 3, false, 0, p, c, {252, 246, 254}, 1, plain},
      {"ADD clamps", 4, false, 0, p, c, {255, 250, 255}, 1, plain},
      {"SUB is the distance", 5, false, 0, p, c, {140, 50, 220}, 1, plain},
      {"cADD wraps", 6, false, 0, p, c, {5, 250, 25}, 1, plain},
      {"cSUB wraps", 7, false, 0, p, c, {140, 205, 35}, 1, plain},
      {"Higher", 8, false, 0, p, c, {200, 150, 250}, 1, plain},
      {"Lower", 9, false, 0, p, c, {60, 100, 30}, 1, plain},
      {"Mean truncates", 10, false, 0, {201, 100, 30}, c, {130, 125, 140}, 1, plain},
      {"MinMax takes C's larger maximum", 11, false, 0, p, c, {200, 100, 250}, 1, plain},
      {"MinMax takes C's smaller minimum", 11, false, 0, {200, 100, 30}, {20, 90, 50},
       {20, 100, 30}, 1, plain},
      {"Equalize", 13, false, 0, p, c, p, eq, plain},
      {"Equalize of black", 13, false, 0, {0, 0, 0}, c, {0, 0, 0}, 0, plain},
      {"Burn", 14, false, 0, p, c, p, 1.0f / eq, plain},
      {"Burn against black", 14, false, 0, p, {0, 0, 0}, p, 0, plain},
      {"sADD folds", 15, false, 0, p, c, {0, 250, 0}, 1, plain},
      {"sSUB folds", 16, false, 0, p, c, {140, 255, 255}, 1, plain},
      {"Multiply by the divisor", 17, false, 0, p, c, {120, 255, 29}, 1,
       Settings({100, 0, 255})},
      {"Multiply, divisor 0 counts as 1", 17, false, 0, {2, 3, 4}, {5, 6, 7}, {10, 18, 28}, 1,
       Settings({0, 0, 0})},
      {"Modulo", 18, false, 0, p, c, {20, 100, 30}, 1, plain},
      {"Modulo by 0 keeps w", 18, false, 0, p, {0, 7, 0}, {200, 2, 30}, 1, plain},
      {"A x B", 19, false, 0, {1, 2, 3}, {4, 5, 6}, {3, 0, 3}, 1, plain},
      {"A x B clamps", 19, false, 0, p, c, {0, 255, 0}, 1, plain},
      {"Intensity", 20, false, 0, p, c, c, 200.0f / 255.0f, plain},
      {"Bump", 21, false, 0, p, c, {0, 50, 150}, 1, Settings({}, {10, 100, 200})},
      {"Bump times 2", 21, false, 0, p, c, {0, 0, 100}, 1, Settings({}, {10, 100, 200}, 2)},
      {"Bump divided by 3", 21, false, 0, p, c, {0, 83, 183}, 1,
       Settings({}, {10, 100, 200}, -3)},
      {"Bump multiplier 0 counts as 1", 21, false, 0, p, c, {0, 50, 150}, 1,
       Settings({}, {10, 100, 200}, 0)},
      {"BumpColor", 22, false, 0, p, c, {150, 50, 0}, 1, plain},
      {"unknown code keeps w", 23, false, 0, p, c, p, 1, plain},
      {"complement before XOR", 1, true, 0, p, c, {11, 13, 27}, 1, plain},
      {"shift left loses high bits", 23, false, 1, p, c, {144, 200, 60}, 1, plain},
      {"shift right", 23, false, -2, p, c, {50, 25, 7}, 1, plain},
      {"complement, then shift", 23, true, 1, p, c, {110, 54, 194}, 1, plain},
      {"shift 8 clears", 3, false, 8, p, c, c, 1, plain},
      {"shift -8 clears", 3, false, -8, p, c, c, 1, plain},
      {"shift beyond 8 is 8", 3, true, 40, p, c, c, 1, plain},
      {"ADD within limits", 4, false, 0, {1, 2, 3}, {4, 5, 250}, {20, 20, 200}, 1,
       Settings({}, {}, 1, {20, 20, 20}, {200, 200, 200})},
      {"crossed limits give 0", 4, false, 0, {1, 2, 3}, {4, 5, 6}, {5, 7, 0}, 1,
       Settings({}, {}, 1, {0, 0, 100}, {255, 255, 50})},
      {"cADD wraps inside limits", 6, false, 0, {100, 0, 0}, {110, 0, 0}, {20, 190, 190}, 1,
       Settings({}, {}, 1, {10, 10, 10}, {200, 200, 200})},
  };
  for (const CombineCase& k : cases) {
    const auto pb = Bytes(k.p), cb = Bytes(k.c);
    const TColorRecord r = CombinePixel(pb.data(), cb.data(), k.op, k.complement, k.shift, k.s);
    EXPECT_EQ(Of(r.PixelBytes.data()), k.expect) << k.name;
    EXPECT_FLOAT_EQ(r.Factor, k.factor) << k.name;
  }
}

TEST(CombinePixel, RandomTakesEitherTheColourOrThePixel) {
  RandomSeed(3);
  const Px p{1, 2, 3}, c{7, 8, 9};
  const auto pb = Bytes(p), cb = Bytes(c);
  std::set<Px> seen;
  for (int k = 0; k < 64; ++k) {
    const TColorRecord r = CombinePixel(pb.data(), cb.data(), ShiftRandom, false, 0, Settings());
    seen.insert(Of(r.PixelBytes.data()));
  }
  EXPECT_EQ(seen, (std::set<Px>{p, c}));
}

// --- Adjust ---------------------------------------------------------------------------------

struct AdjustCase {
  const char* name;
  int mode;
  bool fromMax;
  int red, green, blue;
  Px p, expect;
};

TEST(AdjustColor, FiveModesWithTies) {
  const AdjustCase cases[] = {
      {"brightness, current %", 1, false, 50, 50, 50, {0, 100, 255}, {0, 150, 255}},
      {"brightness, max % 100 reaches the top", 1, true, 100, 100, 100, {0, 17, 254},
       {255, 255, 255}},
      {"-1 % of 255 floors to -3", 1, true, -1, -1, -1, {100, 100, 100}, {97, 97, 97}},
      {"10 % of 100 truncates to 9", 1, false, 0, 10, 0, {10, 100, 200}, {10, 109, 200}},
      {"current % keeps black", 1, false, 100, -100, 100, {0, 0, 0}, {0, 0, 0}},
      {"stretch pushes apart by halves", 2, true, 20, 20, 20, {10, 100, 200}, {0, 100, 225}},
      {"maximum", 3, true, -10, 50, 50, {10, 100, 200}, {10, 100, 174}},
      {"maximum, two strongest equal", 3, true, 50, 50, 50, {200, 10, 200}, {200, 10, 200}},
      {"medium", 4, false, 0, 10, 0, {10, 100, 200}, {10, 109, 200}},
      {"medium, two equal", 4, true, 50, 50, 50, {10, 10, 200}, {10, 10, 200}},
      {"minimum", 5, true, 0, 0, 50, {10, 200, 50}, {137, 200, 50}},
      {"minimum, two weakest equal", 5, true, 50, 50, 50, {10, 200, 10}, {10, 200, 10}},
      {"unknown mode", 9, true, 50, 50, 50, {10, 100, 200}, {10, 100, 200}},
  };
  const std::array<std::uint8_t, 3> lo{0, 0, 0}, hi{255, 255, 255};
  for (const AdjustCase& k : cases) {
    const TAdjuster a(TAdjustParams::FromPercents(k.mode, k.fromMax, k.red, k.green, k.blue), lo,
                      hi);
    const auto pb = Bytes(k.p);
    const TColorRecord r = AdjustColor(a, pb.data());
    EXPECT_EQ(Of(r.PixelBytes.data()), k.expect) << k.name;
    EXPECT_EQ(r.Factor, 1.0f);
  }
  for (int mode = 2; mode <= 5; ++mode) {
    const TAdjuster a(TAdjustParams::FromPercents(mode, true, 40, -30, 70), lo, hi);
    for (int v : {0, 77, 255}) {
      const auto pb = Bytes({v, v, v});
      EXPECT_EQ(Of(AdjustColor(a, pb.data()).PixelBytes.data()), (Px{v, v, v}))
          << "grey " << v << ", mode " << mode;
    }
  }
}

TEST(AdjustColor, ResultStaysInTheColourLimits) {
  const TAdjuster a(TAdjustParams::FromPercents(1, true, 100, -100, 0), {0, 30, 40},
                    {255, 200, 90});
  const auto pb = Bytes({5, 100, 10});
  EXPECT_EQ(Of(AdjustColor(a, pb.data()).PixelBytes.data()), (Px{5, 30, 90}));
}

TEST(AdjustColor, RowsGiveThePixelResults) {
  RandomSeed(11);
  constexpr int kWidth = 37;  // blocks of eight pixels and a rest
  std::vector<std::uint8_t> src(3 * kWidth), row(3 * kWidth);
  for (auto& b : src) b = static_cast<std::uint8_t>(RandomInt());
  src[0] = 0;
  src[1] = 255;
  struct Limits {
    std::array<std::uint8_t, 3> lo, hi;
  };
  for (const Limits& l : {Limits{{0, 0, 0}, {255, 255, 255}}, Limits{{20, 0, 90}, {200, 255, 60}}})
    for (int mode = 1; mode <= 5; ++mode)
      for (bool fromMax : {true, false})
        for (int percent : {-100, -37, -1, 0, 1, 63, 100}) {
          const TAdjuster a(
              TAdjustParams::FromPercents(mode, fromMax, percent, -percent / 2, percent / 3),
              l.lo, l.hi);
          a.Row(src.data(), row.data(), kWidth);
          for (int x = 0; x < kWidth; ++x) {
            std::uint8_t q[3];
            a.Color(src.data() + 3 * x, q);
            ASSERT_EQ(Of(row.data() + 3 * x), Of(q))
                << "mode " << mode << " max " << fromMax << " " << percent << "% x " << x;
          }
        }
}

// --- whole image ----------------------------------------------------------------------------

class WholeImage : public ::testing::Test {
 protected:
  void SetUp() override {
    RandomSeed(5);
    editor.SetDefaultColors();
    ASSERT_TRUE(doc.LoadOrCreate(7, 5, clBlack));
    for (int r = 0; r < doc.ImageHeight(); ++r)
      for (int x = 0; x < doc.ImageWidth(); ++x) {
        std::uint8_t* p = doc.WorkPixels() + r * doc.RowStride() + 3 * x;
        p[0] = static_cast<std::uint8_t>(10 * x + r);
        p[1] = static_cast<std::uint8_t>(40 + 30 * r);
        p[2] = static_cast<std::uint8_t>(250 - 9 * x - 2 * r);
      }
    doc.CommitWork();
    original = Snapshot(doc.CleanPixels());
  }
  std::vector<std::uint8_t> Snapshot(const std::uint8_t* base) const {
    return {base, base + static_cast<std::size_t>(doc.RowStride()) * doc.ImageHeight()};
  }
  Px Orig(int x, int r) const { return Of(original.data() + r * doc.RowStride() + 3 * x); }
  Px Work(int x, int r) const { return Of(doc.WorkPixels() + r * doc.RowStride() + 3 * x); }

  TEditorState editor;
  TDocument doc;
  std::vector<std::uint8_t> original;
  TNoProgress progress;
};

TEST_F(WholeImage, NormalShiftMovesContentWithWrapping) {
  TShiftParams s;
  s.ShiftOffsetX = 3;
  s.ShiftOffsetY = -2;
  s.ShiftComplement = true;  // no effect on Normal
  s.ShiftBits = 2;
  ASSERT_EQ(ApplyShift(doc, editor, s, progress), TApplyOutcome::Completed);
  for (int r = 0; r < 5; ++r)
    for (int x = 0; x < 7; ++x)
      EXPECT_EQ(Work(x, r), Orig((x - 3 + 7) % 7, (r + 2) % 5)) << x << "," << r;
  EXPECT_EQ(Snapshot(doc.CleanPixels()), Snapshot(doc.WorkPixels()));
}

TEST_F(WholeImage, ShiftSourceWrapsLargeOffsets) {
  EXPECT_EQ(ShiftSource(doc, 1, 0, 0, 0), doc.CleanPixels() + 3 * 6);
  EXPECT_EQ(ShiftSource(doc, -7 * 1000 - 1, 5 * 1000 + 1, 6, 0),
            doc.CleanPixels() + 4 * doc.RowStride());
}

TEST_F(WholeImage, CombiningShiftUsesThePixelAndTheShiftedPixel) {
  TShiftParams s;
  s.ShiftOffsetX = 1;
  s.ShiftOperation = ShiftXor;
  ASSERT_EQ(ApplyShift(doc, editor, s, progress), TApplyOutcome::Completed);
  for (int r = 0; r < 5; ++r)
    for (int x = 0; x < 7; ++x) {
      const Px a = Orig(x, r), b = Orig((x + 6) % 7, r);
      EXPECT_EQ(Work(x, r), (Px{a[0] ^ b[0], a[1] ^ b[1], a[2] ^ b[2]})) << x << "," << r;
    }
}

TEST_F(WholeImage, ApplyThenUndoRestoresExactly) {
  ASSERT_EQ(ApplyAdjust(doc, editor, TAdjustParams::FromPercents(1, true, 30, -20, 10), progress),
            TApplyOutcome::Completed);
  EXPECT_NE(Snapshot(doc.CleanPixels()), original);
  TShiftParams s;
  s.ShiftOffsetX = 2;
  ASSERT_EQ(ApplyShift(doc, editor, s, progress), TApplyOutcome::Completed);
  const std::vector<std::uint8_t> adjusted = Snapshot(doc.UndoPixels());
  doc.Undo();
  EXPECT_EQ(Snapshot(doc.CleanPixels()), adjusted);
  EXPECT_EQ(Snapshot(doc.WorkPixels()), adjusted);

  ASSERT_TRUE(doc.LoadOrCreate(7, 5, clBlack));
  std::memcpy(doc.WorkPixels(), original.data(), original.size());
  doc.CommitWork();
  ASSERT_EQ(ApplyAdjust(doc, editor, TAdjustParams::FromPercents(3, false, 60, 60, 60), progress),
            TApplyOutcome::Completed);
  doc.Undo();
  EXPECT_EQ(Snapshot(doc.WorkPixels()), original);
  EXPECT_EQ(Snapshot(doc.CleanPixels()), original);
}

// Stops once row `stopAt` has been reported.
class StopAfterRow final : public IProgress {
 public:
  explicit StopAfterRow(int stopAt) : stopAt_(stopAt) {}
  bool ReportProgress(int row, int) override {
    ++calls;
    return row == stopAt_;
  }
  int calls = 0;

 private:
  int stopAt_;
};

TEST_F(WholeImage, StopKeepsAndCommitsTheRowsDone) {
  StopAfterRow stop(1);
  TShiftParams s;
  s.ShiftOffsetX = 1;
  ASSERT_EQ(ApplyShift(doc, editor, s, stop), TApplyOutcome::Stopped);
  EXPECT_EQ(stop.calls, 2);
  for (int r = 0; r < 5; ++r)
    for (int x = 0; x < 7; ++x)
      EXPECT_EQ(Work(x, r), r <= 1 ? Orig((x + 6) % 7, r) : Orig(x, r)) << x << "," << r;
  EXPECT_EQ(Snapshot(doc.CleanPixels()), Snapshot(doc.WorkPixels()));
  EXPECT_EQ(Snapshot(doc.UndoPixels()), original);

  StopAfterRow first(0);
  ASSERT_EQ(ApplyAdjust(doc, editor, TAdjustParams::FromPercents(1, true, -100, -100, -100), first),
            TApplyOutcome::Stopped);
  for (int x = 0; x < 7; ++x) EXPECT_EQ(Work(x, 0), (Px{0, 0, 0}));
  EXPECT_NE(Work(0, 1), (Px{0, 0, 0}));
}

TEST_F(WholeImage, NothingWithoutADocument) {
  TDocument empty;
  EXPECT_EQ(ApplyAdjust(empty, editor, {}, progress), TApplyOutcome::NoDocument);
  EXPECT_EQ(ApplyShift(empty, editor, {}, progress), TApplyOutcome::NoDocument);
}

// Every write-back setting against WriteImagePixel itself, pixel by pixel.
TEST_F(WholeImage, WriteBackMatchesWriteImagePixel) {
  struct Setup {
    const char* name;
    int transparency;  // percent
    std::array<bool, 3> channels;
    int restrictType;
    TColor low, high;
    int op;
  };
  const Setup setups[] = {
      {"plain", 0, {true, true, true}, 0, clBlack, clWhite, ShiftXor},
      {"narrow limits", 0, {true, true, true}, 0, RGBColor(30, 60, 20), RGBColor(220, 200, 90),
       ShiftAdd},
      {"transparency", 35, {true, true, true}, 0, clBlack, clWhite, ShiftSub},
      {"blue off", 0, {false, true, true}, 0, clBlack, clWhite, ShiftOr},
      {"restricted", 20, {true, true, true}, RestrictMaxAbove, clBlack, clWhite, ShiftMean},
      {"factor", 10, {true, true, true}, 0, clBlack, RGBColor(250, 250, 250), ShiftEqualize},
      {"intensity", 0, {true, true, true}, 0, clBlack, clWhite, ShiftIntensity},
  };
  for (const Setup& k : setups) {
    SCOPED_TRACE(k.name);
    ASSERT_TRUE(doc.LoadOrCreate(7, 5, clBlack));
    std::memcpy(doc.WorkPixels(), original.data(), original.size());
    doc.CommitWork();
    TEditorState e = editor;
    e.WriteBack.Transparency = TWriteBackSettings::TransparencyFromPercent(k.transparency);
    e.WriteBack.ChannelOn = k.channels;
    e.Restrict.RestrictType = k.restrictType;
    e.Restrict.RestrictEpsilon = 200;
    SetColorRecord(e.LowColor, k.low);
    SetColorRecord(e.HighColor, k.high);
    TShiftParams s;
    s.ShiftOffsetX = 2;
    s.ShiftOffsetY = 1;
    s.ShiftOperation = k.op;
    ASSERT_EQ(ApplyShift(doc, e, s, progress), TApplyOutcome::Completed);

    const TWriteBack wb(e);
    const TCombineSettings cs = TCombineSettings::From(e);
    int changed = 0;
    for (int r = 0; r < 5; ++r)
      for (int x = 0; x < 7; ++x) {
        auto p = Bytes(Orig(x, r));
        const auto c = Bytes(Orig((x + 5) % 7, (r + 4) % 5));
        if (!RestrictionTest(wb.Restriction(), p.data())) {
          EXPECT_EQ(Work(x, r), Orig(x, r));
          continue;
        }
        wb.WriteImagePixel(p.data(), e.WriteBack.Transparency,
                           CombinePixel(p.data(), c.data(), k.op, false, 0, cs));
        EXPECT_EQ(Work(x, r), Of(p.data())) << x << "," << r;
        changed += Work(x, r) != Orig(x, r);
      }
    EXPECT_GT(changed, 0);
  }
}

// --- brush forms ----------------------------------------------------------------------------

TEST_F(WholeImage, BrushFormsSkipPixelsAlreadyAsStrong) {
  editor.Brush.Capacity = TransparencyScale;
  TWriteBack wb(editor, doc);
  const PixelRoutine adjust =
      MakeAdjustRoutine(TAdjustParams::FromPercents(1, true, -100, -100, -100), editor);
  wb.SetCursor(2, 1);
  wb.CurMask[AppliedPlane] = 200;
  wb.CurMask[StampPlane] = 100;
  adjust(wb);
  EXPECT_EQ(Work(2, 1), Orig(2, 1));
  wb.CurMask[AppliedPlane] = 0;
  wb.CurMask[StampPlane] = 255;
  adjust(wb);
  EXPECT_EQ(Work(2, 1), (Px{0, 0, 0}));
  EXPECT_EQ(wb.CurMask[AppliedPlane], 255);
}

TEST_F(WholeImage, ShiftBrushWritesTheShiftedPixel) {
  editor.Brush.Capacity = TransparencyScale;
  TWriteBack wb(editor, doc);
  TShiftParams s;
  s.ShiftOffsetX = -1;
  s.ShiftOffsetY = 1;
  const PixelRoutine shift = MakeShiftRoutine(s, editor, doc);
  wb.SetCursor(6, 0);
  const std::uint8_t* here = wb.CurClean;
  wb.CurMask[StampPlane] = 255;
  shift(wb);
  EXPECT_EQ(Work(6, 0), Orig(0, 4));
  EXPECT_EQ(wb.CurClean, here);
  EXPECT_EQ(Of(doc.CleanPixels()), Orig(0, 0));
}

}  // namespace
}  // namespace korvane
