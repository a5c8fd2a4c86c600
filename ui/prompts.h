// The one way the program asks the user anything: message boxes, the confirmation dialog, file
// dialogs, the printer set-up and every other modal dialog. The window gets a Prompts; the
// program passes QtPrompts, tests pass FakePrompts (ui/fake_prompts.h) and script the answers.
#pragma once

#include <QString>
#include <QStringList>

class QDialog;
class QFileDialog;
class QPrintDialog;
class QPrinter;
class QWidget;

namespace hrv {

enum class MessageKind {
    Plain,       // the simple message box: the text, one OK button, the application's title
    Information, // the standard information dialog with one OK button (the About box)
    Warning,     // a warning box with one OK button
    Error,       // the error box of a command that failed unexpectedly
};

// A file dialog of the main window as the program sets it up.
struct FileDialogState {
    QString Filter;      // "description|pattern|description|pattern", e.g. "RR (*.rr)|*.rr"
    int FilterIndex = 1; // file type preselected, from 1 (0 is taken as 1)
    QString InitialDir;  // empty: the dialog's own choice
    QString DefaultExt;  // without the dot; empty: none
    QString FileName;    // the name proposed in InitialDir; empty: none
};

// What the user chose in a file dialog; an empty path means the dialog was cancelled.
struct FileChoice {
    QString path;
    int filterIndex = 0; // the file type chosen, from 1
    bool Chosen() const { return !path.isEmpty(); }
};

// Button results of the confirmation dialog.
inline constexpr int kConfirmFirst = 1;  // first button
inline constexpr int kConfirmSecond = 2; // second button, Esc or closing the dialog
inline constexpr int kConfirmThird = 6;  // third button

class Prompts {
public:
    virtual ~Prompts() = default;

    // A modal message box with one OK button.
    virtual void ShowMessage(QWidget* parent, MessageKind kind, const QString& text) = 0;

    // The confirmation dialog: one to three buttons with free texts (an empty second or third
    // text means no such button). Returns kConfirmFirst, kConfirmSecond or kConfirmThird.
    virtual int Confirm(QWidget* owner, const QString& caption, const QString& text,
                        const QString& first, const QString& second, const QString& third) = 0;

    // Single-selection open dialog. It returns any name typed, also of a file that does not
    // exist: the commands check that themselves.
    virtual FileChoice OpenFile(QWidget* parent, const FileDialogState& dialog) = 0;
    // Save dialog; it never asks about overwriting itself (the commands do).
    virtual FileChoice SaveFile(QWidget* parent, const FileDialogState& dialog) = 0;
    // Multiple-selection open dialog; empty when cancelled. Names in the dialog's order.
    virtual QStringList OpenFiles(QWidget* parent, const FileDialogState& dialog) = 0;

    // The printer set-up dialog for `printer`; true when the user confirmed it.
    virtual bool PrinterSetup(QWidget* parent, QPrinter& printer) = 0;

    // Shows one of the program's own dialogs (setup, recording) modally and returns its result
    // (QDialog::Accepted or QDialog::Rejected).
    virtual int ExecDialog(QDialog& dialog) = 0;

    // Shorthands.
    void Message(QWidget* parent, const QString& text) {
        ShowMessage(parent, MessageKind::Plain, text);
    }
    void Error(QWidget* parent, const QString& text) {
        ShowMessage(parent, MessageKind::Error, text);
    }
};

// The real dialogs, shown on screen.
class QtPrompts : public Prompts {
public:
    void ShowMessage(QWidget* parent, MessageKind kind, const QString& text) override;
    int Confirm(QWidget* owner, const QString& caption, const QString& text, const QString& first,
                const QString& second, const QString& third) override;
    FileChoice OpenFile(QWidget* parent, const FileDialogState& dialog) override;
    FileChoice SaveFile(QWidget* parent, const FileDialogState& dialog) override;
    QStringList OpenFiles(QWidget* parent, const FileDialogState& dialog) override;
    bool PrinterSetup(QWidget* parent, QPrinter& printer) override;
    int ExecDialog(QDialog& dialog) override;
};

// A file dialog set up as `state` says, its size, type and date columns wide enough for their
// texts.
void PrepareFileDialog(QFileDialog& dlg, const FileDialogState& state);
// The printer set-up dialog: its caption, and an accept button that reads "ОК", not "Печать".
void PreparePrinterSetupDialog(QPrintDialog& dlg);

// The name filters of a "description|pattern|..." filter, one per file type.
QStringList NameFiltersOf(const QString& filter);

} // namespace hrv
