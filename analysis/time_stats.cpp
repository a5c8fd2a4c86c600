// Time-domain indices, interval histogram and scatter map of the analysed fragment.
#include "analysis/time_stats.h"

#include <cassert>
#include <cmath>
#include <cstdlib>

namespace hrv {

namespace {

constexpr int kNoMinClass = 250; // MinClass when no class is occupied
constexpr int kNn50LimitMs = 50; // successive differences above this count in NN50
constexpr std::int32_t kMsPerMinute = 60000;

// Interval k in milliseconds.
double Ms(const FragmentData& f, int k) {
    return static_cast<double>(f.RrTicks[k] * 10);
}

} // namespace

void BuildHistogram(FragmentData& f) {
    const int n = f.FragmentCount;
    assert(n >= 1 && n <= kRrCapacity);
    auto& t = f.TimeIndices;
    f.Histogram.fill(0);
    for (int k = 1; k <= n; ++k) {
        ++f.Histogram[f.RrTicks[k]];
    }
    t.MinClass = kNoMinClass;
    t.MaxClass = 0;
    t.ModeCount = 0;
    for (int c = 0; c < kClassCount; ++c) {
        if (f.Histogram[c] != 0) {
            t.MinClass = c;
            break;
        }
    }
    // Among equal highest counts the lowest class wins.
    for (int c = 0; c < kClassCount; ++c) {
        if (f.Histogram[c] > t.ModeCount) {
            t.ModeCount = f.Histogram[c];
            t.ModeClass = c;
        }
    }
    for (int c = kClassCount - 1; c >= 0; --c) {
        if (f.Histogram[c] != 0) {
            t.MaxClass = c;
            break;
        }
    }
    t.HRVind = n / t.ModeCount;
    t.TINN = t.HRVind * 20;
    t.AMo = t.ModeCount * 100 / n;
}

void BuildScatterMap(FragmentData& f) {
    const int n = f.FragmentCount;
    f.ScatterMap.fill(0);
    // A later pair overwrites an earlier one with the same following interval.
    for (int k = 1; k <= n - 1; ++k) {
        f.ScatterMap[f.RrTicks[k + 1]] = f.RrTicks[k];
    }
}

void ComputeSdnnHr(FragmentData& f) {
    const int n = f.FragmentCount;
    double sum = 0;
    for (int k = 1; k <= n; ++k) {
        sum += Ms(f, k);
    }
    const double mean = sum / n;
    double ss = 0;
    for (int k = 1; k <= n; ++k) {
        const double dev = Ms(f, k) - mean;
        ss += dev * dev;
    }
    f.TimeIndices.SDNN = std::sqrt(ss / n); // population standard deviation
    f.TimeIndices.HR = kMsPerMinute / RoundEven(mean);
}

void ComputeRmssd(FragmentData& f) {
    const int n = f.FragmentCount;
    double ss = 0;
    for (int k = 1; k <= n - 1; ++k) {
        const double diff = Ms(f, k) - Ms(f, k + 1);
        ss += diff * diff;
    }
    f.TimeIndices.RMSSD = std::sqrt(ss / (n - 1));
}

void ComputeNn50(FragmentData& f) {
    const int n = f.FragmentCount;
    int count = 0;
    for (int k = 1; k <= n - 1; ++k) {
        if (std::abs(f.RrTicks[k] * 10 - f.RrTicks[k + 1] * 10) > kNn50LimitMs) {
            ++count;
        }
    }
    f.TimeIndices.NN50 = count;
    f.TimeIndices.pNN50 =
        f.TimeIndices.NN50 / n * 100; // relative to the intervals, not the differences
}

void ComputeStatistics(FragmentData& f) {
    BuildHistogram(f);
    BuildScatterMap(f);
    ComputeSdnnHr(f);
    ComputeRmssd(f);
    ComputeNn50(f);
}

} // namespace hrv
