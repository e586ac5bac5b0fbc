#include "imageio/Tiflzw.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "imageio/Stream.h"
#include "imageio/Tiffilt.h"
#include "imageio/Vistelio.h"

namespace korvane {

namespace {

constexpr int kClear = 256;
constexpr int kEoi = 257;
constexpr int kFirstFree = 258;
constexpr int kMaxCodes = 4096;
constexpr int kMinWidth = 9;
constexpr int kMaxWidth = 12;

[[noreturn]] void BadCode() {
  throw EInvalidGraphic("Invalid LZW code");
}

// Every table string is a stretch of output already written (the previous string and the first
// byte of the one after it), so a code is decoded by copying from earlier output. Only the output
// since the last clear code can be referred to, which lets the piecewise decoder keep a window of
// just that.
struct DecoderState {
  std::array<std::uint32_t, kMaxCodes> offset{};
  std::array<std::uint32_t, kMaxCodes> length{};
  std::size_t in = 0;
  std::uint64_t bits = 0;
  int have = 0;
  int width = kMinWidth;
  int next = kFirstFree;
  bool havePrev = false;
  std::size_t prevOffset = 0, prevLength = 0;
  std::size_t pos = 0;
  std::size_t copyFrom = 0, copyLeft = 0;  // the rest of a string that did not fit
  bool ended = false;
  std::size_t clearPos = 0;  // where the strings of the current table begin
  // Decoding in pieces: the output since the last clear code and what is not yet delivered.
  std::vector<std::uint8_t> window;
  std::size_t delivered = 0;

  void Start() {
    in = 0;
    bits = 0;
    have = 0;
    width = kMinWidth;
    next = kFirstFree;
    havePrev = false;
    pos = 0;
    copyLeft = 0;
    ended = false;
    clearPos = 0;
    delivered = 0;
  }

  // Drops the output no string can refer to any more and that has been delivered.
  void Compact() {
    const std::size_t shift = std::min(clearPos, delivered);
    if (shift == 0) return;
    std::memmove(window.data(), window.data() + shift, pos - shift);
    pos -= shift;
    delivered -= shift;
    clearPos -= shift;
    prevOffset -= std::min(prevOffset, shift);
    copyFrom -= std::min(copyFrom, shift);
    for (int c = kFirstFree; c < next && c < kMaxCodes; ++c)
      offset[static_cast<std::size_t>(c)] -= static_cast<std::uint32_t>(shift);
  }
};

DecoderState& Decoder(std::shared_ptr<void>& state) {
  if (!state) state = std::make_shared<DecoderState>();
  return *static_cast<DecoderState*>(state.get());
}

// Copies n bytes from earlier output; the source may run into the bytes being written.
inline void CopyBack(std::uint8_t* out, std::size_t to, std::size_t from, std::size_t n) {
  if (from + n <= to) {
    std::memcpy(out + to, out + from, n);
  } else {
    for (std::size_t k = 0; k < n; ++k) out[to + k] = out[from + k];
  }
}

// Decodes until the end code, the end of the data or `capacity` bytes of output; returns the
// bytes written so far.
std::size_t Decode(const std::uint8_t* data, std::size_t count, std::uint8_t* out,
                   std::size_t capacity, DecoderState& s) {
  if (capacity > std::numeric_limits<std::uint32_t>::max())
    capacity = std::numeric_limits<std::uint32_t>::max();
  if (s.copyLeft > 0) {
    const std::size_t n = std::min(s.copyLeft, capacity - std::min(capacity, s.pos));
    CopyBack(out, s.pos, s.copyFrom, n);
    s.pos += n;
    s.copyFrom += n;
    s.copyLeft -= n;
    if (s.copyLeft > 0) return s.pos;
  }
  std::uint64_t bits = s.bits;
  int have = s.have;
  std::size_t in = s.in;
  std::size_t pos = s.pos;
  while (!s.ended && pos < capacity) {
    if (have < s.width) {
      while (have <= 56 && in < count) {
        bits |= static_cast<std::uint64_t>(data[in++]) << (56 - have);
        have += 8;
      }
      if (have < s.width) {  // the data ends without an end code
        s.ended = true;
        break;
      }
    }
    const int code = static_cast<int>(bits >> (64 - s.width));
    bits <<= s.width;
    have -= s.width;
    if (code == kEoi) {
      s.ended = true;
      break;
    }
    if (code == kClear) {
      s.clearPos = pos;
      s.width = kMinWidth;
      s.next = kFirstFree;
      s.havePrev = false;
      continue;
    }
    if (code < 256) {
      out[pos] = static_cast<std::uint8_t>(code);
      if (s.havePrev && s.next < kMaxCodes) {
        s.offset[static_cast<std::size_t>(s.next)] = static_cast<std::uint32_t>(s.prevOffset);
        s.length[static_cast<std::size_t>(s.next)] = static_cast<std::uint32_t>(s.prevLength + 1);
        // TIFF widens one code before the table needs it.
        if (++s.next >= (1 << s.width) - 1 && s.width < kMaxWidth) ++s.width;
      }
      s.havePrev = true;
      s.prevOffset = pos;
      s.prevLength = 1;
      ++pos;
      continue;
    }
    if (!s.havePrev || code > s.next || (code == s.next && s.next >= kMaxCodes)) BadCode();
    // A code equal to the next free one is the string this very code defines.
    const bool pending = code == s.next;
    const std::size_t from = pending ? s.prevOffset : s.offset[static_cast<std::size_t>(code)];
    const std::size_t length =
        pending ? s.prevLength + 1 : s.length[static_cast<std::size_t>(code)];
    if (s.next < kMaxCodes) {
      s.offset[static_cast<std::size_t>(s.next)] = static_cast<std::uint32_t>(s.prevOffset);
      s.length[static_cast<std::size_t>(s.next)] = static_cast<std::uint32_t>(s.prevLength + 1);
      if (++s.next >= (1 << s.width) - 1 && s.width < kMaxWidth) ++s.width;
    }
    s.prevOffset = pos;
    s.prevLength = length;
    const std::size_t n = std::min(length, capacity - pos);
    CopyBack(out, pos, from, n);
    pos += n;
    if (n < length) {
      s.copyFrom = from + n;
      s.copyLeft = length - n;
      break;
    }
  }
  s.bits = bits;
  s.have = have;
  s.in = in;
  s.pos = pos;
  return pos;
}

constexpr int kHashSize = 5003;
constexpr int kHashShift = 4;
constexpr std::size_t kFlushBytes = 1 << 16;

struct EncoderState {
  std::array<std::int32_t, kHashSize> keys;
  std::array<std::uint16_t, kHashSize> codes{};
  int prefix = -1;
  int next = kFirstFree;
  int width = kMinWidth;
  std::uint64_t bits = 0;
  int have = 0;
  std::vector<std::uint8_t> buffer;

  EncoderState() {
    keys.fill(-1);
    buffer.reserve(kFlushBytes + 16);
  }
  void Put(int code) {
    bits = bits << width | static_cast<std::uint64_t>(code);
    have += width;
    while (have >= 8) {
      have -= 8;
      buffer.push_back(static_cast<std::uint8_t>(bits >> have));
    }
  }
  void Reset() {
    keys.fill(-1);
    next = kFirstFree;
    width = kMinWidth;
  }
  // Accounts for the entry the decoder adds on reading the code just written.
  void Grow() {
    if (++next > (1 << width) - 1 && width < kMaxWidth) ++width;
  }
};

}  // namespace

std::size_t TIFFLZWDecodeNext(const std::uint8_t* data, std::size_t count, std::uint8_t* out,
                              std::size_t want, std::shared_ptr<void>& state, bool first) {
  if (!data || count == 0) {
    state.reset();
    return 0;
  }
  constexpr std::size_t kPiece = std::size_t{1} << 15;
  DecoderState& s = Decoder(state);
  if (first) s.Start();
  std::size_t produced = 0;
  while (produced < want) {
    if (s.pos > s.delivered) {
      const std::size_t n = std::min(s.pos - s.delivered, want - produced);
      std::memcpy(out + produced, s.window.data() + s.delivered, n);
      s.delivered += n;
      produced += n;
      continue;
    }
    if (s.ended && s.copyLeft == 0) break;
    if (s.window.size() - s.pos < kPiece) {
      s.Compact();
      if (s.window.size() - s.pos < kPiece)
        s.window.resize(std::max(s.window.size() * 2, 4 * kPiece));
    }
    Decode(data, count, s.window.data(), s.pos + kPiece, s);
  }
  return produced;
}

std::vector<std::uint8_t> TIFFLZWDecompress(const std::uint8_t* data, std::size_t count,
                                            std::shared_ptr<void>& state) {
  if (!data || count == 0) {
    state.reset();
    return {};
  }
  DecoderState& s = Decoder(state);
  s.Start();
  std::vector<std::uint8_t> out(std::max<std::size_t>(count * 4, 4096));
  for (;;) {
    const std::size_t n = Decode(data, count, out.data(), out.size(), s);
    if (s.ended && s.copyLeft == 0) {
      out.resize(n);
      return out;
    }
    if (out.size() >= std::numeric_limits<std::uint32_t>::max() / 2) BadCode();
    out.resize(out.size() * 2);
  }
}

void TIFFLZWCompress(const std::uint8_t* row, std::size_t count, TStream& out,
                     std::shared_ptr<void>& state) {
  if (!state) {
    auto fresh = std::make_shared<EncoderState>();
    fresh->Put(kClear);
    state = fresh;
  }
  EncoderState& s = *static_cast<EncoderState*>(state.get());
  if (!row || count == 0) {
    if (s.prefix >= 0) {
      s.Put(s.prefix);
      s.Grow();
    }
    s.Put(kEoi);
    if (s.have > 0) s.buffer.push_back(static_cast<std::uint8_t>(s.bits << (8 - s.have)));
    out.WriteBuffer(s.buffer.data(), s.buffer.size());
    state.reset();
    return;
  }
  std::size_t i = 0;
  int prefix = s.prefix;
  if (prefix < 0) prefix = row[i++];
  for (; i < count; ++i) {
    const int c = row[i];
    const std::int32_t key = (c << 12) + prefix;
    int h = (c << kHashShift) ^ prefix;
    if (s.keys[static_cast<std::size_t>(h)] == key) {
      prefix = s.codes[static_cast<std::size_t>(h)];
      continue;
    }
    bool found = false;
    if (s.keys[static_cast<std::size_t>(h)] >= 0) {
      const int step = h == 0 ? 1 : kHashSize - h;
      do {
        h -= step;
        if (h < 0) h += kHashSize;
        if (s.keys[static_cast<std::size_t>(h)] == key) {
          found = true;
          break;
        }
      } while (s.keys[static_cast<std::size_t>(h)] >= 0);
    }
    if (found) {
      prefix = s.codes[static_cast<std::size_t>(h)];
      continue;
    }
    s.Put(prefix);
    prefix = c;
    if (s.next < kMaxCodes - 2) {
      s.keys[static_cast<std::size_t>(h)] = key;
      s.codes[static_cast<std::size_t>(h)] = static_cast<std::uint16_t>(s.next);
    }
    s.Grow();
    if (s.next >= kMaxCodes - 2) {
      s.Put(kClear);
      s.Reset();
    }
    if (s.buffer.size() >= kFlushBytes) {
      out.WriteBuffer(s.buffer.data(), s.buffer.size());
      s.buffer.clear();
    }
  }
  s.prefix = prefix;
}

}  // namespace korvane
