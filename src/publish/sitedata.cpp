#include "publish/sitedata.h"

#include "common/error.h"
#include "db/cellview.h"
#include "db/connection.h"
#include "db/csvtext.h"
#include "db/pgcancel.h"
#include "db/postgresschema.h"
#include "db/rowsource.h"
#include "db/schema.h"
#include "db/sqlerrortext.h"
#include "publish/pagenames.h"
#include "publish/weeklybests.h"

#include <QDate>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>

#include <libpq-fe.h>
#include <sqlite3.h>

namespace publish {

namespace {

// The drivers a track page charts, and the boards a driver page charts.
constexpr std::size_t kChartedLeaders = 5;
constexpr std::size_t kChartedBoards = 3;
constexpr int kLatestResults = 50;

// Best times are the service's texts; they are compared as numbers ("86.372" before "112.215").
// A text that is no number by the saved queries' test (empty, "DNF", "5 s") gives NULL and a time
// of 0 none: such a result holds no time and is left out.
QString numberOf(Engine engine, const QString& column)
{
    return QStringLiteral("CASE WHEN trim(%1,'0123456789') IN ('','.') AND %1 NOT IN ('','.') THEN %2 END")
        .arg(column, engine == Engine::Postgres ? QStringLiteral("racr_number(%1)").arg(column)
                                                : QStringLiteral("CAST(%1 AS REAL)").arg(column));
}

// RACR's rows with a time, as a subquery with the columns the summaries read and "n", the time.
QString timedResults(Engine engine, const SiteOptions& options)
{
    return QStringLiteral("(SELECT id, driver, car, date, trackid,"
                          " CASE WHEN multiplayer=1 THEN 1 ELSE 0 END AS mp, %1 AS n"
                          " FROM RACR WHERE driver IS NOT NULL%2) AS timed")
        .arg(numberOf(engine, QStringLiteral("besttime")),
             options.shard.isEmpty() ? QString() : QStringLiteral(" AND shard=:shard"));
}

const std::pair<const char*, const char*> kStatColumns[] = {
    {"driverlevel", "Level"},
    {"statusmessage", "Status message"},
    {"drivershard", "Shard"},
    {"tot_race_won", "Races won"},
    {"tot_race_lost", "Races lost"},
    {"tot_avg_place", "Average place"},
    {"mp_race_won", "Multiplayer races won"},
    {"mp_race_lost", "Multiplayer races lost"},
    {"mp_avg_place", "Multiplayer average place"},
    {"mp_bestwinstreak", "Multiplayer best win streak"},
    {"sp_race_won", "Single-player races won"},
    {"sp_race_lost", "Single-player races lost"},
    {"sp_avg_place", "Single-player average place"},
    {"sp_bestwinstreak", "Single-player best win streak"},
    {"car_count", "Cars"},
};

QString shardCondition(const SiteOptions& options, const char* word)
{
    return options.shard.isEmpty() ? QString() : QStringLiteral(" %1 shard=:shard").arg(QLatin1String(word));
}

// The statements, in the order readSite() runs them. WeekOfDay runs once per day of the results;
// WeeklyBestView only when the database's weeklybest is not the program's own.
enum Statement { TrackNames, Standings, Latest, DriverStats, Results, WeekOfDay, WeeklyBestView };

QString statement(Statement which, Engine engine, const SiteOptions& options)
{
    const QString timed = timedResults(engine, options);
    switch (which) {
    case TrackNames:
        // In the database's order of names, which the weekly bests follow.
        return QStringLiteral("SELECT trackid, trackname FROM TRACKLIST ORDER BY trackname");
    case Standings:
        return QStringLiteral("SELECT trackid, mp, driver, MIN(n), COUNT(*) FROM %1 WHERE n > 0 GROUP BY trackid, mp, driver")
            .arg(timed);
    case Latest:
        return QStringLiteral("SELECT driver, car, date, trackid, multiplayer, besttime FROM RACR%1 ORDER BY id DESC LIMIT %2")
            .arg(shardCondition(options, "WHERE"))
            .arg(kLatestResults);
    case DriverStats: {
        QStringList names;
        for (const auto& [column, label] : kStatColumns)
            names.append(QString::fromLatin1(column));
        return QStringLiteral("SELECT drivername, %1 FROM DRIVERS").arg(names.join(QStringLiteral(", ")));
    }
    case Results:
        // Every result once, for the charts and the weekly bests; the last column tells whether
        // the view's join with TRACKLIST keeps it.
        return QStringLiteral("SELECT trackid, CASE WHEN multiplayer=1 THEN 1 ELSE 0 END, driver, car, date, id,"
                              " besttime, %1, substr(date, 1, 10),"
                              " CASE WHEN trackid IN (SELECT trackid FROM TRACKLIST) THEN 1 ELSE 0 END FROM RACR%2")
            .arg(numberOf(engine, QStringLiteral("besttime")), shardCondition(options, "WHERE"));
    case WeekOfDay:
        // The Thursday that the view partitions by, and the week's name the view shows.
        if (engine == Engine::Postgres)
            return QStringLiteral("SELECT thursday, to_char(thursday, 'IYYY-\"W\"IW')"
                                  " FROM (SELECT racr_thursday(CAST(? AS TEXT)) AS thursday) AS day");
        return QStringLiteral("SELECT thursday, strftime('%Y', thursday) || '-W'"
                              " || printf('%02d', (strftime('%j', thursday) - 1) / 7 + 1)"
                              " FROM (SELECT CASE WHEN date(day, '+0 days')=day THEN date(day, '-3 days', 'weekday 4') END"
                              " AS thursday FROM (SELECT CAST(? AS TEXT) AS day) AS given) AS day");
    case WeeklyBestView:
        // Quoted names keep their case on every engine (PostgreSQL folds the view's Racetype).
        return QStringLiteral("SELECT trackname AS \"trackname\", Racetype AS \"Racetype\", besttime AS \"besttime\","
                              " driver AS \"driver\", car AS \"car\", date AS \"date\", week AS \"week\""
                              " FROM weeklybest");
    }
    return {};
}

class Reader {
public:
    Reader(QSqlDatabase db, Engine engine, const SiteOptions& options)
        : m_db(db), m_query(db), m_engine(engine), m_options(options)
    {
        // Rows are read once, front to back: the driver then keeps no copy of the result.
        m_query.setForwardOnly(true);
    }

    QSqlQuery& run(Statement which)
    {
        prepare(which);
        if (m_sql.contains(QLatin1String(":shard")))
            m_query.bindValue(QStringLiteral(":shard"), m_options.shard);
        return exec();
    }

    void prepare(Statement which)
    {
        m_sql = statement(which, m_engine, m_options);
        if (!m_query.prepare(m_sql))
            throw racr::EngineError(sqlErrorText(m_query.lastError()));
    }

    // The statement prepared last, with one value for its one placeholder.
    QSqlQuery& runWith(const QVariant& value)
    {
        m_query.bindValue(0, value);
        return exec();
    }

    // The statement's rows straight from the engine, as bytes: the large reads take no QVariant
    // or QString per cell. The shard is written into the statement as the driver quotes a value.
    std::unique_ptr<RowSource> rows(Connection& connection, Statement which)
    {
        QString sql = statement(which, m_engine, m_options);
        if (!m_options.shard.isEmpty()) {
            QSqlField shard{QString(), QMetaType(QMetaType::QString)};
            shard.setValue(m_options.shard);
            sql.replace(QLatin1String(":shard"), m_db.driver()->formatValue(shard));
        }
        return rowsource::open(connection, sql, {}, rowsource::Want::Rows, {}).rows;
    }

    Engine engine() const { return m_engine; }
    QSqlDatabase database() const { return m_db; }

private:
    QSqlQuery& exec()
    {
        if (!m_query.exec())
            throw racr::EngineError(sqlErrorText(m_query.lastError()));
        return m_query;
    }

    QSqlDatabase m_db;
    QSqlQuery m_query;
    QString m_sql;
    Engine m_engine;
    const SiteOptions& m_options;
};

// NULL as empty text: PostgreSQL's driver gives a NULL number a type, whose text would be "0".
QString text(const QSqlQuery& query, int field)
{
    const QVariant value = query.value(field);
    return value.isNull() ? QString() : value.toString();
}

// Texts looked up by their bytes without a copy.
struct BytesHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view bytes) const { return std::hash<std::string_view>{}(bytes); }
};
template <typename Value>
using BytesMap = std::unordered_map<std::string, Value, BytesHash, std::equal_to<>>;

// A cell read as the texts before were: numbers as the grid writes them, NULL as nothing; a text's
// own bytes, which the lookups by name compare.
class CellText {
public:
    std::optional<std::string_view> operator()(const CellView& cell)
    {
        switch (cell.kind) {
        case ResultStore::Kind::Null: return std::nullopt;
        case ResultStore::Kind::Text:
        case ResultStore::Kind::Blob: return cell.bytes;
        case ResultStore::Kind::Integer:
        case ResultStore::Kind::Real: break;
        }
        m_scratch.clear();
        appendCellText(m_scratch, cell);
        return std::string_view(m_scratch.constData(), std::size_t(m_scratch.size()));
    }

private:
    QByteArray m_scratch;
};

double numberOf(const CellView& cell)
{
    switch (cell.kind) {
    case ResultStore::Kind::Integer: return double(cell.integer);
    case ResultStore::Kind::Real: return cell.real;
    case ResultStore::Kind::Text: return QByteArray::fromRawData(cell.bytes.data(), qsizetype(cell.bytes.size())).toDouble();
    default: return 0;
    }
}

qint64 integerOf(const CellView& cell)
{
    switch (cell.kind) {
    case ResultStore::Kind::Integer: return cell.integer;
    case ResultStore::Kind::Real: return qint64(cell.real);
    case ResultStore::Kind::Text: return QByteArray::fromRawData(cell.bytes.data(), qsizetype(cell.bytes.size())).toLongLong();
    default: return 0;
    }
}

// The tracks in the database's order of names.
std::vector<std::pair<int, QString>> readTrackNames(Reader& reader, Site& site)
{
    std::vector<std::pair<int, QString>> tracks;
    QSqlQuery& query = reader.run(TrackNames);
    while (query.next()) {
        tracks.emplace_back(query.value(0).toInt(), text(query, 1));
        site.trackNames.insert(tracks.back().first, tracks.back().second);
    }
    return tracks;
}

// A driver is known by the bytes of its stored name.
int addDriver(Site& site, std::string_view stored)
{
    Driver driver;
    driver.stored = QByteArray(stored.data(), qsizetype(stored.size()));
    driver.name = QString::fromUtf8(driver.stored);
    site.drivers.push_back(std::move(driver));
    return int(site.drivers.size() - 1);
}

// Each driver's best and number of results per track and race type. `driverBytes` gets each
// driver's name as the engine gives it, for the pass over the results.
void readStandings(Reader& reader, Connection& connection, Site& site, BytesMap<int>& driverBytes)
{
    const std::unique_ptr<RowSource> rows = reader.rows(connection, Standings);
    std::map<std::pair<int, bool>, Board> boards;
    CellText text;
    while (rows->nextRow()) {
        const std::pair key{int(integerOf(rows->cell(0))), integerOf(rows->cell(1)) == 1};
        Board& board = boards[key];
        board.trackId = key.first;
        board.multiplayer = key.second;
        const std::string_view name = text(rows->cell(2)).value_or(std::string_view());
        auto known = driverBytes.find(name);
        if (known == driverBytes.end())
            known = driverBytes.emplace(name, addDriver(site, name)).first;
        board.standings.push_back(Standing{known->second, numberOf(rows->cell(3)), integerOf(rows->cell(4))});
    }
    for (auto& [key, board] : boards)
        site.boards.push_back(std::move(board));
}

// Drivers by name (byte order, as the database sorts), boards by track name, MP first; the
// standings by time with shared ranks for equal times.
void order(Site& site)
{
    std::vector<int> byName(site.drivers.size());
    for (std::size_t i = 0; i < byName.size(); ++i)
        byName[i] = int(i);
    std::sort(byName.begin(), byName.end(), [&](int a, int b) {
        return site.drivers[a].stored < site.drivers[b].stored;
    });
    std::vector<int> newIndex(byName.size());
    std::vector<Driver> drivers;
    drivers.reserve(byName.size());
    for (std::size_t i = 0; i < byName.size(); ++i) {
        newIndex[byName[i]] = int(i);
        drivers.push_back(std::move(site.drivers[byName[i]]));
    }
    site.drivers = std::move(drivers);
    site.driverIndexByName.clear();
    for (std::size_t i = 0; i < site.drivers.size(); ++i) {
        if (!site.driverIndexByName.contains(site.drivers[i].name))
            site.driverIndexByName.insert(site.drivers[i].name, int(i));
    }

    std::stable_sort(site.boards.begin(), site.boards.end(), [&](const Board& a, const Board& b) {
        const QByteArray nameA = site.trackName(a.trackId).toUtf8();
        const QByteArray nameB = site.trackName(b.trackId).toUtf8();
        if (nameA != nameB)
            return nameA < nameB;
        if (a.trackId != b.trackId)
            return a.trackId < b.trackId;
        return a.multiplayer > b.multiplayer;
    });
    for (Board& board : site.boards) {
        for (Standing& standing : board.standings)
            standing.driver = newIndex[standing.driver];
        std::sort(board.standings.begin(), board.standings.end(), [](const Standing& a, const Standing& b) {
            return a.best != b.best ? a.best < b.best : a.driver < b.driver;
        });
        for (std::size_t i = 0; i < board.standings.size(); ++i) {
            Standing& standing = board.standings[i];
            standing.rank = i > 0 && board.standings[i - 1].best == standing.best ? board.standings[i - 1].rank
                                                                                    : int(i) + 1;
        }
    }
}

void chooseDrivers(Site& site)
{
    std::set<QString> listed;
    for (const QString& name : site.options.drivers)
        listed.insert(name.toCaseFolded());
    // In the order of the stored names, so that the same drivers get the same pages every run.
    pagenames::DriverPages pages;
    for (Driver& driver : site.drivers) {
        driver.hasPage = listed.empty() || listed.count(driver.name.toCaseFolded()) > 0;
        if (driver.hasPage)
            driver.page = pages.pageFor(driver.stored);
    }
}

void linkDrivers(Site& site)
{
    for (std::size_t b = 0; b < site.boards.size(); ++b) {
        const Board& board = site.boards[b];
        for (std::size_t s = 0; s < board.standings.size(); ++s) {
            Driver& driver = site.drivers[board.standings[s].driver];
            driver.boards.emplace_back(int(b), int(s));
            driver.results += board.standings[s].results;
        }
    }
}

// The drivers with a page by records held, then results.
void rankDrivers(Site& site)
{
    for (std::size_t i = 0; i < site.drivers.size(); ++i) {
        if (site.drivers[i].hasPage)
            site.standings.push_back(int(i));
    }
    std::stable_sort(site.standings.begin(), site.standings.end(), [&](int a, int b) {
        const Driver& da = site.drivers[a];
        const Driver& db = site.drivers[b];
        return da.records != db.records ? da.records > db.records : da.results > db.results;
    });
}

void readLatest(Reader& reader, Site& site)
{
    QSqlQuery& query = reader.run(Latest);
    while (query.next()) {
        site.latest.push_back(LatestResult{text(query, 0), text(query, 1), text(query, 2), query.value(3).toInt(),
                                           query.value(4).toInt() == 1, text(query, 5)});
    }
}

void readDriverStats(Reader& reader, Site& site)
{
    QSqlQuery& query = reader.run(DriverStats);
    QHash<QString, int> folded;
    for (std::size_t i = 0; i < site.drivers.size(); ++i)
        folded.insert(site.drivers[i].name.toCaseFolded(), int(i));
    while (query.next()) {
        // The driver import stores the name as the service spells it; a result may spell it
        // otherwise, so an exact match wins and any spelling will do.
        const QString name = text(query, 0);
        int index = site.driverIndex(name);
        if (index < 0)
            index = folded.value(name.toCaseFolded(), -1);
        if (index < 0 || !site.drivers[index].stats.empty())
            continue;
        for (int c = 0; c < int(std::size(kStatColumns)); ++c)
            site.drivers[index].stats.push_back(DriverStat{QString::fromLatin1(kStatColumns[c].second), text(query, c + 1)});
    }
}

// 0 for a text that is no date.
int isoWeek(const QString& dayText)
{
    const QDate day = QDate::fromString(dayText, Qt::ISODate);
    if (!day.isValid())
        return 0;
    int year = 0;
    const int week = day.weekNumber(&year);
    return year * 100 + week;
}

// The days of the results (their dates' first ten characters), numbered as they first come: a
// few hundred for a million results. 0 stands for a result without a date.
class Days {
public:
    int number(std::optional<std::string_view> day)
    {
        if (!day)
            return 0;
        auto known = m_numbers.find(*day);
        if (known == m_numbers.end()) {
            known = m_numbers.emplace(*day, int(m_texts.size())).first;
            m_texts.push_back(QString::fromUtf8(day->data(), qsizetype(day->size())));
            m_weeks.push_back(isoWeek(m_texts.back()));
        }
        return known->second;
    }
    const std::vector<QString>& texts() const { return m_texts; }
    int isoWeekOf(int day) const { return m_weeks[std::size_t(day)]; }

private:
    BytesMap<int> m_numbers;
    std::vector<QString> m_texts{QString()};
    std::vector<int> m_weeks{0};
};

// From one pass over the results: the record of each board (its fastest result, the earliest of
// equal ones); the best per ISO week of the leading drivers of each board and of each driver on
// their most raced boards, counted here from the days the same on every engine; and the weekly
// bests when the database's weeklybest is the program's own.
void readResults(Reader& reader, Connection& connection, Site& site, const BytesMap<int>& driverBytes,
                 const std::vector<std::pair<int, QString>>& trackOrder, bool weeklyBests)
{
    // (board, driver) -> the series it feeds: on the board's chart and on the driver's chart.
    std::map<std::pair<int, int>, std::vector<ChartPoint>> wanted;
    std::map<std::pair<int, bool>, int> boardIndex;
    for (std::size_t b = 0; b < site.boards.size(); ++b) {
        const Board& board = site.boards[b];
        boardIndex[{board.trackId, board.multiplayer}] = int(b);
        for (std::size_t s = 0; s < std::min(kChartedLeaders, board.standings.size()); ++s)
            wanted[{int(b), board.standings[s].driver}];
    }
    std::vector<std::vector<int>> driverBoards(site.drivers.size());
    for (std::size_t d = 0; d < site.drivers.size(); ++d) {
        const Driver& driver = site.drivers[d];
        if (!driver.hasPage)
            continue;
        std::vector<std::pair<int, int>> raced = driver.boards;
        std::stable_sort(raced.begin(), raced.end(), [&](const auto& a, const auto& b) {
            return site.boards[a.first].standings[a.second].results > site.boards[b.first].standings[b.second].results;
        });
        for (std::size_t i = 0; i < std::min(kChartedBoards, raced.size()); ++i) {
            driverBoards[d].push_back(raced[i].first);
            wanted[{raced[i].first, int(d)}];
        }
    }

    const bool nullDateFirst = reader.engine() != Engine::Postgres;
    WeeklyBests weeks(nullDateFirst);
    std::vector<std::optional<WeeklyBests::Result>> records(site.boards.size());
    // The result behind each driver's best, by board and place in its standings.
    std::vector<std::vector<std::optional<WeeklyBests::Result>>> bests(site.boards.size());
    for (std::size_t b = 0; b < site.boards.size(); ++b)
        bests[b].resize(site.boards[b].standings.size());
    Days days;
    {
        const std::unique_ptr<RowSource> rows = reader.rows(connection, Results);
        CellText besttime, date, driver, car, day;
        while (rows->nextRow()) {
            const std::optional<std::string_view> time = besttime(rows->cell(6));
            const std::optional<std::string_view> when = date(rows->cell(4));
            const std::optional<std::string_view> who = driver(rows->cell(2));
            const CellView number = rows->cell(7);
            const WeeklyBests::ResultView result{int(integerOf(rows->cell(0))),
                                                 integerOf(rows->cell(1)) == 1,
                                                 number.kind != ResultStore::Kind::Null,
                                                 when.has_value(),
                                                 numberOf(number),
                                                 integerOf(rows->cell(5)),
                                                 time.value_or(std::string_view()),
                                                 when.value_or(std::string_view()),
                                                 who.value_or(std::string_view()),
                                                 car(rows->cell(3)).value_or(std::string_view())};
            const int dayNumber = days.number(day(rows->cell(8)));
            // The records and charts count only timed results of a named driver.
            const bool counted = result.number > 0 && who;
            const auto board = counted ? boardIndex.find({result.trackId, result.multiplayer}) : boardIndex.end();
            if (board != boardIndex.end()) {
                std::optional<WeeklyBests::Result>& record = records[board->second];
                if (!record || comesFirst(result, *record, nullDateFirst))
                    record.emplace(result);
            }
            // The view leaves out a result whose time is no number.
            if (weeklyBests && result.hasTime && integerOf(rows->cell(9)) == 1)
                weeks.add(result, dayNumber);
            if (board == boardIndex.end())
                continue;
            const auto known = driverBytes.find(result.driver);
            if (known == driverBytes.end())
                continue;
            const std::vector<std::pair<int, int>>& raced = site.drivers[known->second].boards;
            const auto standing = std::lower_bound(raced.begin(), raced.end(), std::pair{board->second, 0});
            if (standing != raced.end() && standing->first == board->second) {
                std::optional<WeeklyBests::Result>& best = bests[board->second][standing->second];
                if (!best || comesFirst(result, *best, nullDateFirst))
                    best.emplace(result);
            }
            const auto series = wanted.find({board->second, known->second});
            if (series == wanted.end())
                continue;
            const int week = days.isoWeekOf(dayNumber);
            if (week == 0)
                continue;
            std::vector<ChartPoint>& points = series->second;
            const auto at = std::lower_bound(points.begin(), points.end(), week,
                                             [](const ChartPoint& point, int w) { return point.week < w; });
            if (at != points.end() && at->week == week)
                at->best = std::min(at->best, result.number);
            else
                points.insert(at, ChartPoint{week, result.number});
        }
    }

    if (weeklyBests) {
        reader.prepare(WeekOfDay);
        site.weeks.rows = weeks.rows(
            days.texts(),
            [&](const QString& day) {
                QSqlQuery& week = reader.runWith(day);
                return week.next() ? WeeklyBests::Week{week.value(0), week.value(1)} : WeeklyBests::Week{};
            },
            trackOrder);
        site.weeks.columns = QStringList{QStringLiteral("trackname"), QStringLiteral("Racetype"), QStringLiteral("besttime"),
                                         QStringLiteral("driver"),    QStringLiteral("car"),      QStringLiteral("date"),
                                         QStringLiteral("week")};
        site.weeks.driverColumn = 3;
    }

    for (std::size_t b = 0; b < site.boards.size(); ++b) {
        Board& board = site.boards[b];
        if (!records[b])
            continue;
        const WeeklyBests::Result& record = *records[b];
        const auto holder = driverBytes.find(record.driver);
        board.recordHolder = holder == driverBytes.end() ? -1 : holder->second;
        board.recordCar = QString::fromStdString(record.car);
        board.recordDate = QString::fromStdString(record.date);
        if (board.recordHolder >= 0)
            ++site.drivers[board.recordHolder].records;
        for (std::size_t s = 0; s < board.standings.size(); ++s) {
            if (const std::optional<WeeklyBests::Result>& best = bests[b][s]) {
                board.standings[s].car = QString::fromStdString(best->car);
                board.standings[s].date = QString::fromStdString(best->date);
            }
        }
    }
    for (const QString& day : days.texts()) {
        if (isoWeek(day) != 0 && day > site.newestDay)
            site.newestDay = day;
    }

    const auto series = [&](int board, int driver, const QString& label) {
        return ChartSeries{label, wanted[{board, driver}]};
    };
    for (std::size_t b = 0; b < site.boards.size(); ++b) {
        Board& board = site.boards[b];
        for (std::size_t s = 0; s < std::min(kChartedLeaders, board.standings.size()); ++s)
            board.chart.push_back(series(int(b), board.standings[s].driver, site.drivers[board.standings[s].driver].name));
    }
    for (std::size_t d = 0; d < site.drivers.size(); ++d) {
        for (const int b : driverBoards[d]) {
            const Board& board = site.boards[b];
            site.drivers[d].chart.push_back(series(b, int(d),
                                                   site.trackName(board.trackId)
                                                       + (board.multiplayer ? QStringLiteral(" (MP)") : QStringLiteral(" (SP)"))));
        }
    }
}

// Whether the weekly bests can be worked out here: only the program's own weeklybest has the rows
// readResults() makes. A database that cannot tell reads the view. Asked before the snapshot: on
// PostgreSQL the comparison makes a temporary view, which a read-only transaction may not.
bool weeklybestIsOurs(Connection& connection)
{
    try {
        return connection.engine() == Engine::Postgres ? pgschema::hasCurrentView(connection.database(), "weeklybest")
                                                       : schema::hasCurrentView(connection.database(), "weeklybest");
    } catch (const racr::EngineError&) {
        return false;
    }
}

// A weeklybest of the database's own: its rows as they are, of every shard, since the view names
// none.
void readWeeks(Reader& reader, Site& site)
{
    site.weeks.everyShard = !site.options.shard.isEmpty();
    QSqlQuery& query = reader.run(WeeklyBestView);
    const QSqlRecord record = query.record();
    for (int f = 0; f < record.count(); ++f) {
        site.weeks.columns.append(record.fieldName(f));
        if (record.fieldName(f).compare(QLatin1String("driver"), Qt::CaseInsensitive) == 0)
            site.weeks.driverColumn = f;
    }
    while (query.next()) {
        QStringList row;
        for (int f = 0; f < record.count(); ++f)
            row.append(text(query, f));
        site.weeks.rows.push_back(std::move(row));
    }
}

// Everything the pages show is read from one snapshot of the database. The site is read in
// several statements; an import committing tracks between two of them would otherwise give a
// board a record from results its standings never saw, credited to another driver, and pages
// that disagree with each other.
class ReadSnapshot {
public:
    explicit ReadSnapshot(Connection& connection) : m_connection(connection), m_db(connection.database())
    {
        switch (connection.engine()) {
        case Engine::Sqlite:
            // A transaction of SQLite reads one state of the file from its first read to its
            // end, whatever other programs commit meanwhile. Inside a transaction begun in the SQL
            // editor the reads already share one state, so that one is read as it is.
            if (sqlite3_get_autocommit(sqliteHandle()) != 0)
                begin(QStringLiteral("BEGIN"));
            break;
        case Engine::Postgres:
            // The server's default isolation takes a new snapshot per statement, so the
            // snapshot is asked for; a transaction already open would keep its own isolation.
            if (PQtransactionStatus(pg::nativeConnection(m_db)) != PQTRANS_IDLE)
                throw racr::DatabaseError(QStringLiteral(
                    "A transaction begun in the SQL editor is still open, and the club pages must be read in one of "
                    "their own. Run COMMIT or ROLLBACK in the SQL editor, then publish again."));
            begin(QStringLiteral("START TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY"));
            break;
        case Engine::Odbc:
            m_open = m_db.driver()->hasFeature(QSqlDriver::Transactions) && m_db.transaction();
            m_sql = false;
            break;
        }
    }
    ~ReadSnapshot()
    {
        if (m_open)
            end(false);
    }
    ReadSnapshot(const ReadSnapshot&) = delete;
    ReadSnapshot& operator=(const ReadSnapshot&) = delete;

    // Nothing was written: the end only lets go of the snapshot.
    void end(bool throwing = true)
    {
        m_open = false;
        // A result still arriving on a server connection is settled first.
        m_db = m_connection.database();
        bool ended = false;
        QSqlError error;
        if (m_sql) {
            QSqlQuery query(m_db);
            ended = query.exec(QStringLiteral("ROLLBACK"));
            error = query.lastError();
        } else {
            ended = m_db.rollback();
            error = m_db.lastError();
        }
        if (!ended && throwing)
            throw racr::EngineError(sqlErrorText(error));
    }

private:
    void begin(const QString& sql)
    {
        QSqlQuery query(m_db);
        if (!query.exec(sql))
            throw racr::EngineError(sqlErrorText(query.lastError()));
        m_open = true;
    }

    sqlite3* sqliteHandle() const
    {
        const QVariant handle = m_db.driver()->handle();
        if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
            throw racr::EngineError(QStringLiteral("The SQLite database cannot be read: the driver gives no handle."));
        return *static_cast<sqlite3* const*>(handle.constData());
    }

    Connection& m_connection;
    QSqlDatabase m_db;
    bool m_open = false;
    bool m_sql = true;   // begun and ended with statements rather than the driver's calls
};

Site readSnapshot(Connection& connection, const SiteOptions& options, bool weeklyBests)
{
    Site site;
    site.options = options;
    Reader reader(connection.database(), connection.engine(), site.options);
    const std::vector<std::pair<int, QString>> trackOrder = readTrackNames(reader, site);
    BytesMap<int> driverBytes;
    readStandings(reader, connection, site, driverBytes);
    order(site);
    for (std::size_t d = 0; d < site.drivers.size(); ++d) {
        const QByteArray& stored = site.drivers[d].stored;
        driverBytes.find(std::string_view(stored.constData(), std::size_t(stored.size())))->second = int(d);
    }
    chooseDrivers(site);
    linkDrivers(site);
    readLatest(reader, site);
    readDriverStats(reader, site);
    readResults(reader, connection, site, driverBytes, trackOrder, weeklyBests);
    rankDrivers(site);
    if (!weeklyBests)
        readWeeks(reader, site);
    return site;
}

} // namespace

QString weekText(int week)
{
    return QStringLiteral("%1-W%2").arg(week / 100).arg(week % 100, 2, 10, QLatin1Char('0'));
}

QString Site::trackName(int trackId) const
{
    return trackNames.value(trackId, QStringLiteral("Track %1").arg(trackId));
}

int Site::driverIndex(const QString& name) const
{
    return driverIndexByName.value(name, -1);
}

Site readSite(Connection& connection, const SiteOptions& options)
{
    if (!connection.isOpen())
        connection.open();
    const bool weeklyBests = weeklybestIsOurs(connection);
    ReadSnapshot snapshot(connection);
    Site site = readSnapshot(connection, options, weeklyBests);
    snapshot.end();
    return site;
}

QStringList siteStatements(Engine engine, const SiteOptions& options)
{
    QStringList statements;
    for (const Statement which : {TrackNames, Standings, Latest, DriverStats, Results})
        statements.append(statement(which, engine, options));
    return statements;
}

} // namespace publish
