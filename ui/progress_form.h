// The progress dialog "Подготовка данных": one bar, no buttons, shown modal while the spectrum is
// computed on the GUI thread (and while a batch converts its files).
#pragma once

#include <QDialog>

class QProgressBar;

namespace hrv {

class TProgressForm : public QDialog {
    Q_OBJECT

public:
    explicit TProgressForm(QWidget* parent = nullptr);

    // Sets the bar's range (minimum first, as the commands do), shows the dialog modal and paints
    // it, with what the window system asked to be repainted meanwhile (the area of a file dialog
    // closed just before), before returning. User input is not processed.
    void Begin(int minimum, int maximum);
    // Moves the bar; the bar is painted at once at least every tenth step and at its maximum (no
    // events are processed meanwhile).
    void SetPosition(int position);
    // Drops the user input that arrived while the dialog was up (it is meant for windows the
    // dialog blocks) and closes the dialog.
    void Finish();

    // The dialog offers nothing to close it: Esc and the window's close request are ignored.
    void reject() override {}

    QProgressBar* ProgressBar1 = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    int lastPainted_ = 0;
};

// Closes the progress dialog however the work under it ends, before any message about its end.
class ProgressClosed {
public:
    explicit ProgressClosed(TProgressForm& form) : form_(form) {}
    ~ProgressClosed() { form_.Finish(); }
    ProgressClosed(const ProgressClosed&) = delete;
    ProgressClosed& operator=(const ProgressClosed&) = delete;

private:
    TProgressForm& form_;
};

} // namespace hrv
