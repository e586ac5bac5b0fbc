// JPEG codec through libjpeg.
#pragma once

namespace korvane {

class TStream;
class TDib;
class TIOParamsVals;
struct TProgressRec;

// Throws EInvalidGraphic on a file libjpeg rejects.
void ReadJPegStream(TStream& stream, TDib& bitmap, TIOParamsVals& params, bool paramsOnly,
                    TProgressRec& progress);
void WriteJPegStream(TStream& stream, const TDib& bitmap, TIOParamsVals& params,
                     TProgressRec& progress);

}  // namespace korvane
