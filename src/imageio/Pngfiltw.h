// PNG writing through libpng.
#pragma once

namespace korvane {

class TStream;
class TDib;
class TIOParamsVals;
struct TProgressRec;

// SamplesPerPixel 1 with BitsPerSample 1: one bit, grey for black and white, else a two-entry
// palette; SamplesPerPixel 1 otherwise: a 256-entry palette from the quantizer; else 8-bit RGB.
// libpng failures raise EInvalidGraphic("Error on creating PNG"); stream errors pass unchanged.
void WritePNGStream(TStream& stream, const TDib& bitmap, TIOParamsVals& params,
                    TProgressRec& progress);

}  // namespace korvane
