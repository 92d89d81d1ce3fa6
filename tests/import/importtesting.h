#pragma once

#include "db/connection.h"
#include "db/openresult.h"
#include "import/gauge.h"
#include "import/jobhost.h"
#include "support/pgserver.h"
#include "support/temphome.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QVariantList>
#include <functional>
#include <thread>
#include <gtest/gtest.h>

// Stands in for the progress window: keeps the log lines and the gauge, and asks a test whether
// to cancel after each unit of work.
class RecordingHost : public JobHost {
public:
    QStringList lines;
    GaugeModel gauge;
    int doneEvents = 0;
    int units = 0;                                        // calls of processPendingEvents
    std::function<bool(const RecordingHost&)> cancelWhen; // asked right after each unit

    void logLine(const QString& line) override { lines.append(line); }
    void setGaugeMaximum(int maximum) override { doneEvents += gauge.setMaximum(maximum); }
    int gaugeMaximum() const override { return gauge.maximum(); }
    void setGaugePosition(int position) override { doneEvents += gauge.setPosition(position); }
    void stepGauge() override { doneEvents += gauge.stepIt(); }
    void processPendingEvents() override { ++units; }
    bool cancelRequested() const override { return cancelWhen && cancelWhen(*this); }
};

// Another program writing to the database: holds the write lock of the file for `holdMs` from
// construction on, with a row of its own added, then commits. Returns once the lock is taken.
class WriteLockHolder {
public:
    WriteLockHolder(const QString& databasePath, int holdMs);
    ~WriteLockHolder();
    WriteLockHolder(const WriteLockHolder&) = delete;
    WriteLockHolder& operator=(const WriteLockHolder&) = delete;

private:
    std::thread m_thread;
};

// A fresh program folder with its embedded database (or a new database on the tests' PostgreSQL
// server, named in the folder's racr.ini), and the import's open result on it.
class ImportDatabase {
public:
    explicit ImportDatabase(Engine engine = Engine::Sqlite)
        : connection(home.file("connection.dsn"), home.file("RACR.db")), query(connection, kImportMessageName)
    {
        if (engine == Engine::Postgres)
            home.write("racr.ini", QStringLiteral("[settings]\ndatabase=%1\n").arg(pgtest::newDatabase()).toUtf8());
        connection.open();
    }

    // The rows of a statement, each as a list of its values.
    QList<QVariantList> rows(const QString& sql, const QVariantList& bound = {})
    {
        QSqlQuery q(connection.database());
        EXPECT_TRUE(q.prepare(sql)) << q.lastError().text().toStdString();
        for (int i = 0; i < bound.size(); ++i)
            q.bindValue(i, bound.at(i));
        EXPECT_TRUE(q.exec()) << q.lastError().text().toStdString();
        QList<QVariantList> result;
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < q.record().count(); ++i)
                row.append(q.value(i));
            result.append(row);
        }
        return result;
    }
    int count(const QString& table)
    {
        return rows(QStringLiteral("select count(*) from ") + table).value(0).value(0).toInt();
    }
    void exec(const QString& sql)
    {
        QSqlQuery q(connection.database());
        ASSERT_TRUE(q.exec(sql)) << q.lastError().text().toStdString();
    }

    TempHome home;
    Connection connection;
    OpenResult query;
};
