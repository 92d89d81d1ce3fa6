#include "publish/weeklybests.h"

#include <QHash>

#include <algorithm>
#include <tuple>

namespace publish {

namespace {

QString text(const QVariant& value)
{
    return value.isNull() ? QString() : value.toString();
}

QString text(const std::string& utf8)
{
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

} // namespace

WeeklyBests::Result::Result(const ResultView& view)
    : trackId(view.trackId), multiplayer(view.multiplayer), hasTime(view.hasTime), hasDate(view.hasDate),
      number(view.number), id(view.id), besttime(view.besttime), date(view.date), driver(view.driver), car(view.car)
{
}

quint64 WeeklyBests::key(int trackId, bool multiplayer, int group)
{
    return (quint64(quint32(trackId)) << 32) | (quint64(quint32(group)) << 1) | (multiplayer ? 1 : 0);
}

void WeeklyBests::add(const ResultView& result, int day)
{
    const auto [at, added] = m_bestPerDay.try_emplace(key(result.trackId, result.multiplayer, day));
    if (added || comesFirst(result, at->second, m_nullDateFirst))
        at->second = Result(result);
}

std::vector<QStringList> WeeklyBests::rows(const std::vector<QString>& days,
                                           const std::function<Week(const QString& day)>& weekOf,
                                           const std::vector<std::pair<int, QString>>& trackOrder) const
{
    // Each day's week: days of one week share its Thursday, the view's partition.
    std::vector<int> weekOfDay(days.size(), 0);
    std::vector<QVariant> weekNames{QVariant()};   // 0: no week
    QHash<QString, int> weekByThursday;
    for (std::size_t d = 1; d < days.size(); ++d) {
        const Week week = weekOf(days[d]);
        if (week.thursday.isNull())
            continue;
        auto known = weekByThursday.find(week.thursday.toString());
        if (known == weekByThursday.end()) {
            known = weekByThursday.insert(week.thursday.toString(), int(weekNames.size()));
            weekNames.push_back(week.name);
        }
        weekOfDay[d] = *known;
    }

    std::unordered_map<quint64, const Result*> bestPerWeek;
    for (const auto& [dayKey, result] : m_bestPerDay) {
        const int week = weekOfDay[(dayKey & 0xffffffffu) >> 1];
        const auto [at, added] = bestPerWeek.try_emplace(key(result.trackId, result.multiplayer, week), &result);
        if (!added && comesFirst(result, *at->second, m_nullDateFirst))
            at->second = &result;
    }

    // ORDER BY trackname, Racetype, week IS NULL, week
    QHash<int, int> trackPlace;
    for (std::size_t t = 0; t < trackOrder.size(); ++t)
        trackPlace.insert(trackOrder[t].first, int(t));
    struct Row {
        int trackPlace;
        bool singlePlayer;
        bool noWeek;
        QByteArray week;
        const Result* result;
        int weekIndex;
    };
    std::vector<Row> ordered;
    ordered.reserve(bestPerWeek.size());
    for (const auto& [weekKey, result] : bestPerWeek) {
        const int week = int((weekKey & 0xffffffffu) >> 1);
        ordered.push_back(Row{trackPlace.value(result->trackId), !result->multiplayer, week == 0,
                              text(weekNames[week]).toUtf8(), result, week});
    }
    std::sort(ordered.begin(), ordered.end(), [](const Row& a, const Row& b) {
        return std::tie(a.trackPlace, a.singlePlayer, a.noWeek, a.week)
            < std::tie(b.trackPlace, b.singlePlayer, b.noWeek, b.week);
    });

    std::vector<QStringList> rows;
    rows.reserve(ordered.size());
    for (const Row& row : ordered) {
        const Result& result = *row.result;
        rows.push_back({trackOrder[row.trackPlace].second, result.multiplayer ? QStringLiteral("MP") : QStringLiteral("SP"),
                        text(result.besttime), text(result.driver), text(result.car), text(result.date),
                        text(weekNames[row.weekIndex])});
    }
    return rows;
}

} // namespace publish
