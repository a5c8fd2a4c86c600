// The trend report of a long recording: the indices of its five-minute windows over clock time,
// as chart contents, header texts and page arithmetic. Page units are the printer's device units.
#pragma once

#include "analysis/fragment_data.h"
#include "presentation/chart_data.h"
#include "presentation/report_layout.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace hrv {

// The indices of one analysed window.
struct TrendPoint {
    double start = 0; // s: start time of the window's first interval in the recording
    double HR = 0;    // beats per minute
    double SDNN = 0;  // ms
    double RMSSD = 0; // ms
    double LF = 0;    // ms2, as the spectral panel shows it
    double HF = 0;    // ms2
    double LFHF = 0;
    std::optional<double> DFAAlpha1; // only when asked for; none when undefined
};

// The point of the window analysed into `f` that starts at `startSeconds`; with `nonlinear` also
// DFA α1 over the same intervals as SDNN.
TrendPoint TrendPointOf(const FragmentData& f, double startSeconds, bool nonlinear);

enum class TrendIndex { HR, SDNN, RMSSD, DFAAlpha1, LF, HF, LFHF };

// One chart of the report: the chart component's settings and the line of the windows' values.
struct TrendChart {
    TrendIndex index = TrendIndex::HR;
    ChartSpec chart;
    std::vector<ChartPoint> points; // x: start time in s; windows without a value are left out
};

// The time axis of the charts for windows starting from `first` to `last` s: seconds ("Время,
// с") while the starts span less than kClockAxisFrom, clock time h:mm ("Время, ч:мин") from
// there on; fixed, with round ends and about ten labels.
inline constexpr double kClockAxisFrom = 1800; // s: half an hour of window starts
AxisSpec TrendTimeAxis(double first, double last);

// A value axis spanning `values` (the finite ones), fixed with round ends at multiples of a
// round step giving about four labels; `fromZero`, it spans 0 too. It spans at least a tenth of
// the largest magnitude (about the values' middle, not below 0 for values that are not
// negative): a constant or nearly constant series is drawn as a flat line.
AxisSpec TrendValueAxis(const std::vector<double>& values, const std::string& caption,
                        bool fromZero = false);

struct TrendOptions {
    std::string identification; // UTF-8: ReportIdentification of the file; empty: left out
    double step = 0;            // s between window starts
    std::size_t windows = 0;    // windows of the recording; more than the points when some
                                // could not be analysed; 0: as many as the points
    bool nonlinear = false;     // the DFA α1 chart
    bool corrected = false;     // the windows were analysed with artefact correction
    char decimalSeparator = '.';
};

// The charts of every page: at most kTrendChartsPerPage on a page, so the charts keep a height
// that reads (HR, SDNN, RMSSD, LF, HF, LF/HF fill one A4 page; with DFA α1 the time-domain and
// nonlinear charts go on one page, the spectral ones on a second).
inline constexpr int kTrendChartsPerPage = 6;

struct TrendReport {
    std::string identification;
    std::string windowsLine; // "Тренды по окнам 300 с. Шаг: 30 с, окон: 288" ("288 из 290")
    std::string axesLine; // which value axes start at 0 and which span the values
    std::vector<TrendChart> charts;
    std::vector<std::vector<std::size_t>> pages; // indices into charts, page by page
};

// The report of the windows `points` (in order of their start). The charts: HR, SDNN, RMSSD,
// with `nonlinear` DFA α1, then LF, HF and LF/HF, all on the same time axis. The axes of SDNN,
// RMSSD, LF and HF start at 0, so that a change reads against the index's size; those of HR,
// DFA α1 and LF/HF span the values (axesLine says so on the page).
TrendReport MakeTrendReport(const std::vector<TrendPoint>& points, const TrendOptions& options);

// "Лист 2 из 2" on a report of several pages; empty on a report of one.
std::string TrendPageLine(std::size_t page, std::size_t pageCount);

struct TrendPageLayout {
    int x0 = 0;                   // left edge of the texts and the charts: W div 10
    int right = 0;                // right edge: W - x0
    int th = 0;                   // one text line
    int identificationY = 0;      // H div 30; the page line stands at its right end
    int windowsY = 0;             // the line after it
    int axesY = 0;                // the line after that
    std::vector<PageRect> charts; // the page's charts top to bottom, half a line apart
};

// The layout of a page `width` x `height` with text lines `lineHeight` high holding `charts`
// charts; every chart has the height that `chartsPerPage` charts (the fullest page) would get.
TrendPageLayout ComputeTrendPageLayout(int width, int height, int lineHeight, int charts,
                                       int chartsPerPage);

} // namespace hrv
