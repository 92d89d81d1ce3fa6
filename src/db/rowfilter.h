#pragma once

#include "db/roworder.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

class ResultStore;

// The grid's filters over a loaded result: a text per column, all of which a row must meet.
// `>90`, `>=90`, `<100`, `<=100`, `=5` and `80..90` (both ends included) compare numbers,
// including texts that read as numbers such as the service's times; any other text keeps the
// rows whose cell contains it, without regard to case. An operator without its number yet
// (while it is being typed) keeps every row.
class RowFilter {
public:
    // The text typed for one column; empty text removes the column's condition.
    void set(int column, const QString& text);
    QString text(int column) const { return m_texts.value(column); }
    bool isEmpty() const { return m_conditions.empty(); }

    bool accepts(const ResultStore& store, std::uint32_t row) const;
    // The rows of `order` that meet every condition, in their order.
    RowOrder apply(const ResultStore& store, const RowOrder& order) const;

private:
    struct Condition {
        enum class Kind { Contains, Less, AtMost, Greater, AtLeast, Equal, Between };
        int column = 0;
        Kind kind = Kind::Contains;
        QString text;
        double low = 0;
        double high = 0;
    };
    static std::optional<Condition> parse(int column, const QString& text);
    static bool meets(const Condition& condition, const ResultStore& store, std::uint32_t row);

    QStringList m_texts;
    std::vector<Condition> m_conditions;
};
