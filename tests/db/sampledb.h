#pragma once

#include "db/connection.h"
#include "support/temphome.h"

#include <QSqlQuery>
#include <QString>
#include <gtest/gtest.h>
#include <memory>

// A program folder whose database holds a few known results, opened on the engine under test:
// the embedded SQLite file, the same file through the SQLite ODBC driver, or a new database on
// the tests' PostgreSQL server (named in the folder's racr.ini).
//
// RACR (id: driver, car, track, multiplayer, besttime):
//   1: kestrel,  "Ford GT",    track A, 1, 70.500
//   2: pilot000, "Audi R8",    track A, 2, 69.900
//   3: ghost,    "Lotus Exige", track B, 1, 72.000   (no DRIVERS row)
//   4: kestrel,  "BMW M3",     track B, 2, 68.250
//   5: kestrel,  "Seat Leon",  no track: left out by the default statement
// DRIVERS: kestrel (level 12, image 3), pilot000 (level 5, image 7)
class SampleDatabase {
public:
    explicit SampleDatabase(Engine engine);

    Connection& connection() { return *m_connection; }
    TempHome& home() { return m_home; }
    QString trackA() const { return m_trackA; }   // names of the two tracks used
    QString trackB() const { return m_trackB; }

    // The first column of the first row of a statement run beside the program's own objects.
    QVariant scalar(const QString& sql);
    int count(const QString& sql) { return scalar(sql).toInt(); }
    void exec(const QString& sql);

private:
    TempHome m_home;
    std::unique_ptr<Connection> m_connection;
    QString m_trackA;
    QString m_trackB;
};

inline std::string engineName(const ::testing::TestParamInfo<Engine>& info)
{
    switch (info.param) {
    case Engine::Sqlite: return "Sqlite";
    case Engine::Odbc: return "Odbc";
    case Engine::Postgres: return "Postgres";
    }
    return "Unknown";
}
