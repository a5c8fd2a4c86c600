// The walk of the artefact correction: from the first beat, one decision of the path search per
// input beat, the intervals each gives laid end to end. It runs twice: the first pass, with
// statistics from the input alone, marks the artefacts, so that the second pass measures
// against statistics of the series without them, which a long run of artefacts (bigeminy, a
// stretch at half rate) cannot capture.
#include "analysis/correction_stages.h"

namespace hrv::correction {

void Walk(const PathSearch& search, PassResult& out) {
    const int n = search.Intervals();
    out.beats.assign(1, 0.0);
    out.marks.clear();
    out.artefacts.clear();
    out.beats.reserve(static_cast<std::size_t>(n) + 1);
    out.marks.reserve(static_cast<std::size_t>(n));
    State s{0.0, 1, search.Level(0)};
    std::uint8_t pending = 0; // the mark a moved or dropped beat leaves on the next interval
    while (s.j <= n) {
        const Decision d = search.Decide(s);
        Emit e;
        State next;
        search.Take(s, d, e, next);
        ArtefactKind kind = ArtefactKind::Long;
        switch (d.op) {
        case Op::Keep:
            break;
        case Op::Drop:
            kind = ArtefactKind::Extra;
            break;
        case Op::Insert:
            kind = ArtefactKind::Missed;
            break;
        case Op::Move:
            kind = search.MoveKind(s, e.x[0]);
            break;
        }
        if (d.op != Op::Keep) {
            out.artefacts.push_back({s.j - 1, kind}); // the interval that ends at beat j
        }
        double t = s.t;
        for (int p = 0; p < e.count; ++p) {
            t += e.x[static_cast<std::size_t>(p)];
            out.beats.push_back(p + 1 == e.count ? next.t : t);
            out.marks.push_back(d.op != Op::Keep ? static_cast<std::uint8_t>(kind) : pending);
        }
        if (d.op == Op::Move || d.op == Op::Drop) {
            pending = static_cast<std::uint8_t>(kind);
        } else {
            pending = 0;
        }
        s = next;
    }
}

void CorrectTimes(const std::vector<std::int64_t>& times, const Tuning& k, PassResult& out) {
    std::vector<Beat> beats = InputBeats(times);
    ScalesFromInput(beats, k);
    PassResult first;
    Walk(PathSearch(beats, k, k.firstHorizon), first);
    ScalesFromPass(beats, first, k);
    Walk(PathSearch(beats, k, k.horizon), out);
    ReplaceNoise(times, k, out);
}

} // namespace hrv::correction
