#include "app/Dibactions.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include <sys/mman.h>

namespace korvane {

namespace {
// Rows start on cache lines so that row loops and the library's vector code run at full width.
constexpr std::size_t kAlignment = 64;
// Large bitmaps go on huge pages: tools that walk down a column (outlines, vertical strokes)
// touch a new page per row, and small pages would make that a TLB miss each time.
constexpr std::size_t kHugePage = std::size_t{2} << 20;
}  // namespace

void TDib::FreeDeleter::operator()(std::uint8_t* p) const {
  if (mapped)
    munmap(p, mapped);
  else
    std::free(p);
}

namespace {
// A huge-page-aligned mapping of `bytes` (a multiple of the huge page): the kernel hands it out
// zeroed, so a bitmap that is about to be overwritten is not cleared a second time.
std::uint8_t* MapHugeAligned(std::size_t bytes) {
  const std::size_t span = bytes + kHugePage;
  void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
  if (aligned > start) munmap(raw, aligned - start);
  if (const std::uintptr_t tail = start + span - (aligned + bytes); tail > 0)
    munmap(reinterpret_cast<void*>(aligned + bytes), tail);
  auto* memory = reinterpret_cast<std::uint8_t*>(aligned);
  madvise(memory, bytes, MADV_HUGEPAGE);
  return memory;
}
}  // namespace

TStatus TDib::Allocate(int width, int height, TPixelFormat format) {
  if (width <= 0 || height <= 0)
    return TStatus::Error("The image size " + std::to_string(width) + " x " +
                          std::to_string(height) + " is not valid.");
  if (width > kMaxBitmapSide || height > kMaxBitmapSide)
    return TStatus::Error("The image size " + std::to_string(width) + " x " +
                          std::to_string(height) + " is too large (at most " +
                          std::to_string(kMaxBitmapSide) + " pixels a side).");
  const std::int64_t stride = RowBytes(width, format);
  const std::int64_t bytes = stride * height;
  if (bytes > kMaxBitmapBytes)
    return TStatus::Error("The image size " + std::to_string(width) + " x " +
                          std::to_string(height) + " needs more memory than a bitmap may use.");
  const std::size_t align = static_cast<std::size_t>(bytes) >= 4 * kHugePage ? kHugePage : kAlignment;
  const std::size_t rounded = (static_cast<std::size_t>(bytes) + align - 1) / align * align;
  const bool huge = align == kHugePage;
  auto* memory =
      huge ? MapHugeAligned(rounded) : static_cast<std::uint8_t*>(std::aligned_alloc(align, rounded));
  if (!memory)
    return TStatus::Error("Not enough memory for an image of " + std::to_string(width) + " x " +
                          std::to_string(height) + " pixels.");
  if (!huge) std::memset(memory, 0, rounded);
  pixels_ = std::unique_ptr<std::uint8_t[], FreeDeleter>(memory, FreeDeleter{huge ? rounded : 0});
  width_ = width;
  height_ = height;
  stride_ = static_cast<int>(stride);
  format_ = format;
  return TStatus::Ok();
}

TStatus TDib::SetSize(int width, int height, TPixelFormat format) {
  return Allocate(width, height, format);
}

TStatus TDib::Assign(const TDib& other) {
  if (&other == this) return TStatus::Ok();
  if (other.Empty()) {
    Release();
    return TStatus::Ok();
  }
  TDib copy;
  if (TStatus s = copy.Allocate(other.width_, other.height_, other.format_); !s) return s;
  std::memcpy(copy.Rows(), other.Rows(), other.ByteSize());
  copy.palette_ = other.palette_;
  *this = std::move(copy);
  return TStatus::Ok();
}

void TDib::Release() {
  pixels_.reset();
  width_ = height_ = stride_ = 0;
}

void ReadBitmapInfo(const TDib& bitmap, TBitmapInfo& info) {
  info = TBitmapInfo{};
  if (bitmap.Empty()) return;
  info.BitsPerPixel = bitmap.BitsPerPixel();
  info.Width = bitmap.Width();
  info.Height = bitmap.Height();
  // The record hands out write access, as the platform's bitmap description does.
  info.Rows = const_cast<std::uint8_t*>(bitmap.Rows());
  info.Bits = info.Rows;
  info.Is24Bit = info.BitsPerPixel == 24;
}

void FillBitmap(TDib& bitmap, TColor color) {
  if (bitmap.Empty() || bitmap.PixelFormat() != TPixelFormat::pf24bit) return;
  const std::uint8_t b = BlueOf(color), g = GreenOf(color), r = RedOf(color);
  const int width = bitmap.Width();
  // Build one row, then copy it: a single pass of memcpy over the bitmap.
  std::uint8_t* first = bitmap.Row(0);
  for (int x = 0; x < width; ++x) {
    first[3 * x] = b;
    first[3 * x + 1] = g;
    first[3 * x + 2] = r;
  }
  for (int y = 1; y < bitmap.Height(); ++y)
    std::memcpy(bitmap.Row(y), first, static_cast<std::size_t>(3) * width);
}

void DrawBitmap(const TDib& source, TDib& target) {
  if (source.Empty() || target.Empty() || &source == &target) return;
  if (source.Width() != target.Width() || source.Height() != target.Height() ||
      source.PixelFormat() != target.PixelFormat())
    return;
  std::memcpy(target.Rows(), source.Rows(), source.ByteSize());
}

TStatus ConvertTo24Bit(const TDib& source, TDib& target) {
  if (source.PixelFormat() == TPixelFormat::pf24bit) return target.Assign(source);
  TDib out;
  if (TStatus s = out.SetSize(source.Width(), source.Height()); !s) return s;
  const auto& palette = source.Palette();
  for (int y = 0; y < source.Height(); ++y) {
    const std::uint8_t* in = source.Row(y);
    std::uint8_t* px = out.Row(y);
    for (int x = 0; x < source.Width(); ++x) {
      const TColor c = palette[(in[x >> 3] >> (7 - (x & 7))) & 1];
      px[3 * x] = BlueOf(c);
      px[3 * x + 1] = GreenOf(c);
      px[3 * x + 2] = RedOf(c);
    }
  }
  target = std::move(out);
  return TStatus::Ok();
}

}  // namespace korvane
