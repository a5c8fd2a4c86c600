// Durations in 10 ms ticks, the unit of every RR interval the program holds: the conversions
// to milliseconds and seconds by name, instead of a bare 10 or 100 at each use.
#pragma once

#include <cstdint>

namespace hrv {

inline constexpr int kMsPerTick = 10; // one tick is 10 ms
inline constexpr int kTicksPerSecond = 100;
inline constexpr int kMaxIntervalTicks = 255; // the longest interval a tick byte holds, 2.55 s

constexpr double TicksToMs(double ticks) {
    return ticks * kMsPerTick;
}

constexpr double TicksToSeconds(double ticks) {
    return ticks / kTicksPerSecond;
}

constexpr std::int64_t MsToTicks(std::int64_t ms) {
    return ms / kMsPerTick;
}

constexpr double SecondsToTicks(double seconds) {
    return seconds * kTicksPerSecond;
}

} // namespace hrv
