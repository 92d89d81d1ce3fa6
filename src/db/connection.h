#pragma once

#include <QObject>
#include <QSqlDatabase>
#include <QStringList>

// Which engine the one connection talks to. SQLite is the embedded default; ODBC is used when
// connection.dsn names a DRIVER; PostgreSQL when racr.ini's key "database" (or --database) names
// a server database, whatever connection.dsn says.
enum class Engine { Sqlite, Odbc, Postgres };

// The program's one database connection ("databaseConnection"). Catalogue operations on a closed
// connection connect first, and every successful connect raises afterConnect().
class Connection : public QObject {
    Q_OBJECT

public:
    // dsnPath: connection.dsn; databasePath: the embedded database file (created when missing).
    // racr.ini is read from the folder of connection.dsn, the program folder.
    Connection(const QString& dsnPath, const QString& databasePath, QObject* parent = nullptr);
    ~Connection() override;

    void open();                  // throws racr::ProviderError with the engine's own text
    bool isOpen() const;
    Engine engine() const { return m_engine; }
    QSqlDatabase database() const;
    // The server database in use, as the window names it ("PostgreSQL racr@db.example.org/club");
    // empty on the program folder's own database.
    QString serverName() const { return m_serverName; }

    QStringList tableNames();                      // entries of type TABLE, catalogue order
    QStringList viewNames();                       // entries of type VIEW
    QStringList fieldNames(const QString& table);  // column names in catalogue order

Q_SIGNALS:
    void afterConnect();

private:
    void ensureOpen();
    void openPostgres(const QString& uri);

    QString m_dsnPath;
    QString m_databasePath;
    QString m_connectionName;
    Engine m_engine = Engine::Sqlite;
    QString m_serverName;
};
