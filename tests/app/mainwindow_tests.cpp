#include "app/linklabel.h"
#include "app/programwindows.h"
#include "charts/chartwindow.h"
#include "common/updown.h"
#include "db/connection.h"
#include "workbench/exportimportmenu.h"
#include "workbench/schemabrowser.h"
#include "workbench/sqleditor.h"
#include "workbench/sqlworkbench.h"
#include "support/fakebrowser.h"
#include "support/fakedialogs.h"
#include "support/pgserver.h"
#include "support/simulator.h"
#include "support/temphome.h"
#include "viewers/htmlview.h"
#include "version.h"

#include <QAction>
#include <QClipboard>
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
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <unistd.h>

namespace {

// Starts the program's windows in a private program folder, the way main() does.
struct Program {
    explicit Program(TempHome& home) : home(home) {}

    ProgramWindows& start()
    {
        windows = std::make_unique<ProgramWindows>();
        windows->main.show();
        return *windows;
    }
    void close() { windows->main.close(); }

    MainWindow& main() { return windows->main; }
    QListWidget* list(const char* name) { return main().findChild<QListWidget*>(name); }
    QStringList items(const char* name)
    {
        QStringList texts;
        for (int i = 0; i < list(name)->count(); ++i)
            texts << list(name)->item(i)->text();
        return texts;
    }
    void clickItem(const char* name, const QString& text)
    {
        QListWidget* widget = list(name);
        const auto found = widget->findItems(text, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << text.toStdString();
        const QRect where = widget->visualItemRect(found.first());
        QTest::mouseClick(widget->viewport(), Qt::LeftButton, {}, where.center());
    }
    void choose(const char* radio)
    {
        auto* button = main().findChild<QRadioButton*>(radio);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, button->height() / 2));
    }
    QString memo() { return main().findChild<SqlEditor*>("sqlEditor")->text(); }

    TempHome& home;
    std::unique_ptr<ProgramWindows> windows;
};

} // namespace

TEST(MainWindow, FirstStartInAnEmptyFolder)
{
    TempHome home;
    FakeDialogs dialogs;
    Program program(home);
    ProgramWindows& w = program.start();

    EXPECT_EQ(w.main.windowTitle(), "RACR tool 1.7.1.1");
    // The client area keeps its designed size; a screen smaller than that scrolls it.
    EXPECT_EQ(w.main.findChild<QWidget*>("client")->size(), QSize(1006, 698));
    EXPECT_EQ(w.main.shardList->currentText(), "APEX");
    EXPECT_EQ(w.main.driverList(), "kestrel,pilot000");
    EXPECT_EQ(w.main.findChild<QLineEdit*>("driverNameEdit")->text(), "PILOT000");
    EXPECT_EQ(w.main.findChild<QLineEdit*>("weekEdit")->text(),
              QString::number(QDate::currentDate().weekNumber()));
    auto* rightOfMenu = qobject_cast<QMenuBar*>(w.main.mainMenu->cornerWidget(Qt::TopRightCorner));
    ASSERT_NE(rightOfMenu, nullptr);
    EXPECT_TRUE(rightOfMenu->actions().contains(w.main.infoAction));
    EXPECT_EQ(w.main.infoAction->text(), "&Info");

    EXPECT_EQ(w.progress.windowTitle(), "Data import progress");
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
    EXPECT_EQ(w.main.shardList->currentIndex(), -1);
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

TEST(ProgramFolder, ANamedFolderThatDoesNotExistIsCreated)
{
    QTemporaryDir scratch;
    // A command, as from cron: --home names a folder two levels below an existing one.
    QProcess command;
    command.start(RACR_PATH, {"--home", scratch.filePath("cron/racr"), "query", "select count(*) from TRACKLIST"});
    ASSERT_TRUE(command.waitForFinished(60'000));
    EXPECT_EQ(command.readAllStandardError(), "");
    EXPECT_EQ(command.exitCode(), 0);
    EXPECT_EQ(command.readAllStandardOutput(), "count(*)\n90\n");

    // The windows, with the folder from RACR_HOME: the data source and a new database go there.
    const QString home = scratch.filePath("new/home/racr");
    QProcess windows;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("RACR_HOME", home);
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    windows.setProcessEnvironment(environment);
    windows.start(RACR_PATH, QStringList{});
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo(home + "/RACR.db").size() > 0; }, 60'000));
    QFile dsn(home + "/connection.dsn");
    EXPECT_TRUE(dsn.open(QIODevice::ReadOnly));
    EXPECT_TRUE(dsn.readAll().contains(QFile::encodeName("DBQ=" + home + "/RACR.db")));
    windows.kill();
    windows.waitForFinished();

    // A folder that cannot be made: one message that names it, and nothing else happens.
    QFile inTheWay(scratch.filePath("file"));
    ASSERT_TRUE(inTheWay.open(QIODevice::WriteOnly));
    inTheWay.close();
    QProcess refused;
    refused.start(RACR_PATH, {"--home", scratch.filePath("file/racr"), "query", "select 1"});
    ASSERT_TRUE(refused.waitForFinished(60'000));
    EXPECT_EQ(refused.exitCode(), 1);
    EXPECT_EQ(refused.readAllStandardOutput(), "");
    const QString error = QString::fromLocal8Bit(refused.readAllStandardError());
    EXPECT_EQ(error.count('\n'), 1) << qPrintable(error);
    EXPECT_TRUE(error.startsWith("The program folder " + scratch.filePath("file/racr") + " cannot be created")) << qPrintable(error);
}

namespace {

struct CommandRun {
    int status = -1;
    QString out;
    QString err;
};

CommandRun runRacr(const QStringList& args, const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
                   const QString& program = RACR_PATH, const QStringList& before = {})
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(before.isEmpty() ? program : before.first(), before.mid(1) + (before.isEmpty() ? args : QStringList{program} + args));
    EXPECT_TRUE(process.waitForFinished(60'000));
    CommandRun run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

} // namespace

TEST(ProgramFolder, AnInstalledCopyKeepsItsFilesInTheUsersDataFolder)
{
    // Permissions do not hold root back: the program runs as an ordinary user (nobody).
    QStringList asUser;
    if (::geteuid() == 0) {
        const QString setpriv = QStandardPaths::findExecutable("setpriv");
        if (setpriv.isEmpty())
            GTEST_SKIP() << "running as root and setpriv is missing: no way to run the program as an ordinary user";
        asUser = {setpriv, "--reuid=65534", "--regid=65534", "--clear-groups"};
        QProcess probe;
        probe.start(asUser.first(), asUser.mid(1) + QStringList{"true"});
        if (!probe.waitForFinished(10'000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
            GTEST_SKIP() << "setpriv cannot change the user here: " << probe.readAllStandardError().toStdString();
    }
    QTemporaryDir scratch;
    const QString installed = scratch.filePath("bin");
    const QString data = scratch.filePath("data");
    ASSERT_TRUE(QDir().mkpath(installed));
    ASSERT_TRUE(QDir().mkpath(data));
    ASSERT_TRUE(QFile::copy(RACR_PATH, installed + "/racr"));
    const auto everyone = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    ASSERT_TRUE(QFile::setPermissions(installed, everyone));   // chmod 555, as /usr/bin is to a user
    // Without it an ordinary user could not remove the copy at the end.
    const auto writableAgain = qScopeGuard([&] { QFile::setPermissions(installed, everyone | QFile::WriteOwner); });
    ASSERT_TRUE(QFile::setPermissions(scratch.path(), everyone | QFile::WriteOwner));
    ASSERT_TRUE(QFile::setPermissions(data, everyone | QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther));

    QProcessEnvironment environment;
    environment.insert("HOME", data);
    environment.insert("XDG_DATA_HOME", data + "/share");
    const CommandRun run = runRacr({"query", "select count(*) from TRACKLIST"}, environment, installed + "/racr", asUser);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "count(*)\n90\n");
    EXPECT_GT(QFileInfo(data + "/share/racr/RACR.db").size(), 0);
    EXPECT_FALSE(QFileInfo::exists(installed + "/RACR.db"));
}

TEST(ProgramFolder, AWritablePrefixKeepsFilesInTheDataFolderUnlessTheCopyHoldsItsOwn)
{
    // cmake --install --prefix ~/.local: the executable's folder is writable and on PATH.
    QTemporaryDir scratch;
    const QString installed = scratch.filePath("prefix/bin");
    const QString data = scratch.filePath("data");
    ASSERT_TRUE(QDir().mkpath(installed));
    ASSERT_TRUE(QFile::copy(RACR_PATH, installed + "/racr"));
    QProcessEnvironment environment;
    environment.insert("HOME", data);
    environment.insert("XDG_DATA_HOME", data + "/share");
    CommandRun run = runRacr({"query", "select count(*) from TRACKLIST"}, environment, installed + "/racr");
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_GT(QFileInfo(data + "/share/racr/RACR.db").size(), 0);
    EXPECT_FALSE(QFileInfo::exists(installed + "/RACR.db"));

    // An unpacked copy that already holds its settings keeps working in its own folder.
    ASSERT_TRUE(QFile::remove(data + "/share/racr/RACR.db"));
    QFile ini(installed + "/racr.ini");
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[settings]\n");
    ini.close();
    run = runRacr({"query", "select count(*) from TRACKLIST"}, environment, installed + "/racr");
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_GT(QFileInfo(installed + "/RACR.db").size(), 0);
    EXPECT_FALSE(QFileInfo::exists(data + "/share/racr/RACR.db"));
}

TEST(CommandLine, TheReadmesCronLinesRunAsPrinted)
{
    QFile readme(QStringLiteral(RACR_README));
    ASSERT_TRUE(readme.open(QIODevice::ReadOnly));
    // "    MIN HOUR DAY MONTH WEEKDAY  COMMAND", the command as cron hands it to /bin/sh.
    static const QRegularExpression cronLine(QStringLiteral("^    [0-9*]+ [0-9*]+ [0-9*]+ [0-9*]+ [0-9*]+  (racr .*)$"),
                                             QRegularExpression::MultilineOption);
    QStringList commands;
    for (auto match = cronLine.globalMatch(QString::fromUtf8(readme.readAll())); match.hasNext();)
        commands.append(match.next().captured(1));
    ASSERT_EQ(commands.size(), 3);

    // cron's environment: HOME, and a PATH of /usr/bin and /bin, where the package puts racr.
    Simulator simulator;
    QTemporaryDir scratch;
    const QString home = scratch.filePath("home");
    const QString bin = scratch.filePath("usr-bin");
    ASSERT_TRUE(QDir().mkpath(home + "/racr"));
    ASSERT_TRUE(QDir().mkpath(bin));
    ASSERT_TRUE(QFile::link(RACR_PATH, bin + "/racr"));
    QFile ini(home + "/racr/racr.ini");
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(("[settings]\nservicebase=" + simulator.base() + "\ndrivers=kestrel\n").toUtf8());
    ini.close();
    QProcessEnvironment cron;
    cron.insert("HOME", home);
    cron.insert("PATH", bin + ":/usr/bin:/bin");
    cron.insert("SHELL", "/bin/sh");
    for (const QString& command : commands) {
        const CommandRun run = runRacr({"-c", command}, cron, QStringLiteral("/bin/sh"));
        EXPECT_EQ(run.status, 0) << command.toStdString() << '\n' << run.err.toStdString();
    }
    QFile log(home + "/racr-import.log");
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString logged = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(logged.contains("MultiPlayer: 54 new record(s).")) << logged.toStdString();
    EXPECT_TRUE(logged.contains("1 new driver(s).")) << logged.toStdString();
    EXPECT_TRUE(QFileInfo::exists(home + "/club/index.html")) << logged.toStdString();
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

TEST(CommandLine, HelpAndVersionNeedNoDisplay)
{
    // No DISPLAY, no QT_QPA_PLATFORM: as from a console or over ssh.
    const QProcessEnvironment bare;
    for (const QStringList& args : {QStringList{"--help"}, QStringList{"-h"}, QStringList{"help"}}) {
        const CommandRun help = runRacr(args, bare);
        EXPECT_EQ(help.status, 0) << args.join(' ').toStdString() << help.err.toStdString();
        EXPECT_TRUE(help.out.startsWith("Usage: racr")) << help.out.toStdString();
        EXPECT_TRUE(help.out.contains("export --sql SQL FILE")) << help.out.toStdString();
        EXPECT_EQ(help.err, "");
    }
    const CommandRun version = runRacr({"--version"}, bare);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "racr " RACR_VERSION "\n");
    EXPECT_EQ(version.err, "");
}

TEST(CommandLine, ACommandUnderAnAsciiLocaleSaysNothingOfItAndWritesUtf8)
{
    // LC_ALL outranks the character type's own variable, as in a container or a cron job's setting.
    TempHome home;
    QProcessEnvironment ascii;
    ascii.insert("LC_ALL", "C");
    ascii.insert("LANG", "C");
    const CommandRun run = runRacr({"--home", home.path(), "query", QString::fromUtf8("select 'Zürich' as town")}, ascii);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out.toUtf8(), QByteArray("town\nZ\xc3\xbcrich\n"));
}

TEST(CommandLine, ACommandShowsItsOptionsAndAMistakeItsUsageWithStatus2)
{
    QTemporaryDir scratch;
    const CommandRun help = runRacr({"help", "export"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: racr [--home DIR] export --sql SQL FILE|-")) << help.out.toStdString();
    EXPECT_TRUE(help.out.contains("--sql <SQL>")) << help.out.toStdString();
    EXPECT_EQ(runRacr({"export", "--help"}).out, help.out);

    for (const QStringList& args : {QStringList{"query", "--rows", "5", "select 1"}, QStringList{"query"},
                                    QStringList{"query", "select", "1"}, QStringList{"--colour"}, QStringList{"select 1"},
                                    QStringList{"export", "-"}}) {
        const CommandRun mistake = runRacr(QStringList{"--home", scratch.path()} + args);
        EXPECT_EQ(mistake.status, 2) << args.join(' ').toStdString();
        EXPECT_EQ(mistake.out, "") << args.join(' ').toStdString();
        EXPECT_TRUE(mistake.err.contains("\nUsage: racr")) << mistake.err.toStdString();
    }
}

TEST(CommandLine, OptionsTakeTheirValueAfterABlankOrAnEqualsSign)
{
    QTemporaryDir scratch;
    const QString first = scratch.filePath("first");
    const QString second = scratch.filePath("second");
    EXPECT_EQ(runRacr({"--home=" + first, "query", "select count(*) from TRACKLIST"}).out, "count(*)\n90\n");
    EXPECT_TRUE(QFileInfo::exists(first + "/RACR.db"));
    // Also after the command's name, as the import takes its own options.
    EXPECT_EQ(runRacr({"export", "--home", second, "--sql=select 7 as seven", "-"}).status, 0);
    EXPECT_TRUE(QFileInfo::exists(second + "/RACR.db"));
}

TEST(CommandLine, ErrorsNameNoPartOfTheProgramAndKeepTheLibrariesWordsApart)
{
    QTemporaryDir scratch;
    for (const QString& sql : {QStringLiteral("select 1; select 2"), QStringLiteral("exec"), QStringLiteral(" ")}) {
        const CommandRun query = runRacr({"--home", scratch.path(), "query", sql});
        EXPECT_EQ(query.status, 1) << sql.toStdString();
        EXPECT_FALSE(query.err.contains("ADODataSet1")) << query.err.toStdString();
        EXPECT_FALSE(query.err.isEmpty());
    }
    const CommandRun exported = runRacr({"--home", scratch.path(), "export", "--sql", "select 1; select 2", "-"});
    EXPECT_EQ(exported.err, "The text holds more than one statement; run one statement at a time.\n");

    // SQLite's words and the Qt driver's are two sentences, not one.
    QTemporaryDir blocked;
    ASSERT_TRUE(QDir(blocked.path()).mkdir("RACR.db"));
    const CommandRun unopened = runRacr({"--home", blocked.path(), "query", "select 1"});
    EXPECT_EQ(unopened.status, 1);
    EXPECT_TRUE(unopened.err.startsWith("unable to open database file (Error opening database): ")) << unopened.err.toStdString();
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
    w.leaderboard.page->ShowHtmlText("<html><body>old page</body></html>");
    w.driverInfo.driverReport->setPlainText("old text");
    w.events.page->ShowHtmlText("<html><body>events</body></html>");

    w.main.shardList->setCurrentIndex(1);
    Q_EMIT w.main.shardList->activated(1);   // what a pick by the user raises
    EXPECT_EQ(w.leaderboard.windowTitle(), "Leaderboard - CHICANE");
    EXPECT_EQ(w.driverInfo.windowTitle(), "Driver Info - CHICANE");
    EXPECT_TRUE(w.leaderboard.page->toPlainText().isEmpty());
    EXPECT_TRUE(w.driverInfo.driverReport->toPlainText().isEmpty());
    EXPECT_EQ(w.events.windowTitle(), "Daily Leaderboard Events");
    EXPECT_EQ(w.events.page->toPlainText(), "events");
}

TEST(MainWindow, LinksShowTheViewersOnce)
{
    TempHome home;
    FakeDialogs dialogs;
    Program program(home);
    ProgramWindows& w = program.start();
    QTest::mouseClick(w.main.driverInfoLink, Qt::LeftButton);
    EXPECT_TRUE(w.driverInfo.isVisible());
    w.driverInfo.close();
    EXPECT_FALSE(w.driverInfo.isVisible());
    QTest::mouseClick(w.main.driverInfoLink, Qt::LeftButton);
    EXPECT_TRUE(w.driverInfo.isVisible());

    w.main.chartAction->trigger();
    ChartWindow* chart = w.main.chartWindow();
    ASSERT_NE(chart, nullptr);
    EXPECT_TRUE(chart->isVisible());
    EXPECT_TRUE(chart->isWindow());
    chart->close();
    w.main.chartAction->trigger();
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

    QTest::mouseClick(w.main.serversStatusLink, Qt::LeftButton);
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].text.contains("\n" + status + "\n")) << qPrintable(dialogs.messages[0].text);
    auto* infoBar = qobject_cast<QMenuBar*>(w.main.mainMenu->cornerWidget(Qt::TopRightCorner));
    ASSERT_NE(infoBar, nullptr);
    QTest::mouseClick(infoBar, Qt::LeftButton, {}, infoBar->actionGeometry(w.main.infoAction).center());
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_TRUE(dialogs.messages[1].text.contains("\nhttp://127.0.0.1:8680/\n")) << qPrintable(dialogs.messages[1].text);

    // A browser that starts gets the page, and nothing is said.
    QStringList opened;
    {
        const FakeBrowser browser;
        QTest::mouseClick(w.main.serversStatusLink, Qt::LeftButton);
        opened = browser.opened;
    }
    EXPECT_EQ(opened, QStringList{status});
    EXPECT_EQ(dialogs.messages.size(), 2);
}

TEST(MainWindowMenu, ExportAndImportComesFirst)
{
    TempHome home;
    FakeDialogs dialogs;
    MainWindow main;
    QMenu* menu = main.mainMenu->actions().value(0)->menu();
    ASSERT_EQ(menu, main.exportImportMenu->menu);
    EXPECT_EQ(menu->title(), "Export && Import");
    const QList<QAction*> entries = menu->actions();
    ASSERT_EQ(entries.size(), 5);
    EXPECT_EQ(entries[0]->text(), "Export data to csv file");
    EXPECT_TRUE(entries[1]->isSeparator());
    EXPECT_EQ(entries[2]->text(), "Import from old database");
    EXPECT_TRUE(entries[3]->isSeparator());
    EXPECT_EQ(entries[4]->text(), "Publish Club Pages…");
}

TEST(MainWindowMenu, PublishClubPagesMakesASiteNamingEachRecordHolder)
{
    TempHome home;
    FakeDialogs dialogs;
    MainWindow main;
    main.connection().open();
    QSqlQuery insert(main.connection().database());
    ASSERT_TRUE(insert.exec("INSERT INTO RACR (driver, car, date, trackid, multiplayer, besttime, shard)"
                            " VALUES ('Kestrel', 'Falk Roadster S', '2011-06-30  10:00:00', 299, 1, '86.4', 'APEX')"));
    QTemporaryDir parent;
    dialogs.folderAnswer = parent.filePath("club");
    main.exportImportMenu->publishAction->trigger();

    QFile index(parent.filePath("club/index.html"));
    ASSERT_TRUE(index.open(QIODevice::ReadOnly)) << "no site was written";
    const QString page = QString::fromUtf8(index.readAll());
    EXPECT_TRUE(page.contains(">Kestrel</a>")) << "the record holder, linked to their page";
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith("Published 4 page(s) (1 track(s), 1 driver(s))"))
        << dialogs.messages[0].text.toStdString();
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
    EXPECT_EQ(dialogs.messages[0].caption, "Mainwindow_tests");
    EXPECT_EQ(dialogs.messages[0].icon, Dialogs::Icon::Error);
    EXPECT_TRUE(program.items("catalogueList").isEmpty());

    // Repaired while the program runs: the next mode switch connects, lists tables, then views.
    home.write("connection.dsn", "[ODBC]\n");
    program.choose("proceduresButton");
    EXPECT_EQ(program.items("catalogueList"),
              (QStringList{"DRIVERS", "RACR", "TRACKLIST", "weeklybest", "driverstats"}));
}

