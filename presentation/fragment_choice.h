// The analysed fragment on a long recording: where it starts (snapped to a beat, kept inside the
// recording), its label, the heart-rate overview of the whole recording it is chosen on, and its
// beats and intervals.
#pragma once

#include "presentation/signal_strip.h"
#include "signals/signal_recording.h"

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace hrv {

// Seconds the analysis takes from a fragment's first beat.
inline constexpr double kFragmentSeconds = 300.0;

struct FragmentChoice {
    double start = 0;  // seconds from the recording's start
    double length = 0; // kFragmentSeconds, or the whole recording when it is shorter
    double total = 0;  // the recording's length
    double End() const { return start + length; }
    bool Partial() const { return length < total; }
};

// The fragment starting at the beat nearest `start` among those that leave a whole fragment
// before `total` (the latest such beat when none is near; `start` itself, clamped, without
// beats).
FragmentChoice ChooseFragment(std::span<const Beat> beats, double beatRate, double total,
                              double start);

// "00:12:30–00:17:30 из 1:00:00": the fragment's start and end as clock times (ClockText), the
// recording's length (DurationText), seconds' parts dropped.
std::string FragmentLabel(const FragmentChoice& f);

// The beats [first, last) of `beats` in the fragment: from its start to its end, both included.
struct BeatRange {
    std::size_t first = 0;
    std::size_t last = 0;
};
BeatRange FragmentBeats(std::span<const Beat> beats, double beatRate, const FragmentChoice& f);

// The intervals in ticks (IntervalTicks) of the fragment's beats.
std::vector<std::int32_t> FragmentTicks(const SignalRecording& r, const FragmentChoice& f);

// Heart rate (beats per minute, 60 / interval) over the whole recording on `width` columns of
// total / width seconds: per column the least and greatest rate of the intervals ending in it;
// empty columns where none ends.
std::vector<EnvelopeColumn> HeartRateOverview(std::span<const Beat> beats, double beatRate,
                                              double total, int width);

} // namespace hrv
