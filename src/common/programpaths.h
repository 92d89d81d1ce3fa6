#pragma once

#include <QString>

// The program folder: where racr.ini, connection.dsn, RACR.db and avatars/ live. It is the folder
// of the executable unless --home or RACR_HOME names another (tests, read-only installs).
class ProgramPaths {
public:
    static QString home();                       // always ends with '/'
    static void setHome(const QString& folder);  // empty: back to the default
    static QString file(const QString& name) { return home() + name; }
    // Creates the program folder, parents included, when it is missing (a --home or RACR_HOME
    // that names a new folder). Returns an empty text, or why the folder cannot be had.
    static QString makeHome();
};
