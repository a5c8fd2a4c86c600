// The trend report as plain data: one point per window, the charts' axes, texts and pages.
#include "analysis/nonlinear.h"
#include "analysis/pipeline.h"
#include "presentation/trend_report.h"
#include "tests/support/test_support.h"

#include <cmath>
#include <gtest/gtest.h>
#include <memory>

namespace hrv {
namespace {

// Windows every `step` s whose indices all differ, some without DFA α1.
std::vector<TrendPoint> Windows(int count, double step) {
    std::vector<TrendPoint> points;
    for (int w = 0; w < count; ++w) {
        TrendPoint p;
        p.start = w * step + (w % 3) * 0.37; // a window starts at its first interval
        p.HR = 60 + w % 7;
        p.SDNN = 40 + 3.5 * w;
        p.RMSSD = 25 - 0.5 * w;
        p.LF = 900 + 40 * w;
        p.HF = 400 + 15 * (w % 4);
        p.LFHF = p.LF / p.HF;
        if (w % 5 != 2) {
            p.DFAAlpha1 = 0.8 + 0.01 * w;
        }
        points.push_back(p);
    }
    return points;
}

TrendOptions Options(double step, bool nonlinear = false) {
    TrendOptions o;
    o.step = step;
    o.nonlinear = nonlinear;
    return o;
}

const TrendChart* ChartOf(const TrendReport& r, TrendIndex index) {
    for (const TrendChart& c : r.charts) {
        if (c.index == index) {
            return &c;
        }
    }
    return nullptr;
}

TEST(TrendPoint, TakesTheWindowsIndicesAndAlpha1OnlyWhenAsked) {
    auto f = test::NewFragment();
    test::SetIntervals(*f, test::TwoBandRhythm(420, 80));
    ASSERT_TRUE(AnalyseFragment(*f));
    const TrendPoint plain = TrendPointOf(*f, 1234.5, false);
    EXPECT_EQ(plain.start, 1234.5);
    EXPECT_EQ(plain.HR, f->TimeIndices.HR);
    EXPECT_EQ(plain.SDNN, f->TimeIndices.SDNN);
    EXPECT_EQ(plain.RMSSD, f->TimeIndices.RMSSD);
    EXPECT_EQ(plain.LF, f->SpectralIndices.LF);
    EXPECT_EQ(plain.HF, f->SpectralIndices.HF);
    EXPECT_EQ(plain.LFHF, f->SpectralIndices.LFHF);
    EXPECT_NE(plain.LF, plain.HF); // the rhythm has power in both bands, unequally
    EXPECT_FALSE(plain.DFAAlpha1.has_value());
    const TrendPoint full = TrendPointOf(*f, 0, true);
    ASSERT_TRUE(full.DFAAlpha1.has_value());
    EXPECT_EQ(*full.DFAAlpha1, *ComputeNonlinear(*f).DFAAlpha1);
}

TEST(TrendReport, OneLinePerIndexOverTheWindowsStartTimes) {
    const std::vector<TrendPoint> windows = Windows(10, 30);
    for (const bool nonlinear : {false, true}) {
        const TrendReport r = MakeTrendReport(windows, Options(30, nonlinear));
        ASSERT_EQ(r.charts.size(), nonlinear ? 7u : 6u);
        for (const TrendChart& c : r.charts) {
            for (const ChartPoint& p : c.points) {
                EXPECT_GE(p.x, c.chart.bottom.minimum) << c.chart.title;
                EXPECT_LE(p.x, c.chart.bottom.maximum) << c.chart.title;
                EXPECT_GE(p.y, c.chart.left.minimum) << c.chart.title;
                EXPECT_LE(p.y, c.chart.left.maximum) << c.chart.title;
            }
            EXPECT_FALSE(c.chart.bottom.automatic);
            EXPECT_FALSE(c.chart.left.automatic);
            EXPECT_GT(c.chart.left.maximum, c.chart.left.minimum);
        }
        const TrendChart* rmssd = ChartOf(r, TrendIndex::RMSSD);
        ASSERT_NE(rmssd, nullptr);
        ASSERT_EQ(rmssd->points.size(), windows.size());
        for (std::size_t w = 0; w < windows.size(); ++w) {
            EXPECT_EQ(rmssd->points[w].x, windows[w].start);
            EXPECT_EQ(rmssd->points[w].y, windows[w].RMSSD);
        }
        const TrendChart* lfhf = ChartOf(r, TrendIndex::LFHF);
        ASSERT_NE(lfhf, nullptr);
        EXPECT_EQ(lfhf->points.back().y, windows.back().LFHF);
        EXPECT_EQ(ChartOf(r, TrendIndex::DFAAlpha1) != nullptr, nonlinear);
    }
    // Windows whose α1 is undefined have no point on its line.
    const TrendReport r = MakeTrendReport(windows, Options(30, true));
    const TrendChart* alpha = ChartOf(r, TrendIndex::DFAAlpha1);
    ASSERT_NE(alpha, nullptr);
    EXPECT_EQ(alpha->points.size(), 8u); // windows 2 and 7 have none
    for (const ChartPoint& p : alpha->points) {
        EXPECT_NE(p.x, windows[2].start);
        EXPECT_NE(p.x, windows[7].start);
    }
}

TEST(TrendReport, SixChartsOnOnePageSevenOnTwo) {
    const std::vector<TrendPoint> windows = Windows(4, 300);
    const TrendReport six = MakeTrendReport(windows, Options(300));
    ASSERT_EQ(six.pages.size(), 1u);
    EXPECT_EQ(six.pages[0].size(), 6u);
    EXPECT_EQ(TrendPageLine(0, 1), "");

    const TrendReport seven = MakeTrendReport(windows, Options(300, true));
    ASSERT_EQ(seven.pages.size(), 2u);
    // Time domain and α1 on the first page, the spectral indices on the second.
    std::vector<TrendIndex> first;
    std::vector<TrendIndex> second;
    for (const std::size_t i : seven.pages[0]) {
        first.push_back(seven.charts[i].index);
    }
    for (const std::size_t i : seven.pages[1]) {
        second.push_back(seven.charts[i].index);
    }
    EXPECT_EQ(first, (std::vector{TrendIndex::HR, TrendIndex::SDNN, TrendIndex::RMSSD,
                                  TrendIndex::DFAAlpha1}));
    EXPECT_EQ(second, (std::vector{TrendIndex::LF, TrendIndex::HF, TrendIndex::LFHF}));
    EXPECT_EQ(TrendPageLine(1, 2), "Лист 2 из 2");
}

TEST(TrendReport, HeaderTextsNameTheFileTheStepAndTheCount) {
    const TrendReport r = MakeTrendReport(Windows(17, 12.5), {.identification = "pat12 08.12.2026",
                                                              .step = 12.5,
                                                              .nonlinear = false,
                                                              .corrected = true,
                                                              .decimalSeparator = ','});
    EXPECT_EQ(r.identification, "pat12 08.12.2026");
    EXPECT_EQ(r.windowsLine,
              "Тренды по окнам 300 с. Шаг: 12,5 с, окон: 17, с коррекцией артефактов");
    TrendOptions options = Options(300);
    EXPECT_EQ(MakeTrendReport(Windows(3, 300), options).windowsLine,
              "Тренды по окнам 300 с. Шаг: 300 с, окон: 3");
    options.windows = 4; // one of them could not be analysed
    EXPECT_EQ(MakeTrendReport(Windows(3, 300), options).windowsLine,
              "Тренды по окнам 300 с. Шаг: 300 с, окон: 3 из 4");
}

// SDNN moving between 56 and 64 ms is no large swing: the axes of SDNN, RMSSD and the powers
// start at 0, and the page says which do. A step of 100000 s is written in plain digits.
TEST(TrendReport, TheAxesOfTheVariabilityAndThePowersStartAtZero) {
    std::vector<TrendPoint> points = Windows(20, 100000);
    for (std::size_t w = 0; w < points.size(); ++w) {
        points[w].SDNN = w % 2 == 0 ? 56 : 64;
        points[w].HR = 70 + 0.1 * static_cast<double>(w);
    }
    const TrendReport r = MakeTrendReport(points, Options(100000, true));
    for (const auto index : {TrendIndex::SDNN, TrendIndex::RMSSD, TrendIndex::LF, TrendIndex::HF}) {
        EXPECT_EQ(ChartOf(r, index)->chart.left.minimum, 0) << static_cast<int>(index);
    }
    EXPECT_GE(ChartOf(r, TrendIndex::SDNN)->chart.left.maximum, 64);
    EXPECT_GT(ChartOf(r, TrendIndex::HR)->chart.left.minimum, 50) << "HR spans its values";
    EXPECT_EQ(r.axesLine,
              "Шкалы SDNN, RMSSD, LF и HF от 0; HR, DFA α1 и LF/HF по размаху значений");
    EXPECT_EQ(r.windowsLine, "Тренды по окнам 300 с. Шаг: 100000 с, окон: 20");
}

TEST(TrendReport, LongRecordingsGetClockTime) {
    // 40 minutes of starts in seconds; a day in hours and minutes.
    const AxisSpec shortAxis = TrendTimeAxis(0, 1500);
    EXPECT_FALSE(shortAxis.clock);
    EXPECT_EQ(shortAxis.caption, "Время, с");
    const AxisSpec day = TrendTimeAxis(0.4, 86100);
    EXPECT_TRUE(day.clock);
    EXPECT_EQ(day.caption, "Время, ч:мин");
    EXPECT_LE(day.minimum, 0.4);
    EXPECT_GE(day.maximum, 86100);
    // Labels at whole clock steps, not 1-2-5 multiples of seconds (3 hours of 10,800 s).
    EXPECT_EQ(std::fmod(day.step, 3600), 0);
    EXPECT_EQ(ClockLabel(5400), "1:30");
    EXPECT_EQ(ClockLabel(90000 + 59.9), "25:01");
    EXPECT_EQ(ClockLabel(0), "0:00");
}

TEST(TrendReport, ValueAxisOfAConstantOrEmptySeries) {
    const AxisSpec constant = TrendValueAxis({72, 72, 72}, "уд/мин");
    EXPECT_LT(constant.minimum, 72);
    EXPECT_GT(constant.maximum, 72);
    const AxisSpec none = TrendValueAxis({}, "");
    EXPECT_LT(none.minimum, none.maximum);
    const AxisSpec zeros = TrendValueAxis({0, 0}, "");
    EXPECT_EQ(zeros.minimum, 0);
    EXPECT_GT(zeros.maximum, 0);
    // Differences of a thousandth of the values do not fill the chart.
    const AxisSpec flat = TrendValueAxis({69.999, 70.0, 69.998}, "мс");
    EXPECT_GE(flat.maximum - flat.minimum, 7.0);
}

TEST(TrendPageLayout, ChartsOfEqualHeightInsideThePage) {
    const int width = 4800;
    const int height = 6800;
    const TrendPageLayout full = ComputeTrendPageLayout(width, height, 100, 4, 4);
    const TrendPageLayout partial = ComputeTrendPageLayout(width, height, 100, 3, 4);
    ASSERT_EQ(full.charts.size(), 4u);
    ASSERT_EQ(partial.charts.size(), 3u);
    EXPECT_GT(full.charts[0].top, full.windowsY + 100);
    for (std::size_t i = 0; i < full.charts.size(); ++i) {
        const PageRect& r = full.charts[i];
        EXPECT_GT(r.bottom - r.top, 0);
        EXPECT_EQ(r.bottom - r.top, full.charts[0].bottom - full.charts[0].top);
        EXPECT_LE(r.bottom, height);
        EXPECT_GE(r.left, 0);
        EXPECT_LE(r.right, width);
        if (i > 0) {
            EXPECT_GE(r.top, full.charts[i - 1].bottom) << "charts do not overlap";
        }
        if (i < partial.charts.size()) {
            EXPECT_EQ(partial.charts[i].top, r.top);
            EXPECT_EQ(partial.charts[i].bottom, r.bottom);
        }
    }
}

} // namespace
} // namespace hrv
