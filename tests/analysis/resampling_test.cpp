// Resampling of the interval series to 100 Hz.
#include "analysis/resampling.h"
#include "tests/support/test_support.h"

namespace hrv {
namespace {

using test::Concat;
using test::NewFragment;
using test::Repeat;
using test::SetIntervals;

TEST(Resampling, SpansStartAtThePreviousIntervalAndMoveTowardTheirOwn) {
    auto f = NewFragment();
    SetIntervals(*f, Concat({{100, 80, 120}, Repeat(100, 300)}));
    ASSERT_TRUE(Resample(*f, 1));
    for (int j = 0; j < 80; ++j) {
        EXPECT_EQ(f->ResampleBuffer[j], 100 + j * (-20.0 / 80)) << j;
    }
    for (int j = 0; j < 120; ++j) {
        EXPECT_EQ(f->ResampleBuffer[80 + j], 80 + j * (40.0 / 120)) << j;
    }
    EXPECT_EQ(f->ResampleBuffer[200], 120);
    EXPECT_DOUBLE_EQ(f->ResampleBuffer[79], 80.25);
    EXPECT_DOUBLE_EQ(f->ResampleBuffer[199], 120 - 1.0 / 3);
}

TEST(Resampling, ExactlyThreeHundredSecondsAfterTheFirstIntervalIsEnough) {
    auto f = NewFragment();
    SetIntervals(*f, Repeat(100, 301));
    ASSERT_TRUE(Resample(*f, 1));
    EXPECT_EQ(f->FragmentCount, 299);
    for (int j = 0; j < kSpectrumSamples; ++j) {
        ASSERT_EQ(f->ResampleBuffer[j], 100) << j;
    }
    // The rhythmogram is a copy of slots 1..300000; slot 0 is never written.
    EXPECT_EQ(f->Rhythmogram[0], 0);
    EXPECT_EQ(f->Rhythmogram[1], 100);
    EXPECT_EQ(f->Rhythmogram[29999], 100);
}

TEST(Resampling, TooLittleDataChangesNothing) {
    auto f = NewFragment();
    SetIntervals(*f, Concat({{90}, Repeat(80, 400)}));
    ASSERT_TRUE(Resample(*f, 1));
    const auto count = f->FragmentCount;
    const double first = f->ResampleBuffer[0];
    const double rhythm = f->Rhythmogram[500];

    // 29999 ticks after the first interval.
    SetIntervals(*f, Concat({{200}, Repeat(100, 299), {99}}));
    EXPECT_FALSE(Resample(*f, 1));
    EXPECT_EQ(f->FragmentCount, count);
    EXPECT_EQ(f->ResampleBuffer[0], first);
    EXPECT_EQ(f->Rhythmogram[500], rhythm);

    // The first interval does not count toward the 300 s.
    SetIntervals(*f, Concat({{255}, Repeat(100, 299), {99}}));
    EXPECT_FALSE(Resample(*f, 1));
}

TEST(Resampling, AZeroIntervalAddsNoSamplesAndTheNextSpanStartsFromZero) {
    auto f = NewFragment();
    SetIntervals(*f, Concat({{100, 100, 0, 50}, Repeat(100, 300)}));
    ASSERT_TRUE(Resample(*f, 1));
    EXPECT_EQ(f->ResampleBuffer[99], 100);
    EXPECT_EQ(f->ResampleBuffer[100], 0);  // the span of 50 starts at 0
    EXPECT_EQ(f->ResampleBuffer[101], 1);  // and rises by 50/50 per sample
    EXPECT_EQ(f->ResampleBuffer[150], 50); // first sample of the next span
}

TEST(Resampling, FragmentCountLeavesOutTheCompletingIntervalAndTheOneBefore) {
    auto f = NewFragment();
    // 150 ticks from position 2 on: 200 of them make 30000 at position m = 201.
    SetIntervals(*f, Concat({{80}, Repeat(150, 250)}));
    ASSERT_TRUE(Resample(*f, 1));
    EXPECT_EQ(f->FragmentCount, 199);
}

TEST(Resampling, ALongFragmentStopsAtTheEndOfTheBufferWithTheFirstSamplesIntact) {
    // 2000 intervals of 255 ticks produce 509745 samples: far more than the 300001 slots.
    auto f = NewFragment();
    SetIntervals(*f, Concat({{100}, Repeat(255, 1999)}));
    ASSERT_TRUE(Resample(*f, 1));
    EXPECT_EQ(f->FragmentCount, 117); // 118 intervals of 255 reach 30000 at m = 119
    EXPECT_EQ(f->ResampleBuffer[0], 100);
    EXPECT_EQ(f->ResampleBuffer[255], 255);
    EXPECT_EQ(f->ResampleBuffer[kLastSampleSlot], 255);
    EXPECT_EQ(f->Rhythmogram[kLastSampleSlot], 255);
}

TEST(Resampling, ReadsTheSeriesUpToItsLastPosition) {
    // A series filled to position 12000 (more than any writer places) is resampled without
    // reading or writing past any array.
    auto f = NewFragment();
    f->AnalysisSeries.fill(30);
    ASSERT_TRUE(Resample(*f, 1));
    EXPECT_EQ(f->FragmentCount, 999);
    EXPECT_EQ(f->ResampleBuffer[kLastSampleSlot], 30);
}

} // namespace
} // namespace hrv
