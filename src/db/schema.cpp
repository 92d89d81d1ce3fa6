#include "schema.h"

#include "app/error.h"
#include "webservice/tracktable.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {

const char* const statements[] = {
    // Created in the order the catalogue then lists them.
    "CREATE TABLE DRIVERS (drivername TEXT NOT NULL, driverlevel INTEGER, statusmessage TEXT,"
    " image INTEGER, drivershard TEXT, tot_race_won INTEGER, tot_race_lost INTEGER,"
    " tot_avg_place REAL, sp_race_won INTEGER, sp_race_lost INTEGER, sp_avg_place REAL,"
    " mp_race_won INTEGER, mp_race_lost INTEGER, mp_avg_place REAL, sp_bestwinstreak INTEGER,"
    " mp_bestwinstreak INTEGER, car_count INTEGER)",
    "CREATE UNIQUE INDEX DRIVERS_drivername ON DRIVERS (drivername)",
    // date and besttime are the service's texts and must compare equal to what was inserted, so
    // they keep text affinity.
    "CREATE TABLE RACR (id INTEGER PRIMARY KEY, driver TEXT, car TEXT, date TEXT,"
    " trackid INTEGER, multiplayer INTEGER, besttime TEXT, shard TEXT)",
    "CREATE UNIQUE INDEX RACR_duplicate_check ON RACR"
    " (driver, shard, trackid, date, multiplayer, besttime)",
    "CREATE TABLE TRACKLIST (trackid INTEGER PRIMARY KEY, trackname TEXT NOT NULL)",
    "CREATE VIEW weeklybest AS"
    " SELECT TRACKLIST.trackname, iif(RACR.multiplayer=1,'MP','SP') AS Racetype,"
    " MIN(RACR.besttime) AS besttime, RACR.driver, RACR.car, RACR.date"
    " FROM RACR INNER JOIN TRACKLIST ON TRACKLIST.trackid=RACR.trackid"
    " GROUP BY TRACKLIST.trackname, RACR.multiplayer"
    " ORDER BY TRACKLIST.trackname, RACR.multiplayer",
    "CREATE VIEW driverstats AS"
    " SELECT RACR.driver, TRACKLIST.trackname, iif(RACR.multiplayer=1,'MP','SP') AS Racetype,"
    " RACR.besttime, RACR.car, RACR.date, RACR.shard"
    " FROM RACR INNER JOIN TRACKLIST ON TRACKLIST.trackid=RACR.trackid"
    " ORDER BY RACR.driver, TRACKLIST.trackname, RACR.multiplayer, RACR.besttime",
};

void run(QSqlQuery& query, const QString& sql)
{
    if (!query.exec(sql))
        throw racr::ProviderError(query.lastError().text());
}

int count(const QSqlDatabase& db, const QString& sql)
{
    QSqlQuery query(db);
    run(query, sql);
    return query.next() ? query.value(0).toInt() : 0;
}

} // namespace

namespace schema {

bool isEmpty(const QSqlDatabase& db)
{
    return count(db, QStringLiteral("SELECT count(*) FROM sqlite_master")) == 0;
}

void create(const QSqlDatabase& db)
{
    QSqlQuery query(db);
    for (const char* sql : statements)
        run(query, QString::fromLatin1(sql));
    if (!query.prepare(QStringLiteral("INSERT INTO TRACKLIST (trackid, trackname) VALUES (?, ?)")))
        throw racr::ProviderError(query.lastError().text());
    for (const auto& track : racr::trackTable()) {
        query.bindValue(0, track.eventId);
        query.bindValue(1, track.name);
        if (!query.exec())
            throw racr::ProviderError(query.lastError().text());
    }
}

} // namespace schema
