#include "common/error.h"
#include "import/leaderboardimport.h"
#include "importtesting.h"
#include "leaderboarddocument.h"
#include "support/fakeservice.h"
#include "support/simulator.h"
#include "webservice/endpoints.h"
#include "webservice/httprequest.h"
#include "webservice/readers.h"
#include "webservice/xmldocument.h"

#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <tuple>

namespace {

ImportInputs inputsFor(const QString& base, const QString& shard = QStringLiteral("APEX"))
{
    ImportInputs inputs;
    inputs.serviceBase = base;
    inputs.shard = shard;
    inputs.drivers = QStringLiteral("kestrel,pilot000");
    inputs.periodType = 2;
    inputs.periodValue = QStringLiteral("0");
    return inputs;
}

const QRegularExpression runningTime(QStringLiteral("^Running time: \\d+(\\.\\d{1,3})? sec\\.$"));

// With three records per board the simulator fills 89 boards per pass (BREAKING POINT stays
// empty) and repeats the first record of BAY BRIDGE, which the check must find.
constexpr int kRecordsPerPass = 89 * 3;

} // namespace

class ImportLeaderboardsOn : public ::testing::TestWithParam<Engine> {};

TEST_P(ImportLeaderboardsOn, CompleteRunStoresEveryRecordOnceAndASecondRunNothing)
{
    Simulator sim({"--records-per-track", "3"});
    ImportDatabase db{GetParam()};
    RecordingHost host;
    LeaderboardImport first(inputsFor(sim.base()), db.query, host);
    EXPECT_EQ(first.run(), LeaderboardImport::Outcome::Finished);

    ASSERT_EQ(host.lines.size(), 4) << host.lines.join('\n').toStdString();
    EXPECT_EQ(host.lines[0], QStringLiteral("MultiPlayer: %1 new record(s).").arg(kRecordsPerPass));
    EXPECT_EQ(host.lines[1], QStringLiteral("SinglePlayer: %1 new record(s).").arg(kRecordsPerPass));
    EXPECT_TRUE(runningTime.match(host.lines[2]).hasMatch()) << host.lines[2].toStdString();
    EXPECT_EQ(host.lines[3], QStringLiteral("Finished!"));
    EXPECT_EQ(host.gauge.maximum(), 180);
    EXPECT_EQ(host.gauge.position(), 180);
    EXPECT_EQ(host.gauge.text(), QStringLiteral("Done"));
    EXPECT_EQ(host.doneEvents, 1);
    EXPECT_EQ(host.units, 180);   // pending events after every track, the empty one included
    EXPECT_EQ(db.count("RACR"), 2 * kRecordsPerPass);
    // The repeated record of BAY BRIDGE was found by the check.
    EXPECT_EQ(db.rows("select count(*) from RACR where trackid=10 and multiplayer=1").value(0).value(0).toInt(), 3);

    // Every stored row is the record as the service sent it.
    racr::HttpRequest request;
    racr::XmlDocument answer;
    racr::fetch(request, answer, "POST",
                racr::leaderboardsUrl(sim.base(), {"kestrel,pilot000", 2, 2, 10, "0", "APEX"}));
    ASSERT_EQ(racr::leaderboardRecordCount(answer), 4);
    for (int i = 0; i < 3; ++i) {
        const racr::LeaderboardRecord r = racr::readLeaderboardRecord(answer, i);
        const auto stored = db.rows("select driver, car, date, besttime, shard, multiplayer from RACR where trackid=10"
                                    " and multiplayer=2 and besttime=? and driver=?",
                                    {r.eventDuration, r.personaName});
        ASSERT_EQ(stored.size(), 1) << i;
        EXPECT_EQ(stored[0][1].toString(), r.make + ' ' + r.carName);
        EXPECT_EQ(stored[0][2].toString(), r.createdDateStr + "  " + r.createdDate.mid(11, 8));
        EXPECT_EQ(stored[0][4].toString(), "APEX");
        EXPECT_EQ(stored[0][5].toInt(), 2);
    }

    RecordingHost again;
    LeaderboardImport second(inputsFor(sim.base()), db.query, again);
    second.run();
    ASSERT_EQ(again.lines.size(), 4);
    EXPECT_EQ(again.lines[0], QStringLiteral("MultiPlayer: 0 new record(s)."));
    EXPECT_EQ(again.lines[1], QStringLiteral("SinglePlayer: 0 new record(s)."));
    EXPECT_EQ(db.count("RACR"), 2 * kRecordsPerPass);
}

INSTANTIATE_TEST_SUITE_P(Engines, ImportLeaderboardsOn, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const ::testing::TestParamInfo<Engine>& info) {
                             return info.param == Engine::Postgres ? "Postgres" : "Sqlite";
                         });

TEST(ImportLeaderboards, RecordShapesTheSimulatorNeverSends)
{
    CannedRecord plain;
    CannedRecord apostrophe = plain;
    apostrophe.personaName = "O'Malley";
    apostrophe.make = "Brennan";
    apostrophe.carName = "Devil's Run";
    CannedRecord carOnly = plain;   // differs from `plain` in its car only
    carOnly.make = "Garnet";
    carOnly.carName = "Kid's Dream";
    CannedRecord shortStamp = plain;
    shortStamp.eventDuration = "96.000";
    shortStamp.createdDate = "2011-06-30";   // fewer than 12 characters: no time of day
    CannedRecord hostile = plain;
    hostile.personaName = "x' OR '1'='1";
    hostile.carName = "'); DROP TABLE RACR; --";
    hostile.eventDuration = "1:02.5";
    CannedRecord otherTrack = plain;
    otherTrack.eventId = "10";        // the row's track comes from the record, not the request
    otherTrack.eventType = "2";
    otherTrack.personaName = "Zoë Núñez";

    FakeService service([&](const FakeService::Request& asked) {
        if (asked.query.at("eid") != "299" || asked.query.at("et") != "1")
            return leaderboardDocument({});
        return leaderboardDocument({plain, plain, apostrophe, carOnly, shortStamp, hostile, otherTrack});
    });
    ImportDatabase db;
    RecordingHost host;
    LeaderboardImport(inputsFor(service.base()), db.query, host).run();

    EXPECT_EQ(host.lines.value(0), QStringLiteral("MultiPlayer: 5 new record(s)."));
    EXPECT_EQ(host.lines.value(1), QStringLiteral("SinglePlayer: 0 new record(s)."));
    const auto stored = db.rows("select driver, car, date, trackid, multiplayer, besttime from RACR order by id");
    ASSERT_EQ(stored.size(), 5);
    EXPECT_EQ(stored[0][1].toString(), "Falk Roadster S");
    EXPECT_EQ(stored[0][2].toString(), "2011-06-30  12:34:56");
    EXPECT_EQ(stored[1][0].toString(), "O'Malley");
    EXPECT_EQ(stored[1][1].toString(), "Brennan Devil's Run");
    EXPECT_EQ(stored[2][2].toString(), "2011-06-30  ");
    EXPECT_EQ(stored[3][0].toString(), "x' OR '1'='1");
    EXPECT_EQ(stored[3][1].toString(), "Falk '); DROP TABLE RACR; --");
    EXPECT_EQ(stored[3][5].toString(), "1:02.5");
    EXPECT_EQ(stored[4][0].toString(), QStringLiteral("Zoë Núñez"));
    EXPECT_EQ(stored[4][3].toInt(), 10);
    EXPECT_EQ(stored[4][4].toInt(), 2);
}

TEST(ImportLeaderboards, RequestsCarryTheInputsAndAnEmptyShardIsStoredEmpty)
{
    FakeService service([](const FakeService::Request& asked) {
        CannedRecord record;
        record.eventId = asked.query.at("eid");
        record.eventType = asked.query.at("et");
        return leaderboardDocument({record});
    });
    ImportDatabase db;
    RecordingHost host;
    ImportInputs inputs = inputsFor(service.base(), QString());
    // The names the driver import asks for: quotes and blanks between names gone; a name with a
    // comma cannot be sent and is told once.
    inputs.drivers = QStringLiteral("kestrel, \"Zoë Núñez\" \"Fast, Loose\",O'Malley");
    inputs.periodType = 3;
    inputs.periodValue = QStringLiteral("17");
    inputs.parallel = 1;   // one after the other, so they arrive in the order they are stored
    LeaderboardImport(inputs, db.query, host).run();

    const QStringList targets = service.targets();
    ASSERT_EQ(targets.size(), 180);
    const QString dn = "kestrel%2CZo%C3%AB%20N%C3%BA%C3%B1ez%2CO%27Malley";
    EXPECT_EQ(targets[0], "/StatsAPI/ws/game/racr/leaderboards?dn=" + dn + "&et=1&lt=3&eid=299&rf=17&shard=");
    EXPECT_EQ(targets[89], "/StatsAPI/ws/game/racr/leaderboards?dn=" + dn + "&et=1&lt=3&eid=501&rf=17&shard=");
    EXPECT_EQ(targets[90], "/StatsAPI/ws/game/racr/leaderboards?dn=" + dn + "&et=2&lt=3&eid=299&rf=17&shard=");
    EXPECT_EQ(host.lines.filter("Fast, Loose"),
              QStringList{"Not asked for: \"Fast, Loose\" (a name with a comma cannot be sent in a leaderboard request)."});
    EXPECT_EQ(db.count("RACR"), 180);
    EXPECT_EQ(db.rows("select count(*) from RACR where shard=''").value(0).value(0).toInt(), 180);
}

TEST(ImportLeaderboards, SeveralRequestsAtOnceStoreAndLogExactlyWhatOneAtATimeDoes)
{
    // Answers come back out of order when the service takes a while; they are stored in order.
    Simulator sim({"--records-per-track", "3", "--latency-ms", "5"});
    const auto runWith = [&](int parallel) {
        ImportDatabase db;
        RecordingHost host;
        ImportInputs inputs = inputsFor(sim.base());
        inputs.parallel = parallel;
        EXPECT_EQ(LeaderboardImport(inputs, db.query, host).run(), LeaderboardImport::Outcome::Finished);
        QStringList lines = host.lines;
        lines.removeIf([](const QString& line) { return line.startsWith("Running time: "); });
        return std::make_tuple(lines, db.rows("select * from RACR order by id"), host.gauge.position(), host.doneEvents);
    };
    const auto one = runWith(1);
    const auto several = runWith(16);
    EXPECT_EQ(std::get<0>(several), std::get<0>(one));
    EXPECT_EQ(std::get<1>(several), std::get<1>(one));
    EXPECT_EQ(std::get<1>(one).size(), 2 * kRecordsPerPass);
    EXPECT_EQ(std::get<2>(several), 180);
    EXPECT_EQ(std::get<3>(several), std::get<3>(one));
}

TEST(ImportLeaderboards, TheServiceNeverSeesMoreRequestsAtOnceThanAsked)
{
    for (const int parallel : {1, 4}) {
        FakeService service([](const FakeService::Request&) { return leaderboardDocument({}); }, 10);
        ImportDatabase db;
        RecordingHost host;
        ImportInputs inputs = inputsFor(service.base());
        inputs.parallel = parallel;
        LeaderboardImport(inputs, db.query, host).run();
        EXPECT_EQ(service.requests().size(), 180);
        EXPECT_LE(service.mostAtOnce(), parallel);
        EXPECT_GE(service.mostAtOnce(), std::min(parallel, 2)) << "the requests never overlapped";
    }
}

TEST(ImportLeaderboards, AnswersThatAreNoLeaderboardAddNothingAndAreToldAfterTheirPass)
{
    {
        Simulator sim({"--records-per-track", "3", "--fault", "leaderboards=http500"});
        ImportDatabase db;
        RecordingHost host;
        LeaderboardImport job(inputsFor(sim.base()), db.query, host);
        EXPECT_EQ(job.run(), LeaderboardImport::Outcome::Finished);
        ASSERT_EQ(host.lines.size(), 6);
        EXPECT_EQ(host.lines[0], QStringLiteral("MultiPlayer: 0 new record(s)."));
        EXPECT_EQ(host.lines[1],
                  QStringLiteral("MultiPlayer: 90 track(s) gave no leaderboard (first: HTTP 500 on AGOSTINI AVENUE)."));
        EXPECT_EQ(host.lines[2], QStringLiteral("SinglePlayer: 0 new record(s)."));
        EXPECT_EQ(host.lines[5], QStringLiteral("Finished!"));
        EXPECT_EQ(job.unreadableTracks(), 180);
        EXPECT_EQ(db.count("RACR"), 0);
    }
    {
        // Hostile answers among good ones: entity references that would expand to gigabytes, a
        // compressed answer that would decode to 100 MB, and an error page that happens to hold
        // records. None of them is read; every other track is stored.
        std::string entities = "<?xml version=\"1.0\"?><!DOCTYPE list [<!ENTITY e \"" + std::string(4000, 'x')
                               + "\">]><list>";
        for (int i = 0; i < 10'000; ++i)
            entities += "<worldLeaderboard personaName=\"&e;\"/>";
        entities += "</list>";
        const QByteArray zlib = qCompress(QByteArray(100 * 1024 * 1024, ' '), 9);
        FakeService::Reply bomb(std::string(zlib.constData() + 4, std::size_t(zlib.size() - 4)));   // no length prefix
        bomb.contentEncoding = "deflate";
        const FakeService::Reply page("<html><body>" + leaderboardDocument({CannedRecord{}}) + "</body></html>");
        // A well-formed answer with another root: its records count wherever they stand, unlike
        // those of an error document (BEACHFRONT, 302; BEACON & STATION, 25).
        const auto rootedIn = [](const std::string& root, const std::string& eid, const std::string& et) {
            CannedRecord record;
            record.eventId = eid;
            record.eventType = et;
            std::string body = leaderboardDocument({record});
            body = body.substr(body.find("<list>"));
            return "<?xml version=\"1.0\"?><" + root + ">" + body + "</" + root + ">";
        };
        FakeService service([&](const FakeService::Request& asked) -> FakeService::Reply {
            const std::string& eid = asked.query.at("eid");
            if (eid == "299")   // AGOSTINI AVENUE, the first track
                return entities;
            if (eid == "57")
                return bomb;
            if (eid == "10")
                return page;
            if (eid == "302")
                return rootedIn("leaderboards", eid, asked.query.at("et"));
            if (eid == "25")
                return rootedIn("error", eid, asked.query.at("et"));
            CannedRecord record;
            record.eventId = eid;
            record.eventType = asked.query.at("et");
            return leaderboardDocument({record});
        });
        ImportDatabase db;
        RecordingHost host;
        LeaderboardImport job(inputsFor(service.base()), db.query, host);
        EXPECT_EQ(job.run(), LeaderboardImport::Outcome::Finished);
        ASSERT_EQ(host.lines.size(), 6);
        EXPECT_EQ(host.lines[0], QStringLiteral("MultiPlayer: 86 new record(s)."));
        EXPECT_EQ(host.lines[1],
                  QStringLiteral("MultiPlayer: 4 track(s) gave no leaderboard (first: a DTD on AGOSTINI AVENUE)."));
        EXPECT_EQ(host.lines[2], QStringLiteral("SinglePlayer: 86 new record(s)."));
        EXPECT_EQ(db.count("RACR"), 2 * 86);
        EXPECT_EQ(db.rows("select count(*) from RACR where trackid in (299, 57, 10, 25)").value(0).value(0).toInt(), 0);
        EXPECT_EQ(db.rows("select count(*) from RACR where trackid = 302").value(0).value(0).toInt(), 2);
    }
}

TEST(ImportLeaderboards, APassCountsOnlyWhatItsCommitsStored)
{
    // The commit of BROOKS STREET's records fails (a deferred constraint stands in for a full
    // disk): its records are not stored, so they are not counted either.
    Simulator sim({"--records-per-track", "3"});
    ImportDatabase db;
    db.exec("PRAGMA foreign_keys=ON");
    db.exec("CREATE TABLE parent (id INTEGER PRIMARY KEY)");
    db.exec("CREATE TABLE child (parent INTEGER REFERENCES parent(id) DEFERRABLE INITIALLY DEFERRED)");
    db.exec("CREATE TRIGGER doom AFTER INSERT ON RACR WHEN NEW.trackid=57 BEGIN INSERT INTO child VALUES (1); END");
    RecordingHost host;
    EXPECT_THROW(LeaderboardImport(inputsFor(sim.base()), db.query, host).run(), racr::Error);
    EXPECT_EQ(host.lines, QStringList{QStringLiteral("MultiPlayer: 24 new record(s).")});
    EXPECT_EQ(db.count("RACR"), 24);
}

TEST(ImportLeaderboards, ATrackWaitsForAnotherProgramsWriteInsteadOfFailing)
{
    Simulator sim({"--records-per-track", "3"});
    ImportDatabase db;
    const WriteLockHolder holder(db.home.file("RACR.db"), 1500);
    RecordingHost host;
    EXPECT_EQ(LeaderboardImport(inputsFor(sim.base()), db.query, host).run(), LeaderboardImport::Outcome::Finished);
    EXPECT_EQ(db.count("RACR"), 2 * kRecordsPerPass);
}

TEST(ImportLeaderboards, ADamagedTableEndsTheRunInsteadOfPassingForStored)
{
    Simulator sim({"--records-per-track", "30"});
    TempHome home;
    const ImportInputs inputs = [&] {
        ImportInputs i = inputsFor(sim.base());
        QStringList pilots;
        for (int n = 0; n < 200; ++n)
            pilots.append(QStringLiteral("PILOT%1").arg(n, 3, 10, QLatin1Char('0')));
        i.drivers = pilots.join(',');
        return i;
    }();
    QList<int> tablePages;
    {
        Connection connection(home.file("connection.dsn"), home.file("RACR.db"));
        connection.open();
        OpenResult query(connection, kImportMessageName);
        RecordingHost host;
        LeaderboardImport(inputs, query, host).run();
        QSqlQuery pages(connection.database());
        // Leaf pages of the table itself; the duplicate-check index stays whole.
        ASSERT_TRUE(pages.exec("PRAGMA wal_checkpoint(TRUNCATE)"));
        ASSERT_TRUE(pages.exec("select pageno from dbstat where name='RACR' and pagetype='leaf' limit 3"))
            << pages.lastError().text().toStdString();
        while (pages.next())
            tablePages.append(pages.value(0).toInt());
    }
    ASSERT_EQ(tablePages.size(), 3);
    QFile file(home.file("RACR.db"));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    for (const int page : tablePages) {
        file.seek(qint64(page - 1) * 4096 + 300);
        file.write(QByteArray(1000, '\xff'));
    }
    file.close();

    Connection connection(home.file("connection.dsn"), home.file("RACR.db"));
    connection.open();
    OpenResult query(connection, kImportMessageName);
    RecordingHost host;
    try {
        LeaderboardImport(inputs, query, host).run();
        ADD_FAILURE() << "a damaged database passed: " << host.lines.join(" / ").toStdString();
    } catch (const racr::StorageError& error) {
        EXPECT_TRUE(error.message().contains("RACR.db is damaged")) << error.message().toStdString();
    }
}

TEST(ImportLeaderboards, CancelDuringTheSecondPassWritesBothPassLinesAndNothingElse)
{
    Simulator sim({"--records-per-track", "3"});
    ImportDatabase db;
    RecordingHost host;
    host.cancelWhen = [](const RecordingHost& h) { return h.gauge.position() == 100; };
    EXPECT_EQ(LeaderboardImport(inputsFor(sim.base()), db.query, host).run(), LeaderboardImport::Outcome::Cancelled);
    // Ten tracks of the second pass were done, BAY BRIDGE with its repeated record among them.
    EXPECT_EQ(host.lines, (QStringList{QStringLiteral("MultiPlayer: %1 new record(s).").arg(kRecordsPerPass),
                                       QStringLiteral("SinglePlayer: 30 new record(s).")}));
    EXPECT_EQ(db.count("RACR"), kRecordsPerPass + 30);
    EXPECT_EQ(host.gauge.position(), 100);
}

// A club's server refusing a track: its words reach the user, the tracks before it stay and
// nothing of the refused one is stored.
TEST(ImportLeaderboards, OnPostgresARefusedTrackEndsTheRunWithTheServersWords)
{
    Simulator sim({"--records-per-track", "3"});
    ImportDatabase db{Engine::Postgres};
    db.exec("CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN"
            " IF NEW.trackid = 57 THEN RAISE EXCEPTION 'the disk is full'; END IF; RETURN NEW; END$$");
    db.exec("CREATE TRIGGER refuse BEFORE INSERT ON RACR FOR EACH ROW EXECUTE FUNCTION refuse()");
    RecordingHost host;
    try {
        LeaderboardImport(inputsFor(sim.base()), db.query, host).run();
        ADD_FAILURE() << "no error";
    } catch (const racr::Error& error) {
        EXPECT_TRUE(error.message().startsWith("Storing records in table RACR failed: ")) << error.message().toStdString();
        EXPECT_TRUE(error.message().contains("the disk is full")) << error.message().toStdString();
    }
    EXPECT_EQ(host.lines, QStringList{QStringLiteral("MultiPlayer: 24 new record(s).")});
    EXPECT_EQ(db.count("RACR"), 24);
    // The session goes on: the next statement on it works.
    EXPECT_EQ(db.count("TRACKLIST"), 90);
}

TEST(ImportLeaderboards, AnErrorEndsTheRunAfterThePassLineAndKeepsTheRowsStoredBeforeIt)
{
    {
        // The database refuses the first record of BROOKS STREET, the ninth track.
        Simulator sim({"--records-per-track", "3"});
        ImportDatabase db;
        db.exec("CREATE TRIGGER refuse BEFORE INSERT ON RACR WHEN NEW.trackid=57"
                " BEGIN SELECT RAISE(ABORT, 'the disk is full'); END");
        RecordingHost host;
        try {
            LeaderboardImport(inputsFor(sim.base()), db.query, host).run();
            ADD_FAILURE() << "no error";
        } catch (const racr::Error& error) {
            EXPECT_TRUE(error.message().contains("the disk is full")) << error.message().toStdString();
        }
        EXPECT_EQ(host.lines, QStringList{QStringLiteral("MultiPlayer: 24 new record(s).")});
        EXPECT_EQ(db.count("RACR"), 24);
        EXPECT_EQ(host.gauge.position(), 8);
    }
    {
        // The last record of every answer lacks its time: the first track's two records stay.
        Simulator sim({"--records-per-track", "3", "--fault", "leaderboards=missingattr"});
        ImportDatabase db;
        RecordingHost host;
        try {
            LeaderboardImport(inputsFor(sim.base()), db.query, host).run();
            ADD_FAILURE() << "no error";
        } catch (const racr::ServiceError& error) {
            EXPECT_TRUE(error.message().contains("eventDuration")) << error.message().toStdString();
        }
        EXPECT_EQ(host.lines, QStringList{QStringLiteral("MultiPlayer: 2 new record(s).")});
        EXPECT_EQ(db.count("RACR"), 2);
    }
    {
        // An empty or non-numeric number fails like a statement the database would refuse.
        FakeService service([](const FakeService::Request& asked) {
            if (asked.query.at("eid") != "299")
                return leaderboardDocument({});
            CannedRecord good;
            good.eventType = asked.query.at("et");
            if (good.eventType == "1")
                return leaderboardDocument({good});
            CannedRecord bad;
            bad.personaName = "pilot000";
            bad.eventType = "";
            return leaderboardDocument({good, bad});
        });
        ImportDatabase db;
        RecordingHost host;
        try {
            LeaderboardImport(inputsFor(service.base()), db.query, host).run();
            ADD_FAILURE() << "no error";
        } catch (const racr::ServiceError& error) {
            EXPECT_EQ(error.message(), QStringLiteral("The statistics service sent \"\" as the eventType of pilot000's"
                                                      " record on AGOSTINI AVENUE, which is not a number."));
        }
        EXPECT_EQ(host.lines, (QStringList{QStringLiteral("MultiPlayer: 1 new record(s)."),
                                           QStringLiteral("SinglePlayer: 1 new record(s).")}));
        EXPECT_EQ(db.count("RACR"), 2);
    }
}
