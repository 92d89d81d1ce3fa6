#include "fakeservice.h"

#include <httplib.h>

#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>

struct FakeService::State {
    httplib::Server server;
    std::thread listener;
    std::atomic<bool> listenerDone{false};
    int port = 0;
    mutable std::mutex mutex;
    QStringList requests;
    QStringList targets;
    int atOnce = 0;
    int mostAtOnce = 0;
};

FakeService::FakeService(Answer answer, int latencyMs) : m_state(std::make_unique<State>())
{
    State& state = *m_state;
    auto handle = [&state, answer = std::move(answer), latencyMs](const httplib::Request& request,
                                                                 httplib::Response& response) {
        {
            const std::lock_guard lock(state.mutex);
            state.requests.append(QString::fromStdString(request.method + ' ' + request.target));
            state.targets.append(QString::fromStdString(request.target));
            state.mostAtOnce = std::max(state.mostAtOnce, ++state.atOnce);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(latencyMs));
        Request asked{request.method, request.path, {}};
        for (const auto& [key, value] : request.params)
            asked.query[key] = value;
        const Reply reply = answer(asked);
        response.status = reply.status;
        if (!reply.contentEncoding.empty())
            response.set_header("Content-Encoding", reply.contentEncoding);
        if (reply.repeat > 0) {
            const std::size_t size = reply.body.size() * reply.repeat;
            response.set_content_provider(size, "application/xml;charset=UTF-8",
                                          [body = reply.body](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                              const std::size_t at = offset % body.size();
                                              return sink.write(body.data() + at, std::min(length, body.size() - at));
                                          });
        } else {
            response.set_content(reply.body, "application/xml;charset=UTF-8");
        }
        const std::lock_guard lock(state.mutex);
        --state.atOnce;
    };
    // One connection carries a whole job, as with the real service; small answers go out at once.
    state.server.set_keep_alive_max_count(1'000'000);
    state.server.set_tcp_nodelay(true);
    // Every request a client may have under way (16) is answered at once, and a client that
    // takes its time reading an answer is not cut off.
    state.server.new_task_queue = [] { return new httplib::ThreadPool(32); };
    state.server.set_write_timeout(60, 0);
    state.server.Get(".*", handle);
    state.server.Post(".*", handle);
    state.port = state.server.bind_to_any_port("127.0.0.1");
    if (state.port <= 0)
        throw std::runtime_error("the fake service found no free port on 127.0.0.1");
    state.listener = std::thread([&state] {
        state.server.listen_after_bind();
        state.listenerDone = true;
    });
    // A test must not ask before the service listens; nor may it stop the service before then, as
    // a stop of a server that is not yet listening is lost and the listener would run for ever.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!state.server.is_running() && !state.listenerDone) {
        if (std::chrono::steady_clock::now() > deadline) {
            stopListener();
            throw std::runtime_error("the fake service did not start listening within 30 s");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

FakeService::FakeService(std::map<std::string, Reply> answers, int latencyMs)
    : FakeService(
        [answers = std::move(answers)](const Request& request) {
            const auto found = answers.find(request.path);
            return found != answers.end() ? found->second : Reply{404, "<html><body>not here</body></html>"};
        },
        latencyMs)
{
}

FakeService::~FakeService()
{
    stopListener();
}

// The server ignores a stop until it listens, so the stop waits for that.
void FakeService::stopListener()
{
    while (!m_state->listenerDone) {
        if (m_state->server.is_running()) {
            m_state->server.stop();
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    m_state->listener.join();
}

QString FakeService::base() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_state->port);
}

QStringList FakeService::requests() const
{
    const std::lock_guard lock(m_state->mutex);
    return m_state->requests;
}

QStringList FakeService::targets() const
{
    const std::lock_guard lock(m_state->mutex);
    return m_state->targets;
}

int FakeService::mostAtOnce() const
{
    const std::lock_guard lock(m_state->mutex);
    return m_state->mostAtOnce;
}

void whileAnswering(const FakeService& service, int count, std::function<void()> action)
{
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, &service, count, action = std::move(action)] {
        if (service.requests().size() < count)
            return;
        poll->stop();
        poll->deleteLater();
        action();
    });
    poll->start();
}
