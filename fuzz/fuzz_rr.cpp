// RR file bytes as the Open command takes them: the words, the fragment filled from them and
// the whole analysis behind it.
#include "analysis/pipeline.h"
#include "files/fragment_load.h"
#include "files/rr_file.h"
#include "fuzz/fuzz_support.h"

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace hrv;
    static const auto f = std::make_unique<FragmentData>(); // about 5 MB: made once
    ParseRrBytes({data, size}, *f);
    const auto words = static_cast<std::int32_t>(
        std::min((size > kRrHeaderBytes ? size - kRrHeaderBytes : 0) / 2, kRrDataLimit / 2));
    FUZZ_CHECK(f->RrCount == words);
    FUZZ_CHECK(f->RrCount >= 0 && f->RrCount <= kWordCapacity);
    for (std::int32_t k = 1; k <= f->RrCount; ++k) {
        const auto at = kRrHeaderBytes + 2 * static_cast<std::size_t>(k - 1);
        FUZZ_CHECK(f->RrWords[k] == data[at] + 256 * data[at + 1]);
    }
    TakeRrWords(*f);
    for (std::int32_t k = 1; k <= std::min(f->RrCount, kRrCapacity); ++k) {
        FUZZ_CHECK(f->RrTicks[k] * 256 + f->RrAux[k] == f->RrWords[k]);
        FUZZ_CHECK(f->AnalysisSeries[k] == f->RrTicks[k]);
    }
    if (AnalyseFragment(*f)) {
        FUZZ_CHECK(f->FragmentCount <= kRrCapacity);
        FUZZ_CHECK(f->FragmentCount <= f->RrCount);
        std::int64_t classes = 0;
        for (const std::int32_t n : f->Histogram) {
            FUZZ_CHECK(n >= 0);
            classes += n;
        }
        FUZZ_CHECK(classes <= f->FragmentCount);
    }
    FUZZ_CHECK(f->RrCount <= kWordCapacity);
    return 0;
}
