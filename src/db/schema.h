#pragma once

#include <QSqlDatabase>
#include <QStringList>

namespace schema {

// True when the database holds nothing at all: a new or 0-byte file, or one whose first start was
// cut off before its tables were committed. Throws racr::EngineError when the catalogue cannot be
// read (not a database, locked past the busy timeout).
bool isEmpty(const QSqlDatabase& db);

// True when RACR, DRIVERS and TRACKLIST all exist.
bool hasProgramTables(const QSqlDatabase& db);

// What a file made by an older program or another one lacks of the layout the program's
// statements use ("the table TRACKLIST", "the column RACR.id"); empty for the program's own.
QStringList layoutGaps(const QSqlDatabase& db);

// Creates RACR, DRIVERS and TRACKLIST (filled with the 90 tracks), their indexes and the saved
// queries weeklybest and driverstats, inside the caller's write transaction.
void create(const QSqlDatabase& db);

// Fills TRACKLIST with the 90 tracks, on any engine. Throws racr::EngineError.
void insertTracks(const QSqlDatabase& db);

// True when a saved query still has the text an earlier build wrote, word for word.
bool hasOutdatedViews(const QSqlDatabase& db);

// True when the saved query `name` has exactly the text this build writes; false for a user's own
// text, an earlier build's or none. Throws racr::EngineError when the catalogue cannot be read.
bool hasCurrentView(const QSqlDatabase& db, const char* name);

// True when the indexes that serve the workbench's first statement are still those an earlier
// build wrote, with which the engine sorts each track's results, and the current ones can replace
// them: not in a file whose track names repeat.
bool canUpgradeOrderIndexes(const QSqlDatabase& db);

// Replaces them by the current ones, inside the caller's write transaction. About two seconds per
// million results.
void upgradeOrderIndexes(const QSqlDatabase& db);

// Replaces each saved query whose text is exactly what an earlier build wrote by its current
// form, inside the caller's write transaction. A view of the same name with any other text is the
// user's own and stays as it is.
void upgradeViews(const QSqlDatabase& db);

} // namespace schema
