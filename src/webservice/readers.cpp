#include "webservice/readers.h"

#include "webservice/xmldocument.h"

namespace racr {

namespace {

// Reads the attributes of one element; the tag is fixed per reader.
class ElementReader {
public:
    ElementReader(const XmlDocument& doc, const char* tag, int index)
        : m_doc(doc), m_tag(QLatin1String(tag)), m_index(index) {}
    QString operator()(const char* name) const { return m_doc.attribute(m_tag, m_index, QLatin1String(name)); }

private:
    const XmlDocument& m_doc;
    QString m_tag;
    int m_index;
};

} // namespace

int leaderboardRecordCount(const XmlDocument& doc)
{
    return doc.count(QStringLiteral("worldLeaderboard"));
}

LeaderboardRecord readLeaderboardRecord(const XmlDocument& doc, int index)
{
    const ElementReader read(doc, "worldLeaderboard", index);
    return {read("personaName"),    read("eventId"),     read("make"),          read("carName"),
            read("createdDateStr"), read("createdDate"), read("eventDuration"), read("eventType")};
}

int dailyEventCount(const XmlDocument& doc)
{
    return doc.count(QStringLiteral("worldLeaderboardEvent"));
}

DailyEvent readDailyEvent(const XmlDocument& doc, int index)
{
    const ElementReader read(doc, "worldLeaderboardEvent", index);
    return {read("eventName"), read("eventModeName"), read("minTier"), read("maxTier")};
}

DriverProfile readProfile(const XmlDocument& doc)
{
    const ElementReader read(doc, "worldDriverProfile", 0);
    return {read("name"), read("level"), read("statusMessage"), read("image")};
}

int personaCount(const XmlDocument& doc)
{
    return doc.count(QStringLiteral("worldPersona"));
}

Persona readPersona(const XmlDocument& doc, int index)
{
    const ElementReader read(doc, "worldPersona", index);
    return {read("personaName"), read("level"), read("defaultPersona"), read("image"), read("statusMessage")};
}

QString readLastLogin(const XmlDocument& doc)
{
    return doc.text(QStringLiteral("lastLogin"), 0);
}

EventStats readEventStats(const XmlDocument& doc)
{
    const ElementReader read(doc, "worldEventStats", 0);
    return {read("totalRacesWon"),
            read("totalRacesLost"),
            read("averageFinishingPlace"),
            read("singlePlayerRacesWon"),
            read("singlePlayerRacesLost"),
            read("singlePlayerAverageFinishingPlace"),
            read("singlePlayerDnfCount"),
            read("singlePlayerTotalPlacing"),
            read("multiPlayerRacesWon"),
            read("multiPlayerRacesLost"),
            read("multiPlayerAverageFinishingPlace"),
            read("multiPlayerDnfCount"),
            read("multiPlayerTotalPlacing")};
}

StreakStats readStreakStats(const XmlDocument& doc)
{
    const ElementReader read(doc, "worldStreaksStats", 0);
    return {read("bestSinglePlayerWinStreak"), read("currentSinglePlayerWinStreak"),
            read("bestMultiPlayerWinStreak"), read("currentMultiPlayerWinStreak")};
}

int carCount(const XmlDocument& doc)
{
    return doc.count(QStringLiteral("worldCar"));
}

Car readCar(const XmlDocument& doc, int index)
{
    const ElementReader read(doc, "worldCar", index);
    return {read("make"), read("carName")};
}

PhysicsProfile readPhysicsProfile(const XmlDocument& doc, int index)
{
    const ElementReader read(doc, "physicsProfile", index);
    return {read("topSpeed"), read("acceleration"), read("handling"), read("rating"), read("carClass")};
}

} // namespace racr
