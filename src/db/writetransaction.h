#pragma once

#include <QSqlDatabase>
#include <QString>

class QSqlError;

namespace racr {

// One unit of work that writes (a track's records, a driver, a merge, a grid edit). On SQLite it
// takes the write lock when it begins (BEGIN IMMEDIATE): a deferred transaction that has read
// cannot wait for another writer and fails at once, while an immediate one waits the
// connection's busy timeout. Other engines use their own transaction. Rolls back when destroyed
// without commit().
class WriteTransaction {
public:
    // `action` names the unit in messages ("Saving the records of a track"). Throws
    // racr::EngineError when the database cannot be locked in time or refuses.
    WriteTransaction(const QSqlDatabase& db, const QString& action);
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

    // Throws racr::EngineError when the commit fails; the unit's writes are then undone.
    void commit();
    void rollback() noexcept;

private:
    QSqlDatabase m_db;
    QString m_action;
    bool m_open = false;
    bool m_manual = false;   // begun with a statement of our own rather than the driver's call
};

// How long an SQLite connection waits for another program's lock before a statement fails.
inline constexpr int kBusyTimeoutMs = 10'000;

// Throws "<action> failed: <why>". A lock held by another program is said in words a user can
// act on, naming the database file; any other error carries the engine's own text. A failure of
// the database as a whole (locked, damaged, full, read-only; on PostgreSQL a lost connection or a
// server that is shutting down or out of space) is a racr::StorageError, which no later unit of
// work can escape; anything else a racr::EngineError.
[[noreturn]] void throwWriteFailure(const QSqlDatabase& db, const QString& action, const QSqlError& error);

} // namespace racr
