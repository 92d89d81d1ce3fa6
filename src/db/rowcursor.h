#pragma once

#include "db/cellview.h"

#include <QString>
#include <QStringList>

#include <memory>

class Connection;
class OpenResult;

// Rows read one after the other, as an export or a printed listing walks them.
class RowCursor {
public:
    virtual ~RowCursor() = default;
    virtual QStringList fieldNames() const = 0;
    virtual bool next() = 0;   // moves to the next row (the first at the first call); false at the end
    virtual CellView cell(int field) const = 0;   // of the row next() moved to
};

// The statement's rows straight from the engine: however large the result, only the row being
// written (or one block of rows) is held. `sql` is what the workbench takes, "exec NAME [VALUE]" included.
// A statement without a result gives no cursor and leaves its count in `rowsAffected`.
std::unique_ptr<RowCursor> streamRows(Connection& connection, const QString& sql, const QString& messageName,
                                      int& rowsAffected);
