// A recording of signals and beats: named channels of samples (raw ADC units with their gain and
// baseline, so that a day at 500 Hz fits in 2 bytes a sample), the beats at their own resolution
// (sample positions at the beat rate, not 10 ms ticks), and the intervals in ticks the analysis
// takes, rounded from the beat times.
#pragma once

#include "analysis/ticks.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace hrv {

// One channel: samples in raw units, physical = (raw - baseline) / gain. A reader keeps 16-bit
// samples in raw16 when every value fits, otherwise in raw32; the other stays empty.
struct SignalChannel {
    std::string name;        // "MLII", "ECG ECG1", ...
    std::string unit = "mV"; // of the physical values
    double rate = 0;         // samples per second
    double gain = 200;       // raw units per physical unit (negative for an inverted lead)
    double baseline = 0;     // the raw value of physical zero
    bool calibrated = true;  // false when the file gives no gain (the default 200 then)
    std::vector<std::int16_t> raw16;
    std::vector<std::int32_t> raw32;

    std::size_t Size() const { return raw32.empty() ? raw16.size() : raw32.size(); }
    std::int32_t Raw(std::size_t i) const { return raw32.empty() ? raw16[i] : raw32[i]; }
    double Physical(std::size_t i) const { return (Raw(i) - baseline) / gain; }
    // Every sample in physical units, into `out` (resized to Size()), for a detector that takes a
    // contiguous array.
    void PhysicalInto(std::vector<float>& out) const;
    void PhysicalInto(std::vector<double>& out) const;
    // The same for samples [first, first + out.size()) into a caller's buffer (a block at a time).
    void PhysicalInto(std::size_t first, std::span<float> out) const;
};

// Where a beat comes from.
enum class BeatSource : std::uint8_t {
    Detected,   // found by the R-peak detector in a channel
    Annotation, // a reference annotation (a WFDB annotation file, an EDF+ annotation)
    Device,     // the pulse sensor device's own beats
    RrFile,     // rebuilt from an RR file or RR list: beat times are the sums of its intervals
};

// A beat's kind where an annotation gives one (the AAMI classes, paced beats of their own).
enum class BeatKind : std::uint8_t {
    Unknown,          // no kind given (detected beats, RR files)
    Normal,           // N, L, R, B, e, j
    Supraventricular, // A, a, J, S, n
    Ventricular,      // V, E, r
    Fusion,           // F
    Paced,            // /, f (fusion of paced and normal)
    Unclassifiable,   // Q, ?
};

struct Beat {
    std::int64_t sample = 0; // position at the recording's beatRate, from 0
    BeatSource source = BeatSource::Detected;
    BeatKind kind = BeatKind::Unknown;
    std::uint8_t code = 0; // the WFDB annotation code (1 N, 5 V, 12 / ...); 0 when none
};

// When a recording starts, as far as its file says.
struct RecordStart {
    bool hasTime = false;
    int hour = 0;
    int minute = 0;
    double second = 0;
    bool hasDate = false;
    int day = 0;
    int month = 0;
    int year = 0;
};

struct SignalRecording {
    std::string name; // the record's name ("100"), or the file's
    RecordStart start;
    std::vector<SignalChannel> channels;
    double beatRate = 0;     // the rate beat samples count at (the record's frame rate)
    std::vector<Beat> beats; // in time order
    // The intervals as the file itself gives them, as RR words (ticks * 256 + aux), where it gives
    // them: an RR file's words with their aux, an RR list's intervals each rounded to a tick, the
    // intervals the PPG decoder kept. The system's analysis takes these as they stand; empty for a
    // record, whose intervals are rounded from its beat times. Beats that change (an editor's)
    // make a recording without them.
    std::vector<std::uint16_t> fileWords;

    double BeatSeconds(const Beat& b) const { return static_cast<double>(b.sample) / beatRate; }
    // The channel of that name, or -1.
    int ChannelIndex(const std::string& label) const;
};

// The beats' intervals in 10 ms ticks: each beat time rounded to the nearest tick (halves up),
// then the differences of successive ticks, so the rounding errors never add up over a
// recording. One interval fewer than beats; none for fewer than two beats or no beat rate.
std::vector<std::int32_t> IntervalTicks(const SignalRecording& r);

// The intervals the system's analysis takes, as RR words: the file's own (fileWords) where it
// gives them, otherwise IntervalTicks with aux 0, an interval longer than 255 ticks (a pause over
// 2.55 s) kept as 255, the longest an RR word holds.
std::vector<std::uint16_t> RecordWords(const SignalRecording& r);

// The intervals between successive beats in ms, at the beats' own resolution. One fewer than
// beats; none for fewer than two beats or no beat rate.
std::vector<double> BeatIntervalsMs(const SignalRecording& r);

// A recording of the beats an RR file's words give (ticks * 256 + aux): the first beat at
// sample 0, each next one an interval later, at a beat rate of 100 (one sample a tick), with
// the given source and no kind. IntervalTicks gives the words' ticks back.
SignalRecording RecordingFromWords(std::span<const std::uint16_t> words,
                                   BeatSource source = BeatSource::RrFile);

} // namespace hrv
