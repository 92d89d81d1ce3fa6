#include "publish/laptime.h"

#include <cmath>

namespace publish {

QString lapTime(double seconds)
{
    // Rounded once, to whole milliseconds, so that 59.9996 carries into the minute instead of
    // showing "0:60.000".
    const qint64 millis = std::llround(seconds * 1000);
    const qint64 minutes = millis / 60000;
    const qint64 rest = millis % 60000;
    const QString secondsText = QStringLiteral("%1.%2").arg(rest / 1000).arg(rest % 1000, 3, 10, QLatin1Char('0'));
    if (minutes == 0)
        return secondsText;
    return QStringLiteral("%1:%2").arg(minutes).arg(secondsText, 6, QLatin1Char('0'));
}

QString lapTimeText(const QString& stored)
{
    bool ok = false;
    const double seconds = stored.trimmed().toDouble(&ok);
    return ok && seconds > 0 && std::isfinite(seconds) ? lapTime(seconds) : stored;
}

} // namespace publish
