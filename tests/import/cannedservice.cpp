#include "cannedservice.h"

#include <httplib.h>

#include <mutex>
#include <stdexcept>
#include <thread>

struct CannedService::State {
    httplib::Server server;
    std::thread listener;
    int port = 0;
    mutable std::mutex mutex;
    QStringList targets;
};

CannedService::CannedService(Answer answer) : m_state(std::make_unique<State>())
{
    State& state = *m_state;
    auto handle = [&state, answer = std::move(answer)](const httplib::Request& request, httplib::Response& response) {
        {
            const std::lock_guard lock(state.mutex);
            state.targets.append(QString::fromStdString(request.target));
        }
        Request asked{request.path, {}};
        for (const auto& [key, value] : request.params)
            asked.query[key] = value;
        response.set_content(answer(asked), "application/xml;charset=UTF-8");
    };
    // One connection carries a whole job, as with the real service.
    state.server.set_keep_alive_max_count(1'000'000);
    state.server.set_tcp_nodelay(true);
    state.server.Get(".*", handle);
    state.server.Post(".*", handle);
    state.port = state.server.bind_to_any_port("127.0.0.1");
    if (state.port <= 0)
        throw std::runtime_error("the canned service found no free port on 127.0.0.1");
    state.listener = std::thread([&state] { state.server.listen_after_bind(); });
}

CannedService::~CannedService()
{
    m_state->server.stop();
    m_state->listener.join();
}

QString CannedService::base() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_state->port);
}

QStringList CannedService::targets() const
{
    const std::lock_guard lock(m_state->mutex);
    return m_state->targets;
}

std::string xmlAttribute(const std::string& name, const std::string& value)
{
    std::string escaped;
    for (const char c : value) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '"': escaped += "&quot;"; break;
        default: escaped += c;
        }
    }
    return ' ' + name + "=\"" + escaped + '"';
}

std::string leaderboardDocument(const std::vector<CannedRecord>& records)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><list>";
    for (const CannedRecord& r : records)
        xml += "<worldLeaderboard" + xmlAttribute("personaName", r.personaName) + xmlAttribute("eventId", r.eventId)
               + xmlAttribute("make", r.make) + xmlAttribute("carName", r.carName)
               + xmlAttribute("createdDateStr", r.createdDateStr) + xmlAttribute("createdDate", r.createdDate)
               + xmlAttribute("eventDuration", r.eventDuration) + xmlAttribute("eventType", r.eventType) + "/>";
    return xml + "</list>";
}
