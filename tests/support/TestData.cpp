#include "TestData.h"

#include <cstdlib>
#include <string>

namespace korvane::test {

namespace {
std::filesystem::path Configured() {
  if (const char* env = std::getenv("KORVANE_TESTDATA"); env && *env) return env;
  return KORVANE_TESTDATA_DIR;
}
}  // namespace

std::optional<std::filesystem::path> TestDataDir() {
  std::error_code ec;
  const std::filesystem::path dir = Configured();
  if (std::filesystem::is_directory(dir, ec)) return dir;
  return std::nullopt;
}

const char* TestDataMissing() {
  static const std::string message =
      "test data not found at " + Configured().string() +
      " (set KORVANE_TESTDATA or KORVANE_TESTDATA_DIR); skipping";
  return message.c_str();
}

}  // namespace korvane::test
