#pragma once

#include <QString>

namespace racr {

// The values of one leaderboards request; texts are sent as held, numbers in decimal.
struct LeaderboardQuery {
    QString drivers;     // dn: the driver-name list, commas and all
    int eventType;       // et: 1 multiplayer, 2 single player
    int periodType;      // lt: 1 overall, 2 daily, 3 weekly
    int eventId;         // eid: from the track table
    QString periodValue; // rf: "0" overall, days back or week number as typed
    QString shard;       // shard: "APEX", "CHICANE" or empty
};

enum class DriverResource { Profile, Profiles, LastLogin, Stats, Cars };

// Every address is the service base (settings key servicebase) followed by the service path.
QString leaderboardsUrl(const QString& base, const LeaderboardQuery& query);
QString eventsUrl(const QString& base, const QString& shard);
QString serversStatusUrl(const QString& base);
// The last login is asked without any query; the other resources carry ?shard=. The name stays
// one path segment: encoded as a query value, and a name of dots alone ("..") as %2E each.
QString driverUrl(const QString& base, DriverResource resource, const QString& name, const QString& shard);

// Percent-encodes every byte of the value's UTF-8 but the unreserved characters of RFC 3986
// (letters, digits, '-', '.', '_', '~'): a strict server or proxy refuses a '"', '<' or '\' left
// raw in a query, and every server decodes the others back, commas included, to the same value.
QString encodeUrlValue(const QString& value);

} // namespace racr
