// The trend report of a long recording: its pages drawn on any painter, and the whole report as
// a PDF document. The charts are drawn by the window's chart component.
#pragma once

#include "presentation/trend_report.h"

#include <cstddef>

#include <QByteArray>
#include <QRect>

class QPageLayout;
class QPainter;

namespace hrv {

// Draws page `pageIndex` (0-based) of `report` into `page` (device units, the printable area) of
// an active painter, with the painter's own font; the painter's state is as before afterwards.
void PaintTrendPage(QPainter& painter, const QRect& page, const TrendReport& report,
                    std::size_t pageIndex);

// The report as a PDF document of the given page layout and resolution (dots per inch), one
// PDF page per page of the report. PrintError when the document cannot be started.
QByteArray TrendReportPdf(const QPageLayout& layout, int resolution, const TrendReport& report);

} // namespace hrv
