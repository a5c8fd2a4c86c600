// rvx-print: draws the one-page report of a fragment into a PDF file with the window's report
// code, or with --windows the trend report of a whole recording with the window's chart code.
// rvx-cli runs it for "rvx-cli print"; it takes the same words.
#include "cli/print_args.h"
#include "files/file_io.h"
#include "files/fragment_load.h"
#include "presentation/messages.h"
#include "presentation/regional.h"
#include "presentation/trend_report.h"
#include "service/file_analysis.h"
#include "service/recording_windows.h"
#include "service/standard_analysis.h"
#include "ui/qt_text.h"
#include "ui/report.h"
#include "ui/trend_report.h"
#include "util/executor.h"

#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <vector>

#include <QApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>

namespace {

bool HasDisplay() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

int PrintToPdf(const hrv::cli::PrintOptions& o) {
    using namespace hrv;
    auto f = std::make_unique<FragmentData>();
    auto w = std::make_unique<PpgWorkspace>();
    f->Correct = o.correct;
    w->Record = o.record;
    const std::string error =
        AnalyseFile(o.file, o.kind.value_or(KindFromExtension(o.file)), *f, *w, ProgramExecutor());
    if (!error.empty()) {
        std::cerr << "rvx-cli print: " << o.file << ": " << error << "\n";
        return cli::kExitFailed;
    }
    // As after opening the file in the window.
    f->CurrentFileName = o.file;
    f->CurrentFileDate = FileDateText(o.file, UserRegionalFormat());

    ReportOptions options;
    options.identification = ReportIdentification(*f, std::string_view());
    options.decimalSeparator = hrv::RegionalSeparator();
    options.drawChart = ChartsFromResults(*f);
    if (o.standard.on) {
        // Every interval of the file, as rvx-cli analyze --method standard takes them.
        try {
            const FileIntervals file =
                OpenedFileIntervals(o.file, o.kind.value_or(KindFromExtension(o.file)), *w);
            options.standard = ReportStandardTexts(
                AnalyseStandard(file.ms, file.ticks, o.standard.settings, o.correct),
                options.decimalSeparator);
        } catch (const std::exception& e) {
            options.standard = ReportStandardError(e.what());
        }
    }

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setOutputFileName(QString::fromStdString(o.pdf));
    PrintReport(printer, *f, options);
    return cli::kExitOk;
}

// The trend report: the whole recording read, a window every o.windows seconds analysed as a
// fragment of the file starting there would be, one point per analysed window.
int PrintTrendToPdf(const hrv::cli::PrintOptions& o) {
    using namespace hrv;
    const FileKind kind = o.kind.value_or(KindFromExtension(o.file));
    auto workspace = std::make_unique<PpgWorkspace>();
    std::vector<std::uint16_t> words;
    std::vector<RecordingWindow> windows;
    workspace->Record = o.record;
    std::string error = ReadRecordingWindows(o.file, kind, *o.windows, *workspace, words, windows);
    std::vector<TrendPoint> points;
    if (error.empty()) {
        AnalyseWindows<std::optional<TrendPoint>>(
            words, windows, o.correct, ProgramExecutor(),
            [&o](const RecordingWindow& w, const FragmentData& f,
                 bool analysed) -> std::optional<TrendPoint> {
                if (!analysed) {
                    return std::nullopt;
                }
                return TrendPointOf(f, static_cast<double>(w.startTicks) / 100, o.nonlinear);
            },
            [&points](const RecordingWindow&, std::optional<TrendPoint>&& p) {
                if (p) {
                    points.push_back(*p);
                }
            });
        if (points.empty()) {
            error = msg::kTooLittleData;
        }
    }
    if (!error.empty()) {
        std::cerr << "rvx-cli print: " << o.file << ": " << error << "\n";
        return cli::kExitFailed;
    }

    // The identification as the one-page report gives it after opening the file.
    auto named = std::make_unique<FragmentData>();
    named->CurrentFileName = o.file;
    named->CurrentFileDate = FileDateText(o.file, UserRegionalFormat());
    TrendOptions options;
    options.identification = ReportIdentification(*named, std::string_view());
    options.step = *o.windows;
    options.windows = windows.size();
    options.nonlinear = o.nonlinear;
    options.corrected = o.correct == CorrectionMode::Auto;
    options.decimalSeparator = RegionalSeparator();
    const TrendReport report = MakeTrendReport(points, options);

    // The page as the one-page report has it.
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    const QByteArray pdf = TrendReportPdf(printer.pageLayout(), printer.resolution(), report);
    WriteFileAtomic(o.pdf, std::vector<std::uint8_t>(pdf.begin(), pdf.end()));
    return cli::kExitOk;
}

} // namespace

int main(int argc, char** argv) {
    const hrv::cli::Args args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "--version") {
        std::cout << "rvx-print " << RVX_VERSION << "\n";
        return hrv::cli::kExitOk;
    }
    const auto options = hrv::cli::ParsePrint(args, std::cerr);
    if (!options) {
        hrv::cli::Usage(std::cerr);
        return hrv::cli::kExitUsage;
    }
    // Drawing needs a platform; where there is no display, draw offscreen.
    if (!HasDisplay() && std::getenv("QT_QPA_PLATFORM") == nullptr) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    try {
        return options->windows ? PrintTrendToPdf(*options) : PrintToPdf(*options);
    } catch (const std::exception& e) {
        std::cerr << "rvx-cli print: " << e.what() << "\n";
        return hrv::cli::kExitFailed;
    }
}
