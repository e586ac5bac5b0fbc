// The settings of the "Transparency & channels of interest" dialog that are not colours.
#pragma once

#include <array>
#include <cstdint>

namespace korvane {

inline constexpr int kMaxPixelVary = 100;

struct TWriteBackSettings {
  std::array<bool, 3> ChannelOn{true, true, true};  // blue, green, red
  std::int32_t Transparency = 0;                     // weight of the image as it was, 0..2^22
  int PixelVary = 0;                                 // 0..kMaxPixelVary

  // The transparency slider's percentage as a weight, truncated.
  static std::int32_t TransparencyFromPercent(int percent);
  friend bool operator==(const TWriteBackSettings&, const TWriteBackSettings&) = default;
};

}  // namespace korvane
