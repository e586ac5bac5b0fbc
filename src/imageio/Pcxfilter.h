// PCX codec: single-plane palette and three-plane true-colour PC Paintbrush files.
#pragma once

#include <cstdint>

namespace korvane {

class TStream;
class TDib;
class TIOParamsVals;
struct TProgressRec;

// `size` is the number of bytes of PCX data from the stream's position. Throws EInvalidGraphic.
void ReadPcxStream(TStream& stream, TDib& bitmap, TIOParamsVals& params, bool paramsOnly,
                   TProgressRec& progress, std::int64_t size);
void WritePcxStream(TStream& stream, const TDib& bitmap, TIOParamsVals& params,
                    TProgressRec& progress);

}  // namespace korvane
