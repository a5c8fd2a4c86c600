// The main window: the tool bar, the information line L_Info and the result area P_Main with
// the five charts and the two result panels; the owner of every command.
#pragma once

#include "analysis/fragment_data.h"
#include "files/ppg_decoder.h"
#include "presentation/beat_session.h"
#include "presentation/open_fragment.h"
#include "presentation/summary_table.h"
#include "ui/prompts.h"
#include "ui/report.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <QMainWindow>

class QAction;
class QCloseEvent;
class QDialog;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QPrinter;
class QRect;
class QResizeEvent;
class QShowEvent;
class QStatusBar;
class QTimer;
class QToolBar;
class QToolButton;

namespace hrv {

class ChartFontGroup;
class ChartWidget;
class TBeatChangesDialog;
class TBeatPanel;
struct StripEdit;
class TFormSetup;
class TProgressForm;

class TFormMain : public QMainWindow {
    Q_OBJECT

public:
    // Creates the window and runs its start-up (FormCreate): AppDir := the current directory,
    // the Data folder, the settings file, the layout. The window is not shown.
    TFormMain(FragmentData& fragment, Prompts& prompts, QWidget* parent = nullptr);
    ~TFormMain() override;

    // Tool bar commands, one per button. Clicks run them inside GuardedCommand; they may also be
    // called directly (tests do).
    void TB_OpenClick();     // Open an RR or PPG file and analyse it
    void TB_SaveClick();     // Save the fragment as an RR file
    void TB_StartClick();    // Start a recording (recording work)
    void TB_SetupClick();    // The setup dialog
    void TB_PrintClick();    // Print the report (output work)
    void ToolButton4Click(); // Printer set-up (output work)
    void TB_ReportClick();   // Append to the summary table (output work)
    void TB_HelpClick();     // The About box
    void TB_BatchClick();    // Batch conversion *.ppg > *.rr (output work)

    // One decoding step of a recording; Timer1 calls it every 100 ms (recording work).
    void Timer1Timer();
    // Ends a recording and hands the fragment to the analysis (recording work).
    void Stop();
    // Puts the text of a device status code into the recording dialog (recording work).
    void ShowDeviceStatus(std::uint8_t code);

    // The analysis of the fragment with its display. Resamples; when there is too little data
    // empties the charts and panels and shows the message (returns false). Otherwise runs `action`,
    // computes the spectrum under the progress dialog and the statistics, fills the charts and
    // panels, shows P_Main, lays it out and enables Save, Print and Report (returns true).
    bool RunAnalysis(std::function<void()> action = {});
    // The hooks of the analysis under the progress dialog: `action` once the resampling has
    // accepted the fragment, then the dialog shown and moved bin by bin.
    OpenHooks AnalysisHooks(std::function<void()> action = {});
    // After an analysis: the results shown and Save, Print and Report enabled; or, when there was
    // too little data, the display emptied and the message shown (false).
    bool ShowAnalysis(bool analysed);
    // Fills the five charts and the two panels from the fragment.
    void ShowGraphics();
    // Empties the five charts and the two panels: no results of an earlier fragment stay on
    // screen once a newer one has failed.
    void ClearResults();
    // After a failed analysis or open: the display emptied, Print and Report disabled, Save
    // kept only while the fragment holds intervals.
    void ShowNoResults();
    // Recomputes the panel heights and chart widths from the window's size.
    void FormResize();
    // Writes the settings file (an error is shown; the window closes all the same).
    void FormClose();
    // Fits the window to a screen whose free area is `available` and whose width is
    // `screenWidth`: the smallest and the current size within that area, and vertical scroll bars
    // for both result panels on screens narrower than 800 pixels. Run at start-up, when the
    // window is shown and when it moves to another screen.
    void FitToScreen(const QRect& available, int screenWidth);

    // What the commands work on.
    FragmentData& Fragment() { return fragment_; }
    Prompts& UserPrompts() { return prompts_; }
    PpgWorkspace& PpgWork() { return *ppgWork_; }
    QPrinter& Printer(); // the current printer, created on first use
    // The device's interval scale (10, or 8 for the second model); 0 until start-up sets it.
    std::int32_t DeviceScale() const { return deviceScale_; }
    void SetDeviceScale(std::int32_t scale) { deviceScale_ = scale; }
    // The path of the settings file: AppDir + "/rvxcfg.cfg".
    std::string SettingsPath() const;
    // The path of the correction setting's file beside it: AppDir + "/rvxcorr.cfg".
    std::string CorrectionSettingPath() const;
    // The fragment's identity in the summary table: L_Info's text, and for a new recording the
    // date and time it ended after it ("Новая запись 10.12.2026 14:05:33").
    std::string FragmentIdentity() const;
    // Before a command replaces a finished recording that was never saved (Open, Start, closing
    // the window): "Сохранить запись?". False when the command is to stop (cancelled, or the
    // save did not happen).
    bool RecordingMayGo();
    // The time a recording ends, in seconds since 1970 (the system clock; tests set their own).
    std::function<std::int64_t()> RecordingClock;

    // The beats in view (the signal strip): on for ECG records, for RR and PPG files only with
    // "Показывать сигнал". Null when no recording is shown with its beats.
    BeatSession* Beats() { return beats_.get(); }
    // The path of the signal strip's setting beside the settings file: AppDir + "/rvxsig.cfg".
    std::string SignalSettingPath() const;
    bool SignalShown() const { return showSignal_; }
    // "Стандартный анализ в отчете": the printed page gets the block of the standard analysis.
    std::string StandardSettingPath() const;
    bool StandardPrinted() const { return printStandard_; }
    // An edit on the strip (add, delete or move a beat), an undo, a redo, the list of changes with
    // the automatic corrections accepted or rejected, a new start of the analysed fragment: each
    // analyses the fragment again and shows it at once. False when nothing changed.
    bool BeatEdit(const StripEdit& edit);
    bool BeatUndo();
    bool BeatRedo();
    void BeatChangesClick();
    bool MoveFragment(double start);

    // The date text of a file: its modification date in the user's short date format (the same
    // regional data as rvx-cli's).
    static std::string FileDateText(const std::string& path);

    // Components, named as in the window's design. Created by the constructor, owned by Qt.
    QToolBar* ToolBar1 = nullptr;
    QToolButton* TB_Open = nullptr;
    QToolButton* TB_Save = nullptr;
    QToolButton* TB_Start = nullptr;
    QToolButton* TB_Setup = nullptr;
    QToolButton* TB_Print = nullptr;
    QToolButton* ToolButton4 = nullptr;
    QToolButton* TB_Report = nullptr;
    QToolButton* TB_Help = nullptr;
    QToolButton* TB_Batch = nullptr;
    QAction* TB_BatchAction = nullptr; // the tool bar's place of TB_Batch (hidden)
    QFrame* P_Info = nullptr;
    QLabel* L_Info = nullptr;
    QFrame* P_Main = nullptr;
    QFrame* Pan_RG = nullptr;
    QFrame* Pan_Histo = nullptr;
    QFrame* Pan_StatDig = nullptr;
    QFrame* Pan_Spectr = nullptr;
    QFrame* Pan_SpecDig = nullptr;
    ChartWidget* Chart_RG = nullptr;
    ChartWidget* Chart_Histo = nullptr;
    ChartWidget* Chart_Scater = nullptr;
    ChartWidget* Chart_Spectr = nullptr;
    ChartWidget* Chart_Diagram = nullptr;
    QPlainTextEdit* Memo_StatDig = nullptr;
    QPlainTextEdit* Memo_SpecDig = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* L_Status = nullptr; // the status bar's lasting text, under its passing messages
    QTimer* Timer1 = nullptr;
    TBeatPanel* Pan_Signal = nullptr; // the beats in view, between P_Info and P_Main

    // The dialogs created once at start-up and reused.
    TProgressForm* ProgressForm = nullptr;
    QDialog* RecForm = nullptr; // the recording dialog, made by CreateRecForm
    TFormSetup* FormSetup = nullptr;
    TBeatChangesDialog* BeatChanges = nullptr;

    // The file dialogs' settings.
    FileDialogState OpenDialogData;
    FileDialogState SaveDialogData;
    FileDialogState OpenDialog2;
    FileDialogState OpenDBatch;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void BuildToolBar();
    void BuildPanels();
    void StartupSettings();
    // Creates the recording dialog at start-up, parented to this window (recording work).
    QDialog* CreateRecForm();
    // Runs a handler from a click or tick inside GuardedCommand.
    void Guarded(void (TFormMain::*handler)());
    void SetResultCommandsEnabled(bool save, bool printAndReport);
    // After an Open analysed `kind`: the beats in view start when the kind or the setting asks
    // for them (true: they were analysed and shown), or go (false).
    bool StartBeatSession(FileKind kind, const std::string& path);
    void DropBeatSession();
    // The session's fragment analysed and shown; the strip, the band and the buttons follow.
    bool ShowBeatSession();
    // An undo or a redo of the edits, analysed and shown.
    bool BeatHistoryStep(bool (BeatEditor::*step)());
    // The strip's edits, buttons, shortcuts and band reach the commands.
    void ConnectBeatPanel();
    // With the beats in view, Save never writes over the file shown (it holds the whole
    // recording; the RR file takes the fragment): false, with the message, when `path` is it.
    bool SaveKeepsSource(const std::string& path);
    // After the RR file `path` was saved from the beats in view: their beats file beside it.
    void SaveSessionBeats(const std::string& path);
    // After "Показывать сигнал" changed: the RR or PPG file shown is opened again, with its beats
    // in view or without them.
    void ReopenForSignal();
    // The printed block of the standard analysis: of the edited fragment's beats with the beats
    // in view, otherwise of every interval of the file shown (an RR list's as written), corrected
    // when the correction is on; the error in its place when it cannot be made.
    ReportStandard StandardBlock();
    // The standard analysis of the fragment shown (its beats as edited when they are in view).
    standard::Result StandardOfFragment();
    // The lasting text of the status bar (a note about the fragment shown); empty: none.
    void ShowStatusNote(const std::string& note);
    // Offers to save the report page as a PDF file (no printer installed).
    void SavePdf(const ReportOptions& options);
    // One waiting row's end, back on the window's thread: the command's message or its error.
    void TableRowEnded(std::optional<SummaryAppend> result, const std::string& error);
    // Before the window closes: rows still waiting are named, and the user waits for them or
    // gives them up. False when the window stays.
    bool TableRowsMayGo();

    // The rows waiting for the table. The thread reaches the window through it only while the
    // window lives; rows given up are never written.
    struct TableQueue {
        struct Row {
            std::string path;
            std::string identity;
            std::string row;
            std::string standardRow; // the standard table's record, when it is asked for
        };
        std::mutex mutex;
        std::deque<Row> rows;
        bool running = false;        // a thread adds the rows
        TFormMain* window = nullptr; // null once the window is gone
    };
    std::shared_ptr<TableQueue> tableQueue_ = std::make_shared<TableQueue>();
    // "В отчет" when another program holds the table, or while rows wait for it already: the
    // row joins the waiting ones, in order, which a thread of their own adds as soon as the
    // table is free; the status bar says so, and the window goes on answering.
    void QueueTableRow(const TableQueue::Row& row);

    FragmentData& fragment_;
    Prompts& prompts_;
    std::unique_ptr<PpgWorkspace> ppgWork_;
    std::unique_ptr<QPrinter> printer_;
    std::int32_t deviceScale_ = 0;
    // The date and time the recording shown ended (empty when no new recording is shown), and
    // whether it is still unsaved.
    std::string recordingEnded_;
    bool recordingUnsaved_ = false;
    bool screenWatched_ = false;                 // FitToScreen follows the window's screen
    std::unique_ptr<ChartFontGroup> chartFonts_; // the five charts' texts in one size
    std::unique_ptr<BeatSession> beats_;
    bool showSignal_ = false;            // "Показывать сигнал"
    bool printStandard_ = false;         // "Стандартный анализ в отчете"
    FileKind openedKind_ = FileKind::Rr; // the kind the file shown was opened as
};

} // namespace hrv
