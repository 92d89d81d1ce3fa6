#pragma once

#include <QSqlDatabase>

namespace schema {

// Creates RACR, DRIVERS and TRACKLIST (filled with the 90 tracks), their indexes and the saved
// queries weeklybest and driverstats in an empty SQLite database, in one transaction.
void create(QSqlDatabase& db);

} // namespace schema
