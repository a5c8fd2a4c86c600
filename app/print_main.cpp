// rvx-print: draws the one-page report of a fragment into a PDF file with the window's report
// code. rvx-cli runs it for "rvx-cli print"; it takes the same words.
#include "cli/print_args.h"
#include "files/fragment_load.h"
#include "presentation/regional.h"
#include "ui/qt_text.h"
#include "ui/report.h"

#include <cstdlib>
#include <iostream>
#include <memory>

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
    const std::string error =
        cli::AnalyseFile(o.file, o.kind.value_or(KindFromExtension(o.file)), *f, *w);
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

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setOutputFileName(QString::fromStdString(o.pdf));
    PrintReport(printer, *f, options);
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
        return PrintToPdf(*options);
    } catch (const std::exception& e) {
        std::cerr << "rvx-cli print: " << e.what() << "\n";
        return hrv::cli::kExitFailed;
    }
}
