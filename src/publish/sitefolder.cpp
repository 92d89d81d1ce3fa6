#include "sitefolder.h"

#include "common/error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>

const QString SiteFolder::kMarker = QStringLiteral(".racr-site");

namespace {

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
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
    m_staging = std::make_unique<QTemporaryDir>(parent + QStringLiteral("/.") + info.fileName()
                                                + QStringLiteral(".publishing-XXXXXX"));
    if (!m_staging->isValid())
        throw racr::Error(QStringLiteral("Cannot write beside %1: %2").arg(native(m_target), m_staging->errorString()));
    write(kMarker, QByteArrayLiteral("Published by racr; the next \"racr publish\" replaces this folder as a whole.\n"));
}

SiteFolder::~SiteFolder() = default;

void SiteFolder::write(const QString& name, const QByteArray& bytes)
{
    QFile file(m_staging->filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush()) {
        throw racr::Error(
            QStringLiteral("Cannot write %1: %2").arg(native(file.fileName()), file.errorString()));
    }
}

void SiteFolder::commit()
{
    const QString staging = m_staging->path();
    // A temporary folder is private to its owner; a site is for every reader, a web server too.
    QFile::setPermissions(staging, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                       | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    const QByteArray from = QFile::encodeName(staging);
    const QByteArray to = QFile::encodeName(m_target);
    if (!QFileInfo::exists(m_target)) {
        if (std::rename(from.constData(), to.constData()) != 0)
            throw racr::Error(QStringLiteral("Cannot put the site in place at %1: %2").arg(native(m_target), systemError()));
        m_staging->setAutoRemove(false);
        return;
    }
    // Both names stay valid at every moment; the old site, now under the staging name, goes with it.
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) == 0)
        return;
    if (errno != EINVAL && errno != ENOSYS)
        throw racr::Error(QStringLiteral("Cannot put the site in place at %1: %2").arg(native(m_target), systemError()));
    // A file system that cannot swap: the folder is missing for the moment between two renames.
    const QByteArray old = QFile::encodeName(staging + QStringLiteral(".old"));
    if (std::rename(to.constData(), old.constData()) != 0)
        throw racr::Error(QStringLiteral("Cannot move the previous site at %1: %2").arg(native(m_target), systemError()));
    if (std::rename(from.constData(), to.constData()) != 0) {
        const QString reason = systemError();
        std::rename(old.constData(), to.constData());
        throw racr::Error(QStringLiteral("Cannot put the site in place at %1: %2").arg(native(m_target), reason));
    }
    m_staging->setAutoRemove(false);
    QDir(QFile::decodeName(old)).removeRecursively();
}
