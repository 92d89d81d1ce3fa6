#include "app/error.h"
#include "db/connection.h"
#include "support/temphome.h"

#include <QFile>
#include <QSqlQuery>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

QString odbcDsn(const QString& databaseFile)
{
    return QStringLiteral("[ODBC]\nDRIVER=SQLite3\nDatabase=%1\n").arg(databaseFile);
}

int countRows(Connection& connection, const QString& sql)
{
    QSqlQuery query(connection.database());
    EXPECT_TRUE(query.exec(sql)) << sql.toStdString();
    return query.next() ? query.value(0).toInt() : -1;
}

} // namespace

TEST(Connection, FreshDatabaseIsCreatedWithSchemaTracksAndViews)
{
    TempHome home;
    Connection connection(home.file("connection.dsn"), home.file("RACR.db"));
    QSignalSpy connected(&connection, &Connection::afterConnect);
    const QStringList tables = connection.tableNames();   // connects first
    EXPECT_EQ(connected.count(), 1);
    EXPECT_EQ(connection.engine(), Engine::Sqlite);
    EXPECT_EQ(tables, (QStringList{"DRIVERS", "RACR", "TRACKLIST"}));
    EXPECT_EQ(connection.viewNames(), (QStringList{"weeklybest", "driverstats"}));
    EXPECT_EQ(countRows(connection, "select count(*) from TRACKLIST"), 90);
    EXPECT_EQ(countRows(connection, "select trackid from TRACKLIST where trackname='SPEED FAIR'"), 501);
    EXPECT_EQ(connection.fieldNames("TRACKLIST"), (QStringList{"trackid", "trackname"}));
    EXPECT_EQ(connection.fieldNames("RACR"),
              (QStringList{"id", "driver", "car", "date", "trackid", "multiplayer", "besttime", "shard"}));
    EXPECT_EQ(connection.fieldNames("DRIVERS").size(), 17);
}

TEST(Connection, DatabaseAssignsIdsAndRefusesDuplicateResultsAndDrivers)
{
    TempHome home;
    Connection connection(home.file("connection.dsn"), home.file("RACR.db"));
    connection.open();
    QSqlQuery query(connection.database());
    const QString insert = QStringLiteral(
        "INSERT INTO RACR (driver,car,[date],trackid,multiplayer,besttime,shard) "
        "VALUES ('kestrel','A B','2011-06-01  12:34:56',10,1,'95.230','APEX')");
    ASSERT_TRUE(query.exec(insert));
    EXPECT_FALSE(query.exec(insert));   // same six duplicate-check columns
    ASSERT_TRUE(query.exec("select id from RACR"));
    ASSERT_TRUE(query.next());
    EXPECT_GT(query.value(0).toInt(), 0);
    ASSERT_TRUE(query.exec("INSERT INTO DRIVERS (drivername) VALUES ('kestrel')"));
    EXPECT_FALSE(query.exec("INSERT INTO DRIVERS (drivername) VALUES ('kestrel')"));
}

TEST(Connection, SavedQueriesAnswerOnStoredResults)
{
    TempHome home;
    Connection connection(home.file("connection.dsn"), home.file("RACR.db"));
    connection.open();
    QSqlQuery query(connection.database());
    for (const char* values : {"('kestrel','c','d1',10,1,'95.2','APEX')", "('pilot000','c','d2',10,1,'94.1','APEX')",
                               "('kestrel','c','d3',10,2,'99.0','APEX')"})
        ASSERT_TRUE(query.exec(QStringLiteral("INSERT INTO RACR (driver,car,[date],trackid,multiplayer,besttime,shard) VALUES ")
                               + values));
    ASSERT_TRUE(query.exec("select trackname, Racetype, besttime, driver from weeklybest"));
    ASSERT_TRUE(query.next());
    EXPECT_EQ(query.value(0).toString(), "BAY BRIDGE");
    EXPECT_EQ(query.value(1).toString(), "MP");
    EXPECT_EQ(query.value(2).toString(), "94.1");
    EXPECT_EQ(query.value(3).toString(), "pilot000");
    ASSERT_TRUE(query.next());
    EXPECT_EQ(query.value(1).toString(), "SP");
    EXPECT_EQ(countRows(connection, "select count(*) from driverstats where driver='kestrel'"), 2);
}

TEST(Connection, ExistingFileIsOpenedAsItIs)
{
    TempHome home;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "prepare");
        db.setDatabaseName(home.file("RACR.db"));
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec("create table results (a integer)");
        db.close();
    }
    QSqlDatabase::removeDatabase("prepare");
    const QByteArray before = home.read("RACR.db");
    {
        Connection connection(home.file("connection.dsn"), home.file("RACR.db"));
        EXPECT_EQ(connection.tableNames(), QStringList{"results"});
        EXPECT_TRUE(connection.viewNames().isEmpty());
    }
    EXPECT_EQ(home.read("RACR.db"), before);
    EXPECT_FALSE(QFile::exists(home.file("RACR.db-wal")));
}

TEST(Connection, UnwritableFolderFailsWithTheEnginesTextAndLeavesNoFile)
{
    TempHome home;
    const QString missingFolder = home.file("no/such/folder/RACR.db");
    Connection connection(home.file("connection.dsn"), missingFolder);
    try {
        connection.open();
        FAIL() << "open succeeded";
    } catch (const racr::ProviderError& error) {
        EXPECT_TRUE(error.message().contains(missingFolder)) << error.message().toStdString();
    }
    EXPECT_FALSE(connection.isOpen());
    EXPECT_FALSE(QFile::exists(missingFolder));
}

TEST(Connection, DataSourceNamingADriverConnectsThroughOdbc)
{
    TempHome home;
    {
        // Prepare a file the way the embedded engine makes it, then reach it through ODBC.
        Connection prepare(home.file("none.dsn"), home.file("prepared.db"));
        prepare.open();
    }
    home.write("connection.dsn", odbcDsn(home.file("prepared.db")).toUtf8());
    Connection connection(home.file("connection.dsn"), home.file("RACR.db"));
    QSignalSpy connected(&connection, &Connection::afterConnect);
    connection.open();
    EXPECT_EQ(connection.engine(), Engine::Odbc);
    EXPECT_EQ(connected.count(), 1);
    EXPECT_EQ(connection.tableNames(), (QStringList{"DRIVERS", "RACR", "TRACKLIST"}));
    EXPECT_TRUE(connection.viewNames().contains("weeklybest"));
    EXPECT_EQ(connection.fieldNames("TRACKLIST"), (QStringList{"trackid", "trackname"}));
    EXPECT_EQ(countRows(connection, "select count(*) from TRACKLIST"), 90);
    EXPECT_FALSE(QFile::exists(home.file("RACR.db")));   // the embedded file is not made
}

TEST(Connection, UnknownOdbcDriverIsAProviderError)
{
    TempHome home;
    home.write("connection.dsn", "[ODBC]\nDRIVER=No Such Driver\nDBQ=x\n");
    Connection connection(home.file("connection.dsn"), home.file("RACR.db"));
    EXPECT_THROW(connection.open(), racr::ProviderError);
    EXPECT_FALSE(connection.isOpen());
}
