#include "common/apptext.h"
#include "common/settings.h"
#include "support/temphome.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <future>
#include <optional>
#include <type_traits>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const UserSettings designed;

// Runs `call` on a thread of its own: its answer when it came back at once, nothing when it did
// not. A call stuck opening the FIFO for reading is let go by a writer that comes and goes, so the
// test fails instead of hanging.
template <class Call>
std::optional<std::invoke_result_t<Call>> returnsAtOnce(const QString& fifo, Call call)
{
    auto done = std::async(std::launch::async, call);
    if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready)
        return done.get();
    while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    }
    return std::nullopt;
}
} // namespace

TEST(Settings, FreshFileGetsTheThreeKeysInOrder)
{
    TempHome home;
    const UserSettings read = settings::read(home.file("racr.ini"), designed);
    EXPECT_EQ(read.drivers, "kestrel,pilot000");
    EXPECT_EQ(read.driverName, "PILOT000");
    EXPECT_EQ(read.shard, "APEX");
    ASSERT_TRUE(settings::write(home.file("racr.ini"), read));
    EXPECT_EQ(home.read("racr.ini"), "[settings]\ndrivers=kestrel,pilot000\ndrivername=PILOT000\nshard=APEX\n");
}

TEST(Settings, KeysMatchWithoutCaseAndWritesReplaceInPlace)
{
    TempHome home;
    home.write("racr.ini",
               "; my settings\n[Settings]\nSHARD=chicane\nservicebase=http://127.0.0.1:9/\n"
               "Drivers=a,b\n[other]\nx=1\n");
    const UserSettings read = settings::read(home.file("racr.ini"), designed);
    EXPECT_EQ(read.drivers, "a,b");
    EXPECT_EQ(read.driverName, "PILOT000");   // missing key keeps its default
    EXPECT_EQ(read.shard, "chicane");
    EXPECT_EQ(settings::shardIndex(read.shard), 1);

    UserSettings changed = read;
    changed.shard = "CHICANE";
    ASSERT_TRUE(settings::write(home.file("racr.ini"), changed));
    const QString text = QString::fromUtf8(home.read("racr.ini"));
    EXPECT_TRUE(text.contains("; my settings")) << text.toStdString();
    EXPECT_TRUE(text.contains("SHARD=CHICANE")) << text.toStdString();
    EXPECT_TRUE(text.contains("Drivers=a,b")) << text.toStdString();
    EXPECT_TRUE(text.contains("drivername=PILOT000")) << text.toStdString();
    EXPECT_TRUE(text.contains("[other]\nx=1")) << text.toStdString();
    EXPECT_LT(text.indexOf("SHARD="), text.indexOf("Drivers="));   // order kept
    EXPECT_EQ(text.count("shard", Qt::CaseInsensitive), 1);
}

TEST(Settings, EmptyValuesUnknownShardsAndLongLists)
{
    TempHome home;
    const QString longList = QString("x").repeated(3000);
    home.write("racr.ini", ("[settings]\ndrivers=\nshard=NOWHERE\ndrivername=" + longList + "\n").toUtf8());
    const UserSettings read = settings::read(home.file("racr.ini"), designed);
    EXPECT_EQ(read.drivers, "");
    EXPECT_EQ(settings::shardIndex(read.shard), -1);
    EXPECT_EQ(settings::shardIndex(""), -1);
    EXPECT_EQ(settings::shardIndex("apex"), 0);
    EXPECT_EQ(read.driverName.size(), 2047);
}

TEST(Settings, NonAsciiTextSurvivesARoundTrip)
{
    TempHome home;
    UserSettings values;
    values.drivers = QString::fromUtf8("Jürgen,Zoë O'Neil");
    ASSERT_TRUE(settings::write(home.file("racr.ini"), values));
    EXPECT_EQ(settings::read(home.file("racr.ini"), designed).drivers, values.drivers);
}

TEST(Settings, UnwritablePlacesReportFailure)
{
    // Runs as root in CI, where permission bits do not stop a write: a folder standing where the
    // file should be does.
    TempHome home;
    ASSERT_TRUE(QDir(home.path()).mkdir("racr.ini"));
    ASSERT_TRUE(QDir(home.path()).mkdir("connection.dsn"));
    EXPECT_FALSE(settings::write(home.file("racr.ini"), designed));
    EXPECT_FALSE(settings::writeDataSourcePath(home.file("connection.dsn"), home.file("RACR.db")));
    EXPECT_FALSE(settings::write(home.file("missing/racr.ini"), designed));
    EXPECT_EQ(settings::read(home.file("racr.ini"), designed).drivers, designed.drivers);
}

TEST(Settings, FifosNamedLikeTheSettingsFilesAreLeftAlone)
{
    // Nobody writes to or reads from the other end: the start goes on as without the files.
    TempHome home;
    const QString ini = home.file("racr.ini");
    const QString dsn = home.file("connection.dsn");
    ASSERT_EQ(::mkfifo(QFile::encodeName(ini).constData(), 0600), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(dsn).constData(), 0600), 0);
    EXPECT_EQ(returnsAtOnce(ini, [&] { return settings::read(ini, designed).drivers; }), designed.drivers);
    EXPECT_EQ(returnsAtOnce(ini, [&] { return settings::write(ini, designed); }), false);
    EXPECT_EQ(returnsAtOnce(ini, [&] { return settings::serviceBase(ini); }), settings::defaultServiceBase);
    EXPECT_EQ(returnsAtOnce(dsn, [&] { return settings::writeDataSourcePath(dsn, home.file("RACR.db")); }), false);
    EXPECT_EQ(returnsAtOnce(dsn, [&] { return settings::dataSourceKeys(dsn).size(); }), 0);
}

TEST(Settings, DataSourcePathIsReplacedAndOtherKeysKept)
{
    TempHome home;
    home.write("connection.dsn", "[ODBC]\nDRIVER=SQLite3\ndbq=/elsewhere/old.mdb\nDatabase=/x.db\n");
    ASSERT_TRUE(settings::writeDataSourcePath(home.file("connection.dsn"), home.file("RACR.db")));
    const QString text = QString::fromUtf8(home.read("connection.dsn"));
    EXPECT_TRUE(text.contains("dbq=" + home.file("RACR.db"))) << text.toStdString();
    EXPECT_FALSE(text.contains("old.mdb"));
    const auto keys = settings::dataSourceKeys(home.file("connection.dsn"));
    ASSERT_EQ(keys.size(), 3);
    EXPECT_EQ(keys[0], qMakePair(QString("DRIVER"), QString("SQLite3")));
    EXPECT_EQ(keys[2], qMakePair(QString("Database"), QString("/x.db")));
}

TEST(Settings, ServiceBaseFromCommandLineFileOrDefault)
{
    TempHome home;
    EXPECT_EQ(settings::serviceBase(home.file("racr.ini")), "http://127.0.0.1:8680");
    home.write("racr.ini", "[settings]\nservicebase=http://127.0.0.1:9999/\n");
    EXPECT_EQ(settings::serviceBase(home.file("racr.ini")), "http://127.0.0.1:9999");
    settings::setServiceBaseOverride("http://127.0.0.1:7");
    EXPECT_EQ(settings::serviceBase(home.file("racr.ini")), "http://127.0.0.1:7");
    settings::setServiceBaseOverride(QString());
}

TEST(AppText, TitleComesFromTheProgramFileName)
{
    EXPECT_EQ(apptext::applicationTitle("/opt/racr/racr"), "Racr");
    EXPECT_EQ(apptext::applicationTitle("C:/Tools/RACR.EXE"), "Racr");
    EXPECT_EQ(apptext::applicationTitle("/x/stats-Tool"), "Stats-tool");
}

TEST(AppText, FullStopIsAddedWhenTheLastCharacterSortsAfterIt)
{
    EXPECT_EQ(apptext::errorText("Table not found"), "Table not found.");
    EXPECT_EQ(apptext::errorText("Done."), "Done.");
    EXPECT_EQ(apptext::errorText("Really!"), "Really!");
    EXPECT_EQ(apptext::errorText("(x)"), "(x)");
    EXPECT_EQ(apptext::errorText("error 42"), "error 42.");
    EXPECT_EQ(apptext::errorText(""), "");
}

TEST(AppText, IsoWeeks)
{
    EXPECT_EQ(apptext::isoWeek(QDate(2021, 1, 1)), 53);   // a Friday: still the old year's last week
    EXPECT_EQ(apptext::isoWeek(QDate(2024, 12, 31)), 1);  // a Tuesday: already the new year's first
    EXPECT_EQ(apptext::isoWeek(QDate(2021, 1, 4)), 1);
    EXPECT_EQ(apptext::isoWeek(QDate(2023, 1, 1)), 52);
    EXPECT_EQ(apptext::isoWeek(QDate(2026, 12, 31)), 53);
    EXPECT_EQ(apptext::isoWeek(QDate(2026, 6, 15)), 25);
}

TEST(Settings, TheGridSplitIsWrittenOnceMovedAndAValueThatIsNoHeightKeepsTheDesign)
{
    TempHome home;
    const QString ini = home.file("racr.ini");
    // Never moved: the key is not added.
    ASSERT_TRUE(settings::write(ini, designed));
    EXPECT_FALSE(home.read("racr.ini").contains("gridsplit"));

    UserSettings moved = designed;
    moved.gridSplit = 416;
    ASSERT_TRUE(settings::write(ini, moved));
    EXPECT_EQ(settings::read(ini, designed).gridSplit, 416);
    // Moved back to the design: the key the file holds says so.
    ASSERT_TRUE(settings::write(ini, designed));
    EXPECT_TRUE(home.read("racr.ini").contains("gridsplit=0\n"));
    EXPECT_EQ(settings::read(ini, designed).gridSplit, 0);

    for (const char* value : {"-40", "tall", "", "3.5"}) {
        home.write("racr.ini", QByteArray("[settings]\ngridsplit=") + value + "\n");
        EXPECT_EQ(settings::read(ini, designed).gridSplit, 0) << value;
    }
}
