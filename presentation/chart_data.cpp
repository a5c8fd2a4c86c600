// Chart contents as plain data.
#include "presentation/chart_data.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace hrv {

namespace {

constexpr int kRhythmogramPoints = 29999; // samples 1..29999 of the rhythmogram
constexpr int kHistogramSteps = 10;       // points per 10-ms histogram class
constexpr int kScatterLastSlot = 200;     // scattergram slots 1..200 (up to 2.0 s)
constexpr int kVlfLastBin = 12;           // bins 1..12: VLF, drawn navy
constexpr int kLfLastBin = 45;            // bins 13..45: LF, drawn blue; HF above, teal

AxisSpec FixedSeconds(const char* caption) {
    AxisSpec a;
    a.automatic = false;
    a.minimum = 0;
    a.maximum = 2.0;
    a.step = 0.5;
    a.labelFormat = "#,##0.0";
    a.caption = caption;
    return a;
}

AxisSpec Automatic(const char* caption) {
    AxisSpec a;
    a.caption = caption;
    return a;
}

// Share of `part` in `total` in percent; 0 when the share is undefined (a total of 0).
double Percent(double part, double total) {
    if (total == 0) {
        return 0;
    }
    const double p = part * 100 / total;
    return std::isfinite(p) ? p : 0;
}

} // namespace

double NiceStep(double range, int labelsWanted) {
    if (!(range > 0) || !std::isfinite(range)) {
        return 1;
    }
    const double raw = range / std::max(labelsWanted, 1);
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double norm = raw / magnitude;
    const double factor = norm <= 1 ? 1 : norm <= 2 ? 2 : norm <= 5 ? 5 : 10;
    return factor * magnitude;
}

double ClockStep(double range, int labelsWanted) {
    constexpr double kSteps[] = {60,   120,  300,   600,   900,   1200,  1800,
                                 3600, 7200, 10800, 14400, 21600, 43200, 86400};
    if (!(range > 0) || !std::isfinite(range)) {
        return kSteps[0];
    }
    const double raw = range / std::max(labelsWanted, 1);
    for (const double step : kSteps) {
        if (step >= raw) {
            return step;
        }
    }
    return 86400 * std::ceil(raw / 86400); // whole days
}

ChartSpec ChartSpecOf(ChartId id) {
    ChartSpec c;
    switch (id) {
    case ChartId::Rhythmogram:
        c.name = "Chart_RG";
        c.title = "Ритмограмма";
        c.seriesName = "Series1";
        c.kind = SeriesKind::Line;
        c.seriesColor = kClRed;
        c.background = kClSilver;
        c.bottom = Automatic("Время, с");
        c.left = FixedSeconds("NN, c"); // Latin c, as the design has it
        c.marginBottom = 5;
        c.marginLeft = 1;
        c.marginRight = 1;
        break;
    case ChartId::Histogram:
        c.name = "Chart_Histo";
        c.title = "Гистограмма";
        c.seriesName = "Series2";
        c.kind = SeriesKind::Area;
        c.seriesColor = kClBlue;
        c.background = kClSilver;
        c.bottom = FixedSeconds("RR, с");
        c.left = Automatic("Количество NN");
        break;
    case ChartId::Scattergram:
        c.name = "Chart_Scater";
        c.title = "Скатерограмма";
        c.seriesName = "Series3";
        c.kind = SeriesKind::Points;
        c.seriesColor = kClBlue;
        c.markerSize = 4; // circles of 2 x 2 half-size, i.e. 4 pixels across
        c.background = kClSilver;
        c.bottom = FixedSeconds("NN i, с");
        c.left = FixedSeconds("NN i-1, с");
        break;
    case ChartId::Spectrum:
        c.name = "Chart_Spectr";
        c.title = "Спектр";
        c.seriesName = "Series4";
        c.kind = SeriesKind::Area;
        c.seriesColor = kClNavy;
        c.background = std::nullopt; // the face colour
        c.bottom = Automatic("Частота, Гц");
        c.left = Automatic("мс2/Гц  *1000");
        break;
    case ChartId::Components:
        c.name = "Chart_Diagram";
        c.title = "Компоненты спектра";
        c.seriesName = "Series5";
        c.kind = SeriesKind::Bars;
        c.seriesColor = kClBlack;
        c.background = kClSilver;
        c.bottom = Automatic(" ");
        c.bottom.textLabels = true;
        c.left.automatic = false;
        c.left.minimum = 0;
        c.left.maximum = 110.0;
        c.left.caption = "%";
        break;
    }
    return c;
}

std::vector<ChartPoint> RhythmogramPoints(const FragmentData& f) {
    std::vector<ChartPoint> points;
    points.reserve(kRhythmogramPoints);
    for (int s = 1; s <= kRhythmogramPoints; ++s) {
        // Ticks of 10 ms to seconds, on both axes: the bottom axis is captioned in seconds, so
        // the point of ordinal s - 1 (one 10-ms sample each) stands at (s - 1) / 100 s.
        points.push_back({static_cast<double>(s - 1) / 100, f.Rhythmogram[s] / 100, {}, kClBlack});
    }
    if (f.Corrected) {
        // The resampling gives interval p (from position 2 on) the samples from the sum of the
        // intervals 2 .. p-1 on, one per tick.
        const auto& marks = f.Correction.marks;
        int first = 0;
        for (int p = 2; p <= kSeriesCapacity && first <= kRhythmogramPoints; ++p) {
            const int ticks = f.AnalysisSeries[p];
            if (ticks == 0) {
                continue;
            }
            const auto at = static_cast<std::size_t>(p - 1);
            if (at < marks.size() && marks[at] != 0) {
                for (int s = std::max(first, 1); s < first + ticks && s <= kRhythmogramPoints;
                     ++s) {
                    points[static_cast<std::size_t>(s - 1)].color = kCorrectedBeatColor;
                }
            }
            first += ticks;
        }
    }
    return points;
}

std::string RhythmogramTitle(const FragmentData& f) {
    return f.Corrected ? "Ритмограмма (красным – исправленные удары)" : "Ритмограмма";
}

Rgb SpectrumBinColor(int k) {
    if (k > kVlfLastBin) {
        return k > kLfLastBin ? kClTeal : kClBlue;
    }
    return kClNavy;
}

std::vector<ChartPoint> SpectrumPoints(const FragmentData& f) {
    std::vector<ChartPoint> points;
    points.reserve(kBinCount);
    for (int k = 1; k <= kBinCount; ++k) {
        points.push_back(
            {static_cast<double>(k) / 300, f.Spectrum.Power[k], {}, SpectrumBinColor(k)});
    }
    return points;
}

std::vector<ChartPoint> ComponentBars(const FragmentData& f) {
    const SpectralIndicesData& s = f.SpectralIndices;
    return {
        {0, 100, "Total", kClBlack},
        {1, Percent(s.VLF, s.Total), "VLF", kClNavy},
        {2, Percent(s.LF, s.Total), "LF", kClBlue},
        {3, Percent(s.HF, s.Total), "HF", kClTeal},
    };
}

std::vector<ChartPoint> HistogramPoints(const FragmentData& f) {
    std::vector<ChartPoint> points;
    points.reserve(static_cast<std::size_t>(kClassCount) * kHistogramSteps);
    for (int i = 0; i < kClassCount; ++i) {
        for (int j = 1; j <= kHistogramSteps; ++j) {
            points.push_back({static_cast<double>(10 * i + j) / 1000,
                              static_cast<double>(f.Histogram[i]),
                              {},
                              kClBlue});
        }
    }
    return points;
}

std::vector<ChartPoint> ScatterPoints(const FragmentData& f) {
    std::vector<ChartPoint> points;
    for (int i = 1; i <= kScatterLastSlot; ++i) {
        if (f.ScatterMap[i] != 0) {
            points.push_back({static_cast<double>(i) / 100,
                              static_cast<double>(f.ScatterMap[i]) / 100,
                              {},
                              kClBlue});
        }
    }
    return points;
}

AxisRange ResolveAxis(const AxisSpec& axis, SeriesKind kind, const std::vector<ChartPoint>& points,
                      bool vertical, int labelsWanted) {
    AxisRange r;
    if (!axis.automatic) {
        r.minimum = axis.minimum;
        r.maximum = axis.maximum;
    } else {
        double lo = std::numeric_limits<double>::infinity();
        double hi = -std::numeric_limits<double>::infinity();
        for (const ChartPoint& p : points) {
            const double v = vertical ? p.y : p.x;
            if (std::isfinite(v)) {
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
        }
        if (vertical && (kind == SeriesKind::Area || kind == SeriesKind::Bars)) {
            lo = std::min(lo, 0.0); // areas and bars stand on 0
            hi = std::max(hi, 0.0);
        }
        if (lo > hi) { // no finite value
            lo = 0;
            hi = 1;
        } else if (lo == hi) {
            // A constant series: the axis runs from 0 to twice the value (0 to 1 for zeros), so
            // nothing is drawn beyond the zero line.
            hi = lo == 0 ? 1 : std::max(2 * lo, 0.0);
            lo = std::min(2 * lo, 0.0);
        }
        r.minimum = lo;
        r.maximum = hi;
    }
    if (axis.step > 0) {
        r.step = axis.step;
    } else {
        r.step = axis.clock ? ClockStep(r.maximum - r.minimum, labelsWanted)
                            : NiceStep(r.maximum - r.minimum, labelsWanted);
    }
    return r;
}

std::string ClockLabel(double seconds) {
    const std::int64_t minutes = std::llrint(seconds / 60); // ties to even, as RoundEven
    const std::int64_t m = minutes < 0 ? -minutes : minutes;
    const std::int64_t mm = m % 60;
    return (minutes < 0 ? "-" : "") + std::to_string(m / 60) + (mm < 10 ? ":0" : ":") +
           std::to_string(mm);
}

int DecimalsOfLabelFormat(const std::string& format) {
    if (format.empty()) {
        return -1;
    }
    const auto dot = format.find('.');
    if (dot == std::string::npos) {
        return 0;
    }
    return static_cast<int>(
        std::count(format.begin() + static_cast<std::ptrdiff_t>(dot) + 1, format.end(), '0'));
}

} // namespace hrv
