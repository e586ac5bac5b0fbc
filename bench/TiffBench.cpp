// Reading and writing a 4000 x 3000 24-bit TIFF with LZW and Predictor 2, against libtiff on the
// same file in the same run.
#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "imageio/LzwHooks.h"
#include "imageio/Tiffilt.h"
#include "imageio/Vistelio.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

struct Files {
  korvane::TDib image;
  std::vector<std::uint8_t> rgb;  // the same picture as top-down RGB rows, for libtiff
  std::filesystem::path dir;
  std::filesystem::path libtiffFile, ourFile;

  Files() {
    std::string pattern = (std::filesystem::temp_directory_path() / "korvane-tiff-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    dir = pattern;
    libtiffFile = dir / "libtiff.tif";
    ourFile = dir / "ours.tif";
    // Smooth shading with a little noise, roughly what a photograph gives the predictor.
    if (!image.SetSize(kWidth, kHeight)) std::abort();
    rgb.resize(static_cast<std::size_t>(kWidth) * kHeight * 3);
    std::uint32_t noise = 1;
    for (int y = 0; y < kHeight; ++y) {
      std::uint8_t* row = image.ScanLine(y);
      std::uint8_t* out = rgb.data() + static_cast<std::size_t>(y) * kWidth * 3;
      for (int x = 0; x < kWidth; ++x) {
        noise = noise * 1103515245u + 12345u;
        const int n = static_cast<int>((noise >> 16) & 7);
        const int r = static_cast<int>(127 + 100 * std::sin(x / 300.0 + y / 700.0)) + n;
        const int g = (x * 255 / kWidth + y / 40) & 255;
        const int b = static_cast<int>(127 + 90 * std::cos(y / 250.0)) + n / 2;
        out[3 * x] = static_cast<std::uint8_t>(r);
        out[3 * x + 1] = static_cast<std::uint8_t>(g);
        out[3 * x + 2] = static_cast<std::uint8_t>(b);
        row[3 * x] = static_cast<std::uint8_t>(b);
        row[3 * x + 1] = static_cast<std::uint8_t>(g);
        row[3 * x + 2] = static_cast<std::uint8_t>(r);
      }
    }
    WriteWithLibtiff(libtiffFile);
    WriteOurs(ourFile);
  }
  ~Files() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }

  void WriteWithLibtiff(const std::filesystem::path& path) const {
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    if (!tif) std::abort();
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    std::vector<std::uint8_t> row(static_cast<std::size_t>(kWidth) * 3);
    for (int y = 0; y < kHeight; ++y) {
      std::copy_n(rgb.data() + static_cast<std::size_t>(y) * row.size(), row.size(), row.data());
      if (TIFFWriteScanline(tif, row.data(), static_cast<std::uint32_t>(y), 0) < 0) std::abort();
    }
    TIFFClose(tif);
  }

  void WriteOurs(const std::filesystem::path& path) {
    korvane::TIOParamsVals params;
    korvane::InstallLzwCoders(params);
    params.TIFF_Compression = korvane::ioTIFF_LZW;
    korvane::TFileStream stream(path, korvane::TFileMode::fmCreate);
    korvane::TProgressRec progress;
    korvane::TIFFWriteStream(stream, false, image, progress, params);
    stream.Close();
  }
};

Files& Shared() {
  static Files files;
  return files;
}

void ReadOurs(const std::filesystem::path& path, benchmark::State& state) {
  korvane::TIOParamsVals params;
  korvane::InstallLzwCoders(params);
  for (auto _ : state) {
    korvane::TDib bitmap;
    korvane::TFileStream stream(path, korvane::TFileMode::fmOpenRead);
    korvane::TProgressRec progress;
    int images = 0;
    korvane::TIFFReadStream(bitmap, stream, images, false, progress, params);
    if (bitmap.Width() != kWidth) std::abort();
    benchmark::DoNotOptimize(bitmap.Rows());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kWidth) * kHeight * 3);
}

void ReadLibtiff(const std::filesystem::path& path, benchmark::State& state) {
  std::vector<std::uint8_t> buffer(Shared().rgb.size());
  for (auto _ : state) {
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif) std::abort();
    const tstrip_t strips = TIFFNumberOfStrips(tif);
    const tmsize_t stripSize = TIFFStripSize(tif);
    std::uint8_t* out = buffer.data();
    for (tstrip_t s = 0; s < strips; ++s) {
      const tmsize_t n = TIFFReadEncodedStrip(tif, s, out, stripSize);
      if (n < 0) std::abort();
      out += n;
    }
    TIFFClose(tif);
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(buffer.size()));
}

// The libtiff-written file (strips of a few rows), decoded by libtiff into one RGB buffer.
void BM_TiffReadLzwLibtiff(benchmark::State& state) {
  ReadLibtiff(Shared().libtiffFile, state);
}
BENCHMARK(BM_TiffReadLzwLibtiff)->Unit(benchmark::kMillisecond);

// The same file through our reader, into a bottom-up BGR bitmap.
void BM_TiffReadLzwOurs(benchmark::State& state) {
  ReadOurs(Shared().libtiffFile, state);
}
BENCHMARK(BM_TiffReadLzwOurs)->Unit(benchmark::kMillisecond);

// Our own single-strip file, by libtiff and by us.
void BM_TiffReadLzwLibtiffOwnFile(benchmark::State& state) {
  ReadLibtiff(Shared().ourFile, state);
}
BENCHMARK(BM_TiffReadLzwLibtiffOwnFile)->Unit(benchmark::kMillisecond);

void BM_TiffReadLzwOursOwnFile(benchmark::State& state) {
  ReadOurs(Shared().ourFile, state);
}
BENCHMARK(BM_TiffReadLzwOursOwnFile)->Unit(benchmark::kMillisecond);

void BM_TiffWriteLzwLibtiff(benchmark::State& state) {
  Files& f = Shared();
  const std::filesystem::path path = f.dir / "libtiff-out.tif";
  for (auto _ : state) f.WriteWithLibtiff(path);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(f.rgb.size()));
}
BENCHMARK(BM_TiffWriteLzwLibtiff)->Unit(benchmark::kMillisecond);

void BM_TiffWriteLzwOurs(benchmark::State& state) {
  Files& f = Shared();
  const std::filesystem::path path = f.dir / "ours-out.tif";
  for (auto _ : state) f.WriteOurs(path);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(f.rgb.size()));
}
BENCHMARK(BM_TiffWriteLzwOurs)->Unit(benchmark::kMillisecond);

}  // namespace
