// rvx-cli analyze --format text: the results of a file as a person at a terminal reads them.
#pragma once

#include "analysis/fragment_data.h"

#include <string>
#include <string_view>

namespace hrv::cli {

// A heading line naming the file, then, when `error` is empty, the lines of the window's two
// result panels (time-domain, then spectral; the same labels, units and decimal separator) with
// each label padded to one column, or else the error; an empty line ends the block. With
// `nonlinear` a third block holds the nonlinear indices ("-" where undefined).
std::string TextResult(const std::string& path, const FragmentData& f, std::string_view error,
                       char separator, bool nonlinear = false);

} // namespace hrv::cli
