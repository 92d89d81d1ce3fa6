#pragma once

#include "db/cellview.h"
#include "db/resultfield.h"

#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

class Connection;
class ResultStore;

// The rows of one running statement, read as the engine delivers them: nothing behind the last
// row read is kept here, so a caller holds as much of a result as it wants and no more.
class RowSource {
public:
    virtual ~RowSource() = default;

    const std::vector<queryresult::Field>& fields() const { return m_fields; }
    bool atEnd() const { return m_atEnd; }
    // How the rest may be read in turns while the program does other work: the connection runs
    // other statements between two reads (SQLite); the result holds the connection until its last
    // row is read or it is dropped (a server answering one statement at a time, see
    // Connection::hold); or not at all, every row being read at once.
    enum class Pausing { SharesConnection, HoldsConnection, Never };
    virtual Pausing pausing() const = 0;

    // Appends up to `maxRows` rows to `store`, stopping early once `budget` has passed (zero: no
    // limit). Returns how many were added; atEnd() tells whether the statement has more. The
    // engine's error throws racr::EngineError; a stop through the wait handler racr::Cancelled.
    virtual int read(ResultStore& store, int maxRows, std::chrono::milliseconds budget) = 0;

    // The rows one at a time for a caller that writes each one out and forgets it (the commands):
    // nextRow() moves to the next row (false at the end) and cell() reads it. Not mixed with
    // read() on one statement, and without the wait handler: such a caller keeps no window alive.
    // Here through read() a block at a time; a source that can hand over its engine's own bytes
    // does so instead.
    virtual bool nextRow();
    virtual CellView cell(int column) const;

protected:
    std::vector<queryresult::Field> m_fields;
    bool m_atEnd = false;

private:
    static constexpr int kBlockRows = 2048;
    std::unique_ptr<ResultStore> m_block;
    std::uint32_t m_blockRow = 0;
};

namespace rowsource {

enum class Want { Rows, NoRows, Either };

// Called now and then while the engine works long (a large sort, a scan that finds little, a
// server's slow answer): the program keeps its windows alive there. Returning true stops the
// statement: SQLite is interrupted, PostgreSQL gets a cancel request.
using WaitHandler = std::function<bool()>;

// What runs for a text of the workbench: the text itself, or for "exec NAME [VALUE]" the saved
// query NAME (a view), keeping the rows whose first column equals VALUE without regard to case.
struct Statement {
    QString sql;
    QString filter;
};
Statement statementOf(Connection& connection, const QString& text, const QString& messagePrefix);

struct Opened {
    std::unique_ptr<RowSource> rows;   // null for a statement without a result
    int rowsAffected = 0;              // its count then; -1 when rows were asked to be dropped
};

// Runs `sql` on the connection. With Want::NoRows or a statement without columns it runs to its
// end; otherwise the rows are left to read. `filter` keeps the rows whose first column equals it
// without regard to case (exec NAME VALUE). `messagePrefix` (the open result's message name and a colon) heads the
// program's own messages.
Opened open(Connection& connection, const QString& sql, const QString& filter, Want want,
            const QString& messagePrefix, WaitHandler wait = {});

} // namespace rowsource
