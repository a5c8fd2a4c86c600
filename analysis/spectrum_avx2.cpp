// The transform of 4 bins at once, built for AVX2.
#include "analysis/spectrum_kernels.h"

#define HRV_VECTOR_DOUBLES 4
#include "analysis/spectrum_kernel.inc"

namespace hrv::kernels {

void BinSumsAvx2(const double* x, int samples, double sampleStep, const double* steps,
                 double* cosSums, double* sinSums) {
    RotationBinSums(x, samples, sampleStep, steps, cosSums, sinSums);
}

} // namespace hrv::kernels
