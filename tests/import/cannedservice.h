#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <string>

// A statistics service on 127.0.0.1 that answers with documents a test writes, for record shapes
// the simulator never produces. It keeps the targets it was asked for, still percent-encoded.
class CannedService {
public:
    struct Request {
        std::string path;                          // decoded, without the query
        std::map<std::string, std::string> query;  // decoded values
    };
    // Returns the body of a 200 answer.
    using Answer = std::function<std::string(const Request&)>;

    explicit CannedService(Answer answer);
    ~CannedService();
    CannedService(const CannedService&) = delete;
    CannedService& operator=(const CannedService&) = delete;

    QString base() const;
    QStringList targets() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// XML text helpers for the answers.
std::string xmlAttribute(const std::string& name, const std::string& value);

struct CannedRecord {
    std::string personaName = "kestrel";
    std::string eventId = "299";
    std::string make = "Falk";
    std::string carName = "Roadster S";
    std::string createdDateStr = "2011-06-30";
    std::string createdDate = "2011-06-30T12:34:56";
    std::string eventDuration = "95.230";
    std::string eventType = "1";
};
std::string leaderboardDocument(const std::vector<CannedRecord>& records);
