// The shared PostgreSQL database beside the embedded SQLite file, on the same machine and the
// same simulator: the full leaderboard import (180 answers of 100 records) into an empty table,
// the same import again (all duplicates), four `racr import leaderboards` processes at once, and
// the default statement on 1,000,000 results (the query object's open: run, fetch, count).
// Target: each PostgreSQL import within 2 times the SQLite figure.
//
// The server is a private one (tests/support/pgcluster.sh) with fsync on, as a club's would be.
#include "quiethost.h"
#include "db/connection.h"
#include "db/queryobject.h"
#include "workbench/sqlworkbench.h"
#include "import/leaderboardimport.h"
#include "support/simulator.h"
#include "support/temphome.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>

#include <cstdio>
#include <stdexcept>

namespace {

void run(const QSqlDatabase& db, const QString& sql)
{
    QSqlQuery query(db);
    if (!query.exec(sql))
        throw std::runtime_error(query.lastError().text().toStdString());
}

QString script(const QString& action, const QString& state)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("bash"), {QStringLiteral(RACR_PGCLUSTER_SCRIPT), action, state});
    if (!process.waitForFinished(120'000) || process.exitCode() != 0)
        throw std::runtime_error("pgcluster.sh " + action.toStdString() + " failed");
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// A server of the benchmark's own, stopped when it ends.
class Server {
public:
    Server()
    {
        std::printf("%s\n", qPrintable(script(QStringLiteral("start"), m_state.path())));
        QFile file(m_state.filePath(QStringLiteral("cluster.env")));
        file.open(QIODevice::ReadOnly);
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (line.startsWith("PGTEST_SOCKET="))
                m_socket = QString::fromUtf8(line.mid(14));
            if (line.startsWith("PGTEST_PORT="))
                m_port = QString::fromUtf8(line.mid(12));
        }
        // The tests' server skips fsync; a club's server does not.
        QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("bench-admin"));
        admin.setHostName(m_socket);
        admin.setPort(m_port.toInt());
        admin.setUserName(QStringLiteral("racr"));
        admin.setDatabaseName(QStringLiteral("postgres"));
        if (!admin.open())
            throw std::runtime_error(admin.lastError().text().toStdString());
        run(admin, QStringLiteral("ALTER SYSTEM SET fsync = on"));
        run(admin, QStringLiteral("SELECT pg_reload_conf()"));
    }
    ~Server()
    {
        QSqlDatabase::database(QStringLiteral("bench-admin"), false).close();
        QSqlDatabase::removeDatabase(QStringLiteral("bench-admin"));
        script(QStringLiteral("stop"), m_state.path());
    }

    QString newDatabase()
    {
        const QString name = QStringLiteral("bench%1").arg(++m_databases);
        run(QSqlDatabase::database(QStringLiteral("bench-admin")), QStringLiteral("CREATE DATABASE ") + name);
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
    QueryObject query{connection, kImportMessageName};
};

// Four members' `racr import leaderboards` started at once; seconds until the last has finished.
double fourAtOnce(const QString& base, const QStringList& databaseArguments)
{
    TempHome homes[4];
    QProcess imports[4];
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 4; ++i)
        imports[i].start(QStringLiteral(RACR_PATH), QStringList{"--home", homes[i].path(), "--service-base", base}
                                                         + databaseArguments + QStringList{"import", "leaderboards"});
    for (QProcess& import : imports)
        if (!import.waitForFinished(300'000) || import.exitCode() != 0)
            throw std::runtime_error("an import failed: " + import.readAllStandardError().toStdString());
    return clock.nsecsElapsed() / 1e9;
}

int count(Connection& connection)
{
    QSqlQuery query(connection.database());
    if (!query.exec(QStringLiteral("select count(*) from RACR")) || !query.next())
        throw std::runtime_error(query.lastError().text().toStdString());
    return query.value(0).toInt();
}

// 1,000,000 results of 2,500 drivers over the 90 tracks, 2,000 of the drivers with a DRIVERS row.
void fillMillion(Connection& connection)
{
    const QSqlDatabase db = connection.database();
    const bool postgres = connection.engine() == Engine::Postgres;
    const QString numbers = postgres ? QStringLiteral("(SELECT generate_series(1, %1) AS x) AS n")
                                     : QStringLiteral("(WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n"
                                                      " WHERE x < %1) SELECT x FROM n) AS n");
    const QString time = postgres ? QStringLiteral("to_char(to_timestamp(1609459200 + x * 37) AT TIME ZONE 'UTC',"
                                                   " 'YYYY-MM-DD  HH24:MI:SS')")
                                  : QStringLiteral("strftime('%Y-%m-%d  %H:%M:%S', 1609459200 + x * 37, 'unixepoch')");
    const QString best = postgres ? QStringLiteral("to_char(x % 7, 'FM00') || ':' || to_char((x / 7) % 60, 'FM00')"
                                                   " || '.' || to_char(x % 1000, 'FM000')")
                                  : QStringLiteral("printf('%02d:%02d.%03d', x % 7, (x / 7) % 60, x % 1000)");
    run(db, QStringLiteral("INSERT INTO DRIVERS (drivername, driverlevel, image, drivershard)"
                           " SELECT 'driver' || x, x % 60, 1 + x % 24, 'APEX' FROM %1")
                .arg(numbers.arg(2000)));
    run(db, QStringLiteral("INSERT INTO RACR (driver, car, date, trackid, multiplayer, besttime, shard)"
                           " SELECT 'driver' || (x % 2500), 'Make' || (x % 13) || ' Model ' || (x % 37), %1,"
                           " t.trackid, 1 + x % 2, %2, CASE WHEN x % 3 = 0 THEN 'CHICANE' ELSE 'APEX' END"
                           " FROM %3 JOIN (SELECT trackid, row_number() OVER (ORDER BY trackid) - 1 AS k"
                           " FROM TRACKLIST) t ON t.k = x % 90")
                .arg(time, best, numbers.arg(1000000)));
    if (postgres)
        run(db, QStringLiteral("ANALYZE"));
}

double defaultStatement(Connection& connection)
{
    QueryObject dataSet(connection, kResultsMessageName);
    dataSet.setText(SqlWorkbench::defaultStatement());
    QElapsedTimer clock;
    clock.start();
    dataSet.open();
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (dataSet.recordCount() != 1000000)
        throw std::runtime_error("the default statement did not show 1,000,000 rows");
    return seconds;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Server server;
    Simulator sim({"--records-per-track", "100"});

    Folder sqlite;
    const double sqliteFirst = timedImport(sim.base(), sqlite.query).seconds;
    const double sqliteAgain = timedImport(sim.base(), sqlite.query).seconds;
    Folder postgres(server.newDatabase());
    const double pgFirst = timedImport(sim.base(), postgres.query).seconds;
    const double pgAgain = timedImport(sim.base(), postgres.query).seconds;
    const int stored = count(postgres.connection);

    // SQLite: four members sharing one program folder's file; PostgreSQL: one server database.
    TempHome shared;
    const double sqliteFour = fourAtOnce(sim.base(), {"--home", shared.path()});
    const QString fourDatabase = server.newDatabase();
    const double pgFour = fourAtOnce(sim.base(), {"--database", fourDatabase});
    Folder fourCheck(fourDatabase);

    std::printf("%-42s %9s %11s %7s\n", "", "SQLite", "PostgreSQL", "ratio");
    const auto line = [](const char* what, double a, double b) {
        std::printf("%-42s %7.3f s %9.3f s %7.2f\n", what, a, b, b / a);
    };
    line("import into an empty table", sqliteFirst, pgFirst);
    line("same import again (all duplicates)", sqliteAgain, pgAgain);
    line("four racr import leaderboards at once", sqliteFour, pgFour);
    std::printf("rows stored on PostgreSQL: %d by one import, %d by four at once  (target: ratios <= 2)\n", stored,
                count(fourCheck.connection));

    Folder sqliteLarge;
    fillMillion(sqliteLarge.connection);
    Folder postgresLarge(server.newDatabase());
    fillMillion(postgresLarge.connection);
    line("default statement on 1,000,000 results", defaultStatement(sqliteLarge.connection),
         defaultStatement(postgresLarge.connection));
    return 0;
}
