#include "db/databasefiles.h"

#include "common/error.h"
#include "db/connection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QStringList>

#include <sys/stat.h>

namespace databasefiles {
namespace {

// The database files as SQLite names them: the main database and every attached one.
QStringList attachedFiles(Connection& connection)
{
    if (!connection.isOpen() || connection.engine() == Engine::Postgres)
        return {};
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    QStringList files;
    // An ODBC driver that is not SQLite does not know the pragma, and keeps no such files here.
    if (!query.exec(QStringLiteral("PRAGMA database_list")))
        return files;
    while (query.next())
        if (const QString file = query.value(2).toString(); !file.isEmpty())
            files.append(file);
    return files;
}

// A path with its folder's links resolved, so that two names of one place compare equal even
// where the file itself does not exist (yet).
QString resolved(const QString& path)
{
    const QFileInfo info(path);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return QDir::cleanPath((folder.isEmpty() ? info.absolutePath() : folder) + QLatin1Char('/') + info.fileName());
}

bool sameFile(const QString& a, const QString& b)
{
    struct stat first {}, second {};
    if (::stat(QFile::encodeName(a).constData(), &first) == 0 && ::stat(QFile::encodeName(b).constData(), &second) == 0)
        return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
    return resolved(a) == resolved(b);
}

} // namespace

bool isOpenDatabaseFile(Connection& connection, const QString& path)
{
    static const char* const companions[] = {"", "-wal", "-shm", "-journal"};
    const QStringList files = attachedFiles(connection);
    for (const QString& file : files)
        for (const char* companion : companions)
            if (sameFile(path, file + QLatin1String(companion)))
                return true;
    return false;
}

void refuseOpenDatabaseFile(Connection& connection, const QString& path, const QString& use)
{
    if (isOpenDatabaseFile(connection, path))
        throw racr::Error(QStringLiteral("%1 belongs to the open database and cannot be %2: that could damage the "
                                         "database. Choose another file.")
                              .arg(QDir::toNativeSeparators(path), use));
}

} // namespace databasefiles
