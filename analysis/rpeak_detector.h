// R-peaks of one ECG lead: found by their energy, placed on the complex's own peak.
//
// The signal is read in physical units (mV or any other, with any offset) at 100 to 2000 Hz. A
// QRS complex is found on the envelope of the slope of the signal band-passed to 5-15 Hz, against
// thresholds that follow the level of the beats and of the noise between them (Pan and Tompkins
// 1985; Hamilton and Tompkins 1986), with a search back for a beat missed in a long interval and
// a slope test against T waves. Each beat found is then placed on the largest deflection of its
// complex in the signal with baseline and mains removed, in the direction the record's complexes
// mostly take (either polarity), so the beat time is the R-peak to one sample.
#pragma once

#include "util/executor.h"

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace hrv {

// The detector's physiological limits. The defaults suit adult ECGs, at rest and in arrhythmia.
struct RPeakOptions {
    double refractory_s = 0.2; // no second beat this soon after one
    double t_wave_s = 0.36;    // a candidate this soon after a beat must rise as steeply as it
    double search_back = 1.66; // an interval this many times the recent one is searched again
};

// The R-peaks of `samples` (one lead at `rate` samples per second, 100..2000) as 0-based sample
// positions, in increasing order. Empty for an empty or constant signal; throws
// std::invalid_argument for a rate out of range.
std::vector<std::int64_t> DetectRPeaks(std::span<const float> samples, double rate,
                                       const RPeakOptions& options = {});

// Seconds of a long recording detected as one part, and the seconds each part also reads on
// either side of it (for its filters and thresholds to settle) without keeping its beats there.
inline constexpr double kRPeakPartSeconds = 3600;
inline constexpr double kRPeakPartMargin = 10;

// The same for a recording of any length, in parts of kRPeakPartSeconds (a recording shorter
// than a part and its margins is one part, detected as DetectRPeaks does), on `executor`. The
// parts are fixed by the recording, so the beats do not depend on the number of threads. Each
// part keeps the beats in its own span; a beat closer than the refractory period to the
// previous part's last one is taken once.
std::vector<std::int64_t> DetectRPeaksInParts(std::span<const float> samples, double rate,
                                              Executor& executor, const RPeakOptions& options = {});

// Puts the samples [first, first + out.size()) of a recording into `out`.
using RPeakSampleSource = std::function<void(std::size_t first, std::span<float> out)>;

// The same for a recording of `count` samples that `read` gives a part at a time, so that a long
// recording is never held whole as floats (a day at 360 Hz would take 125 MB): the same beats as
// of the whole recording's samples. `read` is called from the executor's threads at once.
std::vector<std::int64_t> DetectRPeaksInParts(std::size_t count, const RPeakSampleSource& read,
                                              double rate, Executor& executor,
                                              const RPeakOptions& options = {});

} // namespace hrv
