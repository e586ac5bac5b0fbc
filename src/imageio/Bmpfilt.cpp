#include "imageio/Bmpfilt.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "imageio/Stdquant.h"
#include "imageio/Vistelio.h"

namespace korvane {

namespace {

constexpr const char* kUnrecognized = "unrecognized BMP";
constexpr std::int64_t kMaxPixels = std::int64_t{1} << 28;
constexpr int kFileHeaderSize = 14;

[[noreturn]] void Refuse() { throw EInvalidGraphic(kUnrecognized); }

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t U32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::int32_t S32(const std::uint8_t* p) { return static_cast<std::int32_t>(U32(p)); }

void Put16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}

// Pixels per metre to dots per inch, half to even; nonsense falls back to the screen.
int DpiFromPpm(std::int32_t ppm, int fallback) {
  const double dpi = std::nearbyint(static_cast<double>(ppm) / 100.0 * 2.54);
  return dpi >= 1 ? static_cast<int>(dpi) : fallback;
}

std::uint32_t PpmFromDpi(int dpi) {
  const double ppm = std::nearbyint(static_cast<double>(dpi) / 2.54 * 100.0);
  if (!(ppm > 0)) return 0;
  return ppm >= 2147483647.0 ? 2147483647u : static_cast<std::uint32_t>(ppm);
}

// One channel of a bit-field pixel: n bits scaled to 0..255 by round(v * 255 / (2^n - 1)).
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  std::uint64_t max = 0;  // 2^n - 1, 0 for an absent channel

  static bool Make(std::uint32_t mask, Channel& out) {
    out = Channel{};
    out.mask = mask;
    if (mask == 0) return true;
    out.shift = std::countr_zero(mask);
    const std::uint64_t bits = mask >> out.shift;
    if ((bits & (bits + 1)) != 0) return false;  // not one contiguous run
    out.max = bits;
    return true;
  }
  std::uint8_t operator()(std::uint32_t pixel) const {
    if (max == 0) return 0;
    const std::uint64_t v = (pixel & mask) >> shift;
    // 2 * 255 * v is even and (2^n - 1) odd, so the quotient never lies on a half.
    return static_cast<std::uint8_t>((2 * 255 * v + max) / (2 * max));
  }
};

struct Info {
  std::uint32_t headerSize = 0;
  bool os2v1 = false;   // 12-byte header, 3-byte palette entries
  bool os2v2 = false;   // 16 to 64 bytes, OS/2 meanings of compression 3 and 4
  std::int64_t width = 0;
  std::int64_t height = 0;
  bool topDown = false;
  int bits = 0;
  std::uint32_t compression = 0;
  std::int32_t xppm = 0, yppm = 0;
  std::uint32_t colorsUsed = 0;
  std::uint32_t masks[4] = {0, 0, 0, 0};
  bool hasMasks = false;
};

enum : std::uint32_t { kRGB = 0, kRLE8 = 1, kRLE4 = 2, kBitFields = 3, kAlphaBitFields = 6 };

// Reads and checks the headers and the palette; leaves the stream at the pixel data.
struct Parsed {
  Info info;
  std::array<TRGB, 256> palette{};
  int paletteCount = 0;  // entries usable for lookup
  std::vector<TRGB> colorMap;
  std::int64_t dataSize = 0;  // bytes from the pixel data to the end of what may be read
  Channel red, green, blue;
};

Parsed ParseHeaders(TStream& stream, std::int64_t start, std::int64_t available) {
  Parsed p;
  Info& h = p.info;
  std::uint8_t fileHeader[kFileHeaderSize];
  if (available < kFileHeaderSize + 12) Refuse();
  stream.ReadBuffer(fileHeader, sizeof fileHeader);
  if (fileHeader[0] != 'B' || fileHeader[1] != 'M') Refuse();
  // The file-size field is ignored: writers often get it wrong, and the stream knows better.
  const std::uint32_t dataOffset = U32(fileHeader + 10);

  std::uint8_t header[64] = {};
  stream.ReadBuffer(header, 4);
  h.headerSize = U32(header);
  if (h.headerSize < 12 || (h.headerSize > 12 && h.headerSize < 16) ||
      h.headerSize > available - kFileHeaderSize)
    Refuse();
  const std::uint32_t kept = std::min<std::uint32_t>(h.headerSize, 64);
  stream.ReadBuffer(header + 4, kept - 4);
  if (h.headerSize > 64) stream.Seek(h.headerSize - 64, TSeekOrigin::soCurrent);
  std::int64_t position = kFileHeaderSize + static_cast<std::int64_t>(h.headerSize);

  h.os2v1 = h.headerSize == 12;
  h.os2v2 = !h.os2v1 && h.headerSize <= 64 && h.headerSize != 40 && h.headerSize != 52 &&
            h.headerSize != 56;
  if (h.os2v1) {
    h.width = U16(header + 4);
    h.height = U16(header + 6);
    h.bits = U16(header + 10);
  } else {
    h.width = S32(header + 4);
    h.height = S32(header + 8);
    h.bits = U16(header + 14);
    h.compression = U32(header + 16);
    h.xppm = S32(header + 24);
    h.yppm = S32(header + 28);
    h.colorsUsed = U32(header + 32);
  }
  if (h.height < 0) {
    h.topDown = true;
    h.height = -h.height;
  }
  if (h.width <= 0 || h.height <= 0 || h.width > kMaxBitmapSide || h.height > kMaxBitmapSide ||
      h.width * h.height > kMaxPixels)
    Refuse();
  switch (h.bits) {
    case 1: case 2: case 4: case 8: case 16: case 24: case 32: break;
    default: Refuse();
  }
  switch (h.compression) {
    case kRGB: break;
    case kRLE8: if (h.bits != 8) Refuse(); break;
    case kRLE4: if (h.bits != 4) Refuse(); break;
    case kBitFields:
    case kAlphaBitFields:
      // OS/2 2.x uses 3 for Huffman-coded fax data, which is not supported.
      if (h.os2v2 || (h.bits != 16 && h.bits != 32)) Refuse();
      break;
    default: Refuse();
  }

  if (h.compression == kBitFields || h.compression == kAlphaBitFields) {
    if (h.headerSize >= 52) {
      for (int i = 0; i < 3; ++i) h.masks[i] = U32(header + 40 + 4 * i);
    } else {
      const int count = h.compression == kAlphaBitFields ? 4 : 3;
      std::uint8_t masks[16];
      if (position + 4 * count > available) Refuse();
      stream.ReadBuffer(masks, static_cast<std::size_t>(4 * count));
      for (int i = 0; i < 3; ++i) h.masks[i] = U32(masks + 4 * i);
      position += 4 * count;
    }
    h.hasMasks = true;
  } else if (h.bits == 16) {
    h.masks[0] = 0x7C00, h.masks[1] = 0x03E0, h.masks[2] = 0x001F;
  } else if (h.bits == 32) {
    h.masks[0] = 0xFF0000, h.masks[1] = 0x00FF00, h.masks[2] = 0x0000FF;
  }
  if (h.bits >= 16) {
    if (!Channel::Make(h.masks[0], p.red) || !Channel::Make(h.masks[1], p.green) ||
        !Channel::Make(h.masks[2], p.blue))
      Refuse();
    if (h.bits == 16 && ((h.masks[0] | h.masks[1] | h.masks[2]) >> 16) != 0) Refuse();
  }

  // The palette: counted entries must all be in the file before the pixel data; an implied
  // count (2^bits) shrinks to what fits, as short OS/2 palettes need.
  const int entrySize = h.os2v1 ? 3 : 4;
  const bool explicitCount = !h.os2v1 && h.colorsUsed != 0;
  std::int64_t entries = explicitCount ? h.colorsUsed : (h.bits <= 8 ? (1 << h.bits) : 0);
  if (dataOffset != 0) {
    if (dataOffset < position || dataOffset >= available) Refuse();
    const std::int64_t room = (dataOffset - position) / entrySize;
    if (entries > room) {
      if (explicitCount) Refuse();
      entries = room;
    }
  }
  if (position + entries * entrySize > available) Refuse();
  const std::int64_t keptEntries = std::min<std::int64_t>(entries, 256);
  p.colorMap.resize(static_cast<std::size_t>(keptEntries));
  std::vector<std::uint8_t> raw(static_cast<std::size_t>(keptEntries * entrySize));
  stream.ReadBuffer(raw.data(), raw.size());
  for (std::int64_t i = 0; i < keptEntries; ++i) {
    const std::uint8_t* e = raw.data() + i * entrySize;
    p.colorMap[static_cast<std::size_t>(i)] = TRGB{e[0], e[1], e[2]};
  }
  position += entries * entrySize;
  if (h.bits <= 8) {
    p.paletteCount = static_cast<int>(std::min<std::int64_t>(keptEntries, 1 << h.bits));
    std::copy_n(p.colorMap.begin(), p.paletteCount, p.palette.begin());
  }

  if (dataOffset != 0) position = dataOffset;
  if (position >= available) Refuse();
  stream.SetPosition(start + position);
  p.dataSize = available - position;
  return p;
}

void FillParams(const Parsed& p, TIOParamsVals& params) {
  const Info& h = p.info;
  params.BMP_Version = h.os2v1 ? ioBMP_BMOS2V1
                       : h.headerSize == 64 ? ioBMP_BMOS2V2
                       : h.headerSize == 40 ? ioBMP_BM3
                                            : ioBMP_BM;
  params.BMP_Compression =
      h.compression == kRLE8 || h.compression == kRLE4 ? ioBMP_RLE : ioBMP_UNCOMPRESSED;
  params.Width = static_cast<int>(h.width);
  params.Height = static_cast<int>(h.height);
  if (h.os2v1) {
    params.DpiX = gSystemDPIX;
    params.DpiY = gSystemDPIY;
  } else {
    params.DpiX = DpiFromPpm(h.xppm, gSystemDPIX);
    params.DpiY = DpiFromPpm(h.yppm, gSystemDPIY);
  }
  switch (h.bits) {
    case 16: params.BitsPerSample = 5, params.SamplesPerPixel = 3; break;
    case 24:
    case 32: params.BitsPerSample = 8, params.SamplesPerPixel = 3; break;
    default: params.BitsPerSample = h.bits, params.SamplesPerPixel = 1; break;
  }
  params.SetColorMap(p.colorMap);
}

inline void PutPixel(std::uint8_t* px, TRGB c) {
  px[0] = c.b;
  px[1] = c.g;
  px[2] = c.r;
}

// One uncompressed file row into a 24-bit bitmap row.
void DecodeRow(const Parsed& p, const std::uint8_t* in, std::uint8_t* out, int width) {
  const int bits = p.info.bits;
  if (bits <= 8) {
    const int perByte = 8 / bits;
    const int mask = (1 << bits) - 1;
    for (int x = 0; x < width; ++x, out += 3) {
      const int shift = 8 - bits * (x % perByte + 1);
      const int index = (in[x / perByte] >> shift) & mask;
      if (index >= p.paletteCount) Refuse();
      PutPixel(out, p.palette[static_cast<std::size_t>(index)]);
    }
  } else if (bits == 16) {
    for (int x = 0; x < width; ++x, out += 3, in += 2) {
      const std::uint32_t v = U16(in);
      out[0] = p.blue(v);
      out[1] = p.green(v);
      out[2] = p.red(v);
    }
  } else if (bits == 32) {
    if (!p.info.hasMasks) {
      for (int x = 0; x < width; ++x, out += 3, in += 4) {
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
      }
    } else {
      for (int x = 0; x < width; ++x, out += 3, in += 4) {
        const std::uint32_t v = U32(in);
        out[0] = p.blue(v);
        out[1] = p.green(v);
        out[2] = p.red(v);
      }
    }
  }
}

// Walks RLE4/RLE8 codes, refusing runs and deltas that leave the image. Without a target it only
// checks, so that nothing is allocated for a file that will be refused. Returns false when
// stopped through Aborting.
bool DecodeRle(const Parsed& p, const std::uint8_t* data, std::size_t size, TDib* target,
               TProgressRec* progress) {
  const bool rle8 = p.info.compression == kRLE8;
  const std::int64_t width = p.info.width, height = p.info.height;
  std::int64_t x = 0, y = 0;
  std::size_t i = 0;
  const auto pixel = [&](std::int64_t px, int index) {
    if (index >= p.paletteCount) Refuse();
    if (!target) return;
    const int row = static_cast<int>(p.info.topDown ? height - 1 - y : y);
    PutPixel(target->Row(row) + 3 * px, p.palette[static_cast<std::size_t>(index)]);
  };
  const auto rows = [&](std::int64_t n) {
    if (progress && n > 0) progress->Advance(n);
  };
  while (y < height) {
    // Data that stops before the end code or the top row's line end is a truncated file.
    if (i + 2 > size) Refuse();
    const int a = data[i], b = data[i + 1];
    i += 2;
    if (a > 0) {
      if (x + a > width) Refuse();
      for (int k = 0; k < a; ++k)
        pixel(x + k, rle8 ? b : (k & 1 ? b & 15 : b >> 4));
      x += a;
    } else if (b == 0) {
      x = 0;
      ++y;
      rows(1);
      if (progress && progress->Aborted()) return false;
    } else if (b == 1) {
      break;
    } else if (b == 2) {
      if (i + 2 > size) Refuse();
      x += data[i];
      const int dy = data[i + 1];
      i += 2;
      if (x > width || y + dy >= height) Refuse();
      y += dy;
      rows(dy);
    } else {
      const std::size_t bytes = rle8 ? b : (static_cast<std::size_t>(b) + 1) / 2;
      if (i + bytes > size || x + b > width) Refuse();
      for (int k = 0; k < b; ++k) {
        const std::uint8_t v = data[i + (rle8 ? k : k / 2)];
        pixel(x + k, rle8 ? v : (k & 1 ? v & 15 : v >> 4));
      }
      x += b;
      i += bytes + (bytes & 1);
    }
  }
  return true;
}

std::int64_t RowLength(std::int64_t width, int bits) { return (width * bits + 31) / 32 * 4; }

}  // namespace

void BMPReadStream(TStream& stream, TDib& bitmap, std::int64_t totalSize, bool paramsOnly,
                   TProgressRec& progress, TIOParamsVals& params) {
  try {
    const std::int64_t start = stream.Position();
    std::int64_t available = stream.Size() - start;
    if (totalSize > 0) available = std::min(available, totalSize);
    const Parsed p = ParseHeaders(stream, start, available);
    const Info& h = p.info;
    TIOParamsVals filled = params;
    FillParams(p, filled);
    const int width = static_cast<int>(h.width), height = static_cast<int>(h.height);
    if (h.compression == kRGB || h.compression == kBitFields || h.compression == kAlphaBitFields) {
      if (RowLength(h.width, h.bits) * h.height > p.dataSize) Refuse();
    } else if (p.dataSize > std::numeric_limits<std::int32_t>::max()) {
      Refuse();
    }
    if (paramsOnly) {
      params = std::move(filled);
      return;
    }

    TDib out;
    progress.SetTotal(height);
    if (h.compression == kRLE8 || h.compression == kRLE4) {
      std::vector<std::uint8_t> data(static_cast<std::size_t>(p.dataSize));
      stream.ReadBuffer(data.data(), data.size());
      DecodeRle(p, data.data(), data.size(), nullptr, nullptr);
      if (!out.SetSize(width, height)) Refuse();
      if (!DecodeRle(p, data.data(), data.size(), &out, &progress)) return;
    } else {
      if (!out.SetSize(width, height)) Refuse();
      const std::size_t rowLength = static_cast<std::size_t>(RowLength(h.width, h.bits));
      const std::size_t used = static_cast<std::size_t>(3) * width;
      if (h.bits == 24 && !h.topDown) {
        // The file's rows are the bitmap's rows, in the same order: read them in large blocks
        // straight into the bitmap (one system call, no copy through the stream's buffer), then
        // report row by row as usual.
        const int block =
            static_cast<int>(std::max<std::size_t>(1, (std::size_t{4} << 20) / rowLength));
        for (int first = 0; first < height; first += block) {
          if (progress.Aborted()) return;
          const int rows = std::min(block, height - first);
          stream.ReadBuffer(out.Row(first), rowLength * static_cast<std::size_t>(rows));
          for (int r = first; r < first + rows; ++r) {
            if (progress.Aborted()) return;
            std::memset(out.Row(r) + used, 0, rowLength - used);
            progress.Advance();
          }
        }
      } else {
        std::vector<std::uint8_t> row(h.bits == 24 ? 0 : rowLength);
        for (int fileRow = 0; fileRow < height; ++fileRow) {
          if (progress.Aborted()) return;
          std::uint8_t* target = out.Row(h.topDown ? height - 1 - fileRow : fileRow);
          if (h.bits == 24) {
            stream.ReadBuffer(target, rowLength);
            std::memset(target + used, 0, rowLength - used);
          } else {
            stream.ReadBuffer(row.data(), rowLength);
            DecodeRow(p, row.data(), target, width);
          }
          progress.Advance();
        }
      }
    }
    if (progress.Aborted()) return;
    bitmap = std::move(out);
    params = std::move(filled);
  } catch (const EInvalidGraphic&) {
    throw;
  } catch (const std::exception&) {
    // Short reads, failed seeks and exhausted memory all mean the same to the user.
    throw EInvalidGraphic(kUnrecognized);
  }
}

namespace {

// RLE codes of one row of indices, as the writer emits them.
class RleRowWriter {
 public:
  RleRowWriter(bool rle4, std::vector<std::uint8_t>& out) : rle4_(rle4), out_(out) {}

  void Row(const std::uint8_t* idx, int width) {
    int literalStart = 0;
    int i = 0;
    while (i < width) {
      if (i + 1 < width && idx[i] == idx[i + 1]) {
        Literal(idx + literalStart, i - literalStart);
        int run = 1;
        while (i + run < width && run < 255 && idx[i + run] == idx[i]) ++run;
        Emit(static_cast<std::uint8_t>(run),
             rle4_ ? static_cast<std::uint8_t>(idx[i] << 4 | idx[i]) : idx[i]);
        i += run;
        literalStart = i;
      } else {
        ++i;
        if (i - literalStart == 255) {
          Literal(idx + literalStart, 255);
          literalStart = i;
        }
      }
    }
    Literal(idx + literalStart, width - literalStart);
    Emit(0, 0);
  }

 private:
  void Emit(std::uint8_t a, std::uint8_t b) {
    out_.push_back(a);
    out_.push_back(b);
  }
  void Literal(const std::uint8_t* idx, int n) {
    if (n <= 0) return;
    if (n == 1) {
      Emit(1, rle4_ ? static_cast<std::uint8_t>(idx[0] << 4) : idx[0]);
    } else if (n == 2) {
      if (rle4_) {
        Emit(2, static_cast<std::uint8_t>(idx[0] << 4 | idx[1]));
      } else {
        Emit(1, idx[0]);
        Emit(1, idx[1]);
      }
    } else {
      Emit(0, static_cast<std::uint8_t>(n));
      std::size_t bytes = 0;
      if (rle4_) {
        for (int k = 0; k < n; k += 2, ++bytes)
          out_.push_back(static_cast<std::uint8_t>(idx[k] << 4 | (k + 1 < n ? idx[k + 1] : 0)));
      } else {
        out_.insert(out_.end(), idx, idx + n);
        bytes = static_cast<std::size_t>(n);
      }
      if (bytes & 1) out_.push_back(0);
    }
  }

  bool rle4_;
  std::vector<std::uint8_t>& out_;
};

}  // namespace

void BMPWriteStream(TStream& stream, const TDib& bitmap, TIOParamsVals& params,
                    TProgressRec& progress) {
  if (bitmap.Empty()) throw EInvalidGraphic("There is no image to write");
  const int bits = params.BitsPerSample == 1 || params.BitsPerSample == 4 ? params.BitsPerSample
                   : params.SamplesPerPixel == 1                          ? 8
                                                                          : 24;
  const bool os2v1 = params.BMP_Version == ioBMP_BMOS2V1;
  const std::uint32_t headerSize = os2v1 ? 12 : params.BMP_Version == ioBMP_BMOS2V2 ? 64 : 40;
  const bool rle = !os2v1 && params.BMP_Compression == ioBMP_RLE && (bits == 4 || bits == 8);
  const int width = bitmap.Width(), height = bitmap.Height();
  if (os2v1 && (width > 0xFFFF || height > 0xFFFF)) throw EInvalidGraphic("Image too large for BMP");

  // The pixels to write: a black-and-white bitmap for 1 bit, a 24-bit one otherwise.
  TDib converted;
  const TDib* source = &bitmap;
  if (bits == 1) {
    if (TStatus s = MakeBlackWhite(bitmap, converted); !s) throw std::bad_alloc();
    source = &converted;
  } else if (bitmap.PixelFormat() != TPixelFormat::pf24bit) {
    if (TStatus s = ConvertTo24Bit(bitmap, converted); !s) throw std::bad_alloc();
    source = &converted;
  }
  const int paletteSize = bits <= 8 ? 1 << bits : 0;
  std::vector<TRGB> palette(static_cast<std::size_t>(paletteSize));
  std::unique_ptr<TVxQuantizer> quantizer;
  if (bits == 4 || bits == 8) {
    quantizer = std::make_unique<TVxQuantizer>(*source, palette.data(), paletteSize);
  } else if (bits == 1) {
    palette = {ToRGB(source->Palette()[0]), ToRGB(source->Palette()[1])};
  }
  if (bits <= 8) params.SetColorMap(palette);

  const std::int64_t start = stream.Position();
  std::uint8_t fileHeader[kFileHeaderSize] = {'B', 'M'};
  stream.WriteBuffer(fileHeader, sizeof fileHeader);

  std::uint8_t info[64] = {};
  const auto makeInfo = [&](std::uint32_t imageSize) {
    Put32(info, headerSize);
    if (os2v1) {
      Put16(info + 4, static_cast<std::uint32_t>(width));
      Put16(info + 6, static_cast<std::uint32_t>(height));
      Put16(info + 8, 1);
      Put16(info + 10, static_cast<std::uint32_t>(bits));
      return;
    }
    Put32(info + 4, static_cast<std::uint32_t>(width));
    Put32(info + 8, static_cast<std::uint32_t>(height));
    Put16(info + 12, 1);
    Put16(info + 14, static_cast<std::uint32_t>(bits));
    Put32(info + 16, rle ? (bits == 4 ? kRLE4 : kRLE8) : kRGB);
    Put32(info + 20, imageSize);
    Put32(info + 24, PpmFromDpi(params.DpiX));
    Put32(info + 28, PpmFromDpi(params.DpiY));
    Put32(info + 32, static_cast<std::uint32_t>(paletteSize));
    Put32(info + 36, std::uint32_t{1} << bits);
  };
  makeInfo(0);
  stream.WriteBuffer(info, headerSize);
  for (const TRGB& c : palette) {
    const std::uint8_t entry[4] = {c.b, c.g, c.r, 0};
    stream.WriteBuffer(entry, os2v1 ? 3 : 4);
  }
  const std::int64_t dataStart = stream.Position();

  const std::size_t rowLength = static_cast<std::size_t>(RowLength(width, bits));
  std::vector<std::uint8_t> row(rowLength, 0);
  std::vector<std::uint8_t> indices(bits == 4 || bits == 8 ? static_cast<std::size_t>(width) : 0);
  std::vector<std::uint8_t> codes;
  RleRowWriter rleWriter(bits == 4, codes);
  const std::size_t used24 = static_cast<std::size_t>(3) * width;
  const std::uint8_t zeros[4] = {0, 0, 0, 0};
  progress.SetTotal(height);
  for (int y = 0; y < height; ++y) {
    if (progress.Aborted()) return;
    const std::uint8_t* in = source->Row(y);
    if (bits == 24) {
      stream.WriteBuffer(in, used24);
      stream.WriteBuffer(zeros, rowLength - used24);
    } else if (bits == 1) {
      const std::size_t bytes = static_cast<std::size_t>((width + 7) / 8);
      std::memcpy(row.data(), in, bytes);
      if (width & 7) row[bytes - 1] &= static_cast<std::uint8_t>(0xFF00 >> (width & 7));
      stream.WriteBuffer(row.data(), rowLength);
    } else {
      for (int x = 0; x < width; ++x)
        indices[static_cast<std::size_t>(x)] =
            static_cast<std::uint8_t>(quantizer->GetPixelIndex(in + 3 * x));
      if (rle) {
        codes.clear();
        rleWriter.Row(indices.data(), width);
        stream.WriteBuffer(codes.data(), codes.size());
      } else if (bits == 8) {
        std::memcpy(row.data(), indices.data(), indices.size());
        stream.WriteBuffer(row.data(), rowLength);
      } else {
        std::fill(row.begin(), row.end(), 0);
        for (int x = 0; x < width; ++x)
          row[static_cast<std::size_t>(x / 2)] |=
              static_cast<std::uint8_t>(x & 1 ? indices[static_cast<std::size_t>(x)]
                                              : indices[static_cast<std::size_t>(x)] << 4);
        stream.WriteBuffer(row.data(), rowLength);
      }
    }
    progress.Advance();
  }
  if (progress.Aborted()) return;
  if (rle) {
    const std::uint8_t end[2] = {0, 1};
    stream.WriteBuffer(end, 2);
  }

  const std::int64_t end = stream.Position();
  const auto field = [](std::int64_t v) {
    if (v > std::numeric_limits<std::uint32_t>::max()) throw EInvalidGraphic("Image too large for BMP");
    return static_cast<std::uint32_t>(v);
  };
  Put32(fileHeader + 2, field(end - start));
  Put32(fileHeader + 10, field(dataStart - start));
  makeInfo(field(end - dataStart));
  stream.SetPosition(start);
  stream.WriteBuffer(fileHeader, sizeof fileHeader);
  stream.WriteBuffer(info, headerSize);
  stream.SetPosition(end);
}

namespace {

bool TryDirectory(TStream& stream, int type) {
  const std::int64_t start = stream.Position();
  bool ok = false;
  try {
    if (stream.Size() - start > 22) {
      std::uint8_t head[6];
      stream.ReadBuffer(head, 6);
      const int count = U16(head + 4);
      ok = U16(head) == 0 && U16(head + 2) == type && count > 0;
      for (int i = 0; ok && i < count; ++i) {
        std::uint8_t entry[16];
        stream.ReadBuffer(entry, 16);
        const std::uint32_t entryEnd = static_cast<std::uint32_t>(6 + 16 * (i + 1));
        ok = entry[3] == 0 && U32(entry + 8) != 0 && U32(entry + 12) >= entryEnd;
      }
    }
  } catch (const EStreamError&) {
    ok = false;
  }
  stream.SetPosition(start);
  return ok;
}

}  // namespace

bool ICOTryStream(TStream& stream) { return TryDirectory(stream, 1); }
bool CURTryStream(TStream& stream) { return TryDirectory(stream, 2); }

}  // namespace korvane
