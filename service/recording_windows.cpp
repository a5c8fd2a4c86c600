// The analysis of a long recording by windows.
#include "service/recording_windows.h"

#include "analysis/pipeline.h"
#include "analysis/resampling.h"
#include "analysis/ticks.h"
#include "files/file_io.h"
#include "files/recording.h"
#include "presentation/messages.h"

#include <algorithm>

namespace hrv {

namespace {

int Ticks(std::uint16_t word) {
    return word >> 8;
}

} // namespace

std::vector<RecordingWindow> RecordingWindows(std::span<const std::uint16_t> words,
                                              int stepSeconds) {
    std::vector<RecordingWindow> windows;
    const std::int64_t step = std::int64_t{std::max(stepSeconds, 1)} * kTicksPerSecond;
    std::int64_t after = 0; // ticks after interval `first`, up to the end
    for (const std::uint16_t w : words) {
        after += Ticks(w);
    }
    std::size_t first = 0;
    std::int64_t start = 0; // start time of interval `first`
    if (!words.empty()) {
        after -= Ticks(words[0]);
    }
    for (std::int64_t w = 0; first < words.size(); ++w) {
        while (first < words.size() && start < w * step) {
            start += Ticks(words[first]);
            ++first;
            if (first < words.size()) {
                after -= Ticks(words[first]);
            }
        }
        if (first == words.size() || after < kRequiredTicks) {
            break;
        }
        if (!windows.empty() && windows.back().first == static_cast<std::int64_t>(first)) {
            continue; // the step ended inside the previous window's first interval
        }
        windows.push_back({w, static_cast<std::int64_t>(first), start});
    }
    return windows;
}

bool AnalyseWindow(std::span<const std::uint16_t> words, const RecordingWindow& window,
                   CorrectionMode correct, FragmentData& f, Executor& executor) {
    const auto rest = words.subspan(static_cast<std::size_t>(window.first));
    const auto count = std::min(rest.size(), static_cast<std::size_t>(kWordCapacity));
    std::copy_n(rest.begin(), count, f.RrWords.begin() + 1);
    f.RrCount = static_cast<std::int32_t>(count);
    TakeRrWords(f);
    f.Correct = correct;
    return AnalyseFragment(f, executor);
}

std::string ReadRecordingWindows(const std::string& path, FileKind kind, int stepSeconds,
                                 PpgWorkspace& w, std::vector<std::uint16_t>& words,
                                 std::vector<RecordingWindow>& windows) {
    windows.clear();
    try {
        if (!FileExists(path)) {
            return msg::FileNotFound(path);
        }
        if (ReadRecording(path, kind, w, words) == LoadResult::ImportError) {
            return std::string(msg::kImportError);
        }
        if (windows = RecordingWindows(words, stepSeconds); windows.empty()) {
            return std::string(msg::kTooLittleData);
        }
    } catch (const FileIoError& e) {
        return e.what();
    }
    return {};
}

} // namespace hrv
