// JPEG through libjpeg-turbo. The bitmap's rows are blue, green, red, bottom-up: libjpeg gets
// pointers straight into them in its extended BGR colour space, so ordinary files move no pixel
// twice. Only CMYK needs a row buffer.
//
// libjpeg reports fatal errors by calling our error_exit, which longjmps back to the function
// that set the jump point. Those functions hold nothing with a destructor; the job object that
// owns the libjpeg structure lives one frame up and destroys it however the work ends. Stream
// errors (C++ exceptions) are caught inside the callbacks, kept, and turned into a libjpeg error
// so that no exception ever crosses libjpeg's C frames; they are rethrown afterwards.
#include "imageio/Jpegfilt.h"

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <string>

#include <jerror.h>
#include <jpeglib.h>

#include "imageio/Vistelio.h"

namespace korvane {

namespace {

constexpr std::int64_t kMaxPixels = std::int64_t{1} << 28;
constexpr std::size_t kBufferSize = 64 * 1024;

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  int code = 0;
};

// What both directions share: the error manager and a failure the stream raised.
struct JobBase {
  ErrorManager error{};
  TStream* stream = nullptr;
  std::exception_ptr pending;
  JOCTET buffer[kBufferSize];
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  auto* error = reinterpret_cast<ErrorManager*>(cinfo->err);
  error->code = cinfo->err->msg_code;
  std::longjmp(error->jump, 1);
}

// Warnings are dropped, except those saying that scan data ran out or is damaged: libjpeg would
// fill the rest of the picture with grey and report success.
void EmitMessage(j_common_ptr cinfo, int level) {
  const int code = cinfo->err->msg_code;
  if (level < 0 && (code == JWRN_HIT_MARKER || code == JWRN_HUFF_BAD_CODE)) ErrorExit(cinfo);
}
void OutputMessage(j_common_ptr) {}

void InstallErrorManager(ErrorManager& error) {
  jpeg_std_error(&error.pub);
  error.pub.error_exit = ErrorExit;
  error.pub.emit_message = EmitMessage;
  error.pub.output_message = OutputMessage;
}

// The job's message as the codec reports it: a stream failure as it was, memory exhaustion as
// std::bad_alloc, anything else as libjpeg's code.
[[noreturn]] void ThrowFailure(JobBase& job) {
  if (job.pending) std::rethrow_exception(job.pending);
  if (job.error.code == JERR_OUT_OF_MEMORY) throw std::bad_alloc();
  char text[32];
  std::snprintf(text, sizeof text, "JPEG error #%d", job.error.code);
  throw EInvalidGraphic(std::string("Unrecognized JPeg - ") + text);
}

// ---------------------------------------------------------------------------------------------
// Reading

struct ReadJob : JobBase {
  jpeg_decompress_struct cinfo{};
  jpeg_source_mgr source{};
  bool created = false;
  // Until the rows are being read, the end of the data is a truncated file. While they are, it
  // may just be a missing end marker: decoding goes on, and fails only if data is missing.
  bool readingRows = false;

  ReadJob() = default;
  ReadJob(const ReadJob&) = delete;
  ReadJob& operator=(const ReadJob&) = delete;
  ~ReadJob() { Destroy(); }
  void Destroy() {
    if (created) jpeg_destroy_decompress(&cinfo);
    created = false;
  }
};

ReadJob& ReadJobOf(j_decompress_ptr cinfo) { return *static_cast<ReadJob*>(cinfo->client_data); }

void InitSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  ReadJob& job = ReadJobOf(cinfo);
  std::size_t got = 0;
  bool failed = false;
  try {
    got = job.stream->Read(job.buffer, kBufferSize);
  } catch (...) {
    job.pending = std::current_exception();
    failed = true;
  }
  if (failed) ERREXIT(cinfo, JERR_FILE_READ);
  if (got == 0) {
    if (!job.readingRows) ERREXIT(cinfo, JERR_INPUT_EOF);
    static const JOCTET kEoi[2] = {0xFF, JPEG_EOI};
    cinfo->src->next_input_byte = kEoi;
    cinfo->src->bytes_in_buffer = 2;
    return TRUE;
  }
  cinfo->src->next_input_byte = job.buffer;
  cinfo->src->bytes_in_buffer = got;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* src = cinfo->src;
  while (count > static_cast<long>(src->bytes_in_buffer)) {
    count -= static_cast<long>(src->bytes_in_buffer);
    (void)FillInputBuffer(cinfo);
  }
  src->next_input_byte += count;
  src->bytes_in_buffer -= static_cast<std::size_t>(count);
}

void TermSource(j_decompress_ptr) {}

TIOJPEGColorspace ColorSpaceOf(J_COLOR_SPACE space) {
  switch (space) {
    case JCS_GRAYSCALE: return ioJPEG_GRAYLEV;
    case JCS_RGB: return ioJPEG_RGB;
    case JCS_CMYK: return ioJPEG_CMYK;
    case JCS_YCCK: return ioJPEG_YCbCrK;
    default: return ioJPEG_YCbCr;
  }
}

J_DCT_METHOD DctMethodOf(TIOJPEGDctMethod method) {
  switch (method) {
    case ioJPEG_IFAST: return JDCT_IFAST;
    case ioJPEG_FLOAT: return JDCT_FLOAT;
    default: return JDCT_ISLOW;
  }
}

unsigned ScaleDenominator(TIOJPEGScale scale) {
  switch (scale) {
    case ioJPEG_HALF: return 2;
    case ioJPEG_QUARTER: return 4;
    case ioJPEG_EIGHTH: return 8;
    default: return 1;
  }
}

int DpiFromDensity(unsigned unit, unsigned density, int fallback) {
  // Unit 0 gives only the pixels' aspect ratio (1:1 in most files), not a resolution.
  if (density == 0 || unit == 0) return fallback;
  if (unit == 2) return static_cast<int>(density * 2.54);
  return static_cast<int>(density);
}

// Everything between the jump point and the end of decoding. Nothing here has a destructor: a
// libjpeg error longjmps back into this frame.
bool DecodeJpeg(ReadJob& job, TDib& bitmap, TIOParamsVals& params, bool paramsOnly,
                TProgressRec& progress) {
  j_decompress_ptr cinfo = &job.cinfo;
  if (setjmp(job.error.jump)) return false;
  // Destroying a structure that creation left zeroed is harmless.
  job.created = true;
  jpeg_create_decompress(cinfo);
  cinfo->client_data = &job;
  job.source.init_source = InitSource;
  job.source.fill_input_buffer = FillInputBuffer;
  job.source.skip_input_data = SkipInputData;
  job.source.resync_to_restart = jpeg_resync_to_restart;
  job.source.term_source = TermSource;
  cinfo->src = &job.source;

  const std::int64_t available = job.stream->Remaining();
  jpeg_read_header(cinfo, TRUE);
  const std::int64_t pixels =
      static_cast<std::int64_t>(cinfo->image_width) * cinfo->image_height;
  if (pixels > kMaxPixels) ERREXIT(cinfo, JERR_IMAGE_TOO_BIG);
  // Sequential Huffman data spends at least two bits on every 8 x 8 block (DC and end of block),
  // a bound loose enough for any sampling.
  if (!cinfo->progressive_mode && !cinfo->arith_code && pixels / 1024 > available)
    ERREXIT(cinfo, JERR_INPUT_EOF);

  params.JPEG_ColorSpace = ColorSpaceOf(cinfo->jpeg_color_space);
  const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
  cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
  cinfo->dct_method = DctMethodOf(params.JPEG_DCTMethod);
  if (cinfo->saw_JFIF_marker) {
    params.DpiX = DpiFromDensity(cinfo->density_unit, cinfo->X_density, gSystemDPIX);
    params.DpiY = DpiFromDensity(cinfo->density_unit, cinfo->Y_density, gSystemDPIY);
  } else {
    params.DpiX = gSystemDPIX;
    params.DpiY = gSystemDPIY;
  }
  params.BitsPerSample = 8;
  params.SamplesPerPixel = 3;
  params.ClearColorMap();
  params.JPEG_Progressive = cinfo->progressive_mode != 0;
  cinfo->scale_num = 1;
  cinfo->scale_denom = ScaleDenominator(params.JPEG_Scale);

  jpeg_calc_output_dimensions(cinfo);
  const int width = static_cast<int>(cinfo->output_width);
  const int height = static_cast<int>(cinfo->output_height);
  params.Width = width;
  params.Height = height;
  if (paramsOnly) return true;
  if (!bitmap.SetSize(width, height)) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);

  jpeg_start_decompress(cinfo);
  const int batch = std::clamp(cinfo->rec_outbuf_height, 1, 16);
  JSAMPARRAY cmykRows =
      cmyk ? (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                         static_cast<JDIMENSION>(4 * width),
                                         static_cast<JDIMENSION>(batch))
           : nullptr;
  JSAMPROW rows[16];
  job.readingRows = true;
  progress.SetTotal(height);
  while (cinfo->output_scanline < cinfo->output_height) {
    if (progress.Aborted()) return true;
    const int first = static_cast<int>(cinfo->output_scanline);
    const int want = std::min(batch, height - first);
    for (int i = 0; i < want; ++i) rows[i] = cmyk ? cmykRows[i] : bitmap.ScanLine(first + i);
    const int got =
        static_cast<int>(jpeg_read_scanlines(cinfo, rows, static_cast<JDIMENSION>(want)));
    if (cmyk) {
      for (int i = 0; i < got; ++i) {
        const JSAMPLE* in = cmykRows[i];
        std::uint8_t* out = bitmap.ScanLine(first + i);
        for (int x = 0; x < width; ++x, in += 4, out += 3) {
          const unsigned k = in[3];
          out[0] = static_cast<std::uint8_t>(in[2] * k / 255);
          out[1] = static_cast<std::uint8_t>(in[1] * k / 255);
          out[2] = static_cast<std::uint8_t>(in[0] * k / 255);
        }
      }
    }
    progress.Advance(got);
  }
  jpeg_finish_decompress(cinfo);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Writing

struct WriteJob : JobBase {
  jpeg_compress_struct cinfo{};
  jpeg_destination_mgr destination{};
  bool created = false;

  WriteJob() = default;
  WriteJob(const WriteJob&) = delete;
  WriteJob& operator=(const WriteJob&) = delete;
  ~WriteJob() { Destroy(); }
  void Destroy() {
    if (created) jpeg_destroy_compress(&cinfo);
    created = false;
  }
};

WriteJob& WriteJobOf(j_compress_ptr cinfo) { return *static_cast<WriteJob*>(cinfo->client_data); }

void InitDestination(j_compress_ptr cinfo) {
  WriteJob& job = WriteJobOf(cinfo);
  cinfo->dest->next_output_byte = job.buffer;
  cinfo->dest->free_in_buffer = kBufferSize;
}

void Flush(j_compress_ptr cinfo, std::size_t count) {
  WriteJob& job = WriteJobOf(cinfo);
  bool failed = false;
  try {
    job.stream->WriteBuffer(job.buffer, count);
  } catch (...) {
    job.pending = std::current_exception();
    failed = true;
  }
  if (failed) ERREXIT(cinfo, JERR_FILE_WRITE);
  cinfo->dest->next_output_byte = job.buffer;
  cinfo->dest->free_in_buffer = kBufferSize;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  Flush(cinfo, kBufferSize);
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  Flush(cinfo, kBufferSize - cinfo->dest->free_in_buffer);
}

J_COLOR_SPACE FileColorSpace(TIOJPEGColorspace space) {
  switch (space) {
    case ioJPEG_GRAYLEV: return JCS_GRAYSCALE;
    case ioJPEG_YCbCr: return JCS_YCbCr;
    case ioJPEG_CMYK: return JCS_CMYK;
    case ioJPEG_YCbCrK: return JCS_YCCK;
    default: return JCS_RGB;
  }
}

bool EncodeJpeg(WriteJob& job, const TDib& bitmap, const TIOParamsVals& params,
                TProgressRec& progress) {
  j_compress_ptr cinfo = &job.cinfo;
  if (setjmp(job.error.jump)) return false;
  job.created = true;
  jpeg_create_compress(cinfo);
  cinfo->client_data = &job;
  job.destination.init_destination = InitDestination;
  job.destination.empty_output_buffer = EmptyOutputBuffer;
  job.destination.term_destination = TermDestination;
  cinfo->dest = &job.destination;

  const int width = bitmap.Width(), height = bitmap.Height();
  const J_COLOR_SPACE fileSpace = FileColorSpace(params.JPEG_ColorSpace);
  const bool cmyk = fileSpace == JCS_CMYK || fileSpace == JCS_YCCK;
  cinfo->image_width = static_cast<JDIMENSION>(width);
  cinfo->image_height = static_cast<JDIMENSION>(height);
  cinfo->input_components = cmyk ? 4 : 3;
  cinfo->in_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
  jpeg_set_defaults(cinfo);
  jpeg_set_colorspace(cinfo, fileSpace);
  cinfo->density_unit = 1;
  cinfo->X_density = static_cast<UINT16>(std::clamp(params.DpiX, 1, 65535));
  cinfo->Y_density = static_cast<UINT16>(std::clamp(params.DpiY, 1, 65535));
  cinfo->dct_method = DctMethodOf(params.JPEG_DCTMethod);
  cinfo->optimize_coding = params.JPEG_OptimalHuffman ? TRUE : FALSE;
  cinfo->smoothing_factor = std::clamp(params.JPEG_Smooth, 0, 100);
  jpeg_set_quality(cinfo, std::clamp(params.JPEG_Quality, 1, 100), TRUE);
  if (params.JPEG_Progressive) jpeg_simple_progression(cinfo);

  jpeg_start_compress(cinfo, TRUE);
  JSAMPARRAY cmykRow =
      cmyk ? (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                         static_cast<JDIMENSION>(4 * width), 1)
           : nullptr;
  progress.SetTotal(height);
  for (int y = 0; y < height; ++y) {
    if (progress.Aborted()) return true;
    // libjpeg only reads the rows it is given, whatever the pointer type says.
    JSAMPROW row = const_cast<JSAMPROW>(bitmap.ScanLine(y));
    if (cmyk) {
      const std::uint8_t* in = row;
      JSAMPLE* out = cmykRow[0];
      for (int x = 0; x < width; ++x, in += 3, out += 4) {
        unsigned k = std::max({in[0], in[1], in[2]});
        if (k == 0) k = 1;
        out[0] = static_cast<JSAMPLE>(in[2] * 255u / k);
        out[1] = static_cast<JSAMPLE>(in[1] * 255u / k);
        out[2] = static_cast<JSAMPLE>(in[0] * 255u / k);
        out[3] = static_cast<JSAMPLE>(k);
      }
      row = cmykRow[0];
    }
    jpeg_write_scanlines(cinfo, &row, 1);
    progress.Advance();
  }
  jpeg_finish_compress(cinfo);
  return true;
}

}  // namespace

void ReadJPegStream(TStream& stream, TDib& bitmap, TIOParamsVals& params, bool paramsOnly,
                    TProgressRec& progress) {
  auto job = std::make_unique<ReadJob>();
  job->stream = &stream;
  InstallErrorManager(job->error);
  job->cinfo.err = &job->error.pub;
  if (!DecodeJpeg(*job, bitmap, params, paramsOnly, progress)) ThrowFailure(*job);
}

void WriteJPegStream(TStream& stream, const TDib& bitmap, TIOParamsVals& params,
                     TProgressRec& progress) {
  if (bitmap.Empty()) throw EInvalidGraphic("There is no image to write");
  TDib converted;
  const TDib* source = &bitmap;
  if (bitmap.PixelFormat() != TPixelFormat::pf24bit) {
    if (TStatus s = ConvertTo24Bit(bitmap, converted); !s) throw std::bad_alloc();
    source = &converted;
  }
  auto job = std::make_unique<WriteJob>();
  job->stream = &stream;
  InstallErrorManager(job->error);
  job->cinfo.err = &job->error.pub;
  if (!EncodeJpeg(*job, *source, params, progress)) ThrowFailure(*job);
}

}  // namespace korvane
