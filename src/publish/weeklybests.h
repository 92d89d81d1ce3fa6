#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace publish {

// The rows of the saved query weeklybest, worked out in one pass over the results: the view sorts
// the whole table once more, which took most of a publish of a large database. Each result is
// compared as the view orders them (a time before none, the smaller number, the earlier date, the
// smaller id) against the best of its track, race type and day; the days are then folded into the
// weeks the database gives them, and the rows come out in the view's order.
class WeeklyBests {
public:
    // nullDateFirst: the engine sorts a missing date before any other (SQLite) or after (PostgreSQL).
    explicit WeeklyBests(bool nullDateFirst) : m_nullDateFirst(nullDateFirst) {}

    // One result as read; its texts (UTF-8) need to last only for the call that is given it.
    struct ResultView {
        int trackId = 0;
        bool multiplayer = false;
        bool hasTime = false;   // besttime is not NULL
        bool hasDate = false;
        double number = 0;      // the time as the view compares it
        qint64 id = 0;
        std::string_view besttime;   // as stored; empty for NULL, as the page shows it
        std::string_view date;
        std::string_view driver;
        std::string_view car;
    };
    // A result kept, with its own copies of the texts: only the few that are best at some point.
    struct Result {
        Result() = default;
        explicit Result(const ResultView& view);
        int trackId = 0;
        bool multiplayer = false;
        bool hasTime = false;
        bool hasDate = false;
        double number = 0;
        qint64 id = 0;
        std::string besttime;
        std::string date;
        std::string driver;
        std::string car;
    };
    // day: the number the caller gave the result's day (its date's first ten characters, as the
    // database cut them); 0 for a result without a date.
    void add(const ResultView& result, int day);

    // The week of a day as the view names it, and the day that stands for the week (its Thursday);
    // both null for a text that is no date.
    struct Week {
        QVariant thursday;
        QVariant name;
    };
    // days: the text of each day number (days[0] unused). trackOrder: the tracks in the order the
    // database sorts their names, with those names.
    std::vector<QStringList> rows(const std::vector<QString>& days, const std::function<Week(const QString& day)>& weekOf,
                                  const std::vector<std::pair<int, QString>>& trackOrder) const;

private:
    static quint64 key(int trackId, bool multiplayer, int group);

    bool m_nullDateFirst;
    std::unordered_map<quint64, Result> m_bestPerDay;
};

// The view's order of two results: a time before none, the smaller number, the earlier date (a
// missing one first when nullDateFirst; dates compare as their bytes, as SQLite does, and a
// PostgreSQL collation orders dates of one form the same way), the smaller id.
template <typename A, typename B>
bool comesFirst(const A& a, const B& b, bool nullDateFirst)
{
    if (a.hasTime != b.hasTime)
        return a.hasTime;
    if (a.hasTime && a.number != b.number)
        return a.number < b.number;
    if (a.hasDate != b.hasDate)
        return a.hasDate != nullDateFirst;
    if (a.hasDate) {
        const std::string_view dateA = a.date, dateB = b.date;
        if (dateA != dateB)
            return dateA < dateB;
    }
    return a.id < b.id;
}

} // namespace publish
