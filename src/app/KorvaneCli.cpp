// korvane-cli: the image I/O component without the editor, for scripts and for testing against
// real files. Exit status: 0 success, 1 a file could not be read or written, 2 a usage error.
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/Dibactions.h"
#include "imageio/LzwHooks.h"
#include "imageio/Vistelio.h"

namespace {

using namespace korvane;

constexpr int kOk = 0;
constexpr int kFileError = 1;
constexpr int kUsageError = 2;

constexpr const char* kHelp =
    "Usage:\n"
    "  korvane-cli info FILE\n"
    "  korvane-cli convert IN OUT [--set Name=Value]...\n"
    "  korvane-cli --help\n"
    "\n"
    "info     detects FILE's format by its content, loads it, and prints the format, the\n"
    "         file-type description and every parameter the load filled, one Name=Value a line.\n"
    "convert  loads IN, applies each --set to the format parameters, and saves OUT in the\n"
    "         format of its extension (.bmp, .gif, .jpg/.jpeg, .pcx, .png, .tif/.tiff; any\n"
    "         other extension writes BMP).\n"
    "\n"
    "--set Name=Value  a parameter by its name, e.g. BMP_Compression=ioBMP_RLE,\n"
    "         BitsPerSample=8, JPEG_Quality=90, GIF_Interlaced=true. Enumerations take their\n"
    "         name or number, Booleans true/false/1/0, colours red,green,blue.\n"
    "         Parameters of a format: BMP_*, GIF_*, JPEG_*, PCX_*, TIFF_*, PNG_*; general:\n"
    "         BitsPerSample, SamplesPerPixel, DpiX, DpiY.\n"
    "\n"
    "Exit status: 0 done, 1 a file could not be read or written, 2 wrong usage.\n";

int Usage(const std::string& message) {
  std::cerr << "korvane-cli: " << message << "\nTry 'korvane-cli --help'.\n";
  return kUsageError;
}

int FileError(const std::string& file, const std::string& message) {
  std::cerr << "korvane-cli: " << file << ": " << message << "\n";
  return kFileError;
}

// Loads by content where it is recognised, else by extension; false when nothing could be loaded.
bool Load(TVistelIO& io, const std::filesystem::path& file) {
  switch (FindFileFormat(file)) {
    case ioBMP: return io.LoadFromFileBMP(file);
    case ioGIF: return io.LoadFromFileGif(file);
    case ioPCX: return io.LoadFromFilePCX(file);
    case ioTIFF: return io.LoadFromFileTIFF(file);
    case ioJPEG: return io.LoadFromFileJpeg(file);
    case ioPNG: return io.LoadFromFilePNG(file);
    default: return io.LoadFromFile(file);
  }
}

int Info(const std::string& file) {
  TDib picture;
  TVistelIO io;
  InstallLzwCoders(io.Params);
  io.SetAttachedBitmap(&picture);
  try {
    // Opening first gives a missing file its own message instead of the codec's.
    TFileStream probe(file, TFileMode::fmOpenRead);
    const TIOFileType detected = FindStreamFormat(probe);
    probe.Close();
    if (!Load(io, file)) return FileError(file, "unrecognized file format");
    std::cout << "Format=" << FileTypeName(detected) << "\n"
              << "Description=" << io.GetFileTypeStr() << "\n";
    for (const std::string& name : IOParamNames(io.Params.FileType))
      std::cout << name << "=" << GetIOParamText(io.Params, name).value_or("") << "\n";
  } catch (const std::exception& e) {
    return FileError(file, e.what());
  }
  return kOk;
}

int Convert(const std::string& in, const std::string& out,
            const std::vector<std::pair<std::string, std::string>>& settings) {
  // Every setting is checked before a file is touched.
  TIOParamsVals check;
  for (const auto& [name, value] : settings)
    if (TStatus s = SetIOParamText(check, name, value); !s) return Usage(s.message());
  TDib picture;
  TVistelIO io;
  InstallLzwCoders(io.Params);
  io.SetAttachedBitmap(&picture);
  try {
    TFileStream probe(in, TFileMode::fmOpenRead);
    probe.Close();
    if (!Load(io, in)) return FileError(in, "unrecognized file format");
  } catch (const std::exception& e) {
    return FileError(in, e.what());
  }
  for (const auto& [name, value] : settings) (void)SetIOParamText(io.Params, name, value);
  try {
    if (!io.SaveToFile(out)) return FileError(out, "nothing was written");
  } catch (const std::exception& e) {
    return FileError(out, e.what());
  }
  return kOk;
}

int Run(const std::vector<std::string>& args) {
  if (args.empty()) return Usage("no command given");
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << kHelp;
    return kOk;
  }
  if (command == "info") {
    if (args.size() != 2) return Usage("info takes one file");
    return Info(args[1]);
  }
  if (command == "convert") {
    std::vector<std::string> files;
    std::vector<std::pair<std::string, std::string>> settings;
    for (std::size_t i = 1; i < args.size(); ++i) {
      if (args[i] == "--set") {
        if (i + 1 == args.size()) return Usage("--set needs Name=Value");
        const std::string& pair = args[++i];
        const std::size_t eq = pair.find('=');
        if (eq == std::string::npos || eq == 0) return Usage("--set needs Name=Value, not \"" + pair + "\"");
        settings.emplace_back(pair.substr(0, eq), pair.substr(eq + 1));
      } else if (args[i].size() > 1 && args[i][0] == '-') {
        return Usage("unknown option " + args[i]);
      } else {
        files.push_back(args[i]);
      }
    }
    if (files.size() != 2) return Usage("convert takes an input and an output file");
    return Convert(files[0], files[1], settings);
  }
  return Usage("unknown command " + command);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    return Run(args);
  } catch (const std::exception& e) {
    std::cerr << "korvane-cli: " << e.what() << "\n";
    return kFileError;
  }
}
