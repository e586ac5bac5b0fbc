// Small helpers shared by the image I/O tests: bitmaps with known pixels, reference images in
// binary PPM, scratch folders, and BMP files assembled byte by byte.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/Dibactions.h"

namespace korvane::test {

// A colour as red, green, blue (the order a reader of the test thinks in).
struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The colour at (x, y), y from the top, of a 24-bit or 1-bit bitmap.
Rgb PixelAt(const TDib& bitmap, int x, int y);
void SetPixel(TDib& bitmap, int x, int y, Rgb c);

// A 24-bit bitmap whose pixel (x, y) is colour(x, y).
template <class Fn>
TDib MakeBitmap(int width, int height, Fn colour) {
  TDib bmp;
  if (!bmp.SetSize(width, height)) return bmp;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) SetPixel(bmp, x, y, colour(x, y));
  return bmp;
}

// First (x, y) where the two differ in size or pixels, as text; empty when equal.
std::string FirstDifference(const TDib& actual, const TDib& expected);

// A binary PPM (P6, maxval 255) as a 24-bit bitmap; nothing when it cannot be read.
std::optional<TDib> ReadPpm(const std::filesystem::path& path);

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

// A fresh folder for one test, removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  // The names in the folder, sorted.
  std::vector<std::string> Entries() const;

 private:
  std::filesystem::path path_;
};

std::uint16_t Le16(const std::vector<std::uint8_t>& bytes, std::size_t offset);
std::uint32_t Le32(const std::vector<std::uint8_t>& bytes, std::size_t offset);

// A BMP file laid out field by field, so that each test can break exactly one thing.
struct BmpSpec {
  std::uint32_t headerSize = 40;
  std::int32_t width = 4;
  std::int32_t height = 2;
  int bits = 24;
  std::uint32_t compression = 0;
  std::uint32_t colorsUsed = 0;
  std::int32_t xppm = 3780;
  std::int32_t yppm = 3780;
  std::vector<std::uint32_t> masks;  // after a 40-byte header, inside a larger one
  std::vector<Rgb> palette;          // 3-byte entries for a 12-byte header, else 4
  std::vector<std::uint8_t> pixels;  // exactly as stored
  std::optional<std::uint32_t> dataOffset;  // default: just after the palette
};
std::vector<std::uint8_t> BuildBmp(const BmpSpec& spec);

// The files of a test-suite folder with this extension (".gif"), sorted by name.
std::vector<std::filesystem::path> SuiteFiles(const std::filesystem::path& dir,
                                              const std::string& extension);
// Loads a suite file through the component, with the program's LZW coders, over a picture that
// is already there: "" when the result equals the file's reference rendering, else what went
// wrong (the component's message for a refused file, which must leave that picture as it was).
std::string LoadSuiteFile(const std::filesystem::path& file);

}  // namespace korvane::test
