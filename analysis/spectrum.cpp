// Power spectrum of the first 300 s of the rhythmogram and the frequency-domain indices.
#include "analysis/spectrum.h"

#include <cmath>
#include <numbers>

namespace hrv {

namespace {

constexpr int kWindowDenominator = kSpectrumSamples - 1; // 29999
constexpr double kWindowLowEdge = 0.003;                 // Hz, lower edge of VLF and Total
constexpr double kLfLowEdge = 0.04;                      // Hz
constexpr double kHfLowEdge = 0.15;                      // Hz
constexpr double kHfHighEdge = 0.4;                      // Hz, upper edge of HF and Total

void RemoveMeanAndWindow(double* x) {
    double sum = 0;
    for (int j = 0; j < kSpectrumSamples; ++j) {
        sum += x[j];
    }
    const double mean = sum / kSpectrumSamples;
    for (int j = 0; j < kSpectrumSamples; ++j) {
        x[j] -= mean;
    }
    // Blackman window, zero at both ends.
    constexpr double twoPi = 2 * std::numbers::pi;
    constexpr double fourPi = 4 * std::numbers::pi;
    for (int j = 0; j < kSpectrumSamples; ++j) {
        const double w1 = std::cos(j * twoPi / kWindowDenominator);
        const double w2 = std::cos(j * fourPi / kWindowDenominator);
        x[j] = ((42 - 50 * w1) + 8 * w2) * x[j] / 100;
    }
}

} // namespace

void ComputeSpectrumBin(const double* x, int k, double& cosSum, double& sinSum, double& power) {
    // Each angle is evaluated directly, multiplied left to right: no recurrence, so every bin and
    // every sample stands alone.
    const double step = k * kAngleFactor * kBinSpacing;
    double c = 0;
    double s = 0;
    for (int j = 0; j < kSpectrumSamples; ++j) {
        const double theta = step * j * kSampleStep;
        c += std::cos(theta) * x[j];
        s += std::sin(theta) * x[j];
    }
    cosSum = c;
    sinSum = s;
    power = (c * c + s * s) * (kSampleStep * 2) / kSpectrumSamples;
}

void ComputeSpectrum(FragmentData& f, const ProgressFn& progress) {
    double* x = f.ResampleBuffer.data();
    RemoveMeanAndWindow(x);

    auto& sp = f.Spectrum;
    for (int k = 1; k <= kBinCount; ++k) {
        ComputeSpectrumBin(x, k, sp.CosSum[k], sp.SinSum[k], sp.Power[k]);
        if (progress) {
            progress(k);
        }
    }

    f.SpectralIndices = ComputeSpectralIndices(sp);
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
