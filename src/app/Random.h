// The program's one pseudo-random generator. Seeded from the clock at first activation; tests
// seed it to make results reproducible. Not thread-safe: everything runs on the UI thread.
#pragma once

#include <cstdint>

namespace korvane {

void RandomSeed(std::uint64_t seed);
// A fresh non-negative integer, uniform over 0 .. 2^31 - 1.
std::int32_t RandomInt();
// RandomInt() mod n for n > 0, else 0.
inline std::int32_t RandomMod(std::int32_t n) { return n > 0 ? RandomInt() % n : 0; }

}  // namespace korvane
