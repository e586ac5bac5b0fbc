#include "app/Random.h"

namespace korvane {

namespace {
// xorshift64*: fast, full period, good enough for brush effects.
std::uint64_t g_state = 0x9E3779B97F4A7C15ull;
}  // namespace

void RandomSeed(std::uint64_t seed) {
  // A zero state would stay zero; mix the seed so that small seeds differ widely.
  std::uint64_t z = seed + 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  g_state = (z ^ (z >> 31)) | 1;
}

std::int32_t RandomInt() {
  g_state ^= g_state >> 12;
  g_state ^= g_state << 25;
  g_state ^= g_state >> 27;
  return static_cast<std::int32_t>((g_state * 0x2545F4914F6CDD1Dull) >> 33);
}

}  // namespace korvane
