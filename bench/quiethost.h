#pragma once

#include "import/gauge.h"
#include "import/jobhost.h"

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
