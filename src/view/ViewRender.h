// Draws part of a bitmap, stretched, into a 32-bit client buffer (0xFFRRGGBB per pixel, the
// layout of a Qt RGB32 image). Enlargement repeats pixels, reduction drops them; the cost depends
// on the destination size only.
#pragma once

#include <cstdint>

#include "app/Dibactions.h"
#include "view/ViewGeometry.h"

namespace korvane {

// The bitmap rectangle `src` (rows from the top) is stretched over a dstWidth x dstHeight area:
// area pixel (i, j) shows bitmap column src.X + i * src.Width / dstWidth of picture row
// src.Y + j * src.Height / dstHeight. Only the part `part` of the area is produced; `dst` points
// at the pixel for part's first pixel and `dstStride` counts pixels per row.
void RenderStretched(const TDib& bitmap, const TRectI& src, int dstWidth, int dstHeight,
                     const TRectI& part, std::uint32_t* dst, int dstStride);

}  // namespace korvane
