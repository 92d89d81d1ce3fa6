#include "charts/chartdata.h"
#include "db/startingstatement.h"
#include "support/findnamed.h"
#include "charts/ui/chartdrawing.h"
#include "charts/ui/chartwindow.h"
#include "workbench/workbenchform.h"
#include "viewers/fakeshell.h"

#include <QCheckBox>
#include <QChart>
#include <QImage>
#include <QListWidget>
#include <QScrollBar>
#include <QSet>
#include <QXYSeries>
#include <cmath>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFile>
#include <QLineSeries>
#include <QPushButton>
#include <QDeadlineTimer>
#include <QTimer>
#include <QValueAxis>
#include <gtest/gtest.h>

namespace {

using chartdata::AxisKind;

qreal at(int year, int month, int day, int hour, int minute, int second = 0)
{
    return qreal(QDateTime(QDate(year, month, day), QTime(hour, minute, second)).toMSecsSinceEpoch());
}

QList<QPointF> pointsOf(const chartdata::Chart& chart, const QString& series)
{
    for (const chartdata::Series& s : chart.series)
        if (s.name == series)
            return s.points;
    ADD_FAILURE() << "no series " << series.toStdString();
    return {};
}

TEST(ChartData, NumericTextTimesOverTheServicesDateTextsSplitPerDriver)
{
    // date, besttime, driver: the service's texts as the readers and the import keep them.
    const QList<QVariantList> rows{
        {"2011-06-03T12:34:56", "86.372", "kestrel"},
        {"2011-06-01  08:00:00", "88.5", "kestrel"},      // as the leaderboard import stores it
        {"2011-06-02 09:15:30", "91.25", "pilot000"},
        {"2011-06-04", "90", "pilot000"},
        {"2011-06-05T10:00:00Z", "89", "pilot000"},
        {"2011-03-27 03:30:00", "87.25", "kestrel"},     // the day summer time starts in Europe
        {"2011-03-27 01:30:00", "87.5", "kestrel"},
        {"2011-06-06", "", "pilot000"},                   // no time: left out
        {"soon", "85.0", "kestrel"},                      // no date: left out
    };
    // The rows handed over as the chart window hands them, all in one block.
    const auto build = [&](const chartdata::Request& request) {
        chartdata::Builder builder({"date", "besttime", "driver"}, request);
        QList<QVariant> cells;
        for (const QVariantList& row : rows)
            for (const int field : builder.fieldsRead())
                cells.append(row[field]);
        builder.add(cells);
        return builder.finish(0);
    };
    chartdata::Request request;
    request.xField = 0;
    request.yFields = {1};
    request.splitField = 2;
    const chartdata::Chart chart = build(request);

    EXPECT_EQ(chart.xKind, AxisKind::Time);
    ASSERT_EQ(chart.series.size(), 2);
    EXPECT_EQ(chart.series[0].name, "kestrel");
    EXPECT_EQ(chart.series[1].name, "pilot000");
    // In time order, whatever the rows' order.
    EXPECT_EQ(pointsOf(chart, "kestrel"),
              (QList<QPointF>{{at(2011, 3, 27, 1, 30), 87.5},
                              {at(2011, 3, 27, 3, 30), 87.25},
                              {at(2011, 6, 1, 8, 0), 88.5},
                              {at(2011, 6, 3, 12, 34, 56), 86.372}}));
    EXPECT_EQ(pointsOf(chart, "pilot000"), (QList<QPointF>{{at(2011, 6, 2, 9, 15, 30), 91.25},
                                                           {at(2011, 6, 4, 0, 0), 90.0},
                                                           {at(2011, 6, 5, 10, 0), 89.0}}));
    EXPECT_EQ(chart.leftOut, 2);
    EXPECT_EQ(chart.xTitle, "date");
    EXPECT_EQ(chart.yTitle, "besttime");

    // Only the listed drivers, in the list's order and named as the data has them; a filter
    // keeps the rows of one value.
    request.onlySplitValues = {"PILOT000"};
    request.filters = {{0, "2011-06-04"}};
    const chartdata::Chart listed = build(request);
    ASSERT_EQ(listed.series.size(), 1);
    EXPECT_EQ(listed.series[0].points, (QList<QPointF>{{at(2011, 6, 4, 0, 0), 90.0}}));

    // Numbers on x make a number axis.
    const chartdata::Chart numbers = build({1, {1}, -1, {}, {}});
    EXPECT_EQ(numbers.xKind, AxisKind::Number);
    ASSERT_EQ(numbers.series.size(), 1);
    EXPECT_EQ(numbers.series[0].points.first(), QPointF(85.0, 85.0));
}

TEST(ChartData, ThinningKeepsEveryColumnsLowestAndHighestPoint)
{
    // A flat line with one spike up and one down, far more points than columns.
    QList<QPointF> points;
    for (int i = 0; i < 100000; ++i)
        points.append({double(i), i == 31337 ? 1000.0 : i == 77777 ? -5.0 : double(i % 3)});
    const QList<QPointF> kept = chartdata::thinned(points, 0, 99999, 100);
    EXPECT_LE(kept.size(), 400);
    EXPECT_TRUE(kept.contains(QPointF(31337, 1000)));
    EXPECT_TRUE(kept.contains(QPointF(77777, -5)));
    EXPECT_EQ(kept.first(), points.first());
    EXPECT_EQ(kept.last(), points.last());
    EXPECT_TRUE(std::is_sorted(kept.begin(), kept.end(), [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); }));
}

class ChartWindowTest : public ::testing::Test {
protected:
    ChartWindowTest()
    {
        trackA = w.db.scalar(QStringLiteral("select trackid from TRACKLIST where trackname = '%1'").arg(w.db.trackA())).toInt();
        // Best times as the service writes them; more results on track A, multiplayer.
        w.db.exec("UPDATE RACR SET besttime = CAST(id AS TEXT) || '0.5'");   // 10.5, 20.5, ...
        insert("kestrel", "2021-03-06T09:30:00", 1, "8.125");
        insert("pilot000", "2021-03-07  08:00:00", 1, "9.75");
        insert("ghost", "2021-03-08  08:00:00", 1, "7.5");                  // not in the list
        insert("kestrel", "2021-03-09  08:00:00", 2, "6.5");                // single-player
        w.run(startingStatement());
        chart.show();
    }

    void insert(const char* driver, const char* date, int multiplayer, const char* time)
    {
        w.db.exec(QStringLiteral("INSERT INTO RACR (driver, car, [date], trackid, multiplayer, besttime, shard)"
                                 " VALUES ('%1', 'Ford GT', '%2', %3, %4, '%5', 'APEX')")
                      .arg(driver, date)
                      .arg(trackA)
                      .arg(multiplayer)
                      .arg(time));
    }

    void moveToRow(const QString& driver, const QString& date)
    {
        const int driverField = int(w.openResult.fieldNames().indexOf("driver"));
        const int dateField = int(w.openResult.fieldNames().indexOf("date"));
        for (int row = 0; row < w.openResult.recordCount(); ++row)
            if (w.openResult.textAt(row, driverField) == driver && w.openResult.textAt(row, dateField) == date) {
                w.openResult.moveTo(row);
                return;
            }
        ADD_FAILURE() << "no row of " << driver.toStdString() << " on " << date.toStdString();
    }

    QList<QPointF> drawn(const QString& name)
    {
        for (QAbstractSeries* series : shownChart()->series())
            if (series->name() == name)
                return static_cast<QXYSeries*>(series)->points();
        ADD_FAILURE() << "no series " << name.toStdString() << " drawn";
        return {};
    }

    // The chart on the screen and the window's controls, found by their names.
    QChart* shownChart() { return control<QChartView>("view")->chart(); }
    template <typename T>
    T* control(const char* name)
    {
        return named<T>(chart, name);
    }

    WorkbenchForm w;
    int trackA = 0;
    FakeShell shell;
    ChartWindow chart{w.openResult, shell};
};

TEST_F(ChartWindowTest, OneClickChartsTheCurrentRowsDriverOnItsTrackOverTime)
{
    moveToRow("kestrel", "2021-03-01  10:00:00");
    QTest::mouseClick(control<QPushButton>("driverOnTrack"), Qt::LeftButton);

    ASSERT_EQ(shownChart()->series().size(), 1);
    EXPECT_EQ(drawn("besttime"), (QList<QPointF>{{at(2021, 3, 1, 10, 0), 10.5}, {at(2021, 3, 6, 9, 30), 8.125}}));
    EXPECT_NE(qobject_cast<QDateTimeAxis*>(shownChart()->axes(Qt::Horizontal).value(0)), nullptr);
    EXPECT_EQ(shownChart()->axes(Qt::Horizontal).value(0)->titleText(), "date");
    EXPECT_TRUE(shownChart()->title().contains(w.db.trackA()));
    EXPECT_TRUE(shownChart()->title().contains("kestrel"));

    // PostgreSQL gives the race type as "racetype": the single-player result stays out as well.
    w.run(startingStatement().replace("as Racetype", "as racetype"));
    moveToRow("kestrel", "2021-03-01  10:00:00");
    QTest::mouseClick(control<QPushButton>("driverOnTrack"), Qt::LeftButton);
    EXPECT_EQ(drawn("besttime"), (QList<QPointF>{{at(2021, 3, 1, 10, 0), 10.5}, {at(2021, 3, 6, 9, 30), 8.125}}));

    // The drivers of the list on the same track and race type, one series each.
    QTest::mouseClick(control<QPushButton>("listOnTrack"), Qt::LeftButton);
    ASSERT_EQ(shownChart()->series().size(), 2);
    EXPECT_EQ(drawn("kestrel"), (QList<QPointF>{{at(2021, 3, 1, 10, 0), 10.5}, {at(2021, 3, 6, 9, 30), 8.125}}));
    EXPECT_EQ(drawn("pilot000"), (QList<QPointF>{{at(2021, 3, 7, 8, 0), 9.75}}));
    EXPECT_TRUE(control<QListWidget>("legend")->isVisible());
    EXPECT_TRUE(w.dialogs.messages.isEmpty());

    // A dark desktop gets a dark chart.
    QPalette dark = chart.palette();
    dark.setColor(QPalette::Window, Qt::black);
    dark.setColor(QPalette::WindowText, Qt::white);
    chart.setPalette(dark);
    EXPECT_EQ(shownChart()->theme(), QChart::ChartThemeDark);
}

TEST_F(ChartWindowTest, TheLegendListsTheListsDriversWithResultsByNameInColoursOfTheirOwn)
{
    insert("Night: Rider", "2021-03-10  08:00:00", 1, "9.5");
    shell.drivers = "\"Night: Rider\",kestrel nobody";
    w.run(startingStatement());
    moveToRow("kestrel", "2021-03-01  10:00:00");
    QTest::mouseClick(control<QPushButton>("listOnTrack"), Qt::LeftButton);
    const auto entries = [&] {
        QStringList names;
        for (int i = 0; i < control<QListWidget>("legend")->count(); ++i)
            names.append(control<QListWidget>("legend")->item(i)->text());
        return names;
    };
    EXPECT_EQ(entries(), (QStringList{"Night: Rider", "kestrel"}));
    EXPECT_EQ(shownChart()->series().size(), 2);

    // Thirty drivers: every one has its entry, reached by scrolling the legend.
    QStringList names;
    for (int i = 0; i < 30; ++i) {
        names.append(QStringLiteral("racer%1").arg(i, 2, 10, QLatin1Char('0')));
        insert(names.last().toUtf8().constData(), "2021-03-11  08:00:00", 1, "9.0");
    }
    shell.drivers = names.join(',');
    w.run(startingStatement());
    moveToRow("racer00", "2021-03-11  08:00:00");
    QTest::mouseClick(control<QPushButton>("listOnTrack"), Qt::LeftButton);
    EXPECT_EQ(entries(), names);
    QCoreApplication::processEvents();   // the list lays its entries out
    EXPECT_GT(control<QListWidget>("legend")->verticalScrollBar()->maximum(), 0);
    control<QListWidget>("legend")->scrollToBottom();
    EXPECT_TRUE(control<QListWidget>("legend")->viewport()->rect().contains(control<QListWidget>("legend")->visualItemRect(control<QListWidget>("legend")->item(29))));

    // Twelve colours apart from each other, each at a contrast of 3:1 or more with the page, on a
    // light and a dark theme.
    const auto luminance = [](const QColor& c) {
        const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    for (const QChart::ChartTheme theme : {QChart::ChartThemeLight, QChart::ChartThemeDark}) {
        QChartView empty;
        empty.resize(400, 300);
        empty.chart()->setTheme(theme);
        const QImage shot = empty.grab().toImage();
        const QColor page = shot.pixelColor(empty.chart()->plotArea().center().toPoint());
        QSet<QRgb> distinct;
        for (int i = 0; i < chartdrawing::distinctColours; ++i) {
            const QColor colour = chartdrawing::seriesColour(i, theme == QChart::ChartThemeDark);
            distinct.insert(colour.rgb());
            const double a = luminance(colour) + 0.05;
            const double b = luminance(page) + 0.05;
            EXPECT_GE(std::max(a, b) / std::min(a, b), 3.0) << i << " on " << page.name().toStdString();
        }
        EXPECT_EQ(distinct.size(), chartdrawing::distinctColours);
    }
    // Drawn in them.
    EXPECT_EQ(static_cast<QXYSeries*>(shownChart()->series().at(11))->color(),
              chartdrawing::seriesColour(11, shownChart()->theme() == QChart::ChartThemeDark));
}

TEST_F(ChartWindowTest, OneClickWithoutTheColumnsSaysWhatItNeeds)
{
    w.run("select driver, besttime from RACR");
    QTest::mouseClick(control<QPushButton>("driverOnTrack"), Qt::LeftButton);
    EXPECT_TRUE(control<QLabel>("note")->text().contains("trackname")) << control<QLabel>("note")->text().toStdString();
    EXPECT_TRUE(shownChart()->series().isEmpty());
}

TEST_F(ChartWindowTest, SavesAsPngOrSvg)
{
    moveToRow("kestrel", "2021-03-01  10:00:00");
    QTest::mouseClick(control<QPushButton>("listOnTrack"), Qt::LeftButton);
    QCoreApplication::processEvents();   // the axes of the chart before go
    for (const char* name : {"chart.png", "chart.svg"}) {
        w.dialogs.saveAnswer = w.db.home().file(name);
        QTest::mouseClick(control<QPushButton>("saveButton"), Qt::LeftButton);
        QFile file(w.dialogs.saveAnswer);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        const QByteArray content = file.readAll();
        if (QByteArray(name).endsWith(".png"))
            EXPECT_TRUE(content.startsWith("\x89PNG"));
        else
            EXPECT_TRUE(content.contains("<svg") && content.contains("kestrel"));
    }
    // Twice the size on the screen, when asked: the same whole chart, legend and all, finer.
    const QImage single(w.db.home().file("chart.png"));
    control<QCheckBox>("doubleSize")->setChecked(true);
    w.dialogs.saveAnswer = w.db.home().file("double.png");
    QTest::mouseClick(control<QPushButton>("saveButton"), Qt::LeftButton);
    const QImage twice(w.dialogs.saveAnswer);
    ASSERT_EQ(twice.size(), single.size() * 2);
    const QImage halved = twice.scaled(single.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    double difference = 0;
    for (int y = 0; y < single.height(); ++y)
        for (int x = 0; x < single.width(); ++x)
            difference += std::abs(qGray(single.pixel(x, y)) - qGray(halved.pixel(x, y)));
    EXPECT_LT(difference / (single.width() * single.height()), 8.0);
    EXPECT_FALSE(shownChart()->legend()->isVisible());   // the window keeps its own

    w.dialogs.saveAnswer = w.db.home().file("no-such-folder/chart.png");
    QTest::mouseClick(control<QPushButton>("saveButton"), Qt::LeftButton);
    ASSERT_EQ(w.dialogs.messages.size(), 1);
    EXPECT_TRUE(w.dialogs.messages[0].text.contains("no-such-folder"));
}

TEST_F(ChartWindowTest, AMillionPointsAreChartedWhileTheWindowAnswersAndTheirPeakStays)
{
    // A timer of the window's thread fires while the chart is read and built, from the moment
    // the result's last row is in until the chart is drawn.
    bool building = false;
    int ticks = 0;
    int charts = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ticks += building ? 1 : 0; });
    QObject::connect(&w.openResult, &OpenResult::fetchingChanged, [&](bool fetching) { building = !fetching; });
    QObject::connect(&chart, &ChartWindow::drawn, [&] {
        charts += building ? 1 : 0;
        building = false;
    });
    ticker.start(10);
    w.run("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 1000000)"
          " SELECT x, CASE WHEN x = 654321 THEN 1000 ELSE x % 7 END AS y FROM n");
    QDeadlineTimer deadline(50000);
    while (charts == 0 && !deadline.hasExpired())
        QTest::qWait(20);
    ASSERT_EQ(charts, 1);
    EXPECT_GE(ticks, 5);

    ASSERT_EQ(shownChart()->series().size(), 1);
    const QList<QPointF> points = static_cast<QXYSeries*>(shownChart()->series().first())->points();
    EXPECT_LT(points.size(), 40000);
    EXPECT_TRUE(points.contains(QPointF(654321, 1000)));
    EXPECT_EQ(chart.chart().pointCount, 1000000);
    const auto* yAxis = qobject_cast<QValueAxis*>(shownChart()->axes(Qt::Vertical).value(0));
    ASSERT_NE(yAxis, nullptr);
    EXPECT_GE(yAxis->max(), 1000);
    EXPECT_LE(yAxis->min(), 0);

    // As points, a column's extremes alone would hide the points between them: a line is drawn.
    building = true;
    control<QComboBox>("styleBox")->setCurrentIndex(1);
    while (charts == 1 && !deadline.hasExpired())
        QTest::qWait(20);
    ASSERT_EQ(charts, 2);
    EXPECT_NE(qobject_cast<QLineSeries*>(shownChart()->series().value(0)), nullptr);
    EXPECT_TRUE(control<QLabel>("note")->text().contains("drawn as lines")) << control<QLabel>("note")->text().toStdString();

    // Closed while a chart is being made: the making stops and nothing arrives later; a window
    // that goes away meanwhile takes its worker with it.
    control<QComboBox>("styleBox")->setCurrentIndex(0);
    chart.close();
    auto second = std::make_unique<ChartWindow>(w.openResult, shell);
    second->show();
    second.reset();
    building = true;
    QTest::qWait(300);
    EXPECT_EQ(charts, 2);
}

} // namespace
