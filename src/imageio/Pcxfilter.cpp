// Placeholder until the PCX codec exists: PCX files are refused, PCX writing fails.
#include "imageio/Pcxfilter.h"

#include "imageio/Vistelio.h"

namespace korvane {

void ReadPcxStream(TStream&, TDib&, TIOParamsVals&, bool, TProgressRec&, std::int64_t) {
  throw EInvalidGraphic("PCX codec not available");
}

void WritePcxStream(TStream&, const TDib&, TIOParamsVals&, TProgressRec&) {
  throw EInvalidGraphic("PCX codec not available");
}

}  // namespace korvane
