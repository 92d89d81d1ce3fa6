#include "db/rowbatches.h"

#include "db/resultstore.h"

#include <cstring>

namespace {

// A cell is its kind in one byte, then eight bytes of number, or eight bytes of length and the
// bytes of a text or blob. A row ends with a byte of its own.
constexpr char kRowEnd = char(0xff);
constexpr std::size_t kBatchBytes = 32 * 1024;
constexpr std::size_t kBatchesInFlight = 8;

template <typename Number>
void put(std::string& batch, Number value)
{
    char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    batch.append(bytes, sizeof value);
}

template <typename Number>
Number take(const char*& at)
{
    Number value;
    std::memcpy(&value, at, sizeof value);
    at += sizeof value;
    return value;
}

void appendRows(ResultStore& store, const std::string& batch)
{
    const char* at = batch.data();
    const char* const end = at + batch.size();
    int column = 0;
    while (at < end) {
        const char code = *at++;
        if (code == kRowEnd) {
            store.endRow();
            column = 0;
            continue;
        }
        switch (ResultStore::Kind(code)) {
        case ResultStore::Kind::Null: store.appendNull(column); break;
        case ResultStore::Kind::Integer: store.appendInteger(column, take<std::int64_t>(at)); break;
        case ResultStore::Kind::Real: store.appendReal(column, take<double>(at)); break;
        case ResultStore::Kind::Text:
        case ResultStore::Kind::Blob: {
            const auto size = std::size_t(take<std::uint64_t>(at));
            const std::string_view bytes(at, size);
            at += size;
            if (ResultStore::Kind(code) == ResultStore::Kind::Text)
                store.appendText(column, bytes);
            else
                store.appendBlob(column, bytes);
            break;
        }
        }
        ++column;
    }
}

} // namespace

RowBatches::RowBatches()
{
    m_batch.reserve(kBatchBytes + 1024);
}

void RowBatches::add(const CellView& cell)
{
    m_batch += char(cell.kind);
    switch (cell.kind) {
    case ResultStore::Kind::Null: break;
    case ResultStore::Kind::Integer: put(m_batch, cell.integer); break;
    case ResultStore::Kind::Real: put(m_batch, cell.real); break;
    case ResultStore::Kind::Text:
    case ResultStore::Kind::Blob:
        put(m_batch, std::uint64_t(cell.bytes.size()));
        m_batch.append(cell.bytes.data(), cell.bytes.size());
        break;
    }
}

void RowBatches::endRow()
{
    m_batch += kRowEnd;
    if (m_batch.size() >= kBatchBytes)
        handOver();
}

void RowBatches::close()
{
    if (!m_batch.empty())
        handOver();
    {
        const std::lock_guard lock(m_mutex);
        m_closed = true;
    }
    m_changed.notify_all();
}

void RowBatches::handOver()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_full.size() < kBatchesInFlight || m_dropping; });
    std::string next;
    if (!m_spare.empty()) {
        next = std::move(m_spare.back());
        m_spare.pop_back();
    }
    if (!m_dropping)
        m_full.push_back(std::move(m_batch));
    m_batch = std::move(next);
    m_batch.clear();
    if (m_batch.capacity() < kBatchBytes)
        m_batch.reserve(kBatchBytes + 1024);
    lock.unlock();
    m_changed.notify_all();
}

bool RowBatches::storeNext(ResultStore& store, std::chrono::milliseconds patience)
{
    std::string batch;
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, patience, [this] { return !m_full.empty() || m_closed; });
        if (m_full.empty())
            return !m_closed;
        batch = std::move(m_full.front());
        m_full.pop_front();
    }
    m_changed.notify_all();
    appendRows(store, batch);
    batch.clear();
    const std::lock_guard lock(m_mutex);
    m_spare.push_back(std::move(batch));
    return true;
}

void RowBatches::dropAll()
{
    {
        const std::lock_guard lock(m_mutex);
        m_dropping = true;
        m_full.clear();
    }
    m_changed.notify_all();
}
