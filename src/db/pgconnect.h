#pragma once

#include <QList>
#include <QPair>
#include <QSqlDatabase>
#include <QString>

typedef struct pg_conn PGconn;   // as libpq-fe.h names it

// The PostgreSQL database named by a connection URI, as libpq users write it:
// postgresql://[user[:password]@][host][:port][/dbname][?key=value&...]. What is left out is
// libpq's to fill in (PGHOST, PGUSER, ~/.pgpass, PGPASSWORD, ...), so the program never needs to
// hold a password itself.
namespace pg {

struct Target {
    QString host;       // a name, an address, or a socket folder ("/run/postgresql")
    int port = -1;      // -1: libpq's default
    QString database;
    QString user;
    QString password;   // only when the URI holds one
    QList<QPair<QString, QString>> options;   // libpq keywords: sslmode, connect_timeout, ...
};

// Throws racr::EngineError naming what is wrong with the URI.
Target parseUri(const QString& uri);

// Overwrites the passwords a URI holds (as the masked messages find them) with '*' in place, so
// that the argument vector the process list shows no longer holds them.
void blankSecrets(char* uri);

// How the window names the open database: "user@host:port/dbname" with the parts the URI gave;
// never the password.
QString displayName(const Target& target);

// Opens `db` (a QPSQL connection) on the target. A failure throws racr::EngineError saying
// whether the server could not be reached, the database is missing or the login was refused,
// with libpq's own text.
void open(QSqlDatabase& db, const Target& target);

// True when `db` is a PostgreSQL connection the server has closed (killed, restarted, the network
// gone): every later statement on it fails alike.
bool connectionLost(const QSqlDatabase& db);

} // namespace pg
