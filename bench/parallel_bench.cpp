// The imports against a service that answers after 0, 50 and 200 ms, with 1, 4, 6 and 8 requests
// under way, beside the same requests made by plain libcurl with the same number in flight: a full
// leaderboard import (90 tracks, two passes: 180 POSTs of 100 records each) and a driver import of
// 50 names (150 GETs). Every row also shows what the simulator saw, to confirm the number in flight.
//
//   parallel_bench [--latencies 0,50,200] [--parallel 1,4,6,8] [--drivers 50] [--records-per-track 100]
#include "benchoptions.h"
#include "quiethost.h"
#include "db/connection.h"
#include "db/openresult.h"
#include "import/driverimport.h"
#include "import/leaderboardimport.h"
#include "support/simulator.h"
#include "support/temphome.h"
#include "webservice/endpoints.h"
#include "common/tracktable.h"

#include <QCoreApplication>

#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

int g_drivers = 50;   // names of the driver import, from --drivers

double seconds(const std::function<void()>& run)
{
    const auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The import's requests in its order: pass et=1 over every track, then et=2.
std::vector<std::string> leaderboardRequests(const QString& base)
{
    std::vector<std::string> urls;
    for (int eventType : {1, 2})
        for (const racr::Track& track : racr::trackTable())
            urls.push_back(racr::leaderboardsUrl(base, {QStringLiteral("kestrel,pilot000"), eventType, 1, track.eventId,
                                                        QStringLiteral("0"), QStringLiteral("APEX")})
                               .toStdString());
    return urls;
}

std::size_t collect(char* data, std::size_t size, std::size_t count, void* body)
{
    static_cast<std::string*>(body)->append(data, size * count);
    return size * count;
}

// The driver import's requests in its order: profile, stats and cars of each name.
std::vector<std::string> driverRequests(const QString& base)
{
    std::vector<std::string> urls;
    for (int i = 0; i < g_drivers; ++i)
        for (const racr::DriverResource resource :
             {racr::DriverResource::Profile, racr::DriverResource::Stats, racr::DriverResource::Cars})
            urls.push_back(racr::driverUrl(base, resource, QStringLiteral("PILOT%1").arg(i, 3, 10, QLatin1Char('0')),
                                           QStringLiteral("APEX"))
                               .toStdString());
    return urls;
}

QString driverNames()
{
    QStringList names;
    for (int i = 0; i < g_drivers; ++i)
        names.append(QStringLiteral("PILOT%1").arg(i, 3, 10, QLatin1Char('0')));
    return names.join(QLatin1Char(','));
}

// As the imports send them: leaderboards by POST without a body, the driver resources by GET.
void prepare(CURL* easy, const std::string& url, std::string& body)
{
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    if (url.find("/leaderboards?") != std::string::npos) {
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE, 0L);
    }
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
}

void check(CURL* easy, CURLcode result, const std::string& body)
{
    char* url = nullptr;
    curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &url);
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    if (result != CURLE_OK)
        throw std::runtime_error(std::string(url ? url : "?") + ": " + curl_easy_strerror(result));
    if (status >= 400 || body.empty())
        throw std::runtime_error(std::string(url ? url : "?") + ": HTTP " + std::to_string(status));
}

void oneAfterAnother(const std::vector<std::string>& urls)
{
    CURL* easy = curl_easy_init();
    std::string body;
    for (const std::string& url : urls) {
        body.clear();
        prepare(easy, url, body);
        check(easy, curl_easy_perform(easy), body);
    }
    curl_easy_cleanup(easy);
}

// Keeps `inFlight` transfers running: each finished one is replaced by the next request. The
// multi handle's connection cache lets them reuse the connections of finished transfers.
void severalAtOnce(const std::vector<std::string>& urls, int inFlight)
{
    CURLM* multi = curl_multi_init();
    curl_multi_setopt(multi, CURLMOPT_MAX_TOTAL_CONNECTIONS, long(inFlight));
    std::vector<std::string> bodies(urls.size());
    std::size_t next = 0;
    int running = 0;
    auto start = [&] {
        CURL* easy = curl_easy_init();
        prepare(easy, urls[next], bodies[next]);
        curl_easy_setopt(easy, CURLOPT_PRIVATE, reinterpret_cast<void*>(next));
        curl_multi_add_handle(multi, easy);
        ++next;
        ++running;
    };
    while (next < urls.size() && running < inFlight)
        start();
    while (running > 0) {
        int active = 0;
        curl_multi_perform(multi, &active);
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
            if (message->msg != CURLMSG_DONE)
                continue;
            CURL* easy = message->easy_handle;
            const CURLcode result = message->data.result;
            void* index = nullptr;
            curl_easy_getinfo(easy, CURLINFO_PRIVATE, &index);
            check(easy, result, bodies[reinterpret_cast<std::size_t>(index)]);
            curl_multi_remove_handle(multi, easy);
            curl_easy_cleanup(easy);
            --running;
            if (next < urls.size())
                start();
        }
        if (running > 0)
            curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
    }
    curl_multi_cleanup(multi);
}

// One import into a fresh database of its own, with `parallel` requests under way.
void runImport(const QString& base, bool leaderboards, int parallel)
{
    TempHome home;
    Connection connection(home.file("connection.dsn"), home.file("RACR.db"));
    connection.open();
    OpenResult query(connection, kImportMessageName);
    QuietHost host;
    ImportInputs inputs;
    inputs.serviceBase = base;
    inputs.shard = QStringLiteral("APEX");
    inputs.periodType = 1;
    inputs.parallel = parallel;
    if (leaderboards) {
        inputs.drivers = QStringLiteral("kestrel,pilot000");
        LeaderboardImport(inputs, query, host).run();
    } else {
        inputs.drivers = driverNames();
        DriverImport(inputs, query, host).run();
    }
}

struct Row {
    std::string name;
    double seconds;
    SimulatorStatus seen;
};

Row measure(Simulator& sim, const std::string& name, const std::function<void()>& run)
{
    sim.resetStatus();
    const double elapsed = seconds(run);
    return {name, elapsed, sim.status()};
}

void curlRequests(const std::vector<std::string>& urls, int inFlight)
{
    if (inFlight == 1)
        oneAfterAnother(urls);
    else
        severalAtOnce(urls, inFlight);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    BenchOptions options(QStringLiteral("Both imports beside plain libcurl with as many requests in flight."));
    options.addSizes(QStringLiteral("latencies"), QStringLiteral("the simulator's latencies in ms"),
                     QStringLiteral("0,50,200"));
    options.addSizes(QStringLiteral("parallel"), QStringLiteral("requests in flight"), QStringLiteral("1,4,6,8"));
    options.addSize(QStringLiteral("drivers"), QStringLiteral("names of the driver import"), QStringLiteral("50"));
    options.addSize(QStringLiteral("records-per-track"), QStringLiteral("records of each leaderboard answer"),
                    QStringLiteral("100"));
    options.process(app.arguments());
    g_drivers = options.size(QStringLiteral("drivers"));
    const QString records = QString::number(options.size(QStringLiteral("records-per-track")));
    curl_global_init(CURL_GLOBAL_DEFAULT);
    std::printf("%-44s %9s %10s %9s %12s %14s\n", "", "seconds", "/ libcurl", "requests", "connections",
                "max in flight");
    for (const int latency : options.sizes(QStringLiteral("latencies"))) {
        Simulator sim({QStringLiteral("--records-per-track"), records, QStringLiteral("--latency-ms"),
                       QString::number(latency)});
        const std::vector<std::string> boards = leaderboardRequests(sim.base());
        const std::vector<std::string> drivers = driverRequests(sim.base());
        for (const bool leaderboards : {true, false}) {
            if (leaderboards)
                std::printf("180 leaderboards, %s records each, service latency %d ms\n", qPrintable(records), latency);
            else
                std::printf("%d drivers, 3 requests each, service latency %d ms\n", g_drivers, latency);
            for (const int n : options.sizes(QStringLiteral("parallel"))) {
                const Row reference = measure(sim, "  libcurl, " + std::to_string(n) + " in flight",
                                              [&] { curlRequests(leaderboards ? boards : drivers, n); });
                const Row import = measure(sim, "  import, parallel " + std::to_string(n),
                                           [&] { runImport(sim.base(), leaderboards, n); });
                for (const Row& row : {reference, import})
                    std::printf("%-44s %9.2f %10.2f %9d %12d %14d\n", row.name.c_str(), row.seconds,
                                row.seconds / reference.seconds, row.seen.requests, row.seen.connections,
                                row.seen.maxInFlight);
            }
        }
    }
    curl_global_cleanup();
    return 0;
}
