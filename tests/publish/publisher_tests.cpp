// The club pages are made and written by several threads at once. A club of a few hundred drivers
// gives every thread many pages; CI runs this under ThreadSanitizer, where a data race between the
// page makers fails it as well.
#include "common/error.h"
#include "db/connection.h"
#include "db/writetransaction.h"
#include "publish/pagenames.h"
#include "publish/publisher.h"
#include "publish/sitedata.h"
#include "publish/sitefolder.h"
#include "support/pgserver.h"
#include "support/temphome.h"

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kDrivers = 300;

// kDrivers drivers' results spread over the 90 tracks, both race types, about a year of weeks.
void fill(Connection& connection)
{
    QSqlQuery query(connection.database());
    ASSERT_TRUE(query.exec(QStringLiteral(
        "INSERT INTO RACR (driver, car, date, trackid, multiplayer, besttime, shard)"
        " WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 3000)"
        " SELECT 'driver' || (x % %1), 'Make' || (x % 13), strftime('%Y-%m-%d  %H:%M:%S', 1609459200 + x * 10007,"
        " 'unixepoch'), t.trackid, 1 + x % 2, printf('%d.%03d', 60 + (x * 7) % 97, (x * 13) % 1000), 'APEX'"
        " FROM n JOIN (SELECT trackid, row_number() OVER (ORDER BY trackid) - 1 AS k FROM TRACKLIST) t"
        " ON t.k = x % 90").arg(kDrivers)))
        << query.lastError().text().toStdString();
}

// Every file of the folder, hidden ones too, by name.
std::map<QString, QByteArray> files(const QString& folder)
{
    std::map<QString, QByteArray> contents;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden)) {
        QFile file(dir.filePath(name));
        contents[name] = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("unreadable");
    }
    return contents;
}

// While it lives, no file of this process can grow past `bytes`: writing a bigger page fails the
// way it does on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : m_signal(std::signal(SIGXFSZ, SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &m_previous);
        const rlimit limit{bytes, m_previous.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_signal);
    }

private:
    rlimit m_previous{};
    void (*m_signal)(int);
};

// The same results on any engine, one row at a time: kDrivers drivers on 20 tracks, both race types.
void fillAnyEngine(Connection& connection)
{
    QSqlDatabase db = connection.database();
    racr::WriteTransaction transaction(db, QStringLiteral("Filling"));
    QSqlQuery tracks(db);
    ASSERT_TRUE(tracks.exec("SELECT trackid FROM TRACKLIST ORDER BY trackid LIMIT 20"));
    std::vector<int> ids;
    while (tracks.next())
        ids.push_back(tracks.value(0).toInt());
    QSqlQuery insert(db);
    ASSERT_TRUE(insert.prepare("INSERT INTO RACR (driver, car, date, trackid, multiplayer, besttime, shard)"
                               " VALUES (?, 'Make', ?, ?, ?, ?, 'APEX')"));
    for (int x = 0; x < 2000; ++x) {
        insert.addBindValue(QStringLiteral("driver%1").arg(x % kDrivers));
        insert.addBindValue(QStringLiteral("2021-%1-%2 10:00:00").arg(1 + x % 12, 2, 10, QChar('0')).arg(1 + x % 28, 2, 10, QChar('0')));
        insert.addBindValue(ids[std::size_t(x) % ids.size()]);
        insert.addBindValue(1 + x % 2);
        insert.addBindValue(QStringLiteral("%1.%2").arg(60 + (x * 7) % 97).arg((x * 13) % 1000, 3, 10, QChar('0')));
        ASSERT_TRUE(insert.exec()) << insert.lastError().text().toStdString();
    }
    transaction.commit();
}

// Another program importing into the same database while the pages are read: a track's records
// in one transaction each, every record the board's fastest yet and held by a driver the site
// already knows, so that each commit moves records from one driver to another.
class ImportingWriter {
public:
    explicit ImportingWriter(const TempHome& home)
        : m_thread([this, &home] {
              Connection connection(home.file("connection.dsn"), home.file("RACR.db"));
              try {
                  connection.open();
                  write(connection);
              } catch (const racr::Error& error) {
                  const std::lock_guard lock(m_mutex);
                  m_failure = error.message();
                  m_commits = -1;
              }
              m_commits.notify_all();
          })
    {
        // The writer is under way before the first read.
        for (int seen = m_commits.load(); seen >= 0 && seen < 3; seen = m_commits.load())
            m_commits.wait(seen);
    }
    ~ImportingWriter()
    {
        m_stop = true;
        m_thread.join();
    }
    int commits() const { return m_commits; }   // -1 once the writer failed
    QString failure() const
    {
        const std::lock_guard lock(m_mutex);
        return m_failure;
    }

private:
    void write(Connection& connection)
    {
        QSqlDatabase db = connection.database();
        QSqlQuery tracks(db);
        if (!tracks.exec("SELECT DISTINCT trackid FROM RACR ORDER BY trackid"))
            throw racr::Error(tracks.lastError().text());
        std::vector<int> ids;
        while (tracks.next())
            ids.push_back(tracks.value(0).toInt());
        for (int n = 0; !m_stop; ++n) {
            racr::WriteTransaction transaction(db, QStringLiteral("Writing"));
            QSqlQuery insert(db);
            insert.prepare("INSERT INTO RACR (driver, car, date, trackid, multiplayer, besttime, shard)"
                           " VALUES (?, 'Writer', '2022-01-01 10:00:00', ?, ?, ?, 'APEX')");
            for (std::size_t t = 0; t < ids.size(); ++t) {
                insert.addBindValue(QStringLiteral("driver%1").arg((n * 7 + int(t)) % kDrivers));
                insert.addBindValue(ids[t]);
                insert.addBindValue(1 + n % 2);
                insert.addBindValue(QString::number(50.0 - n * 0.001, 'f', 3));
                if (!insert.exec())
                    throw racr::Error(insert.lastError().text());
            }
            transaction.commit();
            ++m_commits;
            m_commits.notify_all();
            // A commit every few milliseconds, as an import stores track after track: many
            // within one reading of the site, and a table that stays small enough to read often.
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    std::atomic<bool> m_stop = false;
    std::atomic<int> m_commits = 0;
    mutable std::mutex m_mutex;
    QString m_failure;
    std::thread m_thread;
};

// Whether the site agrees with itself: each board's record is held by the driver ranked first
// on it, and each driver counts as many records as boards name them.
QStringList disagreements(const publish::Site& site)
{
    QStringList found;
    std::map<int, int> held;
    for (const publish::Board& board : site.boards) {
        if (board.standings.empty())
            continue;
        const QString name = site.trackName(board.trackId) + (board.multiplayer ? " MP" : " SP");
        if (board.recordHolder < 0) {
            found.append(name + ": a record of nobody in its standings");
            continue;
        }
        ++held[board.recordHolder];
        const auto holder = std::find_if(board.standings.begin(), board.standings.end(),
                                         [&](const publish::Standing& s) { return s.driver == board.recordHolder; });
        if (holder == board.standings.end() || holder->rank != 1)
            found.append(name + ": the record is credited to " + site.drivers[board.recordHolder].name + ", ranked "
                         + (holder == board.standings.end() ? QString("nowhere") : QString::number(holder->rank)));
    }
    for (std::size_t d = 0; d < site.drivers.size(); ++d) {
        if (site.drivers[d].records != held[int(d)])
            found.append(site.drivers[d].name + ": counted " + QString::number(site.drivers[d].records) + " records");
    }
    return found;
}

} // namespace

TEST(Publisher, EveryPageIsWrittenWholeByTheThreadsAndAPageThatCannotBeWrittenKeepsThePreviousSite)
{
    TempHome home;
    Connection connection(home.file("connection.dsn"), home.file("RACR.db"));
    connection.open();
    fill(connection);
    std::set<QString> expected{".racr-site", "style.css", "index.html", "weeks.html"};
    QSqlQuery tracks(connection.database());
    ASSERT_TRUE(tracks.exec("SELECT DISTINCT trackid FROM RACR"));
    while (tracks.next())
        expected.insert(pagenames::trackPage(tracks.value(0).toInt()));
    for (int d = 0; d < kDrivers; ++d)
        expected.insert(pagenames::driverPage(QStringLiteral("driver%1").arg(d)));

    QTemporaryDir parent;
    const QString club = parent.filePath("club");
    const std::thread::id caller = std::this_thread::get_id();
    bool toldElsewhere = false;
    std::pair<int, int> lastTold;
    const auto progress = [&](int done, int total) {
        toldElsewhere = toldElsewhere || std::this_thread::get_id() != caller;
        lastTold = {done, total};
    };
    const publish::PublishReport report = publish::publishSite(connection, club, {}, progress);
    EXPECT_EQ(report.drivers, kDrivers);
    EXPECT_FALSE(toldElsewhere) << "a window's progress bar may only be touched from the window's thread";
    EXPECT_EQ(lastTold.first, lastTold.second) << "the bar ends full";

    const std::map<QString, QByteArray> site = files(club);
    QStringList missing;
    for (const QString& name : expected) {
        if (site.count(name) == 0)
            missing.append(name);
    }
    QStringList unexpected;
    QStringList cutShort;
    for (const auto& [name, bytes] : site) {
        if (expected.count(name) == 0)
            unexpected.append(name);
        else if (name.endsWith(".html") && !bytes.endsWith("</body>\n</html>\n"))
            cutShort.append(name);
    }
    EXPECT_EQ(missing, QStringList{});
    EXPECT_EQ(unexpected, QStringList{});
    EXPECT_EQ(cutShort, QStringList{});

    publish::publishSite(connection, club, {});
    EXPECT_TRUE(files(club) == site) << "a second run on the same data wrote other bytes";

    // The index and the weekly bests are far bigger than this; the style sheet and the marker fit.
    try {
        const FileSizeLimit full(8 * 1024);
        publish::publishSite(connection, club, {}, progress);
        ADD_FAILURE() << "a run whose pages could not be written reported success";
    } catch (const racr::Error& error) {
        // The disk fills in the middle of a page: a short write, then the system's refusal, whose
        // words name the cause ("File too large" for this limit, "No space left on device" for a
        // full disk) rather than "Unknown error".
        EXPECT_TRUE(error.message().startsWith("Cannot write " + parent.path() + "/.club.publishing-"))
            << error.message().toStdString();
        EXPECT_TRUE(error.message().endsWith(".html: " + QString::fromLocal8Bit(std::strerror(EFBIG))))
            << error.message().toStdString();
    }
    EXPECT_TRUE(files(club) == site) << "the failed run changed the published site";
    EXPECT_EQ(QDir(parent.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"club"})
        << "the half-made site was left beside it";
}

// Pages made while an import commits: every read of the site is one state of the database.
class PublisherWhileImporting : public testing::TestWithParam<Engine> {};

TEST_P(PublisherWhileImporting, ReadsTheWholeSiteFromOneSnapshot)
{
    TempHome home;
    if (GetParam() == Engine::Postgres)
        home.write("racr.ini", QStringLiteral("[settings]\ndatabase=%1\n").arg(pgtest::newDatabase()).toUtf8());
    Connection connection(home.file("connection.dsn"), home.file("RACR.db"));
    connection.open();
    ASSERT_EQ(connection.engine(), GetParam());
    fillAnyEngine(connection);

    const ImportingWriter writer(home);
    ASSERT_GT(writer.commits(), 0) << writer.failure().toStdString();
    constexpr int kReads = 25;
    int agreeing = 0;
    QStringList first;
    for (int read = 0; read < kReads; ++read) {
        const QStringList found = disagreements(publish::readSite(connection, {}));
        if (found.isEmpty())
            ++agreeing;
        else if (first.isEmpty())
            first = found;
    }
    const int commits = writer.commits();
    EXPECT_EQ(agreeing, kReads) << "first disagreements: " << first.mid(0, 5).join("; ").toStdString();
    EXPECT_GT(commits, 3) << "the writer stopped early: " << writer.failure().toStdString();

    // The read leaves no transaction behind: a write on the same connection commits.
    racr::WriteTransaction after(connection.database(), QStringLiteral("Writing after the pages"));
    after.commit();
}

INSTANTIATE_TEST_SUITE_P(Engines, PublisherWhileImporting, testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const testing::TestParamInfo<Engine>& info) {
                             return info.param == Engine::Sqlite ? std::string("Sqlite") : std::string("Postgres");
                         });

// Stored names that differ only in letter case, whose hashes agree in their first 32 bits, and
// names that are no valid UTF-8 (which read as the same text) are four drivers with four pages.
TEST(Publisher, DistinctStoredNamesGetPagesOfTheirOwnTheSameEveryRun)
{
    TempHome home;
    Connection connection(home.file("connection.dsn"), home.file("RACR.db"));
    connection.open();
    QSqlQuery insert(connection.database());
    ASSERT_TRUE(insert.exec(
        "INSERT INTO RACR (driver, car, date, trackid, multiplayer, besttime, shard)"
        " SELECT name, 'Make', '2021-03-04 10:00:00', (SELECT MIN(trackid) FROM TRACKLIST), 1, time, 'APEX' FROM ("
        " SELECT 'HaShClAsHDRIVERXyzab' AS name, '80.100' AS time UNION ALL SELECT 'hAshCLasHdrIVERxyZab', '80.200'"
        " UNION ALL SELECT CAST(X'61FF' AS TEXT), '80.300' UNION ALL SELECT CAST(X'61FE' AS TEXT), '80.400')"))
        << insert.lastError().text().toStdString();
    ASSERT_EQ(pagenames::driverPage(QString("HaShClAsHDRIVERXyzab")), pagenames::driverPage(QString("hAshCLasHdrIVERxyZab")))
        << "the names no longer share a hash; pick two that do";

    QTemporaryDir parent;
    const QString club = parent.filePath("club");
    const publish::PublishReport report = publish::publishSite(connection, club, {});
    EXPECT_EQ(report.drivers, 4);
    const std::map<QString, QByteArray> site = files(club);
    std::set<QString> driverPages;
    for (const auto& [name, bytes] : site) {
        if (name.startsWith("driver-"))
            driverPages.insert(name);
    }
    EXPECT_EQ(driverPages, (std::set<QString>{"driver-hashclashdriverxyzab-0fd54a7d.html",
                                              "driver-hashclashdriverxyzab-0fd54a7d-2.html", "driver-a_fe.html",
                                              "driver-a_ff.html"}));
    // Each page is its driver's own: the two with capitals hold their own times.
    EXPECT_TRUE(site.at("driver-hashclashdriverxyzab-0fd54a7d.html").contains("HaShClAsHDRIVERXyzab"));
    EXPECT_TRUE(site.at("driver-hashclashdriverxyzab-0fd54a7d-2.html").contains("hAshCLasHdrIVERxyZab"));
    for (const QString& page : driverPages)
        EXPECT_TRUE(site.at("index.html").contains("href=\"" + page.toUtf8() + "\"")) << page.toStdString();

    publish::publishSite(connection, club, {});
    EXPECT_TRUE(files(club) == site) << "a second run gave other pages";
}

// What a run leaves when it is killed, and what a full disk says.
TEST(Publisher, TheNextRunRemovesTheFoldersOfKilledRunsAndAFullDiskIsNamed)
{
    TempHome home;
    Connection connection(home.file("connection.dsn"), home.file("RACR.db"));
    connection.open();
    fill(connection);
    QTemporaryDir parent;
    const QString club = parent.filePath("club");
    publish::publishSite(connection, club, {});
    const QDir beside(parent.path());
    const auto stagingFolders = [&] {
        return beside.entryList({".club.publishing-*"}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    };

    // Runs killed while they write their pages, each in a process of its own.
    for (int killed = 0; killed < 3; ++killed) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            SiteFolder site(club);
            site.write("index.html", QByteArray(100 * 1024, 'x'));
            std::raise(SIGKILL);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
    }
    // Each killed run may have removed the ones before it; the last one's folder is left.
    ASSERT_GE(stagingFolders().size(), 1);

    // A run under way at the same moment keeps its folder.
    {
        SiteFolder running(club);
        EXPECT_EQ(stagingFolders().size(), 1) << "the killed runs' folders stayed";
        publish::publishSite(connection, club, {});
        EXPECT_EQ(stagingFolders().size(), 1) << "a run removed the folder of a run under way";
        running.write("late.html", "still there");
    }
    EXPECT_EQ(stagingFolders(), QStringList{});

    // A full disk: the system's words and the file.
    SiteFolder full(club);
    const QStringList made = stagingFolders();
    ASSERT_EQ(made.size(), 1);
    ASSERT_EQ(::symlink("/dev/full", QFile::encodeName(beside.filePath(made.first() + "/index.html")).constData()), 0);
    try {
        full.write("index.html", QByteArray(10000, 'x'));
        ADD_FAILURE() << "a page written to a full disk reported success";
    } catch (const racr::Error& error) {
        // "No space left on device" in the language the program runs in.
        EXPECT_EQ(error.message(), "Cannot write " + beside.filePath(made.first() + "/index.html") + ": "
                                       + QString::fromLocal8Bit(std::strerror(ENOSPC)));
    }
}

// The pages work out the weekly bests and the records themselves rather than read the view: a time
// that is no number ("", "DNF", NULL) is no best there either, and a date that cannot be has no week.
TEST(Publisher, TimesThatAreNoNumberAreNoBestAndAnImpossibleDateHasNoWeekAsInTheView)
{
    TempHome home;
    Connection connection(home.file("connection.dsn"), home.file("RACR.db"));
    connection.open();
    QSqlQuery query(connection.database());
    ASSERT_TRUE(query.exec("INSERT INTO RACR (driver, car, date, trackid, multiplayer, besttime, shard) VALUES"
                           " ('a', 'Mini', '2011-06-01  10:00:00', 10, 1, '101.000', 'APEX'),"
                           " ('b', 'Mini', '2011-06-02  10:00:00', 10, 1, '95.100', 'APEX'),"
                           " ('c', 'Mini', '2011-06-03  10:00:00', 10, 1, '', 'APEX'),"
                           " ('d', 'Mini', '2011-06-03  10:00:00', 10, 1, 'DNF', 'APEX'),"
                           " ('e', 'Mini', '2011-06-03  10:00:00', 10, 1, NULL, 'APEX'),"
                           " ('c', 'Mini', '2011-06-09  10:00:00', 10, 1, '5abc', 'APEX'),"
                           " ('g', 'Mini', '2011-02-30  10:00:00', 10, 1, '80.0', 'APEX')"))
        << query.lastError().text().toStdString();
    const publish::Site site = publish::readSite(connection, {});

    std::vector<QStringList> view;
    ASSERT_TRUE(query.exec("SELECT trackname, Racetype, besttime, driver, car, date, week FROM weeklybest"));
    while (query.next()) {
        QStringList row;
        for (int i = 0; i < 7; ++i)
            row.append(query.value(i).toString());
        view.push_back(row);
    }
    ASSERT_EQ(view.size(), 2u);
    EXPECT_EQ(view[0][2], "95.100");
    EXPECT_EQ(view[1][6], "");
    EXPECT_EQ(site.weeks.rows, view);

    ASSERT_EQ(site.boards.size(), 1u);
    const publish::Board& board = site.boards.front();
    EXPECT_EQ(site.drivers[std::size_t(board.recordHolder)].name, "g");
    QStringList ranked;
    for (const publish::Standing& standing : board.standings)
        ranked.append(site.drivers[std::size_t(standing.driver)].name);
    EXPECT_EQ(ranked, (QStringList{"g", "b", "a"}));
}
