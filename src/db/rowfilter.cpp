#include "db/rowfilter.h"

#include "db/resultstore.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

// A number as typed into a filter or held in a text cell: a decimal point, never the locale's
// comma, so a filter reads the same wherever the program runs.
std::optional<double> numberIn(QStringView text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

std::optional<double> numberAt(const ResultStore& store, std::uint32_t row, int column)
{
    switch (store.kind(row, column)) {
    case ResultStore::Kind::Integer:
    case ResultStore::Kind::Real: return store.value(row, column).toDouble();
    case ResultStore::Kind::Text: return numberIn(store.text(row, column));
    default: return std::nullopt;
    }
}

} // namespace

void RowFilter::set(int column, const QString& text)
{
    if (column < 0)
        return;
    while (m_texts.size() <= column)
        m_texts.append(QString());
    m_texts[column] = text;
    m_conditions.erase(std::remove_if(m_conditions.begin(), m_conditions.end(),
                                      [column](const Condition& c) { return c.column == column; }),
                       m_conditions.end());
    if (auto condition = parse(column, text))
        m_conditions.push_back(*condition);
}

std::optional<RowFilter::Condition> RowFilter::parse(int column, const QString& typed)
{
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    Condition c;
    c.column = column;

    static const QRegularExpression comparison(QStringLiteral("^(<=|>=|<|>|=)\\s*(.*)$"));
    if (const auto match = comparison.match(text); match.hasMatch()) {
        const QString operand = match.captured(2);
        if (operand.isEmpty())
            return std::nullopt;
        if (const auto number = numberIn(operand)) {
            const QString op = match.captured(1);
            c.kind = op == QLatin1String("<")    ? Condition::Kind::Less
                : op == QLatin1String("<=")      ? Condition::Kind::AtMost
                : op == QLatin1String(">")       ? Condition::Kind::Greater
                : op == QLatin1String(">=")      ? Condition::Kind::AtLeast
                                                 : Condition::Kind::Equal;
            c.low = *number;
            return c;
        }
    }
    if (const qsizetype dots = text.indexOf(QLatin1String("..")); dots > 0) {
        const auto low = numberIn(QStringView(text).left(dots));
        const auto high = numberIn(QStringView(text).mid(dots + 2));
        if (low && high) {
            c.kind = Condition::Kind::Between;
            c.low = std::min(*low, *high);
            c.high = std::max(*low, *high);
            return c;
        }
    }
    c.kind = Condition::Kind::Contains;
    c.text = text;
    return c;
}

bool RowFilter::meets(const Condition& c, const ResultStore& store, std::uint32_t row)
{
    if (c.column >= store.columnCount())
        return true;
    if (c.kind == Condition::Kind::Contains)
        return store.kind(row, c.column) != ResultStore::Kind::Blob
            && store.text(row, c.column).contains(c.text, Qt::CaseInsensitive);
    const std::optional<double> value = numberAt(store, row, c.column);
    if (!value)
        return false;
    switch (c.kind) {
    case Condition::Kind::Less: return *value < c.low;
    case Condition::Kind::AtMost: return *value <= c.low;
    case Condition::Kind::Greater: return *value > c.low;
    case Condition::Kind::AtLeast: return *value >= c.low;
    case Condition::Kind::Equal: return *value == c.low;
    case Condition::Kind::Between: return *value >= c.low && *value <= c.high;
    case Condition::Kind::Contains: break;
    }
    return false;
}

bool RowFilter::accepts(const ResultStore& store, std::uint32_t row) const
{
    for (const Condition& c : m_conditions)
        if (!meets(c, store, row))
            return false;
    return true;
}

RowOrder RowFilter::apply(const ResultStore& store, const RowOrder& order) const
{
    if (isEmpty())
        return order;
    std::vector<std::uint32_t> kept;
    for (std::size_t i = 0; i < order.size(); ++i)
        if (accepts(store, order[i]))
            kept.push_back(order[i]);
    return RowOrder(std::move(kept));
}
