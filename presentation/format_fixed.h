// The conversions of results to text: reals in fixed notation (precision 6, d decimals),
// integers as plain digits, and the classes of intervals in milliseconds.
#pragma once

#include "analysis/fragment_data.h"

#include <cstdint>
#include <string>

namespace hrv {

// Rounds `value` half away from zero (on its exact binary value) to 6 significant digits and,
// independently, to `decimals` digits after the point; the coarser applies. Up to 6 integer
// digits: fixed notation with exactly `decimals` decimals after `separator`. Otherwise the
// scientific form: 1234567 gives "1.23457E6", 2000000 gives "2E6".
std::string FormatFixed(double value, int decimals, char separator);

// An integer as plain decimal digits, whatever the locale.
std::string IntegerText(std::int64_t value);

// The mode ("Moda") and the variation range ("DX") of the interval classes, in milliseconds
// (classes are 10 ms ticks).
inline std::int64_t ModeMs(const TimeIndicesData& t) {
    return std::int64_t{t.ModeClass} * 10;
}
inline std::int64_t RangeMs(const TimeIndicesData& t) {
    return (std::int64_t{t.MaxClass} - t.MinClass) * 10;
}

} // namespace hrv
