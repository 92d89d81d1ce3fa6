#include "resultstore.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QTime>

#include <algorithm>
#include <bit>
#include <cstring>
#include <thread>

// Texts go into large chunks, each prefixed with its length as a varint, so a million short
// strings cost their bytes plus one or two, not a heap block each.
class ResultStore::Pool {
public:
    std::uint64_t add(std::string_view bytes)
    {
        unsigned char prefix[10];
        std::size_t prefixLength = 0;
        for (std::uint64_t n = bytes.size();; n >>= 7) {
            prefix[prefixLength++] = static_cast<unsigned char>((n & 0x7f) | (n > 0x7f ? 0x80 : 0));
            if (n <= 0x7f)
                break;
        }
        const std::size_t needed = prefixLength + bytes.size();
        if (m_chunks.empty() || m_used + needed > m_chunks.back().size) {
            const std::size_t size = std::max(needed, ChunkSize);
            m_chunks.push_back({std::make_unique_for_overwrite<char[]>(size), size});
            m_used = 0;
        }
        char* at = m_chunks.back().data.get() + m_used;
        std::memcpy(at, prefix, prefixLength);
        if (!bytes.empty())
            std::memcpy(at + prefixLength, bytes.data(), bytes.size());
        const std::uint64_t handle = (std::uint64_t(m_chunks.size() - 1) << 32) | m_used;
        m_used += needed;
        return handle;
    }

    std::string_view get(std::uint64_t handle) const
    {
        const auto* at = reinterpret_cast<const unsigned char*>(
            m_chunks[handle >> 32].data.get() + (handle & 0xffffffffu));
        std::uint64_t length = 0;
        int shift = 0;
        for (;; shift += 7) {
            const unsigned char byte = *at++;
            length |= std::uint64_t(byte & 0x7f) << shift;
            if (!(byte & 0x80))
                break;
        }
        return {reinterpret_cast<const char*>(at), std::size_t(length)};
    }

private:
    static constexpr std::size_t ChunkSize = std::size_t(4) << 20;
    struct Chunk {
        std::unique_ptr<char[]> data;
        std::size_t size;
    };
    std::vector<Chunk> m_chunks;
    std::size_t m_used = 0;
};

namespace {

using Kind = ResultStore::Kind;

int rankOf(Kind kind)
{
    switch (kind) {
    case Kind::Null: return 0;
    case Kind::Integer:
    case Kind::Real: return 1;
    case Kind::Text: return 2;
    case Kind::Blob: return 3;
    }
    return 0;
}

double realOf(std::uint64_t payload)
{
    return std::bit_cast<double>(payload);
}

// Maps a double onto an unsigned integer of the same order.
std::uint64_t orderedBits(double value)
{
    if (value == 0)
        value = 0; // -0 and +0 are equal
    const auto bits = std::bit_cast<std::uint64_t>(value);
    return (bits >> 63) ? ~bits : bits | (std::uint64_t(1) << 63);
}

std::uint64_t leadingBytes(std::string_view bytes)
{
    std::uint64_t prefix = 0;
    for (std::size_t i = 0; i < 8; ++i)
        prefix = (prefix << 8) | (i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0u);
    return prefix;
}

int compareBytes(std::string_view a, std::string_view b)
{
    const int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
    if (c != 0)
        return c < 0 ? -1 : 1;
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

QByteArray dateText(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QDate: return value.toDate().toString(QStringLiteral("yyyy-MM-dd")).toUtf8();
    case QMetaType::QTime: return value.toTime().toString(QStringLiteral("hh:mm:ss")).toUtf8();
    default: {
        // A date-time at midnight stands for the day alone, and reads so.
        const QDateTime dateTime = value.toDateTime();
        const bool dayOnly = dateTime.time() == QTime(0, 0);
        return dateTime.toString(dayOnly ? QStringLiteral("yyyy-MM-dd") : QStringLiteral("yyyy-MM-dd hh:mm:ss")).toUtf8();
    }
    }
}

} // namespace

ResultStore::ResultStore(int columnCount) : m_columns(std::size_t(columnCount)), m_pool(std::make_unique<Pool>()) {}

ResultStore::~ResultStore() = default;

void ResultStore::put(std::uint32_t row, int column, Cell cell)
{
    Column& c = m_columns[std::size_t(column)];
    const std::size_t block = row >> BlockShift;
    if (block >= c.kinds.size()) {
        c.kinds.push_back(std::make_unique_for_overwrite<Kind[]>(BlockMask + 1));
        c.payload.push_back(std::make_unique_for_overwrite<std::uint64_t[]>(BlockMask + 1));
    }
    c.kinds[block][row & BlockMask] = cell.kind;
    c.payload[block][row & BlockMask] = cell.payload;
}

void ResultStore::appendNull(int column)
{
    put(m_rows, column, {Kind::Null, 0});
}

void ResultStore::appendInteger(int column, std::int64_t value)
{
    put(m_rows, column, {Kind::Integer, std::uint64_t(value)});
}

void ResultStore::appendReal(int column, double value)
{
    put(m_rows, column, {Kind::Real, std::bit_cast<std::uint64_t>(value)});
}

void ResultStore::appendText(int column, std::string_view utf8)
{
    put(m_rows, column, {Kind::Text, m_pool->add(utf8)});
}

void ResultStore::appendBlob(int column, std::string_view bytes)
{
    put(m_rows, column, {Kind::Blob, m_pool->add(bytes)});
}

void ResultStore::appendVariant(int column, const QVariant& value)
{
    put(m_rows, column, cellOf(value));
}

ResultStore::Cell ResultStore::cellOf(const QVariant& value)
{
    if (value.isNull())
        return {Kind::Null, 0};
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return {Kind::Integer, std::uint64_t(value.toLongLong())};
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        if (value.toULongLong() > std::uint64_t(INT64_MAX))
            return {Kind::Real, std::bit_cast<std::uint64_t>(value.toDouble())};
        return {Kind::Integer, std::uint64_t(value.toLongLong())};
    case QMetaType::Float:
    case QMetaType::Double:
        return {Kind::Real, std::bit_cast<std::uint64_t>(value.toDouble())};
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return {Kind::Blob, m_pool->add(std::string_view(bytes.constData(), std::size_t(bytes.size())))};
    }
    case QMetaType::QDate:
    case QMetaType::QTime:
    case QMetaType::QDateTime: {
        const QByteArray text = dateText(value);
        return {Kind::Text, m_pool->add(std::string_view(text.constData(), std::size_t(text.size())))};
    }
    default: {
        const QByteArray text = value.toString().toUtf8();
        return {Kind::Text, m_pool->add(std::string_view(text.constData(), std::size_t(text.size())))};
    }
    }
}

std::uint32_t ResultStore::appendEmptyRow()
{
    for (int column = 0; column < columnCount(); ++column)
        appendNull(column);
    return m_rows++;
}

void ResultStore::set(std::uint32_t row, int column, const QVariant& value)
{
    // The old bytes stay in the pool: edits are few, and the pool is freed with the result.
    put(row, column, cellOf(value));
}

ResultStore::Kind ResultStore::kind(std::uint32_t row, int column) const
{
    return kindAt(row, column);
}

QVariant ResultStore::value(std::uint32_t row, int column) const
{
    const std::uint64_t payload = payloadAt(row, column);
    switch (kindAt(row, column)) {
    case Kind::Null: return {};
    case Kind::Integer: return QVariant(qint64(payload));
    case Kind::Real: return QVariant(realOf(payload));
    case Kind::Text: {
        const std::string_view b = m_pool->get(payload);
        return QVariant(QString::fromUtf8(b.data(), qsizetype(b.size())));
    }
    case Kind::Blob: {
        const std::string_view b = m_pool->get(payload);
        return QVariant(QByteArray(b.data(), qsizetype(b.size())));
    }
    }
    return {};
}

QString ResultStore::text(std::uint32_t row, int column) const
{
    const std::uint64_t payload = payloadAt(row, column);
    switch (kindAt(row, column)) {
    case Kind::Null: return {};
    case Kind::Integer: return QString::number(qint64(payload));
    case Kind::Real: return QString::number(realOf(payload), 'g', QLocale::FloatingPointShortest);
    case Kind::Text:
    case Kind::Blob: {
        const std::string_view b = m_pool->get(payload);
        return QString::fromUtf8(b.data(), qsizetype(b.size()));
    }
    }
    return {};
}

int ResultStore::compare(int column, std::uint32_t a, std::uint32_t b) const
{
    const Kind ka = kindAt(a, column);
    const Kind kb = kindAt(b, column);
    const int ra = rankOf(ka);
    const int rb = rankOf(kb);
    if (ra != rb)
        return ra < rb ? -1 : 1;
    const std::uint64_t pa = payloadAt(a, column);
    const std::uint64_t pb = payloadAt(b, column);
    switch (ra) {
    case 0:
        return 0;
    case 1:
        if (ka == Kind::Integer && kb == Kind::Integer) {
            const auto ia = std::int64_t(pa), ib = std::int64_t(pb);
            return ia < ib ? -1 : (ia > ib ? 1 : 0);
        } else {
            const double da = ka == Kind::Integer ? double(std::int64_t(pa)) : realOf(pa);
            const double db = kb == Kind::Integer ? double(std::int64_t(pb)) : realOf(pb);
            return da < db ? -1 : (da > db ? 1 : 0);
        }
    default:
        return compareBytes(m_pool->get(pa), m_pool->get(pb));
    }
}

std::vector<std::uint32_t> ResultStore::sorted(const std::vector<std::uint32_t>& order, int column,
                                               bool descending) const
{
    // Each row gets a 16-byte key: its class, an order-preserving 8-byte prefix of its value and
    // its place in `order`. Most comparisons end on the prefix without touching the pool; the
    // place breaks ties, which makes the sort total and so as good as stable.
    struct Key {
        std::uint64_t prefix;
        std::uint32_t place;
        std::uint8_t rank;
        bool full;   // equal prefixes may still hide different values
    };
    std::vector<Key> keys(order.size());
    for (std::size_t place = 0; place < order.size(); ++place) {
        const std::uint32_t row = order[place];
        const Kind k = kindAt(row, column);
        const std::uint64_t payload = payloadAt(row, column);
        Key key{0, std::uint32_t(place), std::uint8_t(rankOf(k)), false};
        switch (k) {
        case Kind::Null: break;
        case Kind::Integer:
            key.prefix = orderedBits(double(std::int64_t(payload)));
            key.full = true;
            break;
        case Kind::Real: key.prefix = orderedBits(realOf(payload)); break;
        case Kind::Text:
        case Kind::Blob:
            key.prefix = leadingBytes(m_pool->get(payload));
            key.full = true;
            break;
        }
        keys[place] = key;
    }

    const auto less = [&](const Key& a, const Key& b) {
        int result = 0;
        if (a.rank != b.rank)
            result = a.rank < b.rank ? -1 : 1;
        else if (a.prefix != b.prefix)
            result = a.prefix < b.prefix ? -1 : 1;
        else if (a.full || b.full)
            result = compare(column, order[a.place], order[b.place]);
        if (result != 0)
            return descending ? result > 0 : result < 0;
        return a.place < b.place;
    };

    // Two halves on two threads, then one merge: a title click on a million rows stays well
    // under a second on a two-core machine.
    const auto middle = keys.begin() + std::ptrdiff_t(keys.size() / 2);
    if (keys.size() >= 100000 && std::thread::hardware_concurrency() > 1) {
        std::thread firstHalf([&] { std::sort(keys.begin(), middle, less); });
        std::sort(middle, keys.end(), less);
        firstHalf.join();
        std::inplace_merge(keys.begin(), middle, keys.end(), less);
    } else {
        std::sort(keys.begin(), keys.end(), less);
    }

    std::vector<std::uint32_t> result(order.size());
    for (std::size_t i = 0; i < keys.size(); ++i)
        result[i] = order[keys[i].place];
    return result;
}
