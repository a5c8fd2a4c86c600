// The main window's output commands: printing, printer set-up, the summary table and batch
// conversion.
#include "files/file_io.h"
#include "files/paths.h"
#include "presentation/batch_convert.h"
#include "presentation/messages.h"
#include "presentation/summary_table.h"
#include "service/standard_analysis.h"
#include "ui/chart_layer.h"
#include "ui/form_main.h"
#include "ui/guarded_command.h"
#include "ui/progress_form.h"
#include "ui/qt_text.h"
#include "ui/report.h"

#include <chrono>
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
        // A new recording is named by the date and time it ended.
        options.identification = recordingEnded_.empty()
                                     ? ReportIdentification(fragment_, L_Info->text().toStdString())
                                     : FragmentIdentity();
        if (beats_ != nullptr && recordingEnded_.empty()) {
            // The fragment edited by hand, or not the recording's first, says so.
            options.identification = beats_->Identity(options.identification, false);
        }
        options.decimalSeparator = RegionalSeparator();
        if (printStandard_) {
            options.standard = StandardBlock();
        }
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

ReportStandard TFormMain::StandardBlock() {
    try {
        return ReportStandardTexts(StandardOfFragment(), RegionalSeparator());
    } catch (const std::exception& e) {
        return ReportStandardError(e.what());
    }
}

standard::Result TFormMain::StandardOfFragment() {
    FileIntervals in;
    CorrectionMode correct = fragment_.Correct;
    if (beats_ != nullptr) {
        // The fragment's beats as edited and corrected, at their own resolution.
        SignalRecording edited = beats_->Editor().Edited();
        const BeatRange range = FragmentBeats(edited.beats, edited.beatRate, beats_->Fragment());
        const auto count = static_cast<std::size_t>(std::max(0, FragmentWords(fragment_)));
        const auto first = std::min(range.first, edited.beats.size());
        edited.beats.erase(edited.beats.begin(),
                           edited.beats.begin() + static_cast<std::ptrdiff_t>(first));
        edited.beats.resize(std::min(edited.beats.size(), count + 1));
        in = IntervalsOfRecording(edited);
        correct = CorrectionMode::None;
    } else if (recordingEnded_.empty() && !fragment_.CurrentFileName.empty()) {
        // The file shown, every interval of it, as rvx-cli analyze --method standard takes them.
        in = OpenedFileIntervals(fragment_.CurrentFileName, openedKind_, *ppgWork_);
    } else {
        in = IntervalsFromWords(
            std::span(fragment_.RrWords.data() + 1,
                      static_cast<std::size_t>(std::clamp(fragment_.RrCount, 0, kWordCapacity))));
    }
    return AnalyseStandard(in.ms, in.ticks, standard::Settings{}, correct);
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

// A look at the table that never waits for it.
LockNotice NoWait() {
    LockNotice busy;
    busy.afterMs = 0;
    busy.call = [] { throw TableBusy{}; };
    return busy;
}

// The row, and before it its record in the standard table when there is one: an identity that
// table holds already is no news, so a row tried again after a busy table adds each once.
SummaryAppend AppendTableRow(const std::string& path, const std::string& identity,
                             const std::string& row, const std::string& standardRow,
                             const LockNotice& notice) {
    if (!standardRow.empty()) {
        const SummaryRecord record{identity, standardRow};
        AppendStandardRecords(StandardTablePath(path), std::span(&record, 1), notice);
    }
    return AppendSummaryRecord(path, identity, row, notice);
}

// How often a waiting row looks at the table again.
constexpr auto kTableRetry = std::chrono::milliseconds(100);

} // namespace

void TFormMain::TB_ReportClick() {
    GuardedCommand(this, prompts_, [this] {
        TableQueue::Row next;
        next.path = SummaryTablePath(fragment_.AppDir);
        next.identity = SummaryRowIdentity(FragmentIdentity(), fragment_);
        next.row = SummaryTableRow(next.identity, fragment_, RegionalSeparator());
        if (printStandard_) {
            // "Стандартный анализ в отчете": its record goes to the standard table beside; a
            // fragment it cannot analyse has none there (the page says why).
            try {
                next.standardRow =
                    StandardTableRow(next.identity, StandardOfFragment(), RegionalSeparator());
            } catch (const std::exception&) {
            }
        }
        {
            const std::lock_guard lock(tableQueue_->mutex);
            if (!tableQueue_->rows.empty()) {
                // Rows wait already: this one goes in after them.
                tableQueue_->rows.push_back(std::move(next));
                StatusBar1->showMessage(
                    Q(msg::WaitingForTable(std::string(kSummaryTableFileName))));
                return;
            }
        }
        try {
            const SummaryAppend result =
                AppendTableRow(next.path, next.identity, next.row, next.standardRow, NoWait());
            prompts_.Message(this, Q(result == SummaryAppend::Added ? msg::kRecordAdded
                                                                    : msg::kRecordAlreadySaved));
        } catch (const TableBusy&) {
            QueueTableRow(next);
        }
    });
}

void TFormMain::QueueTableRow(const TableQueue::Row& row) {
    StatusBar1->showMessage(Q(msg::WaitingForTable(std::string(kSummaryTableFileName))));
    const std::shared_ptr<TableQueue> queue = tableQueue_;
    const std::lock_guard lock(queue->mutex);
    queue->window = this;
    queue->rows.push_back(row);
    if (queue->running) {
        return;
    }
    queue->running = true;
    std::thread([queue] {
        for (;;) {
            std::optional<SummaryAppend> result;
            std::string error;
            {
                // The attempt runs under the queue's lock, so a row given up meanwhile is never
                // written.
                const std::lock_guard held(queue->mutex);
                if (queue->rows.empty()) {
                    queue->running = false;
                    return;
                }
                const TableQueue::Row& next = queue->rows.front();
                try {
                    result = AppendTableRow(next.path, next.identity, next.row, next.standardRow,
                                            NoWait());
                } catch (const TableBusy&) {
                    // still held: looked at again below
                } catch (const std::exception& e) {
                    error = e.what();
                } catch (...) {
                    error = "Непредвиденная ошибка";
                }
                if (result || !error.empty()) {
                    queue->rows.pop_front();
                    if (TFormMain* const window = queue->window) {
                        QMetaObject::invokeMethod(
                            window,
                            [window, result, error] { window->TableRowEnded(result, error); },
                            Qt::QueuedConnection);
                    }
                    continue;
                }
            }
            std::this_thread::sleep_for(kTableRetry);
        }
    }).detach();
}

void TFormMain::TableRowEnded(std::optional<SummaryAppend> result, const std::string& error) {
    bool waiting = false;
    {
        const std::lock_guard lock(tableQueue_->mutex);
        waiting = !tableQueue_->rows.empty();
    }
    if (!waiting) {
        StatusBar1->clearMessage();
    }
    GuardedCommand(this, prompts_, [&] {
        if (!result) {
            throw FileIoError(error);
        }
        prompts_.Message(this, Q(*result == SummaryAppend::Added ? msg::kRecordAdded
                                                                 : msg::kRecordAlreadySaved));
    });
}

bool TFormMain::TableRowsMayGo() {
    std::size_t waiting = 0;
    {
        const std::lock_guard lock(tableQueue_->mutex);
        waiting = tableQueue_->rows.size();
    }
    if (waiting == 0) {
        return true;
    }
    // Esc and the focused button keep the window, and the rows, waiting.
    if (prompts_.Confirm(
            this, QStringLiteral("Подтверждение"),
            Q(msg::TableRowsWaiting(std::string(kSummaryTableFileName), static_cast<int>(waiting))),
            Q(msg::kCloseWithoutRows), Q(msg::kWaitForRows), QString()) != kConfirmFirst) {
        return false;
    }
    const std::lock_guard lock(tableQueue_->mutex);
    tableQueue_->rows.clear(); // given up: none of them is written, also a row ending meanwhile
    return true;
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
