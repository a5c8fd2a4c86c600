// The transform of a group of bins, one build per vector instruction set (internal to the
// analysis). Every build gives the same bits; they differ only in how many bins they take at once.
// BinSums* obtain cosine and sine by rotation.
#pragma once

#include "analysis/fragment_data.h"
#include "analysis/spectrum.h"
#include "util/executor.h"

namespace hrv::kernels {

// Bins taken at once by each build.
inline constexpr int kPortableLanes = 2;
inline constexpr int kAvx2Lanes = 4;
inline constexpr int kAvx512Lanes = 8;

// For each of the build's lanes i: cosSums[i] and sinSums[i] are the sums of cos(theta) * x[j] and
// sin(theta) * x[j] over j = 0..samples-1 in increasing order, theta = steps[i] * j * sampleStep.
using BinSumsFn = void (*)(const double* x, int samples, double sampleStep, const double* steps,
                           double* cosSums, double* sinSums);

// Plain C++ (the processor's baseline vectors): runs everywhere.
void BinSumsPortable(const double* x, int samples, double sampleStep, const double* steps,
                     double* cosSums, double* sinSums);

#if defined(HRV_X86_KERNELS)
// Only to be called when the processor has AVX2 (AVX-512F): built with -mavx2 (-mavx512f).
void BinSumsAvx2(const double* x, int samples, double sampleStep, const double* steps,
                 double* cosSums, double* sinSums);
void BinSumsAvx512(const double* x, int samples, double sampleStep, const double* steps,
                   double* cosSums, double* sinSums);
#endif

// ComputeSpectrum with `sums` taking `lanes` bins at once (at most kAvx512Lanes): the bins in
// groups of that many, each group one task of `executor`.
void EvaluateSpectrum(FragmentData& f, Executor& executor, const ProgressFn& progress,
                      BinSumsFn sums, int lanes);

} // namespace hrv::kernels
