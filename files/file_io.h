// The one place where the program reads and writes whole files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace hrv {

// A failure of the file layer: a file that cannot be opened, read, created or written. The text
// names the file and the reason and is shown to the user as it stands.
class FileIoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

bool FileExists(const std::string& path);

// Reads at most `limit` bytes from the start of the file. Throws FileIoError.
std::vector<std::uint8_t> ReadFileBytes(const std::string& path, std::size_t limit);

// The same into `buffer`, which then holds exactly the bytes read. Its capacity is kept, so a
// buffer reused for every open allocates only when a file is larger than all before. Throws
// FileIoError (the buffer's contents are then unspecified).
void ReadFileInto(const std::string& path, std::size_t limit, std::vector<std::uint8_t>& buffer);

// Replaces the file at `path` with `bytes` atomically: the bytes go to a temporary file in the same
// folder, which is flushed and then renamed over the old one, so a failure leaves the previous
// file intact. Throws FileIoError.
void WriteFileAtomic(const std::string& path, std::span<const std::uint8_t> bytes);

// Appends `bytes` to the file at `path` (created when missing) in one piece: when the write fails,
// the file is cut back to its previous length. Throws FileIoError.
void AppendFileBytes(const std::string& path, std::span<const std::uint8_t> bytes);

// Modification time of an existing file as seconds since 1970 (UTC). Throws FileIoError.
std::int64_t FileModificationTime(const std::string& path);

} // namespace hrv
