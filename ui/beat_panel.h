// The beats in view: the signal strip (the waveform of the channel the beats come from with each
// beat marked on it, or the intervals themselves for a recording without a signal), the heart-rate
// overview of the whole recording with the analysed fragment as a band, and the row of the
// fragment's label, its start, the cursor readout and the edit buttons.
#pragma once

#include "presentation/beat_session.h"
#include "presentation/signal_strip.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QDialog>
#include <QFrame>
#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace hrv {

// What the user asked for on the strip, in seconds of the recording.
struct StripEdit {
    enum Kind { Add, Remove, Move } kind = Add;
    double from = 0; // the beat's time (Remove, Move), or where to add
    double to = 0;   // where a moved beat goes
};

class SignalStripWidget : public QWidget {
    Q_OBJECT

public:
    explicit SignalStripWidget(QWidget* parent = nullptr);

    // Shows `session` (null: nothing), from its fragment's start over `span` seconds.
    void SetSession(const BeatSession* session, double span = 10.0);
    // The beats changed: their marks again.
    void Refresh();
    StripViewport& View() { return view_; }
    void CentreOn(double seconds);

    std::function<void(const StripEdit&)> onEdit;
    std::function<void(const QString&)> onReadout;
    std::function<void()> onViewChanged;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The present beat mark within a few pixels of x, as its time.
    std::optional<double> BeatNear(double x) const;
    void ViewChanged();
    void Emit(const StripEdit& edit);

    const BeatSession* session_ = nullptr;
    std::unique_ptr<EnvelopePyramid> pyramid_;
    StripViewport view_{1, 1};
    std::vector<MarkedBeat> marks_;
    std::vector<EnvelopeColumn> columns_;
    std::optional<double> selected_; // the beat last clicked (Delete removes it)
    std::optional<double> dragBeat_; // a beat being moved
    double pressX_ = 0;
    double lastX_ = 0;
    bool panning_ = false;
    double dragToX_ = -1;
};

// The heart rate of the whole recording with the analysed fragment as a band: dragging the band
// moves the fragment (onMoved when released), a click beside it shows that part in the strip.
class OverviewBandWidget : public QWidget {
    Q_OBJECT

public:
    explicit OverviewBandWidget(QWidget* parent = nullptr);
    void SetSession(const BeatSession* session);
    // The part the strip shows, outlined.
    void SetView(double start, double span);

    std::function<void(double start)> onMoved;
    std::function<void(double seconds)> onLook;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    double SecondsAt(double x) const;
    double XOf(double seconds) const;

    const BeatSession* session_ = nullptr;
    std::vector<EnvelopeColumn> rates_;
    double viewStart_ = 0;
    double viewSpan_ = 0;
    std::optional<double> grab_; // seconds from the band's start where it was taken
    double dragStart_ = 0;
};

// The panel of the beats in view under the information line.
class TBeatPanel : public QFrame {
    Q_OBJECT

public:
    explicit TBeatPanel(QWidget* parent = nullptr);

    void SetSession(const BeatSession* session);
    // After an edit or a move: the marks, the band, the label and the buttons.
    void Refresh(bool canUndo, bool canRedo);

    SignalStripWidget* Strip = nullptr;
    OverviewBandWidget* Overview = nullptr;
    QLabel* L_Fragment = nullptr;
    QLineEdit* E_Start = nullptr; // the fragment's start as a clock time
    QLabel* L_Cursor = nullptr;
    QPushButton* B_Undo = nullptr;
    QPushButton* B_Redo = nullptr;
    QPushButton* B_Changes = nullptr;

    std::function<void(double start)> onFragmentMoved;

private:
    const BeatSession* session_ = nullptr;
};

// "Правки": every automatic correction offered for the fragment, each accepted (checked) or
// rejected, and the list of every change with its time, kind and intervals before and now.
class TBeatChangesDialog : public QDialog {
    Q_OBJECT

public:
    explicit TBeatChangesDialog(QWidget* parent = nullptr);
    void Fill(const BeatEditor& editor);
    // Whether each proposal of the editor Fill was given is accepted, as the user left it.
    std::vector<bool> Decisions() const;

    QListWidget* LB_Proposals = nullptr;
    QPlainTextEdit* Memo_Changes = nullptr;
    QPushButton* Button1 = nullptr; // "OK"
    QPushButton* Button2 = nullptr; // "Отмена"
};

} // namespace hrv
