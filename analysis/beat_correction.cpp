// Artefact beats: found and corrected on beat times.
#include "analysis/beat_correction.h"

#include <algorithm>

namespace hrv {

const char* ArtefactKindName(ArtefactKind kind) {
    switch (kind) {
    case ArtefactKind::Missed:
        return "missed";
    case ArtefactKind::Extra:
        return "extra";
    case ArtefactKind::Ectopic:
        return "ectopic";
    case ArtefactKind::Misplaced:
        return "misplaced";
    case ArtefactKind::Long:
        return "long";
    case ArtefactKind::Short:
        break;
    }
    return "short";
}

// PROVISIONAL: a placeholder until the real detector lands. It only splits an interval at least
// 1.8 times both neighbours into two halves ("missed"), so that the layers above can be built and
// tested against a correction that changes something.
void CorrectBeats(std::span<const std::uint8_t> ticks, BeatCorrection& out) {
    out.ticks.clear();
    out.marks.clear();
    out.artefacts.clear();
    const std::size_t n = ticks.size();
    for (std::size_t i = 0; i < n; ++i) {
        const int v = ticks[i];
        const int before = i > 0 ? ticks[i - 1] : v;
        const int after = i + 1 < n ? ticks[i + 1] : v;
        if (i > 0 && i + 1 < n && v * 10 >= before * 18 && v * 10 >= after * 18) {
            const auto half = static_cast<std::uint8_t>(v / 2);
            out.ticks.push_back(half);
            out.ticks.push_back(static_cast<std::uint8_t>(v - half));
            out.marks.push_back(static_cast<std::uint8_t>(ArtefactKind::Missed));
            out.marks.push_back(static_cast<std::uint8_t>(ArtefactKind::Missed));
            out.artefacts.push_back({static_cast<std::int32_t>(i), ArtefactKind::Missed});
            continue;
        }
        out.ticks.push_back(ticks[i]);
        out.marks.push_back(0);
    }
}

} // namespace hrv
