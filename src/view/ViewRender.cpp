#include "view/ViewRender.h"

#include <cstring>
#include <vector>

namespace korvane {

namespace {

inline std::uint32_t Pack(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return 0xFF000000u | (static_cast<std::uint32_t>(r) << 16) |
         (static_cast<std::uint32_t>(g) << 8) | b;
}

}  // namespace

void RenderStretched(const TDib& bitmap, const TRectI& src, int dstWidth, int dstHeight,
                     const TRectI& part, std::uint32_t* dst, int dstStride) {
  if (bitmap.Empty() || src.Width <= 0 || src.Height <= 0 || dstWidth <= 0 || dstHeight <= 0)
    return;
  if (src.X < 0 || src.Y < 0 || src.X + src.Width > bitmap.Width() ||
      src.Y + src.Height > bitmap.Height())
    return;
  if (part.X < 0 || part.Y < 0 || part.Width <= 0 || part.Height <= 0 ||
      part.X + part.Width > dstWidth || part.Y + part.Height > dstHeight)
    return;
  const bool mono = bitmap.PixelFormat() == TPixelFormat::pf1bit;
  const int width = part.Width;
  std::vector<int> columns(static_cast<std::size_t>(width));
  for (int i = 0; i < width; ++i)
    columns[static_cast<std::size_t>(i)] =
        src.X + static_cast<int>(static_cast<std::int64_t>(part.X + i) * src.Width / dstWidth);
  const std::uint32_t palette[2] = {
      Pack(RedOf(bitmap.Palette()[0]), GreenOf(bitmap.Palette()[0]), BlueOf(bitmap.Palette()[0])),
      Pack(RedOf(bitmap.Palette()[1]), GreenOf(bitmap.Palette()[1]), BlueOf(bitmap.Palette()[1]))};
  const bool oneToOne = src.Width == dstWidth;

  int previousRow = -1;
  for (int j = 0; j < part.Height; ++j) {
    std::uint32_t* out = dst + static_cast<std::ptrdiff_t>(j) * dstStride;
    const int row = src.Y + static_cast<int>(static_cast<std::int64_t>(part.Y + j) * src.Height /
                                             dstHeight);
    if (row == previousRow) {
      // Enlarged rows repeat: copy the one just drawn.
      std::memcpy(out, out - dstStride, static_cast<std::size_t>(width) * 4);
      continue;
    }
    previousRow = row;
    const std::uint8_t* line = bitmap.ScanLine(row);
    if (mono) {
      for (int i = 0; i < width; ++i) {
        const int x = columns[static_cast<std::size_t>(i)];
        out[i] = palette[(line[x >> 3] >> (7 - (x & 7))) & 1];
      }
    } else if (oneToOne) {
      const std::uint8_t* p = line + 3 * columns[0];
      for (int i = 0; i < width; ++i, p += 3) out[i] = Pack(p[2], p[1], p[0]);
    } else {
      for (int i = 0; i < width; ++i) {
        const std::uint8_t* p = line + 3 * columns[static_cast<std::size_t>(i)];
        out[i] = Pack(p[2], p[1], p[0]);
      }
    }
  }
}

}  // namespace korvane
