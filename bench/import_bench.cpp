// The leaderboard import at full size: 180 answers of 100 records each from the simulator
// (about 18,000 records) into an empty database, the same import again (all duplicates), and the
// first import into a table that already holds 1,000,000 rows. Prints the figures and the targets:
// first run under 2 s, re-run under 1 s, cost per record at 1,000,000 rows within 1.5 times the
// cost at 0.
//
//   import_bench [--rows 1000000] [--records-per-track 100]
#include "benchdatabase.h"
#include "benchoptions.h"
#include "quiethost.h"
#include "db/connection.h"
#include "db/openresult.h"
#include "import/leaderboardimport.h"
#include "support/simulator.h"
#include "support/temphome.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlQuery>

#include <cstdio>

namespace {

// Earlier results of the same two drivers and of many others, spread over the tracks, written
// in one statement so that filling does not dominate the benchmark.
void fillRows(Connection& connection, int rows)
{
    QSqlQuery fill(connection.database());
    run(fill, QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
        "INSERT INTO RACR (driver, car, date, trackid, multiplayer, besttime, shard) "
        "SELECT CASE i % 3 WHEN 0 THEN 'KESTREL' WHEN 1 THEN 'PILOT000' ELSE 'filler' || (i % 997) END, "
        "'Falk Roadster S', printf('2010-%02d-%02d  %02d:%02d:%02d', 1 + i % 12, 1 + i % 28, i % 24, i % 60, i % 59), "
        "1 + i % 510, 1 + i % 2, printf('%d.%03d', 60 + i / 1000, i % 1000), "
        "CASE i % 5 WHEN 0 THEN 'CHICANE' ELSE 'APEX' END FROM n").arg(rows));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    BenchOptions options(QStringLiteral("The leaderboard import into an empty table, again, and into a full one."));
    options.addSize(QStringLiteral("rows"), QStringLiteral("results the full table holds"), QStringLiteral("1000000"));
    options.addSize(QStringLiteral("records-per-track"), QStringLiteral("records of each leaderboard answer"),
                    QStringLiteral("100"));
    options.process(app.arguments());
    Simulator sim({"--records-per-track", QString::number(options.size(QStringLiteral("records-per-track")))});

    TempHome emptyHome;
    Connection empty(emptyHome.file("connection.dsn"), emptyHome.file("RACR.db"));
    empty.open();
    OpenResult emptyQuery(empty, kImportMessageName);
    const ImportTiming first = timedImport(sim.base(), emptyQuery);
    const ImportTiming again = timedImport(sim.base(), emptyQuery);

    TempHome fullHome;
    Connection full(fullHome.file("connection.dsn"), fullHome.file("RACR.db"));
    full.open();
    OpenResult fullQuery(full, kImportMessageName);
    QElapsedTimer fillClock;
    fillClock.start();
    fillRows(full, options.size(QStringLiteral("rows")));
    const double fillSeconds = fillClock.nsecsElapsed() / 1e9;
    const int before = resultCount(full);
    const ImportTiming large = timedImport(sim.base(), fullQuery);

    const double perRecordEmpty = first.seconds / first.stored * 1e6;
    const double perRecordLarge = large.seconds / large.stored * 1e6;
    std::printf("first import into an empty table: %6.3f s  %6d records stored  %5.1f us/record  (target < 2 s)\n",
                first.seconds, first.stored, perRecordEmpty);
    std::printf("same import again (duplicates):   %6.3f s  %6d records stored                    (target < 1 s)\n",
                again.seconds, again.stored);
    std::printf("first import over %d rows: %6.3f s  %6d records stored  %5.1f us/record  (filled in %.1f s)\n",
                before, large.seconds, large.stored, perRecordLarge, fillSeconds);
    std::printf("cost per record at %d rows / at 0 rows: %.2f  (target <= 1.5)\n", before,
                perRecordLarge / perRecordEmpty);
    return 0;
}
