// The main window's beats in view: the session started after an Open, the edits on the strip,
// undo and redo, the list of changes, the fragment moved on the overview band, and Save.
#include "files/correction_setting.h"
#include "files/file_io.h"
#include "files/paths.h"
#include "presentation/messages.h"
#include "ui/beat_panel.h"
#include "ui/chart_layer.h"
#include "ui/form_main.h"
#include "ui/guarded_command.h"
#include "ui/progress_form.h"
#include "ui/qt_text.h"
#include "util/executor.h"

#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QToolButton>

namespace hrv {

namespace {

constexpr double kStripSeconds = 10.0; // the strip's first view: ten seconds of the fragment

bool IsRecordKind(FileKind kind) {
    return kind == FileKind::Wfdb || kind == FileKind::Edf;
}

} // namespace

void TFormMain::ConnectBeatPanel() {
    Pan_Signal->Strip->onEdit = [this](const StripEdit& edit) { BeatEdit(edit); };
    Pan_Signal->onFragmentMoved = [this](double start) { MoveFragment(start); };
    connect(Pan_Signal->B_Undo, &QPushButton::clicked, this, [this] { BeatUndo(); });
    connect(Pan_Signal->B_Redo, &QPushButton::clicked, this, [this] { BeatRedo(); });
    connect(Pan_Signal->B_Changes, &QPushButton::clicked, this, [this] { BeatChangesClick(); });
    for (const QKeySequence& keys :
         {QKeySequence(QKeySequence::Undo), QKeySequence(QStringLiteral("Ctrl+Z"))}) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, [this] { BeatUndo(); });
    }
    for (const QKeySequence& keys :
         {QKeySequence(QKeySequence::Redo), QKeySequence(QStringLiteral("Ctrl+Y"))}) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, [this] { BeatRedo(); });
    }
    // A click on the rhythmogram shows that beat in the strip.
    Chart_RG->onClick = [this](double x) {
        if (beats_ != nullptr) {
            Pan_Signal->Strip->CentreOn(
                RecordingSeconds(beats_->Fragment(), fragment_.AnalysisSeries[1], x));
        }
    };
}

bool TFormMain::StartBeatSession(FileKind kind, const std::string& path) {
    if (!IsRecordKind(kind) && !showSignal_) {
        return false;
    }
    FragmentData& f = fragment_;
    const bool correct = f.Correct == CorrectionMode::Auto;
    const std::string beatsPath = BeatsCsvPath(path);
    if ((kind == FileKind::Rr || kind == FileKind::Txt) && beatsPath != path &&
        FileExists(beatsPath)) {
        // The beats saved with this RR file, with the changes made by hand then.
        try {
            const std::vector<std::uint8_t> bytes = ReadFileBytes(beatsPath, 256 << 20);
            beats_ = BeatSession::FromBeatsCsv(std::string(bytes.begin(), bytes.end()), correct);
        } catch (const std::exception& e) {
            prompts_.Message(this, Q(BaseNameOfPath(beatsPath) + ": " + e.what()));
            beats_.reset();
        }
    }
    if (beats_ == nullptr) {
        int channel = -1;
        SignalRecording r = RecordingOfOpen(kind, f, *ppgWork_, channel);
        beats_ = std::make_unique<BeatSession>(std::move(r), channel, correct);
    }
    Pan_Signal->show();
    FormResize();
    Pan_Signal->SetSession(beats_.get());
    Pan_Signal->Strip->View().Show(beats_->Fragment().start, kStripSeconds);
    return ShowBeatSession();
}

void TFormMain::DropBeatSession() {
    if (Pan_Signal != nullptr) {
        Pan_Signal->SetSession(nullptr);
        Pan_Signal->hide();
    }
    beats_.reset();
    fragment_.CorrectionNote.clear();
}

bool TFormMain::ShowBeatSession() {
    if (beats_ == nullptr) {
        return false;
    }
    // No progress dialog: the fragment takes a few milliseconds.
    const bool analysed =
        AnalyseSession(*beats_, fragment_, RegionalSeparator(), ProgramExecutor());
    const BeatEditor& editor = beats_->Editor();
    Pan_Signal->Refresh(editor.CanUndo(), editor.CanRedo());
    const std::string label = beats_->Label();
    ShowStatusNote(label.empty() ? std::string() : "Анализируется фрагмент " + label);
    return ShowAnalysis(analysed);
}

bool TFormMain::BeatEdit(const StripEdit& edit) {
    bool changed = false;
    GuardedCommand(this, prompts_, [&] {
        if (beats_ == nullptr) {
            return;
        }
        BeatEditor& editor = beats_->Editor();
        switch (edit.kind) {
        case StripEdit::Add:
            changed = editor.Add(edit.from);
            break;
        case StripEdit::Remove:
            changed = editor.Remove(edit.from);
            break;
        case StripEdit::Move:
            changed = editor.Move(edit.from, edit.to);
            break;
        }
        if (changed) {
            ShowBeatSession();
        }
    });
    return changed;
}

bool TFormMain::BeatUndo() {
    return BeatHistoryStep(&BeatEditor::Undo);
}

bool TFormMain::BeatRedo() {
    return BeatHistoryStep(&BeatEditor::Redo);
}

bool TFormMain::BeatHistoryStep(bool (BeatEditor::*step)()) {
    bool changed = false;
    GuardedCommand(this, prompts_, [&] {
        if (beats_ != nullptr && (changed = (beats_->Editor().*step)())) {
            ShowBeatSession();
        }
    });
    return changed;
}

void TFormMain::BeatChangesClick() {
    GuardedCommand(this, prompts_, [this] {
        if (beats_ == nullptr) {
            return;
        }
        BeatEditor& editor = beats_->Editor();
        BeatChanges->Fill(editor);
        if (prompts_.ExecDialog(*BeatChanges) != QDialog::Accepted) {
            return;
        }
        const std::vector<bool> decisions = BeatChanges->Decisions();
        bool changed = false;
        for (std::size_t k = 0; k < decisions.size() && k < editor.Proposals().size(); ++k) {
            changed |= decisions[k] ? editor.Accept(k) : editor.Reject(k);
        }
        if (changed) {
            ShowBeatSession();
        }
    });
}

bool TFormMain::MoveFragment(double start) {
    bool moved = false;
    GuardedCommand(this, prompts_, [&] {
        if (beats_ == nullptr || !(moved = beats_->MoveFragment(start))) {
            if (beats_ != nullptr) {
                Pan_Signal->Refresh(beats_->Editor().CanUndo(), beats_->Editor().CanRedo());
            }
            return;
        }
        Pan_Signal->Strip->View().Show(beats_->Fragment().start, Pan_Signal->Strip->View().Span());
        ShowBeatSession();
    });
    return moved;
}

bool TFormMain::SaveKeepsSource(const std::string& path) {
    const std::string& source = fragment_.CurrentFileName;
    // A record is several files of one name (header, signals, annotations).
    const auto stem = [](const std::string& p) {
        const std::string ext = ExtensionOfPath(p);
        return p.substr(0, p.size() - ext.size());
    };
    const bool same = path == source || (IsRecordKind(openedKind_) && stem(path) == stem(source));
    if (same) {
        prompts_.Message(this, Q(msg::SourceNotOverwritten(path)));
    }
    return !same;
}

void TFormMain::SaveSessionBeats(const std::string& path) {
    if (beats_ == nullptr || (!beats_->HasSignal() && !beats_->EditedByHand())) {
        return;
    }
    SaveBeatsCsv(BeatsCsvPath(path), fragment_.CurrentFileName,
                 beats_->FragmentBeatsCsv(FragmentWords(fragment_)));
}

void TFormMain::ReopenForSignal() {
    FragmentData& f = fragment_;
    if (IsRecordKind(openedKind_) || !recordingEnded_.empty() || f.CurrentFileName.empty() ||
        !TB_Print->isEnabled()) {
        return; // records always show their beats; a new recording has no file to open
    }
    DropBeatSession();
    const ProgressClosed closed(*ProgressForm);
    const OpenHooks hooks = AnalysisHooks();
    const OpenStatus status =
        OpenFragment(f.CurrentFileName, openedKind_, f, *ppgWork_, ProgramExecutor(), hooks);
    if (status != OpenStatus::Analysed) {
        ForgetIntervals(f);
        ShowNoResults();
        prompts_.Message(this, Q(OpenStatusText(status, f.CurrentFileName)));
        return;
    }
    if (!StartBeatSession(openedKind_, f.CurrentFileName)) {
        ShowStatusNote(AnalysedPartNote(f));
        ShowAnalysis(true);
    }
}

} // namespace hrv
