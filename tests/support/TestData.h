// Where the public image test suites live, for tests that compare against them.
#pragma once

#include <filesystem>
#include <optional>

namespace korvane::test {

// The test-data folder (KORVANE_TESTDATA overrides the configured default), or nothing when it is
// absent; callers skip with TestDataMissing().
std::optional<std::filesystem::path> TestDataDir();
const char* TestDataMissing();

}  // namespace korvane::test

// Skips the current test, with the reason, when the test-data folder is absent.
#define KORVANE_REQUIRE_TESTDATA(var)                                     \
  const auto var##_opt = ::korvane::test::TestDataDir();                  \
  if (!var##_opt) GTEST_SKIP() << ::korvane::test::TestDataMissing();     \
  const std::filesystem::path& var = *var##_opt
