#pragma once

#include "population.h"

#include <map>
#include <string>

namespace sim {

// How an endpoint misbehaves when asked to (--fault ENDPOINT=MODE).
enum class Fault { None, Http500, NotXml, MissingAttr, FewerProfiles, Drop, Hang };

struct Answer {
    enum class Action { Reply, Drop, Hang };
    Action action = Action::Reply;
    int status = 200;
    std::string contentType = "application/xml;charset=UTF-8";
    std::string body;
};

// The statistics service's endpoints, without the HTTP server around them.
class Service {
public:
    // The names --fault accepts, "all" aside.
    static constexpr const char* kEndpoints[] = {"leaderboards", "events", "profile", "profiles", "lastlogin", "stats", "cars"};

    Service(const Population& population, std::map<std::string, Fault> faults)
        : m_population(population), m_faults(std::move(faults)) {}

    // target is the request line's raw target: path and query still percent-encoded.
    Answer answer(const std::string& method, const std::string& target) const;

private:
    Answer leaderboards(const std::map<std::string, std::string>& query, Fault fault) const;
    Answer events(const std::map<std::string, std::string>& query, Fault fault) const;
    Answer driver(const std::string& name, const std::string& resource, const std::string& shard, Fault fault) const;
    Fault faultFor(const std::string& endpoint) const;

    const Population& m_population;
    std::map<std::string, Fault> m_faults;
};

} // namespace sim
