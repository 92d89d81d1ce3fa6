#pragma once

#include "db/rowsource.h"

#include <QSqlDatabase>

// A PostgreSQL statement's rows read straight from libpq in single-row mode, as the server
// sends them: the first rows show while the server is still working on the rest, where Qt's
// driver would hand over none before the last. The rows hold the connection until they are all
// read or dropped (RowSource::Pausing::HoldsConnection).
namespace pg {

// Null `rows` for a statement without a result (its count in `rowsAffected`). Throws
// racr::EngineError with the server's message and, where the server names one, the place of
// the fault in `sql`; racr::Cancelled when `wait` asked to stop before the first row.
rowsource::Opened openRows(const QSqlDatabase& db, const QString& sql, const QString& filter, rowsource::Want want,
                           const QString& messagePrefix, rowsource::WaitHandler wait);

} // namespace pg
