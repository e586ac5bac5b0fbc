// The document's buffers: geometry, undo, commit, mask planes and refusals.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "app/Document.h"
#include "app/Progress.h"

namespace korvane {
namespace {

std::uint8_t* PixelAt(const TDocument& doc, std::uint8_t* base, int x, int y) {
  return base + static_cast<std::ptrdiff_t>(doc.ImageHeight() - 1 - y) * doc.RowStride() + 3 * x;
}

void Paint(TDocument& doc, std::uint8_t* base, int x, int y, TColor c) {
  std::uint8_t* p = PixelAt(doc, base, x, y);
  p[0] = BlueOf(c);
  p[1] = GreenOf(c);
  p[2] = RedOf(c);
}

TColor ColorAt(const TDocument& doc, std::uint8_t* base, int x, int y) {
  const std::uint8_t* p = PixelAt(doc, base, x, y);
  return RGBColor(p[2], p[1], p[0]);
}

bool SameImage(const TDib& a, const TDib& b) {
  return a.Width() == b.Width() && a.Height() == b.Height() &&
         std::memcmp(a.Rows(), b.Rows(), a.ByteSize()) == 0;
}

// Every pixel base and header must describe the bitmap it belongs to.
void ExpectConsistent(const TDocument& doc) {
  ASSERT_TRUE(doc.HasDocument());
  const auto check = [&](const TDib& bmp, std::uint8_t* base, const IplImage* image) {
    EXPECT_EQ(base, bmp.Rows());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->imageData, bmp.Rows());
    EXPECT_EQ(image->width, bmp.Width());
    EXPECT_EQ(image->height, bmp.Height());
    EXPECT_EQ(image->widthStep, bmp.Stride());
    EXPECT_EQ(image->origin, IPL_ORIGIN_BL);
  };
  check(doc.WorkBitmap(), doc.WorkPixels(), doc.WorkImage());
  check(doc.CleanBitmap(), doc.CleanPixels(), doc.CleanImage());
  check(doc.MaskBitmap(), doc.MaskPixels(), doc.MaskImage());
  check(doc.UndoBitmap(), doc.UndoPixels(), doc.UndoImage());
  EXPECT_EQ(doc.WorkBitmap().Width(), doc.ImageWidth());
  EXPECT_EQ(doc.CleanBitmap().Width(), doc.ImageWidth());
  EXPECT_EQ(doc.MaskBitmap().Height(), doc.ImageHeight());
  EXPECT_EQ(doc.RowStride(), doc.WorkBitmap().Stride());
  ASSERT_NE(doc.ScratchImage(), nullptr);
  EXPECT_EQ(doc.ScratchImage()->imageData, nullptr);
}

TEST(DocumentGeometry, PaddingAndStrideFollowTheWidth) {
  struct Case {
    int width, padding, stride;
  };
  for (const Case c : {Case{1, 1, 4}, Case{2, 2, 8}, Case{3, 3, 12}, Case{4, 0, 12},
                       Case{5, 1, 16}, Case{6, 2, 20}, Case{9999, 3, 30000}}) {
    TDocument doc;
    ASSERT_TRUE(doc.LoadOrCreate(c.width, 2, clWhite)) << c.width;
    EXPECT_EQ(doc.RowPadding(), c.padding) << c.width;
    EXPECT_EQ(doc.RowStride(), c.stride) << c.width;
    EXPECT_EQ(doc.MaxX(), c.width - 1);
    EXPECT_EQ(doc.MaxY(), 1);
    ExpectConsistent(doc);
  }
}

TEST(Document, NoDocumentUntilCreated) {
  TDocument doc;
  EXPECT_FALSE(doc.HasDocument());
  EXPECT_EQ(doc.ImageWidth(), 0);
  EXPECT_EQ(doc.WorkPixels(), nullptr);
  EXPECT_EQ(doc.WorkImage(), nullptr);
  // Commands without a document do nothing and do not crash.
  EXPECT_FALSE(doc.SaveUndo());
  doc.Undo();
  doc.CommitWork();
  doc.RestoreWork();
  doc.ClearImage(clBlack);
  EXPECT_FALSE(doc.HasDocument());
}

TEST(Document, NewImageTakesTheChosenBackgroundAndHeadersBorderZero) {
  const TColor fore = RGBColor(10, 20, 30), back = RGBColor(40, 50, 60);
  struct Case {
    int index;
    TColor expected;
  };
  for (const Case c : {Case{0, clWhite}, Case{1, clBlack}, Case{2, fore}, Case{3, back}}) {
    TDocument doc;
    ASSERT_TRUE(doc.LoadOrCreate(3, 2, NewImageBackground(c.index, fore, back)));
    EXPECT_EQ(ColorAt(doc, doc.WorkPixels(), 2, 1), c.expected);
    EXPECT_EQ(ColorAt(doc, doc.CleanPixels(), 0, 0), c.expected);
    EXPECT_EQ(ColorAt(doc, doc.UndoPixels(), 1, 1), c.expected);
    EXPECT_EQ(ColorAt(doc, doc.MaskPixels(), 1, 1), clBlack);
  }
  TDocument doc;
  ASSERT_TRUE(doc.LoadOrCreate(3, 2, clWhite));
  for (const IplImage* im : {doc.WorkImage(), doc.CleanImage(), doc.ScratchImage()})
    for (int side = 0; side < 4; ++side) {
      EXPECT_EQ(im->borderMode[side], IPL_BORDER_CONSTANT);
      EXPECT_EQ(im->borderConst[side], 0);
    }
}

TEST(Document, RefusedSizesLeaveTheDocumentAsItWas) {
  TDocument doc;
  ASSERT_TRUE(doc.LoadOrCreate(5, 4, RGBColor(1, 2, 3)));
  std::uint8_t* work = doc.WorkPixels();
  for (const auto& [w, h] : {std::pair{0, 10}, std::pair{10, -1}, std::pair{70000, 2},
                            std::pair{40000, 40000}}) {
    const TStatus s = doc.LoadOrCreate(w, h, clWhite);
    EXPECT_FALSE(s) << w << " x " << h;
    EXPECT_FALSE(s.message().empty());
    EXPECT_FALSE(doc.ResizeDocument(w, h, true));
  }
  EXPECT_EQ(doc.ImageWidth(), 5);
  EXPECT_EQ(doc.WorkPixels(), work);
  EXPECT_EQ(ColorAt(doc, doc.WorkPixels(), 4, 3), RGBColor(1, 2, 3));
  ExpectConsistent(doc);
}

TEST(Document, LoadRefusesAnythingButTwentyFourBits) {
  TDocument doc;
  ASSERT_TRUE(doc.LoadOrCreate(4, 4, clBlack));
  TDib mono;
  ASSERT_TRUE(mono.SetSize(8, 8, TPixelFormat::pf1bit));
  const TStatus s = doc.LoadOrCreate(std::move(mono));
  EXPECT_FALSE(s);
  EXPECT_EQ(s.message(), kWrongImageFormat);
  EXPECT_EQ(doc.ImageWidth(), 4);
  ExpectConsistent(doc);
  EXPECT_FALSE(doc.LoadOrCreate(TDib{}));
}

TEST(Document, LoadedPictureBecomesWorkAndUndoCopy) {
  TDib picture;
  ASSERT_TRUE(picture.SetSize(3, 3));
  picture.ScanLine(0)[2] = 200;  // red of the top-left pixel
  TDocument doc;
  ASSERT_TRUE(doc.CreatePiece(7, 5));
  ASSERT_TRUE(doc.LoadOrCreate(std::move(picture)));
  EXPECT_EQ(ColorAt(doc, doc.WorkPixels(), 0, 0), RGBColor(200, 0, 0));
  EXPECT_TRUE(SameImage(doc.WorkBitmap(), doc.CleanBitmap()));
  EXPECT_TRUE(SameImage(doc.WorkBitmap(), doc.UndoBitmap()));
  EXPECT_EQ(doc.PieceBitmap().Width(), 7);  // the piece survives a load
  ExpectConsistent(doc);
}

TEST(Document, UndoRightAfterLoadingAndTwiceInARowShowsTheSameImage) {
  TDocument doc;
  ASSERT_TRUE(doc.LoadOrCreate(4, 3, clWhite));
  doc.Undo();
  EXPECT_EQ(ColorAt(doc, doc.WorkPixels(), 3, 2), clWhite);

  doc.SaveUndo();
  Paint(doc, doc.WorkPixels(), 1, 1, RGBColor(9, 8, 7));
  doc.CommitWork();
  doc.Undo();
  EXPECT_EQ(ColorAt(doc, doc.WorkPixels(), 1, 1), clWhite);
  EXPECT_EQ(ColorAt(doc, doc.CleanPixels(), 1, 1), clWhite);
  doc.Undo();
  EXPECT_EQ(ColorAt(doc, doc.WorkPixels(), 1, 1), clWhite);
}

TEST(Document, UndoTakesTheCommittedImageNotTheOverlay) {
  TDocument doc;
  ASSERT_TRUE(doc.LoadOrCreate(4, 3, clBlack));
  Paint(doc, doc.WorkPixels(), 0, 0, clWhite);  // a rubber band on the shown image
  doc.SaveUndo();
  doc.Undo();
  EXPECT_EQ(ColorAt(doc, doc.WorkPixels(), 0, 0), clBlack);
  Paint(doc, doc.WorkPixels(), 2, 2, clWhite);
  doc.RestoreWork();
  EXPECT_EQ(ColorAt(doc, doc.WorkPixels(), 2, 2), clBlack);
}

TEST(Document, UndoAcrossASizeChangeBringsBackTheSizeAndDropsTheContour) {
  TDocument doc;
  ASSERT_TRUE(doc.LoadOrCreate(6, 5, RGBColor(5, 6, 7)));
  doc.SaveUndo();
  // A crop: the document shrinks, the caller fills the new pixels.
  ASSERT_TRUE(doc.ResizeDocument(2, 3, false));
  EXPECT_EQ(doc.ImageWidth(), 2);
  EXPECT_EQ(doc.UndoWidth(), 6);
  EXPECT_EQ(doc.UndoImage()->width, 6);
  ExpectConsistent(doc);
  Paint(doc, doc.MaskPixels(), 0, 0, RGBColor(0, 9, 0));

  doc.Undo();
  EXPECT_EQ(doc.ImageWidth(), 6);
  EXPECT_EQ(doc.ImageHeight(), 5);
  EXPECT_EQ(ColorAt(doc, doc.WorkPixels(), 5, 4), RGBColor(5, 6, 7));
  EXPECT_EQ(ColorAt(doc, doc.CleanPixels(), 0, 0), RGBColor(5, 6, 7));
  EXPECT_EQ(ColorAt(doc, doc.MaskPixels(), 0, 0), clBlack);
  ExpectConsistent(doc);

  // The next undo step after a size change re-sizes the undo copy to match.
  ASSERT_TRUE(doc.ResizeDocument(3, 3, true));
  EXPECT_TRUE(doc.SaveUndo());
  EXPECT_EQ(doc.UndoWidth(), 3);
  ExpectConsistent(doc);
}

TEST(Document, ContourPlaneSurvivesUndoOthersAreCleared) {
  TDocument doc;
  ASSERT_TRUE(doc.LoadOrCreate(3, 3, clBlack));
  std::uint8_t* m = PixelAt(doc, doc.MaskPixels(), 1, 1);
  m[AppliedPlane] = 10;
  m[ContourPlane] = 20;
  m[StampPlane] = 30;
  doc.SaveUndo();
  doc.Undo();
  EXPECT_EQ(m[AppliedPlane], 0);
  EXPECT_EQ(m[ContourPlane], 20);
  EXPECT_EQ(m[StampPlane], 0);
}

TEST(Document, ClearImageFillsWithTheColourAndCanBeUndone) {
  TDocument doc;
  ASSERT_TRUE(doc.LoadOrCreate(4, 2, clWhite));
  PixelAt(doc, doc.MaskPixels(), 0, 0)[ContourPlane] = 1;
  doc.ClearImage(RGBColor(0, 128, 255));
  EXPECT_EQ(ColorAt(doc, doc.WorkPixels(), 3, 1), RGBColor(0, 128, 255));
  EXPECT_EQ(ColorAt(doc, doc.CleanPixels(), 0, 0), RGBColor(0, 128, 255));
  EXPECT_EQ(PixelAt(doc, doc.MaskPixels(), 0, 0)[ContourPlane], 0);
  doc.Undo();
  EXPECT_EQ(ColorAt(doc, doc.WorkPixels(), 3, 1), clWhite);
}

TEST(Document, ClearMaskPlanesLeavesPaddingAndOtherPlanes) {
  TDocument doc;
  ASSERT_TRUE(doc.LoadOrCreate(5, 2, clBlack));  // one byte of padding per row
  std::uint8_t* mask = doc.MaskPixels();
  std::memset(mask, 0xAB, doc.MaskBitmap().ByteSize());
  doc.ClearMaskPlanes(false, true, false);
  for (int y = 0; y < 2; ++y) {
    const std::uint8_t* row = mask + y * doc.RowStride();
    for (int x = 0; x < 5; ++x) {
      EXPECT_EQ(row[3 * x + 0], 0xAB);
      EXPECT_EQ(row[3 * x + 1], 0);
      EXPECT_EQ(row[3 * x + 2], 0xAB);
    }
    EXPECT_EQ(row[15], 0xAB);
  }
}

TEST(Document, CopyPlaneReturnsTheLargestByte) {
  TDocument doc;
  ASSERT_TRUE(doc.LoadOrCreate(3, 2, clBlack));
  std::uint8_t* mask = doc.MaskPixels();
  EXPECT_EQ(doc.CopyPlane(mask, mask, ContourPlane, StampPlane), 0);

  PixelAt(doc, mask, 2, 0)[ContourPlane] = 77;
  PixelAt(doc, mask, 0, 1)[ContourPlane] = 12;
  PixelAt(doc, mask, 1, 1)[StampPlane] = 99;  // overwritten by the copy
  EXPECT_EQ(doc.CopyPlane(mask, mask, ContourPlane, StampPlane), 77);
  EXPECT_EQ(PixelAt(doc, mask, 2, 0)[StampPlane], 77);
  EXPECT_EQ(PixelAt(doc, mask, 0, 1)[StampPlane], 12);
  EXPECT_EQ(PixelAt(doc, mask, 1, 1)[StampPlane], 0);
}

TEST(Document, PieceIsRecreatedBlack) {
  TDocument doc;
  ASSERT_TRUE(doc.CreatePiece(4, 4));
  doc.PieceBitmap().Row(0)[0] = 255;
  ASSERT_TRUE(doc.CreatePiece(2, 3));
  EXPECT_EQ(doc.PieceBitmap().Width(), 2);
  EXPECT_EQ(doc.PieceInfo().Height, 3);
  EXPECT_EQ(doc.PieceBitmap().Row(0)[0], 0);
  EXPECT_FALSE(doc.CreatePiece(0, 3));
  EXPECT_EQ(doc.PieceBitmap().Width(), 2);
}

TEST(Document, ScratchImageOwnsWhatToolsAllocate) {
  TDocument doc;
  ASSERT_TRUE(doc.LoadOrCreate(8, 8, clBlack));
  iplAllocateImage(doc.ScratchImage(), 1, 3);
  ASSERT_NE(doc.ScratchImage()->imageData, nullptr);
  // Re-creating the document releases the scratch pixels (the sanitizer reports a leak if not).
  ASSERT_TRUE(doc.ResizeDocument(4, 4, true));
  EXPECT_EQ(doc.ScratchImage()->imageData, nullptr);
  EXPECT_EQ(doc.ScratchImage()->width, 4);
}

// An operation interrupted at row k keeps rows 0..k once committed; Undo restores the rest.
TEST(Document, AbortedOperationKeepsTheRowsDone) {
  class StopAt final : public IProgress {
   public:
    explicit StopAt(int row) : row_(row) {}
    bool ReportProgress(int row, int) override { return row == row_; }

   private:
    int row_;
  };
  TDocument doc;
  ASSERT_TRUE(doc.LoadOrCreate(4, 6, clBlack));
  doc.SaveUndo();
  StopAt stop(2);
  const bool finished = ForEachRow(doc.ImageHeight(), stop, [&](int row) {
    std::memset(doc.WorkPixels() + row * doc.RowStride(), 255, 12);
  });
  doc.CommitWork();
  EXPECT_FALSE(finished);
  for (int row = 0; row < 6; ++row)
    EXPECT_EQ(doc.CleanPixels()[row * doc.RowStride()], row <= 2 ? 255 : 0) << row;
  doc.Undo();
  EXPECT_EQ(doc.CleanPixels()[0], 0);
}

}  // namespace
}  // namespace korvane
