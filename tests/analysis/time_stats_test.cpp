// Time-domain indices, histogram and scatter map.
#include "analysis/resampling.h"
#include "analysis/time_stats.h"
#include "tests/support/test_support.h"

namespace hrv {
namespace {

using test::Concat;
using test::NewFragment;
using test::Repeat;
using test::SetIntervals;

// Sets RrTicks and FragmentCount directly and runs the statistics.
void RunStats(FragmentData& f, const std::vector<int>& ticks, int n) {
    SetIntervals(f, ticks);
    f.FragmentCount = static_cast<std::uint16_t>(n);
    ComputeStatistics(f);
}

TEST(TimeStats, EqualIntervalsAfterResampling) {
    auto f = NewFragment();
    SetIntervals(*f, Repeat(80, 500));
    ASSERT_TRUE(Resample(*f, 1));
    ASSERT_EQ(f->FragmentCount, 374);
    ComputeStatistics(*f);
    const auto& t = f->TimeIndices;
    EXPECT_EQ(f->Histogram[80], 374);
    EXPECT_EQ(t.MinClass, 80);
    EXPECT_EQ(t.MaxClass, 80);
    EXPECT_EQ(t.ModeClass, 80);
    EXPECT_EQ(t.ModeCount, 374);
    EXPECT_EQ(t.HRVind, 1);
    EXPECT_EQ(t.TINN, 20);
    EXPECT_EQ(t.AMo, 100);
    EXPECT_EQ(t.SDNN, 0);
    EXPECT_EQ(t.RMSSD, 0);
    EXPECT_EQ(t.NN50, 0);
    EXPECT_EQ(t.pNN50, 0);
    EXPECT_EQ(t.HR, 75);
    for (int c = 0; c < kClassCount; ++c) {
        EXPECT_EQ(f->ScatterMap[c], c == 80 ? 80 : 0) << c;
    }
}

TEST(TimeStats, TheLowerOfTwoEqualModesWinsAndIntegerDivisionsTruncate) {
    auto f = NewFragment();
    // 100 intervals of 90, 100 of 70, 99 of 110: n = 299.
    RunStats(*f, Concat({Repeat(90, 100), Repeat(70, 100), Repeat(110, 99)}), 299);
    const auto& t = f->TimeIndices;
    EXPECT_EQ(t.ModeClass, 70);
    EXPECT_EQ(t.ModeCount, 100);
    EXPECT_EQ(t.HRVind, 2);
    EXPECT_EQ(t.TINN, 40); // not 59.8
    EXPECT_EQ(t.AMo, 33);
    EXPECT_EQ(t.MinClass, 70);
    EXPECT_EQ(t.MaxClass, 110);
}

TEST(TimeStats, HeartRateRoundsTheMeanTiesToEven) {
    auto f = NewFragment();
    // 10 x 151 and 190 x 150 ticks: mean 1500.5 ms rounds to 1500, so HR = 40 (not 39).
    SetIntervals(*f, Concat({Repeat(151, 10), Repeat(150, 190), {100, 100}, Repeat(150, 10)}));
    ASSERT_TRUE(Resample(*f, 1));
    ASSERT_EQ(f->FragmentCount, 200);
    ComputeStatistics(*f);
    EXPECT_EQ(f->TimeIndices.HR, 40);
}

TEST(TimeStats, Nn50CountsOnlyDifferencesAbove50ms) {
    auto f = NewFragment();
    // Pairs 80/85 (50 ms) do not count; 80/86 (60 ms) do, in both directions.
    RunStats(*f, {80, 85, 80, 85, 80, 86, 80}, 7);
    EXPECT_EQ(f->TimeIndices.NN50, 2);
    EXPECT_DOUBLE_EQ(f->TimeIndices.pNN50, 2.0 / 7 * 100); // divided by n, not n - 1
}

TEST(TimeStats, SdnnIsThePopulationDeviationAndRmssdUsesNMinusOne) {
    auto f = NewFragment();
    RunStats(*f, {80, 100, 80, 100}, 4);
    EXPECT_DOUBLE_EQ(f->TimeIndices.SDNN, 100);  // deviations of +-100 ms, divided by n
    EXPECT_DOUBLE_EQ(f->TimeIndices.RMSSD, 200); // differences of 200 ms over n - 1
}

TEST(TimeStats, TheScatterMapKeepsTheLastPrecedingInterval) {
    auto f = NewFragment();
    RunStats(*f, {70, 90, 60, 90, 75}, 5);
    EXPECT_EQ(f->ScatterMap[90], 60); // 70->90 then 60->90: the later pair wins
    EXPECT_EQ(f->ScatterMap[60], 90);
    EXPECT_EQ(f->ScatterMap[75], 90);
    EXPECT_EQ(f->ScatterMap[70], 0); // never follows another interval
}

TEST(TimeStats, IntervalsBeyondTheFragmentChangeNothing) {
    auto a = NewFragment();
    auto b = NewFragment();
    const auto base = test::ModulatedRhythm(85, 12, 7, 450);
    auto changed = base;
    for (std::size_t i = 300; i < changed.size(); ++i) {
        changed[i] = 200;
    }
    RunStats(*a, base, 290);
    RunStats(*b, changed, 290);
    EXPECT_EQ(a->TimeIndices.SDNN, b->TimeIndices.SDNN);
    EXPECT_EQ(a->TimeIndices.RMSSD, b->TimeIndices.RMSSD);
    EXPECT_EQ(a->TimeIndices.MaxClass, b->TimeIndices.MaxClass);
    EXPECT_EQ(a->Histogram, b->Histogram);
    EXPECT_EQ(a->ScatterMap, b->ScatterMap);
}

} // namespace
} // namespace hrv
