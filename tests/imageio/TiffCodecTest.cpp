// TIFF codec: the shared test suite, round trips of every compression the writer makes, files
// assembled byte by byte (big-endian data, page chains, tiles, broken structures), and the fax
// and LZW coders on their own.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "ImageTestUtil.h"
#include "imageio/LzwHooks.h"
#include "imageio/Tifccitt.h"
#include "imageio/Tiffilt.h"
#include "imageio/Tiflzw.h"
#include "imageio/Vistelio.h"
#include "support/TestData.h"

namespace korvane {
namespace {

using test::FirstDifference;
using test::MakeBitmap;
using test::PixelAt;
using test::ReadPpm;
using test::Rgb;

// ---------------------------------------------------------------------------------------------
// Files assembled tag by tag

struct Tag {
  std::uint16_t tag;
  std::uint16_t type;  // 1 BYTE, 2 ASCII, 3 SHORT, 4 LONG, 5 RATIONAL (values as pairs)
  std::vector<std::uint32_t> values;
  std::string text = {};
  // Where the value bytes go instead of inside the entry or after the strips (an old writer's
  // habit, or a deliberately bad offset).
  std::optional<std::uint32_t> offset = {};
};

struct Page {
  std::vector<std::vector<std::uint8_t>> strips;  // StripOffsets/StripByteCounts made from them
  std::vector<Tag> tags;
  bool tiles = false;  // the chunks are tiles: TileOffsets/TileByteCounts
};

class TiffFile {
 public:
  explicit TiffFile(bool big) : big_(big) {}

  std::vector<std::uint8_t> Build(const std::vector<Page>& pages,
                                  std::optional<std::uint32_t> lastNext = {}) {
    bytes_.clear();
    bytes_.push_back(big_ ? 'M' : 'I');
    bytes_.push_back(big_ ? 'M' : 'I');
    U16(42);
    U32(0);
    std::size_t link = 4;
    std::vector<std::uint32_t> ifdOffsets;
    for (const Page& page : pages) {
      std::vector<std::uint32_t> offsets, counts;
      for (const auto& strip : page.strips) {
        offsets.push_back(static_cast<std::uint32_t>(bytes_.size()));
        counts.push_back(static_cast<std::uint32_t>(strip.size()));
        bytes_.insert(bytes_.end(), strip.begin(), strip.end());
      }
      std::vector<Tag> tags = page.tags;
      const auto has = [&](std::uint16_t t) {
        return std::any_of(tags.begin(), tags.end(), [&](const Tag& x) { return x.tag == t; });
      };
      const std::uint16_t offsetTag = page.tiles ? 324 : 273, countTag = page.tiles ? 325 : 279;
      if (!page.strips.empty() && !has(offsetTag)) tags.push_back({offsetTag, 4, offsets});
      if (!page.strips.empty() && !has(countTag)) tags.push_back({countTag, 4, counts});
      std::sort(tags.begin(), tags.end(), [](const Tag& a, const Tag& b) { return a.tag < b.tag; });
      std::vector<std::vector<std::uint8_t>> values;
      for (const Tag& t : tags) values.push_back(Values(t));
      std::vector<std::uint32_t> valueOffsets(tags.size(), 0);
      for (std::size_t i = 0; i < tags.size(); ++i) {
        if (tags[i].offset) {
          valueOffsets[i] = *tags[i].offset;
          continue;
        }
        if (values[i].size() <= 4) continue;
        if (bytes_.size() & 1) bytes_.push_back(0);
        valueOffsets[i] = static_cast<std::uint32_t>(bytes_.size());
        bytes_.insert(bytes_.end(), values[i].begin(), values[i].end());
      }
      if (bytes_.size() & 1) bytes_.push_back(0);
      const auto ifd = static_cast<std::uint32_t>(bytes_.size());
      ifdOffsets.push_back(ifd);
      Patch32(link, ifd);
      U16(static_cast<std::uint32_t>(tags.size()));
      for (std::size_t i = 0; i < tags.size(); ++i) {
        const Tag& t = tags[i];
        U16(t.tag);
        U16(t.type);
        U32(t.type == 2   ? static_cast<std::uint32_t>(t.text.size() + 1)
            : t.type == 5 ? static_cast<std::uint32_t>(t.values.size() / 2)
                          : static_cast<std::uint32_t>(t.values.size()));
        if (values[i].size() <= 4 && !t.offset) {
          std::vector<std::uint8_t> v = values[i];
          v.resize(4, 0);
          bytes_.insert(bytes_.end(), v.begin(), v.end());
        } else {
          U32(valueOffsets[i]);
        }
      }
      link = bytes_.size();
      U32(0);
    }
    if (lastNext) Patch32(link, *lastNext);
    ifds_ = ifdOffsets;
    return bytes_;
  }
  const std::vector<std::uint32_t>& Ifds() const { return ifds_; }

  void Put16(std::vector<std::uint8_t>& v, std::uint32_t x) const {
    if (big_)
      v.insert(v.end(), {static_cast<std::uint8_t>(x >> 8), static_cast<std::uint8_t>(x)});
    else
      v.insert(v.end(), {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(x >> 8)});
  }
  void Put32(std::vector<std::uint8_t>& v, std::uint32_t x) const {
    if (big_) {
      Put16(v, x >> 16);
      Put16(v, x & 0xFFFF);
    } else {
      Put16(v, x & 0xFFFF);
      Put16(v, x >> 16);
    }
  }

 private:
  std::vector<std::uint8_t> Values(const Tag& t) const {
    std::vector<std::uint8_t> v;
    if (t.type == 2) {
      v.assign(t.text.begin(), t.text.end());
      v.push_back(0);
      return v;
    }
    for (const std::uint32_t x : t.values) {
      if (t.type == 1)
        v.push_back(static_cast<std::uint8_t>(x));
      else if (t.type == 3)
        Put16(v, x);
      else
        Put32(v, x);
    }
    return v;
  }
  void U16(std::uint32_t x) { Put16(bytes_, x); }
  void U32(std::uint32_t x) { Put32(bytes_, x); }
  void Patch32(std::size_t at, std::uint32_t x) {
    std::vector<std::uint8_t> v;
    Put32(v, x);
    std::copy(v.begin(), v.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(at));
  }

  bool big_;
  std::vector<std::uint8_t> bytes_;
  std::vector<std::uint32_t> ifds_;
};

// An 8-bit grey page of one uncompressed strip.
Page GreyPage(int width, int height, std::uint8_t value, std::vector<Tag> extra = {}) {
  Page p;
  p.strips.push_back(std::vector<std::uint8_t>(static_cast<std::size_t>(width * height), value));
  p.tags = {{256, 4, {static_cast<std::uint32_t>(width)}},
            {257, 4, {static_cast<std::uint32_t>(height)}},
            {258, 3, {8}},
            {259, 3, {1}},
            {262, 3, {1}},
            {277, 3, {1}},
            {278, 4, {static_cast<std::uint32_t>(height)}}};
  p.tags.insert(p.tags.end(), extra.begin(), extra.end());
  return p;
}

struct ReadResult {
  TDib bitmap;
  TIOParamsVals params;
  int images = 0;
};

ReadResult Read(const std::vector<std::uint8_t>& bytes, int index = 0, bool paramsOnly = false,
                bool hooks = true) {
  ReadResult r;
  if (hooks) InstallLzwCoders(r.params);
  r.params.TIFF_ImageIndex = index;
  TMemoryStream stream(bytes);
  TProgressRec progress;
  TIFFReadStream(r.bitmap, stream, r.images, paramsOnly, progress, r.params);
  return r;
}

std::string RefusalOf(const std::vector<std::uint8_t>& bytes, bool hooks = true) {
  try {
    Read(bytes, 0, false, hooks);
  } catch (const EInvalidGraphic& e) {
    return e.what();
  }
  return "accepted";
}

std::vector<std::uint8_t> Write(const TDib& bitmap, TIOParamsVals& params) {
  TMemoryStream stream;
  TProgressRec progress;
  TIFFWriteStream(stream, false, bitmap, progress, params);
  return stream.Bytes();
}

// The entries of a little-endian file's first IFD, by tag: type, count, value field.
struct RawEntry {
  std::uint16_t type;
  std::uint32_t count;
  std::uint32_t value;
};
std::map<std::uint16_t, RawEntry> Entries(const std::vector<std::uint8_t>& f,
                                          std::vector<std::uint16_t>* order = nullptr) {
  std::map<std::uint16_t, RawEntry> entries;
  const std::uint32_t ifd = test::Le32(f, 4);
  const int n = test::Le16(f, ifd);
  for (int i = 0; i < n; ++i) {
    const std::size_t p = ifd + 2 + 12 * static_cast<std::size_t>(i);
    entries[test::Le16(f, p)] = {test::Le16(f, p + 2), test::Le32(f, p + 4), test::Le32(f, p + 8)};
    if (order) order->push_back(test::Le16(f, p));
  }
  return entries;
}

TDib ColourPicture(int width, int height) {
  // Smooth areas, hard edges and noise, so that every coder meets runs and literals.
  std::mt19937 rng(7);
  return MakeBitmap(width, height, [&](int x, int y) {
    if (y < height / 3)
      return Rgb{static_cast<std::uint8_t>(x * 3), static_cast<std::uint8_t>(y * 5), 90};
    if (y < 2 * height / 3) return x < width / 2 ? Rgb{255, 0, 0} : Rgb{0, 0, 255};
    return Rgb{static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng()),
               static_cast<std::uint8_t>(rng())};
  });
}

TDib BilevelPicture(int width, int height) {
  TDib bmp;
  EXPECT_TRUE(bmp.SetSize(width, height, TPixelFormat::pf1bit));
  std::mt19937 rng(3);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bmp.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      // White paper with black bars, checks and specks.
      const bool black = (y % 17 < 3 && x > 10 && x < width - 20) ||
                         (y > height / 2 && ((x / 5 + y / 5) & 1)) || (rng() % 97 == 0);
      if (!black) row[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
    }
  }
  return bmp;
}

// ---------------------------------------------------------------------------------------------
// The shared suite

std::vector<std::filesystem::path> TiffFiles(const std::filesystem::path& dir) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string ext = entry.path().extension().string();
    if (ext == ".tif" || ext == ".tiff") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

TDib Sentinel() {
  return MakeBitmap(3, 2, [](int x, int y) {
    return Rgb{7, static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y)};
  });
}

// The largest difference of one channel between two pictures of the same size.
int MaxChannelDifference(const TDib& a, const TDib& b) {
  int worst = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x) {
      const Rgb p = PixelAt(a, x, y), q = PixelAt(b, x, y);
      worst = std::max({worst, std::abs(p.r - q.r), std::abs(p.g - q.g), std::abs(p.b - q.b)});
    }
  return worst;
}

// Loads through the component; true when it loaded and equals its reference (within `tolerance`
// levels, for JPEG data), false when refused with the TIFF message and the target untouched.
bool LoadAndCompare(const std::filesystem::path& file, int tolerance = 0) {
  TDib target = Sentinel();
  TVistelIO io;
  InstallLzwCoders(io.Params);
  io.SetAttachedBitmap(&target);
  try {
    EXPECT_TRUE(io.LoadFromFile(file));
  } catch (const EInvalidGraphic& e) {
    const std::string message = e.what();
    EXPECT_TRUE(message.size() > 20 && message.ends_with(" : unrecognized TIFF")) << message;
    EXPECT_EQ(FirstDifference(target, Sentinel()), "");
    return false;
  }
  EXPECT_EQ(io.Params.FileType, ioTIFF);
  const auto expected = ReadPpm(file.string() + ".ref.ppm");
  if (!expected) {
    ADD_FAILURE() << "loaded, but there is no reference";
    return true;
  }
  if (tolerance == 0) {
    EXPECT_EQ(FirstDifference(target, *expected), "");
  } else {
    const bool sameSize =
        target.Width() == expected->Width() && target.Height() == expected->Height();
    EXPECT_TRUE(sameSize);
    EXPECT_LE(sameSize ? MaxChannelDifference(target, *expected) : 255, tolerance);
  }
  return true;
}

TEST(TiffSuite, GoodFilesEqualTheirReferences) {
  KORVANE_REQUIRE_TESTDATA(data);
  const auto files = TiffFiles(data / "tiff" / "good");
  ASSERT_FALSE(files.empty());
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    // 65537 rows: more than the editor's bitmaps can hold, so it is refused cleanly.
    const bool fits = file.filename() != "big_g4.tif";
    EXPECT_EQ(LoadAndCompare(file), fits);
  }
}

TEST(TiffSuite, BadFilesAreRefused) {
  KORVANE_REQUIRE_TESTDATA(data);
  const auto files = TiffFiles(data / "tiff" / "bad");
  ASSERT_FALSE(files.empty());
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    EXPECT_FALSE(LoadAndCompare(file)) << "accepted";
  }
}

TEST(TiffSuite, QuestionableFilesHaveTheirDecidedOutcome) {
  KORVANE_REQUIRE_TESTDATA(data);
  static const std::map<std::string, bool> outcomes = {
      {"flower-minisblack-02.tif", true},
      {"flower-minisblack-12.tif", true},
      {"page-g3-1d-lsb2msb.tif", true},
      {"photo-jpeg.tif", true},
      {"photo-rgba-unassoc.tif", true},
      {"photo-tiled-lzw-pred.tif", true},
      {"quad-lzw-compat.tiff", false},  // pre-TIFF 6.0 LZW bit order
      {"smallliz.tif", false},          // old-style JPEG
  };
  const auto files = TiffFiles(data / "tiff" / "questionable");
  ASSERT_FALSE(files.empty());
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    const auto it = outcomes.find(file.filename().string());
    ASSERT_NE(it, outcomes.end()) << "no decided outcome";
    const bool jpeg = file.filename() == "photo-jpeg.tif";
    EXPECT_EQ(LoadAndCompare(file, jpeg ? 3 : 0), it->second);
  }
}

TEST(TiffSuite, ThirdPageOfTheMultipageFile) {
  KORVANE_REQUIRE_TESTDATA(data);
  const auto bytes = test::ReadBytes(data / "tiff" / "good" / "seq-1c-8b-multipage.tiff");
  const ReadResult first = Read(bytes, 0), third = Read(bytes, 2);
  EXPECT_EQ(third.images, 3);
  ASSERT_FALSE(third.bitmap.Empty());
  EXPECT_NE(FirstDifference(third.bitmap, first.bitmap), "");
}

// ---------------------------------------------------------------------------------------------
// Round trips

struct RoundTripCase {
  const char* name;
  TIOTIFFCompression compression;
  bool bilevel;
  int tag;  // Compression written
};

class TiffRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(TiffRoundTrip, ReadsBackWhatWasWritten) {
  const RoundTripCase& c = GetParam();
  // Odd sizes: partial bytes of 1-bit rows, row padding of the bitmap.
  const TDib picture = c.bilevel ? BilevelPicture(1731, 61) : ColourPicture(97, 45);
  TIOParamsVals params;
  InstallLzwCoders(params);
  params.TIFF_Compression = c.compression;
  params.BitsPerSample = c.bilevel ? 1 : 8;
  params.SamplesPerPixel = c.bilevel ? 1 : 3;
  const auto bytes = Write(picture, params);
  const auto entries = Entries(bytes);
  EXPECT_EQ(entries.at(259).value, static_cast<std::uint32_t>(c.tag));
  EXPECT_EQ(entries.count(317) == 1, c.tag == 5 && !c.bilevel) << "Predictor";
  if (c.compression == ioTIFF_G3FAX2D) {
    EXPECT_EQ(entries.at(292).value, 1u);
  }
  const ReadResult back = Read(bytes);
  EXPECT_EQ(back.bitmap.PixelFormat(), c.bilevel ? TPixelFormat::pf1bit : TPixelFormat::pf24bit);
  EXPECT_EQ(FirstDifference(back.bitmap, picture), "");
  EXPECT_EQ(back.params.TIFF_Compression, c.compression);
}

INSTANTIATE_TEST_SUITE_P(
    Compressions, TiffRoundTrip,
    ::testing::Values(RoundTripCase{"Uncompressed", ioTIFF_UNCOMPRESSED, false, 1},
                      RoundTripCase{"LzwPredictor", ioTIFF_LZW, false, 5},
                      RoundTripCase{"PackBits", ioTIFF_PACKBITS, false, 32773},
                      RoundTripCase{"BilevelUncompressed", ioTIFF_UNCOMPRESSED, true, 1},
                      RoundTripCase{"BilevelLzw", ioTIFF_LZW, true, 5},
                      RoundTripCase{"BilevelPackBits", ioTIFF_PACKBITS, true, 32773},
                      RoundTripCase{"ModifiedHuffman", ioTIFF_CCITT1D, true, 2},
                      RoundTripCase{"G3OneD", ioTIFF_G3FAX1D, true, 3},
                      RoundTripCase{"G3TwoD", ioTIFF_G3FAX2D, true, 3},
                      RoundTripCase{"G4", ioTIFF_G4FAX, true, 4}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(TiffWriter, FaxAndJpegOnColourFallBackToUncompressed) {
  const TDib picture = ColourPicture(20, 10);
  for (const TIOTIFFCompression c : {ioTIFF_G4FAX, ioTIFF_G3FAX2D, ioTIFF_JPEG, ioTIFF_OLDJPEG}) {
    TIOParamsVals params;
    params.TIFF_Compression = c;
    const auto bytes = Write(picture, params);
    EXPECT_EQ(Entries(bytes).at(259).value, 1u) << c;
    EXPECT_EQ(FirstDifference(Read(bytes).bitmap, picture), "");
  }
}

TEST(TiffWriter, BilevelWithWhiteFirstKeepsItsColours) {
  TDib picture = BilevelPicture(30, 9);
  picture.SetPalette({clWhite, clBlack});
  TIOParamsVals params;
  params.BitsPerSample = 1;
  params.SamplesPerPixel = 1;
  for (const TIOTIFFCompression c : {ioTIFF_UNCOMPRESSED, ioTIFF_G4FAX}) {
    params.TIFF_Compression = c;
    EXPECT_EQ(FirstDifference(Read(Write(picture, params)).bitmap, picture), "") << c;
  }
}

TEST(TiffWriter, LzwWithoutAnEncoderWritesUncompressed) {
  TIOParamsVals params;
  params.TIFF_Compression = ioTIFF_LZW;
  const auto entries = Entries(Write(ColourPicture(8, 8), params));
  EXPECT_EQ(entries.at(259).value, 1u);
  EXPECT_EQ(entries.count(317), 0u);
}

TEST(TiffWriter, CmykIsWithinOneLevel) {
  const TDib picture = ColourPicture(40, 30);
  TIOParamsVals params;
  params.TIFF_PhotometInterpret = ioTIFF_CMYK;
  const auto bytes = Write(picture, params);
  const auto entries = Entries(bytes);
  EXPECT_EQ(entries.at(262).value, 5u);
  EXPECT_EQ(entries.at(277).value, 4u);
  const ReadResult back = Read(bytes);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      const Rgb a = PixelAt(back.bitmap, x, y), e = PixelAt(picture, x, y);
      ASSERT_LE(std::abs(a.r - e.r) + std::abs(a.g - e.g) + std::abs(a.b - e.b), 3)
          << x << "," << y;
    }
  EXPECT_EQ(PixelAt(back.bitmap, 0, 15), (Rgb{255, 0, 0}));
}

TEST(TiffWriter, DirectoryFollowsTiff60) {
  TIOParamsVals params;
  InstallLzwCoders(params);
  params.TIFF_Compression = ioTIFF_LZW;
  params.TIFF_DocumentName = "ab";  // 3 bytes with its zero: inside the entry
  params.TIFF_ImageDescription = "a longer description";
  params.TIFF_PageName = "p";
  params.TIFF_PageNumber = 2;
  params.TIFF_PageCount = 5;
  params.DpiX = 300;
  params.DpiY = 150;
  params.TIFF_XPos = 3;
  const auto f = Write(ColourPicture(5, 3), params);
  EXPECT_EQ(f[0], 'I');
  EXPECT_EQ(f[1], 'I');
  EXPECT_EQ(test::Le16(f, 2), 42);
  EXPECT_EQ(test::Le32(f, 4) % 2, 0u);
  std::vector<std::uint16_t> order;
  const auto e = Entries(f, &order);
  EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
  EXPECT_EQ(std::adjacent_find(order.begin(), order.end()), order.end());
  EXPECT_EQ(e.at(269).value, 0x6261u);  // "ab\0" in the value field
  EXPECT_EQ(e.at(285).value, 0x70u);
  EXPECT_EQ(e.at(297).value, 2u | 5u << 16);
  EXPECT_EQ(e.at(258).count, 3u);
  EXPECT_EQ(test::Le16(f, e.at(258).value), 8);
  EXPECT_EQ(e.at(278).value, 3u);
  EXPECT_EQ(e.at(296).value, 2u);
  EXPECT_EQ(test::Le32(f, e.at(282).value), 300u);
  EXPECT_EQ(test::Le32(f, e.at(286).value), 30000u);
  EXPECT_EQ(test::Le32(f, e.at(286).value + 4), 10000u);

  const ReadResult back = Read(f);
  EXPECT_EQ(back.params.TIFF_DocumentName, "ab");
  EXPECT_EQ(back.params.TIFF_ImageDescription, "a longer description");
  EXPECT_EQ(back.params.TIFF_PageName, "p");
  EXPECT_EQ(back.params.TIFF_PageNumber, 2);
  EXPECT_EQ(back.params.TIFF_PageCount, 5);
  EXPECT_EQ(back.params.DpiX, 300);
  EXPECT_EQ(back.params.DpiY, 150);
  EXPECT_EQ(back.params.TIFF_XPos, 3);
}

TEST(TiffWriter, InsertAddsAPageAtTheIndex) {
  TIOParamsVals params;
  TMemoryStream stream;
  TProgressRec progress;
  const TDib red = MakeBitmap(4, 4, [](int, int) { return Rgb{255, 0, 0}; });
  const TDib green = MakeBitmap(5, 2, [](int, int) { return Rgb{0, 255, 0}; });
  const TDib blue = MakeBitmap(3, 3, [](int, int) { return Rgb{0, 0, 255}; });
  TIFFWriteStream(stream, false, red, progress, params);
  stream.SetPosition(0);
  params.TIFF_ImageIndex = 1;
  TIFFWriteStream(stream, true, blue, progress, params);
  stream.SetPosition(0);
  params.TIFF_ImageIndex = 1;
  TIFFWriteStream(stream, true, green, progress, params);
  const std::vector<const TDib*> expected = {&red, &green, &blue};
  for (int i = 0; i < 3; ++i) {
    const ReadResult r = Read(stream.Bytes(), i);
    EXPECT_EQ(r.images, 3);
    EXPECT_EQ(FirstDifference(r.bitmap, *expected[static_cast<std::size_t>(i)]), "") << i;
  }
}

TEST(TiffWriter, InsertIntoABigEndianFileIsRefused) {
  TiffFile file(true);
  TMemoryStream stream(file.Build({GreyPage(2, 2, 9)}));
  TIOParamsVals params;
  TProgressRec progress;
  try {
    TIFFWriteStream(stream, true, ColourPicture(2, 2), progress, params);
    FAIL() << "accepted";
  } catch (const EInvalidGraphic& e) {
    EXPECT_STREQ(e.what(), "Multi image TIFF limited to Intel format");
  }
}

TEST(TiffWriter, AbortLeavesHeaderAndDirectoryUnwritten) {
  bool aborting = false;
  TProgressEvent stop = [&](void*, int percent) { aborting = percent >= 50; };
  TProgressRec progress;
  progress.fOnProgress = &stop;
  progress.Aborting = &aborting;
  TIOParamsVals params;
  TMemoryStream stream;
  TIFFWriteStream(stream, false, ColourPicture(10, 10), progress, params);
  ASSERT_GE(stream.Bytes().size(), 8u);
  EXPECT_EQ(test::Le32(stream.Bytes(), 0), 0u);
}

TEST(TiffComponent, SavesAndLoadsByExtension) {
  test::TempDir dir;
  TDib picture = ColourPicture(33, 21);
  TVistelIO io;
  InstallLzwCoders(io.Params);
  io.SetAttachedBitmap(&picture);
  io.Params.TIFF_Compression = ioTIFF_LZW;
  ASSERT_TRUE(io.SaveToFile(dir / "scan.tiff"));
  ASSERT_TRUE(io.SaveToFile(dir / "scan.TIF"));
  for (const char* name : {"scan.tiff", "scan.TIF"}) {
    const auto bytes = test::ReadBytes(dir / name);
    EXPECT_EQ(Entries(bytes).at(259).value, 5u);
    TDib loaded;
    TVistelIO reader;
    InstallLzwCoders(reader.Params);
    reader.SetAttachedBitmap(&loaded);
    ASSERT_TRUE(reader.LoadFromFile(dir / name));
    EXPECT_EQ(reader.Params.FileType, ioTIFF);
    EXPECT_EQ(reader.Params.TIFF_Compression, ioTIFF_LZW);
    EXPECT_EQ(FirstDifference(loaded, picture), "");
  }
}

TEST(TiffComponent, StreamWithHeaderRoundTrips) {
  TDib picture = ColourPicture(19, 7);
  TVistelIO io;
  InstallLzwCoders(io.Params);
  io.SetAttachedBitmap(&picture);
  io.Params.TIFF_Compression = ioTIFF_PACKBITS;
  TMemoryStream stream;
  const std::uint8_t before[3] = {1, 2, 3};
  stream.WriteBuffer(before, 3);
  ASSERT_TRUE(io.SaveToStreamTIFF(stream));
  stream.WriteBuffer(before, 3);
  // Offsets count from the TIFF data, after the tag, four zero bytes and the length.
  EXPECT_EQ(std::string(stream.Bytes().begin() + 3, stream.Bytes().begin() + 7), "TIFF");
  EXPECT_EQ(stream.Bytes()[15], 'I');
  TDib loaded;
  TVistelIO reader;
  reader.SetAttachedBitmap(&loaded);
  stream.SetPosition(3);
  ASSERT_TRUE(reader.LoadFromStreamTIFF(stream));
  EXPECT_EQ(FirstDifference(loaded, picture), "");
  EXPECT_EQ(stream.Position(), static_cast<std::int64_t>(stream.Bytes().size()) - 3);
}

TEST(TiffComponent, LzwFileWithoutDecoderGivesTheMessage) {
  TIOParamsVals params;
  InstallLzwCoders(params);
  params.TIFF_Compression = ioTIFF_LZW;
  const auto bytes = Write(ColourPicture(6, 6), params);
  EXPECT_EQ(RefusalOf(bytes, false), "LZW Decompressor not found");
  test::TempDir dir;
  test::WriteBytes(dir / "a.tif", bytes);
  TDib target;
  TVistelIO io;
  io.SetAttachedBitmap(&target);
  try {
    io.LoadFromFile(dir / "a.tif");
    FAIL() << "accepted";
  } catch (const EInvalidGraphic& e) {
    EXPECT_STREQ(e.what(), "LZW Decompressor not found : unrecognized TIFF");
  }
}

// ---------------------------------------------------------------------------------------------
// Reading files assembled byte by byte

std::vector<std::uint8_t> Predicted(std::vector<std::uint8_t> row, int samples) {
  for (std::size_t i = row.size(); i-- > static_cast<std::size_t>(samples);)
    row[i] = static_cast<std::uint8_t>(row[i] - row[i - static_cast<std::size_t>(samples)]);
  return row;
}

std::vector<std::uint8_t> LzwStrip(const std::vector<std::vector<std::uint8_t>>& rows) {
  TMemoryStream out;
  std::shared_ptr<void> state;
  for (const auto& r : rows) TIFFLZWCompress(r.data(), r.size(), out, state);
  TIFFLZWCompress(nullptr, 0, out, state);
  return out.Bytes();
}

TEST(TiffReader, BigEndianRgbWithLzwAndPredictor) {
  const int w = 7, h = 5;
  // Two strips of 3 and 2 rows, each its own code stream.
  std::vector<std::vector<std::uint8_t>> rows;
  for (int y = 0; y < h; ++y) {
    std::vector<std::uint8_t> row;
    for (int x = 0; x < w; ++x)
      row.insert(row.end(), {static_cast<std::uint8_t>(10 * x), static_cast<std::uint8_t>(40 * y),
                             static_cast<std::uint8_t>(x * y)});
    rows.push_back(Predicted(row, 3));
  }
  Page page;
  page.strips = {LzwStrip({rows[0], rows[1], rows[2]}), LzwStrip({rows[3], rows[4]})};
  page.tags = {{256, 3, {w}},      {257, 3, {h}}, {258, 3, {8, 8, 8}}, {259, 3, {5}},
               {262, 3, {2}},      {277, 3, {3}}, {278, 3, {3}},       {317, 3, {2}},
               {282, 5, {720, 1}}, {296, 3, {3}}, {297, 3, {1, 4}},    {269, 2, {}, "doc"}};
  TiffFile file(true);
  const ReadResult r = Read(file.Build({page}));
  ASSERT_FALSE(r.bitmap.Empty());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      ASSERT_EQ(PixelAt(r.bitmap, x, y),
                (Rgb{static_cast<std::uint8_t>(10 * x), static_cast<std::uint8_t>(40 * y),
                     static_cast<std::uint8_t>(x * y)}))
          << x << "," << y;
  EXPECT_EQ(r.params.DpiX, 1828);  // 720 per centimetre
  EXPECT_EQ(r.params.TIFF_PageNumber, 1);
  EXPECT_EQ(r.params.TIFF_PageCount, 4);
  EXPECT_EQ(r.params.TIFF_DocumentName, "doc");
}

TEST(TiffReader, BigEndianSixteenBitGreyKeepsTheHighByte) {
  Page page;
  TiffFile file(true);
  std::vector<std::uint8_t> strip;
  for (const std::uint32_t v : {0x1234u, 0xFF01u, 0x00FFu}) file.Put16(strip, v);
  page.strips = {strip};
  page.tags = {{256, 3, {3}}, {257, 3, {1}}, {258, 3, {16}}, {259, 3, {1}}, {262, 3, {1}}};
  const ReadResult r = Read(file.Build({page}));
  EXPECT_EQ(PixelAt(r.bitmap, 0, 0), (Rgb{0x12, 0x12, 0x12}));
  EXPECT_EQ(PixelAt(r.bitmap, 1, 0), (Rgb{0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(PixelAt(r.bitmap, 2, 0), (Rgb{0, 0, 0}));
}

TEST(TiffReader, ThirdOfThreePages) {
  TiffFile file(false);
  const auto bytes = file.Build({GreyPage(4, 3, 10), GreyPage(5, 2, 20), GreyPage(2, 6, 30)});
  const ReadResult r = Read(bytes, 2);
  EXPECT_EQ(r.images, 3);
  EXPECT_EQ(r.bitmap.Width(), 2);
  EXPECT_EQ(r.bitmap.Height(), 6);
  EXPECT_EQ(PixelAt(r.bitmap, 1, 5), (Rgb{30, 30, 30}));

  const ReadResult missing = Read(bytes, 3);
  EXPECT_EQ(missing.images, 3);
  EXPECT_TRUE(missing.bitmap.Empty());
}

TEST(TiffReader, ChainPointingAtItselfEnds) {
  TiffFile file(false);
  std::vector<std::uint8_t> bytes = file.Build({GreyPage(2, 2, 5)});
  const std::uint32_t ifd = file.Ifds()[0];
  const std::size_t link = ifd + 2 + 12 * test::Le16(bytes, ifd);
  for (int k = 0; k < 4; ++k)
    bytes[link + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(ifd >> (8 * k));
  EXPECT_EQ(Read(bytes).images, 1);
}

TEST(TiffReader, ResolutionInCentimetres) {
  TiffFile file(false);
  const ReadResult r =
      Read(file.Build({GreyPage(2, 2, 5, {{282, 5, {300, 1}}, {283, 5, {0, 1}}, {296, 3, {3}}})}),
           0, true);
  EXPECT_EQ(r.params.DpiX, 762);
  EXPECT_EQ(r.params.DpiY, gSystemDPIY);
  EXPECT_EQ(r.params.Width, 2);
  EXPECT_TRUE(r.bitmap.Empty());
}

TEST(TiffReader, ShortValuesWrittenOutOfLineByOlderWriters) {
  // The value bytes sit after the strip while the entries hold their offset.
  TiffFile file(false);
  Page page = GreyPage(20, 20, 5);
  std::vector<std::uint8_t> tail = {'x', 'y', 0, 0, 3, 0, 9, 0};
  page.strips[0].insert(page.strips[0].end(), tail.begin(), tail.end());
  page.tags.push_back({269, 2, {}, "xy", 8 + 400});
  page.tags.push_back({297, 3, {3, 9}, {}, 8 + 404});
  const ReadResult r = Read(file.Build({page}));
  EXPECT_EQ(r.params.TIFF_DocumentName, "xy");
  EXPECT_EQ(r.params.TIFF_PageNumber, 3);
  EXPECT_EQ(r.params.TIFF_PageCount, 9);
}

TEST(TiffReader, PaletteAndSmallSamples) {
  // 4-bit palette, then 2-bit and 4-bit grey: values scaled to the full range.
  std::vector<std::uint32_t> map(3 * 16, 0);
  map[1] = 0xFFFF;        // entry 1: red
  map[16 + 2] = 0x8000;   // entry 2: half green
  map[32 + 15] = 0x1200;  // entry 15: dark blue
  Page palette;
  palette.strips = {{0x12, 0xF0}};
  palette.tags = {{256, 3, {3}}, {257, 3, {1}}, {258, 3, {4}}, {262, 3, {3}}, {320, 3, map}};
  TiffFile file(false);
  const ReadResult p = Read(file.Build({palette}));
  EXPECT_EQ(PixelAt(p.bitmap, 0, 0), (Rgb{255, 0, 0}));
  EXPECT_EQ(PixelAt(p.bitmap, 1, 0), (Rgb{0, 128, 0}));
  EXPECT_EQ(PixelAt(p.bitmap, 2, 0), (Rgb{0, 0, 0x12}));

  Page grey2;
  grey2.strips = {{0x1B}};  // 0, 1, 2, 3
  grey2.tags = {{256, 3, {4}}, {257, 3, {1}}, {258, 3, {2}}, {262, 3, {1}}};
  const ReadResult g2 = Read(file.Build({grey2}));
  for (int x = 0; x < 4; ++x) EXPECT_EQ(PixelAt(g2.bitmap, x, 0).g, 85 * x);

  Page grey4 = grey2;
  grey4.strips = {{0x0F, 0x70}};
  grey4.tags = {{256, 3, {3}}, {257, 3, {1}}, {258, 3, {4}}, {262, 3, {0}}};  // WhiteIsZero
  const ReadResult g4 = Read(file.Build({grey4}));
  EXPECT_EQ(PixelAt(g4.bitmap, 0, 0).g, 255);
  EXPECT_EQ(PixelAt(g4.bitmap, 1, 0).g, 0);
  EXPECT_EQ(PixelAt(g4.bitmap, 2, 0).g, 255 - 7 * 17);
}

TEST(TiffReader, PaletteIndexBeyondTheMapIsRefused) {
  Page page;
  page.strips = {{0, 5}};
  page.tags = {{256, 3, {2}},
               {257, 3, {1}},
               {258, 3, {8}},
               {262, 3, {3}},
               {320, 3, std::vector<std::uint32_t>(3 * 4, 0)}};
  TiffFile file(false);
  EXPECT_EQ(RefusalOf(file.Build({page})), "Invalid TIFF stream");
}

TEST(TiffReader, TilesAndPlanesAssemble) {
  // 20 x 18 RGB in 16 x 16 tiles, one plane after the other: partial tiles right and bottom.
  const int w = 20, h = 18, t = 16;
  const auto value = [](int x, int y, int p) {
    return static_cast<std::uint8_t>(p * 80 + x + 3 * y);
  };
  Page page;
  page.tiles = true;
  for (int p = 0; p < 3; ++p)
    for (int ty = 0; ty < 2; ++ty)
      for (int tx = 0; tx < 2; ++tx) {
        std::vector<std::uint8_t> tile(t * t, 0xEE);
        for (int y = 0; y < t; ++y)
          for (int x = 0; x < t; ++x)
            if (tx * t + x < w && ty * t + y < h)
              tile[static_cast<std::size_t>(y * t + x)] = value(tx * t + x, ty * t + y, p);
        page.strips.push_back(tile);
      }
  page.tags = {{256, 3, {w}}, {257, 3, {h}}, {258, 3, {8, 8, 8}}, {262, 3, {2}},
               {277, 3, {3}}, {284, 3, {2}}, {322, 3, {t}},       {323, 3, {t}}};
  TiffFile file(false);
  const ReadResult r = Read(file.Build({page}));
  ASSERT_FALSE(r.bitmap.Empty());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      ASSERT_EQ(PixelAt(r.bitmap, x, y), (Rgb{value(x, y, 0), value(x, y, 1), value(x, y, 2)}))
          << x << "," << y;
}

struct BrokenCase {
  const char* name;
  std::vector<Tag> change;  // replaces tags of the same number, adds others
  int truncate = 0;         // bytes cut from the end
  const char* message;
};

class TiffBroken : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(TiffBroken, IsRefusedWithItsMessage) {
  const BrokenCase& c = GetParam();
  Page page = GreyPage(8, 4, 100);
  for (const Tag& t : c.change) {
    page.tags.erase(std::remove_if(page.tags.begin(), page.tags.end(),
                                   [&](const Tag& x) { return x.tag == t.tag; }),
                    page.tags.end());
    page.tags.push_back(t);
  }
  TiffFile file(false);
  std::vector<std::uint8_t> bytes = file.Build({page});
  bytes.resize(bytes.size() - static_cast<std::size_t>(c.truncate));
  EXPECT_EQ(RefusalOf(bytes), c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Files, TiffBroken,
    ::testing::Values(
        BrokenCase{"BitsDiffer",
                   {{277, 3, {3}}, {262, 3, {2}}, {258, 3, {8, 8, 16}}},
                   0,
                   "Invalid TIFF stream"},
        BrokenCase{"StripPastTheEnd", {{273, 4, {8}}, {279, 4, {4000}}}, 0, "Invalid TIFF stream"},
        BrokenCase{"StripShorterThanItsRows", {{279, 4, {31}}}, 0, "Invalid TIFF stream"},
        BrokenCase{"OffsetBeyondTheFile", {{273, 4, {0x7FFFFFF0}}}, 0, "Invalid TIFF stream"},
        BrokenCase{"TooFewStripOffsets", {{278, 4, {1}}}, 0, "Invalid TIFF stream"},
        BrokenCase{"ZeroWidth", {{256, 4, {0}}}, 0, "Invalid TIFF stream"},
        BrokenCase{"AbsurdSize", {{256, 4, {60000}}, {257, 4, {60000}}}, 0, "Invalid TIFF stream"},
        BrokenCase{
            "ValuesPastTheEnd", {{258, 3, {8, 8, 8}, {}, 0x10000}}, 0, "Invalid TIFF stream"},
        BrokenCase{"CutInsideTheDirectory", {}, 30, "Invalid TIFF stream"},
        BrokenCase{"NotJpeg", {{259, 3, {7}}}, 0, "Invalid JPEG data in TIFF"},
        BrokenCase{
            "JpegPalette", {{259, 3, {7}}, {262, 3, {3}}}, 0, "Unsupported JPEG compressed TIFF"},
        BrokenCase{"OldJpeg", {{259, 3, {6}}}, 0, "Old-style JPEG compressed TIFF not supported"},
        BrokenCase{"UnknownCompression", {{259, 3, {9}}}, 0, "Unsupported TIFF compression"},
        BrokenCase{"FaxOnGrey", {{259, 3, {4}}}, 0, "Invalid TIFF stream"},
        BrokenCase{"YCbCr", {{262, 3, {6}}}, 0, "Unsupported TIFF photometric interpretation"},
        BrokenCase{"FloatSamples", {{339, 3, {3}}}, 0, "Unsupported TIFF sample format"},
        BrokenCase{"BadLzwCode", {{259, 3, {5}}}, 0, "Invalid LZW code"},
        BrokenCase{"BadPackBits", {{259, 3, {32773}}, {279, 4, {2}}}, 0, "Invalid TIFF stream"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(TiffReader, HeaderAndChainFaults) {
  TiffFile file(false);
  std::vector<std::uint8_t> bytes = file.Build({GreyPage(2, 2, 1), GreyPage(2, 2, 2)});
  std::vector<std::uint8_t> order = bytes;
  order[0] = order[1] = 'X';
  EXPECT_EQ(RefusalOf(order), "unrecognized TIFF");
  // The second IFD links back to the first.
  const ReadResult ok = Read(bytes);
  EXPECT_EQ(ok.images, 2);
  std::vector<std::uint8_t> loop = bytes;
  const std::uint32_t first = test::Le32(loop, 4);
  const std::uint32_t second = file.Ifds()[1];
  const std::size_t link = second + 2 + 12 * test::Le16(loop, second);
  for (int k = 0; k < 4; ++k)
    loop[link + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(first >> (8 * k));
  EXPECT_EQ(RefusalOf(loop), "Invalid TIFF stream");
  EXPECT_EQ(RefusalOf({'I', 'I', 42, 0, 0xF0, 0xFF, 0xFF, 0x7F, 0, 0}), "Invalid TIFF stream");
}

TEST(TiffReader, AbortStopsAfterAStripAndKeepsTheTarget) {
  TiffFile file(false);
  Page page = GreyPage(4, 4, 50, {});
  page.strips = {std::vector<std::uint8_t>(8, 1), std::vector<std::uint8_t>(8, 2)};
  page.tags.erase(
      std::remove_if(page.tags.begin(), page.tags.end(), [](const Tag& t) { return t.tag == 278; }),
      page.tags.end());
  page.tags.push_back({278, 4, {2}});
  const auto bytes = file.Build({page});
  bool aborting = false;
  int calls = 0;
  TProgressEvent stop = [&](void*, int) { ++calls, aborting = true; };
  TProgressRec progress;
  progress.fOnProgress = &stop;
  progress.Aborting = &aborting;
  TIOParamsVals params;
  TDib target = Sentinel();
  TMemoryStream stream(bytes);
  int images = 0;
  TIFFReadStream(target, stream, images, false, progress, params);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(FirstDifference(target, Sentinel()), "");
}

// ---------------------------------------------------------------------------------------------
// Fax coders

std::vector<std::uint8_t> Line(int width, const std::vector<int>& runs) {
  // Alternating runs from white; 1 is black.
  std::vector<std::uint8_t> row(static_cast<std::size_t>((width + 7) / 8), 0);
  int x = 0, colour = 0;
  for (const int r : runs) {
    for (int k = 0; k < r && x < width; ++k, ++x)
      if (colour)
        row[static_cast<std::size_t>(x >> 3)] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
    colour ^= 1;
  }
  return row;
}

struct FaxLine {
  const char* name;
  int width;
  std::vector<int> runs;
};

std::vector<FaxLine> FaxLines() {
  std::vector<int> alternating(1728, 1);
  return {
      {"AllWhite", 1728, {1728}},          {"AllBlack", 1728, {0, 1728}},
      {"Alternating", 1728, alternating},  {"Run63", 1728, {63, 63, 64, 64, 1, 1473}},
      {"Run64Black", 1728, {0, 64, 1664}}, {"BlackEdges", 1728, {0, 1, 1726, 1}},
      {"LongRuns", 5000, {2623, 2377}},    {"VeryLongRun", 6000, {1, 5999}},
      {"OddWidth", 13, {3, 2, 1, 7}},
  };
}

TEST(FaxCoder, LinesCodeAndDecodeInEveryScheme) {
  for (const FaxLine& line : FaxLines()) {
    SCOPED_TRACE(line.name);
    const std::vector<std::uint8_t> row = Line(line.width, line.runs);
    // Second line: the first shifted by one pixel, so that the two-dimensional codes are used.
    std::vector<int> shifted = line.runs;
    shifted[0] += 1;
    const std::vector<std::uint8_t> next = Line(line.width, shifted);
    for (int scheme = 0; scheme < 4; ++scheme) {
      SCOPED_TRACE(scheme);
      std::vector<std::uint8_t> coded;
      TFaxBitWriter out(coded);
      TFaxChanges ref, changes;
      for (const auto* r : {&row, &next}) {
        switch (scheme) {
          case 0:
            CCITTHuffmanPutLine(out, r->data(), line.width);
            break;
          case 1:
            CCITTHuffmanPutLineG3(out, r->data(), line.width);
            break;
          case 2:
            CCITTHuffmanPutLineG32D(out, r->data(), line.width, ref, r == &row, changes);
            std::swap(ref, changes);
            break;
          case 3:
            CCITTHuffmanPutLineG4(out, r->data(), line.width, ref, changes);
            std::swap(ref, changes);
            break;
        }
      }
      if (scheme == 3)
        CCITTFinishG4(out);
      else
        out.AlignToByte();

      TFaxBitReader in(coded.data(), coded.size());
      TFaxChanges reference;
      std::vector<std::uint8_t> decoded(row.size());
      for (const auto* r : {&row, &next}) {
        if (scheme == 1 || scheme == 2) {
          EXPECT_TRUE(in.SkipEol());
        }
        const bool twoD = scheme == 3 || (scheme == 2 && in.ReadBit() == 0);
        if (twoD)
          CCITT3_2D_GetLine(in, decoded.data(), line.width, reference, changes);
        else
          CCITTHuffmanGetLine(in, decoded.data(), line.width, changes);
        if (scheme == 0) in.AlignToByte();
        std::swap(reference, changes);
        EXPECT_EQ(decoded, *r);
      }
    }
  }
}

TEST(FaxCoder, ModifiedHuffmanCodesAreThoseOfT4) {
  // White 1728: make-up 010011011, terminating 0: 00110101. Black 3 after white 2: 0111 10.
  std::vector<std::uint8_t> coded;
  TFaxBitWriter out(coded);
  CCITTHuffmanPutLine(out, Line(1728, {1728}).data(), 1728);
  CCITTHuffmanPutLine(out, Line(5, {2, 3}).data(), 5);
  EXPECT_EQ(coded, (std::vector<std::uint8_t>{0x4D, 0x9A, 0x80, 0x78}));
  // T.6 for an all-white line against white: V0, a single 1 bit, then EOFB.
  coded.clear();
  TFaxChanges changes;
  CCITTHuffmanPutLineG4(out, Line(100, {100}).data(), 100, {}, changes);
  CCITTFinishG4(out);
  EXPECT_EQ(coded, (std::vector<std::uint8_t>{0x80, 0x08, 0x00, 0x80}));
}

TEST(FaxCoder, BadCodesAndShortDataAreRefused) {
  std::vector<std::uint8_t> row(216);
  TFaxChanges changes;
  const std::vector<std::vector<std::uint8_t>> inputs = {
      {0x00, 0x00, 0x00},  // no code starts with twelve zeros
      {0x4D},              // data ends inside the line
      {0x02, 0x02, 0x02},  // 2-D extension codes
  };
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    TFaxBitReader in(inputs[i].data(), inputs[i].size());
    if (i < 2)
      EXPECT_THROW(CCITTHuffmanGetLine(in, row.data(), 1728, changes), EInvalidGraphic) << i;
    else
      EXPECT_THROW(CCITT3_2D_GetLine(in, row.data(), 1728, {}, changes), EInvalidGraphic) << i;
  }
  // Runs adding up to more than the width.
  std::vector<std::uint8_t> coded;
  TFaxBitWriter out(coded);
  CCITTHuffmanPutLine(out, Line(1728, {1728}).data(), 1728);
  TFaxBitReader in(coded.data(), coded.size());
  EXPECT_THROW(CCITTHuffmanGetLine(in, row.data(), 1000, changes), EInvalidGraphic);
}

// ---------------------------------------------------------------------------------------------
// LZW coder

TEST(TiffLzw, RoundTripsAcrossTableResets) {
  std::mt19937 rng(11);
  std::vector<std::vector<std::uint8_t>> rows;
  for (int r = 0; r < 40; ++r) {
    std::vector<std::uint8_t> row(997);
    for (std::size_t i = 0; i < row.size(); ++i)
      row[i] =
          r % 3 == 0 ? static_cast<std::uint8_t>(rng()) : static_cast<std::uint8_t>(i / 50 + r);
    rows.push_back(row);
  }
  rows.push_back(std::vector<std::uint8_t>(100000, 7));  // long strings, KwKwK codes
  const std::vector<std::uint8_t> coded = LzwStrip(rows);
  std::vector<std::uint8_t> expected;
  for (const auto& r : rows) expected.insert(expected.end(), r.begin(), r.end());
  std::shared_ptr<void> state;
  EXPECT_EQ(TIFFLZWDecompress(coded.data(), coded.size(), state), expected);
  // In pieces that end inside strings, and stopping where the caller stops asking.
  std::vector<std::uint8_t> pieces(expected.size() + 10);
  std::size_t got = 0;
  for (std::size_t n = 1; got < expected.size(); n = n * 3 + 1) {
    const std::size_t want = std::min(n, pieces.size() - got);
    const std::size_t piece =
        TIFFLZWDecodeNext(coded.data(), coded.size(), pieces.data() + got, want, state, got == 0);
    got += piece;
    if (piece < want) break;
  }
  EXPECT_EQ(got, expected.size());
  pieces.resize(got);
  EXPECT_EQ(pieces, expected);
  EXPECT_TRUE(TIFFLZWDecompress(nullptr, 0, state).empty());
  EXPECT_FALSE(state);
}

TEST(TiffLzw, KnownCodesAndCodesBeyondTheTable) {
  // Clear, 'a', 'b', 258 ("ab"), EOI as 9-bit codes.
  const std::vector<std::uint8_t> codes = {0x80, 0x18, 0x4C, 0x50, 0x28, 0x08};
  std::shared_ptr<void> state;
  EXPECT_EQ(TIFFLZWDecompress(codes.data(), codes.size(), state),
            (std::vector<std::uint8_t>{'a', 'b', 'a', 'b'}));
  TMemoryStream out;
  std::shared_ptr<void> enc;
  const std::uint8_t abab[] = {'a', 'b', 'a', 'b'};
  TIFFLZWCompress(abab, 4, out, enc);
  TIFFLZWCompress(nullptr, 0, out, enc);
  EXPECT_EQ(out.Bytes(), codes);
  // Clear, 'a', then 300 while the next free code is 259.
  const std::vector<std::uint8_t> bad = {0x80, 0x18, 0x65, 0x80};
  EXPECT_THROW(TIFFLZWDecompress(bad.data(), bad.size(), state), EInvalidGraphic);
}

}  // namespace
}  // namespace korvane
