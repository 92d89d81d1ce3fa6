#include "pgcancel.h"

#include "pgconnect.h"

#include <libpq-fe.h>

namespace pg {

bool cancelRunning(const QSqlDatabase& db)
{
    PGconn* connection = connectionOf(db);
    PGcancel* cancel = connection ? PQgetCancel(connection) : nullptr;
    if (!cancel)
        return false;
    char error[256];
    const bool sent = PQcancel(cancel, error, int(sizeof error)) == 1;
    PQfreeCancel(cancel);
    return sent;
}

} // namespace pg
