#include "pgerrorplace.h"

#include "pgconnect.h"

#include <libpq-fe.h>

#include <memory>

namespace pg {

qsizetype faultPosition(const QSqlDatabase& db, const QString& sql)
{
    PGconn* connection = connectionOf(db);
    if (!connection)
        return -1;
    // Preparing parses and checks the names without running anything.
    const std::unique_ptr<PGresult, decltype(&PQclear)> result(
        PQprepare(connection, "", sql.toUtf8().constData(), 0, nullptr), PQclear);
    const char* field = result ? PQresultErrorField(result.get(), PG_DIAG_STATEMENT_POSITION) : nullptr;
    // Characters counted from 1; a letter outside the BMP takes two UTF-16 units.
    qsizetype characters = field ? QByteArray(field).toLongLong() - 1 : -1;
    if (characters < 0)
        return -1;
    qsizetype index = 0;
    for (; index < sql.size() && characters > 0; ++index)
        if (!sql.at(index).isLowSurrogate())
            --characters;
    while (index < sql.size() && sql.at(index).isLowSurrogate())
        ++index;
    return index;
}

} // namespace pg
