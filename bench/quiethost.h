#pragma once

#include "import/gauge.h"
#include "import/jobhost.h"
#include "import/leaderboardimport.h"

#include <QElapsedTimer>

// Runs an import job for a benchmark: no log, no window, never cancelled.
class QuietHost : public JobHost {
public:
    void logLine(const QString&) override {}
    void setGaugeMaximum(int maximum) override { m_gauge.setMaximum(maximum); }
    int gaugeMaximum() const override { return m_gauge.maximum(); }
    void setGaugePosition(int position) override { m_gauge.setPosition(position); }
    void stepGauge() override { m_gauge.stepIt(); }
    void processPendingEvents() override {}
    bool cancelRequested() const override { return false; }

private:
    GaugeModel m_gauge;
};

// One full leaderboard import with the benchmarks' inputs (shard APEX, two listed drivers,
// overall): the seconds it took and the records it stored.
struct ImportTiming {
    double seconds;
    int stored;
};

inline ImportTiming timedImport(const QString& base, OpenResult& query)
{
    ImportInputs inputs;
    inputs.serviceBase = base;
    inputs.shard = QStringLiteral("APEX");
    inputs.drivers = QStringLiteral("kestrel,pilot000");
    inputs.periodType = 2;
    inputs.periodValue = QStringLiteral("0");
    QuietHost host;
    LeaderboardImport job(inputs, query, host);
    QElapsedTimer clock;
    clock.start();
    job.run();
    return {double(clock.nsecsElapsed()) / 1e9, job.storedRecords()};
}
