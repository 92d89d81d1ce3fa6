#pragma once

#include <QSqlDatabase>
#include <QString>

// While it lives, an import's commits on a PostgreSQL server do not wait for the server's disk
// (synchronous_commit off for the session): each commit still stores its track or driver whole
// or not at all, but should the server's machine itself fail, the commits of its last moment
// (well under a second) may be missing after its restart, and the next import stores them
// again. On a server that writes through to its disk this makes an import about as fast as on
// the embedded file. The session's own setting comes back afterwards. Nothing on other engines.
class AsyncCommits {
public:
    // Throws racr::StorageError when the server has closed the connection.
    explicit AsyncCommits(const QSqlDatabase& db);
    ~AsyncCommits();
    AsyncCommits(const AsyncCommits&) = delete;
    AsyncCommits& operator=(const AsyncCommits&) = delete;

private:
    QSqlDatabase m_db;
    QString m_before;   // the session's setting; empty when nothing was changed
};
