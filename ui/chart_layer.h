// The chart component of the program: one series per chart, each point, bar or area segment in
// its own colour, fixed or automatic axes, titles and captions, and drawing a whole chart into a
// rectangle of any painter (screen, image or printer page).
#pragma once

#include "presentation/chart_data.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QChartView>
#include <QColor>
#include <QRectF>
#include <QSize>
#include <QString>

class QPainter;

namespace hrv {

class ChartContent;
class ChartFontGroup;

class ChartWidget : public QChartView {
    Q_OBJECT

public:
    // A chart set up as `definition` says, with an empty series. objectName = definition.name.
    explicit ChartWidget(ChartSpec definition, QWidget* parent = nullptr);
    ~ChartWidget() override;

    const ChartSpec& Definition() const { return spec_; }

    // Replaces the chart's title (UTF-8), on screen and in what Draw draws.
    void SetTitle(const std::string& title);

    // Removes every point.
    void Clear();

    // Adds a value at x = number of points held before it, or an (x, y) point. Points added
    // this way reach the shown series together, once control returns to the event loop (or at
    // Flush or Draw), never one by one.
    void AddValue(double y, const QString& label, const QColor& color);
    void AddXY(double x, double y, const QString& label, const QColor& color);

    // Replaces the whole series in one step and shows it at once.
    void SetPoints(std::vector<ChartPoint> points);

    // Shows the points added since the last update now.
    void Flush();

    // The points the series holds, in the order added.
    const std::vector<ChartPoint>& Points() const { return points_; }

    // Draws the whole chart, with its settings and points, into `rect` of `painter`'s device.
    // The chart on screen is not changed.
    void Draw(QPainter& painter, const QRectF& rect) const;

    // Pixels the chart's texts are smaller than designed, and the least this chart needs at its
    // size for its captions to be whole.
    int FontsSmaller() const { return fontsSmaller_; }
    int FontsSmallerNeeded() const { return neededSmaller_; }
    // Shows the texts `smaller` pixels smaller than designed.
    void SetFontsSmaller(int smaller);
    // Joins a group whose charts all show their texts in one size.
    void JoinFontGroup(ChartFontGroup& group);

    // Called with the x value (in the bottom axis's units) of a left click in the plot area.
    std::function<void(double x)> onClick;

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    void ScheduleFlush();
    // Makes the chart's texts as small as needed (within limits) for its captions to be whole.
    void FitFonts();

    ChartSpec spec_;
    std::unique_ptr<ChartContent> content_; // the chart's axes and series, made once
    std::vector<ChartPoint> points_;
    int fontsSmaller_ = 0;  // pixels the texts are smaller than designed
    int neededSmaller_ = 0; // the least this chart needs at its size
    ChartFontGroup* fontGroup_ = nullptr;
    QSize fittedSize_; // the size FitFonts last fitted the texts to
    bool dirty_ = false;
    bool flushQueued_ = false;
};

// Charts that show their titles, labels and captions in one size: the largest in which every
// chart of the group shows its captions whole.
class ChartFontGroup {
public:
    void Add(ChartWidget& chart);
    // Gives every chart the texts the chart that needs the smallest ones can show.
    void Refit();

private:
    std::vector<ChartWidget*> charts_;
};

// Draws a chart with these settings and points into `rect` of `painter`'s device; its plot area
// starts `plotLeft` device units from the left of `rect` when its own labels leave it further
// left. Gives the plot area as drawn, in device units.
QRectF DrawChart(QPainter& painter, const QRectF& rect, const ChartSpec& definition,
                 const std::vector<ChartPoint>& points, double plotLeft = 0);

// Where DrawChart would start the chart's plot area, in device units from the left of `rect`:
// charts drawn one above the other align their plot areas on the largest of these.
double ChartPlotLeft(const QPainter& painter, const QRectF& rect, const ChartSpec& definition,
                     const std::vector<ChartPoint>& points);

QColor ToQColor(Rgb c);
Rgb ToRgb(const QColor& c);

} // namespace hrv
