#pragma once

#include <QString>

// The program folder: where racr.ini, connection.dsn, RACR.db and avatars/ live. --home or
// RACR_HOME name any folder; without them it is the folder of the executable in a build tree or
// in a writable copy that holds racr.ini or RACR.db, else the user's data folder
// ($XDG_DATA_HOME/racr, normally ~/.local/share/racr).
class ProgramPaths {
public:
    static QString home();                       // always ends with '/'
    static void setHome(const QString& folder);  // empty: back to the default
    static QString file(const QString& name) { return home() + name; }
    // Creates the program folder, parents included, when it is missing (a --home or RACR_HOME
    // that names a new folder, the data folder at the first start). Returns an empty text, or why
    // the folder cannot be had.
    static QString makeHome();
};
