#pragma once

#include <QString>

class Connection;
class QSqlQuery;

// Runs one statement; a failure throws, with the statement and the engine's message.
void run(QSqlQuery& query, const QString& sql);

// The rows of the RACR table.
int resultCount(Connection& connection);

// What differs between the benchmarks' results: SQL expressions of x, the number of the result
// (or of the driver), so that each benchmark keeps the rows its figures were taken on.
struct ResultShape {
    QString seconds;    // of the result's date after 2021-01-01 00:00 UTC
    QString besttime;   // the result's best time as text
    QString carCount;   // the driver's car_count ("NULL" for none)
};

// A program folder whose RACR table holds `rows` results of the given shape: 2,500 drivers (2,000
// of them with a DRIVERS row and an avatar), the 90 tracks, both race types, both shards. The
// schema, indexes and statistics are the ones the program gives a new database.
void fillProgramFolder(const QString& folder, int rows, const ResultShape& shape);
