// The shared PostgreSQL database beside the embedded SQLite file, on the same machine and the
// same simulator: the full leaderboard import (180 answers of --records-per-track records) into an
// empty table, the same import again (all duplicates), four `racr import leaderboards` processes
// at once, and the default statement on --rows results as the window opens it (first rows shown,
// then the whole result read in the background). Every figure beside the SQLite one, with the
// ratio. Targets: imports within 1.5 times SQLite; the first rows within 0.3 s.
//
// The server is a private one (tests/support/pgcluster.sh --fsync) that writes through to its disk,
// as a club's does; the setting read back from the server is printed. Ctrl+C or SIGTERM stops it.
//
//   postgres_bench [--rows 1000000] [--records-per-track 100] [--runs 3]
//
// Each figure is the best of --runs runs, SQLite and PostgreSQL in turn, each run of the imports
// on new databases.
#include "benchdatabase.h"
#include "benchoptions.h"
#include "quiethost.h"
#include "db/connection.h"
#include "db/openresult.h"
#include "db/startingstatement.h"
#include "import/leaderboardimport.h"
#include "support/simulator.h"
#include "support/temphome.h"
#include "support/testwatchdog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QString script(const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("bash"), QStringList{QStringLiteral(RACR_PGCLUSTER_SCRIPT)} + arguments);
    if (!process.waitForFinished(120'000) || process.exitCode() != 0)
        throw std::runtime_error("pgcluster.sh " + arguments.join(' ').toStdString() + " failed");
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// The stop of the server, run by a SIGINT or SIGTERM handler: only what a signal handler may call.
std::string g_stopState;
void stopServerAndEnd(int signal)
{
    const pid_t child = fork();
    if (child == 0) {
        const char* const argv[] = {"/bin/bash", RACR_PGCLUSTER_SCRIPT, "stop", g_stopState.c_str(), nullptr};
        execv(argv[0], const_cast<char* const*>(argv));
        _exit(127);
    }
    if (child > 0)
        waitpid(child, nullptr, 0);
    _exit(128 + signal);
}

// A server of the benchmark's own, stopped when it ends, also by Ctrl+C or SIGTERM.
class Server {
public:
    Server()
    {
        g_stopState = m_state.path().toStdString();
        for (const int signal : {SIGINT, SIGTERM, SIGHUP})
            std::signal(signal, stopServerAndEnd);
        std::printf("%s\n", qPrintable(script({QStringLiteral("start"), m_state.path(), QStringLiteral("--fsync")})));
        QFile file(m_state.filePath(QStringLiteral("cluster.env")));
        file.open(QIODevice::ReadOnly);
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (line.startsWith("PGTEST_SOCKET="))
                m_socket = QString::fromUtf8(line.mid(14));
            if (line.startsWith("PGTEST_PORT="))
                m_port = QString::fromUtf8(line.mid(12));
        }
        QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("bench-admin"));
        admin.setHostName(m_socket);
        admin.setPort(m_port.toInt());
        admin.setUserName(QStringLiteral("racr"));
        admin.setDatabaseName(QStringLiteral("postgres"));
        if (!admin.open())
            throw std::runtime_error(admin.lastError().text().toStdString());
    }

    // fsync as the server holds it, and where the setting comes from.
    QString fsync() const
    {
        QSqlQuery query(QSqlDatabase::database(QStringLiteral("bench-admin")));
        if (!query.exec(QStringLiteral("SELECT setting, source FROM pg_settings WHERE name = 'fsync'")) || !query.next())
            throw std::runtime_error(query.lastError().text().toStdString());
        return query.value(0).toString() + QStringLiteral(" (set by: ") + query.value(1).toString() + ')';
    }
    ~Server()
    {
        QSqlDatabase::database(QStringLiteral("bench-admin"), false).close();
        QSqlDatabase::removeDatabase(QStringLiteral("bench-admin"));
        script({QStringLiteral("stop"), m_state.path()});
    }

    QString newDatabase()
    {
        const QString name = QStringLiteral("bench%1").arg(++m_databases);
        QSqlQuery admin(QSqlDatabase::database(QStringLiteral("bench-admin")));
        run(admin, QStringLiteral("CREATE DATABASE ") + name);
        return QStringLiteral("postgresql://racr@%1:%2/%3")
            .arg(QString::fromUtf8(QUrl::toPercentEncoding(m_socket)), m_port, name);
    }

private:
    QTemporaryDir m_state;
    QString m_socket;
    QString m_port;
    int m_databases = 0;
};

// A program folder on SQLite, or on a PostgreSQL database named in its racr.ini.
struct Folder {
    explicit Folder(const QString& database = {})
    {
        if (!database.isEmpty())
            home.write(QStringLiteral("racr.ini"), QStringLiteral("[settings]\ndatabase=%1\n").arg(database).toUtf8());
        connection.open();
    }
    TempHome home;
    Connection connection{home.file(QStringLiteral("connection.dsn")), home.file(QStringLiteral("RACR.db"))};
    OpenResult query{connection, kImportMessageName};
};

// Four members' `racr import leaderboards` started at once; seconds until the last has finished.
double fourAtOnce(const QString& base, const QStringList& databaseArguments)
{
    TempHome homes[4];
    QProcess imports[4];
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 4; ++i) {
        imports[i].setChildProcessModifier(endWithParent);
        imports[i].start(QStringLiteral(RACR_PATH), QStringList{"--home", homes[i].path(), "--service-base", base}
                                                         + databaseArguments + QStringList{"import", "leaderboards"});
    }
    for (QProcess& import : imports)
        if (!import.waitForFinished(300'000) || import.exitCode() != 0)
            throw std::runtime_error("an import failed: " + import.readAllStandardError().toStdString());
    return clock.nsecsElapsed() / 1e9;
}

// `rows` results of 2,500 drivers over the 90 tracks, 2,000 of the drivers with a DRIVERS row;
// times are numbers, as the service's are.
void fill(Connection& connection, int rows)
{
    QSqlQuery query(connection.database());
    const bool postgres = connection.engine() == Engine::Postgres;
    const QString numbers = postgres ? QStringLiteral("(SELECT generate_series(1, %1) AS x) AS n")
                                     : QStringLiteral("(WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n"
                                                      " WHERE x < %1) SELECT x FROM n) AS n");
    const QString time = postgres ? QStringLiteral("to_char(to_timestamp(1609459200 + x * 37) AT TIME ZONE 'UTC',"
                                                   " 'YYYY-MM-DD  HH24:MI:SS')")
                                  : QStringLiteral("strftime('%Y-%m-%d  %H:%M:%S', 1609459200 + x * 37, 'unixepoch')");
    const QString best = postgres ? QStringLiteral("(40 + x % 97) || '.' || to_char(x % 1000, 'FM000')")
                                  : QStringLiteral("printf('%d.%03d', 40 + x % 97, x % 1000)");
    run(query, QStringLiteral("INSERT INTO DRIVERS (drivername, driverlevel, image, drivershard)"
                              " SELECT 'driver' || x, x % 60, 1 + x % 24, 'APEX' FROM %1")
                   .arg(numbers.arg(2000)));
    run(query, QStringLiteral("INSERT INTO RACR (driver, car, date, trackid, multiplayer, besttime, shard)"
                              " SELECT 'driver' || (x % 2500), 'Make' || (x % 13) || ' Model ' || (x % 37), %1,"
                              " t.trackid, 1 + x % 2, %2, CASE WHEN x % 3 = 0 THEN 'CHICANE' ELSE 'APEX' END"
                              " FROM %3 JOIN (SELECT trackid, row_number() OVER (ORDER BY trackid) - 1 AS k"
                              " FROM TRACKLIST) t ON t.k = x % 90")
                   .arg(time, best, numbers.arg(rows)));
    // What a club server's autovacuum does after such an insert.
    if (postgres)
        run(query, QStringLiteral("VACUUM ANALYZE"));
}

struct Opening {
    double firstRows;   // open() returned: the window shows the first rows
    double whole;       // every row read, in turns of the event loop
};

// The default statement as the workbench runs it: background reading on, the engine's wait
// handled as the window's event loop would.
Opening openAsTheWindowDoes(Connection& connection, int rows)
{
    OpenResult openResult(connection, kResultsMessageName);
    openResult.setBackgroundFetch(true);
    openResult.setWaitHandler([] { return false; });
    openResult.setText(startingStatement());
    QElapsedTimer clock;
    clock.start();
    openResult.open();
    const double firstRows = clock.nsecsElapsed() / 1e9;
    while (openResult.isFetching())
        QCoreApplication::processEvents();
    const double whole = clock.nsecsElapsed() / 1e9;
    if (openResult.recordCount() != rows)
        throw std::runtime_error("the default statement did not show every row");
    return {firstRows, whole};
}

Opening bestOf(const Opening& a, const Opening& b)
{
    return {std::min(a.firstRows, b.firstRows), std::min(a.whole, b.whole)};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);   // each figure as it comes, also into a file
    BenchOptions options(QStringLiteral("PostgreSQL (fsync on) beside SQLite: leaderboard imports and the default "
                                        "statement's first rows in the window."));
    options.addSize(QStringLiteral("rows"), QStringLiteral("results the default statement runs on"),
                     QStringLiteral("1000000"));
    options.addSize(QStringLiteral("records-per-track"), QStringLiteral("records of each leaderboard answer"),
                     QStringLiteral("100"));
    options.addSize(QStringLiteral("runs"), QStringLiteral("runs of each measurement, taken in turn; the best counts"),
                     QStringLiteral("3"));
    options.process(app.arguments());
    const int rows = options.size(QStringLiteral("rows"));
    const int runs = options.size(QStringLiteral("runs"));

    Server server;
    std::printf("server setting fsync = %s\n", qPrintable(server.fsync()));
    Simulator sim({"--records-per-track", QString::number(options.size(QStringLiteral("records-per-track")))});

    // Each run on new databases, the engines in turn, so that a busy spell of the machine falls on
    // both alike; an import of a few hundred milliseconds varies by a third from run to run here.
    double sqliteFirst = 1e9, sqliteAgain = 1e9, pgFirst = 1e9, pgAgain = 1e9;
    int stored = 0;
    for (int run = 0; run < runs; ++run) {
        Folder sqlite;
        sqliteFirst = std::min(sqliteFirst, timedImport(sim.base(), sqlite.query).seconds);
        sqliteAgain = std::min(sqliteAgain, timedImport(sim.base(), sqlite.query).seconds);
        Folder postgres(server.newDatabase());
        pgFirst = std::min(pgFirst, timedImport(sim.base(), postgres.query).seconds);
        pgAgain = std::min(pgAgain, timedImport(sim.base(), postgres.query).seconds);
        stored = resultCount(postgres.connection);
    }

    // SQLite: four members sharing one program folder's file; PostgreSQL: one server database.
    TempHome shared;
    const double sqliteFour = fourAtOnce(sim.base(), {"--home", shared.path()});
    const QString fourDatabase = server.newDatabase();
    const double pgFour = fourAtOnce(sim.base(), {"--database", fourDatabase});
    Folder fourCheck(fourDatabase);

    std::printf("%-52s %9s %11s %7s\n", "", "SQLite", "PostgreSQL", "ratio");
    const auto line = [](const std::string& what, double a, double b) {
        std::printf("%-52s %7.3f s %9.3f s %7.2f\n", what.c_str(), a, b, b / a);
    };
    line("import into an empty table (target <= 1.5)", sqliteFirst, pgFirst);
    line("same import again, all duplicates (target <= 1.5)", sqliteAgain, pgAgain);
    line("four racr import leaderboards at once", sqliteFour, pgFour);
    std::printf("rows stored on PostgreSQL: %d by one import, %d by four at once\n", stored,
                resultCount(fourCheck.connection));

    Folder sqliteLarge;
    fill(sqliteLarge.connection, rows);
    Folder postgresLarge(server.newDatabase());
    fill(postgresLarge.connection, rows);
    Opening sqliteOpen{1e9, 1e9}, pgOpen{1e9, 1e9};
    for (int run = 0; run < runs; ++run) {
        sqliteOpen = bestOf(sqliteOpen, openAsTheWindowDoes(sqliteLarge.connection, rows));
        pgOpen = bestOf(pgOpen, openAsTheWindowDoes(postgresLarge.connection, rows));
    }
    const std::string size = QLocale(QLocale::English).toString(rows).toStdString();
    line("default statement on " + size + " results, first rows", sqliteOpen.firstRows, pgOpen.firstRows);
    std::printf("%-52s %21s\n", "", "(PostgreSQL target <= 0.300 s)");
    line("default statement on " + size + " results, whole", sqliteOpen.whole, pgOpen.whole);
    return 0;
}
