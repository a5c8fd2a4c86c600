// The spectrum's evaluation before rotation, 4 bins at once, built for AVX2.
#include "bench/spectrum_direct.h"

#define HRV_VECTOR_DOUBLES 4
#include "analysis/spectrum_kernel.inc"

namespace hrv::bench {

void DirectBinSumsAvx2(const double* x, int samples, double sampleStep, const double* steps,
                       double* cosSums, double* sinSums) {
    DirectBinSums(x, samples, sampleStep, steps, cosSums, sinSums);
}

} // namespace hrv::bench
