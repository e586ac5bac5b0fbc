// The write-back stage: limits, transparency, channel switches, stroke strength, bump, blend.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "app/Document.h"
#include "app/Random.h"
#include "colour/Writeback.h"

namespace korvane {
namespace {

TEST(Limits, ClampFoldWrap) {
  struct Case {
    int v, lo, hi, clamp, fold, wrap;
  };
  for (const Case c : {Case{50, 10, 200, 50, 50, 50}, Case{250, 10, 200, 200, 10, 60},
                       Case{-5, 10, 200, 10, 200, 185}, Case{10, 10, 200, 10, 10, 10},
                       Case{200, 10, 200, 200, 200, 200}, Case{600, 0, 255, 255, 0, 90},
                       Case{100, 200, 200, 0, 0, 0}, Case{100, 220, 30, 0, 0, 0},
                       Case{-300, 0, 255, 0, 255, 210}}) {
    const auto lo = static_cast<std::uint8_t>(c.lo), hi = static_cast<std::uint8_t>(c.hi);
    EXPECT_EQ(ClampToLimits(c.v, lo, hi), c.clamp) << c.v << " in " << c.lo << ".." << c.hi;
    EXPECT_EQ(FoldToLimits(c.v, lo, hi), c.fold) << c.v << " in " << c.lo << ".." << c.hi;
    EXPECT_EQ(WrapToLimits(c.v, lo, hi), c.wrap) << c.v << " in " << c.lo << ".." << c.hi;
  }
}

TEST(JitterColor, MovesAllBytesByOneAmountWithinRange) {
  RandomSeed(7);
  for (int k = 0; k < 200; ++k) {
    TColorRecord c;
    SetColorRecord(c, RGBColor(100, 150, 250));
    JitterColor(c, 10);
    const int delta = c.PixelBytes[2] - 100;
    EXPECT_GE(delta, -9);
    EXPECT_LE(delta, 10);
    EXPECT_EQ(c.PixelBytes[1], 150 + delta);
    EXPECT_EQ(c.PixelBytes[0], std::min(255, 250 + delta));
    EXPECT_EQ(c.Color, RGBColor(c.PixelBytes[2], c.PixelBytes[1], c.PixelBytes[0]));
  }
}

class WriteBack : public ::testing::Test {
 protected:
  void SetUp() override {
    RandomSeed(1);
    editor.SetDefaultColors();
    ASSERT_TRUE(doc.LoadOrCreate(6, 4, RGBColor(51, 51, 51)));
    editor.Brush.Capacity = TransparencyScale;  // 100 %
  }
  std::uint8_t* Work(int x, int r) { return doc.WorkPixels() + r * doc.RowStride() + 3 * x; }
  std::uint8_t* Mask(int x, int r) { return doc.MaskPixels() + r * doc.RowStride() + 3 * x; }

  TEditorState editor;
  TDocument doc;
};

TEST_F(WriteBack, StrokeStrengthMixesWithTheCleanImage) {
  SetColorRecord(editor.ForeColor, RGBColor(200, 200, 200));
  struct Case {
    int strength;
    bool invert;
    int expected;
  };
  // S + 1 (or 256 - S) in 256ths of the brush colour, the rest of the clean pixel, each floored.
  for (const Case c : {Case{255, false, 200}, Case{127, false, 125}, Case{255, true, 50},
                       Case{1, true, 199}}) {
    editor.Brush.InvertIntensity = c.invert;
    TWriteBack w(editor, doc);
    std::memset(Mask(1, 1), 0, 3);
    Mask(1, 1)[StampPlane] = static_cast<std::uint8_t>(c.strength);
    w.SetCursor(1, 1);
    w.WriteBrushPixel();
    EXPECT_EQ(Work(1, 1)[2], c.expected) << c.strength << (c.invert ? " inverted" : "");
    EXPECT_EQ(Mask(1, 1)[AppliedPlane], c.strength);
  }
}

TEST_F(WriteBack, AStrongerStampRewritesFromTheCleanImageAWeakerOneNot) {
  SetColorRecord(editor.ForeColor, RGBColor(251, 251, 251));
  TWriteBack wb(editor, doc);
  wb.SetCursor(2, 2);
  Mask(2, 2)[StampPlane] = 127;
  wb.WriteBrushPixel();
  EXPECT_EQ(Work(2, 2)[0], 125 + 25);  // 251/2 + 51/2
  Mask(2, 2)[StampPlane] = 100;        // weaker: nothing happens
  wb.WriteBrushPixel();
  EXPECT_EQ(Work(2, 2)[0], 150);
  Mask(2, 2)[StampPlane] = 127;  // equal: nothing happens, no accumulation
  wb.WriteBrushPixel();
  EXPECT_EQ(Work(2, 2)[0], 150);
  Mask(2, 2)[StampPlane] = 255;  // stronger: recomputed from Clean, not from Work
  wb.WriteBrushPixel();
  EXPECT_EQ(Work(2, 2)[0], 251);
}

TEST_F(WriteBack, ChannelsSwitchedOffAreNeverWritten) {
  editor.WriteBack.ChannelOn = {true, false, true};
  editor.WriteBack.Transparency = 0;
  TWriteBack wb(editor, doc);
  TColorRecord c;
  SetColorRecord(c, RGBColor(9, 9, 9));
  std::uint8_t p[3] = {1, 77, 3};
  wb.WriteImagePixel(p, 0, c);
  EXPECT_EQ(p[0], 9);
  EXPECT_EQ(p[1], 77);
  EXPECT_EQ(p[2], 9);
  wb.SetCursor(0, 0);
  Work(0, 0)[1] = 123;  // differs from Clean: an off channel is not even restored
  Mask(0, 0)[StampPlane] = 255;
  wb.WriteBrushPixel();
  EXPECT_EQ(Work(0, 0)[1], 123);
}

TEST_F(WriteBack, TransparencyZeroAndFull) {
  TColorRecord c;
  SetColorRecord(c, RGBColor(200, 100, 0));
  editor.WriteBack.PixelVary = 50;
  editor.LowColor.PixelBytes = {20, 20, 20, 0};
  TWriteBack wb(editor);
  std::uint8_t p[3] = {10, 60, 90};
  wb.WriteImagePixel(p, TransparencyScale, c);  // 100 %: only the limits act
  EXPECT_EQ(p[0], 20);
  EXPECT_EQ(p[1], 60);
  EXPECT_EQ(p[2], 90);
  editor.WriteBack.PixelVary = 0;
  TWriteBack plain(editor);
  plain.WriteImagePixel(p, 0, c);
  EXPECT_EQ(p[0], 20);  // blue 0 raised to the low limit
  EXPECT_EQ(p[2], 200);
}

TEST_F(WriteBack, LargeSumsDoNotWrap) {
  // Inverted intensity, a full bump and full variation: (255 + 255 + 100) x ~2^22 > 2^31.
  editor.Brush.InvertIntensity = true;
  editor.Brush.BumpStamp = true;
  editor.Brush.BumpScale = 8;
  editor.Brush.BumpOffsetX = 1;
  editor.Brush.BumpOffsetY = 0;
  editor.WriteBack.PixelVary = 100;
  SetColorRecord(editor.ForeColor, clWhite);
  for (int seed = 0; seed < 20; ++seed) {
    RandomSeed(static_cast<std::uint64_t>(seed));
    TWriteBack wb(editor, doc);
    Mask(2, 1)[StampPlane] = 255;  // the bump's neighbour
    Mask(3, 1)[StampPlane] = 1;
    Mask(3, 1)[AppliedPlane] = 0;
    wb.SetCursor(3, 1);
    wb.WriteBrushPixel();
    EXPECT_EQ(wb.BumpAdd, 255);
    EXPECT_EQ(Work(3, 1)[0], 255) << seed;
  }
}

TEST_F(WriteBack, BumpReadsClampedNeighboursAndScaleZeroActsAsOne) {
  editor.Brush.BumpStamp = true;
  editor.Brush.BumpOffsetX = 10;   // far beyond the left edge: column 0
  editor.Brush.BumpOffsetY = -10;  // beyond the top memory row: row 3
  editor.Brush.BumpLimit = 255;
  Mask(0, 3)[StampPlane] = 40;
  for (const auto& [scale, expected] : {std::pair{0, 60}, std::pair{1, 60}, std::pair{-1, 60},
                                       std::pair{2, 120}, std::pair{-4, 15}}) {
    editor.Brush.BumpScale = scale;
    TWriteBack wb(editor, doc);
    wb.SetCursor(2, 1);
    wb.BumpOffset(100, 77);
    EXPECT_EQ(wb.BumpAdd, expected) << "scale " << scale;
    EXPECT_EQ(wb.BumpWeight, 77);
  }
  editor.Brush.BumpLimit = 30;  // the neighbour's level 40 is above it: full weight
  TWriteBack wb(editor, doc);
  wb.SetCursor(5, 0);
  wb.BumpOffset(100, 77);
  EXPECT_EQ(wb.BumpWeight, 256);
}

class StopAt final : public IProgress {
 public:
  explicit StopAt(int row) : row_(row) {}
  bool ReportProgress(int row, int) override { return row == row_; }

 private:
  int row_;
};

TEST_F(WriteBack, BlendStopsBeforeTheRowWhereEscapeCame) {
  TDib processed;
  ASSERT_TRUE(processed.SetSize(6, 4));
  std::memset(processed.Rows(), 251, processed.ByteSize());
  editor.WriteBack.Transparency = TWriteBackSettings::TransparencyFromPercent(50);
  TWriteBack wb(editor);
  StopAt stop(3);
  EXPECT_TRUE(wb.BlendProcessedImage(doc.WorkBitmap(), processed,
                                     editor.WriteBack.Transparency, stop));
  for (int r = 0; r < 4; ++r) EXPECT_EQ(Work(4, r)[1], r < 3 ? 151 : 51) << r;
}

TEST_F(WriteBack, BlendHonoursTheRestrictionAndFastPathMatchesTheGeneralOne) {
  TDib processed;
  ASSERT_TRUE(processed.SetSize(6, 4));
  for (std::size_t i = 0; i < processed.ByteSize(); ++i)
    processed.Rows()[i] = static_cast<std::uint8_t>(i * 37);
  std::uint8_t* colourful = Work(1, 1);
  colourful[0] = 10;
  colourful[1] = 200;
  colourful[2] = 30;
  TDib original;
  ASSERT_TRUE(original.Assign(doc.WorkBitmap()));
  TNoProgress none;
  editor.Restrict.RestrictType = RestrictGrey;
  editor.WriteBack.Transparency = TWriteBackSettings::TransparencyFromPercent(30);
  TWriteBack restricted(editor);
  EXPECT_TRUE(restricted.NeedsBlend());
  EXPECT_FALSE(restricted.BlendProcessedImage(doc.WorkBitmap(), processed,
                                              editor.WriteBack.Transparency, none));
  EXPECT_EQ(Work(1, 1)[1], 200);  // not grey: untouched
  EXPECT_NE(Work(0, 0)[1], 51);   // grey: blended

  // The all-channels path equals the per-pixel formula.
  editor.Restrict.RestrictType = RestrictNone;
  TWriteBack fast(editor);
  TDib blended;
  ASSERT_TRUE(blended.Assign(original));
  fast.BlendProcessedImage(blended, processed, editor.WriteBack.Transparency, none);
  const std::int64_t t = editor.WriteBack.Transparency;
  for (int r = 0; r < 4; ++r)
    for (int i = 0; i < 18; ++i) {
      const std::int64_t o = original.Row(r)[i], p = processed.Row(r)[i];
      EXPECT_EQ(blended.Row(r)[i], (p * (TransparencyScale - t) + o * t) >> 22);
    }
}

TEST_F(WriteBack, NeedsBlendOnlyWhenSomethingMixes) {
  EXPECT_FALSE(TWriteBack(editor).NeedsBlend());
  editor.WriteBack.PixelVary = 1;
  EXPECT_TRUE(TWriteBack(editor).NeedsBlend());
  editor.WriteBack.PixelVary = 0;
  editor.WriteBack.ChannelOn[2] = false;
  EXPECT_TRUE(TWriteBack(editor).NeedsBlend());
}

TEST_F(WriteBack, StrokeMaskPreparationInvertsAndChalks) {
  editor.Brush.InvertIntensity = true;
  Mask(1, 1)[AppliedPlane] = 10;
  Mask(1, 1)[StampPlane] = 40;
  Mask(2, 1)[StampPlane] = 40;  // nothing applied yet: left as it is
  TWriteBack wb(editor, doc);
  wb.PrepareStrokeMask({0, 0, 6, 4});
  EXPECT_EQ(Mask(1, 1)[AppliedPlane], 245);
  EXPECT_EQ(Mask(1, 1)[StampPlane], 215);
  EXPECT_EQ(Mask(2, 1)[StampPlane], 40);
  editor.Brush.InvertIntensity = false;
  editor.Brush.ChalkDivisor = 2;
  RandomSeed(3);
  TWriteBack chalk(editor, doc);
  for (int r = 0; r < 4; ++r)
    for (int x = 0; x < 6; ++x) Mask(x, r)[StampPlane] = 9;
  chalk.PrepareStrokeMask({0, 0, 6, 4});
  int cleared = 0;
  for (int r = 0; r < 4; ++r)
    for (int x = 0; x < 6; ++x) cleared += Mask(x, r)[StampPlane] == 0;
  EXPECT_GT(cleared, 3);
  EXPECT_LT(cleared, 21);
}

}  // namespace
}  // namespace korvane
