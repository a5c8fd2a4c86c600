// The nonlinear indices of a fragment: Poincaré SD1 and SD2, sample entropy, the scaling
// exponents of detrended fluctuation analysis and the stress index. Computed only on request;
// nothing of the fragment's other results depends on them.
#pragma once

#include "analysis/fragment_data.h"

#include <cstdint>
#include <optional>
#include <span>

namespace hrv {

// Indices that can be undefined hold no value then (never a number).
struct NonlinearIndices {
    double SD1 = 0; // ms: sample standard deviation of successive differences / sqrt(2)
    double SD2 = 0; // ms: the same of successive sums / sqrt(2)
    std::optional<double> SD1SD2;    // none when SD2 is 0
    std::optional<double> SampEn;    // m = 2, r = 0.2 SD; none when no match of either length
    std::optional<double> DFAAlpha1; // box sizes 4..16; none below 64 intervals
    std::optional<double> DFAAlpha2; // box sizes 16..64; none below 256 intervals
    std::optional<double> SI;        // Baevsky's stress index; none when DX is 0
};

// The indices of the intervals `ticks` (10 ms ticks, at least 3), with the mode, its share and
// the range of the histogram from `t` for the stress index.
NonlinearIndices ComputeNonlinear(std::span<const std::uint8_t> ticks, const TimeIndicesData& t);

// The same over RrTicks[1..FragmentCount] of an analysed fragment.
NonlinearIndices ComputeNonlinear(const FragmentData& f);

} // namespace hrv
