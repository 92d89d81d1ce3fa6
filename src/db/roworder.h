#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

// Positions of a result's rows in the order shown. Until rows are sorted, added in the middle or
// taken out, the order is the statement's own and costs nothing: a million rows would otherwise
// take 4 MB for each order kept.
class RowOrder {
public:
    RowOrder() = default;
    explicit RowOrder(std::vector<std::uint32_t> rows) : m_identity(false), m_rows(std::move(rows)) {}
    static RowOrder identity(std::uint32_t count)
    {
        RowOrder order;
        order.m_count = count;
        return order;
    }

    std::size_t size() const { return m_identity ? m_count : m_rows.size(); }
    bool empty() const { return size() == 0; }
    std::uint32_t operator[](std::size_t position) const
    {
        return m_identity ? std::uint32_t(position) : m_rows[position];
    }

    // The position of a row of the store; size() when it is not in the order.
    std::size_t indexOf(std::uint32_t row) const
    {
        if (m_identity)
            return row < m_count ? row : m_count;
        return std::size_t(std::find(m_rows.begin(), m_rows.end(), row) - m_rows.begin());
    }

    void push_back(std::uint32_t row)
    {
        if (m_identity && row == m_count) {
            ++m_count;
            return;
        }
        materialize();
        m_rows.push_back(row);
    }
    void insert(std::size_t position, std::uint32_t row)
    {
        if (position == size()) {
            push_back(row);
            return;
        }
        materialize();
        m_rows.insert(m_rows.begin() + std::ptrdiff_t(position), row);
    }
    void erase(std::size_t position)
    {
        materialize();
        m_rows.erase(m_rows.begin() + std::ptrdiff_t(position));
    }
    void eraseRow(std::uint32_t row)
    {
        materialize();
        m_rows.erase(std::find(m_rows.begin(), m_rows.end(), row));
    }

private:
    void materialize()
    {
        if (!m_identity)
            return;
        m_rows.resize(m_count);
        for (std::uint32_t i = 0; i < m_count; ++i)
            m_rows[i] = i;
        m_identity = false;
    }

    bool m_identity = true;
    std::uint32_t m_count = 0;
    std::vector<std::uint32_t> m_rows;
};
