#pragma once

#include "db/cellview.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

class ResultStore;

// Rows handed from the thread that reads them from the engine to the thread that stores them,
// as batches of bytes: on two cores the store fills while the engine finds the next rows. A few
// batches are in flight at most, so a reader that runs ahead waits rather than hold the result
// twice.
class RowBatches {
public:
    RowBatches();

    // The reading side: one call per cell, column by column, then endRow(); close() at the end.
    void add(const CellView& cell);
    void endRow();
    void close();

    // The storing side: waits up to `patience` for a batch and appends its rows to `store`.
    // False once the reading side has closed and every batch is taken.
    bool storeNext(ResultStore& store, std::chrono::milliseconds patience);
    // Takes every batch still to come and drops it, so that the reading side never waits again.
    void dropAll();

private:
    void handOver();

    std::string m_batch;   // the rows being given, not yet handed over
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::string> m_full;   // handed over, oldest first
    std::vector<std::string> m_spare;   // taken and emptied, kept for their room
    bool m_closed = false;
    bool m_dropping = false;
};
