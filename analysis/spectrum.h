// Power spectrum of the first 300 s of the rhythmogram and the frequency-domain indices.
#pragma once

#include "analysis/fragment_data.h"

#include <functional>

namespace hrv {

inline constexpr double kSampleStep = 0.01;        // s between samples (one tick)
inline constexpr double kBinSpacing = 1.0 / 300.0; // Hz, the double nearest 1/300
inline constexpr double kAngleFactor = 6.283;      // the transform's angle factor (not 2*pi)
inline constexpr double kBandPowerScale = 1000.0;  // band powers are reported times 1000

// Called with k = 1..150 after bin k is finished.
using ProgressFn = std::function<void(int)>;

// Removes the mean of ResampleBuffer slots 0..29999, applies the Blackman window in place,
// evaluates the direct transform at bins 1..150 into Spectrum and derives SpectralIndices.
void ComputeSpectrum(FragmentData& f, const ProgressFn& progress = {});

// One bin of the direct transform over the windowed samples x[0..29999]; writes the three
// values of bin k. A pure function of its inputs, so bins may be computed in any order.
void ComputeSpectrumBin(const double* x, int k, double& cosSum, double& sinSum, double& power);

// The band powers and ratios of a finished spectrum (bins 1..150).
SpectralIndicesData ComputeSpectralIndices(const SpectrumData& sp);

} // namespace hrv
