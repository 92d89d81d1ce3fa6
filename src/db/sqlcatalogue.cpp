#include "db/sqlcatalogue.h"

#include "db/connection.h"

namespace {
QStringList startingWith(const QStringList& names, const QString& typed)
{
    QStringList matches;
    for (const QString& name : names)
        if (name.startsWith(typed, Qt::CaseInsensitive))
            matches.append(name);
    matches.removeDuplicates();
    matches.sort(Qt::CaseInsensitive);
    return matches;
}
} // namespace

SqlCatalogue SqlCatalogue::read(Connection& connection)
{
    SqlCatalogue catalogue;
    catalogue.m_relations = connection.tableNames() + connection.viewNames();
    for (const QString& relation : catalogue.m_relations) {
        const QStringList columns = connection.fieldNames(relation);
        catalogue.m_columns.insert(relation.toLower(), columns);
        catalogue.m_allColumns += columns;
    }
    catalogue.m_allColumns.removeDuplicates();
    return catalogue;
}

QStringList SqlCatalogue::completions(const QStringList& context) const
{
    const QString typed = context.value(context.size() - 1);
    if (context.size() >= 2)
        return startingWith(m_columns.value(context.at(context.size() - 2).toLower()), typed);
    return startingWith(m_relations + m_allColumns, typed);
}
