// The window's artefact-correction setting in a file of its own.
#include "files/correction_setting.h"

#include "files/file_io.h"

#include <string_view>
#include <vector>

namespace hrv {

namespace {

constexpr std::string_view kOn = "auto";
constexpr std::string_view kOff = "none";
constexpr std::string_view kShown = "on";
constexpr std::string_view kHidden = "off";
constexpr std::size_t kReadLimit = 64; // more than the one word the file holds

// Whether the file's first line is `on` (trailing blanks ignored); false without a readable file.
bool FirstLineIs(const std::string& path, std::string_view on) {
    if (!FileExists(path)) {
        return false;
    }
    std::vector<std::uint8_t> bytes;
    try {
        bytes = ReadFileBytes(path, kReadLimit);
    } catch (const FileIoError&) {
        return false;
    }
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    text = text.substr(0, text.find_first_of("\r\n"));
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text == on;
}

void WriteWord(const std::string& path, std::string_view word) {
    std::vector<std::uint8_t> bytes(word.begin(), word.end());
    bytes.push_back('\r');
    bytes.push_back('\n');
    WriteFileAtomic(path, bytes);
}

} // namespace

CorrectionMode ReadCorrectionSetting(const std::string& path) {
    return FirstLineIs(path, kOn) ? CorrectionMode::Auto : CorrectionMode::None;
}

void WriteCorrectionSetting(const std::string& path, CorrectionMode mode) {
    WriteWord(path, mode == CorrectionMode::Auto ? kOn : kOff);
}

bool ReadSignalSetting(const std::string& path) {
    return FirstLineIs(path, kShown);
}

void WriteSignalSetting(const std::string& path, bool shown) {
    WriteWord(path, shown ? kShown : kHidden);
}

} // namespace hrv
