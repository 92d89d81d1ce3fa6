// The SQL workbench and the two row commands on large databases, beside the sqlite3 shell on the
// same file in the same run. For each size (default 1,000,000 and 3,000,000 results) it fills a
// database this program created, then measures, each in a process of its own so that its peak
// memory is its own:
//
//   gui select *   "Execute SQL" with "select * from RACR": first rows painted
//   gui default    the default statement: first rows painted, whole result read with the count on
//                  the status line, then a title click sort, then a filter under `driver` and
//                  one more under `driverlevel` (a number); peak memory of the window
//   racr query     "select * from RACR" printed to /dev/null: time and peak memory
//   racr export    the same to a CSV file: time and peak memory
//   sqlite3        the shell's first line and whole output of both statements
//
// Targets on a two-core machine: select * first rows < 0.1 s at any size; the default
// statement's first rows < 0.3 s and whole result < 1.2 s at 1M; 3M at most 3.3 times 1M; window
// memory at 3M < 250 MB; each filter < 0.5 s at 1M; racr query/export peak < 40 MB at 3M. Needs GNU time (/usr/bin/time).
//
//   workbench_bench [--rows 1000000,3000000]

#include "common/programpaths.h"
#include "db/connection.h"
#include "db/queryobject.h"
#include "workbench/filterheader.h"
#include "workbench/resultgrid.h"
#include "workbench/sqleditor.h"
#include "workbench/sqlworkbench.h"

#include <QApplication>
#include <QLineEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>
#include <QWidget>

#include <cstdio>
#include <map>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

const QString kSelectAll = QStringLiteral("select * from RACR");

void run(QSqlQuery& query, const QString& sql)
{
    if (!query.exec(sql))
        throw std::runtime_error(query.lastError().text().toStdString());
}

// A program folder whose RACR table holds `rows` results: 2,500 drivers (2,000 of them with a
// DRIVERS row and an avatar), the 90 tracks, both race types, distinct dates and times. The
// schema is the one the program gives a new database.
void fill(const QString& folder, int rows)
{
    ProgramPaths::setHome(folder);
    Connection connection(QDir(folder).filePath("connection.dsn"), QDir(folder).filePath("RACR.db"));
    connection.open();
    QSqlDatabase db = connection.database();
    QSqlQuery query(db);
    // The indexes are made again after the rows: the same file, filled in a fraction of the time.
    QStringList names;
    QStringList indexes;
    run(query, "SELECT name, sql FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL");
    while (query.next()) {
        names.append(query.value(0).toString());
        indexes.append(query.value(1).toString());
    }
    for (const QString& name : names)
        run(query, "DROP INDEX " + name);
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
    for (const QString& index : indexes)
        run(query, index);
    run(query, "ANALYZE TRACKLIST");   // as the program does when it creates the file
    db.commit();
    query.finish();
}

// This process's peak resident memory so far.
double peakMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

double msSince(const QElapsedTimer& clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

// In a child: the main window's client area on the folder's database, one statement run as the
// user runs it. Prints key=value lines.
int windowChild(const QString& folder, const QString& sql, bool sortAfter)
{
    ProgramPaths::setHome(folder);
    Connection connection(QDir(folder).filePath("connection.dsn"), QDir(folder).filePath("RACR.db"));
    connection.open();
    QueryObject dataSet(connection, kResultsMessageName);
    QWidget form;
    form.resize(1006, 698);
    auto* workbench = new SqlWorkbench(&form, dataSet, &form);
    auto* grid = new ResultGrid(&form, dataSet, *workbench, &form);
    form.show();
    QApplication::processEvents();
    workbench->sqlEditor->setText(sql);

    QTextStream out(stdout);
    QElapsedTimer clock;
    clock.start();
    workbench->runStatement();
    grid->grid->viewport()->repaint();
    out << "first_ms=" << msSince(clock) << '\n';
    while (dataSet.isFetching())
        QApplication::processEvents();
    grid->grid->viewport()->repaint();
    out << "whole_ms=" << msSince(clock) << '\n';
    out << "label=" << workbench->recordsLabel->text() << '\n';
    out << "loaded_peak_mb=" << peakMegabytes() << '\n';
    if (sortAfter) {
        const int besttime = int(dataSet.fieldNames().indexOf(QStringLiteral("besttime")));
        clock.restart();
        grid->sortByColumn(besttime);
        grid->grid->viewport()->repaint();
        out << "sort_ms=" << msSince(clock) << '\n';
        // A filter typed under a title as Enter applies it: a text, then a number besides.
        const auto filter = [&](const char* field, const char* text) {
            QLineEdit* edit = grid->grid->filters->field(int(dataSet.fieldNames().indexOf(QLatin1String(field))));
            edit->setText(QLatin1String(text));
            clock.restart();
            Q_EMIT edit->returnPressed();
            grid->grid->viewport()->repaint();
            return msSince(clock);
        };
        out << "filter_text_ms=" << filter("driver", "DRIVER12") << '\n';
        out << "filter_number_ms=" << filter("driverlevel", ">30") << '\n';
        out << "filter_label=" << workbench->recordsLabel->text() << '\n';
    }
    return 0;
}

struct Outcome {
    std::map<QString, QString> values;   // the child's key=value lines
    double wallMs = 0;
    double firstLineMs = -1;   // when its first line of output came
    double peakMb = 0;
};

// Runs a program with its output read through a pipe (and dropped unless it is key=value),
// and gives its own peak memory. GNU time starts it: a child started straight from this process
// would count this process's memory as its own.
Outcome spawn(const QStringList& command)
{
    QTemporaryDir scratch;
    const QString peakFile = scratch.filePath(QStringLiteral("peak"));
    const QStringList arguments = QStringList{"/usr/bin/time", "-f", "%M", "-o", peakFile} + command;
    std::vector<QByteArray> bytes;
    for (const QString& a : arguments)
        bytes.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);

    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    Outcome outcome;
    QElapsedTimer clock;
    clock.start();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start " + bytes[0].toStdString());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);

    QByteArray text;
    char buffer[1 << 16];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0) {
        if (outcome.firstLineMs < 0 && memchr(buffer, '\n', std::size_t(n)))
            outcome.firstLineMs = msSince(clock);
        if (text.size() < (1 << 20))
            text.append(buffer, std::min<qsizetype>(n, (1 << 20) - text.size()));
    }
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    outcome.wallMs = msSince(clock);
    QFile peak(peakFile);
    if (peak.open(QIODevice::ReadOnly))
        outcome.peakMb = peak.readAll().trimmed().toDouble() / 1024.0;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(command.join(' ').toStdString() + " failed");
    for (const QByteArray& line : text.split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq > 0 && !line.contains(';'))
            outcome.values[QString::fromUtf8(line.left(eq))] = QString::fromUtf8(line.mid(eq + 1));
    }
    return outcome;
}

void report(const char* what, const QString& figures)
{
    std::printf("  %-28s %s\n", what, figures.toUtf8().constData());
    std::fflush(stdout);
}

QString ms(const QString& value)
{
    return QString::number(value.toDouble(), 'f', 0) + QStringLiteral(" ms");
}

QString ms(double value)
{
    return QString::number(value, 'f', 0) + QStringLiteral(" ms");
}

QString mb(double value)
{
    return QString::number(value, 'f', 0) + QStringLiteral(" MB");
}

void measure(int rows)
{
    QTemporaryDir folder;   // removed at the end of the size, whatever happens
    if (!folder.isValid())
        throw std::runtime_error("no temporary folder");
    QElapsedTimer clock;
    clock.start();
    fill(folder.path(), rows);
    std::printf("%d results (database %.0f MB, filled in %.0f s)\n", rows,
                double(QFileInfo(folder.filePath("RACR.db")).size()) / 1e6, double(clock.elapsed()) / 1000.0);

    const QString self = QCoreApplication::applicationFilePath();
    const QString db = folder.filePath("RACR.db");
    const QString defaultStatement = SqlWorkbench::defaultStatement();

    const Outcome all = spawn({self, "--child", "window", folder.path(), kSelectAll});
    report("gui select * first rows", ms(all.values.at("first_ms")) + "  (all: " + ms(all.values.at("whole_ms"))
                                          + ", " + mb(all.peakMb) + ")");
    const Outcome def = spawn({self, "--child", "window-sort", folder.path(), defaultStatement});
    report("gui default first rows", ms(def.values.at("first_ms")));
    report("gui default whole + count", ms(def.values.at("whole_ms")) + "  (" + def.values.at("label") + ")");
    report("gui title click sort", ms(def.values.at("sort_ms")));
    report("gui filter text (driver)", ms(def.values.at("filter_text_ms")));
    report("gui filter text and number", ms(def.values.at("filter_number_ms")) + "  (" + def.values.at("filter_label") + ")");
    report("gui peak memory", mb(def.values.at("loaded_peak_mb").toDouble()) + " loaded, " + mb(def.peakMb)
                                  + " after the sort");

    const Outcome query = spawn({QStringLiteral(RACR_PATH), "query", "--home", folder.path(), kSelectAll});
    report("racr query select *", ms(query.wallMs) + ", " + mb(query.peakMb));
    const Outcome exported = spawn({QStringLiteral(RACR_PATH), "export", "--home", folder.path(), "--sql", kSelectAll,
                                    folder.filePath("export.csv")});
    report("racr export select *", ms(exported.wallMs) + ", " + mb(exported.peakMb));

    const Outcome shellAll = spawn({"sqlite3", db, kSelectAll});
    report("sqlite3 select *", "first line " + ms(shellAll.firstLineMs) + ", all " + ms(shellAll.wallMs) + ", "
                                   + mb(shellAll.peakMb));
    const Outcome shellDefault = spawn({"sqlite3", db, QString(defaultStatement).replace('\n', ' ')});
    report("sqlite3 default", "first line " + ms(shellDefault.firstLineMs) + ", all " + ms(shellDefault.wallMs)
                                  + ", " + mb(shellDefault.peakMb));
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    try {
        if (arguments.size() == 5 && arguments.at(1) == QLatin1String("--child"))
            return windowChild(arguments.at(3), arguments.at(4), arguments.at(2) == QLatin1String("window-sort"));
        QStringList sizes{QStringLiteral("1000000"), QStringLiteral("3000000")};
        if (arguments.size() == 3 && arguments.at(1) == QLatin1String("--rows"))
            sizes = arguments.at(2).split(',');
        else if (arguments.size() != 1) {
            std::fprintf(stderr, "usage: workbench_bench [--rows N,N...]\n");
            return 2;
        }
        for (const QString& size : sizes)
            measure(size.toInt());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "workbench_bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
