#include "common/avatar.h"

#include "common/programpaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cmath>

namespace avatar {

namespace {
std::optional<qint64> whole(double value)
{
    if (!std::isfinite(value) || value != std::floor(value) || std::fabs(value) > 1e15)
        return std::nullopt;
    return qint64(value);
}
} // namespace

std::optional<qint64> number(const QVariant& value)
{
    if (value.isNull())
        return std::nullopt;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::Short:
        return value.toLongLong();
    case QMetaType::Double:
    case QMetaType::Float:
        return whole(value.toDouble());
    case QMetaType::QString: {
        const QString text = value.toString().trimmed();
        bool ok = false;
        const qint64 n = text.toLongLong(&ok);
        if (ok)
            return n;
        const double d = text.toDouble(&ok);
        return ok ? whole(d) : std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

QString locate(const QString& fileName)
{
    const QString own = ProgramPaths::home() + QStringLiteral("avatars/") + fileName;
    if (QFileInfo::exists(own))
        return own;
    const QString programDir = QCoreApplication::applicationDirPath();
    for (const QString& bundled : {programDir + QStringLiteral("/avatars/") + fileName,
                                   programDir + QStringLiteral("/../share/racr/avatars/") + fileName}) {
        if (QFileInfo::exists(bundled))
            return QDir::cleanPath(bundled);
    }
    const QString installed = QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                                     QStringLiteral("racr/avatars/") + fileName);
    return installed.isEmpty() ? own : installed;
}

QString path(qint64 number)
{
    return locate(QString::number(number) + QStringLiteral(".bmp"));
}

QImage load(const QVariant& value)
{
    const auto n = number(value);
    return n ? QImage(path(*n)) : QImage();
}

} // namespace avatar
