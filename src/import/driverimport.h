#pragma once

#include "import/jobhost.h"

class OpenResult;

// Fetches profile, statistics and cars of every name of the driver-name list and writes one row
// per driver into table DRIVERS: a new row, or an update of the row of the same name. One unit of
// work is one driver; a driver that fails is logged and skipped.
class DriverImport {
public:
    enum class Outcome { Finished, Cancelled };

    DriverImport(const ImportInputs& inputs, OpenResult& query, JobHost& host);

    // After the last name writes "<n> new driver(s).", "<n> updated driver(s).", the running time
    // and "Finished!"; a cancel ends the run after the driver in progress, without those lines.
    Outcome run();

    int failedDrivers() const { return m_failed; }

private:
    // Logs "<name>: <reason>" and fills the gauge; neither counter changes.
    void failDriver(const QString& listed, const QString& reason);

    ImportInputs m_inputs;
    OpenResult& m_query;
    JobHost& m_host;
    int m_new = 0;
    int m_updated = 0;
    int m_failed = 0;
};
