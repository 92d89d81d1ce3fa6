#include "fakeservice.h"

#include <httplib.h>

#include <QTimer>

#include <chrono>
#include <mutex>
#include <thread>

struct FakeService::State {
    httplib::Server server;
    std::thread listener;
    int port = 0;
    mutable std::mutex mutex;
    QStringList requests;
};

FakeService::FakeService(std::map<std::string, Reply> answers, int latencyMs) : m_state(std::make_unique<State>())
{
    State& state = *m_state;
    auto handle = [&state, answers = std::move(answers), latencyMs](const httplib::Request& request,
                                                                   httplib::Response& response) {
        {
            const std::lock_guard lock(state.mutex);
            state.requests.append(QString::fromStdString(request.method + ' ' + request.target));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(latencyMs));
        const auto found = answers.find(request.path);
        const Reply reply = found != answers.end() ? found->second : Reply{404, "<html><body>not here</body></html>"};
        response.status = reply.status;
        response.set_content(reply.body, "application/xml;charset=UTF-8");
    };
    state.server.Get(".*", handle);
    state.server.Post(".*", handle);
    state.port = state.server.bind_to_any_port("127.0.0.1");
    if (state.port <= 0)
        throw std::runtime_error("the fake service found no free port on 127.0.0.1");
    state.listener = std::thread([&state] { state.server.listen_after_bind(); });
}

FakeService::~FakeService()
{
    m_state->server.stop();
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
