#include "db/pgprepared.h"

#include "db/pgcancel.h"

#include <libpq-fe.h>

#include <atomic>
#include <memory>

namespace pg {

namespace {

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

// A name of its own on the session: several statements may be prepared at once, and an earlier
// import's statement is deallocated when it goes.
QByteArray uniqueName()
{
    static std::atomic<unsigned> next = 0;
    return "racr_prepared_" + QByteArray::number(++next);
}

QSqlError errorOf(PGconn* connection, const PGresult* result, const QString& what)
{
    const char* message = result ? PQresultErrorMessage(result) : PQerrorMessage(connection);
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    return QSqlError(what, QString::fromUtf8(message).trimmed(), QSqlError::StatementError,
                     state ? QString::fromLatin1(state) : QString());
}

} // namespace

PreparedStatement::PreparedStatement(const QSqlDatabase& db) : m_db(db) {}

PreparedStatement::~PreparedStatement()
{
    release();
}

void PreparedStatement::release()
{
    if (m_name.isEmpty())
        return;
    // A lost connection has lost the statement too.
    if (PGconn* connection = nativeConnection(m_db); connection && PQstatus(connection) == CONNECTION_OK)
        Result(PQexec(connection, "DEALLOCATE " + m_name), PQclear);
    m_name.clear();
}

bool PreparedStatement::prepare(const QString& sql, int values)
{
    release();
    PGconn* connection = nativeConnection(m_db);
    if (!connection) {
        m_error = QSqlError(QStringLiteral("Unable to prepare statement"), QStringLiteral("not a PostgreSQL connection"),
                            QSqlError::ConnectionError);
        return false;
    }
    const QByteArray name = uniqueName();
    const Result result(PQprepare(connection, name.constData(), sql.toUtf8().constData(), values, nullptr), PQclear);
    if (!result || PQresultStatus(result.get()) != PGRES_COMMAND_OK) {
        m_error = errorOf(connection, result.get(), QStringLiteral("Unable to prepare statement"));
        return false;
    }
    m_name = name;
    m_values = values;
    m_error = QSqlError();
    return true;
}

int PreparedStatement::exec(const QVariantList& values)
{
    PGconn* connection = nativeConnection(m_db);
    if (!connection || m_name.isEmpty()) {
        m_error = QSqlError(QStringLiteral("Unable to create query"), QStringLiteral("the statement is not prepared"),
                            QSqlError::StatementError);
        return -1;
    }
    m_texts.resize(std::size_t(m_values));
    std::vector<const char*> pointers(std::size_t(m_values), nullptr);
    for (int i = 0; i < m_values && i < values.size(); ++i) {
        if (values[i].isNull())
            continue;
        m_texts[std::size_t(i)] = values[i].toString().toUtf8();
        pointers[std::size_t(i)] = m_texts[std::size_t(i)].constData();
    }
    const Result result(
        PQexecPrepared(connection, m_name.constData(), m_values, pointers.data(), nullptr, nullptr, 0), PQclear);
    if (!result || PQresultStatus(result.get()) != PGRES_COMMAND_OK) {
        m_error = errorOf(connection, result.get(), QStringLiteral("Unable to create query"));
        return -1;
    }
    m_error = QSqlError();
    return QByteArray(PQcmdTuples(result.get())).toInt();
}

} // namespace pg
