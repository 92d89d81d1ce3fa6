#include "common/error.h"
#include "db/startingstatement.h"
#include "workbench/ui/exportimportmenu.h"
#include "support/findnamed.h"
#include "workbenchform.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QMenuBar>
#include <QProcess>
#include <csv.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// The workbench and grid with the menu on a menu bar of their own.
struct MenuForm : WorkbenchForm {
    using WorkbenchForm::WorkbenchForm;
    ExportImportMenu menu{new QMenuBar(&form), openResult, &form};

    QStringList messageTexts()
    {
        QStringList texts;
        for (const auto& m : dialogs.messages)
            texts.append(m.caption + (m.icon == Dialogs::Icon::Information ? " info: " : " error: ") + m.text);
        return texts;
    }
};

// Lines of cells as a CSV reader set to ";" finds them in a file.
QList<QStringList> readCsv(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    const QByteArray bytes = file.readAll();

    QList<QStringList> lines{{}};
    csv_parser parser;
    EXPECT_EQ(csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI), 0);
    csv_set_delim(&parser, ';');
    auto cell = [](void* text, std::size_t size, void* data) {
        static_cast<QList<QStringList>*>(data)->last().append(
            QString::fromUtf8(static_cast<const char*>(text), qsizetype(size)));
    };
    auto lineEnd = [](int, void* data) { static_cast<QList<QStringList>*>(data)->append(QStringList()); };
    EXPECT_EQ(csv_parse(&parser, bytes.constData(), std::size_t(bytes.size()), cell, lineEnd, &lines),
              std::size_t(bytes.size()))
        << csv_strerror(csv_error(&parser));
    EXPECT_EQ(csv_fini(&parser, cell, lineEnd, &lines), 0);
    csv_free(&parser);
    lines.removeLast();   // opened by the last line's end
    return lines;
}

// Runs a test with the user's number notation set to a country's.
class NumberNotation {
public:
    explicit NumberNotation(QLocale::Language language, QLocale::Territory territory)
    {
        QLocale::setDefault(QLocale(language, territory));
    }
    ~NumberNotation() { QLocale::setDefault(m_before); }

private:
    QLocale m_before;
};

class Export : public ::testing::Test {
protected:
    MenuForm w;
    QString path = w.db.home().file("out.csv");

    QByteArray exported()
    {
        w.dialogs.saveAnswer = path;
        w.menu.exportToCsvFile();
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }
};

TEST_F(Export, DoesNothingWithoutAResultOrAChosenFile)
{
    w.dialogs.saveAnswer = path;
    w.menu.exportToCsvFile();   // nothing run yet
    w.run("update RACR set shard = 'APEX' where driver = 'nobody'");
    w.dialogs.messages.clear();   // the workbench's own report of the update
    w.menu.exportToCsvFile();
    EXPECT_TRUE(w.dialogs.fileRequests.isEmpty());

    w.run("select driver from RACR");
    w.dialogs.saveAnswer.clear();   // Cancel
    w.menu.exportToCsvFile();
    ASSERT_EQ(w.dialogs.fileRequests.size(), 1);
    EXPECT_EQ(w.dialogs.fileRequests[0].filters, QStringList{"Excel csv files (*.csv)"});
    EXPECT_EQ(w.dialogs.fileRequests[0].defaultSuffix, "csv");
    EXPECT_EQ(w.dialogs.fileRequests[0].initialPath, "");
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(w.dialogs.messages.isEmpty());
}

TEST_F(Export, DefaultStatementGivesItsHeaderAndAQuotedLinePerRow)
{
    w.run(startingStatement());
    const QList<QByteArray> lines = exported().split('\n');
    ASSERT_EQ(lines.size(), 1 + 4 + 1);   // header, four rows, nothing after the last line end
    EXPECT_TRUE(lines[0].startsWith("image;driver;driverlevel;")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith("Racetype;\r")) << lines[0].toStdString();
    for (int i = 1; i <= 4; ++i) {
        EXPECT_TRUE(lines[i].startsWith('"') && lines[i].endsWith("\"\r")) << lines[i].toStdString();
        EXPECT_EQ(lines[i].count(";"), lines[0].count(";") - 1);   // no value here holds a semicolon
    }
    EXPECT_EQ(lines[5], "");
    // The dialog offers the file just written the next time.
    w.menu.exportToCsvFile();
    EXPECT_EQ(w.dialogs.fileRequests.last().initialPath, path);
}

TEST_F(Export, EveryValueReadsBackIntoItsOwnCell)
{
    const NumberNotation english(QLocale::English, QLocale::UnitedStates);
    w.db.exec("UPDATE DRIVERS SET statusmessage = 'say \"hi\"; to Zoë' || char(13, 10) || 'bye',"
              " tot_avg_place = 1.0/3, sp_avg_place = 2.5, mp_avg_place = 1234567.0 WHERE drivername = 'kestrel'");
    w.run("select drivername, statusmessage, image, tot_avg_place, sp_avg_place, mp_avg_place, car_count"
          " from DRIVERS order by drivername");
    exported();
    EXPECT_EQ(readCsv(path),
              (QList<QStringList>{
                  {"drivername", "statusmessage", "image", "tot_avg_place", "sp_avg_place", "mp_avg_place",
                   "car_count", ""},
                  {"kestrel", "say \"hi\"; to Zoë\r\nbye", "3", "0.333333333333333", "2.5", "1234567", ""},
                  {"pilot000", "", "7", "", "", "", ""},
              }));
}

TEST_F(Export, KeepsTheGridsOrderAndEndsOnTheFirstRow)
{
    w.db.exec("UPDATE DRIVERS SET tot_avg_place = 1.0/3, sp_avg_place = 1234567.5 WHERE drivername = 'kestrel'");
    w.run("select drivername, tot_avg_place, sp_avg_place from DRIVERS");
    w.openResult.sortBy("drivername", Qt::DescendingOrder);
    w.openResult.moveTo(1);
    // A spreadsheet set to a decimal comma reads the fractions as numbers.
    const NumberNotation german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(exported().toStdString(), "drivername;tot_avg_place;sp_avg_place;\r\n"
                                        "\"pilot000\";\"\";\"\"\r\n"
                                        "\"kestrel\";\"0,333333333333333\";\"1234567,5\"\r\n");
    EXPECT_EQ(w.label("recNoLabel"), "RecNo: 1");
    EXPECT_EQ(w.openResult.currentRow(), 0);
}

TEST_F(Export, UnderAFilterWritesTheRowsShown)
{
    w.run("select drivername, driverlevel from DRIVERS order by drivername");
    RowFilter filter;
    filter.set(1, ">10");
    w.openResult.setFilter(filter);
    EXPECT_EQ(exported().toStdString(), "drivername;driverlevel;\r\n"
                                        "\"kestrel\";\"12\"\r\n");
}

TEST_F(Export, AnEmptyResultGivesTheHeaderLineOnly)
{
    w.run("select driver, car from RACR where driver = 'nobody'");
    EXPECT_EQ(exported().toStdString(), "driver;car;\r\n");
}

TEST_F(Export, AFileThatCannotBeWrittenIsReportedAndAnOlderOneKept)
{
    w.run("select driver from RACR");
    w.db.home().write("kept.csv", "older export\r\n");
    QDir(w.db.home().path()).mkdir("folder.csv");
    for (const QString& name : {"folder.csv", "no folder/out.csv"}) {
        w.dialogs.saveAnswer = w.db.home().file(name);
        EXPECT_THROW(w.menu.exportToCsvFile(), racr::Error) << name.toStdString();
    }
    QFile kept(w.db.home().file("kept.csv"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "older export\r\n");
}

TEST_F(Export, AFifoIsWrittenInPlaceAndAReaderThatStopsEarlyIsAnError)
{
    const QString fifo = w.db.home().file("to the spreadsheet");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    auto isFifo = [&] {
        struct stat status {};
        return ::stat(QFile::encodeName(fifo).constData(), &status) == 0 && S_ISFIFO(status.st_mode);
    };
    w.dialogs.saveAnswer = fifo;

    w.run("select drivername, driverlevel from DRIVERS order by drivername");
    QProcess cat;
    cat.start("cat", {fifo});
    ASSERT_TRUE(cat.waitForStarted());
    w.menu.exportToCsvFile();
    EXPECT_TRUE(cat.waitForFinished(10'000));   // a replaced FIFO would keep it waiting
    EXPECT_EQ(cat.readAllStandardOutput().toStdString(),
              "drivername;driverlevel;\r\n\"kestrel\";\"12\"\r\n\"pilot000\";\"5\"\r\n");
    EXPECT_TRUE(isFifo());

    // More than the pipe holds, to a reader that takes ten bytes and goes: an error, not the end
    // of the program.
    w.run("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 50000) SELECT i FROM n");
    QProcess head;
    head.start("head", {"-c", "10", fifo});
    ASSERT_TRUE(head.waitForStarted());
    EXPECT_THROW(w.menu.exportToCsvFile(), racr::Error);
    EXPECT_TRUE(head.waitForFinished(10'000));
    EXPECT_TRUE(isFifo());
}

TEST(ExportOverOdbc, DateTimesAtMidnightShowTheDayAlone)
{
    MenuForm w{Engine::Odbc};
    w.db.exec("CREATE TABLE seen (at TIMESTAMP)");
    w.db.exec("INSERT INTO seen VALUES ('2021-03-01 00:00:00'), ('2021-03-01 10:05:00')");
    w.run("select at from seen order by at");
    const QString path = w.db.home().file("seen.csv");
    w.dialogs.saveAnswer = path;
    w.menu.exportToCsvFile();
    EXPECT_EQ(readCsv(path), (QList<QStringList>{{"at", ""}, {"2021-03-01"}, {"2021-03-01 10:05:00"}}));
}

// The old file is an SQLite file of the program's own; the current database is reached
// directly or over ODBC.
class Merge : public ::testing::TestWithParam<Engine> {
protected:
    MenuForm w{GetParam()};
    QString oldFile = w.db.home().file("old files/it's an old one.db");   // a quote must not break the statement

    void SetUp() override { QDir(w.db.home().path()).mkdir("old files"); }

    void makeOld(const QStringList& statements)
    {
        Connection old(oldFile + ".dsn", oldFile);
        old.open();
        QSqlQuery query(old.database());
        for (const QString& sql : statements)
            EXPECT_TRUE(query.exec(sql)) << sql.toStdString();
    }
    static QString result(const QString& driver, int trackid, const QString& besttime, const QString& shard = "'APEX'")
    {
        return QStringLiteral("INSERT INTO RACR (driver, car, [date], trackid, multiplayer, besttime, shard)"
                              " VALUES ('%1', 'Ford GT', '2021-03-01  10:00:00', %2, 1, %3, %4)")
            .arg(driver)
            .arg(trackid)
            .arg(besttime == "NULL" ? besttime : "'" + besttime + "'", shard);
    }
    static QString driver(const QString& name, int level)
    {
        return QStringLiteral("INSERT INTO DRIVERS (drivername, driverlevel) VALUES ('%1', %2)").arg(name).arg(level);
    }
    void merge(const QString& path)
    {
        w.dialogs.messages.clear();
        w.dialogs.openAnswer = path;
        named<QAction>(w.form, "mergeOldDatabaseAction")->trigger();   // as chosen: errors go to the default display
    }
    int results() { return w.db.count("select count(*) from RACR"); }
    int drivers() { return w.db.count("select count(*) from DRIVERS"); }
};

TEST_P(Merge, CopiesEveryResultAndDriverOnceAndReportsTheCounts)
{
    QStringList rows;
    for (int i = 0; i < 120; ++i)
        rows.append(result(QStringLiteral("old%1").arg(i % 15), 1 + i % 90, QStringLiteral("01:%1.000").arg(i % 60, 2, 10, QLatin1Char('0'))));
    for (int i = 0; i < 15; ++i)
        rows.append(driver(QStringLiteral("old%1").arg(i), i));
    makeOld(rows);
    w.run(startingStatement());

    merge(oldFile);
    EXPECT_EQ(w.messageTexts(), (QStringList{"RACR tool info: Operation affected 120 row(s) in RACR table",
                                             "RACR tool info: Operation affected 15 row(s) in DRIVERS table"}));
    EXPECT_FALSE(w.openResult.isOpen());
    EXPECT_TRUE(w.openResult.text().startsWith("INSERT")) << w.openResult.text().toStdString();
    EXPECT_EQ(w.label("recordsLabel"), "Records: 4");   // the status keeps the last result's values
    EXPECT_EQ(results(), 5 + 120);
    EXPECT_EQ(w.db.count("select count(distinct id) from RACR"), 5 + 120);   // new ids
    EXPECT_EQ(drivers(), 2 + 15);
    EXPECT_EQ(w.db.count("select count(*) from TRACKLIST"), 90);

    ASSERT_EQ(w.dialogs.fileRequests.size(), 1);
    const Dialogs::FileRequest request = w.dialogs.fileRequests[0];
    if (GetParam() != Engine::Odbc) {   // only our own files reach SQLite or PostgreSQL
        EXPECT_EQ(request.filters, QStringList{"SQLite databases (*.db)"});
        EXPECT_EQ(request.defaultSuffix, "db");
        EXPECT_EQ(request.initialPath, "RACR.db");
    } else {   // an Access driver reads Access files; our own files are offered too
        EXPECT_EQ(request.filters, (QStringList{"Access databases (*.mdb)", "SQLite databases (*.db)"}));
        EXPECT_EQ(request.defaultSuffix, "mdb");
        EXPECT_EQ(request.initialPath, "RACR.mdb");
    }

    // The file was let go: the second merge reads it again and adds nothing.
    merge(oldFile);
    EXPECT_EQ(w.messageTexts(), (QStringList{"RACR tool info: Operation affected 0 row(s) in RACR table",
                                             "RACR tool info: Operation affected 0 row(s) in DRIVERS table"}));
    EXPECT_EQ(results(), 5 + 120);
    EXPECT_EQ(drivers(), 2 + 15);
    EXPECT_EQ(w.dialogs.fileRequests.last().initialPath, oldFile);
}

TEST_P(Merge, SkipsRowsAlreadyPresentAndKeepsOurs)
{
    const int track = w.db.count("select trackid from RACR where car = 'Ford GT'");
    makeOld({result("kestrel", track, "70.500"),   // already here
             result("kestrel", track, "01:11.000"), result("o''brien", 5, "02:00.000"),
             driver("kestrel", 1),   // already here, at level 12
             driver("o''brien", 2)});
    merge(oldFile);
    EXPECT_EQ(w.messageTexts(), (QStringList{"RACR tool info: Operation affected 2 row(s) in RACR table",
                                             "RACR tool info: Operation affected 1 row(s) in DRIVERS table"}));
    EXPECT_EQ(w.db.count("select driverlevel from DRIVERS where drivername = 'kestrel'"), 12);
}

TEST_P(Merge, AFileWithoutDriverDataGivesTheFirstReportOnly)
{
    makeOld({result("ghost", 5, "02:00.000"), "DROP TABLE DRIVERS"});
    merge(oldFile);
    EXPECT_EQ(w.messageTexts(), QStringList{"RACR tool info: Operation affected 1 row(s) in RACR table"});
    EXPECT_EQ(drivers(), 2);
}

TEST_P(Merge, AFileThatIsNotADatabaseIsReportedAndChangesNothing)
{
    w.db.home().write("notes.db", QByteArray("not a database\n").repeated(40));
    makeOld({"DROP TABLE RACR"});   // a database, but without results
    const QString missing = w.db.home().file("gone.db");
    for (const QString& path : {w.db.home().file("notes.db"), oldFile, missing}) {
        merge(path);
        ASSERT_EQ(w.dialogs.messages.size(), 1) << path.toStdString();
        EXPECT_EQ(w.dialogs.messages[0].icon, Dialogs::Icon::Error);
        EXPECT_FALSE(w.dialogs.messages[0].text.isEmpty());
    }
    EXPECT_TRUE(w.dialogs.messages[0].text.contains("gone.db")) << w.dialogs.messages[0].text.toStdString();
    EXPECT_FALSE(QFile::exists(missing));   // no empty database left behind
    EXPECT_EQ(results(), 5);
    EXPECT_EQ(drivers(), 2);
}

TEST_P(Merge, RowsWithEmptyColumnsAreAddedOnce)
{
    const int track = w.db.count("select trackid from RACR where car = 'Ford GT'");
    w.db.exec("UPDATE RACR SET shard = NULL WHERE car = 'Ford GT'");
    makeOld({result("kestrel", track, "70.500", "NULL"),   // already here, shard empty as ours
             result("nobody", 5, "NULL"), result("nobody", 6, "NULL", "NULL"), result("nobody", 6, "01:00.000", "NULL"),
             "INSERT INTO RACR (driver) VALUES ('bare')"});
    merge(oldFile);
    EXPECT_EQ(w.messageTexts().value(0), "RACR tool info: Operation affected 4 row(s) in RACR table");
    merge(oldFile);
    EXPECT_EQ(w.messageTexts(), (QStringList{"RACR tool info: Operation affected 0 row(s) in RACR table",
                                             "RACR tool info: Operation affected 0 row(s) in DRIVERS table"}));
    EXPECT_EQ(results(), 5 + 4);
    EXPECT_EQ(w.db.count("select count(*) from RACR where driver = 'bare' and trackid is null"), 1);
}

TEST_P(Merge, ADriverTableThatCannotBeCopiedIsReportedAfterTheResultsAndAddsNoDriver)
{
    const QString columns = "drivername, driverlevel, statusmessage, image, drivershard, tot_race_won, tot_race_lost,"
                            " tot_avg_place, sp_race_won, sp_race_lost, sp_avg_place, mp_race_won, mp_race_lost,"
                            " mp_avg_place, sp_bestwinstreak, mp_bestwinstreak, car_count";
    const struct {
        QStringList drivers;
        const char* reason;
    } damaged[] = {
        {{"CREATE TABLE DRIVERS (drivername TEXT, driverlevel INTEGER)", "INSERT INTO DRIVERS VALUES ('first', 1)"},
         "statusmessage"},
        // ours refuses the second row: the copy must not stop half-way
        {{"CREATE TABLE DRIVERS (" + columns + ")",
          "INSERT INTO DRIVERS (drivername) VALUES ('first'), (NULL), ('third')"},
         "drivername"},
    };
    for (const auto& file : damaged) {
        oldFile = w.db.home().file(QStringLiteral("old files/%1.db").arg(file.reason));
        makeOld(QStringList{result(file.reason, 5, "02:00.000"), "DROP TABLE DRIVERS"} + file.drivers);
        merge(oldFile);
        const QStringList texts = w.messageTexts();
        ASSERT_EQ(texts.size(), 2) << texts.join('\n').toStdString();
        EXPECT_EQ(texts[0], "RACR tool info: Operation affected 1 row(s) in RACR table");
        EXPECT_EQ(w.dialogs.messages[1].icon, Dialogs::Icon::Error);
        EXPECT_TRUE(texts[1].contains(file.reason)) << texts[1].toStdString();
        EXPECT_EQ(drivers(), 2);
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, Merge, ::testing::Values(Engine::Sqlite, Engine::Odbc, Engine::Postgres), engineName);

} // namespace
