#pragma once

#include <QList>
#include <QPair>
#include <QString>

// The values the main window keeps between runs, in section "settings" of racr.ini.
struct UserSettings {
    QString drivers = QStringLiteral("kestrel,pilot000");
    QString driverName = QStringLiteral("PILOT000");
    QString shard = QStringLiteral("APEX");
    // The height of the main window's area under the grid, which the user sets by dragging the
    // splitter between them; 0 keeps the designed height. Key "gridsplit", written only once it
    // differs from the designed height or the file holds it.
    int gridSplit = 0;
};

// Only regular files are read or written: a FIFO, a device or a folder of the same name counts as
// a file that cannot be read or written, so it never holds the start.
namespace settings {

// The service base when racr.ini does not name one: the simulator's default address.
inline const QString defaultServiceBase = QStringLiteral("http://127.0.0.1:8680");

// Reads the keys; a missing or unreadable file, section or key keeps the given value.
// Values are cut at 2047 characters, as the profile API the file format comes from does.
UserSettings read(const QString& iniPath, const UserSettings& defaults);

// Writes the keys in place (or appends them in the order drivers, drivername, shard, gridsplit).
// Returns false when the file cannot be written; nothing else is reported.
bool write(const QString& iniPath, const UserSettings& values);

// The service base: the one given on the command line (--service-base), else key "servicebase" of
// section "settings", else the default; without a trailing slash.
QString serviceBase(const QString& iniPath);
void setServiceBaseOverride(const QString& base);

// The PostgreSQL database to use instead of connection.dsn: the one given on the command line
// (--database), else key "database" of section "settings"; empty when neither names one. The
// program only reads the key: a password in it stays where the user put it.
QString databaseUri(const QString& iniPath);
void setDatabaseOverride(const QString& uri);

// Key "parallel" of section "settings": how many requests an import keeps under way at once, from
// 1 to `maximum`; `fallback` when the key is missing or not a whole number.
int parallelRequests(const QString& iniPath, int fallback, int maximum);

// Points key DBQ of section ODBC at the database file. False when the file cannot be written.
bool writeDataSourcePath(const QString& dsnPath, const QString& databasePath);

// The keys of section ODBC of the data-source file, in file order ("DRIVER", "Database", ...).
QList<QPair<QString, QString>> dataSourceKeys(const QString& dsnPath);

// The position of a shard name in the shard list ("APEX", "CHICANE"), matched without regard
// to case; -1 when the name is not in the list.
int shardIndex(const QString& name);

} // namespace settings
