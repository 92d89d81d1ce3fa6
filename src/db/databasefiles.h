#pragma once

#include <QString>

class Connection;

// The files SQLite keeps open for the connection: each attached database's file with its
// journal, WAL and shared-memory file. The program must not read or write them as anything else:
// closing any other descriptor of such a file drops every lock SQLite holds on it, and another
// program may then delete the WAL under the open connection.
namespace databasefiles {

// True when `path` (existing or not) is one of those files. A server database keeps none.
bool isOpenDatabaseFile(Connection& connection, const QString& path);

// Throws racr::Error naming the file when it is one of them; `use` says what was asked
// ("opened as an SQL script").
void refuseOpenDatabaseFile(Connection& connection, const QString& path, const QString& use);

} // namespace databasefiles
