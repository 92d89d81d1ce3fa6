#include "common/tracktable.h"

#include "common/trackrows.h"

namespace racr {

const QList<Track>& trackTable()
{
    static const QList<Track> table = [] {
        QList<Track> tracks;
        tracks.reserve(std::size(kTrackRows));
        for (const TrackRow& row : kTrackRows)
            tracks.append(Track{QString::fromLatin1(row.name), row.eventId});
        return tracks;
    }();
    return table;
}

} // namespace racr
