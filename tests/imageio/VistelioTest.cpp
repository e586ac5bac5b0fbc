// The I/O component: content detection, dispatch by extension, the error each failure reports,
// saves that never destroy the previous file, progress and Aborting, the stream header, the
// parameter fields by name, the packed DIB and the view attachment.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "ImageTestUtil.h"
#include "imageio/Stream.h"
#include "imageio/Vistelio.h"

namespace korvane {
namespace {

using test::FirstDifference;
using test::Le16;
using test::Le32;
using test::MakeBitmap;
using test::PixelAt;
using test::ReadBytes;
using test::Rgb;
using test::TempDir;
using test::WriteBytes;

TDib Picture(int width = 6, int height = 4) {
  return MakeBitmap(width, height, [](int x, int y) {
    return Rgb{static_cast<std::uint8_t>(40 * x), static_cast<std::uint8_t>(60 * y), 77};
  });
}

std::vector<std::uint8_t> BmpBytes(const TDib& bmp) {
  TMemoryStream stream;
  TVistelIO io;
  TDib copy;
  if (!copy.Assign(bmp)) return {};
  io.SetAttachedBitmap(&copy);
  io.SaveToStreamBMP(stream);
  return stream.Bytes();
}

// ---------------------------------------------------------------------------------------------
// Content detection

std::vector<std::uint8_t> Bytes(std::initializer_list<int> head, std::size_t size) {
  std::vector<std::uint8_t> out;
  for (int b : head) out.push_back(static_cast<std::uint8_t>(b));
  out.resize(size, 0x20);
  return out;
}
std::vector<std::uint8_t> Text(const char* head, std::size_t size) {
  std::vector<std::uint8_t> out(head, head + std::strlen(head) + 1);  // with its zero byte
  out.resize(size, 0x20);
  return out;
}
// An icon (type 1) or cursor (2) directory of one entry, padded to `size`.
std::vector<std::uint8_t> Directory(int type, std::uint32_t imageOffset, std::size_t size,
                                    int byte3 = 0) {
  std::vector<std::uint8_t> out = {0, 0, static_cast<std::uint8_t>(type), 0, 1, 0,
                                   16, 16, 0, static_cast<std::uint8_t>(byte3), 1, 0, 24, 0,
                                   40, 3, 0, 0};
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(imageOffset >> (8 * i)));
  out.resize(size, 0);
  return out;
}

struct DetectCase {
  const char* name;
  std::vector<std::uint8_t> bytes;
  TIOFileType expected;
};
void PrintTo(const DetectCase& c, std::ostream* os) { *os << c.name; }

std::vector<DetectCase> DetectCases() {
  return {
      {"Jfif13", Bytes({0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0}, 13), ioJPEG},
      {"Jfif12", Bytes({0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0}, 12), ioUnknown},
      {"JfifNotApp0", Bytes({0xFF, 0xD8, 0xFF, 0xE1, 0, 16, 'J', 'F', 'I', 'F', 0}, 40), ioUnknown},
      {"JpegStreamHeader", Text("JFIF", 13), ioJPEG},
      {"Gif14", Text("GIF89a", 14), ioGIF},
      {"Gif13", Text("GIF89a", 13), ioUnknown},
      {"PcxStreamHeader", Text("PCX2", 13), ioPCX},
      {"PcxText5", Text("PCX", 5), ioPCX},
      {"PcxText4", Text("PCX", 4), ioUnknown},
      {"PcxTextWithoutZero", Bytes({'P', 'C', 'X', 'A'}, 40), ioUnknown},
      {"Bmp15", Bytes({'B', 'M'}, 15), ioBMP},
      {"Bmp14", Bytes({'B', 'M'}, 14), ioUnknown},
      {"PcxVersion5", Bytes({0x0A, 0x05}, 200), ioPCX},
      {"PcxVersion0", Bytes({0x0A, 0x00}, 129), ioPCX},
      {"PcxVersion6", Bytes({0x0A, 0x06}, 200), ioUnknown},
      {"Pcx128", Bytes({0x0A, 0x05}, 128), ioUnknown},
      {"TiffStreamHeader", Text("TIFF", 13), ioTIFF},
      {"TiffIntel", Bytes({'I', 'I', 42, 0}, 9), ioTIFF},
      {"TiffMotorola", Bytes({'M', 'M', 0, 42}, 9), ioTIFF},
      {"Tiff8", Bytes({'I', 'I', 42, 0}, 8), ioUnknown},
      {"Png", Bytes({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, 9), ioPNG},
      {"PngBadSignature", Bytes({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0B}, 40), ioUnknown},
      {"Icon", Directory(1, 22, 40), ioICO},
      {"Cursor", Directory(2, 22, 40), ioCUR},
      {"IconOnly22Bytes", Directory(1, 22, 22), ioUnknown},
      {"IconImageInsideItsEntry", Directory(1, 21, 40), ioUnknown},
      {"IconReservedByteSet", Directory(1, 22, 40, 1), ioUnknown},
      {"Empty", {}, ioUnknown},
      {"Text", Text("hello, world", 300), ioUnknown},
  };
}

class Detection : public ::testing::TestWithParam<DetectCase> {};

TEST_P(Detection, FromTheStreamPositionWhichIsPutBack) {
  const DetectCase& c = GetParam();
  std::vector<std::uint8_t> bytes = {1, 2, 3};  // junk before the position examined
  bytes.insert(bytes.end(), c.bytes.begin(), c.bytes.end());
  TMemoryStream stream(bytes);
  stream.SetPosition(3);
  EXPECT_EQ(FindStreamFormat(stream), c.expected);
  EXPECT_EQ(stream.Position(), 3);
}

TEST_P(Detection, FromAFile) {
  TempDir dir;
  WriteBytes(dir / "probe", GetParam().bytes);
  EXPECT_EQ(FindFileFormat(dir / "probe"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Signatures, Detection, ::testing::ValuesIn(DetectCases()),
                         [](const ::testing::TestParamInfo<DetectCase>& param) {
                           return std::string(param.param.name);
                         });

TEST(DetectionFile, MissingFileIsUnknown) {
  TempDir dir;
  EXPECT_EQ(FindFileFormat(dir / "missing.bmp"), ioUnknown);
  EXPECT_EQ(FindFileFormat(dir.path()), ioUnknown);
}

TEST(DetectionFile, DecidesOnTheFirstBytesOnly) {
  // A 40-entry icon directory reaches past the bytes a file probe reads.
  std::vector<std::uint8_t> icon = {0, 0, 1, 0, 40, 0};
  for (int i = 0; i < 40; ++i) {
    const std::uint8_t entry[16] = {16, 16, 0, 0, 1, 0, 24, 0, 40, 3, 0, 0, 0, 4, 0, 0};
    icon.insert(icon.end(), entry, entry + 16);
  }
  TMemoryStream stream(icon);
  EXPECT_EQ(FindStreamFormat(stream), ioICO);
  TempDir dir;
  WriteBytes(dir / "big.ico", icon);
  EXPECT_EQ(FindFileFormat(dir / "big.ico"), ioUnknown);
}

// ---------------------------------------------------------------------------------------------
// Loading and saving by extension

struct LoadCase {
  const char* name;
  const char* file;
  // What loading a valid BMP's bytes under that name gives: "" loaded, "-" nothing and no
  // error, else the error's message (a leading "*" matches the end only).
  const char* outcome;
};
void PrintTo(const LoadCase& c, std::ostream* os) { *os << c.file; }

class LoadByExtension : public ::testing::TestWithParam<LoadCase> {};

TEST_P(LoadByExtension, ChoosesTheCodecFromTheName) {
  const LoadCase& c = GetParam();
  TempDir dir;
  WriteBytes(dir / c.file, BmpBytes(Picture()));
  TDib target = Picture(2, 2);
  TVistelIO io;
  io.SetAttachedBitmap(&target);
  io.Params.FileName = "old";
  io.Params.FileType = ioGIF;
  const std::string outcome = c.outcome;
  try {
    const bool loaded = io.LoadFromFile(dir / c.file);
    if (outcome.empty()) {
      EXPECT_TRUE(loaded);
      EXPECT_EQ(FirstDifference(target, Picture()), "");
      EXPECT_EQ(io.Params.FileType, ioBMP);
      EXPECT_EQ(io.Params.FileName, (dir / c.file).string());
    } else {
      ASSERT_EQ(outcome, "-");
      EXPECT_FALSE(loaded);
      EXPECT_EQ(io.Params.FileType, ioUnknown);
      EXPECT_EQ(io.Params.FileName, "");
      EXPECT_EQ(target.Width(), 2);
    }
  } catch (const EInvalidGraphic& e) {
    const std::string message = e.what();
    if (outcome.size() > 1 && outcome[0] == '*')
      EXPECT_TRUE(message.ends_with(outcome.substr(1))) << message;
    else
      EXPECT_EQ(message, outcome);
    EXPECT_EQ(target.Width(), 2);
    EXPECT_EQ(io.Params.FileName, "old");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Names, LoadByExtension,
    ::testing::Values(LoadCase{"Bmp", "a.bmp", ""}, LoadCase{"BmpUpper", "A.BMP", ""},
                      LoadCase{"DotBmp", ".bmp", ""},
                      LoadCase{"JpgUpper", "Photo.JPG", "unrecognized JPEG"},
                      LoadCase{"Jpeg", "photo.jpeg", "unrecognized JPEG"},
                      LoadCase{"Jpe", "photo.jpe", "-"}, LoadCase{"NoExtension", "photo", "-"},
                      LoadCase{"Png", "x.png", "unrecognized PNG"},
                      LoadCase{"Pcx", "x.pcx", "unrecognized PCX"},
                      LoadCase{"Gif", "x.gif", "* : unrecognized GIF"},
                      LoadCase{"Tif", "x.tif", "* : unrecognized TIFF"},
                      LoadCase{"Tiff", "x.TIFF", "* : unrecognized TIFF"},
                      LoadCase{"LastDotCounts", "x.bmp.png", "unrecognized PNG"}),
    [](const ::testing::TestParamInfo<LoadCase>& param) { return std::string(param.param.name); });

TEST(LoadErrors, MissingFilesReportAsTheFormatTableSays) {
  TempDir dir;
  TDib target = Picture();
  TVistelIO io;
  io.SetAttachedBitmap(&target);
  const auto message = [&](const char* name) -> std::string {
    try {
      io.LoadFromFile(dir / name);
    } catch (const EInvalidGraphic& e) {
      return e.what();
    } catch (const EFOpenError&) {
      return "open error";
    }
    return "no error";
  };
  // BMP, PCX and GIF report every failure as their own; TIFF, JPEG and PNG let it pass.
  EXPECT_EQ(message("none.bmp"), "unrecognized BMP");
  EXPECT_EQ(message("none.pcx"), "unrecognized PCX");
  EXPECT_TRUE(message("none.gif").ends_with(" : unrecognized GIF"));
  EXPECT_EQ(message("none.tif"), "open error");
  EXPECT_EQ(message("none.jpg"), "open error");
  EXPECT_EQ(message("none.png"), "open error");
}

TEST(LoadErrors, NoTargetDoesNothing) {
  TempDir dir;
  WriteBytes(dir / "a.bmp", BmpBytes(Picture()));
  TVistelIO io;
  EXPECT_FALSE(io.LoadFromFile(dir / "a.bmp"));
  EXPECT_FALSE(io.SaveToFile(dir / "b.bmp"));
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"a.bmp"}));
}

TEST(Load, FillsTheRecordOnlyOnSuccess) {
  TempDir dir;
  TIOParamsVals written;
  written.BitsPerSample = 4;
  written.SamplesPerPixel = 1;
  written.DpiX = 300;
  written.BMP_Compression = ioBMP_RLE;
  {
    TDib source = Picture();
    TVistelIO io;
    io.SetAttachedBitmap(&source);
    io.Params = written;
    ASSERT_TRUE(io.SaveToFile(dir / "a.bmp"));
  }
  TDib target;
  TVistelIO io;
  io.SetAttachedBitmap(&target);
  io.Params.JPEG_Quality = 77;
  ASSERT_TRUE(io.LoadFromFile(dir / "a.bmp"));
  EXPECT_EQ(io.Params.BitsPerSample, 4);
  EXPECT_EQ(io.Params.SamplesPerPixel, 1);
  EXPECT_EQ(io.Params.DpiX, 300);
  EXPECT_EQ(io.Params.BMP_Compression, ioBMP_RLE);
  EXPECT_EQ(io.Params.ColorMapCount, 16);
  EXPECT_EQ(io.Params.Width, 6);
  EXPECT_EQ(io.Params.JPEG_Quality, 77) << "fields of other formats stay";
  EXPECT_EQ(io.GetFileTypeStr(), "Windows Bitmap (BMP) RLE");

  WriteBytes(dir / "bad.bmp", {'B', 'M', 1, 2, 3});
  const TIOParamsVals before = io.Params;
  EXPECT_THROW(io.LoadFromFile(dir / "bad.bmp"), EInvalidGraphic);
  EXPECT_EQ(io.Params.FileName, before.FileName);
  EXPECT_EQ(io.Params.ColorMapCount, 16);
}

struct SaveCase {
  const char* file;
  TIOFileType written;  // the format the file must hold
};
void PrintTo(const SaveCase& c, std::ostream* os) { *os << c.file; }

class SaveByExtension : public ::testing::TestWithParam<SaveCase> {};

TEST_P(SaveByExtension, ChoosesTheWriterFromTheNameAndBmpOtherwise) {
  const SaveCase& c = GetParam();
  TempDir dir;
  TDib source = Picture();
  TVistelIO io;
  io.SetAttachedBitmap(&source);
  bool saved = false;
  try {
    saved = io.SaveToFile(dir / c.file);
  } catch (const std::exception&) {
    // A format whose writer is not there yet fails; it must not fall back to BMP.
    EXPECT_NE(c.written, ioBMP);
    EXPECT_TRUE(dir.Entries().empty()) << "nothing is left behind";
    return;
  }
  EXPECT_TRUE(saved);
  EXPECT_EQ(FindFileFormat(dir / c.file), c.written);
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{c.file}));
}

INSTANTIATE_TEST_SUITE_P(
    Names, SaveByExtension,
    ::testing::Values(SaveCase{"a.bmp", ioBMP}, SaveCase{"picture.xyz", ioBMP},
                      SaveCase{"noextension", ioBMP}, SaveCase{"photo.jpe", ioBMP},
                      SaveCase{"scan.tif", ioTIFF}, SaveCase{"scan.tiff", ioTIFF},
                      SaveCase{"a.JPG", ioJPEG}, SaveCase{"a.jpeg", ioJPEG},
                      SaveCase{"a.png", ioPNG}, SaveCase{"a.gif", ioGIF}, SaveCase{"a.pcx", ioPCX}),
    [](const ::testing::TestParamInfo<SaveCase>& param) {
      std::string name = param.param.file;
      for (char& ch : name)
        if (ch == '.') ch = '_';
      return name;
    });

// ---------------------------------------------------------------------------------------------
// Saves keep the previous file until the new one is complete

class SaveSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = BmpBytes(Picture(3, 3));
    WriteBytes(target(), old_);
    io_.SetAttachedBitmap(&source_);
  }
  std::filesystem::path target() const { return dir_ / "image.bmp"; }

  TempDir dir_;
  std::vector<std::uint8_t> old_;
  TDib source_ = Picture(50, 40);
  TVistelIO io_;
};

TEST_F(SaveSafety, AbortedSaveLeavesThePreviousFileAndNoTemporary) {
  io_.OnProgress = [this](void* sender, int percent) {
    EXPECT_EQ(sender, &io_);
    if (percent >= 50) io_.Aborting = true;
  };
  EXPECT_FALSE(io_.SaveToFile(target()));
  EXPECT_EQ(ReadBytes(target()), old_);
  EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"image.bmp"}));
  // Aborting is cleared by the next save.
  io_.OnProgress = nullptr;
  EXPECT_TRUE(io_.SaveToFile(target()));
  EXPECT_EQ(ReadBytes(target()), BmpBytes(source_));
  EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"image.bmp"}));
}

TEST_F(SaveSafety, FailingWriterLeavesThePreviousFile) {
  const std::filesystem::path gif = dir_ / "image.gif";
  WriteBytes(gif, old_);
  EXPECT_ANY_THROW(io_.SaveToFile(gif));
  EXPECT_EQ(ReadBytes(gif), old_);
  EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"image.bmp", "image.gif"}));
}

TEST_F(SaveSafety, UncreatableFileRaisesTheCreationError) {
  EXPECT_THROW(io_.SaveToFile(dir_ / "missing" / "image.bmp"), EFCreateError);
  EXPECT_THROW(io_.SaveToFile(dir_.path()), EFCreateError);
  EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"image.bmp"}));
}

TEST_F(SaveSafety, ReplacedFileKeepsItsPermissions) {
  ASSERT_EQ(::chmod(target().c_str(), 0640), 0);
  ASSERT_TRUE(io_.SaveToFile(target()));
  struct stat st {};
  ASSERT_EQ(::stat(target().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(Progress, LoadReportsUpToAHundredAndStopsWhenAborted) {
  TempDir dir;
  WriteBytes(dir / "a.bmp", BmpBytes(Picture(5, 20)));
  TDib target = Picture(2, 2);
  TVistelIO io;
  io.SetAttachedBitmap(&target);
  std::vector<int> seen;
  io.OnProgress = [&](void*, int percent) { seen.push_back(percent); };
  ASSERT_TRUE(io.LoadFromFile(dir / "a.bmp"));
  ASSERT_EQ(seen.size(), 20u);
  EXPECT_EQ(seen.front(), 5);
  EXPECT_EQ(seen.back(), 100);

  TDib other = Picture(2, 2);
  io.SetAttachedBitmap(&other);
  io.OnProgress = [&](void*, int percent) { io.Aborting = percent >= 40; };
  EXPECT_FALSE(io.LoadFromFile(dir / "a.bmp"));
  EXPECT_EQ(FirstDifference(other, Picture(2, 2)), "") << "an aborted load changes nothing";
}

// ---------------------------------------------------------------------------------------------
// Streams

TEST(Streams, BmpRoundTripAndItsStreamMessage) {
  TDib source = Picture();
  TVistelIO io;
  io.SetAttachedBitmap(&source);
  TMemoryStream stream;
  ASSERT_TRUE(io.SaveToStreamBMP(stream));
  stream.SetPosition(0);
  TDib target;
  io.SetAttachedBitmap(&target);
  ASSERT_TRUE(io.LoadFromStreamBMP(stream));
  EXPECT_EQ(FirstDifference(target, source), "");
  EXPECT_EQ(io.Params.FileName, "") << "a stream has no name";
  EXPECT_EQ(io.Params.FileType, ioBMP);

  TMemoryStream junk(std::vector<std::uint8_t>(100, 'x'));
  try {
    io.LoadFromStreamBMP(junk);
    ADD_FAILURE();
  } catch (const EInvalidGraphic& e) {
    EXPECT_STREQ(e.what(), "unrecognized BMP stream");
  }
}

TEST(Streams, HeaderHoldsTagZerosAndLength) {
  TMemoryStream stream;
  stream.WriteBuffer("ab", 2);
  const std::int64_t at = BeginStreamHeader(stream);
  stream.WriteBuffer("0123456789", 10);
  EndStreamHeader(stream, at, "PCX2");
  EXPECT_EQ(stream.Position(), 24);
  const std::vector<std::uint8_t>& b = stream.Bytes();
  EXPECT_EQ(std::string(b.begin() + 2, b.begin() + 6), "PCX2");
  EXPECT_EQ(Le32(b, 6), 0u);
  EXPECT_EQ(Le32(b, 10), 10u);

  stream.SetPosition(2);
  EXPECT_EQ(ReadStreamHeader(stream, "PCX2"), 10);
  EXPECT_EQ(stream.Position(), 14);
  stream.SetPosition(2);
  EXPECT_THROW(ReadStreamHeader(stream, "TIFF"), EInvalidGraphic);
  // A length beyond the stream is refused rather than trusted.
  stream.Bytes()[12] = 1;
  stream.SetPosition(2);
  EXPECT_THROW(ReadStreamHeader(stream, "PCX2"), EInvalidGraphic);
}

TEST(Streams, HeaderedFormatsCheckTheTagFirst) {
  TDib target = Picture(2, 2);
  TVistelIO io;
  io.SetAttachedBitmap(&target);
  TMemoryStream stream(std::vector<std::uint8_t>(40, 0));
  try {
    io.LoadFromStreamPCX(stream);
    ADD_FAILURE();
  } catch (const EInvalidGraphic& e) {
    EXPECT_STREQ(e.what(), "unrecognized PCX stream");
  }
  stream.SetPosition(0);
  try {
    io.LoadFromStreamTIFF(stream);
    ADD_FAILURE();
  } catch (const EInvalidGraphic& e) {
    EXPECT_TRUE(std::string(e.what()).ends_with(" : unrecognized TIFF stream")) << e.what();
  }
}

// ---------------------------------------------------------------------------------------------
// Examining without loading

TEST(ParamsFromFile, ReadsHeadersOnlyAndNeverRaises) {
  TempDir dir;
  WriteBytes(dir / "a.dat", BmpBytes(Picture(9, 7)));  // detected by content, not by name
  WriteBytes(dir / "notes.bmp", std::vector<std::uint8_t>(50, 'z'));
  TDib target = Picture(2, 2);
  TVistelIO io;
  io.SetAttachedBitmap(&target);
  io.ParamsFromFile(dir / "a.dat");
  EXPECT_EQ(io.Params.FileType, ioBMP);
  EXPECT_EQ(io.Params.Width, 9);
  EXPECT_EQ(io.Params.Height, 7);
  EXPECT_EQ(io.Params.FileName, (dir / "a.dat").string());
  EXPECT_EQ(target.Width(), 2);
  EXPECT_NO_THROW(io.ParamsFromFile(dir / "notes.bmp"));
  EXPECT_EQ(io.Params.FileType, ioUnknown);
  io.Params.FileType = ioBMP;
  EXPECT_NO_THROW(io.ParamsFromFile(dir / "missing.bmp"));
  EXPECT_EQ(io.Params.FileType, ioUnknown);
}

// ---------------------------------------------------------------------------------------------
// Parameter record

TEST(Params, DefaultsAndAssign) {
  TIOParamsVals p;
  EXPECT_EQ(p.BMP_Version, ioBMP_BM3);
  EXPECT_EQ(p.GIF_Version, "GIF89a");
  EXPECT_EQ(p.JPEG_ColorSpace, ioJPEG_YCbCr);
  EXPECT_EQ(p.JPEG_Quality, 50);
  EXPECT_EQ(p.JPEG_Scale, ioJPEG_FULLSIZE);
  EXPECT_EQ(p.PCX_Version, 5);
  EXPECT_EQ(p.PCX_Compression, ioPCX_RLE);
  EXPECT_EQ(p.TIFF_PlanarConf, 1);
  EXPECT_EQ(p.PNG_Compression, 5);
  EXPECT_EQ(p.GIF_LZWDecompFunc, nullptr);

  p.SetColorMap({TRGB{1, 2, 3}, TRGB{4, 5, 6}});
  p.JPEG_Quality = 90;
  TIOParamsVals q;
  q.Assign(p);
  p.ColorMap[0] = TRGB{9, 9, 9};
  EXPECT_EQ(q.ColorMapCount, 2);
  EXPECT_EQ(q.ColorMap[0], (TRGB{1, 2, 3})) << "the colour map is duplicated";
  EXPECT_EQ(q.JPEG_Quality, 90);
  q.SetDefaultParams();
  EXPECT_EQ(q.JPEG_Quality, 50);
  EXPECT_EQ(q.ColorMapCount, 0);
}

struct SetCase {
  const char* name;
  const char* value;
  const char* readBack;  // null: refused
};
void PrintTo(const SetCase& c, std::ostream* os) { *os << c.name << "=" << c.value; }

class ParamText : public ::testing::TestWithParam<SetCase> {};

TEST_P(ParamText, SetsByNameOrRefuses) {
  const SetCase& c = GetParam();
  TIOParamsVals p;
  const TIOParamsVals before = p;
  const TStatus s = SetIOParamText(p, c.name, c.value);
  if (c.readBack) {
    EXPECT_TRUE(s) << s.message();
    EXPECT_EQ(GetIOParamText(p, c.name).value_or("?"), c.readBack);
  } else {
    EXPECT_FALSE(s);
    EXPECT_FALSE(s.message().empty());
    EXPECT_EQ(GetIOParamText(p, c.name), GetIOParamText(before, c.name));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, ParamText,
    ::testing::Values(SetCase{"TIFF_Compression", "ioTIFF_LZW", "ioTIFF_LZW"},
                      SetCase{"TIFF_Compression", "8", "ioTIFF_PACKBITS"},
                      SetCase{"TIFF_Compression", "9", nullptr},
                      SetCase{"TIFF_Compression", "ioTIFF_lzw", nullptr},
                      SetCase{"BMP_Version", "ioBMP_BMOS2V1", "ioBMP_BMOS2V1"},
                      SetCase{"BMP_Version", "-1", nullptr},
                      SetCase{"JPEG_Scale", "0", "ioJPEG_AUTOCALC"},
                      SetCase{"PNG_Filter", "ioPNG_FILTER_PAETH", "ioPNG_FILTER_PAETH"},
                      SetCase{"GIF_Interlaced", "true", "true"}, SetCase{"GIF_Interlaced", "1", "true"},
                      SetCase{"PNG_Interlaced", "0", "false"}, SetCase{"JPEG_Progressive", "yes", nullptr},
                      SetCase{"JPEG_Quality", "100", "100"}, SetCase{"JPEG_Quality", "101", nullptr},
                      SetCase{"JPEG_Quality", "5x", nullptr}, SetCase{"JPEG_Quality", "", nullptr},
                      SetCase{"PNG_Compression", "9", "9"}, SetCase{"DpiX", "0", nullptr},
                      SetCase{"GIF_Background", "255,128,0", "255,128,0"},
                      SetCase{"GIF_Background", "255,128", nullptr},
                      SetCase{"GIF_Version", "GIF87a", "GIF87a"}, SetCase{"GIF_Version", "GIF88a", nullptr},
                      SetCase{"TIFF_PageName", "page one", "page one"},
                      SetCase{"Width", "10", nullptr}, SetCase{"FileType", "ioBMP", nullptr},
                      SetCase{"NoSuchField", "1", nullptr}),
    [](const ::testing::TestParamInfo<SetCase>& param) {
      return std::to_string(param.index) + "_" + param.param.name;
    });

TEST(Params, NamesOfAFormatIncludeTheGeneralFields) {
  const std::vector<std::string> bmp = IOParamNames(ioBMP);
  for (const char* name : {"FileName", "FileType", "Width", "Height", "DpiX", "BitsPerSample",
                           "ColorMapCount", "BMP_Version", "BMP_Compression"})
    EXPECT_NE(std::find(bmp.begin(), bmp.end(), name), bmp.end()) << name;
  EXPECT_EQ(std::find(bmp.begin(), bmp.end(), "JPEG_Quality"), bmp.end());
  for (const std::string& name : IOParamNames(ioTIFF)) EXPECT_TRUE(GetIOParamText(TIOParamsVals(), name)) << name;
}

TEST(FileTypeStr, NamesTheFormatAndItsDetail) {
  const struct {
    TIOFileType type;
    void (*tweak)(TIOParamsVals&);
    const char* text;
  } cases[] = {
      {ioBMP, [](TIOParamsVals&) {}, "Windows Bitmap (BMP) Uncompressed"},
      {ioBMP, [](TIOParamsVals& p) { p.BMP_Compression = ioBMP_RLE; }, "Windows Bitmap (BMP) RLE"},
      {ioTIFF, [](TIOParamsVals& p) { p.TIFF_Compression = ioTIFF_G3FAX2D; }, "TIFF Bitmap (TIF) Group 3 Fax 2D"},
      {ioTIFF, [](TIOParamsVals& p) { p.TIFF_Compression = ioTIFF_OLDJPEG; }, "TIFF Bitmap (TIF) Jpeg v.5"},
      {ioGIF, [](TIOParamsVals& p) { p.GIF_Interlaced = true; }, "CompuServe Bitmap (GIF) Interlaced"},
      {ioGIF, [](TIOParamsVals&) {}, "CompuServe Bitmap (GIF)"},
      {ioJPEG, [](TIOParamsVals& p) { p.JPEG_ColorSpace = ioJPEG_RGB; }, "JPEG Bitmap (JPG)"},
      {ioJPEG, [](TIOParamsVals& p) { p.JPEG_ColorSpace = ioJPEG_GRAYLEV; }, "JPEG Bitmap (JPG) Gray level"},
      {ioPCX, [](TIOParamsVals&) {}, "PaintBrush (PCX) RLE"},
      {ioPNG, [](TIOParamsVals&) {}, "Portable Network Graphics (PNG)"},
      {ioEMF, [](TIOParamsVals&) {}, "Enhanced Windows Metafile (EMF)"},
      {ioUnknown, [](TIOParamsVals&) {}, ""},
  };
  for (const auto& c : cases) {
    TIOParamsVals p;
    p.FileType = c.type;
    c.tweak(p);
    EXPECT_EQ(GetFileTypeStr(p), c.text);
  }
}

// ---------------------------------------------------------------------------------------------
// Packed DIB (the clipboard's layout)

TEST(PackedDib, TrueColourHeaderRowsAndRoundTrip) {
  const TDib source = Picture(5, 3);
  const std::vector<std::uint8_t> dib = EncodePackedDib(source);
  ASSERT_EQ(dib.size(), 40u + 16u * 3u);
  EXPECT_EQ(Le32(dib, 0), 40u);
  EXPECT_EQ(Le32(dib, 4), 5u);
  EXPECT_EQ(Le32(dib, 8), 3u);
  EXPECT_EQ(Le16(dib, 12), 1u);
  EXPECT_EQ(Le16(dib, 14), 24u);
  EXPECT_EQ(Le32(dib, 16), 0u);
  EXPECT_EQ(std::memcmp(dib.data() + 40, source.Rows(), source.ByteSize()), 0) << "rows bottom-up";
  TDib back;
  ASSERT_TRUE(DecodePackedDib(dib.data(), dib.size(), back));
  EXPECT_EQ(FirstDifference(back, source), "");
}

TEST(PackedDib, OneBitCarriesItsPalette) {
  TDib mono;
  ASSERT_TRUE(mono.SetSize(10, 2, TPixelFormat::pf1bit));
  mono.ScanLine(0)[0] = 0xF0;
  const std::vector<std::uint8_t> dib = EncodePackedDib(mono);
  ASSERT_EQ(dib.size(), 40u + 8u + 4u * 2u);
  EXPECT_EQ(Le16(dib, 14), 1u);
  EXPECT_EQ(std::vector<std::uint8_t>(dib.begin() + 40, dib.begin() + 48),
            (std::vector<std::uint8_t>{0, 0, 0, 0, 255, 255, 255, 0}));
  TDib back;
  ASSERT_TRUE(DecodePackedDib(dib.data(), dib.size(), back));
  EXPECT_EQ(back.PixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(FirstDifference(back, mono), "");
}

TEST(PackedDib, BitFieldDibFromAnotherProgram) {
  // 40-byte header, BI_BITFIELDS 5-6-5, the masks after the header, one pixel.
  std::vector<std::uint8_t> dib(40 + 12 + 4, 0);
  dib[0] = 40;
  dib[4] = 1;
  dib[8] = 1;
  dib[12] = 1;
  dib[14] = 16;
  dib[16] = 3;
  const std::uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
  std::memcpy(dib.data() + 40, masks, sizeof masks);
  dib[52] = 0x1F;  // pure blue
  TDib back;
  ASSERT_TRUE(DecodePackedDib(dib.data(), dib.size(), back));
  EXPECT_EQ(PixelAt(back, 0, 0), (Rgb{0, 0, 255}));
}

TEST(PackedDib, GarbageLeavesTheTargetAlone) {
  TDib target = Picture(2, 2);
  const std::vector<std::uint8_t> junk(30, 0xEE);
  EXPECT_FALSE(DecodePackedDib(junk.data(), junk.size(), target));
  EXPECT_FALSE(DecodePackedDib(nullptr, 0, target));
  EXPECT_EQ(FirstDifference(target, Picture(2, 2)), "");

  TVistelProc proc;
  proc.SetAttachedBitmap(&target);
  const std::vector<std::uint8_t> dib = proc.CopyToPackedDib();
  TDib other = Picture(7, 7);
  proc.SetAttachedBitmap(&other);
  ASSERT_TRUE(proc.PasteFromPackedDib(dib.data(), dib.size()));
  EXPECT_EQ(FirstDifference(other, target), "");
}

// ---------------------------------------------------------------------------------------------
// The view attachment

class FakeView final : public IVistelView {
 public:
  TDib& GetFBitmap() override { return bitmap; }
  TColor GetBackground() const override { return background; }
  void SetBackGround(TColor color) override { background = color; }
  void SetDPI(int x, int y) override { dpiX = x, dpiY = y; }
  int GetDpiX() const override { return dpiX; }
  int GetDpiY() const override { return dpiY; }
  void Update() override { ++updates; }
  void RegisterBitmapChangeEvent(IBitmapChangeListener* l) override { listener = l; }
  void RemoveBitmapChangeEvent(IBitmapChangeListener* l) override {
    if (listener == l) listener = nullptr;
  }

  TDib bitmap;
  TColor background = RGBColor(1, 2, 3);
  int dpiX = 0, dpiY = 0, updates = 0;
  IBitmapChangeListener* listener = nullptr;
};

TEST(View, LoadFillsTheViewsBitmapAndSetsItsResolution) {
  TempDir dir;
  TDib source = Picture();
  {
    TVistelIO writer;
    writer.SetAttachedBitmap(&source);
    writer.Params.DpiX = 200;
    writer.Params.DpiY = 100;
    ASSERT_TRUE(writer.SaveToFile(dir / "a.bmp"));
  }
  FakeView view;
  TVistelIO io;
  io.SetAttachedVistel(&view);
  EXPECT_EQ(view.listener, &io);
  EXPECT_EQ(io.Bitmap(), &view.bitmap);
  EXPECT_EQ(io.Background(), RGBColor(1, 2, 3));
  ASSERT_TRUE(io.LoadFromFile(dir / "a.bmp"));
  EXPECT_EQ(FirstDifference(view.bitmap, source), "");
  EXPECT_EQ(view.dpiX, 200);
  EXPECT_EQ(view.dpiY, 100);
  EXPECT_EQ(view.updates, 1);

  io.SetAttachedBitmap(&source);
  EXPECT_EQ(view.listener, nullptr) << "a bitmap target detaches the view";
  EXPECT_EQ(io.AttachedVistel(), nullptr);
}

TEST(View, DestroyedViewIsForgotten) {
  TempDir dir;
  WriteBytes(dir / "a.bmp", BmpBytes(Picture()));
  FakeView view;
  TVistelIO io;
  io.SetAttachedVistel(&view);
  view.listener->ViewDestroyed(view);
  EXPECT_EQ(io.AttachedVistel(), nullptr);
  EXPECT_EQ(io.Bitmap(), nullptr);
  EXPECT_FALSE(io.LoadFromFile(dir / "a.bmp"));
  EXPECT_TRUE(view.bitmap.Empty());
}

TEST(View, WithoutAViewTheBackgroundIsTheComponentsOwn) {
  TDib target = Picture(2, 2);
  TVistelIO io;
  io.SetAttachedBitmap(&target);
  io.SetBackground(RGBColor(10, 20, 30));
  EXPECT_EQ(io.Background(), RGBColor(10, 20, 30));
  io.Clear();
  EXPECT_EQ(PixelAt(target, 1, 1), (Rgb{10, 20, 30}));
}

}  // namespace
}  // namespace korvane
