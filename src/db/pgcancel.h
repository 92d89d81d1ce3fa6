#pragma once

#include <QSqlDatabase>

struct pg_conn;   // libpq's PGconn

namespace pg {

// The libpq connection under Qt's PostgreSQL driver; null for any other connection.
pg_conn* nativeConnection(const QSqlDatabase& db);

// Asks the server to stop the statement now running on the connection (of `db`), from any
// thread (libpq's cancel request goes over a connection of its own). False when it is not a
// PostgreSQL connection or the request could not be sent; the statement then runs on.
bool cancelRunning(pg_conn* connection);
bool cancelRunning(const QSqlDatabase& db);

} // namespace pg
