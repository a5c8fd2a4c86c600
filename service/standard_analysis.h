// The standard (Task Force) analysis of a file's intervals or of a window of them: the intervals
// read at their own resolution, corrected as the system corrects them, and analysed by
// hrv::standard.
#pragma once

#include "analysis/beat_correction.h"
#include "analysis/fragment_data.h"
#include "files/fragment_load.h"
#include "service/recording_windows.h"
#include "signals/signal_recording.h"
#include "standard/standard.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace hrv {

// Every interval of a file: in ms at the beats' own resolution (a record's beat times, an RR
// list's intervals as written, a PPG file's pulse frames, an RR file's 10 ms ticks) and in ticks as
// the system's analysis takes them, one for one.
struct FileIntervals {
    std::vector<double> ms;
    std::vector<std::uint8_t> ticks;
};

// The intervals of a recording's words (ticks * 256 + aux): ticks * 10 ms.
FileIntervals IntervalsFromWords(std::span<const std::uint16_t> words);

// The intervals of a recording: BeatIntervalsMs and the ticks of RecordWords.
FileIntervals IntervalsOfRecording(const SignalRecording& r);

// Reads them from the file afresh (whole, leaving the recording in w.LastRecord). Throws
// FileIoError, or std::invalid_argument when the file gives no intervals.
FileIntervals ReadFileIntervals(const std::string& path, FileKind kind, PpgWorkspace& w);

// The same of the file just opened through `w` (OpenedRecording: read again only when the opening
// did not take it whole).
FileIntervals OpenedFileIntervals(const std::string& path, FileKind kind, PpgWorkspace& w);

// The intervals the standard analysis takes from a corrected series: `ms` and `ticks` are the
// intervals (in ms and in 10 ms ticks), `c` the correction of `ticks`. Every interval the
// correction left as it was, between the same two beats, keeps its value in ms (when that is
// within a tick of its ticks); every interval it made or moved takes its ticks * 10 ms.
std::vector<double> CorrectedIntervalsMs(std::span<const double> ms,
                                         std::span<const std::uint8_t> ticks,
                                         const BeatCorrection& c);

// The standard analysis of the intervals; with CorrectionMode::Auto the corrector runs over them
// first and the analysis takes CorrectedIntervalsMs. Throws std::invalid_argument as
// standard::AnalyseIntervals does.
standard::Result AnalyseStandard(std::span<const double> ms, std::span<const std::uint8_t> ticks,
                                 const standard::Settings& settings, CorrectionMode correct);

// The intervals of a window: from its first interval on, those that end within the 300 s after
// its start (the running sum of their ms at most 300,000), the count returned.
std::size_t WindowIntervalCount(std::span<const double> ms, const RecordingWindow& window);

// The standard analysis of a window's intervals (WindowIntervalCount of them), corrected as
// AnalyseStandard corrects.
standard::Result AnalyseStandardWindow(const FileIntervals& intervals,
                                       const RecordingWindow& window,
                                       const standard::Settings& settings, CorrectionMode correct);

} // namespace hrv
