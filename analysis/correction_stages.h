// The stages of the artefact correction (beat_correction.h), for its own files only:
//   correction_statistics.cpp  the local statistics every decision is measured against;
//   correction_search.cpp      the cheapest path over the next few beats, one decision at a time;
//   correction_walk.cpp        the walk along the beats, run twice;
//   correction_noise.cpp       stretches of noise replaced as a whole;
//   beat_correction.cpp        ticks to beat times and back, intervals of 0 ticks.
// Everything here works on beat times in 10 ms ticks from the first beat, as doubles.
#pragma once

#include "analysis/beat_correction.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace hrv::correction {

inline constexpr double kMinPart = 2.0;       // ticks: least interval a placed beat leaves
inline constexpr double kMaxPart = 254.0;     // and the longest
inline constexpr int kMaxParts = 6;           // most intervals one input interval is split into
inline constexpr int kStatStride = 8;         // the window statistics are taken at every 8th beat
inline constexpr std::size_t kMinWindow = 10; // fewer values than this: a wider statistic

// The outcome of one pass: corrected beat times (from 0) with a mark per interval, and the
// artefacts with the index of the (positive) input interval that ends at the beat decided.
struct PassResult {
    std::vector<double> beats;
    std::vector<std::uint8_t> marks;
    std::vector<Artefact> artefacts;
};

// An input beat: its time, the input interval from it to the next, and the statistics around
// it: the spread of successive differences, the level and its spread (ticks), and the jitter of
// beat places (in spreads).
struct Beat {
    double time = 0;
    double next = 0; // 0 at the last beat
    double spread = 0;
    double level = 0;
    double levelSpread = 0;
    double jitter = 0;
};

// The q-quantile of v (nearest rank); 0 when v is empty. Reorders v.
double Quantile(std::vector<double>& v, double q);
double Median(std::vector<double>& v);

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
bool PlaceBeats(double total, int parts, double a, double b, double* x);

// Local statistics (correction_statistics.cpp).

// The input beats 0..n of beat times `times` (times[0] = 0), statistics not yet set.
std::vector<Beat> InputBeats(const std::vector<std::int64_t>& times);
// The statistics from the input alone, the jitter that a move is measured against not yet known.
void ScalesFromInput(std::vector<Beat>& beats, const Tuning& k);
// The statistics from a first pass, over its unmarked intervals only.
void ScalesFromPass(std::vector<Beat>& beats, const PassResult& p, const Tuning& k);

// The path search (correction_search.cpp).

enum class Op : std::uint8_t { Keep, Drop, Move, Insert };

struct Decision {
    Op op = Op::Keep;
    int parts = 1; // Insert: the intervals the input interval becomes
};

struct State {
    double t = 0;         // the last corrected beat
    int j = 1;            // the next input beat
    double a = 0;         // the last corrected interval
    bool dropped = false; // the beat before j was dropped
};

// The intervals a decision gives.
struct Emit {
    std::array<double, kMaxParts> x{}; // the first `count` are set
    int count = 0;
};

class PathSearch {
public:
    // `beats` with their statistics; `horizon` input beats are looked ahead for each decision.
    PathSearch(const std::vector<Beat>& beats, const Tuning& k, int horizon)
        : at_(beats), n_(static_cast<int>(beats.size()) - 1), k_(k), horizon_(horizon) {}

    int Intervals() const { return n_; }
    double Level(int j) const { return at_[static_cast<std::size_t>(j < n_ ? j : n_)].level; }

    // The first decision of the cheapest path over the horizon at s; keeping wins a tie. Its
    // intervals, the state after it and, for a moved beat, what the beat was.
    Decision Decide(const State& s) const;
    void Take(const State& s, const Decision& d, Emit& e, State& next) const;
    ArtefactKind MoveKind(const State& s, double placed) const;

private:
    // What every decision at state s reads: beat j, the time of beat j + 1 and the input
    // interval after it (when there are), and the interval from the last corrected beat to j.
    struct Here {
        const Beat& beat;
        double afterTime = 0;
        double afterNext = 0;
        double x1 = 0;
    };
    Here At(const State& s) const;
    double Cost(double x, double prev, const Beat& b, bool made) const;
    double RightNeighbour(bool given, double raw, double a, double spread) const;
    bool Apply(const State& s, const Here& h, const Decision& d, State& next, double& cost,
               Emit* out, double penalty, double bound) const;
    double MovePenalty(const State& s, const Here& h) const;
    double Penalty(const State& s, const Here& h, const Decision& d) const;
    int Candidates(const State& s, const Here& h, std::array<Decision, 8>& c) const;
    double KeepCost(const State& s) const;
    double Terminal(const State& s, double bound) const;
    double Best(const State& s, int depth, double bound) const;
    bool Quiet(const State& s, const Here& here) const;

    const std::vector<Beat>& at_; // per input beat 0..n_
    int n_;                       // input intervals
    const Tuning& k_;
    int horizon_;
};

// The walk (correction_walk.cpp): one pass along the input beats.
void Walk(const PathSearch& search, PassResult& out);
// Both passes and the noise on beat times whose intervals are at least one tick.
void CorrectTimes(const std::vector<std::int64_t>& times, const Tuning& k, PassResult& out);

// Noise (correction_noise.cpp): stretches where corrections crowd together replaced whole.
void ReplaceNoise(const std::vector<std::int64_t>& times, const Tuning& k, PassResult& p);

} // namespace hrv::correction
