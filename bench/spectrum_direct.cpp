// The spectrum's evaluation before rotation, 2 bins at once in plain C++ vectors.
#include "bench/spectrum_direct.h"

#include "analysis/spectrum.h"
#include "analysis/spectrum_kernels.h"

#define HRV_VECTOR_DOUBLES 2
#include "analysis/spectrum_kernel.inc"

namespace hrv::bench {

void DirectBinSumsPortable(const double* x, int samples, double sampleStep, const double* steps,
                           double* cosSums, double* sinSums) {
    DirectBinSums(x, samples, sampleStep, steps, cosSums, sinSums);
}

void ComputeSpectrumDirect(FragmentData& f, Executor& executor) {
    switch (ActiveSpectrumPath()) {
#if defined(HRV_X86_KERNELS)
    case SpectrumPath::Avx512:
        kernels::EvaluateSpectrum(f, executor, {}, DirectBinSumsAvx512, kernels::kAvx512Lanes);
        return;
    case SpectrumPath::Avx2:
        kernels::EvaluateSpectrum(f, executor, {}, DirectBinSumsAvx2, kernels::kAvx2Lanes);
        return;
#endif
    default:
        kernels::EvaluateSpectrum(f, executor, {}, DirectBinSumsPortable, kernels::kPortableLanes);
    }
}

} // namespace hrv::bench
