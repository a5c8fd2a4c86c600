// The analysis of the current fragment without any display: resampling, spectrum, statistics.
#include "analysis/pipeline.h"

#include "analysis/resampling.h"
#include "analysis/time_stats.h"

#include <algorithm>

namespace hrv {

namespace {

// Puts the series the analysis is to run on into RrTicks and AnalysisSeries: the corrected one
// when the correction is on; otherwise the intervals as read, restored from RrWords when an
// earlier analysis of this fragment had corrected them.
void PrepareSeries(FragmentData& f) {
    const int held = std::clamp(f.RrCount, 0, kRrCapacity);
    if (f.Correct == CorrectionMode::None) {
        if (f.Corrected) {
            std::fill(f.AnalysisSeries.begin(), f.AnalysisSeries.end(), 0);
            for (int k = 1; k <= held; ++k) {
                const auto ticks = static_cast<std::uint8_t>(f.RrWords[k] >> 8);
                f.RrTicks[k] = ticks;
                f.AnalysisSeries[k] = ticks;
            }
            f.Corrected = false;
        }
        f.CorrectionInput = 0;
        f.Correction.ticks.clear();
        f.Correction.marks.clear();
        f.Correction.artefacts.clear();
        return;
    }
    std::array<std::uint8_t, kRrCapacity> input{};
    for (int k = 1; k <= held; ++k) {
        input[static_cast<std::size_t>(k - 1)] = static_cast<std::uint8_t>(f.RrWords[k] >> 8);
    }
    CorrectBeats(std::span(input.data(), static_cast<std::size_t>(held)), f.Correction);
    const int count = std::min(static_cast<int>(f.Correction.ticks.size()), kRrCapacity);
    f.Correction.ticks.resize(static_cast<std::size_t>(count));
    f.Correction.marks.resize(static_cast<std::size_t>(count));
    std::fill(f.AnalysisSeries.begin(), f.AnalysisSeries.end(), 0);
    for (int k = 1; k <= count; ++k) {
        const std::uint8_t ticks = f.Correction.ticks[static_cast<std::size_t>(k - 1)];
        f.RrTicks[k] = ticks;
        f.AnalysisSeries[k] = ticks;
    }
    f.CorrectionInput = held;
    f.Corrected = true;
}

} // namespace

bool AnalyseFragment(FragmentData& f, Executor& executor, const ProgressFn& progress,
                     const std::function<void()>& accepted) {
    // Plain arithmetic throughout: start with clean vector registers, whatever ran before.
    ClearUpperVectorState();
    PrepareSeries(f);
    if (!Resample(f, 1)) {
        return false;
    }
    if (accepted) {
        accepted();
    }
    ComputeSpectrum(f, executor, progress);
    ClearUpperVectorState();
    ComputeStatistics(f);
    return true;
}

} // namespace hrv
