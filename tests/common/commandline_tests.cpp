// The program started in a process of its own, as from a shell or cron: its folder and its
// command line.

#include "support/temphome.h"
#include "support/simulator.h"
#include "version.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <unistd.h>

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
