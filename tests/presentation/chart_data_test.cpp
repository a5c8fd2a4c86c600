// The chart contents ShowGraphics adds and the settings of the five charts.
#include "analysis/pipeline.h"
#include "presentation/chart_data.h"
#include "tests/support/test_support.h"

#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <utility>

namespace hrv {
namespace {

TEST(ChartData, RhythmogramHas29999ValuesInSecondsOverThreeHundredSeconds) {
    auto f = std::make_unique<FragmentData>();
    f->Rhythmogram[0] = 999; // slot 0 is never shown
    f->Rhythmogram[1] = 85;
    f->Rhythmogram[29999] = 120;
    f->Rhythmogram[30000] = 999;
    const auto points = RhythmogramPoints(*f);
    ASSERT_EQ(points.size(), 29999u);
    EXPECT_DOUBLE_EQ(points[0].x, 0);
    EXPECT_DOUBLE_EQ(points[0].y, 0.85);
    EXPECT_DOUBLE_EQ(points[1].x, 0.01);
    EXPECT_DOUBLE_EQ(points[29998].x, 299.98);
    EXPECT_DOUBLE_EQ(points[29998].y, 1.2);
    for (const ChartPoint& p : points) {
        ASSERT_EQ(p.color, kClBlack);
    }
}

TEST(ChartData, SpectrumBandsByColour) {
    const struct {
        int bin;
        Rgb color;
    } table[] = {{1, kClNavy},  {12, kClNavy}, {13, kClBlue},
                 {45, kClBlue}, {46, kClTeal}, {150, kClTeal}};
    for (const auto& c : table) {
        EXPECT_EQ(SpectrumBinColor(c.bin), c.color) << "bin " << c.bin;
    }
    auto f = std::make_unique<FragmentData>();
    f->Spectrum.Power[13] = 42;
    const auto points = SpectrumPoints(*f);
    ASSERT_EQ(points.size(), 150u);
    EXPECT_DOUBLE_EQ(points[12].x, 13.0 / 300);
    EXPECT_DOUBLE_EQ(points[12].y, 42);
    for (const auto& c : table) {
        EXPECT_EQ(points[static_cast<std::size_t>(c.bin - 1)].color, c.color) << "bin " << c.bin;
    }
}

TEST(ChartData, ComponentBarsArePercentagesOfTotal) {
    auto f = std::make_unique<FragmentData>();
    f->SpectralIndices = {300, 500, 400, 1000, 0, 0, 0};
    const auto bars = ComponentBars(*f);
    ASSERT_EQ(bars.size(), 4u);
    const struct {
        const char* label;
        double value;
        Rgb color;
    } expect[] = {
        {"Total", 100, kClBlack}, {"VLF", 30, kClNavy}, {"LF", 50, kClBlue}, {"HF", 40, kClTeal}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(bars[i].label, expect[i].label);
        EXPECT_DOUBLE_EQ(bars[i].x, static_cast<double>(i));
        EXPECT_DOUBLE_EQ(bars[i].y, expect[i].value);
        EXPECT_EQ(bars[i].color, expect[i].color);
    }
}

TEST(ChartData, ZeroTotalGivesBarsOf100And0) {
    auto f = std::make_unique<FragmentData>();
    f->SpectralIndices = {0, 0, 0, 0, 0, 0, 0};
    const auto bars = ComponentBars(*f);
    const double expect[] = {100, 0, 0, 0};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_TRUE(std::isfinite(bars[i].y));
        EXPECT_EQ(bars[i].y, expect[i]);
    }
}

TEST(ChartData, HistogramDrawsEachClassAsTenPointStep) {
    auto f = std::make_unique<FragmentData>();
    f->Histogram[80] = 17;
    const auto points = HistogramPoints(*f);
    ASSERT_EQ(points.size(), 2560u);
    for (int j = 1; j <= 10; ++j) {
        const ChartPoint& p = points[static_cast<std::size_t>(80 * 10 + j - 1)];
        EXPECT_DOUBLE_EQ(p.x, (800.0 + j) / 1000);
        EXPECT_DOUBLE_EQ(p.y, 17);
        EXPECT_EQ(p.color, kClBlue);
    }
    EXPECT_DOUBLE_EQ(points.front().x, 0.001);
    EXPECT_DOUBLE_EQ(points.back().x, 2.56);
}

TEST(ChartData, ScatterShowsOnlySlots1To200) {
    auto f = std::make_unique<FragmentData>();
    f->ScatterMap[0] = 50;
    f->ScatterMap[201] = 60;
    EXPECT_TRUE(ScatterPoints(*f).empty());
    f->ScatterMap[1] = 70;
    f->ScatterMap[200] = 80;
    const auto points = ScatterPoints(*f);
    ASSERT_EQ(points.size(), 2u);
    EXPECT_DOUBLE_EQ(points[0].x, 0.01);
    EXPECT_DOUBLE_EQ(points[0].y, 0.7);
    EXPECT_DOUBLE_EQ(points[1].x, 2.0);
    EXPECT_DOUBLE_EQ(points[1].y, 0.8);
}

TEST(ChartData, EveryChartShowsAllItsPointsUnderItsOwnTitle) {
    // A fast and a slow rhythm, analysed and charted: no value drawn may fall outside its chart's
    // axes, labels stay few enough to read, and no two charts share a name or a title.
    for (const int mean : {55, 160}) {
        auto f = std::make_unique<FragmentData>();
        test::SetIntervals(*f, test::TwoBandRhythm(40000 / mean, mean));
        ASSERT_TRUE(AnalyseFragment(*f));
        const std::pair<ChartId, std::vector<ChartPoint>> charts[] = {
            {ChartId::Rhythmogram, RhythmogramPoints(*f)},
            {ChartId::Histogram, HistogramPoints(*f)},
            {ChartId::Scattergram, ScatterPoints(*f)},
            {ChartId::Spectrum, SpectrumPoints(*f)},
            {ChartId::Components, ComponentBars(*f)}};
        std::set<std::string> names, titles;
        for (const auto& [id, points] : charts) {
            const ChartSpec chart = ChartSpecOf(id);
            EXPECT_TRUE(names.insert(chart.name).second) << chart.name;
            EXPECT_TRUE(!chart.title.empty() && titles.insert(chart.title).second) << chart.name;
            const AxisRange x = ResolveAxis(chart.bottom, chart.kind, points, false);
            const AxisRange y = ResolveAxis(chart.left, chart.kind, points, true);
            EXPECT_LE((x.maximum - x.minimum) / x.step, 12) << chart.name;
            EXPECT_LE((y.maximum - y.minimum) / y.step, 12) << chart.name;
            for (const ChartPoint& p : points) { // empty histogram classes draw nothing
                ASSERT_TRUE(p.y == 0 || (p.x >= x.minimum && p.x <= x.maximum && p.y >= y.minimum &&
                                         p.y <= y.maximum))
                    << chart.name << " mean " << mean << ": " << p.x << ", " << p.y;
            }
        }
    }
}

TEST(ChartAxes, FixedAxesKeepTheirRangeAndAutomaticOnesFollowThePoints) {
    const std::vector<ChartPoint> points = {{1, 5, {}, {}}, {3, 9, {}, {}}};
    AxisSpec fixed;
    fixed.automatic = false;
    fixed.minimum = 0;
    fixed.maximum = 2;
    fixed.step = 0.5;
    const AxisRange f = ResolveAxis(fixed, SeriesKind::Line, points, true);
    EXPECT_EQ(f.minimum, 0);
    EXPECT_EQ(f.maximum, 2);
    EXPECT_EQ(f.step, 0.5);

    const AxisSpec automatic;
    const AxisRange line = ResolveAxis(automatic, SeriesKind::Line, points, true);
    EXPECT_EQ(line.minimum, 5);
    EXPECT_EQ(line.maximum, 9);
    const AxisRange area = ResolveAxis(automatic, SeriesKind::Area, points, true);
    EXPECT_EQ(area.minimum, 0) << "areas stand on 0";
    const AxisRange x = ResolveAxis(automatic, SeriesKind::Area, points, false);
    EXPECT_EQ(x.minimum, 1);
    EXPECT_EQ(x.maximum, 3);
    EXPECT_GT(area.step, 0);
    const AxisRange flat = ResolveAxis(automatic, SeriesKind::Line, {{0, 4, {}, {}}}, true);
    EXPECT_LT(flat.minimum, flat.maximum);
}

TEST(ChartAxes, RoundLabelSteps) {
    const struct {
        double maximum;
        double step;
    } table[] = {{110, 20}, {29998, 5000}, {0.5, 0.1}, {1, 0.2}, {3, 0.5}};
    for (const auto& c : table) {
        const std::vector<ChartPoint> points = {{0, 0, {}, {}}, {c.maximum, 0, {}, {}}};
        EXPECT_DOUBLE_EQ(ResolveAxis(AxisSpec{}, SeriesKind::Line, points, false, 6).step, c.step)
            << c.maximum;
    }
}

} // namespace
} // namespace hrv
