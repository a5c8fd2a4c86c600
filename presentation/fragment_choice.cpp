// The analysed fragment on a long recording.
#include "presentation/fragment_choice.h"

#include "presentation/clock_text.h"

#include <algorithm>
#include <cmath>

namespace hrv {

namespace {

double Seconds(const Beat& b, double rate) {
    return static_cast<double>(b.sample) / rate;
}

std::int64_t TicksOf(double seconds) {
    return static_cast<std::int64_t>(std::llround(seconds * kTicksPerSecond));
}

} // namespace

FragmentChoice ChooseFragment(std::span<const Beat> beats, double beatRate, double total,
                              double start) {
    FragmentChoice f;
    f.total = std::max(0.0, total);
    f.length = std::min(kFragmentSeconds, f.total);
    const double latest = f.total - f.length;
    f.start = std::clamp(std::isfinite(start) ? start : 0.0, 0.0, latest);
    if (beats.empty() || !(beatRate > 0)) {
        return f;
    }
    const auto after =
        std::lower_bound(beats.begin(), beats.end(), f.start,
                         [beatRate](const Beat& b, double t) { return Seconds(b, beatRate) < t; });
    double best = -1;
    if (after != beats.end() && Seconds(*after, beatRate) <= latest) {
        best = Seconds(*after, beatRate);
    }
    if (after != beats.begin()) {
        const double before = Seconds(*(after - 1), beatRate);
        if (before >= 0 && before <= latest && (best < 0 || f.start - before < best - f.start)) {
            best = before;
        }
    }
    if (best < 0) {
        // No beat leaves a whole fragment near the start asked for: the latest one that does.
        const auto last = std::upper_bound(
            beats.begin(), beats.end(), latest,
            [beatRate](double t, const Beat& b) { return t < Seconds(b, beatRate); });
        if (last != beats.begin() && Seconds(*(last - 1), beatRate) >= 0) {
            best = Seconds(*(last - 1), beatRate);
        }
    }
    if (best >= 0) {
        f.start = best;
    }
    return f;
}

std::string FragmentLabel(const FragmentChoice& f) {
    return ClockText(TicksOf(f.start)) + "–" + ClockText(TicksOf(f.End())) + " из " +
           DurationText(TicksOf(f.total));
}

BeatRange FragmentBeats(std::span<const Beat> beats, double beatRate, const FragmentChoice& f) {
    BeatRange range;
    if (!(beatRate > 0)) {
        return range;
    }
    const auto first =
        std::lower_bound(beats.begin(), beats.end(), f.start,
                         [beatRate](const Beat& b, double t) { return Seconds(b, beatRate) < t; });
    const auto last =
        std::upper_bound(first, beats.end(), f.End(),
                         [beatRate](double t, const Beat& b) { return t < Seconds(b, beatRate); });
    range.first = static_cast<std::size_t>(first - beats.begin());
    range.last = static_cast<std::size_t>(last - beats.begin());
    return range;
}

std::vector<std::int32_t> FragmentTicks(const SignalRecording& r, const FragmentChoice& f) {
    const BeatRange range = FragmentBeats(r.beats, r.beatRate, f);
    SignalRecording part;
    part.beatRate = r.beatRate;
    part.beats.assign(r.beats.begin() + static_cast<std::ptrdiff_t>(range.first),
                      r.beats.begin() + static_cast<std::ptrdiff_t>(range.last));
    return IntervalTicks(part);
}

std::vector<EnvelopeColumn> HeartRateOverview(std::span<const Beat> beats, double beatRate,
                                              double total, int width) {
    std::vector<EnvelopeColumn> columns(static_cast<std::size_t>(std::max(1, width)));
    if (!(beatRate > 0) || !(total > 0)) {
        return columns;
    }
    const double perColumn = total / static_cast<double>(columns.size());
    for (std::size_t k = 1; k < beats.size(); ++k) {
        const double interval =
            static_cast<double>(beats[k].sample - beats[k - 1].sample) / beatRate;
        if (!(interval > 0)) {
            continue;
        }
        const double c = std::floor(Seconds(beats[k], beatRate) / perColumn);
        if (c < 0 || c >= static_cast<double>(columns.size())) {
            continue;
        }
        const auto rate = static_cast<float>(60.0 / interval);
        EnvelopeColumn& e = columns[static_cast<std::size_t>(c)];
        e.lo = e.empty ? rate : std::min(e.lo, rate);
        e.hi = e.empty ? rate : std::max(e.hi, rate);
        e.empty = false;
    }
    return columns;
}

} // namespace hrv
