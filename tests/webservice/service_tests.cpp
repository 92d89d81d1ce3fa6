#include "support/fakeservice.h"
#include "support/simulator.h"

#include "common/error.h"
#include "webservice/endpoints.h"
#include "webservice/httprequest.h"
#include "webservice/parallelfetch.h"
#include "webservice/readers.h"
#include "common/tracktable.h"
#include "webservice/xmldocument.h"
#include "webservice/xslstylesheet.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>
#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <latch>
#include <memory>
#include <thread>

using namespace racr;

namespace {

// Names that have broken addresses, files and statements; all known to the simulator.
const QStringList kAwkwardNames = {
    QStringLiteral("O'Malley"), QStringLiteral("The \"Ghost\""), QStringLiteral("Fast & Loose"),
    QStringLiteral("#1 Racer"), QStringLiteral("Night: Rider"), QString::fromUtf8("Jürgen Größ"),
    QString::fromUtf8("東京ドリフト"), QStringLiteral("Ask?Me 100%+/-")};

class ServiceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { sim = std::make_unique<Simulator>(); }
    static void TearDownTestSuite() { sim.reset(); }

    void leaderboard(const QString& drivers, int et, int lt, int eid, const QString& rf, const QString& shard,
                     const QString& base = sim->base())
    {
        fetch(request, doc, QStringLiteral("POST"), leaderboardsUrl(base, {drivers, et, lt, eid, rf, shard}));
    }
    void driver(DriverResource resource, const QString& name, const QString& shard = QStringLiteral("APEX"))
    {
        fetch(request, doc, QStringLiteral("GET"), driverUrl(sim->base(), resource, name, shard));
    }

    static std::unique_ptr<Simulator> sim;
    HttpRequest request;
    XmlDocument doc;
};

std::unique_ptr<Simulator> ServiceTest::sim;

QString failureOf(const std::function<void()>& read)
{
    try {
        read();
    } catch (const ServiceError& error) {
        return error.message();
    }
    return QString();
}

} // namespace

TEST_F(ServiceTest, LeaderboardRecordsOfTheListedDrivers)
{
    int records = 0;
    for (const Track& track : trackTable().mid(0, 20)) {
        leaderboard(QStringLiteral("kestrel,pilot000,nobody-at-all"), 2, 1, track.eventId, QStringLiteral("0"),
                    QStringLiteral("APEX"));
        for (int i = 0; i < leaderboardRecordCount(doc); ++i, ++records) {
            const LeaderboardRecord r = readLeaderboardRecord(doc, i);
            EXPECT_TRUE(r.personaName == QLatin1String("KESTREL") || r.personaName == QLatin1String("PILOT000"))
                << r.personaName.toStdString();
            EXPECT_EQ(r.eventId, QString::number(track.eventId));
            EXPECT_EQ(r.eventType, QStringLiteral("2"));
            EXPECT_EQ(r.createdDateStr, r.createdDate.left(10));
            EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$")).match(r.createdDate.mid(11, 8)).hasMatch());
            EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+\\.\\d{3}$")).match(r.eventDuration).hasMatch());
        }
    }
    EXPECT_GT(records, 0);

    // Drivers the service does not know, or none at all, give an empty list: no failure.
    leaderboard(QString(), 1, 1, 10, QStringLiteral("0"), QStringLiteral("APEX"));
    EXPECT_TRUE(doc.hasRoot());
    EXPECT_EQ(leaderboardRecordCount(doc), 0);
}

TEST_F(ServiceTest, EmptyTrackAndRepeatedRecord)
{
    const QString everyone = QStringLiteral("kestrel,pilot000,pilot001,pilot002,pilot003,pilot004,pilot005");
    leaderboard(everyone, 1, 1, 509, QStringLiteral("0"), QStringLiteral("APEX"));
    EXPECT_EQ(leaderboardRecordCount(doc), 0);
    EXPECT_EQ(doc.rootXml(), QStringLiteral("<list/>"));

    leaderboard(everyone, 1, 1, 10, QStringLiteral("0"), QStringLiteral("APEX"));
    ASSERT_GE(leaderboardRecordCount(doc), 2);
    const LeaderboardRecord first = readLeaderboardRecord(doc, 0), second = readLeaderboardRecord(doc, 1);
    EXPECT_EQ(first.personaName, second.personaName);
    EXPECT_EQ(first.createdDate, second.createdDate);
    EXPECT_EQ(first.eventDuration, second.eventDuration);
}

TEST_F(ServiceTest, AnswersDifferByShardAndPeriodAndRepeat)
{
    const QString drivers = QStringLiteral("kestrel,pilot000,pilot001,pilot002,pilot003,pilot004");
    auto board = [&](int lt, const QString& rf, const QString& shard) {
        leaderboard(drivers, 1, lt, 302, rf, shard);
        return doc.rootXml();
    };
    const QString apex = board(2, QStringLiteral("1"), QStringLiteral("APEX"));
    EXPECT_EQ(board(2, QStringLiteral("1"), QStringLiteral("APEX")), apex);
    EXPECT_NE(board(2, QStringLiteral("1"), QStringLiteral("CHICANE")), apex);
    EXPECT_NE(board(2, QStringLiteral("2"), QStringLiteral("APEX")), apex);
    EXPECT_NE(board(3, QStringLiteral("1"), QStringLiteral("APEX")), apex);
    // Overall boards do not depend on the period value.
    EXPECT_EQ(board(1, QStringLiteral("0"), QStringLiteral("APEX")), board(1, QStringLiteral("5"), QStringLiteral("APEX")));
}

TEST_F(ServiceTest, DriverDocuments)
{
    driver(DriverResource::Profile, QStringLiteral("pilot000"));
    const DriverProfile profile = readProfile(doc);
    EXPECT_EQ(profile.name, QStringLiteral("PILOT000")); // the service's spelling, not ours
    bool whole = false;
    const int image = profile.image.toInt(&whole);
    EXPECT_TRUE(whole && image >= 1 && image <= 24) << profile.image.toStdString();

    driver(DriverResource::Profiles, QStringLiteral("KESTREL"));
    ASSERT_GE(personaCount(doc), 1);
    EXPECT_EQ(readPersona(doc, 0).personaName, QStringLiteral("KESTREL"));
    EXPECT_EQ(readPersona(doc, 0).defaultPersona, QStringLiteral("true"));

    driver(DriverResource::LastLogin, QStringLiteral("kestrel"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ$")).match(readLastLogin(doc)).hasMatch());

    driver(DriverResource::Stats, QStringLiteral("kestrel"));
    const EventStats stats = readEventStats(doc);
    EXPECT_EQ(stats.totalRacesWon.toInt(), stats.singlePlayerRacesWon.toInt() + stats.multiPlayerRacesWon.toInt());
    EXPECT_LE(readStreakStats(doc).currentMultiPlayerWinStreak.toInt(), readStreakStats(doc).bestMultiPlayerWinStreak.toInt());

    driver(DriverResource::Cars, QStringLiteral("kestrel"));
    ASSERT_GE(carCount(doc), 1);
    for (int i = 0; i < carCount(doc); ++i) {
        EXPECT_FALSE(readCar(doc, i).make.isEmpty());
        EXPECT_FALSE(readPhysicsProfile(doc, i).rating.isEmpty());
    }
    driver(DriverResource::Cars, QStringLiteral("NoWheels"));
    EXPECT_EQ(carCount(doc), 0);

    // An unknown or empty name gets an answer without the elements, so the read fails.
    driver(DriverResource::Profile, QStringLiteral("nobody-at-all"));
    EXPECT_THROW(readProfile(doc), ServiceError);
    driver(DriverResource::Stats, QString());
    EXPECT_THROW(readEventStats(doc), ServiceError);
}

TEST_F(ServiceTest, AwkwardNamesTravelIntactBothWays)
{
    QString longName = QStringLiteral("Bartholomew Maximilian Fitzgerald-Worthington the Third Honorary Member "
                                      "of the Grand Northern Racing League");
    ASSERT_GT(longName.size(), 100);
    for (const QString& name : kAwkwardNames + QStringList{longName}) {
        driver(DriverResource::Profile, name);
        EXPECT_EQ(readProfile(doc).name, name);
    }
    // Each listed name appears with its records: the list was neither cut nor mangled.
    const Simulator busy({QStringLiteral("--records-per-track"), QStringLiteral("16")});
    leaderboard(kAwkwardNames.join(QLatin1Char(',')), 1, 2, 302, QStringLiteral("0"), QStringLiteral("CHICANE"), busy.base());
    ASSERT_EQ(leaderboardRecordCount(doc), 16);
    QSet<QString> seen;
    for (int i = 0; i < 16; ++i)
        seen.insert(readLeaderboardRecord(doc, i).personaName);
    EXPECT_EQ(seen, QSet<QString>(kAwkwardNames.begin(), kAwkwardNames.end()));
}

TEST_F(ServiceTest, DailyEventsOfEveryClass)
{
    fetch(request, doc, QStringLiteral("GET"), eventsUrl(sim->base(), QStringLiteral("CHICANE")));
    QSet<QString> classes;
    for (int i = 0; i < dailyEventCount(doc); ++i) {
        const DailyEvent e = readDailyEvent(doc, i);
        classes.insert(e.minTier + QLatin1Char('-') + e.maxTier);
    }
    for (const char* tiers : {"0-249", "250-399", "400-499", "500-599", "600-749", "750-999", "0-999", "100-300"})
        EXPECT_TRUE(classes.contains(QLatin1String(tiers))) << tiers;
}

TEST_F(ServiceTest, ServersStatusPageAndLeaderboardPage)
{
    request.open(QStringLiteral("GET"), serversStatusUrl(sim->base()));
    EXPECT_TRUE(request.send().contains("Servers status"));

    const XslStylesheet style(QStringLiteral(
        "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"><xsl:template match=\"/\">"
        "<html><body><h2><xsl:value-of select=\"list/track/@name\"/></h2><h3>records: "
        "<xsl:value-of select=\"count(list/worldLeaderboard)\"/></h3><xsl:for-each select=\"list/worldLeaderboard\">"
        "<b><xsl:value-of select=\"@personaName\"/></b><br/></xsl:for-each></body></html></xsl:template></xsl:stylesheet>"));
    const Simulator busy({QStringLiteral("--records-per-track"), QStringLiteral("5")});
    leaderboard(QStringLiteral("Fast & Loose"), 1, 1, 25, QStringLiteral("0"), QStringLiteral("APEX"), busy.base());
    doc.appendToRoot(QStringLiteral("track"), {{QStringLiteral("name"), QStringLiteral("BEACON & STATION")}});
    const QString page = style.transform(doc);
    EXPECT_TRUE(page.contains(QStringLiteral("<h2>BEACON &amp; STATION</h2>"))) << page.toStdString();
    EXPECT_TRUE(page.contains(QStringLiteral("records: 5"))) << page.toStdString();
    EXPECT_EQ(page.count(QStringLiteral("<b>Fast &amp; Loose</b>")), 5) << page.toStdString();
}

TEST_F(ServiceTest, HomePageAndAPostWithoutContentLength)
{
    // "Info" opens the service base's home page in a web browser.
    request.open(QStringLiteral("GET"), sim->base() + QStringLiteral("/"));
    const QByteArray home = request.send();
    EXPECT_TRUE(home.contains("<h1>stats-sim</h1>")) << home.toStdString();
    EXPECT_TRUE(home.contains("/StatsAPI/ws/game/racr/servers/status")) << home.toStdString();

    // A leaderboards request typed by hand (curl -X POST) announces no body at all.
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(sim->port());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    const std::string asked = "POST /StatsAPI/ws/game/racr/leaderboards?dn=kestrel&et=1&lt=1&eid=10&rf=0&shard=APEX"
                              " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    ASSERT_EQ(::send(socket, asked.data(), asked.size(), 0), ssize_t(asked.size()));
    std::string answer;
    char buffer[4096];
    for (ssize_t got; (got = ::recv(socket, buffer, sizeof buffer, 0)) > 0;)
        answer.append(buffer, std::size_t(got));
    ::close(socket);
    EXPECT_EQ(answer.substr(0, answer.find('\r')), "HTTP/1.1 200 OK") << answer;
    EXPECT_NE(answer.find("<list"), std::string::npos) << answer;
}

TEST_F(ServiceTest, FailedRequestsNameTheAddressAndLeaveTheRequestUsable)
{
    // Nothing listens on port 1.
    const QString nowhere = QStringLiteral("http://127.0.0.1:1");
    const QString message = failureOf([&] { leaderboard(QStringLiteral("kestrel"), 1, 1, 10, QStringLiteral("0"), {}, nowhere); });
    EXPECT_TRUE(message.contains(nowhere + QStringLiteral("/StatsAPI/ws/game/racr/leaderboards?dn=kestrel"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("servicebase"))) << message.toStdString();
    driver(DriverResource::Profile, QStringLiteral("kestrel"));
    EXPECT_EQ(readProfile(doc).name, QStringLiteral("KESTREL"));
}

// Each fault mode of the simulator, as the client sees it.
TEST(ServiceFaults, ErrorPagesAndNonXmlFailAtTheFirstRead)
{
    for (const char* mode : {"http500", "notxml"}) {
        const Simulator sim({QStringLiteral("--fault"), QStringLiteral("all=") + QLatin1String(mode)});
        HttpRequest request;
        XmlDocument doc;
        fetch(request, doc, QStringLiteral("POST"),
              leaderboardsUrl(sim.base(), {QStringLiteral("kestrel,pilot000"), 1, 1, 10, QStringLiteral("0"), QStringLiteral("APEX")}));
        EXPECT_EQ(leaderboardRecordCount(doc), 0) << mode;
        fetch(request, doc, QStringLiteral("GET"), driverUrl(sim.base(), DriverResource::Profile, QStringLiteral("kestrel"), {}));
        EXPECT_FALSE(doc.hasRoot()) << mode;
        EXPECT_THROW(readProfile(doc), ServiceError) << mode;
    }
}

TEST(ServiceFaults, MissingAttributesAndProfiles)
{
    const Simulator sim({QStringLiteral("--fault"), QStringLiteral("all=missingattr"), QStringLiteral("--fault"),
                         QStringLiteral("cars=fewerprofiles"), QStringLiteral("--records-per-track"), QStringLiteral("3")});
    HttpRequest request;
    XmlDocument doc;
    auto get = [&](DriverResource resource) {
        fetch(request, doc, QStringLiteral("GET"), driverUrl(sim.base(), resource, QStringLiteral("kestrel"), QStringLiteral("APEX")));
    };
    auto failure = [](const std::function<void()>& read) { return failureOf(read).toStdString(); };

    fetch(request, doc, QStringLiteral("POST"),
          leaderboardsUrl(sim.base(), {QStringLiteral("kestrel"), 1, 1, 302, QStringLiteral("0"), QStringLiteral("APEX")}));
    ASSERT_EQ(leaderboardRecordCount(doc), 3);
    EXPECT_NO_THROW(readLeaderboardRecord(doc, 1));
    EXPECT_NE(failure([&] { readLeaderboardRecord(doc, 2); }).find("\"eventDuration\""), std::string::npos);

    get(DriverResource::Profile);
    EXPECT_NE(failure([&] { readProfile(doc); }).find("\"image\""), std::string::npos);
    get(DriverResource::Stats);
    EXPECT_NO_THROW(readEventStats(doc));
    EXPECT_NE(failure([&] { readStreakStats(doc); }).find("\"bestMultiPlayerWinStreak\""), std::string::npos);
    get(DriverResource::LastLogin);
    EXPECT_NE(failure([&] { readLastLogin(doc); }).find("\"lastLogin\""), std::string::npos);
    get(DriverResource::Profiles);
    EXPECT_NE(failure([&] { readPersona(doc, personaCount(doc) - 1); }).find("\"level\""), std::string::npos);

    get(DriverResource::Cars);
    const int cars = carCount(doc);
    ASSERT_GE(cars, 1);
    EXPECT_EQ(doc.count(QStringLiteral("physicsProfile")), cars - 1);
    EXPECT_THROW(readPhysicsProfile(doc, cars - 1), ServiceError);
}

TEST(ServiceFaults, DroppedConnectionIsATransportFailure)
{
    const Simulator sim({QStringLiteral("--fault"), QStringLiteral("leaderboards=drop")});
    HttpRequest request;
    XmlDocument doc;
    const QString url = leaderboardsUrl(sim.base(), {QStringLiteral("kestrel"), 1, 1, 10, QStringLiteral("0"), QStringLiteral("APEX")});
    const QString message = failureOf([&] { fetch(request, doc, QStringLiteral("POST"), url); });
    EXPECT_TRUE(message.contains(url)) << message.toStdString();
    // The next request on the same object goes through.
    fetch(request, doc, QStringLiteral("GET"), eventsUrl(sim.base(), QStringLiteral("APEX")));
    EXPECT_GT(dailyEventCount(doc), 0);
}

TEST(ServiceFaults, AConnectionThatBreaksOffMidAnswerIsToldApartFromNoAnswer)
{
    // A service that sends the head and a piece of the body, then closes the connection.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    socklen_t length = sizeof address;
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    std::thread service([listener] {
        const int connection = ::accept(listener, nullptr, nullptr);
        char buffer[4096];
        [[maybe_unused]] const ssize_t asked = ::recv(connection, buffer, sizeof buffer, 0);
        const std::string half = "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: 5000\r\n\r\n<list>";
        [[maybe_unused]] const ssize_t sent = ::send(connection, half.data(), half.size(), 0);
        ::close(connection);
    });
    HttpRequest request;
    XmlDocument doc;
    const QString url = QStringLiteral("http://127.0.0.1:%1/StatsAPI/ws/game/racr/servers/status").arg(ntohs(address.sin_port));
    const QString message = failureOf([&] { fetch(request, doc, QStringLiteral("GET"), url); });
    service.join();
    ::close(listener);
    EXPECT_TRUE(message.startsWith("The statistics service stopped answering GET " + url + " before the answer was complete: "))
        << message.toStdString();

    // Nothing at all on the address is still a service that did not answer.
    const QString nowhere = failureOf([&] { fetch(request, doc, QStringLiteral("GET"), url); });
    EXPECT_TRUE(nowhere.startsWith("The statistics service did not answer GET " + url)) << nowhere.toStdString();
}

TEST(ServiceFaults, SilentServiceTimesOut)
{
    const Simulator sim({QStringLiteral("--fault"), QStringLiteral("stats=hang")});
    HttpRequest request;
    request.setTimeouts(2000, 500);
    XmlDocument doc;
    const QString message = failureOf([&] {
        fetch(request, doc, QStringLiteral("GET"), driverUrl(sim.base(), DriverResource::Stats, QStringLiteral("kestrel"), {}));
    });
    EXPECT_TRUE(message.contains(QStringLiteral("timed out"), Qt::CaseInsensitive)) << message.toStdString();
    fetch(request, doc, QStringLiteral("GET"), driverUrl(sim.base(), DriverResource::Profile, QStringLiteral("kestrel"), {}));
    EXPECT_EQ(readProfile(doc).name, QStringLiteral("KESTREL"));
}

// Tests of a client that keeps N requests in flight rest on the simulator answering them together
// and counting them exactly: a pool too small or a lock around the answer would show fewer in flight
// than were sent, and a client opening a connection per request must be told from one reusing them.
TEST(ServiceTraffic, ConcurrentRequestsAreAnsweredTogetherAndCounted)
{
    Simulator sim({QStringLiteral("--latency-ms"), QStringLiteral("200")});
    const auto target = [&](int track) {
        return leaderboardsUrl(sim.base(), {QStringLiteral("kestrel"), 1, 1, trackTable()[track].eventId,
                                            QStringLiteral("0"), QStringLiteral("APEX")})
            .mid(sim.base().size()).toStdString();
    };

    constexpr int kAtOnce = 8;
    std::latch start(kAtOnce);
    std::vector<int> statuses(kAtOnce, 0);
    std::vector<std::thread> clients;
    for (int i = 0; i < kAtOnce; ++i)
        clients.emplace_back([&, i] {
            httplib::Client client("127.0.0.1", sim.port());
            const std::string path = target(i);
            start.arrive_and_wait();
            if (const httplib::Result result = client.Post(path))
                statuses[i] = result->status;
        });
    for (std::thread& client : clients)
        client.join();
    EXPECT_EQ(statuses, std::vector<int>(kAtOnce, 200));
    SimulatorStatus seen = sim.status();
    EXPECT_EQ(seen.requests, kAtOnce);
    EXPECT_EQ(seen.connections, kAtOnce);
    EXPECT_EQ(seen.maxInFlight, kAtOnce);

    sim.resetStatus();
    seen = sim.status();
    EXPECT_EQ(seen.requests, 0);
    EXPECT_EQ(seen.connections, 0);
    EXPECT_EQ(seen.maxInFlight, 0);

    // One after another over one kept-alive connection.
    httplib::Client client("127.0.0.1", sim.port());
    client.set_keep_alive(true);
    for (int i = 0; i < 3; ++i) {
        const httplib::Result result = client.Post(target(i));
        ASSERT_TRUE(result) << httplib::to_string(result.error());
        EXPECT_EQ(result->status, 200);
    }
    seen = sim.status();
    EXPECT_EQ(seen.requests, 3);
    EXPECT_EQ(seen.connections, 1);
    EXPECT_EQ(seen.maxInFlight, 1);
}

namespace {

// The most memory the process has held since the last reset, in MB.
long peakMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong() / 1024;
    return -1;
}

void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    ASSERT_TRUE(clear.open(QIODevice::WriteOnly));
    clear.write("5");
}

} // namespace

TEST(ServiceTraffic, AnswersUnderWayTogetherHoldNoMoreThanTheirCap)
{
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "ThreadSanitizer's shadow memory makes the process's peak no measure of the answers";
#endif
    // Sixteen answers of 60 MB each once decoded (a hostile service; each is under the cap of
    // one answer). The first comes late, so the others would all wait, whole, to be taken.
    constexpr int kAnswers = 16;
    const QByteArray zlib = qCompress(QByteArray(60 * 1024 * 1024, ' '), 9);
    FakeService::Reply big(std::string(zlib.constData() + 4, std::size_t(zlib.size() - 4)));
    big.contentEncoding = "deflate";
    FakeService service([&](const FakeService::Request& asked) {
        if (asked.query.at("n") == "0")
            std::this_thread::sleep_for(std::chrono::seconds(3));
        return big;
    });
    QList<FetchRequest> requests;
    for (int i = 0; i < kAnswers; ++i)
        requests.append({QStringLiteral("GET"), service.base() + QStringLiteral("/big?n=%1").arg(i)});

    resetPeak();
    const long before = peakMegabytes();
    ParallelFetch fetch(requests, ParallelFetch::kMaxParallel, nullptr, ParallelFetch::AfterNoAnswer::StartNoMore);
    for (int i = 0; i < kAnswers; ++i) {
        const FetchAnswer answer = fetch.next();
        if (answer.failure) {
            try {
                std::rethrow_exception(answer.failure);
            } catch (const racr::Error& error) {
                FAIL() << i << ": " << error.message().toStdString();
            }
        }
        EXPECT_EQ(answer.body.size(), 60 * 1024 * 1024) << i;
    }
    // The cap of all answers together, the answer wanted next beyond it, the one just taken, and
    // what the allocator keeps of buffers that grew stay well under three times the cap; without
    // it the fifteen answers that came before the first were all held, 900 MB and more.
    const long grown = peakMegabytes() - before;
    EXPECT_LT(grown, 3 * HttpRequest::kMaxHeldBytes / (1024 * 1024))
        << "peak grew by " << grown << " MB";
}
