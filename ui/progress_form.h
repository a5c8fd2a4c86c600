// The progress dialog "Подготовка данных": one bar, no buttons, shown without being modal while
// the spectrum is computed (and while a batch converts its files).
#pragma once

#include <QDialog>

class QProgressBar;

namespace hrv {

class TProgressForm : public QDialog {
    Q_OBJECT

public:
    explicit TProgressForm(QWidget* parent = nullptr);

    // Sets the bar's range (minimum first, as the commands do) and shows the dialog without
    // making it modal.
    void Begin(int minimum, int maximum);
    // Moves the bar and paints it at once (no events are processed meanwhile).
    void SetPosition(int position);
    // Closes the dialog.
    void Finish();

    QProgressBar* ProgressBar1 = nullptr;
};

} // namespace hrv
