#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <string>

// A stand-in for the statistics service on 127.0.0.1 that answers with documents a test writes
// (shapes the simulator never sends) and keeps what it was asked, so tests can check addresses.
class FakeService {
public:
    struct Request {
        std::string method;
        std::string path;                          // decoded, without the query
        std::map<std::string, std::string> query;  // decoded values
    };
    struct Reply {
        Reply(std::string text = {}) : body(std::move(text)) {}
        Reply(int code, std::string text) : status(code), body(std::move(text)) {}
        int status = 200;
        std::string body;
        std::string contentEncoding;   // sent as Content-Encoding when set; the body is sent as is
        // When set, the body is `body` sent this many times over, without the service holding it
        // whole: an answer of gigabytes.
        std::size_t repeat = 0;
    };
    using Answer = std::function<Reply(const Request&)>;

    // latencyMs holds every answer back that long, so a test can act while a window waits.
    explicit FakeService(Answer answer, int latencyMs = 0);
    // Answers by path (the part before '?'); any other path gets a 404 page.
    explicit FakeService(std::map<std::string, Reply> answers, int latencyMs = 0);
    ~FakeService();
    FakeService(const FakeService&) = delete;
    FakeService& operator=(const FakeService&) = delete;

    QString base() const;
    QStringList requests() const;  // "METHOD target", the target as it arrived (still encoded)
    QStringList targets() const;   // the targets alone
    int mostAtOnce() const;        // the most requests it was answering at the same time

private:
    void stopListener();

    struct State;
    std::unique_ptr<State> m_state;
};

// Runs `action` once the service has received `count` requests and is still holding back the
// answer (give the service a latency), so that a test acts while a window waits.
void whileAnswering(const FakeService& service, int count, std::function<void()> action);
