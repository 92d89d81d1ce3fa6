// racr publish on a large database, beside the sqlite3 shell running the same statements.
//
// For each size (default 1,000,000 results; --rows N,N or sizes as arguments for others; --help
// tells how) a fresh program folder gets a
// database the program created, filled with results of 2,500 drivers on the 90 tracks over about
// a year, and 2,000 driver rows. Then, each in a process of its own under GNU time:
//   racr publish   the whole site into a new folder: time and peak memory
//   sqlite3        the statements the publish runs, their rows written to /dev/null
// and the ratio of the two times. Goal: a few seconds and under 100 MB for 1,000,000 results.
#include "common/programpaths.h"
#include "db/connection.h"
#include "publish/sitedata.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>
#include <stdexcept>

namespace {

void run(QSqlQuery& query, const QString& sql)
{
    if (!query.exec(sql))
        throw std::runtime_error(sql.toStdString() + ": " + query.lastError().text().toStdString());
}

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
    run(query, "INSERT INTO DRIVERS (drivername, driverlevel, image, drivershard, car_count)"
               " WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 2000)"
               " SELECT 'driver' || x, x % 60, 1 + x % 24, 'APEX', x % 9 FROM n");
    // Times as the service sends them, seconds with three decimals ("86.425").
    run(query, QStringLiteral(
                   "INSERT INTO RACR (driver, car, [date], trackid, multiplayer, besttime, shard)"
                   " WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < %1)"
                   " SELECT 'driver' || (x % 2500), 'Make' || (x % 13) || ' Model ' || (x % 37),"
                   " strftime('%Y-%m-%d  %H:%M:%S', 1609459200 + (x * 31) % 31536000, 'unixepoch'),"
                   " t.trackid, 1 + x % 2, printf('%d.%03d', 60 + (x * 7) % 97, (x * 13) % 1000),"
                   " CASE WHEN x % 3 = 0 THEN 'CHICANE' ELSE 'APEX' END"
                   " FROM n JOIN (SELECT trackid, row_number() OVER (ORDER BY trackid) - 1 AS k FROM TRACKLIST) t"
                   " ON t.k = x % 90")
                   .arg(rows));
    for (const QString& index : indexes)
        run(query, index);
    run(query, "ANALYZE TRACKLIST");
    db.commit();
    query.finish();
}

struct Outcome {
    double seconds = 0;
    double peakMb = 0;
};

// GNU time gives the child's own peak memory; its output goes to /dev/null.
Outcome timed(const QStringList& command)
{
    QTemporaryDir scratch;
    const QString peakFile = scratch.filePath("peak");
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start("/usr/bin/time", QStringList{"-f", "%M", "-o", peakFile} + command);
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
        throw std::runtime_error(command.join(' ').toStdString() + " failed: "
                                 + process.readAllStandardError().toStdString());
    Outcome outcome;
    outcome.seconds = double(clock.nsecsElapsed()) / 1e9;
    QFile peak(peakFile);
    if (peak.open(QIODevice::ReadOnly))
        outcome.peakMb = peak.readAll().trimmed().toDouble() / 1024.0;
    return outcome;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "racr publish on databases of the given numbers of results (default 1000000), each beside the sqlite3\n"
        "shell running the same statements: time, peak memory and the ratio of the times.");
    parser.addHelpOption();
    parser.addOption(QCommandLineOption("rows", "The numbers of results, separated by commas.", "N,N"));
    parser.addPositionalArgument("N", "More numbers of results.", "[N...]");
    parser.process(app);   // --help prints the usage and ends; an unknown option is an error
    QStringList words = parser.positionalArguments();
    if (parser.isSet("rows"))
        words = parser.value("rows").split(',') + words;
    QList<int> sizes;
    for (const QString& word : words) {
        bool number = false;
        const int size = word.toInt(&number);
        if (!number || size < 1) {
            std::fprintf(stderr, "publish_bench: \"%s\" is no number of results (1 or more)\n", qPrintable(word));
            return 2;
        }
        sizes.append(size);
    }
    if (sizes.isEmpty())
        sizes.append(1'000'000);
    try {
        for (const int rows : sizes) {
            QTemporaryDir home;
            fill(home.path(), rows);
            const QString db = QDir(home.path()).filePath("RACR.db");
            const Outcome publish = timed({RACR_PATH, "--home", home.path(), "publish", home.filePath("site")});
            const QString statements =
                publish::siteStatements(Engine::Sqlite, publish::SiteOptions{}).join(QStringLiteral(";\n")) + ';';
            const Outcome shell = timed({"sqlite3", db, statements});
            const int pages = int(QDir(home.filePath("site")).entryList({"*.html"}, QDir::Files).size());
            std::printf("%d results: racr publish %.2f s, %.0f MB peak, %d pages; sqlite3 same statements %.2f s, "
                        "%.0f MB peak; ratio %.2f\n",
                        rows, publish.seconds, publish.peakMb, pages, shell.seconds, shell.peakMb,
                        publish.seconds / shell.seconds);
            std::fflush(stdout);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "publish_bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
