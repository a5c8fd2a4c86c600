// R-peaks of one ECG lead.
//
// How it works. The signal is read in blocks of 60 s with 5 s on either side (an odd reflection
// beyond the ends of the record), so memory stays small for a day-long record and the filters'
// start-up falls outside the block. In each block two signals are made, both filtered forwards and
// backwards (no phase shift, so nothing moves in time):
//   - for finding complexes: a band-pass of 5-15 Hz (second-order Butterworth high- and low-pass,
//     Pan and Tompkins' band), where the QRS carries most of its energy and baseline wander,
//     muscle noise, mains and most of the T wave do not; its slope; and the envelope of the slope,
//     the root mean square over 150 ms (one QRS). The envelope is on the scale of the signal, not
//     its square, so a ventricular beat three times the height of its neighbours does not lift
//     the threshold above them;
//   - for placing beats: the signal between 0.5 and 30 Hz with notches at the mains' frequencies
//     (50 and 60 Hz, or where they fold at low rates), where the R-peak keeps its place and
//     baseline and mains are gone.
// Candidates are the envelope's maxima that stand highest within 100 ms either side. Each holds
// its height, the steepest slope around it, the highest and lowest point of the placement signal
// within 100 ms together with their distance from the median of the 500 ms around it, and the
// shape of the placement signal around it.
//
// The candidates are then taken in time order (Hamilton and Tompkins 1986, on Pan and Tompkins
// 1985): a candidate is a beat when it is higher than the noise level plus 0.3125 of the
// distance from there to the beat level. The noise level is the median height of the last eight
// rejected candidates; the beat level that of the smaller of the last eight beats (the mean of the
// second and third smallest), so that small normal beats between large ventricular ones pass and
// a burst of noise or a single tall beat moves it little. No beat comes within the refractory
// period of the one before, but a candidate there that is steeper than that beat, more alike to
// the beat before it and nearer the usual interval from there replaces it. A candidate within 360
// ms of a beat is a T wave when its slope is less than half that beat's, or half the median of the
// last eight beats' where that is steeper (the beat before may be a small one), or when it is less
// than half as sharp as that beat in the placement signal (its steepest slope over its height: a T
// wave is slow however tall, and a peaked one can be nearly as steep in the QRS band) - unless it
// is a beat of that beat's kind, alike in shape or nearly as steep and as sharp, as the wide beats
// of a ventricular run are to each other, each within 360 ms of the last. When the interval
// since the last beat grows past 1.66 times the median of the last eight intervals, the highest
// candidate in it above half the threshold is taken as the beat that was missed (a T wave too when
// it is above the threshold and, in the placement signal, taller than the last beat and twice the
// T waves lately rejected: a ventricular beat on the T wave, before its compensatory pause), and
// the walk goes on from there. Last, a beat shaped unlike every beat near it (its shape: the
// placement signal over 200 ms around the envelope's maximum) that only splits an ordinary interval
// in two is dropped as noise (Prune says when).
//
// Each beat is then placed on its complex's largest deflection in the record's dominant direction
// (the one most complexes take, so a biphasic complex does not jump between its R and S waves from
// beat to beat), or on the opposite one where that is more than twice as large (a ventricular
// beat of the other polarity). An inverted lead therefore gives the same beats.
#include "analysis/rpeak_detector.h"

#include "analysis/rpeak_candidates.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <stdexcept>
#include <vector>

namespace hrv {
namespace {

using rpeak::Candidate;

// Two beats are alike in shape when their shapes correlate this well.
constexpr double kUnlike = 0.9;

// How alike two candidates' shapes are: their correlation, -1 to 1.
double Alike(const Candidate& a, const Candidate& b) {
    std::int32_t ab = 0, aa = 0, bb = 0;
    for (std::size_t k = 0; k < rpeak::kShapePoints; ++k) {
        const std::int32_t x = a.shape[k], y = b.shape[k];
        ab += x * y;
        aa += x * x;
        bb += y * y;
    }
    return aa > 0 && bb > 0 ? static_cast<double>(ab) /
                                  std::sqrt(static_cast<double>(aa) * static_cast<double>(bb))
                            : 0.0;
}

// The median of the last eight values pushed.
class RecentMedian {
public:
    explicit RecentMedian(double initial) { values_.fill(initial); }
    void Push(double v) {
        values_[next_] = v;
        next_ = (next_ + 1) % values_.size();
    }
    void ReplaceLast(double v) { values_[(next_ + values_.size() - 1) % values_.size()] = v; }
    double Median() const { return Ranked(4); }
    // The mean of the second and third smallest: the level of the smaller values.
    double Lower() const { return Ranked(2); }

    // The mean of the k-th smallest value and the one below it (0-based).
    double Ranked(std::size_t k) const {
        auto v = values_;
        const auto at = v.begin() + static_cast<std::ptrdiff_t>(k);
        std::nth_element(v.begin(), at, v.end());
        return 0.5 * (*at + *std::max_element(v.begin(), at));
    }

private:
    std::array<double, 8> values_{};
    std::size_t next_ = 0;
};

// The beat level to start from: the median of the highest candidate in each 2 s of the first
// 10 s from the first candidate on (a record may start flat, with the electrodes off).
double StartingLevel(const std::vector<Candidate>& candidates, double rate) {
    std::vector<double> highest;
    const auto block = static_cast<std::int64_t>(std::llround(2.0 * rate));
    for (const Candidate& c : candidates) {
        const auto k = static_cast<std::size_t>((c.at - candidates.front().at) / block);
        if (k >= 5) {
            break;
        }
        highest.resize(std::max(highest.size(), k + 1), 0.0);
        highest[k] = std::max(highest[k], c.height);
    }
    std::erase(highest, 0.0);
    if (highest.empty()) {
        return 0.0;
    }
    std::sort(highest.begin(), highest.end());
    return highest[highest.size() / 2];
}

// The indices of the candidates that are beats, in time order.
std::vector<std::size_t> Decide(const std::vector<Candidate>& cands, double rate,
                                const RPeakOptions& options) {
    std::vector<std::size_t> beats;
    const double start = StartingLevel(cands, rate);
    if (!(start > 0.0)) {
        return beats;
    }
    RecentMedian signal(start);
    RecentMedian noise(0.0);
    RecentMedian interval(rate);
    RecentMedian steepness(0.0);
    const double refractory = options.refractory_s * rate;
    const double t_wave = options.t_wave_s * rate;
    std::size_t seen = 0; // candidates before this one have given the noise level what they give
    std::int64_t relearned = 0; // when the beat level was last lowered for want of beats

    const auto is_t_wave = [&](const Candidate& c) {
        if (beats.empty()) {
            return false;
        }
        const Candidate& last = cands[beats.back()];
        if (static_cast<double>(c.at - last.at) >= t_wave) {
            return false;
        }
        // A beat of the last one's kind: alike in shape, or nearly as steep and as sharp.
        if (Alike(c, last) >= kUnlike ||
            (c.slope >= 0.7 * last.slope && c.sharp >= 0.7 * last.sharp)) {
            return false;
        }
        return c.slope < 0.5 * std::max(last.slope, steepness.Median()) ||
               c.sharp < 0.5 * last.sharp;
    };
    // A candidate taken for a T wave that is a beat after all: taller in the placement signal than
    // the last beat and twice the T waves so judged lately (a ventricular beat on the T wave,
    // which the search back finds in the pause that follows it).
    const auto amplitude = [](const Candidate& c) { return c.rise + c.fall; };
    RecentMedian waves(0.0);
    const auto ectopic = [&](const Candidate& c) {
        return amplitude(c) > amplitude(cands[beats.back()]) && amplitude(c) > 2.0 * waves.Median();
    };
    const auto accept = [&](std::size_t k) {
        if (!beats.empty()) {
            interval.Push(static_cast<double>(cands[k].at - cands[beats.back()].at));
        }
        signal.Push(cands[k].height);
        steepness.Push(cands[k].slope);
        beats.push_back(k);
    };

    for (std::size_t k = 0; k < cands.size();) {
        const Candidate& c = cands[k];
        const double since =
            beats.empty() ? 0.0 : static_cast<double>(c.at - cands[beats.back()].at);
        const double n = noise.Median();
        const double threshold = n + 0.3125 * (signal.Lower() - n);
        if (beats.size() >= 2 && since < refractory) {
            // The beat just taken may be noise just before the complex: a candidate in its
            // refractory period that is steeper, more alike to the beat before and nearer the
            // usual interval from there takes its place.
            const Candidate& last = cands[beats.back()];
            const Candidate& before = cands[beats[beats.size() - 2]];
            const double usual = interval.Median();
            if (c.slope > last.slope && Alike(c, before) > Alike(last, before) &&
                std::abs(static_cast<double>(c.at - before.at) - usual) <
                    std::abs(static_cast<double>(last.at - before.at) - usual)) {
                noise.Push(last.height);
                signal.ReplaceLast(c.height);
                steepness.ReplaceLast(c.slope);
                interval.ReplaceLast(static_cast<double>(c.at - before.at));
                beats.back() = k;
                seen = std::max(seen, k + 1);
                ++k;
                continue;
            }
        }
        if (!beats.empty() && since < refractory) {
            ++k;
            continue;
        }
        if (!beats.empty() && since > options.search_back * interval.Median()) {
            // The highest candidate of the long interval that could be a beat.
            const std::int64_t after = cands[beats.back()].at;
            std::size_t best = cands.size();
            for (std::size_t j = beats.back() + 1; j < k; ++j) {
                const Candidate& m = cands[j];
                if (static_cast<double>(m.at - after) >= refractory &&
                    static_cast<double>(c.at - m.at) >= refractory && m.height > 0.5 * threshold &&
                    (!is_t_wave(m) || (m.height > threshold && ectopic(m))) &&
                    (best == cands.size() || m.height > cands[best].height)) {
                    best = j;
                }
            }
            if (best != cands.size()) {
                accept(best);
                k = best + 1;
                continue;
            }
            // Long without a beat: the beats may have grown smaller (an electrode moved). The
            // highest candidate of the stretch joins the beat level, which so halves at most
            // once in each such stretch and follows them down, while a real pause with only
            // P waves in it costs it little.
            const double limit = options.search_back * interval.Median();
            if (since > 2.0 * limit && static_cast<double>(c.at - relearned) > limit) {
                double highest = 0.5 * signal.Lower();
                for (std::size_t j = beats.back() + 1; j < k; ++j) {
                    highest = std::max(highest, cands[j].height);
                }
                signal.Push(highest);
                relearned = c.at;
            }
        }
        const bool wave = is_t_wave(c);
        if (c.height > threshold && !wave) {
            accept(k);
        } else if (k >= seen) {
            noise.Push(c.height);
            if (wave) {
                waves.Push(amplitude(c));
            }
        }
        seen = std::max(seen, k + 1);
        ++k;
    }
    return beats;
}

// The median of `v` (not empty); reorders it.
double MedianOf(std::vector<double>& v) {
    const auto mid = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
    std::nth_element(v.begin(), mid, v.end());
    return *mid;
}

// What the beat `k` of `beats` (neither the first nor the last) is by its neighbours.
struct Verdict {
    bool noise = false;
    double fit = 0.0; // how far the interval without it lies from the usual one, in samples
};

// A beat is noise when it is unlike the eight beats either side (none of them alike in shape and
// within half as much again in height) and either
//   - it is less than half as high and as steep as their median, and so placed that without it the
//     interval from the beat before to the beat after is less than 1.2 times the median interval
//     there, or
//   - both its intervals are shorter than 0.75 of the median and together less than 1.3 of it.
// A real premature beat delays the next one (an atrial one resets the sinus node, a ventricular
// one leaves a compensatory pause), and a run of them shortens the median interval itself; one
// that only splits an ordinary interval in two is an interpolated ventricular beat or noise. A
// small beat shaped as its neighbours (an atrial beat on a T wave, say) stays, and so does an
// ectopic beat shaped as another ectopic beat near it.
Verdict Judge(const std::vector<Candidate>& cands, const std::vector<std::size_t>& beats,
              std::size_t k, std::vector<double>& scratch) {
    const std::size_t m = beats.size();
    const Candidate& c = cands[beats[k]];
    const std::size_t first = k >= 8 ? k - 8 : 0;
    const std::size_t last = std::min(m - 1, k + 8);
    const auto median = [&](auto&& value) {
        scratch.clear();
        for (std::size_t j = first; j <= last; ++j) {
            scratch.push_back(value(j));
        }
        return MedianOf(scratch);
    };
    Verdict v;
    // Most beats resemble the one before or after: nearest first.
    // A beat of the same kind: alike in shape, and in height to within half as much again.
    const auto twin = [&](const Candidate& o) {
        return Alike(c, o) >= kUnlike && c.height < 1.5 * o.height && o.height < 1.5 * c.height;
    };
    for (std::size_t d = 1; d <= 8; ++d) {
        if ((d <= k - first && twin(cands[beats[k - d]])) ||
            (d <= last - k && twin(cands[beats[k + d]]))) {
            return v;
        }
    }
    scratch.clear();
    for (std::size_t j = std::max<std::size_t>(first, 1); j <= last; ++j) {
        scratch.push_back(static_cast<double>(cands[beats[j]].at - cands[beats[j - 1]].at));
    }
    const double usual = MedianOf(scratch);
    const double before = static_cast<double>(c.at - cands[beats[k - 1]].at);
    const double after = static_cast<double>(cands[beats[k + 1]].at - c.at);
    const bool small =
        c.height < 0.5 * median([&](std::size_t j) { return cands[beats[j]].height; }) &&
        c.slope < 0.5 * median([&](std::size_t j) { return cands[beats[j]].slope; });
    const bool splits = before + after < 1.2 * usual;
    const bool both_short =
        before < 0.75 * usual && after < 0.75 * usual && before + after < 1.3 * usual;
    v.noise = (small && splits) || both_short;
    v.fit = std::abs(before + after - usual);
    return v;
}

// The beats without those that are noise by their neighbours. Of two neighbours that both are,
// the one whose removal leaves the more usual interval goes first, and the other is judged again
// without it.
std::vector<std::size_t> Prune(const std::vector<Candidate>& cands,
                               std::vector<std::size_t> beats) {
    std::vector<Verdict> verdicts;
    std::vector<std::size_t> kept;
    std::vector<double> scratch;
    for (int pass = 0; pass < 4; ++pass) {
        const std::size_t m = beats.size();
        verdicts.assign(m, {});
        for (std::size_t k = 1; k + 1 < m; ++k) {
            verdicts[k] = Judge(cands, beats, k, scratch);
        }
        kept.clear();
        for (std::size_t k = 0; k < m; ++k) {
            const Verdict& v = verdicts[k];
            const bool drop = v.noise && !(verdicts[k - 1].noise && verdicts[k - 1].fit < v.fit) &&
                              !(verdicts[k + 1].noise && verdicts[k + 1].fit <= v.fit);
            if (!drop) {
                kept.push_back(beats[k]);
            }
        }
        if (kept.size() == beats.size()) {
            break;
        }
        beats.swap(kept);
    }
    return beats;
}

} // namespace

std::vector<std::int64_t> DetectRPeaks(std::span<const float> samples, double rate,
                                       const RPeakOptions& options) {
    if (!(rate >= 100.0 && rate <= 2000.0)) {
        throw std::invalid_argument("ECG sampling rate out of range");
    }
    const std::vector<Candidate> cands = rpeak::FindCandidates(samples, rate);
    const std::vector<std::size_t> beats = Prune(cands, Decide(cands, rate, options));

    // The record's direction: the one most complexes take.
    std::int64_t upward = 0;
    for (const std::size_t k : beats) {
        upward += cands[k].rise >= cands[k].fall ? 1 : -1;
    }
    // Placed, two beats may still come closer than the refractory period (each moved towards the
    // other): the lower one goes.
    std::vector<std::int64_t> out;
    std::vector<double> heights;
    out.reserve(beats.size());
    for (const std::size_t k : beats) {
        const Candidate& c = cands[k];
        const bool up = upward >= 0 ? c.fall <= 2.0 * c.rise : c.rise > 2.0 * c.fall;
        const std::int64_t at = up ? c.up : c.down;
        if (!out.empty() && static_cast<double>(at - out.back()) < options.refractory_s * rate) {
            if (c.height > heights.back()) {
                out.back() = at;
                heights.back() = c.height;
            }
            continue;
        }
        out.push_back(at);
        heights.push_back(c.height);
    }
    return out;
}

namespace {

std::size_t PartSamples(double rate) {
    return static_cast<std::size_t>(std::llround(kRPeakPartSeconds * rate));
}

std::size_t MarginSamples(double rate) {
    return static_cast<std::size_t>(std::llround(kRPeakPartMargin * rate));
}

// A recording of `count` samples detected as one part.
bool OnePart(std::size_t count, double rate) {
    return !(rate > 0) || count <= PartSamples(rate) + 2 * MarginSamples(rate);
}

} // namespace

std::vector<std::int64_t> DetectRPeaksInParts(std::span<const float> samples, double rate,
                                              Executor& executor, const RPeakOptions& options) {
    if (OnePart(samples.size(), rate)) {
        return DetectRPeaks(samples, rate, options); // no copy
    }
    return DetectRPeaksInParts(
        samples.size(),
        [samples](std::size_t first, std::span<float> out) {
            std::copy_n(samples.begin() + static_cast<std::ptrdiff_t>(first), out.size(),
                        out.begin());
        },
        rate, executor, options);
}

std::vector<std::int64_t> DetectRPeaksInParts(std::size_t count, const RPeakSampleSource& read,
                                              double rate, Executor& executor,
                                              const RPeakOptions& options) {
    const std::size_t part = PartSamples(rate);
    const std::size_t margin = MarginSamples(rate);
    if (OnePart(count, rate)) {
        std::vector<float> samples(count);
        read(0, samples);
        return DetectRPeaks(samples, rate, options);
    }
    const std::size_t parts = (count + part - 1) / part;
    std::vector<std::vector<std::int64_t>> found(parts);
    std::vector<std::exception_ptr> failed(parts);
    executor.RunInOrder(
        static_cast<int>(parts),
        [&](int k) {
            const std::size_t begin = static_cast<std::size_t>(k) * part;
            const std::size_t end = std::min(count, begin + part);
            const std::size_t from = begin > margin ? begin - margin : 0;
            const std::size_t to = std::min(count, end + margin);
            try {
                std::vector<float> samples(to - from);
                read(from, samples);
                const std::vector<std::int64_t> peaks = DetectRPeaks(samples, rate, options);
                auto& mine = found[static_cast<std::size_t>(k)];
                for (const std::int64_t p : peaks) {
                    const auto at = static_cast<std::size_t>(p) + from;
                    if (at >= begin && at < end) {
                        mine.push_back(static_cast<std::int64_t>(at));
                    }
                }
            } catch (...) {
                failed[static_cast<std::size_t>(k)] = std::current_exception();
            }
        },
        [&](int k) {
            if (failed[static_cast<std::size_t>(k)]) {
                std::rethrow_exception(failed[static_cast<std::size_t>(k)]);
            }
        });
    const auto refractory = static_cast<std::int64_t>(std::llround(options.refractory_s * rate));
    std::vector<std::int64_t> beats;
    for (const auto& mine : found) {
        for (const std::int64_t p : mine) {
            if (beats.empty() || p - beats.back() >= refractory) {
                beats.push_back(p);
            }
        }
    }
    return beats;
}

} // namespace hrv
