#pragma once

#include <QMap>
#include <QStringList>

class Connection;

// The names the SQL editor completes: the tables and views of the open database and their
// columns, read once per connect and after statements that may change them.
class SqlCatalogue {
public:
    static SqlCatalogue read(Connection& connection);

    // `context` is what the editor hands over: the words before the caret that are joined by
    // dots, the last one being the word typed so far ("RACR", "dr" for "RACR.dr"). After a table
    // or view name come its columns; otherwise every table, view and column name. Names start
    // with the typed word in any case, sorted without regard to case.
    QStringList completions(const QStringList& context) const;

private:
    QStringList m_relations;                // tables and views
    QMap<QString, QStringList> m_columns;   // by lower-case table or view name
    QStringList m_allColumns;
};
