#pragma once

#include <string>
#include <vector>

// Answers a test writes for the fake service: leaderboard records in shapes the simulator never
// sends.
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
