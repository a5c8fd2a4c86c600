// The setup dialog "Параметры".
#include "ui/form_setup.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace hrv {

namespace {

QGroupBox* MakeRadioGroup(QWidget* parent, const QString& name, const QString& caption,
                          const QStringList& entries, QButtonGroup*& group) {
    auto* box = new QGroupBox(caption, parent);
    box->setObjectName(name);
    auto* layout = new QVBoxLayout(box);
    group = new QButtonGroup(box);
    group->setExclusive(true);
    int id = 0;
    for (const QString& text : entries) {
        auto* button = new QRadioButton(text, box);
        layout->addWidget(button);
        group->addButton(button, id++);
    }
    layout->addStretch();
    return box;
}

int Selection(const QButtonGroup* group) {
    return group->checkedId();
}

void Select(QButtonGroup* group, int index) {
    QAbstractButton* button = group->button(index);
    if (button != nullptr) {
        button->setChecked(true);
        return;
    }
    // No entry: an exclusive group cannot uncheck its last button, so release it for a moment.
    group->setExclusive(false);
    for (QAbstractButton* b : group->buttons()) {
        b->setChecked(false);
    }
    group->setExclusive(true);
}

} // namespace

TFormSetup::TFormSetup(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("FormSetup"));
    setWindowTitle(QStringLiteral("Параметры"));
    setFixedSize(319, 371);

    RG_Device =
        MakeRadioGroup(this, QStringLiteral("RG_Device"), QStringLiteral("Устройство"),
                       {QStringLiteral("ТАРИН-07"), QStringLiteral("ВИРА-005")}, deviceGroup_);
    RG_Device->setGeometry(16, 16, 129, 169);
    RG_Port = MakeRadioGroup(
        this, QStringLiteral("RG_Port"), QStringLiteral("COM порт"),
        {QStringLiteral("COM 1"), QStringLiteral("COM 2 "), QStringLiteral("COM 3")}, portGroup_);
    RG_Port->setGeometry(168, 16, 105, 169);

    Label1 = new QLabel(QStringLiteral("Скорость"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(48, 208);
    Label1->adjustSize();

    CB_Baud = new QComboBox(this);
    CB_Baud->setObjectName(QStringLiteral("CB_Baud"));
    CB_Baud->setEditable(true);
    CB_Baud->setInsertPolicy(QComboBox::NoInsert);
    CB_Baud->addItems({QStringLiteral("600"), QStringLiteral("2400"), QStringLiteral("19200")});
    CB_Baud->setGeometry(128, 200, 145, CB_Baud->sizeHint().height());
    CB_Baud->setEditText(QStringLiteral("2400"));

    ChB_Correction = new QCheckBox(QStringLiteral("Коррекция артефактов"), this);
    ChB_Correction->setObjectName(QStringLiteral("ChB_Correction"));
    ChB_Correction->move(48, 248);
    ChB_Correction->adjustSize();
    ChB_Signal = new QCheckBox(QStringLiteral("Показывать сигнал"), this);
    ChB_Signal->setObjectName(QStringLiteral("ChB_Signal"));
    ChB_Signal->move(48, 272);
    ChB_Signal->adjustSize();
    ChB_Standard = new QCheckBox(QStringLiteral("Стандартный анализ в отчете"), this);
    ChB_Standard->setObjectName(QStringLiteral("ChB_Standard"));
    ChB_Standard->move(48, 296);
    ChB_Standard->adjustSize();

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(48, 332, 75, 25);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Отмена"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(184, 332, 75, 25);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    Select(deviceGroup_, 0);
    Select(portGroup_, 1);
}

int TFormSetup::DeviceSelection() const {
    return Selection(deviceGroup_);
}

void TFormSetup::SetDeviceSelection(int index) {
    const int entries = static_cast<int>(deviceGroup_->buttons().size());
    Select(deviceGroup_, index >= entries ? entries - 1 : index);
}

int TFormSetup::PortSelection() const {
    return Selection(portGroup_);
}

void TFormSetup::SetPortSelection(int index) {
    Select(portGroup_, index);
}

int TFormSetup::BaudSelection() const {
    return CB_Baud->findText(CB_Baud->currentText(), Qt::MatchExactly);
}

void TFormSetup::SetBaudSelection(int index) {
    if (index >= 0 && index < CB_Baud->count()) {
        CB_Baud->setCurrentIndex(index);
        CB_Baud->setEditText(CB_Baud->itemText(index));
    } else {
        CB_Baud->setCurrentIndex(-1);
        CB_Baud->setEditText(QString());
    }
}

} // namespace hrv
