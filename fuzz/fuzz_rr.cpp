// RR file bytes as the Open command takes them: the words, the fragment filled from them and
// the whole analysis behind it, with the artefact correction on when the first header byte is
// odd (the reader ignores the header).
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
    f->Correct = size > 0 && (data[0] & 1) != 0 ? CorrectionMode::Auto : CorrectionMode::None;
    const bool analysed = AnalyseFragment(*f);
    if (f->Correct == CorrectionMode::Auto) {
        // The corrected series: 1..255 ticks, the input's duration unless cut at the capacity,
        // one mark per interval, artefacts in order within the input.
        const auto& c = f->Correction;
        FUZZ_CHECK(f->Corrected);
        FUZZ_CHECK(f->CorrectionInput == std::min(f->RrCount, kRrCapacity));
        FUZZ_CHECK(c.marks.size() == c.ticks.size());
        FUZZ_CHECK(c.ticks.size() <= static_cast<std::size_t>(kRrCapacity));
        std::int64_t in = 0;
        std::int64_t out = 0;
        for (std::int32_t k = 1; k <= f->CorrectionInput; ++k) {
            in += f->RrWords[k] >> 8;
        }
        for (std::size_t i = 0; i < c.ticks.size(); ++i) {
            FUZZ_CHECK(c.ticks[i] >= 1);
            FUZZ_CHECK(c.marks[i] <= static_cast<std::uint8_t>(ArtefactKind::Short));
            FUZZ_CHECK(f->RrTicks[i + 1] == c.ticks[i] && f->AnalysisSeries[i + 1] == c.ticks[i]);
            out += c.ticks[i];
        }
        FUZZ_CHECK(c.ticks.size() == static_cast<std::size_t>(kRrCapacity) ? out <= in : out == in);
        for (std::size_t i = 0; i < c.artefacts.size(); ++i) {
            FUZZ_CHECK(c.artefacts[i].index >= 0 && c.artefacts[i].index < f->CorrectionInput);
            FUZZ_CHECK(i == 0 || c.artefacts[i - 1].index < c.artefacts[i].index);
        }
        bool clean = c.artefacts.empty();
        for (std::size_t i = 0; clean && i < c.ticks.size(); ++i) {
            clean = c.marks[i] == 0 && static_cast<std::int32_t>(i) < f->CorrectionInput &&
                    c.ticks[i] == f->RrWords[i + 1] >> 8;
        }
        FUZZ_CHECK(clean == c.artefacts.empty()); // no artefact: the input as it was
    } else {
        for (std::int32_t k = 1; k <= std::min(f->RrCount, kRrCapacity); ++k) {
            FUZZ_CHECK(f->AnalysisSeries[k] == f->RrTicks[k]);
        }
    }
    if (analysed) {
        FUZZ_CHECK(f->FragmentCount <= kRrCapacity);
        // The statistics count the intervals analysed: the corrected ones when corrected.
        FUZZ_CHECK(
            f->FragmentCount <=
            (f->Corrected ? static_cast<std::int32_t>(f->Correction.ticks.size()) : f->RrCount));
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
