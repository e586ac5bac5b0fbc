// The PNG signature test; reading is a placeholder until the PNG codec exists.
#include "imageio/Pngfilt.h"

#include <cstdint>
#include <cstring>

#include "imageio/Vistelio.h"

namespace korvane {

void ReadPNGStream(TStream&, TDib&, TIOParamsVals&, bool, TProgressRec&) {
  throw EInvalidGraphic("PNG codec not available");
}

bool IsPNGStream(TStream& stream) {
  static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  std::uint8_t head[8];
  const std::int64_t start = stream.Position();
  const std::size_t got = stream.Read(head, sizeof head);
  stream.SetPosition(start);
  return got == sizeof head && std::memcmp(head, kSignature, sizeof head) == 0;
}

}  // namespace korvane
