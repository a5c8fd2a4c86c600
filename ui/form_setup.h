// The setup dialog "Параметры": device model, serial port and baud rate of the recording, and
// whether artefact beats are corrected before an analysis.
#pragma once

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace hrv {

class TFormSetup : public QDialog {
    Q_OBJECT

public:
    explicit TFormSetup(QWidget* parent = nullptr);

    // Selected entries, from 0; -1 when none is selected. Setting a value beyond the last entry
    // of RG_Device selects the last one; any other value outside the entries selects none.
    int DeviceSelection() const;
    void SetDeviceSelection(int index);
    int PortSelection() const;
    void SetPortSelection(int index);
    // The baud list entry selected: the entry whose text the edit field holds, -1 otherwise.
    int BaudSelection() const;
    void SetBaudSelection(int index);

    QGroupBox* RG_Device = nullptr;
    QGroupBox* RG_Port = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* CB_Baud = nullptr;
    QCheckBox* ChB_Correction = nullptr; // "Коррекция артефактов": off unless the user turns it on
    QCheckBox* ChB_Signal = nullptr; // "Показывать сигнал" for RR and PPG files: off too
    QCheckBox* ChB_Standard = nullptr; // "Стандартный анализ в отчете": off too
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

private:
    QButtonGroup* deviceGroup_ = nullptr;
    QButtonGroup* portGroup_ = nullptr;
};

} // namespace hrv
