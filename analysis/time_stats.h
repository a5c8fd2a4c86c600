// Time-domain indices, interval histogram and scatter map of the analysed fragment.
#pragma once

#include "analysis/fragment_data.h"

namespace hrv {

// Run in this order by ComputeStatistics over RrTicks[1..FragmentCount]. Each reads only RrTicks
// and FragmentCount (and what an earlier step wrote) and writes its part of the results.
void BuildHistogram(FragmentData& f);
void BuildScatterMap(FragmentData& f);
void ComputeSdnnHr(FragmentData& f);
void ComputeRmssd(FragmentData& f);
void ComputeNn50(FragmentData& f);

// All five. Needs FragmentCount >= 2 (a successful resampling guarantees at least 117).
void ComputeStatistics(FragmentData& f);

} // namespace hrv
