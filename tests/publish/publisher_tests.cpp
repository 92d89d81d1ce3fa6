// The club pages are made and written by several threads at once. A club of a few hundred drivers
// gives every thread many pages; CI runs this under ThreadSanitizer, where a data race between the
// page makers fails it as well.
#include "common/error.h"
#include "db/connection.h"
#include "publish/pagenames.h"
#include "publish/publisher.h"
#include "publish/sitedata.h"
#include "support/temphome.h"

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <set>
#include <sys/resource.h>
#include <thread>

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
        EXPECT_TRUE(error.message().startsWith("Cannot write ") && error.message().contains(".html"))
            << error.message().toStdString();
    }
    EXPECT_TRUE(files(club) == site) << "the failed run changed the published site";
    EXPECT_EQ(QDir(parent.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"club"})
        << "the half-made site was left beside it";
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
