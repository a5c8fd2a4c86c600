// Speed of the standard (Task Force) analysis: one 5-minute fragment, and a 24-hour recording
// analysed in consecutive 5-minute windows, both with the default settings (4 Hz, Welch 300 s,
// Burg order 16, Lomb, 300 points per Hz).
#include "standard/standard.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <numbers>
#include <span>
#include <vector>

namespace {

// Beat times (s) of a series with a respiratory and a slow wave and a little jitter.
std::vector<double> SyntheticBeats(double seconds) {
    std::vector<double> t{0.0};
    unsigned state = 1;
    while (t.back() < seconds) {
        state = state * 1103515245u + 12345u;
        const double jitter = static_cast<double>((state >> 8) % 1000) / 1000.0 - 0.5;
        const double x = t.back();
        const double rr = 0.8 + 0.04 * std::sin(2 * std::numbers::pi * 0.25 * x) +
                          0.03 * std::sin(2 * std::numbers::pi * 0.08 * x) + 0.01 * jitter;
        t.push_back(x + rr);
    }
    return t;
}

void BM_StandardFiveMinutes(benchmark::State& state) {
    const std::vector<double> beats = SyntheticBeats(300);
    const hrv::standard::Settings settings;
    for (auto _ : state) {
        benchmark::DoNotOptimize(hrv::standard::Analyse(beats, settings));
    }
}
BENCHMARK(BM_StandardFiveMinutes)->Unit(benchmark::kMillisecond);

void BM_StandardDayInFiveMinuteWindows(benchmark::State& state) {
    const std::vector<double> beats = SyntheticBeats(86400);
    const hrv::standard::Settings settings;
    for (auto _ : state) {
        std::size_t from = 0;
        int windows = 0;
        while (from + 4 < beats.size()) {
            std::size_t to = from;
            while (to + 1 < beats.size() && beats[to + 1] <= beats[from] + 300) {
                ++to;
            }
            const std::span<const double> window(beats.data() + from, to - from + 1);
            benchmark::DoNotOptimize(hrv::standard::Analyse(window, settings));
            ++windows;
            from = to;
        }
        state.counters["windows"] = windows;
    }
}
BENCHMARK(BM_StandardDayInFiveMinuteWindows)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
