// The store of user-defined filters and look-up tables: small files in the user directory, each a
// 30-byte blank-padded description followed by a fixed-size payload.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace korvane {

inline constexpr std::size_t kUserDescriptionSize = 30;
inline constexpr std::size_t kFilterRecordSize = 240;  // ".F33" and ".F77"
inline constexpr std::size_t kLutTableSize = 1024;     // ".LUT": 256 little-endian int32

// The save dialog's kinds: 33 (".F33"), 44 (".LUT"), 77 (".F77"); empty for any other kind.
std::string UserFileExtension(int kind);

// The payload size of a kind by its extension (any letter case), 0 when it is none of the three.
std::size_t UserPayloadSize(const std::string& extension);

// The 30 bytes stored for a description: cut to 30 bytes, never inside a UTF-8 sequence, and
// padded with blanks; no terminating zero.
std::string FrameDescription(const std::string& description);

// Writes dir/name+extension: the framed description, then `payload`, which must have the kind's
// size. An existing file is overwritten from its start and keeps its length. The name is trimmed
// of blanks; an empty name or one that could leave the directory ("/", "\", "..") is refused.
// Returns false, and writes nothing, on any refusal; false also when the file cannot be written.
bool WriteUserFile(const std::string& dir, const std::string& name, const std::string& description,
                   const std::string& extension, std::span<const std::uint8_t> payload);

// Reads the description of dir/entry (the entry carries its extension): the first 30 bytes up to
// the first zero byte, blanks kept; "?" when the file cannot be opened or the entry is refused.
// With `withPayload`, `payload` receives the kind's payload, but only when the file holds all of
// it; otherwise it is left as it was.
std::string ReadUserFile(const std::string& dir, const std::string& entry,
                         const std::string& extension, bool withPayload,
                         std::vector<std::uint8_t>* payload);

// The names of the regular files in `dir` whose names end in `extension`, compared without
// regard to letter case (on Linux a mask "*.f33" must also find "A.F33"). Sorted by name, byte
// order, which stands for the directory listing order the popups number their items by. Empty
// when the directory cannot be read.
std::vector<std::string> ListUserFiles(const std::string& dir, const std::string& extension);

}  // namespace korvane
