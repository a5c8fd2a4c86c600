// Resampling of the interval series to 100 Hz: the rhythmogram.
#pragma once

#include "analysis/fragment_data.h"

namespace hrv {

inline constexpr std::int32_t kRequiredTicks = 30000; // 300 s of data after the start interval

// Resamples AnalysisSeries from position `start` + 1 on into ResampleBuffer (one sample per
// 10 ms tick) and copies slots 1..300000 into Rhythmogram. Returns false, writing nothing, when
// the intervals after `start` add up to less than 30000 ticks; otherwise sets FragmentCount to
// the number of intervals before the one that completes 300 s, less one.
bool Resample(FragmentData& f, std::int32_t start = 1);

} // namespace hrv
