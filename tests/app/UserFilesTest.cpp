#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/UserFiles.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

class UserFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "korvane-userfiles-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    dir_ = root_ / "userdef";
    fs::create_directory(dir_);
  }
  void TearDown() override { fs::remove_all(root_); }

  std::string Dir() const { return dir_.string(); }

  Bytes FileBytes(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }
  void PutFile(const fs::path& path, const Bytes& bytes) const {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  static Bytes Pattern(std::size_t size, std::uint8_t seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
    return bytes;
  }

  fs::path root_;
  fs::path dir_;
};

TEST_F(UserFiles, FramingPadsOrCutsTheDescriptionToThirtyBytes) {
  struct Case {
    std::string description;
    std::string stored;
  };
  const Case cases[] = {
      {"Soft edges", "Soft edges" + std::string(20, ' ')},
      {"", std::string(30, ' ')},
      {"exactly thirty characters long", "exactly thirty characters long"},
      {"a description much longer than thirty bytes", "a description much longer than"},
      {"  leading blanks stay", "  leading blanks stay" + std::string(9, ' ')},
      // A cut that would split the two-byte "é" ends before it and pads instead.
      {std::string(29, 'x') + "\xC3\xA9" + "z", std::string(29, 'x') + " "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    const Bytes payload = Pattern(kFilterRecordSize, 3);
    ASSERT_TRUE(WriteUserFile(Dir(), "f", c.description, ".F33", payload));
    const Bytes file = FileBytes("f.F33");
    ASSERT_EQ(file.size(), kUserDescriptionSize + kFilterRecordSize);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 30), c.stored);
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), file.begin() + 30));
    fs::remove(dir_ / "f.F33");
  }
}

TEST_F(UserFiles, EachKindCarriesItsPayloadAndReadsBack) {
  struct Case {
    int kind;
    std::size_t size;
  };
  for (const Case c : {Case{33, 240}, Case{77, 240}, Case{44, 1024}}) {
    const std::string ext = UserFileExtension(c.kind);
    SCOPED_TRACE(ext);
    const Bytes payload = Pattern(c.size, static_cast<std::uint8_t>(c.kind));
    ASSERT_TRUE(WriteUserFile(Dir(), "  Kind  ", "Kind of " + ext, ext, payload));
    EXPECT_EQ(FileBytes("Kind" + ext).size(), 30 + c.size);  // name trimmed
    Bytes read;
    EXPECT_EQ(ReadUserFile(Dir(), "Kind" + ext, ext, true, &read),
              ("Kind of " + ext + std::string(30, ' ')).substr(0, 30));
    EXPECT_EQ(read, payload);
    // A payload of the wrong size is not written at all.
    EXPECT_FALSE(WriteUserFile(Dir(), "Wrong", "x", ext, Pattern(c.size - 1, 0)));
    EXPECT_FALSE(fs::exists(dir_ / ("Wrong" + ext)));
  }
  EXPECT_FALSE(WriteUserFile(Dir(), "Other", "x", ".TXT", Pattern(240, 0)));
}

TEST_F(UserFiles, OverwriteInPlaceKeepsTheLongerFilesTail) {
  // An existing file is written over from its start and not shortened.
  Bytes old(400, 0xEE);
  PutFile(dir_ / "Same.F33", old);
  const Bytes payload = Pattern(kFilterRecordSize, 9);
  ASSERT_TRUE(WriteUserFile(Dir(), "Same", "New one", ".F33", payload));
  const Bytes file = FileBytes("Same.F33");
  ASSERT_EQ(file.size(), 400u);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 30), "New one" + std::string(23, ' '));
  EXPECT_TRUE(std::equal(payload.begin(), payload.end(), file.begin() + 30));
  EXPECT_TRUE(
      std::all_of(file.begin() + 270, file.end(), [](std::uint8_t b) { return b == 0xEE; }));

  // Saved twice under one name: the second save replaces the first.
  ASSERT_TRUE(WriteUserFile(Dir(), "Same", "Newer", ".F33", Pattern(kFilterRecordSize, 1)));
  Bytes read;
  EXPECT_EQ(ReadUserFile(Dir(), "Same.F33", ".F33", true, &read), "Newer" + std::string(25, ' '));
  EXPECT_EQ(read, Pattern(kFilterRecordSize, 1));
}

TEST_F(UserFiles, DescriptionEndsAtTheFirstZeroByteAndKeepsBlanks) {
  Bytes file(30 + 240, 0x41);
  const std::string head = " Two  words ";
  std::copy(head.begin(), head.end(), file.begin());
  file[head.size()] = 0;
  PutFile(dir_ / "z.f33", file);
  EXPECT_EQ(ReadUserFile(Dir(), "z.f33", ".f33", false, nullptr), head);
}

TEST_F(UserFiles, UnreadableFilesGiveAQuestionMarkAndLeaveThePayload) {
  PutFile(dir_ / "short.F33", Bytes(30 + 100, 0x20));  // payload cut off
  PutFile(dir_ / "tiny.F33", Bytes{'a', 'b'});
  fs::create_directory(dir_ / "folder.F33");
  const Bytes before = Pattern(kFilterRecordSize, 5);
  struct Case {
    const char* entry;
    std::string description;
  };
  for (const Case& c : {Case{"missing.F33", "?"}, Case{"folder.F33", "?"},
                        Case{"short.F33", std::string(30, ' ')}, Case{"tiny.F33", "ab"}}) {
    SCOPED_TRACE(c.entry);
    Bytes payload = before;
    EXPECT_EQ(ReadUserFile(Dir(), c.entry, ".F33", true, &payload), c.description);
    EXPECT_EQ(payload, before);
  }
}

TEST_F(UserFiles, NamesThatLeaveTheDirectoryAreRefused) {
  PutFile(root_ / "outside.F33", Bytes(270, 'o'));
  const Bytes payload = Pattern(kFilterRecordSize, 0);
  for (const char* name : {"../outside", "sub/inner", "..", ".", "", "   ", "a\\b", "/tmp/abs"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(WriteUserFile(Dir(), name, "evil", ".F33", payload));
  }
  EXPECT_EQ(FileBytes("../outside.F33"), Bytes(270, 'o'));
  Bytes read;
  EXPECT_EQ(ReadUserFile(Dir(), "../outside.F33", ".F33", true, &read), "?");
  EXPECT_TRUE(read.empty());
  EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(UserFiles, MissingDirectoryFailsQuietly) {
  EXPECT_FALSE(WriteUserFile((root_ / "none").string(), "a", "d", ".LUT", Pattern(1024, 0)));
  EXPECT_TRUE(ListUserFiles((root_ / "none").string(), ".lut").empty());
}

TEST_F(UserFiles, ListingMatchesTheExtensionInAnyCaseSortedByName) {
  for (const char* name : {"b.F33", "a.f33", "C.F33", "d.F77", "e.lut", "f.F33.bak", "g.F3"})
    PutFile(dir_ / name, Bytes(270, 0));
  fs::create_directory(dir_ / "sub.f33");
  EXPECT_EQ(ListUserFiles(Dir(), ".f33"), (std::vector<std::string>{"C.F33", "a.f33", "b.F33"}));
  EXPECT_EQ(ListUserFiles(Dir(), ".f77"), std::vector<std::string>{"d.F77"});
  EXPECT_EQ(ListUserFiles(Dir(), ".LUT"), std::vector<std::string>{"e.lut"});
  fs::path empty = root_ / "empty";
  fs::create_directory(empty);
  for (const char* ext : {".f33", ".f77", ".lut"})
    EXPECT_TRUE(ListUserFiles(empty.string(), ext).empty());
}

}  // namespace
}  // namespace korvane
