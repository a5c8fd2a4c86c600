// The corrected fragment as the window, the page and the table show it: the correction line, the
// rhythmogram's marked beats, the table row's identity; and nothing of it when not corrected.
#include "analysis/pipeline.h"
#include "presentation/chart_data.h"
#include "presentation/panel_texts.h"
#include "presentation/report_layout.h"
#include "presentation/summary_table.h"

#include <gtest/gtest.h>
#include <memory>

namespace hrv {
namespace {

// Six input intervals of one second; the corrected series the same, of which the first three
// are analysed (their end lies 300 ticks from the start).
std::unique_ptr<FragmentData> CorrectedFragment() {
    auto f = std::make_unique<FragmentData>();
    f->RrCount = 6;
    for (int k = 1; k <= 6; ++k) {
        f->RrWords[static_cast<std::size_t>(k)] = 100 << 8;
    }
    f->Corrected = true;
    f->CorrectionInput = 6;
    f->Correction.ticks.assign(6, 100);
    f->Correction.marks.assign(6, 0);
    f->FragmentCount = 3;
    return f;
}

TEST(CorrectionText, CountsTheArtefactsThatStartInsideTheAnalysedFragment) {
    auto f = CorrectedFragment();
    // Starts at 0, 200, 300 (where the analysed fragment ends) and 500 ticks.
    f->Correction.artefacts = {{0, ArtefactKind::Missed},
                               {2, ArtefactKind::Ectopic},
                               {3, ArtefactKind::Extra},
                               {5, ArtefactKind::Long}};
    EXPECT_EQ(CorrectionsInFragment(*f), 2);
    EXPECT_EQ(CorrectionText(*f, ','), "Коррекция: 2 из 3 (66,7 %)");
    EXPECT_EQ(CorrectionText(*f, '.'), "Коррекция: 2 из 3 (66.7 %)");
    f->Correction.artefacts.clear();
    EXPECT_EQ(CorrectionText(*f, ','), "Коррекция: 0 из 3 (0,0 %)");
}

TEST(CorrectionText, PanelPageAndTableRowOnlyForACorrectedFragment) {
    auto f = CorrectedFragment();
    f->Correction.artefacts = {{1, ArtefactKind::Missed}};
    const std::string corrected = StatPanelText(*f, ',');
    EXPECT_EQ(ReportCorrectionLine(*f, ','), "Коррекция: 1 из 3 (33,3 %)");
    EXPECT_EQ(SummaryRowIdentity("a.rr 01.02.2026", *f), "a.rr 01.02.2026 (коррекция)");
    f->Corrected = false;
    EXPECT_EQ(corrected, StatPanelText(*f, ',') + "\r\n Коррекция: 1 из 3 (33,3 %)");
    EXPECT_EQ(ReportCorrectionLine(*f, ','), "");
    EXPECT_EQ(SummaryRowIdentity("a.rr 01.02.2026", *f), "a.rr 01.02.2026");
    const ReportLayout l = ComputeReportLayout(4800, 6800, 100, 50);
    EXPECT_EQ(l.correctionY, l.identificationY + l.th);
    EXPECT_LT(l.correctionY + l.th, l.rowY[0]) << "an empty line stays before the indices";
}

TEST(CorrectionChart, SamplesOfAMarkedIntervalInTheirColourAndTheTitleNamesIt) {
    auto f = CorrectedFragment();
    // Position 1 is never resampled; position 2 fills samples 0..49 (shown from sample 1),
    // position 3 samples 50..129, position 4 samples 130..229.
    const int series[] = {0, 60, 50, 80, 100};
    for (int p = 1; p <= 4; ++p) {
        f->AnalysisSeries[static_cast<std::size_t>(p)] = static_cast<std::uint8_t>(series[p]);
    }
    f->Correction.marks = {1, 0, 3, 0};
    const auto points = RhythmogramPoints(*f);
    ASSERT_EQ(points.size(), 29999u);
    for (std::size_t i = 0; i < points.size(); ++i) {
        const bool marked = i + 1 >= 50 && i + 1 < 130; // point i shows sample i + 1
        ASSERT_EQ(points[i].color, marked ? kCorrectedBeatColor : kClBlack) << i;
    }
    EXPECT_NE(kCorrectedBeatColor, kClBlack);
    EXPECT_EQ(RhythmogramTitle(*f), "Ритмограмма (красным – исправленные удары)");
    f->Corrected = false;
    for (const ChartPoint& p : RhythmogramPoints(*f)) {
        ASSERT_EQ(p.color, kClBlack);
    }
    EXPECT_EQ(RhythmogramTitle(*f), ChartSpecOf(ChartId::Rhythmogram).title);
}

TEST(CorrectionText, OneMissedBeatInASmoothSeriesIsOneCorrection) {
    // 420 intervals of 800..850 ms, each one tick from the last; intervals 100 and 101 merged
    // into one as a missed pulse gives it. The analysis finds that one artefact, inside the
    // analysed fragment, which holds about 30000 / 82.5 = 364 intervals: 1 of them is 0.3 %.
    const auto ticksAt = [](int k) { return 80 + (k % 10 < 5 ? k % 5 : 5 - k % 5); };
    auto f = std::make_unique<FragmentData>();
    int n = 0;
    for (int k = 0; k < 420; ++k) {
        int ticks = ticksAt(k);
        if (k == 100) {
            ticks += ticksAt(++k);
        }
        f->RrWords[static_cast<std::size_t>(++n)] = static_cast<std::uint16_t>(ticks << 8);
    }
    f->RrCount = n;
    f->Correct = CorrectionMode::Auto;
    ASSERT_TRUE(AnalyseFragment(*f));
    ASSERT_TRUE(f->Corrected);
    ASSERT_EQ(f->Correction.artefacts.size(), 1u);
    EXPECT_EQ(f->Correction.artefacts[0].index, 100);
    EXPECT_EQ(f->Correction.artefacts[0].kind, ArtefactKind::Missed);
    ASSERT_GE(f->FragmentCount, 355);
    ASSERT_LE(f->FragmentCount, 370);
    EXPECT_EQ(CorrectionText(*f, ','),
              "Коррекция: 1 из " + std::to_string(f->FragmentCount) + " (0,3 %)");
    EXPECT_EQ(f->RrWords[101] >> 8, ticksAt(100) + ticksAt(101)) << "the input is kept";
}

} // namespace
} // namespace hrv
