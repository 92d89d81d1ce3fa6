#pragma once

#include <QSqlDatabase>

struct pg_conn;   // libpq's PGconn

namespace pg {

// The libpq connection under Qt's PostgreSQL driver; null for any other connection.
pg_conn* nativeConnection(const QSqlDatabase& db);

// Asks the server to stop the statement now running on the connection, from any thread
// (libpq's cancel request goes over a connection of its own). False when the request could not
// be sent; the statement then runs on.
bool cancelRunning(pg_conn* connection);

} // namespace pg
