// BMP codec: every header size (OS/2 1.x 12 bytes, Windows 40 to 124, OS/2 2.x 16 to 64), 1, 2,
// 4, 8, 16, 24 and 32 bits, RLE4 and RLE8, bit fields; and the icon and cursor content tests.
//
// Everything is checked against the file before memory is given to it: header sizes, offsets,
// palette counts and indices, RLE runs and deltas, and that uncompressed pixel data is present.
// Files of every depth load as 24-bit bitmaps (a 1-bit file in its two palette colours).
#pragma once

#include <cstdint>

namespace korvane {

class TStream;
class TDib;
class TIOParamsVals;
struct TProgressRec;

// Reads a BMP file from the stream's position; `totalSize` limits the bytes it may use (0: up to
// the end of the stream). Throws EInvalidGraphic("unrecognized BMP") for any file it refuses;
// `bitmap` changes only on success (an aborted read leaves it alone too).
void BMPReadStream(TStream& stream, TDib& bitmap, std::int64_t totalSize, bool paramsOnly,
                   TProgressRec& progress, TIOParamsVals& params);
// Writes `bitmap` (24 or 1 bits per pixel) as one complete BMP file. Depth: BitsPerSample 1 or 4,
// else 8 with SamplesPerPixel 1, else 24; BMP_Version chooses the header, BMP_Compression RLE
// for 4 and 8 bits. Replaces ColorMap by the palette written. An abort leaves the headers
// unfinished.
void BMPWriteStream(TStream& stream, const TDib& bitmap, TIOParamsVals& params,
                    TProgressRec& progress);

// Icon and cursor directory tests; the position is put back.
bool ICOTryStream(TStream& stream);
bool CURTryStream(TStream& stream);

}  // namespace korvane
