#include "rowcursor.h"

#include "rowsource.h"

#include <limits>

namespace {

class StreamedRows : public RowCursor {
public:
    explicit StreamedRows(std::unique_ptr<RowSource> source) : m_source(std::move(source)) {}

    QStringList fieldNames() const override
    {
        QStringList names;
        for (const queryresult::Field& field : m_source->fields())
            names.append(field.name);
        return names;
    }

    bool next() override
    {
        if (m_block && ++m_row < m_block->rowCount())
            return true;
        // A fresh store for each block: the previous one is freed whole.
        m_block.reset();
        m_row = 0;
        while (!m_source->atEnd()) {
            auto block = std::make_unique<ResultStore>(int(m_source->fields().size()));
            if (m_source->read(*block, kBlockRows, std::chrono::milliseconds(0)) > 0) {
                m_block = std::move(block);
                return true;
            }
        }
        return false;
    }

    QVariant value(int field) const override { return m_block->value(m_row, field); }
    QString text(int field) const override { return m_block->text(m_row, field); }

private:
    static constexpr int kBlockRows = 2048;
    std::unique_ptr<RowSource> m_source;
    std::unique_ptr<ResultStore> m_block;
    std::uint32_t m_row = 0;
};

} // namespace

std::unique_ptr<RowCursor> streamRows(Connection& connection, const QString& sql, const QString& messageName,
                                      int& rowsAffected)
{
    const rowsource::Statement statement = rowsource::statementOf(connection, sql, messageName + QStringLiteral(": "));
    rowsource::Opened opened = rowsource::open(connection, statement.sql, statement.filter, rowsource::Want::Either,
                                               messageName + QStringLiteral(": "));
    rowsAffected = opened.rowsAffected;
    if (!opened.rows)
        return nullptr;
    return std::make_unique<StreamedRows>(std::move(opened.rows));
}
