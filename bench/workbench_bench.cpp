// The SQL workbench on a large database: "Execute SQL" with the default statement until the grid
// has painted its first rows with the exact row count on the status line, then a title click
// that sorts the open result. Targets on a two-core machine: 1.5 s, 1 s, peak memory 400 MB.
// Beside them, the CSV export of that result (no target; it runs while the window waits).
//
//   workbench_bench                                  every size in one process
//   workbench_bench --benchmark_filter=/1000000      one size; peak_MB is then that size's own
//
// peak_MB is the process's peak resident memory so far (filling the database takes little).

#include "common/programpaths.h"
#include "db/connection.h"
#include "db/csvexport.h"
#include "db/queryobject.h"
#include "db/resultgrid.h"
#include "db/sqlworkbench.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QWidget>
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <stdexcept>
#include <sys/resource.h>

namespace {

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

void run(QSqlQuery& query, const QString& sql)
{
    if (!query.exec(sql))
        throw std::runtime_error(query.lastError().text().toStdString());
}

// A program folder whose RACR table holds `rows` results: 2,500 drivers (2,000 of them with a
// DRIVERS row and an avatar), the 90 tracks, both race types, distinct dates and times.
class LargeDatabase {
public:
    explicit LargeDatabase(int rows)
    {
        ProgramPaths::setHome(m_dir.path());
        // The bitmaps the build drew, so the grid reads avatars as it does beside the program.
        QDir().mkpath(m_dir.filePath("avatars"));
        for (const QFileInfo& file : QDir(QStringLiteral(RACR_AVATAR_DIR)).entryInfoList({"*.bmp"}))
            QFile::copy(file.filePath(), m_dir.filePath("avatars/" + file.fileName()));
        m_connection = std::make_unique<Connection>(m_dir.filePath("connection.dsn"), m_dir.filePath("RACR.db"));
        m_connection->open();
        QSqlDatabase db = m_connection->database();
        QSqlQuery query(db);
        db.transaction();
        run(query, "INSERT INTO DRIVERS (drivername, driverlevel, image, drivershard)"
                   " WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 2000)"
                   " SELECT 'driver' || x, x % 60, 1 + x % 24, 'APEX' FROM n");
        run(query, QStringLiteral(
                       "INSERT INTO RACR (driver, car, [date], trackid, multiplayer, besttime, shard)"
                       " WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < %1)"
                       " SELECT 'driver' || (x % 2500), 'Make' || (x % 13) || ' Model ' || (x % 37),"
                       " strftime('%Y-%m-%d  %H:%M:%S', 1609459200 + x * 37, 'unixepoch'),"
                       " t.trackid, 1 + x % 2, printf('%02d:%02d.%03d', x % 7, (x / 7) % 60, x % 1000),"
                       " CASE WHEN x % 3 = 0 THEN 'CHICANE' ELSE 'APEX' END"
                       " FROM n JOIN (SELECT trackid, row_number() OVER (ORDER BY trackid) - 1 AS k FROM TRACKLIST) t"
                       " ON t.k = x % 90")
                       .arg(rows));
        db.commit();
    }
    ~LargeDatabase() { ProgramPaths::setHome({}); }

    Connection& connection() { return *m_connection; }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Connection> m_connection;
};

LargeDatabase& database(int rows)
{
    static std::map<int, std::unique_ptr<LargeDatabase>> made;
    auto& slot = made[rows];
    if (!slot) {
        made.clear();   // one large file at a time
        auto& fresh = made[rows];
        fresh = std::make_unique<LargeDatabase>(rows);
        return *fresh;
    }
    return *slot;
}

// The main window's client area with the workbench and the grid.
struct Window {
    explicit Window(Connection& connection) : dataSet(connection, QStringLiteral("ADODataSet1"))
    {
        form.resize(1006, 698);
        workbench = new SqlWorkbench(&form, dataSet, &form);
        grid = new ResultGrid(&form, dataSet, *workbench, &form);
        form.show();
        QApplication::processEvents();
    }
    void paintGrid() { grid->DBGrid1->viewport()->repaint(); }

    QueryObject dataSet;
    QWidget form;
    SqlWorkbench* workbench;
    ResultGrid* grid;
};

void ExecuteDefaultStatement(benchmark::State& state)
{
    const int rows = int(state.range(0));
    Window window(database(rows).connection());
    for (auto _ : state) {
        window.workbench->SpeedButton1Click();
        window.paintGrid();
        if (window.workbench->Label5->text() != QStringLiteral("Records: %1").arg(rows))
            state.SkipWithError("the status line does not show the row count");
    }
    state.counters["peak_MB"] = peakMegabytes();
}

void TitleClickSort(benchmark::State& state)
{
    const int rows = int(state.range(0));
    Window window(database(rows).connection());
    window.workbench->SpeedButton1Click();
    const int besttime = int(window.dataSet.fieldNames().indexOf(QStringLiteral("besttime")));
    for (auto _ : state) {
        state.PauseTiming();
        window.dataSet.setSort(QString());
        state.ResumeTiming();
        window.grid->DBGrid1TitleBtnClick(besttime);
        window.paintGrid();
    }
    if (window.workbench->Label10->text() != QStringLiteral("Sort: besttime ASC"))
        state.SkipWithError("the title click did not sort");
    state.counters["peak_MB"] = peakMegabytes();
}

// "Export data to csv file" of the default statement's result, with the grid and the status
// line attached as in the window (they are told only where the walk ends).
void ExportDefaultResult(benchmark::State& state)
{
    const int rows = int(state.range(0));
    Window window(database(rows).connection());
    window.workbench->SpeedButton1Click();
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("export.csv"));
    for (auto _ : state) {
        exportCsv(window.dataSet, path);
        window.paintGrid();
    }
    state.counters["MB_written"] = double(QFileInfo(path).size()) / 1e6;
    state.counters["peak_MB"] = peakMegabytes();
}

BENCHMARK(ExecuteDefaultStatement)->Arg(250000)->Arg(500000)->Arg(750000)->Arg(1000000)->Arg(1500000)
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(TitleClickSort)->Arg(250000)->Arg(500000)->Arg(750000)->Arg(1000000)->Arg(1500000)
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(ExportDefaultResult)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
