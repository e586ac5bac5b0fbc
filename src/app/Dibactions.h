// Device-independent bitmaps: the pixel memory every tool reads and writes.
//
// Layout: rows bottom-up (memory row 0 is the bottom of the picture), each row padded to a
// multiple of 4 bytes. A 24-bit pixel is 3 bytes blue, green, red; a 1-bit row holds 8 pixels a
// byte, the leftmost in the high bit, indices into a two-colour palette.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "app/Status.h"

namespace korvane {

// A colour as the editor stores it: 0x00BBGGRR (red in the low byte).
using TColor = std::uint32_t;

constexpr TColor RGBColor(int r, int g, int b) {
  return static_cast<TColor>((r & 255) | ((g & 255) << 8) | ((b & 255) << 16));
}
constexpr std::uint8_t RedOf(TColor c) { return static_cast<std::uint8_t>(c & 255); }
constexpr std::uint8_t GreenOf(TColor c) { return static_cast<std::uint8_t>((c >> 8) & 255); }
constexpr std::uint8_t BlueOf(TColor c) { return static_cast<std::uint8_t>((c >> 16) & 255); }

inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clBlack = 0x000000;

enum class TPixelFormat { pf1bit = 1, pf24bit = 24 };

// The largest bitmap the editor allocates: every byte offset fits a signed 32-bit integer, as
// the image-processing headers require.
inline constexpr int kMaxBitmapSide = 65535;
inline constexpr std::int64_t kMaxBitmapBytes = 0x7FFFFFFF;

// Padding bytes after a 24-bit row of `width` pixels.
constexpr int RowPadding(int width) { return (4 - (3 * width) % 4) % 4; }
// Bytes per row, padding included.
constexpr std::int64_t RowBytes(int width, TPixelFormat format) {
  const std::int64_t bits = static_cast<std::int64_t>(width) * static_cast<int>(format);
  return (bits + 31) / 32 * 4;
}

// What a bitmap's header says about it.
struct TBitmapInfo {
  std::int32_t BitsPerPixel = 0;
  std::int32_t Width = 0;
  std::int32_t Height = 0;  // positive: rows bottom-up
  std::uint8_t* Rows = nullptr;
  std::uint8_t* Bits = nullptr;
  bool Is24Bit = false;
};

class TDib {
 public:
  TDib() = default;
  TDib(TDib&&) noexcept = default;
  TDib& operator=(TDib&&) noexcept = default;
  TDib(const TDib&) = delete;
  TDib& operator=(const TDib&) = delete;

  // Gives the bitmap a new size and format with all-zero pixels (black), or refuses sizes of 0,
  // beyond kMaxBitmapSide or kMaxBitmapBytes, and failed allocations; a refusal leaves the bitmap
  // as it was.
  [[nodiscard]] TStatus SetSize(int width, int height, TPixelFormat format = TPixelFormat::pf24bit);
  // A bitmap of the same size, format, palette and pixels.
  [[nodiscard]] TStatus Assign(const TDib& other);
  void Release();

  // Non-zero exactly while the bitmap has pixels.
  std::uintptr_t Handle() const { return reinterpret_cast<std::uintptr_t>(pixels_.get()); }
  bool Empty() const { return !pixels_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  TPixelFormat PixelFormat() const { return format_; }
  int BitsPerPixel() const { return static_cast<int>(format_); }
  int Stride() const { return stride_; }
  std::size_t ByteSize() const { return static_cast<std::size_t>(stride_) * height_; }
  std::uint8_t* Rows() { return pixels_.get(); }
  const std::uint8_t* Rows() const { return pixels_.get(); }
  // Memory row r (0 = the bottom of the picture).
  std::uint8_t* Row(int r) { return pixels_.get() + static_cast<std::ptrdiff_t>(r) * stride_; }
  const std::uint8_t* Row(int r) const {
    return pixels_.get() + static_cast<std::ptrdiff_t>(r) * stride_;
  }
  // Row y counted from the top of the picture.
  std::uint8_t* ScanLine(int y) { return Row(height_ - 1 - y); }
  const std::uint8_t* ScanLine(int y) const { return Row(height_ - 1 - y); }

  // The two colours of a 1-bit bitmap (black and white unless set).
  const std::array<TColor, 2>& Palette() const { return palette_; }
  void SetPalette(const std::array<TColor, 2>& palette) { palette_ = palette; }

 private:
  // Small bitmaps come from the heap, large ones straight from the kernel (mapped length > 0).
  struct FreeDeleter {
    std::size_t mapped;  // value-initialised to 0 by unique_ptr
    void operator()(std::uint8_t* p) const;
  };
  TStatus Allocate(int width, int height, TPixelFormat format);

  std::unique_ptr<std::uint8_t[], FreeDeleter> pixels_;
  int width_ = 0;
  int height_ = 0;
  int stride_ = 0;
  TPixelFormat format_ = TPixelFormat::pf24bit;
  std::array<TColor, 2> palette_{clBlack, clWhite};
};

// Fills `info` from the bitmap; an empty bitmap gives an all-zero record.
void ReadBitmapInfo(const TDib& bitmap, TBitmapInfo& info);

// Fills a 24-bit bitmap (padding excluded) with one colour.
void FillBitmap(TDib& bitmap, TColor color);

// Copies a bitmap of the same geometry onto another, a single copy of the pixel memory.
void DrawBitmap(const TDib& source, TDib& target);

// A 24-bit copy of a 1-bit bitmap, through its palette; 24-bit bitmaps are copied as they are.
[[nodiscard]] TStatus ConvertTo24Bit(const TDib& source, TDib& target);

}  // namespace korvane
