#pragma once

#include <QString>

namespace racr {

class XmlDocument;

// What the program reads from the service's answers. Every value is the attribute text exactly
// as delivered: nothing is trimmed or converted. A missing element or attribute throws
// ServiceError (XmlDocument says which).

// Leaderboards answer: one worldLeaderboard element per record.
struct LeaderboardRecord {
    QString personaName;
    QString eventId;
    QString make;
    QString carName;
    QString createdDateStr;
    QString createdDate;
    QString eventDuration;
    QString eventType;
};
int leaderboardRecordCount(const XmlDocument& doc);
LeaderboardRecord readLeaderboardRecord(const XmlDocument& doc, int index);

// Daily events answer: one worldLeaderboardEvent element per event.
struct DailyEvent {
    QString eventName;
    QString eventModeName;
    QString minTier;
    QString maxTier;
};
int dailyEventCount(const XmlDocument& doc);
DailyEvent readDailyEvent(const XmlDocument& doc, int index);

// Profile answer: the first worldDriverProfile element.
struct DriverProfile {
    QString name; // the service's own spelling of the driver's name
    QString level;
    QString statusMessage;
    QString image;
};
DriverProfile readProfile(const XmlDocument& doc);

// Profiles answer: one worldPersona element per persona of the account.
struct Persona {
    QString personaName;
    QString level;
    QString defaultPersona;
    QString image;
    QString statusMessage;
};
int personaCount(const XmlDocument& doc);
Persona readPersona(const XmlDocument& doc, int index);

// Last-login answer: the text of the first lastLogin element, like "2011-06-01T12:34:56Z".
QString readLastLogin(const XmlDocument& doc);

// Stats answer: the first worldEventStats and the first worldStreaksStats element.
struct EventStats {
    QString totalRacesWon;
    QString totalRacesLost;
    QString averageFinishingPlace;
    QString singlePlayerRacesWon;
    QString singlePlayerRacesLost;
    QString singlePlayerAverageFinishingPlace;
    QString singlePlayerDnfCount;
    QString singlePlayerTotalPlacing;
    QString multiPlayerRacesWon;
    QString multiPlayerRacesLost;
    QString multiPlayerAverageFinishingPlace;
    QString multiPlayerDnfCount;
    QString multiPlayerTotalPlacing;
};
EventStats readEventStats(const XmlDocument& doc);

struct StreakStats {
    QString bestSinglePlayerWinStreak;
    QString currentSinglePlayerWinStreak;
    QString bestMultiPlayerWinStreak;
    QString currentMultiPlayerWinStreak;
};
StreakStats readStreakStats(const XmlDocument& doc);

// Cars answer: one worldCar per owned car; the i-th physicsProfile of the document belongs to
// the i-th worldCar, by position and not by nesting.
struct Car {
    QString make;
    QString carName;
};
int carCount(const XmlDocument& doc);
Car readCar(const XmlDocument& doc, int index);

struct PhysicsProfile {
    QString topSpeed;
    QString acceleration;
    QString handling;
    QString rating;
    QString carClass; // "carclass_" followed by the class name
};
PhysicsProfile readPhysicsProfile(const XmlDocument& doc, int index);

} // namespace racr
