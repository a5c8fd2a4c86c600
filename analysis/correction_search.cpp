// The path search of the artefact correction: for the input beat at hand, whether it is kept,
// dropped (an extra beat: its two intervals merge), moved (a premature or misplaced beat: placed
// between its neighbours, the beats around it stay where they are) or whether beats are inserted
// before it (missed beats: a long interval is split). Each decision is the cheapest of the
// possible paths over the next few beats, where a path costs
//   - for every interval it gives, a robust (Huber) cost of its difference from the interval
//     before it, already corrected, in units of the local spread of successive differences, plus
//     a small cost of its distance from the local level;
//   - for every correction, a penalty: fixed ones for dropping and inserting, and for moving a
//     beat a multiple of the local jitter, plus a term for how far the moved pair's sum is from
//     its neighbours' (a moved beat keeps the sum of its two intervals).
// A beat is corrected only when that makes the series so much smoother than the natural variation
// around it that the penalty is paid; a clean series gives no decision but keep.
#include "analysis/correction_stages.h"
#include "analysis/ticks.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace hrv::correction {

namespace {

// Huber's cost of a difference u (in spreads): square near zero, linear beyond the knee.
double Rho(double u, double knee) {
    const double a = std::fabs(u);
    return a <= knee ? 0.5 * a * a : knee * a - 0.5 * knee * knee;
}

// The interval beats are inserted against: between the last one and the level.
double InsertReference(const State& s, double level) {
    return 0.5 * (s.a + level);
}

// Only an interval at least half as long again as the reference may hold a missed beat.
bool CanInsert(const State& s, double x1, double level) {
    const double ref = InsertReference(s, level);
    return ref > 0 && x1 >= 1.5 * ref;
}

constexpr double kUnbounded = std::numeric_limits<double>::infinity();

} // namespace

bool PlaceBeats(double total, int parts, double a, double b, double* x) {
    const Placement place(total, parts, a, b);
    for (int i = 1; i <= parts; ++i) {
        const double v = place(i);
        if (!Placement::Fits(v)) {
            return false;
        }
        x[i - 1] = v;
    }
    return true;
}

PathSearch::Here PathSearch::At(const State& s) const {
    const Beat& b = at_[static_cast<std::size_t>(s.j)];
    Here h{b};
    if (s.j < n_) {
        const Beat& after = at_[static_cast<std::size_t>(s.j + 1)];
        h.afterTime = after.time;
        h.afterNext = after.next;
    }
    h.x1 = b.time - s.t;
    return h;
}

// Cost of an interval x that follows `prev` where the spread of successive differences, the
// level and its spread are b's. An interval a correction made is held closer to the level.
double PathSearch::Cost(double x, double prev, const Beat& b, bool made) const {
    return Rho((x - prev) / b.spread, k_.knee) + (made ? k_.levelWeightMade : k_.levelWeight) *
                                                     Rho((x - b.level) / b.levelSpread, k_.knee);
}

// The next raw interval (when `given`) as a neighbour for placing beats: kept within a few
// spreads of `a`.
double PathSearch::RightNeighbour(bool given, double raw, double a, double spread) const {
    if (!given) {
        return a;
    }
    const double limit = k_.rightClamp * spread;
    return std::clamp(raw, a - limit, a + limit);
}

// Applies decision d at state s (seen as h): the intervals it gives, the next state and their
// cost (penalty aside). False when the decision cannot be taken there, and also once the cost
// with `penalty` reaches `bound` while intervals are inserted (costs only add up: the path is
// then no better than one already found).
bool PathSearch::Apply(const State& s, const Here& h, const Decision& d, State& next, double& cost,
                       Emit* out, double penalty, double bound) const {
    const int j = s.j;
    const Beat& b = h.beat;
    const double x1 = h.x1;
    cost = 0;
    double x = x1; // the interval a keep or a move gives
    switch (d.op) {
    case Op::Keep:
        next = {b.time, j + 1, x1};
        break;
    case Op::Drop:
        if (j >= n_ || h.afterTime - s.t > kMaxIntervalTicks) {
            return false;
        }
        next = {s.t, j + 1, s.a, true};
        if (out != nullptr) {
            out->count = 0;
        }
        return true;
    case Op::Move: {
        if (j >= n_) {
            return false;
        }
        const double total = h.afterTime - s.t;
        const double right = RightNeighbour(j + 1 < n_, h.afterNext, s.a, b.spread);
        const double lo = std::max(kMinPart, total - kMaxPart);
        const double hi = std::min(total - kMinPart, kMaxPart);
        if (!(lo <= hi)) {
            return false;
        }
        // The least-squares place between the neighbours (see PlaceBeats, two parts).
        x = std::clamp(0.5 * total + (s.a - right) / 6, lo, hi);
        next = {s.t + x, j + 1, x};
        break;
    }
    case Op::Insert: {
        // As PlaceBeats, costed as the intervals come (nothing is kept while searching).
        const double right = RightNeighbour(j < n_, b.next, s.a, b.spread);
        if (d.parts < 2 || d.parts > kMaxParts) {
            return false;
        }
        const Placement place(x1, d.parts, s.a, right);
        double prev = s.a;
        for (int i = 1; i <= d.parts; ++i) {
            const double v = place(i);
            if (!Placement::Fits(v)) {
                return false;
            }
            cost += Cost(v, prev, b, true);
            if (cost + penalty >= bound) {
                return false;
            }
            if (out != nullptr) {
                out->x[static_cast<std::size_t>(i - 1)] = v;
            }
            prev = v;
        }
        if (out != nullptr) {
            out->count = d.parts;
        }
        next = {b.time, j + 1, prev};
        return true;
    }
    }
    cost += Cost(x, s.a, b, d.op != Op::Keep);
    if (out != nullptr) {
        out->x[0] = x;
        out->count = 1;
    }
    return true;
}

double PathSearch::MovePenalty(const State& s, const Here& h) const {
    double p = k_.penaltyMove * h.beat.jitter;
    if (s.j < n_) {
        // A moved beat leaves the sum of its two intervals as it was: a true one's sum matches
        // the intervals around the pair.
        const double pair = h.afterTime - s.t;
        const double after = s.j + 1 < n_ ? h.afterNext : s.a;
        p += k_.pairWeight * std::fabs(pair - s.a - after) / h.beat.spread;
    }
    return p;
}

double PathSearch::Penalty(const State& s, const Here& h, const Decision& d) const {
    switch (d.op) {
    case Op::Keep:
        return 0;
    case Op::Drop:
        return k_.penaltyDrop;
    case Op::Move:
        return MovePenalty(s, h);
    case Op::Insert:
        // After a dropped beat an insertion moves a beat: it costs at least a move.
        return k_.penaltyInsert * (d.parts - 1) +
               (s.dropped ? std::max(0.0, MovePenalty(s, h) - k_.penaltyDrop) : 0.0);
    }
    return 0;
}

// The decisions worth trying at state s.
int PathSearch::Candidates(const State& s, const Here& h, std::array<Decision, 8>& c) const {
    int count = 0;
    c[static_cast<std::size_t>(count++)] = {Op::Keep, 1};
    if (s.j < n_) {
        c[static_cast<std::size_t>(count++)] = {Op::Drop, 1};
        c[static_cast<std::size_t>(count++)] = {Op::Move, 1};
    }
    if (CanInsert(s, h.x1, h.beat.level)) {
        const double fits = h.x1 / InsertReference(s, h.beat.level);
        const int m = fits < kMaxParts + 2 ? static_cast<int>(std::lround(fits)) : kMaxParts + 2;
        for (int p = std::max(2, m - 1); p <= std::min(kMaxParts, m + 1); ++p) {
            c[static_cast<std::size_t>(count++)] = {Op::Insert, p};
        }
    }
    return count;
}

// The cost of the interval that follows s when it is kept.
double PathSearch::KeepCost(const State& s) const {
    if (s.j > n_) {
        return 0.0;
    }
    const Beat& b = at_[static_cast<std::size_t>(s.j)];
    return Cost(b.time - s.t, s.a, b, false);
}

// The cost at the end of the horizon: the best single decision for the next beat, so that a path
// is not charged for an artefact just beyond its reach. A decision that leaves a beat off the
// input (moved or dropped) also pays for the interval after it. A result of `bound` or more only
// says that it is not below `bound`.
double PathSearch::Terminal(const State& s, double bound) const {
    if (s.j > n_) {
        return 0;
    }
    const Here h = At(s);
    std::array<Decision, 8> c;
    const int count = Candidates(s, h, c);
    double best = bound;
    for (int i = 0; i < count; ++i) {
        const Decision& d = c[static_cast<std::size_t>(i)];
        const double penalty = Penalty(s, h, d);
        State next;
        double cost = 0;
        if (penalty >= best || !Apply(s, h, d, next, cost, nullptr, penalty, best)) {
            continue;
        }
        cost += penalty;
        if (d.op == Op::Move || d.op == Op::Drop) {
            cost += KeepCost(next);
        }
        best = std::min(best, cost);
    }
    return best;
}

// The least cost of `depth` more decisions from s and the end of the horizon (as Terminal for
// `bound`).
double PathSearch::Best(const State& s, int depth, double bound) const {
    if (depth == 0 || s.j > n_) {
        return Terminal(s, bound);
    }
    const Here h = At(s);
    std::array<Decision, 8> c;
    const int count = Candidates(s, h, c);
    double best = bound;
    for (int i = 0; i < count; ++i) {
        const Decision& d = c[static_cast<std::size_t>(i)];
        const double penalty = Penalty(s, h, d);
        State next;
        double cost = 0;
        if (penalty >= best || !Apply(s, h, d, next, cost, nullptr, penalty, best)) {
            continue;
        }
        cost += penalty;
        if (cost < best) {
            best = std::min(best, cost + Best(next, depth - 1, best - cost));
        }
    }
    return best;
}

// True when keeping every beat within the horizon costs less than the cheapest correction
// possible there: then no path that starts with a correction can be better. `here` is s as At
// gives it.
bool PathSearch::Quiet(const State& s, const Here& here) const {
    double least = k_.penaltyDrop;
    State at = s;
    double cost = 0;
    for (int step = 0; step <= horizon_ && at.j <= n_; ++step) {
        const Here h = step == 0 ? here : At(at);
        least = std::min(least, k_.penaltyMove * h.beat.jitter);
        if (CanInsert(at, h.x1, h.beat.level)) {
            least = std::min(least, k_.penaltyInsert);
        }
        if (step == horizon_) {
            cost += KeepCost(at);
            break;
        }
        State next;
        double c = 0;
        Apply(at, h, Decision{}, next, c, nullptr, 0, kUnbounded);
        cost += c;
        at = next;
    }
    return cost < least;
}

Decision PathSearch::Decide(const State& s) const {
    const Here h = At(s);
    if (Quiet(s, h)) {
        return {};
    }
    std::array<Decision, 8> c;
    const int count = Candidates(s, h, c);
    double best = kUnbounded;
    Decision choice;
    for (int i = 0; i < count; ++i) {
        const Decision& d = c[static_cast<std::size_t>(i)];
        State next;
        double cost = 0;
        const double penalty = Penalty(s, h, d);
        if (!Apply(s, h, d, next, cost, nullptr, penalty, best)) {
            continue;
        }
        cost += penalty;
        if (cost >= best) {
            continue;
        }
        cost += Best(next, horizon_ - 1, best - cost);
        if (cost < best) {
            best = cost;
            choice = d;
        }
    }
    return choice;
}

void PathSearch::Take(const State& s, const Decision& d, Emit& e, State& next) const {
    double cost = 0;
    Apply(s, At(s), d, next, cost, &e, 0, kUnbounded); // the decision was tried: it applies
}

// What a moved beat was: premature (early, its pair adding up to two beats), misplaced, or, when
// the pair's sum does not fit two beats, a long or short interval brought into line.
ArtefactKind PathSearch::MoveKind(const State& s, double placed) const {
    const double given = at_[static_cast<std::size_t>(s.j)].time - s.t;
    const double level = Level(s.j);
    const double total = at_[static_cast<std::size_t>(s.j + 1)].time - s.t;
    if (std::fabs(total - 2 * level) > k_.pairMismatch * level) {
        return given > placed ? ArtefactKind::Long : ArtefactKind::Short;
    }
    if (placed - given > k_.ectopicShare * level) {
        return ArtefactKind::Ectopic;
    }
    return ArtefactKind::Misplaced;
}

} // namespace hrv::correction
