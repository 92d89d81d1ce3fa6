#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace httplib {
class Server;
}

// A stand-in for the statistics service that answers with hand-written documents and keeps a
// list of what it was asked, so tests can check the addresses a window sends.
class FakeService {
public:
    struct Reply {
        int status = 200;
        std::string body;
    };
    // Answers by path (the part before '?'); any other path gets a 404 page.
    explicit FakeService(std::map<std::string, Reply> answers, int latencyMs = 0);
    ~FakeService();
    FakeService(const FakeService&) = delete;
    FakeService& operator=(const FakeService&) = delete;

    QString base() const;
    QStringList requests() const; // "METHOD target", the target as it arrived (still encoded)

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// Runs `action` once the service has received `count` requests and is still holding back the
// answer (give the service a latency), so that a test acts while a window waits.
void whileAnswering(const FakeService& service, int count, std::function<void()> action);
