// Placeholder until the TIFF codec exists: TIFF files are refused, TIFF writing fails.
#include "imageio/Tiffilt.h"

#include "imageio/Vistelio.h"

namespace korvane {

TTIFFLZWDecompFunc DefTIFF_LZWDECOMPFUNC = nullptr;
TTIFFLZWCompFunc DefTIFF_LZWCOMPFUNC = nullptr;

void TIFFReadStream(TDib&, TStream&, int& numImages, bool, TProgressRec&, TIOParamsVals&) {
  numImages = 0;
  throw EInvalidGraphic("TIFF codec not available");
}

void TIFFWriteStream(TStream&, bool, const TDib&, TProgressRec&, TIOParamsVals&) {
  throw EInvalidGraphic("TIFF codec not available");
}

}  // namespace korvane
