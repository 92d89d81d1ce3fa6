#include "importtesting.h"

#include <QSqlDatabase>
#include <QUuid>
#include <future>

WriteLockHolder::WriteLockHolder(const QString& databasePath, int holdMs)
{
    std::promise<void> locked;
    std::future<void> taken = locked.get_future();
    m_thread = std::thread([databasePath, holdMs, locked = std::move(locked)]() mutable {
        const QString name = QUuid::createUuid().toString();
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(databasePath);
            QSqlQuery query(db);
            const bool ok = db.open() && query.exec(QStringLiteral("BEGIN IMMEDIATE"))
                            && query.exec(QStringLiteral("INSERT INTO DRIVERS (drivername) VALUES ('holder')"));
            locked.set_value();
            if (!ok) {
                ADD_FAILURE() << "the lock was not taken: " << query.lastError().text().toStdString();
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
                EXPECT_TRUE(query.exec(QStringLiteral("COMMIT")));
            }
        }
        QSqlDatabase::removeDatabase(name);
    });
    taken.wait();
}

WriteLockHolder::~WriteLockHolder()
{
    m_thread.join();
}
