// The main window's recording commands: Start, the 100-ms decoding step and the hand-over.
#include "acquisition/recording.h"
#include "acquisition/stream_decoder.h"
#include "presentation/messages.h"
#include "presentation/regional.h"
#include "ui/form_main.h"
#include "ui/guarded_command.h"
#include "ui/qt_text.h"
#include "ui/rec_form.h"

#include <string_view>

#include <QDateTime>
#include <QDialog>
#include <QLabel>
#include <QToolButton>

namespace hrv {

namespace {

TRecForm* RecFormOf(QDialog* dialog) {
    return qobject_cast<TRecForm*>(dialog);
}

} // namespace

void TFormMain::TB_StartClick() {
    GuardedCommand(this, prompts_, [this] {
        TRecForm* rec = RecFormOf(RecForm);
        if (rec == nullptr || !RecordingMayGo()) {
            return;
        }
        // Nothing of an earlier recording is shown as current.
        rec->ClearProgress();
        rec->Vis(true);
        // ComError (shown by the guard) when the port cannot be set up; false when nothing
        // was opened.
        if (!rec->Session().Start(fragment_.Settings, deviceScale_)) {
            return;
        }
        prompts_.ExecDialog(*rec); // Timer1Timer decodes while the dialog is up
        // However the dialog was closed, the recording does not run on without it.
        if (rec->Session().Active()) {
            rec->Session().Abort();
        }
    });
}

void TFormMain::Timer1Timer() {
    GuardedCommand(this, prompts_, [this] {
        TRecForm* rec = RecFormOf(RecForm);
        if (rec == nullptr || !rec->Session().Active()) {
            return;
        }
        RecordingSession& session = rec->Session();
        const DecodeStep step = session.Tick().step; // one byte, waiting at most 510 ms
        if (step.statusReceived) {
            ShowDeviceStatus(step.status);
        }
        // The session is inactive again before any message box: ticks arriving meanwhile
        // return at once.
        switch (step.end) {
        case RecordingEnd::Broken:
            prompts_.Message(rec, Q(msg::kComReadError));
            rec->done(QDialog::Rejected);
            return;
        case RecordingEnd::SlotLimit:
            prompts_.ShowMessage(rec, MessageKind::Warning,
                                 Q(msg::SlotLimitWarning(kRecordSlotLimit)));
            Stop();
            break;
        case RecordingEnd::TimeLimit:
            Stop();
            break;
        case RecordingEnd::None:
            break;
        }
        if (step.intervalStored) {
            rec->ShowProgress(session.Decoder().RecTotalTicks(), step.interval);
        }
    });
}

void TFormMain::Stop() {
    TRecForm* rec = RecFormOf(RecForm);
    if (rec == nullptr) {
        return;
    }
    if (!rec->Session().Stop()) {
        return; // fewer than 3 slots: no analysis, the dialog keeps its recording look
    }
    L_Info->setText(Q(msg::kNewRecording));
    ShowStatusNote(std::string());
    DropBeatSession();          // the beats of the file shown before are not the recording's
    openedKind_ = FileKind::Rr; // the device's intervals, as an RR file holds them
    // Its identity in the summary table and on the printed page: the date and time it ended.
    const std::int64_t ended = RecordingClock();
    recordingEnded_ =
        UserRegionalFormat().shortDate(ended) + " " +
        QDateTime::fromSecsSinceEpoch(ended).toString(QStringLiteral("HH:mm:ss")).toStdString();
    // L_Info names the new recording while the results still describe the previous fragment:
    // printing and the summary table wait for the recording's analysis.
    SetResultCommandsEnabled(TB_Save->isEnabled(), false);
    RunAnalysis([rec] {
        rec->Vis(false);
        rec->repaint(); // the finished look stays on screen while the analysis runs
    });
    recordingUnsaved_ = TB_Save->isEnabled(); // what can be saved is asked about
}

void TFormMain::ShowDeviceStatus(std::uint8_t code) {
    if (TRecForm* rec = RecFormOf(RecForm)) {
        rec->ShowStatusText(QString::fromUtf8(DeviceStatusText(code)));
    }
}

QDialog* TFormMain::CreateRecForm() {
    return new TRecForm(fragment_, this);
}

} // namespace hrv
