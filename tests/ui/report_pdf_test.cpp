// The printed report drawn on real surfaces: a PDF page read back with pdftotext, and images.
#include "analysis/pipeline.h"
#include "files/file_io.h"
#include "presentation/messages.h"
#include "presentation/trend_report.h"
#include "standard/standard.h"
#include "tests/support/pdf_text.h"
#include "tests/support/test_support.h"
#include "ui/chart_layer.h"
#include "ui/report.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace hrv {
namespace {

using test::FindText;
using test::PdfLines;
using test::ScratchDir;

// A fragment analysed from a synthetic rhythm.
std::unique_ptr<FragmentData> Analysed() {
    auto f = std::make_unique<FragmentData>();
    const std::vector<int> ticks = test::TwoBandRhythm(420, 80);
    f->RrCount = static_cast<std::int32_t>(ticks.size());
    for (std::size_t i = 0; i < ticks.size(); ++i) {
        const auto v = static_cast<std::uint8_t>(ticks[i]);
        f->RrTicks[i + 1] = v;
        f->AnalysisSeries[i + 1] = v;
        f->RrWords[i + 1] = static_cast<std::uint16_t>(v * 256);
    }
    EXPECT_TRUE(AnalyseFragment(*f));
    return f;
}

QPageLayout A4() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0));
}

TEST(ReportPdf, TextsAndChartsInTheirOrder) {
    if (!test::HavePdfToText()) {
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    }
    const auto f = Analysed();
    ReportOptions options;
    options.identification = "pat12 08.12.2026";
    options.decimalSeparator = ',';
    options.drawChart = ChartsFromResults(*f);
    ScratchDir dir;
    const std::string pdf = dir / "report.pdf";
    test::WriteBytes(pdf, ReportPdf(A4(), 600, *f, options).toStdString());
    const std::vector<std::string> lines = PdfLines(pdf);
    ASSERT_FALSE(lines.empty());

    const auto ident = FindText(lines, "pat12 08.12.2026");
    ASSERT_GE(ident.line, 0);
    // The five rows follow, each a line of its own, the cells left to right.
    const ReportCells cells = ReportCellTexts(*f, ',');
    int previousLine = ident.line;
    for (int r = 0; r < kReportRows; ++r) {
        const auto first = FindText(lines, cells[r][0], previousLine + 1);
        ASSERT_GE(first.line, 0) << cells[r][0];
        EXPECT_EQ(first.column, ident.column) << "rows start at the identification's left edge";
        std::size_t column = first.column;
        for (int c = 1; c < kReportColumns; ++c) {
            if (cells[r][c].empty()) {
                continue;
            }
            const auto& line = lines[static_cast<std::size_t>(first.line)];
            const auto at = line.find(cells[r][c]);
            ASSERT_NE(at, std::string::npos) << "row " << r + 1 << ": " << cells[r][c];
            EXPECT_GT(at, column) << cells[r][c];
            column = at;
        }
        if (r > 0) {
            EXPECT_EQ(first.line, previousLine + 1) << "rows are consecutive lines";
        }
        previousLine = first.line;
    }
    // The Latin c of the units survives on the page.
    EXPECT_GE(FindText(lines, "мc2/Гц").line, 0);
    EXPECT_GE(FindText(lines, "RMSSD").line, 0);
    EXPECT_NE(lines[static_cast<std::size_t>(FindText(lines, "RMSSD").line)].find(" мc"),
              std::string::npos);

    // The charts below the indices: the rhythmogram, then two rows of two.
    const auto rg = FindText(lines, "Ритмограмма", previousLine + 1);
    const auto histo = FindText(lines, "Гистограмма", rg.line + 1);
    const auto scater = FindText(lines, "Скатерограмма", rg.line + 1);
    const auto spectr = FindText(lines, "Спектр", histo.line + 1);
    const auto diagram = FindText(lines, "Компоненты спектра", histo.line + 1);
    ASSERT_GE(rg.line, 0);
    ASSERT_GE(histo.line, 0);
    ASSERT_GE(spectr.line, 0);
    EXPECT_EQ(histo.line, scater.line);
    EXPECT_LT(histo.column, scater.column);
    EXPECT_EQ(spectr.line, diagram.line);
    EXPECT_LT(spectr.column, diagram.column);
    for (const char* caption : {"Время, с", "RR, с", "NN i, с", "Частота, Гц"}) {
        EXPECT_GE(FindText(lines, caption).line, 0) << caption;
    }
}

// The height of a text line on an image page (the painter's default font).
int ImageLineHeight() {
    QImage image(1, 1, QImage::Format_RGB32);
    QPainter painter(&image);
    return painter.fontMetrics().height();
}

// The width of "0" there.
int ImageZeroWidth() {
    QImage image(1, 1, QImage::Format_RGB32);
    QPainter painter(&image);
    return painter.fontMetrics().horizontalAdvance(QStringLiteral("0"));
}

// Paints the report on an image of the given page inside a larger white sheet.
QImage PaintedPage(const FragmentData& f, const ReportOptions& options, const QRect& page) {
    QImage image(page.right() + 40, page.bottom() + 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    PaintReport(painter, page, f, options);
    return image;
}

TEST(PaintReport, ChartsGoToTheirRectanglesOnThePage) {
    const auto f = Analysed();
    const QRect page(30, 40, 1100, 1600);
    std::vector<std::pair<ReportChart, QRectF>> drawn;
    ReportOptions options;
    options.drawChart = [&drawn](ReportChart c, QPainter& painter, const QRectF& rect) {
        drawn.emplace_back(c, painter.transform().mapRect(rect));
    };
    PaintedPage(*f, options, page);
    // x0 = 1100 div 10, ch = 1600 div 5, cwid = 1100 - 220, third = 880 div 3 = 293.
    const int th = ImageLineHeight();
    const int top = 1600 / 30 + 4 * th + 3 * th + 4 * th + 2 * th;
    const QRectF expected[] = {
        {30.0 + 110, 40.0 + top, 880, 320},
        {30.0 + 110, 40.0 + top + 320 + th, 586, 320},
        {30.0 + 110 + 586, 40.0 + top + 320 + th, 880 - 586, 320},
        {30.0 + 110, 40.0 + top + 2 * (320 + th), 586, 320},
        {30.0 + 110 + 586, 40.0 + top + 2 * (320 + th), 880 - 586, 320},
    };
    ASSERT_EQ(drawn.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(drawn[i].first, static_cast<ReportChart>(i));
        EXPECT_EQ(drawn[i].second, expected[i]) << "chart " << i;
    }
}

// The first column from the left that differs from the chart's background (its colour at the left
// edge) over most of the height of `area` in `image`: the plot area's left grid line or axis.
int FirstVerticalLine(const QImage& image, const QRectF& area) {
    const QRgb background = image.pixel(0, static_cast<int>(area.center().y()));
    for (int x = 0; x < image.width(); ++x) {
        int drawn = 0;
        for (int y = static_cast<int>(area.top()) + 1; y < static_cast<int>(area.bottom()); ++y) {
            drawn += image.pixel(x, y) != background ? 1 : 0;
        }
        if (drawn > area.height() * 0.8) {
            return x;
        }
    }
    return -1;
}

TEST(PaintTrendPage, ChartsAlignTheirPlotAreasAndAxesOnTheWidestLabels) {
    std::vector<TrendPoint> points(40);
    for (int i = 0; i < 40; ++i) {
        TrendPoint& p = points[static_cast<std::size_t>(i)];
        p.start = i * 300.0;
        p.HR = 70;
        p.SDNN = 50;
        p.RMSSD = 40;
        p.LF = 20000.0 + 100 * i;
        p.HF = 3000;
        p.LFHF = 2 + 0.1 * i;
    }
    TrendOptions options;
    options.step = 300;
    const TrendReport report = MakeTrendReport(points, options);
    std::vector<int> lines;
    std::vector<double> lefts;
    for (const TrendIndex index : {TrendIndex::LF, TrendIndex::LFHF}) {
        const auto chart = std::find_if(report.charts.begin(), report.charts.end(),
                                        [index](const TrendChart& c) { return c.index == index; });
        ASSERT_NE(chart, report.charts.end());
        QImage image(900, 300, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        const QRectF rect(0, 0, 900, 300);
        // LF's labels (20,000) are wider than those of LF/HF (2): LF/HF moves to LF's place.
        lefts.push_back(ChartPlotLeft(painter, rect, chart->chart, chart->points));
        const QRectF area = DrawChart(painter, rect, chart->chart, chart->points, 0.0);
        const QRectF aligned = DrawChart(painter, rect, chart->chart, chart->points, lefts[0]);
        EXPECT_DOUBLE_EQ(area.left(), lefts.back());
        EXPECT_DOUBLE_EQ(aligned.left(), std::max(lefts[0], lefts.back()));
        EXPECT_DOUBLE_EQ(aligned.right(), area.right());
        image.fill(Qt::white);
        DrawChart(painter, rect, chart->chart, chart->points, lefts[0]);
        lines.push_back(FirstVerticalLine(image, aligned));
    }
    EXPECT_GT(lefts[0], lefts[1] + 5);
    EXPECT_NEAR(lines[0], lefts[0], 1.5);
    EXPECT_EQ(lines[1], lines[0]); // the grid and the axis moved with the area
}

TEST(PaintReport, LeftOutIdentificationKeepsItsSpace) {
    const auto f = Analysed();
    const QRect page(0, 0, 1200, 1700);
    ReportOptions with;
    with.identification = "pat12 08.12.2026";
    with.drawChart = ChartsFromResults(*f);
    ReportOptions without = with;
    without.identification.clear();
    const QImage a = PaintedPage(*f, with, page);
    const QImage b = PaintedPage(*f, without, page);
    EXPECT_NE(a, b);
    // Below the identification line the two pages are the same.
    const int th = ImageLineHeight();
    const int below = 1700 / 30 + 5 * th;
    EXPECT_EQ(a.copy(0, below, a.width(), a.height() - below),
              b.copy(0, below, b.width(), b.height() - below));
    // The identification is written: its band differs from the empty one.
    EXPECT_NE(a.copy(0, 0, a.width(), below), b.copy(0, 0, b.width(), below));
}

TEST(PaintReport, StandardBlockGoesUnderTheChartsAndChangesNothingAbove) {
    const auto f = Analysed();
    const QRect page(0, 0, 1200, 1700);
    ReportOptions plain;
    plain.drawChart = ChartsFromResults(*f);
    ReportOptions with = plain;
    std::vector<double> ms;
    for (const int t : test::TwoBandRhythm(420, 80)) {
        ms.push_back(t * 10.0);
    }
    with.standard = ReportStandardTexts(standard::AnalyseIntervals(ms, {}), '.');
    const QImage a = PaintedPage(*f, plain, page);
    const QImage b = PaintedPage(*f, with, page);
    const ReportLayout l = ComputeReportLayout(1200, 1700, ImageLineHeight(), ImageZeroWidth());
    const ReportStandardLayout block = ComputeReportStandardLayout(l);
    // The page down to the block as it was; the block drawn, and within the page.
    EXPECT_EQ(a.copy(0, 0, a.width(), block.headingY), b.copy(0, 0, b.width(), block.headingY));
    EXPECT_NE(a, b);
    EXPECT_LE(block.bottom, page.height());
    EXPECT_EQ(b.copy(0, block.bottom, b.width(), b.height() - block.bottom),
              a.copy(0, block.bottom, a.width(), a.height() - block.bottom));
}

TEST(PaintReport, PrintingTwiceGivesTheSamePage) {
    const auto f = Analysed();
    ReportOptions options;
    options.identification = "a 08.12.2026";
    options.decimalSeparator = ',';
    options.drawChart = ChartsFromResults(*f);
    const QRect page(0, 0, 1200, 1700);
    EXPECT_EQ(PaintedPage(*f, options, page), PaintedPage(*f, options, page));
}

TEST(PrintReport, PdfPrinterWritesItsFile) {
    const auto f = Analysed();
    ScratchDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(dir / "out.pdf"));
    ReportOptions options;
    options.drawChart = ChartsFromResults(*f);
    PrintReport(printer, *f, options);
    const std::string bytes = test::ReadBytes<std::string>(dir / "out.pdf");
    EXPECT_TRUE(bytes.starts_with("%PDF-")) << bytes.substr(0, 8);
    // Only the PDF file: no temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(PrintReport, PdfFileThatCannotBeWrittenLeavesNothing) {
    const auto f = Analysed();
    ScratchDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(dir / "missing/out.pdf"));
    EXPECT_THROW(PrintReport(printer, *f, ReportOptions{}), FileIoError);
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

TEST(PrintReport, PdfOutputWithoutAFileIsNoPrinter) {
    const auto f = Analysed();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString());
    try {
        PrintReport(printer, *f, ReportOptions{});
        ADD_FAILURE() << "printed without a printer";
    } catch (const PrintError& e) {
        EXPECT_EQ(std::string(e.what()), msg::kNoPrinter);
    }
}

TEST(PrintReport, NoInstalledPrinterIsAnError) {
    if (!QPrinterInfo::availablePrinters().isEmpty()) {
        GTEST_SKIP() << "this machine has a printer";
    }
    const auto f = Analysed();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::NativeFormat);
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        printer.setOutputFileName(QString()); // Qt fell back to PDF: still no file chosen
    }
    EXPECT_THROW(PrintReport(printer, *f, ReportOptions{}), PrintError);
}

} // namespace
} // namespace hrv
