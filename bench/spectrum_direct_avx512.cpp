// The spectrum's evaluation before rotation, 8 bins at once, built for AVX-512.
#include "bench/spectrum_direct.h"

#define HRV_VECTOR_DOUBLES 8
#include "analysis/spectrum_kernel.inc"

namespace hrv::bench {

void DirectBinSumsAvx512(const double* x, int samples, double sampleStep, const double* steps,
                         double* cosSums, double* sinSums) {
    DirectBinSums(x, samples, sampleStep, steps, cosSums, sinSums);
}

} // namespace hrv::bench
