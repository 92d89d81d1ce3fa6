#include "app/error.h"
#include "app/tform1.h"
#include "db/exportimportmenu.h"
#include "workbenchform.h"

#include <QFile>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <gtest/gtest.h>

namespace {

// The workbench and grid with the menu on a menu bar of their own.
struct MenuForm : WorkbenchForm {
    using WorkbenchForm::WorkbenchForm;
    ExportImportMenu menu{new QMenuBar(&form), dataSet, &form};

    QStringList messageTexts()
    {
        QStringList texts;
        for (const auto& m : dialogs.messages)
            texts.append(m.caption + (m.icon == Dialogs::Icon::Information ? " info: " : " error: ") + m.text);
        return texts;
    }
};

TEST(Export, WritesTheRowsInGridOrderAndEndsOnTheFirst)
{
    MenuForm w;
    const QString path = w.db.home().file("out.csv");
    w.dialogs.saveAnswer = path;
    w.run("update RACR set shard = 'APEX' where driver = 'nobody'");
    w.menu.F1Click();   // nothing open: no dialog
    EXPECT_TRUE(w.dialogs.fileRequests.isEmpty());

    w.db.exec("UPDATE DRIVERS SET statusmessage = 'say \"hi\"; to Zoë', tot_avg_place = 1.0/3,"
              " sp_avg_place = 1234567.5 WHERE drivername = 'kestrel'");
    w.run("select drivername, statusmessage, tot_avg_place, sp_avg_place, image from DRIVERS");
    w.dataSet.setSort("drivername DESC");
    w.dataSet.moveTo(1);
    // A spreadsheet set to a decimal comma reads the fractions as numbers.
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    w.menu.F1Click();
    QLocale::setDefault(before);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()),
              "drivername;statusmessage;tot_avg_place;sp_avg_place;image;\r\n"
              "\"pilot000\";\"\";\"\";\"\";\"7\"\r\n"
              "\"kestrel\";\"say \"\"hi\"\"; to Zoë\";\"0,333333333333333\";\"1234567,5\";\"3\"\r\n");
    EXPECT_EQ(w.label("Label11"), "RecNo: 1");
}

class Merge : public ::testing::Test {
protected:
    MenuForm w;
    QString oldFile = w.db.home().file("it's old.db");   // a quote must not break the statement

    void makeOld(const QStringList& statements)
    {
        Connection old(oldFile + ".dsn", oldFile);
        old.open();
        QSqlQuery query(old.database());
        for (const QString& sql : statements)
            EXPECT_TRUE(query.exec(sql)) << sql.toStdString();
    }
    static QString result(const QString& driver, const QString& trackid, const QString& besttime)
    {
        return QStringLiteral("INSERT INTO RACR (driver, car, [date], trackid, multiplayer, besttime, shard)"
                              " VALUES ('%1', 'Ford GT', '2021-03-01  10:00:00', %2, 1, '%3', 'APEX')")
            .arg(driver, trackid, besttime);
    }
    void merge(const QString& path)
    {
        w.dialogs.messages.clear();
        w.dialogs.openAnswer = path;
        w.menu.Importfromolddatabase1Click();
    }
};

TEST_F(Merge, AddsOnlyTheRowsNotYetPresent)
{
    const QString track = w.db.scalar("select trackid from RACR where car = 'Ford GT'").toString();
    makeOld({result("kestrel", track, "01:10.500"),   // already here
             result("kestrel", track, "01:11.000"), result("o''brien", "5", "02:00.000"),
             "INSERT INTO DRIVERS (drivername, driverlevel) VALUES ('kestrel', 1)",   // already here
             "INSERT INTO DRIVERS (drivername, driverlevel) VALUES ('o''brien', 2)"});
    w.run(SqlWorkbench::defaultStatement());

    merge(oldFile);
    EXPECT_EQ(w.messageTexts(), (QStringList{"RACR tool info: Operation affected 2 row(s) in RACR table",
                                             "RACR tool info: Operation affected 1 row(s) in DRIVERS table"}));
    EXPECT_FALSE(w.dataSet.isOpen());
    EXPECT_EQ(w.db.count("select count(distinct id) from RACR"), 7);
    EXPECT_EQ(w.db.count("select driverlevel from DRIVERS where drivername = 'kestrel'"), 12);   // ours stays

    merge(oldFile);   // the file was let go and adds nothing the second time
    EXPECT_EQ(w.messageTexts(), (QStringList{"RACR tool info: Operation affected 0 row(s) in RACR table",
                                             "RACR tool info: Operation affected 0 row(s) in DRIVERS table"}));
}

TEST_F(Merge, StopsAtTheFirstFailure)
{
    makeOld({result("ghost", "5", "02:00.000"), "DROP TABLE DRIVERS"});
    merge(oldFile);   // results without driver rows: the first message only
    EXPECT_EQ(w.messageTexts(), QStringList{"RACR tool info: Operation affected 1 row(s) in RACR table"});

    w.db.home().write("notes.db", QByteArray("not a database\n").repeated(40));
    EXPECT_THROW(merge(w.db.home().file("notes.db")), racr::ProviderError);
    EXPECT_THROW(merge(w.db.home().file("gone.db")), racr::Error);
    EXPECT_FALSE(QFile::exists(w.db.home().file("gone.db")));   // no empty database left behind
    EXPECT_TRUE(w.dialogs.messages.isEmpty());
}

TEST(MergeOverOdbc, NamesTheFileInAnInClauseWithItsQuotesDoubled)
{
    MenuForm w{Engine::Odbc};
    w.db.home().write("it's.mdb", "");
    w.dialogs.openAnswer = w.db.home().file("it's.mdb");
    EXPECT_THROW(w.menu.Importfromolddatabase1Click(), racr::ProviderError);   // SQLite has no IN clause
    EXPECT_TRUE(w.dataSet.text().endsWith("FROM [RACR] IN '" + w.db.home().path() + "it''s.mdb'"))
        << w.dataSet.text().toStdString();
}

TEST(MainWindowMenu, ExportAndImportComesFirst)
{
    TempHome home;
    FakeDialogs dialogs;
    TForm1 main;
    QMenu* menu = main.MainMenu1->actions().value(0)->menu();
    ASSERT_EQ(menu, main.exportImportMenu->menu);
    EXPECT_EQ(menu->title(), "Export && Import");
}

} // namespace
