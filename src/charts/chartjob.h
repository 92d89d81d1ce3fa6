#pragma once

#include "charts/chartdata.h"

#include <QElapsedTimer>
#include <QObject>
#include <QThreadPool>
#include <memory>

class OpenResult;

// Makes one chart of the open result without holding up the window. The rows are read on the
// result's own thread, a block at a time between turns of the event loop; a worker thread turns
// each block into points, then sorts and thins the series. Only copies of values cross to the
// worker, so a result changed or closed meanwhile cannot be read half-way. Deleting the job
// stops it; the worker's block under way ends first.
class ChartJob : public QObject {
    Q_OBJECT

public:
    // `columns` and `mostSeries` as chartdata::Builder::finish() takes them.
    ChartJob(OpenResult& result, const chartdata::Request& request, const QList<int>& choiceFields, int columns,
             int mostSeries, QObject* parent = nullptr);
    ~ChartJob() override;

    // Starts reading. A small result is charted before this returns; `finished` is sent either way.
    void start();
    // Stops making the chart: nothing more is read or sent. The job may then be deleted later
    // (it may be sending `finished` just now).
    void stop();
    bool isRunning() const { return m_running; }

    // A result of at most this many rows is charted at once, in one go.
    static constexpr int rowsAtOnce = 20000;

Q_SIGNALS:
    void finished(const chartdata::Chart& chart, const QList<QStringList>& choices);

private:
    struct Shared;
    void readBlock();
    void deliver(const chartdata::Chart& chart, const QList<QStringList>& choices);

    OpenResult& m_result;
    std::shared_ptr<Shared> m_shared;
    int m_columns;
    int m_mostSeries;
    int m_next = 0;          // the next row to read
    int m_rows = 0;          // rows of the result when the job started
    bool m_running = false;
    QThreadPool m_worker;    // one thread, so the blocks are built in the order read
};
