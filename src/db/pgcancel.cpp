#include "pgcancel.h"

#include <QSqlDriver>
#include <QVariant>

#include <libpq-fe.h>

namespace pg {

bool cancelRunning(const QSqlDatabase& db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    // Qt's driver hands the connection over as the struct libpq's PGconn names.
    if (!handle.isValid() || qstrcmp(handle.typeName(), "pg_conn*") != 0)
        return false;
    PGconn* connection = *static_cast<PGconn* const*>(handle.constData());
    PGcancel* cancel = connection ? PQgetCancel(connection) : nullptr;
    if (!cancel)
        return false;
    char error[256];
    const bool sent = PQcancel(cancel, error, int(sizeof error)) == 1;
    PQfreeCancel(cancel);
    return sent;
}

} // namespace pg
