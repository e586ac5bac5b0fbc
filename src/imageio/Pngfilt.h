// PNG reading through libpng, and the signature test used by format detection.
#pragma once

namespace korvane {

class TStream;
class TDib;
class TIOParamsVals;
struct TProgressRec;

// Throws EInvalidGraphic on a file libpng rejects.
void ReadPNGStream(TStream& stream, TDib& bitmap, TIOParamsVals& params, bool paramsOnly,
                   TProgressRec& progress);
// Whether the next 8 bytes are the PNG signature; the position is put back.
bool IsPNGStream(TStream& stream);

}  // namespace korvane
