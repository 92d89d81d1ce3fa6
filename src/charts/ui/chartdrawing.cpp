#include "charts/ui/chartdrawing.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFileInfo>
#include <QGraphicsLayout>
#include <QLegend>
#include <QLineSeries>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QScopeGuard>
#include <QScatterSeries>
#include <QSvgGenerator>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace chartdrawing {

namespace {

// Qt Charts makes an item of every point of a scatter series, which takes seconds from some ten
// thousand points on; a line series draws a million in a fraction of a second.
constexpr qsizetype mostSeparatePoints = 20000;
// Marks on the points of lines: each is drawn at every paint, so only while they are few.
constexpr qsizetype mostMarkedPoints = 2000;

// Labels as precise as the span needs: ticks fall at any time of day, so a span of a few days
// shows the time too; months show the day, years the month.
QString dateFormatFor(double spanMs)
{
    constexpr double day = 24.0 * 3600 * 1000;
    if (spanMs <= 10 * day)
        return QStringLiteral("MM-dd hh:mm");
    if (spanMs <= 3 * 365 * day)
        return QStringLiteral("yyyy-MM-dd");
    return QStringLiteral("yyyy-MM");
}

// A range that shows every point clear of the frame, also when all values are one.
std::pair<double, double> paddedRange(double low, double high, double padFloor)
{
    const double pad = high > low ? (high - low) * 0.05 : std::max(std::abs(low) * 0.05, padFloor);
    return {low - pad, high + pad};
}

} // namespace

bool draw(QChart& chart, const chartdata::Chart& data, Style style)
{
    chart.removeAllSeries();
    for (QAbstractAxis* axis : chart.axes()) {
        chart.removeAxis(axis);
        delete axis;
    }

    // The axes span the whole data; the series may hold fewer points, thinned for drawing.
    const double xLow = data.xLow, xHigh = data.xHigh, yLow = data.yLow, yHigh = data.yHigh;
    qsizetype pointCount = 0;
    for (const chartdata::Series& series : data.series)
        pointCount += series.points.size();

    QAbstractAxis* xAxis = nullptr;
    if (data.xKind == chartdata::AxisKind::Time) {
        auto* axis = new QDateTimeAxis;
        // One hour either side when all points share one moment.
        const auto [low, high] = paddedRange(xLow, xHigh, 3600.0 * 1000);
        axis->setFormat(dateFormatFor(high - low));
        axis->setRange(QDateTime::fromMSecsSinceEpoch(qint64(low)), QDateTime::fromMSecsSinceEpoch(qint64(high)));
        axis->setTickCount(6);
        xAxis = axis;
    } else {
        auto* axis = new QValueAxis;
        const auto [low, high] = paddedRange(xLow, xHigh, 1);
        axis->setRange(low, high);
        axis->applyNiceNumbers();
        xAxis = axis;
    }
    xAxis->setTitleText(data.xTitle);
    auto* yAxis = new QValueAxis;
    const auto [low, high] = paddedRange(yLow, yHigh, 1);
    yAxis->setRange(low, high);
    yAxis->applyNiceNumbers();
    yAxis->setTitleText(data.yTitle);
    chart.addAxis(xAxis, Qt::AlignBottom);
    chart.addAxis(yAxis, Qt::AlignLeft);

    // Thinned series keep a column's extremes only: as lines they look as the full data does, as
    // points they would not, so points are drawn only when every one is there.
    const bool tooMany = style == Style::Points && (pointCount > mostSeparatePoints || pointCount < data.pointCount);
    for (const chartdata::Series& points : data.series) {
        QXYSeries* series = nullptr;
        if (style == Style::Lines || tooMany) {
            series = new QLineSeries;
            // A mark on each point while they are few enough to tell apart.
            series->setPointsVisible(pointCount <= mostMarkedPoints);
        } else {
            auto* scatter = new QScatterSeries;
            scatter->setMarkerSize(8);
            series = scatter;
        }
        series->setName(points.name);
        series->replace(points.points);
        chart.addSeries(series);
        series->attachAxis(xAxis);
        series->attachAxis(yAxis);
    }
    colourSeries(chart);
    // The window shows the legend in a list of its own, which scrolls; the chart's own legend
    // cuts entries off at its bottom and only comes out for the pictures.
    chart.legend()->setVisible(false);
    return tooMany;
}

QColor seriesColour(int index, bool dark)
{
    // Hues 30 degrees apart, neighbours in the legend far apart on the wheel. The lightness is
    // what keeps a colour at a contrast of 3:1 or more with the theme's page: dark on light, light
    // on dark.
    static constexpr int hues[distinctColours] = {210, 30, 120, 300, 0, 180, 60, 270, 150, 330, 90, 240};
    return QColor::fromHslF(hues[index % distinctColours] / 360.0, 0.75, dark ? 0.70 : 0.32);
}

void colourSeries(QChart& chart)
{
    const bool dark = chart.theme() == QChart::ChartThemeDark;
    const QList<QAbstractSeries*> all = chart.series();
    for (qsizetype i = 0; i < all.size(); ++i)
        if (auto* series = qobject_cast<QXYSeries*>(all[i])) {
            const QColor colour = seriesColour(int(i), dark);
            series->setColor(colour);
            if (auto* scatter = qobject_cast<QScatterSeries*>(series))
                scatter->setBorderColor(colour);
        }
}

bool save(QChartView& view, const QString& path, bool doubleSize)
{
    QLegend* legend = view.chart()->legend();
    legend->setAlignment(Qt::AlignRight);
    legend->setVisible(view.chart()->series().size() > 1);
    view.chart()->layout()->activate();   // the plot makes room for the legend before drawing
    const auto hideLegend = qScopeGuard([&view, legend] {
        legend->setVisible(false);
        view.chart()->layout()->activate();
    });
    if (!path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        // The scene drawn again at the picture's size, not the screen's pixels enlarged: lines and
        // letters stay sharp on a larger picture.
        const qreal scale = view.devicePixelRatioF() * (doubleSize ? 2 : 1);
        const QRect shown = view.viewport()->rect();
        QImage picture(shown.size() * scale, QImage::Format_ARGB32_Premultiplied);
        picture.fill(view.palette().color(QPalette::Window));
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        view.scene()->render(&painter, QRectF(picture.rect()), view.mapToScene(shown).boundingRect());
        painter.end();
        return picture.save(path, "PNG");
    }
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(view.size());
    svg.setViewBox(QRect(QPoint(), view.size()));
    svg.setTitle(view.chart()->title());
    QPainter painter;
    if (!painter.begin(&svg))
        return false;
    view.render(&painter);
    painter.end();
    return QFileInfo(path).size() > 0;
}

} // namespace chartdrawing
