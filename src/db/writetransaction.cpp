#include "db/writetransaction.h"

#include "common/error.h"
#include "db/pgconnect.h"
#include "db/sqlerrortext.h"

#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

namespace racr {

namespace {

bool isSqlite(const QSqlDatabase& db)
{
    return db.driverName() == QLatin1String("QSQLITE");
}

// The statement's own error, or the driver's when the statement could not even start.
QSqlError runStatement(QSqlDatabase& db, const char* sql)
{
    QSqlQuery query(db);
    return query.exec(QLatin1String(sql)) ? QSqlError() : query.lastError();
}

// SQLite's primary result code (extended codes carry it in their low byte); -1 when unknown.
int sqliteCode(const QSqlError& error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? code & 0xff : -1;
}

enum SqliteCode { Busy = 5, Locked = 6, NoMemory = 7, ReadOnly = 8, IoError = 10, Corrupt = 11, Full = 13,
                  CantOpen = 14, NotADatabase = 26 };

} // namespace

void throwWriteFailure(const QSqlDatabase& db, const QString& action, const QSqlError& error)
{
    // PostgreSQL: a lost connection (SQLSTATE class 08), a server shutting down (57P) or out of
    // disk or memory (53) fails every later unit of work alike.
    if (db.driverName() == QLatin1String("QPSQL")) {
        const QString state = error.nativeErrorCode();
        const bool wholeDatabase = state.startsWith(QLatin1String("08")) || state.startsWith(QLatin1String("57P"))
            || state.startsWith(QLatin1String("53")) || pg::connectionLost(db);
        if (wholeDatabase)
            throw StorageError(QStringLiteral("%1 failed on the PostgreSQL server %2: %3. Nothing more was written; "
                                              "check that the server runs and has room, then try again.")
                                   .arg(action, db.hostName().isEmpty() ? QStringLiteral("on this machine") : db.hostName(),
                                        sqlErrorText(error)));
    }
    if (!isSqlite(db))
        throw EngineError(QStringLiteral("%1 failed: %2").arg(action, sqlErrorText(error)));
    const QString file = QFileInfo(db.databaseName()).fileName();
    switch (sqliteCode(error)) {
    case Busy:
    case Locked:
        throw StorageError(QStringLiteral("%1 failed: %2 is locked by another program, which kept it for more than %3 "
                                          "seconds. Close the program that writes to it (or wait until it has "
                                          "finished), then try again.")
                               .arg(action, file)
                               .arg(kBusyTimeoutMs / 1000));
    case Corrupt:
    case NotADatabase:
        throw StorageError(QStringLiteral("%1 failed: %2 is damaged: %3. Nothing more was written; restore it from "
                                          "a copy, or rescue its rows with the sqlite3 shell's .recover command.")
                               .arg(action, file, sqlErrorText(error)));
    case NoMemory:
    case ReadOnly:
    case IoError:
    case Full:
    case CantOpen:
        throw StorageError(QStringLiteral("%1 failed: %2: %3").arg(action, file, sqlErrorText(error)));
    default:
        throw EngineError(QStringLiteral("%1 failed: %2").arg(action, sqlErrorText(error)));
    }
}

WriteTransaction::WriteTransaction(const QSqlDatabase& db, const QString& action) : m_db(db), m_action(action)
{
    if (isSqlite(m_db)) {
        const QSqlError error = runStatement(m_db, "BEGIN IMMEDIATE");
        if (error.isValid())
            throwWriteFailure(m_db, m_action, error);
        m_manual = true;
    } else if (!m_db.transaction()) {
        // A driver without transactions writes statement by statement; one that has them and
        // refuses is an error.
        if (m_db.driver()->hasFeature(QSqlDriver::Transactions))
            throwWriteFailure(m_db, m_action, m_db.lastError());
        return;
    }
    m_open = true;
}

WriteTransaction::~WriteTransaction()
{
    rollback();
}

void WriteTransaction::commit()
{
    if (!m_open)
        return;
    const QSqlError error = m_manual ? runStatement(m_db, "COMMIT") : (m_db.commit() ? QSqlError() : m_db.lastError());
    if (error.isValid()) {
        rollback();
        throwWriteFailure(m_db, m_action, error);
    }
    m_open = false;
}

void WriteTransaction::rollback() noexcept
{
    if (!m_open)
        return;
    m_open = false;
    if (m_manual)
        runStatement(m_db, "ROLLBACK");
    else
        m_db.rollback();
}

} // namespace racr
