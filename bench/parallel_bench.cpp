// The requests of a full leaderboard import (90 tracks, two passes: 180 POSTs of 100 records each)
// against a service that answers after 200 ms, made by plain libcurl: one after another over one
// handle, and through a multi handle keeping 8 in flight. These are the reference figures for the
// import's own runs. Every row also shows what the simulator saw, to confirm the number in flight.
#include "support/simulator.h"
#include "webservice/endpoints.h"
#include "webservice/tracktable.h"

#include <QCoreApplication>

#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kLatencyMs = 200;
constexpr int kInFlight = 8;

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

// A POST without a body, as the import sends it; the answer goes into body.
void prepare(CURL* easy, const std::string& url, std::string& body)
{
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_POST, 1L);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE, 0L);
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
    if (status != 200 || body.empty())
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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    Simulator sim({QStringLiteral("--records-per-track"), QStringLiteral("100"), QStringLiteral("--latency-ms"),
                   QString::number(kLatencyMs)});
    const std::vector<std::string> urls = leaderboardRequests(sim.base());

    std::vector<Row> rows;
    rows.push_back(measure(sim, "libcurl, one after another", [&] { oneAfterAnother(urls); }));
    rows.push_back(measure(sim, "libcurl multi, " + std::to_string(kInFlight) + " in flight",
                           [&] { severalAtOnce(urls, kInFlight); }));

    std::printf("%zu leaderboard requests, 100 records each, service latency %d ms\n", urls.size(), kLatencyMs);
    std::printf("%-36s %9s %8s %9s %12s %14s\n", "", "seconds", "/ row 1", "requests", "connections", "max in flight");
    for (const Row& row : rows)
        std::printf("%-36s %9.2f %8.2f %9d %12d %14d\n", row.name.c_str(), row.seconds, row.seconds / rows.front().seconds,
                    row.seen.requests, row.seen.connections, row.seen.maxInFlight);
    std::printf("one after another / %d in flight: %.1f times the time\n", kInFlight, rows[0].seconds / rows[1].seconds);
    curl_global_cleanup();
    return 0;
}
