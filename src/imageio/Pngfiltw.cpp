// Placeholder until the PNG writer exists: PNG writing fails.
#include "imageio/Pngfiltw.h"

#include "imageio/Vistelio.h"

namespace korvane {

void WritePNGStream(TStream&, const TDib&, TIOParamsVals&, TProgressRec&) {
  throw EInvalidGraphic("PNG codec not available");
}

}  // namespace korvane
