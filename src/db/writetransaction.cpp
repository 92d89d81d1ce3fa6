#include "db/writetransaction.h"

#include "app/error.h"

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

} // namespace

bool isLockError(const QSqlError& error)
{
    // SQLITE_BUSY (5) and SQLITE_LOCKED (6), also as extended codes (5 + 256 * n).
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    if (ok && ((code & 0xff) == 5 || (code & 0xff) == 6))
        return true;
    return error.databaseText().contains(QLatin1String("database is locked"), Qt::CaseInsensitive);
}

QString writeFailure(const QSqlDatabase& db, const QString& action, const QSqlError& error)
{
    if (isSqlite(db) && isLockError(error)) {
        const QString file = QFileInfo(db.databaseName()).fileName();
        return QStringLiteral("%1 failed: %2 is locked by another program, which kept it for more than %3 seconds. "
                              "Close the program that writes to it (or wait until it has finished), then try again.")
            .arg(action, file)
            .arg(kBusyTimeoutMs / 1000);
    }
    return QStringLiteral("%1 failed: %2").arg(action, error.text());
}

WriteTransaction::WriteTransaction(const QSqlDatabase& db, const QString& action) : m_db(db), m_action(action)
{
    if (isSqlite(m_db)) {
        const QSqlError error = runStatement(m_db, "BEGIN IMMEDIATE");
        if (error.isValid())
            throw ProviderError(writeFailure(m_db, m_action, error));
        m_manual = true;
    } else if (!m_db.transaction()) {
        // A driver without transactions writes statement by statement; one that has them and
        // refuses is an error.
        if (m_db.driver()->hasFeature(QSqlDriver::Transactions))
            throw ProviderError(writeFailure(m_db, m_action, m_db.lastError()));
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
        throw ProviderError(writeFailure(m_db, m_action, error));
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
