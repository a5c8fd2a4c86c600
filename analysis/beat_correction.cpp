// Artefact beats: found and corrected on beat times.
//
// How it works. The input intervals are turned into beat times. A corrector walks along them
// from the first beat and decides, for each input beat in turn, whether it is kept, dropped (an
// extra beat: its two intervals merge), moved (a premature or misplaced beat: placed between its
// neighbours, the beats around it stay where they are) or whether beats are inserted before it
// (missed beats: a long interval is split). Each decision is the cheapest of the possible paths
// over the next few beats, where a path costs
//   - for every interval it gives, a robust (Huber) cost of its difference from the interval
//     before it, already corrected, in units of the local spread of successive differences (the
//     median absolute difference over a window of 91 beats), plus a small cost of its distance
//     from the local level (the median interval over the same window);
//   - for every correction, a penalty: fixed ones for dropping and inserting, and for moving a
//     beat a multiple of the local jitter (how far the 90th percentile of beats lies from where
//     their neighbours put them), plus a term for how far the moved pair's sum is from its
//     neighbours' (a moved beat keeps the sum of its two intervals).
// A beat is corrected only when that makes the series so much smoother than the natural
// variation around it that the penalty is paid; a clean series gives no decision but keep and
// comes back exactly as it was. The walk runs twice: the first pass gives the spreads, levels
// and jitters of the series with its artefacts marked, so that the second pass measures against
// a reference that a long run of artefacts (bigeminy, a stretch at half rate) cannot capture.
// Last, a stretch where corrections of different kinds crowd together (a burst of noise), or whose
// mean interval is well off the intervals around it, is replaced by as many beats as it holds.
// Beats are placed so that the chain of intervals with their corrected neighbours has the least
// sum of squared successive differences; beat times are rounded to whole ticks, so the intervals
// still add up to the input's.
#include "analysis/beat_correction.h"

#include "analysis/sliding_window.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <vector>

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

namespace {

// The constants of the detector, chosen on many drawn sets of real series with known artefacts.
// Costs and penalties are in local spreads of successive differences.
struct Tuning {
    int window = 45;              // beats on either side for the spread and the level
    double minSpread = 1.0;       // ticks: the spread never falls below one tick
    double knee = 2.0;            // where the cost of a difference turns from square to linear
    double levelWeight = 0.4;     // weight of a given interval's distance from the level
    double levelWeightMade = 0.5; // the same for an interval a correction makes
    int horizon = 3;              // input beats looked ahead for each decision
    int firstHorizon = 1;         // the same in the first pass
    double penaltyMove = 11.5;    // times the local jitter (in spreads)
    double pairWeight = 0.5;      // per spread a moved pair is off its neighbours' sum
    double jitterQuantile = 0.9;
    int jitterWindow = 45;
    double penaltyDrop = 12.0;
    double penaltyInsert = 6.0; // per inserted beat
    double rightClamp = 2.0;    // spreads: how far the next raw interval may pull a placed beat
    double ectopicShare = 0.2;  // an early beat moved by more than this share of the level
    double pairMismatch = 0.25; // a moved pair whose sum is off twice the level by more
    int noiseGap = 4;           // unmarked intervals that may separate corrections of one stretch
    int noiseCount = 5;         // corrections that make a stretch noise
    int noiseLevelBeats = 10;   // intervals on either side that give a noise stretch its level
    double noiseFit = 0.2;      // a stretch whose mean interval is this close to that level fits
};

constexpr Tuning kTuning{};
constexpr double kMinPart = 2.0;       // ticks: least interval a placed beat leaves on either side
constexpr double kMaxPart = 254.0;     // and the longest
constexpr int kMaxParts = 6;           // most intervals one input interval is split into
constexpr int kStatStride = 8;         // the window statistics are taken at every eighth beat
constexpr std::size_t kMinWindow = 10; // fewer values than this: the whole series' statistic

enum class Op : std::uint8_t { Keep, Drop, Move, Insert };

struct Decision {
    Op op = Op::Keep;
    int parts = 1; // Insert: the intervals the input interval becomes
};

// The outcome of one pass: corrected beat times (from 0) with a mark per interval, and the
// artefacts with the index of the (positive) input interval that ends at the beat decided.
struct PassResult {
    std::vector<double> beats;
    std::vector<std::uint8_t> marks;
    std::vector<Artefact> artefacts;
};

// The q-quantile of v (nearest rank); 0 when v is empty. Reorders v.
double Quantile(std::vector<double>& v, double q) {
    if (v.empty()) {
        return 0;
    }
    const auto at = static_cast<std::ptrdiff_t>(RankOf(q, v.size()));
    std::nth_element(v.begin(), v.begin() + at, v.end());
    return v[static_cast<std::size_t>(at)];
}

double Median(std::vector<double>& v) {
    return Quantile(v, 0.5);
}

// Huber's cost of a difference u (in spreads): square near zero, linear beyond the knee.
double Rho(double u, double knee) {
    const double a = std::fabs(u);
    return a <= knee ? 0.5 * a * a : knee * a - 0.5 * knee * knee;
}

// Splits `total` ticks into `parts` intervals x1..xm placed between the corrected interval `a`
// before them and `b` after them, so that the chain a, x1..xm, b has the least sum of squared
// successive differences: its second differences are all equal, so the intervals follow a
// straight line from a to b plus a parabola that makes them add up to `total`.
class Placement {
public:
    Placement(double total, int parts, double a, double b) : a_(a), b_(b), m_(parts) {
        const double lineSum = m_ * (a + b) / 2;
        const double bowSum = m_ * (m_ + 1) * (m_ + 2) / 12;
        bow_ = (total - lineSum) / bowSum;
    }

    // Interval i, 1..parts.
    double operator()(int i) const {
        return a_ + (b_ - a_) * i / (m_ + 1) + bow_ * 0.5 * i * (m_ + 1 - i);
    }

    static bool Fits(double v) { return v >= kMinPart && v <= kMaxPart; }

private:
    double a_;
    double b_;
    double m_;
    double bow_ = 0;
};

// The intervals of a Placement into x[0..parts); false when one would fall outside
// kMinPart..kMaxPart.
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

class Corrector {
public:
    explicit Corrector(const std::vector<std::int64_t>& times)
        : T_(times), n_(static_cast<int>(times.size()) - 1), at_(static_cast<std::size_t>(n_) + 1) {
        for (int j = 0; j <= n_; ++j) {
            Beat& b = at_[static_cast<std::size_t>(j)];
            b.time = static_cast<double>(T_[j]);
            b.next = j < n_ ? static_cast<double>(R(j)) : 0.0;
        }
    }

    // The statistics from the input alone: one spread for the whole series, the level over a
    // window of input intervals, the jitter that a move is measured against not yet known.
    void ScalesFromInput() {
        std::vector<double> values(static_cast<std::size_t>(n_));
        std::vector<double> diffs;
        diffs.reserve(static_cast<std::size_t>(n_));
        for (int i = 0; i < n_; ++i) {
            values[static_cast<std::size_t>(i)] = static_cast<double>(R(i));
            if (i > 0) {
                diffs.push_back(std::fabs(static_cast<double>(R(i) - R(i - 1))));
            }
        }
        const double spread = std::max(k_.minSpread, Median(diffs));
        const std::vector<std::uint8_t> none(static_cast<std::size_t>(n_), 0);
        for (Beat& b : at_) {
            b.spread = spread;
            b.jitter = 1.0;
        }
        FillLevels(values, none, spread);
    }

    // The statistics from a first pass, over its unmarked intervals only.
    void ScalesFromPass(const PassResult& p) {
        const std::size_t m = p.marks.size();
        std::vector<double> values(m);
        for (std::size_t i = 0; i < m; ++i) {
            values[i] = p.beats[i + 1] - p.beats[i];
        }
        // |successive difference| where both intervals are unmarked, and the jitter: how far a
        // beat lies from the place its neighbours give it, where its four intervals are unmarked.
        std::vector<double> diff(m, -1.0);
        std::vector<double> offset(m, -1.0);
        std::vector<double> all;
        all.reserve(m);
        for (std::size_t i = 1; i < m; ++i) {
            if (p.marks[i] == 0 && p.marks[i - 1] == 0) {
                diff[i] = std::fabs(values[i] - values[i - 1]);
                all.push_back(diff[i]);
            }
        }
        const double spread = std::max(k_.minSpread, Median(all));
        all.clear();
        for (std::size_t i = 2; i + 1 < m; ++i) {
            if (diff[i - 1] >= 0 && diff[i] >= 0 && diff[i + 1] >= 0) {
                offset[i] = std::fabs((values[i - 1] - values[i]) / 2 -
                                      (values[i - 2] - values[i + 1]) / 6);
                all.push_back(offset[i]);
            }
        }
        const double jitter = Quantile(all, k_.jitterQuantile);
        for (Beat& b : at_) {
            b.spread = spread;
            b.jitter = 1.0;
        }
        FillLevels(values, p.marks, spread);
        SlidingWindow diffs(diff, k_.window);
        SlidingWindow offsets(offset, k_.jitterWindow);
        ForEachWindow(values, [&](int j, std::size_t at) {
            diffs.MoveTo(at);
            const double local =
                diffs.Size() >= kMinWindow ? std::max(k_.minSpread, diffs.Quantile(0.5)) : spread;
            offsets.MoveTo(at);
            const double displaced =
                offsets.Size() >= 2 * kMinWindow ? offsets.Quantile(k_.jitterQuantile) : jitter;
            Beat& b = at_[static_cast<std::size_t>(j)];
            b.spread = local;
            b.jitter = displaced / local;
        });
    }

    // One walk along the input beats.
    void Run(PassResult& out, int horizon) {
        horizon_ = horizon;
        out.beats.assign(1, 0.0);
        out.marks.clear();
        out.artefacts.clear();
        out.beats.reserve(static_cast<std::size_t>(n_) + 1);
        out.marks.reserve(static_cast<std::size_t>(n_));
        State s{0.0, 1, Level(0)};
        std::uint8_t pending = 0; // the mark a moved or dropped beat leaves on the next interval
        while (s.j <= n_) {
            const Here h = At(s);
            const Decision d = Decide(s, h);
            Emit e;
            State next;
            double cost = 0;
            Apply(s, h, d, next, cost, &e); // the decision was tried: it applies
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
                kind = MoveKind(s, e.x[0]);
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

    // Stretches where corrections crowd together are noise. When the corrected stretch holds
    // corrections of different classes, or its mean interval is well off the level of the
    // intervals around it, its beats are replaced by as many as its duration fits at that level,
    // placed smoothly between the intervals on either side; its intervals are marked long (beats
    // were added) or short.
    void ReplaceNoise(PassResult& p) const {
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
                } else if (++gap > static_cast<std::size_t>(k_.noiseGap)) {
                    break;
                }
            }
            i = last + 1;
            const double start = p.beats[first];
            const double end = p.beats[last + 1];
            while (from < p.artefacts.size() &&
                   static_cast<double>(T_[static_cast<std::size_t>(p.artefacts[from].index) + 1]) <=
                       start) {
                ++from;
            }
            int count = 0;
            unsigned classes = 0;
            for (std::size_t a = from; a < p.artefacts.size(); ++a) {
                const Artefact& artefact = p.artefacts[a];
                if (static_cast<double>(T_[static_cast<std::size_t>(artefact.index)]) >= end) {
                    break;
                }
                ++count;
                classes |= artefact.kind == ArtefactKind::Missed  ? 1u
                           : artefact.kind == ArtefactKind::Extra ? 2u
                                                                  : 4u;
            }
            if (count < k_.noiseCount) {
                continue;
            }
            copyTo(first);
            around.clear();
            for (std::size_t k = marks.size(), taken = 0;
                 k-- > 0 && taken < static_cast<std::size_t>(k_.noiseLevelBeats);) {
                if (marks[k] == 0) {
                    around.push_back(beats[k + 1] - beats[k]);
                    ++taken;
                }
            }
            for (std::size_t k = last + 1, taken = 0;
                 k < p.marks.size() && taken < static_cast<std::size_t>(k_.noiseLevelBeats); ++k) {
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
            const bool fits = std::fabs(duration / had - level) <= k_.noiseFit * level;
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
        }
        copyTo(p.marks.size());
        p.beats.swap(beats);
        p.marks.swap(marks);
    }

private:
    struct State {
        double t = 0;         // the last corrected beat
        int j = 1;            // the next input beat
        double a = 0;         // the last corrected interval
        bool dropped = false; // the beat before j was dropped
    };
    // An input beat: its time, the input interval from it to the next, and the statistics around
    // it: the spread of successive differences, the level and its spread (ticks), and the jitter
    // of beat places (in spreads).
    struct Beat {
        double time = 0;
        double next = 0; // 0 at the last beat
        double spread = 0;
        double level = 0;
        double levelSpread = 0;
        double jitter = 0;
    };
    struct Emit {
        std::array<double, kMaxParts> x{}; // the first `count` are set
        int count = 0;
    };

    std::int64_t R(int i) const { return T_[i + 1] - T_[i]; } // input interval i (0-based)
    double Time(int j) const { return at_[static_cast<std::size_t>(j)].time; }
    double Level(int j) const { return at_[static_cast<std::size_t>(std::min(j, n_))].level; }

    // Beat j with the statistics of `from` (the beats between two windows take the one before).
    Beat WithStats(int j, Beat from) const {
        const Beat& b = at_[static_cast<std::size_t>(j)];
        from.time = b.time;
        from.next = b.next;
        return from;
    }

    // Calls f(j, at) at every kStatStride-th input beat j, with `at` the interval of `values`
    // (laid end to end from 0) that holds it; the beats in between take the statistics of the
    // one before them.
    template <class F> void ForEachWindow(const std::vector<double>& values, F f) {
        double edge = 0;
        std::size_t at = 0;
        for (int j = 0; j <= n_; ++j) {
            while (at + 1 < values.size() && edge + values[at] <= Time(j)) {
                edge += values[at];
                ++at;
            }
            if (j % kStatStride == 0) {
                f(j, at);
            } else {
                at_[static_cast<std::size_t>(j)] =
                    WithStats(j, at_[static_cast<std::size_t>(j - 1)]);
            }
        }
    }

    // The values at or above 0 among those within `half` places of `at`.
    static void WindowValues(const std::vector<double>& values, std::size_t at, int half,
                             std::vector<double>& w) {
        const auto h = static_cast<std::size_t>(half);
        const std::size_t lo = at > h ? at - h : 0;
        const std::size_t hi = std::min(values.size(), at + h + 1);
        w.clear();
        for (std::size_t i = lo; i < hi; ++i) {
            if (values[i] >= 0) {
                w.push_back(values[i]);
            }
        }
    }

    // Level (median) and level spread (median distance from it) of the unmarked intervals in
    // the window around each input beat.
    void FillLevels(const std::vector<double>& values, const std::vector<std::uint8_t>& marks,
                    double spread) {
        for (Beat& b : at_) {
            b.level = 0;
            b.levelSpread = spread;
        }
        std::vector<double> kept(values);
        for (std::size_t i = 0; i < kept.size(); ++i) {
            if (marks[i] != 0) {
                kept[i] = -1;
            }
        }
        SlidingWindow window(kept, k_.window);
        std::vector<double> w;
        ForEachWindow(values, [&](int j, std::size_t at) {
            window.MoveTo(at);
            double level = 0;
            double distance = 0;
            if (window.Size() >= kMinWindow) {
                level = window.Quantile(0.5);
                distance = window.MedianDistance(level);
            } else { // too few unmarked intervals: all of them
                WindowValues(values, at, k_.window, w);
                level = Median(w);
                for (double& v : w) {
                    v = std::fabs(v - level);
                }
                distance = Median(w);
            }
            Beat& b = at_[static_cast<std::size_t>(j)];
            b.level = level;
            b.levelSpread = std::max(spread, distance);
        });
    }

    // What every decision at state s reads: beat j, the time of beat j + 1 and the input
    // interval after it (when there are), and the interval from the last corrected beat to beat
    // j. Taken once per state, field by field (a copy of whole structures costs more in the
    // sanitized builds).
    struct Here {
        double time = 0;
        double next = 0;
        double spread = 0;
        double level = 0;
        double levelSpread = 0;
        double jitter = 0;
        double afterTime = 0;
        double afterNext = 0;
        double x1 = 0;
    };
    Here At(const State& s) const {
        Here h;
        const Beat& b = at_[static_cast<std::size_t>(s.j)];
        h.time = b.time;
        h.next = b.next;
        h.spread = b.spread;
        h.level = b.level;
        h.levelSpread = b.levelSpread;
        h.jitter = b.jitter;
        if (s.j < n_) {
            const Beat& after = at_[static_cast<std::size_t>(s.j + 1)];
            h.afterTime = after.time;
            h.afterNext = after.next;
        }
        h.x1 = h.time - s.t;
        return h;
    }

    // Cost of an interval x that follows `prev` where the spread of successive differences, the
    // level and its spread are as given. An interval a correction made is held closer to the
    // level than one given.
    double Cost(double x, double prev, double spread, double level, double levelSpread,
                bool made) const {
        return Rho((x - prev) / spread, k_.knee) + (made ? k_.levelWeightMade : k_.levelWeight) *
                                                       Rho((x - level) / levelSpread, k_.knee);
    }

    // The next raw interval (when `given`) as a neighbour for placing beats: kept within a few
    // spreads of `a`.
    double RightNeighbour(bool given, double raw, double a, double spread) const {
        if (!given) {
            return a;
        }
        const double limit = k_.rightClamp * spread;
        return std::clamp(raw, a - limit, a + limit);
    }

    // Applies decision d at state s (seen as h): the intervals it gives, the next state and
    // their cost (penalty aside). False when the decision cannot be taken there, and also once
    // the cost with `penalty` reaches `bound` while intervals are inserted (costs only add up:
    // the path is then no better than one already found).
    bool Apply(const State& s, const Here& h, const Decision& d, State& next, double& cost,
               Emit* out, double penalty = 0,
               double bound = std::numeric_limits<double>::infinity()) const {
        const int j = s.j;
        const double spread = h.spread;
        const double x1 = h.x1;
        cost = 0;
        double x = x1; // the interval a keep or a move gives
        switch (d.op) {
        case Op::Keep:
            next = {h.time, j + 1, x1};
            break;
        case Op::Drop:
            if (j >= n_ || h.afterTime - s.t > 255) {
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
            const double b = RightNeighbour(j + 1 < n_, h.afterNext, s.a, spread);
            const double lo = std::max(kMinPart, total - kMaxPart);
            const double hi = std::min(total - kMinPart, kMaxPart);
            if (!(lo <= hi)) {
                return false;
            }
            // The least-squares place between the neighbours (see PlaceBeats, two parts).
            x = std::clamp(0.5 * total + (s.a - b) / 6, lo, hi);
            next = {s.t + x, j + 1, x};
            break;
        }
        case Op::Insert: {
            // As PlaceBeats, costed as the intervals come (nothing is kept while searching).
            const double b = RightNeighbour(j < n_, h.next, s.a, spread);
            if (d.parts < 2 || d.parts > kMaxParts) {
                return false;
            }
            const Placement place(x1, d.parts, s.a, b);
            double prev = s.a;
            for (int i = 1; i <= d.parts; ++i) {
                const double v = place(i);
                if (!Placement::Fits(v)) {
                    return false;
                }
                cost += Cost(v, prev, h.spread, h.level, h.levelSpread, true);
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
            next = {h.time, j + 1, prev};
            return true;
        }
        }
        cost += Cost(x, s.a, h.spread, h.level, h.levelSpread, d.op != Op::Keep);
        if (out != nullptr) {
            out->x[0] = x;
            out->count = 1;
        }
        return true;
    }

    double MovePenalty(const State& s, const Here& h) const {
        double p = k_.penaltyMove * h.jitter;
        if (s.j < n_) {
            // A moved beat leaves the sum of its two intervals as it was: a true one's sum
            // matches the intervals around the pair.
            const double pair = h.afterTime - s.t;
            const double after = s.j + 1 < n_ ? h.afterNext : s.a;
            p += k_.pairWeight * std::fabs(pair - s.a - after) / h.spread;
        }
        return p;
    }

    double Penalty(const State& s, const Here& h, const Decision& d) const {
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

    // The interval beats are inserted against: between the last one and the level.
    static double InsertReference(const State& s, const Here& h) { return 0.5 * (s.a + h.level); }

    // Only an interval at least half as long again as the reference may hold a missed beat.
    static bool CanInsert(const State& s, const Here& h) {
        const double ref = InsertReference(s, h);
        return ref > 0 && h.x1 >= 1.5 * ref;
    }

    // The decisions worth trying at state s.
    int Candidates(const State& s, const Here& h, std::array<Decision, 8>& c) const {
        int count = 0;
        c[static_cast<std::size_t>(count++)] = {Op::Keep, 1};
        if (s.j < n_) {
            c[static_cast<std::size_t>(count++)] = {Op::Drop, 1};
            c[static_cast<std::size_t>(count++)] = {Op::Move, 1};
        }
        if (CanInsert(s, h)) {
            const double fits = h.x1 / InsertReference(s, h);
            const int m =
                fits < kMaxParts + 2 ? static_cast<int>(std::lround(fits)) : kMaxParts + 2;
            for (int p = std::max(2, m - 1); p <= std::min(kMaxParts, m + 1); ++p) {
                c[static_cast<std::size_t>(count++)] = {Op::Insert, p};
            }
        }
        return count;
    }

    // The cost of the interval that follows s when it is kept.
    double KeepCost(const State& s) const {
        if (s.j > n_) {
            return 0.0;
        }
        const Beat& b = at_[static_cast<std::size_t>(s.j)];
        return Cost(b.time - s.t, s.a, b.spread, b.level, b.levelSpread, false);
    }

    // The cost at the end of the horizon: the best single decision for the next beat, so that a
    // path is not charged for an artefact just beyond its reach. A decision that leaves a beat
    // off the input (moved or dropped) also pays for the interval after it. A result of `bound`
    // or more only says that it is not below `bound`.
    double Terminal(const State& s, double bound) const {
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

    // The least cost of `depth` more decisions from s and the end of the horizon (as Terminal
    // for `bound`).
    double Best(const State& s, int depth, double bound) const {
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
    // possible there: then no path that starts with a correction can be better. `here` is s
    // as At gives it.
    bool Quiet(const State& s, const Here& here) const {
        double least = k_.penaltyDrop;
        State at = s;
        double cost = 0;
        for (int step = 0; step <= horizon_ && at.j <= n_; ++step) {
            const Here h = step == 0 ? here : At(at);
            least = std::min(least, k_.penaltyMove * h.jitter);
            if (CanInsert(at, h)) {
                least = std::min(least, k_.penaltyInsert);
            }
            if (step == horizon_) {
                cost += KeepCost(at);
                break;
            }
            State next;
            double c = 0;
            Apply(at, h, Decision{}, next, c, nullptr);
            cost += c;
            at = next;
        }
        return cost < least;
    }

    // The first decision of the cheapest path over the horizon; keeping wins a tie.
    Decision Decide(const State& s, const Here& h) const {
        if (Quiet(s, h)) {
            return {};
        }
        std::array<Decision, 8> c;
        const int count = Candidates(s, h, c);
        double best = std::numeric_limits<double>::infinity();
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

    // What a moved beat was: premature (early, its pair adding up to two beats), misplaced, or,
    // when the pair's sum does not fit two beats, a long or short interval brought into line.
    ArtefactKind MoveKind(const State& s, double placed) const {
        const double given = Time(s.j) - s.t;
        const double level = Level(s.j);
        const double total = Time(s.j + 1) - s.t;
        if (std::fabs(total - 2 * level) > k_.pairMismatch * level) {
            return given > placed ? ArtefactKind::Long : ArtefactKind::Short;
        }
        if (placed - given > k_.ectopicShare * level) {
            return ArtefactKind::Ectopic;
        }
        return ArtefactKind::Misplaced;
    }

    const std::vector<std::int64_t>& T_;         // input beat times, T_[0] = 0
    int n_;                                      // input intervals
    static constexpr const Tuning& k_ = kTuning; // constants the compiler folds in
    int horizon_ = 1;
    std::vector<Beat> at_; // per input beat 0..n_
};

// The corrector on beat times whose intervals are at least one tick.
void CorrectTimes(const std::vector<std::int64_t>& times, PassResult& out) {
    Corrector c(times);
    c.ScalesFromInput();
    PassResult first;
    c.Run(first, kTuning.firstHorizon);
    c.ScalesFromPass(first);
    c.Run(out, kTuning.horizon);
    c.ReplaceNoise(out);
}

void CorrectWith(std::span<const std::uint8_t> ticks, BeatCorrection& out) {
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
    PassResult r;
    if (n >= 4) {
        CorrectTimes(times, r);
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

} // namespace

void CorrectBeats(std::span<const std::uint8_t> ticks, BeatCorrection& out) {
    CorrectWith(ticks, out);
}

} // namespace hrv
