#pragma once

#include <QSqlDatabase>

namespace pg {

// Asks the server to stop the statement now running on the connection of `db`, from any thread
// (libpq's cancel request goes over a connection of its own). False when `db` is not a
// PostgreSQL connection or the request could not be sent; the statement then runs on.
bool cancelRunning(const QSqlDatabase& db);

} // namespace pg
