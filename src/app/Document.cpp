#include "app/Document.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace korvane {

TColor NewImageBackground(int index, TColor foreColor, TColor backColor) {
  switch (index) {
    case 1:
      return clBlack;
    case 2:
      return foreColor;
    case 3:
      return backColor;
    default:
      return clWhite;
  }
}

void TIplHeaderDeleter::operator()(IplImage* image) const {
  // IPL_IMAGE_DATA frees only pixels the header owns (a scratch image's); the bitmaps' stay.
  iplDeallocate(image, IPL_IMAGE_HEADER | IPL_IMAGE_DATA);
}

TIplHeader CreateImageHeader(int width, int height, std::uint8_t* pixels) {
  IplImage* image = iplCreateImageHeader(3, 0, IPL_DEPTH_8U, "RGB", "BGR", IPL_DATA_ORDER_PIXEL,
                                         IPL_ORIGIN_BL, IPL_ALIGN_4BYTES, width, height, nullptr);
  if (image && pixels) {
    image->imageData = pixels;
    image->imageDataOrigin = pixels;
  }
  return TIplHeader(image);
}

void ClearMaskPlanes(bool plane0, bool plane1, bool plane2, const TBitmapInfo& info) {
  if (!info.Rows || !info.Is24Bit) return;
  const bool clear[3] = {plane0, plane1, plane2};
  const int stride = static_cast<int>(RowBytes(info.Width, TPixelFormat::pf24bit));
  if (plane0 && plane1 && plane2) {
    for (int y = 0; y < info.Height; ++y)
      std::memset(info.Rows + static_cast<std::ptrdiff_t>(y) * stride, 0,
                  static_cast<std::size_t>(3) * info.Width);
    return;
  }
  for (int y = 0; y < info.Height; ++y) {
    std::uint8_t* p = info.Rows + static_cast<std::ptrdiff_t>(y) * stride;
    for (int x = 0; x < info.Width; ++x, p += 3) {
      for (int c = 0; c < 3; ++c)
        if (clear[c]) p[c] = 0;
    }
  }
}

namespace {

void SetZeroBorder(IplImage* image) {
  iplSetBorderMode(image, IPL_BORDER_CONSTANT, IPL_SIDE_ALL, 0);
}

TStatus HeaderFailed() {
  return TStatus::Error(std::string("Cannot describe the image to the processing library: ") +
                        iplGetErrMessage());
}

}  // namespace

// A complete set of document buffers, built aside and swapped in only when every part exists.
struct TDocument::Buffers {
  TDib work, clean, mask;
  std::optional<TDib> undo;  // absent: keep the current undo copy
  TIplHeader workImage, cleanImage, maskImage, scratchImage, undoImage;
  bool renewScratch = true;

  TStatus BuildHeaders(int width, int height) {
    workImage = CreateImageHeader(width, height, work.Rows());
    cleanImage = CreateImageHeader(width, height, clean.Rows());
    maskImage = CreateImageHeader(width, height, mask.Rows());
    if (!workImage || !cleanImage || !maskImage) return HeaderFailed();
    SetZeroBorder(workImage.get());
    SetZeroBorder(cleanImage.get());
    if (renewScratch) {
      scratchImage = CreateImageHeader(width, height);
      if (!scratchImage) return HeaderFailed();
      SetZeroBorder(scratchImage.get());
    }
    if (undo) {
      undoImage = CreateImageHeader(undo->Width(), undo->Height(), undo->Rows());
      if (!undoImage) return HeaderFailed();
    }
    return TStatus::Ok();
  }
};

TDocument::~TDocument() { Release(); }

void TDocument::RefreshInfo() {
  ReadBitmapInfo(work_, workInfo_);
  ReadBitmapInfo(clean_, cleanInfo_);
  ReadBitmapInfo(undo_, undoInfo_);
  ReadBitmapInfo(mask_, maskInfo_);
  ReadBitmapInfo(piece_, pieceInfo_);
}

void TDocument::Install(Buffers&& b) {
  // Headers first: none may outlive the pixels it points at.
  workImage_ = std::move(b.workImage);
  cleanImage_ = std::move(b.cleanImage);
  maskImage_ = std::move(b.maskImage);
  if (b.renewScratch) scratchImage_ = std::move(b.scratchImage);
  if (b.undo) undoImage_ = std::move(b.undoImage);
  work_ = std::move(b.work);
  clean_ = std::move(b.clean);
  mask_ = std::move(b.mask);
  if (b.undo) {
    undo_ = std::move(*b.undo);
    undoWidth_ = undo_.Width();
    undoHeight_ = undo_.Height();
  }
  width_ = work_.Width();
  height_ = work_.Height();
  RefreshInfo();
}

TStatus TDocument::LoadOrCreate(int width, int height, TColor background) {
  TDib picture;
  if (TStatus s = picture.SetSize(width, height); !s) return s;
  FillBitmap(picture, background);
  return LoadOrCreate(std::move(picture));
}

TStatus TDocument::LoadOrCreate(TDib&& picture) {
  if (picture.Empty() || picture.PixelFormat() != TPixelFormat::pf24bit)
    return TStatus::Error(kWrongImageFormat);
  const int w = picture.Width();
  const int h = picture.Height();
  Buffers b;
  b.undo.emplace();
  if (TStatus s = b.clean.SetSize(w, h); !s) return s;
  if (TStatus s = b.undo->SetSize(w, h); !s) return s;
  if (TStatus s = b.mask.SetSize(w, h); !s) return s;
  b.work = std::move(picture);
  DrawBitmap(b.work, b.clean);
  DrawBitmap(b.work, *b.undo);
  if (TStatus s = b.BuildHeaders(w, h); !s) {
    picture = std::move(b.work);  // the caller keeps its picture
    return s;
  }
  Install(std::move(b));
  return TStatus::Ok();
}

TStatus TDocument::ResizeDocument(int width, int height, bool renewScratch) {
  Buffers b;
  b.renewScratch = renewScratch || !scratchImage_;
  if (TStatus s = b.work.SetSize(width, height); !s) return s;
  if (TStatus s = b.clean.SetSize(width, height); !s) return s;
  if (TStatus s = b.mask.SetSize(width, height); !s) return s;
  if (TStatus s = b.BuildHeaders(width, height); !s) return s;
  Install(std::move(b));
  return TStatus::Ok();
}

bool TDocument::SaveUndo() {
  if (!HasDocument()) return false;
  if (undoWidth_ == width_ && undoHeight_ == height_) {
    DrawBitmap(clean_, undo_);
    return true;
  }
  TDib undo;
  if (!undo.SetSize(width_, height_)) return false;
  TIplHeader header = CreateImageHeader(width_, height_, undo.Rows());
  if (!header) return false;
  DrawBitmap(clean_, undo);
  undoImage_ = std::move(header);
  undo_ = std::move(undo);
  undoWidth_ = width_;
  undoHeight_ = height_;
  ReadBitmapInfo(undo_, undoInfo_);
  return true;
}

void TDocument::Undo() {
  if (!HasDocument() || undo_.Empty()) return;
  if (undoWidth_ == width_ && undoHeight_ == height_) {
    ClearMaskPlanes(true, false, true);
  } else if (!ResizeDocument(undoWidth_, undoHeight_, true)) {
    return;
  }
  DrawBitmap(undo_, work_);
  DrawBitmap(undo_, clean_);
}

void TDocument::CommitWork() { DrawBitmap(work_, clean_); }

void TDocument::RestoreWork() { DrawBitmap(clean_, work_); }

void TDocument::ClearImage(TColor background) {
  if (!HasDocument()) return;
  SaveUndo();
  FillBitmap(work_, background);
  FillBitmap(clean_, background);
  ClearMaskPlanes(true, true, true);
}

void TDocument::ClearMaskPlanes(bool applied, bool contour, bool stamp) {
  korvane::ClearMaskPlanes(applied, contour, stamp, maskInfo_);
}

int TDocument::CopyPlane(std::uint8_t* dst, const std::uint8_t* src, int srcByte,
                         int dstByte) const {
  if (!dst || !src || srcByte < 0 || srcByte > 2 || dstByte < 0 || dstByte > 2) return 0;
  int largest = 0;
  const std::ptrdiff_t stride = RowStride();
  for (int y = 0; y < height_; ++y) {
    const std::uint8_t* s = src + y * stride + srcByte;
    std::uint8_t* d = dst + y * stride + dstByte;
    for (int x = 0; x < width_; ++x, s += 3, d += 3) {
      *d = *s;
      largest = std::max(largest, static_cast<int>(*s));
    }
  }
  return largest;
}

bool TDocument::CloneCleanIntoScratch() {
  if (!HasDocument() || !scratchImage_) return false;
  if (scratchImage_->width != width_ || scratchImage_->height != height_) {
    TIplHeader renewed = CreateImageHeader(width_, height_);
    if (!renewed) return false;
    iplSetBorderMode(renewed.get(), IPL_BORDER_CONSTANT, IPL_SIDE_ALL, 0);
    scratchImage_ = std::move(renewed);
  }
  if (!scratchImage_->imageData) {
    iplAllocateImage(scratchImage_.get(), 0, 0);
    if (!scratchImage_->imageData) return false;
  }
  iplCopy(cleanImage_.get(), scratchImage_.get());
  return true;
}

void TDocument::ReleaseScratchPixels() {
  if (scratchImage_) iplDeallocateImage(scratchImage_.get());
}

TStatus TDocument::CreatePiece(int width, int height) {
  TDib piece;
  if (TStatus s = piece.SetSize(width, height); !s) return s;
  piece_ = std::move(piece);
  ReadBitmapInfo(piece_, pieceInfo_);
  return TStatus::Ok();
}

void TDocument::Release() {
  workImage_.reset();
  cleanImage_.reset();
  maskImage_.reset();
  undoImage_.reset();
  scratchImage_.reset();
  work_.Release();
  clean_.Release();
  undo_.Release();
  mask_.Release();
  piece_.Release();
  width_ = height_ = undoWidth_ = undoHeight_ = 0;
  RefreshInfo();
}

}  // namespace korvane
