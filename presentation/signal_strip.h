// The signal strip's geometry: a viewport of seconds over a recording mapped to pixel columns,
// the min/max envelope of a channel per column, the beat marks in view and the cursor readout.
#pragma once

#include "signals/signal_recording.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace hrv {

// A window of seconds [Start, Start + Span) over a recording of Total seconds, drawn on Width
// pixel columns. The span stays between kMinStripSpan (or the whole recording when shorter) and
// the whole recording; the start keeps the window inside the recording.
inline constexpr double kMinStripSpan = 1.0;

class StripViewport {
public:
    StripViewport(double totalSeconds, int widthPixels);

    double Start() const { return start_; }
    double Span() const { return span_; }
    double Total() const { return total_; }
    int Width() const { return width_; }
    double SecondsPerPixel() const { return span_ / width_; }

    void SetWidth(int widthPixels);
    // Shows [start, start + span), clamped.
    void Show(double start, double span);
    // Zooms in by `factor` (> 1 narrows the span, < 1 widens it) keeping the time at x `atX`
    // where it is on the screen.
    void Zoom(double factor, double atX);
    void ScrollSeconds(double seconds);
    void ScrollPixels(double pixels) { ScrollSeconds(pixels * SecondsPerPixel()); }
    // Puts `seconds` at the middle of the strip (as far as the ends allow).
    void CentreOn(double seconds);

    // x of a time (fractional pixels, 0 at the left edge), and the time at an x.
    double XOf(double seconds) const { return (seconds - start_) / SecondsPerPixel(); }
    double TimeAt(double x) const { return start_ + x * SecondsPerPixel(); }

private:
    double total_ = 0;
    int width_ = 1;
    double start_ = 0;
    double span_ = 0;
};

// One pixel column's extremes in physical units; `empty` when no sample falls into it (zoomed in
// beyond one sample a column).
struct EnvelopeColumn {
    float lo = 0;
    float hi = 0;
    bool empty = true;
};

// Minima and maxima of a channel's raw samples per block of 64, 4096 and 262144 samples, made once
// when a recording is opened (one pass), so that the envelope of any viewport costs the columns
// plus at most 2 x 63 elements of each level per column, not the samples in view. Memory: 8 bytes
// per 64 samples plus 1/64 of that above, about 0.13 byte a sample (4 MB for 24 hours at 360 Hz).
// Holds a reference to the channel, which must outlive it unchanged.
class EnvelopePyramid {
public:
    explicit EnvelopePyramid(const SignalChannel& channel);

    // The envelope of [view.Start(), view.Start() + view.Span()) on view.Width() columns. Sample i
    // (at i / rate seconds) belongs to column floor((i / rate - start) / SecondsPerPixel()).
    std::vector<EnvelopeColumn> Envelope(const StripViewport& view) const;
    // The same into `out` (resized to the width), its capacity kept.
    void EnvelopeInto(const StripViewport& view, std::vector<EnvelopeColumn>& out) const;

    // Smallest and largest raw sample of [first, last); last > first.
    void RawRange(std::size_t first, std::size_t last, std::int32_t& lo, std::int32_t& hi) const;

    std::size_t MemoryBytes() const;

private:
    struct MinMax {
        std::int32_t lo;
        std::int32_t hi;
    };
    void Range(std::size_t level, std::size_t first, std::size_t last, MinMax& acc) const;

    const SignalChannel& channel_;
    std::vector<std::vector<MinMax>> levels_; // levels_[k]: blocks of 64^(k + 1) samples
};

// How a beat is marked: as recorded, changed by the automatic correction (by the kind of
// artefact it was taken for), or changed by hand.
enum class BeatMark : std::uint8_t {
    Normal,
    Missed,    // a beat the correction inserted into an interval as long as two
    Extra,     // a beat the correction removed (its two intervals merged)
    Premature, // a premature beat the correction moved
    Misplaced, // a beat detected early or late moved back, or an out-of-line interval replaced
    Added,     // by hand
    Removed,   // by hand
    Moved,     // by hand
};

// The mark of a correction of `kind` (analysis/beat_correction.h): ectopic beats are premature;
// long and short intervals (noise, replaced from their neighbours) are shown as misplaced.
BeatMark MarkOfArtefact(std::uint8_t kind);

// "norm", "missed", "extra", "premature", "misplaced", "added", "removed", "moved": the names
// the beats file uses.
const char* BeatMarkName(BeatMark mark);
// The Russian name shown in the list of changes ("пропущенный", "лишний", ...).
const char* BeatMarkTitle(BeatMark mark);

// A beat as the strip and the rhythmogram show it. Beats that no longer count (removed by hand,
// or replaced by an accepted correction) keep a mark of what happened to them with present false.
struct MarkedBeat {
    std::int64_t sample = 0; // at the recording's beat rate
    BeatMark mark = BeatMark::Normal;
    bool present = true;
};

// A beat mark in view: its x, its time, the interval to the previous present beat (seconds; 0 for
// the first beat and for beats not present), its mark, and its index in the given beats.
struct StripMark {
    double x = 0;
    double seconds = 0;
    double interval = 0;
    BeatMark mark = BeatMark::Normal;
    bool present = true;
    std::size_t index = 0;
};

// The beats of `beats` (in time order) whose time lies in the viewport.
std::vector<StripMark> MarksInView(std::span<const MarkedBeat> beats, double beatRate,
                                   const StripViewport& view);

// The cursor readout at an x: the time, and the interval (seconds) of the present beats that
// contains it (from the last beat before to the first beat at or after); 0 outside the beats.
struct CursorReadout {
    double seconds = 0;
    double interval = 0;
};
CursorReadout ReadoutAt(std::span<const MarkedBeat> beats, double beatRate,
                        const StripViewport& view, double x);

} // namespace hrv
