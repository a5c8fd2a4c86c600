// Noise in the artefact correction: a stretch where corrections crowd together (a burst of
// noise), or whose mean interval is well off the intervals around it, is replaced by as many
// beats as it holds at the level around it, placed so that the chain of intervals with their
// corrected neighbours has the least sum of squared successive differences.
#include "analysis/correction_stages.h"

#include <algorithm>
#include <cmath>

namespace hrv::correction {

// Stretches where corrections crowd together are noise. When the corrected stretch holds
// corrections of different classes, or its mean interval is well off the level of the intervals
// around it, its beats are replaced by as many as its duration fits at that level, placed
// smoothly between the intervals on either side; its intervals are marked long (beats were
// added) or short.
void ReplaceNoise(const std::vector<std::int64_t>& times, const Tuning& tuning, PassResult& p) {
    std::vector<double> around;
    std::vector<double> x;
    // The series as corrected so far: p's intervals before `copied` with the stretches
    // among them replaced. p itself is read as it was; its artefacts from `from` on may still
    // fall in a stretch (they are in order of time).
    std::vector<double> beats{p.beats[0]};
    std::vector<std::uint8_t> marks;
    beats.reserve(p.beats.size());
    marks.reserve(p.marks.size());
    std::size_t copied = 0;
    std::size_t from = 0;
    // The artefacts as the marks: p's before `kept`, and for a stretch replaced, every input
    // interval in it with the stretch's mark in place of the corrections found there.
    std::vector<Artefact> artefacts;
    artefacts.reserve(p.artefacts.size());
    std::size_t kept = 0;
    const auto copyTo = [&](std::size_t upto) {
        for (; copied < upto; ++copied) {
            marks.push_back(p.marks[copied]);
            beats.push_back(p.beats[copied + 1]);
        }
    };
    std::size_t i = 0;
    while (i < p.marks.size()) {
        if (p.marks[i] == 0) {
            ++i;
            continue;
        }
        const std::size_t first = i;
        std::size_t last = i;
        std::size_t gap = 0;
        for (std::size_t k = i + 1; k < p.marks.size(); ++k) {
            if (p.marks[k] != 0) {
                last = k;
                gap = 0;
            } else if (++gap > static_cast<std::size_t>(tuning.noiseGap)) {
                break;
            }
        }
        i = last + 1;
        const double start = p.beats[first];
        const double end = p.beats[last + 1];
        while (from < p.artefacts.size() &&
               static_cast<double>(times[static_cast<std::size_t>(p.artefacts[from].index) + 1]) <=
                   start) {
            ++from;
        }
        int count = 0;
        unsigned classes = 0;
        for (std::size_t a = from; a < p.artefacts.size(); ++a) {
            const Artefact& artefact = p.artefacts[a];
            if (static_cast<double>(times[static_cast<std::size_t>(artefact.index)]) >= end) {
                break;
            }
            ++count;
            classes |= artefact.kind == ArtefactKind::Missed  ? 1u
                       : artefact.kind == ArtefactKind::Extra ? 2u
                                                              : 4u;
        }
        if (count < tuning.noiseCount) {
            continue;
        }
        copyTo(first);
        around.clear();
        for (std::size_t k = marks.size(), taken = 0;
             k-- > 0 && taken < static_cast<std::size_t>(tuning.noiseLevelBeats);) {
            if (marks[k] == 0) {
                around.push_back(beats[k + 1] - beats[k]);
                ++taken;
            }
        }
        for (std::size_t k = last + 1, taken = 0;
             k < p.marks.size() && taken < static_cast<std::size_t>(tuning.noiseLevelBeats); ++k) {
            if (p.marks[k] == 0) {
                around.push_back(p.beats[k + 1] - p.beats[k]);
                ++taken;
            }
        }
        if (around.size() < 4) {
            continue;
        }
        const double level = Median(around);
        const double duration = end - start;
        const int parts = std::max(1, static_cast<int>(std::lround(duration / level)));
        const int had = static_cast<int>(last + 1 - first);
        const bool mixed = classes != 1u && classes != 2u && classes != 4u;
        const bool fits = std::fabs(duration / had - level) <= tuning.noiseFit * level;
        if (!mixed && (parts == had || fits)) {
            continue;
        }
        const double before = first > 0 ? beats.back() - beats[beats.size() - 2] : level;
        const double after =
            last + 1 < p.marks.size() ? p.beats[last + 2] - p.beats[last + 1] : level;
        x.resize(static_cast<std::size_t>(parts));
        if (!PlaceBeats(duration, parts, before, after, x.data())) {
            continue;
        }
        const auto mark =
            static_cast<std::uint8_t>(parts > had ? ArtefactKind::Long : ArtefactKind::Short);
        double t = start;
        for (int q = 0; q + 1 < parts; ++q) {
            t += x[static_cast<std::size_t>(q)];
            beats.push_back(t);
        }
        beats.push_back(end);
        marks.insert(marks.end(), static_cast<std::size_t>(parts), mark);
        copied = last + 1;
        // The stretch starts and ends on input beats (the intervals on either side are kept).
        const auto edge = [&](double time) {
            return static_cast<std::size_t>(
                std::lower_bound(times.begin(), times.end(), static_cast<std::int64_t>(time)) -
                times.begin());
        };
        const std::size_t inFirst = edge(start);
        const std::size_t inEnd = edge(end);
        for (; kept < p.artefacts.size() &&
               static_cast<std::size_t>(p.artefacts[kept].index) < inFirst;
             ++kept) {
            artefacts.push_back(p.artefacts[kept]);
        }
        while (kept < p.artefacts.size() &&
               static_cast<std::size_t>(p.artefacts[kept].index) < inEnd) {
            ++kept;
        }
        for (std::size_t in = inFirst; in < inEnd; ++in) {
            artefacts.push_back({static_cast<std::int32_t>(in), static_cast<ArtefactKind>(mark)});
        }
    }
    copyTo(p.marks.size());
    artefacts.insert(artefacts.end(), p.artefacts.begin() + static_cast<std::ptrdiff_t>(kept),
                     p.artefacts.end());
    p.beats.swap(beats);
    p.marks.swap(marks);
    p.artefacts.swap(artefacts);
}

} // namespace hrv::correction
