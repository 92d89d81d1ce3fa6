#pragma once

#include "db/roworder.h"

#include <QString>
#include <QVariant>

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

class TextPool;
struct CellView;

// The rows of an open result, held column by column in a compact form: each cell in as few
// bytes as its column's block needs, texts and blobs as UTF-8 bytes in a shared pool, and a text
// that repeats in its column (a driver, a car, a track) kept there once. A million rows of the
// default statement take about 50 MB this way, against well over half a gigabyte as a QVariant
// per cell.
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
    CellView view(std::uint32_t row, int column) const;    // bytes valid while the store lives

    // Compares two cells of one column: null < numbers (by value) < texts (by code point) < blobs.
    int compare(int column, std::uint32_t a, std::uint32_t b) const;

    // The rows of `order` sorted by one column; equal values keep their place in `order`. A
    // column of texts that read as decimal numbers at least as often as not is sorted by value,
    // and what is no number follows every number in either direction.
    std::vector<std::uint32_t> sorted(const RowOrder& order, int column,
                                      bool descending) const;

private:
    class Dictionary;
    // Cells live in fixed blocks of one column, so a growing result never copies what it already
    // holds. A block keeps each cell in as few bytes as its largest value needs (a race type in
    // one, a pool offset in four), and one kind for all its cells until a cell differs.
    static constexpr int BlockShift = 16;
    static constexpr std::uint32_t BlockMask = (1u << BlockShift) - 1;
    // What a cell holds: the public kinds, and a text kept once per column and named by number.
    enum class Code : std::uint8_t { Null, Integer, Real, Text, Blob, SharedText };
    struct Cell {
        Code code;
        std::uint64_t payload;   // integer (zigzag), double bits, pool handle or shared text number
    };
    struct Block {
        std::unique_ptr<std::uint8_t[]> payload;
        std::unique_ptr<Code[]> codes;   // only once the cells differ in kind
        Code uniform = Code::Null;
        std::uint8_t width = 0;          // bytes per payload: 0 (all zero), 1, 2, 4 or 8
    };
    struct Column {
        Column();
        ~Column();
        Column(Column&&) noexcept;
        std::vector<Block> blocks;
        std::unique_ptr<Dictionary> shared;   // while the column's texts repeat enough
        std::vector<std::uint64_t> sharedHandles;   // shared text number -> pool handle
    };

    struct SortKey;
    // Fills `keys` with the column's values in `order` and returns true when it holds texts and
    // the decimal numbers among them are at least as many as the other texts that are not empty:
    // numbers rank 1, NULL 2, any other text 3 (by its bytes). False (and `keys` left to be
    // overwritten) otherwise.
    bool decimalKeys(const RowOrder& order, int column, std::vector<SortKey>& keys) const;
    Cell cellOf(const QVariant& value);
    Cell textCell(int column, std::string_view utf8);
    void put(std::uint32_t row, int column, Cell cell);
    Cell cellAt(std::uint32_t row, int column) const;
    std::string_view bytesOf(int column, Cell cell) const;
    static Kind kindOf(Code code);

    std::vector<Column> m_columns;
    std::unique_ptr<TextPool> m_pool;
    std::uint32_t m_rows = 0;
};
