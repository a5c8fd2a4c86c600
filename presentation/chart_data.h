// Chart contents as plain data: the settings of the five charts and the points ShowGraphics adds.
#pragma once

#include "analysis/fragment_data.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hrv {

// A colour as (red, green, blue).
struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The standard colours the charts use.
inline constexpr Rgb kClBlack{0, 0, 0};
inline constexpr Rgb kClNavy{0, 0, 128};
inline constexpr Rgb kClBlue{0, 0, 255};
inline constexpr Rgb kClTeal{0, 128, 128};
inline constexpr Rgb kClRed{255, 0, 0};
inline constexpr Rgb kClSilver{192, 192, 192};

// The rhythmogram's samples of a beat the artefact correction made or moved.
inline constexpr Rgb kCorrectedBeatColor = kClRed;

// One point of a series. For a value added without x, x is the number of points the series held
// before it (0, 1, 2, ...). The colour is the one the point, bar or area segment is drawn in.
struct ChartPoint {
    double x = 0;
    double y = 0;
    std::string label; // UTF-8; shown on a text axis (bars), otherwise unused
    Rgb color;
};

enum class SeriesKind { Line, Area, Points, Bars };

struct AxisSpec {
    bool automatic = true; // range from the points; otherwise minimum..maximum
    double minimum = 0;
    double maximum = 0;
    double step = 0;         // label step; 0 chooses one from the range
    std::string labelFormat; // "#,##0.0" style (grouping, decimals); empty: from the step
    std::string caption;     // UTF-8
    bool textLabels = false; // the points' labels instead of values (bar charts)
    bool clock = false;      // values in seconds labelled as clock time h:mm; steps whole minutes
};

struct ChartSpec {
    std::string name;  // component name, e.g. "Chart_RG"
    std::string title; // UTF-8
    std::string seriesName;
    SeriesKind kind = SeriesKind::Line;
    Rgb seriesColor;               // colour of the series itself (points carry their own)
    bool outline = false;          // outline of areas, points and bars
    double markerSize = 0;         // point diameter in pixels (points only)
    std::optional<Rgb> background; // empty: the platform's face colour
    AxisSpec bottom;
    AxisSpec left;
    // Margins of the plot in percent of the chart's width (left, right) and height (top, bottom).
    double marginLeft = 0;
    double marginRight = 0;
    double marginTop = 0;
    double marginBottom = 0;
};

enum class ChartId { Rhythmogram, Histogram, Scattergram, Spectrum, Components };

// The design settings of each chart of the main window.
ChartSpec ChartSpecOf(ChartId id);

// The points ShowGraphics adds, chart by chart, from the results in the fragment.
// The rhythmogram's samples are black; with the fragment corrected (f.Corrected) the samples of
// each interval the correction made or moved are kCorrectedBeatColor.
std::vector<ChartPoint> RhythmogramPoints(const FragmentData& f); // 29,999 values, seconds
std::vector<ChartPoint> SpectrumPoints(const FragmentData& f);    // bins 1..150 at k/300 Hz
std::vector<ChartPoint> ComponentBars(const FragmentData& f);     // Total, VLF, LF, HF in %
std::vector<ChartPoint> HistogramPoints(const FragmentData& f);   // 2560 steps, seconds
std::vector<ChartPoint> ScatterPoints(const FragmentData& f);     // occupied slots 1..200

// The rhythmogram's title: "Ритмограмма", and for a corrected fragment the colour of the
// corrected beats named after it.
std::string RhythmogramTitle(const FragmentData& f);

// The colour of spectral bin k: navy up to bin 12, blue up to bin 45, teal above.
Rgb SpectrumBinColor(int k);

// An axis as drawn: its range and the distance between labels.
struct AxisRange {
    double minimum = 0;
    double maximum = 0;
    double step = 0;
};

// The range of an axis: fixed axes as set; automatic ones span the points' values (x for the
// bottom axis, y for the left one), with 0 included for areas and bars; a constant value c spans
// 0 … 2c (0 … 1 for zeros), so no area reaches beyond the zero line. A step of 0 is replaced
// by a round one (1, 2 or 5 times a power of ten) giving about `labelsWanted` labels; on a clock
// axis by a round span of clock time (1, 2, 5, 10, 15, 20 or 30 minutes, 1, 2, 3, 4, 6 or 12
// hours, or whole days).
AxisRange ResolveAxis(const AxisSpec& axis, SeriesKind kind, const std::vector<ChartPoint>& points,
                      bool vertical, int labelsWanted = 6);

// A round label step for `range`: 1, 2 or 5 times a power of ten, giving about `labelsWanted`
// labels (1 for an empty or undefined range).
double NiceStep(double range, int labelsWanted);
// A round span of clock time for `range` seconds, giving about `labelsWanted` labels: 1, 2, 5,
// 10, 15, 20 or 30 minutes, 1, 2, 3, 4, 6 or 12 hours, or whole days (in seconds).
double ClockStep(double range, int labelsWanted);

// The label of `seconds` on a clock axis: hours and minutes, "h:mm" (5400 -> "1:30"), the
// seconds rounded to the nearest minute; hours go on past 24.
std::string ClockLabel(double seconds);

// Decimals shown by a "#,##0.0"-style label format (the zeros after the point); -1 when the
// format is empty.
int DecimalsOfLabelFormat(const std::string& format);

} // namespace hrv
