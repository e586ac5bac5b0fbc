// TIFF codec: one image (IFD) of a TIFF file in either byte order in, single-strip Intel-order
// files out. LZW goes through the hooks of the parameter record (falling back to the unit
// defaults below).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace korvane {

class TStream;
class TDib;
class TIOParamsVals;
struct TProgressRec;

// Decodes one compressed strip; the state carries the decoder across calls. After the last strip
// the codec calls it once more with no data so that it can release the state.
using TTIFFLZWDecompFunc = std::vector<std::uint8_t> (*)(const std::uint8_t* data,
                                                         std::size_t count,
                                                         std::shared_ptr<void>& state);
// Appends the codes of one row to `out`; one code stream runs through all rows of the strip, and
// a final call with no data flushes it.
using TTIFFLZWCompFunc = void (*)(const std::uint8_t* row, std::size_t count, TStream& out,
                                  std::shared_ptr<void>& state);

// Empty unless a coder is installed.
extern TTIFFLZWDecompFunc DefTIFF_LZWDECOMPFUNC;
extern TTIFFLZWCompFunc DefTIFF_LZWCOMPFUNC;

// The program's own LZW decoder (Tiflzw) in pieces: each call writes the next `want` bytes of
// the strip's output to `out` (fewer when the data ends) and returns how many it wrote; `first`
// starts a new strip. The rows can thus be used while they are still in the cache, and a hostile
// strip can never make the output grow beyond what the caller asks for. A call with no data
// releases the state.
std::size_t TIFFLZWDecodeNext(const std::uint8_t* data, std::size_t count, std::uint8_t* out,
                              std::size_t want, std::shared_ptr<void>& state, bool first);

// Throws EInvalidGraphic on a file it cannot read; `numImages` gets the number of images.
void TIFFReadStream(TDib& bitmap, TStream& stream, int& numImages, bool paramsOnly,
                    TProgressRec& progress, TIOParamsVals& params);
// `insert` appends the image to the existing Intel-order file in `stream`.
void TIFFWriteStream(TStream& stream, bool insert, const TDib& bitmap, TProgressRec& progress,
                     TIOParamsVals& params);

}  // namespace korvane
