#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
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

    // One result; day is the date's first ten characters, as the database cut them.
    struct Result {
        int trackId = 0;
        bool multiplayer = false;
        bool hasTime = false;   // besttime is not NULL
        bool hasDate = false;
        double number = 0;      // the time as the view compares it
        qint64 id = 0;
        QString besttime;       // as stored; empty for NULL, as the page shows it
        QString date;
        QString driver;
        QString car;
    };
    void add(Result&& result, const QVariant& day);

    // The week of a day as the view names it, and the day that stands for the week (its Thursday);
    // both null for a text that is no date.
    struct Week {
        QVariant thursday;
        QVariant name;
    };
    // trackOrder: the tracks in the order the database sorts their names, with those names.
    std::vector<QStringList> rows(const std::function<Week(const QVariant& day)>& weekOf,
                                  const std::vector<std::pair<int, QString>>& trackOrder) const;

private:
    static quint64 key(int trackId, bool multiplayer, int group);
    QString shared(const QString& name);

    bool m_nullDateFirst;

    QHash<QString, int> m_dayIds;     // 0 stands for a missing day
    std::vector<QVariant> m_days{QVariant()};
    QSet<QString> m_names;            // one copy of each driver's and car's name
    std::unordered_map<quint64, Result> m_bestPerDay;
};

// The view's order of two results: a time before none, the smaller number, the earlier date (a
// missing one first when nullDateFirst), the smaller id.
bool comesFirst(const WeeklyBests::Result& a, const WeeklyBests::Result& b, bool nullDateFirst);

} // namespace publish
