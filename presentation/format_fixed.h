// The one conversion of reals to text: fixed notation, precision 6, d decimals.
#pragma once

#include <string>

namespace hrv {

// Rounds `value` half away from zero (on its exact binary value) to 6 significant digits and,
// independently, to `decimals` digits after the point; the coarser applies. Up to 6 integer
// digits: fixed notation with exactly `decimals` decimals after `separator`. Otherwise the
// scientific form: 1234567 gives "1.23457E6", 2000000 gives "2E6".
std::string FormatFixed(double value, int decimals, char separator);

} // namespace hrv
