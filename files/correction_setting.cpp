// The window's artefact-correction setting in a file of its own.
#include "files/correction_setting.h"

#include "files/file_io.h"

#include <string_view>
#include <vector>

namespace hrv {

namespace {

constexpr std::string_view kOn = "auto";
constexpr std::string_view kOff = "none";
constexpr std::size_t kReadLimit = 64; // more than the one word the file holds

} // namespace

CorrectionMode ReadCorrectionSetting(const std::string& path) {
    if (!FileExists(path)) {
        return CorrectionMode::None;
    }
    std::vector<std::uint8_t> bytes;
    try {
        bytes = ReadFileBytes(path, kReadLimit);
    } catch (const FileIoError&) {
        return CorrectionMode::None;
    }
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    text = text.substr(0, text.find_first_of("\r\n"));
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text == kOn ? CorrectionMode::Auto : CorrectionMode::None;
}

void WriteCorrectionSetting(const std::string& path, CorrectionMode mode) {
    const std::string_view word = mode == CorrectionMode::Auto ? kOn : kOff;
    std::vector<std::uint8_t> bytes(word.begin(), word.end());
    bytes.push_back('\r');
    bytes.push_back('\n');
    WriteFileAtomic(path, bytes);
}

} // namespace hrv
