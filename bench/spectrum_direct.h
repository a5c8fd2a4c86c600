// The spectrum's evaluation before rotation, every angle's cosine and sine evaluated afresh: the
// benchmark measures the analysis against it. Built into rvx_bench only.
#pragma once

#include "analysis/fragment_data.h"
#include "util/executor.h"

namespace hrv::bench {

// One build per vector instruction set, as the analysis's BinSums* (analysis/spectrum_kernels.h).
void DirectBinSumsPortable(const double* x, int samples, double sampleStep, const double* steps,
                           double* cosSums, double* sinSums);
#if defined(HRV_X86_KERNELS)
void DirectBinSumsAvx2(const double* x, int samples, double sampleStep, const double* steps,
                       double* cosSums, double* sinSums);
void DirectBinSumsAvx512(const double* x, int samples, double sampleStep, const double* steps,
                         double* cosSums, double* sinSums);
#endif

// ComputeSpectrum with the DirectBinSums* of the active path. Gives the same results within the
// rounding of each angle's sine and cosine.
void ComputeSpectrumDirect(FragmentData& f, Executor& executor);

} // namespace hrv::bench
