// The progress dialog "Подготовка данных".
#include "ui/progress_form.h"

#include <QProgressBar>

namespace hrv {

TProgressForm::TProgressForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("ProgressForm"));
    setWindowTitle(QStringLiteral("Подготовка данных"));
    setFixedSize(485, 54);
    setModal(false);
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
    show();
}

void TProgressForm::SetPosition(int position) {
    ProgressBar1->setValue(position);
    if (isVisible()) {
        ProgressBar1->repaint();
    }
}

void TProgressForm::Finish() {
    hide();
}

} // namespace hrv
