#include "db/asynccommits.h"

#include "db/pgconnect.h"
#include "db/writetransaction.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

AsyncCommits::AsyncCommits(const QSqlDatabase& db) : m_db(db)
{
    if (m_db.driverName() != QLatin1String("QPSQL"))
        return;
    // Only speed depends on it: a server that refuses keeps its setting. A lost connection ends
    // the import here, with the server's words, as its first write would.
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("SELECT current_setting('synchronous_commit')")) || !query.next()) {
        if (pg::connectionLost(m_db))
            racr::throwWriteFailure(m_db, QStringLiteral("Starting the import"), query.lastError());
        return;
    }
    const QString before = query.value(0).toString();
    if (query.exec(QStringLiteral("SET synchronous_commit = off")))
        m_before = before;
}

AsyncCommits::~AsyncCommits()
{
    if (m_before.isEmpty())
        return;
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT set_config('synchronous_commit', ?, false)"));
    query.addBindValue(m_before);
    query.exec();
}
