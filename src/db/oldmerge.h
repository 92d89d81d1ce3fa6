#pragma once

#include <QString>

#include <functional>

class OpenResult;

// The merge of an older database file of the same layout into the current database, as the menu
// and `racr merge` run it: the results are copied and their count reported, the open result
// closed, then the driver rows copied and reported. "Operation affected N row(s) in RACR table"
// and "... in DRIVERS table" count the rows really added.
//
// The old file is read through a connection of its own and the rows are written through the
// current one with bound values, so the current database may be of any engine. An SQLite file
// (the program's own kind) is read by SQLite, read-only; any other file, when the current
// database is reached over ODBC, through the current ODBC driver pointed at that file (an Access
// driver reads an Access file); with another engine it is refused.
//
// A row is added only when the current table holds none that matches it on the duplicate-check
// columns, a NULL matching a NULL (the unique indexes take NULLs as distinct): RACR's driver,
// shard, trackid, date, multiplayer and besttime; DRIVERS' drivername, so a driver already present
// keeps the current values. Each table is copied in one write transaction: a failure leaves that
// table as it was.
//
// A missing file, one that cannot be read, or a failed copy of the results throws racr::Error and
// nothing is reported. Older files without driver data hold results only: a missing DRIVERS table
// gives the first report alone, while any other failure of the driver copy throws after the first
// report. The open result ends closed, with the statement of the last copy as its text.
void mergeOldDatabase(OpenResult& openResult, const QString& path, const std::function<void(const QString&)>& report);
