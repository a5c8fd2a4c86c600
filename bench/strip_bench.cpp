// Speed of the signal strip's envelope: a 24-hour channel at 360 Hz (31 M samples) drawn on 1600
// columns at several zooms, and the pyramid made once when the recording is opened.
#include "presentation/beat_edits.h"
#include "presentation/signal_strip.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <random>

namespace {

constexpr double kRate = 360;
constexpr double kDay = 24 * 3600;

// An ECG-like channel: an R wave every 0.8 s over noise and a slow baseline wander.
const hrv::SignalChannel& DayChannel() {
    static const hrv::SignalChannel channel = [] {
        hrv::SignalChannel c;
        c.rate = kRate;
        const auto n = static_cast<std::size_t>(kDay * kRate);
        c.raw16.resize(n);
        std::mt19937 rng(1);
        std::uniform_int_distribution<int> noise(-8, 8);
        for (std::size_t i = 0; i < n; ++i) {
            const double t = static_cast<double>(i) / kRate;
            const double phase = std::fmod(t, 0.8) - 0.4;
            const double r = 200 * std::exp(-phase * phase / (2 * 0.01 * 0.01));
            c.raw16[i] = static_cast<std::int16_t>(r + 30 * std::sin(0.3 * t) + noise(rng));
        }
        return c;
    }();
    return channel;
}

void BM_PyramidOfADay(benchmark::State& state) {
    const hrv::SignalChannel& c = DayChannel();
    for (auto _ : state) {
        hrv::EnvelopePyramid pyramid(c);
        benchmark::DoNotOptimize(pyramid);
    }
    state.counters["MB"] = static_cast<double>(hrv::EnvelopePyramid(c).MemoryBytes()) / 1e6;
}
BENCHMARK(BM_PyramidOfADay)->Unit(benchmark::kMillisecond);

// Envelope of a viewport `state.range(0)` seconds wide at starts spread over the day.
void BM_EnvelopeAt1600Columns(benchmark::State& state) {
    static const hrv::EnvelopePyramid pyramid(DayChannel());
    hrv::StripViewport view(kDay, 1600);
    std::vector<hrv::EnvelopeColumn> out;
    std::mt19937 rng(2);
    std::uniform_real_distribution<double> start(0, kDay);
    for (auto _ : state) {
        view.Show(start(rng), static_cast<double>(state.range(0)));
        pyramid.EnvelopeInto(view, out);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_EnvelopeAt1600Columns)
    ->Arg(1)
    ->Arg(10)
    ->Arg(60)
    ->Arg(600)
    ->Arg(3600)
    ->Arg(6 * 3600)
    ->Arg(24 * 3600)
    ->Unit(benchmark::kMicrosecond);

// One edit by hand on a day of beats (108,000 at 0.8 s) with a five-minute fragment corrected:
// the edit, the proposals made anew, and the edited beats for the analysis and the strip.
void BM_EditOnADayOfBeats(benchmark::State& state) {
    static const hrv::SignalRecording day = [] {
        hrv::SignalRecording r;
        r.beatRate = kRate;
        std::mt19937 rng(3);
        std::uniform_int_distribution<int> jitter(-20, 20);
        for (double t = 0.4; t < kDay; t += 0.8) {
            r.beats.push_back(hrv::Beat{std::llround(t * kRate) + jitter(rng)});
        }
        r.channels.push_back(DayChannel());
        return r;
    }();
    hrv::BeatEditor editor(day, 0);
    editor.SetFragment(true, 43200, 43500);
    for (auto _ : state) {
        editor.Add(43300.0);
        benchmark::DoNotOptimize(editor.Edited());
        benchmark::DoNotOptimize(editor.Marks());
        editor.Undo();
    }
}
BENCHMARK(BM_EditOnADayOfBeats)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
