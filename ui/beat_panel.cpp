// The signal strip, the overview band and their panel.
#include "ui/beat_panel.h"

#include "analysis/ticks.h"
#include "presentation/clock_text.h"

#include <algorithm>
#include <cmath>

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace hrv {

namespace {

constexpr int kAxisHeight = 14;   // the time labels under the strip
constexpr int kMarkRow = 9;       // y of the marks' shapes
constexpr double kGrabPixels = 6; // a press this near a beat takes the beat
constexpr double kZoomStep = 1.25;

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

std::int64_t Ticks(double seconds) {
    return std::llround(SecondsToTicks(seconds));
}

// Colours that differ in grey too, and a shape of its own for every mark, so that a black and
// white page keeps them apart.
QColor MarkColour(BeatMark mark) {
    const Rgb c = BeatMarkColour(mark);
    return QColor(c.r, c.g, c.b);
}

void DrawMark(QPainter& p, BeatMark mark, QPointF c) {
    const double r = 4;
    const QColor colour = MarkColour(mark);
    p.setPen(QPen(colour, 1.5));
    p.setBrush(Qt::NoBrush);
    switch (mark) {
    case BeatMark::Normal:
        p.drawLine(QPointF(c.x(), c.y() - r), QPointF(c.x(), c.y() + r));
        break;
    case BeatMark::Missed: // inserted: a ring
        p.drawEllipse(c, r, r);
        break;
    case BeatMark::Extra: // taken out: a cross
    case BeatMark::Removed:
        p.drawLine(c + QPointF(-r, -r), c + QPointF(r, r));
        p.drawLine(c + QPointF(-r, r), c + QPointF(r, -r));
        if (mark == BeatMark::Removed) {
            p.drawRect(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r));
        }
        break;
    case BeatMark::Premature: { // a solid triangle
        p.setBrush(colour);
        const QPointF t[] = {c + QPointF(-r, -r), c + QPointF(r, -r), c + QPointF(0, r)};
        p.drawPolygon(t, 3);
        break;
    }
    case BeatMark::Misplaced: { // a diamond
        const QPointF d[] = {c + QPointF(0, -r), c + QPointF(r, 0), c + QPointF(0, r),
                             c + QPointF(-r, 0)};
        p.drawPolygon(d, 4);
        break;
    }
    case BeatMark::Added: // a plus
        p.drawLine(c + QPointF(-r, 0), c + QPointF(r, 0));
        p.drawLine(c + QPointF(0, -r), c + QPointF(0, r));
        break;
    case BeatMark::Moved: { // a solid square
        p.setBrush(colour);
        p.drawRect(QRectF(c.x() - r + 1, c.y() - r + 1, 2 * r - 2, 2 * r - 2));
        break;
    }
    }
    p.setBrush(Qt::NoBrush);
}

// A step for the time labels: at least `least` seconds.
double LabelStep(double least) {
    static const double steps[] = {0.2, 0.5, 1,   2,   5,    10,   15,   30,   60,
                                   120, 300, 600, 900, 1800, 3600, 7200, 14400};
    for (double s : steps) {
        if (s >= least) {
            return s;
        }
    }
    return 21600;
}

QString TimeLabel(double seconds, double step) {
    std::string text = ClockText(Ticks(std::floor(seconds)));
    if (step < 1) {
        const int tenths = static_cast<int>(std::lround((seconds - std::floor(seconds)) * 10)) % 10;
        text += "," + std::to_string(tenths);
    }
    return Q(text);
}

} // namespace

SignalStripWidget::SignalStripWidget(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Strip_Signal"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumHeight(60);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void SignalStripWidget::SetSession(const BeatSession* session, double span) {
    session_ = session;
    pyramid_.reset();
    selected_.reset();
    dragBeat_.reset();
    if (session_ == nullptr) {
        marks_.clear();
        update();
        return;
    }
    if (session_->HasSignal()) {
        pyramid_ = std::make_unique<EnvelopePyramid>(
            session_->Recording().channels[static_cast<std::size_t>(session_->Channel())]);
    }
    view_ = StripViewport(std::max(session_->Total(), kMinStripSpan), std::max(1, width()));
    view_.Show(session_->Fragment().start, span);
    Refresh();
}

void SignalStripWidget::Refresh() {
    marks_ = session_ != nullptr ? session_->Editor().Marks() : std::vector<MarkedBeat>();
    update();
}

void SignalStripWidget::CentreOn(double seconds) {
    view_.CentreOn(seconds);
    ViewChanged();
}

void SignalStripWidget::ViewChanged() {
    update();
    if (onViewChanged) {
        onViewChanged();
    }
}

void SignalStripWidget::Emit(const StripEdit& edit) {
    if (onEdit) {
        onEdit(edit);
    }
}

void SignalStripWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    view_.SetWidth(std::max(1, width()));
}

std::optional<double> SignalStripWidget::BeatNear(double x) const {
    if (session_ == nullptr) {
        return std::nullopt;
    }
    std::optional<double> best;
    double bestDistance = kGrabPixels;
    for (const StripMark& m : MarksInView(marks_, session_->Editor().BeatRate(), view_)) {
        const double d = std::abs(m.x - x);
        if (m.present && d <= bestDistance) {
            bestDistance = d;
            best = m.seconds;
        }
    }
    return best;
}

void SignalStripWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(238, 238, 238));
    if (session_ == nullptr) {
        return;
    }
    const double top = 2 * kMarkRow + 2;
    const double bottom = height() - kAxisHeight - 2;
    // The analysed fragment on a light ground.
    const FragmentChoice& f = session_->Fragment();
    const double x0 = std::clamp(view_.XOf(f.start), -1.0, width() + 1.0);
    const double x1 = std::clamp(view_.XOf(f.End()), -1.0, width() + 1.0);
    p.fillRect(QRectF(x0, 0, x1 - x0, height() - kAxisHeight), QColor(255, 253, 235));

    const double rate = session_->Editor().BeatRate();
    const std::vector<StripMark> marks = MarksInView(marks_, rate, view_);
    const auto yOf = [&](double v, double lo, double hi) {
        return hi > lo ? bottom - (v - lo) / (hi - lo) * (bottom - top) : (top + bottom) / 2;
    };
    if (pyramid_ != nullptr) {
        pyramid_->EnvelopeInto(view_, columns_);
        float lo = 0;
        float hi = 0;
        bool any = false;
        for (const EnvelopeColumn& c : columns_) {
            if (!c.empty) {
                lo = any ? std::min(lo, c.lo) : c.lo;
                hi = any ? std::max(hi, c.hi) : c.hi;
                any = true;
            }
        }
        const double pad = (hi - lo) * 0.05;
        p.setPen(QPen(QColor(20, 40, 120), 1));
        int previous = -1;
        for (int x = 0; x < static_cast<int>(columns_.size()); ++x) {
            const EnvelopeColumn& c = columns_[static_cast<std::size_t>(x)];
            if (c.empty) {
                continue;
            }
            double a = c.lo;
            double b = c.hi;
            if (previous >= 0) {
                const EnvelopeColumn& q = columns_[static_cast<std::size_t>(previous)];
                if (previous == x - 1) {
                    // A continuous signal passes every value between two columns.
                    a = std::min<double>(a, q.hi);
                    b = std::max<double>(b, q.lo);
                } else {
                    p.drawLine(QPointF(previous, yOf((q.lo + q.hi) / 2.0, lo - pad, hi + pad)),
                               QPointF(x, yOf((c.lo + c.hi) / 2.0, lo - pad, hi + pad)));
                }
            }
            p.drawLine(QPointF(x, yOf(a, lo - pad, hi + pad)),
                       QPointF(x, yOf(b, lo - pad, hi + pad)));
            previous = x;
        }
    } else {
        // Without a signal the intervals themselves, each at the beat it ends at.
        double lo = 0;
        double hi = 0;
        bool any = false;
        for (const StripMark& m : marks) {
            if (m.present && m.interval > 0) {
                lo = any ? std::min(lo, m.interval) : m.interval;
                hi = any ? std::max(hi, m.interval) : m.interval;
                any = true;
            }
        }
        const double pad = std::max(0.05, (hi - lo) * 0.1);
        QPainterPath path;
        bool started = false;
        for (const StripMark& m : marks) {
            if (!m.present || !(m.interval > 0)) {
                continue;
            }
            const QPointF point(m.x, yOf(m.interval, lo - pad, hi + pad));
            if (started) {
                path.lineTo(point);
            } else {
                path.moveTo(point);
                started = true;
            }
        }
        p.setPen(QPen(QColor(20, 40, 120), 1));
        p.drawPath(path);
        p.setPen(Qt::black);
        p.drawText(QRectF(4, top, 200, 14), Qt::AlignLeft | Qt::AlignTop,
                   QStringLiteral("RR: %1–%2 мс")
                       .arg(std::lround((lo - pad) * 1000))
                       .arg(std::lround((hi + pad) * 1000)));
    }
    // The beats: a tick for each, a shape for each change, a dashed line through those that no
    // longer count.
    const bool dense = marks.size() > static_cast<std::size_t>(width()) / 3;
    for (const StripMark& m : marks) {
        if (m.mark == BeatMark::Normal && dense) {
            continue;
        }
        if (m.mark != BeatMark::Normal) {
            p.setPen(QPen(MarkColour(m.mark), 1, m.present ? Qt::DotLine : Qt::DashLine));
            p.drawLine(QPointF(m.x, top), QPointF(m.x, bottom));
        }
        DrawMark(p, m.mark, QPointF(m.x, kMarkRow));
    }
    if (selected_) {
        p.setPen(QPen(QColor(90, 90, 90), 1));
        const double x = view_.XOf(*selected_);
        p.drawLine(QPointF(x, top), QPointF(x, bottom));
    }
    if (dragBeat_ && dragToX_ >= 0) {
        p.setPen(QPen(MarkColour(BeatMark::Moved), 1, Qt::DashLine));
        p.drawLine(QPointF(dragToX_, 0), QPointF(dragToX_, bottom));
    }
    // Time labels.
    p.setPen(Qt::black);
    const double step = LabelStep(view_.Span() / std::max(1.0, width() / 90.0));
    for (double t = std::ceil(view_.Start() / step) * step; t < view_.Start() + view_.Span();
         t += step) {
        const double x = view_.XOf(t);
        p.drawLine(QPointF(x, height() - kAxisHeight), QPointF(x, height() - kAxisHeight + 3));
        p.drawText(QRectF(x + 2, height() - kAxisHeight, 90, kAxisHeight),
                   Qt::AlignLeft | Qt::AlignVCenter, TimeLabel(t, step));
    }
}

void SignalStripWidget::wheelEvent(QWheelEvent* event) {
    if (session_ == nullptr) {
        return;
    }
    const double notches = event->angleDelta().y() / 120.0;
    if ((event->modifiers() & Qt::ShiftModifier) != 0 || event->angleDelta().x() != 0) {
        const double across =
            event->angleDelta().x() != 0 ? event->angleDelta().x() / 120.0 : notches;
        view_.ScrollSeconds(-across * view_.Span() / 10);
    } else {
        view_.Zoom(std::pow(kZoomStep, notches), event->position().x());
    }
    event->accept();
    ViewChanged();
}

void SignalStripWidget::mousePressEvent(QMouseEvent* event) {
    if (session_ == nullptr || event->button() != Qt::LeftButton) {
        return;
    }
    setFocus();
    pressX_ = lastX_ = event->position().x();
    dragBeat_ = BeatNear(pressX_);
    panning_ = !dragBeat_;
    dragToX_ = -1;
}

void SignalStripWidget::mouseMoveEvent(QMouseEvent* event) {
    if (session_ == nullptr) {
        return;
    }
    const double x = event->position().x();
    if (onReadout) {
        const CursorReadout r = ReadoutAt(marks_, session_->Editor().BeatRate(), view_, x);
        QString text = Q(ClockText(Ticks(r.seconds)));
        if (r.interval > 0) {
            text += QStringLiteral("   RR %1 мс").arg(std::lround(r.interval * 1000));
        }
        onReadout(text);
    }
    if ((event->buttons() & Qt::LeftButton) == 0) {
        return;
    }
    if (panning_) {
        view_.ScrollPixels(lastX_ - x);
        lastX_ = x;
        ViewChanged();
    } else if (dragBeat_ && std::abs(x - pressX_) > 2) {
        dragToX_ = x;
        update();
    }
}

void SignalStripWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (session_ == nullptr || event->button() != Qt::LeftButton) {
        return;
    }
    const double x = event->position().x();
    const std::optional<double> beat = dragBeat_;
    dragBeat_.reset();
    panning_ = false;
    dragToX_ = -1;
    if (beat && std::abs(x - pressX_) > 2) {
        selected_.reset();
        Emit(StripEdit{StripEdit::Move, *beat, view_.TimeAt(x)});
    } else if (beat) {
        selected_ = beat;
        update();
    }
}

void SignalStripWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    if (session_ == nullptr || event->button() != Qt::LeftButton) {
        return;
    }
    const double x = event->position().x();
    selected_.reset();
    if (const std::optional<double> beat = BeatNear(x)) {
        Emit(StripEdit{StripEdit::Remove, *beat, 0});
    } else {
        Emit(StripEdit{StripEdit::Add, view_.TimeAt(x), 0});
    }
}

void SignalStripWidget::keyPressEvent(QKeyEvent* event) {
    if (session_ == nullptr) {
        QWidget::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Left:
        view_.ScrollSeconds(-view_.Span() / 10);
        break;
    case Qt::Key_Right:
        view_.ScrollSeconds(view_.Span() / 10);
        break;
    case Qt::Key_PageUp:
        view_.ScrollSeconds(-view_.Span());
        break;
    case Qt::Key_PageDown:
        view_.ScrollSeconds(view_.Span());
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
    case Qt::Key_Up:
        view_.Zoom(kZoomStep, width() / 2.0);
        break;
    case Qt::Key_Minus:
    case Qt::Key_Down:
        view_.Zoom(1 / kZoomStep, width() / 2.0);
        break;
    case Qt::Key_Home:
        view_.Show(0, view_.Span());
        break;
    case Qt::Key_End:
        view_.Show(view_.Total() - view_.Span(), view_.Span());
        break;
    case Qt::Key_Delete:
        if (selected_) {
            const double beat = *selected_;
            selected_.reset();
            Emit(StripEdit{StripEdit::Remove, beat, 0});
        }
        return;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    ViewChanged();
}

OverviewBandWidget::OverviewBandWidget(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Overview_HR"));
    setFixedHeight(40);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void OverviewBandWidget::SetSession(const BeatSession* session) {
    session_ = session;
    rates_.clear();
    if (session_ != nullptr) {
        const SignalRecording& r = session_->Recording();
        rates_ = HeartRateOverview(r.beats, r.beatRate, session_->Total(), std::max(1, width()));
    }
    update();
}

void OverviewBandWidget::SetView(double start, double span) {
    viewStart_ = start;
    viewSpan_ = span;
    update();
}

void OverviewBandWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    SetSession(session_);
}

double OverviewBandWidget::SecondsAt(double x) const {
    return session_ != nullptr ? x / std::max(1, width()) * session_->Total() : 0;
}

double OverviewBandWidget::XOf(double seconds) const {
    return session_ != nullptr && session_->Total() > 0 ? seconds / session_->Total() * width() : 0;
}

void OverviewBandWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(245, 245, 245));
    if (session_ == nullptr) {
        return;
    }
    float lo = 0;
    float hi = 0;
    bool any = false;
    for (const EnvelopeColumn& c : rates_) {
        if (!c.empty) {
            lo = any ? std::min(lo, c.lo) : c.lo;
            hi = any ? std::max(hi, c.hi) : c.hi;
            any = true;
        }
    }
    // Rates beyond 30..220 beats a minute are artefacts: they do not set the scale.
    lo = std::max(lo, 30.0f);
    hi = std::min(hi, 220.0f);
    const double h = height() - 2;
    const auto y = [&](double v) {
        return hi > lo ? 1 + (hi - std::clamp<double>(v, lo, hi)) / (hi - lo) * h : h / 2;
    };
    p.setPen(QPen(QColor(150, 0, 0), 1));
    int previous = -1;
    for (int x = 0; x < static_cast<int>(rates_.size()); ++x) {
        const EnvelopeColumn& c = rates_[static_cast<std::size_t>(x)];
        if (c.empty) {
            continue;
        }
        if (previous >= 0) {
            // Fewer beats than columns: the rate runs on from one beat to the next.
            const EnvelopeColumn& q = rates_[static_cast<std::size_t>(previous)];
            p.drawLine(QPointF(previous, y((q.lo + q.hi) / 2.0)),
                       QPointF(x, y((c.lo + c.hi) / 2.0)));
        }
        p.drawLine(QPointF(x, y(c.hi)), QPointF(x, y(c.lo) + 0.5));
        previous = x;
    }
    const FragmentChoice& f = session_->Fragment();
    const double start = grab_ ? dragStart_ : f.start;
    const double x0 = XOf(start);
    const double x1 = std::max(x0 + 3, XOf(start + f.length));
    p.setPen(QPen(QColor(0, 60, 160), 2));
    p.setBrush(QColor(0, 90, 220, 60));
    p.drawRect(QRectF(x0, 1, x1 - x0, height() - 2));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::black, 1, Qt::DotLine));
    p.drawRect(QRectF(XOf(viewStart_), 0,
                      std::max(2.0, XOf(viewStart_ + viewSpan_) - XOf(viewStart_)), height() - 1));
    p.setPen(Qt::black);
    p.drawText(QRectF(4, 1, 160, 14), Qt::AlignLeft | Qt::AlignTop,
               QStringLiteral("ЧСС %1–%2 уд/мин").arg(std::lround(lo)).arg(std::lround(hi)));
}

void OverviewBandWidget::mousePressEvent(QMouseEvent* event) {
    if (session_ == nullptr || event->button() != Qt::LeftButton) {
        return;
    }
    const double t = SecondsAt(event->position().x());
    const FragmentChoice& f = session_->Fragment();
    if (t >= f.start && t <= f.End()) {
        grab_ = t - f.start;
        dragStart_ = f.start;
    } else if (onLook) {
        onLook(t);
    }
}

void OverviewBandWidget::mouseMoveEvent(QMouseEvent* event) {
    if (!grab_ || session_ == nullptr) {
        return;
    }
    const FragmentChoice& f = session_->Fragment();
    dragStart_ = std::clamp(SecondsAt(event->position().x()) - *grab_, 0.0,
                            std::max(0.0, f.total - f.length));
    update();
}

void OverviewBandWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (!grab_ || event->button() != Qt::LeftButton) {
        return;
    }
    grab_.reset();
    update();
    if (onMoved) {
        onMoved(dragStart_);
    }
}

TBeatPanel::TBeatPanel(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("Pan_Signal"));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    Overview = new OverviewBandWidget(this);
    Strip = new SignalStripWidget(this);
    layout->addWidget(Overview);
    layout->addWidget(Strip, 1);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    L_Fragment = new QLabel(this);
    L_Fragment->setObjectName(QStringLiteral("L_Fragment"));
    auto* startLabel = new QLabel(QStringLiteral("Начало:"), this);
    E_Start = new QLineEdit(this);
    E_Start->setObjectName(QStringLiteral("E_Start"));
    E_Start->setFixedWidth(E_Start->fontMetrics().horizontalAdvance(QStringLiteral("000:00:00")) +
                           12);
    L_Cursor = new QLabel(this);
    L_Cursor->setObjectName(QStringLiteral("L_Cursor"));
    B_Undo = new QPushButton(QStringLiteral("Отменить"), this);
    B_Undo->setObjectName(QStringLiteral("B_Undo"));
    B_Undo->setToolTip(QStringLiteral("Отменить правку (Ctrl+Z)"));
    B_Redo = new QPushButton(QStringLiteral("Повторить"), this);
    B_Redo->setObjectName(QStringLiteral("B_Redo"));
    B_Redo->setToolTip(QStringLiteral("Повторить правку (Ctrl+Y)"));
    B_Changes = new QPushButton(QStringLiteral("Правки…"), this);
    B_Changes->setObjectName(QStringLiteral("B_Changes"));
    for (QPushButton* b : {B_Undo, B_Redo, B_Changes}) {
        b->setFocusPolicy(Qt::NoFocus);
    }
    row->addWidget(L_Fragment);
    row->addSpacing(8);
    row->addWidget(startLabel);
    row->addWidget(E_Start);
    row->addSpacing(8);
    row->addWidget(L_Cursor, 1);
    row->addWidget(B_Undo);
    row->addWidget(B_Redo);
    row->addWidget(B_Changes);
    layout->addLayout(row);
    Strip->setToolTip(QStringLiteral(
        "Колесо: масштаб, Shift+колесо и перетаскивание: прокрутка; двойной щелчок: добавить или "
        "удалить удар; перетащить удар: сдвинуть; Delete: удалить выбранный"));

    Strip->onReadout = [this](const QString& text) { L_Cursor->setText(text); };
    Strip->onViewChanged = [this] {
        Overview->SetView(Strip->View().Start(), Strip->View().Span());
    };
    Overview->onLook = [this](double seconds) { Strip->CentreOn(seconds); };
    Overview->onMoved = [this](double start) {
        if (onFragmentMoved) {
            onFragmentMoved(start);
        }
    };
    connect(E_Start, &QLineEdit::editingFinished, this, [this] {
        if (session_ == nullptr || !onFragmentMoved) {
            return;
        }
        if (const std::optional<double> start = ParseClockTime(E_Start->text().toStdString())) {
            onFragmentMoved(*start);
        } else {
            E_Start->setText(Q(ClockText(Ticks(session_->Fragment().start))));
        }
    });
}

void TBeatPanel::SetSession(const BeatSession* session) {
    session_ = session;
    Strip->SetSession(session);
    Overview->SetSession(session);
    Overview->setVisible(session != nullptr && session->Fragment().Partial());
    Refresh(false, false);
}

void TBeatPanel::Refresh(bool canUndo, bool canRedo) {
    Strip->Refresh();
    Overview->update();
    Overview->SetView(Strip->View().Start(), Strip->View().Span());
    B_Undo->setEnabled(canUndo);
    B_Redo->setEnabled(canRedo);
    if (session_ == nullptr) {
        L_Fragment->clear();
        E_Start->clear();
        return;
    }
    const std::string label = session_->Label();
    L_Fragment->setText(label.empty() ? QStringLiteral("Вся запись") : Q(label));
    E_Start->setText(Q(ClockText(Ticks(session_->Fragment().start))));
    E_Start->setEnabled(session_->Fragment().Partial());
}

TBeatChangesDialog::TBeatChangesDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("BeatChanges"));
    setWindowTitle(QStringLiteral("Правки"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("Автоматическая коррекция (снять флажок: отклонить):"), this));
    LB_Proposals = new QListWidget(this);
    LB_Proposals->setObjectName(QStringLiteral("LB_Proposals"));
    layout->addWidget(LB_Proposals, 1);
    layout->addWidget(new QLabel(QStringLiteral("Все изменения:"), this));
    Memo_Changes = new QPlainTextEdit(this);
    Memo_Changes->setObjectName(QStringLiteral("Memo_Changes"));
    Memo_Changes->setReadOnly(true);
    Memo_Changes->setTabStopDistance(
        Memo_Changes->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00__")));
    layout->addWidget(Memo_Changes, 1);
    auto* buttons = new QHBoxLayout;
    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Отмена"), this);
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    layout->addLayout(buttons);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    resize(460, 420);
}

void TBeatChangesDialog::Fill(const BeatEditor& editor) {
    LB_Proposals->clear();
    const double rate = editor.BeatRate();
    for (const CorrectionProposal& proposal : editor.Proposals()) {
        const double seconds = rate > 0 ? static_cast<double>(proposal.key) / rate : 0;
        auto* item = new QListWidgetItem(
            Q(ClockText(Ticks(std::floor(seconds))) + "   " + BeatMarkTitle(proposal.mark)),
            LB_Proposals);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(proposal.accepted ? Qt::Checked : Qt::Unchecked);
    }
    QString lines;
    for (const BeatChange& change : editor.Changes()) {
        lines += Q(ChangeLine(change)) + QLatin1Char('\n');
    }
    Memo_Changes->setPlainText(lines.isEmpty() ? QStringLiteral("Изменений нет") : lines);
}

std::vector<bool> TBeatChangesDialog::Decisions() const {
    std::vector<bool> decisions;
    for (int k = 0; k < LB_Proposals->count(); ++k) {
        decisions.push_back(LB_Proposals->item(k)->checkState() == Qt::Checked);
    }
    return decisions;
}

} // namespace hrv
