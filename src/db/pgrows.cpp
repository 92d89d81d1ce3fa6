#include "db/pgrows.h"

#include "common/error.h"
#include "db/pgcancel.h"
#include "db/pgcolumns.h"
#include "db/queryresult.h"

#include <QElapsedTimer>
#include <QSqlDriver>

#include <libpq-fe.h>
#include <poll.h>

#include <charconv>
#include <cstdlib>
#include <memory>

using queryresult::Affinity;
using queryresult::Field;
using rowsource::Want;

namespace {

// pg_type's oids of the built-in types, the same on every server.
enum TypeOid : Oid {
    BoolOid = 16, ByteaOid = 17, Int8Oid = 20, Int2Oid = 21, Int4Oid = 23, OidOid = 26, Float4Oid = 700,
    Float8Oid = 701, DateOid = 1082, TimeOid = 1083, TimestampOid = 1114, TimestampTzOid = 1184, TimeTzOid = 1266,
    NumericOid = 1700,
};

// How a column's text becomes a cell: as Qt's driver gave it, so the grid, its sorts and its edits
// see the values they always saw.
enum class CellType { Integer, Real, Boolean, Blob, TimeOfDay, Moment, Text };

CellType cellType(Oid type)
{
    switch (type) {
    case Int2Oid:
    case Int4Oid:
    case Int8Oid:
    case OidOid: return CellType::Integer;
    case Float4Oid:
    case Float8Oid:
    case NumericOid: return CellType::Real;
    case BoolOid: return CellType::Boolean;
    case ByteaOid: return CellType::Blob;
    case TimeOid:
    case TimeTzOid: return CellType::TimeOfDay;
    case TimestampOid:
    case TimestampTzOid: return CellType::Moment;
    default: return CellType::Text;
    }
}

Affinity affinityOf(CellType type)
{
    switch (type) {
    case CellType::Integer:
    case CellType::Boolean: return Affinity::Integer;
    case CellType::Real: return Affinity::Real;
    case CellType::Text: return Affinity::Text;
    default: return Affinity::None;
    }
}

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

Result owned(PGresult* result)
{
    return Result(result, PQclear);
}

// The server counts a place in characters (code points); the program in UTF-16 code units.
qsizetype utf16Offset(const QString& text, long codePoints)
{
    qsizetype at = 0;
    for (long n = 0; n < codePoints && at < text.size(); ++n)
        at += text.at(at).isHighSurrogate() && at + 1 < text.size() ? 2 : 1;
    return at;
}

// The server's message as Qt's driver worded it, with the place of the fault in `sql`.
racr::EngineError serverError(const PGresult* result, PGconn* connection, const QString& sql)
{
    QString message = QString::fromUtf8(result ? PQresultErrorMessage(result) : PQerrorMessage(connection));
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    if (state)
        message += QStringLiteral("(%1)").arg(QLatin1String(state));
    const char* position = result ? PQresultErrorField(result, PG_DIAG_STATEMENT_POSITION) : nullptr;
    const long at = position ? std::atol(position) : 0;
    return racr::EngineError(message.trimmed(), at > 0 ? utf16Offset(sql, at - 1) : -1);
}

class PgRows : public RowSource {
public:
    PgRows(QSqlDatabase db, PGconn* connection, QString sql, QString filter, rowsource::WaitHandler wait)
        : m_db(std::move(db))
        , m_connection(connection)
        , m_sql(std::move(sql))
        , m_filter(std::move(filter))
        , m_wait(std::move(wait))
    {
    }

    // A statement left before its end is cancelled on the server, and what it still sends is
    // read and dropped, so the connection is ready for the next one.
    ~PgRows() override
    {
        if (m_done)
            return;
        if (!m_stopped)
            pg::cancelRunning(m_connection);
        while (PGresult* result = PQgetResult(m_connection)) {
            endCopy(PQresultStatus(result));
            PQclear(result);
        }
    }

    Pausing pausing() const override { return Pausing::HoldsConnection; }

    // Sends the statement and waits for its first row, or its end when it has none.
    rowsource::Opened start(Want want, const QString& prefix)
    {
        m_sinceAsked.restart();
        // What an earlier statement left unread would keep the server from taking this one.
        while (PGresult* result = PQgetResult(m_connection))
            PQclear(result);
        if (!PQsendQuery(m_connection, m_sql.toUtf8().constData()))
            throw serverError(nullptr, m_connection, m_sql);
        PQsetSingleRowMode(m_connection);

        rowsource::Opened opened;
        bool empty = false;
        bool copy = false;
        while (Result result = next(std::chrono::milliseconds(0))) {
            switch (PQresultStatus(result.get())) {
            case PGRES_SINGLE_TUPLE:
            case PGRES_TUPLES_OK:
                if (want == Want::NoRows) {
                    opened.rowsAffected = -1;
                    continue;
                }
                describe(result.get());
                m_pending = std::move(result);
                return opened;
            case PGRES_COMMAND_OK: opened.rowsAffected = std::atoi(PQcmdTuples(result.get())); break;
            case PGRES_EMPTY_QUERY: empty = true; break;
            case PGRES_COPY_IN:
            case PGRES_COPY_OUT: copy = endCopy(PQresultStatus(result.get())); break;
            default: throw failure(result.get());
            }
        }
        if (copy)
            throw racr::DatabaseError(prefix + QStringLiteral("COPY from or to the program (STDIN, STDOUT) cannot run "
                                                              "here; copy from or to a file on the server instead."));
        if (empty)
            throw racr::DatabaseError(prefix + QStringLiteral("There is no statement to run: the text holds only comments."));
        if (want == Want::Rows)
            throw racr::DatabaseError(prefix + QStringLiteral("CommandText does not return a result set"));
        return opened;
    }

    int read(ResultStore& store, int maxRows, std::chrono::milliseconds budget) override
    {
        QElapsedTimer clock;
        clock.start();
        // A turn shorter than the wait's interval leaves the windows to the event loop.
        m_sinceAsked.restart();
        int added = 0;
        while (!m_atEnd && added < maxRows) {
            const auto left = budget.count() > 0 ? budget - std::chrono::milliseconds(clock.elapsed()) : budget;
            if (budget.count() > 0 && left.count() <= 0)
                break;
            Result result = m_pending ? std::move(m_pending) : next(left);
            if (!result) {
                if (m_done)   // the statement ended without saying its rows had
                    throw racr::EngineError(QString::fromUtf8(PQerrorMessage(m_connection)).trimmed());
                break;        // nothing more came within the budget
            }
            const ExecStatusType status = PQresultStatus(result.get());
            if (status != PGRES_SINGLE_TUPLE && status != PGRES_TUPLES_OK)
                throw failure(result.get());
            const int rows = PQntuples(result.get());
            for (int row = 0; row < rows; ++row) {
                if (keep(result.get(), row)) {
                    append(store, result.get(), row);
                    ++added;
                }
            }
            if (status == PGRES_TUPLES_OK)
                finish();
        }
        return added;
    }

private:
    // The next result of the statement; null at its end, or when `budget` (unless zero) passed
    // before one came. Meanwhile the windows stay alive through the wait handler, and a stop
    // asked there cancels the statement on the server.
    Result next(std::chrono::milliseconds budget)
    {
        QElapsedTimer clock;
        clock.start();
        askToStop();
        while (PQisBusy(m_connection)) {
            const qint64 left = budget.count() > 0 ? budget.count() - clock.elapsed() : 50;
            if (left <= 0)
                return owned(nullptr);
            pollfd socket{PQsocket(m_connection), POLLIN, 0};
            ::poll(&socket, 1, int(std::min<qint64>(left, 50)));
            if (!PQconsumeInput(m_connection)) {
                m_done = true;
                throw serverError(nullptr, m_connection, m_sql);
            }
            askToStop();
        }
        PGresult* result = PQgetResult(m_connection);
        if (!result)
            m_done = true;
        return owned(result);
    }

    // The program is asked every 50 ms whether to stop; a stop cancels the statement on the
    // server, and the rest is dropped.
    void askToStop()
    {
        if (m_wait && !m_stopped && m_sinceAsked.elapsed() >= 50) {
            m_sinceAsked.restart();
            if (m_wait()) {
                m_stopped = true;
                pg::cancelRunning(m_connection);
            }
        }
        if (m_stopped)
            throw racr::Cancelled();
    }

    // An error result: the rest of the statement is dropped (the server has given it up).
    racr::EngineError failure(const PGresult* result)
    {
        racr::EngineError error = serverError(result, m_connection, m_sql);
        while (Result rest = next(std::chrono::milliseconds(0))) {
        }
        return error;
    }

    // COPY to or from the client would wait for data that never comes: it is ended at once.
    bool endCopy(ExecStatusType status)
    {
        if (status == PGRES_COPY_IN) {
            PQputCopyEnd(m_connection, "not taken from this program");
            return true;
        }
        if (status == PGRES_COPY_OUT) {
            char* data = nullptr;
            while (PQgetCopyData(m_connection, &data, 0) > 0)
                PQfreemem(data);
            return true;
        }
        return false;
    }

    void describe(const PGresult* result)
    {
        const int columns = PQnfields(result);
        m_fields.resize(std::size_t(columns));
        m_types.resize(std::size_t(columns));
        m_sources.resize(std::size_t(columns));
        for (int i = 0; i < columns; ++i) {
            m_types[std::size_t(i)] = cellType(PQftype(result, i));
            Field& field = m_fields[std::size_t(i)];
            field.name = QString::fromUtf8(PQfname(result, i));
            field.affinity = affinityOf(m_types[std::size_t(i)]);
            m_sources[std::size_t(i)] = {PQftable(result, i), PQftablecol(result, i)};
        }
    }

    // The rows are in; later statements of the same text run to their end, and an error of
    // theirs is the server's word on the whole text.
    void finish()
    {
        while (Result rest = next(std::chrono::milliseconds(0))) {
            const ExecStatusType status = PQresultStatus(rest.get());
            if (status == PGRES_FATAL_ERROR || status == PGRES_BAD_RESPONSE || status == PGRES_NONFATAL_ERROR)
                throw failure(rest.get());
            endCopy(status);
        }
        m_atEnd = true;
        nameOrigins();
    }

    // The table column behind each column, for the grid's edits, once the connection is free to
    // ask the catalogue.
    void nameOrigins()
    {
        const std::vector<pg::ColumnOrigin> origins = pg::columnOrigins(m_db, m_sources);
        for (std::size_t i = 0; i < origins.size() && i < m_fields.size(); ++i) {
            Field& f = m_fields[i];
            if (origins[i].column.isEmpty())
                continue;
            f.table = origins[i].table;
            f.origin = origins[i].column;
            f.qualified = m_db.driver()->escapeIdentifier(f.table, QSqlDriver::TableName);
        }
    }

    bool keep(const PGresult* result, int row) const
    {
        if (m_filter.isEmpty())
            return true;
        return !PQgetisnull(result, row, 0)
            && QString::fromUtf8(PQgetvalue(result, row, 0), PQgetlength(result, row, 0))
                       .compare(m_filter, Qt::CaseInsensitive)
            == 0;
    }

    void append(ResultStore& store, const PGresult* result, int row) const
    {
        const int columns = int(m_fields.size());
        for (int i = 0; i < columns; ++i) {
            if (PQgetisnull(result, row, i)) {
                store.appendNull(i);
                continue;
            }
            const char* value = PQgetvalue(result, row, i);
            const std::string_view text(value, std::size_t(PQgetlength(result, row, i)));
            appendCell(store, i, m_types[std::size_t(i)], text);
        }
        store.endRow();
    }

    static void appendCell(ResultStore& store, int column, CellType type, std::string_view text)
    {
        const char* end = text.data() + text.size();
        switch (type) {
        case CellType::Integer: {
            std::int64_t number = 0;
            if (std::from_chars(text.data(), end, number).ptr == end)
                return store.appendInteger(column, number);
            break;
        }
        case CellType::Real: {
            double number = 0;
            if (std::from_chars(text.data(), end, number).ptr == end)
                return store.appendReal(column, number);
            break;
        }
        case CellType::Boolean: return store.appendInteger(column, text == "t" ? 1 : 0);
        case CellType::Blob: {
            std::size_t length = 0;
            unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(text.data()), &length);
            if (!bytes)
                break;
            store.appendBlob(column, std::string_view(reinterpret_cast<const char*>(bytes), length));
            PQfreemem(bytes);
            return;
        }
        case CellType::TimeOfDay:
            // "12:34:56.789+02" reads "12:34:56", as Qt's driver showed a time.
            if (text.size() >= 8 && text[2] == ':')
                return store.appendText(column, text.substr(0, 8));
            break;
        case CellType::Moment:
            // "2011-06-01 12:34:56.5" reads "2011-06-01 12:34:56", and midnight the day alone.
            if (text.size() >= 19 && text[4] == '-' && text[10] == ' ') {
                const bool midnight = text.substr(11, 8) == "00:00:00" && (text.size() == 19 || text[19] != '.');
                return store.appendText(column, text.substr(0, midnight ? 10 : 19));
            }
            break;
        case CellType::Text: break;
        }
        store.appendText(column, text);
    }

    QSqlDatabase m_db;
    PGconn* m_connection;
    QString m_sql;
    QString m_filter;
    rowsource::WaitHandler m_wait;
    QElapsedTimer m_sinceAsked;
    std::vector<CellType> m_types;
    std::vector<pg::ColumnSource> m_sources;
    Result m_pending = owned(nullptr);   // the first row, read while opening
    bool m_done = false;                 // the server has sent everything for the statement
    bool m_stopped = false;
};

} // namespace

namespace pg {

rowsource::Opened openRows(const QSqlDatabase& db, const QString& sql, const QString& filter, Want want,
                           const QString& messagePrefix, rowsource::WaitHandler wait)
{
    auto rows = std::make_unique<PgRows>(db, nativeConnection(db), sql, filter, std::move(wait));
    rowsource::Opened opened = rows->start(want, messagePrefix);
    if (want == Want::NoRows)
        return opened;
    if (rows->fields().empty()) {   // "SELECT" without columns
        if (want == Want::Rows)
            throw racr::DatabaseError(messagePrefix + QStringLiteral("CommandText does not return a result set"));
        return opened;
    }
    opened.rows = std::move(rows);
    return opened;
}

} // namespace pg
