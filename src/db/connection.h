#pragma once

#include <QObject>
#include <QSqlDatabase>
#include <QStringList>

#include <functional>
#include <memory>

// Which engine the one connection talks to. SQLite is the embedded default; ODBC is used when
// connection.dsn names a DRIVER; PostgreSQL when racr.ini's key "database" (or --database) names
// a server database, whatever connection.dsn says.
enum class Engine { Sqlite, Odbc, Postgres };

// The program's one database connection ("databaseConnection"). Catalogue operations on a closed
// connection connect first, and every successful connect raises connected().
class Connection : public QObject {
    Q_OBJECT

public:
    // dsnPath: connection.dsn; databasePath: the embedded database file (created when missing).
    // racr.ini is read from the folder of connection.dsn, the program folder.
    Connection(const QString& dsnPath, const QString& databasePath, QObject* parent = nullptr);
    ~Connection() override;

    void open();                  // throws racr::EngineError with the engine's own text
    bool isOpen() const;
    Engine engine() const { return m_engine; }
    // Settles a hold (see hold()) before handing the connection over.
    QSqlDatabase database() const;

    // A result still arriving on a server connection holds it: the server runs nothing else
    // until its last row is read. Whoever uses the connection next (database(), open()) first
    // has `finish` read the rest or drop it; `finish` ends the hold by dropping the returned
    // object, and one that cannot (a read under way) throws, so nothing runs in its middle. A
    // connection that closes for good has `drop` give the rest up instead.
    class Hold {
    public:
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        friend class Connection;
        Hold(const Connection& connection, quint64 id) : m_connection(connection), m_id(id) {}
        const Connection& m_connection;
        quint64 m_id;
    };
    [[nodiscard]] std::unique_ptr<Hold> hold(std::function<void()> finish, std::function<void()> drop);
    // The server database in use, as the window names it ("PostgreSQL racr@db.example.org/club");
    // empty on the program folder's own database.
    QString serverName() const { return m_serverName; }

    // For a database file made by an older program or another one (see schema::layoutGaps): what
    // it lacks and how to bring its results in, to follow the engine's "no such table" or "no such
    // column" when a statement fails on it. Empty for the program's own layout and on a server.
    QString layoutNote() const { return m_layoutNote; }

    QStringList tableNames();                      // entries of type TABLE, catalogue order
    QStringList viewNames();                       // entries of type VIEW
    QStringList fieldNames(const QString& table);  // column names in catalogue order

Q_SIGNALS:
    void connected();

private:
    void ensureOpen();
    void openPostgres(const QString& uri);
    void settleHold() const;

    QString m_dsnPath;
    QString m_databasePath;
    QString m_connectionName;
    Engine m_engine = Engine::Sqlite;
    QString m_serverName;
    QString m_layoutNote;
    // The hold of a result still arriving; settled from database(), which callers see as const.
    mutable std::function<void()> m_finishHold;
    mutable std::function<void()> m_dropHold;
    mutable quint64 m_holdId = 0;
    mutable bool m_settling = false;
};
