#include "db/pgcancel.h"

#include <QSqlDriver>
#include <QVariant>

#include <libpq-fe.h>

namespace pg {

PGconn* nativeConnection(const QSqlDatabase& db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    // Qt's driver hands the connection over as the struct libpq's PGconn names.
    if (!handle.isValid() || qstrcmp(handle.typeName(), "pg_conn*") != 0)
        return nullptr;
    return *static_cast<PGconn* const*>(handle.constData());
}

bool cancelRunning(PGconn* connection)
{
    PGcancel* cancel = connection ? PQgetCancel(connection) : nullptr;
    if (!cancel)
        return false;
    char error[256];
    const bool sent = PQcancel(cancel, error, int(sizeof error)) == 1;
    PQfreeCancel(cancel);
    return sent;
}

} // namespace pg
