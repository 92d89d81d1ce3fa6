#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The simulated players of the statistics service. Everything is derived from the seed and the
// request's values, so the same request always gets the same answer.
namespace sim {

// splitmix64 over a seed hashed from texts: the same texts give the same numbers on any build.
class Rng {
public:
    explicit Rng(std::uint64_t state) : m_state(state) {}
    std::uint64_t next();
    int below(int bound) { return int(next() % std::uint64_t(bound)); }
    int between(int low, int high) { return low + below(high - low + 1); }

private:
    std::uint64_t m_state;
};

Rng rngFor(std::uint64_t seed, std::initializer_list<std::string_view> parts);

struct Driver {
    std::string name; // the service's own spelling
    std::string statusMessage;
    bool carless = false;
};

struct Persona {
    std::string personaName;
    int level = 0;
    bool isDefault = false;
    int image = 0;
    std::string statusMessage;
};

struct OwnedCar {
    std::string make;
    std::string carName;
    std::string topSpeed;
    std::string acceleration;
    std::string handling;
    int rating = 0;
    std::string carClass;
};

// What the service knows about one driver on one shard.
struct DriverFacts {
    int level = 0;
    int image = 0; // avatar number, 1 to 24
    std::vector<Persona> personas;
    std::string lastLogin; // "2011-06-01T12:34:56Z"
    std::vector<std::pair<const char*, std::string>> eventStats;   // attribute, value
    std::vector<std::pair<const char*, std::string>> streaksStats; // attribute, value
    std::vector<OwnedCar> cars;
};

struct Record {
    std::string personaName;
    int eventId = 0;
    std::string make;
    std::string carName;
    std::string createdDateStr; // "2011-06-01"
    std::string createdDate;    // "2011-06-01T12:34:56"
    int durationMs = 0;         // sent as seconds with three decimals
    int eventType = 0;
};

struct LeaderboardAsk {
    std::string drivers; // dn, commas and all
    std::string eventType, periodType, eventId, periodValue, shard;
};

struct DailyEvent {
    std::string eventName, eventModeName;
    int minTier = 0, maxTier = 0;
};

class Population {
public:
    static constexpr int kAvatarCount = 24;
    static constexpr int kEmptyTrack = 509;     // BREAKING POINT: nobody has driven it
    static constexpr int kDuplicateTrack = 10;  // BAY BRIDGE: the service repeats its first record

    Population(std::uint64_t seed, int generatedDrivers, int recordsPerTrack);

    const std::vector<Driver>& drivers() const { return m_drivers; }
    // Names match without regard to the case of ASCII letters, as the service does.
    const Driver* find(std::string_view name) const;
    DriverFacts facts(const Driver& driver, std::string_view shard) const;
    std::vector<Record> leaderboard(const LeaderboardAsk& ask) const;
    std::vector<DailyEvent> dailyEvents(std::string_view shard) const;

private:
    std::optional<std::string> recordDate(int periodType, std::string_view periodValue, Rng& rng) const;

    std::uint64_t m_seed;
    int m_recordsPerTrack;
    std::vector<Driver> m_drivers;
};

} // namespace sim
