#include "db/queryresult.h"

#include "common/error.h"
#include "db/connection.h"

#include <QSqlDriver>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>

using queryresult::engineText;
using queryresult::sameValue;

// Edits of the open result go back to the table each column came from, one row at a time.

const std::vector<OpenResult::Table>& OpenResult::tables()
{
    Result& r = *m_result;
    if (r.tables)
        return *r.tables;
    std::vector<Table> list;
    for (int f = 0; f < int(r.fields.size()); ++f) {
        const Field& field = r.fields[std::size_t(f)];
        if (field.origin.isEmpty())
            continue;
        auto it = std::find_if(list.begin(), list.end(), [&](const Table& t) { return t.qualified == field.qualified; });
        if (it == list.end()) {
            list.push_back(Table{field.table, field.qualified, {}, {}, {}});
            it = list.end() - 1;
        }
        it->fields.push_back(f);
    }
    for (Table& table : list) {
        const QSqlIndex key = m_connection.database().primaryIndex(table.name);
        for (int k = 0; k < key.count(); ++k) {
            table.keyNames.append(key.fieldName(k));
            for (int f : table.fields)
                if (r.fields[std::size_t(f)].origin.compare(key.fieldName(k), Qt::CaseInsensitive) == 0) {
                    table.keyFields.push_back(f);
                    break;
                }
        }
        if (table.keyFields.size() != std::size_t(key.count()))
            table.keyFields.clear();
    }
    r.tables = std::move(list);
    return *r.tables;
}

// Finds the table's row by its key when the result shows the whole key, else by every column
// the result shows from that table; checkOneRow() then refuses a change that reached no row or
// more than one.
QString OpenResult::whereClause(const Table& table, std::uint32_t row, QVariantList& values) const
{
    const Result& r = *m_result;
    QSqlDriver* driver = m_connection.database().driver();
    const std::vector<int>& identity = table.keyFields.empty() ? table.fields : table.keyFields;
    QStringList conditions;
    QStringList seen;
    bool anyValue = false;
    for (int f : identity) {
        const QString& origin = r.fields[std::size_t(f)].origin;
        if (seen.contains(origin, Qt::CaseInsensitive))
            continue;
        seen.append(origin);
        const QString column = driver->escapeIdentifier(origin, QSqlDriver::FieldName);
        const QVariant original = r.store.value(row, f);
        if (original.isNull()) {
            conditions.append(column + QStringLiteral(" IS NULL"));
        } else {
            conditions.append(column + QStringLiteral(" = ?"));
            values.append(original);
            anyValue = true;
        }
    }
    // An outer join shows nulls where the table has no row at all.
    if (!anyValue)
        throw racr::DatabaseError(message(
            QStringLiteral("This row has no row in %1 to change: all of its %1 columns are empty.").arg(table.name)));
    return conditions.join(QStringLiteral(" AND "));
}

void OpenResult::checkOneRow(const Table& table, int affected) const
{
    if (affected == 0)
        throw racr::DatabaseError(message(
            QStringLiteral("The row is no longer in %1 as shown: it was changed or deleted after the statement ran. Run the statement again.")
                .arg(table.name)));
    if (affected > 1) {
        const QString advice = table.keyNames.isEmpty()
            ? QStringLiteral("columns that tell these rows apart")
            : QStringLiteral("the key column %1").arg(table.keyNames.join(QStringLiteral(", ")));
        throw racr::DatabaseError(message(
            QStringLiteral("%1 rows of %2 hold the values shown for this row, so nothing was written. Add %3 to the statement to change a single row.")
                .arg(affected).arg(table.name, advice)));
    }
}

template <typename Write>
void OpenResult::inTransaction(Write write)
{
    QSqlDatabase db = m_connection.database();
    const bool transaction = db.transaction();
    try {
        write(db);
        if (transaction && !db.commit())
            throw racr::EngineError(engineText(db.lastError()));
    } catch (...) {
        if (transaction)
            db.rollback();
        throw;
    }
}

namespace {
int runBound(QSqlDatabase& db, const QString& sql, const QVariantList& values)
{
    QSqlQuery query(db);
    if (!query.prepare(sql))
        throw racr::EngineError(engineText(query.lastError()));
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values[i]);
    if (!query.exec())
        throw racr::EngineError(engineText(query.lastError()));
    return query.numRowsAffected();
}
} // namespace

void OpenResult::writeEdit()
{
    const Result& r = *m_result;
    const std::uint32_t row = r.order[std::size_t(r.current)];
    QSqlDriver* driver = m_connection.database().driver();
    const std::vector<Table>& list = tables();
    inTransaction([&](QSqlDatabase& db) {
        for (const Table& table : list) {
            QStringList assignments;
            QVariantList values;
            QStringList seen;
            for (int f : table.fields) {
                const QVariant& value = r.pending[std::size_t(f)];
                const QString& origin = r.fields[std::size_t(f)].origin;
                if (sameValue(value, r.store.value(row, f)) || seen.contains(origin, Qt::CaseInsensitive))
                    continue;
                seen.append(origin);
                const QString column = driver->escapeIdentifier(origin, QSqlDriver::FieldName);
                if (value.isNull()) {
                    assignments.append(column + QStringLiteral(" = NULL"));
                } else {
                    assignments.append(column + QStringLiteral(" = ?"));
                    values.append(value);
                }
            }
            if (assignments.isEmpty())
                continue;
            const QString where = whereClause(table, row, values);
            const QString sql = QStringLiteral("UPDATE ") + table.qualified + QStringLiteral(" SET ")
                                + assignments.join(QStringLiteral(", ")) + QStringLiteral(" WHERE ") + where;
            checkOneRow(table, runBound(db, sql, values));
        }
    });
}

bool OpenResult::writeInsert()
{
    const Result& r = *m_result;
    QSqlDriver* driver = m_connection.database().driver();
    const std::vector<Table>& list = tables();
    bool written = false;
    inTransaction([&](QSqlDatabase& db) {
        for (const Table& table : list) {
            QStringList columns;
            QVariantList values;
            for (int f : table.fields) {
                const QVariant& value = r.pending[std::size_t(f)];
                const QString& origin = r.fields[std::size_t(f)].origin;
                if (value.isNull() || columns.contains(driver->escapeIdentifier(origin, QSqlDriver::FieldName)))
                    continue;
                columns.append(driver->escapeIdentifier(origin, QSqlDriver::FieldName));
                values.append(value);
            }
            if (columns.isEmpty())
                continue;
            const QStringList marks(columns.size(), QStringLiteral("?"));
            runBound(db, QStringLiteral("INSERT INTO ") + table.qualified + QStringLiteral(" (")
                             + columns.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (")
                             + marks.join(QStringLiteral(", ")) + ')',
                     values);
            written = true;
        }
    });
    return written;
}

// A row of a join is removed from the table that gives the result most of its columns (the
// first such table on a tie): for the default statement that is RACR, never the driver's row.
void OpenResult::writeDelete()
{
    const Result& r = *m_result;
    const std::vector<Table>& list = tables();
    const auto main = std::max_element(list.begin(), list.end(), [](const Table& a, const Table& b) {
        return a.fields.size() < b.fields.size();
    });
    if (main == list.end())
        throw racr::DatabaseError(message(QStringLiteral("The rows of this result are computed by the statement; there is no table to delete them from.")));
    const std::uint32_t row = r.order[std::size_t(r.current)];
    inTransaction([&](QSqlDatabase& db) {
        QVariantList values;
        const QString where = whereClause(*main, row, values);
        checkOneRow(*main, runBound(db, QStringLiteral("DELETE FROM ") + main->qualified + QStringLiteral(" WHERE ") + where, values));
    });
}
