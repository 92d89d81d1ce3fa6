#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

class Connection;
enum class Engine;

// What the club pages show, read from the database in use with a few aggregate queries, so that
// a table of any size costs only the size of its summary.
namespace publish {

struct SiteOptions {
    QString title = QStringLiteral("Club standings");   // the site's name, on every page
    QString shard;          // only results of this shard; empty: all
    QStringList drivers;    // the standings and driver pages of these drivers; empty: all
    QString stamp;          // a line naming when the pages were made; empty: none
};

// One driver's best on one board.
struct Standing {
    int driver = 0;          // index into Site::drivers
    double best = 0;
    qint64 results = 0;
    int rank = 0;            // 1 for the leader; equal times share a rank
    // The result that set the best: the earliest of equal ones, as the record.
    QString car;
    QString date;
};

// A chart holds a point per driver, board and week: a number keeps a million results' charts small.
struct ChartPoint {
    int week = 0;            // ISO year * 100 + ISO week: 201105 for "2011-W05"
    double best = 0;
};

QString weekText(int week);   // "2011-W05"

struct ChartSeries {
    QString label;
    std::vector<ChartPoint> points;   // by week
};

// One track and race type.
struct Board {
    int trackId = 0;
    bool multiplayer = false;
    std::vector<Standing> standings;  // by rank, then name
    // The record: the fastest result, the earliest of equal ones.
    QString recordCar;
    QString recordDate;
    int recordHolder = -1;
    std::vector<ChartSeries> chart;   // the best per week of the leading drivers
};

struct DriverStat {
    QString label;
    QString value;
};

struct Driver {
    QString name;
    // The name's bytes as stored. Two names that are not valid UTF-8 may read as the same text;
    // they are still two drivers, each with a page of its own.
    QByteArray stored;
    bool hasPage = false;             // on the list (or every driver when there is no list)
    QString page;                     // its file name, when it has one
    qint64 results = 0;
    int records = 0;
    std::vector<std::pair<int, int>> boards;   // (board, index into its standings), board order
    std::vector<DriverStat> stats;    // from table DRIVERS; empty when it has no row there
    std::vector<ChartSeries> chart;   // the best per week on the most raced boards
};

struct LatestResult {
    QString driver;
    QString car;
    QString date;
    int trackId = 0;
    bool multiplayer = false;
    QString besttime;                 // as stored
};

// The rows of the saved query "weeklybest", column by column as the database names them.
struct WeekTable {
    QStringList columns;
    std::vector<QStringList> rows;
    int driverColumn = -1;
    bool everyShard = false;          // a shard was chosen, but the database's own view names none
};

struct Site {
    SiteOptions options;
    QHash<int, QString> trackNames;
    std::vector<Board> boards;        // by track name, then MP before SP
    std::vector<Driver> drivers;      // by name
    std::vector<int> standings;       // drivers with a page, by records held, then results, then name
    std::vector<LatestResult> latest; // newest first
    WeekTable weeks;
    QString newestDay;                // the latest day a result names ("2011-07-09"); empty: none

    QString trackName(int trackId) const;
    // -1 when unknown; of two drivers whose stored names read as the same text, the first.
    int driverIndex(const QString& name) const;
    QHash<QString, int> driverIndexByName;
};

// Reads everything the pages show. Throws racr::Error with the database's message.
Site readSite(Connection& connection, const SiteOptions& options);

// The statements readSite() runs on the program's own saved queries, for a comparison with other
// programs (without the one per day that names the day's week); ":shard" stands for the shard
// when options name one.
QStringList siteStatements(Engine engine, const SiteOptions& options);

} // namespace publish
