// Speed of the spectrum (literal; by rotation on one core, on each narrower path and on every
// core; the direct vector evaluation before rotation on one core and on every core), of the whole
// analysis of a five-minute fragment (also entered with dirty vector registers), of the artefact
// correction of such a fragment and of decoding a 1 MB PPG file.
#include "analysis/beat_correction.h"
#include "analysis/nonlinear.h"
#include "analysis/pipeline.h"
#include "analysis/resampling.h"
#include "analysis/time_stats.h"
#include "bench/spectrum_direct.h"
#include "files/fragment_load.h"
#include "files/ppg_decoder.h"
#include "util/executor.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <fstream>
#include <memory>
#include <string>

namespace hrv {
namespace {

// The shipped sample: a real resting recording of six minutes.
std::unique_ptr<FragmentData> SampleFragment() {
    auto f = std::make_unique<FragmentData>();
    auto w = std::make_unique<PpgWorkspace>();
    LoadFragmentFile(HRV_SAMPLE, FileKind::Rr, *f, *w);
    return f;
}

// Leaves the upper halves of the vector registers dirty, as the C library's wide string routines
// or Qt may: a 512-bit (or 256-bit) operation and no vzeroupper after it.
void DirtyUpperHalves() {
#if defined(__x86_64__) && defined(__GNUC__)
    if (__builtin_cpu_supports("avx512f")) {
        asm volatile("vpternlogd $0xff, %%zmm0, %%zmm0, %%zmm0" ::: "xmm0");
    } else if (__builtin_cpu_supports("avx2")) {
        asm volatile("vpcmpeqd %%ymm0, %%ymm0, %%ymm0" ::: "xmm0");
    }
#endif
}

// The literal evaluation: one bin after another, two std::cos/std::sin calls per sample and bin.
void BM_LiteralSpectrum(benchmark::State& state) {
    auto f = SampleFragment();
    Resample(*f, 1);
    const auto rhythm = f->ResampleBuffer;
    for (auto _ : state) {
        std::copy_n(rhythm.begin(), kSpectrumSamples, f->ResampleBuffer.begin());
        ComputeSpectrumReference(*f);
        benchmark::DoNotOptimize(f->Spectrum.Power[1]);
    }
}
BENCHMARK(BM_LiteralSpectrum)->Unit(benchmark::kMillisecond)->UseRealTime();

// The spectrum on `threads` threads (0: the program's, all cores unless RVX_THREADS says less).
void SpectrumOn(benchmark::State& state, int threads) {
    auto f = SampleFragment();
    Resample(*f, 1);
    const auto rhythm = f->ResampleBuffer;
    Executor executor(threads > 0 ? threads : ThreadsFromEnvironment());
    for (auto _ : state) {
        std::copy_n(rhythm.begin(), kSpectrumSamples, f->ResampleBuffer.begin());
        ComputeSpectrum(*f, executor);
        benchmark::DoNotOptimize(f->Spectrum.Power[1]);
    }
    state.counters["threads"] = executor.Threads();
}

void BM_SpectrumOneCore(benchmark::State& state) {
    SpectrumOn(state, 1);
}
BENCHMARK(BM_SpectrumOneCore)->Unit(benchmark::kMillisecond)->UseRealTime();

// The narrower vector paths on one core, where the processor has them.
void BM_SpectrumOneCoreOnPath(benchmark::State& state) {
    const auto path = static_cast<SpectrumPath>(state.range(0));
    state.SetLabel(SpectrumPathName(path));
    if (!UseSpectrumPath(path)) {
        state.SkipWithError("not available on this processor");
        return;
    }
    SpectrumOn(state, 1);
    UseSpectrumPath(BestSpectrumPath());
}
BENCHMARK(BM_SpectrumOneCoreOnPath)
    ->Arg(static_cast<int>(SpectrumPath::Avx2))
    ->Arg(static_cast<int>(SpectrumPath::Portable))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_Spectrum(benchmark::State& state) {
    SpectrumOn(state, 0);
}
BENCHMARK(BM_Spectrum)->Unit(benchmark::kMillisecond)->UseRealTime();

// The vector evaluation before rotation (every angle's cosine and sine evaluated afresh) on
// `threads` threads (0: as SpectrumOn), on the best path.
void DirectSpectrumOn(benchmark::State& state, int threads) {
    auto f = SampleFragment();
    Resample(*f, 1);
    const auto rhythm = f->ResampleBuffer;
    Executor executor(threads > 0 ? threads : ThreadsFromEnvironment());
    for (auto _ : state) {
        std::copy_n(rhythm.begin(), kSpectrumSamples, f->ResampleBuffer.begin());
        bench::ComputeSpectrumDirect(*f, executor);
        benchmark::DoNotOptimize(f->Spectrum.Power[1]);
    }
    state.counters["threads"] = executor.Threads();
    state.SetLabel(SpectrumPathName(ActiveSpectrumPath()));
}

void BM_DirectSpectrumOneCore(benchmark::State& state) {
    DirectSpectrumOn(state, 1);
}
BENCHMARK(BM_DirectSpectrumOneCore)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DirectSpectrum(benchmark::State& state) {
    DirectSpectrumOn(state, 0);
}
BENCHMARK(BM_DirectSpectrum)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WholeAnalysis(benchmark::State& state) {
    auto f = SampleFragment();
    for (auto _ : state) {
        const bool ok = AnalyseFragment(*f, ProgramExecutor());
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(f->SpectralIndices.Total);
    }
}
BENCHMARK(BM_WholeAnalysis)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole analysis entered with dirty upper register halves, as the window enters it.
void BM_WholeAnalysisDirtyRegisters(benchmark::State& state) {
    auto f = SampleFragment();
    for (auto _ : state) {
        DirtyUpperHalves();
        const bool ok = AnalyseFragment(*f, ProgramExecutor());
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(f->SpectralIndices.Total);
    }
}
BENCHMARK(BM_WholeAnalysisDirtyRegisters)->Unit(benchmark::kMillisecond)->UseRealTime();

// The literal evaluation entered likewise: shows whether this processor charges for dirty upper
// halves at all (the plain code has no vzeroupper of its own).
void BM_LiteralSpectrumDirtyRegisters(benchmark::State& state) {
    auto f = SampleFragment();
    Resample(*f, 1);
    const auto rhythm = f->ResampleBuffer;
    for (auto _ : state) {
        std::copy_n(rhythm.begin(), kSpectrumSamples, f->ResampleBuffer.begin());
        DirtyUpperHalves();
        ComputeSpectrumReference(*f);
        benchmark::DoNotOptimize(f->Spectrum.Power[1]);
    }
}
BENCHMARK(BM_LiteralSpectrumDirtyRegisters)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Resample(benchmark::State& state) {
    auto f = SampleFragment();
    for (auto _ : state) {
        benchmark::DoNotOptimize(Resample(*f, 1));
    }
}
BENCHMARK(BM_Resample)->Unit(benchmark::kMicrosecond);

void BM_Statistics(benchmark::State& state) {
    auto f = SampleFragment();
    Resample(*f, 1);
    for (auto _ : state) {
        ComputeStatistics(*f);
        benchmark::DoNotOptimize(f->TimeIndices.SDNN);
    }
}
BENCHMARK(BM_Statistics)->Unit(benchmark::kMicrosecond);

// The nonlinear indices of the analysed sample (what --nonlinear adds to a fragment).
void BM_Nonlinear(benchmark::State& state) {
    auto f = SampleFragment();
    AnalyseFragment(*f);
    for (auto _ : state) {
        const NonlinearIndices r = ComputeNonlinear(*f);
        benchmark::DoNotOptimize(r.SD1);
    }
}
BENCHMARK(BM_Nonlinear)->Unit(benchmark::kMicrosecond);

// The sample's intervals; with `artefacts`, a missed, an extra, a premature and a misplaced beat
// in turn at every 33rd beat (3 in 100).
std::vector<std::uint8_t> SampleTicks(bool artefacts) {
    auto f = SampleFragment();
    std::vector<std::uint8_t> t(f->RrTicks.begin() + 1, f->RrTicks.begin() + 1 + f->RrCount);
    if (!artefacts) {
        return t;
    }
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < t.size(); ++i) {
        const bool here = i % 33 == 20 && i + 1 < t.size();
        switch (here ? (i / 33) % 4 : 4) {
        case 0: // missed: two intervals as one
            out.push_back(static_cast<std::uint8_t>(t[i] + t[i + 1]));
            ++i;
            break;
        case 1: // extra: one interval split at a third
            out.push_back(static_cast<std::uint8_t>(t[i] / 3));
            out.push_back(static_cast<std::uint8_t>(t[i] - t[i] / 3));
            break;
        case 2:   // premature by 30 %, the next beat on time
        case 3: { // misplaced by 150 ms
            const int shift = (i / 33) % 4 == 2 ? -t[i] * 3 / 10 : 15;
            out.push_back(static_cast<std::uint8_t>(t[i] + shift));
            out.push_back(static_cast<std::uint8_t>(t[i + 1] - shift));
            ++i;
            break;
        }
        default:
            out.push_back(t[i]);
        }
    }
    return out;
}

void CorrectOn(benchmark::State& state, bool artefacts) {
    const auto ticks = SampleTicks(artefacts);
    BeatCorrection c;
    for (auto _ : state) {
        CorrectBeats(ticks, c);
        benchmark::DoNotOptimize(c.ticks.data());
    }
    state.counters["intervals"] = static_cast<double>(ticks.size());
    state.counters["artefacts"] = static_cast<double>(c.artefacts.size());
}

void BM_CorrectBeatsClean(benchmark::State& state) {
    CorrectOn(state, false);
}
BENCHMARK(BM_CorrectBeatsClean)->Unit(benchmark::kMicrosecond);

void BM_CorrectBeatsArtefacts(benchmark::State& state) {
    CorrectOn(state, true);
}
BENCHMARK(BM_CorrectBeatsArtefacts)->Unit(benchmark::kMicrosecond);

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

namespace {

// The processor's name, for the run's header.
std::string CpuModel() {
    std::ifstream in("/proc/cpuinfo");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("model name", 0) == 0) {
            return line.substr(line.find(':') + 2);
        }
    }
    return "unknown";
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::AddCustomContext("cpu_model", CpuModel());
    benchmark::AddCustomContext("spectrum_path", hrv::SpectrumPathName(hrv::ActiveSpectrumPath()));
    benchmark::AddCustomContext("analysis_threads",
                                std::to_string(hrv::ProgramExecutor().Threads()));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
