#pragma once

// What the open result and its write-back (openresultwrite.cpp) share: the open result and how its fields map to
// tables. Only the open result, its write-back (openresultwrite.cpp) and its row source include this.

#include "db/connection.h"
#include "db/openresult.h"
#include "db/resultfield.h"
#include "db/resultstore.h"
#include "db/rowfilter.h"
#include "db/roworder.h"

#include <QSqlError>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>
#include <vector>

class RowSource;

namespace queryresult {

inline bool sameValue(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    return a.typeId() == b.typeId() && a == b;
}

} // namespace queryresult

using queryresult::Affinity;
using queryresult::Field;

struct OpenResult::Table {
    QString name;
    QString qualified;
    std::vector<int> fields;      // result fields read from this table
    std::vector<int> keyFields;   // its primary key, when the result shows all of it
    QStringList keyNames;
};

struct OpenResult::Result {
    explicit Result(std::vector<Field> f);
    ~Result();

    std::vector<Field> fields;
    ResultStore store;
    RowOrder natural;   // the statement's order (plus rows added here)
    RowOrder arranged;  // natural, or sorted
    RowOrder order;     // what the user sees: arranged, less the rows the filter leaves out
    RowFilter filter;
    int current = -1;
    bool atEnd = true;
    OpenResult::Sort sort;
    State state = State::Browse;
    std::vector<QVariant> pending;        // the edited or new row
    bool modified = false;
    std::optional<std::vector<Table>> tables;
    std::unique_ptr<RowSource> source;   // while rows are still to come
    std::unique_ptr<Connection::Hold> hold;   // while they hold the connection
    std::uint32_t shown = 0;              // rows of the store the views know of
    bool stopped = false;                 // the rest was dropped
};
