#include "imageio/Tiffilt.h"

#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstring>
#include <functional>
#include <limits>
#include <new>
#include <set>
#include <string>
#include <utility>

#include "imageio/Stdquant.h"
#include "imageio/Tifccitt.h"
#include "imageio/Tiflzw.h"
#include "imageio/Vistelio.h"

namespace korvane {

TTIFFLZWDecompFunc DefTIFF_LZWDECOMPFUNC = nullptr;
TTIFFLZWCompFunc DefTIFF_LZWCOMPFUNC = nullptr;

namespace {

constexpr const char* kInvalid = "Invalid TIFF stream";
constexpr std::int64_t kMaxPixels = std::int64_t{1} << 28;
constexpr int kMaxIfds = 65536;
constexpr int kMaxSamples = 16;
// Raw bytes one compressed byte can stand for, at most; anything beyond cannot be a real file.
constexpr std::uint64_t kMaxLzwRatio = 2048;
constexpr std::uint64_t kMaxPackBitsRatio = 128;

[[noreturn]] void Invalid(const char* message = kInvalid) {
  throw EInvalidGraphic(message);
}

enum : std::uint16_t {
  kImageWidth = 256,
  kImageLength = 257,
  kBitsPerSample = 258,
  kCompression = 259,
  kPhotometric = 262,
  kFillOrder = 266,
  kDocumentName = 269,
  kImageDescription = 270,
  kStripOffsets = 273,
  kOrientation = 274,
  kSamplesPerPixel = 277,
  kRowsPerStrip = 278,
  kStripByteCounts = 279,
  kXResolution = 282,
  kYResolution = 283,
  kPlanarConfiguration = 284,
  kPageName = 285,
  kXPosition = 286,
  kYPosition = 287,
  kT4Options = 292,
  kT6Options = 293,
  kResolutionUnit = 296,
  kPageNumber = 297,
  kSoftware = 305,
  kPredictor = 317,
  kColorMap = 320,
  kTileWidth = 322,
  kTileLength = 323,
  kTileOffsets = 324,
  kTileByteCounts = 325,
  kInkSet = 332,
  kNumberOfInks = 334,
  kDotRange = 336,
  kExtraSamples = 338,
  kSampleFormat = 339,
  kJPEGTables = 347,
};

enum : std::uint16_t {
  kByte = 1,
  kAscii = 2,
  kShort = 3,
  kLong = 4,
  kRational = 5,
  kSByte = 6,
  kUndefined = 7,
  kSShort = 8,
  kSLong = 9,
  kSRational = 10,
  kFloat = 11,
  kDouble = 12,
};

int TypeSize(std::uint16_t type) {
  switch (type) {
    case kByte:
    case kAscii:
    case kSByte:
    case kUndefined:
      return 1;
    case kShort:
    case kSShort:
      return 2;
    case kLong:
    case kSLong:
    case kFloat:
      return 4;
    case kRational:
    case kSRational:
    case kDouble:
      return 8;
    default:
      return 0;
  }
}

struct Entry {
  std::uint16_t tag = 0;
  std::uint16_t type = 0;
  std::uint32_t count = 0;
  std::uint8_t value[4] = {};
};

// The file seen from the start of the TIFF data: offsets are checked against its size before
// anything is read.
class Source {
 public:
  explicit Source(TStream& stream)
      : stream_(stream),
        base_(stream.Position()),
        size_(std::max<std::int64_t>(0, stream.Size() - base_)) {}

  std::uint64_t Size() const { return static_cast<std::uint64_t>(size_); }
  bool Fits(std::uint64_t offset, std::uint64_t count) const {
    return offset <= Size() && count <= Size() - offset;
  }
  void Read(std::uint64_t offset, void* buffer, std::size_t count) {
    if (!Fits(offset, count)) Invalid();
    stream_.SetPosition(base_ + static_cast<std::int64_t>(offset));
    stream_.ReadBuffer(buffer, count);
  }

  bool big = false;
  std::uint16_t U16(const std::uint8_t* p) const {
    return static_cast<std::uint16_t>(big ? p[0] << 8 | p[1] : p[1] << 8 | p[0]);
  }
  std::uint32_t U32(const std::uint8_t* p) const {
    return big ? static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
                     static_cast<std::uint32_t>(p[2]) << 8 | p[3]
               : static_cast<std::uint32_t>(p[3]) << 24 | static_cast<std::uint32_t>(p[2]) << 16 |
                     static_cast<std::uint32_t>(p[1]) << 8 | p[0];
  }

  // The bytes of an entry's values: inside the entry when they fit in 4 bytes, as TIFF 6.0 has
  // it, else at the offset it holds. Nothing for an unknown type.
  std::vector<std::uint8_t> Bytes(const Entry& e) {
    const int size = TypeSize(e.type);
    if (size == 0) return {};
    const std::uint64_t total =
        static_cast<std::uint64_t>(e.count) * static_cast<std::uint64_t>(size);
    if (total <= 4) return std::vector<std::uint8_t>(e.value, e.value + total);
    const std::uint32_t offset = U32(e.value);
    if (!Fits(offset, total)) Invalid();
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(total));
    Read(offset, bytes.data(), bytes.size());
    return bytes;
  }

  // Integer values (BYTE, SHORT, LONG and their signed kinds); empty for other types.
  std::vector<std::uint32_t> Ints(const Entry& e) {
    if (e.type != kByte && e.type != kShort && e.type != kLong && e.type != kSByte &&
        e.type != kSShort && e.type != kSLong)
      return {};
    const std::vector<std::uint8_t> bytes = Bytes(e);
    const int size = TypeSize(e.type);
    std::vector<std::uint32_t> values(e.count);
    for (std::size_t i = 0; i < values.size(); ++i) {
      const std::uint8_t* p = bytes.data() + i * static_cast<std::size_t>(size);
      values[i] = size == 1 ? p[0] : size == 2 ? U16(p) : U32(p);
    }
    return values;
  }

  // The first value as a number; rationals with a zero denominator or outside the file give 0,
  // as descriptive values are not worth refusing a picture for.
  double Number(const Entry& e) {
    if (e.count == 0) return 0;
    if (e.type == kRational || e.type == kSRational) {
      const std::uint32_t offset = U32(e.value);
      if (!Fits(offset, 8)) return 0;
      std::uint8_t p[8];
      Read(offset, p, 8);
      const std::uint32_t n = U32(p), d = U32(p + 4);
      if (d == 0) return 0;
      if (e.type == kSRational)
        return static_cast<double>(static_cast<std::int32_t>(n)) / static_cast<std::int32_t>(d);
      return static_cast<double>(n) / d;
    }
    const std::vector<std::uint32_t> v =
        Ints(Entry{e.tag, e.type, 1, {e.value[0], e.value[1], e.value[2], e.value[3]}});
    return v.empty() ? 0 : static_cast<double>(v[0]);
  }

  // Text up to its first zero byte, empty when it lies outside the file. Short texts may also
  // have been written out of line by older writers: then the entry holds an offset instead of
  // letters.
  std::string Text(const Entry& e) {
    if (e.type != kAscii || e.count == 0) return {};
    std::vector<std::uint8_t> bytes;
    if (e.count <= 4) {
      const std::uint8_t* v = e.value;
      bool printable = true;
      std::size_t n = 0;
      while (n < e.count && v[n] != 0) printable = printable && v[n] >= 0x20 && v[n] < 0x7F, ++n;
      const std::uint32_t offset = U32(e.value);
      if (!printable && offset >= 8 && Fits(offset, e.count)) {
        bytes.resize(e.count);
        Read(offset, bytes.data(), bytes.size());
      } else {
        bytes.assign(v, v + n);
      }
    } else if (Fits(U32(e.value), e.count)) {
      bytes = Bytes(e);
    }
    const auto zero = std::find(bytes.begin(), bytes.end(), 0);
    return std::string(bytes.begin(), zero);
  }

  // PageNumber's two SHORTs fill the entry exactly; older writers put them out of line anyway.
  // An offset read as two numbers gives a page beyond the count, which tells the two apart.
  std::pair<int, int> PageNumber(const Entry& e) {
    if (e.type != kShort || e.count < 2) {
      const std::vector<std::uint32_t> v = Ints(e);
      return {v.size() > 0 ? static_cast<int>(v[0] & 0xFFFF) : 0,
              v.size() > 1 ? static_cast<int>(v[1] & 0xFFFF) : 0};
    }
    if (e.count == 2) {
      const int page = U16(e.value), count = U16(e.value + 2);
      const bool plausible = count == 0 ? page < 256 : page < count;
      const std::uint32_t offset = U32(e.value);
      if (!plausible && !big && offset >= 8 && Fits(offset, 4)) {
        std::uint8_t p[4];
        Read(offset, p, 4);
        return {U16(p), U16(p + 2)};
      }
      return {page, count};
    }
    const std::vector<std::uint32_t> v = Ints(e);
    return {static_cast<int>(v[0]), static_cast<int>(v[1])};
  }

 private:
  TStream& stream_;
  std::int64_t base_;
  std::int64_t size_;
};

struct Directory {
  std::vector<Entry> entries;
  const Entry* Find(std::uint16_t tag) const {
    for (const Entry& e : entries)
      if (e.tag == tag) return &e;
    return nullptr;
  }
};

// Everything the decoder needs, read and checked from one IFD.
struct Layout {
  std::int64_t width = 0, height = 0;
  int bits = 1;
  int samples = 1;
  int compression = 1;
  int photometric = 2;
  int fillOrder = 1;
  int planar = 1;
  int predictor = 1;
  std::uint32_t t4Options = 0;
  int inkSet = 1;
  int extraSample =
      0;  // ExtraSamples of the first extra sample: 1 associated, 2 unassociated alpha
  bool sampleFormatOk = true;
  bool lookMolli = false;
  std::vector<TRGB> colorMap;
  std::vector<std::uint8_t> jpegTables;

  bool tiled = false;
  std::int64_t chunkWidth = 0, chunkHeight = 0;
  std::vector<std::uint32_t> offsets, counts;
  bool haveCounts = false;
};

void ReadHeader(Source& src, std::uint32_t& firstIfd) {
  std::uint8_t header[8];
  if (src.Size() < 8) Invalid("unrecognized TIFF");
  src.Read(0, header, 8);
  if (header[0] == 'I' && header[1] == 'I')
    src.big = false;
  else if (header[0] == 'M' && header[1] == 'M')
    src.big = true;
  else
    Invalid("unrecognized TIFF");
  if (src.U16(header + 2) != 42) Invalid("unrecognized TIFF");
  firstIfd = src.U32(header + 4);
}

// Walks the IFD chain, keeping the entries of IFD number `index`; returns the number of IFDs. A
// chain that comes back to an earlier IFD is refused, one that points at itself ends there.
int WalkChain(Source& src, std::uint32_t offset, int index, Directory& wanted, bool& found) {
  std::set<std::uint32_t> visited;
  int count = 0;
  found = false;
  while (offset != 0) {
    if (visited.count(offset)) Invalid();
    std::uint8_t head[2];
    if (!src.Fits(offset, 2)) {
      if (count <= index) Invalid();
      break;
    }
    src.Read(offset, head, 2);
    const std::uint32_t n = src.U16(head);
    const std::uint64_t entriesEnd = static_cast<std::uint64_t>(offset) + 2 + 12ull * n;
    if (!src.Fits(entriesEnd, 4)) {
      if (count <= index) Invalid();
      break;
    }
    visited.insert(offset);
    if (count == index) {
      std::vector<std::uint8_t> raw(12ull * n);
      src.Read(offset + 2ull, raw.data(), raw.size());
      wanted.entries.resize(n);
      for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint8_t* p = raw.data() + 12ull * i;
        Entry& e = wanted.entries[i];
        e.tag = src.U16(p);
        e.type = src.U16(p + 2);
        e.count = src.U32(p + 4);
        std::memcpy(e.value, p + 8, 4);
      }
      found = true;
    }
    std::uint8_t link[4];
    src.Read(entriesEnd, link, 4);
    ++count;
    if (count > kMaxIfds) Invalid();
    const std::uint32_t next = src.U32(link);
    if (next == offset) break;
    offset = next;
  }
  return count;
}

TIOTIFFCompression CompressionParam(int compression, std::uint32_t t4Options) {
  switch (compression) {
    case 2:
      return ioTIFF_CCITT1D;
    case 3:
      return (t4Options & 1) ? ioTIFF_G3FAX2D : ioTIFF_G3FAX1D;
    case 4:
      return ioTIFF_G4FAX;
    case 5:
      return ioTIFF_LZW;
    case 6:
      return ioTIFF_OLDJPEG;
    case 7:
      return ioTIFF_JPEG;
    case 32773:
      return ioTIFF_PACKBITS;
    default:
      return ioTIFF_UNCOMPRESSED;
  }
}

int ClampToInt(double v) {
  if (!(v > -2147483648.0)) return v != v ? 0 : std::numeric_limits<int>::min();
  if (v >= 2147483647.0) return std::numeric_limits<int>::max();
  return static_cast<int>(v);
}

// Reads the tags into the layout and the parameter record.
Layout ReadTags(Source& src, const Directory& dir, TIOParamsVals& params) {
  Layout l;
  const auto intTag = [&](std::uint16_t tag, std::int64_t fallback) -> std::int64_t {
    const Entry* e = dir.Find(tag);
    if (!e || e->count == 0) return fallback;
    const std::vector<std::uint32_t> v =
        src.Ints(Entry{e->tag, e->type, 1, {e->value[0], e->value[1], e->value[2], e->value[3]}});
    return v.empty() ? fallback : static_cast<std::int64_t>(v[0]);
  };
  const auto text = [&](std::uint16_t tag) {
    const Entry* e = dir.Find(tag);
    return e ? src.Text(*e) : std::string();
  };
  const auto number = [&](std::uint16_t tag) {
    const Entry* e = dir.Find(tag);
    return e ? src.Number(*e) : 0.0;
  };

  l.width = intTag(kImageWidth, 0);
  l.height = intTag(kImageLength, 0);
  l.samples = static_cast<int>(std::min<std::int64_t>(intTag(kSamplesPerPixel, 1), 0xFFFF));
  if (const Entry* e = dir.Find(kBitsPerSample)) {
    const std::vector<std::uint32_t> v = src.Ints(*e);
    if (!v.empty()) {
      for (const std::uint32_t b : v)
        if (b != v[0]) Invalid();
      l.bits = static_cast<int>(std::min<std::uint32_t>(v[0], 0xFFFF));
    }
  }
  l.compression = static_cast<int>(intTag(kCompression, 1));
  const Entry* photometric = dir.Find(kPhotometric);
  l.photometric = static_cast<int>(intTag(kPhotometric, 2));
  // Without the tag a single-sample image is grey rather than an impossible one-sample RGB.
  if (!photometric && l.samples < 3) l.photometric = 1;
  l.fillOrder = static_cast<int>(intTag(kFillOrder, 1));
  l.planar = static_cast<int>(intTag(kPlanarConfiguration, 1));
  l.predictor = static_cast<int>(intTag(kPredictor, 1));
  l.t4Options = static_cast<std::uint32_t>(intTag(kT4Options, 0));
  l.inkSet = static_cast<int>(intTag(kInkSet, 1));
  l.extraSample = static_cast<int>(intTag(kExtraSamples, 0));
  if (const Entry* e = dir.Find(kSampleFormat)) {
    for (const std::uint32_t f : src.Ints(*e))
      if (f != 1) l.sampleFormatOk = false;
  }
  l.lookMolli = text(kSoftware).rfind("Look@Molli v1.1", 0) == 0;
  if (const Entry* e = dir.Find(kJPEGTables); e && l.compression == 7) l.jpegTables = src.Bytes(*e);

  if (const Entry* e = dir.Find(kColorMap)) {
    const std::vector<std::uint32_t> v = src.Ints(*e);
    const std::size_t n = std::min<std::size_t>(v.size() / 3, 65536);
    l.colorMap.resize(n);
    for (std::size_t i = 0; i < n; ++i)
      l.colorMap[i] =
          TRGB{static_cast<std::uint8_t>(v[2 * n + i] >> 8),
               static_cast<std::uint8_t>(v[n + i] >> 8), static_cast<std::uint8_t>(v[i] >> 8)};
  }

  const Entry* tileOffsets = dir.Find(kTileOffsets);
  l.tiled = tileOffsets && dir.Find(kTileWidth) && dir.Find(kTileLength);
  if (l.tiled) {
    l.chunkWidth = intTag(kTileWidth, 0);
    l.chunkHeight = intTag(kTileLength, 0);
    l.offsets = src.Ints(*tileOffsets);
    if (const Entry* e = dir.Find(kTileByteCounts)) l.counts = src.Ints(*e), l.haveCounts = true;
  } else {
    l.chunkWidth = l.width;
    const std::int64_t rows = intTag(kRowsPerStrip, l.height);
    l.chunkHeight = rows <= 0 || rows > l.height ? l.height : rows;
    if (const Entry* e = dir.Find(kStripOffsets)) l.offsets = src.Ints(*e);
    if (const Entry* e = dir.Find(kStripByteCounts)) l.counts = src.Ints(*e), l.haveCounts = true;
  }

  params.Width = static_cast<int>(std::min<std::int64_t>(l.width, std::numeric_limits<int>::max()));
  params.Height =
      static_cast<int>(std::min<std::int64_t>(l.height, std::numeric_limits<int>::max()));
  params.BitsPerSample = l.bits;
  params.SamplesPerPixel = l.samples;
  params.TIFF_Compression = CompressionParam(l.compression, l.t4Options);
  if (l.photometric >= 0 && l.photometric <= 6)
    params.TIFF_PhotometInterpret = static_cast<TIOTIFFPhotometInterpret>(l.photometric);
  else if (l.photometric == 8)
    params.TIFF_PhotometInterpret = ioTIFF_CIELAB;
  params.TIFF_PlanarConf = l.planar;
  params.TIFF_DocumentName = text(kDocumentName);
  params.TIFF_ImageDescription = text(kImageDescription);
  params.TIFF_PageName = text(kPageName);
  if (const Entry* e = dir.Find(kPageNumber)) {
    const auto [page, count] = src.PageNumber(*e);
    params.TIFF_PageNumber = page;
    params.TIFF_PageCount = count;
  } else {
    params.TIFF_PageNumber = 0;
    params.TIFF_PageCount = 0;
  }
  params.SetColorMap(l.colorMap);

  const double factor = intTag(kResolutionUnit, 2) == 3 ? 2.54 : 1.0;
  params.DpiX = ClampToInt(number(kXResolution) * factor);
  params.DpiY = ClampToInt(number(kYResolution) * factor);
  if (params.DpiX <= 0) params.DpiX = gSystemDPIX;
  if (params.DpiY <= 0) params.DpiY = gSystemDPIY;
  params.TIFF_XPos = ClampToInt(number(kXPosition) * factor);
  params.TIFF_YPos = ClampToInt(number(kYPosition) * factor);
  return l;
}

enum class Output { Bilevel, Grey, Rgb, Palette, Cmyk };

// What the pixels are, or a refusal for what this reader cannot show faithfully.
Output CheckLayout(const Layout& l) {
  if (l.width <= 0 || l.height <= 0 || l.width > kMaxBitmapSide || l.height > kMaxBitmapSide ||
      l.width * l.height > kMaxPixels)
    Invalid();
  if (l.bits < 1 || l.bits > 16 || l.samples < 1 || l.samples > kMaxSamples) Invalid();
  if (!l.sampleFormatOk) Invalid("Unsupported TIFF sample format");
  if (l.planar != 1 && l.planar != 2) Invalid();
  switch (l.compression) {
    case 1:
    case 5:
    case 32773:
      break;
    case 2:
    case 3:
    case 4:
      if (l.bits != 1 || l.samples != 1) Invalid();
      if (l.compression == 3 && (l.t4Options & 2)) Invalid("Unsupported TIFF compression");
      break;
    case 7:
      // libjpeg gives 8-bit grey or RGB, YCbCr converted and upsampled.
      if (l.bits != 8 || l.planar != 1 || l.predictor != 1 ||
          !((l.samples == 1 && (l.photometric == 0 || l.photometric == 1)) ||
            (l.samples == 3 && (l.photometric == 2 || l.photometric == 6))))
        Invalid("Unsupported JPEG compressed TIFF");
      break;
    case 6:
      Invalid("Old-style JPEG compressed TIFF not supported");
    default:
      Invalid("Unsupported TIFF compression");
  }
  if (l.predictor != 1 && !(l.predictor == 2 && (l.bits == 8 || l.bits == 16)))
    Invalid("Unsupported TIFF predictor");
  if (l.fillOrder != 1 && l.fillOrder != 2) Invalid();
  Output out = Output::Grey;
  switch (l.photometric) {
    case 0:
    case 1:
      out = Output::Grey;
      break;
    case 2:
      out = Output::Rgb;
      break;
    case 3:
      out = Output::Palette;
      break;
    case 5:
      out = Output::Cmyk;
      break;
    case 6:
      if (l.compression != 7) Invalid("Unsupported TIFF photometric interpretation");
      out = Output::Rgb;
      break;
    default:
      Invalid("Unsupported TIFF photometric interpretation");
  }
  if (out == Output::Rgb && l.samples < 3) Invalid();
  if (out == Output::Cmyk && (l.samples < 4 || l.inkSet != 1)) Invalid("Unsupported TIFF ink set");
  if (out == Output::Palette) {
    if (l.bits > 8 || l.colorMap.empty()) Invalid();
  }
  if (l.bits == 1 && l.samples == 1 && (out == Output::Grey || out == Output::Palette))
    return Output::Bilevel;
  if (l.bits == 1 && l.samples == 1) Invalid();
  return out;
}

inline std::uint8_t Reverse(std::uint8_t b) {
  b = static_cast<std::uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = static_cast<std::uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
  return static_cast<std::uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

void UnpackBits(const std::uint8_t* in, std::size_t size, std::uint8_t* out, std::size_t need) {
  std::size_t i = 0, o = 0;
  while (o < need) {
    if (i >= size) Invalid();
    const int n = static_cast<std::int8_t>(in[i++]);
    if (n >= 0) {
      const std::size_t len = static_cast<std::size_t>(n) + 1;
      if (i + len > size) Invalid();
      const std::size_t k = std::min(len, need - o);
      std::memcpy(out + o, in + i, k);
      i += len;
      o += k;
    } else if (n != -128) {
      if (i >= size) Invalid();
      const std::size_t k = std::min(static_cast<std::size_t>(1 - n), need - o);
      std::memset(out + o, in[i++], k);
      o += k;
    }
  }
}

struct JpegError {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

void JpegErrorExit(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}
void JpegIgnoreMessage(j_common_ptr, int) {}

// One JPEG strip or tile: an abbreviated stream whose tables come from JPEGTables. libjpeg's
// errors longjmp back here, so this frame holds nothing that needs destroying. False for data
// libjpeg refuses or that does not match the directory.
bool DecodeJpeg(const std::vector<std::uint8_t>& tables, const std::vector<std::uint8_t>& data,
                std::uint8_t* out, std::size_t rows, std::size_t rowBytes, int width, int samples,
                bool ycbcr) {
  jpeg_decompress_struct cinfo;
  JpegError error;
  cinfo.err = jpeg_std_error(&error.pub);
  error.pub.error_exit = JpegErrorExit;
  error.pub.emit_message = JpegIgnoreMessage;
  if (setjmp(error.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  if (!tables.empty()) {
    jpeg_mem_src(&cinfo, tables.data(), static_cast<unsigned long>(tables.size()));
    jpeg_read_header(&cinfo, FALSE);
  }
  jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
  bool ok = jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK &&
            cinfo.image_width == static_cast<JDIMENSION>(width) && cinfo.image_height >= rows &&
            cinfo.num_components == samples;
  if (ok) {
    if (samples == 3) {
      cinfo.jpeg_color_space = ycbcr ? JCS_YCbCr : JCS_RGB;
      cinfo.out_color_space = JCS_RGB;
    } else {
      cinfo.out_color_space = JCS_GRAYSCALE;
    }
    jpeg_start_decompress(&cinfo);
    ok = cinfo.output_components == samples;
    while (ok && cinfo.output_scanline < rows) {
      JSAMPROW row = out + static_cast<std::size_t>(cinfo.output_scanline) * rowBytes;
      ok = jpeg_read_scanlines(&cinfo, &row, 1) == 1;
    }
  }
  jpeg_destroy_decompress(&cinfo);
  return ok;
}

// Decodes chunks (strips or tiles) of one IFD.
class ChunkDecoder {
 public:
  ChunkDecoder(const Layout& l, TTIFFLZWDecompFunc lzw, bool bigEndian)
      : l_(l), lzw_(lzw), big_(bigEndian) {}
  ~ChunkDecoder() {
    if (lzwState_) {
      if (lzw_ == &TIFFLZWDecompress)
        TIFFLZWDecodeNext(nullptr, 0, nullptr, 0, lzwState_, true);
      else
        lzw_(nullptr, 0, lzwState_);
    }
  }
  ChunkDecoder(const ChunkDecoder&) = delete;
  ChunkDecoder& operator=(const ChunkDecoder&) = delete;

  // Rows that are complete go to `ready` (their bytes, the first row's number, the count).
  using Ready = std::function<void(const std::uint8_t*, std::size_t, std::size_t)>;

  // Whether Decode can hand out the rows a few at a time, so that `out` need only hold
  // PieceRows() rows.
  bool InPieces() const { return l_.compression == 5 && lzw_ == &TIFFLZWDecompress; }
  static std::size_t PieceRows(std::size_t rowBytes) {
    return std::max<std::size_t>(1, (std::size_t{1} << 16) / std::max<std::size_t>(rowBytes, 1));
  }

  // `rows` rows of `rowBytes` bytes, `width` pixels of `samples` samples each, into `out` and
  // then to `ready`; in pieces, `out` is reused for each piece of rows.
  void Decode(std::vector<std::uint8_t>& data, std::uint8_t* out, std::size_t rows,
              std::size_t rowBytes, int width, int samples, bool pieces, const Ready& ready = {}) {
    const std::size_t need = rows * rowBytes;
    if (l_.fillOrder == 2)
      for (std::uint8_t& b : data) b = Reverse(b);
    switch (l_.compression) {
      case 1:
        if (data.size() < need) Invalid();
        std::memcpy(out, data.data(), need);
        break;
      case 32773:
        UnpackBits(data.data(), data.size(), out, need);
        break;
      case 5: {
        if (lzw_ == &TIFFLZWDecompress) {
          const std::size_t group = pieces ? PieceRows(rowBytes) : rows;
          for (std::size_t done = 0; done < rows;) {
            const std::size_t n = std::min(rows - done, group);
            std::uint8_t* target = pieces ? out : out + done * rowBytes;
            if (TIFFLZWDecodeNext(data.data(), data.size(), target, n * rowBytes, lzwState_,
                                  done == 0) < n * rowBytes)
              Invalid();
            if (l_.predictor == 2) UndoPredictor(target, n, rowBytes, width, samples);
            if (ready) ready(target, done, n);
            done += n;
          }
          return;
        }
        const std::vector<std::uint8_t> decoded = lzw_(data.data(), data.size(), lzwState_);
        if (decoded.size() < need) Invalid();
        std::memcpy(out, decoded.data(), need);
        break;
      }
      case 7:
        if (!DecodeJpeg(l_.jpegTables, data, out, rows, rowBytes, width, samples,
                        l_.photometric == 6))
          Invalid("Invalid JPEG data in TIFF");
        break;
      default:
        DecodeFax(data, out, rows, rowBytes, width);
        break;
    }
    if (l_.predictor == 2) UndoPredictor(out, rows, rowBytes, width, samples);
    if (ready) ready(out, 0, rows);
  }

 private:
  void DecodeFax(const std::vector<std::uint8_t>& data, std::uint8_t* out, std::size_t rows,
                 std::size_t rowBytes, int width) {
    TFaxBitReader in(data.data(), data.size());
    reference_.clear();
    for (std::size_t r = 0; r < rows; ++r) {
      std::uint8_t* row = out + r * rowBytes;
      if (l_.compression == 2) {
        CCITTHuffmanGetLine(in, row, width, changes_);
        in.AlignToByte();
      } else if (l_.compression == 3) {
        in.SkipEol();
        const bool twoD = (l_.t4Options & 1) && in.ReadBit() == 0;
        if (twoD)
          CCITT3_2D_GetLine(in, row, width, reference_, changes_);
        else
          CCITTHuffmanGetLine(in, row, width, changes_);
      } else {
        CCITT3_2D_GetLine(in, row, width, reference_, changes_);
      }
      std::swap(reference_, changes_);
    }
  }

  void UndoPredictor(std::uint8_t* out, std::size_t rows, std::size_t rowBytes, int width,
                     int samples) const {
    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(samples);
    const std::size_t s = static_cast<std::size_t>(samples);
    for (std::size_t r = 0; r < rows; ++r) {
      std::uint8_t* p = out + r * rowBytes;
      if (l_.bits == 8) {
        if (s == 3) {
          std::uint8_t a = p[0], b = p[1], c = p[2];
          for (std::size_t i = 3; i < n; i += 3) {
            a = p[i] = static_cast<std::uint8_t>(p[i] + a);
            b = p[i + 1] = static_cast<std::uint8_t>(p[i + 1] + b);
            c = p[i + 2] = static_cast<std::uint8_t>(p[i + 2] + c);
          }
        } else {
          for (std::size_t i = s; i < n; ++i) p[i] = static_cast<std::uint8_t>(p[i] + p[i - s]);
        }
      } else {
        const bool big = big_;
        const auto get = [&](std::size_t i) {
          return static_cast<unsigned>(big ? p[2 * i] << 8 | p[2 * i + 1]
                                           : p[2 * i + 1] << 8 | p[2 * i]);
        };
        for (std::size_t i = s; i < n; ++i) {
          const unsigned v = (get(i) + get(i - s)) & 0xFFFF;
          p[2 * i + (big ? 0 : 1)] = static_cast<std::uint8_t>(v >> 8);
          p[2 * i + (big ? 1 : 0)] = static_cast<std::uint8_t>(v);
        }
      }
    }
  }

  const Layout& l_;
  TTIFFLZWDecompFunc lzw_;
  bool big_;
  std::shared_ptr<void> lzwState_;
  TFaxChanges reference_, changes_;
};

// Sample i of a row of `bits`-bit samples.
inline std::uint32_t SampleAt(const std::uint8_t* row, std::size_t i, int bits, bool big) {
  switch (bits) {
    case 8:
      return row[i];
    case 16:
      return big ? static_cast<std::uint32_t>(row[2 * i] << 8 | row[2 * i + 1])
                 : static_cast<std::uint32_t>(row[2 * i + 1] << 8 | row[2 * i]);
    default: {
      const std::uint64_t bit = static_cast<std::uint64_t>(i) * static_cast<unsigned>(bits);
      std::uint32_t v = 0;
      for (int k = 0; k < bits; ++k) {
        const std::uint64_t b = bit + static_cast<unsigned>(k);
        v = v << 1 | ((row[b >> 3] >> (7 - (b & 7))) & 1u);
      }
      return v;
    }
  }
}

// Converts decoded rows to bitmap rows.
class RowConverter {
 public:
  RowConverter(const Layout& l, Output out, bool big) : l_(l), out_(out), big_(big) {
    const int max = (1 << l.bits) - 1;
    for (int v = 0; v < 256 && v <= max; ++v)
      scale_[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(v * 255 / max);
    shift_ = l.bits > 8 ? l.bits - 8 : 0;
    if (l.lookMolli && l.bits == 16 && l.compression == 1 && out == Output::Grey) shift_ = 4;
    // Colour keeps the nearest 8-bit level, grey its high byte, as libtiff shows them.
    round16_ = l.bits == 16 && out != Output::Grey;
    alpha_ = l.extraSample == 2 &&
             ((out == Output::Grey && l.samples >= 2) || (out == Output::Rgb && l.samples >= 4));
  }

  // `planes` holds one row pointer per plane (one for chunky data).
  void Convert(const std::uint8_t* const* planes, std::uint8_t* target, int width) const {
    const int s = l_.samples;
    const bool planar = l_.planar == 2 && s > 1;
    if (out_ == Output::Bilevel) {
      const std::size_t bytes = static_cast<std::size_t>((width + 7) / 8);
      const bool invert = l_.photometric == 0;
      for (std::size_t i = 0; i < bytes; ++i)
        target[i] = invert ? static_cast<std::uint8_t>(~planes[0][i]) : planes[0][i];
      if (width & 7) target[bytes - 1] &= static_cast<std::uint8_t>(0xFF00 >> (width & 7));
      return;
    }
    if (l_.bits == 8 && !alpha_) {
      if (out_ == Output::Rgb && !planar) {
        const std::uint8_t* in = planes[0];
        for (int x = 0; x < width; ++x, in += s, target += 3) {
          target[0] = in[2];
          target[1] = in[1];
          target[2] = in[0];
        }
        return;
      }
      if (out_ == Output::Rgb) {
        const std::uint8_t *r = planes[0], *g = planes[1], *b = planes[2];
        for (int x = 0; x < width; ++x, target += 3) {
          target[0] = b[x];
          target[1] = g[x];
          target[2] = r[x];
        }
        return;
      }
      if (out_ == Output::Grey && l_.samples == 1) {
        const std::uint8_t flip = l_.photometric == 0 ? 0xFF : 0x00;
        for (int x = 0; x < width; ++x, target += 3)
          target[0] = target[1] = target[2] = static_cast<std::uint8_t>(planes[0][x] ^ flip);
        return;
      }
    }
    const auto sample = [&](int x, int k) {
      return planar ? SampleAt(planes[k], static_cast<std::size_t>(x), l_.bits, big_)
                    : SampleAt(planes[0], static_cast<std::size_t>(x) * s + k, l_.bits, big_);
    };
    const auto value = [&](int x, int k) -> unsigned {
      const std::uint32_t v = sample(x, k);
      if (l_.bits <= 8) return scale_[v];
      if (round16_) return (v * 255 + 32767) / 65535;
      return std::min<std::uint32_t>(v >> shift_, 255);
    };
    const auto flatten = [&](unsigned c, unsigned a) { return (c * a + 127) / 255; };
    for (int x = 0; x < width; ++x, target += 3) {
      switch (out_) {
        case Output::Grey: {
          unsigned g = value(x, 0);
          if (l_.photometric == 0) g = 255 - g;
          if (alpha_) g = flatten(g, value(x, 1));
          target[0] = target[1] = target[2] = static_cast<std::uint8_t>(g);
          break;
        }
        case Output::Rgb: {
          unsigned r = value(x, 0), g = value(x, 1), b = value(x, 2);
          if (alpha_) {
            const unsigned a = value(x, 3);
            r = flatten(r, a), g = flatten(g, a), b = flatten(b, a);
          }
          target[0] = static_cast<std::uint8_t>(b);
          target[1] = static_cast<std::uint8_t>(g);
          target[2] = static_cast<std::uint8_t>(r);
          break;
        }
        case Output::Palette: {
          const std::uint32_t index = sample(x, 0);
          if (index >= l_.colorMap.size()) Invalid();
          const TRGB c = l_.colorMap[index];
          target[0] = c.b;
          target[1] = c.g;
          target[2] = c.r;
          break;
        }
        case Output::Cmyk: {
          const unsigned c = value(x, 0), m = value(x, 1), y = value(x, 2), k = value(x, 3);
          target[0] = static_cast<std::uint8_t>((255 - y) * (255 - k) / 255);
          target[1] = static_cast<std::uint8_t>((255 - m) * (255 - k) / 255);
          target[2] = static_cast<std::uint8_t>((255 - c) * (255 - k) / 255);
          break;
        }
        case Output::Bilevel:
          break;
      }
    }
  }

 private:
  const Layout& l_;
  Output out_;
  bool big_;
  std::uint8_t scale_[256] = {};
  int shift_ = 0;
  bool round16_ = false;
  bool alpha_ = false;
};

std::uint64_t RowBytesOf(std::int64_t width, int samples, int bits) {
  return (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(samples) *
              static_cast<std::uint64_t>(bits) +
          7) /
         8;
}

// Returns false when stopped through Aborting.
bool DecodeImage(Source& src, Layout& l, Output output, TTIFFLZWDecompFunc lzw, TDib& out,
                 TProgressRec& progress) {
  const int planes = l.planar == 2 ? l.samples : 1;
  const int chunkSamples = l.planar == 2 ? 1 : l.samples;
  if (l.chunkWidth <= 0 || l.chunkHeight <= 0 || l.chunkWidth > kMaxBitmapSide * 2 ||
      l.chunkHeight > kMaxBitmapSide * 2)
    Invalid();
  const std::uint64_t across =
      static_cast<std::uint64_t>((l.width + l.chunkWidth - 1) / l.chunkWidth);
  const std::uint64_t down =
      static_cast<std::uint64_t>((l.height + l.chunkHeight - 1) / l.chunkHeight);
  const std::uint64_t perPlane = across * down;
  const std::uint64_t chunks = perPlane * static_cast<std::uint64_t>(planes);
  if (l.offsets.size() < chunks || (l.haveCounts && l.counts.size() < chunks)) Invalid();

  const std::uint64_t chunkRowBytes = RowBytesOf(l.chunkWidth, chunkSamples, l.bits);
  const std::uint64_t bandRowBytes = RowBytesOf(l.width, chunkSamples, l.bits);
  if (l.tiled && (l.chunkWidth * chunkSamples * l.bits) % 8 != 0) Invalid();

  // Every chunk must lie in the file and be able to hold its rows.
  std::uint64_t compressed = 0;
  std::vector<std::uint32_t> counts(static_cast<std::size_t>(chunks));
  for (std::uint64_t i = 0; i < chunks; ++i) {
    const std::uint32_t offset = l.offsets[i];
    if (offset >= src.Size()) Invalid();
    const std::uint64_t count = l.haveCounts ? l.counts[i] : src.Size() - offset;
    if (!src.Fits(offset, count)) Invalid();
    counts[i] = static_cast<std::uint32_t>(count);
    compressed += count;
    const std::uint64_t row = (i % perPlane) / across;
    const std::uint64_t rows =
        l.tiled ? static_cast<std::uint64_t>(l.chunkHeight)
                : std::min<std::uint64_t>(static_cast<std::uint64_t>(l.chunkHeight),
                                          static_cast<std::uint64_t>(l.height) -
                                              row * static_cast<std::uint64_t>(l.chunkHeight));
    if (l.compression == 1 && count < rows * chunkRowBytes) Invalid();
  }
  const std::uint64_t raw =
      bandRowBytes * static_cast<std::uint64_t>(l.height) * static_cast<std::uint64_t>(planes);
  if (((l.compression == 5 || l.compression == 7) && raw > compressed * kMaxLzwRatio) ||
      (l.compression == 32773 && raw > compressed * kMaxPackBitsRatio))
    Invalid();
  // A fax line takes at least one bit.
  if (l.compression >= 2 && l.compression <= 4 &&
      static_cast<std::uint64_t>(l.height) > compressed * 8)
    Invalid();
  // Tiles may overhang the image, but not by more than the image itself is worth.
  const std::uint64_t tileBytes = chunkRowBytes * static_cast<std::uint64_t>(l.chunkHeight);
  if (l.tiled && tileBytes > std::max<std::uint64_t>(raw, std::uint64_t{1} << 24)) Invalid();

  const std::uint64_t bandPlaneBytes =
      bandRowBytes * static_cast<std::uint64_t>(std::min(l.chunkHeight, l.height));
  if (bandPlaneBytes * static_cast<std::uint64_t>(planes) > (std::uint64_t{1} << 31)) Invalid();
  const TPixelFormat format =
      output == Output::Bilevel ? TPixelFormat::pf1bit : TPixelFormat::pf24bit;
  TDib picture;
  if (!picture.SetSize(static_cast<int>(l.width), static_cast<int>(l.height), format)) Invalid();
  if (output == Output::Bilevel && l.photometric == 3) {
    if (l.colorMap.size() < 2) Invalid();
    picture.SetPalette({ToColor(l.colorMap[0]), ToColor(l.colorMap[1])});
  }

  ChunkDecoder decoder(l, lzw, src.big);
  const RowConverter converter(l, output, src.big);
  // Strips of one plane go row by row to the bitmap; the others are assembled in a band first.
  const bool direct = !l.tiled && planes == 1;
  const bool pieces = direct && decoder.InPieces();
  const std::uint64_t bandBytes =
      pieces ? std::min<std::uint64_t>(bandPlaneBytes,
                                       ChunkDecoder::PieceRows(bandRowBytes) * bandRowBytes)
             : bandPlaneBytes * static_cast<std::uint64_t>(planes);
  // Every byte of a band is decoded before it is read, so it needs no clearing.
  const std::unique_ptr<std::uint8_t[]> band(new std::uint8_t[static_cast<std::size_t>(bandBytes)]);
  std::vector<std::uint8_t> tile(l.tiled ? static_cast<std::size_t>(tileBytes) : 0);
  std::vector<std::uint8_t> data;
  std::vector<const std::uint8_t*> rowPointers(static_cast<std::size_t>(planes));
  const int width = static_cast<int>(l.width);
  progress.SetTotal(l.height);

  for (std::uint64_t by = 0; by < down; ++by) {
    const std::int64_t top = static_cast<std::int64_t>(by) * l.chunkHeight;
    const std::size_t bandRows =
        static_cast<std::size_t>(std::min<std::int64_t>(l.chunkHeight, l.height - top));
    for (int p = 0; p < planes; ++p) {
      std::uint8_t* plane =
          band.get() + static_cast<std::size_t>(bandPlaneBytes) * static_cast<std::size_t>(p);
      for (std::uint64_t bx = 0; bx < across; ++bx) {
        const std::size_t index =
            static_cast<std::size_t>(static_cast<std::uint64_t>(p) * perPlane + by * across + bx);
        data.resize(counts[index]);
        src.Read(l.offsets[index], data.data(), data.size());
        if (direct) {
          decoder.Decode(data, plane, bandRows, static_cast<std::size_t>(bandRowBytes), width,
                         chunkSamples, pieces,
                         [&](const std::uint8_t* rows, std::size_t first, std::size_t n) {
                           for (std::size_t r = 0; r < n; ++r) {
                             const std::uint8_t* row = rows + r * bandRowBytes;
                             converter.Convert(
                                 &row, picture.ScanLine(static_cast<int>(top + first + r)), width);
                           }
                         });
          continue;
        }
        if (!l.tiled) {
          decoder.Decode(data, plane, bandRows, static_cast<std::size_t>(bandRowBytes), width,
                         chunkSamples, false);
          continue;
        }
        decoder.Decode(data, tile.data(), static_cast<std::size_t>(l.chunkHeight),
                       static_cast<std::size_t>(chunkRowBytes), static_cast<int>(l.chunkWidth),
                       chunkSamples, false);
        const std::size_t x0 = static_cast<std::size_t>(bx * chunkRowBytes);
        const std::size_t bytes = std::min(static_cast<std::size_t>(chunkRowBytes),
                                           static_cast<std::size_t>(bandRowBytes) - x0);
        for (std::size_t r = 0; r < bandRows; ++r)
          std::memcpy(plane + r * bandRowBytes + x0, tile.data() + r * chunkRowBytes, bytes);
      }
    }
    for (std::size_t r = 0; r < bandRows && !direct; ++r) {
      for (int p = 0; p < planes; ++p)
        rowPointers[static_cast<std::size_t>(p)] =
            band.get() + static_cast<std::size_t>(bandPlaneBytes) * static_cast<std::size_t>(p) +
            r * bandRowBytes;
      converter.Convert(rowPointers.data(),
                        picture.ScanLine(static_cast<int>(top) + static_cast<int>(r)), width);
    }
    progress.Advance(static_cast<std::int64_t>(bandRows));
    if (progress.Aborted()) return false;
  }
  out = std::move(picture);
  return true;
}

}  // namespace

void TIFFReadStream(TDib& bitmap, TStream& stream, int& numImages, bool paramsOnly,
                    TProgressRec& progress, TIOParamsVals& params) {
  numImages = 0;
  try {
    Source src(stream);
    std::uint32_t first = 0;
    ReadHeader(src, first);
    Directory dir;
    bool found = false;
    numImages = WalkChain(src, first, params.TIFF_ImageIndex, dir, found);
    if (!found) return;
    TIOParamsVals filled = params;
    Layout layout = ReadTags(src, dir, filled);
    TTIFFLZWDecompFunc lzw =
        params.TIFF_LZWDecompFunc ? params.TIFF_LZWDecompFunc : DefTIFF_LZWDECOMPFUNC;
    if (layout.compression == 5 && !lzw) Invalid("LZW Decompressor not found");
    if (paramsOnly) {
      params = std::move(filled);
      return;
    }
    const Output output = CheckLayout(layout);
    if (layout.offsets.empty()) Invalid();
    TDib picture;
    if (!DecodeImage(src, layout, output, lzw, picture, progress)) return;
    bitmap = std::move(picture);
    params = std::move(filled);
  } catch (const EInvalidGraphic&) {
    throw;
  } catch (const EReadError&) {
    Invalid();
  } catch (const std::length_error&) {
    Invalid();
  }
}

// ---------------------------------------------------------------------------------------------
// Writing

namespace {

void PackBitsRow(const std::uint8_t* row, std::size_t n, std::vector<std::uint8_t>& out) {
  std::size_t literal = 0;  // start of the pending literal stretch
  const auto flush = [&](std::size_t end) {
    while (literal < end) {
      const std::size_t k = std::min<std::size_t>(128, end - literal);
      out.push_back(static_cast<std::uint8_t>(k - 1));
      out.insert(out.end(), row + literal, row + literal + k);
      literal += k;
    }
  };
  std::size_t i = 0;
  while (i < n) {
    std::size_t run = 1;
    while (i + run < n && run < 128 && row[i + run] == row[i]) ++run;
    if (run >= 4) {
      flush(i);
      out.push_back(static_cast<std::uint8_t>(257 - run));
      out.push_back(row[i]);
      literal = i + run;
    }
    i += run;
  }
  flush(n);
}

struct OutEntry {
  std::uint16_t tag;
  std::uint16_t type;
  std::uint32_t count;
  std::vector<std::uint8_t> data;  // little-endian values
};

void Put16(std::vector<std::uint8_t>& v, std::uint32_t x) {
  v.push_back(static_cast<std::uint8_t>(x));
  v.push_back(static_cast<std::uint8_t>(x >> 8));
}
void Put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}

OutEntry Shorts(std::uint16_t tag, std::initializer_list<std::uint32_t> values) {
  OutEntry e{tag, kShort, static_cast<std::uint32_t>(values.size()), {}};
  for (const std::uint32_t v : values) Put16(e.data, v);
  return e;
}
OutEntry Long(std::uint16_t tag, std::uint32_t value) {
  OutEntry e{tag, kLong, 1, {}};
  Put32(e.data, value);
  return e;
}
OutEntry Rational(std::uint16_t tag, std::uint32_t num, std::uint32_t den) {
  OutEntry e{tag, kRational, 1, {}};
  Put32(e.data, num);
  Put32(e.data, den);
  return e;
}
OutEntry Ascii(std::uint16_t tag, const std::string& text) {
  const std::string s = text.substr(0, text.find('\0'));
  OutEntry e{tag, kAscii, static_cast<std::uint32_t>(s.size() + 1), {}};
  e.data.assign(s.begin(), s.end());
  e.data.push_back(0);
  return e;
}

std::uint32_t Offset32(std::int64_t v) {
  if (v < 0 || v > std::numeric_limits<std::uint32_t>::max())
    throw EInvalidGraphic("Image too large for TIFF");
  return static_cast<std::uint32_t>(v);
}

std::uint32_t PositionValue(int pos) {
  const std::int64_t v = static_cast<std::int64_t>(std::max(pos, 0)) * 10000;
  return static_cast<std::uint32_t>(
      std::min<std::int64_t>(v, std::numeric_limits<std::uint32_t>::max()));
}

// The streams' own little-endian helpers, at a position relative to the TIFF data.
std::uint32_t ReadU32At(TStream& s, std::int64_t base, std::int64_t pos) {
  s.SetPosition(base + pos);
  return s.ReadU32();
}

}  // namespace

void TIFFWriteStream(TStream& stream, bool insert, const TDib& bitmap, TProgressRec& progress,
                     TIOParamsVals& params) {
  if (bitmap.Empty()) throw EInvalidGraphic("There is no image to write");
  const bool bilevel = params.BitsPerSample == 1 && params.SamplesPerPixel == 1;
  TDib converted;
  const TDib* source = &bitmap;
  if (bilevel) {
    if (TStatus s = MakeBlackWhite(bitmap, converted); !s) throw std::bad_alloc();
    source = &converted;
  } else if (bitmap.PixelFormat() != TPixelFormat::pf24bit) {
    if (TStatus s = ConvertTo24Bit(bitmap, converted); !s) throw std::bad_alloc();
    source = &converted;
  }
  const bool cmyk = !bilevel && params.TIFF_PhotometInterpret == ioTIFF_CMYK;
  const int samples = bilevel ? 1 : cmyk ? 4 : 3;
  const int photometric = bilevel ? 1 : cmyk ? 5 : 2;
  TTIFFLZWCompFunc lzw = params.TIFF_LZWCompFunc ? params.TIFF_LZWCompFunc : DefTIFF_LZWCOMPFUNC;
  int compression = 1;
  std::uint32_t t4Options = 0;
  switch (params.TIFF_Compression) {
    case ioTIFF_CCITT1D:
      compression = bilevel ? 2 : 1;
      break;
    case ioTIFF_G3FAX1D:
      compression = bilevel ? 3 : 1;
      break;
    case ioTIFF_G3FAX2D:
      compression = bilevel ? 3 : 1, t4Options = 1;
      break;
    case ioTIFF_G4FAX:
      compression = bilevel ? 4 : 1;
      break;
    case ioTIFF_LZW:
      compression = lzw ? 5 : 1;
      break;
    case ioTIFF_PACKBITS:
      compression = 32773;
      break;
    default:
      compression = 1;
      break;
  }
  const bool predictor = compression == 5 && !bilevel && (samples == 1 || samples == 3);
  const int width = source->Width(), height = source->Height();
  // BlackIsZero stores the darker colour as 0; a 1-bit bitmap may hold its colours the other
  // way round.
  const bool flipBits =
      bilevel && ColorLightness(source->Palette()[0]) > ColorLightness(source->Palette()[1]);

  const std::int64_t base = stream.Position();
  std::int64_t link = 4;  // where the new IFD's offset goes
  std::uint32_t nextIfd = 0;
  if (insert) {
    std::uint8_t header[8];
    stream.ReadBuffer(header, 8);
    if (header[0] != 'I' || header[1] != 'I')
      throw EInvalidGraphic("Multi image TIFF limited to Intel format");
    if (header[2] != 42 || header[3] != 0) Invalid();
    std::set<std::uint32_t> visited;
    for (int k = 0; k < params.TIFF_ImageIndex; ++k) {
      const std::uint32_t ifd = ReadU32At(stream, base, link);
      if (ifd == 0 || !visited.insert(ifd).second) break;
      stream.SetPosition(base + ifd);
      const std::uint16_t n = stream.ReadU16();
      link = static_cast<std::int64_t>(ifd) + 2 + 12 * static_cast<std::int64_t>(n);
    }
    nextIfd = ReadU32At(stream, base, link);
    stream.Seek(0, TSeekOrigin::soEnd);
    if ((stream.Position() - base) & 1) stream.WriteU8(0);
  } else {
    const std::uint8_t placeholder[8] = {};
    stream.WriteBuffer(placeholder, 8);
  }
  const std::int64_t stripStart = stream.Position() - base;

  const std::size_t rowBytes =
      bilevel ? static_cast<std::size_t>((width + 7) / 8)
              : static_cast<std::size_t>(width) * static_cast<std::size_t>(samples);
  std::vector<std::uint8_t> row(rowBytes);
  std::vector<std::uint8_t> coded;
  TFaxBitWriter bits(coded);
  TFaxChanges reference, changes;
  std::shared_ptr<void> lzwState;
  progress.SetTotal(height);
  for (int y = 0; y < height; ++y) {
    if (progress.Aborted()) {
      if (lzwState) lzwState.reset();
      return;
    }
    const std::uint8_t* in = source->ScanLine(y);
    if (bilevel) {
      std::memcpy(row.data(), in, rowBytes);
      if (flipBits)
        for (std::uint8_t& b : row) b = static_cast<std::uint8_t>(~b);
      if (width & 7) row[rowBytes - 1] &= static_cast<std::uint8_t>(0xFF00 >> (width & 7));
    } else if (cmyk) {
      std::uint8_t* o = row.data();
      for (int x = 0; x < width; ++x, in += 3, o += 4) {
        const int r = in[2], g = in[1], b = in[0];
        const int k = std::max({r, g, b, 1});
        o[0] = static_cast<std::uint8_t>(255 - r * 255 / k);
        o[1] = static_cast<std::uint8_t>(255 - g * 255 / k);
        o[2] = static_cast<std::uint8_t>(255 - b * 255 / k);
        o[3] = static_cast<std::uint8_t>(255 - std::max({r, g, b}));
      }
    } else {
      std::uint8_t* o = row.data();
      for (int x = 0; x < width; ++x, in += 3, o += 3) {
        o[0] = in[2];
        o[1] = in[1];
        o[2] = in[0];
      }
    }
    switch (compression) {
      case 1:
        stream.WriteBuffer(row.data(), rowBytes);
        break;
      case 32773:
        coded.clear();
        PackBitsRow(row.data(), rowBytes, coded);
        stream.WriteBuffer(coded.data(), coded.size());
        break;
      case 5:
        if (predictor)
          for (std::size_t i = rowBytes; i-- > static_cast<std::size_t>(samples);)
            row[i] = static_cast<std::uint8_t>(row[i] - row[i - static_cast<std::size_t>(samples)]);
        lzw(row.data(), rowBytes, stream, lzwState);
        break;
      case 2:
        CCITTHuffmanPutLine(bits, row.data(), width);
        break;
      case 3:
        if (t4Options & 1) {
          // A one-dimensional line every fourth keeps an error from running down the page.
          CCITTHuffmanPutLineG32D(bits, row.data(), width, reference, y % 4 == 0, changes);
          std::swap(reference, changes);
        } else {
          CCITTHuffmanPutLineG3(bits, row.data(), width);
        }
        break;
      case 4:
        CCITTHuffmanPutLineG4(bits, row.data(), width, reference, changes);
        std::swap(reference, changes);
        break;
    }
    if (compression >= 2 && compression <= 4 && !coded.empty()) {
      stream.WriteBuffer(coded.data(), coded.size());
      coded.clear();
    }
    progress.Advance();
  }
  if (progress.Aborted()) return;
  if (compression == 5) lzw(nullptr, 0, stream, lzwState);
  if (compression == 4)
    CCITTFinishG4(bits);
  else if (compression == 2 || compression == 3)
    bits.AlignToByte();
  if (!coded.empty()) stream.WriteBuffer(coded.data(), coded.size());
  const std::int64_t stripBytes = stream.Position() - base - stripStart;

  std::vector<OutEntry> entries;
  entries.push_back(Long(kImageWidth, static_cast<std::uint32_t>(width)));
  entries.push_back(Long(kImageLength, static_cast<std::uint32_t>(height)));
  if (bilevel)
    entries.push_back(Shorts(kBitsPerSample, {1}));
  else if (cmyk)
    entries.push_back(Shorts(kBitsPerSample, {8, 8, 8, 8}));
  else
    entries.push_back(Shorts(kBitsPerSample, {8, 8, 8}));
  entries.push_back(Shorts(kCompression, {static_cast<std::uint32_t>(compression)}));
  entries.push_back(Shorts(kPhotometric, {static_cast<std::uint32_t>(photometric)}));
  if (!params.TIFF_DocumentName.empty())
    entries.push_back(Ascii(kDocumentName, params.TIFF_DocumentName));
  if (!params.TIFF_ImageDescription.empty())
    entries.push_back(Ascii(kImageDescription, params.TIFF_ImageDescription));
  entries.push_back(Long(kStripOffsets, Offset32(stripStart)));
  entries.push_back(Shorts(kSamplesPerPixel, {static_cast<std::uint32_t>(samples)}));
  entries.push_back(Long(kRowsPerStrip, static_cast<std::uint32_t>(height)));
  entries.push_back(Long(kStripByteCounts, Offset32(stripBytes)));
  entries.push_back(
      Rational(kXResolution, static_cast<std::uint32_t>(std::max(params.DpiX, 0)), 1));
  entries.push_back(
      Rational(kYResolution, static_cast<std::uint32_t>(std::max(params.DpiY, 0)), 1));
  if (!params.TIFF_PageName.empty()) entries.push_back(Ascii(kPageName, params.TIFF_PageName));
  entries.push_back(Rational(kXPosition, PositionValue(params.TIFF_XPos), 10000));
  entries.push_back(Rational(kYPosition, PositionValue(params.TIFF_YPos), 10000));
  if (compression == 3) {
    OutEntry e = Long(kT4Options, t4Options);
    entries.push_back(std::move(e));
  }
  entries.push_back(Shorts(kResolutionUnit, {2}));
  if (params.TIFF_PageNumber != 0 || params.TIFF_PageCount != 0)
    entries.push_back(
        Shorts(kPageNumber, {static_cast<std::uint32_t>(params.TIFF_PageNumber) & 0xFFFF,
                             static_cast<std::uint32_t>(params.TIFF_PageCount) & 0xFFFF}));
  if (predictor) entries.push_back(Shorts(kPredictor, {2}));
  std::sort(entries.begin(), entries.end(),
            [](const OutEntry& a, const OutEntry& b) { return a.tag < b.tag; });

  // Values too long for their entry go after the strip, each at an even offset.
  std::vector<std::uint32_t> valueOffsets(entries.size(), 0);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].data.size() <= 4) continue;
    if ((stream.Position() - base) & 1) stream.WriteU8(0);
    valueOffsets[i] = Offset32(stream.Position() - base);
    stream.WriteBuffer(entries[i].data.data(), entries[i].data.size());
  }
  if ((stream.Position() - base) & 1) stream.WriteU8(0);
  const std::uint32_t ifd = Offset32(stream.Position() - base);
  std::vector<std::uint8_t> dir;
  Put16(dir, static_cast<std::uint32_t>(entries.size()));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const OutEntry& e = entries[i];
    Put16(dir, e.tag);
    Put16(dir, e.type);
    Put32(dir, e.count);
    if (e.data.size() <= 4) {
      std::uint8_t value[4] = {};
      std::copy(e.data.begin(), e.data.end(), value);
      dir.insert(dir.end(), value, value + 4);
    } else {
      Put32(dir, valueOffsets[i]);
    }
  }
  Put32(dir, nextIfd);
  stream.WriteBuffer(dir.data(), dir.size());
  const std::int64_t end = stream.Position();

  if (insert) {
    stream.SetPosition(base + link);
    stream.WriteU32(ifd);
  } else {
    std::vector<std::uint8_t> header = {'I', 'I'};
    Put16(header, 42);
    Put32(header, ifd);
    stream.SetPosition(base);
    stream.WriteBuffer(header.data(), header.size());
  }
  stream.SetPosition(end);
}

}  // namespace korvane
