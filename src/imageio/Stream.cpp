#include "imageio/Stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include <sys/types.h>
#include <unistd.h>

namespace korvane {

namespace {

// Large enough that row-sized reads and writes go straight to the kernel.
// Codecs move a row or less at a time; a large buffer turns that into few system calls. The C
// library ignores a size given without a buffer, so the stream owns one.
constexpr std::size_t kFileBuffer = std::size_t{1} << 20;

std::string Quoted(const std::filesystem::path& path) { return "\"" + path.string() + "\""; }

std::string Reason() { return std::strerror(errno); }

}  // namespace

std::int64_t TStream::Remaining() {
  const std::int64_t position = Position();
  const std::int64_t size = Size();
  return size > position ? size - position : 0;
}

void TStream::ReadBuffer(void* buffer, std::size_t count) {
  if (Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, std::size_t count) {
  if (Write(buffer, count) != count) throw EWriteError("Stream write error");
}

std::uint8_t TStream::ReadU8() {
  std::uint8_t b = 0;
  ReadBuffer(&b, 1);
  return b;
}

std::uint16_t TStream::ReadU16() {
  std::uint8_t b[2];
  ReadBuffer(b, 2);
  return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

std::uint32_t TStream::ReadU32() {
  std::uint8_t b[4];
  ReadBuffer(b, 4);
  return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
         (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

void TStream::WriteU16(std::uint16_t v) {
  const std::uint8_t b[2] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
  WriteBuffer(b, 2);
}

void TStream::WriteU32(std::uint32_t v) {
  const std::uint8_t b[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                             static_cast<std::uint8_t>(v >> 16),
                             static_cast<std::uint8_t>(v >> 24)};
  WriteBuffer(b, 4);
}

TFileStream::TFileStream(const std::filesystem::path& path, TFileMode mode)
    : path_(path), mode_(mode) {
  // The buffer first: once the file is open, nothing may throw before the object owns it.
  buffer_ = std::make_unique_for_overwrite<char[]>(kFileBuffer);
  file_ = std::fopen(path.c_str(), mode == TFileMode::fmOpenRead ? "rb" : "w+b");
  if (!file_) {
    if (mode == TFileMode::fmOpenRead)
      throw EFOpenError("Cannot open file " + Quoted(path) + ". " + Reason());
    throw EFCreateError("Cannot create file " + Quoted(path) + ". " + Reason());
  }
  std::setvbuf(file_, buffer_.get(), _IOFBF, kFileBuffer);
}

TFileStream::TFileStream(int fd, const std::filesystem::path& path, TFileMode mode)
    : path_(path), mode_(mode) {
  try {
    buffer_ = std::make_unique_for_overwrite<char[]>(kFileBuffer);
  } catch (...) {
    ::close(fd);  // the descriptor is ours whatever happens
    throw;
  }
  file_ = ::fdopen(fd, mode == TFileMode::fmOpenRead ? "rb" : "w+b");
  if (!file_) {
    ::close(fd);
    if (mode == TFileMode::fmOpenRead)
      throw EFOpenError("Cannot open file " + Quoted(path) + ". " + Reason());
    throw EFCreateError("Cannot create file " + Quoted(path) + ". " + Reason());
  }
  std::setvbuf(file_, buffer_.get(), _IOFBF, kFileBuffer);
}

TFileStream::~TFileStream() {
  if (file_) std::fclose(file_);
}

void TFileStream::Close() {
  if (!file_) return;
  std::FILE* f = file_;
  file_ = nullptr;
  const bool flushed = std::fflush(f) == 0;
  const bool closed = std::fclose(f) == 0;
  if (!flushed || !closed) throw EWriteError("Cannot write file " + Quoted(path_) + ". " + Reason());
}

std::size_t TFileStream::Read(void* buffer, std::size_t count) {
  if (!file_ || count == 0) return 0;
  return std::fread(buffer, 1, count, file_);
}

std::size_t TFileStream::Write(const void* buffer, std::size_t count) {
  if (!file_ || mode_ == TFileMode::fmOpenRead || count == 0) return 0;
  return std::fwrite(buffer, 1, count, file_);
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  if (!file_) throw EReadError("Stream seek error");
  const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                     : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                        : SEEK_END;
  if (!(origin == TSeekOrigin::soCurrent && offset == 0) &&
      ::fseeko(file_, static_cast<off_t>(offset), whence) != 0)
    throw EReadError("Stream seek error");
  const off_t position = ::ftello(file_);
  if (position < 0) throw EReadError("Stream seek error");
  return static_cast<std::int64_t>(position);
}

std::int64_t TFileStream::Size() {
  const std::int64_t here = Position();
  const std::int64_t end = Seek(0, TSeekOrigin::soEnd);
  Seek(here, TSeekOrigin::soBeginning);
  return end;
}

TMemoryStream::TMemoryStream(const void* bytes, std::size_t count)
    : data_(static_cast<const std::uint8_t*>(bytes), static_cast<const std::uint8_t*>(bytes) + count) {}

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
  if (position_ >= data_.size()) return 0;
  const std::size_t n = std::min(count, data_.size() - position_);
  if (n) std::memcpy(buffer, data_.data() + position_, n);
  position_ += n;
  return n;
}

std::size_t TMemoryStream::Write(const void* buffer, std::size_t count) {
  if (count == 0) return 0;
  if (position_ + count > data_.size()) data_.resize(position_ + count);
  std::memcpy(data_.data() + position_, buffer, count);
  position_ += count;
  return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  const std::int64_t base = origin == TSeekOrigin::soBeginning ? 0
                            : origin == TSeekOrigin::soCurrent
                                ? static_cast<std::int64_t>(position_)
                                : static_cast<std::int64_t>(data_.size());
  if ((offset > 0 && base > std::numeric_limits<std::int64_t>::max() - offset) ||
      base + offset < 0)
    throw EReadError("Stream seek error");
  position_ = static_cast<std::size_t>(base + offset);
  return base + offset;
}

}  // namespace korvane
