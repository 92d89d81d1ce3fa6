#include "charts/chartjob.h"

#include "db/openresult.h"

#include <QTimer>
#include <atomic>

// What the worker uses: the builder, and whether to go on.
struct ChartJob::Shared {
    Shared(const QStringList& fields, const chartdata::Request& request, const QList<int>& choiceFields)
        : builder(fields, request, choiceFields)
    {
    }
    chartdata::Builder builder;   // only the worker's thread touches it once reading has begun
    std::atomic<bool> stopped{false};
    std::atomic<int> queued{0};   // blocks handed to the worker and not yet built
};

namespace {
// A block of reading takes about this long before the event loop comes round again.
constexpr qint64 sliceMs = 10;
// Blocks read ahead of the worker at most: bounds the copies held in between.
constexpr int mostQueued = 3;
constexpr int blockRows = 4096;
} // namespace

ChartJob::ChartJob(OpenResult& result, const chartdata::Request& request, const QList<int>& choiceFields,
                   int columns, int mostSeries, QObject* parent)
    : QObject(parent),
      m_result(result),
      m_shared(std::make_shared<Shared>(result.fieldNames(), request, choiceFields)),
      m_columns(columns),
      m_mostSeries(mostSeries)
{
    m_worker.setMaxThreadCount(1);
}

ChartJob::~ChartJob()
{
    m_shared->stopped = true;
    m_worker.clear();
    m_worker.waitForDone();
}

void ChartJob::start()
{
    m_running = true;
    m_rows = m_result.isOpen() ? m_result.recordCount() : 0;
    if (m_rows > rowsAtOnce) {
        readBlock();
        return;
    }
    // Small: read and build here and now, the chart is there at once.
    QList<QVariant> cells;
    const QList<int>& fields = m_shared->builder.fieldsRead();
    cells.reserve(qsizetype(m_rows) * fields.size());
    for (int row = 0; row < m_rows; ++row)
        for (const int field : fields)
            cells.append(m_result.valueAt(row, field));
    m_shared->builder.add(cells);
    deliver(m_shared->builder.finish(m_columns, m_mostSeries), m_shared->builder.choices());
}

void ChartJob::stop()
{
    m_shared->stopped = true;
    m_running = false;
    disconnect(this, &ChartJob::finished, nullptr, nullptr);
}

void ChartJob::readBlock()
{
    if (m_shared->stopped)
        return;
    if (m_shared->queued >= mostQueued) {
        QTimer::singleShot(1, this, &ChartJob::readBlock);   // the worker catches up
        return;
    }
    QElapsedTimer slice;
    slice.start();
    const QList<int>& fields = m_shared->builder.fieldsRead();
    // Rows the result lost since the start (an edit deleted one) read as empty values.
    while (m_next < m_rows && m_shared->queued < mostQueued && slice.elapsed() < sliceMs) {
        const int end = std::min(m_rows, m_next + blockRows);
        QList<QVariant> cells;
        cells.reserve(qsizetype(end - m_next) * fields.size());
        for (int row = m_next; row < end; ++row)
            for (const int field : fields)
                cells.append(m_result.valueAt(row, field));
        m_next = end;
        ++m_shared->queued;
        m_worker.start([shared = m_shared, cells = std::move(cells)] {
            if (!shared->stopped)
                shared->builder.add(cells);
            --shared->queued;
        });
    }
    if (m_next < m_rows) {
        // A timer, not a posted call: a stream of posted calls would hold back the window's
        // other timers until the last block.
        QTimer::singleShot(1, this, &ChartJob::readBlock);
        return;
    }
    // The last block is in: sort and thin there too, and hand the chart back to this thread.
    m_worker.start([this, shared = m_shared, columns = m_columns, mostSeries = m_mostSeries] {
        if (shared->stopped)
            return;
        chartdata::Chart chart = shared->builder.finish(columns, mostSeries);
        QList<QStringList> choices = shared->builder.choices();
        // Queued to this object: dropped if the job is deleted first (its destructor waits
        // for this task, so the object is there while it is posted).
        QMetaObject::invokeMethod(
            this, [this, chart = std::move(chart), choices = std::move(choices)] { deliver(chart, choices); },
            Qt::QueuedConnection);
    });
}

void ChartJob::deliver(const chartdata::Chart& chart, const QList<QStringList>& choices)
{
    if (m_shared->stopped)
        return;
    m_running = false;
    Q_EMIT finished(chart, choices);
}
