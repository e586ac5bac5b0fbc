// PNG reading through libpng 1.6, and the signature test.
//
// libpng delivers rows straight into the bitmap: 8-bit blue, green, red for every image deeper
// than one bit (grey and 16-bit samples converted, alpha composited on the background by
// libpng), packed bits for one-bit images, and palette indices that are checked and expanded
// here. libpng's errors longjmp back into the frame that
// set the jump point, which holds nothing with a destructor; the structures belong to a job
// object one frame up that frees them however the read ends.
#include "imageio/Pngfilt.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <vector>

#include <png.h>

#include "imageio/Vistelio.h"

namespace korvane {

namespace {

constexpr const char* kUnrecognized = "Unrecognized PNG";
constexpr std::int64_t kMaxPixels = std::int64_t{1} << 28;
// Deflate never packs more than 1032 bytes into one.
constexpr std::int64_t kMaxDeflateRatio = 1032;

struct PngReadJob {
  png_structp png = nullptr;
  png_infop info = nullptr;
  TStream* stream = nullptr;
  std::exception_ptr pending;
  bool outOfMemory = false;

  PngReadJob() = default;
  PngReadJob(const PngReadJob&) = delete;
  PngReadJob& operator=(const PngReadJob&) = delete;
  ~PngReadJob() { Destroy(); }
  void Destroy() {
    if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    png = nullptr;
    info = nullptr;
  }
};

[[noreturn]] void ErrorFn(png_structp png, png_const_charp message) {
  auto* job = static_cast<PngReadJob*>(png_get_error_ptr(png));
  if (job && message && std::strcmp(message, "Out of memory") == 0) job->outOfMemory = true;
  png_longjmp(png, 1);
}

void WarningFn(png_structp, png_const_charp) {}

void ReadFn(png_structp png, png_bytep data, png_size_t length) {
  auto* job = static_cast<PngReadJob*>(png_get_io_ptr(png));
  std::size_t got = 0;
  bool failed = false;
  try {
    got = job->stream->Read(data, length);
  } catch (...) {
    job->pending = std::current_exception();
    failed = true;
  }
  if (failed || got != length) png_error(png, "Read Error");
}

// A background sample of `depth` bits as 8 bits.
std::uint8_t Sample8(unsigned value, int depth) {
  if (depth == 16) return static_cast<std::uint8_t>(value >> 8);
  if (depth == 8) return static_cast<std::uint8_t>(value);
  const unsigned max = (1u << depth) - 1;
  return static_cast<std::uint8_t>((value & max) * 255 / max);
}

int DpiFromPpm(png_uint_32 ppm, int fallback) {
  if (ppm == 0) return fallback;
  return static_cast<int>(std::nearbyint(static_cast<double>(ppm) / 100.0 * 2.54));
}

// Kept out of DecodePng, whose frame a longjmp may leave, because it owns a vector.
void StoreColorMap(TIOParamsVals& params, const png_color* entries, int count) {
  std::vector<TRGB> map(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i)
    map[static_cast<std::size_t>(i)] = TRGB{entries[i].blue, entries[i].green, entries[i].red};
  params.SetColorMap(std::move(map));
}

// Palette images are expanded here rather than by libpng, which shows indices beyond the
// palette as black: each entry is composited on the background once, and the rows, read as one
// index a byte into the start of each bitmap row, are widened in place from the right.
struct PaletteTable {
  std::uint8_t bgr[256][3];
  bool valid[256];
};

void MakePaletteTable(PaletteTable& table, const png_color* entries, int count,
                      const png_byte* alpha, int alphaCount, TRGB background) {
  for (int i = 0; i < 256; ++i) {
    table.valid[i] = i < count;
    if (!table.valid[i]) continue;
    const unsigned a = i < alphaCount ? alpha[i] : 255;
    const auto blend = [a](unsigned f, unsigned b) {
      return static_cast<std::uint8_t>((a * f + (255 - a) * b + 127) / 255);
    };
    table.bgr[i][0] = blend(entries[i].blue, background.b);
    table.bgr[i][1] = blend(entries[i].green, background.g);
    table.bgr[i][2] = blend(entries[i].red, background.r);
  }
}

bool ExpandIndices(std::uint8_t* row, png_uint_32 width, const PaletteTable& table) {
  for (png_uint_32 x = width; x-- > 0;) {
    const std::uint8_t index = row[x];
    if (!table.valid[index]) return false;
    std::memcpy(row + 3 * static_cast<std::size_t>(x), table.bgr[index], 3);
  }
  return true;
}

bool DecodePng(PngReadJob& job, TDib& bitmap, TIOParamsVals& params, bool paramsOnly,
               TProgressRec& progress) {
  if (setjmp(png_jmpbuf(job.png))) return false;
  png_structp png = job.png;
  png_infop info = job.info;
  png_set_read_fn(png, &job, ReadFn);
  png_set_user_limits(png, kMaxBitmapSide, kMaxBitmapSide);
  const std::int64_t available = job.stream->Remaining();
  png_read_info(png, info);

  png_uint_32 width = 0, height = 0;
  int depth = 0, colorType = 0, interlace = 0;
  png_get_IHDR(png, info, &width, &height, &depth, &colorType, &interlace, nullptr, nullptr);
  const std::int64_t pixels = static_cast<std::int64_t>(width) * height;
  if (pixels > kMaxPixels) png_error(png, "Image too large");
  const std::int64_t raw =
      static_cast<std::int64_t>(height) * (1 + static_cast<std::int64_t>(png_get_rowbytes(png, info)));
  if (raw / kMaxDeflateRatio > available) png_error(png, "Image larger than the file");

  const bool palette = colorType == PNG_COLOR_TYPE_PALETTE;
  png_colorp entries = nullptr;
  int entryCount = 0;
  if (palette && !png_get_PLTE(png, info, &entries, &entryCount)) png_error(png, "Missing palette");
  png_bytep alpha = nullptr;
  int alphaCount = 0;
  const bool transparent = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  if (palette && transparent) png_get_tRNS(png, info, &alpha, &alphaCount, nullptr);
  // One-bit images stay one bit deep, in their own two colours.
  const bool oneBit = depth == 1 && !transparent && (!palette || entryCount >= 2);
  const bool ownPalette = palette && !oneBit;
  const bool byLibpng = !oneBit && !ownPalette;

  png_color_16p fileBackground = nullptr;
  if (png_get_bKGD(png, info, &fileBackground) && fileBackground) {
    TRGB c;
    if (palette) {
      if (fileBackground->index < entryCount) {
        const png_color& e = entries[fileBackground->index];
        c = TRGB{e.blue, e.green, e.red};
      }
    } else if (colorType & PNG_COLOR_MASK_COLOR) {
      c = TRGB{Sample8(fileBackground->blue, depth), Sample8(fileBackground->green, depth),
               Sample8(fileBackground->red, depth)};
    } else {
      const std::uint8_t v = Sample8(fileBackground->gray, depth);
      c = TRGB{v, v, v};
    }
    params.PNG_Background = c;
    if (byLibpng) png_set_background(png, fileBackground, PNG_BACKGROUND_GAMMA_FILE, 1, 1.0);
  } else if (byLibpng) {
    png_color_16 screen{};
    screen.red = params.PNG_Background.r;
    screen.green = params.PNG_Background.g;
    screen.blue = params.PNG_Background.b;
    screen.gray = static_cast<png_uint_16>(ColorLightness(ToColor(params.PNG_Background)));
    png_set_background(png, &screen, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
  }
  if (byLibpng) {
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_packing(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
  } else if (ownPalette) {
    png_set_packing(png);
  }
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);

  params.Width = static_cast<int>(width);
  params.Height = static_cast<int>(height);
  params.BitsPerSample = depth;
  switch (colorType) {
    case PNG_COLOR_TYPE_RGB: params.SamplesPerPixel = 3; break;
    case PNG_COLOR_TYPE_GRAY_ALPHA: params.SamplesPerPixel = 2; break;
    case PNG_COLOR_TYPE_RGB_ALPHA: params.SamplesPerPixel = 4; break;
    default: params.SamplesPerPixel = 1; break;
  }
  params.DpiX = DpiFromPpm(png_get_x_pixels_per_meter(png, info), gSystemDPIX);
  params.DpiY = DpiFromPpm(png_get_y_pixels_per_meter(png, info), gSystemDPIY);
  StoreColorMap(params, palette ? entries : nullptr, palette ? entryCount : 0);
  params.PNG_Interlaced = interlace != PNG_INTERLACE_NONE;
  if (paramsOnly) return true;

  const TPixelFormat format = oneBit ? TPixelFormat::pf1bit : TPixelFormat::pf24bit;
  if (!bitmap.SetSize(static_cast<int>(width), static_cast<int>(height), format))
    png_error(png, "Out of memory");
  // Rows go straight into the bitmap, so they must be exactly what it holds.
  const std::size_t rowBytes = png_get_rowbytes(png, info);
  const std::size_t expected = oneBit       ? (width + 7) / 8
                               : ownPalette ? static_cast<std::size_t>(width)
                                            : static_cast<std::size_t>(width) * 3;
  if (rowBytes != expected) png_error(png, "Unexpected row layout");
  if (oneBit && palette) {
    const png_color& dark = entries[0];
    const png_color& light = entries[1];
    bitmap.SetPalette({RGBColor(dark.red, dark.green, dark.blue),
                       RGBColor(light.red, light.green, light.blue)});
  }
  PaletteTable table;
  if (ownPalette)
    MakePaletteTable(table, entries, entryCount, alpha, alphaCount, params.PNG_Background);

  progress.SetTotal(static_cast<std::int64_t>(passes) * height);
  bool aborted = false;
  for (int pass = 0; pass < passes && !aborted; ++pass)
    for (png_uint_32 y = 0; y < height; ++y) {
      if (progress.Aborted()) {
        aborted = true;
        break;
      }
      std::uint8_t* row = bitmap.ScanLine(static_cast<int>(y));
      png_read_row(png, row, nullptr);
      if (ownPalette && passes == 1 && !ExpandIndices(row, width, table))
        png_error(png, "Palette index out of range");
      progress.Advance();
    }
  if (ownPalette && passes > 1)
    for (png_uint_32 y = 0; y < height; ++y)
      if (!ExpandIndices(bitmap.ScanLine(static_cast<int>(y)), width, table))
        png_error(png, "Palette index out of range");
  if (aborted) return true;
  png_read_end(png, nullptr);
  return true;
}

}  // namespace

void ReadPNGStream(TStream& stream, TDib& bitmap, TIOParamsVals& params, bool paramsOnly,
                   TProgressRec& progress) {
  auto job = std::make_unique<PngReadJob>();
  job->stream = &stream;
  job->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, job.get(), ErrorFn, WarningFn);
  if (!job->png) throw EInvalidGraphic(kUnrecognized);
  job->info = png_create_info_struct(job->png);
  if (!job->info) throw EInvalidGraphic(kUnrecognized);
  if (DecodePng(*job, bitmap, params, paramsOnly, progress)) return;
  if (job->pending) std::rethrow_exception(job->pending);
  if (job->outOfMemory) throw std::bad_alloc();
  throw EInvalidGraphic(kUnrecognized);
}

bool IsPNGStream(TStream& stream) {
  static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  std::uint8_t head[8];
  const std::int64_t start = stream.Position();
  const std::size_t got = stream.Read(head, sizeof head);
  stream.SetPosition(start);
  return got == sizeof head && std::memcmp(head, kSignature, sizeof head) == 0;
}

}  // namespace korvane
