#include "db/rowcursor.h"

#include "db/rowsource.h"

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

    bool next() override { return m_source->nextRow(); }
    CellView cell(int field) const override { return m_source->cell(field); }

private:
    std::unique_ptr<RowSource> m_source;
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
