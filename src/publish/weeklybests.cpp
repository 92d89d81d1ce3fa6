#include "weeklybests.h"

#include <algorithm>
#include <tuple>

namespace publish {

namespace {

QString text(const QVariant& value)
{
    return value.isNull() ? QString() : value.toString();
}

} // namespace

quint64 WeeklyBests::key(int trackId, bool multiplayer, int group)
{
    return (quint64(quint32(trackId)) << 32) | (quint64(quint32(group)) << 1) | (multiplayer ? 1 : 0);
}

// ORDER BY besttime IS NULL, the time as a number, date, id. Dates compare as their bytes, as
// SQLite does; a PostgreSQL collation orders dates of one form the same way.
bool comesFirst(const WeeklyBests::Result& a, const WeeklyBests::Result& b, bool nullDateFirst)
{
    if (a.hasTime != b.hasTime)
        return a.hasTime;
    if (a.hasTime && a.number != b.number)
        return a.number < b.number;
    if (a.hasDate != b.hasDate)
        return a.hasDate != nullDateFirst;
    if (a.hasDate) {
        const QByteArray dateA = a.date.toUtf8();
        const QByteArray dateB = b.date.toUtf8();
        if (dateA != dateB)
            return dateA < dateB;
    }
    return a.id < b.id;
}

QString WeeklyBests::shared(const QString& name)
{
    return *m_names.insert(name);
}

void WeeklyBests::add(Result&& result, const QVariant& day)
{
    int dayId = 0;
    if (!day.isNull()) {
        const QString dayText = day.toString();
        auto known = m_dayIds.find(dayText);
        if (known == m_dayIds.end()) {
            known = m_dayIds.insert(dayText, int(m_days.size()));
            m_days.push_back(day);
        }
        dayId = *known;
    }
    const auto [at, added] = m_bestPerDay.try_emplace(key(result.trackId, result.multiplayer, dayId));
    if (added || comesFirst(result, at->second, m_nullDateFirst)) {
        result.driver = shared(result.driver);
        result.car = shared(result.car);
        at->second = std::move(result);
    }
}

std::vector<QStringList> WeeklyBests::rows(const std::function<Week(const QVariant& day)>& weekOf,
                                           const std::vector<std::pair<int, QString>>& trackOrder) const
{
    // Each day's week: days of one week share its Thursday, the view's partition.
    std::vector<int> weekOfDay(m_days.size(), 0);
    std::vector<QVariant> weekNames{QVariant()};   // 0: no week
    QHash<QString, int> weekByThursday;
    for (std::size_t d = 1; d < m_days.size(); ++d) {
        const Week week = weekOf(m_days[d]);
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
                        result.besttime, result.driver, result.car, result.date, text(weekNames[row.weekIndex])});
    }
    return rows;
}

} // namespace publish
