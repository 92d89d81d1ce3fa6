#pragma once

#include <QSqlDatabase>

namespace schema {

// True when the database holds nothing at all: a new or 0-byte file, or one whose first start was
// cut off before its tables were committed. Throws racr::ProviderError when the catalogue cannot be
// read (not a database, locked past the busy timeout).
bool isEmpty(const QSqlDatabase& db);

// Creates RACR, DRIVERS and TRACKLIST (filled with the 90 tracks), their indexes and the saved
// queries weeklybest and driverstats, inside the caller's write transaction.
void create(const QSqlDatabase& db);

} // namespace schema
