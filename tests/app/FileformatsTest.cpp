#include "app/Fileformats.h"

#include <gtest/gtest.h>

#include "imageio/Vistelio.h"

namespace korvane {
namespace {

TEST(FileFormats, RoundTripThroughTheRecord) {
  TFileFormats kept;
  kept.BMP_Compression = 7;
  kept.BMP_Version = 2;
  kept.GIF_Version = "GIF87a";
  kept.JPEG_Quality = 85;
  kept.PCX_Compression = 0;
  kept.TIFF_Compression = 5;
  kept.PNG_Filter = 2;
  TIOParamsVals params;
  FormatsToIO(kept, params);
  EXPECT_EQ(params.BMP_Compression, ioBMP_RLE);
  EXPECT_EQ(params.BMP_Version, ioBMP_BMOS2V1);
  EXPECT_EQ(params.GIF_Version, "GIF87a");
  EXPECT_EQ(params.PCX_Compression, ioPCX_UNCOMPRESSED);
  EXPECT_EQ(params.TIFF_Compression, ioTIFF_LZW);
  EXPECT_EQ(params.PNG_Filter, ioPNG_FILTER_PAETH);
  EXPECT_EQ(params.JPEG_ColorSpace, ioJPEG_RGB);

  TFileFormats back;
  FormatsFromIO(params, back);
  EXPECT_EQ(back.BMP_Compression, 1);  // Booleans come back as 0 or 1
  EXPECT_EQ(back.BMP_Version, 2);
  EXPECT_EQ(back.JPEG_Quality, 85);
  EXPECT_EQ(back.TIFF_Compression, 5);
  EXPECT_EQ(back.JPEG_ColorSpace, 1);
}

TEST(FileFormats, OutOfRangeValuesLeaveTheRecordAndOnlyRgbSurvives) {
  TIOParamsVals params;
  params.BMP_Version = ioBMP_BM;
  params.TIFF_Compression = ioTIFF_PACKBITS;
  params.JPEG_DCTMethod = ioJPEG_FLOAT;
  TFileFormats kept;
  kept.BMP_Version = 4;
  kept.TIFF_Compression = 9;
  kept.JPEG_DCTMethod = -1;
  kept.JPEG_ColorSpace = 3;
  FormatsToIO(kept, params);
  EXPECT_EQ(params.BMP_Version, ioBMP_BM);
  EXPECT_EQ(params.TIFF_Compression, ioTIFF_PACKBITS);
  EXPECT_EQ(params.JPEG_DCTMethod, ioJPEG_FLOAT);
  EXPECT_EQ(params.JPEG_ColorSpace, ioJPEG_GRAYLEV);
  params.JPEG_ColorSpace = ioJPEG_CMYK;
  FormatsFromIO(params, kept);
  EXPECT_EQ(kept.JPEG_ColorSpace, 0);
}

}  // namespace
}  // namespace korvane
