#pragma once

#include <QSqlDatabase>

// The program's tables in a PostgreSQL database shared by several members.
namespace pgschema {

// Gives a database without RACR, DRIVERS and TRACKLIST the program's schema: the three tables
// (the 90 tracks filled in), the duplicate-check index, the saved queries weeklybest and
// driverstats as views, and the functions the program's statements use that PostgreSQL lacks
// (iif). All of it is one transaction under an advisory lock, so two first starts at the same
// moment create it once. A database that has the tables is used as it is, except that saved
// queries still as an earlier build wrote them get their current form. Throws
// racr::EngineError with the server's text.
void prepare(const QSqlDatabase& db);

// True when the saved query `name` is the view this build makes; false for a member's own, an
// earlier build's or none. Throws racr::EngineError when the server cannot tell (a session that
// may not make a temporary view).
bool hasCurrentView(const QSqlDatabase& db, const char* name);

} // namespace pgschema
