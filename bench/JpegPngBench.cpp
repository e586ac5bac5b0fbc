// JPEG and PNG codecs against libjpeg-turbo and libpng called directly on the same 4000 x 3000
// picture in memory: the wrappers should cost next to nothing on top of the libraries.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <jpeglib.h>
#include <png.h>

#include "imageio/Jpegfilt.h"
#include "imageio/Pngfilt.h"
#include "imageio/Pngfiltw.h"
#include "imageio/Stream.h"
#include "imageio/Vistelio.h"

namespace korvane {
namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;
constexpr int kJpegQuality = 75;
constexpr int kPngLevel = 6;

// Smooth shapes with a little grain, roughly as a photograph compresses.
const TDib& Picture() {
  static const TDib picture = [] {
    TDib bmp;
    if (!bmp.SetSize(kWidth, kHeight)) std::abort();
    std::uint32_t seed = 12345;
    for (int y = 0; y < kHeight; ++y) {
      std::uint8_t* px = bmp.ScanLine(y);
      for (int x = 0; x < kWidth; ++x, px += 3) {
        seed = seed * 1664525u + 1013904223u;
        const int grain = static_cast<int>(seed >> 29);
        px[0] = static_cast<std::uint8_t>((x / 16 + y / 24) % 256 + grain);
        px[1] = static_cast<std::uint8_t>(((x * y) >> 14) % 200 + grain);
        px[2] = static_cast<std::uint8_t>(255 - (y * 255 / kHeight) + grain / 2);
      }
    }
    return bmp;
  }();
  return picture;
}

TIOParamsVals BenchParams() {
  TIOParamsVals params;
  params.JPEG_Quality = kJpegQuality;
  params.PNG_Compression = kPngLevel;
  params.PNG_Filter = ioPNG_FILTER_NONE;
  return params;
}

std::vector<std::uint8_t> Encoded(bool png) {
  TMemoryStream stream;
  TIOParamsVals params = BenchParams();
  TProgressRec progress;
  if (png) WritePNGStream(stream, Picture(), params, progress);
  else WriteJPegStream(stream, Picture(), params, progress);
  return stream.Bytes();
}

const std::vector<std::uint8_t>& JpegFile() {
  static const std::vector<std::uint8_t> file = Encoded(false);
  return file;
}
const std::vector<std::uint8_t>& PngFile() {
  static const std::vector<std::uint8_t> file = Encoded(true);
  return file;
}

void SetBytes(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kWidth * kHeight * 3);
}

// ---------------------------------------------------------------------------------------------
// JPEG

void BM_JpegWrite_Korvane(benchmark::State& state) {
  const TDib& picture = Picture();
  for (auto _ : state) {
    TMemoryStream stream;
    TIOParamsVals params = BenchParams();
    TProgressRec progress;
    WriteJPegStream(stream, picture, params, progress);
    benchmark::DoNotOptimize(stream.Bytes().data());
  }
  SetBytes(state);
}
BENCHMARK(BM_JpegWrite_Korvane)->Unit(benchmark::kMillisecond);

void BM_JpegWrite_Libjpeg(benchmark::State& state) {
  const TDib& picture = Picture();
  for (auto _ : state) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = kWidth;
    cinfo.image_height = kHeight;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, kJpegQuality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    for (int y = 0; y < kHeight; ++y) {
      JSAMPROW row = const_cast<JSAMPROW>(picture.ScanLine(y));
      jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    benchmark::DoNotOptimize(out);
    std::free(out);
  }
  SetBytes(state);
}
BENCHMARK(BM_JpegWrite_Libjpeg)->Unit(benchmark::kMillisecond);

void BM_JpegRead_Korvane(benchmark::State& state) {
  const std::vector<std::uint8_t>& file = JpegFile();
  for (auto _ : state) {
    TMemoryStream stream(file.data(), file.size());
    TDib bitmap;
    TIOParamsVals params = BenchParams();
    TProgressRec progress;
    ReadJPegStream(stream, bitmap, params, false, progress);
    benchmark::DoNotOptimize(bitmap.Rows());
  }
  SetBytes(state);
}
BENCHMARK(BM_JpegRead_Korvane)->Unit(benchmark::kMillisecond);

void BM_JpegRead_Libjpeg(benchmark::State& state) {
  const std::vector<std::uint8_t>& file = JpegFile();
  for (auto _ : state) {
    // The same kind of bitmap the wrapper fills, so that both pay the same for fresh memory.
    TDib bitmap;
    if (!bitmap.SetSize(kWidth, kHeight)) std::abort();
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&cinfo);
    JSAMPROW rows[16];
    while (cinfo.output_scanline < cinfo.output_height) {
      const int first = static_cast<int>(cinfo.output_scanline);
      const int n = std::min(cinfo.rec_outbuf_height, kHeight - first);
      for (int i = 0; i < n; ++i) rows[i] = bitmap.ScanLine(first + i);
      jpeg_read_scanlines(&cinfo, rows, static_cast<JDIMENSION>(n));
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    benchmark::DoNotOptimize(bitmap.Rows());
  }
  SetBytes(state);
}
BENCHMARK(BM_JpegRead_Libjpeg)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------------------------
// PNG

void BM_PngWrite_Korvane(benchmark::State& state) {
  const TDib& picture = Picture();
  for (auto _ : state) {
    TMemoryStream stream;
    TIOParamsVals params = BenchParams();
    TProgressRec progress;
    WritePNGStream(stream, picture, params, progress);
    benchmark::DoNotOptimize(stream.Bytes().data());
  }
  SetBytes(state);
}
BENCHMARK(BM_PngWrite_Korvane)->Unit(benchmark::kMillisecond);

void AppendBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}
void NoFlush(png_structp) {}

void BM_PngWrite_Libpng(benchmark::State& state) {
  const TDib& picture = Picture();
  for (auto _ : state) {
    std::vector<std::uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, AppendBytes, NoFlush);
    png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_compression_level(png, kPngLevel);
    png_set_bgr(png);
    png_write_info(png, info);
    for (int y = 0; y < kHeight; ++y) png_write_row(png, picture.ScanLine(y));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    benchmark::DoNotOptimize(out.data());
  }
  SetBytes(state);
}
BENCHMARK(BM_PngWrite_Libpng)->Unit(benchmark::kMillisecond);

void BM_PngRead_Korvane(benchmark::State& state) {
  const std::vector<std::uint8_t>& file = PngFile();
  for (auto _ : state) {
    TMemoryStream stream(file.data(), file.size());
    TDib bitmap;
    TIOParamsVals params = BenchParams();
    TProgressRec progress;
    ReadPNGStream(stream, bitmap, params, false, progress);
    benchmark::DoNotOptimize(bitmap.Rows());
  }
  SetBytes(state);
}
BENCHMARK(BM_PngRead_Korvane)->Unit(benchmark::kMillisecond);

struct MemoryReader {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t position = 0;
};

void ReadBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* in = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (in->size - in->position < length) png_error(png, "Read Error");
  std::memcpy(data, in->data + in->position, length);
  in->position += length;
}

void BM_PngRead_Libpng(benchmark::State& state) {
  const std::vector<std::uint8_t>& file = PngFile();
  for (auto _ : state) {
    TDib bitmap;
    if (!bitmap.SetSize(kWidth, kHeight)) std::abort();
    MemoryReader reader{file.data(), file.size()};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_read_fn(png, &reader, ReadBytes);
    png_read_info(png, info);
    png_set_bgr(png);
    png_read_update_info(png, info);
    for (int y = 0; y < kHeight; ++y) png_read_row(png, bitmap.ScanLine(y), nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    benchmark::DoNotOptimize(bitmap.Rows());
  }
  SetBytes(state);
}
BENCHMARK(BM_PngRead_Libpng)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvane
