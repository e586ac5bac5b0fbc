// Image I/O component: format recognition, the load/save dispatch to the codecs, the parameter
// record every codec reads and fills, progress, and the processing services of TVistelProc.
//
// Errors: an unreadable file raises EInvalidGraphic with the format's message ("unrecognized
// BMP", "... : unrecognized TIFF"); a file that cannot be created raises EFCreateError. A failed
// or aborted load leaves the target bitmap and the parameter record as they were; a save writes
// a temporary file beside the target and renames it over the target only when the writer
// finished, so a failed or aborted save leaves the old file intact.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/Dibactions.h"
#include "app/Status.h"
#include "imageio/Giffilter.h"
#include "imageio/Stdquant.h"
#include "imageio/Stream.h"
#include "imageio/Tiffilt.h"

namespace korvane {

// The screen resolution the codecs fall back to; the UI sets it once at start.
inline int gSystemDPIX = 96;
inline int gSystemDPIY = 96;

// The framework's invalid-graphic error: a file a codec cannot read.
class EInvalidGraphic : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum TIOFileType { ioUnknown, ioTIFF, ioGIF, ioJPEG, ioPCX, ioBMP, ioICO, ioCUR, ioPNG, ioWMF, ioEMF };
enum TIOBMPVersion { ioBMP_BM, ioBMP_BM3, ioBMP_BMOS2V1, ioBMP_BMOS2V2 };
enum TIOBMPCompression { ioBMP_UNCOMPRESSED, ioBMP_RLE };
enum TIOJPEGColorspace { ioJPEG_RGB, ioJPEG_GRAYLEV, ioJPEG_YCbCr, ioJPEG_CMYK, ioJPEG_YCbCrK };
enum TIOJPEGDctMethod { ioJPEG_ISLOW, ioJPEG_IFAST, ioJPEG_FLOAT };
enum TIOJPEGScale { ioJPEG_AUTOCALC, ioJPEG_FULLSIZE, ioJPEG_HALF, ioJPEG_QUARTER, ioJPEG_EIGHTH };
enum TIOPCXCompression { ioPCX_UNCOMPRESSED, ioPCX_RLE };
enum TIOTIFFCompression {
  ioTIFF_UNCOMPRESSED, ioTIFF_CCITT1D, ioTIFF_G3FAX1D, ioTIFF_G3FAX2D, ioTIFF_G4FAX,
  ioTIFF_LZW, ioTIFF_OLDJPEG, ioTIFF_JPEG, ioTIFF_PACKBITS
};
enum TIOTIFFPhotometInterpret {
  ioTIFF_WHITEISZERO, ioTIFF_BLACKISZERO, ioTIFF_RGB, ioTIFF_RGBPALETTE, ioTIFF_TRANSPMASK,
  ioTIFF_CMYK, ioTIFF_YCBCR, ioTIFF_CIELAB
};
enum TIOPNGFilter { ioPNG_FILTER_NONE, ioPNG_FILTER_SUB, ioPNG_FILTER_PAETH };
enum TMsgLanguage { msSystem, msEnglish, msItalian, msGerman, msSpanish, msFrench, msPortuguese };
enum TIOPreviewsParamsItems { ioppDefaultLockPreview };

// The per-format parameter record: read by every writer, filled by every reader.
class TIOParamsVals {
 public:
  TIOParamsVals() = default;
  // Every field back to its default, the LZW hooks to the unit defaults (empty).
  void SetDefaultParams() { *this = TIOParamsVals(); }
  // Every field, the colour map duplicated.
  void Assign(const TIOParamsVals& source) { *this = source; }
  void SetColorMap(std::vector<TRGB> map);
  void ClearColorMap() { SetColorMap({}); }

  std::string FileName;
  TIOFileType FileType = ioUnknown;
  int BitsPerSample = 8;
  int SamplesPerPixel = 3;
  int Width = 0;
  int Height = 0;
  int DpiX = gSystemDPIX;
  int DpiY = gSystemDPIY;
  std::vector<TRGB> ColorMap;
  int ColorMapCount = 0;

  TIOBMPVersion BMP_Version = ioBMP_BM3;
  TIOBMPCompression BMP_Compression = ioBMP_UNCOMPRESSED;

  std::string GIF_Version = "GIF89a";
  int GIF_ImageIndex = 0;
  int GIF_XPos = 0;
  int GIF_YPos = 0;
  int GIF_DelayTime = 0;
  bool GIF_Transparent = false;
  TRGB GIF_TranspColor;
  bool GIF_Interlaced = false;
  int GIF_WinWidth = 0;
  int GIF_WinHeight = 0;
  TRGB GIF_Background;
  int GIF_Ratio = 0;
  TGIFLZWDecompFunc GIF_LZWDecompFunc = DefGIF_LZWDECOMPFUNC;
  TGIFLZWCompFunc GIF_LZWCompFunc = DefGIF_LZWCOMPFUNC;

  TIOJPEGColorspace JPEG_ColorSpace = ioJPEG_YCbCr;
  int JPEG_Quality = 50;
  TIOJPEGDctMethod JPEG_DCTMethod = ioJPEG_ISLOW;
  bool JPEG_OptimalHuffman = false;
  int JPEG_Smooth = 0;
  bool JPEG_Progressive = false;
  TIOJPEGScale JPEG_Scale = ioJPEG_FULLSIZE;

  int PCX_Version = 5;
  TIOPCXCompression PCX_Compression = ioPCX_RLE;

  TIOTIFFCompression TIFF_Compression = ioTIFF_UNCOMPRESSED;
  int TIFF_ImageIndex = 0;
  TIOTIFFPhotometInterpret TIFF_PhotometInterpret = ioTIFF_RGB;
  int TIFF_PlanarConf = 1;
  int TIFF_XPos = 0;
  int TIFF_YPos = 0;
  std::string TIFF_DocumentName;
  std::string TIFF_ImageDescription;
  std::string TIFF_PageName;
  int TIFF_PageNumber = 0;
  int TIFF_PageCount = 0;
  TTIFFLZWDecompFunc TIFF_LZWDecompFunc = DefTIFF_LZWDECOMPFUNC;
  TTIFFLZWCompFunc TIFF_LZWCompFunc = DefTIFF_LZWCOMPFUNC;

  bool PNG_Interlaced = false;
  TRGB PNG_Background;
  TIOPNGFilter PNG_Filter = ioPNG_FILTER_NONE;
  int PNG_Compression = 5;

  int ICO_ImageIndex = 0;
  int CUR_ImageIndex = 0;
  int CUR_XHotSpot = 0;
  int CUR_YHotSpot = 0;
};

// Progress of a load or save: the component as sender and a percentage.
using TProgressEvent = std::function<void(void* sender, int percent)>;

// What every codec gets: it adds to `val` as it finishes each unit of work (a row, as a rule),
// reports truncate(val * per) when a handler is set, and stops early when *Aborting is true.
struct TProgressRec {
  const TProgressEvent* fOnProgress = nullptr;
  void* Sender = nullptr;
  std::int64_t val = 0;
  double per = 0.0;
  bool* Aborting = nullptr;

  void SetTotal(std::int64_t total) {
    val = 0;
    per = total > 0 ? 100.0 / static_cast<double>(total) : 0.0;
  }
  void Advance(std::int64_t units = 1) {
    val += units;
    if (fOnProgress && *fOnProgress)
      (*fOnProgress)(Sender, static_cast<int>(static_cast<double>(val) * per));
  }
  bool Aborted() const { return Aborting && *Aborting; }
};

// "Windows Bitmap (BMP) RLE" and the like, for the record's FileType and fields.
std::string GetFileTypeStr(const TIOParamsVals& params);
// "ioBMP" and the like.
const char* FileTypeName(TIOFileType type);

// Content detection from the stream's position (which is put back): the first matching test of
// JPEG, GIF, PCX, BMP, TIFF, PNG, icon and cursor signatures decides.
TIOFileType FindStreamFormat(TStream& stream);
// The same for a file; ioUnknown when it cannot be opened.
TIOFileType FindFileFormat(const std::filesystem::path& name);

// The 12-byte header of the stream variants: a four-character tag, four zero bytes and the length
// of the image data that follows (32 bits, little-endian).
std::int64_t BeginStreamHeader(TStream& stream);  // reserves it; returns its position
void EndStreamHeader(TStream& stream, std::int64_t headerPosition, std::string_view tag);
// Checks the tag (EInvalidGraphic when it differs); returns the data length.
std::int64_t ReadStreamHeader(TStream& stream, std::string_view tag);

// Parameter fields by name, for scripting: the general fields and those of one format.
std::vector<std::string> IOParamNames(TIOFileType format);
// The field as text (enumerations by name, Booleans true/false, colours "r,g,b"); nothing for an
// unknown name.
std::optional<std::string> GetIOParamText(const TIOParamsVals& params, std::string_view name);
// Sets a field from text: enumerations by name or number, Booleans true/false/1/0, colours
// "r,g,b". Refuses unknown names, read-only fields and values out of range.
TStatus SetIOParamText(TIOParamsVals& params, std::string_view name, std::string_view value);

class IVistelView;

// Told by a view when its bitmap was replaced or resized, and when the view goes away.
class IBitmapChangeListener {
 public:
  virtual ~IBitmapChangeListener() = default;
  virtual void BitmapChanged(IVistelView& sender) = 0;
  virtual void ViewDestroyed(IVistelView& sender) = 0;
};

// What the I/O component needs of the image view; the UI's view implements it.
class IVistelView {
 public:
  virtual ~IVistelView() = default;
  virtual TDib& GetFBitmap() = 0;
  virtual TColor GetBackground() const = 0;
  virtual void SetBackGround(TColor color) = 0;
  virtual void SetDPI(int dpiX, int dpiY) = 0;
  virtual int GetDpiX() const = 0;
  virtual int GetDpiY() const = 0;
  // Recompute the layout and repaint, then fire OnImageChange.
  virtual void Update() = 0;
  virtual void RegisterBitmapChangeEvent(IBitmapChangeListener* listener) = 0;
  virtual void RemoveBitmapChangeEvent(IBitmapChangeListener* listener) = 0;
};

struct TFontSpec {
  std::string Name = "Tahoma";
  int Height = -11;
};

class TVistelIO final : public IBitmapChangeListener {
 public:
  TVistelIO() = default;
  ~TVistelIO() override;
  TVistelIO(const TVistelIO&) = delete;
  TVistelIO& operator=(const TVistelIO&) = delete;

  // The view whose bitmap is read and written; attaching detaches any other target.
  IVistelView* AttachedVistel() const { return view_; }
  void SetAttachedVistel(IVistelView* view);
  // A bitmap as the target, detaching any view.
  void SetAttachedBitmap(TDib* bitmap);
  // The current target, or null.
  TDib* Bitmap() const { return bitmap_; }

  // The view's background, or a colour of the component's own without a view.
  TColor Background() const;
  void SetBackground(TColor color);

  TIOParamsVals Params;
  TProgressEvent OnProgress;
  // Cleared at the start of every load and save; a progress handler sets it to stop.
  bool Aborting = false;
  bool StreamHeaders = true;
  TMsgLanguage MsgLanguage = msSystem;
  std::set<TIOPreviewsParamsItems> PreviewsParams;
  TFontSpec PreviewFont;

  // By extension: .jpg/.jpeg, .png, .tif/.tiff, .pcx, .gif, .bmp. Any other extension clears
  // FileName, sets FileType to ioUnknown and loads nothing. True when an image was loaded
  // completely (false without a target, for an unknown extension or when aborted).
  bool LoadFromFile(const std::filesystem::path& name);
  // By extension: .jpg/.jpeg, .pcx, .gif, .tif/.tiff, .png; anything else writes BMP. True when
  // the file was written (false without a target or when aborted).
  bool SaveToFile(const std::filesystem::path& name);

  bool LoadFromFileBMP(const std::filesystem::path& name);
  bool LoadFromFileGif(const std::filesystem::path& name);
  bool LoadFromFilePCX(const std::filesystem::path& name);
  bool LoadFromFileTIFF(const std::filesystem::path& name);
  bool LoadFromFileJpeg(const std::filesystem::path& name);
  bool LoadFromFilePNG(const std::filesystem::path& name);
  bool SaveToFileBMP(const std::filesystem::path& name);
  bool SaveToFileGif(const std::filesystem::path& name);
  bool SaveToFilePCX(const std::filesystem::path& name);
  bool SaveToFileTIFF(const std::filesystem::path& name);
  bool SaveToFileJpeg(const std::filesystem::path& name);
  bool SaveToFilePNG(const std::filesystem::path& name);

  // Stream variants; JPEG, PCX and TIFF carry the 12-byte header while StreamHeaders is true.
  bool LoadFromStreamBMP(TStream& stream);
  bool LoadFromStreamGif(TStream& stream);
  bool LoadFromStreamPCX(TStream& stream);
  bool LoadFromStreamTIFF(TStream& stream);
  bool LoadFromStreamJpeg(TStream& stream);
  bool LoadFromStreamPNG(TStream& stream);
  bool SaveToStreamBMP(TStream& stream);
  bool SaveToStreamGif(TStream& stream);
  bool SaveToStreamPCX(TStream& stream);
  bool SaveToStreamTIFF(TStream& stream);
  bool SaveToStreamJpeg(TStream& stream);
  bool SaveToStreamPNG(TStream& stream);

  static TIOFileType FindFileFormat(const std::filesystem::path& name) {
    return korvane::FindFileFormat(name);
  }
  static TIOFileType FindStreamFormat(TStream& stream) { return korvane::FindStreamFormat(stream); }

  // Detects the format by content and reads only the headers into Params (Width and Height
  // included); the bitmap is left alone. Any failure sets FileType to ioUnknown, silently.
  void ParamsFromFile(const std::filesystem::path& name);

  void Update();  // the view repaints and fires OnImageChange
  void Clear();   // fills the target with Background
  void AssignParams(const TVistelIO& source) { Params.Assign(source.Params); }
  void AssignParams(const TIOParamsVals& source) { Params.Assign(source); }
  std::string GetFileTypeStr() const { return korvane::GetFileTypeStr(Params); }

  void BitmapChanged(IVistelView& sender) override;
  void ViewDestroyed(IVistelView& sender) override;

 private:
  enum class Origin { File, Stream };
  bool Load(TIOFileType format, TStream& stream, Origin origin, const std::string& fileName);
  bool LoadFile(TIOFileType format, const std::filesystem::path& name);
  bool LoadStream(TIOFileType format, TStream& stream);
  bool Save(TIOFileType format, TStream& stream, bool withHeader);
  bool SaveFile(TIOFileType format, const std::filesystem::path& name);
  bool SaveStream(TIOFileType format, TStream& stream);
  TProgressRec MakeProgress();
  void Detach();

  IVistelView* view_ = nullptr;
  TDib* bitmap_ = nullptr;
  TColor background_ = clWhite;
};

// A packed device-independent bitmap (the clipboard's CF_DIB): a 40-byte information header,
// the palette of a 1-bit bitmap, and the rows bottom-up, each padded to 4 bytes.
std::vector<std::uint8_t> EncodePackedDib(const TDib& bitmap);
// Any packed DIB the BMP reader accepts, as a 24-bit bitmap; `target` changes only on success.
TStatus DecodePackedDib(const std::uint8_t* data, std::size_t size, TDib& target);

class TVistelProc {
 public:
  void SetAttachedBitmap(TDib* bitmap) { bitmap_ = bitmap; }
  TDib* Bitmap() const { return bitmap_; }

  TProgressEvent OnProgress;

  // A 24-bit bitmap reduced to `colors` colours (the quantizer's palette), or for 2 and fewer to
  // the ordered black-and-white dither; it stays 24 bits per pixel.
  TStatus ConvertTo(int colors);
  // The attached bitmap as a packed DIB (empty without one).
  std::vector<std::uint8_t> CopyToPackedDib() const;
  // Replaces the attached bitmap by a packed DIB's picture.
  TStatus PasteFromPackedDib(const std::uint8_t* data, std::size_t size);

 private:
  TDib* bitmap_ = nullptr;
};

}  // namespace korvane
