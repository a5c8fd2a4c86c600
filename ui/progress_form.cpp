// The progress dialog "Подготовка данных".
#include "ui/progress_form.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QWindow>

namespace hrv {

namespace {
constexpr int kPaintEvery = 10;    // bins (or files) between two paintings of the bar at most
constexpr int kExposeWaitMs = 500; // how long the window system may take to map the dialog
} // namespace

TProgressForm::TProgressForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("ProgressForm"));
    setWindowTitle(QStringLiteral("Подготовка данных"));
    setFixedSize(485, 54);
    setWindowModality(Qt::ApplicationModal);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(10, 20, 464, 19);
    ProgressBar1->setRange(0, 150);
    ProgressBar1->setTextVisible(false);
}

void TProgressForm::Begin(int minimum, int maximum) {
    ProgressBar1->setMaximum(maximum);
    ProgressBar1->setMinimum(minimum);
    ProgressBar1->setValue(minimum);
    lastPainted_ = minimum;
    show();
    // Until the window system has mapped the dialog, nothing painted reaches the screen.
    QElapsedTimer waited;
    waited.start();
    do {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    } while (windowHandle() != nullptr && !windowHandle()->isExposed() &&
             waited.elapsed() < kExposeWaitMs);
    repaint();
}

void TProgressForm::SetPosition(int position) {
    // Left to itself the bar would paint itself (and reach the screen) on most steps; it is
    // painted below only.
    ProgressBar1->setUpdatesEnabled(false);
    ProgressBar1->setValue(position);
    ProgressBar1->setUpdatesEnabled(true);
    if (isVisible() && (position - lastPainted_ >= kPaintEvery || position < lastPainted_ ||
                        position >= ProgressBar1->maximum())) {
        if (windowHandle() != nullptr && !windowHandle()->isExposed()) {
            // A busy window system may map the dialog late: its expose is taken here.
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            repaint();
        }
        ProgressBar1->repaint();
        lastPainted_ = position;
    }
}

void TProgressForm::Finish() {
    if (isVisible()) {
        // Clicks and keys given to the blocked windows meanwhile are discarded now, while this
        // modal dialog still blocks them.
        QCoreApplication::processEvents();
    }
    hide();
}

void TProgressForm::closeEvent(QCloseEvent* event) {
    event->ignore();
}

} // namespace hrv
