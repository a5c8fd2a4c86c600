// Resampling of the interval series to 100 Hz: the rhythmogram.
#include "analysis/resampling.h"

#include <algorithm>

namespace hrv {

bool Resample(FragmentData& f, std::int32_t start) {
    const auto& a = f.AnalysisSeries;

    // Duration: the position m at which the running total first reaches 300 s fixes
    // FragmentCount; the scan always runs to the end of the series.
    std::int32_t total = 0;
    bool complete = false;
    std::uint16_t fragmentCount = 0;
    for (std::int32_t p = start + 1; p <= kSeriesCapacity; ++p) {
        total += a[p];
        if (!complete && total >= kRequiredTicks) {
            complete = true;
            fragmentCount = static_cast<std::uint16_t>(p - 1 - start);
        }
    }
    if (!complete) {
        return false;
    }
    f.FragmentCount = fragmentCount;

    // Linear interpolation: the span of interval v starts at the previous length w and moves
    // toward v, one sample per tick. Samples past slot 300000 have no room and are dropped.
    auto& buf = f.ResampleBuffer;
    std::int32_t c = 0;
    for (std::int32_t p = start + 1; p <= kSeriesCapacity && c <= kLastSampleSlot; ++p) {
        const int v = a[p];
        if (v == 0) {
            continue;
        }
        const int w = a[p - 1];
        const double d = static_cast<double>(v - w) / v;
        const int n = std::min(v, kLastSampleSlot + 1 - c);
        for (int j = 0; j < n; ++j) {
            buf[c + j] = w + j * d;
        }
        c += v;
    }

    std::copy(buf.begin() + 1, buf.end(), f.Rhythmogram.begin() + 1);
    return true;
}

} // namespace hrv
