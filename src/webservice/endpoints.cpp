#include "webservice/endpoints.h"

#include <QByteArray>

namespace racr {

namespace {

QString servicePath(const QString& base)
{
    // "http://host:port/" in the settings must not turn into a double slash before the path.
    QString root = base;
    while (root.endsWith(QLatin1Char('/')))
        root.chop(1);
    return root + QStringLiteral("/StatsAPI/ws/game/racr/");
}

// The driver's own path segment. A name of dots alone would be a dot segment ("." or ".."), which
// libcurl and servers resolve away, so the request would reach another resource; "%2E" is
// decoded back to a dot by the server but is no dot segment on the way.
QString driverSegment(const QString& name)
{
    if (!name.isEmpty() && name.count(QLatin1Char('.')) == name.size())
        return QString(name).replace(QLatin1Char('.'), QLatin1String("%2E"));
    return encodeUrlValue(name);
}

} // namespace

QString encodeUrlValue(const QString& value)
{
    // QByteArray keeps exactly the unreserved characters by default.
    return QString::fromLatin1(value.toUtf8().toPercentEncoding());
}

QString leaderboardsUrl(const QString& base, const LeaderboardQuery& query)
{
    return servicePath(base) + QStringLiteral("leaderboards?dn=") + encodeUrlValue(query.drivers)
           + QStringLiteral("&et=") + QString::number(query.eventType)
           + QStringLiteral("&lt=") + QString::number(query.periodType)
           + QStringLiteral("&eid=") + QString::number(query.eventId)
           + QStringLiteral("&rf=") + encodeUrlValue(query.periodValue)
           + QStringLiteral("&shard=") + encodeUrlValue(query.shard);
}

QString eventsUrl(const QString& base, const QString& shard)
{
    return servicePath(base) + QStringLiteral("leaderboards/events?shard=") + encodeUrlValue(shard);
}

QString serversStatusUrl(const QString& base)
{
    return servicePath(base) + QStringLiteral("servers/status");
}

QString driverUrl(const QString& base, DriverResource resource, const QString& name, const QString& shard)
{
    const QString driver = servicePath(base) + QStringLiteral("driver/") + driverSegment(name);
    const QString query = QStringLiteral("?shard=") + encodeUrlValue(shard);
    switch (resource) {
    case DriverResource::Profile:
        return driver + QStringLiteral("/profile") + query;
    case DriverResource::Profiles:
        return driver + QStringLiteral("/profiles") + query;
    case DriverResource::LastLogin:
        return driver + QStringLiteral("/lastLogin");
    case DriverResource::Stats:
        return driver + QStringLiteral("/stats") + query;
    case DriverResource::Cars:
        return driver + QStringLiteral("/cars") + query;
    }
    Q_UNREACHABLE();
}

} // namespace racr
