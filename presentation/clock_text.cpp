// Times of a recording as the program writes them.
#include "presentation/clock_text.h"

#include "analysis/ticks.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace hrv {

namespace {

// Two digits of a clock, "07".
std::string TwoDigits(std::int64_t v) {
    return std::string{static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)};
}

std::string Clock(std::int64_t ticks, int hourDigits) {
    const std::int64_t seconds = std::max<std::int64_t>(ticks, 0) / kTicksPerSecond;
    const std::int64_t hours = seconds / 3600;
    std::array<char, 24> buf{};
    const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), hours);
    std::string text(buf.data(), r.ptr);
    if (static_cast<int>(text.size()) < hourDigits) {
        text.insert(0, static_cast<std::size_t>(hourDigits) - text.size(), '0');
    }
    return text + ":" + TwoDigits(seconds / 60 % 60) + ":" + TwoDigits(seconds % 60);
}

} // namespace

std::string ClockText(std::int64_t ticks) {
    return Clock(ticks, 2);
}

std::string DurationText(std::int64_t ticks) {
    return Clock(ticks, 1);
}

} // namespace hrv
