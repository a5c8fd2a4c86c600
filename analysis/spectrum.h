// Power spectrum of the first 300 s of the rhythmogram and the frequency-domain indices.
#pragma once

#include "analysis/fragment_data.h"
#include "util/executor.h"

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
// The bins are spread over the threads of `executor` and evaluated several at once with the
// widest vectors the processor offers; the results do not depend on either.
// Cosine and sine come by rotation from values evaluated afresh every 64 samples, corrected for
// the rounding of each literal angle (analysis/spectrum_kernel.inc).
// `progress` is called on the calling thread, for k = 1..150 in order, as bins are finished.
void ComputeSpectrum(FragmentData& f, Executor& executor = Executor::CallingThreadOnly(),
                     const ProgressFn& progress = {});

// The same analysis evaluated literally, one bin after another with std::cos and std::sin: the
// reference the fast evaluation is checked and measured against.
void ComputeSpectrumReference(FragmentData& f);

// One bin of the literal direct transform over the windowed samples x[0..29999]; writes the
// three values of bin k. A pure function of its inputs, so bins may be computed in any order.
void ComputeSpectrumBin(const double* x, int k, double& cosSum, double& sinSum, double& power);

// The vector instruction sets the spectrum can use. Every path gives the same bits.
enum class SpectrumPath { Portable, Avx2, Avx512 };

// The widest path the processor (and this build) offers.
SpectrumPath BestSpectrumPath();
// The path ComputeSpectrum uses: BestSpectrumPath() unless UseSpectrumPath chose another.
SpectrumPath ActiveSpectrumPath();
// Makes ComputeSpectrum use `path`; returns false, changing nothing, when it is not available.
bool UseSpectrumPath(SpectrumPath path);
// "portable", "avx2" or "avx512".
const char* SpectrumPathName(SpectrumPath path);

// Clears the upper halves of the vector registers when the processor has AVX (vzeroupper), so
// that the plain arithmetic after it pays no penalty for wide vector code run before it, such as
// the C library's string routines.
void ClearUpperVectorState();

// The band powers and ratios of a finished spectrum (bins 1..150).
SpectralIndicesData ComputeSpectralIndices(const SpectrumData& sp);

} // namespace hrv
