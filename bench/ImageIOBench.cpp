// Reading and writing a 24-bit BMP through the component, against fread/fwrite of the same number
// of bytes in the same run.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "imageio/Vistelio.h"

namespace {

struct Files {
  korvane::TDib image;
  std::filesystem::path dir;
  std::filesystem::path bmp, raw;
  std::uintmax_t bytes = 0;

  Files() {
    std::string pattern = (std::filesystem::temp_directory_path() / "korvane-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    dir = pattern;
    bmp = dir / "picture.bmp";
    raw = dir / "picture.raw";
    if (!image.SetSize(4000, 3000)) std::abort();
    for (std::size_t i = 0; i < image.ByteSize(); ++i)
      image.Rows()[i] = static_cast<std::uint8_t>(i * 7 + i / 4093);
    korvane::TVistelIO io;
    io.SetAttachedBitmap(&image);
    if (!io.SaveToFile(bmp)) std::abort();
    bytes = std::filesystem::file_size(bmp);
    std::vector<char> zeros(bytes);
    std::FILE* f = std::fopen(raw.c_str(), "wb");
    if (!f || std::fwrite(zeros.data(), 1, zeros.size(), f) != zeros.size()) std::abort();
    std::fclose(f);
  }
  ~Files() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }
};

Files& Shared() {
  static Files files;
  return files;
}

void BM_BmpFreadReference(benchmark::State& state) {
  Files& f = Shared();
  std::vector<char> buffer(f.bytes);
  for (auto _ : state) {
    std::FILE* file = std::fopen(f.raw.c_str(), "rb");
    if (!file || std::fread(buffer.data(), 1, buffer.size(), file) != buffer.size()) std::abort();
    std::fclose(file);
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.bytes));
}

// The same into memory fresh from the system each time, as a load must use: it may not touch the
// picture it replaces until it is complete.
void BM_BmpFreadFreshReference(benchmark::State& state) {
  Files& f = Shared();
  for (auto _ : state) {
    std::unique_ptr<char, decltype(&std::free)> buffer(static_cast<char*>(std::malloc(f.bytes)),
                                                      &std::free);
    std::FILE* file = std::fopen(f.raw.c_str(), "rb");
    if (!buffer || !file || std::fread(buffer.get(), 1, f.bytes, file) != f.bytes) std::abort();
    std::fclose(file);
    benchmark::DoNotOptimize(buffer.get());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.bytes));
}

void BM_BmpRead24(benchmark::State& state) {
  Files& f = Shared();
  korvane::TDib target;
  korvane::TVistelIO io;
  io.SetAttachedBitmap(&target);
  for (auto _ : state) {
    if (!io.LoadFromFile(f.bmp)) std::abort();
    benchmark::DoNotOptimize(target.Rows());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.bytes));
}

void BM_BmpFwriteReference(benchmark::State& state) {
  Files& f = Shared();
  const std::filesystem::path out = f.dir / "out.raw";
  std::vector<char> buffer(f.bytes, 1);
  for (auto _ : state) {
    std::FILE* file = std::fopen(out.c_str(), "wb");
    if (!file || std::fwrite(buffer.data(), 1, buffer.size(), file) != buffer.size()) std::abort();
    std::fclose(file);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.bytes));
}

void BM_BmpWrite24(benchmark::State& state) {
  Files& f = Shared();
  const std::filesystem::path out = f.dir / "out.bmp";
  korvane::TVistelIO io;
  io.SetAttachedBitmap(&f.image);
  for (auto _ : state)
    if (!io.SaveToFile(out)) std::abort();
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.bytes));
}

void BM_FindFileFormat(benchmark::State& state) {
  Files& f = Shared();
  for (auto _ : state) benchmark::DoNotOptimize(korvane::FindFileFormat(f.bmp));
}

}  // namespace

BENCHMARK(BM_BmpFreadReference)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BmpFreadFreshReference)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BmpRead24)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BmpFwriteReference)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BmpWrite24)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FindFileFormat)->Unit(benchmark::kMicrosecond)->UseRealTime();
