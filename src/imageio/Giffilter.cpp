// Placeholder until the GIF codec exists: GIF files are refused, GIF writing fails.
#include "imageio/Giffilter.h"

#include "imageio/Vistelio.h"

namespace korvane {

TGIFLZWDecompFunc DefGIF_LZWDECOMPFUNC = nullptr;
TGIFLZWCompFunc DefGIF_LZWCOMPFUNC = nullptr;

void ReadGifStream(TStream&, TDib&, int& numImages, bool, TProgressRec&, TIOParamsVals&) {
  numImages = 0;
  throw EInvalidGraphic("GIF codec not available");
}

void WriteGifStream(TStream&, const TDib&, TIOParamsVals&, TProgressRec&) {
  throw EInvalidGraphic("GIF codec not available");
}

}  // namespace korvane
