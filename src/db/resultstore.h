#pragma once

#include <QString>
#include <QVariant>

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

// The rows of an open result, held column by column in a compact form: one kind byte and one
// 8-byte payload per cell, texts and blobs as UTF-8 bytes in a shared pool. A million rows of
// the default statement take about 150 MB this way, against well over half a gigabyte as a
// QVariant per cell.
class ResultStore {
public:
    // Ordered as SQLite orders mixed values: null, numbers, texts, blobs.
    enum class Kind : std::uint8_t { Null, Integer, Real, Text, Blob };

    explicit ResultStore(int columnCount);
    ~ResultStore();

    int columnCount() const { return int(m_columns.size()); }
    std::uint32_t rowCount() const { return m_rows; }

    // Filling: one call per cell, column by column, then endRow().
    void appendNull(int column);
    void appendInteger(int column, std::int64_t value);
    void appendReal(int column, double value);
    void appendText(int column, std::string_view utf8);
    void appendBlob(int column, std::string_view bytes);
    void appendVariant(int column, const QVariant& value);
    void endRow() { ++m_rows; }
    std::uint32_t appendEmptyRow();   // a row of nulls; returns its index

    // Replaces one cell; the old bytes stay in the pool until the store goes.
    void set(std::uint32_t row, int column, const QVariant& value);

    Kind kind(std::uint32_t row, int column) const;
    QVariant value(std::uint32_t row, int column) const;   // null as an invalid QVariant
    QString text(std::uint32_t row, int column) const;     // null as empty text

    // Compares two cells of one column: null < numbers (by value) < texts (by code point) < blobs.
    int compare(int column, std::uint32_t a, std::uint32_t b) const;

    // The rows of `order` sorted by one column; equal values keep their place in `order`.
    std::vector<std::uint32_t> sorted(const std::vector<std::uint32_t>& order, int column,
                                      bool descending) const;

private:
    class Pool;
    // Cells live in fixed blocks, so a growing result never copies what it already holds.
    static constexpr int BlockShift = 16;
    static constexpr std::uint32_t BlockMask = (1u << BlockShift) - 1;
    struct Column {
        std::vector<std::unique_ptr<Kind[]>> kinds;
        std::vector<std::unique_ptr<std::uint64_t[]>> payload;   // integer, double bits, pool handle
    };
    struct Cell {
        Kind kind;
        std::uint64_t payload;
    };

    Cell cellOf(const QVariant& value);
    void put(std::uint32_t row, int column, Cell cell);
    Kind kindAt(std::uint32_t row, int column) const
    {
        return m_columns[std::size_t(column)].kinds[row >> BlockShift][row & BlockMask];
    }
    std::uint64_t payloadAt(std::uint32_t row, int column) const
    {
        return m_columns[std::size_t(column)].payload[row >> BlockShift][row & BlockMask];
    }

    std::vector<Column> m_columns;
    std::unique_ptr<Pool> m_pool;
    std::uint32_t m_rows = 0;
};
