// The analysis pipeline without display.
#include "analysis/pipeline.h"
#include "tests/support/test_support.h"

#include <memory>

namespace hrv {
namespace {

using test::Concat;
using test::NewFragment;
using test::Repeat;
using test::SetIntervals;

TEST(Pipeline, ResultsDoNotDependOnTheFragmentAnalysedBefore) {
    // The programs keep one fragment for the whole run: a recording analysed after a longer,
    // different one must show what it shows in a fresh fragment.
    const auto rhythm = test::ModulatedRhythm(85, 6, 4, 420);
    auto fresh = NewFragment();
    SetIntervals(*fresh, rhythm);
    ASSERT_TRUE(AnalyseFragment(*fresh));
    auto reused = NewFragment();
    SetIntervals(*reused, test::ModulatedRhythm(150, 40, 25, 1500));
    ASSERT_TRUE(AnalyseFragment(*reused));
    SetIntervals(*reused, rhythm);
    ASSERT_TRUE(AnalyseFragment(*reused));
    EXPECT_EQ(reused->FragmentCount, fresh->FragmentCount);
    EXPECT_EQ(reused->Spectrum.Power, fresh->Spectrum.Power);
    EXPECT_EQ(reused->SpectralIndices.Total, fresh->SpectralIndices.Total);
    EXPECT_EQ(reused->Histogram, fresh->Histogram);
    EXPECT_EQ(reused->ScatterMap, fresh->ScatterMap);
    EXPECT_EQ(reused->TimeIndices.SDNN, fresh->TimeIndices.SDNN);
}

TEST(Pipeline, TouchingTheFragmentsPagesChangesNoValue) {
    // The window writes every page of its fragment once at start-up, also after an analysis.
    auto f = NewFragment();
    SetIntervals(*f, test::ModulatedRhythm(85, 6, 4, 420));
    f->CurrentFileName = "/data/a.rr";
    ASSERT_TRUE(AnalyseFragment(*f));
    const auto before = std::make_unique<FragmentData>(*f);
    TouchPages(*f);
    EXPECT_EQ(f->CurrentFileName, before->CurrentFileName);
    EXPECT_EQ(f->RrWords, before->RrWords);
    EXPECT_EQ(f->Rhythmogram, before->Rhythmogram);
    EXPECT_EQ(f->ResampleBuffer, before->ResampleBuffer);
    EXPECT_EQ(f->Spectrum.Power, before->Spectrum.Power);
    EXPECT_EQ(f->Histogram, before->Histogram);
    EXPECT_EQ(f->TimeIndices.SDNN, before->TimeIndices.SDNN);
}

TEST(Pipeline, ExactlyThreeHundredSecondsSucceedsAndOneTickLessChangesNoResult) {
    auto f = NewFragment();
    bool accepted = false;
    SetIntervals(*f, Concat({{70}, test::ModulatedRhythm(100, 8, 10, 300)}));
    // Make the intervals after the first add up to exactly 30000 ticks.
    int sum = 0;
    for (int k = 2; k <= f->RrCount; ++k) {
        sum += f->AnalysisSeries[k];
    }
    f->AnalysisSeries[2] = static_cast<std::uint8_t>(f->AnalysisSeries[2] + (30000 - sum));
    f->RrTicks[2] = f->AnalysisSeries[2];
    ASSERT_TRUE(AnalyseFragment(*f, Executor::CallingThreadOnly(), {}, [&] { accepted = true; }));
    EXPECT_TRUE(accepted);
    const auto before = f->TimeIndices.SDNN;
    const auto total = f->SpectralIndices.Total;
    ASSERT_GT(total, 0);

    f->AnalysisSeries[2] = static_cast<std::uint8_t>(f->AnalysisSeries[2] - 1);
    accepted = false;
    EXPECT_FALSE(AnalyseFragment(*f, Executor::CallingThreadOnly(), {}, [&] { accepted = true; }));
    EXPECT_FALSE(accepted);
    EXPECT_EQ(f->TimeIndices.SDNN, before);
    EXPECT_EQ(f->SpectralIndices.Total, total);
}

TEST(Pipeline, ASecondAnalysisReplacesEveryResult) {
    auto f = NewFragment();
    SetIntervals(*f, test::ModulatedRhythm(80, 10, 4, 500));
    ASSERT_TRUE(AnalyseFragment(*f));
    SetIntervals(*f, Repeat(100, 400));
    ASSERT_TRUE(AnalyseFragment(*f));
    EXPECT_EQ(f->FragmentCount, 299);
    EXPECT_EQ(f->TimeIndices.SDNN, 0);
    EXPECT_EQ(f->SpectralIndices.Total, 0);
    EXPECT_EQ(f->Histogram[100], 299);
    EXPECT_EQ(f->Histogram[80], 0);
}

} // namespace
} // namespace hrv
