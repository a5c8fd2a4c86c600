// The recording dialog.
#include "ui/rec_form.h"

#include "acquisition/platform_serial_link.h"
#include "acquisition/stream_decoder.h"

#include <algorithm>

#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

namespace hrv {

namespace {
constexpr int kClientWidth = 472; // pixels
constexpr int kClientHeight = 134;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kFontPixels = 13;
constexpr int kTickMs = 10; // one tick of an interval
} // namespace

TRecForm::TRecForm(FragmentData& fragment, QWidget* parent)
    : QDialog(parent), fragment_(fragment), link_(MakePlatformSerialLink()),
      session_(std::make_unique<RecordingSession>(fragment_, *link_)) {
    setObjectName(QStringLiteral("RecForm"));
    setWindowTitle(QStringLiteral("Идет запись..."));
    // A title and a close box only (closing is "Прервать" or "ОК", as Esc).
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    QFont f = font();
    f.setPixelSize(kFontPixels);
    setFont(f);

    PB_Rec = new QProgressBar(this);
    PB_Rec->setObjectName(QStringLiteral("PB_Rec"));
    PB_Rec->setGeometry(32, 25, 409, 19);
    PB_Rec->setTextVisible(false);
    PB_Rec->setMinimum(0);

    Label1 = new QLabel(QStringLiteral("Запись 5-минутного фрагмента завершена"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(89, 42);
    Label1->adjustSize();

    Button1 = new QPushButton(QStringLiteral("Прервать"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(32, 80, kButtonWidth, kButtonHeight);
    Button1->setAutoDefault(false);

    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(137, 80, 233 - 137 - 4, kButtonHeight);

    Label3 = new QLabel(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(233, 80, 368 - 233 - 4, kButtonHeight);

    Button2 = new QPushButton(QStringLiteral("ОК"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(368, 80, kButtonWidth, kButtonHeight);
    Button2->setAutoDefault(false);

    connect(Button1, &QPushButton::clicked, this, &TRecForm::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::accept);
    FormCreate();
}

TRecForm::~TRecForm() = default;

void TRecForm::FormCreate() {
    PB_Rec->setMaximum(kStopTicks);
    Label2->clear();
    Label3->clear();
    Vis(true);
}

void TRecForm::Vis(bool recording) {
    PB_Rec->setVisible(recording);
    Button1->setVisible(recording);
    Label1->setVisible(!recording);
    Button2->setVisible(!recording);
    // Enter presses "ОК" in the finished look; while recording it presses nothing ("Прервать"
    // takes a click, Space on it, or Esc).
    Button2->setDefault(!recording);
    if (!recording) {
        Button2->setFocus();
    }
}

bool TRecForm::Recording() const {
    return !Button2->isVisibleTo(this);
}

void TRecForm::Button1Click() {
    session_->Abort();
    done(QDialog::Rejected);
}

void TRecForm::reject() {
    if (Recording()) {
        Button1Click();
    } else {
        accept();
    }
}

void TRecForm::ClearProgress() {
    PB_Rec->setValue(0);
    Label2->clear();
    Label3->clear();
}

void TRecForm::ShowProgress(std::int32_t totalTicks, std::uint8_t lastInterval) {
    PB_Rec->setValue(std::min(totalTicks, PB_Rec->maximum()));
    Label2->setText(QStringLiteral("RR : ") + QString::number(lastInterval * kTickMs) +
                    QStringLiteral(" мс"));
}

void TRecForm::ShowStatusText(const QString& text) {
    QPalette p = Label3->palette();
    p.setColor(QPalette::WindowText, Qt::black);
    Label3->setPalette(p);
    Label3->setText(text);
}

void TRecForm::SetLink(std::unique_ptr<SerialLink> link) {
    if (session_->Active() || !link) {
        return;
    }
    session_ = std::make_unique<RecordingSession>(fragment_, *link);
    link_ = std::move(link);
}

void TRecForm::showEvent(QShowEvent* event) {
    // Centred on the desktop, not on the main window.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
    QDialog::showEvent(event);
}

} // namespace hrv
