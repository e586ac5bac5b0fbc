// The shared BMP suite: good files decode to their references exactly, bad ones are refused with
// the format's message and leave the target alone, and each questionable file has one decided
// outcome.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "ImageTestUtil.h"
#include "support/TestData.h"
#include "imageio/Vistelio.h"

namespace korvane {
namespace {

using test::FirstDifference;
using test::ReadPpm;

// A sentinel picture that a refused load must leave in place.
TDib Sentinel() {
  return test::MakeBitmap(3, 2, [](int x, int y) { return test::Rgb{7, static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y)}; });
}

// Loads `file`; on success compares with its reference and returns true, on refusal checks the
// message and that the target is untouched, and returns false.
bool LoadAndCompare(const std::filesystem::path& file) {
  TDib target = Sentinel();
  TVistelIO io;
  io.SetAttachedBitmap(&target);
  try {
    EXPECT_TRUE(io.LoadFromFile(file));
  } catch (const EInvalidGraphic& e) {
    EXPECT_STREQ(e.what(), "unrecognized BMP");
    EXPECT_EQ(FirstDifference(target, Sentinel()), "");
    return false;
  }
  EXPECT_EQ(target.PixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(io.Params.FileType, ioBMP);
  const std::filesystem::path ref = file.string() + ".ref.ppm";
  const auto expected = ReadPpm(ref);
  if (!expected) {
    ADD_FAILURE() << "loaded, but there is no reference " << ref;
    return true;
  }
  EXPECT_EQ(FirstDifference(target, *expected), "");
  EXPECT_EQ(io.Params.Width, expected->Width());
  EXPECT_EQ(io.Params.Height, expected->Height());
  return true;
}

TEST(BmpSuite, GoodFilesEqualTheirReferences) {
  KORVANE_REQUIRE_TESTDATA(data);
  const auto files = test::SuiteFiles(data / "bmp" / "good", ".bmp");
  ASSERT_FALSE(files.empty());
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    EXPECT_TRUE(LoadAndCompare(file)) << "refused";
  }
}

TEST(BmpSuite, BadFilesAreRefused) {
  KORVANE_REQUIRE_TESTDATA(data);
  const auto files = test::SuiteFiles(data / "bmp" / "bad", ".bmp");
  ASSERT_FALSE(files.empty());
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    EXPECT_FALSE(LoadAndCompare(file)) << "accepted";
  }
}

// Every questionable file with the outcome chosen for it; a file not listed fails the test.
const std::map<std::string, bool>& QuestionableOutcomes() {
  static const std::map<std::string, bool> outcomes = {
      {"badbitssize.bmp", true},
      {"baddens1.bmp", true},
      {"baddens2.bmp", true},
      {"badfilesize.bmp", true},
      {"badheadersize.bmp", true},
      {"badplanes.bmp", true},
      {"pal1huffmsb.bmp", false},  // OS/2 Huffman fax coding
      {"pal1p1.bmp", true},
      {"pal2.bmp", true},
      {"pal2color.bmp", true},
      {"pal4rlecut.bmp", true},
      {"pal4rletrns.bmp", true},
      {"pal8offs.bmp", true},
      {"pal8os2-hs.bmp", true},
      {"pal8os2-sz.bmp", true},
      {"pal8os2sp.bmp", true},
      {"pal8os2v2-16.bmp", true},
      {"pal8os2v2-40sz.bmp", true},
      {"pal8os2v2-sz.bmp", true},
      {"pal8os2v2.bmp", true},
      {"pal8oversizepal.bmp", true},
      {"pal8rlecut.bmp", true},
      {"pal8rletrns.bmp", true},
      {"rgb16-231.bmp", true},
      {"rgb16-3103.bmp", true},
      {"rgb16-880.bmp", true},
      {"rgb16faketrns.bmp", true},
      {"rgb24jpeg.bmp", false},  // embedded JPEG
      {"rgb24largepal.bmp", true},
      {"rgb24lprof.bmp", true},
      {"rgb24png.bmp", false},  // embedded PNG
      {"rgb24rle24.bmp", false},  // OS/2 RLE24
      {"rgb32-111110.bmp", true},
      {"rgb32-7187.bmp", true},
      {"rgb32-xbgr.bmp", true},
      {"rgb32fakealpha.bmp", true},
      {"rgb32h52.bmp", true},
      {"rgba16-1924.bmp", true},
      {"rgba16-4444.bmp", true},
      {"rgba16-5551.bmp", true},
      {"rgba32-1.bmp", true},
      {"rgba32-1010102.bmp", true},
      {"rgba32-2.bmp", true},
      {"rgba32-61754.bmp", true},
      {"rgba32-81284.bmp", true},
      {"rgba32abf.bmp", true},
      {"rgba32h56.bmp", true},
      {"rgba64.bmp", false},  // 64 bits per pixel
      {"rletopdown.bmp", true},
  };
  return outcomes;
}

TEST(BmpSuite, QuestionableFilesHaveTheirDecidedOutcome) {
  KORVANE_REQUIRE_TESTDATA(data);
  const auto files = test::SuiteFiles(data / "bmp" / "questionable", ".bmp");
  ASSERT_FALSE(files.empty());
  for (const auto& file : files) {
    const std::string name = file.filename().string();
    SCOPED_TRACE(name);
    const bool loaded = LoadAndCompare(file);
    const auto it = QuestionableOutcomes().find(name);
    if (it == QuestionableOutcomes().end()) {
      ADD_FAILURE() << "no outcome decided";
      continue;
    }
    EXPECT_EQ(loaded, it->second) << (loaded ? "accepted" : "refused");
  }
}

}  // namespace
}  // namespace korvane
