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
#include <QFont>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QLineSeries>
#include <QLocale>
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

void SetAxisFonts(QAbstractAxis& axis) {
    axis.setLabelsFont(FontOfPixels(axis.labelsFont(), kAxisPixels, false));
    axis.setTitleFont(FontOfPixels(axis.titleFont(), kAxisPixels, true));
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
    axis.setRange(r.minimum, r.maximum);
    axis.setTickType(QValueAxis::TicksDynamic);
    axis.setTickAnchor(definition.automatic ? 0.0 : r.minimum);
    axis.setTickInterval(r.step);
    int decimals = DecimalsOfLabelFormat(definition.labelFormat);
    if (decimals < 0) {
        // As many decimals as the label step needs (a step of 0.05 shows two).
        decimals = std::max(0, -static_cast<int>(std::floor(std::log10(r.step) + 1e-9)));
    }
    // Localized numbers: the user's decimal separator and digit grouping.
    axis.setLabelFormat(QStringLiteral("%.") + QString::number(decimals) + QStringLiteral("f"));
}

QValueAxis* MakeValueAxis(const AxisSpec& definition, SeriesKind kind,
                          const std::vector<ChartPoint>& points, bool vertical,
                          const QSizeF& size) {
    auto* axis = new QValueAxis;
    TuneValueAxis(*axis, definition, kind, points, vertical, size);
    axis->setTitleText(Text(definition.caption));
    axis->setGridLineVisible(true);
    SetAxisFonts(*axis);
    return axis;
}

void AddSeries(QChart& chart, QAbstractSeries* series, QAbstractAxis* x, QAbstractAxis* y) {
    chart.addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
}

void ApplyMargins(QChart& chart, const ChartSpec& definition, const QSizeF& size) {
    auto pct = [](double percent, double extent) {
        return kBaseMargin + static_cast<int>(percent * extent / 100);
    };
    chart.setMargins(QMargins(
        pct(definition.marginLeft, size.width()), pct(definition.marginTop, size.height()),
        pct(definition.marginRight, size.width()), pct(definition.marginBottom, size.height())));
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

// Replaces the chart's series and axes by the ones of `points`, each series filled in one step
// before it joins the chart.
void FillChart(QChart& chart, const ChartSpec& definition, const std::vector<ChartPoint>& points,
               const QSizeF& size) {
    chart.removeAllSeries();
    const auto oldAxes = chart.axes();
    for (QAbstractAxis* axis : oldAxes) {
        chart.removeAxis(axis);
        delete axis;
    }

    QAbstractAxis* xAxis = nullptr;
    if (definition.bottom.textLabels) {
        auto* categories = new QBarCategoryAxis;
        for (const ChartPoint& p : points) {
            categories->append(Text(p.label));
        }
        categories->setTitleText(Text(definition.bottom.caption));
        SetAxisFonts(*categories);
        xAxis = categories;
    } else {
        xAxis = MakeValueAxis(definition.bottom, definition.kind, points, false, size);
    }
    QAbstractAxis* yAxis = MakeValueAxis(definition.left, definition.kind, points, true, size);
    chart.addAxis(xAxis, Qt::AlignBottom);
    chart.addAxis(yAxis, Qt::AlignLeft);

    switch (definition.kind) {
    case SeriesKind::Line:
        for (const Run& run : ColourRuns(points)) {
            auto* line = new QLineSeries;
            line->setName(Text(definition.seriesName));
            line->replace(RunPoints(points, run));
            QPen pen(ToQColor(run.color));
            pen.setWidth(1);
            line->setPen(pen);
            AddSeries(chart, line, xAxis, yAxis);
        }
        break;
    case SeriesKind::Area:
        for (const Run& run : ColourRuns(points)) {
            auto* upper = new QLineSeries;
            upper->replace(RunPoints(points, run));
            auto* area = new QAreaSeries(upper);
            upper->setParent(area);
            area->setName(Text(definition.seriesName));
            area->setBrush(ToQColor(run.color));
            area->setPen(definition.outline ? QPen(ToQColor(run.color)) : QPen(Qt::NoPen));
            AddSeries(chart, area, xAxis, yAxis);
        }
        break;
    case SeriesKind::Points: {
        std::map<Rgb, QList<QPointF>, RgbLess> byColour;
        for (const ChartPoint& p : points) {
            byColour[p.color].append(QPointF(p.x, p.y));
        }
        for (auto& [color, list] : byColour) {
            auto* scatter = new QScatterSeries;
            scatter->setName(Text(definition.seriesName));
            scatter->setMarkerShape(QScatterSeries::MarkerShapeCircle);
            scatter->setMarkerSize(definition.markerSize);
            scatter->setColor(ToQColor(color));
            scatter->setBorderColor(definition.outline ? ToQColor(color) : QColor(Qt::transparent));
            scatter->setPen(definition.outline ? QPen(ToQColor(color)) : QPen(Qt::NoPen));
            scatter->replace(list);
            AddSeries(chart, scatter, xAxis, yAxis);
        }
        break;
    }
    case SeriesKind::Bars: {
        // One stacked set per colour, holding the bars of that colour and zeros elsewhere, so
        // each bar is drawn in its own colour.
        std::map<Rgb, QBarSet*, RgbLess> sets;
        auto* bars = new QStackedBarSeries;
        bars->setName(Text(definition.seriesName));
        for (const ChartPoint& p : points) {
            if (sets.find(p.color) == sets.end()) {
                auto* set = new QBarSet(Text(definition.seriesName));
                set->setColor(ToQColor(p.color));
                set->setBorderColor(definition.outline ? QColor(Qt::black) : ToQColor(p.color));
                sets[p.color] = set;
            }
        }
        for (auto& [color, set] : sets) {
            QList<qreal> values;
            for (const ChartPoint& p : points) {
                values.append(p.color == color ? p.y : 0.0);
            }
            set->append(values);
            bars->append(set);
        }
        bars->setLabelsVisible(false); // no marks
        AddSeries(chart, bars, xAxis, yAxis);
        break;
    }
    }
}

// Label steps for a new size of the chart.
void RetuneAxes(QChart& chart, const ChartSpec& definition, const std::vector<ChartPoint>& points,
                const QSizeF& size) {
    for (QAbstractAxis* a : chart.axes(Qt::Horizontal)) {
        if (auto* axis = qobject_cast<QValueAxis*>(a)) {
            TuneValueAxis(*axis, definition.bottom, definition.kind, points, false, size);
        }
    }
    for (QAbstractAxis* a : chart.axes(Qt::Vertical)) {
        if (auto* axis = qobject_cast<QValueAxis*>(a)) {
            TuneValueAxis(*axis, definition.left, definition.kind, points, true, size);
        }
    }
}

} // namespace

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
    FillChart(*chart(), spec_, points_, QSizeF(size()));
}

ChartWidget::~ChartWidget() = default;

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
    FillChart(*chart(), spec_, points_, QSizeF(size()));
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
    RetuneAxes(*chart(), spec_, points_, QSizeF(size()));
    QChartView::resizeEvent(event);
}

void DrawChart(QPainter& painter, const QRectF& rect, const ChartSpec& definition,
               const std::vector<ChartPoint>& points) {
    if (rect.width() <= 0 || rect.height() <= 0) {
        return;
    }
    // Lay the chart out at the size it would have on a screen of the same physical size, so
    // that fonts and pens keep their proportions on a printer page.
    const QPaintDevice* device = painter.device();
    const double dpi = device != nullptr ? device->logicalDpiX() : kScreenDpi;
    const double scale = std::max(1.0, dpi / kScreenDpi);
    const QSizeF logical(rect.width() / scale, rect.height() / scale);

    QGraphicsScene scene;
    auto* chart = new QChart; // owned by the scene
    scene.addItem(chart);
    ConfigureChart(*chart, definition);
    FillChart(*chart, definition, points, logical);
    ApplyMargins(*chart, definition, logical);
    chart->setGeometry(QRectF(QPointF(0, 0), logical));
    chart->layout()->activate();
    scene.setSceneRect(QRectF(QPointF(0, 0), logical));
    scene.render(&painter, rect, QRectF(QPointF(0, 0), logical), Qt::IgnoreAspectRatio);
}

} // namespace hrv
