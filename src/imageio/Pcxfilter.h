// PCX codec: single-plane palette and three-plane true-colour PC Paintbrush files.
#pragma once

#include <cstdint>
#include <filesystem>

namespace korvane {

class TStream;
class TDib;
class TIOParamsVals;
struct TProgressRec;

// `size` is the number of bytes of PCX data from the stream's position (0 or less: up to the end
// of the stream). 1-bit single-plane files load as 1-bit bitmaps (bit 1 white), all others as
// 24 bits. Throws EInvalidGraphic("unrecognized PCX"); `bitmap` and `params` change only when the
// image was read completely.
void ReadPcxStream(TStream& stream, TDib& bitmap, TIOParamsVals& params, bool paramsOnly,
                   TProgressRec& progress, std::int64_t size);
// Writes `bitmap` (24 or 1 bits per pixel): 1 bit for BitsPerSample 1, else BitsPerSample x
// SamplesPerPixel bits (4, 8 or 24) per pixel, RLE when PCX_Compression says so.
void WritePcxStream(TStream& stream, const TDib& bitmap, TIOParamsVals& params,
                    TProgressRec& progress);

void ReadPcx(const std::filesystem::path& name, TDib& bitmap, TIOParamsVals& params,
             bool paramsOnly, TProgressRec& progress);
void WritePcx(const std::filesystem::path& name, const TDib& bitmap, TIOParamsVals& params,
              TProgressRec& progress);

}  // namespace korvane
