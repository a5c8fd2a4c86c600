// The transform of 2 bins at once in plain C++ vectors, for every processor.
#include "analysis/spectrum_kernels.h"

#define HRV_VECTOR_DOUBLES 2
#include "analysis/spectrum_kernel.inc"

namespace hrv::kernels {

void BinSumsPortable(const double* x, int samples, double sampleStep, const double* steps,
                     double* cosSums, double* sinSums) {
    RotationBinSums(x, samples, sampleStep, steps, cosSums, sinSums);
}

} // namespace hrv::kernels
