// Placeholder until the JPEG codec exists: JPEG files are refused, JPEG writing fails.
#include "imageio/Jpegfilt.h"

#include "imageio/Vistelio.h"

namespace korvane {

void ReadJPegStream(TStream&, TDib&, TIOParamsVals&, bool, TProgressRec&) {
  throw EInvalidGraphic("JPEG codec not available");
}

void WriteJPegStream(TStream&, const TDib&, TIOParamsVals&, TProgressRec&) {
  throw EInvalidGraphic("JPEG codec not available");
}

}  // namespace korvane
