#pragma once

#include <QList>
#include <QString>

namespace racr {

struct Track {
    QString name;
    int eventId;
};

// The 90 tracks with their event ids; the viewer's track list and the import depend on this order.
const QList<Track>& trackTable();

} // namespace racr
