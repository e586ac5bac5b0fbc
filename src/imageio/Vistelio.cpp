#include "imageio/Vistelio.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <random>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "imageio/Bmpfilt.h"
#include "imageio/Jpegfilt.h"
#include "imageio/Pcxfilter.h"
#include "imageio/Pngfilt.h"
#include "imageio/Pngfiltw.h"

namespace korvane {

void TIOParamsVals::SetColorMap(std::vector<TRGB> map) {
  ColorMap = std::move(map);
  ColorMapCount = static_cast<int>(ColorMap.size());
}

// ---------------------------------------------------------------------------------------------
// Descriptions and names

namespace {

inline constexpr std::array<const char*, 11> kFileTypeNames = {
    "ioUnknown", "ioTIFF", "ioGIF", "ioJPEG", "ioPCX", "ioBMP",
    "ioICO",     "ioCUR",  "ioPNG", "ioWMF",  "ioEMF"};
inline constexpr std::array<const char*, 4> kBMPVersionNames = {
    "ioBMP_BM", "ioBMP_BM3", "ioBMP_BMOS2V1", "ioBMP_BMOS2V2"};
inline constexpr std::array<const char*, 2> kBMPCompressionNames = {"ioBMP_UNCOMPRESSED",
                                                                    "ioBMP_RLE"};
inline constexpr std::array<const char*, 5> kJPEGColorSpaceNames = {
    "ioJPEG_RGB", "ioJPEG_GRAYLEV", "ioJPEG_YCbCr", "ioJPEG_CMYK", "ioJPEG_YCbCrK"};
inline constexpr std::array<const char*, 3> kJPEGDctNames = {"ioJPEG_ISLOW", "ioJPEG_IFAST",
                                                             "ioJPEG_FLOAT"};
inline constexpr std::array<const char*, 5> kJPEGScaleNames = {
    "ioJPEG_AUTOCALC", "ioJPEG_FULLSIZE", "ioJPEG_HALF", "ioJPEG_QUARTER", "ioJPEG_EIGHTH"};
inline constexpr std::array<const char*, 2> kPCXCompressionNames = {"ioPCX_UNCOMPRESSED",
                                                                    "ioPCX_RLE"};
inline constexpr std::array<const char*, 9> kTIFFCompressionNames = {
    "ioTIFF_UNCOMPRESSED", "ioTIFF_CCITT1D", "ioTIFF_G3FAX1D", "ioTIFF_G3FAX2D", "ioTIFF_G4FAX",
    "ioTIFF_LZW",          "ioTIFF_OLDJPEG", "ioTIFF_JPEG",    "ioTIFF_PACKBITS"};
inline constexpr std::array<const char*, 8> kTIFFPhotometricNames = {
    "ioTIFF_WHITEISZERO", "ioTIFF_BLACKISZERO", "ioTIFF_RGB",   "ioTIFF_RGBPALETTE",
    "ioTIFF_TRANSPMASK",  "ioTIFF_CMYK",        "ioTIFF_YCBCR", "ioTIFF_CIELAB"};
inline constexpr std::array<const char*, 3> kPNGFilterNames = {
    "ioPNG_FILTER_NONE", "ioPNG_FILTER_SUB", "ioPNG_FILTER_PAETH"};

template <std::size_t N>
const char* Pick(const std::array<const char*, N>& names, int value) {
  return value >= 0 && static_cast<std::size_t>(value) < N ? names[static_cast<std::size_t>(value)]
                                                          : "";
}

}  // namespace

const char* FileTypeName(TIOFileType type) { return Pick(kFileTypeNames, type); }

std::string GetFileTypeStr(const TIOParamsVals& params) {
  static constexpr std::array<const char*, 9> kTiffDetail = {
      " Uncompressed", " Huffman", " Group 3 Fax", " Group 3 Fax 2D", " Group 4 Fax",
      " LZW",          " Jpeg v.5", " Jpeg",       " PackBits RLE"};
  static constexpr std::array<const char*, 5> kJpegDetail = {"", " Gray level", " YCbCr",
                                                             " CMYK", " YCbCrK"};
  switch (params.FileType) {
    case ioTIFF: return std::string("TIFF Bitmap (TIF)") + Pick(kTiffDetail, params.TIFF_Compression);
    case ioGIF: return std::string("CompuServe Bitmap (GIF)") + (params.GIF_Interlaced ? " Interlaced" : "");
    case ioJPEG: return std::string("JPEG Bitmap (JPG)") + Pick(kJpegDetail, params.JPEG_ColorSpace);
    case ioPCX:
      return std::string("PaintBrush (PCX)") +
             (params.PCX_Compression == ioPCX_RLE ? " RLE" : " Uncompressed");
    case ioBMP:
      return std::string("Windows Bitmap (BMP)") +
             (params.BMP_Compression == ioBMP_RLE ? " RLE" : " Uncompressed");
    case ioICO: return "Windows Icon (ICO)";
    case ioCUR: return "Windows Cursor (CUR)";
    case ioPNG:
      return std::string("Portable Network Graphics (PNG)") +
             (params.PNG_Interlaced ? " Interlaced" : "");
    case ioWMF: return "Windows Metafile (WMF)";
    case ioEMF: return "Enhanced Windows Metafile (EMF)";
    case ioUnknown: break;
  }
  return "";
}

// ---------------------------------------------------------------------------------------------
// Content detection

TIOFileType FindStreamFormat(TStream& stream) {
  try {
    const std::int64_t start = stream.Position();
    const std::int64_t size = stream.Remaining();
    std::uint8_t head[16] = {};
    const std::size_t got = stream.Read(head, sizeof head);
    stream.SetPosition(start);
    // Text of at most `length` bytes ending at a zero byte.
    const auto text = [&](std::size_t offset, std::size_t length) {
      std::string s;
      for (std::size_t i = offset; i < offset + length && i < got && head[i] != 0; ++i)
        s.push_back(static_cast<char>(head[i]));
      return s;
    };
    const auto starts = [&](const char* tag) {
      const std::size_t n = std::strlen(tag);
      return got >= n && std::memcmp(head, tag, n) == 0;
    };
    if (size > 12 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF && head[3] == 0xE0 &&
        text(6, 5) == "JFIF")
      return ioJPEG;
    if (size > 12 && text(0, 5) == "JFIF") return ioJPEG;
    if (size > 13 && starts("GIF")) return ioGIF;
    if (size > 12 && text(0, 5) == "PCX2") return ioPCX;
    if (size > 4 && text(0, 4) == "PCX") return ioPCX;
    if (size > 14 && starts("BM")) return ioBMP;
    if (size > 128 && head[0] == 0x0A && head[1] <= 5) return ioPCX;
    if (size > 12 && text(0, 5) == "TIFF") return ioTIFF;
    if (size > 8 && (starts("II") || starts("MM"))) return ioTIFF;
    if (size > 8 && IsPNGStream(stream)) return ioPNG;
    if (ICOTryStream(stream)) return ioICO;
    if (CURTryStream(stream)) return ioCUR;
  } catch (const EStreamError&) {
  }
  return ioUnknown;
}

TIOFileType FindFileFormat(const std::filesystem::path& name) {
  // Every test decides within the first bytes, so only they are read (an unbuffered read: the
  // file stream's buffer would pull in far more); an icon directory longer than the probe does
  // not match.
  constexpr std::size_t kProbeBytes = 512;
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return ioUnknown;
  std::vector<std::uint8_t> head(kProbeBytes);
  std::size_t got = 0;
  while (got < head.size()) {
    const ssize_t n = ::read(fd, head.data() + got, head.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  head.resize(got);
  TMemoryStream probe(std::move(head));
  return FindStreamFormat(probe);
}

// ---------------------------------------------------------------------------------------------
// Stream header

std::int64_t BeginStreamHeader(TStream& stream) {
  const std::int64_t position = stream.Position();
  const std::uint8_t zeros[12] = {};
  stream.WriteBuffer(zeros, sizeof zeros);
  return position;
}

void EndStreamHeader(TStream& stream, std::int64_t headerPosition, std::string_view tag) {
  const std::int64_t end = stream.Position();
  const std::int64_t length = end - headerPosition - 12;
  if (length < 0 || length > 0xFFFFFFFFLL) throw EWriteError("Stream write error");
  std::uint8_t header[12] = {};
  std::memcpy(header, tag.data(), std::min<std::size_t>(tag.size(), 4));
  for (int i = 0; i < 4; ++i) header[8 + i] = static_cast<std::uint8_t>(length >> (8 * i));
  stream.SetPosition(headerPosition);
  stream.WriteBuffer(header, sizeof header);
  stream.SetPosition(end);
}

std::int64_t ReadStreamHeader(TStream& stream, std::string_view tag) {
  std::uint8_t header[12];
  if (stream.Read(header, sizeof header) != sizeof header ||
      std::memcmp(header, tag.data(), std::min<std::size_t>(tag.size(), 4)) != 0)
    throw EInvalidGraphic("Wrong stream header");
  std::int64_t length = 0;
  for (int i = 0; i < 4; ++i) length |= static_cast<std::int64_t>(header[8 + i]) << (8 * i);
  if (length > stream.Remaining()) throw EInvalidGraphic("Wrong stream header");
  return length;
}

// ---------------------------------------------------------------------------------------------
// Parameter fields by name

namespace {

struct Field {
  const char* name;
  TIOFileType format;  // ioUnknown: a general field
  std::string (*get)(const TIOParamsVals&);
  TStatus (*set)(TIOParamsVals&, std::string_view);  // null: filled by loads only
};

TStatus BadValue(std::string_view value, const char* expected) {
  return TStatus::Error("\"" + std::string(value) + "\" is not " + expected);
}

bool ParseInt(std::string_view text, long long& out) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, out);
  return ec == std::errc() && ptr == end;
}

std::string Lower(std::string_view text) {
  std::string s(text);
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string RGBText(TRGB c) {
  return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b);
}

template <int TIOParamsVals::*M, int Lo, int Hi>
Field IntField(const char* name, TIOFileType format, bool writable = true) {
  return Field{name, format, [](const TIOParamsVals& p) { return std::to_string(p.*M); },
               writable ? +[](TIOParamsVals& p, std::string_view v) {
                 long long n = 0;
                 if (!ParseInt(v, n) || n < Lo || n > Hi)
                   return BadValue(v, ("an integer from " + std::to_string(Lo) + " to " +
                                       std::to_string(Hi)).c_str());
                 p.*M = static_cast<int>(n);
                 return TStatus::Ok();
               }
                        : nullptr};
}

template <bool TIOParamsVals::*M>
Field BoolField(const char* name, TIOFileType format) {
  return Field{name, format, [](const TIOParamsVals& p) { return std::string(p.*M ? "true" : "false"); },
               [](TIOParamsVals& p, std::string_view v) {
                 const std::string s = Lower(v);
                 if (s == "true" || s == "1") p.*M = true;
                 else if (s == "false" || s == "0") p.*M = false;
                 else return BadValue(v, "true, false, 1 or 0");
                 return TStatus::Ok();
               }};
}

template <std::string TIOParamsVals::*M>
Field StringField(const char* name, TIOFileType format, bool writable = true) {
  return Field{name, format, [](const TIOParamsVals& p) { return p.*M; },
               writable ? +[](TIOParamsVals& p, std::string_view v) {
                 p.*M = std::string(v);
                 return TStatus::Ok();
               }
                        : nullptr};
}

template <TRGB TIOParamsVals::*M>
Field RGBField(const char* name, TIOFileType format) {
  return Field{name, format, [](const TIOParamsVals& p) { return RGBText(p.*M); },
               [](TIOParamsVals& p, std::string_view v) {
                 long long c[3] = {};
                 std::string_view rest = v;
                 for (int i = 0; i < 3; ++i) {
                   const std::size_t comma = i < 2 ? rest.find(',') : rest.size();
                   if (comma == std::string_view::npos || !ParseInt(rest.substr(0, comma), c[i]) ||
                       c[i] < 0 || c[i] > 255)
                     return BadValue(v, "a colour red,green,blue (0 to 255 each)");
                   rest = i < 2 ? rest.substr(comma + 1) : std::string_view();
                 }
                 p.*M = TRGB{static_cast<std::uint8_t>(c[2]), static_cast<std::uint8_t>(c[1]),
                             static_cast<std::uint8_t>(c[0])};
                 return TStatus::Ok();
               }};
}

template <auto M, const auto& Names>
Field EnumField(const char* name, TIOFileType format, bool writable = true) {
  return Field{name, format,
               [](const TIOParamsVals& p) { return std::string(Pick(Names, static_cast<int>(p.*M))); },
               writable ? +[](TIOParamsVals& p, std::string_view v) {
                 using E = std::remove_reference_t<decltype(p.*M)>;
                 for (std::size_t i = 0; i < Names.size(); ++i)
                   if (v == Names[i]) {
                     p.*M = static_cast<E>(i);
                     return TStatus::Ok();
                   }
                 long long n = 0;
                 if (ParseInt(v, n) && n >= 0 && n < static_cast<long long>(Names.size())) {
                   p.*M = static_cast<E>(n);
                   return TStatus::Ok();
                 }
                 std::string all;
                 for (const char* n2 : Names) all += (all.empty() ? "" : ", ") + std::string(n2);
                 return BadValue(v, ("one of " + all + " or its number").c_str());
               }
                        : nullptr};
}

Field GifVersionField() {
  return Field{"GIF_Version", ioGIF, [](const TIOParamsVals& p) { return p.GIF_Version; },
               [](TIOParamsVals& p, std::string_view v) {
                 if (v != "GIF87a" && v != "GIF89a") return BadValue(v, "GIF87a or GIF89a");
                 p.GIF_Version = std::string(v);
                 return TStatus::Ok();
               }};
}

Field ColorMapCountField() {
  return Field{"ColorMapCount", ioUnknown,
               [](const TIOParamsVals& p) { return std::to_string(p.ColorMapCount); }, nullptr};
}

using P = TIOParamsVals;
constexpr int kBig = 1000000;

const std::vector<Field>& Fields() {
  static const std::vector<Field> fields = {
      StringField<&P::FileName>("FileName", ioUnknown, false),
      EnumField<&P::FileType, kFileTypeNames>("FileType", ioUnknown, false),
      IntField<&P::BitsPerSample, 1, 16>("BitsPerSample", ioUnknown),
      IntField<&P::SamplesPerPixel, 1, 4>("SamplesPerPixel", ioUnknown),
      IntField<&P::Width, 0, kBig>("Width", ioUnknown, false),
      IntField<&P::Height, 0, kBig>("Height", ioUnknown, false),
      IntField<&P::DpiX, 1, kBig>("DpiX", ioUnknown),
      IntField<&P::DpiY, 1, kBig>("DpiY", ioUnknown),
      ColorMapCountField(),
      EnumField<&P::BMP_Version, kBMPVersionNames>("BMP_Version", ioBMP),
      EnumField<&P::BMP_Compression, kBMPCompressionNames>("BMP_Compression", ioBMP),
      GifVersionField(),
      IntField<&P::GIF_ImageIndex, 0, 65535>("GIF_ImageIndex", ioGIF),
      IntField<&P::GIF_XPos, 0, 65535>("GIF_XPos", ioGIF),
      IntField<&P::GIF_YPos, 0, 65535>("GIF_YPos", ioGIF),
      IntField<&P::GIF_DelayTime, 0, 65535>("GIF_DelayTime", ioGIF),
      BoolField<&P::GIF_Transparent>("GIF_Transparent", ioGIF),
      RGBField<&P::GIF_TranspColor>("GIF_TranspColor", ioGIF),
      BoolField<&P::GIF_Interlaced>("GIF_Interlaced", ioGIF),
      IntField<&P::GIF_WinWidth, 0, 65535>("GIF_WinWidth", ioGIF),
      IntField<&P::GIF_WinHeight, 0, 65535>("GIF_WinHeight", ioGIF),
      RGBField<&P::GIF_Background>("GIF_Background", ioGIF),
      IntField<&P::GIF_Ratio, 0, 255>("GIF_Ratio", ioGIF),
      EnumField<&P::JPEG_ColorSpace, kJPEGColorSpaceNames>("JPEG_ColorSpace", ioJPEG),
      IntField<&P::JPEG_Quality, 1, 100>("JPEG_Quality", ioJPEG),
      EnumField<&P::JPEG_DCTMethod, kJPEGDctNames>("JPEG_DCTMethod", ioJPEG),
      BoolField<&P::JPEG_OptimalHuffman>("JPEG_OptimalHuffman", ioJPEG),
      IntField<&P::JPEG_Smooth, 0, 100>("JPEG_Smooth", ioJPEG),
      BoolField<&P::JPEG_Progressive>("JPEG_Progressive", ioJPEG),
      EnumField<&P::JPEG_Scale, kJPEGScaleNames>("JPEG_Scale", ioJPEG),
      IntField<&P::PCX_Version, 0, 5>("PCX_Version", ioPCX),
      EnumField<&P::PCX_Compression, kPCXCompressionNames>("PCX_Compression", ioPCX),
      EnumField<&P::TIFF_Compression, kTIFFCompressionNames>("TIFF_Compression", ioTIFF),
      IntField<&P::TIFF_ImageIndex, 0, 65535>("TIFF_ImageIndex", ioTIFF),
      EnumField<&P::TIFF_PhotometInterpret, kTIFFPhotometricNames>("TIFF_PhotometInterpret",
                                                                   ioTIFF),
      IntField<&P::TIFF_PlanarConf, 1, 2>("TIFF_PlanarConf", ioTIFF),
      IntField<&P::TIFF_XPos, -kBig, kBig>("TIFF_XPos", ioTIFF),
      IntField<&P::TIFF_YPos, -kBig, kBig>("TIFF_YPos", ioTIFF),
      StringField<&P::TIFF_DocumentName>("TIFF_DocumentName", ioTIFF),
      StringField<&P::TIFF_ImageDescription>("TIFF_ImageDescription", ioTIFF),
      StringField<&P::TIFF_PageName>("TIFF_PageName", ioTIFF),
      IntField<&P::TIFF_PageNumber, 0, 65535>("TIFF_PageNumber", ioTIFF),
      IntField<&P::TIFF_PageCount, 0, 65535>("TIFF_PageCount", ioTIFF),
      BoolField<&P::PNG_Interlaced>("PNG_Interlaced", ioPNG),
      RGBField<&P::PNG_Background>("PNG_Background", ioPNG),
      EnumField<&P::PNG_Filter, kPNGFilterNames>("PNG_Filter", ioPNG),
      IntField<&P::PNG_Compression, 0, 9>("PNG_Compression", ioPNG),
      IntField<&P::ICO_ImageIndex, 0, 65535>("ICO_ImageIndex", ioICO),
      IntField<&P::CUR_ImageIndex, 0, 65535>("CUR_ImageIndex", ioCUR),
      IntField<&P::CUR_XHotSpot, 0, 65535>("CUR_XHotSpot", ioCUR),
      IntField<&P::CUR_YHotSpot, 0, 65535>("CUR_YHotSpot", ioCUR),
  };
  return fields;
}

const Field* FindField(std::string_view name) {
  for (const Field& f : Fields())
    if (name == f.name) return &f;
  return nullptr;
}

}  // namespace

std::vector<std::string> IOParamNames(TIOFileType format) {
  std::vector<std::string> names;
  for (const Field& f : Fields())
    if (f.format == ioUnknown || f.format == format) names.emplace_back(f.name);
  return names;
}

std::optional<std::string> GetIOParamText(const TIOParamsVals& params, std::string_view name) {
  const Field* f = FindField(name);
  if (!f) return std::nullopt;
  return f->get(params);
}

TStatus SetIOParamText(TIOParamsVals& params, std::string_view name, std::string_view value) {
  const Field* f = FindField(name);
  if (!f) return TStatus::Error("There is no parameter \"" + std::string(name) + "\".");
  if (!f->set) return TStatus::Error("The parameter " + std::string(name) + " is set by loading only.");
  TStatus s = f->set(params, value);
  if (!s) return TStatus::Error(std::string(name) + ": " + s.message() + ".");
  return s;
}

// ---------------------------------------------------------------------------------------------
// Codec dispatch

namespace {

const char* StreamTag(TIOFileType format) {
  switch (format) {
    case ioJPEG: return "JFIF";
    case ioPCX: return "PCX2";
    case ioTIFF: return "TIFF";
    default: return nullptr;
  }
}

void RunReader(TIOFileType format, TStream& stream, TDib& bitmap, TIOParamsVals& params,
               bool paramsOnly, TProgressRec& progress, std::int64_t size) {
  int images = 0;
  switch (format) {
    case ioBMP: BMPReadStream(stream, bitmap, size, paramsOnly, progress, params); return;
    case ioGIF: ReadGifStream(stream, bitmap, images, paramsOnly, progress, params); return;
    case ioPCX: ReadPcxStream(stream, bitmap, params, paramsOnly, progress, size); return;
    case ioTIFF: TIFFReadStream(bitmap, stream, images, paramsOnly, progress, params); return;
    case ioJPEG: ReadJPegStream(stream, bitmap, params, paramsOnly, progress); return;
    case ioPNG: ReadPNGStream(stream, bitmap, params, paramsOnly, progress); return;
    case ioICO: throw EInvalidGraphic("unrecognized ICO");
    case ioCUR: throw EInvalidGraphic("unrecognized CUR");
    case ioWMF: throw EInvalidGraphic("unrecognized WMF");
    case ioEMF: throw EInvalidGraphic("unrecognized EMF");
    case ioUnknown: break;
  }
  throw EInvalidGraphic("unrecognized image format");
}

void RunWriter(TIOFileType format, TStream& stream, const TDib& bitmap, TIOParamsVals& params,
               TProgressRec& progress) {
  switch (format) {
    case ioGIF: WriteGifStream(stream, bitmap, params, progress); return;
    case ioPCX: WritePcxStream(stream, bitmap, params, progress); return;
    case ioTIFF: TIFFWriteStream(stream, false, bitmap, progress, params); return;
    case ioJPEG: WriteJPegStream(stream, bitmap, params, progress); return;
    case ioPNG: WritePNGStream(stream, bitmap, params, progress); return;
    default: BMPWriteStream(stream, bitmap, params, progress); return;
  }
}

// The message a failed load reports, from the codec's own message.
std::string LoadMessage(TIOFileType format, bool stream, const std::string& codec) {
  const std::string suffix = stream ? " stream" : "";
  switch (format) {
    case ioGIF: return codec + " : unrecognized GIF" + suffix;
    case ioTIFF: return codec + " : unrecognized TIFF" + suffix;
    case ioPNG: return stream ? codec + " : unrecognized PNG stream" : "unrecognized PNG";
    case ioJPEG: return stream ? codec : "unrecognized JPEG";
    case ioPCX: return "unrecognized PCX" + suffix;
    case ioBMP: return "unrecognized BMP" + suffix;
    default: return codec;
  }
}

// Called inside a catch block: rethrows the current error as the format's load error. GIF, PCX
// and BMP report every failure that way; the others let files that cannot be opened and
// exhausted memory pass unchanged.
[[noreturn]] void RethrowLoadError(TIOFileType format, bool stream) {
  try {
    throw;
  } catch (const EInvalidGraphic& e) {
    throw EInvalidGraphic(LoadMessage(format, stream, e.what()));
  } catch (const EReadError& e) {
    throw EInvalidGraphic(LoadMessage(format, stream, e.what()));
  } catch (const std::exception& e) {
    if (format == ioGIF || format == ioPCX || format == ioBMP)
      throw EInvalidGraphic(LoadMessage(format, stream, e.what()));
    throw;
  }
}

// From the file name's last "." on ("" without one); a leading dot counts, so ".bmp" is BMP.
std::string Extension(const std::filesystem::path& name) {
  const std::string file = name.filename().string();
  const std::size_t dot = file.rfind('.');
  return dot == std::string::npos ? std::string() : Lower(file.substr(dot));
}

TIOFileType LoadFormatOf(const std::string& ext) {
  if (ext == ".jpg" || ext == ".jpeg") return ioJPEG;
  if (ext == ".png") return ioPNG;
  if (ext == ".tif" || ext == ".tiff") return ioTIFF;
  if (ext == ".pcx") return ioPCX;
  if (ext == ".gif") return ioGIF;
  if (ext == ".wmf") return ioWMF;
  if (ext == ".emf") return ioEMF;
  if (ext == ".bmp") return ioBMP;
  if (ext == ".cur") return ioCUR;
  if (ext == ".ico") return ioICO;
  return ioUnknown;
}

TIOFileType SaveFormatOf(const std::string& ext) {
  if (ext == ".jpg" || ext == ".jpeg") return ioJPEG;
  if (ext == ".pcx") return ioPCX;
  if (ext == ".gif") return ioGIF;
  if (ext == ".tif" || ext == ".tiff") return ioTIFF;
  if (ext == ".png") return ioPNG;
  return ioBMP;
}

// A new file beside `target`, with the permissions a new file gets (or the target's own).
int CreateTemporary(const std::filesystem::path& target, std::filesystem::path& temp) {
  const std::filesystem::path dir =
      target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  std::random_device random;
  for (int attempt = 0; attempt < 64; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(random()));
    temp = dir / ("." + target.filename().string() + suffix);
    const int fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      struct stat st {};
      if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        (void)::fchmod(fd, st.st_mode & 07777);
      return fd;
    }
    if (errno != EEXIST) break;
  }
  throw EFCreateError("Cannot create file \"" + target.string() + "\". " + std::strerror(errno));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TVistelIO

TVistelIO::~TVistelIO() {
  if (view_) view_->RemoveBitmapChangeEvent(this);
}

void TVistelIO::Detach() {
  if (view_) view_->RemoveBitmapChangeEvent(this);
  view_ = nullptr;
  bitmap_ = nullptr;
}

void TVistelIO::SetAttachedVistel(IVistelView* view) {
  if (view == view_) return;
  Detach();
  view_ = view;
  if (view_) {
    view_->RegisterBitmapChangeEvent(this);
    bitmap_ = &view_->GetFBitmap();
  }
}

void TVistelIO::SetAttachedBitmap(TDib* bitmap) {
  Detach();
  bitmap_ = bitmap;
}

void TVistelIO::BitmapChanged(IVistelView& sender) {
  if (&sender == view_) bitmap_ = &sender.GetFBitmap();
}

void TVistelIO::ViewDestroyed(IVistelView& sender) {
  if (&sender != view_) return;
  view_ = nullptr;
  bitmap_ = nullptr;
}

TColor TVistelIO::Background() const { return view_ ? view_->GetBackground() : background_; }

void TVistelIO::SetBackground(TColor color) {
  if (view_) view_->SetBackGround(color);
  else background_ = color;
}

void TVistelIO::Update() {
  if (view_) view_->Update();
}

void TVistelIO::Clear() {
  if (!bitmap_) return;
  FillBitmap(*bitmap_, Background());
  Update();
}

TProgressRec TVistelIO::MakeProgress() {
  TProgressRec progress;
  progress.fOnProgress = &OnProgress;
  progress.Sender = this;
  progress.Aborting = &Aborting;
  return progress;
}

bool TVistelIO::Load(TIOFileType format, TStream& stream, Origin origin,
                     const std::string& fileName) {
  Aborting = false;
  TIOParamsVals params = Params;
  // A PNG without a background chunk keeps the current background.
  if (format == ioPNG) params.PNG_Background = ToRGB(Background());
  TDib picture;
  TProgressRec progress = MakeProgress();
  const bool fromStream = origin == Origin::Stream;
  try {
    const char* tag = fromStream && StreamHeaders ? StreamTag(format) : nullptr;
    if (tag) {
      const std::int64_t length = ReadStreamHeader(stream, tag);
      const std::int64_t dataStart = stream.Position();
      RunReader(format, stream, picture, params, false, progress, length);
      stream.SetPosition(dataStart + length);
    } else {
      RunReader(format, stream, picture, params, false, progress, 0);
    }
  } catch (...) {
    RethrowLoadError(format, fromStream);
  }
  if (Aborting || picture.Empty()) return false;

  *bitmap_ = std::move(picture);
  Params = std::move(params);
  Params.FileName = fileName;
  Params.FileType = format;
  if (format == ioGIF)
    SetBackground(ToColor(Params.GIF_Transparent ? Params.GIF_TranspColor : Params.GIF_Background));
  else if (format == ioPNG)
    SetBackground(ToColor(Params.PNG_Background));
  if (view_) view_->SetDPI(Params.DpiX, Params.DpiY);
  Update();
  return true;
}

bool TVistelIO::LoadFile(TIOFileType format, const std::filesystem::path& name) {
  if (!bitmap_) return false;
  std::unique_ptr<TFileStream> file;
  try {
    file = std::make_unique<TFileStream>(name, TFileMode::fmOpenRead);
  } catch (...) {
    RethrowLoadError(format, false);
  }
  return Load(format, *file, Origin::File, name.string());
}

bool TVistelIO::LoadStream(TIOFileType format, TStream& stream) {
  if (!bitmap_) return false;
  return Load(format, stream, Origin::Stream, "");
}

bool TVistelIO::LoadFromFile(const std::filesystem::path& name) {
  if (!bitmap_) return false;
  const TIOFileType format = LoadFormatOf(Extension(name));
  if (format == ioUnknown) {
    Params.FileName.clear();
    Params.FileType = ioUnknown;
    return false;
  }
  return LoadFile(format, name);
}

bool TVistelIO::Save(TIOFileType format, TStream& stream, bool withHeader) {
  Aborting = false;
  TProgressRec progress = MakeProgress();
  const char* tag = withHeader && StreamHeaders ? StreamTag(format) : nullptr;
  const std::int64_t header = tag ? BeginStreamHeader(stream) : 0;
  RunWriter(format, stream, *bitmap_, Params, progress);
  if (Aborting) return false;
  if (tag) EndStreamHeader(stream, header, tag);
  return true;
}

bool TVistelIO::SaveFile(TIOFileType format, const std::filesystem::path& name) {
  if (!bitmap_ || bitmap_->Empty()) return false;
  std::filesystem::path temp;
  const int fd = CreateTemporary(name, temp);
  std::error_code ignored;
  try {
    TFileStream file(fd, temp, TFileMode::fmCreate);
    if (!Save(format, file, false)) {
      file.Close();
      std::filesystem::remove(temp, ignored);
      return false;
    }
    file.Close();
    if (std::rename(temp.c_str(), name.c_str()) != 0)
      throw EFCreateError("Cannot create file \"" + name.string() + "\". " + std::strerror(errno));
  } catch (...) {
    std::filesystem::remove(temp, ignored);
    throw;
  }
  return true;
}

bool TVistelIO::SaveStream(TIOFileType format, TStream& stream) {
  if (!bitmap_ || bitmap_->Empty()) return false;
  return Save(format, stream, true);
}

bool TVistelIO::SaveToFile(const std::filesystem::path& name) {
  return SaveFile(SaveFormatOf(Extension(name)), name);
}

bool TVistelIO::LoadFromFileBMP(const std::filesystem::path& n) { return LoadFile(ioBMP, n); }
bool TVistelIO::LoadFromFileGif(const std::filesystem::path& n) { return LoadFile(ioGIF, n); }
bool TVistelIO::LoadFromFilePCX(const std::filesystem::path& n) { return LoadFile(ioPCX, n); }
bool TVistelIO::LoadFromFileTIFF(const std::filesystem::path& n) { return LoadFile(ioTIFF, n); }
bool TVistelIO::LoadFromFileJpeg(const std::filesystem::path& n) { return LoadFile(ioJPEG, n); }
bool TVistelIO::LoadFromFilePNG(const std::filesystem::path& n) { return LoadFile(ioPNG, n); }
bool TVistelIO::SaveToFileBMP(const std::filesystem::path& n) { return SaveFile(ioBMP, n); }
bool TVistelIO::SaveToFileGif(const std::filesystem::path& n) { return SaveFile(ioGIF, n); }
bool TVistelIO::SaveToFilePCX(const std::filesystem::path& n) { return SaveFile(ioPCX, n); }
bool TVistelIO::SaveToFileTIFF(const std::filesystem::path& n) { return SaveFile(ioTIFF, n); }
bool TVistelIO::SaveToFileJpeg(const std::filesystem::path& n) { return SaveFile(ioJPEG, n); }
bool TVistelIO::SaveToFilePNG(const std::filesystem::path& n) { return SaveFile(ioPNG, n); }
bool TVistelIO::LoadFromStreamBMP(TStream& s) { return LoadStream(ioBMP, s); }
bool TVistelIO::LoadFromStreamGif(TStream& s) { return LoadStream(ioGIF, s); }
bool TVistelIO::LoadFromStreamPCX(TStream& s) { return LoadStream(ioPCX, s); }
bool TVistelIO::LoadFromStreamTIFF(TStream& s) { return LoadStream(ioTIFF, s); }
bool TVistelIO::LoadFromStreamJpeg(TStream& s) { return LoadStream(ioJPEG, s); }
bool TVistelIO::LoadFromStreamPNG(TStream& s) { return LoadStream(ioPNG, s); }
bool TVistelIO::SaveToStreamBMP(TStream& s) { return SaveStream(ioBMP, s); }
bool TVistelIO::SaveToStreamGif(TStream& s) { return SaveStream(ioGIF, s); }
bool TVistelIO::SaveToStreamPCX(TStream& s) { return SaveStream(ioPCX, s); }
bool TVistelIO::SaveToStreamTIFF(TStream& s) { return SaveStream(ioTIFF, s); }
bool TVistelIO::SaveToStreamJpeg(TStream& s) { return SaveStream(ioJPEG, s); }
bool TVistelIO::SaveToStreamPNG(TStream& s) { return SaveStream(ioPNG, s); }

void TVistelIO::ParamsFromFile(const std::filesystem::path& name) {
  try {
    const TIOFileType format = FindFileFormat(name);
    if (format == ioUnknown) {
      Params.FileType = ioUnknown;
      return;
    }
    TIOParamsVals params = Params;
    if (format != ioICO && format != ioCUR) {
      TFileStream file(name, TFileMode::fmOpenRead);
      TDib unused;
      TProgressRec silent;
      RunReader(format, file, unused, params, true, silent, 0);
    }
    Params = std::move(params);
    Params.FileType = format;
    Params.FileName = name.string();
  } catch (...) {
    Params.FileType = ioUnknown;
  }
}

// ---------------------------------------------------------------------------------------------
// Packed DIB and the processing component

std::vector<std::uint8_t> EncodePackedDib(const TDib& bitmap) {
  if (bitmap.Empty()) return {};
  const bool mono = bitmap.PixelFormat() == TPixelFormat::pf1bit;
  const std::size_t paletteBytes = mono ? 8 : 0;
  std::vector<std::uint8_t> out(40 + paletteBytes + bitmap.ByteSize(), 0);
  std::uint8_t* h = out.data();
  const auto put32 = [](std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  put32(h, 40);
  put32(h + 4, static_cast<std::uint32_t>(bitmap.Width()));
  put32(h + 8, static_cast<std::uint32_t>(bitmap.Height()));
  h[12] = 1;
  h[14] = static_cast<std::uint8_t>(mono ? 1 : 24);
  put32(h + 20, static_cast<std::uint32_t>(bitmap.ByteSize()));
  if (mono) {
    for (int i = 0; i < 2; ++i) {
      const TColor c = bitmap.Palette()[static_cast<std::size_t>(i)];
      h[40 + 4 * i] = BlueOf(c);
      h[41 + 4 * i] = GreenOf(c);
      h[42 + 4 * i] = RedOf(c);
    }
  }
  std::memcpy(out.data() + 40 + paletteBytes, bitmap.Rows(), bitmap.ByteSize());
  return out;
}

TStatus DecodePackedDib(const std::uint8_t* data, std::size_t size, TDib& target) {
  if (!data || size < 12) return TStatus::Error("unrecognized BMP");
  // A packed DIB is a BMP file without its file header; offset 0 means "after the palette".
  TMemoryStream stream;
  const std::uint8_t header[14] = {'B', 'M'};
  stream.WriteBuffer(header, sizeof header);
  stream.WriteBuffer(data, size);
  stream.SetPosition(0);
  TIOParamsVals params;
  TProgressRec silent;
  try {
    BMPReadStream(stream, target, 0, false, silent, params);
  } catch (const std::exception& e) {
    return TStatus::Error(e.what());
  }
  return TStatus::Ok();
}

TStatus TVistelProc::ConvertTo(int colors) {
  if (!bitmap_ || bitmap_->Empty() || bitmap_->PixelFormat() != TPixelFormat::pf24bit)
    return TStatus::Error("Colour reduction needs a 24-bit image.");
  TDib& bmp = *bitmap_;
  const int width = bmp.Width(), height = bmp.Height();
  const auto report = [&](int rowsDone) {
    if (OnProgress)
      OnProgress(this, static_cast<int>(100.0 / (height + 0.5) * rowsDone));
  };
  if (colors > 2) {
    std::vector<TRGB> palette(static_cast<std::size_t>(colors));
    const TVxQuantizer quantizer(bmp, palette.data(), colors);
    for (int y = 0; y < height; ++y) {
      std::uint8_t* px = bmp.ScanLine(y);
      for (int x = 0; x < width; ++x, px += 3) {
        const TRGB c = palette[static_cast<std::size_t>(quantizer.GetPixelIndex(px))];
        px[0] = c.b;
        px[1] = c.g;
        px[2] = c.r;
      }
      report(y + 1);
    }
    return TStatus::Ok();
  }
  // The dither keeps the document's 24 bits per pixel: black and white pixels, not a 1-bit bitmap.
  std::vector<std::uint8_t> bits(static_cast<std::size_t>((width + 7) / 8));
  for (int y = 0; y < height; ++y) {
    std::uint8_t* px = bmp.ScanLine(y);
    OrderedDitherRow(px, bits.data(), width, y);
    for (int x = 0; x < width; ++x, px += 3) {
      const std::uint8_t v = (bits[static_cast<std::size_t>(x >> 3)] >> (7 - (x & 7))) & 1 ? 255 : 0;
      px[0] = px[1] = px[2] = v;
    }
    report(y + 1);
  }
  return TStatus::Ok();
}

std::vector<std::uint8_t> TVistelProc::CopyToPackedDib() const {
  return bitmap_ ? EncodePackedDib(*bitmap_) : std::vector<std::uint8_t>{};
}

TStatus TVistelProc::PasteFromPackedDib(const std::uint8_t* data, std::size_t size) {
  if (!bitmap_) return TStatus::Error("No bitmap is attached.");
  return DecodePackedDib(data, size, *bitmap_);
}

}  // namespace korvane
