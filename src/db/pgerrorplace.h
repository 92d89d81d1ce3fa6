#pragma once

#include <QSqlDatabase>
#include <QString>

namespace pg {

// Where the server finds the fault in `sql`, which it has just refused on the connection of `db`:
// an index into `sql` (UTF-16 units), or -1 when the server names no place (a fault found only
// while running) or `db` is not a PostgreSQL connection. Qt's driver drops the server's place
// with the failed result, so the text is parsed once more without being run.
qsizetype faultPosition(const QSqlDatabase& db, const QString& sql);

} // namespace pg
