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

#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <QLabel>
#include <QLocale>
#include <QMetaObject>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QStatusBar>
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
        if (PrintsToPdfFile(Printer())) {
            // A file chosen in the printer set-up: every page asks for its own name, never
            // overwriting the previous one unasked.
            SavePdf(options);
            return;
        }
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
    if (PrintsToPdfFile(Printer())) {
        pdf.setPageLayout(Printer().pageLayout()); // the page chosen in the printer set-up
    } else {
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageOrientation(QPageLayout::Portrait);
    }
    pdf.setOutputFileName(choice.path);
    PrintReport(pdf, fragment_, options);
}

void TFormMain::ToolButton4Click() {
    // The printer and settings chosen become the current printer; the result is not used.
    GuardedCommand(this, prompts_, [this] { prompts_.PrinterSetup(this, Printer()); });
}

namespace {

// The table is held by another program: the record is not added on the window's thread.
struct TableBusy {};

} // namespace

void TFormMain::TB_ReportClick() {
    GuardedCommand(this, prompts_, [this] {
        const QString waitText = Q(msg::WaitingForTable(std::string(kSummaryTableFileName)));
        if (tableWait_) {
            StatusBar1->showMessage(waitText); // a record waits already
            return;
        }
        const std::string path = SummaryTablePath(fragment_.AppDir);
        const std::string identity = SummaryRowIdentity(L_Info->text().toStdString(), fragment_);
        const std::string row = SummaryTableRow(identity, fragment_, RegionalSeparator());
        LockNotice busy;
        busy.afterMs = 0; // the window's thread never waits for the table
        busy.call = [] { throw TableBusy{}; };
        try {
            const SummaryAppend result = AppendSummaryRecord(path, identity, row, busy);
            prompts_.Message(this, Q(result == SummaryAppend::Added ? msg::kRecordAdded
                                                                    : msg::kRecordAlreadySaved));
        } catch (const TableBusy&) {
            StatusBar1->showMessage(waitText);
            WaitForTable(path, identity, row);
        }
    });
}

void TFormMain::WaitForTable(const std::string& path, const std::string& identity,
                             const std::string& row) {
    auto wait = std::make_shared<TableWait>();
    wait->window = this;
    tableWait_ = wait;
    std::thread([wait, path, identity, row] {
        std::optional<SummaryAppend> result;
        std::string error;
        try {
            result = AppendSummaryRecord(path, identity, row);
        } catch (const std::exception& e) {
            error = e.what();
        } catch (...) {
            error = "Непредвиденная ошибка";
        }
        const std::lock_guard lock(wait->mutex);
        if (wait->window != nullptr) {
            TFormMain* const window = wait->window;
            QMetaObject::invokeMethod(
                window, [window, result, error] { window->TableWaitEnded(result, error); },
                Qt::QueuedConnection);
        }
    }).detach();
}

void TFormMain::TableWaitEnded(std::optional<SummaryAppend> result, const std::string& error) {
    tableWait_.reset();
    StatusBar1->clearMessage();
    GuardedCommand(this, prompts_, [&] {
        if (!result) {
            throw FileIoError(error);
        }
        prompts_.Message(this, Q(*result == SummaryAppend::Added ? msg::kRecordAdded
                                                                 : msg::kRecordAlreadySaved));
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
