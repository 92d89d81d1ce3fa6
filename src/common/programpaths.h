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
    // The program folder's own files, named here once.
    static inline const QString kSettingsName = QStringLiteral("racr.ini");
    static inline const QString kDataSourceName = QStringLiteral("connection.dsn");
    static inline const QString kDatabaseName = QStringLiteral("RACR.db");
    static inline const QString kHistoryName = QStringLiteral("sqlhistory.json");
    static QString settingsFile() { return file(kSettingsName); }
    static QString dataSourceFile() { return file(kDataSourceName); }
    static QString databaseFile() { return file(kDatabaseName); }
    static QString historyFile() { return file(kHistoryName); }
    // Creates the program folder, parents included, when it is missing (a --home or RACR_HOME
    // that names a new folder, the data folder at the first start). Returns an empty text, or why
    // the folder cannot be had.
    static QString makeHome();
};
