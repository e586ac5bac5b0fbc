// The LZW coder for GIF image data, installed into the GIF hooks at start.
#pragma once

#include <cstdint>

namespace korvane {

class TStream;

// Shapes of TGIFLZWDecompFunc and TGIFLZWCompFunc. Both throw EInvalidGraphic on bad data.
void GIFLZWDecompress(TStream& in, int height, int width, std::uint8_t* out, bool interlaced);
void GIFLZWCompress(TStream& out, int height, int width, int bitsPerPixel,
                    const std::uint8_t* indices, bool interlaced);
// A valid GIF code stream without compression (a clear code often enough that codes never
// grow); not installed by the application.
void GIFNONLZWCompress(TStream& out, int height, int width, int bitsPerPixel,
                       const std::uint8_t* indices, bool interlaced);

}  // namespace korvane
