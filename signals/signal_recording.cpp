// A recording of signals and beats, and its intervals in ticks.
#include "signals/signal_recording.h"

#include <algorithm>
#include <cmath>

namespace hrv {

namespace {

template <class T> void FillPhysical(const SignalChannel& c, std::size_t first, std::span<T> out) {
    const double scale = 1.0 / c.gain;
    const std::size_t n = std::min(out.size(), c.Size() - std::min(first, c.Size()));
    // Two loops, one per storage, so that each is a plain conversion the compiler vectorises.
    if (c.raw32.empty()) {
        const std::int16_t* in = c.raw16.data() + first;
        for (std::size_t i = 0; i < n; ++i) {
            out[i] = static_cast<T>((in[i] - c.baseline) * scale);
        }
    } else {
        const std::int32_t* in = c.raw32.data() + first;
        for (std::size_t i = 0; i < n; ++i) {
            out[i] = static_cast<T>((in[i] - c.baseline) * scale);
        }
    }
}

} // namespace

void SignalChannel::PhysicalInto(std::vector<float>& out) const {
    out.resize(Size());
    FillPhysical<float>(*this, 0, out);
}

void SignalChannel::PhysicalInto(std::vector<double>& out) const {
    out.resize(Size());
    FillPhysical<double>(*this, 0, out);
}

void SignalChannel::PhysicalInto(std::size_t first, std::span<float> out) const {
    FillPhysical<float>(*this, first, out);
}

int SignalRecording::ChannelIndex(const std::string& label) const {
    for (std::size_t k = 0; k < channels.size(); ++k) {
        if (channels[k].name == label) {
            return static_cast<int>(k);
        }
    }
    return -1;
}

std::vector<std::int32_t> IntervalTicks(const SignalRecording& r) {
    std::vector<std::int32_t> ticks;
    if (r.beats.size() < 2 || !(r.beatRate > 0)) {
        return ticks;
    }
    ticks.reserve(r.beats.size() - 1);
    // sample * 100 is exact (below 2^53) and its quotient correctly rounded, so a time that is
    // exactly half a tick stays a half and rounds up.
    const double rate = r.beatRate;
    const auto tickOf = [rate](std::int64_t sample) {
        const double t = static_cast<double>(sample) * kTicksPerSecond / rate;
        return static_cast<std::int64_t>(std::floor(t + 0.5));
    };
    std::int64_t previous = tickOf(r.beats.front().sample);
    for (std::size_t k = 1; k < r.beats.size(); ++k) {
        const std::int64_t tick = tickOf(r.beats[k].sample);
        ticks.push_back(static_cast<std::int32_t>(tick - previous));
        previous = tick;
    }
    return ticks;
}

std::vector<std::uint16_t> RecordWords(const SignalRecording& r) {
    if (!r.fileWords.empty()) {
        return r.fileWords;
    }
    const std::vector<std::int32_t> ticks = IntervalTicks(r);
    std::vector<std::uint16_t> words(ticks.size());
    std::transform(ticks.begin(), ticks.end(), words.begin(), [](std::int32_t t) {
        return static_cast<std::uint16_t>(std::clamp(t, 0, kMaxIntervalTicks) * 256);
    });
    return words;
}

std::vector<double> BeatIntervalsMs(const SignalRecording& r) {
    std::vector<double> ms;
    if (r.beats.size() < 2 || !(r.beatRate > 0)) {
        return ms;
    }
    ms.reserve(r.beats.size() - 1);
    for (std::size_t k = 1; k < r.beats.size(); ++k) {
        ms.push_back(static_cast<double>(r.beats[k].sample - r.beats[k - 1].sample) * 1000.0 /
                     r.beatRate);
    }
    return ms;
}

SignalRecording RecordingFromWords(std::span<const std::uint16_t> words, BeatSource source) {
    SignalRecording r;
    r.beatRate = kTicksPerSecond;
    r.beats.reserve(words.size() + 1);
    std::int64_t at = 0;
    r.beats.push_back(Beat{at, source, BeatKind::Unknown, 0});
    for (const std::uint16_t w : words) {
        at += w >> 8;
        r.beats.push_back(Beat{at, source, BeatKind::Unknown, 0});
    }
    return r;
}

} // namespace hrv
