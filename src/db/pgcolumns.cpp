#include "db/pgcolumns.h"

#include "common/error.h"
#include "db/sqlerrortext.h"

#include <QSqlError>
#include <QSqlQuery>

#include <map>

namespace pg {

std::vector<ColumnOrigin> columnOrigins(const QSqlDatabase& db, const std::vector<ColumnSource>& sources)
{
    std::vector<ColumnOrigin> origins(sources.size());
    QSqlQuery lookup(db);
    lookup.setForwardOnly(true);
    if (!lookup.prepare(QStringLiteral(
            "SELECT CASE WHEN pg_table_is_visible(c.oid) THEN c.relname ELSE n.nspname || '.' || c.relname END,"
            " a.attname FROM pg_catalog.pg_attribute a JOIN pg_catalog.pg_class c ON c.oid = a.attrelid"
            " JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace"
            " WHERE a.attrelid = ? AND a.attnum = ? AND c.relkind IN ('r', 'p')")))
        throw racr::EngineError(sqlErrorText(lookup.lastError()));
    std::map<std::pair<unsigned, int>, ColumnOrigin> known;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const ColumnSource& source = sources[i];
        if (source.table == 0 || source.column <= 0)
            continue;
        const auto key = std::make_pair(source.table, source.column);
        if (const auto found = known.find(key); found != known.end()) {
            origins[i] = found->second;
            continue;
        }
        lookup.bindValue(0, source.table);
        lookup.bindValue(1, source.column);
        if (!lookup.exec())
            throw racr::EngineError(sqlErrorText(lookup.lastError()));
        if (lookup.next())
            origins[i] = {lookup.value(0).toString(), lookup.value(1).toString()};
        lookup.finish();
        known.emplace(key, origins[i]);
    }
    return origins;
}

} // namespace pg
