#include "leaderboarddocument.h"
#include "support/fakeservice.h"
#include "import/driverimport.h"
#include "importtesting.h"
#include "support/simulator.h"
#include "webservice/endpoints.h"
#include "webservice/httprequest.h"
#include "webservice/readers.h"
#include "webservice/xmldocument.h"

#include "common/error.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

ImportInputs inputsFor(const QString& base, const QString& drivers, const QString& shard = QStringLiteral("APEX"))
{
    ImportInputs inputs;
    inputs.serviceBase = base;
    inputs.shard = shard;
    inputs.drivers = drivers;
    return inputs;
}

// The service answers an unknown name with HTTP 404 and a small error document.
const QString kUnknownDriverLine =
    QStringLiteral("nobody: The statistics service's profile answer is not a driver document (HTTP 404).");

// The separator is the user's: a point, or a comma under the German locale of one test.
const QRegularExpression runningTime(QStringLiteral("^Running time: \\d+([.,]\\d{1,3})? sec\\.$"));

void expectSummary(const QStringList& lines, int added, int updated)
{
    ASSERT_GE(lines.size(), 4);
    const QStringList tail = lines.mid(lines.size() - 4);
    EXPECT_EQ(tail[0], QStringLiteral("%1 new driver(s).").arg(added));
    EXPECT_EQ(tail[1], QStringLiteral("%1 updated driver(s).").arg(updated));
    EXPECT_TRUE(runningTime.match(tail[2]).hasMatch()) << tail[2].toStdString();
    EXPECT_EQ(tail[3], QStringLiteral("Finished!"));
}

// The three documents the service gives for a driver, read the way the import reads them.
struct ServedDriver {
    racr::DriverProfile profile;
    racr::EventStats stats;
    racr::StreakStats streaks;
    int cars;
};

ServedDriver served(const QString& base, const QString& name, const QString& shard)
{
    racr::HttpRequest request;
    racr::XmlDocument doc;
    ServedDriver d;
    racr::fetch(request, doc, "GET", racr::driverUrl(base, racr::DriverResource::Profile, name, shard));
    d.profile = racr::readProfile(doc);
    racr::fetch(request, doc, "GET", racr::driverUrl(base, racr::DriverResource::Stats, name, shard));
    d.stats = racr::readEventStats(doc);
    d.streaks = racr::readStreakStats(doc);
    racr::fetch(request, doc, "GET", racr::driverUrl(base, racr::DriverResource::Cars, name, shard));
    d.cars = racr::carCount(doc);
    return d;
}

// Canned documents of one driver; attributes not given take ordinary values.
std::string profileDocument(const std::string& name, const std::string& level, const std::string& image)
{
    return "<worldDriverProfile" + xmlAttribute("name", name) + xmlAttribute("level", level)
           + xmlAttribute("statusMessage", "Fuel: 100% & it's full") + xmlAttribute("image", image) + "/>";
}

std::string statsDocument(const std::string& average)
{
    std::string xml = "<worldStats><worldEventStats";
    for (const char* name : {"totalRacesWon", "totalRacesLost", "singlePlayerRacesWon", "singlePlayerRacesLost",
                             "singlePlayerDnfCount", "singlePlayerTotalPlacing", "multiPlayerRacesWon",
                             "multiPlayerRacesLost", "multiPlayerDnfCount", "multiPlayerTotalPlacing"})
        xml += xmlAttribute(name, "7");
    xml += xmlAttribute("averageFinishingPlace", average) + xmlAttribute("singlePlayerAverageFinishingPlace", "3")
           + xmlAttribute("multiPlayerAverageFinishingPlace", "0.5");
    xml += "/><worldStreaksStats" + xmlAttribute("bestSinglePlayerWinStreak", "4")
           + xmlAttribute("currentSinglePlayerWinStreak", "1") + xmlAttribute("bestMultiPlayerWinStreak", "9")
           + xmlAttribute("currentMultiPlayerWinStreak", "0") + "/></worldStats>";
    return xml;
}

} // namespace

TEST(ImportDrivers, NewUpdatedUnknownAndUnusualNames)
{
    Simulator sim;
    ImportDatabase db;
    RecordingHost host;
    // KESTREL's status message holds an apostrophe, a colon, quotes, "&" and "#".
    DriverImport job(inputsFor(sim.base(), "kestrel,\"Jürgen Größ\",nobody,O'Malley,NoWheels,KESTREL"), db.query, host);
    EXPECT_EQ(job.run(), DriverImport::Outcome::Finished);

    ASSERT_EQ(host.lines.size(), 5) << host.lines.join('\n').toStdString();
    EXPECT_EQ(host.lines[0], kUnknownDriverLine);
    expectSummary(host.lines, 4, 1);   // KESTREL listed twice: new, then updated
    EXPECT_EQ(job.failedDrivers(), 1);
    EXPECT_EQ(host.gauge.maximum(), 6);
    EXPECT_EQ(host.gauge.position(), 6);   // jumped to the end at the unknown name
    EXPECT_EQ(host.doneEvents, 1);

    EXPECT_EQ(db.rows("select drivername from DRIVERS order by rowid"),
              (QList<QVariantList>{{"KESTREL"}, {QStringLiteral("Jürgen Größ")}, {"O'Malley"}, {"NoWheels"}}));
    const ServedDriver kestrel = served(sim.base(), "kestrel", "APEX");
    const auto row = db.rows("select * from DRIVERS where drivername='KESTREL'").value(0);
    ASSERT_EQ(row.size(), 17);
    const QVariantList expected = {
        "KESTREL", kestrel.profile.level.toInt(), kestrel.profile.statusMessage, kestrel.profile.image.toInt(), "APEX",
        kestrel.stats.totalRacesWon.toInt(), kestrel.stats.totalRacesLost.toInt(),
        kestrel.stats.averageFinishingPlace.toDouble(), kestrel.stats.singlePlayerRacesWon.toInt(),
        kestrel.stats.singlePlayerRacesLost.toInt(), kestrel.stats.singlePlayerAverageFinishingPlace.toDouble(),
        kestrel.stats.multiPlayerRacesWon.toInt(), kestrel.stats.multiPlayerRacesLost.toInt(),
        kestrel.stats.multiPlayerAverageFinishingPlace.toDouble(), kestrel.streaks.bestSinglePlayerWinStreak.toInt(),
        kestrel.streaks.bestMultiPlayerWinStreak.toInt(), kestrel.cars};
    for (int i = 0; i < 17; ++i)
        EXPECT_EQ(row[i].toString(), expected[i].toString()) << "column " << i;
    EXPECT_EQ(row[2].toString(), QStringLiteral("Don't brake: it's a \"race\" & I'm #1 on 2 shards"));
    EXPECT_GT(kestrel.cars, 0);
    EXPECT_EQ(db.rows("select car_count from DRIVERS where drivername='NoWheels'").value(0).value(0).toInt(), 0);

    // A stored driver imported from the other shard: every column is rewritten.
    RecordingHost again;
    DriverImport(inputsFor(sim.base(), "kestrel", "CHICANE"), db.query, again).run();
    ASSERT_EQ(again.lines.size(), 4);
    expectSummary(again.lines, 0, 1);
    const ServedDriver chicane = served(sim.base(), "kestrel", "CHICANE");
    const auto updated = db.rows("select driverlevel, image, drivershard, tot_race_won, car_count from DRIVERS"
                                 " where drivername='KESTREL'").value(0);
    EXPECT_EQ(updated, (QVariantList{chicane.profile.level.toInt(), chicane.profile.image.toInt(), "CHICANE",
                                     chicane.stats.totalRacesWon.toInt(), chicane.cars}));
}

TEST(ImportDrivers, AnEmptyListMakesNoRequestAndReportsZeroTwice)
{
    FakeService service([](const FakeService::Request&) { return std::string("<none/>"); });
    ImportDatabase db;
    RecordingHost host;
    DriverImport(inputsFor(service.base(), ""), db.query, host).run();
    EXPECT_TRUE(service.targets().isEmpty());
    ASSERT_EQ(host.lines.size(), 4);
    expectSummary(host.lines, 0, 0);
    EXPECT_EQ(host.gauge.maximum(), 0);
    EXPECT_EQ(host.doneEvents, 0);
}

TEST(ImportDrivers, NumbersAreStoredAsSentWhateverTheLocaleAndABadOneFailsOnlyItsDriver)
{
    FakeService service([](const FakeService::Request& asked) {
        const std::string& path = asked.path;
        const auto resource = path.substr(path.rfind('/') + 1);
        const auto name = path.substr(std::string("/StatsAPI/ws/game/racr/driver/").size(),
                                      path.rfind('/') - std::string("/StatsAPI/ws/game/racr/driver/").size());
        if (resource == "profile")
            return profileDocument(name == "nolevel" ? "NoLevel" : name, name == "nolevel" ? "" : " 12",
                                   name == "badimage" ? "3; DROP TABLE DRIVERS" : "5");
        if (resource == "stats")
            return statsDocument("2.35");
        return std::string("<list/>");   // no cars
    });
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ImportDatabase db;
    RecordingHost host;
    DriverImport job(inputsFor(service.base(), "nolevel,good,badimage", QString()), db.query, host);
    job.run();
    QLocale::setDefault(before);

    ASSERT_EQ(host.lines.size(), 6) << host.lines.join('\n').toStdString();
    EXPECT_EQ(host.lines[0], QStringLiteral("nolevel: The statistics service sent \"\" as level, which is not a number."));
    EXPECT_EQ(host.lines[1], QStringLiteral("badimage: The statistics service sent \"3; DROP TABLE DRIVERS\" as image,"
                                            " which is not a number."));
    expectSummary(host.lines, 1, 0);
    const auto row = db.rows("select drivername, driverlevel, typeof(tot_avg_place), cast(tot_avg_place as text),"
                             " mp_avg_place, statusmessage, drivershard, car_count from DRIVERS");
    ASSERT_EQ(row.size(), 1);
    EXPECT_EQ(row[0], (QVariantList{"good", 12, "real", "2.35", 0.5, "Fuel: 100% & it's full", "", 0}));
    // Several requests are under way at once, so they may arrive in any order.
    const QStringList targets = service.targets();
    EXPECT_EQ(targets.size(), 9);
    for (const char* resource : {"profile", "stats", "cars"})
        EXPECT_TRUE(targets.contains(QStringLiteral("/StatsAPI/ws/game/racr/driver/good/%1?shard=").arg(resource)))
            << resource;
}

TEST(ImportDrivers, ADatabaseErrorAbandonsOnlyItsDriver)
{
    Simulator sim;
    ImportDatabase db;
    db.exec("CREATE TRIGGER refuse BEFORE INSERT ON DRIVERS WHEN NEW.drivername='O''Malley'"
            " BEGIN SELECT RAISE(ABORT, 'no room for O''Malley'); END");
    RecordingHost host;
    DriverImport(inputsFor(sim.base(), "O'Malley,pilot000"), db.query, host).run();
    ASSERT_EQ(host.lines.size(), 5) << host.lines.join('\n').toStdString();
    EXPECT_TRUE(host.lines[0].startsWith("O'Malley: ")) << host.lines[0].toStdString();
    EXPECT_TRUE(host.lines[0].contains("no room for O'Malley")) << host.lines[0].toStdString();
    expectSummary(host.lines, 1, 0);
    EXPECT_EQ(db.rows("select drivername from DRIVERS"), QList<QVariantList>{{"PILOT000"}});
}

TEST(ImportDrivers, CancelStopsAfterTheDriverInProgressWithoutSummary)
{
    Simulator sim;
    {
        ImportDatabase db;
        RecordingHost host;
        host.cancelWhen = [](const RecordingHost& h) { return h.units == 2; };
        EXPECT_EQ(DriverImport(inputsFor(sim.base(), "pilot001,pilot002,pilot003,pilot004"), db.query, host).run(),
                  DriverImport::Outcome::Cancelled);
        EXPECT_TRUE(host.lines.isEmpty());
        EXPECT_EQ(db.count("DRIVERS"), 2);
        EXPECT_EQ(host.gauge.position(), 2);
    }
    {
        // A failed driver does not keep the user from stopping the run.
        ImportDatabase db;
        RecordingHost host;
        host.cancelWhen = [](const RecordingHost& h) { return h.units == 1; };
        DriverImport(inputsFor(sim.base(), "nobody,kestrel"), db.query, host).run();
        EXPECT_EQ(host.lines, QStringList{kUnknownDriverLine});
        EXPECT_EQ(db.count("DRIVERS"), 0);
    }
}

TEST(ImportDrivers, AnAnswerThatIsNoDriverDocumentNeverOverwritesAStoredDriver)
{
    ImportDatabase db;
    {
        Simulator sim;
        RecordingHost host;
        DriverImport(inputsFor(sim.base(), "pilot000"), db.query, host).run();
        ASSERT_GT(served(sim.base(), "pilot000", "APEX").cars, 0);
    }
    const auto stored = db.rows("select * from DRIVERS");
    const struct {
        const char* fault;
        const char* line;
    } cases[] = {
        {"cars=http500", "PILOT000: The statistics service's cars answer is not a driver document (HTTP 500)."},
        {"stats=notxml", "PILOT000: The statistics service's stats answer is not a driver document (not well-formed XML)."},
        {"profile=http500", "PILOT000: The statistics service's profile answer is not a driver document (HTTP 500)."},
    };
    for (const auto& c : cases) {
        Simulator sim({"--fault", c.fault});
        RecordingHost host;
        DriverImport job(inputsFor(sim.base(), "PILOT000"), db.query, host);
        EXPECT_EQ(job.run(), DriverImport::Outcome::Finished);
        EXPECT_EQ(host.lines.value(0), QString::fromUtf8(c.line)) << c.fault;
        expectSummary(host.lines, 0, 0);
        EXPECT_EQ(job.failedDrivers(), 1);
        EXPECT_EQ(host.gauge.position(), host.gauge.maximum());
        EXPECT_EQ(db.rows("select * from DRIVERS"), stored) << c.fault;
    }
}

TEST(ImportDrivers, AServiceThatDoesNotAnswerEndsTheRunAfterThreeDriversInARow)
{
    Simulator sim({"--fault", "all=drop"});
    ImportDatabase db;
    RecordingHost host;
    // One request at a time: a driver whose first request got no answer is not kept waiting for
    // its other two, which would each wait out a time-out of their own on a silent service.
    ImportInputs inputs = inputsFor(sim.base(), "pilot001,pilot002,pilot003,pilot004,pilot005");
    inputs.parallel = 1;
    try {
        DriverImport(inputs, db.query, host).run();
        ADD_FAILURE() << "the run went on: " << host.lines.join(" / ").toStdString();
    } catch (const racr::NoAnswerError& error) {
        EXPECT_TRUE(error.message().contains("did not answer for 3 drivers in a row")) << error.message().toStdString();
    }
    ASSERT_EQ(host.lines.size(), 3);
    EXPECT_TRUE(host.lines[2].startsWith("pilot003: The statistics service did not answer")) << host.lines[2].toStdString();
    // Waiting for every request of the three drivers asked them 9 times; asking only each one's
    // first leaves room for the next driver's request started before the run ended, and libcurl's
    // retry of a request on a fresh connection.
    EXPECT_LT(sim.status().requests, 9);
}

TEST(ImportDrivers, ADriverWaitsForAnotherProgramsWriteInsteadOfFailing)
{
    Simulator sim;
    ImportDatabase db;
    const WriteLockHolder holder(db.home.file("RACR.db"), 1500);
    RecordingHost host;
    DriverImport job(inputsFor(sim.base(), "pilot000,kestrel"), db.query, host);
    EXPECT_EQ(job.run(), DriverImport::Outcome::Finished);
    EXPECT_EQ(job.failedDrivers(), 0) << host.lines.join(" / ").toStdString();
    EXPECT_EQ(db.count("DRIVERS"), 3);   // the holder's row among them
}

TEST(ImportDrivers, SeveralDriversAtOnceStoreAndLogExactlyWhatOneAtATimeDoes)
{
    Simulator sim({"--latency-ms", "5"});
    const QString names = "kestrel,pilot001,nobody,\"Jürgen Größ\",NoWheels,pilot002,KESTREL,pilot017,O'Malley,walker";
    const auto runWith = [&](int parallel) {
        ImportDatabase db;
        RecordingHost host;
        ImportInputs inputs = inputsFor(sim.base(), names);
        inputs.parallel = parallel;
        EXPECT_EQ(DriverImport(inputs, db.query, host).run(), DriverImport::Outcome::Finished);
        QStringList lines = host.lines;
        lines.removeIf([](const QString& line) { return line.startsWith("Running time: "); });
        return std::make_pair(lines, db.rows("select * from DRIVERS order by rowid"));
    };
    const auto one = runWith(1);
    const auto several = runWith(16);
    EXPECT_EQ(several.first, one.first);
    EXPECT_EQ(several.second, one.second);
    EXPECT_EQ(one.second.size(), 8);
}

TEST(ImportDrivers, TheServiceNeverSeesMoreRequestsAtOnceThanAsked)
{
    for (const int parallel : {1, 4}) {
        FakeService service([](const FakeService::Request&) { return FakeService::Reply(404, "<error/>"); }, 10);
        ImportDatabase db;
        RecordingHost host;
        ImportInputs inputs = inputsFor(service.base(), "a,b,c,d,e,f");
        inputs.parallel = parallel;
        DriverImport(inputs, db.query, host).run();
        // A driver's work ends at a failed profile: no stats or cars are asked for.
        EXPECT_EQ(service.targets().filter("/profile?").size(), 6);
        EXPECT_EQ(service.requests().size(), 6);
        EXPECT_LE(service.mostAtOnce(), parallel);
        EXPECT_GE(service.mostAtOnce(), std::min(parallel, 2)) << "the requests never overlapped";
    }
}

TEST(ImportDrivers, OnPostgresADriverIsAddedOnceThenUpdatedWithEveryColumn)
{
    Simulator sim;
    ImportDatabase db{Engine::Postgres};
    RecordingHost host;
    // KESTREL listed twice: added, then updated within the same run.
    EXPECT_EQ(DriverImport(inputsFor(sim.base(), "kestrel,pilot000,KESTREL"), db.query, host).run(),
              DriverImport::Outcome::Finished);
    expectSummary(host.lines, 2, 1);

    RecordingHost again;
    DriverImport(inputsFor(sim.base(), "kestrel", "CHICANE"), db.query, again).run();
    expectSummary(again.lines, 0, 1);
    const ServedDriver chicane = served(sim.base(), "kestrel", "CHICANE");
    EXPECT_EQ(db.rows("select driverlevel, drivershard, tot_avg_place, car_count from DRIVERS"
                      " where drivername='KESTREL'"),
              (QList<QVariantList>{{chicane.profile.level.toInt(), "CHICANE",
                                    chicane.stats.averageFinishingPlace.toDouble(), chicane.cars}}));
    EXPECT_EQ(db.count("DRIVERS"), 2);
}

TEST(ImportDrivers, OnPostgresALostServerConnectionEndsTheRunInsteadOfFailingEachDriver)
{
    Simulator sim;
    ImportDatabase db{Engine::Postgres};
    // The server ends the program's session, as a restart or an administrator would.
    QSqlQuery kill(db.connection.database());
    ASSERT_TRUE(kill.exec("select pg_backend_pid()") && kill.next());
    const QString pid = kill.value(0).toString();
    {
        TempHome admin;
        admin.write("racr.ini", db.home.read("racr.ini"));
        Connection other(admin.file("connection.dsn"), admin.file("RACR.db"));
        other.open();
        ASSERT_TRUE(QSqlQuery(other.database()).exec("select pg_terminate_backend(" + pid + ")"));
    }
    RecordingHost host;
    DriverImport job(inputsFor(sim.base(), "kestrel,pilot000,pilot001,pilot002"), db.query, host);
    try {
        job.run();
        ADD_FAILURE() << "the run went on: " << host.lines.join(" / ").toStdString();
    } catch (const racr::StorageError& error) {
        EXPECT_TRUE(error.message().contains("failed on the PostgreSQL server")) << error.message().toStdString();
        EXPECT_TRUE(error.message().contains("terminating connection")) << error.message().toStdString();
    }
    EXPECT_EQ(job.failedDrivers(), 0);
}
