#include "app/UserFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace korvane {
namespace {

// Blanks and control characters, as the dialogs' trimming treats them.
bool IsTrimmed(char c) {
  return static_cast<unsigned char>(c) <= 0x20;
}

std::string Trim(const std::string& text) {
  const auto first = std::find_if_not(text.begin(), text.end(), IsTrimmed);
  const auto last = std::find_if_not(text.rbegin(), text.rend(), IsTrimmed).base();
  return first < last ? std::string(first, last) : std::string();
}

// A single name inside the directory: nothing that names another directory.
bool IsPlainName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EndsWithNoCase(const std::string& text, const std::string& tail) {
  if (tail.size() > text.size()) return false;
  return std::equal(tail.begin(), tail.end(), text.end() - static_cast<std::ptrdiff_t>(tail.size()),
                    [](char a, char b) { return Lower(a) == Lower(b); });
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  return (std::filesystem::path(dir) / name).string();
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t done = ::write(fd, data, size);
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += done;
    size -= static_cast<std::size_t>(done);
  }
  return true;
}

// Reads up to `size` bytes; a short count means the file ended or failed.
std::size_t ReadUpTo(int fd, std::uint8_t* data, std::size_t size) {
  std::size_t total = 0;
  while (total < size) {
    const ssize_t done = ::read(fd, data + total, size - total);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) break;
    total += static_cast<std::size_t>(done);
  }
  return total;
}

}  // namespace

std::string UserFileExtension(int kind) {
  switch (kind) {
    case 33:
      return ".F33";
    case 44:
      return ".LUT";
    case 77:
      return ".F77";
    default:
      return {};
  }
}

std::size_t UserPayloadSize(const std::string& extension) {
  if (extension.size() != 4) return 0;
  if (EndsWithNoCase(extension, ".F33") || EndsWithNoCase(extension, ".F77"))
    return kFilterRecordSize;
  if (EndsWithNoCase(extension, ".LUT")) return kLutTableSize;
  return 0;
}

std::string FrameDescription(const std::string& description) {
  std::size_t length = std::min(description.size(), kUserDescriptionSize);
  // Cutting inside a multi-byte character would leave a broken one at the end.
  if (length < description.size()) {
    const auto continuation = [&](std::size_t i) {
      return (static_cast<unsigned char>(description[i]) & 0xC0) == 0x80;
    };
    while (length > 0 && continuation(length)) --length;
  }
  std::string framed = description.substr(0, length);
  framed.resize(kUserDescriptionSize, ' ');
  return framed;
}

bool WriteUserFile(const std::string& dir, const std::string& name, const std::string& description,
                   const std::string& extension, std::span<const std::uint8_t> payload) {
  const std::size_t payloadSize = UserPayloadSize(extension);
  if (payloadSize == 0 || payload.size() != payloadSize) return false;
  const std::string trimmed = Trim(name);
  if (!IsPlainName(trimmed)) return false;

  const std::string path = JoinPath(dir, trimmed + extension);
  // No O_TRUNC: an existing file is overwritten from its start and keeps its length.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  std::vector<std::uint8_t> bytes;
  bytes.reserve(kUserDescriptionSize + payloadSize);
  const std::string framed = FrameDescription(description);
  bytes.insert(bytes.end(), framed.begin(), framed.end());
  bytes.insert(bytes.end(), payload.begin(), payload.end());
  const bool written = WriteAll(fd, bytes.data(), bytes.size());
  const bool closed = ::close(fd) == 0;
  return written && closed;
}

std::string ReadUserFile(const std::string& dir, const std::string& entry,
                         const std::string& extension, bool withPayload,
                         std::vector<std::uint8_t>* payload) {
  const std::string trimmed = Trim(entry);
  if (!IsPlainName(trimmed)) return "?";
  const int fd = ::open(JoinPath(dir, trimmed).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return "?";
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return "?";
  }
  std::uint8_t head[kUserDescriptionSize];
  const std::size_t got = ReadUpTo(fd, head, sizeof head);
  const auto end = std::find(head, head + got, std::uint8_t{0});
  std::string description(head, end);

  const std::size_t payloadSize = UserPayloadSize(extension);
  if (withPayload && payload && payloadSize > 0 && got == kUserDescriptionSize) {
    std::vector<std::uint8_t> buffer(payloadSize);
    // A truncated file must not leave the caller's record half replaced.
    if (ReadUpTo(fd, buffer.data(), payloadSize) == payloadSize) *payload = std::move(buffer);
  }
  ::close(fd);
  return description;
}

std::vector<std::string> ListUserFiles(const std::string& dir, const std::string& extension) {
  std::vector<std::string> names;
  std::error_code error;
  std::filesystem::directory_iterator it(dir.empty() ? "." : dir, error);
  for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    std::string name = it->path().filename().string();
    if (EndsWithNoCase(name, extension)) names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace korvane
