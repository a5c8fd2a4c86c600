// The standard (Task Force) analysis of a file's intervals or of a window of them.
#include "service/standard_analysis.h"

#include "files/recording.h"
#include "files/rr_text.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace hrv {

namespace {

constexpr double kWindowMs = 300000; // the five minutes of a window

} // namespace

FileIntervals IntervalsFromWords(std::span<const std::uint16_t> words) {
    FileIntervals out;
    out.ticks.reserve(words.size());
    out.ms.reserve(words.size());
    for (const std::uint16_t word : words) {
        out.ticks.push_back(static_cast<std::uint8_t>(word >> 8));
        out.ms.push_back(static_cast<double>(word >> 8) * 10); // 10 ms ticks
    }
    return out;
}

FileIntervals IntervalsOfRecording(const SignalRecording& r) {
    FileIntervals out;
    out.ms = BeatIntervalsMs(r);
    const std::vector<std::uint16_t> words = RecordWords(r);
    out.ticks.resize(words.size());
    std::transform(words.begin(), words.end(), out.ticks.begin(),
                   [](std::uint16_t word) { return static_cast<std::uint8_t>(word >> 8); });
    // One for one, should a file give other intervals than its beats make.
    const std::size_t n = std::min(out.ms.size(), out.ticks.size());
    out.ms.resize(n);
    out.ticks.resize(n);
    return out;
}

namespace {

FileIntervals IntervalsOrThrow(const SignalRecording* r) {
    if (r == nullptr) {
        throw std::invalid_argument("the file gives no intervals");
    }
    return IntervalsOfRecording(*r);
}

} // namespace

FileIntervals ReadFileIntervals(const std::string& path, FileKind kind, PpgWorkspace& w) {
    w.LastRecordFile.clear(); // read afresh
    return IntervalsOrThrow(OpenedRecording(path, kind, w));
}

FileIntervals OpenedFileIntervals(const std::string& path, FileKind kind, PpgWorkspace& w) {
    return IntervalsOrThrow(OpenedRecording(path, kind, w));
}

std::vector<double> CorrectedIntervalsMs(std::span<const double> ms,
                                         std::span<const std::uint8_t> ticks,
                                         const BeatCorrection& c) {
    std::vector<double> out;
    out.reserve(c.ticks.size());
    std::size_t i = 0;   // the first input interval that starts at or after `at`
    std::int64_t in = 0; // its start, ticks
    std::int64_t at = 0; // the start of corrected interval k, ticks
    for (std::size_t k = 0; k < c.ticks.size(); ++k) {
        const std::uint8_t t = c.ticks[k];
        while (i < ticks.size() && in < at) {
            in += ticks[i++];
        }
        // A PPG pulse the decoder timed from a candidate it dropped has ticks unlike its ms: the
        // corrector judged the ticks, so the ticks stand.
        const bool kept = k < c.marks.size() && c.marks[k] == 0 && i < ticks.size() &&
                          i < ms.size() && in == at && ticks[i] == t &&
                          std::abs(ms[i] - static_cast<double>(t) * 10) < 10;
        out.push_back(kept ? ms[i] : static_cast<double>(t) * 10);
        at += t;
    }
    return out;
}

standard::Result AnalyseStandard(std::span<const double> ms, std::span<const std::uint8_t> ticks,
                                 const standard::Settings& settings, CorrectionMode correct) {
    if (correct != CorrectionMode::Auto) {
        return standard::AnalyseIntervals(ms, settings);
    }
    BeatCorrection c;
    CorrectBeats(ticks, c);
    return standard::AnalyseIntervals(CorrectedIntervalsMs(ms, ticks, c), settings);
}

std::size_t WindowIntervalCount(std::span<const double> ms, const RecordingWindow& window) {
    const auto first = static_cast<std::size_t>(window.first);
    std::size_t n = 0;
    double sum = 0;
    while (first + n < ms.size() && sum + ms[first + n] <= kWindowMs) {
        sum += ms[first + n];
        ++n;
    }
    return n;
}

standard::Result AnalyseStandardWindow(const FileIntervals& intervals,
                                       const RecordingWindow& window,
                                       const standard::Settings& settings, CorrectionMode correct) {
    const auto first = static_cast<std::size_t>(window.first);
    const std::size_t n = WindowIntervalCount(intervals.ms, window);
    return AnalyseStandard(std::span(intervals.ms).subspan(first, n),
                           std::span(intervals.ticks).subspan(first, n), settings, correct);
}

} // namespace hrv
