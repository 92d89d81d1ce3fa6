#pragma once

#include <QObject>
#include <QSqlDatabase>
#include <QStringList>

// Which engine the one connection talks to. SQLite is the embedded default; ODBC is used when
// connection.dsn names a DRIVER.
enum class Engine { Sqlite, Odbc };

// The program's one database connection ("ADOConnection1"). Catalogue operations on a closed
// connection connect first, and every successful connect raises afterConnect().
class Connection : public QObject {
    Q_OBJECT

public:
    // dsnPath: connection.dsn; databasePath: the embedded database file (created when missing).
    Connection(const QString& dsnPath, const QString& databasePath, QObject* parent = nullptr);
    ~Connection() override;

    void open();                  // throws racr::ProviderError with the engine's own text
    bool isOpen() const;
    Engine engine() const { return m_engine; }
    QSqlDatabase database() const;

    QStringList tableNames();                      // entries of type TABLE, catalogue order
    QStringList viewNames();                       // entries of type VIEW
    QStringList fieldNames(const QString& table);  // column names in catalogue order

Q_SIGNALS:
    void afterConnect();

private:
    void ensureOpen();

    QString m_dsnPath;
    QString m_databasePath;
    QString m_connectionName;
    Engine m_engine = Engine::Sqlite;
};
