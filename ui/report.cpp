// The printed report: one page with the identification line, the 16 indices and the five charts.
#include "ui/report.h"

#include "files/file_io.h"
#include "presentation/chart_data.h"
#include "presentation/messages.h"
#include "ui/chart_layer.h"

#include <memory>
#include <vector>

#include <QBuffer>
#include <QFontMetrics>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QString>

namespace hrv {

namespace {

QString Text(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

ChartId ChartIdOf(ReportChart c) {
    switch (c) {
    case ReportChart::Rhythmogram:
        return ChartId::Rhythmogram;
    case ReportChart::Histogram:
        return ChartId::Histogram;
    case ReportChart::Scattergram:
        return ChartId::Scattergram;
    case ReportChart::Spectrum:
        return ChartId::Spectrum;
    case ReportChart::Components:
        break;
    }
    return ChartId::Components;
}

std::vector<ChartPoint> PointsOf(ChartId id, const FragmentData& f) {
    switch (id) {
    case ChartId::Rhythmogram:
        return RhythmogramPoints(f);
    case ChartId::Histogram:
        return HistogramPoints(f);
    case ChartId::Scattergram:
        return ScatterPoints(f);
    case ChartId::Spectrum:
        return SpectrumPoints(f);
    case ChartId::Components:
        break;
    }
    return ComponentBars(f);
}

// Draws a text with the top of its line at y (page coordinates are line tops).
void DrawLine(QPainter& painter, int x, int y, const QString& text) {
    painter.drawText(QPoint(x, y + painter.fontMetrics().ascent()), text);
}

// The block of the standard analysis under the charts.
void PaintStandard(QPainter& painter, const ReportLayout& l, const ReportStandard& s) {
    const ReportStandardLayout b = ComputeReportStandardLayout(l);
    DrawLine(painter, l.x0, b.headingY, Text(s.heading));
    if (!s.error.empty()) {
        DrawLine(painter, l.x0, b.settingsY, Text(s.error));
        return;
    }
    DrawLine(painter, l.x0, b.settingsY, Text(s.settings));
    for (int r = 0; r < kReportStandardTimeRows; ++r) {
        for (int c = 0; c < kReportColumns; ++c) {
            if (!s.time[r][c].empty()) {
                DrawLine(painter, l.columnX[c], b.timeY[r], Text(s.time[r][c]));
            }
        }
    }
    for (int c = 0; c < kReportStandardBandColumns; ++c) {
        DrawLine(painter, b.bandX[c], b.bandHeaderY, Text(s.bandHeader[c]));
        for (int r = 0; r < kReportStandardBandRows; ++r) {
            DrawLine(painter, b.bandX[c], b.bandY[r], Text(s.bands[r][c]));
        }
    }
}

} // namespace

void PaintReport(QPainter& painter, const QRect& page, const FragmentData& f,
                 const ReportOptions& options) {
    painter.save();
    painter.translate(page.topLeft());
    const QFontMetrics metrics = painter.fontMetrics();
    const ReportLayout l = ComputeReportLayout(page.width(), page.height(), metrics.height(),
                                               metrics.horizontalAdvance(QStringLiteral("0")));
    if (!options.identification.empty()) {
        DrawLine(painter, l.x0, l.identificationY, Text(options.identification));
    }
    if (const std::string line = ReportCorrectionLine(f, options.decimalSeparator); !line.empty()) {
        DrawLine(painter, l.x0, l.correctionY, Text(line));
    }
    const ReportCells cells = ReportCellTexts(f, options.decimalSeparator);
    for (int r = 0; r < kReportRows; ++r) {
        for (int c = 0; c < kReportColumns; ++c) {
            if (!cells[r][c].empty()) {
                DrawLine(painter, l.columnX[c], l.rowY[r], Text(cells[r][c]));
            }
        }
    }
    if (options.drawChart) {
        for (int i = 0; i < kReportChartCount; ++i) {
            const PageRect& r = l.charts[i];
            const QRectF rect(r.left, r.top, r.right - r.left, r.bottom - r.top);
            painter.save();
            options.drawChart(static_cast<ReportChart>(i), painter, rect);
            painter.restore();
        }
    }
    if (options.standard) {
        PaintStandard(painter, l, *options.standard);
    }
    painter.restore();
}

ReportChartPainter ChartsFromResults(const FragmentData& f) {
    return [&f](ReportChart chart, QPainter& painter, const QRectF& rect) {
        const ChartId id = ChartIdOf(chart);
        ChartSpec look = ChartSpecOf(id);
        if (id == ChartId::Rhythmogram) {
            look.title = RhythmogramTitle(f);
        }
        DrawChart(painter, rect, look, PointsOf(id, f));
    };
}

QByteArray PdfDocument(const QPageLayout& layout, int resolution, std::size_t pages,
                       const PdfPagePainter& paintPage) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(resolution);
        writer.setPageLayout(layout);
        writer.setCreator(QStringLiteral("RVX"));
        QPainter painter;
        if (!painter.begin(&writer)) {
            throw PrintError(std::string(msg::kPrintFailed));
        }
        for (std::size_t p = 0; p < pages; ++p) {
            if (p > 0) {
                writer.newPage();
            }
            paintPage(painter, QRect(0, 0, writer.width(), writer.height()), p);
        }
        painter.end();
    }
    buffer.close();
    return bytes;
}

QByteArray ReportPdf(const QPageLayout& layout, int resolution, const FragmentData& f,
                     const ReportOptions& options) {
    return PdfDocument(layout, resolution, 1,
                       [&](QPainter& painter, const QRect& page, std::size_t) {
                           PaintReport(painter, page, f, options);
                       });
}

bool PrinterAvailable(const QPrinter& printer) {
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        return !printer.outputFileName().isEmpty();
    }
    return !printer.printerName().isEmpty() && !QPrinterInfo::availablePrinters().isEmpty();
}

bool PrintsToPdfFile(const QPrinter& printer) {
    return printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty();
}

void PrintReport(QPrinter& printer, const FragmentData& f, const ReportOptions& options) {
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        // Printing to a file: no file name means no printer was chosen at all.
        const QString file = printer.outputFileName();
        if (file.isEmpty()) {
            throw PrintError(std::string(msg::kNoPrinter));
        }
        const QByteArray pdf = ReportPdf(printer.pageLayout(), printer.resolution(), f, options);
        const std::vector<std::uint8_t> bytes(pdf.begin(), pdf.end());
        WriteFileAtomic(file.toStdString(), bytes);
        return;
    }
    if (printer.printerName().isEmpty() || QPrinterInfo::availablePrinters().isEmpty()) {
        throw PrintError(std::string(msg::kNoPrinter));
    }
    QPainter painter;
    if (!printer.isValid() || !painter.begin(&printer)) {
        throw PrintError(std::string(msg::kPrintFailed) + ": " +
                         printer.printerName().toStdString());
    }
    try {
        PaintReport(painter, QRect(0, 0, printer.width(), printer.height()), f, options);
    } catch (...) {
        printer.abort(); // no half-drawn page goes to the printer
        throw;
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error) {
        throw PrintError(std::string(msg::kPrintFailed) + ": " +
                         printer.printerName().toStdString());
    }
}

} // namespace hrv
