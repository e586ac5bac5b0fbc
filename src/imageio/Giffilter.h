// GIF codec: one image of a GIF file in, a single-image GIF out. The container never codes LZW
// itself; it calls the hooks of the parameter record (falling back to the unit defaults below).
#pragma once

#include <cstdint>
#include <filesystem>

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

// Reads image GIF_ImageIndex into `bitmap`: 1 bit per pixel (in the file's two colours) for a
// two-entry colour table, else 24 bits. Throws EInvalidGraphic on a file it cannot read; `numImages`
// gets the number of images. `bitmap` and `params` change only when the image was read completely;
// when the file has fewer images than asked for, both are left alone.
void ReadGifStream(TStream& stream, TDib& bitmap, int& numImages, bool paramsOnly,
                  TProgressRec& progress, TIOParamsVals& params);
// Writes `bitmap` (24 or 1 bits per pixel) as a single-image GIF of BitsPerSample bits per pixel.
// An abort leaves the file incomplete.
void WriteGifStream(TStream& stream, const TDib& bitmap, TIOParamsVals& params,
                    TProgressRec& progress);

// The same on files; a file that cannot be opened or created raises the stream's error.
void ReadGif(const std::filesystem::path& name, TDib& bitmap, int& numImages, bool paramsOnly,
             TProgressRec& progress, TIOParamsVals& params);
void WriteGif(const std::filesystem::path& name, const TDib& bitmap, TIOParamsVals& params,
              TProgressRec& progress);

}  // namespace korvane
