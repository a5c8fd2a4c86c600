// Artefact beats: the correction's entry. The input intervals (10 ms ticks) are turned into beat
// times, the stages correct the beats (correction_stages.h) and the corrected beat times are
// turned back into whole ticks, so the intervals still add up to the input's.
//
// What a correction depends on: the decision at a beat reads the beats before it as corrected,
// the three beats after it and the statistics of windows around it: the first pass's spread over
// 90 beats on either side and its level over 45, the second pass's statistics over 45 intervals
// of the first pass's result on either side. So an interval's correction depends on the
// intervals before it and on at most about 150 intervals after it, never on data minutes later;
// a stretch of noise that runs past that is replaced whole.
#include "analysis/beat_correction.h"

#include "analysis/correction_stages.h"

#include <algorithm>
#include <cmath>
#include <iterator>

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

void CorrectBeats(std::span<const std::uint8_t> ticks, BeatCorrection& out,
                  const correction::Tuning& tuning) {
    out.ticks.clear();
    out.marks.clear();
    out.artefacts.clear();
    // An interval of 0 ticks is a beat on top of the one before it: it is dropped first, and the
    // corrected interval that holds its place is marked.
    std::vector<std::int64_t> times{0};
    std::vector<std::int32_t> inputIndex; // the input interval of each positive interval
    times.reserve(ticks.size() + 1);
    inputIndex.reserve(ticks.size());
    std::vector<Artefact> zeros;
    std::vector<std::int64_t> zeroTimes;
    for (std::size_t i = 0; i < ticks.size(); ++i) {
        if (ticks[i] == 0) {
            zeros.push_back({static_cast<std::int32_t>(i), ArtefactKind::Extra});
            zeroTimes.push_back(times.back());
            continue;
        }
        times.push_back(times.back() + ticks[i]);
        inputIndex.push_back(static_cast<std::int32_t>(i));
    }
    const std::size_t n = times.size() - 1;
    correction::PassResult r;
    if (n >= 4) {
        correction::CorrectTimes(times, tuning, r);
    } else {
        r.beats.assign(times.begin(), times.end());
        r.marks.assign(n, 0);
    }
    // Beat times to whole ticks: kept beats are whole already, placed ones are rounded. Placed
    // beats are at least kMinPart apart, so no interval rounds to 0.
    std::int64_t last = 0;
    for (std::size_t i = 1; i < r.beats.size(); ++i) {
        const auto t = static_cast<std::int64_t>(std::nearbyint(r.beats[i]));
        out.ticks.push_back(static_cast<std::uint8_t>(t - last));
        out.marks.push_back(r.marks[i - 1]);
        last = t;
    }
    for (Artefact& a : r.artefacts) {
        a.index = inputIndex[static_cast<std::size_t>(a.index)];
    }
    out.artefacts.reserve(r.artefacts.size() + zeros.size());
    std::merge(r.artefacts.begin(), r.artefacts.end(), zeros.begin(), zeros.end(),
               std::back_inserter(out.artefacts),
               [](const Artefact& x, const Artefact& y) { return x.index < y.index; });
    std::size_t at = 0;
    std::int64_t end = out.ticks.empty() ? 0 : out.ticks[0];
    for (const std::int64_t t : zeroTimes) {
        while (at + 1 < out.ticks.size() && end < t) {
            ++at;
            end += out.ticks[at];
        }
        if (at < out.marks.size() && out.marks[at] == 0) {
            out.marks[at] = static_cast<std::uint8_t>(ArtefactKind::Extra);
        }
    }
}

} // namespace hrv
