// The RR file: a 2-byte header and one little-endian word per interval (ticks * 256 + aux).
#include "files/rr_file.h"

#include "files/edf_file.h"
#include "files/file_io.h"
#include "files/paths.h"
#include "files/wfdb_header.h"

#include <algorithm>
#include <string_view>

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

namespace {

constexpr std::size_t kFewestJudged = 30; // intervals below which a file is never judged

// Whether the WFDB header at `header` names `name` as one of its signal files: the first field
// of a line after the record line.
bool HeaderNamesSignalFile(const std::string& header, const std::string& name) {
    const std::vector<std::uint8_t> bytes = ReadFileBytes(header, kWfdbHeaderLimit);
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    bool recordLine = true;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        const std::size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string_view::npos || line[first] == '#') {
            continue;
        }
        line.remove_prefix(first);
        const std::string_view field = line.substr(0, line.find_first_of(" \t\r"));
        if (!recordLine && field == name) {
            return true;
        }
        recordLine = false;
    }
    return false;
}

} // namespace

std::string RrFileFault(const std::string& path, std::span<const std::uint8_t> bytes) {
    if (LooksLikeEdf(bytes)) {
        return "Файл " + path + " — запись EDF/BDF, а не файл RR-интервалов";
    }
    const std::string folder = FolderOfPath(path);
    if (ExtensionOfPath(path) == "hea") {
        try {
            ParseWfdbHeader(
                std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), path);
            return "Файл " + path + " — заголовок записи WFDB, а не файл RR-интервалов";
        } catch (const FileIoError&) {
            // Not a header either: judged by its intervals below.
        }
    }
    const std::string header = folder + BaseNameOfPath(path) + ".hea";
    const std::string name = path.substr(folder.size());
    if (header != path && FileExists(header)) {
        try {
            if (HeaderNamesSignalFile(header, name)) {
                return "Файл " + path + " — сигнальный файл записи WFDB " + header +
                       ", а не файл RR-интервалов";
            }
        } catch (const FileIoError&) {
            // A header that cannot be read says nothing about this file.
        }
    }
    const std::size_t count =
        bytes.size() > kRrHeaderBytes ? (bytes.size() - kRrHeaderBytes) / 2 : 0;
    if (count < kFewestJudged) {
        return {};
    }
    // Lengths alone decide nothing: a file of 2.55 s intervals or of zeros is an RR file all
    // the same. Signal bytes read as words jump from one to the next as no heart does.
    std::size_t jumps = 0;
    int previous = bytes[kRrHeaderBytes + 1];
    for (std::size_t k = 1; k < count; ++k) {
        const int ticks = bytes[kRrHeaderBytes + 2 * k + 1];
        jumps += 10 * std::abs(ticks - previous) > 4 * std::max(previous, 1) ? 1 : 0;
        previous = ticks;
    }
    if (2 * jumps > count - 1) {
        return "Файл " + path +
               " не похож на файл RR-интервалов: " + std::to_string(100 * jumps / (count - 1)) +
               " % интервалов отличаются от предыдущего больше чем на 40 %";
    }
    return {};
}

void ReadRrFile(const std::string& path, FragmentData& f) {
    std::vector<std::uint8_t> buffer;
    ReadRrFile(path, f, buffer);
}

void ReadRrFile(const std::string& path, FragmentData& f, std::vector<std::uint8_t>& buffer) {
    ReadFileInto(path, kRrHeaderBytes + kRrDataLimit, buffer);
    const std::string fault = RrFileFault(path, buffer);
    if (!fault.empty()) {
        throw NotAnRrFile(fault);
    }
    ParseRrBytes(buffer, f);
}

void WriteRrFile(const std::string& path, const FragmentData& f) {
    WriteFileAtomic(path, RrFileImage(f));
}

} // namespace hrv
