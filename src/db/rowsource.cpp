#include "db/rowsource.h"

#include "common/error.h"
#include "db/connection.h"
#include "db/pgcancel.h"
#include "db/pgrows.h"
#include "db/rowbatches.h"

#include <QElapsedTimer>
#include <QHash>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

#include <sqlite3.h>

#include <atomic>
#include <future>
#include <thread>

using queryresult::Affinity;
using queryresult::Field;
using queryresult::engineText;
using rowsource::Want;

namespace {

// SQLite's own rules for the declared type of a column.
Affinity sqliteAffinity(const char* declared)
{
    if (!declared)
        return Affinity::None;
    const QByteArray type = QByteArray(declared).toUpper();
    if (type.contains("INT"))
        return Affinity::Integer;
    if (type.contains("CHAR") || type.contains("CLOB") || type.contains("TEXT"))
        return Affinity::Text;
    if (type.isEmpty() || type.contains("BLOB"))
        return Affinity::None;
    return Affinity::Real;
}

Affinity metaTypeAffinity(QMetaType type)
{
    switch (type.id()) {
    case QMetaType::Bool:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: return Affinity::Integer;
    case QMetaType::Float:
    case QMetaType::Double: return Affinity::Real;
    case QMetaType::QString: return Affinity::Text;
    default: return Affinity::None;
    }
}

sqlite3* sqliteHandle(const QSqlDatabase& db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        return *static_cast<sqlite3* const*>(handle.constData());
    return nullptr;
}

QString sqliteMessage(sqlite3* db)
{
    return QString::fromUtf8(sqlite3_errmsg(db));
}

// The engine's message for a statement it could not compile, with the place it stopped at: SQLite
// counts bytes of the UTF-8 text, the program characters of the QString it came from.
racr::EngineError compileError(sqlite3* db, const QByteArray& text)
{
    const int offset = sqlite3_error_offset(db);
    const qsizetype position = offset < 0 || offset > text.size() ? -1 : QString::fromUtf8(text.constData(), offset).size();
    return racr::EngineError(sqliteMessage(db), position);
}

bool budgetSpent(const QElapsedTimer& clock, std::chrono::milliseconds budget)
{
    return budget.count() > 0 && clock.elapsed() >= budget.count();
}

// SQLite is read through its own interface: Qt's row-by-row QVariant path takes about twice as
// long as the database itself on a million rows.
class SqliteRows : public RowSource {
public:
    SqliteRows(sqlite3* db, sqlite3_stmt* statement, std::vector<Field> fields, QString filter,
               rowsource::WaitHandler wait)
        : m_db(db), m_statement(statement), m_filter(std::move(filter)), m_wait(std::move(wait))
    {
        m_fields = std::move(fields);
    }
    ~SqliteRows() override { sqlite3_finalize(m_statement); }

    Pausing pausing() const override { return Pausing::SharesConnection; }

    // The engine is stepped on a thread of its own while this one fills the store: on two cores a
    // large result comes in in about the engine's own time. Meanwhile this thread keeps the windows
    // alive through the wait handler every 50 ms, as the engine's wait for a server does; the
    // connection is the reading thread's alone until the read returns.
    int read(ResultStore& store, int maxRows, std::chrono::milliseconds budget) override
    {
        QElapsedTimer clock;
        clock.start();
        m_stopAsked = false;
        if (m_wait)
            sqlite3_progress_handler(m_db, 20000, &SqliteRows::progress, this);
        RowBatches batches;
        std::atomic<bool> enough = false;
        int added = 0;
        int rc = SQLITE_ROW;
        std::exception_ptr readError;
        std::thread engine([&] {
            try {
                while (added < maxRows && !enough.load(std::memory_order_relaxed)) {
                    rc = sqlite3_step(m_statement);
                    if (rc != SQLITE_ROW)
                        break;
                    if (!keep())
                        continue;
                    append(batches);
                    ++added;
                }
            } catch (...) {   // out of memory for a batch
                readError = std::current_exception();
            }
            batches.close();
        });
        const auto ended = qScopeGuard([&] {
            enough = true;
            batches.dropAll();
            engine.join();
            sqlite3_progress_handler(m_db, 0, nullptr, nullptr);
        });
        QElapsedTimer waitClock;
        waitClock.start();
        while (batches.storeNext(store, std::chrono::milliseconds(5))) {
            if (budgetSpent(clock, budget))
                enough = true;
            if (m_wait && waitClock.elapsed() >= 50) {
                waitClock.restart();
                if (m_wait()) {
                    m_stopAsked = true;
                    enough = true;
                }
            }
        }
        if (readError)
            std::rethrow_exception(readError);
        if (m_stopAsked)
            throw racr::Cancelled();
        if (rc == SQLITE_DONE)
            m_atEnd = true;
        else if (rc != SQLITE_ROW)
            throw racr::EngineError(sqliteMessage(m_db));
        return added;
    }

    bool nextRow() override
    {
        // Stepping a finished statement would run it again from the start.
        if (m_atEnd)
            return false;
        int rc;
        while ((rc = sqlite3_step(m_statement)) == SQLITE_ROW)
            if (keep())
                return true;
        if (rc != SQLITE_DONE)
            throw racr::EngineError(sqliteMessage(m_db));
        m_atEnd = true;
        return false;
    }

    CellView cell(int column) const override
    {
        // One call into the statement per cell; the value's own accessors are cheap. The value is
        // unprotected, which is safe while only this thread uses the connection.
        sqlite3_value* value = sqlite3_column_value(m_statement, column);
        CellView cell;
        switch (sqlite3_value_type(value)) {
        case SQLITE_INTEGER:
            cell.kind = ResultStore::Kind::Integer;
            cell.integer = sqlite3_value_int64(value);
            break;
        case SQLITE_FLOAT:
            cell.kind = ResultStore::Kind::Real;
            cell.real = sqlite3_value_double(value);
            break;
        case SQLITE_TEXT:
            cell.kind = ResultStore::Kind::Text;
            cell.bytes = {reinterpret_cast<const char*>(sqlite3_value_text(value)), std::size_t(sqlite3_value_bytes(value))};
            break;
        case SQLITE_BLOB:
            cell.kind = ResultStore::Kind::Blob;
            cell.bytes = {static_cast<const char*>(sqlite3_value_blob(value)), std::size_t(sqlite3_value_bytes(value))};
            break;
        default: break;
        }
        return cell;
    }

private:
    // Asked on the reading thread now and then while the engine works.
    static int progress(void* self)
    {
        return static_cast<const SqliteRows*>(self)->m_stopAsked.load() ? 1 : 0;
    }

    bool keep() const
    {
        if (m_filter.isEmpty())
            return true;
        const auto* first = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, 0));
        return first
            && QString::fromUtf8(first, sqlite3_column_bytes(m_statement, 0)).compare(m_filter, Qt::CaseInsensitive) == 0;
    }

    void append(RowBatches& batches) const
    {
        const int columns = int(m_fields.size());
        for (int i = 0; i < columns; ++i)
            batches.add(cell(i));
        batches.endRow();
    }

    sqlite3* m_db;
    sqlite3_stmt* m_statement;
    QString m_filter;
    rowsource::WaitHandler m_wait;
    std::atomic<bool> m_stopAsked = false;
};

// Rows through Qt's driver (ODBC), read at once: its forward-only result holds the connection.
class GenericRows : public RowSource {
public:
    GenericRows(QSqlQuery query, std::vector<Field> fields, QString filter)
        : m_query(std::move(query)), m_filter(std::move(filter))
    {
        m_fields = std::move(fields);
    }

    Pausing pausing() const override { return Pausing::Never; }

    int read(ResultStore& store, int maxRows, std::chrono::milliseconds budget) override
    {
        QElapsedTimer clock;
        clock.start();
        const int columns = int(m_fields.size());
        int added = 0;
        while (added < maxRows && !budgetSpent(clock, budget)) {
            if (!m_query.next()) {
                if (m_query.lastError().isValid())
                    throw racr::EngineError(engineText(m_query.lastError()));
                m_atEnd = true;
                break;
            }
            if (!m_filter.isEmpty()
                && (m_query.isNull(0) || m_query.value(0).toString().compare(m_filter, Qt::CaseInsensitive) != 0))
                continue;
            for (int i = 0; i < columns; ++i) {
                if (m_query.isNull(i))
                    store.appendNull(i);
                else
                    store.appendVariant(i, m_query.value(i));
            }
            store.endRow();
            ++added;
        }
        return added;
    }

private:
    QSqlQuery m_query;
    QString m_filter;
};

// Runs a statement whose rows are not wanted (an UPDATE, a CREATE) to its end. With a wait
// handler it steps on a thread of its own while this thread keeps the windows alive, as a
// result's rows are read: a long UPDATE then stops at the Stop button, Esc or the window's close
// (also at SIGTERM), through the progress handler, which makes SQLite give the statement up
// (SQLITE_INTERRUPT) and roll its changes back. Throws racr::Cancelled after such a stop.
int stepToEnd(sqlite3* db, sqlite3_stmt* statement, const rowsource::WaitHandler& wait)
{
    int rc = SQLITE_ROW;
    if (!wait) {
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        }
        return rc;
    }
    std::atomic<bool> stopAsked = false;
    const auto progress = [](void* flag) { return static_cast<std::atomic<bool>*>(flag)->load() ? 1 : 0; };
    sqlite3_progress_handler(db, 20000, progress, &stopAsked);
    std::promise<void> finished;
    std::future<void> ended = finished.get_future();
    std::thread engine([&] {
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        }
        finished.set_value();
    });
    const auto joined = qScopeGuard([&] {
        stopAsked = true;   // a wait handler that threw must not leave the engine running
        engine.join();
        sqlite3_progress_handler(db, 0, nullptr, nullptr);
    });
    while (ended.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        if (!stopAsked && wait())
            stopAsked = true;
    }
    if (stopAsked && rc == SQLITE_INTERRUPT)
        throw racr::Cancelled();
    return rc;
}

rowsource::Opened openSqlite(sqlite3* db, Connection& connection, const QString& sql, const QString& filter,
                             Want want, const QString& prefix, rowsource::WaitHandler wait)
{
    // Large sorts in the statement itself then use both cores.
    if (sqlite3_limit(db, SQLITE_LIMIT_WORKER_THREADS, -1) < 2)
        sqlite3_limit(db, SQLITE_LIMIT_WORKER_THREADS, 2);

    const QByteArray text = sql.toUtf8();
    const char* end = text.constData() + text.size();
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &raw, &tail) != SQLITE_OK)
        throw compileError(db, text);
    std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> statement(raw, sqlite3_finalize);
    if (!statement)
        throw racr::DatabaseError(prefix + QStringLiteral("There is no statement to run: the text holds only comments."));
    if (tail && tail < end) {
        sqlite3_stmt* extra = nullptr;
        const int rc = sqlite3_prepare_v2(db, tail, int(end - tail), &extra, nullptr);
        sqlite3_finalize(extra);
        if (rc != SQLITE_OK || extra)
            throw racr::DatabaseError(prefix + QStringLiteral("The text holds more than one statement; run one statement at a time."));
    }

    sqlite3_stmt* st = statement.get();
    const int columns = sqlite3_column_count(st);
    rowsource::Opened opened;
    if (columns == 0 || want == Want::NoRows) {
        const auto before = sqlite3_total_changes64(db);
        const int rc = stepToEnd(db, st, wait);
        if (rc != SQLITE_DONE)
            throw racr::EngineError(sqliteMessage(db));
        // sqlite3_changes() keeps the count of the last INSERT, UPDATE or DELETE, so a statement
        // that changed nothing (CREATE, an UPDATE matching no row) must not report it again.
        if (columns > 0)
            opened.rowsAffected = -1;
        else
            opened.rowsAffected = sqlite3_total_changes64(db) == before ? 0 : int(sqlite3_changes64(db));
        if (columns == 0 && want == Want::Rows)
            throw racr::DatabaseError(prefix + QStringLiteral("CommandText does not return a result set"));
        return opened;
    }

    std::vector<Field> fields{std::size_t(columns)};
    QSqlDriver* driver = connection.database().driver();
    for (int i = 0; i < columns; ++i) {
        Field& f = fields[std::size_t(i)];
        f.name = QString::fromUtf8(sqlite3_column_name(st, i));
        f.affinity = sqliteAffinity(sqlite3_column_decltype(st, i));
        const char* table = sqlite3_column_table_name(st, i);
        const char* origin = sqlite3_column_origin_name(st, i);
        if (table && origin) {
            const QString schema = QString::fromUtf8(sqlite3_column_database_name(st, i));
            f.table = QString::fromUtf8(table);
            f.qualified = driver->escapeIdentifier(f.table, QSqlDriver::TableName);
            if (schema != QLatin1String("main")) {
                f.qualified = driver->escapeIdentifier(schema, QSqlDriver::TableName) + '.' + f.qualified;
                f.table = schema + '.' + f.table;
            }
            f.origin = QString::fromUtf8(origin);
        }
    }
    opened.rows = std::make_unique<SqliteRows>(db, statement.release(), std::move(fields), filter, std::move(wait));
    return opened;
}

rowsource::Opened openGeneric(const QSqlDatabase& db, const QString& sql, const QString& filter, Want want,
                              const QString& prefix)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(sql))
        throw racr::EngineError(engineText(query.lastError()));
    rowsource::Opened opened;
    if (!query.isSelect() || want == Want::NoRows) {
        opened.rowsAffected = query.isSelect() ? -1 : query.numRowsAffected();
        if (!query.isSelect() && want == Want::Rows)
            throw racr::DatabaseError(prefix + QStringLiteral("CommandText does not return a result set"));
        return opened;
    }

    const QSqlRecord record = query.record();
    std::vector<Field> fields(std::size_t(record.count()));
    QHash<QString, QSqlRecord> tableColumns;
    for (int i = 0; i < record.count(); ++i) {
        Field& f = fields[std::size_t(i)];
        const QSqlField field = record.field(i);
        f.name = field.name();
        f.affinity = metaTypeAffinity(field.metaType());
        f.table = field.tableName();
        // Qt 6.4's ODBC driver pads the name with NUL characters up to its buffer length.
        if (const qsizetype nul = f.table.indexOf(QChar(0)); nul >= 0)
            f.table.truncate(nul);
        if (f.table.isEmpty())
            continue;
        // ODBC names a column's table but not the column behind an alias: a name that is not a
        // column of that table stays read-only rather than being written to the wrong place.
        if (!tableColumns.contains(f.table))
            tableColumns.insert(f.table, db.record(f.table));
        const QSqlRecord& columns = tableColumns[f.table];
        for (int c = 0; c < columns.count(); ++c)
            if (columns.fieldName(c).compare(f.name, Qt::CaseInsensitive) == 0)
                f.origin = columns.fieldName(c);
        f.qualified = db.driver()->escapeIdentifier(f.table, QSqlDriver::TableName);
    }
    opened.rows = std::make_unique<GenericRows>(std::move(query), std::move(fields), filter);
    return opened;
}

} // namespace

bool RowSource::nextRow()
{
    if (m_block && ++m_blockRow < m_block->rowCount())
        return true;
    // A fresh store for each block: the previous one is freed whole.
    m_block.reset();
    m_blockRow = 0;
    while (!m_atEnd) {
        auto block = std::make_unique<ResultStore>(int(m_fields.size()));
        if (read(*block, kBlockRows, std::chrono::milliseconds(0)) > 0) {
            m_block = std::move(block);
            return true;
        }
    }
    return false;
}

CellView RowSource::cell(int column) const
{
    return m_block->view(m_blockRow, column);
}

namespace rowsource {

Statement statementOf(Connection& connection, const QString& text, const QString& messagePrefix)
{
    static const QRegularExpression exec(
        QStringLiteral("^\\s*exec(?=\\s|$)\\s*(\\S*)\\s*(.*?)\\s*$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    Statement statement{text, {}};
    if (const auto call = exec.match(text); call.hasMatch()) {
        if (call.captured(1).isEmpty())
            throw racr::DatabaseError(messagePrefix + QStringLiteral("exec needs the name of a saved query: exec NAME [VALUE]"));
        if (!connection.isOpen())
            connection.open();
        statement.sql = QStringLiteral("SELECT * FROM ")
            + connection.database().driver()->escapeIdentifier(call.captured(1), QSqlDriver::TableName);
        statement.filter = call.captured(2);
    }
    if (statement.sql.trimmed().isEmpty())
        throw racr::DatabaseError(messagePrefix + QStringLiteral("There is no statement to run: the text is empty."));
    if (!connection.isOpen())
        connection.open();
    return statement;
}

Opened open(Connection& connection, const QString& sql, const QString& filter, Want want, const QString& messagePrefix,
            WaitHandler wait)
{
    const QSqlDatabase db = connection.database();
    if (sqlite3* handle = sqliteHandle(db)) {
        try {
            return openSqlite(handle, connection, sql, filter, want, messagePrefix, std::move(wait));
        } catch (const racr::EngineError& error) {
            // On a file of another layout the engine's words alone do not say what to do.
            if (connection.layoutNote().isEmpty()
                || !(error.message().startsWith(QLatin1String("no such table"))
                     || error.message().startsWith(QLatin1String("no such column"))))
                throw;
            throw racr::EngineError(error.message() + QStringLiteral(". ") + connection.layoutNote(), error.position());
        }
    }
    if (pg::nativeConnection(db))
        return pg::openRows(db, sql, filter, want, messagePrefix, std::move(wait));
    return openGeneric(db, sql, filter, want, messagePrefix);
}

} // namespace rowsource
