// Power spectrum of the first 300 s of the rhythmogram and the frequency-domain indices.
#include "analysis/spectrum.h"

#include "analysis/spectrum_kernels.h"
#include "util/large_pages.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <numbers>

namespace hrv {

namespace {

constexpr int kWindowDenominator = kSpectrumSamples - 1; // 29999
constexpr double kWindowLowEdge = 0.003;                 // Hz, lower edge of VLF and Total
constexpr double kLfLowEdge = 0.04;                      // Hz
constexpr double kHfLowEdge = 0.15;                      // Hz
constexpr double kHfHighEdge = 0.4;                      // Hz, upper edge of HF and Total

// The Blackman window at sample j, times 100; zero at both ends.
double WindowFactor(int j) {
    constexpr double twoPi = 2 * std::numbers::pi;
    constexpr double fourPi = 4 * std::numbers::pi;
    const double w1 = std::cos(j * twoPi / kWindowDenominator);
    const double w2 = std::cos(j * fourPi / kWindowDenominator);
    return (42 - 50 * w1) + 8 * w2;
}

// The window factors of every sample, evaluated once for the run: the same values as evaluating
// them again for each analysis, with a quarter fewer cosines. The second angle of sample j,
// j * 4pi / N, is exactly the first angle of sample 2j, 2j * 2pi / N (doubling is exact), so its
// cosine is taken from there while 2j is a sample.
struct WindowTable {
    std::array<double, kSpectrumSamples> factor;
    WindowTable() {
        constexpr double twoPi = 2 * std::numbers::pi;
        constexpr double fourPi = 4 * std::numbers::pi;
        // First the cosine of each sample's first angle; then, in increasing j, the factor. Slot
        // 2j, read for sample j, still holds its cosine: it is overwritten at sample 2j, not
        // before.
        for (int j = 0; j < kSpectrumSamples; ++j) {
            factor[static_cast<std::size_t>(j)] = std::cos(j * twoPi / kWindowDenominator);
        }
        for (int j = 0; j < kSpectrumSamples; ++j) {
            const double w1 = factor[static_cast<std::size_t>(j)];
            const double w2 = 2 * j < kSpectrumSamples ? factor[static_cast<std::size_t>(2 * j)]
                                                       : std::cos(j * fourPi / kWindowDenominator);
            factor[static_cast<std::size_t>(j)] = (42 - 50 * w1) + 8 * w2;
        }
    }
};

template <class Factor> void RemoveMeanAndWindow(double* x, Factor&& factor) {
    double sum = 0;
    for (int j = 0; j < kSpectrumSamples; ++j) {
        sum += x[j];
    }
    const double mean = sum / kSpectrumSamples;
    for (int j = 0; j < kSpectrumSamples; ++j) {
        x[j] -= mean;
    }
    for (int j = 0; j < kSpectrumSamples; ++j) {
        x[j] = factor(j) * x[j] / 100;
    }
}

double BinStep(int k) {
    return k * kAngleFactor * kBinSpacing;
}

double BinPower(double c, double s) {
    return (c * c + s * s) * (kSampleStep * 2) / kSpectrumSamples;
}

#if defined(HRV_X86_KERNELS)
bool HasAvx() {
    static const bool avx = __builtin_cpu_supports("avx");
    return avx;
}

__attribute__((target("avx"))) void ZeroUpperHalves() {
    __builtin_ia32_vzeroupper();
}
#endif

struct PathInfo {
    kernels::BinSumsFn sums;
    int lanes;
};

PathInfo Info(SpectrumPath path) {
    switch (path) {
#if defined(HRV_X86_KERNELS)
    case SpectrumPath::Avx512:
        return {kernels::BinSumsAvx512, kernels::kAvx512Lanes};
    case SpectrumPath::Avx2:
        return {kernels::BinSumsAvx2, kernels::kAvx2Lanes};
#endif
    default:
        return {kernels::BinSumsPortable, kernels::kPortableLanes};
    }
}

bool Available(SpectrumPath path) {
#if defined(HRV_X86_KERNELS)
    __builtin_cpu_init();
    switch (path) {
    case SpectrumPath::Avx512:
        return __builtin_cpu_supports("avx512f");
    case SpectrumPath::Avx2:
        return __builtin_cpu_supports("avx2");
    case SpectrumPath::Portable:
        return true;
    }
    return false;
#else
    return path == SpectrumPath::Portable;
#endif
}

std::atomic<int> chosenPath{-1}; // a SpectrumPath, or -1 for the best one

} // namespace

void ComputeSpectrumBin(const double* x, int k, double& cosSum, double& sinSum, double& power) {
    // Each angle is evaluated directly, multiplied left to right: no recurrence, so every bin and
    // every sample stands alone.
    const double step = BinStep(k);
    double c = 0;
    double s = 0;
    for (int j = 0; j < kSpectrumSamples; ++j) {
        const double theta = step * j * kSampleStep;
        c += std::cos(theta) * x[j];
        s += std::sin(theta) * x[j];
    }
    cosSum = c;
    sinSum = s;
    power = BinPower(c, s);
}

void ComputeSpectrumReference(FragmentData& f) {
    double* x = f.ResampleBuffer.data();
    RemoveMeanAndWindow(x, WindowFactor);
    auto& sp = f.Spectrum;
    for (int k = 1; k <= kBinCount; ++k) {
        ComputeSpectrumBin(x, k, sp.CosSum[k], sp.SinSum[k], sp.Power[k]);
    }
    f.SpectralIndices = ComputeSpectralIndices(sp);
}

void ComputeSpectrum(FragmentData& f, Executor& executor, const ProgressFn& progress) {
    const PathInfo path = Info(ActiveSpectrumPath());
    kernels::EvaluateSpectrum(f, executor, progress, path.sums, path.lanes);
}

void kernels::EvaluateSpectrum(FragmentData& f, Executor& executor, const ProgressFn& progress,
                               BinSumsFn sums, int lanes) {
    ClearUpperVectorState();
    // On a large page: a table of 240 KB on 4 KB pages costs some sixty page faults in a new
    // process, more than its cosines on a virtual machine. Kept to the end of the process, as
    // static storage is, for analyses still running while it exits.
    static const WindowTable& window = *MakeOnLargePages<WindowTable>().release();
    double* x = f.ResampleBuffer.data();
    RemoveMeanAndWindow(x, [](int j) { return window.factor[static_cast<std::size_t>(j)]; });

    // Bins 1..150 in groups of as many bins as the vectors hold; each group is one task. The
    // lanes past bin 150 of the last group repeat bin 150 and are dropped.
    const int groups = (kBinCount + lanes - 1) / lanes;
    auto& sp = f.Spectrum;
    executor.RunInOrder(
        groups,
        [&](int g) {
            ClearUpperVectorState();
            constexpr int kMaxLanes = kernels::kAvx512Lanes;
            std::array<double, kMaxLanes> steps{};
            std::array<double, kMaxLanes> cosSums{};
            std::array<double, kMaxLanes> sinSums{};
            const int first = 1 + g * lanes;
            for (int i = 0; i < lanes; ++i) {
                steps[static_cast<std::size_t>(i)] = BinStep(std::min(first + i, kBinCount));
            }
            sums(x, kSpectrumSamples, kSampleStep, steps.data(), cosSums.data(), sinSums.data());
            for (int i = 0; i < lanes && first + i <= kBinCount; ++i) {
                const auto k = static_cast<std::size_t>(first + i);
                const double c = cosSums[static_cast<std::size_t>(i)];
                const double s = sinSums[static_cast<std::size_t>(i)];
                sp.CosSum[k] = c;
                sp.SinSum[k] = s;
                sp.Power[k] = BinPower(c, s);
            }
        },
        [&](int g) {
            const int first = 1 + g * lanes;
            for (int k = first; progress && k < first + lanes && k <= kBinCount; ++k) {
                progress(k);
            }
        });

    f.SpectralIndices = ComputeSpectralIndices(sp);
}

SpectrumPath BestSpectrumPath() {
    static const SpectrumPath best = Available(SpectrumPath::Avx512) ? SpectrumPath::Avx512
                                     : Available(SpectrumPath::Avx2) ? SpectrumPath::Avx2
                                                                     : SpectrumPath::Portable;
    return best;
}

SpectrumPath ActiveSpectrumPath() {
    const int chosen = chosenPath.load();
    return chosen < 0 ? BestSpectrumPath() : static_cast<SpectrumPath>(chosen);
}

bool UseSpectrumPath(SpectrumPath path) {
    if (!Available(path)) {
        return false;
    }
    chosenPath.store(static_cast<int>(path));
    return true;
}

const char* SpectrumPathName(SpectrumPath path) {
    switch (path) {
    case SpectrumPath::Avx512:
        return "avx512";
    case SpectrumPath::Avx2:
        return "avx2";
    case SpectrumPath::Portable:
        break;
    }
    return "portable";
}

void ClearUpperVectorState() {
#if defined(HRV_X86_KERNELS)
    if (HasAvx()) {
        ZeroUpperHalves();
    }
#endif
}

SpectralIndicesData ComputeSpectralIndices(const SpectrumData& sp) {
    // Band powers. Because the spacing is held slightly above 1/300 Hz, bins 12, 45 and 120 lie
    // just above the edges 0.04, 0.15 and 0.4 Hz.
    SpectralIndicesData r;
    for (int k = 1; k <= kBinCount; ++k) {
        const double freq = k * kBinSpacing;
        const double p = sp.Power[k] * kBinSpacing;
        if (freq >= kWindowLowEdge && freq < kHfHighEdge) {
            r.Total += p;
        }
        if (freq >= kWindowLowEdge && freq < kLfLowEdge) {
            r.VLF += p;
        }
        if (freq >= kLfLowEdge && freq < kHfLowEdge) {
            r.LF += p;
        }
        if (freq >= kHfLowEdge && freq < kHfHighEdge) {
            r.HF += p;
        }
    }
    // Ratios from the unscaled powers; a zero divisor leaves the ratio at 0.
    const double lfHf = r.Total - r.VLF;
    if (lfHf != 0) {
        r.LFnorm = r.LF * 100 / lfHf;
        r.HFnorm = r.HF * 100 / lfHf;
    }
    if (r.HF != 0) {
        r.LFHF = r.LF / r.HF;
    }
    r.Total *= kBandPowerScale;
    r.VLF *= kBandPowerScale;
    r.LF *= kBandPowerScale;
    r.HF *= kBandPowerScale;
    return r;
}

} // namespace hrv
