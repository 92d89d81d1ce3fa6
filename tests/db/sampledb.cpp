#include "sampledb.h"

#include "support/pgserver.h"

#include <QSqlError>

SampleDatabase::SampleDatabase(Engine engine)
{
    if (engine == Engine::Postgres)
        m_home.write("racr.ini", QStringLiteral("[settings]\ndatabase=%1\n").arg(pgtest::newDatabase()).toUtf8());
    {
        Connection prepare(m_home.file("none.dsn"), m_home.file("RACR.db"));
        prepare.open();
        QSqlQuery query(prepare.database());
        query.exec("SELECT trackid, trackname FROM TRACKLIST ORDER BY trackname LIMIT 2");
        query.next();
        const int a = query.value(0).toInt();
        m_trackA = query.value(1).toString();
        query.next();
        const int b = query.value(0).toInt();
        m_trackB = query.value(1).toString();
        const QString insert = QStringLiteral(
            "INSERT INTO RACR (driver, car, date, trackid, multiplayer, besttime, shard) VALUES ");
        const QStringList rows = {
            QStringLiteral("('kestrel', 'Ford GT', '2021-03-01  10:00:00', %1, 1, '70.500', 'APEX')").arg(a),
            QStringLiteral("('pilot000', 'Audi R8', '2021-03-02  11:00:00', %1, 2, '69.900', 'APEX')").arg(a),
            QStringLiteral("('ghost', 'Lotus Exige', '2021-03-03  12:00:00', %1, 1, '72.000', 'APEX')").arg(b),
            QStringLiteral("('kestrel', 'BMW M3', '2021-03-04  13:00:00', %1, 2, '68.250', 'APEX')").arg(b),
            QStringLiteral("('kestrel', 'Seat Leon', '2021-03-05  14:00:00', 999999, 1, '90.000', 'APEX')"),
        };
        for (const QString& row : rows)
            EXPECT_TRUE(query.exec(insert + row)) << query.lastError().text().toStdString();
        EXPECT_TRUE(query.exec("INSERT INTO DRIVERS (drivername, driverlevel, image) VALUES ('kestrel', 12, 3)"));
        EXPECT_TRUE(query.exec("INSERT INTO DRIVERS (drivername, driverlevel, image) VALUES ('pilot000', 5, 7)"));
    }
    if (engine == Engine::Odbc)
        m_home.write("connection.dsn",
                     QStringLiteral("[ODBC]\nDRIVER=SQLite3\nDatabase=%1\n").arg(m_home.file("RACR.db")).toUtf8());
    m_connection = std::make_unique<Connection>(m_home.file("connection.dsn"), m_home.file("RACR.db"));
    m_connection->open();
    EXPECT_EQ(m_connection->engine(), engine);
}

QVariant SampleDatabase::scalar(const QString& sql)
{
    QSqlQuery query(m_connection->database());
    EXPECT_TRUE(query.exec(sql)) << sql.toStdString() << ": " << query.lastError().text().toStdString();
    return query.next() ? query.value(0) : QVariant();
}

void SampleDatabase::exec(const QString& sql)
{
    QSqlQuery query(m_connection->database());
    EXPECT_TRUE(query.exec(sql)) << sql.toStdString() << ": " << query.lastError().text().toStdString();
}
