#include "imageio/LzwHooks.h"

#include "imageio/Giflzw.h"
#include "imageio/Tiflzw.h"
#include "imageio/Vistelio.h"

namespace korvane {

void InstallLzwCoders(TIOParamsVals& params) {
  params.GIF_LZWDecompFunc = GIFLZWDecompress;
  params.GIF_LZWCompFunc = GIFLZWCompress;
  params.TIFF_LZWDecompFunc = TIFFLZWDecompress;
  params.TIFF_LZWCompFunc = TIFFLZWCompress;
}

}  // namespace korvane
