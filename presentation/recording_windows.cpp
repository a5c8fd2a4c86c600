// The analysis of a long recording by windows.
#include "presentation/recording_windows.h"

#include "analysis/pipeline.h"
#include "analysis/resampling.h"
#include "files/fragment_load.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace hrv {

namespace {

constexpr std::int64_t kTicksPerSecond = 100;

int Ticks(std::uint16_t word) {
    return word >> 8;
}

// Two digits of a clock, "07".
std::string TwoDigits(std::int64_t v) {
    return std::string{static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)};
}

std::string Clock(std::int64_t ticks, int hourDigits) {
    const std::int64_t seconds = std::max<std::int64_t>(ticks, 0) / kTicksPerSecond;
    const std::int64_t hours = seconds / 3600;
    std::array<char, 24> buf{};
    const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), hours);
    std::string text(buf.data(), r.ptr);
    if (static_cast<int>(text.size()) < hourDigits) {
        text.insert(0, static_cast<std::size_t>(hourDigits) - text.size(), '0');
    }
    return text + ":" + TwoDigits(seconds / 60 % 60) + ":" + TwoDigits(seconds % 60);
}

} // namespace

std::vector<RecordingWindow> RecordingWindows(std::span<const std::uint16_t> words,
                                              int stepSeconds) {
    std::vector<RecordingWindow> windows;
    const std::int64_t step = std::max(stepSeconds, 1) * kTicksPerSecond;
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
                   CorrectionMode correct, FragmentData& f) {
    const auto rest = words.subspan(static_cast<std::size_t>(window.first));
    const auto count = std::min(rest.size(), static_cast<std::size_t>(kWordCapacity));
    std::copy_n(rest.begin(), count, f.RrWords.begin() + 1);
    f.RrCount = static_cast<std::int32_t>(count);
    TakeRrWords(f);
    f.Correct = correct;
    return AnalyseFragment(f);
}

unsigned WindowThreads(std::size_t windows, int threads) {
    const int wanted = threads > 0 ? threads : AnalysisThreads();
    return static_cast<unsigned>(
        std::clamp<std::size_t>(windows, 1, static_cast<std::size_t>(std::max(wanted, 1))));
}

std::string ClockText(std::int64_t ticks) {
    return Clock(ticks, 2);
}

std::string DurationText(std::int64_t ticks) {
    return Clock(ticks, 1);
}

} // namespace hrv
