// The trend report drawn with the chart component.
#include "ui/trend_report.h"

#include "ui/chart_layer.h"
#include "ui/report.h"

#include <algorithm>
#include <string>

#include <QFontMetrics>
#include <QPageLayout>
#include <QPainter>
#include <QString>

namespace hrv {

namespace {

QString Text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// Draws a text with the top of its line at y (page coordinates are line tops).
void DrawLine(QPainter& painter, int x, int y, const QString& text) {
    painter.drawText(QPoint(x, y + painter.fontMetrics().ascent()), text);
}

} // namespace

void PaintTrendPage(QPainter& painter, const QRect& page, const TrendReport& report,
                    std::size_t pageIndex) {
    if (pageIndex >= report.pages.size()) {
        return;
    }
    painter.save();
    painter.translate(page.topLeft());
    const QFontMetrics metrics = painter.fontMetrics();
    std::size_t fullest = 0;
    for (const auto& charts : report.pages) {
        fullest = std::max(fullest, charts.size());
    }
    const std::vector<std::size_t>& charts = report.pages[pageIndex];
    const TrendPageLayout l =
        ComputeTrendPageLayout(page.width(), page.height(), metrics.height(),
                               static_cast<int>(charts.size()), static_cast<int>(fullest));
    if (!report.identification.empty()) {
        DrawLine(painter, l.x0, l.identificationY, Text(report.identification));
    }
    if (const std::string line = TrendPageLine(pageIndex, report.pages.size()); !line.empty()) {
        const QString text = Text(line);
        DrawLine(painter, l.right - metrics.horizontalAdvance(text), l.identificationY, text);
    }
    DrawLine(painter, l.x0, l.windowsY, Text(report.windowsLine));
    DrawLine(painter, l.x0, l.axesY, Text(report.axesLine));
    // The charts share their time axis: their plot areas start at the same x, that of the chart
    // with the widest value labels.
    const auto rectOf = [&l](std::size_t i) {
        const PageRect& r = l.charts[i];
        return QRectF(r.left, r.top, r.right - r.left, r.bottom - r.top);
    };
    double plotLeft = 0;
    for (std::size_t i = 0; i < charts.size(); ++i) {
        const TrendChart& chart = report.charts[charts[i]];
        plotLeft = std::max(plotLeft, ChartPlotLeft(painter, rectOf(i), chart.chart, chart.points));
    }
    for (std::size_t i = 0; i < charts.size(); ++i) {
        const TrendChart& chart = report.charts[charts[i]];
        painter.save();
        DrawChart(painter, rectOf(i), chart.chart, chart.points, plotLeft);
        painter.restore();
    }
    painter.restore();
}

QByteArray TrendReportPdf(const QPageLayout& layout, int resolution, const TrendReport& report) {
    return PdfDocument(layout, resolution, report.pages.size(),
                       [&report](QPainter& painter, const QRect& page, std::size_t index) {
                           PaintTrendPage(painter, page, report, index);
                       });
}

} // namespace hrv
