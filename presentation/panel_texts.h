// The texts of the two result panels: time-domain indices and spectral indices.
#pragma once

#include "analysis/fragment_data.h"

#include <string>

namespace hrv {

// Lines joined by "\r\n", no line end after the last one, one empty line inside; every label
// begins with a blank and is followed by a tab. Reals through FormatFixed with `separator`.
std::string StatPanelText(const FragmentData& f, char separator);
std::string SpecPanelText(const FragmentData& f, char separator);

} // namespace hrv
