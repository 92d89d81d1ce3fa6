#pragma once

#include <QSqlDatabase>
#include <QString>

#include <vector>

class QSqlQuery;

// Which table column each column of a PostgreSQL result was read from, so that grid edits go
// back to it. Qt's driver leaves a forward-only result's tables unnamed, and names none of its
// columns behind an alias; the server's result says both.
namespace pg {

struct ColumnSource {
    unsigned table = 0;   // the table's oid; 0 for a column the statement computes
    int column = 0;       // the column's number in that table
};

// Read from the result of `query`, just after it ran and before its rows are fetched; empty
// when the query is not on a PostgreSQL connection.
std::vector<ColumnSource> columnSources(const QSqlQuery& query);

struct ColumnOrigin {
    QString table;    // as the catalogue names it; with its schema when that is not searched
    QString column;   // empty for a computed column
};

// The names behind the sources, looked up in the catalogue (once the result's rows are all
// read: the connection runs one statement at a time). Throws racr::ProviderError.
std::vector<ColumnOrigin> columnOrigins(const QSqlDatabase& db, const std::vector<ColumnSource>& sources);

} // namespace pg
