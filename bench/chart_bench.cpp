// The chart window on large results: how long the window stays frozen, when the chart is drawn
// and painted, and the memory the chart adds, for each size in a process of its own. The result
// is the shape of the default statement (a date, a best time as text, a driver), made by one
// statement, so no database needs filling; the chart is its first look: best times over dates,
// one series per driver. One driver gives one series of every point; 2,500 drivers (as many as
// the workbench benchmark's database has) give the default statement's chart of a whole club.
//
// Targets on a two-core machine: at 1,000,000 points the window frozen at most 1 s, the chart
// usable within 1 s and at most +100 MB; at 100,000 points usable within 0.3 s.
//
//   chart_bench [--points 100000,1000000] [--drivers 1,2500]

#include "peakmemory.h"
#include "charts/ui/chartwindow.h"
#include "db/connection.h"
#include "db/openresult.h"
#include "viewers/fakeshell.h"

#include <QAbstractSeries>
#include <QApplication>
#include <QChartView>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <map>
#include <stdexcept>

namespace {

// Processor time in ms: of the whole process (every thread), or of the calling thread alone.
double cpuMs(bool wholeProcess)
{
    if (wholeProcess) {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    }
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// In a child: the whole result open, then the chart window shown as the menu shows it. Prints
// key=value lines.
int chartChild(int points, int drivers)
{
    QTemporaryDir folder;
    Connection connection(QDir(folder.path()).filePath("connection.dsn"), QDir(folder.path()).filePath("RACR.db"));
    connection.open();
    OpenResult openResult(connection, kResultsMessageName);
    // Built by hand: the statement's own "%" would be taken for arg()'s markers.
    openResult.setText(QStringLiteral("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < ")
                    + QString::number(points)
                    + QStringLiteral(") SELECT strftime('%Y-%m-%d  %H:%M:%S', 1609459200 + x * 37, 'unixepoch') AS date,"
                                     " printf('%d.%03d', 60 + x % 50, (x * 7) % 1000) AS besttime,"
                                     " 'driver' || (x % ")
                    + QString::number(drivers) + QStringLiteral(") AS driver FROM n"));
    openResult.open();
    const double before = ownMemoryMb("VmRSS:");

    FakeShell shell;
    ChartWindow chart(openResult, shell);
    chart.resize(960, 600);
    QElapsedTimer clock;
    clock.start();
    const double processBefore = cpuMs(true);
    const double windowBefore = cpuMs(false);
    // The longest time the event loop did not come round: what a user waits for any answer.
    qint64 lastTick = 0;
    qint64 frozen = 0;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        frozen = std::max(frozen, clock.elapsed() - lastTick);
        lastTick = clock.elapsed();
    });
    ticker.start();
    chart.show();
    // The window's chart view, found by its name as a user's tools find it.
    QChartView* view = chart.findChild<QChartView*>(QStringLiteral("view"));
    if (!view) {
        std::fprintf(stderr, "The chart window has no control named \"view\".\n");
        return 1;
    }
    while (view->chart()->series().isEmpty() && clock.elapsed() < 120000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const qint64 drawn = clock.elapsed();
    view->viewport()->repaint();
    const qint64 painted = clock.elapsed();
    frozen = std::max(frozen, painted - lastTick);

    std::printf("frozen_ms=%lld\ndrawn_ms=%lld\npainted_ms=%lld\nadded_mb=%.0f\nseries=%lld\n", frozen, drawn, painted,
                ownMemoryMb("VmHWM:") - before, qlonglong(view->chart()->series().size()));
    std::printf("cpu_ms=%.0f\nwindow_cpu_ms=%.0f\n", cpuMs(true) - processBefore, cpuMs(false) - windowBefore);
    return 0;
}

std::map<QString, QString> runChild(int points, int drivers)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--child"), QString::number(points), QStringLiteral("--drivers"), QString::number(drivers)});
    if (!child.waitForFinished(300000) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        throw std::runtime_error("the measuring child failed at " + std::to_string(points) + " points");
    std::map<QString, QString> values;
    for (const QByteArray& line : child.readAllStandardOutput().split('\n'))
        if (const qsizetype eq = line.indexOf('='); eq > 0)
            values[QString::fromUtf8(line.left(eq))] = QString::fromUtf8(line.mid(eq + 1));
    return values;
}

void measure(int points, int drivers)
{
    const auto v = runChild(points, drivers);
    const double targetMs = points > 100000 ? 1000 : 300;
    const double usable = std::max(v.at("frozen_ms").toDouble(), v.at("drawn_ms").toDouble());
    std::printf("%d points, %d driver(s), %s series drawn\n", points, drivers, v.at("series").toUtf8().constData());
    std::printf("  %-22s %6.0f ms  (target %.0f ms, ratio %.2f)\n", "usable", usable, targetMs, usable / targetMs);
    std::printf("  %-22s %6.0f ms\n", "longest frozen", v.at("frozen_ms").toDouble());
    std::printf("  %-22s %6.0f ms\n", "chart drawn", v.at("drawn_ms").toDouble());
    std::printf("  %-22s %6.0f ms\n", "first paint done", v.at("painted_ms").toDouble());
    std::printf("  %-22s %6.0f ms  (%.0f ms of them on the window's thread; a measure the machine's load\n"
                "  %-22s         does not stretch)\n",
                "processor time", v.at("cpu_ms").toDouble(), v.at("window_cpu_ms").toDouble(), "");
    std::printf("  %-22s %6.0f MB  (target 100 MB, ratio %.2f)\n", "memory added", v.at("added_mb").toDouble(),
                v.at("added_mb").toDouble() / 100);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The chart window on large results: the longest freeze, the chart drawn and painted, the memory added."));
    parser.addHelpOption();
    const QCommandLineOption pointsOption(QStringLiteral("points"), QStringLiteral("Sizes to measure."),
                                          QStringLiteral("N,N..."), QStringLiteral("100000,1000000"));
    const QCommandLineOption driversOption(QStringLiteral("drivers"),
                                           QStringLiteral("Drivers in the result, one series each."),
                                           QStringLiteral("N,N..."), QStringLiteral("1,2500"));
    const QCommandLineOption childOption(QStringLiteral("child"), QStringLiteral("(internal) Measure one size."),
                                         QStringLiteral("N"));
    parser.addOptions({pointsOption, driversOption, childOption});
    parser.process(app);
    try {
        const QStringList drivers = parser.value(driversOption).split(',');
        if (parser.isSet(childOption))
            return chartChild(parser.value(childOption).toInt(), std::max(1, drivers.first().toInt()));
        for (const QString& count : drivers)
            for (const QString& size : parser.value(pointsOption).split(','))
                measure(size.toInt(), std::max(1, count.toInt()));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "chart_bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
