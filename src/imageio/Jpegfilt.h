// JPEG codec through libjpeg.
#pragma once

namespace korvane {

class TStream;
class TDib;
class TIOParamsVals;
struct TProgressRec;

// Reads a JPEG file into a 24-bit bitmap. A file libjpeg rejects, one cut short and one beyond
// 2^28 pixels raise EInvalidGraphic("Unrecognized JPeg - JPEG error #n"); stream errors pass
// unchanged, memory exhaustion as std::bad_alloc. An abort leaves the rows read so far.
void ReadJPegStream(TStream& stream, TDib& bitmap, TIOParamsVals& params, bool paramsOnly,
                    TProgressRec& progress);
// Writes a 24- or 1-bit bitmap in JPEG_ColorSpace with the record's quality, DCT method,
// smoothing, Huffman and progression options and DpiX/DpiY as JFIF density.
void WriteJPegStream(TStream& stream, const TDib& bitmap, TIOParamsVals& params,
                     TProgressRec& progress);

}  // namespace korvane
