#pragma once

#include "webservice/parallelfetch.h"

#include <QString>
#include <atomic>
#include <functional>

// What an import job needs from whoever runs it: the progress window, the command line or a test.
// The job calls these between its units of work (one track, one driver).
class JobHost {
public:
    virtual ~JobHost() = default;

    virtual void logLine(const QString& line) = 0;

    virtual void setGaugeMaximum(int maximum) = 0;
    virtual int gaugeMaximum() const = 0;
    virtual void setGaugePosition(int position) = 0;
    virtual void stepGauge() = 0;

    // Lets a window repaint and take a close request; called once after every unit of work.
    virtual void processPendingEvents() = 0;
    // True once the user asked the job to stop; read right after processPendingEvents().
    virtual bool cancelRequested() const = 0;

    // Runs one blocking wait for the service's answer. A window keeps painting meanwhile and takes
    // a close request.
    virtual void runRequest(const std::function<void()>& request) { request(); }

    // Raised together with the cancel flag: the request in progress is aborted at once
    // (HttpRequest::setAbortFlag) and the job ends as after a cancel. Null: never raised.
    virtual const std::atomic<bool>* abortFlag() const { return nullptr; }
};

// The values a job is started with, read from the main window or the command line.
struct ImportInputs {
    QString serviceBase;
    QString shard;                           // "APEX", "CHICANE" or empty
    QString drivers;                         // the driver-name list exactly as typed
    int periodType = 1;                      // lt: 1 overall, 2 daily, 3 weekly
    QString periodValue = QStringLiteral("0"); // rf: "0" overall, days back or week number as typed
    int parallel = racr::ParallelFetch::kDefaultParallel;   // requests under way at once (key parallel)
};
