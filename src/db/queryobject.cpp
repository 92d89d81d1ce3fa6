#include "queryobject.h"

#include "common/error.h"
#include "connection.h"
#include "pgcolumns.h"
#include "queryresult.h"

#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

#include <sqlite3.h>

#include <algorithm>
#include <numeric>
#include <optional>

using queryresult::providerText;
using queryresult::sameValue;

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

QVariant typedValue(const QString& text, Affinity affinity)
{
    if (text.isEmpty())
        return {};
    if (affinity == Affinity::Integer || affinity == Affinity::Real) {
        bool ok = false;
        const qint64 whole = text.trimmed().toLongLong(&ok);
        if (ok)
            return affinity == Affinity::Integer ? QVariant(whole) : QVariant(double(whole));
        const double real = text.trimmed().toDouble(&ok);
        if (ok)
            return real;
    }
    return text;
}

struct ExecCall {
    QString name;
    QString value;
};

std::optional<ExecCall> parseExec(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*exec(?=\\s|$)\\s*(\\S*)\\s*(.*?)\\s*$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const auto match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return ExecCall{match.captured(1), match.captured(2)};
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

using Statement = std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)>;

} // namespace

QueryObject::QueryObject(Connection& connection, const QString& objectName, QObject* parent)
    : QObject(parent), m_connection(connection)
{
    setObjectName(objectName);
}

QueryObject::~QueryObject() = default;

QString QueryObject::message(const QString& text) const
{
    return objectName() + QStringLiteral(": ") + text;
}

void QueryObject::setText(const QString& sql)
{
    close();
    m_text = sql;
}

void QueryObject::open()
{
    perform(Want::Rows);
}

void QueryObject::execute()
{
    perform(Want::NoRows);
}

bool QueryObject::run()
{
    return perform(Want::Either);
}

bool QueryObject::perform(Want want)
{
    close();
    m_rowsAffected = 0;
    QString sql = m_text;
    QString filter;
    if (const auto call = parseExec(m_text)) {
        if (call->name.isEmpty())
            throw racr::DatabaseError(message(QStringLiteral("exec needs the name of a saved query: exec NAME [VALUE]")));
        if (!m_connection.isOpen())
            m_connection.open();
        sql = QStringLiteral("SELECT * FROM ")
              + m_connection.database().driver()->escapeIdentifier(call->name, QSqlDriver::TableName);
        filter = call->value;
    }
    if (sql.trimmed().isEmpty())
        throw racr::DatabaseError(message(QStringLiteral("There is no statement to run: the text is empty.")));
    if (!m_connection.isOpen())
        m_connection.open();

    // SQLite is read through its own interface: Qt's row-by-row QVariant path takes about twice
    // as long as the database itself on a million rows.
    std::unique_ptr<Result> result;
    if (sqlite3* handle = sqliteHandle(m_connection.database()))
        result = fetchSqlite(handle, sql, filter, want);
    else
        result = fetchGeneric(sql, filter, want);
    if (!result)
        return false;

    const std::uint32_t rows = result->store.rowCount();
    result->natural.resize(rows);
    std::iota(result->natural.begin(), result->natural.end(), 0u);
    result->order = result->natural;
    result->current = rows ? 0 : -1;
    result->eof = rows == 0;
    Q_EMIT resultAboutToChange();
    m_result = std::move(result);
    Q_EMIT resultChanged();
    if (rows)
        Q_EMIT afterScroll();
    return true;
}

std::unique_ptr<QueryObject::Result> QueryObject::fetchSqlite(void* handle, const QString& sql,
                                                              const QString& filter, Want want)
{
    auto* db = static_cast<sqlite3*>(handle);
    // Large sorts in the statement itself then use both cores.
    if (sqlite3_limit(db, SQLITE_LIMIT_WORKER_THREADS, -1) < 2)
        sqlite3_limit(db, SQLITE_LIMIT_WORKER_THREADS, 2);

    const QByteArray text = sql.toUtf8();
    const char* end = text.constData() + text.size();
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &raw, &tail) != SQLITE_OK)
        throw racr::ProviderError(sqliteMessage(db));
    Statement statement(raw, sqlite3_finalize);
    if (!statement)
        throw racr::DatabaseError(message(QStringLiteral("There is no statement to run: the text holds only comments.")));
    if (tail && tail < end) {
        sqlite3_stmt* extra = nullptr;
        const int rc = sqlite3_prepare_v2(db, tail, int(end - tail), &extra, nullptr);
        sqlite3_finalize(extra);
        if (rc != SQLITE_OK || extra)
            throw racr::DatabaseError(message(QStringLiteral("The text holds more than one statement; run one statement at a time.")));
    }

    sqlite3_stmt* st = statement.get();
    const int columns = sqlite3_column_count(st);
    if (columns == 0 || want == Want::NoRows) {
        const auto before = sqlite3_total_changes64(db);
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE)
            throw racr::ProviderError(sqliteMessage(db));
        // sqlite3_changes() keeps the count of the last INSERT, UPDATE or DELETE, so a statement
        // that changed nothing (CREATE, an UPDATE matching no row) must not report it again.
        if (columns > 0)
            m_rowsAffected = -1;
        else
            m_rowsAffected = sqlite3_total_changes64(db) == before ? 0 : int(sqlite3_changes64(db));
        if (columns == 0 && want == Want::Rows)
            throw racr::DatabaseError(message(QStringLiteral("CommandText does not return a result set")));
        return nullptr;
    }

    std::vector<Field> fields{std::size_t(columns)};
    for (int i = 0; i < columns; ++i) {
        Field& f = fields[std::size_t(i)];
        f.name = QString::fromUtf8(sqlite3_column_name(st, i));
        f.affinity = sqliteAffinity(sqlite3_column_decltype(st, i));
        const char* table = sqlite3_column_table_name(st, i);
        const char* origin = sqlite3_column_origin_name(st, i);
        if (table && origin) {
            const QString schema = QString::fromUtf8(sqlite3_column_database_name(st, i));
            QSqlDriver* driver = m_connection.database().driver();
            f.table = QString::fromUtf8(table);
            f.qualified = driver->escapeIdentifier(f.table, QSqlDriver::TableName);
            if (schema != QLatin1String("main")) {
                f.qualified = driver->escapeIdentifier(schema, QSqlDriver::TableName) + '.' + f.qualified;
                f.table = schema + '.' + f.table;
            }
            f.origin = QString::fromUtf8(origin);
        }
    }

    auto result = std::make_unique<Result>(std::move(fields));
    ResultStore& store = result->store;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        if (!filter.isEmpty()) {
            const auto* first = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            const QString value = QString::fromUtf8(first, sqlite3_column_bytes(st, 0));
            if (!first || value.compare(filter, Qt::CaseInsensitive) != 0)
                continue;
        }
        for (int i = 0; i < columns; ++i) {
            switch (sqlite3_column_type(st, i)) {
            case SQLITE_INTEGER: store.appendInteger(i, sqlite3_column_int64(st, i)); break;
            case SQLITE_FLOAT: store.appendReal(i, sqlite3_column_double(st, i)); break;
            case SQLITE_TEXT: {
                const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
                store.appendText(i, std::string_view(bytes, std::size_t(sqlite3_column_bytes(st, i))));
                break;
            }
            case SQLITE_BLOB: {
                const auto* bytes = static_cast<const char*>(sqlite3_column_blob(st, i));
                store.appendBlob(i, std::string_view(bytes, std::size_t(sqlite3_column_bytes(st, i))));
                break;
            }
            default: store.appendNull(i); break;
            }
        }
        store.endRow();
    }
    if (rc != SQLITE_DONE)
        throw racr::ProviderError(sqliteMessage(db));
    return result;
}

std::unique_ptr<QueryObject::Result> QueryObject::fetchGeneric(const QString& sql, const QString& filter,
                                                               Want want)
{
    QSqlDatabase db = m_connection.database();
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(sql))
        throw racr::ProviderError(providerText(query.lastError()));
    if (!query.isSelect() || want == Want::NoRows) {
        m_rowsAffected = query.isSelect() ? -1 : query.numRowsAffected();
        if (!query.isSelect() && want == Want::Rows)
            throw racr::DatabaseError(message(QStringLiteral("CommandText does not return a result set")));
        return nullptr;
    }

    const QSqlRecord record = query.record();
    // PostgreSQL names each column's table column itself; read before the rows are.
    const std::vector<pg::ColumnSource> sources = pg::columnSources(query);
    std::vector<Field> fields(std::size_t(record.count()));
    QHash<QString, QSqlRecord> tableColumns;
    for (int i = 0; i < record.count(); ++i) {
        Field& f = fields[std::size_t(i)];
        const QSqlField field = record.field(i);
        f.name = field.name();
        f.affinity = metaTypeAffinity(field.metaType());
        if (!sources.empty())
            continue;
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

    auto result = std::make_unique<Result>(std::move(fields));
    const int columns = record.count();
    while (query.next()) {
        if (!filter.isEmpty()
            && (query.isNull(0) || query.value(0).toString().compare(filter, Qt::CaseInsensitive) != 0))
            continue;
        for (int i = 0; i < columns; ++i) {
            if (query.isNull(i))
                result->store.appendNull(i);
            else
                result->store.appendVariant(i, query.value(i));
        }
        result->store.endRow();
    }
    if (query.lastError().isValid())
        throw racr::ProviderError(providerText(query.lastError()));
    query.finish();
    if (!sources.empty()) {
        const std::vector<pg::ColumnOrigin> origins = pg::columnOrigins(db, sources);
        for (std::size_t i = 0; i < origins.size(); ++i) {
            Field& f = result->fields[i];
            if (origins[i].column.isEmpty())
                continue;
            f.table = origins[i].table;
            f.origin = origins[i].column;
            f.qualified = db.driver()->escapeIdentifier(f.table, QSqlDriver::TableName);
        }
    }
    return result;
}

bool QueryObject::isOpen() const
{
    return m_result != nullptr;
}

void QueryObject::close()
{
    if (!m_result)
        return;
    Q_EMIT resultAboutToChange();
    m_result.reset();
    Q_EMIT resultChanged();
}

void QueryObject::requireOpen() const
{
    if (!m_result)
        throw racr::DatabaseError(message(QStringLiteral("The result is closed; run a statement first.")));
}

void QueryObject::requireCurrentRow() const
{
    requireOpen();
    if (m_result->current < 0)
        throw racr::DatabaseError(message(QStringLiteral("The result has no rows.")));
}

int QueryObject::recordCount() const
{
    return m_result ? int(m_result->order.size()) : 0;
}

int QueryObject::recNo() const
{
    if (!m_result || m_result->current < 0 || m_result->state == State::Insert)
        return -1;
    return m_result->current + 1;
}

int QueryObject::currentRow() const
{
    return m_result ? m_result->current : -1;
}

QString QueryObject::sort() const
{
    return m_result ? m_result->sort : QString();
}

void QueryObject::setSort(const QString& sort)
{
    requireOpen();
    checkBrowseMode();
    Result& r = *m_result;
    const QString wanted = sort.trimmed();
    std::vector<std::uint32_t> order;
    QString text;
    if (wanted.isEmpty()) {
        order = r.natural;
    } else {
        QString name = wanted;
        bool descending = false;
        static const QRegularExpression direction(QStringLiteral("^(.*\\S)\\s+(ASC|DESC)$"),
                                                  QRegularExpression::CaseInsensitiveOption);
        if (const auto match = direction.match(wanted); match.hasMatch()) {
            name = match.captured(1);
            descending = match.captured(2).compare(QLatin1String("DESC"), Qt::CaseInsensitive) == 0;
        }
        int field = -1;
        for (Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
            for (std::size_t i = 0; field < 0 && i < r.fields.size(); ++i)
                if (r.fields[i].name.compare(name, cs) == 0)
                    field = int(i);
        }
        if (field < 0)
            throw racr::DatabaseError(message(QStringLiteral("Cannot sort by \"%1\": the result has no such field.").arg(name)));
        order = r.store.sorted(r.natural, field, descending);
        text = r.fields[std::size_t(field)].name + (descending ? QStringLiteral(" DESC") : QStringLiteral(" ASC"));
    }
    Q_EMIT resultAboutToChange();
    r.order = std::move(order);
    r.sort = text;
    r.current = r.order.empty() ? -1 : 0;
    r.eof = r.order.empty();
    Q_EMIT resultChanged();
    Q_EMIT afterScroll();
}

QStringList QueryObject::fieldNames() const
{
    QStringList names;
    if (m_result)
        for (const Field& f : m_result->fields)
            names.append(f.name);
    return names;
}

int QueryObject::fieldCount() const
{
    return m_result ? int(m_result->fields.size()) : 0;
}

QVariant QueryObject::valueAt(int row, int field) const
{
    if (!m_result || row < 0 || row >= recordCount() || field < 0 || field >= fieldCount())
        return {};
    const Result& r = *m_result;
    if (row == r.current && r.state != State::Browse)
        return r.pending[std::size_t(field)];
    return r.store.value(r.order[std::size_t(row)], field);
}

QString QueryObject::textAt(int row, int field) const
{
    if (!m_result || row < 0 || row >= recordCount() || field < 0 || field >= fieldCount())
        return {};
    const Result& r = *m_result;
    if (row == r.current && r.state != State::Browse) {
        const QVariant& v = r.pending[std::size_t(field)];
        if (v.typeId() == QMetaType::Double)
            return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
        return v.toString();
    }
    return r.store.text(r.order[std::size_t(row)], field);
}

bool QueryObject::isBlob(int row, int field) const
{
    const QVariant v = valueAt(row, field);
    return v.typeId() == QMetaType::QByteArray;
}

QVariant QueryObject::value(int field) const
{
    return m_result ? valueAt(m_result->current, field) : QVariant();
}

QString QueryObject::fieldText(int field) const
{
    return m_result ? textAt(m_result->current, field) : QString();
}

void QueryObject::first()
{
    requireOpen();
    checkBrowseMode();
    m_result->current = m_result->order.empty() ? -1 : 0;
    m_result->eof = m_result->order.empty();
    Q_EMIT afterScroll();
}

void QueryObject::next()
{
    requireOpen();
    checkBrowseMode();
    Result& r = *m_result;
    if (r.current + 1 < int(r.order.size())) {
        ++r.current;
        Q_EMIT afterScroll();
    } else {
        r.eof = true;
    }
}

bool QueryObject::eof() const
{
    return !m_result || m_result->eof;
}

void QueryObject::moveTo(int row)
{
    requireOpen();
    Result& r = *m_result;
    if (row < 0 || row >= int(r.order.size()))
        throw racr::DatabaseError(message(QStringLiteral("There is no row %1.").arg(row + 1)));
    if (row == r.current)
        return;
    // Leaving an untouched new row drops it, which moves every row after it up by one.
    const int before = int(r.order.size());
    const int from = r.current;
    checkBrowseMode();
    if (int(r.order.size()) < before && row > from)
        --row;
    r.current = row;
    r.eof = false;
    Q_EMIT afterScroll();
}

QueryObject::State QueryObject::state() const
{
    return m_result ? m_result->state : State::Inactive;
}

bool QueryObject::isModified() const
{
    return m_result && m_result->state != State::Browse && m_result->modified;
}

bool QueryObject::isReadOnly(int field) const
{
    return !m_result || field < 0 || field >= fieldCount() || m_result->fields[std::size_t(field)].origin.isEmpty();
}

void QueryObject::edit()
{
    requireCurrentRow();
    Result& r = *m_result;
    if (r.state != State::Browse)
        return;
    const std::uint32_t row = r.order[std::size_t(r.current)];
    r.pending.assign(r.fields.size(), QVariant());
    for (int f = 0; f < int(r.fields.size()); ++f)
        r.pending[std::size_t(f)] = r.store.value(row, f);
    r.modified = false;
    r.state = State::Edit;
    Q_EMIT rowChanged(r.current);
}

void QueryObject::insert()
{
    requireOpen();
    checkBrowseMode();
    insertAt(std::max(m_result->current, 0));
}

void QueryObject::append()
{
    requireOpen();
    checkBrowseMode();
    insertAt(int(m_result->order.size()));
}

void QueryObject::insertAt(int position)
{
    Result& r = *m_result;
    Q_EMIT rowAboutToBeInserted(position);
    const std::uint32_t row = r.store.appendEmptyRow();
    r.order.insert(r.order.begin() + position, row);
    // In statement order the new row sits where it was made; under a sort it joins the end of
    // the statement's order, where an empty sort will show it.
    if (r.sort.isEmpty())
        r.natural.insert(r.natural.begin() + position, row);
    else
        r.natural.push_back(row);
    r.current = position;
    r.eof = false;
    r.state = State::Insert;
    r.pending.assign(r.fields.size(), QVariant());
    r.modified = false;
    Q_EMIT rowInserted(position);
    Q_EMIT afterScroll();
}

void QueryObject::removeRow(int position)
{
    Result& r = *m_result;
    Q_EMIT rowAboutToBeRemoved(position);
    const std::uint32_t row = r.order[std::size_t(position)];
    r.order.erase(r.order.begin() + position);
    r.natural.erase(std::find(r.natural.begin(), r.natural.end(), row));
    r.state = State::Browse;
    r.current = std::min(position, int(r.order.size()) - 1);
    r.eof = r.order.empty();
    Q_EMIT rowRemoved(position);
    Q_EMIT afterScroll();
}

void QueryObject::setFieldText(int field, const QString& text)
{
    requireCurrentRow();
    if (field < 0 || field >= fieldCount())
        throw racr::DatabaseError(message(QStringLiteral("There is no field %1.").arg(field)));
    setFieldValue(field, typedValue(text, m_result->fields[std::size_t(field)].affinity));
}

void QueryObject::setFieldValue(int field, const QVariant& value)
{
    requireCurrentRow();
    Result& r = *m_result;
    if (field < 0 || field >= int(r.fields.size()))
        throw racr::DatabaseError(message(QStringLiteral("There is no field %1.").arg(field)));
    if (isReadOnly(field))
        throw racr::DatabaseError(message(
            QStringLiteral("Field \"%1\" cannot be changed: the statement computes it, and only columns read from a table can be edited.")
                .arg(r.fields[std::size_t(field)].name)));
    edit();
    if (sameValue(r.pending[std::size_t(field)], value))
        return;
    r.pending[std::size_t(field)] = value;
    r.modified = true;
    Q_EMIT rowChanged(r.current);
}

void QueryObject::cancel()
{
    if (!m_result)
        return;
    Result& r = *m_result;
    if (r.state == State::Insert) {
        removeRow(r.current);
    } else if (r.state == State::Edit) {
        r.state = State::Browse;
        Q_EMIT rowChanged(r.current);
    }
}

void QueryObject::checkBrowseMode()
{
    if (!m_result)
        return;
    if (m_result->state == State::Insert && !m_result->modified)
        cancel();
    else
        post();
}

void QueryObject::post()
{
    requireOpen();
    Result& r = *m_result;
    if (r.state == State::Browse)
        return;
    if (!r.modified) {
        cancel();
        return;
    }
    const std::uint32_t row = r.order[std::size_t(r.current)];
    if (r.state == State::Edit) {
        try {
            writeEdit();
        } catch (...) {
            cancel();   // the row shows what the table still holds
            throw;
        }
    } else if (!writeInsert()) {
        cancel();
        return;
    }
    for (int f = 0; f < int(r.fields.size()); ++f)
        if (!sameValue(r.pending[std::size_t(f)], r.store.value(row, f)))
            r.store.set(row, f, r.pending[std::size_t(f)]);
    r.state = State::Browse;
    Q_EMIT rowChanged(r.current);
}

void QueryObject::deleteRecord()
{
    requireCurrentRow();
    if (m_result->state == State::Insert) {
        cancel();
        return;
    }
    cancel();
    writeDelete();
    removeRow(m_result->current);
}
