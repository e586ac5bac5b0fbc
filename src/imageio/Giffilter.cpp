#include "imageio/Giffilter.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "imageio/Stdquant.h"
#include "imageio/Vistelio.h"

namespace korvane {

TGIFLZWDecompFunc DefGIF_LZWDECOMPFUNC = nullptr;
TGIFLZWCompFunc DefGIF_LZWCOMPFUNC = nullptr;

namespace {

constexpr const char* kUnrecognized = "unrecognized GIF";
constexpr const char* kCorrupted = "Corrupted GIF";
constexpr std::int64_t kMaxPixels = std::int64_t{1} << 28;

[[noreturn]] void Corrupted() { throw EInvalidGraphic(kCorrupted); }

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

void Put16(std::vector<std::uint8_t>& out, int v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

// The most pixels LZW data of `bytes` bytes can stand for: codes take at least 3 bits, and the
// k-th code after a clear stands for at most k pixels, never more than the 4096 a full table
// allows.
std::int64_t MaxLzwPixels(std::int64_t bytes) {
  const std::int64_t codes = bytes * 8 / 3 + 1;
  if (codes <= 4096) return codes * (codes + 1) / 2;
  return std::int64_t{4096} * 4097 / 2 + (codes - 4096) * 4096;
}

// Reads through the block structure with the end of the stream in view, so that skipping never
// runs past it unnoticed.
class BlockReader {
 public:
  explicit BlockReader(TStream& stream) : stream_(stream) {
    pos_ = stream.Position();
    end_ = stream.Size();
  }

  bool Read(void* buffer, std::size_t count) {
    if (end_ - pos_ < static_cast<std::int64_t>(count)) return false;
    if (stream_.Read(buffer, count) != count) return false;
    pos_ += static_cast<std::int64_t>(count);
    return true;
  }
  bool Skip(std::int64_t count) {
    if (end_ - pos_ < count) return false;
    pos_ += count;
    stream_.SetPosition(pos_);
    return true;
  }
  // Sub-blocks up to and including the empty one.
  bool SkipSubBlocks() {
    for (;;) {
      std::uint8_t length = 0;
      if (!Read(&length, 1)) return false;
      if (length == 0) return true;
      if (!Skip(length)) return false;
    }
  }
  std::int64_t Remaining() const { return end_ - pos_; }
  // After a hook has read on its own.
  void Resync() { pos_ = stream_.Position(); }

 private:
  TStream& stream_;
  std::int64_t pos_ = 0;
  std::int64_t end_ = 0;
};

std::vector<TRGB> ReadColorTable(BlockReader& in, int entries) {
  std::vector<std::uint8_t> raw(static_cast<std::size_t>(entries) * 3);
  if (!in.Read(raw.data(), raw.size())) Corrupted();
  std::vector<TRGB> table(static_cast<std::size_t>(entries));
  for (std::size_t i = 0; i < table.size(); ++i)
    table[i] = TRGB{raw[3 * i + 2], raw[3 * i + 1], raw[3 * i]};
  return table;
}

bool Report(TProgressRec& progress, int percent) {
  progress.Advance(percent - progress.val);
  return !progress.Aborted();
}

// Indices to bitmap rows, rows from the top. Indices beyond the colour table are refused.
TDib MakeBitmap(const std::uint8_t* indices, int width, int height,
                const std::vector<TRGB>& table) {
  const std::size_t rowBytes = static_cast<std::size_t>(width);
  const std::size_t count = table.size();
  TDib out;
  if (count == 2) {
    if (!out.SetSize(width, height, TPixelFormat::pf1bit)) throw std::bad_alloc();
    out.SetPalette({ToColor(table[0]), ToColor(table[1])});
    for (int y = 0; y < height; ++y) {
      const std::uint8_t* in = indices + static_cast<std::size_t>(y) * rowBytes;
      std::uint8_t* row = out.ScanLine(y);
      std::uint8_t invalid = 0;
      for (int x = 0; x < width; x += 8) {
        const int n = std::min(8, width - x);
        std::uint8_t byte = 0;
        for (int k = 0; k < n; ++k) {
          const std::uint8_t v = in[x + k];
          invalid |= v;
          byte = static_cast<std::uint8_t>(byte | ((v != 0) << (7 - k)));
        }
        row[x >> 3] = byte;
      }
      if (invalid > 1) Corrupted();
    }
    return out;
  }
  if (!out.SetSize(width, height)) throw std::bad_alloc();
  // Four bytes a pixel, the fourth overwritten by the next pixel; the last one of a row gets three.
  std::array<std::array<std::uint8_t, 4>, 256> lut{};
  for (std::size_t i = 0; i < count; ++i) lut[i] = {table[i].b, table[i].g, table[i].r, 0};
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = indices + static_cast<std::size_t>(y) * rowBytes;
    std::uint8_t* px = out.ScanLine(y);
    std::size_t beyond = 0;
    for (std::size_t x = 0; x + 1 < rowBytes; ++x, px += 3) {
      const std::size_t v = in[x];
      beyond |= v >= count;
      std::memcpy(px, lut[v].data(), 4);
    }
    const std::size_t v = in[rowBytes - 1];
    beyond |= v >= count;
    std::memcpy(px, lut[v].data(), 3);
    if (beyond) Corrupted();
  }
  return out;
}

}  // namespace

void ReadGifStream(TStream& stream, TDib& bitmap, int& numImages, bool paramsOnly,
                   TProgressRec& progress, TIOParamsVals& params) {
  numImages = 0;
  try {
    progress.SetTotal(100);
    if (!Report(progress, 0)) return;
    std::uint8_t head[13];
    const std::size_t got = stream.Read(head, sizeof head);
    if (got < 3 || std::memcmp(head, "GIF", 3) != 0) throw EInvalidGraphic(kUnrecognized);
    if (got < sizeof head) Corrupted();
    BlockReader in(stream);

    TIOParamsVals filled = params;
    filled.GIF_Version.assign(reinterpret_cast<const char*>(head), 6);
    const int screenWidth = U16(head + 6), screenHeight = U16(head + 8);
    const std::uint8_t screenFlags = head[10];
    filled.GIF_WinWidth = screenWidth;
    filled.GIF_WinHeight = screenHeight;
    filled.GIF_Ratio = head[12];
    filled.DpiX = gSystemDPIX;
    filled.DpiY = gSystemDPIY;
    filled.SamplesPerPixel = 1;
    std::vector<TRGB> global;
    if (screenFlags & 0x80) {
      global = ReadColorTable(in, 2 << (screenFlags & 7));
      if (head[11] < global.size()) filled.GIF_Background = global[head[11]];
    }

    const int wanted = params.GIF_ImageIndex;
    int counter = 0;
    bool found = false;
    std::uint8_t controlFlags = 0, transparentIndex = 0;
    int delay = 0;
    TDib out;
    for (;;) {
      std::uint8_t type = 0;
      if (!in.Read(&type, 1) || type == 0x3B) break;
      if (type == 0x21) {
        std::uint8_t label = 0;
        if (!in.Read(&label, 1)) break;
        if (label == 0xF9 && counter == wanted) {
          std::uint8_t size = 0, body[4] = {0, 0, 0, 0};
          if (!in.Read(&size, 1)) break;
          const std::size_t take = std::min<std::size_t>(size, 4);
          if (!in.Read(body, take) || !in.Skip(size - static_cast<std::int64_t>(take))) break;
          controlFlags = body[0];
          delay = U16(body + 1);
          transparentIndex = body[3];
        }
        if (!in.SkipSubBlocks()) break;
        continue;
      }
      if (type != 0x2C) continue;

      std::uint8_t desc[9];
      if (counter != wanted) {
        if (!in.Read(desc, sizeof desc)) break;
        if ((desc[8] & 0x80) && !in.Skip(3 * (2 << (desc[8] & 7)))) break;
        if (!in.Skip(1) || !in.SkipSubBlocks()) break;
        ++counter;
        continue;
      }

      if (!in.Read(desc, sizeof desc)) Corrupted();
      const int left = U16(desc), top = U16(desc + 2);
      const int width = U16(desc + 4), height = U16(desc + 6);
      const std::uint8_t flags = desc[8];
      std::vector<TRGB> table = (flags & 0x80) ? ReadColorTable(in, 2 << (flags & 7)) : global;
      if (table.empty() || width == 0 || height == 0) Corrupted();
      if (left + width > screenWidth || top + height > screenHeight) Corrupted();
      const std::int64_t pixels = static_cast<std::int64_t>(width) * height;
      if (pixels > kMaxPixels || pixels > MaxLzwPixels(in.Remaining())) Corrupted();

      int tableBits = 1;
      while ((std::size_t{1} << tableBits) < table.size()) ++tableBits;
      filled.GIF_TranspColor = transparentIndex < table.size() ? table[transparentIndex] : TRGB{};
      filled.GIF_XPos = left;
      filled.GIF_YPos = top;
      filled.Width = width;
      filled.Height = height;
      filled.GIF_DelayTime = delay;
      filled.GIF_Transparent = (controlFlags & 1) != 0;
      filled.GIF_Interlaced = (flags & 0x40) != 0;
      filled.BitsPerSample = tableBits;
      filled.SetColorMap(table);

      if (paramsOnly) {
        if (!in.Skip(1) || !in.SkipSubBlocks()) Corrupted();
      } else {
        const TGIFLZWDecompFunc decode =
            params.GIF_LZWDecompFunc ? params.GIF_LZWDecompFunc : DefGIF_LZWDECOMPFUNC;
        if (!decode) throw EInvalidGraphic("LZW decompressor not found");
        if (!Report(progress, 30)) return;
        std::unique_ptr<std::uint8_t[]> indices(new std::uint8_t[static_cast<std::size_t>(pixels)]());
        decode(stream, height, width, indices.get(), filled.GIF_Interlaced);
        in.Resync();
        if (!Report(progress, 70)) return;
        out = MakeBitmap(indices.get(), width, height, table);
      }
      found = true;
      ++counter;
    }
    numImages = counter;
    if (counter == 0) Corrupted();
    if (!found) return;
    if (!Report(progress, 100)) return;
    if (!paramsOnly) bitmap = std::move(out);
    params = std::move(filled);
  } catch (const EInvalidGraphic&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw EInvalidGraphic("Not enough memory for the GIF image");
  } catch (const EStreamError&) {
    throw EInvalidGraphic(kCorrupted);
  }
}

namespace {

// The palette entry closest to `color` among the first `count`.
int NearestIndex(const std::vector<TRGB>& palette, int count, TRGB color) {
  int best = 0;
  long bestDistance = std::numeric_limits<long>::max();
  for (int i = 0; i < count; ++i) {
    const TRGB& p = palette[static_cast<std::size_t>(i)];
    const long dr = p.r - color.r, dg = p.g - color.g, db = p.b - color.b;
    const long d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
    }
  }
  return best;
}

}  // namespace

void WriteGifStream(TStream& stream, const TDib& bitmap, TIOParamsVals& params,
                    TProgressRec& progress) {
  if (bitmap.Empty()) throw EInvalidGraphic("There is no image to write");
  const TGIFLZWCompFunc encode =
      params.GIF_LZWCompFunc ? params.GIF_LZWCompFunc : DefGIF_LZWCOMPFUNC;
  if (!encode) throw EInvalidGraphic("LZW compressor not found");
  progress.SetTotal(100);
  if (!Report(progress, 0)) return;

  const int bits = params.BitsPerSample < 1 || params.BitsPerSample > 8 ? 8 : params.BitsPerSample;
  const int width = bitmap.Width(), height = bitmap.Height();
  const std::size_t rowBytes = static_cast<std::size_t>(width);
  std::vector<std::uint8_t> indices(rowBytes * static_cast<std::size_t>(height));
  std::vector<TRGB> palette(std::size_t{1} << bits);
  int used = 2;
  if (bits == 1) {
    TDib mono;
    if (TStatus s = MakeBlackWhite(bitmap, mono); !s) throw std::bad_alloc();
    palette = {ToRGB(mono.Palette()[0]), ToRGB(mono.Palette()[1])};
    for (int y = 0; y < height; ++y) {
      const std::uint8_t* row = mono.ScanLine(y);
      std::uint8_t* out = indices.data() + static_cast<std::size_t>(y) * rowBytes;
      for (int x = 0; x < width; ++x) out[x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
    }
  } else {
    TDib converted;
    const TDib* source = &bitmap;
    if (bitmap.PixelFormat() != TPixelFormat::pf24bit) {
      if (TStatus s = ConvertTo24Bit(bitmap, converted); !s) throw std::bad_alloc();
      source = &converted;
    }
    const TVxQuantizer quantizer(*source, palette.data(), static_cast<int>(palette.size()));
    used = quantizer.PaletteCount();
    for (int y = 0; y < height; ++y) {
      const std::uint8_t* px = source->ScanLine(y);
      std::uint8_t* out = indices.data() + static_cast<std::size_t>(y) * rowBytes;
      for (int x = 0; x < width; ++x, px += 3)
        out[x] = static_cast<std::uint8_t>(quantizer.GetPixelIndex(px));
    }
  }
  if (!Report(progress, 30)) return;

  // The logical screen holds the image at its position, or readers refuse the file.
  const int left = std::clamp(params.GIF_XPos, 0, 65535 - width);
  const int top = std::clamp(params.GIF_YPos, 0, 65535 - height);
  std::vector<std::uint8_t> head;
  std::string version = params.GIF_Version.substr(0, 6);
  if (version.size() < 6) version += std::string("GIF89a").substr(version.size());
  head.insert(head.end(), version.begin(), version.end());
  Put16(head, left + width);
  Put16(head, top + height);
  head.push_back(static_cast<std::uint8_t>(0x80 | (bits - 1) << 4 | (bits - 1)));
  head.push_back(static_cast<std::uint8_t>(NearestIndex(palette, used, params.GIF_Background)));
  head.push_back(0);
  for (const TRGB& c : palette) head.insert(head.end(), {c.r, c.g, c.b});
  head.insert(head.end(), {0x21, 0xF9, 0x04,
                           static_cast<std::uint8_t>(8 | (params.GIF_Transparent ? 1 : 0))});
  Put16(head, std::clamp(params.GIF_DelayTime, 0, 65535));
  head.push_back(static_cast<std::uint8_t>(NearestIndex(palette, used, params.GIF_TranspColor)));
  head.push_back(0);
  head.push_back(0x2C);
  Put16(head, left);
  Put16(head, top);
  Put16(head, width);
  Put16(head, height);
  head.push_back(params.GIF_Interlaced ? 0x40 : 0);
  stream.WriteBuffer(head.data(), head.size());

  encode(stream, height, width, bits, indices.data(), params.GIF_Interlaced);
  if (!Report(progress, 70)) return;
  stream.WriteU8(0x3B);
  Report(progress, 100);
}

void ReadGif(const std::filesystem::path& name, TDib& bitmap, int& numImages, bool paramsOnly,
             TProgressRec& progress, TIOParamsVals& params) {
  TFileStream file(name, TFileMode::fmOpenRead);
  ReadGifStream(file, bitmap, numImages, paramsOnly, progress, params);
}

void WriteGif(const std::filesystem::path& name, const TDib& bitmap, TIOParamsVals& params,
              TProgressRec& progress) {
  TFileStream file(name, TFileMode::fmCreate);
  WriteGifStream(file, bitmap, params, progress);
  file.Close();
}

}  // namespace korvane
