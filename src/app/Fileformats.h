// The file-format defaults the main window keeps between runs, and their transfer to and from
// the I/O component's parameter record (which the save dialog's options edit in between).
#pragma once

#include <string>

namespace korvane {

class TIOParamsVals;

struct TFileFormats {
  int BMP_Compression = 0;  // non-zero: run-length
  int BMP_Version = 1;      // 0 to 3
  std::string GIF_Version = "GIF89a";
  bool GIF_Interlaced = false;
  bool GIF_Transparent = false;
  int JPEG_ColorSpace = 1;  // 1: RGB, anything else: grey levels
  int JPEG_DCTMethod = 0;
  bool JPEG_OptimalHuffman = false;
  bool JPEG_Progressive = false;
  int JPEG_Quality = 50;
  int JPEG_Smooth = 0;
  int PCX_Compression = 0;  // non-zero: run-length
  int PCX_Version = 5;
  int TIFF_Compression = 0;
  bool PNG_Interlaced = false;
  int PNG_Compression = 0;
  int PNG_Filter = 0;
};

// Values outside their enumeration leave the record's field as it was.
void FormatsToIO(const TFileFormats& formats, TIOParamsVals& params);
void FormatsFromIO(const TIOParamsVals& params, TFileFormats& formats);

}  // namespace korvane
