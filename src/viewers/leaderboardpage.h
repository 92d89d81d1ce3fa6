#pragma once

#include <QList>
#include <QPair>
#include <QString>

namespace racr {

class XmlDocument;

// What the leaderboard window's controls say at the moment a track is picked.
struct LeaderboardChoice {
    int trackIndex;      // position in the track list, which is the track table's order
    QString trackName;   // the name as the list shows it
    int eventType;       // 1 multiplayer, 2 single player
    int periodType;      // 1 overall, 2 daily, 3 weekly
    QString periodValue; // "0" overall, else the day or week edit's text as typed
};

using ElementAttributes = QList<QPair<QString, QString>>;

struct LeaderboardRequest {
    QString url;
    // The "track" element added to the answer: the page's headings come from it.
    ElementAttributes track;
};

LeaderboardRequest leaderboardRequest(const QString& serviceBase, const QString& drivers, const QString& shard,
                                      const LeaderboardChoice& choice);

// Adds the track element under the answer's root and makes the page. Throws ServiceError when
// the answer is not an XML document.
QString leaderboardPage(XmlDocument& answer, const ElementAttributes& track);

} // namespace racr
