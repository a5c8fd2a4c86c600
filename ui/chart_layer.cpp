// The chart component: settings and points of plain data turned into a Qt chart, on screen or
// drawn into any painter.
#include "ui/chart_layer.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include <QApplication>
#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QCategoryAxis>
#include <QFont>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QLineSeries>
#include <QLocale>
#include <QMouseEvent>
#include <QPaintDevice>
#include <QPainter>
#include <QPalette>
#include <QScatterSeries>
#include <QStackedBarSeries>
#include <QValueAxis>

namespace hrv {

namespace {

constexpr double kScreenDpi = 96;    // the chart's fonts and pens are sized for this density
constexpr int kBaseMargin = 2;       // pixels around the plot besides the percentage margins
constexpr int kLabelsWanted = 6;     // labels on an axis without a fixed step, before layout
constexpr int kPixelsPerLabelX = 70; // room a label of the bottom axis needs
constexpr int kPixelsPerLabelY = 28; // room a label of the left axis needs
constexpr int kTitlePixels = 12;     // chart titles
constexpr int kAxisPixels = 10;      // axis labels and captions: small, so narrow charts keep them
constexpr int kMostSmaller = 3;      // pixels the texts of a small chart may lose to fit

QFont FontOfPixels(QFont font, int pixels, bool bold) {
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QString Text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

struct RgbLess {
    bool operator()(const Rgb& a, const Rgb& b) const {
        return std::tie(a.r, a.g, a.b) < std::tie(b.r, b.g, b.b);
    }
};

// A run of points drawn in one colour: points first..last, joined to the point before `first`
// so that a line or area continues without a gap (segment i-1 -> i has the colour of point i).
struct Run {
    std::size_t first = 0;
    std::size_t last = 0;
    Rgb color;
};

std::vector<Run> ColourRuns(const std::vector<ChartPoint>& points) {
    std::vector<Run> runs;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (runs.empty() || !(runs.back().color == points[i].color)) {
            runs.push_back({i, i, points[i].color});
        } else {
            runs.back().last = i;
        }
    }
    return runs;
}

QList<QPointF> RunPoints(const std::vector<ChartPoint>& points, const Run& run) {
    QList<QPointF> out;
    const std::size_t from = run.first > 0 ? run.first - 1 : 0;
    out.reserve(static_cast<qsizetype>(run.last - from + 1));
    for (std::size_t i = from; i <= run.last; ++i) {
        out.append(QPointF(points[i].x, points[i].y));
    }
    return out;
}

void SetAxisFonts(QAbstractAxis& axis, int pixels = kAxisPixels) {
    axis.setLabelsFont(FontOfPixels(axis.labelsFont(), pixels, false));
    axis.setTitleFont(FontOfPixels(axis.titleFont(), pixels, true));
}

// Whether the captions of both axes and the text labels of a bar chart are shown whole: Qt cuts
// each to the plot's height (left), the plot's width (bottom) or the width of one bar.
bool CaptionsWhole(const QChart& chart) {
    const QRectF plot = chart.plotArea();
    for (QAbstractAxis* axis : chart.axes()) {
        const QFontMetricsF title(axis->titleFont());
        const double room = axis->orientation() == Qt::Vertical ? plot.height() : plot.width();
        if (title.horizontalAdvance(axis->titleText()) + 2 > room) {
            return false;
        }
        if (auto* bars = qobject_cast<QBarCategoryAxis*>(axis);
            bars != nullptr && bars->count() > 0) {
            const QFontMetricsF labels(axis->labelsFont());
            for (const QString& label : bars->categories()) {
                if (labels.horizontalAdvance(label) + 12 > plot.width() / bars->count()) {
                    return false;
                }
            }
        }
    }
    return true;
}

// Sets the range and the label step of a value axis for a chart of `size` pixels.
void TuneValueAxis(QValueAxis& axis, const AxisSpec& definition, SeriesKind kind,
                   const std::vector<ChartPoint>& points, bool vertical, const QSizeF& size) {
    int wanted = kLabelsWanted;
    if (!size.isEmpty()) {
        const double extent = vertical ? size.height() : size.width();
        wanted = std::clamp(
            static_cast<int>(extent / (vertical ? kPixelsPerLabelY : kPixelsPerLabelX)), 2, 10);
    }
    const AxisRange r = ResolveAxis(definition, kind, points, vertical, wanted);
    // Qt makes the labels of each new range or step at once: a new range under the old step
    // could ask for thousands (0 … 300 s in steps of 0.2). The range changes under a step as
    // wide as the range.
    axis.setTickType(QValueAxis::TicksDynamic);
    if (axis.min() != r.minimum || axis.max() != r.maximum) {
        axis.setTickInterval(std::max({r.step, r.maximum - r.minimum, axis.max() - axis.min()}));
        axis.setRange(r.minimum, r.maximum);
    }
    axis.setTickAnchor(definition.automatic ? 0.0 : r.minimum);
    axis.setTickInterval(r.step);
    int decimals = DecimalsOfLabelFormat(definition.labelFormat);
    if (decimals < 0) {
        // As many decimals as the label step needs (a step of 0.05 shows two).
        decimals = std::max(0, -static_cast<int>(std::floor(std::log10(r.step) + 1e-9)));
    }
    // Localized numbers: the user's decimal separator and digit grouping.
    axis.setLabelFormat(QStringLiteral("%.") + QString::number(decimals) + QStringLiteral("f"));
    if (auto* clock = qobject_cast<QCategoryAxis*>(&axis)) {
        // Clock time: one "h:mm" label (and grid line) at every step from the minimum on.
        for (const QString& label : clock->categoriesLabels()) {
            clock->remove(label);
        }
        clock->setStartValue(r.minimum);
        const auto count = static_cast<int>(std::floor((r.maximum - r.minimum) / r.step + 1e-9));
        for (int i = 0; i <= count; ++i) {
            const double at = r.minimum + i * r.step;
            clock->append(Text(ClockLabel(at)), at);
        }
    }
}

void ConfigureChart(QChart& chart, const ChartSpec& definition) {
    chart.setTitle(Text(definition.title));
    chart.setTitleFont(FontOfPixels(chart.titleFont(), kTitlePixels, false));
    chart.layout()->setContentsMargins(0, 0, 0, 0); // the background fills the whole chart
    chart.legend()->hide();
    chart.setAnimationOptions(QChart::NoAnimation);
    chart.setBackgroundRoundness(0);
    chart.setDropShadowEnabled(false);
    chart.setBackgroundBrush(definition.background
                                 ? ToQColor(*definition.background)
                                 : QApplication::palette().color(QPalette::Button));
    chart.setPlotAreaBackgroundVisible(false); // transparent back wall
    chart.setLocalizeNumbers(true);
    chart.setLocale(QLocale::system());
}

void ApplyMargins(QChart& chart, const ChartSpec& definition, const QSizeF& size) {
    auto pct = [](double percent, double extent) {
        return kBaseMargin + static_cast<int>(percent * extent / 100);
    };
    chart.setMargins(QMargins(
        pct(definition.marginLeft, size.width()), pct(definition.marginTop, size.height()),
        pct(definition.marginRight, size.width()), pct(definition.marginBottom, size.height())));
}

} // namespace

// The axes and series of one chart, made once and refilled: each series gets its points in one
// step, series not needed for the new points are emptied and hidden, and no chart object is
// made again unless the points need more colours than ever before.
class ChartContent {
public:
    ChartContent(QChart& chart, const ChartSpec& definition) : chart_(chart), spec_(definition) {
        if (spec_.bottom.textLabels) {
            auto* categories = new QBarCategoryAxis;
            categories->setTitleText(Text(spec_.bottom.caption));
            // The bar labels are short words: drawn whole, never cut to "To…" in a narrow chart.
            categories->setTruncateLabels(false);
            x_ = categories;
        } else if (spec_.bottom.clock) {
            auto* clock = new QCategoryAxis;
            clock->setTitleText(Text(spec_.bottom.caption));
            clock->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
            x_ = clock;
        } else {
            auto* axis = new QValueAxis;
            axis->setTitleText(Text(spec_.bottom.caption));
            axis->setTickType(QValueAxis::TicksDynamic);
            x_ = axis;
        }
        y_ = new QValueAxis;
        y_->setTitleText(Text(spec_.left.caption));
        y_->setTickType(QValueAxis::TicksDynamic);
        for (QAbstractAxis* axis : {x_, static_cast<QAbstractAxis*>(y_)}) {
            axis->setGridLineVisible(true);
            SetAxisFonts(*axis);
        }
        chart_.addAxis(x_, Qt::AlignBottom);
        chart_.addAxis(y_, Qt::AlignLeft);
        if (spec_.kind == SeriesKind::Bars) {
            bars_ = new QStackedBarSeries;
            bars_->setName(Text(spec_.seriesName));
            bars_->setLabelsVisible(false); // no marks
            Attach(bars_);
        }
    }

    QAbstractAxis& X() { return *x_; }
    QValueAxis& Y() { return *y_; }

    void Fill(const std::vector<ChartPoint>& points, const QSizeF& size) {
        // Each series places its points on the plot once: emptied while the axes take their new
        // ranges and the chart lays its plot out anew, refilled after.
        EmptyFrom(0);
        Retune(points, size);
        chart_.layout()->activate();
        switch (spec_.kind) {
        case SeriesKind::Line:
        case SeriesKind::Area:
            FillRuns(points);
            break;
        case SeriesKind::Points:
            FillPoints(points);
            break;
        case SeriesKind::Bars:
            FillBars(points);
            break;
        }
    }

    // Label steps (and ranges) for `points` at a chart of `size` pixels.
    void Retune(const std::vector<ChartPoint>& points, const QSizeF& size) {
        if (auto* x = qobject_cast<QValueAxis*>(x_)) {
            TuneValueAxis(*x, spec_.bottom, spec_.kind, points, false, size);
        }
        TuneValueAxis(*y_, spec_.left, spec_.kind, points, true, size);
    }

private:
    void Attach(QAbstractSeries* series) {
        chart_.addSeries(series);
        series->attachAxis(x_);
        series->attachAxis(y_);
    }

    // The line (upper line of an area) of series i, made when first needed.
    QXYSeries& RunSeries(std::size_t i) {
        while (series_.size() <= i) {
            if (spec_.kind == SeriesKind::Area) {
                auto* upper = new QLineSeries;
                auto* area = new QAreaSeries(upper);
                upper->setParent(area);
                area->setName(Text(spec_.seriesName));
                Attach(area);
                series_.push_back(area);
            } else {
                auto* line = new QLineSeries;
                line->setName(Text(spec_.seriesName));
                Attach(line);
                series_.push_back(line);
            }
        }
        if (auto* area = qobject_cast<QAreaSeries*>(series_[i])) {
            return *area->upperSeries();
        }
        return *static_cast<QXYSeries*>(series_[i]);
    }

    // Removes the points of the lines, areas or scatters from `first` on.
    void EmptyFrom(std::size_t first) {
        for (std::size_t i = first; i < series_.size(); ++i) {
            if (auto* area = qobject_cast<QAreaSeries*>(series_[i])) {
                area->upperSeries()->clear();
            } else {
                static_cast<QXYSeries*>(series_[i])->clear();
            }
        }
    }

    void HideFrom(std::size_t used) {
        EmptyFrom(used);
        for (std::size_t i = used; i < series_.size(); ++i) {
            if (series_[i]->isVisible()) {
                series_[i]->setVisible(false);
            }
        }
    }

    void FillRuns(const std::vector<ChartPoint>& points) {
        const std::vector<Run> runs = ColourRuns(points);
        for (std::size_t i = 0; i < runs.size(); ++i) {
            QXYSeries& line = RunSeries(i);
            const QColor color = ToQColor(runs[i].color);
            // Colours are set only when they change, and while the series is still empty.
            if (auto* area = qobject_cast<QAreaSeries*>(series_[i])) {
                if (area->brush().color() != color || area->brush().style() != Qt::SolidPattern) {
                    area->setBrush(color);
                    area->setPen(spec_.outline ? QPen(color) : QPen(Qt::NoPen));
                }
            } else if (line.pen().color() != color) {
                QPen pen(color);
                pen.setWidth(1);
                line.setPen(pen);
            }
            if (!series_[i]->isVisible()) {
                series_[i]->setVisible(true);
            }
            line.replace(RunPoints(points, runs[i])); // all points in one step
        }
        HideFrom(runs.size());
    }

    void FillPoints(const std::vector<ChartPoint>& points) {
        std::map<Rgb, QList<QPointF>, RgbLess> byColour;
        for (const ChartPoint& p : points) {
            byColour[p.color].append(QPointF(p.x, p.y));
        }
        std::size_t i = 0;
        for (auto& [rgb, list] : byColour) {
            if (series_.size() <= i) {
                auto* scatter = new QScatterSeries;
                scatter->setName(Text(spec_.seriesName));
                scatter->setMarkerShape(QScatterSeries::MarkerShapeCircle);
                scatter->setMarkerSize(spec_.markerSize);
                Attach(scatter);
                series_.push_back(scatter);
            }
            auto* scatter = static_cast<QScatterSeries*>(series_[i]);
            const QColor color = ToQColor(rgb);
            scatter->setColor(color);
            scatter->setBorderColor(spec_.outline ? color : QColor(Qt::transparent));
            scatter->setPen(spec_.outline ? QPen(color) : QPen(Qt::NoPen));
            if (!scatter->isVisible()) {
                scatter->setVisible(true);
            }
            scatter->replace(list);
            ++i;
        }
        HideFrom(i);
    }

    // One stacked set per colour, holding the bars of that colour and zeros elsewhere, so each
    // bar is drawn in its own colour.
    void FillBars(const std::vector<ChartPoint>& points) {
        QStringList labels;
        for (const ChartPoint& p : points) {
            labels.append(Text(p.label));
        }
        auto* categories = static_cast<QBarCategoryAxis*>(x_);
        if (categories->categories() != labels) {
            categories->setCategories(labels);
        }
        std::vector<Rgb> colours;
        for (const ChartPoint& p : points) {
            if (std::find(colours.begin(), colours.end(), p.color) == colours.end()) {
                colours.push_back(p.color);
            }
        }
        while (sets_.size() < colours.size()) {
            auto* set = new QBarSet(Text(spec_.seriesName));
            bars_->append(set);
            sets_.push_back(set);
        }
        for (std::size_t i = 0; i < sets_.size(); ++i) {
            QBarSet& set = *sets_[i];
            QList<qreal> values;
            if (i < colours.size()) {
                const QColor color = ToQColor(colours[i]);
                set.setColor(color);
                set.setBorderColor(spec_.outline ? QColor(Qt::black) : color);
                for (const ChartPoint& p : points) {
                    values.append(p.color == colours[i] ? p.y : 0.0);
                }
            }
            if (set.count() == values.size()) {
                for (int k = 0; k < set.count(); ++k) {
                    if (set.at(k) != values[k]) {
                        set.replace(k, values[k]);
                    }
                }
            } else {
                set.remove(0, set.count());
                set.append(values);
            }
        }
    }

    QChart& chart_;
    const ChartSpec& spec_;
    QAbstractAxis* x_ = nullptr;
    QValueAxis* y_ = nullptr;
    std::vector<QAbstractSeries*> series_; // lines, areas or scatters, in use first
    QStackedBarSeries* bars_ = nullptr;
    std::vector<QBarSet*> sets_;
};

QColor ToQColor(Rgb c) {
    return QColor(c.r, c.g, c.b);
}

Rgb ToRgb(const QColor& c) {
    return {static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
            static_cast<std::uint8_t>(c.blue())};
}

ChartWidget::ChartWidget(ChartSpec definition, QWidget* parent)
    : QChartView(new QChart, parent), spec_(std::move(definition)) {
    setObjectName(Text(spec_.name));
    setRubberBand(QChartView::NoRubberBand); // no mouse zooming
    setFrameShape(QFrame::NoFrame);
    ConfigureChart(*chart(), spec_);
    content_ = std::make_unique<ChartContent>(*chart(), spec_);
    content_->Fill(points_, QSizeF(size()));
}

ChartWidget::~ChartWidget() = default;

void ChartWidget::SetTitle(const std::string& title) {
    if (spec_.title == title) {
        return;
    }
    spec_.title = title;
    chart()->setTitle(Text(title));
}

void ChartWidget::Clear() {
    points_.clear();
    ScheduleFlush();
}

void ChartWidget::AddValue(double y, const QString& label, const QColor& color) {
    points_.push_back({static_cast<double>(points_.size()), y, label.toStdString(), ToRgb(color)});
    ScheduleFlush();
}

void ChartWidget::AddXY(double x, double y, const QString& label, const QColor& color) {
    points_.push_back({x, y, label.toStdString(), ToRgb(color)});
    ScheduleFlush();
}

void ChartWidget::SetPoints(std::vector<ChartPoint> points) {
    points_ = std::move(points);
    dirty_ = true;
    Flush();
}

void ChartWidget::Flush() {
    if (!dirty_) {
        return;
    }
    dirty_ = false;
    content_->Fill(points_, QSizeF(size()));
    // The chart's own deferred work (its layout, then telling the view what to redraw) is done
    // now: the chart is redrawn once, at once, not over several later turns of the event loop.
    QCoreApplication::sendPostedEvents(chart(), QEvent::LayoutRequest);
    if (scene() != nullptr) {
        QCoreApplication::sendPostedEvents(scene(), QEvent::MetaCall);
    }
}

void ChartWidget::ScheduleFlush() {
    dirty_ = true;
    if (flushQueued_) {
        return;
    }
    flushQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            flushQueued_ = false;
            Flush();
        },
        Qt::QueuedConnection);
}

void ChartWidget::Draw(QPainter& painter, const QRectF& rect) const {
    DrawChart(painter, rect, spec_, points_);
}

void ChartWidget::resizeEvent(QResizeEvent* event) {
    ApplyMargins(*chart(), spec_, QSizeF(size()));
    content_->Retune(points_, QSizeF(size()));
    QChartView::resizeEvent(event);
    FitFonts();
}

bool ChartWidget::viewportEvent(QEvent* event) {
    // A chart looks the same in an active and an inactive window: the chart is not told when
    // the window's activation changes (it would draw itself anew each time a dialog comes up).
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate) {
        return false;
    }
    if (event->type() == QEvent::MouseButtonPress && onClick) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QPointF scene = mapToScene(mouse->position().toPoint());
        if (mouse->button() == Qt::LeftButton && chart()->plotArea().contains(scene) &&
            !chart()->series().isEmpty()) {
            const QPointF value = chart()->mapToValue(scene, chart()->series().front());
            try {
                onClick(value.x());
            } catch (...) {
                // The handler reports its own errors; nothing leaves the event.
            }
        }
    }
    return QChartView::viewportEvent(event);
}

void ChartWidget::FitFonts() {
    // Smaller texts, down to a readable least, until every caption is whole at this size; once
    // per size (the new fonts may make Qt resize the chart again to the same size).
    if (size() == fittedSize_) {
        return;
    }
    fittedSize_ = size();
    neededSmaller_ = kMostSmaller;
    for (int smaller = 0; smaller <= kMostSmaller; ++smaller) {
        SetFontsSmaller(smaller);
        if (CaptionsWhole(*chart())) {
            neededSmaller_ = smaller;
            break;
        }
    }
    if (fontGroup_ != nullptr) {
        fontGroup_->Refit();
    } else {
        SetFontsSmaller(neededSmaller_);
    }
}

void ChartWidget::SetFontsSmaller(int smaller) {
    if (smaller == fontsSmaller_) {
        return;
    }
    QChart& c = *chart();
    c.setTitleFont(FontOfPixels(c.titleFont(), kTitlePixels - smaller, false));
    for (QAbstractAxis* axis : c.axes()) {
        SetAxisFonts(*axis, kAxisPixels - smaller);
    }
    fontsSmaller_ = smaller;
    c.layout()->activate();
}

void ChartWidget::JoinFontGroup(ChartFontGroup& group) {
    fontGroup_ = &group;
    group.Add(*this);
}

void ChartFontGroup::Add(ChartWidget& chart) {
    charts_.push_back(&chart);
}

void ChartFontGroup::Refit() {
    int smaller = 0;
    for (const ChartWidget* chart : charts_) {
        smaller = std::max(smaller, chart->FontsSmallerNeeded());
    }
    for (ChartWidget* chart : charts_) {
        chart->SetFontsSmaller(smaller);
    }
}

namespace {

// The scale from the logical size a chart is laid out at to `painter`'s device: the size it would
// have on a screen of the same physical size, so that fonts and pens keep their proportions on a
// printer page.
double DeviceScale(const QPainter& painter) {
    const QPaintDevice* device = painter.device();
    const double dpi = device != nullptr ? device->logicalDpiX() : kScreenDpi;
    return std::max(1.0, dpi / kScreenDpi);
}

// The chart of `definition` with `points` in `scene`, laid out at `logical` size.
QChart& LayOutChart(QGraphicsScene& scene, const ChartSpec& definition,
                    const std::vector<ChartPoint>& points, const QSizeF& logical) {
    auto* chart = new QChart; // owned by the scene
    scene.addItem(chart);
    ConfigureChart(*chart, definition);
    ChartContent(*chart, definition).Fill(points, logical);
    ApplyMargins(*chart, definition, logical);
    chart->setGeometry(QRectF(QPointF(0, 0), logical));
    chart->layout()->activate();
    scene.setSceneRect(QRectF(QPointF(0, 0), logical));
    return *chart;
}

} // namespace

double ChartPlotLeft(const QPainter& painter, const QRectF& rect, const ChartSpec& definition,
                     const std::vector<ChartPoint>& points) {
    if (rect.width() <= 0 || rect.height() <= 0) {
        return 0;
    }
    const double scale = DeviceScale(painter);
    QGraphicsScene scene;
    const QChart& chart =
        LayOutChart(scene, definition, points, QSizeF(rect.width(), rect.height()) / scale);
    return chart.plotArea().left() * scale;
}

QRectF DrawChart(QPainter& painter, const QRectF& rect, const ChartSpec& definition,
                 const std::vector<ChartPoint>& points, double plotLeft) {
    if (rect.width() <= 0 || rect.height() <= 0) {
        return {};
    }
    const double scale = DeviceScale(painter);
    const QSizeF logical = QSizeF(rect.width(), rect.height()) / scale;
    QGraphicsScene scene;
    QChart& chart = LayOutChart(scene, definition, points, logical);
    QRectF area = chart.plotArea();
    if (plotLeft / scale > area.left()) {
        area.setLeft(plotLeft / scale);
        chart.setPlotArea(area);
        chart.layout()->invalidate(); // the axes are placed anew around the area
        chart.layout()->activate();
    }
    scene.render(&painter, rect, QRectF(QPointF(0, 0), logical), Qt::IgnoreAspectRatio);
    area = chart.plotArea();
    return {rect.left() + area.left() * scale, rect.top() + area.top() * scale,
            area.width() * scale, area.height() * scale};
}

} // namespace hrv
