// The fast spectrum against its literal evaluation, on every vector path and thread count.
#include "analysis/pipeline.h"
#include "analysis/resampling.h"
#include "analysis/time_stats.h"
#include "files/fragment_load.h"
#include "tests/support/test_support.h"
#include "util/executor.h"

#include <algorithm>
#include <numeric>
#include <stdexcept>
#include <thread>

namespace hrv {
namespace {

using test::NewFragment;
using test::Repeat;
using test::SetIntervals;

// Every test leaves the default vector path behind it.
class FastSpectrum : public ::testing::Test {
protected:
    void TearDown() override { UseSpectrumPath(BestSpectrumPath()); }

    static std::vector<SpectrumPath> PathsHere() {
        std::vector<SpectrumPath> paths;
        for (const auto p : {SpectrumPath::Portable, SpectrumPath::Avx2, SpectrumPath::Avx512}) {
            if (UseSpectrumPath(p)) {
                paths.push_back(p);
            }
        }
        return paths;
    }

    // Within a relative 1e-12 of `expected` when it stands for at least 1e-6 of the power
    // (`share`), within 1e-9 below that: there the sums cancel almost completely and the literal
    // sums' own rounding outweighs 1e-12.
    static ::testing::AssertionResult Close(double actual, double expected, double share) {
        const double tolerance = share >= 1e-6 ? 1e-12 : 1e-9;
        if (std::fabs(actual - expected) <= tolerance * std::fabs(expected)) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure()
               << actual << " differs from " << expected << " by a relative "
               << std::fabs(actual - expected) / std::fabs(expected) << " (share " << share << ")";
    }

    // The whole analysis of `input`, fast and literal, on every path: bins, bands and ratios
    // agree as Close demands, integers exactly.
    static void ExpectMatchesLiteral(const FragmentData& input, const std::string& what) {
        auto literal = std::make_unique<FragmentData>(input);
        ASSERT_TRUE(Resample(*literal, 1)) << what;
        ComputeSpectrumReference(*literal);
        ComputeStatistics(*literal);
        const auto& p = literal->Spectrum.Power;
        // The power of every bin, in the units of the bands.
        const double all =
            std::accumulate(p.begin() + 1, p.end(), 0.0) * kBinSpacing * kBandPowerScale;
        const auto& b = literal->SpectralIndices;
        for (const auto path : PathsHere()) {
            SCOPED_TRACE(what + " " + SpectrumPathName(path));
            UseSpectrumPath(path);
            auto fast = std::make_unique<FragmentData>(input);
            ASSERT_TRUE(AnalyseFragment(*fast));
            for (int k = 1; k <= kBinCount; ++k) {
                const double share = p[k] * kBinSpacing * kBandPowerScale / all;
                ASSERT_TRUE(Close(fast->Spectrum.Power[k], p[k], share)) << k;
            }
            const auto& a = fast->SpectralIndices;
            EXPECT_TRUE(Close(a.VLF, b.VLF, b.VLF / all));
            EXPECT_TRUE(Close(a.LF, b.LF, b.LF / all));
            EXPECT_TRUE(Close(a.HF, b.HF, b.HF / all));
            EXPECT_TRUE(Close(a.Total, b.Total, b.Total / all));
            // A ratio is as well conditioned as the smaller band in it.
            EXPECT_TRUE(Close(a.LFnorm, b.LFnorm, b.LF / all));
            EXPECT_TRUE(Close(a.HFnorm, b.HFnorm, b.HF / all));
            EXPECT_TRUE(Close(a.LFHF, b.LFHF, std::min(b.LF, b.HF) / all));
            // The samples as windowed: the window's table holds the factors evaluated per sample.
            EXPECT_EQ(fast->ResampleBuffer, literal->ResampleBuffer);
            EXPECT_EQ(fast->FragmentCount, literal->FragmentCount);
            const auto& t = fast->TimeIndices;
            const auto& u = literal->TimeIndices;
            EXPECT_EQ(std::tie(t.ModeClass, t.ModeCount, t.AMo, t.HRVind, t.TINN, t.HR, t.MinClass,
                               t.MaxClass),
                      std::tie(u.ModeClass, u.ModeCount, u.AMo, u.HRVind, u.TINN, u.HR, u.MinClass,
                               u.MaxClass));
        }
    }
};

TEST_F(FastSpectrum, RealRecordingsMatchTheLiteralEvaluation) {
    const std::string dir = test::SharedData();
    if (dir.empty()) {
        GTEST_SKIP() << "no recordings beside the project";
    }
    int analysed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".rr") {
            continue;
        }
        auto f = NewFragment();
        auto w = std::make_unique<PpgWorkspace>();
        ASSERT_EQ(LoadFragmentFile(entry.path().string(), FileKind::Rr, *f, *w),
                  LoadResult::Loaded);
        auto probe = std::make_unique<FragmentData>(*f);
        if (Resample(*probe, 1)) {
            ExpectMatchesLiteral(*f, entry.path().filename().string());
            ++analysed;
        }
    }
    EXPECT_GE(analysed, 5);
}

TEST_F(FastSpectrum, EdgeFragmentsMatchTheLiteralEvaluation) {
    // 16 ticks is the shortest constant interval that fills 300 s within the 2000 intervals a
    // fragment holds; 255 is the longest interval there is.
    std::vector<int> alternating;
    for (int i = 0; i < 300; ++i) {
        alternating.push_back(i % 2 ? 255 : 16);
    }
    for (const auto& ticks : {Repeat(16, 2000), Repeat(255, 200), Repeat(80, 400), alternating,
                              test::Concat({Repeat(255, 60), Repeat(16, 1900)})}) {
        auto f = NewFragment();
        SetIntervals(*f, ticks);
        // Alternating 16 and 255 ticks leaves bins of 1e-14 of the power and an LF band of 1e-6.
        ExpectMatchesLiteral(*f, std::to_string(ticks.front()) + "/" + std::to_string(ticks[1]));
    }
}

TEST_F(FastSpectrum, EveryPathAndThreadCountGivesTheSameBits) {
    auto input = NewFragment();
    SetIntervals(*input, test::ModulatedRhythm(85, 12, 7, 600));
    std::unique_ptr<FragmentData> first;
    for (const auto path : PathsHere()) {
        for (const int threads : {1, 2, 5}) {
            UseSpectrumPath(path);
            Executor executor(threads);
            auto f = std::make_unique<FragmentData>(*input);
            ASSERT_TRUE(AnalyseFragment(*f, executor));
            if (!first) {
                first = std::move(f);
                continue;
            }
            SCOPED_TRACE(std::string(SpectrumPathName(path)) + " " + std::to_string(threads));
            EXPECT_EQ(f->Spectrum.Power, first->Spectrum.Power);
            EXPECT_EQ(f->Spectrum.CosSum, first->Spectrum.CosSum);
            EXPECT_EQ(f->Spectrum.SinSum, first->Spectrum.SinSum);
            EXPECT_EQ(f->SpectralIndices.LFHF, first->SpectralIndices.LFHF);
        }
    }
}

TEST_F(FastSpectrum, ProgressComesInBinOrderFromTheCallingThread) {
    Executor executor(4);
    for (const auto path : PathsHere()) {
        UseSpectrumPath(path);
        auto f = NewFragment();
        SetIntervals(*f, test::ModulatedRhythm(70, 9, 5, 700));
        std::vector<int> seen;
        const auto caller = std::this_thread::get_id();
        ASSERT_TRUE(AnalyseFragment(*f, executor, [&](int k) {
            EXPECT_EQ(std::this_thread::get_id(), caller);
            seen.push_back(k);
        }));
        std::vector<int> expected(kBinCount);
        std::iota(expected.begin(), expected.end(), 1);
        EXPECT_EQ(seen, expected) << SpectrumPathName(path);
    }
}

TEST_F(FastSpectrum, AnalysesOnSeveralThreadsAtOnceGiveTheirOwnResults) {
    // As a tool analysing several files side by side would run them.
    std::vector<std::unique_ptr<FragmentData>> inputs;
    std::vector<std::unique_ptr<FragmentData>> alone;
    for (int i = 0; i < 3; ++i) {
        inputs.push_back(NewFragment());
        SetIntervals(*inputs.back(), test::ModulatedRhythm(60 + 20 * i, 5 + i, 3 + i, 700));
        alone.push_back(std::make_unique<FragmentData>(*inputs.back()));
        ASSERT_TRUE(AnalyseFragment(*alone.back()));
    }
    // All on one executor: whoever holds its workers spreads its bins, the others run alone.
    Executor executor(3);
    std::vector<std::unique_ptr<FragmentData>> together(3);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < 3; ++i) {
        threads.emplace_back([&, i] {
            for (int round = 0; round < 3; ++round) {
                together[i] = std::make_unique<FragmentData>(*inputs[i]);
                AnalyseFragment(*together[i], executor);
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(together[i]->Spectrum.Power, alone[i]->Spectrum.Power) << i;
    }
}

TEST_F(FastSpectrum, AProgressHandlerThatThrowsLeavesTheNextAnalysisWorking) {
    Executor executor(3);
    auto f = NewFragment();
    SetIntervals(*f, test::ModulatedRhythm(90, 10, 6, 500));
    auto g = std::make_unique<FragmentData>(*f);
    EXPECT_THROW(AnalyseFragment(*f, executor,
                                 [](int k) {
                                     if (k == 20) {
                                         throw std::runtime_error("cancelled");
                                     }
                                 }),
                 std::runtime_error);
    ASSERT_TRUE(AnalyseFragment(*g, executor));
    EXPECT_GT(g->SpectralIndices.Total, 0);
}

TEST_F(FastSpectrum, AnAnalysisStartedFromAProgressHandlerRunsToo) {
    // As a window handling its events inside the progress handler might start one.
    Executor executor(2);
    auto outer = NewFragment();
    SetIntervals(*outer, test::ModulatedRhythm(75, 8, 4, 600));
    auto inner = NewFragment();
    SetIntervals(*inner, test::ModulatedRhythm(95, 6, 9, 500));
    auto innerAlone = std::make_unique<FragmentData>(*inner);
    auto outerAlone = std::make_unique<FragmentData>(*outer);
    ASSERT_TRUE(AnalyseFragment(*innerAlone));
    ASSERT_TRUE(AnalyseFragment(*outerAlone));
    ASSERT_TRUE(AnalyseFragment(*outer, executor, [&](int k) {
        if (k == 10) {
            EXPECT_TRUE(AnalyseFragment(*inner, executor));
        }
    }));
    EXPECT_EQ(inner->Spectrum.Power, innerAlone->Spectrum.Power);
    EXPECT_EQ(outer->Spectrum.Power, outerAlone->Spectrum.Power);
}

} // namespace
} // namespace hrv
