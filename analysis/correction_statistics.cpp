// The local statistics of the artefact correction: around every input beat, the spread of
// successive differences, the level (median interval) and its spread, and the jitter of beat
// places, each over a window of beats around it. They are taken at every kStatStride-th beat;
// the beats in between take those of the one before them.
#include "analysis/correction_stages.h"
#include "analysis/sliding_window.h"

#include <algorithm>
#include <cmath>

namespace hrv::correction {

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

std::vector<Beat> InputBeats(const std::vector<std::int64_t>& times) {
    const std::size_t n = times.size() - 1;
    std::vector<Beat> beats(n + 1);
    for (std::size_t j = 0; j <= n; ++j) {
        beats[j].time = static_cast<double>(times[j]);
        beats[j].next = j < n ? static_cast<double>(times[j + 1] - times[j]) : 0.0;
    }
    return beats;
}

namespace {

// Calls f(j, at) at every kStatStride-th input beat j, with `at` the interval of `values` (laid
// end to end from 0) that holds it; the beats in between take the statistics of the one before.
template <class F>
void ForEachWindow(std::vector<Beat>& beats, const std::vector<double>& values, F f) {
    double edge = 0;
    std::size_t at = 0;
    for (std::size_t j = 0; j < beats.size(); ++j) {
        while (at + 1 < values.size() && edge + values[at] <= beats[j].time) {
            edge += values[at];
            ++at;
        }
        if (j % kStatStride == 0) {
            f(j, at);
        } else {
            Beat& b = beats[j];
            const Beat& before = beats[j - 1];
            b.spread = before.spread;
            b.level = before.level;
            b.levelSpread = before.levelSpread;
            b.jitter = before.jitter;
        }
    }
}

// The values at or above 0 among those within `half` places of `at`.
void WindowValues(const std::vector<double>& values, std::size_t at, int half,
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

// Level (median) and level spread (median distance from it, never below minSpread) of the
// unmarked intervals in the window around each input beat.
void FillLevels(std::vector<Beat>& beats, const std::vector<double>& values,
                const std::vector<std::uint8_t>& marks, const Tuning& k) {
    std::vector<double> kept(values);
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (marks[i] != 0) {
            kept[i] = -1;
        }
    }
    SlidingWindow window(kept, k.window);
    std::vector<double> w;
    ForEachWindow(beats, values, [&](std::size_t j, std::size_t at) {
        window.MoveTo(at);
        double level = 0;
        double distance = 0;
        if (window.Size() >= kMinWindow) {
            level = window.Quantile(0.5);
            distance = window.MedianDistance(level);
        } else { // too few unmarked intervals: all of them
            WindowValues(values, at, k.window, w);
            level = Median(w);
            for (double& v : w) {
                v = std::fabs(v - level);
            }
            distance = Median(w);
        }
        beats[j].level = level;
        beats[j].levelSpread = std::max(k.minSpread, distance);
    });
}

} // namespace

void ScalesFromInput(std::vector<Beat>& beats, const Tuning& k) {
    const std::size_t n = beats.size() - 1;
    std::vector<double> values(n);
    std::vector<double> diff(n, -1.0);
    for (std::size_t i = 0; i < n; ++i) {
        values[i] = beats[i].next;
        if (i > 0) {
            diff[i] = std::fabs(values[i] - values[i - 1]);
        }
    }
    // The spread over a window twice as wide as the level's (artefacts are not marked yet),
    // the jitter one spread.
    SlidingWindow diffs(diff, k.firstWindow);
    ForEachWindow(beats, values, [&](std::size_t j, std::size_t at) {
        diffs.MoveTo(at);
        beats[j].spread = std::max(k.minSpread, diffs.Quantile(0.5));
        beats[j].jitter = 1.0;
    });
    FillLevels(beats, values, std::vector<std::uint8_t>(n, 0), k);
}

void ScalesFromPass(std::vector<Beat>& beats, const PassResult& p, const Tuning& k) {
    const std::size_t m = p.marks.size();
    std::vector<double> values(m);
    for (std::size_t i = 0; i < m; ++i) {
        values[i] = p.beats[i + 1] - p.beats[i];
    }
    // |successive difference| where both intervals are unmarked, and the jitter: how far a beat
    // lies from the place its neighbours give it, where its four intervals are unmarked.
    std::vector<double> diff(m, -1.0);
    std::vector<double> offset(m, -1.0);
    for (std::size_t i = 1; i < m; ++i) {
        if (p.marks[i] == 0 && p.marks[i - 1] == 0) {
            diff[i] = std::fabs(values[i] - values[i - 1]);
        }
    }
    for (std::size_t i = 2; i + 1 < m; ++i) {
        if (diff[i - 1] >= 0 && diff[i] >= 0 && diff[i + 1] >= 0) {
            offset[i] =
                std::fabs((values[i - 1] - values[i]) / 2 - (values[i - 2] - values[i + 1]) / 6);
        }
    }
    // Where the window holds too few of them (a long run of artefacts), the input's statistics
    // at the beat stand: its spread, and a jitter of one spread. The jitter is never taken
    // below minJitter: in a very regular series a beat one tick off would be moved for nothing.
    SlidingWindow diffs(diff, k.window);
    SlidingWindow offsets(offset, k.jitterWindow);
    ForEachWindow(beats, values, [&](std::size_t j, std::size_t at) {
        Beat& b = beats[j];
        diffs.MoveTo(at);
        const double local =
            diffs.Size() >= kMinWindow ? std::max(k.minSpread, diffs.Quantile(0.5)) : b.spread;
        offsets.MoveTo(at);
        const double displaced =
            offsets.Size() >= 2 * kMinWindow ? offsets.Quantile(k.jitterQuantile) : b.spread;
        b.spread = local;
        b.jitter = std::max(k.minJitter, displaced) / local;
    });
    FillLevels(beats, values, p.marks, k);
}

} // namespace hrv::correction
