// The schema browser in the main window: tables and saved queries, their fields, the clipboard
// and the exec statements it writes into the editor.

#include "app/programwindows.h"
#include "workbench/ui/schemabrowser.h"
#include "workbench/ui/sqleditor.h"
#include "support/fakedialogs.h"
#include "support/startedprogram.h"
#include "support/temphome.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

TEST(SchemaBrowser, TablesFieldsAndClipboard)
{
    TempHome home;
    FakeDialogs dialogs;
    Program program(home);
    program.start();
    const QString statement = program.memo();
    program.clickItem("catalogueList", "TRACKLIST");
    EXPECT_EQ(program.items("fieldList"), (QStringList{"trackid", "trackname"}));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "TRACKLIST");
    EXPECT_EQ(program.memo(), statement);
    program.clickItem("fieldList", "trackname");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "trackname");
}

TEST(SchemaBrowser, ProcedureModeWritesExecStatementsAndTableModeRestoresTheSql)
{
    TempHome home;
    FakeDialogs dialogs;
    Program program(home);
    MainWindow& main = program.start().main;
    auto* memo = main.findChild<SqlEditor*>("sqlEditor");
    memo->setText("select * from RACR");
    program.clickItem("catalogueList", "RACR");
    ASSERT_FALSE(program.items("fieldList").isEmpty());

    program.choose("proceduresButton");
    EXPECT_EQ(program.memo(), "");
    EXPECT_TRUE(program.items("fieldList").isEmpty());
    EXPECT_EQ(program.items("catalogueList"), (QStringList{"weeklybest", "driverstats"}));
    EXPECT_FALSE(main.findChild<QPushButton*>("openSqlButton")->isEnabled());
    EXPECT_FALSE(main.findChild<QPushButton*>("saveSqlButton")->isEnabled());
    EXPECT_FALSE(main.findChild<QLabel*>("fileNameLabel")->isVisible());
    EXPECT_TRUE(main.findChild<QLineEdit*>("driverNameEdit")->isVisible());

    program.clickItem("catalogueList", "weeklybest");
    EXPECT_EQ(program.memo(), "exec weeklybest ");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "weeklybest");
    EXPECT_TRUE(program.items("fieldList").contains("trackname"));
    program.clickItem("catalogueList", "driverstats");
    EXPECT_EQ(program.memo(), "exec driverstats PILOT000");

    program.choose("tablesButton");
    EXPECT_EQ(program.memo(), "select * from RACR");
    EXPECT_TRUE(program.items("fieldList").isEmpty());
    EXPECT_EQ(program.items("catalogueList"), (QStringList{"DRIVERS", "RACR", "TRACKLIST"}));
    EXPECT_TRUE(main.findChild<QPushButton*>("openSqlButton")->isEnabled());
    EXPECT_FALSE(main.findChild<QLineEdit*>("driverNameEdit")->isVisible());

    // With an empty editor at the switch, the last exec statement stays when coming back.
    memo->clear();
    program.choose("proceduresButton");
    program.clickItem("catalogueList", "weeklybest");
    program.choose("tablesButton");
    EXPECT_EQ(program.memo(), "exec weeklybest ");
}

TEST(SchemaBrowser, EveryClickRunsTheHandlerOnceAlsoOnTheSelectedEntry)
{
    TempHome home;
    FakeDialogs dialogs;
    Program program(home);
    MainWindow& main = program.start().main;
    QClipboard* clipboard = QGuiApplication::clipboard();
    QSignalSpy copies(clipboard, &QClipboard::dataChanged);

    program.choose("proceduresButton");
    program.clickItem("catalogueList", "driverstats");
    EXPECT_EQ(program.memo(), "exec driverstats PILOT000");
    EXPECT_EQ(copies.size(), 1);

    // Another driver name, then the selected entry clicked again: the statement takes the name.
    auto* edit = main.findChild<QLineEdit*>("driverNameEdit");
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, "ACE");
    program.clickItem("catalogueList", "driverstats");
    EXPECT_EQ(program.memo(), "exec driverstats ACE");
    EXPECT_EQ(copies.size(), 2);

    // The field clicked last goes back on the clipboard after something else was copied.
    program.clickItem("fieldList", "trackname");
    clipboard->setText("copied from the editor");
    copies.clear();
    program.clickItem("fieldList", "trackname");
    EXPECT_EQ(clipboard->text(), "trackname");
    EXPECT_EQ(copies.size(), 1);

    // The keyboard still selects.
    QTest::keyClick(program.list("catalogueList"), Qt::Key_Up);
    EXPECT_EQ(program.memo(), "exec weeklybest ");
    EXPECT_EQ(clipboard->text(), "weeklybest");
}

TEST(SchemaBrowser, EntryNamesAndExecStatements)
{
    EXPECT_EQ(SchemaBrowser::tableNameOf("main.results"), "results");
    EXPECT_EQ(SchemaBrowser::tableNameOf("a.b.c"), "b.c");
    EXPECT_EQ(SchemaBrowser::tableNameOf(QString(150, 'x')).size(), 100);
    EXPECT_EQ(SchemaBrowser::execStatement("weeklybest", "PILOT000"), "exec weeklybest ");
    EXPECT_EQ(SchemaBrowser::execStatement("driverstats", "PILOT000"), "exec driverstats PILOT000");
    EXPECT_EQ(SchemaBrowser::execStatement("Driverstats", "PILOT000"), "exec Driverstats ");
    EXPECT_EQ(SchemaBrowser::execStatement("main.driverstats", ""), "exec main.driverstats ");
}

TEST(SchemaBrowser, FailedConnectionIsShownAndAModeSwitchConnectsAgain)
{
    TempHome home;
    FakeDialogs dialogs;
    home.write("connection.dsn", "[ODBC]\nDRIVER=No Such Driver\n");
    Program program(home);
    program.start();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].caption, "Workbench_tests");
    EXPECT_EQ(dialogs.messages[0].icon, Dialogs::Icon::Error);
    EXPECT_TRUE(program.items("catalogueList").isEmpty());

    // Repaired while the program runs: the next mode switch connects, lists tables, then views.
    home.write("connection.dsn", "[ODBC]\n");
    program.choose("proceduresButton");
    EXPECT_EQ(program.items("catalogueList"),
              (QStringList{"DRIVERS", "RACR", "TRACKLIST", "weeklybest", "driverstats"}));
}
