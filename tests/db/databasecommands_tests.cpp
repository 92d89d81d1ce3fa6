#include "commands/databasecommands.h"
#include "sampledb.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QTemporaryFile>
#include <QTextStream>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What this process writes to its standard output while `work` runs.
QByteArray standardOutputOf(const std::function<void()>& work)
{
    QTemporaryFile caught;
    EXPECT_TRUE(caught.open());
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    ::dup2(caught.handle(), STDOUT_FILENO);
    work();
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    caught.seek(0);
    return caught.readAll();
}

class DatabaseCommand : public ::testing::TestWithParam<Engine> {
protected:
    SampleDatabase db{GetParam()};
    QString out;
    QString err;

    // Runs a command with its output caught in `out` and `err`.
    template <typename Command>
    int capture(Command command)
    {
        out.clear();
        err.clear();
        QTextStream o(&out);
        QTextStream e(&err);
        return command(o, e);
    }
    int run(const QString& sql)
    {
        return capture([&](QTextStream& o, QTextStream& e) { return runQueryCommand(sql, o, e); });
    }
};
using QueryCommand = DatabaseCommand;
using ExportCommand = DatabaseCommand;

TEST_P(QueryCommand, PrintsRowsUnderAHeaderLine)
{
    db.exec("update RACR set car = 'Ford \"GT\"; 2005' where id = 1");
    EXPECT_EQ(run("select id, driver, car, image from RACR left join DRIVERS on drivername = driver"
                  " where id in (1, 3) order by id"),
              0);
    EXPECT_EQ(out, "id;driver;car;image\n"
                   "1;kestrel;\"Ford \"\"GT\"\"; 2005\";3\n"
                   "3;ghost;Lotus Exige;\n");
    EXPECT_EQ(err, "");
}

TEST_P(QueryCommand, ReportsTheCountOfAStatementWithoutRows)
{
    EXPECT_EQ(run("delete from RACR where driver = 'kestrel'"), 0);
    EXPECT_EQ(out, "Operation affected 3 row(s)\n");
    EXPECT_EQ(run("exec driverstats PILOT000"), 0);
    EXPECT_EQ(out.count('\n'), 2);
}

TEST_P(QueryCommand, ErrorsGoToStandardErrorWithAFailingStatus)
{
    EXPECT_NE(run("select * from nosuchtable"), 0);
    EXPECT_EQ(out, "");
    EXPECT_TRUE(err.contains("nosuchtable")) << err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Engines, QueryCommand, ::testing::Values(Engine::Sqlite, Engine::Odbc, Engine::Postgres), engineName);

TEST_P(ExportCommand, WritesTheFileTheMenuWrites)
{
    const QString path = db.home().file("results.csv");
    db.exec("update RACR set car = 'Ford \"GT\"; 2005' where id = 1");
    EXPECT_EQ(capture([&](QTextStream& o, QTextStream& e) {
                  return runExportCommand("select id, driver, car, image from RACR left join DRIVERS"
                                          " on drivername = driver where id in (1, 3) order by id desc",
                                          path, o, e);
              }),
              0)
        << err.toStdString();
    EXPECT_EQ(db.home().read("results.csv").toStdString(), "id;driver;car;image;\r\n"
                                                           "\"3\";\"ghost\";\"Lotus Exige\";\"\"\r\n"
                                                           "\"1\";\"kestrel\";\"Ford \"\"GT\"\"; 2005\";\"3\"\r\n");
    EXPECT_TRUE(out.contains("2 row(s)")) << out.toStdString();
}

TEST_P(ExportCommand, AStatementWithoutAResultWritesNothing)
{
    const QString path = db.home().file("results.csv");
    EXPECT_EQ(capture([&](QTextStream& o, QTextStream& e) {
                  return runExportCommand("update RACR set shard = 'APEX' where id = 1", path, o, e);
              }),
              1);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(err.contains("no result")) << err.toStdString();
    EXPECT_NE(capture([&](QTextStream& o, QTextStream& e) {
                  return runExportCommand("select * from nosuchtable", path, o, e);
              }),
              0);
    EXPECT_TRUE(err.contains("nosuchtable")) << err.toStdString();
    EXPECT_FALSE(QFile::exists(path));
}

TEST_P(ExportCommand, ADashWritesTheTextAloneToStandardOutput)
{
    int status = -1;
    const QByteArray printed = standardOutputOf([&] {
        status = capture([&](QTextStream& o, QTextStream& e) {
            return runExportCommand("select driver, besttime from RACR where id in (1, 3) order by id", "-", o, e);
        });
    });
    EXPECT_EQ(status, 0) << err.toStdString();
    EXPECT_EQ(printed.toStdString(), "driver;besttime;\r\n\"kestrel\";\"70.500\"\r\n\"ghost\";\"72.000\"\r\n");
    EXPECT_EQ(out, "");
    EXPECT_FALSE(QFile::exists("-"));
}

TEST_P(ExportCommand, AFullDiskIsReportedAndTheDeviceIsLeftAlone)
{
    const QByteArray full = "/dev/full";
    auto isDevice = [&] {
        struct stat status {};
        return ::stat(full.constData(), &status) == 0 && S_ISCHR(status.st_mode);
    };
    if (!isDevice())
        GTEST_SKIP() << "this system has no /dev/full";
    EXPECT_EQ(capture([&](QTextStream& o, QTextStream& e) {
                  return runExportCommand("select * from RACR", QString::fromLatin1(full), o, e);
              }),
              1);
    EXPECT_TRUE(err.contains("the disk is full")) << err.toStdString();
    EXPECT_EQ(out, "");
    EXPECT_TRUE(isDevice());
}

INSTANTIATE_TEST_SUITE_P(Engines, ExportCommand, ::testing::Values(Engine::Sqlite, Engine::Odbc, Engine::Postgres), engineName);

// Both commands write the engine's bytes themselves: text beyond ASCII, bytes that are not UTF-8
// (shown as U+FFFD, as in the grid), blobs and fractions must come out exactly as before, on a
// terminal or a pipe as well as into a string.
TEST(RowCommands, WriteEveryKindOfValueAsTheGridShowsIt)
{
    SampleDatabase db{Engine::Sqlite};
    // The export writes fractions in the user's notation; this one writes a point.
    const QLocale userLocale;
    QLocale::setDefault(QLocale::c());
    const auto restore = qScopeGuard([&] { QLocale::setDefault(userLocale); });
    const QString sql = "select 'Jürgen; \"J\"' as driver, cast(x'41ff42' as text) as raw, 2.5 as half, 1e300 as big,"
                        " -7 as minus, null as empty, x'c3a9' as avatar";
    const QByteArray values = "\"J\xC3\xBCrgen; \"\"J\"\"\";A\xEF\xBF\xBD" "B;2.5;1e+300;-7;;\xC3\xA9";
    const auto printed = [&](const std::function<int(QTextStream&, QTextStream&)>& command) {
        int status = -1;
        const QByteArray text = standardOutputOf([&] {
            QTextStream out(stdout);
            QString errors;
            QTextStream err(&errors);
            status = command(out, err);
        });
        EXPECT_EQ(status, 0);
        return text;
    };
    EXPECT_EQ(printed([&](QTextStream& o, QTextStream& e) { return runQueryCommand(sql, o, e); }),
              "driver;raw;half;big;minus;empty;avatar\n" + values + "\n");
    EXPECT_EQ(printed([&](QTextStream& o, QTextStream& e) { return runExportCommand(sql, "-", o, e); }),
              "driver;raw;half;big;minus;empty;avatar;\r\n"
              "\"J\xC3\xBCrgen; \"\"J\"\"\";\"A\xEF\xBF\xBD" "B\";\"2.5\";\"1e+300\";\"-7\";\"\";\"\xC3\xA9\"\r\n");
}

TEST(MergeCommand, PrintsBothReportsAndAddsTheRowsOnce)
{
    SampleDatabase db{Engine::Sqlite};
    const QString oldFile = db.home().file("old RACR.db");
    {
        Connection old(db.home().file("old.dsn"), oldFile);
        old.open();
        QSqlQuery query(old.database());
        EXPECT_TRUE(query.exec("INSERT INTO RACR (driver, car, [date], trackid, multiplayer, besttime, shard)"
                               " VALUES ('newcomer', 'Mini', '2020-01-01  09:00:00', 3, 1, '01:40.000', 'APEX')"));
        EXPECT_TRUE(query.exec("INSERT INTO DRIVERS (drivername) VALUES ('newcomer')"));
    }
    QString out;
    QString err;
    QTextStream o(&out);
    QTextStream e(&err);
    EXPECT_EQ(runMergeCommand(oldFile, o, e), 0);
    EXPECT_EQ(runMergeCommand(oldFile, o, e), 0);
    EXPECT_EQ(out, "Operation affected 1 row(s) in RACR table\n"
                   "Operation affected 1 row(s) in DRIVERS table\n"
                   "Operation affected 0 row(s) in RACR table\n"
                   "Operation affected 0 row(s) in DRIVERS table\n");
    EXPECT_EQ(err, "");
    EXPECT_EQ(db.count("select count(*) from RACR where driver = 'newcomer'"), 1);

    EXPECT_EQ(runMergeCommand(db.home().file("gone.db"), o, e), 1);
    EXPECT_TRUE(err.contains("gone.db")) << err.toStdString();
}

TEST(MergeCommand, ADriverTableThatCannotBeCopiedFailsAfterTheFirstReportAndAMissingOneIsFine)
{
    SampleDatabase db{Engine::Sqlite};
    const QString damaged = db.home().file("damaged.db");
    const QString resultsOnly = db.home().file("results only.db");
    for (const QString& path : {damaged, resultsOnly}) {
        Connection old(db.home().file("old.dsn"), path);
        old.open();
        QSqlQuery query(old.database());
        EXPECT_TRUE(query.exec(QStringLiteral("INSERT INTO RACR (driver, trackid, besttime) VALUES ('%1', 3, '01:40.000')")
                                   .arg(QFileInfo(path).baseName())));
        EXPECT_TRUE(query.exec("DROP TABLE DRIVERS"));
        if (path == damaged)
            EXPECT_TRUE(query.exec("CREATE TABLE DRIVERS (drivername TEXT)"));
    }
    QString out;
    QString err;
    QTextStream o(&out);
    QTextStream e(&err);
    EXPECT_EQ(runMergeCommand(damaged, o, e), 1);
    EXPECT_EQ(out, "Operation affected 1 row(s) in RACR table\n");
    EXPECT_TRUE(err.contains("driverlevel")) << err.toStdString();

    out.clear();
    err.clear();
    EXPECT_EQ(runMergeCommand(resultsOnly, o, e), 0);
    EXPECT_EQ(out, "Operation affected 1 row(s) in RACR table\n");
    EXPECT_EQ(err, "");
}

} // namespace
