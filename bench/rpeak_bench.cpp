// Speed of the R-peak detector: on MIT-BIH record 100 (30 min at 360 Hz, lead MLII; skipped
// when the shared data is absent) and on a synthetic 24-hour lead at 500 Hz.
#include "analysis/rpeak_detector.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

// The first signal of a two-signal format 212 file, in mV (gain 200, baseline 1024).
std::vector<float> FirstLead(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in), {}};
    std::vector<float> out;
    out.reserve(bytes.size() / 3);
    for (std::size_t i = 0; i + 2 < bytes.size(); i += 3) {
        int v = bytes[i] | ((bytes[i + 1] & 0x0f) << 8);
        v = v >= 2048 ? v - 4096 : v;
        out.push_back(static_cast<float>(v - 1024) / 200.0F);
    }
    return out;
}

// A day of sinus rhythm with breathing's variation, baseline wander and noise.
std::vector<float> SyntheticDay(double rate) {
    const auto n = static_cast<std::size_t>(24.0 * 3600.0 * rate);
    std::vector<float> x(n);
    std::mt19937 random(1);
    std::normal_distribution<double> noise(0.0, 0.02);
    double next = 0.5;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        if (t > next + 0.4) {
            next += 0.8 + 0.05 * std::sin(2.0 * 3.14159265358979 * 0.25 * next);
        }
        const double d = t - next;
        const double ecg = std::exp(-d * d / (2 * 0.01 * 0.01)) +
                           0.25 * std::exp(-(d - 0.25) * (d - 0.25) / (2 * 0.04 * 0.04));
        x[i] = static_cast<float>(ecg + 0.3 * std::sin(0.6 * t) + noise(random));
    }
    return x;
}

void Record100(benchmark::State& state) {
    const std::vector<float> lead = FirstLead(std::string(HRV_ECG) + "/mitdb/100.dat");
    if (lead.empty()) {
        state.SkipWithError("no record 100");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(hrv::DetectRPeaks(lead, 360.0));
    }
}
BENCHMARK(Record100)->Unit(benchmark::kMillisecond);

void Record100ReadAndDetect(benchmark::State& state) {
    const std::string path = std::string(HRV_ECG) + "/mitdb/100.dat";
    for (auto _ : state) {
        const std::vector<float> lead = FirstLead(path);
        benchmark::DoNotOptimize(hrv::DetectRPeaks(lead, 360.0));
    }
}
BENCHMARK(Record100ReadAndDetect)->Unit(benchmark::kMillisecond);

void Day500Hz(benchmark::State& state) {
    const std::vector<float> lead = SyntheticDay(500.0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(hrv::DetectRPeaks(lead, 500.0));
    }
}
BENCHMARK(Day500Hz)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

BENCHMARK_MAIN();
