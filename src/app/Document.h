// The image being edited: five bitmaps of fixed roles, the library headers over their pixels,
// and the one-level undo copy.
//
// Roles: WorkBitmap is what the view shows and tools write; CleanBitmap is the committed image
// tools read; UndoBitmap is the state before the last applying command (it may differ in size);
// MaskBitmap holds three 8-bit planes, one per byte of a pixel (AppliedPlane, ContourPlane,
// StampPlane); PieceBitmap is the floating piece of the text tool.
//
// Every applying command: SaveUndo; compute from CleanPixels (CleanImage) into WorkPixels
// (WorkImage), reporting progress per row; CommitWork; repaint. Every change of size renews the
// bitmaps, their pixel bases and headers together, and is refused as a whole when memory or the
// size limits do not allow it, leaving the document as it was.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/Dibactions.h"
#include "app/Status.h"
#include "ipl/ipl.h"

namespace korvane {

// The byte of a MaskBitmap pixel that holds each plane.
inline constexpr int AppliedPlane = 0;
inline constexpr int ContourPlane = 1;
inline constexpr int StampPlane = 2;

// New-image dialog limits and the size it starts with.
inline constexpr int kNewImageMinSide = 2;
inline constexpr int kNewImageMaxSide = 9999;
inline constexpr int kNewImageDefaultSide = 400;

inline constexpr const char* kWrongImageFormat =
    "Wrong image format, press any button to continue !";

// The colour of a new image for the dialog's background index: 0 white, 1 black, 2 the
// foreground colour, 3 the background colour (others: white).
TColor NewImageBackground(int index, TColor foreColor, TColor backColor);

// Releases a library header; pixels are freed only when the header owns them.
struct TIplHeaderDeleter {
  void operator()(IplImage* image) const;
};
using TIplHeader = std::unique_ptr<IplImage, TIplHeaderDeleter>;

// A header for the document's images: 3 channels, 8 bits, "RGB"/"BGR", pixel order, origin
// bottom-left, 4-byte rows, no region; over `pixels` when given (never freed through it).
TIplHeader CreateImageHeader(int width, int height, std::uint8_t* pixels = nullptr);

// Sets the chosen bytes of every pixel of a 24-bit bitmap to 0, skipping row padding.
void ClearMaskPlanes(bool plane0, bool plane1, bool plane2, const TBitmapInfo& info);

class TDocument {
 public:
  TDocument() = default;
  TDocument(const TDocument&) = delete;
  TDocument& operator=(const TDocument&) = delete;
  ~TDocument();

  // Null exactly while no document exists.
  std::uintptr_t WorkHandle() const { return work_.Handle(); }
  bool HasDocument() const { return WorkHandle() != 0; }

  int ImageWidth() const { return width_; }
  int ImageHeight() const { return height_; }
  int MaxX() const { return width_ - 1; }
  int MaxY() const { return height_ - 1; }
  int RowPadding() const { return korvane::RowPadding(width_); }
  int RowStride() const { return 3 * width_ + RowPadding(); }

  TDib& WorkBitmap() { return work_; }
  TDib& CleanBitmap() { return clean_; }
  TDib& UndoBitmap() { return undo_; }
  TDib& MaskBitmap() { return mask_; }
  TDib& PieceBitmap() { return piece_; }
  const TDib& WorkBitmap() const { return work_; }
  const TDib& CleanBitmap() const { return clean_; }
  const TDib& UndoBitmap() const { return undo_; }
  const TDib& MaskBitmap() const { return mask_; }
  const TDib& PieceBitmap() const { return piece_; }

  std::uintptr_t CleanHandle() const { return clean_.Handle(); }
  std::uintptr_t UndoHandle() const { return undo_.Handle(); }
  std::uintptr_t MaskHandle() const { return mask_.Handle(); }
  std::uintptr_t PieceHandle() const { return piece_.Handle(); }

  const TBitmapInfo& WorkInfo() const { return workInfo_; }
  const TBitmapInfo& CleanInfo() const { return cleanInfo_; }
  const TBitmapInfo& UndoInfo() const { return undoInfo_; }
  const TBitmapInfo& MaskInfo() const { return maskInfo_; }
  const TBitmapInfo& PieceInfo() const { return pieceInfo_; }

  // Pixel bases: memory row r, column x, channel c is at base + r * RowStride + 3 * x + c.
  std::uint8_t* WorkPixels() const { return workInfo_.Rows; }
  std::uint8_t* CleanPixels() const { return cleanInfo_.Rows; }
  std::uint8_t* UndoPixels() const { return undoInfo_.Rows; }
  std::uint8_t* MaskPixels() const { return maskInfo_.Rows; }

  // Headers over the bitmaps (constant 0 border on Work, Clean and Scratch); ScratchImage has
  // the document size and no pixels until a tool gives it some.
  IplImage* WorkImage() const { return workImage_.get(); }
  IplImage* CleanImage() const { return cleanImage_.get(); }
  IplImage* MaskImage() const { return maskImage_.get(); }
  IplImage* UndoImage() const { return undoImage_.get(); }
  IplImage* ScratchImage() const { return scratchImage_.get(); }

  int UndoWidth() const { return undoWidth_; }
  int UndoHeight() const { return undoHeight_; }

  // A new blank image of the given size and colour; refuses sizes the bitmaps cannot have.
  TStatus LoadOrCreate(int width, int height, TColor background);
  // Takes a decoded picture as the new document; refuses anything but 24 bits per pixel with
  // kWrongImageFormat. The undo copy starts equal to it; the piece survives.
  TStatus LoadOrCreate(TDib&& picture);

  // A new size with blank (black) pixels; the undo copy and the piece stay as they are.
  TStatus ResizeDocument(int width, int height, bool renewScratch);

  // CleanBitmap into UndoBitmap (re-sized when the document's size has changed). False when the
  // undo copy could not be re-sized; it is then left as it was.
  bool SaveUndo();
  // Puts the undo copy back on Work and Clean; keeps the contour when the size is unchanged.
  void Undo();
  void CommitWork();   // WorkBitmap onto CleanBitmap
  void RestoreWork();  // CleanBitmap onto WorkBitmap
  // Clear Image: an undo step, then both images in the colour and the mask planes cleared.
  void ClearImage(TColor background);

  void ClearMaskPlanes(bool applied, bool contour, bool stamp);
  // dst[dstByte] := src[srcByte] for every document pixel of two 24-bit bases of the document's
  // geometry; returns the largest byte copied.
  int CopyPlane(std::uint8_t* dst, const std::uint8_t* src, int srcByte, int dstByte) const;

  // Gives ScratchImage pixels of its own holding a copy of the committed image (library tools
  // compute into it under the brush), and takes them back.
  bool CloneCleanIntoScratch();
  void ReleaseScratchPixels();

  // (Re)creates the piece, all black.
  TStatus CreatePiece(int width, int height);

  // Frees everything; no document afterwards.
  void Release();

 private:
  struct Buffers;
  void Install(Buffers&& buffers);
  void RefreshInfo();

  TDib work_, clean_, undo_, mask_, piece_;
  TBitmapInfo workInfo_, cleanInfo_, undoInfo_, maskInfo_, pieceInfo_;
  TIplHeader workImage_, cleanImage_, maskImage_, undoImage_, scratchImage_;
  int width_ = 0;
  int height_ = 0;
  int undoWidth_ = 0;
  int undoHeight_ = 0;
};

}  // namespace korvane
