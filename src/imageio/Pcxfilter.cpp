#include "imageio/Pcxfilter.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "imageio/Stdquant.h"
#include "imageio/Vistelio.h"

namespace korvane {

namespace {

constexpr const char* kUnrecognized = "unrecognized PCX";
constexpr std::int64_t kMaxPixels = std::int64_t{1} << 28;
constexpr int kHeaderSize = 128;
constexpr int kPaletteSize = 768;

[[noreturn]] void Refuse() { throw EInvalidGraphic(kUnrecognized); }

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
void Put16(std::uint8_t* p, int v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

struct Header {
  int version = 0;
  bool rle = false;
  int bits = 0;
  int planes = 0;
  int width = 0;
  int height = 0;
  int bytesPerLine = 0;
  int dpiX = 0, dpiY = 0;
  std::array<TRGB, 16> palette{};
};

// Refuses what the decoder cannot lay out: only 1, 2, 4 and 8 bits in one plane and 8 bits in
// three planes fill every pixel.
Header ParseHeader(const std::uint8_t* h) {
  Header p;
  if (h[0] != 10 || h[2] > 1 || h[3] == 0 || h[3] > 8) Refuse();
  p.version = h[1];
  p.rle = h[2] == 1;
  p.bits = h[3];
  p.planes = h[65];
  if (p.planes == 1) {
    if (p.bits != 1 && p.bits != 2 && p.bits != 4 && p.bits != 8) Refuse();
  } else if (p.planes != 3 || p.bits != 8) {
    Refuse();
  }
  const int xmin = U16(h + 4), ymin = U16(h + 6), xmax = U16(h + 8), ymax = U16(h + 10);
  if (xmax < xmin || ymax < ymin) Refuse();
  p.width = xmax - xmin + 1;
  p.height = ymax - ymin + 1;
  if (static_cast<std::int64_t>(p.width) * p.height > kMaxPixels) Refuse();
  p.dpiX = U16(h + 12);
  p.dpiY = U16(h + 14);
  if (p.dpiX == 0 || p.dpiY == 0) {
    p.dpiX = gSystemDPIX;
    p.dpiY = gSystemDPIY;
  }
  for (int i = 0; i < 16; ++i)
    p.palette[static_cast<std::size_t>(i)] = TRGB{h[16 + 3 * i + 2], h[16 + 3 * i + 1], h[16 + 3 * i]};
  p.bytesPerLine = U16(h + 66);
  const std::int64_t needed = (static_cast<std::int64_t>(p.width) * p.bits + 7) / 8;
  if (p.bytesPerLine < needed) Refuse();
  return p;
}

// The top bit of every byte that is 0xC0 or above (a run marker).
inline std::uint64_t MarkerBits(std::uint64_t w) { return w & (w << 1) & 0x8080808080808080ull; }

// Run-length decoding straight from the stream, in pieces; an unfinished run goes on into the
// next line.
class RleSource {
 public:
  RleSource(TStream& in, std::int64_t size) : in_(in), left_(size), buffer_(kChunk + 16) {
    p_ = end_ = buffer_.data();
  }

  // Fills `count` bytes; false when the data ends first.
  bool Line(std::uint8_t* out, std::size_t count) {
    std::uint8_t* const stop = out + count;
    if (run_ > 0) {
      const std::size_t n = std::min<std::size_t>(run_, count);
      std::memset(out, value_, n);
      out += n;
      run_ -= n;
    }
    while (out < stop) {
      if (end_ - p_ < 9 && left_ > 0) Refill();
      if (p_ == end_) return false;
      if constexpr (std::endian::native == std::endian::little) {
        if (end_ - p_ >= 8 && stop - out >= 8) {
          // Eight bytes at a time: the literal bytes before the first marker, or a short run.
          // Bytes stored past what was decoded are overwritten by what follows in the line.
          std::uint64_t w;
          std::memcpy(&w, p_, 8);
          const std::uint64_t markers = MarkerBits(w);
          const int literals = markers ? std::countr_zero(markers) >> 3 : 8;
          if (literals > 0) {
            std::memcpy(out, &w, 8);
            out += literals;
            p_ += literals;
            continue;
          }
          const std::size_t n = p_[0] & 0x3F;
          if (n <= 8) {
            const std::uint64_t fill = p_[1] * 0x0101010101010101ull;
            std::memcpy(out, &fill, 8);
            out += n;
            p_ += 2;
            continue;
          }
        }
      }
      const std::uint8_t b = *p_++;
      if (b < 0xC0) {
        *out++ = b;
        continue;
      }
      if (p_ == end_) return false;  // Refill keeps 9 bytes ahead, so this is the end
      const std::size_t n = b & 0x3F;
      const std::uint8_t v = *p_++;
      const std::size_t room = static_cast<std::size_t>(stop - out);
      if (n <= room) {
        std::memset(out, v, n);
        out += n;
      } else {
        std::memset(out, v, room);
        out = stop;
        run_ = n - room;
        value_ = v;
      }
    }
    return true;
  }

 private:
  static constexpr std::size_t kChunk = 1 << 18;

  void Refill() {
    const std::size_t kept = static_cast<std::size_t>(end_ - p_);
    std::memmove(buffer_.data(), p_, kept);
    const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(left_, kChunk));
    in_.ReadBuffer(buffer_.data() + kept, want);
    left_ -= static_cast<std::int64_t>(want);
    p_ = buffer_.data();
    end_ = p_ + kept + want;
  }

  TStream& in_;
  std::int64_t left_;
  std::vector<std::uint8_t> buffer_;
  const std::uint8_t* p_;
  const std::uint8_t* end_;
  std::size_t run_ = 0;
  std::uint8_t value_ = 0;
};

void FillParams(const Header& h, const std::vector<TRGB>& colorMap, TIOParamsVals& params) {
  params.Width = h.width;
  params.Height = h.height;
  params.DpiX = h.dpiX;
  params.DpiY = h.dpiY;
  params.BitsPerSample = h.bits;
  params.SamplesPerPixel = h.planes;
  params.PCX_Version = h.version;
  params.PCX_Compression = h.rle ? ioPCX_RLE : ioPCX_UNCOMPRESSED;
  params.SetColorMap(colorMap);
}

}  // namespace

void ReadPcxStream(TStream& stream, TDib& bitmap, TIOParamsVals& params, bool paramsOnly,
                   TProgressRec& progress, std::int64_t size) {
  try {
    const std::int64_t available = stream.Remaining();
    if (size <= 0 || size > available) size = available;
    if (size < kHeaderSize) Refuse();
    std::uint8_t raw[kHeaderSize];
    stream.ReadBuffer(raw, sizeof raw);
    const Header h = ParseHeader(raw);

    std::int64_t dataSize = size - kHeaderSize;
    std::vector<TRGB> colorMap;
    if (h.planes == 1 && h.bits == 8) {
      // The palette closes the file, introduced by 0x0C.
      if (dataSize < kPaletteSize + 1) Refuse();
      const std::int64_t dataStart = stream.Position();
      stream.SetPosition(dataStart + dataSize - kPaletteSize - 1);
      std::uint8_t tail[kPaletteSize + 1];
      stream.ReadBuffer(tail, sizeof tail);
      if (tail[0] != 0x0C) Refuse();
      colorMap.resize(256);
      for (std::size_t i = 0; i < 256; ++i)
        colorMap[i] = TRGB{tail[1 + 3 * i + 2], tail[1 + 3 * i + 1], tail[1 + 3 * i]};
      stream.SetPosition(dataStart);
      dataSize -= kPaletteSize + 1;
    } else if (h.planes == 1) {
      colorMap.assign(h.palette.begin(), h.palette.begin() + (1 << h.bits));
    }

    // Enough data for every line: stored as they are, or at the 63 bytes a run pair can give.
    const std::size_t lineBytes = static_cast<std::size_t>(h.bytesPerLine) * h.planes;
    const std::int64_t rawBytes = static_cast<std::int64_t>(lineBytes) * h.height;
    if (h.rle ? dataSize * 63 / 2 < rawBytes : dataSize < rawBytes) Refuse();

    TIOParamsVals filled = params;
    FillParams(h, colorMap, filled);
    if (paramsOnly) {
      params = std::move(filled);
      return;
    }

    const bool mono = h.planes == 1 && h.bits == 1;
    TDib out;
    if (!out.SetSize(h.width, h.height, mono ? TPixelFormat::pf1bit : TPixelFormat::pf24bit))
      Refuse();
    std::array<std::array<std::uint8_t, 4>, 256> lut{};
    for (std::size_t i = 0; i < colorMap.size(); ++i)
      lut[i] = {colorMap[i].b, colorMap[i].g, colorMap[i].r, 0};
    RleSource rle(stream, dataSize);
    std::vector<std::uint8_t> line(lineBytes);
    const std::size_t bpl = static_cast<std::size_t>(h.bytesPerLine);
    const int width = h.width;
    progress.SetTotal(h.height);
    for (int y = 0; y < h.height; ++y) {
      if (progress.Aborted()) return;
      if (h.rle) {
        if (!rle.Line(line.data(), lineBytes)) Refuse();
      } else {
        stream.ReadBuffer(line.data(), lineBytes);
      }
      const std::uint8_t* in = line.data();
      std::uint8_t* px = out.ScanLine(y);
      if (mono) {
        const std::size_t bytes = static_cast<std::size_t>((width + 7) / 8);
        std::memcpy(px, in, bytes);
      } else if (h.planes == 3) {
        const std::uint8_t* r = in;
        const std::uint8_t* g = in + bpl;
        const std::uint8_t* b = in + 2 * bpl;
        for (int x = 0; x < width; ++x, px += 3) {
          px[0] = b[x];
          px[1] = g[x];
          px[2] = r[x];
        }
      } else {
        const int bits = h.bits;
        const int perByte = 8 / bits;
        const int mask = (1 << bits) - 1;
        const auto colour = [&](int x) {
          const int index = bits == 8 ? in[x]
                                      : (in[x / perByte] >> (8 - bits * (x % perByte + 1))) & mask;
          return lut[static_cast<std::size_t>(index)].data();
        };
        // Four bytes a pixel, the fourth overwritten by the next; the last pixel gets three.
        for (int x = 0; x + 1 < width; ++x, px += 3) std::memcpy(px, colour(x), 4);
        std::memcpy(px, colour(width - 1), 3);
      }
      progress.Advance();
    }
    if (progress.Aborted()) return;
    bitmap = std::move(out);
    params = std::move(filled);
  } catch (const EInvalidGraphic&) {
    throw;
  } catch (const std::exception&) {
    throw EInvalidGraphic(kUnrecognized);
  }
}

namespace {

// One plane line, runs of at most 63 equal bytes, never across the line's end; at most two
// bytes out for each byte in. Returns the end of what was written.
std::uint8_t* EncodeLine(const std::uint8_t* in, std::size_t count, std::uint8_t* out) {
  std::size_t i = 0;
  while (i < count) {
    if constexpr (std::endian::native == std::endian::little) {
      if (count - i >= 8) {
        // Bytes that differ from the next one and are no marker are runs of one, written as they
        // are: find the first byte that is not. The lowest flagged byte of the zero-byte test is
        // exact, and so is the minimum. The 8 bytes stored fit, as output never outruns 2 x input.
        std::uint64_t w;
        std::memcpy(&w, in + i, 8);
        const std::uint64_t next = (w ^ (w >> 8)) | 0xFF00000000000000ull;
        const std::uint64_t equal = (next - 0x0101010101010101ull) & ~next & 0x8080808080808080ull;
        const std::uint64_t stops = equal | MarkerBits(w);
        const int literals = stops ? std::countr_zero(stops) >> 3 : 7;
        if (literals > 0) {
          std::memcpy(out, &w, 8);
          out += literals;
          i += static_cast<std::size_t>(literals);
          continue;
        }
      }
    }
    const std::uint8_t v = in[i];
    std::size_t n = 1;
    while (i + n < count && n < 63 && in[i + n] == v) ++n;
    if (n > 1 || v >= 0xC0) *out++ = static_cast<std::uint8_t>(0xC0 + n);
    *out++ = v;
    i += n;
  }
  return out;
}

}  // namespace

void WritePcxStream(TStream& stream, const TDib& bitmap, TIOParamsVals& params,
                    TProgressRec& progress) {
  if (bitmap.Empty()) throw EInvalidGraphic("There is no image to write");
  const int width = bitmap.Width(), height = bitmap.Height();
  if (width > 65535 || height > 65535) throw EInvalidGraphic("Image too large for PCX");

  // Depths other than 1, 4, 8 and 24 go to the next one that holds them.
  int depth = 1;
  if (params.BitsPerSample != 1) {
    const int asked = params.BitsPerSample * params.SamplesPerPixel;
    depth = asked <= 4 ? 4 : asked <= 8 ? 8 : 24;
  }
  const bool rle = params.PCX_Compression == ioPCX_RLE;

  TDib converted;
  const TDib* source = &bitmap;
  if (depth == 1) {
    if (TStatus s = MakeBlackWhite(bitmap, converted); !s) throw std::bad_alloc();
    source = &converted;
  } else if (bitmap.PixelFormat() != TPixelFormat::pf24bit) {
    if (TStatus s = ConvertTo24Bit(bitmap, converted); !s) throw std::bad_alloc();
    source = &converted;
  }
  std::vector<TRGB> palette;
  std::unique_ptr<TVxQuantizer> quantizer;
  if (depth == 4 || depth == 8) {
    palette.resize(depth == 4 ? 16 : 256);
    quantizer = std::make_unique<TVxQuantizer>(*source, palette.data(), static_cast<int>(palette.size()));
  } else if (depth == 1) {
    palette = {ToRGB(source->Palette()[0]), ToRGB(source->Palette()[1])};
  }

  const int bits = depth == 24 ? 8 : depth;
  const int planes = depth == 24 ? 3 : 1;
  int bytesPerLine = depth == 1 ? (width + 7) / 8 : depth == 4 ? (width + 1) / 2 : width;
  bytesPerLine += bytesPerLine & 1;

  std::uint8_t header[kHeaderSize] = {};
  header[0] = 10;
  header[1] = static_cast<std::uint8_t>(params.PCX_Version);
  header[2] = rle ? 1 : 0;
  header[3] = static_cast<std::uint8_t>(bits);
  Put16(header + 8, width - 1);
  Put16(header + 10, height - 1);
  Put16(header + 12, std::clamp(params.DpiX, 0, 65535));
  Put16(header + 14, std::clamp(params.DpiY, 0, 65535));
  if (depth <= 4) {
    for (std::size_t i = 0; i < palette.size(); ++i) {
      header[16 + 3 * i] = palette[i].r;
      header[16 + 3 * i + 1] = palette[i].g;
      header[16 + 3 * i + 2] = palette[i].b;
    }
  }
  header[65] = static_cast<std::uint8_t>(planes);
  Put16(header + 66, bytesPerLine);
  Put16(header + 68, depth == 24 ? 0 : 1);
  stream.WriteBuffer(header, sizeof header);

  const std::size_t bpl = static_cast<std::size_t>(bytesPerLine);
  std::vector<std::uint8_t> lines(bpl * static_cast<std::size_t>(planes), 0);
  std::vector<std::uint8_t> coded(lines.size() * 2);
  progress.SetTotal(height);
  for (int y = 0; y < height; ++y) {
    if (progress.Aborted()) return;
    const std::uint8_t* px = source->ScanLine(y);
    std::uint8_t* line = lines.data();
    if (depth == 1) {
      const std::size_t bytes = static_cast<std::size_t>((width + 7) / 8);
      std::memcpy(line, px, bytes);
      if (width & 7) line[bytes - 1] &= static_cast<std::uint8_t>(0xFF00 >> (width & 7));
    } else if (depth == 24) {
      std::uint8_t* r = line;
      std::uint8_t* g = line + bpl;
      std::uint8_t* b = line + 2 * bpl;
      for (int x = 0; x < width; ++x, px += 3) {
        b[x] = px[0];
        g[x] = px[1];
        r[x] = px[2];
      }
    } else if (depth == 8) {
      for (int x = 0; x < width; ++x, px += 3)
        line[x] = static_cast<std::uint8_t>(quantizer->GetPixelIndex(px));
    } else {
      std::fill(lines.begin(), lines.end(), 0);
      for (int x = 0; x < width; ++x, px += 3) {
        const int index = quantizer->GetPixelIndex(px);
        line[x / 2] = static_cast<std::uint8_t>(line[x / 2] | (x & 1 ? index : index << 4));
      }
    }
    if (rle) {
      std::uint8_t* end = coded.data();
      for (int p = 0; p < planes; ++p) end = EncodeLine(line + p * bpl, bpl, end);
      stream.WriteBuffer(coded.data(), static_cast<std::size_t>(end - coded.data()));
    } else {
      stream.WriteBuffer(line, lines.size());
    }
    progress.Advance();
  }
  if (progress.Aborted()) return;
  if (depth == 8) {
    std::uint8_t tail[kPaletteSize + 1];
    tail[0] = 0x0C;
    for (std::size_t i = 0; i < 256; ++i) {
      tail[1 + 3 * i] = palette[i].r;
      tail[1 + 3 * i + 1] = palette[i].g;
      tail[1 + 3 * i + 2] = palette[i].b;
    }
    stream.WriteBuffer(tail, sizeof tail);
  }
}

void ReadPcx(const std::filesystem::path& name, TDib& bitmap, TIOParamsVals& params,
             bool paramsOnly, TProgressRec& progress) {
  TFileStream file(name, TFileMode::fmOpenRead);
  ReadPcxStream(file, bitmap, params, paramsOnly, progress, 0);
}

void WritePcx(const std::filesystem::path& name, const TDib& bitmap, TIOParamsVals& params,
              TProgressRec& progress) {
  TFileStream file(name, TFileMode::fmCreate);
  WritePcxStream(file, bitmap, params, progress);
  file.Close();
}

}  // namespace korvane
