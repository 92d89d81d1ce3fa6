// A program start in a process of its own, held back until told to go, so that tests can make
// several starts of one folder at the same moment: connect_probe DSN DATABASE DRIVER.
// Prints "ready", waits for a line on standard input, opens the connection, stores one result of
// DRIVER and prints the number of tracks. An error goes to standard error with status 1.
#include "common/error.h"
#include "db/connection.h"
#include "db/writetransaction.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>

#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4)
        return 2;
    std::cout << "ready" << std::endl;
    std::string go;
    std::getline(std::cin, go);
    try {
        Connection connection(args.at(1), args.at(2));
        connection.open();
        racr::WriteTransaction transaction(connection.database(), QStringLiteral("Saving a result"));
        QSqlQuery query(connection.database());
        const bool prepared = query.prepare(
            QStringLiteral("INSERT INTO RACR (driver, car, date, trackid, multiplayer, besttime, shard)"
                           " VALUES (?, 'Audi R8', '2011-06-01  12:00:00', 10, 1, '95.230', 'APEX')"));
        query.bindValue(0, args.at(3));
        if (!prepared || !query.exec())
            throw racr::EngineError(query.lastError().text());
        transaction.commit();
        if (!query.exec(QStringLiteral("SELECT count(*) FROM TRACKLIST")) || !query.next())
            throw racr::EngineError(query.lastError().text());
        std::cout << query.value(0).toInt() << std::endl;
    } catch (const racr::Error& error) {
        std::cerr << error.message().toStdString() << std::endl;
        return 1;
    }
    return 0;
}
