#include "app/Fileformats.h"

#include "imageio/Vistelio.h"

namespace korvane {

namespace {
template <class Enum>
void SetIfIn(Enum& field, int value, int last) {
  if (value >= 0 && value <= last) field = static_cast<Enum>(value);
}
}  // namespace

void FormatsToIO(const TFileFormats& f, TIOParamsVals& p) {
  p.BMP_Compression = f.BMP_Compression != 0 ? ioBMP_RLE : ioBMP_UNCOMPRESSED;
  SetIfIn(p.BMP_Version, f.BMP_Version, ioBMP_BMOS2V2);
  p.GIF_Version = f.GIF_Version;
  p.GIF_Interlaced = f.GIF_Interlaced;
  p.GIF_Transparent = f.GIF_Transparent;
  p.JPEG_ColorSpace = f.JPEG_ColorSpace == 1 ? ioJPEG_RGB : ioJPEG_GRAYLEV;
  SetIfIn(p.JPEG_DCTMethod, f.JPEG_DCTMethod, ioJPEG_FLOAT);
  p.JPEG_OptimalHuffman = f.JPEG_OptimalHuffman;
  p.JPEG_Progressive = f.JPEG_Progressive;
  p.JPEG_Quality = f.JPEG_Quality;
  p.JPEG_Smooth = f.JPEG_Smooth;
  p.PCX_Compression = f.PCX_Compression != 0 ? ioPCX_RLE : ioPCX_UNCOMPRESSED;
  p.PCX_Version = f.PCX_Version;
  SetIfIn(p.TIFF_Compression, f.TIFF_Compression, ioTIFF_PACKBITS);
  p.PNG_Interlaced = f.PNG_Interlaced;
  p.PNG_Compression = f.PNG_Compression;
  SetIfIn(p.PNG_Filter, f.PNG_Filter, ioPNG_FILTER_PAETH);
}

void FormatsFromIO(const TIOParamsVals& p, TFileFormats& f) {
  f.BMP_Compression = p.BMP_Compression == ioBMP_RLE ? 1 : 0;
  f.BMP_Version = p.BMP_Version;
  f.GIF_Version = p.GIF_Version;
  f.GIF_Interlaced = p.GIF_Interlaced;
  f.GIF_Transparent = p.GIF_Transparent;
  f.JPEG_ColorSpace = p.JPEG_ColorSpace == ioJPEG_RGB ? 1 : 0;
  f.JPEG_DCTMethod = p.JPEG_DCTMethod;
  f.JPEG_OptimalHuffman = p.JPEG_OptimalHuffman;
  f.JPEG_Progressive = p.JPEG_Progressive;
  f.JPEG_Quality = p.JPEG_Quality;
  f.JPEG_Smooth = p.JPEG_Smooth;
  f.PCX_Compression = p.PCX_Compression == ioPCX_RLE ? 1 : 0;
  f.PCX_Version = p.PCX_Version;
  f.TIFF_Compression = p.TIFF_Compression;
  f.PNG_Interlaced = p.PNG_Interlaced;
  f.PNG_Compression = p.PNG_Compression;
  f.PNG_Filter = p.PNG_Filter;
}

}  // namespace korvane
