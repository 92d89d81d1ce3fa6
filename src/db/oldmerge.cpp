#include "oldmerge.h"

#include "app/error.h"
#include "connection.h"
#include "queryobject.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace {

const QString schemaName = QStringLiteral("old");

// The engine's own words, or Qt's when the engine gave none.
QString failure(const QSqlQuery& query)
{
    const QString text = query.lastError().databaseText().trimmed();
    return text.isEmpty() ? query.lastError().text().trimmed() : text;
}

// Empty on success, else why the engine refused.
QString runBound(const QSqlDatabase& db, const QString& sql, const QVariantList& values)
{
    QSqlQuery query(db);
    if (!query.prepare(sql))
        return failure(query);
    for (qsizetype i = 0; i < values.size(); ++i)
        query.bindValue(int(i), values[i]);
    return query.exec() ? QString() : failure(query);
}

} // namespace

OldDatabase::OldDatabase(QueryObject& dataSet, const QString& path) : m_dataSet(dataSet), m_path(path)
{
    // Attaching a missing file would create an empty database in its place.
    if (!QFileInfo(path).isFile())
        throw racr::Error(QStringLiteral("Cannot open %1: there is no such file.").arg(QDir::toNativeSeparators(path)));
    Connection& connection = m_dataSet.connection();
    if (!connection.isOpen())
        connection.open();
    if (connection.engine() != Engine::Sqlite)
        return;
    const QString error = runBound(connection.database(), QStringLiteral("ATTACH DATABASE ? AS ") + schemaName, {path});
    if (!error.isEmpty())
        throw racr::ProviderError(QStringLiteral("Cannot open %1: %2").arg(QDir::toNativeSeparators(path), error));
    m_attached = true;
}

OldDatabase::~OldDatabase()
{
    if (!m_attached)
        return;
    // Nothing of the old file is in use by now; should the engine still refuse, the next merge
    // reports it when it attaches.
    runBound(m_dataSet.connection().database(), QStringLiteral("DETACH DATABASE ") + schemaName, {});
}

int OldDatabase::copyResults()
{
    return copy(QStringLiteral("RACR"), QStringLiteral("driver,car,[date],trackid,multiplayer,besttime,shard"));
}

int OldDatabase::copyDrivers()
{
    return copy(QStringLiteral("DRIVERS"),
                QStringLiteral("drivername,driverlevel,statusmessage,image,drivershard,tot_race_won,tot_race_lost,"
                               "tot_avg_place,sp_race_won,sp_race_lost,sp_avg_place,mp_race_won,mp_race_lost,"
                               "mp_avg_place,sp_bestwinstreak,mp_bestwinstreak,car_count"));
}

int OldDatabase::copy(const QString& table, const QString& columns)
{
    QString sql;
    if (m_attached) {
        sql = QStringLiteral("INSERT OR IGNORE INTO %1 (%2) SELECT %2 FROM %3.%1").arg(table, columns, schemaName);
    } else {
        // Access reads another file through IN; the path is a quoted literal there.
        QString literal = m_path;
        literal.replace(QLatin1Char('\''), QStringLiteral("''"));
        sql = QStringLiteral("INSERT INTO [%1] (%2) SELECT %2 FROM [%1] IN '%3'").arg(table, columns, literal);
    }
    m_dataSet.setText(sql);
    m_dataSet.execute();
    return m_dataSet.rowsAffected();
}

void mergeOldDatabase(QueryObject& dataSet, const QString& path, const std::function<void(const QString&)>& report)
{
    OldDatabase old(dataSet, path);
    report(QStringLiteral("Operation affected %1 row(s) in RACR table").arg(old.copyResults()));
    dataSet.close();
    int drivers = 0;
    try {
        drivers = old.copyDrivers();
    } catch (const racr::Error&) {
        return;
    }
    report(QStringLiteral("Operation affected %1 row(s) in DRIVERS table").arg(drivers));
}
