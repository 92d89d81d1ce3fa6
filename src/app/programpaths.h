#pragma once

#include <QString>

// The program folder: where racr.ini, connection.dsn, RACR.db and avatars/ live. It is the folder
// of the executable unless --home or RACR_HOME names another (tests, read-only installs).
class ProgramPaths {
public:
    static QString home();                       // always ends with '/'
    static void setHome(const QString& folder);  // empty: back to the default
    static QString file(const QString& name) { return home() + name; }
};
