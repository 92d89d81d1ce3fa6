#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

class Connection;
class QueryObject;

// Rows read one after the other, as an export or a printed listing walks them.
class RowCursor {
public:
    virtual ~RowCursor() = default;
    virtual QStringList fieldNames() const = 0;
    virtual bool next() = 0;   // moves to the next row (the first at the first call); false at the end
    virtual QVariant value(int field) const = 0;
    virtual QString text(int field) const = 0;   // null as empty text
};

// The statement's rows straight from the engine, a block at a time: however large the result,
// only one block is held. `sql` is what the workbench takes, "exec NAME [VALUE]" included.
// A statement without a result gives no cursor and leaves its count in `rowsAffected`.
std::unique_ptr<RowCursor> streamRows(Connection& connection, const QString& sql, const QString& messageName,
                                      int& rowsAffected);
