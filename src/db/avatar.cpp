#include "avatar.h"

#include "app/programpaths.h"

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

QString path(qint64 number)
{
    return ProgramPaths::home() + QStringLiteral("avatars/") + QString::number(number) + QStringLiteral(".bmp");
}

QImage load(const QVariant& value)
{
    const auto n = number(value);
    return n ? QImage(path(*n)) : QImage();
}

} // namespace avatar
