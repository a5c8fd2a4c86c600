// The recording dialog "Идет запись...": the progress of the recording, the last interval and
// the device's status; "Прервать" while recording, "ОК" once the fragment has been analysed.
// It also holds the recording itself (the link and the decoder), which lives exactly as long
// as the dialog shows it.
#pragma once

#include "acquisition/recording.h"
#include "acquisition/serial_link.h"
#include "analysis/fragment_data.h"

#include <cstdint>
#include <memory>

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace hrv {

class TRecForm : public QDialog {
    Q_OBJECT

public:
    // The dialog records into `fragment` through the platform's serial link.
    explicit TRecForm(FragmentData& fragment, QWidget* parent = nullptr);
    ~TRecForm() override;

    // true: the recording look (progress bar and "Прервать"); false: the finished look
    // (Label1 and "ОК"). Label2 and Label3 stay as they are.
    void Vis(bool recording);
    bool Recording() const; // the recording look is shown
    // Abort: the recording ends without analysis, the port is closed, the dialog closes with
    // Cancel.
    void Button1Click();

    // A new recording starts: the bar at 0, both labels empty.
    void ClearProgress();
    // The bar at `totalTicks`; Label2 "RR : " + the interval in ms + " мс".
    void ShowProgress(std::int32_t totalTicks, std::uint8_t lastInterval);
    // Label3 := `text`, black.
    void ShowStatusText(const QString& text);

    RecordingSession& Session() { return *session_; }
    // Replaces the serial link (tests give a scripted one). Only while no recording runs.
    void SetLink(std::unique_ptr<SerialLink> link);

    QProgressBar* PB_Rec = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* Button1 = nullptr; // "Прервать"
    QPushButton* Button2 = nullptr; // "ОК"

public Q_SLOTS:
    // Esc and closing the window: "Прервать" while recording, "ОК" when finished.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();

    FragmentData& fragment_;
    std::unique_ptr<SerialLink> link_;
    std::unique_ptr<RecordingSession> session_;
};

} // namespace hrv
