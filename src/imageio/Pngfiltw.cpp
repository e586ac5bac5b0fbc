// PNG writing through libpng 1.6: black and white at one bit, a 256-colour palette from the
// quantizer, or 8-bit RGB handed over as the bitmap's own blue, green, red rows.
//
// As in the reader, the frame that sets libpng's jump point owns nothing with a destructor: the
// source bitmap, the quantizer and the row buffer are made beforehand, and the libpng
// structures belong to a job object that frees them however the write ends.
#include "imageio/Pngfiltw.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <vector>

#include <png.h>

#include "imageio/Stdquant.h"
#include "imageio/Vistelio.h"

namespace korvane {

namespace {

constexpr const char* kCreateError = "Error on creating PNG";

enum class Kind {
  Grey1,     // black and white (possibly stored inverted in the bitmap)
  Palette1,  // two colours of a 1-bit bitmap that are not black and white
  Palette8,  // 256 colours from the quantizer
  Rgb8,
};

struct PngWriteJob {
  png_structp png = nullptr;
  png_infop info = nullptr;
  TStream* stream = nullptr;
  std::exception_ptr pending;

  PngWriteJob() = default;
  PngWriteJob(const PngWriteJob&) = delete;
  PngWriteJob& operator=(const PngWriteJob&) = delete;
  ~PngWriteJob() { Destroy(); }
  void Destroy() {
    if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
    png = nullptr;
    info = nullptr;
  }
};

[[noreturn]] void ErrorFn(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void WarningFn(png_structp, png_const_charp) {}

void WriteFn(png_structp png, png_bytep data, png_size_t length) {
  auto* job = static_cast<PngWriteJob*>(png_get_io_ptr(png));
  bool failed = false;
  try {
    job->stream->WriteBuffer(data, length);
  } catch (...) {
    job->pending = std::current_exception();
    failed = true;
  }
  if (failed) png_error(png, "Write Error");
}

void FlushFn(png_structp) {}

png_uint_32 PpmFromDpi(int dpi) {
  const double ppm = std::nearbyint(static_cast<double>(dpi) * 100.0 / 2.54);
  if (!(ppm > 0)) return 0;
  return ppm >= 2147483647.0 ? 2147483647u : static_cast<png_uint_32>(ppm);
}

struct Plan {
  const TDib* source = nullptr;
  Kind kind = Kind::Rgb8;
  bool invert = false;  // Grey1 from a bitmap whose entry 0 is white
  const TVxQuantizer* quantizer = nullptr;
  const TRGB* palette = nullptr;  // 256 entries for Palette8
  std::uint8_t* row = nullptr;    // room for one row of the file
};

// The palette entry of a two-colour bitmap closest to `c`.
int NearestOfTwo(const std::array<TColor, 2>& palette, TColor c) {
  const auto distance = [c](TColor p) {
    return std::abs(RedOf(p) - RedOf(c)) + std::abs(GreenOf(p) - GreenOf(c)) +
           std::abs(BlueOf(p) - BlueOf(c));
  };
  return distance(palette[1]) < distance(palette[0]) ? 1 : 0;
}

bool EncodePng(PngWriteJob& job, const Plan& plan, const TIOParamsVals& params,
               TProgressRec& progress) {
  if (setjmp(png_jmpbuf(job.png))) return false;
  png_structp png = job.png;
  png_infop info = job.info;
  png_set_write_fn(png, &job, WriteFn, FlushFn);

  const TDib& source = *plan.source;
  const png_uint_32 width = static_cast<png_uint_32>(source.Width());
  const png_uint_32 height = static_cast<png_uint_32>(source.Height());
  const int colorType = plan.kind == Kind::Grey1 ? PNG_COLOR_TYPE_GRAY
                        : plan.kind == Kind::Rgb8 ? PNG_COLOR_TYPE_RGB
                                                  : PNG_COLOR_TYPE_PALETTE;
  const int depth = plan.kind == Kind::Grey1 || plan.kind == Kind::Palette1 ? 1 : 8;
  png_set_IHDR(png, info, width, height, depth, colorType,
               params.PNG_Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);

  const TColor background = ToColor(params.PNG_Background);
  png_color entries[256] = {};
  png_color_16 bkgd{};
  if (plan.kind == Kind::Palette8) {
    for (int i = 0; i < 256; ++i)
      entries[i] = png_color{plan.palette[i].r, plan.palette[i].g, plan.palette[i].b};
    png_set_PLTE(png, info, entries, 256);
    bkgd.index = static_cast<png_byte>(plan.quantizer->GetRGBIndex(params.PNG_Background));
  } else if (plan.kind == Kind::Palette1) {
    const auto& two = source.Palette();
    for (int i = 0; i < 2; ++i)
      entries[i] = png_color{RedOf(two[static_cast<std::size_t>(i)]),
                             GreenOf(two[static_cast<std::size_t>(i)]),
                             BlueOf(two[static_cast<std::size_t>(i)])};
    png_set_PLTE(png, info, entries, 2);
    bkgd.index = static_cast<png_byte>(NearestOfTwo(two, background));
  } else if (plan.kind == Kind::Grey1) {
    bkgd.gray = ColorLightness(background) >= 128 ? 1 : 0;
  } else {
    // Samples at the image's own depth: 8 bits.
    bkgd.red = params.PNG_Background.r;
    bkgd.green = params.PNG_Background.g;
    bkgd.blue = params.PNG_Background.b;
  }

  const png_uint_32 ppmX = PpmFromDpi(params.DpiX), ppmY = PpmFromDpi(params.DpiY);
  if (ppmX > 0 && ppmY > 0) png_set_pHYs(png, info, ppmX, ppmY, PNG_RESOLUTION_METER);
  switch (params.PNG_Filter) {
    case ioPNG_FILTER_SUB: png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB); break;
    case ioPNG_FILTER_PAETH: png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_PAETH); break;
    default: png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE); break;
  }
  png_set_bKGD(png, info, &bkgd);
  png_set_compression_level(png, std::clamp(params.PNG_Compression, 0, 9));
  png_set_bgr(png);
  png_write_info(png, info);
  const int passes = png_set_interlace_handling(png);

  const std::size_t packed = (width + 7) / 8;
  progress.SetTotal(static_cast<std::int64_t>(passes) * height);
  for (int pass = 0; pass < passes; ++pass)
    for (png_uint_32 y = 0; y < height; ++y) {
      if (progress.Aborted()) return true;
      const std::uint8_t* in = source.ScanLine(static_cast<int>(y));
      png_bytep out = const_cast<png_bytep>(in);  // libpng does not write into the rows it gets
      if (plan.kind == Kind::Palette8) {
        for (png_uint_32 x = 0; x < width; ++x)
          plan.row[x] = static_cast<std::uint8_t>(plan.quantizer->GetPixelIndex(in + 3 * x));
        out = plan.row;
      } else if (plan.invert) {
        for (std::size_t i = 0; i < packed; ++i) plan.row[i] = static_cast<std::uint8_t>(~in[i]);
        out = plan.row;
      }
      png_write_row(png, out);
      progress.Advance();
    }
  png_write_end(png, info);
  return true;
}

}  // namespace

void WritePNGStream(TStream& stream, const TDib& bitmap, TIOParamsVals& params,
                    TProgressRec& progress) {
  if (bitmap.Empty()) throw EInvalidGraphic("There is no image to write");
  Plan plan;
  TDib converted;
  plan.source = &bitmap;
  if (params.SamplesPerPixel == 1 && params.BitsPerSample == 1) {
    if (bitmap.PixelFormat() != TPixelFormat::pf1bit) {
      if (TStatus s = MakeBlackWhite(bitmap, converted); !s) throw std::bad_alloc();
      plan.source = &converted;
    }
    const auto& two = plan.source->Palette();
    if (two[0] == clBlack && two[1] == clWhite) {
      plan.kind = Kind::Grey1;
    } else if (two[0] == clWhite && two[1] == clBlack) {
      plan.kind = Kind::Grey1;
      plan.invert = true;
    } else {
      // Grey would lose the two colours.
      plan.kind = Kind::Palette1;
    }
  } else {
    if (bitmap.PixelFormat() != TPixelFormat::pf24bit) {
      if (TStatus s = ConvertTo24Bit(bitmap, converted); !s) throw std::bad_alloc();
      plan.source = &converted;
    }
    plan.kind = params.SamplesPerPixel == 1 ? Kind::Palette8 : Kind::Rgb8;
  }

  std::vector<TRGB> palette(256);
  std::unique_ptr<TVxQuantizer> quantizer;
  if (plan.kind == Kind::Palette8) {
    quantizer = std::make_unique<TVxQuantizer>(*plan.source, palette.data(), 256);
    plan.quantizer = quantizer.get();
    plan.palette = palette.data();
  }
  std::vector<std::uint8_t> row(static_cast<std::size_t>(plan.source->Width()) + 8);
  plan.row = row.data();

  PngWriteJob job;
  job.stream = &stream;
  job.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &job, ErrorFn, WarningFn);
  if (!job.png) throw EInvalidGraphic(kCreateError);
  job.info = png_create_info_struct(job.png);
  if (!job.info) throw EInvalidGraphic(kCreateError);
  if (EncodePng(job, plan, params, progress)) return;
  if (job.pending) std::rethrow_exception(job.pending);
  throw EInvalidGraphic(kCreateError);
}

}  // namespace korvane
