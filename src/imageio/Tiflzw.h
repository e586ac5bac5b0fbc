// The LZW coder for TIFF strips, installed into the TIFF hooks at start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace korvane {

class TStream;

// Shapes of TTIFFLZWDecompFunc and TTIFFLZWCompFunc. Decoding throws EInvalidGraphic on bad
// codes.
std::vector<std::uint8_t> TIFFLZWDecompress(const std::uint8_t* data, std::size_t count,
                                            std::shared_ptr<void>& state);
void TIFFLZWCompress(const std::uint8_t* row, std::size_t count, TStream& out,
                     std::shared_ptr<void>& state);

}  // namespace korvane
