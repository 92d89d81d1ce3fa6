#include "leaderboarddocument.h"

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
