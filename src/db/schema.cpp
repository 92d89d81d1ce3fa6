#include "db/schema.h"

#include "common/error.h"
#include "db/sqlerrortext.h"
#include "common/tracktable.h"

#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// A time is a number when it is digits with at most one decimal point ("86.372", "5.", ".5"); an
// empty text, "DNF" or NULL is none. Both engines read that test alike (PostgreSQL's trim(text,
// chars) is SQLite's), it never fails where PostgreSQL's cast would, and NUMERIC takes any length
// of digits. The workbench's first statement orders by whether a time is none, then its value,
// then its text (NULL first), so a time that is no number comes after every number on both engines.
const char* const kTrackOrder =
    "CREATE INDEX RACR_track_order ON RACR"
    " (trackid, multiplayer DESC,"
    " case when trim(besttime,'0123456789') in ('','.') and besttime not in ('','.') then cast(besttime as numeric) end is null,"
    " case when trim(besttime,'0123456789') in ('','.') and besttime not in ('','.') then cast(besttime as numeric) end,"
    " besttime, driver, car, date)";
const char* const kTrackNames = "CREATE UNIQUE INDEX TRACKLIST_trackname ON TRACKLIST (trackname)";

const char* const tables[] = {
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
    // The workbench's first statement orders by track name, race type and time as a number. With
    // these the engine walks the tracks by name and each track's results in that order, reading
    // only the index: no sort at all and no random lookup per row, so the first rows come at once
    // and a larger table costs no more per row. The time's text is in the index too, since the
    // statement shows it. The engine matches an indexed expression by its text, so the time is
    // written exactly as the statement writes it; and only a track name known to be unique tells
    // it that one track's rows in index order complete the order (else it sorts each track's
    // results again).
    kTrackOrder,
    kTrackNames,
};

// The two indexes above as earlier builds wrote them: the time's expression in other letters and
// the track names not declared unique, so the engine sorted each track's results; then the time
// read as a number without regard to whether it is one, so an empty time came first.
const char* const kEarlierTrackOrders[] = {
    "CREATE INDEX RACR_track_order ON RACR"
    " (trackid, multiplayer DESC, CAST(besttime AS REAL), besttime, driver, car, date)",
    "CREATE INDEX RACR_track_order ON RACR"
    " (trackid, multiplayer DESC, cast(besttime as real), besttime, driver, car, date)",
};
const char* const kEarlierTrackNames = "CREATE INDEX TRACKLIST_trackname ON TRACKLIST (trackname)";

// A saved query: its current text and the texts earlier builds wrote for it. The texts are compared
// with the catalogue word for word, so a text once released must never change here.
struct SavedQuery {
    const char* name;
    const char* current;
    std::vector<const char*> earlier;
};

const SavedQuery savedQueries[] = {
    // Per ISO week of the result's date (its first ten characters, "2011-06-01"), track and race
    // type: the fastest time, compared as a number ("86.372" before "112.215"), with the driver,
    // car and date of that result. The week is the one of its Thursday, whose year is the week's
    // year ("2010-01-03" is in 2009-W53). Equal times go to the earliest result. The columns
    // earlier builds showed keep their places; the week comes last. Results whose date is not a
    // date (nor one that cannot exist, such as "2011-02-30", which date() would carry into March)
    // have no week; they come after the weeks of their track and race type, as on PostgreSQL. A
    // time that is no number (empty, "DNF", NULL; see kTrackOrder) is never a best.
    {"weeklybest",
     "CREATE VIEW weeklybest AS"
     " SELECT trackname, Racetype, besttime, driver, car, date, week FROM"
     " (SELECT TRACKLIST.trackname, iif(r.multiplayer=1,'MP','SP') AS Racetype, r.besttime, r.driver,"
     " r.car, r.date,"
     " strftime('%Y', r.thursday) || '-W' || printf('%02d', (strftime('%j', r.thursday) - 1) / 7 + 1) AS week,"
     " row_number() OVER (PARTITION BY r.trackid, iif(r.multiplayer=1,'MP','SP'), r.thursday"
     " ORDER BY CAST(r.besttime AS NUMERIC), r.date, r.id) AS place"
     " FROM (SELECT *, CASE WHEN date(substr(date, 1, 10), '+0 days')=substr(date, 1, 10)"
     " THEN date(substr(date, 1, 10), '-3 days', 'weekday 4') END AS thursday FROM RACR"
     " WHERE trim(besttime,'0123456789') IN ('','.') AND besttime NOT IN ('','.')) AS r"
     " INNER JOIN TRACKLIST ON TRACKLIST.trackid=r.trackid)"
     " WHERE place=1"
     " ORDER BY trackname, Racetype, week IS NULL, week",
     {"CREATE VIEW weeklybest AS"
      " SELECT trackname, Racetype, besttime, driver, car, date, week FROM"
      " (SELECT TRACKLIST.trackname, iif(r.multiplayer=1,'MP','SP') AS Racetype, r.besttime, r.driver,"
      " r.car, r.date,"
      " strftime('%Y', r.thursday) || '-W' || printf('%02d', (strftime('%j', r.thursday) - 1) / 7 + 1) AS week,"
      " row_number() OVER (PARTITION BY r.trackid, iif(r.multiplayer=1,'MP','SP'), r.thursday"
      " ORDER BY r.besttime IS NULL, CAST(r.besttime AS REAL), r.date, r.id) AS place"
      " FROM (SELECT *, date(substr(date, 1, 10), '-3 days', 'weekday 4') AS thursday FROM RACR) AS r"
      " INNER JOIN TRACKLIST ON TRACKLIST.trackid=r.trackid)"
      " WHERE place=1"
      " ORDER BY trackname, Racetype, week IS NULL, week",
      "CREATE VIEW weeklybest AS"
      " SELECT TRACKLIST.trackname, iif(RACR.multiplayer=1,'MP','SP') AS Racetype,"
      " MIN(RACR.besttime) AS besttime, RACR.driver, RACR.car, RACR.date"
      " FROM RACR INNER JOIN TRACKLIST ON TRACKLIST.trackid=RACR.trackid"
      " GROUP BY TRACKLIST.trackname, RACR.multiplayer"
      " ORDER BY TRACKLIST.trackname, RACR.multiplayer",
      "CREATE VIEW weeklybest AS"
      " SELECT trackname, Racetype, besttime, driver, car, date, week FROM"
      " (SELECT TRACKLIST.trackname, iif(r.multiplayer=1,'MP','SP') AS Racetype, r.besttime, r.driver,"
      " r.car, r.date, r.multiplayer,"
      " strftime('%Y', r.thursday) || '-W' || printf('%02d', (strftime('%j', r.thursday) - 1) / 7 + 1) AS week,"
      " row_number() OVER (PARTITION BY r.trackid, r.multiplayer, r.thursday"
      " ORDER BY r.besttime IS NULL, CAST(r.besttime AS REAL), r.date, r.id) AS place"
      " FROM (SELECT *, date(substr(date, 1, 10), '-3 days', 'weekday 4') AS thursday FROM RACR) AS r"
      " INNER JOIN TRACKLIST ON TRACKLIST.trackid=r.trackid)"
      " WHERE place=1"
      " ORDER BY trackname, multiplayer, week"}},
    // The driver comes first: "exec driverstats NAME" keeps the rows of that driver. Times that are
    // no number come after the numbers, ordered as in the workbench's first statement.
    {"driverstats",
     "CREATE VIEW driverstats AS"
     " SELECT RACR.driver, TRACKLIST.trackname, iif(RACR.multiplayer=1,'MP','SP') AS Racetype,"
     " RACR.besttime, RACR.car, RACR.date, RACR.shard"
     " FROM RACR INNER JOIN TRACKLIST ON TRACKLIST.trackid=RACR.trackid"
     " ORDER BY RACR.driver, TRACKLIST.trackname, RACR.multiplayer,"
     " CASE WHEN trim(RACR.besttime,'0123456789') IN ('','.') AND RACR.besttime NOT IN ('','.')"
     " THEN CAST(RACR.besttime AS NUMERIC) END IS NULL,"
     " CASE WHEN trim(RACR.besttime,'0123456789') IN ('','.') AND RACR.besttime NOT IN ('','.')"
     " THEN CAST(RACR.besttime AS NUMERIC) END, RACR.besttime",
     {"CREATE VIEW driverstats AS"
      " SELECT RACR.driver, TRACKLIST.trackname, iif(RACR.multiplayer=1,'MP','SP') AS Racetype,"
      " RACR.besttime, RACR.car, RACR.date, RACR.shard"
      " FROM RACR INNER JOIN TRACKLIST ON TRACKLIST.trackid=RACR.trackid"
      " ORDER BY RACR.driver, TRACKLIST.trackname, RACR.multiplayer, CAST(RACR.besttime AS REAL)",
      "CREATE VIEW driverstats AS"
      " SELECT RACR.driver, TRACKLIST.trackname, iif(RACR.multiplayer=1,'MP','SP') AS Racetype,"
      " RACR.besttime, RACR.car, RACR.date, RACR.shard"
      " FROM RACR INNER JOIN TRACKLIST ON TRACKLIST.trackid=RACR.trackid"
      " ORDER BY RACR.driver, TRACKLIST.trackname, RACR.multiplayer, RACR.besttime"}},
};

void run(QSqlQuery& query, const QString& sql)
{
    if (!query.exec(sql))
        throw racr::EngineError(sqlErrorText(query.lastError()));
}

int count(const QSqlDatabase& db, const QString& sql)
{
    QSqlQuery query(db);
    run(query, sql);
    return query.next() ? query.value(0).toInt() : 0;
}

// The catalogue's text of a view; empty when there is no view of that name.
QString viewText(const QSqlDatabase& db, const char* name)
{
    QSqlQuery query(db);
    if (!query.prepare(QStringLiteral("SELECT sql FROM sqlite_master WHERE type='view' AND name=?")))
        throw racr::EngineError(sqlErrorText(query.lastError()));
    query.bindValue(0, QString::fromLatin1(name));
    if (!query.exec())
        throw racr::EngineError(sqlErrorText(query.lastError()));
    return query.next() ? query.value(0).toString() : QString();
}

bool isOutdated(const QSqlDatabase& db, const SavedQuery& view)
{
    const QString text = viewText(db, view.name);
    return !text.isEmpty()
        && std::any_of(view.earlier.begin(), view.earlier.end(),
                       [&](const char* earlier) { return text == QLatin1String(earlier); });
}

} // namespace

namespace schema {

bool isEmpty(const QSqlDatabase& db)
{
    return count(db, QStringLiteral("SELECT count(*) FROM sqlite_master")) == 0;
}

bool hasProgramTables(const QSqlDatabase& db)
{
    return count(db, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table'"
                                    " AND name COLLATE NOCASE IN ('RACR', 'DRIVERS', 'TRACKLIST')"))
        == 3;
}

QStringList layoutGaps(const QSqlDatabase& db)
{
    static const std::pair<const char*, std::vector<const char*>> layout[] = {
        {"RACR", {"id", "driver", "car", "date", "trackid", "multiplayer", "besttime", "shard"}},
        {"DRIVERS", {}},
        {"TRACKLIST", {"trackid", "trackname"}},
    };
    QStringList gaps;
    for (const auto& [table, columns] : layout) {
        QSqlQuery query(db);
        run(query, QStringLiteral("SELECT name FROM pragma_table_info('%1')").arg(QLatin1String(table)));
        QStringList present;
        while (query.next())
            present.append(query.value(0).toString().toLower());
        if (present.isEmpty()) {
            gaps.append(QStringLiteral("the table %1").arg(QLatin1String(table)));
            continue;
        }
        for (const char* column : columns)
            if (!present.contains(QLatin1String(column)))
                gaps.append(QStringLiteral("the column %1.%2").arg(QLatin1String(table), QLatin1String(column)));
    }
    return gaps;
}

void create(const QSqlDatabase& db)
{
    QSqlQuery query(db);
    for (const char* sql : tables)
        run(query, QString::fromLatin1(sql));
    for (const SavedQuery& view : savedQueries)
        run(query, QString::fromLatin1(view.current));
    insertTracks(db);
    // Tells the planner that the track list is small (its 90 rows, which never grow much), so it
    // loops over the tracks and looks results up by track rather than the other way round.
    run(query, QStringLiteral("ANALYZE TRACKLIST"));
}

void insertTracks(const QSqlDatabase& db)
{
    QSqlQuery query(db);
    if (!query.prepare(QStringLiteral("INSERT INTO TRACKLIST (trackid, trackname) VALUES (?, ?)")))
        throw racr::EngineError(sqlErrorText(query.lastError()));
    for (const auto& track : racr::trackTable()) {
        query.bindValue(0, track.eventId);
        query.bindValue(1, track.name);
        if (!query.exec())
            throw racr::EngineError(sqlErrorText(query.lastError()));
    }
}

bool hasOutdatedViews(const QSqlDatabase& db)
{
    for (const SavedQuery& view : savedQueries)
        if (isOutdated(db, view))
            return true;
    return false;
}

bool hasCurrentView(const QSqlDatabase& db, const char* name)
{
    for (const SavedQuery& view : savedQueries) {
        if (qstrcmp(view.name, name) == 0)
            return viewText(db, name) == QLatin1String(view.current);
    }
    return false;
}

bool canUpgradeOrderIndexes(const QSqlDatabase& db)
{
    QSqlQuery query(db);
    if (!query.prepare(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='index' AND sql IN (?, ?, ?)")))
        throw racr::EngineError(sqlErrorText(query.lastError()));
    for (const char* earlier : kEarlierTrackOrders)
        query.addBindValue(QString::fromLatin1(earlier));
    query.addBindValue(QString::fromLatin1(kEarlierTrackNames));
    if (!query.exec())
        throw racr::EngineError(sqlErrorText(query.lastError()));
    if (!query.next() || query.value(0).toInt() == 0)
        return false;
    // Track names a user made twice cannot be declared unique, and the time's index alone still
    // leaves each track sorted: such a file keeps what it has.
    return count(db, QStringLiteral("SELECT count(*) FROM (SELECT trackname FROM TRACKLIST GROUP BY trackname"
                                    " HAVING count(*) > 1)"))
        == 0;
}

void upgradeOrderIndexes(const QSqlDatabase& db)
{
    QSqlQuery query(db);
    run(query, QStringLiteral("DROP INDEX IF EXISTS RACR_track_order"));
    run(query, QStringLiteral("DROP INDEX IF EXISTS TRACKLIST_trackname"));
    run(query, QString::fromLatin1(kTrackOrder));
    run(query, QString::fromLatin1(kTrackNames));
    run(query, QStringLiteral("ANALYZE TRACKLIST"));
}

void upgradeViews(const QSqlDatabase& db)
{
    QSqlQuery query(db);
    for (const SavedQuery& view : savedQueries) {
        if (!isOutdated(db, view))
            continue;
        run(query, QStringLiteral("DROP VIEW %1").arg(QLatin1String(view.name)));
        run(query, QString::fromLatin1(view.current));
    }
}

} // namespace schema
