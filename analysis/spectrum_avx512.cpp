// The transform of 8 bins at once, built for AVX-512.
#include "analysis/spectrum_kernels.h"

#define HRV_VECTOR_DOUBLES 8
#include "analysis/spectrum_kernel.inc"

namespace hrv::kernels {

void BinSumsAvx512(const double* x, int samples, double sampleStep, const double* steps,
                   double* cosSums, double* sinSums) {
    RotationBinSums(x, samples, sampleStep, steps, cosSums, sinSums);
}

} // namespace hrv::kernels
