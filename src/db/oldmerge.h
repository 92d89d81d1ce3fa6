#pragma once

#include <QString>

#include <functional>

class QueryObject;

// An older database file of the same layout whose results and driver rows are merged into the
// current database. The copies run as the query object's own statements, so its open result is
// closed and the last copy stays its text.
//
// On SQLite the file is attached for the lifetime of this object, and each copy adds only rows
// the current database does not hold yet: the unique indexes on RACR's duplicate-check columns
// and on DRIVERS.drivername would otherwise refuse the whole copy at the first row already there.
// Over ODBC (Access) each statement names the file in an IN clause.
class OldDatabase {
public:
    // The file must exist (the open dialog sees to it): SQLite would create a missing one.
    // Throws racr::ProviderError when it cannot be attached.
    OldDatabase(QueryObject& dataSet, const QString& path);
    ~OldDatabase();
    OldDatabase(const OldDatabase&) = delete;
    OldDatabase& operator=(const OldDatabase&) = delete;

    // Each returns the number of rows added; the engine's refusal throws racr::ProviderError.
    int copyResults();   // RACR; the database assigns new ids
    int copyDrivers();   // DRIVERS

private:
    int copy(const QString& table, const QString& columns);

    QueryObject& m_dataSet;
    QString m_path;
    bool m_attached = false;
};

// The merge as the menu runs it: the results are copied and their count reported, the query
// object closed, then the driver rows copied and reported. Older files without driver data
// hold results only, so a failed driver copy is dropped and only the first report is made.
// A failure to open the file or to copy the results throws, and nothing is reported.
void mergeOldDatabase(QueryObject& dataSet, const QString& path, const std::function<void(const QString&)>& report);
