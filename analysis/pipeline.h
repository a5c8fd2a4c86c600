// The analysis of the current fragment without any display: resampling, spectrum, statistics.
#pragma once

#include "analysis/fragment_data.h"
#include "analysis/spectrum.h"

#include <functional>

namespace hrv {

// Puts the series to analyse into RrTicks and AnalysisSeries (corrected when f.Correct asks for
// it, see FragmentData), then runs Resample(1); when it rejects the fragment returns false and
// changes no result. Otherwise runs `accepted` (if any), then ComputeSpectrum on `executor` with
// `progress` and ComputeStatistics, and returns true. The window wraps this with its progress
// dialog and the charts.
bool AnalyseFragment(FragmentData& f, Executor& executor = Executor::CallingThreadOnly(),
                     const ProgressFn& progress = {}, const std::function<void()>& accepted = {});

} // namespace hrv
