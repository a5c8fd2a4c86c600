// The nonlinear indices: hand-worked cases, the undefined ones, and a real recording against an
// independent numpy evaluation of the definitions (bench/nonlinear_reference.py).
#include "analysis/nonlinear.h"
#include "analysis/pipeline.h"
#include "files/fragment_load.h"
#include "files/ppg_decoder.h"
#include "tests/support/test_support.h"

#include <cmath>

namespace hrv {
namespace {

using Ticks = std::vector<std::uint8_t>;

TimeIndicesData Histogram(int mode, int amo, int lowest, int highest) {
    TimeIndicesData t;
    t.ModeClass = mode;
    t.AMo = amo;
    t.MinClass = lowest;
    t.MaxClass = highest;
    return t;
}

TEST(Nonlinear, ConstantSeries) {
    const Ticks x(400, 80);
    const NonlinearIndices r = ComputeNonlinear(x, Histogram(80, 100, 80, 80));
    EXPECT_EQ(r.SD1, 0);
    EXPECT_EQ(r.SD2, 0);
    EXPECT_FALSE(r.SD1SD2);
    ASSERT_TRUE(r.SampEn); // every pair matches: B = A
    EXPECT_EQ(*r.SampEn, 0);
    EXPECT_FALSE(r.DFAAlpha1); // the profile is 0, so is every F(s)
    EXPECT_FALSE(r.DFAAlpha2);
    EXPECT_FALSE(r.SI);
}

TEST(Nonlinear, PoincareByHand) {
    // 800, 820, 800, 820 ms: differences 20, -20, 20 (sample variance 3200/6); sums 1620 each.
    const Ticks x{80, 82, 80, 82};
    const NonlinearIndices r = ComputeNonlinear(x, Histogram(80, 50, 80, 82));
    EXPECT_DOUBLE_EQ(r.SD1, std::sqrt(3200.0 / 6) / std::sqrt(2.0));
    EXPECT_EQ(r.SD2, 0);
    EXPECT_FALSE(r.SD1SD2);
    // AMo 50 % / (2 * 0.8 s * 0.02 s)
    ASSERT_TRUE(r.SI);
    EXPECT_DOUBLE_EQ(*r.SI, 50 / (2 * 0.8 * 0.02));
}

TEST(Nonlinear, ShortSeriesHasNoSecondExponent) {
    Ticks x;
    for (int k = 0; k < 200; ++k) {
        x.push_back(static_cast<std::uint8_t>(80 + (k * 7 % 11) - (k % 3)));
    }
    const NonlinearIndices r = ComputeNonlinear(x, Histogram(80, 20, 70, 90));
    EXPECT_TRUE(r.DFAAlpha1);
    EXPECT_FALSE(r.DFAAlpha2);
    const NonlinearIndices few = ComputeNonlinear(Ticks(x.begin(), x.begin() + 63), {});
    EXPECT_FALSE(few.DFAAlpha1);
}

TEST(Nonlinear, SampleEntropyWithoutMatchesIsUndefined) {
    // Ten intervals rising by 50 ms: SD 151 ms, r 30 ms, so no two templates match.
    Ticks x;
    for (int k = 0; k < 10; ++k) {
        x.push_back(static_cast<std::uint8_t>(40 + 5 * k));
    }
    EXPECT_FALSE(ComputeNonlinear(x, {}).SampEn);
}

void ExpectNear(double value, double expected) {
    EXPECT_LE(std::abs(value - expected), 1e-9 * std::abs(expected)) << value << " " << expected;
}

TEST(Nonlinear, RealRecordingAgreesWithIndependentEvaluation) {
    auto f = test::NewFragment();
    auto w = std::make_unique<PpgWorkspace>();
    ASSERT_EQ(LoadFragmentFile(HRV_SAMPLE, FileKind::Rr, *f, *w), LoadResult::Loaded);
    ASSERT_TRUE(AnalyseFragment(*f));
    ASSERT_EQ(f->FragmentCount, 397);
    const NonlinearIndices r = ComputeNonlinear(*f);
    // rvx-cli analyze samples/nsrdb_long_00-06min.rr | bench/nonlinear_reference.py
    ExpectNear(r.SD1, 38.208185332675235);
    ExpectNear(r.SD2, 101.82289900506254);
    ExpectNear(r.SD1SD2.value_or(0), 0.3752415783288154);
    ExpectNear(r.SampEn.value_or(0), 1.4706687051253553);
    ExpectNear(r.DFAAlpha1.value_or(0), 1.1793305137515389);
    ExpectNear(r.DFAAlpha2.value_or(0), 0.9317589487343624);
    ExpectNear(r.SI.value_or(0), 13.698630136986301);
}

} // namespace
} // namespace hrv
