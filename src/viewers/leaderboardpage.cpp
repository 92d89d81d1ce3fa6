#include "viewers/leaderboardpage.h"

#include "viewers/pagetexts.h"
#include "webservice/endpoints.h"
#include "common/tracktable.h"
#include "webservice/xmldocument.h"
#include "webservice/xslstylesheet.h"

namespace racr {

namespace {

QString periodHeading(int periodType, const QString& periodValue)
{
    switch (periodType) {
    case 1:
        return QStringLiteral("Overall");
    case 2:
        return QStringLiteral("Daily -  today minus ") + periodValue + QStringLiteral(" day(s)");
    default:
        return QStringLiteral("Weekly - week: ") + periodValue;
    }
}

const XslStylesheet& leaderboardStylesheet()
{
    static const XslStylesheet stylesheet(leaderboardStylesheetText());
    return stylesheet;
}

} // namespace

LeaderboardRequest leaderboardRequest(const QString& serviceBase, const QString& drivers, const QString& shard,
                                      const LeaderboardChoice& choice)
{
    LeaderboardQuery query;
    query.drivers = drivers;
    query.eventType = choice.eventType;
    query.periodType = choice.periodType;
    query.eventId = trackTable().at(choice.trackIndex).eventId;
    query.periodValue = choice.periodValue;
    query.shard = shard;

    LeaderboardRequest request;
    request.url = leaderboardsUrl(serviceBase, query);
    request.track = {
        {QStringLiteral("name"), choice.trackName},
        {QStringLiteral("mode"), choice.eventType == 1 ? QStringLiteral("MultiPlayer") : QStringLiteral("SinglePlayer")},
        {QStringLiteral("type"), periodHeading(choice.periodType, choice.periodValue)},
    };
    return request;
}

QString leaderboardPage(XmlDocument& answer, const ElementAttributes& track)
{
    answer.appendToRoot(QStringLiteral("track"), track);
    return leaderboardStylesheet().transform(answer);
}

} // namespace racr
