// The printed report: one page with the identification line, the 16 indices and the five
// charts, drawn on any painter (a printer page, a PDF page, an image).
#pragma once

#include "analysis/fragment_data.h"
#include "presentation/report_layout.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

#include <QByteArray>
#include <QRect>
#include <QRectF>

class QPageLayout;
class QPainter;
class QPrinter;

namespace hrv {

// Draws one chart of the report into a rectangle of the painter's device.
using ReportChartPainter = std::function<void(ReportChart, QPainter&, const QRectF&)>;

struct ReportOptions {
    std::string identification;             // UTF-8; empty: the line is left out, its space stays
    char decimalSeparator = '.';            // of the reals on the page
    ReportChartPainter drawChart;           // none: the chart rectangles stay empty
    std::optional<ReportStandard> standard; // the block of the standard analysis, when asked for
};

// Draws the page into `page` (device units, the printable area) of an active painter, with the
// painter's own font; the painter's state is as before afterwards.
void PaintReport(QPainter& painter, const QRect& page, const FragmentData& f,
                 const ReportOptions& options);

// The charts of the fragment as the window shows them, drawn by the chart component from the
// results (for printing without a window).
ReportChartPainter ChartsFromResults(const FragmentData& f);

// A printing failure: no printer, or a job that could not start. The text is for the user.
class PrintError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Whether `printer` can print: a PDF printer with its file, or an installed printer.
bool PrinterAvailable(const QPrinter& printer);
// Whether `printer` is set to print into a PDF file (as the printer set-up's "print to file").
bool PrintsToPdfFile(const QPrinter& printer);

// Prints the page on `printer` as one job. A printer set to PDF output writes its file in one
// piece (nothing is left of a failed write). PrintError when no printer is available or the job
// cannot start (nothing is printed then); FileIoError when the PDF file cannot be written.
void PrintReport(QPrinter& printer, const FragmentData& f, const ReportOptions& options);

// Paints page `index` (0-based) into `page`, the printable area in device units.
using PdfPagePainter = std::function<void(QPainter&, const QRect& page, std::size_t index)>;

// A PDF document of `pages` pages of the given page layout and resolution (dots per inch), each
// drawn by `paintPage`. PrintError when the document cannot be started.
QByteArray PdfDocument(const QPageLayout& layout, int resolution, std::size_t pages,
                       const PdfPagePainter& paintPage);

// The page as a one-page PDF document of the given page layout and resolution (dots per inch).
QByteArray ReportPdf(const QPageLayout& layout, int resolution, const FragmentData& f,
                     const ReportOptions& options);

} // namespace hrv
