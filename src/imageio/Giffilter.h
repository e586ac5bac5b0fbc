// GIF codec: one image of a GIF file in, a single-image GIF out. The container never codes LZW
// itself; it calls the hooks of the parameter record (falling back to the unit defaults below).
#pragma once

#include <cstdint>

namespace korvane {

class TStream;
class TDib;
class TIOParamsVals;
struct TProgressRec;

// Reads the image data of one image: `in` is at the minimum-code-size byte; consumes the
// sub-blocks up to the terminating empty block and fills width x height indices, rows from the
// top (in interlaced order when `interlaced`).
using TGIFLZWDecompFunc = void (*)(TStream& in, int height, int width, std::uint8_t* out,
                                   bool interlaced);
// Writes the minimum-code-size byte, the sub-blocks and the terminating empty block.
using TGIFLZWCompFunc = void (*)(TStream& out, int height, int width, int bitsPerPixel,
                                 const std::uint8_t* indices, bool interlaced);

// Empty unless a coder is installed.
extern TGIFLZWDecompFunc DefGIF_LZWDECOMPFUNC;
extern TGIFLZWCompFunc DefGIF_LZWCOMPFUNC;

// Throws EInvalidGraphic on a file it cannot read; `numImages` gets the number of images.
void ReadGifStream(TStream& stream, TDib& bitmap, int& numImages, bool paramsOnly,
                  TProgressRec& progress, TIOParamsVals& params);
void WriteGifStream(TStream& stream, const TDib& bitmap, TIOParamsVals& params,
                    TProgressRec& progress);

}  // namespace korvane
