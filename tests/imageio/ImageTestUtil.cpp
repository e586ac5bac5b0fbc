#include "ImageTestUtil.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include <unistd.h>

#include "imageio/LzwHooks.h"
#include "imageio/Vistelio.h"

namespace korvane::test {

Rgb PixelAt(const TDib& bitmap, int x, int y) {
  const std::uint8_t* row = bitmap.ScanLine(y);
  if (bitmap.PixelFormat() == TPixelFormat::pf1bit) {
    const TColor c = bitmap.Palette()[(row[x >> 3] >> (7 - (x & 7))) & 1];
    return Rgb{RedOf(c), GreenOf(c), BlueOf(c)};
  }
  const std::uint8_t* px = row + 3 * x;
  return Rgb{px[2], px[1], px[0]};
}

void SetPixel(TDib& bitmap, int x, int y, Rgb c) {
  std::uint8_t* px = bitmap.ScanLine(y) + 3 * x;
  px[0] = c.b;
  px[1] = c.g;
  px[2] = c.r;
}

std::string FirstDifference(const TDib& actual, const TDib& expected) {
  std::ostringstream out;
  if (actual.Width() != expected.Width() || actual.Height() != expected.Height()) {
    out << "size " << actual.Width() << "x" << actual.Height() << ", expected "
        << expected.Width() << "x" << expected.Height();
    return out.str();
  }
  for (int y = 0; y < actual.Height(); ++y)
    for (int x = 0; x < actual.Width(); ++x) {
      const Rgb a = PixelAt(actual, x, y), e = PixelAt(expected, x, y);
      if (a == e) continue;
      out << "pixel (" << x << "," << y << ") is " << int(a.r) << "," << int(a.g) << ","
          << int(a.b) << ", expected " << int(e.r) << "," << int(e.g) << "," << int(e.b);
      return out.str();
    }
  return "";
}

std::optional<TDib> ReadPpm(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int width = 0, height = 0, maxval = 0;
  if (!(in >> magic >> width >> height >> maxval) || magic != "P6" || maxval != 255) return {};
  in.get();
  std::vector<char> data(static_cast<std::size_t>(width) * height * 3);
  if (!in.read(data.data(), static_cast<std::streamsize>(data.size()))) return {};
  TDib bmp;
  if (!bmp.SetSize(width, height)) return {};
  const auto* p = reinterpret_cast<const std::uint8_t*>(data.data());
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x, p += 3) SetPixel(bmp, x, y, Rgb{p[0], p[1], p[2]});
  return bmp;
}

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "korvane-io-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) std::abort();
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> TempDir::Entries() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path_))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::uint16_t Le16(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(bytes.at(offset) | (bytes.at(offset + 1) << 8));
}

std::uint32_t Le32(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(Le16(bytes, offset)) |
         (static_cast<std::uint32_t>(Le16(bytes, offset + 2)) << 16);
}

namespace {
void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v);
  Put16(out, v >> 16);
}
}  // namespace

std::vector<std::uint8_t> BuildBmp(const BmpSpec& spec) {
  std::vector<std::uint8_t> info;
  Put32(info, spec.headerSize);
  if (spec.headerSize == 12) {
    Put16(info, static_cast<std::uint32_t>(spec.width));
    Put16(info, static_cast<std::uint32_t>(spec.height));
    Put16(info, 1);
    Put16(info, static_cast<std::uint32_t>(spec.bits));
  } else {
    Put32(info, static_cast<std::uint32_t>(spec.width));
    Put32(info, static_cast<std::uint32_t>(spec.height));
    Put16(info, 1);
    Put16(info, static_cast<std::uint32_t>(spec.bits));
    Put32(info, spec.compression);
    Put32(info, static_cast<std::uint32_t>(spec.pixels.size()));
    Put32(info, static_cast<std::uint32_t>(spec.xppm));
    Put32(info, static_cast<std::uint32_t>(spec.yppm));
    Put32(info, spec.colorsUsed);
    Put32(info, 0);
    const bool masksInside = spec.headerSize >= 52;
    if (masksInside)
      for (std::uint32_t m : spec.masks) Put32(info, m);
    info.resize(std::max<std::size_t>(info.size(), spec.headerSize), 0);
    info.resize(spec.headerSize);
    if (!masksInside)
      for (std::uint32_t m : spec.masks) Put32(info, m);
  }
  for (const Rgb& c : spec.palette) {
    info.push_back(c.b);
    info.push_back(c.g);
    info.push_back(c.r);
    if (spec.headerSize != 12) info.push_back(0);
  }
  const std::uint32_t offset = spec.dataOffset.value_or(static_cast<std::uint32_t>(14 + info.size()));
  std::vector<std::uint8_t> out = {'B', 'M'};
  Put32(out, static_cast<std::uint32_t>(14 + info.size() + spec.pixels.size()));
  Put32(out, 0);
  Put32(out, offset);
  out.insert(out.end(), info.begin(), info.end());
  if (offset > out.size() && offset < out.size() + 4096) out.resize(offset, 0);
  out.insert(out.end(), spec.pixels.begin(), spec.pixels.end());
  return out;
}

std::vector<std::filesystem::path> SuiteFiles(const std::filesystem::path& dir,
                                              const std::string& extension) {
  std::vector<std::filesystem::path> files;
  if (!std::filesystem::is_directory(dir)) return files;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    if (entry.path().extension() == extension) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

std::string LoadSuiteFile(const std::filesystem::path& file) {
  const auto colour = [](int x, int y) {
    return Rgb{static_cast<std::uint8_t>(40 * x), static_cast<std::uint8_t>(90 * y), 7};
  };
  const TDib sentinel = MakeBitmap(3, 2, colour);
  TDib target = MakeBitmap(3, 2, colour);
  TVistelIO io;
  io.SetAttachedBitmap(&target);
  InstallLzwCoders(io.Params);
  try {
    if (!io.LoadFromFile(file)) return "nothing loaded";
  } catch (const EInvalidGraphic& e) {
    const std::string changed = FirstDifference(target, sentinel);
    return changed.empty() ? e.what() : std::string(e.what()) + ", and the picture changed";
  }
  const auto expected = ReadPpm(file.string() + ".ref.ppm");
  if (!expected) return "loaded, but there is no reference";
  const std::string diff = FirstDifference(target, *expected);
  return diff.empty() ? "" : "differs: " + diff;
}

}  // namespace korvane::test
