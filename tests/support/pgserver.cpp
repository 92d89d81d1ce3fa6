#include "pgserver.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUuid>

#include <stdexcept>

namespace pgtest {

namespace {

struct Cluster {
    QString socket;
    QString port;
    QString user;
};

Cluster cluster()
{
    QFile file(QStringLiteral(RACR_PG_CLUSTER_FILE));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("the tests' PostgreSQL server is not running (no " RACR_PG_CLUSTER_FILE
                                 "): run the tests through ctest, whose fixture pg_cluster_start starts it");
    Cluster found;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QString text = QString::fromUtf8(line);
        const QString value = text.section(QLatin1Char('='), 1);
        if (text.startsWith(QLatin1String("PGTEST_SOCKET=")))
            found.socket = value;
        else if (text.startsWith(QLatin1String("PGTEST_PORT=")))
            found.port = value;
        else if (text.startsWith(QLatin1String("PGTEST_USER=")))
            found.user = value;
    }
    return found;
}

} // namespace

QString newDatabase()
{
    const Cluster server = cluster();
    const QString name = QStringLiteral("t_") + QUuid::createUuid().toString(QUuid::Id128);
    const QString connection = QStringLiteral("pgtest-admin-") + name;
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
        admin.setHostName(server.socket);
        admin.setPort(server.port.toInt());
        admin.setUserName(server.user);
        admin.setDatabaseName(QStringLiteral("postgres"));
        if (!admin.open())
            throw std::runtime_error("cannot reach the tests' PostgreSQL server: " + admin.lastError().text().toStdString());
        QSqlQuery create(admin);
        if (!create.exec(QStringLiteral("CREATE DATABASE ") + name))
            throw std::runtime_error("cannot create a test database: " + create.lastError().text().toStdString());
    }
    QSqlDatabase::removeDatabase(connection);
    return QStringLiteral("postgresql://%1@%2:%3/%4")
        .arg(server.user, QString::fromUtf8(QUrl::toPercentEncoding(server.socket)), server.port, name);
}

} // namespace pgtest
