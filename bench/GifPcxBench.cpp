// GIF decoding against giflib's DGifSlurp on the same file, and 24-bit PCX reading and writing
// against fread/fwrite of the same number of bytes, in the same run.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "imageio/Giffilter.h"
#include "imageio/LzwHooks.h"
#include "imageio/Vistelio.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

// 256 colours on the quantizer's grid; a smooth pattern with two bits of noise, so the LZW data
// is neither trivial nor incompressible.
korvane::TDib GifPicture() {
  korvane::TDib image;
  if (!image.SetSize(kWidth, kHeight)) std::abort();
  std::uint32_t seed = 12345;
  for (int y = 0; y < kHeight; ++y) {
    std::uint8_t* px = image.ScanLine(y);
    for (int x = 0; x < kWidth; ++x, px += 3) {
      seed = seed * 1664525u + 1013904223u;
      const int k = ((x / 16 + y / 12) * 4 + static_cast<int>(seed >> 30)) & 255;
      px[0] = static_cast<std::uint8_t>(8 * (k & 7));
      px[1] = static_cast<std::uint8_t>(8 * ((k >> 3) & 7));
      px[2] = static_cast<std::uint8_t>(8 * (k >> 6) + 40);
    }
  }
  return image;
}

// A photo-like picture: gradients with noise, so that runs are short and the RLE file is about
// as large as the pixels.
korvane::TDib PcxPicture() {
  korvane::TDib image;
  if (!image.SetSize(kWidth, kHeight)) std::abort();
  std::uint32_t seed = 777;
  for (int y = 0; y < kHeight; ++y) {
    std::uint8_t* px = image.ScanLine(y);
    for (int x = 0; x < kWidth; ++x, px += 3) {
      seed = seed * 1664525u + 1013904223u;
      const int noise = static_cast<int>(seed >> 28);
      px[0] = static_cast<std::uint8_t>(x / 20 + noise);
      px[1] = static_cast<std::uint8_t>(y / 15 + (noise >> 1));
      px[2] = static_cast<std::uint8_t>((x + y) / 30 + (noise & 3));
    }
  }
  return image;
}

std::vector<std::uint8_t> GiflibIndices(const std::filesystem::path& path) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (!gif || DGifSlurp(gif) != GIF_OK || gif->ImageCount < 1) std::abort();
  const SavedImage& image = gif->SavedImages[0];
  std::vector<std::uint8_t> out(image.RasterBits,
                                image.RasterBits + static_cast<std::size_t>(kWidth) * kHeight);
  DGifCloseFile(gif, &error);
  return out;
}

std::filesystem::path MakeTempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "korvane-gifpcx-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) std::abort();
  return pattern;
}

struct GifFiles {
  std::filesystem::path dir = MakeTempDir();
  std::filesystem::path gif = dir / "picture.gif";

  GifFiles() {
    korvane::TDib image = GifPicture();
    korvane::TVistelIO io;
    io.SetAttachedBitmap(&image);
    korvane::InstallLzwCoders(io.Params);
    if (!io.SaveToFile(gif)) std::abort();
    // Our file must mean the same to giflib as to us.
    korvane::TDib loaded;
    io.SetAttachedBitmap(&loaded);
    if (!io.LoadFromFile(gif)) std::abort();
    const std::vector<std::uint8_t> indices = GiflibIndices(gif);
    const std::vector<korvane::TRGB>& map = io.Params.ColorMap;
    for (int y = 0; y < kHeight; ++y) {
      const std::uint8_t* px = loaded.ScanLine(y);
      for (int x = 0; x < kWidth; ++x, px += 3) {
        const korvane::TRGB& c = map.at(indices[static_cast<std::size_t>(y) * kWidth + x]);
        if (c.b != px[0] || c.g != px[1] || c.r != px[2]) std::abort();
      }
    }
  }
  ~GifFiles() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }
};

struct PcxFiles {
  std::filesystem::path dir = MakeTempDir();
  std::filesystem::path pcx = dir / "picture.pcx";
  std::filesystem::path raw = dir / "picture.raw";
  std::uintmax_t pcxBytes = 0;
  korvane::TDib pcxImage = PcxPicture();

  PcxFiles() {
    korvane::TVistelIO io;  // default parameters: 8 bits x 3 planes, RLE
    io.SetAttachedBitmap(&pcxImage);
    if (!io.SaveToFile(pcx)) std::abort();
    pcxBytes = std::filesystem::file_size(pcx);
    std::vector<char> zeros(pcxBytes);
    std::FILE* f = std::fopen(raw.c_str(), "wb");
    if (!f || std::fwrite(zeros.data(), 1, zeros.size(), f) != zeros.size()) std::abort();
    std::fclose(f);
  }
  ~PcxFiles() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }
};

GifFiles& SharedGif() {
  static GifFiles files;
  return files;
}

PcxFiles& SharedPcx() {
  static PcxFiles files;
  return files;
}

constexpr std::int64_t kPixels = std::int64_t{kWidth} * kHeight;

void BM_GifDGifSlurpReference(benchmark::State& state) {
  GifFiles& f = SharedGif();
  for (auto _ : state) {
    int error = 0;
    GifFileType* gif = DGifOpenFileName(f.gif.c_str(), &error);
    if (!gif || DGifSlurp(gif) != GIF_OK) std::abort();
    benchmark::DoNotOptimize(gif->SavedImages[0].RasterBits);
    DGifCloseFile(gif, &error);
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}

void BM_GifRead256(benchmark::State& state) {
  GifFiles& f = SharedGif();
  korvane::TDib target;
  korvane::TVistelIO io;
  io.SetAttachedBitmap(&target);
  korvane::InstallLzwCoders(io.Params);
  for (auto _ : state) {
    if (!io.LoadFromFile(f.gif)) std::abort();
    benchmark::DoNotOptimize(target.Rows());
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}

void BM_PcxFreadReference(benchmark::State& state) {
  PcxFiles& f = SharedPcx();
  std::vector<char> buffer(f.pcxBytes);
  for (auto _ : state) {
    std::FILE* file = std::fopen(f.raw.c_str(), "rb");
    if (!file || std::fread(buffer.data(), 1, buffer.size(), file) != buffer.size()) std::abort();
    std::fclose(file);
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.pcxBytes));
}

void BM_PcxRead24(benchmark::State& state) {
  PcxFiles& f = SharedPcx();
  korvane::TDib target;
  korvane::TVistelIO io;
  io.SetAttachedBitmap(&target);
  for (auto _ : state) {
    if (!io.LoadFromFile(f.pcx)) std::abort();
    benchmark::DoNotOptimize(target.Rows());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.pcxBytes));
}

void BM_PcxFwriteReference(benchmark::State& state) {
  PcxFiles& f = SharedPcx();
  const std::filesystem::path out = f.dir / "out.raw";
  std::vector<char> buffer(f.pcxBytes, 1);
  for (auto _ : state) {
    std::FILE* file = std::fopen(out.c_str(), "wb");
    if (!file || std::fwrite(buffer.data(), 1, buffer.size(), file) != buffer.size()) std::abort();
    std::fclose(file);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.pcxBytes));
}

void BM_PcxWrite24(benchmark::State& state) {
  PcxFiles& f = SharedPcx();
  const std::filesystem::path out = f.dir / "out.pcx";
  korvane::TVistelIO io;
  io.SetAttachedBitmap(&f.pcxImage);
  for (auto _ : state)
    if (!io.SaveToFile(out)) std::abort();
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.pcxBytes));
}

}  // namespace

BENCHMARK(BM_GifDGifSlurpReference)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GifRead256)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PcxFreadReference)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PcxRead24)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PcxFwriteReference)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PcxWrite24)->Unit(benchmark::kMillisecond)->UseRealTime();
