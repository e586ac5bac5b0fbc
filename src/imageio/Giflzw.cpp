#include "imageio/Giflzw.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <vector>

#include "imageio/Vistelio.h"

namespace korvane {

namespace {

constexpr const char* kCorrupted = "Corrupted GIF";
constexpr int kMaxCodes = 4096;
constexpr int kMaxBits = 12;

[[noreturn]] void Corrupted() { throw EInvalidGraphic(kCorrupted); }

// The data sub-blocks of one image, joined. A chain without its empty terminator is a truncated
// file. Read in large pieces; what was read past the terminator is given back.
std::vector<std::uint8_t> ReadSubBlocks(TStream& in) {
  std::vector<std::uint8_t> data;
  data.reserve(static_cast<std::size_t>(in.Remaining()));
  constexpr std::size_t kChunk = 1 << 16;
  std::unique_ptr<std::uint8_t[]> chunk(new std::uint8_t[kChunk]);
  std::size_t have = 0, at = 0;
  const auto refill = [&] {
    have = in.Read(chunk.get(), kChunk);
    at = 0;
    if (have == 0) Corrupted();
  };
  for (;;) {
    if (at == have) refill();
    std::size_t length = chunk[at++];
    if (length == 0) break;
    while (length > 0) {
      if (at == have) refill();
      const std::size_t n = std::min(length, have - at);
      data.insert(data.end(), chunk.get() + at, chunk.get() + at + n);
      at += n;
      length -= n;
    }
  }
  if (at < have) in.Seek(-static_cast<std::int64_t>(have - at), TSeekOrigin::soCurrent);
  return data;
}

// File row y of an image of `height` rows in the order they are stored, for each storage index.
template <class Fn>
void ForEachFileRow(int height, bool interlaced, Fn fn) {
  if (!interlaced) {
    for (int y = 0; y < height; ++y) fn(y);
    return;
  }
  static constexpr int kStart[4] = {0, 4, 2, 1};
  static constexpr int kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (int y = kStart[pass]; y < height; y += kStep[pass]) fn(y);
}

// LSB-first code reader over the joined sub-blocks.
class CodeReader {
 public:
  CodeReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  // False when fewer than `bits` bits are left.
  bool Next(int bits, int& code) {
    if (count_ < bits) {
      Refill();
      if (count_ < bits) return false;
    }
    code = static_cast<int>(acc_ & ((std::uint64_t{1} << bits) - 1));
    acc_ >>= bits;
    count_ -= bits;
    return true;
  }

 private:
  void Refill() {
    if (pos_ + 8 <= size_) {
      std::uint64_t word;
      std::memcpy(&word, data_ + pos_, 8);
      if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
      // Bits above count_ already hold the following bytes, so OR-ing them in again is harmless.
      acc_ |= word << count_;
      pos_ += static_cast<std::size_t>((63 - count_) >> 3);
      count_ |= 56;
      return;
    }
    while (count_ <= 56 && pos_ < size_) {
      acc_ |= static_cast<std::uint64_t>(data_[pos_++]) << count_;
      count_ += 8;
    }
    // Only whole bytes are ever added, so stray bits above count_ stay zero on this path.
    acc_ &= count_ >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << count_) - 1;
  }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  std::uint64_t acc_ = 0;
  int count_ = 0;
};

// Decodes into `out` (total pixels, in stored order); stops at the end code, when the data runs
// out, or when the buffer is full. Every string in the table is a stretch of the output already
// written (the previous string and the first pixel after it), so a code is one copy from there.
// Returns how far it got; short strings are copied 16 bytes at a time, so bytes past that may
// have been written.
std::size_t DecodeCodes(const std::uint8_t* data, std::size_t size, int minCodeSize,
                        std::uint8_t* out, std::size_t total) {
  const int clear = 1 << minCodeSize;
  const int endCode = clear + 1;
  const int firstFree = clear + 2;
  std::array<std::size_t, kMaxCodes> start;
  std::array<std::uint16_t, kMaxCodes> length;

  CodeReader reader(data, size);
  int width = minCodeSize + 1;
  int nextFree = firstFree;
  int previous = -1;  // none: the next code starts the string anew
  std::size_t previousAt = 0;
  std::size_t pos = 0;
  int code = 0;
  while (pos < total && reader.Next(width, code)) {
    if (code == clear) {
      width = minCodeSize + 1;
      nextFree = firstFree;
      previous = -1;
      continue;
    }
    if (code == endCode) return pos;
    if (previous < 0) {
      if (code >= firstFree) code = 0;
      if (code > 255) Corrupted();
      previousAt = pos;
      out[pos++] = static_cast<std::uint8_t>(code);
      previous = code;
      continue;
    }
    if (nextFree == kMaxCodes || code > nextFree) Corrupted();

    const std::size_t previousLength =
        previous < clear ? 1 : length[static_cast<std::size_t>(previous)];
    const std::size_t at = pos;
    if (code < clear) {
      if (code > 255) Corrupted();
      out[pos++] = static_cast<std::uint8_t>(code);
    } else {
      std::size_t from, len;
      if (code == nextFree) {
        from = previousAt;
        len = previousLength + 1;
      } else {
        from = start[static_cast<std::size_t>(code)];
        len = length[static_cast<std::size_t>(code)];
      }
      if (len > total - pos) {
        for (std::size_t i = 0; pos < total; ++i) out[pos++] = out[from + i];
        return pos;
      }
      if (code == nextFree) {
        // The previous string ends where this one begins; its first pixel comes again last.
        std::memcpy(out + pos, out + from, len - 1);
        out[pos + len - 1] = out[from];
      } else if (len <= 16 && total - pos >= 16) {
        // One load before the store, so a source that reaches into the target is still right;
        // the bytes past `len` are overwritten by the codes that follow.
        std::uint8_t piece[16];
        std::memcpy(piece, out + from, 16);
        std::memcpy(out + pos, piece, 16);
      } else {
        std::memcpy(out + pos, out + from, len);
      }
      pos += len;
    }

    const std::size_t n = static_cast<std::size_t>(nextFree);
    start[n] = previousAt;
    length[n] = static_cast<std::uint16_t>(previousLength + 1);
    ++nextFree;
    if (nextFree == (1 << width) && width < kMaxBits) ++width;
    previous = code;
    previousAt = at;
  }
  return pos;
}

// Pixels the data does not reach are index 0.
void Decode(const std::uint8_t* data, std::size_t size, int minCodeSize, std::uint8_t* out,
            std::size_t total) {
  const std::size_t end = DecodeCodes(data, size, minCodeSize, out, total);
  if (end < total) std::memset(out + end, 0, total - end);
}

// Packs codes LSB first into sub-blocks of 254 data bytes, written out in large pieces.
class BlockWriter {
 public:
  explicit BlockWriter(TStream& out) : out_(out) { buffer_.reserve(kFlushAt + 512); }

  void Put(int code, int bits) {
    acc_ |= static_cast<std::uint64_t>(code) << count_;
    count_ += bits;
    while (count_ >= 8) {
      Byte(static_cast<std::uint8_t>(acc_));
      acc_ >>= 8;
      count_ -= 8;
    }
  }

  // The last partial byte, the last block and the terminator.
  void Finish() {
    if (count_ > 0) Byte(static_cast<std::uint8_t>(acc_));
    acc_ = 0;
    count_ = 0;
    CloseBlock();
    buffer_.push_back(0);
    out_.WriteBuffer(buffer_.data(), buffer_.size());
    buffer_.clear();
  }

 private:
  static constexpr std::size_t kBlock = 254;
  static constexpr std::size_t kFlushAt = 1 << 16;

  void Byte(std::uint8_t b) {
    if (inBlock_ == 0) {
      lengthAt_ = buffer_.size();
      buffer_.push_back(0);
    }
    buffer_.push_back(b);
    if (++inBlock_ == kBlock) CloseBlock();
  }
  void CloseBlock() {
    if (inBlock_ == 0) return;
    buffer_[lengthAt_] = static_cast<std::uint8_t>(inBlock_);
    inBlock_ = 0;
    if (buffer_.size() >= kFlushAt) {
      out_.WriteBuffer(buffer_.data(), buffer_.size());
      buffer_.clear();
    }
  }

  TStream& out_;
  std::vector<std::uint8_t> buffer_;
  std::size_t lengthAt_ = 0;
  std::size_t inBlock_ = 0;
  std::uint64_t acc_ = 0;
  int count_ = 0;
};

int InitialCodeSize(int bitsPerPixel) { return std::clamp(bitsPerPixel, 2, 8); }

}  // namespace

void GIFLZWDecompress(TStream& in, int height, int width, std::uint8_t* out, bool interlaced) {
  std::uint8_t minCodeSize = 0;
  if (in.Read(&minCodeSize, 1) != 1) Corrupted();
  if (minCodeSize < 2 || minCodeSize > 9) Corrupted();
  const std::vector<std::uint8_t> data = ReadSubBlocks(in);
  if (data.empty() || width <= 0 || height <= 0) return;
  const std::size_t rowBytes = static_cast<std::size_t>(width);
  const std::size_t total = rowBytes * static_cast<std::size_t>(height);
  if (!interlaced) {
    Decode(data.data(), data.size(), minCodeSize, out, total);
    return;
  }
  std::unique_ptr<std::uint8_t[]> stored(new std::uint8_t[total]());
  Decode(data.data(), data.size(), minCodeSize, stored.get(), total);
  const std::uint8_t* from = stored.get();
  ForEachFileRow(height, true, [&](int y) {
    std::memcpy(out + static_cast<std::size_t>(y) * rowBytes, from, rowBytes);
    from += rowBytes;
  });
}

void GIFLZWCompress(TStream& out, int height, int width, int bitsPerPixel,
                    const std::uint8_t* indices, bool interlaced) {
  const int initSize = InitialCodeSize(bitsPerPixel);
  out.WriteU8(static_cast<std::uint8_t>(initSize));
  BlockWriter writer(out);
  const int clear = 1 << initSize;
  const int endCode = clear + 1;
  const std::uint8_t pixelMask = static_cast<std::uint8_t>(clear - 1);
  if (width <= 0 || height <= 0) {
    writer.Put(clear, initSize + 1);
    writer.Put(endCode, initSize + 1);
    writer.Finish();
    return;
  }

  constexpr int kHashSize = 5003;
  std::vector<std::int32_t> hashKey(kHashSize, -1);
  std::vector<std::uint16_t> hashCode(kHashSize, 0);
  int bits = initSize + 1;
  int maxCode = (1 << bits) - 1;
  int freeCode = clear + 2;
  bool clearPending = false;

  const auto output = [&](int code) {
    writer.Put(code, bits);
    if (clearPending) {
      bits = initSize + 1;
      maxCode = (1 << bits) - 1;
      clearPending = false;
    } else if (freeCode > maxCode) {
      ++bits;
      maxCode = bits == kMaxBits ? kMaxCodes : (1 << bits) - 1;
    }
  };

  output(clear);
  int prefix = -1;
  const std::size_t rowBytes = static_cast<std::size_t>(width);
  ForEachFileRow(height, interlaced, [&](int y) {
    const std::uint8_t* row = indices + static_cast<std::size_t>(y) * rowBytes;
    std::size_t x = 0;
    if (prefix < 0) prefix = row[x++] & pixelMask;
    for (; x < rowBytes; ++x) {
      const int c = row[x] & pixelMask;
      const std::int32_t key = (c << kMaxBits) + prefix;
      int i = (c << 4) ^ prefix;
      if (hashKey[static_cast<std::size_t>(i)] == key) {
        prefix = hashCode[static_cast<std::size_t>(i)];
        continue;
      }
      if (hashKey[static_cast<std::size_t>(i)] >= 0) {
        const int step = i == 0 ? 1 : kHashSize - i;
        bool found = false;
        do {
          i -= step;
          if (i < 0) i += kHashSize;
          if (hashKey[static_cast<std::size_t>(i)] == key) {
            found = true;
            break;
          }
        } while (hashKey[static_cast<std::size_t>(i)] >= 0);
        if (found) {
          prefix = hashCode[static_cast<std::size_t>(i)];
          continue;
        }
      }
      output(prefix);
      prefix = c;
      if (freeCode < kMaxCodes) {
        hashCode[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(freeCode++);
        hashKey[static_cast<std::size_t>(i)] = key;
      } else {
        std::fill(hashKey.begin(), hashKey.end(), -1);
        freeCode = clear + 2;
        clearPending = true;
        output(clear);
      }
    }
  });
  output(prefix);
  output(endCode);
  writer.Finish();
}

void GIFNONLZWCompress(TStream& out, int height, int width, int bitsPerPixel,
                       const std::uint8_t* indices, bool interlaced) {
  const int initSize = InitialCodeSize(bitsPerPixel);
  out.WriteU8(static_cast<std::uint8_t>(initSize));
  BlockWriter writer(out);
  const int clear = 1 << initSize;
  const int bits = initSize + 1;
  const std::uint8_t pixelMask = static_cast<std::uint8_t>(clear - 1);
  // After a clear code a decoder adds one entry per code from the second on; this many codes
  // keep its next free code below 2^bits, so the width never grows.
  const int perClear = clear - 2;
  int sinceClear = perClear;
  if (width > 0 && height > 0) {
    const std::size_t rowBytes = static_cast<std::size_t>(width);
    ForEachFileRow(height, interlaced, [&](int y) {
      const std::uint8_t* row = indices + static_cast<std::size_t>(y) * rowBytes;
      for (std::size_t x = 0; x < rowBytes; ++x) {
        if (sinceClear == perClear) {
          writer.Put(clear, bits);
          sinceClear = 0;
        }
        writer.Put(row[x] & pixelMask, bits);
        ++sinceClear;
      }
    });
  } else {
    writer.Put(clear, bits);
  }
  writer.Put(clear + 1, bits);
  writer.Finish();
}

}  // namespace korvane
