// The main window as the program starts it: its settings, its links and viewers, a club member's shared database,
// and its close at a logout.

#include "app/linklabel.h"
#include "support/findnamed.h"
#include "app/programwindows.h"
#include "charts/ui/chartwindow.h"
#include "db/connection.h"
#include "workbench/ui/sqleditor.h"
#include "support/fakebrowser.h"
#include "support/fakedialogs.h"
#include "support/findnamed.h"
#include "support/startedprogram.h"
#include "support/pgserver.h"
#include "support/simulator.h"
#include "support/temphome.h"
#include "viewers/ui/htmlview.h"
#include "version.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDate>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

#include <csignal>
#include <memory>

TEST(MainWindow, FirstStartInAnEmptyFolder)
{
    TempHome home;
    FakeDialogs dialogs;
    Program program(home);
    ProgramWindows& w = program.start();

    EXPECT_EQ(w.main.windowTitle(), "RACR tool 1.7.1.1");
    // The client area keeps its designed size; a screen smaller than that scrolls it.
    EXPECT_EQ(w.main.findChild<QWidget*>("client")->size(), QSize(1006, 698));
    EXPECT_EQ(named<QComboBox>(w.main, "shardList")->currentText(), "APEX");
    EXPECT_EQ(w.main.driverList(), "kestrel,pilot000");
    EXPECT_EQ(w.main.findChild<QLineEdit*>("driverNameEdit")->text(), "PILOT000");
    EXPECT_EQ(w.main.findChild<QLineEdit*>("weekEdit")->text(),
              QString::number(QDate::currentDate().weekNumber()));
    auto* rightOfMenu = qobject_cast<QMenuBar*>(named<QMenuBar>(w.main, "mainMenu")->cornerWidget(Qt::TopRightCorner));
    ASSERT_NE(rightOfMenu, nullptr);
    EXPECT_TRUE(rightOfMenu->actions().contains(named<QAction>(w.main, "infoAction")));
    EXPECT_EQ(named<QAction>(w.main, "infoAction")->text(), "&Info");

    EXPECT_EQ(w.importWindow.windowTitle(), "Data import progress");
    EXPECT_EQ(w.leaderboard.windowTitle(), "Leaderboard - APEX");
    EXPECT_EQ(w.driverInfo.windowTitle(), "Driver Info - APEX");
    EXPECT_EQ(w.events.windowTitle(), "Daily Leaderboard Events");
    EXPECT_EQ(w.leaderboard.size(), QSize(595, 704));
    EXPECT_EQ(w.driverInfo.size(), QSize(714, 704));
    EXPECT_EQ(w.events.size(), QSize(540, 621));
    EXPECT_FALSE(w.leaderboard.isVisible());

    // The first show connects: a new database with the three tables.
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(program.items("catalogueList"), (QStringList{"DRIVERS", "RACR", "TRACKLIST"}));
    EXPECT_TRUE(program.items("fieldList").isEmpty());
    EXPECT_TRUE(w.main.findChild<QRadioButton*>("tablesButton")->isChecked());
    EXPECT_FALSE(w.main.findChild<QLineEdit*>("driverNameEdit")->isVisible());
    EXPECT_FALSE(w.main.findChild<QLabel*>("driverNameLabel")->isVisible());
    EXPECT_TRUE(QDir(home.path()).exists("RACR.db"));
    EXPECT_TRUE(QString::fromUtf8(home.read("connection.dsn")).contains("DBQ=" + home.file("RACR.db")));

    program.close();
    EXPECT_EQ(home.read("racr.ini"), "[settings]\ndrivers=kestrel,pilot000\ndrivername=PILOT000\nshard=APEX\n");
}

TEST(MainWindow, ATruncatedStatementHistoryKeepsItsGoodStatementsAndSaysSoOnce)
{
    TempHome home;
    home.write("sqlhistory.json", "[\n    \"select 1\",\n    \"select 2\",\n    \"select 3\",\n    \"select dri");
    FakeDialogs dialogs;
    const auto historyTitles = [](MainWindow& main) {
        auto* history = main.findChild<QMenu*>("historyMenu");
        Q_EMIT history->aboutToShow();
        QStringList titles;
        for (const QAction* action : history->actions())
            titles.append(action->text());
        return titles;
    };
    {
        Program program(home);
        ProgramWindows& w = program.start();
        QCoreApplication::processEvents();
        ASSERT_EQ(dialogs.messages.size(), 1);
        EXPECT_TRUE(dialogs.messages[0].text.contains("The 3 statement(s) that could be read are kept; the damaged file "
                                                      "is now " + home.file("sqlhistory.json.damaged")))
            << dialogs.messages[0].text.toStdString();
        EXPECT_EQ(historyTitles(w.main), (QStringList{"select 3", "select 2", "select 1"}));
        program.close();
    }
    Program again(home);
    ProgramWindows& w = again.start();
    QCoreApplication::processEvents();
    EXPECT_EQ(dialogs.messages.size(), 1);   // said once
    EXPECT_EQ(historyTitles(w.main), (QStringList{"select 3", "select 2", "select 1"}));
    again.close();
}

TEST(MainWindow, RestoresSettingsAndRewritesThemAtClosing)
{
    TempHome home;
    FakeDialogs dialogs;
    home.write("racr.ini", "[settings]\nshard=chicane\ndrivers=\ndrivername=ACE\n");
    home.write("connection.dsn", "[ODBC]\nDBQ=/somewhere/else.mdb\n");
    Program program(home);
    ProgramWindows& w = program.start();
    EXPECT_EQ(w.main.currentShard(), "CHICANE");
    EXPECT_EQ(w.leaderboard.windowTitle(), "Leaderboard - CHICANE");
    EXPECT_EQ(w.main.driverList(), "");
    EXPECT_EQ(w.main.findChild<QLineEdit*>("driverNameEdit")->text(), "ACE");
    // The data source is pointed at the database beside the program at every start.
    EXPECT_EQ(home.read("connection.dsn"), ("[ODBC]\nDBQ=" + home.file("RACR.db") + "\n").toUtf8());
    program.close();
    EXPECT_EQ(home.read("racr.ini"), "[settings]\nshard=CHICANE\ndrivers=\ndrivername=ACE\n");
}

TEST(MainWindow, UnknownShardLeavesNoSelectionAndEmptyRequests)
{
    TempHome home;
    FakeDialogs dialogs;
    home.write("racr.ini", "[settings]\nshard=NOWHERE\n");
    Program program(home);
    ProgramWindows& w = program.start();
    EXPECT_EQ(named<QComboBox>(w.main, "shardList")->currentIndex(), -1);
    EXPECT_EQ(w.main.currentShard(), "");
    EXPECT_EQ(w.leaderboard.windowTitle(), "Leaderboard - ");
    EXPECT_EQ(w.driverInfo.windowTitle(), "Driver Info - ");
    program.close();
    EXPECT_TRUE(home.read("racr.ini").contains("shard=\n"));
}

TEST(MainWindow, UnwritableDataSourceSkipsTheSettingsButStartsAnyway)
{
    TempHome home;
    FakeDialogs dialogs;
    home.write("racr.ini", "[settings]\ndrivers=someone\nshard=CHICANE\n");
    ASSERT_TRUE(QDir(home.path()).mkdir("connection.dsn"));
    Program program(home);
    ProgramWindows& w = program.start();
    ASSERT_GE(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages.first().text, "Unable to write to " + home.file("connection.dsn"));
    EXPECT_EQ(w.main.driverList(), "kestrel,pilot000");
    EXPECT_EQ(w.main.currentShard(), "APEX");
    EXPECT_EQ(w.leaderboard.windowTitle(), "Leaderboard - APEX");
    // The stored settings were not read, so closing must not replace them with the designed ones.
    program.close();
    EXPECT_EQ(home.read("racr.ini"), "[settings]\ndrivers=someone\nshard=CHICANE\n");
}

TEST(MainWindow, ALogoutOrAKillClosesTheWindowAndSavesTheSettings)
{
    for (const int signal : {SIGTERM, SIGHUP}) {
        TempHome home;
        home.write("racr.ini", "[settings]\nshard=chicane\n");
        QProcess process;
        process.start(RACR_PATH, {"--home", home.path()});   // offscreen, as every test here
        ASSERT_TRUE(process.waitForStarted());
        // The window opens its database when it is first shown; then the program is running.
        QElapsedTimer waited;
        waited.start();
        while (!QFileInfo::exists(home.file("RACR.db")) && waited.elapsed() < 30'000)
            QTest::qWait(50);
        ASSERT_TRUE(QFileInfo::exists(home.file("RACR.db")));
        ::kill(pid_t(process.processId()), signal);
        ASSERT_TRUE(process.waitForFinished(30'000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << "signal " << signal;
        EXPECT_EQ(process.exitCode(), 0);
        // Written at the close: the shard as the list spells it, and the keys the file lacked.
        const QByteArray saved = home.read("racr.ini");
        EXPECT_TRUE(saved.contains("shard=CHICANE")) << "signal " << signal << ": " << saved.toStdString();
        EXPECT_TRUE(saved.contains("drivername=PILOT000")) << saved.toStdString();
    }
}

TEST(MainWindow, SetDriverNamesKeepsTheListOnCancelAndTakesAnEmptyLine)
{
    TempHome home;
    FakeDialogs dialogs;
    Program program(home);
    ProgramWindows& w = program.start();
    auto* button = w.main.findChild<QPushButton*>("setDriverNamesButton");

    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_EQ(dialogs.inputs.size(), 1);
    EXPECT_EQ(dialogs.inputs[0], (QStringList{"Driver names", "Type in Driver Names separated by commas",
                                               "kestrel,pilot000", "255"}));
    EXPECT_EQ(w.main.driverList(), "kestrel,pilot000");

    dialogs.inputAnswer = QString();
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(w.main.driverList(), "");
    dialogs.inputAnswer = QString(" a, b ,c");
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(w.main.driverList(), " a, b ,c");
}

TEST(MainWindow, PickingAShardRetitlesAndEmptiesTwoViewers)
{
    TempHome home;
    FakeDialogs dialogs;
    Program program(home);
    ProgramWindows& w = program.start();
    HtmlView* leaderboardPage = named<HtmlView>(w.leaderboard, "page");
    QPlainTextEdit* driverReport = named<QPlainTextEdit>(w.driverInfo, "driverReport");
    HtmlView* eventsPage = named<HtmlView>(w.events, "page");
    leaderboardPage->ShowHtmlText("<html><body>old page</body></html>");
    driverReport->setPlainText("old text");
    eventsPage->ShowHtmlText("<html><body>events</body></html>");

    named<QComboBox>(w.main, "shardList")->setCurrentIndex(1);
    Q_EMIT named<QComboBox>(w.main, "shardList")->activated(1);   // what a pick by the user raises
    EXPECT_EQ(w.leaderboard.windowTitle(), "Leaderboard - CHICANE");
    EXPECT_EQ(w.driverInfo.windowTitle(), "Driver Info - CHICANE");
    EXPECT_TRUE(leaderboardPage->toPlainText().isEmpty());
    EXPECT_TRUE(driverReport->toPlainText().isEmpty());
    EXPECT_EQ(w.events.windowTitle(), "Daily Leaderboard Events");
    EXPECT_EQ(eventsPage->toPlainText(), "events");
}

TEST(MainWindow, LinksShowTheViewersOnce)
{
    TempHome home;
    FakeDialogs dialogs;
    Program program(home);
    ProgramWindows& w = program.start();
    QTest::mouseClick(named<LinkLabel>(w.main, "driverInfoLink"), Qt::LeftButton);
    EXPECT_TRUE(w.driverInfo.isVisible());
    w.driverInfo.close();
    EXPECT_FALSE(w.driverInfo.isVisible());
    QTest::mouseClick(named<LinkLabel>(w.main, "driverInfoLink"), Qt::LeftButton);
    EXPECT_TRUE(w.driverInfo.isVisible());

    named<QAction>(w.main, "chartAction")->trigger();
    ChartWindow* chart = w.main.chartWindow();
    ASSERT_NE(chart, nullptr);
    EXPECT_TRUE(chart->isVisible());
    EXPECT_TRUE(chart->isWindow());
    chart->close();
    named<QAction>(w.main, "chartAction")->trigger();
    EXPECT_EQ(w.main.chartWindow(), chart);
    EXPECT_TRUE(chart->isVisible());
}

TEST(MainWindow, AddressesForTheWebBrowserAreShownWhenNoneStarts)
{
    // The offscreen platform starts no web browser, as a machine without one.
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        GTEST_SKIP() << "a web browser may start on " << QGuiApplication::platformName().toStdString();
    TempHome home;
    FakeDialogs dialogs;
    Program program(home);
    ProgramWindows& w = program.start();
    const QString status = "http://127.0.0.1:8680/StatsAPI/ws/game/racr/servers/status";

    QTest::mouseClick(named<LinkLabel>(w.main, "serversStatusLink"), Qt::LeftButton);
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].text.contains("\n" + status + "\n")) << qPrintable(dialogs.messages[0].text);
    auto* infoBar = qobject_cast<QMenuBar*>(named<QMenuBar>(w.main, "mainMenu")->cornerWidget(Qt::TopRightCorner));
    ASSERT_NE(infoBar, nullptr);
    QTest::mouseClick(infoBar, Qt::LeftButton, {}, infoBar->actionGeometry(named<QAction>(w.main, "infoAction")).center());
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_TRUE(dialogs.messages[1].text.contains("\nhttp://127.0.0.1:8680/\n")) << qPrintable(dialogs.messages[1].text);

    // A browser that starts gets the page, and nothing is said.
    QStringList opened;
    {
        const FakeBrowser browser;
        QTest::mouseClick(named<LinkLabel>(w.main, "serversStatusLink"), Qt::LeftButton);
        opened = browser.opened;
    }
    EXPECT_EQ(opened, QStringList{status});
    EXPECT_EQ(dialogs.messages.size(), 2);
}

TEST(MainWindow, AClubMemberSeesTheSharedDatabaseNamedInTheTitleWithTheOthersResults)
{
    // Another member imports into the club's database from a folder of their own.
    const QString database = pgtest::newDatabase();
    Simulator sim({"--records-per-track", "2"});
    TempHome other;
    QProcess import;
    import.start(RACR_PATH, {"--home", other.path(), "--service-base", sim.base(), "--database", database, "import",
                             "leaderboards"});
    ASSERT_TRUE(import.waitForFinished(60'000));
    ASSERT_EQ(import.exitCode(), 0) << import.readAllStandardError().toStdString();
    const QStringList log = QString::fromUtf8(import.readAllStandardOutput()).split('\n');
    const int imported = log.value(0).section(' ', 1, 1).toInt() + log.value(1).section(' ', 1, 1).toInt();
    ASSERT_GT(imported, 0);

    TempHome home;
    home.write("racr.ini", QStringLiteral("[settings]\ndatabase=%1\n").arg(database).toUtf8());
    FakeDialogs dialogs;
    Program program(home);
    ProgramWindows& w = program.start();
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.value(0).text.toStdString();
    const QString title = w.main.windowTitle();
    EXPECT_TRUE(title.startsWith(QStringLiteral("RACR tool 1.7.1.1 \u2013 PostgreSQL racr@"))) << title.toStdString();
    EXPECT_TRUE(title.endsWith(database.section('/', -1))) << title.toStdString();
    QTest::mouseClick(w.main.findChild<QPushButton*>("executeButton"), Qt::LeftButton);
    EXPECT_EQ(w.main.findChild<QLabel*>("recordsLabel")->text(), QStringLiteral("Records: %1").arg(imported));
    EXPECT_FALSE(QFile::exists(home.file("RACR.db")));

    // Closing saves the window's settings beside the key, which stays as the member wrote it.
    program.close();
    EXPECT_TRUE(QString::fromUtf8(home.read("racr.ini")).contains("database=" + database));
}
