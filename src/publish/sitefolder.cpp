#include "publish/sitefolder.h"

#include "common/error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

const QString SiteFolder::kMarker = QStringLiteral(".racr-site");

namespace {

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

QString systemError(int error = errno)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// A descriptor of `path` that holds the lock which marks the folder as in use, or -1 when another
// run holds it (or the folder is gone).
int lockFolder(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Whether `fd` still is the folder at `path`: another run may have taken it for a stale one and
// removed it between its making and its locking.
bool stillThere(int fd, const QByteArray& path)
{
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::lstat(path.constData(), &named) == 0 && opened.st_dev == named.st_dev
           && opened.st_ino == named.st_ino;
}

} // namespace

SiteFolder::SiteFolder(const QString& target) : m_target(QFileInfo(target).absoluteFilePath())
{
    const QFileInfo info(m_target);
    // A link would be swapped away and its target's files removed with the old site.
    if (info.isSymLink())
        throw racr::Error(QStringLiteral("%1 is a symbolic link; name the folder it points to.").arg(native(m_target)));
    if (info.exists()) {
        if (!info.isDir())
            throw racr::Error(QStringLiteral("%1 is not a folder; name a new folder for the site.").arg(native(m_target)));
        const QDir dir(m_target);
        const bool empty = dir.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
        if (!empty && !QFileInfo::exists(dir.filePath(kMarker))) {
            throw racr::Error(QStringLiteral("%1 holds files that were not published by racr, and publishing replaces the "
                                             "whole folder; name a new or empty folder.")
                                  .arg(native(m_target)));
        }
    }
    const QString parent = info.absolutePath();
    if (!QDir().mkpath(parent))
        throw racr::Error(QStringLiteral("Cannot make the folder %1.").arg(native(parent)));
    // Beside the target, so that the swap is a rename within one file system.
    const QString prefix = QStringLiteral(".") + info.fileName() + QStringLiteral(".publishing-");
    makeStaging(parent, prefix);
    removeStale(parent, prefix);
    write(kMarker, QByteArrayLiteral("Published by racr; the next \"racr publish\" replaces this folder as a whole.\n"));
}

SiteFolder::~SiteFolder()
{
    if (!m_staging.isEmpty())
        QDir(m_staging).removeRecursively();
    if (m_stagingLock >= 0)
        ::close(m_stagingLock);
}

void SiteFolder::makeStaging(const QString& parent, const QString& prefix)
{
    for (;;) {
        QByteArray path = QFile::encodeName(parent + QLatin1Char('/') + prefix + QStringLiteral("XXXXXX"));
        if (::mkdtemp(path.data()) == nullptr)
            throw racr::Error(QStringLiteral("Cannot write beside %1: %2").arg(native(m_target), systemError()));
        const int fd = lockFolder(path);
        if (fd >= 0 && stillThere(fd, path)) {
            m_staging = QFile::decodeName(path);
            m_stagingLock = fd;
            return;
        }
        if (fd >= 0)
            ::close(fd);
    }
}

// The new folders of earlier runs for this target that nobody holds: those of runs that were
// killed, and an earlier site that a killed run had moved aside.
void SiteFolder::removeStale(const QString& parent, const QString& prefix) const
{
    const QDir dir(parent);
    const QStringList names =
        dir.entryList({prefix + QLatin1Char('*')}, QDir::Dirs | QDir::Hidden | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        const QString path = dir.filePath(name);
        if (path == m_staging)
            continue;
        const QByteArray encoded = QFile::encodeName(path);
        const int fd = lockFolder(encoded);
        if (fd < 0)
            continue;
        if (stillThere(fd, encoded))
            QDir(path).removeRecursively();
        ::close(fd);
    }
}

void SiteFolder::write(const QString& name, const QByteArray& bytes)
{
    const QString path = m_staging + QLatin1Char('/') + name;
    // The system's own words for a failure ("No space left on device"), which a file class may
    // turn into "Unknown error" when the failure comes at its flush or close.
    const QByteArray encoded = QFile::encodeName(path);
    const auto fail = [&](int error) {
        throw racr::Error(QStringLiteral("Cannot write %1: %2").arg(native(path), systemError(error)));
    };
    const int fd = ::open(encoded.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        fail(errno);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0) {
            const int error = errno;
            ::close(fd);
            fail(error);
        }
        done += written;
    }
    if (::close(fd) != 0 && errno != EINTR)
        fail(errno);
}

void SiteFolder::commit()
{
    // A folder made for the run is private to its owner; a site is for every reader, a web server too.
    QFile::setPermissions(m_staging, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                         | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    const QByteArray from = QFile::encodeName(m_staging);
    const QByteArray to = QFile::encodeName(m_target);
    if (!QFileInfo::exists(m_target)) {
        if (std::rename(from.constData(), to.constData()) != 0)
            throw racr::Error(QStringLiteral("Cannot put the site in place at %1: %2").arg(native(m_target), systemError()));
        m_staging.clear();
        return;
    }
    // Both names stay valid at every moment; the old site, now under the new folder's name, goes
    // when this run ends (or, should it be killed first, with the next run's stale folders).
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) == 0)
        return;
    if (errno != EINVAL && errno != ENOSYS)
        throw racr::Error(QStringLiteral("Cannot put the site in place at %1: %2").arg(native(m_target), systemError()));
    // A file system that cannot swap: the folder is missing for the moment between two renames.
    const QByteArray old = QFile::encodeName(m_staging + QStringLiteral(".old"));
    if (std::rename(to.constData(), old.constData()) != 0)
        throw racr::Error(QStringLiteral("Cannot move the previous site at %1: %2").arg(native(m_target), systemError()));
    if (std::rename(from.constData(), to.constData()) != 0) {
        const QString reason = systemError();
        std::rename(old.constData(), to.constData());
        throw racr::Error(QStringLiteral("Cannot put the site in place at %1: %2").arg(native(m_target), reason));
    }
    m_staging.clear();
    QDir(QFile::decodeName(old)).removeRecursively();
}
