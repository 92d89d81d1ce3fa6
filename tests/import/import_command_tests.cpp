#include "leaderboarddocument.h"
#include "support/fakeservice.h"
#include "db/connection.h"
#include "support/pgserver.h"
#include "support/simulator.h"
#include "support/temphome.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTest>
#include <QVariant>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

namespace {

struct ProbeRun {
    int status = -1;
    QStringList out;   // standard output, line by line
    QString err;
};

QProcess* startProbe(QProcess& process, const TempHome& home, const QString& base, const QStringList& args)
{
    process.setProgram(QStringLiteral(IMPORT_PROBE_PATH));
    process.setArguments(QStringList{"--home", home.path(), "--service-base", base} + args);
    process.start();
    EXPECT_TRUE(process.waitForStarted(10'000));
    return &process;
}

ProbeRun finish(QProcess& process)
{
    EXPECT_TRUE(process.waitForFinished(120'000));
    ProbeRun run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

ProbeRun probe(const TempHome& home, const QString& base, const QStringList& args)
{
    QProcess process;
    startProbe(process, home, base, args);
    return finish(process);
}

int count(const TempHome& home, const QString& sql)
{
    Connection connection(home.file("connection.dsn"), home.file("RACR.db"));
    connection.open();
    QSqlQuery query(connection.database());
    EXPECT_TRUE(query.exec(sql));
    return query.next() ? query.value(0).toInt() : -1;
}

} // namespace

TEST(ImportCommand, LeaderboardsPrintTheLogAndStoreTheRecords)
{
    Simulator sim({"--records-per-track", "3"});
    TempHome home;
    const ProbeRun run = probe(home, sim.base(), {"leaderboards", "--type", "overall"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    ASSERT_EQ(run.out.size(), 4);
    EXPECT_EQ(run.out[0], QStringLiteral("MultiPlayer: 267 new record(s)."));
    EXPECT_EQ(run.out[1], QStringLiteral("SinglePlayer: 267 new record(s)."));
    EXPECT_TRUE(run.out[2].startsWith("Running time: "));
    EXPECT_EQ(run.out[3], QStringLiteral("Finished!"));
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();   // no bar when nobody watches
    EXPECT_EQ(count(home, "select count(*) from RACR where shard='APEX'"), 534);
}

TEST(ImportCommand, DriversTakeTheirDefaultsFromTheSettingsAndAFailedNameMakesTheStatusNonZero)
{
    Simulator sim;
    TempHome home;
    home.write("racr.ini", "[settings]\ndrivers=kestrel,O'Malley\nshard=chicane\n");
    ProbeRun run = probe(home, sim.base(), {"drivers"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.value(0), QStringLiteral("2 new driver(s)."));
    EXPECT_EQ(count(home, "select count(*) from DRIVERS where drivershard='CHICANE'"), 2);

    run = probe(home, sim.base(), {"drivers", "--drivers", "nobody,kestrel", "--shard", "apex"});
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(run.out.size(), 5);
    EXPECT_EQ(run.out[0], QStringLiteral("nobody: The statistics service's profile answer is not a driver document (HTTP 404)."));
    EXPECT_EQ(run.out[1], QStringLiteral("0 new driver(s)."));
    EXPECT_EQ(run.out[2], QStringLiteral("1 updated driver(s)."));
    EXPECT_EQ(count(home, "select count(*) from DRIVERS where drivershard='APEX'"), 1);
}

TEST(ImportCommand, OptionsChooseThePeriodKeys)
{
    FakeService service([](const FakeService::Request&) { return leaderboardDocument({}); });
    TempHome home;
    home.write("racr.ini", "[settings]\ndrivers=Zoë\nshard=APEX\n");
    const struct {
        QStringList args;
        QString keys;
    } cases[] = {
        {{"leaderboards"}, "?dn=Zo%C3%AB&et=1&lt=2&eid=299&rf=0&shard=APEX"},
        {{"leaderboards", "--type", "overall"}, "&lt=1&eid=299&rf=0&shard=APEX"},
        {{"leaderboards", "--days", "4", "--shard", "CHICANE"}, "&lt=2&eid=299&rf=4&shard=CHICANE"},
        {{"leaderboards", "--week=12"}, "&lt=3&eid=299&rf=12&shard=APEX"},
        // Two names, as the driver import reads them; a blank inside a name would be sent as %20.
        {{"leaderboards", "--type", "weekly", "--week", "53", "--drivers", "a b"}, "?dn=a%2Cb&et=1&lt=3&eid=299&rf=53&shard=APEX"},
        {{"leaderboards", "--drivers", "\"a b\""}, "?dn=a%20b&et=1&lt=2&eid=299&rf=0&shard=APEX"},
    };
    for (const auto& c : cases) {
        const qsizetype before = service.targets().size();
        const ProbeRun run = probe(home, service.base(), c.args);
        EXPECT_EQ(run.status, 0) << c.args.join(' ').toStdString() << run.err.toStdString();
        const QStringList targets = service.targets().mid(before);
        ASSERT_EQ(targets.size(), 180) << c.args.join(' ').toStdString();
        // Several requests are under way at once, so the first track's may not arrive first.
        const auto first = std::find_if(targets.begin(), targets.end(),
                                        [&](const QString& target) { return target.endsWith(c.keys); });
        EXPECT_NE(first, targets.end()) << c.args.join(' ').toStdString() << ": " << targets[0].toStdString();
    }
}

TEST(ImportCommand, MistakesInTheCommandAreReportedWithTheUsageAndStatus2)
{
    TempHome home;
    const struct {
        QStringList args;
        const char* says;
    } cases[] = {
        {{}, "leaderboards or drivers"},
        {{"sideways"}, "unknown import \"sideways\""},
        {{"leaderboards", "--type", "monthly"}, "--type needs overall, daily or weekly"},
        {{"leaderboards", "--days", "9"}, "--days needs a whole number from 0 to 6, not \"9\""},
        {{"leaderboards", "--week", "0"}, "--week needs a whole number from 1 to 53"},
        {{"leaderboards", "--days"}, "Missing value after '--days'"},
        {{"leaderboards", "--type", "overall", "--week", "3"}, "--type overall takes neither --days nor --week"},
        {{"leaderboards", "--type", "weekly", "--days", "3"}, "--days goes with --type daily"},
        {{"leaderboards", "--shard", "MARS"}, "--shard needs APEX or CHICANE, not \"MARS\""},
        {{"drivers", "--week", "3"}, "unknown option \"--week\" for import drivers"},
    };
    for (const auto& c : cases) {
        const ProbeRun run = probe(home, "http://127.0.0.1:9", c.args);
        EXPECT_EQ(run.status, 2) << c.args.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.says))) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("Usage: racr")) << run.err.toStdString();
    }
    const ProbeRun help = probe(home, "http://127.0.0.1:9", {"drivers", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.value(0).startsWith("Usage: racr"));
}

TEST(ImportCommand, AnErrorEndsTheRunWithItsMessageAndStatus1)
{
    TempHome home;
    const ProbeRun run = probe(home, "http://127.0.0.1:9", {"leaderboards"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, QStringList{QStringLiteral("MultiPlayer: 0 new record(s).")});
    EXPECT_TRUE(run.err.startsWith("racr import: The statistics service did not answer")) << run.err.toStdString();
}

TEST(ImportCommand, AnswersThatAreNoLeaderboardsEndWithStatus3)
{
    Simulator sim({"--fault", "all=http500"});
    TempHome home;
    const ProbeRun run = probe(home, sim.base(), {"leaderboards"});
    EXPECT_EQ(run.status, 3) << run.err.toStdString();
    ASSERT_EQ(run.out.size(), 6);
    EXPECT_EQ(run.out[3], QStringLiteral("SinglePlayer: 90 track(s) gave no leaderboard (first: HTTP 500 on AGOSTINI AVENUE)."));
    EXPECT_EQ(run.out[5], QStringLiteral("Finished!"));
}

TEST(ImportCommand, TwoImportsAtOnceBothCompleteAndStoreEveryRecordOnce)
{
    Simulator sim({"--records-per-track", "3"});
    TempHome home;
    ASSERT_EQ(count(home, "select count(*) from RACR"), 0);
    QProcess first, second;
    startProbe(first, home, sim.base(), {"leaderboards", "--type", "overall"});
    startProbe(second, home, sim.base(), {"leaderboards", "--type", "overall"});
    const ProbeRun a = finish(first);
    const ProbeRun b = finish(second);
    EXPECT_EQ(a.status, 0) << a.err.toStdString();
    EXPECT_EQ(b.status, 0) << b.err.toStdString();
    const auto added = [](const ProbeRun& run) {
        return run.out.value(0).section(' ', 1, 1).toInt() + run.out.value(1).section(' ', 1, 1).toInt();
    };
    EXPECT_EQ(added(a) + added(b), 534);
    EXPECT_EQ(count(home, "select count(*) from RACR"), 534);
}

TEST(ImportCommand, FourMembersImportingIntoOnePostgresDatabaseAtOnceStoreEveryRecordOnce)
{
    // Four members of a club, each with a program folder of their own, import the same boards
    // into the shared database at the same moment. A little latency keeps the four runs side by
    // side rather than one after the other.
    Simulator sim({"--records-per-track", "3", "--latency-ms", "5"});
    const QString database = pgtest::newDatabase();
    TempHome homes[4];
    QProcess imports[4];
    for (int i = 0; i < 4; ++i)
        startProbe(imports[i], homes[i], sim.base(), {"leaderboards", "--type", "overall", "--database", database});
    int reported = 0;
    for (QProcess& import : imports) {
        const ProbeRun run = finish(import);
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        ASSERT_EQ(run.out.size(), 4) << run.out.join('\n').toStdString();
        reported += run.out[0].section(' ', 1, 1).toInt() + run.out[1].section(' ', 1, 1).toInt();
    }
    // Each record is stored once, and counted only by the member whose insert stored it.
    homes[0].write("racr.ini", QStringLiteral("[settings]\ndatabase=%1\n").arg(database).toUtf8());
    EXPECT_EQ(count(homes[0], "select count(*) from RACR"), 534);
    EXPECT_EQ(reported, 534);
}

TEST(ImportCommand, SigtermDuringAHungRequestStopsAtOnce)
{
    Simulator sim({"--fault", "leaderboards=hang"});
    TempHome home;
    QProcess process;
    startProbe(process, home, sim.base(), {"leaderboards"});
    QTest::qWait(1'000);   // well into the first request, which never gets an answer
    QElapsedTimer sinceSignal;
    sinceSignal.start();
    ::kill(pid_t(process.processId()), SIGTERM);
    const ProbeRun run = finish(process);
    // Before, the command waited for the request's time-out (a minute) and ended with status 1.
    EXPECT_LT(sinceSignal.elapsed(), 5'000);
    EXPECT_EQ(run.status, 128 + SIGTERM);
    EXPECT_EQ(run.out, QStringList{QStringLiteral("MultiPlayer: 0 new record(s).")});
}

TEST(ImportCommand, CtrlCStopsAfterTheCurrentTrack)
{
    Simulator sim({"--records-per-track", "3", "--latency-ms", "15"});
    TempHome home;
    QProcess process;
    startProbe(process, home, sim.base(), {"leaderboards"});
    // The first pass line comes at the end of the first pass; interrupt the second one.
    const QDeadlineTimer deadline(60'000);
    while (!process.canReadLine() && !deadline.hasExpired())
        process.waitForReadyRead(100);
    ASSERT_TRUE(process.canReadLine());
    ::kill(pid_t(process.processId()), SIGINT);
    const ProbeRun run = finish(process);
    EXPECT_EQ(run.status, 128 + SIGINT);
    ASSERT_EQ(run.out.size(), 2) << run.out.join('\n').toStdString();
    EXPECT_EQ(run.out[0], QStringLiteral("MultiPlayer: 267 new record(s)."));
    EXPECT_TRUE(run.out[1].startsWith("SinglePlayer: "));
    EXPECT_TRUE(run.err.contains("Stopping: the request under way is dropped")) << run.err.toStdString();
    const int secondPass = run.out[1].section(' ', 1, 1).toInt();
    EXPECT_LT(secondPass, 267);
    EXPECT_EQ(count(home, "select count(*) from RACR"), 267 + secondPass);
}

TEST(ImportCommand, AnImportAScriptStartedInTheBackgroundIgnoresCtrlC)
{
    Simulator sim({"--records-per-track", "3", "--latency-ms", "15"});
    TempHome home;
    // A shell without job control starts an '&' job with SIGINT ignored: the terminal's Ctrl+C is
    // meant for the script's foreground work, not for the job.
    const QString pidFile = home.file("import.pid");
    QProcess script;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PIDFILE", pidFile);
    script.setProcessEnvironment(environment);
    script.start("/bin/sh", {"-c", "\"$@\" & echo $! > \"$PIDFILE\"; wait $!", "sh", IMPORT_PROBE_PATH, "--home",
                             home.path(), "--service-base", sim.base(), "leaderboards", "--type", "overall"});
    ASSERT_TRUE(script.waitForStarted(10'000));
    const QDeadlineTimer deadline(60'000);
    while (!script.canReadLine() && !deadline.hasExpired())
        script.waitForReadyRead(100);
    ASSERT_TRUE(script.canReadLine());
    QFile pid(pidFile);
    ASSERT_TRUE(pid.open(QIODevice::ReadOnly));
    ::kill(pid_t(pid.readAll().trimmed().toInt()), SIGINT);
    const ProbeRun run = finish(script);
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    ASSERT_EQ(run.out.size(), 4) << run.out.join('\n').toStdString();
    EXPECT_EQ(run.out[3], QStringLiteral("Finished!"));
    EXPECT_EQ(count(home, "select count(*) from RACR"), 534);
}
