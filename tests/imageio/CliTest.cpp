// korvane-cli, run as a separate program: exit status 0 / 1 / 2, what it prints, and the files
// a convert writes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "ImageTestUtil.h"
#include "imageio/Vistelio.h"

extern char** environ;

namespace korvane {
namespace {

using test::Le16;
using test::Le32;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Slurp(const std::filesystem::path& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

CliRun Cli(const TempDir& dir, const std::vector<std::string>& args) {
  const std::string outPath = (dir / "stdout.txt").string();
  const std::string errPath = (dir / "stderr.txt").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<std::string> all = {KORVANE_CLI};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  CliRun run;
  pid_t pid = 0;
  if (posix_spawn(&pid, KORVANE_CLI, &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    if (waitpid(pid, &status, 0) == pid && WIFEXITED(status)) run.status = WEXITSTATUS(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  run.out = Slurp(outPath);
  run.err = Slurp(errPath);
  std::filesystem::remove(outPath);
  std::filesystem::remove(errPath);
  return run;
}

void WritePicture(const std::filesystem::path& file) {
  TDib bmp = test::MakeBitmap(10, 6, [](int x, int y) {
    return test::Rgb{static_cast<std::uint8_t>(25 * x), static_cast<std::uint8_t>(40 * y), 9};
  });
  TVistelIO io;
  io.SetAttachedBitmap(&bmp);
  io.Params.DpiX = io.Params.DpiY = 120;
  if (!io.SaveToFile(file)) ADD_FAILURE() << "could not write " << file;
}

struct UsageCase {
  const char* name;
  std::vector<std::string> args;
};
void PrintTo(const UsageCase& c, std::ostream* os) { *os << c.name; }

class CliUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(CliUsage, ExitsWithTwoAndSaysWhy) {
  TempDir dir;
  WritePicture(dir / "in.bmp");
  std::vector<std::string> args;
  for (std::string a : GetParam().args) {
    if (a == "IN") a = (dir / "in.bmp").string();
    if (a == "OUT") a = (dir / "out.bmp").string();
    args.push_back(a);
  }
  const CliRun run = Cli(dir, args);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("korvane-cli: "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("--help"), std::string::npos) << run.err;
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"in.bmp"})) << "nothing written";
}

INSTANTIATE_TEST_SUITE_P(
    Errors, CliUsage,
    ::testing::Values(UsageCase{"NoArguments", {}}, UsageCase{"UnknownCommand", {"show", "IN"}},
                      UsageCase{"InfoWithoutFile", {"info"}},
                      UsageCase{"InfoWithTwoFiles", {"info", "IN", "IN"}},
                      UsageCase{"ConvertWithOneFile", {"convert", "IN"}},
                      UsageCase{"SetWithoutValue", {"convert", "IN", "OUT", "--set"}},
                      UsageCase{"SetWithoutEquals", {"convert", "IN", "OUT", "--set", "JPEG_Quality"}},
                      UsageCase{"UnknownField", {"convert", "IN", "OUT", "--set", "Colour=1"}},
                      UsageCase{"ValueOutOfRange", {"convert", "IN", "OUT", "--set", "JPEG_Quality=0"}},
                      UsageCase{"BadBoolean", {"convert", "IN", "OUT", "--set", "GIF_Interlaced=maybe"}},
                      UsageCase{"ReadOnlyField", {"convert", "IN", "OUT", "--set", "Width=3"}},
                      UsageCase{"UnknownOption", {"convert", "IN", "OUT", "--quality"}}),
    [](const ::testing::TestParamInfo<UsageCase>& param) { return std::string(param.param.name); });

TEST(Cli, HelpDescribesTheCommands) {
  TempDir dir;
  const CliRun run = Cli(dir, {"--help"});
  EXPECT_EQ(run.status, 0);
  for (const char* text : {"info FILE", "convert IN OUT", "--set Name=Value", "Exit status"})
    EXPECT_NE(run.out.find(text), std::string::npos) << text;
  EXPECT_EQ(run.err, "");
}

TEST(Cli, InfoPrintsFormatDescriptionAndFields) {
  TempDir dir;
  WritePicture(dir / "in.bmp");
  const CliRun run = Cli(dir, {"info", (dir / "in.bmp").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  for (const char* line :
       {"Format=ioBMP\n", "Description=Windows Bitmap (BMP) Uncompressed\n", "FileType=ioBMP\n",
        "Width=10\n", "Height=6\n", "BitsPerSample=8\n", "SamplesPerPixel=3\n", "DpiX=120\n",
        "BMP_Version=ioBMP_BM3\n", "BMP_Compression=ioBMP_UNCOMPRESSED\n"})
    EXPECT_NE(run.out.find(line), std::string::npos) << line << run.out;
  EXPECT_EQ(run.out.find("JPEG_"), std::string::npos) << "only the fields of the format read";
}

TEST(Cli, ConvertAppliesSettingsByNameAndByNumber) {
  TempDir dir;
  WritePicture(dir / "in.bmp");
  const std::string out = (dir / "out.dat").string();  // unknown extension: BMP
  const CliRun run = Cli(dir, {"convert", (dir / "in.bmp").string(), out, "--set", "BitsPerSample=8",
                            "--set", "SamplesPerPixel=1", "--set", "BMP_Compression=ioBMP_RLE",
                            "--set", "BMP_Version=3", "--set", "DpiX=300", "--set",
                            "GIF_Interlaced=1"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<std::uint8_t> file = ReadBytes(out);
  ASSERT_GT(file.size(), 54u);
  EXPECT_EQ(Le32(file, 14), 64u);
  EXPECT_EQ(Le16(file, 28), 8u);
  EXPECT_EQ(Le32(file, 30), 1u);
  EXPECT_EQ(Le32(file, 38), 11811u);  // 300 dpi
  const CliRun info = Cli(dir, {"info", out});
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("Description=Windows Bitmap (BMP) RLE\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("ColorMapCount=256\n"), std::string::npos) << info.out;
}

TEST(Cli, UnreadableOrUnwritableFilesExitWithOne) {
  TempDir dir;
  WritePicture(dir / "in.bmp");
  WriteBytes(dir / "bad.bmp", {'B', 'M', 0, 0, 0, 0, 0, 0});
  const std::string in = (dir / "in.bmp").string();

  CliRun run = Cli(dir, {"info", (dir / "bad.bmp").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("unrecognized BMP"), std::string::npos) << run.err;

  run = Cli(dir, {"info", (dir / "missing.bmp").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("missing.bmp"), std::string::npos) << run.err;

  run = Cli(dir, {"convert", (dir / "bad.bmp").string(), (dir / "out.bmp").string()});
  EXPECT_EQ(run.status, 1);

  run = Cli(dir, {"convert", in, (dir / "no" / "out.bmp").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Cannot create file"), std::string::npos) << run.err;

  // A target that cannot be replaced (a folder of that name) fails without leaving a file.
  std::filesystem::create_directory(dir / "taken.gif");
  run = Cli(dir, {"convert", in, (dir / "taken.gif").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_FALSE(run.err.empty());
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"bad.bmp", "in.bmp", "taken.gif"}));
}

}  // namespace
}  // namespace korvane
