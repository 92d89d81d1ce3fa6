#include "population.h"

#include "common/trackrows.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace sim {

namespace {

std::string lowerAscii(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : char(c); });
    return lower;
}

template <typename... Args>
std::string format(const char* pattern, Args... args)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, args...);
    return buffer;
}

std::optional<int> decimal(std::string_view text)
{
    if (text.empty() || text.size() > 6 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stoi(std::string(text));
}

// The names real players pick, with every character that has ever broken an address, a file
// name or a statement; each with a status message of the same kind.
const Driver kNamedDrivers[] = {
    {"KESTREL", "Don't brake: it's a \"race\" & I'm #1 on 2 shards", false},
    {"O'Malley", "Catch me if you can't", false},
    {"The \"Ghost\"", "Seen at 3:00 a.m. on \"Route 55\"", false},
    {"Fast & Loose", "Fuel & tyres: 100% + nitro", false},
    {"#1 Racer", "#1 since day one; ask anyone?", false},
    {"Night: Rider", "Ride: all night, sleep: never", false},
    {"Jürgen Größ", "Über alles: Geschwindigkeit", false},
    {"Zoë Núñez", "¡Vámonos! À bientôt", false},
    {"Łukasz Żółw", "Żółw też jedzie szybko", false},
    {"東京ドリフト", "速い車が好きです", false},
    {"Ask?Me 100%+/-", "Slash / plus + percent % hash # amp &", false},
    {"Bartholomew Maximilian Fitzgerald-Worthington the Third Honorary Member of the Grand Northern Racing League",
     "My name is longer than my best lap", false},
    {"NoWheels", "Cars: sold them all, I'll be back", true},
    {"Walker", "", true},
};

struct CarModel {
    const char* make;
    const char* carName;
};

const CarModel kCarModels[] = {
    {"Aurelia", "Stradale"},   {"Brennan", "Devil's Run"}, {"Castellan", "GT 500"}, {"Dorado", "O'Hara Special"},
    {"Everett", "Nightline"},  {"Falk", "Roadster S"},     {"Garnet", "Kid's Dream"}, {"Halden", "Sprint 8"},
    {"Ivory", "Coupé Sport"},  {"Jubilee", "V12"},
};

std::string carClassFor(int rating)
{
    const char* letter = rating < 250 ? "e" : rating < 400 ? "d" : rating < 500 ? "c" : rating < 600 ? "b" : rating < 750 ? "a" : "s";
    return std::string("carclass_") + letter;
}

std::string ratingText(Rng& rng)
{
    return format("%d.%d", rng.between(3, 9), rng.below(10));
}

std::string dateText(std::chrono::sys_days day)
{
    const std::chrono::year_month_day ymd(day);
    return format("%04d-%02u-%02u", int(ymd.year()), unsigned(ymd.month()), unsigned(ymd.day()));
}

std::string averagePlace(Rng& rng)
{
    return format("%d.%02d", rng.between(1, 7), rng.below(100));
}

// The service's "today": a fixed day keeps every answer the same from one run to the next.
constexpr std::chrono::sys_days kToday = std::chrono::sys_days(std::chrono::year(2011) / 6 / 30);

} // namespace

std::uint64_t Rng::next()
{
    std::uint64_t z = (m_state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

Rng rngFor(std::uint64_t seed, std::initializer_list<std::string_view> parts)
{
    std::uint64_t hash = 0xcbf29ce484222325ULL ^ seed;
    for (std::string_view part : parts) {
        for (unsigned char c : part)
            hash = (hash ^ c) * 0x100000001b3ULL;
        hash = (hash ^ 0x1f) * 0x100000001b3ULL;
    }
    return Rng(hash);
}

Population::Population(std::uint64_t seed, int generatedDrivers, int recordsPerTrack)
    : m_seed(seed), m_recordsPerTrack(recordsPerTrack)
{
    m_drivers.assign(std::begin(kNamedDrivers), std::end(kNamedDrivers));
    for (int i = 0; i < generatedDrivers; ++i) {
        Rng rng = rngFor(seed, {"pilot", std::to_string(i)});
        static const char* const moods[] = {"Racing since 2009", "Looking for a crew: PM me", "Don't tailgate",
                                            "Top 10 or bust", "Back from a break", ""};
        // Every tenth pilot, counting from 7, has sold all its cars.
        m_drivers.push_back({format("PILOT%03d", i), moods[rng.below(6)], i % 10 == 7});
    }
}

const Driver* Population::find(std::string_view name) const
{
    const std::string wanted = lowerAscii(name);
    for (const Driver& driver : m_drivers)
        if (lowerAscii(driver.name) == wanted)
            return &driver;
    return nullptr;
}

DriverFacts Population::facts(const Driver& driver, std::string_view shard) const
{
    Rng rng = rngFor(m_seed, {"driver", driver.name, shard});
    DriverFacts facts;
    facts.level = rng.between(1, 70);
    facts.image = rng.between(1, kAvatarCount);

    facts.personas.push_back({driver.name, facts.level, true, facts.image, driver.statusMessage});
    for (int extra = rng.below(3); extra > 0; --extra)
        facts.personas.push_back({driver.name + "_" + std::to_string(extra), rng.between(1, 70), false,
                                  rng.between(1, kAvatarCount), "second garage"});

    const auto login = kToday - std::chrono::days(rng.below(60));
    facts.lastLogin = dateText(login) + format("T%02d:%02d:%02dZ", rng.below(24), rng.below(60), rng.below(60));

    const int spWon = rng.below(400), spLost = rng.below(400), mpWon = rng.below(900), mpLost = rng.below(900);
    facts.eventStats = {
        {"totalRacesWon", std::to_string(spWon + mpWon)},
        {"totalRacesLost", std::to_string(spLost + mpLost)},
        {"averageFinishingPlace", averagePlace(rng)},
        {"singlePlayerRacesWon", std::to_string(spWon)},
        {"singlePlayerRacesLost", std::to_string(spLost)},
        {"singlePlayerAverageFinishingPlace", averagePlace(rng)},
        {"singlePlayerDnfCount", std::to_string(rng.below(50))},
        {"singlePlayerTotalPlacing", std::to_string(rng.below(5000))},
        {"multiPlayerRacesWon", std::to_string(mpWon)},
        {"multiPlayerRacesLost", std::to_string(mpLost)},
        {"multiPlayerAverageFinishingPlace", averagePlace(rng)},
        {"multiPlayerDnfCount", std::to_string(rng.below(80))},
        {"multiPlayerTotalPlacing", std::to_string(rng.below(9000))},
    };
    const int spBest = rng.between(0, 40), mpBest = rng.between(0, 40);
    facts.streaksStats = {
        {"bestSinglePlayerWinStreak", std::to_string(spBest)},
        {"currentSinglePlayerWinStreak", std::to_string(rng.between(0, spBest))},
        {"bestMultiPlayerWinStreak", std::to_string(mpBest)},
        {"currentMultiPlayerWinStreak", std::to_string(rng.between(0, mpBest))},
    };

    if (!driver.carless) {
        for (int n = rng.between(1, 6); n > 0; --n) {
            const CarModel& model = kCarModels[rng.below(int(std::size(kCarModels)))];
            const int rating = rng.between(150, 999);
            // The Jubilee is a one-off whose class the service spells without the usual prefix.
            const std::string carClass = std::string_view(model.make) == "Jubilee" ? "Unique" : carClassFor(rating);
            facts.cars.push_back({model.make, model.carName, ratingText(rng), ratingText(rng), ratingText(rng), rating, carClass});
        }
    }
    return facts;
}

std::optional<std::string> Population::recordDate(int periodType, std::string_view periodValue, Rng& rng) const
{
    using namespace std::chrono;
    switch (periodType) {
    case 1: // overall: any day of the season so far
        return dateText(kToday - days(rng.below(180)));
    case 2: // daily: rf days before today
        if (const auto back = decimal(periodValue); back && *back <= 6)
            return dateText(kToday - days(*back));
        return std::nullopt;
    case 3: // weekly: a day of ISO week rf; week 1 of 2011 begins on Monday 3 January
        if (const auto week = decimal(periodValue); week && *week >= 1 && *week <= 53)
            return dateText(sys_days(year(2011) / 1 / 3) + days(7 * (*week - 1) + rng.below(7)));
        return std::nullopt;
    }
    return std::nullopt;
}

std::vector<Record> Population::leaderboard(const LeaderboardAsk& ask) const
{
    std::vector<Record> records;
    const auto eventType = decimal(ask.eventType), periodType = decimal(ask.periodType), eventId = decimal(ask.eventId);
    if (!eventType || !periodType || !eventId || (*eventType != 1 && *eventType != 2) || *eventId == kEmptyTrack)
        return records;
    if (std::none_of(std::begin(racr::kTrackRows), std::end(racr::kTrackRows),
                     [&](const racr::TrackRow& row) { return row.eventId == *eventId; }))
        return records;

    // The listed drivers the service knows, each once, in the order listed.
    std::vector<const Driver*> listed;
    for (std::size_t start = 0; start <= ask.drivers.size();) {
        const std::size_t comma = std::min(ask.drivers.find(',', start), ask.drivers.size());
        const Driver* driver = find(std::string_view(ask.drivers).substr(start, comma - start));
        if (driver && std::find(listed.begin(), listed.end(), driver) == listed.end())
            listed.push_back(driver);
        start = comma + 1;
    }
    if (listed.empty())
        return records;

    // An overall board does not depend on rf; daily and weekly boards do.
    const std::string period = *periodType == 1 ? std::string("overall") : ask.periodType + "/" + ask.periodValue;
    const int baseMs = (60 + (*eventId * 37) % 240) * 1000;
    auto makeRecord = [&](const Driver& driver, int slot) -> std::optional<Record> {
        Rng rng = rngFor(m_seed, {"record", driver.name, ask.eventId, ask.eventType, period, ask.shard, std::to_string(slot)});
        const auto date = recordDate(*periodType, ask.periodValue, rng);
        if (!date)
            return std::nullopt;
        const DriverFacts owner = facts(driver, ask.shard);
        const OwnedCar car = owner.cars.empty() ? OwnedCar{kCarModels[0].make, kCarModels[0].carName, {}, {}, {}, 0, {}}
                                                : owner.cars[std::size_t(rng.below(int(owner.cars.size())))];
        const std::string time = format("T%02d:%02d:%02d", rng.below(24), rng.below(60), rng.below(60));
        return Record{driver.name, *eventId, car.make, car.carName, *date, *date + time,
                      baseMs + rng.below(30'000), *eventType};
    };

    if (m_recordsPerTrack > 0) {
        for (int i = 0; i < m_recordsPerTrack; ++i)
            if (auto record = makeRecord(*listed[std::size_t(i) % listed.size()], i))
                records.push_back(std::move(*record));
    } else {
        // Without a fixed count a driver has driven a given board a bit more often than not.
        for (const Driver* driver : listed)
            if (rngFor(m_seed, {"driven", driver->name, ask.eventId, ask.eventType, period, ask.shard}).below(100) < 60)
                if (auto record = makeRecord(*driver, 0))
                    records.push_back(std::move(*record));
    }
    std::stable_sort(records.begin(), records.end(), [](const Record& a, const Record& b) { return a.durationMs < b.durationMs; });
    if (*eventId == kDuplicateTrack && !records.empty())
        records.insert(records.begin() + 1, records.front());
    return records;
}

std::vector<DailyEvent> Population::dailyEvents(std::string_view shard) const
{
    // One event of each class letter, one open to all classes and one that fits no class.
    const std::pair<int, int> tiers[] = {{0, 249}, {250, 399}, {400, 499}, {500, 599}, {600, 749}, {750, 999}, {0, 999}, {100, 300}};
    static const char* const modes[] = {"Circuit", "Sprint", "Drag", "Speedtrap"};
    Rng rng = rngFor(m_seed, {"events", shard});
    std::vector<int> tracks(std::size(racr::kTrackRows));
    for (std::size_t i = 0; i < tracks.size(); ++i)
        tracks[i] = int(i);
    std::vector<DailyEvent> events;
    for (const auto& [minTier, maxTier] : tiers) {
        // Draw without putting back, so no track appears twice on one day.
        std::swap(tracks[events.size()], tracks[events.size() + std::size_t(rng.below(int(tracks.size() - events.size())))]);
        events.push_back({racr::kTrackRows[tracks[events.size()]].name, modes[rng.below(4)], minTier, maxTier});
    }
    return events;
}

} // namespace sim
