// Speed of the whole analysis of a five-minute fragment and of decoding a 1 MB PPG file.
#include "analysis/pipeline.h"
#include "analysis/resampling.h"
#include "analysis/time_stats.h"
#include "files/fragment_load.h"
#include "files/ppg_decoder.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <memory>

namespace hrv {
namespace {

// The shipped sample: a real resting recording of six minutes.
std::unique_ptr<FragmentData> SampleFragment() {
    auto f = std::make_unique<FragmentData>();
    auto w = std::make_unique<PpgWorkspace>();
    LoadFragmentFile(HRV_SAMPLE, FileKind::Rr, *f, *w);
    return f;
}

void BM_WholeAnalysis(benchmark::State& state) {
    auto f = SampleFragment();
    for (auto _ : state) {
        const bool ok = AnalyseFragment(*f);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(f->SpectralIndices.Total);
    }
}
BENCHMARK(BM_WholeAnalysis)->Unit(benchmark::kMillisecond);

void BM_Resample(benchmark::State& state) {
    auto f = SampleFragment();
    for (auto _ : state) {
        benchmark::DoNotOptimize(Resample(*f, 1));
    }
}
BENCHMARK(BM_Resample)->Unit(benchmark::kMicrosecond);

void BM_Spectrum(benchmark::State& state) {
    auto f = SampleFragment();
    Resample(*f, 1);
    const auto rhythm = f->ResampleBuffer;
    for (auto _ : state) {
        std::copy_n(rhythm.begin(), kSpectrumSamples, f->ResampleBuffer.begin());
        ComputeSpectrum(*f);
        benchmark::DoNotOptimize(f->Spectrum.Power[1]);
    }
}
BENCHMARK(BM_Spectrum)->Unit(benchmark::kMillisecond);

void BM_Statistics(benchmark::State& state) {
    auto f = SampleFragment();
    Resample(*f, 1);
    for (auto _ : state) {
        ComputeStatistics(*f);
        benchmark::DoNotOptimize(f->TimeIndices.SDNN);
    }
}
BENCHMARK(BM_Statistics)->Unit(benchmark::kMicrosecond);

// A pulse wave of about 1 MB: 166,000 frames (27 minutes) of a smooth pulse every 0.8 s.
std::vector<std::uint8_t> PpgMegabyte() {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(1000000);
    for (int t = 0; bytes.size() + 6 <= 1000000; ++t) {
        const double phase = std::fmod(t, 80.0) / 80.0;
        const double wave = phase < 0.15 ? phase / 0.15 : std::exp(-(phase - 0.15) * 4);
        const auto a = static_cast<std::uint8_t>(20 + 180 * wave);
        for (const std::uint8_t s : {std::uint8_t{231}, a, std::uint8_t{100}}) {
            bytes.push_back(s);
            bytes.push_back(0);
        }
    }
    return bytes;
}

void BM_DecodePpgMegabyte(benchmark::State& state) {
    const auto bytes = PpgMegabyte();
    auto w = std::make_unique<PpgWorkspace>();
    for (auto _ : state) {
        benchmark::DoNotOptimize(DecodePpgBytes(bytes, *w));
    }
    state.counters["pulses"] = w->PulseCount;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_DecodePpgMegabyte)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace hrv

BENCHMARK_MAIN();
