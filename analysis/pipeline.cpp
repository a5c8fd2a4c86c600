// The analysis of the current fragment without any display: resampling, spectrum, statistics.
#include "analysis/pipeline.h"

#include "analysis/resampling.h"
#include "analysis/time_stats.h"

namespace hrv {

bool AnalyseFragment(FragmentData& f, const ProgressFn& progress,
                     const std::function<void()>& accepted) {
    // Plain arithmetic throughout: start with clean vector registers, whatever ran before.
    ClearUpperVectorState();
    if (!Resample(f, 1)) {
        return false;
    }
    if (accepted) {
        accepted();
    }
    ComputeSpectrum(f, progress);
    ClearUpperVectorState();
    ComputeStatistics(f);
    return true;
}

} // namespace hrv
