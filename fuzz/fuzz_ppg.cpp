// PPG file bytes as the Open command takes them: frames, pulses, the fragment filled from them
// and the whole analysis behind it.
#include "analysis/pipeline.h"
#include "files/fragment_load.h"
#include "files/ppg_decoder.h"
#include "fuzz/fuzz_support.h"

#include <algorithm>
#include <memory>
#include <vector>

// Input: a flags byte, then the file's bytes. Flag bit 0 repeats the bytes to a five-minute file
// (180,000 bytes), so a short pulse pattern reaches the whole analysis.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace hrv;
    constexpr std::size_t kFiveMinutes = 180000; // 30,000 frames of 6 bytes
    if (size == 0) {
        return 0;
    }
    static const auto w = std::make_unique<PpgWorkspace>();
    static const auto f = std::make_unique<FragmentData>();
    static std::vector<std::uint8_t> file;
    file.assign(data + 1, data + size);
    if ((data[0] & 1) != 0 && !file.empty()) {
        while (file.size() < kFiveMinutes) {
            file.insert(file.end(), data + 1,
                        data + 1 + std::min(size - 1, kFiveMinutes - file.size()));
        }
    }
    size = file.size();
    const bool accepted = DecodePpgBytes(file, *w);
    FUZZ_CHECK(accepted == (size >= kPpgMinBytes && size <= kPpgMaxBytes));
    FUZZ_CHECK(w->FrameCount >= 0 && w->FrameCount <= kPpgFrameCapacity);
    FUZZ_CHECK(w->PulseCount >= 0 && w->PulseCount <= kPulseCapacity);
    FUZZ_CHECK(w->PulseCount <= w->FrameCount);
    // Zeros after the pulses (a stretch as long as the input: the rest cannot have been reached).
    const auto from = static_cast<std::size_t>(w->PulseCount) + 1;
    const std::size_t to = std::min(w->PulseIntervals.size(), from + size);
    if (from < to) {
        const std::span<const std::uint8_t> rest(w->PulseIntervals);
        FUZZ_CHECK(fuzz::AllZero(rest.subspan(from, to - from)));
    }
    if (!accepted) {
        return 0;
    }
    TakePulses(*w, *f);
    FUZZ_CHECK(f->RrCount == std::min(w->PulseCount, kWordCapacity));
    for (std::int32_t k = 1; k <= std::min(f->RrCount, kRrCapacity); ++k) {
        FUZZ_CHECK(f->RrTicks[k] == w->PulseIntervals[k] && f->RrAux[k] == 0);
    }
    if (AnalyseFragment(*f)) {
        FUZZ_CHECK(f->FragmentCount <= kRrCapacity);
        FUZZ_CHECK(f->FragmentCount <= f->RrCount);
    }
    return 0;
}
