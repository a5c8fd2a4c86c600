// The RR file: a 2-byte header and one little-endian word per interval (ticks * 256 + aux).
#include "files/rr_file.h"

#include "files/file_io.h"

#include <algorithm>

namespace hrv {

void ParseRrBytes(std::span<const std::uint8_t> bytes, FragmentData& f) {
    const std::size_t data = bytes.size() > kRrHeaderBytes ? bytes.size() - kRrHeaderBytes : 0;
    const auto count = static_cast<std::int32_t>(std::min(data, kRrDataLimit) / 2);
    for (std::int32_t k = 1; k <= count; ++k) {
        const std::size_t at = kRrHeaderBytes + 2 * static_cast<std::size_t>(k - 1);
        f.RrWords[k] = static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
    }
    f.RrCount = count;
}

std::vector<std::uint8_t> RrFileImage(const FragmentData& f) {
    const int count = std::clamp(f.RrCount, 0, kWordCapacity);
    std::vector<std::uint8_t> bytes(kRrHeaderBytes + 2 * static_cast<std::size_t>(count), 0);
    for (int k = 1; k <= count; ++k) {
        const std::size_t at = kRrHeaderBytes + 2 * static_cast<std::size_t>(k - 1);
        bytes[at] = static_cast<std::uint8_t>(f.RrWords[k] & 0xFF);   // aux byte
        bytes[at + 1] = static_cast<std::uint8_t>(f.RrWords[k] >> 8); // interval in ticks
    }
    return bytes;
}

void ReadRrFile(const std::string& path, FragmentData& f) {
    ParseRrBytes(ReadFileBytes(path, kRrHeaderBytes + kRrDataLimit), f);
}

void ReadRrFile(const std::string& path, FragmentData& f, std::vector<std::uint8_t>& buffer) {
    ReadFileInto(path, kRrHeaderBytes + kRrDataLimit, buffer);
    ParseRrBytes(buffer, f);
}

void WriteRrFile(const std::string& path, const FragmentData& f) {
    WriteFileAtomic(path, RrFileImage(f));
}

} // namespace hrv
