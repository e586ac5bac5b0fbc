// Byte streams the codecs read and write through: files and memory, one small interface.
//
// Read and Write move as many bytes as they can and say how many; ReadBuffer and WriteBuffer
// insist on all of them and throw EReadError / EWriteError otherwise, so a codec never works on
// bytes it did not get.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace korvane {

class EStreamError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
class EReadError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
// A file that cannot be opened for reading.
class EFOpenError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
// A file that cannot be created for writing.
class EFCreateError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
 public:
  TStream() = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;
  virtual ~TStream() = default;

  virtual std::size_t Read(void* buffer, std::size_t count) = 0;
  virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
  // Returns the new position; a position before 0 throws EReadError.
  virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
  virtual std::int64_t Size() = 0;

  std::int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(std::int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
  // Bytes from the position to the end (0 when past it).
  std::int64_t Remaining();

  void ReadBuffer(void* buffer, std::size_t count);
  void WriteBuffer(const void* buffer, std::size_t count);

  // Little-endian helpers.
  std::uint8_t ReadU8();
  std::uint16_t ReadU16();
  std::uint32_t ReadU32();
  void WriteU8(std::uint8_t v) { WriteBuffer(&v, 1); }
  void WriteU16(std::uint16_t v);
  void WriteU32(std::uint32_t v);
};

enum class TFileMode { fmOpenRead, fmCreate };

class TFileStream final : public TStream {
 public:
  // fmOpenRead throws EFOpenError, fmCreate (create or truncate) EFCreateError.
  TFileStream(const std::filesystem::path& path, TFileMode mode);
  // Takes over an open descriptor (closed by the stream).
  TFileStream(int fd, const std::filesystem::path& path, TFileMode mode);
  ~TFileStream() override;

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() override;

  // Flushes and closes; throws EWriteError when buffered data could not be written.
  void Close();
  const std::filesystem::path& Path() const { return path_; }

 private:
  // The FILE's buffer (the destructor closes the FILE before its members go).
  std::unique_ptr<char[]> buffer_;
  std::FILE* file_ = nullptr;
  std::filesystem::path path_;
  TFileMode mode_;
};

class TMemoryStream final : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<std::uint8_t> bytes) : data_(std::move(bytes)) {}
  TMemoryStream(const void* bytes, std::size_t count);

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() override { return static_cast<std::int64_t>(data_.size()); }

  const std::vector<std::uint8_t>& Bytes() const { return data_; }
  std::vector<std::uint8_t>& Bytes() { return data_; }

 private:
  std::vector<std::uint8_t> data_;
  std::size_t position_ = 0;
};

}  // namespace korvane
