// Times of a recording as the program writes them: "03:25:00", "24:03:10".
#pragma once

#include <cstdint>
#include <string>

namespace hrv {

// A time of the recording as a clock shows it: hours (at least two digits), minutes and seconds,
// "03:25:00"; `ticks` from 0, the part of a second dropped.
std::string ClockText(std::int64_t ticks);

// A length of a recording as hours without leading zero, minutes and seconds, "24:03:10"; the
// part of a second dropped.
std::string DurationText(std::int64_t ticks);

} // namespace hrv
