#include "benchdatabase.h"

#include "common/programpaths.h"
#include "db/connection.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <stdexcept>

void run(QSqlQuery& query, const QString& sql)
{
    if (!query.exec(sql))
        throw std::runtime_error(sql.toStdString() + ": " + query.lastError().text().toStdString());
}

int resultCount(Connection& connection)
{
    QSqlQuery query(connection.database());
    run(query, QStringLiteral("select count(*) from RACR"));
    query.next();
    return query.value(0).toInt();
}

void fillProgramFolder(const QString& folder, int rows, const ResultShape& shape)
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
    // Joined, not arg(): the expressions hold printf's and strftime's own "%" markers.
    run(query, "INSERT INTO DRIVERS (drivername, driverlevel, image, drivershard, car_count)"
               " WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 2000)"
               " SELECT 'driver' || x, x % 60, 1 + x % 24, 'APEX', "
                   + shape.carCount + " FROM n");
    run(query, "INSERT INTO RACR (driver, car, [date], trackid, multiplayer, besttime, shard)"
               " WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < "
                   + QString::number(rows)
                   + ") SELECT 'driver' || (x % 2500), 'Make' || (x % 13) || ' Model ' || (x % 37),"
                     " strftime('%Y-%m-%d  %H:%M:%S', 1609459200 + "
                   + shape.seconds + ", 'unixepoch'), t.trackid, 1 + x % 2, " + shape.besttime
                   + ", CASE WHEN x % 3 = 0 THEN 'CHICANE' ELSE 'APEX' END"
                     " FROM n JOIN (SELECT trackid, row_number() OVER (ORDER BY trackid) - 1 AS k FROM TRACKLIST) t"
                     " ON t.k = x % 90");
    for (const QString& index : indexes)
        run(query, index);
    run(query, "ANALYZE TRACKLIST");   // as the program does when it creates the file
    db.commit();
    query.finish();
}
