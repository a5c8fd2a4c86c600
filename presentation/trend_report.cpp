// The trend report of a long recording as plain data.
#include "presentation/trend_report.h"

#include "analysis/nonlinear.h"
#include "presentation/format_fixed.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace hrv {

namespace {

constexpr int kTimeLabels = 10;                        // labels of the time axis
constexpr int kValueLabels = 4;                        // labels of a value axis
constexpr int kWindowSeconds = kSpectrumSamples / 100; // every window is one analysed fragment

// A real as the shortest text in plain digits that reads back the same (100000, never 1e+05),
// with `separator` for the point.
std::string ShortestText(double value, char separator) {
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    std::string text(buf, r.ptr);
    std::replace(text.begin(), text.end(), '.', separator);
    return text;
}

ChartSpec TrendSpec(const char* name, const char* title) {
    ChartSpec c;
    c.name = name;
    c.title = title;
    c.seriesName = name;
    c.kind = SeriesKind::Line;
    c.seriesColor = kClNavy;
    c.background = kClSilver; // as the report's charts
    c.marginLeft = 1;
    c.marginRight = 3; // room for half the last time label, which stands on the plot's edge
    return c;
}

struct IndexInfo {
    TrendIndex index;
    const char* name;
    const char* title;
    const char* unit;
    bool fromZero; // the axis starts at 0, so a change reads against the size of the index
};

constexpr IndexInfo kIndices[] = {
    {TrendIndex::HR, "Chart_TrendHR", "HR", "уд/мин", false},
    {TrendIndex::SDNN, "Chart_TrendSDNN", "SDNN", "мс", true},
    {TrendIndex::RMSSD, "Chart_TrendRMSSD", "RMSSD", "мс", true},
    {TrendIndex::DFAAlpha1, "Chart_TrendAlpha1", "DFA α1", "", false},
    {TrendIndex::LF, "Chart_TrendLF", "LF", "мс2", true},
    {TrendIndex::HF, "Chart_TrendHF", "HF", "мс2", true},
    {TrendIndex::LFHF, "Chart_TrendLFHF", "LF/HF", "", false},
};

std::optional<double> ValueOf(const TrendPoint& p, TrendIndex index) {
    switch (index) {
    case TrendIndex::HR:
        return p.HR;
    case TrendIndex::SDNN:
        return p.SDNN;
    case TrendIndex::RMSSD:
        return p.RMSSD;
    case TrendIndex::DFAAlpha1:
        return p.DFAAlpha1;
    case TrendIndex::LF:
        return p.LF;
    case TrendIndex::HF:
        return p.HF;
    case TrendIndex::LFHF:
        break;
    }
    return p.LFHF;
}

} // namespace

TrendPoint TrendPointOf(const FragmentData& f, double startSeconds, bool nonlinear) {
    TrendPoint p;
    p.start = startSeconds;
    p.HR = f.TimeIndices.HR;
    p.SDNN = f.TimeIndices.SDNN;
    p.RMSSD = f.TimeIndices.RMSSD;
    p.LF = f.SpectralIndices.LF;
    p.HF = f.SpectralIndices.HF;
    p.LFHF = f.SpectralIndices.LFHF;
    if (nonlinear) {
        p.DFAAlpha1 = ComputeNonlinear(f).DFAAlpha1;
    }
    return p;
}

AxisSpec TrendTimeAxis(double first, double last) {
    AxisSpec a;
    a.automatic = false;
    const bool clock = last - first >= kClockAxisFrom;
    a.clock = clock;
    a.caption = clock ? "Время, ч:мин" : "Время, с";
    const double span = last > first ? last - first : kWindowSeconds;
    a.step = clock ? ClockStep(span, kTimeLabels) : NiceStep(span, kTimeLabels);
    a.minimum = std::floor(first / a.step) * a.step;
    a.maximum = std::max(std::ceil(last / a.step) * a.step, a.minimum + a.step);
    a.labelFormat = "0";
    return a;
}

AxisSpec TrendValueAxis(const std::vector<double>& values, const std::string& caption,
                        bool fromZero) {
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    for (const double v : values) {
        if (std::isfinite(v)) {
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    }
    if (lo > hi) { // no value at all
        lo = 0;
        hi = 1;
    }
    if (fromZero) {
        lo = std::min(lo, 0.0);
    }
    // The axis spans at least a tenth of the largest magnitude (1 for zeros), so that changes
    // far smaller than the values themselves do not fill the chart's height as a trend would.
    const double least = std::max(std::abs(lo), std::abs(hi)) / 10;
    if (hi - lo < least) {
        const double middle = (lo + hi) / 2;
        const bool positive = lo >= 0;
        lo = middle - least / 2;
        hi = middle + least / 2;
        if (positive && lo < 0) { // an index that cannot be negative keeps its axis above 0
            hi -= lo;
            lo = 0;
        }
    }
    const double span = hi > lo ? hi - lo : 1;
    AxisSpec a;
    a.automatic = false;
    a.caption = caption;
    a.step = NiceStep(span, kValueLabels);
    a.minimum = std::floor(lo / a.step) * a.step;
    a.maximum = std::ceil(hi / a.step) * a.step;
    if (a.maximum <= a.minimum) { // zeros only
        a.maximum = a.minimum + a.step;
    }
    return a;
}

TrendReport MakeTrendReport(const std::vector<TrendPoint>& points, const TrendOptions& options) {
    TrendReport r;
    r.identification = options.identification;
    r.windowsLine = "Тренды по окнам " + std::to_string(kWindowSeconds) +
                    " с. Шаг: " + ShortestText(options.step, options.decimalSeparator) +
                    " с, окон: " + std::to_string(points.size());
    if (options.windows > points.size()) {
        r.windowsLine += " из " + std::to_string(options.windows);
    }
    if (options.corrected) {
        r.windowsLine += ", с коррекцией артефактов";
    }
    r.axesLine = options.nonlinear
                     ? "Шкалы SDNN, RMSSD, LF и HF от 0; HR, DFA α1 и LF/HF по размаху значений"
                     : "Шкалы SDNN, RMSSD, LF и HF от 0; HR и LF/HF по размаху значений";
    const AxisSpec time = points.empty() ? TrendTimeAxis(0, 0)
                                         : TrendTimeAxis(points.front().start, points.back().start);
    for (const IndexInfo& info : kIndices) {
        if (info.index == TrendIndex::DFAAlpha1 && !options.nonlinear) {
            continue;
        }
        TrendChart c;
        c.index = info.index;
        c.chart = TrendSpec(info.name, info.title);
        c.chart.bottom = time;
        std::vector<double> values;
        for (const TrendPoint& p : points) {
            if (const auto v = ValueOf(p, info.index); v && std::isfinite(*v)) {
                c.points.push_back({p.start, *v, {}, kClNavy});
                values.push_back(*v);
            }
        }
        c.chart.left = TrendValueAxis(values, info.unit, info.fromZero);
        if (c.points.size() == 1) {
            // A line needs two points: one window is drawn as a dot.
            c.chart.kind = SeriesKind::Points;
            c.chart.markerSize = 6;
        }
        r.charts.push_back(std::move(c));
    }
    const std::size_t n = r.charts.size();
    const std::size_t pageCount = (n + kTrendChartsPerPage - 1) / kTrendChartsPerPage;
    const std::size_t perPage = (n + pageCount - 1) / pageCount;
    for (std::size_t i = 0; i < n; ++i) {
        if (i % perPage == 0) {
            r.pages.emplace_back();
        }
        r.pages.back().push_back(i);
    }
    return r;
}

std::string TrendPageLine(std::size_t page, std::size_t pageCount) {
    if (pageCount < 2) {
        return std::string();
    }
    return "Лист " + std::to_string(page + 1) + " из " + std::to_string(pageCount);
}

TrendPageLayout ComputeTrendPageLayout(int width, int height, int lineHeight, int charts,
                                       int chartsPerPage) {
    TrendPageLayout l;
    l.x0 = width / 10;
    l.right = width - l.x0;
    l.th = lineHeight;
    l.identificationY = height / 30;
    l.windowsY = l.identificationY + l.th;
    l.axesY = l.windowsY + l.th;
    const int top = l.axesY + 2 * l.th; // an empty line after the texts
    const int bottom = height - height / 30;
    const int gap = l.th / 2;
    const int per = std::max(chartsPerPage, 1);
    const int ch = std::max(0, (bottom - top - (per - 1) * gap) / per);
    for (int i = 0; i < charts; ++i) {
        const int y = top + i * (ch + gap);
        l.charts.push_back({l.x0, y, l.right, y + ch});
    }
    return l;
}

} // namespace hrv
