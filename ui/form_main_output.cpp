// The main window's output commands: printing, printer set-up, the summary table and batch
// conversion.
#include "files/file_io.h"
#include "files/paths.h"
#include "presentation/batch_convert.h"
#include "presentation/messages.h"
#include "presentation/summary_table.h"
#include "ui/chart_layer.h"
#include "ui/form_main.h"
#include "ui/guarded_command.h"
#include "ui/progress_form.h"
#include "ui/qt_text.h"
#include "ui/report.h"

#include <string>
#include <string_view>
#include <vector>

#include <QLabel>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QString>
#include <QStringList>

namespace hrv {

void TFormMain::TB_PrintClick() {
    GuardedCommand(this, prompts_, [this] {
        ReportOptions options;
        options.identification = ReportIdentification(fragment_, L_Info->text().toStdString());
        options.decimalSeparator = RegionalSeparator();
        // The charts as the window shows them.
        options.drawChart = [this](ReportChart chart, QPainter& painter, const QRectF& rect) {
            ChartWidget* const widgets[] = {Chart_RG, Chart_Histo, Chart_Scater, Chart_Spectr,
                                            Chart_Diagram}; // in the order of ReportChart
            widgets[static_cast<int>(chart)]->Draw(painter, rect);
        };
        if (!PrinterAvailable(Printer())) {
            // The message first, then the page can go to a PDF file at once.
            prompts_.ShowMessage(this, MessageKind::Warning, Q(msg::kNoPrinterSavePdf));
            SavePdf(options);
            return;
        }
        PrintReport(Printer(), fragment_, options);
    });
}

void TFormMain::SavePdf(const ReportOptions& options) {
    FileDialogState dialog;
    dialog.Filter = Q(msg::kPdfFilter);
    dialog.DefaultExt = QStringLiteral("pdf");
    dialog.InitialDir = SaveDialogData.InitialDir;
    // Named after the fragment's file, or after the program for a new recording.
    const bool named =
        !fragment_.CurrentFileName.empty() && L_Info->text() != Q(msg::kNewRecording);
    dialog.FileName = (named ? QString::fromStdString(BaseNameOfPath(fragment_.CurrentFileName))
                             : QStringLiteral("rvx")) +
                      QStringLiteral(".pdf");
    const FileChoice choice = prompts_.SaveFile(this, dialog);
    if (!choice.Chosen()) {
        return;
    }
    if (FileExists(choice.path.toStdString()) &&
        prompts_.Confirm(
            this, QStringLiteral("Подтверждение"),
            QStringLiteral("Файл ") + choice.path + QStringLiteral(" существует. Переписать?"),
            QStringLiteral("Переписать"), QStringLiteral("Отменить"), QString()) != kConfirmFirst) {
        return;
    }
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageOrientation(QPageLayout::Portrait);
    pdf.setOutputFileName(choice.path);
    PrintReport(pdf, fragment_, options);
}

void TFormMain::ToolButton4Click() {
    // The printer and settings chosen become the current printer; the result is not used.
    GuardedCommand(this, prompts_, [this] { prompts_.PrinterSetup(this, Printer()); });
}

void TFormMain::TB_ReportClick() {
    GuardedCommand(this, prompts_, [this] {
        const SummaryAppend result =
            AppendSummaryRow(SummaryTablePath(fragment_.AppDir),
                             SummaryRowIdentity(L_Info->text().toStdString(), fragment_), fragment_,
                             RegionalSeparator());
        prompts_.Message(
            this, Q(result == SummaryAppend::Added ? msg::kRecordAdded : msg::kRecordAlreadySaved));
    });
}

void TFormMain::TB_BatchClick() {
    GuardedCommand(this, prompts_, [this] {
        const QStringList chosen = prompts_.OpenFiles(this, OpenDBatch);
        if (chosen.isEmpty()) {
            return;
        }
        const QString caption = Q(msg::kBatchCaption);
        if (prompts_.Confirm(this, caption, Q(msg::kBatchWarning), Q(msg::kBatchContinue),
                             Q(msg::kBatchCancel), QString()) != kConfirmFirst) {
            return;
        }
        std::vector<std::string> paths;
        for (const QString& path : chosen) {
            paths.push_back(path.toStdString());
        }
        const int n = static_cast<int>(paths.size());
        ProgressForm->Begin(0, n - 1);
        {
            // Closed however the batch ends, before any message about its end is shown.
            const ProgressClosed closed(*ProgressForm);
            BatchHooks hooks;
            hooks.importError = [this](const std::string&) {
                prompts_.Message(this, Q(msg::kImportError));
            };
            hooks.done = [this](int index) { ProgressForm->SetPosition(index); };
            BatchConvert(paths, fragment_, PpgWork(), hooks);
        }
        prompts_.Confirm(this, caption, Q(msg::BatchConverted(n)), Q(msg::kBatchDoneOk), QString(),
                         QString());
    });
}

} // namespace hrv
