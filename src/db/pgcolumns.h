#pragma once

#include <QSqlDatabase>
#include <QString>

#include <vector>

// Which table column each column of a PostgreSQL result was read from, so that grid edits go
// back to it: the server's result names each column's table and its place there (PQftable,
// PQftablecol), also behind an alias.
namespace pg {

struct ColumnSource {
    unsigned table = 0;   // the table's oid; 0 for a column the statement computes
    int column = 0;       // the column's number in that table
};

struct ColumnOrigin {
    QString table;    // as the catalogue names it; with its schema when that is not searched
    QString column;   // empty for a computed column
};

// The names behind the sources, looked up in the catalogue (once the result's rows are all
// read: the connection runs one statement at a time). Throws racr::EngineError.
std::vector<ColumnOrigin> columnOrigins(const QSqlDatabase& db, const std::vector<ColumnSource>& sources);

} // namespace pg
