// The printed report's page arithmetic and texts: an identification line, five rows of indices
// in four columns, and the five charts in three rows. Page units are the printer's device units.
#pragma once

#include "analysis/fragment_data.h"
#include "standard/standard.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace hrv {

// A rectangle of the page; right and bottom are exclusive (a chart spans left .. right).
struct PageRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// The charts in the order they are drawn.
enum class ReportChart { Rhythmogram, Histogram, Scattergram, Spectrum, Components };
inline constexpr int kReportChartCount = 5;

inline constexpr int kReportRows = 5;
inline constexpr int kReportColumns = 4;

struct ReportLayout {
    int x0 = 0;                          // left edge of the text and the charts: W div 10
    int th = 0;                          // one text line: the height of "0"
    int cw = 0;                          // distance between the text columns: 20 widths of "0"
    int ch = 0;                          // height of every chart: H div 5
    int cwid = 0;                        // width of the chart area: W - 2 x0
    int third = 0;                       // cwid div 3
    int top = 0;                         // H div 30: the first (empty) text line
    int identificationY = 0;             // the identification line, after four empty lines
    int correctionY = 0;                 // the first of the two empty lines after it
    std::array<int, kReportRows> rowY{}; // the index rows
    std::array<int, kReportColumns> columnX{};
    std::array<PageRect, kReportChartCount> charts{}; // indexed by ReportChart
};

// The layout of a page `width` x `height` whose text line is `lineHeight` high and whose "0" is
// `zeroWidth` wide. Integer arithmetic, divisions truncate. Text positions are the tops of lines.
ReportLayout ComputeReportLayout(int width, int height, int lineHeight, int zeroWidth);

// The index cells by row and column (UTF-8); an empty text is an empty cell. Reals have two
// decimals with `decimalSeparator`, integers are plain digits.
using ReportCells = std::array<std::array<std::string, kReportColumns>, kReportRows>;
ReportCells ReportCellTexts(const FragmentData& f, char decimalSeparator);

// The identification line: the current file's base name, a blank and its date. Empty (the line
// is left out, its space stays) when no file was opened or saved, or when the information line
// reads "Новая запись": the results then come from a recording, not from that file.
std::string ReportIdentification(const FragmentData& f, std::string_view infoText);

// The correction line of a corrected fragment (f.Corrected): CorrectionText with
// `decimalSeparator`, drawn at correctionY; empty (nothing drawn) otherwise.
std::string ReportCorrectionLine(const FragmentData& f, char decimalSeparator);

// The block "Стандартный анализ" of a report printed with the standard analysis, under the
// charts: the heading (StandardHeadingText), the settings line, the time-domain values in four rows
// of the index columns, then a table of the main band values (VLF, LF, HF, LF and HF n.u., LF/HF)
// with a row for the Welch and one for the AR spectrum. When the analysis could not be made, the
// heading and `error` only.
inline constexpr int kReportStandardTimeRows = 4;
inline constexpr int kReportStandardBandColumns = 7; // the spectrum's name, six values
inline constexpr int kReportStandardBandRows = 2;    // Welch, AR
struct ReportStandard {
    std::string heading;
    std::string settings;
    std::string error;
    std::array<std::array<std::string, kReportColumns>, kReportStandardTimeRows> time;
    std::array<std::string, kReportStandardBandColumns> bandHeader; // the first empty
    std::array<std::array<std::string, kReportStandardBandColumns>, kReportStandardBandRows> bands;
};
ReportStandard ReportStandardTexts(const standard::Result& r, char decimalSeparator);
ReportStandard ReportStandardError(const std::string& error);

// Where the block goes: two lines below the lowest chart, a line for the heading and one for the
// settings, the time rows, an empty line, the table's header and rows; the table's columns
// spread evenly over the chart area's width. `bottom` is the end of its last line.
struct ReportStandardLayout {
    int headingY = 0;
    int settingsY = 0;
    std::array<int, kReportStandardTimeRows> timeY{};
    int bandHeaderY = 0;
    std::array<int, kReportStandardBandRows> bandY{};
    std::array<int, kReportStandardBandColumns> bandX{};
    int bottom = 0;
};
ReportStandardLayout ComputeReportStandardLayout(const ReportLayout& l);

} // namespace hrv
