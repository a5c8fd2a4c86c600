// The PPG file and its pulse detector.
#include "files/ppg_decoder.h"

#include "files/file_io.h"

#include <algorithm>
#include <cstdlib>

namespace hrv {

namespace {

constexpr int kSlopeSpan = 10;        // frames between the two samples of a slope
constexpr int kRegisterSlots = 10;    // recent slopes kept by the detector
constexpr int kSlopeThreshold = 35;   // the slope four steps back must exceed this
constexpr int kShortestInterval = 25; // ticks; an interval must be longer
constexpr int kLongestInterval = 250; // ticks; an interval must be shorter

// Finds the frames: a sync sample is taken only when the next one stands three samples later,
// so the search re-synchronises one sample at a time after any disturbance.
void FindFrames(std::span<const std::uint8_t> bytes, PpgWorkspace& w) {
    const std::size_t samples = bytes.size() / 2;
    auto sample = [&](std::size_t j) { return bytes[2 * (j - 1)]; }; // samples from 1
    std::int32_t frames = 0;
    std::size_t m = 1;
    while (samples >= 3 && m <= samples - 3) {
        if (sample(m) == kSyncSample && sample(m + 3) == kSyncSample) {
            ++frames;
            w.ChannelA[frames] = sample(m + 1);
            m += 3;
        } else {
            ++m;
        }
    }
    w.FrameCount = frames;
}

// Detects pulses on the upstroke: the turning point of the 10-frame slope, confirmed by the
// slope four steps back, gives a candidate beat; plausible intervals between candidates are kept.
void DetectPulses(PpgWorkspace& w) {
    std::array<int, kRegisterSlots + 1> slope{}; // slots 1..10; slot 1 = d(t-8), slot 5 = d(t-4)
    bool rising = false;
    bool peak = false;
    std::int32_t lastBeat = 0;
    std::int32_t lastInterval = 0;
    std::int32_t count = 0;
    for (std::int32_t t = 1; t <= w.FrameCount - kSlopeSpan; ++t) {
        const int d = w.ChannelA[t + kSlopeSpan] - w.ChannelA[t];
        slope[10] = d;
        for (int s = 1; s <= 9; ++s) {
            slope[s] = slope[s + 1];
        }
        if (d < slope[1]) {
            peak = rising;
            rising = false;
        } else {
            rising = true;
        }
        if (peak && slope[5] > kSlopeThreshold) {
            const std::int32_t interval = t - lastBeat;
            const std::int32_t previous = lastInterval;
            lastBeat = t;
            lastInterval = interval;
            if (PulseAccepted(interval, previous) && count < kPulseCapacity) {
                w.PulseIntervals[++count] = static_cast<std::uint8_t>(interval);
                w.PulseFrames[count] = t;
            }
        }
        peak = false;
    }
    w.PulseCount = count;
}

} // namespace

bool PulseAccepted(std::int32_t interval, std::int32_t previous) {
    return interval > kShortestInterval && interval < kLongestInterval &&
           2 * std::abs(interval - previous) < interval;
}

bool DecodePpgBytes(std::span<const std::uint8_t> bytes, PpgWorkspace& w) {
    // Only the positions the previous decode used can be non-zero.
    std::fill(w.PulseIntervals.begin(),
              w.PulseIntervals.begin() + std::clamp(w.PulseCount + 1, 1, kPulseCapacity + 1), 0);
    w.PulseCount = 0;
    w.FrameCount = 0;
    if (bytes.size() < kPpgMinBytes || bytes.size() > kPpgMaxBytes) {
        return false;
    }
    FindFrames(bytes, w);
    DetectPulses(w);
    return true;
}

bool DecodePpgFile(const std::string& path, PpgWorkspace& w) {
    ReadFileInto(path, kPpgReadLimit, w.FileImage);
    return DecodePpgBytes(w.FileImage, w);
}

} // namespace hrv
