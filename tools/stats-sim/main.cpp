// stats-sim: a stand-in for the game's statistics service, for tests, demos and benchmarks.
// It answers every endpoint the program uses with generated, repeatable documents and can be
// told to misbehave per endpoint.

#include "population.h"
#include "service.h"

#include <httplib.h>
#include <libxml/parser.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <thread>
#include <utility>

namespace {

struct Options {
    int port = 8680;
    std::uint64_t seed = 1;
    int drivers = 200;
    int recordsPerTrack = 0;
    int latencyMs = 0;
    std::map<std::string, sim::Fault> faults;
};

void printUsage(std::ostream& out)
{
    out << "Usage: stats-sim [options]\n"
           "Serves the statistics service's endpoints under /StatsAPI/ws/game/racr/ on 127.0.0.1.\n"
           "  --port N               listen on port N (default 8680; 0 picks a free port)\n"
           "  --seed N               seed of the generated population and records (default 1)\n"
           "  --drivers N            number of generated drivers PILOT000, PILOT001, ... (default 200)\n"
           "  --records-per-track N  every leaderboard answer carries N records spread over the listed\n"
           "                         drivers (default 0: each listed driver has a record on about 60% of the boards)\n"
           "  --latency-ms N         wait N milliseconds before each answer (default 0)\n"
           "  --fault ENDPOINT=MODE  make an endpoint misbehave; repeatable, the last one for an endpoint wins\n"
           "                         ENDPOINT: leaderboards, events, profile, profiles, lastlogin, stats, cars, all\n"
           "                         MODE: http500 (HTTP 500 with an HTML page), notxml (a body that is not XML),\n"
           "                         missingattr (a record lacks an attribute), fewerprofiles (cars: the last car\n"
           "                         has no physicsProfile), drop (close without answering), hang (never answer),\n"
           "                         none\n"
           "  --help                 show this text\n"
           "Traffic counters, for tests and benchmarks that check how a client uses the service:\n"
           "  GET /status            answers 'requests N', 'connections N' and 'max-in-flight N', one a line:\n"
           "                         the requests answered, the connections that carried them and the most\n"
           "                         requests that were being answered at once; /status itself is not counted\n"
           "  POST /status/reset     sets the counters to zero, so one simulator can serve several runs\n"
           "The same lines go to standard error when the simulator is stopped (SIGINT, SIGTERM).\n";
}

[[noreturn]] void fail(const std::string& message)
{
    std::cerr << "stats-sim: " << message << "\nTry 'stats-sim --help'.\n";
    std::exit(2);
}

long number(const std::string& option, const std::string& text, long low, long high)
{
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < low || value > high)
        fail(option + " needs a whole number from " + std::to_string(low) + " to " + std::to_string(high) + ", not '" + text + "'");
    return value;
}

void addFault(Options& options, const std::string& assignment)
{
    static const std::map<std::string, sim::Fault> modes = {
        {"none", sim::Fault::None},       {"http500", sim::Fault::Http500}, {"notxml", sim::Fault::NotXml},
        {"missingattr", sim::Fault::MissingAttr}, {"fewerprofiles", sim::Fault::FewerProfiles},
        {"drop", sim::Fault::Drop},       {"hang", sim::Fault::Hang}};
    const std::size_t equals = assignment.find('=');
    const std::string endpoint = assignment.substr(0, equals);
    const auto mode = equals == std::string::npos ? modes.end() : modes.find(assignment.substr(equals + 1));
    if (mode == modes.end())
        fail("--fault needs ENDPOINT=MODE with MODE one of none, http500, notxml, missingattr, fewerprofiles, drop, hang: '" + assignment + "'");
    bool known = endpoint == "all";
    for (const char* name : sim::Service::kEndpoints) {
        if (endpoint == "all" || endpoint == name)
            options.faults[name] = mode->second;
        known = known || endpoint == name;
    }
    if (!known)
        fail("--fault: unknown endpoint '" + endpoint + "' (leaderboards, events, profile, profiles, lastlogin, stats, cars or all)");
    if (mode->second == sim::Fault::FewerProfiles && endpoint != "cars" && endpoint != "all")
        fail("--fault: fewerprofiles applies to cars only");
}

Options parseOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        std::optional<std::string> inlineValue;
        if (const std::size_t equals = option.find('='); option.rfind("--", 0) == 0 && equals != std::string::npos) {
            inlineValue = option.substr(equals + 1);
            option.resize(equals);
        }
        if (option == "--help" || option == "-h") {
            printUsage(std::cout);
            std::exit(0);
        }
        auto next = [&]() -> std::string {
            if (inlineValue)
                return *inlineValue;
            if (i + 1 >= argc)
                fail(option + " needs a value");
            return argv[++i];
        };
        if (option == "--port")
            options.port = int(number(option, next(), 0, 65535));
        else if (option == "--seed")
            options.seed = std::uint64_t(number(option, next(), 0, 2147483647));
        else if (option == "--drivers")
            options.drivers = int(number(option, next(), 0, 100000));
        else if (option == "--records-per-track")
            options.recordsPerTrack = int(number(option, next(), 0, 100000));
        else if (option == "--latency-ms")
            options.latencyMs = int(number(option, next(), 0, 600000));
        else if (option == "--fault")
            addFault(options, next());
        else
            fail("unknown option '" + std::string(argv[i]) + "'");
    }
    return options;
}

std::atomic<bool> stopping{false};

// httplib hides the connection from handlers. The client's port pair names it, so a handler can
// find the socket to drop it or to notice that the client gave up waiting.
int connectionSocket(const httplib::Request& request)
{
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        const int fd = std::atoi(entry.path().filename().c_str());
        sockaddr_in local{}, peer{};
        socklen_t localSize = sizeof local, peerSize = sizeof peer;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localSize) == 0 && local.sin_family == AF_INET
            && ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) == 0
            && ntohs(local.sin_port) == request.local_port && ntohs(peer.sin_port) == request.remote_port)
            return fd;
    }
    return -1;
}

// Waits until the client closes its end or the simulator stops (at most ten minutes).
void hang(int socket)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(10);
    while (!stopping && std::chrono::steady_clock::now() < deadline) {
        pollfd watch{socket, POLLIN, 0};
        if (::poll(&watch, 1, 200) > 0) {
            char byte;
            if ((watch.revents & (POLLHUP | POLLERR)) || ::recv(socket, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0)
                return;
            // More bytes from the client (a pipelined request): keep not answering.
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    }
}

// The connection the calling worker thread is serving: httplib runs every accepted connection,
// all its keep-alive requests included, as one task on one thread of the pool.
thread_local std::uint64_t currentConnection = 0;

// A task queue that numbers the connections it is handed, so that requests can be told apart by
// the connection that carried them even when the client reuses a port. It holds httplib's pool
// rather than deriving from it: newer httplib makes the pool final and has enqueue() report
// whether the task was taken, older returns nothing; the return type follows the pool's.
class NumberingPool : public httplib::TaskQueue {
    using EnqueueResult = decltype(std::declval<httplib::ThreadPool&>().enqueue(std::function<void()>{}));

public:
    explicit NumberingPool(std::size_t threads) : m_pool(threads) {}
    EnqueueResult enqueue(std::function<void()> task) override
    {
        return m_pool.enqueue([task = std::move(task), id = ++m_accepted] {
            currentConnection = id;
            task();
        });
    }
    void shutdown() override { m_pool.shutdown(); }

private:
    httplib::ThreadPool m_pool;
    static inline std::atomic<std::uint64_t> m_accepted{0};
};

// What the clients did since the start or the last reset: requests answered, the connections that
// carried them, and the most requests being answered at the same moment (a client that promises at
// most N in flight is caught here when it sends more).
class Traffic {
public:
    // Held for the whole of one request's answer.
    class InFlight {
    public:
        explicit InFlight(Traffic& traffic) : m_traffic(traffic) { m_traffic.begin(); }
        ~InFlight() { m_traffic.end(); }
        InFlight(const InFlight&) = delete;
        InFlight& operator=(const InFlight&) = delete;

    private:
        Traffic& m_traffic;
    };

    std::string report() const
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        std::ostringstream out;
        out << "requests " << m_requests << "\nconnections " << m_connections.size() << "\nmax-in-flight "
            << m_maxInFlight << '\n';
        return out.str();
    }

    // Requests being answered right now stay in flight; they count towards the new maximum but not
    // as requests, which were seen before the reset.
    void reset()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_requests = 0;
        m_connections.clear();
        m_maxInFlight = m_inFlight;
    }

private:
    void begin()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        ++m_requests;
        m_connections.insert(currentConnection);
        m_maxInFlight = std::max(m_maxInFlight, ++m_inFlight);
    }
    void end()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        --m_inFlight;
    }

    mutable std::mutex m_mutex;
    std::uint64_t m_requests = 0;
    std::set<std::uint64_t> m_connections;
    int m_inFlight = 0;
    int m_maxInFlight = 0;
};

} // namespace

int main(int argc, char** argv)
{
    const Options options = parseOptions(argc, argv);

    // SIGINT and SIGTERM are taken by one thread that stops the server; a client that goes away
    // mid-answer must not end the process.
    signal(SIGPIPE, SIG_IGN);
    // A shell without job control starts background commands with SIGINT ignored, and an ignored
    // signal is discarded before sigwait could take it: `stats-sim & ... kill -INT` would not stop.
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    // libxml2 sets itself up on first use, which is not safe when several workers answer their
    // first requests at the same moment (seen as a crash in one start of eight).
    xmlInitParser();
    const sim::Population population(options.seed, options.drivers, options.recordsPerTrack);
    const sim::Service service(population, options.faults);

    httplib::Server server;
    // A job sends 180 requests over one connection; httplib would close it after 5.
    server.set_keep_alive_max_count(1'000'000);
    // Headers and body go out in separate writes; without this a small answer waits for the
    // client's delayed acknowledgement (40 ms a request).
    server.set_tcp_nodelay(true);
    // Every connection holds a worker thread for as long as the client keeps it open (up to the
    // keep-alive time-out of 5 s after its last request), and a hanging request holds one for
    // minutes. A client with 16 requests in flight, plus the idle connections of its previous run
    // or of another client, must not find the pool exhausted: a request queued behind idle
    // connections would wait seconds and be counted as not in flight, hiding what the client did.
    server.new_task_queue = [] { return new NumberingPool(64); };
    Traffic traffic;
    auto handle = [&](const httplib::Request& request, httplib::Response& response) {
        if (request.path == "/status") {
            if (request.method != "GET") {
                response.status = 405;
                response.set_content("Use GET for /status.\n", "text/plain;charset=UTF-8");
                return;
            }
            response.set_content(traffic.report(), "text/plain;charset=UTF-8");
            return;
        }
        if (request.path == "/status/reset") {
            if (request.method != "POST") {
                response.status = 405;
                response.set_content("Use POST for /status/reset.\n", "text/plain;charset=UTF-8");
                return;
            }
            traffic.reset();
            response.set_content(traffic.report(), "text/plain;charset=UTF-8");
            return;
        }
        const Traffic::InFlight counted(traffic);
        if (options.latencyMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(options.latencyMs));
        sim::Answer answer = service.answer(request.method, request.target);
        switch (answer.action) {
        case sim::Answer::Action::Drop:
            ::shutdown(connectionSocket(request), SHUT_RDWR);
            return;
        case sim::Answer::Action::Hang: {
            const int socket = connectionSocket(request);
            hang(socket);
            ::shutdown(socket, SHUT_RDWR);
            return;
        }
        case sim::Answer::Action::Reply:
            response.status = answer.status;
            response.set_content(std::move(answer.body), answer.contentType.c_str());
            return;
        }
    };
    server.Get(".*", handle);
    // A POST without Content-Length (curl -X POST, the leaderboards request made by hand) has no
    // body: httplib would wait for one until its read time-out and answer 400. The body is read
    // only when one is announced; no endpoint reads it.
    server.Post(".*", [&](const httplib::Request& request, httplib::Response& response,
                          const httplib::ContentReader& content) {
        if (request.has_header("Content-Length") || request.has_header("Transfer-Encoding"))
            content([](const char*, std::size_t) { return true; });
        handle(request, response);
    });

    int listening = -1;
    server.set_socket_options([&listening](socket_t socket) {
        httplib::default_socket_options(socket);
        listening = socket;
    });
    int port = options.port;
    if (port == 0)
        port = server.bind_to_any_port("127.0.0.1");
    else if (!server.bind_to_port("127.0.0.1", port))
        port = -1;
    if (port <= 0) {
        std::cerr << "stats-sim: cannot listen on 127.0.0.1:" << options.port
                  << " (is another simulator running there? choose another port with --port)\n";
        return 1;
    }
    // httplib listens with a backlog of 5: of 8 connections opened at once the kernel drops the
    // last ones, and their clients try again only a second later. Listening again on the same
    // socket raises the backlog.
    if (::listen(listening, SOMAXCONN) != 0) {
        std::cerr << "stats-sim: cannot listen on 127.0.0.1:" << port << ": " << std::strerror(errno) << '\n';
        return 1;
    }

    std::thread stopper([&] {
        int received = 0;
        sigwait(&stopSignals, &received);
        stopping = true;
        // A stop is lost on a server that is not listening yet, so a signal that comes early waits.
        while (!server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        server.stop();
    });
    stopper.detach();

    std::cout << "stats-sim listening on http://127.0.0.1:" << port << std::endl;
    server.listen_after_bind();
    std::cerr << traffic.report();
    return 0;
}
